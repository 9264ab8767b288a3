// Scripts the program's RC writer makes, compiled back by our compiler in symbol mode (as the RC
// reader runs it): every resource comes back with its type, name, language, data and header fields.
#include "CompilerSupport.h"
#include "kinds/koResourceItemAccelerator.h"
#include "kinds/koResourceItemString.h"
#include "kinds/koResourceModuleRCAcceleratorWriter.h"
#include "kinds/koResourceModuleRCStringTableWriter.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/Streams.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <map>

namespace {

// Every resource as "type name language" -> "version characteristics data".
std::map<QString, QString> Resources(TCustomResourceModule* Module)
{
    std::map<QString, QString> map;
    for (TCustomResourceItem* item : *Module->Items()) {
        const QString type = ResourceIdentToString(item->ResourceType());
        if (item->Hidden() || item->Internal() || type == u"HWB") continue;
        TMemoryStream data;
        item->SaveToStream(data);
        map[QStringLiteral("%1 %2 %3").arg(type, ResourceIdentToString(item->Name())).arg(item->Language(), 4, 16, QLatin1Char('0'))] =
            QStringLiteral("%1 %2 %3").arg(item->Version()).arg(item->Characteristics()).arg(QString::fromLatin1(data.ToByteArray().toHex()));
    }
    return map;
}

QByteArray Utf16(const QString& Text) { return QByteArray(reinterpret_cast<const char*>(Text.utf16()), Text.size() * 2); }

TCustomResourceItem* AddItem(TCustomResourceModule& Module, uint16_t Type, const TResourceIdent& Name, uint16_t Language,
                             const QByteArray& Data, const TResourceIdent& NamedType = TResourceIdent())
{
    auto* item = new TResourceItemGeneric(Name);
    item->SetResourceType(NamedType.isEmpty() ? TResourceIdent::FromOrdinal(Type) : NamedType);
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
        koResourceItemString_Initialize();
        koResourceItemAccelerator_Initialize();
        koResourceModuleRCStringTableWriter_Initialize();
        koResourceModuleRCAcceleratorWriter_Initialize();
        ASSERT_TRUE(FDir.isValid());
    }
    void TearDown() override
    {
        koResourceModuleRCAcceleratorWriter_Finalize();
        koResourceModuleRCStringTableWriter_Finalize();
        koResourceItemAccelerator_Finalize();
        koResourceItemString_Finalize();
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
        TCustomResourceItem* text = AddItem(module, (RT_RCDATA), TResourceIdent::FromOrdinal(1), 0x0409, QByteArray("hello\r\nworld\0", 13));
        text->SetCharacteristics(5);
        text->SetVersion(3);
        AddItem(module, (RT_RCDATA), TResourceIdent::FromOrdinal(101), 0x0407, QByteArray("\x01\0\x02\xFE\xFF\x80", 6))
            ->LocalID()
            ->SetIdentifier(QStringLiteral("IDR_BOUND"));
        AddItem(module, (256), TResourceIdent::FromOrdinal(2), 0x0412,
                Utf16(QStringLiteral("Gr") + QChar(0xFC) + QStringLiteral("\"\\e, ") + QChar(0x0416) + QChar(0x65E5) +
                      QChar(0xD83D) + QChar(0xDE00) + QChar(7) + QChar(8) + QChar(0)));
        AddItem(module, (256), TResourceIdent::FromOrdinal(3), 0x0409, Utf16(QString(150, QLatin1Char('u'))));
        QByteArray odd(301, 'b');
        odd[0] = 1;
        odd[300] = '\xCC';
        AddItem(module, (300), TResourceIdent("ODDBIN"), 0x040C, odd);
        AddItem(module, 0, TResourceIdent("MYDATA"), 0x0409,
                QByteArray(450, 'x') + "\r\ntab\there \"quoted\" back\\slash\rlone\nend" + QByteArray(3, '\0'),
                TResourceIdent("MYTYPE"));
        for (uint16_t language : {0x0804, 0x0C0C, 0x007F, 0x0400, 0x0000, 0x0411, 0x03FF, 0x045B})
            AddItem(module, (257), TResourceIdent::FromOrdinal(1), language, QByteArray("lang"));
        // Raw data of standard types, and of types with statements of their own.
        AddItem(module, (RT_GROUP_ICON), TResourceIdent("MAINICON"), 0x0409,
                QByteArray("\0\0\1\0\1\0\x10\x10\x10\0\1\0\4\0\x28\0\0\0\5\0", 20));
        AddItem(module, (RT_ICON), TResourceIdent::FromOrdinal(5), 0x0409, QByteArray("\x28\0\0\0icon", 8));
        AddItem(module, (RT_CURSOR), TResourceIdent::FromOrdinal(6), 0x0409, QByteArray("\1\0\2\0cursor", 10));
        AddItem(module, (RT_MENU), TResourceIdent::FromOrdinal(3), 0x0409, QByteArray("\0\0\0\0\x90\0", 6));
        AddItem(module, (RT_BITMAP), TResourceIdent::FromOrdinal(7), 0x0409, QByteArray("\x28\0\0\0bits", 8));
        for (uint16_t type : {RT_FONT, RT_MESSAGETABLE, RT_ANICURSOR, RT_ANIICON, RT_HTML, RT_MANIFEST, RT_FONTDIR})
            AddItem(module, (type), TResourceIdent::FromOrdinal(2), 0x0409, QByteArray("raw\x01\x02", 5) + QByteArray(1, char(type)));
        for (const QString& name : QStringList{QStringLiteral("BEGIN"), QStringLiteral("123"), QStringLiteral("A B\"C"),
                                               QStringLiteral("1ABC"), QStringLiteral("IDOK")})
            AddItem(module, (259), TResourceIdent(name), 0x0409, name.toUtf8());
        AddItem(module, 0, TResourceIdent::FromOrdinal(1), 0x0409, QByteArray("keyword type"), TResourceIdent("ICON"));
        AddItem(module, 0, TResourceIdent("VERSION"), 0x0409, QByteArray("spaced type"), TResourceIdent("MY TYPE"));
        AddItem(module, (RT_MANIFEST), TResourceIdent::FromOrdinal(1), 0x0409, QByteArray("<assembly manifestVersion=\"1.0\"/>\r\n"))
            ->SetFilename(QStringLiteral("app.manifest"));
        AddItem(module, 0, TResourceIdent("EXTFILE"), 0x0407, QByteArray("external\0\1", 10), TResourceIdent("MYFILE"))
            ->SetFilename(QStringLiteral("sub/ext.bin"));
        const std::map<QString, QString> expected = Resources(&module);

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
        const std::map<QString, QString> actual = Resources(compiled.get());
        EXPECT_EQ(actual, expected);
        // The TEXTINCLUDE items of the script reach the RES in symbol mode.
        EXPECT_NE(compiled->Find(TResourceIdent("TEXTINCLUDE"), TResourceIdent::FromOrdinal(1), 0), nullptr);
    }
}

} // namespace

