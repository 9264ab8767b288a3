#pragma once

// Image lists of 32-bit images with straight alpha. Every list here is 32-bit: images are kept as
// Format_ARGB32 and added without re-masking; a mask or a key colour only clears pixels to transparent
// black. Disabled entries are drawn as a grey of the image at its own alpha.

#include <QImage>
#include <QPainter>

#include <functional>
#include <vector>

// Key colours are 0xRRGGBB; this one asks for no mask.
constexpr int clNoMask = -1;

class TCustomImageList
{
public:
    TCustomImageList(int width = 16, int height = 16);
    virtual ~TCustomImageList() = default;

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int Count() const { return int(FImages.size()); }
    // A changed size empties the list, as a new strip would.
    void SetSize(int width, int height);
    void Clear();

    bool Masked() const { return FMasked; }
    void SetMasked(bool masked) { FMasked = masked; }

    // Mask: pixels that are set (non-zero, or white in a monochrome image) become transparent black.
    int Add(const QImage& image, const QImage& mask = QImage());
    int AddMasked(const QImage& image, int maskColor);
    void Replace(int index, const QImage& image, const QImage& mask = QImage());

    // The stored image (Format_ARGB32, the list's size); a null image for a bad index.
    QImage Image(int index) const;
    void Draw(QPainter& canvas, int x, int y, int index, bool enabled = true) const;

    std::function<void(TCustomImageList&)> OnChange;

protected:
    void Change();

private:
    QImage Prepare(const QImage& image, const QImage& mask) const;

    int FWidth;
    int FHeight;
    bool FMasked = true;
    std::vector<QImage> FImages;
};

class TImageList : public TCustomImageList
{
public:
    using TCustomImageList::TCustomImageList;
};

// Copies image Index out of List with its alpha into Bitmap (Format_ARGB32, the list's size).
// False, with Bitmap cleared to zero, for an index the list does not hold.
bool GetImageListBitmap(const TCustomImageList& list, int index, QImage& bitmap);
// Dest becomes a copy of Source whose every image is grey at its own alpha.
void MakeDisabledImageList(const TCustomImageList& source, TCustomImageList& dest);
