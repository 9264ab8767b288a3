#include "koResourcesFiler.h"

#include "koGenerics.h"
#include "koResourcesKinds.h"
#include "koResourcesModule.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/Streams.h"
#include "platform/SysUtils.h"

#include <QSaveFile>

namespace {
const char* const SAllFilesFilter = "All files (*.*)|*.*";
const char* const SFilerNotRegistered = "Resource module has not been registered: %s";
const char* const SItemCannotWrite = "Item does not support writing";
const char* const SUnknownResourceType = "Unknown resource type: %s";

class TResourceFileTypeWrapper final : public IResourceFileType {
public:
    explicit TResourceFileTypeWrapper(const TResourceFileType* AFileType) : FResourceFileType(AFileType) {}
    QString GetFileType() const override { return FResourceFileType->FileType(); }
    QString GetDescription() const override { return FResourceFileType->Description(); }
    TResourceFilerCapabilities GetCapabilities() const override { return FResourceFileType->Capabilities(); }

private:
    const TResourceFileType* FResourceFileType;
};

QString FileExtWithoutDot(const QString& Filename)
{
    const QString ext = ExtractFileExt(Filename);
    return ext.isEmpty() ? ext : ext.mid(1);
}

TRegistrySingleton<TCustomResourceModuleFilerDatabase, TResourceModuleFilerDatabase>& Registry()
{
    static TRegistrySingleton<TCustomResourceModuleFilerDatabase, TResourceModuleFilerDatabase> registry;
    return registry;
}
} // namespace

// TResourceFileTypeList

TResourceFileType* TResourceFileTypeList::Add(const QString& FileType, const QString& Description, int Priority)
{
    if (!FList) FList = std::make_unique<std::vector<std::unique_ptr<TResourceFileType>>>();
    auto& list = *FList;
    std::unique_ptr<TResourceFileType> entry;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (!SameText((*it)->FileType(), FileType)) continue;
        if ((*it)->Priority() <= Priority) return it->get();
        entry = std::move(*it);
        list.erase(it);
        entry->SetPriority(Priority);
        if (!Description.isEmpty()) entry->SetDescription(Description);
        break;
    }
    if (!entry) entry = std::make_unique<TResourceFileType>(FileType, Description, Priority);
    size_t index = list.size();
    while (index > 0 && list[index - 1]->Priority() > Priority) --index;
    TResourceFileType* result = entry.get();
    list.insert(list.begin() + static_cast<ptrdiff_t>(index), std::move(entry));
    return result;
}

TResourceFileType* TResourceFileTypeList::Items(int Index) const
{
    if (!FList || Index < 0 || Index >= Count()) return nullptr;
    return (*FList)[static_cast<size_t>(Index)].get();
}

// TResourceFileTypes

TResourceFileTypes::TResourceFileTypes(std::unique_ptr<TResourceFileTypeList> AList)
    : FOwnedList(std::move(AList)), FList(FOwnedList.get())
{
}

TResourceFileTypes::TResourceFileTypes(const TResourceFileTypeList* AList) : FList(AList) {}

IResourceFileTypePtr TResourceFileTypes::GetFileType(int Index) const
{
    const TResourceFileType* type = FList ? FList->Items(Index) : nullptr;
    if (!type) throw EListError(Format("List index out of bounds (%d)", {Index}));
    return std::make_shared<TResourceFileTypeWrapper>(type);
}

int TResourceFileTypes::GetCount() const { return FList ? FList->Count() : 0; }

std::unique_ptr<IResourceFileTypeEnumerator> TResourceFileTypes::GetEnumerator() const
{
    return std::make_unique<TIndexEnumerator<IResourceFileTypeEnumerator, IResourceFileTypes,
                                             &IResourceFileTypes::GetFileType, &IResourceFileTypes::GetCount>>(this);
}

std::shared_ptr<IResourceFileTypeGroups> TResourceFileTypes::GetGroups() const
{
    return std::make_shared<TResourceFileTypeGroups>(
        std::const_pointer_cast<TResourceFileTypes>(shared_from_this()));
}

IResourceFileTypePtr TResourceFileTypes::Find(const QString& FileType) const
{
    const int index = IndexOf(FileType);
    return index < 0 ? nullptr : GetFileType(index);
}

int TResourceFileTypes::IndexOf(const QString& FileType) const
{
    for (int i = 0; i < GetCount(); ++i)
        if (SameText(FList->Items(i)->FileType(), FileType)) return i;
    return -1;
}

// TResourceFileTypeGroups

