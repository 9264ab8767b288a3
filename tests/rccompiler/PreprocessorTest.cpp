#include "PreprocessorTestSupport.h"

using namespace rc;
using namespace rc::test;

TEST(RcPreprocessorTest, ExpandsMacros)
{
    struct TCase {
        const char* Script;
        const char* Expected;
    };
    const TCase cases[] = {
        {"#define A 1\nA B", "1 B"},
        {"#define F(x, y) x+y\nF(1, (2, 3)) F (4,5)", "1 + ( 2 , 3 ) 4 + 5"},
        {"#define F(x) x\nF", "F"}, // a function-like name without arguments stays
        {"#define S(x) #x\nS(a   \"b\\n\"  c)", "\"a \\\"b\\\\n\\\" c\""},
        {"#define P(a, b) a##b\nP(x, y) P(1, ) P(, 2) P(<, <)", "xy 1 2 <<"},
        {"#define C(a, b, c) a##b##c\nC(1, , 3) C(, , )", "13"},
        {"#define V(f, ...) f(__VA_ARGS__)\nV(g, 1, 2) V(h)", "g ( 1 , 2 ) h ( )"},
        {"#define E(f, ...) f(0, ##__VA_ARGS__)\nE(g) E(g, 1)", "g ( 0 ) g ( 0 , 1 )"},
        {"#define N(args...) [args]\nN(1, 2)", "[ 1 , 2 ]"},
        {"#define X X+1\nX", "X + 1"},
        {"#define A B\n#define B A\nA B", "A B"},
        {"#define f(a) a*g\n#define g(a) f(a)\nf(2)(9)", "2 * 9 * g"},
        {"#define ID(x) x\n#define TWO ID(2)\nID(ID(TWO))", "2"},
        {"#define Q(x) x\nQ(Q)(5)", "Q ( 5 )"},
        {"#define A 1\n#undef A\nA", "A"},
        {"#define CAT(a, b) a ## b\n#define XY done\nCAT(X, Y)", "done"},
        {"#define L(x) L ## #x\nL(text)", "L\"text\""},
        {"#define MULTI 1 \\\n + 2\nMULTI", "1 + 2"},
        {"#define IDOK 1\n#pragma push_macro(\"IDOK\")\n#undef IDOK\nIDOK\n#pragma pop_macro(\"IDOK\")\nIDOK",
         "IDOK 1"},
        {"#pragma push_macro(\"NEW\")\n#define NEW 2\nNEW\n#pragma pop_macro(\"NEW\")\nNEW #pragma", "2 NEW # pragma"},
    };
    for (const TCase& c : cases) {
        TPpFolder folder;
        const TPpResult result = folder.Script(c.Script);
        EXPECT_EQ(result.Text(), QString::fromLatin1(c.Expected)) << c.Script;
        EXPECT_EQ(result.Errors, 0) << c.Script << result.Lines.join(QLatin1Char('\n')).toStdString();
    }
}

TEST(RcPreprocessorTest, EvaluatesConditions)
{
    struct TCase {
        const char* Condition;
        bool Expected;
    };
    const TCase cases[] = {
        {"1", true},
        {"0", false},
        {"defined(RC_INVOKED) && defined _WIN32 && RC_INVOKED == 1", true},
        {"defined(APSTUDIO_INVOKED)", false},
        {"NOT_A_MACRO == 0 && !NOT_A_MACRO", true},
        {"FN_MACRO", false},
        {"-1 < 0", true},
        {"-1 < 0u", false},
        {"0xFFFFFFFFFFFFFFFF == -1 && 18446744073709551615 > 0", true},
        {"9223372036854775807 > 0 && -9223372036854775807 - 1 < 0", true},
        {"1 << 63 < 0 && 1u << 63 > 0 && (1 << 64) == 0", true},
        {"-16 >> 2 == -4 && 16 >> 2 == 4", true},
        {"(1 ? 2 : 3) == 2 && (0 ? 2 : 3) == 3", true},
        {"10 / 3 == 3 && 10 % 3 == 1 && -7 / 2 == -3", true},
        {"0 && 1 / 0", false},
        {"1 || 1 % 0", true},
        {"0 ? 1 / 0 : 5", true},
        {"(2 + 3) * 4 == 20 && 2 + 3 * 4 == 14", true},
        {"0x10 == 16 && 010 == 8 && 10L == 10 && 0x10UL == 16 && 5i64 == 5", true},
        {"'A' == 65 && '\\n' == 10 && L'a' == 97", true},
        {"~0 == -1 && !5 == 0", true},
        {"(1 | 2) == 3 && (6 & 3) == 2 && (6 ^ 3) == 5", true},
        {"1 <= 1 && 2 >= 3", false},
        {"THREE == 3 && EMPTY_DEF + 1 == 1", true},
        {"__has_include(<windows.h>) && !__has_include(\"no-such-file.h\")", true},
    };
    for (const TCase& c : cases) {
        TPpFolder folder;
        const QByteArray script = QByteArray("#define FN_MACRO(x) x\n#define THREE (1 + 2)\n#define EMPTY_DEF\n#if ") +
                                  c.Condition + "\nyes\n#elif 1\nno\n#else\nnever\n#endif\n";
        const TPpResult result = folder.Script(script);
        EXPECT_EQ(result.Text(), QString::fromLatin1(c.Expected ? "yes" : "no")) << c.Condition;
        EXPECT_EQ(result.Errors, 0) << c.Condition << result.Lines.join(QLatin1Char('\n')).toStdString();
    }
}

