#include "platform/PublishedProperties.h"
#include "platform/RegistryStore.h"
#include "shell/koAtelier.h"
#include "shell/koConfigurationService.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace configuration_service_test {

const QString AtelierRoot = QStringLiteral("\\Software\\Kestovar\\Atelier\\");

// The shape of the main window's form settings: Valid gates ApplySettings; Top and Left declare no
// default; a string and a float declare none either (only ordinals can).
class TFormSettings : public TCustomSettings {
    Q_OBJECT
    Q_PROPERTY(bool Valid MEMBER Valid)
    Q_PROPERTY(int Top MEMBER Top)
    Q_PROPERTY(int Left MEMBER Left)
    Q_PROPERTY(int Width MEMBER Width)
    Q_PROPERTY(int Height MEMBER Height)
    Q_PROPERTY(bool Maximized MEMBER Maximized)
    Q_PROPERTY(TDock Dock MEMBER Dock)
    Q_PROPERTY(QString Caption MEMBER Caption)
    Q_PROPERTY(double Zoom MEMBER Zoom)
    Q_CLASSINFO("default:Valid", "false")
    Q_CLASSINFO("default:Width", "-1")
    Q_CLASSINFO("default:Height", "-1")
    Q_CLASSINFO("default:Maximized", "false")
    Q_CLASSINFO("default:Dock", "dkLeft")

public:
    enum TDock { dkLeft, dkTop, dkRight, dkBottom };
    Q_ENUM(TDock)
    using TCustomSettings::TCustomSettings;

    bool ApplySettings() override
    {
        ++Applied;
        return Valid;
    }
    bool UpdateSettings() override
    {
        ++Updated;
        if (!WriteAllowed) return false;
        Valid = true;
        return true;
    }

    bool Valid = true;
    int Top = 17;
    int Left = 23;
    int Width = 300;
    int Height = 200;
    bool Maximized = true;
    TDock Dock = dkBottom;
    QString Caption = QStringLiteral("as designed");
    double Zoom = 1.5;

    int Applied = 0;
    int Updated = 0;
    bool WriteAllowed = true;
};

class TFolderSettings : public TCustomSettings {
    Q_OBJECT
    Q_PROPERTY(bool Valid MEMBER Valid)
    Q_PROPERTY(int LastFileType MEMBER LastFileType)
    Q_PROPERTY(QString LastFolder MEMBER LastFolder)
    Q_PROPERTY(TSettingsStringList* OpenHistory READ OpenHistory)
    Q_PROPERTY(TSettingsStringList* SaveHistory READ SaveHistory)
    Q_CLASSINFO("default:Valid", "false")

public:
    using TCustomSettings::TCustomSettings;
    TSettingsStringList* OpenHistory() { return &FOpenHistory; }
    TSettingsStringList* SaveHistory() { return &FSaveHistory; }
    void ResetDefaults() override
    {
        TCustomSettings::ResetDefaults();
        LastFileType = 0;
        LastFolder.clear();
    }

    bool Valid = false;
    int LastFileType = 0;
    QString LastFolder;
    TSettingsStringList FOpenHistory;
    TSettingsStringList FSaveHistory;
};

class TDefaultedList : public TSettingsStringList {
    Q_OBJECT
public:
    void LoadDefaults() override { Add(QStringLiteral("default line")); }
};

// Records what it is told; optionally acts while being told.
class TRecorder : public ISettingsNotification {
public:
    TRecorder(QString name, std::vector<QString>* log) : FName(std::move(name)), FLog(log) {}
    void SettingsNotification(ISettings* Settings, TSettingsNotificationKind Notification) override
    {
        Faces.push_back(Settings);
        Kinds.push_back(Notification);
        if (FLog) FLog->push_back(FName + QLatin1Char(':') + QString::number(Notification));
        if (OnNotify) OnNotify(Settings, Notification);
    }
    std::vector<ISettings*> Faces;
    std::vector<TSettingsNotificationKind> Kinds;
    std::function<void(ISettings*, TSettingsNotificationKind)> OnNotify;
    int Count(TSettingsNotificationKind kind) const { return static_cast<int>(std::count(Kinds.begin(), Kinds.end(), kind)); }

private:
    QString FName;
    std::vector<QString>* FLog;
};

class TCountingFactory {
    CONFIGURATION_SERVICE_FACTORY_CLASS(TCountingFactory, TConfigurationServiceFactory)
public:
    static inline int Created = 0;
    static IConfigurationServicePtr CreateConfigurationService()
    {
        ++Created;
        return TConfigurationServiceFactory::CreateConfigurationService();
    }
};

