#include "shell/koSplitter.h"

#include <QEvent>
#include <QPainter>

TSplitterHandle::TSplitterHandle(Qt::Orientation orientation, QSplitter* parent)
    : QSplitterHandle(orientation, parent)
{
}

int TSplitterHandle::Thickness() const
{
    // A horizontal splitter lays its panes out left and right of a vertical handle.
    return orientation() == Qt::Horizontal ? width() : height();
}

QList<QPoint> TSplitterHandle::BumpPositions() const
{
    const int b = BumpSize();
    const int step = b + b / 2;
    const int cx = width() / 2;
    const int cy = height() / 2;
    QList<QPoint> positions;
    for (int i = 0; i < 5; ++i) {
        if (orientation() == Qt::Horizontal)
            positions.append(QPoint(cx - b / 2, cy - 4 * b + i * step));
        else
            positions.append(QPoint(cx - 4 * b + i * step, cy - b / 2));
    }
    return positions;
}

QPixmap TSplitterHandle::MakeBump() const
{
    const QColor highlight = palette().color(QPalette::Light);
    const QColor shadow = palette().color(QPalette::Dark);
    if (Thickness() < 4) {
        QImage bump(2, 2, QImage::Format_ARGB32);
        bump.fill(highlight);
        bump.setPixelColor(0, 0, shadow);
        return QPixmap::fromImage(bump);
    }
    QImage bump(3, 3, QImage::Format_ARGB32);
    bump.fill(Qt::transparent);
    for (int y = 1; y < 3; ++y)
        for (int x = 1; x < 3; ++x)
            bump.setPixelColor(x, y, highlight);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            bump.setPixelColor(x, y, shadow);
    return QPixmap::fromImage(bump);
}

void TSplitterHandle::paintEvent(QPaintEvent*)
{
    if (FBumpBrush.isNull())
        FBumpBrush = MakeBump();
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(backgroundRole()));
    for (const QPoint& position : BumpPositions())
        painter.drawPixmap(position, FBumpBrush);
}

void TSplitterHandle::resizeEvent(QResizeEvent* event)
{
    FBumpBrush = QPixmap();
    QSplitterHandle::resizeEvent(event);
}

void TSplitterHandle::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        FBumpBrush = QPixmap();
    QSplitterHandle::changeEvent(event);
}

QSplitterHandle* TSplitter::createHandle() { return new TSplitterHandle(orientation(), this); }
