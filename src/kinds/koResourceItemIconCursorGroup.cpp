// Icon and cursor groups: the group resources that list the images, and the .ico and .cur files.
#include "koResourceItemIconCursor.h"

#include "model/koResourcesMessages.h"
#include "model/koResourcesModule.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/Graphics.h"
#include "platform/Streams.h"
#include "platform/UpdateGuard.h"

#include <QFileInfo>
#include <QHash>
#include <QPointer>

namespace {
const char* const SPrematureEnd = "Premature end of data";
const char* const SMalformedItem = "Malformed resource item";
const char* const SChildNotFound = "Icon/Cursor %s child not found: %u";
const char* const SInvalidFileFormat = "Invalid file format";
const char* const SInvalidCast = "Invalid class typecast";

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int v : values) result.append(char(v));
    return result;
}

// Reserved 0 and the type word; the count's high byte 0 (the image formats' test).
bool HasFileSignature(TStream* Data, int Type)
{
    return MatchSignature(Data, Bytes({0, 0, Type, 0, 0, 0}), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 0xFF}), 0);
}

bool HasExtension(const QString& Filename, const char* Extension)
{
    return QFileInfo(Filename).suffix().compare(QLatin1String(Extension), Qt::CaseInsensitive) == 0;
}

// The images of a module by the group class that takes them and their ordinal. Every group of a load
// binds against the same index, so binding stays linear in the module's size; it is built again when
// the load is over or the module's item count changed.
class TBindingIndex {
public:
    using TKey = QPair<const void*, uint16_t>;

    const std::vector<QPointer<TCustomResourceItem>>* Find(TCustomResourceModule* Module, TResourceItemClass GroupClass,
                                                           uint16_t Ordinal)
    {
        const int count = Module->Items()->Count();
        if (FModule != Module || FCount != count || !Module->ModuleState().Contains(msLoading)) {
            FItems.clear();
            for (TCustomResourceItem* item : *Module->Items()) {
                const TResourceItemClass parentClass = item->ClassType()->ParentClass();
                if (parentClass && item->NameIsInteger()) FItems[TKey(parentClass, item->NameInteger())].emplace_back(item);
            }
            FModule = Module;
            FCount = count;
        }
        const auto it = FItems.constFind(TKey(GroupClass, Ordinal));
        return it == FItems.cend() ? nullptr : &*it;
    }

private:
    QPointer<TCustomResourceModule> FModule;
    int FCount = -1;
    QHash<TKey, std::vector<QPointer<TCustomResourceItem>>> FItems;
};

TBindingIndex& BindingIndex()
{
    static TBindingIndex index;
    return index;
}

// What a group writes, in order: a child, or an entry kept from the load.
struct TSlot {
    TCustomResourceItem* Child = nullptr;
    const TIconCursorGroupKeptEntry* Kept = nullptr;
};
} // namespace

TCustomIconCursorGroupResourceItem::TCustomIconCursorGroupResourceItem(uint16_t TypeID, const TResourceIdent& AResName)
    : TResourceItem(TypeID, AResName)
{
}

TCustomIconCursorGroupResourceItem::~TCustomIconCursorGroupResourceItem() { ReleaseLooseChildren(); }

void TCustomIconCursorGroupResourceItem::BeforeDestruction()
{
    ReleaseLooseChildren();
    inherited::BeforeDestruction();
}

void TCustomIconCursorGroupResourceItem::ReleaseLooseChildren()
{
    if (!HasItems()) return;
    std::vector<TCustomResourceItem*> loose;
    for (TCustomResourceItem* child : *Items())
        if (!child->Module()) loose.push_back(child);
    for (TCustomResourceItem* child : loose) TResourceItemDeleter()(child);
}

void TCustomIconCursorGroupResourceItem::DoSetModule(TCustomResourceModule* Value)
{
    inherited::DoSetModule(Value);
    if (!Value) return;
    if (HasItems()) {
        std::vector<TCustomResourceItem*> loose;
        for (TCustomResourceItem* child : *Items())
            if (!child->Module()) loose.push_back(child);
        for (TCustomResourceItem* child : loose) child->SetModule(Value);
    }
    if (!FResourceDirectory.empty() && !Value->ModuleState().Contains(msLoading)) Bind();
}

