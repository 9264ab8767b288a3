// Module file formats: readers and writers register their class with a priority and the extensions
// they load or save; the module asks the registry for the first reader that handles a file or stream
// and the first writer that handles a module and file name. File types also feed the file dialogs.
#pragma once

#include "koResourcesMessages.h"
#include "platform/ClassInfo.h"
#include "platform/Exceptions.h"
#include "platform/Sets.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class TStream;
class TCustomResourceModule;
class TCustomResourceModuleFiler;
class TCustomResourceItem;

class TResourceFileType {
public:
    TResourceFileType(const QString& AFileType, const QString& ADescription, int APriority)
        : FFileType(AFileType), FDescription(ADescription), FPriority(APriority)
    {
    }
    const QString& FileType() const { return FFileType; } // extension without dot
    const QString& Description() const { return FDescription; }
    void SetDescription(const QString& Value) { FDescription = Value; }
    int Priority() const { return FPriority; }
    void SetPriority(int Value) { FPriority = Value; }
    TResourceFilerCapabilities Capabilities() const { return FCapabilities; }
    void SetCapabilities(TResourceFilerCapabilities Value) { FCapabilities = Value; }

private:
    QString FFileType;
    QString FDescription;
    int FPriority;
    TResourceFilerCapabilities FCapabilities;
};

// File types in ascending priority, one per extension (case-insensitive); among equal priorities the
// earlier addition stays first.
class TResourceFileTypeList {
public:
    // An existing extension keeps the lower priority; a lower new priority moves it (and replaces the
    // description when one is given). The caller adds the capabilities.
    TResourceFileType* Add(const QString& FileType, const QString& Description, int Priority);
    int Count() const { return FList ? static_cast<int>(FList->size()) : 0; }
    TResourceFileType* Items(int Index) const; // nullptr without list or out of range

private:
    std::unique_ptr<std::vector<std::unique_ptr<TResourceFileType>>> FList;
};

class IResourceFileType {
public:
    virtual ~IResourceFileType() = default;
    virtual QString GetFileType() const = 0;
    virtual QString GetDescription() const = 0;
    virtual TResourceFilerCapabilities GetCapabilities() const = 0;
};
using IResourceFileTypePtr = std::shared_ptr<IResourceFileType>;

class IResourceFileTypeEnumerator {
public:
    virtual ~IResourceFileTypeEnumerator() = default;
    virtual IResourceFileTypePtr GetCurrent() const = 0;
    virtual bool MoveNext() = 0;
};

class IResourceFileTypeGroups;

class IResourceFileTypes {
public:
    virtual ~IResourceFileTypes() = default;
    virtual IResourceFileTypePtr GetFileType(int Index) const = 0;
    virtual int GetCount() const = 0;
    virtual std::unique_ptr<IResourceFileTypeEnumerator> GetEnumerator() const = 0;
    virtual std::shared_ptr<IResourceFileTypeGroups> GetGroups() const = 0;
    virtual IResourceFileTypePtr Find(const QString& FileType) const = 0; // nullptr when absent
    virtual int IndexOf(const QString& FileType) const = 0;               // -1 when absent
};
using IResourceFileTypesPtr = std::shared_ptr<IResourceFileTypes>;

class IResourceFileTypeGroups {
public:
    virtual ~IResourceFileTypeGroups() = default;
    virtual IResourceFileTypesPtr GetGroup(int Index) const = 0;
    virtual int GetCount() const = 0;
};
using IResourceFileTypeGroupsPtr = std::shared_ptr<IResourceFileTypeGroups>;

