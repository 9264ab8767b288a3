// The workspace's item commands through the real docked main window: adding, importing, exporting,
// cloning, deleting and moving resources, variants and frames, and what a failing command leaves.
#include "../platform/PeerTools.h"
#include "MainWindowTesting.h"
#include "kinds/koIconEncoder.h"
#include "kinds/koResourceItemAnimatedIconCursor.h"
#include "kinds/koResourceItemBitmap.h"
#include "kinds/koResourceItemIconCursor.h"
#include "kinds/koResourceItemImage.h"
#include "kinds/koResourceItemRcData.h"
#include "kinds/koResourceItemString.h"
#include "shell/koAtelierFrame.h"
#include "shell/koAtelierFrameCommands.h"
#include "shell/koTreeView.h"
#include "platform/UpdateGuard.h"

#include <QAction>
#include <QFile>
#include <QImageReader>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// Saves a few bytes, then fails.
class TFailingSaveItem : public TTestItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TFailingSaveItem, TTestItem)
public:
    explicit TFailingSaveItem(const TResourceIdent& name) : TTestItem(name) {}
    void SaveToFileStream(TStream& stream) override
    {
        stream.WriteBytes(QByteArray("half"));
        throw Exception(QStringLiteral("disk on fire"));
    }
};

// Its data cannot be copied into another item.
class TUncopyableItem : public TTestItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TUncopyableItem, TTestItem)
public:
    explicit TUncopyableItem(const TResourceIdent& name) : TTestItem(name) {}
    void AssignToItem(TCustomResourceItem*) override { throw Exception(QStringLiteral("not copyable")); }
};

// Changes its data, then finds the file bad.
class TPartialLoadItem : public TTestItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TPartialLoadItem, TTestItem)
public:
    explicit TPartialLoadItem(const TResourceIdent& name) : TTestItem(name) {}
    static bool HandlesFile(const QString&, TStream*) { return true; }
    void LoadFromFileStream(TStream&) override
    {
        SetData("half-loaded");
        throw Exception(QStringLiteral("bad file"));
    }
};

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

class ItemCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourceItemImage_Initialize();
        koResourceItemBitmap_Initialize();
        koIconEncoder_Initialize();
        koResourceItemIconCursor_Initialize();
        koResourceItemAnimatedIconCursor_Initialize();
        koResourceItemString_Initialize();
        koResourceItemRcData_Initialize();
        auto prompts = std::make_unique<TScriptedPrompts>();
        Prompts = prompts.get();
        Form = std::make_unique<TFormMain>(std::move(prompts));
        Form->show();
        Settle();
        Frame = Form->FrameAtelier();
        Commands = Frame->ItemCommands();
    }
    void TearDown() override
    {
        Form.reset();
        koResourceItemRcData_Finalize();
        koResourceItemString_Finalize();
        koResourceItemAnimatedIconCursor_Finalize();
        koResourceItemIconCursor_Finalize();
        koIconEncoder_Finalize();
        koResourceItemBitmap_Finalize();
        koResourceItemImage_Finalize();
    }
    TCustomResourceModule* Module() const { return Frame->ResourceModule(); }
    int ItemCount() const { return Module()->Items()->Count(); }
    // Runs a command as its action does: errors go to the window's handler.
    void Run(const std::function<void()>& command)
    {
        GuardedCall(command);
        Settle();
    }
    // Chooses the node of the item, as a click does, and lets the debounce run out.
    void Choose(TCustomResourceItem* item)
    {
        TCustomTreeNodeResourceItem* node = Frame->FindItemNode(item->Parent() ? item->Parent() : item);
        ASSERT_NE(node, nullptr);
        Frame->TreeViewResources()->setCurrentItem(node);
        if (Frame->SelectPending()) Frame->TimerSelectTimer();
        Settle();
    }
    TCustomResourceItem* AddKind(TResourceItemClass kind)
    {
        Run([&] { Commands->ResourceAddKind(kind); });
        if (Frame->SelectPending()) Frame->TimerSelectTimer();
        auto* node = dynamic_cast<TCustomTreeNodeResourceItem*>(Frame->TreeViewResources()->currentItem());
        if (!node) return nullptr;
        if (auto* group = dynamic_cast<TTreeNodeResourceGroupItem*>(node)) return group->Item();
        return node->Items()->Count() > 0 ? node->Items()->Items(0) : nullptr;
    }
    // An icon file of one 32x32 image, written by the program itself.
    QString IconFile(const QString& name)
    {
        TCustomResourceItem* group = AddKind(TIconImageClass());
        const QString path = Dir.filePath(name);
        SaveResourceItemToFile(group, path);
        Form->NewFile();
        return path;
    }
    static TResourceItemClass TIconImageClass() { return TIconResourceItem::ClassInfo(); }
    TCustomResourceItem* Install(const std::function<void(TCustomResourceModule*)>& build)
    {
        auto module = std::make_unique<TResourceModule>();
        build(module.get());
        Frame->InstallModule(std::move(module), {});
        Form->TrackModule(Frame->ResourceModule());
        return Module()->Items()->Count() > 0 ? Module()->Items()->Items(0) : nullptr;
    }

    TMainWindowUnits Units;
    QTemporaryDir Dir;
    TScriptedPrompts* Prompts = nullptr;
    std::unique_ptr<TFormMain> Form;
    TFrameAtelier* Frame = nullptr;
    TAtelierItemCommands* Commands = nullptr;
};

