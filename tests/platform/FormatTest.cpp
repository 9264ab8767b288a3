#include "platform/Exceptions.h"
#include "platform/Format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>
#include <vector>

// Readable failure output for QString values.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

struct TFormatCase {
    const char* format;
    std::vector<TVarRec> args;
    const char* expected;
};

void PrintTo(const TFormatCase& c, std::ostream* os) { *os << '"' << c.format << "\" -> \"" << c.expected << '"'; }

QString FormatArgs(const char* format, const std::vector<TVarRec>& args)
{
    return Format(QString::fromUtf8(format), args.data(), static_cast<int>(args.size()));
}

class FormatTable : public testing::TestWithParam<TFormatCase> {};

TEST_P(FormatTable, producesExpectedText)
{
    const TFormatCase& c = GetParam();
    EXPECT_EQ(FormatArgs(c.format, c.args), QString::fromUtf8(c.expected));
}

const int64_t Int64Min = std::numeric_limits<int64_t>::min();

INSTANTIATE_TEST_SUITE_P(Integers, FormatTable, testing::Values(
    TFormatCase{"%d", {42}, "42"},
    TFormatCase{"%d", {-42}, "-42"},
    TFormatCase{"%D", {7}, "7"},
    TFormatCase{"%.4d", {-5}, "-0005"},
    TFormatCase{"%.2d", {12345}, "12345"},
    TFormatCase{"%.0d", {0}, "0"},
    TFormatCase{"%5d", {42}, "   42"},
    TFormatCase{"[%-5d]", {42}, "[42   ]"},
    TFormatCase{"%04d", {5}, "   5"}, // a leading zero is part of the width, not a flag
    TFormatCase{"%2d", {12345}, "12345"},
    TFormatCase{"%6.3d", {-7}, "  -007"},
    TFormatCase{"%d", {int64_t{5000000000}}, "5000000000"},
    TFormatCase{"%d", {Int64Min}, "-9223372036854775808"},
    TFormatCase{"%u", {-1}, "4294967295"},
    TFormatCase{"%u", {int64_t{-1}}, "18446744073709551615"},
    TFormatCase{"%0.4u", {7}, "0007"},
    TFormatCase{"%x", {255}, "FF"},
    TFormatCase{"%X", {255}, "FF"},
    TFormatCase{"%x", {-1}, "FFFFFFFF"},
    TFormatCase{"%x", {int64_t{-1}}, "FFFFFFFFFFFFFFFF"},
    TFormatCase{"%.4X", {26}, "001A"},
    TFormatCase{"%0:.8X", {0xBEEF}, "0000BEEF"},
    TFormatCase{"RC%0.4x.res", {0x2a}, "RC002A.res"},
    TFormatCase{"undo%.8X.tmp", {3054}, "undo00000BEE.tmp"},
    TFormatCase{"%s_%s_%.4X.%s", {"DIALOG", "ABOUT", 26, "res"}, "DIALOG_ABOUT_001A.res"}));

INSTANTIATE_TEST_SUITE_P(Strings, FormatTable, testing::Values(
    TFormatCase{"%s", {"abc"}, "abc"},
    TFormatCase{"%S", {"abc"}, "abc"},
    TFormatCase{"%.2s", {"abc"}, "ab"},
    TFormatCase{"%.0s|", {"abc"}, "|"},
    TFormatCase{"%5s", {"abc"}, "  abc"},
    TFormatCase{"[%-5s]", {"abc"}, "[abc  ]"},
    TFormatCase{"%1s", {"abc"}, "abc"},
    TFormatCase{"%6.2s|", {"abc"}, "    ab|"},
    TFormatCase{"«%s»", {"Größe"}, "«Größe»"},
    TFormatCase{"%s", {""}, ""},
    TFormatCase{"100%%", {}, "100%"},
    TFormatCase{"%%%s%%", {"x"}, "%x%"},
    TFormatCase{"no directives", {1, 2}, "no directives"},
    TFormatCase{"%s", {"a", "unused"}, "a"}));

