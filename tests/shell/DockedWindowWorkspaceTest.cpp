// The workspace as it lives in the real main window: its panes docked into the window's dock host,
// the Variants and Frames panes, the default and compact layouts, and the workspace settings.
#include "../model/TestKinds.h"
#include "MainWindowTesting.h"
#include "editors/koAtelierBinary.h"
#include "model/koResourceModuleRes.h"
#include "model/koResources.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesMessages.h"
#include "model/koResourcesModule.h"
#include "platform/RegistryStore.h"
#include "shell/koAtelier.h"
#include "shell/koAtelierFrame.h"
#include "shell/koConfigurationService.h"
#include "shell/koDockForm.h"
#include "shell/koTreeView.h"
#include "shell/main.h"
#include "views/koResourceViewGeneric.h"

#include <QApplication>
#include <QHelpEvent>
#include <QLocale>
#include <QMainWindow>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <deque>
#include <gtest/gtest.h>

namespace {


// An animation: its children are its frames.
class TDockedAnimation : public TTestParent, public ISequencedResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TDockedAnimation, TTestParent)
public:
    using TTestParent::TTestParent;
    void MoveFrame(int, int) override {}
};

class TDockedFrame : public TTestItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TDockedFrame, TTestItem)
public:
    explicit TDockedFrame(const TResourceIdent& name) : TTestItem(TResourceIdent("FRAME"), name) {}
    static TResourceItemClass ParentClass() { return TTestParent::ClassInfo(); }
};

class DockedWorkspace : public ::testing::Test {
protected:
    void SetUp() override
    {
        FPreviousLocale = QLocale();
        koResourcesKinds_Initialize();
        koResourceModuleRes_Initialize();
        koResourceViewGeneric_Initialize();
        koAtelierBinary_Initialize();
        FPreviousConfiguration = ConfigurationServiceFactory();
        if (!FRealSettings) SetConfigurationServiceFactory(TDummyConfigurationServiceFactory::ClassInfo());
        OpenWindow();
    }
    void OpenWindow()
    {
        auto prompts = std::make_unique<TScriptedPrompts>();
        Prompts = prompts.get();
        Form = std::make_unique<TFormMain>(std::move(prompts));
        Form->resize(1100, 720);
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
        // The window applies the workspace settings once it is on screen.
        Settle();
    }
    void TearDown() override
    {
        Form.reset();
        koAtelier_Finalize();
        SetConfigurationServiceFactory(FPreviousConfiguration);
        koAtelierBinary_Finalize();
        koResourceViewGeneric_Finalize();
        koResourceModuleRes_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
        QLocale::setDefault(FPreviousLocale);
    }

    TFrameAtelier* Frame() const { return Form->FrameAtelier(); }
    QMainWindow* Host() const { return Frame()->DockHost(); }
    QWidget* Properties() const { return Form->findChild<QWidget*>(QStringLiteral("PanelPropertyInspector")); }
    // A pane is seen when its dock form is visible in the window and has room.
    bool Seen(QWidget* pane) const
    {
        TDockForm* form = Frame()->DockFormOf(pane);
        return form && form->isVisible() && form->width() > 20 && form->height() > 20;
    }
    // Lets queued layout work and paints happen.
    // Items are added to a new module by build, which the workspace then shows.
    void Install(const std::function<void(TCustomResourceModule*)>& build)
    {
        auto module = std::make_unique<TResourceModule>();
        build(module.get());
        Frame()->InstallModule(std::move(module), {});
    }
    static TCustomResourceItem* AddGeneric(TCustomResourceModule* module, uint16_t type, uint16_t name, uint16_t language)
    {
        auto item = std::make_unique<TResourceItemGeneric>(Ord(name));
        item->SetResourceType(TResourceIdent::FromOrdinal(type));
        item->SetLanguage(TLanguageID(language));
        TCustomResourceItem* raw = item.release();
        module->Items()->Add(raw);
        return raw;
    }
    // Selects a node as a click does and lets the debounce run out.
    void Choose(TCustomResourceItem* item)
    {
        QTreeWidgetItem* node = Frame()->FindItemNode(item);
        ASSERT_NE(node, nullptr);
        if (node->parent()) node->parent()->setExpanded(true);
        Frame()->TreeViewResources()->setCurrentItem(node);
        if (Frame()->SelectPending()) Frame()->TimerSelectTimer();
        Settle();
    }
    QList<uint16_t> ButtonLanguages() const
    {
        QList<uint16_t> languages;
        for (int i = 0; i < Frame()->ChildButtons().Count(); ++i)
            languages << uint16_t(Frame()->ChildButtons()[i]->ResourceItem()->Language());
        return languages;
    }