class TResourceFileTypes final : public IResourceFileTypes, public std::enable_shared_from_this<TResourceFileTypes> {
public:
    // An owned list is freed with this object; a borrowed one must outlive it.
    TResourceFileTypes(std::unique_ptr<TResourceFileTypeList> AList);
    explicit TResourceFileTypes(const TResourceFileTypeList* AList);
    IResourceFileTypePtr GetFileType(int Index) const override;
    int GetCount() const override;
    std::unique_ptr<IResourceFileTypeEnumerator> GetEnumerator() const override;
    std::shared_ptr<IResourceFileTypeGroups> GetGroups() const override;
    IResourceFileTypePtr Find(const QString& FileType) const override;
    int IndexOf(const QString& FileType) const override;

private:
    std::unique_ptr<TResourceFileTypeList> FOwnedList;
    const TResourceFileTypeList* FList;
};

// Consecutive file types with one description form a group: one line of a file dialog.
class TResourceFileTypeGroups final : public IResourceFileTypeGroups {
public:
    explicit TResourceFileTypeGroups(IResourceFileTypesPtr FileTypes);
    IResourceFileTypesPtr GetGroup(int Index) const override;
    int GetCount() const override { return static_cast<int>(FGroups.size()); }

private:
    std::vector<IResourceFileTypesPtr> FGroups;
    IResourceFileTypesPtr FResourceFileTypes;
};

// Dialog filters in the platform's syntax: "Description (*.a;*.b)|*.a;*.b" pairs joined by "|".
QString FileTypesFilter(const IResourceFileTypesPtr& FileTypes, bool AllFilesLast = false);
QString FileTypesFilterAndDefaultExt(const IResourceFileTypesPtr& FileTypes, QString& DefaultExt, bool AllFilesLast = false);
QString FileTypeGroupsFilter(const IResourceFileTypeGroupsPtr& Groups, bool AllFilesLast = false);
QString FileTypeGroupsFilterAndDefaultExt(const IResourceFileTypeGroupsPtr& Groups, QString& DefaultExt,
                                          bool AllFilesLast = false);
int FindFileTypeGroup(const IResourceFileTypeGroupsPtr& Groups, const QString& Filename, int Default);
QString ChangeFileExtForGroup(const IResourceFileTypeGroupsPtr& Groups, const QString& Filename, int GroupIndex);

// Options a filer offers for saving (no filer of the program has any yet).
class IResourceModuleFilerOptionsDialog {
public:
    virtual ~IResourceModuleFilerOptionsDialog() = default;
    virtual void InitializeDialog(QObject* Owner, QObject* Settings) = 0;
    virtual bool ShowDialog() = 0;
    virtual void Reserved() = 0;
    virtual void LoadOptions(QObject* Settings) = 0;
    virtual void ApplyOptions(QObject* Settings) = 0;
};

class IResourceModuleFilerOptions {
public:
    virtual ~IResourceModuleFilerOptions() = default;
    virtual QObject* GetSettings() = 0;
    virtual std::shared_ptr<IResourceModuleFilerOptionsDialog> GetOptionsDialog() = 0;
};

// Class-level questions of a module filer.
class TResourceModuleFilerClassInfo : public TClassInfo {
public:
    virtual std::unique_ptr<TCustomResourceModuleFiler> Create() const = 0;
    // Readers: opens the file (sharing allowed) and asks Handles(Stream); raises when it cannot open it.
    virtual bool Handles(const QString& Filename) const;
    virtual bool Handles(TStream* Stream) const { return false; }
    // Writers.
    virtual bool Handles(TCustomResourceModule* Module, const QString& Filename) const { return false; }
    virtual void GetEncodings(QStringList& Encodings) const { Encodings.clear(); }
    virtual std::shared_ptr<IResourceModuleFilerOptions> GetOptions() const { return nullptr; }

    bool IsReader() const;
    bool IsWriter() const;
    void Register(int Priority) const;
    void Unregister() const;
    // Readers register loadable types, writers savable ones.
    void RegisterFileType(const QString& FileType, const QString& Description, int Priority) const;
    IResourceFileTypesPtr GetFileTypes() const;
};
using TResourceModuleFilerClass = const TResourceModuleFilerClassInfo*;

