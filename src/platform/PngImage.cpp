#include "PngImage.h"

#include "BinaryReader.h"
#include "Streams.h"

#include <QtEndian>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Bigger pictures are refused before anything is allocated for them.
constexpr int64_t MaxSampleBytes = int64_t(1) << 28;
constexpr uint32_t MaxDimension = 1u << 20;
constexpr png_alloc_size_t MaxChunkBytes = 8u << 20;
// Deflate expands at most 1032 times (258-byte matches coded in 2 bits); an image whose rows need more
// than that from its IDAT data cannot be decoded, so its rows are not allocated.
constexpr int64_t MaxInflateRatio = 1032;

const uint8_t PngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

[[noreturn]] void Fail(const QString& Message) { throw EInvalidGraphic(Message); }
[[noreturn]] void FailOperation(const QString& Message) { throw EInvalidGraphicOperation(Message); }

int SamplesOf(TPngColorType ColorType)
{
    switch (ColorType) {
    case COLOR_RGB: return 3;
    case COLOR_GRAYSCALEALPHA: return 2;
    case COLOR_RGBALPHA: return 4;
    default: return 1;
    }
}

void CheckSize(int Width, int Height, int Samples)
{
    if (Width < 0 || Height < 0 || int64_t(Width) * Height * Samples > MaxSampleBytes)
        FailOperation(QStringLiteral("A PNG image of %1 x %2 pixels is too large.").arg(Width).arg(Height));
}

QString ChunkName(const QByteArray& Type)
{
    for (char c : Type)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return QStringLiteral("0x") + QString::fromLatin1(Type.toHex());
    return QStringLiteral("\"%1\"").arg(QString::fromLatin1(Type));
}

// --- libpng glue ----------------------------------------------------------------------------------------
// libpng reports errors through a callback that must not return. No C++ exception may unwind through its C
// frames, so the callback longjmps back to the step that called setjmp; those steps hold no object with a
// destructor, and the C++ caller raises with the message they leave.

struct TPngCallContext {
    char Message[200] = "";
    // Reading
    const uint8_t* Data = nullptr;
    size_t Size = 0;
    size_t Offset = 0;
    // Writing (malloc'ed: the write callback must not throw)
    uint8_t* Out = nullptr;
    size_t OutSize = 0;
    size_t OutCapacity = 0;
};

void PngErrorFn(png_structp Png, png_const_charp Message)
{
    auto* context = static_cast<TPngCallContext*>(png_get_error_ptr(Png));
    std::snprintf(context->Message, sizeof context->Message, "%s", Message ? Message : "unknown error");
    png_longjmp(Png, 1);
}

void PngWarningFn(png_structp, png_const_charp) {}

void PngReadFn(png_structp Png, png_bytep Buffer, size_t Count)
{
    auto* context = static_cast<TPngCallContext*>(png_get_io_ptr(Png));
    if (Count > context->Size - context->Offset) png_error(Png, "the PNG data ends early");
    std::memcpy(Buffer, context->Data + context->Offset, Count);
    context->Offset += Count;
}

void PngWriteFn(png_structp Png, png_bytep Buffer, size_t Count)
{
    auto* context = static_cast<TPngCallContext*>(png_get_io_ptr(Png));
    if (Count > context->OutCapacity - context->OutSize) {
        size_t capacity = std::max<size_t>(context->OutCapacity * 2, 4096);
        while (capacity - context->OutSize < Count) capacity *= 2;
        auto* grown = static_cast<uint8_t*>(std::realloc(context->Out, capacity));
        if (!grown) png_error(Png, "out of memory");
        context->Out = grown;
        context->OutCapacity = capacity;
    }
    std::memcpy(context->Out + context->OutSize, Buffer, Count);
    context->OutSize += Count;
}

void PngFlushFn(png_structp) {}

// What the header chunks say, before any pixel is read.
struct TPngHeader {
    png_uint_32 Width = 0;
    png_uint_32 Height = 0;
    int BitDepth = 0;
    int ColorType = 0;
    png_color Palette[256];
    int PaletteCount = 0;
    bool HasTransparency = false;
    png_byte Transparency[256];
    int TransparencyCount = 0;
    png_color_16 TransparentColor{};
    size_t RowBytes = 0; // after the transformations
};

