// Colour helpers for drawing in the platform's classic look: lightness shifts and the system colours
// that Linux has no names for (taken from the application palette).
#pragma once

#include <QColor>

// The colour with its lightness moved by Luminance on a 0..240 scale (negative darkens), hue and
// saturation kept; the result is clamped to black and white.
QColor GetShadowColor(const QColor& Color, int Luminance = -50);
QColor GetHighLightColor(const QColor& Color, int Luminance = 50);

QColor clWindow();       // palette Base
QColor clBtnFace();      // palette Button
QColor clBtnShadow();    // palette Dark
QColor clBtnHighlight(); // palette Light
QColor cl3DLight();      // palette Midlight
QColor clCaptionText();  // palette WindowText
