#include "kinds/koIconEncoder.h"
#include "kinds/koResourceItemIconCursor.h"

#include "platform/ByteBuilder.h"
#include "platform/Icon.h"
#include "platform/PngImage.h"
#include "platform/Streams.h"
#include "platform/UpdateGuard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// What a test image holds at each pixel: (x + 2y) mod 5 is 0 for transparent pixels and 1 for
// screen-inverting ones (where the image has them); the others show a colour.
enum TKind { kOpaque, kTransparent, kInverting };

TKind KindAt(int x, int y, bool Inverting)
{
    const int k = (x + 2 * y) % 5;
    if (k == 0) return kTransparent;
    if (k == 1 && Inverting) return kInverting;
    return kOpaque;
}

// Black and white first, then colours whose channels all differ, so that a swap of red and blue shows.
TColorArray TestPalette(int Count)
{
    TColorArray palette{clBlack, clWhite};
    for (int i = 2; i < Count; ++i) palette.push_back(RGBColor(0x10 + i, 0x80 + (i * 37) % 100, 0xF0 - i / 2));
    return palette;
}

int OpaqueIndex(int x, int y, int Count) { return 2 + (3 * x + y) % (Count - 2); }

TColor OpaqueColor24(int x, int y) { return RGBColor(0x10 + x, 0x80 + y, 0xF0 - x); }

int OpaqueAlpha(int x, int y) { return (x + y) % 2 ? 255 : 128; }

TColor OpaqueColorAt(int Depth, int x, int y)
{
    if (Depth == 1) return (x + y) % 2 ? clWhite : clBlack;
    if (Depth <= 8) return TestPalette(1 << Depth)[size_t(OpaqueIndex(x, y, 1 << Depth))];
    return OpaqueColor24(x, y);
}

// An image in the layout the items store: the colour image (none at 1 bit) and the AND mask (at 1 bit
// twice the height, the image below).
struct TTestImage {
    std::unique_ptr<TBitmap> Color;
    std::unique_ptr<TBitmap> Mask;
};

TTestImage MakeImage(int Depth, int Width, int Height, bool Inverting)
{
    TTestImage image;
    if (Depth == 1) {
        image.Mask = std::make_unique<TBitmap>(Width, 2 * Height, pf1bit);
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x) {
                const TKind kind = KindAt(x, y, Inverting);
                image.Mask->SetPixelIndex(x, y, kind == kOpaque ? 0 : 1);
                image.Mask->SetPixelIndex(x, Height + y, kind == kOpaque ? (x + y) % 2 : kind == kInverting);
            }
        return image;
    }
    image.Color = std::make_unique<TBitmap>(Width, Height, ColorDepthToPixelFormat(Depth));
    image.Mask = std::make_unique<TBitmap>(Width, Height, pf1bit);
    if (Depth <= 8) image.Color->SetPalette(TestPalette(1 << Depth));
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            const TKind kind = KindAt(x, y, Inverting);
            image.Mask->SetPixelIndex(x, y, kind == kOpaque ? 0 : 1);
            if (Depth <= 8)
                image.Color->SetPixelIndex(x, y, kind == kOpaque ? OpaqueIndex(x, y, 1 << Depth) : kind == kInverting);
            else if (Depth == 24)
                image.Color->SetPixel(x, y, kind == kOpaque ? OpaqueColor24(x, y) : kind == kInverting ? clWhite : clBlack);
            else // alpha decides; white under transparent pixels would invert the screen below 32 bits
                image.Color->SetPixel(x, y, kind == kOpaque ? OpaqueColor24(x, y) : clWhite);
            if (Depth == 32) image.Color->SetPixelAlpha(x, y, kind == kOpaque ? OpaqueAlpha(x, y) : 0);
        }
    if (Depth == 32) image.Color->SetAlphaFormat(afDefined);
    return image;
}

QByteArray Encode(const TTestImage& Image)
{
    TIconBMPEncoder encoder;
    TMemoryStream stream;
    encoder.Encode(stream, Image.Color.get(), Image.Mask.get());
    stream.SetPosition(0);
    return stream.ReadBytes(stream.Size());
}

