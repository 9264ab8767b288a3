#pragma once

// A report-style list whose every cell (caption or sub-item) can be edited in place: an editor control
// is laid over the cell, its text comes back through OnEndEdit when the edit ends, and editors are
// pluggable (a text edit and a combo box are provided). The list also answers column hit tests, shows
// sort arrows in its header and reports a second click on a selected row as a request to edit. Qt
// cannot change every QTreeWidget, so the forms use this subclass. Column 0 is the caption; column
// c > 0 is sub-item c - 1. Positions are in the viewport's coordinates.

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QTreeWidget>

#include <functional>
#include <memory>

class IListViewEditor;

class IListViewEditorHost {
public:
    virtual ~IListViewEditorHost() = default;
    virtual void EditorEndEdit(IListViewEditor* Editor, bool Accept) = 0;
    // Offers an editor's key to the list's own key-down handling first; the editor acts on the key
    // only when Key is still non-zero afterwards.
    virtual void EditorKeyDown(IListViewEditor* Editor, int& Key, Qt::KeyboardModifiers Shift) = 0;
};

class IListViewEditor {
public:
    virtual ~IListViewEditor() = default;
    virtual void SetHost(IListViewEditorHost* Host) = 0;
    virtual void SetText(const QString& Value) = 0;
    virtual QString GetText() = 0;
    // Places the caret at the character under X (pixels from the cell's left edge).
    virtual void SetCaret(int X) = 0;
    // Lays the editor over the cell rectangle so that its text stands where the cell's text stands.
    virtual void SetBounds(const QRect& Rect) = 0;
    virtual void SetActive(bool Value) = 0;
    // Reports the end to the host, when there is one.
    virtual void EndEdit(bool Accept) = 0;
    virtual QWidget* GetControl() = 0;
};
using IListViewEditorPtr = std::shared_ptr<IListViewEditor>;

enum TListViewSortIndicator { siNone, siSortDown, siSortUp };

class TListView : public QTreeWidget, public IListViewEditorHost
{
    Q_OBJECT

public:
    using TListViewBeginEditEvent =
        std::function<void(QObject* Sender, QTreeWidgetItem* Item, int Column, bool& Accept)>;
    using TListViewGetEditorEvent =
        std::function<void(QTreeWidgetItem* Item, int Column, IListViewEditorPtr& Editor)>;
    using TListViewEndEditEvent = std::function<void(const QString& Value, bool Accept)>;
    using TListViewEditClickItemEvent = std::function<void(QTreeWidgetItem* Item, int Column, int X, int Y)>;
    using TKeyEvent = std::function<void(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift)>;

    explicit TListView(QWidget* Parent = nullptr);
    ~TListView() override;

    const IListViewEditorPtr& Editor() const { return FEditor; }

    bool EditItem(QTreeWidgetItem* Item);
    bool EditAt(QTreeWidgetItem* Item, int X);
    bool EditColumn(QTreeWidgetItem* Item, int Column);
    void EndEdit(bool Accept);
    int GetColumnAt(const QPoint& Pt);
    bool GetColumnRect(QTreeWidgetItem* Item, int Column, QRect& Rect);
    bool GetIndexesAt(const QPoint& Pt, int& Row, int& Column);
    void SetColumnSortIndicator(int Column, TListViewSortIndicator Indicator);

    void EditorEndEdit(IListViewEditor* Editor, bool Accept) override;
    void EditorKeyDown(IListViewEditor* Editor, int& Key, Qt::KeyboardModifiers Shift) override;

    TListViewBeginEditEvent OnBeginEdit;
    TListViewGetEditorEvent OnGetEditor;
    TListViewEndEditEvent OnEndEdit;
    TListViewEditClickItemEvent OnEditClick;
    // The list's key-down event; it also receives the keys of a running editor. Setting Key to 0
    // takes the key.
    TKeyEvent OnKeyDown;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect ItemBounds(QTreeWidgetItem* Item);
    // Runs the list's own key-down handling; returns the key left over.
    int KeyDown(int Key, Qt::KeyboardModifiers Shift);
    void ForgetEditor();

    IListViewEditorPtr FEditor;
    int FClickSelectRow = -1;
    QPoint FClickPos;
};

// The default editor: a line edit (which can carry buttons as actions), created hidden.
class TListViewEdit : public QLineEdit, public IListViewEditor
{
    Q_OBJECT

public:
    explicit TListViewEdit(QWidget* Owner = nullptr);
    // A counted editor whose control frees itself after the current event once the last reference goes.
    static std::shared_ptr<TListViewEdit> Create(QWidget* Owner);

    // While set, the edit keeps running when its window loses the focus.
    bool LockEditState() const { return FLockEditState; }
    void SetLockEditState(bool Value) { FLockEditState = Value; }

    void SetHost(IListViewEditorHost* Host) override { FHost = Host; }
    void SetText(const QString& Value) override;
    QString GetText() override { return text(); }
    void SetCaret(int X) override;
    void SetBounds(const QRect& Rect) override;
    void SetActive(bool Value) override;
    void EndEdit(bool Accept) override;
    QWidget* GetControl() override { return this; }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    IListViewEditorHost* FHost = nullptr;
    bool FLockEditState = false;
};

// A combo box editor, created hidden; its list is at least 180 pixels wide.
class TListViewCombo : public QComboBox, public IListViewEditor
{
    Q_OBJECT

public:
    explicit TListViewCombo(QWidget* Owner = nullptr);
    static std::shared_ptr<TListViewCombo> Create(QWidget* Owner);

    void SetHost(IListViewEditorHost* Host) override { FHost = Host; }
    void SetText(const QString& Value) override;
    QString GetText() override { return currentText(); }
    void SetCaret(int) override {}
    void SetBounds(const QRect& Rect) override;
    void SetActive(bool Value) override;
    void EndEdit(bool Accept) override;
    QWidget* GetControl() override { return this; }

    void showPopup() override;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    IListViewEditorHost* FHost = nullptr;
};
