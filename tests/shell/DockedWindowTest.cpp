// The main window as it ships: shown, its workspace docked into the window's dock host, the focus where
// a person leaves it. Commands that replace the module or the editor while that editor has the focus
// once crashed the program here.
#include "../model/TestKinds.h"
#include "MainWindowTesting.h"
#include "editors/koAtelierBinary.h"
#include "model/koResourceModulePE.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourceModuleRes.h"
#include "model/koResources.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesMessages.h"
#include "model/koResourcesModule.h"
#include "shell/koAtelier.h"
#include "shell/koAtelierFrame.h"
#include "shell/koConfigurationService.h"
#include "shell/main.h"
#include "views/koResourceViewGeneric.h"

#include <QApplication>
#include <QDockWidget>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QTest>
#include <deque>
#include <gtest/gtest.h>

namespace {



class DockedWindow : public ::testing::Test {
public:
    void SetUp() override
    {
        auto prompts = std::make_unique<TScriptedPrompts>();
        Prompts = prompts.get();
        Form = std::make_unique<TFormMain>(std::move(prompts));
        ResFile = Dir.filePath(QStringLiteral("first.res"));
        WritePayloadRes(ResFile, 3);
        OtherResFile = Dir.filePath(QStringLiteral("second.res"));
        WritePayloadRes(OtherResFile, 2);
        Form->show();
        Form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
        Settle();
    }
    void TearDown() override
    {
        if (Form) {
            Prompts->Answers = {IMainFormPrompts::paNo};
            Form->close();
        }
        Form.reset();
        Settle();
    }

    TFrameAtelier* Frame() const { return Form->FrameAtelier(); }
    TCustomResourceModule* Module() const { return Frame()->ResourceModule(); }

    // Selects the first resource as a click in the tree does, then clicks into its editor and types
    // there: the editor has the focus and the module has changed.
    QWidget* FocusEditorAndType()
    {
        TCustomResourceItem* item = Module()->Items()->Items(0);
        Frame()->SelectResourceItem(item);
        Settle();
        if (Frame()->SelectPending()) Frame()->TimerSelectTimer();
        Settle();
        EXPECT_EQ(Frame()->EditResourceItem(), item);
        IResourceItemEditorPtr editor = Frame()->GetResourceItemEditor();
        if (!editor) return nullptr;
        QWidget* control = editor->GetControl();
        QWidget* target = control->focusProxy() ? control->focusProxy() : control;
        for (QWidget* child : control->findChildren<QWidget*>())
            if (child->focusPolicy() & Qt::ClickFocus) target = child;
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(target->width() / 2, 8));
        target->setFocus(Qt::MouseFocusReason);
        Settle();
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("41"));
        Settle();
        return QApplication::focusWidget();
    }

    TMainWindowUnits Units;
    QTemporaryDir Dir;
    QString ResFile, OtherResFile;
    TScriptedPrompts* Prompts = nullptr;
    std::unique_ptr<TFormMain> Form;
};

struct TCommandCase {
    const char* Name;
    std::function<void(DockedWindow&)> Run;
    // What the window shows afterwards: the file name, or empty for a new module.
    std::function<QString(DockedWindow&)> ExpectedFile;
};

class DockedWindowCommand : public DockedWindow, public ::testing::WithParamInterface<TCommandCase> {};

TEST_P(DockedWindowCommand, RunsWhileAnEditorHasTheFocus)
{
    const TCommandCase& command = GetParam();
    Form->LoadFile(ResFile);
    Settle();
    QPointer<QWidget> focused = FocusEditorAndType();
    ASSERT_TRUE(focused);
    ASSERT_TRUE(Frame()->isAncestorOf(focused) || Form->isAncestorOf(focused));
    command.Run(*this);
    Settle();
    if (!Form) return; // closed and gone without a crash
    // The window survived and shows what the command asked for; the focus is on a live widget.
    if (command.ExpectedFile) {
        EXPECT_EQ(Form->Filename(), command.ExpectedFile(*this));
    }
    EXPECT_TRUE(Prompts->Errors.isEmpty()) << Prompts->Errors.join('\n').toStdString();
    if (QWidget* focus = QApplication::focusWidget()) {
        EXPECT_TRUE(focus->isVisible() || !focus->window()->isVisible());
    }
    // The workspace keeps working: another selection attaches a view and an editor again.
    if (Form->isVisible() && Module()->Items()->Count() > 0) {
        FocusEditorAndType();
        EXPECT_TRUE(Frame()->GetResourceItemView());
    }
}

