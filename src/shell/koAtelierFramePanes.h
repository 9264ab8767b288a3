// The panes of the workspace.
#pragma once

#include <QColor>
#include <QLabel>
#include <QWidget>

class QMenu;
class QToolButton;
class QVBoxLayout;

// A pane of the workspace: a caption (shown in its header, later in its dock caption) over its content.
class TWorkspacePane : public QWidget {
    Q_OBJECT

public:
    TWorkspacePane(const QString& Name, const QString& Caption, QWidget* Parent);
    QString Text() const { return FText; }
    void SetText(const QString& Value);
    QWidget* Header() const { return FHeader; }
    // Docked panes show their caption on the dock form instead.
    void SetHeaderVisible(bool Value) { FHeader->setVisible(Value); }
    QVBoxLayout* Content() const { return FContent; }
    // The pane's "Options" menu, opened from its caption.
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* Value);

Q_SIGNALS:
    void TextChanged(const QString& Text);

private:
    QString FText;
    QWidget* FHeader;
    QLabel* FHeaderLabel;
    QToolButton* FOptionsButton;
    QVBoxLayout* FContent;
    QMenu* FPopupMenu = nullptr;
};

// The background of the panes: the system window colour.
QColor PaneColor();
