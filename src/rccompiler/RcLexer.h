#pragma once

#include "RcToken.h"

#include <functional>

namespace rc {

// Splits text into C tokens. Comments count as white space; a backslash before a line end splices
// the lines (the token keeps the line it starts on). Unterminated literals end at the line end and
// are reported through Unterminated(). Never reads outside the text.
class TLexer {
public:
    explicit TLexer(QStringView Text, int File = 0, int FirstLine = 1);

    // Text that arrives in pieces (a file whose code page changes on the way): called when the lexer
    // needs a character past its text; returns the whole text so far (the old text is its prefix), no
    // longer than before when there is no more.
    using TRefill = std::function<QStringView()>;
    void SetRefill(TRefill Refill) { FRefill = std::move(Refill); }

    // The next token; Kind End at the end of the text. LineStart on the token tells whether a line end
    // came before it (so directives can be found).
    TToken Next();
    // The next token of the current line; Kind End, with the line end left unread, when the line ends.
    TToken NextOnLine();
    bool AtEnd() { return !Has(FPos); }
    int Line() const { return FLine; }
    // #line: the line number of the current line.
    void SetLine(int Line) { FLine = Line; }
    int File() const { return FFile; }
    // Set when the last token (or the space before it) was a literal that ran into the end of its line
    // or of the text.
    bool Unterminated() const { return FUnterminated; }
    // Set when a comment before the last token ran into the end of the text.
    bool UnterminatedComment() const { return FUnterminatedComment; }
    // The rest of the current line as written (for #error and the like), consuming it but not the line end.
    QString RestOfLine();
    // Skips to the start of the next line (a directive in a skipped block).
    void SkipLine();

private:
    bool Has(qsizetype I) { return I < FText.size() || Refill(I); }
    bool Refill(qsizetype I);
    QChar At(qsizetype I) { return Has(I) ? FText[I] : QChar(); }
    bool IsSpliceAt(qsizetype I);
    // Index past the run of characters from I that Plain accepts, stopping before a backslash (a
    // possible splice) and at the end of the text.
    template <typename TPlain>
    qsizetype PlainRun(qsizetype I, TPlain Plain)
    {
        while (Has(I)) {
            const QChar c = FText[I];
            if (c == QLatin1Char('\\') || !Plain(c)) break;
            ++I;
        }
        return I;
    }
    void SkipSplices();
    bool SkipSpaceAndComments(bool& SawNewLine, bool StopAtNewLine);
    QChar Peek(qsizetype Offset = 0);
    QChar Take();
    TToken Read(bool StopAtNewLine);

    QStringView FText;
    TRefill FRefill;
    qsizetype FPos = 0;
    int FFile;
    int FLine;
    bool FAtLineStart = true;
    bool FUnterminated = false;
    bool FUnterminatedComment = false;
};

// Every token of a text, for callers that need no preprocessing (tests, data files).
TTokens Tokenize(QStringView Text, int File = 0);

} // namespace rc