TEST_F(ItemCommands, ImportNamesTheResourceAfterItsFileAndCountsUpOnClashes)
{
    const QString icon = IconFile(QStringLiteral("source.ico"));
    struct TCase {
        QString FileName;
        QString Expected; // empty: the ordinal name stays
    };
    const TCase cases[] = {
        {"my icon.ico", "MY_ICON"},  {"sub1/my icon.ico", "MY_ICON0"}, {"sub2/my icon.ico", "MY_ICON1"},
        {"a.b c.ico", "A_B_C"},      {"Ünï-x_9.ico", "NX_9"},          {"éé.ico", ""},
    };
    for (const TCase& c : cases) {
        const QString path = Dir.filePath(c.FileName);
        QDir().mkpath(QFileInfo(path).path());
        QFile::copy(icon, path);
        TCustomResourceItem* item = nullptr;
        Run([&] { item = Frame->AddItemFromFile(path); });
        ASSERT_NE(item, nullptr) << c.FileName.toStdString();
        EXPECT_TRUE(Prompts->Errors.isEmpty()) << Prompts->Errors.join('|').toStdString();
        if (c.Expected.isEmpty())
            EXPECT_TRUE(item->NameIsInteger()) << c.FileName.toStdString();
        else
            EXPECT_EQ(item->NameAsString(), c.Expected) << c.FileName.toStdString();
        EXPECT_EQ(item->Filename(), path);
        // The new resource is the chosen node.
        EXPECT_EQ(Frame->TreeViewResources()->currentItem(), Frame->FindItemNode(item));
    }
}

TEST_F(ItemCommands, SingleKindIsMadeOnceAndItsAddEntrySelectsTheExistingOne)
{
    TResourceItemClass strings = TStringListResourceItem::ClassInfo();
    TCustomResourceItem* first = AddKind(strings);
    ASSERT_NE(first, nullptr);
    const int count = ItemCount();
    Frame->TreeViewResources()->setCurrentItem(nullptr);
    EXPECT_EQ(AddKind(strings), first);
    EXPECT_EQ(ItemCount(), count);
    try {
        Frame->CreateResourceItem(strings, nullptr);
        FAIL() << "a second string table was made";
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), QStringLiteral("Only one %1 item can be created").arg(strings->ResourceTypeName()));
    }
    EXPECT_EQ(ItemCount(), count);
    // The Add menu lists the creatable kinds last registered first, then the import.
    const QList<QAction*> entries = Commands->PopupMenuResourceTypes()->actions();
    const QList<QAction*>& kinds = Commands->ActionListResourceTypes();
    ASSERT_EQ(entries.size(), kinds.size() + 2);
    EXPECT_EQ(entries.first(), kinds.last());
    EXPECT_EQ(entries[kinds.size() - 1], kinds.first());
    EXPECT_EQ(entries.last(), Commands->Action("ActionResourceImport"));
}

