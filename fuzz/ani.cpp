// Animated cursors (RIFF "ACON"): an animation that reads is written again, and what we wrote reads
// back to the same frames and sequence and is written again byte for byte.
#include "FuzzCommon.h"

#include "kinds/koResourceItemAnimatedIconCursor.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"

namespace {

QByteArray Written(TCustomAnimatedIconCursorResourceItem& Item)
{
    TBytesStream stream;
    Item.SaveToStream(stream);
    return stream.Bytes();
}

// Frame index and rate of every step.
std::vector<std::pair<int, int>> Steps(const TCustomAnimatedIconCursorResourceItem& Item)
{
    std::vector<std::pair<int, int>> steps;
    for (int i = 0; i < Item.Sequence()->Count(); ++i)
        steps.emplace_back(Item.Sequence()->Items(i)->FrameIndex(), Item.Sequence()->Items(i)->DisplayRate());
    return steps;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInitializeModel();
    const QByteArray bytes = FuzzBytes(data, size);
    FuzzRun([&] {
        TAnimatedCursorResourceItem item(TResourceIdent::FromOrdinal(1));
        TBytesStream input(bytes);
        item.LoadFromStream(input, input.Size());
        // A frame whose image cannot be decoded may refuse to be written: that is the bytes' fault.
        const QByteArray written = Written(item);

        TAnimatedCursorResourceItem again(TResourceIdent::FromOrdinal(1));
        TBytesStream reread(written);
        try {
            again.LoadFromStream(reread, reread.Size());
        } catch (const Exception& e) {
            FuzzFinding(QStringLiteral("an animation we wrote cannot be read: ") + e.Message());
        }
        if (again.FrameCount() != item.FrameCount() || Steps(again) != Steps(item) ||
            again.DefaultDisplayRate() != item.DefaultDisplayRate() || again.Title() != item.Title() ||
            again.Author() != item.Author() || again.Copyright() != item.Copyright())
            FuzzFinding(QStringLiteral("an animation we wrote reads back otherwise"));
        if (Written(again) != written) FuzzFinding(QStringLiteral("an animation we wrote is written differently"));
    });
    return 0;
}
