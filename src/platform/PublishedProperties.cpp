#include "PublishedProperties.h"

#include "Exceptions.h"
#include "Graphics.h"
#include "ShortCuts.h"
#include "SysUtils.h"

#include <QHash>
#include <QMetaEnum>
#include <QMetaObject>
#include <QObject>
#include <algorithm>
#include <bit>
#include <cstring>
#include <deque>
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

// ---------------------------------------------------------------------------------------------------
// Type information

TTypeKinds AllTypeKinds()
{
    TTypeKinds kinds;
    for (int k = tkUnknown; k <= tkProcedure; ++k) kinds.Include(TTypeKind(k));
    return kinds;
}

namespace {
struct TTypeRegistry {
    std::deque<std::unique_ptr<TTypeInfo>> Storage;
    QHash<int, PTypeInfo> ByMetaType;
    QHash<const QMetaObject*, PTypeInfo> ByMetaObject;
    QHash<QByteArray, PTypeInfo> ByEnumName;
    std::deque<TPropInfo> PropStorage;
    QHash<const QMetaObject*, std::vector<PPropInfo>*> Props;
    std::deque<std::vector<PPropInfo>> PropLists;

    PTypeInfo Keep(std::unique_ptr<TTypeInfo> info)
    {
        Storage.push_back(std::move(info));
        return Storage.back().get();
    }
};

TTypeRegistry& registry()
{
    static TTypeRegistry r;
    return r;
}

// Enumerations and flags are stored in 1 to 8 bytes; read and write them as raw integers.
int64_t RawToOrd(const QVariant& v, bool isSigned)
{
    const int size = v.metaType().sizeOf();
    const void* data = v.constData();
    switch (size) {
    case 1: { uint8_t x; std::memcpy(&x, data, 1); return isSigned ? int64_t(int8_t(x)) : int64_t(x); }
    case 2: { uint16_t x; std::memcpy(&x, data, 2); return isSigned ? int64_t(int16_t(x)) : int64_t(x); }
    case 4: { uint32_t x; std::memcpy(&x, data, 4); return isSigned ? int64_t(int32_t(x)) : int64_t(x); }
    case 8: { int64_t x; std::memcpy(&x, data, 8); return x; }
    default: return 0;
    }
}

QVariant OrdToRaw(QMetaType type, int64_t value)
{
    unsigned char buffer[8] = {};
    const int size = type.sizeOf();
    // Little and big endian alike: copy the low bytes of the value.
    for (int i = 0; i < size && i < 8; ++i) buffer[i] = static_cast<unsigned char>((uint64_t(value) >> (8 * i)) & 0xFF);
#if Q_BYTE_ORDER == Q_BIG_ENDIAN
    std::reverse(buffer, buffer + size);
#endif
    return QVariant(type, buffer);
}

std::unique_ptr<TTypeInfo> NewType(TTypeKind kind, const char* name, QMetaType type)
{
    auto info = std::make_unique<TTypeInfo>();
    info->Kind = kind;
    info->Name = QString::fromLatin1(name);
    info->MetaType = type;
    return info;
}

template <class T>
std::unique_ptr<TTypeInfo> OrdinalType(TTypeKind kind, const char* name, TOrdType ordType, int64_t minValue, int64_t maxValue)
{
    auto info = NewType(kind, name, QMetaType::fromType<T>());
    info->Data.OrdType = ordType;
    info->Data.MinValue = minValue;
    info->Data.MaxValue = maxValue;
    info->ToOrd = [](const QVariant& v) -> int64_t {
        if constexpr (std::is_integral_v<T>) return int64_t(v.value<T>());
        else return int64_t(v.value<T>().Value);
    };
    info->FromOrd = [](int64_t x) {
        if constexpr (std::is_integral_v<T>) return QVariant::fromValue(static_cast<T>(x));
        else return QVariant::fromValue(T(static_cast<decltype(T().Value)>(x)));
    };
    return info;
}

template <class T>
std::unique_ptr<TTypeInfo> FloatType(const char* name, TFloatType floatType)
{
    auto info = NewType(tkFloat, name, QMetaType::fromType<T>());
    info->Data.FloatType = floatType;
    info->ToFloat = [](const QVariant& v) -> double { return double(v.value<T>()); };
    info->FromFloat = [](double x) { return QVariant::fromValue(T(x)); };
    return info;
}

template <class T>
std::unique_ptr<TTypeInfo> StringType(TTypeKind kind, const char* name)
{
    auto info = NewType(kind, name, QMetaType::fromType<T>());
    info->ToStr = [](const QVariant& v) -> QString {
        if constexpr (std::is_same_v<T, QString>) return v.toString();
        else if constexpr (std::is_same_v<T, QByteArray>) return QString::fromLatin1(v.toByteArray());
        else return v.value<T>().Value;
    };
    info->FromStr = [](const QString& s) {
        if constexpr (std::is_same_v<T, QString>) return QVariant(s);
        else if constexpr (std::is_same_v<T, QByteArray>) return QVariant(s.toLatin1());
        else return QVariant::fromValue(T(s));
    };
    return info;
}

std::unique_ptr<TTypeInfo> BuiltInType(QMetaType type)
{
    constexpr int64_t i32min = std::numeric_limits<int32_t>::min(), i32max = std::numeric_limits<int32_t>::max();
    constexpr int64_t i64min = std::numeric_limits<int64_t>::min(), i64max = std::numeric_limits<int64_t>::max();
    switch (type.id()) {
    case QMetaType::Bool: {
        auto info = OrdinalType<bool>(tkEnumeration, "Boolean", otUByte, 0, 1);
        info->Data.Names = {QStringLiteral("False"), QStringLiteral("True")};
        return info;
    }
    case QMetaType::Int: return OrdinalType<int>(tkInteger, "Integer", otSLong, i32min, i32max);
    case QMetaType::UInt: return OrdinalType<uint>(tkInteger, "Cardinal", otULong, 0, 0xFFFFFFFFll);
    case QMetaType::Short: return OrdinalType<short>(tkInteger, "SmallInt", otSWord, -32768, 32767);
    case QMetaType::UShort: return OrdinalType<ushort>(tkInteger, "Word", otUWord, 0, 65535);
    case QMetaType::SChar: return OrdinalType<signed char>(tkInteger, "ShortInt", otSByte, -128, 127);
    case QMetaType::UChar: return OrdinalType<uchar>(tkInteger, "Byte", otUByte, 0, 255);
    case QMetaType::Char: return OrdinalType<char>(tkChar, "AnsiChar", otUByte, 0, 255);
    case QMetaType::Long: return OrdinalType<long>(tkInt64, "Int64", otSLong, i64min, i64max);
    case QMetaType::LongLong: return OrdinalType<qlonglong>(tkInt64, "Int64", otSLong, i64min, i64max);
    case QMetaType::ULong: return OrdinalType<ulong>(tkInt64, "UInt64", otULong, 0, i64max);
    case QMetaType::ULongLong: return OrdinalType<qulonglong>(tkInt64, "UInt64", otULong, 0, i64max);
    case QMetaType::QChar: {
        auto info = NewType(tkWChar, "Char", type);
        info->Data.OrdType = otUWord;
        info->Data.MaxValue = 0xFFFF;
        info->ToOrd = [](const QVariant& v) -> int64_t { return v.value<QChar>().unicode(); };
        info->FromOrd = [](int64_t x) { return QVariant::fromValue(QChar(char16_t(x))); };
        return info;
    }
    case QMetaType::Float: return FloatType<float>("Single", ftSingle);
    case QMetaType::Double: return FloatType<double>("Double", ftDouble);
    case QMetaType::QString: return StringType<QString>(tkUString, "string");
    case QMetaType::QByteArray: return StringType<QByteArray>(tkLString, "AnsiString");
    case QMetaType::QVariant: return NewType(tkVariant, "Variant", type);
    default: break;
    }
    if (type == QMetaType::fromType<TColor>()) return OrdinalType<TColor>(tkInteger, "TColor", otSLong, i32min, i32max);
    if (type == QMetaType::fromType<TCursorValue>()) return OrdinalType<TCursorValue>(tkInteger, "TCursor", otSWord, -32768, 32767);
    if (type == QMetaType::fromType<TFontCharset>()) return OrdinalType<TFontCharset>(tkInteger, "TFontCharset", otUByte, 0, 255);
    if (type == QMetaType::fromType<TModalResult>()) return OrdinalType<TModalResult>(tkInteger, "TModalResult", otSLong, i32min, i32max);
    if (type == QMetaType::fromType<TShortCut>()) return OrdinalType<TShortCut>(tkInteger, "TShortCut", otUWord, 0, 65535);
    if (type == QMetaType::fromType<TLanguageID>()) return OrdinalType<TLanguageID>(tkInteger, "TLanguageID", otUWord, 0, 65535);
    if (type == QMetaType::fromType<TDateTime>()) return FloatType<TDateTime>("TDateTime", ftDouble);
    if (type == QMetaType::fromType<TDate>()) return FloatType<TDate>("TDate", ftDouble);
    if (type == QMetaType::fromType<TTime>()) return FloatType<TTime>("TTime", ftDouble);
    if (type == QMetaType::fromType<TFontName>()) return StringType<TFontName>(tkUString, "TFontName");
    if (type == QMetaType::fromType<TCaption>()) return StringType<TCaption>(tkUString, "TCaption");
    if (type == QMetaType::fromType<TMethod>()) return NewType(tkMethod, "TMethod", type);
    return nullptr;
}

QString TypeNameWithoutScope(const char* name)
{
    QString s = QString::fromLatin1(name);
    const int scope = s.lastIndexOf(QLatin1String("::"));
    return scope < 0 ? s : s.mid(scope + 2);
}

// The enumeration (or flag) of a meta-type, found in the meta-object that declares it. A flag type is
// named "QFlags<Scope::Value>" after its enumeration of single values.
bool FindMetaEnum(QMetaType type, QMetaEnum& result)
{
    const QMetaObject* scope = type.metaObject();
    if (!scope) return false;
    QString name = QString::fromLatin1(type.name());
    if (name.startsWith(QLatin1String("QFlags<")) && name.endsWith(QLatin1Char('>'))) name = name.mid(7).chopped(1);
    name = TypeNameWithoutScope(name.toLatin1().constData());
    for (int i = 0; i < scope->enumeratorCount(); ++i) {
        const QMetaEnum e = scope->enumerator(i);
        if (QLatin1String(e.name()) == name || QLatin1String(e.enumName()) == name) {
            result = e;
            return true;
        }
    }
    return false;
}

PTypeInfo EnumType(const QMetaEnum& e, QMetaType type)
{
    auto info = NewType(tkEnumeration, e.name(), type);
    int64_t minValue = 0, maxValue = -1;
    for (int i = 0; i < e.keyCount(); ++i) {
        const int64_t v = e.value(i);
        if (i == 0 || v < minValue) minValue = v;
        if (i == 0 || v > maxValue) maxValue = v;
    }
    if (minValue > 0) minValue = 0;
    info->Data.MinValue = minValue;
    info->Data.MaxValue = maxValue;
    info->Data.OrdType = maxValue <= 255 && minValue >= 0 ? otUByte : otSLong;
    const int64_t count = std::min<int64_t>(maxValue - minValue + 1, 4096);
    info->Data.Names.resize(int(std::max<int64_t>(count, 0)));
    for (int i = e.keyCount() - 1; i >= 0; --i) // the first key of a value names it
        if (e.value(i) - minValue < count) info->Data.Names[int(e.value(i) - minValue)] = QString::fromLatin1(e.key(i));
    if (type.isValid()) {
        info->ToOrd = [](const QVariant& v) { return RawToOrd(v, true); };
        info->FromOrd = [type](int64_t x) { return OrdToRaw(type, x); };
    }
    TTypeInfo* raw = info.get();
    raw->Data.BaseType = raw;
    return registry().Keep(std::move(info));
}

PTypeInfo SetType(const QMetaEnum& e, QMetaType type)
{
    // The element type: ordinal i is bit i; bits without a key have no name.
    auto element = NewType(tkEnumeration, e.enumName(), QMetaType());
    int maxBit = -1;
    QStringList names(32);
    for (int i = e.keyCount() - 1; i >= 0; --i) {
        const uint32_t v = uint32_t(e.value(i));
        if (v == 0 || (v & (v - 1)) != 0) continue; // combinations and the empty value are no elements
        const int bit = std::countr_zero(v);
        names[bit] = QString::fromLatin1(e.key(i));
        maxBit = std::max(maxBit, bit);
    }
    names.resize(maxBit + 1);
    element->Data.Names = names;
    element->Data.MaxValue = maxBit;
    element->Data.OrdType = otUByte;
    TTypeInfo* rawElement = element.get();
    rawElement->Data.BaseType = rawElement;
    PTypeInfo comp = registry().Keep(std::move(element));

    auto info = NewType(tkSet, e.name(), type);
    info->Data.OrdType = otULong;
    info->Data.CompType = comp;
    info->Data.MaxValue = 0xFFFFFFFFll;
    info->ToOrd = [](const QVariant& v) { return RawToOrd(v, false) & 0xFFFFFFFFll; };
    info->FromOrd = [type](int64_t x) { return OrdToRaw(type, x); };
    return registry().Keep(std::move(info));
}

PTypeInfo QObjectClassType(const QMetaObject* mo)
{
    auto& r = registry();
    if (auto it = r.ByMetaObject.constFind(mo); it != r.ByMetaObject.constEnd()) return it.value();
    auto info = std::make_unique<TTypeInfo>();
    info->Kind = tkClass;
    info->Name = TypeNameWithoutScope(mo->className());
    info->Data.ParentInfo = mo->superClass() ? QObjectClassType(mo->superClass()) : nullptr;
    info->Data.ClassMeta = mo;
    info->ToObject = [](const QVariant& v) -> void* { return v.value<QObject*>(); };
    info->FromObject = [mo](void* p) -> QVariant {
        // QObject is the first base of every QObject class, so the address serves as either pointer.
        QObject* object = static_cast<QObject*>(p);
        const QMetaType pointerType = QMetaType::fromName(QByteArray(QByteArray(mo->className()) + '*'));
        if (pointerType.isValid()) return QVariant(pointerType, &object);
        return QVariant::fromValue(object);
    };
    info->UpCast = [](void* p, PTypeInfo target) -> void* {
        QObject* object = static_cast<QObject*>(p);
        return target && target->Data.ClassMeta && object && object->metaObject()->inherits(target->Data.ClassMeta) ? p : nullptr;
    };
    info->DynamicType = [](void* p) -> PTypeInfo { return p ? ClassTypeInfo(static_cast<QObject*>(p)->metaObject()) : nullptr; };
    PTypeInfo result = r.Keep(std::move(info));
    r.ByMetaObject.insert(mo, result);
    const_cast<TTypeInfo*>(result)->Data.PropCount = int(PropInfosOf(mo).size());
    return result;
}
} // namespace

