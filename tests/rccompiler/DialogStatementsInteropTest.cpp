// DIALOG, DIALOGEX, MENU, MENUEX and VERSIONINFO compiled by our compiler and by the peers give the same
// resources, byte for byte. Each script is compared with the peers that read it the way we do.
//
// Differences on purpose (left out of the table, or checked in DialogStatementsTest.cpp):
// - A predefined class written as a string ("button", "Static") becomes the class ordinal (0x80..0x85),
//   as for the keyword; the peers keep the string (one upper-cased, one as written). A template that
//   names a predefined class by ordinal is the one the program saves, so a script it writes compiles
//   back to the same bytes.
// - Other class names, the dialog's CLASS and ICON texts are kept as written (one peer upper-cases
//   them); a MENU name is upper-cased as every resource name is.
// - RADIOBUTTON, AUTORADIOBUTTON and COMBOBOX have WS_TABSTOP by default, as one peer does (the other
//   gives none); PUSHBOX is BS_PUSHBOX | WS_TABSTOP as the other peer does (the first writes 0x0C and
//   the previous control's text).
// - A style given to a shorthand control adds to its default style (one peer drops WS_GROUP from the
//   texts' default when a style is given).
// - A DIALOG with a control data block is written as DIALOGEX, with a warning, as one peer does.
// - NOT pieces in STYLE act on the style built so far, WS_CAPTION from CAPTION included (llvm-rc
//   ignores a NOT that follows CAPTION).
// - MENUEX always gives the extended template (one peer writes a standard one when no entry needs the
//   extended fields); MENUITEM SEPARATOR in MENUEX gives an entry of type MFT_SEPARATOR.
// - A VERSIONINFO VALUE takes numbers (WORDs; L makes DWORDs) or strings, each with its terminator;
//   one that holds both is refused, as one peer does.
// Memory flags are compared with llvm-rc only: windres has its own defaults for some types.
#include "DialogTestSupport.h"

#include <gtest/gtest.h>

