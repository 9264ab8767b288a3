#include "regconfg.h"

#include "StringList.h"
#include "SysUtils.h"
#include "UpdateGuard.h"

#include <QMetaEnum>
#include <QMetaProperty>
#include <QtEndian>
#include <algorithm>
#include <cstring>

// ---- TFixedRegIniFile ----

TFixedRegIniFile::TFixedRegIniFile(std::shared_ptr<TRegistryStore> store, const QString& path)
    : FStore(std::move(store)), FCurrentPath(path)
{
    ATELIER_ASSERT(FStore);
    FStore->CreateKey(FCurrentPath);
}

QString TFixedRegIniFile::KeyPath(const QString& section) const
{
    if (section.startsWith(QLatin1Char('\\'))) return section;
    return FCurrentPath + QLatin1Char('\\') + section;
}

int TFixedRegIniFile::GetDataSize(const QString& section, const QString& name) const
{
    return FStore->GetDataSize(KeyPath(section), name);
}

double TFixedRegIniFile::ReadFloat(const QString& section, const QString& name, double defaultValue) const
{
    const QString path = KeyPath(section);
    if (!FStore->ValueExists(path, name)) return defaultValue;
    const QByteArray data = FStore->ReadBinaryData(path, name);
    if (data.size() != 8) throw ERegistryException(QStringLiteral("Invalid data type for '%1'").arg(name));
    const quint64 bits = qFromLittleEndian<quint64>(data.constData());
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

TDateTime TFixedRegIniFile::ReadDateTime(const QString& section, const QString& name) const
{
    return ReadFloat(section, name, 0);
}

void TFixedRegIniFile::WriteFloat(const QString& section, const QString& name, double value)
{
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    QByteArray data(8, '\0');
    qToLittleEndian(bits, data.data());
    FStore->WriteBinaryData(KeyPath(section), name, data);
}

void TFixedRegIniFile::WriteDateTime(const QString& section, const QString& name, TDateTime value)
{
    WriteFloat(section, name, value.Value);
}

void TFixedRegIniFile::WriteBinaryData(const QString& section, const QString& name, const QByteArray& data)
{
    FStore->WriteBinaryData(KeyPath(section), name, data);
}

QByteArray TFixedRegIniFile::ReadBinaryData(const QString& section, const QString& name) const
{
    const QString path = KeyPath(section);
    if (!FStore->ValueExists(path, name)) return {};
    return FStore->ReadBinaryData(path, name);
}

QStringList TFixedRegIniFile::ReadSectionNames(const QString& section) const
{
    return FStore->GetKeyNames(KeyPath(section));
}

void TFixedRegIniFile::WriteStrings(const QString& section, const QString& name, const QString& value)
{
    QStringList strings;
    const QStringList lines = value.split(QLatin1Char('\r'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (i > 0 && line.startsWith(QLatin1Char('\n'))) line.remove(0, 1);
        if (!line.isEmpty()) strings.append(line);
    }
    FStore->WriteMultiString(KeyPath(section), name, strings);
}

QString TFixedRegIniFile::ReadStrings(const QString& section, const QString& name, const QString& defaultValue) const
{
    const QString path = KeyPath(section);
    if (FStore->GetDataType(path, name) == rdMultiString)
        return FStore->ReadMultiString(path, name).join(QLatin1Char('\r'));
    return ReadString(section, name, defaultValue);
}

int64_t TFixedRegIniFile::ReadInteger(const QString& section, const QString& name, int64_t defaultValue) const
{
    const QString path = KeyPath(section);
    switch (FStore->GetDataType(path, name)) {
    case rdInteger: return FStore->ReadInteger(path, name);
    case rdString:
    case rdExpandString: {
        bool ok = false;
        const qlonglong value = FStore->ReadString(path, name).trimmed().toLongLong(&ok);
        return ok ? value : defaultValue;
    }
    default: return defaultValue;
    }
}

void TFixedRegIniFile::WriteInteger(const QString& section, const QString& name, int64_t value)
{
    WriteString(section, name, QString::number(value));
}

QString TFixedRegIniFile::ReadString(const QString& section, const QString& name, const QString& defaultValue) const
{
    const QString path = KeyPath(section);
    switch (FStore->GetDataType(path, name)) {
    case rdUnknown: return defaultValue;
    case rdInteger: return QString::number(FStore->ReadInteger(path, name));
    default: return FStore->ReadString(path, name);
    }
}

void TFixedRegIniFile::WriteString(const QString& section, const QString& name, const QString& value)
{
    FStore->WriteString(KeyPath(section), name, value);
}

void TFixedRegIniFile::CreateKey(const QString& section) { FStore->CreateKey(KeyPath(section)); }

bool TFixedRegIniFile::KeyExists(const QString& section) const { return FStore->KeyExists(KeyPath(section)); }

void TFixedRegIniFile::EraseSection(const QString& section) { FStore->DeleteKey(KeyPath(section)); }

QStringList TFixedRegIniFile::ReadSectionValues(const QString& section) const
{
    QStringList lines;
    for (const QString& name : FStore->GetValueNames(KeyPath(section)))
        lines.append(name + QLatin1Char('=') + ReadStrings(section, name, QString()));
    return lines;
}

// ---- TConfigurationSectionList ----

TConfigurationSectionList::~TConfigurationSectionList() { Clear(); }

void TConfigurationSectionList::Add(TConfigurationSection* section) { FSections.push_back(section); }

void TConfigurationSectionList::Remove(TConfigurationSection* section) { delete Extract(section); }

TConfigurationSection* TConfigurationSectionList::Extract(TConfigurationSection* section)
{
    auto it = std::find(FSections.begin(), FSections.end(), section);
    if (it == FSections.end()) return nullptr;
    FSections.erase(it);
    return section;
}

void TConfigurationSectionList::Clear()
{
    // A section leaves this list as it dies, so take each out first.
    while (!FSections.empty()) {
        TConfigurationSection* section = FSections.back();
        FSections.pop_back();
        delete section;
    }
}

// ---- property helpers ----

namespace {
enum TStoredKind { skNone, skOrdinal, skChar, skFloat, skDateTime, skString, skInt64, skStrings, skObject };

TStoredKind KindOf(const QMetaProperty& property)
{
    const QMetaType type = property.metaType();
    if (type == QMetaType::fromType<TDateTime>()) return skDateTime;
    if (property.isEnumType()) return skOrdinal;
    if (type.flags() & QMetaType::PointerToQObject) return skObject;
    if (IsSmallIntegerType(type)) return skOrdinal;
    switch (type.id()) {
    case QMetaType::QChar: return skChar;
    case QMetaType::Double:
    case QMetaType::Float: return skFloat;
    case QMetaType::LongLong:
    case QMetaType::ULongLong: return skInt64;
    case QMetaType::QString: return skString;
    case QMetaType::QStringList: return skStrings;
    default: break;
    }
    // Value types with a registered text form (identifiers, language identifiers) are stored as text.
    return FindPropertyType(type) ? skString : skNone;
}

QList<QMetaProperty> SortedProperties(const QObject* instance)
{
    QList<QMetaProperty> properties = PublishedProperties(instance->metaObject());
    std::stable_sort(properties.begin(), properties.end(), [](const QMetaProperty& a, const QMetaProperty& b) {
        return CompareText(QString::fromLatin1(a.name()), QString::fromLatin1(b.name())) < 0;
    });
    return properties;
}

QString Int64ToBits(uint64_t value)
{
    QString bits(64, QLatin1Char('0'));
    for (int i = 0; i < 64; ++i)
        if (value & (uint64_t(1) << (63 - i))) bits[i] = QLatin1Char('1');
    return bits;
}

uint64_t BitsToInt64(const QString& bits)
{
    uint64_t value = 0;
    for (int i = 0; i < 64 && i < bits.size(); ++i)
        if (bits[i] == QLatin1Char('1')) value |= uint64_t(1) << (63 - i);
    return value;
}

// Ordinals keep their declared default when the store holds nothing.
QVariant OrdinalDefault(const QObject* instance, const QMetaProperty& property)
{
    try {
        const QVariant def = PropertyDefault(instance->metaObject(), property);
        if (def.isValid()) return def;
    } catch (const EConvertError&) {
    }
    return property.read(instance);
}

int64_t OrdinalOf(const QMetaProperty& property, const QVariant& value)
{
    if (property.metaType().id() == QMetaType::QChar) return value.value<QChar>().unicode();
    if (property.metaType().id() == QMetaType::Bool) return value.toBool() ? 1 : 0;
    if (property.isEnumType()) {
        // Enum and flag values come back as their own types; their integer is what counts.
        QVariant v = value;
        if (v.convert(QMetaType::fromType<int>())) return v.toInt();
    }
    return value.toLongLong();
}

QVariant OrdinalValue(const QMetaProperty& property, int64_t ordinal)
{
    switch (property.metaType().id()) {
    case QMetaType::Bool: return QVariant(ordinal != 0);
    case QMetaType::QChar:
        if (ordinal < 0 || ordinal > 0xFFFF) return {};
        return QVariant::fromValue(QChar(static_cast<char16_t>(ordinal)));
    default: break;
    }
    if (property.isEnumType()) {
        if (ordinal < INT32_MIN || ordinal > UINT32_MAX) return {};
        const QMetaEnum e = property.enumerator();
        // A number that names no value of a plain enumeration is damage, not a value.
        if (!e.isFlag() && !e.valueToKey(static_cast<int>(ordinal))) return {};
        return QVariant(static_cast<int>(ordinal));
    }
    try {
        return PropertyValueFromText(property, QString::number(ordinal)); // range-checked per type
    } catch (const EConvertError&) {
        return {};
    }
}

QByteArray StringsToBinary(const QStringList& lines)
{
    QString text;
    for (const QString& line : lines) text += line + QStringLiteral("\r\n");
    QByteArray data(text.size() * 2, '\0');
    for (qsizetype i = 0; i < text.size(); ++i) qToLittleEndian<quint16>(text[i].unicode(), data.data() + 2 * i);
    return data;
}

QStringList BinaryToStrings(const QByteArray& data)
{
    QString text(data.size() / 2, QChar());
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(qFromLittleEndian<quint16>(data.constData() + 2 * i));
    TStringList list;
    list.SetText(text);
    return list.Strings();
}
} // namespace

// ---- TConfigurationSection ----

TConfigurationSection::TConfigurationSection(TConfigurationSection* owner) : FOwner(owner)
{
    if (FOwner) FOwner->FSections.Add(this);
}

TConfigurationSection::~TConfigurationSection()
{
    FSections.Clear();
    if (FOwner) FOwner->FSections.Extract(this);
}

void TConfigurationSection::Save(const QString& key)
{
    if (FPurgeOnWrite) GetRegistry().EraseSection(key);
    Write(key, this);
}

void TConfigurationSection::Load(const QString& key) { Read(key, this); }

void TConfigurationSection::Write(const QString& key, QObject* instance)
{
    TFixedRegIniFile& registry = GetRegistry();
    registry.CreateKey(key);
    if (!instance) return;
    if (auto* custom = dynamic_cast<IConfigurationSection*>(instance)) {
        custom->SaveToRegistry(registry, key);
        return;
    }
    for (const QMetaProperty& property : SortedProperties(instance)) {
        if (!property.isStored()) continue;
        const QString name = QString::fromLatin1(property.name());
        const QVariant value = property.read(instance);
        switch (KindOf(property)) {
        case skOrdinal:
        case skChar: registry.WriteInteger(key, name, OrdinalOf(property, value)); break;
        case skFloat: registry.WriteFloat(key, name, value.toDouble()); break;
        case skDateTime: registry.WriteDateTime(key, name, value.value<TDateTime>()); break;
        case skString: registry.WriteString(key, name, PropertyValueToText(property, value)); break;
        case skInt64: registry.WriteString(key, name, Int64ToBits(value.toULongLong())); break;
        case skStrings:
            registry.WriteBinaryData(key, name, StringsToBinary(value.toStringList()));
            registry.CreateKey(key + name + QLatin1Char('\\'));
            break;
        case skObject: {
            QObject* object = value.value<QObject*>();
            const QString subkey = key + name + QLatin1Char('\\');
            if (auto* section = qobject_cast<TConfigurationSection*>(object)) {
                section->Save(subkey);
                break;
            }
            // A list keeps its text in a value of the parent key as well as whatever it stores below.
            if (const auto* list = dynamic_cast<const TStringList*>(object))
                registry.WriteBinaryData(key, name, StringsToBinary(list->Strings()));
            Write(subkey, object);
            break;
        }
        case skNone: break;
        }
    }
}

void TConfigurationSection::Read(const QString& key, QObject* instance)
{
    if (!instance) return;
    TFixedRegIniFile& registry = GetRegistry();
    if (auto* custom = dynamic_cast<IConfigurationSection*>(instance)) {
        custom->LoadFromRegistry(registry, key);
        return;
    }
    if (auto* section = qobject_cast<TConfigurationSection*>(instance)) section->BeforeRead();
    for (const QMetaProperty& property : SortedProperties(instance)) {
        const QString name = QString::fromLatin1(property.name());
        const TStoredKind kind = KindOf(property);
        if (kind == skObject) {
            QObject* object = property.read(instance).value<QObject*>();
            const QString subkey = key + name + QLatin1Char('\\');
            if (auto* section = qobject_cast<TConfigurationSection*>(object)) {
                section->Load(subkey);
                continue;
            }
            if (auto* list = dynamic_cast<TStringList*>(object)) {
                try {
                    if (registry.GetDataSize(key, name) > 0) {
                        const QStringList lines = BinaryToStrings(registry.ReadBinaryData(key, name));
                        list->Clear();
                        list->AddStrings(lines);
                    }
                } catch (const ERegistryException&) {
                    // A value of another type keeps the list as it is, as for any damaged value.
                }
            }
            Read(subkey, object);
            continue;
        }
        if (kind == skNone || !property.isWritable()) continue;
        // A damaged value must not stop the start-up: the property keeps what it has.
        try {
            QVariant value;
            switch (kind) {
            case skOrdinal:
            case skChar: {
                const QVariant def = OrdinalDefault(instance, property);
                value = OrdinalValue(property, registry.ReadInteger(key, name, OrdinalOf(property, def)));
                if (!value.isValid()) value = def;
                break;
            }
            case skFloat: value = registry.ReadFloat(key, name, property.read(instance).toDouble()); break;
            case skDateTime:
                value = QVariant::fromValue(TDateTime(registry.ReadFloat(key, name, property.read(instance).value<TDateTime>())));
                break;
            case skString:
                if (registry.GetDataSize(key, name) >= 0)
                    value = PropertyValueFromText(property, registry.ReadString(key, name, QString()));
                break;
            case skInt64: {
                const QVariant def = OrdinalDefault(instance, property);
                const uint64_t bits = BitsToInt64(registry.ReadString(key, name, Int64ToBits(def.toULongLong())));
                value = property.metaType().id() == QMetaType::LongLong ? QVariant(static_cast<qlonglong>(bits))
                                                                         : QVariant(static_cast<qulonglong>(bits));
                break;
            }
            case skStrings:
                if (registry.GetDataSize(key, name) > 0) value = BinaryToStrings(registry.ReadBinaryData(key, name));
                break;
            case skObject:
            case skNone: break;
            }
            if (value.isValid()) property.write(instance, value);
        } catch (const ERegistryException&) {
        } catch (const EConvertError&) {
        }
    }
}

QString TConfigurationSection::GetKey() const
{
    if (FOwner) {
        QList<QMetaProperty> properties = SortedProperties(FOwner);
        for (auto it = properties.crbegin(); it != properties.crend(); ++it)
            if (KindOf(*it) == skObject && it->isStored() && it->read(FOwner).value<QObject*>() == this)
                return FOwner->GetKey() + QString::fromLatin1(it->name()) + QLatin1Char('\\');
    }
    throw EInvalidOperation(QStringLiteral("TConfigurationSection not published by owner"));
}

void TConfigurationSection::BeforeRead() { SetDefaults(); }

void TConfigurationSection::SetDefaults() {}

void TConfigurationSection::WriteStream(const QString& key, const QString& name, TMemoryStream& stream)
{
    if (!FOwner) throw EInvalidOperation(QStringLiteral("TConfigurationSection not published by owner"));
    FOwner->WriteStream(key, name, stream);
}

void TConfigurationSection::ReadStream(const QString& key, const QString& name, TMemoryStream& stream)
{
    if (!FOwner) throw EInvalidOperation(QStringLiteral("TConfigurationSection not published by owner"));
    FOwner->ReadStream(key, name, stream);
}

TFixedRegIniFile& TConfigurationSection::GetRegistry() const
{
    if (!FOwner) throw EInvalidOperation(QStringLiteral("TConfigurationSection not published by owner"));
    return FOwner->GetRegistry();
}

void TConfigurationSection::WriteStream(const QString& name, TMemoryStream& stream) { WriteStream(GetKey(), name, stream); }

void TConfigurationSection::ReadStream(const QString& name, TMemoryStream& stream) { ReadStream(GetKey(), name, stream); }

TConfigurationSection* TConfigurationSection::SectionByName(const QString& name) const
{
    const QByteArray latin = name.toLatin1();
    const QMetaProperty property = FindPublishedProperty(metaObject(), latin.constData());
    if (!property.isValid() || KindOf(property) != skObject) return nullptr;
    return qobject_cast<TConfigurationSection*>(property.read(this).value<QObject*>());
}

// ---- TConfiguration ----

TConfiguration::TConfiguration(const QString& path, std::shared_ptr<TRegistryStore> store)
    : FRegistry(std::make_unique<TFixedRegIniFile>(store ? std::move(store) : TRegistryStore::OpenCurrentUser(), path))
{
}

TConfiguration::~TConfiguration() = default;

void TConfiguration::WriteStream(const QString& key, const QString& name, TMemoryStream& stream)
{
    FRegistry->WriteBinaryData(key, name, stream.ToByteArray());
}

void TConfiguration::ReadStream(const QString& key, const QString& name, TMemoryStream& stream)
{
    stream.Clear();
    const int size = FRegistry->GetDataSize(key, name);
    if (size < 1) return;
    const QByteArray data = FRegistry->ReadBinaryData(key, name);
    stream.SetSize(data.size());
    stream.SetPosition(0);
    stream.WriteBytes(data);
    stream.SetPosition(0);
}

void TConfiguration::SetSubPath(const QString& value)
{
    FSubPath = value;
    if (!FSubPath.isEmpty() && !FSubPath.endsWith(QLatin1Char('\\'))) FSubPath += QLatin1Char('\\');
}

void TConfiguration::WriteConfig()
{
    TUpdateGuard<TRegistryStore> batch(&FRegistry->Store());
    Save(FSubPath);
}

void TConfiguration::ReadConfig() { Load(FSubPath); }

void TConfiguration::WriteObject(const QString& key, QObject* instance)
{
    TUpdateGuard<TRegistryStore> batch(&FRegistry->Store());
    Write(key, instance);
}

void TConfiguration::ReadObject(const QString& key, QObject* instance) { Read(key, instance); }
