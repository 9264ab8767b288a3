// The workspace: the tree of a module, selection with its debounce, variant and frame buttons, the
// preview and editor panes, and the property inspector's calls.
#include "../model/TestKinds.h"
#include "../platform/PeerTools.h"
#include "model/koResourceItemSymbols.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourceModuleRes.h"
#include "model/koResources.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesMessages.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "shell/koAtelierFrame.h"
#include "shell/koTreeView.h"

#include <QApplication>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

struct TAttachLog {
    std::vector<QString> Events;
    void Add(const QString& e) { Events.push_back(e); }
};
TAttachLog& Log()
{
    static TAttachLog log;
    return log;
}

QString ItemText(TCustomResourceItem* item)
{
    return item ? ResourceIdentToText(item->Name()) + "/" + QString::number(item->Language()) : QStringLiteral("nil");
}

// A view that reports a picture of the size stored in the item's first two bytes.
class TLoggingView : public TCustomResourceItemView {
public:
    void SetResourceItem(TCustomResourceItem* item) override
    {
        Log().Add("view " + ItemText(item));
        TCustomResourceItemView::SetResourceItem(item);
    }
    bool GetImageSize(QSize& size) override
    {
        auto* test = dynamic_cast<TTestItem*>(ResourceItem());
        if (!test || test->Data.size() < 2) return false;
        size = QSize(uint8_t(test->Data[0]), uint8_t(test->Data[1]));
        return true;
    }
    // A third byte: the picture is that much red over nothing.
    void Draw(QPainter& Canvas, const QRect& Rect) override
    {
        auto* test = dynamic_cast<TTestItem*>(ResourceItem());
        if (test && test->Data.size() >= 3)
            Canvas.fillRect(Rect, QColor(255, 0, 0, uint8_t(test->Data[2])));
        else
            TCustomResourceItemView::Draw(Canvas, Rect);
    }
    QString GetCaption() override { return QStringLiteral("Logging"); }
};

class TLoggingViewFactory {
    RESOURCE_VIEW_FACTORY_CLASS(TLoggingViewFactory, TCustomResourceItemViewFactory)
public:
    static bool Handles(TCustomResourceItem*) { return true; }
    static IResourceItemViewPtr CreateView() { return std::make_shared<TLoggingView>(); }
};

class TOtherView : public TCustomResourceItemView {
public:
    QString GetCaption() override { return QStringLiteral("Other"); }
};

class TOtherViewFactory {
    RESOURCE_VIEW_FACTORY_CLASS(TOtherViewFactory, TCustomResourceItemViewFactory)
public:
    static bool Handles(TCustomResourceItem* item) { return dynamic_cast<TTestItem*>(item) != nullptr; }
    static IResourceItemViewPtr CreateView() { return std::make_shared<TOtherView>(); }
};

class TLoggingEditor : public TCustomResourceItemEditor {
public:
    void SetResourceItem(TCustomResourceItem* item) override
    {
        Log().Add("edit " + ItemText(item));
        if (item && item->Name() == TResourceIdent("BROKEN")) throw Exception(QStringLiteral("no way"));
        TCustomResourceItemEditor::SetResourceItem(item);
    }
    void Deactivate() override { Log().Add("deactivate " + ItemText(ResourceItem())); }
    QString GetCaption() override { return QStringLiteral("Logging"); }
};

class TLoggingEditorFactory {
    RESOURCE_EDITOR_FACTORY_CLASS(TLoggingEditorFactory, TCustomResourceItemEditorFactory)
public:
    static bool Handles(TCustomResourceItem*) { return true; }
    static IResourceItemEditorPtr CreateEditor() { return std::make_shared<TLoggingEditor>(); }
};

class TRecordingInspector : public IAtelierPropertyInspector {
public:
    void SetResourceItem(TCustomResourceItem* item) override { Calls.push_back("Set " + ItemText(item)); }
    void AddInstance(QObject* instance, bool exclusive) override
    {
        Calls.push_back(QStringLiteral("Add %1 %2").arg(ItemText(qobject_cast<TCustomResourceItem*>(instance))).arg(exclusive));
    }
    void RemoveInstance(QObject* instance) override { Calls.push_back(instance ? "Remove item" : "Remove all"); }
    void Activate() override { Calls.push_back("Activate"); }
    std::vector<QString> Calls;
};

// An animation: its children are its frames.
class TTestAnimation : public TTestParent, public ISequencedResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TTestAnimation, TTestParent)
public:
    using TTestParent::TTestParent;
    void MoveFrame(int, int) override {}
};

