#include "kinds/koResourceItemAccelerator.h"
#include "kinds/koResourceModuleRCAcceleratorWriter.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct TEntry {
    uint16_t Flags;
    uint16_t Key;
    uint16_t Command;
    uint16_t Padding = 0;
};

QByteArray Entries(const std::vector<TEntry>& entries)
{
    TMemoryStream s;
    for (const TEntry& e : entries) {
        s.WriteWord(e.Flags);
        s.WriteWord(e.Key);
        s.WriteWord(e.Command);
        s.WriteWord(e.Padding);
    }
    return s.ToByteArray();
}

class Accelerators : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceModuleRC_Initialize();
        koResourceItemAccelerator_Initialize();
        koResourceModuleRCAcceleratorWriter_Initialize();
        Module.SetDeferDefaultSymbols(true);
        Table = new TAcceleratorResourceItem(TResourceIdent::FromOrdinal(1));
        Module.Items()->Add(Table);
    }
    void TearDown() override
    {
        koResourceModuleRCAcceleratorWriter_Finalize();
        koResourceItemAccelerator_Finalize();
        koResourceModuleRC_Finalize();
        koResourcesKinds_Finalize();
    }
    void Load(const QByteArray& bytes, int64_t size)
    {
        TBytesStream data(bytes);
        Table->LoadFromStream(data, size);
    }
    QByteArray Save()
    {
        TMemoryStream out;
        Table->SaveToStream(out);
        return out.ToByteArray();
    }
    TAcceleratorItem* Add(uint16_t shortcut, uint16_t command)
    {
        TAcceleratorItem* entry = Table->Accelerators()->Add();
        entry->SetShortcut(shortcut);
        entry->Command()->SetOrdinalValue(command);
        return entry;
    }
    // The statement as the registered writer writes it.
    QString Write(bool symbolic = true)
    {
        TMemoryStream out;
        TRCAnsiEncoder encoder(out, 1252);
        TRCItemWriterClass writerClass = RCItemWriterDatabase()->Find(Table);
        EXPECT_EQ(writerClass, TRCItemAcceleratorWriter::ClassInfo());
        std::unique_ptr<TCustomRCItemWriter> writer = writerClass->Create(QString());
        writer->SetSymbolicValues(symbolic);
        writer->SaveToStream(encoder, Table, false);
        return QString::fromLatin1(out.ToByteArray());
    }
    // The entry lines of the statement, without indentation and line ends.
    QStringList Lines(bool symbolic = true)
    {
        QStringList lines = Write(symbolic).split(QStringLiteral("\r\n"));
        const qsizetype begin = lines.indexOf(QStringLiteral("BEGIN"));
        const qsizetype end = lines.indexOf(QStringLiteral("END"));
        EXPECT_GE(begin, 0);
        EXPECT_GT(end, begin);
        QStringList entries = lines.mid(begin + 1, end - begin - 1);
        for (QString& line : entries) {
            EXPECT_TRUE(line.startsWith(QStringLiteral("  "))) << line.toStdString();
            line = line.mid(2);
        }
        return entries;
    }
    TResourceModule Module;
    TAcceleratorResourceItem* Table = nullptr;
};

// PadText: the text, then spaces up to the width, at least one.
QString Pad(const QString& text, int width) { return text + QString(std::max<int>(1, width - text.size()), QLatin1Char(' ')); }

} // namespace

