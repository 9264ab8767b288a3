// Conversion between UTF-16 text and the Windows ANSI and OEM code pages (single-byte pages 437, 737, 775,
// 850, 852, 855, 857, 860-866, 869, 874, 1250-1258 and the double-byte pages 932, 936, 949, 950), plus
// UTF-8 (65001) and UTF-16 LE (1200). Characters a code page cannot hold become "?", as on Windows.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

enum : uint32_t {
    CP_ACP = 0,   // the default ANSI code page (1252 here)
    CP_OEMCP = 1, // the default OEM code page (437 here)
    CP_UTF16 = 1200,
    CP_UTF8 = 65001,
};

// True when the code page can be converted.
bool IsValidCodePage(uint32_t codePage);
// Raises EConvertError for a code page that cannot be converted.
QString CodePageToUnicode(const QByteArray& bytes, uint32_t codePage);
QByteArray UnicodeToCodePage(const QString& text, uint32_t codePage);
// True when every character of text survives a round trip through the code page.
bool CodePageCanHold(const QString& text, uint32_t codePage);
