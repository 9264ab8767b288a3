// The configuration service: everything that remembers something between runs keeps it in a
// settings object whose published properties are the stored values, and asks the service to read or
// write that object under a key. The service stores through the registry configuration store (regconfg)
// into the registry store, below a root path ("\Software\Kestovar\Atelier\" once the program has started).
//
// The unit needs no widgets; it lives in src/shell because it builds on the model's weak subscriber list
// (model/koGenerics.h), which the platform layer must not include.
#pragma once

#include "model/koGenerics.h"
#include "platform/ClassInfo.h"
#include "platform/Exceptions.h"
#include "platform/RegistryStore.h"
#include "platform/StringList.h"
#include "platform/PublishedProperties.h"
#include "platform/regconfg.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <memory>

enum TSettingsNotificationKind : uint8_t { snkSubscribed, snkUnsubscribed, snkChanged };

class ISettings;

class ISettingsNotification {
public:
    virtual void SettingsNotification(ISettings* Settings, TSettingsNotificationKind Notification) = 0;

protected:
    ~ISettingsNotification() = default;
};

// A settings object as the service and its subscribers see it. Not reference counted: the owner frees the
// object, never an interface reference.
class ISettings {
public:
    // The object whose published properties are stored.
    virtual QObject* GetSettingsObject() = 0;
    virtual void Subscribe(ISettingsNotification* Subscriber) = 0;
    virtual void Unsubscribe(ISettingsNotification* Subscriber) = 0;
    virtual void ResetDefaults() = 0;
    // Called after reading: puts the values into effect; the answer is LoadSettings' result.
    virtual bool ApplySettings() = 0;
    // Called before writing: collects the current state; false means "do not write".
    virtual bool UpdateSettings() = 0;
    virtual void BeginUpdate() = 0;
    virtual void Changed() = 0;
    virtual void EndUpdate() = 0;

protected:
    ~ISettings() = default;
};

class ISettingValues : public ISettings {
public:
    // The published property Name as a variant, enumerations and sets as their ordinal. Names compare
    // case-insensitively; an unknown name raises EPropertyError.
    virtual QVariant GetValue(const QString& Name) = 0;
    // Sets the property from the variant, then Changed. EPropertyError for an unknown or read-only
    // property, EConvertError when the variant does not convert.
    virtual void SetValue(const QString& Name, const QVariant& Value) = 0;

protected:
    ~ISettingValues() = default;
};

// A view, editor, tool or action that keeps a settings object under a key. The workspace and the bitmap
// editor load and save what it returns; Settings stays owned by the provider.
class ISettingsProvider {
public:
    virtual bool GetSettings(ISettings*& Settings, QString& Key) = 0;

protected:
    ~ISettingsProvider() = default;
};

class IConfigurationService;
using IConfigurationServicePtr = std::shared_ptr<IConfigurationService>;

class IConfigurationService {
public:
    virtual ~IConfigurationService() = default;
    // A service whose root is this one's followed by Name and "\" (the same root for an empty Name).
    virtual IConfigurationServicePtr OpenSection(const QString& Name) = 0;
    // Reads the object's published properties stored under Key, then returns Settings->ApplySettings().
    // Nothing is reset first: missing values keep the object's contents, except ordinals with a declared
    // default, which take it. Failures of the store pass out.
    virtual bool LoadSettings(const QString& Key, ISettings* Settings) = 0;
    // Writes the object under Key when Settings->UpdateSettings() answers true.
    virtual void SaveSettings(const QString& Key, ISettings* Settings) = 0;
};

// The settings base: published properties of descendants are the stored values. Subscribers are held
// weakly and told newest first, each with the object's ISettings face; a subscriber that raises is handed
// to the application's exception handler and the others are still told (without a handler the exception
// propagates, except from the destructor, where it is dropped).
class TCustomSettings : public QObject, public ISettingValues {
    Q_OBJECT

public:
    explicit TCustomSettings(QObject* Parent = nullptr);
    // Tells every subscriber snkUnsubscribed (removing each first). They are told while the object is
    // being destroyed: only its identity and the base class's methods may be used.
    ~TCustomSettings() override;

