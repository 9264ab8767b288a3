// The base of the designer's tool windows (the collection editor): stays on top of its owner, is
// refreshed after every change the object inspector or the form designer commits, and lets entries of a
// list in the window be dragged onto each other.
#pragma once

#include <QImage>
#include <QPoint>
#include <QPointer>
#include <QWidget>

#include <memory>

class QLabel;
class QListWidget;
class QListWidgetItem;
class TRunTimeCustomFormDesigner;

// What is being dragged in a design window's list, with the picture shown under the pointer.
class TRunTimeDesignerDragObject {
public:
    const QImage* DragImageList() const { return FDragImageList.get(); }
    QObject* DragInstance() const { return FObject; }

private:
    friend class TRunTimeDesignWindow;
    std::unique_ptr<QImage> FDragImageList;
    QPointer<QObject> FObject;
};

class TRunTimeDesignWindow : public QWidget {
    Q_OBJECT

public:
    explicit TRunTimeDesignWindow(QWidget* AOwner = nullptr);
    ~TRunTimeDesignWindow() override;

    TRunTimeCustomFormDesigner* Designer() const { return FDesigner; }
    void SetDesigner(TRunTimeCustomFormDesigner* Value) { FDesigner = Value; }
    QObject* Instance() const { return FInstance; }
    virtual void SetInstance(QObject* Value);

    // Called after every committed change of the inspector or the designer: forgets the dragged object.
    virtual void RefreshWindow();

    TRunTimeDesignerDragObject* DragObject() const { return FDragObject.get(); }
    // While a list entry is dragged: the widget that shows the drag image under the pointer.
    QWidget* DragImageWidget() const;

    // Every open design window (the windows the inspector refreshes after a change).
    static QList<TRunTimeDesignWindow*> DesignWindows();

protected:
    // Paints the picture shown while an entry of ListBox is dragged; nothing in the base.
    virtual void DrawDragImage(QImage& Bitmap, QListWidget* ListBox);
    // Accept: Item is set, something is dragged, and Item is not the dragged object.
    virtual void CanDropItem(QObject* Item, bool& Accept);

    // The list drag: press, move (starts the drag once the pointer moved the system drag distance)
    // and release; ListStartDrag fills the drag object for Item (nothing without one).
    void ListMouseDown(int X, int Y);
    void ListMouseMove(QListWidget* ListBox, int X, int Y);
    void ListMouseUp();
    void ListStartDrag(QListWidget* ListBox, QObject* Item, TRunTimeDesignerDragObject*& DragObject);
    // Where the dragged entry is over ListBox (viewport coordinates): may it drop there, and the drop.
    virtual void ListDragOver(QListWidget* ListBox, const QPoint& Point, bool& Accept);
    virtual void ListDragDrop(QListWidget* ListBox, const QPoint& Point);
    // A drag of ListBox begins (the list's start-drag handler): a window that drags entries calls
    // ListStartDrag; the base does not, and no drag happens.
    virtual void ListBoxStartDrag(QListWidget* ListBox, TRunTimeDesignerDragObject*& DragObject);
    // Routes the mouse of a list box of the window through the list drag.
    void WatchListBox(QListWidget* ListBox);

    void changeEvent(QEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    // The window became active.
    virtual void Activated();

    TRunTimeCustomFormDesigner* FDesigner = nullptr;
    QPointer<QObject> FInstance;
    std::unique_ptr<TRunTimeDesignerDragObject> FDragObject;
    QPoint FDragStartPoint{-1, -1};

private:
    void EndListDrag(QListWidget* ListBox, const QPoint* DropPoint);

    QListWidget* FDraggingList = nullptr;
    QLabel* FDragImage = nullptr;
};
