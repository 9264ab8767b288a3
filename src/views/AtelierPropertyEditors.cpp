#include "AtelierPropertyEditors.h"

#include "designer/koDesignInterface.h"
#include "designer/koDesignPropertyEditors.h"
#include "model/koResources.h"
#include "model/koResourcesIdentifier.h"
#include "model/koResourcesItem.h"
#include "model/koResourcesItemItems.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/Exceptions.h"
#include "platform/Languages.h"
#include "platform/SysUtils.h"
#include "views/AtelierAcceleratorPropertyEditors.h"
#include "views/AtelierDialogPropertyEditors.h"
#include "views/AtelierImagePropertyEditors.h"

#include <algorithm>
#include <vector>

namespace {
const char* const SLanguageNeutral = "Language neutral";
const int CurrentGroup = 0;

std::vector<TPropertyClassRec>& PropertyClassList() { return PropertyEditorRegistrations(); }

std::vector<TPropertyMapperFunc>& PropertyMapperList()
{
    static std::vector<TPropertyMapperFunc> list;
    return list;
}

bool ClassInheritsFrom(PTypeInfo Class, PTypeInfo Ancestor)
{
    for (PTypeInfo c = Class; c; c = c->Data.ParentInfo)
        if (c == Ancestor) return true;
    return false;
}

bool BothClasses(PTypeInfo A, PTypeInfo B) { return A && B && A->Kind == tkClass && B->Kind == tkClass; }

// Our types carry no interface chains, so interface types match by identity only.
bool TypeMatches(PTypeInfo Registered, PTypeInfo PropType)
{
    if (Registered == PropType) return true;
    return BothClasses(Registered, PropType) && ClassInheritsFrom(PropType, Registered);
}

PTypeInfo InstanceClass(QObject* Instance) { return Instance ? ClassTypeInfo(Instance->metaObject()) : nullptr; }

QString MappedName(QObject* Instance, PPropInfo PropInfo)
{
    if (auto* map = dynamic_cast<IPropertyMap*>(Instance)) return map->MapPropertyName(PropInfo->Name);
    return PropInfo->Name;
}

bool Replaces(const TPropertyClassRec& P, const TPropertyClassRec& C, PTypeInfo T)
{
    if (!C.ComponentClass && P.ComponentClass) return true;
    if (C.PropertyName.isEmpty() && !P.PropertyName.isEmpty()) return true;
    if (C.PropertyType != T && P.PropertyType == T) return true;
    if (P.PropertyType != C.PropertyType && BothClasses(P.PropertyType, C.PropertyType) &&
        ClassInheritsFrom(P.PropertyType, C.PropertyType))
        return true;
    return C.ComponentClass && P.ComponentClass && C.ComponentClass != P.ComponentClass &&
           ClassInheritsFrom(P.ComponentClass, C.ComponentClass);
}

bool EditorsRegistered = false;
} // namespace

std::vector<TPropertyClassRec>& PropertyEditorRegistrations()
{
    static std::vector<TPropertyClassRec> list;
    return list;
}

void DoRegisterPropertyEditor(PTypeInfo PropertyType, PTypeInfo ComponentClass, const QString& PropertyName,
                              TRunTimePropertyEditorClass EditorClass)
{
    TPropertyClassRec rec;
    rec.Group = CurrentGroup;
    rec.PropertyType = PropertyType;
    rec.ComponentClass = ComponentClass;
    if (ComponentClass) rec.PropertyName = PropertyName;
    rec.EditorClass = EditorClass;
    auto& list = PropertyClassList();
    list.insert(list.begin(), rec);
}

void DoRegisterPropertyMapper(TPropertyMapperFunc Mapper)
{
    auto& list = PropertyMapperList();
    list.insert(list.begin(), std::move(Mapper));
}

TRunTimePropertyEditorClass DefaultEditorClassOfKind(TTypeKind Kind)
{
    switch (Kind) {
    case tkInteger: return TRunTimeIntegerPropertyEditor::ClassInfo();
    case tkEnumeration: return TRunTimeEnumPropertyEditor::ClassInfo();
    case tkFloat: return TRunTimeFloatPropertyEditor::ClassInfo();
    case tkString:
    case tkWChar:
    case tkLString:
    case tkWString:
    case tkUString: return TRunTimeStringPropertyEditor::ClassInfo();
    case tkSet: return TRunTimeSetPropertyEditor::ClassInfo();
    case tkClass: return TRunTimeClassPropertyEditor::ClassInfo();
    case tkMethod: return TRunTimeMethodPropertyEditor::ClassInfo();
    default: return nullptr;
    }
}

