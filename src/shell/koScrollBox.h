#pragma once

// A scroll area the wheel scrolls by whole lines: the desktop's wheel scroll lines per wheel event,
// whatever its delta, horizontally while Shift is held. Qt scrolls by the delta and only where a bar
// is shown, which makes pages of controls crawl, so the forms use this subclass.

#include <QScrollArea>

#include <functional>

class TScrollBox : public QScrollArea
{
    Q_OBJECT

public:
    using QScrollArea::QScrollArea;

    // Offered the event first; returning true ends its handling.
    std::function<bool(QWheelEvent* event)> OnMouseWheel;

protected:
    void wheelEvent(QWheelEvent* event) override;
};