class TTestFrame : public TTestItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TTestFrame, TTestItem)
public:
    explicit TTestFrame(const TResourceIdent& name) : TTestItem(TResourceIdent("FRAME"), name) {}
    static TResourceItemClass ParentClass() { return TTestParent::ClassInfo(); }
};

class Workspace : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceModuleRes_Initialize();
        FPreviousConfiguration = SetConfigurationServiceFactory(TDummyConfigurationServiceFactory::ClassInfo());
        TLoggingViewFactory::ClassInfo()->Register(0);
        TLoggingEditorFactory::ClassInfo()->Register(0);
        Log().Events.clear();
        SetItemPropertyInspectorHook([this](TCustomResourceItem*) { return &Inspector; });
        Frame = std::make_unique<TFrameAtelier>();
        Frame->resize(900, 600);
    }
    void TearDown() override
    {
        Frame.reset();
        SetItemPropertyInspectorHook({});
        TOtherViewFactory::ClassInfo()->Unregister();
        TLoggingEditorFactory::ClassInfo()->Unregister();
        TLoggingViewFactory::ClassInfo()->Unregister();
        koAtelier_Finalize();
        SetConfigurationServiceFactory(FPreviousConfiguration);
        koResourceModuleRes_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }
    TConfigurationServiceFactoryClass FPreviousConfiguration = nullptr;

    TTestItem* Add(const TResourceIdent& type, const TResourceIdent& name, uint16_t language = 0)
    {
        auto item = std::make_unique<TTestItem>(type, name);
        item->SetLanguage(TLanguageID(language));
        TTestItem* raw = item.release();
        Module->Items()->Add(raw);
        return raw;
    }
    // Items are added to a new module by build, which the workspace then shows.
    void Install(const std::function<void()>& build)
    {
        auto module = std::make_unique<TResourceModule>();
        Module = module.get();
        build();
        Frame->InstallModule(std::move(module), {});
    }
    // A module with two types in reverse order; one resource in two languages.
    void Populate()
    {
        Install([this] {
            Add(TResourceIdent("ZETA"), TResourceIdent("B"));
            Add(Ord(RT_RCDATA), Ord(7), 0x409);
            Add(Ord(RT_RCDATA), Ord(7), 0x407);
            Add(Ord(RT_RCDATA), TResourceIdent("ALPHA"));
        });
    }
    QStringList TopTexts() const
    {
        QStringList texts;
        for (int i = 0; i < Frame->TreeViewResources()->topLevelItemCount(); ++i)
            texts << Frame->TreeViewResources()->topLevelItem(i)->text(0);
        return texts;
    }
    TCustomTreeNodeResourceItem* NodeOf(TCustomResourceItem* item) { return Frame->FindItemNode(item); }
    TCustomResourceItem* Find(const TResourceIdent& type, const TResourceIdent& name, uint16_t lang)
    {
        return Module->Find(type, name, lang);
    }
    // Selects a node as a click does and lets the debounce run out.
    void Choose(QTreeWidgetItem* node)
    {
        Frame->TreeViewResources()->setCurrentItem(node);
        if (Frame->SelectPending()) Frame->TimerSelectTimer();
    }

    TRecordingInspector Inspector;
    std::unique_ptr<TFrameAtelier> Frame;
    TCustomResourceModule* Module = nullptr;
};

TEST_F(Workspace, TreeGroupsLanguageVariantsUnderTypesInItemOrder)
{
    Populate();
    const QStringList top = TopTexts();
    ASSERT_EQ(top.size(), 2);
    EXPECT_EQ(top[0], Find(Ord(RT_RCDATA), Ord(7), 0x409)->FriendlyTypeName());
    EXPECT_EQ(top[1], QStringLiteral("ZETA"));
    TCustomTreeNodeResourceItem* node = NodeOf(Find(Ord(RT_RCDATA), Ord(7), 0x409));
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Items()->Count(), 2);
    EXPECT_EQ(node, NodeOf(Find(Ord(RT_RCDATA), Ord(7), 0x407)));
    // Named before numbered, as the item order has it.
    auto* rcdata = static_cast<TTreeNodeResource*>(Frame->TreeViewResources()->topLevelItem(0));
    rcdata->Expanding();
    ASSERT_EQ(rcdata->childCount(), 2);
    auto* first = static_cast<TCustomTreeNodeResourceItem*>(rcdata->child(0));
    auto* second = static_cast<TCustomTreeNodeResourceItem*>(rcdata->child(1));
    EXPECT_LT(CompareResourceItems(first->Items()->Items(0), second->Items()->Items(0)), 0);
    EXPECT_EQ(QSet<QString>({first->text(0), second->text(0)}), QSet<QString>({"7", "ALPHA"}));
}

