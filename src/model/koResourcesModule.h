// A loaded resource container: the list that owns all its items (children included), its change
// batches, its subscribers, its file name and modified state.
#pragma once

#include "koGenerics.h"
#include "koResourcesItem.h"
#include "platform/Sets.h"

#include <QObject>
#include <memory>

class TCustomResourceModule;

enum TResourceModuleStateFlag { msDestroying, msLoading, msSaving };
using TResourceModuleState = TSet<TResourceModuleStateFlag>;

// The module's own list: it owns its items, and adding or extracting an item sets the item's module.
class TResourceModuleItemList : public TResourceItemList {
public:
    explicit TResourceModuleItemList(TCustomResourceModule* AModule);
    int BeginUpdate() override;
    int EndUpdate() override;
    void Add(TCustomResourceItem* Item) override;
    using TResourceItemList::Add;
    TCustomResourceItem* Extract(TCustomResourceItem* Item) override;
    TCustomResourceModule* Module() const { return FModule; }

private:
    TCustomResourceModule* FModule;
};

class TCustomResourceModule : public QObject {
    Q_OBJECT

public:
    TCustomResourceModule();
    ~TCustomResourceModule() override;

    TResourceItemList* Items();
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }
    void Subscribe(IResourceItemNotification* Subscriber);
    void Unsubscribe(IResourceItemNotification* Subscriber);
    // Called by items and by the module's own batches.
    virtual void ItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification);

    TCustomResourceItem* Find(const TResourceIdent& ResourceType) const;
    TCustomResourceItem* Find(const TResourceIdent& ResourceType, const TResourceIdent& Name) const;
    TCustomResourceItem* Find(const TResourceIdent& ResourceType, const TResourceIdent& Name, uint16_t Language) const;
    bool EnumerateItems(void* Context, const TEnumerateResourceItemsCallback& Callback);

    virtual void Clear();
    // True when the module keeps the resource compiler's next-identifier counters.
    bool UsesIdentifierCounters() const { return false; }

    const QString& Encoding() const { return FEncoding; }
    void SetEncoding(const QString& Value) { FEncoding = Value; }
    bool NeedFix() const { return FNeedFix; }
    void SetNeedFix(bool Value) { FNeedFix = Value; }
    const QString& Filename() const { return FFilename; }
    void SetFilename(const QString& Value) { FFilename = Value; }
    bool Modified() const { return FModified; }
    void SetModified(bool Value) { FModified = Value; }
    bool ItemAdded() const { return FItemAdded; }
    TResourceModuleState ModuleState() const { return FModuleState; }

    virtual void BeforeLoad();
    virtual void AfterLoad();
    virtual void BeforeSave();
    virtual void AfterSave();

protected:
    virtual std::unique_ptr<TResourceItemList> CreateItemList();

private:
    std::unique_ptr<TResourceItemList> FItems;
    std::unique_ptr<TWeakInterfaceList<IResourceItemNotification>> FSubscriptions;
    int FUpdateCount = 0;
    QString FEncoding;
    bool FNeedFix = false;
    QString FFilename;
    bool FModified = false;
    bool FItemAdded = false;
    TResourceModuleState FModuleState;
};

class TResourceModule : public TCustomResourceModule {
    Q_OBJECT

public:
    using TCustomResourceModule::TCustomResourceModule;
};
