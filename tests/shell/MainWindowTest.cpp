// The main window: module commands through scripted prompts, the caption, recent files, progress and
// the Messages pane; and the real program started on a file.
#include "../model/TestKinds.h"
#include "../platform/PeerTools.h"
#include "MainWindowTesting.h"
#include "model/koResourceModulePE.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourceModuleRes.h"
#include "model/koResources.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "shell/koAtelier.h"
#include "shell/koAtelierFrame.h"
#include "shell/koConfigurationService.h"
#include "shell/main.h"
#include "views/koResourceViewGeneric.h"
#include "editors/koAtelierBinary.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QMenu>
#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <deque>
#include <gtest/gtest.h>

namespace {


void WriteFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A reader of ".bad" files that explains in the message log why it gives up.
class TComplainingReader : public TCustomResourceModuleReader {
    RESOURCE_MODULE_FILER_CLASS(TComplainingReader, TCustomResourceModuleReader)
public:
    static bool Handles(const QString& FileName) { return FileName.endsWith(QStringLiteral(".bad")); }
    static bool Handles(TStream*) { return false; }
    std::unique_ptr<TCustomResourceModule> LoadFromStream(TStream&) override
    {
        LogMessage(QStringLiteral("Record 3 is damaged"), rmError);
        throw Exception(QStringLiteral("Cannot read the file"));
    }
};

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto prompts = std::make_unique<TScriptedPrompts>();
        Prompts = prompts.get();
        Form = std::make_unique<TFormMain>(std::move(prompts));
        // A RES file with two resources to open.
        ResFile = Dir.filePath("two.res");
        WritePayloadRes(ResFile, 2);
    }
    void TearDown() override { Form.reset(); }
    TCustomResourceModule* Module() const { return Form->FrameAtelier()->ResourceModule(); }
    // Changes the first item's data as an editor would.
    void EditFirstItem()
    {
        TCustomResourceItem* item = Module()->Items()->Items(0);
        TMemoryStream data;
        data.WriteBytes("edited");
        data.SetPosition(0);
        item->LoadFromStream(data, data.Size());
    }

    TMainWindowUnits Units;
    QTemporaryDir Dir;
    QString ResFile;
    TScriptedPrompts* Prompts = nullptr;
    std::unique_ptr<TFormMain> Form;
};

TEST_F(MainWindow, NewModuleCaptionFollowsChanges)
{
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Atelier by Lorn Kestovar"));
    EXPECT_FALSE(Form->Dirty());
    auto item = std::make_unique<TResourceItemGeneric>(Ord(5));
    item->SetResourceType(TResourceIdent::FromOrdinal(RT_RCDATA));
    item->SetModule(Module());
    item.release();
    EXPECT_TRUE(Form->Dirty());
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("New file - Atelier - Changed"));
}

TEST_F(MainWindow, OpenShowsTheModuleAndKeepsTheFolder)
{
    Prompts->OpenName = ResFile;
    Form->Action("ActionFileOpen")->trigger();
    EXPECT_EQ(Form->Filename(), ResFile);
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("two.res - Atelier"));
    EXPECT_EQ(Module()->Items()->Count(), 2);
    EXPECT_EQ(Form->SettingsFolder()->LastFolder(), Dir.path() + QLatin1Char('/'));
    EXPECT_TRUE(Prompts->LastOpen.Filter.contains(QStringLiteral("*.res")));
    EXPECT_TRUE(Prompts->LastOpen.Filter.endsWith(QStringLiteral("*.*"))); // "All files" last
    EXPECT_EQ(Form->SettingsFolder()->OpenHistory()->Strings(), QStringList{ResFile});
    // Loading marks nothing as changed.
    EXPECT_FALSE(Form->Dirty());
}

TEST_F(MainWindow, UnknownFileGivesAClearErrorAndANewModule)
{
    const QString text = Dir.filePath("notes.txt");
    WriteFile(text, "no resources here");
    Prompts->OpenName = text;
    Form->Action("ActionFileOpen")->trigger();
    ASSERT_EQ(Prompts->Errors.size(), 1);
    EXPECT_EQ(Prompts->Errors[0],
              QStringLiteral("Application Error: Unable to locate a resource module reader for \"%1\"").arg(text));
    EXPECT_TRUE(Form->Filename().isEmpty());
    ASSERT_NE(Module(), nullptr);
    EXPECT_EQ(Module()->Items()->Count(), 0);
    EXPECT_FALSE(Form->SettingsFolder()->OpenHistory()->Strings().contains(text));
}