TEST_F(Accelerators, EntriesMapToShortcutsAndBack)
{
    Load(Entries({{0x0B, 'S', 101},     // VIRTKEY, NOINVERT, CONTROL
                  {0x15, 0x70, 102},    // VIRTKEY, SHIFT, ALT
                  {0x00, 'a', 103},     // ASCII
                  {0x1C, 0x1B, 0xFFFF}, // ASCII with every modifier
                  {0x81, 0x2E, 104}}),  // last
         40);
    ASSERT_EQ(Table->Accelerators()->Count(), 5);
    const struct {
        uint16_t Shortcut;
        uint16_t Command;
        TAcceleratorType Type;
    } expected[] = {{0x5053, 101, atVirtual}, {0xB070, 102, atVirtual}, {0x0061, 103, atASCII},
                    {0xE01B, 0xFFFF, atASCII}, {0x102E, 104, atVirtual}};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        TAcceleratorItem* entry = Table->Accelerators()->Items(i);
        EXPECT_EQ(entry->Shortcut().Value, expected[i].Shortcut);
        EXPECT_EQ(entry->Command()->OrdinalValue(), expected[i].Command);
        EXPECT_EQ(entry->AcceleratorType(), expected[i].Type);
    }
    EXPECT_EQ(Table->Accelerators()->Items(3)->Command()->Value(), QStringLiteral("-1"));
    // NOINVERT is not kept; the last entry alone carries 0x80; padding is zero.
    EXPECT_EQ(Save(), Entries({{0x09, 'S', 101}, {0x15, 0x70, 102}, {0x00, 'a', 103}, {0x1C, 0x1B, 0xFFFF},
                               {0x81, 0x2E, 104}}));
}

