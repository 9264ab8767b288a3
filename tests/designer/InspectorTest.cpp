// The object inspector driven through its own widgets: rows, sub-rows, typing and committing, lists,
// several objects at once, objects that go away, and values the objects refuse.
#include "InspectorSamples.h"

#include "designer/koDesignCollectionEditor.h"
#include "designer/koDesignObjectInspector.h"
#include "kinds/koResourceItemDialog.h"
#include "kinds/koResourceItemDialogControls.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "platform/Exceptions.h"
#include "shell/main.h"

#include <QScrollBar>

#include <QTest>
#include <gtest/gtest.h>

using namespace InspectorSamples;

namespace {
class Inspector : public ::testing::Test {
protected:
    void SetUp() override
    {
        Window = std::make_unique<QWidget>();
        Window->resize(320, 420);
        View = new TRunTimeObjectInspector(Window.get());
        View->setGeometry(0, 0, 320, 420);
        Window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
        Window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
        Previous = SetApplicationExceptionHandler([this](std::exception_ptr error) {
            try {
                std::rethrow_exception(error);
            } catch (const Exception& e) {
                Errors << e.Message();
            } catch (...) {
                Errors << QStringLiteral("?");
            }
        });
    }
    void TearDown() override
    {
        Window.reset();
        SetApplicationExceptionHandler(Previous);
    }

    QStringList RowNames() const
    {
        QStringList names;
        for (int i = 0; i < View->ItemCount(); ++i) names << View->Row(i)->Name();
        return names;
    }
    int RowOf(const QString& FullName) const { return View->RowOf(FullName); }
    QPoint NameCell(int Row) const { return View->NameRect(Row).center(); }
    QPoint ValueCell(int Row) const { return View->ValueRect(Row).center(); }
    // The box in front of a row's name that opens and closes it.
    QPoint ExpanderBox(int Row) const
    {
        const QRect name = View->NameRect(Row);
        return QPoint(name.left() + View->Row(Row)->Level() * View->FIndent + 4, name.center().y());
    }
    void Click(const QPoint& Pos) { QTest::mouseClick(View->viewport(), Qt::LeftButton, {}, Pos); }
    // As a person double-clicks: a click, then the double click.
    void DoubleClick(const QPoint& Pos)
    {
        Click(Pos);
        QTest::mouseDClick(View->viewport(), Qt::LeftButton, {}, Pos);
    }
    // Clicks the value cell of the row: the row is selected and its edit takes the typing.
    TRunTimeObjectInspectorEdit* Select(const QString& FullName)
    {
        const int row = RowOf(FullName);
        EXPECT_GE(row, 0) << FullName.toStdString();
        Click(NameCell(row));
        EXPECT_EQ(View->ItemIndex(), row);
        return View->Editor();
    }
    void Type(const QString& Text)
    {
        View->Editor()->selectAll();
        QTest::keyClicks(View->Editor(), Text);
    }
    void Key(int AKey) { QTest::keyClick(View->Editor(), Qt::Key(AKey)); }
    QString Shown(const QString& FullName) { return View->GetVisualValue(View->Row(RowOf(FullName))); }

    std::unique_ptr<QWidget> Window;
    TRunTimeObjectInspector* View = nullptr;
    QStringList Errors;
    TApplicationExceptionHandler Previous;
};
} // namespace