// A view or editor that keeps its settings under a key.
class TSettingsKeeper : public ISettingsProvider {
public:
    bool GetSettings(ISettings*& Settings, QString& Key) override
    {
        Settings = &FSettings;
        Key = QStringLiteral("Keeper");
        return true;
    }
    TFormSettings FSettings;
};

class ConfigurationServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FFile = FDir.filePath(QStringLiteral("registry.json"));
        FPreviousFile = SetRegistryFileName(FFile);
        PublishedProperties_Initialize();
        koConfigurationService_Initialize();
        SetConfigurationServiceRoot({}, AtelierRoot);
    }
    void TearDown() override
    {
        koAtelier_Finalize();
        koConfigurationService_Finalize();
        SetRegistryFileName(FPreviousFile);
    }
    // The file as another process would see it.
    std::unique_ptr<TRegistryStore> OnDisk() const { return std::make_unique<TRegistryStore>(FFile); }

    QTemporaryDir FDir;
    QString FFile;
    QString FPreviousFile;
};

std::shared_ptr<TConfigurationService> AsService(const IConfigurationServicePtr& service)
{
    return std::dynamic_pointer_cast<TConfigurationService>(service);
}

// ---- the service and its factory ----

TEST_F(ConfigurationServiceTest, WithoutARegisteredFactoryTheServiceFailsItsAssertion)
{
    EXPECT_EQ(ConfigurationServiceFactory(), TConfigurationServiceFactory::ClassInfo());
    SetConfigurationServiceFactory(nullptr);
    try {
        ConfigurationService();
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("The Configuration Service has not been assigned"))) << e.what();
    }
}

TEST_F(ConfigurationServiceTest, EveryCallGivesANewServiceOnTheRoot)
{
    const IConfigurationServicePtr a = ConfigurationService();
    const IConfigurationServicePtr b = ConfigurationService();
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
    EXPECT_EQ(AsService(a)->Root(), AtelierRoot);
    // Services open on the same hive share its store, so neither can write over the other's changes.
    EXPECT_EQ(AsService(a)->RootKey(), AsService(b)->RootKey());
    EXPECT_TRUE(OnDisk()->KeyExists(AtelierRoot)); // the root key is created when opened
}

TEST_F(ConfigurationServiceTest, TheInitialRootIsKestovarAndTheRootGetsItsSeparators)
{
    koConfigurationService_Finalize();
    koConfigurationService_Initialize();
    EXPECT_EQ(ConfigurationServiceRoot(), QStringLiteral("\\Software\\Kestovar\\"));
    EXPECT_EQ(ConfigurationServiceRootKey(), nullptr);
    EXPECT_EQ(AsService(ConfigurationService())->Root(), QStringLiteral("\\Software\\Kestovar\\"));

    SetConfigurationServiceRoot({}, QStringLiteral("\\Software\\Kestovar\\Atelier"));
    EXPECT_EQ(AsService(ConfigurationService())->Root(), AtelierRoot);
    SetConfigurationServiceRoot({}, QString());
    EXPECT_EQ(AsService(ConfigurationService())->Root(), QStringLiteral("\\"));
    // Without its leading separator the root would be read relative to itself.
    SetConfigurationServiceRoot({}, QStringLiteral("Software\\Other"));
    const auto service = AsService(ConfigurationService());
    EXPECT_EQ(service->Root(), QStringLiteral("\\Software\\Other\\"));
    TFormSettings settings;
    service->SaveSettings(QStringLiteral("Form"), &settings);
    EXPECT_TRUE(OnDisk()->ValueExists(QStringLiteral("\\Software\\Other\\Form"), QStringLiteral("Top")));
    EXPECT_FALSE(OnDisk()->KeyExists(QStringLiteral("\\Software\\Other\\Software")));
}

TEST_F(ConfigurationServiceTest, OpenSectionJoinsTheRoots)
{
    const auto root = AsService(ConfigurationService());
    const auto editors = AsService(root->OpenSection(QStringLiteral("Editors")));
    ASSERT_TRUE(editors);
    EXPECT_EQ(editors->Root(), AtelierRoot + QStringLiteral("Editors\\"));
    EXPECT_EQ(AsService(root->OpenSection(QStringLiteral("Editors\\")))->Root(), editors->Root());
    EXPECT_EQ(AsService(root->OpenSection(QString()))->Root(), AtelierRoot);
    EXPECT_EQ(AsService(editors->OpenSection(QStringLiteral("Bitmap")))->Root(),
              AtelierRoot + QStringLiteral("Editors\\Bitmap\\"));
    EXPECT_EQ(editors->RootKey(), root->RootKey());
    EXPECT_TRUE(OnDisk()->KeyExists(AtelierRoot + QStringLiteral("Editors")));
}