TResourceFileTypeGroups::TResourceFileTypeGroups(IResourceFileTypesPtr FileTypes) : FResourceFileTypes(std::move(FileTypes))
{
    TResourceFileTypeList* current = nullptr;
    QString description;
    for (int i = 0; i < FResourceFileTypes->GetCount(); ++i) {
        const IResourceFileTypePtr type = FResourceFileTypes->GetFileType(i);
        if (!current || type->GetDescription() != description) {
            auto list = std::make_unique<TResourceFileTypeList>();
            current = list.get();
            description = type->GetDescription();
            FGroups.push_back(std::make_shared<TResourceFileTypes>(std::move(list)));
        }
        current->Add(type->GetFileType(), description, 0)->SetCapabilities(type->GetCapabilities());
    }
}

IResourceFileTypesPtr TResourceFileTypeGroups::GetGroup(int Index) const
{
    if (Index < 0 || Index >= GetCount()) throw EListError(Format("List index out of bounds (%d)", {Index}));
    return FGroups[static_cast<size_t>(Index)];
}

// Dialog filters

QString FileTypesFilter(const IResourceFileTypesPtr& FileTypes, bool AllFilesLast)
{
    QString defaultExt;
    return FileTypesFilterAndDefaultExt(FileTypes, defaultExt, AllFilesLast);
}

QString FileTypesFilterAndDefaultExt(const IResourceFileTypesPtr& FileTypes, QString& DefaultExt, bool AllFilesLast)
{
    return FileTypeGroupsFilterAndDefaultExt(FileTypes ? FileTypes->GetGroups() : nullptr, DefaultExt, AllFilesLast);
}

QString FileTypeGroupsFilter(const IResourceFileTypeGroupsPtr& Groups, bool AllFilesLast)
{
    QString defaultExt;
    return FileTypeGroupsFilterAndDefaultExt(Groups, defaultExt, AllFilesLast);
}

QString FileTypeGroupsFilterAndDefaultExt(const IResourceFileTypeGroupsPtr& Groups, QString& DefaultExt, bool AllFilesLast)
{
    const QString allFiles = QString::fromLatin1(SAllFilesFilter);
    QString result = AllFilesLast ? QString() : allFiles;
    QString separator = AllFilesLast ? QString() : QStringLiteral("|");
    DefaultExt.clear();
    bool first = true;
    for (int g = 0; Groups && g < Groups->GetCount(); ++g) {
        const IResourceFileTypesPtr group = Groups->GetGroup(g);
        QStringList patterns;
        QString description;
        for (int i = 0; i < group->GetCount(); ++i) {
            const IResourceFileTypePtr type = group->GetFileType(i);
            patterns.append(QStringLiteral("*.") + type->GetFileType());
            description = type->GetDescription();
            if (first) {
                DefaultExt = type->GetFileType();
                first = false;
            }
        }
        if (description.isEmpty() || patterns.isEmpty()) continue;
        result += separator + Format("%0:s (%1:s)|%1:s", {description, patterns.join(QLatin1Char(';'))});
        separator = QStringLiteral("|");
    }
    if (AllFilesLast) {
        if (!result.isEmpty()) result += QLatin1Char('|');
        result += allFiles;
    }
    return result;
}

int FindFileTypeGroup(const IResourceFileTypeGroupsPtr& Groups, const QString& Filename, int Default)
{
    const QString ext = FileExtWithoutDot(Filename);
    if (!Groups || ext.isEmpty()) return Default;
    for (int g = 0; g < Groups->GetCount(); ++g)
        if (Groups->GetGroup(g)->IndexOf(ext) >= 0) return g;
    return Default;
}

QString ChangeFileExtForGroup(const IResourceFileTypeGroupsPtr& Groups, const QString& Filename, int GroupIndex)
{
    if (!Groups || Filename.isEmpty() || GroupIndex < 0 || GroupIndex >= Groups->GetCount()) return Filename;
    const IResourceFileTypesPtr group = Groups->GetGroup(GroupIndex);
    if (group->GetCount() == 0 || group->IndexOf(FileExtWithoutDot(Filename)) >= 0) return Filename;
    return ChangeFileExt(Filename, QStringLiteral(".") + group->GetFileType(0)->GetFileType());
}

// Filer classes

bool TResourceModuleFilerClassInfo::Handles(const QString& Filename) const
{
    TFileStream stream(Filename, fmOpenRead | fmShareDenyNone);
    return Handles(&stream);
}

bool TResourceModuleFilerClassInfo::IsReader() const { return InheritsFrom(TCustomResourceModuleReader::ClassInfo()); }

bool TResourceModuleFilerClassInfo::IsWriter() const { return InheritsFrom(TCustomResourceModuleWriter::ClassInfo()); }

