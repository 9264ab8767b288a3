#include "platform/RegularExpressions.h"

#include <gtest/gtest.h>

// Positions are QString indexes, and a subject with unpaired surrogates is searched, not refused.
TEST(RegularExpressions, PositionsInUtf16UnitsAndBrokenSubjects)
{
    const QString loneHigh = QString(QChar(0xD83D)) + QStringLiteral("x b");
    const QString pair = QString::fromUtf8("\xF0\x9F\x98\x80") + QStringLiteral("b");
    const struct {
        const char* Name;
        QString Subject;
        QString Pattern;
        TRegExOptions Options;
        int StartAt;
        TRegExMatch Expected;
    } cases[] = {
        {"after a lone surrogate", loneHigh, "b", {}, 0, {true, 3, 1}},
        {"a lone surrogate is no character", loneHigh, "^.x", {}, 0, {}},
        {"after a pair", pair, "b", {}, 0, {true, 2, 1}},
        {"a pair is one character", pair, "^.b", {}, 0, {true, 0, 3}},
        {"from an offset", "abab", "ab", {}, 1, {true, 2, 2}},
        {"at the end", "ab", "$", {}, 2, {true, 2, 0}},
        {"past the end", "ab", "", {}, 3, {}},
        {"Unicode case folding", QString::fromUtf8("ΣΟΦΊΑ"), QString::fromUtf8("σοφία"), {roIgnoreCase}, 0, {true, 0, 5}},
        {"word characters of every script", QString::fromUtf8("да"), "^\\w+$", {}, 0, {true, 0, 2}},
        {"named groups capture without the others", "aaa", "(a)(?<n>a)\\k<n>", {roExplicitCapture}, 0, {true, 0, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const TRegExMatch match = TRegEx(c.Pattern, c.Options).Match(c.Subject, c.StartAt);
        EXPECT_EQ(match.Success, c.Expected.Success);
        EXPECT_EQ(match.Index, c.Expected.Index);
        EXPECT_EQ(match.Length, c.Expected.Length);
    }
    try {
        TRegEx(QStringLiteral("a{2,1}"), {});
        ADD_FAILURE() << "no error";
    } catch (const ERegularExpressionError& error) {
        EXPECT_EQ(error.Offset(), 5);
        EXPECT_EQ(error.Message().toStdString(), "Error in regular expression at offset 5: numbers out of order in {} quantifier");
    }
}
