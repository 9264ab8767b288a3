#include "CompilerSupport.h"
#include "platform/ByteBuilder.h"

#include <QHash>
#include <map>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace rc;

namespace {

// Tokens of Text where each identifier named in Macros stands for one expansion of that object-like
// macro, as the preprocessor would give it.
TTokens WithMacros(QStringView Text, const QHash<QString, QString>& Macros)
{
    TTokens tokens;
    uint32_t expansion = 0;
    for (TToken t : Tokenize(Text, 0)) {
        const auto found = Macros.constFind(t.Text);
        if (t.Kind == TTokenKind::Identifier && found != Macros.cend()) {
            ++expansion;
            TTokens body = Tokenize(*found, 0);
            for (size_t i = 0; i < body.size(); ++i) {
                TToken b = body[i];
                b.Line = t.Line;
                b.LineStart = i == 0 && t.LineStart;
                b.SpaceBefore = i == 0 ? t.SpaceBefore : b.SpaceBefore;
                b.Macro = t.Text;
                b.Expansion = expansion;
                tokens.push_back(b);
            }
            continue;
        }
        tokens.push_back(t);
    }
    return tokens;
}

// A parser over Text (no preprocessing) for the small grammar pieces.
struct TParsed {
    TTestCompilerHost Host;
    TDiagnostics Diagnostics{Host};
    TTokens Tokens;
    TParser Parser;
    explicit TParsed(QStringView Text) : Tokens(Tokenize(Text, 0)), Parser(Tokens, Diagnostics, TParserOptions()) {}
};

QByteArray NarrowString(QStringView Literal)
{
    TParsed p(Literal);
    const TStringLiteral s = p.Parser.String();
    EXPECT_FALSE(s.Wide);
    return s.Bytes;
}

QString WideString(QStringView Literal)
{
    TParsed p(Literal);
    const TStringLiteral s = p.Parser.String();
    EXPECT_TRUE(s.Wide);
    return s.Wide16;
}

} // namespace

TEST(RcCompilerTest, StringLiteralsReadTheWriterEscapes)
{
    // \a is 8, as the script writer writes it; \x takes two digits in narrow and four in wide strings.
    EXPECT_EQ(NarrowString(u"\"a\\ab\\tc\\r\\n\\\\\\\"\\0\""), QByteArray("a\x08" "b\tc\r\n\\\"\0", 10));
    EXPECT_EQ(NarrowString(u"\"\\xE9A\\101\\0012\""), QByteArray("\xE9" "AA\x01" "2"));
    EXPECT_EQ(NarrowString(u"\"say \"\"hi\"\"\""), QByteArray("say \"hi\""));
    EXPECT_EQ(NarrowString(u"\"\\q\""), QByteArray("\\q"));
    EXPECT_EQ(WideString(u"L\"\\x0416A\\x41\""), QString::fromUtf16(u"\u0416AA"));
    EXPECT_EQ(WideString(u"L\"say \"\"hi\"\"\""), QString::fromUtf16(u"say \"hi\""));
    // Narrow text is converted from its code page when text is wanted.
    TParsed p(u"\"caf\\xE9\"");
    EXPECT_EQ(p.Parser.Text(), QString::fromUtf16(u"caf\u00E9"));
}

TEST(RcCompilerTest, ExpressionsFollowCAndNotClearsStyleBits)
{
    struct {
        const char16_t* Text;
        uint32_t Value;
        bool Long;
    } cases[] = {
        {u"1+2*3", 7, false},   {u"(1+2)*3", 9, false}, {u"0x10|1&3", 0x11, false}, {u"-1", 0xFFFFFFFF, false},
        {u"~0x0F & 0xFF", 0xF0, false}, {u"010", 8, false}, {u"5L", 5, true}, {u"2 * 3UL", 6, true},
        {u"0xFFFFFFFF", 0xFFFFFFFF, false},
    };
    for (const auto& c : cases) {
        TParsed p(QString::fromUtf16(c.Text));
        const TExpression e = p.Parser.Expression();
        EXPECT_EQ(e.Value, c.Value) << QString::fromUtf16(c.Text).toStdString();
        EXPECT_EQ(e.IsLong, c.Long) << QString::fromUtf16(c.Text).toStdString();
        EXPECT_TRUE(p.Parser.AtEnd());
    }
    TParsed style(u"NOT 0x10000000L | 0x40000000");
    const TExpression e = style.Parser.Expression();
    EXPECT_EQ(e.Apply(0x50000000), 0x40000000u);
    EXPECT_EQ(e.Apply(0x00000001), 0x40000001u);
}

