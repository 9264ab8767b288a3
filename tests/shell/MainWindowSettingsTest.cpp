// The settings classes the main window ships with: where the window goes, what it remembers of its
// folders and histories, and the program keeping its place across restarts on a real X server.
#include "model/koResourceModuleRes.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesModule.h"
#include "platform/PublishedProperties.h"
#include "shell/koAtelier.h"
#include "shell/koConfigurationService.h"
#include "shell/main.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString AtelierRoot = QStringLiteral("\\Software\\Kestovar\\Atelier\\");
const QString FormKey = QStringLiteral("\\Forms\\Application");
const QString FormPath = AtelierRoot + QStringLiteral("Forms\\Application");

// Real main windows (which keep their own settings in a service that stores nothing) and a service on a
// store of the test's own.
class MainWindowSettings : public ::testing::Test {
protected:
    void SetUp() override
    {
        PublishedProperties_Initialize();
        FPreviousConfiguration = SetConfigurationServiceFactory(TDummyConfigurationServiceFactory::ClassInfo());
        Service = std::make_shared<TConfigurationService>(Store, AtelierRoot);
    }
    void TearDown() override
    {
        Forms.clear();
        koAtelier_Finalize();
        SetConfigurationServiceFactory(FPreviousConfiguration);
        koResourcesFiler_Finalize();
    }
    TFormMain& NewForm()
    {
        Forms.push_back(std::make_unique<TFormMain>());
        return *Forms.back();
    }
    static void Show(TFormMain& form)
    {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    // What the store holds for the window as a number; missing values show as -999.
    int Stored(const char* name) const
    {
        const QString value = QString::fromLatin1(name);
        return Store->ValueExists(FormPath, value) ? Store->ReadString(FormPath, value).toInt() : -999;
    }
    void StoreForm(int left, int top, int width, int height)
    {
        Store->WriteString(FormPath, QStringLiteral("Valid"), QStringLiteral("1"));
        Store->WriteString(FormPath, QStringLiteral("Left"), QString::number(left));
        Store->WriteString(FormPath, QStringLiteral("Top"), QString::number(top));
        Store->WriteString(FormPath, QStringLiteral("Width"), QString::number(width));
        Store->WriteString(FormPath, QStringLiteral("Height"), QString::number(height));
        Store->WriteString(FormPath, QStringLiteral("Maximized"), QStringLiteral("0"));
    }

    std::shared_ptr<TRegistryStore> Store = std::make_shared<TRegistryStore>();
    IConfigurationServicePtr Service;
    std::vector<std::unique_ptr<TFormMain>> Forms;
    TConfigurationServiceFactoryClass FPreviousConfiguration = nullptr;
};

// ---- the window's placement ----

TEST_F(MainWindowSettings, AShownWindowComesBackWhereItWas)
{
    TFormMain& first = NewForm();
    first.move(120, 80);
    first.resize(700, 500);
    Show(first);
    const QRect frame = first.frameGeometry();
    const QRect client = first.geometry();
    TAtelierFormMainSettings saved(&first);
    Service->SaveSettings(FormKey, &saved);
    EXPECT_EQ(Stored("Left"), frame.left());
    EXPECT_EQ(Stored("Top"), frame.top());
    EXPECT_EQ(Stored("Width"), 700);
    EXPECT_EQ(Stored("Height"), 500);
    EXPECT_EQ(Stored("Maximized"), 0);

    // Loaded before it shows, as at start-up; then saved again as at the end of that run.
    TFormMain& second = NewForm();
    TAtelierFormMainSettings loaded(&second);
    EXPECT_TRUE(Service->LoadSettings(FormKey, &loaded));
    EXPECT_FALSE(second.isVisible()); // the application shows it
    Show(second);
    EXPECT_EQ(second.frameGeometry(), frame);
    EXPECT_EQ(second.geometry(), client);
    Service->SaveSettings(FormKey, &loaded);
    EXPECT_EQ(Stored("Left"), frame.left());
    EXPECT_EQ(Stored("Top"), frame.top());
    EXPECT_EQ(Stored("Width"), 700);
    EXPECT_EQ(Stored("Height"), 500);
}

TEST_F(MainWindowSettings, AMaximizedWindowKeepsItsNormalPlace)
{
    TFormMain& first = NewForm();
    first.move(150, 90);
    first.resize(640, 480);
    Show(first);
    const QRect frame = first.frameGeometry();
    first.showMaximized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return first.isMaximized(); }));
    TAtelierFormMainSettings saved(&first);
    Service->SaveSettings(FormKey, &saved);
    EXPECT_EQ(Stored("Maximized"), 1);
    EXPECT_EQ(Stored("Left"), frame.left());
    EXPECT_EQ(Stored("Top"), frame.top());
    EXPECT_EQ(Stored("Width"), 640);
    EXPECT_EQ(Stored("Height"), 480);

    // Maximized at start-up and closed maximized: the normal place must not move either.
    TFormMain& second = NewForm();
    TAtelierFormMainSettings loaded(&second);
    EXPECT_TRUE(Service->LoadSettings(FormKey, &loaded));
    Show(second);
    EXPECT_TRUE(second.isMaximized());
    Service->SaveSettings(FormKey, &loaded);
    EXPECT_EQ(Stored("Left"), frame.left());
    EXPECT_EQ(Stored("Top"), frame.top());
    EXPECT_EQ(Stored("Width"), 640);
    EXPECT_EQ(Stored("Height"), 480);
}

