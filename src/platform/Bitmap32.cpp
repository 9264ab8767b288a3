#include "platform/Bitmap32.h"

#include "platform/Exceptions.h"

#include <cstring>

TBitmap32::TBitmap32(int width, int height)
{
    SetSize(width, height);
}

TBitmap32::TBitmap32(const QImage& image)
{
    Assign(image);
}

TBitmap32::TBitmap32(const TBitmap32& other)
    : FWidth(other.FWidth), FHeight(other.FHeight), FPixels(other.FPixels)
{
}

TBitmap32& TBitmap32::operator=(const TBitmap32& other)
{
    Assign(other);
    return *this;
}

TBitmap32::TBitmap32(TBitmap32&& other) noexcept
    : FWidth(other.FWidth), FHeight(other.FHeight), FPixels(std::move(other.FPixels))
{
    other.FWidth = 0;
    other.FHeight = 0;
    other.FPixels.clear();
}

TBitmap32& TBitmap32::operator=(TBitmap32&& other) noexcept
{
    if (this != &other) {
        FWidth = other.FWidth;
        FHeight = other.FHeight;
        FPixels = std::move(other.FPixels);
        other.FWidth = 0;
        other.FHeight = 0;
        other.FPixels.clear();
    }
    return *this;
}

void TBitmap32::SetSize(int width, int height)
{
    ATELIER_ASSERT(width >= 0 && height >= 0);
    if (width == 0 || height == 0) width = height = 0;
    if (width == FWidth && height == FHeight) return;
    FPixels.assign(size_t(width) * size_t(height), 0);
    FWidth = width;
    FHeight = height;
}

void TBitmap32::Clear(TColor32 color)
{
    std::fill(FPixels.begin(), FPixels.end(), color);
}

TColor32 TBitmap32::Pixel(int x, int y) const
{
    ATELIER_ASSERT(x >= 0 && x < FWidth && y >= 0 && y < FHeight);
    return FPixels[size_t(y) * size_t(FWidth) + size_t(x)];
}

void TBitmap32::SetPixel(int x, int y, TColor32 color)
{
    ATELIER_ASSERT(x >= 0 && x < FWidth && y >= 0 && y < FHeight);
    FPixels[size_t(y) * size_t(FWidth) + size_t(x)] = color;
}

TColor32* TBitmap32::ScanLine(int y)
{
    ATELIER_ASSERT(y >= 0 && y < FHeight);
    return FPixels.data() + size_t(y) * size_t(FWidth);
}

const TColor32* TBitmap32::ScanLine(int y) const
{
    ATELIER_ASSERT(y >= 0 && y < FHeight);
    return FPixels.data() + size_t(y) * size_t(FWidth);
}

void TBitmap32::Assign(const TBitmap32& source)
{
    if (this == &source) return;
    FWidth = source.FWidth;
    FHeight = source.FHeight;
    FPixels = source.FPixels;
}

void TBitmap32::Assign(const QImage& image)
{
    if (image.isNull()) {
        SetSize(0, 0);
        return;
    }
    const QImage argb = image.format() == QImage::Format_ARGB32
                            ? image
                            : image.convertToFormat(QImage::Format_ARGB32);
    SetSize(argb.width(), argb.height());
    const size_t rowBytes = size_t(FWidth) * sizeof(TColor32);
    for (int y = 0; y < FHeight; ++y)
        std::memcpy(ScanLine(y), argb.constScanLine(y), rowBytes);
}

QImage TBitmap32::ToQImage()
{
    if (Empty()) return QImage();
    return QImage(reinterpret_cast<uchar*>(FPixels.data()), FWidth, FHeight,
                  qsizetype(FWidth) * qsizetype(sizeof(TColor32)), QImage::Format_ARGB32);
}

QImage TBitmap32::ToQImage() const
{
    if (Empty()) return QImage();
    return QImage(reinterpret_cast<const uchar*>(FPixels.data()), FWidth, FHeight,
                  qsizetype(FWidth) * qsizetype(sizeof(TColor32)), QImage::Format_ARGB32);
}

void TBitmap32::Changed()
{
    if (OnChange) OnChange(*this);
}
