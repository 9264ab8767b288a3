#include "model/ExprEval.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <memory>
#include <vector>

namespace {

class TValueSym : public TExprSym {
public:
    TValueSym(const QString& Name, int32_t Value) : TExprSym(Name), FValue(Value) {}
    int32_t Evaluate() override { return FValue; }

private:
    int32_t FValue;
};

// Raises the error a symbol table gives for a value that is no expression.
class TBadSym : public TExprSym {
public:
    using TExprSym::TExprSym;
    int32_t Evaluate() override
    {
        throw ExpressionEvaluateError(
            QStringLiteral("Invalid numeric symbol value. Symbol: '%1', Value: 'abc'").arg(Ident()));
    }
};

// A symbol defined by another expression, as "#define TWICE (X * 2)".
class TExpressionSym : public TExprSym {
public:
    TExpressionSym(const QString& Name, const QString& Text, TExprContext* Context)
        : TExprSym(Name), FText(Text), FContext(Context)
    {
    }
    int32_t Evaluate() override { return EvaluateExpression(FText, FContext); }

private:
    QString FText;
    TExprContext* FContext;
};

// Notes what it sees of the evaluation that asks for its value.
class TProbeSym : public TExprSym {
public:
    using TExprSym::TExprSym;
    int32_t Evaluate() override
    {
        SeenLexer = Lexer();
        SeenParser = EvalParser();
        SeenToken = Lexer() ? Lexer()->CurrTok() : etInvalid;
        if (Raise) throw ExpressionEvaluateError(QStringLiteral("probe"));
        return 7;
    }
    TExprLexer* SeenLexer = nullptr;
    TExprEvalParser* SeenParser = nullptr;
    TExprToken SeenToken = etInvalid;
    bool Raise = false;
};

class TTestContext : public TExprContext {
public:
    TTestContext()
    {
        Add(std::make_unique<TValueSym>(QStringLiteral("X"), 41));
        Add(std::make_unique<TValueSym>(QStringLiteral("_a1\u00B7b"), 3));
        Add(std::make_unique<TValueSym>(QStringLiteral("gr\u00F6\u00DFe"), 100));
        Add(std::make_unique<TBadSym>(QStringLiteral("A")));
        Add(std::make_unique<TExpressionSym>(QStringLiteral("TWICE"), QStringLiteral("X * 2"), this));
        Add(std::make_unique<TExpressionSym>(QStringLiteral("SELF"), QStringLiteral("SELF + 1"), this));
        Add(std::make_unique<TExpressionSym>(QStringLiteral("PING"), QStringLiteral("1 + PONG"), this));
        Add(std::make_unique<TExpressionSym>(QStringLiteral("PONG"), QStringLiteral("(PING)"), this));
        Probe = static_cast<TProbeSym*>(Add(std::make_unique<TProbeSym>(QStringLiteral("PROBE"))));
    }
    TExprSym* Find(const QString& Name) override
    {
        const auto it = FSymbols.find(Name);
        return it != FSymbols.end() ? it->second.get() : nullptr;
    }
    TProbeSym* Probe;

private:
    TExprSym* Add(std::unique_ptr<TExprSym> Sym)
    {
        TExprSym* raw = Sym.get();
        FSymbols[Sym->Ident()] = std::move(Sym);
        return raw;
    }
    std::map<QString, std::unique_ptr<TExprSym>> FSymbols;
};

QString Failure(const QString& Text, const QString& Reason)
{
    return QStringLiteral("Failed to evaluate expression '") + Text + QStringLiteral("'. ") + Reason;
}

// The message of the error the evaluation raises; empty when it succeeds.
QString ErrorOf(const QString& Text, TExprContext* Context)
{
    try {
        EvaluateExpression(Text, Context);
    } catch (const ExpressionEvaluateError& e) {
        return e.Message();
    }
    return QString();
}

std::vector<TExprToken> Tokens(const QString& Text)
{
    TExprSimpleLexer lexer;
    lexer.SetBuf(Text);
    std::vector<TExprToken> tokens;
    // Bounded so that a lexer stuck before the end fails instead of hanging.
    for (int i = 0; i < 1000 && lexer.CurrTok() != etEof; ++i) {
        tokens.push_back(lexer.CurrTok());
        lexer.NextTok();
    }
    return tokens;
}

QString Repeat(const char* Part, int Count) { return QString::fromLatin1(Part).repeated(Count); }

} // namespace

