#include "koIconEncoder.h"

#include "model/koResourcesMessages.h"
#include "platform/BinaryReader.h"
#include "platform/Icon.h"
#include "platform/PngImage.h"
#include "platform/Streams.h"

#include <QtEndian>
#include <algorithm>
#include <cstdlib>

namespace {

const char* const SPrematureEnd = "Premature end of data";
const char* const SMalformedBitmap = "Malformed Bitmap in icon";
const char* const SMalformedPNG = "Malformed PNG in icon";
const char* const SUnsupportedPNG = "Unsupported PNG format";
const char* const SInvalidPNGSource = "Invalid source format for PNG compression";
const char* const SPaletteFull =
    "PNG compression with color depth of 1, 4 and 8 bit requires that at least one color in the palette is unused";

// Larger images are no icons; the bound keeps every size computation far from overflow.
constexpr int32_t MaxIconDimension = 0xFFFF;
constexpr int DIBHeaderSize = 40;

[[noreturn]] void Fail(const char* Message) { throw EInvalidGraphic(QString::fromLatin1(Message)); }

int64_t RowBytes(int64_t Width, int BitCount) { return (Width * BitCount + 31) / 32 * 4; }

// --- DIB layout ------------------------------------------------------------------------------------

TIconDIBHeader ReadDIBHeader(const TBinaryReader& Reader)
{
    TIconDIBHeader h;
    h.biSize = Reader.U32(0, "icon bitmap header");
    h.biWidth = int32_t(Reader.U32(4, "icon bitmap header"));
    h.biHeight = int32_t(Reader.U32(8, "icon bitmap header"));
    h.biPlanes = Reader.U16(12, "icon bitmap header");
    h.biBitCount = Reader.U16(14, "icon bitmap header");
    h.biCompression = Reader.U32(16, "icon bitmap header");
    h.biSizeImage = Reader.U32(20, "icon bitmap header");
    h.biXPelsPerMeter = int32_t(Reader.U32(24, "icon bitmap header"));
    h.biYPelsPerMeter = int32_t(Reader.U32(28, "icon bitmap header"));
    h.biClrUsed = Reader.U32(32, "icon bitmap header");
    h.biClrImportant = Reader.U32(36, "icon bitmap header");
    return h;
}

void PutHeader(QByteArray& Out, const TIconDIBHeader& h)
{
    char b[DIBHeaderSize];
    qToLittleEndian<uint32_t>(h.biSize, b);
    qToLittleEndian<int32_t>(h.biWidth, b + 4);
    qToLittleEndian<int32_t>(h.biHeight, b + 8);
    qToLittleEndian<uint16_t>(h.biPlanes, b + 12);
    qToLittleEndian<uint16_t>(h.biBitCount, b + 14);
    qToLittleEndian<uint32_t>(h.biCompression, b + 16);
    qToLittleEndian<uint32_t>(h.biSizeImage, b + 20);
    qToLittleEndian<int32_t>(h.biXPelsPerMeter, b + 24);
    qToLittleEndian<int32_t>(h.biYPelsPerMeter, b + 28);
    qToLittleEndian<uint32_t>(h.biClrUsed, b + 32);
    qToLittleEndian<uint32_t>(h.biClrImportant, b + 36);
    Out.append(b, DIBHeaderSize);
}

void PutU32(QByteArray& Out, uint32_t Value)
{
    char b[4];
    qToLittleEndian(Value, b);
    Out.append(b, 4);
}

void PutColor(QByteArray& Out, TColor Color)
{
    const char quad[4] = {char(GetBValue(Color)), char(GetGValue(Color)), char(GetRValue(Color)), 0};
    Out.append(quad, 4);
}

// Colour masks follow a 40-byte header of masked formats; longer headers hold them.
int64_t ColorMaskBytes(const TIconDIBHeader& h)
{
    return h.biBitCount > 8 && h.biSize <= uint32_t(DIBHeaderSize) && (h.biCompression & 3) != 0 ? 12 : 0;
}

int64_t ColorTableEntries(const TIconDIBHeader& h)
{
    if (h.biBitCount <= 8 && h.biClrUsed == 0) return int64_t(1) << h.biBitCount;
    return h.biClrUsed;
}

struct TIconDIBSizes {
    int64_t HeaderPart = 0; // header, colour masks and colour table
    int64_t Bits = 0;       // E: XOR and AND bits
    int64_t MaskBits = 0;   // C: the AND bits
};

TIconDIBSizes ComputeIconDIBSizes(const TIconDIBHeader& h)
{
    TIconDIBSizes s;
    s.HeaderPart = std::max<int64_t>(DIBHeaderSize, h.biSize) + ColorMaskBytes(h) + 4 * ColorTableEntries(h);
    const int64_t width = std::abs(int64_t(h.biWidth));
    const int64_t fullHeight = std::abs(int64_t(h.biHeight));
    const int64_t rowSize = RowBytes(width, h.biBitCount);
    const int64_t maskRowSize = RowBytes(width, 1);
    if (h.biBitCount == 1) {
        s.Bits = fullHeight * rowSize;
        s.MaskBits = s.Bits / 2;
    } else {
        const int64_t height = fullHeight / 2;
        s.Bits = height * (rowSize + maskRowSize);
        s.MaskBits = height * maskRowSize;
    }
    return s;
}

// What an icon DIB must be for its bitmaps to be made; checked before any size is trusted.
void ValidateIconDIBHeader(const TIconDIBHeader& h)
{
    if (h.biSize < uint32_t(DIBHeaderSize) || h.biPlanes != 1 || h.biBitCount > 32) Fail(SMalformedBitmap);
    switch (h.biSize) {
    case bhInfo:
    case bhV2:
    case bhV3:
    case bhV4:
    case bhV5: break;
    default: Fail(SMalformedBitmap);
    }
    switch (h.biBitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: break;
    default: Fail(SMalformedBitmap);
    }
    const bool masked = h.biCompression == BI_BITFIELDS && (h.biBitCount == 16 || h.biBitCount == 32);
    if (h.biCompression != BI_RGB && !masked) Fail(SMalformedBitmap);
    if (h.biWidth <= 0 || h.biWidth > MaxIconDimension) Fail(SMalformedBitmap);
    // Both halves (image and mask) must hold at least one row.
    if (h.biHeight < 2 || h.biHeight / 2 > MaxIconDimension) Fail(SMalformedBitmap);
}

// A bitmap from the parts of a DIB, read by the bitmap class itself so that it keeps the header as the
// icon had it.
std::unique_ptr<TBitmap> LoadDIB(const QByteArray& Header, const QByteArray& Masks, const QByteArray& Table,
                                 const char* Bits, int64_t BitsSize)
{
    const int64_t offBits = 14 + Header.size() + Masks.size() + Table.size();
    QByteArray file;
    file.reserve(qsizetype(offBits + BitsSize));
    file.append("BM", 2);
    PutU32(file, uint32_t(offBits + BitsSize));
    PutU32(file, 0);
    PutU32(file, uint32_t(offBits));
    file.append(Header).append(Masks).append(Table).append(Bits, qsizetype(BitsSize));
    TBytesStream stream(file);
    auto bitmap = std::make_unique<TBitmap>();
    try {
        bitmap->LoadFromStream(stream);
    } catch (const Exception&) {
        // What the bitmap class still refuses (colour masks, sizes) it names at offsets of a file that
        // only exists here.
        Fail(SMalformedBitmap);
    }
    return bitmap;
}

void PatchU32(QByteArray& Header, int Offset, uint32_t Value) { qToLittleEndian(Value, Header.data() + Offset); }

// --- writing ---------------------------------------------------------------------------------------

// The header fields a bitmap was read with, while they still describe it.
bool InfoDescribes(const TBitmap& Bitmap)
{
    const TBitmapInfo& info = Bitmap.Info();
    return info.Width == Bitmap.Width() && info.Height == Bitmap.Height() && info.BitCount == Bitmap.BitCount();
}

// Header, colour masks and colour table of a bitmap written as an icon DIB. RowsSize is the size of the
// bitmap's own rows, FullSize that of all the bits the DIB holds, HalfSize that of the XOR half of a
// 1-bit image (-1 otherwise).
void PutBitmapHeader(QByteArray& Out, const TBitmap& Bitmap, int32_t HeaderHeight, int64_t RowsSize,
                     int64_t FullSize, int64_t HalfSize)
{
    const bool known = InfoDescribes(Bitmap);
    const TBitmapInfo& info = Bitmap.Info();
    const int bitCount = Bitmap.BitCount();
    TIconDIBHeader h;
    h.biWidth = Bitmap.Width();
    h.biHeight = HeaderHeight;
    h.biBitCount = uint16_t(bitCount);
    // Icons commonly count only the XOR bits (or, at 1 bit, one half); keep the form a file had.
    const int64_t kept = info.SizeImage;
    h.biSizeImage = uint32_t(known && (kept == RowsSize || kept == HalfSize || kept == FullSize) ? kept : FullSize);
    if (known) {
        h.biXPelsPerMeter = info.XPelsPerMeter;
        h.biYPelsPerMeter = info.YPelsPerMeter;
    }
    TColorArray table;
    QByteArray masks;
    if (bitCount <= 8) {
        PaletteToColors(Bitmap, table);
        const size_t tableSize = size_t(1) << bitCount;
        if (table.size() > tableSize) table.resize(tableSize);
        if (table.empty()) table.resize(tableSize, clBlack);
        h.biClrUsed = known && info.ClrUsed == 0 && table.size() == tableSize ? 0 : uint32_t(table.size());
        if (known && info.ClrImportant <= table.size()) h.biClrImportant = info.ClrImportant;
    } else if (known && info.Compression == BI_BITFIELDS &&
               (bitCount == 16 || (info.Masks[0] == 0xFF0000 && info.Masks[1] == 0xFF00 && info.Masks[2] == 0xFF))) {
        // Rows kept as stored; other masks were turned into plain pixels when read.
        h.biCompression = BI_BITFIELDS;
        for (int i = 0; i < 3; ++i) PutU32(masks, info.Masks[size_t(i)]);
    } else if (Bitmap.PixelFormat() == pf16bit) {
        // Plain 16-bit DIBs are 5-5-5: 5-6-5 words need their masks.
        h.biCompression = BI_BITFIELDS;
        for (uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) PutU32(masks, m);
    }
    PutHeader(Out, h);
    Out.append(masks);
    for (TColor c : table) PutColor(Out, c);
}

void PutRows(QByteArray& Out, const TBitmap& Bitmap)
{
    const int rowSize = Bitmap.RowSize();
    for (int y = Bitmap.Height() - 1; y >= 0; --y) Out.append(reinterpret_cast<const char*>(Bitmap.ScanLine(y)), rowSize);
}

// The entries of a PNG's PLTE chunk as stored: the PNG reader keeps no more than the bit depth allows.
int64_t StoredPaletteEntries(const QByteArray& Png)
{
    const TBinaryReader reader(Png);
    int64_t offset = 8;
    while (reader.Has(offset, 8)) {
        const uint32_t length = qbswap(reader.U32(offset, "PNG chunk length"));
        const QByteArray type = reader.Bytes(offset + 4, 4, "PNG chunk type");
        if (type == "PLTE") return length / 3;
        if (type == "IDAT") break;
        offset += 12 + int64_t(length);
    }
    return 0;
}

} // namespace

