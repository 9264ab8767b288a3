// The collection editor driven through its widgets: opened by the collection property editor, adding,
// deleting, moving and dragging items, following the inspector, closing with the collection's owner.
#include "EditorTesting.h"

#include "designer/koDesignCollectionEditor.h"
#include "designer/koDesignPropertyEditors.h"
#include "model/koResourcesItemItems.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

class TTestElement : public TCustomResourceItemItem {
    Q_OBJECT
    Q_PROPERTY(QString DisplayName MEMBER FName)
public:
    using TCustomResourceItemItem::TCustomResourceItemItem;
    QString FName;

protected:
    TCustomResourceItem* GetBaseResourceItem() const override { return nullptr; }
};

class TTestElements : public TCustomResourceItemItems {
public:
    TTestElements() : TCustomResourceItemItems(nullptr) {}

protected:
    std::unique_ptr<TCustomResourceItemItem> CreateElement() override
    {
        auto element = std::make_unique<TTestElement>(this);
        element->FName = QStringLiteral("Item%1").arg(++FMade);
        return element;
    }

private:
    int FMade = 0;
};

class TCollectionOwner : public QObject {
    Q_OBJECT
    Q_PROPERTY(TTestElements* Elements READ Elements)
public:
    explicit TCollectionOwner(int Count)
    {
        for (int i = 0; i < Count; ++i)
            FElements.AddItem();
    }
    TTestElements* Elements() { return &FElements; }
    TTestElements FElements;
};

namespace {

class EditorCollection : public ::testing::Test {
protected:
    void SetUp() override
    {
        koDesignRTTI_Initialize();
        static const PTypeInfo type =
            RegisterClassTypeInfo<TTestElements, TCustomResourceItemItems>("TTestElements", DesignClassTypes().Collection);
        (void)type;
    }
    void TearDown() override
    {
        for (TRunTimeDesignWindow* window : TRunTimeDesignWindow::DesignWindows())
            delete window;
    }

    // Opens the collection editor as the inspector's property editor does.
    TRunTimeCollectionEditor* Open(TCollectionOwner& Owner, TTestInspector& Inspector)
    {
        Inspector.SetInstance(&Owner);
        FList = PropertiesOf(&Owner);
        auto editor = EditorFor(Inspector, QStringLiteral("Elements"), {FList.get()});
        EXPECT_EQ(editor->ClassType(), TRunTimeCollectionPropertyEditor::ClassInfo());
        editor->Edit();
        return TRunTimeCollectionEditor::Find(&Owner, QStringLiteral("Elements"));
    }

    static QStringList Entries(const TRunTimeCollectionEditor& editor)
    {
        QStringList entries;
        for (int i = 0; i < editor.ListBoxItems->count(); ++i)
            entries << editor.ListBoxItems->item(i)->text();
        return entries;
    }

    static QStringList Names(TCollectionOwner& Owner)
    {
        QStringList names;
        for (int i = 0; i < Owner.FElements.Count(); ++i)
            names << static_cast<TTestElement*>(Owner.FElements.Item(i))->FName;
        return names;
    }

    static QPoint EntryCentre(const TRunTimeCollectionEditor& editor, int row)
    {
        return editor.ListBoxItems->visualItemRect(editor.ListBoxItems->item(row)).center();
    }

    std::unique_ptr<TTestPropertyList> FList;
};

} // namespace

TEST_F(EditorCollection, OpensOnceListingTheItemsAndShowsTheFirstInTheInspector)
{
    TCollectionOwner owner(3);
    TTestInspector inspector;
    TRunTimeCollectionEditor* editor = Open(owner, inspector);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("Editing Elements"));
    EXPECT_EQ(Entries(*editor), (QStringList{QStringLiteral("0 - Item1"), QStringLiteral("1 - Item2"), QStringLiteral("2 - Item3")}));
    EXPECT_EQ(editor->ListBoxItems->currentRow(), 0);
    EXPECT_EQ(inspector.Instance(), owner.FElements.Item(0));

    // The same property again shows the open window.
    inspector.SetInstance(&owner);
    auto list = PropertiesOf(&owner);
    EditorFor(inspector, QStringLiteral("Elements"), {list.get()})->Edit();
    EXPECT_EQ(TRunTimeDesignWindow::DesignWindows().size(), 1);

    // Clicking an entry shows its item.
    QTest::mouseClick(editor->ListBoxItems->viewport(), Qt::LeftButton, {}, EntryCentre(*editor, 2));
    EXPECT_EQ(editor->ListBoxItems->currentRow(), 2);
    EXPECT_EQ(inspector.Instance(), owner.FElements.Item(2));
}

