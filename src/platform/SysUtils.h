// Number conversions with the platform's rules (leading blanks, a sign, "$", "x" and "0x" hex prefixes).
#pragma once

#include <QString>
#include <cstdint>

bool TryStrToInt(const QString& text, int32_t& value);
bool TryStrToInt64(const QString& text, int64_t& value);
// Raise EConvertError "'%s' is not a valid integer value".
int32_t StrToInt(const QString& text);
int64_t StrToInt64(const QString& text);
int32_t StrToIntDef(const QString& text, int32_t defaultValue);

// Upper-cases every UTF-16 unit on its own, so the length never changes ("ß" stays "ß").
QString AnsiUpperCase(const QString& text);
// Case-insensitive comparison that folds ASCII letters only; other characters compare by code.
int CompareText(const QString& a, const QString& b);
bool SameText(const QString& a, const QString& b);

// File name helpers with the platform's meaning: the extension includes its dot.
QString ExtractFileExt(const QString& fileName);
QString ExtractFileName(const QString& fileName);
// The folder with its trailing separator.
QString ExtractFilePath(const QString& fileName);
QString ChangeFileExt(const QString& fileName, const QString& extension);

// True while a debugger traces the process.
bool DebuggerAttached();
