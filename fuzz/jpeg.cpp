// JPEG pictures: read and decode; the picture is opaque, and is written as it was read.
#include "FuzzCommon.h"

#include "platform/JpegImage.h"
#include "platform/Streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzRun([&] {
        TCustomMemoryStream input(data, int64_t(size));
        TJPEGImage image;
        image.LoadFromStream(input);
        const QImage shown = image.ToQImage();
        if (shown.isNull() || shown.format() != QImage::Format_ARGB32 || shown.width() != image.Width())
            FuzzFinding(QStringLiteral("a decoded JPEG has no ARGB32 picture"));
        for (int y = 0; y < shown.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(shown.constScanLine(y));
            for (int x = 0; x < shown.width(); ++x)
                if (qAlpha(row[x]) != 255) FuzzFinding(QStringLiteral("a decoded JPEG is not opaque"));
        }
        TBytesStream saved;
        image.SaveToStream(saved);
        if (saved.Bytes() != FuzzBytes(data, size)) FuzzFinding(QStringLiteral("a JPEG is not written as it was read"));
    });
    return 0;
}
