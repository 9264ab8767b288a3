// Package information and edition markers: decoding reads nothing outside the bytes, adds no more
// entries than the bytes can hold, refuses only with its own message, and always keeps the bytes.
#include "FuzzCommon.h"

#include "kinds/koResourceItemDelphiStuff.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"

namespace {
template <class T>
void Decode(const QByteArray& Bytes, const std::function<void(const T&)>& Check)
{
    T item;
    TBytesStream stream(Bytes);
    try {
        item.LoadFromStream(stream, Bytes.size());
    } catch (const Exception& e) {
        if (e.Message() != QStringLiteral("Premature end of data")) FuzzFinding(QStringLiteral("refused with ") + e.Message());
    }
    TMemoryStream saved;
    item.SaveToStream(saved);
    if (saved.ToByteArray() != Bytes) FuzzFinding(QStringLiteral("the bytes changed"));
    Check(item);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInitializeModel();
    const QByteArray bytes = FuzzBytes(data, size);
    FuzzRun([&] {
        Decode<TDelphiPackageInfoResourceItem>(bytes, [&](const TDelphiPackageInfoResourceItem& item) {
            // A required package takes at least two bytes, a unit three.
            if (item.Requires()->Count() > bytes.size() / 2 || item.Contains()->Count() > bytes.size() / 3)
                FuzzFinding(QStringLiteral("more entries than the data holds"));
            if (item.PackageName().toUtf8().size() > 256 * 3) FuzzFinding(QStringLiteral("a name longer than its limit"));
        });
        Decode<TDelphiDVCLALResourceItem>(bytes, [&](const TDelphiDVCLALResourceItem& item) {
            if ((item.License() == DelphiTypes::dlInvalid) != (bytes.size() != 16))
                FuzzFinding(QStringLiteral("an edition from data of the wrong length"));
        });
    });
    return 0;
}
