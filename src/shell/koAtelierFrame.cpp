#include "koAtelierFrame.h"

#include "koConfigurationService.h"
#include "koCursorService.h"
#include "koDockForm.h"
#include "koSplash.h"
#include "model/VersionInfo.h"
#include "koGlyphService.h"
#include "koImageList.h"
#include "koScrollBox.h"
#include "koSplitter.h"
#include "koTreeView.h"
#include "model/koResourceItemSymbols.h"
#include "model/koResources.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/Format.h"
#include "platform/SysUtils.h"
#include "platform/ShellLink.h"
#include "platform/UpdateGuard.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMainWindow>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScrollArea>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>
#include <optional>

namespace {
const char* const SNoReader = "Unable to locate a resource module reader for \"%s\"";
const char* const SProcessing = "Processing";
const char* const SOrphanedChild = "Orphaned child item: %s:%s";
const char* const SViewInitError = "Failed to initialize resource view:\r%s";
const char* const SEditInitError = "Failed to initialize atelier:\r%s";
const int StateImageRole = Qt::UserRole + 1;
const QRgb TransparentKey = qRgb(255, 254, 255);

QString Str(const char* Text) { return QString::fromLatin1(Text); }

// Qt must not see exceptions: event handlers run guarded.
void Guarded(const std::function<void()>& Handler) { GuardedCall(Handler); }

TCustomResourceItem* TopItem(TCustomResourceItem* Item)
{
    while (Item && Item->Parent()) Item = Item->Parent();
    return Item;
}

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

// Draws the state picture over the node's glyph and commits in-place renames.
class TResourceNameDelegate : public QStyledItemDelegate {
public:
    TResourceNameDelegate(TFrameAtelier* Frame) : QStyledItemDelegate(Frame), FFrame(Frame) {}

