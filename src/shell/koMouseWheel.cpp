#include "shell/koMouseWheel.h"

#include <QCoreApplication>
#include <QWheelEvent>
#include <QWidget>

bool RouteMouseWheel(QWidget* root, Qt::KeyboardModifiers shift, int wheelDelta, const QPoint& mousePos)
{
    if (!root)
        return false;
    QWidget* control = root->childAt(root->mapFromGlobal(mousePos));
    while (control && !control->isEnabled())
        control = control->parentWidget();
    for (; control && control != root && !control->hasFocus(); control = control->parentWidget()) {
        const QPointF local = control->mapFromGlobal(QPointF(mousePos));
        QWheelEvent event(local, QPointF(mousePos), QPoint(), QPoint(0, wheelDelta), Qt::NoButton, shift,
                          Qt::NoScrollPhase, false);
        // A synthesized wheel event is not passed to the parents by Qt, so the walk does it.
        QCoreApplication::sendEvent(control, &event);
        if (event.isAccepted())
            return true;
    }
    return false;
}
