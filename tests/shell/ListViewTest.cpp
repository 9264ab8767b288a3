#include "shell/koListView.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

struct TEnd {
    QString Value;
    bool Accept;
};

// A form with a list of three columns and a second control to take the focus; the list's key-down
// event follows the editors' protocol (Enter commits, Escape reverts), as the table editors do.
class TListForm {
public:
    TListForm(int rows = 3)
    {
        auto* layout = new QVBoxLayout(&Form);
        List = new TListView(&Form);
        Other = new QLineEdit(&Form);
        layout->addWidget(List);
        layout->addWidget(Other);
        List->setColumnCount(3);
        List->setHeaderLabels({"Name", "Value", "Comment"});
        for (int i = 0; i < rows; ++i)
            new QTreeWidgetItem(List, {QStringLiteral("name%1").arg(i), QStringLiteral("value%1").arg(i),
                                       QStringLiteral("comment%1").arg(i)});
        List->OnKeyDown = [this](QObject*, int& key, Qt::KeyboardModifiers) {
            Keys << key;
            if (key == Qt::Key_Return) {
                List->EndEdit(true);
                key = 0;
            } else if (key == Qt::Key_Escape) {
                List->EndEdit(false);
                key = 0;
            } else if (key == ZeroedKey) {
                key = 0;
            }
        };
        List->OnBeginEdit = [this](QObject* sender, QTreeWidgetItem* item, int column, bool& accept) {
            EXPECT_EQ(sender, List);
            BeginColumns << column;
            EditedItem = item;
            accept = Accept;
        };
        List->OnEndEdit = [this](const QString& value, bool accept) {
            Ends.push_back({value, accept});
            if (accept) EditedItem->setText(BeginColumns.last(), value);
        };
        Form.resize(400, 300);
        Form.show();
        QApplication::setActiveWindow(&Form);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&Form));
        List->setFocus();
    }

    // A running edit ends when the form takes the focus away on its way out; the fixture's fields are
    // gone by then.
    ~TListForm()
    {
        List->OnEndEdit = nullptr;
        List->OnKeyDown = nullptr;
    }

    QTreeWidgetItem* Item(int row) { return List->topLevelItem(row); }
    QWidget* EditorControl() { return List->Editor() ? List->Editor()->GetControl() : nullptr; }

    QWidget Form;
    TListView* List;
    QLineEdit* Other;
    QList<int> Keys;
    QList<int> BeginColumns;
    std::vector<TEnd> Ends;
    QTreeWidgetItem* EditedItem = nullptr;
    bool Accept = true;
    int ZeroedKey = -1;
};

TEST(ListView, InPlaceEditCommitsWithEnterAndRevertsWithEscape)
{
    TListForm form;
    ASSERT_TRUE(form.List->EditColumn(form.Item(1), 1));
    QPointer<QWidget> control = form.EditorControl();
    auto* edit = qobject_cast<QLineEdit*>(control.data());
    ASSERT_TRUE(edit);
    EXPECT_TRUE(edit->isVisible());
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(edit->text(), "value1");
    EXPECT_EQ(edit->cursorPosition(), edit->text().size()); // caret under the cell's right edge

    // Laid over the cell, its text where the cell's text stands.
    QRect cell;
    ASSERT_TRUE(form.List->GetColumnRect(form.Item(1), 1, cell));
    EXPECT_TRUE(edit->geometry().contains(cell.center())) << edit->geometry().x() << "," << cell.x();
    EXPECT_LE(std::abs(edit->geometry().center().y() - cell.center().y()), 1);
    edit->setCursorPosition(0);
    const int caretX = edit->mapTo(form.List->viewport(), edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center()).x();
    const int margin = form.List->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, form.List) + 1;
    EXPECT_LE(std::abs(caretX - (cell.left() + margin)), 2) << caretX << " vs " << cell.left() + margin;

    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, "forty-two");
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_EQ(form.Ends.size(), 1u);
    EXPECT_EQ(form.Ends[0].Value, "forty-two");
    EXPECT_TRUE(form.Ends[0].Accept);
    EXPECT_EQ(form.List->Editor(), nullptr);
    EXPECT_FALSE(edit->isVisible());
    EXPECT_TRUE(form.List->hasFocus());
    EXPECT_EQ(form.Item(1)->text(1), "forty-two");

    // The default editor frees itself after the event that let it go.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(control.isNull());

    ASSERT_TRUE(form.List->EditItem(form.Item(2)));
    EXPECT_EQ(form.BeginColumns.last(), 0);
    auto* second = qobject_cast<QLineEdit*>(form.EditorControl());
    ASSERT_TRUE(second);
    QTest::keyClicks(second, "zzz");
    QTest::keyClick(second, Qt::Key_Escape);
    ASSERT_EQ(form.Ends.size(), 2u);
    EXPECT_FALSE(form.Ends[1].Accept);
    EXPECT_EQ(form.Item(2)->text(0), "name2");
    EXPECT_FALSE(second->isVisible());
}