TEST_F(Accelerators, ReadingStopsAtTheLastEntryOrTheEndOfData)
{
    const QByteArray three = Entries({{0x01, 'A', 1}, {0x01, 'B', 2, 0x1234}, {0x01, 'C', 3}});
    const struct {
        const char* Case;
        QByteArray Data;
        int64_t Size;
        int Count;
    } cases[] = {
        {"no entry marked last: up to the size", three, three.size(), 3},
        {"an entry cut in the middle", three.left(21), 21, 2},
        {"size past the data", three.left(12), 64, 1},
        {"size shorter than the data", three, 16, 2},
        {"marked last in the middle", Entries({{0x01, 'A', 1}, {0x81, 'B', 2}, {0x01, 'C', 3}}), 24, 2},
        {"less than an entry", three.left(7), 7, 0},
        {"negative size", three, -8, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        Load(c.Data, c.Size);
        EXPECT_EQ(Table->Accelerators()->Count(), c.Count);
        for (int i = 0; i < Table->Accelerators()->Count(); ++i)
            EXPECT_EQ(Table->Accelerators()->Items(i)->Command()->OrdinalValue(), i + 1);
    }
}

TEST_F(Accelerators, SavingMarksOnlyTheLastEntryAndMasksKeys)
{
    Add(0x1000 | 0x4000 | 'S', 1);
    // An ASCII key keeps its low byte; a virtual one its low 12 bits.
    Add(0x2000 | 0x0341, 2);
    EXPECT_EQ(Save(), Entries({{0x09, 'S', 1}, {0x84, 0x41, 2}}));
    EXPECT_EQ(Save().size(), 16);
    Table->Accelerators()->Clear();
    EXPECT_EQ(Save(), QByteArray());
}

TEST_F(Accelerators, ChangingTheTypeAndTheShortcut)
{
    TAcceleratorItem* entry = Add(0x1000 | 0x4000 | 0x2000 | 'S', 7);
    entry->SetAcceleratorType(atASCII);
    EXPECT_EQ(entry->Shortcut().Value, 'S') << "the modifiers go with the virtual flag";
    entry->SetAcceleratorType(atASCII);
    EXPECT_EQ(entry->Shortcut().Value, 'S');
    entry->SetAcceleratorType(atVirtual);
    EXPECT_EQ(entry->Shortcut().Value, 0x1053);
    EXPECT_EQ(entry->DisplayName(), QStringLiteral("S: 7"));
    entry->SetShortcut(0);
    EXPECT_EQ(entry->DisplayName(), QStringLiteral("(None): 7"));
    entry->Command()->SetIdentifier(QStringLiteral("IDM_SEVEN"));
    entry->SetShortcut(0x5000 | 'O');
    EXPECT_EQ(entry->DisplayName(), QStringLiteral("Ctrl+O: IDM_SEVEN"));
    EXPECT_TRUE(Table->Modified());
}

TEST_F(Accelerators, NewEntriesTakeTheNextCommandID)
{
    // Without counters a new entry has command 0.
    EXPECT_EQ(Table->Accelerators()->Add()->Command()->OrdinalValue(), 0);
    Module.Symbols()->Add(QStringLiteral("_APS_NEXT_COMMAND_VALUE"))->SetLiteralValue(QStringLiteral("40010"));
    EXPECT_EQ(Table->Accelerators()->Add()->Command()->OrdinalValue(), 40010);
    EXPECT_EQ(Table->Accelerators()->Add()->Command()->OrdinalValue(), 40011);
    EXPECT_EQ(Module.GetNextResourceID(ricCommand, true), 40012);
    // An entry from a record takes the record's command; the counter still moves on.
    EXPECT_EQ(Table->Accelerators()->Add(ACCEL{FVIRTKEY, 'X', 5})->Command()->OrdinalValue(), 5);
    EXPECT_EQ(Module.GetNextResourceID(ricCommand, true), 40013);
    // Reading a module takes nothing from the counter.
    Module.BeforeLoad();
    Load(Entries({{0x81, 'A', 9}}), 8);
    Module.AfterLoad();
    EXPECT_EQ(Table->Accelerators()->Items(0)->Command()->OrdinalValue(), 9);
    EXPECT_EQ(Module.GetNextResourceID(ricCommand, true), 40013);
}

TEST_F(Accelerators, SymbolsBindEveryEntryWithTheirCommand)
{
    Module.Symbols()->Add(QStringLiteral("IDM_OPEN"))->SetLiteralValue(QStringLiteral("100"));
    Load(Entries({{0x09, 'O', 100}, {0x01, 0x72, 200}, {0x81, 0x2D, 100}}), 24);
    Table->AssignChildItemIdentifier(100, "IDM_OPEN");
    Table->AssignChildItemIdentifier(300, "IDM_NONE");
    const TAcceleratorItems* entries = Table->Accelerators();
    EXPECT_EQ(entries->Items(0)->Command()->ID(), QStringLiteral("IDM_OPEN"));
    EXPECT_EQ(entries->Items(1)->Command()->ID(), QStringLiteral("200"));
    EXPECT_EQ(entries->Items(2)->Command()->ID(), QStringLiteral("IDM_OPEN"));
    // Taking another entry's identifier takes its binding.
    entries->Items(1)->SetCommand(entries->Items(0)->Command());
    EXPECT_EQ(entries->Items(1)->Command()->ID(), QStringLiteral("IDM_OPEN"));
    EXPECT_EQ(entries->Items(1)->Command()->OrdinalValue(), 100);
}

TEST_F(Accelerators, KindAnswers)
{
    TResourceItemClass kind =
        ResourceItemDatabase()->Find(TResourceIdent::FromOrdinal(RT_ACCELERATOR), TResourceIdent::FromOrdinal(1), nullptr);
    EXPECT_EQ(kind, TAcceleratorResourceItem::ClassInfo());
    EXPECT_FALSE(TAcceleratorResourceItem::Handles(TResourceIdent::FromOrdinal(RT_MENU), {}, nullptr));
    EXPECT_FALSE(TAcceleratorResourceItem::Handles(TResourceIdent("9"), {}, nullptr));
    EXPECT_EQ(TAcceleratorResourceItem::ResourceTypeName(), QStringLiteral("Accelerator"));
    EXPECT_EQ(kind->Capabilities(), (TResourceItemCapabilities{rcWrite, rcCreate}));
    QStringList asked;
    const TResourceGlyphLoader previous = SetResourceGlyphLoader([&](const QString& name, const QString& ident) {
        asked << name + QLatin1Char(' ') + ident;
        return int(asked.size());
    });
    EXPECT_EQ(kind->GetGlyph(rgType), 1);
    EXPECT_EQ(kind->GetGlyph(rgItem), 2);
    SetResourceGlyphLoader(previous);
    EXPECT_EQ(asked, QStringList({"RES_ACCEL_TYPE accelerator.type", "RES_ACCEL_ITEM accelerator.item"}));
}

TEST(AcceleratorText, ValuesToText)
{
    const struct {
        uint16_t Value;
        const char* Text;
    } cases[] = {
        {0x0000, "(None)"},
        {0x1000, "(None)"},
        {0x7000, "(None)"},
        {0x5053, "Ctrl+S"},
        {0xB070, "Shift+Alt+F1"},
        {0x1000 | 0xBE, "."},
        {0x0061, "a"},
        {0x0001, "Ctrl+A"},
        {0x4001, "Ctrl+A"},
        {0x2001, "Shift+Ctrl+A"},
        {0xA01B, "Alt+Shift+Ctrl+["},
        {0x4061, "Ctrl+a"},
        {0xE061, "Ctrl+Alt+Shift+a"},
        {0x2000, "Shift+Ctrl+@"},
        {0x001C, "Ctrl+\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(AcceleratorToText(c.Value), QString::fromLatin1(c.Text));
    }
}

TEST(AcceleratorText, AccelRecordsToText)
{
    const struct {
        ACCEL Accel;
        const char* Text;
    } cases[] = {
        {{FVIRTKEY, 0, 1}, "(None)"},
        {{0, 0, 1}, "(None)"},
        {{FVIRTKEY | FCONTROL | FSHIFT, 'S', 1}, "Shift+Ctrl+S"},
        {{FVIRTKEY | FALT | FNOINVERT, 0x73, 1}, "Alt+F4"},
        {{FCONTROL, 'x', 1}, "Ctrl+x"},
        {{FSHIFT, 0x09, 1}, "Shift+Ctrl+I"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(AccelToText(c.Accel), QString::fromUtf8(c.Text));
    }
    EXPECT_EQ(AccelToText({0, 0x0416, 1}), QString(QChar(0x0416))) << "every bit of the key is the character";
}

TEST(AcceleratorText, ASCIITexts)
{
    const struct {
        const char* Text;
        uint16_t Value;
    } cases[] = {
        {"Shift+Tab", 0x2009},
        {"Ctrl+Enter", 13},
        {"^A", 0x4041},
        {"#65", 65},
        {"#300", 0},
        {"#0", 0},
        {"#-1", 0},
        {"#", '#'},
        {"Ctrl+#", 0x4023},
        {"", 0},
        {"Ctrl+", 0},
        {"shift+ALT+x", 0xA078},
        {"Alt+Shift+x", 0xA078},
        {"ctrl+space", 0x4020},
        {"^esc", 27},
        {"BKSP", 8},
        {"Shift+Alt+Ctrl+Q", 0xE051},
        {"^^", 0},
        {"xyz", 'x'},
        {"\xe9", 0xE9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(TextToASCIIAccelerator(QString::fromLatin1(c.Text)).Value, c.Value);
    }
    EXPECT_EQ(TextToASCIIAccelerator(QString(QChar(0x0416))).Value, 0) << "beyond a byte";
    EXPECT_THROW(TextToASCIIAccelerator(QStringLiteral("#1a")), EConvertError);
}

TEST(AcceleratorText, TheCurrentKindChoosesTheGrammar)
{
    const struct {
        uint16_t Current;
        const char* Text;
        uint16_t Value;
    } cases[] = {
        {0x1041, "Ctrl+F5", 0x5074},
        {0x1041, "Shift+Num +", 0x306B},
        {0x1041, "Nonsense", 0x1000},
        {0x1041, "(None)", 0},
        {0x0041, "Ctrl+F", 0x4046},
        {0x0041, "(none)", '('},
        {0x0000, "Tab", 9},
        {0x5000, "(None)", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        TAccelerator value = c.Current;
        TextToAccelerator(QString::fromLatin1(c.Text), value);
        EXPECT_EQ(value.Value, c.Value);
    }
}

TEST_F(Accelerators, WriterLineLayout)
{
    Module.Symbols()->Add(QStringLiteral("IDM_SAVE"))->SetLiteralValue(QStringLiteral("40001"));
    Add(0x5000 | 'S', 40001)->Command()->SetIdentifier(QStringLiteral("IDM_SAVE"));
    Add(0xE000 | 'a', 2);
    Add(0x3000 | '7', 3);
    Table->SetLanguage(0x0409);
    const QString text = Write();
    EXPECT_TRUE(text.startsWith(QStringLiteral("1 ACCELERATORS\r\n  LANGUAGE 0x09,0x01 // English (United States)\r\n"
                                               "BEGIN\r\n")))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("END\r\n\r\n"))) << text.toStdString();
    const QStringList expected = {
        Pad("\"S\",", 20) + Pad("IDM_SAVE,", 25) + Pad("CONTROL, VIRTKEY", 20) + "// Ctrl+S",
        Pad("\"a\",", 20) + Pad("2,", 25) + Pad("SHIFT, CONTROL, ALT, ASCII", 20) + "// Ctrl+Alt+Shift+a",
        Pad("\"7\",", 20) + Pad("3,", 25) + Pad("SHIFT, VIRTKEY", 20) + "// Shift+7",
    };
    EXPECT_EQ(Lines(), expected);
    EXPECT_EQ(expected[0], QStringLiteral("\"S\",                IDM_SAVE,                CONTROL, VIRTKEY    // Ctrl+S"));
}

// Every key goes out in a form both resource compilers read back as the same key.
TEST_F(Accelerators, WriterKeyTexts)
{
    Module.SetDeferDefaultSymbols(false);
    const struct {
        uint16_t Shortcut;
        const char* Symbolic;
        const char* Numeric;
    } cases[] = {
        {0x1070, "VK_F1", "112"},
        {0x10BE, "VK_OEM_PERIOD", "190"},
        {0x1041, "\"A\"", "\"A\""},
        {0x1030, "\"0\"", "\"0\""},
        {0x1061, "VK_NUMPAD1", "97"},
        {0x1088, "136", "136"},
        {0x112C, "300", "300"},
        {0x0000, "0", "0"},
        {0x0001, "1", "1"},
        {0x001B, "27", "27"},
        {0x001C, "28", "28"},
        {0x001F, "31", "31"},
        {0x0020, "\" \"", "\" \""},
        {0x0022, "34", "34"},
        {0x0027, "39", "39"},
        {0x005C, "92", "92"},
        {0x005E, "94", "94"},
        {0x005F, "\"_\"", "\"_\""},
        {0x0060, "96", "96"},
        {0x0061, "\"a\"", "\"a\""},
        {0x007E, "\"~\"", "\"~\""},
        {0x007F, "127", "127"},
        {0x00E9, "233", "233"},
    };
    for (const auto& c : cases) Add(c.Shortcut, 1);
    const QStringList symbolic = Lines(true);
    const QStringList numeric = Lines(false);
    ASSERT_EQ(symbolic.size(), std::size(cases));
    ASSERT_EQ(numeric.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].Symbolic);
        EXPECT_TRUE(symbolic[i].startsWith(Pad(QString::fromLatin1(cases[i].Symbolic) + ",", 20))) << symbolic[i].toStdString();
        EXPECT_TRUE(numeric[i].startsWith(Pad(QString::fromLatin1(cases[i].Numeric) + ",", 20))) << numeric[i].toStdString();
    }
}

TEST_F(Accelerators, WriterCommandsAndComments)
{
    Add(0x1041, 0xFFFF);
    Add(0x001C, 2);      // Ctrl+\ as a comment would continue onto the next line
    Add(0x50DC, 3);      // Ctrl+\ as a virtual key
    Add(0x0041, 4);
    const QStringList lines = Lines(false);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], Pad("\"A\",", 20) + Pad("65535,", 25) + Pad("VIRTKEY", 20) + "// A");
    EXPECT_EQ(lines[1], Pad("28,", 20) + Pad("2,", 25) + Pad("ASCII", 20) + "/* Ctrl+\\ */");
    EXPECT_EQ(lines[2], Pad("220,", 20) + Pad("3,", 25) + Pad("CONTROL, VIRTKEY", 20) + "/* Ctrl+\\ */");
    EXPECT_EQ(lines[3], Pad("\"A\",", 20) + Pad("4,", 25) + Pad("ASCII", 20) + "// A");
}
