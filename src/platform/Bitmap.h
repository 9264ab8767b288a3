// The device-independent bitmap of the picture layer: the storage of every bitmap, icon and cursor
// image. It keeps what a DIB file says and QImage would lose: the bit depth (1, 4, 8, 15, 16, 24, 32),
// the palette with its real length, the alpha bytes of 32-bit pixels, the row order and the header
// version, so that a bitmap read from a file is written back the same way.
#pragma once

#include "Graphics.h"

#include <QByteArray>
#include <array>
#include <cstdint>

// Header versions of a DIB, by their size in bytes.
enum TBitmapHeaderSize : uint32_t {
    bhCore = 12, // BITMAPCOREHEADER: 16-bit sizes, RGBTRIPLE palette
    bhInfo = 40, // BITMAPINFOHEADER
    bhV2 = 52,   // + RGB masks
    bhV3 = 56,   // + alpha mask
    bhOS2 = 64,  // OS/2 2.x header
    bhV4 = 108,  // + colour space
    bhV5 = 124,  // + rendering intent and profile
};

enum TBitmapCompression : uint32_t {
    BI_RGB = 0,
    BI_RLE8 = 1,
    BI_RLE4 = 2,
    BI_BITFIELDS = 3,
    BI_JPEG = 4,
    BI_PNG = 5,
    BI_ALPHABITFIELDS = 6,
};

// The fields of a DIB header that the file says and a save keeps. V4/V5 fields past the masks are kept
// as raw bytes.
struct TBitmapInfo {
    uint32_t HeaderSize = bhInfo;
    int32_t Width = 0;
    int32_t Height = 0; // positive; TopDown says how rows are stored
    bool TopDown = false;
    uint16_t Planes = 1;
    uint16_t BitCount = 24;
    uint32_t Compression = BI_RGB;
    uint32_t SizeImage = 0;
    int32_t XPelsPerMeter = 0;
    int32_t YPelsPerMeter = 0;
    uint32_t ClrUsed = 0;
    uint32_t ClrImportant = 0;
    // Red, green, blue, alpha masks of BI_BITFIELDS / BI_ALPHABITFIELDS and of V2+ headers.
    std::array<uint32_t, 4> Masks{};
    // Header bytes after the masks (colour space, end points, gamma, intent, profile) of V4 and V5
    // headers; the 24 bytes after the first 40 of an OS/2 header.
    QByteArray Extra;
};

class TBitmap : public TGraphic {
public:
    static const char* StaticClassName() { return "TBitmap"; }

    TBitmap() = default;
    // A new bitmap of the format; palette formats get the default palette of their depth (black and
    // white; the 16 VGA colours; the 256-colour halftone palette), every pixel index 0 / black.
    TBitmap(int Width, int Height, TPixelFormat Format = pf24bit);
    TBitmap(const TBitmap& Other) = default;
    TBitmap& operator=(const TBitmap& Other) = default;
    TBitmap(TBitmap&& Other) noexcept = default;
    TBitmap& operator=(TBitmap&& Other) noexcept = default;
    ~TBitmap() override = default;

