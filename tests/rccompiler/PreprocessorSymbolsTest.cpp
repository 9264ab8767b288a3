#include "PreprocessorTestSupport.h"

#include <QDirIterator>

#include <map>

using namespace rc;
using namespace rc::test;

namespace {

// The symbol definitions as the program's reader rebuilds them: file records make the named file
// current (a known name again, else a new file under the one on top of the stack), return records go
// back to the file on top of the stack.
struct TDecodedSymbol {
    QByteArray Name, Value;
    int Line = 0;
};
struct TDecodedFile {
    QByteArray Name;
    int Level = 0;
    bool ReadOnly = false;
    int Parent = -1;
    std::vector<TDecodedSymbol> Symbols;
};

std::vector<TDecodedFile> Decode(const QByteArray& Data, bool& Ended)
{
    std::vector<TDecodedFile> files;
    std::vector<int> stack;
    int current = -1;
    qsizetype pos = 0;
    Ended = false;
    auto text = [&](QByteArray& Out) {
        const qsizetype end = Data.indexOf('\0', pos);
        if (end < 0) return false;
        Out = Data.mid(pos, end - pos);
        pos = end + 1;
        return true;
    };
    while (pos < Data.size()) {
        QByteArray a, b;
        if (!text(a) || !text(b) || pos + 3 > Data.size()) break;
        const int w = uint8_t(Data[pos]) | (uint8_t(Data[pos + 1]) << 8);
        const bool f = Data[pos + 2] != 0;
        pos += 3;
        if (a.isEmpty()) break;
        if (a != "!") {
            EXPECT_GE(current, 0) << "a symbol before any file: " << a.constData();
            if (current >= 0) files[current].Symbols.push_back({a, b, w});
            continue;
        }
        if (b.isEmpty() && w == 0xFFE3) {
            Ended = true;
            break;
        }
        if (current >= 0) {
            if (!b.isEmpty()) {
                stack.push_back(current);
                current = -1;
                for (size_t i = 0; i < files.size() && current < 0; ++i)
                    if (files[i].Name == b) current = int(i);
            } else {
                EXPECT_FALSE(stack.empty()) << "a return record with nothing to return to";
                current = stack.empty() ? -1 : stack.back();
                if (!stack.empty()) stack.pop_back();
            }
        }
        if (current < 0) {
            files.push_back({b, w, f, w != 0 && !stack.empty() ? stack.back() : -1, {}});
            current = int(files.size()) - 1;
        }
    }
    return files;
}

} // namespace