// Reads the chunks up to the image data and sets the transformations: indices and grey one byte per
// sample, 16-bit samples cut to their high byte, interlacing undone.
bool ReadPngHeader(png_structp Png, png_infop Info, TPngHeader* Header)
{
    if (setjmp(png_jmpbuf(Png))) return false;
    png_read_info(Png, Info);
    Header->Width = png_get_image_width(Png, Info);
    Header->Height = png_get_image_height(Png, Info);
    Header->BitDepth = png_get_bit_depth(Png, Info);
    Header->ColorType = png_get_color_type(Png, Info);
    png_colorp palette = nullptr;
    int count = 0;
    if ((png_get_PLTE(Png, Info, &palette, &count) & PNG_INFO_PLTE) && palette) {
        Header->PaletteCount = std::clamp(count, 0, 256);
        std::memcpy(Header->Palette, palette, size_t(Header->PaletteCount) * sizeof(png_color));
    }
    png_bytep alpha = nullptr;
    png_color_16p color = nullptr;
    count = 0;
    if (png_get_tRNS(Png, Info, &alpha, &count, &color) & PNG_INFO_tRNS) {
        Header->HasTransparency = true;
        if (Header->ColorType == PNG_COLOR_TYPE_PALETTE) {
            Header->TransparencyCount = alpha ? std::clamp(count, 0, 256) : 0;
            if (alpha) std::memcpy(Header->Transparency, alpha, size_t(Header->TransparencyCount));
        } else if (color) {
            Header->TransparentColor = *color;
        }
    }
    if (Header->BitDepth == 16) png_set_strip_16(Png);
    if (Header->BitDepth < 8) {
        if (Header->ColorType == PNG_COLOR_TYPE_GRAY) png_set_expand_gray_1_2_4_to_8(Png);
        else png_set_packing(Png);
    }
    png_set_interlace_handling(Png);
    png_read_update_info(Png, Info);
    Header->RowBytes = png_get_rowbytes(Png, Info);
    return true;
}

bool ReadPngRows(png_structp Png, png_infop Info, png_bytepp Rows)
{
    if (setjmp(png_jmpbuf(Png))) return false;
    png_read_image(Png, Rows);
    png_read_end(Png, Info);
    return true;
}

struct TPngWriteHeader {
    png_uint_32 Width;
    png_uint_32 Height;
    int BitDepth;
    int ColorType;
    png_color Palette[256];
    int PaletteCount;
    png_byte Transparency[256];
    int TransparencyCount;
    bool HasTransparentColor;
    png_color_16 TransparentColor;
};

bool WritePng(png_structp Png, png_infop Info, const TPngWriteHeader* Header, png_bytepp Rows)
{
    if (setjmp(png_jmpbuf(Png))) return false;
    png_set_IHDR(Png, Info, Header->Width, Header->Height, Header->BitDepth, Header->ColorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (Header->ColorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(Png, Info, Header->Palette, Header->PaletteCount);
        if (Header->TransparencyCount > 0)
            png_set_tRNS(Png, Info, Header->Transparency, Header->TransparencyCount, nullptr);
    } else if (Header->HasTransparentColor) {
        png_set_tRNS(Png, Info, nullptr, 0, &Header->TransparentColor);
    }
    png_write_info(Png, Info);
    if (Header->BitDepth < 8) png_set_packing(Png);
    png_write_image(Png, Rows);
    png_write_end(Png, Info);
    return true;
}

struct TPngReadGuard {
    png_structp Png = nullptr;
    png_infop Info = nullptr;
    ~TPngReadGuard() { png_destroy_read_struct(&Png, Info ? &Info : nullptr, nullptr); }
};

struct TPngWriteGuard {
    png_structp Png = nullptr;
    png_infop Info = nullptr;
    TPngCallContext* Context = nullptr;
    ~TPngWriteGuard()
    {
        png_destroy_write_struct(&Png, Info ? &Info : nullptr);
        std::free(Context->Out);
    }
};

// One grey sample below 8 bits, widened the way libpng widens the pixels.
uint16_t WidenGrey(uint16_t Value, int BitDepth)
{
    switch (BitDepth) {
    case 1: return Value ? 255 : 0;
    case 2: return uint16_t((Value & 3) * 85);
    case 4: return uint16_t((Value & 15) * 17);
    case 16: return uint16_t(Value >> 8);
    default: return uint16_t(Value & 0xFF);
    }
}

} // namespace

// --- Reading ---------------------------------------------------------------------------------------------