TEST_F(MainWindow, FailedOpenKeepsTheMessagesThatExplainIt)
{
    TComplainingReader::ClassInfo()->Register(0);
    const QString broken = Dir.filePath("module.bad");
    WriteFile(broken, "whatever");
    EXPECT_THROW(Form->LoadFile(broken), Exception);
    TComplainingReader::ClassInfo()->Unregister();
    // What the reader logged while failing stays visible.
    EXPECT_TRUE(Form->FrameAtelier()->PaneVisible(Form->MessagesPane()));
    ASSERT_EQ(Form->ListViewMessages()->topLevelItemCount(), 1);
    EXPECT_EQ(Form->ListViewMessages()->topLevelItem(0)->text(1), QStringLiteral("Record 3 is damaged"));
    EXPECT_EQ(Module()->Items()->Count(), 0);
}

TEST_F(MainWindow, SavePromptOnCloseWithUnsavedChanges)
{
    Form->LoadFile(ResFile);
    EditFirstItem();
    ASSERT_TRUE(Form->Dirty());
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("two.res - Atelier - Changed"));

    Prompts->Answers = {IMainFormPrompts::paCancel};
    EXPECT_FALSE(Form->close());
    EXPECT_EQ(Prompts->Asked.size(), 1);
    EXPECT_EQ(Prompts->Asked[0], QStringLiteral("The current resource file has been modified.\rDo you wish to save the changes now?"));

    // Yes saves under the module's own name and lets the close go on.
    Prompts->Answers = {IMainFormPrompts::paYes};
    EXPECT_TRUE(Form->close());
    auto saved = TCustomResourceModule::LoadFromFile(ResFile);
    TMemoryStream data;
    saved->Items()->Items(0)->SaveToStream(data);
    EXPECT_EQ(data.Size(), 6);
}

TEST_F(MainWindow, NoDiscardsAndCancelStopsTheNewModule)
{
    Form->LoadFile(ResFile);
    EditFirstItem();
    Prompts->Answers = {IMainFormPrompts::paCancel};
    Form->Action("ActionFileNewModule")->trigger();
    EXPECT_EQ(Form->Filename(), ResFile);
    Prompts->Answers = {IMainFormPrompts::paNo};
    Form->Action("ActionFileNewModule")->trigger();
    EXPECT_TRUE(Form->Filename().isEmpty());
    EXPECT_FALSE(Form->Dirty());
    EXPECT_EQ(Module()->Items()->Count(), 0);
}

TEST_F(MainWindow, SaveAsResAndRcCommitsTheNameAfterTheWrite)
{
    Form->LoadFile(ResFile);
    // A name typed without extension takes the chosen type's first one.
    Prompts->SaveName = Dir.filePath("copy");
    Prompts->SaveFilterIndex = 0;
    EXPECT_TRUE(Form->SaveFile(true));
    EXPECT_TRUE(Form->Filename().endsWith(QStringLiteral("copy.res"))) << Form->Filename().toStdString();
    EXPECT_TRUE(QFile::exists(Form->Filename()));
    EXPECT_EQ(Form->SettingsFolder()->SaveHistory()->Strings().first(), Form->Filename());

    Prompts->SaveName = Dir.filePath("script.rc");
    EXPECT_TRUE(Form->SaveFile(true));
    EXPECT_EQ(Form->Filename(), Dir.filePath("script.rc"));
    EXPECT_TRUE(ReadFile(Dir.filePath("script.rc")).contains("RCDATA"));

    // A write that fails keeps the old name and adds nothing to the history.
    const QString before = Form->Filename();
    Prompts->SaveName = Dir.filePath("no/such/folder/x.res");
    EXPECT_THROW(Form->SaveFile(true), Exception);
    EXPECT_EQ(Form->Filename(), before);
    EXPECT_FALSE(Form->SettingsFolder()->SaveHistory()->Strings().contains(Prompts->SaveName));

    // Cancelled: nothing is saved.
    Prompts->SaveName.clear();
    EXPECT_FALSE(Form->SaveFile(true));
}

TEST_F(MainWindow, SaveOfANewModuleAsksForAName)
{
    Prompts->SaveName.clear();
    EXPECT_FALSE(Form->SaveFile(false));
    EXPECT_TRUE(Prompts->SaveProposedName.isEmpty());
    EXPECT_TRUE(Prompts->SaveFilter.contains(QStringLiteral("*.rc")));
}