    // With real settings the window keeps them in a registry file of the test's own.
    bool FRealSettings = false;
    std::unique_ptr<TFormMain> Form;
    TScriptedPrompts* Prompts = nullptr;
    TConfigurationServiceFactoryClass FPreviousConfiguration = nullptr;
    QLocale FPreviousLocale;
};

// A dialog in sixteen languages, added in no order, 0x0BFF being one the language table does not know.
const uint16_t DialogLanguages[] = {0x0419, 0x0C04, 0x0411, 0x0BFF, 0x0409, 0x0804, 0x040C, 0x0405,
                                    0x0407, 0x0412, 0x0416, 0x0413, 0x041D, 0x0406, 0x0410, 0x0404};

TEST_F(DockedWorkspace, VariantsFollowTheirLanguagesAndTheUsersLanguageIsChosen)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    TCustomResourceItem* dialog = nullptr;
    Install([&](TCustomResourceModule* module) {
        for (uint16_t language : DialogLanguages) {
            TCustomResourceItem* item = AddGeneric(module, RT_DIALOG, 100, language);
            if (language == 0x0407) dialog = item;
        }
    });
    Choose(dialog);
    QList<uint16_t> sorted(std::begin(DialogLanguages), std::end(DialogLanguages));
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(ButtonLanguages(), sorted);
    EXPECT_EQ(Frame()->ChildResourceItem(), dialog);
    EXPECT_EQ(Frame()->EditResourceItem(), dialog);
    const int german = Frame()->ChildButtons().IndexOfItem(dialog);
    ASSERT_GE(german, 0);
    EXPECT_TRUE(Frame()->ChildButtons()[german]->isChecked());
}

TEST_F(DockedWorkspace, TheNeutralVariantComesFirstThenTheUsersLanguageThenItsRelatives)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    struct TCase {
        QList<uint16_t> Languages;
        uint16_t Chosen;
    };
    const TCase cases[] = {
        {{0x0409, 0x0000, 0x0407}, 0x0000}, // neutral wins over the user's language
        {{0x0409, 0x040C, 0x0407}, 0x0407}, // the user's language
        {{0x0409, 0x0C07, 0x040C}, 0x0C07}, // German (Austria) for a German user
        {{0x0419, 0x0410, 0x040C}, 0x040C}, // nothing near: the lowest identifier, the first button
    };
    for (const TCase& c : cases) {
        std::map<uint16_t, TCustomResourceItem*> items;
        Install([&](TCustomResourceModule* module) {
            for (uint16_t language : c.Languages) items[language] = AddGeneric(module, RT_DIALOG, 7, language);
        });
        Choose(items.begin()->second);
        EXPECT_EQ(Frame()->ChildResourceItem(), items[c.Chosen]) << std::hex << c.Chosen;
        EXPECT_EQ(Frame()->ChildButtons()[0]->ResourceItem(), items.begin()->second);
    }
}

TEST_F(DockedWorkspace, VariantButtonsNameEveryLanguageAndHintTheWholeName)
{
    TCustomResourceItem* first = nullptr;
    Install([&](TCustomResourceModule* module) {
        for (uint16_t language : DialogLanguages) first = AddGeneric(module, RT_DIALOG, 100, language);
    });
    Choose(first);
    const struct {
        uint16_t Language;
        QString Name;
    } names[] = {
        {0x0BFF, QStringLiteral("Language 0x0BFF")},
        {0x0407, QStringLiteral("German (Germany)")},
        {0x0C04, QStringLiteral("Chinese (Traditional, Hong Kong S.A.R.)")},
    };
    for (const auto& name : names) {
        TResourceItemButton* button = nullptr;
        for (int i = 0; i < Frame()->ChildButtons().Count(); ++i)
            if (Frame()->ChildButtons()[i]->ResourceItem()->Language() == name.Language) button = Frame()->ChildButtons()[i];
        ASSERT_NE(button, nullptr) << name.Name.toStdString();
        // What a hovering pointer asks for, before the button was ever painted.
        QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), button->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(button, &hover);
        EXPECT_EQ(button->CurrentDescription(), name.Name);
        EXPECT_TRUE(button->toolTip().contains(name.Name)) << button->toolTip().toStdString();
    }
}