PTypeInfo PublishedDetail::InternClassType(QMetaType pointerType, std::unique_ptr<TTypeInfo> info)
{
    auto& r = registry();
    PTypeInfo unknown = nullptr;
    if (auto it = r.ByMetaType.constFind(pointerType.id()); it != r.ByMetaType.constEnd()) {
        if (it.value()->Kind != tkUnknown) return it.value();
        unknown = it.value();
    }
    PTypeInfo result = r.Keep(std::move(info));
    r.ByMetaType.insert(pointerType.id(), result);
    // A class asked for before its registration was taken as unknown; properties of it learn the class.
    if (unknown)
        for (TPropInfo& p : r.PropStorage)
            if (p.PropType == unknown) p.PropType = result;
    return result;
}

void* PublishedDetail::UpCastObject(const TObjectRef& object, PTypeInfo target)
{
    if (!object.Pointer || !object.Type || !target) return nullptr;
    if (object.Type == target) return object.Pointer;
    return object.Type->UpCast ? object.Type->UpCast(object.Pointer, target) : nullptr;
}

QObject* TObjectRef::AsQObject() const
{
    if (!Pointer || !Type) return nullptr;
    if (Type->Data.ClassMeta) return static_cast<QObject*>(Pointer);
    return static_cast<QObject*>(PublishedDetail::UpCastObject(*this, ClassTypeInfo(&QObject::staticMetaObject)));
}