std::unique_ptr<TCustomIconCursorResourceItem> LoadItem(bool Cursor, const QByteArray& Image, QPoint Hotspot = {})
{
    std::unique_ptr<TCustomIconCursorResourceItem> item;
    QByteArray data;
    if (Cursor) {
        item = std::make_unique<TCursorResourceItem>(TResourceIdent::FromOrdinal(1));
        Add16(data, uint32_t(Hotspot.x()));
        Add16(data, uint32_t(Hotspot.y()));
    } else {
        item = std::make_unique<TIconResourceItem>(TResourceIdent::FromOrdinal(1));
    }
    data.append(Image);
    TBytesStream stream(data);
    item->LoadFromStream(stream, stream.Size());
    return item;
}

std::unique_ptr<TCustomIconCursorResourceItem> LoadItem(bool Cursor, int Depth, int Width, int Height, bool Inverting)
{
    return LoadItem(Cursor, Encode(MakeImage(Depth, Width, Height, Inverting)));
}

// One stored pixel: its AND bit, its XOR colour and, at 32 bits, its alpha (-1 below).
struct TStoredPixel {
    bool And = false;
    TColor Xor;
    int Alpha = -1;
    bool operator==(const TStoredPixel&) const = default;
};

void PrintTo(const TStoredPixel& p, std::ostream* os)
{
    *os << "{and " << p.And << ", xor 0x" << std::hex << p.Xor.Value << std::dec << ", alpha " << p.Alpha << "}";
}

struct TStoredImage {
    int Width = 0;
    int Height = 0;
    int Depth = 0;
    std::vector<TStoredPixel> Pixels;
};

TStoredImage Stored(const TBitmap* Color, const TBitmap& Mask)
{
    TStoredImage image;
    image.Width = Mask.Width();
    image.Height = Color ? Mask.Height() : Mask.Height() / 2;
    image.Depth = Color ? Color->BitCount() : 1;
    for (int y = 0; y < image.Height; ++y)
        for (int x = 0; x < image.Width; ++x) {
            TStoredPixel p;
            p.And = Mask.PixelIndex(x, y) != 0;
            p.Xor = Color ? Color->Pixel(x, y) : Mask.Pixel(x, image.Height + y);
            if (Color && Color->PixelFormat() == pf32bit) p.Alpha = Color->PixelAlpha(x, y);
            image.Pixels.push_back(p);
        }
    return image;
}

TStoredImage Stored(const TTestImage& Image) { return Stored(Image.Color.get(), *Image.Mask); }

// What the item's bytes hold, decoded on their own.
TStoredImage Stored(TCustomIconCursorResourceItem& Item)
{
    TBytesStream stream(Item.ResourceData());
    if (Item.HasHotSpot()) stream.SetPosition(4);
    TIconBMPEncoder decoder;
    std::unique_ptr<TBitmap> color, mask;
    decoder.Decode(stream, color, mask, 0);
    return Stored(color.get(), *mask);
}

void ExpectSameImage(const TStoredImage& Actual, const TStoredImage& Expected)
{
    ASSERT_EQ(Actual.Width, Expected.Width);
    ASSERT_EQ(Actual.Height, Expected.Height);
    EXPECT_EQ(Actual.Depth, Expected.Depth);
    for (size_t i = 0; i < Expected.Pixels.size(); ++i)
        ASSERT_EQ(Actual.Pixels[i], Expected.Pixels[i]) << "pixel " << i % Expected.Width << ", " << i / Expected.Width;
}

bool MaskBit(const TBitmap& Mask, int x, int y) { return Mask.PixelIndex(x, y) != 0; }

// The display colours are process-wide: a test that changes one puts it back however it ends.
class TDisplayColors {
public:
    ~TDisplayColors()
    {
        TCustomIconCursorResourceItem::SetTransparentDisplayColor(FTransparent);
        TCustomIconCursorResourceItem::SetInverseDisplayColor(FInverse);
    }

private:
    TColor FTransparent = TCustomIconCursorResourceItem::TransparentDisplayColor();
    TColor FInverse = TCustomIconCursorResourceItem::InverseDisplayColor();
};

} // namespace

// --- faces ----------------------------------------------------------------------------------------