TBitmap MaskFromAlpha(const TBitmap& Bitmap32)
{
    if (Bitmap32.PixelFormat() != pf32bit) Fail(SMalformedBitmap);
    TBitmap mask(Bitmap32.Width(), Bitmap32.Height(), pf1bit);
    for (int y = 0; y < Bitmap32.Height(); ++y) {
        const uint8_t* src = Bitmap32.ScanLine(y);
        uint8_t* dst = mask.ScanLine(y);
        for (int x = 0; x < Bitmap32.Width(); ++x)
            if (src[4 * x + 3] == 0) dst[x >> 3] |= uint8_t(0x80 >> (x & 7));
    }
    return mask;
}

// --- TIconEncoder ----------------------------------------------------------------------------------

void TIconEncoder::DecodeInfo(TStream& Stream, TColorDepth ExpectedColorDepth)
{
    const int64_t position = Stream.Position();
    std::unique_ptr<TBitmap> color, mask;
    try {
        Decode(Stream, color, mask, ExpectedColorDepth);
    } catch (...) {
        Stream.SetPosition(position);
        throw;
    }
    Stream.SetPosition(position);
}

// --- DIB routines ----------------------------------------------------------------------------------

int64_t IconDIBSize(const TIconDIBHeader& Header)
{
    const TIconDIBSizes s = ComputeIconDIBSizes(Header);
    const int64_t given = Header.biSizeImage;
    // Counting only the XOR bits is what real icons almost always do: not worth a word.
    if (given != 0 && given != s.Bits && given != s.Bits - s.MaskBits)
        LogMessage(QStringLiteral("Icon/Cursor DIB size mismatch. Header.biSizeImage: %1, Calculated: %2")
                       .arg(given)
                       .arg(s.Bits),
                   rmWarning);
    return s.HeaderPart + s.Bits;
}