    void paint(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override
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

    void setModelData(QWidget* Editor, QAbstractItemModel*, const QModelIndex& Index) const override
    {
        auto* edit = qobject_cast<QLineEdit*>(Editor);
        auto* node = dynamic_cast<TCustomTreeNodeResourceItem*>(FFrame->FTreeViewResources->itemFromIndex(Index));
        if (!edit || !node) return;
        const QString text = edit->text();
        Guarded([&] { FFrame->RenameNode(node, text); });
    }

private:
    TFrameAtelier* FFrame;
};

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

// TResourceItemButton

QSize ResourceButtonThumbnailSize(int W, int H)
{
    const auto mulDiv = [](int a, int b, int c) { return static_cast<int>(std::lround(double(a) * b / c)); };
    if (W >= 8 && W <= 80 && H >= 16 && H <= 64) return {W, H};
    if (W > 80 || H > 64) {
        if (double(H) / 64 >= double(W) / 80) return {std::max(16, mulDiv(64, W, H)), 64};
        return {80, std::max(16, mulDiv(80, H, W))};
    }
    if (double(H) / 16 >= double(W) / 8) return {8, std::min(64, mulDiv(8, H, W))};
    return {std::min(64, mulDiv(16, W, H)), 16};
}

TResourceItemButton::TResourceItemButton(QWidget* Owner) : TCustomFancyGlyphButton(Owner) { setCheckable(true); }

TResourceItemButton::~TResourceItemButton()
{
    SetResourceItem(nullptr);
    delete FDivider.data();
}

void TResourceItemButton::SetResourceItem(TCustomResourceItem* Value)
{
    if (Value == FResourceItem) return;
    if (FResourceItem) {
        TCustomResourceItem* old = FResourceItem;
        FResourceItem = nullptr;
        old->Unsubscribe(this);
    }
    FResourceItem = Value;
    if (Value) {
        Value->Subscribe(this);
        ScheduleUpdate();
    }
}

void TResourceItemButton::ResourceItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification)
{
    if (Notification == rnUnsubscribe && Item == FResourceItem) {
        FResourceItem = nullptr;
        update();
    } else if (Notification == rnChanged) {
        ScheduleUpdate();
    }
}

void TResourceItemButton::UpdateGlyph(QImage& Glyph, QString& Title, QString& Description)
{
    if (!FResourceItem) return;
    if (Title.isEmpty()) Title = FResourceItem->Description();
    if (TResourceItemViewFactoryClass factory = ResourceItemViewDatabase()->Find(FResourceItem)) {
        try {
            IResourceItemViewPtr view = factory->CreateView();
            view->SetResourceItem(FResourceItem);
            QSize size;
            if (view->GetImageSize(size) && size.width() > 0 && size.height() > 0) {
                if (Title.isEmpty() || Title == FResourceItem->FriendlyName())
                    Title = QStringLiteral("(%1x%2)").arg(size.width()).arg(size.height());
                const QSize thumb = ResourceButtonThumbnailSize(size.width(), size.height());
                QImage image(thumb, QImage::Format_ARGB32);
                image.fill(TransparentKey);
                {
                    QPainter canvas(&image);
                    view->Draw(canvas, image.rect());
                }
                // The key colour stands for transparency.
                for (int y = 0; y < image.height(); ++y) {
                    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                    for (int x = 0; x < image.width(); ++x)
                        if (line[x] == (TransparentKey | 0xFF000000u)) line[x] = 0;
                }
                Glyph = image;
            }
        } catch (...) {
            Glyph = QImage();
        }
    }
    if (Description.isEmpty()) Description = LanguageIDToString(FResourceItem->Language());
}

// TResourceButtonList

void TResourceButtonList::Remove(TResourceItemButton* Button)
{
    const int index = IndexOf(Button);
    if (index >= 0) Delete(index);
}

void TResourceButtonList::Delete(int Index)
{
    TResourceItemButton* button = FList.at(Index);
    FList.erase(FList.begin() + Index);
    delete button;
}

int TResourceButtonList::IndexOf(const TResourceItemButton* Button) const
{
    for (int i = 0; i < Count(); ++i)
        if (FList[i] == Button) return i;
    return -1;
}

int TResourceButtonList::IndexOfItem(const TCustomResourceItem* Item) const
{
    for (int i = Count() - 1; i >= 0; --i)
        if (FList[i]->ResourceItem() == Item) return i;
    return -1;
}

void TResourceButtonList::Move(int OldIndex, int NewIndex)
{
    TResourceItemButton* button = FList.at(OldIndex);
    FList.erase(FList.begin() + OldIndex);
    FList.insert(FList.begin() + NewIndex, button);
}

void TResourceButtonList::Clear()
{
    std::vector<TResourceItemButton*> list;
    list.swap(FList);
    for (TResourceItemButton* button : list) delete button;
}

// TWorkspacePane

TWorkspacePane::TWorkspacePane(const QString& Name, const QString& Caption, QWidget* Parent) : QWidget(Parent)
{
    setObjectName(Name);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    FHeader = new QWidget(this);
    FHeader->setAutoFillBackground(true);
    FHeader->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    QPalette palette = FHeader->palette();
    palette.setColor(QPalette::Window, clGradientInactiveCaption());
    FHeader->setPalette(palette);
    auto* header = new QHBoxLayout(FHeader);
    header->setContentsMargins(6, 2, 2, 2);
    FHeaderLabel = new QLabel(FHeader);
    header->addWidget(FHeaderLabel, 1);
    FOptionsButton = new QToolButton(FHeader);
    FOptionsButton->setText(QStringLiteral("Options"));
    FOptionsButton->setToolTip(QStringLiteral("Options"));
    FOptionsButton->setAutoRaise(true);
    FOptionsButton->setPopupMode(QToolButton::InstantPopup);
    FOptionsButton->setArrowType(Qt::DownArrow);
    FOptionsButton->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    FOptionsButton->setVisible(false);
    header->addWidget(FOptionsButton);
    layout->addWidget(FHeader);
    // The content area takes the room even while it is empty, so the header stays on top.
    auto* content = new QWidget(this);
    content->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    FContent = new QVBoxLayout(content);
    FContent->setContentsMargins(0, 0, 0, 0);
    FContent->setSpacing(0);
    layout->addWidget(content, 1);
    SetText(Caption);
}

void TWorkspacePane::SetText(const QString& Value)
{
    if (Value == FText && !FHeaderLabel->text().isEmpty()) return;
    FText = Value;
    FHeaderLabel->setText(Value);
    setWindowTitle(Value);
    Q_EMIT TextChanged(Value);
}

void TWorkspacePane::SetPopupMenu(QMenu* Value)
{
    FPopupMenu = Value;
    setProperty(DockPopupMenuProperty, QVariant::fromValue<QObject*>(Value));
    FOptionsButton->setMenu(Value);
    FOptionsButton->setVisible(Value != nullptr);
}

// TFrameAtelier

TFrameAtelier::TFrameAtelier(QWidget* Owner) : QWidget(Owner)
{
    setObjectName(QStringLiteral("FrameAtelier"));
    auto appStart = SaveCursor(crAppStart);

    FBusyCursor = CursorService()->GetCursor(QStringLiteral("KO_BUSY"), crHourGlass);
    if (FBusyCursor != crHourGlass)
        ScreenCursors().SetHandle(crHourGlass, ScreenCursors().Handle(FBusyCursor));

    FImageListResourceTypes = std::make_unique<TImageList>(16, 16);
    auto glyphs = GlyphService();
    FDefaultGlyphType = glyphs->LoadGlyph(QStringLiteral("RES_GENERIC_TYPE"), QStringLiteral("generic.type"), gsSmall, gsNormal);
    FDefaultGlyphItem = glyphs->LoadGlyph(QStringLiteral("RES_GENERIC_ITEM"), QStringLiteral("generic.item"), gsSmall, gsNormal);
    FInfoGlyph = glyphs->LoadGlyph(QStringLiteral("RES_INFO_TYPE"), QStringLiteral("info.type"), gsSmall, gsNormal);

    CreatePanes();

    FTimerSelect = new QTimer(this);
    FTimerSelect->setInterval(200);
    connect(FTimerSelect, &QTimer::timeout, this, [this] { Guarded([this] { TimerSelectTimer(); }); });

    FSettings = std::make_unique<TAtelierSettings>(this);
    RegisterAtelier(this, FPreviousAtelier);
}

TFrameAtelier::~TFrameAtelier()
{
    Guarded([this] {
        auto busy = SaveCursor(FBusyCursor);
        ClearWorkspace();
    });
    // Whatever the clearing left behind must not outlive the panes it sits in.
    FResourceItemEditor.reset();
    FResourceItemView.reset();
    FChildButtons.Clear();
    FFrameButtons.Clear();
    UnregisterAtelier(this);
}

void TFrameAtelier::CreatePanes()
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    FPanelResources = new TWorkspacePane(QStringLiteral("PanelResources"), QStringLiteral("Resources"), this);
    FTreeViewResources = new TTreeView(FPanelResources);
    FTreeViewResources->setObjectName(QStringLiteral("TreeViewResources"));
    FTreeViewResources->setHeaderHidden(true);
    FTreeViewResources->setColumnCount(1);
    FTreeViewResources->setIndentation(19);
    FTreeViewResources->setSelectionBehavior(QAbstractItemView::SelectRows);
    FTreeViewResources->setAllColumnsShowFocus(true);
    FTreeViewResources->SetRightClickSelect(true);
    FTreeViewResources->setUniformRowHeights(true);
    FTreeViewResources->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FTreeViewResources->setItemDelegate(new TResourceNameDelegate(this));
    FTreeViewResources->installEventFilter(this);
    FPanelResources->Content()->addWidget(FTreeViewResources);
    connect(FTreeViewResources, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem* previous) {
                Guarded([&] { TreeCurrentChanged(current, previous); });
            });
    connect(FTreeViewResources, &QTreeWidget::itemExpanded, this, [](QTreeWidgetItem* node) {
        if (auto* resourceNode = dynamic_cast<TTreeNodeResource*>(node)) resourceNode->Expanding();
    });

    const auto makeFlow = [this](TWorkspacePane* pane, const QString& boxName, const QString& flowName,
                                 QScrollArea*& box, QWidget*& flow) {
        box = new TScrollBox(pane);
        box->setObjectName(boxName);
        box->setWidgetResizable(true);
        box->setFrameShape(QFrame::NoFrame);
        flow = new QWidget(box);
        flow->setObjectName(flowName);
        auto* flowLayout = new QVBoxLayout(flow);
        flowLayout->setContentsMargins(2, 2, 2, 2);
        flowLayout->setSpacing(0);
        flowLayout->addStretch(1);
        box->setWidget(flow);
        pane->Content()->addWidget(box);
    };
    FPanelVariants = new TWorkspacePane(QStringLiteral("PanelVariants"), QStringLiteral("Variants"), this);
    makeFlow(FPanelVariants, QStringLiteral("ScrollBoxChildren"), QStringLiteral("FlowPanelChildren"), FScrollBoxChildren,
             FFlowPanelChildren);
    FPanelFrames = new TWorkspacePane(QStringLiteral("PanelFrames"), QStringLiteral("Frames"), this);
    makeFlow(FPanelFrames, QStringLiteral("ScrollBoxFrames"), QStringLiteral("FlowPanelFrames"), FScrollBoxFrames,
             FFlowPanelFrames);

    FPanelPreview = new TWorkspacePane(QStringLiteral("PanelPreview"), QStringLiteral("Preview"), this);
    FFrameViewError = new TFrameViewEditHandlerError(FPanelPreview);
    FFrameViewError->setObjectName(QStringLiteral("FrameViewError"));
    FFrameViewError->hide();
    FPanelPreview->Content()->addWidget(FFrameViewError);
    FPanelEditor = new TWorkspacePane(QStringLiteral("PanelEditor"), QStringLiteral("Edit"), this);
    FFrameEditError = new TFrameViewEditHandlerError(FPanelEditor);
    FFrameEditError->setObjectName(QStringLiteral("FrameEditError"));
    FFrameEditError->hide();
    FPanelEditor->Content()->addWidget(FFrameEditError);

    FPopupActionBarPreview = new QMenu(this);
    FPopupActionBarPreview->setObjectName(QStringLiteral("PopupActionBarPreview"));
    connect(FPopupActionBarPreview, &QMenu::aboutToShow, this, [this] { Guarded([this] { PopupPreview(); }); });
    FPanelPreview->SetPopupMenu(FPopupActionBarPreview);
    FPopupActionBarEdit = new QMenu(this);
    FPopupActionBarEdit->setObjectName(QStringLiteral("PopupActionBarEdit"));
    connect(FPopupActionBarEdit, &QMenu::aboutToShow, this, [this] { Guarded([this] { PopupEdit(); }); });
    FPanelEditor->SetPopupMenu(FPopupActionBarEdit);
    FActionViewAs = new QAction(QStringLiteral("View as"), this);
    FActionViewAs->setEnabled(false);
    FActionEditAs = new QAction(QStringLiteral("Edit as"), this);
    FActionEditAs->setEnabled(false);

    // Until the panes are docked: resources and variants on the left, preview over the editor.
    auto* left = new TSplitter(Qt::Vertical, this);
    left->addWidget(FPanelResources);
    left->addWidget(FPanelVariants);
    left->addWidget(FPanelFrames);
    left->setStretchFactor(0, 3);
    left->setStretchFactor(1, 2);
    auto* right = new TSplitter(Qt::Vertical, this);
    right->addWidget(FPanelPreview);
    right->addWidget(FPanelEditor);
    auto* main = new TSplitter(Qt::Horizontal, this);
    main->addWidget(left);
    main->addWidget(right);
    main->setStretchFactor(1, 1);
    main->setSizes({260, 640});
    layout->addWidget(main);
    FSplitters = main;
    FPanelFrames->hide();
}

