#include "koDesignWindow.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPixmap>

TRunTimeDesignWindow::TRunTimeDesignWindow(QWidget* AOwner)
    : QWidget(AOwner, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      FDragObject(std::make_unique<TRunTimeDesignerDragObject>())
{
    setWindowTitle(QStringLiteral("DesignWindow"));
    resize(179, 94);
}

TRunTimeDesignWindow::~TRunTimeDesignWindow() = default;

void TRunTimeDesignWindow::SetInstance(QObject* Value)
{
    FInstance = Value;
}

void TRunTimeDesignWindow::RefreshWindow()
{
    FDragObject->FObject = nullptr;
}

QWidget* TRunTimeDesignWindow::DragImageWidget() const
{
    return FDragImage;
}

QList<TRunTimeDesignWindow*> TRunTimeDesignWindow::DesignWindows()
{
    QList<TRunTimeDesignWindow*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<TRunTimeDesignWindow*>(widget))
            windows.append(window);
    return windows;
}

void TRunTimeDesignWindow::DrawDragImage(QImage&, QListWidget*) {}

void TRunTimeDesignWindow::CanDropItem(QObject* Item, bool& Accept)
{
    Accept = Item && FDragObject && Item != FDragObject->FObject;
}

void TRunTimeDesignWindow::ListMouseDown(int X, int Y)
{
    FDragStartPoint = QPoint(X, Y);
}

void TRunTimeDesignWindow::ListMouseUp()
{
    FDragStartPoint = QPoint(-1, -1);
}

void TRunTimeDesignWindow::ListMouseMove(QListWidget* ListBox, int X, int Y)
{
    if (!ListBox || FDragStartPoint.x() < 0 || FDragStartPoint.y() < 0 || FDraggingList)
        return;
    const int distance = QApplication::startDragDistance();
    if (std::abs(X - FDragStartPoint.x()) < distance && std::abs(Y - FDragStartPoint.y()) < distance)
        return;
    TRunTimeDesignerDragObject* dragObject = nullptr;
    ListBoxStartDrag(ListBox, dragObject);
    if (!dragObject)
        return;
    FDraggingList = ListBox;
    if (dragObject->FDragImageList && !dragObject->FDragImageList->isNull()) {
        FDragImage = new QLabel(nullptr, Qt::ToolTip | Qt::FramelessWindowHint);
        FDragImage->setAttribute(Qt::WA_TransparentForMouseEvents);
        FDragImage->setPixmap(QPixmap::fromImage(*dragObject->FDragImageList));
        FDragImage->resize(dragObject->FDragImageList->size());
        FDragImage->move(ListBox->viewport()->mapToGlobal(QPoint(X, Y)) + QPoint(8, 8));
        FDragImage->show();
    }
    ListBox->viewport()->setCursor(Qt::DragMoveCursor);
}

void TRunTimeDesignWindow::ListBoxStartDrag(QListWidget*, TRunTimeDesignerDragObject*&) {}

void TRunTimeDesignWindow::ListStartDrag(QListWidget* ListBox, QObject* Item, TRunTimeDesignerDragObject*& DragObject)
{
    if (!Item)
        return;
    FDragObject->FObject = Item;
    QImage bitmap;
    DrawDragImage(bitmap, ListBox);
    FDragObject->FDragImageList = std::make_unique<QImage>(bitmap);
    DragObject = FDragObject.get();
}

void TRunTimeDesignWindow::ListDragOver(QListWidget*, const QPoint&, bool& Accept)
{
    Accept = false;
}

void TRunTimeDesignWindow::ListDragDrop(QListWidget*, const QPoint&) {}

void TRunTimeDesignWindow::EndListDrag(QListWidget* ListBox, const QPoint* DropPoint)
{
    FDraggingList = nullptr;
    ListBox->viewport()->unsetCursor();
    delete FDragImage;
    FDragImage = nullptr;
    if (DropPoint) {
        bool accept = false;
        ListDragOver(ListBox, *DropPoint, accept);
        if (accept)
            ListDragDrop(ListBox, *DropPoint);
    }
    FDragObject->FDragImageList.reset();
}

void TRunTimeDesignWindow::WatchListBox(QListWidget* ListBox)
{
    ListBox->viewport()->installEventFilter(this);
}

bool TRunTimeDesignWindow::eventFilter(QObject* Watched, QEvent* Event)
{
    auto* viewport = qobject_cast<QWidget*>(Watched);
    auto* list = viewport ? qobject_cast<QListWidget*>(viewport->parentWidget()) : nullptr;
    if (!list)
        return QWidget::eventFilter(Watched, Event);
    switch (Event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(Event);
        if (mouse->button() == Qt::LeftButton)
            ListMouseDown(mouse->position().toPoint().x(), mouse->position().toPoint().y());
        break;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(Event);
        const QPoint at = mouse->position().toPoint();
        if (FDraggingList == list) {
            bool accept = false;
            ListDragOver(list, at, accept);
            list->viewport()->setCursor(accept ? Qt::DragMoveCursor : Qt::ForbiddenCursor);
            if (FDragImage)
                FDragImage->move(list->viewport()->mapToGlobal(at) + QPoint(8, 8));
            return true;
        }
        if (mouse->buttons() & Qt::LeftButton) {
            // The entry pressed stays selected while the pointer moves; it may become a drag.
            ListMouseMove(list, at.x(), at.y());
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(Event);
        if (mouse->button() != Qt::LeftButton)
            break;
        ListMouseUp();
        if (FDraggingList == list) {
            const QPoint at = mouse->position().toPoint();
            EndListDrag(list, &at);
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(Watched, Event);
}

void TRunTimeDesignWindow::changeEvent(QEvent* Event)
{
    QWidget::changeEvent(Event);
    if (Event->type() == QEvent::ActivationChange && isActiveWindow())
        Activated();
}

void TRunTimeDesignWindow::Activated()
{
    // Keeping a form designer's selection in step with the instance waits for the form designer.
}
