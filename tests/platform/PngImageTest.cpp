// PNG pictures: files written here straight through libpng (rows packed by hand) load with their colour type,
// bit depth, palette, transparency chunk and samples; what we write decodes to the same pixels in Qt and
// icotool; untouched images save byte for byte; damaged files are refused without big allocations.
#include "platform/PngImage.h"
#include "platform/Streams.h"

#include "PeerTools.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <string>
#include <vector>

namespace {

// A PNG as libpng writes it from rows given as the file stores them.
struct TRawPng {
    int Width = 0;
    int Height = 0;
    int BitDepth = 8;
    int ColorType = PNG_COLOR_TYPE_PALETTE;
    bool Interlaced = false;
    std::vector<png_color> Palette;
    std::vector<uint8_t> Alpha;   // tRNS of palette images
    bool HasTrnsColor = false;    // tRNS of grey and RGB images
    png_color_16 TrnsColor{};
    std::vector<std::vector<uint8_t>> Rows;
};

void AppendOut(png_structp png, png_bytep data, size_t size)
{
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), size);
}

QByteArray WriteRaw(const TRawPng& raw)
{
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    for (const auto& row : raw.Rows) rows.push_back(const_cast<png_bytep>(row.data()));
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "libpng could not write the test image";
        return {};
    }
    png_set_write_fn(png, &out, AppendOut, nullptr);
    png_set_IHDR(png, info, raw.Width, raw.Height, raw.BitDepth, raw.ColorType,
                 raw.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!raw.Palette.empty()) png_set_PLTE(png, info, raw.Palette.data(), int(raw.Palette.size()));
    if (!raw.Alpha.empty()) png_set_tRNS(png, info, raw.Alpha.data(), int(raw.Alpha.size()), nullptr);
    if (raw.HasTrnsColor) png_set_tRNS(png, info, nullptr, 0, &raw.TrnsColor);
    png_write_info(png, info);
    if (raw.Interlaced) png_set_interlace_handling(png);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return QByteArray(out.data(), qsizetype(out.size()));
}

// Indices packed most significant bits first, as PNG rows hold them.
std::vector<uint8_t> Pack(const std::vector<int>& indices, int depth)
{
    std::vector<uint8_t> row((indices.size() * depth + 7) / 8, 0);
    for (size_t x = 0; x < indices.size(); ++x) {
        const size_t bit = x * depth;
        row[bit / 8] |= uint8_t(indices[x] << (8 - depth - bit % 8));
    }
    return row;
}

// Asymmetric colours, so that a red/blue swap shows.
png_color PaletteColor(int i) { return png_color{uint8_t(0x10 + i), uint8_t(0x80 ^ i), uint8_t(0xF0 - i)}; }
int IndexAt(int x, int y, int depth) { return (x * 3 + y * 5) % (1 << depth); }

TPngImage Load(const QByteArray& bytes)
{
    TBytesStream stream(bytes);
    TPngImage image;
    image.LoadFromStream(stream);
    return image;
}

QByteArray Save(const TPngImage& image)
{
    TBytesStream stream;
    image.SaveToStream(stream);
    return stream.Bytes();
}

QImage QtDecode(const QByteArray& bytes)
{
    QImage image;
    EXPECT_TRUE(image.loadFromData(bytes, "PNG"));
    return image.convertToFormat(QImage::Format_ARGB32);
}

// Compares straight-alpha pixels; the colour of fully transparent pixels is left out, decoders differ there.
void ExpectSamePixels(const QImage& actual, const QImage& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    ASSERT_EQ(actual.format(), QImage::Format_ARGB32);
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x) {
            const QRgb a = actual.pixel(x, y), e = expected.pixel(x, y);
            if (qAlpha(e) == 0 && qAlpha(a) == 0) continue;
            ASSERT_EQ(a, e) << "pixel " << x << "," << y << std::hex << " got " << a << " expected " << e;
        }
}