TEST(IconCursorConvert, BitmapsOutAndBackKeepEveryPixel)
{
    struct TCase {
        bool Cursor;
        int Depth;
        bool Inverting;
    };
    // Icons have no inverse mask: their test images have no inverting pixels. A 32-bit image shows
    // through alpha alone.
    const TCase cases[] = {
        {false, 1, false}, {false, 4, false}, {false, 8, false}, {false, 24, false}, {false, 32, false},
        {true, 1, true},   {true, 4, true},   {true, 8, true},   {true, 24, true},   {true, 32, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.Cursor ? "cursor" : "icon") << " at " << c.Depth << " bits");
        const TTestImage source = MakeImage(c.Depth, 11, 7, c.Inverting);
        auto item = LoadItem(c.Cursor, Encode(source));
        std::unique_ptr<TBitmap> bitmap, mask, inverse;
        item->GetBitmaps(bitmap, mask, inverse);
        ASSERT_TRUE(bitmap);
        ASSERT_EQ(bitmap->Width(), 11);
        ASSERT_EQ(bitmap->Height(), 7);
        EXPECT_EQ(bitmap->BitCount(), c.Depth);
        if (c.Depth == 32) {
            EXPECT_FALSE(mask);
            EXPECT_FALSE(inverse);
            for (int y = 0; y < 7; ++y)
                for (int x = 0; x < 11; ++x)
                    if (KindAt(x, y, false) == kOpaque) {
                        ASSERT_EQ(bitmap->Pixel(x, y), OpaqueColor24(x, y));
                        ASSERT_EQ(bitmap->PixelAlpha(x, y), OpaqueAlpha(x, y));
                    } else {
                        ASSERT_EQ(bitmap->PixelAlpha(x, y), 0);
                    }
        } else {
            ASSERT_TRUE(mask);
            EXPECT_EQ(inverse != nullptr, c.Cursor);
            for (int y = 0; y < 7; ++y)
                for (int x = 0; x < 11; ++x) {
                    const TKind kind = KindAt(x, y, c.Inverting);
                    ASSERT_EQ(MaskBit(*mask, x, y), kind != kTransparent) << x << ", " << y;
                    if (inverse) {
                        ASSERT_EQ(MaskBit(*inverse, x, y), kind == kInverting) << x << ", " << y;
                    }
                }
            if (c.Depth > 1 && c.Depth <= 8) {
                EXPECT_EQ(bitmap->Palette(), TestPalette(1 << c.Depth));
            }
            if (c.Depth == 24) {
                EXPECT_EQ(bitmap->Pixel(3, 0), OpaqueColor24(3, 0));
            }
        }

        auto target = LoadItem(c.Cursor, Encode(MakeImage(4, 3, 3, false)));
        target->SetBitmaps(*bitmap, mask.get(), inverse.get());
        EXPECT_EQ(target->Width(), 11);
        EXPECT_EQ(target->ColorDepth(), c.Depth);
        ExpectSameImage(Stored(*target), Stored(source));
    }
}

TEST(IconCursorConvert, OneInvertingPixelOfAMonochromeCursor)
{
    TTestImage image;
    image.Mask = std::make_unique<TBitmap>(8, 8, pf1bit); // AND on top, XOR below; all black and opaque
    image.Mask->SetPixelIndex(2, 1, 1);
    image.Mask->SetPixelIndex(2, 4 + 1, 1); // AND 1 and white: inverting
    image.Mask->SetPixelIndex(3, 4 + 2, 1); // a white pixel that shows
    image.Mask->SetPixelIndex(0, 3, 1);     // AND 1 and black: transparent
    auto item = LoadItem(true, Encode(image), QPoint(1, 2));

    std::unique_ptr<TBitmap> bitmap, mask, inverse;
    item->GetBitmaps(bitmap, mask, inverse);
    ASSERT_TRUE(bitmap && mask && inverse);
    EXPECT_EQ(bitmap->PixelFormat(), pf1bit);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool inverting = x == 2 && y == 1;
            EXPECT_EQ(bitmap->PixelIndex(x, y), int(inverting || (x == 3 && y == 2))) << x << ", " << y;
            EXPECT_EQ(MaskBit(*mask, x, y), !(x == 0 && y == 3)) << x << ", " << y;
            EXPECT_EQ(MaskBit(*inverse, x, y), inverting) << x << ", " << y;
        }

    item->SetBitmaps(*bitmap, mask.get(), inverse.get());
    ExpectSameImage(Stored(*item), Stored(image));
    QPoint hotspot;
    static_cast<TCursorResourceItem&>(*item).GetHotspot(hotspot);
    EXPECT_EQ(hotspot, QPoint(1, 2));
}

