// The in-place controls of the object inspector: the edit over the value cell with its button and
// drop-down list, and the search edit over the name cell. Typed text is committed to the property
// editor on Enter, on leaving the edit, on selecting another row and on picking a list entry; Escape
// puts back the text shown before typing.
#include "designer/koDesignObjectInspector.h"

#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOption>
#include <QStyledItemDelegate>
#include <QTimer>
#include <algorithm>

namespace {
bool IsReadOnlyEditor(TRunTimePropertyEditor* Editor) { return Editor->GetAttributes().Contains(paReadOnly); }

// Draws and measures the entries of the drop-down list through the property editor.
class TDropDownDelegate : public QStyledItemDelegate {
public:
    explicit TDropDownDelegate(TRunTimeObjectInspectorDropDownList* AList) : QStyledItemDelegate(AList), FList(AList) {}

    void paint(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override
    {
        TRunTimePropertyEditor* editor = FList->PropertyEditor();
        const QString value = Index.data(Qt::DisplayRole).toString();
        const bool selected = Option.state & QStyle::State_Selected;
        if (!editor) return;
        // The editor draws on a canvas whose brush is the entry's background and pen its text colour.
        std::shared_ptr<TRunTimePropertyEditor> keep = FList->Owner()->SharedEditor();
        Painter->save();
        Painter->setFont(FList->font());
        Painter->setBrush(FList->palette().color(selected ? QPalette::Highlight : QPalette::Base));
        Painter->setPen(FList->palette().color(selected ? QPalette::HighlightedText : QPalette::Text));
        try {
            editor->ListDrawValue(value, *Painter, Option.rect, selected);
        } catch (...) {
            HandleEventException();
        }
        if (Option.state & QStyle::State_HasFocus) {
            QRect text = Option.rect;
            editor->ListMeasureTextRect(value, *Painter, text);
            QStyleOptionFocusRect focus;
            focus.rect = text;
            focus.state = QStyle::State_HasFocus;
            FList->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, Painter, FList);
        }
        Painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex& Index) const override
    {
        const QString value = Index.data(Qt::DisplayRole).toString();
        return QSize(FList->MeasureEntryWidth(value), FList->MeasureEntryHeight(value));
    }

private:
    TRunTimeObjectInspectorDropDownList* FList;
};
} // namespace

// ---------------------------------------------------------------------------------------------------
// In-place edit

TRunTimeObjectInspectorEdit::TRunTimeObjectInspectorEdit(TRunTimeCustomObjectInspector* AOwner)
    : QLineEdit(AOwner->viewport()), FInspector(AOwner)
{
    setFrame(false);
    hide();
    connect(this, &QLineEdit::textEdited, this, &TRunTimeObjectInspectorEdit::TextEdited);
}

TRunTimeObjectInspectorEdit::~TRunTimeObjectInspectorEdit()
{
    FDestroying = true;
    FPropertyEditor.reset();
}

void TRunTimeObjectInspectorEdit::SetPropertyEditor(std::shared_ptr<TRunTimePropertyEditor> Value)
{
    if (Value && Value.get() == FPropertyEditor.get()) return;
    if (!Value && !FPropertyEditor) return;
    FCreating = true;
    // The button or the list may be what is running now (a pick that commits): they go later.
    if (FDropDownList) {
        FDropDownList->FPropertyEditor = nullptr;
        FDropDownList->FClosing = true;
        FDropDownList->hide();
        FDropDownList->deleteLater();
        FDropDownList = nullptr;
    }
    if (FButton) {
        FButton->hide();
        FButton->deleteLater();
        FButton = nullptr;
    }
    FPropertyEditor = std::move(Value);
    TRunTimePropertyEditor* editor = FPropertyEditor.get();
    if (!editor || FDestroying) {
        // Without an editor the edit would stand over another row's value: it goes.
        FCreating = false;
        hide();
        return;
    }
    const TRunTimePropertyAttributes attributes = editor->GetAttributes();
    const bool readOnly = editor->Prop(0)->ReadOnly() || attributes.Contains(paReadOnly);
    setReadOnly(readOnly);
    QPalette pal = palette();
    if (readOnly) {
        pal.setColor(QPalette::Base, FInspector->palette().color(QPalette::Window));
        pal.setColor(QPalette::Text, FInspector->Colors()->ReadOnly());
    } else {
        pal.setColor(QPalette::Base, QApplication::palette().color(QPalette::Base));
        pal.setColor(QPalette::Text, QApplication::palette().color(QPalette::Text));
    }
    setPalette(pal);
    setMaxLength(std::max(1, editor->GetEditLimit()));
    if (attributes.Contains(paValueList) || attributes.Contains(paDialog)) {
        FButton = new TRunTimeObjectInspectorButton(this, editor);
        if (attributes.Contains(paValueList)) FDropDownList = new TRunTimeObjectInspectorDropDownList(this, editor);
    }
    show();
    if (FButton) FButton->show();
    if (FCreating) UpdateEdit();
    FOldText = text();
    FCreating = false;
}

