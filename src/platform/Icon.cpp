#include "Icon.h"

#include "BinaryReader.h"
#include "Bitmap.h"
#include "Streams.h"

#include <QtEndian>

namespace {

TIcon::TImageDecoder ImageDecoder = nullptr;

// The bits per pixel an entry's image holds: the entry says so for icons; cursors keep their hot spot
// there, so the image's own header (a DIB's bit count; a PNG counts as 32 bits) decides.
int DepthOf(const TBinaryReader& image, bool isIcon, int entryBits, int entryColors)
{
    if (isIcon && entryBits > 0) return entryBits;
    if (image.TryU32(0) == 0x474E5089u) return 32; // "\x89PNG"
    if (const auto bits = image.TryU16(14)) return *bits;
    int depth = 0;
    while (entryColors > 1) {
        entryColors >>= 1;
        ++depth;
    }
    return depth ? depth : 8;
}

void Put16(QByteArray& d, qsizetype at, uint16_t v) { qToLittleEndian(v, d.data() + at); }
void Put32(QByteArray& d, qsizetype at, uint32_t v) { qToLittleEndian(v, d.data() + at); }

} // namespace

void TIcon::SetImageDecoder(TImageDecoder Decoder) { ImageDecoder = Decoder; }

void TIcon::SetImage(const QImage& Image, bool IsIcon, QPoint Hotspot)
{
    FImage = Image.isNull() ? QImage() : Image.convertToFormat(QImage::Format_ARGB32);
    FIsIcon = IsIcon;
    FHotspot = Hotspot;
}

void TIcon::SetBitmaps(const TBitmap* Color, const TBitmap& Mask, bool IsIcon, QPoint Hotspot)
{
    // Without a colour bitmap the mask is twice as high: AND mask on top, image below.
    const int width = Color ? Color->Width() : Mask.Width();
    const int height = Color ? Color->Height() : Mask.Height() / 2;
    const int imageTop = Color ? 0 : height;
    QImage image(width, height, QImage::Format_ARGB32);
    bool alpha = false;
    if (Color && Color->PixelFormat() == pf32bit)
        for (int y = 0; y < height && !alpha; ++y)
            for (int x = 0; x < width && !alpha; ++x) alpha = Color->PixelAlpha(x, y) != 0;
    const bool indexedMask = Mask.PixelFormat() == pf1bit || Mask.PixelFormat() == pf4bit || Mask.PixelFormat() == pf8bit;
    auto maskBit = [&](int x, int y) {
        if (x >= Mask.Width() || y >= Mask.Height()) return false;
        return indexedMask ? Mask.PixelIndex(x, y) != 0 : ColorToRGB(Mask.Pixel(x, y)) != clBlack;
    };
    for (int y = 0; y < height; ++y) {
        QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const TColor c = Color ? Color->Pixel(x, y) : Mask.Pixel(x, imageTop + y);
            if (alpha) {
                out[x] = ColorToQRgb(c, Color->PixelAlpha(x, y));
            } else if (!maskBit(x, y)) {
                out[x] = ColorToQRgb(c);
            } else if (ColorToRGB(c) == clWhite) {
                out[x] = qRgba(0, 0, 0, 255); // screen-inverting: shown black
            } else {
                out[x] = qRgba(0, 0, 0, 0);
            }
        }
    }
    FImage = width > 0 && height > 0 ? image : QImage();
    FIsIcon = IsIcon;
    FHotspot = Hotspot;
}

