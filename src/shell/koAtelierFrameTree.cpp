#include "koAtelierFrame.h"

#include "koImageList.h"
#include "koGlyphService.h"
#include "koTreeView.h"
#include "model/koResources.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/Format.h"
#include "platform/UpdateGuard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>

namespace {
const char* const SProcessing = "Processing";
const char* const SOrphanedChild = "Orphaned child item: %s:%s";
const int StateImageRole = Qt::UserRole + 1;

QString Str(const char* Text) { return QString::fromLatin1(Text); }

// Qt must not see exceptions: event handlers run guarded.
void Guarded(const std::function<void()>& Handler) { GuardedCall(Handler); }

// The two state pictures of the tree: a warning sign and a modified mark.
QImage StatusImage(int Index)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    if (Index == 1) {
        const QPointF triangle[] = {{8, 1.5}, {15, 14.5}, {1, 14.5}};
        painter.setPen(QColor(140, 90, 0));
        painter.setBrush(QColor(255, 200, 40));
        painter.drawPolygon(triangle, 3);
        painter.fillRect(QRectF(7.25, 5.5, 1.5, 5), Qt::black);
        painter.fillRect(QRectF(7.25, 11.5, 1.5, 1.5), Qt::black);
    } else if (Index == 2) {
        painter.setPen(QColor(120, 0, 0));
        painter.setBrush(QColor(220, 40, 40));
        painter.drawEllipse(QRectF(9.5, 9.5, 6, 6));
    }
    return image;
}
} // namespace

// TResourceNameDelegate

TResourceNameDelegate::TResourceNameDelegate(TFrameAtelier* Frame) : QStyledItemDelegate(Frame), FFrame(Frame) {}

