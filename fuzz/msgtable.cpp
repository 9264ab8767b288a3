// Message tables, read in a single-byte and a double-byte code page: every message read comes back with
// its ID and text from the saved data, and the saved data saves again to the same bytes.
#include "FuzzCommon.h"

#include "kinds/koResourceItemMessageTable.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <map>

namespace {
std::map<uint32_t, QString> Messages(const TMessageTableResourceItem& Item)
{
    std::map<uint32_t, QString> messages;
    for (int i = 0; i < Item.Strings()->Count(); ++i)
        messages[Item.Strings()->Items(i)->IDValue()] = Item.Strings()->Items(i)->Value();
    return messages;
}

QByteArray Save(TMessageTableResourceItem& Item)
{
    TMemoryStream out;
    Item.SaveToStream(out);
    return out.ToByteArray();
}

void RoundTrip(const QByteArray& Bytes, uint16_t Language)
{
    TMessageTableResourceItem table(TResourceIdent::FromOrdinal(1));
    table.SetLanguage(Language);
    TBytesStream stream(Bytes);
    table.LoadFromStream(stream, Bytes.size());
    if (table.Strings()->Count() > Bytes.size() / 4) FuzzFinding(QStringLiteral("more messages than the data holds entries"));
    // A message read from ANSI bytes may grow past an entry as UTF-16: a refusal, not a finding.
    const QByteArray saved = Save(table);
    // A table without messages is no data at all, which reads as no table.
    if (saved.isEmpty()) return;
    TMessageTableResourceItem again(TResourceIdent::FromOrdinal(1));
    again.SetLanguage(Language);
    TBytesStream savedStream(saved);
    try {
        again.LoadFromStream(savedStream, saved.size());
    } catch (const Exception& e) {
        FuzzFinding(QStringLiteral("a message table we wrote cannot be read: ") + e.Message());
    }
    if (Messages(again) != Messages(table)) FuzzFinding(QStringLiteral("the saved message table reads back otherwise"));
    if (Save(again) != saved) FuzzFinding(QStringLiteral("a saved message table saves again to other bytes"));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInitializeModel();
    const QByteArray bytes = FuzzBytes(data, size);
    FuzzRun([&] { RoundTrip(bytes, 0x0409); });
    FuzzRun([&] { RoundTrip(bytes, 0x0411); });
    return 0;
}
