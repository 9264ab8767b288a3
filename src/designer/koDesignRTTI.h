// The designer's model of the published properties of live objects: one TRunTimeProperty per published
// property, with sub-properties for the elements of sets and for the properties of referenced objects.
// Each property reads and writes its value on the object, converts it to and from text, and lists the
// values it allows. Every read and write goes through RTTIProvider().
#pragma once

#include "platform/Exceptions.h"
#include "platform/PublishedProperties.h"
#include "platform/ClassInfo.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

class TRunTimeProperty;
class TRunTimePropertyList;

// Pen and brush styles: enumerations with sample-drawing editors.
namespace DesignTypes {
Q_NAMESPACE
enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame, psUserStyle, psAlternate };
Q_ENUM_NS(TPenStyle)
enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };
Q_ENUM_NS(TBrushStyle)
} // namespace DesignTypes
using DesignTypes::TBrushStyle;
using DesignTypes::TPenStyle;

// Every read and write of a property value and every question about types. Object values are passed
// with their declared class (TObjectRef); methods as object and name.
class IRunTimeRTTIProvider {
public:
    virtual ~IRunTimeRTTIProvider() = default;
    virtual const TTypeData* GetTypeData(PTypeInfo TypeInfo) = 0;
    // The published properties of the class TypeInfo whose type's kind is in TypeKinds, sorted by name.
    virtual int GetPropList(PTypeInfo TypeInfo, TTypeKinds TypeKinds, std::vector<PPropInfo>& PropList) = 0;
    // Ordinals up to 32 bits; unsigned 32-bit values come back unsigned.
    virtual int64_t GetOrdProp(QObject* Instance, PPropInfo PropInfo) = 0;
    virtual void SetOrdProp(QObject* Instance, PPropInfo PropInfo, int64_t Value) = 0;
    virtual void GetStrProp(QObject* Instance, PPropInfo PropInfo, QString& Value) = 0;
    virtual void SetStrProp(QObject* Instance, PPropInfo PropInfo, const QString& Value) = 0;
    virtual void GetEnumName(PTypeInfo TypeInfo, int Value, QString& Name) = 0;
    // -1 when the type has no such identifier (compared ignoring case).
    virtual int GetEnumValue(PTypeInfo TypeInfo, const QString& Name) = 0;
    virtual void GetEnumProp(QObject* Instance, PPropInfo PropInfo, QString& Name) = 0;
    virtual void SetEnumProp(QObject* Instance, PPropInfo PropInfo, const QString& Name) = 0;
    virtual void GetSetProp(QObject* Instance, PPropInfo PropInfo, QString& Value, bool Brackets) = 0;
    virtual void SetSetProp(QObject* Instance, PPropInfo PropInfo, const QString& Value) = 0;
    virtual double GetFloatProp(QObject* Instance, PPropInfo PropInfo) = 0;
    virtual void SetFloatProp(QObject* Instance, PPropInfo PropInfo, double Value) = 0;
    virtual void GetVariantProp(QObject* Instance, PPropInfo PropInfo, QVariant& Value) = 0;
    virtual void SetVariantProp(QObject* Instance, PPropInfo PropInfo, const QVariant& Value) = 0;
    virtual TObjectRef GetObjectProp(QObject* Instance, PPropInfo PropInfo, PTypeInfo MinClass = nullptr) = 0;
    // Refuses (EPropertyError) an object that is not of the property's class.
    virtual void SetObjectProp(QObject* Instance, PPropInfo PropInfo, const TObjectRef& Value) = 0;
    virtual void GetMethodProp(QObject* Instance, PPropInfo PropInfo, TMethod& Value) = 0;
    virtual void SetMethodProp(QObject* Instance, PPropInfo PropInfo, const TMethod& Value) = 0;
    virtual int64_t GetInt64Prop(QObject* Instance, PPropInfo PropInfo) = 0;
    virtual void SetInt64Prop(QObject* Instance, PPropInfo PropInfo, int64_t Value) = 0;
    // True when the property's class and AClass are related in either direction.
    virtual bool InheritsFromClass(PPropInfo PropInfo, PTypeInfo AClass) = 0;
};

