// The picture layer's common ground: colours as the resource formats store them, pixel formats, and
// the abstract picture that every picture class (bitmap, icon, PNG, JPEG, ...) derives from.
#pragma once

#include "Exceptions.h"

#include <QImage>
#include <QMetaType>
#include <QRect>
#include <cstdint>
#include <memory>
#include <vector>

class QPainter;
class TStream;

// Whether a control draws a border around itself.
enum TBorderStyle { bsNone, bsSingle };

// A colour as Windows stores it: 0x00BBGGRR, red in the low byte. The top byte marks special values
// (clNone, clDefault) and system colours (0x80000000 + index, or 0xFF000000 + index).
struct TColor {
    uint32_t Value = 0;
    constexpr TColor() = default;
    constexpr explicit TColor(uint32_t value) : Value(value) {}
    constexpr operator uint32_t() const { return Value; }
};
Q_DECLARE_METATYPE(TColor)

constexpr TColor clBlack{0x000000};
constexpr TColor clWhite{0xFFFFFF};
constexpr TColor clNone{0x1FFFFFFF};
constexpr TColor clDefault{0x20000000};

constexpr TColor RGBColor(int r, int g, int b)
{
    return TColor(uint32_t(r & 0xFF) | (uint32_t(g & 0xFF) << 8) | (uint32_t(b & 0xFF) << 16));
}
constexpr int GetRValue(TColor c) { return int(c.Value & 0xFF); }
constexpr int GetGValue(TColor c) { return int((c.Value >> 8) & 0xFF); }
constexpr int GetBValue(TColor c) { return int((c.Value >> 16) & 0xFF); }
// System colours become their RGB value (the classic defaults); plain colours lose the top byte.
TColor ColorToRGB(TColor Color);
// To and from Qt's 0xAARRGGBB (the alpha given, or opaque).
QRgb ColorToQRgb(TColor Color, int Alpha = 255);
TColor QRgbToColor(QRgb Rgb);

using TColorArray = std::vector<TColor>;

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum TTransparentMode { tmAuto, tmFixed };
// How the fourth byte of 32-bit pixels counts: not at all, as straight alpha, or premultiplied.
enum TAlphaFormat { afIgnored, afDefined, afPremultiplied };

// "Bitmap image is not valid" and the other errors of damaged or unsupported picture data.
ATELIER_EXCEPTION_CLASS(EInvalidGraphic, Exception)
ATELIER_EXCEPTION_CLASS(EInvalidGraphicOperation, Exception)

// The abstract picture. Subclasses keep their own storage; QImage is only how they show themselves.
class TGraphic {
public:
    virtual ~TGraphic() = default;
    // The class name the picture classes have on the platform ("TBitmap", "TPngImage", ...): captions
    // are made from it.
    virtual const char* ClassName() const = 0;
    virtual std::unique_ptr<TGraphic> Clone() const = 0;

    virtual bool Empty() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Reads the picture from the stream's position; damaged data raises EInvalidGraphic (or a read
    // error naming the offset) and leaves the picture empty.
    virtual void LoadFromStream(TStream& Stream) = 0;
    virtual void SaveToStream(TStream& Stream) const = 0;

    // The pixels as they are shown: Format_ARGB32 (straight alpha). Transparency (Transparent with its
    // colour) is applied: the transparent colour's pixels get alpha 0.
    virtual QImage ToQImage() const = 0;
    // Stretches the picture over Rect without smoothing, so pixels stay crisp when enlarged.
    virtual void Draw(QPainter& Canvas, const QRect& Rect) const;

    bool Transparent() const { return FTransparent; }
    virtual void SetTransparent(bool Value) { FTransparent = Value; }

protected:
    bool FTransparent = false;
};

// The class-level face of a picture class: what a registry of image formats creates.
class TGraphicClassInfo {
public:
    virtual ~TGraphicClassInfo() = default;
    virtual const char* ClassName() const = 0;
    virtual std::unique_ptr<TGraphic> Create() const = 0;
};
using TGraphicClass = const TGraphicClassInfo*;

template <class T>
class TGraphicClassOf final : public TGraphicClassInfo {
public:
    const char* ClassName() const override { return T::StaticClassName(); }
    std::unique_ptr<TGraphic> Create() const override { return std::make_unique<T>(); }
};

template <class T>
TGraphicClass GraphicClassOf()
{
    static const TGraphicClassOf<T> info;
    return &info;
}