void CreateIconBitmaps(const QByteArray& DIB, std::unique_ptr<TBitmap>& Color, std::unique_ptr<TBitmap>& Mask)
{
    Color.reset();
    Mask.reset();
    const TBinaryReader reader(DIB);
    if (!reader.Has(0, DIBHeaderSize)) Fail(SPrematureEnd);
    const TIconDIBHeader h = ReadDIBHeader(reader);
    ValidateIconDIBHeader(h);
    const TIconDIBSizes sizes = ComputeIconDIBSizes(h);
    if (DIB.size() < sizes.HeaderPart + sizes.Bits) Fail(SPrematureEnd);

    const int bitCount = h.biBitCount;
    const int32_t rows = bitCount == 1 ? h.biHeight : h.biHeight / 2;
    const int64_t rowsSize = RowBytes(h.biWidth, bitCount) * rows;
    const int64_t masksOffset = h.biSize;
    const int64_t tableOffset = masksOffset + ColorMaskBytes(h);
    const int64_t bitsOffset = sizes.HeaderPart;

    QByteArray header = reader.Bytes(0, h.biSize, "icon bitmap header");
    PatchU32(header, 8, uint32_t(rows));
    // The size the icon gave stays with the bitmap where it is one an icon may have; any other becomes
    // the size of the rows.
    const int64_t given = h.biSizeImage;
    const int64_t maskSize = RowBytes(h.biWidth, 1) * rows;
    const bool keepSize = given == 0 || given == rowsSize ||
                          (bitCount == 1 ? given == rowsSize / 2 : given == rowsSize + maskSize);
    PatchU32(header, 20, uint32_t(keepSize ? given : rowsSize));
    QByteArray table;
    if (bitCount <= 8) {
        const int64_t tableSize = int64_t(1) << bitCount;
        int64_t entries = ColorTableEntries(h);
        if (entries > tableSize) {
            entries = tableSize;
            PatchU32(header, 32, uint32_t(entries));
        }
        table = reader.Bytes(tableOffset, 4 * entries, "icon colour table");
    } else {
        // A colour table of a true-colour image only helps palette displays: dropped.
        PatchU32(header, 32, 0);
        PatchU32(header, 36, 0);
    }
    const QByteArray masks = reader.Bytes(masksOffset, ColorMaskBytes(h), "icon colour masks");
    std::unique_ptr<TBitmap> image = LoadDIB(header, masks, table, DIB.constData() + bitsOffset, rowsSize);
    if (bitCount == 1) {
        Mask = std::move(image);
        return;
    }

    TIconDIBHeader m;
    m.biWidth = h.biWidth;
    m.biHeight = rows;
    m.biBitCount = 1;
    m.biSizeImage = uint32_t(maskSize);
    m.biXPelsPerMeter = h.biXPelsPerMeter;
    m.biYPelsPerMeter = h.biYPelsPerMeter;
    m.biClrUsed = 2;
    QByteArray maskHeader;
    PutHeader(maskHeader, m);
    QByteArray maskTable;
    PutColor(maskTable, clBlack);
    PutColor(maskTable, clWhite);
    std::unique_ptr<TBitmap> mask =
        LoadDIB(maskHeader, {}, maskTable, DIB.constData() + bitsOffset + rowsSize, maskSize);
    Color = std::move(image);
    Mask = std::move(mask);
}

