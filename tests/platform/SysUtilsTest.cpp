#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>

// Readable failure output for QString values.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

template <typename T>
struct TIntCase {
    const char* text;
    bool valid;
    T value;
};

TEST(SysUtils, tryStrToIntFollowsValRules)
{
    const TIntCase<int32_t> cases[] = {
        {"0", true, 0},
        {"123", true, 123},
        {"007", true, 7},
        {"00000000000000000000000001", true, 1},
        {"  42", true, 42},
        {"\t \t-7", true, -7},
        {"+15", true, 15},
        {"-0", true, 0},
        {"2147483647", true, std::numeric_limits<int32_t>::max()},
        {"-2147483648", true, std::numeric_limits<int32_t>::min()},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"99999999999999999999", false, 0},
        {"$FF", true, 255},
        {"$ff", true, 255},
        {"xFF", true, 255},
        {"XfF", true, 255},
        {"0x1A", true, 26},
        {"0X1a", true, 26},
        {"-$10", true, -16},
        {" +0x10", true, 16},
        {"$000000000FF", true, 255},
        {"$7FFFFFFF", true, std::numeric_limits<int32_t>::max()},
        {"$80000000", true, std::numeric_limits<int32_t>::min()},
        {"$FFFFFFFF", true, -1}, // hex uses the whole unsigned range
        {"$100000000", false, 0},
        {"", false, 0},
        {"   ", false, 0},
        {"-", false, 0},
        {"+", false, 0},
        {"$", false, 0},
        {"x", false, 0},
        {"0x", false, 0},
        {"-$", false, 0},
        {"12 ", false, 0},
        {"12\t", false, 0},
        {"12a", false, 0},
        {"1 2", false, 0},
        {"- 5", false, 0},
        {"--5", false, 0},
        {"$-5", false, 0},
        {"1.5", false, 0},
        {"1e3", false, 0},
        {"$G1", false, 0},
        {"0x0x1", false, 0},
        {"\xEF\xBC\x91\xEF\xBC\x92", false, 0}, // full-width digits are not digits here
        {"\n5", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        int32_t value = 12345;
        EXPECT_EQ(TryStrToInt(QString::fromUtf8(c.text), value), c.valid);
        if (c.valid) {
            EXPECT_EQ(value, c.value);
        }
    }
}

TEST(SysUtils, tryStrToInt64UsesTheWiderRange)
{
    const TIntCase<int64_t> cases[] = {
        {"4294967296", true, int64_t{4294967296}},
        {"$FFFFFFFF", true, int64_t{0xFFFFFFFF}},
        {"9223372036854775807", true, std::numeric_limits<int64_t>::max()},
        {"-9223372036854775808", true, std::numeric_limits<int64_t>::min()},
        {"9223372036854775808", false, 0},
        {"-9223372036854775809", false, 0},
        {"$FFFFFFFFFFFFFFFF", true, -1},
        {"0x8000000000000000", true, std::numeric_limits<int64_t>::min()},
        {"$10000000000000000", false, 0},
        {" -x7fffffffffffffff", true, -std::numeric_limits<int64_t>::max()},
        {"12 ", false, 0},
        {"", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        int64_t value = 12345;
        EXPECT_EQ(TryStrToInt64(QString::fromUtf8(c.text), value), c.valid);
        if (c.valid) {
            EXPECT_EQ(value, c.value);
        }
    }
}

TEST(SysUtils, strToIntRaisesWithTheText)
{
    EXPECT_EQ(StrToInt(QStringLiteral(" $1F")), 31);
    EXPECT_EQ(StrToInt64(QStringLiteral("-5000000000")), int64_t{-5000000000});
    EXPECT_EQ(StrToIntDef(QStringLiteral("12"), 7), 12);
    EXPECT_EQ(StrToIntDef(QStringLiteral("12x"), 7), 7);
    EXPECT_EQ(StrToIntDef(QStringLiteral("4294967296"), -3), -3);

    try {
        StrToInt(QStringLiteral("abc"));
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("'abc' is not a valid integer value"));
    }
    try {
        StrToInt64(QStringLiteral(" 1 "));
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("' 1 ' is not a valid integer value"));
    }
    EXPECT_THROW(StrToInt(QStringLiteral("2147483648")), EConvertError);
    EXPECT_THROW(StrToInt(QString()), EConvertError);
}

