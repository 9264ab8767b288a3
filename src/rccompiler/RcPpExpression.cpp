#include "RcPpExpression.h"

#include <cctype>
#include <cstdint>
#include <limits>

namespace rc {

namespace {

enum : int {
    RcBadExpression = 1017,
    RcDivideByZero = 2124,
    RcConstantTooBig = 2177,
};

constexpr int MaxNesting = 256;

struct TValue {
    uint64_t V = 0;
    bool Unsigned = false;

    int64_t S() const { return static_cast<int64_t>(V); }
    bool True() const { return V != 0; }
};

TValue Signed(int64_t V) { return {static_cast<uint64_t>(V), false}; }

class TParser {
public:
    TParser(const TTokens& Tokens) : FTokens(Tokens) {}

    bool Run(QString& Error, int& Code)
    {
        const TValue value = Conditional(true);
        if (FCode == 0 && FPos < FTokens.size()) Fail(RcBadExpression, QStringLiteral("unexpected '%1' in #if").arg(FTokens[FPos].Text));
        if (FCode == 0 && FTokens.empty()) Fail(RcBadExpression, QStringLiteral("#if without an expression"));
        Error = FError;
        Code = FCode;
        return FCode == 0 && value.True();
    }

private:
    const TToken* Peek() const { return FPos < FTokens.size() ? &FTokens[FPos] : nullptr; }
    bool PeekPunct(QStringView Text) const { return FPos < FTokens.size() && FTokens[FPos].IsPunct(Text); }

    void Fail(int Code, const QString& Text)
    {
        if (FCode != 0) return;
        FCode = Code;
        FError = Text;
    }

    TValue Conditional(bool Eval)
    {
        if (++FDepth > MaxNesting) {
            Fail(RcBadExpression, QStringLiteral("expression nested too deeply"));
            FPos = FTokens.size();
            --FDepth;
            return {};
        }
        TValue cond = Binary(0, Eval);
        if (PeekPunct(u"?")) {
            ++FPos;
            const TValue a = Conditional(Eval && cond.True());
            if (!PeekPunct(u":")) {
                Fail(RcBadExpression, QStringLiteral("':' expected in #if"));
            } else {
                ++FPos;
            }
            const TValue b = Conditional(Eval && !cond.True());
            TValue r = cond.True() ? a : b;
            r.Unsigned = a.Unsigned || b.Unsigned;
            cond = r;
        }
        --FDepth;
        return cond;
    }

    // Precedence of a binary operator, 0 = lowest; -1 when the token is none.
    static int Precedence(const TToken* T)
    {
        if (!T || T->Kind != TTokenKind::Punct) return -1;
        static const char* const Levels[][4] = {{"||"},      {"&&"},           {"|"},  {"^"},     {"&"},
                                                {"==", "!="}, {"<", ">", "<=", ">="}, {"<<", ">>"}, {"+", "-"},
                                                {"*", "/", "%"}};
        for (int level = 0; level < 10; ++level)
            for (const char* op : Levels[level])
                if (op && T->Text == QLatin1String(op)) return level;
        return -1;
    }

    TValue Binary(int MinLevel, bool Eval)
    {
        TValue left = Unary(Eval);
        for (;;) {
            const TToken* op = Peek();
            const int level = Precedence(op);
            if (level < MinLevel) return left;
            const QString text = op->Text;
            ++FPos;
            // && and || do not evaluate their right side when the left decides.
            bool evalRight = Eval;
            if (text == QLatin1String("&&")) evalRight = Eval && left.True();
            if (text == QLatin1String("||")) evalRight = Eval && !left.True();
            const TValue right = Binary(level + 1, evalRight);
            left = Apply(text, left, right, Eval);
        }
    }