TEST(RcCompilerTest, MacroNamesAreKeptForWholeExpansionsOnly)
{
    TTestCompilerHost host;
    TDiagnostics diagnostics(host);
    const TTokens tokens = WithMacros(u"IDC_A IDC_A+1 (IDC_B) IDC_C", {{"IDC_A", "100"}, {"IDC_B", "200"}, {"IDC_C", "(300)"}});
    TParser parser(tokens, diagnostics, TParserOptions());
    EXPECT_EQ(parser.Expression().Macro, QString("IDC_A"));
    EXPECT_EQ(parser.Expression().Macro, QString()); // IDC_A+1
    EXPECT_EQ(parser.Expression().Macro, QString()); // parentheses written in the script
    const TExpression c = parser.Expression();
    EXPECT_EQ(c.Macro, QString("IDC_C"));
    EXPECT_EQ(c.Value, 300u);
}

namespace {

// A tiny reader of the symbol data, as the program decodes it.
struct TReadSymbol {
    QString Type, Id, Symbol, File;
    uint16_t Line;
    QStringList Children; // "name=id"
};

QString AnsiZ(TBinaryReader& R)
{
    QByteArray s;
    for (uint8_t c = R.ReadU8(); c != 0; c = R.ReadU8()) s.append(char(c));
    return QString::fromLatin1(s);
}

std::vector<TReadSymbol> ReadSymbolMap(const QByteArray& Data)
{
    std::vector<TReadSymbol> list;
    TBinaryReader r(Data);
    for (;;) {
        TReadSymbol s;
        s.Type = AnsiZ(r);
        if (s.Type == u"$") {
            EXPECT_EQ(r.ReadU16(), 0xFFFF);
            break;
        }
        s.Id = AnsiZ(r);
        s.Symbol = AnsiZ(r);
        s.File = AnsiZ(r);
        s.Line = r.ReadU16();
        for (;;) {
            const QString name = AnsiZ(r);
            const uint16_t id = r.ReadU16();
            if (name == u"$" && id == 0xFFFF) break;
            s.Children << QStringLiteral("%1=%2").arg(name).arg(id);
        }
        list.push_back(s);
    }
    EXPECT_TRUE(r.AtEnd());
    return list;
}

QString FileMapText(const QByteArray& Data)
{
    QStringList entries;
    TBinaryReader r(Data);
    while (!r.AtEnd()) {
        const QString type = ReadResIdent(r);
        const QString name = ReadResIdent(r);
        const uint16_t language = r.ReadU16();
        entries << QStringLiteral("%1 %2 %3 %4").arg(type, name).arg(language, 0, 16).arg(r.ReadUtf16Z());
    }
    return entries.join(u'|');
}

} // namespace

