// The workspace's item commands: the actions, toolbars and menus that add, import, export, clone,
// reorder and delete resources, their variants and the frames of animations.
#pragma once

#include "model/koResourcesItem.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <memory>
#include <vector>

class QAction;
class QMenu;
class QTimer;
class QToolBar;
class QToolButton;
class TFrameAtelier;
class TResourceItemButton;
class TResourceButtonList;
class IMainFormPrompts;
struct TOpenDialogState;

// Writes what the item saves into a file; the file is replaced only once every byte is written, so a
// failing save leaves an existing file as it was.
void SaveResourceItemToFile(TCustomResourceItem* Item, const QString& Filename);
// A file name as a resource name: blanks and full stops become "_", letters upper case, the rest goes.
QString FileNameToIdentifier(const QString& Filename);

// How the buttons of the resources toolbar show their captions at a width: each button's long caption,
// else from the last button to the first its short one, else from the last to the first none. When the
// buttons fit only once the first button lost its caption, or never fit, captions are off altogether.
enum TToolBarCaption { tcLong, tcShort, tcNone };
struct TToolBarCaptionWidths {
    int Long, Short, None; // the button's width with each
};
struct TToolBarFit {
    std::vector<TToolBarCaption> Captions;
    bool CaptionsOff = false;
};
TToolBarFit FitToolBarCaptions(const std::vector<TToolBarCaptionWidths>& Buttons, int Available);

class TAtelierItemCommands : public QObject {
    Q_OBJECT

public:
    explicit TAtelierItemCommands(TFrameAtelier* Frame);
    ~TAtelierItemCommands() override;

    // The window's prompts answer the file dialogs; without them Qt's own dialogs do.
    void SetPrompts(IMainFormPrompts* Value) { FPrompts = Value; }
    IMainFormPrompts& Prompts();

    // The actions of ActionListResource by name, and the per-kind actions of ActionListResourceTypes.
    QAction* Action(const QString& Name) const;
    const QList<QAction*>& ActionListResourceTypes() const { return FKindActions; }
    QAction* KindAction(TResourceItemClass Kind) const;

    QMenu* PopupMenuResourceTypes() const { return FPopupMenuResourceTypes; }
    QMenu* PopupMenuResource() const { return FPopupMenuResource; }
    QMenu* PopupMenuResourcesPane() const { return FPopupMenuResourcesPane; }
    QMenu* PopupMenuVariant() const { return FPopupMenuVariant; }
    QMenu* PopupMenuVariantsPane() const { return FPopupMenuVariantsPane; }
    QMenu* PopupMenuFrames() const { return FPopupMenuFrames; }
    QToolBar* ToolBarResources() const { return FToolBarResources; }
    QToolBar* ToolBarVariants() const { return FToolBarVariants; }
    QToolBar* ToolBarFrames() const { return FToolBarFrames; }

    // Enables the actions after their rules; ScheduleUpdate does so once the current event is done.
    void UpdateActions();
    void ScheduleUpdate();

    // The variant or frame menu opened on a button: its commands act on that button's item until the
    // menu has closed. Null opens it on the pane.
    void VariantMenuOpened(TResourceItemButton* Button);
    void FrameMenuOpened(TResourceItemButton* Button);
    void MenuClosed();

    // The commands (what the actions run).
    void ResourceAddKind(TResourceItemClass Kind);
    void ResourceRemove();
    void ResourceLoad();
    void ResourceSave();
    void ResourceAddLoad();
    void ResourceClone();
    void ChildAdd();
    void ChildDelete();
    void ChildLoad();
    void ChildSave();
    void ChildAddLoad();
    void ChildClone();
    void ChildMove(bool Up, bool FromMenu);
    void FrameAdd();
    void FrameDelete();
    void FrameClone();
    void FrameMove(bool Up);

    // The target of the variant and frame commands.
    TCustomResourceItem* VariantTarget() const;
    TCustomResourceItem* FrameTarget() const;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    QAction* AddAction(const char* Name, const QString& Caption, const QString& Hint, const char* Category,
                       int StandardIcon, void (TAtelierItemCommands::*Execute)());
    void CreateActions();
    void CreateMenus();
    void CreateToolBars();
    void CreateKindActions();
    // Exactly one item node chosen with an item selected; its top item, or null.
    TCustomResourceItem* CheckedTopItem() const;
    // Runs the open dialog of the workspace; false when cancelled.
    bool ExecuteOpen(TOpenDialogState& State);
    // A new sibling or language variant of the target, as "Add variant" makes it.
    TCustomResourceItem* NewVariantOf(TCustomResourceItem* Target);
    // Takes back a variant or frame made by a command that failed: its button and the item.
    void Discard(TResourceButtonList& Buttons, TCustomResourceItem* Item);
    // Copies Source into the new item, or takes the new item back when the copy fails.
    void AssignNew(TResourceButtonList& Buttons, TCustomResourceItem* Item, TCustomResourceItem* Source);
    void SaveItemAs(TCustomResourceItem* Item, const QString& Title);
    // Gives the buttons of the resources toolbar the captions that fit its width.
    void FitResourcesToolBar();

    TFrameAtelier* FFrame;
    IMainFormPrompts* FPrompts = nullptr;
    std::unique_ptr<IMainFormPrompts> FOwnPrompts;
    QList<QAction*> FActions;
    QList<QAction*> FKindActions;
    QList<TResourceItemClass> FKinds; // of FKindActions
    QMenu* FPopupMenuResourceTypes = nullptr;
    QMenu* FPopupMenuResource = nullptr;
    QMenu* FPopupMenuResourcesPane = nullptr;
    QMenu* FPopupMenuVariant = nullptr;
    QMenu* FPopupMenuVariantsPane = nullptr;
    QMenu* FPopupMenuFrames = nullptr;
    QToolBar* FToolBarResources = nullptr;
    QToolBar* FToolBarVariants = nullptr;
    QToolBar* FToolBarFrames = nullptr;
    QToolButton* FAddButton = nullptr;
    QTimer* FUpdateTimer = nullptr;
    // The button a variant or frame menu was opened on.
    QPointer<TResourceItemButton> FVariantMenuButton;
    QPointer<TResourceItemButton> FFrameMenuButton;
    bool FVariantMenuOpen = false;
    bool FFrameMenuOpen = false;
    bool FFitting = false;
};
