#include "Bitmap.h"

#include "BinaryReader.h"
#include "Streams.h"

#include <QtEndian>
#include <cstring>
#include <limits>

namespace {

// No real picture comes near these; RLE data could otherwise ask for any size with a few bytes, and a
// zero-area header for any number of empty rows.
constexpr int64_t MaxDimension = int64_t(1) << 20;
constexpr int64_t MaxPixels = int64_t(1) << 28;

constexpr uint32_t LCS_sRGB = 0x73524742;          // 'sRGB'
constexpr uint32_t PROFILE_LINKED = 0x4C494E4B;    // 'LINK'
constexpr uint32_t PROFILE_EMBEDDED = 0x4D424544;  // 'MBED'
// Offsets in TBitmapInfo::Extra (header offset 56 on) of the V5 fields a changed save rewrites.
constexpr int ExtraCSType = 0;
constexpr int ExtraProfileData = 56;
constexpr int ExtraProfileSize = 60;

QString Hex(uint64_t value) { return QStringLiteral("0x") + QString::number(value, 16).toUpper(); }

[[noreturn]] void Fail(const QString& message) { throw EInvalidGraphic(message); }

int64_t RowBytes(int64_t width, int bits) { return (width * bits + 31) / 32 * 4; }

int BitsOf(TPixelFormat format)
{
    switch (format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    default: return 32;
    }
}

bool IsPaletteFormat(TPixelFormat format) { return format == pf1bit || format == pf4bit || format == pf8bit; }

TPixelFormat Stored(TPixelFormat format) { return format == pfDevice || format == pfCustom ? pf32bit : format; }

std::array<uint32_t, 3> StandardMasks(TPixelFormat format)
{
    switch (format) {
    case pf15bit: return {0x7C00, 0x03E0, 0x001F};
    case pf16bit: return {0xF800, 0x07E0, 0x001F};
    default: return {0x00FF0000, 0x0000FF00, 0x000000FF};
    }
}

bool HasStandardMasks(const std::array<uint32_t, 4>& masks, TPixelFormat format)
{
    const auto standard = StandardMasks(format);
    return masks[0] == standard[0] && masks[1] == standard[1] && masks[2] == standard[2];
}

// As the screen shows them: the stored bits on top, the low bits zero (5-5-5 white is 0xF8F8F8).
int Expand5(int v) { return v << 3; }
int Expand6(int v) { return v << 2; }

uint16_t Pack15(TColor c) { return uint16_t(((GetRValue(c) >> 3) << 10) | ((GetGValue(c) >> 3) << 5) | (GetBValue(c) >> 3)); }
uint16_t Pack16(TColor c) { return uint16_t(((GetRValue(c) >> 3) << 11) | ((GetGValue(c) >> 2) << 5) | (GetBValue(c) >> 3)); }

uint16_t Word(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
void PutWord(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

int IndexAt(const uint8_t* row, int x, int bits)
{
    switch (bits) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
    default: return row[x];
    }
}

void PutIndex(uint8_t* row, int x, int bits, int index)
{
    switch (bits) {
    case 1: {
        const uint8_t bit = uint8_t(0x80 >> (x & 7));
        row[x >> 3] = index & 1 ? row[x >> 3] | bit : row[x >> 3] & ~bit;
        break;
    }
    case 4:
        row[x >> 1] = (x & 1) ? uint8_t((row[x >> 1] & 0xF0) | (index & 0x0F))
                              : uint8_t((row[x >> 1] & 0x0F) | ((index & 0x0F) << 4));
        break;
    default: row[x] = uint8_t(index);
    }
}

// A bit-field mask: where it starts and how many bits it has; contiguous or zero.
struct TMaskField {
    int Shift = 0;
    int Bits = 0;
    uint32_t Mask = 0;
    int Extract(uint32_t pixel) const
    {
        if (Bits == 0) return 0;
        const uint32_t v = (pixel & Mask) >> Shift;
        if (Bits >= 8) return int(v >> (Bits - 8));
        const uint32_t max = (1u << Bits) - 1;
        return int((v * 255 + max / 2) / max);
    }
};

TMaskField MaskField(uint32_t mask)
{
    TMaskField f;
    f.Mask = mask;
    if (mask == 0) return f;
    while (!((mask >> f.Shift) & 1)) ++f.Shift;
    while (f.Shift + f.Bits < 32 && ((mask >> (f.Shift + f.Bits)) & 1)) ++f.Bits;
    return f;
}

bool Contiguous(uint32_t mask)
{
    if (mask == 0) return true;
    const uint32_t low = mask & (~mask + 1); // lowest set bit
    const uint32_t filled = mask + low;      // carries through the run
    return (filled & mask) == 0;
}

// What a changed bitmap is written as.
struct TLayout {
    uint32_t HeaderSize = bhInfo;
    uint32_t Compression = BI_RGB;
    std::array<uint32_t, 4> Masks{};
    int MaskBytes = 0; // masks after a 40-byte header
    int PaletteCount = 0;
    int EntrySize = 4;
    uint32_t ClrUsed = 0;
    int64_t ImageSize = 0;
    int64_t OffBits = 0;
    int64_t FileSize = 0;
};

} // namespace

TColorArray DefaultPalette(int BitCount)
{
    switch (BitCount) {
    case 1: return {clBlack, clWhite};
    case 4:
        return {RGBColor(0, 0, 0),       RGBColor(128, 0, 0),   RGBColor(0, 128, 0),   RGBColor(128, 128, 0),
                RGBColor(0, 0, 128),     RGBColor(128, 0, 128), RGBColor(0, 128, 128), RGBColor(192, 192, 192),
                RGBColor(128, 128, 128), RGBColor(255, 0, 0),   RGBColor(0, 255, 0),   RGBColor(255, 255, 0),
                RGBColor(0, 0, 255),     RGBColor(255, 0, 255), RGBColor(0, 255, 255), RGBColor(255, 255, 255)};
    case 8: {
        // Our halftone palette: the 16 VGA colours, a 6x6x6 colour cube (levels 0, 51, ... 255), then 24
        // greys between the cube's (8, 18, ... 238).
        TColorArray palette = DefaultPalette(4);
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b) palette.push_back(RGBColor(r * 51, g * 51, b * 51));
        for (int i = 0; i < 24; ++i) palette.push_back(RGBColor(8 + i * 10, 8 + i * 10, 8 + i * 10));
        return palette;
    }
    default: return {};
    }
}