TEST(RcCompilerTest, SymbolDataNamesResourcesChildrenAndFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkdir("res");
    QByteArray icon;
    Add16(icon, 0);
    Add16(icon, 1);
    Add16(icon, 1);
    icon.append("\x10\x10\0\0", 4);
    Add16(icon, 1);
    Add16(icon, 32);
    Add32(icon, 4);
    Add32(icon, 22);
    icon.append("PNG!");
    ASSERT_TRUE(WriteAll(dir.filePath("res/app.ico"), icon));
    ASSERT_TRUE(WriteAll(dir.filePath("d.bin"), "data"));

    const QString script = u"IDI_APP ICON \"res\\\\app.ico\"\n"
                           u"DATA RCDATA d.bin\n"
                           u"1 ACCELERATORS\nBEGIN\n  \"a\", ID_CMD\n  \"b\", 5\nEND\n"
                           u"STRINGTABLE\nBEGIN\n  IDS_A \"x\"\n  17 \"y\"\n  IDS_B \"z\"\nEND\n"
                           u"IDR_TB TOOLBAR 16, 15\nBEGIN\n  BUTTON ID_CMD\n  SEPARATOR\nEND\n"_qs;
    const TTokens tokens =
        WithMacros(script, {{"IDI_APP", "100"}, {"ID_CMD", "200"}, {"IDS_A", "1"}, {"IDS_B", "18"}, {"IDR_TB", "300"}});
    TTestCompilerHost host;
    TCompileResult result;
    const QByteArray res = CompileTokens(host, QString(), dir.path(), 0x0409, &result, &tokens);
    ASSERT_FALSE(res.isEmpty()) << host.Lines.join('\n').toStdString();

    std::vector<TResource> resources;
    AddSymbolResources(resources, QByteArray("defs"), result.Files, result.Symbols);
    ASSERT_EQ(resources.size(), 3u);
    for (const TResource& r : resources) {
        EXPECT_EQ(r.Type.Name, QString("HWB"));
        EXPECT_EQ(r.Language, 0);
    }
    EXPECT_EQ(resources[0].Name.Ordinal, 200);
    EXPECT_EQ(resources[0].Data, QByteArray("defs"));
    EXPECT_EQ(resources[1].Name.Ordinal, 201);
    // Icons give one entry, for the group; file names are as written, unescaped.
    EXPECT_EQ(FileMapText(resources[1].Data), QString("#14 #100 409 res\\app.ico|#10 DATA 409 d.bin"));

    EXPECT_EQ(resources[2].Name.Ordinal, 202);
    const std::vector<TReadSymbol> symbols = ReadSymbolMap(resources[2].Data);
    ASSERT_EQ(symbols.size(), 6u);
    EXPECT_EQ(symbols[0].Type, QString("14"));
    EXPECT_EQ(symbols[0].Id, QString("100"));
    EXPECT_EQ(symbols[0].Symbol, QString("IDI_APP"));
    EXPECT_EQ(symbols[0].File, QString("test.rc"));
    EXPECT_EQ(symbols[0].Line, 1);
    EXPECT_EQ(symbols[1].Type, QString("10"));
    EXPECT_EQ(symbols[1].Id, QString("DATA"));
    EXPECT_EQ(symbols[1].Symbol, QString());
    EXPECT_EQ(symbols[2].Type, QString("9"));
    EXPECT_EQ(symbols[2].Line, 3);
    EXPECT_EQ(symbols[2].Children, QStringList{"ID_CMD=200"});
    EXPECT_EQ(symbols[3].Type, QString("241"));
    EXPECT_EQ(symbols[3].Symbol, QString("IDR_TB"));
    EXPECT_EQ(symbols[3].Children, QStringList{"ID_CMD=200"});
    // String tables: one record per block, named by the block number.
    EXPECT_EQ(symbols[4].Type, QString("6"));
    EXPECT_EQ(symbols[4].Id, QString("1"));
    EXPECT_EQ(symbols[4].Children, QStringList{"IDS_A=1"});
    EXPECT_EQ(symbols[5].Id, QString("2"));
    EXPECT_EQ(symbols[5].Children, QStringList{"IDS_B=18"});
}

TEST(RcCompilerTest, StringBlocksMergeAcrossStatements)
{
    TTestCompilerHost host;
    const QByteArray res = CompileTokens(host, u"STRINGTABLE { 1 \"a\" }\nSTRINGTABLE { 2 \"bc\" 16 L\"\\x0416\" }\n"
                                               u"LANGUAGE 7, 1\nSTRINGTABLE { 1 \"d\" }\n"_qs,
                                         QString());
    ASSERT_FALSE(res.isEmpty()) << host.Lines.join('\n').toStdString();
    const std::vector<TResRecord> records = ReadResRecords(res);
    ASSERT_EQ(records.size(), 3u);
    QByteArray block1;
    Add16(block1, 0);
    Add16(block1, 1);
    Add16(block1, 'a');
    Add16(block1, 2);
    Add16(block1, 'b');
    Add16(block1, 'c');
    for (int i = 3; i < 16; ++i) Add16(block1, 0);
    EXPECT_EQ(records[0].Key(), QString("#6/#1/0409"));
    EXPECT_EQ(records[0].Data.toHex(), block1.toHex());
    EXPECT_EQ(records[1].Key(), QString("#6/#2/0409"));
    EXPECT_EQ(records[1].Data.mid(0, 4).toHex(), QByteArray("01001604"));
    EXPECT_EQ(records[2].Key(), QString("#6/#1/0407"));
}

TEST(RcCompilerTest, EmptyResourcesGoLastSoReadersSeeEveryRecord)
{
    TTestCompilerHost host;
    const QByteArray res = CompileTokens(host, u"1 RCDATA { }\n2 RCDATA { 1 }\n"_qs, QString());
    const std::vector<TResRecord> records = ReadResRecords(res);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].Name, QString("#2"));
    EXPECT_EQ(records[1].Name, QString("#1"));
    EXPECT_TRUE(records[1].Data.isEmpty());
}