TEST_F(ItemCommands, ChildKindBringsItsParentAndNewMembersGetUniqueNumbers)
{
    TCustomResourceItem* group = AddKind(TIconImageClass());
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(group->IsGroup());
    ASSERT_EQ(group->Items()->Count(), 1);
    EXPECT_EQ(Frame->TreeViewResources()->currentItem(), Frame->FindItemNode(group));
    // A second icon resource, then a new member of the first group: its number is free in the module.
    AddKind(TIconImageClass());
    Choose(group);
    ASSERT_EQ(Frame->ChildResourceItem(), group->Items()->Items(0));
    Run([&] { Commands->ChildAdd(); });
    ASSERT_EQ(group->Items()->Count(), 2);
    TCustomResourceItem* member = group->Items()->Items(1);
    EXPECT_EQ(Frame->ChildResourceItem(), member);
    int sameNumber = 0;
    for (TCustomResourceItem* item : *Module()->Items())
        if (item->ResourceType() == member->ResourceType() && item->Name() == member->Name()) ++sameNumber;
    EXPECT_EQ(sameNumber, 1);
    // Moving the new member up reorders the group; the first member cannot move further up.
    Commands->UpdateActions();
    EXPECT_TRUE(Commands->Action("ActionResourceChildMoveUp")->isEnabled());
    EXPECT_FALSE(Commands->Action("ActionResourceChildMoveDown")->isEnabled());
    Run([&] { Commands->ChildMove(true, false); });
    EXPECT_EQ(group->Items()->Items(0), member);
    EXPECT_EQ(Frame->ChildButtons()[0]->ResourceItem(), member);
    Commands->UpdateActions();
    EXPECT_FALSE(Commands->Action("ActionResourceChildMoveUp")->isEnabled());
}

TEST_F(ItemCommands, DeletingAVariantSelectsTheNextOneOrThePreviousOne)
{
    struct TCase {
        int Deleted;          // index of the node's item deleted
        int Count;            // languages of the resource
        int ExpectedSelected; // index (before the delete) of the variant selected after, -1 none
    };
    for (const TCase c : {TCase{0, 3, 1}, TCase{1, 3, 2}, TCase{2, 3, 1}, TCase{0, 1, -1}}) {
        std::vector<TCustomResourceItem*> variants;
        Install([&](TCustomResourceModule* module) {
            for (int i = 0; i < c.Count; ++i) {
                auto* item = new TTestItem(Ord(5));
                item->SetLanguage(TLanguageID(uint16_t(0x401 + i)));
                module->Items()->Add(item);
                variants.push_back(item);
            }
        });
        Choose(variants[0]);
        TCustomTreeNodeResourceItem* node = Frame->FindItemNode(variants[0]);
        TCustomResourceItem* target = node->Items()->Items(c.Deleted);
        Frame->SelectChild(target);
        TCustomResourceItem* expected = c.ExpectedSelected >= 0 ? node->Items()->Items(c.ExpectedSelected) : nullptr;
        Run([&] { Commands->ChildDelete(); });
        EXPECT_EQ(ItemCount(), c.Count - 1);
        EXPECT_EQ(Frame->ChildResourceItem(), expected) << c.Deleted << "/" << c.Count;
        EXPECT_EQ(Frame->ChildButtons().Count(), c.Count - 1);
        // The last variant takes its node and the emptied type node with it.
        if (c.Count == 1) {
            EXPECT_EQ(Frame->TreeViewResources()->topLevelItemCount(), 0);
        }
    }
}

