// Version information against real data and real resource compilers: wine's version resources load,
// save and read back as the same model, and the VERSIONINFO statements we write compile back to it.
#include "kinds/koResourceItemVersionInfo.h"
#include "kinds/koResourceModuleRCVersionInfoWriter.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "platform/PeerTools.h"
#include "platform/Streams.h"
#include "platform/WineModules.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// Everything a version item holds, as text; strings grouped by translation in list order, the way
// every writer groups them.
std::string Model(const TVersionResourceItem* item, bool WithMask = true)
{
    const VS_FIXEDFILEINFO& f = item->FileInfo();
    std::string text = QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9\n")
                           .arg(item->FileVersion(), 0, 16)
                           .arg(item->ProductVersion(), 0, 16)
                           .arg(WithMask ? f.dwFileFlagsMask : 0, 0, 16)
                           .arg(item->FileFlags().Bits(), 0, 16)
                           .arg(f.dwFileOS, 0, 16)
                           .arg(f.dwFileType, 0, 16)
                           .arg(f.dwFileSubtype, 0, 16)
                           .arg(f.dwFileDateMS, 0, 16)
                           .arg(f.dwFileDateLS, 0, 16)
                           .toStdString();
    std::vector<const TVersionInfoString*> strings;
    for (int i = 0; i < item->Strings()->Count(); ++i) strings.push_back(item->Strings()->Items(i));
    std::stable_sort(strings.begin(), strings.end(), TVersionInfoStringComparer());
    for (const TVersionInfoString* s : strings)
        text += QStringLiteral("%1 [%2]=[%3]\n").arg(s->Translation(), 8, 16, QLatin1Char('0')).arg(s->Key(), s->Value()).toStdString();
    for (int i = 0; i < item->Translations()->Count(); ++i)
        text += QStringLiteral("T %1\n").arg(item->Translations()->Items(i), 8, 16, QLatin1Char('0')).toStdString();
    return text;
}


class VersionResourceInterop : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemVersionInfo_Initialize();
        koResourceModuleRes_Initialize();
        koResourceModuleRC_Initialize();
        koResourceModuleRCVersionInfoWriter_Initialize();
        ASSERT_TRUE(FDir.isValid());
        Dir = FDir.path();
    }
    void TearDown() override
    {
        koResourceModuleRCVersionInfoWriter_Finalize();
        koResourceModuleRC_Finalize();
        koResourceModuleRes_Finalize();
        koResourceItemVersionInfo_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }
    QTemporaryDir FDir;
    QString Dir;
};

} // namespace

TEST_F(VersionResourceInterop, WineResourcesSaveAndReadBackEqual)
{
    if (!HasWineModules()) GTEST_SKIP() << "wine's modules are not installed";
    const QList<TWineResource> resources = WineResources({RT_VERSION});
    ASSERT_FALSE(resources.isEmpty());
    int identical = 0;
    for (const TWineResource& r : resources) {
        SCOPED_TRACE(r.Module.toStdString());
        TVersionResourceItem item;
        TBytesStream data(r.Resource.Data);
        item.LoadFromStream(data, r.Resource.Data.size());
        ASSERT_GT(item.Strings()->Count(), 0);
        TMemoryStream saved;
        item.SaveToStream(saved);
        const QByteArray bytes = saved.ToByteArray();
        if (bytes == r.Resource.Data) ++identical;
        TVersionResourceItem again;
        TBytesStream reread(bytes);
        again.LoadFromStream(reread, bytes.size());
        EXPECT_EQ(Model(&again), Model(&item));
    }
    std::printf("%d version resources, %d saved byte for byte\n", int(resources.size()), identical);
}

