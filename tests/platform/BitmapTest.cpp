#include "platform/Bitmap.h"
#include "platform/BinaryReader.h"
#include "platform/WineModules.h"
#include "platform/Streams.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QtEndian>
#include "platform/ByteBuilder.h"

#include <gtest/gtest.h>

#include <functional>

// The cases below name only the fields of a bitmap file that matter to them.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

// ---- a builder of bitmap files ----


// Stored rows: each value is an index (up to 8 bits), a 16-bit word, 0xRRGGBB (24) or 0xAARRGGBB (32);
// rows are given top-down and written bottom-up unless topDown.
QByteArray PackRows(int bits, const std::vector<std::vector<uint32_t>>& rows, bool topDown = false)
{
    QByteArray out;
    const int n = int(rows.size());
    for (int i = 0; i < n; ++i) {
        const auto& row = rows[size_t(topDown ? i : n - 1 - i)];
        QByteArray r;
        if (bits < 8) {
            r.fill('\0', qsizetype((row.size() * size_t(bits) + 7) / 8));
            for (size_t x = 0; x < row.size(); ++x) {
                const int shift = 8 - bits - int(x * size_t(bits) % 8);
                r[qsizetype(x * size_t(bits) / 8)] = char(uint8_t(r[qsizetype(x * size_t(bits) / 8)]) | (row[x] << shift));
            }
        } else {
            for (const uint32_t v : row) {
                if (bits == 8) r.append(char(v));
                if (bits == 16) Add16(r, v);
                if (bits >= 24) r.append(char(v)).append(char(v >> 8)).append(char(v >> 16));
                if (bits == 32) r.append(char(v >> 24));
            }
        }
        while (r.size() % 4) r.append('\0');
        out += r;
    }
    return out;
}

struct TBmp {
    uint32_t HeaderSize = 40;
    int32_t Width = 0;
    int32_t Height = 0; // negative: top-down
    uint16_t Bits = 24;
    uint32_t Compression = BI_RGB;
    uint32_t ClrUsed = 0;
    uint32_t SizeImage = 0;
    std::vector<uint32_t> Masks; // inside a 52+ header, else after the 40-byte one
    std::vector<TColor> Palette;
    QByteArray Pixels;
    QByteArray Gap;        // bytes between the tables and the pixels
    int64_t OffBits = -1;  // -1: where the pixels are
    uint32_t CSType = 0x73524742;

    QByteArray Header() const
    {
        QByteArray h;
        Add32(h, HeaderSize);
        if (HeaderSize == 12) {
            Add16(h, uint32_t(Width));
            Add16(h, uint32_t(Height));
            Add16(h, 1);
            Add16(h, Bits);
            return h;
        }
        Add32(h, uint32_t(Width));
        Add32(h, uint32_t(Height));
        Add16(h, 1);
        Add16(h, Bits);
        Add32(h, Compression);
        Add32(h, SizeImage);
        Add32(h, 2835);
        Add32(h, 2835);
        // A short palette is counted; a full one left at 0.
        Add32(h, ClrUsed ? ClrUsed : Bits <= 8 && Palette.size() < size_t(1) << Bits ? uint32_t(Palette.size()) : 0);
        Add32(h, 0);
        if (HeaderSize >= 52 && HeaderSize != 64)
            for (size_t i = 0; i < (HeaderSize >= 56 ? 4u : 3u); ++i) Add32(h, i < Masks.size() ? Masks[i] : 0);
        if (HeaderSize >= 108) {
            Add32(h, CSType);
            while (h.size() < qsizetype(HeaderSize)) h.append('\x11'); // end points, gamma... kept as they are
            if (HeaderSize == 124) {
                QByteArray tail;
                Add32(tail, 4);          // intent
                Add32(tail, CSType == 0x4D424544 ? 124 : 0); // profile data
                Add32(tail, CSType == 0x4D424544 ? 8 : 0);   // profile size
                Add32(tail, 0);
                h.replace(108, 16, tail);
            }
        }
        h.resize(qsizetype(HeaderSize), '\0');
        return h;
    }

    QByteArray Bytes() const
    {
        QByteArray body = Header();
        if (HeaderSize == 40)
            for (const uint32_t m : Masks) Add32(body, m);
        for (const TColor c : Palette) {
            body.append(char(GetBValue(c))).append(char(GetGValue(c))).append(char(GetRValue(c)));
            if (HeaderSize != 12) body.append('\0');
        }
        body += Gap;
        QByteArray file("BM");
        Add32(file, uint32_t(14 + body.size() + Pixels.size()));
        Add32(file, 0);
        Add32(file, uint32_t(OffBits >= 0 ? OffBits : 14 + body.size()));
        return file + body + Pixels;
    }
};

TBitmap Load(const QByteArray& bytes)
{
    TBytesStream stream(bytes);
    TBitmap bitmap;
    bitmap.LoadFromStream(stream);
    return bitmap;
}

QByteArray Save(const TBitmap& bitmap)
{
    TBytesStream stream;
    bitmap.SaveToStream(stream);
    return stream.Bytes();
}

