#include "shell/koTreeView.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>

void TTreeView::contextMenuEvent(QContextMenuEvent* event)
{
    ++FContextMenuCount;
    struct Leave
    {
        int& Count;
        ~Leave() { --Count; }
    } leave{FContextMenuCount};
    QTreeWidget::contextMenuEvent(event);
}

void TTreeView::mousePressEvent(QMouseEvent* event)
{
    if (!FRightClickSelect) {
        QTreeWidget::mousePressEvent(event);
        return;
    }
    if (FContextMenuCount > 0 && (event->button() == Qt::RightButton || event->button() == Qt::LeftButton))
        return;
    if (event->button() != Qt::RightButton) {
        QTreeWidget::mousePressEvent(event);
        return;
    }
    QTreeWidgetItem* hit = itemAt(event->position().toPoint());
    if (hit && hit != currentItem()) {
        clearSelection();
        setCurrentItem(hit);
        hit->setSelected(true);
    }
    // The view's own right-button tracking (rubber band, drag start) is not wanted here.
    QAbstractScrollArea::mousePressEvent(event);
}

void TTreeView::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const
{
    if (!OnAdvancedCustomDrawItem) {
        QTreeWidget::drawRow(painter, option, index);
        return;
    }
    QTreeWidgetItem* node = itemFromIndex(index);
    if (!node || option.rect.isEmpty())
        return;
    bool paintImages = true;
    painter->save();
    painter->setFont(font());
    painter->setBrush(palette().brush(QPalette::Base));
    const bool paintDefault = OnAdvancedCustomDrawItem(node, option.state, *painter, paintImages);
    painter->restore();
    if (!paintDefault)
        return;
    QStyleOptionViewItem rowOption(option);
    if (!paintImages)
        rowOption.decorationSize = QSize(0, 0);
    QTreeWidget::drawRow(painter, rowOption, index);
}
