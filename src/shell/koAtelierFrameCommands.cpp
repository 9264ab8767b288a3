#include "koAtelierFrameCommands.h"

#include "koAtelierFrame.h"
#include "koCursorService.h"
#include "koImageList.h"
#include "koTreeView.h"
#include "main.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "platform/Format.h"
#include "platform/SysUtils.h"
#include "platform/UpdateGuard.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QMenu>
#include <QSaveFile>
#include <QScrollArea>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <set>

namespace {
const char* const SInvalidFileFormat = "Invalid file format";
const char* const SOnlyOne = "Only one %s item can be created";
const char* const SAddFromFileTitle = "Add resource from file";
const char* const SSaveResourceTitle = "Save resource";
const char* const SCategoryList = "Resource List";
const char* const SCategoryChildren = "Resource Children";
const char* const SCategoryFrame = "Resource Frame";

QString Str(const char* Text) { return QString::fromUtf8(Text); }

// Qt must not see exceptions: event handlers run guarded.
void Guarded(const std::function<void()>& Handler) { GuardedCall(Handler); }

TCustomResourceItem* TopItem(TCustomResourceItem* Item)
{
    while (Item && Item->Parent()) Item = Item->Parent();
    return Item;
}

bool Can(TCustomResourceItem* Item, TResourceItemCapability Capability)
{
    return Item && Item->ClassType()->Capabilities().Contains(Capability);
}

// Copies can be made of a kind that writes its data, or that saves what it loads.
bool CanCopy(TCustomResourceItem* Item) { return Can(Item, rcWrite) || (Can(Item, rcLoad) && Can(Item, rcSave)); }

// Frees an item a command made before the command failed, with the items of the module below it, so
// the module is as it was. Items outside the module belong to their parent and go with it.
void FreeNewItem(TCustomResourceItem* Item)
{
    if (!Item) return;
    if (Item->HasItems())
        for (int i = Item->Items()->Count() - 1; i >= 0; i = std::min(i - 1, Item->Items()->Count() - 1)) {
            TCustomResourceItem* child = Item->Items()->Items(i);
            if (child->Module()) FreeNewItem(child);
        }
    if (TCustomResourceModule* module = Item->Module())
        TResourceItemPtr(module->Items()->Extract(Item));
    else
        TResourceItemPtr{Item};
}

// The file the item loads from, checked to suit its kind.
class TItemSourceFile {
public:
    TItemSourceFile(const QString& Filename, TResourceItemClass Kind) : FStream(Filename, fmOpenRead)
    {
        if (!Kind->HandlesFile(Filename, &FStream)) throw Exception(Str(SInvalidFileFormat));
        FStream.Seek(0, soBeginning);
    }
    TStream& Stream() { return FStream; }

private:
    TFileStream FStream;
};

// A language no other variant of the resource has: neutral when free, else the lowest free number. A
// file keeps only one of two items that share type, name and language.
uint16_t FreeVariantLanguage(TResourceItemList* Variants, TCustomResourceItem* Except)
{
    std::set<uint16_t> used;
    for (TCustomResourceItem* item : *Variants)
        if (item != Except) used.insert(item->Language());
    uint16_t language = 0;
    while (used.count(language) > 0) ++language;
    return language;
}

// Moves a widget of a box layout to another index.
void MoveLayoutWidget(QBoxLayout* Layout, QWidget* Widget, int Index)
{
    Layout->removeWidget(Widget);
    Layout->insertWidget(Index, Widget);
}
} // namespace

void SaveResourceItemToFile(TCustomResourceItem* Item, const QString& Filename)
{
    TMemoryStream data;
    Item->SaveToFileStream(data);
    const QByteArray bytes = data.ToByteArray();
    QSaveFile file(Filename);
    if (!file.open(QIODevice::WriteOnly))
        throw EFCreateError(Format("Cannot create file \"%s\". %s", {Filename, file.errorString()}));
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw EWriteError(Format("Cannot write file \"%s\". %s", {Filename, file.errorString()}));
}

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

// Item creation of the frame

TCustomResourceItem* TFrameAtelier::CreateResourceItem(TResourceItemClass ItemClass, TCustomResourceItem* Parent)
{
    ATELIER_ASSERT(FResourceModule != nullptr);
    if (ItemClass->Capabilities().Contains(rcSingle))
        for (TCustomResourceItem* item : *FResourceModule->Items())
            if (item->ClassType() == ItemClass)
                throw Exception(Format(SOnlyOne, {ItemClass->ResourceTypeName()}));
    const auto create = [this](TResourceItemClass kind) {
        TResourceItemPtr owned = kind->Create(TResourceIdent::FromOrdinal(0));
        TCustomResourceItem* item = owned.get();
        item->SetModule(FResourceModule.get());
        owned.release();
        try {
            item->InitializeNewItem();
        } catch (...) {
            FreeNewItem(item);
            throw;
        }
        return item;
    };
    TCustomResourceItem* item = create(ItemClass);
    TCustomResourceItem* newParent = nullptr;
    item->BeginUpdate();
    try {
        if (ItemClass->ParentClass()) {
            if (!Parent) Parent = newParent = create(ItemClass->ParentClass());
            item->SetParent(Parent);
        }
        item->EndUpdate();
    } catch (...) {
        item->EndUpdate();
        FreeNewItem(item);
        FreeNewItem(newParent);
        throw;
    }
    return ItemClass->ParentClass() ? Parent : item;
}

