#include "koResourceView.h"

#include "platform/Exceptions.h"
#include "platform/Format.h"

#include <QHBoxLayout>
#include <QPainter>
#include <algorithm>

namespace {
TRegistrySingleton<TCustomResourceItemViewDatabase, TResourceItemViewDatabase>& Registry()
{
    static TRegistrySingleton<TCustomResourceItemViewDatabase, TResourceItemViewDatabase> registry;
    return registry;
}
} // namespace

std::unique_ptr<TStream> ItemDataForHandles(TCustomResourceItem* Item)
{
    if (!Item->ClassType()->Capabilities().Contains(rcWrite)) return nullptr;
    return std::make_unique<TResourceItemOnDemandStream>(Item);
}

// TResourceItemFrame

TResourceItemFrame::~TResourceItemFrame()
{
    // Cleared first, so the goodbye of the unsubscription finds no item to check against.
    TCustomResourceItem* former = FResourceItem;
    FResourceItem = nullptr;
    if (former) former->Unsubscribe(this);
}

void TResourceItemFrame::AttachItem(TCustomResourceItem* Item)
{
    FResourceItem = Item;
    if (Item) Item->Subscribe(this);
}

QString TResourceItemFrame::ItemCaption() const
{
    return FResourceItem ? FResourceItem->ClassType()->ResourceTypeName() : QString();
}

// TCustomResourceItemView

void TCustomResourceItemView::SetResourceItem(TCustomResourceItem* Item)
{
    AttachItem(Item);
    if (FNeedLoad && Item) {
        FHasLoaded = true;
        FNeedLoad = false;
        LoadView();
    }
}

void TCustomResourceItemView::Draw(QPainter& Canvas, const QRect& Rect)
{
    Canvas.fillRect(Rect, QColor(0xFF, 0xFF, 0xFF));
    CheckLoaded();
}

QWidget* TCustomResourceItemView::GetControl()
{
    if (FResourceItem) {
        if (!FHasLoaded) {
            FHasLoaded = true;
            LoadView();
        }
        FNeedLoad = false;
    } else {
        FNeedLoad = true;
    }
    return this;
}

void TCustomResourceItemView::CheckLoaded()
{
    if (!FResourceItem || FHasLoaded) return;
    FHasLoaded = true;
    FNeedLoad = false;
    LoadView();
}

void TCustomResourceItemView::ResourceItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification)
{
    ATELIER_ASSERT(Item == FResourceItem || (!FResourceItem && Notification == rnUnsubscribe));
    // An item that goes away first leaves the view showing what it has, without a dangling item.
    if (Notification == rnUnsubscribe && Item == FResourceItem) FResourceItem = nullptr;
    if (Notification == rnChanged && Item) {
        update();
        LoadView();
    }
}

// Factories

void TResourceItemViewFactoryClassInfo::Register(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName,
                                                 int Priority) const
{
    ResourceItemViewDatabase()->Add(this, ResourceType, Priority, ResourceName);
}

void TResourceItemViewFactoryClassInfo::Register(int Priority) const { ResourceItemViewDatabase()->Add(this, Priority); }

void TResourceItemViewFactoryClassInfo::Unregister() const { ResourceItemViewDatabase()->Remove(this); }

// TResourceItemViewDatabase

TResourceItemViewFactoryClass TResourceItemViewDatabase::GetFactory(int Index) const
{
    if (Index < 0 || Index >= GetCount()) throw EListError(Format("List index out of bounds (%d)", {Index}));
    return FList[static_cast<size_t>(Index)].FactoryClass;
}

void TResourceItemViewDatabase::Add(TResourceItemViewFactoryClass FactoryClass, const TResourceIdent& ResourceType,
                                    int Priority, const TResourceIdent& ResourceName)
{
    // Before every entry of equal or higher priority: the newest first among equals.
    size_t index = FList.size();
    while (index > 0 && FList[index - 1].Priority >= Priority) --index;
    FList.insert(FList.begin() + static_cast<ptrdiff_t>(index), {FactoryClass, ResourceType, ResourceName, Priority});
}