// Module operations

void TFrameAtelier::ClearWorkspace()
{
    SelectChild(nullptr);
    FChildButtons.Clear();
    FFrameButtons.Clear();
    FTimerSelect->stop();
    FPendingSelectNode = nullptr;
    {
        const QSignalBlocker block(FTreeViewResources);
        FTreeViewResources->clear();
    }
    FCurrentNode = nullptr;
    SetResourceModule(nullptr);
    FFilename.clear();
}

void TFrameAtelier::SetResourceModule(std::unique_ptr<TCustomResourceModule> Value)
{
    if (Value && Value.get() == FResourceModule.get()) return;
    if (FResourceModule) {
        FResourceModule->Unsubscribe(this);
        FResourceModule.reset();
    }
    FSymbolsResourceItem = nullptr;
    FResourceModule = std::move(Value);
    if (!FResourceModule) return;
    FResourceModule->Subscribe(this);
    for (TCustomResourceItem* item : *FResourceModule->Items())
        if (dynamic_cast<TSymbolsResourceItem*>(item)) {
            FSymbolsResourceItem = item;
            break;
        }
}

bool TFrameAtelier::TryLoadFromFile(const QString& Filename, const TResourceProgress& ProgressCallback)
{
    ClearWorkspace();
    auto busy = SaveCursor(FBusyCursor);
    try {
        std::unique_ptr<TCustomResourceModule> module =
            TCustomResourceModule::LoadFromFile(Filename, nullptr, ProgressCallback);
        if (!module) return false;
        InstallModule(std::move(module), Filename, ProgressCallback);
        return true;
    } catch (...) {
        if (!FResourceModule) NewModule();
        throw;
    }
}

void TFrameAtelier::LoadFromFile(const QString& Filename, const TResourceProgress& ProgressCallback)
{
    if (!TryLoadFromFile(Filename, ProgressCallback)) throw Exception(Format(SNoReader, {Filename}));
}

void TFrameAtelier::LoadFromStream(TStream& Stream, const QString& Filename)
{
    ClearWorkspace();
    std::optional<TMessageContextScope> context;
    if (!Filename.isEmpty()) context.emplace(ExtractFileName(Filename), nullptr);
    Stream.Seek(0, soBeginning);
    std::unique_ptr<TCustomResourceModule> module = Filename.isEmpty()
                                                        ? TCustomResourceModule::LoadFromStream(Stream)
                                                        : TCustomResourceModule::LoadFromStream(Stream, Filename);
    if (module) InstallModule(std::move(module), Filename);
}

void TFrameAtelier::InstallModule(std::unique_ptr<TCustomResourceModule> Module, const QString& Filename,
                                  const TResourceProgress& ProgressCallback)
{
    ClearWorkspace();
    SetResourceModule(std::move(Module));
    try {
        std::optional<TMessageContextScope> context;
        if (!Filename.isEmpty()) context.emplace(ExtractFileName(Filename), nullptr);
        FillTree(ProgressCallback);
    } catch (...) {
        ClearWorkspace();
        throw;
    }
    FFilename = Filename;
}

TCustomResourceModule* TFrameAtelier::NewModule()
{
    InstallModule(std::make_unique<TResourceModule>(), QString());
    return FResourceModule.get();
}