    TValue Apply(const QString& Op, TValue L, TValue R, bool Eval)
    {
        const bool u = L.Unsigned || R.Unsigned;
        auto result = [u](uint64_t V) { return TValue{V, u}; };
        auto boolean = [](bool B) { return Signed(B ? 1 : 0); };
        const QChar c = Op[0];
        if (Op == QLatin1String("||")) return boolean(L.True() || R.True());
        if (Op == QLatin1String("&&")) return boolean(L.True() && R.True());
        if (Op == QLatin1String("==")) return boolean(L.V == R.V);
        if (Op == QLatin1String("!=")) return boolean(L.V != R.V);
        if (Op == QLatin1String("<=")) return boolean(u ? L.V <= R.V : L.S() <= R.S());
        if (Op == QLatin1String(">=")) return boolean(u ? L.V >= R.V : L.S() >= R.S());
        if (Op == QLatin1String("<<") || Op == QLatin1String(">>")) {
            // The type is the left operand's; counts outside 0..63 shift everything out.
            const bool leftShift = Op == QLatin1String("<<");
            const bool inRange = R.Unsigned ? R.V < 64 : (R.S() >= 0 && R.S() < 64);
            if (!inRange) return {(!leftShift && !L.Unsigned && L.S() < 0) ? ~uint64_t(0) : 0, L.Unsigned};
            const int n = int(R.V);
            if (leftShift) return {L.V << n, L.Unsigned};
            if (L.Unsigned) return {L.V >> n, true};
            return Signed(L.S() >> n);
        }
        if (c == QLatin1Char('<')) return boolean(u ? L.V < R.V : L.S() < R.S());
        if (c == QLatin1Char('>')) return boolean(u ? L.V > R.V : L.S() > R.S());
        if (c == QLatin1Char('|')) return result(L.V | R.V);
        if (c == QLatin1Char('^')) return result(L.V ^ R.V);
        if (c == QLatin1Char('&')) return result(L.V & R.V);
        if (c == QLatin1Char('+')) return result(L.V + R.V);
        if (c == QLatin1Char('-')) return result(L.V - R.V);
        if (c == QLatin1Char('*')) return result(L.V * R.V);
        // / and %
        if (R.V == 0) {
            if (Eval) Fail(RcDivideByZero, QStringLiteral("divide or mod by zero in #if"));
            return result(0);
        }
        const bool divide = c == QLatin1Char('/');
        if (u) return result(divide ? L.V / R.V : L.V % R.V);
        if (L.S() == std::numeric_limits<int64_t>::min() && R.S() == -1) return divide ? L : Signed(0);
        return Signed(divide ? L.S() / R.S() : L.S() % R.S());
    }

    TValue Unary(bool Eval)
    {
        const TToken* t = Peek();
        if (!t) {
            Fail(RcBadExpression, QStringLiteral("unexpected end of the #if expression"));
            return {};
        }
        if (t->Kind == TTokenKind::Punct &&
            (t->Text == QLatin1String("-") || t->Text == QLatin1String("+") || t->Text == QLatin1String("!") ||
             t->Text == QLatin1String("~"))) {
            const QChar op = t->Text[0];
            ++FPos;
            if (++FDepth > MaxNesting) {
                Fail(RcBadExpression, QStringLiteral("expression nested too deeply"));
                FPos = FTokens.size();
                --FDepth;
                return {};
            }
            const TValue v = Unary(Eval);
            --FDepth;
            if (op == QLatin1Char('-')) return {uint64_t(0) - v.V, v.Unsigned};
            if (op == QLatin1Char('+')) return v;
            if (op == QLatin1Char('~')) return {~v.V, v.Unsigned};
            return Signed(v.True() ? 0 : 1);
        }
        ++FPos;
        if (t->IsPunct(u"(")) {
            const TValue v = Conditional(Eval);
            if (!PeekPunct(u")"))
                Fail(RcBadExpression, QStringLiteral("')' expected in #if"));
            else
                ++FPos;
            return v;
        }
        if (t->Kind == TTokenKind::Identifier) return {}; // not a macro: 0
        if (t->Kind == TTokenKind::Number) return Number(t->Text);
        if (t->Kind == TTokenKind::CharLit) return Character(t->Text);
        Fail(RcBadExpression, QStringLiteral("unexpected '%1' in #if").arg(t->Text));
        FPos = FTokens.size();
        return {};
    }