TEST_F(ItemCommands, NewVariantJoinsItsNodeAndACloneCopiesOnlyTheTopItem)
{
    TTestItem* english = nullptr;
    Install([&](TCustomResourceModule* module) {
        for (uint16_t language : {uint16_t(0x409), uint16_t(0x407)}) {
            auto* item = new TTestItem(TResourceIdent("DATA"));
            item->SetLanguage(TLanguageID(language));
            item->SetData(QByteArray("bytes ") + QByteArray::number(language));
            module->Items()->Add(item);
            if (!english) english = item;
        }
        module->Items()->Add(new TTestItem(Ord(1)));
    });
    TTestItem::ClassInfo()->Register(0);
    TFinally unregister([] { TTestItem::ClassInfo()->Unregister(); });
    Choose(english);
    TCustomTreeNodeResourceItem* node = Frame->FindItemNode(english);
    Frame->SelectChild(english);
    Run([&] { Commands->ChildClone(); });
    ASSERT_EQ(node->Items()->Count(), 3);
    auto* copy = dynamic_cast<TTestItem*>(Frame->ChildResourceItem());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Name(), TResourceIdent("DATA"));
    EXPECT_EQ(copy->Data, english->Data);
    EXPECT_EQ(Frame->ChildButtons().Count(), 3);
    // No two variants share a language, else a saved file would keep only one of them: the copy and a
    // new variant are neutral while that is free, then take the next free number.
    EXPECT_EQ(uint16_t(copy->Language()), 0);
    Run([&] { Frame->SelectChild(Frame->NewVariant(english)); });
    ASSERT_EQ(node->Items()->Count(), 4);
    EXPECT_EQ(Frame->ChildResourceItem()->Name(), TResourceIdent("DATA"));
    EXPECT_EQ(uint16_t(Frame->ChildResourceItem()->Language()), 1);

    const int count = ItemCount();
    Frame->SelectChild(english);
    Run([&] { Commands->ResourceClone(); });
    ASSERT_EQ(ItemCount(), count + 1);
    auto* clone = dynamic_cast<TTestItem*>(Module()->Items()->Items(count));
    ASSERT_NE(clone, nullptr);
    // A free number (1 is taken), its own node, the top item's data.
    EXPECT_EQ(clone->Name(), Ord(2));
    EXPECT_EQ(clone->Data, english->Data);
    EXPECT_EQ(Frame->FindItemNode(clone)->Items()->Count(), 1);
    EXPECT_TRUE(Prompts->Errors.isEmpty()) << Prompts->Errors.join('|').toStdString();
}

TEST_F(ItemCommands, LoadResourceReplacesTheResourceAndItsOtherVariants)
{
    const auto generic = [](uint16_t language, const QByteArray& data) {
        auto* item = new TResourceItemGeneric(Ord(7));
        item->SetResourceType(Ord(RT_RCDATA));
        item->SetLanguage(TLanguageID(language));
        TBytesStream bytes(data);
        item->LoadFromStream(bytes, data.size());
        return item;
    };
    TCustomResourceItem* german = Install([&](TCustomResourceModule* module) {
        module->Items()->Add(generic(0x407, "german"));
        module->Items()->Add(generic(0x409, "english"));
    });
    Choose(german);
    Frame->SelectChild(german);
    const QString path = Dir.filePath("replacement.bin");
    WriteAll(path, "replacement");
    Prompts->OpenNames = {path};
    Run([&] { Commands->ResourceLoad(); });
    ASSERT_TRUE(Prompts->Errors.isEmpty()) << Prompts->Errors.join('|').toStdString();
    ASSERT_EQ(ItemCount(), 1);
    auto* loaded = dynamic_cast<TCustomResourceItemGeneric*>(Module()->Items()->Items(0));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Name(), Ord(7));
    EXPECT_EQ(uint16_t(loaded->Language()), 0x407);
    EXPECT_EQ(loaded->Data()->ToByteArray(), QByteArray("replacement"));
    EXPECT_EQ(loaded->Filename(), path);
    EXPECT_EQ(Frame->ChildResourceItem(), loaded);
    EXPECT_EQ(Frame->TreeViewResources()->currentItem(), Frame->FindItemNode(loaded));
}

