// The resource item: one resource of a module with its type, name and language, its place in the module
// and under a parent item, change batches and the notifications that views, editors and the module hear.
// The module owns every item (children included); an item's child list refers to them without owning.
#pragma once

#include "koGenerics.h"
#include "koResources.h"
#include "koResourcesIdentifier.h"
#include "platform/ClassInfo.h"
#include "platform/Exceptions.h"
#include "platform/PublishedProperties.h"
#include "platform/Sets.h"
#include "platform/Streams.h"

#include <QObject>
#include <QSet>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

class TCustomResourceItem;
class TCustomResourceModule;
class TCustomResourceIdentifier;
class TResourceIdentifier;
class TResourceSymbol;
class TStringList;
class IResourceFileTypes;

enum TResourceItemCapability { rcWrite, rcCreate, rcLoad, rcSave, rcSingle };
using TResourceItemCapabilities = TSet<TResourceItemCapability>;

enum TResourceItemGlyph { rgType, rgItem };
using TResourceItemGlyphHandle = int;

enum TResourceItemNotification { rnAdded, rnRemoved, rnSubscribe, rnUnsubscribe, rnChanging, rnChanged };
enum TResourceChildNotification { chAdded, chRemoved, chChanging, chChanged };

class IResourceItemNotification {
public:
    virtual void ResourceItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification) = 0;

protected:
    ~IResourceItemNotification() = default;
};

class IPropertyMap {
public:
    // The caption under which the property inspector shows a published property.
    virtual QString MapPropertyName(const QString& Name) = 0;

protected:
    ~IPropertyMap() = default;
};

class IPropertyFilter {
public:
    // True hides the property.
    virtual bool FilterProperty(const QString& Name) = 0;

protected:
    ~IPropertyFilter() = default;
};

// The searchable text of an element (used by search and replace).
class IResourceTextItem {
public:
    virtual QString GetText() = 0;
    virtual void SetText(const QString& Value) = 0;

protected:
    ~IResourceTextItem() = default;
};

class IResourceItemEnumerator {
public:
    virtual ~IResourceItemEnumerator() = default;
    virtual TCustomResourceItem* GetCurrent() const = 0;
    virtual bool MoveNext() = 0;
};

// The property inspector as the model reaches it; the main window owns it.
class IAtelierPropertyInspector {
public:
    virtual void SetResourceItem(TCustomResourceItem* Item) = 0;
    virtual void AddInstance(QObject* Instance, bool Exclusive) = 0;
    virtual void RemoveInstance(QObject* Instance) = 0;
    virtual void Activate() = 0;

protected:
    ~IAtelierPropertyInspector() = default;
};

using TEnumerateResourceItemsCallback =
    std::function<void(TCustomResourceItem* ResourceItem, QObject* Item, void* Context, bool& Continue)>;

// Items are destroyed through this deleter so that subscribers and the module are told while the
// whole object still exists.
struct TResourceItemDeleter {
    void operator()(TCustomResourceItem* item) const;
};
using TResourceItemPtr = std::unique_ptr<TCustomResourceItem, TResourceItemDeleter>;

// Class-level questions of an item kind, answered without an instance. Registries hold these.
class TResourceItemClassInfo : public TClassInfo {
public:
    virtual bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream* Data) const = 0;
    virtual bool HandlesFile(const QString& Filename, TStream* Data) const = 0;
    virtual TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind) const = 0;
    virtual TResourceItemCapabilities Capabilities() const = 0;
    virtual QString ResourceTypeName() const = 0;
    virtual const TResourceItemClassInfo* ParentClass() const = 0;
    virtual const QMetaObject* MetaObject() const = 0;
    // The kind's constructor that takes a name; an abstract class raises EAssertionFailed.
    virtual TResourceItemPtr Create(const TResourceIdent& ResName) const = 0;

    // Registration with the item kind registry.
    void Register(int Priority) const;
    void Unregister() const;
    void RegisterFileType(const QString& FileType, const QString& Description, TResourceFilerCapabilities Capabilities,
                          int Priority) const;
    std::shared_ptr<IResourceFileTypes> GetFileTypes(TResourceFileCapability Capability) const;
};
using TResourceItemClass = const TResourceItemClassInfo*;

