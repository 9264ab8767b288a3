// Conversions of icon and cursor images to and from pictures, the bitmap faces and the changes of
// size and colour depth.
//
// Below 32 bits an image is a colour (XOR) image and an AND mask: AND 0 shows the colour, AND 1 with
// black is transparent, AND 1 with white inverts the screen. Pictures stand for the two special kinds
// of pixel with two display colours; the faces hand them out as masks (a visible mask and an inverse
// mask).
#include "koResourceItemIconCursor.h"

#include "model/koResourcesMessages.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "platform/UpdateGuard.h"

#include <algorithm>
#include <cstring>

namespace {

const char* const SInvalidImageSize = "Invalid image size";
const char* const SInvalidIcon = "Icon image is not valid";

constexpr int MaxIconSize = 256;

void CheckImageSize(int Width, int Height)
{
    if (Width < 1 || Width > MaxIconSize || Height < 1 || Height > MaxIconSize)
        throw Exception(QString::fromLatin1(SInvalidImageSize));
}

bool IsPaletteFormat(TPixelFormat Format) { return Format == pf1bit || Format == pf4bit || Format == pf8bit; }

bool Bit(const TBitmap& Mask, int x, int y) { return Mask.PixelIndex(x, y) != 0; }
void SetBit(TBitmap& Mask, int x, int y, bool Value) { Mask.SetPixelIndex(x, y, Value ? 1 : 0); }

// A bitmap that stores pixels only: the picture state of the source (transparency) is not kept.
std::unique_ptr<TBitmap> PixelCopy(const TBitmap& Source)
{
    auto copy = std::make_unique<TBitmap>(Source);
    copy->SetTransparent(false);
    copy->SetTransparentColor(clDefault);
    return copy;
}

// Rows [Top, Top + Height) of a 1-bit bitmap, with its palette.
std::unique_ptr<TBitmap> MaskRows(const TBitmap& Mask, int Top, int Height)
{
    auto rows = std::make_unique<TBitmap>(Mask.Width(), Height, pf1bit);
    if (!Mask.Palette().empty()) rows->SetPalette(Mask.Palette());
    for (int y = 0; y < Height; ++y)
        std::memcpy(rows->ScanLine(y), Mask.ScanLine(Top + y), size_t(rows->RowSize()));
    return rows;
}

bool AllAlphaZero(const TBitmap& Bitmap32)
{
    for (int y = 0; y < Bitmap32.Height(); ++y) {
        const uint8_t* line = Bitmap32.ScanLine(y);
        for (int x = 0; x < Bitmap32.Width(); ++x)
            if (line[4 * x + 3] != 0) return false;
    }
    return true;
}

// The 32-bit colour image as it shows: older 32-bit icons leave every alpha byte 0 and let the AND
// mask decide, as 24-bit images do.
std::unique_ptr<TBitmap> ShownColor32(const TBitmap& Color, const TBitmap& Mask)
{
    auto shown = PixelCopy(Color);
    shown->SetAlphaFormat(afDefined);
    if (AllAlphaZero(Color))
        for (int y = 0; y < Color.Height(); ++y)
            for (int x = 0; x < Color.Width(); ++x) shown->SetPixelAlpha(x, y, Bit(Mask, x, y) ? 0 : 255);
    return shown;
}

// The colour image brought to a depth the item stores: 15 and 16 bits become 24, the rest stays.
void NormalizeFormat(TBitmap& Color)
{
    const TColorDepth depth = PixelFormatToColorDepth(Color.PixelFormat());
    const TPixelFormat format = ColorDepthToPixelFormat(depth);
    if (Color.PixelFormat() != format) Color.SetPixelFormat(format);
}

// Makes a palette image hold Wanted exactly, for masked pixels whose colour must be exact (black for
// transparent, white for inverting ones): a spare table entry takes it, else the entry that the fewest
// shown pixels use, and those pixels move to their nearest other entry. Keep is never taken.
void EnsurePaletteColor(TBitmap& Color, const TBitmap& Mask, TColor Wanted, TColor Keep)
{
    TColorArray palette = Color.Palette();
    if (std::find(palette.begin(), palette.end(), Wanted) != palette.end()) return;
    if (palette.size() < size_t(1) << Color.BitCount()) {
        palette.push_back(Wanted);
        Color.SetPalette(palette);
        return;
    }
    std::vector<int> uses(palette.size());
    for (int y = 0; y < Color.Height(); ++y)
        for (int x = 0; x < Color.Width(); ++x)
            if (!Bit(Mask, x, y)) ++uses[size_t(Color.PixelIndex(x, y))];
    int taken = -1;
    for (int i = 0; i < int(palette.size()); ++i)
        if (palette[size_t(i)] != Keep && (taken < 0 || uses[size_t(i)] < uses[size_t(taken)])) taken = i;
    if (taken < 0) return;
    TColorArray others = palette;
    others.erase(others.begin() + taken);
    int moved = NearestPaletteIndex(others, palette[size_t(taken)]);
    if (moved >= taken) ++moved;
    if (uses[size_t(taken)] > 0)
        for (int y = 0; y < Color.Height(); ++y)
            for (int x = 0; x < Color.Width(); ++x)
                if (!Bit(Mask, x, y) && Color.PixelIndex(x, y) == taken) Color.SetPixelIndex(x, y, moved);
    palette[size_t(taken)] = Wanted;
    Color.SetPalette(palette);
}

} // namespace

