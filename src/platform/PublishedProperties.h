// Published properties: what the object inspector, the property inspector and the settings store read
// and write. A published property is a Q_PROPERTY declared by one of our own classes (properties of Qt's
// classes are never published). Values whose meaning differs from their storage (a resource identifier,
// a language identifier, a colour) have distinct C++ types, registered here with their text forms.
// A property's default is declared beside it with Q_CLASSINFO("default:<Property>", "<text>"); a property
// whose value equals its default is not stored.
#pragma once

#include "Exceptions.h"
#include "Sets.h"

#include <QList>
#include <QMetaProperty>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QMetaObject;
class QObject;

// A published property that does not exist, cannot be written, or refuses a value ("Invalid property
// value"); a set or enumeration text naming an element the type does not have.
ATELIER_EXCEPTION_CLASS(EPropertyError, Exception)
ATELIER_EXCEPTION_CLASS(EPropertyConvertError, Exception)

// A language identifier (LANGID) as a property value; converts to and from Word.
struct TLanguageID {
    uint16_t Value = 0;
    constexpr TLanguageID() = default;
    constexpr TLanguageID(uint16_t value) : Value(value) {}
    constexpr operator uint16_t() const { return Value; }
};
Q_DECLARE_METATYPE(TLanguageID)

// A point in time as the platform counts it: days since 1899-12-30, the time of day as the fraction.
// A type of its own, so that stores can tell it from a plain double; its text form is the number.
struct TDateTime {
    double Value = 0;
    constexpr TDateTime() = default;
    constexpr TDateTime(double value) : Value(value) {}
    constexpr operator double() const { return Value; }
};
Q_DECLARE_METATYPE(TDateTime)

// A value of a type of its own over a plain storage type, so that a property of that type gets its own
// text form and editor (a typedef would be the storage type itself to the meta-type system).
template <class T, class Tag>
struct TDistinctValue {
    T Value{};
    constexpr TDistinctValue() = default;
    constexpr TDistinctValue(T value) : Value(value) {}
    constexpr operator T() const { return Value; }
    friend bool operator==(const TDistinctValue&, const TDistinctValue&) = default;
};

// A date (days since 1899-12-30, no time of day) and a time of day (the fraction of a day): distinct
// from TDateTime so that each shows in its own text form.
using TDate = TDistinctValue<double, struct TDateTag>;
using TTime = TDistinctValue<double, struct TTimeTag>;
// An index of the screen cursor table (crDefault, crArrow, ... or a registered cursor), shown by name.
using TCursorValue = TDistinctValue<int32_t, struct TCursorTag>;
// A character set of a font (ANSI_CHARSET ... OEM_CHARSET).
using TFontCharset = TDistinctValue<uint8_t, struct TFontCharsetTag>;
// The result a modal window closes with (mrNone ... mrYesToAll, or any other number).
using TModalResult = TDistinctValue<int32_t, struct TModalResultTag>;
// Texts with an editor of their own: a font family name, and a caption.
using TFontName = TDistinctValue<QString, struct TFontNameTag>;
using TCaption = TDistinctValue<QString, struct TCaptionTag>;
Q_DECLARE_METATYPE(TDate)
Q_DECLARE_METATYPE(TTime)
Q_DECLARE_METATYPE(TCursorValue)
Q_DECLARE_METATYPE(TFontCharset)
Q_DECLARE_METATYPE(TModalResult)
Q_DECLARE_METATYPE(TFontName)
Q_DECLARE_METATYPE(TCaption)

// A published method: the object that carries it and the method's name (a slot or Q_INVOKABLE).
// An empty name is no method.
struct TMethod {
    QObject* Data = nullptr;
    QByteArray Code;
    bool IsAssigned() const { return Data && !Code.isEmpty(); }
    friend bool operator==(const TMethod&, const TMethod&) = default;
};
Q_DECLARE_METATYPE(TMethod)

// How a value type of published properties reads and writes as text.
struct TPropertyType {
    QString Name;
    std::function<QString(const QVariant&)> ToText;
    std::function<QVariant(const QString&)> FromText; // raises EConvertError on bad text
};

// Registers the text forms of a value type; a second registration replaces the first.
void RegisterPropertyType(QMetaType type, TPropertyType descriptor);
// The registered descriptor, or nullptr for types with Qt's own conversions (integers, strings, enums).
const TPropertyType* FindPropertyType(QMetaType type);

// The published properties of a class, base classes first.
QList<QMetaProperty> PublishedProperties(const QMetaObject* metaObject);
QMetaProperty FindPublishedProperty(const QMetaObject* metaObject, const char* name);

