#include "koListView.h"

#include "platform/Exceptions.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QStyleOptionViewItem>

namespace {

// The drop-down list of a narrow combo is at least this wide.
const int MinDropDownWidth = 180;

// Keys an editor wants for itself rather than for the window's shortcuts or the focus chain.
bool IsEditorKey(int key)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return true;
    default:
        return false;
    }
}

// Claims Enter, Escape and Tab from the window's shortcuts and the focus chain (Tab would move the
// focus before the key handling sees it); keyPress is the control's own key handling.
template <typename KeyPress>
bool ClaimEditorKey(QEvent* event, KeyPress keyPress)
{
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress) return false;
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    if (!IsEditorKey(keyEvent->key())) return false;
    if (event->type() == QEvent::KeyPress)
        keyPress(keyEvent);
    else
        event->accept();
    return true;
}

// Offers an editor's key to its host first; true when the control should still act on it (never on
// Tab, which a control would take for a focus move).
bool OfferEditorKey(IListViewEditorHost* host, IListViewEditor* editor, QKeyEvent* event)
{
    int key = event->key();
    GuardedCall([&] {
        if (host) host->EditorKeyDown(editor, key, event->modifiers());
    });
    return key != 0 && key != Qt::Key_Tab && key != Qt::Key_Backtab;
}

void ActivateEditor(QWidget* control, bool active)
{
    if (active) {
        control->show();
        control->raise();
        control->setFocus(Qt::OtherFocusReason);
    } else {
        control->hide();
    }
}

// An editor's control goes with deleteLater once the last reference is released, so it outlives the
// event that released it; the guard covers a control its parent freed first.
template <typename T>
std::shared_ptr<T> CountedEditor(T* editor)
{
    return std::shared_ptr<T>(editor, [guard = QPointer<QWidget>(editor)](T*) {
        if (guard) guard->deleteLater();
    });
}

} // namespace

// TListView

TListView::TListView(QWidget* Parent) : QTreeWidget(Parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setSortIndicatorShown(false);
    connect(this, &QTreeWidget::clicked, this, [this](const QModelIndex& index) {
        GuardedCall([&] {
            const int row = index.parent().isValid() ? -1 : index.row();
            if (row < 0) return;
            if (FClickSelectRow == row && OnEditClick)
                OnEditClick(topLevelItem(row), index.column(), FClickPos.x(), FClickPos.y());
            FClickSelectRow = row;
        });
    });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                if (!selected.isEmpty()) FClickSelectRow = -1;
            });
}

TListView::~TListView() { ForgetEditor(); }

void TListView::ForgetEditor()
{
    if (!FEditor) return;
    const IListViewEditorPtr editor = std::move(FEditor);
    FEditor.reset();
    // A forgotten editor no longer reaches this list, which may go before it does.
    editor->SetHost(nullptr);
}

QRect TListView::ItemBounds(QTreeWidgetItem* Item)
{
    QRect bounds;
    for (int c = 0; c < columnCount(); ++c)
        if (!isColumnHidden(c)) bounds = bounds.united(visualRect(indexFromItem(Item, c)));
    return bounds;
}

bool TListView::EditItem(QTreeWidgetItem* Item) { return EditAt(Item, 0); }

bool TListView::EditColumn(QTreeWidgetItem* Item, int Column)
{
    QRect rect;
    if (!GetColumnRect(Item, Column, rect)) return false;
    return EditAt(Item, rect.right());
}