namespace {

QByteArray StringBlock(const QStringList& Strings)
{
    rc::TDataBuilder data;
    for (int i = 0; i < 16; ++i) {
        const QString text = Strings.value(i);
        data.Word(static_cast<uint16_t>(text.size()));
        data.Utf16(text);
    }
    return data.Data();
}

QByteArray Accelerators(const std::vector<std::array<uint16_t, 3>>& Entries)
{
    rc::TDataBuilder data;
    for (size_t i = 0; i < Entries.size(); ++i) {
        data.Word(static_cast<uint16_t>(Entries[i][0] | (i + 1 == Entries.size() ? 0x80 : 0)));
        data.Word(Entries[i][1]);
        data.Word(Entries[i][2]);
        data.Word(0);
    }
    return data.Data();
}

} // namespace

// String tables and accelerators are written by their own kinds' writers: every character and key
// they can hold comes back.
TEST_F(CompilerRoundTrip, StringTablesAndAcceleratorsCompileBack)
{
    auto resource = [](uint16_t Type, uint16_t Name, uint16_t Language, const QByteArray& Data) {
        rc::TResource r;
        r.Type = rc::TNameOrdinal::FromOrdinal(Type);
        r.Name = rc::TNameOrdinal::FromOrdinal(Name);
        r.Language = Language;
        r.MemoryFlags = 0x1030;
        r.Data = Data;
        return r;
    };
    const QString specials = QStringLiteral("tab\t nl\n cr\r bell") + QChar(7) + QStringLiteral(" bs") + QChar(8) +
                             QStringLiteral(" \"q\" back\\ ") + QChar(0xE9) + QChar(0x0416) + QChar(0x65E5) + QChar(0x7F) +
                             QChar(0x80) + QStringLiteral(" ^C %d");
    const std::vector<rc::TResource> resources = {
        resource(6, 1, 0x0409, StringBlock({QString(), QStringLiteral("one"), specials, QString(300, QLatin1Char('s'))})),
        resource(6, 4096, 0x0407, StringBlock({QStringLiteral("last block")})),
        resource(9, 1, 0x0409,
                 Accelerators({{0, 'a', 1}, {1, 'A', 2}, {0x1D, 0x70, 3}, {0, 3, 4}, {0, '^', 5}, {0, '"', 6},
                               {0, '\\', 7}, {0x10, 'z', 8}, {1, '0', 9}, {0x03, 0x2E, 0xFFFF}, {0, 0xE9, 10}})),
    };
    const QString source = FDir.filePath("source.res");
    ASSERT_TRUE(WriteAll(source, rc::ResFileData(resources)));
    std::unique_ptr<TCustomResourceModule> module = TCustomResourceModule::LoadFromFile(source);
    ASSERT_NE(module, nullptr);
    const std::map<QString, QString> expected = Resources(module.get());
    ASSERT_EQ(expected.size(), 3u);
    const QString script = FDir.filePath("kinds.rc");
    module->SaveToFile(script);

    TTestCompilerHost host;
    const QString res = FDir.filePath("kinds.res");
    ASSERT_EQ(CompileWithOurs(host, script, res, {"/s", "/l0x0000"}), 0)
        << host.Lines.join('\n').toStdString() << "\n" << ReadAll(script).toStdString();
    std::unique_ptr<TCustomResourceModule> compiled = TCustomResourceModule::LoadFromFile(res);
    ASSERT_NE(compiled, nullptr);
    EXPECT_EQ(Resources(compiled.get()), expected) << ReadAll(script).toStdString();
}