// The provider over Qt's meta-objects and the published-property layer.
class TNativeRTTIProvider : public IRunTimeRTTIProvider {
public:
    const TTypeData* GetTypeData(PTypeInfo TypeInfo) override;
    int GetPropList(PTypeInfo TypeInfo, TTypeKinds TypeKinds, std::vector<PPropInfo>& PropList) override;
    int64_t GetOrdProp(QObject* Instance, PPropInfo PropInfo) override;
    void SetOrdProp(QObject* Instance, PPropInfo PropInfo, int64_t Value) override;
    void GetStrProp(QObject* Instance, PPropInfo PropInfo, QString& Value) override;
    void SetStrProp(QObject* Instance, PPropInfo PropInfo, const QString& Value) override;
    void GetEnumName(PTypeInfo TypeInfo, int Value, QString& Name) override;
    int GetEnumValue(PTypeInfo TypeInfo, const QString& Name) override;
    void GetEnumProp(QObject* Instance, PPropInfo PropInfo, QString& Name) override;
    void SetEnumProp(QObject* Instance, PPropInfo PropInfo, const QString& Name) override;
    void GetSetProp(QObject* Instance, PPropInfo PropInfo, QString& Value, bool Brackets) override;
    void SetSetProp(QObject* Instance, PPropInfo PropInfo, const QString& Value) override;
    double GetFloatProp(QObject* Instance, PPropInfo PropInfo) override;
    void SetFloatProp(QObject* Instance, PPropInfo PropInfo, double Value) override;
    void GetVariantProp(QObject* Instance, PPropInfo PropInfo, QVariant& Value) override;
    void SetVariantProp(QObject* Instance, PPropInfo PropInfo, const QVariant& Value) override;
    TObjectRef GetObjectProp(QObject* Instance, PPropInfo PropInfo, PTypeInfo MinClass = nullptr) override;
    void SetObjectProp(QObject* Instance, PPropInfo PropInfo, const TObjectRef& Value) override;
    void GetMethodProp(QObject* Instance, PPropInfo PropInfo, TMethod& Value) override;
    void SetMethodProp(QObject* Instance, PPropInfo PropInfo, const TMethod& Value) override;
    int64_t GetInt64Prop(QObject* Instance, PPropInfo PropInfo) override;
    void SetInt64Prop(QObject* Instance, PPropInfo PropInfo, int64_t Value) override;
    bool InheritsFromClass(PPropInfo PropInfo, PTypeInfo AClass) override;
};

// The provider in use (a TNativeRTTIProvider unless replaced).
IRunTimeRTTIProvider* RTTIProvider();
// Replaces the provider (nullptr: the native one again); returns the previous one. For tests.
std::shared_ptr<IRunTimeRTTIProvider> SetRTTIProvider(std::shared_ptr<IRunTimeRTTIProvider> Provider);

// The classes whose relation picks a property class (component, collection, strings ...); nullptr for
// a class the program does not have (no font or picture class of that kind exists yet).
struct TDesignClassTypes {
    PTypeInfo Component = nullptr;  // QWidget: controls of forms, found by Name
    PTypeInfo Collection = nullptr; // TCustomResourceItemItems
    PTypeInfo Font = nullptr;
    PTypeInfo Strings = nullptr;    // TStringList
    PTypeInfo Picture = nullptr;
    PTypeInfo Graphic = nullptr;    // TGraphic
    PTypeInfo Bitmap = nullptr;     // TBitmap
    PTypeInfo Icon = nullptr;       // TIcon
};
TDesignClassTypes& DesignClassTypes();

// Property classes as values: what GetPropertyClass answers and editors are registered for.
class TRunTimePropertyClassInfo : public TClassInfo {
public:
    virtual std::unique_ptr<TRunTimeProperty> Create(TRunTimePropertyList* AOwner, PPropInfo APropInfo) const = 0;
};
using TRunTimePropertyClass = const TRunTimePropertyClassInfo*;

template <class T>
class TRunTimePropertyClassOf : public TClassInfoOf<T, TRunTimePropertyClassInfo> {
public:
    std::unique_ptr<TRunTimeProperty> Create(TRunTimePropertyList* AOwner, PPropInfo APropInfo) const override
    {
        auto result = std::make_unique<T>(AOwner, APropInfo);
        result->AfterConstruction();
        return result;
    }
};

#define RUNTIME_PROPERTY_CLASS(Class, Base)                                                           \
    ATELIER_CLASS_NAME(Class)                                                                         \
