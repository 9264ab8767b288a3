#include "JpegImage.h"

#include "Streams.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <jerror.h>

namespace {

// Bigger pictures are refused before libjpeg allocates anything for them.
constexpr int64_t MaxImageBytes = int64_t(1) << 28;
// Progressive files can repeat scans over the whole picture for very few bytes each.
constexpr int MaxScans = 256;

// libjpeg's error_exit must not return, and no C++ exception may unwind through its C frames: the handler
// longjmps back to the step that called setjmp (those steps hold no object with a destructor), and the C++
// caller raises with the message left here.
struct TJpegErrorManager {
    jpeg_error_mgr Manager; // first, so that libjpeg's pointer is ours
    jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

[[noreturn]] void JpegErrorExit(j_common_ptr Info)
{
    auto* manager = reinterpret_cast<TJpegErrorManager*>(Info->err);
    Info->err->format_message(Info, manager->Message);
    std::longjmp(manager->Jump, 1);
}

void JpegEmitMessage(j_common_ptr Info, int Level)
{
    // Data that ends early would be padded and shown grey; that is damage, not a warning.
    if (Level < 0 && Info->err->msg_code == JWRN_JPEG_EOF) JpegErrorExit(Info);
}

void JpegOutputMessage(j_common_ptr) {}

void JpegProgress(j_common_ptr Info)
{
    if (!Info->is_decompressor) return;
    auto* decompress = reinterpret_cast<j_decompress_ptr>(Info);
    if (decompress->input_scan_number > MaxScans) {
        auto* manager = reinterpret_cast<TJpegErrorManager*>(Info->err);
        std::snprintf(manager->Message, sizeof manager->Message, "more than %d scans", MaxScans);
        std::longjmp(manager->Jump, 1);
    }
}

bool ReadJpegHeader(jpeg_decompress_struct* Info, TJpegErrorManager* Errors, jpeg_progress_mgr* Progress,
                    const unsigned char* Data, unsigned long Size)
{
    if (setjmp(Errors->Jump)) return false;
    jpeg_create_decompress(Info);
    Info->mem->max_memory_to_use = long(MaxImageBytes) * 2;
    Info->progress = Progress;
    jpeg_mem_src(Info, Data, Size);
    jpeg_read_header(Info, TRUE);
    switch (Info->jpeg_color_space) {
    case JCS_GRAYSCALE: Info->out_color_space = JCS_GRAYSCALE; break;
    case JCS_CMYK:
    case JCS_YCCK: Info->out_color_space = JCS_CMYK; break;
    default: Info->out_color_space = JCS_RGB; break;
    }
    return true;
}

// Decodes every row into Bits (ARGB32 rows of Stride bytes), through Row (one row of libjpeg's output).
bool ReadJpegRows(jpeg_decompress_struct* Info, TJpegErrorManager* Errors, unsigned char* Row, unsigned char* Bits,
                  size_t Stride)
{
    if (setjmp(Errors->Jump)) return false;
    jpeg_start_decompress(Info);
    // Adobe's CMYK files store the inks inverted.
    const bool inverted = Info->saw_Adobe_marker;
    const int components = Info->output_components;
    while (Info->output_scanline < Info->output_height) {
        const JDIMENSION y = Info->output_scanline;
        JSAMPROW rows[1] = {Row};
        if (jpeg_read_scanlines(Info, rows, 1) != 1) break;
        auto* out = reinterpret_cast<uint32_t*>(Bits + Stride * y);
        const unsigned char* in = Row;
        for (JDIMENSION x = 0; x < Info->output_width; ++x, in += components) {
            unsigned r, g, b;
            if (Info->out_color_space == JCS_GRAYSCALE) {
                r = g = b = in[0];
            } else if (Info->out_color_space == JCS_CMYK) {
                unsigned c = in[0], m = in[1], yy = in[2], k = in[3];
                if (!inverted) {
                    c = 255 - c;
                    m = 255 - m;
                    yy = 255 - yy;
                    k = 255 - k;
                }
                r = c * k / 255;
                g = m * k / 255;
                b = yy * k / 255;
            } else {
                r = in[0];
                g = in[1];
                b = in[2];
            }
            out[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
        }
    }
    jpeg_finish_decompress(Info);
    return true;
}

struct TJpegGuard {
    jpeg_decompress_struct* Info;
    ~TJpegGuard() { jpeg_destroy_decompress(Info); }
};

} // namespace

void TJPEGImage::LoadFromStream(TStream& Stream)
{
    FData.clear();
    FImage = QImage();
    const int64_t start = Stream.Position();
    const QByteArray data = Stream.ReadBytes(Stream.Size() - start);
    if (data.isEmpty()) throw EInvalidGraphic(QStringLiteral("There is no JPEG image at offset %1.").arg(start));

    TJpegErrorManager errors;
    std::memset(&errors, 0, sizeof errors);
    jpeg_std_error(&errors.Manager);
    errors.Manager.error_exit = JpegErrorExit;
    errors.Manager.emit_message = JpegEmitMessage;
    errors.Manager.output_message = JpegOutputMessage;
    jpeg_progress_mgr progress;
    std::memset(&progress, 0, sizeof progress);
    progress.progress_monitor = JpegProgress;
    jpeg_decompress_struct info;
    std::memset(&info, 0, sizeof info);
    info.err = &errors.Manager;
    TJpegGuard guard{&info};
    const auto fail = [&]() {
        throw EInvalidGraphic(QStringLiteral("The JPEG image at offset %1 is not valid: %2.")
                                  .arg(start)
                                  .arg(QString::fromLatin1(errors.Message)));
    };

    if (!ReadJpegHeader(&info, &errors, &progress, reinterpret_cast<const unsigned char*>(data.constData()),
                        static_cast<unsigned long>(data.size())))
        fail();
    if (int64_t(info.image_width) * info.image_height * 4 > MaxImageBytes)
        throw EInvalidGraphic(QStringLiteral("The JPEG image at offset %1 is too large (%2 x %3 pixels).")
                                  .arg(start)
                                  .arg(info.image_width)
                                  .arg(info.image_height));
    QImage image(int(info.image_width), int(info.image_height), QImage::Format_ARGB32);
    if (image.isNull()) throw std::bad_alloc();
    // Room for the widest output libjpeg may give (four components); it checks its own dimensions.
    std::vector<unsigned char> row(size_t(info.image_width) * 4 + 16);
    if (!ReadJpegRows(&info, &errors, row.data(), image.bits(), size_t(image.bytesPerLine()))) fail();
    if (int64_t(info.output_width) != image.width() || int64_t(info.output_height) != image.height())
        throw EInvalidGraphic(QStringLiteral("The JPEG image at offset %1 is not valid: unexpected output size.").arg(start));
    FData = data;
    FImage = image;
}

void TJPEGImage::SaveToStream(TStream& Stream) const
{
    Stream.WriteBuffer(FData.constData(), FData.size());
}