TEST(ExprEvalLexer, OperatorsAndCharacters)
{
    using V = std::vector<TExprToken>;
    const struct {
        const char16_t* Text;
        V Expected;
    } cases[] = {
        {u"!= ! !!", {etNotEqual, etBinaryNot, etBinaryNot, etBinaryNot}},
        {u"&& & &&& || | |||", {etAnd, etBinaryAnd, etAnd, etBinaryAnd, etOr, etBinaryOr, etOr, etBinaryOr}},
        {u"= == ===", {etEqualTo, etEqualTo, etEqualTo, etEqualTo}},
        {u"<< <= <> < >= >> >", {etShiftLeft, etLessEqual, etNotEqual, etLessThan, etGreaterEqual, etShiftRight,
                                 etGreaterThan}},
        {u"<<=", {etShiftLeft, etEqualTo}},
        {u"\"#%'()*+,-./", {etDoubleQuote, etHash, etPercent, etSingleQuote, etLParen, etRParen, etAsterisk, etPlus,
                            etComma, etMinus, etDot, etForwardSlash}},
        {u":;?@[\\]^`{}~", {etColon, etSemiColon, etQuestion, etAt, etLBracket, etBackSlash, etRBracket, etArrow,
                            etBackTick, etLBrace, etRBrace, etTilde}},
        {u"$ $g", {etDollar, etDollar, etIdentifier}},
        {u"\u007F\u0080\u0081\u00C0\u00FF", {et127, etEuro, et129, TExprToken(et129 + 0xC0 - 129), et255}},
        // Only the low byte of a character the lexer does not know counts.
        {u"\u0128\u0131\u4E00\u0001", {etLParen, etInvalid, etInvalid, etInvalid}},
        {u"\t1\r\n+\v2\f ", {etNumber, etPlus, etNumber}},
        {u"12abc 0X1F 0x1Fg", {etNumber, etIdentifier, etNumber, etIdentifier, etNumber, etIdentifier}},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf16(c.Text);
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(Tokens(text), c.Expected);
    }
}

TEST(ExprEvalLexer, TokenText)
{
    // Character tokens leave the text of the last number or identifier in place.
    const struct {
        const char16_t* Text;
        TExprToken Token;
        const char16_t* TokenText;
        TExprToken NextToken;
        const char16_t* NextText;
    } cases[] = {
        {u"0x1FL+", etNumber, u"0x1F", etPlus, u"0x1F"},
        {u"0x1Fl", etNumber, u"0x1F", etIdentifier, u"l"},
        {u"$ffL", etNumber, u"$ff", etEof, u"$ff"},
        {u"0x", etNumber, u"0x", etEof, u"0x"},
        {u"0X1F", etNumber, u"0", etIdentifier, u"X1F"},
        {u"007)", etNumber, u"007", etRParen, u"007"},
        {u"  _a1\u00B7b\u00D7", etIdentifier, u"_a1\u00B7b", TExprToken(et129 + 0xD7 - 129), u"_a1\u00B7b"},
        {u"x\u200Dy\u037E", etIdentifier, u"x\u200Dy", etTilde, u"x\u200Dy"},
    };
    for (const auto& c : cases) {
        TExprSimpleLexer lexer;
        lexer.SetBuf(QString::fromUtf16(c.Text));
        SCOPED_TRACE(lexer.Buf().toStdString());
        EXPECT_EQ(lexer.CurrTok(), c.Token);
        EXPECT_EQ(lexer.TokenAsString().toStdString(), QString::fromUtf16(c.TokenText).toStdString());
        lexer.NextTok();
        EXPECT_EQ(lexer.CurrTok(), c.NextToken);
        EXPECT_EQ(lexer.TokenAsString().toStdString(), QString::fromUtf16(c.NextText).toStdString());
    }
}

TEST(ExprEvalLexer, EndOfTextIsStableAndResetStartsOver)
{
    TExprSimpleLexer lexer;
    lexer.SetBuf(QStringLiteral("12 "));
    lexer.NextTok();
    EXPECT_EQ(lexer.CurrTok(), etEof);
    const qsizetype end = lexer.Position();
    lexer.NextTok();
    EXPECT_EQ(lexer.CurrTok(), etEof);
    EXPECT_EQ(lexer.Position(), end);
    EXPECT_EQ(lexer.TokenAsString().toStdString(), "12");

    lexer.Reset();
    EXPECT_EQ(lexer.CurrTok(), etNumber);
    EXPECT_EQ(lexer.TokenAsNumber(), 12);
    lexer.SetBuf(QStringLiteral("abc"));
    EXPECT_EQ(lexer.CurrTok(), etIdentifier);
    EXPECT_EQ(lexer.Expression().toStdString(), "abc");

    // An embedded character 0 ends the text.
    const QString withNull = QString::fromUtf16(u"1 + 2\0 + 3", 10);
    EXPECT_EQ(Tokens(withNull), (std::vector<TExprToken>{etNumber, etPlus, etNumber}));
    EXPECT_EQ(EvaluateExpression(withNull, nullptr), 3);
}