template <class T>
class TResourceItemClassOf final : public TClassInfoOf<T, TResourceItemClassInfo> {
public:
    bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream* Data) const override
    {
        return T::Handles(ResourceType, Name, Data);
    }
    bool HandlesFile(const QString& Filename, TStream* Data) const override { return T::HandlesFile(Filename, Data); }
    TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind) const override { return T::GetGlyph(Kind); }
    TResourceItemCapabilities Capabilities() const override { return T::Capabilities(); }
    QString ResourceTypeName() const override { return T::ResourceTypeName(); }
    TResourceItemClass ParentClass() const override { return T::ParentClass(); }
    const QMetaObject* MetaObject() const override { return &T::staticMetaObject; }
    TResourceItemPtr Create(const TResourceIdent& ResName) const override
    {
        if constexpr (!std::is_abstract_v<T> && std::is_constructible_v<T, const TResourceIdent&>) {
            return TResourceItemPtr(new T(ResName));
        } else {
            AssertionFailure("abstract resource item class", __FILE__, __LINE__);
            return nullptr;
        }
    }
};

// Declares a kind's class-level plumbing; put it right after Q_OBJECT.
#define RESOURCE_ITEM_CLASS(Class, Base)                                                              \
public:                                                                                             \
    using inherited = Base;                                                                         \
    static TResourceItemClass ClassInfo()                                                           \
    {                                                                                               \
        static const TResourceItemClassOf<Class> info;                                              \
        return &info;                                                                               \
    }                                                                                               \
    TResourceItemClass ClassType() const override { return Class::ClassInfo(); }                   \
                                                                                                    \
private:

// An ordered list of items. The module's list owns its items; an item's child list does not.
class TResourceItemList {
public:
    TResourceItemList(TCustomResourceItem* AParent, bool AOwnsObjects);
    TResourceItemList(const TResourceItemList&) = delete;
    TResourceItemList& operator=(const TResourceItemList&) = delete;
    virtual ~TResourceItemList();

    int Count() const { return static_cast<int>(FList.size()); }
    bool OwnsObjects() const { return FOwnsObjects; }
    TCustomResourceItem* Parent() const { return FParent; }
    TCustomResourceItem* Items(int index) const;
    TCustomResourceItem* operator[](int index) const { return Items(index); }

    virtual int BeginUpdate();
    virtual int EndUpdate();
    // Nothing when the item is listed already. An owning list takes ownership.
    virtual void Add(TCustomResourceItem* Item);
    void Add(TResourceItemPtr Item) { Add(Item.release()); }
    // Frees the item when it was listed and the list owns its items.
    virtual void Remove(TCustomResourceItem* Item);
    // Removes without freeing; nullptr when the item was not listed.
    virtual TCustomResourceItem* Extract(TCustomResourceItem* Item);
    virtual void Move(int OldIndex, int NewIndex);
    virtual void Clear();
    void Delete(int Index);
    bool Contains(const TCustomResourceItem* Item) const;
    int IndexOf(const TCustomResourceItem* Item) const;
    void Sort();
    std::unique_ptr<IResourceItemEnumerator> GetEnumerator() const;

    // Range-for over a snapshot-free live list, by index.
    class const_iterator {
    public:
        const_iterator(const TResourceItemList* list, int index) : FList(list), FIndex(index) {}
        TCustomResourceItem* operator*() const { return FList->Items(FIndex); }
        const_iterator& operator++()
        {
            ++FIndex;
            return *this;
        }
        bool operator!=(const const_iterator& other) const { return FIndex != other.FIndex; }

    private:
        const TResourceItemList* FList;
        int FIndex;
    };
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, Count()); }

protected:
    int UpdateCount() const { return FUpdateCount; }

private:
    std::vector<TCustomResourceItem*> FList;
    // Membership without a search: loading adds every item, and a search per item would be quadratic.
    QSet<const TCustomResourceItem*> FMembers;
    TCustomResourceItem* FParent;
    bool FOwnsObjects;
    int FUpdateCount = 0;
};

// The non-owning child list of one item; its batches are batches of the parent item.
class TResourceGroupList : public TResourceItemList {
public:
    explicit TResourceGroupList(TCustomResourceItem* AParent);
    int BeginUpdate() override;
    int EndUpdate() override;
    void Add(TCustomResourceItem* Item) override;
    TCustomResourceItem* Extract(TCustomResourceItem* Item) override;
    // Children are numbered by position: the two items exchange their names too.
    void Move(int OldIndex, int NewIndex) override;
};

