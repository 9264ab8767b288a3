#include "platform/ShortCuts.h"

#include <array>

namespace {

struct TKeyName {
    uint8_t Key;
    const char* Name;
};

// Named keys that are neither digits, letters nor function keys (those are made below).
constexpr TKeyName KeyNames[] = {
    {0x08, "BkSp"},  {0x09, "Tab"},   {0x0D, "Enter"}, {0x1B, "Esc"},    {0x20, "Space"},
    {0x21, "PgUp"},  {0x22, "PgDn"},  {0x23, "End"},   {0x24, "Home"},   {0x25, "Left"},
    {0x26, "Up"},    {0x27, "Right"}, {0x28, "Down"},  {0x2D, "Ins"},    {0x2E, "Del"},
    {0x6A, "Num *"}, {0x6B, "Num +"}, {0x6D, "Num -"}, {0x6E, "Num ."},  {0x6F, "Num /"},
    {0xBA, ";"},     {0xBB, "="},     {0xBC, ","},     {0xBD, "-"},      {0xBE, "."},
    {0xBF, "/"},     {0xC0, "`"},     {0xDB, "["},     {0xDC, "\\"},     {0xDD, "]"},
    {0xDE, "'"},
};

// Every key's name, indexed by virtual-key code; built once.
const std::array<QString, 256>& NameTable()
{
    static const std::array<QString, 256> table = [] {
        std::array<QString, 256> names;
        for (const TKeyName& k : KeyNames)
            names[k.Key] = QString::fromLatin1(k.Name);
        for (int i = 0; i <= 9; ++i) {
            names[0x30 + i] = QString::number(i);
            names[0x60 + i] = QStringLiteral("Num %1").arg(i);
        }
        for (int i = 0; i < 26; ++i)
            names[0x41 + i] = QChar(u'A' + i);
        for (int i = 1; i <= 24; ++i)
            names[0x6F + i] = QStringLiteral("F%1").arg(i);
        return names;
    }();
    return table;
}

struct TModifier {
    uint16_t Bit;
    QLatin1StringView Text;
};

constexpr TModifier Modifiers[] = {
    {scShift, QLatin1StringView("Shift+")},
    {scCtrl, QLatin1StringView("Ctrl+")},
    {scAlt, QLatin1StringView("Alt+")},
};

} // namespace

QString KeyNameOf(uint8_t Key)
{
    return NameTable()[Key];
}

QString ShortCutToText(TShortCut ShortCut)
{
    const QString& name = NameTable()[ShortCut.Value & 0xFF];
    if (name.isEmpty())
        return {};
    QString text;
    for (const TModifier& m : Modifiers)
        if (ShortCut.Value & m.Bit)
            text += m.Text;
    return text + name;
}

TShortCut TextToShortCut(const QString& Text)
{
    uint16_t flags = 0;
    QStringView rest(Text);
    for (bool stripped = true; stripped;) {
        stripped = false;
        for (const TModifier& m : Modifiers) {
            if (rest.size() > m.Text.size() && rest.startsWith(m.Text, Qt::CaseInsensitive)) {
                flags |= m.Bit;
                rest = rest.mid(m.Text.size());
                stripped = true;
            }
        }
    }
    if (rest.isEmpty())
        return TShortCut();
    const std::array<QString, 256>& names = NameTable();
    for (int key = 1; key < 256; ++key)
        if (!names[key].isEmpty() && rest.compare(names[key], Qt::CaseInsensitive) == 0)
            return TShortCut(uint16_t(flags | key));
    return TShortCut();
}
