#include "kinds/koResourceItemBitmap.h"
#include "kinds/koResourceItemImage.h"
#include "model/koResourcesFiler.h"
#include "platform/Icon.h"
#include "platform/JpegImage.h"
#include "platform/PngImage.h"
#include "platform/Streams.h"

#include <gtest/gtest.h>

namespace {
TResourceIdent Ord(uint16_t v) { return TResourceIdent::FromOrdinal(v); }

class ImageKinds : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemImage_Initialize();
    }
    void TearDown() override
    {
        koResourceItemImage_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }
};

QByteArray Hex(const char* hex) { return QByteArray::fromHex(hex); }

// An image that may live in a group, as the images of icon groups do.
class TGroupImage : public TBitmapResourceItem {
    RESOURCE_ITEM_CLASS(TGroupImage, TBitmapResourceItem)
public:
    using TBitmapResourceItem::TBitmapResourceItem;
    static TResourceItemClass ParentClass() { return TResourceItemGeneric::ClassInfo(); }
};
} // namespace

TEST_F(ImageKinds, FormatsAreLookedUpLongestSignatureFirst)
{
    QStringList order;
    for (const auto& format : ImageFormats()) order << QString::fromLatin1(format->GraphicClass()->ClassName());
    EXPECT_EQ(order, (QStringList{"TJPEGImage", "TJPEGImage", "TPngImage", "TIcon", "TIcon", "TBitmap"}));

    struct TCase {
        QByteArray data;
        const char* graphic; // nullptr: no format
    } cases[] = {
        {Hex("424d000000"), "TBitmap"},
        {Hex("0000010001001010"), "TIcon"},
        {Hex("000001002c01"), nullptr}, // 300 images: the count's high byte is not 0
        {Hex("00000100ff00"), "TIcon"},
        {Hex("0000020001001010"), "TIcon"},
        {Hex("89504e470d0a1a0a0000"), "TPngImage"},
        {Hex("ffd8ffe00010") + QByteArray("JFIF", 5), "TJPEGImage"},
        {Hex("ffd8ffe1abcd") + QByteArray("Exif", 5), "TJPEGImage"},
        {Hex("ffd8ffe10010") + QByteArray("JFIF", 5), nullptr},
        {QByteArray("GIF89a"), nullptr},
        {Hex("01000000"), nullptr},
    };
    for (const auto& c : cases) {
        TBytesStream stream(c.data);
        const TImageFormat* format = ImageFormats().Find(&stream);
        EXPECT_EQ(stream.Position(), 0);
        EXPECT_EQ(format != nullptr, c.graphic != nullptr) << c.data.toHex().toStdString();
        if (format && c.graphic) {
            EXPECT_STREQ(format->GraphicClass()->ClassName(), c.graphic);
        }
    }

    TImageFormats local;
    local.Add(GraphicClassOf<TBitmap>(), "BM", "");
    local.Add(GraphicClassOf<TPngImage>(), "ABCD", "");
    local.Add(GraphicClassOf<TIcon>(), "ONE123", "");
    local.Add(GraphicClassOf<TJPEGImage>(), "TWO123", "");
    EXPECT_EQ(local.Format(0)->Signature(), "ONE123");
    EXPECT_EQ(local.Format(1)->Signature(), "TWO123");
    EXPECT_EQ(local.Format(2)->Signature(), "ABCD");
    EXPECT_EQ(local.Format(3)->Signature(), "BM");
}

TEST_F(ImageKinds, DepthAndFormatHelpers)
{
    EXPECT_EQ(ColorDepthToString(2), "4");
    EXPECT_EQ(ColorDepthToString(8), "256");
    EXPECT_EQ(ColorDepthToString(15), "15 bit");
    EXPECT_EQ(ColorDepthToString(32), "32 bit");
    EXPECT_EQ(ColorDepthToString(7), "Unknown (7 bits)");
    EXPECT_EQ(PixelFormatToColorDepth(pf16bit), 24);
    EXPECT_EQ(PixelFormatToColorDepth(pfDevice), 32);
    for (auto [depth, format] : std::vector<std::pair<int, TPixelFormat>>{
             {1, pf1bit}, {2, pf4bit}, {4, pf4bit}, {5, pf8bit}, {8, pf8bit}, {9, pf24bit}, {24, pf24bit}, {32, pf32bit}, {0, pf32bit}})
        EXPECT_EQ(ColorDepthToPixelFormat(depth), format) << depth;
    EXPECT_EQ(BitCountToPixelFormat(15), pf15bit);
    EXPECT_EQ(BitCountToPixelFormat(2), pfCustom);
    EXPECT_EQ(ColorCountToColorDepth(256), 8);
    EXPECT_EQ(ColorCountToColorDepth(16), 4);
    EXPECT_EQ(ColorCountToColorDepth(2), 1);
    EXPECT_EQ(ColorCountToColorDepth(1), 0);
    EXPECT_EQ(ColorCountToColorDepth(0), 0);
    EXPECT_EQ(ColorDepthToColorCount(32), 1u); // as files expect; never used to rank images
    EXPECT_EQ(ColorDepthToColorCount(8), 256u);
}

