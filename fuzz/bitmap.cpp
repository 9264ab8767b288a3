// Bitmap files and RT_BITMAP data: decoded, then written back. An untouched bitmap must write the
// bytes it was read from, and a changed one must read back to the same pixels.
#include "FuzzCommon.h"

#include "kinds/koResourceItemBitmap.h"
#include "platform/Streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = FuzzBytes(data, size);
    FuzzRun([&] {
        TBitmap bitmap;
        TBytesStream stream(bytes);
        // Bitmap files as they are, anything else as RT_BITMAP data (which gets a file header).
        const bool isFile = bytes.startsWith("BM");
        if (isFile)
            bitmap.LoadFromStream(stream);
        else
            TCustomBitmapResourceItem::LoadBitmapResource(bitmap, stream, bytes.size());
        TMemoryStream untouched;
        bitmap.SaveToStream(untouched);
        if (isFile && untouched.ToByteArray() != bytes.left(untouched.Size()))
            FuzzFinding(QStringLiteral("an untouched bitmap wrote other bytes than it read"));
        if (bitmap.Empty()) return;
        TBitmap changed = bitmap;
        changed.SetPixel(0, 0, changed.Pixel(0, 0));
        TMemoryStream written;
        changed.SaveToStream(written);
        written.SetPosition(0);
        TBitmap reread;
        reread.LoadFromStream(written);
        if (reread.Width() != bitmap.Width() || reread.Height() != bitmap.Height() ||
            reread.PixelFormat() != changed.PixelFormat())
            FuzzFinding(QStringLiteral("a written bitmap reads back with another size or format"));
        for (int y = 0; y < bitmap.Height(); y += std::max(1, bitmap.Height() / 8))
            for (int x = 0; x < bitmap.Width(); x += std::max(1, bitmap.Width() / 8))
                if (reread.Pixel(x, y) != changed.Pixel(x, y))
                    FuzzFinding(QStringLiteral("a written bitmap reads back with other pixels"));
    });
    return 0;
}