TEST_F(VersionResourceInterop, WrittenStatementsCompileBack)
{
    struct TCase {
        const char* Name;
        std::function<void(TVersionResourceItem*)> Build;
    };
    const std::vector<TCase> cases = {
        {"new item", [](TVersionResourceItem*) {}},
        {"several translations, flags and a driver",
         [](TVersionResourceItem* v) {
             v->SetFileVersion(0x0001000200030004ull);
             v->SetProductVersion(0xFFFF00000000FFFEull);
             v->SetFileFlagsMask({ffDebug, ffPreRelease, ffPatched, ffPrivateBuild, ffInfoInferred, ffSpecialBuild});
             v->SetFileFlags({ffDebug, ffSpecialBuild});
             v->SetFileOS(0x00040004);
             v->SetFileType(ftDriver);
             v->SetFileSubType(7);
             v->Strings()->Add("CompanyName", "Deutsch", 0x0407, 1252);
             v->Strings()->Add("CompanyName", "English", 0x0409, 1200);
             v->Strings()->Add("Zeta", "z", 0x0407, 1252);
             v->Strings()->Add("Alpha", "a", 0x0407, 1252);
             v->Translations()->Add(0x0409, 1200);
             v->Translations()->Add(0x0407, 1252);
         }},
        {"empty values, quotes, line breaks, non-ASCII",
         [](TVersionResourceItem* v) {
             v->Strings()->Clear();
             v->Strings()->Add("Empty", "", 0x0409, 1252);
             v->Strings()->Add("Key \"with\" quotes", "say \"hi\"\r\nbye\\", 0x0409, 1252);
             v->Strings()->Add(QString::fromUtf8("Caf\u00e9"), QString::fromUtf8("\u00e9t\u00e9 \u65e5\u672c \u20ac"), 0x0409, 1252);
             v->SetFileType(ftLibrary);
             v->SetFileFlagsMask({ffDebug});
             v->SetFileFlags({ffDebug});
         }},
        {"language neutral, no translations",
         [](TVersionResourceItem* v) {
             v->Strings()->Clear();
             v->Strings()->Add("FileVersion", "1.0", 0, 0);
             v->SetFileType(ftDLL);
         }},
    };
    int compiled = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TResourceModule module;
        module.SetDeferDefaultSymbols(true);
        auto* item = new TVersionResourceItem(TResourceIdent::FromOrdinal(1));
        module.Items()->Add(item);
        item->SetLanguage(0x0409);
        item->InitializeNewItem();
        item->SetName(TResourceIdent::FromOrdinal(1));
        c.Build(item);
        // Saving settles the translations the strings use; the statement then holds the same.
        TMemoryStream settled;
        item->SaveToStream(settled);
        const std::string expected = Model(item, false);

        const QString script = Dir + QStringLiteral("/version.rc");
        {
            TFileStream out(script, fmCreate);
            TRCAnsiEncoder encoder(out, 1252);
            std::unique_ptr<TCustomRCItemWriter> writer = RCItemWriterDatabase()->Find(item)->Create(Dir);
            ASSERT_EQ(writer->ClassType(), TRCItemVersionInfoWriter::ClassInfo());
            writer->SetSymbolicValues(false);
            writer->SaveToStream(encoder, item, false);
        }
        QFile scriptFile(script);
        ASSERT_TRUE(scriptFile.open(QIODevice::ReadOnly));
        const std::string text = scriptFile.readAll().toStdString();
        for (const TResourceCompiler compiler : ResourceCompilers) {
            SCOPED_TRACE(ResourceCompilerName(compiler));
            const QString tool = FindPeerTool(QString::fromLatin1(ResourceCompilerName(compiler)));
            if (tool.isEmpty()) continue;
            const QString res = Dir + QStringLiteral("/out.res");
            QFile::remove(res);
            const TPeerToolResult run = RunPeerTool(tool, ResourceCompilerArguments(compiler, script, res, false), 60000, Dir);
            ASSERT_TRUE(run.Ok()) << run.Describe().toStdString() << "\n" << text;
            std::unique_ptr<TCustomResourceModule> back = TCustomResourceModule::LoadFromFile(res);
            ASSERT_NE(back, nullptr);
            TVersionResourceItem* found = nullptr;
            for (TCustomResourceItem* i : *back->Items())
                if (auto* v = qobject_cast<TVersionResourceItem*>(i)) found = v;
            ASSERT_NE(found, nullptr) << text;
            EXPECT_EQ(Model(found, false), expected) << text;
            ++compiled;
        }
    }
    if (compiled == 0) GTEST_SKIP() << "no resource compiler is installed";
}
