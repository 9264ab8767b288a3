// Dialog templates of either layout: a template that reads is written in the extended layout, which
// reads back and is written again byte for byte.
#include "FuzzCommon.h"

#include "kinds/koResourceItemDialog.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"

namespace {
QByteArray Written(TDialogResourceItem& Item)
{
    TBytesStream stream;
    Item.SaveToStream(stream);
    return stream.Bytes();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInitializeModel();
    const QByteArray bytes = FuzzBytes(data, size);
    FuzzRun([&] {
        TDialogResourceItem item(TResourceIdent::FromOrdinal(1));
        TBytesStream input(bytes);
        // A header cut short raises: that is the bytes' fault.
        item.LoadFromStream(input, input.Size());
        if (input.Position() != input.Size()) FuzzFinding(QStringLiteral("a template was not read to its end"));
        const QByteArray written = Written(item);

        TDialogResourceItem again(TResourceIdent::FromOrdinal(1));
        TBytesStream reread(written);
        try {
            again.LoadFromStream(reread, reread.Size());
        } catch (const Exception& e) {
            FuzzFinding(QStringLiteral("a template we wrote cannot be read: ") + e.Message());
        }
        if (!again.Extended() || again.Items()->Count() != item.Items()->Count())
            FuzzFinding(QStringLiteral("a template we wrote reads back with other controls"));
        if (Written(again) != written) FuzzFinding(QStringLiteral("a template we wrote is written otherwise"));
    });
    return 0;
}