class TCustomResourceItem : public QObject,
                            public IResourceSymbolNotification,
                            public IPropertyFilter,
                            public IPropertyMap {
    Q_OBJECT
    friend class TResourceGroupList;
    friend struct TResourceItemDeleter;

public:
    static TResourceItemClass ClassInfo()
    {
        static const TResourceItemClassOf<TCustomResourceItem> info;
        return &info;
    }
    virtual TResourceItemClass ClassType() const { return ClassInfo(); }

    TCustomResourceItem();
    TCustomResourceItem(const TResourceIdent& AResType, const TResourceIdent& AResName);
    TCustomResourceItem(uint16_t TypeID, const TResourceIdent& AResName);
    ~TCustomResourceItem() override;

    // Class-level questions; kinds hide them with their own static functions.
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream* Data) { return false; }
    static bool HandlesFile(const QString& Filename, TStream* Data) { return false; }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind) { return -1; }
    static TResourceItemCapabilities Capabilities() { return {}; }
    static QString ResourceTypeName() { return {}; }
    static TResourceItemClass ParentClass() { return nullptr; }

    // Identity
    const TResourceIdent& ResourceType() const { return FResourceType; }
    void SetResourceType(const TResourceIdent& Value);
    bool ResourceTypeIsInteger() const;
    uint16_t ResourceTypeInteger() const; // "Operation not applicable" for a named type
    void SetResourceTypeInteger(uint16_t Value);
    QString ResourceTypeAsString() const;
    TResourceIdent Name() const;
    void SetName(const TResourceIdent& Value) { DoSetName(Value); }
    bool NameIsInteger() const;
    uint16_t NameInteger() const; // "Operation not applicable" for a named item
    void SetNameInteger(uint16_t Value);
    QString NameAsString() const;
    TResourceIdentifier* LocalID() const;
    void SetLocalID(TResourceIdentifier* Value);
    TResourceIdentifier* ID() const;
    void SetID(TResourceIdentifier* Value);
    TLanguageID Language() const { return FLanguage; }
    void SetLanguage(TLanguageID Value);
    uint32_t Version() const { return FVersion; }
    void SetVersion(uint32_t Value);
    uint32_t Characteristics() const { return FCharacteristics; }
    void SetCharacteristics(uint32_t Value);
    uint32_t DataVersion() const { return FDataVersion; }
    void SetDataVersion(uint32_t Value);
    uint16_t MemoryFlags() const { return FMemoryFlags; }
    void SetMemoryFlags(uint16_t Value);
    uint32_t CodePage() const;
    QString Filename() const { return GetFilename(); }
    void SetFilename(const QString& Value) { DoSetFilename(Value); }
    bool Modified() const { return FModified; }
    void SetModified(bool Value) { FModified = Value; }
    QString FriendlyName() const { return GetFriendlyName(); }
    QString FriendlyTypeName() const { return GetFriendlyTypeName(); }
    QString Description() const { return GetDescription(); }
    void SetItemType(const QString& Value) { DoSetItemType(Value); }
    bool IsGroup() const { return GetIsGroup(); }
    bool Hidden() const { return GetHidden(); }
    bool Internal() const { return GetInternal(); }
    bool Design() const { return GetDesign(); }
    int Size() const { return GetSize(); }
    void SetSize(int Value) { DoSetSize(Value); }

    // Place
    TCustomResourceModule* Module() const { return FModule; }
    void SetModule(TCustomResourceModule* Value) { DoSetModule(Value); }
    TCustomResourceItem* Parent() const { return FParent; }
    void SetParent(TCustomResourceItem* Value) { DoSetParent(Value); }
    TResourceItemList* Items();
    bool HasItems() const;
    TStringList* PropertyMap();

    // Subscription
    void Subscribe(IResourceItemNotification* Subscriber);
    void Unsubscribe(IResourceItemNotification* Subscriber);

    // Change batches
    void BeginUpdate();
    void EndUpdate();
    void LockUpdate();
    void UnlockUpdate();
    int UpdateCount() const { return FUpdateCount; }
    bool IsLocked() const { return FLockUpdate > 0; }
    virtual void Changing();
    virtual void Changed();

    // Data and life cycle
    virtual void Clear() {}
    virtual void LoadFromStream(TStream& Stream, int64_t Size) = 0;
    virtual void LoadFromFileStream(TStream& Stream);
    virtual void SaveToStream(TStream& Stream);
    virtual void SaveToFileStream(TStream& Stream) { SaveToStream(Stream); }
    virtual void AfterLoad();
    virtual void BeforeSave();
    virtual void AfterSave();
    virtual TCustomResourceItem* CreateChild() { return nullptr; }
    virtual void ChildNotification(TCustomResourceItem* Child, TResourceChildNotification Notification) {}
    virtual bool EnumerateItems(void* Context, const TEnumerateResourceItemsCallback& Callback);
    TCustomResourceItem* AddChild();
    virtual void AssignChildItemIdentifier(int ID, const QByteArray& Identifier) {}
    virtual void InitializeNewItem();
    virtual void ValidateID(const TResourceIdent& Value);
    int GetUniqueIdentifier() const;

    // Assignment: copies the header fields and the data; never name, parent, module or binding.
    virtual void Assign(QObject* Source);
    virtual void AssignTo(QObject* Dest);
    virtual void AssignToItem(TCustomResourceItem* Dest);
    virtual void AssignFromItem(TCustomResourceItem* Source) { Source->AssignToItem(this); }

    // IResourceSymbolNotification, IPropertyFilter, IPropertyMap
    void ResourceSymbolNotification(TResourceSymbol* Symbol, TResourceSymbolNotification Notification) override;
    bool FilterProperty(const QString& Name) override { return false; }
    QString MapPropertyName(const QString& Name) override;