// ---- what the settings hold and how they are applied ----

TEST_F(MainWindowSettings, DefaultsOfTheWindowAndFolderSettings)
{
    TFormMain& form = NewForm();
    form.move(33, 44);
    TAtelierFormMainSettings window(&form);
    TAtelierFolderSettings folders;
    // Fresh, and again after every value was changed and the defaults were put back.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        EXPECT_EQ(window.GetValue(QStringLiteral("Valid")), QVariant(false));
        EXPECT_EQ(window.GetValue(QStringLiteral("Left")), QVariant(33)); // as designed: where the window is
        EXPECT_EQ(window.GetValue(QStringLiteral("Top")), QVariant(44));
        EXPECT_EQ(window.GetValue(QStringLiteral("Width")), QVariant(-1));
        EXPECT_EQ(window.GetValue(QStringLiteral("Height")), QVariant(-1));
        EXPECT_EQ(window.GetValue(QStringLiteral("Maximized")), QVariant(false));
        EXPECT_FALSE(folders.Valid());
        EXPECT_EQ(folders.LastFileType(), 0);
        EXPECT_EQ(folders.LastFolder(), QString());
        ASSERT_NE(folders.OpenHistory(), nullptr);
        ASSERT_NE(folders.SaveHistory(), nullptr);
        EXPECT_EQ(folders.OpenHistory()->Count(), 0);
        EXPECT_EQ(folders.SaveHistory()->Count(), 0);

        for (const char* name : {"Valid", "Maximized"}) window.SetValue(QString::fromLatin1(name), true);
        for (const char* name : {"Left", "Top", "Width", "Height"}) window.SetValue(QString::fromLatin1(name), 5);
        folders.SetValid(true);
        folders.SetLastFileType(4);
        folders.SetLastFolder(QStringLiteral("/srv"));
        window.ResetDefaults();
        folders.ResetDefaults();
    }
}

TEST_F(MainWindowSettings, LoadingAnEmptyKeyLeavesTheWindowAsDesigned)
{
    TFormMain& form = NewForm();
    form.move(60, 70);
    const QSize size = form.size();
    TAtelierFormMainSettings settings(&form);
    settings.SetValue(QStringLiteral("Width"), 500);
    settings.SetValue(QStringLiteral("Maximized"), true);
    settings.SetValue(QStringLiteral("Top"), 12);
    EXPECT_FALSE(Service->LoadSettings(FormKey, &settings));
    EXPECT_EQ(settings.GetValue(QStringLiteral("Valid")), QVariant(false));
    EXPECT_EQ(settings.GetValue(QStringLiteral("Width")), QVariant(-1));
    EXPECT_EQ(settings.GetValue(QStringLiteral("Height")), QVariant(-1));
    EXPECT_EQ(settings.GetValue(QStringLiteral("Maximized")), QVariant(false));
    EXPECT_EQ(settings.GetValue(QStringLiteral("Left")), QVariant(60)); // no declared default: kept
    EXPECT_EQ(settings.GetValue(QStringLiteral("Top")), QVariant(12));
    EXPECT_EQ(form.pos(), QPoint(60, 70));
    EXPECT_EQ(form.size(), size);
    EXPECT_FALSE(form.isMaximized());
}