int NearestPaletteIndex(const TColorArray& Palette, TColor Color)
{
    const TColor c = ColorToRGB(Color);
    int best = -1;
    int bestDistance = std::numeric_limits<int>::max();
    for (int i = 0; i < int(Palette.size()); ++i) {
        const TColor p = ColorToRGB(Palette[size_t(i)]);
        const int dr = GetRValue(p) - GetRValue(c), dg = GetGValue(p) - GetGValue(c), db = GetBValue(p) - GetBValue(c);
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
            if (distance == 0) break;
        }
    }
    return best;
}

// ---- storage and pixels ----

TBitmap::TBitmap(int Width, int Height, TPixelFormat Format)
{
    ATELIER_ASSERT(Width >= 0 && Height >= 0);
    FWidth = Width;
    FHeight = Height;
    FPixelFormat = Stored(Format);
    if (IsPaletteFormat(FPixelFormat)) FPalette = DefaultPalette(BitCount());
    Allocate();
}

void TBitmap::Allocate()
{
    if (FWidth > MaxDimension || FHeight > MaxDimension || int64_t(FWidth) * FHeight > MaxPixels)
        throw EInvalidGraphicOperation(QStringLiteral("A bitmap of %1 x %2 pixels is too large.").arg(FWidth).arg(FHeight));
    FBits = QByteArray(qsizetype(int64_t(RowSize()) * FHeight), '\0');
}

int TBitmap::BitCount() const { return BitsOf(FPixelFormat); }

int TBitmap::RowSize() const { return int(RowBytes(FWidth, BitCount())); }

void TBitmap::SetWidth(int Value) { SetSize(Value, FHeight); }

void TBitmap::SetHeight(int Value) { SetSize(FWidth, Value); }

void TBitmap::SetSize(int Width, int Height)
{
    ATELIER_ASSERT(Width >= 0 && Height >= 0);
    if (Width == FWidth && Height == FHeight) return;
    TBitmap old = *this;
    FWidth = Width;
    FHeight = Height;
    Touch();
    Allocate();
    const int w = std::min(Width, old.FWidth), h = std::min(Height, old.FHeight);
    const int bits = BitCount();
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = old.ScanLine(y);
        uint8_t* dst = reinterpret_cast<uint8_t*>(FBits.data()) + int64_t(y) * RowSize();
        if (bits >= 8)
            std::memcpy(dst, src, size_t(w) * size_t(bits / 8));
        else
            for (int x = 0; x < w; ++x) PutIndex(dst, x, bits, IndexAt(src, x, bits));
    }
}

const uint8_t* TBitmap::ScanLine(int y) const
{
    ATELIER_ASSERT(y >= 0 && y < FHeight);
    return reinterpret_cast<const uint8_t*>(FBits.constData()) + int64_t(y) * RowSize();
}

uint8_t* TBitmap::ScanLine(int y)
{
    ATELIER_ASSERT(y >= 0 && y < FHeight);
    Touch();
    return reinterpret_cast<uint8_t*>(FBits.data()) + int64_t(y) * RowSize();
}

