#include "MessageTableTestSupport.h"
#include "kinds/koResourceItemMessageTable.h"
#include "model/LogCapture.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/ByteBuilder.h"
#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {
TResourceIdent Ord(uint16_t v) { return TResourceIdent::FromOrdinal(v); }

const uint16_t English = 0x0409;
const uint16_t Russian = 0x0419;
const uint16_t Sinhala = 0x045B;

QByteArray Utf16Bytes(const QString& text) { return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2); }

// One entry as it is stored: its text bytes padded with zeros to the given length (header included).
QByteArray Entry(uint16_t length, uint16_t flags, const QByteArray& text)
{
    QByteArray d;
    Add16(d, length);
    Add16(d, flags);
    d += text;
    d.append(QByteArray(std::max<qsizetype>(0, length - 4 - text.size()), '\0'));
    return d;
}

struct TRecord {
    uint32_t LowId, HighId, Offset;
};

// Message table data: the block records, then the entries as given.
QByteArray Table(uint32_t count, const std::vector<TRecord>& records, const QByteArray& entries = {})
{
    QByteArray d;
    Add32(d, count);
    for (const TRecord& r : records) {
        Add32(d, r.LowId);
        Add32(d, r.HighId);
        Add32(d, r.Offset);
    }
    return d + entries;
}

QByteArray Saved(TCustomResourceItem& item)
{
    TMemoryStream s;
    item.SaveToStream(s);
    return s.ToByteArray();
}

void Load(TCustomResourceItem& item, const QByteArray& data)
{
    TBytesStream s(data);
    item.LoadFromStream(s, s.Size());
}

class MessageTables : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemString_Initialize();
        koResourceItemMessageTable_Initialize();
        Module.SetDeferDefaultSymbols(true);
    }
    void TearDown() override
    {
        koResourceItemMessageTable_Finalize();
        koResourceItemString_Finalize();
        koResourcesKinds_Finalize();
    }
    TMessageTableResourceItem* NewTable(uint16_t language, const std::map<uint32_t, QString>& messages)
    {
        auto* table = new TMessageTableResourceItem(Ord(1));
        Module.Items()->Add(table);
        table->SetLanguage(language);
        for (const auto& [id, text] : messages) table->Strings()->AddID(id)->SetValue(text);
        return table;
    }
    TResourceModule Module;
};
} // namespace

TEST_F(MessageTables, ConsecutiveIDsShareABlockAndEveryEntryEndsWithAZero)
{
    TMessageTableResourceItem* table = NewTable(English, {{11, "abcdefg"}, {2, "abc"}, {1, ""}, {10, "x"}, {3, "abcd"}});
    QByteArray entries = Entry(8, 0, "") + Entry(8, 0, "abc") + Entry(12, 0, "abcd");
    const uint32_t second = 28 + entries.size();
    entries += Entry(8, 0, "x") + Entry(12, 0, "abcdefg");
    EXPECT_EQ(Saved(*table), Table(2, {{1, 3, 28}, {10, 11, second}}, entries));
}

TEST_F(MessageTables, NoEntryRunsIntoTheNext)
{
    // Whatever the length of a text, a reader that stops at the first zero stops inside its entry.
    for (const bool wide : {false, true})
        for (int n = 0; n <= 9; ++n) {
            SCOPED_TRACE(testing::Message() << (wide ? "UTF-16" : "ANSI") << ", " << n << " characters");
            const QString text = QString(n, QLatin1Char('a')) + (wide ? QStringLiteral("\u0416") : QString());
            TMessageTableResourceItem* table = NewTable(English, {{7, text}, {8, "next"}});
            const QByteArray data = Saved(*table);
            const std::vector<TStoredEntry> stored = StoredEntries(data);
            ASSERT_EQ(stored.size(), 2u);
            const TStoredEntry& first = stored[0];
            EXPECT_EQ(first.Length % 4, 0);
            EXPECT_EQ(first.Flags, wide ? 1 : 0);
            const int unit = wide ? 2 : 1;
            const QByteArray zero(unit, '\0');
            qsizetype end = 0;
            while (end + unit <= first.Bytes.size() && first.Bytes.mid(end, unit) != zero) end += unit;
            ASSERT_LT(end, first.Bytes.size()) << "no terminating zero inside the entry";
            EXPECT_EQ(first.Bytes.left(end), wide ? Utf16Bytes(text) : text.toLatin1());
            EXPECT_LE(first.Length - 4 - end, 3 + unit) << "no more padding than the zero and the alignment";
            Module.Items()->Remove(table);
        }
}

