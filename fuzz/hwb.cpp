// The resource compiler's symbol data and design information, decoded as every kind that reads them:
// no read past the bytes, no more entries than the bytes can hold, and a rejection only where the
// format allows one.
#include "FuzzCommon.h"

#include "kinds/koResourceItemDesignInfo.h"
#include "kinds/koResourceItemHWB.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"

namespace {

template <class T>
std::unique_ptr<T> Load(const QByteArray& Bytes)
{
    auto item = std::make_unique<T>();
    TBytesStream stream(Bytes);
    item->LoadFromStream(stream, Bytes.size());
    return item;
}

// The list kinds never refuse their data: what cannot be read ends the list.
template <class T>
void Decode(const QByteArray& Bytes, int MinRecordSize)
{
    std::unique_ptr<T> item;
    try {
        item = Load<T>(Bytes);
    } catch (const Exception& e) {
        FuzzFinding(QStringLiteral("symbol data refused: ") + e.Message());
    }
    int entries = 0;
    if constexpr (std::is_same_v<T, THWBSymbolDefResourceItem>) {
        for (int i = 0; i < item->Files()->Count(); ++i) entries += 1 + item->Files()->Items(i)->Symbols()->Count();
    } else {
        entries = item->Entries()->Count();
    }
    if (entries > Bytes.size() / MinRecordSize) FuzzFinding(QStringLiteral("more entries than the data holds records"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInitializeModel();
    const QByteArray bytes = FuzzBytes(data, size);
    // The smallest records: resource map 28 bytes, definitions 6, file map 8, symbol map entries 6 and
    // their pairs 4.
    Decode<THWBResourceMapResourceItem>(bytes, 28);
    Decode<THWBSymbolDefResourceItem>(bytes, 6);
    Decode<THWBFileMapResourceItem>(bytes, 8);
    Decode<THWBSymbolMapResourceItem>(bytes, 4);
    FuzzRun([&] { Load<THWBSourceInfoResourceItem>(bytes); });
    FuzzRun([&] {
        auto item = Load<TDesignInfoResourceItem>(bytes);
        if (item->Entries()->Count() > bytes.size() / 16) FuzzFinding(QStringLiteral("more entries than headers fit"));
    });
    return 0;
}