// --- storing --------------------------------------------------------------------------------------

void TCustomIconCursorResourceItem::StoreImage(std::unique_ptr<TBitmap> Color, std::unique_ptr<TBitmap> Mask)
{
    ATELIER_ASSERT(Color && Mask && Mask->PixelFormat() == pf1bit);
    ATELIER_ASSERT(Color->Width() == Mask->Width() && Color->Height() == Mask->Height());
    const int width = Color->Width(), height = Color->Height();
    const TColorDepth depth = PixelFormatToColorDepth(Color->PixelFormat());
    TColorArray palette;
    if (depth <= 8) PaletteToColors(*Color, palette);
    if (depth == 32) Color->SetAlphaFormat(afDefined);

    // A cursor's hot spot and the encoding of bytes not yet read live only in the bytes replaced now.
    // Bytes that cannot be read have nothing more to keep.
    try {
        EnsureImageInfo();
    } catch (const Exception&) {
    }

    TUpdateGuard<TCustomIconCursorResourceItem> batch(this);
    if (depth == 1) {
        // One bitmap of twice the height: the AND mask on top, the image below, with the image's colours.
        auto stacked = std::make_unique<TBitmap>(width, 2 * height, pf1bit);
        if (!palette.empty()) stacked->SetPalette(palette);
        for (int y = 0; y < height; ++y) {
            std::memcpy(stacked->ScanLine(y), Mask->ScanLine(y), size_t(Mask->RowSize()));
            std::memcpy(stacked->ScanLine(height + y), Color->ScanLine(y), size_t(Color->RowSize()));
        }
        SetBitmapMask(std::move(stacked));
        SetBitmapColor(nullptr);
    } else {
        SetBitmapMask(std::move(Mask));
        SetBitmapColor(std::move(Color));
    }
    FWidth = width;
    FHeight = height;
    FColorDepth = depth;
    FPalette = std::move(palette);
    FState.Exclude(isNeedDecodeInfo);
}

// --- pictures -------------------------------------------------------------------------------------

