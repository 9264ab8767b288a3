#include "koDesignRTTI.h"

#include "kinds/koResourceItemAccelerator.h"
#include "kinds/koResourceItemDelphiStuff.h"
#include "kinds/koResourceItemDesignInfo.h"
#include "kinds/koResourceItemDialog.h"
#include "kinds/koResourceItemHWB.h"
#include "kinds/koResourceItemMenu.h"
#include "kinds/koResourceItemString.h"
#include "kinds/koResourceItemToolbar.h"
#include "model/koResourcesItem.h"
#include "model/koResourcesItemItems.h"
#include "platform/Bitmap.h"
#include "platform/Graphics.h"
#include "platform/Icon.h"
#include "platform/ShortCuts.h"
#include "platform/StringList.h"
#include "platform/SysUtils.h"
#include "platform/ValueTexts.h"

#include <QFontDatabase>
#include <QHash>
#include <QWidget>
#include <cfloat>
#include <cmath>

// ---------------------------------------------------------------------------------------------------
// The provider

namespace {
std::shared_ptr<IRunTimeRTTIProvider>& providerSlot()
{
    static std::shared_ptr<IRunTimeRTTIProvider> provider;
    return provider;
}

[[noreturn]] void InvalidValue() { throw EPropertyError(SInvalidPropertyValue); }

QVariant ReadValue(QObject* Instance, PPropInfo PropInfo)
{
    if (!Instance || !PropInfo || !PropInfo->Readable) return {};
    return PropInfo->Property.read(Instance);
}

void WriteValue(QObject* Instance, PPropInfo PropInfo, const QVariant& Value)
{
    if (!Instance || !PropInfo) return;
    if (!PropInfo->Writable) throw EPropertyError(QStringLiteral("Property %1 is read-only").arg(PropInfo->Name));
    if (!PropInfo->Property.write(Instance, Value)) InvalidValue();
}

// Bits of a set as identifiers of its element type, in ascending order.
QString SetToText(PTypeInfo Comp, int64_t Value, bool Brackets)
{
    QStringList words;
    for (int bit = 0; bit < 32; ++bit)
        if (Value & (int64_t(1) << bit)) {
            if (Comp && bit < Comp->Data.Names.size() && !Comp->Data.Names[bit].isEmpty()) words.append(Comp->Data.Names[bit]);
        }
    const QString text = words.join(QLatin1Char(','));
    return Brackets ? QLatin1Char('[') + text + QLatin1Char(']') : text;
}
} // namespace

IRunTimeRTTIProvider* RTTIProvider()
{
    auto& slot = providerSlot();
    if (!slot) {
        koDesignRTTI_Initialize();
        slot = std::make_shared<TNativeRTTIProvider>();
    }
    return slot.get();
}

std::shared_ptr<IRunTimeRTTIProvider> SetRTTIProvider(std::shared_ptr<IRunTimeRTTIProvider> Provider)
{
    auto previous = providerSlot();
    providerSlot() = std::move(Provider);
    return previous;
}

const TTypeData* TNativeRTTIProvider::GetTypeData(PTypeInfo TypeInfo) { return TypeInfo ? &TypeInfo->Data : nullptr; }

int TNativeRTTIProvider::GetPropList(PTypeInfo TypeInfo, TTypeKinds TypeKinds, std::vector<PPropInfo>& PropList)
{
    PropList.clear();
    if (!TypeInfo || !TypeInfo->Data.ClassMeta) return 0;
    for (PPropInfo p : PropInfosOf(TypeInfo->Data.ClassMeta))
        if (p->PropType && TypeKinds.Contains(p->PropType->Kind) && p->Readable) PropList.push_back(p);
    return int(PropList.size());
}

int64_t TNativeRTTIProvider::GetOrdProp(QObject* Instance, PPropInfo PropInfo)
{
    const QVariant v = ReadValue(Instance, PropInfo);
    return v.isValid() && PropInfo->PropType->ToOrd ? PropInfo->PropType->ToOrd(v) : 0;
}

void TNativeRTTIProvider::SetOrdProp(QObject* Instance, PPropInfo PropInfo, int64_t Value)
{
    if (!PropInfo || !PropInfo->PropType->FromOrd) InvalidValue();
    WriteValue(Instance, PropInfo, PropInfo->PropType->FromOrd(Value));
}

void TNativeRTTIProvider::GetStrProp(QObject* Instance, PPropInfo PropInfo, QString& Value)
{
    const QVariant v = ReadValue(Instance, PropInfo);
    Value = !v.isValid() ? QString() : PropInfo->PropType->ToStr ? PropInfo->PropType->ToStr(v) : v.toString();
}

void TNativeRTTIProvider::SetStrProp(QObject* Instance, PPropInfo PropInfo, const QString& Value)
{
    if (!PropInfo) return;
    WriteValue(Instance, PropInfo, PropInfo->PropType->FromStr ? PropInfo->PropType->FromStr(Value) : QVariant(Value));
}

void TNativeRTTIProvider::GetEnumName(PTypeInfo TypeInfo, int Value, QString& Name)
{
    Name.clear();
    if (!TypeInfo) return;
    const int64_t index = int64_t(Value) - TypeInfo->Data.MinValue;
    if (index >= 0 && index < TypeInfo->Data.Names.size()) Name = TypeInfo->Data.Names[int(index)];
    if (Name.isEmpty()) Name = QString::number(Value);
}

int TNativeRTTIProvider::GetEnumValue(PTypeInfo TypeInfo, const QString& Name)
{
    if (!TypeInfo || Name.isEmpty()) return -1;
    const QStringList& names = TypeInfo->Data.Names;
    for (int i = 0; i < names.size(); ++i)
        if (!names[i].isEmpty() && SameText(names[i], Name)) return int(TypeInfo->Data.MinValue + i);
    return -1;
}

void TNativeRTTIProvider::GetEnumProp(QObject* Instance, PPropInfo PropInfo, QString& Name)
{
    if (!PropInfo) return Name.clear();
    GetEnumName(PropInfo->PropType, int(GetOrdProp(Instance, PropInfo)), Name);
}

void TNativeRTTIProvider::SetEnumProp(QObject* Instance, PPropInfo PropInfo, const QString& Name)
{
    if (!PropInfo) return;
    const int value = GetEnumValue(PropInfo->PropType, Name.trimmed());
    if (value < 0) throw EPropertyConvertError(SInvalidPropertyElement.arg(Name));
    SetOrdProp(Instance, PropInfo, value);
}

