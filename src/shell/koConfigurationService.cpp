#include "koConfigurationService.h"

#include "platform/Format.h"
#include "platform/PublishedProperties.h"
#include "platform/SysUtils.h"
#include "platform/UpdateGuard.h"

#include <QMetaProperty>
#include <algorithm>

namespace {
struct TUnitState {
    TConfigurationServiceFactoryClass Factory = nullptr;
    TConfigurationRootKey RootKey; // null: the current user's hive
    QString Root = QString::fromLatin1(ConfigurationServiceDefaultRoot);
};

TUnitState& State()
{
    static TUnitState state;
    return state;
}

// The property kinds that take a declared default: enumerations, characters and integers.
bool IsOrdinalProperty(const QMetaProperty& property)
{
    if (property.isEnumType() || IsSmallIntegerType(property.metaType())) return true;
    switch (property.metaType().id()) {
    case QMetaType::QChar:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: return true;
    default: return false;
    }
}

// Property names compare case-insensitively, as the platform's property access does.
QMetaProperty FindProperty(const QObject* instance, const QString& name)
{
    const QList<QMetaProperty> properties = PublishedProperties(instance->metaObject());
    for (const QMetaProperty& property : properties)
        if (SameText(QString::fromLatin1(property.name()), name)) return property;
    throw EPropertyError(Format("Property %s does not exist", {name}));
}

QString WithTrailingSeparator(const QString& path)
{
    if (path.endsWith(QLatin1Char('\\'))) return path;
    return path + QLatin1Char('\\');
}
} // namespace

// ---- TCustomSettings ----

TCustomSettings::TCustomSettings(QObject* Parent) : QObject(Parent) {}

TCustomSettings::~TCustomSettings()
{
    if (!FSubscriptions) return;
    FDestroying = true;
    ISettings* face = this;
    while (FSubscriptions->Count() > 0) {
        ISettingsNotification* subscriber = FSubscriptions->Last();
        FSubscriptions->Delete(FSubscriptions->Count() - 1);
        try {
            subscriber->SettingsNotification(face, snkUnsubscribed);
        } catch (...) {
            // Nothing may leave a destructor; the handler, when there is one, reports it.
            HandleApplicationException(std::current_exception());
        }
    }
    FSubscriptions.reset();
}

QObject* TCustomSettings::GetSettingsObject() { return this; }

void TCustomSettings::Subscribe(ISettingsNotification* Subscriber)
{
    ATELIER_ASSERT(Subscriber != nullptr);
    if (FDestroying) return;
    if (!FSubscriptions) FSubscriptions = std::make_unique<TWeakInterfaceList<ISettingsNotification>>();
    FSubscriptions->Add(Subscriber);
    Subscriber->SettingsNotification(this, snkSubscribed);
}

void TCustomSettings::Unsubscribe(ISettingsNotification* Subscriber)
{
    if (FSubscriptions && FSubscriptions->Remove(Subscriber)) Subscriber->SettingsNotification(this, snkUnsubscribed);
}

void TCustomSettings::Notify(TSettingsNotificationKind Notification)
{
    if (!FSubscriptions) return;
    // Newest first. The walk goes over the subscribers present when it starts; one that leaves before
    // its turn is not told, one that joins during the walk is not told either, and none is told twice.
    QList<ISettingsNotification*> subscribers;
    for (int i = 0; i < FSubscriptions->Count(); ++i) subscribers.append(FSubscriptions->Items(i));
    ISettings* face = this;
    for (auto it = subscribers.crbegin(); it != subscribers.crend(); ++it) {
        if (FSubscriptions->IndexOf(*it) < 0) continue;
        try {
            (*it)->SettingsNotification(face, Notification);
        } catch (...) {
            if (!HandleApplicationException(std::current_exception())) throw;
        }
    }
}

void TCustomSettings::ResetDefaults()
{
    QObject* instance = GetSettingsObject();
    const QMetaObject* metaObject = instance->metaObject();
    for (const QMetaProperty& property : PublishedProperties(metaObject)) {
        if (!IsOrdinalProperty(property) || !property.isWritable()) continue;
        const QVariant value = PropertyDefault(metaObject, property);
        if (value.isValid()) property.write(instance, value);
    }
}

bool TCustomSettings::ApplySettings() { return true; }

bool TCustomSettings::UpdateSettings() { return true; }

void TCustomSettings::BeginUpdate() { ++FUpdateCount; }

void TCustomSettings::Changed()
{
    BeginUpdate();
    FChanged = true;
    EndUpdate();
}

void TCustomSettings::EndUpdate()
{
    ATELIER_ASSERT(FUpdateCount > 0);
    TFinally decrement([this] { --FUpdateCount; });
    if (FChanged && FUpdateCount == 1) {
        TFinally clear([this] { FChanged = false; });
        Notify(snkChanged);
    }
}

QVariant TCustomSettings::GetValue(const QString& Name)
{
    QObject* instance = GetSettingsObject();
    const QMetaProperty property = FindProperty(instance, Name);
    QVariant value = property.read(instance);
    if (property.isEnumType()) {
        QVariant ordinal = value;
        if (ordinal.convert(QMetaType::fromType<int>())) return ordinal;
    }
    return value;
}