QAction* FirstActionOf(QMenu* menu)
{
    const QList<QAction*> actions = menu->actions();
    for (QAction* action : actions)
        if (!action->isSeparator() && !action->isChecked()) return action;
    return actions.isEmpty() ? nullptr : actions.front();
}

INSTANTIATE_TEST_SUITE_P(
    Commands, DockedWindowCommand,
    ::testing::Values(
        TCommandCase{"New",
                     [](DockedWindow& t) {
                         t.Prompts->Answers = {IMainFormPrompts::paNo};
                         t.Form->Action("ActionFileNewModule")->trigger();
                     },
                     [](DockedWindow&) { return QString(); }},
        TCommandCase{"OpenThroughTheDialog",
                     [](DockedWindow& t) {
                         t.Prompts->Answers = {IMainFormPrompts::paNo};
                         t.Prompts->OpenName = t.OtherResFile;
                         t.Form->Action("ActionFileOpen")->trigger();
                     },
                     [](DockedWindow& t) { return t.OtherResFile; }},
        TCommandCase{"Revert",
                     [](DockedWindow& t) {
                         t.Prompts->Answers = {IMainFormPrompts::paYes};
                         ASSERT_TRUE(t.Form->Action("ActionFileRevert")->isEnabled());
                         t.Form->Action("ActionFileRevert")->trigger();
                     },
                     [](DockedWindow& t) { return t.ResFile; }},
        TCommandCase{"OpenRecent",
                     [](DockedWindow& t) {
                         t.Prompts->Answers = {IMainFormPrompts::paNo};
                         t.Form->UpdateRecentMenu();
                         QAction* recent = t.Form->RecentMenu()->actions().value(0);
                         ASSERT_TRUE(recent);
                         recent->trigger();
                     },
                     [](DockedWindow& t) { return t.ResFile; }},
        TCommandCase{"DropAModule",
                     [](DockedWindow& t) {
                         t.Prompts->Answers = {IMainFormPrompts::paNo};
                         t.Form->DropFiles({t.OtherResFile});
                     },
                     [](DockedWindow& t) { return t.OtherResFile; }},
        TCommandCase{"EditAs",
                     [](DockedWindow& t) {
                         t.Frame()->PopupEdit();
                         QAction* action = FirstActionOf(t.Frame()->PopupActionBarEdit());
                         ASSERT_TRUE(action);
                         action->trigger();
                     },
                     [](DockedWindow& t) { return t.ResFile; }},
        TCommandCase{"ViewAs",
                     [](DockedWindow& t) {
                         t.Frame()->PopupPreview();
                         QAction* action = FirstActionOf(t.Frame()->PopupActionBarPreview());
                         ASSERT_TRUE(action);
                         action->trigger();
                     },
                     [](DockedWindow& t) { return t.ResFile; }},
        TCommandCase{"Close",
                     [](DockedWindow& t) {
                         t.Prompts->Answers = {IMainFormPrompts::paNo};
                         t.Form->close();
                         Settle();
                         t.Form.reset();
                         Settle();
                     },
                     nullptr}),
    [](const ::testing::TestParamInfo<TCommandCase>& info) { return std::string(info.param.Name); });

} // namespace