TCustomResourceItem* TFrameAtelier::AddItemFromFile(const QString& Filename)
{
    const QString name = ResolveShortcut(Filename);
    TFileStream stream(name, fmOpenRead);
    TResourceItemClass kind = ResourceItemDatabase()->FindFileFormat(name, &stream);
    if (!kind) return nullptr;
    TCustomResourceItem* item = CreateResourceItem(kind, nullptr);
    try {
        stream.Seek(0, soBeginning);
        if (!item->ClassType()->HandlesFile(name, &stream)) throw Exception(Str(SInvalidFileFormat));
        stream.Seek(0, soBeginning);
        {
            auto busy = SaveCursor(FBusyCursor);
            item->LoadFromFileStream(stream);
        }
        item->SetFilename(name);
        const QString identifier = FileNameToIdentifier(name);
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
        // Also the items the parent of a child kind holds: the module is as it was.
        FreeNewItem(item);
        throw;
    }
    TCustomTreeNodeResourceItem* node = AddItemNode(item);
    if (node->parent()) node->parent()->setExpanded(true);
    FTreeViewResources->scrollToItem(node);
    FTreeViewResources->setCurrentItem(node);
    return item;
}

TCustomResourceItem* TFrameAtelier::NewResourceItem(TResourceItemClass ItemClass)
{
    TCustomResourceItem* item = CreateResourceItem(ItemClass, nullptr);
    TCustomTreeNodeResourceItem* node = AddItemNode(item);
    if (node->parent()) node->parent()->setExpanded(true);
    FTreeViewResources->scrollToItem(node);
    FTreeViewResources->setCurrentItem(node);
    return item;
}

TCustomResourceItem* TFrameAtelier::NewVariant(TCustomResourceItem* Item)
{
    ATELIER_ASSERT(FResourceModule != nullptr);
    TResourceItemPtr owned = Item->ClassType()->Create(TResourceIdent::FromOrdinal(0));
    TCustomResourceItem* item = owned.get();
    try {
        if (Item->Parent()) item->SetParent(Item->Parent());
        item->InitializeNewItem();
        // The same name joins the same node, in no language.
        item->SetName(Item->Name());
    } catch (...) {
        owned.reset();
        throw;
    }
    TCustomTreeNodeResourceItem* node = FindItemNode(TopItem(Item));
    if (node && !Item->Parent()) item->SetLanguage(FreeVariantLanguage(node->Items(), nullptr));
    item->SetModule(FResourceModule.get());
    owned.release();
    if (node && !Item->Parent()) node->Items()->Add(item);
    AddVariantButton(item);
    return item;
}

TCustomResourceItem* TFrameAtelier::NewChild(TCustomResourceItem* Parent)
{
    ATELIER_ASSERT(FResourceModule != nullptr);
    TCustomResourceItem* child = Parent->AddChild();
    ATELIER_ASSERT(child != nullptr);
    try {
        // In the module first, so its new number is unique among the module's items of its type.
        child->SetModule(FResourceModule.get());
        child->InitializeNewItem();
    } catch (...) {
        FreeNewItem(child);
        throw;
    }
    AddVariantButton(child);
    return child;
}

TCustomResourceItem* TFrameAtelier::NewFrame(TCustomResourceItem* Variant)
{
    TCustomResourceItem* frame = Variant->AddChild();
    ATELIER_ASSERT(frame != nullptr);
    try {
        frame->InitializeNewItem();
    } catch (...) {
        FreeNewItem(frame);
        throw;
    }
    AddFrameButton(frame);
    return frame;
}

// TAtelierItemCommands

TAtelierItemCommands::TAtelierItemCommands(TFrameAtelier* Frame) : QObject(Frame), FFrame(Frame)
{
    setObjectName(QStringLiteral("ItemCommands"));
    FUpdateTimer = new QTimer(this);
    FUpdateTimer->setSingleShot(true);
    FUpdateTimer->setInterval(0);
    connect(FUpdateTimer, &QTimer::timeout, this, [this] { Guarded([this] { UpdateActions(); }); });
    CreateActions();
    CreateKindActions();
    CreateMenus();
    CreateToolBars();
    UpdateActions();
}

TAtelierItemCommands::~TAtelierItemCommands() = default;

IMainFormPrompts& TAtelierItemCommands::Prompts()
{
    if (FPrompts) return *FPrompts;
    if (!FOwnPrompts) FOwnPrompts = CreateMainFormPrompts();
    return *FOwnPrompts;
}

QAction* TAtelierItemCommands::AddAction(const char* Name, const QString& Caption, const QString& Hint,
                                         const char* Category, int StandardIcon,
                                         void (TAtelierItemCommands::*Execute)())
{
    auto* action = new QAction(Caption, this);
    action->setObjectName(QString::fromLatin1(Name));
    action->setProperty("Category", QString::fromLatin1(Category));
    const QString hint = Hint.isEmpty() ? Caption : Hint;
    action->setToolTip(hint.section(QLatin1Char('|'), 0, 0));
    action->setStatusTip(hint.section(QLatin1Char('|'), -1));
    if (StandardIcon >= 0)
        action->setIcon(QApplication::style()->standardIcon(static_cast<QStyle::StandardPixmap>(StandardIcon)));
    if (Execute)
        connect(action, &QAction::triggered, this, [this, Execute] {
            Guarded([this, Execute] {
                TFinally update([this] { ScheduleUpdate(); });
                (this->*Execute)();
            });
        });
    FActions.append(action);
    return action;
}

QAction* TAtelierItemCommands::Action(const QString& Name) const
{
    for (QAction* action : FActions)
        if (action->objectName() == Name) return action;
    return nullptr;
}

QAction* TAtelierItemCommands::KindAction(TResourceItemClass Kind) const
{
    for (int i = 0; i < FKindActions.size(); ++i)
        if (FKinds[i] == Kind) return FKindActions[i];
    return nullptr;
}

