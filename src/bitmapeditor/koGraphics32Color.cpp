#include "bitmapeditor/koGraphics32Color.h"

#include "platform/Exceptions.h"

#include <algorithm>
#include <cmath>

namespace {

int Max3(int a, int b, int c) { return std::max(a, std::max(b, c)); }
int Min3(int a, int b, int c) { return std::min(a, std::min(b, c)); }

int ClampByte(int v) { return std::clamp(v, 0, 255); }

bool Is32Bit(const QImage& image)
{
    return image.format() == QImage::Format_ARGB32 || image.format() == QImage::Format_RGB32;
}

void XorLinePlain(TColor32* dst, int count, TColor32 value)
{
    for (int i = 0; i < count; ++i) dst[i] ^= value;
}

void XorLineFromEnd(TColor32* dst, int count, TColor32 value)
{
    for (int i = count - 1; i >= 0; --i) dst[i] ^= value;
}

void XorCopyLinePlain(const TColor32* src, TColor32* dst, int count, TColor32 value)
{
    for (int i = 0; i < count; ++i) dst[i] = src[i] ^ value;
}

} // namespace

int Lightness(int r, int g, int b)
{
    return (Max3(r, g, b) + Min3(r, g, b)) >> 1;
}

int Lightness(TColor32 color)
{
    return Lightness(RedComponent(color), GreenComponent(color), BlueComponent(color));
}

int Luminance(TColor32 color)
{
    return (RedComponent(color) * 54 + GreenComponent(color) * 184 + BlueComponent(color) * 18) >> 8;
}

int Average(TColor32 color)
{
    return (RedComponent(color) + GreenComponent(color) + BlueComponent(color)) / 3;
}

int HueValue(TColor32 color)
{
    const int r = RedComponent(color), g = GreenComponent(color), b = BlueComponent(color);
    const int mx = Max3(r, g, b), mn = Min3(r, g, b);
    if (mx == mn) return 0;
    const int d = (mx - mn) * 255;
    int v;
    if (r == mx)
        v = ((g - b) * 65025) / d;
    else if (g == mx)
        v = ((b - r) * 65025) / d + 510;
    else
        v = ((r - g) * 65025) / d + 1020;
    v /= 6;
    if (v < 0) v += 510;
    return v & 255;
}

int SaturationValue(TColor32 color)
{
    const int r = RedComponent(color), g = GreenComponent(color), b = BlueComponent(color);
    const int mx = Max3(r, g, b), mn = Min3(r, g, b);
    if (mx == mn) return 0;
    const int d = (mx - mn) * 255;
    // Not the same boundary as RGBtoHSL (< 127 here, <= 127 there); both are kept as they are.
    if ((mx + mn) / 2 < 127) return d / (mx + mn);
    return d / (510 - mx - mn);
}

TColor32 ColorToGray(TColor32 color)
{
    const int y = Luminance(color);
    return Color32(y, y, y, AlphaComponent(color));
}

void RGBtoHSL(TColor32 color, uint8_t& h, uint8_t& s, uint8_t& l)
{
    const int r = RedComponent(color), g = GreenComponent(color), b = BlueComponent(color);
    const int mx = Max3(r, g, b), mn = Min3(r, g, b);
    const int lightness = (mx + mn) / 2;
    l = uint8_t(lightness);
    if (mx == mn) {
        h = 0;
        s = 0;
        return;
    }
    const int d = (mx - mn) * 255;
    s = uint8_t(lightness <= 127 ? d / (mx + mn) : d / (510 - mx - mn));
    const int e = d * 6;
    int hue;
    if (r == mx)
        hue = ((g - b) * 65025) / e;
    else if (g == mx)
        hue = ((b - r) * 65025) / e + 85;
    else
        hue = ((r - g) * 65025) / e + 170;
    // 510, not 256: a slightly negative hue lands two below the top of the byte range.
    if (hue < 0) hue += 510;
    h = uint8_t(hue & 255);
}

TColor32 HSLtoRGB(int h, int s, int l)
{
    const int v = l <= 127 ? (l * (s + 256)) >> 8 : l + s - (l * s) / 255;
    if (v <= 0) return 0;
    const int m = 2 * l - v;
    const int h6 = h * 6;
    const int sextant = h6 >> 8;
    const int f = h6 & 255;
    const int x = (f * (v - m)) >> 8;
    const int up = (m + x) & 0xFF;
    const int down = (v - x) & 0xFF;
    const int vb = v & 0xFF, mb = m & 0xFF;
    switch (sextant) {
    case 0: return Color32(vb, up, mb, 0);
    case 1: return Color32(down, vb, mb, 0);
    case 2: return Color32(mb, vb, up, 0);
    case 3: return Color32(mb, down, vb, 0);
    case 4: return Color32(up, mb, vb, 0);
    default: return Color32(vb, mb, down, 0);
    }
}

void Sepia(TBitmap32& bitmap, int depth)
{
    const int depth2 = int(std::lround(double(depth) * 16.0 / 9.0));
    TColor32* p = bitmap.Bits();
    const size_t n = size_t(bitmap.Width()) * size_t(bitmap.Height());
    for (size_t i = 0; i < n; ++i) {
        const int g = Lightness(p[i]);
        p[i] = Color32(ClampByte(g + depth2), ClampByte(g + depth), g, AlphaComponent(p[i]));
    }
    bitmap.Changed();
}

void Desaturate(TBitmap32& bitmap)
{
    TColor32* p = bitmap.Bits();
    const size_t n = size_t(bitmap.Width()) * size_t(bitmap.Height());
    for (size_t i = 0; i < n; ++i)
        if (AlphaComponent(p[i]) != 0) p[i] = ColorToGray(p[i]);
}