    QObject* GetSettingsObject() override;
    void Subscribe(ISettingsNotification* Subscriber) override;
    void Unsubscribe(ISettingsNotification* Subscriber) override;
    // Every published ordinal property (integer, character, boolean, enumeration, set, 64-bit) with a
    // declared default takes it; other properties stay.
    void ResetDefaults() override;
    bool ApplySettings() override;
    bool UpdateSettings() override;
    void BeginUpdate() override;
    void Changed() override;
    // When a change is pending and the count is 1, tells every subscriber snkChanged, then clears the
    // mark (so a change signalled by a subscriber while it is told is absorbed); then decrements the
    // count, also when a subscriber's exception passes out. Fails its assertion without BeginUpdate.
    void EndUpdate() override;
    QVariant GetValue(const QString& Name) override;
    void SetValue(const QString& Name, const QVariant& Value) override;

    int UpdateCount() const { return FUpdateCount; }
    int SubscriberCount() const { return FSubscriptions ? FSubscriptions->Count() : 0; }

protected:
    void Notify(TSettingsNotificationKind Notification);

private:
    std::unique_ptr<TWeakInterfaceList<ISettingsNotification>> FSubscriptions;
    int FUpdateCount = 0;
    bool FChanged = false;
    bool FDestroying = false; // subscriptions made while the subscribers are let go are refused
};

// A string list that stores itself: the value "Count" (decimal text) and each line as the string value
// named by its index ("0", "1", ...). A published property of this type in a settings object is stored in
// its own key (the owner's key followed by the property name).
class TSettingsStringList : public QObject, public TStringList, public IConfigurationSection {
    Q_OBJECT

public:
    explicit TSettingsStringList(QObject* Parent = nullptr);

    // Values of an earlier, longer list stay in the key but are never read.
    void SaveToRegistry(TFixedRegIniFile& Registry, const QString& Section) override;
    // Empties the list and reads "Count" (default -1): -1 calls LoadDefaults; otherwise that many lines,
    // a missing or mistyped one read as empty text. A Count larger than the number of values the key
    // holds (a damaged store) is cut to that number, so a bad count cannot make the read run away.
    void LoadFromRegistry(TFixedRegIniFile& Registry, const QString& Section) override;
    // Called when nothing is stored; empty here.
    virtual void LoadDefaults();
};

// ---- factories ----

class TConfigurationServiceFactoryClassInfo : public TClassInfo {
public:
    virtual IConfigurationServicePtr CreateConfigurationService() const = 0;
};
using TConfigurationServiceFactoryClass = const TConfigurationServiceFactoryClassInfo*;

template <class T>
class TConfigurationServiceFactoryClassOf final : public TClassInfoOf<T, TConfigurationServiceFactoryClassInfo> {
public:
    IConfigurationServicePtr CreateConfigurationService() const override
    {
        if constexpr (requires { T::CreateConfigurationService(); })
            return T::CreateConfigurationService();
        else
            AssertionFailure("abstract configuration service factory", __FILE__, __LINE__);
    }
};