void TPngImage::LoadFromStream(TStream& Stream)
{
    const bool transparent = FTransparent;
    *this = TPngImage();
    FTransparent = transparent;

    // The chunks are walked first: that finds where the PNG ends, so the stream is left right after it
    // and the exact bytes are kept, and it tells how much image data there is to decode.
    const int64_t start = Stream.Position();
    QByteArray png = Stream.ReadBytes(8);
    if (png.size() < 8 || std::memcmp(png.constData(), PngSignature, 8) != 0)
        Fail(QStringLiteral("The data at offset %1 is not a PNG image (no PNG signature).").arg(start));
    int64_t imageDataBytes = 0;
    for (;;) {
        const int64_t offset = start + png.size();
        const QByteArray header = Stream.ReadBytes(8);
        if (header.size() < 8)
            Fail(QStringLiteral("The PNG image at offset %1 ends at offset %2 without an IEND chunk.").arg(start).arg(offset));
        const TBinaryReader reader(header, offset);
        const uint32_t length = qbswap(reader.U32(0, "PNG chunk length"));
        const QByteArray type = header.mid(4, 4);
        if (length > 0x7FFFFFFFu)
            Fail(QStringLiteral("The PNG chunk %1 at offset %2 has an invalid length (%3).").arg(ChunkName(type)).arg(offset).arg(length));
        const QByteArray body = Stream.ReadBytes(int64_t(length) + 4);
        if (body.size() < int64_t(length) + 4)
            Fail(QStringLiteral("The PNG chunk %1 at offset %2 (%3 bytes) runs past the end of the data.")
                     .arg(ChunkName(type)).arg(offset).arg(int64_t(length) + 12));
        png += header;
        png += body;
        if (type == "IDAT") imageDataBytes += length;
        if (type == "IEND") break;
    }

    TPngCallContext context;
    context.Data = reinterpret_cast<const uint8_t*>(png.constData());
    context.Size = size_t(png.size());
    const auto failLibpng = [&]() {
        Fail(QStringLiteral("The PNG image at offset %1 is not valid: %2.").arg(start).arg(QString::fromLatin1(context.Message)));
    };
    TPngReadGuard guard;
    guard.Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &context, PngErrorFn, PngWarningFn);
    if (!guard.Png) throw std::bad_alloc();
    guard.Info = png_create_info_struct(guard.Png);
    if (!guard.Info) throw std::bad_alloc();
    png_set_read_fn(guard.Png, &context, PngReadFn);
    png_set_user_limits(guard.Png, MaxDimension, MaxDimension);
    // Compressed text and profiles must not inflate without bound either.
    png_set_chunk_malloc_max(guard.Png, MaxChunkBytes);

    TPngHeader header;
    if (!ReadPngHeader(guard.Png, guard.Info, &header)) failLibpng();

    const auto colorType = static_cast<TPngColorType>(header.ColorType);
    const int samples = SamplesOf(colorType);
    const int64_t rowBytes = int64_t(header.Width) * samples;
    const int64_t imageBytes = rowBytes * header.Height;
    if (imageBytes > MaxSampleBytes)
        Fail(QStringLiteral("The PNG image at offset %1 is too large (%2 x %3 pixels).").arg(start).arg(header.Width).arg(header.Height));
    const int64_t packedRowBytes = (int64_t(header.Width) * samples * header.BitDepth + 7) / 8;
    if (packedRowBytes * header.Height > MaxInflateRatio * (imageDataBytes + 64))
        Fail(QStringLiteral("The PNG image at offset %1 holds too little image data for %2 x %3 pixels.")
                 .arg(start).arg(header.Width).arg(header.Height));
    if (int64_t(header.RowBytes) != rowBytes)
        Fail(QStringLiteral("The PNG image at offset %1 has an unsupported pixel layout.").arg(start));

    QByteArray samplesData(qsizetype(imageBytes), '\0');
    std::vector<png_bytep> rows(header.Height);
    for (png_uint_32 y = 0; y < header.Height; ++y)
        rows[y] = reinterpret_cast<png_bytep>(samplesData.data()) + rowBytes * y;
    if (!ReadPngRows(guard.Png, guard.Info, rows.data())) failLibpng();

    FWidth = int(header.Width);
    FHeight = int(header.Height);
    FColorType = colorType;
    FBitDepth = colorType == COLOR_PALETTE ? header.BitDepth : 8;
    // Other colour types may suggest a palette; it is not theirs to keep.
    if (colorType == COLOR_PALETTE)
        for (int i = 0; i < header.PaletteCount; ++i)
            FPalette.push_back(RGBColor(header.Palette[i].red, header.Palette[i].green, header.Palette[i].blue));
    FHasTransparency = header.HasTransparency;
    FTransparency = QByteArray(reinterpret_cast<const char*>(header.Transparency), header.TransparencyCount);
    if (colorType == COLOR_GRAYSCALE) {
        FTransparentSample[0] = WidenGrey(header.TransparentColor.gray, header.BitDepth);
    } else if (colorType == COLOR_RGB) {
        FTransparentSample[0] = WidenGrey(header.TransparentColor.red, header.BitDepth);
        FTransparentSample[1] = WidenGrey(header.TransparentColor.green, header.BitDepth);
        FTransparentSample[2] = WidenGrey(header.TransparentColor.blue, header.BitDepth);
    }
    FSamples = samplesData;
    FSource = png;
}