TRawPng PalettePng(int depth, int paletteSize, const std::vector<uint8_t>& alpha, bool interlaced)
{
    TRawPng raw;
    raw.Width = 13;
    raw.Height = 7;
    raw.BitDepth = depth;
    raw.Interlaced = interlaced;
    for (int i = 0; i < paletteSize; ++i) raw.Palette.push_back(PaletteColor(i));
    raw.Alpha = alpha;
    for (int y = 0; y < raw.Height; ++y) {
        std::vector<int> indices;
        for (int x = 0; x < raw.Width; ++x) indices.push_back(IndexAt(x, y, depth) % paletteSize);
        raw.Rows.push_back(Pack(indices, depth));
    }
    return raw;
}

void ExpectPalettePng(const TPngImage& image, const TRawPng& raw)
{
    EXPECT_EQ(image.ColorType(), COLOR_PALETTE);
    EXPECT_EQ(image.BitDepth(), raw.BitDepth);
    ASSERT_EQ(image.Width(), raw.Width);
    ASSERT_EQ(image.Height(), raw.Height);
    ASSERT_EQ(image.Palette().size(), raw.Palette.size());
    for (size_t i = 0; i < raw.Palette.size(); ++i)
        EXPECT_EQ(image.Palette()[i], RGBColor(raw.Palette[i].red, raw.Palette[i].green, raw.Palette[i].blue)) << i;
    EXPECT_EQ(image.HasTransparencyChunk(), !raw.Alpha.empty());
    EXPECT_EQ(image.Transparency(), QByteArray(reinterpret_cast<const char*>(raw.Alpha.data()), qsizetype(raw.Alpha.size())));
    for (int y = 0; y < raw.Height; ++y)
        for (int x = 0; x < raw.Width; ++x)
            ASSERT_EQ(image.PixelIndex(x, y), IndexAt(x, y, raw.BitDepth) % int(raw.Palette.size())) << x << "," << y;
}

struct TPaletteCase {
    int Depth;
    int PaletteSize;
    std::vector<uint8_t> Alpha;
    bool Interlaced;
    TPngTransparencyMode Mode;
};

const TPaletteCase PaletteCases[] = {
    {1, 2, {}, false, ptmNone},
    {1, 2, {0}, true, ptmBit},
    {2, 4, {}, true, ptmNone},
    {2, 3, {255, 0}, false, ptmBit},
    {2, 4, {255, 128, 0, 255}, false, ptmPartial},
    {4, 16, {}, false, ptmNone},
    {4, 11, {0, 255, 255, 0}, true, ptmBit},
    {4, 16, {7}, false, ptmPartial},
    {8, 256, {}, true, ptmNone},
    {8, 200, {255, 255, 0}, false, ptmBit},
    {8, 256, std::vector<uint8_t>(256, 200), false, ptmPartial},
};

TEST(PngImage, PaletteImagesKeepDepthPaletteTransparencyAndIndices)
{
    for (const TPaletteCase& c : PaletteCases) {
        SCOPED_TRACE(testing::Message() << "depth " << c.Depth << " palette " << c.PaletteSize << " tRNS "
                                        << c.Alpha.size() << " interlaced " << c.Interlaced);
        const TRawPng raw = PalettePng(c.Depth, c.PaletteSize, c.Alpha, c.Interlaced);
        const QByteArray bytes = WriteRaw(raw);
        TPngImage image = Load(bytes);
        ExpectPalettePng(image, raw);
        EXPECT_EQ(image.TransparencyMode(), c.Mode);
        EXPECT_EQ(image.HasAlphaChannel(), false);
        ExpectSamePixels(image.ToQImage(), QtDecode(bytes));
        EXPECT_EQ(Save(image), bytes) << "an untouched image writes the bytes it was read from";

        // A changed image is written by us: same chunks and indices, same pixels for Qt.
        image.SetPixelIndex(0, 0, image.PixelIndex(0, 0));
        ASSERT_FALSE(image.Untouched());
        const QByteArray written = Save(image);
        const TPngImage reread = Load(written);
        ExpectPalettePng(reread, raw);
        EXPECT_EQ(reread.TransparencyMode(), c.Mode);
        ExpectSamePixels(QtDecode(written), image.ToQImage());
    }
}