void TAtelierItemCommands::CreateActions()
{
    using C = TAtelierItemCommands;
    AddAction("ActionResourceAdd", "Add Resource", "Add|Add Resource", SCategoryList, QStyle::SP_FileIcon, nullptr);
    AddAction("ActionResourceRemove", "Remove Resource", "Remove|Remove Resource", SCategoryList, QStyle::SP_TrashIcon,
              &C::ResourceRemove);
    AddAction("ActionResourceLoad", "Load Resource...", {}, SCategoryList, QStyle::SP_DialogOpenButton, &C::ResourceLoad);
    AddAction("ActionResourceSave", "Save Resource as...", {}, SCategoryList, QStyle::SP_DialogSaveButton,
              &C::ResourceSave);
    AddAction("ActionResourceAddLoad", "Add from file...", {}, SCategoryList, QStyle::SP_DirOpenIcon, &C::ResourceAddLoad);
    AddAction("ActionResourceImport", "Add from file...", {}, SCategoryList, QStyle::SP_DirOpenIcon, &C::ResourceAddLoad);
    AddAction("ActionResourceClone", "Clone Resource", {}, SCategoryList, -1, &C::ResourceClone);
    QAction* about = AddAction("ActionAbout", "About...", {}, SCategoryList, QStyle::SP_MessageBoxInformation, nullptr);
    connect(about, &QAction::triggered, this, [this] { Guarded([this] { FFrame->About(); }); });

    AddAction("ActionResourceChildAdd", "Add variant", "Add variant", SCategoryChildren, QStyle::SP_FileIcon, &C::ChildAdd);
    AddAction("ActionResourceChildDelete", "Delete", "Delete variant", SCategoryChildren, QStyle::SP_TrashIcon,
              &C::ChildDelete);
    AddAction("ActionResourceChildLoad", "Load variant...", {}, SCategoryChildren, QStyle::SP_DialogOpenButton,
              &C::ChildLoad);
    AddAction("ActionResourceChildSave", "Save variant...", "Save variant", SCategoryChildren, QStyle::SP_DialogSaveButton,
              &C::ChildSave);
    AddAction("ActionResourceChildAddLoad", "Add from file...", "Load variant", SCategoryChildren, QStyle::SP_DirOpenIcon,
              &C::ChildAddLoad);
    AddAction("ActionResourceChildClone", "Clone", "Create an identical copy of the item", SCategoryChildren, -1,
              &C::ChildClone);
    QAction* up = AddAction("ActionResourceChildMoveUp", "Move up", {}, SCategoryChildren, QStyle::SP_ArrowUp, nullptr);
    connect(up, &QAction::triggered, this, [this] { Guarded([this] { ChildMove(true, false); }); });
    QAction* down = AddAction("ActionResourceChildMoveDown", "Move down", {}, SCategoryChildren, QStyle::SP_ArrowDown, nullptr);
    connect(down, &QAction::triggered, this, [this] { Guarded([this] { ChildMove(false, false); }); });
    QAction* upMenu = AddAction("ActionResourceChildMoveUpMenu", "Move up", {}, SCategoryChildren, QStyle::SP_ArrowUp, nullptr);
    connect(upMenu, &QAction::triggered, this, [this] { Guarded([this] { ChildMove(true, true); }); });
    QAction* downMenu =
        AddAction("ActionResourceChildMoveDownMenu", "Move down", {}, SCategoryChildren, QStyle::SP_ArrowDown, nullptr);
    connect(downMenu, &QAction::triggered, this, [this] { Guarded([this] { ChildMove(false, true); }); });

    AddAction("ActionResourceFrameAdd", "Add frame", "Add frame", SCategoryFrame, QStyle::SP_FileIcon, &C::FrameAdd);
    AddAction("ActionResourceFrameDelete", "Delete", "Delete frame", SCategoryFrame, QStyle::SP_TrashIcon, &C::FrameDelete);
    AddAction("ActionResourceFrameClone", "Clone frame", "Creates an identical copy of the frame", SCategoryFrame, -1,
              &C::FrameClone);
    QAction* frameUp = AddAction("ActionResourceFrameMoveUp", "Move up", {}, SCategoryFrame, QStyle::SP_ArrowUp, nullptr);
    connect(frameUp, &QAction::triggered, this, [this] { Guarded([this] { FrameMove(true); }); });
    QAction* frameDown = AddAction("ActionResourceFrameMoveDown", "Move down", {}, SCategoryFrame, QStyle::SP_ArrowDown, nullptr);
    connect(frameDown, &QAction::triggered, this, [this] { Guarded([this] { FrameMove(false); }); });
}

void TAtelierItemCommands::CreateKindActions()
{
    auto kinds = ResourceItemDatabase()->GetEnumerator();
    while (kinds->MoveNext()) {
        TResourceItemClass kind = kinds->GetCurrent();
        if (!kind->Capabilities().Contains(rcCreate)) continue;
        auto* action = new QAction(kind->ResourceTypeName(), this);
        action->setObjectName(QStringLiteral("ActionResourceType") + kind->ClassName());
        const int image = FFrame->NodeImage(kind, rgType, FFrame->FDefaultGlyphType);
        if (image >= 0) action->setIcon(QIcon(QPixmap::fromImage(FFrame->FImageListResourceTypes->Image(image))));
        connect(action, &QAction::triggered, this, [this, kind] {
            Guarded([this, kind] {
                TFinally update([this] { ScheduleUpdate(); });
                ResourceAddKind(kind);
            });
        });
        FKindActions.append(action);
        FKinds.append(kind);
    }
}