void TNativeRTTIProvider::GetSetProp(QObject* Instance, PPropInfo PropInfo, QString& Value, bool Brackets)
{
    if (!PropInfo) return Value.clear();
    Value = SetToText(PropInfo->PropType->Data.CompType, GetOrdProp(Instance, PropInfo), Brackets);
}

void TNativeRTTIProvider::SetSetProp(QObject* Instance, PPropInfo PropInfo, const QString& Value)
{
    if (!PropInfo) return;
    PTypeInfo comp = PropInfo->PropType->Data.CompType;
    int64_t bits = 0;
    int i = 0;
    const int n = int(Value.size());
    while (i < n && Value[i].isSpace()) ++i;
    if (i < n && Value[i] == QLatin1Char('[')) ++i;
    while (i < n) {
        while (i < n && (Value[i].isSpace() || Value[i] == QLatin1Char(',') || Value[i] == QLatin1Char(']'))) ++i;
        const int start = i;
        while (i < n && !(Value[i].isSpace() || Value[i] == QLatin1Char(',') || Value[i] == QLatin1Char(']'))) ++i;
        if (i == start) break;
        const QString word = Value.mid(start, i - start);
        const int element = GetEnumValue(comp, word);
        if (element < 0 || element > 31) throw EPropertyConvertError(SInvalidPropertyElement.arg(word));
        bits |= int64_t(1) << element;
    }
    // Bits the element type has no identifier for cannot be typed: they keep their state.
    int64_t named = 0;
    for (int bit = 0; comp && bit < 32 && bit < comp->Data.Names.size(); ++bit)
        if (!comp->Data.Names[bit].isEmpty()) named |= int64_t(1) << bit;
    bits |= GetOrdProp(Instance, PropInfo) & ~named & 0xFFFFFFFFll;
    SetOrdProp(Instance, PropInfo, bits);
}

double TNativeRTTIProvider::GetFloatProp(QObject* Instance, PPropInfo PropInfo)
{
    const QVariant v = ReadValue(Instance, PropInfo);
    return v.isValid() && PropInfo->PropType->ToFloat ? PropInfo->PropType->ToFloat(v) : 0.0;
}

void TNativeRTTIProvider::SetFloatProp(QObject* Instance, PPropInfo PropInfo, double Value)
{
    if (!PropInfo || !PropInfo->PropType->FromFloat) InvalidValue();
    WriteValue(Instance, PropInfo, PropInfo->PropType->FromFloat(Value));
}

void TNativeRTTIProvider::GetVariantProp(QObject* Instance, PPropInfo PropInfo, QVariant& Value)
{
    Value = ReadValue(Instance, PropInfo);
}

void TNativeRTTIProvider::SetVariantProp(QObject* Instance, PPropInfo PropInfo, const QVariant& Value)
{
    WriteValue(Instance, PropInfo, Value);
}

TObjectRef TNativeRTTIProvider::GetObjectProp(QObject* Instance, PPropInfo PropInfo, PTypeInfo)
{
    const QVariant v = ReadValue(Instance, PropInfo);
    if (!v.isValid() || !PropInfo->PropType->ToObject) return {};
    return {PropInfo->PropType->ToObject(v), PropInfo->PropType};
}

void TNativeRTTIProvider::SetObjectProp(QObject* Instance, PPropInfo PropInfo, const TObjectRef& Value)
{
    if (!PropInfo || PropInfo->PropType->Kind != tkClass) InvalidValue();
    PTypeInfo declared = PropInfo->PropType;
    void* pointer = nullptr;
    if (Value.Pointer) {
        if (declared->Data.ClassMeta) {
            QObject* object = Value.AsQObject();
            if (!object || !object->metaObject()->inherits(declared->Data.ClassMeta)) InvalidValue();
            pointer = object;
        } else {
            pointer = PublishedDetail::UpCastObject(Value, declared);
            if (!pointer) InvalidValue();
        }
    }
    WriteValue(Instance, PropInfo, QVariant(PropInfo->Property.metaType(), &pointer));
}

void TNativeRTTIProvider::GetMethodProp(QObject* Instance, PPropInfo PropInfo, TMethod& Value)
{
    const QVariant v = ReadValue(Instance, PropInfo);
    Value = v.canConvert<TMethod>() ? v.value<TMethod>() : TMethod();
}

void TNativeRTTIProvider::SetMethodProp(QObject* Instance, PPropInfo PropInfo, const TMethod& Value)
{
    WriteValue(Instance, PropInfo, QVariant::fromValue(Value));
}

int64_t TNativeRTTIProvider::GetInt64Prop(QObject* Instance, PPropInfo PropInfo) { return GetOrdProp(Instance, PropInfo); }
void TNativeRTTIProvider::SetInt64Prop(QObject* Instance, PPropInfo PropInfo, int64_t Value) { SetOrdProp(Instance, PropInfo, Value); }

bool TNativeRTTIProvider::InheritsFromClass(PPropInfo PropInfo, PTypeInfo AClass)
{
    if (!PropInfo || !AClass || !PropInfo->PropType || PropInfo->PropType->Kind != tkClass) return false;
    PTypeInfo declared = PropInfo->PropType;
    for (PTypeInfo t = declared; t; t = t->Data.ParentInfo)
        if (t == AClass) return true;
    for (PTypeInfo t = AClass; t; t = t->Data.ParentInfo)
        if (t == declared) return true;
    return false;
}

TDesignClassTypes& DesignClassTypes()
{
    static TDesignClassTypes types;
    koDesignRTTI_Initialize();
    return types;
}

// ---------------------------------------------------------------------------------------------------
// Object tokens: the text form of an object reference is a number the inspector handed out for that
// object, never an address; a number nobody handed out, or that of an object gone since, is refused.

namespace {
struct TObjectToken {
    void* Pointer = nullptr;
    PTypeInfo Type = nullptr;
    QPointer<QObject> Guard;
    bool IsQObject = false;
};

struct TObjectTokens {
    QHash<qulonglong, TObjectToken> ByToken;
    QHash<void*, qulonglong> ByPointer;
    qulonglong Next = 1;

    QString TokenOf(const TObjectRef& object)
    {
        if (!object.Pointer) return QStringLiteral("0");
        if (auto it = ByPointer.constFind(object.Pointer); it != ByPointer.constEnd()) {
            TObjectToken& token = ByToken[it.value()];
            if (!token.IsQObject || token.Guard) return QString::number(it.value());
        }
        TObjectToken token;
        token.Pointer = object.Pointer;
        token.Type = object.Type;
        if (QObject* q = object.AsQObject()) {
            token.Guard = q;
            token.IsQObject = true;
        }
        const qulonglong id = Next++;
        ByToken.insert(id, token);
        ByPointer.insert(object.Pointer, id);
        return QString::number(id);
    }