TEST(RcCompilerTest, BrokenScriptsGiveOneErrorWithItsLine)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(WriteAll(dir.filePath("bad.ico"), QByteArray("\0\0\1\0\5\0xx", 8)));
    struct {
        const char16_t* Script;
        int Line;
        const char* Text;
    } cases[] = {
        {u"1 RCDATA\nBEGIN\n  \"abc\nEND\n", 3, "unterminated or malformed string"},
        {u"STRINGTABLE\n  1 \"a\"\nEND\n", 2, "expected BEGIN"},
        {u"1 ACCELERATORS\nBEGIN\n  \"a\", 1\n", 3, "expected END, found end of file"},
        {u"1 RCDATA { 1 }\n{ 2 }\n", 2, "unknown statement"},
        {u"1 RCDATA\n{\n  99999999999\n}\n", 3, "invalid number"},
        {u"1 RCDATA { 1 / 0 }\n", 1, "division by zero"},
        {u"\x01\x02 @@ ICON\n", 1, "unknown statement"},
        {u"\n1 ICON \"missing.ico\"\n", 2, "file not found: missing.ico"},
        {u"1 ICON \"bad.ico\"\n", 1, "bad.ico: the file is damaged"},
        {u"1 BITMAP \"bad.ico\"\n", 1, "not a bitmap file"},
        {u"1 RCDATA { 1 }\n1 RCDATA { 2 }\n", 2, "duplicate resource"},
        {u"STRINGTABLE { 1 \"a\"\n 1 \"b\" }\n", 2, "duplicate string ID 1"},
        {u"1 ACCELERATORS { \"ab\", 1 }\n", 1, "one character"},
        {u"X FONT \"bad.ico\"\n", 1, "needs a number"},
        {u"1 RCDATA", 1, "expected a file name"},
        {u"1", 1, "expected a resource type"},
        {u"1 RCDATA { ((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((1 }", 1, "too deeply nested"},
    };
    for (const auto& c : cases) {
        const QString script = QString::fromUtf16(c.Script);
        TTestCompilerHost host;
        const QByteArray res = CompileTokens(host, script, dir.path());
        EXPECT_TRUE(res.isEmpty()) << script.toStdString();
        ASSERT_EQ(host.Errors.size(), 1) << script.toStdString() << host.Lines.join('\n').toStdString();
        const QString expected = QStringLiteral("test.rc(%1) : error RC").arg(c.Line);
        EXPECT_TRUE(host.Errors[0].startsWith(expected)) << host.Errors[0].toStdString();
        EXPECT_TRUE(host.Errors[0].contains(QLatin1String(c.Text))) << host.Errors[0].toStdString();
    }
}

TEST(RcCompilerTest, SymbolModeAddsTheSymbolResources)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(WriteAll(dir.filePath("resource.h"), "#define IDR_DATA 100\n#define ID_CMD 200\n"));
    ASSERT_TRUE(WriteAll(dir.filePath("d.bin"), "data"));
    ASSERT_TRUE(WriteAll(dir.filePath("app.rc"), "#include \"resource.h\"\n"
                                                 "IDR_DATA RCDATA \"d.bin\"\n"
                                                 "1 ACCELERATORS { \"a\", ID_CMD }\n"));
    // Values joined to their options or given as the next argument.
    TTestCompilerHost host;
    const QStringList args{"test", "/v", "/s", "/r", "/dSPECSTRINGS_H", "/l", "0x0407", "/fo" + dir.filePath("app.res"),
                           dir.filePath("app.rc")};
    ASSERT_EQ(RCW(host, args), 0) << host.Lines.join('\n').toStdString();
    std::map<QString, TResRecord> byKey;
    for (const TResRecord& r : ReadResRecords(ReadAll(dir.filePath("app.res")))) byKey[r.Key()] = r;
    EXPECT_EQ(byKey.count("#10/#100/0407"), 1u);
    ASSERT_EQ(byKey.count("HWB/#200/0000"), 1u);
    EXPECT_TRUE(byKey["HWB/#200/0000"].Data.contains("IDR_DATA"));
    ASSERT_EQ(byKey.count("HWB/#201/0000"), 1u);
    EXPECT_EQ(FileMapText(byKey["HWB/#201/0000"].Data), QString("#10 #100 407 d.bin"));
    ASSERT_EQ(byKey.count("HWB/#202/0000"), 1u);
    const std::vector<TReadSymbol> symbols = ReadSymbolMap(byKey["HWB/#202/0000"].Data);
    ASSERT_EQ(symbols.size(), 2u);
    EXPECT_EQ(symbols[0].Symbol, QString("IDR_DATA"));
    EXPECT_EQ(symbols[0].Line, 2);
    EXPECT_TRUE(symbols[0].File.endsWith("app.rc"));
    EXPECT_EQ(symbols[1].Children, QStringList{"ID_CMD=200"});
    EXPECT_GT(host.ProgressCalls, 0);

    // Without /s there is no symbol data.
    TTestCompilerHost plain;
    ASSERT_EQ(CompileWithOurs(plain, dir.filePath("app.rc"), dir.filePath("plain.res")), 0);
    for (const TResRecord& r : ReadResRecords(ReadAll(dir.filePath("plain.res")))) EXPECT_NE(r.Type, QString("HWB"));
}

