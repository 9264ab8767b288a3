#pragma once

#include "RcToken.h"

namespace rc {

// Splits text into C tokens. Comments count as white space; a backslash before a line end splices
// the lines (the token keeps the line it starts on). Unterminated literals end at the line end and
// are reported through Unterminated(). Never reads outside the text.
class TLexer {
public:
    explicit TLexer(QStringView Text, int File = 0, int FirstLine = 1);

    // The next token; Kind End at the end of the text. NewLine tells whether a line end came before
    // the token (so directives can be found); LineStart on the token says the same.
    TToken Next();
    bool AtEnd() const { return FPos >= FText.size(); }
    int Line() const { return FLine; }
    // Set when the last literal or comment ran into the end of its line or of the text.
    bool Unterminated() const { return FUnterminated; }
    // The rest of the current line as written (for #error and the like), consuming it.
    QString RestOfLine();

private:
    QChar At(qsizetype I) const { return I < FText.size() ? FText[I] : QChar(); }
    void SkipSplices();
    bool SkipSpaceAndComments(bool& SawNewLine);
    QChar Peek(qsizetype Offset = 0);
    QChar Take();

    QStringView FText;
    qsizetype FPos = 0;
    int FFile;
    int FLine;
    bool FAtLineStart = true;
    bool FUnterminated = false;
};

// Every token of a text, for callers that need no preprocessing (tests, data files).
TTokens Tokenize(QStringView Text, int File = 0);

} // namespace rc
