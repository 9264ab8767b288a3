#include "GraphUtil.h"

#include <QGuiApplication>
#include <QPalette>

#include <algorithm>

namespace {

constexpr int HlsMax = 240;

QColor ShiftLightness(const QColor& color, int luminance)
{
    const QColor hsl = color.toHsl();
    // Work on the 0..240 scale so that a step means the same as on the platform these values
    // were chosen for.
    const int lightness = std::clamp(qRound(hsl.lightnessF() * HlsMax) + luminance, 0, HlsMax);
    // Back to 8 bits per channel, the precision every canvas keeps.
    return QColor::fromRgba(QColor::fromHslF(hsl.hslHueF(), hsl.hslSaturationF(), float(lightness) / HlsMax,
                                             color.alphaF())
                                .rgba());
}

QColor PaletteColor(QPalette::ColorRole role)
{
    return QColor::fromRgba(QGuiApplication::palette().color(QPalette::Active, role).rgba());
}

} // namespace

QColor GetShadowColor(const QColor& Color, int Luminance) { return ShiftLightness(Color, Luminance); }

QColor GetHighLightColor(const QColor& Color, int Luminance) { return ShiftLightness(Color, Luminance); }

QColor clWindow() { return PaletteColor(QPalette::Base); }
QColor clBtnFace() { return PaletteColor(QPalette::Button); }
QColor clBtnShadow() { return PaletteColor(QPalette::Dark); }
QColor clBtnHighlight() { return PaletteColor(QPalette::Light); }
QColor cl3DLight() { return PaletteColor(QPalette::Midlight); }
QColor clCaptionText() { return PaletteColor(QPalette::WindowText); }
