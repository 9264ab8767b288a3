#include "koDesignCollectionEditor.h"

#include "designer/koDesignObjectInspectorEditor.h"
#include "model/koResourcesItemItems.h"
#include "platform/Format.h"
#include "shell/koImageList.h"

#include <QAction>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// The four tool-bar glyphs: add, delete, up and down.
QImage ToolGlyph(int Index)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(0);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (Index) {
    case 0: { // add: a green plus
        p.setPen(QPen(QColor(20, 110, 20), 1));
        p.setBrush(QColor(60, 180, 60));
        QPainterPath plus;
        plus.addRect(QRectF(6.5, 2.5, 3, 11));
        plus.addRect(QRectF(2.5, 6.5, 11, 3));
        p.drawPath(plus.simplified());
        break;
    }
    case 1: { // delete: a red cross
        p.setPen(QPen(QColor(200, 30, 30), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    }
    default: { // up and down: blue arrows
        QPainterPath arrow;
        arrow.moveTo(8, 2);
        arrow.lineTo(14, 8.5);
        arrow.lineTo(10, 8.5);
        arrow.lineTo(10, 14);
        arrow.lineTo(6, 14);
        arrow.lineTo(6, 8.5);
        arrow.lineTo(2, 8.5);
        arrow.closeSubpath();
        if (Index == 3) {
            QTransform flip;
            flip.translate(0, 16);
            flip.scale(1, -1);
            arrow = flip.map(arrow);
        }
        p.setPen(QPen(QColor(20, 60, 150), 1));
        p.setBrush(QColor(70, 130, 220));
        p.drawPath(arrow);
        break;
    }
    }
    return image;
}

} // namespace

QString CollectionItemDisplayName(const QObject* Item)
{
    const QVariant name = Item->property("DisplayName");
    if (name.isValid())
        return name.toString();
    return QString::fromLatin1(Item->metaObject()->className());
}

TRunTimeCollectionEditor::TRunTimeCollectionEditor(QWidget* AOwner) : TRunTimeDesignWindow(AOwner)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Collection Editor"));
    resize(152, 249);

    ToolbarButtons = new QToolBar(this);
    ToolbarButtons->setObjectName(QStringLiteral("ToolbarButtons"));
    ToolbarButtons->setIconSize(QSize(16, 16));
    ToolbarButtons->setFixedHeight(23);
    ListBoxItems = new QListWidget(this);
    ListBoxItems->setObjectName(QStringLiteral("ListBoxItems"));
    ListBoxItems->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ToolbarButtons);
    layout->addWidget(ListBoxItems, 1);

    TImageList normal(16, 16);
    for (int i = 0; i < 4; ++i)
        normal.Add(ToolGlyph(i));
    TImageList disabled(16, 16);
    MakeDisabledImageList(normal, disabled);
    const auto action = [&](int image, const char* caption, const char* hint, const QKeySequence& shortcut) {
        QIcon icon;
        icon.addPixmap(QPixmap::fromImage(normal.Image(image)), QIcon::Normal);
        icon.addPixmap(QPixmap::fromImage(disabled.Image(image)), QIcon::Disabled);
        auto* a = new QAction(icon, QString::fromLatin1(caption), this);
        a->setToolTip(QString::fromLatin1(hint));
        a->setStatusTip(QString::fromLatin1(hint));
        a->setShortcut(shortcut);
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
        return a;
    };
    ActionAddItem = action(0, "Add", "Add item", QKeySequence(Qt::Key_Insert));
    ActionDeleteItem = action(1, "Delete", "Delete item", QKeySequence(Qt::Key_Delete));
    ActionMoveUp = action(2, "Move up", "Move item up", QKeySequence(Qt::CTRL | Qt::Key_Up));
    ActionMoveDown = action(3, "Move down", "Move item down", QKeySequence(Qt::CTRL | Qt::Key_Down));
    ToolbarButtons->addAction(ActionAddItem);
    ToolbarButtons->addAction(ActionDeleteItem);
    ToolbarButtons->addSeparator();
    ToolbarButtons->addAction(ActionMoveUp);
    ToolbarButtons->addAction(ActionMoveDown);

    connect(ActionAddItem, &QAction::triggered, this, [this] { ActionAddItemExecute(); });
    connect(ActionDeleteItem, &QAction::triggered, this, [this] { ActionDeleteItemExecute(); });
    connect(ActionMoveUp, &QAction::triggered, this, [this] { ActionMoveUpExecute(); });
    connect(ActionMoveDown, &QAction::triggered, this, [this] { ActionMoveDownExecute(); });
    connect(ListBoxItems, &QListWidget::itemClicked, this, [this] { ListBoxItemsClick(); });
    connect(ListBoxItems, &QListWidget::currentRowChanged, this, [this] { UpdateActions(); });
    FormCreate();
}