TEST(IconCursorConvert, IconsTakeNoInverseMaskAndTrueColourTakesTheMaskFromAlpha)
{
    // An icon cannot hold inverting pixels from the face: the inverse mask is ignored and the pixel
    // shows its colour.
    auto icon = LoadItem(false, 24, 4, 4, false);
    TBitmap picture(4, 4, pf24bit);
    picture.Fill(RGBColor(0x10, 0x80, 0xF0));
    TBitmap mask(4, 4, pf1bit), inverse(4, 4, pf1bit);
    mask.Fill(clWhite);
    inverse.SetPixelIndex(1, 1, 1);
    icon->SetBitmaps(picture, &mask, &inverse);
    const TStoredImage stored = Stored(*icon);
    EXPECT_EQ(stored.Pixels[5], (TStoredPixel{false, RGBColor(0x10, 0x80, 0xF0), -1}));

    // 32 bits without a mask: alpha 0 is transparent.
    TBitmap argb(3, 2, pf32bit);
    argb.Fill(RGBColor(0x10, 0x80, 0xF0));
    SetBitmapAlpha(argb, 200);
    argb.SetPixelAlpha(2, 1, 0);
    argb.SetAlphaFormat(afDefined);
    icon->SetBitmaps(argb, nullptr, nullptr);
    EXPECT_EQ(icon->ColorDepth(), 32);
    EXPECT_EQ(icon->GetTransparencyMethod(), rtmAlpha);
    const TStoredImage alpha = Stored(*icon);
    EXPECT_EQ(alpha.Pixels[0], (TStoredPixel{false, RGBColor(0x10, 0x80, 0xF0), 200}));
    EXPECT_EQ(alpha.Pixels[5], (TStoredPixel{true, RGBColor(0x10, 0x80, 0xF0), 0}));
}

TEST(IconCursorConvert, OlderTrueColourIconsShowThroughTheirMask)
{
    // Every alpha byte 0: the AND mask decides what shows, for the face as for pictures.
    TTestImage image = MakeImage(32, 5, 5, false);
    SetBitmapAlpha(*image.Color, 0);
    auto item = LoadItem(false, Encode(image));
    std::unique_ptr<TBitmap> bitmap, mask, inverse;
    item->GetBitmaps(bitmap, mask, inverse);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->PixelAlpha(1, 0), 255);
    EXPECT_EQ(bitmap->PixelAlpha(0, 0), 0);
    TBitmap picture;
    item->AssignTo(picture);
    EXPECT_EQ(picture.PixelFormat(), pf32bit);
    EXPECT_EQ(picture.PixelAlpha(1, 0), 255);
    EXPECT_EQ(picture.PixelAlpha(0, 0), 0);
}

TEST(IconCursorConvert, WithoutImageTheFaceGivesAnEmptyBitmap)
{
    TIconResourceItem item(TResourceIdent::FromOrdinal(1));
    std::unique_ptr<TBitmap> bitmap, mask, inverse;
    item.GetBitmaps(bitmap, mask, inverse);
    ASSERT_TRUE(bitmap);
    EXPECT_TRUE(bitmap->Empty());
    EXPECT_FALSE(mask);
    EXPECT_FALSE(inverse);
}

// --- pictures -------------------------------------------------------------------------------------

TEST(IconCursorConvert, BitmapPictureUsesTheDisplayColoursBothWays)
{
    const TTestImage source = MakeImage(4, 9, 6, true);
    auto item = LoadItem(false, Encode(source));
    TBitmap picture;
    item->AssignTo(picture);
    EXPECT_EQ(picture.PixelFormat(), pf24bit);
    EXPECT_TRUE(picture.Transparent());
    EXPECT_EQ(picture.TransparentMode(), tmFixed);
    EXPECT_EQ(picture.TransparentColor(), TColor(0x00FFD2D2));
    const TColorArray palette = TestPalette(16);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 9; ++x) {
            const TKind kind = KindAt(x, y, true);
            const TColor expected = kind == kTransparent ? TColor(0x00FFD2D2)
                                    : kind == kInverting ? TColor(0x00D2FFD2)
                                                         : palette[size_t(OpaqueIndex(x, y, 16))];
            ASSERT_EQ(picture.Pixel(x, y), expected) << x << ", " << y;
        }

    // Back: 24 bits, the same transparent and inverting pixels.
    auto back = LoadItem(false, Encode(MakeImage(4, 3, 3, false)));
    back->Assign(picture);
    EXPECT_EQ(back->ColorDepth(), 24);
    TStoredImage expected = Stored(source);
    expected.Depth = 24;
    ExpectSameImage(Stored(*back), expected);
}