    // Objects that are no QObject cannot be watched: their tokens only name the current value.
    bool Resolve(const QString& text, const TObjectRef& current, TObjectRef& result)
    {
        bool ok = false;
        const qulonglong id = text.trimmed().toULongLong(&ok);
        if (!ok) return false;
        if (id == 0) {
            result = {};
            return true;
        }
        auto it = ByToken.constFind(id);
        if (it == ByToken.constEnd()) return false;
        if (it->IsQObject) {
            if (!it->Guard) return false;
        } else if (it->Pointer != current.Pointer) {
            return false;
        }
        result = {it->Pointer, it->Type};
        return true;
    }
};

TObjectTokens& objectTokens()
{
    static TObjectTokens tokens;
    return tokens;
}
} // namespace

// ---------------------------------------------------------------------------------------------------
// Routines

QString StripTypePrefix(const QString& Name)
{
    return Name.startsWith(QLatin1Char('T')) ? Name.mid(1) : Name;
}

bool IsTypeInfo(PTypeInfo TypeInfo, PTypeInfo Expected) { return TypeInfo && TypeInfo == Expected; }

int GetEnumPropertyValue(const TRunTimeProperty* Prop, const QString& Name)
{
    return Prop ? RTTIProvider()->GetEnumValue(Prop->PropType(), Name) : -1;
}

// ---------------------------------------------------------------------------------------------------
// TRunTimeProperty

TRunTimePropertyClass TRunTimeProperty::ClassInfo()
{
    static const TRunTimePropertyClassOf<TRunTimeProperty> info;
    return &info;
}

TRunTimeProperty::TRunTimeProperty(TRunTimePropertyList* AOwner, PPropInfo APropInfo) : FOwner(AOwner), FPropInfo(APropInfo) {}

TRunTimeProperty::~TRunTimeProperty() = default;

PTypeInfo TRunTimeProperty::GetPropType() const { return FPropInfo ? FPropInfo->PropType : nullptr; }

QString TRunTimeProperty::GetName() const
{
    if (!FPropInfo) return {};
    QString name = FPropInfo->Name;
    if (auto* map = dynamic_cast<IPropertyMap*>(Instance())) name = map->MapPropertyName(name);
    return name.left(255);
}

QString TRunTimeProperty::GetVisualValue() { return GetValue(); }
QString TRunTimeProperty::GetValue() { return SUnknown; }
void TRunTimeProperty::SetValue(const QString&) {}
void TRunTimeProperty::GetValues(QStringList& Values) { Values.clear(); }

TRunTimeProperty* TRunTimeProperty::Parent() const { return FOwner ? FOwner->Owner() : nullptr; }

int TRunTimeProperty::Level() const
{
    int level = 0;
    for (TRunTimeProperty* p = Parent(); p; p = p->Parent()) ++level;
    return level;
}

bool TRunTimeProperty::GetProc() const { return FPropInfo && FPropInfo->Readable; }
bool TRunTimeProperty::SetProc() const { return FPropInfo && FPropInfo->Writable; }
bool TRunTimeProperty::IsStored() const { return FPropInfo && FPropInfo->Stored; }
int TRunTimeProperty::Index() const { return FPropInfo ? FPropInfo->Index : -1; }
int64_t TRunTimeProperty::Default() const { return FPropInfo ? FPropInfo->Default : -1; }
int TRunTimeProperty::NameIndex() const { return FPropInfo ? FPropInfo->NameIndex : -1; }

QString TRunTimeProperty::FullName() const
{
    QString name = GetName();
    for (TRunTimeProperty* p = Parent(); p; p = p->Parent()) name = p->GetName() + QLatin1Char('.') + name;
    return name;
}

QString TRunTimeProperty::TypeName() const
{
    PTypeInfo type = GetPropType();
    return type ? type->Name : QString();
}

int TRunTimeProperty::TypeKind() const
{
    PTypeInfo type = GetPropType();
    return type ? int(type->Kind) : 255;
}

bool TRunTimeProperty::ReadOnly() const { return GetProc() && !SetProc(); }

QObject* TRunTimeProperty::Instance() const { return FOwner ? FOwner->Instance() : nullptr; }

bool TRunTimeProperty::Empty() const { return !FPropInfo || !FOwner || !FOwner->Instance(); }

bool TRunTimeProperty::IsCompatible(QObject* AObject) const
{
    return AObject && IsCompatible(ClassTypeInfo(AObject->metaObject()));
}

bool TRunTimeProperty::IsCompatible(PTypeInfo AClass) const { return RTTIProvider()->InheritsFromClass(FPropInfo, AClass); }

bool TRunTimeProperty::IsCompatible(const TRunTimeProperty* AProperty) const
{
    if (!AProperty || !FPropInfo || !AProperty->FPropInfo) return false;
    return RTTIProvider()->GetTypeData(FPropInfo->PropType) == RTTIProvider()->GetTypeData(AProperty->FPropInfo->PropType);
}

std::unique_ptr<TRunTimePropertyList> TRunTimeProperty::CreatePropertyList()
{
    return FOwner ? FOwner->NewList(this) : nullptr;
}

// ---------------------------------------------------------------------------------------------------
// Ordinals

int64_t TRunTimeOrdinalProperty::GetMinValue() const
{
    const TTypeData* data = RTTIProvider()->GetTypeData(GetPropType());
    return data ? data->MinValue : 0;
}

int64_t TRunTimeOrdinalProperty::GetMaxValue() const
{
    const TTypeData* data = RTTIProvider()->GetTypeData(GetPropType());
    return data ? data->MaxValue : 0;
}

TOrdType TRunTimeOrdinalProperty::OrdType() const
{
    const TTypeData* data = RTTIProvider()->GetTypeData(GetPropType());
    return data ? data->OrdType : otSLong;
}

bool TRunTimeOrdinalProperty::GetAsBoolean() { return !Empty() && AsInteger() != 0; }

void TRunTimeOrdinalProperty::SetAsBoolean(bool Value)
{
    if (!Empty()) SetAsInteger(Value ? 1 : 0);
}