void TAtelierItemCommands::CreateMenus()
{
    // Entries by action name; "-" is a separator and "Clone variant" the clone command named for the menu.
    const auto menu = [this](const char* Name, std::initializer_list<const char*> Entries) {
        auto* popup = new QMenu(FFrame);
        popup->setObjectName(QString::fromLatin1(Name));
        connect(popup, &QMenu::aboutToShow, this, [this] { Guarded([this] { UpdateActions(); }); });
        for (const char* entry : Entries) {
            const QString name = QString::fromLatin1(entry);
            if (name == QLatin1String("-")) {
                popup->addSeparator();
            } else if (name == QLatin1String("Clone variant")) {
                QAction* clone = Action(QStringLiteral("ActionResourceChildClone"));
                QAction* item = popup->addAction(name);
                item->setObjectName(QStringLiteral("MenuItemCloneVariant"));
                connect(item, &QAction::triggered, clone, &QAction::trigger);
                connect(clone, &QAction::changed, item, [clone, item] { item->setEnabled(clone->isEnabled()); });
            } else {
                popup->addAction(Action(name));
            }
        }
        return popup;
    };
    FPopupMenuResourceTypes = menu("PopupMenuResourceTypes", {"-", "ActionResourceImport"});
    // Each kind goes on top of the ones before: the menu lists them in reverse order.
    for (QAction* action : FKindActions)
        FPopupMenuResourceTypes->insertAction(FPopupMenuResourceTypes->actions().value(0), action);
    FPopupMenuResource = menu("PopupMenuResource", {"ActionResourceAddLoad", "ActionResourceRemove", "-",
                                                    "ActionResourceClone", "-", "ActionResourceLoad",
                                                    "ActionResourceSave"});
    FPopupMenuResourcesPane = menu("PopupMenuResourcesPane", {"ActionResourceAddLoad", "-", "ActionAbout"});
    FPopupMenuVariant =
        menu("PopupMenuVariant", {"ActionResourceChildAdd", "ActionResourceChildAddLoad", "ActionResourceChildDelete", "-",
                                  "Clone variant", "-", "ActionResourceChildLoad", "ActionResourceChildSave", "-",
                                  "ActionResourceChildMoveUpMenu", "ActionResourceChildMoveDownMenu"});
    FPopupMenuVariantsPane = menu("PopupMenuVariantsPane", {"ActionResourceChildAdd", "ActionResourceChildAddLoad"});
    FPopupMenuFrames = menu("PopupMenuFrames", {"ActionResourceFrameAdd", "ActionResourceFrameDelete", "-",
                                                "ActionResourceFrameClone", "-", "ActionResourceFrameMoveUp",
                                                "ActionResourceFrameMoveDown"});

    // A command run from a menu opened on a button acts on that button's item; the menu closes before
    // its command runs, so the button is let go after the current event.
    for (QMenu* popup : {FPopupMenuVariant, FPopupMenuFrames})
        connect(popup, &QMenu::aboutToHide, this,
                [this] { QMetaObject::invokeMethod(this, [this] { MenuClosed(); }, Qt::QueuedConnection); });

    FFrame->FPanelResources->SetPopupMenu(FPopupMenuResourcesPane);
    FFrame->FPanelVariants->SetPopupMenu(FPopupMenuVariantsPane);
    FFrame->FTreeViewResources->installEventFilter(this);
    FFrame->FFlowPanelChildren->installEventFilter(this);
    FFrame->FScrollBoxChildren->viewport()->installEventFilter(this);
    FFrame->FFlowPanelFrames->installEventFilter(this);
    FFrame->FScrollBoxFrames->viewport()->installEventFilter(this);
}

void TAtelierItemCommands::CreateToolBars()
{
    const auto toolBar = [](const char* Name, TWorkspacePane* Pane) {
        auto* bar = new QToolBar(Pane);
        bar->setObjectName(QString::fromLatin1(Name));
        bar->setIconSize(QSize(16, 16));
        bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        Pane->Content()->insertWidget(0, bar);
        return bar;
    };
    FToolBarResources = toolBar("ToolBarResources", FFrame->FPanelResources);
    FToolBarResources->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    FAddButton = new QToolButton(FToolBarResources);
    FAddButton->setObjectName(QStringLiteral("ToolButtonResourceAdd"));
    FAddButton->setDefaultAction(Action("ActionResourceAdd"));
    FAddButton->setMenu(FPopupMenuResourceTypes);
    FAddButton->setPopupMode(QToolButton::MenuButtonPopup);
    FAddButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    FToolBarResources->addWidget(FAddButton);
    connect(Action("ActionResourceAdd"), &QAction::triggered, FAddButton, &QToolButton::showMenu, Qt::QueuedConnection);
    FToolBarResources->addAction(Action("ActionResourceRemove"));
    FToolBarResources->installEventFilter(this);

    FToolBarVariants = toolBar("ToolBarVariants", FFrame->FPanelVariants);
    for (const char* name : {"ActionResourceChildAdd", "ActionResourceChildDelete", "ActionResourceChildMoveUp",
                             "ActionResourceChildMoveDown"})
        FToolBarVariants->addAction(Action(QString::fromLatin1(name)));

    FToolBarFrames = toolBar("ToolBarFrames", FFrame->FPanelFrames);
    for (const char* name : {"ActionResourceFrameAdd", "ActionResourceFrameDelete", "ActionResourceFrameMoveUp",
                             "ActionResourceFrameMoveDown"})
        FToolBarFrames->addAction(Action(QString::fromLatin1(name)));
}

// Captions of the resources toolbar

TToolBarFit FitToolBarCaptions(const std::vector<TToolBarCaptionWidths>& Buttons, int Available)
{
    TToolBarFit fit;
    fit.Captions.assign(Buttons.size(), tcLong);
    int total = 0;
    for (const TToolBarCaptionWidths& button : Buttons) total += button.Long;
    for (int i = int(Buttons.size()) - 1; i >= 0 && total > Available; --i) {
        fit.Captions[i] = tcShort;
        total += Buttons[i].Short - Buttons[i].Long;
    }
    for (int i = int(Buttons.size()) - 1; i >= 0 && total > Available; --i) {
        fit.Captions[i] = tcNone;
        total += Buttons[i].None - Buttons[i].Short;
        if (total <= Available && i == 0) fit.CaptionsOff = true;
    }
    if (total > Available) fit.CaptionsOff = true;
    if (fit.CaptionsOff) fit.Captions.assign(Buttons.size(), tcNone);
    return fit;
}

