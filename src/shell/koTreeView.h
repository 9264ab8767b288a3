#pragma once

// The tree of the workspace and the forms: a right press can select the node under it before the
// context menu opens, and items can be drawn by a hook. Qt cannot change every QTreeWidget, so the
// forms use this subclass.

#include <QStyle>
#include <QTreeWidget>

#include <functional>

class TTreeView : public QTreeWidget
{
    Q_OBJECT

public:
    using QTreeWidget::QTreeWidget;

    bool RightClickSelect() const { return FRightClickSelect; }
    void SetRightClickSelect(bool value) { FRightClickSelect = value; }
    // The depth of context-menu events being handled.
    int ContextMenuCount() const { return FContextMenuCount; }

    // Asked before an item is painted with the painter already set up for the row. Returning false
    // skips the default drawing; clearing paintImages drops the item's icons.
    std::function<bool(QTreeWidgetItem* node, QStyle::State state, QPainter& canvas, bool& paintImages)>
        OnAdvancedCustomDrawItem;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;

private:
    bool FRightClickSelect = false;
    int FContextMenuCount = 0;
};
