#include "PublishedProperties.h"

#include "Exceptions.h"
#include "SysUtils.h"

#include <QHash>
#include <QMetaObject>
#include <QObject>
#include <limits>
#include <type_traits>

namespace {
QHash<int, TPropertyType>& propertyTypes()
{
    static QHash<int, TPropertyType> types;
    return types;
}

// Our classes never start with Q; the first Qt class up the chain ends the published range.
bool IsQtClass(const QMetaObject* mo) { return mo->className()[0] == 'Q'; }

template <typename T>
QVariant IntegerFromText(const QString& text, bool& ok)
{
    if constexpr (std::is_signed_v<T>) {
        const qlonglong value = text.toLongLong(&ok);
        ok = ok && value >= std::numeric_limits<T>::min() && value <= std::numeric_limits<T>::max();
        return QVariant::fromValue(static_cast<T>(value));
    } else {
        const qulonglong value = text.toULongLong(&ok);
        ok = ok && value <= std::numeric_limits<T>::max();
        return QVariant::fromValue(static_cast<T>(value));
    }
}

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
        int value = 0;
        if (!property.isFlagType())
            value = e.keyToValue(key.constData(), &ok);
        else if (text.trimmed().isEmpty())
            ok = true; // the empty set: its text is empty, which keysToValue rejects
        else
            value = e.keysToValue(key.constData(), &ok);
        if (!ok) throw EConvertError(QStringLiteral("'%1' is not a valid value of %2").arg(text, QString::fromLatin1(e.name())));
        return QVariant(value);
    }
    QVariant result;
    bool ok = false;
    switch (property.metaType().id()) {
    case QMetaType::Bool:
        // A misspelt flag must not silently read as false.
        ok = SameText(text, QStringLiteral("true")) || SameText(text, QStringLiteral("false"));
        result = QVariant(SameText(text, QStringLiteral("true")));
        break;
    // Qt's own conversion narrows out-of-range numbers silently (2147483648 reads as -2147483648).
    case QMetaType::Short: result = IntegerFromText<short>(text, ok); break;
    case QMetaType::UShort: result = IntegerFromText<unsigned short>(text, ok); break;
    case QMetaType::Int: result = IntegerFromText<int>(text, ok); break;
    case QMetaType::UInt: result = IntegerFromText<unsigned int>(text, ok); break;
    case QMetaType::Long: result = IntegerFromText<long>(text, ok); break;
    case QMetaType::ULong: result = IntegerFromText<unsigned long>(text, ok); break;
    case QMetaType::LongLong: result = IntegerFromText<qlonglong>(text, ok); break;
    case QMetaType::ULongLong: result = IntegerFromText<qulonglong>(text, ok); break;
    default:
        result = QVariant(text);
        ok = result.convert(property.metaType());
        break;
    }
    if (!ok)
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

bool IsSmallIntegerType(QMetaType type)
{
    switch (type.id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Char: return true;
    default: return false;
    }
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
    RegisterPropertyType(QMetaType::fromType<TDateTime>(),
                         {QStringLiteral("TDateTime"),
                          [](const QVariant& v) { return QString::number(v.value<TDateTime>().Value, 'g', 17); },
                          [](const QString& text) {
                              bool ok = false;
                              const double value = text.trimmed().toDouble(&ok);
                              if (!ok) throw EConvertError(QStringLiteral("'%1' is not a valid date and time").arg(text));
                              return QVariant::fromValue(TDateTime(value));
                          }});
}