void TCustomIconCursorResourceItem::Assign(const TGraphic& Source)
{
    if (const auto* icon = dynamic_cast<const TIcon*>(&Source)) {
        TMemoryStream stream;
        EncodeIconHandle(stream, *icon);
        stream.SetPosition(0);
        LoadFromStream(stream, stream.Size());
        return;
    }
    const auto* bitmap = dynamic_cast<const TBitmap*>(&Source);
    if (!bitmap) {
        inherited::Assign(Source);
        return;
    }

    const int width = bitmap->Width(), height = bitmap->Height();
    CheckImageSize(width, height);
    auto color = PixelCopy(*bitmap);
    NormalizeFormat(*color);
    auto mask = std::make_unique<TBitmap>(width, height, pf1bit);
    if (color->PixelFormat() == pf32bit) {
        // Alpha bytes count only where the bitmap says they do, as it shows itself.
        if (bitmap->AlphaFormat() == afIgnored || AllAlphaZero(*color)) SetBitmapAlpha(*color, 255);
        *mask = MaskFromAlpha(*color);
    } else if (bitmap->Transparent()) {
        // The two display colours become transparent and screen-inverting pixels.
        const TColor transparent = ColorToRGB(bitmap->TransparentColor());
        const TColor inverse = ColorToRGB(InverseDisplayColor());
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const TColor c = color->Pixel(x, y);
                if (c == transparent) {
                    SetBit(*mask, x, y, true);
                    color->SetPixel(x, y, clBlack);
                } else if (c == inverse) {
                    SetBit(*mask, x, y, true);
                    color->SetPixel(x, y, clWhite);
                }
            }
    }
    TUpdateGuard<TCustomIconCursorResourceItem> batch(this);
    StoreImage(std::move(color), std::move(mask));
}

void TCustomIconCursorResourceItem::AssignTo(TGraphic& Dest)
{
    TMessageContextScope context(this);
    if (auto* icon = dynamic_cast<TIcon*>(&Dest)) {
        *icon = *ItemToIcon(this, GetImageType() == 1);
        return;
    }
    auto* bitmap = dynamic_cast<TBitmap*>(&Dest);
    if (!bitmap) {
        inherited::AssignTo(Dest);
        return;
    }

    // A transparent colour the picture fixed itself is kept.
    const TColor key = bitmap->TransparentMode() == tmFixed && bitmap->TransparentColor() != clNone
                           ? bitmap->TransparentColor()
                           : TransparentDisplayColor();
    EnsureImage();
    TBitmap result;
    if (FBitmapColor && FBitmapColor->PixelFormat() == pf32bit) {
        result = *ShownColor32(*FBitmapColor, *FBitmapMask);
    } else {
        const int width = FBitmapMask ? FBitmapMask->Width() : GetWidth();
        const int height = FBitmapMask ? (FBitmapColor ? FBitmapMask->Height() : FBitmapMask->Height() / 2) : GetHeight();
        result = TBitmap(width, height, pf24bit);
        const TColor keyRGB = ColorToRGB(key);
        result.Fill(keyRGB);
        result.SetTransparent(true);
        if (FBitmapMask) {
            const TColor inverse = ColorToRGB(InverseDisplayColor());
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const TColor c = FBitmapColor ? FBitmapColor->Pixel(x, y) : FBitmapMask->Pixel(x, height + y);
                    if (!Bit(*FBitmapMask, x, y))
                        result.SetPixel(x, y, c);
                    else if (c == clWhite)
                        result.SetPixel(x, y, inverse);
                    else // what the screen shows: the background XOR the colour
                        result.SetPixel(x, y, TColor((keyRGB.Value ^ c.Value) & 0xFFFFFF));
                }
        }
    }
    result.SetTransparentColor(key);
    *bitmap = std::move(result);
}

void TCustomIconCursorResourceItem::EncodeIconHandle(TStream& Stream, const TIcon& Icon)
{
    const QImage image = Icon.ToQImage().convertToFormat(QImage::Format_ARGB32);
    if (image.isNull()) throw EInvalidGraphic(QString::fromLatin1(SInvalidIcon));
    CheckImageSize(image.width(), image.height());
    TBitmap color(image.width(), image.height(), pf32bit);
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        uint8_t* out = color.ScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            out[4 * x] = uint8_t(qBlue(in[x]));
            out[4 * x + 1] = uint8_t(qGreen(in[x]));
            out[4 * x + 2] = uint8_t(qRed(in[x]));
            out[4 * x + 3] = uint8_t(qAlpha(in[x]));
        }
    }
    color.SetAlphaFormat(afDefined);
    const TBitmap mask = MaskFromAlpha(color);
    TIconInfo info;
    info.fIcon = GetImageType() == 1;
    if (!info.fIcon) {
        info.xHotspot = uint32_t(qBound(0, Icon.Hotspot().x(), 0xFFFF));
        info.yHotspot = uint32_t(qBound(0, Icon.Hotspot().y(), 0xFFFF));
    }
    info.hbmColor = &color;
    info.hbmMask = &mask;
    EncodeImage(Stream, info, false);
}