public:                                                                                               \
    using inherited = Base;                                                                           \
    using Base::Base;                                                                                 \
    static TRunTimePropertyClass ClassInfo()                                                          \
    {                                                                                                 \
        static const TRunTimePropertyClassOf<Class> info;                                             \
        return &info;                                                                                 \
    }                                                                                                 \
    TRunTimePropertyClass ClassType() const override { return Class::ClassInfo(); }                  \
                                                                                                      \
private:

// One published property of the instance of its list.
class TRunTimeProperty {
    ATELIER_CLASS_NAME(TRunTimeProperty)
public:
    TRunTimeProperty(TRunTimePropertyList* AOwner, PPropInfo APropInfo);
    virtual ~TRunTimeProperty();
    TRunTimeProperty(const TRunTimeProperty&) = delete;
    TRunTimeProperty& operator=(const TRunTimeProperty&) = delete;
    static TRunTimePropertyClass ClassInfo();
    virtual TRunTimePropertyClass ClassType() const { return ClassInfo(); }
    // Builds the sub-properties; called once right after construction.
    virtual void AfterConstruction() {}

    virtual PTypeInfo GetPropType() const;
    // The displayed name: the instance's IPropertyMap name of the property when it has one.
    virtual QString GetName() const;
    // The text shown in the inspector.
    virtual QString GetVisualValue();
    // The value as text, and back. SetValue raises when the text does not convert or the object refuses
    // it; the value is then unchanged.
    virtual QString GetValue();
    virtual void SetValue(const QString& Value);
    // The values a drop-down list offers; empty for kinds without a list.
    virtual void GetValues(QStringList& Values);

    TRunTimePropertyList* Owner() const { return FOwner; }
    TRunTimeProperty* Parent() const;
    int Level() const;
    PPropInfo PropInfo() const { return FPropInfo; }
    PTypeInfo PropType() const { return GetPropType(); }
    // The property can be read, written (the platform's accessor procedures).
    bool GetProc() const;
    bool SetProc() const;
    bool IsStored() const;
    int Index() const;
    int64_t Default() const;
    int NameIndex() const;
    QString Name() const { return GetName(); }
    QString FullName() const;
    QString TypeName() const;
    // 255 without a type.
    int TypeKind() const;
    bool ReadOnly() const;
    TRunTimePropertyList* Properties() const { return FProperties.get(); }
    QObject* Instance() const;

    // True without PropInfo, without an owning list or when the list has no (more) instance.
    virtual bool Empty() const;
    bool IsCompatible(QObject* AObject) const;
    bool IsCompatible(PTypeInfo AClass) const;
    bool IsCompatible(const TRunTimeProperty* AProperty) const;
    bool IsType(PTypeInfo ATypeInfo) const { return GetPropType() == ATypeInfo; }
    // A list of the owning list's own class with this property as owner; nullptr without owning list.
    std::unique_ptr<TRunTimePropertyList> CreatePropertyList();

protected:
    TRunTimePropertyList* FOwner;
    PPropInfo FPropInfo;
    std::unique_ptr<TRunTimePropertyList> FProperties;
};

class TRunTimeOrdinalProperty : public TRunTimeProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeOrdinalProperty, TRunTimeProperty)
public:
    virtual int64_t GetMinValue() const;
    virtual int64_t GetMaxValue() const;
    virtual bool GetAsBoolean();
    virtual void SetAsBoolean(bool Value);
    TOrdType OrdType() const;
    int64_t MinValue() const { return GetMinValue(); }
    int64_t MaxValue() const { return GetMaxValue(); }
    bool AsBoolean() { return GetAsBoolean(); }
    virtual int64_t AsInteger();
    // Refuses (EConvertError) a value outside MinValue..MaxValue, writing nothing.
    virtual void SetAsInteger(int64_t Value);
};

class TRunTimeIntegerProperty : public TRunTimeOrdinalProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeIntegerProperty, TRunTimeOrdinalProperty)
public:
    QString GetValue() override;
    void SetValue(const QString& Value) override;
};

class TRunTimeCursorProperty : public TRunTimeOrdinalProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeCursorProperty, TRunTimeOrdinalProperty)
public:
    QString GetValue() override;
    void SetValue(const QString& Value) override;
    void GetValues(QStringList& Values) override;
};

