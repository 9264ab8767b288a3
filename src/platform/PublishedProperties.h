// Published properties: what the object inspector, the property inspector and the settings store read
// and write. A published property is a Q_PROPERTY declared by one of our own classes (properties of Qt's
// classes are never published). Values whose meaning differs from their storage (a resource identifier,
// a language identifier, a colour) have distinct C++ types, registered here with their text forms.
// A property's default is declared beside it with Q_CLASSINFO("default:<Property>", "<text>"); a property
// whose value equals its default is not stored.
#pragma once

#include <QList>
#include <QMetaProperty>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <functional>

class QMetaObject;
class QObject;

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
