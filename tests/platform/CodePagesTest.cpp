#include "platform/CodePages.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

namespace {

const uint32_t SingleBytePages[] = {437, 737, 775, 850, 852, 855, 857, 860, 861, 862, 863, 864, 865, 866, 869,
                                    874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};
const uint32_t DoubleBytePages[] = {932, 936, 949, 950};

QByteArray Bytes(const char* data, qsizetype size = -1) { return QByteArray(data, size); }

// Text from raw UTF-16 units, unpaired surrogates included.
QString Units(std::initializer_list<char16_t> units)
{
    return QString::fromUtf16(units.begin(), qsizetype(units.size()));
}

QByteArray AllBytes()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    return bytes;
}

struct TMapping {
    uint32_t CodePage;
    const char16_t* Text;
    const char* Bytes;
};

// Characters that a page holds, both ways.
const TMapping Mappings[] = {
    {1252, u"\u20AC", "\x80"},
    {1252, u"Gr\u00FC\u00DFe", "Gr\xFC\xDF" "e"},
    {CP_ACP, u"\u20AC\u00FF", "\x80\xFF"},
    {1250, u"\u0141\u00F3d\u017A", "\xA3\xF3" "d\x9F"},
    {1251, u"\u041F\u0440\u0438\u0432\u0435\u0442", "\xCF\xF0\xE8\xE2\xE5\xF2"},
    {1253, u"\u03A9\u03BC\u03AD\u03B3\u03B1", "\xD9\xEC\xDD\xE3\xE1"},
    {1254, u"\u011F\u0130", "\xF0\xDD"},
    {1255, u"\u05E9\u05DC\u05D5\u05DD", "\xF9\xEC\xE5\xED"},
    {1256, u"\u0633\u0644\u0627\u0645", "\xD3\xE1\xC7\xE3"},
    {1257, u"\u0104\u017E", "\xC0\xFE"},
    {874, u"\u0E44\u0E17\u0E22", "\xE4\xB7\xC2"},
    {437, u"\u00E9\u00BD\u2591", "\x82\xAB\xB0"},
    {CP_OEMCP, u"\u00E9", "\x82"},
    {850, u"\u00D8\u00DF", "\x9D\xE1"},
    {866, u"\u041C\u0438\u0440", "\x8C\xA8\xE0"},
    {932, u"\u6F22\u5B57", "\x8A\xBF\x8E\x9A"},
    {932, u"A\uFF71\uFF5E", "A\xB1\x81\x60"}, // half-width katakana is one byte
    {936, u"\u6F22\u5B57\u6C49", "\x9D\x68\xD7\xD6\xBA\xBA"},
    {936, u"\u20AC", "\x80"},
    {949, u"\uD55C\uAD6D", "\xC7\xD1\xB1\xB9"},
    {950, u"\u4E2D\u6587", "\xA4\xA4\xA4\xE5"},
    {CP_UTF8, u"\u20AC\U0001F600", "\xE2\x82\xAC\xF0\x9F\x98\x80"},
};

TEST(CodePages, MapsCharactersBothWays)
{
    for (const TMapping& m : Mappings) {
        SCOPED_TRACE(testing::Message() << "code page " << m.CodePage);
        const QString text = QString::fromUtf16(m.Text);
        EXPECT_EQ(UnicodeToCodePage(text, m.CodePage), Bytes(m.Bytes));
        EXPECT_EQ(CodePageToUnicode(Bytes(m.Bytes), m.CodePage), text);
        EXPECT_TRUE(CodePageCanHold(text, m.CodePage));
    }
}

TEST(CodePages, Utf16IsLittleEndian)
{
    const QString text = QString::fromUtf16(u"A\u20AC\U0001F600");
    const QByteArray bytes = Bytes("A\0\xAC\x20\x3D\xD8\x00\xDE", 8);
    EXPECT_EQ(UnicodeToCodePage(text, CP_UTF16), bytes);
    EXPECT_EQ(CodePageToUnicode(bytes, CP_UTF16), text);
}

TEST(CodePages, EverySingleByteSurvivesRoundTrip)
{
    const QByteArray bytes = AllBytes();
    for (uint32_t page : SingleBytePages) {
        SCOPED_TRACE(testing::Message() << "code page " << page);
        const QString text = CodePageToUnicode(bytes, page);
        ASSERT_EQ(text.size(), 256);
        EXPECT_EQ(UnicodeToCodePage(text, page), bytes);
    }
}

TEST(CodePages, UndefinedBytesDecodeToTheSameCodePoint)
{
    for (const char byte : {'\x81', '\x8D', '\x8F', '\x90', '\x9D'}) {
        const QString text = CodePageToUnicode(QByteArray(1, byte), 1252);
        ASSERT_EQ(text.size(), 1);
        EXPECT_EQ(text.at(0).unicode(), uint8_t(byte));
    }
    EXPECT_EQ(CodePageToUnicode(Bytes("\0", 1), 1252), QString(QChar(0)));

    // 857 leaves 0xD5 undefined but holds U+00D5 at 0xE5: the real mapping keeps the character.
    EXPECT_EQ(UnicodeToCodePage(QString(QChar(0xD5)), 857), QByteArray("\xE5"));
    EXPECT_NE(CodePageToUnicode("\xD5", 857), QString(QChar(0xD5)));
}

