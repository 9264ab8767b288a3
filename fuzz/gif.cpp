// GIF pictures: read into frames, colour maps and extensions; composed frame by frame; written by us,
// they read back with the same frames, maps, pixels and extensions; as a resource item and as an
// animated cursor import they never fail otherwise than with a message.
#include "FuzzCommon.h"

#include "kinds/koResourceItemAnimatedIconCursor.h"
#include "kinds/koResourceItemGIF.h"
#include "platform/GifImage.h"
#include "platform/Streams.h"

namespace {
bool SameFrames(const TGIFImage& A, const TGIFImage& B)
{
    if (A.FrameCount() != B.FrameCount() || A.Width() != B.Width() || A.Height() != B.Height()) return false;
    for (int i = 0; i < A.FrameCount(); ++i) {
        const TGIFFrame* a = A.Frames(i);
        const TGIFFrame* b = B.Frames(i);
        if (a->Pixels() != b->Pixels() || a->Left() != b->Left() || a->Top() != b->Top() ||
            a->Interlaced() != b->Interlaced() || a->Transparent() != b->Transparent() || a->Delay() != b->Delay() ||
            a->Disposal() != b->Disposal())
            return false;
        // Maps may grow by the padding the format needs, never change an entry.
        const TColorArray& mapA = a->ActiveColorMap().ExportPalette();
        const TColorArray& mapB = b->ActiveColorMap().ExportPalette();
        if (mapB.size() < mapA.size() || !std::equal(mapA.begin(), mapA.end(), mapB.begin())) return false;
    }
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzRun([&] {
        TCustomMemoryStream input(data, int64_t(size));
        TGIFImage image;
        image.LoadFromStream(input);
        const QSize screen = TGIFRenderer::ScreenSize(image);
        if (int64_t(screen.width()) * screen.height() <= 1 << 20) {
            TGIFRenderer renderer(image);
            for (int i = 0; i < image.FrameCount(); ++i) renderer.NextFrame();
        }

        // Frames without pixels are not written (the format cannot hold them).
        TGIFImage written(image);
        for (int i = written.FrameCount() - 1; i >= 0; --i)
            if (written.Frames(i)->Empty()) written.DeleteFrame(written.Frames(i));
        TBytesStream bytes;
        written.SaveToStream(bytes);
        TGIFImage reread;
        try {
            bytes.SetPosition(0);
            reread.LoadFromStream(bytes);
        } catch (const Exception& e) {
            FuzzFinding(QStringLiteral("a GIF we wrote cannot be read: ") + e.Message());
        }
        if (!SameFrames(written, reread)) FuzzFinding(QStringLiteral("a GIF we wrote reads back with other frames"));

        TGIFResourceItem item;
        TCustomMemoryStream resource(data, int64_t(size));
        item.LoadFromStream(resource, int64_t(size));
        for (int i = 0; i < item.FrameCount(); ++i) item.Frame(i)->SetColorDepth(2);
        (void)item.Size();

        TAnimatedCursorResourceItem cursor;
        cursor.Assign(image);
    });
    return 0;
}