#define CONFIGURATION_SERVICE_FACTORY_CLASS(Class, Base)                                             \
public:                                                                                             \
    using inherited = Base;                                                                         \
    static const char* StaticClassName() { return #Class; }                                         \
    static TConfigurationServiceFactoryClass ClassInfo()                                            \
    {                                                                                               \
        static const TConfigurationServiceFactoryClassOf<Class> info;                               \
        return &info;                                                                               \
    }                                                                                               \
                                                                                                    \
private:

class TCustomConfigurationServiceFactory {
public:
    static const char* StaticClassName() { return "TCustomConfigurationServiceFactory"; }
    static TConfigurationServiceFactoryClass ClassInfo()
    {
        static const TConfigurationServiceFactoryClassOf<TCustomConfigurationServiceFactory> info;
        return &info;
    }
};

// A TConfigurationService on the unit's root key and root path.
class TConfigurationServiceFactory {
    CONFIGURATION_SERVICE_FACTORY_CLASS(TConfigurationServiceFactory, TCustomConfigurationServiceFactory)
public:
    static IConfigurationServicePtr CreateConfigurationService();
};

// A TDummyConfigurationService.
class TDummyConfigurationServiceFactory {
    CONFIGURATION_SERVICE_FACTORY_CLASS(TDummyConfigurationServiceFactory, TCustomConfigurationServiceFactory)
public:
    static IConfigurationServicePtr CreateConfigurationService();
};

// ---- services ----

// The hive a service stores into: a registry store. Services opened on one key share its store, so that
// what one writes the others see and never overwrite with older contents. A null key stands for the
// current user's hive (CurrentUserRootKey).
using TConfigurationRootKey = std::shared_ptr<TRegistryStore>;

// The current user's store (RegistryFileName()): one instance for as long as anything holds it, read anew
// from the file once nothing does (or when the file name has changed).
TConfigurationRootKey CurrentUserRootKey();

class TConfigurationService : public IConfigurationService {
public:
    // Root gets a trailing "\" (also when empty) and, when it lacks one, a leading "\", so that keys
    // always count from the hive's top; the key Root is opened, created when missing. A null RootKey is
    // the current user's hive.
    TConfigurationService(TConfigurationRootKey RootKey, const QString& Root);
    ~TConfigurationService() override;

    const QString& Root() const { return FRoot; }
    const TConfigurationRootKey& RootKey() const { return FRootKey; }

    IConfigurationServicePtr OpenSection(const QString& Name) override;
    bool LoadSettings(const QString& Key, ISettings* Settings) override;
    void SaveSettings(const QString& Key, ISettings* Settings) override;

private:
    std::unique_ptr<TConfiguration> FConfiguration;
    QString FRoot;
    TConfigurationRootKey FRootKey;
};

// Stores nothing: OpenSection returns the service itself, LoadSettings answers false without touching the
// settings (ApplySettings is not called), SaveSettings does nothing.
class TDummyConfigurationService : public IConfigurationService, public std::enable_shared_from_this<TDummyConfigurationService> {
public:
    IConfigurationServicePtr OpenSection(const QString& Name) override;
    bool LoadSettings(const QString& Key, ISettings* Settings) override;
    void SaveSettings(const QString& Key, ISettings* Settings) override;
};

// ---- unit state ----

// A new service from the registered factory on every call; callers keep it while they need it. Without a
// registered factory it fails the assertion "The Configuration Service has not been assigned".
IConfigurationServicePtr ConfigurationService();

// The registered factory class (nullptr until registered); setting returns the previous one.
TConfigurationServiceFactoryClass ConfigurationServiceFactory();
TConfigurationServiceFactoryClass SetConfigurationServiceFactory(TConfigurationServiceFactoryClass Factory);

// Where TConfigurationServiceFactory's services store: the root key (initially the current user's hive,
// a null key) and the root path (initially "\Software\Kestovar\"). The main window's start-up sets the
// current user's hive and "\Software\Kestovar\Atelier\" (ConfigurationServiceAtelierRoot).
void SetConfigurationServiceRoot(TConfigurationRootKey RootKey, const QString& Root);
TConfigurationRootKey ConfigurationServiceRootKey();
QString ConfigurationServiceRoot();
inline constexpr const char* ConfigurationServiceDefaultRoot = "\\Software\\Kestovar\\";
inline constexpr const char* ConfigurationServiceAtelierRoot = "\\Software\\Kestovar\\Atelier\\";

// Registers TConfigurationServiceFactory.
void koConfigurationService_Initialize();
// Unregisters the factory and puts the root back to its initial state.
void koConfigurationService_Finalize();