namespace {
// The group's directory: one slot per image ordinal among the children (language variants of one
// ordinal share the slot, which names the variant in the group's language when there is one), with the
// kept entries in front of the child they preceded when read.
std::vector<TSlot> Layout(TCustomIconCursorGroupResourceItem* Group, const std::vector<TIconCursorGroupKeptEntry>& Kept)
{
    std::vector<TSlot> slots;
    QHash<const TCustomResourceItem*, size_t> slotOfChild;
    if (Group->HasItems()) {
        QHash<uint16_t, size_t> slotOfOrdinal;
        for (TCustomResourceItem* child : *Group->Items()) {
            if (qobject_cast<TCustomIconCursorResourceItem*>(child) && child->NameIsInteger()) {
                const auto it = slotOfOrdinal.constFind(child->NameInteger());
                if (it != slotOfOrdinal.cend()) {
                    slotOfChild.insert(child, *it);
                    TCustomResourceItem*& shown = slots[*it].Child;
                    if (shown->Language() != Group->Language() && child->Language() == Group->Language()) shown = child;
                    continue;
                }
                slotOfOrdinal.insert(child->NameInteger(), slots.size());
            }
            slotOfChild.insert(child, slots.size());
            slots.push_back({child, nullptr});
        }
    }
    if (Kept.empty()) return slots;
    std::vector<std::vector<const TIconCursorGroupKeptEntry*>> before(slots.size());
    std::vector<const TIconCursorGroupKeptEntry*> after;
    for (const TIconCursorGroupKeptEntry& entry : Kept) {
        const auto it = entry.Before ? slotOfChild.constFind(entry.Before.data()) : slotOfChild.cend();
        if (it != slotOfChild.cend())
            before[*it].push_back(&entry);
        else
            after.push_back(&entry);
    }
    std::vector<TSlot> result;
    result.reserve(slots.size() + Kept.size());
    for (size_t i = 0; i < slots.size(); ++i) {
        for (const TIconCursorGroupKeptEntry* entry : before[i]) result.push_back({nullptr, entry});
        result.push_back(slots[i]);
    }
    for (const TIconCursorGroupKeptEntry* entry : after) result.push_back({nullptr, entry});
    return result;
}

TResourceDirectory SlotEntry(const TSlot& Slot)
{
    TResourceDirectory entry;
    if (Slot.Kept) {
        if (Slot.Kept->Image)
            Slot.Kept->Image->GetResourceDirectory(entry);
        else
            entry = Slot.Kept->Entry;
    } else if (auto* image = qobject_cast<TCustomIconCursorResourceItem*>(Slot.Child)) {
        try {
            image->GetResourceDirectory(entry);
        } catch (const Exception&) {
            // Bytes the decoders refuse are still the image's: they keep the entry they were read with.
            entry = image->StoredResourceDirectory();
            entry.BytesInRes = uint32_t(image->ResourceData().size());
            entry.NameOrdinal = image->NameIsInteger() ? image->NameInteger() : 0;
        }
    }
    return entry;
}
} // namespace

void TCustomIconCursorGroupResourceItem::AssignFromItem(TCustomResourceItem* Source)
{
    auto* group = qobject_cast<TCustomIconCursorGroupResourceItem*>(Source);
    if (!group) {
        inherited::AssignFromItem(Source);
        return;
    }
    TMemoryStream file;
    group->SaveToFileStream(file);
    file.SetPosition(0);
    LoadFromFileStream(file);
}

void TCustomIconCursorGroupResourceItem::LoadFromStream(TStream& Stream, int64_t Size)
{
    TUpdateGuard<TCustomIconCursorGroupResourceItem> batch(this);
    const QByteArray data = Stream.ReadBytes(Size);
    TBytesStream bytes(data);
    const TIconDirectoryHeader header = TIconDirectoryHeader::Read(bytes);
    if (header.Type != GetImageType()) throw Exception(QString::fromLatin1(SMalformedItem));
    // Too little data for the entries leaves them zero; a stream that ends before Size is an error.
    std::vector<TResourceDirectory> directory(header.Count);
    if (header.Count > 0 && Size - TIconDirectoryHeader::Size >= int64_t(TResourceDirectory::Size) * header.Count)
        for (TResourceDirectory& entry : directory) entry = TResourceDirectory::Read(bytes);
    if (HasItems()) Items()->Clear();
    FKeptEntries.clear();
    FResourceDirectory = std::move(directory);
    // Read outside a module load (an edit of the data), the images are bound at once; a load binds them
    // when the whole module is there.
    if (Module() && !Module()->ModuleState().Contains(msLoading)) Bind();
}

