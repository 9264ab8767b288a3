#include "koResourcesKinds.h"

#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/SysUtils.h"
#include "platform/UpdateGuard.h"

namespace {
const char* const SGeneric = "Generic";
const char* const SItemNotRegistered = "Resource Item has not been registered: %s";
const int NoFileTypePriority = 1024;

TRegistrySingleton<TCustomResourceItemDatabase, TResourceItemDatabase>& Registry()
{
    static TRegistrySingleton<TCustomResourceItemDatabase, TResourceItemDatabase> registry;
    return registry;
}

// Asks a question about Data and puts its position back, whatever the answer.
template <typename F>
bool AskRestoring(TStream* Data, F&& question)
{
    if (!Data) return question();
    const int64_t position = Data->Position();
    bool answer;
    try {
        answer = question();
    } catch (...) {
        Data->SetPosition(position);
        throw;
    }
    Data->SetPosition(position);
    return answer;
}
} // namespace

// Class-level registration of item kinds

void TResourceItemClassInfo::Register(int Priority) const { ResourceItemDatabase()->Add(this, Priority); }

void TResourceItemClassInfo::Unregister() const { ResourceItemDatabase()->Remove(this); }

void TResourceItemClassInfo::RegisterFileType(const QString& FileType, const QString& Description,
                                              TResourceFilerCapabilities Capabilities, int Priority) const
{
    ResourceItemDatabase()->AddFileType(this, FileType, Capabilities, Priority, Description);
}

std::shared_ptr<IResourceFileTypes> TResourceItemClassInfo::GetFileTypes(TResourceFileCapability Capability) const
{
    return ResourceItemDatabase()->FileTypes(this, {Capability});
}

// Registry

TResourceItemClass TCustomResourceItemDatabase::Find(const TResourceIdent& ResourceType, const TResourceIdent& Name,
                                                     TStream* Data) const
{
    for (int i = 0; i < GetCount(); ++i) {
        TResourceItemClass kind = GetItem(i);
        if (AskRestoring(Data, [&] { return kind->Handles(ResourceType, Name, Data); })) return kind;
    }
    return nullptr;
}

TResourceItemClass TCustomResourceItemDatabase::FindFileFormat(const QString& Filename, TStream* Data) const
{
    if (TResourceItemClass kind = FindFileType(Filename, {fcLoad}))
        if (AskRestoring(Data, [&] { return kind->HandlesFile(Filename, Data); })) return kind;
    for (int i = 0; i < GetCount(); ++i) {
        TResourceItemClass kind = GetItem(i);
        if (AskRestoring(Data, [&] { return kind->HandlesFile(Filename, Data); })) return kind;
    }
    return nullptr;
}

std::unique_ptr<IResourceItemClassEnumerator> TCustomResourceItemDatabase::GetEnumerator() const
{
    return std::make_unique<TIndexEnumerator<IResourceItemClassEnumerator, TCustomResourceItemDatabase,
                                             &TCustomResourceItemDatabase::GetItem, &TCustomResourceItemDatabase::GetCount>>(this);
}

TResourceItemClass TResourceItemDatabase::GetItem(int Index) const
{
    if (Index < 0 || Index >= GetCount()) throw EListError(Format("List index out of bounds (%d)", {Index}));
    return FItems[static_cast<size_t>(Index)]->ResourceItemClass();
}

TResourceItemEntry* TResourceItemDatabase::EntryOf(TResourceItemClass ResourceItemClass) const
{
    for (const auto& entry : FItems)
        if (entry->ResourceItemClass() == ResourceItemClass) return entry.get();
    return nullptr;
}

void TResourceItemDatabase::Add(TResourceItemClass ResourceItemClass, int Priority)
{
    std::unique_ptr<TResourceItemEntry> entry;
    for (auto it = FItems.begin(); it != FItems.end(); ++it) {
        if ((*it)->ResourceItemClass() != ResourceItemClass) continue;
        if (Priority >= (*it)->Priority()) return;
        entry = std::move(*it);
        FItems.erase(it);
        entry->SetPriority(Priority);
        break;
    }
    if (!entry) entry = std::make_unique<TResourceItemEntry>(ResourceItemClass, Priority);
    // Before every entry of equal or higher priority: among equals the latest comes first.
    size_t index = FItems.size();
    while (index > 0 && FItems[index - 1]->Priority() >= Priority) --index;
    FItems.insert(FItems.begin() + static_cast<ptrdiff_t>(index), std::move(entry));
}