TEST(IconCursorConvert, BitmapPictureKeepsItsOwnFixedTransparentColour)
{
    auto item = LoadItem(true, 1, 5, 5, true);
    TBitmap picture;
    picture.SetTransparentColor(RGBColor(0x10, 0x80, 0xF0));
    item->AssignTo(picture);
    EXPECT_EQ(picture.TransparentColor(), RGBColor(0x10, 0x80, 0xF0));
    EXPECT_EQ(picture.Pixel(0, 0), RGBColor(0x10, 0x80, 0xF0)); // transparent
    EXPECT_EQ(picture.Pixel(1, 0), TColor(0x00D2FFD2));         // inverting

    // Into a cursor whose bytes were never read: its hot spot stays.
    auto back = LoadItem(true, Encode(MakeImage(4, 2, 2, false)), QPoint(5, 7));
    back->Assign(picture);
    TStoredImage expected = Stored(MakeImage(1, 5, 5, true));
    expected.Depth = 24;
    ExpectSameImage(Stored(*back), expected);
    QPoint hotspot;
    static_cast<TCursorResourceItem&>(*back).GetHotspot(hotspot);
    EXPECT_EQ(hotspot, QPoint(5, 7));
}

TEST(IconCursorConvert, TrueColourBitmapPictureKeepsAlpha)
{
    const TTestImage source = MakeImage(32, 6, 4, false);
    auto item = LoadItem(false, Encode(source));
    TBitmap picture;
    item->AssignTo(picture);
    EXPECT_EQ(picture.PixelFormat(), pf32bit);
    EXPECT_FALSE(picture.Transparent());
    EXPECT_EQ(picture.Pixel(2, 0), OpaqueColor24(2, 0));
    EXPECT_EQ(picture.PixelAlpha(2, 0), OpaqueAlpha(2, 0));
    EXPECT_EQ(picture.PixelAlpha(0, 0), 0);

    auto back = LoadItem(true, 4, 2, 2, false);
    back->Assign(picture);
    ExpectSameImage(Stored(*back), Stored(source));
}

TEST(IconCursorConvert, UnreadableBytesCanBeReplaced)
{
    QByteArray broken;
    Add16(broken, 3);
    Add16(broken, 4);
    broken.append("not an image at all, not even a header");
    TCursorResourceItem item(TResourceIdent::FromOrdinal(1));
    TBytesStream stream(broken);
    item.LoadFromStream(stream, stream.Size());
    TBitmap picture(2, 2, pf24bit);
    picture.Fill(RGBColor(0x10, 0x80, 0xF0));
    item.Assign(picture);
    const TStoredImage stored = Stored(item);
    EXPECT_EQ(stored.Pixels[3], (TStoredPixel{false, RGBColor(0x10, 0x80, 0xF0), -1}));
    QPoint hotspot;
    item.GetHotspot(hotspot);
    EXPECT_EQ(hotspot, QPoint(3, 4));
}

TEST(IconCursorConvert, MaskedColouredPixelsShowAsOnTheScreen)
{
    // AND 1 with a colour other than black or white: the background XOR the colour.
    TTestImage image = MakeImage(24, 2, 1, false);
    image.Mask->SetPixelIndex(1, 0, 1);
    image.Color->SetPixel(1, 0, RGBColor(0x10, 0x80, 0xF0));
    auto item = LoadItem(false, Encode(image));
    TBitmap picture;
    item->AssignTo(picture);
    EXPECT_EQ(picture.Pixel(1, 0), TColor(0x00FFD2D2 ^ RGBColor(0x10, 0x80, 0xF0).Value));
}

