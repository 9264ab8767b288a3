// One icon or cursor image turned from its stored bytes into bitmaps and back, in either encoding: the
// classic DIB (header of twice the height, colour table, XOR bits, AND mask) or a complete PNG file.
//
// Bitmaps: Color is the colour (XOR) image, null for 1-bit images; Mask is 1-bit, a set bit transparent
// (or screen-inverting where the colour is white); for 1-bit images Mask is twice the image height, the
// AND mask on top and the XOR image below.
#pragma once

#include "kinds/koResourceItemImage.h"

#include <QByteArray>
#include <memory>

class TStream;

enum TIconCompression { icBMP, icPNG };

class TIconEncoder {
public:
    virtual ~TIconEncoder() = default;
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    TColorDepth ColorDepth() const { return FColorDepth; }
    const TColorArray& Palette() const { return FPalette; }
    int ColorsUsed() const { return FColorsUsed; }

    // Writes one encoded image; sets width, height and depth. Never changes its inputs.
    virtual void Encode(TStream& Stream, const TBitmap* Color, const TBitmap* Mask) = 0;
    // Reads one image from the stream's position; sets width, height, depth and palette.
    virtual void Decode(TStream& Stream, std::unique_ptr<TBitmap>& Color, std::unique_ptr<TBitmap>& Mask,
                        TColorDepth ExpectedColorDepth) = 0;
    // Width, height and depth without the pixels; the stream position is kept.
    virtual void DecodeInfo(TStream& Stream, TColorDepth ExpectedColorDepth);

protected:
    int FWidth = 0;
    int FHeight = 0;
    TColorDepth FColorDepth = 0;
    TColorArray FPalette;
    int FColorsUsed = 0;
};

class TIconBMPEncoder : public TIconEncoder {
public:
    void Encode(TStream& Stream, const TBitmap* Color, const TBitmap* Mask) override;
    void Decode(TStream& Stream, std::unique_ptr<TBitmap>& Color, std::unique_ptr<TBitmap>& Mask,
                TColorDepth ExpectedColorDepth) override;
    void DecodeInfo(TStream& Stream, TColorDepth ExpectedColorDepth) override;
};

class TIconPNGEncoder : public TIconEncoder {
public:
    void Encode(TStream& Stream, const TBitmap* Color, const TBitmap* Mask) override;
    void Decode(TStream& Stream, std::unique_ptr<TBitmap>& Color, std::unique_ptr<TBitmap>& Mask,
                TColorDepth ExpectedColorDepth) override;
};

// The 40-byte header of an icon DIB, read and written field by field.
struct TIconDIBHeader {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};

// The byte size of a whole icon DIB (header, table, XOR and AND bits). A biSizeImage other than 0 and
// the computed one is logged as a warning, except the common one that counts only the XOR bits.
int64_t IconDIBSize(const TIconDIBHeader& Header);
// The bitmaps of a packed icon DIB.
void CreateIconBitmaps(const QByteArray& DIB, std::unique_ptr<TBitmap>& Color, std::unique_ptr<TBitmap>& Mask);

// The AND mask of a 32-bit image (1-bit, same size): set where the alpha byte is 0.
TBitmap MaskFromAlpha(const TBitmap& Bitmap32);

// The encoder for the bytes: PNG when they start with the PNG signature.
std::unique_ptr<TIconEncoder> CreateIconEncoder(TIconCompression Compression);
TIconCompression IconCompressionOf(const QByteArray& ImageData);

// One image of an icon or cursor as it shows (alpha from the mask or the pixels): what the icon picture
// and ItemToIcon decode with. PNG images that an icon item cannot edit (grey ones) still show.
QImage DecodeIconImage(const QByteArray& ImageData);

void koIconEncoder_Initialize();
void koIconEncoder_Finalize();
