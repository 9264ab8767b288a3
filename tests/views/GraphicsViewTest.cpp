#include "../model/TestKinds.h"
#include "kinds/koResourceItemBitmap.h"
#include "kinds/koResourceItemIconCursor.h"
#include "kinds/koResourceItemImage.h"
#include "platform/BinaryReader.h"
#include "platform/Bitmap.h"
#include "platform/Icon.h"
#include "platform/WineModules.h"
#include "views/koResourceViewCompressedBitmap.h"
#include "views/koResourceViewGraphics.h"

#include <QAction>
#include <QBuffer>
#include <QLabel>
#include <QPainter>
#include <QSplitter>
#include <QTest>

#include <gtest/gtest.h>
#include <zlib.h>

namespace {
// A picture format of the tests: "TIMG", width and height (16 bits each), then ARGB pixels (32 bits).
class TTestImage : public TGraphic {
public:
    static const char* StaticClassName() { return "TTestImage"; }
    const char* ClassName() const override { return StaticClassName(); }
    std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TTestImage>(*this); }
    bool Empty() const override { return FImage.isNull(); }
    int Width() const override { return FImage.width(); }
    int Height() const override { return FImage.height(); }
    void LoadFromStream(TStream& Stream) override
    {
        const QByteArray bytes = Stream.ReadBytes(Stream.Size() - Stream.Position());
        const TBinaryReader reader(bytes);
        const int w = reader.U16(4, "test image header"), h = reader.U16(6, "test image header");
        QImage image(w, h, QImage::Format_ARGB32);
        for (int i = 0; i < w * h; ++i) image.setPixel(i % w, i / w, reader.U32(8 + 4 * i, "test image pixels"));
        FImage = image;
    }
    void SaveToStream(TStream& Stream) const override { Stream.WriteBytes(Encode(FImage)); }
    QImage ToQImage() const override { return FImage; }

    static QByteArray Encode(const QImage& Image)
    {
        QByteArray bytes("TIMG");
        auto put = [&](uint32_t v, int n) {
            for (int i = 0; i < n; ++i) bytes.append(char((v >> (8 * i)) & 0xFF));
        };
        put(Image.width(), 2);
        put(Image.height(), 2);
        for (int y = 0; y < Image.height(); ++y)
            for (int x = 0; x < Image.width(); ++x) put(Image.pixel(x, y), 4);
        return bytes;
    }

private:
    QImage FImage;
};

// Fails to draw, as a damaged picture would.
class TBrokenImage : public TTestImage {
public:
    static const char* StaticClassName() { return "TBrokenImage"; }
    const char* ClassName() const override { return StaticClassName(); }
    std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TBrokenImage>(*this); }
    QImage ToQImage() const override { throw EInvalidGraphic(QStringLiteral("Picture cannot be drawn")); }
};

// Asymmetric colours, so that a swap of red and blue shows.
const QRgb Rust = qRgb(0xF0, 0x80, 0x10);
const QRgb Sea = qRgb(0x10, 0x80, 0xF0);
const QRgb Clear = qRgba(0x10, 0x20, 0x30, 0);

QImage Picture3x2()
{
    QImage image(3, 2, QImage::Format_ARGB32);
    const QRgb pixels[] = {Rust, Sea, Rust, Sea, Clear, Sea};
    for (int i = 0; i < 6; ++i) image.setPixel(i % 3, i / 3, pixels[i]);
    return image;
}

const QRgb Key = qRgb(0x20, 0xC0, 0x60);

// A picture kind whose transparency is a key colour: clNone keys the bottom-left pixel's colour.
class TKeyedPictureItem : public TBasicGraphicResourceItem, public IGraphicTransparentResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TKeyedPictureItem, TBasicGraphicResourceItem)

public:
    TKeyedPictureItem(const TBitmap& Bitmap, TColor KeyColor, const TResourceIdent& Type = TResourceIdent("KEYED"),
                      const QByteArray& Data = {})
        : TBasicGraphicResourceItem(Type, TResourceIdent("K")), FBitmap(Bitmap), FKey(KeyColor), FData(Data)
    {
    }
    static TResourceItemCapabilities Capabilities() { return {rcWrite}; }
    static QString ResourceTypeName() { return QStringLiteral("Keyed picture"); }
    void LoadFromStream(TStream&, int64_t) override {}
    void SaveToStream(TStream& Stream) override { Stream.WriteBytes(FData); }
    TResourceItemTransparencyMethod GetTransparencyMethod() override { return rtmChromaKey; }
    TColor GetTransparentColor() override { return FKey; }
    bool GetSupportsInverseMask() override { return false; }
    void GetBitmaps(std::unique_ptr<TBitmap>& Bitmap, std::unique_ptr<TBitmap>&, std::unique_ptr<TBitmap>&) override
    {
        Bitmap = std::make_unique<TBitmap>(FBitmap);
    }
    void SetBitmaps(const TBitmap&, const TBitmap*, const TBitmap*) override {}