TEST(RcCompilerTest, FailedCompilesWriteNoResFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(WriteAll(dir.filePath("bad.rc"), "1 RCDATA { 1 }\n2 ICON \"none.ico\"\n"));
    TTestCompilerHost host;
    EXPECT_EQ(CompileWithOurs(host, dir.filePath("bad.rc"), dir.filePath("bad.res")), 1);
    ASSERT_EQ(host.Errors.size(), 1);
    EXPECT_TRUE(host.Errors[0].contains("bad.rc(2) : error RC")) << host.Errors[0].toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("bad.res")));

    const QStringList badLines[] = {{"test", "/q", "x.rc"}, {"test", "/l", "zz", "x.rc"}, {"test"}, {"test", "/fo"}};
    for (const QStringList& args : badLines) {
        TTestCompilerHost h;
        EXPECT_EQ(RCW(h, args), 1) << args.join(' ').toStdString();
        EXPECT_EQ(h.Errors.size(), 1) << args.join(' ').toStdString();
    }
}

TEST(RcCompilerTest, TopLevelVersionAndCharacteristicsApplyToLaterStatements)
{
    TTestCompilerHost host;
    const QByteArray res = CompileTokens(host, u"1 RCDATA { 1 }\nVERSION 5\nCHARACTERISTICS 7\nLANGUAGE 7, 1\n"
                                               u"2 RCDATA { 2 }\nSTRINGTABLE VERSION 9 { 1 \"a\" }\n"_qs,
                                         QString());
    std::map<QString, TResRecord> byKey;
    for (const TResRecord& r : ReadResRecords(res)) byKey[r.Key()] = r;
    ASSERT_EQ(byKey.size(), 3u) << host.Lines.join('\n').toStdString();
    EXPECT_EQ(byKey["#10/#1/0409"].Version, 0u);
    EXPECT_EQ(byKey["#10/#2/0407"].Version, 5u);
    EXPECT_EQ(byKey["#10/#2/0407"].Characteristics, 7u);
    EXPECT_EQ(byKey["#6/#1/0407"].Version, 9u);
    EXPECT_EQ(byKey["#6/#1/0407"].Characteristics, 7u);
}

// Statements no peer compiles the way the program's kinds read them.
TEST(RcCompilerTest, ToolbarsAndDialogIncludesHaveTheKindsLayouts)
{
    struct {
        const char16_t* Script;
        const char* Key;
        const char* Hex;
    } cases[] = {
        // Version 1, width, height, count, then the IDs (0 for a separator).
        {u"1 TOOLBAR 16, 15\nBEGIN\n  BUTTON 1000\n  SEPARATOR\n  BUTTON 1001\nEND\n", "#241/#1/0409",
         "01001000" "0f000300" "e8030000" "e903"},
        // The header's name is the data.
        {u"1 DLGINCLUDE \"res\\\\dlg.h\"\n", "#17/#1/0409", "7265735c646c672e6800"},
        {u"2 DLGINCLUDE { \"a.h\\0\" }\n", "#17/#2/0409", "612e6800"},
    };
    for (const auto& c : cases) {
        TTestCompilerHost host;
        const QByteArray res = CompileTokens(host, QString::fromUtf16(c.Script), QString());
        const std::vector<TResRecord> records = ReadResRecords(res);
        ASSERT_EQ(records.size(), 1u) << host.Lines.join('\n').toStdString();
        EXPECT_EQ(records[0].Key(), QString::fromLatin1(c.Key));
        EXPECT_EQ(records[0].Data.toHex(), QByteArray(c.Hex));
    }
}

