#include "model/LogCapture.h"
#include "kinds/koIconEncoder.h"

#include "../platform/PeerTools.h"
#include "model/koResourcesMessages.h"
#include "platform/Icon.h"
#include "platform/WineModules.h"
#include "model/koResources.h"
#include "platform/PngImage.h"
#include "platform/Streams.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <iostream>
#include <map>
#include <tuple>
#include <vector>

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// --- building test data ----------------------------------------------------------------------------

void Put16(QByteArray& d, uint16_t v)
{
    char b[2];
    qToLittleEndian(v, b);
    d.append(b, 2);
}
void Put32(QByteArray& d, uint32_t v)
{
    char b[4];
    qToLittleEndian(v, b);
    d.append(b, 4);
}
void PutBE32(QByteArray& d, uint32_t v)
{
    char b[4];
    qToBigEndian(v, b);
    d.append(b, 4);
}

int RowBytes(int width, int bits) { return (width * bits + 31) / 32 * 4; }

QByteArray Header(int32_t width, int32_t height, uint16_t bits, uint32_t clrUsed = 0, uint32_t sizeImage = 0,
                  uint32_t compression = 0, uint16_t planes = 1, uint32_t size = 40)
{
    QByteArray h;
    Put32(h, size);
    Put32(h, uint32_t(width));
    Put32(h, uint32_t(height));
    Put16(h, planes);
    Put16(h, bits);
    Put32(h, compression);
    Put32(h, sizeImage);
    Put32(h, 2835); // pels per metre survive a round trip
    Put32(h, 0);
    Put32(h, clrUsed);
    Put32(h, 0);
    return h;
}

TIconDIBHeader HeaderFields(int32_t width, int32_t height, uint16_t bits, uint32_t clrUsed, uint32_t sizeImage,
                            uint32_t compression = 0)
{
    TIconDIBHeader h;
    h.biWidth = width;
    h.biHeight = height;
    h.biBitCount = bits;
    h.biClrUsed = clrUsed;
    h.biSizeImage = sizeImage;
    h.biCompression = compression;
    return h;
}

// Colours with different red, green and blue, so that a swap shows.
TColor TestColor(int i) { return RGBColor(0x10 + i, 0x80 - i, 0xF0 - 2 * i); }

// An icon DIB of a width x height image: XOR pixel (x, y) (y from the top) is pixel(x, y), the AND bit mask(x, y).
QByteArray IconDIB(int width, int height, int bits, int tableEntries, uint32_t clrUsed,
                   const std::function<uint32_t(int, int)>& pixel, const std::function<bool(int, int)>& mask)
{
    const int row = RowBytes(width, bits), maskRow = RowBytes(width, 1);
    QByteArray d = Header(width, 2 * height, uint16_t(bits), clrUsed, uint32_t(row * height));
    for (int i = 0; i < tableEntries; ++i) {
        const TColor c = TestColor(i);
        d.append(char(GetBValue(c))).append(char(GetGValue(c))).append(char(GetRValue(c))).append('\0');
    }
    for (int y = height - 1; y >= 0; --y) {
        QByteArray r(row, '\0');
        for (int x = 0; x < width; ++x) {
            const uint32_t v = pixel(x, y);
            if (bits >= 8) {
                for (int b = 0; b < bits / 8; ++b) r[x * bits / 8 + b] = char(v >> (8 * b));
            } else {
                const int shift = 8 - bits - (x * bits) % 8;
                r[x * bits / 8] = char(uint8_t(r[x * bits / 8]) | (v << shift));
            }
        }
        d.append(r);
    }
    for (int y = height - 1; y >= 0; --y) {
        QByteArray r(maskRow, '\0');
        for (int x = 0; x < width; ++x)
            if (mask(x, y)) r[x / 8] = char(uint8_t(r[x / 8]) | (0x80 >> (x % 8)));
        d.append(r);
    }
    return d;
}

bool Diagonal(int x, int y) { return x == y; }

// Red and blue of a B G R 0 pixel exchanged, alpha cleared.
uint32_t Swapped(uint32_t v) { return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF); }

// A DIB given BI_BITFIELDS and its three colour masks after the header.
QByteArray Masked(QByteArray dib, std::initializer_list<uint32_t> masks)
{
    qToLittleEndian<uint32_t>(3, dib.data() + 16);
    QByteArray m;
    for (uint32_t v : masks) Put32(m, v);
    return dib.insert(40, m);
}

QByteArray PngChunk(const char* type, const QByteArray& data)
{
    QByteArray c;
    PutBE32(c, uint32_t(data.size()));
    QByteArray body = QByteArray(type, 4) + data;
    c.append(body);
    PutBE32(c, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))));
    return c;
}

// A PNG written by hand, so that the decoder meets what our own writer would never make. Rows are the
// packed samples without the filter byte.
QByteArray HandPng(int width, int height, int depth, int colorType, const std::vector<TColor>& plte,
                   const QByteArray& trns, const std::vector<QByteArray>& rows)
{
    QByteArray png("\x89PNG\r\n\x1A\n", 8);
    QByteArray ihdr;
    PutBE32(ihdr, uint32_t(width));
    PutBE32(ihdr, uint32_t(height));
    ihdr.append(char(depth)).append(char(colorType)).append('\0').append('\0').append('\0');
    png.append(PngChunk("IHDR", ihdr));
    if (!plte.empty()) {
        QByteArray p;
        for (TColor c : plte) p.append(char(GetRValue(c))).append(char(GetGValue(c))).append(char(GetBValue(c)));
        png.append(PngChunk("PLTE", p));
    }
    if (!trns.isEmpty()) png.append(PngChunk("tRNS", trns));
    QByteArray raw;
    for (const QByteArray& r : rows) raw.append('\0').append(r);
    uLongf size = compressBound(uLong(raw.size()));
    QByteArray z(int(size), '\0');
    compress2(reinterpret_cast<Bytef*>(z.data()), &size, reinterpret_cast<const Bytef*>(raw.constData()),
              uLong(raw.size()), 9);
    z.resize(int(size));
    png.append(PngChunk("IDAT", z));
    png.append(PngChunk("IEND", {}));
    return png;
}