TEST(ExprEvalEvaluate, Values)
{
    TTestContext context;
    const struct {
        const char* Text;
        int32_t Value;
    } cases[] = {
        // precedence and associativity
        {"1 << 2 + 1", 5},
        {"2 + 3 * 4", 14},
        {"(2 + 3) * 4", 20},
        {"1 < 2 == 1", 1},
        {"1 - 2 - 3", -4},
        {"100 / 10 / 5", 2},
        {"2 cmp 1 cmp 1", 0},
        {"1 + 2 < 4", 1},
        {"6 & 3 | 8", 10},
        // numbers
        {"0x1F", 31},
        {"0x10L", 16},
        {"10L + 1", 11},
        {"$FF", 255},
        {"$ffL", 255},
        {"0xFFFFFFFF", -1},
        {"$80000000", INT_MIN},
        {"0x000000001", 1},
        {"2147483647", INT_MAX},
        // unary operators
        {"!0", -1},
        {"!5", -6},
        {"not 0", 1},
        {"not 5", 0},
        {"NOT not 7", 1},
        {"bnot 0", -1},
        {"- -3", 3},
        {"+4", 4},
        {"-(2 + 3)", -5},
        {"-2147483647 - 1", INT_MIN},
        {"-(-2147483647 - 1)", INT_MIN},
        // comparisons
        {"7 cmp 3", 1},
        {"3 cmp 7", -1},
        {"3 cmp 3", 0},
        {"1 != 2", 1},
        {"1 <> 1", 0},
        {"2 = 2", 1},
        {"2 <= 2", 1},
        {"3 >= 4", 0},
        {"3 > 2", 1},
        {"-1 < 0", 1},
        // division and remainder
        {"-7 mod 3", -1},
        {"7 mod -3", 1},
        {"-7 / 2", -3},
        {"-7 div 2", -3},
        {"(-2147483647 - 1) / -1", INT_MIN},
        {"(-2147483647 - 1) div -1", INT_MIN},
        {"(-2147483647 - 1) mod -1", 0},
        // shifts are logical and take the count modulo 32
        {"-1 >> 28", 15},
        {"-16 shr 28", 15},
        {"1 shl 31", INT_MIN},
        {"1 << 33", 2},
        {"8 >> -1", 0},
        // wrapping
        {"2147483647 + 1", INT_MIN},
        {"-2147483647 - 2", INT_MAX},
        {"65536 * 65536", 0},
        {"65537 * 65537", 131073},
        // logical and bitwise operators, keywords in any case
        {"1 AND 2", 1},
        {"6 BAND 3", 2},
        {"6 band 3", 2},
        {"2 && 0", 0},
        {"0 || 3", 1},
        {"5 or 0", 1},
        {"0 Or 0", 0},
        {"1 xor 1", 0},
        {"0 XOR 4", 1},
        {"5 bor 2", 7},
        {"6 | 1", 7},
        {"6 bxor 3", 5},
        // symbols
        {"X + 1", 42},
        {"TWICE", 82},
        {"TWICE - X", 41},
        {"_a1\xC2\xB7" "b * 2", 6},
        {"gr\xC3\xB6\xC3\x9F" "e + 1", 101},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf8(c.Text);
        SCOPED_TRACE(c.Text);
        try {
            EXPECT_EQ(EvaluateExpression(text, &context), c.Value);
        } catch (const Exception& e) {
            ADD_FAILURE() << e.what();
        }
    }
}

