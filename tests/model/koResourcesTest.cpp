#include "TestKinds.h"
#include "model/koResources.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {
QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int v : values) result.append(static_cast<char>(v));
    return result;
}
} // namespace

TEST(ResourceIdent, OrdinalForm)
{
    EXPECT_FALSE(IsOrdinalResourceIdent(QString(QChar(0xFFFF))));
    const QString zero = QString(QChar(0xFFFF)) + QChar(0);
    EXPECT_TRUE(IsOrdinalResourceIdent(zero));
    EXPECT_EQ(ResourceIdentOrdinal(zero), 0);
    EXPECT_EQ(ResourceIdentToText(Ord(65535)), "65535");
    EXPECT_EQ(ResourceIdentToText(TResourceIdent("NAME")), "NAME");
    EXPECT_EQ(ResourceIdentToString(Ord(101)), "#101");
    EXPECT_EQ(ResourceIdentToString(TResourceIdent("MAINICON")), "MAINICON");
}

TEST(ResourceIdent, TextToResourceIdent)
{
    struct Case {
        const char* text;
        int ordinal; // -1: stays a name
    } cases[] = {{"12", 12},  {"0012", 12},   {"-1", 65535}, {"70000", 4464}, {"$1A", 26}, {"0x1a", 26},
                 {"x10", 16}, {"  7", 7},     {"+5", 5},     {"ABC", -1},     {"", -1},    {"12a", -1},
                 {"abc", -1}, {"99999999999", -1}};
    for (const Case& c : cases) {
        const TResourceIdent ident = TextToResourceIdent(QString::fromLatin1(c.text));
        if (c.ordinal < 0) {
            EXPECT_FALSE(IsOrdinalResourceIdent(ident)) << c.text;
            EXPECT_EQ(ident, QString::fromLatin1(c.text)) << "names keep their case here";
        } else {
            ASSERT_TRUE(IsOrdinalResourceIdent(ident)) << c.text;
            EXPECT_EQ(ResourceIdentOrdinal(ident), c.ordinal) << c.text;
        }
    }
}

TEST(ResourceIdent, PCharConversions)
{
    EXPECT_EQ(PCharToResourceIdent(reinterpret_cast<const char16_t*>(uintptr_t(5))), Ord(5));
    EXPECT_EQ(PCharToResourceIdent(u"#101"), Ord(101));
    EXPECT_EQ(PCharToResourceIdent(u"#"), TResourceIdent("#"));
    EXPECT_EQ(PCharToResourceIdent(u"Name"), TResourceIdent("Name"));
    EXPECT_THROW(PCharToResourceIdent(u"#1z"), EConvertError);

    const TResourceIdent ordinal = Ord(42);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(ResourceIdentToPChar(ordinal)), 42u);
    const TResourceIdent name("PNG");
    EXPECT_EQ(QString::fromUtf16(ResourceIdentToPChar(name)), "PNG");
}

TEST(ResourceIdent, DisplayTexts)
{
    EXPECT_EQ(ResourceTypeToFriendlyName(Ord(14)), "Icon");
    EXPECT_EQ(ResourceTypeToFriendlyName(Ord(12)), "Cursor");
    EXPECT_EQ(ResourceTypeToFriendlyName(Ord(13)), "*NEWBITMAP");
    EXPECT_EQ(ResourceTypeToFriendlyName(Ord(16)), "VersionInfo");
    EXPECT_EQ(ResourceTypeToFriendlyName(Ord(30)), "#30");
    EXPECT_EQ(ResourceTypeToFriendlyName(Ord(0)), "#0");
    EXPECT_EQ(ResourceTypeToFriendlyName(TResourceIdent("AVI")), "AVI");
    EXPECT_EQ(ResourceTypeToKeyword(Ord(24)), "MANIFEST");
    EXPECT_EQ(ResourceTypeIDToKeyword(25), "#25");
    EXPECT_EQ(ResourceTypeKeywordToID("group_icon"), 14);
    EXPECT_EQ(ResourceTypeKeywordToID("PNG"), 0);

    EXPECT_EQ(LanguageIDToString(0), "Language neutral");
    EXPECT_EQ(LanguageIDToString(0x0409), "English (United States)");
    EXPECT_EQ(LanguageIDToString(0x0019), "Russian");
    EXPECT_EQ(LanguageIDToString(0x0009), "English");
    EXPECT_EQ(LanguageIDToString(0x0030), "48"); // a language the table does not know
    EXPECT_EQ(LanguageIDToString(0x7FFF), "32767");
}