void TResourceNameDelegate::paint(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const
{
    QStyledItemDelegate::paint(Painter, Option, Index);
    const int state = Index.data(StateImageRole).toInt();
    if (state <= 0) return;
    static const QImage images[] = {QImage(), StatusImage(1), StatusImage(2)};
    QStyleOptionViewItem option = Option;
    initStyleOption(&option, Index);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    const QRect icon = style->subElementRect(QStyle::SE_ItemViewItemDecoration, &option, widget);
    Painter->drawImage(QRect(icon.topLeft(), QSize(16, 16)), images[std::min(state, 2)]);
}

void TResourceNameDelegate::setModelData(QWidget* Editor, QAbstractItemModel*, const QModelIndex& Index) const
{
    auto* edit = qobject_cast<QLineEdit*>(Editor);
    auto* node = dynamic_cast<TCustomTreeNodeResourceItem*>(FFrame->FTreeViewResources->itemFromIndex(Index));
    if (!edit || !node) return;
    const QString text = edit->text();
    Guarded([&] { FFrame->RenameNode(node, text); });
}

// TTreeNodeResource

TTreeNodeResource::TTreeNodeResource(TFrameAtelier* Owner) : QTreeWidgetItem(QTreeWidgetItem::UserType), FOwner(Owner) {}

TTreeNodeResource::~TTreeNodeResource()
{
    if (FOwner && FOwner->FPendingSelectNode == this) FOwner->FPendingSelectNode = nullptr;
    FPendingNodes.clear();
}

int TTreeNodeResource::StateIndex() const { return data(0, StateImageRole).toInt(); }

void TTreeNodeResource::SetStateIndex(int Value)
{
    if (StateIndex() != Value) setData(0, StateImageRole, Value);
}

void TTreeNodeResource::InsertChild(TTreeNodeResource* Node)
{
    // The state picture waits until the node is in place, as a node knows nothing of its tree before.
    const int state = Node->StateIndex();
    Node->SetStateIndex(0);
    addChild(Node);
    Node->SetStateIndex(state);
    FHasChildren = true;
}

void TTreeNodeResource::AddChild(TTreeNodeResource* Node, const QString& Text)
{
    Node->setText(0, Text);
    if (isExpanded() || !FHasChildren || FExpanded) {
        InsertChild(Node);
    } else {
        Node->FPendingParent = this;
        FPendingNodes.emplace_back(Node);
    }
}

void TTreeNodeResource::Expanding()
{
    if (FPendingNodes.empty()) {
        FExpanded = true;
        return;
    }
    std::vector<std::unique_ptr<TTreeNodeResource>> pending;
    pending.swap(FPendingNodes);
    QList<QTreeWidgetItem*> nodes;
    for (auto& node : pending) {
        node->FPendingParent = nullptr;
        nodes.append(node.release());
    }
    addChildren(nodes);
    FHasChildren = true;
    FExpanded = true;
}

TTreeNodeResource* TTreeNodeResource::GetFirstChild() const
{
    return childCount() > 0 ? static_cast<TTreeNodeResource*>(child(0)) : nullptr;
}

TTreeNodeResource* TTreeNodeResource::GetNextChild(TTreeNodeResource* Current) const
{
    if (!FExpanded && !FPendingNodes.empty()) {
        auto it = std::find_if(FPendingNodes.begin(), FPendingNodes.end(),
                               [&](const std::unique_ptr<TTreeNodeResource>& n) { return n.get() == Current; });
        if (it == FPendingNodes.end()) return FPendingNodes.front().get();
        ++it;
        return it == FPendingNodes.end() ? nullptr : it->get();
    }
    const int index = indexOfChild(Current);
    return index >= 0 && index + 1 < childCount() ? static_cast<TTreeNodeResource*>(child(index + 1)) : nullptr;
}

void TTreeNodeResource::Purge()
{
    if (FPendingParent) {
        // Not in the tree yet: leaves its parent's pending list.
        auto& list = FPendingParent->FPendingNodes;
        for (auto it = list.begin(); it != list.end(); ++it)
            if (it->get() == this) {
                it->release();
                list.erase(it);
                break;
            }
        FPendingParent = nullptr;
        delete this;
        return;
    }
    auto* parentNode = static_cast<TTreeNodeResource*>(parent());
    if (!parentNode || parentNode->childCount() + parentNode->PendingCount() >= 2) {
        delete this;
        return;
    }
    parentNode->Purge();
}

TTreeNodeResourceType::TTreeNodeResourceType(TFrameAtelier* Owner, const TResourceIdent& ResourceType)
    : TTreeNodeResource(Owner), FResourceType(ResourceType)
{
}

// TCustomTreeNodeResourceItem

void TCustomTreeNodeResourceItem::DeleteItem(TCustomResourceItem* Item)
{
    TResourceItemList* items = Items();
    ATELIER_ASSERT(Item != items->Parent());
    // Freeing an item takes it out of its module.
    TResourceItemPtr(items->Extract(Item));
    if (items->Count() == 0) Purge();
}

void TCustomTreeNodeResourceItem::DeleteItems(TCustomResourceItem* Exclude)
{
    TResourceItemList* items = Items();
    for (int i = items->Count() - 1; i >= 0; --i) {
        TCustomResourceItem* item = items->Items(i);
        if (item != Exclude) TResourceItemPtr(items->Extract(item));
    }
}

TResourceItemList* TTreeNodeResourceItem::GetItems()
{
    if (!FItems) FItems = std::make_unique<TResourceItemList>(nullptr, false);
    return FItems.get();
}

namespace {
// The variants of one resource share their name: each is renamed while locked, so the check against
// the module does not trip over a variant renamed a moment earlier, and reports its change afterwards.
void RenameVariant(TCustomResourceItem* Item, const std::function<void()>& Rename)
{
    Item->BeginUpdate();
    TFinally changed([Item] { Item->EndUpdate(); });
    Item->LockUpdate();
    TFinally unlock([Item] { Item->UnlockUpdate(); });
    Rename();
}
} // namespace

void TTreeNodeResourceItem::RenameItem(const TResourceIdent& Name)
{
    for (TCustomResourceItem* item : *Items()) item->ValidateID(Name);
    for (TCustomResourceItem* item : *Items()) RenameVariant(item, [&] { item->SetName(Name); });
}

void TTreeNodeResourceItem::RenameItem(TResourceSymbol* Symbol)
{
    const TResourceIdent value = TextToResourceIdent(Symbol->ValueText());
    for (TCustomResourceItem* item : *Items()) item->ValidateID(value);
    for (TCustomResourceItem* item : *Items()) RenameVariant(item, [&] { item->ID()->SetSymbol(Symbol); });
}

void TTreeNodeResourceItem::Delete()
{
    DeleteItems(nullptr);
    Purge();
}

TTreeNodeResourceGroupItem::TTreeNodeResourceGroupItem(TFrameAtelier* Owner, TCustomResourceItem* Item)
    : TCustomTreeNodeResourceItem(Owner), FItem(Item)
{
}

void TTreeNodeResourceGroupItem::RenameItem(const TResourceIdent& Name) { FItem->SetName(Name); }

void TTreeNodeResourceGroupItem::RenameItem(TResourceSymbol* Symbol) { FItem->ID()->SetSymbol(Symbol); }

void TTreeNodeResourceGroupItem::Delete()
{
    DeleteItems(nullptr);
    // Forgotten first, so the tree does not look for this node while the item goes.
    TResourceItemDeleter()(std::exchange(FItem, nullptr));
    Purge();
}

void TFrameAtelier::FillTree(const TResourceProgress& ProgressCallback)
{
    ATELIER_ASSERT(!FLoading);
    FLoading = true;
    const auto progress = [&](TResourceProgressStage stage, int current, int maximum, const QString& message) {
        if (ProgressCallback) ProgressCallback(nullptr, stage, current, maximum, message, nullptr);
    };
    int count = 0;
    bool begun = false;
    try {
        FTreeViewResources->setUpdatesEnabled(false);
        const QSignalBlocker block(FTreeViewResources);
        TResourceItemList items(nullptr, false);
        for (TCustomResourceItem* item : *FResourceModule->Items())
            if (!item->Parent() && (FViewHidden || !item->Hidden())) items.Add(item);
        items.Sort();
        count = items.Count();
        progress(psBegin, 0, count, Str(SProcessing));
        begun = true;
        TTreeNodeResourceType* typeNode = nullptr;
        // The item nodes of the current type by name: searching the type node for each item would make
        // filling quadratic in the number of resources of a type.
        QHash<QString, TTreeNodeResourceItem*> nodesByName;
        TProgressPacer pacer;
        for (int i = 0; i < count; ++i) {
            TCustomResourceItem* item = items[i];
            if (item->Internal() && item->ResourceTypeIsInteger() && item->ResourceTypeInteger() == 0) {
                AddInfoNode(item);
            } else {
                if (!typeNode || typeNode->ResourceType() != item->ResourceType()) {
                    typeNode = GetTypeNode(item, false);
                    nodesByName.clear();
                }
                TCustomTreeNodeResourceItem* node = nullptr;
                if (item->IsGroup()) {
                    node = CreateItemNode(typeNode, item);
                } else if (TTreeNodeResourceItem* named = nodesByName.value(item->Name())) {
                    named->Items()->Add(item);
                    node = named;
                } else {
                    node = CreateItemNode(typeNode, item);
                    nodesByName.insert(item->Name(), static_cast<TTreeNodeResourceItem*>(node));
                }
                if (item->Modified()) node->SetStateIndex(2);
                if (item->ClassType()->ParentClass()) {
                    typeNode->SetStateIndex(1);
                    LogMessage(Format(SOrphanedChild, {ResourceIdentToString(item->Name()), item->FriendlyTypeName()}),
                               rmWarning, item);
                }
            }
            if (pacer.Due())
                progress(psProgress, i, count, Format("%s (%s)", {item->FriendlyName(), item->FriendlyTypeName()}));
        }
    } catch (...) {
        if (begun) progress(psEnd, count, count, Str(SProcessing));
        FTreeViewResources->setUpdatesEnabled(true);
        FLoading = false;
        throw;
    }
    progress(psEnd, count, count, Str(SProcessing));
    FTreeViewResources->setUpdatesEnabled(true);
    FLoading = false;
}

// Tree

int TFrameAtelier::NodeImage(TResourceItemClass ItemClass, TResourceItemGlyph Kind, int DefaultGlyph)
{
    int handle = ItemClass ? ItemClass->GetGlyph(Kind) : -1;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (handle >= 0) {
            for (const auto& [glyph, index] : FGlyphImages)
                if (glyph == handle) return index;
            QImage image;
            try {
                if (GlyphService()->GetGlyph(handle, gsSmall, image, gsNormal) && !image.isNull()) {
                    const int index = FImageListResourceTypes->Add(image);
                    FGlyphImages.emplace_back(handle, index);
                    return index;
                }
            } catch (const Exception&) {
            }
        }
        handle = DefaultGlyph;
    }
    return -1;
}

