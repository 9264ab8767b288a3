#include "koAtelierFrame.h"

#include "koAtelierFrameCommands.h"
#include "koCursorService.h"
#include "koGlyphService.h"
#include "koImageList.h"
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

#include <QFileInfo>
#include <QScrollArea>
#include <QTimer>
#include <optional>

namespace {
const char* const SNoReader = "Unable to locate a resource module reader for \"%s\"";

// Qt must not see exceptions: event handlers run guarded.
void Guarded(const std::function<void()>& Handler) { GuardedCall(Handler); }

TCustomResourceItem* TopItem(TCustomResourceItem* Item)
{
    while (Item && Item->Parent()) Item = Item->Parent();
    return Item;
}
} // namespace

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
    FItemCommands = new TAtelierItemCommands(this);

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
        // The buttons may have been made anew (the same node chosen again): the selected one shows so.
        if (TResourceItemButton* button = ButtonOfItem(IsFrame ? FFrameButtons : FChildButtons, Item)) {
            button->setChecked(true);
            button->SetActive(true);
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
        SetFramesPaneVisible(true);
    } else {
        SetFramesPaneVisible(false);
    }
    if (FItemCommands) FItemCommands->ScheduleUpdate();
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

// Items from files: koAtelierFrameCommands

QString TFrameAtelier::ResolveShortcut(const QString& Filename) const
{
    if (ExtractFileExt(Filename).compare(QStringLiteral(".lnk"), Qt::CaseInsensitive) != 0) return Filename;
    QString target;
    return ResolveShellLink(Filename, target) ? target : Filename;
}
