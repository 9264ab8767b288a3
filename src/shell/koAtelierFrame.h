// The workspace: the one frame that owns the open resource module and shows it as a tree of types and
// resources, the language variants (or group members) of the chosen resource as buttons, the frames of
// an animation, and the preview and editor of the chosen item.
#pragma once

#include "koAtelier.h"
#include "koAtelierFrameButtons.h"
#include "koAtelierFrameDock.h"
#include "koAtelierFramePanes.h"
#include "koAtelierFrameTree.h"
#include "koAtelierFramework.h"
#include "koResourceView.h"
#include "kinds/koResourceItemImage.h"
#include "model/koResourcesItem.h"
#include "model/koResourcesMessages.h"

#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

class QMenu;
class QAction;
class QTimer;
class QVBoxLayout;
class QScrollArea;
class QToolButton;
class TTreeView;
class TImageList;
class TFrameAtelier;
class TResourceSymbol;
class TCustomResourceModule;
class TFrameViewEditHandlerError;
class IRecall;

class TDockForm;
class QMainWindow;
class TAtelierItemCommands;
class TAtelierSettings;

class TFrameAtelier : public QWidget, public IAtelier, public IResourceItemNotification {
    Q_OBJECT

public:
    explicit TFrameAtelier(QWidget* Owner = nullptr);
    ~TFrameAtelier() override;

    // Module operations
    // Raises "Unable to locate a resource module reader for \"%s\"" when no reader handles the file.
    void LoadFromFile(const QString& Filename, const TResourceProgress& ProgressCallback = {});
    bool TryLoadFromFile(const QString& Filename, const TResourceProgress& ProgressCallback = {});
    void LoadFromStream(TStream& Stream, const QString& Filename);
    TCustomResourceModule* NewModule();
    // Clears the workspace, takes the module and fills the tree; a failing fill leaves no module.
    void InstallModule(std::unique_ptr<TCustomResourceModule> Module, const QString& Filename,
                       const TResourceProgress& ProgressCallback = {});
    void SaveToFile(const QString& Filename, const TResourceProgress& ProgressCallback = {});
    void CloseModule() { ClearWorkspace(); }

    TCustomResourceModule* ResourceModule() const { return FResourceModule.get(); }
    void SetResourceModule(std::unique_ptr<TCustomResourceModule> Value);
    QString Filename() const { return FFilename; }
    bool ViewHidden() const { return FViewHidden; }
    void SetViewHidden(bool Value) { FViewHidden = Value; }

    // Items
    // A new item of the kind in the module (a child kind brings its new parent, which is returned).
    TCustomResourceItem* CreateResourceItem(TResourceItemClass ItemClass, TCustomResourceItem* Parent);
    // A new resource loaded from a file, named after it and selected; nullptr when no kind takes the file.
    TCustomResourceItem* AddItemFromFile(const QString& Filename);
    // The target of a Windows shell link, or the name itself.
    QString ResolveShortcut(const QString& Filename) const;
    // New items beside, below or after the given one (koAtelierFrameCommands).
    TCustomResourceItem* NewVariant(TCustomResourceItem* Item);
    TCustomResourceItem* NewChild(TCustomResourceItem* Parent);
    TCustomResourceItem* NewFrame(TCustomResourceItem* Variant);
    TCustomResourceItem* NewResourceItem(TResourceItemClass ItemClass);
    // The actions, toolbars and menus of the item commands.
    TAtelierItemCommands* ItemCommands() const { return FItemCommands; }

    // Tree
    TTreeView* TreeViewResources() const { return FTreeViewResources; }
    TTreeNodeResourceType* GetTypeNode(TCustomResourceItem* Item, bool Reuse);
    TCustomTreeNodeResourceItem* GetItemNode(TTreeNodeResourceType* TypeNode, TCustomResourceItem* Item);
    // A new node of the item under TypeNode, without looking for one that could take it.
    TCustomTreeNodeResourceItem* CreateItemNode(TTreeNodeResourceType* TypeNode, TCustomResourceItem* Item);
    TCustomTreeNodeResourceItem* AddItemNode(TCustomResourceItem* Item);
    TCustomTreeNodeResourceItem* AddInfoNode(TCustomResourceItem* Item);
    TTreeNodeResourceType* FindTypeNode(const TResourceIdent& ResourceType) const;
    TCustomTreeNodeResourceItem* FindItemNode(TCustomResourceItem* Item) const;
    TCustomTreeNodeResourceItem* FindClassNode(TResourceItemClass ItemClass) const;
    // The in-place rename's commit; raises when a name is refused (the node keeps its text).
    void RenameNode(TCustomTreeNodeResourceItem* Node, const QString& Text);