void TFrameAtelier::ApplyNodeImage(TTreeNodeResource* Node, int ImageIndex)
{
    if (ImageIndex < 0) return;
    Node->setIcon(0, QIcon(QPixmap::fromImage(FImageListResourceTypes->Image(ImageIndex))));
}

TTreeNodeResourceType* TFrameAtelier::GetTypeNode(TCustomResourceItem* Item, bool Reuse)
{
    if (Reuse)
        if (TTreeNodeResourceType* node = FindTypeNode(Item->ResourceType())) return node;
    auto* node = new TTreeNodeResourceType(this, Item->ResourceType());
    node->setText(0, Item->FriendlyTypeName());
    ApplyNodeImage(node, NodeImage(Item->ClassType(), rgType, FDefaultGlyphType));
    FTreeViewResources->addTopLevelItem(node);
    return node;
}

TCustomTreeNodeResourceItem* TFrameAtelier::GetItemNode(TTreeNodeResourceType* TypeNode, TCustomResourceItem* Item)
{
    if (!TypeNode) TypeNode = GetTypeNode(Item, false);
    if (!Item->IsGroup()) {
        const TResourceIdent name = Item->Name();
        for (TTreeNodeResource* child = TypeNode->GetFirstChild(); child; child = TypeNode->GetNextChild(child)) {
            auto* itemNode = dynamic_cast<TTreeNodeResourceItem*>(child);
            if (!itemNode) continue;
            TResourceItemList* items = itemNode->Items();
            for (TCustomResourceItem* other : *items)
                if (other->Name() == name) {
                    items->Add(Item);
                    return itemNode;
                }
        }
    }
    return CreateItemNode(TypeNode, Item);
}

