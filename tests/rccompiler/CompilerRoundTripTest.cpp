// Scripts the program's RC writer makes, compiled back by our compiler in symbol mode (as the RC
// reader runs it): every resource comes back with its type, name, language, data and header fields.
#include "CompilerSupport.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/Streams.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace {

TResourceIdent Ord(uint16_t V) { return TResourceIdent::FromOrdinal(V); }

using TKey = std::tuple<QString, QString, int, QByteArray, uint32_t, uint32_t>;

std::vector<TKey> Resources(TCustomResourceModule* Module)
{
    std::vector<TKey> keys;
    for (TCustomResourceItem* item : *Module->Items()) {
        if (item->Hidden() || item->Internal()) continue;
        const QString type = ResourceIdentToString(item->ResourceType());
        if (type == u"HWB") continue;
        TMemoryStream data;
        item->SaveToStream(data);
        keys.emplace_back(type, ResourceIdentToString(item->Name()), item->Language(), data.ToByteArray(),
                          item->Version(), item->Characteristics());
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

std::string Describe(const std::vector<TKey>& Keys)
{
    std::string text;
    for (const auto& [type, name, language, data, version, characteristics] : Keys)
        text += QStringLiteral("%1 %2 %3: %4 bytes %5\n")
                    .arg(type, name)
                    .arg(language, 4, 16, QLatin1Char('0'))
                    .arg(data.size())
                    .arg(QString::fromLatin1(data.left(24).toHex(' ')))
                    .toStdString();
    return text;
}

QByteArray Utf16(const QString& Text) { return QByteArray(reinterpret_cast<const char*>(Text.utf16()), Text.size() * 2); }

TCustomResourceItem* AddItem(TCustomResourceModule& Module, const TResourceIdent& Type, const TResourceIdent& Name,
                             uint16_t Language, const QByteArray& Data)
{
    auto* item = new TResourceItemGeneric(Name);
    item->SetResourceType(Type);
    item->SetLanguage(Language);
    TBytesStream stream(Data);
    item->LoadFromStream(stream, Data.size());
    Module.Items()->Add(item);
    return item;
}

class CompilerRoundTrip : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceModuleRes_Initialize();
        koResourceModuleRC_Initialize();
        ASSERT_TRUE(FDir.isValid());
    }
    void TearDown() override
    {
        koResourceModuleRC_Finalize();
        koResourceModuleRes_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }
    QTemporaryDir FDir;
};

