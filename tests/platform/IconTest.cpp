#include "platform/Icon.h"
#include "platform/BinaryReader.h"
#include "platform/Bitmap.h"
#include "platform/Streams.h"

#include <QtEndian>
#include "platform/ByteBuilder.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const TColor Blue = RGBColor(0x10, 0x80, 0xF0);
const QRgb BlueRgb = qRgb(0x10, 0x80, 0xF0);
const QRgb Clear = qRgba(0, 0, 0, 0);
const QRgb Black = qRgb(0, 0, 0);

std::vector<QRgb> PixelsOf(const QImage& image)
{
    std::vector<QRgb> out;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) out.push_back(image.pixel(x, y));
    return out;
}

TBitmap Mask(int width, int height, const std::vector<int>& bits)
{
    TBitmap mask(width, height, pf1bit);
    for (int i = 0; i < int(bits.size()); ++i) mask.SetPixelIndex(i % width, i / width, bits[size_t(i)]);
    return mask;
}

TEST(Icon, SetBitmapsCombinesColourAndMask)
{
    // 4 bits: a colour, white over a set mask bit (inverting), black and another colour over set bits.
    TBitmap color(3, 2, pf4bit);
    color.SetPalette({clBlack, clWhite, Blue, RGBColor(0xF0, 0x20, 0x30)});
    const int indices[] = {2, 1, 0, 3, 1, 2};
    for (int i = 0; i < 6; ++i) color.SetPixelIndex(i % 3, i / 3, indices[i]);
    TIcon icon;
    icon.SetBitmaps(&color, Mask(3, 2, {0, 1, 1, 1, 0, 0}));
    EXPECT_EQ(PixelsOf(icon.ToQImage()), (std::vector<QRgb>{BlueRgb, Black, Clear, Clear, qRgb(255, 255, 255), BlueRgb}));
    EXPECT_EQ(icon.Width(), 3);
    EXPECT_TRUE(icon.IsIcon());

    // 1 bit: one mask of twice the height, AND mask on top, the image below.
    TIcon mono;
    mono.SetBitmaps(nullptr, Mask(2, 4, {0, 0, 1, 1, /* image */ 0, 1, 0, 1}), false, QPoint(1, 0));
    EXPECT_EQ(PixelsOf(mono.ToQImage()), (std::vector<QRgb>{Black, qRgb(255, 255, 255), Clear, Black}));
    EXPECT_EQ(mono.Height(), 2);
    EXPECT_FALSE(mono.IsIcon());
    EXPECT_EQ(mono.Hotspot(), QPoint(1, 0));

    // 32 bits with alpha: the alpha shows and the mask is ignored; all-zero alpha uses the mask.
    TBitmap argb(2, 1, pf32bit);
    argb.SetPixel(0, 0, Blue);
    argb.SetPixelAlpha(0, 0, 0x80);
    argb.SetPixel(1, 0, clWhite);
    TIcon withAlpha;
    withAlpha.SetBitmaps(&argb, Mask(2, 1, {1, 1}));
    EXPECT_EQ(PixelsOf(withAlpha.ToQImage()), (std::vector<QRgb>{qRgba(0x10, 0x80, 0xF0, 0x80), qRgba(255, 255, 255, 0)}));
    argb.SetPixelAlpha(0, 0, 0);
    withAlpha.SetBitmaps(&argb, Mask(2, 1, {0, 1}));
    EXPECT_EQ(PixelsOf(withAlpha.ToQImage()), (std::vector<QRgb>{BlueRgb, Black}));
}

// ---- icon files ----


struct TEntry {
    int Width, Height, Colors;
    uint16_t PlanesOrX, BitsOrY;
    QByteArray Image;
};

// Image data the fake decoder understands: a DIB-like header whose bit count is at 14, and a marker
// in the last byte.
QByteArray FakeImage(int bits, char marker)
{
    QByteArray d(40, '\0');
    qToLittleEndian(uint16_t(bits), d.data() + 14);
    d[39] = marker;
    return d;
}