// Asymmetric colours, so that a red/blue swap shows.
const std::vector<TColor> Colors16 = {
    RGBColor(0x10, 0x80, 0xF0), RGBColor(0xF0, 0x20, 0x30), RGBColor(0x01, 0x02, 0x03), RGBColor(0xFE, 0xFD, 0xFC),
    RGBColor(0x40, 0x00, 0x00), RGBColor(0x00, 0x50, 0x00), RGBColor(0x00, 0x00, 0x60), RGBColor(0x70, 0x71, 0x72),
    RGBColor(0x81, 0x18, 0x01), RGBColor(0x91, 0x19, 0x09), RGBColor(0xA0, 0x0A, 0xAA), RGBColor(0xB0, 0xBB, 0x0B),
    RGBColor(0xC3, 0x3C, 0xCC), RGBColor(0xD0, 0x0D, 0xDD), RGBColor(0xE1, 0x1E, 0x0E), RGBColor(0xFF, 0xFF, 0xFF)};

// A 5 x 3 picture (odd width: rows need padding) in the given depth; values cycle through the colours.
TBmp Sample(int bits, uint32_t headerSize = 40)
{
    TBmp b;
    b.HeaderSize = headerSize;
    b.Width = 5;
    b.Height = 3;
    b.Bits = uint16_t(bits);
    std::vector<std::vector<uint32_t>> rows(3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const int i = (x + y * 5) % 16;
            if (bits <= 8) {
                rows[size_t(y)].push_back(uint32_t(i % (1 << bits)));
            } else {
                const TColor c = Colors16[size_t(i)];
                if (bits == 16)
                    rows[size_t(y)].push_back(uint32_t(((GetRValue(c) >> 3) << 10) | ((GetGValue(c) >> 3) << 5) | (GetBValue(c) >> 3)));
                else
                    rows[size_t(y)].push_back(uint32_t((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c)) |
                                             (bits == 32 ? uint32_t(0x20 * (x + 1)) << 24 : 0));
            }
        }
    if (bits <= 8) b.Palette.assign(Colors16.begin(), Colors16.begin() + std::min(16, 1 << bits));
    if (bits == 8 && headerSize != 12) b.ClrUsed = 16;
    if (bits == 8 && headerSize == 12) { // a core header has no colour count: the table is full
        const TColorArray rest = DefaultPalette(8);
        b.Palette.insert(b.Palette.end(), rest.begin() + 16, rest.end());
    }
    b.Pixels = PackRows(bits, rows);
    return b;
}

QImage ViaQImage(const QByteArray& bytes) { return QImage::fromData(bytes, "BMP").convertToFormat(QImage::Format_ARGB32); }

std::vector<QRgb> PixelsOf(const QImage& image)
{
    std::vector<QRgb> out;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) out.push_back(image.pixel(x, y));
    return out;
}

std::vector<TColor> ColorsOf(const TBitmap& b)
{
    std::vector<TColor> out;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) out.push_back(b.Pixel(x, y));
    return out;
}

// ---- reading ----

TEST(Bitmap, EveryPlainDepthAndHeaderVersionReadsLikeQImage)
{
    struct Case {
        int Bits;
        uint32_t HeaderSize;
        TPixelFormat Format;
    };
    const Case cases[] = {
        {1, 12, pf1bit},  {4, 12, pf4bit},   {8, 12, pf8bit},   {24, 12, pf24bit}, {1, 40, pf1bit},
        {4, 40, pf4bit},  {8, 40, pf8bit},   {16, 40, pf15bit}, {24, 40, pf24bit}, {1, 108, pf1bit},
        {8, 108, pf8bit}, {24, 108, pf24bit}, {4, 124, pf4bit}, {16, 124, pf15bit}, {24, 124, pf24bit},
    };
    for (const Case& c : cases) {
        const QByteArray bytes = Sample(c.Bits, c.HeaderSize).Bytes();
        const TBitmap bitmap = Load(bytes);
        const std::string name = std::to_string(c.Bits) + " bits, header " + std::to_string(c.HeaderSize);
        EXPECT_EQ(bitmap.PixelFormat(), c.Format) << name;
        EXPECT_EQ(bitmap.Info().HeaderSize, c.HeaderSize) << name;
        const QImage expected = ViaQImage(bytes);
        ASSERT_FALSE(expected.isNull()) << name;
        EXPECT_EQ(PixelsOf(bitmap.ToQImage()), PixelsOf(expected)) << name;
    }
    // One pixel by hand: the first of the 24-bit sample is red 0x10, green 0x80, blue 0xF0.
    EXPECT_EQ(Load(Sample(24).Bytes()).Pixel(0, 0), RGBColor(0x10, 0x80, 0xF0));
    EXPECT_EQ(Load(Sample(8).Bytes()).Palette().size(), 16u);
}

