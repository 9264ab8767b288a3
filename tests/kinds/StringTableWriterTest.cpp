#include "kinds/koResourceItemString.h"
#include "kinds/koResourceModuleRCStringTableWriter.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/PeerTools.h"
#include "platform/Streams.h"

#include <QTemporaryDir>
#include <map>

#include <gtest/gtest.h>

namespace {
class StringTableWriter : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemString_Initialize();
        koResourceModuleRC_Initialize();
        koResourceModuleRCStringTableWriter_Initialize();
        Module.SetDeferDefaultSymbols(true);
        Table = new TStringListResourceItem();
        Module.Items()->Add(Table);
        Table->SetLanguage(0x0409);
    }
    void TearDown() override
    {
        koResourceModuleRCStringTableWriter_Finalize();
        koResourceModuleRC_Finalize();
        koResourceItemString_Finalize();
        koResourcesKinds_Finalize();
    }
    TResourceStringsString* Add(uint32_t id, const QString& value)
    {
        TResourceStringsString* s = Table->Strings()->Add();
        s->ID()->SetOrdinalValue(id);
        s->SetValue(value);
        return s;
    }
    QString Write()
    {
        TMemoryStream out;
        TRCAnsiEncoder encoder(out);
        TRCItemWriterClass writer = RCItemWriterDatabase()->Find(Table);
        EXPECT_EQ(writer, TRCItemStringTableWriter::ClassInfo());
        writer->Create(QString())->SaveToStream(encoder, Table, false);
        return QString::fromLatin1(out.ToByteArray());
    }
    TResourceModule Module;
    TStringListResourceItem* Table = nullptr;
};
} // namespace

TEST_F(StringTableWriter, OneStatementPerBlock)
{
    Add(16, "sixteen");
    Add(15, "fifteen");
    Add(31, "thirty-one");
    Add(2, "");
    Add(3, "")->ID()->SetIdentifier("IDS_EMPTY");
    // Without the default symbols the language is written as numbers.
    const QString language = QStringLiteral("  LANGUAGE 0x09,0x01 // English (United States)\r\n");
    auto line = [](const QString& id, const QString& literal) -> QString {
        return QStringLiteral("  ") + id + QString(30 - id.size(), QLatin1Char(' ')) + literal + QStringLiteral("\r\n");
    };
    const QString expected = QStringLiteral("STRINGTABLE\r\n") + language + QStringLiteral("BEGIN\r\n") +
                             line("IDS_EMPTY", "\"\"") + line("15", "\"fifteen\"") + QStringLiteral("END\r\n\r\n") +
                             QStringLiteral("STRINGTABLE\r\n") + language + QStringLiteral("BEGIN\r\n") +
                             line("16", "\"sixteen\"") + line("31", "\"thirty-one\"") + QStringLiteral("END\r\n\r\n");
    EXPECT_EQ(Write().toStdString(), expected.toStdString());
}

TEST_F(StringTableWriter, EscapesAndLongNames)
{
    Add(1, "say \"hi\"\t\\ now\nbye");
    Add(2, "x")->ID()->SetIdentifier("IDS_A_VERY_LONG_SYMBOL_NAME_OF_30");
    Table->SetFilename("/imported/strings.txt");
    const QString text = Write();
    EXPECT_TRUE(text.contains(QStringLiteral("\"say \"\"hi\"\"\\t\\\\ now\\nbye\""))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("IDS_A_VERY_LONG_SYMBOL_NAME_OF_30 \"x\""))) << "one space after a long ID";
    EXPECT_TRUE(text.startsWith(QStringLiteral("STRINGTABLE\r\n"))) << "no file name on the statement";
}

TEST_F(StringTableWriter, NothingToWriteWritesNothing)
{
    Add(1, "");
    EXPECT_TRUE(Write().isEmpty());
}

namespace {
std::map<std::pair<int, uint32_t>, QString> TableContents(TCustomResourceModule* module)
{
    std::map<std::pair<int, uint32_t>, QString> contents;
    for (TCustomResourceItem* item : *module->Items())
        if (auto* table = qobject_cast<TStringListResourceItem*>(item))
            for (int i = 0; i < table->Strings()->Count(); ++i)
                if (!table->Strings()->Items(i)->Value().isEmpty())
                    contents[{table->Language(), table->Strings()->Items(i)->IDValue()}] = table->Strings()->Items(i)->Value();
    return contents;
}
} // namespace

// Module -> RC script -> compiler -> RES -> module: the strings come back as they were.
TEST_F(StringTableWriter, CompilersReadTheScriptBackInterop)
{
    koResourceModuleRes_Initialize();
    QTemporaryDir dir;
    Add(1, "plain");
    Add(17, "quotes \"inside\" and a back\\slash");
    Add(40, "tab\there, line\r\nbreak");
    Add(1000, QString(600, QLatin1Char('x')));
    Add(4097, QString::fromUtf8("non-ASCII: caf\xC3\xA9 \xD0\x96 \xE6\x97\xA5"));
    Add(5, "")->ID()->SetIdentifier("IDS_EMPTY");
    Add(6, "named")->ID()->SetIdentifier("IDS_NAMED");
    auto* german = new TStringListResourceItem();
    Module.Items()->Add(german);
    german->SetLanguage(0x0407);
    TResourceStringsString* hallo = german->Strings()->Add();
    hallo->ID()->SetOrdinalValue(1);
    hallo->SetValue("Hallo");
    const auto expected = TableContents(&Module);

    const QString script = dir.filePath("strings.rc");
    TResourceModuleWriterRC writer;
    writer.SetSymbolicValues(false);
    writer.SaveToFile(&Module, script, QString());
    struct Compiler {
        const char* tool;
        QString res;
        QStringList args;
    } compilers[] = {
        {"x86_64-w64-mingw32-windres", dir.filePath("w.res"),
         {"--include-dir=/usr/share/mingw-w64/include", "-O", "res", "-i", script, "-o", dir.filePath("w.res")}},
        {"llvm-rc", dir.filePath("l.res"), {"-I", "/usr/share/mingw-w64/include", "-fo", dir.filePath("l.res"), script}},
    };
    int compiled = 0;
    for (const Compiler& c : compilers) {
        SCOPED_TRACE(c.tool);
        const QString tool = FindPeerTool(QString::fromLatin1(c.tool));
        if (tool.isEmpty()) continue;
        const TPeerToolResult run = RunPeerTool(tool, c.args, 60000, dir.path());
        ASSERT_TRUE(run.Ok()) << run.Describe().toStdString();
        auto module = TCustomResourceModule::LoadFromFile(c.res);
        ASSERT_TRUE(module);
        EXPECT_EQ(TableContents(module.get()), expected);
        ++compiled;
    }
    koResourceModuleRes_Finalize();
    koResourcesFiler_Finalize();
    if (compiled == 0) GTEST_SKIP() << "no resource compiler is installed";
}