TEST_F(Inspector, RowsOpenAndCloseBySetsAndObjects)
{
    TInspectorSample sample;
    View->AddInstance(&sample, true);
    EXPECT_EQ(RowNames(), (QStringList{"Caption", "Child", "Color", "Count", "Fixed", "Kind", "Limit", "Options", "Visible"}));
    // The caption is where the selection starts.
    EXPECT_EQ(View->SelectedProperty()->Name(), "Caption");
    EXPECT_EQ(View->Editor()->text(), "Sample");

    // A set opens into one row per element, through the box in front of its name.
    const int options = RowOf("Options");
    Click(ExpanderBox(options));
    EXPECT_EQ(RowNames().mid(options, 4), (QStringList{"Options", "soAlpha", "soBeta", "soGamma"}));
    EXPECT_EQ(Shown("Options.soAlpha"), "False");
    EXPECT_EQ(Shown("Options.soBeta"), "True");
    EXPECT_EQ(View->Row(options + 1)->Level(), 1);
    Click(ExpanderBox(options));
    EXPECT_EQ(RowNames().size(), 9);

    // An object opens into its own properties by a double click on its name.
    const int child = RowOf("Child");
    DoubleClick(NameCell(child));
    EXPECT_EQ(RowNames().mid(child, 3), (QStringList{"Child", "Label", "Size"}));
    EXPECT_EQ(Shown("Child.Label"), "inner");
    DoubleClick(NameCell(child));
    EXPECT_EQ(RowNames().size(), 9);

    // A sub-row that was selected is selected again, its path opened, after a rebuild.
    DoubleClick(NameCell(child));
    Select("Child.Size");
    View->SetOptions(View->Options());
    EXPECT_EQ(View->SelectedProperty()->FullName(), "Child.Size");

    // A click below the last row selects the last row.
    Click(QPoint(10, View->viewport()->height() - 3));
    EXPECT_EQ(View->ItemIndex(), View->ItemCount() - 1);
}