void TRunTimeObjectInspectorEdit::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    HideDropDownList(false);
    if (!FLoading && FButton) {
        const int w = std::max(AHeight, 16);
        FButton->setGeometry(ALeft + AWidth - w, ATop, w, AHeight + 1);
        AWidth -= w;
    }
    setGeometry(ALeft, ATop, std::max(0, AWidth), AHeight);
}

void TRunTimeObjectInspectorEdit::UpdateEdit()
{
    TRunTimePropertyEditor* editor = FPropertyEditor.get();
    if (!editor || FInspector->ItemIndex() < 0) return;
    const QRect cell = FInspector->ValueRect(FInspector->ItemIndex());
    SetBounds(cell.left(), cell.top() + 1, cell.width(), cell.height() - 1);
    // While typing commits every change, the text being typed stays as it is.
    if (!FAutoUpdating) {
        QString value;
        try {
            value = editor->GetVisualValue();
        } catch (...) {
            HandleEventException();
        }
        setText(value);
        // A value wider than the column shows its start.
        home(false);
        FOldText = value;
    }
    FSearchString.clear();
    const bool focused = FInspector->hasFocus() || FInspector->viewport()->hasFocus() || hasFocus() ||
                         QWidget::mouseGrabber() == FInspector->viewport();
    if (focused && !FAutoUpdating) {
        SelectWhole();
        if (focusPolicy() != Qt::NoFocus && isVisible() && isEnabled()) setFocus();
    }
}

QStringList TRunTimeObjectInspectorEdit::EditorValues()
{
    QStringList values;
    if (!FPropertyEditor) return values;
    FPropertyEditor->GetValues(values);
    if (FPropertyEditor->GetAttributes().Contains(paSortList))
        std::sort(values.begin(), values.end(),
                  [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return values;
}

void TRunTimeObjectInspectorEdit::CommitText()
{
    // The editor may be replaced while it sets the value; it stays alive for the call.
    const std::shared_ptr<TRunTimePropertyEditor> keep = FPropertyEditor;
    TRunTimePropertyEditor* editor = keep.get();
    if (!editor) return;
    // Nothing half-set stays behind: instances set before a failing one get their old value back.
    std::vector<std::pair<TRunTimeProperty*, QString>> before;
    for (int i = 0; i < editor->PropCount(); ++i)
        if (TRunTimeProperty* p = editor->Prop(i)) before.emplace_back(p, p->GetValue());
    try {
        editor->SetValue(text());
    } catch (...) {
        for (auto& [p, old] : before)
            try {
                if (p->GetValue() != old) p->SetValue(old);
            } catch (...) {
            }
        throw;
    }
}

void TRunTimeObjectInspectorEdit::TextEdited(const QString&)
{
    if (FCreating || !FPropertyEditor || !FPropertyEditor->GetAttributes().Contains(paAutoUpdate)) return;
    FAutoUpdating = true;
    try {
        CommitText();
    } catch (...) {
        FAutoUpdating = false;
        HandleEventException();
        return;
    }
    FAutoUpdating = false;
}

void TRunTimeObjectInspectorEdit::CycleValue()
{
    const std::shared_ptr<TRunTimePropertyEditor> keep = FPropertyEditor;
    TRunTimePropertyEditor* editor = keep.get();
    const QStringList values = EditorValues();
    if (values.isEmpty()) return;
    int index = -1;
    for (int i = 0; i < values.size(); ++i)
        if (SameText(values[i], text())) {
            index = i;
            break;
        }
    const QString next = (index < 0 || index == values.size() - 1) ? values.first() : values[index + 1];
    editor->SetValue(next);
}

void TRunTimeObjectInspectorEdit::ShowDropDownList(const QString& AText)
{
    TRunTimePropertyEditor* editor = FPropertyEditor.get();
    if (!FDropDownList || !editor) return;
    TRunTimeObjectInspectorDropDownList* list = FDropDownList;
    const QStringList values = EditorValues();
    list->clear();
    for (const QString& v : values) list->addItem(v);
    const int listHeight = list->MeasureHeight(values);
    int startWidth = width() + 2 + (FButton ? FButton->width() : 0);
    int widest = 0;
    for (const QString& v : values) {
        const int w = list->MeasureEntryWidth(v);
        if (w > widest) widest = w + 8;
    }
    const int shown = std::min(int(values.size()), 8);
    if (shown < values.size()) {
        const int scroll = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        if (startWidth < widest + scroll) widest += scroll + 4;
    }
    const int listWidth = std::max(widest, startWidth);
    QPoint topLeft(x() - 2, y() + height() + 1);
    if (listWidth > startWidth) {
        const int right = FButton ? FButton->geometry().right() : geometry().right();
        topLeft.setX(right + 1 - listWidth);
    }
    QPoint global = FInspector->viewport()->mapToGlobal(topLeft);
    if (global.x() < 0) global.setX(0);
    QScreen* screen = QGuiApplication::screenAt(global);
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen && global.y() + listHeight > screen->availableGeometry().bottom() + 1)
        global.setY(global.y() - (listHeight + list->MeasureEntryHeight(QString()) - 2) - height());
    list->setGeometry(QRect(global, QSize(listWidth, listHeight)));
    list->FClosing = false;
    list->show();
    list->setFocus();
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text() == AText) {
            list->setCurrentRow(i);
            break;
        }
}