TCustomTreeNodeResourceItem* TFrameAtelier::CreateItemNode(TTreeNodeResourceType* TypeNode, TCustomResourceItem* Item)
{
    TCustomTreeNodeResourceItem* node;
    if (Item->IsGroup()) {
        node = new TTreeNodeResourceGroupItem(this, Item);
    } else {
        auto* itemNode = new TTreeNodeResourceItem(this);
        itemNode->Items()->Add(Item);
        node = itemNode;
    }
    if (node->CanEdit()) node->setFlags(node->flags() | Qt::ItemIsEditable);
    ApplyNodeImage(node, NodeImage(Item->ClassType(), rgItem, FDefaultGlyphItem));
    TypeNode->AddChild(node, Item->FriendlyName());
    return node;
}

TCustomTreeNodeResourceItem* TFrameAtelier::AddItemNode(TCustomResourceItem* Item)
{
    TCustomResourceItem* top = Item->Parent() ? Item->Parent() : Item;
    TCustomTreeNodeResourceItem* node = GetItemNode(GetTypeNode(top, true), top);
    FillVariantButtons(node, false);
    if (Item->Modified()) node->SetStateIndex(2);
    return node;
}

TCustomTreeNodeResourceItem* TFrameAtelier::AddInfoNode(TCustomResourceItem* Item)
{
    auto* node = new TTreeNodeInfoItem(this);
    node->Items()->Add(Item);
    node->setText(0, Item->FriendlyTypeName());
    TResourceItemClass itemClass = Item->ClassType();
    int image = itemClass->GetGlyph(rgType) >= 0 ? NodeImage(itemClass, rgType, -1) : -1;
    if (image < 0 && itemClass->GetGlyph(rgItem) >= 0) image = NodeImage(itemClass, rgItem, -1);
    if (image < 0) image = NodeImage(nullptr, rgType, FInfoGlyph >= 0 ? FInfoGlyph : FDefaultGlyphType);
    ApplyNodeImage(node, image);
    // Before the last info node of the run at the top, or first.
    int last = -1;
    for (int i = 0; i < FTreeViewResources->topLevelItemCount(); ++i) {
        if (!dynamic_cast<TTreeNodeInfoItem*>(FTreeViewResources->topLevelItem(i))) break;
        last = i;
    }
    FTreeViewResources->insertTopLevelItem(std::max(last, 0), node);
    return node;
}