void TAtelierItemCommands::FitResourcesToolBar()
{
    if (FFitting || !FFrame->parentWidget()) return;
    FFitting = true;
    TFinally done([this] { FFitting = false; });
    QAction* actions[] = {Action(QStringLiteral("ActionResourceAdd")), Action(QStringLiteral("ActionResourceRemove"))};
    QToolButton* buttons[] = {FAddButton, qobject_cast<QToolButton*>(FToolBarResources->widgetForAction(actions[1]))};
    if (!buttons[1]) return;
    const auto show = [&](int i, TToolBarCaption caption) {
        // The short caption is the hint's first part, the long one the action's caption.
        actions[i]->setIconText(caption == tcShort ? actions[i]->toolTip() : actions[i]->text());
        buttons[i]->setToolButtonStyle(caption == tcNone ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon);
    };
    std::vector<TToolBarCaptionWidths> widths;
    for (int i = 0; i < 2; ++i) {
        TToolBarCaptionWidths width{};
        show(i, tcLong);
        width.Long = buttons[i]->sizeHint().width();
        show(i, tcShort);
        width.Short = buttons[i]->sizeHint().width();
        show(i, tcNone);
        width.None = buttons[i]->sizeHint().width();
        widths.push_back(width);
    }
    const QMargins margins = FToolBarResources->contentsMargins();
    const int spacing = FToolBarResources->layout() ? FToolBarResources->layout()->spacing() : 0;
    const int available = FToolBarResources->width() - margins.left() - margins.right() - 2 * spacing -
                          FToolBarResources->style()->pixelMetric(QStyle::PM_ToolBarHandleExtent);
    const TToolBarFit fit = FitToolBarCaptions(widths, available);
    for (int i = 0; i < 2; ++i) show(i, fit.Captions[i]);
}

// Enabled states

void TAtelierItemCommands::ScheduleUpdate() { FUpdateTimer->start(); }

TCustomResourceItem* TAtelierItemCommands::CheckedTopItem() const
{
    const QList<QTreeWidgetItem*> selected = FFrame->FTreeViewResources->selectedItems();
    QTreeWidgetItem* node = selected.size() == 1 ? selected.first() : FFrame->FTreeViewResources->currentItem();
    if (selected.size() > 1 || !dynamic_cast<TCustomTreeNodeResourceItem*>(node)) return nullptr;
    return TopItem(FFrame->FSelectResourceItem);
}

TCustomResourceItem* TAtelierItemCommands::VariantTarget() const
{
    if (FVariantMenuOpen && FVariantMenuButton) return FVariantMenuButton->ResourceItem();
    return FFrame->FChildResourceItem;
}

TCustomResourceItem* TAtelierItemCommands::FrameTarget() const
{
    if (FFrameMenuOpen && FFrameMenuButton) return FFrameMenuButton->ResourceItem();
    return FFrame->FFrameResourceItem;
}

void TAtelierItemCommands::UpdateActions()
{
    const auto enable = [this](const char* Name, bool Value) { Action(QString::fromLatin1(Name))->setEnabled(Value); };
    enable("ActionResourceAdd", !FKindActions.isEmpty());

    TCustomResourceItem* top = CheckedTopItem();
    bool internal = false;
    for (TCustomResourceItem* item = FFrame->FSelectResourceItem; top && item; item = item->Parent())
        internal = internal || item->Internal();
    enable("ActionResourceRemove", top && !internal);
    enable("ActionResourceLoad", Can(top, rcLoad));
    enable("ActionResourceSave", Can(top, rcSave));
    enable("ActionResourceClone", top && CanCopy(top) && !Can(top, rcSingle));

    TCustomResourceItem* variant = VariantTarget();
    enable("ActionResourceChildAdd", Can(variant, rcCreate));
    enable("ActionResourceChildDelete", variant && !variant->Internal());
    enable("ActionResourceChildLoad", Can(variant, rcLoad));
    enable("ActionResourceChildSave", Can(variant, rcSave));
    enable("ActionResourceChildAddLoad", Can(variant, rcLoad));
    enable("ActionResourceChildClone", CanCopy(variant));
    const TResourceButtonList& buttons = FFrame->FChildButtons;
    const int selected = FFrame->FChildResourceItem ? buttons.IndexOfItem(FFrame->FChildResourceItem) : -1;
    enable("ActionResourceChildMoveUp", selected > 0);
    enable("ActionResourceChildMoveDown", selected >= 0 && selected < buttons.Count() - 1);
    const int menuButton = FVariantMenuOpen && FVariantMenuButton ? buttons.IndexOf(FVariantMenuButton) : -1;
    enable("ActionResourceChildMoveUpMenu", menuButton > 0);
    enable("ActionResourceChildMoveDownMenu", menuButton >= 0 && menuButton < buttons.Count() - 1);

    TCustomResourceItem* frame = FrameTarget();
    const int frameIndex = frame ? FFrame->FFrameButtons.IndexOfItem(frame) : -1;
    enable("ActionResourceFrameAdd", FFrame->FChildResourceItem != nullptr);
    enable("ActionResourceFrameDelete", frame != nullptr);
    enable("ActionResourceFrameClone", frame != nullptr);
    enable("ActionResourceFrameMoveUp", frameIndex > 0);
    enable("ActionResourceFrameMoveDown", frameIndex >= 0 && frameIndex < FFrame->FFrameButtons.Count() - 1);
}

// Menus on buttons

void TAtelierItemCommands::VariantMenuOpened(TResourceItemButton* Button)
{
    FVariantMenuButton = Button;
    FVariantMenuOpen = Button != nullptr;
    UpdateActions();
}

void TAtelierItemCommands::FrameMenuOpened(TResourceItemButton* Button)
{
    FFrameMenuButton = Button;
    FFrameMenuOpen = Button != nullptr;
    UpdateActions();
}

void TAtelierItemCommands::MenuClosed()
{
    FVariantMenuOpen = FFrameMenuOpen = false;
    FVariantMenuButton = nullptr;
    FFrameMenuButton = nullptr;
    ScheduleUpdate();
}