TEST_F(ItemCommands, VariantMenuOnAButtonActsOnThatButtonsItem)
{
    std::vector<TCustomResourceItem*> variants;
    Install([&](TCustomResourceModule* module) {
        for (uint16_t language : {uint16_t(0x401), uint16_t(0x402), uint16_t(0x403)}) {
            auto* item = new TTestItem(Ord(5));
            item->SetLanguage(TLanguageID(language));
            module->Items()->Add(item);
            variants.push_back(item);
        }
    });
    Choose(variants[0]);
    Frame->SelectChild(variants[0]);
    Commands->VariantMenuOpened(Frame->ChildButtons()[2]);
    EXPECT_EQ(Commands->VariantTarget(), variants[2]);
    EXPECT_TRUE(Commands->Action("ActionResourceChildMoveUpMenu")->isEnabled());
    EXPECT_FALSE(Commands->Action("ActionResourceChildMoveDownMenu")->isEnabled());
    EXPECT_FALSE(Commands->Action("ActionResourceChildMoveUp")->isEnabled());
    Run([&] { Commands->ChildDelete(); });
    EXPECT_EQ(Module()->Find(Ord(RT_RCDATA), Ord(5), 0x403), nullptr);
    EXPECT_NE(Module()->Find(Ord(RT_RCDATA), Ord(5), 0x401), nullptr);
    // Once the menu has closed, the commands act on the selected variant again.
    Commands->MenuClosed();
    EXPECT_EQ(Commands->VariantTarget(), Frame->ChildResourceItem());
}

TEST_F(ItemCommands, MovingFramesReordersTheAnimationAndRenumbersTheButtons)
{
    TCustomResourceItem* animation = AddKind(TAnimatedCursorResourceItem::ClassInfo());
    ASSERT_NE(animation, nullptr);
    Choose(animation);
    ASSERT_EQ(Frame->ChildResourceItem(), animation);
    Run([&] { Commands->FrameAdd(); });
    Run([&] { Commands->FrameAdd(); });
    ASSERT_EQ(animation->Items()->Count(), 3);
    ASSERT_EQ(Frame->FrameButtons().Count(), 3);
    TCustomResourceItem* first = animation->Items()->Items(0);
    Frame->SelectFrame(first);
    Commands->UpdateActions();
    EXPECT_FALSE(Commands->Action("ActionResourceFrameMoveUp")->isEnabled());
    EXPECT_TRUE(Commands->Action("ActionResourceFrameMoveDown")->isEnabled());
    Run([&] { Commands->FrameMove(false); });
    EXPECT_EQ(animation->Items()->Items(1), first);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Frame->FrameButtons()[i]->ResourceItem(), animation->Items()->Items(i));
        EXPECT_EQ(Frame->FrameButtons()[i]->Title(), QStringLiteral("Frame #%1").arg(i));
    }
    // Deleting the middle frame picks the one now in its place and renumbers the rest.
    Run([&] { Commands->FrameDelete(); });
    ASSERT_EQ(animation->Items()->Count(), 2);
    EXPECT_EQ(Frame->FrameResourceItem(), animation->Items()->Items(1));
    EXPECT_EQ(Frame->FrameButtons()[1]->Title(), QStringLiteral("Frame #1"));
}