int64_t TRunTimeOrdinalProperty::AsInteger() { return Empty() ? 0 : RTTIProvider()->GetOrdProp(Instance(), FPropInfo); }

void TRunTimeOrdinalProperty::SetAsInteger(int64_t Value)
{
    if (Empty()) return;
    // Narrow storage would keep only the low bits of a larger number (70000 as a Word is 4464).
    if (Value < GetMinValue() || Value > GetMaxValue())
        throw EConvertError(QStringLiteral("Value must be between %1 and %2").arg(GetMinValue()).arg(GetMaxValue()));
    RTTIProvider()->SetOrdProp(Instance(), FPropInfo, Value);
}

QString TRunTimeIntegerProperty::GetValue() { return Empty() ? SUnknown : QString::number(AsInteger()); }

void TRunTimeIntegerProperty::SetValue(const QString& Value)
{
    if (Empty()) return;
    // 64-bit, so that the upper half of an unsigned 32-bit type reads back as shown.
    SetAsInteger(StrToInt64(Value));
}

QString TRunTimeCursorProperty::GetValue() { return Empty() ? SUnknown : CursorToString(int32_t(AsInteger())); }

void TRunTimeCursorProperty::SetValue(const QString& Value)
{
    if (Empty()) return;
    SetAsInteger(StringToCursor(Value));
}

void TRunTimeCursorProperty::GetValues(QStringList& Values) { Values = CursorValues(); }

QString TRunTimeColorProperty::GetValue() { return Empty() ? SUnknown : ColorToString(TColor(uint32_t(AsInteger()))); }

void TRunTimeColorProperty::SetValue(const QString& Value)
{
    if (Empty()) return;
    SetAsInteger(int32_t(StringToColor(Value).Value));
}

void TRunTimeColorProperty::GetValues(QStringList& Values) { Values = ColorValues(); }

namespace {
// An identifier of the table, else a number of the type's range; else refused.
int64_t IdentOrNumber(TRunTimeOrdinalProperty* Prop, const QString& Text, bool (*Ident)(const QString&, int32_t&))
{
    int32_t value = 0;
    if (Ident(Text, value)) return value;
    int64_t number = 0;
    if (TryStrToInt64(Text, number) && number >= Prop->MinValue() && number <= Prop->MaxValue()) return number;
    InvalidValue();
}

// The identifier of the value, else its number (so that what is shown can be typed back).
QString IdentText(TRunTimeOrdinalProperty* Prop, bool (*Ident)(int32_t, QString&))
{
    if (Prop->Empty()) return SUnknown;
    QString ident;
    const int64_t value = Prop->AsInteger();
    return Ident(int32_t(value), ident) ? ident : QString::number(value);
}

void SetIdentText(TRunTimeOrdinalProperty* Prop, const QString& Text, bool (*Ident)(const QString&, int32_t&))
{
    if (!Prop->Empty()) Prop->SetAsInteger(IdentOrNumber(Prop, Text, Ident));
}
} // namespace

QString TRunTimeFontCharSetProperty::GetValue() { return IdentText(this, CharsetToIdent); }
void TRunTimeFontCharSetProperty::SetValue(const QString& Value) { SetIdentText(this, Value, IdentToCharset); }

void TRunTimeFontCharSetProperty::GetValues(QStringList& Values) { Values = CharsetValues(); }

QString TRunTimeModalResultProperty::GetValue() { return IdentText(this, ModalResultToIdent); }
void TRunTimeModalResultProperty::SetValue(const QString& Value) { SetIdentText(this, Value, IdentToModalResult); }

void TRunTimeModalResultProperty::GetValues(QStringList& Values) { Values = ModalResultValues(); }

QString TRunTimeShortCutProperty::GetValue()
{
    if (Empty()) return SShortCutNone;
    const uint16_t value = uint16_t(AsInteger() & 0xFFFF);
    if (value == 0) return SShortCutNone;
    const QString text = ShortCutToText(TShortCut(value));
    return text.isEmpty() ? QString::number(value) : text;
}

void TRunTimeShortCutProperty::SetValue(const QString& Value)
{
    if (Empty()) return;
    const QString text = Value.trimmed();
    if (text.isEmpty() || SameText(text, SNone)) return SetAsInteger(0);
    const TShortCut shortCut = TextToShortCut(text);
    if (shortCut.Value == 0) InvalidValue();
    SetAsInteger(shortCut.Value);
}

void TRunTimeShortCutProperty::GetValues(QStringList& Values)
{
    Values.clear();
    Values.append(SNone);
    auto add = [&Values](uint16_t code) { Values.append(ShortCutToText(TShortCut(code))); };
    for (uint16_t key = 'A'; key <= 'Z'; ++key) add(scCtrl | key);
    for (uint16_t key = 'A'; key <= 'Z'; ++key) add(scCtrl | scAlt | key);
    constexpr uint16_t F1 = 0x70;
    for (uint16_t modifiers : {uint16_t(0), scCtrl, scShift, uint16_t(scShift | scCtrl)})
        for (uint16_t key = F1; key < F1 + 12; ++key) add(modifiers | key);
    constexpr uint16_t Insert = 0x2D, Delete = 0x2E, Back = 0x08;
    for (uint16_t code : {Insert, uint16_t(scShift | Insert), uint16_t(scCtrl | Insert), Delete, uint16_t(scShift | Delete),
                          uint16_t(scCtrl | Delete), uint16_t(scAlt | Back), uint16_t(scShift | scAlt | Back)})
        add(code);
}

QString TRunTimeCharProperty::GetValue() { return QString(AsChar()); }

void TRunTimeCharProperty::SetValue(const QString& Value)
{
    if (Value.size() > 1) InvalidValue();
    if (Empty()) return;
    SetAsInteger(Value.isEmpty() ? 0 : Value[0].unicode());
}

QChar TRunTimeCharProperty::AsChar() { return Empty() ? QChar(0) : QChar(char16_t(AsInteger())); }

QString TRunTimeEnumProperty::GetValue()
{
    if (Empty()) return SUnknown;
    QString name;
    RTTIProvider()->GetEnumProp(Instance(), FPropInfo, name);
    return name;
}

void TRunTimeEnumProperty::SetValue(const QString& Value)
{
    if (Empty()) return;
    RTTIProvider()->SetEnumProp(Instance(), FPropInfo, Value);
}

void TRunTimeEnumProperty::GetValues(QStringList& Values)
{
    Values.clear();
    for (int64_t v = MinValue(); v <= MaxValue(); ++v) {
        QString name;
        RTTIProvider()->GetEnumName(GetPropType(), int(v), name);
        Values.append(name);
    }
}