TEST_F(Workspace, ChildrenOfACollapsedTypeWaitUntilItIsExpanded)
{
    Install([this] {
        for (int i = 1; i <= 50; ++i) Add(Ord(RT_RCDATA), Ord(i));
    });
    auto* type = static_cast<TTreeNodeResource*>(Frame->TreeViewResources()->topLevelItem(0));
    EXPECT_EQ(type->childCount(), 1);
    EXPECT_EQ(type->PendingCount(), 49);
    int walked = 0;
    for (TTreeNodeResource* child = type->GetFirstChild(); child; child = type->GetNextChild(child)) ++walked;
    EXPECT_EQ(walked, 50);
    Frame->TreeViewResources()->expandItem(type);
    EXPECT_EQ(type->childCount(), 50);
    EXPECT_EQ(type->PendingCount(), 0);
    EXPECT_EQ(type->child(49)->text(0), QStringLiteral("50"));
}

TEST_F(Workspace, GroupsGetOneNodeEachAndInternalItemsAnInfoNodeOnTop)
{
    auto module = std::make_unique<TResourceModule>();
    std::vector<TCustomResourceItem*> groups;
    for (uint16_t language : {uint16_t(0x409), uint16_t(0x407)}) {
        auto group = std::make_unique<TTestGroup>(TResourceIdent("ICONS"));
        group->SetLanguage(TLanguageID(language));
        groups.push_back(group.get());
        module->Items()->Add(group.release());
    }
    auto internal = std::make_unique<TSymbolsLikeInternal>();
    internal->SetResourceType(Ord(0));
    TCustomResourceItem* info = internal.get();
    module->Items()->Add(internal.release());
    Frame->InstallModule(std::move(module), {});
    Module = Frame->ResourceModule();

    ASSERT_EQ(TopTexts().size(), 2);
    TCustomTreeNodeResourceItem* infoNode = NodeOf(info);
    EXPECT_EQ(Frame->TreeViewResources()->topLevelItem(0), infoNode);
    EXPECT_FALSE(infoNode->CanEdit());
    TCustomTreeNodeResourceItem* first = NodeOf(groups[0]);
    TCustomTreeNodeResourceItem* second = NodeOf(groups[1]);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->text(0), second->text(0));
    EXPECT_TRUE(first->CanEdit());
}


TEST_F(Workspace, HiddenItemsShowOnlyAfterTheNextLoadWithViewHidden)
{
    const auto build = [] {
        auto module = std::make_unique<TResourceModule>();
        module->Items()->Add(new TTestItem(Ord(RT_RCDATA), Ord(1)));
        auto hidden = std::make_unique<TResourceItemTextInclude>(Ord(1));
        hidden->SetModule(module.get());
        hidden.release();
        return module;
    };
    Frame->InstallModule(build(), {});
    EXPECT_EQ(TopTexts().size(), 1);
    Frame->SetViewHidden(true);
    EXPECT_EQ(TopTexts().size(), 1);
    Frame->InstallModule(build(), {});
    EXPECT_EQ(TopTexts().size(), 2);
}

TEST_F(Workspace, OrphanedChildItemIsMarkedAndLogged)
{
    struct TLogCatcher : IResourceMessageLogSubscriber {
        void LogMessage(const IResourceMessagePtr& msg) override { Texts << msg->GetMessage(); }
        QStringList Texts;
    };
    auto catcher = std::make_shared<TLogCatcher>();
    MessageLogger()->Subscribe(catcher);
    auto module = std::make_unique<TResourceModule>();
    auto child = std::make_unique<TTestChild>(Ord(3));
    TCustomResourceItem* orphan = child.get();
    module->Items()->Add(child.release());
    Frame->InstallModule(std::move(module), {});
    MessageLogger()->Unsubscribe(catcher);

    auto* type = static_cast<TTreeNodeResource*>(Frame->TreeViewResources()->topLevelItem(0));
    EXPECT_EQ(type->StateIndex(), 1);
    EXPECT_NE(NodeOf(orphan), nullptr);
    EXPECT_TRUE(catcher->Texts.contains(QStringLiteral("Orphaned child item: #3:%1").arg(orphan->FriendlyTypeName())))
        << catcher->Texts.join("|").toStdString();
}