TEST_F(DockedWorkspace, VariantButtonsStayInPlaceAcrossSelections)
{
    TCustomResourceItem* dialog = nullptr;
    TCustomResourceItem* other = nullptr;
    Install([&](TCustomResourceModule* module) {
        for (uint16_t language : {0x0409, 0x0407, 0x040C}) dialog = AddGeneric(module, RT_DIALOG, 100, language);
        other = AddGeneric(module, RT_DIALOG, 200, 0x0409);
    });
    Choose(dialog);
    ASSERT_EQ(Frame()->ChildButtons().Count(), 3);
    const QRect first = Frame()->ChildButtons()[0]->geometry();
    const QRect last = Frame()->ChildButtons()[2]->geometry();
    for (int round = 0; round < 6; ++round) {
        Choose(other);
        Choose(dialog);
    }
    ASSERT_EQ(Frame()->ChildButtons().Count(), 3);
    EXPECT_EQ(Frame()->ChildButtons()[0]->geometry(), first);
    EXPECT_EQ(Frame()->ChildButtons()[2]->geometry(), last);
    EXPECT_TRUE(Frame()->ChildButtons()[0]->isVisible());
}

TEST_F(DockedWorkspace, FramesPaneShowsUnderTheVariantsWhileAnAnimationIsSelected)
{
    TDockedAnimation* animation = nullptr;
    std::vector<TCustomResourceItem*> frames;
    TCustomResourceItem* plain = nullptr;
    Install([&](TCustomResourceModule* module) {
        auto owned = std::make_unique<TDockedAnimation>(Ord(1));
        animation = owned.get();
        module->Items()->Add(owned.release());
        for (int i = 0; i < 3; ++i) {
            auto frame = std::make_unique<TDockedFrame>(Ord(i + 1));
            frames.push_back(frame.get());
            module->Items()->Add(frame.release());
            frames.back()->SetParent(animation);
        }
        plain = AddGeneric(module, RT_RCDATA, 2, 0);
    });
    EXPECT_FALSE(Seen(Frame()->PanelFrames()));

    Choose(animation);
    ASSERT_TRUE(Seen(Frame()->PanelFrames()));
    ASSERT_EQ(Frame()->FrameButtons().Count(), 3);
    TResourceItemButton* second = Frame()->FrameButtons()[1];
    EXPECT_TRUE(second->isVisible());
    const QRect variants = Frame()->DockFormOf(Frame()->PanelVariants())->geometry();
    const QRect framesRect = Frame()->DockFormOf(Frame()->PanelFrames())->geometry();
    EXPECT_EQ(framesRect.left(), variants.left());
    EXPECT_GE(framesRect.top(), variants.bottom());
    EXPECT_TRUE(Seen(Frame()->PanelVariants()));

    // A frame chosen in the pane keeps the pane.
    QTest::mouseClick(second, Qt::LeftButton);
    Settle();
    EXPECT_EQ(Frame()->FrameResourceItem(), frames[1]);
    EXPECT_TRUE(Seen(Frame()->PanelFrames()));

    Choose(plain);
    EXPECT_FALSE(Frame()->DockFormOf(Frame()->PanelFrames())->isVisible());
    Frame()->SelectResourceItem(frames[2]);
    Settle();
    EXPECT_EQ(Frame()->FrameResourceItem(), frames[2]);
    EXPECT_TRUE(Seen(Frame()->PanelFrames()));
}

