// JPEG pictures: colour, grey and CMYK files (made by Qt and by libjpeg's compressor) decode to opaque pixels
// close to what was encoded; damaged data raises instead of ending the process.
#include "platform/JpegImage.h"
#include "platform/Streams.h"

#include <QBuffer>
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

QByteArray QtEncode(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "JPEG", 100));
    return bytes;
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

TEST(JpegImage, ColourAndGreyFilesDecodeToOpaquePixels)
{
    const QImage colour = Blocks(48, 32);
    const QImage grey = colour.convertToFormat(QImage::Format_Grayscale8);
    const struct {
        const char* Name;
        QImage Source;
    } cases[] = {{"colour", colour}, {"grey", grey}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const QByteArray bytes = QtEncode(c.Source);
        const TJPEGImage image = Load(bytes);
        EXPECT_EQ(image.Width(), 48);
        EXPECT_EQ(image.Height(), 32);
        ExpectClose(image.ToQImage(), c.Source.convertToFormat(QImage::Format_ARGB32), 8, true);
        ExpectClose(image.ToQImage(), QImage::fromData(bytes, "JPEG").convertToFormat(QImage::Format_ARGB32), 3);
        TBytesStream saved;
        image.SaveToStream(saved);
        EXPECT_EQ(saved.Bytes(), bytes);
    }
}

struct TJpegWriteError {
    jpeg_error_mgr Manager;
    jmp_buf Jump;
};

// A CMYK JPEG through libjpeg's compressor; Adobe files store the inks inverted.
QByteArray CmykJpeg(int width, int height, bool adobe, const std::vector<uint8_t>& ink)
{
    jpeg_compress_struct info{};
    TJpegWriteError error{};
    info.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = [](j_common_ptr common) { std::longjmp(reinterpret_cast<TJpegWriteError*>(common->err)->Jump, 1); };
    unsigned char* out = nullptr;
    unsigned long size = 0;
    std::vector<uint8_t> row;
    for (int x = 0; x < width; ++x)
        for (uint8_t v : ink) row.push_back(adobe ? uint8_t(255 - v) : v);
    if (setjmp(error.Jump)) {
        jpeg_destroy_compress(&info);
        std::free(out);
        ADD_FAILURE() << "libjpeg could not write the test image";
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, JCS_CMYK);
    info.write_Adobe_marker = adobe;
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

TEST(JpegImage, CmykFilesBecomeRgb)
{
    // C, M, Y, K of a colour with 20 % black, and the colour they make.
    const std::vector<uint8_t> ink = {0x00, 0x80, 0xF0, 0x33};
    const QRgb expected = qRgb(0xCC, 0xCC * 0x7F / 0xFF, 0xCC * 0x0F / 0xFF);
    for (bool adobe : {false, true}) {
        SCOPED_TRACE(adobe ? "Adobe" : "plain");
        const TJPEGImage image = Load(CmykJpeg(16, 8, adobe, ink));
        QImage flat(16, 8, QImage::Format_ARGB32);
        flat.fill(expected);
        ExpectClose(image.ToQImage(), flat, 4);
    }
}

TEST(JpegImage, DamagedDataRaisesInvalidGraphic)
{
    const QByteArray good = QtEncode(Blocks(64, 48));
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