// An explicit index moves the argument pointer; the next plain directive continues after it.
INSTANTIATE_TEST_SUITE_P(IndexAndStar, FormatTable, testing::Values(
    TFormatCase{"%1:s (%0:s)", {"Dialog", "#101"}, "#101 (Dialog)"},
    TFormatCase{"%1:s %s %0:s %s", {"a", "b", "c"}, "b c a b"},
    TFormatCase{"%0:s%0:s", {"ab"}, "abab"},
    TFormatCase{"%1:-4s|", {"a", "b"}, "b   |"},
    TFormatCase{"%1:4d", {1, 2}, "   2"},
    TFormatCase{"%*d", {5, 42}, "   42"},
    TFormatCase{"%-*d|", {4, 7}, "7   |"},
    TFormatCase{"%*.*d", {6, 3, 7}, "   007"},
    TFormatCase{"%.*f", {3, 3.14159}, "3.142"},
    TFormatCase{"%.*s", {-1, "abc"}, "abc"}, // a negative precision means none
    TFormatCase{"%*:s", {2, "x", "y"}, "y"}));

INSTANTIATE_TEST_SUITE_P(Floats, FormatTable, testing::Values(
    TFormatCase{"%e", {1234.5}, "1.23450000000000E+003"},
    TFormatCase{"%.3e", {1234.5}, "1.23E+003"},
    TFormatCase{"%E", {-0.00012345}, "-1.23450000000000E-004"},
    TFormatCase{"%.3e", {0.0}, "0.00E+000"},
    TFormatCase{"%.2e", {9.99}, "1.0E+001"},
    TFormatCase{"%.1e", {9.5}, "1E+001"},
    TFormatCase{"%.4e", {1e300}, "1.000E+300"},
    TFormatCase{"%e", {100}, "1.00000000000000E+002"},
    TFormatCase{"%f", {3.14159}, "3.14"},
    TFormatCase{"%f", {42}, "42.00"},
    TFormatCase{"%f", {0.0}, "0.00"},
    TFormatCase{"%8.2f", {3.14159}, "    3.14"},
    TFormatCase{"%-8.1f|", {-2.25}, "-2.3    |"},
    TFormatCase{"%.0f", {2.5}, "3"}, // ties round away from zero
    TFormatCase{"%.0f", {0.5}, "1"},
    TFormatCase{"%.2f", {0.125}, "0.13"},
    TFormatCase{"%.1f", {-0.25}, "-0.3"},
    TFormatCase{"%.2f", {1.005}, "1.00"}, // the double lies below 1.005
    TFormatCase{"%.2f", {-0.001}, "0.00"}, // no negative zero
    TFormatCase{"%.3f", {99.9996}, "100.000"},
    TFormatCase{"%.20f", {0.5}, "0.500000000000000000"}, // at most 18 decimals
    TFormatCase{"%f", {1e20}, "1E20"}, // too many integer digits: general form
    TFormatCase{"%g", {1e20}, "1E20"},
    TFormatCase{"%g", {1234.5}, "1234.5"},
    TFormatCase{"%g", {0.1 + 0.2}, "0.3"},
    TFormatCase{"%g", {0.0001}, "0.0001"},
    TFormatCase{"%g", {0.00001}, "1E-5"},
    TFormatCase{"%g", {-1.5e-10}, "-1.5E-10"},
    TFormatCase{"%g", {1e14}, "100000000000000"},
    TFormatCase{"%g", {1e15}, "1E15"},
    TFormatCase{"%g", {0.0}, "0"},
    TFormatCase{"%g", {7}, "7"},
    TFormatCase{"%.3g", {1234.5}, "1.23E3"},
    TFormatCase{"%.3g", {0.00012345}, "0.000123"},
    TFormatCase{"%.2g", {99.5}, "1E2"},
    TFormatCase{"%n", {1234567.891}, "1,234,567.89"},
    TFormatCase{"%n", {-1234.5}, "-1,234.50"},
    TFormatCase{"%n", {999}, "999.00"},
    TFormatCase{"%.0n", {999.5}, "1,000"},
    TFormatCase{"%.1n", {123456.0}, "123,456.0"},
    TFormatCase{"%m", {1234.5}, "$1,234.50"},
    TFormatCase{"%m", {-1234.5}, "-$1,234.50"},
    TFormatCase{"%.0m", {5}, "$5"},
    TFormatCase{"%10m", {0.5}, "     $0.50"},
    TFormatCase{"%f", {std::numeric_limits<double>::quiet_NaN()}, "NAN"},
    TFormatCase{"%e", {std::numeric_limits<double>::infinity()}, "INF"},
    TFormatCase{"%5g", {-std::numeric_limits<double>::infinity()}, " -INF"}));

