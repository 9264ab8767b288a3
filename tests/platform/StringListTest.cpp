#include "platform/Exceptions.h"
#include "platform/StringList.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

// Readable failure output for QString values.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

QStringList L(std::initializer_list<const char*> items)
{
    QStringList list;
    for (const char* s : items) list.append(QString::fromUtf8(s));
    return list;
}

QString S(const char* s) { return QString::fromUtf8(s); }

void ExpectListError(const std::function<void()>& action, const QString& message)
{
    try {
        action();
        ADD_FAILURE() << "no EListError";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), message);
    }
}

TEST(StringList, unsortedAddAppendsAndIndexOfFindsTheFirst)
{
    TStringList list;
    EXPECT_EQ(list.Add(S("b")), 0);
    EXPECT_EQ(list.Add(S("a")), 1);
    EXPECT_EQ(list.Add(S("B")), 2);
    EXPECT_EQ(list.Strings(), L({"b", "a", "B"}));
    EXPECT_EQ(list.IndexOf(S("b")), 0);
    EXPECT_EQ(list.IndexOf(S("A")), 1);
    EXPECT_EQ(list.IndexOf(S("c")), -1);
    list.SetCaseSensitive(true);
    EXPECT_EQ(list.IndexOf(S("B")), 2);
    EXPECT_EQ(list.IndexOf(S("A")), -1);
}

TEST(StringList, sortedAddInsertsInOrder)
{
    TStringList list;
    list.SetSorted(true);
    EXPECT_EQ(list.Add(S("m")), 0);
    EXPECT_EQ(list.Add(S("C")), 0);
    EXPECT_EQ(list.Add(S("x")), 2);
    EXPECT_EQ(list.Add(S("b")), 0);
    EXPECT_EQ(list.Strings(), L({"b", "C", "m", "x"}));
    EXPECT_EQ(list.IndexOf(S("M")), 2);
    EXPECT_EQ(list.IndexOf(S("a")), -1);

    int index = -1;
    EXPECT_TRUE(list.Find(S("c"), index));
    EXPECT_EQ(index, 1);
    EXPECT_FALSE(list.Find(S("d"), index));
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(list.Find(S("zz"), index));
    EXPECT_EQ(index, 4);
}

TEST(StringList, sortedDuplicates)
{
    TStringList list(L({"beta", "alpha", "gamma"}));
    list.SetSorted(true);
    ASSERT_EQ(list.Strings(), L({"alpha", "beta", "gamma"}));

    // dupIgnore: the index of the string already there; case-insensitive by default.
    EXPECT_EQ(list.Add(S("BETA")), 1);
    EXPECT_EQ(list.Count(), 3);

    list.SetDuplicates(dupError);
    ExpectListError([&] { list.Add(S("Gamma")); }, S("String list does not allow duplicates"));
    EXPECT_EQ(list.Count(), 3);

    list.SetDuplicates(dupAccept);
    EXPECT_EQ(list.Add(S("Beta")), 1);
    EXPECT_EQ(list.Strings(), L({"alpha", "Beta", "beta", "gamma"}));
    EXPECT_EQ(list.IndexOf(S("beta")), 1);

    list.SetCaseSensitive(true);
    list.SetDuplicates(dupIgnore);
    EXPECT_EQ(list.Add(S("ALPHA")), 0); // upper case sorts first by code
    EXPECT_EQ(list.Count(), 5);
}

TEST(StringList, caseSensitivityChangeResorts)
{
    TStringList list(L({"b", "C", "a", "B"}));
    list.SetSorted(true);
    EXPECT_EQ(list.Strings(), L({"a", "b", "B", "C"})); // equal keys keep their order
    list.SetCaseSensitive(true);
    EXPECT_EQ(list.Strings(), L({"B", "C", "a", "b"}));
    list.SetCaseSensitive(false);
    EXPECT_EQ(list.Strings(), L({"a", "B", "b", "C"}));

    TStringList unsorted(L({"b", "a"}));
    unsorted.Sort();
    EXPECT_EQ(unsorted.Strings(), L({"a", "b"}));
    EXPECT_FALSE(unsorted.Sorted());
    EXPECT_EQ(unsorted.Add(S("0")), 2);
}