TEST_F(Workspace, RenamingANodeRenamesEveryVariant)
{
    Populate();
    TCustomResourceItem* english = Find(Ord(RT_RCDATA), Ord(7), 0x409);
    TCustomResourceItem* german = Find(Ord(RT_RCDATA), Ord(7), 0x407);
    TCustomTreeNodeResourceItem* node = NodeOf(english);
    TResourceSymbol* symbol = Module->Symbols()->Add(QStringLiteral("IDR_DATA"));
    symbol->SetValue(42);

    struct TCase {
        QString Text;
        QString NodeText;
        TResourceIdent Name;
    };
    const TCase cases[] = {
        {"12", "12", Ord(12)},
        {"main", "MAIN", TResourceIdent("MAIN")},
        {"Main", "MAIN", TResourceIdent("MAIN")}, // same text in another case: nothing
        {"70000", "4464", Ord(70000 & 0xFFFF)},
        {"IDR_DATA", "IDR_DATA", Ord(42)},
    };
    for (const TCase& c : cases) {
        Frame->RenameNode(node, c.Text);
        EXPECT_EQ(node->text(0), c.NodeText) << c.Text.toStdString();
        EXPECT_EQ(english->Name(), c.Name) << c.Text.toStdString();
        EXPECT_EQ(german->Name(), c.Name) << c.Text.toStdString();
    }
    EXPECT_EQ(english->ID()->Symbol(), symbol);
    EXPECT_EQ(german->ID()->Symbol(), symbol);
}

TEST_F(Workspace, DebouncedSelectionAttachesOnlyTheLastNode)
{
    Populate();
    TCustomTreeNodeResourceItem* seven = NodeOf(Find(Ord(RT_RCDATA), Ord(7), 0x409));
    TCustomTreeNodeResourceItem* alpha = NodeOf(Find(Ord(RT_RCDATA), TResourceIdent("ALPHA"), 0));
    TCustomTreeNodeResourceItem* zeta = NodeOf(Find(TResourceIdent("ZETA"), TResourceIdent("B"), 0));
    Log().Events.clear();
    Frame->TreeViewResources()->setCurrentItem(seven);
    EXPECT_TRUE(Frame->SelectPending());
    EXPECT_EQ(Frame->TimerSelect()->interval(), 200);
    Frame->TreeViewResources()->setCurrentItem(alpha);
    Frame->TreeViewResources()->setCurrentItem(zeta);
    EXPECT_TRUE(Log().Events.empty());
    EXPECT_FALSE(Frame->PanelEditor()->updatesEnabled()); // no flicker while waiting
    Frame->TimerSelectTimer();
    EXPECT_EQ(Log().Events, (std::vector<QString>{"view B/0", "edit B/0"}));
    EXPECT_TRUE(Frame->PanelEditor()->updatesEnabled());
    EXPECT_FALSE(Frame->SelectPending());
    EXPECT_EQ(Frame->PanelPreview()->Text(), QStringLiteral("Preview (Logging)"));
    EXPECT_EQ(Frame->PanelEditor()->Text(), QStringLiteral("Edit (Logging)"));

    // The real timer ends the wait too.
    Frame->TreeViewResources()->setCurrentItem(alpha);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Frame->EditResourceItem() != nullptr; }, 2000));
    EXPECT_EQ(Frame->EditResourceItem()->Name(), TResourceIdent("ALPHA"));
}

TEST_F(Workspace, TypeNodeCancelsAPendingSelection)
{
    Populate();
    Choose(NodeOf(Find(TResourceIdent("ZETA"), TResourceIdent("B"), 0)));
    ASSERT_NE(Frame->EditResourceItem(), nullptr);
    Frame->TreeViewResources()->setCurrentItem(NodeOf(Find(Ord(RT_RCDATA), Ord(7), 0x409)));
    EXPECT_TRUE(Frame->SelectPending());
    Frame->TreeViewResources()->setCurrentItem(Frame->TreeViewResources()->topLevelItem(0));
    EXPECT_FALSE(Frame->SelectPending());
    EXPECT_FALSE(Frame->TimerSelect()->isActive());
    EXPECT_TRUE(Frame->PanelEditor()->updatesEnabled());
    EXPECT_EQ(Frame->ChildButtons().Count(), 0);
}

