// Shortcut texts: the platform's English key names and modifiers, shared by menus and accelerators.
#pragma once

#include <QMetaType>
#include <QString>
#include <compare>
#include <cstdint>

// Modifier bits of a shortcut value; the virtual-key code is the low byte.
inline constexpr uint16_t scShift = 0x2000;
inline constexpr uint16_t scCtrl = 0x4000;
inline constexpr uint16_t scAlt = 0x8000;

// A shortcut value. A type of its own (not a plain Word), so the property layer can give it a text form.
struct TShortCut {
    uint16_t Value = 0;
    constexpr TShortCut() = default;
    constexpr explicit TShortCut(uint16_t value) : Value(value) {}
    friend constexpr bool operator==(TShortCut, TShortCut) = default;
    friend constexpr auto operator<=>(TShortCut, TShortCut) = default;
};
Q_DECLARE_METATYPE(TShortCut)

// "Ctrl+O", "Shift+F1"; modifiers in the order Shift, Ctrl, Alt. Empty for 0 or a key without a name.
QString ShortCutToText(TShortCut ShortCut);
// Modifiers in any order and key names without regard to case; 0 when the text is not understood.
TShortCut TextToShortCut(const QString& Text);
// The name of a virtual-key code, empty when it has none.
QString KeyNameOf(uint8_t Key);