// ---- load, apply, save ----

TEST_F(ConfigurationServiceTest, LoadingFromAnEmptyKeyGivesTheDeclaredDefaultsAndAppliesNothing)
{
    TFormSettings settings;
    EXPECT_FALSE(ConfigurationService()->LoadSettings(QStringLiteral("\\Forms\\Application"), &settings));
    EXPECT_EQ(settings.Applied, 1);
    EXPECT_FALSE(settings.Valid);
    EXPECT_EQ(settings.Width, -1);
    EXPECT_EQ(settings.Height, -1);
    EXPECT_FALSE(settings.Maximized);
    EXPECT_EQ(settings.Dock, TFormSettings::dkLeft);
    // No declared default, nothing stored: the object keeps what it had.
    EXPECT_EQ(settings.Top, 17);
    EXPECT_EQ(settings.Left, 23);
    EXPECT_EQ(settings.Caption, QStringLiteral("as designed"));
    EXPECT_EQ(settings.Zoom, 1.5);
}

TEST_F(ConfigurationServiceTest, SettingsSurviveARestart)
{
    {
        TFormSettings settings;
        settings.Top = -20;
        settings.Left = 640;
        settings.Width = 800;
        settings.Height = 600;
        settings.Maximized = false;
        settings.Dock = TFormSettings::dkRight;
        settings.Caption = QStringLiteral("caf\u00e9 \\ \"quoted\"");
        settings.Zoom = -0.125;
        ConfigurationService()->SaveSettings(QStringLiteral("\\Forms\\Application"), &settings);
        EXPECT_EQ(settings.Updated, 1);
        EXPECT_TRUE(settings.Valid); // set by UpdateSettings before the write
    }
    // What is on disk: the tree of keys and values the settings make.
    const QString key = AtelierRoot + QStringLiteral("Forms\\Application");
    const auto disk = OnDisk();
    EXPECT_EQ(disk->ReadString(key, QStringLiteral("Top")), QStringLiteral("-20"));
    EXPECT_EQ(disk->ReadString(key, QStringLiteral("Valid")), QStringLiteral("1"));
    EXPECT_EQ(disk->ReadString(key, QStringLiteral("Dock")), QStringLiteral("2"));
    EXPECT_EQ(disk->ReadString(key, QStringLiteral("Caption")), QStringLiteral("caf\u00e9 \\ \"quoted\""));

    // Nothing holds the store any more: a new service reads the file anew.
    TFormSettings restored;
    restored.Valid = false;
    restored.Maximized = true;
    EXPECT_TRUE(ConfigurationService()->LoadSettings(QStringLiteral("\\Forms\\Application"), &restored));
    EXPECT_EQ(restored.Applied, 1);
    EXPECT_TRUE(restored.Valid);
    EXPECT_EQ(restored.Top, -20);
    EXPECT_EQ(restored.Left, 640);
    EXPECT_EQ(restored.Width, 800);
    EXPECT_EQ(restored.Height, 600);
    EXPECT_FALSE(restored.Maximized);
    EXPECT_EQ(restored.Dock, TFormSettings::dkRight);
    EXPECT_EQ(restored.Caption, QStringLiteral("caf\u00e9 \\ \"quoted\""));
    EXPECT_EQ(restored.Zoom, -0.125);
}

TEST_F(ConfigurationServiceTest, ANewServiceSeesWhatAnotherProcessWroteOnceNothingHoldsTheStore)
{
    {
        TFormSettings settings;
        ConfigurationService()->SaveSettings(QStringLiteral("Form"), &settings);
    }
    {
        TRegistryStore other(FFile);
        other.WriteString(AtelierRoot + QStringLiteral("Form"), QStringLiteral("Top"), QStringLiteral("99"));
    }
    TFormSettings settings;
    ConfigurationService()->LoadSettings(QStringLiteral("Form"), &settings);
    EXPECT_EQ(settings.Top, 99);
}

TEST_F(ConfigurationServiceTest, NothingIsWrittenWhenUpdateSettingsDeclines)
{
    TFormSettings settings;
    settings.WriteAllowed = false;
    ConfigurationService()->SaveSettings(QStringLiteral("\\Forms\\Application"), &settings);
    EXPECT_EQ(settings.Updated, 1);
    EXPECT_FALSE(OnDisk()->KeyExists(AtelierRoot + QStringLiteral("Forms")));
}