TEST_F(Workspace, VariantButtonsShowTheLanguagesAndSelectTheVariant)
{
    // A user whose language has no variant here gets the first one.
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    struct TRestore {
        QLocale Locale;
        ~TRestore() { QLocale::setDefault(Locale); }
    } restore{previous};
    Populate();
    TCustomResourceItem* english = Find(Ord(RT_RCDATA), Ord(7), 0x409);
    TCustomResourceItem* german = Find(Ord(RT_RCDATA), Ord(7), 0x407);
    Choose(NodeOf(english));
    ASSERT_EQ(Frame->ChildButtons().Count(), 2);
    for (int i = 0; i < 2; ++i) Frame->ChildButtons()[i]->UpdateButton();
    TResourceItemButton* first = Frame->ChildButtons()[0];
    TResourceItemButton* second = Frame->ChildButtons()[1];
    EXPECT_EQ(first->CurrentDescription(), LanguageIDToString(first->ResourceItem()->Language()));
    EXPECT_EQ(Frame->ChildResourceItem(), first->ResourceItem());
    EXPECT_TRUE(first->isChecked());

    Frame->show();
    QTest::mouseClick(second, Qt::LeftButton);
    EXPECT_EQ(Frame->ChildResourceItem(), second->ResourceItem());
    EXPECT_EQ(Frame->EditResourceItem(), second->ResourceItem());
    EXPECT_TRUE(second->isChecked());
    EXPECT_FALSE(first->isChecked());
    EXPECT_TRUE(english == first->ResourceItem() || german == first->ResourceItem());
}

TEST_F(Workspace, ThumbnailsTakeTheSizeTheirPictureAllows)
{
    struct TCase {
        int W, H, TW, TH;
    };
    const TCase cases[] = {
        {4, 4, 16, 16}, {2, 40, 8, 64}, {200, 100, 80, 40}, {32, 32, 32, 32},
        {100, 10, 80, 16}, {5, 100, 16, 64}, {70, 10, 64, 16},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ResourceButtonThumbnailSize(c.W, c.H), QSize(c.TW, c.TH)) << c.W << "x" << c.H;
}

TEST_F(Workspace, VariantButtonTitleIsThePictureSizeAndItsGlyphTheThumbnail)
{
    Install([this] { Add(Ord(RT_RCDATA), Ord(1), 0x409)->Data = QByteArray("\x04\x04", 2); });
    Choose(NodeOf(Module->Items()->Items(0)));
    ASSERT_EQ(Frame->ChildButtons().Count(), 1);
    TResourceItemButton* button = Frame->ChildButtons()[0];
    button->UpdateButton();
    EXPECT_EQ(button->CurrentTitle(), QStringLiteral("(4x4)"));
    EXPECT_EQ(button->CurrentDescription(), LanguageIDToString(0x409));
    EXPECT_EQ(button->Glyph().size(), QSize(16, 16));
}

TEST_F(Workspace, ThumbnailsKeepThePicturesOwnTransparency)
{
    // Half-transparent red stays half-transparent red: nothing of a background colour is mixed in.
    Install([this] { Add(Ord(RT_RCDATA), Ord(1), 0x409)->Data = QByteArray("\x04\x04\x80", 3); });
    Choose(NodeOf(Module->Items()->Items(0)));
    ASSERT_EQ(Frame->ChildButtons().Count(), 1);
    TResourceItemButton* button = Frame->ChildButtons()[0];
    button->UpdateButton();
    const QColor pixel = button->Glyph().pixelColor(8, 8);
    EXPECT_EQ(pixel.alpha(), 0x80);
    EXPECT_EQ(pixel.red(), 255);
    EXPECT_EQ(pixel.green(), 0);
    EXPECT_EQ(pixel.blue(), 0);
}

TEST_F(Workspace, FailingEditorShowsTheErrorFrameAndIsDeactivated)
{
    Install([this] { Add(Ord(RT_RCDATA), TResourceIdent("BROKEN")); });
    Log().Events.clear();
    Choose(NodeOf(Module->Items()->Items(0)));
    EXPECT_EQ(Log().Events, (std::vector<QString>{"view BROKEN/0", "edit BROKEN/0", "deactivate nil"}));
    EXPECT_TRUE(Frame->FrameEditError()->isVisibleTo(Frame.get()));
    EXPECT_EQ(Frame->FrameEditError()->Text(), QStringLiteral("Failed to initialize atelier:\rno way"));
    EXPECT_EQ(Frame->PanelEditor()->Text(), QStringLiteral("Edit"));
    EXPECT_EQ(Frame->GetResourceItemEditor(), nullptr);
    // The preview is not affected.
    EXPECT_NE(Frame->GetResourceItemView(), nullptr);
}

