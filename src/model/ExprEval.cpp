#include "ExprEval.h"

#include "platform/Format.h"
#include "platform/SysUtils.h"

#include <array>

namespace {

constexpr std::array<TExprToken, 256> MakeCharacterTokens()
{
    std::array<TExprToken, 256> tokens{};
    tokens.fill(etInvalid);
    const auto map = [&tokens](int first, int last, TExprToken token) {
        for (int c = first; c <= last; ++c) tokens[c] = static_cast<TExprToken>(token + (c - first));
    };
    map(33, 47, etBang);
    map(58, 64, etColon);
    map(91, 94, etLBracket);
    map(96, 96, etBackTick);
    map(123, 127, etLBrace);
    map(128, 255, etEuro);
    return tokens;
}

constexpr std::array<TExprToken, 256> CharacterTokens = MakeCharacterTokens();
static_assert(CharacterTokens[255] == et255 && CharacterTokens[129] == et129 && et255 + 1 == etInvalid);

bool IsDigit(char16_t c) { return c >= '0' && c <= '9'; }

bool IsHexDigit(char16_t c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool IsSpace(char16_t c) { return c == ' ' || (c >= 9 && c <= 13); }

bool IsIdentifierStart(char16_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }

bool IsIdentifierChar(char16_t c)
{
    if (c < 0x80) return IsIdentifierStart(c) || IsDigit(c);
    return c == 0xB7 || (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x37D) ||
           (c >= 0x37F && c <= 0x1FFF) || c == 0x200C || c == 0x200D || c == 0x203F || c == 0x2040 ||
           (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD);
}

[[noreturn]] void Fail(const TExprLexer& Lexer, const QString& Reason)
{
    throw ExpressionEvaluateError(
        Format(QStringLiteral("Failed to evaluate expression '%s'. %s"), {Lexer.Expression(), Reason}));
}

// Shared by nested evaluations on the thread: a symbol's value may be another expression that names
// the symbol again, and that recursion passes through separate parsers.
thread_local int Depth = 0;

class TDepthGuard {
public:
    explicit TDepthGuard(const TExprLexer& Lexer)
    {
        if (Depth >= ExprMaxDepth) Fail(Lexer, QStringLiteral("Expression too deep."));
        ++Depth;
    }
    ~TDepthGuard() { --Depth; }
    TDepthGuard(const TDepthGuard&) = delete;
    TDepthGuard& operator=(const TDepthGuard&) = delete;
};

class TSymbolBinding {
public:
    TSymbolBinding(TExprSym& Sym, TExprLexer* Lexer, TExprEvalParser* Parser)
        : FSym(Sym), FLexer(Sym.Lexer()), FParser(Sym.EvalParser())
    {
        Sym.SetLexer(Lexer);
        Sym.SetEvalParser(Parser);
    }
    ~TSymbolBinding()
    {
        FSym.SetLexer(FLexer);
        FSym.SetEvalParser(FParser);
    }
    TSymbolBinding(const TSymbolBinding&) = delete;
    TSymbolBinding& operator=(const TSymbolBinding&) = delete;

private:
    TExprSym& FSym;
    TExprLexer* FLexer;
    TExprEvalParser* FParser;
};

enum TOperator {
    opNone,
    opEqual, opNotEqual, opLess, opLessEqual, opGreater, opGreaterEqual, opCompare,
    opAdd, opSubtract, opBitOr, opBitXor, opLogicalOr, opLogicalXor,
    opMultiply, opDivide, opModulo, opShiftLeft, opShiftRight, opBitAnd, opLogicalAnd,
};

struct TKeyword {
    const char* Name;
    TOperator Operator;
};

template <size_t N>
TOperator KeywordOperator(const TExprLexer& Lexer, const TKeyword (&Keywords)[N])
{
    if (Lexer.CurrTok() != etIdentifier) return opNone;
    for (const TKeyword& keyword : Keywords)
        if (SameText(Lexer.TokenAsString(), QLatin1String(keyword.Name))) return keyword.Operator;
    return opNone;
}

TOperator ComparisonOperator(const TExprLexer& Lexer)
{
    static constexpr TKeyword keywords[] = {{"cmp", opCompare}};
    switch (Lexer.CurrTok()) {
    case etEqualTo: return opEqual;
    case etNotEqual: return opNotEqual;
    case etLessThan: return opLess;
    case etLessEqual: return opLessEqual;
    case etGreaterThan: return opGreater;
    case etGreaterEqual: return opGreaterEqual;
    default: return KeywordOperator(Lexer, keywords);
    }
}

TOperator AdditiveOperator(const TExprLexer& Lexer)
{
    static constexpr TKeyword keywords[] = {
        {"or", opLogicalOr}, {"xor", opLogicalXor}, {"bor", opBitOr}, {"bxor", opBitXor}};
    switch (Lexer.CurrTok()) {
    case etPlus: return opAdd;
    case etMinus: return opSubtract;
    case etBinaryOr: return opBitOr;
    case etOr: return opLogicalOr;
    default: return KeywordOperator(Lexer, keywords);
    }
}

TOperator MultiplicativeOperator(const TExprLexer& Lexer)
{
    static constexpr TKeyword keywords[] = {{"div", opDivide}, {"mod", opModulo},      {"and", opLogicalAnd},
                                            {"shl", opShiftLeft}, {"shr", opShiftRight}, {"band", opBitAnd}};
    switch (Lexer.CurrTok()) {
    case etAsterisk: return opMultiply;
    case etForwardSlash: return opDivide;
    case etShiftLeft: return opShiftLeft;
    case etShiftRight: return opShiftRight;
    case etBinaryAnd: return opBitAnd;
    case etAnd: return opLogicalAnd;
    default: return KeywordOperator(Lexer, keywords);
    }
}

// Wrapping arithmetic is done unsigned; the conversion back to int32_t is modular.
int32_t Apply(const TExprLexer& Lexer, TOperator Op, int32_t Left, int32_t Right)
{
    const auto a = static_cast<uint32_t>(Left);
    const auto b = static_cast<uint32_t>(Right);
    switch (Op) {
    case opEqual: return Left == Right;
    case opNotEqual: return Left != Right;
    case opLess: return Left < Right;
    case opLessEqual: return Left <= Right;
    case opGreater: return Left > Right;
    case opGreaterEqual: return Left >= Right;
    case opCompare: return Left > Right ? 1 : Left < Right ? -1 : 0;
    case opAdd: return static_cast<int32_t>(a + b);
    case opSubtract: return static_cast<int32_t>(a - b);
    case opMultiply: return static_cast<int32_t>(a * b);
    case opBitOr: return static_cast<int32_t>(a | b);
    case opBitXor: return static_cast<int32_t>(a ^ b);
    case opBitAnd: return static_cast<int32_t>(a & b);
    case opLogicalOr: return Left != 0 || Right != 0;
    case opLogicalXor: return (Left != 0) != (Right != 0);
    case opLogicalAnd: return Left != 0 && Right != 0;
    case opShiftLeft: return static_cast<int32_t>(a << (b & 31));
    case opShiftRight: return static_cast<int32_t>(a >> (b & 31));
    case opDivide:
    case opModulo:
        if (Right == 0) Fail(Lexer, QStringLiteral("Division by zero."));
        // INT_MIN / -1 overflows (and traps on x86); negation wraps to the same INT_MIN.
        if (Right == -1) return Op == opDivide ? static_cast<int32_t>(0u - a) : 0;
        return Op == opDivide ? Left / Right : Left % Right;
    case opNone: break;
    }
    return 0;
}

} // namespace

int32_t TExprLexer::TokenAsNumber() const
{
    QString text = FTokenText;
    if (text.endsWith(QLatin1Char('L'))) text.chop(1);
    if (text.startsWith(QLatin1Char('#'))) text.remove(0, 1);
    if (text.size() >= 2 && text[0] == QLatin1Char('0') &&
        (text[1] == QLatin1Char('x') || text[1] == QLatin1Char('X')))
        text.replace(0, 2, QLatin1Char('$'));
    int32_t value = 0;
    if (!TryStrToInt(text, value)) Fail(*this, Format(QStringLiteral("Invalid number: '%s'"), {FTokenText}));
    return value;
}

void TExprSimpleLexer::SetBuf(const QString& Value)
{
    FBuf = Value;
    Reset();
}

void TExprSimpleLexer::Reset()
{
    FPosition = 0;
    SetToken(etEof, QString());
    NextTok();
}

void TExprSimpleLexer::NextTok()
{
    const qsizetype n = FBuf.size();
    // Past the end reads as character 0, which ends the text like an embedded one does.
    const auto at = [this, n](qsizetype i) -> char16_t { return i < n ? FBuf[i].unicode() : u'\0'; };
    const auto take = [this](qsizetype count, TExprToken token) {
        FPosition += count;
        SetToken(token);
    };

    while (FPosition < n && IsSpace(at(FPosition))) ++FPosition;
    const char16_t c = at(FPosition);
    const char16_t next = at(FPosition + 1);
    switch (c) {
    case u'\0': SetToken(etEof); return;
    case u'!': next == u'=' ? take(2, etNotEqual) : take(1, etBinaryNot); return;
    case u'&': next == u'&' ? take(2, etAnd) : take(1, etBinaryAnd); return;
    case u'|': next == u'|' ? take(2, etOr) : take(1, etBinaryOr); return;
    case u'=': take(next == u'=' ? 2 : 1, etEqualTo); return;
    case u'<':
        if (next == u'<') take(2, etShiftLeft);
        else if (next == u'=') take(2, etLessEqual);
        else if (next == u'>') take(2, etNotEqual);
        else take(1, etLessThan);
        return;
    case u'>':
        if (next == u'=') take(2, etGreaterEqual);
        else if (next == u'>') take(2, etShiftRight);
        else take(1, etGreaterThan);
        return;
    default: break;
    }

    const qsizetype start = FPosition;
    if (IsDigit(c) || (c == u'$' && IsHexDigit(next))) {
        if (c == u'$' || (c == u'0' && next == u'x')) {
            FPosition += c == u'$' ? 1 : 2;
            while (IsHexDigit(at(FPosition))) ++FPosition;
        } else {
            while (IsDigit(at(FPosition))) ++FPosition;
        }
        SetToken(etNumber, FBuf.mid(start, FPosition - start));
        if (at(FPosition) == u'L') ++FPosition;
        return;
    }
    if (IsIdentifierStart(c)) {
        ++FPosition;
        while (IsIdentifierChar(at(FPosition))) ++FPosition;
        SetToken(etIdentifier, FBuf.mid(start, FPosition - start));
        return;
    }
    take(1, CharacterTokens[c & 0xFF]);
}

int32_t TExprEvalParser::Evaluate()
{
    ATELIER_ASSERT(FLexer != nullptr);
    const int32_t result = Comparison();
    if (FLexer->CurrTok() != etEof)
        Fail(*FLexer, Format(QStringLiteral("Unknown symbol: '%s'"), {FLexer->TokenAsString()}));
    return result;
}

int32_t TExprEvalParser::Comparison()
{
    int32_t left = Additive();
    while (const TOperator op = ComparisonOperator(*FLexer)) {
        FLexer->NextTok();
        left = Apply(*FLexer, op, left, Additive());
    }
    return left;
}

int32_t TExprEvalParser::Additive()
{
    int32_t left = Multiplicative();
    while (const TOperator op = AdditiveOperator(*FLexer)) {
        FLexer->NextTok();
        left = Apply(*FLexer, op, left, Multiplicative());
    }
    return left;
}

int32_t TExprEvalParser::Multiplicative()
{
    int32_t left = Unary();
    while (const TOperator op = MultiplicativeOperator(*FLexer)) {
        FLexer->NextTok();
        left = Apply(*FLexer, op, left, Unary());
    }
    return left;
}

int32_t TExprEvalParser::Unary()
{
    enum { uPlus, uNegate, uComplement, uNot } op;
    switch (FLexer->CurrTok()) {
    case etPlus: op = uPlus; break;
    case etMinus: op = uNegate; break;
    case etBinaryNot: op = uComplement; break;
    case etIdentifier:
        if (SameText(FLexer->TokenAsString(), QStringLiteral("not"))) op = uNot;
        else if (SameText(FLexer->TokenAsString(), QStringLiteral("bnot"))) op = uComplement;
        else return Primary();
        break;
    default: return Primary();
    }
    FLexer->NextTok();
    const TDepthGuard guard(*FLexer);
    const int32_t value = Unary();
    switch (op) {
    case uPlus: return value;
    case uNegate: return static_cast<int32_t>(0u - static_cast<uint32_t>(value));
    case uComplement: return ~value;
    case uNot: return value == 0;
    }
    return value;
}

int32_t TExprEvalParser::Primary()
{
    switch (FLexer->CurrTok()) {
    case etNumber: {
        const int32_t value = FLexer->TokenAsNumber();
        FLexer->NextTok();
        return value;
    }
    case etIdentifier: {
        const QString name = FLexer->TokenAsString();
        TExprSym* sym = FContext ? FContext->Find(name) : nullptr;
        if (!sym) Fail(*FLexer, Format(QStringLiteral("Unknown symbol: '%s'"), {name}));
        FLexer->NextTok();
        const TDepthGuard guard(*FLexer);
        const TSymbolBinding binding(*sym, FLexer, this);
        return sym->Evaluate();
    }
    case etLParen: {
        FLexer->NextTok();
        const TDepthGuard guard(*FLexer);
        const int32_t value = Comparison();
        if (FLexer->CurrTok() != etRParen) Fail(*FLexer, QStringLiteral("')' expected."));
        FLexer->NextTok();
        return value;
    }
    default: Fail(*FLexer, QStringLiteral("Factor expected."));
    }
}

int32_t EvaluateExpression(const QString& Text, TExprContext* Context)
{
    TExprSimpleLexer lexer;
    lexer.SetBuf(Text);
    TExprEvalParser parser;
    parser.SetContext(Context);
    parser.SetLexer(&lexer);
    return parser.Evaluate();
}