PTypeInfo TRunTimeEnumProperty::BaseType() const
{
    const TTypeData* data = RTTIProvider()->GetTypeData(GetPropType());
    return data ? data->BaseType : nullptr;
}

void TRunTimeBooleanProperty::GetValues(QStringList& Values) { Values = QStringList{SFalse, STrue}; }

// ---------------------------------------------------------------------------------------------------
// Sets

PTypeInfo TRunTimeSetProperty::CompType() const
{
    const TTypeData* data = RTTIProvider()->GetTypeData(GetPropType());
    return data ? data->CompType : nullptr;
}

void TRunTimeSetProperty::AfterConstruction()
{
    FProperties = CreatePropertyList();
    PTypeInfo comp = CompType();
    if (!FProperties || !comp) return;
    const int64_t last = std::min<int64_t>(comp->Data.MaxValue, 31);
    for (int64_t ordinal = std::max<int64_t>(comp->Data.MinValue, 0); ordinal <= last; ++ordinal) {
        // Bits without an identifier have no row.
        if (ordinal >= comp->Data.Names.size() || comp->Data.Names[int(ordinal)].isEmpty()) continue;
        auto element = std::make_unique<TRunTimeSetElementProperty>(FProperties.get(), nullptr);
        element->SetElementIndex(int(ordinal));
        FProperties->AddProperty(std::move(element));
    }
}

QString TRunTimeSetProperty::GetValue()
{
    if (Empty()) return SUnknown;
    QString text;
    RTTIProvider()->GetSetProp(Instance(), FPropInfo, text, true);
    return text;
}

void TRunTimeSetProperty::SetValue(const QString& Value)
{
    if (Empty()) return;
    RTTIProvider()->SetSetProp(Instance(), FPropInfo, Value);
}

PTypeInfo TRunTimeSetElementProperty::GetPropType() const { return TypeInfo<bool>(); }

QString TRunTimeSetElementProperty::GetName() const
{
    TRunTimeSetProperty* set = SetProperty();
    PTypeInfo comp = set ? set->CompType() : nullptr;
    if (!comp) return {};
    QString name;
    RTTIProvider()->GetEnumName(comp, FElementIndex, name);
    return name;
}

TRunTimeSetProperty* TRunTimeSetElementProperty::SetProperty() const { return dynamic_cast<TRunTimeSetProperty*>(Parent()); }

bool TRunTimeSetElementProperty::GetAsBoolean()
{
    TRunTimeSetProperty* set = SetProperty();
    return set && (set->AsInteger() & (int64_t(1) << FElementIndex)) != 0;
}

void TRunTimeSetElementProperty::SetAsBoolean(bool Value)
{
    TRunTimeSetProperty* set = SetProperty();
    if (!set || set->Empty()) return;
    const int64_t bit = int64_t(1) << FElementIndex;
    const int64_t old = set->AsInteger();
    const int64_t value = Value ? (old | bit) : (old & ~bit);
    if (value != old) RTTIProvider()->SetOrdProp(set->Instance(), set->PropInfo(), value);
}

QString TRunTimeSetElementProperty::GetValue() { return GetAsBoolean() ? STrue : SFalse; }

void TRunTimeSetElementProperty::SetValue(const QString& Value)
{
    const int value = RTTIProvider()->GetEnumValue(TypeInfo<bool>(), Value.trimmed());
    if (value < 0) InvalidValue();
    SetAsBoolean(value != 0);
}

// ---------------------------------------------------------------------------------------------------
// Strings

QString TRunTimeStringProperty::GetValue() { return Empty() ? SUnknown : AsString(); }

void TRunTimeStringProperty::SetValue(const QString& Value)
{
    if (Empty()) return;
    RTTIProvider()->SetStrProp(Instance(), FPropInfo, Value);
}

int TRunTimeStringProperty::MaxLength() const
{
    const TTypeData* data = RTTIProvider()->GetTypeData(GetPropType());
    return data ? data->MaxLength : 255;
}

QString TRunTimeStringProperty::AsString()
{
    QString value;
    if (!Empty()) RTTIProvider()->GetStrProp(Instance(), FPropInfo, value);
    return value;
}

void TRunTimeFontNameProperty::GetValues(QStringList& Values) { Values = QFontDatabase::families(); }

int TRunTimeFontNameProperty::FontTypeData(const QString& Family)
{
    int data = 0;
    if (!QFontDatabase::isFixedPitch(Family)) data |= 0x01; // set for variable pitch
    if (QFontDatabase::isScalable(Family)) data |= 0x04;
    if (QFontDatabase::writingSystems(Family).contains(QFontDatabase::Symbol)) data |= 0x8000000;
    return data;
}

// ---------------------------------------------------------------------------------------------------
// Floats, dates and times

TFloatType TRunTimeFloatProperty::FloatType() const
{
    const TTypeData* data = RTTIProvider()->GetTypeData(GetPropType());
    return data ? data->FloatType : ftDouble;
}

double TRunTimeFloatProperty::AsFloat() { return Empty() ? 0.0 : RTTIProvider()->GetFloatProp(Instance(), FPropInfo); }

void TRunTimeFloatProperty::SetAsFloat(double Value)
{
    if (Empty()) return;
    // A Single holds no more than FLT_MAX; a larger number would become infinity.
    if (!std::isfinite(Value) || (FloatType() == ftSingle && std::fabs(Value) > FLT_MAX))
        throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(FloatToStr(Value)));
    RTTIProvider()->SetFloatProp(Instance(), FPropInfo, Value);
}

QString TRunTimeFloatProperty::GetValue() { return Empty() ? SUnknown : FloatToStr(AsFloat()); }

void TRunTimeFloatProperty::SetValue(const QString& Value)
{
    if (Empty()) return;
    SetAsFloat(StrToFloat(Value));
}

namespace {
// Dates and times show the value 0 as an empty text, and take an empty text as 0.
QString DateText(TRunTimeFloatProperty* Prop, QString (*ToText)(double, const TFormatSettings&))
{
    const double value = Prop->AsFloat();
    return Prop->Empty() || value == 0 ? QString() : ToText(value, FormatSettings());
}

void SetDateText(TRunTimeFloatProperty* Prop, const QString& Text, double (*FromText)(const QString&, const TFormatSettings&))
{
    if (!Prop->Empty()) Prop->SetAsFloat(Text.trimmed().isEmpty() ? 0.0 : FromText(Text, FormatSettings()));
}
} // namespace