TEST(CodePages, SingleBytePagesDecodeBytesOneByOne)
{
    // 1258 letters and tone marks stay separate characters; nothing composes them.
    EXPECT_EQ(CodePageToUnicode("a\xD2", 1258), QString::fromUtf16(u"a\u0309"));
}

TEST(CodePages, CharactersOutsideThePageBecomeQuestionMarks)
{
    const struct {
        uint32_t CodePage;
        QString Text;
        const char* Expected;
    } cases[] = {
        {437, Units({0x20AC}), "?"},
        {1252, QString::fromUtf16(u"a\U0001F600b"), "a??b"}, // one '?' per UTF-16 unit
        {1252, Units({0x03A9, 0x6F22}), "??"},
        {1252, Units({u'x', 0xDC00, 0xD800}), "x??"},
        {1251, Units({0x00E9}), "?"},
        {932, QString::fromUtf16(u"a\U0001F600b"), "a??b"},
        {932, Units({0xD55C, 0x6F22}), "?\x8A\xBF"}, // no Hangul in 932; conversion goes on after it
        {936, Units({u'x', 0xD800, u'y'}), "x?y"},    // an unpaired surrogate
        {949, Units({0xDC00, 0xD800, 0xD800, 0xDC00}), "????"},
        {950, Units({0x20AC, 0xD83D}), "\xA3\xE1?"}, // a high surrogate cut off at the end
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "code page " << c.CodePage << " expected " << c.Expected);
        EXPECT_EQ(UnicodeToCodePage(c.Text, c.CodePage), Bytes(c.Expected));
        EXPECT_FALSE(CodePageCanHold(c.Text, c.CodePage));
    }
}

TEST(CodePages, InvalidDoubleByteSequencesBecomeQuestionMarks)
{
    const struct {
        uint32_t CodePage;
        QByteArray Bytes;
        const char16_t* Expected;
    } cases[] = {
        {932, "A\x8A", u"A?"},                          // lead byte at the end of the data
        {932, "\x81\x20" "B", u"? B"},                  // lead byte without a valid trail byte
        {932, "\x8A\xBF\x8A\x7F\x8A\xBF", u"\u6F22?\u007F\u6F22"}, // resumes after the lead byte
        {936, "\xBA", u"?"},
        {949, "\xC7\xD1\xC7", u"\uD55C?"},
        {950, "\xA4", u"?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "code page " << c.CodePage << " bytes " << c.Bytes.toHex().constData());
        EXPECT_EQ(CodePageToUnicode(c.Bytes, c.CodePage), QString::fromUtf16(c.Expected));
    }
}

TEST(CodePages, LongDoubleByteTextRoundTrips)
{
    QString text;
    for (int i = 0; i < 5000; ++i)
        text += QString::fromUtf16(u"\u6F22\u5B57a");
    const QByteArray bytes = UnicodeToCodePage(text, 932);
    EXPECT_EQ(bytes.size(), 5000 * 5);
    EXPECT_EQ(CodePageToUnicode(bytes, 932), text);
}

TEST(CodePages, EmptyInput)
{
    for (uint32_t page : {1252u, 437u, 932u, 950u, uint32_t(CP_UTF8), uint32_t(CP_UTF16)}) {
        EXPECT_TRUE(UnicodeToCodePage(QString(), page).isEmpty());
        EXPECT_TRUE(CodePageToUnicode(QByteArray(), page).isEmpty());
        EXPECT_TRUE(CodePageCanHold(QString(), page));
    }
}

TEST(CodePages, CanHold)
{
    const struct {
        uint32_t CodePage;
        const char16_t* Text;
        bool Expected;
    } cases[] = {
        {1252, u"plain ASCII?", true},
        {1252, u"\u0081", true}, // an undefined byte's stand-in
        {1252, u"\u041F", false},
        {1251, u"\u041F", true},
        {437, u"\u2591\u00E9", true},
        {437, u"\u20AC", false},
        {932, u"\u00A5", false}, // would come back as a backslash
        {932, u"\u3042", true},
        {CP_UTF8, u"\U0001F600", true},
        {CP_UTF16, u"\U0001F600", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "code page " << c.CodePage);
        EXPECT_EQ(CodePageCanHold(QString::fromUtf16(c.Text), c.CodePage), c.Expected);
    }
}

TEST(CodePages, ValidPages)
{
    for (uint32_t page : SingleBytePages)
        EXPECT_TRUE(IsValidCodePage(page)) << page;
    for (uint32_t page : DoubleBytePages)
        EXPECT_TRUE(IsValidCodePage(page)) << page;
    for (uint32_t page : {uint32_t(CP_ACP), uint32_t(CP_OEMCP), uint32_t(CP_UTF8), uint32_t(CP_UTF16)})
        EXPECT_TRUE(IsValidCodePage(page)) << page;
    for (uint32_t page : {2u, 42u, 720u, 1201u, 1259u, 20127u, 65000u})
        EXPECT_FALSE(IsValidCodePage(page)) << page;
}

TEST(CodePages, UnsupportedPageRaises)
{
    try {
        CodePageToUnicode("a", 1234);
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Unsupported code page 1234"));
    }
    EXPECT_THROW(UnicodeToCodePage(QStringLiteral("a"), 42), EConvertError);
    EXPECT_THROW(CodePageCanHold(QStringLiteral("a"), 42), EConvertError);
    EXPECT_THROW(UnicodeToCodePage(QString(), 42), EConvertError);
}

} // namespace