bool TRunTimeObjectInspectorEdit::HideDropDownList(bool Accept)
{
    if (!FDropDownList || !FDropDownList->isVisible()) return false;
    FDropDownList->CloseUp(Accept);
    return true;
}

void TRunTimeObjectInspectorEdit::SelectWhole()
{
    const int length = int(text().size());
    setSelection(length, -length);
}

void TRunTimeObjectInspectorEdit::ReloadAfterFailure()
{
    if (Tag <= 0 || !FPropertyEditor) return;
    FSearchString.clear();
    setText(FPropertyEditor->GetVisualValue());
    if (!FPropertyEditor->Prop(0)->ReadOnly()) SelectWhole();
    Tag = 0;
}

bool TRunTimeObjectInspectorEdit::event(QEvent* Event)
{
    // The edit keeps Tab for itself: it opens the search over the names.
    if (Event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(Event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
    }
    if (Event->type() == QEvent::WindowActivate) ReloadAfterFailure();
    return QLineEdit::event(Event);
}

void TRunTimeObjectInspectorEdit::focusInEvent(QFocusEvent* Event)
{
    QLineEdit::focusInEvent(Event);
    if (Event->reason() == Qt::ActiveWindowFocusReason) ReloadAfterFailure();
}

void TRunTimeObjectInspectorEdit::focusOutEvent(QFocusEvent* Event)
{
    QLineEdit::focusOutEvent(Event);
    // The drop-down list takes the focus while it is shown; that is not leaving.
    if (Event->reason() == Qt::PopupFocusReason || !FPropertyEditor || FDestroying) return;
    if (Event->reason() == Qt::ActiveWindowFocusReason) return;
    if (IsReadOnlyEditor(FPropertyEditor.get()) || text() == FOldText) return;
    try {
        CommitText();
    } catch (...) {
        setText(FOldText);
        setFocus();
        HandleEventException();
        return;
    }
    if (FPropertyEditor) FOldText = FPropertyEditor->GetVisualValue();
}

bool TRunTimeObjectInspectorEdit::AutoComplete(QKeyEvent* Event)
{
    if (!FPropertyEditor || isReadOnly() || !FPropertyEditor->AutoFill()) return false;
    const QString typed = Event->text();
    const bool backspace = Event->key() == Qt::Key_Backspace;
    if (!backspace && (typed.size() != 1 || typed[0].unicode() < 32 || typed[0].unicode() > 126)) return false;
    if (backspace) FSearchString.chop(1);
    else FSearchString += typed;
    if (!FDropDownList || FSearchString.isEmpty()) return false;
    for (const QString& value : EditorValues())
        if (value.left(FSearchString.size()).compare(FSearchString, Qt::CaseInsensitive) == 0) {
            setText(value);
            setSelection(int(value.size()), int(FSearchString.size() - value.size()));
            TextEdited(value);
            return true;
        }
    return false;
}

void TRunTimeObjectInspectorEdit::keyPressEvent(QKeyEvent* Event)
{
    try {
        HandleKey(Event);
    } catch (...) {
        HandleEventException();
    }
}

void TRunTimeObjectInspectorEdit::HandleKey(QKeyEvent* Event)
{
    TRunTimePropertyEditor* editor = FPropertyEditor.get();
    if (!editor) {
        QLineEdit::keyPressEvent(Event);
        return;
    }
    const bool listShown = FDropDownList && FDropDownList->isVisible();
    int key = Event->key();
    const Qt::KeyboardModifiers shift = Event->modifiers();
    auto moveList = [&](int row) {
        if (FDropDownList->count() == 0) return;
        FDropDownList->setCurrentRow(std::clamp(row, 0, FDropDownList->count() - 1));
    };
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (!listShown) FInspector->ShowSearchEdit(false);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        HideDropDownList(true);
        if (FPropertyEditor && !IsReadOnlyEditor(FPropertyEditor.get())) {
            if (text() != FOldText) {
                try {
                    CommitText();
                } catch (...) {
                    setText(FOldText);
                    throw;
                }
                if (FPropertyEditor) FOldText = FPropertyEditor->GetVisualValue();
            }
            setFocus();
            SelectWhole();
        }
        FInspector->ForwardKeyDown(key, shift);
        return;
    case Qt::Key_Escape:
        if (listShown) HideDropDownList(false);
        else {
            setText(FOldText);
            FSearchString.clear();
            SelectWhole();
        }
        FInspector->ForwardKeyDown(key, shift);
        return;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (!listShown) break;
        moveList(FDropDownList->currentRow() + (key == Qt::Key_PageUp ? -7 : 7));
        return;
    case Qt::Key_Home:
    case Qt::Key_End:
        if (!listShown) break;
        moveList(key == Qt::Key_Home ? 0 : FDropDownList->count() - 1);
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (listShown && FDropDownList->count() > 0) {
            const int row = FDropDownList->currentRow() + (key == Qt::Key_Left ? -1 : 1);
            if (row >= 0 && row < FDropDownList->count()) {
                FDropDownList->setCurrentRow(row);
                return;
            }
        }
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (listShown) {
            moveList(FDropDownList->currentRow() + (key == Qt::Key_Up ? -1 : 1));
            return;
        }
        {
            const int row = FInspector->ItemIndex() + (key == Qt::Key_Up ? -1 : 1);
            TRunTimeCustomObjectInspector* inspector = FInspector;
            inspector->setFocus();
            if (row >= 0 && row < inspector->ItemCount()) inspector->SelectRow(row);
        }
        return;
    default: break;
    }
    if (AutoComplete(Event)) return;
    QLineEdit::keyPressEvent(Event);
    if (key != Qt::Key_PageUp && key != Qt::Key_PageDown && key != Qt::Key_Home && key != Qt::Key_End &&
        key != Qt::Key_Left && key != Qt::Key_Right)
        FInspector->ForwardKeyDown(key, shift);
}

