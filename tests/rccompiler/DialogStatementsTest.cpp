// DIALOG, MENU, VERSIONINFO and DESIGNINFO where our compiler has its own answer: forms that must compile
// to the same bytes as another form, the symbol map's child IDs, design information and broken scripts.
#include "DialogTestSupport.h"

#include <gtest/gtest.h>

#include <map>

namespace {

const TResRecord* Find(const TCompiled& Compiled, const QString& Type, const QString& Name)
{
    for (const TResRecord& r : Compiled.Records)
        if (r.Type == Type && r.Name == Name) return &r;
    return nullptr;
}

struct TSameCase {
    const char* Name;
    const char* Script;
    const char* Equivalent;
};

// Each script compiles to the same resources as its equivalent.
const TSameCase SameCases[] = {
    {"predefined classes by string or keyword are ordinals",
     R"(1 DIALOGEX 0, 0, 10, 10
BEGIN
  CONTROL "a", 1, "Button", 0, 1, 2, 3, 4
  CONTROL "b", 2, BUTTON, 0, 1, 2, 3, 4
  CONTROL "c", 3, "edit", 0, 1, 2, 3, 4
  CONTROL "d", 4, "STATIC", 0, 1, 2, 3, 4
  CONTROL "e", 5, ListBox, 0, 1, 2, 3, 4
  CONTROL "f", 6, "scrollbar", 0, 1, 2, 3, 4
  CONTROL "g", 7, "ComboBox", 0, 1, 2, 3, 4
  CONTROL "h", 8, "Buttons", 0, 1, 2, 3, 4
END
)",
     R"(1 DIALOGEX 0, 0, 10, 10
BEGIN
  CONTROL "a", 1, 0x80, 0, 1, 2, 3, 4
  CONTROL "b", 2, 0x80, 0, 1, 2, 3, 4
  CONTROL "c", 3, 0x81, 0, 1, 2, 3, 4
  CONTROL "d", 4, 0x82, 0, 1, 2, 3, 4
  CONTROL "e", 5, 0x83, 0, 1, 2, 3, 4
  CONTROL "f", 6, 0x84, 0, 1, 2, 3, 4
  CONTROL "g", 7, 0x85, 0, 1, 2, 3, 4
  CONTROL "h", 8, "Buttons", 0, 1, 2, 3, 4
END
)"},
    {"shorthand controls are CONTROLs of their class and default style",
     R"(1 DIALOGEX 0, 0, 10, 10
BEGIN
  RADIOBUTTON "r", 1, 1, 2, 3, 4
  COMBOBOX 2, 1, 2, 3, 4, CBS_DROPDOWNLIST | NOT WS_TABSTOP
  ICON "i", 3, 1, 2
  PUSHBOX "p", 4, 1, 2, 3, 4, 0, 0, 9
END
)",
     R"(1 DIALOGEX 0, 0, 10, 10
BEGIN
  CONTROL "r", 1, "Button", 0x00010004, 1, 2, 3, 4
  CONTROL "", 2, "ComboBox", 0x00000003, 1, 2, 3, 4
  CONTROL "i", 3, "Static", 3, 1, 2, 0, 0
  CONTROL "p", 4, "Button", 0x0001000A, 1, 2, 3, 4, 0, 9
END
)"},
    {"a DIALOG with control data is written as DIALOGEX",
     R"(1 DIALOG 0, 0, 10, 10
BEGIN
  CONTROL "a", -1, "X", 0, 1, 2, 3, 4
  BEGIN
    1, 2L, "ab", L"c"
  END
END
)",
     R"(1 DIALOGEX 0, 0, 10, 10
BEGIN
  CONTROL "a", -1, "X", 0, 1, 2, 3, 4
  {
    0x0001, 0x0002, 0x0000, 0x6261, 0x0063
  }
END
)"},
    {"MENUITEM SEPARATOR in MENUEX is an entry of type MFT_SEPARATOR; fields may be left empty",
     R"(1 MENUEX
BEGIN
  POPUP "p", , , , 5
  BEGIN
    MENUITEM SEPARATOR
    MENUITEM "x", 3, , 8
  END
END
)",
     R"(1 MENUEX
