// The property inspector pane: an object inspector bound to one resource item, subscribed to that
// item's module, fed with the item or the elements an editor selects, choosing editors through the
// resource property editor registry.
#pragma once

#include "model/koResourcesItem.h"
#include "model/koResourcesModule.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QLabel;
class TCustomResourceModule;
class TRunTimeObjectInspector;
class TRunTimeProperty;
class TFramePropertyInspector;

// Forwards the module's notifications to the frame; the module holds it, the frame owns it.
class TPropertyInspectorResourceItemNotificationDelegate : public IResourceItemNotification {
public:
    explicit TPropertyInspectorResourceItemNotificationDelegate(TFramePropertyInspector* AFramePropertyInspector)
        : FFramePropertyInspector(AFramePropertyInspector)
    {
    }
    void ResourceItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification) override;

private:
    TFramePropertyInspector* FFramePropertyInspector;
};

class TFramePropertyInspector : public QWidget, public IAtelierPropertyInspector {
    Q_OBJECT

public:
    explicit TFramePropertyInspector(QWidget* AOwner = nullptr);
    ~TFramePropertyInspector() override;

    // IAtelierPropertyInspector
    void SetResourceItem(TCustomResourceItem* Item) override;
    // Requires a bound item.
    void AddInstance(QObject* AInstance, bool Exclusive) override;
    void RemoveInstance(QObject* AInstance) override;
    void Activate() override;

    // Counted references of holders; dropping the last one unbinds the pane (the frame itself lives on).
    int AddRef();
    int Release();

    TCustomResourceItem* ResourceItem() const { return FResourceItem; }
    TRunTimeObjectInspector* Inspector() const { return FInspector; }
    // The module the pane is subscribed to; nullptr when unbound.
    TCustomResourceModule* SubscribedModule() const { return FModule; }
    // The header with its "Properties" caption; a host with its own caption hides it.
    QWidget* HeaderPanel() const { return FPanel2; }
    QWidget* FocusReturn() const { return FOldFocus; }

    void ResourceItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification);

protected:
    void changeEvent(QEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void SetColors();
    void InspectorGetPropertyEditorClass(TRunTimeProperty* AProperty, const class TRunTimePropertyEditorClassInfo*& Class);
    void FocusInspector();
    void ReturnFocus();
    void FrameMouseActivate();

    QWidget* FPanel2 = nullptr;
    QLabel* FLabel1 = nullptr;
    QWidget* FPanelPropertyInspector = nullptr;
    TRunTimeObjectInspector* FInspector = nullptr;
    QPointer<TCustomResourceItem> FResourceItem;
    QPointer<TCustomResourceModule> FModule;
    QPointer<QWidget> FOldFocus;
    int FRefCount = 0;
    // Set while the pane itself moves its subscription: the old module's rnUnsubscribe is ours.
    bool FSwitching = false;
    std::unique_ptr<TPropertyInspectorResourceItemNotificationDelegate> FNotificationDelegate;
};

void AtelierFrameObjectInspector_Initialize();
void AtelierFrameObjectInspector_Finalize();
