// The read-only list previews of string tables, accelerator tables and version information: what a
// person sees in their rows, columns and tabs, that clicks and keys change nothing, and that a change of
// the item shows at once.
#include "../model/TestKinds.h"
#include "kinds/koResourceItemAccelerator.h"
#include "kinds/koResourceItemString.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/UpdateGuard.h"
#include "views/koResourceViewAccelerator.h"
#include "views/koResourceViewString.h"

#include <QHeaderView>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {
// The texts of every row, cells joined by " | ".
QStringList Rows(QTreeView* List)
{
    QStringList rows;
    QAbstractItemModel* model = List->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(); ++column)
            cells << model->index(row, column).data().toString();
        rows << cells.join(QStringLiteral(" | "));
    }
    return rows;
}

QStringList Captions(QTreeView* List)
{
    QStringList captions;
    for (int column = 0; column < List->model()->columnCount(); ++column)
        captions << List->model()->headerData(column, Qt::Horizontal).toString();
    return captions;
}

// Clicks the first cell of every row, on the row and on a check box where it has one, then walks the
// list with the keyboard.
void ClickAndType(QTreeView* List)
{
    List->setFocus();
    for (int row = 0; row < List->model()->rowCount(); ++row) {
        const QRect cell = List->visualRect(List->model()->index(row, 0));
        QTest::mouseClick(List->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseClick(List->viewport(), Qt::LeftButton, {}, QPoint(cell.left() + 8, cell.center().y()));
        QTest::mouseDClick(List->viewport(), Qt::LeftButton, {}, cell.center());
    }
    for (int key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_End, Qt::Key_Space, Qt::Key_Home})
        QTest::keyClick(List, Qt::Key(key));
    QTest::keyClick(List, Qt::Key_A, Qt::ControlModifier);
}

void ExpectUnselected(QTreeView* List, const char* Name)
{
    EXPECT_TRUE(List->selectionModel()->selectedIndexes().isEmpty()) << Name;
    EXPECT_FALSE(List->selectionModel()->currentIndex().isValid()) << Name;
}

class TableViews : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemString_Initialize();
        koResourceItemAccelerator_Initialize();
        koResourceViewString_Initialize();
        koResourceViewAccelerator_Initialize();
        Module.SetDeferDefaultSymbols(true);
    }
    void TearDown() override
    {
        Module.Items()->Clear();
        koResourceViewAccelerator_Finalize();
        koResourceViewString_Finalize();
        koResourceView_Finalize();
        koResourceItemAccelerator_Finalize();
        koResourceItemString_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }
    // A view of the item as the workspace makes one, shown.
    template <class TView>
    static std::unique_ptr<TView> Show(TCustomResourceItem* Item)
    {
        auto view = std::make_unique<TView>();
        view->GetControl();
        view->SetResourceItem(Item);
        view->resize(400, 300);
        view->show();
        return view;
    }
    TStringListResourceItem* StringTable()
    {
        auto* table = new TStringListResourceItem();
        Module.Items()->Add(table);
        return table;
    }
    TAcceleratorResourceItem* AcceleratorTable()
    {
        auto* table = new TAcceleratorResourceItem(TResourceIdent("MAIN"));
        Module.Items()->Add(table);
        return table;
    }
    TResourceModule Module;
};
} // namespace

TEST_F(TableViews, FactoriesTakeTheirKindsOnly)
{
    TStringListResourceItem* strings = StringTable();
    TAcceleratorResourceItem* accelerators = AcceleratorTable();
    TTestItem other(TResourceIdent("OTHER"));
    EXPECT_EQ(ResourceItemViewDatabase()->Find(strings), TStringResourceItemViewFactory::ClassInfo());
    EXPECT_EQ(ResourceItemViewDatabase()->Find(accelerators), TAcceleratorResourceItemViewFactory::ClassInfo());
    EXPECT_EQ(ResourceItemViewDatabase()->Find(&other), nullptr);

    TStringResourceItemView empty;
    EXPECT_EQ(empty.GetCaption(), "String table") << "no item: no type name";
    EXPECT_EQ(Show<TStringResourceItemView>(strings)->GetCaption(), TStringListResourceItem::ResourceTypeName());
    EXPECT_EQ(Show<TAcceleratorResourceItemView>(accelerators)->GetCaption(), "Accelerator");
}

TEST_F(TableViews, StringTableListsIDsAndCaptionsAndFollowsChanges)
{
    TStringListResourceItem* table = StringTable();
    table->Strings()->AddID(1)->SetValue("Open");
    TResourceStringsString* bound = table->Strings()->AddID(17);
    bound->SetValue(QString::fromUtf8("Grüße, \"world\""));
    bound->ID()->SetIdentifier("IDS_GREETING");
    table->Strings()->AddID(65535)->SetValue(QString());

    auto view = Show<TStringResourceItemView>(table);
    QTreeView* list = view->ListViewStrings;
    EXPECT_EQ(Captions(list), QStringList({"ID", "Caption"}));
    EXPECT_EQ(Rows(list), QStringList({"1 | Open", QString::fromUtf8("IDS_GREETING | Grüße, \"world\""), "65535 | "}));
    EXPECT_GE(list->header()->sectionSize(1), 50);
    EXPECT_EQ(list->header()->sectionSize(0), 80);

    // Outside changes: a new string, a new text, a symbol renamed away, a string deleted.
    table->Strings()->AddID(2)->SetValue("Close");
    table->Strings()->Items(0)->SetValue("Open...");
    bound->ID()->SetIdentifier(QString());
    table->Strings()->Delete(table->Strings()->IndexOfID(65535));
    EXPECT_EQ(Rows(list), QStringList({"1 | Open...", QString::fromUtf8("17 | Grüße, \"world\""), "2 | Close"}));

    table->Strings()->Clear();
    EXPECT_EQ(list->model()->rowCount(), 0);
}

