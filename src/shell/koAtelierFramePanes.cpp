#include "koAtelierFrame.h"

#include "koDockForm.h"
#include "koScrollBox.h"
#include "koSplitter.h"
#include "koTreeView.h"
#include "platform/Format.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QMenu>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const char* const SViewInitError = "Failed to initialize resource view:\r%s";
const char* const SEditInitError = "Failed to initialize atelier:\r%s";

// Qt must not see exceptions: event handlers run guarded.
void Guarded(const std::function<void()>& Handler) { GuardedCall(Handler); }
} // namespace

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

// The panes of the frame

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

// The view, the editor and the inspected item

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