// --- faces ----------------------------------------------------------------------------------------

void TCustomIconCursorResourceItem::GetBitmaps(std::unique_ptr<TBitmap>& Bitmap, std::unique_ptr<TBitmap>& Mask,
                                               std::unique_ptr<TBitmap>& InverseMask)
{
    Bitmap.reset();
    Mask.reset();
    InverseMask.reset();
    EnsureImage();
    if (!FBitmapMask) {
        Bitmap = std::make_unique<TBitmap>();
        return;
    }
    const bool withInverse = SupportsInverseMask();
    std::unique_ptr<TBitmap> bitmap, mask, inverse;
    if (FBitmapColor && FBitmapColor->PixelFormat() == pf32bit) {
        bitmap = ShownColor32(*FBitmapColor, *FBitmapMask);
    } else {
        const int width = FBitmapMask->Width();
        const int height = FBitmapColor ? FBitmapMask->Height() : FBitmapMask->Height() / 2;
        if (FBitmapColor) {
            bitmap = PixelCopy(*FBitmapColor);
            if (IsPaletteFormat(bitmap->PixelFormat())) SetBitmapPalette(*bitmap, FPalette);
        } else {
            bitmap = MaskRows(*FBitmapMask, height, height);
        }
        mask = std::make_unique<TBitmap>(width, height, pf1bit);
        if (withInverse) inverse = std::make_unique<TBitmap>(width, height, pf1bit);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const bool andBit = Bit(*FBitmapMask, x, y);
                const bool white = FBitmapColor ? bitmap->Pixel(x, y) == clWhite : Bit(*FBitmapMask, x, height + y);
                SetBit(*mask, x, y, !andBit || white);
                if (inverse) SetBit(*inverse, x, y, andBit && white);
            }
    }
    Bitmap = std::move(bitmap);
    Mask = std::move(mask);
    InverseMask = std::move(inverse);
}

void TCustomIconCursorResourceItem::SetBitmaps(const TBitmap& Bitmap, const TBitmap* Mask, const TBitmap* InverseMask)
{
    const int width = Bitmap.Width(), height = Bitmap.Height();
    CheckImageSize(width, height);
    for (const TBitmap* m : {Mask, InverseMask})
        ATELIER_ASSERT(!m || (m->Width() == width && m->Height() == height && IsPaletteFormat(m->PixelFormat())));

    auto color = PixelCopy(Bitmap);
    NormalizeFormat(*color);
    auto andMask = std::make_unique<TBitmap>(width, height, pf1bit);
    if (color->PixelFormat() == pf32bit) {
        if (Mask) {
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) SetBit(*andMask, x, y, !Bit(*Mask, x, y));
        } else {
            *andMask = MaskFromAlpha(*color);
        }
        if (InverseMask)
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    if (Bit(*InverseMask, x, y)) SetBit(*andMask, x, y, true);
    } else {
        // Without a mask every pixel shows. Cursor images hold inverting pixels below 32 bits.
        const bool withInverse = InverseMask && GetImageType() == 2;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                if (withInverse && Bit(*InverseMask, x, y)) {
                    SetBit(*andMask, x, y, true);
                    color->SetPixel(x, y, clWhite);
                } else if (Mask && !Bit(*Mask, x, y)) {
                    SetBit(*andMask, x, y, true);
                    color->SetPixel(x, y, clBlack);
                }
            }
    }
    TUpdateGuard<TCustomIconCursorResourceItem> batch(this);
    StoreImage(std::move(color), std::move(andMask));
}

// --- size and depth -------------------------------------------------------------------------------

void TCustomIconCursorResourceItem::SetWidth(int Value)
{
    if (Value == GetWidth()) return;
    CheckImageSize(Value, 1);
    ResizeImage(Value, GetHeight());
}