TEST_F(DockedWorkspace, LayoutsBringBackClosedPanesAndDiffer)
{
    QWidget* properties = Properties();
    ASSERT_NE(properties, nullptr);
    ASSERT_NE(Frame()->DockFormOf(properties), nullptr);
    QWidget* resources = Frame()->PanelResources();
    QWidget* variants = Frame()->PanelVariants();
    QWidget* preview = Frame()->PanelPreview();
    QWidget* editor = Frame()->PanelEditor();
    const auto rect = [this](QWidget* pane) {
        TDockForm* form = Frame()->DockFormOf(pane);
        return QRect(form->mapTo(Form.get(), QPoint(0, 0)), form->size());
    };
    for (const char* action : {"ActionLayoutRestoreCompact", "ActionLayoutRestore"}) {
        SCOPED_TRACE(action);
        // Closed as their caption's close button does.
        for (QWidget* pane : {properties, preview, variants}) Frame()->DockFormOf(pane)->close();
        Settle();
        ASSERT_FALSE(Seen(properties));
        Form->Action(QString::fromLatin1(action))->trigger();
        Settle();
        for (QWidget* pane : {resources, variants, preview, editor, properties})
            EXPECT_TRUE(Seen(pane)) << pane->objectName().toStdString();
        EXPECT_FALSE(Frame()->DockFormOf(Frame()->PanelFrames())->isVisible());
        EXPECT_FALSE(Frame()->DockFormOf(Form->MessagesPane())->isVisible());
    }

    // Default: the tree and the variants side by side, the properties under the tree.
    EXPECT_GE(rect(variants).left(), rect(resources).right());
    EXPECT_GE(rect(properties).top(), rect(resources).bottom());
    EXPECT_EQ(rect(properties).left(), rect(resources).left());
    EXPECT_LT(rect(properties).right(), rect(editor).left());
    const int defaultLeft = rect(editor).left();

    // Compact: one column each side, narrower; the properties move under the preview.
    Form->Action(QStringLiteral("ActionLayoutRestoreCompact"))->trigger();
    Settle();
    EXPECT_EQ(rect(variants).left(), rect(resources).left());
    EXPECT_GE(rect(variants).top(), rect(resources).bottom());
    EXPECT_EQ(rect(properties).left(), rect(preview).left());
    EXPECT_GE(rect(properties).top(), rect(preview).bottom());
    EXPECT_GT(rect(properties).left(), rect(editor).right());
    EXPECT_LT(rect(editor).left(), defaultLeft);
    EXPECT_GT(rect(editor).width(), 400);

    // And back: the default comes back as it was.
    Form->Action(QStringLiteral("ActionLayoutRestore"))->trigger();
    Settle();
    EXPECT_EQ(rect(editor).left(), defaultLeft);
    EXPECT_GE(rect(variants).left(), rect(resources).right());
}

TEST_F(DockedWorkspace, LayoutsKeepTheMessagesShownAndTheFramesOfASelectedAnimation)
{
    TDockedAnimation* animation = nullptr;
    Install([&](TCustomResourceModule* module) {
        auto owned = std::make_unique<TDockedAnimation>(Ord(1));
        animation = owned.get();
        module->Items()->Add(owned.release());
        auto frame = std::make_unique<TDockedFrame>(Ord(1));
        TCustomResourceItem* raw = frame.get();
        module->Items()->Add(frame.release());
        raw->SetParent(animation);
    });
    Choose(animation);
    LogMessage(QStringLiteral("Something to read"), rmWarning);
    Settle();
    ASSERT_TRUE(Seen(Form->MessagesPane()));
    for (const char* action : {"ActionLayoutRestoreCompact", "ActionLayoutRestore"}) {
        Form->Action(QString::fromLatin1(action))->trigger();
        Settle();
        EXPECT_TRUE(Seen(Form->MessagesPane())) << action;
        EXPECT_TRUE(Seen(Frame()->PanelFrames())) << action;
        EXPECT_EQ(Form->ListViewMessages()->topLevelItemCount(), 1) << action;
    }
}

// The window with the settings store the program uses, kept in a temporary registry file.
class DockedWorkspaceSettings : public DockedWorkspace {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FFile = FDir.filePath(QStringLiteral("registry.json"));
        FPreviousFile = SetRegistryFileName(FFile);
        koConfigurationService_Initialize();
        SetConfigurationServiceRoot({}, QString::fromLatin1(ConfigurationServiceAtelierRoot));
        FRealSettings = true;
        DockedWorkspace::SetUp();
    }
    void TearDown() override
    {
        DockedWorkspace::TearDown();
        koConfigurationService_Finalize();
        SetRegistryFileName(FPreviousFile);
    }
    QString MainKey() const { return QString::fromLatin1(ConfigurationServiceAtelierRoot) + QStringLiteral("Forms\\Main"); }

    QTemporaryDir FDir;
    QString FFile;
    QString FPreviousFile;
};