struct TTrueColorCase {
    const char* Name;
    int ColorType;
    int BitDepth;
    bool Transparent;
    TPngColorType Expected;
    TPngTransparencyMode Mode;
};

// Samples: grey and colours from the position, alpha graded; 16-bit samples repeat their byte so that a
// decoder that rounds agrees with one that cuts.
TRawPng TrueColorPng(const TTrueColorCase& c)
{
    TRawPng raw;
    raw.Width = 9;
    raw.Height = 5;
    raw.ColorType = c.ColorType;
    raw.BitDepth = c.BitDepth;
    const int channels = c.ColorType == PNG_COLOR_TYPE_GRAY ? 1 : c.ColorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                         : c.ColorType == PNG_COLOR_TYPE_RGB ? 3 : 4;
    const int maxSample = (1 << c.BitDepth) - 1;
    for (int y = 0; y < raw.Height; ++y) {
        std::vector<int> samples;
        for (int x = 0; x < raw.Width; ++x)
            for (int s = 0; s < channels; ++s) samples.push_back((x * 37 + y * 11 + s * 70) & maxSample);
        if (c.BitDepth == 16) {
            std::vector<uint8_t> row;
            for (int v : samples) row.insert(row.end(), {uint8_t(v), uint8_t(v)});
            raw.Rows.push_back(row);
        } else {
            raw.Rows.push_back(Pack(samples, c.BitDepth));
        }
    }
    if (c.Transparent) {
        raw.HasTrnsColor = true;
        const int v = (2 * 37 + 11) & maxSample; // the first sample of pixel (2, 1)
        const auto sample = [&](int s) { return uint16_t(c.BitDepth == 16 ? (((v + s * 70) & 0xFF) * 0x101) : ((v + s * 70) & maxSample)); };
        raw.TrnsColor.gray = sample(0);
        raw.TrnsColor.red = sample(0);
        raw.TrnsColor.green = sample(1);
        raw.TrnsColor.blue = sample(2);
    }
    return raw;
}

TEST(PngImage, GreyAndTrueColourImagesBecomeEightBitSamples)
{
    const TTrueColorCase cases[] = {
        {"grey 1", PNG_COLOR_TYPE_GRAY, 1, false, COLOR_GRAYSCALE, ptmNone},
        {"grey 2 tRNS", PNG_COLOR_TYPE_GRAY, 2, true, COLOR_GRAYSCALE, ptmBit},
        {"grey 4", PNG_COLOR_TYPE_GRAY, 4, false, COLOR_GRAYSCALE, ptmNone},
        {"grey 16 tRNS", PNG_COLOR_TYPE_GRAY, 16, true, COLOR_GRAYSCALE, ptmBit},
        {"grey alpha 8", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, COLOR_GRAYSCALEALPHA, ptmPartial},
        {"RGB 8 tRNS", PNG_COLOR_TYPE_RGB, 8, true, COLOR_RGB, ptmBit},
        {"RGB 16", PNG_COLOR_TYPE_RGB, 16, false, COLOR_RGB, ptmNone},
        {"RGBA 8", PNG_COLOR_TYPE_RGB_ALPHA, 8, false, COLOR_RGBALPHA, ptmPartial},
        {"RGBA 16", PNG_COLOR_TYPE_RGB_ALPHA, 16, false, COLOR_RGBALPHA, ptmPartial},
    };
    for (const TTrueColorCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const QByteArray bytes = WriteRaw(TrueColorPng(c));
        TPngImage image = Load(bytes);
        EXPECT_EQ(image.ColorType(), c.Expected);
        EXPECT_EQ(image.BitDepth(), 8);
        EXPECT_EQ(image.TransparencyMode(), c.Mode);
        EXPECT_EQ(image.HasTransparentColor(), c.Transparent);
        const QImage qt = QtDecode(bytes);
        ExpectSamePixels(image.ToQImage(), qt);
        if (c.Transparent) {
            EXPECT_EQ(image.PixelAlpha(2, 1), 0);
            EXPECT_EQ(qAlpha(qt.pixel(2, 1)), 0);
            EXPECT_EQ(image.TransparentColor(), image.Pixel(2, 1));
        }
        image.ScanLine(0);
        const QByteArray written = Save(image);
        const TPngImage reread = Load(written);
        EXPECT_EQ(reread.ColorType(), c.Expected);
        EXPECT_EQ(reread.HasTransparentColor(), c.Transparent);
        EXPECT_EQ(reread.TransparentColor(), image.TransparentColor());
        ExpectSamePixels(QtDecode(written), qt);
    }
}