TEST(SysUtils, ansiUpperCaseKeepsTheLength)
{
    const struct {
        const char16_t* text;
        const char16_t* expected;
    } cases[] = {
        {u"abc xyz 123", u"ABC XYZ 123"},
        {u"Stra\u00DFe", u"STRA\u00DFE"},       // no single-unit upper case of sharp s
        {u"\u01C6", u"\u01C4"},                 // dz digraph
        {u"\u00E9\u00E0\u00FF", u"\u00C9\u00C0\u0178"},
        {u"\u03C3\u03C2", u"\u03A3\u03A3"},     // both sigmas
        {u"\uFB01", u"\uFB01"},                 // the fi ligature would grow
        {u"\U00010428", u"\U00010428"},         // units of a surrogate pair stay as they are
        {u"", u""},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        SCOPED_TRACE(text.toStdString());
        const QString upper = AnsiUpperCase(text);
        EXPECT_EQ(upper, QString::fromUtf16(c.expected));
        EXPECT_EQ(upper.size(), text.size());
    }
}

int Sign(int value) { return (value > 0) - (value < 0); }

TEST(SysUtils, compareTextFoldsAsciiOnly)
{
    const struct {
        const char16_t* a;
        const char16_t* b;
        int sign;
    } cases[] = {
        {u"abc", u"ABC", 0},
        {u"MixedCase", u"mIXEDcASE", 0},
        {u"", u"", 0},
        {u"a", u"b", -1},
        {u"B", u"a", 1},
        {u"abc", u"abcd", -1},
        {u"abcd", u"ABC", 1},
        {u"", u"a", -1},
        {u"a", u"_", -1}, // letters fold to upper case, which sorts before '_'
        {u"[", u"a", 1},
        {u"\u00E9", u"\u00C9", 1}, // non-ASCII letters do not fold
        {u"\u00C9", u"e", 1},
        {u"z", u"\u00E9", -1},
    };
    for (const auto& c : cases) {
        const QString a = QString::fromUtf16(c.a);
        const QString b = QString::fromUtf16(c.b);
        SCOPED_TRACE(a.toStdString() + " vs " + b.toStdString());
        EXPECT_EQ(Sign(CompareText(a, b)), c.sign);
        EXPECT_EQ(Sign(CompareText(b, a)), -c.sign);
        EXPECT_EQ(SameText(a, b), c.sign == 0);
    }
}

TEST(SysUtils, fileNameParts)
{
    const struct {
        const char* fileName;
        const char* ext;
        const char* name;
        const char* path;
    } cases[] = {
        {"C:\\dir\\file.txt", ".txt", "file.txt", "C:\\dir\\"},
        {"/home/u/file.tar.gz", ".gz", "file.tar.gz", "/home/u/"},
        {"dir.d/file", "", "file", "dir.d/"},
        {"dir.d\\file", "", "file", "dir.d\\"},
        {"a/b\\c.res", ".res", "c.res", "a/b\\"},
        {"file", "", "file", ""},
        {"file.", ".", "file.", ""},
        {".rc", ".rc", ".rc", ""},
        {"dir/", "", "", "dir/"},
        {"C:file.rc", ".rc", "file.rc", "C:"}, // a drive without a folder
        {"", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fileName);
        const QString fileName = QString::fromUtf8(c.fileName);
        EXPECT_EQ(ExtractFileExt(fileName), QString::fromUtf8(c.ext));
        EXPECT_EQ(ExtractFileName(fileName), QString::fromUtf8(c.name));
        EXPECT_EQ(ExtractFilePath(fileName), QString::fromUtf8(c.path));
        EXPECT_EQ(QString(ExtractFilePath(fileName) + ExtractFileName(fileName)), fileName);
    }
}

TEST(SysUtils, changeFileExt)
{
    const struct {
        const char* fileName;
        const char* ext;
        const char* expected;
    } cases[] = {
        {"a.txt", ".res", "a.res"},
        {"a", ".res", "a.res"},
        {"a.b.c", "", "a.b"},
        {"f.rc", "", "f"},
        {"dir.d/file", ".x", "dir.d/file.x"},
        {"C:\\x.y\\f.rc", ".res", "C:\\x.y\\f.res"},
        {"C:\\x.y\\", ".res", "C:\\x.y\\.res"},
        {"file.", ".rc", "file.rc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fileName);
        EXPECT_EQ(ChangeFileExt(QString::fromUtf8(c.fileName), QString::fromUtf8(c.ext)), QString::fromUtf8(c.expected));
    }
}

} // namespace