protected:
    int GetHeight() const override { return FBitmap.Height(); }
    int GetWidth() const override { return FBitmap.Width(); }

private:
    TBitmap FBitmap;
    TColor FKey;
    QByteArray FData;
};

// A picture with a hot spot, as cursor images have.
class THotspotPictureItem : public TKeyedPictureItem, public IGraphicHotspotResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(THotspotPictureItem, TKeyedPictureItem)

public:
    using TKeyedPictureItem::TKeyedPictureItem;
    void GetHotspot(QPoint& Hotspot) override { Hotspot = {}; }
    void SetHotspot(const QPoint&) override {}
};

// 24 bits: Rust Sea Key / Key Rust Sea.
TBitmap KeyedBitmap()
{
    TBitmap bitmap(3, 2, pf24bit);
    const QRgb pixels[] = {Rust, Sea, Key, Key, Rust, Sea};
    for (int i = 0; i < 6; ++i) bitmap.SetPixel(i % 3, i / 3, QRgbToColor(pixels[i]));
    return bitmap;
}

// A packed DIB (RT_BITMAP data) of 2 x 1 pixels at 24 bits, left pixel Rust, right Sea.
QByteArray Dib2x1()
{
    QByteArray dib;
    auto put = [&](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) dib.append(char((v >> (8 * i)) & 0xFF));
    };
    put(40, 4), put(2, 4), put(1, 4), put(1, 2), put(24, 2), put(0, 4), put(8, 4);
    put(0, 4), put(0, 4), put(0, 4), put(0, 4);
    dib.append(QByteArray::fromHex("1080f0" "f08010" "0000")); // B G R per pixel, row padded to 8 bytes
    return dib;
}

// RT_CURSOR data: the hot spot (1, 0), then a 2 x 2 DIB at 32 bits (Rust over Sea) with its AND mask.
QByteArray Cursor2x2()
{
    QByteArray data;
    auto put = [&](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) data.append(char((v >> (8 * i)) & 0xFF));
    };
    put(1, 2), put(0, 2);
    put(40, 4), put(2, 4), put(4, 4), put(1, 2), put(32, 2), put(0, 4), put(0, 4);
    put(0, 4), put(0, 4), put(0, 4), put(0, 4);
    for (QRgb pixel : {Sea, Sea, Rust, Rust}) put(pixel, 4); // rows bottom-up
    put(0, 4), put(0, 4);                                    // AND mask: all visible
    return data;
}

QByteArray PngOf(const QImage& Image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    Image.save(&buffer, "PNG");
    return bytes;
}

QByteArray Compress(const QByteArray& Data)
{
    uLongf size = compressBound(uLong(Data.size()));
    QByteArray out(int(size), Qt::Uninitialized);
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(Data.constData()),
              uLong(Data.size()), Z_BEST_COMPRESSION);
    out.truncate(int(size));
    return out;
}

QByteArray Hex(const char* Text) { return QByteArray::fromHex(Text); }

class GraphicsView : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourceItemImage_Initialize();
        koResourceViewGraphics_Initialize();
        koResourceViewCompressedBitmap_Initialize();
        ImageFormats().Add(GraphicClassOf<TTestImage>(), QByteArray("TIMG"), {});
    }
    void TearDown() override
    {
        koResourceViewCompressedBitmap_Finalize();
        koResourceViewGraphics_Finalize();
        koResourceView_Finalize();
        koResourceItemImage_Finalize();
    }
    // A shown view of the item, the second pane closed.
    static std::unique_ptr<TGraphicResourceItemView> Show(TCustomResourceItem* Item, bool Compressed = false)
    {
        std::unique_ptr<TGraphicResourceItemView> view;
        if (Compressed)
            view = std::make_unique<TCompressedBitmapResourceItemView>();
        else
            view = std::make_unique<TGraphicResourceItemView>();
        view->SetResourceItem(Item);
        view->resize(300, 200);
        view->GetControl();
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        return view;
    }
};
} // namespace