bool TAtelierItemCommands::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == FToolBarResources && Event->type() == QEvent::Resize) {
        Guarded([this] { FitResourcesToolBar(); });
        return false;
    }
    if (Event->type() != QEvent::ContextMenu) return QObject::eventFilter(Watched, Event);
    auto* widget = qobject_cast<QWidget*>(Watched);
    const QPoint global = static_cast<QContextMenuEvent*>(Event)->globalPos();
    if (Watched == FFrame->FTreeViewResources) {
        // After the tree has chosen the node under the mouse.
        QMetaObject::invokeMethod(
            this, [this, global] { Guarded([&] { FPopupMenuResource->popup(global); }); }, Qt::QueuedConnection);
        return false;
    }
    const bool frames = Watched == FFrame->FFlowPanelFrames || Watched == FFrame->FScrollBoxFrames->viewport();
    TResourceItemButton* button = nullptr;
    for (QWidget* at = widget->childAt(widget->mapFromGlobal(global)); at && at != widget; at = at->parentWidget())
        if ((button = qobject_cast<TResourceItemButton*>(at))) break;
    Guarded([&] {
        if (frames) {
            FrameMenuOpened(button);
            FPopupMenuFrames->popup(global);
        } else {
            VariantMenuOpened(button);
            FPopupMenuVariant->popup(global);
        }
    });
    return true;
}

// Dialogs

bool TAtelierItemCommands::ExecuteOpen(TOpenDialogState& State)
{
    State.FileNames.clear();
    if (!Prompts().ExecuteOpen(FFrame->window(), State)) return false;
    if (State.FileNames.isEmpty() && !State.FileName.isEmpty()) State.FileNames << State.FileName;
    return !State.FileNames.isEmpty();
}

void TAtelierItemCommands::SaveItemAs(TCustomResourceItem* Item, const QString& Title)
{
    TOpenDialogState state;
    state.Title = Title;
    state.Filter = FileTypesFilterAndDefaultExt(Item->ClassType()->GetFileTypes(fcSave), state.DefaultExt, true);
    state.FileName = Item->Filename();
    if (state.FileName.isEmpty()) state.FileName = Item->NameAsString() + QLatin1Char('.') + state.DefaultExt;
    if (!Prompts().ExecuteSaveFile(FFrame->window(), state)) return;
    auto busy = SaveCursor(FFrame->FBusyCursor);
    SaveResourceItemToFile(Item, state.FileName);
}

// Resource commands

void TAtelierItemCommands::ResourceAddKind(TResourceItemClass Kind)
{
    if (!FFrame->ResourceModule()) return;
    TCustomTreeNodeResourceItem* node = nullptr;
    if (Kind->Capabilities().Contains(rcSingle)) node = FFrame->FindClassNode(Kind);
    if (!node) node = FFrame->AddItemNode(FFrame->CreateResourceItem(Kind, nullptr));
    if (node->parent()) node->parent()->setExpanded(true);
    FFrame->FTreeViewResources->scrollToItem(node);
    FFrame->FTreeViewResources->setCurrentItem(node);
    if (FFrame->FResourceItemEditor)
        if (QWidget* control = FFrame->FResourceItemEditor->GetControl()) {
            QWidget* first = control->nextInFocusChain();
            (first && control->isAncestorOf(first) ? first : control)->setFocus();
        }
}

void TAtelierItemCommands::ResourceRemove()
{
    if (!CheckedTopItem()) return;
    for (TCustomResourceItem* item = FFrame->FSelectResourceItem; item; item = item->Parent())
        if (item->Internal()) return;
    auto* node = dynamic_cast<TCustomTreeNodeResourceItem*>(FFrame->FTreeViewResources->currentItem());
    if (!node) return;
    FFrame->SelectChild(nullptr);
    FFrame->FChildButtons.Clear();
    FFrame->SelectItem(nullptr, false);
    {
        const QSignalBlocker block(FFrame->FTreeViewResources);
        node->Delete();
        FFrame->FCurrentNode = FFrame->FTreeViewResources->currentItem();
    }
    FFrame->TreeChange(FFrame->FCurrentNode);
}

void TAtelierItemCommands::ResourceLoad()
{
    TCustomResourceItem* top = CheckedTopItem();
    if (!Can(top, rcLoad)) return;
    TResourceItemClass kind = top->ClassType();
    TOpenDialogState state;
    state.Title = Str(SAddFromFileTitle);
    state.Filter = FileTypesFilter(kind->GetFileTypes(fcLoad), true);
    state.FileName = top->Filename();
    if (!ExecuteOpen(state)) return;
    TItemSourceFile file(state.FileNames.first(), kind);
    // An editor that will not let go ends the command here, before anything changed.
    QPointer<TCustomResourceItem> variant(FFrame->FChildResourceItem);
    FFrame->SelectChild(nullptr);

    // The file goes into a new item first: the resource and its other variants stay until it loaded.
    TCustomResourceModule* module = FFrame->ResourceModule();
    TResourceItemPtr owned = kind->Create(TResourceIdent::FromOrdinal(0));
    TCustomResourceItem* loaded = owned.get();
    loaded->SetModule(module);
    owned.release();
    try {
        loaded->InitializeNewItem();
        auto busy = SaveCursor(FFrame->FBusyCursor);
        loaded->LoadFromFileStream(file.Stream());
    } catch (...) {
        FreeNewItem(loaded);
        try {
            if (variant) FFrame->SelectChild(variant.data());
        } catch (const Exception&) {
            // The load's own error says what went wrong.
        }
        throw;
    }
    const TResourceIdent name = top->Name();
    const TLanguageID language = top->Language();
    auto* node = dynamic_cast<TCustomTreeNodeResourceItem*>(FFrame->FTreeViewResources->currentItem());
    FFrame->SelectItem(nullptr, false);
    FFrame->FChildButtons.Clear();
    {
        const QSignalBlocker block(FFrame->FTreeViewResources);
        if (node)
            node->Delete();
        else
            FreeNewItem(top);
        FFrame->FCurrentNode = FFrame->FTreeViewResources->currentItem();
    }
    // Refused, the name stays ordinal: the loaded resource still gets its node.
    std::exception_ptr renameError;
    try {
        TUpdateGuard batch(loaded);
        loaded->SetName(name);
        loaded->SetLanguage(language);
        loaded->SetFilename(state.FileNames.first());
    } catch (...) {
        renameError = std::current_exception();
    }
    TCustomTreeNodeResourceItem* newNode = FFrame->AddItemNode(loaded);
    if (newNode->parent()) newNode->parent()->setExpanded(true);
    FFrame->FTreeViewResources->scrollToItem(newNode);
    {
        const QSignalBlocker block(FFrame->FTreeViewResources);
        FFrame->FTreeViewResources->setCurrentItem(newNode);
        FFrame->FCurrentNode = newNode;
    }
    FFrame->FillVariantButtons(newNode, true);
    if (FFrame->FChildButtons.Count() > 0) FFrame->FChildButtons[0]->click();
    if (renameError) std::rethrow_exception(renameError);
}

