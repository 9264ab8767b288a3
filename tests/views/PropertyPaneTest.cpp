// The property pane on real items: binding and its one module subscription, and the resource editors
// as the inspector uses them (values shown, lists offered, text set, refusals).
#include "designer/koDesignInterface.h"
#include "designer/koDesignObjectInspector.h"
#include "kinds/koResourceItemAccelerator.h"
#include "kinds/koResourceItemBitmap.h"
#include "kinds/koResourceItemDialog.h"
#include "model/koResourcesIdentifier.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/Exceptions.h"
#include "views/AtelierAcceleratorPropertyEditors.h"
#include "views/AtelierFrameObjectInspector.h"
#include "views/AtelierPropertyEditors.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class PropertyPane : public ::testing::Test {
protected:
    void SetUp() override
    {
        FPreviousProc = RegisterPropertyEditorProc();
        AtelierFrameObjectInspector_Initialize();
        Pane = std::make_unique<TFramePropertyInspector>();
    }
    void TearDown() override
    {
        Pane.reset();
        RegisterPropertyEditorProc() = FPreviousProc;
    }
    // A fresh editor for the row of the inspected instances' property (a dotted path opens sub-rows).
    std::shared_ptr<TRunTimePropertyEditor> Editor(const QString& Path)
    {
        TRunTimeObjectInspector* inspector = Pane->Inspector();
        inspector->ExpandPath(Path);
        const int row = inspector->RowOf(Path);
        EXPECT_GE(row, 0) << Path.toStdString();
        return row < 0 ? nullptr : inspector->MakePropertyEditor(inspector->Row(row));
    }
    void Inspect(TCustomResourceItem* Item, QObject* Instance = nullptr)
    {
        Pane->SetResourceItem(Item);
        Pane->AddInstance(Instance ? Instance : Item, true);
    }
    std::unique_ptr<TFramePropertyInspector> Pane;
    TRegisterPropertyEditorProc FPreviousProc;
};

TEST_F(PropertyPane, BindsAcrossModulesAndKeepsOneSubscription)
{
    TResourceModule first, second;
    auto* a = new TDialogResourceItem(TResourceIdent::FromOrdinal(1));
    auto* b = new TDialogResourceItem(TResourceIdent::FromOrdinal(2));
    auto* c = new TDialogResourceItem(TResourceIdent::FromOrdinal(3));
    first.Items()->Add(a);
    first.Items()->Add(b);
    second.Items()->Add(c);

    // Unbound: nothing to let go of, nothing asserted; adding needs an item.
    EXPECT_NO_THROW(Pane->SetResourceItem(nullptr));
    EXPECT_NO_THROW(Pane->RemoveInstance(nullptr));
    EXPECT_THROW(Pane->AddInstance(a, true), EAssertionFailed);

    Inspect(a);
    EXPECT_EQ(Pane->SubscribedModule(), &first);
    EXPECT_EQ(Pane->Inspector()->Instance(), a);
    Inspect(b); // same module: the subscription stays
    EXPECT_EQ(Pane->SubscribedModule(), &first);
    EXPECT_EQ(Pane->ResourceItem(), b);
    // Straight to another module: bound to the new item, subscribed to its module only.
    Inspect(c);
    EXPECT_EQ(Pane->ResourceItem(), c);
    EXPECT_EQ(Pane->SubscribedModule(), &second);
    EXPECT_EQ(Pane->Inspector()->Instance(), c);
    Pane->SetResourceItem(nullptr);
    EXPECT_EQ(Pane->SubscribedModule(), nullptr);
    EXPECT_EQ(Pane->Inspector()->InstanceCount(), 0);

    // An item without a module is a caller's error.
    TDialogResourceItem loose(TResourceIdent::FromOrdinal(9));
    EXPECT_THROW(Pane->SetResourceItem(&loose), EAssertionFailed);
}

TEST_F(PropertyPane, ModuleGoingAwayUnbindsAndLastReleaseClears)
{
    {
        TResourceModule module;
        auto* dialog = new TDialogResourceItem(TResourceIdent::FromOrdinal(1));
        module.Items()->Add(dialog);
        Inspect(dialog);
        ASSERT_EQ(Pane->SubscribedModule(), &module);
    }
    EXPECT_EQ(Pane->ResourceItem(), nullptr);
    EXPECT_EQ(Pane->SubscribedModule(), nullptr);

    TResourceModule module;
    auto* dialog = new TDialogResourceItem(TResourceIdent::FromOrdinal(1));
    module.Items()->Add(dialog);
    Pane->AddRef();
    Inspect(dialog);
    Pane->AddRef();
    Pane->Release();
    EXPECT_EQ(Pane->ResourceItem(), dialog);
    Pane->Release();
    EXPECT_EQ(Pane->ResourceItem(), nullptr);
    EXPECT_THROW(Pane->Release(), EAssertionFailed);
}

