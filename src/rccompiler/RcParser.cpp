#include "RcParser.h"

#include "RcStatements.h"

#include "../model/koResourceModuleRC.h"
#include "../platform/CodePages.h"
#include "../platform/Exceptions.h"

#include <QFile>
#include <QHash>

namespace rc {

namespace {

uint32_t EffectiveCodePage(uint32_t CodePage)
{
    return CodePage == 0 ? RCAnsiCodePage() : CodePage;
}

bool IsOctal(QChar C) { return C >= u'0' && C <= u'7'; }

int HexDigit(QChar C)
{
    if (C >= u'0' && C <= u'9') return C.unicode() - u'0';
    if (C >= u'a' && C <= u'f') return C.unicode() - u'a' + 10;
    if (C >= u'A' && C <= u'F') return C.unicode() - u'A' + 10;
    return -1;
}

// The key of a resource for duplicate detection.
QString ResourceKey(const TNameOrdinal& Type, const TNameOrdinal& Name, uint16_t Language)
{
    auto part = [](const TNameOrdinal& V) {
        return V.IsOrdinal ? QStringLiteral("#%1").arg(V.Ordinal) : QStringLiteral("$") + V.Name;
    };
    return part(Type) + QChar(0) + part(Name) + QChar(0) + QString::number(Language);
}

// The type keywords of resource statements.
enum class TStatementKind {
    Accelerators, Bitmap, Cursor, Dialog, DialogEx, Font, Icon, Menu, MenuEx, VersionInfo, DesignInfo,
    TextInclude, Toolbar, Data,
};

struct TTypeKeyword {
    const char16_t* Keyword;
    TStatementKind Kind;
    uint16_t Ordinal; // 0: a named type (the keyword)
};

const TTypeKeyword TypeKeywords[] = {
    {u"ACCELERATORS", TStatementKind::Accelerators, 9},
    {u"BITMAP", TStatementKind::Bitmap, 2},
    {u"CURSOR", TStatementKind::Cursor, 12},
    {u"DIALOG", TStatementKind::Dialog, 5},
    {u"DIALOGEX", TStatementKind::DialogEx, 5},
    {u"FONT", TStatementKind::Font, 8},
    {u"ICON", TStatementKind::Icon, 14},
    {u"MENU", TStatementKind::Menu, 4},
    {u"MENUEX", TStatementKind::MenuEx, 4},
    {u"VERSIONINFO", TStatementKind::VersionInfo, 16},
    {u"DESIGNINFO", TStatementKind::DesignInfo, 0},
    {u"TEXTINCLUDE", TStatementKind::TextInclude, 0},
    {u"TOOLBAR", TStatementKind::Toolbar, 241},
    {u"RCDATA", TStatementKind::Data, 10},
    {u"MESSAGETABLE", TStatementKind::Data, 11},
    {u"DLGINCLUDE", TStatementKind::Data, 17},
    {u"PLUGPLAY", TStatementKind::Data, 19},
    {u"VXD", TStatementKind::Data, 20},
    {u"ANICURSOR", TStatementKind::Data, 21},
    {u"ANIICON", TStatementKind::Data, 22},
    {u"HTML", TStatementKind::Data, 23},
    {u"MANIFEST", TStatementKind::Data, 24},
};

const TTypeKeyword* FindTypeKeyword(const TToken& Token)
{
    if (Token.Kind != TTokenKind::Identifier) return nullptr;
    for (const TTypeKeyword& k : TypeKeywords)
        if (Token.IsKeyword(QStringView(k.Keyword))) return &k;
    return nullptr;
}

// Memory flags a statement's resource gets when the script names none.
uint16_t DefaultMemoryFlags(const TNameOrdinal& Type)
{
    if (!Type.IsOrdinal) return rcMoveable | rcPure;
    switch (Type.Ordinal) {
    case 4: case 5: case 6: case 7: // menus, dialogs, strings, font directories
        return rcMoveable | rcPure | rcDiscardable;
    case 8: case 12: case 14: // fonts; icon and cursor images (the groups get their own)
        return rcMoveable | rcDiscardable;
    default:
        return rcMoveable | rcPure;
    }
}

} // namespace

QString Describe(const TToken& Token)
{
    if (Token.Kind == TTokenKind::End) return QStringLiteral("end of file");
    QString text = Token.Text;
    if (text.size() > 40) text = text.left(40) + QStringLiteral("...");
    return QStringLiteral("\"%1\"").arg(text);
}

QString TStringLiteral::Text() const
{
    if (Wide) return Wide16;
    if (UnicodeSource) return Unicode;
    try {
        return CodePageToUnicode(Bytes, EffectiveCodePage(CodePage));
    } catch (const Exception&) {
        return QString::fromLatin1(Bytes);
    }
}

// ---- TDataBuilder

void TDataBuilder::Word(uint16_t Value)
{
    const qsizetype at = FData.size();
    FData.resize(at + 2);
    FData[at] = static_cast<char>(Value & 0xFF);
    FData[at + 1] = static_cast<char>(Value >> 8);
}

void TDataBuilder::DWord(uint32_t Value)
{
    Word(static_cast<uint16_t>(Value & 0xFFFF));
    Word(static_cast<uint16_t>(Value >> 16));
}

void TDataBuilder::Utf16(const QString& Value)
{
    FData.reserve(FData.size() + Value.size() * 2);
    for (QChar c : Value) Word(c.unicode());
}

void TDataBuilder::String16(const QString& Value)
{
    Utf16(Value);
    Word(0);
}

void TDataBuilder::NameOrOrdinal(const TNameOrdinal& Value)
{
    if (Value.IsOrdinal) {
        Word(0xFFFF);
        Word(Value.Ordinal);
    } else {
        String16(Value.Name);
    }
}

void TDataBuilder::AlignTo4()
{
    while (FData.size() % 4 != 0) FData.append('\0');
}

void TDataBuilder::PatchWord(qsizetype Offset, uint16_t Value)
{
    if (Offset < 0 || Offset + 2 > FData.size()) return;
    FData[Offset] = static_cast<char>(Value & 0xFF);
    FData[Offset + 1] = static_cast<char>(Value >> 8);
}

void TDataBuilder::PatchDWord(qsizetype Offset, uint32_t Value)
{
    PatchWord(Offset, static_cast<uint16_t>(Value & 0xFFFF));
    PatchWord(Offset + 2, static_cast<uint16_t>(Value >> 16));
}

// ---- TParser

struct TParser::TImpl {
    TImpl(const TTokens& T, TDiagnostics& D, const TParserOptions& O) : Tokens(T), Diagnostics(D), Options(O) {}

