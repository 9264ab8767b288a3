// Accelerator tables against real data and real resource compilers: wine's tables save back byte for
// byte, and the ACCELERATORS statements we write compile back to the same entries.
#include "kinds/koResourceItemAccelerator.h"
#include "kinds/koResourceModuleRCAcceleratorWriter.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/PeerTools.h"
#include "platform/Streams.h"
#include "platform/WineModules.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

TResourceIdent Ord(uint16_t v) { return TResourceIdent::FromOrdinal(v); }


// A table as a model: name, language and its entries (shortcut, command).
using TTableModel = std::tuple<QString, int, std::vector<std::pair<uint16_t, uint16_t>>>;

std::vector<TTableModel> Tables(TCustomResourceModule* module)
{
    std::vector<TTableModel> tables;
    for (TCustomResourceItem* item : *module->Items()) {
        auto* table = qobject_cast<TAcceleratorResourceItem*>(item);
        if (!table) continue;
        std::vector<std::pair<uint16_t, uint16_t>> entries;
        for (int i = 0; i < table->Accelerators()->Count(); ++i) {
            TAcceleratorItem* entry = table->Accelerators()->Items(i);
            entries.emplace_back(entry->Shortcut().Value, entry->Command()->OrdinalValue());
        }
        tables.emplace_back(ResourceIdentToString(table->Name()), table->Language(), entries);
    }
    std::sort(tables.begin(), tables.end());
    return tables;
}

std::string Describe(const std::vector<TTableModel>& tables)
{
    std::string text;
    for (const auto& [name, language, entries] : tables) {
        text += QStringLiteral("%1 %2:").arg(name).arg(language, 4, 16, QLatin1Char('0')).toStdString();
        for (const auto& [shortcut, command] : entries)
            text += QStringLiteral(" %1/%2").arg(shortcut, 4, 16, QLatin1Char('0')).arg(command).toStdString();
        text += "\n";
    }
    return text;
}

class AcceleratorInterop : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemAccelerator_Initialize();
        koResourceModuleRes_Initialize();
        koResourceModuleRC_Initialize();
        koResourceModuleRCAcceleratorWriter_Initialize();
        ASSERT_TRUE(FDir.isValid());
        Dir = FDir.path();
    }
    void TearDown() override
    {
        koResourceModuleRCAcceleratorWriter_Finalize();
        koResourceModuleRC_Finalize();
        koResourceModuleRes_Finalize();
        koResourceItemAccelerator_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }

    TAcceleratorResourceItem* AddTable(TCustomResourceModule& module, uint16_t name, uint16_t language,
                                       const std::vector<std::pair<uint16_t, uint16_t>>& entries)
    {
        auto* table = new TAcceleratorResourceItem(Ord(name));
        table->SetLanguage(language);
        module.Items()->Add(table);
        for (const auto& [shortcut, command] : entries) {
            TAcceleratorItem* entry = table->Accelerators()->Add();
            entry->SetShortcut(shortcut);
            entry->Command()->SetOrdinalValue(command);
        }
        return table;
    }

    // Tables both compilers take: no ASCII entry has a modifier (one compiler refuses those).
    void BuildTables(TCustomResourceModule& module)
    {
        // ASCII keys: control characters (28 is the one that ended a literal and a comment), quotes,
        // backslash, "^", letters, characters above 127.
        std::vector<std::pair<uint16_t, uint16_t>> ascii;
        uint16_t command = 1;
        for (int key : std::initializer_list<int>{0, 1, 9, 13, 27, 28, 29, 30, 31, 32, '!', '"', '\'', '\\', '^', '_', '`', 'a', 'z', '~', 127,
                             128, 0xE9, 255})
            ascii.emplace_back(uint16_t(key), command++);
        AddTable(module, 1, 0x0409, ascii);
        // Virtual keys: letters, digits, function keys, keys with VK_ names only, ".", unnamed codes,
        // every modifier; commands up to 0xFFFF.
        AddTable(module, 2, 0x0409,
                 {{0x1000 | 'A', 100},          {0x5000 | 'S', 101},          {0x3000 | '0', 102},
                  {0x9000 | '9', 103},          {0xF000 | 'Z', 104},          {0x1070, 105},
                  {0x3087, 106},                {0x1000 | 0xBE, 107},         {0x5000 | 0xDC, 108},
                  {0x1000 | 0x2E, 109},         {0x1000 | 0x0D, 110},         {0x1000 | 0x6B, 111},
                  {0x1000 | 0x88, 112},         {0x1000 | 0xFF, 113},         {0x1000 | 0x61, 114},
                  {0x1000 | 'Q', 0xFFFF},       {0x1000 | 'W', 0},            {0x1000 | 'E', 0x8000}});
        AddTable(module, 3, 0x0407, {{0x1000 | 0x20, 1}});
    }

    // Compiles the script; the RES it makes holds the same tables.
    void CompileAndCompare(const std::vector<TTableModel>& expected, const QString& script, const QString& tool,
                           TResourceCompiler compiler, bool preprocess)
    {
        const QString res = Dir + QStringLiteral("/out.res");
        QFile::remove(res);
        const TPeerToolResult run = RunPeerTool(tool, ResourceCompilerArguments(compiler, script, res, preprocess), 60000, Dir);
        QFile scriptFile(script);
        ASSERT_TRUE(scriptFile.open(QIODevice::ReadOnly));
        const std::string text = scriptFile.readAll().toStdString();
        ASSERT_TRUE(run.Ok()) << run.Describe().toStdString() << "\n" << text;
        std::unique_ptr<TCustomResourceModule> compiled = TCustomResourceModule::LoadFromFile(res);
        ASSERT_NE(compiled, nullptr);
        const std::vector<TTableModel> actual = Tables(compiled.get());
        EXPECT_EQ(actual, expected) << "compiled:\n" << Describe(actual) << "written:\n" << Describe(expected) << text;
    }

    // Every installed compiler of the list; skips the test when none is.
    void CompileWithEach(const std::vector<TTableModel>& expected, const QString& script, bool preprocess)
    {
        int compiled = 0;
        for (const TResourceCompiler compiler : ResourceCompilers) {
            SCOPED_TRACE(ResourceCompilerName(compiler));
            const QString tool = FindPeerTool(QString::fromLatin1(ResourceCompilerName(compiler)));
            if (tool.isEmpty()) continue;
            CompileAndCompare(expected, script, tool, compiler, preprocess);
            ++compiled;
        }
        if (compiled == 0) GTEST_SKIP() << "no resource compiler is installed";
    }

    QTemporaryDir FDir;
    QString Dir;
};

} // namespace