TRunTimeCollectionEditor::~TRunTimeCollectionEditor()
{
    disconnect(FInstanceDestroyed);
}

void TRunTimeCollectionEditor::FormCreate()
{
    WatchListBox(ListBoxItems);
    UpdateActions();
}

void TRunTimeCollectionEditor::SetObjectInspector(IRunTimeObjectInspector* Value)
{
    if (Value == FObjectInspector)
        return;
    FObjectInspector = Value;
    SetDesigner(Value ? Value->Designer() : nullptr);
}

void TRunTimeCollectionEditor::SetProp(TRunTimeProperty* Value)
{
    auto* property = dynamic_cast<TRunTimeCollectionProperty*>(Value);
    if (!property)
        return;
    FPropertyName = property->FullName();
    SetInstance(property->Instance());
    disconnect(FInstanceDestroyed);
    if (QObject* instance = Instance())
        FInstanceDestroyed = connect(instance, &QObject::destroyed, this, [this] { InstanceDestroyed(); });
    setWindowTitle(Format(QStringLiteral("Editing %s"), {FPropertyName}));
    FCollection = property->AsObject().As<TCustomResourceItemItems>();
    UpdateList();
    if (ListBoxItems->count() > 0) {
        ListBoxItems->setCurrentRow(0);
        ShowInInspector(EntryItem(0));
    }
    UpdateActions();
}

TRunTimeCollectionEditor* TRunTimeCollectionEditor::Find(QObject* AInstance, const QString& PropertyName)
{
    for (TRunTimeDesignWindow* window : DesignWindows())
        if (auto* editor = qobject_cast<TRunTimeCollectionEditor*>(window))
            if (editor->Instance() == AInstance && editor->PropertyName() == PropertyName && AInstance)
                return editor;
    return nullptr;
}

TCustomResourceItemItem* TRunTimeCollectionEditor::EntryItem(int Index) const
{
    // Entries stand for the collection's items by position, so an entry never outlives its item.
    if (!FCollection || Index < 0 || Index >= ListBoxItems->count() || Index >= FCollection->Count())
        return nullptr;
    return FCollection->Item(Index);
}

void TRunTimeCollectionEditor::ShowInInspector(QObject* Object)
{
    if (FObjectInspector)
        FObjectInspector->SetInstance(Object);
}

void TRunTimeCollectionEditor::UpdateList()
{
    const QSignalBlocker blocker(ListBoxItems);
    ListBoxItems->clear();
    if (FCollection)
        for (int i = 0; i < FCollection->Count(); ++i) {
            TCustomResourceItemItem* item = FCollection->Item(i);
            ListBoxItems->addItem(Format(QStringLiteral("%u - %s"), {i, CollectionItemDisplayName(item)}));
        }
    UpdateActions();
}

void TRunTimeCollectionEditor::RefreshWindow()
{
    TRunTimeDesignWindow::RefreshWindow();
    const int selected = ListBoxItems->currentRow();
    UpdateList();
    if (selected >= 0 && selected < ListBoxItems->count()) {
        const QSignalBlocker blocker(ListBoxItems);
        ListBoxItems->setCurrentRow(selected);
    }
    UpdateActions();
}

void TRunTimeCollectionEditor::UpdateActions()
{
    const int count = ListBoxItems->count();
    const int selected = ListBoxItems->currentRow();
    ActionAddItem->setEnabled(true);
    ActionDeleteItem->setEnabled(count > 0 && selected >= 0);
    ActionMoveUp->setEnabled(selected > 0);
    ActionMoveDown->setEnabled(count > 0 && selected >= 0 && selected < count - 1);
}

void TRunTimeCollectionEditor::ListBoxItemsClick()
{
    if (TCustomResourceItemItem* item = EntryItem(ListBoxItems->currentRow()); item && FObjectInspector)
        ShowInInspector(item);
}