// --- TIconBMPEncoder -------------------------------------------------------------------------------

void TIconBMPEncoder::Decode(TStream& Stream, std::unique_ptr<TBitmap>& Color, std::unique_ptr<TBitmap>& Mask,
                             TColorDepth)
{
    Color.reset();
    Mask.reset();
    const int64_t start = Stream.Position();
    const QByteArray headerBytes = Stream.ReadBytes(DIBHeaderSize);
    if (headerBytes.size() < DIBHeaderSize) Fail(SPrematureEnd);
    const TIconDIBHeader h = ReadDIBHeader(TBinaryReader(headerBytes));
    ValidateIconDIBHeader(h);

    const int64_t size = IconDIBSize(h);
    Stream.SetPosition(start);
    if (Stream.Size() - start < size) Fail(SPrematureEnd);
    const QByteArray dib = Stream.ReadBytes(size);
    if (dib.size() < size) Fail(SPrematureEnd);

    const int bitCount = h.biBitCount;
    const int colorsUsed = bitCount > 8 ? 0
                           : h.biClrUsed >= 1 && h.biClrUsed <= (1u << bitCount) ? int(h.biClrUsed)
                                                                               : 1 << bitCount;
    TColorArray palette;
    if (bitCount == 1) {
        palette = {clBlack, clWhite};
    } else if (bitCount <= 8) {
        const TBinaryReader reader(dib);
        const int64_t tableOffset = int64_t(h.biSize) + ColorMaskBytes(h);
        for (int i = 0; i < colorsUsed; ++i) {
            const uint32_t quad = reader.U32(tableOffset + 4 * i, "icon colour table");
            palette.push_back(RGBColor(int((quad >> 16) & 0xFF), int((quad >> 8) & 0xFF), int(quad & 0xFF)));
        }
    }

    std::unique_ptr<TBitmap> color, mask;
    CreateIconBitmaps(dib, color, mask);
    FColorDepth = bitCount;
    FWidth = h.biWidth;
    FHeight = h.biHeight / 2;
    FColorsUsed = colorsUsed;
    FPalette = std::move(palette);
    Color = std::move(color);
    Mask = std::move(mask);
}