TColor TBitmap::Pixel(int x, int y) const
{
    ATELIER_ASSERT(x >= 0 && x < FWidth);
    const uint8_t* row = ScanLine(y);
    switch (FPixelFormat) {
    case pf1bit:
    case pf4bit:
    case pf8bit: {
        const size_t index = size_t(IndexAt(row, x, BitCount()));
        return index < FPalette.size() ? FPalette[index] : clBlack;
    }
    case pf15bit: {
        const int w = Word(row + 2 * x);
        return RGBColor(Expand5((w >> 10) & 31), Expand5((w >> 5) & 31), Expand5(w & 31));
    }
    case pf16bit: {
        const int w = Word(row + 2 * x);
        return RGBColor(Expand5((w >> 11) & 31), Expand6((w >> 5) & 63), Expand5(w & 31));
    }
    case pf24bit: return RGBColor(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    default: return RGBColor(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
    }
}

void TBitmap::SetPixel(int x, int y, TColor Color)
{
    ATELIER_ASSERT(x >= 0 && x < FWidth);
    const TColor c = ColorToRGB(Color);
    uint8_t* row = ScanLine(y);
    switch (FPixelFormat) {
    case pf1bit:
    case pf4bit:
    case pf8bit: PutIndex(row, x, BitCount(), std::max(0, NearestPaletteIndex(FPalette, c))); break;
    case pf15bit: PutWord(row + 2 * x, Pack15(c)); break;
    case pf16bit: PutWord(row + 2 * x, Pack16(c)); break;
    case pf24bit:
        row[3 * x] = uint8_t(GetBValue(c));
        row[3 * x + 1] = uint8_t(GetGValue(c));
        row[3 * x + 2] = uint8_t(GetRValue(c));
        break;
    default: // the alpha byte stays
        row[4 * x] = uint8_t(GetBValue(c));
        row[4 * x + 1] = uint8_t(GetGValue(c));
        row[4 * x + 2] = uint8_t(GetRValue(c));
    }
}

int TBitmap::PixelIndex(int x, int y) const
{
    ATELIER_ASSERT(IsPaletteFormat(FPixelFormat) && x >= 0 && x < FWidth);
    return IndexAt(ScanLine(y), x, BitCount());
}

void TBitmap::SetPixelIndex(int x, int y, int Index)
{
    ATELIER_ASSERT(IsPaletteFormat(FPixelFormat) && x >= 0 && x < FWidth);
    ATELIER_ASSERT(Index >= 0 && Index < (1 << BitCount()));
    PutIndex(ScanLine(y), x, BitCount(), Index);
}

int TBitmap::PixelAlpha(int x, int y) const
{
    ATELIER_ASSERT(FPixelFormat == pf32bit && x >= 0 && x < FWidth);
    return ScanLine(y)[4 * x + 3];
}

void TBitmap::SetPixelAlpha(int x, int y, int Alpha)
{
    ATELIER_ASSERT(FPixelFormat == pf32bit && x >= 0 && x < FWidth);
    ScanLine(y)[4 * x + 3] = uint8_t(Alpha);
}

void TBitmap::SetPalette(const TColorArray& Value)
{
    ATELIER_ASSERT(IsPaletteFormat(FPixelFormat));
    ATELIER_ASSERT(Value.size() <= size_t(1) << BitCount());
    Touch();
    FPalette = Value;
}

void TBitmap::CopyPixels(const TBitmap& Source)
{
    ATELIER_ASSERT(Source.FWidth == FWidth && Source.FHeight == FHeight);
    Touch();
    const bool palette = IsPaletteFormat(FPixelFormat);
    // Nearest entries of recent colours, direct-mapped: a fixed 512 KiB however many colours a photo has.
    struct TSlot {
        uint32_t Color = 0xFFFFFFFFu; // no 24-bit colour
        int Index = 0;
    };
    std::vector<TSlot> nearest(palette ? size_t(1) << 16 : 0);
    std::vector<std::array<int, 3>> entries; // the palette's channels, as NearestPaletteIndex sees them
    for (const TColor p : FPalette) {
        const TColor rgb = ColorToRGB(p);
        entries.push_back({GetRValue(rgb), GetGValue(rgb), GetBValue(rgb)});
    }
    auto nearestIndex = [&](TColor c) {
        int best = 0, bestDistance = std::numeric_limits<int>::max();
        for (int i = 0; i < int(entries.size()) && bestDistance > 0; ++i) {
            const auto& e = entries[size_t(i)];
            const int dr = e[0] - GetRValue(c), dg = e[1] - GetGValue(c), db = e[2] - GetBValue(c);
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) {
                best = i;
                bestDistance = distance;
            }
        }
        return best;
    };
    const int bits = BitCount();
    for (int y = 0; y < FHeight; ++y) {
        uint8_t* row = reinterpret_cast<uint8_t*>(FBits.data()) + int64_t(y) * RowSize();
        const uint8_t* src = Source.ScanLine(y);
        if (Source.FPixelFormat == FPixelFormat && !palette) {
            std::memcpy(row, src, size_t(RowSize()));
            continue;
        }
        for (int x = 0; x < FWidth; ++x) {
            const TColor c = Source.Pixel(x, y);
            if (palette) {
                TSlot& slot = nearest[(c.Value * 2654435761u) >> 16];
                if (slot.Color != c.Value) slot = {c.Value, nearestIndex(c)};
                PutIndex(row, x, bits, slot.Index);
            } else {
                SetPixel(x, y, c);
                // Pixels of a format without alpha are opaque.
                if (FPixelFormat == pf32bit) row[4 * x + 3] = Source.FPixelFormat == pf32bit ? src[4 * x + 3] : 255;
            }
        }
    }
}

void TBitmap::Fill(TColor Color)
{
    Touch();
    if (Empty()) return;
    for (int x = 0; x < FWidth; ++x) SetPixel(x, 0, Color);
    for (int y = 1; y < FHeight; ++y) std::memcpy(ScanLine(y), ScanLine(0), size_t(RowSize()));
}

void TBitmap::SetPixelFormat(TPixelFormat Value)
{
    Value = Stored(Value);
    if (Value == FPixelFormat) return;
    TBitmap result(FWidth, FHeight, Value);
    if (IsPaletteFormat(Value) && IsPaletteFormat(FPixelFormat) && BitsOf(Value) > BitCount()) {
        // Upward between palette formats: the same palette and indices.
        result.FPalette = FPalette;
        for (int y = 0; y < FHeight; ++y) {
            uint8_t* row = reinterpret_cast<uint8_t*>(result.FBits.data()) + int64_t(y) * result.RowSize();
            for (int x = 0; x < FWidth; ++x) PutIndex(row, x, BitsOf(Value), PixelIndex(x, y));
        }
    } else {
        result.CopyPixels(*this);
    }
    FPixelFormat = Value;
    FPalette = std::move(result.FPalette);
    FBits = std::move(result.FBits);
    if (Value != pf32bit) FAlphaFormat = afIgnored;
    Touch();
}

TColor TBitmap::TransparentColor() const
{
    if (FTransparentMode == tmFixed) return FTransparentColor;
    return Empty() ? clDefault : Pixel(0, FHeight - 1);
}

void TBitmap::SetTransparentColor(TColor Value)
{
    FTransparentColor = Value;
    FTransparentMode = Value == clDefault ? tmAuto : tmFixed;
}

// ---- QImage ----

QImage TBitmap::ToQImage() const
{
    if (Empty()) return QImage();
    QImage image(FWidth, FHeight, QImage::Format_ARGB32);
    std::vector<QRgb> table;
    for (const TColor c : FPalette) table.push_back(ColorToQRgb(c));
    table.resize(size_t(1) << std::min(BitCount(), 8), qRgba(0, 0, 0, 255));
    bool alpha = false;
    if (FPixelFormat == pf32bit && FAlphaFormat != afIgnored)
        for (qsizetype i = 3; i < FBits.size() && !alpha; i += 4) alpha = FBits[i] != 0;
    const int bits = BitCount();
    for (int y = 0; y < FHeight; ++y) {
        const uint8_t* row = ScanLine(y);
        QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < FWidth; ++x) {
            if (bits <= 8) {
                out[x] = table[size_t(IndexAt(row, x, bits))];
            } else if (FPixelFormat == pf32bit) {
                const uint8_t* p = row + 4 * x;
                int r = p[2], g = p[1], b = p[0];
                const int a = alpha ? p[3] : 255;
                if (alpha && FAlphaFormat == afPremultiplied && a > 0 && a < 255) {
                    r = std::min(255, (r * 255 + a / 2) / a);
                    g = std::min(255, (g * 255 + a / 2) / a);
                    b = std::min(255, (b * 255 + a / 2) / a);
                }
                out[x] = qRgba(r, g, b, a);
            } else {
                out[x] = ColorToQRgb(Pixel(x, y));
            }
        }
    }
    if (FTransparent) {
        const QRgb key = ColorToQRgb(TransparentColor()) & 0x00FFFFFFu;
        for (int y = 0; y < FHeight; ++y) {
            QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < FWidth; ++x)
                if ((out[x] & 0x00FFFFFFu) == key) out[x] &= 0x00FFFFFFu;
        }
    }
    return image;
}