void TRunTimeObjectInspectorEdit::keyReleaseEvent(QKeyEvent* Event)
{
    QLineEdit::keyReleaseEvent(Event);
    int key = Event->key();
    if (key && FPropertyEditor) FInspector->ForwardKeyUp(key, Event->modifiers());
}

void TRunTimeObjectInspectorEdit::mousePressEvent(QMouseEvent* Event)
{
    if (Event->button() == Qt::LeftButton) HideDropDownList(false);
    QLineEdit::mousePressEvent(Event);
}

void TRunTimeObjectInspectorEdit::mouseDoubleClickEvent(QMouseEvent* Event)
{
    TRunTimePropertyEditor* editor = FPropertyEditor.get();
    if (Event->button() != Qt::LeftButton || !editor) {
        QLineEdit::mouseDoubleClickEvent(Event);
        return;
    }
    const TRunTimePropertyAttributes attributes = editor->GetAttributes();
    if (attributes.Contains(paReadOnly)) return;
    const std::shared_ptr<TRunTimePropertyEditor> keep = FPropertyEditor;
    try {
        if (attributes.Contains(paDialog)) editor->Edit();
        else if (attributes.Contains(paValueList)) CycleValue();
        else QLineEdit::mouseDoubleClickEvent(Event);
    } catch (...) {
        HandleEventException();
    }
}

// ---------------------------------------------------------------------------------------------------
// Button

TRunTimeObjectInspectorButton::TRunTimeObjectInspectorButton(TRunTimeObjectInspectorEdit* AOwner,
                                                             TRunTimePropertyEditor* AEditor)
    : QWidget(AOwner->parentWidget()), FOwner(AOwner), FPropertyEditor(AEditor)
{
    setCursor(Qt::ArrowCursor);
}