BEGIN
  POPUP "p", 0, 0, 0, 5
  BEGIN
    MENUITEM "", 0, 0x800, 0
    MENUITEM "x", 3, 0, 8
  END
END
)"},
    {"VALUE strings written next to each other are one string",
     R"(1 VERSIONINFO
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904B0"
    BEGIN
      VALUE "A", "ab" "cd" L"ef", "gh"
    END
  END
END
)",
     R"(1 VERSIONINFO
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904B0"
    BEGIN
      VALUE "A", "abcdef", "gh"
    END
  END
END
)"},
};

// Failures name the case.
void PrintTo(const TSameCase& Case, std::ostream* Out) { *Out << Case.Name; }

class DialogStatementsSame : public ::testing::TestWithParam<TSameCase> {};

TEST_P(DialogStatementsSame, CompilesLikeItsEquivalent)
{
    const QByteArray header("#include <windows.h>\n");
    const TCompiled a = CompileScript(header + GetParam().Script);
    const TCompiled b = CompileScript(header + GetParam().Equivalent);
    ASSERT_TRUE(a.Ok) << a.Messages.join(QLatin1Char('\n')).toStdString();
    ASSERT_TRUE(b.Ok) << b.Messages.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(a.Records.size(), b.Records.size());
    for (size_t i = 0; i < a.Records.size(); ++i) {
        EXPECT_EQ(a.Records[i].Key().toStdString(), b.Records[i].Key().toStdString());
        EXPECT_EQ(Hex(a.Records[i].Data), Hex(b.Records[i].Data));
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, DialogStatementsSame, ::testing::ValuesIn(SameCases),
                         [](const ::testing::TestParamInfo<TSameCase>& info) { return std::to_string(info.index); });

TEST(DialogStatements, ControlDataInADialogIsReportedAsAWarning)
{
    const TCompiled c = CompileScript("1 DIALOG 0, 0, 10, 10\nBEGIN\n  CONTROL \"a\", 1, \"X\", 0, 1, 2, 3, 4\n  BEGIN 1 END\nEND\n");
    ASSERT_TRUE(c.Ok);
    EXPECT_TRUE(c.Messages.join(QLatin1Char('\n')).contains(QLatin1String("warning RC"))) << c.Messages.join(QLatin1Char('\n')).toStdString();
}

// The symbol map (HWB 202) as "type name symbol: child=id ...", one line per statement.
QStringList SymbolMap(const QByteArray& Data)
{
    QStringList lines;
    TBinaryReader r(Data);
    auto ansi = [&r] {
        const std::optional<QByteArray> s = r.TryAnsiZ(r.Offset());
        if (!s) throw EReadError(QStringLiteral("string runs past the data"));
        r.Skip(s->size() + 1);
        return QString::fromLatin1(*s);
    };
    for (;;) {
        const QString type = ansi();
        if (type == u"$") {
            EXPECT_EQ(r.ReadU16(), 0xFFFF);
            break;
        }
        const QString id = ansi();
        const QString symbol = ansi();
        ansi(); // file
        r.ReadU16(); // line
        QString line = QStringLiteral("%1 %2 %3:").arg(type, id, symbol);
        for (;;) {
            const QString child = ansi();
            const uint16_t value = r.ReadU16();
            if (child == u"$" && value == 0xFFFF) break;
            line += QStringLiteral(" %1=%2").arg(child).arg(value);
        }
        lines << line;
    }
    return lines;
}

TEST(DialogStatements, IdsWrittenAsMacrosBecomeChildSymbols)
{
    const TCompiled c = CompileScript(R"(#include <windows.h>
#define IDD_MAIN 100
#define IDC_NAME 1000
#define IDC_LIST 1001
#define IDM_MENU 200
#define IDM_OPEN 201
#define IDM_SUB 202
IDD_MAIN DIALOGEX 0, 0, 10, 10
BEGIN
  DEFPUSHBUTTON "OK", IDOK, 1, 2, 3, 4
  EDITTEXT IDC_NAME, 1, 2, 3, 4
  CONTROL "", IDC_LIST + 1, "X", 0, 1, 2, 3, 4
  LTEXT "x", -1, 1, 2, 3, 4
  CONTROL "", IDC_LIST, "X", 0, 1, 2, 3, 4
END
IDM_MENU MENUEX
BEGIN
  POPUP "p", IDM_SUB
  BEGIN
    MENUITEM "o", IDM_OPEN
  END
  MENUITEM "q", 7
END
3 MENU
BEGIN
  MENUITEM "o", IDM_OPEN, GRAYED
END
)",
                                      {QStringLiteral("/s")});
    ASSERT_TRUE(c.Ok) << c.Messages.join(QLatin1Char('\n')).toStdString();
    const TResRecord* map = Find(c, QStringLiteral("HWB"), QStringLiteral("#202"));
    ASSERT_NE(map, nullptr);
    const QStringList expected{QStringLiteral("5 100 IDD_MAIN: IDOK=1 IDC_NAME=1000 IDC_LIST=1001"),
                               QStringLiteral("4 200 IDM_MENU: IDM_SUB=202 IDM_OPEN=201"),
                               QStringLiteral("4 3 : IDM_OPEN=201")};
    EXPECT_EQ(SymbolMap(map->Data).join(QLatin1Char('\n')).toStdString(), expected.join(QLatin1Char('\n')).toStdString());
}