TEST_F(MainWindowSettings, AppliedPlacesArePulledBackOntoTheScreen)
{
    const struct {
        int Left, Top, Width, Height;
        QPoint Applied;
    } cases[] = {
        {100, -20, 800, 600, {100, 0}},
        {-900, 50, 800, 600, {0, 50}},   // nothing of it would show
        {-700, 50, 800, 600, {-700, 50}}, // a part shows: left as it is
        {-5, -1, 40, 30, {-5, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Left << "," << c.Top);
        TFormMain& form = NewForm();
        StoreForm(c.Left, c.Top, c.Width, c.Height);
        TAtelierFormMainSettings settings(&form);
        EXPECT_TRUE(Service->LoadSettings(FormKey, &settings));
        // Corrected in the object too, so that the next save writes the corrected place.
        EXPECT_EQ(settings.GetValue(QStringLiteral("Left")), QVariant(c.Applied.x()));
        EXPECT_EQ(settings.GetValue(QStringLiteral("Top")), QVariant(c.Applied.y()));
        EXPECT_EQ(form.pos(), c.Applied);
        EXPECT_EQ(form.size(), QSize(c.Width, c.Height));
        EXPECT_FALSE(form.isVisible());
    }
}

// ---- the folders and their histories ----

TEST_F(MainWindowSettings, HistoriesKeepTheirLayoutAndAShorterListReadsOnlyItsOwnLines)
{
    const QString folders = AtelierRoot + QStringLiteral("Folders");
    const QString open = AtelierRoot + QStringLiteral("FoldersOpenHistory");
    auto lines = [](int count) {
        QStringList result;
        for (int i = 0; i < count; ++i) result << QStringLiteral("/res/file%1.res").arg(i);
        return result;
    };
    {
        TAtelierFolderSettings settings;
        settings.SetValid(true);
        settings.OpenHistory()->AddStrings(lines(5));
        Service->SaveSettings(QStringLiteral("\\Folders"), &settings);
        settings.OpenHistory()->Clear();
        settings.OpenHistory()->AddStrings({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
        settings.SaveHistory()->Add(QStringLiteral("/out/saved.exe"));
        settings.SetLastFileType(2);
        settings.SetLastFolder(QStringLiteral("/out"));
        Service->SaveSettings(QStringLiteral("\\Folders"), &settings);
    }
    QStringList names = Store->GetValueNames(folders);
    names.sort();
    EXPECT_EQ(names, (QStringList{"LastFileType", "LastFolder", "OpenHistory", "SaveHistory", "Valid"}));
    EXPECT_EQ(Store->ReadString(folders, QStringLiteral("LastFileType")), QStringLiteral("2"));
    EXPECT_EQ(Store->ReadString(folders, QStringLiteral("LastFolder")), QStringLiteral("/out"));
    EXPECT_EQ(Store->ReadString(folders, QStringLiteral("Valid")), QStringLiteral("1"));
    EXPECT_EQ(Store->GetDataType(folders, QStringLiteral("OpenHistory")), rdBinary);
    EXPECT_EQ(Store->ReadBinaryData(folders, QStringLiteral("OpenHistory")),
              QByteArray(reinterpret_cast<const char*>(u"A\r\nB\r\nC\r\n"), 18));
    EXPECT_EQ(Store->GetDataType(folders, QStringLiteral("SaveHistory")), rdBinary);
    EXPECT_EQ(Store->ReadString(open, QStringLiteral("Count")), QStringLiteral("3"));
    EXPECT_EQ(Store->ReadString(open, QStringLiteral("2")), QStringLiteral("C"));
    EXPECT_EQ(Store->ReadString(open, QStringLiteral("3")), lines(5)[3]); // left from the longer list
    EXPECT_EQ(Store->ReadString(open, QStringLiteral("4")), lines(5)[4]);
    const QString save = AtelierRoot + QStringLiteral("FoldersSaveHistory");
    EXPECT_EQ(Store->ReadString(save, QStringLiteral("Count")), QStringLiteral("1"));
    EXPECT_EQ(Store->ReadString(save, QStringLiteral("0")), QStringLiteral("/out/saved.exe"));

    TAtelierFolderSettings loaded;
    loaded.OpenHistory()->Add(QStringLiteral("from before"));
    EXPECT_TRUE(Service->LoadSettings(QStringLiteral("\\Folders"), &loaded));
    EXPECT_TRUE(loaded.Valid());
    EXPECT_EQ(loaded.LastFileType(), 2);
    EXPECT_EQ(loaded.LastFolder(), QStringLiteral("/out"));
    EXPECT_EQ(loaded.OpenHistory()->Strings(), (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));
    EXPECT_EQ(loaded.SaveHistory()->Strings(), QStringList{QStringLiteral("/out/saved.exe")});
}

// The window itself loads both objects when it is made and saves them when it goes.
TEST_F(MainWindowSettings, TheWindowStoresItsSettingsWhenItGoes)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("registry.json"));
    const QString previousFile = SetRegistryFileName(file);
    koConfigurationService_Initialize();
    SetConfigurationServiceRoot({}, AtelierRoot);
    {
        TRegistryStore seed(file);
        seed.WriteString(AtelierRoot + QStringLiteral("FoldersOpenHistory"), QStringLiteral("Count"), QStringLiteral("1"));
        seed.WriteString(AtelierRoot + QStringLiteral("FoldersOpenHistory"), QStringLiteral("0"), QStringLiteral("/seen.res"));
        seed.WriteString(AtelierRoot + QStringLiteral("Folders"), QStringLiteral("Valid"), QStringLiteral("1"));
        seed.Flush();
    }
    {
        TFormMain form;
        EXPECT_EQ(form.SettingsFolder()->OpenHistory()->Strings(), QStringList{QStringLiteral("/seen.res")});
        form.move(40, 30);
        form.resize(600, 400);
        form.SettingsFolder()->SaveHistory()->Add(QStringLiteral("/new.exe"));
    }
    koConfigurationService_Finalize();
    SetConfigurationServiceFactory(TDummyConfigurationServiceFactory::ClassInfo());
    SetRegistryFileName(previousFile);

    TRegistryStore disk(file);
    const QString folders = AtelierRoot + QStringLiteral("Folders");
    EXPECT_EQ(disk.ReadBinaryData(folders, QStringLiteral("SaveHistory")),
              QByteArray(reinterpret_cast<const char*>(u"/new.exe\r\n"), 20));
    EXPECT_EQ(disk.ReadString(AtelierRoot + QStringLiteral("FoldersSaveHistory"), QStringLiteral("0")), QStringLiteral("/new.exe"));
    const QString window = AtelierRoot + QStringLiteral("Forms\\Application");
    EXPECT_EQ(disk.ReadString(window, QStringLiteral("Valid")), QStringLiteral("1"));
    EXPECT_EQ(disk.ReadString(window, QStringLiteral("Left")), QStringLiteral("40"));
    EXPECT_EQ(disk.ReadString(window, QStringLiteral("Top")), QStringLiteral("30"));
    EXPECT_EQ(disk.ReadString(window, QStringLiteral("Width")), QStringLiteral("600"));
    EXPECT_EQ(disk.ReadString(window, QStringLiteral("Height")), QStringLiteral("400"));
}

// ---- the real program on an X server with a window manager ----

// A private X server with a window manager that frames its windows, as a desktop does.
class TPrivateDesktop {
public:
    ~TPrivateDesktop()
    {
        for (QProcess* process : {&FManager, &FServer}) {
            if (process->state() == QProcess::NotRunning) continue;
            process->terminate();
            if (!process->waitForFinished(5000)) process->kill();
            process->waitForFinished(5000);
        }
    }
    // False when no display could be started.
    bool Start(const QString& directory)
    {
        const QString server = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        const QString manager = QStandardPaths::findExecutable(QStringLiteral("openbox"));
        for (int number = 100 + QCoreApplication::applicationPid() % 300, tries = 0; tries < 20; ++number, ++tries) {
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number))) continue;
            FServer.start(server, {QStringLiteral(":%1").arg(number), QStringLiteral("-screen"), QStringLiteral("0"),
                                   QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
            const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
            if (!FServer.waitForStarted(5000)) return false;
            if (!QTest::qWaitFor([&] { return QFile::exists(socket) || FServer.state() == QProcess::NotRunning; }, 10000)
                || FServer.state() == QProcess::NotRunning) {
                FServer.waitForFinished(1000);
                continue; // taken by another server meanwhile
            }
            Display = QStringLiteral(":%1").arg(number);
            break;
        }
        if (Display.isEmpty()) return false;
        // The manager runs its start-up command once it manages the screen.
        const QString ready = directory + QStringLiteral("/wm-ready");
        Environment = QProcessEnvironment::systemEnvironment();
        Environment.insert(QStringLiteral("DISPLAY"), Display);
        Environment.insert(QStringLiteral("XDG_CONFIG_HOME"), directory + QStringLiteral("/config"));
        Environment.insert(QStringLiteral("XDG_CACHE_HOME"), directory + QStringLiteral("/cache"));
        FManager.setProcessEnvironment(Environment);
        FManager.start(manager, {QStringLiteral("--sm-disable"), QStringLiteral("--startup"), QStringLiteral("touch ") + ready});
        return FManager.waitForStarted(5000) && QTest::qWaitFor([&] { return QFile::exists(ready); }, 15000);
    }
    // Runs a tool on the display; its output, empty when it failed.
    QString Run(const QString& tool, const QStringList& arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(Environment);
        process.start(tool, arguments);
        if (!process.waitForFinished(20000) || process.exitCode() != 0) return {};
        return QString::fromLocal8Bit(process.readAllStandardOutput());
    }

    QString Display;
    QProcessEnvironment Environment;

private:
    QProcess FServer;
    QProcess FManager;
};