PTypeInfo TypeInfoOf(QMetaType type)
{
    auto& r = registry();
    if (auto it = r.ByMetaType.constFind(type.id()); it != r.ByMetaType.constEnd()) return it.value();
    PTypeInfo result = nullptr;
    if (auto info = BuiltInType(type)) {
        result = r.Keep(std::move(info));
    } else if (type.flags().testFlag(QMetaType::PointerToQObject) && type.metaObject()) {
        result = QObjectClassType(type.metaObject());
    } else if (QMetaEnum e; type.flags().testFlag(QMetaType::IsEnumeration) && FindMetaEnum(type, e)) {
        result = e.isFlag() ? SetType(e, type) : EnumType(e, type);
    } else {
        result = r.Keep(NewType(tkUnknown, type.name() ? type.name() : "", type));
    }
    r.ByMetaType.insert(type.id(), result);
    return result;
}

PTypeInfo ClassTypeInfo(const QMetaObject* metaObject) { return metaObject ? QObjectClassType(metaObject) : nullptr; }

PTypeInfo EnumTypeInfo(const QMetaEnum& enumerator)
{
    auto& r = registry();
    const QByteArray key = QByteArray(enumerator.scope()) + "::" + enumerator.name();
    if (auto it = r.ByEnumName.constFind(key); it != r.ByEnumName.constEnd()) return it.value();
    const QMetaType type = QMetaType::fromName(key);
    PTypeInfo result = type.isValid() ? r.ByMetaType.value(type.id()) : nullptr;
    if (!result) {
        result = enumerator.isFlag() ? SetType(enumerator, type) : EnumType(enumerator, type);
        if (type.isValid()) r.ByMetaType.insert(type.id(), result);
    }
    r.ByEnumName.insert(key, result);
    return result;
}

