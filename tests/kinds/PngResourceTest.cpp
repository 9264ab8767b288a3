#include "kinds/koResourceItemPNG.h"
#include "model/koResourcesFiler.h"
#include "platform/Bitmap.h"
#include "platform/Streams.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace {
TResourceIdent Ord(uint16_t v) { return TResourceIdent::FromOrdinal(v); }

QByteArray PngBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}
} // namespace

TEST(PngResources, NewItemIsATransparentRgbaSquare)
{
    TPNGResourceItem item(Ord(1));
    item.InitializeNewItem();
    EXPECT_EQ(item.ResourceType(), TResourceIdent(QStringLiteral("PNG")));
    EXPECT_EQ(item.Width(), 64);
    EXPECT_EQ(item.Height(), 64);
    EXPECT_EQ(item.ColorDepth(), 32);
    EXPECT_EQ(item.GetTransparencyMethod(), rtmAlpha);
    EXPECT_EQ(item.Image().PixelAlpha(10, 50), 0);
}

TEST(PngResources, GrowingAddsTransparentAreaOnlyWhereThereIsAlpha)
{
    QImage opaque(64, 64, QImage::Format_RGB32);
    opaque.fill(QColor(0x10, 0x80, 0xF0));
    QImage translucent(64, 64, QImage::Format_ARGB32);
    translucent.fill(QColor(0x10, 0x80, 0xF0, 200));

    TPNGResourceItem withAlpha(Ord(1));
    TBytesStream a(PngBytes(translucent));
    withAlpha.LoadFromStream(a, a.Size());
    withAlpha.SetWidth(80);
    EXPECT_EQ(withAlpha.Width(), 80);
    EXPECT_EQ(withAlpha.Image().PixelAlpha(70, 10), 0);
    EXPECT_EQ(withAlpha.Image().PixelAlpha(10, 10), 200);

    TPNGResourceItem without(Ord(2));
    TBytesStream b(PngBytes(opaque));
    without.LoadFromStream(b, b.Size());
    EXPECT_EQ(without.ColorDepth(), 24);
    without.SetHeight(70);
    EXPECT_EQ(without.Height(), 70);
    EXPECT_EQ(without.ColorDepth(), 24);
    EXPECT_EQ(without.Image().Pixel(5, 5), RGBColor(0x10, 0x80, 0xF0));
}

TEST(PngResources, BitmapsBringTheirAlpha)
{
    TBitmap translucent(8, 8, pf32bit);
    translucent.Fill(RGBColor(0x10, 0x80, 0xF0));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) translucent.SetPixelAlpha(x, y, 128);
    TPNGResourceItem item(Ord(1));
    item.SetBitmaps(translucent, nullptr, nullptr);
    EXPECT_EQ(item.ColorDepth(), 32);
    EXPECT_EQ(item.Image().PixelAlpha(3, 3), 128);
    EXPECT_EQ(item.Image().Pixel(3, 3), RGBColor(0x10, 0x80, 0xF0));

    TBitmap opaque(8, 8, pf24bit);
    opaque.Fill(RGBColor(0x10, 0x80, 0xF0));
    item.SetBitmaps(opaque, nullptr, nullptr);
    EXPECT_EQ(item.ColorDepth(), 24);
    EXPECT_EQ(item.Image().ColorType(), COLOR_RGB);

    std::unique_ptr<TBitmap> bitmap, mask, inverse;
    item.GetBitmaps(bitmap, mask, inverse);
    ASSERT_TRUE(bitmap);
    EXPECT_FALSE(mask);
    EXPECT_EQ(bitmap->PixelFormat(), pf24bit);
    EXPECT_EQ(bitmap->Pixel(1, 1), RGBColor(0x10, 0x80, 0xF0));
}

TEST(PngResources, UntouchedDataSavesAsRead)
{
    QImage image(5, 3, QImage::Format_ARGB32);
    image.fill(QColor(1, 2, 3, 4));
    const QByteArray bytes = PngBytes(image);
    TPNGResourceItem item(Ord(1));
    TBytesStream data(bytes);
    item.LoadFromStream(data, data.Size());
    TMemoryStream saved;
    item.SaveToStream(saved);
    EXPECT_EQ(saved.ToByteArray(), bytes);
    EXPECT_EQ(item.Size(), bytes.size());
    // After a change the size is the new encoding's, every time it changes.
    for (int width : {40, 90}) {
        item.SetWidth(width);
        TMemoryStream changed;
        item.SaveToStream(changed);
        EXPECT_EQ(item.Size(), changed.Size()) << width;
    }
    TBytesStream garbage(QByteArray("\x89PNG\r\n\x1A\nthis is not a png", 25));
    EXPECT_THROW(item.LoadFromStream(garbage, garbage.Size()), Exception);
}
