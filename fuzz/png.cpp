// PNG pictures: read; an untouched picture writes the bytes it was read from; written again by us, it reads
// back with the same colour type, depth, palette, transparency and pixels.
#include "FuzzCommon.h"

#include "platform/PngImage.h"
#include "platform/Streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzRun([&] {
        TCustomMemoryStream input(data, int64_t(size));
        TPngImage image;
        image.LoadFromStream(input);
        const QImage shown = image.ToQImage();
        if (shown.width() != image.Width() || shown.height() != image.Height())
            FuzzFinding(QStringLiteral("the shown picture has another size"));

        TBytesStream untouched;
        image.SaveToStream(untouched);
        if (untouched.Bytes() != FuzzBytes(data, size).left(input.Position()))
            FuzzFinding(QStringLiteral("an untouched PNG is not written as it was read"));

        TPngImage changed(image);
        changed.ScanLine(0);
        TBytesStream written;
        changed.SaveToStream(written);
        TPngImage reread;
        try {
            written.SetPosition(0);
            reread.LoadFromStream(written);
        } catch (const Exception& e) {
            FuzzFinding(QStringLiteral("a PNG we wrote cannot be read: ") + e.Message());
        }
        if (reread.ColorType() != image.ColorType() || reread.BitDepth() != image.BitDepth() ||
            reread.Palette() != image.Palette() || reread.HasTransparencyChunk() != image.HasTransparencyChunk() ||
            reread.Transparency() != image.Transparency() || reread.TransparentColor() != image.TransparentColor())
            FuzzFinding(QStringLiteral("a PNG we wrote reads back with other chunks"));
        if (reread.ToQImage() != shown) FuzzFinding(QStringLiteral("a PNG we wrote reads back with other pixels"));
    });
    return 0;
}