QByteArray IconFile(int type, const std::vector<TEntry>& entries)
{
    QByteArray d;
    Add16(d, 0);
    Add16(d, uint32_t(type));
    Add16(d, uint32_t(entries.size()));
    int64_t offset = 6 + 16 * int64_t(entries.size());
    for (const TEntry& e : entries) {
        d.append(char(e.Width)).append(char(e.Height)).append(char(e.Colors)).append('\0');
        Add16(d, e.PlanesOrX);
        Add16(d, e.BitsOrY);
        Add32(d, uint32_t(e.Image.size()));
        Add32(d, uint32_t(offset));
        offset += e.Image.size();
    }
    for (const TEntry& e : entries) d += e.Image;
    return d;
}

QImage FakeDecoder(const QByteArray& data)
{
    if (data.size() < 40) return QImage();
    QImage image(1, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgb(uint8_t(data.back()), 0, 0));
    return image;
}

// Decodes the colour rows of an icon image's DIB with TBitmap: half the header's double height.
QImage DibDecoder(const QByteArray& data)
{
    const TBinaryReader r(data);
    QByteArray dib = data;
    qToLittleEndian(r.U32(8) / 2, dib.data() + 8);
    QByteArray file("BM");
    Add32(file, uint32_t(14 + dib.size()));
    Add32(file, 0);
    Add32(file, 14 + r.U32(0));
    TBytesStream stream(file + dib);
    TBitmap bitmap;
    bitmap.LoadFromStream(stream);
    return bitmap.ToQImage();
}

class IconFiles : public ::testing::Test {
protected:
    void TearDown() override { TIcon::SetImageDecoder(nullptr); }
    static TIcon Load(const QByteArray& bytes)
    {
        TBytesStream stream(bytes);
        TIcon icon;
        icon.LoadFromStream(stream);
        return icon;
    }
};