TEST_F(MessageTables, ABlockIsUTF16WhenReadSoOrWhenATextDoesNotFitTheCodePage)
{
    struct Case {
        const char* name;
        uint16_t language;
        QString text;
        bool loadedWide;
        uint16_t flags;
        QByteArray stored; // the entry's text bytes, padding left out
    } cases[] = {
        {"ANSI text stays ANSI", English, QStringLiteral("Gr\u00FC\u00DFe \u20AC"), false, 0, UnicodeToCodePage(QStringLiteral("Gr\u00FC\u00DFe \u20AC"), 1252)},
        {"read as UTF-16, written so", English, QStringLiteral("plain"), true, 1, Utf16Bytes("plain")},
        {"Cyrillic in an English table", English, QStringLiteral("\u041F\u0440\u0438"), false, 1, Utf16Bytes(QStringLiteral("\u041F\u0440\u0438"))},
        {"Cyrillic in a Russian table", Russian, QStringLiteral("\u041F\u0440\u0438"), false, 0, QByteArray("\xCF\xF0\xE8")},
        {"a language without an ANSI code page", Sinhala, QStringLiteral("\u0DC3\u0DD2\u0D82"), false, 1, Utf16Bytes(QStringLiteral("\u0DC3\u0DD2\u0D82"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TMessageTableResourceItem item(Ord(1));
        item.SetLanguage(c.language);
        // Read from a UTF-16 block, or typed in.
        if (c.loadedWide)
            Load(item, Table(1, {{5, 5, 16}}, Entry(uint16_t(4 + 2 * c.text.size()), 1, Utf16Bytes(c.text))));
        else
            item.Strings()->AddID(5)->SetValue(c.text);
        ASSERT_EQ(Messages(item), (std::map<uint32_t, QString>{{5, c.text}}));
        const QByteArray data = Saved(item);
        const std::vector<TStoredEntry> stored = StoredEntries(data);
        ASSERT_EQ(stored.size(), 1u);
        EXPECT_EQ(stored[0].Flags, c.flags);
        EXPECT_TRUE(stored[0].Bytes.startsWith(c.stored));

        TMessageTableResourceItem again(Ord(1));
        again.SetLanguage(c.language);
        Load(again, data);
        EXPECT_EQ(Messages(again), Messages(item)) << "nothing turns into '?'";
    }
}

TEST_F(MessageTables, OneTextBeyondTheCodePageMakesItsWholeBlockUTF16)
{
    TMessageTableResourceItem* table =
        NewTable(English, {{1, "one"}, {2, QStringLiteral("\u4E2D")}, {3, "three"}, {9, "nine"}});
    const std::vector<TStoredEntry> stored = StoredEntries(Saved(*table));
    ASSERT_EQ(stored.size(), 4u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(stored[i].Flags, 1) << "ID " << stored[i].ID;
    EXPECT_EQ(stored[3].Flags, 0) << "a block of its own stays ANSI";
    EXPECT_TRUE(stored[0].Bytes.startsWith(Utf16Bytes("one")));
}

TEST_F(MessageTables, Reading)
{
    struct Case {
        const char* name;
        uint16_t language;
        QByteArray data;
        std::map<uint32_t, QString> messages;
    } cases[] = {
        {"the first entry decides the encoding of its block", English,
         Table(1, {{1, 2, 16}}, Entry(8, 1, Utf16Bytes("ab")) + Entry(8, 0, Utf16Bytes("cd"))), {{1, "ab"}, {2, "cd"}}},
        {"ANSI in the code page of the language", Russian, Table(1, {{1, 1, 16}}, Entry(8, 0, "\xCF\xF0")),
         {{1, QStringLiteral("\u041F\u0440")}}},
        {"texts end at their first zero", English,
         Table(2, {{1, 1, 28}, {2, 2, 36}}, Entry(8, 0, QByteArray("a\0bc", 4)) + Entry(12, 1, Utf16Bytes(QStringLiteral("x\0y")))),
         {{1, "a"}, {2, "x"}}},
        {"an odd UTF-16 size drops its last byte", English, Table(1, {{4, 4, 16}}, Entry(7, 1, QByteArray("z\0q", 3))), {{4, "z"}}},
        {"HighId below LowId holds no messages", English, Table(1, {{9, 8, 16}}), {}},
        {"block records past the data are none", English, Table(1000, {{9, 8, 16}}), {}},
        {"the last ID ends the count", English,
         Table(1, {{0xFFFFFFFE, 0xFFFFFFFF, 16}}, Entry(8, 0, "hi") + Entry(8, 0, "yo")), {{0xFFFFFFFE, "hi"}, {0xFFFFFFFF, "yo"}}},
        {"bytes after the entries are ignored", English, Table(1, {{3, 3, 16}}, Entry(8, 0, "c") + "junk"), {{3, "c"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TMessageTableResourceItem item(Ord(1));
        item.SetLanguage(c.language);
        Load(item, c.data);
        EXPECT_EQ(Messages(item), c.messages);
    }
}

TEST_F(MessageTables, MalformedDataIsKeptAsRawData)
{
    const QByteArray one = Entry(8, 0, "abc");
    struct Case {
        const char* name;
        QByteArray data;
        QString message;
    } cases[] = {
        {"no data", {}, "Premature end of data"},
        {"a count cut short", QByteArray("\1\0\0", 3), "Premature end of data"},
        {"a block record cut short", Table(1, {}) + QByteArray(8, '\0'), "Premature end of data"},
        {"entries past the data", Table(1, {{1, 2, 16}}, one), "Malformed resource item"},
        {"an offset past the data", Table(1, {{1, 1, 100}}, one), "Malformed resource item"},
        {"a length below 4", Table(1, {{1, 1, 16}}, Entry(2, 0, {})), "Malformed resource item"},
        {"a length past the data", Table(1, {{1, 1, 16}}, Entry(40, 0, "abc").left(12)), "Malformed resource item"},
        {"billions of IDs claimed", Table(1, {{0, 0xFFFFFFFF, 16}}, one), "Malformed resource item"},
        {"blocks sharing their entries", Table(2, {{1, 1, 28}, {2, 2, 28}}, one), "Malformed resource item"},
        {"an ID in two blocks", Table(2, {{1, 1, 28}, {1, 1, 36}}, one + one), "Duplicate string ID: 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TResourceModule module;
        module.SetDeferDefaultSymbols(true);
        // The resource lies inside a larger stream: what follows it is no part of it.
        const QByteArray trailing = Entry(60, 0, "more entries that do not belong to it");
        TBytesStream stream(c.data + trailing);
        TLogCapture log;
        TCustomResourceItem* item = LoadResourceItem(&module, Ord(RT_MESSAGETABLE), Ord(7), English, stream, c.data.size());
        EXPECT_TRUE(log.Messages().contains(c.message)) << log.Messages().join("; ").toStdString();
        auto* raw = qobject_cast<TCustomResourceItemGeneric*>(item);
        ASSERT_TRUE(raw);
        EXPECT_EQ(raw->Data()->ToByteArray(), c.data);
        EXPECT_EQ(module.Items()->Count(), 1);
    }
}

TEST_F(MessageTables, ALoadedTableIsAMessageTable)
{
    const QByteArray data = Table(1, {{1, 1, 16}}, Entry(8, 0, "abc"));
    TBytesStream stream(data);
    TCustomResourceItem* item = LoadResourceItem(&Module, Ord(RT_MESSAGETABLE), Ord(1), English, stream, data.size());
    auto* table = qobject_cast<TMessageTableResourceItem*>(item);
    ASSERT_TRUE(table);
    EXPECT_EQ(Messages(*table), (std::map<uint32_t, QString>{{1, "abc"}}));
    EXPECT_EQ(table->Size(), data.size());
    EXPECT_EQ(Saved(*table), data);
}

TEST_F(MessageTables, EmptyTableHasNoData)
{
    TMessageTableResourceItem* table = NewTable(English, {{1, "gone"}});
    table->Strings()->Clear();
    EXPECT_TRUE(Saved(*table).isEmpty());
    EXPECT_EQ(table->Size(), 0);

    auto* made = new TMessageTableResourceItem(Ord(1));
    Module.Items()->Add(made);
    made->InitializeNewItem();
    EXPECT_TRUE(made->NameIsInteger());
    EXPECT_EQ(made->Strings()->Count(), 0);
}

TEST_F(MessageTables, AMessageTooLongForItsEntryIsRefused)
{
    // 4 header bytes, the text and its zero, padded, must fit 16 bits.
    struct Case {
        QString text;
        bool fits;
    } cases[] = {{QString(65527, QLatin1Char('a')), true},
                 {QString(65528, QLatin1Char('a')), false},
                 {QString(32763, QChar(0x4E2D)), true},
                 {QString(32764, QChar(0x4E2D)), false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.size());
        TMessageTableResourceItem* table = NewTable(English, {{3, "before"}, {4, c.text}});
        TMemoryStream out;
        if (!c.fits) {
            EXPECT_THROW(table->SaveToStream(out), Exception);
            EXPECT_EQ(out.Size(), 0) << "nothing half written";
        } else {
            table->SaveToStream(out);
            TMessageTableResourceItem again(Ord(1));
            again.SetLanguage(English);
            Load(again, out.ToByteArray());
            EXPECT_EQ(Messages(again), Messages(*table));
        }
        Module.Items()->Remove(table);
    }
}

TEST_F(MessageTables, MsgFilesAreTheDataAndChosenByTheirExtension)
{
    const QByteArray text = "Just some text\r\n";
    TBytesStream data(text);
    EXPECT_EQ(ResourceItemDatabase()->FindFileFormat("events.MsG", &data), TMessageTableResourceItem::ClassInfo());
    EXPECT_NE(ResourceItemDatabase()->FindFileFormat("events.txt", &data), TMessageTableResourceItem::ClassInfo());
    EXPECT_EQ(ResourceItemDatabase()->FindFileType("x.msg", {fcLoad}), TMessageTableResourceItem::ClassInfo());

    TMessageTableResourceItem* table = NewTable(English, {{0x40000001, "first"}, {0xC0000002, QStringLiteral("\u00E9t\u00E9")}});
    TMemoryStream file;
    table->SaveToFileStream(file);
    EXPECT_EQ(file.ToByteArray(), Saved(*table));
    file.SetPosition(0);
    TMessageTableResourceItem imported(Ord(1));
    imported.SetLanguage(English);
    imported.LoadFromFileStream(file);
    EXPECT_EQ(Messages(imported), Messages(*table));
}

TEST_F(MessageTables, CompilerSymbolsBindToMessages)
{
    TMessageTableResourceItem* table = NewTable(English, {{1, "one"}, {2, "two"}});
    TLogCapture log;
    table->AssignChildItemIdentifier(2, "MSG_TWO");
    table->AssignChildItemIdentifier(5, "MSG_NONE");
    EXPECT_EQ(table->Strings()->FindID(2)->DisplayName(), "MSG_TWO");
    ASSERT_TRUE(Module.Symbols()->Find("MSG_TWO"));
    EXPECT_EQ(Module.Symbols()->Find("MSG_TWO")->Value(), QVariant(2));
    EXPECT_EQ(log.Messages(), QStringList{"Symbol not resolved for MESSAGELIST item: MSG_NONE"});
}