// Where the window manager shows the program's window and what the program stored when it ended.
struct TRunPlacement {
    QPoint OnScreen;
    int Left = 0, Top = 0, Width = 0, Height = 0;
};

TEST(MainWindowPlacement, StaysPutAcrossRestartsInterop)
{
    const QString program = QStringLiteral(ATELIER_PROGRAM_PATH);
    if (!QFile::exists(program)) GTEST_SKIP() << "program not built";
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    for (const char* tool : {"Xvfb", "openbox", "xdotool"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) GTEST_SKIP() << tool << " is not installed";
    QTemporaryDir dir;
    TPrivateDesktop desktop;
    if (!desktop.Start(dir.path())) GTEST_SKIP() << "no private X display could be started";

    const QString res = dir.filePath("start.res"); // a file to open, so that no splash shows first
    koResourceModuleRes_Initialize();
    TResourceModule().SaveToFile(res);
    koResourceModuleRes_Finalize();
    koResourcesFiler_Finalize();
    const QString registry = dir.filePath("registry.json");

    auto run = [&](TRunPlacement& placement) {
        QProcess process;
        QProcessEnvironment environment = desktop.Environment;
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("ATELIER_REGISTRY_FILE"), registry);
        process.setProcessEnvironment(environment);
        process.start(program, {res});
        ASSERT_TRUE(process.waitForStarted(10000));
        const QString pid = QString::number(process.processId());
        QString window = desktop.Run(xdotool, {"search", "--sync", "--onlyvisible", "--pid", pid}).section('\n', 0, 0);
        ASSERT_FALSE(window.isEmpty()) << "the program's window did not show";
        QTest::qWait(1000); // the manager frames and places it
        const QString shape = desktop.Run(xdotool, {"getwindowgeometry", "--shell", window});
        for (const QString& line : shape.split('\n')) {
            if (line.startsWith("X=")) placement.OnScreen.setX(line.mid(2).toInt());
            if (line.startsWith("Y=")) placement.OnScreen.setY(line.mid(2).toInt());
        }
        ASSERT_TRUE(shape.contains("X=")) << shape.toStdString();
        process.terminate();
        ASSERT_TRUE(process.waitForFinished(20000));
        ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        TRegistryStore store(registry);
        const QString key = AtelierRoot + QStringLiteral("Forms\\Application");
        ASSERT_EQ(store.ReadString(key, "Valid"), QStringLiteral("1"));
        placement.Left = store.ReadString(key, "Left").toInt();
        placement.Top = store.ReadString(key, "Top").toInt();
        placement.Width = store.ReadString(key, "Width").toInt();
        placement.Height = store.ReadString(key, "Height").toInt();
    };
    TRunPlacement first, second;
    ASSERT_NO_FATAL_FAILURE(run(first));
    ASSERT_NO_FATAL_FAILURE(run(second));
    EXPECT_EQ(second.OnScreen, first.OnScreen);
    EXPECT_EQ(second.Left, first.Left);
    EXPECT_EQ(second.Top, first.Top);
    EXPECT_EQ(second.Width, first.Width);
    EXPECT_EQ(second.Height, first.Height);
}

} // namespace