TEST_F(Workspace, PropertyInspectorHearsTheWorkspaceInOrder)
{
    Populate();
    TCustomResourceItem* zeta = Find(TResourceIdent("ZETA"), TResourceIdent("B"), 0);
    Choose(NodeOf(zeta));
    EXPECT_EQ(Inspector.Calls, (std::vector<QString>{"Set B/0", "Add B/0 1"}));
    Inspector.Calls.clear();
    Frame->Deactivate();
    EXPECT_EQ(Inspector.Calls, (std::vector<QString>{"Remove all"}));
    Inspector.Calls.clear();
    Frame->TreeViewResources()->setFocus();
    QTest::keyClick(Frame->TreeViewResources(), Qt::Key_Return);
    EXPECT_EQ(Inspector.Calls, (std::vector<QString>{"Activate"}));
    Inspector.Calls.clear();
    Frame->CloseModule();
    EXPECT_EQ(Inspector.Calls, (std::vector<QString>{"Set nil"}));
}

TEST_F(Workspace, SequencedVariantShowsItsFramesAndEditsTheFirst)
{
    auto module = std::make_unique<TResourceModule>();
    auto animation = std::make_unique<TTestAnimation>(Ord(1));
    TTestAnimation* anim = animation.get();
    module->Items()->Add(animation.release());
    std::vector<TCustomResourceItem*> frames;
    for (int i = 0; i < 3; ++i) {
        auto frame = std::make_unique<TTestFrame>(Ord(i + 1));
        frames.push_back(frame.get());
        module->Items()->Add(frame.release());
        frames.back()->SetParent(anim);
    }
    TCustomResourceItem* plain = new TTestItem(TResourceIdent("PARENT"), Ord(2));
    module->Items()->Add(plain);
    Frame->InstallModule(std::move(module), {});
    Frame->show();

    Choose(NodeOf(anim));
    EXPECT_EQ(Frame->ViewResourceItem(), anim);
    EXPECT_EQ(Frame->EditResourceItem(), frames[0]);
    EXPECT_TRUE(Frame->PanelFrames()->isVisible());
    ASSERT_EQ(Frame->FrameButtons().Count(), 3);
    Frame->FrameButtons()[2]->UpdateButton();
    EXPECT_EQ(Frame->FrameButtons()[2]->CurrentTitle(), QStringLiteral("Frame #2"));

    QTest::mouseClick(Frame->FrameButtons()[1], Qt::LeftButton);
    EXPECT_EQ(Frame->FrameResourceItem(), frames[1]);
    EXPECT_EQ(Frame->ViewResourceItem(), frames[1]);
    EXPECT_EQ(Frame->EditResourceItem(), frames[1]);
    EXPECT_EQ(Frame->ChildResourceItem(), anim);
    EXPECT_FALSE(Frame->ChildButtons()[0]->Active()); // the variant's button waits in the inactive colours
    EXPECT_TRUE(Frame->PanelFrames()->isVisible());

    // A frame asked for from elsewhere: its resource, its variant, then the frame.
    Choose(NodeOf(plain));
    EXPECT_FALSE(Frame->PanelFrames()->isVisible());
    Frame->SelectResourceItem(frames[2]);
    QApplication::processEvents();
    EXPECT_EQ(Frame->ChildResourceItem(), anim);
    EXPECT_EQ(Frame->FrameResourceItem(), frames[2]);
    EXPECT_EQ(Frame->EditResourceItem(), frames[2]);
}

TEST_F(Workspace, SelectResourceItemIsPostedAndClimbsToTheNode)
{
    Populate();
    TCustomResourceItem* german = Find(Ord(RT_RCDATA), Ord(7), 0x407);
    Frame->SelectResourceItem(german);
    EXPECT_EQ(Frame->SelectResourceItemValue(), nullptr); // posted, not done at once
    QApplication::processEvents();
    EXPECT_EQ(Frame->SelectResourceItemValue(), german);
    EXPECT_EQ(Frame->TreeViewResources()->currentItem(), NodeOf(german));
    EXPECT_EQ(Frame->ChildButtons().Count(), 2);
    EXPECT_EQ(Frame->EditResourceItem(), german);

    // A stale request for an item freed meanwhile does nothing.
    TCustomResourceItem* zeta = Find(TResourceIdent("ZETA"), TResourceIdent("B"), 0);
    Frame->SelectResourceItem(zeta);
    TResourceItemPtr(Module->Items()->Extract(zeta));
    QApplication::processEvents();
    EXPECT_EQ(Frame->SelectResourceItemValue(), german);
    EXPECT_EQ(TopTexts().size(), 1); // the emptied type went with its last item
}