// Adapts a filer class's static functions; only those the class (or a base) declares are used.
template <class T>
class TResourceModuleFilerClassOf final : public TClassInfoOf<T, TResourceModuleFilerClassInfo> {
public:
    std::unique_ptr<TCustomResourceModuleFiler> Create() const override
    {
        if constexpr (!std::is_abstract_v<T>)
            return std::make_unique<T>();
        else
            return AbstractCreate();
    }
    bool Handles(const QString& Filename) const override
    {
        if constexpr (requires(const QString& f) { T::Handles(f); })
            return T::Handles(Filename);
        else
            return TResourceModuleFilerClassInfo::Handles(Filename);
    }
    bool Handles(TStream* Stream) const override
    {
        if constexpr (requires(TStream* s) { T::Handles(s); })
            return T::Handles(Stream);
        else
            return false;
    }
    bool Handles(TCustomResourceModule* Module, const QString& Filename) const override
    {
        if constexpr (requires(TCustomResourceModule* m, const QString& f) { T::Handles(m, f); })
            return T::Handles(Module, Filename);
        else
            return false;
    }
    void GetEncodings(QStringList& Encodings) const override
    {
        if constexpr (requires(QStringList& e) { T::GetEncodings(e); })
            T::GetEncodings(Encodings);
        else
            Encodings.clear();
    }
    std::shared_ptr<IResourceModuleFilerOptions> GetOptions() const override
    {
        if constexpr (requires { T::GetOptions(); })
            return T::GetOptions();
        else
            return nullptr;
    }

private:
    [[noreturn]] static std::unique_ptr<TCustomResourceModuleFiler> AbstractCreate()
    {
        AssertionFailure("abstract module filer class", __FILE__, __LINE__);
    }
};