TEST(IconCursorConvert, OpaqueBitmapPictureHasNoKeyedPixels)
{
    // 32 bits whose fourth byte counts for nothing: opaque.
    TBitmap argb(2, 1, pf32bit);
    argb.Fill(RGBColor(0x10, 0x80, 0xF0));
    SetBitmapAlpha(argb, 7);
    auto opaque = LoadItem(false, 4, 2, 2, false);
    opaque->Assign(argb);
    EXPECT_EQ(Stored(*opaque).Pixels[1], (TStoredPixel{false, RGBColor(0x10, 0x80, 0xF0), 255}));

    // A picture that is not transparent keeps every pixel, also those of the display colours.
    TBitmap picture(2, 1, pf24bit);
    picture.SetPixel(0, 0, TColor(0x00FFD2D2));
    picture.SetPixel(1, 0, TColor(0x00D2FFD2));
    auto item = LoadItem(false, 4, 2, 2, false);
    item->Assign(picture);
    const TStoredImage stored = Stored(*item);
    EXPECT_EQ(stored.Pixels[0], (TStoredPixel{false, TColor(0x00FFD2D2), -1}));
    EXPECT_EQ(stored.Pixels[1], (TStoredPixel{false, TColor(0x00D2FFD2), -1}));
}

TEST(IconCursorConvert, OneInverseDisplayColourServesBothDirections)
{
    TDisplayColors restore;
    // Changing only the transparent colour leaves the inverse colour as it is...
    TCustomIconCursorResourceItem::SetTransparentDisplayColor(RGBColor(0x20, 0x40, 0x60));
    // ...and the inverse colour set on its own is what both directions use.
    TCustomIconCursorResourceItem::SetInverseDisplayColor(RGBColor(0x10, 0x80, 0xF0));
    const TTestImage source = MakeImage(4, 7, 3, true);
    auto item = LoadItem(true, Encode(source));
    TBitmap picture;
    item->AssignTo(picture);
    EXPECT_EQ(picture.TransparentColor(), RGBColor(0x20, 0x40, 0x60));
    EXPECT_EQ(picture.Pixel(0, 0), RGBColor(0x20, 0x40, 0x60));
    EXPECT_EQ(picture.Pixel(1, 0), RGBColor(0x10, 0x80, 0xF0));

    auto back = LoadItem(true, 4, 2, 2, false);
    back->Assign(picture);
    TStoredImage expected = Stored(source);
    expected.Depth = 24;
    ExpectSameImage(Stored(*back), expected);
}

TEST(IconCursorConvert, IconPictureBringsPixelsAndHotspot)
{
    QImage image(5, 3, QImage::Format_ARGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) image.setPixel(x, y, qRgba(0x10 + x, 0x80, 0xF0 - y, x == 0 ? 0 : 0x40 * y + 0x3F));
    TIcon icon;
    icon.SetImage(image, false, QPoint(4, 2));

    for (bool cursor : {false, true}) {
        SCOPED_TRACE(cursor ? "cursor" : "icon");
        auto item = LoadItem(cursor, 4, 2, 2, false);
        item->Assign(icon);
        EXPECT_EQ(item->ColorDepth(), 32);
        EXPECT_EQ(item->Width(), 5);
        const TStoredImage stored = Stored(*item);
        EXPECT_EQ(stored.Pixels[0].And, true);
        EXPECT_EQ(stored.Pixels[0].Alpha, 0);
        EXPECT_EQ(stored.Pixels[5 + 3], (TStoredPixel{false, RGBColor(0x13, 0x80, 0xEF), 0x7F}));
        if (cursor) {
            QPoint hotspot;
            static_cast<TCursorResourceItem&>(*item).GetHotspot(hotspot);
            EXPECT_EQ(hotspot, QPoint(4, 2));
        }

        TIcon shown;
        item->AssignTo(shown);
        EXPECT_EQ(shown.ToQImage().pixel(3, 1), qRgba(0x13, 0x80, 0xEF, 0x7F));
        EXPECT_EQ(qAlpha(shown.ToQImage().pixel(0, 1)), 0);
    }
}

TEST(IconCursorConvert, OtherPicturesAreRefused)
{
    auto item = LoadItem(false, 4, 2, 2, false);
    const QByteArray before = item->ResourceData();
    TPngImage png;
    EXPECT_THROW(item->Assign(png), EConvertError);
    EXPECT_THROW(item->AssignTo(png), EConvertError);
    EXPECT_EQ(item->ResourceData(), before);
}