TEST_F(PropertyPane, ChangesFromElsewhereShowInThePane)
{
    TResourceModule module;
    auto* dialog = new TDialogResourceItem(TResourceIdent::FromOrdinal(1));
    module.Items()->Add(dialog);
    Inspect(dialog);
    TRunTimeObjectInspector* inspector = Pane->Inspector();
    inspector->SelectRow(inspector->RowOf("Caption"));
    ASSERT_EQ(inspector->SelectedProperty()->Name(), "Caption");
    // The open in-place edit is refreshed by the module's change notification.
    dialog->SetCaption("Changed elsewhere");
    EXPECT_EQ(inspector->Editor()->text(), "Changed elsewhere");
}

TEST_F(PropertyPane, EnterReturnsTheFocusUnlessThePaneWasClicked)
{
    TResourceModule module;
    auto* dialog = new TDialogResourceItem(TResourceIdent::FromOrdinal(1));
    module.Items()->Add(dialog);
    QWidget window;
    auto* other = new QLineEdit(&window);
    Pane->setParent(&window);
    Pane->move(0, 40);
    window.resize(300, 400);
    window.show();
    QApplication::setActiveWindow(&window);
    Inspect(dialog);
    TRunTimeObjectInspector* inspector = Pane->Inspector();
    inspector->SelectRow(inspector->RowOf("Caption"));
    auto enter = [&] {
        QTest::keyClick(inspector->Editor(), Qt::Key_Return);
        QCoreApplication::processEvents();
    };

    other->setFocus();
    Pane->Activate();
    QCoreApplication::processEvents();
    EXPECT_EQ(Pane->FocusReturn(), other);
    EXPECT_TRUE(inspector->isAncestorOf(QApplication::focusWidget()) || QApplication::focusWidget() == inspector);
    enter();
    EXPECT_EQ(QApplication::focusWidget(), other);

    Pane->Activate();
    QCoreApplication::processEvents();
    QTest::mouseClick(inspector->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(Pane->FocusReturn(), nullptr);
    inspector->SelectRow(inspector->RowOf("Caption"));
    inspector->Editor()->setFocus();
    enter();
    EXPECT_NE(QApplication::focusWidget(), other);
    Pane->setParent(nullptr);
}

TEST_F(PropertyPane, HexStylesLanguagesAndTheirRefusals)
{
    TResourceModule module;
    auto* dialog = new TDialogResourceItem(TResourceIdent::FromOrdinal(1));
    module.Items()->Add(dialog);
    dialog->SetStyle(255);
    Inspect(dialog);

    auto style = Editor("Style");
    ASSERT_TRUE(style);
    EXPECT_EQ(style->GetValue(), "0x000000FF");
    for (const char* text : {"0X1F", "$1F", "31"}) {
        dialog->SetStyle(0);
        style->SetValue(text);
        EXPECT_EQ(dialog->Style(), 31u) << text;
    }
    style->SetValue("0x80C80000");
    EXPECT_EQ(dialog->Style(), 0x80C80000u);
    EXPECT_EQ(style->GetValue(), "0x80C80000");
    EXPECT_THROW(style->SetValue("zz"), EConvertError);
    EXPECT_EQ(dialog->Style(), 0x80C80000u);

    auto language = Editor("Language");
    ASSERT_TRUE(language);
    QStringList values;
    language->GetValues(values);
    ASSERT_GT(values.size(), 10);
    EXPECT_EQ(values.first(), "(Language neutral)");
    EXPECT_TRUE(std::is_sorted(values.begin() + 1, values.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    }));
    struct {
        const char* Text;
        uint16_t Expected;
    } const languages[] = {{"english (united states)", 0x0409}, {"(LANGUAGE NEUTRAL)", 0}, {"1031", 1031}, {"no such", 0}};
    for (const auto& c : languages) {
        dialog->SetLanguage(TLanguageID(0x0407));
        language->SetValue(c.Text);
        EXPECT_EQ(dialog->Language().Value, c.Expected) << c.Text;
    }
    EXPECT_EQ(language->GetValue(), "Language neutral");
}