TEST(RcPreprocessorSymbolsTest, SymbolDefinitionsDescribeTheIncludeTree)
{
    TPpFolder folder;
    folder.Write(QStringLiteral("resource.h"), "#if !defined(RESOURCE_H)\n#define RESOURCE_H\n"
                                               "#define IDD_ABOUT 100\n"
                                               "#define IDC_NAME  (IDD_ABOUT  +  1) // the name\n"
                                               "#endif\n");
    // Of a read-only header only values that can name a resource become symbols.
    folder.Write(QStringLiteral("inc/sys.h"), "#pragma once\n#define SYS_VALUE 7\n#define EMPTY\n#define FN(x) x\n"
                                              "#define CALLCONV __stdcall\n#define HIGH 0xFFFF0000U\n"
                                              "#define SHIFTED (SYS_VALUE << 2)\n#define CAST ((WORD)1)\n");
    folder.Write(QStringLiteral("res/local.h"), "#define LOCAL_TEXT \"caf\xE9\"\n");
    TPreprocessorOptions options;
    options.SymbolMode = true;
    options.Defines = {{QStringLiteral("CMDLINE"), QStringLiteral("3")}};
    const TPpResult result = folder.Script("#include \"resource.h\"\n"
                                           "#define APSTUDIO_READONLY_SYMBOLS\n"
                                           "#include \"inc\\sys.h\"\n"
                                           "#undef APSTUDIO_READONLY_SYMBOLS\n"
                                           "#include \"resource.h\"\n"
                                           "#include \"inc/SYS.H\"\n"
                                           "#include \"res\\local.h\"\n"
                                           "#define IDD_ABOUT 101\n"
                                           "#ifdef APSTUDIO_INVOKED\nSTUDIO\n#endif\n",
                                           options);
    EXPECT_EQ(result.Errors, 0) << result.Lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(result.Text(), QStringLiteral("STUDIO"));
    EXPECT_TRUE(result.Symbols.startsWith(QByteArray("!\0main.rc\0\0\0\0", 13)));
    EXPECT_TRUE(result.Symbols.endsWith(QByteArray("!\0\0\xE3\xFF\0", 6)));

    bool ended = false;
    const std::vector<TDecodedFile> files = Decode(result.Symbols, ended);
    EXPECT_TRUE(ended);
    ASSERT_EQ(files.size(), 5u);
    struct TExpected {
        const char* Name;
        int Level;
        bool ReadOnly;
        int Parent;
        std::vector<std::pair<QByteArray, QByteArray>> Symbols;
    };
    const TExpected expected[] = {
        {"main.rc", 0, false, -1, {{"IDD_ABOUT", "101"}}},
        {"resource.h", 1, false, 0, {{"IDD_ABOUT", "100"}, {"IDC_NAME", "(IDD_ABOUT + 1)"}}},
        {"inc\\sys.h", 1, true, 0, {{"SYS_VALUE", "7"}, {"SHIFTED", "(SYS_VALUE << 2)"}}},
        // Another spelling of the same header is another entry of the tree.
        {"inc/SYS.H", 1, false, 0, {}},
        {"res\\local.h", 1, false, 0, {{"LOCAL_TEXT", "\"caf\xE9\""}}},
    };
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(files[i].Name, QByteArray(expected[i].Name)) << i;
        EXPECT_EQ(files[i].Level, expected[i].Level) << i;
        EXPECT_EQ(files[i].ReadOnly, expected[i].ReadOnly) << i;
        EXPECT_EQ(files[i].Parent, expected[i].Parent) << i;
        ASSERT_EQ(files[i].Symbols.size(), expected[i].Symbols.size()) << i;
        for (size_t j = 0; j < files[i].Symbols.size(); ++j) {
            EXPECT_EQ(files[i].Symbols[j].Name, expected[i].Symbols[j].first) << i;
            EXPECT_EQ(files[i].Symbols[j].Value, expected[i].Symbols[j].second) << i;
        }
    }
    EXPECT_EQ(files[1].Symbols[1].Line, 4);
    EXPECT_EQ(files[0].Symbols[0].Line, 8);

    // Files() has one entry per file opened; the guarded and once-only headers are not opened again.
    ASSERT_EQ(result.Files.size(), 4u);
    EXPECT_EQ(result.Files[2].Written, QStringLiteral("inc\\sys.h"));
    EXPECT_TRUE(result.Files[2].ReadOnly);

    // Outside symbol mode there are no records and no APSTUDIO_INVOKED.
    options.SymbolMode = false;
    const TPpResult plain = folder.Run(QStringLiteral("main.rc"), options);
    EXPECT_TRUE(plain.Symbols.isEmpty());
    EXPECT_TRUE(plain.Tokens.empty());
}