#define RESOURCE_MODULE_FILER_CLASS(Class, Base)                                                      \
public:                                                                                             \
    using inherited = Base;                                                                         \
    static const char* StaticClassName() { return #Class; }                                         \
    static TResourceModuleFilerClass ClassInfo()                                                    \
    {                                                                                               \
        static const TResourceModuleFilerClassOf<Class> info;                                       \
        return &info;                                                                               \
    }                                                                                               \
    TResourceModuleFilerClass ClassType() const override { return Class::ClassInfo(); }            \
                                                                                                    \
private:

class TCustomResourceModuleFiler {
public:
    static const char* StaticClassName() { return "TCustomResourceModuleFiler"; }
    static TResourceModuleFilerClass ClassInfo()
    {
        static const TResourceModuleFilerClassOf<TCustomResourceModuleFiler> info;
        return &info;
    }
    virtual TResourceModuleFilerClass ClassType() const { return ClassInfo(); }

    TCustomResourceModuleFiler() = default;
    virtual ~TCustomResourceModuleFiler() = default;
    TCustomResourceModuleFiler(const TCustomResourceModuleFiler&) = delete;
    TCustomResourceModuleFiler& operator=(const TCustomResourceModuleFiler&) = delete;

    TResourceProgress OnProgress;
    void* ProgressContext = nullptr;

protected:
    // Abstract: the class itself is never constructed.
    virtual void AbstractFiler() = 0;
    void DoProgress(TResourceProgressStage Stage, int CurrentProgress, int MaxProgress, const QString& Msg);
};

// Paces progress reports to a few a second however many items there are: loops over items ask Due()
// before they build a report.
class TProgressPacer {
public:
    static constexpr int Interval = 250; // milliseconds
    TProgressPacer() { FClock.start(); }
    bool Due()
    {
        if (FClock.elapsed() < Interval) return false;
        FClock.restart();
        return true;
    }

private:
    QElapsedTimer FClock;
};

class TCustomResourceModuleReader : public TCustomResourceModuleFiler {
    RESOURCE_MODULE_FILER_CLASS(TCustomResourceModuleReader, TCustomResourceModuleFiler)

public:
    // The module returned is new and belongs to the caller.
    virtual std::unique_ptr<TCustomResourceModule> LoadFromStream(TStream& Stream) = 0;
    virtual std::unique_ptr<TCustomResourceModule> LoadFromFile(const QString& Filename);

protected:
    void AbstractFiler() override {}
};

class TCustomResourceModuleWriter : public TCustomResourceModuleFiler {
    RESOURCE_MODULE_FILER_CLASS(TCustomResourceModuleWriter, TCustomResourceModuleFiler)

public:
    // Path is the target's folder with its trailing separator.
    virtual void SaveToStream(TCustomResourceModule* Module, TStream& Stream, const QString& Encoding,
                              const QString& Path) = 0;
    // Writes the whole module into memory first, then replaces the file through a temporary file, so a
    // failure leaves the target as it was.
    virtual void SaveToFile(TCustomResourceModule* Module, const QString& Filename, const QString& Encoding);

protected:
    void AbstractFiler() override {}
};

// An entry of a class registry: a class, its priority and the file types it registered.
template <typename TClass>
class TRegistryEntry {
public:
    TRegistryEntry(TClass AClass, int APriority) : FClass(AClass), FPriority(APriority) {}
    TClass EntryClass() const { return FClass; }
    int Priority() const { return FPriority; }
    void SetPriority(int Value) { FPriority = Value; }
    TResourceFileTypeList* FileTypes()
    {
        if (!FFileTypes) FFileTypes = std::make_unique<TResourceFileTypeList>();
        return FFileTypes.get();
    }
    const TResourceFileTypeList* FileTypesIfAny() const { return FFileTypes.get(); }
    // Adds the extension (merged as TResourceFileTypeList::Add does) and the capabilities to it.
    void AddFileType(const QString& FileType, const QString& Description, int Priority,
                     TResourceFilerCapabilities Capabilities)
    {
        TResourceFileType* type = FileTypes()->Add(FileType, Description, Priority);
        type->SetCapabilities(type->Capabilities() + Capabilities);
    }

private:
    TClass FClass;
    int FPriority;
    std::unique_ptr<TResourceFileTypeList> FFileTypes;
};

// The file types, sharing a capability with Capabilities, of every entry whose class is AClass or
// derives from it, merged in entry order; nullptr when no entry matches the class.
template <typename TEntry>
std::unique_ptr<TResourceFileTypeList> CollectFileTypes(const std::vector<std::unique_ptr<TEntry>>& Entries,
                                                        const TClassInfo* AClass, TResourceFilerCapabilities Capabilities)
{
    std::unique_ptr<TResourceFileTypeList> list;
    for (const auto& entry : Entries) {
        if (!entry->EntryClass()->InheritsFrom(AClass)) continue;
        if (!list) list = std::make_unique<TResourceFileTypeList>();
        const TResourceFileTypeList* types = entry->FileTypesIfAny();
        for (int i = 0; types && i < types->Count(); ++i) {
            const TResourceFileType* type = types->Items(i);
            if ((type->Capabilities() * Capabilities).IsEmpty()) continue;
            TResourceFileType* added = list->Add(type->FileType(), type->Description(), type->Priority());
            added->SetCapabilities(added->Capabilities() + type->Capabilities());
        }
    }
    return list;
}

// The single instance of a registry, created on first use from a factory that can be replaced.
template <typename TRegistry, typename TDefault>
class TRegistrySingleton {
public:
    using TFactory = std::unique_ptr<TRegistry> (*)();
    TRegistry* Get()
    {
        if (!FInstance) FInstance = FFactory();
        return FInstance.get();
    }
    // Frees the current instance; returns the previous factory.
    TFactory SetFactory(TFactory Factory)
    {
        const TFactory previous = FFactory;
        FFactory = Factory;
        FInstance.reset();
        return previous;
    }
    void Reset() { FInstance.reset(); }

private:
    static std::unique_ptr<TRegistry> CreateDefault() { return std::make_unique<TDefault>(); }
    TFactory FFactory = &CreateDefault;
    std::unique_ptr<TRegistry> FInstance;
};

class TResourceModuleFilerEntry : public TRegistryEntry<TResourceModuleFilerClass> {
public:
    using TRegistryEntry::TRegistryEntry;
    TResourceModuleFilerClass ResourceModuleFilerClass() const { return EntryClass(); }
};

class TCustomResourceModuleFilerDatabase {
public:
    virtual ~TCustomResourceModuleFilerDatabase() = default;
    virtual int GetCount() const = 0;
    virtual TResourceModuleFilerClass GetItem(int Index) const = 0;
    virtual void Add(TResourceModuleFilerClass FilerClass, int Priority) = 0;
    virtual void Remove(TResourceModuleFilerClass FilerClass) = 0;
    virtual void AddFileType(TResourceModuleFilerClass FilerClass, const QString& FileType,
                             TResourceFilerCapabilities Capabilities, int Priority, const QString& Description) = 0;
    // "Resource module has not been registered: %s" when no entry is FilerClass or derives from it.
    virtual IResourceFileTypesPtr FileTypes(TResourceModuleFilerClass FilerClass,
                                            TResourceFilerCapabilities Capabilities) const = 0;
    int Count() const { return GetCount(); }

    TResourceModuleFilerClass FindReader(const QString& Filename) const;
    // Restores the stream's position after every question.
    TResourceModuleFilerClass FindReader(TStream* Stream) const;
    TResourceModuleFilerClass FindWriter(TCustomResourceModule* Module, const QString& Filename) const;
};

class TResourceModuleFilerDatabase : public TCustomResourceModuleFilerDatabase {
public:
    int GetCount() const override { return static_cast<int>(FList.size()); }
    TResourceModuleFilerClass GetItem(int Index) const override;
    void Add(TResourceModuleFilerClass FilerClass, int Priority) override;
    void Remove(TResourceModuleFilerClass FilerClass) override;
    void AddFileType(TResourceModuleFilerClass FilerClass, const QString& FileType, TResourceFilerCapabilities Capabilities,
                     int Priority, const QString& Description) override;
    IResourceFileTypesPtr FileTypes(TResourceModuleFilerClass FilerClass,
                                    TResourceFilerCapabilities Capabilities) const override;

private:
    std::vector<std::unique_ptr<TResourceModuleFilerEntry>> FList;
};

// The single registry, created on first use from the factory below.
TCustomResourceModuleFilerDatabase* ResourceModuleFilerDatabase();
using TResourceModuleFilerDatabaseFactory = std::unique_ptr<TCustomResourceModuleFilerDatabase> (*)();
// Replaces the factory and frees the current registry; returns the previous factory.
TResourceModuleFilerDatabaseFactory SetResourceModuleFilerDatabaseClass(TResourceModuleFilerDatabaseFactory Factory);

// The progress text of one item: "name (type)".
QString ResourceItemProgressText(const TCustomResourceItem* Item);

// What the module writers write, in order: no internal or design items, no items whose kind cannot
// write (each logged as a warning), sorted by type and then name.
std::vector<TCustomResourceItem*> WritableResourceItems(TCustomResourceModule* Module);

// Loads one resource of a module file as the first kind that handles its type, name and data. A kind that
// fails is logged as an error and the resource is read again, from the start of its data, as raw data;
// only a failure of that too reaches the caller. BeforeLoad runs after the item joined the module and
// before it reads (readers set header fields and report progress there). Returns the item.
TCustomResourceItem* LoadResourceItem(TCustomResourceModule* Module, const TResourceIdent& ResourceType,
                                      const TResourceIdent& Name, uint16_t Language, TStream& Data, int64_t Size,
                                      const std::function<void(TCustomResourceItem*)>& BeforeLoad = {});

void koResourcesFiler_Finalize();