    // Selection
    void SelectNode(TTreeNodeResource* Node, bool Debounce);
    void SelectChild(TCustomResourceItem* Item);
    void SelectFrame(TCustomResourceItem* Item);
    void SelectItem(TCustomResourceItem* Item, bool IsFrame);
    void FillVariantButtons(TCustomTreeNodeResourceItem* Node, bool Clear);
    void AddVariantButton(TCustomResourceItem* Item);
    void AddFrameButton(TCustomResourceItem* Item);
    void AttachView(TResourceItemViewFactoryClass Factory);
    void AttachEditor(TResourceItemEditorFactoryClass Factory);
    void Deactivate();
    // Offers a key to the editor's actions, then to the view's; true when one took it.
    bool IsShortCut(QKeyEvent* Event);
    // Puts a pending node selection into effect (the debounce timer's handler).
    void TimerSelectTimer();
    bool SelectPending() const;
    QTimer* TimerSelect() const { return FTimerSelect; }
    // Lists the views and editors of the shown item in the panes' option menus.
    void PopupPreview();
    void PopupEdit();

    TCustomResourceItem* SelectResourceItemValue() const { return FSelectResourceItem; }
    TCustomResourceItem* ChildResourceItem() const { return FChildResourceItem; }
    TCustomResourceItem* FrameResourceItem() const { return FFrameResourceItem; }
    TCustomResourceItem* ViewResourceItem() const { return FViewResourceItem; }
    TCustomResourceItem* EditResourceItem() const { return FEditResourceItem; }
    TCustomResourceItem* InspectResourceItem() const { return FInspectResourceItem; }
    TCustomResourceItem* SymbolsResourceItem() const { return FSymbolsResourceItem; }
    const TResourceButtonList& ChildButtons() const { return FChildButtons; }
    const TResourceButtonList& FrameButtons() const { return FFrameButtons; }

    TWorkspacePane* PanelResources() const { return FPanelResources; }
    TWorkspacePane* PanelVariants() const { return FPanelVariants; }
    TWorkspacePane* PanelFrames() const { return FPanelFrames; }
    TWorkspacePane* PanelPreview() const { return FPanelPreview; }
    TWorkspacePane* PanelEditor() const { return FPanelEditor; }
    TWorkspacePane* PaneView() const { return FPanelPreview; }
    TFrameViewEditHandlerError* FrameViewError() const { return FFrameViewError; }
    TFrameViewEditHandlerError* FrameEditError() const { return FFrameEditError; }
    QMenu* PopupActionBarPreview() const { return FPopupActionBarPreview; }
    QMenu* PopupActionBarEdit() const { return FPopupActionBarEdit; }
    QAction* ActionViewAs() const { return FActionViewAs; }
    QAction* ActionEditAs() const { return FActionEditAs; }

    // IAtelier
    void SelectResourceItem(TCustomResourceItem* Item) override;
    void Navigate(const IResourceMessagePtr& Target) override;
    IResourceItemViewPtr GetResourceItemView() override { return FResourceItemView; }
    IResourceItemEditorPtr GetResourceItemEditor() override { return FResourceItemEditor; }
    IAtelierPropertyInspector* GetPropertyInspector() override { return FPropertyInspector; }