// The design information as "type name language: tags", read the way the layout describes it.
QStringList DesignInfo(const QByteArray& Data)
{
    TBinaryReader r(Data);
    auto nameOrOrdinal = [](TBinaryReader& R) {
        const uint16_t first = R.ReadU16();
        if (first == 0xFFFF) return QStringLiteral("#%1").arg(R.ReadU16());
        QString text;
        for (uint16_t c = first; c != 0; c = R.ReadU16()) text += QChar(c);
        return text;
    };
    QStringList entries;
    const uint32_t count = r.ReadU32();
    for (uint32_t i = 0; i < count; ++i) {
        QString entry = nameOrOrdinal(r) + QLatin1Char(' ');
        entry += nameOrOrdinal(r);
        entry += QStringLiteral(" %1:").arg(r.ReadU32(), 4, 16, QLatin1Char('0'));
        const uint32_t offset = r.ReadU32();
        const uint32_t size = r.ReadU32();
        TBinaryReader tags = r.Sub(offset, size);
        while (!tags.AtEnd()) {
            const uint32_t id = tags.ReadU32();
            if (id == 0x1000) {
                entry += QStringLiteral(" mockup %1 %2 %3 %4").arg(tags.ReadU32()).arg(tags.ReadU32()).arg(tags.ReadU32()).arg(tags.ReadU32());
                entry += QLatin1Char(' ') + tags.ReadUtf16Z();
            } else {
                entry += QStringLiteral(" %1=%2").arg(id, 0, 16).arg(tags.ReadU32());
                EXPECT_EQ(tags.ReadU32(), 0u);
            }
        }
        entries << entry;
    }
    return entries;
}