TEST_F(DockedWorkspaceSettings, TheLayoutIsSavedAsHexadecimalTextAndComesBackAtTheNextStart)
{
    // A fresh profile applies nothing.
    EXPECT_FALSE(Frame()->Settings()->Valid());
    EXPECT_FALSE(TRegistryStore(FFile).ValueExists(MainKey(), QStringLiteral("Valid")));
    Form->Action(QStringLiteral("ActionLayoutRestoreCompact"))->trigger();
    Settle();
    const QByteArray state = Host()->saveState();
    // The sizes the panes had, which the next start gives them again.
    std::vector<QSize> sizes;
    const auto paneSizes = [this] {
        std::vector<QSize> result;
        for (QWidget* pane : std::initializer_list<QWidget*>{Frame()->PanelResources(), Frame()->PanelVariants(),
                                                             Frame()->PanelPreview(), Properties()})
            result.push_back(Frame()->DockFormOf(pane)->size());
        return result;
    };
    sizes = paneSizes();
    Form.reset();

    const TRegistryStore disk(FFile);
    EXPECT_EQ(disk.ReadString(MainKey(), QStringLiteral("Valid")), QStringLiteral("1"));
    const QString layout = disk.ReadString(MainKey(), QStringLiteral("Layout"));
    EXPECT_EQ(layout, QString::fromLatin1(state.toHex().toUpper()));
    EXPECT_EQ(layout.size(), 2 * state.size());

    OpenWindow();
    EXPECT_TRUE(Frame()->Settings()->Valid());
    EXPECT_EQ(Frame()->Settings()->Layout(), layout);
    const auto rect = [this](QWidget* pane) {
        TDockForm* form = Frame()->DockFormOf(pane);
        return QRect(form->mapTo(Form.get(), QPoint(0, 0)), form->size());
    };
    // The compact arrangement: the variants under the tree, the properties under the preview.
    EXPECT_EQ(rect(Frame()->PanelVariants()).left(), rect(Frame()->PanelResources()).left());
    EXPECT_GE(rect(Frame()->PanelVariants()).top(), rect(Frame()->PanelResources()).bottom());
    EXPECT_EQ(rect(Properties()).left(), rect(Frame()->PanelPreview()).left());
    EXPECT_TRUE(Seen(Frame()->PanelResources()));
    EXPECT_EQ(paneSizes(), sizes);
    EXPECT_TRUE(Prompts->Errors.isEmpty()) << Prompts->Errors.join(QLatin1Char('\n')).toStdString();
}

TEST_F(DockedWorkspaceSettings, SettingsApplyOnlyOnceTheyWereSaved)
{
    TAtelierSettings* settings = Frame()->Settings();
    const QByteArray before = Host()->saveState();
    // Not valid: a layout text is ignored, whatever it holds.
    settings->SetLayout(QStringLiteral("00"));
    EXPECT_FALSE(settings->ApplySettings());
    EXPECT_EQ(Host()->saveState(), before);
    // Valid after an update, which takes the host's state as it stands.
    ASSERT_TRUE(settings->UpdateSettings());
    EXPECT_TRUE(settings->Valid());
    EXPECT_EQ(settings->Layout(), QString::fromLatin1(before.toHex().toUpper()));
    ConfigurationService()->SaveSettings(QStringLiteral("Forms\\Main"), settings);
    TAtelierSettings reread(Frame());
    ASSERT_TRUE(ConfigurationService()->LoadSettings(QStringLiteral("Forms\\Main"), &reread));
    EXPECT_TRUE(reread.Valid());
    EXPECT_EQ(reread.Layout(), settings->Layout());
}

} // namespace

#include "DockedWindowWorkspaceTest.moc"

namespace {
TEST_F(DockedWorkspace, ChoosingTheSameResourceAgainKeepsItsVariantButtonDown)
{
    QLocale::setDefault(QLocale::c()); // a session without LANG: American English
    std::map<uint16_t, TCustomResourceItem*> items;
    Install([&](TCustomResourceModule* module) {
        for (uint16_t language : {0x0401, 0x0409, 0x0402}) items[language] = AddGeneric(module, RT_DIALOG, 7, language);
    });
    Choose(items.begin()->second);
    auto checkedLanguages = [this] {
        QList<uint16_t> languages;
        for (int i = 0; i < Frame()->ChildButtons().Count(); ++i)
            if (Frame()->ChildButtons()[i]->isChecked()) languages << Frame()->ChildButtons()[i]->ResourceItem()->Language();
        return languages;
    };
    EXPECT_EQ(checkedLanguages(), QList<uint16_t>{0x0409});
    // A second click on the same node rebuilds the buttons; the chosen variant stays marked.
    Frame()->SelectNode(Frame()->FindItemNode(items[0x0409]), false);
    Settle();
    EXPECT_EQ(Frame()->EditResourceItem(), items[0x0409]);
    EXPECT_EQ(checkedLanguages(), QList<uint16_t>{0x0409});
}
} // namespace