TEST(ListView, EditAtFindsTheColumnAndAsksFirst)
{
    TListForm form;
    QTreeWidgetItem* item = form.Item(0);
    ASSERT_TRUE(form.List->EditAt(item, -500)); // left of the row: the caption
    EXPECT_EQ(form.BeginColumns.last(), 0);
    ASSERT_TRUE(form.List->EditAt(item, 100000)); // far right: the last column
    EXPECT_EQ(form.BeginColumns.last(), 2);
    // Starting another edit drops the running one without an end.
    EXPECT_TRUE(form.Ends.empty());
    QRect middle;
    ASSERT_TRUE(form.List->GetColumnRect(item, 1, middle));
    ASSERT_TRUE(form.List->EditAt(item, middle.center().x()));
    EXPECT_EQ(form.BeginColumns.last(), 1);
    EXPECT_EQ(form.List->GetColumnAt(middle.center()), 1);
    int row = -1, column = -1;
    EXPECT_TRUE(form.List->GetIndexesAt(middle.center(), row, column));
    EXPECT_EQ(row, 0);
    EXPECT_EQ(column, 1);
    EXPECT_EQ(form.List->GetColumnAt(QPoint(5, form.List->viewport()->height() - 2)), -1);
    form.List->header()->setStretchLastSection(false);
    form.List->header()->resizeSection(2, 40);
    EXPECT_EQ(form.List->GetColumnAt(QPoint(form.List->viewport()->width() - 2, middle.center().y())), 0);
    EXPECT_FALSE(form.List->GetIndexesAt(QPoint(5, form.List->viewport()->height() - 2), row, column));
    EXPECT_TRUE(form.Ends.empty());

    form.List->EndEdit(false); // ends with the current text, not accepted
    ASSERT_EQ(form.Ends.size(), 1u);
    EXPECT_EQ(form.Ends[0].Value, "value0");
    EXPECT_FALSE(form.Ends[0].Accept);

    form.Accept = false;
    EXPECT_FALSE(form.List->EditItem(item));
    EXPECT_EQ(form.List->Editor(), nullptr);
    EXPECT_FALSE(form.List->EditItem(nullptr));
}