TEST(PngImage, LoadingStopsAfterIendAndKeepsOnlyThePngBytes)
{
    const QByteArray png = WriteRaw(PalettePng(4, 16, {0}, false));
    TBytesStream stream(QByteArray("lead") + png + QByteArray("trailing data"));
    stream.SetPosition(4);
    TPngImage image;
    image.LoadFromStream(stream);
    EXPECT_EQ(stream.Position(), 4 + png.size());
    EXPECT_TRUE(image.Untouched());
    EXPECT_EQ(Save(image), png);
}

QImage AsymmetricImage(int alpha)
{
    QImage image(5, 4, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(0x10 + x, 0x80 + y, 0xF0 - x * y, alpha < 0 ? x * 60 : alpha));
    return image;
}

TEST(PngImage, AssignedImagesAreRgbOrRgbaAndSurviveQt)
{
    const QImage source = AsymmetricImage(-1);
    for (bool withAlpha : {false, true}) {
        SCOPED_TRACE(withAlpha);
        TPngImage image;
        image.AssignImage(source, withAlpha);
        EXPECT_EQ(image.ColorType(), withAlpha ? COLOR_RGBALPHA : COLOR_RGB);
        EXPECT_EQ(image.BitDepth(), 8);
        EXPECT_EQ(image.Pixel(1, 2), RGBColor(0x11, 0x82, 0xEE));
        EXPECT_EQ(image.PixelAlpha(1, 2), withAlpha ? 60 : 255);
        const QImage expected = withAlpha ? source : source.convertToFormat(QImage::Format_RGB32).convertToFormat(QImage::Format_ARGB32);
        ExpectSamePixels(image.ToQImage(), expected);
        ExpectSamePixels(QtDecode(Save(image)), expected);
    }
}

TEST(PngImage, SetSizeKeepsTheTopLeftAndClearsNewSamples)
{
    TPngImage image;
    image.AssignImage(AsymmetricImage(128), true);
    const QImage before = image.ToQImage();
    image.SetSize(7, 3);
    ASSERT_EQ(image.Width(), 7);
    ASSERT_EQ(image.Height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x) {
            SCOPED_TRACE(testing::Message() << x << "," << y);
            if (x < 5) {
                EXPECT_EQ(image.ToQImage().pixel(x, y), before.pixel(x, y));
            } else {
                EXPECT_EQ(image.PixelAlpha(x, y), 0);
                EXPECT_EQ(image.Pixel(x, y), clBlack);
            }
        }

    TPngImage palette;
    palette.CreateBlank(COLOR_PALETTE, 4, 3, 2);
    EXPECT_EQ(palette.BitDepth(), 4);
    EXPECT_TRUE(palette.Palette().empty());
    palette.SetPixelIndex(2, 1, 9);
    palette.SetSize(4, 3);
    EXPECT_EQ(palette.PixelIndex(2, 1), 9);
    EXPECT_EQ(palette.PixelIndex(3, 1), 0);
    EXPECT_EQ(palette.PixelIndex(2, 2), 0);
}