class TRunTimeColorProperty : public TRunTimeOrdinalProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeColorProperty, TRunTimeOrdinalProperty)
public:
    QString GetValue() override;
    void SetValue(const QString& Value) override;
    void GetValues(QStringList& Values) override;
};

class TRunTimeFontCharSetProperty : public TRunTimeOrdinalProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeFontCharSetProperty, TRunTimeOrdinalProperty)
public:
    QString GetValue() override;
    void SetValue(const QString& Value) override;
    void GetValues(QStringList& Values) override;
};

class TRunTimeModalResultProperty : public TRunTimeOrdinalProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeModalResultProperty, TRunTimeOrdinalProperty)
public:
    QString GetValue() override;
    void SetValue(const QString& Value) override;
    void GetValues(QStringList& Values) override;
};

class TRunTimeShortCutProperty : public TRunTimeOrdinalProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeShortCutProperty, TRunTimeOrdinalProperty)
public:
    QString GetValue() override;
    void SetValue(const QString& Value) override;
    void GetValues(QStringList& Values) override;
};

class TRunTimeCharProperty : public TRunTimeOrdinalProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeCharProperty, TRunTimeOrdinalProperty)
public:
    QString GetValue() override;
    void SetValue(const QString& Value) override;
    QChar AsChar();
};

class TRunTimeEnumProperty : public TRunTimeOrdinalProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeEnumProperty, TRunTimeOrdinalProperty)
public:
    QString GetValue() override;
    void SetValue(const QString& Value) override;
    void GetValues(QStringList& Values) override;
    PTypeInfo BaseType() const;
    int Count() const { return int(MaxValue() - MinValue() + 1); }
};

class TRunTimeBooleanProperty : public TRunTimeEnumProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeBooleanProperty, TRunTimeEnumProperty)
public:
    void GetValues(QStringList& Values) override;
};

class TRunTimePenStyleProperty : public TRunTimeEnumProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimePenStyleProperty, TRunTimeEnumProperty)
};

class TRunTimeBrushStyleProperty : public TRunTimeEnumProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeBrushStyleProperty, TRunTimeEnumProperty)
};

class TRunTimeSetProperty : public TRunTimeOrdinalProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeSetProperty, TRunTimeOrdinalProperty)
public:
    void AfterConstruction() override;
    QString GetValue() override;
    void SetValue(const QString& Value) override;
    // The element type; bit i of the value stands for its ordinal i.
    PTypeInfo CompType() const;
};

// One element of a set: no PropInfo of its own, its type is Boolean, it reads and writes bit Index of
// its parent set.
class TRunTimeSetElementProperty : public TRunTimeBooleanProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeSetElementProperty, TRunTimeBooleanProperty)
public:
    PTypeInfo GetPropType() const override;
    QString GetName() const override;
    QString GetValue() override;
    void SetValue(const QString& Value) override;
    bool GetAsBoolean() override;
    void SetAsBoolean(bool Value) override;
    int64_t AsInteger() override { return GetAsBoolean() ? 1 : 0; }
    void SetAsInteger(int64_t Value) override { SetAsBoolean(Value != 0); }
    int64_t GetMinValue() const override { return 0; }
    int64_t GetMaxValue() const override { return 1; }
    // The element's ordinal in the set's element type (bit ElementIndex of the set).
    int ElementIndex() const { return FElementIndex; }
    void SetElementIndex(int Value) { FElementIndex = Value; }
    TRunTimeSetProperty* SetProperty() const;

private:
    int FElementIndex = 0;
};

class TRunTimeStringProperty : public TRunTimeProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeStringProperty, TRunTimeProperty)
public:
    QString GetValue() override;
    void SetValue(const QString& Value) override;
    int MaxLength() const;
    QString AsString();
};

class TRunTimeFontNameProperty : public TRunTimeStringProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeFontNameProperty, TRunTimeStringProperty)
public:
    // The font families of the system, in the order the font database reports them.
    void GetValues(QStringList& Values) override;
    // The pitch-and-family byte of a family (bit 0 variable pitch, bit 2 scalable outlines), plus
    // 0x8000000 for a symbol font.
    static int FontTypeData(const QString& Family);
};