TEST_F(PropertyPane, NamesAndSymbols)
{
    TResourceModule module;
    auto* first = new TDialogResourceItem(TResourceIdent::FromOrdinal(1));
    auto* second = new TDialogResourceItem(TResourceIdent::FromOrdinal(2));
    module.Items()->Add(first);
    module.Items()->Add(second);
    TResourceSymbol* main = module.Symbols()->Add("IDD_MAIN");
    main->SetValue(100);
    TResourceSymbol* hidden = module.Symbols()->Add("IDD_HIDDEN");
    hidden->SetValue(101);
    hidden->SetHidden(true);
    Inspect(second);

    auto id = Editor("ID");
    ASSERT_TRUE(id);
    QStringList values;
    id->GetValues(values);
    EXPECT_TRUE(values.contains("IDD_MAIN"));
    EXPECT_FALSE(values.contains("IDD_HIDDEN"));
    // A name another dialog has is refused with the model's message; the old name stays.
    try {
        id->SetValue("1");
        ADD_FAILURE() << "a duplicate name was taken";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "An item with the specified name already exist.");
    }
    EXPECT_EQ(second->ID()->ID(), "2");
    id->SetValue("IDD_MAIN");
    EXPECT_EQ(second->ID()->Identifier(), "IDD_MAIN");
    EXPECT_EQ(second->Name(), TResourceIdent::FromOrdinal(100));
    EXPECT_EQ(id->GetValue(), "IDD_MAIN");

    Inspect(first);
    auto identifier = Editor("ID.Identifier");
    ASSERT_TRUE(identifier);
    values.clear();
    identifier->GetValues(values);
    EXPECT_TRUE(values.contains("IDD_MAIN (100)")) << values.join(',').toStdString();
    EXPECT_FALSE(values.filter("IDD_HIDDEN").size());
    // Binding the first dialog to IDD_MAIN would give it the second dialog's name: refused, name kept.
    EXPECT_THROW(identifier->SetValue("IDD_MAIN (100)"), Exception);
    EXPECT_EQ(first->Name(), TResourceIdent::FromOrdinal(1));
}

TEST_F(PropertyPane, ColorDepthsOfferedAndSet)
{
    TResourceModule module;
    auto* bitmap = new TBitmapResourceItem(TResourceIdent::FromOrdinal(1));
    module.Items()->Add(bitmap);
    bitmap->SetWidth(4);
    bitmap->SetHeight(4);
    bitmap->SetColorDepth(24);
    Inspect(bitmap);
    auto depth = Editor("Color Depth");
    ASSERT_TRUE(depth);
    EXPECT_EQ(depth->GetValue(), "24 bits");
    QStringList values;
    depth->GetValues(values);
    QStringList expected;
    for (int d = 1; d <= 32; ++d)
        if (bitmap->SupportedColorDepths().Contains(d)) expected << QStringLiteral("%1 bits").arg(d);
    EXPECT_EQ(values, expected);
    struct {
        const char* Text;
        int Expected;
    } const cases[] = {{"8 BITS", 8}, {"16", 8}, {"16 bits", 8}, {"junk", 8}, {"4", 4}, {"260", 4}};
    for (const auto& c : cases) {
        EXPECT_NO_THROW(depth->SetValue(c.Text));
        EXPECT_EQ(bitmap->ColorDepth(), c.Expected) << c.Text;
    }
}

// An entry's Shortcut row takes the shortcut editor: shown, typed and picked as key names, keeping
// the entry's kind.
TEST_F(PropertyPane, AcceleratorShortcutRow)
{
    TResourceModule module;
    auto* table = new TAcceleratorResourceItem(TResourceIdent::FromOrdinal(3));
    module.Items()->Add(table);
    TAcceleratorItem* entry = table->Accelerators()->Add();
    entry->SetShortcut(TAccelerator(atVirtualKey | atCtrl | 'S'));
    Inspect(table, entry);
    auto editor = Editor("Shortcut");
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->ClassType(), TResourceItemAcceleratorProperty::ClassInfo());
    EXPECT_EQ(editor->GetVisualValue(), "Ctrl+S");
    editor->SetValue("Shift+F1");
    EXPECT_EQ(entry->AcceleratorType(), atVirtual);
    EXPECT_EQ(editor->GetVisualValue(), "Shift+F1");
    EXPECT_EQ(Pane->Inspector()->GetVisualValue(Pane->Inspector()->Row(Pane->Inspector()->RowOf("Shortcut"))), "Shift+F1");
}

TEST_F(PropertyPane, AcceleratorShortcutList)
{
    TResourceItemAcceleratorProperty editor(Pane->Inspector(), 0);
    QStringList values;
    editor.GetValues(values);
    ASSERT_EQ(values.size(), 109);
    const std::pair<int, const char*> expected[] = {{0, "(None)"},    {1, "Ctrl+A"},        {26, "Ctrl+Z"},
                                                    {27, "Ctrl+Alt+A"}, {53, "F1"},          {65, "Ctrl+F1"},
                                                    {77, "Shift+F1"},  {89, "Shift+Ctrl+F1"}, {101, "Ins"},
                                                    {103, "Ctrl+Ins"}, {106, "Ctrl+Del"},    {108, "Shift+Alt+BkSp"}};
    for (const auto& [index, text] : expected) EXPECT_EQ(values[index], text) << index;
}

} // namespace