// Export and import give the same bytes, and other programs read the exported pictures.
TEST_F(ItemCommands, ExportAndImportBackGiveTheSameBytes)
{
    struct TCase {
        TResourceItemClass Kind;
        QString Extension;
        QByteArray ImageFormat;
    };
    for (const TCase& c : {TCase{TIconImageClass(), "ico", "ico"}, TCase{TBitmapResourceItem::ClassInfo(), "bmp", "bmp"}}) {
        Form->NewFile();
        TCustomResourceItem* item = AddKind(c.Kind);
        ASSERT_NE(item, nullptr);
        Choose(item);
        Prompts->SaveFileName = Dir.filePath("exported." + c.Extension);
        Run([&] { Commands->ResourceSave(); });
        // The proposed name is the resource's name with the kind's extension.
        EXPECT_EQ(Prompts->LastSaveFile.FileName, item->NameAsString() + "." + c.Extension);
        const QByteArray exported = ReadAll(Prompts->SaveFileName);
        ASSERT_FALSE(exported.isEmpty());
        QImageReader reader(Prompts->SaveFileName, c.ImageFormat);
        if (QImageReader::supportedImageFormats().contains(c.ImageFormat)) {
            EXPECT_FALSE(reader.read().isNull()) << reader.errorString().toStdString();
        }

        Prompts->OpenNames = {Prompts->SaveFileName};
        Run([&] { Commands->ResourceAddLoad(); });
        ASSERT_TRUE(Prompts->Errors.isEmpty()) << Prompts->Errors.join('|').toStdString();
        EXPECT_EQ(Prompts->LastOpen.MultiSelect, true);
        TCustomResourceItem* imported = Module()->Find(item->ResourceType(), TResourceIdent("EXPORTED"));
        ASSERT_NE(imported, nullptr);
        const QString again = Dir.filePath("again." + c.Extension);
        SaveResourceItemToFile(imported, again);
        EXPECT_EQ(ReadAll(again), exported);
    }
}

TEST_F(ItemCommands, InteropExportedIconIsReadByIcotool)
{
    const QString icotool = FindPeerTool(QStringLiteral("icotool"));
    if (icotool.isEmpty()) GTEST_SKIP() << "icotool is not installed";
    const QString path = IconFile(QStringLiteral("peer.ico"));
    const TPeerToolResult listed = RunPeerTool(icotool, {QStringLiteral("-l"), path});
    ASSERT_TRUE(listed.Ok()) << listed.Describe().toStdString();
    EXPECT_TRUE(listed.Out.contains("--width=32 --height=32")) << listed.Out.toStdString();
}