TTreeNodeResourceType* TFrameAtelier::FindTypeNode(const TResourceIdent& ResourceType) const
{
    for (int i = 0; i < FTreeViewResources->topLevelItemCount(); ++i)
        if (auto* node = dynamic_cast<TTreeNodeResourceType*>(FTreeViewResources->topLevelItem(i)))
            if (node->ResourceType() == ResourceType) return node;
    return nullptr;
}

TCustomTreeNodeResourceItem* TFrameAtelier::FindItemNode(TCustomResourceItem* Item) const
{
    for (int i = 0; i < FTreeViewResources->topLevelItemCount(); ++i) {
        auto* typeNode = dynamic_cast<TTreeNodeResourceType*>(FTreeViewResources->topLevelItem(i));
        if (!typeNode) {
            // Info nodes hold their item like a resource node.
            auto* info = dynamic_cast<TTreeNodeInfoItem*>(FTreeViewResources->topLevelItem(i));
            if (info && info->Items()->Contains(Item)) return info;
            continue;
        }
        for (TTreeNodeResource* child = typeNode->GetFirstChild(); child; child = typeNode->GetNextChild(child)) {
            bool hit = false;
            if (auto* group = dynamic_cast<TTreeNodeResourceGroupItem*>(child))
                hit = group->Item() == Item;
            else if (auto* itemNode = dynamic_cast<TTreeNodeResourceItem*>(child))
                hit = !Item->IsGroup() && itemNode->Items()->Contains(Item);
            if (hit) {
                typeNode->Expanding();
                return static_cast<TCustomTreeNodeResourceItem*>(child);
            }
        }
    }
    return nullptr;
}

TCustomTreeNodeResourceItem* TFrameAtelier::FindClassNode(TResourceItemClass ItemClass) const
{
    for (int i = 0; i < FTreeViewResources->topLevelItemCount(); ++i) {
        auto* top = dynamic_cast<TTreeNodeResource*>(FTreeViewResources->topLevelItem(i));
        if (auto* info = dynamic_cast<TTreeNodeInfoItem*>(top)) {
            for (TCustomResourceItem* item : *info->Items())
                if (item->ClassType() == ItemClass) return info;
            continue;
        }
        auto* typeNode = dynamic_cast<TTreeNodeResourceType*>(top);
        if (!typeNode) continue;
        for (TTreeNodeResource* child = typeNode->GetFirstChild(); child; child = typeNode->GetNextChild(child)) {
            auto* itemNode = dynamic_cast<TCustomTreeNodeResourceItem*>(child);
            bool hit = false;
            if (auto* group = dynamic_cast<TTreeNodeResourceGroupItem*>(child))
                hit = group->Item() && group->Item()->ClassType() == ItemClass;
            else if (itemNode)
                for (TCustomResourceItem* item : *itemNode->Items())
                    if (item->ClassType() == ItemClass) hit = true;
            if (hit) {
                typeNode->Expanding();
                return itemNode;
            }
        }
    }
    return nullptr;
}

void TFrameAtelier::RenameNode(TCustomTreeNodeResourceItem* Node, const QString& Text)
{
    if (Text.compare(Node->text(0), Qt::CaseInsensitive) == 0) return;
    TResourceIdent ident;
    TResourceSymbol* symbol = FResourceModule ? FResourceModule->Symbols()->Find(Text) : nullptr;
    if (symbol) {
        Node->RenameItem(symbol);
        ident = TResourceIdent(symbol->Symbol());
    } else {
        bool isNumber = false;
        const qlonglong number = Text.trimmed().toLongLong(&isNumber);
        if (isNumber)
            ident = TextToResourceIdent(QString::number(number & 0xFFFF));
        else
            ident = TResourceIdent(Text.toUpper());
        Node->RenameItem(ident);
    }
    Node->setText(0, ResourceIdentToText(ident));
}