void TCustomIconCursorGroupResourceItem::Bind()
{
    ATELIER_ASSERT(Module() != nullptr);
    const QString groupName = NameIsInteger() ? QStringLiteral("#%1").arg(NameInteger()) : NameAsString();
    // Kept entries waiting for the next bound child, which they were read in front of.
    size_t waiting = FKeptEntries.size();
    for (const TResourceDirectory& entry : FResourceDirectory) {
        const auto* candidates = BindingIndex().Find(Module(), ClassType(), entry.NameOrdinal);
        bool bound = false;
        TCustomIconCursorResourceItem* taken = nullptr;
        if (candidates) {
            for (const QPointer<TCustomResourceItem>& candidate : *candidates) {
                TCustomResourceItem* item = candidate.data();
                if (!item || item->Module() != Module() || !item->NameIsInteger() || item->NameInteger() != entry.NameOrdinal)
                    continue;
                auto* image = qobject_cast<TCustomIconCursorResourceItem*>(item);
                if (item->Parent()) {
                    if (image && (!taken || (taken->Language() != Language() && image->Language() == Language())))
                        taken = image;
                    continue;
                }
                Items()->Add(item);
                if (image) image->SetResourceDirectory(entry);
                if (!bound)
                    for (; waiting < FKeptEntries.size(); ++waiting) FKeptEntries[waiting].Before = item;
                bound = true;
            }
        }
        if (!bound) {
            LogMessage(Format(QString::fromLatin1(SChildNotFound), {groupName, entry.NameOrdinal}), rmWarning, this);
            FKeptEntries.push_back({entry, taken, nullptr});
        }
    }
    FResourceDirectory.clear();
}

void TCustomIconCursorGroupResourceItem::AfterLoad()
{
    Bind();
    inherited::AfterLoad();
}

void TCustomIconCursorGroupResourceItem::SaveToStream(TStream& Stream)
{
    // A group read but not bound yet writes its directory as read.
    if (!FResourceDirectory.empty()) {
        TIconDirectoryHeader{0, uint16_t(GetImageType()), uint16_t(FResourceDirectory.size())}.Write(Stream);
        for (const TResourceDirectory& entry : FResourceDirectory) entry.Write(Stream);
        return;
    }
    const std::vector<TSlot> slots = Layout(this, FKeptEntries);
    TIconDirectoryHeader{0, uint16_t(GetImageType()), uint16_t(slots.size())}.Write(Stream);
    for (const TSlot& slot : slots) SlotEntry(slot).Write(Stream);
}

void TCustomIconCursorGroupResourceItem::LoadFromFileStream(TStream& Stream)
{
    TUpdateGuard<TCustomIconCursorGroupResourceItem> batch(this);
    const int64_t start = Stream.Position();
    const TIconDirectoryHeader header = TIconDirectoryHeader::Read(Stream);
    if (header.Type != GetImageType()) throw EInvalidGraphic(QString::fromLatin1(SInvalidFileFormat));
    std::vector<TIconDirectoryEntry> entries;
    entries.reserve(header.Count);
    for (int i = 0; i < header.Count; ++i) entries.push_back(TIconDirectoryEntry::Read(Stream));
    // Everything is read before anything changes, so a damaged file leaves the group as it was.
    std::vector<QByteArray> images;
    images.reserve(entries.size());
    const int64_t size = Stream.Size();
    for (const TIconDirectoryEntry& entry : entries) {
        const int64_t at = start + entry.ImageOffset;
        if (at > size || size - at < int64_t(entry.BytesInRes)) throw EReadError(QString::fromLatin1(SPrematureEnd));
        QByteArray image;
        if (GetImageType() == 2) {
            // Only a cursor file gets here: its entry holds the hot spot.
            image.append(char(entry.Planes & 0xFF)).append(char(entry.Planes >> 8));
            image.append(char(entry.BitCount & 0xFF)).append(char(entry.BitCount >> 8));
        }
        Stream.SetPosition(at);
        image += Stream.ReadBytes(entry.BytesInRes);
        images.push_back(std::move(image));
    }

    std::vector<TCustomResourceItem*> previous;
    if (HasItems())
        for (TCustomResourceItem* child : *Items()) previous.push_back(child);
    std::vector<TCustomResourceItem*> created;
    const auto release = [this](TCustomResourceItem* item) {
        if (HasItems()) Items()->Remove(item);
        if (TCustomResourceModule* module = item->Module())
            module->Items()->Remove(item);
        else
            TResourceItemDeleter()(item);
    };
    try {
        for (size_t i = 0; i < entries.size(); ++i) {
            TCustomResourceItem* child = AddChild();
            created.push_back(child);
            child->SetModule(Module());
            auto* image = qobject_cast<TCustomIconCursorResourceItem*>(child);
            ATELIER_ASSERT(image != nullptr);
            image->InitializeNewItem();
            image->SetFileDirectory(entries[i]);
            TBytesStream data(images[i]);
            image->LoadFromStream(data, data.Size());
        }
    } catch (...) {
        for (TCustomResourceItem* item : created) release(item);
        throw;
    }
    // The file's images replace the group's own; images of other groups are not the group's to free.
    for (TCustomResourceItem* item : previous) release(item);
    FKeptEntries.clear();
    FResourceDirectory.clear();
}