void TRunTimeCollectionEditor::ActionAddItemExecute()
{
    if (!FCollection)
        return;
    const int before = ListBoxItems->count();
    TCustomResourceItemItem* item = FCollection->InsertItem(std::min(before, FCollection->Count()));
    // The change may have refreshed the list already.
    if (ListBoxItems->count() <= before)
        ListBoxItems->addItem(Format(QStringLiteral("%u - %s"), {before, CollectionItemDisplayName(item)}));
    ListBoxItems->setCurrentRow(before);
    ShowInInspector(item);
    UpdateActions();
}

void TRunTimeCollectionEditor::ActionDeleteItemExecute()
{
    const int selected = ListBoxItems->currentRow();
    if (!FCollection || selected < 0 || selected >= FCollection->Count())
        return;
    if (FObjectInspector)
        FObjectInspector->RemoveInstance(FCollection->Item(selected));
    FCollection->Delete(selected);
    UpdateList();
    const int count = ListBoxItems->count();
    const int next = count == 0 ? -1 : std::min(selected, count - 1);
    ListBoxItems->setCurrentRow(next);
    ShowInInspector(next >= 0 ? static_cast<QObject*>(EntryItem(next)) : Instance());
    UpdateActions();
}

void TRunTimeCollectionEditor::ActionMoveUpExecute()
{
    const int selected = ListBoxItems->currentRow();
    if (!FCollection || selected <= 0 || selected >= FCollection->Count())
        return;
    FCollection->Move(selected, selected - 1);
    UpdateList();
    ListBoxItems->setCurrentRow(selected - 1);
}

void TRunTimeCollectionEditor::ActionMoveDownExecute()
{
    const int selected = ListBoxItems->currentRow();
    if (!FCollection || selected < 0 || selected >= FCollection->Count() - 1)
        return;
    FCollection->Move(selected, selected + 1);
    UpdateList();
    ListBoxItems->setCurrentRow(selected + 1);
}

void TRunTimeCollectionEditor::DrawDragImage(QImage& Bitmap, QListWidget* ListBox)
{
    const QListWidgetItem* entry = ListBox->currentItem();
    const QString text = entry ? entry->text() : QString();
    const QFontMetrics metrics(font());
    Bitmap = QImage(metrics.horizontalAdvance(text) + 20, metrics.height() + 4, QImage::Format_ARGB32);
    Bitmap.fill(palette().color(QPalette::Base));
    QPainter canvas(&Bitmap);
    canvas.setFont(font());
    canvas.setPen(palette().color(QPalette::ButtonText));
    canvas.drawText(QPoint(16, 2 + metrics.ascent()), text);
}

void TRunTimeCollectionEditor::ListBoxStartDrag(QListWidget* ListBox, TRunTimeDesignerDragObject*& DragObject)
{
    ListStartDrag(ListBox, EntryItem(ListBox->currentRow()), DragObject);
}

void TRunTimeCollectionEditor::ListDragOver(QListWidget* ListBox, const QPoint& Point, bool& Accept)
{
    // Only onto an entry: not between entries or below the last.
    Accept = false;
    if (QListWidgetItem* entry = ListBox->itemAt(Point))
        CanDropItem(EntryItem(ListBox->row(entry)), Accept);
}

void TRunTimeCollectionEditor::ListDragDrop(QListWidget* ListBox, const QPoint& Point)
{
    auto* item = qobject_cast<TCustomResourceItemItem*>(DragObject()->DragInstance());
    QListWidgetItem* target = ListBox->itemAt(Point);
    if (!item || !target || !FCollection || item->Collection() != FCollection)
        return;
    const int index = ListBox->row(target);
    FCollection->Move(item->Index(), index);
    UpdateList();
    ListBoxItems->setCurrentRow(index);
}

void TRunTimeCollectionEditor::Activated()
{
    TRunTimeDesignWindow::Activated();
    if (FObjectInspector && Instance() && !FObjectInspector->HasInstance(Instance()))
        FObjectInspector->SetInstance(Instance());
}

void TRunTimeCollectionEditor::closeEvent(QCloseEvent* Event)
{
    if (FObjectInspector && Instance())
        for (int i = 0; i < ListBoxItems->count(); ++i)
            if (FObjectInspector->HasInstance(EntryItem(i))) {
                FObjectInspector->SetInstance(Instance());
                break;
            }
    disconnect(FInstanceDestroyed);
    TRunTimeDesignWindow::closeEvent(Event);
}

void TRunTimeCollectionEditor::InstanceDestroyed()
{
    FCollection = nullptr;
    SetInstance(nullptr);
    {
        const QSignalBlocker blocker(ListBoxItems);
        ListBoxItems->clear();
    }
    close();
}