// Tree selection

void TFrameAtelier::TreeCurrentChanged(QTreeWidgetItem* Current, QTreeWidgetItem* Previous)
{
    if (FRevertingSelection) return;
    if (Current != FCurrentNode) {
        if (!TreeChanging()) {
            FRevertingSelection = true;
            TFinally done([this] { FRevertingSelection = false; });
            FTreeViewResources->setCurrentItem(FCurrentNode);
            return;
        }
    }
    FCurrentNode = Current;
    Q_UNUSED(Previous);
    TreeChange(Current);
}

bool TFrameAtelier::TreeChanging()
{
    SetEditPaneRedraw(false);
    FPendingSelectNode = nullptr;
    FTimerSelect->stop();
    FTimerSelect->start();
    try {
        SelectChild(nullptr);
    } catch (const EAbort&) {
        FTimerSelect->stop();
        SetEditPaneRedraw(true);
        return false;
    }
    FChildButtons.Clear();
    return true;
}

void TFrameAtelier::TreeChange(QTreeWidgetItem* Node)
{
    if (auto* itemNode = dynamic_cast<TCustomTreeNodeResourceItem*>(Node)) {
        SelectNode(itemNode, true);
        return;
    }
    if (FTimerSelect->isActive()) {
        SetEditPaneRedraw(true);
    }
    FTimerSelect->stop();
    FPendingSelectNode = nullptr;
    if (FEditPaneRedrawOff) SetEditPaneRedraw(true);
}

void TFrameAtelier::SelectNode(TTreeNodeResource* Node, bool Debounce)
{
    if (Debounce) {
        FPendingSelectNode = Node;
        if (!FTimerSelect->isActive()) SetEditPaneRedraw(false);
        FTimerSelect->stop();
        FTimerSelect->start();
        return;
    }
    FPendingSelectNode = nullptr;
    if (auto* itemNode = dynamic_cast<TCustomTreeNodeResourceItem*>(Node)) {
        FillVariantButtons(itemNode, true);
        if (itemNode->Items()->Count() > 0) SelectChild(PreferredVariant(itemNode->Items(), UserLanguageID()));
    }
    if (FTimerSelect->isActive()) {
        FTimerSelect->stop();
        SetEditPaneRedraw(true);
    }
}

void TFrameAtelier::TimerSelectTimer() { SelectNode(FPendingSelectNode, false); }

// Tree keys

bool TFrameAtelier::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == FTreeViewResources) {
        if (Event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(Event);
            if (key->key() == Qt::Key_F2 || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                Guarded([&] { TreeKeyUp(key); });
                return true;
            }
        } else if (Event->type() == QEvent::ContextMenu && FPendingSelectNode) {
            Guarded([&] { SelectNode(FPendingSelectNode, false); });
        }
    }
    return QWidget::eventFilter(Watched, Event);
}

void TFrameAtelier::TreeKeyUp(QKeyEvent* Event)
{
    QTreeWidgetItem* node = FTreeViewResources->currentItem();
    if (Event->key() == Qt::Key_F2) {
        auto* itemNode = dynamic_cast<TCustomTreeNodeResourceItem*>(node);
        if (itemNode && itemNode->CanEdit()) FTreeViewResources->editItem(node, 0);
        return;
    }
    if (Event->modifiers() & Qt::ControlModifier) {
        if (FResourceItemEditor)
            if (QWidget* control = FResourceItemEditor->GetControl()) {
                control->setFocus();
                if (QWidget* first = control->nextInFocusChain(); first && control->isAncestorOf(first)) first->setFocus();
            }
        return;
    }
    if (dynamic_cast<TCustomTreeNodeResourceItem*>(node) && FPropertyInspector) FPropertyInspector->Activate();
}