TEST_F(AcceleratorInterop, WineTablesSaveByteForByte)
{
    if (!HasWineModules()) GTEST_SKIP() << "wine's modules are not installed";
    const QList<TWineResource> resources = WineResources({RT_ACCELERATOR});
    ASSERT_FALSE(resources.isEmpty());
    int entries = 0;
    for (const TWineResource& r : resources) {
        SCOPED_TRACE(QString(r.Module + QLatin1Char(' ') + r.Resource.Name).toStdString());
        TResourceModule module;
        module.SetDeferDefaultSymbols(true);
        module.BeforeLoad();
        TBytesStream data(r.Resource.Data);
        TCustomResourceItem* item = LoadResourceItem(&module, TResourceIdent(r.Resource.Type), TResourceIdent(r.Resource.Name),
                                                     r.Resource.Language, data, r.Resource.Data.size());
        module.AfterLoad();
        auto* table = qobject_cast<TAcceleratorResourceItem*>(item);
        ASSERT_NE(table, nullptr);
        entries += table->Accelerators()->Count();
        TMemoryStream saved;
        table->SaveToStream(saved);
        EXPECT_EQ(saved.ToByteArray().toHex().toStdString(), r.Resource.Data.toHex().toStdString());
    }
    EXPECT_GT(entries, int(resources.size()));
}

// The statements alone, with numbers for every key that has no quoted form: both compilers read them
// without a preprocessor.
TEST_F(AcceleratorInterop, WrittenStatementsCompileBack)
{
    TResourceModule module;
    module.SetDeferDefaultSymbols(true);
    BuildTables(module);
    const std::vector<TTableModel> expected = Tables(&module);

    const QString script = Dir + QStringLiteral("/tables.rc");
    {
        TFileStream out(script, fmCreate);
        TRCAnsiEncoder encoder(out, 1252);
        for (TCustomResourceItem* item : *module.Items()) {
            std::unique_ptr<TCustomRCItemWriter> writer = RCItemWriterDatabase()->Find(item)->Create(Dir);
            ASSERT_EQ(writer->ClassType(), TRCItemAcceleratorWriter::ClassInfo());
            writer->SetSymbolicValues(false);
            writer->SaveToStream(encoder, item, false);
        }
    }
    CompileWithEach(expected, script, false);
}

// A whole script from the module, with VK_ names and a command bound to a symbol of the module's
// header: compiled with the preprocessor and windows.h.
TEST_F(AcceleratorInterop, ScriptsWithSymbolsCompileBack)
{
    if (!QFileInfo::exists(QString::fromLatin1(MingwIncludeDir) + QStringLiteral("/windows.h")))
        GTEST_SKIP() << "the mingw-w64 headers are not installed";
    TResourceModule module;
    module.SymbolFile()->Files()->Add(QStringLiteral("resource.h"))->SetPrimary(true);
    BuildTables(module);
    TResourceSymbol* save = module.Symbols()->Add(QStringLiteral("IDM_SAVE"));
    save->SetLiteralValue(QStringLiteral("101"));
    save->SetSourceFile(module.SymbolFile()->PrimaryFile());
    auto* table = qobject_cast<TAcceleratorResourceItem*>(module.Find(Ord(RT_ACCELERATOR), Ord(2)));
    ASSERT_NE(table, nullptr);
    table->AssignChildItemIdentifier(101, "IDM_SAVE");
    ASSERT_EQ(table->Accelerators()->Items(1)->Command()->ID(), QStringLiteral("IDM_SAVE"));
    const std::vector<TTableModel> expected = Tables(&module);

    const QString script = Dir + QStringLiteral("/module.rc");
    module.SaveToFile(script);
    QFile written(script);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray text = written.readAll();
    ASSERT_TRUE(text.contains("VK_F1,")) << text.toStdString();
    ASSERT_TRUE(text.contains("IDM_SAVE,")) << text.toStdString();

    CompileWithEach(expected, script, true);
}