// --- Writing ---------------------------------------------------------------------------------------------

void TPngImage::SaveToStream(TStream& Stream) const
{
    if (!FSource.isEmpty()) {
        Stream.WriteBuffer(FSource.constData(), FSource.size());
        return;
    }
    if (Empty()) FailOperation(QStringLiteral("An empty PNG image cannot be saved."));
    if (FColorType == COLOR_PALETTE && FPalette.empty())
        FailOperation(QStringLiteral("A palette PNG image cannot be saved without a palette."));

    auto header = std::make_unique<TPngWriteHeader>();
    header->Width = png_uint_32(FWidth);
    header->Height = png_uint_32(FHeight);
    header->BitDepth = FColorType == COLOR_PALETTE ? FBitDepth : 8;
    header->ColorType = FColorType;
    header->PaletteCount = int(std::min<size_t>(FPalette.size(), 256));
    for (int i = 0; i < header->PaletteCount; ++i)
        header->Palette[i] = png_color{png_byte(GetRValue(FPalette[i])), png_byte(GetGValue(FPalette[i])),
                                       png_byte(GetBValue(FPalette[i]))};
    // Entries past the palette would make libpng drop the whole chunk; they mean nothing anyway.
    header->TransparencyCount = FHasTransparency ? int(std::min<qsizetype>(FTransparency.size(), header->PaletteCount)) : 0;
    std::memcpy(header->Transparency, FTransparency.constData(), size_t(header->TransparencyCount));
    header->HasTransparentColor = HasTransparentColor();
    header->TransparentColor = png_color_16{};
    header->TransparentColor.red = FTransparentSample[0];
    header->TransparentColor.gray = FTransparentSample[0];
    header->TransparentColor.green = FTransparentSample[1];
    header->TransparentColor.blue = FTransparentSample[2];

    const int rowBytes = FWidth * SamplesPerPixel();
    std::vector<png_bytep> rows(static_cast<size_t>(FHeight));
    for (int y = 0; y < FHeight; ++y)
        rows[size_t(y)] = reinterpret_cast<png_bytep>(const_cast<char*>(FSamples.constData())) + int64_t(rowBytes) * y;

    TPngCallContext context;
    TPngWriteGuard guard;
    guard.Context = &context;
    guard.Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &context, PngErrorFn, PngWarningFn);
    if (!guard.Png) throw std::bad_alloc();
    guard.Info = png_create_info_struct(guard.Png);
    if (!guard.Info) throw std::bad_alloc();
    png_set_write_fn(guard.Png, &context, PngWriteFn, PngFlushFn);
    if (!WritePng(guard.Png, guard.Info, header.get(), rows.data()))
        FailOperation(QStringLiteral("The PNG image cannot be written: %1.").arg(QString::fromLatin1(context.Message)));
    Stream.WriteBuffer(context.Out, int64_t(context.OutSize));
}

// --- Pixels and chunks -----------------------------------------------------------------------------------

