#include "AtelierFrameObjectInspector.h"

#include "designer/koDesignObjectInspector.h"
#include "model/koResourcesModule.h"
#include "platform/Exceptions.h"
#include "platform/GraphUtil.h"
#include "shell/koAtelierFramePanes.h"
#include "views/AtelierPropertyEditors.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
// The module of an item that the pane is given; such an item always belongs to one.
TCustomResourceModule* RequiredModule(TCustomResourceItem* Item)
{
    if (!Item) return nullptr;
    TCustomResourceModule* module = ModuleOfItem(Item);
    ATELIER_ASSERT(module);
    return module;
}
} // namespace

void TPropertyInspectorResourceItemNotificationDelegate::ResourceItemNotification(TCustomResourceItem* Item,
                                                                                  TResourceItemNotification Notification)
{
    FFramePropertyInspector->ResourceItemNotification(Item, Notification);
}

TFramePropertyInspector::TFramePropertyInspector(QWidget* AOwner) : QWidget(AOwner)
{
    setObjectName(QStringLiteral("FramePropertyInspector"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    FPanel2 = new QWidget(this);
    FPanel2->setObjectName(QStringLiteral("Panel2"));
    auto* header = new QHBoxLayout(FPanel2);
    header->setContentsMargins(4, 2, 4, 2);
    FLabel1 = new QLabel(QStringLiteral("Properties"), FPanel2);
    FLabel1->setObjectName(QStringLiteral("Label1"));
    header->addWidget(FLabel1);
    layout->addWidget(FPanel2);
    FPanelPropertyInspector = new QWidget(this);
    FPanelPropertyInspector->setObjectName(QStringLiteral("PanelPropertyInspector"));
    auto* client = new QVBoxLayout(FPanelPropertyInspector);
    client->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FPanelPropertyInspector, 1);

    FInspector = new TRunTimeObjectInspector(FPanelPropertyInspector);
    FInspector->setObjectName(QStringLiteral("Inspector"));
    client->addWidget(FInspector);
    SetColors();
    TRunTimeObjectInspectorColors* colors = FInspector->Colors();
    colors->SetName(QApplication::palette().color(QPalette::WindowText));
    colors->SetReference(colors->Name());
    colors->SetValue(QApplication::palette().color(QPalette::Link));
    colors->SetEditValue(QApplication::palette().color(QPalette::WindowText));
    colors->SetReadOnly(QApplication::palette().color(QPalette::Disabled, QPalette::WindowText));
    TRunTimeObjectInspectorOptions options = FInspector->Options();
    options.Include(ioShowSubProperties);
    FInspector->SetOptions(options);
    FInspector->SetBorderStyle(bsNone);
    FInspector->SetFlat(true);
    FInspector->OnGetPropertyEditorClass = [this](QObject*, QObject*, TRunTimeProperty* AProperty,
                                                  TRunTimePropertyEditorClass& Class) {
        InspectorGetPropertyEditorClass(AProperty, Class);
    };
    FInspector->OnKeyDown = [](QObject*, int&, Qt::KeyboardModifiers) {};
    FInspector->OnKeyUp = [this](QObject*, int& Key, Qt::KeyboardModifiers) {
        if (Key == Qt::Key_Return || Key == Qt::Key_Enter) {
            QMetaObject::invokeMethod(this, [this] { ReturnFocus(); }, Qt::QueuedConnection);
            Key = 0;
        }
    };
    FNotificationDelegate = std::make_unique<TPropertyInspectorResourceItemNotificationDelegate>(this);
    // A click anywhere in the pane ends the Enter-returns-focus arrangement.
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
    installEventFilter(this);
    SetColors();
}

TFramePropertyInspector::~TFramePropertyInspector()
{
    SetResourceItem(nullptr);
    FNotificationDelegate.reset();
}

void TFramePropertyInspector::SetColors()
{
    const QColor color = PaneColor();
    QPalette palette = FInspector->palette();
    palette.setColor(QPalette::Base, color);
    palette.setColor(QPalette::Window, color);
    FInspector->setPalette(palette);
    FInspector->Colors()->SetSelected(GetShadowColor(color, -20));
}

void TFramePropertyInspector::changeEvent(QEvent* Event)
{
    QWidget::changeEvent(Event);
    if (Event->type() == QEvent::PaletteChange && FInspector) SetColors();
}

bool TFramePropertyInspector::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() == QEvent::MouseButtonPress) FrameMouseActivate();
    return QWidget::eventFilter(Watched, Event);
}