void TIconBMPEncoder::DecodeInfo(TStream& Stream, TColorDepth)
{
    const int64_t start = Stream.Position();
    const QByteArray headerBytes = Stream.ReadBytes(DIBHeaderSize);
    Stream.SetPosition(start);
    if (headerBytes.size() < DIBHeaderSize) Fail(SPrematureEnd);
    const TIconDIBHeader h = ReadDIBHeader(TBinaryReader(headerBytes));
    // Both words may be anything here: their product can pass the range of int.
    const int64_t bitCount = int64_t(h.biPlanes) * h.biBitCount;
    FColorDepth = int(std::min<int64_t>(bitCount, INT32_MAX));
    FWidth = h.biWidth;
    FHeight = h.biHeight / 2;
    FColorsUsed = bitCount <= 8 ? 1 << bitCount : 0;
}

void TIconBMPEncoder::Encode(TStream& Stream, const TBitmap* Color, const TBitmap* Mask)
{
    if (!Color && !Mask) Fail(SMalformedBitmap);
    TBitmap alphaMask;
    if (Color && !Mask) {
        alphaMask = MaskFromAlpha(*Color);
        Mask = &alphaMask;
    }
    if (Mask->PixelFormat() != pf1bit || Mask->Empty()) Fail(SMalformedBitmap);
    if (Color && (Color->Width() != Mask->Width() || Color->Height() != Mask->Height())) Fail(SMalformedBitmap);

    const int64_t maskSize = int64_t(Mask->RowSize()) * Mask->Height();
    QByteArray out;
    if (Color) {
        const int64_t colorSize = int64_t(Color->RowSize()) * Color->Height();
        out.reserve(qsizetype(DIBHeaderSize + 1024 + colorSize + maskSize));
        PutBitmapHeader(out, *Color, 2 * Color->Height(), colorSize, colorSize + maskSize, -1);
        PutRows(out, *Color);
        PutRows(out, *Mask);
        FWidth = Mask->Width();
        FHeight = Mask->Height();
        FColorDepth = Color->BitCount();
    } else {
        out.reserve(qsizetype(DIBHeaderSize + 8 + maskSize));
        PutBitmapHeader(out, *Mask, Mask->Height(), maskSize, maskSize, maskSize / 2);
        PutRows(out, *Mask);
        FWidth = Mask->Width();
        FHeight = Mask->Height() / 2;
        FColorDepth = 1;
    }
    Stream.WriteBytes(out);
}