TEST(PngImage, ConvertToRgbaKeepsEveryPixel)
{
    TPngImage image = Load(WriteRaw(PalettePng(2, 4, {255, 128, 0}, false)));
    const QImage before = image.ToQImage();
    image.ConvertToRGBA();
    EXPECT_EQ(image.ColorType(), COLOR_RGBALPHA);
    EXPECT_FALSE(image.HasTransparencyChunk());
    EXPECT_EQ(image.ToQImage(), before);
    ExpectSamePixels(QtDecode(Save(image)), before);
}

TEST(PngImage, BlankPaletteImageWithPaletteAndTransparencyIsWritten)
{
    // What the icon encoder builds: entry 0 transparent, the others from the colour image.
    TPngImage image;
    image.CreateBlank(COLOR_PALETTE, 1, 3, 2);
    EXPECT_THROW(Save(image), EInvalidGraphicOperation); // no palette yet
    image.SetPalette({RGBColor(0xDE, 0xFA, 0), RGBColor(0x10, 0x80, 0xF0)});
    image.SetTransparency(QByteArray(1, '\0'));
    image.SetPixelIndex(1, 0, 1);
    EXPECT_EQ(image.TransparencyMode(), ptmBit);
    const QByteArray written = Save(image);
    const TPngImage reread = Load(written);
    EXPECT_EQ(reread.BitDepth(), 1);
    EXPECT_EQ(reread.Palette(), image.Palette());
    EXPECT_EQ(reread.Transparency(), QByteArray(1, '\0'));
    EXPECT_EQ(reread.PixelIndex(1, 0), 1);
    EXPECT_EQ(reread.PixelIndex(0, 0), 0);
    ExpectSamePixels(QtDecode(written), image.ToQImage());
    EXPECT_EQ(image.ToQImage().pixel(1, 0), qRgba(0x10, 0x80, 0xF0, 255));

    EXPECT_THROW(image.SetPalette(TColorArray(3)), EInvalidGraphicOperation);
    EXPECT_THROW(image.CreateBlank(COLOR_PALETTE, 3, 1, 1), EInvalidGraphicOperation);
}

// --- Damaged files -------------------------------------------------------------------------------------

// The offset of the first chunk of a type.
int ChunkOffset(const QByteArray& png, const char* type)
{
    for (int at = 8; at + 8 <= png.size();) {
        const uint32_t length = (uint8_t(png[at]) << 24) | (uint8_t(png[at + 1]) << 16) | (uint8_t(png[at + 2]) << 8) | uint8_t(png[at + 3]);
        if (png.mid(at + 4, 4) == type) return at;
        at += 12 + int(length);
    }
    ADD_FAILURE() << "no chunk " << type;
    return 0;
}

void PutBigEndian(QByteArray& bytes, int at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(value >> (24 - 8 * i));
}

// A new IHDR size with a correct CRC, so that only the size is wrong.
QByteArray WithSize(QByteArray png, uint32_t width, uint32_t height)
{
    PutBigEndian(png, 16, width);
    PutBigEndian(png, 20, height);
    PutBigEndian(png, 29, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(png.constData() + 12), 17)));
    return png;
}