TBitmap TBitmap::FromQImage(const QImage& Image)
{
    if (Image.isNull()) return TBitmap();
    const bool alpha = Image.hasAlphaChannel();
    const QImage source = Image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    TBitmap result(source.width(), source.height(), alpha ? pf32bit : pf24bit);
    for (int y = 0; y < source.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        uint8_t* row = result.ScanLine(y);
        for (int x = 0; x < source.width(); ++x) {
            uint8_t* p = row + x * (alpha ? 4 : 3);
            p[0] = uint8_t(qBlue(in[x]));
            p[1] = uint8_t(qGreen(in[x]));
            p[2] = uint8_t(qRed(in[x]));
            if (alpha) p[3] = uint8_t(qAlpha(in[x]));
        }
    }
    if (alpha) result.FAlphaFormat = afDefined;
    return result;
}

// ---- reading ----

namespace {

// The DIB's pixel data after its header: everything LoadFromStream found, before it becomes a TBitmap.
struct TDecoded {
    TPixelFormat Format = pf24bit;
    int Width = 0;
    int Height = 0;
    TColorArray Palette;
    QByteArray Bits; // top-down rows
    TAlphaFormat AlphaFormat = afIgnored;
};

void DecodeRLE(const TBinaryReader& data, const TBitmapInfo& info, TDecoded& out)
{
    const int bits = info.BitCount;
    const int64_t rowSize = RowBytes(info.Width, bits);
    out.Bits = QByteArray(qsizetype(rowSize * info.Height), '\0');
    uint8_t* bits8 = reinterpret_cast<uint8_t*>(out.Bits.data());
    TBinaryReader r = data;
    int64_t x = 0, y = 0; // y counts from the bottom row
    auto row = [&](int64_t at) {
        if (y >= info.Height)
            Fail(QStringLiteral("The RLE data at offset %1 runs past the last row of the bitmap.").arg(r.Base() + at));
        return bits8 + (info.Height - 1 - y) * rowSize;
    };
    while (!r.AtEnd()) {
        const int64_t at = r.Offset();
        const int count = r.ReadU8("The RLE data");
        const int value = r.ReadU8("The RLE data");
        if (count > 0) {
            if (x + count > info.Width)
                Fail(QStringLiteral("The RLE run at offset %1 runs past the end of the row.").arg(r.Base() + at));
            uint8_t* p = row(at);
            for (int i = 0; i < count; ++i, ++x)
                PutIndex(p, int(x), bits, bits == 8 ? value : (i & 1 ? value & 0x0F : value >> 4));
        } else if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // delta
            x += r.ReadU8("The RLE delta");
            y += r.ReadU8("The RLE delta");
            if (x > info.Width || y > info.Height)
                Fail(QStringLiteral("The RLE delta at offset %1 moves past the bitmap.").arg(r.Base() + at));
        } else { // absolute run, padded to a word
            const int bytes = bits == 8 ? value : (value + 1) / 2;
            const QByteArray run = r.ReadBytes(bytes + (bytes & 1), "The RLE absolute run");
            if (x + value > info.Width)
                Fail(QStringLiteral("The RLE run at offset %1 runs past the end of the row.").arg(r.Base() + at));
            uint8_t* p = row(at);
            for (int i = 0; i < value; ++i, ++x) {
                const uint8_t b = uint8_t(run[bits == 8 ? i : i / 2]);
                PutIndex(p, int(x), bits, bits == 8 ? b : (i & 1 ? b & 0x0F : b >> 4));
            }
        }
    }
}