    TValue Number(const QString& Text)
    {
        QString digits = Text;
        bool isUnsigned = false;
        // Suffixes: u, l, ll in any order and case, and i64.
        if (digits.endsWith(QLatin1String("i64"), Qt::CaseInsensitive)) digits.chop(3);
        while (!digits.isEmpty()) {
            const QChar last = digits.back().toLower();
            if (last == QLatin1Char('u')) {
                isUnsigned = true;
            } else if (last != QLatin1Char('l')) {
                break;
            }
            digits.chop(1);
        }
        int base = 10;
        qsizetype start = 0;
        if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
            base = 16;
            start = 2;
        } else if (digits.size() > 1 && digits[0] == QLatin1Char('0')) {
            base = 8;
            start = 1;
        }
        if (start >= digits.size()) {
            Fail(RcBadExpression, QStringLiteral("invalid number '%1' in #if").arg(Text));
            return {};
        }
        uint64_t value = 0;
        bool overflow = false;
        for (qsizetype i = start; i < digits.size(); ++i) {
            const int d = QStringLiteral("0123456789abcdef").indexOf(digits[i].toLower());
            if (d < 0 || d >= base) {
                Fail(RcBadExpression, QStringLiteral("invalid number '%1' in #if").arg(Text));
                return {};
            }
            if (value > (std::numeric_limits<uint64_t>::max() - uint64_t(d)) / uint64_t(base)) overflow = true;
            value = value * uint64_t(base) + uint64_t(d);
        }
        if (overflow) Fail(RcConstantTooBig, QStringLiteral("constant too big: '%1'").arg(Text));
        return {value, isUnsigned || value > uint64_t(std::numeric_limits<int64_t>::max())};
    }

    static TValue Character(const QString& Text)
    {
        qsizetype i = Text.indexOf(QLatin1Char('\'')) + 1;
        int64_t value = 0;
        while (i < Text.size() && Text[i] != QLatin1Char('\'')) {
            uint32_t c = Text[i++].unicode();
            if (c == '\\' && i < Text.size()) {
                const QChar e = Text[i++];
                switch (e.unicode()) {
                case 'n': c = '\n'; break;
                case 't': c = '\t'; break;
                case 'r': c = '\r'; break;
                case 'a': c = 7; break;
                case 'b': c = 8; break;
                case 'f': c = '\f'; break;
                case 'v': c = '\v'; break;
                case 'x':
                    c = 0;
                    while (i < Text.size() && isxdigit(Text[i].unicode() < 128 ? Text[i].unicode() : 'g'))
                        c = (c << 4) | uint32_t(QStringLiteral("0123456789abcdef").indexOf(Text[i++].toLower()));
                    break;
                default:
                    if (e >= QLatin1Char('0') && e <= QLatin1Char('7')) {
                        c = e.unicode() - '0';
                        for (int n = 0; n < 2 && i < Text.size() && Text[i] >= QLatin1Char('0') &&
                                        Text[i] <= QLatin1Char('7');
                             ++n)
                            c = c * 8 + (Text[i++].unicode() - '0');
                    } else {
                        c = e.unicode();
                    }
                }
            }
            value = int64_t(uint64_t(value) << 8) | int64_t(c & 0xFFFF);
        }
        return Signed(value);
    }

    const TTokens& FTokens;
    size_t FPos = 0;
    int FDepth = 0;
    int FCode = 0;
    QString FError;
};

} // namespace

bool EvaluateCondition(const TTokens& Tokens, QString& Error, int& Code)
{
    TParser parser(Tokens);
    return parser.Run(Error, Code);
}

} // namespace rc