QString TRunTimeDateProperty::GetValue() { return DateText(this, DateToStr); }
void TRunTimeDateProperty::SetValue(const QString& Value) { SetDateText(this, Value, StrToDate); }
QString TRunTimeTimeProperty::GetValue() { return DateText(this, TimeToStr); }
void TRunTimeTimeProperty::SetValue(const QString& Value) { SetDateText(this, Value, StrToTime); }
QString TRunTimeDateTimeProperty::GetValue() { return DateText(this, DateTimeToStr); }
void TRunTimeDateTimeProperty::SetValue(const QString& Value) { SetDateText(this, Value, StrToDateTime); }

QVariant TRunTimeVariantProperty::AsVariant()
{
    QVariant value;
    if (!Empty()) RTTIProvider()->GetVariantProp(Instance(), FPropInfo, value);
    return value;
}

QString TRunTimeVariantProperty::GetValue() { return Empty() ? SUnknown : AsVariant().toString(); }

void TRunTimeVariantProperty::SetValue(const QString& Value)
{
    if (Empty()) return;
    RTTIProvider()->SetVariantProp(Instance(), FPropInfo, QVariant(Value));
}

// ---------------------------------------------------------------------------------------------------
// Objects

PTypeInfo TRunTimeClassProperty::ClassRef() const { return GetPropType(); }

PTypeInfo TRunTimeClassProperty::ParentInfo() const
{
    const TTypeData* data = RTTIProvider()->GetTypeData(GetPropType());
    return data ? data->ParentInfo : nullptr;
}

TObjectRef TRunTimeClassProperty::AsObject() { return Empty() ? TObjectRef() : RTTIProvider()->GetObjectProp(Instance(), FPropInfo); }

namespace {
// True when the object is the instance of the list or of any list above it.
bool IsInstanceAbove(TRunTimePropertyList* List, QObject* Object)
{
    for (TRunTimePropertyList* list = List; list; list = list->Parent())
        if (list->Instance() == Object) return true;
    return false;
}
} // namespace

void TRunTimeClassProperty::AfterConstruction()
{
    if (Empty()) return;
    QObject* object = AsObject().AsQObject();
    if (!object || IsInstanceAbove(FOwner, object)) return;
    FProperties = CreatePropertyList();
    if (FProperties) FProperties->SetInstance(object);
}

void TRunTimeClassProperty::SetAsObject(const TObjectRef& Value)
{
    if (Empty()) return;
    RTTIProvider()->SetObjectProp(Instance(), FPropInfo, Value);
    QObject* object = AsObject().AsQObject();
    if (object && IsInstanceAbove(FOwner, object)) {
        FProperties.reset();
        return;
    }
    if (!FProperties) FProperties = CreatePropertyList();
    if (FProperties) FProperties->SetInstance(object);
}

void TRunTimeClassProperty::SetAsObject(QObject* Value)
{
    SetAsObject(TObjectRef{Value, Value ? ClassTypeInfo(Value->metaObject()) : nullptr});
}

QString TRunTimeClassProperty::GetVisualValue() { return Empty() ? SNoneValue : SObjectValue; }

QString TRunTimeClassProperty::GetValue() { return Empty() ? SUnknown : objectTokens().TokenOf(AsObject()); }

void TRunTimeClassProperty::SetValue(const QString& Value)
{
    if (Empty()) return;
    TObjectRef object;
    if (!objectTokens().Resolve(Value, AsObject(), object)) InvalidValue();
    SetAsObject(object);
}

QString TRunTimeComponentProperty::GetVisualValue()
{
    if (Empty()) return {};
    const TObjectRef object = AsObject();
    if (!object) return {};
    QObject* q = object.AsQObject();
    PTypeInfo component = DesignClassTypes().Component;
    // A property declared as a common ancestor may hold an object that is no component.
    if (!q || !component || !component->Data.ClassMeta || !q->metaObject()->inherits(component->Data.ClassMeta))
        return SObjectValue;
    return q->objectName();
}

void TRunTimeComponentProperty::SetValue(const QString& Value)
{
    if (Empty()) return;
    if (Value.trimmed().isEmpty()) return SetAsObject(TObjectRef());
    QObject* component = FOwner->FindComponent(Value.trimmed());
    if (!component) InvalidValue();
    SetAsObject(component);
}

QString TRunTimeCollectionProperty::GetVisualValue() { return Empty() ? SNoneValue : SListValue; }

QString TRunTimeGraphicProperty::GetVisualValue()
{
    if (Empty()) return SNoneValue;
    const TObjectRef object = AsObject();
    const TGraphic* graphic = object.As<TGraphic>();
    if (!graphic || graphic->Empty()) return SNoneValue;
    return QLatin1Char('(') + StripTypePrefix(QString::fromLatin1(graphic->ClassName())) + QLatin1Char(')');
}

void TRunTimeGraphicProperty::SetValue(const QString& Value)
{
    if (Empty()) return;
    if (Value.trimmed().isEmpty()) return SetAsObject(TObjectRef());
    TRunTimeClassProperty::SetValue(Value);
}

QString TRunTimePictureProperty::GetVisualValue() { return TRunTimeGraphicProperty::GetVisualValue(); }

void TRunTimePictureProperty::SetValue(const QString& Value) { TRunTimeClassProperty::SetValue(Value); }

// ---------------------------------------------------------------------------------------------------
// Int64 and methods

int64_t TRunTimeInt64Property::MinValue() const
{
    const TTypeData* data = RTTIProvider()->GetTypeData(GetPropType());
    return data ? data->MinValue : 0;
}

int64_t TRunTimeInt64Property::MaxValue() const
{
    const TTypeData* data = RTTIProvider()->GetTypeData(GetPropType());
    return data ? data->MaxValue : 0;
}

int64_t TRunTimeInt64Property::AsInt64() { return Empty() ? 0 : RTTIProvider()->GetInt64Prop(Instance(), FPropInfo); }

void TRunTimeInt64Property::SetAsInt64(int64_t Value)
{
    if (Empty()) return;
    if (Value < MinValue() || Value > MaxValue())
        throw EConvertError(QStringLiteral("Value must be between %1 and %2").arg(MinValue()).arg(MaxValue()));
    RTTIProvider()->SetInt64Prop(Instance(), FPropInfo, Value);
}

QString TRunTimeInt64Property::GetValue() { return QString::number(AsInt64()); }

