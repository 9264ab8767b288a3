#include "RegistryStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QSaveFile>
#include <QStandardPaths>
#include <QVariant>
#include <QtDebug>
#include <algorithm>
#include <vector>

struct TRegValue {
    QString Name;
    TRegDataType Type = rdUnknown;
    QVariant Data; // QString, int32_t, QByteArray or QStringList by Type
};

struct TRegKey {
    QString Name;
    std::vector<TRegValue> Values;
    std::vector<std::unique_ptr<TRegKey>> Keys; // kept in case-insensitive name order

    TRegKey* Child(const QString& name) const
    {
        for (const auto& key : Keys)
            if (key->Name.compare(name, Qt::CaseInsensitive) == 0) return key.get();
        return nullptr;
    }
    TRegKey* AddChild(const QString& name)
    {
        auto it = std::lower_bound(Keys.begin(), Keys.end(), name, [](const auto& key, const QString& n) {
            return key->Name.compare(n, Qt::CaseInsensitive) < 0;
        });
        auto key = std::make_unique<TRegKey>();
        key->Name = name;
        return Keys.insert(it, std::move(key))->get();
    }
    TRegValue* Value(const QString& name)
    {
        for (auto& value : Values)
            if (value.Name.compare(name, Qt::CaseInsensitive) == 0) return &value;
        return nullptr;
    }
};

namespace {
QString& fileNameOverride()
{
    static QString name;
    return name;
}

TRegistryWarningHook& warningHook()
{
    static TRegistryWarningHook hook;
    return hook;
}

void Warn(const QString& message)
{
    if (warningHook())
        warningHook()(message);
    else
        qWarning().noquote() << message;
}

QStringList SplitPath(const QString& path) { return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts); }

const char* TypeName(TRegDataType type)
{
    switch (type) {
    case rdString: return "string";
    case rdExpandString: return "expandString";
    case rdInteger: return "integer";
    case rdBinary: return "binary";
    case rdMultiString: return "multiString";
    case rdUnknown: break;
    }
    return "unknown";
}

TRegDataType TypeFromName(const QString& name)
{
    for (TRegDataType type : {rdString, rdExpandString, rdInteger, rdBinary, rdMultiString})
        if (name == QLatin1String(TypeName(type))) return type;
    return rdUnknown;
}

QJsonObject KeyToJson(const TRegKey& key)
{
    QJsonArray values;
    for (const TRegValue& value : key.Values) {
        QJsonObject v;
        v[QStringLiteral("name")] = value.Name;
        v[QStringLiteral("type")] = QLatin1String(TypeName(value.Type));
        switch (value.Type) {
        case rdInteger: v[QStringLiteral("data")] = value.Data.toInt(); break;
        case rdBinary: v[QStringLiteral("data")] = QString::fromLatin1(value.Data.toByteArray().toBase64()); break;
        case rdMultiString: v[QStringLiteral("data")] = QJsonArray::fromStringList(value.Data.toStringList()); break;
        default: v[QStringLiteral("data")] = value.Data.toString(); break;
        }
        values.append(v);
    }
    QJsonArray keys;
    for (const auto& child : key.Keys) {
        QJsonObject k = KeyToJson(*child);
        k[QStringLiteral("name")] = child->Name;
        keys.append(k);
    }
    QJsonObject result;
    result[QStringLiteral("values")] = values;
    result[QStringLiteral("keys")] = keys;
    return result;
}

[[noreturn]] void Corrupt(const QString& what) { throw ERegistryException(what); }

// Strict: anything unexpected makes the whole file unusable rather than half-read.
void KeyFromJson(const QJsonObject& json, TRegKey& key, int depth)
{
    if (depth > 512) Corrupt(QStringLiteral("keys nested too deeply"));
    for (const QJsonValue& item : json.value(QStringLiteral("values")).toArray()) {
        const QJsonObject v = item.toObject();
        const QJsonValue name = v.value(QStringLiteral("name"));
        const QJsonValue data = v.value(QStringLiteral("data"));
        TRegValue value;
        if (!name.isString()) Corrupt(QStringLiteral("a value without a name"));
        value.Name = name.toString();
        value.Type = TypeFromName(v.value(QStringLiteral("type")).toString());
        switch (value.Type) {
        case rdString:
        case rdExpandString:
            if (!data.isString()) Corrupt(QStringLiteral("value \"%1\" is not text").arg(value.Name));
            value.Data = data.toString();
            break;
        case rdInteger: {
            const double d = data.toDouble(0.5);
            if (!data.isDouble() || d != static_cast<double>(static_cast<int64_t>(d)) || d < INT32_MIN || d > INT32_MAX)
                Corrupt(QStringLiteral("value \"%1\" is not a 32-bit integer").arg(value.Name));
            value.Data = QVariant::fromValue(static_cast<int32_t>(d));
            break;
        }
        case rdBinary: {
            const auto decoded = QByteArray::fromBase64Encoding(data.toString().toLatin1(),
                                                                 QByteArray::AbortOnBase64DecodingErrors);
            if (!data.isString() || !decoded) Corrupt(QStringLiteral("value \"%1\" is not base64").arg(value.Name));
            value.Data = *decoded;
            break;
        }
        case rdMultiString: {
            QStringList strings;
            if (!data.isArray()) Corrupt(QStringLiteral("value \"%1\" is not a list").arg(value.Name));
            for (const QJsonValue& s : data.toArray()) {
                if (!s.isString()) Corrupt(QStringLiteral("value \"%1\" is not a list of text").arg(value.Name));
                strings.append(s.toString());
            }
            value.Data = strings;
            break;
        }
        case rdUnknown: Corrupt(QStringLiteral("value \"%1\" has an unknown type").arg(value.Name));
        }
        if (TRegValue* existing = key.Value(value.Name))
            *existing = std::move(value);
        else
            key.Values.push_back(std::move(value));
    }
    for (const QJsonValue& item : json.value(QStringLiteral("keys")).toArray()) {
        const QJsonObject k = item.toObject();
        const QString name = k.value(QStringLiteral("name")).toString();
        if (name.isEmpty() || name.contains(QLatin1Char('\\'))) Corrupt(QStringLiteral("a key with an invalid name"));
        TRegKey* child = key.Child(name);
        KeyFromJson(k, child ? *child : *key.AddChild(name), depth + 1);
    }
}

