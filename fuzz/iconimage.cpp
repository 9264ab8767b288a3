// Icon and cursor images: an image read (a DIB with its mask, or a PNG) is written again by its encoder
// and reads back with the same pixels; a DIB we wrote is written again byte for byte.
#include "FuzzCommon.h"

#include "kinds/koIconEncoder.h"
#include "platform/Streams.h"

namespace {

// The pixels as shown, the mask's set bits transparent (whatever their colour).
QImage Shown(const TBitmap* Color, const TBitmap* Mask)
{
    const TBitmap& shape = Color ? *Color : *Mask;
    const int height = Color ? shape.Height() : shape.Height() / 2;
    QImage image(shape.Width(), height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < shape.Width(); ++x) {
            const TColor color = Color ? Color->Pixel(x, y) : Mask->Pixel(x, y + height);
            const int alpha = Color && Color->PixelFormat() == pf32bit ? Color->PixelAlpha(x, y) : 255;
            image.setPixel(x, y, Mask && Mask->PixelIndex(x, y) != 0 ? 0 : ColorToQRgb(color, alpha));
        }
    return image;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzRun([&] {
        const QByteArray bytes = FuzzBytes(data, size);
        const TIconCompression compression = IconCompressionOf(bytes);
        const TColorDepth expected = size ? 1 << (data[size - 1] % 6) : 4;
        std::unique_ptr<TBitmap> color, mask;
        TBytesStream input(bytes);
        CreateIconEncoder(compression)->Decode(input, color, mask, expected);
        if (!color && !mask) FuzzFinding(QStringLiteral("an image decoded to no bitmap"));

        TBytesStream written;
        try {
            CreateIconEncoder(compression)->Encode(written, color.get(), mask.get());
        } catch (const Exception& e) {
            // Only a palette without a free entry keeps a decoded PNG image from being written again.
            if (compression == icBMP || !e.Message().startsWith(QLatin1String("PNG compression with color depth")))
                FuzzFinding(QStringLiteral("a decoded image cannot be written again: ") + e.Message());
            return;
        }
        std::unique_ptr<TBitmap> color2, mask2;
        written.SetPosition(0);
        try {
            CreateIconEncoder(compression)->Decode(written, color2, mask2, expected);
        } catch (const Exception& e) {
            FuzzFinding(QStringLiteral("an image we wrote cannot be read: ") + e.Message());
        }
        if (Shown(color.get(), mask.get()) != Shown(color2.get(), mask2.get()))
            FuzzFinding(QStringLiteral("an image we wrote reads back with other pixels"));
        if (compression == icBMP) {
            TBytesStream again;
            CreateIconEncoder(icBMP)->Encode(again, color2.get(), mask2.get());
            if (again.Bytes() != written.Bytes()) FuzzFinding(QStringLiteral("a DIB we wrote is written differently"));
        }
    });
    return 0;
}