// A command that fails says why and leaves the module and the files as they were.
TEST_F(ItemCommands, FailingCommandsLeaveModuleAndFilesAsTheyWere)
{
    const QString icon = IconFile(QStringLiteral("good.ico"));
    const QString truncated = Dir.filePath("truncated.ico");
    WriteAll(truncated, ReadAll(icon).left(30));
    // The dialogs ask the registry for the kinds' file types.
    const std::vector<TResourceItemClass> kinds = {TTestItem::ClassInfo(), TFailingSaveItem::ClassInfo(),
                                                   TUncopyableItem::ClassInfo(), TPartialLoadItem::ClassInfo()};
    for (TResourceItemClass kind : kinds) kind->Register(0);
    TFinally unregister([&] {
        for (TResourceItemClass kind : kinds) kind->Unregister();
    });
    const QString existing = Dir.filePath("existing.bin");
    WriteAll(existing, "old bytes");

    struct TCase {
        const char* Name;
        std::function<void()> Prepare; // builds the module and chooses a resource
        std::function<void()> Command;
        QString Reason; // part of the error message
        QString File;   // a file that must keep its bytes, or none
    };
    TCustomResourceItem* chosen = nullptr;
    const auto installOne = [&](TCustomResourceItem* item) {
        chosen = Install([&](TCustomResourceModule* module) { module->Items()->Add(item); });
        Choose(chosen);
    };
    const TCase cases[] = {
        {"import of a damaged icon", [&] { installOne(new TTestItem(Ord(1))); },
         [&] {
             Prompts->OpenNames = {truncated};
             Commands->ResourceAddLoad();
         },
         "Premature end of data", ""},
        {"load of a damaged icon over a group",
         [&] {
             Form->NewFile();
             chosen = AddKind(TIconImageClass());
             Choose(chosen);
         },
         [&] {
             Prompts->OpenNames = {truncated};
             Commands->ResourceLoad();
         },
         "Premature end of data", ""},
        {"export that fails half-way", [&] { installOne(new TFailingSaveItem(Ord(2))); },
         [&] {
             Prompts->SaveFileName = existing;
             Commands->ResourceSave();
         },
         "disk on fire", existing},
        {"export into a missing folder", [&] { installOne(new TTestItem(Ord(3))); },
         [&] {
             Prompts->SaveFileName = Dir.filePath("missing/out.bin");
             Commands->ResourceSave();
         },
         "Cannot create file", ""},
        {"clone of an item that cannot be copied", [&] { installOne(new TUncopyableItem(Ord(4))); },
         [&] { Commands->ResourceClone(); }, "not copyable", ""},
        {"variant clone of an item that cannot be copied", [&] { installOne(new TUncopyableItem(Ord(4))); },
         [&] { Commands->ChildClone(); }, "not copyable", ""},
        {"variant load that fails half-way",
         [&] {
             auto* item = new TPartialLoadItem(Ord(7));
             item->SetData("original");
             installOne(item);
         },
         [&] {
             Prompts->OpenNames = {existing};
             Commands->ChildLoad();
         },
         "bad file", ""},
        {"variant load of a file the kind does not take", [&] { installOne(new TTestItem(Ord(6))); },
         [&] {
             Prompts->OpenNames = {truncated};
             Commands->ChildLoad();
         },
         "Invalid file format", ""},
    };
    // What the module holds: each item's kind, name, language, children and (for test items) data.
    const auto signature = [this] {
        QStringList items;
        for (TCustomResourceItem* item : *Module()->Items()) {
            auto* test = qobject_cast<TTestItem*>(item);
            items << item->FriendlyTypeName() + ":" + item->NameAsString() + ":" + QString::number(item->Language()) +
                         ":" + QString::number(item->Items()->Count()) + ":" +
                         (test ? QString::fromLatin1(test->Data) : QString());
        }
        return items;
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        c.Prepare();
        Prompts->Errors.clear();
        const QStringList before = signature();
        const int topNodes = Frame->TreeViewResources()->topLevelItemCount();
        const int buttons = Frame->ChildButtons().Count();
        const QByteArray fileBytes = c.File.isEmpty() ? QByteArray() : ReadAll(c.File);

        Run(c.Command);

        ASSERT_EQ(Prompts->Errors.size(), 1) << Prompts->Errors.join('|').toStdString();
        EXPECT_TRUE(Prompts->Errors.first().contains(c.Reason)) << Prompts->Errors.first().toStdString();
        EXPECT_EQ(signature(), before);
        EXPECT_EQ(Frame->TreeViewResources()->topLevelItemCount(), topNodes);
        EXPECT_EQ(Frame->ChildButtons().Count(), buttons);
        if (!c.File.isEmpty()) {
            EXPECT_EQ(ReadAll(c.File), fileBytes);
        }
        EXPECT_FALSE(QFileInfo::exists(Dir.filePath("missing/out.bin")));
    }
}

TEST_F(ItemCommands, EnabledStatesFollowTheSelection)
{
    TCustomResourceItem* internal = nullptr;
    TCustomResourceItem* plain = Install([&](TCustomResourceModule* module) {
        module->Items()->Add(new TTestItem(Ord(1)));
        auto* symbols = new TSymbolsLikeInternal();
        symbols->SetResourceType(Ord(0));
        module->Items()->Add(symbols);
        internal = symbols;
    });
    Choose(plain);
    Commands->UpdateActions();
    EXPECT_TRUE(Commands->Action("ActionResourceRemove")->isEnabled());
    EXPECT_TRUE(Commands->Action("ActionResourceClone")->isEnabled());
    EXPECT_TRUE(Commands->Action("ActionResourceSave")->isEnabled());
    EXPECT_TRUE(Commands->Action("ActionResourceChildDelete")->isEnabled());
    Choose(internal);
    Commands->UpdateActions();
    EXPECT_FALSE(Commands->Action("ActionResourceRemove")->isEnabled());
    EXPECT_FALSE(Commands->Action("ActionResourceChildDelete")->isEnabled());
    // The Remove command itself refuses an internal item too.
    Run([&] { Commands->ResourceRemove(); });
    EXPECT_EQ(ItemCount(), 2);
    Choose(plain);
    Run([&] { Commands->ResourceRemove(); });
    EXPECT_EQ(ItemCount(), 1);
    EXPECT_EQ(Frame->FindItemNode(internal) != nullptr, true);
}