TEST(RcCompilerTest, FontDirectoryListsEachFontByItsOrdinal)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QByteArray font(118, '\0');
    font[0] = 0x00;
    font[1] = 0x02;
    font[101] = 118; // device name
    font[105] = 122; // face name
    font += QByteArray("DEV", 4) + QByteArray("Face", 5);
    ASSERT_TRUE(WriteAll(dir.filePath("f.fnt"), font));
    TTestCompilerHost host;
    const QByteArray res = CompileTokens(host, u"5 FONT f.fnt\n9 FONT \"f.fnt\"\n10 8 { 1 }\n"_qs, dir.path());
    std::map<QString, TResRecord> byKey;
    for (const TResRecord& r : ReadResRecords(res)) byKey[r.Key()] = r;
    ASSERT_EQ(byKey.count("#7/FONTDIR/0409"), 1u) << host.Lines.join('\n').toStdString();
    const QByteArray entry = font.left(113) + QByteArray("DEV", 4) + QByteArray("Face", 5);
    QByteArray expected;
    Add16(expected, 2); // the data of type 8 is no font statement
    Add16(expected, 5);
    expected += entry;
    Add16(expected, 9);
    expected += entry;
    EXPECT_EQ(byKey["#7/FONTDIR/0409"].Data.toHex(), expected.toHex());
}

// Narrow literals are bytes in the code page in force where they stand; as text they convert back.
TEST(RcCompilerTest, NarrowLiteralsFollowTheCodePage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Windows-1251 bytes: C6 is U+0416; then a UTF-8 script with its mark, holding U+00E9.
    ASSERT_TRUE(WriteAll(dir.filePath("cp.rc"), "#pragma code_page(1251)\nSTRINGTABLE { 1 \"\xC6\\xC6\" }\n"
                                                "1 RCDATA { \"\xC6\" }\n"));
    ASSERT_TRUE(WriteAll(dir.filePath("utf8.rc"), "\xEF\xBB\xBFSTRINGTABLE { 1 \"caf\xC3\xA9\" }\n1 RCDATA { \"\xC3\xA9\" }\n"));
    // A UTF-16 script (as the Unicode writer makes them): narrow text keeps its characters; data
    // bytes go through the code page, '?' where it has none.
    const QString utf16 = QStringLiteral("STRINGTABLE { 1 \"\u03A9\u00E9\" }\n1 RCDATA { \"\u03A9\u00E9\" }\n");
    ASSERT_TRUE(WriteAll(dir.filePath("utf16.rc"), QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char*>(utf16.utf16()), utf16.size() * 2)));
    struct {
        const char* Script;
        QString Text;
        QByteArray Bytes;
    } cases[] = {
        {"cp.rc", QString(2, QChar(0x0416)), QByteArray("\xC6")},
        {"utf8.rc", QStringLiteral("caf") + QChar(0xE9), QByteArray("\xC3\xA9")},
        {"utf16.rc", QString(QChar(0x03A9)) + QChar(0xE9), QByteArray("?\xE9")},
    };
    for (const auto& c : cases) {
        TTestCompilerHost host;
        ASSERT_EQ(CompileWithOurs(host, dir.filePath(c.Script), dir.filePath("out.res"), {"/c1252"}), 0)
            << host.Lines.join('\n').toStdString();
        std::map<QString, TResRecord> byKey;
        for (const TResRecord& r : ReadResRecords(ReadAll(dir.filePath("out.res")))) byKey[r.Key()] = r;
        QByteArray block;
        Add16(block, 0);
        Add16(block, c.Text.size());
        block.append(reinterpret_cast<const char*>(c.Text.utf16()), c.Text.size() * 2);
        for (int i = 2; i < 16; ++i) Add16(block, 0);
        EXPECT_EQ(byKey["#6/#1/0000"].Data.toHex(), block.toHex()) << c.Script;
        EXPECT_EQ(byKey["#10/#1/0000"].Data.toHex(), c.Bytes.toHex()) << c.Script;
    }
}