void TRunTimeInt64Property::SetValue(const QString& Value)
{
    if (Empty()) return;
    SetAsInt64(StrToInt64(Value));
}

TMethod TRunTimeMethodProperty::AsMethod()
{
    TMethod method;
    if (!Empty()) RTTIProvider()->GetMethodProp(Instance(), FPropInfo, method);
    return method;
}

void TRunTimeMethodProperty::SetAsMethod(const TMethod& Value)
{
    if (!Empty()) RTTIProvider()->SetMethodProp(Instance(), FPropInfo, Value);
}

QString TRunTimeMethodProperty::GetValue()
{
    if (!FOwner) return SUnknown;
    QString text;
    FOwner->GetMethodValue(this, text);
    return text;
}

void TRunTimeMethodProperty::SetValue(const QString& Value)
{
    if (Empty()) return;
    TMethod method;
    FOwner->GetMethodAddress(this, Value, method);
    SetAsMethod(method);
}

// ---------------------------------------------------------------------------------------------------
// TRunTimePropertyList

TRunTimePropertyList::TRunTimePropertyList(TRunTimeProperty* AOwner) : FOwner(AOwner) {}

TRunTimePropertyList::~TRunTimePropertyList() = default;

TRunTimePropertyClass TRunTimePropertyList::GetPropertyClass(PPropInfo PropInfo)
{
    if (!PropInfo || !PropInfo->PropType) return nullptr;
    switch (PropInfo->PropType->Kind) {
    case tkInteger: return TRunTimeIntegerProperty::ClassInfo();
    case tkChar:
    case tkWChar: return TRunTimeCharProperty::ClassInfo();
    case tkEnumeration: return TRunTimeEnumProperty::ClassInfo();
    case tkFloat: return TRunTimeFloatProperty::ClassInfo();
    case tkString:
    case tkLString:
    case tkWString:
    case tkUString: return TRunTimeStringProperty::ClassInfo();
    case tkSet: return TRunTimeSetProperty::ClassInfo();
    case tkClass: return TRunTimeClassProperty::ClassInfo();
    case tkMethod: return TRunTimeMethodProperty::ClassInfo();
    case tkVariant: return TRunTimeVariantProperty::ClassInfo();
    case tkInterface: return TRunTimeInterfaceProperty::ClassInfo();
    case tkInt64: return TRunTimeInt64Property::ClassInfo();
    default: return nullptr;
    }
}

TRunTimePropertyClass TRunTimePropertyList::RefinedPropertyClass(PPropInfo PropInfo)
{
    if (!PropInfo || !PropInfo->PropType) return nullptr;
    PTypeInfo type = PropInfo->PropType;
    switch (type->Kind) {
    case tkInteger:
        if (type == TypeInfo<TCursorValue>()) return TRunTimeCursorProperty::ClassInfo();
        if (type == TypeInfo<TColor>()) return TRunTimeColorProperty::ClassInfo();
        if (type == TypeInfo<TFontCharset>()) return TRunTimeFontCharSetProperty::ClassInfo();
        if (type == TypeInfo<TModalResult>()) return TRunTimeModalResultProperty::ClassInfo();
        if (type == TypeInfo<TShortCut>()) return TRunTimeShortCutProperty::ClassInfo();
        break;
    case tkFloat:
        if (type == TypeInfo<TDate>()) return TRunTimeDateProperty::ClassInfo();
        if (type == TypeInfo<TTime>()) return TRunTimeTimeProperty::ClassInfo();
        if (type == TypeInfo<TDateTime>()) return TRunTimeDateTimeProperty::ClassInfo();
        break;
    case tkEnumeration:
        if (type == TypeInfo<bool>()) return TRunTimeBooleanProperty::ClassInfo();
        if (type == TypeInfo<TPenStyle>()) return TRunTimePenStyleProperty::ClassInfo();
        if (type == TypeInfo<TBrushStyle>()) return TRunTimeBrushStyleProperty::ClassInfo();
        break;
    case tkUString:
        if (type == TypeInfo<TFontName>()) return TRunTimeFontNameProperty::ClassInfo();
        if (type == TypeInfo<TCaption>()) return TRunTimeCaptionProperty::ClassInfo();
        break;
    case tkClass: {
        const TDesignClassTypes& classes = DesignClassTypes();
        IRunTimeRTTIProvider* provider = RTTIProvider();
        auto related = [&](PTypeInfo c) { return c && provider->InheritsFromClass(PropInfo, c); };
        if (related(classes.Component)) return TRunTimeComponentProperty::ClassInfo();
        if (related(classes.Collection)) return TRunTimeCollectionProperty::ClassInfo();
        if (related(classes.Font)) return TRunTimeFontProperty::ClassInfo();
        if (related(classes.Strings)) return TRunTimeStringsProperty::ClassInfo();
        if (related(classes.Picture)) return TRunTimePictureProperty::ClassInfo();
        if (related(classes.Graphic)) {
            if (related(classes.Bitmap)) return TRunTimeBitmapProperty::ClassInfo();
            if (related(classes.Icon)) return TRunTimeIconProperty::ClassInfo();
            return TRunTimeGraphicProperty::ClassInfo();
        }
        break;
    }
    default: break;
    }
    return TRunTimePropertyList().GetPropertyClass(PropInfo);
}

bool TRunTimePropertyList::ExcludeProperty(TRunTimeProperty*) { return false; }
void TRunTimePropertyList::GetMethodValue(TRunTimeProperty*, QString& Text) { Text.clear(); }
void TRunTimePropertyList::GetMethodAddress(TRunTimeProperty*, const QString&, TMethod& Method) { Method = TMethod(); }
QObject* TRunTimePropertyList::FindComponent(const QString&) { return nullptr; }

std::unique_ptr<TRunTimePropertyList> TRunTimePropertyList::NewList(TRunTimeProperty* AOwner)
{
    return std::make_unique<TRunTimePropertyList>(AOwner);
}

void TRunTimePropertyList::Refresh()
{
    Clear();
    QObject* instance = Instance();
    if (!instance) return;
    PTypeInfo type = ClassTypeInfo(instance->metaObject());
    if (!type) return;
    std::vector<PPropInfo> props;
    RTTIProvider()->GetPropList(type, AllTypeKinds(), props);
    for (PPropInfo p : props) AddPropInfo(p);
}

void TRunTimePropertyList::AddPropInfo(PPropInfo PropInfo)
{
    if (TRunTimePropertyClass propertyClass = GetPropertyClass(PropInfo)) AddProperty(propertyClass->Create(this, PropInfo));
}

