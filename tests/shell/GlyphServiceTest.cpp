#include "shell/koGlyphService.h"
#include "shell/koImageList.h"

#include "platform/Exceptions.h"
#include "bitmapeditor/koGraphics32Color.h"

#include <QBuffer>
#include <QDir>
#include <QPainter>

#include <gtest/gtest.h>

#include <map>

namespace {

QImage Solid(int side, QRgb colour, QImage::Format format = QImage::Format_ARGB32)
{
    QImage image(side, side, format);
    image.fill(colour);
    return image;
}

QByteArray Bmp(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

// A service whose program bitmaps are the given files.
std::unique_ptr<TGlyphService> ServiceWith(std::map<QString, QByteArray> bitmaps)
{
    return std::make_unique<TGlyphService>([bitmaps](const QString& name) -> std::optional<QByteArray> {
        const auto it = bitmaps.find(name);
        return it == bitmaps.end() ? std::nullopt : std::optional<QByteArray>(it->second);
    });
}

bool AllPixels(const QImage& image, QRgb value)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != value)
                return false;
    return true;
}

} // namespace

TEST(GlyphServiceTest, BitmapsWithoutAlphaAreKeyedByTheirBottomLeftColour)
{
    struct Case
    {
        QRgb Key;
        QRgb Other;
    };
    for (const Case& c : {Case{qRgb(255, 0, 255), qRgb(10, 200, 30)}, Case{qRgb(0, 128, 128), qRgb(128, 128, 0)}}) {
        QImage bitmap(16, 16, QImage::Format_RGB888);
        bitmap.fill(c.Key);
        for (int i = 0; i < 16; ++i)
            bitmap.setPixel(i, i, c.Other);
        bitmap.setPixel(15, 0, qRgb(255, 255, 255));
        auto service = ServiceWith({{QStringLiteral("RES_TEST"), Bmp(bitmap)}});
        const TGlyphHandle handle = service->LoadGlyph(QStringLiteral("RES_TEST"), QStringLiteral("test.item"), gsSmall, gsNormal);
        ASSERT_EQ(handle, 0);
        QImage glyph;
        ASSERT_TRUE(service->GetGlyph(handle, gsSmall, glyph, gsNormal));
        ASSERT_EQ(glyph.size(), QSize(16, 16));
        EXPECT_EQ(glyph.format(), QImage::Format_ARGB32);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const QRgb expected = x == y ? (c.Other | 0xFF000000u)
                                    : (x == 15 && y == 0) ? qRgb(255, 255, 255)
                                                          : 0u;
                ASSERT_EQ(glyph.pixel(x, y), expected) << x << "," << y;
            }
    }
}

TEST(GlyphServiceTest, LoadGlyphFindsOnlyRealImages)
{
    auto service = ServiceWith({{QStringLiteral("RES_RED"), Bmp(Solid(16, qRgb(200, 0, 0), QImage::Format_RGB888))}});
    EXPECT_EQ(service->LoadGlyph(QStringLiteral("RES_MISSING"), QStringLiteral("missing.item"), gsSmall, gsNormal), -1);
    // Known at another size, yet nothing to load under this resource name.
    EXPECT_EQ(service->AddGlyph(Solid(32, qRgb(1, 2, 3)), QStringLiteral("known"), gsLarge, gsNormal), 0);
    EXPECT_EQ(service->LoadGlyph(QStringLiteral("RES_MISSING"), QStringLiteral("known"), gsSmall, gsNormal), -1);
    // Found without asking for the resource again.
    EXPECT_EQ(service->LoadGlyph(QStringLiteral("RES_MISSING"), QStringLiteral("KNOWN"), gsLarge, gsNormal), 0);
}