void TResourceItemViewDatabase::Remove(TResourceItemViewFactoryClass FactoryClass)
{
    FList.erase(std::remove_if(FList.begin(), FList.end(),
                               [&](const TResourceItemViewEntry& e) { return e.FactoryClass == FactoryClass; }),
                FList.end());
}

TResourceItemViewFactoryClass TResourceItemViewDatabase::FindByPasses(
    const TResourceIdent& ResourceType, const TResourceIdent& ResourceName,
    const std::function<bool(TResourceItemViewFactoryClass)>& Matches, const TResourceItemViewCallback& Callback)
{
    const std::pair<TResourceIdent, TResourceIdent> passes[] = {
        {ResourceType, ResourceName}, {ResourceType, {}}, {{}, ResourceName}, {{}, {}}};
    std::vector<TResourceItemViewFactoryClass> reported;
    TResourceItemViewFactoryClass result = nullptr;
    for (const auto& [type, name] : passes) {
        // Entries are copied: a factory asked may not change the registry under the walk.
        const std::vector<TResourceItemViewEntry> entries = FList;
        for (const TResourceItemViewEntry& entry : entries) {
            if (entry.ResourceType != type || entry.ResourceName != name) continue;
            if (std::find(reported.begin(), reported.end(), entry.FactoryClass) != reported.end()) continue;
            if (!Matches(entry.FactoryClass)) continue;
            result = entry.FactoryClass;
            reported.push_back(result);
            if (!Callback) return result;
            bool Continue = true;
            Callback(result, Continue);
            if (!Continue) return result;
        }
    }
    return result;
}

TResourceItemViewFactoryClass TResourceItemViewDatabase::Find(TCustomResourceItem* ResourceItem,
                                                             const TResourceItemViewCallback& Callback)
{
    const std::unique_ptr<TStream> data = ItemDataForHandles(ResourceItem);
    const TResourceIdent type = ResourceItem->ResourceType();
    const TResourceIdent name = ResourceItem->Name();
    return FindByPasses(type, name, [&](TResourceItemViewFactoryClass factory) {
        if (factory->Handles(ResourceItem)) return true;
        if (!data) return false;
        data->SetPosition(0); // every factory looks from the start
        return factory->Handles(type, name, data.get());
    }, Callback);
}

TResourceItemViewFactoryClass TResourceItemViewDatabase::Find(const TResourceIdent& ResourceType,
                                                             const TResourceIdent& ResourceName,
                                                             const TResourceItemViewCallback& Callback, TStream* Data)
{
    return FindByPasses(ResourceType, ResourceName, [&](TResourceItemViewFactoryClass factory) {
        return factory->Handles(ResourceType, ResourceName, Data);
    }, Callback);
}

TCustomResourceItemViewDatabase* ResourceItemViewDatabase() { return Registry().Get(); }

TResourceItemViewDatabaseFactory SetResourceItemViewDatabaseClass(TResourceItemViewDatabaseFactory Factory)
{
    return Registry().SetFactory(Factory);
}

void koResourceView_Finalize() { Registry().Reset(); }

TViewErrorStrip CreateViewErrorStrip(QWidget* Parent, const QPixmap& Picture, const QString& Text)
{
    TViewErrorStrip strip;
    strip.Panel = new QWidget(Parent);
    auto* layout = new QHBoxLayout(strip.Panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    strip.Image = new QLabel(strip.Panel);
    strip.Image->setPixmap(Picture);
    strip.Image->setFixedSize(22, 22);
    layout->addWidget(strip.Image, 0, Qt::AlignLeft | Qt::AlignTop);
    strip.Label = new QLabel(Text, strip.Panel);
    strip.Label->setTextFormat(Qt::PlainText);
    strip.Label->setWordWrap(true);
    strip.Label->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(strip.Label, 1);
    strip.Panel->hide();
    return strip;
}