void TPngImage::CreateBlank(TPngColorType ColorType, int BitDepth, int Width, int Height)
{
    switch (ColorType) {
    case COLOR_PALETTE:
        if (BitDepth != 1 && BitDepth != 2 && BitDepth != 4 && BitDepth != 8)
            FailOperation(QStringLiteral("A palette PNG image cannot have %1 bits per pixel.").arg(BitDepth));
        break;
    case COLOR_GRAYSCALE:
    case COLOR_RGB:
    case COLOR_GRAYSCALEALPHA:
    case COLOR_RGBALPHA:
        BitDepth = 8;
        break;
    default:
        FailOperation(QStringLiteral("%1 is not a PNG colour type.").arg(int(ColorType)));
    }
    CheckSize(Width, Height, SamplesOf(ColorType));
    FWidth = Width;
    FHeight = Height;
    FColorType = ColorType;
    FBitDepth = BitDepth;
    FPalette.clear();
    FTransparency.clear();
    FHasTransparency = false;
    std::fill(std::begin(FTransparentSample), std::end(FTransparentSample), uint16_t(0));
    FSamples = QByteArray(qsizetype(Width) * Height * SamplesOf(ColorType), '\0');
    Touch();
}

TPngTransparencyMode TPngImage::TransparencyMode() const
{
    if (HasAlphaChannel()) return ptmPartial;
    if (!FHasTransparency) return ptmNone;
    if (FColorType == COLOR_PALETTE)
        for (char a : FTransparency)
            if (uint8_t(a) != 0 && uint8_t(a) != 255) return ptmPartial;
    return ptmBit;
}

void TPngImage::SetPalette(const TColorArray& Value)
{
    if (FColorType != COLOR_PALETTE) FailOperation(QStringLiteral("Only palette PNG images have a palette."));
    if (Value.size() > (size_t(1) << FBitDepth))
        FailOperation(QStringLiteral("A PNG image of %1 bits per pixel cannot have a palette of %2 colours.").arg(FBitDepth).arg(Value.size()));
    FPalette = Value;
    Touch();
}

void TPngImage::SetTransparency(const QByteArray& Value)
{
    if (FColorType != COLOR_PALETTE)
        FailOperation(QStringLiteral("Only palette PNG images have a table of transparency values."));
    if (Value.size() > 256) FailOperation(QStringLiteral("A PNG transparency table cannot hold %1 values.").arg(Value.size()));
    FTransparency = Value;
    FHasTransparency = true;
    Touch();
}

void TPngImage::RemoveTransparency()
{
    if (!FHasTransparency) return;
    FTransparency.clear();
    FHasTransparency = false;
    std::fill(std::begin(FTransparentSample), std::end(FTransparentSample), uint16_t(0));
    Touch();
}

bool TPngImage::HasTransparentColor() const
{
    return FHasTransparency && (FColorType == COLOR_GRAYSCALE || FColorType == COLOR_RGB);
}

TColor TPngImage::TransparentColor() const
{
    if (!HasTransparentColor()) return clNone;
    if (FColorType == COLOR_GRAYSCALE) return RGBColor(FTransparentSample[0], FTransparentSample[0], FTransparentSample[0]);
    return RGBColor(FTransparentSample[0], FTransparentSample[1], FTransparentSample[2]);
}

int TPngImage::SamplesPerPixel() const { return SamplesOf(FColorType); }

const uint8_t* TPngImage::ScanLine(int y) const
{
    ATELIER_ASSERT(y >= 0 && y < FHeight);
    return reinterpret_cast<const uint8_t*>(FSamples.constData()) + qsizetype(y) * FWidth * SamplesPerPixel();
}

uint8_t* TPngImage::ScanLine(int y)
{
    ATELIER_ASSERT(y >= 0 && y < FHeight);
    Touch();
    return reinterpret_cast<uint8_t*>(FSamples.data()) + qsizetype(y) * FWidth * SamplesPerPixel();
}

int TPngImage::PixelIndex(int x, int y) const
{
    if (FColorType != COLOR_PALETTE) FailOperation(QStringLiteral("Only palette PNG images have colour indices."));
    ATELIER_ASSERT(x >= 0 && x < FWidth);
    return ScanLine(y)[x];
}

void TPngImage::SetPixelIndex(int x, int y, int Index)
{
    if (FColorType != COLOR_PALETTE) FailOperation(QStringLiteral("Only palette PNG images have colour indices."));
    ATELIER_ASSERT(x >= 0 && x < FWidth);
    ATELIER_ASSERT(Index >= 0 && Index < (1 << FBitDepth));
    ScanLine(y)[x] = uint8_t(Index);
}