void TAtelierItemCommands::ResourceSave()
{
    TCustomResourceItem* top = CheckedTopItem();
    if (!Can(top, rcSave)) return;
    SaveItemAs(top, Str(SSaveResourceTitle));
}

void TAtelierItemCommands::ResourceAddLoad()
{
    if (!FFrame->ResourceModule()) return;
    TOpenDialogState state;
    state.Title = Str(SAddFromFileTitle);
    state.Filter = FileTypesFilter(ResourceItemDatabase()->FileTypes(TCustomResourceItem::ClassInfo(), {fcLoad}));
    state.FilterIndex = 1;
    state.MultiSelect = true;
    if (!ExecuteOpen(state)) return;
    for (const QString& name : state.FileNames) FFrame->AddItemFromFile(name);
}

void TAtelierItemCommands::ResourceClone()
{
    TCustomResourceItem* top = CheckedTopItem();
    if (!top || !CanCopy(top) || Can(top, rcSingle)) return;
    FFrame->FTreeViewResources->setUpdatesEnabled(false);
    TFinally resume([this] { FFrame->FTreeViewResources->setUpdatesEnabled(true); });
    TCustomResourceItem* item = FFrame->CreateResourceItem(top->ClassType(), nullptr);
    try {
        TUpdateGuard batch(item);
        item->Assign(top);
        item->SetNameInteger(static_cast<uint16_t>(item->GetUniqueIdentifier()));
    } catch (...) {
        FreeNewItem(item);
        throw;
    }
    TCustomTreeNodeResourceItem* node = FFrame->AddItemNode(item);
    if (node->parent()) node->parent()->setExpanded(true);
    FFrame->FTreeViewResources->scrollToItem(node);
    FFrame->FTreeViewResources->setCurrentItem(node);
}

// Variant commands

TCustomResourceItem* TAtelierItemCommands::NewVariantOf(TCustomResourceItem* Target)
{
    return Target->Parent() ? FFrame->NewChild(Target->Parent()) : FFrame->NewVariant(Target);
}

void TAtelierItemCommands::Discard(TResourceButtonList& Buttons, TCustomResourceItem* Item)
{
    const int index = Buttons.IndexOfItem(Item);
    if (index >= 0) Buttons.Delete(index);
    FreeNewItem(Item);
}

void TAtelierItemCommands::AssignNew(TResourceButtonList& Buttons, TCustomResourceItem* Item, TCustomResourceItem* Source)
{
    try {
        Item->Assign(Source);
    } catch (...) {
        Discard(Buttons, Item);
        throw;
    }
}

void TAtelierItemCommands::ChildAdd()
{
    TCustomResourceItem* target = VariantTarget();
    if (!Can(target, rcCreate)) return;
    FFrame->SelectChild(NewVariantOf(target));
}

void TAtelierItemCommands::ChildClone()
{
    TCustomResourceItem* target = VariantTarget();
    if (!CanCopy(target)) return;
    TCustomResourceItem* item = NewVariantOf(target);
    AssignNew(FFrame->FChildButtons, item, target);
    // The copy of a language variant takes a language of its own.
    if (!item->Parent())
        if (TCustomTreeNodeResourceItem* node = FFrame->FindItemNode(item))
            item->SetLanguage(FreeVariantLanguage(node->Items(), item));
    FFrame->SelectChild(item);
}

void TAtelierItemCommands::ChildDelete()
{
    TCustomResourceItem* target = VariantTarget();
    auto* node = dynamic_cast<TCustomTreeNodeResourceItem*>(FFrame->FTreeViewResources->currentItem());
    if (!target || target->Internal() || !node) return;
    TResourceItemList* items = node->Items();
    const int index = items->IndexOf(target);
    if (index < 0) return;
    FFrame->SelectChild(nullptr);
    const int button = FFrame->FChildButtons.IndexOfItem(target);
    if (button >= 0) FFrame->FChildButtons.Delete(button);
    if (items->Count() > 1) FFrame->SelectChild(items->Items(index + 1 < items->Count() ? index + 1 : index - 1));
    node->DeleteItem(target);
}

void TAtelierItemCommands::ChildLoad()
{
    TCustomResourceItem* target = VariantTarget();
    if (!Can(target, rcLoad)) return;
    TOpenDialogState state;
    state.Title = Str(SAddFromFileTitle);
    state.Filter = FileTypesFilterAndDefaultExt(target->ClassType()->GetFileTypes(fcLoad), state.DefaultExt, true);
    state.FileName = target->Filename();
    if (!ExecuteOpen(state)) return;
    const QString filename = state.FileNames.first();
    TItemSourceFile file(filename, target->ClassType());
    QPointer<TCustomResourceItem> guard(target);
    FFrame->SelectChild(nullptr);
    TFinally reselect([this, guard] {
        if (guard) FFrame->SelectChild(guard.data());
    });
    // A kind that writes its data can be put back as it was when the file does not load.
    std::optional<TMemoryStream> backup;
    if (Can(target, rcWrite)) {
        backup.emplace();
        target->SaveToStream(*backup);
    }
    try {
        auto busy = SaveCursor(FFrame->FBusyCursor);
        target->LoadFromFileStream(file.Stream());
    } catch (...) {
        if (backup && guard) {
            try {
                TUpdateGuard batch(target);
                backup->SetPosition(0);
                target->Clear();
                target->LoadFromStream(*backup, backup->Size());
            } catch (const Exception&) {
                // The load's own error says what went wrong.
            }
        }
        throw;
    }
    target->SetFilename(filename);
}