// Packed rows of palette indices.
std::vector<QByteArray> IndexRows(int width, int height, int depth, const std::function<int(int, int)>& index)
{
    std::vector<QByteArray> rows;
    for (int y = 0; y < height; ++y) {
        QByteArray r((width * depth + 7) / 8, '\0');
        for (int x = 0; x < width; ++x) {
            const int shift = 8 - depth - (x * depth) % 8;
            r[x * depth / 8] = char(uint8_t(r[x * depth / 8]) | (index(x, y) << shift));
        }
        rows.push_back(r);
    }
    return rows;
}

struct TDecoded {
    std::unique_ptr<TBitmap> Color, Mask;
};

TDecoded Decode(TIconEncoder& encoder, const QByteArray& data, TColorDepth expected = 32)
{
    TBytesStream s(data);
    TDecoded d;
    encoder.Decode(s, d.Color, d.Mask, expected);
    return d;
}

TPngImage LoadPng(const QByteArray& data)
{
    TPngImage png;
    TBytesStream s(data);
    png.LoadFromStream(s);
    return png;
}

QByteArray Encode(TIconEncoder& encoder, const TBitmap* color, const TBitmap* mask)
{
    TBytesStream s;
    encoder.Encode(s, color, mask);
    return s.Bytes();
}

template <typename F>
QString ErrorOf(F&& action)
{
    try {
        action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return QStringLiteral("(no error)");
}


// --- the DIB encoding ------------------------------------------------------------------------------

TEST(IconDIBSize, CountsHeaderTableAndBothBitPlanes)
{
    struct TCase {
        const char* name;
        TIconDIBHeader header;
        int64_t size;
        QStringList warnings;
    };
    const QString mismatch = QStringLiteral("Icon/Cursor DIB size mismatch. Header.biSizeImage: %1, Calculated: %2");
    const TCase cases[] = {
        {"4-bit, size unset", HeaderFields(32, 64, 4, 0, 0), 104 + 640, {}},
        {"4-bit, XOR bits only", HeaderFields(32, 64, 4, 0, 512), 104 + 640, {}},
        {"4-bit, both planes", HeaderFields(32, 64, 4, 0, 640), 104 + 640, {}},
        {"4-bit, wrong size", HeaderFields(32, 64, 4, 0, 600), 104 + 640, {mismatch.arg(600).arg(640)}},
        {"4-bit, 3 colours", HeaderFields(32, 64, 4, 3, 0), 52 + 640, {}},
        {"1-bit, one half", HeaderFields(32, 64, 1, 2, 128), 48 + 256, {}},
        {"1-bit, both halves", HeaderFields(32, 64, 1, 0, 256), 48 + 256, {}},
        {"8-bit, odd width", HeaderFields(13, 26, 8, 0, 0), 40 + 1024 + 13 * (16 + 4), {}},
        {"8-bit, 300 colours", HeaderFields(16, 32, 8, 300, 0), 40 + 1200 + 16 * (16 + 4), {}},
        {"24-bit", HeaderFields(16, 32, 24, 0, 16 * 48), 40 + 16 * (48 + 4), {}},
        {"32-bit, masks", HeaderFields(16, 32, 32, 0, 0, 3), 52 + 16 * (64 + 4), {}},
        {"32-bit, masks and colours", HeaderFields(16, 32, 32, 2, 0, 3), 60 + 16 * (64 + 4), {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TLogCapture log;
        EXPECT_EQ(IconDIBSize(c.header), c.size);
        EXPECT_EQ(log.Messages(), c.warnings);
    }
}

TEST(IconBMPEncoder, DecodesColourImageMaskAndPalette)
{
    const auto pixel = [](int x, int y) { return uint32_t((x + 3 * y) % 16); };
    const QByteArray dib = IconDIB(32, 32, 4, 16, 0, pixel, Diagonal);
    TIconBMPEncoder encoder;
    TLogCapture log;
    const TDecoded d = Decode(encoder, dib, 1);
    EXPECT_TRUE(log.Messages().isEmpty()) << log.Messages().join('\n').toStdString();
    ASSERT_TRUE(d.Color && d.Mask);
    EXPECT_EQ(encoder.Width(), 32);
    EXPECT_EQ(encoder.Height(), 32);
    EXPECT_EQ(encoder.ColorDepth(), 4);
    EXPECT_EQ(encoder.ColorsUsed(), 16);
    ASSERT_EQ(encoder.Palette().size(), 16u);
    EXPECT_EQ(encoder.Palette()[5], TestColor(5));
    EXPECT_EQ(d.Color->PixelFormat(), pf4bit);
    EXPECT_EQ(d.Mask->PixelFormat(), pf1bit);
    EXPECT_EQ(d.Mask->Height(), 32);
    for (auto [x, y] : {std::pair{0, 0}, {31, 0}, {0, 31}, {7, 19}}) {
        EXPECT_EQ(d.Color->PixelIndex(x, y), int(pixel(x, y))) << x << "," << y;
        EXPECT_EQ(d.Color->Pixel(x, y), TestColor(int(pixel(x, y))));
        EXPECT_EQ(d.Mask->PixelIndex(x, y), x == y ? 1 : 0) << x << "," << y;
    }
}

TEST(IconBMPEncoder, ColourTableLongerThanTheDepthGivesItsFirstEntries)
{
    const QByteArray dib = IconDIB(16, 16, 8, 300, 300, [](int x, int) { return uint32_t(x * 16); }, Diagonal);
    TIconBMPEncoder encoder;
    const TDecoded d = Decode(encoder, dib);
    ASSERT_EQ(encoder.Palette().size(), 256u);
    EXPECT_EQ(encoder.ColorsUsed(), 256);
    EXPECT_EQ(encoder.Palette()[255], TestColor(255));
    // The bits start after all 300 entries.
    EXPECT_EQ(d.Color->PixelIndex(3, 0), 48);
    EXPECT_EQ(d.Color->Pixel(3, 0), TestColor(48));
}

TEST(IconBMPEncoder, OneBitImageIsADoubleHeightMaskWithBlackAndWhite)
{
    // The file's table says red and green: a monochrome image is black and white all the same.
    const QByteArray dib = IconDIB(16, 16, 1, 2, 2, [](int x, int y) { return uint32_t(x == 2 * y ? 1 : 0); },
                                   [](int, int) { return false; });
    TIconBMPEncoder encoder;
    const TDecoded d = Decode(encoder, dib);
    EXPECT_FALSE(d.Color);
    ASSERT_TRUE(d.Mask);
    EXPECT_EQ(d.Mask->Width(), 16);
    EXPECT_EQ(d.Mask->Height(), 32);
    EXPECT_EQ(encoder.Height(), 16);
    EXPECT_EQ(encoder.ColorDepth(), 1);
    EXPECT_EQ(encoder.Palette(), (TColorArray{clBlack, clWhite}));
    // The first 16 stored rows are the lower half of the picture.
    EXPECT_EQ(d.Mask->PixelIndex(0, 16), 1);
    EXPECT_EQ(d.Mask->PixelIndex(2, 17), 1);
    EXPECT_EQ(d.Mask->PixelIndex(2, 16), 0);
}

TEST(IconBMPEncoder, RefusesDamagedData)
{
    const QByteArray good = IconDIB(16, 16, 4, 16, 0, [](int, int) { return 1u; }, Diagonal);
    const auto patched = [&](int offset, uint32_t value) {
        QByteArray d = good;
        qToLittleEndian(value, d.data() + offset);
        return d;
    };
    struct TCase {
        const char* name;
        QByteArray data;
        const char* error;
    };
    const TCase cases[] = {
        {"empty", {}, "Premature end of data"},
        {"header cut", good.left(39), "Premature end of data"},
        {"mask cut", good.left(good.size() - 1), "Premature end of data"},
        {"header size 12", patched(0, 12), "Malformed Bitmap in icon"},
        {"two planes", patched(12, 0x00040002), "Malformed Bitmap in icon"},
        {"33 bits", patched(12, 0x00210001), "Malformed Bitmap in icon"},
        {"2 bits", patched(12, 0x00020001), "Malformed Bitmap in icon"},
        {"zero width", patched(4, 0), "Malformed Bitmap in icon"},
        {"negative width", patched(4, uint32_t(-16)), "Malformed Bitmap in icon"},
        {"huge width", patched(4, 0x7FFFFFFF), "Malformed Bitmap in icon"},
        {"zero height", patched(8, 0), "Malformed Bitmap in icon"},
        {"top-down", patched(8, uint32_t(-32)), "Malformed Bitmap in icon"},
        {"RLE", patched(16, 2), "Malformed Bitmap in icon"},
        {"wide beyond the data", patched(4, 60000), "Premature end of data"},
        {"colour table beyond the data", patched(32, 0xFFFFFFF0), "Premature end of data"},
        {"colour masks overlapping",
         Masked(IconDIB(2, 2, 32, 0, 0, [](int, int) { return 0u; }, Diagonal), {0xFF, 0xFF, 0xFF00}),
         "Malformed Bitmap in icon"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TIconBMPEncoder encoder;
        std::unique_ptr<TBitmap> color, mask;
        TBytesStream s(c.data);
        EXPECT_EQ(ErrorOf([&] { encoder.Decode(s, color, mask, 4); }), QString::fromLatin1(c.error));
        EXPECT_FALSE(color);
        EXPECT_FALSE(mask);
        std::unique_ptr<TBitmap> color2, mask2;
        EXPECT_EQ(ErrorOf([&] { CreateIconBitmaps(c.data, color2, mask2); }), QString::fromLatin1(c.error));
    }
}

TEST(IconBMPEncoder, EncodesWhatItDecodedByteForByte)
{
    const auto mixed = [](int x, int y) { return uint32_t(x * 7 + y * 13); };
    const auto stripes = [](int x, int) { return x % 3 == 0; };
    const auto sizeImage = [](QByteArray d, uint32_t v) {
        qToLittleEndian(v, d.data() + 20);
        return d;
    };
    struct TCase {
        const char* name;
        QByteArray dib;
        QByteArray written = {}; // when not the same
    };
    const QByteArray fourBit = IconDIB(16, 16, 4, 16, 16, [&](int x, int y) { return mixed(x, y) % 16; }, stripes);
    const QByteArray oneBit = IconDIB(32, 32, 1, 2, 2, [](int x, int y) { return uint32_t((x ^ y) & 1); },
                                      [](int, int) { return false; });
    const TCase cases[] = {
        {"4-bit", fourBit},
        {"4-bit, full size", sizeImage(fourBit, 16 * 8 + 16 * 4)},
        {"4-bit, size unset", sizeImage(fourBit, 0), sizeImage(fourBit, 16 * 8 + 16 * 4)},
        {"4-bit, 5 colours", IconDIB(16, 16, 4, 5, 5, [&](int x, int y) { return mixed(x, y) % 5; }, stripes)},
        {"8-bit, 3 pixels wide", IconDIB(3, 3, 8, 256, 256, [&](int x, int y) { return mixed(x, y) % 256; }, stripes)},
        {"24-bit", IconDIB(5, 4, 24, 0, 0, [&](int x, int y) { return mixed(x, y) * 0x10305; }, stripes)},
        {"32-bit", IconDIB(16, 16, 32, 0, 0, [&](int x, int y) { return mixed(x, y) * 0x1030507; }, stripes)},
        {"16-bit 5-6-5", Masked(IconDIB(4, 2, 16, 0, 0, [&](int x, int y) { return mixed(x, y) * 0x841; }, stripes),
                                {0xF800, 0x07E0, 0x001F})},
        {"32-bit with masks", Masked(IconDIB(4, 2, 32, 0, 0, [&](int x, int y) { return mixed(x, y) * 0x10305; }, stripes),
                                     {0xFF0000, 0xFF00, 0xFF})},
        {"1-bit, odd height", [&] {
             QByteArray d = IconDIB(8, 3, 1, 2, 2, [](int x, int y) { return uint32_t(x & y & 1); }, Diagonal);
             qToLittleEndian<uint32_t>(5, d.data() + 8);
             qToLittleEndian<uint32_t>(5 * 4, d.data() + 20);
             return d.left(d.size() - 4);
         }()},
        {"1-bit, one half", sizeImage(oneBit, 128)},
        {"1-bit, both halves", sizeImage(oneBit, 256)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TIconBMPEncoder decoder, encoder;
        const TDecoded d = Decode(decoder, c.dib);
        EXPECT_EQ(Encode(encoder, d.Color.get(), d.Mask.get()).toHex(), (c.written.isEmpty() ? c.dib : c.written).toHex());
        EXPECT_EQ(encoder.Width(), decoder.Width());
        EXPECT_EQ(encoder.Height(), decoder.Height());
        EXPECT_EQ(encoder.ColorDepth(), decoder.ColorDepth());
    }

    // Masks other than the standard ones are read into plain pixels, which are written without them.
    const QByteArray swapped = Masked(IconDIB(4, 2, 32, 0, 0, [&](int x, int y) { return mixed(x, y) * 0x10305; }, stripes),
                                      {0xFF, 0xFF00, 0xFF0000});
    TIconBMPEncoder decoder, encoder;
    const TDecoded first = Decode(decoder, swapped);
    const TDecoded again = Decode(decoder, Encode(encoder, first.Color.get(), first.Mask.get()));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(again.Color->Pixel(x, y), first.Color->Pixel(x, y));
            EXPECT_EQ(first.Color->Pixel(x, y), QRgbToColor(Swapped(mixed(x, y) * 0x10305)));
        }
}

TEST(IconBMPEncoder, NewBitmapsGetAFullHeader)
{
    TBitmap color(3, 2, pf8bit);
    color.SetPalette({TestColor(0), TestColor(1), TestColor(2)});
    color.SetPixelIndex(2, 0, 2);
    TBitmap mask(3, 2, pf1bit);
    mask.SetPixelIndex(0, 1, 1);
    TIconBMPEncoder encoder;
    const QByteArray dib = Encode(encoder, &color, &mask);
    QByteArray expected = Header(3, 4, 8, 3, 2 * 4 + 2 * 4);
    qToLittleEndian<uint32_t>(0, expected.data() + 24);
    for (int i = 0; i < 3; ++i)
        expected.append(char(GetBValue(TestColor(i)))).append(char(GetGValue(TestColor(i)))).append(char(GetRValue(TestColor(i)))).append('\0');
    expected.append(QByteArray::fromHex("00000000" "00000200" "80000000" "00000000"));
    EXPECT_EQ(dib.toHex(), expected.toHex());
    EXPECT_EQ(encoder.ColorDepth(), 8);
    EXPECT_EQ(encoder.Height(), 2);

    // 5-6-5 pixels cannot be told by a plain 16-bit header.
    const TBitmap words(3, 2, pf16bit);
    const QByteArray written = Encode(encoder, &words, &mask);
    EXPECT_EQ(written.mid(16, 4).toHex(), "03000000");
    EXPECT_EQ(written.mid(40, 12).toHex(), "00f80000e00700001f000000");
}

TEST(IconBMPEncoder, MaskComesFromAlphaWhenNoneIsGiven)
{
    TBitmap color(2, 2, pf32bit);
    color.ScanLine(0)[3] = 0;    // (0, 0) transparent
    color.ScanLine(0)[7] = 255;  // (1, 0) opaque
    color.ScanLine(1)[3] = 1;    // (0, 1) nearly transparent: still drawn
    color.ScanLine(1)[7] = 0;    // (1, 1) transparent
    TIconBMPEncoder encoder;
    const QByteArray dib = Encode(encoder, &color, nullptr);
    ASSERT_EQ(dib.size(), 40 + 2 * 8 + 2 * 4);
    // AND rows bottom-up.
    EXPECT_EQ(dib.mid(56).toHex(), QByteArray("40000000" "80000000"));
    EXPECT_EQ(ErrorOf([&] { Encode(encoder, nullptr, nullptr); }), "Malformed Bitmap in icon");
    TBitmap paletted(2, 2, pf4bit);
    EXPECT_EQ(ErrorOf([&] { Encode(encoder, &paletted, nullptr); }), "Malformed Bitmap in icon");
}

// --- the PNG encoding ------------------------------------------------------------------------------

TEST(IconPNGEncoder, PaletteImageLosesItsTransparentEntry)
{
    std::vector<TColor> plte;
    for (int i = 0; i < 16; ++i) plte.push_back(TestColor(i));
    QByteArray trns(16, '\xFF');
    trns[3] = 0;
    const auto index = [](int x, int y) { return (x + y) % 16; };
    const QByteArray png = HandPng(8, 8, 4, 3, plte, trns, IndexRows(8, 8, 4, index));
    TIconPNGEncoder encoder;
    const TDecoded d = Decode(encoder, png, 4);
    ASSERT_TRUE(d.Color && d.Mask);
    EXPECT_EQ(encoder.ColorDepth(), 4);
    EXPECT_EQ(d.Color->PixelFormat(), pf4bit);
    TColorArray expected = plte;
    expected.erase(expected.begin() + 3);
    EXPECT_EQ(encoder.Palette(), expected);
    EXPECT_EQ(d.Color->Palette(), expected);
    EXPECT_EQ(encoder.ColorsUsed(), 15);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            SCOPED_TRACE(testing::Message() << x << "," << y);
            EXPECT_EQ(d.Mask->PixelIndex(x, y), index(x, y) == 3 ? 1 : 0);
            if (index(x, y) != 3) {
                EXPECT_EQ(d.Color->Pixel(x, y), plte[size_t(index(x, y))]);
            }
        }
}

TEST(IconPNGEncoder, PaletteDepthShrinksTowardsTheExpectedOne)
{
    std::vector<TColor> plte;
    for (int i = 0; i < 40; ++i) plte.push_back(TestColor(i));
    // Ten colours and the transparent entry 0 in an 8-bit image.
    const auto index = [](int x, int y) { return (x * 3 + y) % 11; };
    const QByteArray png = HandPng(11, 5, 8, 3, plte, QByteArray(1, '\0'), IndexRows(11, 5, 8, index));
    struct TCase {
        int expected, depth;
        size_t paletteSize;
    };
    for (const TCase& c : {TCase{1, 4, 15}, TCase{4, 4, 15}, TCase{8, 8, 39}, TCase{32, 8, 39}}) {
        SCOPED_TRACE(c.expected);
        TIconPNGEncoder encoder;
        const TDecoded d = Decode(encoder, png, c.expected);
        EXPECT_EQ(encoder.ColorDepth(), c.depth);
        EXPECT_EQ(encoder.ColorsUsed(), 11);
        ASSERT_EQ(encoder.Palette().size(), c.paletteSize);
        EXPECT_EQ(d.Color->BitCount(), c.depth);
        EXPECT_EQ(d.Color->Pixel(1, 0), TestColor(3));
        EXPECT_EQ(d.Mask->PixelIndex(0, 0), 1);
        EXPECT_EQ(d.Mask->PixelIndex(1, 0), 0);
    }
}

TEST(IconPNGEncoder, RefusesWhatIconsCannotHold)
{
    const std::vector<TColor> four{TestColor(0), TestColor(1), TestColor(2), TestColor(3)};
    std::vector<TColor> seventeen;
    for (int i = 0; i < 17; ++i) seventeen.push_back(TestColor(i));
    struct TCase {
        const char* name;
        QByteArray png;
        const char* error;
    };
    const QByteArray greyRow(4, '\x40');
    const TCase cases[] = {
        {"grey", HandPng(4, 1, 8, 0, {}, {}, {greyRow}), "Unsupported PNG format"},
        {"grey with alpha", HandPng(2, 1, 8, 4, {}, {}, {greyRow}), "Unsupported PNG format"},
        {"2-bit palette", HandPng(4, 1, 2, 3, four, {}, IndexRows(4, 1, 2, [](int x, int) { return x; })),
         "Unsupported PNG format"},
        {"RGB with a transparent colour", HandPng(1, 1, 8, 2, {}, QByteArray(6, '\0'), {QByteArray(3, '\0')}),
         "Unsupported PNG format"},
        {"palette too long for 4 bits",
         HandPng(2, 1, 4, 3, seventeen, {}, IndexRows(2, 1, 4, [](int x, int) { return x; })),
         "Malformed PNG in icon"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TIconPNGEncoder encoder;
        std::unique_ptr<TBitmap> color, mask;
        TBytesStream s(c.png);
        EXPECT_EQ(ErrorOf([&] { encoder.Decode(s, color, mask, 4); }), QString::fromLatin1(c.error));
        EXPECT_FALSE(color);
        EXPECT_FALSE(mask);
    }
}

TEST(IconPNGEncoder, TrueColourImagesKeepTheirPixels)
{
    const QByteArray rgba = HandPng(2, 1, 8, 6, {}, {}, {QByteArray::fromHex("10 80 F0 7F 20 30 40 00")});
    TIconPNGEncoder encoder;
    TDecoded d = Decode(encoder, rgba);
    EXPECT_FALSE(d.Mask);
    ASSERT_EQ(d.Color->PixelFormat(), pf32bit);
    EXPECT_EQ(encoder.ColorDepth(), 32);
    EXPECT_EQ(d.Color->Pixel(0, 0), RGBColor(0x10, 0x80, 0xF0));
    EXPECT_EQ(d.Color->PixelAlpha(0, 0), 0x7F);
    EXPECT_EQ(d.Color->PixelAlpha(1, 0), 0);

    const QByteArray rgb = HandPng(1, 1, 8, 2, {}, {}, {QByteArray::fromHex("10 80 F0")});
    d = Decode(encoder, rgb);
    EXPECT_FALSE(d.Mask);
    ASSERT_EQ(d.Color->PixelFormat(), pf24bit);
    EXPECT_EQ(encoder.ColorDepth(), 24);
    EXPECT_EQ(d.Color->Pixel(0, 0), RGBColor(0x10, 0x80, 0xF0));
}

TEST(IconPNGEncoder, PaletteImageGetsTheTransparentEntryFirst)
{
    TBitmap color(15, 2, pf4bit);
    TColorArray palette;
    for (int i = 0; i < 16; ++i) palette.push_back(TestColor(i));
    color.SetPalette(palette);
    for (int x = 0; x < 15; ++x) color.SetPixelIndex(x, 0, x);
    TBitmap mask(15, 2, pf1bit);
    mask.SetPixelIndex(4, 0, 1);
    for (int x = 0; x < 15; ++x) mask.SetPixelIndex(x, 1, 1);

    TIconPNGEncoder encoder;
    const TPngImage png = LoadPng(Encode(encoder, &color, &mask));
    EXPECT_EQ(encoder.ColorDepth(), 4);
    EXPECT_EQ(encoder.ColorsUsed(), 16);
    EXPECT_EQ(png.ColorType(), COLOR_PALETTE);
    EXPECT_EQ(png.BitDepth(), 4);
    ASSERT_EQ(png.Palette().size(), 16u);
    EXPECT_EQ(png.Palette()[0], TColor(0x0000FADE));
    EXPECT_EQ(png.Palette()[15], TestColor(14));
    ASSERT_FALSE(png.Transparency().isEmpty());
    EXPECT_EQ(png.Transparency()[0], '\0');
    for (int x = 0; x < 15; ++x) {
        EXPECT_EQ(png.PixelIndex(x, 0), x == 4 ? 0 : x + 1) << x;
        EXPECT_EQ(png.PixelIndex(x, 1), 0) << x;
        EXPECT_EQ(png.PixelAlpha(x, 0), x == 4 ? 0 : 255) << x;
    }

    // Index 15 leaves no room for the transparent entry.
    color.SetPixelIndex(0, 1, 15);
    mask.SetPixelIndex(0, 1, 0);
    EXPECT_EQ(ErrorOf([&] { Encode(encoder, &color, &mask); }),
              "PNG compression with color depth of 1, 4 and 8 bit requires that at least one color in the palette "
              "is unused");
    EXPECT_EQ(ErrorOf([&] { Encode(encoder, &color, nullptr); }), "Invalid source format for PNG compression");
    EXPECT_EQ(ErrorOf([&] { Encode(encoder, nullptr, &mask); }), "Invalid source format for PNG compression");
}

TEST(IconPNGEncoder, OneBitImageKeepsItsColourOrIsRefused)
{
    TBitmap color(3, 1, pf1bit);
    color.SetPalette({TestColor(1), TestColor(2)});
    TBitmap mask(3, 1, pf1bit);
    mask.SetPixelIndex(1, 0, 1);
    TIconPNGEncoder encoder;
    const TPngImage png = LoadPng(Encode(encoder, &color, &mask));
    EXPECT_EQ(png.BitDepth(), 1);
    EXPECT_EQ(png.Palette(), (TColorArray{TColor(0x0000FADE), TestColor(1)}));
    EXPECT_EQ(png.PixelIndex(0, 0), 1);
    EXPECT_EQ(png.PixelIndex(1, 0), 0);
    EXPECT_EQ(encoder.ColorsUsed(), 2);

    // The second colour has no entry left: painting it in the first would lose it.
    color.SetPixelIndex(2, 0, 1);
    EXPECT_EQ(ErrorOf([&] { Encode(encoder, &color, &mask); }),
              "PNG compression with color depth of 1, 4 and 8 bit requires that at least one color in the palette "
              "is unused");
}

TEST(IconPNGEncoder, TrueColourImagesBecomeRGBA)
{
    TBitmap color(2, 1, pf24bit);
    color.SetPixel(0, 0, RGBColor(0x10, 0x80, 0xF0));
    TBitmap mask(2, 1, pf1bit);
    mask.SetPixelIndex(0, 0, 1);
    mask.SetPixelIndex(1, 0, 1);
    TIconPNGEncoder encoder;
    TPngImage png = LoadPng(Encode(encoder, &color, &mask));
    EXPECT_EQ(png.ColorType(), COLOR_RGBALPHA);
    EXPECT_EQ(png.Pixel(0, 0), RGBColor(0x10, 0x80, 0xF0));
    // The mask does not count at 24 bits: every pixel is written opaque.
    EXPECT_EQ(png.PixelAlpha(0, 0), 255);
    EXPECT_EQ(png.PixelAlpha(1, 0), 255);
    EXPECT_EQ(encoder.ColorDepth(), 24);

    TBitmap alpha(1, 1, pf32bit);
    alpha.SetPixel(0, 0, RGBColor(0x10, 0x80, 0xF0));
    alpha.SetPixelAlpha(0, 0, 0x33);
    png = LoadPng(Encode(encoder, &alpha, nullptr));
    EXPECT_EQ(png.Pixel(0, 0), RGBColor(0x10, 0x80, 0xF0));
    EXPECT_EQ(png.PixelAlpha(0, 0), 0x33);
    EXPECT_EQ(encoder.ColorDepth(), 32);
}

TEST(IconEncoder, ChoosesTheEncodingByTheSignature)
{
    EXPECT_EQ(IconCompressionOf(QByteArray("\x89PNG\r\n\x1A\n....", 12)), icPNG);
    EXPECT_EQ(IconCompressionOf(QByteArray("\x89PNG", 4)), icBMP);
    EXPECT_EQ(IconCompressionOf(Header(16, 32, 4)), icBMP);
    EXPECT_TRUE(dynamic_cast<TIconPNGEncoder*>(CreateIconEncoder(icPNG).get()));
    EXPECT_TRUE(dynamic_cast<TIconBMPEncoder*>(CreateIconEncoder(icBMP).get()));
}

TEST(IconEncoder, DecodeInfoKeepsThePosition)
{
    const QByteArray dib = IconDIB(8, 8, 8, 256, 0, [](int x, int) { return uint32_t(x); }, Diagonal);
    const QByteArray png = HandPng(3, 2, 8, 6, {}, {}, {QByteArray(12, '\x7F'), QByteArray(12, '\x7F')});
    for (TIconCompression compression : {icBMP, icPNG}) {
        auto encoder = CreateIconEncoder(compression);
        TBytesStream s(QByteArray("xx") + (compression == icBMP ? dib : png));
        s.SetPosition(2);
        encoder->DecodeInfo(s, 32);
        EXPECT_EQ(s.Position(), 2);
        EXPECT_EQ(encoder->Width(), compression == icBMP ? 8 : 3);
        EXPECT_EQ(encoder->Height(), compression == icBMP ? 8 : 2);
        EXPECT_EQ(encoder->ColorDepth(), compression == icBMP ? 8 : 32);
    }
}

TEST(IconEncoder, IconPictureShowsTheDecodedImages)
{
    struct TDecoderInstalled {
        TDecoderInstalled() { koIconEncoder_Initialize(); }
        ~TDecoderInstalled() { koIconEncoder_Finalize(); }
    };
    auto installed = std::make_unique<TDecoderInstalled>();
    // A 4-bit image whose diagonal is transparent, in an .ico file of one entry.
    const QByteArray dib = IconDIB(4, 4, 4, 16, 0, [](int, int y) { return uint32_t(y); }, Diagonal);
    QByteArray ico;
    Put16(ico, 0);
    Put16(ico, 1);
    Put16(ico, 1);
    ico.append(char(4)).append(char(4)).append(char(16)).append('\0');
    Put16(ico, 1);
    Put16(ico, 4);
    Put32(ico, uint32_t(dib.size()));
    Put32(ico, 22);
    ico.append(dib);
    TIcon icon;
    TBytesStream s(ico);
    icon.LoadFromStream(s);
    QImage image = icon.ToQImage();
    ASSERT_EQ(image.size(), QSize(4, 4));
    EXPECT_EQ(qAlpha(image.pixel(2, 2)), 0);
    EXPECT_EQ(image.pixel(1, 2), ColorToQRgb(TestColor(2)));

    // A grey PNG is no icon image to edit, but it shows.
    const QByteArray grey = HandPng(2, 1, 8, 4, {}, {}, {QByteArray::fromHex("40 FF 90 00")});
    ico.truncate(6);
    ico.append(char(2)).append(char(1)).append('\0').append('\0');
    Put16(ico, 1);
    Put16(ico, 32);
    Put32(ico, uint32_t(grey.size()));
    Put32(ico, 22);
    ico.append(grey);
    TBytesStream greyStream(ico);
    icon.LoadFromStream(greyStream);
    image = icon.ToQImage();
    ASSERT_EQ(image.size(), QSize(2, 1));
    EXPECT_EQ(image.pixel(0, 0), qRgba(0x40, 0x40, 0x40, 0xFF));
    EXPECT_EQ(qAlpha(image.pixel(1, 0)), 0);

    installed.reset();
    TBytesStream without(ico);
    EXPECT_NE(ErrorOf([&] { icon.LoadFromStream(without); }), "(no error)");
}

// --- against real icons and other decoders ---------------------------------------------------------

// Pixels as the other decoders show them: ARGB, transparent pixels compared by alpha only.
bool SamePixels(const QImage& a, const QImage& b, QString& why, bool colourOnly = false)
{
    if (a.size() != b.size()) {
        why = QStringLiteral("size %1x%2 against %3x%4").arg(a.width()).arg(a.height()).arg(b.width()).arg(b.height());
        return false;
    }
    const QImage x = a.convertToFormat(QImage::Format_ARGB32), y = b.convertToFormat(QImage::Format_ARGB32);
    for (int j = 0; j < x.height(); ++j)
        for (int i = 0; i < x.width(); ++i) {
            const QRgb p = x.pixel(i, j), q = y.pixel(i, j);
            const bool same = colourOnly ? qRgb(qRed(p), qGreen(p), qBlue(p)) == qRgb(qRed(q), qGreen(q), qBlue(q))
                                         : qAlpha(p) == qAlpha(q) && (qAlpha(p) == 0 || p == q);
            if (!same) {
                why = QStringLiteral("pixel %1,%2: %3 against %4").arg(i).arg(j).arg(p, 8, 16).arg(q, 8, 16);
                return false;
            }
        }
    return true;
}

// The decoded bitmaps as shown: the mask's set bits transparent, else a 32-bit image's alpha.
QImage Shown(const TDecoded& d)
{
    QImage image(d.Color->Width(), d.Color->Height(), QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = d.Mask ? (d.Mask->PixelIndex(x, y) ? 0 : 255)
                              : d.Color->PixelFormat() == pf32bit ? d.Color->PixelAlpha(x, y) : 255;
            image.setPixel(x, y, ColorToQRgb(d.Color->Pixel(x, y), alpha));
        }
    return image;
}

TEST(IconEncoderInterop, WineIconsAndCursorsEncodeAsTheyWereStored)
{
    if (!HasWineModules()) GTEST_SKIP() << "wine's modules are not installed";
    const QString cursor = QString(QChar(0xFFFF)) + QChar(1);
    int images = 0, pngs = 0, greyPngs = 0, failures = 0;
    QSet<QString> modules;
    std::map<int, int> depths;
    {
        for (const auto& [name, r] : WineResources({RT_ICON, RT_CURSOR})) {
            const QByteArray stored = r.Type == cursor ? r.Data.mid(4) : r.Data;
            if (IconCompressionOf(stored) == icPNG) {
                // They must show as Qt's own decoder shows them, but for what icons cannot hold: grey
                // images are refused, graded transparency of palette entries is dropped.
                ++pngs;
                const TPngImage png = LoadPng(stored);
                const bool grey = png.ColorType() == COLOR_GRAYSCALE || png.ColorType() == COLOR_GRAYSCALEALPHA;
                const bool graded = png.ColorType() == COLOR_PALETTE && png.TransparencyMode() == ptmPartial;
                QString why;
                try {
                    TIconPNGEncoder decoder;
                    const QImage shown = Shown(Decode(decoder, stored));
                    if (grey || !SamePixels(shown, QImage::fromData(stored, "PNG"), why, graded)) {
                        ++failures;
                        ADD_FAILURE() << name.toStdString() << " PNG image: " << (grey ? "grey accepted" : why.toStdString());
                    }
                } catch (const Exception& e) {
                    if (grey && e.Message() == "Unsupported PNG format") {
                        ++greyPngs;
                    } else {
                        ++failures;
                        ADD_FAILURE() << name.toStdString() << " PNG image: " << e.Message().toStdString();
                    }
                }
                continue;
            }
            modules.insert(name);
            ++images;
            const QString where = name + QStringLiteral(" ") + (r.Type == cursor ? "cursor " : "icon ") +
                                  QString::number(r.Name.at(1).unicode());
            try {
                TIconBMPEncoder decoder, encoder;
                const TDecoded d = Decode(decoder, stored);
                ++depths[decoder.ColorDepth()];
                const QByteArray again = Encode(encoder, d.Color.get(), d.Mask.get());
                if (again != stored) {
                    ++failures;
                    ADD_FAILURE() << where.toStdString() << ": encoded differently";
                }
            } catch (const Exception& e) {
                ++failures;
                ADD_FAILURE() << where.toStdString() << ": " << e.Message().toStdString();
            }
            if (failures > 20) FAIL() << "too many failures";
        }
    }
    std::string byDepth;
    for (auto [depth, count] : depths) byDepth += " " + std::to_string(depth) + "-bit: " + std::to_string(count);
    std::cout << "[ corpus   ] " << images << " DIB images of " << modules.size() << " modules round-tripped (" << byDepth
              << " ); " << pngs << " PNG images compared with Qt's decoder, of which " << greyPngs
              << " grey ones refused\n";
    EXPECT_GT(images, 0);
}

TEST(IconEncoderInterop, OurPngImagesDecodeAlikeEverywhere)
{
    REQUIRE_PEER_TOOL(icotool, "icotool");
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());

    struct TCase {
        const char* name;
        TBitmap color;
        bool withMask;
    };
    std::vector<TCase> cases;
    {
        TBitmap c(24, 24, pf32bit);
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x) {
                c.SetPixel(x, y, RGBColor(x * 10, 0x80 - y, 0xF0 - x));
                c.SetPixelAlpha(x, y, (x * 11 + y * 3) % 256);
            }
        cases.push_back({"32-bit", c, false});
    }
    for (auto [name, format, colors] : {std::tuple{"8-bit", pf8bit, 255}, {"4-bit", pf4bit, 15}}) {
        TBitmap c(20, 17, format);
        TColorArray palette;
        for (int i = 0; i < colors + 1; ++i) palette.push_back(TestColor(i % 100));
        c.SetPalette(palette);
        for (int y = 0; y < 17; ++y)
            for (int x = 0; x < 20; ++x) c.SetPixelIndex(x, y, (x * 5 + y * 3) % colors);
        cases.push_back({name, c, true});
    }
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TBitmap mask(c.color.Width(), c.color.Height(), pf1bit);
        for (int y = 0; y < mask.Height(); ++y)
            for (int x = 0; x < mask.Width(); ++x) mask.SetPixelIndex(x, y, (x + y) % 4 == 0 ? 1 : 0);
        TIconPNGEncoder encoder;
        const QByteArray png = Encode(encoder, &c.color, c.withMask ? &mask : nullptr);

        QImage expected(c.color.Width(), c.color.Height(), QImage::Format_ARGB32);
        for (int y = 0; y < expected.height(); ++y)
            for (int x = 0; x < expected.width(); ++x) {
                const bool transparent = c.withMask ? mask.PixelIndex(x, y) == 1 : false;
                const int alpha = c.withMask ? (transparent ? 0 : 255) : c.color.PixelAlpha(x, y);
                expected.setPixel(x, y, ColorToQRgb(c.color.Pixel(x, y), alpha));
            }

        QString why;
        EXPECT_TRUE(SamePixels(LoadPng(png).ToQImage(), expected, why)) << "libpng: " << why.toStdString();
        EXPECT_TRUE(SamePixels(QImage::fromData(png, "PNG"), expected, why)) << "QImage: " << why.toStdString();

        QByteArray ico;
        Put16(ico, 0);
        Put16(ico, 1);
        Put16(ico, 1);
        ico.append(char(c.color.Width())).append(char(c.color.Height())).append('\0').append('\0');
        Put16(ico, 1);
        Put16(ico, 32);
        Put32(ico, uint32_t(png.size()));
        Put32(ico, 22);
        ico.append(png);
        const QString icoPath = QDir(tmp.path()).filePath(QString::fromLatin1(c.name) + ".ico");
        const QString outDir = QDir(tmp.path()).filePath(QString::fromLatin1(c.name));
        QDir().mkpath(outDir);
        QFile f(icoPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ico);
        f.close();
        const TPeerToolResult run = RunPeerTool(icotool, {"-x", "-o", outDir, icoPath});
        ASSERT_TRUE(run.Ok()) << run.Describe().toStdString();
        const QStringList out = QDir(outDir).entryList({"*.png"}, QDir::Files);
        ASSERT_EQ(out.size(), 1) << out.join(' ').toStdString();
        EXPECT_TRUE(SamePixels(QImage(QDir(outDir).filePath(out.first())), expected, why))
            << "icotool: " << why.toStdString();
    }
}

} // namespace