TEST_F(Workspace, ViewAsListsEveryHandlerAndSwitchesThePreview)
{
    TOtherViewFactory::ClassInfo()->Register(10);
    Populate();
    Choose(NodeOf(Find(TResourceIdent("ZETA"), TResourceIdent("B"), 0)));
    Frame->PopupPreview();
    const QList<QAction*> actions = Frame->PopupActionBarPreview()->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("View as Logging"));
    EXPECT_TRUE(actions[0]->isChecked());
    EXPECT_EQ(actions[1]->text(), QStringLiteral("View as Other"));
    TCustomResourceItem* selected = Frame->SelectResourceItemValue();
    actions[1]->trigger();
    EXPECT_EQ(Frame->PanelPreview()->Text(), QStringLiteral("Preview (Other)"));
    EXPECT_TRUE(actions[1]->isChecked());
    EXPECT_EQ(Frame->SelectResourceItemValue(), selected);
    EXPECT_EQ(Frame->EditResourceItem(), selected);
}

TEST_F(Workspace, ModifiedMarksFollowEditsAndSaves)
{
    Populate();
    TTestItem* zeta = static_cast<TTestItem*>(Find(TResourceIdent("ZETA"), TResourceIdent("B"), 0));
    TCustomTreeNodeResourceItem* node = NodeOf(zeta);
    EXPECT_EQ(node->StateIndex(), 0);
    zeta->SetModified(true);
    zeta->SetData("changed");
    EXPECT_EQ(node->StateIndex(), 2);
    QTemporaryDir dir;
    Frame->SaveToFile(dir.filePath("saved.res"));
    EXPECT_EQ(node->StateIndex(), 0);
}

TEST_F(Workspace, DeletingTheLastItemOfATypeRemovesTheTypeNode)
{
    Populate();
    TCustomTreeNodeResourceItem* node = NodeOf(Find(TResourceIdent("ZETA"), TResourceIdent("B"), 0));
    const int items = Module->Items()->Count();
    node->Delete();
    EXPECT_EQ(TopTexts().size(), 1);
    EXPECT_EQ(Module->Items()->Count(), items - 1);
}

TEST_F(Workspace, DeletingVariantsAndGroupsFreesTheirItems)
{
    std::vector<TCustomResourceItem*> groups;
    TTestItem* english = nullptr;
    TTestItem* german = nullptr;
    Install([&] {
        english = Add(Ord(RT_RCDATA), Ord(7), 0x409);
        german = Add(Ord(RT_RCDATA), Ord(7), 0x407);
        for (int i = 0; i < 2; ++i) {
            auto group = std::make_unique<TTestGroup>(TResourceIdent("ICONS"));
            group->SetLanguage(TLanguageID(0x409 + i));
            groups.push_back(group.get());
            Module->Items()->Add(group.release());
        }
        auto child = std::make_unique<TTestChild>(Ord(1));
        TTestChild* member = child.get();
        Module->Items()->Add(child.release());
        member->SetParent(groups[0]);
    });
    TCustomTreeNodeResourceItem* node = NodeOf(english);
    node->DeleteItem(english);
    EXPECT_EQ(Module->Items()->IndexOf(english), -1);
    EXPECT_EQ(NodeOf(german), node); // the other variant keeps the node
    node->DeleteItem(german);
    EXPECT_EQ(Frame->FindTypeNode(Ord(RT_RCDATA)), nullptr); // last item: node and type go

    const int before = Module->Items()->Count();
    NodeOf(groups[0])->Delete();
    EXPECT_EQ(Module->Items()->Count(), before - 2); // the group and its member
    ASSERT_NE(NodeOf(groups[1]), nullptr);
    EXPECT_EQ(TopTexts().size(), 1);
}

TEST_F(Workspace, FirstSymbolBringsASymbolsItem)
{
    Populate();
    EXPECT_EQ(Frame->SymbolsResourceItem(), nullptr);
    Module->Symbols()->Add(QStringLiteral("IDC_FIRST"))->SetValue(100);
    static_cast<TTestItem*>(Find(TResourceIdent("ZETA"), TResourceIdent("B"), 0))->SetData("x");
    ASSERT_NE(Frame->SymbolsResourceItem(), nullptr);
    EXPECT_EQ(Frame->FindItemNode(Frame->SymbolsResourceItem()), Frame->TreeViewResources()->topLevelItem(0));
}