TRunTimePropertyEditorClass FindPropertyEditorClass(PPropInfo PropInfo, QObject* Instance,
                                                    TRunTimePropertyEditorClass DefaultEditorClass)
{
    if (!PropInfo) return DefaultEditorClass;
    for (const TPropertyMapperFunc& mapper : PropertyMapperList())
        if (TRunTimePropertyEditorClass answer = mapper(Instance, PropInfo)) return answer;
    const PTypeInfo T = PropInfo->PropType;
    const PTypeInfo instanceClass = InstanceClass(Instance);
    const TPropertyClassRec* C = nullptr;
    QString mappedName;
    bool nameMapped = false;
    for (const TPropertyClassRec& P : PropertyClassList()) {
        if (!TypeMatches(P.PropertyType, T)) continue;
        if (P.ComponentClass && !ClassInheritsFrom(instanceClass, P.ComponentClass)) continue;
        if (P.ClassGroup) continue; // instances have no class group
        if (!P.PropertyName.isEmpty()) {
            if (!nameMapped) {
                mappedName = MappedName(Instance, PropInfo);
                nameMapped = true;
            }
            if (!SameText(P.PropertyName, mappedName)) continue;
        }
        if (!C || Replaces(P, *C, T)) C = &P;
    }
    if (C) return C->EditorClass;
    if (DefaultEditorClass) return DefaultEditorClass;
    return T ? DefaultEditorClassOfKind(T->Kind) : nullptr;
}

void RegisterResourcePropertyEditors()
{
    const PTypeInfo item = ClassTypeInfo(&TCustomResourceItem::staticMetaObject);
    const PTypeInfo element = ClassTypeInfo(&TCustomResourceItemItem::staticMetaObject);
    const PTypeInfo identifier = ClassTypeInfo(&TCustomResourceIdentifier::staticMetaObject);
    RegisterPropertyEditor(TypeInfo<TLanguageID>(), item, QStringLiteral("Language"),
                           TResourceItemLanguageProperty::ClassInfo());
    RegisterPropertyEditor(TypeInfo<TResourceIdent>(), item, {}, TResourceItemIdentValueProperty::ClassInfo());
    RegisterPropertyEditor(identifier, item, {}, TResourceIdentifierProperty::ClassInfo());
    RegisterPropertyEditor(identifier, element, {}, TResourceIdentifierProperty::ClassInfo());
    RegisterPropertyEditor(TypeInfo<QString>(), identifier, QStringLiteral("Identifier"),
                           TResourceIdentifierSymbolProperty::ClassInfo());
    RegisterAcceleratorPropertyEditors();
    RegisterDialogPropertyEditors();
    RegisterImagePropertyEditors();
}

void EnsureResourcePropertyEditors()
{
    // Without the registry's hook installed registrations would go nowhere; try again next time.
    if (EditorsRegistered || !RegisterPropertyEditorProc()) return;
    EditorsRegistered = true;
    RegisterResourcePropertyEditors();
}

void AtelierPropertyEditors_Initialize()
{
    RegisterPropertyEditorProc() = DoRegisterPropertyEditor;
}

void AtelierPropertyEditors_Finalize()
{
    RegisterPropertyEditorProc() = nullptr;
}

TCustomResourceModule* ModuleOfItem(TCustomResourceItem* Item)
{
    for (TCustomResourceItem* item = Item; item; item = item->Parent())
        if (item->Module()) return item->Module();
    return nullptr;
}

QString SymbolValueText(const TResourceSymbol* Symbol)
{
    return Symbol->IsNumeric() ? QString::number(Symbol->Value().toLongLong()) : Symbol->Value().toString();
}

void AddModuleItemIDs(TCustomResourceModule* Module, uint16_t ResourceType, QStringList& Values)
{
    if (!Module) return;
    for (TCustomResourceItem* item : *Module->Items())
        if (item->ResourceTypeIsInteger() && item->ResourceTypeInteger() == ResourceType) Values << item->ID()->ID();
}

// TCustomResourceItemProperty

TCustomResourceItem* TCustomResourceItemProperty::GetResourceItem()
{
    return qobject_cast<TCustomResourceItem*>(Prop(0)->Instance());
}

int TCustomResourceItemProperty::GetEditLimit() { return 127; }

QString TCustomResourceItemProperty::GetVisualValue() { return GetValue(); }

// TResourceItemLanguageProperty

TRunTimePropertyAttributes TResourceItemLanguageProperty::GetAttributes() { return {paValueList}; }

QString TResourceItemLanguageProperty::GetValue() { return LanguageIDToString(uint16_t(GetOrdValue())); }

void TResourceItemLanguageProperty::GetValues(QStringList& Values)
{
    Values << QStringLiteral("(%1)").arg(QString::fromLatin1(SLanguageNeutral));
    QStringList names;
    for (const TLanguageInfo* info : Languages()) names << QString::fromUtf8(info->Name);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) { return CompareText(a, b) < 0; });
    Values << names;
}