TEST(PngImage, DamagedFilesRaiseInvalidGraphic)
{
    TRawPng rgba;
    rgba.Width = 64;
    rgba.Height = 64;
    rgba.ColorType = PNG_COLOR_TYPE_RGB_ALPHA;
    rgba.Rows.assign(64, std::vector<uint8_t>(64 * 4, 0x5A));
    const QByteArray good = WriteRaw(rgba);
    const int idat = ChunkOffset(good, "IDAT");
    const int idatEnd = ChunkOffset(good, "IEND");
    const auto flipped = [&](int at) {
        QByteArray bytes = good;
        bytes[at] = char(bytes[at] ^ 0x40);
        return bytes;
    };
    const struct {
        const char* Name;
        QByteArray Bytes;
    } cases[] = {
        {"empty", QByteArray()},
        {"no signature", QByteArray("GIF89a") + good.mid(6)},
        {"IHDR CRC", flipped(29)},
        {"IDAT CRC", flipped(idatEnd - 1)},
        {"IDAT data", flipped(idat + 8 + 2)},
        {"IDAT truncated", good.left(idat + 20)},
        {"no IEND", good.left(good.size() - 12)},
        {"chunk length past the end", [&] { QByteArray b = good; PutBigEndian(b, idat, 0x7FFFFFF0); return b; }()},
        {"zero width", WithSize(good, 0, 64)},
        {"huge dimensions", WithSize(good, 0x7FFFFFFF, 0x7FFFFFFF)},
        {"too many samples", WithSize(good, 20000, 20000)},
        {"too little data for the size", WithSize(good, 8000, 8000)},
        {"rows missing", WithSize(good, 64, 65)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TBytesStream stream(c.Bytes);
        TPngImage image;
        image.AssignImage(AsymmetricImage(255), true);
        EXPECT_THROW(image.LoadFromStream(stream), EInvalidGraphic);
        EXPECT_TRUE(image.Empty());
        EXPECT_FALSE(image.Untouched());
    }
}

// --- Interop ---------------------------------------------------------------------------------------------

// icotool reads our PNG both as the image of a classic icon (decoded by its own libpng reader) and as a raw
// PNG image; what it extracts shows the same pixels.
TEST(PngImageInterop, IcotoolDecodesOurPngs)
{
    REQUIRE_PEER_TOOL(icotool, "icotool");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    TPngImage rgba;
    rgba.AssignImage(AsymmetricImage(-1), true);
    rgba.SetSize(16, 16);
    TPngImage palette = Load(WriteRaw(PalettePng(4, 16, {0, 255, 255, 0}, false)));
    palette.SetSize(16, 16);
    TPngImage opaque;
    opaque.AssignImage(AsymmetricImage(255), false);
    opaque.SetSize(16, 16);
    const struct {
        const char* Name;
        const TPngImage* Image;
    } cases[] = {{"rgba", &rgba}, {"palette", &palette}, {"rgb", &opaque}};
    for (const auto& c : cases) {
        for (const bool raw : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.Name << (raw ? " raw" : " classic"));
            const QString base = dir.filePath(QStringLiteral("%1-%2").arg(QString::fromLatin1(c.Name)).arg(raw));
            QFile file(base + QStringLiteral(".png"));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(Save(*c.Image));
            file.close();
            const QString ico = base + QStringLiteral(".ico");
            const QStringList create = raw ? QStringList{QStringLiteral("-c"), QStringLiteral("-o"), ico, QStringLiteral("--raw=") + file.fileName()}
                                           : QStringList{QStringLiteral("-c"), QStringLiteral("-t"), QStringLiteral("0"), QStringLiteral("-o"), ico, file.fileName()};
            const TPeerToolResult made = RunPeerTool(icotool, create);
            ASSERT_TRUE(made.Ok()) << made.Describe().toStdString();
            const QString out = base + QStringLiteral("-out");
            ASSERT_TRUE(QDir().mkpath(out));
            const TPeerToolResult extracted = RunPeerTool(icotool, {QStringLiteral("-x"), QStringLiteral("-o"), out, ico});
            ASSERT_TRUE(extracted.Ok()) << extracted.Describe().toStdString();
            const QStringList files = QDir(out).entryList({QStringLiteral("*.png")}, QDir::Files);
            ASSERT_EQ(files.size(), 1);
            QFile result(QDir(out).filePath(files.first()));
            ASSERT_TRUE(result.open(QIODevice::ReadOnly));
            ExpectSamePixels(QtDecode(result.readAll()), c.Image->ToQImage());
        }
    }
}

} // namespace