TEST(ResourceIdent, ItemOrder)
{
    TTestItem a(Ord(1), TResourceIdent("ABC"));
    TTestItem b(TResourceIdent("PNG"), Ord(2));
    TTestItem c(Ord(3), Ord(7));
    TTestItem d(Ord(3), TResourceIdent("X"));
    TTestItem e(Ord(3), Ord(2));
    std::vector<TCustomResourceItem*> items{&a, &b, &c, &d, &e};
    std::sort(items.begin(), items.end(),
              [](auto* x, auto* y) { return CompareResourceItems(x, y) < 0; });
    EXPECT_EQ(items, (std::vector<TCustomResourceItem*>{&a, &e, &c, &d, &b}));

    // Names compare with ASCII letters folded; languages are not compared.
    EXPECT_LT(CompareResourceIdents(TResourceIdent("abc"), TResourceIdent("ABD")), 0);
    EXPECT_EQ(CompareResourceIdents(TResourceIdent("abc"), TResourceIdent("ABC")), 0);
    TTestItem f(Ord(3), Ord(2));
    f.SetLanguage(0x0407);
    EXPECT_EQ(CompareResourceItems(&e, &f), 0);
}

TEST(ResourceIdent, MemoryFields)
{
    uint8_t buffer[32] = {};
    uint8_t* p = buffer;
    EXPECT_EQ(StoreResourceIdent(TResourceIdent("ABCDEFGH"), p, buffer + sizeof buffer, 5), 10);
    EXPECT_EQ(p, buffer + 10);
    EXPECT_EQ(buffer[6], 'D');
    EXPECT_EQ(buffer[8], 0);
    EXPECT_EQ(StoreResourceIdent(Ord(7), p, buffer + sizeof buffer, 1), 4);
    EXPECT_THROW({ uint8_t* q = buffer; StoreResourceIdent(TResourceIdent("A"), q, buffer + 2, 5); }, EAssertionFailed);

    const uint8_t* r = buffer;
    const uint8_t* end = buffer + 14;
    TResourceIdent ident;
    ASSERT_TRUE(ExtractResourceIdent(r, end, 100, ident));
    EXPECT_EQ(ident, TResourceIdent("ABCD"));
    ASSERT_TRUE(ExtractResourceIdent(r, end, 100, ident));
    EXPECT_EQ(ident, Ord(7));
    EXPECT_EQ(r, end);
    // Nothing is read past the data: truncated ordinal, unterminated name, empty data.
    const uint8_t truncatedOrdinal[] = {0xFF, 0xFF, 0x05};
    r = truncatedOrdinal;
    EXPECT_FALSE(ExtractResourceIdent(r, truncatedOrdinal + 3, 100, ident));
    EXPECT_EQ(r, truncatedOrdinal);
    const uint8_t unterminated[] = {'A', 0, 'B', 0};
    r = unterminated;
    EXPECT_FALSE(ExtractResourceIdent(r, unterminated + 4, 100, ident));
    EXPECT_FALSE(ExtractResourceIdent(r, unterminated, 100, ident));
}

