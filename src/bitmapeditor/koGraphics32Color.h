#pragma once

// Colour arithmetic shared by the bitmap editor, its filters and the glyph drawing. Everything is
// integer byte-scale arithmetic; the results are bit-exact and callers (blend modes, image lists)
// depend on that.

#include "platform/Bitmap32.h"

#include <QImage>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

int Lightness(int r, int g, int b);
int Lightness(TColor32 color);
int Luminance(TColor32 color);
int Average(TColor32 color);
int HueValue(TColor32 color);
int SaturationValue(TColor32 color);
TColor32 ColorToGray(TColor32 color);

void RGBtoHSL(TColor32 color, uint8_t& h, uint8_t& s, uint8_t& l);
// Alpha of the result is 0.
TColor32 HSLtoRGB(int h, int s, int l);

void Sepia(TBitmap32& bitmap, int depth);
// Fully transparent pixels keep their colour.
void Desaturate(TBitmap32& bitmap);
TColor32 DesaturateColor(TColor32 color, int amount);
// The bitmap must have 32 bits per pixel (Format_ARGB32 or Format_RGB32); anything else asserts.
void DesaturateBitmap(QImage& bitmap, int amount);

// Source and Dest may be the same bitmap.
void AdjustHSL(const TBitmap32& source, TBitmap32& dest, int16_t deltaHue, int16_t deltaSaturation,
               int16_t deltaLightness);
// As AdjustHSL on 32-bit images, but pixels with alpha 0 are not written and no change is
// reported. A Dest of another size (or not 32-bit) is replaced by a zeroed ARGB32 image.
void AdjustHSLBitmap(const QImage& source, QImage& dest, int16_t deltaHue, int16_t deltaSaturation,
                     int16_t deltaLightness);

using TLevelsTable = std::array<uint8_t, 256>;
// Callers keep inLow < inMid < inHigh.
void BuildLevelsTable(TLevelsTable& table, int8_t brightness, int8_t contrast, int8_t gamma,
                      uint8_t inLow, uint8_t inMid, uint8_t inHigh, uint8_t outLow, uint8_t outHigh);

// XOR line routines, published through a table so a faster implementation can be bound later.
using TXorLineProc = void (*)(TColor32* dst, int count, TColor32 value);
using TXorCopyLineProc = void (*)(const TColor32* src, TColor32* dst, int count, TColor32 value);

struct TColorBindings
{
    QString Name;
    std::vector<TXorLineProc> XorLineImplementations;         // binding 0
    std::vector<TXorCopyLineProc> XorCopyLineImplementations; // binding 1
    TXorLineProc XorLine = nullptr;
    TXorCopyLineProc XorCopyLine = nullptr;

    // None of our implementations needs a processor feature, so the latest registered one wins.
    void RebindAll();
};

// Created and bound on first use.
TColorBindings& ColorBindings();
void RegisterColorBindings();

void XorLine(TColor32* dst, int count, TColor32 value);
void XorCopyLine(const TColor32* src, TColor32* dst, int count, TColor32 value);

void koGraphics32Color_Initialize();
void koGraphics32Color_Finalize();