TEST(ResourcesToolBar, CaptionsGiveWayFromTheLastButton)
{
    // Two buttons: long, short and no caption widths.
    const std::vector<TToolBarCaptionWidths> buttons = {{100, 50, 20}, {120, 60, 20}};
    struct TCase {
        int Available;
        std::vector<TToolBarCaption> Captions;
        bool Off;
    };
    const TCase cases[] = {
        {220, {tcLong, tcLong}, false},   {219, {tcLong, tcShort}, false}, {160, {tcLong, tcShort}, false},
        {159, {tcShort, tcShort}, false}, {110, {tcShort, tcShort}, false}, {109, {tcShort, tcNone}, false},
        {70, {tcShort, tcNone}, false},   {69, {tcNone, tcNone}, true},     {10, {tcNone, tcNone}, true},
    };
    for (const TCase& c : cases) {
        const TToolBarFit fit = FitToolBarCaptions(buttons, c.Available);
        EXPECT_EQ(fit.Captions, c.Captions) << c.Available;
        EXPECT_EQ(fit.CaptionsOff, c.Off) << c.Available;
    }
}

TEST_F(ItemCommands, NarrowResourcesToolBarGivesUpItsCaptions)
{
    QToolBar* bar = Commands->ToolBarResources();
    QAction* removeAction = Commands->Action("ActionResourceRemove");
    auto* remove = qobject_cast<QToolButton*>(bar->widgetForAction(removeAction));
    ASSERT_NE(remove, nullptr);
    bar->setFixedWidth(40);
    Settle();
    EXPECT_EQ(remove->toolButtonStyle(), Qt::ToolButtonIconOnly);
    bar->setMinimumWidth(0);
    bar->setMaximumWidth(QWIDGETSIZE_MAX);
    Settle();
    ASSERT_GT(bar->width(), 150);
    EXPECT_EQ(remove->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    EXPECT_TRUE(QStringList({"Remove", "Remove Resource"}).contains(removeAction->iconText()));
    // The menus keep the full caption.
    EXPECT_EQ(removeAction->text(), QStringLiteral("Remove Resource"));
}

// Through the real window and its widgets: add, rename in place, save, reopen.
TEST_F(ItemCommands, AddRenameInPlaceSaveAndReopen)
{
    QAction* bitmap = Commands->KindAction(TBitmapResourceItem::ClassInfo());
    ASSERT_NE(bitmap, nullptr);
    ASSERT_TRUE(Commands->PopupMenuResourceTypes()->actions().contains(bitmap));
    bitmap->trigger();
    Settle();
    EXPECT_TRUE(Form->Dirty());
    TTreeView* tree = Frame->TreeViewResources();
    QTreeWidgetItem* node = tree->currentItem();
    ASSERT_NE(dynamic_cast<TCustomTreeNodeResourceItem*>(node), nullptr);
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_F2);
    auto* editor = tree->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("splash"));
    QTest::keyClick(editor, Qt::Key_Return);
    Settle();
    EXPECT_EQ(node->text(0), QStringLiteral("SPLASH"));

    const QString path = Dir.filePath("saved.res");
    Prompts->SaveName = path;
    ASSERT_TRUE(Form->SaveFile(true));
    Form->LoadFile(path);
    Settle();
    ASSERT_TRUE(Prompts->Errors.isEmpty()) << Prompts->Errors.join('|').toStdString();
    TCustomResourceItem* reopened = Module()->Find(TResourceIdent::FromOrdinal(RT_BITMAP), TResourceIdent("SPLASH"));
    ASSERT_NE(reopened, nullptr);
    EXPECT_NE(dynamic_cast<TBitmapResourceItem*>(reopened), nullptr);
}

} // namespace

#include "ItemCommandsTest.moc"