TEST(ResourceIdent, StreamFields)
{
    struct Case {
        QByteArray data;
        int maxLen;
        bool stopAtNull;
        bool ex;
        QString expected;
        int bytes;
    } cases[] = {
        {Bytes({0xFF, 0xFF, 0x05, 0x00}), 100, true, false, QString(Ord(5)), 4},
        {Bytes({0x41, 0, 0x42, 0, 0, 0, 0x43, 0}), 100, true, false, "AB", 6},
        {Bytes({0x41, 0}), 100, true, false, "A", 2},
        {Bytes({0x41, 0}), 0, true, false, "", 0},
        {Bytes({0x41, 0, 0x42, 0, 0x43, 0}), 2, true, false, "AB", 4},
        {Bytes({0x41, 0, 0, 0, 0x43, 0}), 3, false, false, QString("A") + QChar(0) + "C", 6},
        {Bytes({0xFF, 0xFF}), 100, true, false, QString(QChar(0xFFFF)), 2},
        {Bytes({0x00, 0xFF, 0x80, 0x00}), 100, true, true, QString(Ord(0x80)), 4},
        {Bytes({0x00, 0xFF, 0x80, 0x00}), 100, true, false, QString(QChar(0xFF00)) + QChar(0x80), 4},
    };
    for (const Case& c : cases) {
        TBytesStream stream(c.data);
        TResourceIdent ident;
        const int bytes = c.ex ? ReadResourceIdentEx(stream, ident, c.maxLen, c.stopAtNull)
                               : ReadResourceIdent(stream, ident, c.maxLen, c.stopAtNull);
        EXPECT_EQ(ident, c.expected) << c.data.toHex().constData();
        EXPECT_EQ(bytes, c.bytes) << c.data.toHex().constData();
        EXPECT_EQ(stream.Position(), std::min<int64_t>(bytes, c.data.size()));
    }

    TBytesStream ansi(QByteArray("abc\0de", 6));
    QByteArray s;
    EXPECT_EQ(ReadAnsiString(ansi, s, 10, true), 4);
    EXPECT_EQ(s, "abc");
    TBytesStream wide(Bytes({0x41, 0, 0xFF, 0xFF, 0x42, 0}));
    QString w;
    EXPECT_EQ(ReadWideString(wide, w, 10, true), 6) << "no ordinal marker in plain strings";
    EXPECT_EQ(w, QString("A") + QChar(0xFFFF) + "B");
}

TEST(ResourceIdent, WriteFields)
{
    TMemoryStream stream;
    EXPECT_EQ(WriteResourceIdent(stream, Ord(5)), 4);
    EXPECT_EQ(WriteResourceIdent(stream, TResourceIdent("AB")), 6);
    EXPECT_EQ(WriteResourceIdent(stream, QString()), 2);
    EXPECT_EQ(WriteWideString(stream, "C", false), 2);
    EXPECT_EQ(stream.ToByteArray(), Bytes({0xFF, 0xFF, 5, 0, 'A', 0, 'B', 0, 0, 0, 0, 0, 'C', 0}));

    TMemoryStream aligned;
    aligned.WriteBytes(QByteArray(6, 'x'));
    EXPECT_EQ(AlignStream(aligned, 6, 4), 8);
    EXPECT_EQ(aligned.Size(), 8);
    EXPECT_EQ(AlignStream(aligned, 8, 4), 8);
    EXPECT_EQ(aligned.Size(), 8);
    EXPECT_EQ(aligned.ToByteArray().right(2), Bytes({0, 0}));
}

TEST(ResourceIdent, MatchSignature)
{
    TBytesStream one(Bytes({0x42}));
    EXPECT_FALSE(MatchSignature(&one, "BM", {}, 0));
    EXPECT_EQ(one.Position(), 0);

    TBytesStream data(Bytes({0x42, 0x4D, 0x11, 0x22}));
    data.SetPosition(3);
    EXPECT_TRUE(MatchSignature(&data, "BX", Bytes({0xFF, 0x00}), 0));
    EXPECT_FALSE(MatchSignature(&data, "BX", {}, 0));
    EXPECT_TRUE(MatchSignature(&data, Bytes({0x11, 0x22}), {}, 2));
    EXPECT_TRUE(MatchSignature(&data, {}, {}, 0));
    EXPECT_FALSE(MatchSignature(nullptr, "B", {}, 0));
    EXPECT_EQ(data.Position(), 3);
    EXPECT_THROW(MatchSignature(&data, "B", "MM", 0), EAssertionFailed);

    TBytesStream wide(Bytes({'R', 0, 'I', 0, 'F', 0}));
    EXPECT_TRUE(MatchWideSignature(&wide, "IF", 2));
    EXPECT_FALSE(MatchWideSignature(&wide, "IF", 0));
}

namespace {
// Every read raises, to show the position is restored after a failed read.
class TFailingStream : public TBytesStream {
public:
    using TBytesStream::TBytesStream;
    int64_t Read(void*, int64_t) override { throw EReadError("Stream read error"); }
};
} // namespace

TEST(ResourceIdent, MatchSignatureRestoresPositionWhenReadingRaises)
{
    TFailingStream stream(QByteArray("abcdef"));
    stream.SetPosition(2);
    EXPECT_THROW(MatchSignature(&stream, "ab", {}, 0), EReadError);
    EXPECT_EQ(stream.Position(), 2);
}