TEST_F(CompilerRoundTrip, WrittenScriptsCompileBackToTheSameResources)
{
    for (const bool symbolic : {true, false}) {
        TResourceModule module;
        module.SymbolFile()->Files()->Add(QStringLiteral("resource.h"))->SetPrimary(true);
        TCustomResourceItem* text = AddItem(module, Ord(RT_RCDATA), Ord(1), 0x0409, QByteArray("hello\r\nworld\0", 13));
        text->SetCharacteristics(5);
        text->SetVersion(3);
        AddItem(module, Ord(RT_RCDATA), Ord(101), 0x0407, QByteArray("\x01\0\x02\xFE\xFF\x80", 6))
            ->LocalID()
            ->SetIdentifier(QStringLiteral("IDR_BOUND"));
        AddItem(module, Ord(256), Ord(2), 0x0412,
                Utf16(QStringLiteral("Gr") + QChar(0xFC) + QStringLiteral("\"\\e, ") + QChar(0x0416) + QChar(0x65E5) +
                      QChar(0xD83D) + QChar(0xDE00) + QChar(7) + QChar(8) + QChar(0)));
        AddItem(module, Ord(256), Ord(3), 0x0409, Utf16(QString(150, QLatin1Char('u'))));
        QByteArray odd(301, 'b');
        odd[0] = 1;
        odd[300] = '\xCC';
        AddItem(module, Ord(300), TResourceIdent("ODDBIN"), 0x040C, odd);
        AddItem(module, TResourceIdent("MYTYPE"), TResourceIdent("MYDATA"), 0x0409,
                QByteArray(450, 'x') + "\r\ntab\there \"quoted\" back\\slash\rlone\nend" + QByteArray(3, '\0'));
        for (uint16_t language : {0x0804, 0x0C0C, 0x007F, 0x0400, 0x0000, 0x0411, 0x03FF, 0x045B})
            AddItem(module, Ord(257), Ord(1), language, QByteArray("lang"));
        // Raw data of standard types, and of types with statements of their own.
        AddItem(module, Ord(RT_GROUP_ICON), TResourceIdent("MAINICON"), 0x0409,
                QByteArray("\0\0\1\0\1\0\x10\x10\x10\0\1\0\4\0\x28\0\0\0\5\0", 20));
        AddItem(module, Ord(RT_ICON), Ord(5), 0x0409, QByteArray("\x28\0\0\0icon", 8));
        AddItem(module, Ord(RT_CURSOR), Ord(6), 0x0409, QByteArray("\1\0\2\0cursor", 10));
        AddItem(module, Ord(RT_MENU), Ord(3), 0x0409, QByteArray("\0\0\0\0\x90\0", 6));
        AddItem(module, Ord(RT_BITMAP), Ord(7), 0x0409, QByteArray("\x28\0\0\0bits", 8));
        for (uint16_t type : {RT_FONT, RT_MESSAGETABLE, RT_ANICURSOR, RT_ANIICON, RT_HTML, RT_MANIFEST, RT_FONTDIR})
            AddItem(module, Ord(type), Ord(2), 0x0409, QByteArray("raw\x01\x02", 5) + QByteArray(1, char(type)));
        for (const QString& name : QStringList{QStringLiteral("BEGIN"), QStringLiteral("123"), QStringLiteral("A B\"C"),
                                               QStringLiteral("1ABC"), QStringLiteral("IDOK")})
            AddItem(module, Ord(259), TResourceIdent(name), 0x0409, name.toUtf8());
        AddItem(module, TResourceIdent("ICON"), Ord(1), 0x0409, QByteArray("keyword type"));
        AddItem(module, TResourceIdent("MY TYPE"), TResourceIdent("VERSION"), 0x0409, QByteArray("spaced type"));
        AddItem(module, Ord(RT_MANIFEST), Ord(1), 0x0409, QByteArray("<assembly manifestVersion=\"1.0\"/>\r\n"))
            ->SetFilename(QStringLiteral("app.manifest"));
        AddItem(module, TResourceIdent("MYFILE"), TResourceIdent("EXTFILE"), 0x0407, QByteArray("external\0\1", 10))
            ->SetFilename(QStringLiteral("sub/ext.bin"));
        const std::vector<TKey> expected = Resources(&module);

        const QString script = FDir.filePath(symbolic ? "symbolic.rc" : "numeric.rc");
        if (symbolic) {
            module.SaveToFile(script);
        } else {
            TResourceModuleWriterRC writer;
            writer.SetSymbolicValues(false);
            writer.SaveToFile(&module, script, QString());
        }
        TTestCompilerHost host;
        const QString res = FDir.filePath("compiled.res");
        ASSERT_EQ(CompileWithOurs(host, script, res, {"/v", "/s", "/r", "/dSPECSTRINGS_H", "/l0x0000"}), 0)
            << host.Lines.join('\n').toStdString() << "\n" << ReadAll(script).toStdString();
        std::unique_ptr<TCustomResourceModule> compiled = TCustomResourceModule::LoadFromFile(res);
        ASSERT_NE(compiled, nullptr);
        const std::vector<TKey> actual = Resources(compiled.get());
        EXPECT_EQ(actual, expected) << "compiled:\n" << Describe(actual) << "written:\n" << Describe(expected);
        // The TEXTINCLUDE items of the script reach the RES in symbol mode.
        EXPECT_NE(compiled->Find(TResourceIdent("TEXTINCLUDE"), Ord(1), 0), nullptr);
    }
}

} // namespace