void DecodeMasked(const TBinaryReader& pixels, const TBitmapInfo& info, int64_t rowSize, TDecoded& out)
{
    const TMaskField red = MaskField(info.Masks[0]), green = MaskField(info.Masks[1]),
                     blue = MaskField(info.Masks[2]), alpha = MaskField(info.Masks[3]);
    out.Format = info.Masks[3] ? pf32bit : pf24bit;
    const int bytes = out.Format == pf32bit ? 4 : 3;
    const int64_t outRow = RowBytes(info.Width, bytes * 8);
    out.Bits = QByteArray(qsizetype(outRow * info.Height), '\0');
    bool anyAlpha = false;
    for (int y = 0; y < info.Height; ++y) {
        const int64_t fileRow = info.TopDown ? y : info.Height - 1 - y;
        uint8_t* p = reinterpret_cast<uint8_t*>(out.Bits.data()) + y * outRow;
        for (int x = 0; x < info.Width; ++x, p += bytes) {
            const int64_t at = fileRow * rowSize + int64_t(x) * (info.BitCount / 8);
            const uint32_t v = info.BitCount == 16 ? pixels.U16(at) : pixels.U32(at);
            p[0] = uint8_t(blue.Extract(v));
            p[1] = uint8_t(green.Extract(v));
            p[2] = uint8_t(red.Extract(v));
            if (bytes == 4) {
                p[3] = uint8_t(alpha.Extract(v));
                anyAlpha = anyAlpha || p[3] != 0;
            }
        }
    }
    out.AlphaFormat = anyAlpha ? afDefined : afIgnored;
}

} // namespace