TEST_F(ConfigurationServiceTest, FolderSettingsMakeTheStoredTreeAndKeepTheirHistories)
{
    {
        TFolderSettings settings;
        settings.Valid = true;
        settings.LastFileType = 3;
        settings.LastFolder = QStringLiteral("/home/user/res");
        settings.OpenHistory()->Add(QStringLiteral("/a.exe"));
        settings.OpenHistory()->Add(QStringLiteral("/b.dll"));
        settings.SaveHistory()->Add(QStringLiteral("/c.res"));
        ConfigurationService()->SaveSettings(QStringLiteral("\\Folders"), &settings);
    }
    const auto disk = OnDisk();
    const QString folders = AtelierRoot + QStringLiteral("Folders");
    EXPECT_EQ(disk->ReadString(folders, QStringLiteral("LastFileType")), QStringLiteral("3"));
    EXPECT_EQ(disk->ReadString(folders, QStringLiteral("LastFolder")), QStringLiteral("/home/user/res"));
    EXPECT_EQ(disk->ReadString(folders, QStringLiteral("Valid")), QStringLiteral("1"));
    // Each history's text, UTF-16 lines ending in CR LF, is a binary value of "Folders".
    EXPECT_EQ(disk->GetDataType(folders, QStringLiteral("OpenHistory")), rdBinary);
    EXPECT_EQ(disk->ReadBinaryData(folders, QStringLiteral("OpenHistory")),
              QByteArray(reinterpret_cast<const char*>(u"/a.exe\r\n/b.dll\r\n"), 32));
    EXPECT_EQ(disk->ReadBinaryData(folders, QStringLiteral("SaveHistory")),
              QByteArray(reinterpret_cast<const char*>(u"/c.res\r\n"), 16));
    // The histories sit beside "Folders", in keys named after the key and the property.
    const QString open = AtelierRoot + QStringLiteral("FoldersOpenHistory");
    EXPECT_EQ(disk->ReadString(open, QStringLiteral("Count")), QStringLiteral("2"));
    EXPECT_EQ(disk->ReadString(open, QStringLiteral("0")), QStringLiteral("/a.exe"));
    EXPECT_EQ(disk->ReadString(open, QStringLiteral("1")), QStringLiteral("/b.dll"));
    EXPECT_EQ(disk->ReadString(AtelierRoot + QStringLiteral("FoldersSaveHistory"), QStringLiteral("0")), QStringLiteral("/c.res"));

    TFolderSettings restored;
    restored.OpenHistory()->Add(QStringLiteral("stale"));
    EXPECT_TRUE(ConfigurationService()->LoadSettings(QStringLiteral("\\Folders"), &restored));
    EXPECT_TRUE(restored.Valid);
    EXPECT_EQ(restored.LastFileType, 3);
    EXPECT_EQ(restored.LastFolder, QStringLiteral("/home/user/res"));
    EXPECT_EQ(restored.OpenHistory()->Strings(), (QStringList{QStringLiteral("/a.exe"), QStringLiteral("/b.dll")}));
    EXPECT_EQ(restored.SaveHistory()->Strings(), QStringList{QStringLiteral("/c.res")});
}

TEST_F(ConfigurationServiceTest, AFirstRunLeavesFolderSettingsInvalid)
{
    TFolderSettings settings;
    settings.Valid = true;
    settings.OpenHistory()->Add(QStringLiteral("kept?"));
    ConfigurationService()->LoadSettings(QStringLiteral("\\Folders"), &settings);
    EXPECT_FALSE(settings.Valid);
    EXPECT_EQ(settings.OpenHistory()->Count(), 0); // "Count" missing: emptied, LoadDefaults adds nothing
}

// ---- TSettingsStringList ----

TEST_F(ConfigurationServiceTest, AShorterListLeavesTheOldValuesButReadsOnlyItsOwn)
{
    auto store = std::make_shared<TRegistryStore>(FFile);
    TFixedRegIniFile registry(store, AtelierRoot);
    const QString section = QStringLiteral("History\\");
    TSettingsStringList list;
    for (const char* line : {"one", "two", "three", "four", "five"}) list.Add(QString::fromLatin1(line));
    list.SaveToRegistry(registry, section);
    list.Clear();
    for (const char* line : {"A", "B", "C"}) list.Add(QString::fromLatin1(line));
    list.SaveToRegistry(registry, section);

    const auto disk = OnDisk();
    const QString key = AtelierRoot + section;
    EXPECT_EQ(disk->ReadString(key, QStringLiteral("Count")), QStringLiteral("3"));
    EXPECT_EQ(disk->ReadString(key, QStringLiteral("2")), QStringLiteral("C"));
    EXPECT_EQ(disk->ReadString(key, QStringLiteral("3")), QStringLiteral("four"));
    EXPECT_EQ(disk->ReadString(key, QStringLiteral("4")), QStringLiteral("five"));

    TSettingsStringList loaded;
    loaded.Add(QStringLiteral("old"));
    loaded.LoadFromRegistry(registry, section);
    EXPECT_EQ(loaded.Strings(), (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));
}