TEST(GlyphServiceTest, DisabledIsSynthesizedFromNormalUntilARealOneArrives)
{
    QImage source(16, 16, QImage::Format_ARGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            source.setPixel(x, y, qRgba(x * 16, 255 - y * 16, 90, y < 4 ? 0 : 40 + y * 10));
    TGlyphService service(nullptr);
    const TGlyphHandle handle = service.AddGlyph(source, QStringLiteral("tool"), gsSmall, gsNormal);

    QImage disabled;
    ASSERT_TRUE(service.GetGlyph(handle, gsSmall, disabled, gsDisabled));
    QImage expected = source.copy();
    AdjustHSLBitmap(source, expected, 0, -255, 32);
    EXPECT_EQ(disabled, expected);
    // (80, 127, 90): (127 + 80) / 2 + 32 = 135, alpha kept; fully transparent pixels untouched.
    EXPECT_EQ(disabled.pixel(5, 8), qRgba(135, 135, 135, 120));
    EXPECT_EQ(disabled.pixel(5, 2), source.pixel(5, 2));
    EXPECT_EQ(service.FindGlyph(QStringLiteral("tool"), gsSmall, gsDisabled), -1);

    // Hot is a plain copy.
    QImage hot;
    ASSERT_TRUE(service.GetGlyph(handle, gsSmall, hot, gsHot));
    EXPECT_EQ(hot, source);

    const QImage real = Solid(16, qRgba(0, 0, 255, 255));
    EXPECT_EQ(service.AddGlyph(real, QStringLiteral("TOOL"), gsSmall, gsDisabled), handle);
    EXPECT_EQ(service.FindGlyph(QStringLiteral("tool"), gsSmall, gsDisabled), handle);
    ASSERT_TRUE(service.GetGlyph(handle, gsSmall, disabled, gsDisabled));
    EXPECT_EQ(disabled, real);
}

TEST(GlyphServiceTest, OtherSizesAreScaledAndGreyedByState)
{
    TGlyphService service(nullptr);
    const TGlyphHandle handle = service.AddGlyph(Solid(32, qRgb(255, 0, 0)), QStringLiteral("big"), gsLarge, gsNormal);
    struct Case
    {
        TGlyphState State;
        QRgb Pixel;
    };
    // Grey of pure red: (255 + 0) / 2 + 32.
    for (const Case& c : {Case{gsHot, qRgb(255, 0, 0)}, Case{gsDisabled, qRgb(159, 159, 159)}}) {
        QImage glyph;
        ASSERT_TRUE(service.GetGlyph(handle, gsMedium, glyph, c.State));
        EXPECT_EQ(glyph.size(), QSize(22, 22));
        EXPECT_TRUE(AllPixels(glyph, c.Pixel)) << c.State;
        EXPECT_EQ(service.FindGlyph(QStringLiteral("big"), gsMedium, c.State), -1);
    }
}

TEST(GlyphServiceTest, OnlyCompatibleStatesStandIn)
{
    TGlyphService service(nullptr);
    const TGlyphHandle handle = service.AddGlyph(Solid(16, qRgb(9, 9, 9)), QStringLiteral("dim"), gsSmall, gsDisabled);
    for (const TGlyphSize size : {gsSmall, gsMedium, gsLarge})
        for (const TGlyphState state : {gsNormal, gsHot}) {
            QImage glyph(3, 3, QImage::Format_RGB32);
            glyph.fill(qRgb(1, 2, 3));
            EXPECT_FALSE(service.GetGlyph(handle, size, glyph, state)) << size << state;
            EXPECT_EQ(glyph.format(), QImage::Format_ARGB32);
            EXPECT_EQ(glyph.size(), QSize(3, 3));
        }
    // The same state in another size is fine.
    QImage glyph;
    EXPECT_TRUE(service.GetGlyph(handle, gsLarge, glyph, gsDisabled));
    EXPECT_EQ(glyph.size(), QSize(32, 32));
}

TEST(GlyphServiceTest, SynthesizedImagesAreNeverSources)
{
    TGlyphService service(nullptr);
    const TGlyphHandle handle = service.AddGlyph(Solid(16, qRgb(255, 0, 0)), QStringLiteral("g"), gsSmall, gsNormal);
    QImage glyph;
    ASSERT_TRUE(service.GetGlyph(handle, gsMedium, glyph, gsNormal)); // red, synthesized
    service.AddGlyph(Solid(32, qRgb(0, 0, 255)), QStringLiteral("g"), gsLarge, gsNormal);
    // Medium normal would be first in line, but it was made, so large normal (blue) is taken.
    ASSERT_TRUE(service.GetGlyph(handle, gsMedium, glyph, gsHot));
    EXPECT_TRUE(AllPixels(glyph, qRgb(0, 0, 255)));
    // A made image is kept, not made again.
    ASSERT_TRUE(service.GetGlyph(handle, gsMedium, glyph, gsNormal));
    EXPECT_TRUE(AllPixels(glyph, qRgb(255, 0, 0)));
}

TEST(GlyphServiceTest, AddGlyphStretchesAndKeepsTheFirstImage)
{
    TGlyphService service(nullptr);
    const TGlyphHandle handle = service.AddGlyph(Solid(48, qRgb(0, 200, 0)), QStringLiteral("s"), gsSmall, gsNormal);
    EXPECT_EQ(service.AddGlyph(Solid(16, qRgb(200, 0, 0)), QStringLiteral("S"), gsSmall, gsNormal), handle);
    QImage glyph;
    ASSERT_TRUE(service.GetGlyph(handle, gsSmall, glyph, gsNormal));
    EXPECT_EQ(glyph.size(), QSize(16, 16));
    EXPECT_TRUE(AllPixels(glyph, qRgb(0, 200, 0)));
}

TEST(GlyphServiceTest, IdentifiersFoldOnlyAsciiLetters)
{
    TGlyphService service(nullptr);
    const TGlyphHandle abc = service.AddGlyph(Solid(16, qRgb(1, 1, 1)), QStringLiteral("Abc"), gsSmall, gsNormal);
    EXPECT_EQ(service.FindGlyph(QStringLiteral("aBC"), gsSmall, gsNormal), abc);
    const TGlyphHandle upper = service.AddGlyph(Solid(16, qRgb(1, 1, 1)), QStringLiteral("\u00C9"), gsSmall, gsNormal);
    const TGlyphHandle lower = service.AddGlyph(Solid(16, qRgb(1, 1, 1)), QStringLiteral("\u00E9"), gsSmall, gsNormal);
    EXPECT_NE(upper, lower);
    EXPECT_EQ(service.FindGlyph(QStringLiteral("abc"), gsSmall, gsHot), -1);
    EXPECT_EQ(service.FindGlyph(QStringLiteral("nothing"), gsSmall, gsNormal), -1);
}

TEST(GlyphServiceTest, InvalidHandlesRaise)
{
    TGlyphService service(nullptr);
    service.AddGlyph(Solid(16, qRgb(1, 1, 1)), QStringLiteral("one"), gsSmall, gsNormal);
    for (const TGlyphHandle handle : {-1, 1}) {
        QImage glyph;
        try {
            service.GetGlyph(handle, gsSmall, glyph, gsNormal);
            ADD_FAILURE() << "no exception for " << handle;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Invalid glyph handle"));
        }
    }
}

TEST(GlyphServiceTest, SharedServiceAndFactory)
{
    EXPECT_EQ(GlyphService(), GlyphService());
    EXPECT_NE(CreateGlyphService(), CreateGlyphService());
    EXPECT_NE(CreateGlyphService(), GlyphService());
}

TEST(GlyphServiceTest, IconCarriesTheServiceStates)
{
    TGlyphService service(nullptr);
    const TGlyphHandle handle = service.AddGlyph(Solid(16, qRgb(255, 0, 0)), QStringLiteral("i"), gsSmall, gsNormal);
    const QIcon icon = GlyphIcon(service, handle);
    const QImage disabled = icon.pixmap(QSize(16, 16), QIcon::Disabled).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(disabled.pixel(8, 8), qRgb(159, 159, 159));
    EXPECT_EQ(icon.availableSizes(QIcon::Normal).size(), 3);
}

// The program's own bitmaps, when the glyph resources are compiled in.
TEST(GlyphServiceTest, CarriedGlyphsLoad)
{
    if (QDir(QStringLiteral(":/res/BITMAP")).entryList().isEmpty())
        GTEST_SKIP() << "glyph resources not compiled in";
    TGlyphService service;
    for (const QString& name : {QStringLiteral("RES_GENERIC_TYPE"), QStringLiteral("res_generic_item"),
                                QStringLiteral("RES_ACCEL_ITEM"), QStringLiteral("RES_PNG_ITEM")}) {
        const TGlyphHandle handle = service.LoadGlyph(name, name, gsSmall, gsNormal);
        ASSERT_NE(handle, -1) << qPrintable(name);
        QImage glyph;
        ASSERT_TRUE(service.GetGlyph(handle, gsSmall, glyph, gsNormal));
        // Every glyph has a transparent background and opaque drawing.
        EXPECT_EQ(qAlpha(glyph.pixel(0, 15)) == 0 || qAlpha(glyph.pixel(15, 0)) == 0, true) << qPrintable(name);
        EXPECT_EQ(qAlpha(glyph.pixel(8, 8)), 255) << qPrintable(name);
    }
}

TEST(ImageListTest, AddMaskedKeepsAlphaOrKeysAColour)
{
    TImageList list(4, 4);
    QImage image = Solid(4, qRgba(10, 20, 30, 100));
    image.setPixel(1, 1, qRgba(255, 0, 255, 100));
    list.AddMasked(image, clNoMask);
    list.AddMasked(image, 0xFF00FF);
    QImage out;
    ASSERT_TRUE(GetImageListBitmap(list, 0, out));
    EXPECT_EQ(out, image);
    ASSERT_TRUE(GetImageListBitmap(list, 1, out));
    EXPECT_EQ(out.pixel(1, 1), 0u);
    EXPECT_EQ(out.pixel(0, 0), qRgba(10, 20, 30, 255));
    EXPECT_FALSE(GetImageListBitmap(list, 2, out));
    EXPECT_TRUE(AllPixels(out, 0));
}

TEST(ImageListTest, DisabledDrawIsGreyOverTheBackground)
{
    TImageList list(4, 4);
    QImage image = Solid(4, qRgb(200, 40, 40));
    image.setPixel(0, 0, 0);
    list.Add(image);
    QImage canvas = Solid(30, qRgb(0, 0, 255));
    {
        QPainter p(&canvas);
        list.Draw(p, 20, 10, 0, false);
    }
    QImage grey = image.copy();
    DesaturateBitmap(grey, 255);
    EXPECT_EQ(canvas.pixel(20, 10), qRgb(0, 0, 255));
    EXPECT_EQ(canvas.pixel(21, 11), grey.pixel(1, 1));
    EXPECT_EQ(qRed(canvas.pixel(21, 11)), qGreen(canvas.pixel(21, 11)));
    EXPECT_EQ(canvas.pixel(19, 10), qRgb(0, 0, 255));
}

TEST(ImageListTest, MakeDisabledImageListGreysWithTransparentMask)
{
    TImageList source(4, 4);
    QImage mask(4, 4, QImage::Format_Mono);
    mask.fill(0);
    mask.setPixel(2, 2, 1);
    source.Add(Solid(4, qRgb(30, 180, 60), QImage::Format_RGB32), mask);
    TImageList dest;
    MakeDisabledImageList(source, dest);
    ASSERT_EQ(dest.Count(), 1);
    QImage out;
    ASSERT_TRUE(GetImageListBitmap(dest, 0, out));
    EXPECT_EQ(qAlpha(out.pixel(2, 2)), 0);
    const QRgb p = out.pixel(0, 0);
    EXPECT_EQ(qAlpha(p), 255);
    EXPECT_TRUE(qRed(p) == qGreen(p) && qGreen(p) == qBlue(p));
    EXPECT_EQ(p, DesaturateColor(qRgb(30, 180, 60), 255) | 0xFF000000u);
}

#include "kinds/koResourceItemString.h"
#include "model/koResourceItemSymbols.h"

TEST(GlyphServiceTest, KindsGetTheirGlyphsOnceTheServiceIsThere)
{
    EXPECT_EQ(TStringListResourceItem::ClassInfo()->GetGlyph(rgType), -1); // no service yet
    koGlyphService_Initialize();
    struct TFinalize {
        ~TFinalize() { koGlyphService_Finalize(); }
    } finalize;
    for (const TResourceItemClass kind : {TStringListResourceItem::ClassInfo(), TSymbolsResourceItem::ClassInfo()}) {
        const TResourceItemGlyphHandle handle = kind->GetGlyph(rgType);
        ASSERT_GE(handle, 0) << QString(kind->ClassName()).toStdString();
        QImage image;
        EXPECT_TRUE(GlyphService()->GetGlyph(handle, gsSmall, image, gsNormal));
        EXPECT_EQ(image.size(), QSize(16, 16));
    }
}