// --- size and depth -------------------------------------------------------------------------------

TEST(IconCursorConvert, WiderPaletteIconBecomesTrueColourWithItsTransparency)
{
    const TTestImage source = MakeImage(4, 32, 32, false);
    auto item = LoadItem(false, Encode(source));
    item->SetWidth(48);
    EXPECT_EQ(item->Width(), 48);
    EXPECT_EQ(item->Height(), 32);
    EXPECT_EQ(item->ColorDepth(), 24);
    const TStoredImage before = Stored(source), after = Stored(*item);
    ASSERT_EQ(after.Width, 48);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x) {
            const TStoredPixel& p = after.Pixels[size_t(y) * 48 + x];
            if (x < 32)
                ASSERT_EQ(p, before.Pixels[size_t(y) * 32 + x]) << x << ", " << y;
            else // the new area is transparent
                ASSERT_EQ(p, (TStoredPixel{true, clBlack, -1})) << x << ", " << y;
        }
}

TEST(IconCursorConvert, ResizingTrueColourKeepsAlpha)
{
    const TTestImage source = MakeImage(32, 6, 6, false);
    auto item = LoadItem(true, Encode(source), QPoint(3, 4));
    item->SetHeight(4);
    item->SetWidth(8);
    EXPECT_EQ(item->ColorDepth(), 32);
    const TStoredImage before = Stored(source), after = Stored(*item);
    ASSERT_EQ(after.Width, 8);
    ASSERT_EQ(after.Height, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            const TStoredPixel& p = after.Pixels[size_t(y) * 8 + x];
            if (x < 6)
                ASSERT_EQ(p, before.Pixels[size_t(y) * 6 + x]) << x << ", " << y;
            else
                ASSERT_TRUE(p.And && p.Alpha == 0) << x << ", " << y;
        }
    QPoint hotspot;
    static_cast<TCursorResourceItem&>(*item).GetHotspot(hotspot);
    EXPECT_EQ(hotspot, QPoint(3, 4));
}

TEST(IconCursorConvert, SizesOutsideTheIconRangeAreRefused)
{
    auto item = LoadItem(false, 4, 16, 16, false);
    const QByteArray before = item->ResourceData();
    struct TCounter : IResourceItemNotification {
        int Changes = 0;
        void ResourceItemNotification(TCustomResourceItem*, TResourceItemNotification n) override
        {
            if (n == rnChanged) ++Changes;
        }
    } counter;
    item->Subscribe(&counter);
    for (int size : {0, -1, 257}) {
        SCOPED_TRACE(size);
        try {
            item->SetWidth(size);
            ADD_FAILURE() << "SetWidth accepted";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Invalid image size"));
        }
        EXPECT_THROW(item->SetHeight(size), Exception);
    }
    EXPECT_EQ(item->Width(), 16);
    EXPECT_EQ(item->Height(), 16);
    EXPECT_EQ(item->ResourceData(), before);
    EXPECT_EQ(counter.Changes, 0);
    // The limits themselves are sizes an icon can have; each change is reported once.
    item->SetWidth(256);
    EXPECT_EQ(counter.Changes, 1);
    item->SetHeight(1);
    EXPECT_EQ(counter.Changes, 2);
    item->Unsubscribe(&counter);
    EXPECT_EQ(item->Width(), 256);
    EXPECT_EQ(item->Height(), 1);
}

TEST(IconCursorConvert, TrueColourFromPaletteImageHasAlphaExactlyWhereTransparent)
{
    const TTestImage source = MakeImage(4, 10, 5, false);
    auto item = LoadItem(false, Encode(source));
    item->SetColorDepth(32);
    EXPECT_EQ(item->ColorDepth(), 32);
    const TColorArray palette = TestPalette(16);
    const TStoredImage stored = Stored(*item);
    ASSERT_EQ(stored.Depth, 32);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 10; ++x) {
            const TStoredPixel& p = stored.Pixels[size_t(y) * 10 + x];
            if (KindAt(x, y, false) == kTransparent)
                ASSERT_EQ(p.Alpha, 0) << x << ", " << y;
            else
                ASSERT_EQ(p, (TStoredPixel{false, palette[size_t(OpaqueIndex(x, y, 16))], 255})) << x << ", " << y;
        }
}