void TFrameAtelier::SaveToFile(const QString& Filename, const TResourceProgress& ProgressCallback)
{
    ATELIER_ASSERT(FResourceModule != nullptr);
    FResourceModule->SaveToFile(Filename, nullptr, ProgressCallback);
    QTreeWidgetItemIterator it(FTreeViewResources);
    for (; *it; ++it)
        if (auto* node = dynamic_cast<TTreeNodeResource*>(*it); node && node->StateIndex() == 2) node->SetStateIndex(0);
    for (int i = 0; i < FTreeViewResources->topLevelItemCount(); ++i) {
        auto* typeNode = dynamic_cast<TTreeNodeResource*>(FTreeViewResources->topLevelItem(i));
        if (!typeNode) continue;
        for (TTreeNodeResource* child = typeNode->GetFirstChild(); child; child = typeNode->GetNextChild(child))
            if (child->StateIndex() == 2) child->SetStateIndex(0);
    }
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
        for (int i = 0; i < count; ++i) {
            TCustomResourceItem* item = items[i];
            if (item->Internal() && item->ResourceTypeIsInteger() && item->ResourceTypeInteger() == 0) {
                AddInfoNode(item);
            } else {
                if (!typeNode || typeNode->ResourceType() != item->ResourceType()) typeNode = GetTypeNode(item, false);
                TCustomTreeNodeResourceItem* node = GetItemNode(typeNode, item);
                if (item->Modified()) node->SetStateIndex(2);
                if (item->ClassType()->ParentClass()) {
                    typeNode->SetStateIndex(1);
                    LogMessage(Format(SOrphanedChild, {ResourceIdentToString(item->Name()), item->FriendlyTypeName()}),
                               rmWarning, item);
                }
            }
            progress(psProgress, i, count,
                     Format("%s (%s)", {item->FriendlyName(), item->FriendlyTypeName()}));
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

// Notifications of the module

void TFrameAtelier::UpdateNodeMark(TCustomResourceItem* Top)
{
    if (TCustomTreeNodeResourceItem* node = FindItemNode(Top)) node->SetStateIndex(Top->Modified() ? 2 : 0);
}

void TFrameAtelier::ForgetItem(TCustomResourceItem* Item)
{
    // An item that left the module by other means than the tree's own commands must not stay in a node.
    if (FResourceItemView && FViewResourceItem == Item) SetViewItem(nullptr);
    if (FEditResourceItem == Item) SetEditItem(nullptr);
    if (FInspectResourceItem == Item) SetInspectItem(nullptr);
    if (FSelectResourceItem == Item) FSelectResourceItem = nullptr;
    if (FChildResourceItem == Item) FChildResourceItem = nullptr;
    if (FFrameResourceItem == Item) FFrameResourceItem = nullptr;
    if (FSymbolsResourceItem == Item) FSymbolsResourceItem = nullptr;
    if (FPreviewMenuTag == Item) FPreviewMenuTag = nullptr;
    if (FEditMenuTag == Item) FEditMenuTag = nullptr;
    if (Item->Parent()) return;
    TCustomTreeNodeResourceItem* node = FindItemNode(Item);
    if (!node) return;
    if (auto* group = dynamic_cast<TTreeNodeResourceGroupItem*>(node)) {
        if (group->Item() != Item) return;
    } else {
        node->Items()->Extract(Item);
        if (node->Items()->Count() > 0) return;
    }
    const QSignalBlocker block(FTreeViewResources);
    node->Purge();
    FCurrentNode = FTreeViewResources->currentItem();
}

namespace {
// Symbols of the module's own files; the Windows constants waiting on demand do not count.
bool HasOwnSymbols(TCustomResourceModule* Module)
{
    TResourceSymbols* symbols = Module->Symbols();
    for (int i = 0; i < symbols->Count(); ++i) {
        TResourceSymbolFile* file = symbols->Items(i)->SourceFile();
        if (!file || !file->IncludeOnDemand()) return true;
    }
    return false;
}
} // namespace

void TFrameAtelier::ResourceItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification)
{
    if (!Item || !FResourceModule) return;
    switch (Notification) {
    case rnAdded:
        if (!FSymbolsResourceItem && dynamic_cast<TSymbolsResourceItem*>(Item)) FSymbolsResourceItem = Item;
        break;
    case rnRemoved:
        ForgetItem(Item);
        break;
    case rnChanged: {
        TCustomResourceItem* top = Item->Parent() ? Item->Parent() : Item;
        TCustomTreeNodeResourceItem* node = FindItemNode(top);
        if (node) node->SetStateIndex(top->Modified() ? 2 : 0);
        if (!FChanging && node && !dynamic_cast<TTreeNodeInfoItem*>(node)) {
            if (!FindTypeNode(top->ResourceType())) {
                FChanging = true;
                TFinally done([this] { FChanging = false; });
                SetEditItem(nullptr);
                SetViewItem(nullptr);
                QPointer<TCustomResourceItem> guard(top);
                QMetaObject::invokeMethod(
                    this, [this, guard] { Guarded([&] { if (guard) MsgRecreateItem(guard.data()); }); },
                    Qt::QueuedConnection);
            } else if (node->text(0) != top->FriendlyName()) {
                node->setText(0, top->FriendlyName());
            }
        }
        if (!FSymbolsResourceItem && !FLoading && HasOwnSymbols(FResourceModule.get())) {
            auto symbols = std::make_unique<TSymbolsResourceItem>();
            TSymbolsResourceItem* item = symbols.get();
            item->SetModule(FResourceModule.get());
            symbols.release();
            FSymbolsResourceItem = item;
            AddInfoNode(item);
        }
        break;
    }
    default:
        break;
    }
}

void TFrameAtelier::MsgRecreateItem(TCustomResourceItem* Item)
{
    if (!FResourceModule || TopItem(Item)->Module() != FResourceModule.get()) return;
    TMemoryStream data;
    Item->SaveToStream(data);
    data.Seek(0, soBeginning);
    TResourceItemClass kind = ResourceItemDatabase()->Find(Item->ResourceType(), Item->Name(), &data);
    if (!kind) {
        SelectChild(nullptr);
        SelectChild(Item);
        return;
    }
    TResourceItemPtr created = kind->Create(Item->Name());
    created->Assign(Item);
    TCustomResourceItem* newItem = created.get();
    newItem->SetModule(Item->Module());
    created.release();
    TCustomTreeNodeResourceItem* newNode;
    {
        FTreeViewResources->setUpdatesEnabled(false);
        TFinally resume([this] { FTreeViewResources->setUpdatesEnabled(true); });
        newNode = GetItemNode(GetTypeNode(newItem, true), newItem);
        if (auto* typeNode = dynamic_cast<TTreeNodeResource*>(newNode->parent())) typeNode->Expanding();
        FTreeViewResources->scrollToItem(newNode);
        // The old item's node goes only when no other variant lives in it.
        ForgetItem(Item);
        FTreeViewResources->clearSelection();
        FTreeViewResources->setCurrentItem(newNode);
    }
    if (TCustomResourceModule* module = Item->Module()) TResourceItemPtr(module->Items()->Extract(Item));
}

// Selection

bool TFrameAtelier::SelectPending() const { return FPendingSelectNode != nullptr && FTimerSelect->isActive(); }

void TFrameAtelier::SetEditPaneRedraw(bool Value)
{
    FEditPaneRedrawOff = !Value;
    FPanelEditor->setUpdatesEnabled(Value);
    if (Value) FPanelEditor->update();
}

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
        if (itemNode->Items()->Count() > 0) SelectChild(itemNode->Items()->Items(0));
    }
    if (FTimerSelect->isActive()) {
        FTimerSelect->stop();
        SetEditPaneRedraw(true);
    }
}

void TFrameAtelier::TimerSelectTimer() { SelectNode(FPendingSelectNode, false); }

void TFrameAtelier::SelectChild(TCustomResourceItem* Item)
{
    SelectItem(Item, false);
    FFrameResourceItem = nullptr;
    FChildResourceItem = FSelectResourceItem;
}

void TFrameAtelier::SelectFrame(TCustomResourceItem* Item)
{
    SelectItem(Item, true);
    FFrameResourceItem = FSelectResourceItem;
}

TResourceItemButton* TFrameAtelier::ButtonOfItem(const TResourceButtonList& List, TCustomResourceItem* Item) const
{
    const int index = Item ? List.IndexOfItem(Item) : -1;
    return index >= 0 ? List[index] : nullptr;
}

void TFrameAtelier::SelectItem(TCustomResourceItem* Item, bool IsFrame)
{
    std::optional<TMessageContextScope> context;
    if (Item) context.emplace(Item);
    if (Item == FSelectResourceItem) {
        if (!Item) {
            SetEditItem(nullptr);
            SetViewItem(nullptr);
            SetInspectItem(nullptr);
        }
        return;
    }
    auto busy = SaveCursor(FBusyCursor);
    if (FSelectResourceItem) SetEditItem(nullptr);
    FSelectResourceItem = Item;
    setUpdatesEnabled(false);
    TFinally redraw([this] {
        setUpdatesEnabled(true);
        update();
    });
    SetViewItem(Item);
    auto* sequenced = !IsFrame && Item ? dynamic_cast<ISequencedResourceItem*>(Item) : nullptr;
    if (sequenced) {
        FFrameButtons.Clear();
        for (TCustomResourceItem* child : *Item->Items()) AddFrameButton(child);
        SetEditItem(Item->Items()->Count() > 0 ? Item->Items()->Items(0) : Item);
    } else {
        if (!IsFrame) FFrameButtons.Clear();
        SetEditItem(Item);
    }
    SetInspectItem(FSelectResourceItem);

    TResourceItemButton* pressedVariant = nullptr;
    if (TResourceItemButton* button = ButtonOfItem(FChildButtons, FSelectResourceItem)) {
        button->setChecked(true);
        button->SetActive(true);
        FScrollBoxChildren->ensureWidgetVisible(button);
    } else {
        for (int i = 0; i < FChildButtons.Count(); ++i)
            if (FChildButtons[i]->isChecked()) pressedVariant = FChildButtons[i];
    }
    if (sequenced || IsFrame) {
        if (TResourceItemButton* button = ButtonOfItem(FFrameButtons, FSelectResourceItem)) {
            button->setChecked(true);
            button->SetActive(true);
            FScrollBoxFrames->ensureWidgetVisible(button);
            if (pressedVariant) pressedVariant->SetActive(false);
        }
        FPanelFrames->show();
    } else {
        FPanelFrames->hide();
    }
}