void TBitmap::LoadFromStream(TStream& Stream)
{
    const QByteArray file = Stream.ReadBytes(Stream.Size() - Stream.Position());
    try {
        const TBinaryReader r(file);
        if (r.U16(0, "The bitmap file header") != 0x4D42) Fail(QStringLiteral("Bitmap image is not valid"));
        const uint32_t offBits = r.U32(10, "The bitmap file header");
        TBitmapInfo info;
        info.HeaderSize = r.U32(14, "The bitmap info header");
        switch (info.HeaderSize) {
        case bhCore: case bhInfo: case bhV2: case bhV3: case bhOS2: case bhV4: case bhV5: break;
        default:
            Fail(QStringLiteral("The bitmap info header at offset 14 has an unsupported size of %1 bytes.")
                     .arg(info.HeaderSize));
        }
        const TBinaryReader h = r.Sub(14, info.HeaderSize, "The bitmap info header");
        int64_t height = 0;
        if (info.HeaderSize == bhCore) {
            info.Width = h.U16(4);
            height = h.U16(6);
            info.Planes = h.U16(8);
            info.BitCount = h.U16(10);
        } else {
            info.Width = int32_t(h.U32(4));
            height = int32_t(h.U32(8));
            info.Planes = h.U16(12);
            info.BitCount = h.U16(14);
            info.Compression = h.U32(16);
            info.SizeImage = h.U32(20);
            info.XPelsPerMeter = int32_t(h.U32(24));
            info.YPelsPerMeter = int32_t(h.U32(28));
            info.ClrUsed = h.U32(32);
            info.ClrImportant = h.U32(36);
            if (info.HeaderSize >= bhV2 && info.HeaderSize != bhOS2)
                for (int i = 0; i < 3; ++i) info.Masks[size_t(i)] = h.U32(40 + 4 * i);
            if (info.HeaderSize >= bhV3 && info.HeaderSize != bhOS2) info.Masks[3] = h.U32(52);
            if (info.HeaderSize == bhOS2) info.Extra = h.Bytes(40, bhOS2 - 40);
            if (info.HeaderSize >= bhV4) info.Extra = h.Bytes(56, info.HeaderSize - 56);
        }
        if (info.Width < 0) Fail(QStringLiteral("The bitmap width %1 at offset 18 is not valid.").arg(info.Width));
        if (height < 0) {
            if (height == std::numeric_limits<int32_t>::min())
                Fail(QStringLiteral("The bitmap height at offset 22 is not valid."));
            height = -height;
            info.TopDown = true;
        }
        info.Height = int32_t(height);

        const uint32_t c = info.Compression;
        const int b = info.BitCount;
        const bool os2 = info.HeaderSize == bhOS2; // its compressions 3 and 4 are Huffman and RLE24
        const bool valid = (c == BI_RGB && (b == 1 || b == 4 || b == 8 || b == 16 || b == 24 || b == 32) &&
                            (info.HeaderSize != bhCore || (b != 16 && b != 32))) ||
                           (c == BI_RLE8 && b == 8) || (c == BI_RLE4 && b == 4) ||
                           (!os2 && (c == BI_BITFIELDS || c == BI_ALPHABITFIELDS) && (b == 16 || b == 32));
        if (!valid)
            Fail(QStringLiteral("The bitmap info header at offset 14 has an unsupported compression %1 at %2 bits per pixel.")
                     .arg(c).arg(b));
        const bool rle = c == BI_RLE8 || c == BI_RLE4;
        if (rle && info.TopDown) Fail(QStringLiteral("A top-down bitmap at offset 14 cannot be RLE compressed."));

        // Masks after a 40-byte header.
        int64_t pos = 14 + info.HeaderSize;
        const bool bitfields = c == BI_BITFIELDS || c == BI_ALPHABITFIELDS;
        if (bitfields && info.HeaderSize == bhInfo) {
            const int count = c == BI_ALPHABITFIELDS ? 4 : 3;
            for (int i = 0; i < count; ++i) info.Masks[size_t(i)] = r.U32(pos + 4 * i, "The bitmap colour masks");
            pos += 4 * count;
        }
        if (bitfields) {
            const uint32_t limit = b == 16 ? 0xFFFFu : 0xFFFFFFFFu;
            uint32_t seen = 0;
            bool ok = info.Masks[0] && info.Masks[1] && info.Masks[2];
            for (const uint32_t m : info.Masks) {
                ok = ok && Contiguous(m) && (m & ~limit) == 0 && (m & seen) == 0;
                seen |= m;
            }
            if (!ok)
                Fail(QStringLiteral("The bitmap colour masks at offset 54 are not valid (%1, %2, %3, %4).")
                         .arg(Hex(info.Masks[0]), Hex(info.Masks[1]), Hex(info.Masks[2]), Hex(info.Masks[3])));
        }

        // The colour table: biClrUsed entries (2^bits when 0); beyond 2^bits only skipped.
        const int entrySize = info.HeaderSize == bhCore ? 3 : 4;
        int64_t entries = info.ClrUsed;
        if (entries == 0 && b <= 8) entries = int64_t(1) << b;
        TDecoded out;
        {
            const TBinaryReader table = r.Sub(pos, entries * entrySize, "The bitmap colour table");
            if (b <= 8) {
                const int64_t kept = std::min<int64_t>(entries, int64_t(1) << b);
                for (int64_t i = 0; i < kept; ++i)
                    out.Palette.push_back(RGBColor(table.U8(i * entrySize + 2), table.U8(i * entrySize + 1),
                                                   table.U8(i * entrySize)));
            }
            pos += table.Size();
        }
        // Real files often have a bfOffBits too small; one that points past the tables is honoured.
        if (offBits >= pos && offBits <= file.size()) pos = offBits;

        out.Width = info.Width;
        out.Height = info.Height;
        switch (b) {
        case 1: out.Format = pf1bit; break;
        case 4: out.Format = pf4bit; break;
        case 8: out.Format = pf8bit; break;
        case 16: out.Format = pf15bit; break;
        case 24: out.Format = pf24bit; break;
        default: out.Format = pf32bit;
        }
        auto checkSize = [&] {
            if (info.Width > MaxDimension || info.Height > MaxDimension || int64_t(info.Width) * info.Height > MaxPixels)
                Fail(QStringLiteral("The bitmap size %1 x %2 at offset 18 is too large.").arg(info.Width).arg(info.Height));
        };
        if (rle) {
            // RLE data can claim any size in a few bytes: cap the pixels before allocating.
            checkSize();
            const int64_t available = file.size() - pos;
            const int64_t size = info.SizeImage && info.SizeImage <= available ? info.SizeImage : available;
            DecodeRLE(r.Sub(pos, size, "The RLE data"), info, out);
        } else {
            const int64_t rowSize = RowBytes(info.Width, b); // below 2^34: no overflow times a height below 2^31
            const int64_t imageSize = rowSize <= std::numeric_limits<int64_t>::max() / std::max<int64_t>(info.Height, 1)
                                          ? rowSize * info.Height
                                          : std::numeric_limits<int64_t>::max();
            const TBinaryReader pixels = r.Sub(pos, imageSize, "The bitmap bits");
            checkSize();
            const bool standard = !bitfields ||
                                  (b == 16 && (HasStandardMasks(info.Masks, pf15bit) || HasStandardMasks(info.Masks, pf16bit)) &&
                                   info.Masks[3] == 0) ||
                                  (b == 32 && HasStandardMasks(info.Masks, pf32bit) &&
                                   (info.Masks[3] == 0 || info.Masks[3] == 0xFF000000u));
            if (standard) {
                if (b == 16 && bitfields && HasStandardMasks(info.Masks, pf16bit)) out.Format = pf16bit;
                // The window was checked to hold every row.
                out.Bits = QByteArray(qsizetype(pixels.Size()), Qt::Uninitialized);
                for (int y = 0; y < info.Height; ++y) {
                    const int64_t fileRow = info.TopDown ? y : info.Height - 1 - y;
                    std::memcpy(out.Bits.data() + y * rowSize, pixels.Data() + fileRow * rowSize, size_t(rowSize));
                }
                if (b == 32) {
                    // The fourth byte is alpha when the masks say so, or, without masks, when any is set.
                    bool any = false;
                    for (qsizetype i = 3; i < out.Bits.size() && !any; i += 4) any = out.Bits[i] != 0;
                    out.AlphaFormat = any && (!bitfields || info.Masks[3] != 0) ? afDefined : afIgnored;
                }
            } else {
                DecodeMasked(pixels, info, rowSize, out);
            }
        }

        const TTransparentMode mode = FTransparentMode;
        const TColor transparent = FTransparentColor;
        const bool isTransparent = FTransparent;
        *this = TBitmap();
        FTransparent = isTransparent;
        FTransparentMode = mode;
        FTransparentColor = transparent;
        FWidth = out.Width;
        FHeight = out.Height;
        FPixelFormat = out.Format;
        FPalette = std::move(out.Palette);
        FBits = std::move(out.Bits);
        FAlphaFormat = out.AlphaFormat;
        FInfo = info;
        FSource = file;
    } catch (...) {
        const bool isTransparent = FTransparent;
        *this = TBitmap();
        FTransparent = isTransparent;
        throw;
    }
}

