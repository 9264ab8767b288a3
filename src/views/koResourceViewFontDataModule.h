// The tool bar of the font preview: a typeface drop-down, a size edit with smaller and larger buttons,
// and a sample drop-down. A container of controls only: the view wires them up.
#pragma once

#include <QObject>
#include <QWidget>

class QAction;
class QLineEdit;
class QMenu;
class QToolBar;
class QToolButton;
class QWidgetAction;

// An edit between two buttons ("numbers only" edits of sizes).
class TButtonedEdit : public QWidget {
    Q_OBJECT

public:
    explicit TButtonedEdit(QWidget* Parent = nullptr);
    QString Text() const;
    void SetText(const QString& Value);

    QLineEdit* Edit;
    QToolButton* LeftButton;
    QToolButton* RightButton;

Q_SIGNALS:
    void Change();
    void LeftButtonClick();
    void RightButtonClick();
};

class TDataModuleViewFont : public QObject {
    Q_OBJECT

public:
    // The tool bar's widgets are made as children of Owner (the view places the bar).
    explicit TDataModuleViewFont(QWidget* Owner);

    QToolBar* ActionToolBarViewFont;
    QAction* ActionTypeface;
    QToolButton* ButtonTypeface;
    QMenu* MenuTypeface;
    QWidgetAction* ActionSize;
    TButtonedEdit* ButtonedEditSize;
    QAction* ActionSample;
    QToolButton* ButtonSample;
    QMenu* MenuSample;

private:
    // A drop-down button of the bar: "&<Name>" opening its menu.
    void AddDropDown(const QString& Name, QAction*& Action, QToolButton*& Button, QMenu*& Menu);
    // Every action stays enabled, also without a handler.
    void FormCreate();
};