void TFrameAtelier::FillVariantButtons(TCustomTreeNodeResourceItem* Node, bool Clear)
{
    ATELIER_ASSERT(Node != nullptr);
    if (Clear) FChildButtons.Clear();
    for (TCustomResourceItem* item : *Node->Items()) AddVariantButton(item);
}

void TFrameAtelier::AddVariantButton(TCustomResourceItem* Item)
{
    if (FChildButtons.IndexOfItem(Item) >= 0) return;
    auto* layout = static_cast<QVBoxLayout*>(FFlowPanelChildren->layout());
    auto* button = new TResourceItemButton(FFlowPanelChildren);
    button->setAutoExclusive(true);
    button->SetOutlineColor(palette().color(QPalette::Window));
    button->SetResourceItem(Item);
    connect(button, &QAbstractButton::clicked, this, [this, button] { Guarded([&] { VariantButtonClick(button); }); });
    auto* divider = new QFrame(FFlowPanelChildren);
    divider->setFixedHeight(1);
    divider->setAutoFillBackground(true);
    QPalette dividerPalette = divider->palette();
    dividerPalette.setColor(QPalette::Window, clGradientInactiveCaption());
    divider->setPalette(dividerPalette);
    button->SetDivider(divider);
    // Button and divider go before the closing stretch.
    const int at = layout->count() - 1;
    layout->insertWidget(at, button);
    layout->insertSpacing(at + 1, 4);
    layout->insertWidget(at + 2, divider);
    layout->insertSpacing(at + 3, 4);
    FChildButtons.Add(button);
}

void TFrameAtelier::AddFrameButton(TCustomResourceItem* Item)
{
    auto* layout = static_cast<QVBoxLayout*>(FFlowPanelFrames->layout());
    auto* button = new TResourceItemButton(FFlowPanelFrames);
    button->setAutoExclusive(true);
    button->SetOutlineColor(palette().color(QPalette::Window));
    button->SetResourceItem(Item);
    SetFrameButtonCaption(button);
    connect(button, &QAbstractButton::clicked, this, [this, button] { Guarded([&] { FrameButtonClick(button); }); });
    layout->insertWidget(layout->count() - 1, button);
    FFrameButtons.Add(button);
}

void TFrameAtelier::SetFrameButtonCaption(TResourceItemButton* Button)
{
    TCustomResourceItem* item = Button->ResourceItem();
    const int index = item && item->Parent() ? item->Parent()->Items()->IndexOf(item) : 0;
    Button->SetTitle(Format("Frame #%d", {index}));
    Button->SetDescription(item ? item->Description() : QString());
}

void TFrameAtelier::VariantButtonClick(TResourceItemButton* Button)
{
    SelectChild(Button->ResourceItem());
    Button->setChecked(true);
}

void TFrameAtelier::FrameButtonClick(TResourceItemButton* Button)
{
    Button->setChecked(true);
    SelectFrame(Button->ResourceItem());
}

void TFrameAtelier::SetViewItem(TCustomResourceItem* Item)
{
    if (Item == FViewResourceItem) return;
    AttachView(nullptr);
    FViewResourceItem = Item;
    if (Item) {
        if (TResourceItemViewFactoryClass factory = ResourceItemViewDatabase()->Find(Item)) AttachView(factory);
    } else {
        FPreviewMenuTag = nullptr;
    }
    FActionViewAs->setEnabled(FViewResourceItem != nullptr);
}

void TFrameAtelier::SetEditItem(TCustomResourceItem* Item)
{
    if (Item == FEditResourceItem) return;
    AttachEditor(nullptr);
    FEditResourceItem = Item;
    if (Item) {
        if (TResourceItemEditorFactoryClass factory = ResourceItemEditorDatabase()->Find(Item)) AttachEditor(factory);
    } else {
        FEditMenuTag = nullptr;
    }
    FActionEditAs->setEnabled(FEditResourceItem != nullptr);
}

namespace {
template <class TFace>
void SaveFrameSettings(const std::shared_ptr<TFace>& Frame, const IConfigurationServicePtr& Section)
{
    auto* provider = dynamic_cast<ISettingsProvider*>(Frame.get());
    ISettings* settings = nullptr;
    QString key;
    if (provider && provider->GetSettings(settings, key) && settings) Section->SaveSettings(key, settings);
}

template <class TFace>
void LoadFrameSettings(const std::shared_ptr<TFace>& Frame, const IConfigurationServicePtr& Section)
{
    auto* provider = dynamic_cast<ISettingsProvider*>(Frame.get());
    ISettings* settings = nullptr;
    QString key;
    if (provider && provider->GetSettings(settings, key) && settings) Section->LoadSettings(key, settings);
}
} // namespace

namespace {
void DeactivateFrame(IResourceItemView&) {}
void DeactivateFrame(IResourceItemEditor& Editor) { Editor.Deactivate(); }

// Puts a new view or editor into its pane: Frame holds the one attached (released first, with its
// settings saved), Created the new one or nullptr. A start that fails shows the error frame instead.
template <class TFace>
void AttachFrame(std::shared_ptr<TFace>& Frame, std::shared_ptr<TFace> Created, TCustomResourceItem* Item,
                 TWorkspacePane* Pane, TFrameViewEditHandlerError* ErrorFrame, const IConfigurationServicePtr& Section,
                 const QString& Caption, const char* ErrorText)
{
    if (Frame) {
        std::shared_ptr<TFace> released = std::move(Frame);
        SaveFrameSettings(released, Section);
        DeactivateFrame(*released);
    }
    ErrorFrame->hide();
    if (!Created) {
        Pane->SetText(Caption);
        return;
    }
    QWidget* control = Created->GetControl();
    control->setObjectName(QString());
    control->hide();
    Pane->Content()->addWidget(control);
    try {
        Created->SetResourceItem(Item);
    } catch (const Exception& error) {
        control->hide();
        Pane->SetText(Caption);
        ErrorFrame->SetText(Format(ErrorText, {error.Message()}));
        ErrorFrame->show();
        DeactivateFrame(*Created);
        return;
    }
    Frame = Created;
    LoadFrameSettings(Created, Section);
    control->show();
    const QString title = Created->GetCaption();
    Pane->SetText(title.isEmpty() ? Caption : Caption + QStringLiteral(" (") + title + QLatin1Char(')'));
}
} // namespace

