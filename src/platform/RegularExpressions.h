// Regular expressions on PCRE2's 16-bit library: patterns and subjects are QStrings as they stand, and
// every position is a QString index (UTF-16 units). Subjects with unpaired surrogates are searched too.
#pragma once

#include "Exceptions.h"
#include "Sets.h"

#include <QString>

enum TRegExOption {
    roIgnoreCase,
    roExplicitCapture,    // only named groups capture
    roSingleLine,         // a dot also matches line breaks
    roIgnorePatternSpace, // blanks and line breaks in the pattern are ignored, "#" starts a comment
};
using TRegExOptions = TSet<TRegExOption>;

// A pattern the compiler refuses; Offset is the UTF-16 index in the pattern where it stopped.
class ERegularExpressionError : public Exception {
public:
    ERegularExpressionError(const QString& Message, int Offset) : Exception(Message), FOffset(Offset) {}
    const char* ClassName() const override { return "ERegularExpressionError"; }
    int Offset() const { return FOffset; }

private:
    int FOffset;
};

struct TRegExMatch {
    bool Success = false;
    int Index = 0; // 0-based
    int Length = 0;
};

class TRegEx {
public:
    // Raises ERegularExpressionError with the compiler's message and position.
    TRegEx(const QString& Pattern, TRegExOptions Options);
    ~TRegEx();
    TRegEx(const TRegEx&) = delete;
    TRegEx& operator=(const TRegEx&) = delete;

    // The first match that starts at StartAt or later (0 <= StartAt <= Input.size()). Raises when the
    // engine gives up (its match limits), never for input it cannot decode.
    TRegExMatch Match(const QString& Input, int StartAt = 0) const;

private:
    struct TCode;
    TCode* FCode;
};