// The text form of a property value and back, through the registered descriptor or Qt's conversions.
QString PropertyValueToText(const QMetaProperty& property, const QVariant& value);
QVariant PropertyValueFromText(const QMetaProperty& property, const QString& text);

// The declared default, an invalid QVariant when the property declares none.
QVariant PropertyDefault(const QMetaObject* metaObject, const QMetaProperty& property);
// True when the property has a default and the object's value equals it.
bool PropertyIsDefault(const QObject* object, const QMetaProperty& property);

// Booleans, characters and integers up to 32 bits: the values stored as plain numbers.
bool IsSmallIntegerType(QMetaType type);

// Registers the value types of the platform layer (TLanguageID, TDateTime); called once at start-up.
void PublishedProperties_Initialize();

// ---------------------------------------------------------------------------------------------------
// Type information of published properties: one TTypeInfo per distinct type, identified by its address
// (two properties have the same type exactly when their PTypeInfo are equal). Types come from the Qt
// meta-type of a property: the numbers, strings and the distinct types above are known; enumerations
// and sets come from Q_ENUM and Q_FLAG; classes from the meta-object of a QObject pointer, or from a
// registration (RegisterClassTypeInfo) for classes that are no QObject.

enum TTypeKind : uint8_t {
    tkUnknown, tkInteger, tkChar, tkEnumeration, tkFloat, tkString, tkSet, tkClass, tkMethod, tkWChar,
    tkLString, tkWString, tkVariant, tkArray, tkRecord, tkInterface, tkInt64, tkDynArray, tkUString,
    tkClassRef, tkPointer, tkProcedure
};
using TTypeKinds = TSet<TTypeKind>;
// Every kind.
TTypeKinds AllTypeKinds();

enum TOrdType : uint8_t { otSByte, otUByte, otSWord, otUWord, otSLong, otULong };
enum TFloatType : uint8_t { ftSingle, ftDouble, ftExtended, ftComp, ftCurr };

struct TTypeInfo;
using PTypeInfo = const TTypeInfo*;

// What a type holds beyond its kind and name.
struct TTypeData {
    // Ordinals, characters, enumerations, sets and Int64.
    TOrdType OrdType = otSLong;
    int64_t MinValue = 0;
    int64_t MaxValue = 0;
    // Enumerations: the type itself (aliases would name their base); the identifiers by ordinal.
    PTypeInfo BaseType = nullptr;
    QStringList Names;
    // Sets: the element type (an enumeration whose ordinal i stands for bit i).
    PTypeInfo CompType = nullptr;
    TFloatType FloatType = ftDouble;
    // Short strings: the declared length (never used by our types, kept 255).
    int MaxLength = 255;
    // Classes: the parent class's type (nullptr at the root), and the meta-object for QObject classes.
    PTypeInfo ParentInfo = nullptr;
    const QMetaObject* ClassMeta = nullptr;
    int PropCount = 0;
};

// One type: its kind, its name (as "TColor", "Integer", "TResourceDialogItems") and how its values are
// carried in a QVariant of the property's meta-type.
struct TTypeInfo {
    TTypeKind Kind = tkUnknown;
    QString Name;
    QMetaType MetaType;
    TTypeData Data;
    // Ordinal kinds (integers, characters, enumerations, sets, Int64): the value as a number and back.
    std::function<int64_t(const QVariant&)> ToOrd;
    std::function<QVariant(int64_t)> FromOrd;
    // Floats (TDateTime, TDate, TTime included).
    std::function<double(const QVariant&)> ToFloat;
    std::function<QVariant(double)> FromFloat;
    // Strings.
    std::function<QString(const QVariant&)> ToStr;
    std::function<QVariant(const QString&)> FromStr;
    // Classes: the object pointer in the variant (as the declared class), a variant holding an object
    // of this class, and the cast of an object of this class to one of its registered ancestors
    // (nullptr when the ancestor is not one of them).
    std::function<void*(const QVariant&)> ToObject;
    std::function<QVariant(void*)> FromObject;
    std::function<void*(void*, PTypeInfo)> UpCast;
    // The type data of the class the object really has (its meta-object for QObjects), or nullptr.
    std::function<PTypeInfo(void*)> DynamicType;
};

// An object as a published property holds it: its address as its declared class, and that class.
struct TObjectRef {
    void* Pointer = nullptr;
    PTypeInfo Type = nullptr;
    explicit operator bool() const { return Pointer != nullptr; }
    // The object as an ancestor class T (registered or a QObject class), nullptr when it is not one.
    template <class T>
    T* As() const;
    QObject* AsQObject() const;
    friend bool operator==(const TObjectRef& a, const TObjectRef& b) { return a.Pointer == b.Pointer; }
};