TEST_F(Workspace, ChangedTypeGetsTheKindThatHandlesIt)
{
    Populate();
    TTestItem* zeta = static_cast<TTestItem*>(Find(TResourceIdent("ZETA"), TResourceIdent("B"), 0));
    zeta->SetData("payload");
    const int items = Module->Items()->Count();
    zeta->SetResourceType(TResourceIdent("NEWTYPE"));
    QApplication::processEvents();
    TCustomResourceItem* replaced = Module->Find(TResourceIdent("NEWTYPE"), TResourceIdent("B"));
    ASSERT_NE(replaced, nullptr);
    EXPECT_EQ(dynamic_cast<TTestItem*>(replaced), nullptr); // the generic kind now
    EXPECT_EQ(Module->Items()->Count(), items);
    TMemoryStream data;
    replaced->SaveToStream(data);
    EXPECT_EQ(data.Size(), 7);
    EXPECT_NE(Frame->FindTypeNode(TResourceIdent("NEWTYPE")), nullptr);
    EXPECT_EQ(Frame->TreeViewResources()->currentItem(), NodeOf(replaced));

    // To a type that has a node already: only the text follows.
    TCustomResourceItem* alpha = Find(Ord(RT_RCDATA), TResourceIdent("ALPHA"), 0);
    alpha->SetResourceType(TResourceIdent("NEWTYPE"));
    QApplication::processEvents();
    EXPECT_EQ(Module->Find(TResourceIdent("NEWTYPE"), TResourceIdent("ALPHA")), alpha);
}

TEST_F(Workspace, ShortcutsGoToTheEditorFirst)
{
    Populate();
    Choose(NodeOf(Find(TResourceIdent("ZETA"), TResourceIdent("B"), 0)));
    QWidget* editor = Frame->GetResourceItemEditor()->GetControl();
    QWidget* view = Frame->GetResourceItemView()->GetControl();
    int editorHits = 0, viewHits = 0;
    auto* inEditor = new QAction(editor);
    inEditor->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    editor->addAction(inEditor);
    QObject::connect(inEditor, &QAction::triggered, [&] { ++editorHits; });
    auto* inView = new QAction(view);
    inView->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    view->addAction(inView);
    QObject::connect(inView, &QAction::triggered, [&] { ++viewHits; });
    QKeyEvent key(QEvent::KeyPress, Qt::Key_K, Qt::ControlModifier);
    EXPECT_TRUE(Frame->IsShortCut(&key));
    EXPECT_EQ(editorHits, 1);
    EXPECT_EQ(viewHits, 0);
    inEditor->setEnabled(false);
    EXPECT_TRUE(Frame->IsShortCut(&key));
    EXPECT_EQ(viewHits, 1);
    QKeyEvent other(QEvent::KeyPress, Qt::Key_J, Qt::ControlModifier);
    EXPECT_FALSE(Frame->IsShortCut(&other));
}

TEST_F(Workspace, UnknownFileRaisesAClearError)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("notes.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("plain text, no resources");
    file.close();
    try {
        Frame->LoadFromFile(file.fileName());
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Unable to locate a resource module reader for \"%1\"").arg(file.fileName()));
    }
}

TEST_F(Workspace, WindresModuleInterop)
{
    REQUIRE_PEER_TOOL(windres, "x86_64-w64-mingw32-windres");
    QTemporaryDir dir;
    QFile rc(dir.filePath("t.rc"));
    ASSERT_TRUE(rc.open(QIODevice::WriteOnly));
    rc.write("LANGUAGE 9, 1\n"
             "7 RCDATA { \"seven\" }\n"
             "ALPHA RCDATA { \"alpha\" }\n"
             "LANGUAGE 7, 1\n"
             "7 RCDATA { \"sieben\" }\n"
             "LANGUAGE 9, 1\n"
             "PNGS MYDATA { \"x\" }\n"
             "STRINGTABLE { 1, \"one\" }\n");
    rc.close();
    ASSERT_TRUE(RunPeerTool(windres, {rc.fileName(), "-O", "res", "-o", dir.filePath("t.res")}).Ok());
    Frame->LoadFromFile(dir.filePath("t.res"));
    Module = Frame->ResourceModule();
    EXPECT_EQ(Frame->Filename(), dir.filePath("t.res"));
    const QStringList top = TopTexts();
    ASSERT_EQ(top.size(), 3) << top.join(", ").toStdString();
    EXPECT_EQ(top.last(), QStringLiteral("MYDATA"));
    TCustomTreeNodeResourceItem* seven = NodeOf(Module->Find(Ord(RT_RCDATA), Ord(7), 0x0409));
    ASSERT_NE(seven, nullptr);
    EXPECT_EQ(seven->Items()->Count(), 2);
    EXPECT_EQ(seven->text(0), QStringLiteral("7"));
    Choose(seven);
    EXPECT_EQ(Frame->ChildButtons().Count(), 2);
}

} // namespace

#include "WorkspaceTest.moc"