void TResourceModuleFilerClassInfo::Register(int Priority) const { ResourceModuleFilerDatabase()->Add(this, Priority); }

void TResourceModuleFilerClassInfo::Unregister() const { ResourceModuleFilerDatabase()->Remove(this); }

void TResourceModuleFilerClassInfo::RegisterFileType(const QString& FileType, const QString& Description, int Priority) const
{
    ATELIER_ASSERT(IsReader() || IsWriter());
    ResourceModuleFilerDatabase()->AddFileType(this, FileType, IsReader() ? TResourceFilerCapabilities{fcLoad}
                                                                           : TResourceFilerCapabilities{fcSave},
                                               Priority, Description);
}

IResourceFileTypesPtr TResourceModuleFilerClassInfo::GetFileTypes() const
{
    ATELIER_ASSERT(IsReader() || IsWriter());
    return ResourceModuleFilerDatabase()->FileTypes(this, IsReader() ? TResourceFilerCapabilities{fcLoad}
                                                                     : TResourceFilerCapabilities{fcSave});
}

void TCustomResourceModuleFiler::DoProgress(TResourceProgressStage Stage, int CurrentProgress, int MaxProgress,
                                            const QString& Msg)
{
    if (OnProgress) OnProgress(this, Stage, CurrentProgress, MaxProgress, Msg, ProgressContext);
}

std::unique_ptr<TCustomResourceModule> TCustomResourceModuleReader::LoadFromFile(const QString& Filename)
{
    TFileStream stream(Filename, fmOpenRead | fmShareDenyNone);
    return LoadFromStream(stream);
}

void TCustomResourceModuleWriter::SaveToFile(TCustomResourceModule* Module, const QString& Filename, const QString& Encoding)
{
    TMemoryStream stream;
    SaveToStream(Module, stream, Encoding, ExtractFilePath(Filename));
    QSaveFile file(Filename);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(stream.Memory()), stream.Size()) != stream.Size() || !file.commit())
        throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2").arg(Filename, file.errorString()));
}

// Registry

TResourceModuleFilerClass TCustomResourceModuleFilerDatabase::FindReader(const QString& Filename) const
{
    for (int i = 0; i < GetCount(); ++i) {
        TResourceModuleFilerClass filer = GetItem(i);
        if (filer->IsReader() && filer->Handles(Filename)) return filer;
    }
    return nullptr;
}

TResourceModuleFilerClass TCustomResourceModuleFilerDatabase::FindReader(TStream* Stream) const
{
    if (!Stream) return nullptr;
    for (int i = 0; i < GetCount(); ++i) {
        TResourceModuleFilerClass filer = GetItem(i);
        if (!filer->IsReader()) continue;
        const int64_t position = Stream->Position();
        bool handles;
        try {
            handles = filer->Handles(Stream);
        } catch (...) {
            Stream->SetPosition(position);
            throw;
        }
        Stream->SetPosition(position);
        if (handles) return filer;
    }
    return nullptr;
}

TResourceModuleFilerClass TCustomResourceModuleFilerDatabase::FindWriter(TCustomResourceModule* Module,
                                                                         const QString& Filename) const
{
    for (int i = 0; i < GetCount(); ++i) {
        TResourceModuleFilerClass filer = GetItem(i);
        if (filer->IsWriter() && filer->Handles(Module, Filename)) return filer;
    }
    return nullptr;
}

TResourceModuleFilerClass TResourceModuleFilerDatabase::GetItem(int Index) const
{
    if (Index < 0 || Index >= GetCount()) throw EListError(Format("List index out of bounds (%d)", {Index}));
    return FList[static_cast<size_t>(Index)]->ResourceModuleFilerClass();
}

void TResourceModuleFilerDatabase::Add(TResourceModuleFilerClass FilerClass, int Priority)
{
    auto it = FList.begin();
    while (it != FList.end() && (*it)->Priority() < Priority) ++it;
    FList.insert(it, std::make_unique<TResourceModuleFilerEntry>(FilerClass, Priority));
}

void TResourceModuleFilerDatabase::Remove(TResourceModuleFilerClass FilerClass)
{
    for (auto it = FList.begin(); it != FList.end(); ++it)
        if ((*it)->ResourceModuleFilerClass() == FilerClass) {
            FList.erase(it);
            return;
        }
}

void TResourceModuleFilerDatabase::AddFileType(TResourceModuleFilerClass FilerClass, const QString& FileType,
                                               TResourceFilerCapabilities Capabilities, int Priority,
                                               const QString& Description)
{
    for (auto& entry : FList)
        if (entry->ResourceModuleFilerClass() == FilerClass) {
            entry->AddFileType(FileType, Description, Priority, Capabilities);
            return;
        }
}

