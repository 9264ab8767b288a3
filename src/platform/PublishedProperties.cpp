#include "PublishedProperties.h"

#include "Exceptions.h"
#include "SysUtils.h"

#include <QHash>
#include <QMetaObject>
#include <QObject>

namespace {
QHash<int, TPropertyType>& propertyTypes()
{
    static QHash<int, TPropertyType> types;
    return types;
}

// Our classes never start with Q; the first Qt class up the chain ends the published range.
bool IsQtClass(const QMetaObject* mo) { return mo->className()[0] == 'Q'; }

int PublishedOffset(const QMetaObject* metaObject)
{
    for (const QMetaObject* mo = metaObject; mo; mo = mo->superClass())
        if (IsQtClass(mo)) return mo->propertyCount();
    return 0;
}
} // namespace

void RegisterPropertyType(QMetaType type, TPropertyType descriptor)
{
    propertyTypes().insert(type.id(), std::move(descriptor));
}

const TPropertyType* FindPropertyType(QMetaType type)
{
    auto& types = propertyTypes();
    auto it = types.constFind(type.id());
    return it == types.constEnd() ? nullptr : &it.value();
}

QList<QMetaProperty> PublishedProperties(const QMetaObject* metaObject)
{
    QList<QMetaProperty> result;
    for (int i = PublishedOffset(metaObject); i < metaObject->propertyCount(); ++i)
        result.append(metaObject->property(i));
    return result;
}

QMetaProperty FindPublishedProperty(const QMetaObject* metaObject, const char* name)
{
    const int index = metaObject->indexOfProperty(name);
    if (index < PublishedOffset(metaObject)) return {};
    return metaObject->property(index);
}

QString PropertyValueToText(const QMetaProperty& property, const QVariant& value)
{
    if (const TPropertyType* type = FindPropertyType(property.metaType())) return type->ToText(value);
    if (property.isEnumType()) {
        const QMetaEnum e = property.enumerator();
        if (property.isFlagType()) return QString::fromLatin1(e.valueToKeys(value.toInt()));
        return QString::fromLatin1(e.valueToKey(value.toInt()));
    }
    return value.toString();
}

QVariant PropertyValueFromText(const QMetaProperty& property, const QString& text)
{
    if (const TPropertyType* type = FindPropertyType(property.metaType())) return type->FromText(text);
    if (property.isEnumType()) {
        const QMetaEnum e = property.enumerator();
        bool ok = false;
        const QByteArray key = text.toLatin1();
        const int value = property.isFlagType() ? e.keysToValue(key.constData(), &ok) : e.keyToValue(key.constData(), &ok);
        if (!ok) throw EConvertError(QStringLiteral("'%1' is not a valid value of %2").arg(text, QString::fromLatin1(e.name())));
        return QVariant(value);
    }
    QVariant result(text);
    if (property.metaType().id() == QMetaType::Bool) return QVariant(SameText(text, QStringLiteral("true")));
    if (!result.convert(property.metaType()))
        throw EConvertError(QStringLiteral("'%1' is not a valid value of %2").arg(text, QString::fromLatin1(property.name())));
    return result;
}

QVariant PropertyDefault(const QMetaObject* metaObject, const QMetaProperty& property)
{
    const QByteArray key = QByteArray("default:") + property.name();
    const int index = metaObject->indexOfClassInfo(key.constData());
    if (index < 0) return {};
    return PropertyValueFromText(property, QString::fromUtf8(metaObject->classInfo(index).value()));
}

bool PropertyIsDefault(const QObject* object, const QMetaProperty& property)
{
    const QVariant def = PropertyDefault(object->metaObject(), property);
    if (!def.isValid()) return false;
    return PropertyValueToText(property, property.read(object)) == PropertyValueToText(property, def);
}

void PublishedProperties_Initialize()
{
    RegisterPropertyType(QMetaType::fromType<TLanguageID>(),
                         {QStringLiteral("TLanguageID"),
                          [](const QVariant& v) { return QString::number(v.value<TLanguageID>().Value); },
                          [](const QString& text) {
                              const int32_t value = StrToInt(text);
                              if (value < 0 || value > 0xFFFF)
                                  throw EConvertError(QStringLiteral("'%1' is not a valid language identifier").arg(text));
                              return QVariant::fromValue(TLanguageID(static_cast<uint16_t>(value)));
                          }});
}