TEST(ListView, ScrollingAndLeavingTheEditorCommit)
{
    TListForm form(100);
    ASSERT_TRUE(form.List->EditColumn(form.Item(0), 2));
    QWidget* control = form.EditorControl();
    QTest::keyClicks(control, "!");
    form.List->verticalScrollBar()->setValue(10);
    ASSERT_EQ(form.Ends.size(), 1u);
    EXPECT_EQ(form.Ends[0].Value, "comment0!");
    EXPECT_TRUE(form.Ends[0].Accept);
    EXPECT_FALSE(control->isVisible());

    // The focus moving to another control commits.
    ASSERT_TRUE(form.List->EditColumn(form.Item(12), 1));
    form.Other->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(form.Ends.size(), 2u);
    EXPECT_TRUE(form.Ends[1].Accept);
    EXPECT_EQ(form.List->Editor(), nullptr);

    // A locked edit survives its window losing the focus, but not the focus moving on.
    form.List->setFocus();
    ASSERT_TRUE(form.List->EditColumn(form.Item(12), 1));
    auto* edit = dynamic_cast<TListViewEdit*>(form.List->Editor().get());
    ASSERT_TRUE(edit);
    edit->SetLockEditState(true);
    QFocusEvent deactivated(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(edit, &deactivated);
    EXPECT_EQ(form.Ends.size(), 2u);
    EXPECT_NE(form.List->Editor(), nullptr);
    form.List->resize(form.List->width() - 10, form.List->height());
    EXPECT_EQ(form.Ends.size(), 3u);
    EXPECT_EQ(form.List->Editor(), nullptr);
}

TEST(ListView, EditorKeysReachTheListFirst)
{
    TListForm form;
    form.ZeroedKey = Qt::Key_X;
    ASSERT_TRUE(form.List->EditColumn(form.Item(0), 0));
    QWidget* control = form.EditorControl();
    form.Keys.clear();
    QTest::keyClicks(control, "aXb");
    form.ZeroedKey = Qt::Key_Tab;
    QTest::keyClick(control, Qt::Key_Tab);
    EXPECT_EQ(form.Keys, QList<int>({Qt::Key_A, Qt::Key_X, Qt::Key_B, Qt::Key_Tab}));
    // A taken Tab neither types nor moves the focus.
    EXPECT_TRUE(control->hasFocus());
    EXPECT_EQ(form.List->Editor()->GetText(), "name0ab");

    // Without an editor the list's own key-down sees the keys too.
    form.List->EndEdit(true);
    form.Keys.clear();
    QTest::keyClick(form.List, Qt::Key_Down);
    EXPECT_EQ(form.Keys, QList<int>({Qt::Key_Down}));
}

TEST(ListView, SecondClickOnSelectedRowAsksForEdit)
{
    TListForm form;
    struct TClick {
        QTreeWidgetItem* Item;
        int Column, X, Y;
    };
    std::vector<TClick> clicks;
    form.List->OnEditClick = [&](QTreeWidgetItem* item, int column, int x, int y) {
        clicks.push_back({item, column, x, y});
    };
    QRect cell;
    ASSERT_TRUE(form.List->GetColumnRect(form.Item(1), 2, cell));
    QWidget* viewport = form.List->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, cell.center());
    EXPECT_TRUE(form.Item(1)->isSelected());
    EXPECT_TRUE(clicks.empty());
    QTest::mouseClick(viewport, Qt::LeftButton, {}, cell.center());
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].Item, form.Item(1));
    EXPECT_EQ(clicks[0].Column, 2);
    EXPECT_EQ(QPoint(clicks[0].X, clicks[0].Y), cell.center());

    // Another row: selected first, no request.
    QRect other;
    ASSERT_TRUE(form.List->GetColumnRect(form.Item(2), 0, other));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, other.center());
    EXPECT_EQ(clicks.size(), 1u);
}

TEST(ListView, SortArrowStaysThroughColumnResize)
{
    TListForm form;
    QHeaderView* header = form.List->header();
    form.List->SetColumnSortIndicator(1, siSortUp);
    header->resizeSection(0, header->sectionSize(0) + 40);
    header->resizeSection(1, header->sectionSize(1) - 10);
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(header->sortIndicatorSection(), 1);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    form.List->SetColumnSortIndicator(1, siSortDown);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    form.List->SetColumnSortIndicator(0, siNone); // another column: nothing changes
    EXPECT_EQ(header->sortIndicatorSection(), 1);
    form.List->SetColumnSortIndicator(1, siNone);
    EXPECT_EQ(header->sortIndicatorSection(), -1);
    EXPECT_EQ(form.Item(0)->text(0), "name0"); // the arrow sorts nothing
}

TEST(ListView, ComboEditorFromTheClient)
{
    TListForm form;
    std::shared_ptr<TListViewCombo> combo;
    form.List->OnGetEditor = [&](QTreeWidgetItem*, int column, IListViewEditorPtr& editor) {
        if (column != 1) return;
        combo = TListViewCombo::Create(nullptr);
        combo->addItems({"value0", "value1", "other"});
        editor = combo;
    };
    ASSERT_TRUE(form.List->EditColumn(form.Item(0), 1));
    ASSERT_EQ(form.List->Editor(), combo);
    EXPECT_EQ(combo->parentWidget(), form.List->viewport());
    EXPECT_TRUE(combo->isVisible());
    EXPECT_EQ(combo->currentText(), "value0");

    combo->resize(120, combo->height());
    combo->showPopup();
    EXPECT_GE(combo->view()->window()->width(), 180);
    combo->hidePopup();
    EXPECT_NE(form.List->Editor(), nullptr); // the list opening and closing ends nothing

    form.Keys.clear();
    QTest::keyClick(combo.get(), Qt::Key_Down);
    QTest::keyClick(combo.get(), Qt::Key_Return);
    EXPECT_EQ(form.Keys, QList<int>({Qt::Key_Down, Qt::Key_Return}));
    ASSERT_EQ(form.Ends.size(), 1u);
    EXPECT_EQ(form.Ends[0].Value, "value1");
    EXPECT_TRUE(form.Ends[0].Accept);
    EXPECT_FALSE(combo->isVisible());

    // Another column gets the default edit.
    ASSERT_TRUE(form.List->EditColumn(form.Item(0), 2));
    EXPECT_TRUE(qobject_cast<TListViewEdit*>(form.EditorControl()));
}

} // namespace