TEST(Format, initializerListOverload)
{
    EXPECT_EQ(Format(QStringLiteral("%s=%d"), {QStringLiteral("Width"), 80}), QStringLiteral("Width=80"));
    EXPECT_EQ(Format(QStringLiteral("plain"), {}), QStringLiteral("plain"));
}

TEST(Format, pointerIsZeroPaddedUpperHex)
{
    const void* p = reinterpret_cast<const void*>(quintptr{0xAB12});
    const QString digits = QString(int(2 * sizeof(void*)) - 4, QLatin1Char('0')) + QStringLiteral("AB12");
    EXPECT_EQ(Format(QStringLiteral("%p"), {p}), digits);
    EXPECT_EQ(Format(QStringLiteral("[%-20p]"), {p}), QString(QLatin1Char('[') + digits.leftJustified(20) + QLatin1Char(']')));
    int object = 0;
    EXPECT_EQ(Format(QStringLiteral("%p"), {&object}),
              QString::number(reinterpret_cast<quintptr>(&object), 16).toUpper().rightJustified(2 * sizeof(void*), QLatin1Char('0')));
}

struct TErrorCase {
    const char* format;
    std::vector<TVarRec> args;
};

void PrintTo(const TErrorCase& c, std::ostream* os) { *os << '"' << c.format << '"'; }

class FormatErrors : public testing::TestWithParam<TErrorCase> {};

TEST_P(FormatErrors, raiseConvertErrorNamingTheFormat)
{
    const TErrorCase& c = GetParam();
    try {
        FormatArgs(c.format, c.args);
        FAIL() << "no exception for " << c.format;
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(),
                  QStringLiteral("Format '%1' invalid or incompatible with argument").arg(QString::fromUtf8(c.format)));
    }
}

int Dummy = 0;

INSTANTIATE_TEST_SUITE_P(Table, FormatErrors, testing::Values(
    TErrorCase{"%d", {}},
    TErrorCase{"%s %s", {"one"}},
    TErrorCase{"%d", {1.5}},
    TErrorCase{"%u", {"7"}},
    TErrorCase{"%x", {&Dummy}},
    TErrorCase{"%s", {5}},
    TErrorCase{"%s", {2.0}},
    TErrorCase{"%f", {"1.5"}},
    TErrorCase{"%g", {&Dummy}},
    TErrorCase{"%p", {5}},
    TErrorCase{"%p", {"x"}},
    TErrorCase{"abc%", {1}},
    TErrorCase{"%5", {1}},
    TErrorCase{"%1:", {1}},
    TErrorCase{"%-", {1}},
    TErrorCase{"%.", {1}},
    TErrorCase{"%k", {1}},
    TErrorCase{"%5-d", {1}},
    TErrorCase{"%-1:d", {1, 2}},
    TErrorCase{"%2:s", {"a", "b"}},
    TErrorCase{"%1:s %s", {"a", "b"}},
    TErrorCase{"%*d", {"5", 1}},
    TErrorCase{"%.*f", {1.0, 2.0}},
    TErrorCase{"%*d", {5}},
    TErrorCase{"%99999999999d", {1}}));

TEST(Format, errorMessageQuotesTheWholeFormat)
{
    try {
        Format(QStringLiteral("Resource %s of %d"), {QStringLiteral("x"), QStringLiteral("y")});
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Format 'Resource %s of %d' invalid or incompatible with argument"));
        EXPECT_STREQ(e.ClassName(), "EConvertError");
    }
}