TEST(RcPreprocessorTest, NestedConditionsAndCommandLineMacros)
{
    TPpFolder folder;
    TPreprocessorOptions options;
    options.Defines = {{QStringLiteral("LEVEL"), QStringLiteral("2")}, {QStringLiteral("FLAG"), QString()}};
    options.Undefines = {QStringLiteral("_WIN32")};
    const TPpResult result = folder.Script("#if LEVEL > 1\n"
                                           "# ifdef FLAG\n a\n# else\n b\n# endif\n"
                                           "# if 0\n#  error never\n#  bogus directive\n# elif FLAG == 1\n c\n# endif\n"
                                           "#elif 1\n d\n#endif\n"
                                           "#ifndef _WIN32\n e\n#endif\n"
                                           "#if 0\n 'unterminated in skipped text\n#endif\n"
                                           "#line 100\nf\n",
                                           options);
    EXPECT_EQ(result.Text(), QStringLiteral("a c e f"));
    EXPECT_EQ(result.Tokens.back().Line, 100);
    EXPECT_EQ(result.Errors, 0) << result.Lines.join(QLatin1Char('\n')).toStdString();
}

TEST(RcPreprocessorTest, SearchesIncludesLikeTheResourceCompiler)
{
    TPpFolder folder;
    folder.Write(QStringLiteral("Sub/A.inc"), "#include \"b.inc\"\nFROM_A\n");
    folder.Write(QStringLiteral("Sub/b.inc"), "B_SUB\n");
    folder.Write(QStringLiteral("b.inc"), "B_ROOT\n");
    folder.Write(QStringLiteral("c.inc"), "C_ROOT\n");
    folder.Write(QStringLiteral("sys1/c.inc"), "C_SYS1\n");
    folder.Write(QStringLiteral("sys2/C.inc"), "C_SYS2\n");
    folder.Write(QStringLiteral("sys2/Deep/D.INC"), "D_SYS2\n");
    // C headers and sources count for their directives only.
    folder.Write(QStringLiteral("sys2/windows.h"), "int dropped;\n#define FROM_SYS2 2\n");
    TPreprocessorOptions options;
    options.IncludeFolders = {folder.Path(QStringLiteral("sys1")), folder.Path(QStringLiteral("sys2"))};
    const TPpResult result = folder.Script("#include \"sub\\a.inc\"\n"
                                           "#include \"c.inc\"\n"
                                           "#include <c.inc>\n"
                                           "#include \"deep\\d.inc\"\n"
                                           "#include <windows.h>\n"
                                           "#include <WINRES.H>\n"
                                           "FROM_SYS2 IDOK\n",
                                           options);
    EXPECT_EQ(result.Text(), QStringLiteral("B_SUB FROM_A C_ROOT C_SYS1 D_SYS2 2 1"));
    EXPECT_EQ(result.Errors, 0) << result.Lines.join(QLatin1Char('\n')).toStdString();

    struct TExpected {
        const char* Written;
        int Level;
        bool ReadOnly;
        int Parent;
    };
    const TExpected expected[] = {{"sub\\a.inc", 1, false, 0}, {"b.inc", 2, false, 1},       {"c.inc", 1, false, 0},
                                  {"c.inc", 1, true, 0},         {"deep\\d.inc", 1, true, 0}, {"windows.h", 1, true, 0},
                                  {"WINRES.H", 1, true, 0}};
    ASSERT_GE(result.Files.size(), std::size(expected) + 1);
    EXPECT_EQ(result.Files[0].Level, 0);
    for (size_t i = 0; i < std::size(expected); ++i) {
        const TSourceFile& file = result.Files[i + 1];
        EXPECT_EQ(file.Written, QString::fromLatin1(expected[i].Written)) << i;
        EXPECT_EQ(file.Level, expected[i].Level) << i;
        EXPECT_EQ(file.ReadOnly, expected[i].ReadOnly) << i;
        EXPECT_EQ(file.Parent, expected[i].Parent) << i;
    }
    EXPECT_EQ(QFileInfo(result.Files[1].Path).canonicalFilePath(),
              QFileInfo(folder.Path(QStringLiteral("Sub/A.inc"))).canonicalFilePath());

    // Resource files: from the statement's file first, then the script's folder, then the /i folders.
    TCaptureHost host;
    TDiagnostics diagnostics(host);
    TPreprocessor pp(options, diagnostics);
    pp.Run(folder.Path(QStringLiteral("main.rc")));
    auto canonical = [&](const QString& Name) { return QFileInfo(folder.Path(Name)).canonicalFilePath(); };
    EXPECT_EQ(QFileInfo(pp.FindFile(QStringLiteral("b.inc"), 1)).canonicalFilePath(), canonical(QStringLiteral("Sub/b.inc")));
    EXPECT_EQ(QFileInfo(pp.FindFile(QStringLiteral("b.inc"), 0)).canonicalFilePath(), canonical(QStringLiteral("b.inc")));
    EXPECT_EQ(QFileInfo(pp.FindFile(QStringLiteral("SUB\\B.INC"), 0)).canonicalFilePath(),
              canonical(QStringLiteral("Sub/b.inc")));
    EXPECT_EQ(QFileInfo(pp.FindFile(QStringLiteral("deep/d.inc"), 0)).canonicalFilePath(),
              canonical(QStringLiteral("sys2/Deep/D.INC")));
    EXPECT_TRUE(pp.FindFile(QStringLiteral("windows.h"), 0).endsWith(QStringLiteral("sys2/windows.h")));
    EXPECT_TRUE(pp.FindFile(QStringLiteral("missing.ico"), 0).isEmpty());

    // Without default includes the built-in headers are not there.
    options.NoDefaultIncludes = true;
    const TPpResult bare = folder.Script("#include <winres.h>\n", options);
    EXPECT_TRUE(bare.Aborted);
    EXPECT_TRUE(bare.Lines.join(QLatin1Char('\n')).contains(QStringLiteral("main.rc(1) : error RC1015 : cannot open include file 'winres.h'")));
}