TEST(DialogStatements, DesignInfoCompilesInSymbolModeOnly)
{
    const QByteArray script = R"(#define IDD_ABOUT 100
LANGUAGE 7, 1
IDD_ABOUT DIALOGEX 0, 0, 186, 95
BEGIN
END
#ifdef APSTUDIO_INVOKED
GUIDELINES DESIGNINFO
BEGIN
    IDD_ABOUT, DIALOG
    BEGIN
        LEFTMARGIN, 7
        RIGHTMARGIN, 179
        TOPMARGIN, 7
        BOTTOMMARGIN, 88
        VERTGUIDE_PROPORTIONAL, 50
        MOCKUP, 1, 60, 3, 4, "mock\\up.png"
    END

    "Named", MENUEX
    BEGIN
        HORZGUIDE_RIGHT, 20
        , 5
    END

    5, "MyType"
    BEGIN
    END
END
#endif
)";
    const TCompiled plain = CompileScript(script);
    ASSERT_TRUE(plain.Ok) << plain.Messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(Find(plain, QStringLiteral("DESIGNINFO"), QStringLiteral("GUIDELINES")), nullptr);

    const TCompiled symbols = CompileScript(script, {QStringLiteral("/s")});
    ASSERT_TRUE(symbols.Ok) << symbols.Messages.join(QLatin1Char('\n')).toStdString();
    const TResRecord* design = Find(symbols, QStringLiteral("DESIGNINFO"), QStringLiteral("GUIDELINES"));
    ASSERT_NE(design, nullptr);
    EXPECT_EQ(design->Language, 0x0407);
    // The tag without a keyword is left out, with a warning.
    EXPECT_TRUE(symbols.Messages.join(QLatin1Char('\n')).contains(QLatin1String("warning RC")));
    const QStringList expected{
        QStringLiteral("#5 #100 0407: 45=7 47=179 405=7 407=88 42=50 mockup 1 60 3 4 mock\\up.png"),
        QStringLiteral("#4 NAMED 0407: 403=20"),
        QStringLiteral("MYTYPE #5 0407:"),
    };
    EXPECT_EQ(DesignInfo(design->Data).join(QLatin1Char('\n')).toStdString(), expected.join(QLatin1Char('\n')).toStdString());
}

// Scripts that must be refused with an error, never crash or hang.
const char* const BrokenScripts[] = {
    "1 DIALOG 0, 0, 10, 10\nBEGIN\n  LTEXT \"a\", 1, 1, 2, 3, 4\n",
    "1 DIALOG 0, 0\nBEGIN\nEND\n",
    "1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  WIDGET \"a\", 1, 1, 2, 3, 4\nEND\n",
    "1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  CONTROL \"a\", 1, WIDGET, 0, 1, 2, 3, 4\nEND\n",
    "1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  CONTROL \"a\", 1, \"X\", 0, 1, 2, 3, 4\n  BEGIN\n    1, 2\n",
    "1 MENU\nBEGIN\n  MENUITEM \"a\", 1, SOMETIMES\nEND\n",
    "1 MENU\nBEGIN\n  POPUP \"a\"\n  BEGIN\n    MENUITEM \"b\", 2\n",
    "1 MENUEX\nBEGIN\n  BLOCK \"a\"\nEND\n",
    "1 VERSIONINFO\nBEGIN\n  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x409, \"x\"\n  END\nEND\n",
    "1 VERSIONINFO\nFILEVERSION 1,2\nBEGIN\n  BLOCK \"a\"\n",
    "G DESIGNINFO\nBEGIN\n  1, DIALOG\n  BEGIN\n    NOSUCHMARGIN, 7\n  END\nEND\n",
};

TEST(DialogStatements, BrokenScriptsAreRefused)
{
    for (const char* script : BrokenScripts) {
        const TCompiled c = CompileScript(script);
        EXPECT_FALSE(c.Ok) << script;
        EXPECT_TRUE(c.Messages.join(QLatin1Char('\n')).contains(QLatin1String("error RC"))) << script;
    }
}

TEST(DialogStatements, DeepNestingIsRefusedWithoutRecursingOn)
{
    for (const char* open : {"POPUP \"p\"\nBEGIN\n", "BLOCK \"b\"\nBEGIN\n"}) {
        const bool menu = QByteArray(open).startsWith("POPUP");
        QByteArray script = menu ? "1 MENU\nBEGIN\n" : "1 VERSIONINFO\nBEGIN\n";
        for (int i = 0; i < 100000; ++i) script += open;
        const TCompiled c = CompileScript(script);
        EXPECT_FALSE(c.Ok);
        EXPECT_TRUE(c.Messages.join(QLatin1Char('\n')).contains(QLatin1String("too deeply"))) << c.Messages.join(QLatin1Char('\n')).toStdString();
    }
}

} // namespace