namespace {
enum TPeers : unsigned { Windres = 1, LlvmRc = 2, Both = 3 };

struct TInteropCase {
    const char* Name;
    unsigned Peers;
    const char* Script;
};

const TInteropCase Cases[] = {
    // Dialogs
    {"DIALOG without optional statements", Both, R"(1 DIALOG 10, 20, 100, 50
BEGIN
END
)"},
    {"DIALOG caption, font, style, exstyle", Both, R"(#include <windows.h>
2 DIALOG 0, 0, 186, 95
STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
EXSTYLE WS_EX_TOOLWINDOW
CAPTION "About ""it"""
FONT 8, "MS Shell Dlg"
BEGIN
  DEFPUSHBUTTON "OK", IDOK, 129, 7, 50, 14
  CONTROL "x", 100, "FOO", WS_TABSTOP, 1, 2, 3, 4, WS_EX_CLIENTEDGE
END
)"},
    {"DIALOGEX help ID, weighted italic font with charset", Both, R"(3 DIALOGEX 1, 2, 300, 200, 77
FONT 9, "Tahoma", 700, 1, 204
CAPTION L"Gr\x00fc\x00df"
BEGIN
END
)"},
    {"DIALOGEX font without weight gives charset 1", Both, R"(4 DIALOGEX 0, 0, 100, 50
FONT 8, "MS Shell Dlg"
BEGIN
END
)"},
    {"STYLE replaces the default style; CAPTION adds WS_CAPTION after it", Both, R"(#include <windows.h>
5 DIALOGEX 0, 0, 100, 50
STYLE DS_MODALFRAME | NOT WS_SYSMENU
CAPTION "x"
BEGIN
END
6 DIALOGEX 0, 0, 100, 50
STYLE NOT WS_POPUP
BEGIN
END
7 DIALOG 0, 0, 100, 50
FONT 9, "Tahoma"
CAPTION "y"
STYLE WS_POPUP
BEGIN
END
)"},
    {"NOT after CAPTION takes out what CAPTION added", Windres, R"(#include <windows.h>
8 DIALOGEX 0, 0, 100, 50
CAPTION "x"
STYLE WS_POPUP | NOT WS_DLGFRAME
BEGIN
END
9 DIALOGEX 0, 0, 100, 50
CAPTION "x"
STYLE NOT WS_DLGFRAME | WS_POPUP
FONT 8, "A"
STYLE WS_CHILD
BEGIN
END
)"},
    {"CLASS by name and ordinal", LlvmRc, R"(10 DIALOGEX 0, 0, 100, 50
CLASS "MyClass"
BEGIN
END
11 DIALOG 0, 0, 100, 50
CLASS 0x1234
BEGIN
END
)"},
    {"MENU by name and number", Windres, R"(12 DIALOGEX 0, 0, 100, 50
MENU mainmenu
BEGIN
END
13 DIALOG 0, 0, 100, 50
MENU 55
BEGIN
END
)"},
    {"LANGUAGE, VERSION and CHARACTERISTICS inside the statement", LlvmRc, R"(LANGUAGE 9, 1
14 DIALOGEX 0, 0, 100, 50
LANGUAGE 7, 1
VERSION 3
CHARACTERISTICS 4
BEGIN
END
15 DIALOG 0, 0, 100, 50
BEGIN
END
)"},
    {"static and button shorthands", Both, R"(#include <windows.h>
20 DIALOG 0, 0, 100, 50
BEGIN
  LTEXT "lt", 1, 1, 2, 3, 4
  RTEXT "rt", 2, 1, 2, 3, 4
  CTEXT "ct", 3, 1, 2, 3, 4
  PUSHBUTTON "pb", 4, 1, 2, 3, 4
  DEFPUSHBUTTON "dpb", 5, 1, 2, 3, 4
  CHECKBOX "cb", 6, 1, 2, 3, 4
  AUTOCHECKBOX "acb", 7, 1, 2, 3, 4
  STATE3 "s3", 8, 1, 2, 3, 4
  AUTO3STATE "a3", 9, 1, 2, 3, 4
  GROUPBOX "gb", 12, 1, 2, 3, 4
END
21 DIALOGEX 0, 0, 100, 50
BEGIN
  LTEXT "b", 2, 1, 2, 3, 4, NOT WS_GROUP | SS_SUNKEN, WS_EX_CLIENTEDGE
  PUSHBUTTON "p", 4, 1, 2, 3, 4, WS_TABSTOP, 0, 99
  AUTOCHECKBOX "acb", -1, -1, -2, 3, 4, NOT WS_TABSTOP
END
)"},
    {"radio buttons and combo box", Windres, R"(22 DIALOGEX 0, 0, 100, 50
BEGIN
  RADIOBUTTON "rb", 10, 1, 2, 3, 4
  AUTORADIOBUTTON "arb", 11, 1, 2, 3, 4
  COMBOBOX 16, 1, 2, 3, 4
END
)"},
    {"push box; a given style adds to the default one", LlvmRc, R"(#include <windows.h>
23 DIALOG 0, 0, 100, 50
BEGIN
  PUSHBOX "pbx", 13, 1, 2, 3, 4
  CTEXT "ct", 3, 1, 2, 3, 4, SS_SUNKEN
END
)"},
    {"edit, list box, scroll bar", Both, R"(#include <windows.h>
24 DIALOGEX 0, 0, 100, 50
BEGIN
  EDITTEXT 14, 1, 2, 3, 4
  EDITTEXT 15, 1, 2, 3, 4, ES_MULTILINE | NOT WS_BORDER, WS_EX_STATICEDGE, 5
  LISTBOX 16, 1, 2, 3, 4
  SCROLLBAR 17, 1, 2, 3, 4, SBS_VERT
END
)"},
    {"icons by number", Windres, R"(25 DIALOGEX 0, 0, 100, 50
BEGIN
  ICON 101, 19, 1, 2, 0, 0
  ICON 102, -1, 5, 6
END
)"},
    {"icons by name", LlvmRc, R"(26 DIALOG 0, 0, 100, 50
BEGIN
  ICON "ic", 18, 1, 2, 3, 4
END
)"},
    {"CONTROL styles, NOT, numeric classes and texts", Both, R"(#include <windows.h>
27 DIALOGEX 0, 0, 100, 50
BEGIN
  CONTROL "a", 1, "FOO", NOT WS_VISIBLE | 5, 1, 2, 3, 4
  CONTROL 101, 4, "FOO", SS_ICON, 1, 2, 3, 4, 0, 7
  CONTROL "", 5, "FOO", WS_TABSTOP | NOT WS_CHILD, 1, 2, 3, 4, WS_EX_CLIENTEDGE | WS_EX_RIGHT, 0x10000
END
28 DIALOG 0, 0, 100, 50
BEGIN
  CONTROL "a", -1, "FOO", 0, 1, 2, 3, 4
  CONTROL 5, 2, "FOO", 0, 1, 2, 3, 4, 0x200
END
)"},
    {"CONTROL classes by number", Windres, R"(33 DIALOGEX 0, 0, 100, 50
BEGIN
  CONTROL "b", -1, 0x85, 0, 1, 2, 3, 4
END
34 DIALOG 0, 0, 100, 50
BEGIN
  CONTROL 5, 2, 0x82, 0, 1, 2, 3, 4, 0x200
END
)"},
    {"CONTROL class names other than the predefined ones", LlvmRc, R"(29 DIALOGEX 0, 0, 100, 50
BEGIN
  CONTROL "", 1, "SysListView32", 0x50010001, 1, 2, 3, 4
  CONTROL "", 2, "msctls_trackbar32", 0, 1, 2, 3, 4
END
)"},
    {"control data blocks", Windres, R"(30 DIALOGEX 0, 0, 100, 50
BEGIN
  CONTROL "a", 1, "FOO", 0, 1, 2, 3, 4
  BEGIN
    1, 2L, "ab"
  END
  CONTROL "b", 2, "FOO", 0, 1, 2, 3, 4
  {
    0x1234
  }
  LTEXT "c", 3, 1, 2, 3, 4
END
31 DIALOG 0, 0, 100, 50
BEGIN
  CONTROL "a", -1, "FOO", 0, 1, 2, 3, 4
  BEGIN
    1, 2
  END
END
)"},
    {"negative positions", Both, R"(32 DIALOGEX (-10), -20, 100, 50
BEGIN
  CONTROL "a", 1, "FOO", 0, -3, -32768, 3, 4
END
)"},
    // Menus
    {"MENU with every option", Both, R"(40 MENU
BEGIN
  POPUP "&File"
  BEGIN
    MENUITEM "&Open", 100, CHECKED, GRAYED
    MENUITEM SEPARATOR
    MENUITEM "x", 101, HELP, INACTIVE, MENUBARBREAK, MENUBREAK
    POPUP "sub", GRAYED
    BEGIN
      MENUITEM "y", 102
    END
  END
  MENUITEM "z\tCtrl+Z", 103
END
)"},
    {"MENUEX with IDs, types, states and help IDs", Windres, R"(#include <windows.h>
41 MENUEX
BEGIN
  POPUP "&File", 200, MFT_STRING, MFS_ENABLED, 77
  BEGIN
    MENUITEM "&Open", 100, MFT_STRING, MFS_CHECKED
    MENUITEM "", 0, MFT_SEPARATOR
    MENUITEM "q"
    POPUP "deep", 201
    BEGIN
      MENUITEM "r", 5, MFT_RADIOCHECK, MFS_DEFAULT | MFS_CHECKED
    END
  END
  MENUITEM "z", 103, 0, MFS_GRAYED
END
)"},
    // Version information
    {"VERSIONINFO with strings and translations", Both, R"(#include <windows.h>
VS_VERSION_INFO VERSIONINFO
FILEVERSION 1,2,3,4
PRODUCTVERSION 5,6
FILEFLAGSMASK 0x3FL
FILEFLAGS VS_FF_DEBUG
FILEOS VOS_NT_WINDOWS32
FILETYPE VFT_APP
FILESUBTYPE 0x0L
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904B0"
    BEGIN
      VALUE "CompanyName", "Acme"
      VALUE "Empty", ""
      VALUE "Two", "ab" "cd"
      VALUE "Odd", "abc"
      VALUE "Wide", L"x\x0416y"
    END
    BLOCK "040704B0"
    BEGIN
      VALUE "Last", "ab"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x409, 1200, 0x407, 1200
  END
END
)"},
    {"VERSIONINFO values of several strings and DWORDs", LlvmRc, R"(2 VERSIONINFO
FILEVERSION 1,2
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904B0"
    BEGIN
      VALUE "A", "ab", "cd"
      VALUE "C", 5
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "n", 1, 2L
  END
END
)"},
};

// Failures name the case.
void PrintTo(const TInteropCase& Case, std::ostream* Out) { *Out << Case.Name; }

class DialogStatementsInterop : public ::testing::TestWithParam<TInteropCase> {};

TEST_P(DialogStatementsInterop, SameResourcesAsThePeers)
{
    const TInteropCase& c = GetParam();
    const QByteArray script(c.Script);
    // The peers default to US English.
    const TCompiled ours = CompileScript(script, {QStringLiteral("/l409")});
    ASSERT_TRUE(ours.Ok) << ours.Messages.join(QLatin1Char('\n')).toStdString();
    int compared = 0;
    for (TResourceCompiler compiler : ResourceCompilers) {
        const bool windres = compiler == TResourceCompiler::Windres;
        if (!(c.Peers & (windres ? Windres : LlvmRc))) continue;
        const char* name = ResourceCompilerName(compiler);
        const QString tool = FindPeerTool(QString::fromLatin1(name));
        if (tool.isEmpty()) continue;
        const TCompiled peer = CompileScript(script, {}, tool, compiler);
        ASSERT_TRUE(peer.Ok) << name << ": " << peer.Messages.join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(ours.Records.size(), peer.Records.size()) << name;
        for (size_t i = 0; i < ours.Records.size(); ++i) {
            const TResRecord& a = ours.Records[i];
            const TResRecord& b = peer.Records[i];
            SCOPED_TRACE(std::string(name) + ": " + a.Key().toStdString());
            EXPECT_EQ(a.Key().toStdString(), b.Key().toStdString());
            EXPECT_EQ(a.Version, b.Version);
            EXPECT_EQ(a.Characteristics, b.Characteristics);
            if (!windres) {
                EXPECT_EQ(a.MemoryFlags, b.MemoryFlags);
            }
            EXPECT_EQ(Hex(a.Data), Hex(b.Data));
        }
        ++compared;
    }
    if (compared == 0) GTEST_SKIP() << "no peer resource compiler is installed";
}

INSTANTIATE_TEST_SUITE_P(Statements, DialogStatementsInterop, ::testing::ValuesIn(Cases),
                         [](const ::testing::TestParamInfo<TInteropCase>& info) { return std::to_string(info.index); });
} // namespace