// --- TIconPNGEncoder -------------------------------------------------------------------------------

void TIconPNGEncoder::Decode(TStream& Stream, std::unique_ptr<TBitmap>& Color, std::unique_ptr<TBitmap>& Mask,
                             TColorDepth ExpectedColorDepth)
{
    Color.reset();
    Mask.reset();
    TPngImage png;
    const int64_t start = Stream.Position();
    png.LoadFromStream(Stream);
    if (png.ColorType() == COLOR_GRAYSCALE || png.ColorType() == COLOR_GRAYSCALEALPHA) Fail(SUnsupportedPNG);
    const int width = png.Width();
    const int height = png.Height();
    std::unique_ptr<TBitmap> color, mask;
    TColorArray palette;
    int depth = 0;
    int colorsUsed = 0;

    if (png.ColorType() == COLOR_PALETTE) {
        depth = png.BitDepth();
        int transparentIndex = -1;
        const bool onOff = png.TransparencyMode() == ptmBit;
        if (onOff) {
            if (!png.HasTransparencyChunk()) Fail(SUnsupportedPNG);
            const QByteArray& alpha = png.Transparency();
            for (int i = 0; i < alpha.size(); ++i)
                if (uint8_t(alpha[i]) == 0) {
                    transparentIndex = i;
                    break;
                }
        }
        const int maxEntries = 1 << depth;
        const int64_t end = Stream.Position();
        Stream.SetPosition(start);
        const int64_t storedEntries = StoredPaletteEntries(Stream.ReadBytes(end - start));
        if (std::max<int64_t>(int64_t(png.Palette().size()), storedEntries) > maxEntries) Fail(SMalformedPNG);
        palette = png.Palette();
        if (onOff && png.Transparency().size() > qsizetype(palette.size())) Fail(SMalformedPNG);
        for (TColor& c : palette) c = TColor(c.Value & 0xFFFFFF);
        if (depth != 1 && depth != 4 && depth != 8) Fail(SUnsupportedPNG);

        TBitmap pixels(width, height, pf32bit);
        mask = std::make_unique<TBitmap>(width, height, pf1bit);
        int highest = -1;
        for (int y = 0; y < height; ++y) {
            uint8_t* maskRow = mask->ScanLine(y);
            for (int x = 0; x < width; ++x) {
                const int index = png.PixelIndex(x, y);
                const TColor entry = index < int(palette.size()) ? palette[size_t(index)] : clBlack;
                if (index == transparentIndex) {
                    maskRow[x >> 3] |= uint8_t(0x80 >> (x & 7));
                    pixels.SetPixel(x, y, depth == 1 ? entry : clBlack);
                } else {
                    pixels.SetPixel(x, y, entry);
                    highest = std::max(highest, index);
                }
            }
        }
        colorsUsed = highest + 1;
        if (transparentIndex >= 0 && transparentIndex < int(palette.size()))
            palette.erase(palette.begin() + transparentIndex);

        for (int d = std::max(1, ExpectedColorDepth); d <= 8 && d < depth; ++d) {
            if (colorsUsed <= 1 << d) {
                palette.resize(size_t((1 << d) - 1), clBlack);
                depth = d;
                break;
            }
        }
        color = std::make_unique<TBitmap>(width, height, ColorDepthToPixelFormat(depth));
        SetBitmapPalette(*color, ColorsToPalette(palette));
        color->CopyPixels(pixels);
    } else if (png.TransparencyMode() == ptmPartial) {
        if (png.ColorType() != COLOR_RGBALPHA) Fail(SUnsupportedPNG);
        color = std::make_unique<TBitmap>(width, height, pf32bit);
        for (int y = 0; y < height; ++y) {
            const uint8_t* src = png.ScanLine(y);
            uint8_t* dst = color->ScanLine(y);
            for (int x = 0; x < width; ++x) {
                dst[4 * x] = src[4 * x + 2];
                dst[4 * x + 1] = src[4 * x + 1];
                dst[4 * x + 2] = src[4 * x];
                dst[4 * x + 3] = src[4 * x + 3];
            }
        }
        color->SetAlphaFormat(afDefined);
        depth = PixelFormatToColorDepth(color->PixelFormat());
    } else {
        if (png.TransparencyMode() != ptmNone || png.ColorType() != COLOR_RGB) Fail(SUnsupportedPNG);
        color = std::make_unique<TBitmap>(width, height, pf24bit);
        for (int y = 0; y < height; ++y) {
            const uint8_t* src = png.ScanLine(y);
            uint8_t* dst = color->ScanLine(y);
            for (int x = 0; x < width; ++x) {
                dst[3 * x] = src[3 * x + 2];
                dst[3 * x + 1] = src[3 * x + 1];
                dst[3 * x + 2] = src[3 * x];
            }
        }
        depth = PixelFormatToColorDepth(color->PixelFormat());
    }

    FWidth = width;
    FHeight = height;
    FColorDepth = depth;
    FColorsUsed = colorsUsed;
    FPalette = std::move(palette);
    Color = std::move(color);
    Mask = std::move(mask);
}