TEST_F(ConfigurationServiceTest, AListWithNothingStoredLoadsItsDefaults)
{
    auto store = std::make_shared<TRegistryStore>();
    TFixedRegIniFile registry(store, AtelierRoot);
    TDefaultedList list;
    list.Add(QStringLiteral("old"));
    list.LoadFromRegistry(registry, QStringLiteral("Missing\\"));
    EXPECT_EQ(list.Strings(), QStringList{QStringLiteral("default line")});

    // An empty list that was saved is not "nothing stored".
    TDefaultedList empty;
    empty.Clear();
    empty.SaveToRegistry(registry, QStringLiteral("Empty\\"));
    list.LoadFromRegistry(registry, QStringLiteral("Empty\\"));
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(ConfigurationServiceTest, ADamagedListReadsWhatItCanAndNeverRunsAway)
{
    auto store = std::make_shared<TRegistryStore>();
    TFixedRegIniFile registry(store, AtelierRoot);
    const QString key = AtelierRoot + QStringLiteral("List");
    store->WriteString(key, QStringLiteral("Count"), QStringLiteral("2000000000"));
    store->WriteString(key, QStringLiteral("0"), QStringLiteral("zero"));
    store->WriteBinaryData(key, QStringLiteral("1"), QByteArray("\x01\x02", 2)); // mistyped
    store->WriteInteger(key, QStringLiteral("2"), 42);                           // integer: its text
    TSettingsStringList list;
    list.LoadFromRegistry(registry, QStringLiteral("List"));
    // The key holds four values, so at most four lines; the missing "3" reads as empty.
    EXPECT_EQ(list.Strings(), (QStringList{QStringLiteral("zero"), QString(), QStringLiteral("42"), QString()}));

    store->WriteString(key, QStringLiteral("Count"), QStringLiteral("-5"));
    list.LoadFromRegistry(registry, QStringLiteral("List"));
    EXPECT_EQ(list.Count(), 0);
    store->WriteBinaryData(key, QStringLiteral("Count"), QByteArray("x"));
    TDefaultedList defaulted;
    defaulted.LoadFromRegistry(registry, QStringLiteral("List")); // unreadable count: nothing stored
    EXPECT_EQ(defaulted.Strings(), QStringList{QStringLiteral("default line")});
}

// ---- a damaged store ----

TEST_F(ConfigurationServiceTest, ACorruptStoreGivesDefaultsAndIsRepairedByTheNextSave)
{
    {
        QFile file(FFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("{\"values\": [ {\"name\": 5 ] this is not json");
    }
    QStringList warnings;
    const TRegistryWarningHook previous = SetRegistryWarningHook([&](const QString& m) { warnings.append(m); });
    TFormSettings settings;
    EXPECT_NO_THROW(EXPECT_FALSE(ConfigurationService()->LoadSettings(QStringLiteral("\\Forms\\Application"), &settings)));
    SetRegistryWarningHook(previous);
    EXPECT_FALSE(warnings.isEmpty());
    EXPECT_FALSE(settings.Valid);
    EXPECT_EQ(settings.Width, -1);
    EXPECT_EQ(settings.Top, 17);

    settings.Top = 5;
    ConfigurationService()->SaveSettings(QStringLiteral("\\Forms\\Application"), &settings);
    EXPECT_EQ(OnDisk()->ReadString(AtelierRoot + QStringLiteral("Forms\\Application"), QStringLiteral("Top")), QStringLiteral("5"));
}

TEST_F(ConfigurationServiceTest, MistypedValuesGiveDefaultsOrKeepTheObjectsValues)
{
    {
        TRegistryStore store(FFile);
        const QString key = AtelierRoot + QStringLiteral("Form");
        store.WriteBinaryData(key, QStringLiteral("Width"), QByteArray("\xff", 1));
        store.WriteString(key, QStringLiteral("Height"), QStringLiteral("tall"));
        store.WriteString(key, QStringLiteral("Top"), QStringLiteral("99999999999999"));
        store.WriteInteger(key, QStringLiteral("Caption"), 12);
        store.WriteString(key, QStringLiteral("Zoom"), QStringLiteral("1.0"));
        store.WriteString(key, QStringLiteral("Valid"), QStringLiteral("1"));
    }
    TFormSettings settings;
    EXPECT_NO_THROW(EXPECT_TRUE(ConfigurationService()->LoadSettings(QStringLiteral("Form"), &settings)));
    EXPECT_TRUE(settings.Valid);
    EXPECT_EQ(settings.Width, -1);
    EXPECT_EQ(settings.Height, -1);
    EXPECT_EQ(settings.Top, 17);
    EXPECT_EQ(settings.Caption, QStringLiteral("12"));
    EXPECT_EQ(settings.Zoom, 1.5);
}

// ---- sections of the workspace ----

TEST_F(ConfigurationServiceTest, EditorsAndViewersAreSectionsOfOneKeptService)
{
    SetConfigurationServiceFactory(TCountingFactory::ClassInfo());
    TCountingFactory::Created = 0;
    const auto editors = AsService(EditorsConfigurationService());
    const auto viewers = AsService(ViewersConfigurationService());
    ASSERT_TRUE(editors && viewers);
    EXPECT_EQ(editors->Root(), AtelierRoot + QStringLiteral("Editors\\"));
    EXPECT_EQ(viewers->Root(), AtelierRoot + QStringLiteral("Viewers\\"));
    EXPECT_NE(EditorsConfigurationService(), EditorsConfigurationService());
    EXPECT_EQ(TCountingFactory::Created, 1);
    koAtelier_Finalize();
    EditorsConfigurationService();
    EXPECT_EQ(TCountingFactory::Created, 2);
}

TEST_F(ConfigurationServiceTest, AProvidersSettingsLiveInTheEditorsSection)
{
    {
        TSettingsKeeper keeper;
        ISettings* settings = nullptr;
        QString key;
        ASSERT_TRUE(keeper.GetSettings(settings, key));
        keeper.FSettings.Left = 4;
        EditorsConfigurationService()->SaveSettings(key, settings);
    }
    EXPECT_EQ(OnDisk()->ReadString(AtelierRoot + QStringLiteral("Editors\\Keeper"), QStringLiteral("Left")), QStringLiteral("4"));
    koAtelier_Finalize(); // a restart
    TSettingsKeeper keeper;
    ISettings* settings = nullptr;
    QString key;
    keeper.GetSettings(settings, key);
    EXPECT_TRUE(EditorsConfigurationService()->LoadSettings(key, settings));
    EXPECT_EQ(keeper.FSettings.Left, 4);
    EXPECT_FALSE(ViewersConfigurationService()->LoadSettings(key, settings)); // nothing in "Viewers"
}

// The kept root service lives for the whole run; a save through it must not put back what another
// service changed in the meantime.
TEST_F(ConfigurationServiceTest, TheKeptSectionNeverWritesOverNewerSettings)
{
    const IConfigurationServicePtr editors = EditorsConfigurationService();
    TFormSettings editor;
    editors->SaveSettings(QStringLiteral("Bitmap"), &editor);
    {
        TFolderSettings folders;
        folders.LastFolder = QStringLiteral("/newer");
        ConfigurationService()->SaveSettings(QStringLiteral("\\Folders"), &folders);
    }
    editor.Left = 1;
    editors->SaveSettings(QStringLiteral("Bitmap"), &editor);

    const auto disk = OnDisk();
    EXPECT_EQ(disk->ReadString(AtelierRoot + QStringLiteral("Folders"), QStringLiteral("LastFolder")), QStringLiteral("/newer"));
    EXPECT_EQ(disk->ReadString(AtelierRoot + QStringLiteral("Editors\\Bitmap"), QStringLiteral("Left")), QStringLiteral("1"));
}

// ---- the dummy service ----

TEST_F(ConfigurationServiceTest, TheDummyServiceStoresNothing)
{
    SetConfigurationServiceFactory(TDummyConfigurationServiceFactory::ClassInfo());
    const IConfigurationServicePtr service = ConfigurationService();
    ASSERT_TRUE(std::dynamic_pointer_cast<TDummyConfigurationService>(service));
    EXPECT_NE(service, ConfigurationService());
    EXPECT_EQ(service->OpenSection(QStringLiteral("Editors")), service);
    TFormSettings settings;
    EXPECT_FALSE(service->LoadSettings(QStringLiteral("Form"), &settings));
    EXPECT_EQ(settings.Applied, 0);
    EXPECT_EQ(settings.Width, 300);
    service->SaveSettings(QStringLiteral("Form"), &settings);
    EXPECT_EQ(settings.Updated, 0);
    EXPECT_FALSE(QFile::exists(FFile));
}

// ---- TCustomSettings ----

TEST_F(ConfigurationServiceTest, SubscribersAreToldNewestFirstWithTheSettingsFace)
{
    std::vector<QString> log;
    TRecorder a(QStringLiteral("a"), &log), b(QStringLiteral("b"), &log), c(QStringLiteral("c"), &log);
    TFormSettings settings;
    ISettings* face = &settings;
    settings.Subscribe(&a);
    settings.Subscribe(&b);
    settings.Subscribe(&c);
    EXPECT_EQ(log, (std::vector<QString>{QStringLiteral("a:0"), QStringLiteral("b:0"), QStringLiteral("c:0")}));
    log.clear();
    settings.Changed();
    EXPECT_EQ(log, (std::vector<QString>{QStringLiteral("c:2"), QStringLiteral("b:2"), QStringLiteral("a:2")}));
    EXPECT_EQ(a.Faces.back(), face);

    log.clear();
    settings.Unsubscribe(&b);
    settings.Unsubscribe(&b); // not subscribed any more: not told
    EXPECT_EQ(log, std::vector<QString>{QStringLiteral("b:1")});
    log.clear();
    settings.Changed();
    EXPECT_EQ(log, (std::vector<QString>{QStringLiteral("c:2"), QStringLiteral("a:2")}));
}

TEST_F(ConfigurationServiceTest, ABatchSendsOneChange)
{
    TRecorder recorder(QString(), nullptr);
    TFormSettings settings;
    settings.Subscribe(&recorder);
    settings.BeginUpdate();
    settings.Changed();
    settings.Changed();
    EXPECT_EQ(recorder.Count(snkChanged), 0);
    settings.EndUpdate();
    EXPECT_EQ(recorder.Count(snkChanged), 1);
    EXPECT_EQ(settings.UpdateCount(), 0);

    settings.BeginUpdate();
    settings.EndUpdate(); // nothing changed
    EXPECT_EQ(recorder.Count(snkChanged), 1);
    EXPECT_THROW(settings.EndUpdate(), EAssertionFailed);
    EXPECT_EQ(settings.UpdateCount(), 0);
}

TEST_F(ConfigurationServiceTest, AChangeSignalledWhileBeingToldIsAbsorbed)
{
    TRecorder recorder(QString(), nullptr); // subscribers outlive what they subscribe to
    TFormSettings settings;
    recorder.OnNotify = [&](ISettings* s, TSettingsNotificationKind kind) {
        if (kind == snkChanged) s->Changed();
    };
    settings.Subscribe(&recorder);
    settings.Changed();
    EXPECT_EQ(recorder.Count(snkChanged), 1);
    settings.Changed();
    EXPECT_EQ(recorder.Count(snkChanged), 2); // the mark was cleared, not left pending
}

TEST_F(ConfigurationServiceTest, SubscribersMayLeaveWhileTheyAreTold)
{
    std::vector<QString> log;
    TRecorder a(QStringLiteral("a"), &log), b(QStringLiteral("b"), &log), c(QStringLiteral("c"), &log);
    TFormSettings settings;
    settings.Subscribe(&a);
    settings.Subscribe(&b);
    settings.Subscribe(&c);
    // c leaves, and takes a with it: a is told it left, never that something changed; b once.
    c.OnNotify = [&](ISettings* s, TSettingsNotificationKind kind) {
        if (kind != snkChanged) return;
        s->Unsubscribe(&c);
        s->Unsubscribe(&a);
    };
    log.clear();
    settings.Changed();
    EXPECT_EQ(log, (std::vector<QString>{QStringLiteral("c:2"), QStringLiteral("c:1"), QStringLiteral("a:1"), QStringLiteral("b:2")}));
    EXPECT_EQ(settings.SubscriberCount(), 1);
}

TEST_F(ConfigurationServiceTest, DestructionTellsEverySubscriberItIsUnsubscribed)
{
    std::vector<QString> log;
    TRecorder a(QStringLiteral("a"), &log), b(QStringLiteral("b"), &log);
    {
        TFormSettings settings;
        settings.Subscribe(&a);
        settings.Subscribe(&b);
        // Unsubscribing in answer is harmless; subscribing again is refused.
        b.OnNotify = [&](ISettings* s, TSettingsNotificationKind kind) {
            if (kind != snkUnsubscribed) return;
            s->Unsubscribe(&b);
            s->Subscribe(&b);
        };
        log.clear();
    }
    EXPECT_EQ(log, (std::vector<QString>{QStringLiteral("b:1"), QStringLiteral("a:1")}));
}

TEST_F(ConfigurationServiceTest, ARaisingSubscriberGoesToTheHandlerAndTheOthersAreStillTold)
{
    TRecorder quiet(QString(), nullptr), raising(QString(), nullptr);
    TFormSettings settings;
    raising.OnNotify = [](ISettings*, TSettingsNotificationKind kind) {
        if (kind == snkChanged) throw EInvalidOperation(QStringLiteral("subscriber failed"));
    };
    settings.Subscribe(&quiet);
    settings.Subscribe(&raising);

    int handled = 0;
    const auto previous = SetApplicationExceptionHandler([&](std::exception_ptr) { ++handled; });
    settings.Changed();
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(quiet.Count(snkChanged), 1);
    SetApplicationExceptionHandler(nullptr);

    EXPECT_THROW(settings.Changed(), EInvalidOperation);
    EXPECT_EQ(settings.UpdateCount(), 0); // the batch is closed on the way out
    settings.Unsubscribe(&raising);
    settings.Changed();
    EXPECT_EQ(quiet.Count(snkChanged), 2); // the failed round left no change pending
    SetApplicationExceptionHandler(previous);
}

TEST_F(ConfigurationServiceTest, ValuesByNameAndResetDefaults)
{
    TRecorder recorder(QString(), nullptr);
    TFormSettings settings;
    settings.Subscribe(&recorder);
    ISettingValues* values = &settings;
    EXPECT_EQ(values->GetValue(QStringLiteral("width")), QVariant(300));
    const QVariant dock = values->GetValue(QStringLiteral("Dock"));
    EXPECT_EQ(dock.metaType(), QMetaType::fromType<int>());
    EXPECT_EQ(dock.toInt(), 3); // an enumeration as its ordinal
    EXPECT_EQ(values->GetValue(QStringLiteral("Caption")).toString(), QStringLiteral("as designed"));

    values->SetValue(QStringLiteral("TOP"), 40);
    EXPECT_EQ(settings.Top, 40);
    EXPECT_EQ(recorder.Count(snkChanged), 1);
    values->SetValue(QStringLiteral("Dock"), 1);
    EXPECT_EQ(settings.Dock, TFormSettings::dkTop);
    values->SetValue(QStringLiteral("Dock"), QStringLiteral("dkRight"));
    EXPECT_EQ(settings.Dock, TFormSettings::dkRight);
    EXPECT_EQ(recorder.Count(snkChanged), 3);

    EXPECT_THROW(values->GetValue(QStringLiteral("Missing")), EPropertyError);
    EXPECT_THROW(values->SetValue(QStringLiteral("objectName"), QStringLiteral("x")), EPropertyError);
    EXPECT_THROW(values->SetValue(QStringLiteral("Top"), QVariant::fromValue(QStringList{QStringLiteral("x")})), EConvertError);
    EXPECT_THROW(values->SetValue(QStringLiteral("Dock"), 77), EConvertError);
    EXPECT_THROW(values->SetValue(QStringLiteral("Dock"), QStringLiteral("dkNowhere")), EConvertError);
    EXPECT_EQ(settings.Dock, TFormSettings::dkRight);
    EXPECT_EQ(recorder.Count(snkChanged), 3);

    settings.ResetDefaults();
    EXPECT_FALSE(settings.Valid);
    EXPECT_EQ(settings.Width, -1);
    EXPECT_EQ(settings.Height, -1);
    EXPECT_FALSE(settings.Maximized);
    EXPECT_EQ(settings.Dock, TFormSettings::dkLeft);
    EXPECT_EQ(settings.Top, 40);
    EXPECT_EQ(settings.Caption, QStringLiteral("as designed"));
    EXPECT_EQ(settings.Zoom, 1.5);

    TFolderSettings folders;
    folders.LastFileType = 7;
    folders.LastFolder = QStringLiteral("/x");
    folders.Valid = true;
    folders.ResetDefaults();
    EXPECT_EQ(folders.LastFileType, 0);
    EXPECT_TRUE(folders.LastFolder.isEmpty());
    EXPECT_FALSE(folders.Valid);
}

} // namespace configuration_service_test

#include "ConfigurationServiceTest.moc"