void TCustomIconCursorResourceItem::SetHeight(int Value)
{
    if (Value == GetHeight()) return;
    CheckImageSize(1, Value);
    ResizeImage(GetWidth(), Value);
}

void TCustomIconCursorResourceItem::ResizeImage(int AWidth, int AHeight)
{
    CheckImageSize(AWidth, AHeight);
    TUpdateGuard<TCustomIconCursorResourceItem> batch(this);
    EnsureImage();
    if (FBitmapColor && FBitmapColor->PixelFormat() == pf32bit) {
        // Directly: a 24-bit picture would lose the alpha. The new area is transparent.
        auto color = PixelCopy(*FBitmapColor);
        color->SetSize(AWidth, AHeight);
        auto mask = std::make_unique<TBitmap>(AWidth, AHeight, pf1bit);
        mask->Fill(clWhite);
        const int width = std::min(AWidth, FBitmapMask->Width()), height = std::min(AHeight, FBitmapMask->Height());
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) SetBit(*mask, x, y, Bit(*FBitmapMask, x, y));
        StoreImage(std::move(color), std::move(mask));
        return;
    }
    TBitmap picture;
    AssignTo(picture);
    const int oldWidth = picture.Width(), oldHeight = picture.Height();
    picture.SetSize(AWidth, AHeight);
    const TColor key = ColorToRGB(picture.TransparentColor());
    for (int y = 0; y < AHeight; ++y)
        for (int x = y < oldHeight ? oldWidth : 0; x < AWidth; ++x) picture.SetPixel(x, y, key);
    Assign(picture);
}

void TCustomIconCursorResourceItem::SetColorDepth(int Value)
{
    if (!GetSupportedColorDepths().Contains(Value) || Value == GetColorDepth()) return;
    TUpdateGuard<TCustomIconCursorResourceItem> batch(this);
    EnsureImage();
    if (!FBitmapMask) {
        FColorDepth = Value;
        return;
    }
    const int width = FBitmapMask->Width();
    const int height = FBitmapColor ? FBitmapMask->Height() : FBitmapMask->Height() / 2;
    std::unique_ptr<TBitmap> color, mask;
    bool fromAlpha = false;
    if (!FBitmapColor) {
        color = MaskRows(*FBitmapMask, height, height);
        mask = MaskRows(*FBitmapMask, 0, height);
        mask->SetPalette(DefaultPalette(1));
    } else if (FBitmapColor->PixelFormat() == pf32bit) {
        color = PixelCopy(*FBitmapColor);
        fromAlpha = !AllAlphaZero(*color);
        mask = fromAlpha ? std::make_unique<TBitmap>(MaskFromAlpha(*color)) : PixelCopy(*FBitmapMask);
    } else {
        color = PixelCopy(*FBitmapColor);
        if (IsPaletteFormat(color->PixelFormat())) SetBitmapPalette(*color, FPalette);
        mask = PixelCopy(*FBitmapMask);
    }
    // Which masked pixels invert the screen; below 32 bits they stay so, the others stay transparent,
    // whatever colour the conversion gives them.
    std::vector<bool> inverting(size_t(width) * height);
    if (!fromAlpha)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                inverting[size_t(y) * width + x] = Bit(*mask, x, y) && color->Pixel(x, y) == clWhite;

    ConvertPixelFormat(*color, ColorDepthToPixelFormat(Value));
    if (Value <= 8) {
        // A reduced palette need not hold black or white.
        bool needBlack = false, needWhite = false;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (Bit(*mask, x, y)) (inverting[size_t(y) * width + x] ? needWhite : needBlack) = true;
        if (needBlack) EnsurePaletteColor(*color, *mask, clBlack, needWhite ? clWhite : clNone);
        if (needWhite) EnsurePaletteColor(*color, *mask, clWhite, needBlack ? clBlack : clNone);
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool masked = Bit(*mask, x, y);
            if (Value == 32)
                color->SetPixelAlpha(x, y, masked ? 0 : 255);
            else if (masked)
                color->SetPixel(x, y, inverting[size_t(y) * width + x] ? clWhite : clBlack);
        }
    StoreImage(std::move(color), std::move(mask));
}