namespace {

// An action of the editor, as an editor offers its own commands.
QAction* AddEditorAction(QWidget* editor, const QKeySequence& key, int& hits)
{
    auto* action = new QAction(editor);
    action->setShortcut(key);
    editor->addAction(action);
    QObject::connect(action, &QAction::triggered, [&hits] { ++hits; });
    return action;
}

QByteArray FirstItemData(TCustomResourceModule* module)
{
    TMemoryStream data;
    module->Items()->Items(0)->SaveToStream(data);
    data.SetPosition(0);
    return data.ReadBytes(data.Size());
}

TEST_F(DockedWindow, KeysGoToTheWindowFirstThenTheEditorAndActOnce)
{
    Form->LoadFile(ResFile);
    Settle();
    QWidget* focus = FocusEditorAndType();
    ASSERT_TRUE(focus);
    ASSERT_TRUE(Form->Dirty());
    QWidget* editor = Frame()->GetResourceItemEditor()->GetControl();
    int saveHits = 0, letterHits = 0;
    AddEditorAction(editor, QKeySequence(Qt::CTRL | Qt::Key_S), saveHits);
    AddEditorAction(editor, QKeySequence(Qt::Key_B), letterHits);

    // The window's Save wins over the editor's command of the same key.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
    Settle();
    EXPECT_FALSE(Form->Dirty());
    EXPECT_EQ(saveHits, 0);

    // A key only the editor knows acts once: its command runs and nothing is typed into the data.
    const QByteArray before = FirstItemData(Module());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_B);
    Settle();
    EXPECT_EQ(letterHits, 1);
    EXPECT_EQ(FirstItemData(Module()), before);
    EXPECT_FALSE(Form->Dirty());

    // Keys nobody claims still reach the focused editor.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C);
    Settle();
    EXPECT_NE(FirstItemData(Module()), before);
}

} // namespace

namespace {

// An editor that remembers where it was asked to go.
class TNavigationRecorder : public TCustomResourceItemEditor {
public:
    void Navigate(const IResourceMessagePtr& Target) override { Targets().push_back(Target); }
    static std::vector<IResourceMessagePtr>& Targets()
    {
        static std::vector<IResourceMessagePtr> targets;
        return targets;
    }
};

class TNavigationRecorderFactory {
    RESOURCE_EDITOR_FACTORY_CLASS(TNavigationRecorderFactory, TCustomResourceItemEditorFactory)
public:
    static bool Handles(TCustomResourceItem*) { return true; }
    static IResourceItemEditorPtr CreateEditor() { return std::make_shared<TNavigationRecorder>(); }
};

TEST_F(DockedWindow, ViewResourceItemSelectsTheItemAndNavigatesItsEditor)
{
    TNavigationRecorderFactory::ClassInfo()->Register(0);
    struct TUnregister {
        ~TUnregister()
        {
            TNavigationRecorder::Targets().clear();
            TNavigationRecorderFactory::ClassInfo()->Unregister();
        }
    } unregister;
    Form->LoadFile(ResFile);
    Settle();
    TCustomResourceItem* item = Module()->Items()->Items(1);
    LogMessage(QStringLiteral("Something about the second item"), rmWarning, item);
    QTreeWidget* list = Form->ListViewMessages();
    ASSERT_EQ(list->topLevelItemCount(), 1);
    list->setCurrentItem(list->topLevelItem(0));
    ASSERT_TRUE(Form->Action("ActionMessagesViewItem")->isEnabled());
    Form->Action("ActionMessagesViewItem")->trigger();
    Settle();
    if (Frame()->SelectPending()) Frame()->TimerSelectTimer();
    Settle();
    EXPECT_EQ(Frame()->EditResourceItem(), item);
    ASSERT_EQ(TNavigationRecorder::Targets().size(), 1u);
    EXPECT_EQ(TNavigationRecorder::Targets()[0]->GetMessage(), QStringLiteral("Something about the second item"));
}

} // namespace

namespace {

TEST_F(DockedWindow, AClosedPropertiesPaneComesBackFromTheViewMenu)
{
    QWidget* pane = Form->PropertiesPane();
    ASSERT_TRUE(Frame()->PaneVisible(pane));
    QDockWidget* form = nullptr;
    for (QWidget* w = pane; w && !form; w = w->parentWidget()) form = qobject_cast<QDockWidget*>(w);
    ASSERT_TRUE(form);
    form->close(); // the caption's close button
    Settle();
    EXPECT_FALSE(Frame()->PaneVisible(pane));
    QAction* action = Form->Action("ActionViewProperties");
    ASSERT_TRUE(action);
    action->setChecked(false);
    action->trigger();
    Settle();
    EXPECT_TRUE(Frame()->PaneVisible(pane));
    EXPECT_TRUE(pane->isVisible());
}

} // namespace