void TIconPNGEncoder::Encode(TStream& Stream, const TBitmap* Color, const TBitmap* Mask)
{
    if (!Color) Fail(SInvalidPNGSource);
    const int width = Color->Width();
    const int height = Color->Height();
    const TColorDepth depth = PixelFormatToColorDepth(Color->PixelFormat());
    TPngImage png;
    int colorsUsed = 0;
    if (depth == 32) {
        png.CreateBlank(COLOR_RGBALPHA, 8, width, height);
        for (int y = 0; y < height; ++y) {
            const uint8_t* src = Color->ScanLine(y);
            uint8_t* dst = png.ScanLine(y);
            for (int x = 0; x < width; ++x) {
                dst[4 * x] = src[4 * x + 2];
                dst[4 * x + 1] = src[4 * x + 1];
                dst[4 * x + 2] = src[4 * x];
                dst[4 * x + 3] = src[4 * x + 3];
            }
        }
    } else if (depth == 24) {
        png.CreateBlank(COLOR_RGBALPHA, 8, width, height);
        for (int y = 0; y < height; ++y) {
            uint8_t* dst = png.ScanLine(y);
            for (int x = 0; x < width; ++x) {
                const TColor c = Color->Pixel(x, y);
                dst[4 * x] = uint8_t(GetRValue(c));
                dst[4 * x + 1] = uint8_t(GetGValue(c));
                dst[4 * x + 2] = uint8_t(GetBValue(c));
                dst[4 * x + 3] = 255;
            }
        }
    } else if (depth == 1 || depth == 4 || depth == 8) {
        if (!Mask || Mask->Width() < width || Mask->Height() < height) Fail(SInvalidPNGSource);
        png.CreateBlank(COLOR_PALETTE, depth, width, height);
        int highest = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                // Entry 0 is the transparent one, so every colour moves up by one; at 1 bit too, where only
                // colour 0 then has room (painting every pixel in it would lose the other).
                const int index = Mask->PixelIndex(x, y) != 0 ? 0 : Color->PixelIndex(x, y) + 1;
                // An index past the table only happens when the last entry is in use, refused below.
                png.SetPixelIndex(x, y, std::min(index, (1 << depth) - 1));
                highest = std::max(highest, index);
            }
        colorsUsed = highest + 1;
        if ((1 << depth) < colorsUsed) Fail(SPaletteFull);
        TColorArray palette;
        PaletteToColors(*Color, palette);
        palette.resize(size_t(1) << depth, clBlack);
        palette.insert(palette.begin(), TColor(0x0000FADE));
        palette.pop_back();
        png.SetPalette(palette);
        png.SetTransparency(QByteArray(1, '\0'));
    } else {
        Fail(depth > 8 ? SInvalidPNGSource : SUnsupportedPNG);
    }
    png.SaveToStream(Stream);
    FWidth = width;
    FHeight = height;
    FColorDepth = depth;
    FColorsUsed = colorsUsed;
}

