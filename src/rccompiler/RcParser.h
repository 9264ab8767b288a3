#pragma once

#include "RcDiagnostics.h"
#include "RcToken.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace rc {

// Message numbers of the statement parser.
enum TParseError : int {
    rcErrSyntax = 2001,           // unexpected token
    rcErrUnexpectedEnd = 2002,    // the script ended inside a statement
    rcErrNumber = 2003,           // a number that is not one or does not fit 32 bits
    rcErrDivision = 2004,         // division by zero
    rcErrString = 2005,           // an unterminated or malformed string
    rcErrUnknownStatement = 2006, // not a statement
    rcErrUnsupported = 2007,      // a statement the compiler does not handle
    rcErrDuplicate = 2008,        // a resource or string ID given twice
    rcErrFileNotFound = 2009,     // a resource file that cannot be found or read
    rcErrBadFile = 2010,          // a resource file whose contents are not what the statement needs
    rcErrValue = 2011,            // a value out of range
};

// A resource type or name: an ordinal, or a name (upper-cased when it names a resource).
struct TNameOrdinal {
    bool IsOrdinal = true;
    uint16_t Ordinal = 0;
    QString Name;
    // The object-like macro the value came from (one expansion of one macro), else empty.
    QString Macro;

    static TNameOrdinal FromOrdinal(uint16_t Value) { return TNameOrdinal{true, Value, QString(), QString()}; }
    static TNameOrdinal FromName(const QString& Value) { return TNameOrdinal{false, 0, Value, QString()}; }
    bool Is(uint16_t Value) const { return IsOrdinal && Ordinal == Value; }
    // Decimal for an ordinal, else the name (the symbol map's text).
    QString Text() const { return IsOrdinal ? QString::number(Ordinal) : Name; }
    bool operator==(const TNameOrdinal& Other) const
    {
        return IsOrdinal == Other.IsOrdinal && (IsOrdinal ? Ordinal == Other.Ordinal : Name == Other.Name);
    }
};

// The value of an integer expression. NotMask collects the bits of NOT terms: a style written as
// `NOT WS_VISIBLE | WS_CHILD` is Apply(default style).
struct TExpression {
    uint32_t Value = 0;
    uint32_t NotMask = 0;
    bool IsLong = false; // an L suffix on any number of it
    // The object-like macro when the whole expression came from one expansion of one macro.
    QString Macro;

    uint32_t Apply(uint32_t Default) const { return (Default & ~NotMask) | Value; }
    uint16_t Word() const { return static_cast<uint16_t>(Value); }
};

// A string literal, adjacent pieces joined ("a""b" is a"b).
struct TStringLiteral {
    bool Wide = false;  // L"..."
    QByteArray Bytes;   // narrow: the bytes in CodePage
    QString Wide16;     // wide: the UTF-16 text
    uint32_t CodePage = 0;
    // A narrow literal of a UTF-16 script: its characters as written (escapes as their values).
    bool UnicodeSource = false;
    QString Unicode;
    // The text: a wide string as is, a narrow one of a UTF-16 script as written, any other narrow
    // one converted from its code page.
    QString Text() const;
};

// Little-endian data of a resource.
class TDataBuilder {
public:
    void Byte(uint8_t Value) { FData.append(static_cast<char>(Value)); }
    void Word(uint16_t Value);
    void DWord(uint32_t Value);
    void Bytes(const QByteArray& Value) { FData.append(Value); }
    // UTF-16 characters without a terminator.
    void Utf16(const QString& Value);
    // UTF-16 characters and a 0 WORD.
    void String16(const QString& Value);
    // 0xFFFF and the ordinal, or the name as a zero-terminated UTF-16 string.
    void NameOrOrdinal(const TNameOrdinal& Value);
    // Zero bytes up to the next multiple of 4 from the start of the data.
    void AlignTo4();
    void PatchWord(qsizetype Offset, uint16_t Value);
    void PatchDWord(qsizetype Offset, uint32_t Value);

    qsizetype Size() const { return FData.size(); }
    const QByteArray& Data() const { return FData; }

private:
    QByteArray FData;
};

// The header fields of a resource in a RES file.
struct TResourceHeader {
    TNameOrdinal Type;
    TNameOrdinal Name;
    uint16_t Language = 0;
    uint16_t MemoryFlags = 0;
    uint32_t Version = 0;
    uint32_t Characteristics = 0;
};

// One compiled resource, as the RES file holds it.
struct TResource : TResourceHeader {
    QByteArray Data;
};

// A symbol that gave a child ID (control, menu command, accelerator, toolbar button, string).
struct TSymbolChild {
    QString Symbol;
    uint16_t Id = 0;
};

// Memory flags of the RES header.
enum : uint16_t {
    rcMoveable = 0x0010,
    rcPure = 0x0020,
    rcPreload = 0x0040,
    rcDiscardable = 0x1000,
};

// One resource statement while it is compiled: what the header of its resource gets, and what the
// symbol map records for it.
struct TResourceStatement : TResourceHeader {
    // IDs the statement wrote as macros, in order (see AddChild).
    std::vector<TSymbolChild> Children;
    // Where the statement starts.
    int File = 0;
    int Line = 0;

    // The macro that named the resource, else empty.
    const QString& Symbol() const { return Name.Macro; }
    // Records a child ID when the expression was one macro.
    void AddChild(const TExpression& Id)
    {
        if (!Id.Macro.isEmpty()) Children.push_back(TSymbolChild{Id.Macro, Id.Word()});
    }
    // The statement's resource with the given data.
    TResource Resource(const QByteArray& Data) const
    {
        TResource r;
        static_cast<TResourceHeader&>(r) = *this;
        r.Data = Data;
        return r;
    }
};