TEST(StringList, sortedAddStringsHonoursDuplicates)
{
    TStringList list;
    list.SetSorted(true);
    list.AddStrings(L({"b", "a", "B", "c", "a"}));
    EXPECT_EQ(list.Strings(), L({"a", "b", "c"}));
}

TEST(StringList, indexErrors)
{
    TStringList list(L({"a", "b"}));
    const TStringList& constList = list;
    ExpectListError([&] { (void)list[2]; }, S("List index out of bounds (2)"));
    ExpectListError([&] { (void)constList[-1]; }, S("List index out of bounds (-1)"));
    ExpectListError([&] { list.Delete(2); }, S("List index out of bounds (2)"));
    ExpectListError([&] { list.Exchange(0, 5); }, S("List index out of bounds (5)"));
    ExpectListError([&] { list.Insert(3, S("x")); }, S("List index out of bounds (3)"));
    ExpectListError([&] { list.Move(-1, 0); }, S("List index out of bounds (-1)"));
    ExpectListError([&] { list.Move(0, 2); }, S("List index out of bounds (2)"));
    ExpectListError([&] { list.Names(7); }, S("List index out of bounds (7)"));
    EXPECT_EQ(list.Strings(), L({"a", "b"}));
}

TEST(StringList, editing)
{
    TStringList list(L({"a", "b", "c", "d"}));
    list.Insert(4, S("e"));
    list.Insert(0, S("0"));
    EXPECT_EQ(list.Strings(), L({"0", "a", "b", "c", "d", "e"}));
    list.Delete(0);
    list.Exchange(0, 4);
    EXPECT_EQ(list.Strings(), L({"e", "b", "c", "d", "a"}));
    list.Move(0, 3);
    EXPECT_EQ(list.Strings(), L({"b", "c", "d", "e", "a"}));
    list.Move(4, 0);
    EXPECT_EQ(list.Strings(), L({"a", "b", "c", "d", "e"}));
    list[1] = S("B");
    EXPECT_EQ(list[1], S("B"));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(StringList, positionalEditsAreRefusedWhenSorted)
{
    TStringList list(L({"b", "a"}));
    list.SetSorted(true);
    ExpectListError([&] { list.Insert(0, S("z")); }, S("Operation not allowed on sorted list"));
    ExpectListError([&] { list.Move(0, 1); }, S("Operation not allowed on sorted list"));
    EXPECT_EQ(list.Strings(), L({"a", "b"}));
}

TEST(StringList, namesAndValuesUseTheFirstSeparator)
{
    TStringList list(L({"Width=80", "Title=a=b", "plain", "=anonymous", "Empty="}));
    EXPECT_EQ(list.Names(0), S("Width"));
    EXPECT_EQ(list.Names(1), S("Title"));
    EXPECT_EQ(list.ValueFromIndex(1), S("a=b"));
    EXPECT_EQ(list.Names(2), QString());
    EXPECT_EQ(list.ValueFromIndex(2), QString());
    EXPECT_EQ(list.Names(3), QString());
    EXPECT_EQ(list.ValueFromIndex(3), S("anonymous"));
    EXPECT_EQ(list.ValueFromIndex(-1), QString());

    EXPECT_EQ(list.IndexOfName(S("title")), 1);
    EXPECT_EQ(list.IndexOfName(S("plain")), -1); // a line without separator has no name
    EXPECT_EQ(list.IndexOfName(S("a")), -1);
    EXPECT_EQ(list.IndexOfName(QString()), 3);
    EXPECT_EQ(list.Values(S("WIDTH")), S("80"));
    EXPECT_EQ(list.Values(S("Empty")), QString());
    EXPECT_EQ(list.Values(S("missing")), QString());

    list.SetCaseSensitive(true);
    EXPECT_EQ(list.IndexOfName(S("title")), -1);
}

TEST(StringList, setValues)
{
    TStringList list(L({"a=1", "b=2", "c=3"}));
    list.SetValues(S("B"), S("20"));
    EXPECT_EQ(list.Strings(), L({"a=1", "B=20", "c=3"}));
    list.SetValues(S("d"), S("4"));
    EXPECT_EQ(list.Strings(), L({"a=1", "B=20", "c=3", "d=4"}));
    list.SetValues(S("a"), QString());
    EXPECT_EQ(list.Strings(), L({"B=20", "c=3", "d=4"}));
    list.SetValues(S("missing"), QString());
    EXPECT_EQ(list.Count(), 3);

    list.SetNameValueSeparator(QLatin1Char(':'));
    list.SetValues(S("x"), S("y=z"));
    EXPECT_EQ(list.Strings(), L({"B=20", "c=3", "d=4", "x:y=z"}));
    EXPECT_EQ(list.Values(S("x")), S("y=z"));
    EXPECT_EQ(list.Names(0), QString());

    // A sorted list keeps its order when a new value moves the line.
    TStringList sorted(L({"a=7", "a=5", "b=1"}));
    sorted.SetSorted(true);
    ASSERT_EQ(sorted.Strings(), L({"a=5", "a=7", "b=1"}));
    sorted.SetValues(S("a"), S("9"));
    EXPECT_EQ(sorted.Strings(), L({"a=7", "a=9", "b=1"}));
    sorted.SetValues(S("c"), S("0"));
    EXPECT_EQ(sorted.Strings(), L({"a=7", "a=9", "b=1", "c=0"}));
}

TEST(StringList, text)
{
    EXPECT_EQ(TStringList(L({"a", "", "b"})).Text(), S("a\r\n\r\nb\r\n"));
    EXPECT_EQ(TStringList().Text(), QString());

    const struct {
        const char* text;
        QStringList lines;
    } cases[] = {
        {"a\r\nb\r\n", L({"a", "b"})},
        {"a\nb", L({"a", "b"})},
        {"a\rb\r", L({"a", "b"})},
        {"a\n\nb", L({"a", "", "b"})},
        {"a\r\n\r\nb", L({"a", "", "b"})},
        {"a\n\r", L({"a", ""})}, // LF CR is two breaks
        {"\r\n", L({""})},
        {"", L({})},
        {" a \t", L({" a \t"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TStringList list(L({"old"}));
        list.SetText(S(c.text));
        EXPECT_EQ(list.Strings(), c.lines);
    }

    TStringList sorted;
    sorted.SetSorted(true);
    sorted.SetText(S("b\na\nB\n"));
    EXPECT_EQ(sorted.Strings(), L({"a", "b"}));
}

TEST(StringList, commaText)
{
    const struct {
        QStringList lines;
        const char* text;
    } cases[] = {
        {L({"a", "b"}), "a,b"},
        {L({"b c", "d,e", "say \"hi\"", "tab\there"}), "\"b c\",\"d,e\",\"say \"\"hi\"\"\",\"tab\there\""},
        {L({"a", "", "b"}), "a,,b"},
        {L({"a", ""}), "a,"},
        {L({"", "a"}), ",a"},
        {L({""}), "\"\""},
        {L({}), ""},
        {L({" lead", "trail "}), "\" lead\",\"trail \""},
        {L({"x=1", "caf\xC3\xA9"}), "x=1,caf\xC3\xA9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(TStringList(c.lines).CommaText(), S(c.text));
        TStringList parsed(L({"old"}));
        parsed.SetCommaText(S(c.text));
        EXPECT_EQ(parsed.Strings(), c.lines);
    }
}

TEST(StringList, setCommaTextParsing)
{
    const struct {
        const char* text;
        QStringList lines;
    } cases[] = {
        {"a, b ,c", L({"a", "b", "c"})},
        {"a b", L({"a", "b"})}, // unquoted items end at a blank
        {"  a  ", L({"a"})},
        {"\"x y\",z", L({"x y", "z"})},
        {"\"un\"\"closed", L({"un\"closed"})},
        {"\"a\"b,c", L({"a", "b", "c"})},
        {"\"\",\"\"", L({"", ""})},
        {",", L({"", ""})},
        {"a, ", L({"a"})},
        {"   ", L({})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TStringList list;
        list.SetCommaText(S(c.text));
        EXPECT_EQ(list.Strings(), c.lines);
    }
}

} // namespace