TEST_F(MainWindow, RecentFilesKeepSixteenAndNumberBeyondNine)
{
    for (int i = 0; i < 17; ++i) {
        const QString name = Dir.filePath(QStringLiteral("m%1.res").arg(i));
        QFile::copy(ResFile, name);
        Form->LoadFile(name);
    }
    Form->LoadFile(Dir.filePath("m3.res")); // again: moves to the top
    const QStringList history = Form->SettingsFolder()->OpenHistory()->Strings();
    ASSERT_EQ(history.size(), 16);
    EXPECT_EQ(history.first(), Dir.filePath("m3.res"));
    EXPECT_FALSE(history.contains(Dir.filePath("m0.res")));
    EXPECT_EQ(history.count(Dir.filePath("m3.res")), 1);

    Form->UpdateRecentMenu();
    const QList<QAction*> actions = Form->RecentMenu()->actions();
    EXPECT_TRUE(actions[0]->text().startsWith(QStringLiteral("&0  ")));
    EXPECT_TRUE(actions[10]->text().startsWith(QStringLiteral("&A  ")));
    EXPECT_TRUE(actions[15]->text().startsWith(QStringLiteral("&F  ")));
    EXPECT_EQ(actions[0]->statusTip(), QStringLiteral("Open \"%1\"").arg(history.first()));
    Form->UpdateRecentMenu(); // rebuilt, not added twice
    const QList<QAction*> rebuilt = Form->RecentMenu()->actions();
    EXPECT_EQ(rebuilt.size(), actions.size());
    rebuilt[1]->trigger();
    EXPECT_EQ(Form->Filename(), history[1]);
}

TEST_F(MainWindow, RevertDropsTheChanges)
{
    Form->LoadFile(ResFile);
    EXPECT_FALSE(Form->Action("ActionFileRevert")->isEnabled());
    EditFirstItem();
    EXPECT_TRUE(Form->Action("ActionFileRevert")->isEnabled());
    Form->Action("ActionFileRevert")->trigger();
    EXPECT_FALSE(Form->Dirty());
    TMemoryStream data;
    Module()->Items()->Items(0)->SaveToStream(data);
    EXPECT_EQ(data.Size(), 9); // "payload 1"
}

TEST_F(MainWindow, ProgressShowsInTheStatusBar)
{
    Form->ShowProgress(psBegin, 0, 10, QStringLiteral("Loading"));
    EXPECT_EQ(Form->StatusText(0), QStringLiteral("Loading"));
    EXPECT_EQ(Form->StatusText(1), QStringLiteral("..."));
    EXPECT_FALSE(Form->ProgressBar()->isHidden());
    Form->ShowProgress(psProgress, 4, 10, QStringLiteral("Item 4"));
    EXPECT_EQ(Form->StatusText(1), QStringLiteral("Item 4"));
    EXPECT_EQ(Form->ProgressBar()->value(), 4);
    Form->ShowProgress(psEnd, 10, 10, QStringLiteral("Loading"));
    EXPECT_TRUE(Form->StatusText(0).isEmpty());
    EXPECT_TRUE(Form->ProgressBar()->isHidden());
}

TEST_F(MainWindow, MessagesPaneShowsCopiesAndClearsWhenHidden)
{
    EXPECT_FALSE(Form->FrameAtelier()->PaneVisible(Form->MessagesPane()));
    LogMessage(QStringLiteral("first"), rmInfo);
    LogMessage(QStringLiteral("second"), rmWarning);
    LogMessage(QStringLiteral("third"), rmError);
    EXPECT_TRUE(Form->FrameAtelier()->PaneVisible(Form->MessagesPane()));
    QTreeWidget* list = Form->ListViewMessages();
    ASSERT_EQ(list->topLevelItemCount(), 3);
    list->clearSelection();
    EXPECT_FALSE(Form->Action("ActionMessagesCopy")->isEnabled());
    list->selectAll();
    Form->Action("ActionMessagesCopy")->trigger();
    const QString copied = QApplication::clipboard()->text();
    EXPECT_EQ(copied.count(QLatin1Char('\r')), 2);
    EXPECT_TRUE(copied.endsWith(QStringLiteral("\tthird")));
    EXPECT_TRUE(copied.contains(QStringLiteral("\tfirst\r")));

    Form->FrameAtelier()->SetPaneVisible(Form->MessagesPane(), false);
    EXPECT_EQ(list->topLevelItemCount(), 0);
    LogMessage(QStringLiteral("again"), rmInfo);
    EXPECT_TRUE(Form->FrameAtelier()->PaneVisible(Form->MessagesPane()));
}