void TCustomIconCursorGroupResourceItem::SaveToFileStream(TStream& Stream)
{
    const std::vector<TSlot> slots = Layout(this, FKeptEntries);
    std::vector<TCustomIconCursorResourceItem*> images;
    for (const TSlot& slot : slots) {
        if (slot.Kept) {
            // An image of another group is part of this one; a missing image has nothing to write.
            if (slot.Kept->Image) images.push_back(slot.Kept->Image.data());
            continue;
        }
        auto* image = qobject_cast<TCustomIconCursorResourceItem*>(slot.Child);
        if (!image) throw Exception(QString::fromLatin1(SInvalidCast));
        images.push_back(image);
    }
    const int64_t start = Stream.Position();
    TIconDirectoryHeader{0, uint16_t(GetImageType()), uint16_t(images.size())}.Write(Stream);
    Stream.WriteBytes(QByteArray(qsizetype(TIconDirectoryEntry::Size) * qsizetype(images.size()), '\0'));
    std::vector<TIconDirectoryEntry> entries(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        images[i]->GetFileDirectory(entries[i]);
        entries[i].ImageOffset = uint32_t(Stream.Position() - start);
        QByteArray data = images[i]->ResourceData();
        if (images[i]->GetImageType() == 2) data.remove(0, 4);
        Stream.WriteBytes(data);
        entries[i].BytesInRes = uint32_t(data.size());
    }
    const int64_t end = Stream.Position();
    Stream.SetPosition(start + TIconDirectoryHeader::Size);
    for (const TIconDirectoryEntry& entry : entries) entry.Write(Stream);
    Stream.SetPosition(end);
}

int TCustomIconCursorGroupResourceItem::GetSize() const
{
    auto* self = const_cast<TCustomIconCursorGroupResourceItem*>(this);
    const size_t count = !FResourceDirectory.empty() ? FResourceDirectory.size() : Layout(self, FKeptEntries).size();
    return int(TIconDirectoryHeader::Size + TResourceDirectory::Size * count);
}

// TIconGroupResourceItem

TIconGroupResourceItem::TIconGroupResourceItem(const TResourceIdent& AResName)
    : TCustomIconCursorGroupResourceItem(RT_GROUP_ICON, AResName)
{
}

bool TIconGroupResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*)
{
    return ResourceType == TResourceIdent::FromOrdinal(RT_GROUP_ICON);
}

bool TIconGroupResourceItem::HandlesFile(const QString& Filename, TStream* Data)
{
    return HasExtension(Filename, "ico") || HasFileSignature(Data, 1);
}

TResourceItemGlyphHandle TIconGroupResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    return TIconResourceItem::GetGlyph(Kind);
}

TCustomResourceItem* TIconGroupResourceItem::CreateChild() { return new TIconResourceItem(TResourceIdent::FromOrdinal(0)); }

// TCursorGroupResourceItem

TCursorGroupResourceItem::TCursorGroupResourceItem(const TResourceIdent& AResName)
    : TCustomIconCursorGroupResourceItem(RT_GROUP_CURSOR, AResName)
{
}

bool TCursorGroupResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*)
{
    return ResourceType == TResourceIdent::FromOrdinal(RT_GROUP_CURSOR);
}

bool TCursorGroupResourceItem::HandlesFile(const QString& Filename, TStream* Data)
{
    return HasExtension(Filename, "cur") || HasFileSignature(Data, 2);
}

TResourceItemGlyphHandle TCursorGroupResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    return TCursorResourceItem::GetGlyph(Kind);
}

TCustomResourceItem* TCursorGroupResourceItem::CreateChild()
{
    return new TCursorResourceItem(TResourceIdent::FromOrdinal(0));
}