void TFrameAtelier::AttachView(TResourceItemViewFactoryClass Factory)
{
    AttachFrame(FResourceItemView, Factory ? Factory->CreateView() : nullptr, FViewResourceItem, FPanelPreview,
                FFrameViewError, ViewersConfigurationService(), QStringLiteral("Preview"), SViewInitError);
}

void TFrameAtelier::AttachEditor(TResourceItemEditorFactoryClass Factory)
{
    AttachFrame(FResourceItemEditor, Factory ? Factory->CreateEditor() : nullptr, FEditResourceItem, FPanelEditor,
                FFrameEditError, EditorsConfigurationService(), QStringLiteral("Edit"), SEditInitError);
}

void TFrameAtelier::SetInspectItem(TCustomResourceItem* Item)
{
    if (Item == FInspectResourceItem) {
        if (FPropertyInspector) FPropertyInspector->AddInstance(Item, true);
        return;
    }
    FInspectResourceItem = nullptr;
    if (FPropertyInspector) {
        IAtelierPropertyInspector* inspector = FPropertyInspector;
        FPropertyInspector = nullptr;
        inspector->SetResourceItem(nullptr);
    }
    FInspectResourceItem = Item;
    if (Item) {
        FPropertyInspector = GetItemPropertyInspector(Item);
        if (FPropertyInspector) {
            FPropertyInspector->SetResourceItem(Item);
            FPropertyInspector->AddInstance(Item, true);
        }
    }
}

void TFrameAtelier::Deactivate()
{
    if (FPropertyInspector) FPropertyInspector->RemoveInstance(nullptr);
}

// The "View as" and "Edit as" menus

void TFrameAtelier::PopupPreview()
{
    if (!FViewResourceItem) {
        FPreviewMenuTag = nullptr;
        return;
    }
    if (FPreviewMenuTag == FViewResourceItem) return;
    FPreviewMenuTag = FViewResourceItem;
    FPopupActionBarPreview->clear();
    auto* group = new QActionGroup(FPopupActionBarPreview);
    ResourceItemViewDatabase()->Find(FViewResourceItem, [&](TResourceItemViewFactoryClass factory, bool&) {
        const QString caption = factory->CreateView()->GetCaption();
        QAction* action = FPopupActionBarPreview->addAction(Format("View as %s", {caption}));
        action->setCheckable(true);
        action->setChecked(group->actions().isEmpty());
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, factory, action] {
            Guarded([&] {
                AttachView(factory);
                action->setChecked(true);
            });
        });
    });
}

void TFrameAtelier::PopupEdit()
{
    if (!FEditResourceItem) {
        FEditMenuTag = nullptr;
        return;
    }
    if (FEditMenuTag != FEditResourceItem) {
        FEditMenuTag = FEditResourceItem;
        FPopupActionBarEdit->clear();
        auto* group = new QActionGroup(FPopupActionBarEdit);
        ResourceItemEditorDatabase()->Find(FEditResourceItem, [&](TResourceItemEditorFactoryClass factory, bool&) {
            const QString caption = factory->CreateEditor()->GetCaption();
            QAction* action = FPopupActionBarEdit->addAction(Format("Edit as %s", {caption}));
            action->setCheckable(true);
            action->setChecked(group->actions().isEmpty());
            group->addAction(action);
            connect(action, &QAction::triggered, this, [this, factory, action] {
                Guarded([&] {
                    AttachEditor(factory);
                    action->setChecked(true);
                });
            });
        });
    }
    // The editor's own commands follow its entries.
    if (FResourceItemEditor) {
        QWidget* control = FResourceItemEditor->GetControl();
        if (control && control->contextMenuPolicy() == Qt::ActionsContextMenu && !control->actions().isEmpty()) {
            FPopupActionBarEdit->addSeparator();
            for (QAction* action : control->actions()) {
                control->removeAction(action);
                FPopupActionBarEdit->addAction(action);
            }
        }
    }
}

// IAtelier and the posted messages

void TFrameAtelier::SelectResourceItem(TCustomResourceItem* Item)
{
    if (Item == FSelectResourceItem) return;
    QPointer<TCustomResourceItem> guard(Item);
    const bool deselect = Item == nullptr;
    QMetaObject::invokeMethod(
        this,
        [this, guard, deselect] {
            Guarded([&] {
                if (deselect)
                    MsgSelectItem(nullptr);
                else if (guard)
                    MsgSelectItem(guard.data());
            });
        },
        Qt::QueuedConnection);
}

void TFrameAtelier::MsgSelectItem(TCustomResourceItem* Item)
{
    if (Item == FSelectResourceItem) return;
    if (!Item) {
        SelectItem(nullptr, false);
        return;
    }
    TCustomResourceItem* top = TopItem(Item);
    TCustomTreeNodeResourceItem* node = FindItemNode(top);
    if (!node) return;
    {
        FTreeViewResources->setUpdatesEnabled(false);
        TFinally resume([this] { FTreeViewResources->setUpdatesEnabled(true); });
        if (node->parent()) node->parent()->setExpanded(true);
        FTreeViewResources->scrollToItem(node);
        FTreeViewResources->setCurrentItem(node);
        SelectNode(node, false);
    }
    if (Item != FSelectResourceItem && Item != FChildResourceItem && Item != FFrameResourceItem && Item->Parent() &&
        Item->Parent() == FChildResourceItem && dynamic_cast<ISequencedResourceItem*>(FChildResourceItem)) {
        // A frame of the animation that is the resource itself.
        SelectFrame(Item);
    } else if (Item != FSelectResourceItem && Item != FChildResourceItem && Item != FFrameResourceItem && Item->Parent()) {
        TCustomResourceItem* variant = Item;
        while (variant && variant->Parent() != top) variant = variant->Parent();
        if (!variant) return;
        SelectChild(variant);
        if (Item != FSelectResourceItem && Item->Parent() && Item->Parent()->Parent() == top) SelectFrame(Item);
    } else if (Item != FSelectResourceItem && !Item->Parent()) {
        // Another language variant of the resource than the first.
        SelectChild(Item);
    }
}

void TFrameAtelier::MsgSelectChild(TCustomResourceItem* Item)
{
    SelectChild(nullptr);
    SelectChild(Item);
}

void TFrameAtelier::Navigate(const IResourceMessagePtr& Target)
{
    QMetaObject::invokeMethod(this, [this, Target] { Guarded([&] { MsgNavigate(Target); }); }, Qt::QueuedConnection);
}

void TFrameAtelier::MsgNavigate(const IResourceMessagePtr& Target)
{
    if (!FResourceItemEditor || !Target) return;
    if (QWidget* control = FResourceItemEditor->GetControl()) control->setFocus();
    FResourceItemEditor->Navigate(Target);
}

// Keyboard

namespace {
// The first enabled action of the control, or of any widget inside it, that has the key as shortcut.
bool TriggerShortcut(QWidget* Control, const QKeySequence& Key)
{
    if (!Control) return false;
    QList<QAction*> actions = Control->actions();
    for (QWidget* child : Control->findChildren<QWidget*>()) actions += child->actions();
    actions += Control->findChildren<QAction*>();
    for (QAction* action : actions)
        if (action->isEnabled() && action->shortcuts().contains(Key)) {
            action->trigger();
            return true;
        }
    return false;
}
} // namespace

