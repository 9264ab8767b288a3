// The registry of item kinds: when a reader meets a resource, or the user imports a file, the first
// registered kind (lowest priority first) that handles it represents it. The generic kinds keep any
// resource as raw bytes; TResourceItemGeneric accepts everything and is asked last.
#pragma once

#include "koResourcesFiler.h"
#include "koResourcesItem.h"

#include <memory>
#include <vector>

class TResourceItemEntry : public TRegistryEntry<TResourceItemClass> {
public:
    using TRegistryEntry::TRegistryEntry;
    TResourceItemClass ResourceItemClass() const { return EntryClass(); }
};

class IResourceItemClassEnumerator {
public:
    virtual ~IResourceItemClassEnumerator() = default;
    virtual TResourceItemClass GetCurrent() const = 0;
    virtual bool MoveNext() = 0;
};

class TCustomResourceItemDatabase {
public:
    virtual ~TCustomResourceItemDatabase() = default;
    virtual int GetCount() const = 0;
    virtual TResourceItemClass GetItem(int Index) const = 0;
    // A class registered again moves only to a lower priority.
    virtual void Add(TResourceItemClass ResourceItemClass, int Priority) = 0;
    virtual void Remove(TResourceItemClass ResourceItemClass) = 0;
    // An unregistered class is ignored.
    virtual void AddFileType(TResourceItemClass ResourceItemClass, const QString& FileType,
                             TResourceFilerCapabilities Capabilities, int Priority, const QString& Description) = 0;
    // The kind registered for the file's extension with the lowest priority below 1024 and a matching
    // capability; nullptr when none.
    virtual TResourceItemClass FindFileType(const QString& Filename, TResourceFilerCapabilities Capabilities) const = 0;
    // "Resource Item has not been registered: %s" when no entry is the class or derives from it.
    virtual IResourceFileTypesPtr FileTypes(TResourceItemClass ResourceItemClass,
                                            TResourceFilerCapabilities Capabilities) const = 0;
    int Count() const { return GetCount(); }

    // These restore the data's position after every question, also when a question raises.
    TResourceItemClass Find(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream* Data) const;
    TResourceItemClass FindFileFormat(const QString& Filename, TStream* Data) const;
    std::unique_ptr<IResourceItemClassEnumerator> GetEnumerator() const;
};

class TResourceItemDatabase : public TCustomResourceItemDatabase {
public:
    int GetCount() const override { return static_cast<int>(FItems.size()); }
    TResourceItemClass GetItem(int Index) const override;
    void Add(TResourceItemClass ResourceItemClass, int Priority) override;
    void Remove(TResourceItemClass ResourceItemClass) override;
    void AddFileType(TResourceItemClass ResourceItemClass, const QString& FileType, TResourceFilerCapabilities Capabilities,
                     int Priority, const QString& Description) override;
    TResourceItemClass FindFileType(const QString& Filename, TResourceFilerCapabilities Capabilities) const override;
    IResourceFileTypesPtr FileTypes(TResourceItemClass ResourceItemClass,
                                    TResourceFilerCapabilities Capabilities) const override;

private:
    TResourceItemEntry* EntryOf(TResourceItemClass ResourceItemClass) const;
    std::vector<std::unique_ptr<TResourceItemEntry>> FItems;
};

// The single registry, created on first use from the factory below.
TCustomResourceItemDatabase* ResourceItemDatabase();
using TResourceItemDatabaseFactory = std::unique_ptr<TCustomResourceItemDatabase> (*)();
// Replaces the factory and frees the current registry; returns the previous factory.
TResourceItemDatabaseFactory SetResourceItemDatabaseClass(TResourceItemDatabaseFactory Factory);

// Raw bytes of any resource.
class TCustomResourceItemGeneric : public TResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TCustomResourceItemGeneric, TResourceItem)

public:
    TCustomResourceItemGeneric(const TResourceIdent& AResType, const TResourceIdent& AResName);
    ~TCustomResourceItemGeneric() override;
    static TResourceItemCapabilities Capabilities() { return {rcWrite}; }
    static QString ResourceTypeName();

    TMemoryStream* Data() const { return FData.get(); }
    void Clear() override;
    // A stream holding fewer than Size bytes raises the read error.
    void LoadFromStream(TStream& Stream, int64_t Size) override;
    void SaveToStream(TStream& Stream) override;

protected:
    int GetSize() const override { return static_cast<int>(FData->Size()); }

private:
    std::unique_ptr<TMemoryStream> FData;
};

// Imports and exports a file as the raw bytes.
class TResourceItemGenericPersistable : public TCustomResourceItemGeneric {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TResourceItemGenericPersistable, TCustomResourceItemGeneric)

public:
    using TCustomResourceItemGeneric::TCustomResourceItemGeneric;
    static TResourceItemCapabilities Capabilities() { return TCustomResourceItemGeneric::Capabilities() + TResourceItemCapabilities{rcLoad, rcSave}; }
};

// The catch-all kind: any resource no other kind takes. Readers set the real type after creating it.
class TResourceItemGeneric : public TResourceItemGenericPersistable {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TResourceItemGeneric, TResourceItemGenericPersistable)
    Q_PROPERTY(QString Filename READ Filename WRITE SetFilename)
    Q_PROPERTY(QString ItemType READ FriendlyTypeName WRITE SetItemType)
    Q_PROPERTY(int Size READ Size WRITE SetSize)

public:
    explicit TResourceItemGeneric(const TResourceIdent& AResName);
    static bool Handles(const TResourceIdent&, const TResourceIdent&, TStream*) { return true; }
    static bool HandlesFile(const QString&, TStream*) { return true; }
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcLoad, rcSave}; }

protected:
    // Resizes the data; bytes added at the end are zeros.
    void DoSetSize(int Value) override;
};

void koResourcesKinds_Initialize();
void koResourcesKinds_Finalize();
