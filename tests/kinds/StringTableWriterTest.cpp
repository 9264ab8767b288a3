#include "kinds/koResourceItemString.h"
#include "kinds/koResourceModuleRCStringTableWriter.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/Streams.h"

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