TEST_F(ImageKinds, FindMatchPicksNearestSizeThenMostColours)
{
    auto makeImage = [](TCustomResourceItem* parent, int size, TPixelFormat format, int name) {
        auto* image = new TGroupImage(Ord(uint16_t(name)));
        image->SetBitmap(TBitmap(size, size, format));
        image->SetParent(parent);
        return image;
    };
    TResourceItemGeneric group(Ord(1));
    TCustomResourceItem* g16x8 = makeImage(&group, 16, pf8bit, 10);
    TCustomResourceItem* g32x8 = makeImage(&group, 32, pf8bit, 11);
    TCustomResourceItem* g32x32 = makeImage(&group, 32, pf32bit, 12);
    TCustomResourceItem* g32x24 = makeImage(&group, 32, pf24bit, 13);
    TCustomResourceItem* g48x4 = makeImage(&group, 48, pf4bit, 14);

    // The 32-bit image has the most colours: it wins the tie at 32 x 32 whatever comes after it.
    EXPECT_EQ(TBasicGraphicResourceItem::FindMatch(&group, 32, 32, true), g32x32);
    EXPECT_EQ(TBasicGraphicResourceItem::FindMatch(&group, 30, 30, false), g32x32);
    EXPECT_EQ(TBasicGraphicResourceItem::FindMatch(&group, 16, 16, false), g16x8);
    EXPECT_EQ(TBasicGraphicResourceItem::FindMatch(&group, 60, 60, false), g48x4);
    // Exact without an image of that size: the parent, which is no image here.
    EXPECT_EQ(TBasicGraphicResourceItem::FindMatch(&group, 24, 24, true), nullptr);
    Q_UNUSED(g32x8);
    Q_UNUSED(g32x24);
    for (TCustomResourceItem* child : {g16x8, g32x8, g32x32, g32x24, g48x4}) TResourceItemPtr free(child);
}

TEST_F(ImageKinds, ConvertPixelFormatReducesAndWidens)
{
    TBitmap gradient(32, 16, pf24bit);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) gradient.SetPixel(x, y, RGBColor(x * 8, y * 16, 128));

    TBitmap mono = gradient;
    ConvertPixelFormat(mono, pf1bit);
    EXPECT_EQ(mono.PixelFormat(), pf1bit);
    EXPECT_EQ(mono.Palette().size(), 2u);

    TBitmap four = gradient;
    ConvertPixelFormat(four, pf4bit);
    EXPECT_EQ(four.PixelFormat(), pf4bit);
    EXPECT_LE(four.Palette().size(), 16u);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) {
            const int index = four.PixelIndex(x, y);
            ASSERT_LT(size_t(index), four.Palette().size());
            EXPECT_EQ(four.Pixel(x, y), four.Palette()[index]);
        }

    // Widening a palette keeps the colours at their indices and pads with black.
    TBitmap wide = mono;
    ConvertPixelFormat(wide, pf8bit);
    ASSERT_EQ(wide.Palette().size(), 256u);
    EXPECT_EQ(wide.Palette()[0], mono.Palette()[0]);
    EXPECT_EQ(wide.Palette()[1], mono.Palette()[1]);
    EXPECT_EQ(wide.Palette()[200], clBlack);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) EXPECT_EQ(wide.PixelIndex(x, y), mono.PixelIndex(x, y));

    TBitmap full = gradient;
    ConvertPixelFormat(full, pf32bit);
    EXPECT_EQ(full.PixelFormat(), pf32bit);
    EXPECT_EQ(full.PixelAlpha(5, 5), 255);
    EXPECT_EQ(full.Pixel(5, 5), gradient.Pixel(5, 5));
}

TEST_F(ImageKinds, PaletteAndMaskHelpers)
{
    TBitmap bitmap(4, 2, pf8bit);
    SetBitmapPalette(bitmap, {RGBColor(0x10, 0x80, 0xF0), clWhite, clBlack});
    ASSERT_EQ(bitmap.Palette().size(), 3u);
    EXPECT_EQ(bitmap.Palette()[0], RGBColor(0x10, 0x80, 0xF0));
    bitmap.SetPixelIndex(1, 0, 1);
    bitmap.SetPixelIndex(3, 1, 1);
    const TBitmap mask = CreateColorMask(bitmap, clWhite);
    EXPECT_EQ(mask.PixelFormat(), pf1bit);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(mask.PixelIndex(x, y), (x == 1 && y == 0) || (x == 3 && y == 1)) << x << y;
    TColorArray colors;
    EXPECT_TRUE(PaletteToColors(bitmap, colors));
    EXPECT_EQ(colors.size(), 3u);
    EXPECT_FALSE(PaletteToColors(TBitmap(2, 2, pf24bit), colors));
    EXPECT_THROW(ColorsToPalette(TColorArray(257)), EAssertionFailed);
    TBitmap notAlpha(2, 2, pf24bit);
    EXPECT_THROW(SetBitmapAlpha(notAlpha, 0), EAssertionFailed);
}

TEST_F(ImageKinds, JpegKindTakesJfifAndExifData)
{
    const QByteArray jfif = Hex("ffd8ffe00010") + QByteArray("JFIF", 5) + QByteArray(20, '\0');
    const QByteArray other = Hex("ffd8ffdb0043") + QByteArray(20, '\0');
    TBytesStream a(jfif), b(other);
    EXPECT_TRUE(TJPEGResourceItem::Handles(Ord(RT_RCDATA), Ord(1), &a));
    EXPECT_FALSE(TJPEGResourceItem::Handles(Ord(RT_RCDATA), Ord(1), &b));
    EXPECT_TRUE(TJPEGResourceItem::HandlesFile(QStringLiteral("photo.JPEG"), nullptr));
    EXPECT_FALSE(TJPEGResourceItem::HandlesFile(QStringLiteral("photo.png"), nullptr));
}
