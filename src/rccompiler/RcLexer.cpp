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

bool TLexer::Has(qsizetype I)
{
    while (I >= FText.size()) {
        if (!FRefill) return false;
        const QStringView more = FRefill();
        if (more.size() <= FText.size()) {
            FRefill = nullptr;
            return false;
        }
        FText = more;
    }
    return true;
}

bool TLexer::IsSpliceAt(qsizetype I) { return At(I) == QLatin1Char('\\') && IsLineEnd(At(I + 1)); }

// A backslash directly before a line end joins the lines.
void TLexer::SkipSplices()
{
    while (IsSpliceAt(FPos)) {
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
        while (IsSpliceAt(pos)) pos += (At(pos + 1) == QLatin1Char('\r') && At(pos + 2) == QLatin1Char('\n')) ? 3 : 2;
    }
    return At(pos);
}

QChar TLexer::Take()
{
    SkipSplices();
    const QChar c = At(FPos);
    if (Has(FPos)) ++FPos;
    return c;
}

// Returns whether any white space or comment was skipped.
bool TLexer::SkipSpaceAndComments(bool& SawNewLine, bool StopAtNewLine)
{
    bool skipped = false;
    for (;;) {
        const QChar c = Peek();
        if (!Has(FPos)) return skipped;
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (StopAtNewLine) return skipped;
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
            while (Has(FPos) && !IsLineEnd(Peek())) Take();
            skipped = true;
        } else if (c == QLatin1Char('/') && Peek(1) == QLatin1Char('*')) {
            Take();
            Take();
            bool closed = false;
            while (Has(FPos)) {
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
            if (!closed) FUnterminatedComment = true;
            skipped = true;
        } else {
            return skipped;
        }
    }
}

TToken TLexer::Next() { return Read(false); }

TToken TLexer::NextOnLine() { return Read(true); }

TToken TLexer::Read(bool StopAtNewLine)
{
    FUnterminated = false;
    FUnterminatedComment = false;
    bool newLine = false;
    const bool space = SkipSpaceAndComments(newLine, StopAtNewLine);
    TToken token;
    token.File = FFile;
    token.Line = FLine;
    token.SpaceBefore = space;
    token.LineStart = FAtLineStart || newLine;
    if (!Has(FPos) || (StopAtNewLine && IsLineEnd(Peek()))) {
        if (newLine) FAtLineStart = true;
        return token;
    }
    FAtLineStart = false;

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
            if (!Has(FPos) || IsLineEnd(d)) {
                FUnterminated = true;
                break;
            }
            text += Take();
            if (d == quote) break;
            if (d == QLatin1Char('\\') && Has(FPos) && !IsLineEnd(Peek())) text += Take();
        }
    } else if (IsIdentStart(c)) {
        token.Kind = TTokenKind::Identifier;
        while (IsIdentChar(Peek())) text += Take();
    } else if (IsDigit(c) || (c == QLatin1Char('.') && IsDigit(Peek()))) {
        token.Kind = TTokenKind::Number;
        const bool hex = c == QLatin1Char('0') && (Peek() == QLatin1Char('x') || Peek() == QLatin1Char('X'));
        for (;;) {
            const QChar d = Peek();
            const QChar last = text.back();
            if ((d == QLatin1Char('+') || d == QLatin1Char('-')) && !hex &&
                (last == QLatin1Char('e') || last == QLatin1Char('E') || last == QLatin1Char('p') ||
                 last == QLatin1Char('P'))) {
                text += Take();
            } else if (IsIdentChar(d) || d == QLatin1Char('.')) {
                text += Take();
            } else {
                break;
            }
        }
    } else if (QStringView(u"(){},;+-*/%|&^~!<>=?:#[].").contains(c)) {
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
    while (Has(FPos) && !IsLineEnd(Peek())) text += Take();
    return text;
}

void TLexer::SkipLine()
{
    // Comments still count: a block comment may hide the line end.
    for (;;) {
        const TToken token = NextOnLine();
        if (token.Kind == TTokenKind::End) break;
    }
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