TEST_F(Inspector, TypedValueCommitsWithEnterAndEscapeGoesBack)
{
    TInspectorSample sample;
    View->AddInstance(&sample, true);
    TRunTimeObjectInspectorEdit* edit = Select("Count");
    EXPECT_EQ(edit->text(), "3");
    Type("42");
    EXPECT_EQ(sample.CountWrites, 0);
    Key(Qt::Key_Return);
    EXPECT_EQ(sample.Count(), 42);
    EXPECT_EQ(sample.CountWrites, 1);
    EXPECT_EQ(edit->text(), "42");
    EXPECT_EQ(edit->selectedText(), "42");
    // Enter with the text unchanged commits nothing.
    Key(Qt::Key_Return);
    EXPECT_EQ(sample.CountWrites, 1);

    // Escape puts back the text shown before typing; a second Escape changes nothing.
    Type("7");
    EXPECT_EQ(edit->text(), "7");
    Key(Qt::Key_Escape);
    EXPECT_EQ(edit->text(), "42");
    Key(Qt::Key_Escape);
    EXPECT_EQ(edit->text(), "42");
    Select("Caption");
    EXPECT_EQ(sample.CountWrites, 1);
    EXPECT_EQ(sample.Count(), 42);

    // Leaving the row commits what was typed.
    Select("Count");
    Type("5");
    Select("Caption");
    EXPECT_EQ(sample.Count(), 5);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

TEST_F(Inspector, RefusedValueIsReportedAndTheRowShowsTheOldValue)
{
    TInspectorSample sample;
    View->AddInstance(&sample, true);
    // Text that does not convert, and a value the object refuses, by Enter and by leaving the row.
    const struct {
        const char* Row;
        const char* Text;
        bool ByEnter;
        const char* Old;
    } cases[] = {
        {"Count", "abc", true, "3"},
        {"Limit", "500", true, "10"},
        {"Count", "12x", false, "3"},
        {"Limit", "101", false, "10"},
        {"Kind", "skFourth", true, "skFirst"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        Errors.clear();
        TRunTimeObjectInspectorEdit* edit = Select(QString::fromLatin1(c.Row));
        Type(QString::fromLatin1(c.Text));
        if (c.ByEnter) Key(Qt::Key_Return);
        else Select("Caption");
        EXPECT_EQ(Errors.size(), 1);
        EXPECT_EQ(Shown(QString::fromLatin1(c.Row)), QString::fromLatin1(c.Old));
        if (c.ByEnter) {
            EXPECT_EQ(edit->text(), QString::fromLatin1(c.Old));
        }
    }
    EXPECT_EQ(sample.Count(), 3);
    EXPECT_EQ(sample.Limit(), 10);
    EXPECT_EQ(sample.CountWrites, 0);
    EXPECT_TRUE(Errors.last().contains("skFourth")) << Errors.last().toStdString();

    // The inspector keeps working after the errors.
    Select("Limit");
    Type("50");
    Key(Qt::Key_Return);
    EXPECT_EQ(sample.Limit(), 50);
}

TEST_F(Inspector, SeveralObjectsShowCommonRowsAndNothingHalfSetStays)
{
    TInspectorSample sample;
    TInspectorOther other;
    View->AddInstance(&sample, true);
    View->AddInstance(&other, false);
    EXPECT_EQ(View->InstanceCount(), 2);
    // Same name and type in both; Visible has another type in the other class.
    EXPECT_EQ(RowNames(), (QStringList{"Caption", "Count", "Limit"}));
    EXPECT_EQ(Shown("Caption"), "Sample");
    EXPECT_EQ(Shown("Count"), ""); // 3 and 5
    Select("Count");
    Type("9");
    Key(Qt::Key_Return);
    EXPECT_EQ(sample.Count(), 9);
    EXPECT_EQ(other.Count(), 9);
    EXPECT_EQ(Shown("Count"), "9");

    // Adding an inspected object again changes nothing; exclusively, it is left alone.
    View->AddInstance(&other, false);
    EXPECT_EQ(View->InstanceCount(), 2);
    View->AddInstance(&other, true);
    EXPECT_EQ(View->InstanceCount(), 1);
    EXPECT_TRUE(RowNames().contains("Count2"));

    // A value the second object refuses leaves the first one as it was.
    TInspectorSample first, second;
    second.MaxLimit = 20;
    View->AddInstance(&first, true);
    View->AddInstance(&second, false);
    Select("Limit");
    Type("50");
    Key(Qt::Key_Return);
    EXPECT_EQ(Errors.size(), 1);
    EXPECT_EQ(first.Limit(), 10);
    EXPECT_EQ(second.Limit(), 10);
    EXPECT_EQ(View->Editor()->text(), "10");
}

TEST_F(Inspector, DropDownListPicksAndDoubleClickCycles)
{
    TInspectorSample sample;
    View->AddInstance(&sample, true);
    TRunTimeObjectInspectorEdit* edit = Select("Kind");
    ASSERT_TRUE(edit->Button());
    ASSERT_TRUE(edit->Button()->isVisible());
    QTest::mouseClick(edit->Button(), Qt::LeftButton);
    TRunTimeObjectInspectorDropDownList* list = edit->DropDownList();
    ASSERT_TRUE(list);
    ASSERT_TRUE(list->isVisible());
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->currentItem()->text(), "skFirst");
    // Three entries, three entries high (plus the border).
    EXPECT_EQ(list->height(), 3 * list->MeasureEntryHeight("skFirst") + 2);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(2)).center());
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(sample.Kind(), skThird);
    EXPECT_EQ(edit->text(), "skThird");

    // With the list shown, Up moves in the list and Enter takes the entry.
    QTest::mouseClick(edit->Button(), Qt::LeftButton);
    ASSERT_TRUE(list->isVisible());
    QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(sample.Kind(), skSecond);
    // Escape closes the list and takes nothing.
    QTest::mouseClick(edit->Button(), Qt::LeftButton);
    QTest::keyClick(list, Qt::Key_Home);
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(sample.Kind(), skSecond);

    // A double click on a value with a list takes the next value, after the last the first.
    edit = Select("Visible");
    QTest::mouseDClick(edit, Qt::LeftButton);
    EXPECT_TRUE(sample.Visible());
    EXPECT_EQ(edit->text(), "True");
    QTest::mouseDClick(edit, Qt::LeftButton);
    EXPECT_FALSE(sample.Visible());
    // A read-only value does nothing.
    edit = Select("Fixed");
    EXPECT_TRUE(edit->isReadOnly());
    QTest::mouseDClick(edit, Qt::LeftButton);
    EXPECT_EQ(edit->text(), "7");
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

TEST_F(Inspector, TypingCompletesFromTheValueList)
{
    TInspectorSample sample;
    View->AddInstance(&sample, true);
    TRunTimeObjectInspectorEdit* edit = Select("Visible");
    edit->selectAll();
    QTest::keyClicks(edit, "t");
    EXPECT_EQ(edit->text(), "True");
    EXPECT_EQ(edit->selectedText(), "rue");
    edit = Select("Kind");
    edit->selectAll();
    QTest::keyClicks(edit, "sks");
    EXPECT_EQ(edit->text(), "skSecond");
    EXPECT_EQ(edit->selectedText(), "econd");
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), "skFirst");
    Key(Qt::Key_Return);
    EXPECT_EQ(sample.Kind(), skFirst);
}