// ---- writing ----

namespace {

TLayout LayoutOf(const TBitmapInfo& info, TPixelFormat format, int width, int height, int paletteSize)
{
    TLayout l;
    const int bits = BitsOf(format);
    l.HeaderSize = info.HeaderSize;
    if (l.HeaderSize == bhOS2) l.HeaderSize = bhInfo;
    if (l.HeaderSize == bhCore && ((bits > 8 && bits != 24) || width > 0xFFFF || height > 0xFFFF)) l.HeaderSize = bhInfo;
    const bool wasBitfields = (info.Compression == BI_BITFIELDS || info.Compression == BI_ALPHABITFIELDS) &&
                              info.BitCount == bits && HasStandardMasks(info.Masks, format);
    if (format == pf16bit || wasBitfields) {
        l.Compression = wasBitfields ? info.Compression : uint32_t(BI_BITFIELDS);
        const auto standard = StandardMasks(format);
        l.Masks = {standard[0], standard[1], standard[2], wasBitfields ? info.Masks[3] : 0};
        if (l.HeaderSize == bhInfo) l.MaskBytes = l.Compression == BI_ALPHABITFIELDS ? 16 : 12;
    } else if (info.BitCount == bits && info.Compression == BI_RGB) {
        l.Masks = info.Masks;
    }
    if (bits <= 8) {
        const int full = 1 << bits;
        l.PaletteCount = paletteSize == 0 ? full : paletteSize;
        l.ClrUsed = l.PaletteCount == full && info.ClrUsed == 0 ? 0 : uint32_t(l.PaletteCount);
    }
    l.EntrySize = l.HeaderSize == bhCore ? 3 : 4;
    l.ImageSize = RowBytes(width, bits) * height;
    l.OffBits = 14 + l.HeaderSize + l.MaskBytes + int64_t(l.PaletteCount) * l.EntrySize;
    l.FileSize = l.OffBits + l.ImageSize;
    return l;
}

void Put16(QByteArray& d, int64_t at, uint16_t v) { qToLittleEndian(v, d.data() + at); }
void Put32(QByteArray& d, int64_t at, uint32_t v) { qToLittleEndian(v, d.data() + at); }

} // namespace

