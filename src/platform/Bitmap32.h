#pragma once

// The 32-bit bitmap of our graphics layer: straight-alpha pixels stored as 0xAARRGGBB words, one
// row after another with no padding, so the memory is exactly QImage::Format_ARGB32 on the
// little-endian hosts we build for.

#include <QImage>

#include <bit>
#include <cstdint>
#include <functional>
#include <vector>

static_assert(std::endian::native == std::endian::little,
              "TColor32 words must have the byte order of QImage::Format_ARGB32");

using TColor32 = uint32_t;

constexpr TColor32 Color32(int r, int g, int b, int a = 255)
{
    return (TColor32(a & 0xFF) << 24) | (TColor32(r & 0xFF) << 16) | (TColor32(g & 0xFF) << 8) |
           TColor32(b & 0xFF);
}

constexpr int AlphaComponent(TColor32 c) { return int(c >> 24); }
constexpr int RedComponent(TColor32 c) { return int((c >> 16) & 0xFF); }
constexpr int GreenComponent(TColor32 c) { return int((c >> 8) & 0xFF); }
constexpr int BlueComponent(TColor32 c) { return int(c & 0xFF); }

constexpr TColor32 SetAlpha(TColor32 c, int a) { return (c & 0x00FFFFFFu) | (TColor32(a & 0xFF) << 24); }

class TBitmap32
{
public:
    TBitmap32() = default;
    TBitmap32(int width, int height);
    // Converts any image to Format_ARGB32 (straight alpha) and copies its pixels.
    explicit TBitmap32(const QImage& image);

    // Copies take the pixels only; change handlers belong to the object they were set on.
    TBitmap32(const TBitmap32& other);
    TBitmap32& operator=(const TBitmap32& other);
    TBitmap32(TBitmap32&& other) noexcept;
    TBitmap32& operator=(TBitmap32&& other) noexcept;
    ~TBitmap32() = default;

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    bool Empty() const { return FWidth == 0 || FHeight == 0; }

    // A new size starts with every pixel 0; the same size keeps the pixels.
    void SetSize(int width, int height);
    void Clear(TColor32 color);

    TColor32 Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor32 color);
    TColor32* ScanLine(int y);
    const TColor32* ScanLine(int y) const;
    TColor32* Bits() { return FPixels.data(); }
    const TColor32* Bits() const { return FPixels.data(); }

    void Assign(const TBitmap32& source);
    void Assign(const QImage& image);

    // Views over this bitmap's memory (no copy): valid until the bitmap is resized or destroyed.
    // The writable view detaches into a copy if it is itself copied and then written.
    QImage ToQImage();
    QImage ToQImage() const;

    // Called by operations that report a change of the pixels.
    std::function<void(TBitmap32&)> OnChange;
    void Changed();

private:
    int FWidth = 0;
    int FHeight = 0;
    std::vector<TColor32> FPixels;
};