TEST_F(IconFiles, LoadPicksTheLargestImageThenTheMostColours)
{
    TIcon::SetImageDecoder(FakeDecoder);
    struct Case {
        const char* Name;
        int Type;
        std::vector<TEntry> Entries;
        int Marker;
        QPoint Hotspot;
    };
    const Case cases[] = {
        {"largest first", 1,
         {{16, 16, 0, 1, 32, FakeImage(32, 1)}, {32, 32, 16, 1, 4, FakeImage(4, 2)}, {32, 32, 0, 1, 8, FakeImage(8, 3)}}, 3, {}},
        {"256 written as 0", 1, {{48, 48, 0, 1, 32, FakeImage(32, 1)}, {0, 0, 0, 1, 32, FakeImage(32, 2)}}, 2, {}},
        {"ties keep the first", 1, {{32, 32, 0, 1, 8, FakeImage(8, 1)}, {32, 32, 0, 1, 8, FakeImage(8, 2)}}, 1, {}},
        // Cursors keep the hot spot where icons have planes and bits: the image header tells the depth.
        {"cursor", 2, {{32, 32, 0, 7, 9, FakeImage(32, 1)}, {32, 32, 2, 3, 4, FakeImage(1, 2)}}, 1, {7, 9}},
        {"cursor with a PNG", 2,
         {{32, 32, 0, 5, 6, FakeImage(8, 1)}, {32, 32, 0, 1, 2, QByteArray("\x89PNG", 4) + FakeImage(0, 2)}}, 2, {1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const TIcon icon = Load(IconFile(c.Type, c.Entries));
        EXPECT_EQ(qRed(icon.ToQImage().pixel(0, 0)), c.Marker);
        EXPECT_EQ(icon.IsIcon(), c.Type == 1);
        EXPECT_EQ(icon.Hotspot(), c.Hotspot);
    }
}

TEST_F(IconFiles, DamagedDirectoriesAndMissingDecodersAreRefused)
{
    const QByteArray good = IconFile(1, {{16, 16, 0, 1, 32, FakeImage(32, 1)}});
    auto patched = [&](int at, const QByteArray& bytes) { return QByteArray(good).replace(at, bytes.size(), bytes); };
    struct Case {
        const char* Name;
        QByteArray Data;
        const char* Message;
    };
    const Case cases[] = {
        {"truncated header", good.left(4), "icon header"},
        {"not an icon", patched(2, QByteArray("\x03\0", 2)), "not valid"},
        {"reserved word set", patched(0, QByteArray("\x01\0", 2)), "not valid"},
        {"no images", patched(4, QByteArray("\0\0", 2)), "no images"},
        {"more entries than the data", patched(4, QByteArray("\x05\0", 2)), "icon directory"},
        {"image past the end", patched(18, QByteArray("\x20\0\0\0", 4)), "icon image"},
        {"huge image offset", patched(18, QByteArray("\xFF\xFF\xFF\xFF", 4)), "icon image"},
        {"huge image size", patched(14, QByteArray("\xFF\xFF\xFF\x7F", 4)), "icon image"},
        {"empty image", patched(14, QByteArray(4, '\0')), "empty image"},
        {"image the decoder refuses", IconFile(1, {{16, 16, 0, 1, 32, QByteArray(8, 'x')}}), "not valid"},
    };
    TIcon::SetImageDecoder(FakeDecoder);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TIcon icon;
        icon.SetImage(QImage(2, 2, QImage::Format_ARGB32));
        TBytesStream stream(c.Data);
        try {
            icon.LoadFromStream(stream);
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_TRUE(dynamic_cast<const EInvalidGraphic*>(&e) || dynamic_cast<const EBinaryReadError*>(&e)) << e.ClassName();
            EXPECT_TRUE(e.Message().contains(QLatin1String(c.Message))) << e.Message().toStdString();
        }
        EXPECT_TRUE(icon.Empty());
    }
    TIcon::SetImageDecoder(nullptr);
    TBytesStream stream(good);
    TIcon icon;
    EXPECT_THROW(icon.LoadFromStream(stream), EInvalidGraphic);
}

TEST_F(IconFiles, SaveWritesOne32BitImageWithAMaskFromAlpha)
{
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    image.setPixel(0, 0, qRgba(0x10, 0x80, 0xF0, 0xFF));
    image.setPixel(2, 1, qRgba(0xF0, 0x20, 0x30, 0x40));
    for (const bool isIcon : {true, false}) {
        SCOPED_TRACE(isIcon ? "icon" : "cursor");
        TIcon icon;
        icon.SetImage(image, isIcon, isIcon ? QPoint() : QPoint(2, 1));
        TBytesStream out;
        icon.SaveToStream(out);
        const QByteArray bytes = out.Bytes();
        const TBinaryReader r(bytes);
        EXPECT_EQ(r.U16(2), isIcon ? 1 : 2);
        EXPECT_EQ(r.U16(4), 1);
        EXPECT_EQ(r.U32(14), uint32_t(bytes.size() - 22));
        EXPECT_EQ(r.U32(22 + 8), 4u) << "double height";
        EXPECT_EQ(r.U16(22 + 14), 32);
        // The AND mask after the colour rows, bottom-up; set bits are the transparent pixels.
        const int64_t masks = 22 + 40 + 3 * 4 * 2;
        EXPECT_EQ(r.U8(masks), 0xC0) << "bottom row: x 0 and 1 transparent";
        EXPECT_EQ(r.U8(masks + 4), 0x60) << "top row: x 1 and 2 transparent";

        TIcon::SetImageDecoder(DibDecoder);
        TBytesStream in(bytes);
        TIcon again;
        again.LoadFromStream(in);
        EXPECT_EQ(PixelsOf(again.ToQImage()), PixelsOf(image));
        EXPECT_EQ(again.Hotspot(), icon.Hotspot());
        EXPECT_EQ(again.IsIcon(), isIcon);
    }
    // Qt reads it too (through premultiplied pixels: translucent colours may be off by one).
    TIcon icon;
    icon.SetImage(image);
    TBytesStream out;
    icon.SaveToStream(out);
    const QImage viaQt = QImage::fromData(out.Bytes(), "ICO").convertToFormat(QImage::Format_ARGB32);
    if (!viaQt.isNull()) {
        EXPECT_EQ(viaQt.size(), image.size());
        EXPECT_EQ(viaQt.pixel(0, 0), image.pixel(0, 0));
        EXPECT_EQ(qAlpha(viaQt.pixel(2, 1)), 0x40);
        EXPECT_EQ(qAlpha(viaQt.pixel(1, 1)), 0);
    }
}

} // namespace
