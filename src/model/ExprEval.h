// Evaluation of the C-style integer expressions that symbol values in scripts and headers are written
// in. A lexer feeds a recursive-descent parser that computes the value as it goes (signed 32-bit,
// wrapping); names are resolved through a context. Every failure, including malformed or hostile
// input, raises ExpressionEvaluateError.
#pragma once

#include "platform/Exceptions.h"

#include <QString>
#include <cstdint>

enum TExprToken : uint8_t {
    etEof,
    etNumber,
    etIdentifier,
    // Reserved for lexers of derived kinds; no character produces them.
    etUser0, etUser1, etUser2, etUser3, etUser4, etUser5, etUser6, etUser7,
    etUser8, etUser9, etUser10, etUser11, etUser12, etUser13, etUser14, etUser15,
    etUser16, etUser17, etUser18, etUser19, etUser20, etUser21, etUser22, etUser23,
    etUser24, etUser25, etUser26, etUser27, etUser28, etUser29, etUser30, etUser31,
    etNotEqual,
    etLessEqual,
    etGreaterEqual,
    etShiftLeft,
    etShiftRight,
    etOr,
    etAnd,
    etBinaryOr,
    etBinaryAnd,
    etBinaryNot,
    // One token per character, in character order.
    etBang,
    etDoubleQuote,
    etHash,
    etDollar,
    etPercent,
    etAmpersand,
    etSingleQuote,
    etLParen,
    etRParen,
    etAsterisk,
    etPlus,
    etComma,
    etMinus,
    etDot,
    etForwardSlash,
    etColon,
    etSemiColon,
    etLessThan,
    etEqualTo,
    etGreaterThan,
    etQuestion,
    etAt,
    etLBracket,
    etBackSlash,
    etRBracket,
    etArrow,
    etBackTick,
    etLBrace,
    etPipe,
    etRBrace,
    etTilde,
    et127,
    etEuro,
    // Character c from 129 to 255 gives et129 + (c - 129).
    et129,
    et255 = et129 + 126,
    etInvalid
};

// Nested parentheses, prefix operators and symbol evaluations allowed, together, on one thread.
constexpr int ExprMaxDepth = 256;

ATELIER_EXCEPTION_CLASS(ExpressionEvaluateError, Exception)

class TExprLexer;
class TExprEvalParser;

class TExprSym {
public:
    explicit TExprSym(const QString& AIdent = QString()) : FIdent(AIdent) {}
    virtual ~TExprSym() = default;

    const QString& Ident() const { return FIdent; }
    // The lexer and parser of the evaluation that asked for the value; set only while Evaluate runs.
    TExprLexer* Lexer() const { return FLexer; }
    void SetLexer(TExprLexer* Value) { FLexer = Value; }
    TExprEvalParser* EvalParser() const { return FEvalParser; }
    void SetEvalParser(TExprEvalParser* Value) { FEvalParser = Value; }

    virtual int32_t Evaluate() = 0;

protected:
    void SetIdent(const QString& Value) { FIdent = Value; }

private:
    QString FIdent;
    TExprLexer* FLexer = nullptr;
    TExprEvalParser* FEvalParser = nullptr;
};

class TExprContext {
public:
    virtual ~TExprContext() = default;
    // nullptr when the name is unknown; the context keeps ownership.
    virtual TExprSym* Find(const QString& Name) = 0;
};

class TExprLexer {
public:
    virtual ~TExprLexer() = default;

    TExprToken CurrTok() const { return FCurrTok; }
    // The text of the last number or identifier read.
    const QString& TokenAsString() const { return FTokenText; }
    // Raises ExpressionEvaluateError when the text is no 32-bit integer.
    int32_t TokenAsNumber() const;

    virtual QString Expression() const { return QString(); }
    virtual void NextTok() = 0;
    // Reads the first token.
    virtual void Reset() { NextTok(); }

protected:
    void SetToken(TExprToken Token) { FCurrTok = Token; }
    void SetToken(TExprToken Token, const QString& Text)
    {
        FCurrTok = Token;
        FTokenText = Text;
    }

private:
    TExprToken FCurrTok = etEof;
    QString FTokenText;
};

class TExprSimpleLexer : public TExprLexer {
public:
    const QString& Buf() const { return FBuf; }
    // Also resets the lexer, so the first token is current.
    void SetBuf(const QString& Value);
    qsizetype Position() const { return FPosition; }

    QString Expression() const override { return FBuf; }
    void NextTok() override;
    void Reset() override;

private:
    QString FBuf;
    qsizetype FPosition = 0;
};

class TExprEvalParser {
public:
    TExprContext* Context() const { return FContext; }
    void SetContext(TExprContext* Value) { FContext = Value; }
    TExprLexer* Lexer() const { return FLexer; }
    void SetLexer(TExprLexer* Value) { FLexer = Value; }

    // Evaluates the whole remaining input, starting at the lexer's current token.
    int32_t Evaluate();

private:
    int32_t Comparison();
    int32_t Additive();
    int32_t Multiplicative();
    int32_t Unary();
    int32_t Primary();

    TExprContext* FContext = nullptr;
    TExprLexer* FLexer = nullptr;
};

// Context may be null when the text names no symbols.
int32_t EvaluateExpression(const QString& Text, TExprContext* Context);