IResourceFileTypesPtr TResourceModuleFilerDatabase::FileTypes(TResourceModuleFilerClass FilerClass,
                                                              TResourceFilerCapabilities Capabilities) const
{
    std::unique_ptr<TResourceFileTypeList> list = CollectFileTypes(FList, FilerClass, Capabilities);
    if (!list) throw Exception(Format(QString::fromLatin1(SFilerNotRegistered), {FilerClass->ClassName()}));
    return std::make_shared<TResourceFileTypes>(std::move(list));
}

TCustomResourceModuleFilerDatabase* ResourceModuleFilerDatabase() { return Registry().Get(); }

TResourceModuleFilerDatabaseFactory SetResourceModuleFilerDatabaseClass(TResourceModuleFilerDatabaseFactory Factory)
{
    return Registry().SetFactory(Factory);
}

void koResourcesFiler_Finalize() { Registry().Reset(); }

// Reading and writing helpers of the module filers

QString ResourceItemProgressText(const TCustomResourceItem* Item)
{
    return Format("%s (%s)", {Item->FriendlyName(), Item->FriendlyTypeName()});
}

std::vector<TCustomResourceItem*> WritableResourceItems(TCustomResourceModule* Module)
{
    std::vector<TCustomResourceItem*> items;
    for (TCustomResourceItem* item : *Module->Items()) {
        if (item->Internal() || item->Design()) continue;
        if (!item->ClassType()->Capabilities().Contains(rcWrite)) {
            // An item written through its children (a string table through its blocks) loses nothing.
            if (!item->HasItems()) LogMessage(QString::fromLatin1(SItemCannotWrite), rmWarning, item);
            continue;
        }
        items.push_back(item);
    }
    // Stable, so language variants keep their order and output is the same every time.
    std::stable_sort(items.begin(), items.end(),
                     [](const TCustomResourceItem* a, const TCustomResourceItem* b) { return CompareResourceItems(a, b) < 0; });
    return items;
}

namespace {
TCustomResourceItem* LoadResourceItemAs(TResourceItemClass Kind, TCustomResourceModule* Module,
                                        const TResourceIdent& ResourceType, const TResourceIdent& Name,
                                        uint16_t Language, TStream& Data, int64_t Size,
                                        const std::function<void(TCustomResourceItem*)>& BeforeLoad)
{
    TCustomResourceItem* item = nullptr;
    if (Kind->Capabilities().Contains(rcSingle)) item = Module->Find(ResourceType, Name, Language);
    const bool created = item == nullptr;
    if (created) {
        TResourceItemPtr made = Kind->Create(Name);
        made->SetResourceType(ResourceType);
        item = made.get();
        Module->Items()->Add(std::move(made));
        item->SetLanguage(Language);
    }
    try {
        TMessageContextScope context(item);
        if (BeforeLoad) BeforeLoad(item);
        item->LoadFromStream(Data, Size);
        item->SetSize(static_cast<int>(Size));
    } catch (...) {
        // Only an item made for this resource goes; one that was there before stays.
        if (created) Module->Items()->Remove(item);
        throw;
    }
    return item;
}
} // namespace

TCustomResourceItem* LoadResourceItem(TCustomResourceModule* Module, const TResourceIdent& AResourceType,
                                      const TResourceIdent& AName, uint16_t Language, TStream& Data, int64_t Size,
                                      const std::function<void(TCustomResourceItem*)>& BeforeLoad)
{
    // Items keep names upper-case: look them up the same way.
    const TResourceIdent ResourceType = NormalizeResourceIdent(AResourceType);
    const TResourceIdent Name = NormalizeResourceIdent(AName);
    const int64_t start = Data.Position();
    TResourceItemClass kind = ResourceItemDatabase()->Find(ResourceType, Name, &Data);
    if (!kind)
        throw Exception(Format(QString::fromLatin1(SUnknownResourceType), {ResourceTypeToFriendlyName(ResourceType)}));
    const TResourceItemClass generic = TResourceItemGeneric::ClassInfo();
    try {
        return LoadResourceItemAs(kind, Module, ResourceType, Name, Language, Data, Size, BeforeLoad);
    } catch (const EAbort&) {
        throw;
    } catch (const std::exception& e) {
        const auto* error = dynamic_cast<const Exception*>(&e);
        LogMessage(error ? error->Message() : QString::fromUtf8(e.what()), rmError);
        if (kind == generic) throw;
    }
    Data.SetPosition(start);
    return LoadResourceItemAs(generic, Module, ResourceType, Name, Language, Data, Size, BeforeLoad);
}