bool TFrameAtelier::IsShortCut(QKeyEvent* Event)
{
    const QKeySequence key(Event->keyCombination());
    if (FResourceItemEditor && TriggerShortcut(FResourceItemEditor->GetControl(), key)) return true;
    return FResourceItemView && TriggerShortcut(FResourceItemView->GetControl(), key);
}

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

// Items from files

TCustomResourceItem* TFrameAtelier::CreateResourceItem(TResourceItemClass ItemClass, TCustomResourceItem* Parent)
{
    ATELIER_ASSERT(FResourceModule != nullptr);
    if (ItemClass->Capabilities().Contains(rcSingle))
        for (TCustomResourceItem* item : *FResourceModule->Items())
            if (item->ClassType() == ItemClass)
                throw Exception(Format("Only one %s item can be created", {ItemClass->ResourceTypeName()}));
    const auto create = [this](TResourceItemClass kind) {
        TResourceItemPtr owned = kind->Create(TResourceIdent::FromOrdinal(0));
        TCustomResourceItem* item = owned.get();
        item->SetModule(FResourceModule.get());
        owned.release();
        try {
            item->InitializeNewItem();
        } catch (...) {
            TResourceItemPtr(FResourceModule->Items()->Extract(item));
            throw;
        }
        return item;
    };
    TCustomResourceItem* item = create(ItemClass);
    item->BeginUpdate();
    try {
        TResourceItemClass parentClass = ItemClass->ParentClass();
        if (parentClass) {
            TCustomResourceItem* newParent = nullptr;
            if (!Parent) Parent = newParent = create(parentClass);
            try {
                item->SetParent(Parent);
            } catch (...) {
                if (newParent) TResourceItemPtr(FResourceModule->Items()->Extract(newParent));
                throw;
            }
        }
        item->EndUpdate();
    } catch (...) {
        item->EndUpdate();
        TResourceItemPtr(FResourceModule->Items()->Extract(item));
        throw;
    }
    return ItemClass->ParentClass() ? Parent : item;
}

namespace {
// A file name as a resource name: blanks and full stops become "_", letters upper case, the rest goes.
QString FileNameToIdentifier(const QString& Filename)
{
    QString name;
    for (QChar c : QFileInfo(Filename).completeBaseName()) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('.'))
            name += QLatin1Char('_');
        else if ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                 c == QLatin1Char('_'))
            name += c;
        else if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            name += c.toUpper();
    }
    return name;
}
} // namespace

TCustomResourceItem* TFrameAtelier::AddItemFromFile(const QString& Filename)
{
    const QString name = ResolveShortcut(Filename);
    TFileStream stream(name, fmOpenRead);
    TResourceItemClass kind = ResourceItemDatabase()->FindFileFormat(name, &stream);
    if (!kind) return nullptr;
    TCustomResourceItem* item = CreateResourceItem(kind, nullptr);
    try {
        stream.Seek(0, soBeginning);
        if (!item->ClassType()->HandlesFile(name, &stream)) throw Exception(QStringLiteral("Invalid file format"));
        stream.Seek(0, soBeginning);
        {
            auto busy = SaveCursor(FBusyCursor);
            item->LoadFromFileStream(stream);
        }
        item->SetFilename(name);
        QString identifier = FileNameToIdentifier(name);
        if (!identifier.isEmpty()) {
            QString unique = identifier;
            for (int n = 0; FResourceModule->Find(item->ResourceType(), TResourceIdent(unique)); ++n)
                unique = identifier + QString::number(n);
            try {
                item->SetName(TResourceIdent(unique));
            } catch (const Exception&) {
                // The kind takes only numbers: the item keeps its ordinal name.
            }
        }
    } catch (...) {
        if (TCustomResourceModule* module = item->Module()) TResourceItemPtr(module->Items()->Extract(item));
        throw;
    }
    TCustomTreeNodeResourceItem* node = AddItemNode(item);
    if (node->parent()) node->parent()->setExpanded(true);
    FTreeViewResources->scrollToItem(node);
    FTreeViewResources->setCurrentItem(node);
    return item;
}

QString TFrameAtelier::ResolveShortcut(const QString& Filename) const
{
    if (ExtractFileExt(Filename).compare(QStringLiteral(".lnk"), Qt::CaseInsensitive) != 0) return Filename;
    QString target;
    return ResolveShellLink(Filename, target) ? target : Filename;
}

// Dock layout

QColor PaneColor() { return QApplication::palette().color(QPalette::Base); }

void TFrameAtelier::SetDockHost(QMainWindow* Value)
{
    if (Value == FDockHost) return;
    ATELIER_ASSERT(FDockHost == nullptr);
    FDockHost = Value;
    FDockedLayout = true;
    MakeDockSite(Value);
    for (TWorkspacePane* pane : {FPanelResources, FPanelVariants, FPanelFrames, FPanelPreview, FPanelEditor})
        pane->SetHeaderVisible(false);
    // The editor stays in the middle: the host's central place takes no other pane.
    FDockFormEdit = DockControl(Value, FPanelEditor, alClient);
    FDockFormResources = DockControl(Value, FPanelResources, alLeft);
    FDockFormVariants = DockControl(Value, FPanelVariants, alLeft);
    FDockFormFrames = DockControl(Value, FPanelFrames, alLeft);
    Value->splitDockWidget(FDockFormVariants, FDockFormFrames, Qt::Vertical);
    FDockFormView = DockControl(Value, FPanelPreview, alRight);
    SetDockBorderIcons(FDockFormView, {biSystemMenu});
    FDockForms = {FDockFormResources, FDockFormVariants, FDockFormFrames, FDockFormView, FDockFormEdit};
    for (TDockForm* form : FDockForms)
        connect(form, &TDockForm::Hidden, this, [this, form] {
            if (OnPaneHidden) OnPaneHidden(form->Client());
        });
    delete FSplitters;
    FSplitters = nullptr;
    FDockFormFrames->hide();
    // The sizes the panes come back to when the layout is realigned.
    FDockFormResources->SetUndockWidth(200);
    FDockFormResources->SetUndockHeight(400);
    FDockFormVariants->SetUndockWidth(130);
    FDockFormVariants->SetUndockHeight(300);
    FDockFormFrames->SetUndockHeight(200);
    FDockFormView->SetUndockWidth(280);
    ApplyUndockSizes();
}

void TFrameAtelier::ApplyUndockSizes()
{
    QList<QDockWidget*> forms;
    QList<int> widths, heights;
    for (TDockForm* form : FDockForms)
        if (form != FDockFormEdit && form->isVisibleTo(FDockHost)) {
            forms << form;
            widths << std::max(form->UndockWidth(), 50);
            heights << std::max(form->UndockHeight(), 50);
        }
    FDockHost->resizeDocks(forms, widths, Qt::Horizontal);
    FDockHost->resizeDocks(forms, heights, Qt::Vertical);
}