int StringSize(const QString& s) { return static_cast<int>((s.size() + 1) * 2); }
} // namespace

TRegistryStore::TRegistryStore() : FRoot(std::make_unique<TRegKey>()) {}

TRegistryStore::TRegistryStore(const QString& fileName) : FFileName(fileName), FRoot(std::make_unique<TRegKey>())
{
    Load();
}

TRegistryStore::~TRegistryStore() = default;

std::shared_ptr<TRegistryStore> TRegistryStore::OpenCurrentUser()
{
    return std::make_shared<TRegistryStore>(RegistryFileName());
}

void TRegistryStore::Load()
{
    FRoot = std::make_unique<TRegKey>();
    FDirty = false;
    if (FFileName.isEmpty() || !QFileInfo::exists(FFileName)) return;
    QFile file(FFileName);
    if (!file.open(QIODevice::ReadOnly)) {
        Warn(QStringLiteral("The settings file \"%1\" cannot be read (%2); default settings are used.")
                 .arg(QDir::toNativeSeparators(FFileName), file.errorString()));
        return;
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    try {
        if (error.error != QJsonParseError::NoError) Corrupt(error.errorString());
        if (!doc.isObject() || !doc.object().value(QStringLiteral("root")).isObject())
            Corrupt(QStringLiteral("no root key"));
        KeyFromJson(doc.object().value(QStringLiteral("root")).toObject(), *FRoot, 0);
    } catch (const ERegistryException& e) {
        FRoot = std::make_unique<TRegKey>();
        Warn(QStringLiteral("The settings file \"%1\" is damaged (%2); default settings are used.")
                 .arg(QDir::toNativeSeparators(FFileName), e.Message()));
    }
}

void TRegistryStore::Reload()
{
    Load();
}

void TRegistryStore::Flush()
{
    FDirty = false;
    if (FFileName.isEmpty()) return;
    QJsonObject top;
    top[QStringLiteral("version")] = 1;
    top[QStringLiteral("root")] = KeyToJson(*FRoot);
    QDir().mkpath(QFileInfo(FFileName).absolutePath());
    QSaveFile file(FFileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(top).toJson()) < 0 || !file.commit())
        throw ERegistryException(QStringLiteral("Failed to write the settings file \"%1\": %2")
                                     .arg(QDir::toNativeSeparators(FFileName), file.errorString()));
}

void TRegistryStore::BeginUpdate() { ++FUpdateCount; }

void TRegistryStore::EndUpdate()
{
    ATELIER_ASSERT(FUpdateCount > 0);
    if (--FUpdateCount == 0 && FDirty) Flush();
}

void TRegistryStore::Changed()
{
    FDirty = true;
    if (FUpdateCount == 0) Flush();
}

TRegKey* TRegistryStore::FindKey(const QString& path) const
{
    TRegKey* key = FRoot.get();
    for (const QString& part : SplitPath(path)) {
        key = key->Child(part);
        if (!key) return nullptr;
    }
    return key;
}

TRegKey* TRegistryStore::ForceKey(const QString& path, bool* created)
{
    bool made = false;
    TRegKey* key = FRoot.get();
    for (const QString& part : SplitPath(path)) {
        TRegKey* child = key->Child(part);
        if (!child) {
            child = key->AddChild(part);
            made = true;
        }
        key = child;
    }
    if (created) *created = made;
    return key;
}

bool TRegistryStore::KeyExists(const QString& path) const { return FindKey(path) != nullptr; }

bool TRegistryStore::CreateKey(const QString& path)
{
    bool created = false;
    ForceKey(path, &created);
    if (created) Changed();
    return created;
}