namespace {
// An enumeration or set property: its type from the property's own enumerator, one type per meta-type.
PTypeInfo EnumPropertyType(const QMetaProperty& p)
{
    auto& r = registry();
    const QMetaType type = p.metaType();
    if (auto it = r.ByMetaType.constFind(type.id()); it != r.ByMetaType.constEnd() && it.value()->Kind != tkUnknown)
        return it.value();
    const QMetaEnum e = p.enumerator();
    PTypeInfo result = e.isFlag() ? SetType(e, type) : EnumType(e, type);
    r.ByMetaType.insert(type.id(), result);
    const QByteArray key = QByteArray(e.scope()) + "::" + e.name();
    if (!r.ByEnumName.contains(key)) r.ByEnumName.insert(key, result);
    return result;
}
} // namespace

const std::vector<PPropInfo>& PropInfosOf(const QMetaObject* metaObject)
{
    auto& r = registry();
    if (auto it = r.Props.constFind(metaObject); it != r.Props.constEnd()) return *it.value();
    r.PropLists.emplace_back();
    std::vector<PPropInfo>& list = r.PropLists.back();
    r.Props.insert(metaObject, &list);
    const QList<QMetaProperty> properties = PublishedProperties(metaObject);
    QHash<QString, int> byName;
    for (int i = 0; i < properties.size(); ++i) {
        const QMetaProperty& p = properties[i];
        TPropInfo info;
        info.Property = p;
        info.Name = QString::fromLatin1(p.name());
        info.PropType = p.isEnumType() ? EnumPropertyType(p) : TypeInfoOf(p.metaType());
        info.Readable = p.isReadable();
        info.Writable = p.isWritable();
        info.Stored = p.isStored();
        info.Index = p.propertyIndex();
        info.NameIndex = i;
        try {
            const QVariant def = PropertyDefault(metaObject, p);
            if (def.isValid() && info.PropType->ToOrd) info.Default = info.PropType->ToOrd(def);
        } catch (const Exception&) {
            // a default that does not read is no default
        }
        r.PropStorage.push_back(info);
        const QString folded = info.Name.toLower();
        if (auto it = byName.find(folded); it != byName.end())
            list[it.value()] = &r.PropStorage.back(); // the redeclaration of a derived class wins
        else {
            byName.insert(folded, int(list.size()));
            list.push_back(&r.PropStorage.back());
        }
    }
    std::stable_sort(list.begin(), list.end(), [](PPropInfo a, PPropInfo b) { return CompareText(a->Name, b->Name) < 0; });
    return list;
}
