// The "Collection Editor": a tool window that lists the items of a collection property, adds, deletes
// and reorders them (also by dragging an entry onto another) and shows the chosen item in the object
// inspector.
#pragma once

#include "designer/koDesignWindow.h"

#include <QPointer>

class QAction;
class QListWidget;
class QToolBar;
class QToolButton;
class IRunTimeObjectInspector;
class TCustomResourceItemItem;
class TCustomResourceItemItems;
class TRunTimeProperty;

class TRunTimeCollectionEditor : public TRunTimeDesignWindow {
    Q_OBJECT

public:
    explicit TRunTimeCollectionEditor(QWidget* AOwner = nullptr);
    ~TRunTimeCollectionEditor() override;

    IRunTimeObjectInspector* ObjectInspector() const { return FObjectInspector; }
    // Write it first: it also takes the inspector's form designer.
    void SetObjectInspector(IRunTimeObjectInspector* Value);
    // The full dotted name of the edited property.
    const QString& PropertyName() const { return FPropertyName; }
    TCustomResourceItemItems* Collection() const { return FCollection; }
    // Edits the collection of a collection property (other properties are ignored).
    void SetProp(TRunTimeProperty* Value);

    // The open collection editor of AInstance's property PropertyName, nullptr when none.
    static TRunTimeCollectionEditor* Find(QObject* AInstance, const QString& PropertyName);

    void RefreshWindow() override;
    // Rebuilds the list: "index - display name" per item.
    void UpdateList();

    QToolBar* ToolbarButtons;
    QListWidget* ListBoxItems;
    QAction* ActionAddItem;
    QAction* ActionDeleteItem;
    QAction* ActionMoveUp;
    QAction* ActionMoveDown;

protected:
    void DrawDragImage(QImage& Bitmap, QListWidget* ListBox) override;
    void ListDragOver(QListWidget* ListBox, const QPoint& Point, bool& Accept) override;
    void ListDragDrop(QListWidget* ListBox, const QPoint& Point) override;
    void ListBoxStartDrag(QListWidget* ListBox, TRunTimeDesignerDragObject*& DragObject) override;
    void Activated() override;
    void closeEvent(QCloseEvent* Event) override;

private:
    void FormCreate();
    void ListBoxItemsClick();
    void ActionAddItemExecute();
    void ActionDeleteItemExecute();
    void ActionMoveUpExecute();
    void ActionMoveDownExecute();
    void UpdateActions();
    void InstanceDestroyed();
    TCustomResourceItemItem* EntryItem(int Index) const;
    void ShowInInspector(QObject* Object);

    IRunTimeObjectInspector* FObjectInspector = nullptr;
    QString FPropertyName;
    TCustomResourceItemItems* FCollection = nullptr;
    QMetaObject::Connection FInstanceDestroyed;
};

// The display name of a collection item: its "DisplayName" property, else its class name.
QString CollectionItemDisplayName(const QObject* Item);