void TRunTimeObjectInspectorButton::SetDown(bool Value)
{
    if (FDown == Value) return;
    FDown = Value;
    update();
}

void TRunTimeObjectInspectorButton::DoClick()
{
    const std::shared_ptr<TRunTimePropertyEditor> keep = FOwner->SharedEditor();
    if (FOwner->DropDownList()) FOwner->ShowDropDownList(FOwner->text());
    else if (FPropertyEditor) FPropertyEditor->Edit();
}

void TRunTimeObjectInspectorButton::mousePressEvent(QMouseEvent* Event)
{
    if (Event->button() != Qt::LeftButton) return;
    if (FOwner->HideDropDownList(false)) return;
    SetDown(true);
    FPressed = true;
}

void TRunTimeObjectInspectorButton::mouseMoveEvent(QMouseEvent* Event)
{
    if (FPressed) SetDown(rect().contains(Event->position().toPoint()));
}

void TRunTimeObjectInspectorButton::mouseReleaseEvent(QMouseEvent* Event)
{
    if (Event->button() != Qt::LeftButton || !FPressed) return;
    FPressed = false;
    const bool wasDown = FDown;
    SetDown(false);
    if (!wasDown) return;
    try {
        DoClick();
    } catch (...) {
        HandleEventException();
    }
}

void TRunTimeObjectInspectorButton::mouseDoubleClickEvent(QMouseEvent*)
{
    SetDown(false);
    FPressed = false;
    try {
        FOwner->ShowDropDownList(FOwner->text());
    } catch (...) {
        HandleEventException();
    }
}

void TRunTimeObjectInspectorButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOptionButton option;
    option.initFrom(this);
    option.rect = rect();
    option.state |= FDown ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &painter, this);
    if (!FPropertyEditor) return;
    const TRunTimePropertyAttributes attributes = FPropertyEditor->GetAttributes();
    if (attributes.Contains(paValueList)) {
        QStyleOption arrow;
        arrow.initFrom(this);
        arrow.rect = rect().adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, &painter, this);
    } else if (attributes.Contains(paDialog)) {
        if (const QImage* ellipsis = FindDesignBitmap(QStringLiteral("DESIGN_EDIT_ELIPSIS")))
            painter.drawImage((width() - ellipsis->width()) / 2 + (FDown ? 1 : 0),
                               (height() - ellipsis->height()) / 2 + (FDown ? 1 : 0), *ellipsis);
    }
}

// ---------------------------------------------------------------------------------------------------
// Drop-down list

TRunTimeObjectInspectorDropDownList::TRunTimeObjectInspectorDropDownList(TRunTimeObjectInspectorEdit* AOwner,
                                                                         TRunTimePropertyEditor* AEditor)
    : QListWidget(nullptr), FOwner(AOwner), FPropertyEditor(AEditor)
{
    setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    setUniformItemSizes(false);
    setItemDelegate(new TDropDownDelegate(this));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    // Deleted with the edit when it is not deleted before.
    connect(AOwner, &QObject::destroyed, this, &QObject::deleteLater);
    hide();
}

int TRunTimeObjectInspectorDropDownList::MeasureEntryHeight(const QString& Value)
{
    int h = fontMetrics().height() + 2;
    if (FPropertyEditor && !Value.isNull()) FPropertyEditor->ListMeasureHeight(Value, MeasureCanvas(), h);
    return h;
}

int TRunTimeObjectInspectorDropDownList::MeasureEntryWidth(const QString& Value)
{
    int w = fontMetrics().horizontalAdvance(Value);
    if (FPropertyEditor) FPropertyEditor->ListMeasureWidth(Value, MeasureCanvas(), w);
    return w;
}

QPainter& TRunTimeObjectInspectorDropDownList::MeasureCanvas()
{
    if (!FMeasureCanvas) FMeasureCanvas = std::make_unique<QPainter>(&FScratch);
    FMeasureCanvas->setFont(font());
    return *FMeasureCanvas;
}

int TRunTimeObjectInspectorDropDownList::MeasureHeight(const QStringList& Values)
{
    if (Values.isEmpty()) return MeasureEntryHeight(QString()) + 2;
    const int rows = std::min(int(Values.size()), 8);
    int h = 0;
    for (int i = 0; i < rows; ++i) h += MeasureEntryHeight(Values[i]);
    return h + 2;
}