    const char* ClassName() const override { return StaticClassName(); }
    std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TBitmap>(*this); }

    bool Empty() const override { return FWidth == 0 || FHeight == 0; }
    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    // Resizing keeps the pixels of the common top-left area; new pixels are index 0 / black (alpha 0).
    void SetWidth(int Value);
    void SetHeight(int Value);
    void SetSize(int Width, int Height);

    TPixelFormat PixelFormat() const { return FPixelFormat; }
    // Changes the format, converting the pixels: wider formats keep every colour exactly (32 bits with
    // alpha 255 unless the source had alpha); narrower palette formats take the default palette of
    // their depth and the nearest colour of it. pfDevice and pfCustom store as 32 bits.
    void SetPixelFormat(TPixelFormat Value);
    int BitCount() const;
    // Bytes per stored row: ((Width * BitCount + 31) / 32) * 4.
    int RowSize() const;

    // Palette formats only; may hold fewer entries than the depth allows (the file's biClrUsed).
    const TColorArray& Palette() const { return FPalette; }
    void SetPalette(const TColorArray& Value);

    // Row y counted from the top, in DIB layout: packed indices (most significant bits first), 16-bit
    // words, B G R, or B G R A. The writable row drops the bytes the bitmap was read from.
    const uint8_t* ScanLine(int y) const;
    uint8_t* ScanLine(int y);
    // Colour of a pixel (palette resolved; 15/16-bit channels in the top bits of 8, the low bits zero).
    TColor Pixel(int x, int y) const;
    // Sets a pixel: palette formats take the nearest palette entry; a 32-bit pixel keeps its alpha.
    void SetPixel(int x, int y, TColor Color);
    // Palette formats only.
    int PixelIndex(int x, int y) const;
    void SetPixelIndex(int x, int y, int Index);
    // 32 bits only.
    int PixelAlpha(int x, int y) const;
    void SetPixelAlpha(int x, int y, int Alpha);
    // Every pixel (x, y) of Source (same size) drawn onto this one as a plain copying blit: colours
    // converted into this format, palette formats taking the nearest entry of this palette; a 32-bit
    // target takes the source's alpha, or 255 from a source without it.
    void CopyPixels(const TBitmap& Source);
    // Every pixel set to the colour as by SetPixel.
    void Fill(TColor Color);

    TAlphaFormat AlphaFormat() const { return FAlphaFormat; }
    void SetAlphaFormat(TAlphaFormat Value) { FAlphaFormat = Value; }
    TTransparentMode TransparentMode() const { return FTransparentMode; }
    void SetTransparentMode(TTransparentMode Value) { FTransparentMode = Value; }
    // tmAuto: the colour of the bottom-left pixel (clDefault without pixels); tmFixed: the colour set.
    TColor TransparentColor() const;
    void SetTransparentColor(TColor Value);

    // The header the bitmap was read with (the default 40-byte one for a new bitmap). A save of a
    // changed bitmap takes its version and resolution from it, sizes, depth and tables from the pixels.
    const TBitmapInfo& Info() const { return FInfo; }

    // Bitmap files ("BM" file header, then a DIB). Header sizes 12, 40, 52, 56, 64, 108 and 124;
    // BI_RGB at 1, 4, 8, 16, 24 and 32 bits, BI_BITFIELDS and BI_ALPHABITFIELDS at 16 and 32 bits,
    // BI_RLE4 and BI_RLE8; rows bottom-up or top-down. Every size, count and offset is checked against
    // the data before use. bfOffBits is honoured only where it lies past the header, masks and palette.
    // 16 bits: BI_RGB and 5-5-5 masks give pf15bit, 5-6-5 masks pf16bit. 32 bits keep their fourth
    // byte; AlphaFormat is afDefined when any fourth byte is set (and, with masks, an alpha mask names
    // it). Other masks are applied: pf32bit with an alpha mask, else pf24bit. RLE is decoded to pf8bit
    // or pf4bit. A failed load leaves the bitmap empty.
    void LoadFromStream(TStream& Stream) override;
    // An untouched bitmap writes the bytes it was read from; a changed one writes its header version
    // again where its pixels allow (RLE and masks other than the standard ones become BI_RGB).
    void SaveToStream(TStream& Stream) const override;
    // The file form without the 14-byte file header (a packed DIB), and the size it takes.
    QByteArray SaveToDIB() const;
    int64_t FileSize() const;
    // True while the bitmap holds the exact bytes it was read from.
    bool Untouched() const { return !FSource.isEmpty(); }

    // ARGB32: 32-bit pixels with alpha when AlphaFormat is afDefined (all-zero alpha counts as opaque),
    // opaque otherwise; with Transparent on, pixels of TransparentColor get alpha 0.
    QImage ToQImage() const override;
    // A 32-bit bitmap with alpha (afDefined) from an image with an alpha channel, else 24 bits.
    static TBitmap FromQImage(const QImage& Image);
    void Assign(const QImage& Image) { *this = FromQImage(Image); }

private:
    void Touch() { FSource.clear(); }
    void Allocate();

    int FWidth = 0;
    int FHeight = 0;
    TPixelFormat FPixelFormat = pf24bit;
    TColorArray FPalette;
    // Rows top-down, RowSize() bytes each.
    QByteArray FBits;
    TAlphaFormat FAlphaFormat = afIgnored;
    TTransparentMode FTransparentMode = tmAuto;
    TColor FTransparentColor = clDefault;
    TBitmapInfo FInfo;
    // The bitmap file as read, while nothing has changed.
    QByteArray FSource;
};

// The default palette of a palette depth: 2 (black, white), 16 (the VGA colours in the usual order) or
// 256 colours (the 16 VGA colours, a 6x6x6 cube, 24 greys); empty for other depths.
TColorArray DefaultPalette(int BitCount);
// Index of the palette entry nearest to Color (Euclidean in RGB; the first of equals).
int NearestPaletteIndex(const TColorArray& Palette, TColor Color);