// One published property of a class.
struct TPropInfo {
    QMetaProperty Property;
    QString Name;
    PTypeInfo PropType = nullptr;
    bool Readable = false;
    bool Writable = false;
    bool Stored = true;
    // The declared default as an ordinal (Q_CLASSINFO "default:<Name>"), NoDefault when none.
    static constexpr int64_t NoDefault = int64_t(int32_t(0x80000000));
    int64_t Default = NoDefault;
    int Index = -1;
    // Position among the class's published properties in declaration order, base classes first.
    int NameIndex = -1;
};
using PPropInfo = const TPropInfo*;

// The type of a meta-type (interned, created on first use; tkUnknown for types we do not publish).
PTypeInfo TypeInfoOf(QMetaType type);
template <class T>
PTypeInfo TypeInfo() { return TypeInfoOf(QMetaType::fromType<T>()); }
// The type of a class: of a QObject class by its meta-object; of another class as registered.
PTypeInfo ClassTypeInfo(const QMetaObject* metaObject);
// The type of an enumeration that is not the type of any property (the element type of a set).
PTypeInfo EnumTypeInfo(const QMetaEnum& enumerator);
// The published properties of a class sorted by name ignoring case (a redeclared property once, the
// most derived); interned, alive for the run.
const std::vector<PPropInfo>& PropInfosOf(const QMetaObject* metaObject);

// Registers a class that is no QObject as the pointee of pointer properties T*: its name, its parent
// class (nullptr for none), and its ancestors (Bases...) that objects may be cast to.
template <class T, class... Bases>
PTypeInfo RegisterClassTypeInfo(const char* name, PTypeInfo parent);

// Registers a value type of a layer above this one as an integer type: T converts to and from an
// integer (as a word-sized shortcut does). Properties of T read before the registration learn it.
template <class T>
PTypeInfo RegisterOrdinalTypeInfo(const char* name, TOrdType ordType, int64_t minValue, int64_t maxValue);

namespace PublishedDetail {
PTypeInfo InternClassType(QMetaType pointerType, std::unique_ptr<TTypeInfo> info);
template <class T, class Base>
void* UpCastTo(void* p, PTypeInfo target)
{
    return TypeInfoOf(QMetaType::fromType<Base*>()) == target ? static_cast<void*>(static_cast<Base*>(static_cast<T*>(p))) : nullptr;
}
void* UpCastObject(const TObjectRef& object, PTypeInfo target);
} // namespace PublishedDetail

template <class T, class... Bases>
PTypeInfo RegisterClassTypeInfo(const char* name, PTypeInfo parent)
{
    auto info = std::make_unique<TTypeInfo>();
    info->Kind = tkClass;
    info->Name = QString::fromLatin1(name);
    info->MetaType = QMetaType::fromType<T*>();
    info->Data.ParentInfo = parent;
    info->ToObject = [](const QVariant& v) -> void* { return v.value<T*>(); };
    info->FromObject = [](void* p) { return QVariant::fromValue(static_cast<T*>(p)); };
    info->UpCast = []([[maybe_unused]] void* p, [[maybe_unused]] PTypeInfo target) -> void* {
        void* result = nullptr;
        ((result = result ? result : PublishedDetail::UpCastTo<T, Bases>(p, target)), ...);
        return result;
    };
    return PublishedDetail::InternClassType(QMetaType::fromType<T*>(), std::move(info));
}

template <class T>
PTypeInfo RegisterOrdinalTypeInfo(const char* name, TOrdType ordType, int64_t minValue, int64_t maxValue)
{
    auto info = std::make_unique<TTypeInfo>();
    info->Kind = tkInteger;
    info->Name = QString::fromLatin1(name);
    info->MetaType = QMetaType::fromType<T>();
    info->Data.OrdType = ordType;
    info->Data.MinValue = minValue;
    info->Data.MaxValue = maxValue;
    info->ToOrd = [](const QVariant& v) -> int64_t { return int64_t(v.value<T>()); };
    info->FromOrd = [](int64_t x) { return QVariant::fromValue(T(x)); };
    return PublishedDetail::InternClassType(QMetaType::fromType<T>(), std::move(info));
}

template <class T>
T* TObjectRef::As() const
{
    if constexpr (std::is_base_of_v<QObject, T>)
        return qobject_cast<T*>(AsQObject());
    else
        return static_cast<T*>(PublishedDetail::UpCastObject(*this, TypeInfoOf(QMetaType::fromType<T*>())));
}