void TAtelierItemCommands::ChildAddLoad()
{
    TCustomResourceItem* target = VariantTarget();
    if (!Can(target, rcLoad)) return;
    TResourceItemClass kind = target->ClassType();
    TOpenDialogState state;
    state.Title = Str(SAddFromFileTitle);
    state.Filter = FileTypesFilterAndDefaultExt(kind->GetFileTypes(fcLoad), state.DefaultExt, true);
    state.FileName = target->Filename();
    state.MultiSelect = true;
    if (!ExecuteOpen(state)) return;
    QPointer<TCustomResourceItem> guard(target);
    TCustomResourceItem* last = nullptr;
    TFinally select([this, &last] {
        if (last) FFrame->SelectChild(last);
    });
    for (const QString& name : state.FileNames) {
        TItemSourceFile file(name, kind);
        if (!guard) break;
        TCustomResourceItem* item = NewVariantOf(guard.data());
        try {
            auto busy = SaveCursor(FFrame->FBusyCursor);
            item->LoadFromFileStream(file.Stream());
            item->SetFilename(name);
        } catch (...) {
            Discard(FFrame->FChildButtons, item);
            throw;
        }
        last = item;
    }
}

void TAtelierItemCommands::ChildSave()
{
    TCustomResourceItem* target = VariantTarget();
    if (!Can(target, rcSave)) return;
    SaveItemAs(target, Str(SSaveResourceTitle));
}

void TAtelierItemCommands::ChildMove(bool Up, bool FromMenu)
{
    TCustomResourceItem* target = FromMenu && FVariantMenuButton ? FVariantMenuButton->ResourceItem() : FFrame->FChildResourceItem;
    if (!target) return;
    TResourceButtonList& buttons = FFrame->FChildButtons;
    const int i = buttons.IndexOfItem(target);
    ATELIER_ASSERT(i >= 0);
    const int to = Up ? i - 1 : i + 1;
    if (to < 0 || to >= buttons.Count()) return;
    TResourceItemButton* button = buttons[i];
    auto* layout = static_cast<QVBoxLayout*>(FFrame->FFlowPanelChildren->layout());
    ATELIER_ASSERT(layout->indexOf(button) == 2 * i);
    if (TCustomResourceItem* parent = target->Parent()) {
        ATELIER_ASSERT(parent->Items()->IndexOf(target) == i);
        parent->Items()->Move(i, to);
    }
    buttons.Move(i, to);
    QWidget* divider = button->Divider();
    MoveLayoutWidget(layout, button, 2 * to);
    if (divider) MoveLayoutWidget(layout, divider, 2 * to + 1);
    FFrame->FScrollBoxChildren->ensureWidgetVisible(button);
}

// Frame commands

void TAtelierItemCommands::FrameAdd()
{
    if (!FFrame->FChildResourceItem) return;
    FFrame->SelectFrame(FFrame->NewFrame(FFrame->FChildResourceItem));
}

void TAtelierItemCommands::FrameClone()
{
    TCustomResourceItem* target = FrameTarget();
    if (!target || !FFrame->FChildResourceItem) return;
    TCustomResourceItem* frame = FFrame->NewFrame(FFrame->FChildResourceItem);
    AssignNew(FFrame->FFrameButtons, frame, target);
    FFrame->SelectFrame(frame);
}

void TAtelierItemCommands::FrameDelete()
{
    TCustomResourceItem* target = FrameTarget();
    if (!target) return;
    TResourceButtonList& buttons = FFrame->FFrameButtons;
    const int index = buttons.IndexOfItem(target);
    FFrame->SelectFrame(nullptr);
    if (index >= 0) buttons.Delete(index);
    FreeNewItem(target);
    if (index < 0 || buttons.Count() == 0) return;
    const int at = std::min(index, buttons.Count() - 1);
    buttons[at]->click();
    for (int i = at; i < buttons.Count(); ++i) FFrame->SetFrameButtonCaption(buttons[i]);
}

void TAtelierItemCommands::FrameMove(bool Up)
{
    TCustomResourceItem* target = FrameTarget();
    if (!target) return;
    TResourceButtonList& buttons = FFrame->FFrameButtons;
    const int from = buttons.IndexOfItem(target);
    ATELIER_ASSERT(from >= 0);
    const int to = Up ? from - 1 : from + 1;
    if (to < 0 || to >= buttons.Count()) return;
    TResourceItemButton* button = buttons[from];
    auto* layout = static_cast<QVBoxLayout*>(FFrame->FFlowPanelFrames->layout());
    ATELIER_ASSERT(layout->indexOf(button) == from);
    if (TCustomResourceItem* parent = target->Parent()) {
        if (auto* sequenced = dynamic_cast<ISequencedResourceItem*>(parent)) {
            sequenced->MoveFrame(from, to);
        } else {
            ATELIER_ASSERT(parent->Items()->IndexOf(target) == from);
            parent->Items()->Move(from, to);
        }
    }
    buttons.Move(from, to);
    MoveLayoutWidget(layout, button, to);
    FFrame->SetFrameButtonCaption(buttons[from]);
    FFrame->SetFrameButtonCaption(buttons[to]);
    FFrame->FScrollBoxFrames->ensureWidgetVisible(button);
}
