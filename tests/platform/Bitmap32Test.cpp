#include "platform/Bitmap32.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

namespace {

TBitmap32 Numbered(int w, int h)
{
    TBitmap32 bmp(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) bmp.SetPixel(x, y, Color32(x * 10, y * 10, x + y, 100 + x));
    return bmp;
}

} // namespace

TEST(Bitmap32, ColorComponents)
{
    struct Case { int r, g, b, a; TColor32 word; };
    const Case cases[] = {
        {0, 0, 0, 0, 0x00000000u},
        {255, 0, 0, 255, 0xFFFF0000u},
        {0, 255, 0, 128, 0x8000FF00u},
        {0, 0, 255, 1, 0x010000FFu},
        {0x12, 0x34, 0x56, 0x78, 0x78123456u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        EXPECT_EQ(Color32(c.r, c.g, c.b, c.a), c.word);
        EXPECT_EQ(RedComponent(c.word), c.r);
        EXPECT_EQ(GreenComponent(c.word), c.g);
        EXPECT_EQ(BlueComponent(c.word), c.b);
        EXPECT_EQ(AlphaComponent(c.word), c.a);
    }
    EXPECT_EQ(Color32(1, 2, 3), 0xFF010203u);
    EXPECT_EQ(SetAlpha(0x12345678u, 0xAB), 0xAB345678u);
    EXPECT_EQ(SetAlpha(0xFF345678u, 0), 0x00345678u);
}

TEST(Bitmap32, SizeClearAndPixels)
{
    TBitmap32 bmp;
    EXPECT_TRUE(bmp.Empty());
    EXPECT_TRUE(bmp.ToQImage().isNull());

    bmp.SetSize(3, 2);
    EXPECT_EQ(bmp.Width(), 3);
    EXPECT_EQ(bmp.Height(), 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(bmp.Pixel(x, y), 0u);

    bmp.Clear(0x80112233u);
    bmp.SetPixel(2, 1, 0xFF00FF00u);
    EXPECT_EQ(bmp.Pixel(0, 0), 0x80112233u);
    EXPECT_EQ(bmp.Pixel(2, 1), 0xFF00FF00u);
    // Rows follow each other without padding.
    EXPECT_EQ(bmp.ScanLine(1), bmp.Bits() + 3);
    EXPECT_EQ(bmp.ScanLine(1)[2], 0xFF00FF00u);

    bmp.SetSize(3, 2); // same size keeps pixels
    EXPECT_EQ(bmp.Pixel(2, 1), 0xFF00FF00u);
    bmp.SetSize(2, 3); // new size starts from zeros
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x) EXPECT_EQ(bmp.Pixel(x, y), 0u);

    bmp.SetSize(5, 0);
    EXPECT_TRUE(bmp.Empty());
}

TEST(Bitmap32, OutOfRangeAccessAsserts)
{
    TBitmap32 bmp(2, 2);
    EXPECT_THROW(bmp.Pixel(2, 0), EAssertionFailed);
    EXPECT_THROW(bmp.Pixel(0, -1), EAssertionFailed);
    EXPECT_THROW(bmp.SetPixel(-1, 0, 0), EAssertionFailed);
    EXPECT_THROW(bmp.ScanLine(2), EAssertionFailed);
    EXPECT_THROW(bmp.SetSize(-1, 2), EAssertionFailed);
}

TEST(Bitmap32, CopiesAreIndependentAndKeepTheirHandlers)
{
    TBitmap32 a = Numbered(4, 3);
    int calls = 0;
    a.OnChange = [&](TBitmap32&) { ++calls; };

    TBitmap32 b(a);
    EXPECT_FALSE(b.OnChange);
    b.SetPixel(0, 0, 0xDEADBEEFu);
    EXPECT_NE(a.Pixel(0, 0), 0xDEADBEEFu);

    TBitmap32 c(1, 1);
    int cCalls = 0;
    c.OnChange = [&](TBitmap32&) { ++cCalls; };
    c = a;
    ASSERT_EQ(c.Width(), 4);
    ASSERT_EQ(c.Height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(c.Pixel(x, y), a.Pixel(x, y));
    c.Changed();
    EXPECT_EQ(cCalls, 1);
    EXPECT_EQ(calls, 0);

    c.Assign(c);
    EXPECT_EQ(c.Pixel(3, 2), a.Pixel(3, 2));

    TBitmap32 moved(std::move(c));
    EXPECT_EQ(moved.Pixel(3, 2), a.Pixel(3, 2));
    EXPECT_TRUE(c.Empty()); // NOLINT(bugprone-use-after-move): moved-from state is defined
}

TEST(Bitmap32, QImageViewSharesMemory)
{
    TBitmap32 bmp = Numbered(5, 4);
    QImage view = bmp.ToQImage();
    ASSERT_EQ(view.format(), QImage::Format_ARGB32);
    ASSERT_EQ(view.size(), QSize(5, 4));
    EXPECT_EQ(view.constBits(), reinterpret_cast<const uchar*>(bmp.Bits()));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(view.pixel(x, y), bmp.Pixel(x, y));

    view.setPixel(1, 2, 0x40ABCDEFu);
    EXPECT_EQ(bmp.Pixel(1, 2), 0x40ABCDEFu);
    EXPECT_EQ(view.bits(), reinterpret_cast<uchar*>(bmp.Bits()));

    const TBitmap32& constBmp = bmp;
    const QImage readOnly = constBmp.ToQImage();
    EXPECT_EQ(readOnly.constBits(), reinterpret_cast<const uchar*>(bmp.Bits()));
    EXPECT_EQ(readOnly.pixel(1, 2), 0x40ABCDEFu);
}

TEST(Bitmap32, FromQImageConvertsToStraightArgb)
{
    QImage argb(3, 2, QImage::Format_ARGB32);
    argb.fill(0u);
    argb.setPixel(2, 1, 0x80FF4020u);
    TBitmap32 a(argb);
    EXPECT_EQ(a.Pixel(2, 1), 0x80FF4020u);
    EXPECT_EQ(a.Pixel(0, 0), 0u);

    QImage rgb(2, 2, QImage::Format_RGB888);
    rgb.fill(QColor(10, 20, 30));
    TBitmap32 b(rgb);
    EXPECT_EQ(b.Pixel(1, 1), 0xFF0A141Eu);

    // Premultiplied input comes back as straight alpha.
    QImage pre(1, 1, QImage::Format_ARGB32_Premultiplied);
    pre.setPixel(0, 0, qPremultiply(qRgba(200, 100, 0, 255)));
    TBitmap32 c(pre);
    EXPECT_EQ(c.Pixel(0, 0), 0xFFC86400u);

    TBitmap32 d(4, 4);
    d.Assign(QImage());
    EXPECT_TRUE(d.Empty());

    // A round trip through a copy of the view keeps every pixel.
    TBitmap32 src = Numbered(6, 3);
    TBitmap32 back(src.ToQImage().copy());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(back.Pixel(x, y), src.Pixel(x, y));
}