// What QImage reads differently or not at all: the expected pixels are worked out by hand.
TEST(Bitmap, AlphaBitfieldsRleTopDownAndOddTablesDecodeAsComputed)
{
    struct Case {
        const char* Name;
        std::function<TBmp()> Make;
        TPixelFormat Format;
        std::vector<TColor> Colors; // top-down
        std::vector<int> Alpha;     // 32 bits only; empty: not checked
        TAlphaFormat AlphaFormat = afIgnored;
    };
    const TColor a = RGBColor(0x10, 0x80, 0xF0), b = RGBColor(0xF0, 0x20, 0x30), k = clBlack;
    const Case cases[] = {
        {"32-bit BI_RGB with alpha",
         [=] {
             TBmp m{.Width = 2, .Height = 1, .Bits = 32};
             m.Pixels = PackRows(32, {{0x801080F0, 0x00F02030}});
             return m;
         },
         pf32bit, {a, b}, {0x80, 0x00}, afDefined},
        {"32-bit BI_RGB, alpha all zero",
         [=] {
             TBmp m{.Width = 2, .Height = 1, .Bits = 32};
             m.Pixels = PackRows(32, {{0x001080F0, 0x00F02030}});
             return m;
         },
         pf32bit, {a, b}, {0, 0}, afIgnored},
        {"24-bit top-down",
         [=] {
             TBmp m{.Width = 1, .Height = -2, .Bits = 24};
             m.Pixels = PackRows(24, {{0x1080F0}, {0xF02030}}, true);
             return m;
         },
         pf24bit, {a, b}},
        {"V5 32-bit bitfields with alpha",
         [=] {
             TBmp m{.HeaderSize = 124, .Width = 2, .Height = 1, .Bits = 32, .Compression = BI_BITFIELDS};
             m.Masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
             m.Pixels = PackRows(32, {{0xFF1080F0, 0x40F02030}});
             return m;
         },
         pf32bit, {a, b}, {0xFF, 0x40}, afDefined},
        {"32-bit bitfields in another order, without alpha",
         [=] {
             TBmp m{.Width = 2, .Height = 1, .Bits = 32, .Compression = BI_BITFIELDS};
             m.Masks = {0x000000FF, 0x0000FF00, 0x00FF0000}; // R in the low byte
             m.Pixels = PackRows(32, {{0x00F08010, 0x003020F0}});
             return m;
         },
         pf24bit, {a, b}},
        {"16-bit 5-6-5 bitfields",
         [=] {
             TBmp m{.Width = 2, .Height = 1, .Bits = 16, .Compression = BI_BITFIELDS};
             m.Masks = {0xF800, 0x07E0, 0x001F};
             m.Pixels = PackRows(16, {{0xF800, 0x07FF}});
             return m;
         },
         pf16bit, {RGBColor(0xF8, 0, 0), RGBColor(0, 0xFC, 0xF8)}},
        {"16-bit 5-5-5 bitfields",
         [=] {
             TBmp m{.Width = 2, .Height = 1, .Bits = 16, .Compression = BI_BITFIELDS};
             m.Masks = {0x7C00, 0x03E0, 0x001F};
             m.Pixels = PackRows(16, {{0x7C00, 0x0010}});
             return m;
         },
         pf15bit, {RGBColor(0xF8, 0, 0), RGBColor(0, 0, 0x80)}},
        {"V3 header: 16-bit 1-5-5-5 with its alpha mask inside",
         [=] {
             TBmp m{.HeaderSize = 56, .Width = 2, .Height = 1, .Bits = 16, .Compression = BI_BITFIELDS};
             m.Masks = {0x7C00, 0x03E0, 0x001F, 0x8000};
             m.Pixels = PackRows(16, {{0xFC00, 0x001F}});
             return m;
         },
         pf32bit, {RGBColor(0xFF, 0, 0), RGBColor(0, 0, 0xFF)}, {0xFF, 0}, afDefined},
        {"16-bit 4-4-4-4 alpha bitfields",
         [=] {
             TBmp m{.Width = 2, .Height = 1, .Bits = 16, .Compression = BI_ALPHABITFIELDS};
             m.Masks = {0x0F00, 0x00F0, 0x000F, 0xF000};
             m.Pixels = PackRows(16, {{0x8F10, 0x0000}});
             return m;
         },
         pf32bit, {RGBColor(0xFF, 0x11, 0x00), k}, {0x88, 0}, afDefined},
        {"8-bit RLE with delta, end of line and odd absolute run",
         [=] {
             TBmp m{.Width = 4, .Height = 3, .Bits = 8, .Compression = BI_RLE8, .Palette = {k, a, b}};
             // Bottom row: 2 x index 1, then end of line; middle: delta (1, 1) to the top row;
             // top row from x 1: absolute run 2 1 2 (padded), end of bitmap.
             m.Pixels = QByteArray::fromHex("0201 0000 0002 0101 0003 020102 00 0001");
             return m;
         },
         pf8bit, {k, b, a, b, k, k, k, k, a, a, k, k}},
        {"4-bit RLE",
         [=] {
             TBmp m{.Width = 5, .Height = 2, .Bits = 4, .Compression = BI_RLE4, .Palette = {k, a, b}};
             // Bottom row: 5 pixels alternating 1 2; top row: absolute run of 3 (2 1 2), end of bitmap.
             m.Pixels = QByteArray::fromHex("0512 0000 0003 2120 0001");
             return m;
         },
         pf4bit, {b, a, b, k, k, a, b, a, b, a}},
        {"RLE without end of bitmap",
         [=] {
             TBmp m{.Width = 2, .Height = 1, .Bits = 8, .Compression = BI_RLE8, .Palette = {k, a}};
             m.Pixels = QByteArray::fromHex("0201");
             return m;
         },
         pf8bit, {a, a}},
        {"core header 8 bits with triples",
         [=] {
             TBmp m{.HeaderSize = 12, .Width = 2, .Height = 1, .Bits = 8, .Palette = DefaultPalette(8)};
             m.Palette[7] = a;
             m.Palette[200] = b;
             m.Pixels = PackRows(8, {{7, 200}});
             return m;
         },
         pf8bit, {a, b}},
        {"bfOffBits past the tables is honoured",
         [=] {
             TBmp m{.Width = 1, .Height = 1, .Bits = 24};
             m.Gap = QByteArray(6, '\x55');
             m.OffBits = 14 + 40 + 6;
             m.Pixels = PackRows(24, {{0x1080F0}});
             return m;
         },
         pf24bit, {a}},
        {"bfOffBits inside the palette is ignored",
         [=] {
             TBmp m{.Width = 2, .Height = 1, .Bits = 1, .Palette = {a, b}};
             m.OffBits = 14 + 40;
             m.Pixels = PackRows(1, {{1, 0}});
             return m;
         },
         pf1bit, {b, a}},
        {"biClrUsed beyond the depth: table skipped, palette limited",
         [=] {
             TBmp m{.Width = 2, .Height = 1, .Bits = 1, .ClrUsed = 3, .Palette = {a, b, k}};
             m.Pixels = PackRows(1, {{1, 0}});
             return m;
         },
         pf1bit, {b, a}},
        {"24-bit with an optimisation colour table",
         [=] {
             TBmp m{.Width = 1, .Height = 1, .Bits = 24, .ClrUsed = 2, .Palette = {k, k}};
             m.Pixels = PackRows(24, {{0xF02030}});
             return m;
         },
         pf24bit, {b}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const QByteArray bytes = c.Make().Bytes();
        TBitmap bitmap;
        ASSERT_NO_THROW(bitmap = Load(bytes));
        EXPECT_EQ(bitmap.PixelFormat(), c.Format);
        EXPECT_EQ(ColorsOf(bitmap), c.Colors);
        if (!c.Alpha.empty()) {
            EXPECT_EQ(bitmap.AlphaFormat(), c.AlphaFormat);
            const QImage shown = bitmap.ToQImage();
            for (int i = 0; i < int(c.Alpha.size()); ++i) {
                EXPECT_EQ(bitmap.PixelAlpha(i, 0), c.Alpha[size_t(i)]);
                // All-zero alpha shows opaque.
                EXPECT_EQ(qAlpha(shown.pixel(i, 0)), c.AlphaFormat == afDefined ? c.Alpha[size_t(i)] : 255);
            }
        }
        EXPECT_EQ(Save(bitmap), bytes) << "an untouched bitmap writes the bytes it was read from";
    }
    EXPECT_EQ(Load(TBmp{.Width = 2, .Height = 1, .Bits = 4, .ClrUsed = 3, .Palette = {a, b, k},
                        .Pixels = PackRows(4, {{2, 1}})}.Bytes())
                  .Palette()
                  .size(),
              3u);
}

TEST(Bitmap, DamagedDataRaisesACleanErrorAndLeavesTheBitmapEmpty)
{
    struct Case {
        const char* Name;
        std::function<QByteArray()> Make;
        const char* Message; // part of the message; empty: any
    };
    auto rle8 = [](const char* hex, int width = 4, int height = 2) {
        TBmp m{.Width = width, .Height = height, .Bits = 8, .Compression = BI_RLE8, .Palette = {clBlack, clWhite}};
        m.Pixels = QByteArray::fromHex(hex);
        return m.Bytes();
    };
    auto withMasks = [](std::vector<uint32_t> masks, uint16_t bits = 16) {
        TBmp m{.Width = 1, .Height = 1, .Bits = bits, .Compression = BI_BITFIELDS, .Masks = masks};
        m.Pixels = QByteArray(4, '\0');
        return m.Bytes();
    };
    const Case cases[] = {
        {"not a bitmap", [=] { return QByteArray("XM").append(60, '\0'); }, "Bitmap image is not valid"},
        {"truncated file header", [=] { return QByteArray("BM\0\0", 4); }, "file header"},
        {"truncated info header", [=] { return Sample(24).Bytes().left(30); }, "info header at offset 14"},
        {"unknown header size", [=] { return Sample(24).Bytes().replace(14, 1, "\x20"); }, "unsupported size of 32"},
        {"pixels cut short", [=] { return Sample(24).Bytes().chopped(3); }, "bitmap bits"},
        {"huge width and height",
         [=] { return TBmp{.Width = 0x7FFFFFFF, .Height = 0x7FFFFFFF, .Bits = 32}.Bytes(); }, "bitmap bits"},
        {"huge height, zero width", [=] { return TBmp{.Width = 0, .Height = 0x7FFFFFFF, .Bits = 24}.Bytes(); }, "too large"},
        {"most negative height", [=] { return TBmp{.Width = 1, .Height = INT32_MIN, .Bits = 24}.Bytes(); }, "height"},
        {"negative width", [=] { return TBmp{.Width = -4, .Height = 1, .Bits = 24}.Bytes(); }, "width"},
        {"huge biClrUsed",
         [=] { return TBmp{.Width = 1, .Height = 1, .Bits = 8, .ClrUsed = 0xFFFFFFFF, .Pixels = QByteArray(4, 0)}.Bytes(); },
         "colour table"},
        {"palette cut short", [=] { return Sample(8).Bytes().left(14 + 40 + 20); }, "colour table"},
        {"2 bits per pixel", [=] { return TBmp{.Width = 1, .Height = 1, .Bits = 2}.Bytes(); }, "unsupported compression"},
        {"JPEG inside", [=] { return TBmp{.Width = 1, .Height = 1, .Bits = 0, .Compression = BI_JPEG}.Bytes(); }, "unsupported compression"},
        {"RLE8 at 4 bits", [=] { return TBmp{.Width = 1, .Height = 1, .Bits = 4, .Compression = BI_RLE8}.Bytes(); }, "unsupported compression"},
        {"bitfields in an OS/2 header",
         [=] { return TBmp{.HeaderSize = 64, .Width = 1, .Height = 1, .Bits = 16, .Compression = BI_BITFIELDS}.Bytes(); },
         "unsupported compression"},
        {"RLE top-down",
         [=] { return TBmp{.Width = 1, .Height = -1, .Bits = 8, .Compression = BI_RLE8, .Pixels = QByteArray("\0\1", 2)}.Bytes(); }, "top-down"},
        {"RLE run past the row", [=] { return rle8("0501 0001"); }, "past the end of the row"},
        {"RLE absolute run past the row", [=] { return rle8("0005 0102030405 00"); }, "past the end of the row"},
        {"RLE absolute run past the data", [=] { return rle8("0006 0102"); }, "absolute run"},
        {"RLE past the last row", [=] { return rle8("0401 0000 0401 0000 0101"); }, "past the last row"},
        {"RLE delta past the bitmap", [=] { return rle8("0002 0500"); }, "delta"},
        {"RLE delta cut short", [=] { return rle8("0002 01"); }, "delta"},
        {"RLE huge size in a few bytes", [=] { return rle8("0001", 0x100000, 0x100000); }, "too large"},
        {"masks overlap", [=] { return withMasks({0xF800, 0x0FE0, 0x001F}); }, "masks"},
        {"mask not contiguous", [=] { return withMasks({0xF000, 0x07E0, 0x001F | 0x0200}); }, "masks"},
        {"mask zero", [=] { return withMasks({0xF800, 0, 0x001F}); }, "masks"},
        {"mask wider than the pixel", [=] { return withMasks({0xF8000, 0x07E0, 0x001F}); }, "masks"},
        {"masks cut short", [=] { return withMasks({0xF800}); }, "masks"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TBitmap bitmap = Load(Sample(8).Bytes()); // what it held before must not survive
        TBytesStream stream(c.Make());
        try {
            bitmap.LoadFromStream(stream);
            ADD_FAILURE() << "no error";
        } catch (const EInvalidGraphic& e) {
            EXPECT_TRUE(e.Message().contains(QLatin1String(c.Message))) << e.Message().toStdString();
        } catch (const EBinaryReadError& e) {
            EXPECT_TRUE(e.Message().contains(QLatin1String(c.Message), Qt::CaseInsensitive)) << e.Message().toStdString();
        }
        EXPECT_TRUE(bitmap.Empty());
        EXPECT_FALSE(bitmap.Untouched());
    }
}

// ---- writing ----

TEST(Bitmap, ChangedBitmapsSaveAndReloadWithTheirFormatPaletteAndPixels)
{
    struct Case {
        const char* Name;
        QByteArray Bytes;
        uint32_t SavedHeader;
        bool QImageReads; // and shows the same colours
    };
    TBmp rle{.Width = 4, .Height = 3, .Bits = 8, .Compression = BI_RLE8, .Palette = Colors16};
    rle.Pixels = QByteArray::fromHex("0201 0000 0002 0101 0003 020102 00 0001");
    TBmp bf32 = Sample(32, 124);
    bf32.Compression = BI_BITFIELDS;
    bf32.Masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    TBmp bf565{.Width = 3, .Height = 2, .Bits = 16, .Compression = BI_BITFIELDS, .Masks = {0xF800, 0x07E0, 0x001F}};
    bf565.Pixels = PackRows(16, {{0xF800, 0x07E0, 0x001F}, {0x1234, 0xFFFF, 0x8000}});
    TBmp short4 = Sample(4, 40);
    short4.Palette.resize(5);
    short4.ClrUsed = 5;
    short4.Pixels = PackRows(4, {{0, 1, 2, 3, 4}, {4, 3, 2, 1, 0}, {1, 1, 1, 1, 1}});
    TBmp topDown = Sample(24, 108);
    topDown.Height = -3;
    const Case cases[] = {
        {"1 bit core", Sample(1, 12).Bytes(), 12, true},
        {"4 bits core", Sample(4, 12).Bytes(), 12, true},
        {"8 bits core", Sample(8, 12).Bytes(), 12, true},
        {"24 bits core", Sample(24, 12).Bytes(), 12, true},
        {"1 bit", Sample(1).Bytes(), 40, true},
        {"4 bits, 5 colours", short4.Bytes(), 40, true},
        {"8 bits, 16 colours", Sample(8).Bytes(), 40, true},
        {"15 bits", Sample(16).Bytes(), 40, true},
        {"16 bits 5-6-5", bf565.Bytes(), 40, true},
        {"24 bits V4", Sample(24, 108).Bytes(), 108, true},
        {"24 bits V4 top-down", topDown.Bytes(), 108, true},
        {"32 bits", Sample(32).Bytes(), 40, false},
        {"32 bits V5 bitfields", bf32.Bytes(), 124, false},
        {"8 bits V2", Sample(8, 52).Bytes(), 52, false},
        {"RLE8 becomes BI_RGB", rle.Bytes(), 40, true},
        {"OS/2 header becomes 40 bytes", Sample(8, 64).Bytes(), 40, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TBitmap bitmap = Load(c.Bytes);
        const std::vector<TColor> colors = ColorsOf(bitmap);
        std::vector<int> alpha;
        if (bitmap.PixelFormat() == pf32bit)
            for (int x = 0; x < bitmap.Width(); ++x) alpha.push_back(bitmap.PixelAlpha(x, 0));
        bitmap.ScanLine(0); // a writable row: the source bytes are gone
        ASSERT_FALSE(bitmap.Untouched());
        const QByteArray saved = Save(bitmap);
        EXPECT_EQ(bitmap.FileSize(), saved.size());
        EXPECT_EQ(bitmap.SaveToDIB(), saved.mid(14));
        const TBitmap again = Load(saved);
        EXPECT_EQ(again.PixelFormat(), bitmap.PixelFormat());
        EXPECT_EQ(again.Palette(), bitmap.Palette());
        EXPECT_EQ(ColorsOf(again), colors);
        EXPECT_EQ(again.Info().HeaderSize, c.SavedHeader);
        EXPECT_EQ(again.Info().TopDown, bitmap.Info().TopDown);
        EXPECT_EQ(Save(again), saved);
        for (int x = 0; x < int(alpha.size()); ++x) {
            EXPECT_EQ(again.PixelAlpha(x, 0), alpha[size_t(x)]);
        }
        if (again.PixelFormat() == pf32bit) {
            EXPECT_EQ(again.AlphaFormat(), bitmap.AlphaFormat());
        }
        // The file header and table sizes agree with the data.
        const TBinaryReader r(saved);
        EXPECT_EQ(r.U32(2), uint32_t(saved.size()));
        if (c.QImageReads) {
            EXPECT_EQ(PixelsOf(ViaQImage(saved)), PixelsOf(again.ToQImage()));
        }
    }
    // The changed 32-bit bitfields bitmap stays bitfields; 5-6-5 is written with its masks.
    TBitmap b = Load(bf32.Bytes());
    b.SetPixel(0, 0, clWhite);
    EXPECT_EQ(Load(Save(b)).Info().Compression, uint32_t(BI_BITFIELDS));
    EXPECT_EQ(Load(Save(b)).Info().Masks[3], 0xFF000000u);
    TBitmap rgb = Load(Sample(24).Bytes());
    rgb.SetPixelFormat(pf16bit);
    EXPECT_EQ(Load(Save(rgb)).Info().Compression, uint32_t(BI_BITFIELDS));
    EXPECT_EQ(Load(Save(rgb)).PixelFormat(), pf16bit);
}

TEST(Bitmap, AChangedV5BitmapDropsItsProfileCleanly)
{
    TBmp m = Sample(24, 124);
    m.CSType = 0x4D424544; // embedded profile, which a changed save does not carry
    m.Gap = QByteArray(8, '\x77');
    TBitmap bitmap = Load(m.Bytes());
    bitmap.SetPixel(0, 0, clWhite);
    const QByteArray saved = Save(bitmap);
    const TBinaryReader r(saved);
    EXPECT_EQ(r.U32(14 + 56), 0x73524742u); // sRGB
    EXPECT_EQ(r.U32(14 + 112), 0u);
    EXPECT_EQ(r.U32(14 + 116), 0u);
    EXPECT_EQ(r.U32(14 + 108), 4u); // the intent stays
    EXPECT_EQ(r.U32(10), 14u + 124u);
    EXPECT_EQ(Load(saved).Pixel(0, 0), clWhite);
}

TEST(Bitmap, NewBitmapsOfEveryFormatSaveAndReload)
{
    for (const TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
        SCOPED_TRACE(int(format));
        TBitmap bitmap(7, 5, format);
        EXPECT_EQ(bitmap.Palette(), DefaultPalette(format == pf1bit ? 1 : format == pf4bit ? 4 : format == pf8bit ? 8 : 0));
        bitmap.SetPixel(1, 2, RGBColor(0xFF, 0, 0));
        bitmap.SetPixel(6, 4, clWhite);
        const TBitmap again = Load(Save(bitmap));
        EXPECT_EQ(again.PixelFormat(), format);
        EXPECT_EQ(ColorsOf(again), ColorsOf(bitmap));
        const TColor red = format == pf1bit ? clBlack : format == pf15bit || format == pf16bit ? RGBColor(0xF8, 0, 0) : RGBColor(0xFF, 0, 0);
        EXPECT_EQ(again.Pixel(1, 2), red);
        EXPECT_EQ(again.Pixel(0, 0), clBlack);
    }
}

// ---- pixels and formats ----

TEST(Bitmap, EveryChangeDropsTheBytesItWasReadFrom)
{
    const std::vector<std::pair<const char*, std::function<void(TBitmap&)>>> changes = {
        {"ScanLine", [](TBitmap& b) { b.ScanLine(0); }},
        {"SetPixel", [](TBitmap& b) { b.SetPixel(0, 0, clWhite); }},
        {"SetPixelIndex", [](TBitmap& b) { b.SetPixelIndex(0, 0, 1); }},
        {"SetPalette", [](TBitmap& b) { b.SetPalette({clWhite}); }},
        {"SetSize", [](TBitmap& b) { b.SetSize(2, 2); }},
        {"SetWidth", [](TBitmap& b) { b.SetWidth(9); }},
        {"SetPixelFormat", [](TBitmap& b) { b.SetPixelFormat(pf24bit); }},
        {"Fill", [](TBitmap& b) { b.Fill(clWhite); }},
        {"CopyPixels", [](TBitmap& b) { b.CopyPixels(TBitmap(b.Width(), b.Height())); }},
    };
    const QByteArray bytes = Sample(8).Bytes();
    for (const auto& [name, change] : changes) {
        TBitmap bitmap = Load(bytes);
        ASSERT_TRUE(bitmap.Untouched());
        EXPECT_EQ(bitmap.FileSize(), bytes.size());
        change(bitmap);
        EXPECT_FALSE(bitmap.Untouched()) << name;
    }
    TBitmap alpha = Load(Sample(32).Bytes());
    alpha.SetPixelAlpha(0, 0, 1);
    EXPECT_FALSE(alpha.Untouched());
}

TEST(Bitmap, FormatChangesAreExactUpwardAndNearestDownward)
{
    TBitmap source = Load(Sample(24).Bytes());
    const std::vector<TColor> colors = ColorsOf(source);

    TBitmap wide = source;
    wide.SetPixelFormat(pf32bit);
    EXPECT_EQ(ColorsOf(wide), colors);
    EXPECT_EQ(wide.PixelAlpha(4, 2), 255);

    TBitmap mono = source;
    mono.SetPixelFormat(pf1bit);
    EXPECT_EQ(mono.Palette(), DefaultPalette(1));
    EXPECT_EQ(mono.Pixel(0, 0), clWhite) << "0x1080F0 is nearer white";
    EXPECT_EQ(mono.Pixel(2, 0), clBlack) << "0x010203 is black";

    // Thousands of colours through the conversion's cache of nearest entries.
    TBitmap many(97, 61, pf24bit);
    for (int y = 0; y < 61; ++y)
        for (int x = 0; x < 97; ++x) many.SetPixel(x, y, RGBColor(x * 37 + y, y * 53 + x * 3, (x * y) & 0xFF));
    for (const TPixelFormat format : {pf4bit, pf8bit}) {
        TBitmap reduced = many;
        reduced.SetPixelFormat(format);
        const TColorArray palette = DefaultPalette(format == pf4bit ? 4 : 8);
        int wrong = 0;
        for (int y = 0; y < 61; ++y)
            for (int x = 0; x < 97; ++x) wrong += reduced.PixelIndex(x, y) != NearestPaletteIndex(palette, many.Pixel(x, y));
        EXPECT_EQ(wrong, 0) << int(format);
    }

    TBitmap up = Load(Sample(1).Bytes());
    up.SetPixelFormat(pf8bit);
    EXPECT_EQ(up.Palette(), Load(Sample(1).Bytes()).Palette());
    EXPECT_EQ(up.PixelIndex(1, 0), 1);
    EXPECT_EQ(ColorsOf(up), ColorsOf(Load(Sample(1).Bytes())));

    // 5-6-5 keeps the top bits of each channel.
    TBitmap hi(1, 1, pf24bit);
    hi.SetPixel(0, 0, RGBColor(0x10, 0x80, 0xF0));
    hi.SetPixelFormat(pf16bit);
    EXPECT_EQ(hi.Pixel(0, 0), RGBColor(0x10, 0x80, 0xF0));
    hi.SetPixel(0, 0, RGBColor(0x17, 0x83, 0xF7));
    EXPECT_EQ(hi.Pixel(0, 0), RGBColor(0x10, 0x80, 0xF0));

    // The 256-colour palette holds the VGA colours first and no more than 256 entries.
    const TColorArray halftone = DefaultPalette(8);
    EXPECT_EQ(halftone.size(), 256u);
    const TColorArray vgaColors = DefaultPalette(4);
    EXPECT_TRUE(std::equal(vgaColors.begin(), vgaColors.end(), halftone.begin()));
    EXPECT_EQ(DefaultPalette(4)[9], RGBColor(255, 0, 0));
    EXPECT_EQ(NearestPaletteIndex({clWhite, clBlack, clBlack}, RGBColor(1, 1, 1)), 1) << "the first of equals";
}

TEST(Bitmap, CopyPixelsAndResizeKeepWhatTheyShould)
{
    TBitmap target(5, 3, pf8bit);
    target.SetPalette({clBlack, RGBColor(0xF0, 0x20, 0x30), RGBColor(0x10, 0x80, 0xF0)});
    target.CopyPixels(Load(Sample(24).Bytes()));
    EXPECT_EQ(target.Pixel(0, 0), RGBColor(0x10, 0x80, 0xF0));
    EXPECT_EQ(target.Pixel(1, 0), RGBColor(0xF0, 0x20, 0x30));
    EXPECT_EQ(target.Pixel(2, 0), clBlack);

    TBitmap packed = Load(Sample(4).Bytes());
    const TBitmap before = packed;
    packed.SetSize(3, 4);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(packed.PixelIndex(x, y), before.PixelIndex(x, y));
    for (int x = 0; x < 3; ++x) EXPECT_EQ(packed.PixelIndex(x, 3), 0);
    EXPECT_EQ(packed.RowSize(), 4);
}

TEST(Bitmap, QImageConversionAppliesAlphaAndTransparency)
{
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(0x10, 0x80, 0xF0, 0x40));
    image.setPixel(1, 0, qRgba(0xF0, 0x20, 0x30, 0xFF));
    const TBitmap withAlpha = TBitmap::FromQImage(image);
    EXPECT_EQ(withAlpha.PixelFormat(), pf32bit);
    EXPECT_EQ(withAlpha.AlphaFormat(), afDefined);
    EXPECT_EQ(withAlpha.Pixel(0, 0), RGBColor(0x10, 0x80, 0xF0));
    EXPECT_EQ(withAlpha.ToQImage().pixel(0, 0), qRgba(0x10, 0x80, 0xF0, 0x40));

    const TBitmap opaque = TBitmap::FromQImage(image.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(opaque.PixelFormat(), pf24bit);
    EXPECT_EQ(opaque.ToQImage().pixel(1, 0), qRgb(0xF0, 0x20, 0x30));

    TBitmap keyed = Load(Sample(24).Bytes());
    keyed.SetTransparent(true);
    EXPECT_EQ(keyed.TransparentColor(), keyed.Pixel(0, 2)) << "bottom-left pixel";
    keyed.SetTransparentColor(RGBColor(0xF0, 0x20, 0x30));
    EXPECT_EQ(keyed.TransparentMode(), tmFixed);
    const QImage shown = keyed.ToQImage();
    EXPECT_EQ(qAlpha(shown.pixel(1, 0)), 0);
    EXPECT_EQ(qAlpha(shown.pixel(0, 0)), 255);

    TBitmap premultiplied(1, 1, pf32bit);
    premultiplied.SetPixel(0, 0, RGBColor(0x40, 0x20, 0x10));
    premultiplied.SetPixelAlpha(0, 0, 0x80);
    premultiplied.SetAlphaFormat(afPremultiplied);
    EXPECT_EQ(premultiplied.ToQImage().pixel(0, 0), qRgba(0x80, 0x40, 0x20, 0x80));
}

TEST(Graphics, ColoursConvertBetweenWindowsAndQtOrder)
{
    EXPECT_EQ(ColorToRGB(TColor(0x80000000u + 15)), RGBColor(192, 192, 192)); // button face
    EXPECT_EQ(ColorToRGB(TColor(0x80000000u + 5)), clWhite);                // window
    EXPECT_EQ(ColorToRGB(TColor(0x80000000u + 24)), RGBColor(255, 255, 225)); // tooltip
    EXPECT_EQ(ColorToRGB(TColor(0x80000000u + 2)), RGBColor(0, 0, 128));
    EXPECT_EQ(ColorToRGB(TColor(0xFF000000u + 15)), RGBColor(192, 192, 192)); // clBtnFace as properties hold it
    EXPECT_EQ(ColorToRGB(TColor(0x02F08010)), TColor(0xF08010));
    EXPECT_EQ(ColorToQRgb(RGBColor(0x10, 0x80, 0xF0)), 0xFF1080F0u);
    EXPECT_EQ(ColorToQRgb(RGBColor(0x10, 0x80, 0xF0), 0x20), 0x201080F0u);
    EXPECT_EQ(QRgbToColor(0x801080F0u), RGBColor(0x10, 0x80, 0xF0));
}

TEST(Graphics, DrawStretchesWithoutSmoothing)
{
    TBitmap bitmap(2, 1, pf24bit);
    bitmap.SetPixel(0, 0, RGBColor(0xFF, 0, 0));
    bitmap.SetPixel(1, 0, RGBColor(0, 0, 0xFF));
    QImage canvas(8, 4, QImage::Format_ARGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        bitmap.Draw(painter, QRect(0, 0, 8, 4));
    }
    for (int x = 0; x < 8; ++x) EXPECT_EQ(canvas.pixel(x, 2), x < 4 ? 0xFFFF0000u : 0xFF0000FFu) << x;
}

// ---- real bitmaps ----

// The bitmap file form of RT_BITMAP data, as the bitmap kind builds it.
QByteArray FileFormOf(const QByteArray& dib)
{
    const TBinaryReader r(dib);
    const uint32_t headerSize = r.U32(0);
    int64_t tables = 0;
    if (headerSize == 12) {
        const int bits = r.U16(10);
        tables = bits <= 8 ? 3 * (int64_t(1) << bits) : 0;
    } else {
        const int bits = r.U16(14);
        const uint32_t compression = r.U32(16), used = r.U32(32);
        tables = 4 * (used ? used : bits <= 8 ? int64_t(1) << bits : 0);
        if (headerSize == 40 && compression == BI_BITFIELDS) tables += 12;
        if (headerSize == 40 && compression == BI_ALPHABITFIELDS) tables += 16;
    }
    QByteArray file("BM");
    Add32(file, uint32_t(14 + dib.size()));
    Add32(file, 0);
    Add32(file, uint32_t(14 + headerSize + tables));
    return file + dib;
}

TEST(BitmapInterop, EveryBitmapResourceOfWineModulesLoadsAndSavesBack)
{
    if (!HasWineModules()) GTEST_SKIP() << "no wine modules here";
    int total = 0, comparedWithQImage = 0;
    std::map<std::string, int> kinds;
    for (const auto& [name, resource] : WineResources({2})) {
        ++total;
        const QByteArray bytes = FileFormOf(resource.Data);
        const std::string where = name.toStdString() + " bitmap " + std::to_string(resource.Name.at(1).unicode());
        TBitmap bitmap;
        try {
            bitmap = Load(bytes);
        } catch (const Exception& e) {
            ADD_FAILURE() << where << ": " << e.Message().toStdString();
            continue;
        }
        const TBitmapInfo& info = bitmap.Info();
        ++kinds[std::to_string(info.HeaderSize) + "/" + std::to_string(info.BitCount) + "/" + std::to_string(info.Compression)];
        EXPECT_EQ(Save(bitmap), bytes) << where;
        if (info.BitCount == 32 || info.Compression == BI_BITFIELDS || info.Compression == BI_ALPHABITFIELDS) continue;
        const QImage expected = ViaQImage(bytes);
        if (expected.isNull()) continue;
        ++comparedWithQImage;
        EXPECT_EQ(PixelsOf(bitmap.ToQImage()), PixelsOf(expected)) << where;
    }
    std::string summary;
    for (const auto& [kind, count] : kinds) summary += " " + kind + ":" + std::to_string(count);
    std::cout << "[ wine    ] " << total << " bitmaps loaded and saved back, " << comparedWithQImage
              << " compared with QImage; header/bits/compression:" << summary << std::endl;
    EXPECT_GT(total, 0);
}

} // namespace