bool TListView::EditAt(QTreeWidgetItem* Item, int X)
{
    if (FEditor) {
        const IListViewEditorPtr old = FEditor;
        ForgetEditor();
        old->SetActive(false);
    }
    if (!Item) return false;
    const QRect bounds = ItemBounds(Item);
    if (bounds.isEmpty()) return false;
    X = std::clamp(X, bounds.left(), bounds.right());

    int column = GetColumnAt(QPoint(X, bounds.center().y()));
    if (column < 0) column = 0;
    QRect rect;
    if (!GetColumnRect(Item, column, rect)) return false;

    bool accept = true;
    if (OnBeginEdit) OnBeginEdit(this, Item, column, accept);
    if (!accept) return false;

    IListViewEditorPtr editor;
    if (OnGetEditor) OnGetEditor(Item, column, editor);
    if (!editor) editor = TListViewEdit::Create(viewport());
    editor->GetControl()->setParent(viewport());
    editor->SetText(Item->text(column));

    // Where the view draws the cell's text inside its label rectangle.
    rect.setLeft(rect.left() + style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
    editor->SetBounds(rect);
    editor->SetCaret(X - rect.left());
    FEditor = editor;
    editor->SetActive(true);
    editor->SetHost(this);
    return true;
}

void TListView::EndEdit(bool Accept)
{
    if (FEditor) FEditor->EndEdit(Accept);
    ForgetEditor();
}

void TListView::EditorEndEdit(IListViewEditor* Editor, bool Accept)
{
    if (!Editor || Editor != FEditor.get()) return;
    const IListViewEditorPtr editor = FEditor; // alive until the end of this call
    ForgetEditor();
    const QString text = editor->GetText();
    if (OnEndEdit) OnEndEdit(text, Accept);
    editor->SetActive(false);
    if (isVisible() && isEnabled() && focusPolicy() != Qt::NoFocus) setFocus(Qt::OtherFocusReason);
}

int TListView::KeyDown(int Key, Qt::KeyboardModifiers Shift)
{
    if (OnKeyDown) OnKeyDown(this, Key, Shift);
    return Key;
}

void TListView::EditorKeyDown(IListViewEditor* Editor, int& Key, Qt::KeyboardModifiers Shift)
{
    if (Editor) Key = KeyDown(Key, Shift);
}

void TListView::keyPressEvent(QKeyEvent* event)
{
    int key = 0;
    GuardedCall([&] { key = KeyDown(event->key(), event->modifiers()); });
    if (key == 0) {
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

int TListView::GetColumnAt(const QPoint& Pt)
{
    const QModelIndex index = indexAt(Pt);
    if (index.isValid()) return index.column();
    // Beside the last column but on a row: that row's caption.
    return indexAt(QPoint(0, Pt.y())).isValid() ? 0 : -1;
}

bool TListView::GetColumnRect(QTreeWidgetItem* Item, int Column, QRect& Rect)
{
    if (!Item || Column < 0 || Column >= columnCount() || isColumnHidden(Column)) return false;
    const QModelIndex index = indexFromItem(Item, Column);
    const QRect cell = visualRect(index);
    if (!index.isValid() || cell.isEmpty()) return false;
    // The label: the cell without its picture.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = cell;
    option.index = index;
    option.text = Item->text(Column);
    option.features |= QStyleOptionViewItem::HasDisplay;
    option.icon = Item->icon(Column);
    if (!option.icon.isNull()) {
        option.features |= QStyleOptionViewItem::HasDecoration;
        if (!option.decorationSize.isValid() || option.decorationSize.isEmpty())
            option.decorationSize = iconSize();
    }
    Rect = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
    return Rect.isValid();
}

bool TListView::GetIndexesAt(const QPoint& Pt, int& Row, int& Column)
{
    const QModelIndex index = indexAt(Pt);
    if (!index.isValid() || index.parent().isValid()) return false;
    Row = index.row();
    Column = index.column();
    return true;
}

void TListView::SetColumnSortIndicator(int Column, TListViewSortIndicator Indicator)
{
    QHeaderView* view = header();
    if (Indicator == siNone) {
        if (view->sortIndicatorSection() == Column) view->setSortIndicator(-1, Qt::AscendingOrder);
        return;
    }
    view->setSortIndicatorShown(true);
    view->setSortIndicator(Column, Indicator == siSortUp ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void TListView::mouseReleaseEvent(QMouseEvent* event)
{
    FClickPos = event->position().toPoint();
    QTreeWidget::mouseReleaseEvent(event);
}

// Scrolling, the wheel and resizing move the cells away from a running editor: it ends, accepted.

void TListView::scrollContentsBy(int dx, int dy)
{
    GuardedCall([&] { EndEdit(true); });
    QTreeWidget::scrollContentsBy(dx, dy);
}

void TListView::wheelEvent(QWheelEvent* event)
{
    GuardedCall([&] { EndEdit(true); });
    QTreeWidget::wheelEvent(event);
}

void TListView::resizeEvent(QResizeEvent* event)
{
    GuardedCall([&] { EndEdit(true); });
    QTreeWidget::resizeEvent(event);
}

// TListViewEdit

TListViewEdit::TListViewEdit(QWidget* Owner) : QLineEdit(Owner) { hide(); }

std::shared_ptr<TListViewEdit> TListViewEdit::Create(QWidget* Owner)
{
    return CountedEditor(new TListViewEdit(Owner));
}

void TListViewEdit::SetText(const QString& Value)
{
    setText(Value);
    deselect();
}

namespace {

// Where a line edit draws its text, relative to its own origin.
QRect FormattingRect(QLineEdit& edit)
{
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.rect = edit.rect();
    option.lineWidth = edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit) : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    option.features = QStyleOptionFrame::None;
    // The line edit keeps a margin of 2 pixels beside and 1 above its text, inside its contents.
    const QRect contents = edit.style()->subElementRect(QStyle::SE_LineEditContents, &option, &edit)
                               .marginsRemoved(edit.textMargins());
    return contents.adjusted(2, 1, -2, -1);
}

} // namespace

void TListViewEdit::SetCaret(int X)
{
    deselect();
    setCursorPosition(cursorPositionAt(QPoint(X + FormattingRect(*this).left(), height() / 2)));
}

void TListViewEdit::SetBounds(const QRect& Rect)
{
    const QRect format = FormattingRect(*this);
    setGeometry(Rect.adjusted(-format.left(), -format.top(), format.left(), format.top()));
}

void TListViewEdit::SetActive(bool Value) { ActivateEditor(this, Value); }

void TListViewEdit::EndEdit(bool Accept)
{
    if (FHost) FHost->EditorEndEdit(this, Accept);
}

bool TListViewEdit::event(QEvent* event)
{
    return ClaimEditorKey(event, [this](QKeyEvent* key) { keyPressEvent(key); }) || QLineEdit::event(event);
}

void TListViewEdit::keyPressEvent(QKeyEvent* event)
{
    if (OfferEditorKey(FHost, this, event)) QLineEdit::keyPressEvent(event);
    // Every key stays here, as it would in a control that asks for all keys.
    event->accept();
}

void TListViewEdit::focusOutEvent(QFocusEvent* event)
{
    // A popup (the context menu) does not take the edit away.
    if (event->reason() == Qt::PopupFocusReason) {
        QLineEdit::focusOutEvent(event);
        return;
    }
    // The window losing the focus ends the edit unless it is locked; the focus moving on in the
    // window always does.
    if (event->reason() == Qt::ActiveWindowFocusReason && FLockEditState) return;
    GuardedCall([&] { EndEdit(true); });
}

// TListViewCombo

TListViewCombo::TListViewCombo(QWidget* Owner) : QComboBox(Owner)
{
    hide();
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
}

std::shared_ptr<TListViewCombo> TListViewCombo::Create(QWidget* Owner)
{
    return CountedEditor(new TListViewCombo(Owner));
}

void TListViewCombo::SetText(const QString& Value) { setEditText(Value); }

void TListViewCombo::SetBounds(const QRect& Rect)
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    if (field.isValid())
        setGeometry(Rect.adjusted(-field.left(), -field.top(), 0, 0));
    else
        setGeometry(Rect.adjusted(-1, -1, 1, 1));
}

void TListViewCombo::SetActive(bool Value)
{
    if (!Value) hidePopup();
    ActivateEditor(this, Value);
}

void TListViewCombo::EndEdit(bool Accept)
{
    if (FHost) FHost->EditorEndEdit(this, Accept);
}

void TListViewCombo::showPopup()
{
    QComboBox::showPopup();
    QWidget* popup = view()->window();
    if (popup != window() && popup->width() < MinDropDownWidth) popup->resize(MinDropDownWidth, popup->height());
}

bool TListViewCombo::event(QEvent* event)
{
    return ClaimEditorKey(event, [this](QKeyEvent* key) { keyPressEvent(key); }) || QComboBox::event(event);
}

void TListViewCombo::keyPressEvent(QKeyEvent* event)
{
    if (OfferEditorKey(FHost, this, event)) QComboBox::keyPressEvent(event);
    event->accept();
}

void TListViewCombo::focusOutEvent(QFocusEvent* event)
{
    // The drop-down list does not take the edit away, nor the focus moving into it.
    QWidget* popup = view()->window();
    QWidget* focus = QApplication::focusWidget();
    if (event->reason() == Qt::PopupFocusReason || (popup != window() && focus && popup->isAncestorOf(focus))) {
        QComboBox::focusOutEvent(event);
        return;
    }
    GuardedCall([&] { EndEdit(true); });
}