// A symbol-map record (HWB 202).
struct TSymbolRecord {
    QString ResType;
    QString ResId;
    QString Symbol;
    QString FileName;
    uint16_t Line = 0;
    std::vector<TSymbolChild> Children;
};

// A file-map record (HWB 201).
struct TFileRecord {
    TNameOrdinal Type;
    TNameOrdinal Name;
    uint16_t Language = 0;
    QString FileName; // as written, unescaped
};

struct TParserOptions {
    uint16_t Language = 0; // /l
    // Finds a resource file named by a statement of file FromFile; empty when there is none.
    std::function<QString(const QString& Name, int FromFile)> FindFile;
    // The name of a file-table entry as written (the symbol map's FileName).
    std::function<QString(int File)> FileName;
};

// Everything a compile produced.
struct TCompileResult {
    std::vector<TResource> Resources;
    std::vector<TSymbolRecord> Symbols;
    std::vector<TFileRecord> Files;
    // Indexes into Resources of the fonts of FONT statements (the font directory lists them).
    std::vector<size_t> Fonts;
};

// Walks the preprocessed tokens: a cursor with the RC grammar's small pieces (expressions, strings,
// names, file names, optional statements) that the statement compilers are written with. Errors are
// fatal: reported with the file and line of the token, then ECompileAbort is thrown.
class TParser {
public:
    TParser(const TTokens& Tokens, TDiagnostics& Diagnostics, const TParserOptions& Options);
    ~TParser();
    TParser(const TParser&) = delete;
    TParser& operator=(const TParser&) = delete;

    // Parses every statement of the script.
    void ParseScript();
    const TCompileResult& Result() const;
    TCompileResult& Result();
    // 0..100: how far the cursor is through the tokens.
    int PercentDone() const;
    // Called every few thousand tokens while ParseScript runs.
    void SetProgress(std::function<void(int Percent)> Progress);

    // Token cursor. Past the last token Peek gives a token of kind End (on the last line).
    const TToken& Peek(size_t N = 0) const;
    const TToken& Next();
    bool AtEnd() const;
    // True (and consumes it) when the next token is the punctuator / keyword.
    bool Accept(QStringView Punct);
    bool AcceptKeyword(QStringView Keyword);
    // Consumes the punctuator / keyword, else a syntax error naming what was expected.
    void Expect(QStringView Punct);
    void ExpectKeyword(QStringView Keyword);
    // BEGIN or {, END or }.
    bool IsBegin() const;
    bool IsEnd() const;
    void ExpectBegin();
    void ExpectEnd();
    // The loop condition of a block's items: true at END; fatal at the end of the script.
    bool AtBlockEnd();
    // Fields are separated by optional commas: consumes one comma when there is one.
    bool SkipComma() { return Accept(u","); }
    // True when the next token is the start of a new line of the script.
    bool AtLineStart() const { return Peek().LineStart; }

    // Expressions: numbers (C forms, L/U suffixes), + - * / % | & ^ ~ unary minus, parentheses,
    // NOT over a term (see TExpression::NotMask).
    bool AtExpression() const;
    TExpression Expression();
    // An expression taken as a WORD: its low 16 bits (-1 is 0xFFFF).
    uint16_t WordExpression();

    // A string literal (adjacent pieces without space joined with a quote).
    bool AtString() const { return Peek().Kind == TTokenKind::String; }
    TStringLiteral String();
    // A string where text is wanted.
    QString Text() { return String().Text(); }

    // A number expression (an ordinal), or a name, identifier or string taken as a name and
    // upper-cased. Macro is set when a macro gave it.
    TNameOrdinal NameOrOrdinal();
    // A quoted file name (unescaped) or an unquoted run of adjacent tokens such as res\app.ico.
    QString FileName();
    // Reads a resource file named as written; fatal when it cannot be found or read.
    QByteArray ReadResourceFile(const QString& Written, const TToken& At);

    // LANGUAGE, VERSION, CHARACTERISTICS after the statement's header: true when one was parsed.
    bool CommonOption(TResourceStatement& Statement);
    // Common options until BEGIN (or anything else): for statements that take only those.
    void CommonOptions(TResourceStatement& Statement);
    // A statement's resource header fields after the type keyword: the memory-flag keywords.
    void MemoryFlags(TResourceStatement& Statement);
    // The LANGUAGE in force at the top level.
    uint16_t Language() const;
    // A statement starting at At with the top-level LANGUAGE, VERSION and CHARACTERISTICS in force.
    TResourceStatement NewStatement(const TToken& At) const;

    // Adds a resource (fatal for a duplicate type, name and language).
    void Emit(const TResource& Resource, const TToken& At);
    void Emit(const TResourceStatement& Statement, const QByteArray& Data);
    // The file-map record of a resource from a file.
    void AddFileRecord(const TResourceStatement& Statement, const QString& Written);
    // The symbol-map record of a statement (with its children).
    void AddSymbolRecord(const TResourceStatement& Statement);
    // A new icon or cursor image ordinal.
    uint16_t NextImageOrdinal();
    // The name of a file-table entry as written.
    QString FileNameOf(int File) const;
    // Blocks of the string tables, collected over the whole script (the string-table unit's state).
    struct TStringTables;
    TStringTables& StringTables();

    // Errors at a token (or the next one).
    [[noreturn]] void Fatal(const TToken& At, int Code, const QString& Text);
    [[noreturn]] void Fatal(int Code, const QString& Text);
    void Warning(const TToken& At, int Code, const QString& Text);
    // A syntax error at the next token: "expected X, found Y".
    [[noreturn]] void Unexpected(const QString& Expected);

    TDiagnostics& Diagnostics();

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

// Text shown for a token in messages.
QString Describe(const TToken& Token);

} // namespace rc