TDockForm* TFrameAtelier::DockPane(QWidget* Pane, Qt::DockWidgetArea Area, QWidget* Below)
{
    ATELIER_ASSERT(FDockHost != nullptr);
    if (auto* pane = qobject_cast<TWorkspacePane*>(Pane)) pane->SetHeaderVisible(false);
    const TAlign side = Area == Qt::LeftDockWidgetArea    ? alLeft
                        : Area == Qt::RightDockWidgetArea ? alRight
                        : Area == Qt::TopDockWidgetArea   ? alTop
                                                          : alBottom;
    TDockForm* form = DockControl(FDockHost, Pane, side);
    SetDockBorderIcons(form, {biSystemMenu});
    form->SetUndockWidth(std::max(Pane->minimumWidth(), 180));
    form->SetUndockHeight(std::max(Pane->minimumHeight(), 150));
    if (TDockForm* above = Below ? DockFormOf(Below) : nullptr) FDockHost->splitDockWidget(above, form, Qt::Vertical);
    FDockForms.push_back(form);
    connect(form, &TDockForm::Hidden, this, [this, form] {
        if (OnPaneHidden) OnPaneHidden(form->Client());
    });
    return form;
}

TDockForm* TFrameAtelier::DockFormOf(QWidget* Pane) const
{
    for (TDockForm* form : FDockForms)
        if (form->Client() == Pane) return form;
    return nullptr;
}

void TFrameAtelier::SetPaneVisible(QWidget* Pane, bool Visible)
{
    if (TDockForm* form = DockFormOf(Pane)) {
        if (form->isVisibleTo(FDockHost) == Visible) return;
        form->setVisible(Visible);
        // A window not yet shown hears no hide event of its panes.
        if (!Visible && !FDockHost->isVisible() && OnPaneHidden) OnPaneHidden(Pane);
        RealignDockLayout();
    } else {
        Pane->setVisible(Visible);
    }
}

bool TFrameAtelier::PaneVisible(QWidget* Pane) const
{
    if (TDockForm* form = DockFormOf(Pane)) return form->isVisibleTo(FDockHost);
    return Pane->isVisibleTo(const_cast<TFrameAtelier*>(this));
}

QByteArray TFrameAtelier::SaveDockLayout()
{
    ATELIER_ASSERT(FDockHost != nullptr);
    std::vector<TDockForm*> hidden;
    for (TDockForm* form : FDockForms)
        if (!form->isVisibleTo(FDockHost)) {
            hidden.push_back(form);
            form->show();
        }
    const QByteArray layout = FDockHost->saveState();
    for (TDockForm* form : hidden) form->hide();
    return layout;
}

void TFrameAtelier::LoadDockLayout(const QByteArray& Layout)
{
    ATELIER_ASSERT(FDockHost != nullptr);
    if (!FDockFormResources->isVisibleTo(FDockHost)) {
        FDockFormResources->show();
        LogMessage(QStringLiteral("The current layout is invalid"), rmError);
    }
    std::vector<TDockForm*> hidden;
    for (TDockForm* form : FDockForms)
        if (!form->isVisibleTo(FDockHost)) {
            hidden.push_back(form);
            form->show();
        }
    bool restored;
    {
        FDockHost->setUpdatesEnabled(false);
        TFinally resume([this] { FDockHost->setUpdatesEnabled(true); });
        restored = FDockHost->restoreState(Layout);
        ResetDockZoneLimits(FDockHost);
    }
    for (TDockForm* form : hidden) form->hide();
    if (!restored) throw EReadError(QStringLiteral("Invalid dock layout"));
    if (!FDockFormResources->isVisibleTo(FDockHost)) {
        FDockFormResources->show();
        LogMessage(QStringLiteral("The saved layout was invalid"), rmWarning);
    }
}

void TFrameAtelier::RealignDockLayout()
{
    QPointer<QMainWindow> host(FDockHost);
    QMetaObject::invokeMethod(
        this, [host] { if (host) ResetDockZoneLimits(host); }, Qt::QueuedConnection);
}

void TFrameAtelier::RestoreDefaultLayout()
{
    // Until the window is shown the layout is the docking itself with the panes' sizes.
    if (FDefaultLayout.isEmpty()) {
        ApplyUndockSizes();
        return;
    }
    LoadDockLayout(FDefaultLayout);
    RealignDockLayout();
}

void TFrameAtelier::RestoreCompactLayout()
{
    if (FDefaultLayout.isEmpty()) FDefaultLayout = SaveDockLayout();
    if (FCompactLayout.isEmpty()) {
        // The default arrangement with narrow side panes and a low messages row, for small screens.
        const QByteArray current = SaveDockLayout();
        LoadDockLayout(FDefaultLayout);
        std::vector<QDockWidget*> columns;
        for (TDockForm* form : {FDockFormResources, FDockFormVariants, FDockFormView})
            columns.push_back(form);
        FDockHost->resizeDocks({columns.begin(), columns.end()}, {150, 110, 180}, Qt::Horizontal);
        FCompactLayout = SaveDockLayout();
        LoadDockLayout(current);
    }
    LoadDockLayout(FCompactLayout);
    RealignDockLayout();
}

void TFrameAtelier::Initialize()
{
    // The default layout is taken once the host has its size.
    if (FDockHost && FDefaultLayout.isEmpty()) {
        ApplyUndockSizes();
        FDefaultLayout = SaveDockLayout();
    }
    if (QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier) return;
    if (!FSettings) FSettings = std::make_unique<TAtelierSettings>(this);
    ConfigurationService()->LoadSettings(QStringLiteral("Forms\\Main"), FSettings.get());
}

void TFrameAtelier::Finalize()
{
    ClearWorkspace();
    if (!FDockHost) return;
    if (!FSettings) FSettings = std::make_unique<TAtelierSettings>(this);
    ConfigurationService()->SaveSettings(QStringLiteral("Forms\\Main"), FSettings.get());
}

bool TAtelierSettings::ApplySettings()
{
    if (!FValid) return false;
    if (!FLayout.isEmpty() && FOwner->DockHost()) FOwner->LoadDockLayout(QByteArray::fromHex(FLayout.toLatin1()));
    FOwner->RealignDockLayout();
    return true;
}

bool TAtelierSettings::UpdateSettings()
{
    FValid = true;
    if (FOwner->DockHost()) FLayout = QString::fromLatin1(FOwner->DockHost()->saveState().toHex().toUpper());
    return true;
}

void TFrameAtelier::About()
{
    // The splash window frees itself when it is dismissed.
    auto* splash = new TFormSplash(nullptr);
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->SetVersion(TVersionInfo::VersionToString(ProgramVersionInfo().FileVersion()));
    if (FindProgramResource(QStringLiteral("SPLASH"), QStringLiteral("DISCO")))
        splash->PlayThatFunkyMusicWhiteBoy(QStringLiteral("SPLASH"), QStringLiteral("DISCO"));
    splash->Execute(false, QStringLiteral("SPLASH"), QStringLiteral("PNG"));
    if (FindProgramResource(QStringLiteral("CREDITS"), QStringLiteral("TEXT")))
        splash->DisplayBannerResource(QStringLiteral("CREDITS"), QStringLiteral("TEXT"));
}