TEST_F(Inspector, SearchEditFindsRowsByTheirFirstLetters)
{
    TInspectorSample sample;
    View->AddInstance(&sample, true);
    Select("Caption");
    Key(Qt::Key_Tab);
    ASSERT_TRUE(View->SearchEdit());
    EXPECT_TRUE(View->SearchEdit()->isVisible());
    QTest::keyClicks(View->SearchEdit(), "li");
    EXPECT_EQ(View->SelectedProperty()->Name(), "Limit");
    // Letters that begin no name change nothing.
    QTest::keyClicks(View->SearchEdit(), "q");
    EXPECT_EQ(View->SelectedProperty()->Name(), "Limit");
    QTest::keyClick(View->SearchEdit(), Qt::Key_Down);
    EXPECT_EQ(View->SelectedProperty()->Name(), "Options");
}

TEST_F(Inspector, DestroyedObjectsLeaveTheInspector)
{
    auto* sample = new TInspectorSample;
    auto* other = new TInspectorOther;
    View->AddInstance(sample, true);
    View->AddInstance(other, false);
    TRunTimeObjectInspectorEdit* edit = Select("Count");
    Type("77");
    // The edit's text is not written into anything: one object is half destroyed.
    delete other;
    EXPECT_EQ(View->InstanceCount(), 1);
    EXPECT_TRUE(RowNames().contains("Kind"));
    EXPECT_EQ(sample->Count(), 3);
    View->grab();
    // The last one goes: no rows, no edit, and painting is safe.
    Select("Child");
    DoubleClick(NameCell(RowOf("Child")));
    delete sample;
    EXPECT_EQ(View->InstanceCount(), 0);
    EXPECT_EQ(View->ItemCount(), 0);
    EXPECT_FALSE(edit->isVisible());
    View->grab();
    QTest::mouseMove(View->viewport(), QPoint(20, 20));
    Click(QPoint(20, 20));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

TEST_F(Inspector, NameColumnIsDraggedWithinItsLimits)
{
    TInspectorSample sample;
    View->AddInstance(&sample, true);
    View->setFixedWidth(200 + View->verticalScrollBar()->sizeHint().width());
    QTest::qWait(0);
    const int viewportWidth = View->viewport()->width();
    auto drag = [&](int x) {
        const int y = View->RowRect(0).center().y();
        QTest::mousePress(View->viewport(), Qt::LeftButton, {}, QPoint(View->NameBoundsWidth() + 1, y));
        QTest::mouseMove(View->viewport(), QPoint(x, y));
        QTest::mouseRelease(View->viewport(), Qt::LeftButton, {}, QPoint(x, y));
    };
    drag(10);
    EXPECT_EQ(View->NameBoundsWidth(), 32);
    drag(viewportWidth - 10);
    EXPECT_EQ(View->NameBoundsWidth(), viewportWidth - 48);
}

TEST_F(Inspector, DialogItemAndControlEditInPlace)
{
    koResourcesKinds_Initialize();
    koResourceItemDialog_Initialize();
    koResourceItemDialogControls_Initialize();
    {
        TResourceModule module;
        auto* dialog = new TDialogResourceItem(TResourceIdent::FromOrdinal(1));
        module.Items()->Add(dialog);
        dialog->SetCaption(QStringLiteral("About"));
        TDialogResourceItemControl* control = dialog->Items()->Add();
        control->SetControlClass(ccButton);

        View->AddInstance(dialog, true);
        const QStringList rows = RowNames();
        // Rows carry the names the item gives its properties.
        EXPECT_TRUE(rows.contains("Dialog Style")) << rows.join(',').toStdString();
        EXPECT_TRUE(rows.contains("Font"));
        EXPECT_EQ(View->SelectedProperty()->Name(), "Caption");
        // The dialog's font opens into its properties; its style set opens into elements.
        const int font = RowOf("Font");
        Click(ExpanderBox(font));
        EXPECT_GE(RowOf("Font.Name"), 0);
        EXPECT_GE(RowOf("Font.Style"), 0);
        const int style = RowOf("Dialog Style");
        Click(ExpanderBox(style));
        ASSERT_GE(RowOf("Dialog Style.ds_SetFont"), 0) << RowNames().join(',').toStdString();
        // A style bit is turned on and off by double clicks on its row's value.
        ASSERT_FALSE(dialog->DialogStyle().testFlag(DialogTypes::ds_Center));
        TRunTimeObjectInspectorEdit* edit = Select("Dialog Style.ds_Center");
        QTest::mouseDClick(edit, Qt::LeftButton);
        EXPECT_TRUE(dialog->DialogStyle().testFlag(DialogTypes::ds_Center));
        EXPECT_EQ(edit->text(), "True");
        EXPECT_TRUE(Shown("Dialog Style").contains("ds_Center")) << Shown("Dialog Style").toStdString();
        QTest::mouseDClick(edit, Qt::LeftButton);
        EXPECT_FALSE(dialog->DialogStyle().testFlag(DialogTypes::ds_Center));
        // The caption, typed and committed.
        Select("Caption");
        Type("Settings");
        Key(Qt::Key_Return);
        EXPECT_EQ(dialog->Caption(), "Settings");
        // Sizes are words in the template: a larger number is refused, not cut to 16 bits.
        dialog->SetHeight(125);
        Select("Height");
        Type("125130");
        Key(Qt::Key_Return);
        EXPECT_EQ(dialog->Height(), 125);
        EXPECT_EQ(Errors.size(), 1);
        Errors.clear();

        // The controls open in the collection editor from the row's button; adding one shows it here.
        edit = Select("Items");
        ASSERT_TRUE(edit->Button());
        QTest::mouseClick(edit->Button(), Qt::LeftButton);
        TRunTimeCollectionEditor* items = TRunTimeCollectionEditor::Find(dialog, QStringLiteral("Items"));
        ASSERT_TRUE(items);
        EXPECT_EQ(items->ListBoxItems->count(), 1);
        items->ActionAddItem->trigger();
        EXPECT_EQ(dialog->Items()->Count(), 2);
        EXPECT_EQ(View->Instance(), dialog->Items()->Item(1));
        delete items;

        // A control's class is picked from its list.
        View->AddInstance(control, true);
        edit = Select("Control Class");
        ASSERT_TRUE(edit->Button());
        QTest::mouseClick(edit->Button(), Qt::LeftButton);
        TRunTimeObjectInspectorDropDownList* list = edit->DropDownList();
        ASSERT_TRUE(list && list->isVisible());
        const auto found = list->findItems("ccEdit", Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
        EXPECT_EQ(control->ControlClass(), ccEdit);
        View->AddInstance(nullptr, true);
        EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    }
    koResourceItemDialogControls_Finalize();
    koResourceItemDialog_Finalize();
    koResourcesKinds_Finalize();
    koResourcesFiler_Finalize();
}

TEST_F(Inspector, SettingsObjectsEditInPlace)
{
    TAtelierFormMainSettings window(Window.get());
    TAtelierFolderSettings folders;
    View->AddInstance(&window, true);
    Select("Left");
    Type("120");
    Key(Qt::Key_Return);
    EXPECT_EQ(window.property("Left").toInt(), 120);
    View->AddInstance(&folders, true);
    EXPECT_TRUE(RowNames().contains("OpenHistory"));
    Select("LastFolder");
    Type("/tmp/x");
    Key(Qt::Key_Return);
    EXPECT_EQ(folders.property("LastFolder").toString(), "/tmp/x");
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}


TEST_F(Inspector, LongValueShowsItsStartAllSelected)
{
    TInspectorSample sample;
    const QString caption = QStringLiteral("Start of a caption far wider than the value column of the inspector");
    sample.SetCaption(caption);
    View->AddInstance(&sample, true);
    TRunTimeObjectInspectorEdit* edit = Select("Caption");
    EXPECT_EQ(edit->text(), caption);
    EXPECT_EQ(edit->selectedText(), caption);
    EXPECT_EQ(edit->cursorPosition(), 0);
    // Typing still replaces the whole value; after the commit the new one shows its start too.
    const QString typed = QStringLiteral("Another caption far wider than the value column of the inspector");
    Type(typed);
    Key(Qt::Key_Return);
    EXPECT_EQ(sample.Caption(), typed);
    EXPECT_EQ(edit->selectedText(), typed);
    EXPECT_EQ(edit->cursorPosition(), 0);
}