TEST_F(EditorCollection, AddDeleteAndMoveThroughTheActions)
{
    TCollectionOwner owner(3);
    TTestInspector inspector;
    TRunTimeCollectionEditor* editor = Open(owner, inspector);
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->ActionMoveUp->isEnabled());
    EXPECT_TRUE(editor->ActionMoveDown->isEnabled());

    QTest::mouseClick(editor->ToolbarButtons->widgetForAction(editor->ActionAddItem), Qt::LeftButton);
    EXPECT_EQ(owner.FElements.Count(), 4);
    EXPECT_EQ(editor->ListBoxItems->item(3)->text(), QStringLiteral("3 - Item4"));
    EXPECT_EQ(editor->ListBoxItems->currentRow(), 3);
    EXPECT_EQ(inspector.Instance(), owner.FElements.Item(3));
    EXPECT_FALSE(editor->ActionMoveDown->isEnabled());

    editor->ActionMoveUp->trigger();
    EXPECT_EQ(Names(owner), (QStringList{QStringLiteral("Item1"), QStringLiteral("Item2"), QStringLiteral("Item4"), QStringLiteral("Item3")}));
    EXPECT_EQ(editor->ListBoxItems->currentRow(), 2);
    EXPECT_EQ(editor->ListBoxItems->item(2)->text(), QStringLiteral("2 - Item4"));
    editor->ActionMoveDown->trigger();
    EXPECT_EQ(Names(owner).last(), QStringLiteral("Item4"));
    EXPECT_EQ(editor->ListBoxItems->currentRow(), 3);

    // Deleting the last entry selects the new last one.
    QObject* deleted = owner.FElements.Item(3);
    QTest::mouseClick(editor->ToolbarButtons->widgetForAction(editor->ActionDeleteItem), Qt::LeftButton);
    EXPECT_TRUE(inspector.Removed.contains(deleted));
    EXPECT_EQ(owner.FElements.Count(), 3);
    EXPECT_EQ(editor->ListBoxItems->currentRow(), 2);
    EXPECT_EQ(inspector.Instance(), owner.FElements.Item(2));
}

TEST_F(EditorCollection, DeletingTheOnlyItemSelectsNothingAndShowsTheOwner)
{
    TCollectionOwner owner(1);
    TTestInspector inspector;
    TRunTimeCollectionEditor* editor = Open(owner, inspector);
    ASSERT_NE(editor, nullptr);
    editor->ActionDeleteItem->trigger();
    EXPECT_EQ(owner.FElements.Count(), 0);
    EXPECT_EQ(editor->ListBoxItems->count(), 0);
    EXPECT_EQ(editor->ListBoxItems->currentRow(), -1);
    EXPECT_EQ(inspector.Instance(), &owner);
    EXPECT_FALSE(editor->ActionDeleteItem->isEnabled());
    EXPECT_TRUE(editor->ActionAddItem->isEnabled());
}

TEST_F(EditorCollection, DraggingAnEntryOntoAnotherMovesItThere)
{
    TCollectionOwner owner(3);
    TTestInspector inspector;
    TRunTimeCollectionEditor* editor = Open(owner, inspector);
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
    QWidget* viewport = editor->ListBoxItems->viewport();
    const QPoint first = EntryCentre(*editor, 0);
    const QPoint third = EntryCentre(*editor, 2);
    ASSERT_GE(third.y() - first.y(), QApplication::startDragDistance());

    // A move shorter than the drag distance starts no drag and drops nothing.
    QTest::mousePress(viewport, Qt::LeftButton, {}, first);
    QTest::mouseMove(viewport, first + QPoint(0, QApplication::startDragDistance() - 1));
    EXPECT_EQ(editor->DragImageWidget(), nullptr);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, first + QPoint(0, QApplication::startDragDistance() - 1));
    EXPECT_EQ(Names(owner).first(), QStringLiteral("Item1"));

    // Onto the third entry.
    QTest::mousePress(viewport, Qt::LeftButton, {}, first);
    QTest::mouseMove(viewport, third);
    EXPECT_NE(editor->DragImageWidget(), nullptr);
    QTest::mouseMove(viewport, third + QPoint(0, 1));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, third);
    EXPECT_EQ(Names(owner), (QStringList{QStringLiteral("Item2"), QStringLiteral("Item3"), QStringLiteral("Item1")}));
    EXPECT_EQ(editor->ListBoxItems->currentRow(), 2);
    EXPECT_EQ(editor->ListBoxItems->item(2)->text(), QStringLiteral("2 - Item1"));
    EXPECT_EQ(editor->DragImageWidget(), nullptr);

    // Below the last entry the drop is refused.
    const QPoint below(third.x(), editor->ListBoxItems->visualItemRect(editor->ListBoxItems->item(2)).bottom() + 20);
    ASSERT_EQ(editor->ListBoxItems->itemAt(below), nullptr);
    QTest::mousePress(viewport, Qt::LeftButton, {}, first);
    QTest::mouseMove(viewport, below);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, below);
    EXPECT_EQ(Names(owner), (QStringList{QStringLiteral("Item2"), QStringLiteral("Item3"), QStringLiteral("Item1")}));
}

TEST_F(EditorCollection, ClosesWhenTheCollectionsOwnerGoes)
{
    auto owner = std::make_unique<TCollectionOwner>(2);
    TTestInspector inspector;
    QPointer<TRunTimeCollectionEditor> editor = Open(*owner, inspector);
    ASSERT_TRUE(editor);
    owner.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(editor.isNull());
}

TEST_F(EditorCollection, ClosingShowsTheOwnerInsteadOfAListedItem)
{
    TCollectionOwner owner(2);
    TTestInspector inspector;
    TRunTimeCollectionEditor* editor = Open(owner, inspector);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(inspector.Instance(), owner.FElements.Item(0));
    editor->close();
    EXPECT_EQ(inspector.Instance(), &owner);
}

#include "EditorCollectionTest.moc"