void TIcon::LoadFromStream(TStream& Stream)
{
    const QByteArray data = Stream.ReadBytes(Stream.Size() - Stream.Position());
    try {
        FImage = QImage();
        const TBinaryReader r(data);
        const uint16_t reserved = r.U16(0, "The icon header"), type = r.U16(2, "The icon header"),
                       count = r.U16(4, "The icon header");
        if (reserved != 0 || (type != 1 && type != 2))
            throw EInvalidGraphic(QStringLiteral("Icon image is not valid"));
        if (count == 0) throw EInvalidGraphic(QStringLiteral("The icon directory at offset 6 has no images."));
        const bool isIcon = type == 1;
        const TBinaryReader directory = r.Sub(6, int64_t(count) * 16, "The icon directory");
        int best = -1;
        int64_t bestArea = -1;
        int bestDepth = -1;
        QPoint bestHotspot;
        for (int i = 0; i < count; ++i) {
            const int64_t at = int64_t(i) * 16;
            const int width = directory.U8(at) ? directory.U8(at) : 256;
            const int height = directory.U8(at + 1) ? directory.U8(at + 1) : 256;
            const uint16_t planes = directory.U16(at + 4), bits = directory.U16(at + 6);
            const uint32_t size = directory.U32(at + 8), offset = directory.U32(at + 12);
            if (size == 0)
                throw EInvalidGraphic(QStringLiteral("The icon directory entry at offset %1 has an empty image.")
                                          .arg(directory.Base() + at));
            const TBinaryReader image = r.Sub(offset, size, "The icon image");
            const int depth = DepthOf(image, isIcon, bits, directory.U8(at + 2));
            const int64_t area = int64_t(width) * height;
            if (area > bestArea || (area == bestArea && depth > bestDepth)) {
                best = i;
                bestArea = area;
                bestDepth = depth;
                bestHotspot = isIcon ? QPoint() : QPoint(planes, bits);
            }
        }
        if (!ImageDecoder) throw EInvalidGraphic(QStringLiteral("No decoder of icon images is installed."));
        const int64_t at = int64_t(best) * 16;
        const QImage image = ImageDecoder(r.Bytes(directory.U32(at + 12), directory.U32(at + 8), "The icon image"));
        if (image.isNull()) throw EInvalidGraphic(QStringLiteral("Icon image is not valid"));
        SetImage(image, isIcon, bestHotspot);
    } catch (...) {
        FImage = QImage();
        throw;
    }
}

void TIcon::SaveToStream(TStream& Stream) const
{
    if (Empty()) return;
    const QImage image = FImage.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width(), h = image.height();
    const qsizetype colorRow = qsizetype(w) * 4, maskRow = (qsizetype(w) + 31) / 32 * 4;
    const qsizetype dibSize = 40 + (colorRow + maskRow) * h;
    QByteArray d(6 + 16 + dibSize, '\0');
    Put16(d, 2, FIsIcon ? 1 : 2);
    Put16(d, 4, 1);
    d[6] = char(w >= 256 ? 0 : w);
    d[7] = char(h >= 256 ? 0 : h);
    Put16(d, 10, uint16_t(FIsIcon ? 1 : FHotspot.x()));
    Put16(d, 12, uint16_t(FIsIcon ? 32 : FHotspot.y()));
    Put32(d, 14, uint32_t(dibSize));
    Put32(d, 18, 22);
    // A 32-bit BI_RGB DIB of twice the height (colour, then AND mask), rows bottom-up.
    Put32(d, 22, 40);
    Put32(d, 26, uint32_t(w));
    Put32(d, 30, uint32_t(2 * h));
    Put16(d, 34, 1);
    Put16(d, 36, 32);
    Put32(d, 42, uint32_t((colorRow + maskRow) * h));
    const qsizetype colors = 22 + 40, masks = colors + colorRow * h;
    for (int y = 0; y < h; ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        char* color = d.data() + colors + (h - 1 - y) * colorRow;
        char* mask = d.data() + masks + (h - 1 - y) * maskRow;
        for (int x = 0; x < w; ++x) {
            color[4 * x] = char(qBlue(in[x]));
            color[4 * x + 1] = char(qGreen(in[x]));
            color[4 * x + 2] = char(qRed(in[x]));
            color[4 * x + 3] = char(qAlpha(in[x]));
            if (qAlpha(in[x]) == 0) mask[x >> 3] = char(mask[x >> 3] | (0x80 >> (x & 7)));
        }
    }
    Stream.WriteBytes(d);
}
