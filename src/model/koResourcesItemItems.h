// Elements of compound resources (dialog controls, menu entries, strings, accelerators, toolbar
// buttons...): owned by a collection of their item, so that a change of an element is a change of the
// item, with identifiers that can be bound to symbols and help identifiers made from them.
#pragma once

#include "koResourcesIdentifier.h"
#include "koResourcesItem.h"
#include "koResourcesSymbols.h"

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

class TCustomResourceItemItems;

class TCustomResourceItemItem : public QObject, public IPropertyFilter, public IPropertyMap {
    Q_OBJECT
    friend class TCustomResourceItemItems;

public:
    explicit TCustomResourceItemItem(TCustomResourceItemItems* ACollection) : FCollection(ACollection) {}
    ~TCustomResourceItemItem() override = default;

    TCustomResourceItemItems* Collection() const { return FCollection; }
    int Index() const;
    // The item the element belongs to.
    TCustomResourceItem* BaseResourceItem() const { return GetBaseResourceItem(); }
    void BeginUpdate();
    void EndUpdate();
    // Reports the change to the collection (and so to the item) unless a batch is open.
    void Changed();
    // Moves the element to the end of another collection of the same item, inside batches of both.
    virtual void SetCollection(TCustomResourceItemItems* Value);

    QString MapPropertyName(const QString& Name) override { return Name; }
    bool FilterProperty(const QString&) override { return false; }
    // Elements with sub-elements (menu entries) visit them; the result False stops the walk.
    virtual bool EnumerateItems(void* Context, const TEnumerateResourceItemsCallback& Callback) { return true; }

protected:
    virtual TCustomResourceItem* GetBaseResourceItem() const = 0;

private:
    TCustomResourceItemItems* FCollection;
};

// The elements of one item, owned here. A batch on the collection is a batch on the item; a change of an
// element outside a batch, and the closing of the outermost batch, reports the item changed.
class TCustomResourceItemItems {
    friend class TCustomResourceItemItem;

public:
    explicit TCustomResourceItemItems(TCustomResourceItem* AResourceItem) : FResourceItem(AResourceItem) {}
    virtual ~TCustomResourceItemItems();
    TCustomResourceItemItems(const TCustomResourceItemItems&) = delete;
    TCustomResourceItemItems& operator=(const TCustomResourceItemItems&) = delete;

    TCustomResourceItem* ResourceItem() const { return FResourceItem; }
    int Count() const { return static_cast<int>(FItems.size()); }
    TCustomResourceItemItem* Item(int Index) const;
    int IndexOf(const TCustomResourceItemItem* Item) const;
    TCustomResourceItemItem* AddItem() { return InsertItem(Count()); }
    TCustomResourceItemItem* InsertItem(int Index);
    void Delete(int Index);
    void Move(int OldIndex, int NewIndex);
    void Clear();

    virtual void BeginUpdate();
    virtual void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }
    // Called for a changed element (nullptr: the whole collection); tells the item.
    virtual void Update(TCustomResourceItemItem* Item);
    virtual bool EnumerateItems(void* Context, const TEnumerateResourceItemsCallback& Callback);

protected:
    virtual std::unique_ptr<TCustomResourceItemItem> CreateElement() = 0;
    // Told after an element is added and before one is deleted, inside the collection's batch.
    virtual void Notify(TCustomResourceItemItem* Item, TCollectionNotification Action) {}
    // The collection changed as a whole: tells the item now, or when the batch closes.
    void Changed();

private:
    TCustomResourceItem* FResourceItem;
    std::vector<std::unique_ptr<TCustomResourceItemItem>> FItems;
    int FUpdateCount = 0;
};

// The elements of an item of kind TParent, of element class TChild (constructible from the collection).
template <class TParent, class TChild>
class TResourceItemItems : public TCustomResourceItemItems {
public:
    explicit TResourceItemItems(TParent* AResourceItem) : TCustomResourceItemItems(AResourceItem) {}
    TParent* ResourceItem() const { return static_cast<TParent*>(TCustomResourceItemItems::ResourceItem()); }
    TChild* Add() { return static_cast<TChild*>(AddItem()); }
    TChild* Insert(int Index) { return static_cast<TChild*>(InsertItem(Index)); }
    TChild* Items(int Index) const { return static_cast<TChild*>(Item(Index)); }

protected:
    std::unique_ptr<TCustomResourceItemItem> CreateElement() override { return std::make_unique<TChild>(this); }
};

// An element of an item of kind T.
template <class T>
class TResourceItemItem : public TCustomResourceItemItem {
public:
    using TCustomResourceItemItem::TCustomResourceItemItem;
    T* ResourceItem() const { return static_cast<T*>(Collection()->ResourceItem()); }

protected:
    TCustomResourceItem* GetBaseResourceItem() const override { return Collection()->ResourceItem(); }
};

// Element identifiers pass symbol notifications on to an element that wants them (to refresh captions).
template <class TBase, class T>
class TResourceChildIdentifierOf : public TBase {
public:
    TResourceChildIdentifierOf(TCustomResourceItem* AResourceItem, T* AItem) : TBase(AResourceItem), FItem(AItem) {}
    T* Item() const { return FItem; }
    void ResourceSymbolNotification(TResourceSymbol* Symbol, TResourceSymbolNotification Notification) override
    {
        TBase::ResourceSymbolNotification(Symbol, Notification);
        if (auto* element = dynamic_cast<IResourceSymbolNotification*>(FItem))
            element->ResourceSymbolNotification(Symbol, Notification);
    }

protected:
    T* FItem;
};

template <class T>
using TResourceOrdinalChildIdentifier = TResourceChildIdentifierOf<TCustomResourceOrdinalWordIdentifier, T>;
template <class T>
using TResourceOrdinalDwordChildIdentifier = TResourceChildIdentifierOf<TCustomResourceOrdinalDWordIdentifier, T>;

// The help ID of an element (dialog control, menu entry): may be generated from the element's ID and the
// item's name as a symbol "H<ID>" in the module's help file.
class TCustomResourceHelpIdentifier : public TCustomResourceOrdinalDWordIdentifier {
    Q_OBJECT
    Q_PROPERTY(bool Generate READ Generate WRITE SetGenerate)

public:
    using TCustomResourceOrdinalDWordIdentifier::TCustomResourceOrdinalDWordIdentifier;
    bool Generate() const { return FGenerate; }
    void SetGenerate(bool Value);
    // (item name shl 16) + 0x80000000, or the element's ID. Raises for an item with a named name.
    uint32_t GeneratedID() const;
    // Gives the help identifier of the element with ID Lo in the item of the same type named by the
    // ordinal Hi; nullptr when there is none.
    using TFindHelpPartner = std::function<TCustomResourceHelpIdentifier*(uint16_t Hi, uint16_t Lo)>;
    // After a load: ties the help ID read with the element to the help symbol it was generated as,
    // where that can be told, and logs a warning where it cannot.
    void BindLoaded(const TFindHelpPartner& FindPartner);

protected:
    // The element's own ID identifier.
    virtual TCustomResourceOrdinalIdentifier* GetItemIdentifier() const = 0;
    void DoSetSymbol(TResourceSymbol* Value) override;

private:
    QString HelpSymbolName() const;
    // Binds to the help symbol "H<ID>", made in the module's help file when missing.
    void GenerateSymbol();
    bool FGenerate = false;
};

template <class T>
class TResourceHelpChildIdentifier : public TResourceChildIdentifierOf<TCustomResourceHelpIdentifier, T> {
public:
    using TResourceChildIdentifierOf<TCustomResourceHelpIdentifier, T>::TResourceChildIdentifierOf;
};