// Integer arguments keep their width: %u and %x of a negative 32-bit value give 32 bits.
TEST(TVarRec, integerKindsFollowTheArgumentWidth)
{
    struct TCase {
        TVarRec rec;
        TVarRec::TKind kind;
        int64_t value;
        const char* asUnsigned;
        const char* asHex;
    };
    const TCase cases[] = {
        {TVarRec(-1), TVarRec::vtInteger, -1, "4294967295", "FFFFFFFF"},
        {TVarRec(static_cast<short>(-2)), TVarRec::vtInteger, -2, "4294967294", "FFFFFFFE"},
        {TVarRec(static_cast<signed char>(-1)), TVarRec::vtInteger, -1, "4294967295", "FFFFFFFF"},
        {TVarRec(static_cast<unsigned char>(200)), TVarRec::vtInteger, 200, "200", "C8"},
        {TVarRec(static_cast<unsigned short>(65535)), TVarRec::vtInteger, 65535, "65535", "FFFF"},
        {TVarRec(0x7FFFFFFFu), TVarRec::vtInteger, 0x7FFFFFFF, "2147483647", "7FFFFFFF"},
        {TVarRec(0x80000000u), TVarRec::vtInt64, 0x80000000LL, "2147483648", "80000000"},
        {TVarRec(0xFFFFFFFFu), TVarRec::vtInt64, 0xFFFFFFFFLL, "4294967295", "FFFFFFFF"},
        {TVarRec(int64_t{-1}), TVarRec::vtInt64, -1, "18446744073709551615", "FFFFFFFFFFFFFFFF"},
        {TVarRec(int64_t{1} << 40), TVarRec::vtInt64, int64_t{1} << 40, "1099511627776", "10000000000"},
        {TVarRec(uint64_t{1} << 63), TVarRec::vtInt64, Int64Min, "9223372036854775808", "8000000000000000"},
        {TVarRec(~uint64_t{0}), TVarRec::vtInt64, -1, "18446744073709551615", "FFFFFFFFFFFFFFFF"},
        {TVarRec(true), TVarRec::vtInteger, 1, "1", "1"},
        {TVarRec(false), TVarRec::vtInteger, 0, "0", "0"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.asUnsigned);
        EXPECT_EQ(c.rec.Kind(), c.kind);
        EXPECT_EQ(c.rec.AsInt64(), c.value);
        EXPECT_EQ(Format(QStringLiteral("%u"), &c.rec, 1), QString::fromLatin1(c.asUnsigned));
        EXPECT_EQ(Format(QStringLiteral("%x"), &c.rec, 1), QString::fromLatin1(c.asHex));
        EXPECT_EQ(Format(QStringLiteral("%d"), &c.rec, 1), QString::number(c.value));
    }
}

TEST(TVarRec, stringsDoublesAndPointers)
{
    const TVarRec utf8("h\xC3\xA9llo");
    EXPECT_EQ(utf8.Kind(), TVarRec::vtString);
    EXPECT_EQ(utf8.AsString(), QStringLiteral(u"h\u00E9llo"));

    const TVarRec qstring(QStringLiteral("Dialog"));
    EXPECT_EQ(qstring.Kind(), TVarRec::vtString);
    EXPECT_EQ(qstring.AsString(), QStringLiteral("Dialog"));

    const TVarRec utf16(u"\u00DF");
    EXPECT_EQ(utf16.Kind(), TVarRec::vtString);
    EXPECT_EQ(utf16.AsString(), QString(QChar(0x00DF)));

    const TVarRec qchar(QChar(u'Z'));
    EXPECT_EQ(qchar.Kind(), TVarRec::vtString);
    EXPECT_EQ(qchar.AsString(), QStringLiteral("Z"));

    const TVarRec real(2.5);
    EXPECT_EQ(real.Kind(), TVarRec::vtExtended);
    EXPECT_EQ(real.AsDouble(), 2.5);
    const TVarRec single(0.25f);
    EXPECT_EQ(single.Kind(), TVarRec::vtExtended);
    EXPECT_EQ(single.AsDouble(), 0.25);

    int object = 0;
    const TVarRec pointer(&object);
    EXPECT_EQ(pointer.Kind(), TVarRec::vtPointer);
    EXPECT_EQ(pointer.AsPointer(), static_cast<const void*>(&object));
}

} // namespace