// --- choice of encoder and the icon picture's decoder ----------------------------------------------

std::unique_ptr<TIconEncoder> CreateIconEncoder(TIconCompression Compression)
{
    if (Compression == icPNG) return std::make_unique<TIconPNGEncoder>();
    return std::make_unique<TIconBMPEncoder>();
}

TIconCompression IconCompressionOf(const QByteArray& ImageData)
{
    static const QByteArray signature("\x89PNG\r\n\x1A\n", 8);
    return ImageData.startsWith(signature) ? icPNG : icBMP;
}

QImage DecodeIconImage(const QByteArray& ImageData)
{
    TBytesStream stream(ImageData);
    const TIconCompression compression = IconCompressionOf(ImageData);
    std::unique_ptr<TIconEncoder> encoder = CreateIconEncoder(compression);
    std::unique_ptr<TBitmap> color, mask;
    try {
        // Palette images keep their own depth: a preview needs no reduction.
        encoder->Decode(stream, color, mask, 32);
    } catch (const EInvalidGraphic& e) {
        // Grey images and transparent colours are valid PNG files an icon item cannot edit; they still show.
        if (compression != icPNG || e.Message() != QLatin1String(SUnsupportedPNG)) throw;
        TBytesStream again(ImageData);
        TPngImage png;
        png.LoadFromStream(again);
        return png.ToQImage();
    }
    if (!mask) mask = std::make_unique<TBitmap>(color->Width(), color->Height(), pf1bit);
    TIcon icon;
    icon.SetBitmaps(color.get(), *mask);
    return icon.ToQImage();
}

void koIconEncoder_Initialize() { TIcon::SetImageDecoder(DecodeIconImage); }

void koIconEncoder_Finalize() { TIcon::SetImageDecoder(nullptr); }