TColor32 DesaturateColor(TColor32 color, int amount)
{
    const int gray = Luminance(color);
    if (amount <= 0) return color;
    if (amount >= 255) return Color32(gray, gray, gray, AlphaComponent(color));
    const int grayPart = gray * amount / 255;
    auto mix = [&](int c) { return grayPart + c * (255 - amount) / 255; };
    return Color32(mix(RedComponent(color)), mix(GreenComponent(color)), mix(BlueComponent(color)),
                   AlphaComponent(color));
}

void DesaturateBitmap(QImage& bitmap, int amount)
{
    ATELIER_ASSERT(Is32Bit(bitmap));
    for (int y = 0; y < bitmap.height(); ++y) {
        auto* line = reinterpret_cast<TColor32*>(bitmap.scanLine(y));
        for (int x = 0; x < bitmap.width(); ++x) line[x] = DesaturateColor(line[x], amount);
    }
}

namespace {

TColor32 AdjustPixel(TColor32 color, int deltaHue, int deltaSaturation, int deltaLightness)
{
    uint8_t h, s, l;
    RGBtoHSL(color, h, s, l);
    const int hue = (h + deltaHue) & 255;
    const int saturation = ClampByte(s + deltaSaturation);
    const int lightness = ClampByte(l + deltaLightness);
    return SetAlpha(HSLtoRGB(hue, saturation, lightness), AlphaComponent(color));
}

} // namespace

void AdjustHSL(const TBitmap32& source, TBitmap32& dest, int16_t deltaHue, int16_t deltaSaturation,
               int16_t deltaLightness)
{
    if (source.Empty()) return;
    dest.SetSize(source.Width(), source.Height());
    const TColor32* src = source.Bits();
    TColor32* dst = dest.Bits();
    const size_t n = size_t(source.Width()) * size_t(source.Height());
    for (size_t i = 0; i < n; ++i) dst[i] = AdjustPixel(src[i], deltaHue, deltaSaturation, deltaLightness);
    dest.Changed();
}

void AdjustHSLBitmap(const QImage& source, QImage& dest, int16_t deltaHue, int16_t deltaSaturation,
                     int16_t deltaLightness)
{
    if (source.width() == 0 || source.height() == 0) return;
    ATELIER_ASSERT(Is32Bit(source));
    if (dest.size() != source.size() || !Is32Bit(dest)) {
        dest = QImage(source.size(), QImage::Format_ARGB32);
        dest.fill(0);
    }
    for (int y = 0; y < source.height(); ++y) {
        TColor32* dst = reinterpret_cast<TColor32*>(dest.scanLine(y));
        const TColor32* src = reinterpret_cast<const TColor32*>(source.constScanLine(y));
        for (int x = 0; x < source.width(); ++x)
            if (AlphaComponent(src[x]) != 0)
                dst[x] = AdjustPixel(src[x], deltaHue, deltaSaturation, deltaLightness);
    }
}

void BuildLevelsTable(TLevelsTable& table, int8_t brightness, int8_t contrast, int8_t gamma,
                      uint8_t inLow, uint8_t inMid, uint8_t inHigh, uint8_t outLow, uint8_t outHigh)
{
    // Single precision on purpose: the table must match entry for entry.
    const float b = float(brightness) / 100.0f;
    const float c = float(contrast) / 100.0f;
    const float g = std::pow(10.0f, float(gamma) / 200.0f);
    const float il = float(inLow) / 255.0f;
    const float im = float(inMid) / 255.0f;
    const float ih = float(inHigh) / 255.0f;
    const float ol = float(outLow) / 255.0f;
    const float oh = float(outHigh) / 255.0f;
    for (int i = 0; i < 256; ++i) {
        const float x = float(i) / 255.0f;
        if (x < il) {
            table[size_t(i)] = 0;
            continue;
        }
        if (x > ih) {
            table[size_t(i)] = 255;
            continue;
        }
        const float t = x < im ? (x - il) / 2.0f / (im - il) : (x - im) / 2.0f / (ih - im) + 0.5f;
        float v = std::pow(t, g);
        v = (1.0f + c) * (v - 0.5f) + 0.5f + b;
        if (v < ol)
            v = ol;
        else if (v > oh)
            v = oh;
        // Halves to even (the default rounding mode), not away from zero.
        table[size_t(i)] = uint8_t(std::nearbyint(v * 255.0f));
    }
}

void TColorBindings::RebindAll()
{
    XorLine = XorLineImplementations.empty() ? nullptr : XorLineImplementations.back();
    XorCopyLine = XorCopyLineImplementations.empty() ? nullptr : XorCopyLineImplementations.back();
}

TColorBindings& ColorBindings()
{
    static TColorBindings bindings = [] {
        TColorBindings result;
        result.Name = QStringLiteral("koGraphics32Color bindings");
        result.XorLineImplementations = {&XorLinePlain, &XorLineFromEnd};
        result.XorCopyLineImplementations = {&XorCopyLinePlain};
        result.RebindAll();
        return result;
    }();
    return bindings;
}

void RegisterColorBindings()
{
    ColorBindings();
}

void XorLine(TColor32* dst, int count, TColor32 value)
{
    ColorBindings().XorLine(dst, count, value);
}

void XorCopyLine(const TColor32* src, TColor32* dst, int count, TColor32 value)
{
    ColorBindings().XorCopyLine(src, dst, count, value);
}

void koGraphics32Color_Initialize()
{
    RegisterColorBindings();
}

void koGraphics32Color_Finalize() {}
