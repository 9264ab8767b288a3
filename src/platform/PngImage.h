// PNG pictures through libpng, keeping what the icon and PNG formats care about and QImage does not
// tell: the colour type, the bit depth of palette images, the palette and the transparency chunk.
#pragma once

#include "Graphics.h"

#include <QByteArray>
#include <cstdint>

class TBitmap;

enum TPngColorType : uint8_t {
    COLOR_GRAYSCALE = 0,
    COLOR_RGB = 2,
    COLOR_PALETTE = 3,
    COLOR_GRAYSCALEALPHA = 4,
    COLOR_RGBALPHA = 6,
};

// ptmBit: a transparency chunk whose entries are all 0 or 255, or a transparent colour of a grey or RGB
// image; ptmPartial: an alpha channel, or graded entries in the chunk of a palette image.
enum TPngTransparencyMode { ptmNone, ptmBit, ptmPartial };

class TPngImage : public TGraphic {
public:
    static const char* StaticClassName() { return "TPngImage"; }

    TPngImage() = default;
    const char* ClassName() const override { return StaticClassName(); }
    std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TPngImage>(*this); }

    bool Empty() const override { return FWidth == 0 || FHeight == 0; }
    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }

    // A new image, every sample 0. Palette images take BitDepth 1, 2, 4 or 8 and an empty palette;
    // the other colour types are stored at 8 bits per sample.
    void CreateBlank(TPngColorType ColorType, int BitDepth, int Width, int Height);

    // Any valid PNG. 16-bit samples are kept as their high byte (BitDepth then says 8); grey images
    // below 8 bits are widened to 8. libpng's errors become EInvalidGraphic with its message.
    void LoadFromStream(TStream& Stream) override;
    // An untouched image writes the bytes it was read from.
    void SaveToStream(TStream& Stream) const override;
    bool Untouched() const { return !FSource.isEmpty(); }

    TPngColorType ColorType() const { return FColorType; }
    int BitDepth() const { return FBitDepth; }
    TPngTransparencyMode TransparencyMode() const;
    bool HasAlphaChannel() const { return FColorType == COLOR_RGBALPHA || FColorType == COLOR_GRAYSCALEALPHA; }

    // Palette images: the PLTE entries (alpha not included) and the tRNS alpha values (may be shorter
    // than the palette, empty without a chunk).
    const TColorArray& Palette() const { return FPalette; }
    void SetPalette(const TColorArray& Value);
    const QByteArray& Transparency() const { return FTransparency; }
    bool HasTransparencyChunk() const { return FHasTransparency; }
    void SetTransparency(const QByteArray& Value);
    void RemoveTransparency();
    // Grey and RGB images: the tRNS colour, when there is one.
    bool HasTransparentColor() const;
    TColor TransparentColor() const;

    // Samples, one byte each, row y from the top: palette index; grey; grey, alpha; R, G, B; R, G, B, A.
    int SamplesPerPixel() const;
    const uint8_t* ScanLine(int y) const;
    uint8_t* ScanLine(int y);
    int PixelIndex(int x, int y) const;
    void SetPixelIndex(int x, int y, int Index);
    // Colour and alpha of a pixel in any colour type (palette and tRNS resolved).
    TColor Pixel(int x, int y) const;
    int PixelAlpha(int x, int y) const;

    // Resizing keeps the top-left area; new samples are 0 (transparent where there is alpha).
    void SetSize(int Width, int Height);
    // RGB at 8 bits (COLOR_RGB), or RGBA when WithAlpha.
    void AssignImage(const QImage& Image, bool WithAlpha);
    QImage ToQImage() const override;

    // Converts to an RGB image of the same pixels with an alpha channel (COLOR_RGBALPHA, 8 bits).
    void ConvertToRGBA();

private:
    void Touch() { FSource.clear(); }

    int FWidth = 0;
    int FHeight = 0;
    TPngColorType FColorType = COLOR_RGBALPHA;
    int FBitDepth = 8;
    TColorArray FPalette;
    QByteArray FTransparency;
    bool FHasTransparency = false;
    // tRNS of grey (one value) and RGB (three values) images, 8-bit samples.
    uint16_t FTransparentSample[3] = {0, 0, 0};
    // Rows top-down, SamplesPerPixel() * Width bytes each.
    QByteArray FSamples;
    QByteArray FSource;
};