TEST(RcPreprocessorSymbolsTest, BuiltinHeadersDefineEveryNameTheWritersEmit)
{
    // The names the RC writers write symbolically (dialog styles, LANGUAGE, manifests, version info) and
    // every name of the default symbol sets.
    QStringList names = {
        "RT_MANIFEST", "VS_VERSION_INFO", "IDC_STATIC", "ID_FILE_NEW", "ID_EDIT_COPY", "ID_APP_ABOUT",
        "LANG_NEUTRAL", "SUBLANG_NEUTRAL", "SUBLANG_DEFAULT", "SUBLANG_SYS_DEFAULT", "SUBLANG_CUSTOM_DEFAULT",
        "SUBLANG_CUSTOM_UNSPECIFIED", "SUBLANG_UI_CUSTOM_DEFAULT", "MFT_STRING", "MFT_SEPARATOR", "MFT_MENUBREAK",
        "MFT_MENUBARBREAK", "MFT_RIGHTJUSTIFY", "MFS_GRAYED", "MFS_CHECKED", "MFS_DEFAULT", "VS_FF_DEBUG",
        "VS_FF_PRERELEASE", "VOS_NT_WINDOWS32", "VFT_APP", "VFT_DLL", "VFT2_UNKNOWN", "VFT2_DRV_PRINTER",
        "BS_3STATE", "BS_AUTO3STATE", "BS_AUTOCHECKBOX", "BS_AUTORADIOBUTTON", "BS_BITMAP", "BS_BOTTOM",
        "BS_CHECKBOX", "BS_COMMANDLINK", "BS_DEFCOMMANDLINK", "BS_DEFPUSHBUTTON", "BS_DEFSPLITBUTTON", "BS_FLAT",
        "BS_GROUPBOX", "BS_ICON", "BS_LEFT", "BS_LEFTTEXT", "BS_MULTILINE", "BS_NOTIFY", "BS_OWNERDRAW",
        "BS_PUSHBUTTON", "BS_PUSHLIKE", "BS_RADIOBUTTON", "BS_RIGHT", "BS_SPLITBUTTON", "BS_TOP", "BS_USERBUTTON",
        "CBS_AUTOHSCROLL", "CBS_DISABLENOSCROLL", "CBS_DROPDOWN", "CBS_DROPDOWNLIST", "CBS_HASSTRINGS",
        "CBS_LOWERCASE", "CBS_NOINTEGRALHEIGHT", "CBS_OEMCONVERT", "CBS_OWNERDRAWFIXED", "CBS_OWNERDRAWVARIABLE",
        "CBS_SIMPLE", "CBS_SORT", "CBS_UPPERCASE", "DS_3DLOOK", "DS_ABSALIGN", "DS_CENTER", "DS_CENTERMOUSE",
        "DS_CONTEXTHELP", "DS_CONTROL", "DS_FIXEDSYS", "DS_LOCALEDIT", "DS_MODALFRAME", "DS_NOFAILCREATE",
        "DS_NOIDLEMSG", "DS_SETFONT", "DS_SETFOREGROUND", "DS_SYSMODAL", "ES_AUTOHSCROLL", "ES_AUTOVSCROLL",
        "ES_CENTER", "ES_LEFT", "ES_LOWERCASE", "ES_MULTILINE", "ES_NOHIDESEL", "ES_NUMBER", "ES_OEMCONVERT",
        "ES_PASSWORD", "ES_READONLY", "ES_RIGHT", "ES_UPPERCASE", "ES_WANTRETURN", "LBS_COMBOBOX",
        "LBS_DISABLENOSCROLL", "LBS_EXTENDEDSEL", "LBS_HASSTRINGS", "LBS_MULTICOLUMN", "LBS_MULTIPLESEL",
        "LBS_NODATA", "LBS_NOINTEGRALHEIGHT", "LBS_NOREDRAW", "LBS_NOSEL", "LBS_NOTIFY", "LBS_OWNERDRAWFIXED",
        "LBS_OWNERDRAWVARIABLE", "LBS_SORT", "LBS_USETABSTOPS", "LBS_WANTKEYBOARDINPUT", "SBS_HORZ", "SBS_SIZEBOX",
        "SBS_SIZEBOXBOTTOMRIGHTALIGN", "SBS_SIZEBOXTOPLEFTALIGN", "SBS_SIZEGRIP", "SBS_VERT", "SS_BITMAP",
        "SS_BLACKFRAME", "SS_BLACKRECT", "SS_CENTER", "SS_CENTERIMAGE", "SS_ENDELLIPSIS", "SS_ENHMETAFILE",
        "SS_ETCHEDFRAME", "SS_ETCHEDHORZ", "SS_ETCHEDVERT", "SS_GRAYFRAME", "SS_GRAYRECT", "SS_ICON", "SS_LEFT",
        "SS_LEFTNOWORDWRAP", "SS_NOPREFIX", "SS_NOTIFY", "SS_OWNERDRAW", "SS_PATHELLIPSIS", "SS_REALSIZECONTROL",
        "SS_REALSIZEIMAGE", "SS_RIGHT", "SS_RIGHTJUST", "SS_SIMPLE", "SS_SUNKEN", "SS_USERITEM", "SS_WHITEFRAME",
        "SS_WHITERECT", "WS_BORDER", "WS_CAPTION", "WS_CHILD", "WS_CLIPCHILDREN", "WS_CLIPSIBLINGS", "WS_DISABLED",
        "WS_DLGFRAME", "WS_EX_ACCEPTFILES", "WS_EX_APPWINDOW", "WS_EX_CLIENTEDGE", "WS_EX_COMPOSITED",
        "WS_EX_CONTEXTHELP", "WS_EX_CONTROLPARENT", "WS_EX_DLGMODALFRAME", "WS_EX_LAYERED", "WS_EX_LAYOUTRTL",
        "WS_EX_LEFTSCROLLBAR", "WS_EX_MDICHILD", "WS_EX_NOACTIVATE", "WS_EX_NOINHERITLAYOUT",
        "WS_EX_NOPARENTNOTIFY", "WS_EX_RIGHT", "WS_EX_RTLREADING", "WS_EX_STATICEDGE", "WS_EX_TOOLWINDOW",
        "WS_EX_TOPMOST", "WS_EX_TRANSPARENT", "WS_EX_WINDOWEDGE", "WS_GROUP", "WS_HSCROLL", "WS_MAXIMIZE",
        "WS_MAXIMIZEBOX", "WS_MINIMIZE", "WS_MINIMIZEBOX", "WS_OVERLAPPED", "WS_POPUP", "WS_SYSMENU",
        "WS_TABSTOP", "WS_THICKFRAME", "WS_VISIBLE", "WS_VSCROLL", "LVS_REPORT", "TVS_HASLINES", "TBS_AUTOTICKS",
        "UDS_ARROWKEYS", "PBS_SMOOTH"};
    Q_INIT_RESOURCE(symbols);
    QDirIterator sets(QStringLiteral(":/symbols"));
    int fromSets = 0;
    while (sets.hasNext()) {
        QFile file(sets.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.isEmpty() || line.startsWith('_')) continue;
            names << QString::fromLatin1(line.left(line.indexOf('=')));
            ++fromSets;
        }
    }
    EXPECT_GT(fromSets, 500);

    const QStringList builtins = TPreprocessor::BuiltinHeaderNames();
    for (const char* header : {"windows.h", "winres.h", "winresrc.h", "winuser.rh", "commctrl.h", "winver.h", "afxres.h"})
        EXPECT_TRUE(builtins.contains(QLatin1String(header))) << header;
    for (const char* header : {"windows.h", "winres.h", "afxres.h"}) {
        TPpFolder folder;
        const QByteArray script = QByteArray("#include <") + header + ">\n#include <commctrl.h>\n" +
                                  names.join(QLatin1Char('\n')).toLatin1() + "\n";
        const TPpResult result = folder.Script(script);
        EXPECT_EQ(result.Errors, 0) << header << result.Lines.join(QLatin1Char('\n')).toStdString();
        QStringList left;
        for (const TToken& token : result.Tokens)
            if (token.Kind != TTokenKind::Number && !token.IsPunct(u"(") && !token.IsPunct(u")") && !token.IsPunct(u"-"))
                left << token.Text;
        // IDC_STATIC comes with winres.h, the MFC command IDs with afxres.h.
        if (QByteArray(header) == "windows.h") left.removeAll(QStringLiteral("IDC_STATIC"));
        if (QByteArray(header) != "afxres.h")
            left.removeIf([](const QString& Name) { return Name.startsWith(QStringLiteral("ID_")); });
        EXPECT_TRUE(left.isEmpty()) << header << ": " << left.join(QLatin1Char(' ')).toStdString();
    }
}

