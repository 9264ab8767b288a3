#include "koResourceItemDesignInfo.h"

#include "model/koResources.h"
#include "platform/BinaryReader.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "platform/UpdateGuard.h"

namespace {

const char* const SPrematureEnd = "Premature end of data";
const char* const SMalformedItem = "Malformed resource item";
constexpr int64_t MaxNameLength = 4096;

[[noreturn]] void PrematureEnd() { throw Exception(QString::fromLatin1(SPrematureEnd)); }
[[noreturn]] void Malformed() { throw Exception(QString::fromLatin1(SMalformedItem)); }

// Reads at a cursor; anything that does not lie whole inside the data is a premature end.
class TDesignInfoCursor {
public:
    explicit TDesignInfoCursor(const TBinaryReader& AReader) : FReader(AReader) {}
    int64_t Position() const { return FPos; }
    void Seek(int64_t Position)
    {
        if (Position < 0 || Position > FReader.Size()) PrematureEnd();
        FPos = Position;
    }
    uint32_t U32()
    {
        const std::optional<uint32_t> v = FReader.TryU32(FPos);
        if (!v) PrematureEnd();
        FPos += 4;
        return *v;
    }
    // UTF-16 characters up to a zero, at most MaxNameLength of them; returns the bytes read.
    QString WideZ(int64_t& Bytes)
    {
        QString s;
        const int64_t start = FPos;
        for (;;) {
            const std::optional<uint16_t> c = FReader.TryU16(FPos);
            if (!c) PrematureEnd();
            FPos += 2;
            if (*c == 0) break;
            if (s.size() >= MaxNameLength) Malformed();
            s.append(QChar(*c));
        }
        Bytes = FPos - start;
        return s;
    }
    TResourceIdent SzOrOrd()
    {
        const std::optional<uint16_t> first = FReader.TryU16(FPos);
        if (!first) PrematureEnd();
        if (*first == 0xFFFF) {
            const std::optional<uint16_t> ordinal = FReader.TryU16(FPos + 2);
            if (!ordinal) PrematureEnd();
            FPos += 4;
            return TResourceIdent::FromOrdinal(*ordinal);
        }
        int64_t bytes = 0;
        return TResourceIdent(WideZ(bytes));
    }

private:
    const TBinaryReader& FReader;
    int64_t FPos = 0;
};

} // namespace

const TDesignInfoTag DesignInfoTags[11] = {
    {"LEFTMARGIN", 0x45},
    {"RIGHTMARGIN", 0x47},
    {"TOPMARGIN", 0x405},
    {"BOTTOMMARGIN", 0x407},
    {"VERTGUIDE", 0x41},
    {"HORZGUIDE", 0x401},
    {"VERTGUIDE_PROPORTIONAL", 0x42},
    {"VERTGUIDE_RIGHT", 0x43},
    {"HORZGUIDE_PROPORTIONAL", 0x402},
    {"HORZGUIDE_RIGHT", 0x403},
    {"MOCKUP", DesignInfoMockupTag},
};

QString DesignInfoTagName(uint32_t Tag)
{
    for (const TDesignInfoTag& tag : DesignInfoTags)
        if (tag.ID == Tag) return QString::fromLatin1(tag.Keyword);
    return {};
}

// TDesignInfoItemTags

TDesignInfoItemTag* TDesignInfoItemTags::Items(int Index) const
{
    if (Index < 0 || Index >= Count()) throw EListError(QStringLiteral("List index out of bounds (%1)").arg(Index));
    return FItems[size_t(Index)].get();
}

// TDesignInfoItem

TDesignInfoItem::TDesignInfoItem(TCustomResourceItemItems* ACollection)
    : TResourceItemItem<TDesignInfoResourceItem>(ACollection), FTags(std::make_unique<TDesignInfoItemTags>())
{
}

TDesignInfoItem::~TDesignInfoItem() = default;

QString TDesignInfoItem::DisplayName() const
{
    return ResourceIdentToString(FName) + QStringLiteral(": ") + ResourceTypeToFriendlyName(FResourceType);
}

// TDesignInfoResourceItem

TDesignInfoResourceItem::TDesignInfoResourceItem(const TResourceIdent& AResName)
    : TCustomResourceItemGeneric(TResourceIdent(QString::fromLatin1(DesignInfoResourceTypeName)), AResName),
      FItems(std::make_unique<TDesignInfoItems>(this))
{
}

TDesignInfoResourceItem::~TDesignInfoResourceItem()
{
    LockUpdate();
    FItems.reset();
}

bool TDesignInfoResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*)
{
    return ResourceType == TResourceIdent(QString::fromLatin1(DesignInfoResourceTypeName));
}

void TDesignInfoResourceItem::Clear()
{
    TUpdateGuard batch(this);
    inherited::Clear();
    FItems->Clear();
}

void TDesignInfoResourceItem::LoadFromStream(TStream& Stream, int64_t Size)
{
    TUpdateGuard batch(this);
    inherited::LoadFromStream(Stream, Size);
    const TBinaryReader data(reinterpret_cast<const char*>(Data()->Memory()), Data()->Size());
    TDesignInfoCursor at(data);
    TUpdateGuard entries(FItems.get());
    try {
        const uint32_t count = at.U32();
        int64_t next = at.Position();
        // Every entry header takes at least 16 bytes, so a count past the data ends at the data.
        for (uint32_t i = 0; i < count; ++i) {
            at.Seek(next);
            const TResourceIdent type = at.SzOrOrd();
            const TResourceIdent name = at.SzOrOrd();
            const uint32_t language = at.U32();
            const uint32_t tagsOffset = at.U32();
            const uint32_t tagsSize = at.U32();
            next = at.Position();
            TDesignInfoItem* entry = FItems->Add();
            entry->FResourceType = type;
            entry->FName = name;
            entry->FLanguage = language;
            at.Seek(tagsOffset);
            // A signed count: the last record may run past the tag list's size.
            int64_t remaining = tagsSize;
            while (remaining > 0) {
                const uint32_t id = at.U32();
                remaining -= 4;
                if (id == DesignInfoMockupTag) {
                    auto mockup = std::make_unique<TDesignInfoItemMockupTag>();
                    mockup->FEnabled = at.U32() != 0;
                    mockup->FOpacity = at.U32();
                    mockup->FLeft = at.U32();
                    mockup->FTop = at.U32();
                    int64_t nameBytes = 0;
                    mockup->FFilename = at.WideZ(nameBytes);
                    remaining -= 16 + nameBytes;
                    entry->Tags()->Add(std::move(mockup));
                } else {
                    const uint32_t value = at.U32();
                    const uint32_t reserved = at.U32();
                    remaining -= 8;
                    if (reserved != 0) Malformed();
                    entry->Tags()->Add(std::make_unique<TDesignInfoItemValueTag>(id, value));
                }
            }
            if (remaining < 0) Malformed();
        }
    } catch (...) {
        FItems->Clear();
        throw;
    }
}

void koResourceItemDesignInfo_Initialize() { TDesignInfoResourceItem::ClassInfo()->Register(-255); }

void koResourceItemDesignInfo_Finalize() { TDesignInfoResourceItem::ClassInfo()->Unregister(); }