    const TTokens& Tokens;
    TDiagnostics& Diagnostics;
    TParserOptions Options;
    size_t Pos = 0;
    TToken EndToken;
    TCompileResult Result;
    QHash<QString, size_t> ResourceIndex;
    QHash<QString, QString> FoundFiles; // "file index|name as written" -> path found, or empty
    QString LastFile;                   // the file read last and its bytes: statements in a row
    QByteArray LastFileData;            // often name the same one
    TResourceStatement Defaults; // the top-level LANGUAGE, VERSION and CHARACTERISTICS
    uint16_t ImageOrdinal = 0;
    std::shared_ptr<TStringTables> StringTables;
    std::function<void(int)> Progress;
    size_t NextProgress = 0;
};

TParser::TParser(const TTokens& Tokens, TDiagnostics& Diagnostics, const TParserOptions& Options)
    : FImpl(std::make_unique<TImpl>(Tokens, Diagnostics, Options))
{
    FImpl->Defaults.Language = Options.Language;
    FImpl->EndToken.Kind = TTokenKind::End;
    if (!Tokens.empty()) {
        FImpl->EndToken.File = Tokens.back().File;
        FImpl->EndToken.Line = Tokens.back().Line;
    }
    FImpl->EndToken.LineStart = true;
}

TParser::~TParser() = default;

const TCompileResult& TParser::Result() const { return FImpl->Result; }
TCompileResult& TParser::Result() { return FImpl->Result; }
TDiagnostics& TParser::Diagnostics() { return FImpl->Diagnostics; }
uint16_t TParser::Language() const { return FImpl->Defaults.Language; }

TResourceStatement TParser::NewStatement(const TToken& At) const
{
    TResourceStatement s;
    s.Language = FImpl->Defaults.Language;
    s.Version = FImpl->Defaults.Version;
    s.Characteristics = FImpl->Defaults.Characteristics;
    s.File = At.File;
    s.Line = At.Line;
    return s;
}

int TParser::PercentDone() const
{
    const size_t n = FImpl->Tokens.size();
    return n == 0 ? 100 : static_cast<int>(FImpl->Pos * 100 / n);
}

void TParser::SetProgress(std::function<void(int Percent)> Progress) { FImpl->Progress = std::move(Progress); }

const TToken& TParser::Peek(size_t N) const
{
    const size_t i = FImpl->Pos + N;
    return i < FImpl->Tokens.size() ? FImpl->Tokens[i] : FImpl->EndToken;
}

const TToken& TParser::Next()
{
    const TToken& t = Peek();
    if (FImpl->Pos < FImpl->Tokens.size()) ++FImpl->Pos;
    return t;
}

bool TParser::AtEnd() const { return FImpl->Pos >= FImpl->Tokens.size(); }

bool TParser::Accept(QStringView Punct)
{
    if (!Peek().IsPunct(Punct)) return false;
    Next();
    return true;
}

bool TParser::AcceptKeyword(QStringView Keyword)
{
    if (!Peek().IsKeyword(Keyword)) return false;
    Next();
    return true;
}

void TParser::Expect(QStringView Punct)
{
    if (!Accept(Punct)) Unexpected(QStringLiteral("\"%1\"").arg(Punct));
}

void TParser::ExpectKeyword(QStringView Keyword)
{
    if (!AcceptKeyword(Keyword)) Unexpected(Keyword.toString());
}

bool TParser::IsBegin() const { return Peek().IsKeyword(u"BEGIN") || Peek().IsPunct(u"{"); }
bool TParser::IsEnd() const { return Peek().IsKeyword(u"END") || Peek().IsPunct(u"}"); }

void TParser::ExpectBegin()
{
    if (!IsBegin()) Unexpected(QStringLiteral("BEGIN"));
    Next();
}

bool TParser::AtBlockEnd()
{
    if (AtEnd()) Unexpected(QStringLiteral("END"));
    return IsEnd();
}

void TParser::ExpectEnd()
{
    if (!IsEnd()) Unexpected(QStringLiteral("END"));
    Next();
}

void TParser::Fatal(const TToken& At, int Code, const QString& Text)
{
    FImpl->Diagnostics.Fatal(At.File, At.Line, Code, Text);
}

void TParser::Fatal(int Code, const QString& Text) { Fatal(Peek(), Code, Text); }

void TParser::Warning(const TToken& At, int Code, const QString& Text)
{
    FImpl->Diagnostics.Warning(At.File, At.Line, Code, Text);
}

void TParser::Unexpected(const QString& Expected)
{
    const TToken& t = Peek();
    Fatal(t, t.Kind == TTokenKind::End ? rcErrUnexpectedEnd : rcErrSyntax,
          QStringLiteral("expected %1, found %2").arg(Expected, Describe(t)));
}

// ---- expressions

namespace {

// Parses a C number as written; false when it is not one or does not fit 32 bits.
bool ParseNumber(const QString& Text, uint32_t& Value, bool& IsLong)
{
    qsizetype i = 0;
    const qsizetype n = Text.size();
    int base = 10;
    if (n >= 2 && Text[0] == u'0' && (Text[1] == u'x' || Text[1] == u'X')) {
        base = 16;
        i = 2;
    } else if (n >= 1 && Text[0] == u'0') {
        base = 8;
    }
    uint64_t value = 0;
    qsizetype digits = 0;
    for (; i < n; ++i) {
        const int d = HexDigit(Text[i]);
        if (d < 0 || d >= base) break;
        value = value * base + d;
        if (value > 0xFFFFFFFFull) return false;
        ++digits;
    }
    if (digits == 0 && base != 8) return false;
    IsLong = false;
    for (; i < n; ++i) {
        const QChar c = Text[i];
        if (c == u'l' || c == u'L') IsLong = true;
        else if (c != u'u' && c != u'U') return false;
    }
    Value = static_cast<uint32_t>(value);
    return true;
}

} // namespace

bool TParser::AtExpression() const
{
    const TToken& t = Peek();
    if (t.Kind == TTokenKind::Number) return true;
    if (t.Kind == TTokenKind::Punct) return t.Text == u"(" || t.Text == u"-" || t.Text == u"~" || t.Text == u"+";
    return t.IsKeyword(u"NOT");
}

namespace {

// Precedence climbing over the binary operators of RC expressions.
int BinaryPrecedence(const TToken& T)
{
    if (T.Kind != TTokenKind::Punct) return 0;
    const QString& s = T.Text;
    if (s == u"|") return 1;
    if (s == u"^") return 2;
    if (s == u"&") return 3;
    if (s == u"+" || s == u"-") return 4;
    if (s == u"*" || s == u"/" || s == u"%") return 5;
    return 0;
}

} // namespace

TExpression TParser::Expression()
{
    const size_t start = FImpl->Pos;
    // Depth guard: parentheses and unary operators recurse.
    int depth = 0;
    std::function<TExpression(int)> binary;
    std::function<TExpression()> unary = [&]() -> TExpression {
        if (++depth > 200) Fatal(rcErrSyntax, QStringLiteral("expression too deeply nested"));
        TExpression r;
        const TToken& t = Peek();
        if (t.Kind == TTokenKind::Number) {
            Next();
            if (!ParseNumber(t.Text, r.Value, r.IsLong))
                Fatal(t, rcErrNumber, QStringLiteral("invalid number %1").arg(Describe(t)));
        } else if (t.IsPunct(u"(")) {
            Next();
            r = binary(1);
            Expect(u")");
        } else if (t.IsPunct(u"-")) {
            Next();
            r = unary();
            r.Value = 0u - r.Value;
        } else if (t.IsPunct(u"+")) {
            Next();
            r = unary();
        } else if (t.IsPunct(u"~")) {
            Next();
            r = unary();
            r.Value = ~r.Value;
        } else if (t.IsKeyword(u"NOT")) {
            Next();
            const TExpression v = unary();
            r.Value = 0;
            r.NotMask = v.Value;
            r.IsLong = v.IsLong;
        } else {
            Unexpected(QStringLiteral("a number"));
        }
        --depth;
        return r;
    };
    binary = [&](int MinPrecedence) -> TExpression {
        TExpression left = unary();
        for (;;) {
            const TToken& op = Peek();
            const int p = BinaryPrecedence(op);
            if (p == 0 || p < MinPrecedence) break;
            Next();
            const TExpression right = binary(p + 1);
            const QString& s = op.Text;
            uint32_t v = 0;
            if (s == u"|") v = (left.Value & ~right.NotMask) | right.Value;
            else if (s == u"^") v = left.Value ^ right.Value;
            else if (s == u"&") v = left.Value & right.Value;
            else if (s == u"+") v = left.Value + right.Value;
            else if (s == u"-") v = left.Value - right.Value;
            else if (s == u"*") v = left.Value * right.Value;
            else {
                if (right.Value == 0) Fatal(op, rcErrDivision, QStringLiteral("division by zero"));
                v = s == u"/" ? left.Value / right.Value : left.Value % right.Value;
            }
            left.Value = v;
            left.NotMask |= right.NotMask;
            left.IsLong = left.IsLong || right.IsLong;
        }
        return left;
    };
    TExpression result = binary(1);
    // The macro, when every token of the expression came from the same expansion of it.
    const TToken& first = FImpl->Tokens[start];
    if (!first.Macro.isEmpty()) {
        bool same = true;
        for (size_t i = start + 1; i < FImpl->Pos && same; ++i)
            same = FImpl->Tokens[i].Macro == first.Macro && FImpl->Tokens[i].Expansion == first.Expansion;
        if (same) result.Macro = first.Macro;
    }
    return result;
}

uint16_t TParser::WordExpression() { return Expression().Word(); }

// ---- strings

namespace {

// Decodes one literal token ("..." or L"...") and appends it.
bool DecodeLiteral(const TToken& Token, bool Wide, QString& WideOut, QByteArray& BytesOut, uint32_t CodePage,
                   QString& NarrowText)
{
    const QString& s = Token.Text;
    // The L of a wide literal; the pieces after the first of a joined literal have none.
    qsizetype i = s.startsWith(u'L') || s.startsWith(u'l') ? 1 : 0;
    if (i >= s.size() || s[i] != u'"') return false;
    ++i;
    const qsizetype end = s.size() - 1;
    if (end < i || s[end] != u'"') return false;
    QString plain; // narrow: characters waiting for conversion
    auto flushPlain = [&]() {
        if (!plain.isEmpty()) {
            BytesOut.append(UnicodeToCodePage(plain, CodePage));
            plain.clear();
        }
    };
    auto putChar = [&](QChar c) {
        if (Wide) {
            WideOut.append(c);
        } else {
            plain.append(c);
            NarrowText.append(c);
        }
    };
    auto putCode = [&](uint32_t code) {
        if (Wide) {
            WideOut.append(QChar(static_cast<char16_t>(code)));
        } else {
            flushPlain();
            BytesOut.append(static_cast<char>(code & 0xFF));
            NarrowText.append(QChar(static_cast<char16_t>(code & 0xFF)));
        }
    };
    while (i < end) {
        const QChar c = s[i];
        if (c != u'\\') {
            // A doubled quote inside one token (the lexer may keep "" together).
            if (c == u'"' && i + 1 < end && s[i + 1] == u'"') ++i;
            putChar(c);
            ++i;
            continue;
        }
        if (i + 1 >= end) {
            putChar(c);
            ++i;
            continue;
        }
        const QChar e = s[i + 1];
        i += 2;
        switch (e.unicode()) {
        case u'a': case u'b': putCode(8); break;
        case u'n': putCode(10); break;
        case u'r': putCode(13); break;
        case u't': putCode(9); break;
        case u'\\': putCode('\\'); break;
        case u'"': putCode('"'); break;
        case u'x': case u'X': {
            uint32_t v = 0;
            int digits = 0;
            const int maxDigits = Wide ? 4 : 2;
            while (digits < maxDigits && i < end && HexDigit(s[i]) >= 0) {
                v = v * 16 + HexDigit(s[i]);
                ++i;
                ++digits;
            }
            if (digits == 0) {
                putChar(u'\\');
                putChar(e);
            } else {
                putCode(v);
            }
            break;
        }
        default:
            if (IsOctal(e)) {
                uint32_t v = e.unicode() - u'0';
                int digits = 1;
                while (digits < 3 && i < end && IsOctal(s[i])) {
                    v = v * 8 + (s[i].unicode() - u'0');
                    ++i;
                    ++digits;
                }
                putCode(v);
            } else {
                // Unknown escapes stay as written.
                putChar(u'\\');
                putChar(e);
            }
        }
    }
    flushPlain();
    return true;
}

} // namespace

TStringLiteral TParser::String()
{
    const TToken& first = Peek();
    if (first.Kind != TTokenKind::String) Unexpected(QStringLiteral("a string"));
    TStringLiteral r;
    r.Wide = first.Text.startsWith(u'L') || first.Text.startsWith(u'l');
    r.CodePage = EffectiveCodePage(static_cast<uint32_t>(first.CodePage));
    r.UnicodeSource = !r.Wide && first.Unicode;
    bool firstPiece = true;
    while (Peek().Kind == TTokenKind::String && (firstPiece || !Peek().SpaceBefore)) {
        const TToken& t = Next();
        const bool wide = t.Text.startsWith(u'L') || t.Text.startsWith(u'l');
        if (!firstPiece) {
            if (wide) Fatal(t, rcErrString, QStringLiteral("malformed string %1").arg(Describe(t)));
            if (r.Wide) {
                r.Wide16.append(u'"');
            } else {
                r.Bytes.append('"');
                r.Unicode.append(u'"');
            }
        }
        bool ok = false;
        try {
            ok = DecodeLiteral(t, r.Wide, r.Wide16, r.Bytes, r.CodePage, r.Unicode);
        } catch (const Exception&) {
            ok = false;
        }
        if (!ok) Fatal(t, rcErrString, QStringLiteral("unterminated or malformed string %1").arg(Describe(t)));
        firstPiece = false;
    }
    return r;
}

// ---- names and file names

TNameOrdinal TParser::NameOrOrdinal()
{
    const TToken& t = Peek();
    if (AtExpression() && !t.IsKeyword(u"NOT")) {
        const TExpression e = Expression();
        TNameOrdinal r = TNameOrdinal::FromOrdinal(e.Word());
        r.Macro = e.Macro;
        return r;
    }
    if (t.Kind == TTokenKind::Identifier) {
        Next();
        TNameOrdinal r = TNameOrdinal::FromName(t.Text.toUpper());
        r.Macro = t.Macro;
        return r;
    }
    if (t.Kind == TTokenKind::String) {
        const QString macro = t.Macro;
        TNameOrdinal r = TNameOrdinal::FromName(Text().toUpper());
        r.Macro = macro;
        return r;
    }
    Unexpected(QStringLiteral("a name or number"));
}

QString TParser::FileName()
{
    const TToken& t = Peek();
    if (t.Kind == TTokenKind::String) return Text();
    if (t.Kind == TTokenKind::End || IsBegin() || t.IsPunct(u",")) Unexpected(QStringLiteral("a file name"));
    QString name = Next().Text;
    while (!AtEnd() && !Peek().SpaceBefore && !Peek().LineStart && !Peek().IsPunct(u","))
        name += Next().Text;
    return name;
}

QByteArray TParser::ReadResourceFile(const QString& Written, const TToken& At)
{
    // Scripts name one file many times (an icon per statement); the search touches the disk.
    const QString key = QString::number(At.File) + QLatin1Char('|') + Written;
    auto found = FImpl->FoundFiles.constFind(key);
    if (found == FImpl->FoundFiles.cend()) {
        QString located;
        if (FImpl->Options.FindFile) located = FImpl->Options.FindFile(Written, At.File);
        found = FImpl->FoundFiles.insert(key, located);
    }
    const QString path = *found;
    if (path.isEmpty()) Fatal(At, rcErrFileNotFound, QStringLiteral("file not found: %1").arg(Written));
    if (path == FImpl->LastFile) return FImpl->LastFileData;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        Fatal(At, rcErrFileNotFound, QStringLiteral("cannot open file: %1").arg(Written));
    FImpl->LastFileData = file.readAll();
    FImpl->LastFile = path;
    return FImpl->LastFileData;
}

// ---- optional statements and flags

bool TParser::CommonOption(TResourceStatement& Statement)
{
    if (AcceptKeyword(u"LANGUAGE")) {
        const uint16_t primary = WordExpression();
        SkipComma();
        const uint16_t sub = WordExpression();
        Statement.Language = static_cast<uint16_t>((sub << 10) | (primary & 0x3FF));
        return true;
    }
    if (AcceptKeyword(u"VERSION")) {
        Statement.Version = Expression().Value;
        return true;
    }
    if (AcceptKeyword(u"CHARACTERISTICS")) {
        Statement.Characteristics = Expression().Value;
        return true;
    }
    return false;
}

void TParser::CommonOptions(TResourceStatement& Statement)
{
    while (CommonOption(Statement)) {
    }
}

void TParser::MemoryFlags(TResourceStatement& Statement)
{
    for (;;) {
        if (AcceptKeyword(u"PRELOAD")) Statement.MemoryFlags |= rcPreload;
        else if (AcceptKeyword(u"LOADONCALL")) Statement.MemoryFlags &= ~rcPreload;
        else if (AcceptKeyword(u"MOVEABLE")) Statement.MemoryFlags |= rcMoveable;
        else if (AcceptKeyword(u"FIXED")) Statement.MemoryFlags &= ~(rcMoveable | rcDiscardable);
        else if (AcceptKeyword(u"PURE")) Statement.MemoryFlags |= rcPure;
        else if (AcceptKeyword(u"IMPURE")) Statement.MemoryFlags &= ~(rcPure | rcDiscardable);
        else if (AcceptKeyword(u"DISCARDABLE")) Statement.MemoryFlags |= rcDiscardable | rcMoveable | rcPure;
        else break;
    }
}

// ---- emission

void TParser::Emit(const TResource& Resource, const TToken& At)
{
    const QString key = ResourceKey(Resource.Type, Resource.Name, Resource.Language);
    if (FImpl->ResourceIndex.contains(key))
        Fatal(At, rcErrDuplicate,
              QStringLiteral("duplicate resource: type %1, name %2, language 0x%3")
                  .arg(Resource.Type.Text(), Resource.Name.Text())
                  .arg(Resource.Language, 4, 16, QLatin1Char('0')));
    FImpl->ResourceIndex.insert(key, FImpl->Result.Resources.size());
    FImpl->Result.Resources.push_back(Resource);
}

void TParser::Emit(const TResourceStatement& Statement, const QByteArray& Data)
{
    TToken at;
    at.File = Statement.File;
    at.Line = Statement.Line;
    Emit(Statement.Resource(Data), at);
}

void TParser::AddFileRecord(const TResourceStatement& Statement, const QString& Written)
{
    if (Statement.Name.Is(0xFFFF)) return;
    FImpl->Result.Files.push_back(TFileRecord{Statement.Type, Statement.Name, Statement.Language, Written});
}

QString TParser::FileNameOf(int File) const
{
    if (FImpl->Options.FileName) return FImpl->Options.FileName(File);
    return FImpl->Diagnostics.FileName(File);
}

void TParser::AddSymbolRecord(const TResourceStatement& Statement)
{
    TSymbolRecord r;
    r.ResType = Statement.Type.Text();
    r.ResId = Statement.Name.Text();
    r.Symbol = Statement.Symbol();
    r.FileName = FileNameOf(Statement.File);
    r.Line = static_cast<uint16_t>(Statement.Line);
    r.Children = Statement.Children;
    FImpl->Result.Symbols.push_back(std::move(r));
}

TParser::TStringTables& TParser::StringTables()
{
    if (!FImpl->StringTables) FImpl->StringTables = NewStringTables();
    return *FImpl->StringTables;
}

uint16_t TParser::NextImageOrdinal() { return ++FImpl->ImageOrdinal; }

// ---- the script

void TParser::ParseScript()
{
    while (!AtEnd()) {
        if (FImpl->Progress && FImpl->Pos >= FImpl->NextProgress) {
            FImpl->Progress(PercentDone());
            FImpl->NextProgress = FImpl->Pos + 4096;
        }
        const TToken& t = Peek();
        // LANGUAGE, VERSION and CHARACTERISTICS at the top level set what later statements get.
        if (CommonOption(FImpl->Defaults)) continue;
        if (t.IsKeyword(u"STRINGTABLE")) {
            Next();
            CompileStringTable(*this, t);
            continue;
        }
        if (t.Kind != TTokenKind::Number && t.Kind != TTokenKind::Identifier && t.Kind != TTokenKind::String &&
            !AtExpression())
            Fatal(t, rcErrUnknownStatement, QStringLiteral("unknown statement %1").arg(Describe(t)));

        TResourceStatement s = NewStatement(t);
        const bool word = t.Kind == TTokenKind::Identifier && t.Macro.isEmpty();
        s.Name = NameOrOrdinal();
        // A name written as a word runs to the next space: DLLS/X/NAME.RES is one name.
        if (word && !s.Name.IsOrdinal)
            while (!AtEnd() && !Peek().SpaceBefore && !Peek().LineStart && Peek().Kind != TTokenKind::String &&
                   !Peek().IsPunct(u","))
                s.Name.Name += Next().Text.toUpper();
        const TToken& typeToken = Peek();
        if (typeToken.Kind == TTokenKind::End) Unexpected(QStringLiteral("a resource type"));
        const TTypeKeyword* keyword = FindTypeKeyword(typeToken);
        TStatementKind kind = TStatementKind::Data;
        if (keyword) {
            Next();
            kind = keyword->Kind;
            s.Type = keyword->Ordinal ? TNameOrdinal::FromOrdinal(keyword->Ordinal)
                                      : TNameOrdinal::FromName(QString::fromUtf16(keyword->Keyword));
        } else if (typeToken.Kind == TTokenKind::Identifier || typeToken.Kind == TTokenKind::String ||
                   AtExpression()) {
            s.Type = NameOrOrdinal();
            s.Type.Macro.clear();
        } else {
            Fatal(typeToken, rcErrUnknownStatement, QStringLiteral("unknown resource type %1").arg(Describe(typeToken)));
        }
        s.MemoryFlags = DefaultMemoryFlags(s.Type);
        MemoryFlags(s);
        switch (kind) {
        case TStatementKind::Accelerators: CompileAccelerators(*this, s); break;
        case TStatementKind::Bitmap: CompileBitmap(*this, s); break;
        case TStatementKind::Cursor: CompileCursor(*this, s); break;
        case TStatementKind::Dialog: CompileDialog(*this, s, false); break;
        case TStatementKind::DialogEx: CompileDialog(*this, s, true); break;
        case TStatementKind::Font: CompileFont(*this, s); break;
        case TStatementKind::Icon: CompileIcon(*this, s); break;
        case TStatementKind::Menu: CompileMenu(*this, s, false); break;
        case TStatementKind::MenuEx: CompileMenu(*this, s, true); break;
        case TStatementKind::VersionInfo: CompileVersionInfo(*this, s); break;
        case TStatementKind::DesignInfo: CompileDesignInfo(*this, s); break;
        case TStatementKind::TextInclude: CompileTextInclude(*this, s); break;
        case TStatementKind::Toolbar: CompileToolbar(*this, s); break;
        case TStatementKind::Data: CompileData(*this, s); break;
        }
        AddSymbolRecord(s);
    }
    FinishStringTables(*this);
    AddFontDirectory(*this);
}

} // namespace rc