class TRunTimeCaptionProperty : public TRunTimeStringProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeCaptionProperty, TRunTimeStringProperty)
};

class TRunTimeFloatProperty : public TRunTimeProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeFloatProperty, TRunTimeProperty)
public:
    QString GetValue() override;
    void SetValue(const QString& Value) override;
    TFloatType FloatType() const;
    double AsFloat();
    void SetAsFloat(double Value);
};

class TRunTimeDateProperty : public TRunTimeFloatProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeDateProperty, TRunTimeFloatProperty)
public:
    QString GetValue() override;
    void SetValue(const QString& Value) override;
};

class TRunTimeTimeProperty : public TRunTimeFloatProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeTimeProperty, TRunTimeFloatProperty)
public:
    QString GetValue() override;
    void SetValue(const QString& Value) override;
};

class TRunTimeDateTimeProperty : public TRunTimeFloatProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeDateTimeProperty, TRunTimeFloatProperty)
public:
    QString GetValue() override;
    void SetValue(const QString& Value) override;
};

class TRunTimeVariantProperty : public TRunTimeProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeVariantProperty, TRunTimeProperty)
public:
    QString GetValue() override;
    void SetValue(const QString& Value) override;
    QVariant AsVariant();
};

// An object-valued property. Its text is a token of an object the property handed out itself (never an
// address typed by a person): GetValue gives one, SetValue takes one back or refuses the text.
class TRunTimeClassProperty : public TRunTimeProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeClassProperty, TRunTimeProperty)
public:
    void AfterConstruction() override;
    QString GetVisualValue() override;
    QString GetValue() override;
    void SetValue(const QString& Value) override;
    // The declared class and its parent class.
    PTypeInfo ClassRef() const;
    PTypeInfo ParentInfo() const;
    TObjectRef AsObject();
    // Writes the object (refused unless it is of the declared class) and rebuilds the sub-properties.
    void SetAsObject(const TObjectRef& Value);
    void SetAsObject(QObject* Value);
};

class TRunTimeComponentProperty : public TRunTimeClassProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeComponentProperty, TRunTimeClassProperty)
public:
    // The component's Name (objectName); "(...)" when the object is no component.
    QString GetVisualValue() override;
    // Empty text sets nothing (nil); else the owning list's FindComponent(Text).
    void SetValue(const QString& Value) override;
};

class TRunTimeCollectionProperty : public TRunTimeClassProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeCollectionProperty, TRunTimeClassProperty)
public:
    QString GetVisualValue() override;
};

class TRunTimeFontProperty : public TRunTimeClassProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeFontProperty, TRunTimeClassProperty)
};

class TRunTimeStringsProperty : public TRunTimeClassProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeStringsProperty, TRunTimeClassProperty)
};

class TRunTimeGraphicProperty : public TRunTimeClassProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeGraphicProperty, TRunTimeClassProperty)
public:
    // "(None)" for no or an empty picture, else "(Bitmap)", "(Icon)" ... after the picture's class.
    QString GetVisualValue() override;
    // Empty text sets nil.
    void SetValue(const QString& Value) override;
};

class TRunTimePictureProperty : public TRunTimeGraphicProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimePictureProperty, TRunTimeGraphicProperty)
public:
    QString GetVisualValue() override;
    void SetValue(const QString& Value) override;
};

class TRunTimeBitmapProperty : public TRunTimeGraphicProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeBitmapProperty, TRunTimeGraphicProperty)
};

class TRunTimeIconProperty : public TRunTimeGraphicProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeIconProperty, TRunTimeGraphicProperty)
};

class TRunTimeInterfaceProperty : public TRunTimeProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeInterfaceProperty, TRunTimeProperty)
public:
    // Interfaces are not published by our classes; the null GUID and empty texts.
    QString GUID() const { return QStringLiteral("{00000000-0000-0000-0000-000000000000}"); }
};

class TRunTimeInt64Property : public TRunTimeProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeInt64Property, TRunTimeProperty)
public:
    QString GetValue() override;
    void SetValue(const QString& Value) override;
    int64_t MinValue() const;
    int64_t MaxValue() const;
    int64_t AsInt64();
    void SetAsInt64(int64_t Value);
};