TEST(ExprEvalEvaluate, Errors)
{
    TTestContext context;
    const struct {
        const char* Text;
        const char* Reason; // after "Failed to evaluate expression '<text>'. "; null for the whole message
        const char* Message;
    } cases[] = {
        {"0x10l", "Unknown symbol: 'l'", nullptr},
        {"0X10", "Unknown symbol: 'X10'", nullptr},
        {"~0", "Factor expected.", nullptr},
        {"", "Factor expected.", nullptr},
        {"1 +", "Factor expected.", nullptr},
        {"$", "Factor expected.", nullptr},
        {"()", "Factor expected.", nullptr},
        {"(1 + 2", "')' expected.", nullptr},
        {"(1 + 2]", "')' expected.", nullptr},
        {"1 2", "Unknown symbol: '2'", nullptr},
        {"5 % 3", "Unknown symbol: '5'", nullptr},
        {"1 ? 2 : 3", "Unknown symbol: '1'", nullptr},
        {"X ^ 2", "Unknown symbol: 'X'", nullptr},
        {"(1) )", "Unknown symbol: '1'", nullptr},
        {"Y", "Unknown symbol: 'Y'", nullptr},
        {"x", "Unknown symbol: 'x'", nullptr},
        {"1 / 0", "Division by zero.", nullptr},
        {"1 mod 0", "Division by zero.", nullptr},
        {"5 div (2 - 2)", "Division by zero.", nullptr},
        {"99999999999", "Invalid number: '99999999999'", nullptr},
        {"2147483648", "Invalid number: '2147483648'", nullptr},
        {"-2147483648", "Invalid number: '2147483648'", nullptr},
        {"0x", "Invalid number: '0x'", nullptr},
        {"0x123456789", "Invalid number: '0x123456789'", nullptr},
        {"A + 1", nullptr, "Invalid numeric symbol value. Symbol: 'A', Value: 'abc'"},
        {"1 + (A)", nullptr, "Invalid numeric symbol value. Symbol: 'A', Value: 'abc'"},
        {"SELF", nullptr, "Failed to evaluate expression 'SELF + 1'. Expression too deep."},
        {"PING", nullptr, "Failed to evaluate expression '1 + PONG'. Expression too deep."},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf8(c.Text);
        SCOPED_TRACE(c.Text);
        const QString expected =
            c.Reason ? Failure(text, QString::fromUtf8(c.Reason)) : QString::fromUtf8(c.Message);
        EXPECT_EQ(ErrorOf(text, &context).toStdString(), expected.toStdString());
    }
}

TEST(ExprEvalEvaluate, NoContextKnowsNoSymbols)
{
    EXPECT_EQ(EvaluateExpression(QStringLiteral("1 + 2"), nullptr), 3);
    EXPECT_EQ(ErrorOf(QStringLiteral("1 + X"), nullptr).toStdString(),
              Failure(QStringLiteral("1 + X"), QStringLiteral("Unknown symbol: 'X'")).toStdString());
}

TEST(ExprEvalEvaluate, NestingIsLimitedAndTheLimitRecovers)
{
    TTestContext context;
    const auto nested = [](const char* Open, int Depth, const char* Close) -> QString {
        return Repeat(Open, Depth) + QStringLiteral("1") + Repeat(Close, Depth);
    };
    const QString tooDeep[] = {
        Repeat("(", 10000),
        nested("(", 10000, ")"),
        nested("-", 10000, ""),
        nested("not ", 10000, ""),
        nested("(", ExprMaxDepth + 1, ")"),
        nested("!", ExprMaxDepth + 1, ""),
    };
    for (const QString& text : tooDeep) {
        SCOPED_TRACE(text.left(40).toStdString());
        EXPECT_EQ(ErrorOf(text, &context).toStdString(),
                  Failure(text, QStringLiteral("Expression too deep.")).toStdString());
    }
    // After every failure above the whole depth is available again.
    EXPECT_EQ(EvaluateExpression(nested("(", ExprMaxDepth, ")"), &context), 1);
    EXPECT_EQ(EvaluateExpression(nested("-", ExprMaxDepth, ""), &context), 1);
    EXPECT_EQ(EvaluateExpression(QStringLiteral("TWICE"), &context), 82);
    // Long flat chains do not nest.
    EXPECT_EQ(EvaluateExpression(QStringLiteral("1") + Repeat(" + 1", 10000), &context), 10001);
}

TEST(ExprEvalEvaluate, SymbolSeesTheEvaluationWhileItRuns)
{
    TTestContext context;
    TProbeSym& probe = *context.Probe;
    TExprSimpleLexer lexer;
    TExprEvalParser parser;
    parser.SetContext(&context);
    parser.SetLexer(&lexer);

    lexer.SetBuf(QStringLiteral("PROBE * 2"));
    EXPECT_EQ(parser.Evaluate(), 14);
    EXPECT_EQ(probe.SeenLexer, &lexer);
    EXPECT_EQ(probe.SeenParser, &parser);
    EXPECT_EQ(probe.SeenToken, etAsterisk); // the name is already consumed
    EXPECT_EQ(probe.Lexer(), nullptr);
    EXPECT_EQ(probe.EvalParser(), nullptr);

    probe.Raise = true;
    lexer.SetBuf(QStringLiteral("PROBE"));
    EXPECT_THROW(parser.Evaluate(), ExpressionEvaluateError);
    EXPECT_EQ(probe.SeenLexer, &lexer);
    EXPECT_EQ(probe.Lexer(), nullptr);
    EXPECT_EQ(probe.EvalParser(), nullptr);
}
