#include "koResourcesModule.h"

#include "platform/Exceptions.h"
#include "platform/UpdateGuard.h"

#include <algorithm>

// TResourceModuleItemList

TResourceModuleItemList::TResourceModuleItemList(TCustomResourceModule* AModule)
    : TResourceItemList(nullptr, true), FModule(AModule)
{
}

int TResourceModuleItemList::BeginUpdate()
{
    const int depth = TResourceItemList::BeginUpdate();
    if (depth == 1) FModule->BeginUpdate();
    return depth;
}

int TResourceModuleItemList::EndUpdate()
{
    const int depth = TResourceItemList::EndUpdate();
    if (depth == 0) FModule->EndUpdate();
    return depth;
}

void TResourceModuleItemList::Add(TCustomResourceItem* Item)
{
    TUpdateGuard batch(this);
    TResourceItemList::Add(Item);
    Item->SetModule(FModule);
}

TCustomResourceItem* TResourceModuleItemList::Extract(TCustomResourceItem* Item)
{
    TUpdateGuard batch(this);
    TCustomResourceItem* extracted = TResourceItemList::Extract(Item);
    if (extracted) extracted->SetModule(nullptr);
    return extracted;
}

// TCustomResourceModule

TCustomResourceModule::TCustomResourceModule() = default;

TCustomResourceModule::~TCustomResourceModule()
{
    FModuleState.Include(msDestroying);
    if (FSubscriptions)
        NotifyEach(*FSubscriptions, true, [](IResourceItemNotification* subscriber) {
            try {
                subscriber->ResourceItemNotification(nullptr, rnUnsubscribe);
            } catch (...) {
                HandleApplicationException(std::current_exception());
            }
        });
    // Free the items while the list is whole: each leaves the module and tells its own subscribers.
    if (FItems) {
        try {
            for (int i = FItems->Count() - 1; i >= 0; i = std::min(i - 1, FItems->Count() - 1))
                FItems->Remove(FItems->Items(i));
        } catch (...) {
            HandleApplicationException(std::current_exception());
        }
        FItems.reset();
    }
}

std::unique_ptr<TResourceItemList> TCustomResourceModule::CreateItemList()
{
    return std::make_unique<TResourceModuleItemList>(this);
}

TResourceItemList* TCustomResourceModule::Items()
{
    if (!FItems) FItems = CreateItemList();
    return FItems.get();
}

void TCustomResourceModule::BeginUpdate()
{
    if (FUpdateCount == 0) ItemNotification(nullptr, rnChanging);
    ++FUpdateCount;
}

void TCustomResourceModule::EndUpdate()
{
    ATELIER_ASSERT(FUpdateCount > 0);
    --FUpdateCount;
    if (FUpdateCount == 0) ItemNotification(nullptr, rnChanged);
}

void TCustomResourceModule::Subscribe(IResourceItemNotification* Subscriber)
{
    if (!Subscriber) return;
    if (!FSubscriptions) FSubscriptions = std::make_unique<TWeakInterfaceList<IResourceItemNotification>>();
    FSubscriptions->Add(Subscriber);
    Subscriber->ResourceItemNotification(nullptr, rnSubscribe);
}

void TCustomResourceModule::Unsubscribe(IResourceItemNotification* Subscriber)
{
    if (FSubscriptions && FSubscriptions->Remove(Subscriber)) Subscriber->ResourceItemNotification(nullptr, rnUnsubscribe);
}

void TCustomResourceModule::ItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification)
{
    const bool inBatch = FUpdateCount > 0;
    if (!inBatch && (Notification == rnAdded || Notification == rnRemoved || Notification == rnChanged)) FModified = true;
    if (Notification == rnAdded) FItemAdded = true;
    if (!FSubscriptions || (inBatch && (Notification == rnChanging || Notification == rnChanged))) return;
    NotifyEach(*FSubscriptions, Notification == rnUnsubscribe, [&](IResourceItemNotification* subscriber) {
        subscriber->ResourceItemNotification(Item, Notification);
    });
}

TCustomResourceItem* TCustomResourceModule::Find(const TResourceIdent& ResourceType) const
{
    if (FItems)
        for (TCustomResourceItem* item : *FItems)
            if (item->ResourceType() == ResourceType) return item;
    return nullptr;
}

TCustomResourceItem* TCustomResourceModule::Find(const TResourceIdent& ResourceType, const TResourceIdent& Name) const
{
    if (FItems)
        for (TCustomResourceItem* item : *FItems)
            if (item->ResourceType() == ResourceType && item->Name() == Name) return item;
    return nullptr;
}

TCustomResourceItem* TCustomResourceModule::Find(const TResourceIdent& ResourceType, const TResourceIdent& Name,
                                                 uint16_t Language) const
{
    if (FItems)
        for (TCustomResourceItem* item : *FItems)
            if (item->ResourceType() == ResourceType && item->Name() == Name && item->Language() == Language) return item;
    return nullptr;
}

bool TCustomResourceModule::EnumerateItems(void* Context, const TEnumerateResourceItemsCallback& Callback)
{
    if (!Callback) return false;
    bool Continue = true;
    if (FItems)
        for (int i = 0; Continue && i < FItems->Count(); ++i) Continue = FItems->Items(i)->EnumerateItems(Context, Callback);
    return Continue;
}

void TCustomResourceModule::Clear()
{
    {
        TUpdateGuard batch(this);
        if (FItems) FItems->Clear();
        FFilename.clear();
    }
    FModified = false;
}

void TCustomResourceModule::BeforeLoad() { FModuleState.Include(msLoading); }

void TCustomResourceModule::AfterLoad()
{
    try {
        // Groups split over several resources (one per language) come together under the first.
        for (int i = 0; i < Items()->Count(); ++i) {
            TCustomResourceItem* group = Items()->Items(i);
            if (!group->IsGroup()) continue;
            for (int j = Items()->Count() - 1; j > i; --j) {
                if (j >= Items()->Count()) continue;
                TCustomResourceItem* other = Items()->Items(j);
                if (!other->IsGroup() || other->ResourceType() != group->ResourceType() || other->Name() != group->Name())
                    continue;
                while (other->HasItems()) other->Items()->Items(other->Items()->Count() - 1)->SetParent(group);
                Items()->Remove(other);
            }
        }
        Items()->Sort();
        FModified = false;
        FItemAdded = false;
        std::vector<TCustomResourceItem*> roots;
        for (TCustomResourceItem* item : *Items())
            if (!item->Parent()) roots.push_back(item);
        for (TCustomResourceItem* item : roots)
            if (!item->ClassType()->ParentClass() && Items()->Contains(item)) item->AfterLoad();
        for (TCustomResourceItem* item : roots)
            if (item->ClassType()->ParentClass() && Items()->Contains(item) && !item->Parent()) item->AfterLoad();
        if (FItemAdded) Items()->Sort();
        FModified = false;
    } catch (...) {
        FModuleState.Exclude(msLoading);
        throw;
    }
    FModuleState.Exclude(msLoading);
}

void TCustomResourceModule::BeforeSave()
{
    FModuleState.Include(msSaving);
    for (TCustomResourceItem* item : *Items())
        if (!item->Parent()) item->BeforeSave();
}

void TCustomResourceModule::AfterSave()
{
    for (TCustomResourceItem* item : *Items())
        if (!item->Parent()) item->AfterSave();
    FModuleState.Exclude(msSaving);
}