TEST(RcPreprocessorSymbolsTest, ReadsTheMingwWindowsHeaders)
{
    const QString include = QStringLiteral("/usr/share/mingw-w64/include");
    if (!QFileInfo::exists(include + QStringLiteral("/windows.h"))) GTEST_SKIP() << "no mingw-w64 headers";
    TPpFolder folder;
    TPreprocessorOptions options;
    options.IncludeFolders = {include};
    options.NoDefaultIncludes = true;
    options.SymbolMode = true;
    options.Defines = {{QStringLiteral("SPECSTRINGS_H"), QString()}};
    const TPpResult result = folder.Script("#include <windows.h>\n"
                                           "IDOK WS_OVERLAPPEDWINDOW LANG_ENGLISH VS_FF_DEBUG\n"
                                           "#ifdef __GNUC__\nGNUC\n#endif\n",
                                           options);
    EXPECT_EQ(result.Errors, 0) << result.Lines.mid(0, 10).join(QLatin1Char('\n')).toStdString();
    QStringList texts;
    for (const TToken& token : result.Tokens) texts << token.Text;
    // Only what the script itself wrote is left: nothing of the headers' C declarations.
    ASSERT_FALSE(texts.isEmpty());
    EXPECT_EQ(texts.first(), QStringLiteral("1"));
    EXPECT_FALSE(texts.contains(QStringLiteral("GNUC"))); // the SDK's compiler is not the script's
    for (const TToken& token : result.Tokens) EXPECT_EQ(token.File, 0) << token.Text.toStdString();
    EXPECT_GT(result.Files.size(), 5u);
    for (size_t i = 1; i < result.Files.size(); ++i) EXPECT_TRUE(result.Files[i].ReadOnly) << i;
    bool ended = false;
    const std::vector<TDecodedFile> files = Decode(result.Symbols, ended);
    EXPECT_TRUE(ended);
    EXPECT_GT(files.size(), 5u);
}