void TResourceItemLanguageProperty::SetValue(const QString& Value)
{
    if (SameText(Value, QStringLiteral("(%1)").arg(QString::fromLatin1(SLanguageNeutral)))) {
        SetOrdValue(0);
        return;
    }
    for (const TLanguageInfo* info : Languages())
        if (SameText(QString::fromUtf8(info->Name), Value)) {
            SetOrdValue(info->LangID);
            return;
        }
    // Language IDs are 16 bits; other numbers would be refused by the property.
    SetOrdValue(uint16_t(StrToIntDef(Value, 0)));
}

// TResourceItemIdentValueProperty

TRunTimePropertyAttributes TResourceItemIdentValueProperty::GetAttributes() { return {paValueList}; }

QString TResourceItemIdentValueProperty::GetValue()
{
    QString text;
    RTTIProvider()->GetStrProp(Prop(0)->Instance(), Prop(0)->PropInfo(), text);
    return IsOrdinalResourceIdent(text) ? QString::number(ResourceIdentOrdinal(text)) : text;
}

void TResourceItemIdentValueProperty::SetValue(const QString& Value)
{
    const QString ident = TextToResourceIdent(Value);
    for (int i = 0; i < PropCount(); ++i) RTTIProvider()->SetStrProp(Prop(i)->Instance(), Prop(i)->PropInfo(), ident);
    Modified();
}

// TCustomIntegerValueProperty

TRunTimePropertyAttributes TCustomIntegerValueProperty::GetAttributes() { return {}; }

QString TCustomIntegerValueProperty::GetValue() { return QString::number(GetOrdValue()); }

void TCustomIntegerValueProperty::SetValue(const QString& Value)
{
    const QString text = Value.left(2).compare(QLatin1String("0x"), Qt::CaseInsensitive) == 0
                             ? QStringLiteral("$") + Value.mid(2)
                             : Value;
    SetIntegerValue(StrToInt64(text));
}

void TCustomIntegerValueProperty::SetIntegerValue(int64_t Value) { SetOrdValue(Value); }

QString THexDWordValueProperty::GetValue()
{
    return QStringLiteral("0x") + QString::number(uint32_t(GetOrdValue()), 16).rightJustified(8, QLatin1Char('0')).toUpper();
}

// Symbols

bool TCustomResourceSymbolProperty::AcceptSymbol(const TResourceSymbol* Symbol) { return !Symbol->Hidden(); }

TCustomResourceItem* TResourceIdentifierSymbolProperty::GetResourceItem()
{
    auto* identifier = qobject_cast<TCustomResourceIdentifier*>(Prop(0)->Instance());
    return identifier ? identifier->ResourceItem() : nullptr;
}

TRunTimePropertyAttributes TResourceIdentifierSymbolProperty::GetAttributes() { return {paValueList}; }

void TResourceIdentifierSymbolProperty::GetValues(QStringList& Values)
{
    TCustomResourceModule* module = ModuleOfItem(GetResourceItem());
    if (!module) return;
    TResourceSymbols* symbols = module->Symbols();
    for (int i = 0; i < symbols->Count(); ++i) {
        TResourceSymbol* symbol = symbols->Items(i);
        if (AcceptSymbol(symbol)) Values << QStringLiteral("%1 (%2)").arg(symbol->Symbol(), SymbolValueText(symbol));
    }
}

void TResourceIdentifierSymbolProperty::SetValue(const QString& Value)
{
    const int blank = Value.indexOf(QLatin1Char(' '));
    TRunTimePropertyEditor::SetValue(blank < 0 ? Value : Value.left(blank));
}

TCustomResourceIdentifier* TResourceIdentifierProperty::IdentifierAt(int Index)
{
    return GetObjectValueAt(Index).As<TCustomResourceIdentifier>();
}

TCustomResourceItem* TResourceIdentifierProperty::GetResourceItem()
{
    TCustomResourceIdentifier* identifier = IdentifierAt(0);
    return identifier ? identifier->ResourceItem() : nullptr;
}

TRunTimePropertyAttributes TResourceIdentifierProperty::GetAttributes() { return {paValueList}; }

QString TResourceIdentifierProperty::GetValue()
{
    TCustomResourceIdentifier* identifier = IdentifierAt(0);
    return identifier ? identifier->ID() : QString();
}

void TResourceIdentifierProperty::GetValues(QStringList& Values)
{
    TCustomResourceModule* module = ModuleOfItem(GetResourceItem());
    if (!module) return;
    TResourceSymbols* symbols = module->Symbols();
    for (int i = 0; i < symbols->Count(); ++i)
        if (AcceptSymbol(symbols->Items(i))) Values << symbols->Items(i)->Symbol();
}

void TResourceIdentifierProperty::SetValue(const QString& Value)
{
    // The identifier refuses a value that clashes (a duplicate name) by raising; it keeps its value.
    for (int i = 0; i < PropCount(); ++i)
        if (TCustomResourceIdentifier* identifier = IdentifierAt(i)) identifier->SetID(Value);
    Modified();
}

void TResourceMenuProperty::GetValues(QStringList& Values)
{
    AddModuleItemIDs(ModuleOfItem(GetResourceItem()), 4, Values);
}