void TResourceItemDatabase::Remove(TResourceItemClass ResourceItemClass)
{
    for (auto it = FItems.begin(); it != FItems.end(); ++it)
        if ((*it)->ResourceItemClass() == ResourceItemClass) {
            FItems.erase(it);
            return;
        }
}

void TResourceItemDatabase::AddFileType(TResourceItemClass ResourceItemClass, const QString& FileType,
                                        TResourceFilerCapabilities Capabilities, int Priority, const QString& Description)
{
    TResourceItemEntry* entry = EntryOf(ResourceItemClass);
    if (!entry) return;
    entry->AddFileType(FileType, Description, Priority, Capabilities);
}

TResourceItemClass TResourceItemDatabase::FindFileType(const QString& Filename, TResourceFilerCapabilities Capabilities) const
{
    QString ext = ExtractFileExt(Filename);
    if (!ext.isEmpty()) ext.remove(0, 1);
    int best = NoFileTypePriority;
    TResourceItemClass result = nullptr;
    for (const auto& entry : FItems) {
        const TResourceFileTypeList* types = entry->FileTypesIfAny();
        for (int i = 0; types && i < types->Count(); ++i) {
            const TResourceFileType* type = types->Items(i);
            if (!SameText(type->FileType(), ext)) continue;
            if (type->Priority() < best && !(type->Capabilities() * Capabilities).IsEmpty()) {
                best = type->Priority();
                result = entry->ResourceItemClass();
            }
            break; // only the first matching type of an entry is looked at
        }
    }
    return result;
}

IResourceFileTypesPtr TResourceItemDatabase::FileTypes(TResourceItemClass ResourceItemClass,
                                                       TResourceFilerCapabilities Capabilities) const
{
    std::unique_ptr<TResourceFileTypeList> list = CollectFileTypes(FItems, ResourceItemClass, Capabilities);
    if (!list) throw Exception(Format(QString::fromLatin1(SItemNotRegistered), {ResourceItemClass->ClassName()}));
    return std::make_shared<TResourceFileTypes>(std::move(list));
}

TCustomResourceItemDatabase* ResourceItemDatabase() { return Registry().Get(); }

TResourceItemDatabaseFactory SetResourceItemDatabaseClass(TResourceItemDatabaseFactory Factory)
{
    return Registry().SetFactory(Factory);
}

// Generic kinds

TCustomResourceItemGeneric::TCustomResourceItemGeneric(const TResourceIdent& AResType, const TResourceIdent& AResName)
    : TResourceItem(AResType, AResName), FData(std::make_unique<TMemoryStream>())
{
}

TCustomResourceItemGeneric::~TCustomResourceItemGeneric() = default;

QString TCustomResourceItemGeneric::ResourceTypeName() { return QString::fromLatin1(SGeneric); }

void TCustomResourceItemGeneric::Clear()
{
    TUpdateGuard batch(this);
    FData->Clear();
}

void TCustomResourceItemGeneric::LoadFromStream(TStream& Stream, int64_t Size)
{
    // Read first: data that turns out short leaves the item as it was.
    auto data = std::make_unique<TMemoryStream>();
    if (Stream.Size() > 0 && Size > 0) data->CopyFrom(Stream, Size);
    data->SetPosition(0);
    TUpdateGuard batch(this);
    Clear();
    FData = std::move(data);
}

void TCustomResourceItemGeneric::SaveToStream(TStream& Stream)
{
    if (FData->Size() == 0) return;
    FData->SetPosition(0);
    Stream.CopyFrom(*FData, FData->Size());
    FData->SetPosition(0);
}

TResourceItemGeneric::TResourceItemGeneric(const TResourceIdent& AResName)
    : TResourceItemGenericPersistable(TResourceIdent(QString::fromLatin1(SGeneric)), AResName)
{
}

void TResourceItemGeneric::DoSetSize(int Value)
{
    if (Value < 0 || Value == Size()) return;
    Data()->SetSize(Value);
    TCustomResourceItem::DoSetSize(Value);
    Changed();
}

void koResourcesKinds_Initialize() { TResourceItemGeneric::ClassInfo()->Register(1024); }

void koResourcesKinds_Finalize()
{
    TResourceItemGeneric::ClassInfo()->Unregister();
    Registry().Reset();
}