TEST(IconCursorConvert, ColourDepthChangesKeepTransparentAndInvertingPixels)
{
    struct TCase {
        int From, To;
    };
    // Down from 32 bits the alpha decides; below 32 the AND mask and the inverting pixels stay.
    const TCase cases[] = {{32, 4}, {32, 1}, {24, 8}, {8, 4}, {4, 1}, {1, 8}, {4, 24}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.From << " to " << c.To << " bits");
        const bool inverting = c.From != 32;
        auto item = LoadItem(true, c.From, 12, 9, inverting);
        item->SetColorDepth(c.To);
        EXPECT_EQ(item->ColorDepth(), c.To);
        const TStoredImage stored = Stored(*item);
        ASSERT_EQ(stored.Depth, c.To);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 12; ++x) {
                const TStoredPixel& p = stored.Pixels[size_t(y) * 12 + x];
                switch (KindAt(x, y, inverting)) {
                case kTransparent: ASSERT_EQ(p, (TStoredPixel{true, clBlack, -1})) << x << ", " << y; break;
                case kInverting: ASSERT_EQ(p, (TStoredPixel{true, clWhite, -1})) << x << ", " << y; break;
                case kOpaque:
                    ASSERT_FALSE(p.And) << x << ", " << y;
                    // Widening keeps every colour, and so does 8 bits for an image of fewer colours.
                    if (c.To >= c.From || c.To == 8) {
                        ASSERT_EQ(p.Xor, OpaqueColorAt(c.From, x, y)) << x << ", " << y;
                    } else if (c.From == 32 && c.To == 4) {
                        // None of the colours is near black: black took an entry, whose pixels moved.
                        ASSERT_NE(p.Xor, clBlack) << x << ", " << y;
                    }
                    break;
                }
            }
    }
}

TEST(IconCursorConvert, ReducedPaletteTakesBlackForTransparentPixels)
{
    // Sixteen colours, none near black, fill the whole table; the transparent pixels hold one of them.
    TColorArray colors;
    for (int i = 0; i < 16; ++i) colors.push_back(RGBColor(0x40 + 12 * i, 0xF0 - 9 * i, 0x80 + (i % 4) * 30));
    TTestImage image;
    image.Color = std::make_unique<TBitmap>(8, 4, pf32bit);
    image.Mask = std::make_unique<TBitmap>(8, 4, pf1bit);
    for (int i = 0; i < 32; ++i) {
        const int x = i % 8, y = i / 8;
        const bool transparent = i >= 28;
        image.Color->SetPixel(x, y, colors[size_t(transparent ? 0 : i % 16)]);
        image.Color->SetPixelAlpha(x, y, transparent ? 0 : 255);
        image.Mask->SetPixelIndex(x, y, transparent);
    }
    image.Color->SetAlphaFormat(afDefined);
    auto item = LoadItem(false, Encode(image));
    item->SetColorDepth(4);
    const TStoredImage stored = Stored(*item);
    ASSERT_EQ(stored.Depth, 4);
    int exact = 0;
    for (int i = 0; i < 32; ++i) {
        const TStoredPixel& p = stored.Pixels[size_t(i)];
        if (i >= 28) {
            ASSERT_EQ(p, (TStoredPixel{true, clBlack, -1})) << i;
            continue;
        }
        ASSERT_FALSE(p.And) << i;
        ASSERT_NE(std::find(colors.begin(), colors.end(), p.Xor), colors.end()) << i;
        exact += p.Xor == colors[size_t(i % 16)];
    }
    // One colour gave its entry to black; its pixels took their nearest other colour.
    EXPECT_GE(exact, 28 - 2);
    EXPECT_LT(exact, 28);
}

TEST(IconCursorConvert, UnsupportedOrSameDepthChangesNothing)
{
    auto item = LoadItem(false, 8, 4, 4, false);
    const QByteArray before = item->ResourceData();
    for (int depth : {8, 2, 16, 0, 33}) item->SetColorDepth(depth);
    EXPECT_EQ(item->ColorDepth(), 8);
    EXPECT_EQ(item->ResourceData(), before);
}