int64_t TBitmap::FileSize() const
{
    if (Untouched()) return FSource.size();
    return LayoutOf(FInfo, FPixelFormat, FWidth, FHeight, int(FPalette.size())).FileSize;
}

void TBitmap::SaveToStream(TStream& Stream) const
{
    if (Untouched()) {
        Stream.WriteBytes(FSource);
        return;
    }
    const TLayout l = LayoutOf(FInfo, FPixelFormat, FWidth, FHeight, int(FPalette.size()));
    QByteArray d(qsizetype(l.FileSize), '\0');
    d[0] = 'B';
    d[1] = 'M';
    Put32(d, 2, uint32_t(l.FileSize));
    Put32(d, 10, uint32_t(l.OffBits));
    Put32(d, 14, l.HeaderSize);
    const int bits = BitCount();
    if (l.HeaderSize == bhCore) {
        Put16(d, 18, uint16_t(FWidth));
        Put16(d, 20, uint16_t(FHeight));
        Put16(d, 22, 1);
        Put16(d, 24, uint16_t(bits));
    } else {
        Put32(d, 18, uint32_t(FWidth));
        Put32(d, 22, uint32_t(FInfo.TopDown ? -FHeight : FHeight));
        Put16(d, 26, 1);
        Put16(d, 28, uint16_t(bits));
        Put32(d, 30, l.Compression);
        Put32(d, 34, uint32_t(l.ImageSize));
        Put32(d, 38, uint32_t(FInfo.XPelsPerMeter));
        Put32(d, 42, uint32_t(FInfo.YPelsPerMeter));
        Put32(d, 46, l.ClrUsed);
        Put32(d, 50, FInfo.ClrImportant <= uint32_t(l.PaletteCount) ? FInfo.ClrImportant : 0);
        const int maskCount = l.HeaderSize >= bhV3 ? 4 : l.HeaderSize == bhV2 ? 3 : l.MaskBytes / 4;
        for (int i = 0; i < maskCount; ++i) Put32(d, 54 + 4 * i, l.Masks[size_t(i)]);
        if (l.HeaderSize >= bhV4) {
            QByteArray extra = FInfo.Extra.leftJustified(qsizetype(l.HeaderSize - 56), '\0', true);
            // The profile of a V5 header is not written again: the picture falls back to sRGB.
            if (l.HeaderSize == bhV5) {
                const uint32_t cs = qFromLittleEndian<uint32_t>(extra.constData() + ExtraCSType);
                if (cs == PROFILE_EMBEDDED || cs == PROFILE_LINKED) qToLittleEndian(LCS_sRGB, extra.data() + ExtraCSType);
                qToLittleEndian(uint32_t(0), extra.data() + ExtraProfileData);
                qToLittleEndian(uint32_t(0), extra.data() + ExtraProfileSize);
            }
            std::memcpy(d.data() + 14 + 56, extra.constData(), size_t(extra.size()));
        }
    }
    int64_t at = 14 + l.HeaderSize + l.MaskBytes;
    const TColorArray palette = FPalette.empty() && bits <= 8 ? TColorArray(size_t(l.PaletteCount), clBlack) : FPalette;
    for (int i = 0; i < l.PaletteCount; ++i, at += l.EntrySize) {
        const TColor c = ColorToRGB(palette[size_t(i)]);
        d[qsizetype(at)] = char(GetBValue(c));
        d[qsizetype(at + 1)] = char(GetGValue(c));
        d[qsizetype(at + 2)] = char(GetRValue(c));
    }
    const int64_t rowSize = RowSize();
    for (int y = 0; y < FHeight; ++y) {
        const int64_t fileRow = FInfo.TopDown ? y : FHeight - 1 - y;
        std::memcpy(d.data() + l.OffBits + fileRow * rowSize, FBits.constData() + int64_t(y) * rowSize, size_t(rowSize));
    }
    Stream.WriteBytes(d);
}

QByteArray TBitmap::SaveToDIB() const
{
    TBytesStream stream;
    SaveToStream(stream);
    return stream.Bytes().mid(14);
}