TEST_F(MainWindow, DroppedModuleOpensAndOtherFilesBecomeResources)
{
    Form->DropFiles({ResFile, Dir.filePath("ignored.bin")});
    EXPECT_EQ(Form->Filename(), ResFile);

    // Two raw files: both added, the module changed.
    WriteFile(Dir.filePath("first data.bin"), "one");
    WriteFile(Dir.filePath("second.bin"), "two");
    const int before = Module()->Items()->Count();
    Form->DropFiles({Dir.filePath("first data.bin"), Dir.filePath("second.bin")});
    EXPECT_EQ(Module()->Items()->Count(), before + 2);
    EXPECT_TRUE(Form->Dirty());

    // A later file that fails keeps those added before it, and the module counts as changed.
    Form->LoadFile(ResFile);
    WriteFile(Dir.filePath("third.bin"), "three");
    EXPECT_THROW(Form->DropFiles({Dir.filePath("third.bin"), Dir.filePath("missing.bin")}), Exception);
    EXPECT_EQ(Module()->Items()->Count(), before + 1);
    EXPECT_TRUE(Form->Dirty());
}

TEST_F(MainWindow, SymbolListsAreWrittenAndReadInTheCurrentFolder)
{
    const QString previous = QDir::currentPath();
    QDir::setCurrent(Dir.path());
    WriteFile(Dir.filePath("symbols.txt"), "IDC_ONE=1\r\nIDC_TWO=0x20\r\nIDC_ONE=5\r\n");
    Form->ReadSymbolList();
    TResourceSymbols* symbols = Module()->Symbols();
    QStringList read;
    for (int i = 0; i < symbols->Count(); ++i)
        read << symbols->Items(i)->Symbol() + QLatin1Char('=') + symbols->Items(i)->LiteralValue();
    // A name on two lines takes the first line's value; the symbol table keeps one symbol of a name.
    EXPECT_EQ(read, (QStringList{"IDC_ONE=1", "IDC_TWO=0x20"}));
    QFile::remove(Dir.filePath("symbols.txt"));
    Form->WriteSymbolList();
    EXPECT_EQ(ReadFile(Dir.filePath("symbols.txt")), QByteArray("IDC_ONE=1\r\nIDC_TWO=0x20\r\n"));
    QDir::setCurrent(previous);
}

TEST_F(MainWindow, PeModuleSavedAsPeInterop)
{
    REQUIRE_PEER_TOOL(windres, "x86_64-w64-mingw32-windres");
    REQUIRE_PEER_TOOL(gcc, "x86_64-w64-mingw32-gcc");
    WriteFile(Dir.filePath("t.rc"), "1 RCDATA { \"one\" }\n");
    ASSERT_TRUE(RunPeerTool(windres, {Dir.filePath("t.rc"), "-O", "coff", "-o", Dir.filePath("t.o")}).Ok());
    WriteFile(Dir.filePath("main.c"), "int main(void){return 0;}\n");
    ASSERT_TRUE(RunPeerTool(gcc, {Dir.filePath("main.c"), Dir.filePath("t.o"), "-o", Dir.filePath("t.exe")}).Ok());
    Form->LoadFile(Dir.filePath("t.exe"));
    EXPECT_TRUE(Form->CanSave());
    EditFirstItem();
    Prompts->SaveName = Dir.filePath("copy.exe");
    ASSERT_TRUE(Form->SaveFile(true));
    auto saved = TCustomResourceModule::LoadFromFile(Dir.filePath("copy.exe"));
    ASSERT_NE(saved, nullptr);
    TMemoryStream data;
    saved->Items()->Items(0)->SaveToStream(data);
    EXPECT_EQ(data.Size(), 6);
}

TEST(Program, StartsOnAFileAndEndsCleanlyInterop)
{
    const QString program = QStringLiteral(ATELIER_PROGRAM_PATH);
    if (!QFile::exists(program)) GTEST_SKIP() << "program not built";
    QTemporaryDir dir;
    auto module = std::make_unique<TResourceModule>();
    const QString res = dir.filePath("start.res");
    koResourceModuleRes_Initialize();
    module->SaveToFile(res);
    koResourceModuleRes_Finalize();
    koResourcesFiler_Finalize();
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("ATELIER_REGISTRY_FILE"), dir.filePath("registry.json"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath("cache"));
    process.setProcessEnvironment(environment);
    process.start(program, {res});
    ASSERT_TRUE(process.waitForStarted(10000));
    // The file opens once the window shows; then the program is asked to end. A debug build on a
    // loaded machine needs a while to get there.
    QTest::qWait(6000);
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << process.readAllStandardError().toStdString();
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    // The opened file went into the history that the program saved on its way out.
    EXPECT_TRUE(ReadFile(dir.filePath("registry.json")).contains("start.res"));
}

} // namespace
