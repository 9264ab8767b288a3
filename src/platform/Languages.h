// Windows language identifiers (LANGID): display names and default ANSI and OEM code pages.
#pragma once

#include <QString>
#include <QList>
#include <cstdint>

struct TLanguageInfo {
    uint16_t LangID;
    const char* Name;        // UTF-8 display name, such as "English (United States)"
    uint16_t AnsiCodePage;   // default ANSI code page, such as 1252
    uint16_t OemCodePage;    // default OEM code page, such as 437
};

// The entry of a language identifier, or nullptr when the table does not hold it.
const TLanguageInfo* FindLanguage(uint16_t langID);
// Every entry in ascending language identifier order.
QList<const TLanguageInfo*> Languages();
// Default ANSI code page of a language: the table's entry, else 1252.
uint32_t LanguageAnsiCodePage(uint16_t langID);
uint32_t LanguageOemCodePage(uint16_t langID);

inline constexpr uint16_t MakeLangID(uint16_t primary, uint16_t sub) { return uint16_t((sub << 10) | primary); }
inline constexpr uint16_t PrimaryLangID(uint16_t langID) { return langID & 0x3FF; }
inline constexpr uint16_t SubLangID(uint16_t langID) { return langID >> 10; }
