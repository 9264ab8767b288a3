#include "RcLexer.h"

namespace rc {

namespace {

bool IsIdentStart(QChar C) { return C.isLetter() || C == QLatin1Char('_'); }
bool IsIdentChar(QChar C) { return C.isLetterOrNumber() || C == QLatin1Char('_'); }
bool IsDigit(QChar C) { return C >= QLatin1Char('0') && C <= QLatin1Char('9'); }
bool IsLineEnd(QChar C) { return C == QLatin1Char('\n') || C == QLatin1Char('\r'); }

const char* const TwoCharPuncts[] = {"##", "&&", "||", "==", "!=", "<=", ">=", "<<", ">>"};

} // namespace

TLexer::TLexer(QStringView Text, int File, int FirstLine) : FText(Text), FFile(File), FLine(FirstLine) {}

// A backslash directly before a line end joins the lines.
void TLexer::SkipSplices()
{
    while (At(FPos) == QLatin1Char('\\') && IsLineEnd(At(FPos + 1))) {
        FPos += (At(FPos + 1) == QLatin1Char('\r') && At(FPos + 2) == QLatin1Char('\n')) ? 3 : 2;
        ++FLine;
    }
}

QChar TLexer::Peek(qsizetype Offset)
{
    SkipSplices();
    qsizetype pos = FPos;
    for (qsizetype i = 0; i < Offset; ++i) {
        ++pos;
        while (At(pos) == QLatin1Char('\\') && IsLineEnd(At(pos + 1)))
            pos += (At(pos + 1) == QLatin1Char('\r') && At(pos + 2) == QLatin1Char('\n')) ? 3 : 2;
    }
    return At(pos);
}

QChar TLexer::Take()
{
    SkipSplices();
    const QChar c = At(FPos);
    if (FPos < FText.size()) ++FPos;
    return c;
}

// Returns whether any white space or comment was skipped.
bool TLexer::SkipSpaceAndComments(bool& SawNewLine)
{
    bool skipped = false;
    for (;;) {
        const QChar c = Peek();
        if (c.isNull() && FPos >= FText.size()) return skipped;
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            Take();
            if (c == QLatin1Char('\r') && Peek() == QLatin1Char('\n')) Take();
            ++FLine;
            SawNewLine = true;
            skipped = true;
        } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\f') ||
                   c == QLatin1Char('\v') || c == QChar(0x1A) || c == QChar(0xFEFF)) {
            Take();
            skipped = true;
        } else if (c == QLatin1Char('/') && Peek(1) == QLatin1Char('/')) {
            while (FPos < FText.size() && !IsLineEnd(Peek())) Take();
            skipped = true;
        } else if (c == QLatin1Char('/') && Peek(1) == QLatin1Char('*')) {
            Take();
            Take();
            bool closed = false;
            while (FPos < FText.size()) {
                const QChar d = Take();
                if (d == QLatin1Char('*') && Peek() == QLatin1Char('/')) {
                    Take();
                    closed = true;
                    break;
                }
                if (d == QLatin1Char('\n') || (d == QLatin1Char('\r') && Peek() != QLatin1Char('\n'))) {
                    ++FLine;
                    SawNewLine = true;
                }
            }
            if (!closed) FUnterminated = true;
            skipped = true;
        } else {
            return skipped;
        }
    }
}

TToken TLexer::Next()
{
    bool newLine = false;
    const bool space = SkipSpaceAndComments(newLine);
    TToken token;
    token.File = FFile;
    token.Line = FLine;
    token.SpaceBefore = space;
    token.LineStart = FAtLineStart || newLine;
    FAtLineStart = false;
    if (FPos >= FText.size()) return token;

    QString text;
    const QChar c = Take();
    text += c;
    const bool wide = (c == QLatin1Char('L') || c == QLatin1Char('l')) &&
                      (Peek() == QLatin1Char('"') || Peek() == QLatin1Char('\''));
    if (wide || c == QLatin1Char('"') || c == QLatin1Char('\'')) {
        const QChar quote = wide ? Take() : c;
        if (wide) text += quote;
        token.Kind = quote == QLatin1Char('"') ? TTokenKind::String : TTokenKind::CharLit;
        for (;;) {
            const QChar d = Peek();
            if (FPos >= FText.size() || IsLineEnd(d)) {
                FUnterminated = true;
                break;
            }
            text += Take();
            if (d == quote) break;
            if (d == QLatin1Char('\\') && FPos < FText.size() && !IsLineEnd(Peek())) text += Take();
        }
    } else if (IsIdentStart(c)) {
        token.Kind = TTokenKind::Identifier;
        while (IsIdentChar(Peek())) text += Take();
    } else if (IsDigit(c) || (c == QLatin1Char('.') && IsDigit(Peek()))) {
        token.Kind = TTokenKind::Number;
        for (;;) {
            const QChar d = Peek();
            if ((d == QLatin1Char('+') || d == QLatin1Char('-')) &&
                (text.endsWith(QLatin1Char('e')) || text.endsWith(QLatin1Char('E')) ||
                 text.endsWith(QLatin1Char('p')) || text.endsWith(QLatin1Char('P'))) &&
                !text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
                text += Take();
            } else if (IsIdentChar(d) || d == QLatin1Char('.')) {
                text += Take();
            } else {
                break;
            }
        }
    } else if (QStringLiteral("(){},;+-*/%|&^~!<>=?:#[].").contains(c)) {
        token.Kind = TTokenKind::Punct;
        const QChar d = Peek();
        for (const char* two : TwoCharPuncts) {
            if (c == QLatin1Char(two[0]) && d == QLatin1Char(two[1])) {
                text += Take();
                break;
            }
        }
    } else {
        token.Kind = TTokenKind::Other;
    }
    token.Text = std::move(text);
    return token;
}

QString TLexer::RestOfLine()
{
    QString text;
    while (FPos < FText.size() && !IsLineEnd(Peek())) text += Take();
    return text;
}

TTokens Tokenize(QStringView Text, int File)
{
    TLexer lexer(Text, File);
    TTokens tokens;
    for (;;) {
        TToken token = lexer.Next();
        if (token.Kind == TTokenKind::End) break;
        tokens.push_back(std::move(token));
    }
    return tokens;
}

} // namespace rc