TEST(RcPreprocessorTest, ReadsEncodingsAndCodePages)
{
    TPpFolder folder;
    // UTF-16LE with its byte-order mark.
    const QString wide = QStringLiteral("A L\"\u041f\u0440\u0438\u0432\u0435\u0442\"\n");
    QByteArray utf16("\xFF\xFE", 2);
    for (QChar c : wide) {
        utf16 += char(c.unicode() & 0xFF);
        utf16 += char(c.unicode() >> 8);
    }
    TPpResult result = folder.Script(utf16);
    ASSERT_EQ(result.Tokens.size(), 2u);
    EXPECT_EQ(result.Tokens[1].Text, QStringLiteral("L\"\u041f\u0440\u0438\u0432\u0435\u0442\""));

    // UTF-8 with its byte-order mark: narrow literals keep UTF-8.
    result = folder.Script("\xEF\xBB\xBF" "B \"caf\xC3\xA9\"\n");
    ASSERT_EQ(result.Tokens.size(), 2u);
    EXPECT_EQ(result.Tokens[1].Text, QStringLiteral("\"caf\u00e9\""));
    EXPECT_EQ(result.Tokens[1].CodePage, 65001);

    // Without a mark: the code page, changed by #pragma code_page for the rest of the file (also in an
    // included file, which starts again in the default code page).
    folder.Write(QStringLiteral("inc.rc2"), "I \"\xE9\"\n");
    result = folder.Script("C \"\xE9\"\n"
                           "#pragma code_page(1251)\n"
                           "D \"\xCF\xF0\xE8\" /* code_page in a comment\n \xE9 */ E \"\xE9\"\n"
                           "#include \"inc.rc2\"\n"
                           "#pragma code_page(DEFAULT)\n"
                           "F \"\xE9\"\n");
    EXPECT_EQ(result.Errors, 0) << result.Lines.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(result.Tokens.size(), 10u);
    const std::pair<QString, int> expected[] = {{QStringLiteral("\"\u00e9\""), 1252},
                                                {QStringLiteral("\"\u041f\u0440\u0438\""), 1251},
                                                {QStringLiteral("\"\u0439\""), 1251},
                                                {QStringLiteral("\"\u00e9\""), 1252},
                                                {QStringLiteral("\"\u00e9\""), 1252}};
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(result.Tokens[2 * i + 1].Text, expected[i].first) << i;
        EXPECT_EQ(result.Tokens[2 * i + 1].CodePage, expected[i].second) << i;
    }
    EXPECT_EQ(result.Tokens[6].Text, QStringLiteral("I"));
}