TEST_F(TableViews, StringListLetsGoOfAnItemThatGoesAway)
{
    TStringListResourceItem* table = StringTable();
    table->Strings()->AddID(5)->SetValue("five");
    auto view = Show<TStringResourceItemView>(table);
    ASSERT_EQ(Rows(view->ListViewStrings), QStringList({"5 | five"}));
    Module.Items()->Remove(table);
    EXPECT_EQ(view->ResourceItem(), nullptr);
    EXPECT_EQ(view->ListViewStrings->model()->rowCount(), 0) << "its rows would read freed strings";
    view->ListViewStrings->viewport()->repaint();
}

TEST_F(TableViews, AcceleratorTableListsCommandShortcutAndType)
{
    TAcceleratorResourceItem* table = AcceleratorTable();
    struct Entry {
        uint16_t command;
        const char* symbol;
        uint16_t shortcut;
        const char* row;
    } entries[] = {
        {100, "IDM_SAVE", uint16_t(atVirtualKey | atCtrl | 'S'), "IDM_SAVE | Ctrl+S | Virtual key"},
        {101, nullptr, uint16_t(atVirtualKey | atShift | atAlt | 0x70), "101 | Shift+Alt+F1 | Virtual key"},
        {102, nullptr, 1, "102 | Ctrl+A | ASCII key"},
        {103, nullptr, 'a', "103 | a | ASCII key"},
        {104, nullptr, atVirtualKey, "104 | (None) | Virtual key"},
    };
    QStringList expected;
    for (const Entry& e : entries) {
        TAcceleratorItem* entry = table->Accelerators()->Add();
        entry->Command()->SetOrdinalValue(e.command);
        if (e.symbol) entry->Command()->SetIdentifier(e.symbol);
        entry->SetShortcut(e.shortcut);
        expected << e.row;
    }
    auto view = Show<TAcceleratorResourceItemView>(table);
    QTreeWidget* list = view->ListViewAccelerators;
    EXPECT_EQ(Captions(list), QStringList({"Command", "Shortcut", "Type"}));
    EXPECT_EQ(Rows(list), expected);
    EXPECT_EQ(list->header()->sectionSize(0), 70);
    EXPECT_EQ(list->header()->sectionSize(2), 80);
    EXPECT_GE(list->header()->sectionSize(1), 100) << "the shortcut column's minimum";

    table->Accelerators()->Items(2)->SetAcceleratorType(atVirtual);
    table->Accelerators()->Delete(4);
    expected[2] = "102 | " + AcceleratorToText(table->Accelerators()->Items(2)->Shortcut()) + " | Virtual key";
    expected.removeLast();
    EXPECT_EQ(Rows(list), expected);
}

TEST_F(TableViews, ClicksAndKeysChangeNothing)
{
    TStringListResourceItem* strings = StringTable();
    for (uint32_t id = 1; id <= 3; ++id) strings->Strings()->AddID(id)->SetValue("s");
    TAcceleratorResourceItem* accelerators = AcceleratorTable();
    for (uint16_t key : {'A', 'B', 'C'}) accelerators->Accelerators()->Add()->SetShortcut(uint16_t(atVirtualKey | key));

    auto stringView = Show<TStringResourceItemView>(strings);
    auto acceleratorView = Show<TAcceleratorResourceItemView>(accelerators);
    for (QTreeView* list : {static_cast<QTreeView*>(stringView->ListViewStrings),
                            static_cast<QTreeView*>(acceleratorView->ListViewAccelerators)}) {
        const QStringList before = Rows(list);
        ClickAndType(list);
        ExpectUnselected(list, qPrintable(list->objectName()));
        EXPECT_EQ(Rows(list), before) << "no in-place editing";
        list->setCurrentIndex(list->model()->index(1, 0));
        list->selectAll();
        ExpectUnselected(list, qPrintable(list->objectName()));
    }
}

TEST_F(TableViews, FullStringTableShowsItsLastRow)
{
    // Every ID of a block range: rows are read from the table by index, as they are shown.
    TStringListResourceItem* table = StringTable();
    TResourceStrings* strings = table->Strings();
    {
        TUpdateGuard batch(table);
        for (uint32_t id = 0; id < 65536; ++id) strings->AddID(id)->SetValue(QString::number(id * 2));
    }
    auto view = Show<TStringResourceItemView>(table);
    QAbstractItemModel* model = view->ListViewStrings->model();
    ASSERT_EQ(model->rowCount(), 65536);
    EXPECT_EQ(model->index(65535, 0).data().toString(), "65535");
    EXPECT_EQ(model->index(65535, 1).data().toString(), "131070");
    EXPECT_FALSE(model->hasChildren(model->index(0, 0))) << "rows of a flat list hold nothing";
}