void TRunTimeObjectInspectorDropDownList::CloseUp(bool Accept)
{
    FClosing = true;
    hide();
    FClosing = false;
    TRunTimeObjectInspectorEdit* edit = FOwner;
    if (Accept && currentItem() && FPropertyEditor) {
        const QString remembered = edit->text();
        edit->setText(currentItem()->text());
        const std::shared_ptr<TRunTimePropertyEditor> keep = edit->SharedEditor();
        TRunTimePropertyEditor* editor = FPropertyEditor;
        try {
            edit->CommitText();
        } catch (...) {
            edit->setText(remembered);
            throw;
        }
        // The editor may have been replaced by the commit; only the current one is told.
        if (edit->PropertyEditor() == editor) editor->Modified();
    }
    if (edit->focusPolicy() != Qt::NoFocus && !edit->Destroying() && edit->isVisible()) {
        edit->FSearchString.clear();
        edit->SelectWhole();
        edit->setFocus();
    }
}

void TRunTimeObjectInspectorDropDownList::keyPressEvent(QKeyEvent* Event)
{
    // The list keeps the keyboard while it is shown; the edit decides what keys do.
    FOwner->keyPressEvent(Event);
}

void TRunTimeObjectInspectorDropDownList::mouseReleaseEvent(QMouseEvent* Event)
{
    QListWidget::mouseReleaseEvent(Event);
    if (Event->button() != Qt::LeftButton) return;
    try {
        CloseUp(rect().contains(Event->position().toPoint()));
    } catch (...) {
        HandleEventException();
    }
}

void TRunTimeObjectInspectorDropDownList::hideEvent(QHideEvent* Event)
{
    QListWidget::hideEvent(Event);
    // Closed by a click elsewhere: nothing is taken, the edit gets the focus back.
    if (!FClosing && FOwner && FOwner->isVisible() && !FOwner->Destroying()) FOwner->setFocus();
}

// ---------------------------------------------------------------------------------------------------
// Search edit

TRunTimeObjectInspectorSearchEdit::TRunTimeObjectInspectorSearchEdit(TRunTimeCustomObjectInspector* AOwner)
    : QLineEdit(AOwner->viewport()), FObjectInspector(AOwner)
{
    setReadOnly(true);
    setFrame(false);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, AOwner->palette().color(QPalette::Window));
    setPalette(pal);
}

bool TRunTimeObjectInspectorSearchEdit::event(QEvent* Event)
{
    if (Event->type() == QEvent::KeyPress) {
        keyPressEvent(static_cast<QKeyEvent*>(Event));
        return true;
    }
    return QLineEdit::event(Event);
}

void TRunTimeObjectInspectorSearchEdit::keyPressEvent(QKeyEvent* Event)
{
    TRunTimeCustomObjectInspector* inspector = FObjectInspector;
    try {
        const int key = Event->key();
        const int selected = inspector->ItemIndex();
        const int last = inspector->ItemCount() - 1;
        auto moveTo = [&](int row) {
            row = std::clamp(row, 0, std::max(0, last));
            if (row != selected) inspector->SelectRow(row);
            inspector->ShowSearchEdit(true);
        };
        switch (key) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Return:
        case Qt::Key_Enter: inspector->HideSearchEdit(); return;
        case Qt::Key_Up:
        case Qt::Key_Left: moveTo(selected - 1); return;
        case Qt::Key_Down:
        case Qt::Key_Right: moveTo(selected + 1); return;
        case Qt::Key_PageUp: moveTo(std::max(0, selected + 1 - inspector->GetVisibleCount())); return;
        case Qt::Key_PageDown: moveTo(std::min(last, selected + inspector->GetVisibleCount() - 1)); return;
        case Qt::Key_Home: moveTo(0); return;
        case Qt::Key_End: moveTo(last); return;
        default: break;
        }
        const QString typed = Event->text();
        const bool backspace = key == Qt::Key_Backspace;
        if (!backspace && (typed.size() != 1 || typed[0].unicode() < 32 || typed[0].unicode() > 126)) return;
        QString search = FSearchString;
        const bool wasEmpty = search.isEmpty();
        if (backspace) search.chop(1);
        else search += typed;
        const int row = inspector->FindSiblingRow(selected, search, wasEmpty);
        if (row < 0) return;
        FSearchString = search;
        inspector->SelectRow(row);
        inspector->ShowSearchEdit(false);
    } catch (...) {
        HandleEventException();
    }
}