class TRunTimeMethodProperty : public TRunTimeProperty {
    RUNTIME_PROPERTY_CLASS(TRunTimeMethodProperty, TRunTimeProperty)
public:
    QString GetValue() override;
    void SetValue(const QString& Value) override;
    TMethod AsMethod();
    void SetAsMethod(const TMethod& Value);
};

// The published properties of one instance, sorted by name.
class TRunTimePropertyList {
public:
    explicit TRunTimePropertyList(TRunTimeProperty* AOwner = nullptr);
    virtual ~TRunTimePropertyList();
    TRunTimePropertyList(const TRunTimePropertyList&) = delete;
    TRunTimePropertyList& operator=(const TRunTimePropertyList&) = delete;

    // The class of a property by the kind of its type (nullptr: not listed).
    virtual TRunTimePropertyClass GetPropertyClass(PPropInfo PropInfo);
    // The class refined by the exact type (TColor, TDate, Boolean, TFontName ...) and, for objects, by
    // the class relation (component, collection, font, strings, picture, graphic): what the object
    // inspector's list answers.
    static TRunTimePropertyClass RefinedPropertyClass(PPropInfo PropInfo);
    virtual bool ExcludeProperty(TRunTimeProperty* AProperty);
    virtual void GetMethodValue(TRunTimeProperty* AProperty, QString& Text);
    virtual void GetMethodAddress(TRunTimeProperty* AProperty, const QString& MethodName, TMethod& Method);
    virtual QObject* FindComponent(const QString& Name);
    // A new empty list of this list's own class (the sub-list of AOwner).
    virtual std::unique_ptr<TRunTimePropertyList> NewList(TRunTimeProperty* AOwner);
    virtual void Refresh();

    int Count() const { return int(FProperties.size()); }
    // nullptr outside 0..Count-1.
    TRunTimeProperty* Items(int Index) const;
    TRunTimeProperty* operator[](int Index) const { return Items(Index); }
    TRunTimeProperty* Owner() const { return FOwner; }
    TRunTimePropertyList* Parent() const;
    QObject* Instance() const { return FInstance.data(); }
    // A different instance is stored and the list rebuilt.
    void SetInstance(QObject* Value);
    TRunTimePropertyList* Root();

    void Clear();
    void AddProperty(std::unique_ptr<TRunTimeProperty> AProperty);
    // Removes without freeing: the caller gets the property.
    std::unique_ptr<TRunTimeProperty> DeleteProperty(int Index);
    int IndexOf(const TRunTimeProperty* AProperty) const;
    int IndexOfName(const QString& Name) const;
    // By a dotted path of displayed names ("Font.Style.fsBold"), each step ignoring case.
    TRunTimeProperty* PropertyByName(const QString& Name) const;
    bool Contains(PPropInfo APropInfo) const;
    // Keeps the properties that APropList has too (same type, same displayed name) and that
    // ExcludeProperty does not exclude; only this level.
    void Intersect(const TRunTimePropertyList* APropList);

protected:
    void AddPropInfo(PPropInfo PropInfo);

    TRunTimeProperty* FOwner;
    std::vector<std::unique_ptr<TRunTimeProperty>> FProperties;
    QPointer<QObject> FInstance;
};

// Other routines of the unit.
QString StripTypePrefix(const QString& Name);
bool IsTypeInfo(PTypeInfo TypeInfo, PTypeInfo Expected);
int GetEnumPropertyValue(const TRunTimeProperty* Prop, const QString& Name);

// Texts of the unit and of the system.
inline const QString SUnknown = QStringLiteral("Unknown");
inline const QString SNone = QStringLiteral("None");
inline const QString SShortCutNone = QStringLiteral("(None)");
inline const QString SFalse = QStringLiteral("False");
inline const QString STrue = QStringLiteral("True");
inline const QString SNoneValue = QStringLiteral("(None)");
inline const QString SObjectValue = QStringLiteral("(...)");
inline const QString SListValue = QStringLiteral("(list)");
inline const QString SInvalidPropertyValue = QStringLiteral("Invalid property value");
inline const QString SInvalidPropertyElement = QStringLiteral("Invalid property element: %1");

// Registers the published types of the model (collections, string lists, pictures) and fills
// DesignClassTypes; RTTIProvider and DesignClassTypes call it on first use, later calls do nothing.
void koDesignRTTI_Initialize();