    // IResourceItemNotification (the module's)
    void ResourceItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification) override;

    // Dock layout
    QMainWindow* DockHost() const { return FDockHost; }
    // Docks the five panes into Value, once.
    void SetDockHost(QMainWindow* Value);
    bool DockedLayout() const { return FDockedLayout; }
    // Docks another pane of the window into the host (the property inspector, the messages).
    // Below names a docked pane that the new one goes under.
    TDockForm* DockPane(QWidget* Pane, Qt::DockWidgetArea Area, QWidget* Below = nullptr);
    void SetPaneVisible(QWidget* Pane, bool Visible);
    bool PaneVisible(QWidget* Pane) const;
    TDockForm* DockFormOf(QWidget* Pane) const;
    // Told when a pane's dock form was hidden.
    std::function<void(QWidget* Pane)> OnPaneHidden;
    QByteArray SaveDockLayout();
    void LoadDockLayout(const QByteArray& Layout);
    // Gives the panes their remembered sizes again, after the current event.
    void RealignDockLayout();
    // The two arrangements the window offers; both bring back every closed pane, except those whose
    // visibility follows their content (the Frames pane, panes docked at the bottom such as messages).
    // The compact one suits small screens: one narrow column each side, the side panes stacked.
    void RestoreDefaultLayout();
    void RestoreCompactLayout();
    // Gives every docked pane the size its dock form remembers.
    void ApplyUndockSizes();
    // Applies the saved workspace settings unless Shift is held; Finalize closes the module and saves them.
    void Initialize();
    void Finalize();
    void About();
    TAtelierSettings* Settings() const { return FSettings.get(); }

    // The glyph images of the tree
    TImageList* ImageListResourceTypes() const { return FImageListResourceTypes.get(); }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    friend class TTreeNodeResource;
    friend class TResourceNameDelegate;
    friend class TAtelierItemCommands;

    void CreatePanes();
    void ClearWorkspace();
    void FillTree(const TResourceProgress& ProgressCallback);
    int NodeImage(TResourceItemClass ItemClass, TResourceItemGlyph Kind, int DefaultGlyph);
    void ApplyNodeImage(TTreeNodeResource* Node, int ImageIndex);
    void ForgetItem(TCustomResourceItem* Item);
    void UpdateNodeMark(TCustomResourceItem* Item);

    void TreeCurrentChanged(QTreeWidgetItem* Current, QTreeWidgetItem* Previous);
    bool TreeChanging();
    void TreeChange(QTreeWidgetItem* Node);
    void TreeKeyUp(QKeyEvent* Event);
    void SetEditPaneRedraw(bool Value);

    void SetViewItem(TCustomResourceItem* Item);
    void SetEditItem(TCustomResourceItem* Item);
    void SetInspectItem(TCustomResourceItem* Item);
    // The Frames pane shows while an animation or one of its frames is selected.
    void SetFramesPaneVisible(bool Visible);
    void ArrangeLayout(bool Compact);
    void SetFrameButtonCaption(TResourceItemButton* Button);
    void VariantButtonClick(TResourceItemButton* Button);
    void FrameButtonClick(TResourceItemButton* Button);
    TResourceItemButton* ButtonOfItem(const TResourceButtonList& List, TCustomResourceItem* Item) const;

    void MsgSelectItem(TCustomResourceItem* Item);
    void MsgSelectChild(TCustomResourceItem* Item);
    void MsgRecreateItem(TCustomResourceItem* Item);
    void MsgNavigate(const IResourceMessagePtr& Target);

    // IAtelier's registration
    IAtelier* FPreviousAtelier = nullptr;

    std::unique_ptr<TCustomResourceModule> FResourceModule;
    TCustomResourceItem* FChildResourceItem = nullptr;
    TCustomResourceItem* FFrameResourceItem = nullptr;
    TCustomResourceItem* FSelectResourceItem = nullptr;
    TTreeNodeResource* FPendingSelectNode = nullptr;
    TCustomResourceItem* FViewResourceItem = nullptr;
    TCustomResourceItem* FEditResourceItem = nullptr;
    TCustomResourceItem* FInspectResourceItem = nullptr;
    TCustomResourceItem* FSymbolsResourceItem = nullptr;
    IResourceItemViewPtr FResourceItemView;
    IResourceItemEditorPtr FResourceItemEditor;
    IAtelierPropertyInspector* FPropertyInspector = nullptr;
    QString FFilename;
    TResourceButtonList FChildButtons;
    TResourceButtonList FFrameButtons;
    int FDefaultGlyphType = -1;
    int FDefaultGlyphItem = -1;
    int FInfoGlyph = -1;
    bool FChanging = false;
    int FBusyCursor = 0;
    bool FViewHidden = false;
    bool FLoading = false;
    bool FEditPaneRedrawOff = false;

    std::unique_ptr<TImageList> FImageListResourceTypes;
    std::vector<std::pair<int, int>> FGlyphImages; // glyph handle -> image index

    TWorkspacePane* FPanelResources = nullptr;
    TWorkspacePane* FPanelVariants = nullptr;
    TWorkspacePane* FPanelFrames = nullptr;
    TWorkspacePane* FPanelPreview = nullptr;
    TWorkspacePane* FPanelEditor = nullptr;
    TTreeView* FTreeViewResources = nullptr;
    QScrollArea* FScrollBoxChildren = nullptr;
    QWidget* FFlowPanelChildren = nullptr;
    QScrollArea* FScrollBoxFrames = nullptr;
    QWidget* FFlowPanelFrames = nullptr;
    TFrameViewEditHandlerError* FFrameViewError = nullptr;
    TFrameViewEditHandlerError* FFrameEditError = nullptr;
    QMenu* FPopupActionBarPreview = nullptr;
    QMenu* FPopupActionBarEdit = nullptr;
    QAction* FActionViewAs = nullptr;
    QAction* FActionEditAs = nullptr;
    TCustomResourceItem* FPreviewMenuTag = nullptr;
    TCustomResourceItem* FEditMenuTag = nullptr;
    QTimer* FTimerSelect = nullptr;
    QTreeWidgetItem* FCurrentNode = nullptr;
    QMainWindow* FDockHost = nullptr;
    bool FDockedLayout = false;
    std::vector<TDockForm*> FDockForms;
    TDockForm* FDockFormResources = nullptr;
    TDockForm* FDockFormVariants = nullptr;
    TDockForm* FDockFormFrames = nullptr;
    TDockForm* FDockFormView = nullptr;
    TDockForm* FDockFormEdit = nullptr;
    QWidget* FSplitters = nullptr;
    // Where DockPane put each pane of the window, for the layouts to put it back.
    struct TDockedPane {
        TDockForm* Form;
        Qt::DockWidgetArea Area;
        TDockForm* Below;
    };
    std::vector<TDockedPane> FDockedPanes;
    std::unique_ptr<TAtelierSettings> FSettings;
    bool FRevertingSelection = false;
    TAtelierItemCommands* FItemCommands = nullptr; // a child
};