TRunTimeProperty* TRunTimePropertyList::Items(int Index) const
{
    return Index >= 0 && Index < Count() ? FProperties[size_t(Index)].get() : nullptr;
}

TRunTimePropertyList* TRunTimePropertyList::Parent() const { return FOwner ? FOwner->Owner() : nullptr; }

void TRunTimePropertyList::SetInstance(QObject* Value)
{
    if (FInstance.data() == Value && (Value || FProperties.empty())) return;
    FInstance = Value;
    Refresh();
}

TRunTimePropertyList* TRunTimePropertyList::Root()
{
    TRunTimePropertyList* list = this;
    while (list->Parent()) list = list->Parent();
    return list;
}

void TRunTimePropertyList::Clear() { FProperties.clear(); }

void TRunTimePropertyList::AddProperty(std::unique_ptr<TRunTimeProperty> AProperty)
{
    if (AProperty) FProperties.push_back(std::move(AProperty));
}

std::unique_ptr<TRunTimeProperty> TRunTimePropertyList::DeleteProperty(int Index)
{
    if (Index < 0 || Index >= Count()) return nullptr;
    auto result = std::move(FProperties[size_t(Index)]);
    FProperties.erase(FProperties.begin() + Index);
    return result;
}

int TRunTimePropertyList::IndexOf(const TRunTimeProperty* AProperty) const
{
    for (int i = 0; i < Count(); ++i)
        if (FProperties[size_t(i)].get() == AProperty) return i;
    return -1;
}

int TRunTimePropertyList::IndexOfName(const QString& Name) const
{
    for (int i = 0; i < Count(); ++i)
        if (SameText(FProperties[size_t(i)]->Name(), Name)) return i;
    return -1;
}

TRunTimeProperty* TRunTimePropertyList::PropertyByName(const QString& Name) const
{
    const TRunTimePropertyList* list = this;
    TRunTimeProperty* result = nullptr;
    for (const QString& step : Name.split(QLatin1Char('.'))) {
        if (!list) return nullptr;
        result = list->Items(list->IndexOfName(step));
        if (!result) return nullptr;
        list = result->Properties();
    }
    return result;
}

bool TRunTimePropertyList::Contains(PPropInfo APropInfo) const
{
    if (!APropInfo) return false;
    for (const auto& p : FProperties)
        if (p->PropInfo() && p->PropInfo()->PropType == APropInfo->PropType && SameText(p->Name(), APropInfo->Name)) return true;
    return false;
}

void TRunTimePropertyList::Intersect(const TRunTimePropertyList* APropList)
{
    // Both sides by displayed name: a name mapped the same way on two objects of one class must stay.
    auto otherHas = [APropList](TRunTimeProperty* p) {
        if (!APropList || !p->PropInfo()) return false;
        const QString name = p->Name();
        for (int i = 0; i < APropList->Count(); ++i) {
            TRunTimeProperty* q = APropList->Items(i);
            if (q->PropInfo() && q->PropInfo()->PropType == p->PropInfo()->PropType && SameText(q->Name(), name)) return true;
        }
        return false;
    };
    for (int i = Count() - 1; i >= 0; --i) {
        TRunTimeProperty* p = Items(i);
        if (!p || !otherHas(p) || ExcludeProperty(p)) FProperties.erase(FProperties.begin() + i);
    }
}

// ---------------------------------------------------------------------------------------------------

void koDesignRTTI_Initialize()
{
    static bool done = false;
    if (done) return;
    done = true;
    TDesignClassTypes& classes = DesignClassTypes();
    classes.Component = ClassTypeInfo(&QWidget::staticMetaObject);
    classes.Collection = RegisterClassTypeInfo<TCustomResourceItemItems>("TCustomResourceItemItems", nullptr);
    classes.Strings = RegisterClassTypeInfo<TStringList>("TStringList", nullptr);
    classes.Graphic = RegisterClassTypeInfo<TGraphic>("TGraphic", nullptr);
    classes.Bitmap = RegisterClassTypeInfo<TBitmap, TGraphic>("TBitmap", classes.Graphic);
    classes.Icon = RegisterClassTypeInfo<TIcon, TGraphic>("TIcon", classes.Graphic);

    // The element collections of the resource kinds: published as collections of their items.
    PTypeInfo collection = classes.Collection;
    RegisterClassTypeInfo<TResourceDialogItems, TCustomResourceItemItems>("TResourceDialogItems", collection);
    RegisterClassTypeInfo<TResourceMenuItems, TCustomResourceItemItems>("TResourceMenuItems", collection);
    RegisterClassTypeInfo<TAcceleratorItems, TCustomResourceItemItems>("TAcceleratorItems", collection);
    RegisterClassTypeInfo<TResourceStrings, TCustomResourceItemItems>("TResourceStrings", collection);
    RegisterClassTypeInfo<TResourceToolbarItems, TCustomResourceItemItems>("TResourceToolbarItems", collection);
    RegisterClassTypeInfo<TDesignInfoItems, TCustomResourceItemItems>("TDesignInfoItems", collection);
    RegisterClassTypeInfo<TResourceMapItems, TCustomResourceItemItems>("TResourceMapItems", collection);
    RegisterClassTypeInfo<TSymbolDefCollection, TCustomResourceItemItems>("TSymbolDefCollection", collection);
    RegisterClassTypeInfo<TSymbolDefFileItemCollection, TCustomResourceItemItems>("TSymbolDefFileItemCollection", collection);
    RegisterClassTypeInfo<TFileMapItems, TCustomResourceItemItems>("TFileMapItems", collection);
    RegisterClassTypeInfo<TSymbolMapSymbolItems, TCustomResourceItemItems>("TSymbolMapSymbolItems", collection);
    RegisterClassTypeInfo<TSymbolMapItems, TCustomResourceItemItems>("TSymbolMapItems", collection);
    RegisterClassTypeInfo<TDesignInfoItemTags>("TDesignInfoItemTags", nullptr);
    RegisterClassTypeInfo<TDelphiPackageInfoRequiresCollection, TCustomResourceItemItems>("TDelphiPackageInfoRequiresCollection", collection);
    RegisterClassTypeInfo<TDelphiPackageInfoContainsCollection, TCustomResourceItemItems>("TDelphiPackageInfoContainsCollection", collection);
    // An accelerator's key and flags in one word.
    RegisterOrdinalTypeInfo<TAccelerator>("TAccelerator", otUWord, 0, 65535);
}
