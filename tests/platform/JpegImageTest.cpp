// JPEG pictures: colour, grey and CMYK files (made by libjpeg's compressor) decode to opaque pixels
// close to what was encoded; damaged data raises instead of ending the process.
#include "platform/JpegImage.h"
#include "platform/Streams.h"

#include <QImageReader>
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace {

TJPEGImage Load(const QByteArray& bytes)
{
    TBytesStream stream(bytes);
    TJPEGImage image;
    image.LoadFromStream(stream);
    return image;
}

// Blocks of asymmetric colours, as wide as a subsampled colour block, so that each is flat for the encoder.
QRgb BlockColor(int x, int y)
{
    static const QRgb colors[] = {qRgb(0x10, 0x80, 0xF0), qRgb(0xF0, 0x30, 0x10), qRgb(0x20, 0xC0, 0x40), qRgb(0xFF, 0xFF, 0xFF)};
    return colors[(x / 16 + y / 16) % 4];
}

QImage Blocks(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.setPixel(x, y, BlockColor(x, y));
    return image;
}

// Near the edges of the blocks, colours bleed; InnerOnly leaves them out.
void ExpectClose(const QImage& actual, const QImage& expected, int tolerance, bool innerOnly = false)
{
    ASSERT_EQ(actual.size(), expected.size());
    ASSERT_EQ(actual.format(), QImage::Format_ARGB32);
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x) {
            if (innerOnly && (x % 16 < 4 || x % 16 > 11 || y % 16 < 4 || y % 16 > 11)) continue;
            const QRgb a = actual.pixel(x, y), e = expected.pixel(x, y);
            ASSERT_EQ(qAlpha(a), 255);
            ASSERT_LE(std::abs(qRed(a) - qRed(e)), tolerance) << x << "," << y;
            ASSERT_LE(std::abs(qGreen(a) - qGreen(e)), tolerance) << x << "," << y;
            ASSERT_LE(std::abs(qBlue(a) - qBlue(e)), tolerance) << x << "," << y;
        }
}

struct TJpegWriteError {
    jpeg_error_mgr Manager;
    jmp_buf Jump;
};

struct TJpegSource {
    int Width = 0;
    int Height = 0;
    int Components = 3;
    J_COLOR_SPACE ColorSpace = JCS_RGB;
    bool Adobe = false;
    bool Progressive = false;
    std::vector<uint8_t> Samples; // rows top-down, Components bytes a pixel
};

// A JPEG through libjpeg's compressor, so that the tests need no image plugin.
QByteArray Compress(const TJpegSource& source)
{
    jpeg_compress_struct info{};
    TJpegWriteError error{};
    info.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = [](j_common_ptr common) { std::longjmp(reinterpret_cast<TJpegWriteError*>(common->err)->Jump, 1); };
    unsigned char* out = nullptr;
    unsigned long size = 0;
    if (setjmp(error.Jump)) {
        jpeg_destroy_compress(&info);
        std::free(out);
        ADD_FAILURE() << "libjpeg could not write the test image";
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = JDIMENSION(source.Width);
    info.image_height = JDIMENSION(source.Height);
    info.input_components = source.Components;
    info.in_color_space = source.ColorSpace;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, source.ColorSpace);
    info.write_Adobe_marker = source.Adobe;
    jpeg_set_quality(&info, 100, TRUE);
    if (source.Progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {const_cast<JSAMPROW>(source.Samples.data()) + size_t(info.next_scanline) * source.Width * source.Components};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

TJpegSource FromImage(const QImage& image, bool grey, bool progressive)
{
    TJpegSource source;
    source.Width = image.width();
    source.Height = image.height();
    source.Components = grey ? 1 : 3;
    source.ColorSpace = grey ? JCS_GRAYSCALE : JCS_RGB;
    source.Progressive = progressive;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (grey) source.Samples.push_back(uint8_t(qRed(c)));
            else source.Samples.insert(source.Samples.end(), {uint8_t(qRed(c)), uint8_t(qGreen(c)), uint8_t(qBlue(c))});
        }
    return source;
}

TEST(JpegImage, ColourAndGreyFilesDecodeToOpaquePixels)
{
    const QImage colour = Blocks(48, 32);
    const QImage grey = colour.convertToFormat(QImage::Format_Grayscale8).convertToFormat(QImage::Format_RGB32);
    const bool qtReadsJpeg = QImageReader::supportedImageFormats().contains("jpeg");
    const struct {
        const char* Name;
        QImage Source;
        bool Grey;
        bool Progressive;
    } cases[] = {{"colour", colour, false, false}, {"progressive", colour, false, true}, {"grey", grey, true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const QByteArray bytes = Compress(FromImage(c.Source, c.Grey, c.Progressive));
        const TJPEGImage image = Load(bytes);
        EXPECT_EQ(image.Width(), 48);
        EXPECT_EQ(image.Height(), 32);
        ExpectClose(image.ToQImage(), c.Source.convertToFormat(QImage::Format_ARGB32), 8, true);
        if (qtReadsJpeg) ExpectClose(image.ToQImage(), QImage::fromData(bytes, "JPEG").convertToFormat(QImage::Format_ARGB32), 3);
        TBytesStream saved;
        image.SaveToStream(saved);
        EXPECT_EQ(saved.Bytes(), bytes);
    }
}

TEST(JpegImage, CmykFilesBecomeRgb)
{
    // C, M, Y, K of a colour with 20 % black, and the colour they make.
    const std::vector<uint8_t> ink = {0x00, 0x80, 0xF0, 0x33};
    const QRgb expected = qRgb(0xCC, 0xCC * 0x7F / 0xFF, 0xCC * 0x0F / 0xFF);
    for (bool adobe : {false, true}) {
        SCOPED_TRACE(adobe ? "Adobe" : "plain");
        TJpegSource source;
        source.Width = 16;
        source.Height = 8;
        source.Components = 4;
        source.ColorSpace = JCS_CMYK;
        source.Adobe = adobe;
        // Adobe files store the inks inverted.
        for (int i = 0; i < source.Width * source.Height; ++i)
            for (uint8_t v : ink) source.Samples.push_back(adobe ? uint8_t(255 - v) : v);
        const TJPEGImage image = Load(Compress(source));
        QImage flat(16, 8, QImage::Format_ARGB32);
        flat.fill(expected);
        ExpectClose(image.ToQImage(), flat, 4);
    }
}

TEST(JpegImage, DamagedDataRaisesInvalidGraphic)
{
    const QByteArray good = Compress(FromImage(Blocks(64, 48), false, false));
    const struct {
        const char* Name;
        QByteArray Bytes;
    } cases[] = {
        {"empty", QByteArray()},
        {"garbage", QByteArray(300, '\x5A')},
        {"signature only", good.left(2)},
        {"header only", good.left(good.indexOf("\xFF\xDA") + 4)},
        {"half the scan", good.left(good.size() / 2)},
        {"no end of image", good.left(good.size() - 2)},
        {"zero height", [&] { QByteArray b = good; const int sof = int(b.indexOf("\xFF\xC0")); b[sof + 5] = b[sof + 6] = 0; return b; }()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TBytesStream stream(c.Bytes);
        TJPEGImage image;
        EXPECT_THROW(image.LoadFromStream(stream), EInvalidGraphic);
        EXPECT_TRUE(image.Empty());
        EXPECT_TRUE(image.Data().isEmpty());
    }
}

} // namespace
