#include "RcLexer.h"

namespace rc {

namespace {

bool IsAsciiIdentChar(char16_t C)
{
    return (C >= u'a' && C <= u'z') || (C >= u'A' && C <= u'Z') || (C >= u'0' && C <= u'9') || C == u'_';
}
bool IsIdentStart(QChar C)
{
    return C.unicode() < 128 ? IsAsciiIdentChar(C.unicode()) && !(C >= u'0' && C <= u'9') : C.isLetter();
}
bool IsIdentChar(QChar C) { return C.unicode() < 128 ? IsAsciiIdentChar(C.unicode()) : C.isLetterOrNumber(); }
bool IsDigit(QChar C) { return C >= QLatin1Char('0') && C <= QLatin1Char('9'); }
bool IsLineEnd(QChar C) { return C == QLatin1Char('\n') || C == QLatin1Char('\r'); }

const char* const TwoCharPuncts[] = {"##", "&&", "||", "==", "!=", "<=", ">=", "<<", ">>"};

} // namespace

TLexer::TLexer(QStringView Text, int File, int FirstLine) : FText(Text), FFile(File), FLine(FirstLine) {}

bool TLexer::Refill(qsizetype I)
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

bool TLexer::IsSpliceAt(qsizetype I)
{
    return Has(I) && FText[I] == QLatin1Char('\\') && IsLineEnd(At(I + 1));
}

// A backslash directly before a line end joins the lines.
void TLexer::SkipSplices()
{
    if (FPos < FText.size() && FText[FPos] != QLatin1Char('\\')) return;
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
        const qsizetype blanks = PlainRun(FPos, [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); });
        if (blanks > FPos) {
            FPos = blanks;
            skipped = true;
        }
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
            for (;;) {
                FPos = PlainRun(FPos, [](QChar d) { return !IsLineEnd(d); });
                if (!Has(FPos) || IsLineEnd(Peek())) break;
                Take();
            }
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

    // Most identifiers hold no splice: one slice of the text.
    if (IsIdentStart(FText[FPos])) {
        const qsizetype start = FPos;
        const qsizetype run = PlainRun(start + 1, IsIdentChar);
        const QChar after = At(run);
        const bool widePrefix = run == start + 1 && (FText[start] == QLatin1Char('L') || FText[start] == QLatin1Char('l')) &&
                                (after == QLatin1Char('"') || after == QLatin1Char('\''));
        if (!widePrefix && after != QLatin1Char('\\')) {
            token.Kind = TTokenKind::Identifier;
            token.Text = FText.sliced(start, run - start).toString();
            FPos = run;
            return token;
        }
    }
    // Numbers and literals without a backslash, and punctuators, are slices of the text too.
    {
        const qsizetype start = FPos;
        const QChar first = FText[start];
        qsizetype end = -1;
        TTokenKind kind = TTokenKind::Other;
        if (IsDigit(first)) {
            end = PlainRun(start + 1, [](QChar d) { return IsIdentChar(d) || d == QLatin1Char('.'); });
            const QChar last = FText[end - 1];
            const QChar after = At(end);
            // An exponent's sign, or a splice: the general path below.
            if (after == QLatin1Char('\\') || after == QLatin1Char('+') || after == QLatin1Char('-'))
                if (after == QLatin1Char('\\') || last == QLatin1Char('e') || last == QLatin1Char('E') ||
                    last == QLatin1Char('p') || last == QLatin1Char('P'))
                    end = -1;
            kind = TTokenKind::Number;
        } else if (first == QLatin1Char('"')) {
            end = PlainRun(start + 1, [](QChar d) { return d != QLatin1Char('"') && !IsLineEnd(d); });
            end = At(end) == QLatin1Char('"') ? end + 1 : -1;
            kind = TTokenKind::String;
        } else if (first.unicode() < 128 && QStringView(u"(){},;+-*~!<>=?:#[]|&%^").contains(first) &&
                   At(start + 1) != QLatin1Char('\\')) {
            end = start + 1;
            const QChar d = At(end);
            for (const char* two : TwoCharPuncts)
                if (first == QLatin1Char(two[0]) && d == QLatin1Char(two[1])) ++end;
            kind = TTokenKind::Punct;
        }
        if (end > start) {
            token.Kind = kind;
            token.Text = FText.sliced(start, end - start).toString();
            FPos = end;
            return token;
        }
    }
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
            const qsizetype run = PlainRun(FPos, [quote](QChar e) { return e != quote && !IsLineEnd(e); });
            text += FText.mid(FPos, run - FPos);
            FPos = run;
        }
    } else if (IsIdentStart(c)) {
        token.Kind = TTokenKind::Identifier;
        for (;;) {
            const qsizetype run = PlainRun(FPos, IsIdentChar);
            text += FText.mid(FPos, run - FPos);
            FPos = run;
            if (!IsIdentChar(Peek())) break;
            text += Take();
        }
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