void TFramePropertyInspector::InspectorGetPropertyEditorClass(TRunTimeProperty* AProperty,
                                                              TRunTimePropertyEditorClass& Class)
{
    EnsureResourcePropertyEditors();
    Class = FindPropertyEditorClass(AProperty->PropInfo(), AProperty->Instance(), Class);
}

void TFramePropertyInspector::SetResourceItem(TCustomResourceItem* Item)
{
    if (Item == FResourceItem) return;
    RemoveInstance(nullptr);
    TCustomResourceModule* oldModule = FModule;
    TCustomResourceModule* newModule = RequiredModule(Item);
    FResourceItem = Item;
    if (oldModule == newModule) return;
    // Moving from one module straight to another: the old module's rnUnsubscribe must not unbind the
    // item just bound.
    FSwitching = true;
    try {
        FModule = nullptr;
        if (oldModule) oldModule->Unsubscribe(FNotificationDelegate.get());
        FModule = newModule;
        if (newModule) newModule->Subscribe(FNotificationDelegate.get());
    } catch (...) {
        FSwitching = false;
        throw;
    }
    FSwitching = false;
}

void TFramePropertyInspector::AddInstance(QObject* AInstance, bool Exclusive)
{
    ATELIER_ASSERT(FResourceItem);
    if (AInstance || Exclusive) FInspector->AddInstance(AInstance, Exclusive);
}

void TFramePropertyInspector::RemoveInstance(QObject* AInstance)
{
    if (!FResourceItem) return;
    if (AInstance)
        FInspector->RemoveInstance(AInstance);
    else
        FInspector->AddInstance(nullptr, true);
}

void TFramePropertyInspector::Activate()
{
    FOldFocus = QApplication::focusWidget();
    QMetaObject::invokeMethod(this, [this] { FocusInspector(); }, Qt::QueuedConnection);
}

int TFramePropertyInspector::AddRef()
{
    ++FRefCount;
    return -1;
}

int TFramePropertyInspector::Release()
{
    --FRefCount;
    ATELIER_ASSERT(FRefCount >= 0);
    if (FRefCount == 0) SetResourceItem(nullptr);
    return -1;
}

void TFramePropertyInspector::FocusInspector() { FInspector->setFocus(Qt::OtherFocusReason); }

void TFramePropertyInspector::ReturnFocus()
{
    if (!FOldFocus) return;
    FOldFocus->setFocus(Qt::OtherFocusReason);
    FOldFocus = nullptr;
}

void TFramePropertyInspector::FrameMouseActivate() { FOldFocus = nullptr; }

void TFramePropertyInspector::ResourceItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification)
{
    switch (Notification) {
    case rnUnsubscribe:
        if (FSwitching) return;
        // The module drops us (it is going away): nothing left to unsubscribe from.
        FModule = nullptr;
        SetResourceItem(nullptr);
        break;
    case rnChanged:
        if (Item && FResourceItem && (Item == FResourceItem || Item == FResourceItem->Parent())) FInspector->Modified();
        break;
    default: break;
    }
}

void AtelierFrameObjectInspector_Initialize() { AtelierPropertyEditors_Initialize(); }
void AtelierFrameObjectInspector_Finalize() { AtelierPropertyEditors_Finalize(); }