TEST(RcPreprocessorTest, TokensNameTheObjectLikeMacroTheyCameFrom)
{
    TPpFolder folder;
    const TPpResult result = folder.Script("#define IDD_BASE 100\n"
                                           "#define IDD_ABOUT (IDD_BASE+1)\n"
                                           "#define F(x) x 0\n"
                                           "IDD_ABOUT DIALOG\n"
                                           "IDD_ABOUT F(IDD_BASE) 7\n");
    ASSERT_EQ(result.Text(), QStringLiteral("( 100 + 1 ) DIALOG ( 100 + 1 ) 100 0 7"));
    const TTokens& t = result.Tokens;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(t[i].Macro, QStringLiteral("IDD_ABOUT")) << i;
        EXPECT_EQ(t[i].Expansion, t[0].Expansion) << i;
        EXPECT_EQ(t[i].Line, 4) << i;
    }
    EXPECT_NE(t[0].Expansion, 0u);
    EXPECT_TRUE(t[5].Macro.isEmpty());
    EXPECT_EQ(t[5].Expansion, 0u);
    EXPECT_EQ(t[6].Macro, QStringLiteral("IDD_ABOUT"));
    EXPECT_NE(t[6].Expansion, t[0].Expansion);
    EXPECT_TRUE(t[6].LineStart);
    // A function-like macro names nothing; an object-like one written in its arguments still does.
    EXPECT_EQ(t[11].Macro, QStringLiteral("IDD_BASE"));
    EXPECT_TRUE(t[12].Macro.isEmpty());
    EXPECT_TRUE(t[13].Macro.isEmpty());
}

TEST(RcPreprocessorTest, ReportsBrokenInputWithFileAndLine)
{
    struct TCase {
        QByteArray Script;
        const char* Message; // part of the first error line
    };
    const TCase cases[] = {
        {"#include \"nothere.h\"\n", "main.rc(1) : error RC1015 : cannot open include file 'nothere.h'"},
        {"\n#include \"loop.h\"\n", "loop.h(1) : error RC1014"},
        {"#if 1\nx\n", "main.rc(3) : error RC1004"},
        {"#ifdef A\n#else\n#else\n#endif\n", "main.rc(3) : error RC1019"},
        {"#endif\n", "main.rc(1) : error RC1020"},
        {"\n#error stop here\n", "main.rc(2) : error RC1189 : #error : stop here"},
        {"#if 99999999999999999999999\n#endif\n", "main.rc(1) : error RC2177"},
        {"#if 1 / 0\n#endif\n", "main.rc(1) : error RC2124"},
        {"#if (1\n#endif\n", "main.rc(1) : error RC1017"},
        {"#if\n#endif\n", "main.rc(1) : error RC1017"},
        {"#if 1 +\n#endif\n", "main.rc(1) : error RC1017"},
        {QByteArray("\x01\xFE\x00#\n#if \x02\xFF\n", 12), "main.rc(2) : error RC1017"},
        {"x /* never\nclosed", "main.rc(2) : error RC1004"},
        {"#define F(x) x\nF(1,\n", "main.rc(2) : error RC1004"},
        {"#define F(x) x\nF(1, 2)\n", "main.rc(2) : error RC2057"},
        {"#bogus\n", "main.rc(1) : error RC1021"},
        {"#define ## x\n", "main.rc(1) : error RC1016"},
        {"#define G(a a) a\n", "main.rc(1) : error RC2008"},
        {"#define H(a) ## a\n", "main.rc(1) : error RC2008"},
        {"#pragma code_page(77777)\n", "main.rc(1) : error RC4214"},
        {"A \"open string\n", "main.rc(1) : error RC2001"},
        {"#define A A A A A A A A A A\n#define B A A A A A A A A A A\n#define C B B B B B B B B B B\n"
         "#define D C C C C C C C C C C\n#define E D D D D D D D D D D\n#define F E E E E E E E E E E\n"
         "#define G F F F F F F F F F F\nG\n",
         "main.rc(8) : error RC1055"},
        {QByteArray(100000, '(').prepend("#if ").append('\n'), "main.rc(1) : error RC1017"},
        {"#define E_(x) x\n" + QByteArray(1000, 'E').replace("E", "E_(") + "1" + QByteArray(1000, ')'),
         "main.rc(2) : error RC1055"},
    };
    for (const TCase& c : cases) {
        TPpFolder folder;
        folder.Write(QStringLiteral("loop.h"), "#include \"LOOP.H\"\n");
        const TPpResult result = folder.Script(c.Script);
        ASSERT_FALSE(result.Lines.isEmpty()) << c.Message;
        EXPECT_TRUE(result.Lines[0].contains(QString::fromLatin1(c.Message)))
            << c.Message << " got: " << result.Lines.join(QLatin1Char('\n')).toStdString();
        EXPECT_GT(result.Errors, 0) << c.Message;
    }
}
