#include "platform/ShortCuts.h"

#include <gtest/gtest.h>

namespace {

TEST(ShortCuts, NamedKeysRoundTrip)
{
    const struct {
        uint16_t Value;
        const char* Text;
    } cases[] = {
        {0x0008, "BkSp"},
        {0x0009, "Tab"},
        {0x000D, "Enter"},
        {0x001B, "Esc"},
        {0x0020, "Space"},
        {0x0021, "PgUp"},
        {0x0022, "PgDn"},
        {0x0023, "End"},
        {0x0024, "Home"},
        {0x0025, "Left"},
        {0x0026, "Up"},
        {0x0027, "Right"},
        {0x0028, "Down"},
        {0x002D, "Ins"},
        {0x002E, "Del"},
        {0x0030, "0"},
        {0x0039, "9"},
        {0x0041, "A"},
        {0x005A, "Z"},
        {0x0060, "Num 0"},
        {0x0069, "Num 9"},
        {0x006A, "Num *"},
        {0x006B, "Num +"},
        {0x006D, "Num -"},
        {0x006E, "Num ."},
        {0x006F, "Num /"},
        {0x0070, "F1"},
        {0x007B, "F12"},
        {0x0087, "F24"},
        {0x00BA, ";"},
        {0x00BB, "="},
        {0x00BC, ","},
        {0x00BD, "-"},
        {0x00BE, "."},
        {0x00BF, "/"},
        {0x00C0, "`"},
        {0x00DB, "["},
        {0x00DC, "\\"},
        {0x00DD, "]"},
        {0x00DE, "'"},
        {0x4000 | 0x4F, "Ctrl+O"},
        {0x2000 | 0x70, "Shift+F1"},
        {0x8000 | 0x2E, "Alt+Del"},
        {0xE000 | 0x53, "Shift+Ctrl+Alt+S"},
        {0x6000 | 0x6B, "Shift+Ctrl+Num +"},
        {0x4000 | 0xBD, "Ctrl+-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(ShortCutToText(TShortCut(c.Value)), QString::fromLatin1(c.Text));
        EXPECT_EQ(TextToShortCut(QString::fromLatin1(c.Text)), TShortCut(c.Value));
    }
}

TEST(ShortCuts, EveryNamedKeyParsesBackWithEveryModifierSet)
{
    for (int key = 0; key < 256; ++key) {
        for (uint16_t mods : {0x0000, 0x2000, 0x4000, 0x8000, 0xE000}) {
            const TShortCut shortCut(uint16_t(mods | key));
            const QString text = ShortCutToText(shortCut);
            if (text.isEmpty())
                continue;
            SCOPED_TRACE(text.toStdString());
            EXPECT_EQ(TextToShortCut(text), shortCut);
        }
    }
}

TEST(ShortCuts, ParsingIgnoresCaseAndModifierOrder)
{
    EXPECT_EQ(TextToShortCut("ctrl+shift+o"), TShortCut(0x604F));
    EXPECT_EQ(TextToShortCut("ALT+CTRL+pgdn"), TShortCut(0xC022));
    EXPECT_EQ(TextToShortCut("num 5"), TShortCut(0x0065));
    EXPECT_EQ(TextToShortCut("f10"), TShortCut(0x0079));
    EXPECT_EQ(ShortCutToText(TextToShortCut("alt+shift+ctrl+x")), QStringLiteral("Shift+Ctrl+Alt+X"));
}

TEST(ShortCuts, KeysWithoutNamesAndUnknownTexts)
{
    for (uint16_t value : {0x0000, 0x4000, 0xE000, 0x0001, 0x0010, 0x005B, 0x0088, 0x00FF, 0x4007})
        EXPECT_EQ(ShortCutToText(TShortCut(value)), QString()) << std::hex << value;
    for (const char* text : {"", "Ctrl+", "Shift+Ctrl+", "+", "F25", "F0", "Num", "Num 10", "AB", "Ctrl+Foo",
                             "Ctrl O", " Ctrl+O", "Ctrl++", "Shift", "Ctrl-O"})
        EXPECT_EQ(TextToShortCut(QString::fromLatin1(text)), TShortCut()) << text;
}

} // namespace