TColor TPngImage::Pixel(int x, int y) const
{
    ATELIER_ASSERT(x >= 0 && x < FWidth);
    const uint8_t* p = ScanLine(y) + qsizetype(x) * SamplesPerPixel();
    switch (FColorType) {
    case COLOR_PALETTE: return size_t(p[0]) < FPalette.size() ? FPalette[p[0]] : clBlack;
    case COLOR_GRAYSCALE:
    case COLOR_GRAYSCALEALPHA: return RGBColor(p[0], p[0], p[0]);
    default: return RGBColor(p[0], p[1], p[2]);
    }
}

int TPngImage::PixelAlpha(int x, int y) const
{
    ATELIER_ASSERT(x >= 0 && x < FWidth);
    const uint8_t* p = ScanLine(y) + qsizetype(x) * SamplesPerPixel();
    switch (FColorType) {
    case COLOR_PALETTE: return FHasTransparency && p[0] < FTransparency.size() ? uint8_t(FTransparency[p[0]]) : 255;
    case COLOR_GRAYSCALE: return FHasTransparency && p[0] == FTransparentSample[0] ? 0 : 255;
    case COLOR_RGB:
        return FHasTransparency && p[0] == FTransparentSample[0] && p[1] == FTransparentSample[1] && p[2] == FTransparentSample[2] ? 0 : 255;
    case COLOR_GRAYSCALEALPHA: return p[1];
    default: return p[3];
    }
}

void TPngImage::SetSize(int Width, int Height)
{
    if (Width == FWidth && Height == FHeight) return;
    const int samples = SamplesPerPixel();
    CheckSize(Width, Height, samples);
    QByteArray resized(qsizetype(Width) * Height * samples, '\0');
    const qsizetype keptRow = qsizetype(std::min(Width, FWidth)) * samples;
    for (int y = 0; y < std::min(Height, FHeight); ++y)
        std::memcpy(resized.data() + qsizetype(y) * Width * samples, FSamples.constData() + qsizetype(y) * FWidth * samples,
                    size_t(keptRow));
    FSamples = resized;
    FWidth = Width;
    FHeight = Height;
    Touch();
}

void TPngImage::AssignImage(const QImage& Image, bool WithAlpha)
{
    const TPngColorType colorType = WithAlpha ? COLOR_RGBALPHA : COLOR_RGB;
    const QImage argb = Image.isNull() ? QImage() : Image.convertToFormat(QImage::Format_ARGB32);
    CreateBlank(colorType, 8, argb.width(), argb.height());
    const int samples = SamplesPerPixel();
    for (int y = 0; y < FHeight; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        uint8_t* out = reinterpret_cast<uint8_t*>(FSamples.data()) + qsizetype(y) * FWidth * samples;
        for (int x = 0; x < FWidth; ++x, out += samples) {
            out[0] = uint8_t(qRed(in[x]));
            out[1] = uint8_t(qGreen(in[x]));
            out[2] = uint8_t(qBlue(in[x]));
            if (WithAlpha) out[3] = uint8_t(qAlpha(in[x]));
        }
    }
}

QImage TPngImage::ToQImage() const
{
    if (Empty()) return {};
    QImage image(FWidth, FHeight, QImage::Format_ARGB32);
    for (int y = 0; y < FHeight; ++y) {
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < FWidth; ++x) {
            const TColor c = Pixel(x, y);
            out[x] = qRgba(GetRValue(c), GetGValue(c), GetBValue(c), PixelAlpha(x, y));
        }
    }
    return image;
}

void TPngImage::ConvertToRGBA()
{
    if (FColorType == COLOR_RGBALPHA) return;
    QByteArray rgba(qsizetype(FWidth) * FHeight * 4, '\0');
    auto* out = reinterpret_cast<uint8_t*>(rgba.data());
    for (int y = 0; y < FHeight; ++y)
        for (int x = 0; x < FWidth; ++x, out += 4) {
            const TColor c = Pixel(x, y);
            out[0] = uint8_t(GetRValue(c));
            out[1] = uint8_t(GetGValue(c));
            out[2] = uint8_t(GetBValue(c));
            out[3] = uint8_t(PixelAlpha(x, y));
        }
    FSamples = rgba;
    FColorType = COLOR_RGBALPHA;
    FBitDepth = 8;
    FPalette.clear();
    FTransparency.clear();
    FHasTransparency = false;
    std::fill(std::begin(FTransparentSample), std::end(FTransparentSample), uint16_t(0));
    Touch();
}