void TCustomSettings::SetValue(const QString& Name, const QVariant& Value)
{
    QObject* instance = GetSettingsObject();
    const QMetaProperty property = FindProperty(instance, Name);
    if (!property.isWritable()) throw EPropertyError(Format("Property %s is read-only", {Name}));
    if (property.isEnumType() && !property.isFlagType() && Value.metaType() != QMetaType::fromType<QString>()) {
        // A number that names no value would leave the enumeration outside its range.
        QVariant ordinal = Value;
        if (ordinal.convert(QMetaType::fromType<int>()) && !property.enumerator().valueToKey(ordinal.toInt()))
            throw EConvertError(Format("%d is not a valid value of %s", {ordinal.toInt(), QString::fromLatin1(property.name())}));
    }
    if (!property.write(instance, Value))
        throw EConvertError(Format("Could not convert variant of type (%s) into type (%s)",
                                   {QString::fromLatin1(Value.typeName()), QString::fromLatin1(property.typeName())}));
    Changed();
}

// ---- TSettingsStringList ----

TSettingsStringList::TSettingsStringList(QObject* Parent) : QObject(Parent) {}

void TSettingsStringList::SaveToRegistry(TFixedRegIniFile& Registry, const QString& Section)
{
    TUpdateGuard<TRegistryStore> batch(&Registry.Store());
    Registry.WriteInteger(Section, QStringLiteral("Count"), Count());
    for (int i = 0; i < Count(); ++i) Registry.WriteString(Section, QString::number(i), (*this)[i]);
}

void TSettingsStringList::LoadFromRegistry(TFixedRegIniFile& Registry, const QString& Section)
{
    Clear();
    int64_t count = Registry.ReadInteger(Section, QStringLiteral("Count"), -1);
    if (count == -1) {
        LoadDefaults();
        return;
    }
    // Every line a save wrote is a value of the key, so a larger count comes from a damaged store.
    count = std::min<int64_t>(count, Registry.Store().GetValueNames(Registry.KeyPath(Section)).size());
    for (int64_t i = 0; i < count; ++i) {
        QString line;
        try {
            line = Registry.ReadString(Section, QString::number(i), QString());
        } catch (const ERegistryException&) {
            // A value of another type (a damaged store) reads as empty text, like a missing one.
        }
        Add(line);
    }
}

void TSettingsStringList::LoadDefaults() {}

// ---- factories ----

IConfigurationServicePtr TConfigurationServiceFactory::CreateConfigurationService()
{
    return std::make_shared<TConfigurationService>(State().RootKey, State().Root);
}

IConfigurationServicePtr TDummyConfigurationServiceFactory::CreateConfigurationService()
{
    return std::make_shared<TDummyConfigurationService>();
}

// ---- services ----

TConfigurationRootKey CurrentUserRootKey()
{
    static std::weak_ptr<TRegistryStore> current;
    TConfigurationRootKey store = current.lock();
    if (!store || store->FileName() != RegistryFileName()) {
        store = TRegistryStore::OpenCurrentUser();
        current = store;
    }
    return store;
}

TConfigurationService::TConfigurationService(TConfigurationRootKey RootKey, const QString& Root)
    : FRoot(WithTrailingSeparator(Root)), FRootKey(RootKey ? std::move(RootKey) : CurrentUserRootKey())
{
    // Keys are passed to the store as FRoot + Key; a root without its leading "\" would be taken as
    // relative to the key opened here and name that key twice.
    if (!FRoot.startsWith(QLatin1Char('\\'))) FRoot.prepend(QLatin1Char('\\'));
    FConfiguration = std::make_unique<TConfiguration>(Root, FRootKey);
}

TConfigurationService::~TConfigurationService() = default;

IConfigurationServicePtr TConfigurationService::OpenSection(const QString& Name)
{
    QString root = FRoot + Name;
    if (!Name.isEmpty()) root = WithTrailingSeparator(root);
    return std::make_shared<TConfigurationService>(FRootKey, root);
}

bool TConfigurationService::LoadSettings(const QString& Key, ISettings* Settings)
{
    ATELIER_ASSERT(Settings != nullptr);
    FConfiguration->ReadObject(FRoot + Key, Settings->GetSettingsObject());
    return Settings->ApplySettings();
}

void TConfigurationService::SaveSettings(const QString& Key, ISettings* Settings)
{
    ATELIER_ASSERT(Settings != nullptr);
    if (Settings->UpdateSettings()) FConfiguration->WriteObject(FRoot + Key, Settings->GetSettingsObject());
}

IConfigurationServicePtr TDummyConfigurationService::OpenSection(const QString&) { return shared_from_this(); }

bool TDummyConfigurationService::LoadSettings(const QString&, ISettings*) { return false; }

void TDummyConfigurationService::SaveSettings(const QString&, ISettings*) {}

// ---- unit state ----

IConfigurationServicePtr ConfigurationService()
{
    const TConfigurationServiceFactoryClass factory = State().Factory;
    if (!factory) AssertionFailure("The Configuration Service has not been assigned", __FILE__, __LINE__);
    return factory->CreateConfigurationService();
}

TConfigurationServiceFactoryClass ConfigurationServiceFactory() { return State().Factory; }

TConfigurationServiceFactoryClass SetConfigurationServiceFactory(TConfigurationServiceFactoryClass Factory)
{
    return std::exchange(State().Factory, Factory);
}

void SetConfigurationServiceRoot(TConfigurationRootKey RootKey, const QString& Root)
{
    State().RootKey = std::move(RootKey);
    State().Root = Root;
}

TConfigurationRootKey ConfigurationServiceRootKey() { return State().RootKey; }

QString ConfigurationServiceRoot() { return State().Root; }

void koConfigurationService_Initialize() { SetConfigurationServiceFactory(TConfigurationServiceFactory::ClassInfo()); }

void koConfigurationService_Finalize()
{
    SetConfigurationServiceFactory(nullptr);
    SetConfigurationServiceRoot({}, QString::fromLatin1(ConfigurationServiceDefaultRoot));
}
