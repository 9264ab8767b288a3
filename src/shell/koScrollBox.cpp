#include "shell/koScrollBox.h"

#include <QApplication>
#include <QScrollBar>
#include <QWheelEvent>

void TScrollBox::wheelEvent(QWheelEvent* event)
{
    if (OnMouseWheel && OnMouseWheel(event)) {
        event->accept();
        return;
    }
    const int delta = event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
    QScrollBar* bar = event->modifiers() & Qt::ShiftModifier ? horizontalScrollBar() : verticalScrollBar();
    const QAbstractSlider::SliderAction action =
        delta > 0 ? QAbstractSlider::SliderSingleStepSub : QAbstractSlider::SliderSingleStepAdd;
    for (int line = 0; line < QApplication::wheelScrollLines(); ++line)
        bar->triggerAction(action);
    event->accept();
}
