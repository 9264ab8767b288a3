#include "platform/CodePages.h"
#include "platform/Languages.h"

#include <gtest/gtest.h>

namespace {

TEST(Languages, KnownIdentifiers)
{
    const struct {
        uint16_t LangID;
        const char* Name;
        uint32_t Ansi;
        uint32_t Oem;
    } cases[] = {
        {0x0409, "English (United States)", 1252, 437},
        {0x0809, "English (United Kingdom)", 1252, 850},
        {0x0407, "German (Germany)", 1252, 850},
        {0x0419, "Russian (Russia)", 1251, 866},
        {0x0405, "Czech (Czech Republic)", 1250, 852},
        {0x0408, "Greek (Greece)", 1253, 737},
        {0x041F, "Turkish (Turkey)", 1254, 857},
        {0x040D, "Hebrew (Israel)", 1255, 862},
        {0x0401, "Arabic (Saudi Arabia)", 1256, 720},
        {0x0426, "Latvian (Latvia)", 1257, 775},
        {0x042A, "Vietnamese (Vietnam)", 1258, 1258},
        {0x041E, "Thai (Thailand)", 874, 874},
        {0x0411, "Japanese (Japan)", 932, 932},
        {0x0804, "Chinese (Simplified, PRC)", 936, 936},
        {0x0412, "Korean (Korea)", 949, 949},
        {0x0404, "Chinese (Traditional, Taiwan)", 950, 950},
        {0x0C1A, "Serbian (Cyrillic, Serbia and Montenegro (Former))", 1251, 855},
        {0x540A, "Spanish (United States)", 1252, 850},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.LangID);
        const TLanguageInfo* info = FindLanguage(c.LangID);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->LangID, c.LangID);
        EXPECT_STREQ(info->Name, c.Name);
        EXPECT_EQ(LanguageAnsiCodePage(c.LangID), c.Ansi);
        EXPECT_EQ(LanguageOemCodePage(c.LangID), c.Oem);
    }
    EXPECT_EQ(QString::fromUtf8(FindLanguage(0x0414)->Name), QString::fromUtf16(u"Norwegian, Bokm\u00E5l (Norway)"));
}

TEST(Languages, UnicodeOnlyLocalesFallBackToDefaultPages)
{
    const TLanguageInfo* hindi = FindLanguage(0x0439);
    ASSERT_NE(hindi, nullptr);
    EXPECT_EQ(hindi->AnsiCodePage, 0);
    EXPECT_EQ(hindi->OemCodePage, 0);
    EXPECT_EQ(LanguageAnsiCodePage(0x0439), 1252u);
    EXPECT_EQ(LanguageOemCodePage(0x0439), 437u);
}

TEST(Languages, MissingIdentifiers)
{
    // Neutral, user and system default, a neutral-region and an unassigned identifier.
    for (uint16_t langID : {0x0000, 0x0400, 0x0800, 0x7C04, 0x0009, 0x04FF, 0xFFFF}) {
        SCOPED_TRACE(testing::Message() << std::hex << langID);
        EXPECT_EQ(FindLanguage(langID), nullptr);
        EXPECT_EQ(LanguageAnsiCodePage(langID), 1252u);
        EXPECT_EQ(LanguageOemCodePage(langID), 437u);
    }
}

TEST(Languages, TableIsSortedUniqueAndConsistent)
{
    const QList<const TLanguageInfo*> all = Languages();
    ASSERT_FALSE(all.isEmpty());
    for (qsizetype i = 0; i < all.size(); ++i) {
        const TLanguageInfo* info = all[i];
        SCOPED_TRACE(testing::Message() << std::hex << info->LangID);
        if (i > 0) {
            EXPECT_LT(all[i - 1]->LangID, info->LangID);
        }
        EXPECT_EQ(FindLanguage(info->LangID), info);
        EXPECT_NE(PrimaryLangID(info->LangID), 0);
        EXPECT_NE(SubLangID(info->LangID), 0);
        // "Language (Country/Region)"
        const QString name = QString::fromUtf8(info->Name);
        EXPECT_GT(name.indexOf(QLatin1String(" (")), 0);
        EXPECT_TRUE(name.endsWith(QLatin1Char(')')));
        // Unicode-only locales have neither page; the Arabic-script DOS page 720 is the one
        // default the converter lacks.
        EXPECT_EQ(info->AnsiCodePage == 0, info->OemCodePage == 0);
        if (info->AnsiCodePage != 0) {
            EXPECT_TRUE(IsValidCodePage(info->AnsiCodePage));
        }
        if (info->OemCodePage != 0 && info->OemCodePage != 720) {
            EXPECT_TRUE(IsValidCodePage(info->OemCodePage));
        }
    }
}

TEST(Languages, LangIDParts)
{
    const struct {
        uint16_t Primary;
        uint16_t Sub;
        uint16_t LangID;
    } cases[] = {
        {0x09, 0x01, 0x0409},
        {0x1A, 0x0C, 0x301A},
        {0x0A, 0x15, 0x540A},
        {0x00, 0x00, 0x0000},
        {0x3FF, 0x3F, 0xFFFF},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MakeLangID(c.Primary, c.Sub), c.LangID);
        EXPECT_EQ(PrimaryLangID(c.LangID), c.Primary);
        EXPECT_EQ(SubLangID(c.LangID), c.Sub);
    }
    static_assert(MakeLangID(0x04, 0x02) == 0x0804);
}

} // namespace