bool TRegistryStore::DeleteKey(const QString& path)
{
    QStringList parts = SplitPath(path);
    TRegKey* key = FindKey(path);
    if (!key) return false;
    if (parts.isEmpty()) {
        FRoot = std::make_unique<TRegKey>();
    } else {
        TRegKey* parent = FindKey(QStringList(parts.mid(0, parts.size() - 1)).join(QLatin1Char('\\')));
        std::erase_if(parent->Keys, [key](const auto& k) { return k.get() == key; });
    }
    Changed();
    return true;
}

QStringList TRegistryStore::GetKeyNames(const QString& path) const
{
    QStringList names;
    if (const TRegKey* key = FindKey(path))
        for (const auto& child : key->Keys) names.append(child->Name);
    return names;
}

QStringList TRegistryStore::GetValueNames(const QString& path) const
{
    QStringList names;
    if (const TRegKey* key = FindKey(path))
        for (const TRegValue& value : key->Values) names.append(value.Name);
    return names;
}

bool TRegistryStore::ValueExists(const QString& path, const QString& name) const
{
    return GetDataType(path, name) != rdUnknown;
}

TRegDataType TRegistryStore::GetDataType(const QString& path, const QString& name) const
{
    TRegKey* key = FindKey(path);
    const TRegValue* value = key ? key->Value(name) : nullptr;
    return value ? value->Type : rdUnknown;
}

int TRegistryStore::GetDataSize(const QString& path, const QString& name) const
{
    TRegKey* key = FindKey(path);
    const TRegValue* value = key ? key->Value(name) : nullptr;
    if (!value) return -1;
    switch (value->Type) {
    case rdString:
    case rdExpandString: return StringSize(value->Data.toString());
    case rdInteger: return 4;
    case rdBinary: return static_cast<int>(value->Data.toByteArray().size());
    case rdMultiString: {
        int size = 2;
        for (const QString& s : value->Data.toStringList()) size += StringSize(s);
        return size;
    }
    case rdUnknown: break;
    }
    return -1;
}

bool TRegistryStore::DeleteValue(const QString& path, const QString& name)
{
    TRegKey* key = FindKey(path);
    if (!key) return false;
    const auto removed = std::erase_if(key->Values, [&](const TRegValue& v) {
        return v.Name.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (removed) Changed();
    return removed > 0;
}

namespace {
const QVariant& ReadValue(TRegKey* key, const QString& path, const QString& name, std::initializer_list<TRegDataType> types)
{
    TRegValue* value = key ? key->Value(name) : nullptr;
    if (!value) throw ERegistryException(QStringLiteral("Value \"%1\" not found in key \"%2\"").arg(name, path));
    if (std::find(types.begin(), types.end(), value->Type) == types.end())
        throw ERegistryException(QStringLiteral("Invalid data type for '%1'").arg(name));
    return value->Data;
}
} // namespace

QString TRegistryStore::ReadString(const QString& path, const QString& name) const
{
    return ReadValue(FindKey(path), path, name, {rdString, rdExpandString}).toString();
}

int32_t TRegistryStore::ReadInteger(const QString& path, const QString& name) const
{
    return ReadValue(FindKey(path), path, name, {rdInteger}).value<int32_t>();
}

QByteArray TRegistryStore::ReadBinaryData(const QString& path, const QString& name) const
{
    return ReadValue(FindKey(path), path, name, {rdBinary}).toByteArray();
}

QStringList TRegistryStore::ReadMultiString(const QString& path, const QString& name) const
{
    return ReadValue(FindKey(path), path, name, {rdMultiString}).toStringList();
}

namespace {
void Put(TRegKey* key, const QString& name, TRegDataType type, QVariant data)
{
    if (TRegValue* value = key->Value(name)) {
        value->Type = type; // the first spelling of the name is kept, as the platform does
        value->Data = std::move(data);
    } else {
        key->Values.push_back({name, type, std::move(data)});
    }
}
} // namespace

void TRegistryStore::WriteString(const QString& path, const QString& name, const QString& value)
{
    Put(ForceKey(path), name, rdString, value);
    Changed();
}

void TRegistryStore::WriteExpandString(const QString& path, const QString& name, const QString& value)
{
    Put(ForceKey(path), name, rdExpandString, value);
    Changed();
}

void TRegistryStore::WriteInteger(const QString& path, const QString& name, int32_t value)
{
    Put(ForceKey(path), name, rdInteger, QVariant::fromValue(value));
    Changed();
}

void TRegistryStore::WriteBinaryData(const QString& path, const QString& name, const QByteArray& value)
{
    Put(ForceKey(path), name, rdBinary, value);
    Changed();
}

void TRegistryStore::WriteMultiString(const QString& path, const QString& name, const QStringList& value)
{
    Put(ForceKey(path), name, rdMultiString, value);
    Changed();
}

QString RegistryFileName()
{
    if (!fileNameOverride().isEmpty()) return fileNameOverride();
    const QString env = qEnvironmentVariable("ATELIER_REGISTRY_FILE");
    if (!env.isEmpty()) return env;
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/registry.json");
}

QString SetRegistryFileName(const QString& fileName)
{
    return std::exchange(fileNameOverride(), fileName);
}

TRegistryWarningHook SetRegistryWarningHook(TRegistryWarningHook hook)
{
    return std::exchange(warningHook(), std::move(hook));
}