TEST(GraphicTargetRect, FitsScalesStretchesAndCentres)
{
    struct Case {
        QSize pane, image;
        bool stretch, primary;
        QRect expected;
    } cases[] = {
        {{300, 200}, {16, 16}, false, true, {142, 92, 16, 16}},   // fits: own size, centred
        {{300, 200}, {16, 16}, false, false, {50, 0, 200, 200}},  // second pane: the shorter side
        {{300, 200}, {16, 16}, true, true, {0, 0, 300, 200}},
        {{300, 200}, {16, 16}, true, false, {0, 0, 300, 200}},
        {{320, 320}, {640, 480}, false, true, {0, 40, 320, 240}}, // too large: scaled down
        {{300, 50}, {400, 100}, false, false, {50, 0, 200, 50}},  // wide, limited by the height
        {{50, 300}, {100, 400}, false, false, {0, 50, 50, 200}},  // tall, limited by the width
        {{100, 100}, {3, 2}, false, false, {0, 17, 100, 66}},     // sizes truncated
        {{300, 200}, {0, 16}, false, false, {150, 92, 0, 16}},    // no width: own size
        {{300, 200}, {400, 0}, false, true, {-50, 100, 400, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GraphicTargetRect(c.pane, c.image, c.stretch, c.primary), c.expected)
            << c.image.width() << "x" << c.image.height() << " in " << c.pane.width() << "x" << c.pane.height()
            << (c.primary ? " primary" : " secondary") << (c.stretch ? " stretched" : "");
}

TEST_F(GraphicsView, CompressedViewTakesRCDataWithAZlibHeader)
{
    struct Case {
        const char* name;
        uint16_t type;
        QByteArray data;
        int64_t position;
        bool expected;
    } cases[] = {
        {"78 9C", RT_RCDATA, Hex("789c0300000000"), 0, true},
        {"78 DA, read from the position", RT_RCDATA, Hex("000078da0300000000"), 2, true},
        {"78 9D: bad check bits", RT_RCDATA, Hex("789d0300000000"), 0, false},
        {"6 bytes", RT_RCDATA, Hex("789c03000000"), 0, false},
        {"6 bytes after the position", RT_RCDATA, Hex("00789c03000000"), 1, false},
        {"CM 7", RT_RCDATA, Hex("77090300000000"), 0, false},
        {"CINFO 8", RT_RCDATA, Hex("881c0300000000"), 0, false},
        {"CINFO 0", RT_RCDATA, Hex("081d0300000000"), 0, true},
        {"not RCDATA", RT_BITMAP, Hex("789c0300000000"), 0, false},
    };
    TResourceItemViewFactoryClass factory = TCompressedBitmapResourceItemViewFactory::ClassInfo();
    for (const Case& c : cases) {
        TBytesStream data(c.data);
        data.SetPosition(c.position);
        EXPECT_EQ(factory->Handles(TResourceIdent::FromOrdinal(c.type), TResourceIdent("X"), &data), c.expected)
            << c.name;
        EXPECT_EQ(data.Position(), c.position) << c.name << ": later factories look at the same bytes";
    }
}

TEST_F(GraphicsView, FactoriesAndCaptions)
{
    const QByteArray picture = TTestImage::Encode(Picture3x2());
    TTestItem plain(TResourceIdent("PICTURE"), TResourceIdent("P"));
    plain.Data = picture;
    TTestItem compressed(TResourceIdent("C"));
    compressed.Data = Compress(picture);
    TTestItem unknown(TResourceIdent("PICTURE"), TResourceIdent("U"));
    unknown.Data = QByteArray("not a picture");
    TTestItem empty(TResourceIdent("PICTURE"), TResourceIdent("E"));

    EXPECT_EQ(ResourceItemViewDatabase()->Find(&plain), TGraphicResourceItemViewFactory::ClassInfo());
    EXPECT_EQ(ResourceItemViewDatabase()->Find(&compressed), TCompressedBitmapResourceItemViewFactory::ClassInfo());
    EXPECT_EQ(ResourceItemViewDatabase()->Find(&unknown), nullptr);
    EXPECT_EQ(ResourceItemViewDatabase()->Find(&empty), nullptr);
    TBytesStream none(QByteArray{});
    EXPECT_TRUE(TGraphicResourceItemViewFactory::ClassInfo()->Handles(TResourceIdent::FromOrdinal(RT_CURSOR),
                                                                        TResourceIdent("X"), &none))
        << "cursors, icons and bitmaps whatever their data";

    struct Case {
        TCustomResourceItem* item;
        bool compressed;
        const char* caption;
        bool hasImage;
    } cases[] = {
        {&plain, false, "Test", true},
        {&compressed, true, "Compressed Test", true},
        {&unknown, false, "Image", false},
        {&unknown, true, "Compressed Image", false},
    };
    for (const Case& c : cases) {
        std::unique_ptr<TGraphicResourceItemView> view;
        if (c.compressed)
            view = std::make_unique<TCompressedBitmapResourceItemView>();
        else
            view = std::make_unique<TGraphicResourceItemView>();
        view->SetResourceItem(c.item);
        if (c.compressed && c.item == &unknown) {
            EXPECT_THROW(view->GetControl(), EZDecompressionError) << "data that does not inflate";
            continue;
        }
        QSize size;
        EXPECT_EQ(view->GetImageSize(size), c.hasImage) << c.caption;
        EXPECT_EQ(size, c.hasImage ? QSize(3, 2) : QSize(0, 0)) << c.caption;
        EXPECT_EQ(view->GetCaption(), c.caption);
    }
}

TEST_F(GraphicsView, ShowsThePicturesPixels)
{
    TTestItem item(TResourceIdent("PICTURE"), TResourceIdent("P"));
    item.Data = TTestImage::Encode(Picture3x2());
    auto view = Show(&item);
    const QSize pane = view->PaintBoxPrimary->size();
    const QRect at = GraphicTargetRect(pane, {3, 2}, false, true);
    ASSERT_EQ(at.size(), QSize(3, 2)) << "a small picture keeps its size";

    const QImage shown = view->PaintBoxPrimary->grab().toImage();
    EXPECT_EQ(shown.pixel(at.left(), at.top()), Rust);
    EXPECT_EQ(shown.pixel(at.left() + 1, at.top()), Sea);
    EXPECT_EQ(shown.pixel(at.left() + 1, at.top() + 1), qRgb(0xFF, 0xFF, 0xFF)) << "transparent on white";
    EXPECT_EQ(shown.pixel(0, 0), qRgb(0xFF, 0xFF, 0xFF));

    view->ActionView1Stretch->setChecked(true);
    const QImage stretched = view->PaintBoxPrimary->grab().toImage();
    EXPECT_EQ(stretched.pixel(0, 0), Rust);
    EXPECT_EQ(stretched.pixel(pane.width() - 1, pane.height() - 1), Sea);

    // Thumbnails: the whole rectangle, nothing painted around.
    QImage thumb(6, 4, QImage::Format_ARGB32);
    thumb.fill(qRgb(0, 0, 0));
    {
        QPainter canvas(&thumb);
        view->Draw(canvas, QRect(0, 0, 6, 4));
    }
    EXPECT_EQ(thumb.pixel(1, 1), Rust);
    EXPECT_EQ(thumb.pixel(2, 0), Sea);
    EXPECT_EQ(thumb.pixel(2, 2), qRgb(0, 0, 0)) << "a transparent pixel leaves the canvas";
}

TEST_F(GraphicsView, IconsShowWithTheirTransparency)
{
    QImage picture(16, 16, QImage::Format_ARGB32);
    picture.fill(Rust);
    picture.setPixel(0, 0, Clear);
    TIcon icon;
    icon.SetImage(picture);
    TGraphicResourceItemView view;
    view.resize(300, 200);
    view.show();
    view.SetImage(&icon);
    QSize size;
    ASSERT_TRUE(view.GetImageSize(size));
    EXPECT_EQ(size, QSize(16, 16));

    const QImage shown = view.PaintBoxPrimary->grab().toImage();
    const QRect at = GraphicTargetRect(view.PaintBoxPrimary->size(), size, false, true);
    EXPECT_EQ(shown.pixel(at.topLeft()), qRgb(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(shown.pixel(at.topLeft() + QPoint(1, 0)), Rust);
    EXPECT_EQ(shown.pixel(at.bottomRight()), Rust);
    EXPECT_EQ(shown.pixel(at.bottomRight() + QPoint(1, 1)), qRgb(0xFF, 0xFF, 0xFF)) << "drawn at its own size";
}

TEST_F(GraphicsView, CompressedPictureIsInflatedBeforeItIsShown)
{
    TTestItem item(TResourceIdent("C"));
    item.Data = Compress(TTestImage::Encode(Picture3x2()));
    auto view = Show(&item, true);
    view->ActionView1Stretch->setChecked(true);
    const QImage shown = view->PaintBoxPrimary->grab().toImage();
    EXPECT_EQ(shown.pixel(0, 0), Rust);
    EXPECT_EQ(shown.pixel(shown.width() - 1, 0), Rust);

    // A change to data that does not inflate: the message in the strip, the change kept.
    const QByteArray bad = Hex("789c0300ffff0000");
    item.SetData(bad);
    EXPECT_EQ(item.Data, bad);
    EXPECT_TRUE(view->PanelError->isVisible());
    EXPECT_FALSE(view->LabelError->text().isEmpty());
    QSize size;
    EXPECT_FALSE(view->GetImageSize(size));

    TTestItem cut(TResourceIdent("C"));
    cut.Data = item.Data.left(10);
    TCompressedBitmapResourceItemView truncated;
    truncated.SetResourceItem(&cut);
    EXPECT_THROW(truncated.GetControl(), EZDecompressionError) << "a stream that ends early";
}

TEST(ZlibData, InflatesUpToTheLimitAndNoFurther)
{
    const QByteArray zeros(300000, '\0');
    TBytesStream source(Compress(zeros));
    TMemoryStream inflated;
    ZDecompressStream(source, inflated, zeros.size());
    EXPECT_EQ(inflated.ToByteArray(), zeros);
    TBytesStream again(Compress(zeros));
    TMemoryStream capped;
    EXPECT_THROW(ZDecompressStream(again, capped, zeros.size() - 1), EZDecompressionError);
    EXPECT_LT(capped.Size(), zeros.size());
}

TEST_F(GraphicsView, UndecodablePictureShowsTheMessage)
{
    // Recognised by its signature, too short to decode.
    TTestItem item(TResourceIdent("PICTURE"), TResourceIdent("P"));
    item.Data = QByteArray("TIMG\x02\x00\x02\x00", 8);
    QString expected;
    try {
        TTestImage probe;
        TBytesStream data(item.Data);
        probe.LoadFromStream(data);
    } catch (const Exception& error) {
        expected = error.Message();
    }
    ASSERT_FALSE(expected.isEmpty());

    auto view = Show(&item);
    EXPECT_TRUE(view->PanelError->isVisible());
    EXPECT_EQ(view->LabelError->text(), expected);
    EXPECT_EQ(view->GetCaption(), "Image");
    const QImage shown = view->PaintBoxPrimary->grab().toImage();
    EXPECT_EQ(shown.pixel(shown.width() / 2, shown.height() / 2), qRgb(0xFF, 0xFF, 0xFF));
}

TEST_F(GraphicsView, PaintErrorShowsInTheStripUntilReloaded)
{
    TTestItem item(TResourceIdent("PICTURE"), TResourceIdent("P"));
    item.Data = TTestImage::Encode(Picture3x2());
    auto view = Show(&item);
    EXPECT_FALSE(view->PanelError->isVisible());
    const TBrokenImage broken;
    view->SetImage(&broken);
    view->PaintBoxPrimary->repaint();
    QTest::qWait(0);
    EXPECT_TRUE(view->PanelError->isVisible());
    EXPECT_FALSE(view->PaintBoxPrimary->isVisible());
    EXPECT_EQ(view->LabelError->text(), "Picture cannot be drawn");

    item.SetData(TTestImage::Encode(Picture3x2()));
    EXPECT_FALSE(view->PanelError->isVisible());
    EXPECT_TRUE(view->PaintBoxPrimary->isVisible());
}

TEST_F(GraphicsView, SplittersOpenAndCloseTheSecondPane)
{
    TTestItem item(TResourceIdent("PICTURE"), TResourceIdent("P"));
    item.Data = TTestImage::Encode(Picture3x2());
    auto view = Show(&item);
    EXPECT_EQ(view->SecondaryView(), svNone);
    EXPECT_EQ(view->PanelRight->width(), 1);
    EXPECT_EQ(view->PanelBottom->height(), 1);

    // Drags a splitter's handle by Delta pixels along its axis.
    auto drag = [](QSplitter* splitter, int delta) {
        QSplitterHandle* handle = splitter->handle(1);
        const QPoint from = handle->rect().center();
        const QPoint by = splitter->orientation() == Qt::Horizontal ? QPoint(delta, 0) : QPoint(0, delta);
        QTest::mousePress(handle, Qt::LeftButton, {}, from);
        QTest::mouseMove(handle, from + by);
        QTest::mouseRelease(handle, Qt::LeftButton, {}, from + by);
    };
    drag(view->SplitterVertical, -40);
    EXPECT_EQ(view->SecondaryView(), svNone) << "under 50 pixels";
    EXPECT_EQ(view->PanelRight->width(), 1);

    drag(view->SplitterVertical, -100);
    EXPECT_EQ(view->SecondaryView(), svRight);
    EXPECT_GE(view->PanelRight->width(), 50);
    EXPECT_EQ(view->PaintBoxSecondary->parentWidget(), view->PanelRight);

    drag(view->SplitterHorizontal, -80);
    EXPECT_EQ(view->SecondaryView(), svRight) << "the bottom pane stays shut while the right one is open";
    EXPECT_EQ(view->PanelBottom->height(), 1);

    drag(view->SplitterVertical, view->PanelRight->width() - 20);
    EXPECT_EQ(view->SecondaryView(), svNone);
    EXPECT_EQ(view->PanelRight->width(), 1);

    drag(view->SplitterHorizontal, -80);
    EXPECT_EQ(view->SecondaryView(), svBottom);
    EXPECT_EQ(view->PaintBoxSecondary->parentWidget(), view->PanelBottom);
    drag(view->SplitterVertical, -100);
    EXPECT_EQ(view->SecondaryView(), svBottom);
    EXPECT_EQ(view->PanelRight->width(), 1) << "the right pane stays shut while the bottom one is open";

    // The second pane scales the picture to its shorter side.
    const QImage shown = view->PaintBoxSecondary->grab().toImage();
    const QRect at = GraphicTargetRect(view->PaintBoxSecondary->size(), {3, 2}, false, false);
    EXPECT_GT(at.width(), 3);
    EXPECT_EQ(shown.pixel(at.left(), at.top()), Rust);
    EXPECT_EQ(shown.pixel(at.right(), at.bottom()), Sea);
}

TEST_F(GraphicsView, KeyColourIsTransparentWhileTheSwitchIsOn)
{
    const QRgb white = qRgb(0xFF, 0xFF, 0xFF);
    struct Case {
        const char* name;
        TColor key;
        QPoint hidden, kept;
    } cases[] = {
        {"the bottom-left pixel's colour", clNone, {2, 0}, {1, 0}},
        {"a colour of its own", QRgbToColor(Sea), {1, 0}, {2, 0}},
    };
    for (const Case& c : cases) {
        TKeyedPictureItem item(KeyedBitmap(), c.key);
        auto view = Show(&item);
        view->ActionView1Stretch->setChecked(true);
        EXPECT_TRUE(view->ActionView1Transparent->isChecked()) << c.name;
        EXPECT_TRUE(view->ActionView2Transparent->isChecked()) << c.name;
        EXPECT_EQ(view->GetCaption(), "Keyed picture");
        // Pane pixel of picture pixel (x, y) when stretched.
        auto at = [&](const QImage& shown, QPoint p) {
            return shown.pixel(p.x() * shown.width() / 3 + 1, p.y() * shown.height() / 2 + 1);
        };
        QImage shown = view->PaintBoxPrimary->grab().toImage();
        EXPECT_EQ(at(shown, c.hidden), white) << c.name;
        EXPECT_EQ(at(shown, c.kept), c.key == clNone ? Sea : Key) << c.name;
        EXPECT_EQ(at(shown, {0, 0}), Rust) << c.name;

        view->ActionView1Transparent->setChecked(false);
        shown = view->PaintBoxPrimary->grab().toImage();
        EXPECT_EQ(at(shown, {2, 0}), Key) << c.name << ": opaque";
        EXPECT_EQ(at(shown, {1, 0}), Sea) << c.name << ": opaque";
    }
}

TEST_F(GraphicsView, BitmapsShowTheirPixelsAndAlpha)
{
    // A 32-bit bitmap keeps its alpha whatever the switch says.
    TBitmapResourceItem item(TResourceIdent("B"));
    item.SetBitmap(TBitmap::FromQImage(Picture3x2()));
    auto view = Show(&item);
    EXPECT_EQ(view->GetCaption(), "Bitmap");
    EXPECT_FALSE(view->ActionView1Transparent->isChecked());
    view->ActionView1Stretch->setChecked(true);
    for (bool transparent : {false, true}) {
        view->ActionView1Transparent->setChecked(transparent);
        const QImage shown = view->PaintBoxPrimary->grab().toImage();
        EXPECT_EQ(shown.pixel(shown.width() / 2, shown.height() - 2), qRgb(0xFF, 0xFF, 0xFF)) << transparent;
        EXPECT_EQ(shown.pixel(1, 1), Rust) << transparent;
        EXPECT_EQ(shown.pixel(shown.width() - 2, shown.height() - 2), Sea) << transparent;
    }

    // Raw RT_BITMAP data of a kind that does not decode it.
    TTestItem raw(TResourceIdent::FromOrdinal(RT_BITMAP), TResourceIdent("R"));
    raw.Data = Dib2x1();
    auto rawView = Show(&raw);
    EXPECT_EQ(rawView->GetCaption(), "Bitmap");
    QSize size;
    EXPECT_TRUE(rawView->GetImageSize(size));
    EXPECT_EQ(size, QSize(2, 1));
    rawView->ActionView1Stretch->setChecked(true);
    const QImage shown = rawView->PaintBoxPrimary->grab().toImage();
    EXPECT_EQ(shown.pixel(1, 1), Rust);
    EXPECT_EQ(shown.pixel(shown.width() - 2, 1), Sea);
}

TEST_F(GraphicsView, CompressedPng)
{
    TTestItem item(TResourceIdent("C"));
    item.Data = Compress(PngOf(Picture3x2()));
    EXPECT_EQ(ResourceItemViewDatabase()->Find(&item), TCompressedBitmapResourceItemViewFactory::ClassInfo());
    auto view = Show(&item, true);
    EXPECT_EQ(view->GetCaption(), "Compressed Png");
    view->ActionView1Stretch->setChecked(true);
    const QImage shown = view->PaintBoxPrimary->grab().toImage();
    EXPECT_EQ(shown.pixel(1, 1), Rust);
    EXPECT_EQ(shown.pixel(shown.width() / 2, shown.height() - 2), qRgb(0xFF, 0xFF, 0xFF));
}

TEST_F(GraphicsView, DraggingOverAPictureWithAHotSpotScribblesUntilRelease)
{
    const QRgb white = qRgb(0xFF, 0xFF, 0xFF), black = qRgb(0, 0, 0);
    THotspotPictureItem item(KeyedBitmap(), clNone);
    auto view = Show(&item);
    QWidget* pane = view->PaintBoxPrimary;
    const QPoint from(10, 10), to(30, 10);
    ASSERT_EQ(pane->grab().toImage().pixel(20, 10), white);

    QTest::mousePress(pane, Qt::LeftButton, {}, from);
    EXPECT_EQ(pane->grab().toImage().pixel(from), black) << "the pixel under the mouse inverted";
    QTest::mouseMove(pane, to);
    const QImage scribbled = pane->grab().toImage();
    EXPECT_EQ(scribbled.pixel(20, 10), black) << "a line back to where the mouse was";
    EXPECT_EQ(scribbled.pixel(20, 12), white);
    QTest::mouseRelease(pane, Qt::LeftButton, {}, to);
    EXPECT_EQ(pane->grab().toImage().pixel(20, 10), white) << "wiped on release";

    // Without a hot spot the mouse draws nothing.
    TKeyedPictureItem plain(KeyedBitmap(), clNone);
    auto plainView = Show(&plain);
    QTest::mousePress(plainView->PaintBoxPrimary, Qt::LeftButton, {}, from);
    QTest::mouseMove(plainView->PaintBoxPrimary, to);
    EXPECT_EQ(plainView->PaintBoxPrimary->grab().toImage().pixel(20, 10), white);
    QTest::mouseRelease(plainView->PaintBoxPrimary, Qt::LeftButton, {}, to);
}

TEST_F(GraphicsView, CursorWithoutALiveCursorSaysSo)
{
    TKeyedPictureItem item(KeyedBitmap(), clNone, TResourceIdent::FromOrdinal(RT_CURSOR), QByteArray("no cursor"));
    auto view = Show(&item);
    EXPECT_TRUE(view->PanelError->isVisible());
    EXPECT_EQ(view->LabelError->text(), "Failed to load live cursor preview");
    EXPECT_EQ(view->PanelPrimary->cursor().shape(), Qt::ArrowCursor);
    QSize size;
    EXPECT_TRUE(view->GetImageSize(size)) << "the picture still shows";
}

TEST_F(GraphicsView, CursorItemBecomesTheMousePointerOverThePanes)
{
    TKeyedPictureItem item(KeyedBitmap(), clNone, TResourceIdent::FromOrdinal(RT_CURSOR), Cursor2x2());
    auto view = Show(&item);
    EXPECT_FALSE(view->PanelError->isVisible());
    for (QWidget* panel : {view->PanelPrimary, view->PanelRight, view->PanelBottom}) {
        const QCursor cursor = panel->cursor();
        EXPECT_EQ(cursor.shape(), Qt::BitmapCursor);
        EXPECT_EQ(cursor.hotSpot(), QPoint(1, 0));
        const QImage image = cursor.pixmap().toImage();
        ASSERT_EQ(image.size(), QSize(2, 2));
        EXPECT_EQ(image.pixel(0, 0), Rust);
        EXPECT_EQ(image.pixel(1, 1), Sea);
    }

    // Raw cursor data shows as a picture only.
    TTestItem raw(TResourceIdent::FromOrdinal(RT_CURSOR), TResourceIdent("R"));
    raw.Data = Cursor2x2();
    auto rawView = Show(&raw);
    EXPECT_EQ(rawView->PanelPrimary->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(rawView->GetCaption(), "Cursor");
    rawView->ActionView1Stretch->setChecked(true);
    const QImage shown = rawView->PaintBoxPrimary->grab().toImage();
    EXPECT_EQ(shown.pixel(1, 1), Rust);
    EXPECT_EQ(shown.pixel(shown.width() - 2, shown.height() - 2), Sea);
}

// RT_ICON data: a 2 x 2 image at 4 bits, its top row a screen-inverting pixel and a transparent one,
// its bottom row Rust.
QByteArray Icon4Bit2x2()
{
    QByteArray data;
    auto put = [&](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) data.append(char((v >> (8 * i)) & 0xFF));
    };
    put(40, 4), put(2, 4), put(4, 4), put(1, 2), put(4, 2), put(0, 4), put(0, 4);
    put(0, 4), put(0, 4), put(16, 4), put(0, 4);
    put(0, 4), put(0x00F08010, 4), put(0x00FFFFFF, 4); // palette B G R 0: black, Rust, white
    for (int i = 3; i < 16; ++i) put(0, 4);
    put(0x11, 4), put(0x20, 4); // rows bottom-up: Rust Rust / white black
    put(0x00, 4), put(0xC0, 4); // AND mask: the top row masked
    return data;
}

TEST_F(GraphicsView, IconImageShowsItsInvertingPixelsInTheirOwnColour)
{
    TIconResourceItem item;
    TMemoryStream data;
    data.WriteBytes(Icon4Bit2x2());
    data.SetPosition(0);
    item.LoadFromStream(data, data.Size());
    auto view = Show(&item);
    EXPECT_TRUE(view->ActionView1Transparent->isChecked());
    QImage thumb(2, 2, QImage::Format_ARGB32);
    thumb.fill(Sea);
    QPainter canvas(&thumb);
    view->Draw(canvas, thumb.rect());
    canvas.end();
    EXPECT_EQ(thumb.pixel(0, 0), qRgb(0xD2, 0xFF, 0xD2)) << "inverting";
    EXPECT_EQ(thumb.pixel(1, 0), Sea) << "transparent";
    EXPECT_EQ(thumb.pixel(0, 1), Rust);
    EXPECT_EQ(thumb.pixel(1, 1), Rust);
}

TEST_F(GraphicsView, CursorImageItemBecomesTheMousePointer)
{
    TCursorResourceItem item;
    TMemoryStream data;
    data.WriteBytes(Cursor2x2());
    data.SetPosition(0);
    item.LoadFromStream(data, data.Size());
    auto view = Show(&item);
    EXPECT_FALSE(view->PanelError->isVisible());
    const QCursor cursor = view->PanelPrimary->cursor();
    ASSERT_EQ(cursor.shape(), Qt::BitmapCursor);
    EXPECT_EQ(cursor.hotSpot(), QPoint(1, 0));
    EXPECT_EQ(cursor.pixmap().toImage().pixel(0, 0), Rust);
}

// Every bitmap, icon and cursor image of wine's modules shows, at the size its decoder gives.
TEST_F(GraphicsView, WinePicturesShowInterop)
{
    if (!HasWineModules()) GTEST_SKIP() << "wine64 is not installed";
    int count = 0;
    for (const auto& [module, r] : WineResources({RT_BITMAP, RT_ICON, RT_CURSOR})) {
        const uint16_t type = ResourceIdentOrdinal(r.Type);
        TTestItem item(r.Type, r.Name);
        item.Data = r.Data;
        QSize expected;
        if (type == RT_BITMAP) {
            const std::unique_ptr<TBitmap> bitmap = TCustomBitmapResourceItem::ItemToBitmap(&item);
            ASSERT_TRUE(bitmap) << module.toStdString();
            expected = QSize(bitmap->Width(), bitmap->Height());
        } else {
            const std::unique_ptr<TIcon> icon = ItemToIcon(&item, type == RT_ICON);
            expected = QSize(icon->Width(), icon->Height());
        }
        ++count;
        IResourceItemViewPtr view = ResourceItemViewDatabase()->Find(&item)->CreateView();
        view->SetResourceItem(&item);
        QSize size;
        ASSERT_TRUE(view->GetImageSize(size)) << module.toStdString();
        EXPECT_EQ(size, expected) << module.toStdString();
        QImage thumb(16, 16, QImage::Format_ARGB32);
        thumb.fill(0);
        QPainter canvas(&thumb);
        EXPECT_NO_THROW(view->Draw(canvas, thumb.rect())) << module.toStdString();
    }
    EXPECT_GT(count, 0);
}

#include "GraphicsViewTest.moc"