protected:
    using TIdentifierFactory = std::unique_ptr<TResourceIdentifier> (*)(TCustomResourceItem*);
    virtual TIdentifierFactory GetIdentifierClass() const;
    virtual bool GetIsGroup() const { return false; }
    virtual void DoSetParent(TCustomResourceItem* Value);
    virtual QString GetFriendlyName() const;
    virtual QString GetFriendlyTypeName() const;
    virtual void DoSetItemType(const QString& Value);
    virtual QString GetDescription() const { return FriendlyName(); }
    virtual void DoSetModule(TCustomResourceModule* Value);
    virtual void DoSetName(const TResourceIdent& Value);
    virtual QString GetFilename() const { return FFilename; }
    virtual void DoSetFilename(const QString& Value);
    virtual int GetSize() const;
    virtual void DoSetSize(int Value) { FSize = Value; }
    virtual bool GetHidden() const { return false; }
    virtual bool GetInternal() const { return false; }
    virtual bool GetDesign() const { return false; }
    virtual void InitPropertyMap();
    // Tells every subscriber, walking by index; an exception of one goes to the application's handler.
    void NotifySubscribers(TResourceItemNotification Notification);
    // Subscribers, module, parent and children are let go; runs once, before the object is destroyed.
    virtual void BeforeDestruction();

private:
    template <typename T>
    void SetField(T& field, const T& value);

    uint16_t FLanguage = 0;
    uint32_t FVersion = 0;
    uint32_t FCharacteristics = 0;
    uint32_t FDataVersion = 0;
    TResourceIdent FResourceType;
    uint16_t FMemoryFlags = 0;
    TCustomResourceModule* FModule = nullptr;
    TCustomResourceItem* FParent = nullptr;
    std::unique_ptr<TResourceGroupList> FItems;
    std::unique_ptr<TWeakInterfaceList<IResourceItemNotification>> FSubscriptions;
    int FUpdateCount = 0;
    int FLockUpdate = 0;
    std::unique_ptr<TStringList> FPropertyMap;
    QString FFilename;
    bool FModified = false;
    mutable int FSize = -1;
    // Made on first use: a constructor cannot ask the derived kind for its identifier class.
    mutable std::unique_ptr<TResourceIdentifier> FItemID;
    mutable TResourceIdent FPendingName;
    bool FDestroying = false;
};

// The published face of an item that every concrete kind derives from.
class TResourceItem : public TCustomResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TResourceItem, TCustomResourceItem)
    Q_PROPERTY(TResourceIdentifier* ID READ ID WRITE SetID)
    Q_PROPERTY(QString ItemType READ FriendlyTypeName)
    Q_PROPERTY(TLanguageID Language READ Language WRITE SetLanguage)
    Q_PROPERTY(int Size READ Size)

public:
    using TCustomResourceItem::TCustomResourceItem;
};

// A memory stream that produces its item's data on the first read or seek, so that a test of the data
// costs nothing until it looks.
class TResourceItemOnDemandStream : public TMemoryStream {
public:
    explicit TResourceItemOnDemandStream(TCustomResourceItem* ResourceItem) : FResourceItem(ResourceItem) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override;

private:
    void Fetch();
    bool FHasData = false;
    TCustomResourceItem* FResourceItem;
};

// The property inspector as model code reaches it: the hook installed by the main window, if any.
using TItemPropertyInspectorHook = std::function<IAtelierPropertyInspector*(TCustomResourceItem*)>;
IAtelierPropertyInspector* GetItemPropertyInspector(TCustomResourceItem* Item);
TItemPropertyInspectorHook SetItemPropertyInspectorHook(TItemPropertyInspectorHook Hook);

// Kinds name their glyphs by resource and identifier; the glyph service that turns these into handles
// lives in the shell, which installs the loader at start-up. Without a loader kinds have no glyph.
using TResourceGlyphLoader = std::function<TResourceItemGlyphHandle(const QString& ResName, const QString& Ident)>;
TResourceGlyphLoader SetResourceGlyphLoader(TResourceGlyphLoader Loader);
TResourceItemGlyphHandle LoadResourceGlyph(const QString& ResName, const QString& Ident);

void koResourcesItem_Initialize();
