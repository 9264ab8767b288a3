// The property inspector pane's registry of property editors (which editor class a property of an
// instance gets), and the general resource property editors: the base of them all, languages, resource
// identifiers, symbols, integers and hexadecimal double words.
#pragma once

#include "designer/koDesignObjectInspectorEditor.h"
#include "platform/PublishedProperties.h"

#include <functional>
#include <vector>

class TCustomResourceItem;
class TCustomResourceIdentifier;
class TCustomResourceModule;
class TResourceSymbol;

// A registered editor. Newest registrations come first in the list.
struct TPropertyClassRec {
    int Group = 0;
    PTypeInfo PropertyType = nullptr;
    QString PropertyName;             // empty: every name
    PTypeInfo ComponentClass = nullptr; // nullptr: every instance
    PTypeInfo ClassGroup = nullptr;   // never set
    TRunTimePropertyEditorClass EditorClass = nullptr;
};

// A mapper answers an editor class for a property of an instance, or nullptr to leave it to the list.
using TPropertyMapperFunc = std::function<TRunTimePropertyEditorClass(QObject* Instance, PPropInfo PropInfo)>;

// The registrations, newest first; never freed, as they last for the run (tests save and restore them).
std::vector<TPropertyClassRec>& PropertyEditorRegistrations();
// The hook behind RegisterPropertyEditor: inserts a record at the head of the list.
void DoRegisterPropertyEditor(PTypeInfo PropertyType, PTypeInfo ComponentClass, const QString& PropertyName,
                              TRunTimePropertyEditorClass EditorClass);
void DoRegisterPropertyMapper(TPropertyMapperFunc Mapper);
// The editor class for one property of one instance: a mapper's answer, else the best registration,
// else DefaultEditorClass when assigned, else the default of the property type's kind.
TRunTimePropertyEditorClass FindPropertyEditorClass(PPropInfo PropInfo, QObject* Instance,
                                                    TRunTimePropertyEditorClass DefaultEditorClass);
// The last-resort editor class of a type kind; nullptr for kinds without one.
TRunTimePropertyEditorClass DefaultEditorClassOfKind(TTypeKind Kind);
// Registers every resource property editor, in a fixed order (later wins among equals).
void RegisterResourcePropertyEditors();
// Registers them on the first call only (the inspector's first question for an editor).
void EnsureResourcePropertyEditors();

void AtelierPropertyEditors_Initialize();
void AtelierPropertyEditors_Finalize();

// The module an item belongs to through itself or an ancestor; nullptr for nullptr or when none.
TCustomResourceModule* ModuleOfItem(TCustomResourceItem* Item);
// A symbol's value as a resource identifier text: an ordinal as its decimal number, a name as itself.
QString SymbolValueText(const TResourceSymbol* Symbol);

class TCustomResourceItemProperty : public TRunTimePropertyEditor {
    RUNTIME_PROPERTY_EDITOR_CLASS(TCustomResourceItemProperty, TRunTimePropertyEditor)
public:
    // The resource item that owns the inspected value.
    virtual TCustomResourceItem* GetResourceItem();
    int GetEditLimit() override;
    QString GetVisualValue() override;
};

class TResourceItemLanguageProperty : public TCustomResourceItemProperty {
    RUNTIME_PROPERTY_EDITOR_CLASS(TResourceItemLanguageProperty, TCustomResourceItemProperty)
public:
    TRunTimePropertyAttributes GetAttributes() override;
    QString GetValue() override;
    void GetValues(QStringList& Values) override;
    void SetValue(const QString& Value) override;
};

class TResourceItemIdentValueProperty : public TCustomResourceItemProperty {
    RUNTIME_PROPERTY_EDITOR_CLASS(TResourceItemIdentValueProperty, TCustomResourceItemProperty)
public:
    TRunTimePropertyAttributes GetAttributes() override;
    QString GetValue() override;
    void SetValue(const QString& Value) override;
};

class TCustomIntegerValueProperty : public TCustomResourceItemProperty {
    RUNTIME_PROPERTY_EDITOR_CLASS(TCustomIntegerValueProperty, TCustomResourceItemProperty)
public:
    TRunTimePropertyAttributes GetAttributes() override;
    QString GetValue() override;
    // "0x" and "$" prefixes read as hexadecimal; anything that is no integer raises EConvertError.
    void SetValue(const QString& Value) override;
    virtual void SetIntegerValue(int64_t Value);
};

class THexDWordValueProperty : public TCustomIntegerValueProperty {
    RUNTIME_PROPERTY_EDITOR_CLASS(THexDWordValueProperty, TCustomIntegerValueProperty)
public:
    QString GetValue() override;
};

class TCustomResourceSymbolProperty : public TCustomResourceItemProperty {
    RUNTIME_PROPERTY_EDITOR_CLASS(TCustomResourceSymbolProperty, TCustomResourceItemProperty)
public:
    virtual bool AcceptSymbol(const TResourceSymbol* Symbol);
};

// The Identifier text of an identifier object: symbols listed as "NAME (value)".
class TResourceIdentifierSymbolProperty : public TCustomResourceSymbolProperty {
    RUNTIME_PROPERTY_EDITOR_CLASS(TResourceIdentifierSymbolProperty, TCustomResourceSymbolProperty)
public:
    TCustomResourceItem* GetResourceItem() override;
    TRunTimePropertyAttributes GetAttributes() override;
    void GetValues(QStringList& Values) override;
    void SetValue(const QString& Value) override;
};

// A property whose value is an identifier object, shown and set through its ID.
class TResourceIdentifierProperty : public TCustomResourceSymbolProperty {
    RUNTIME_PROPERTY_EDITOR_CLASS(TResourceIdentifierProperty, TCustomResourceSymbolProperty)
public:
    TCustomResourceItem* GetResourceItem() override;
    TRunTimePropertyAttributes GetAttributes() override;
    QString GetValue() override;
    void GetValues(QStringList& Values) override;
    void SetValue(const QString& Value) override;

protected:
    TCustomResourceIdentifier* IdentifierAt(int Index);
};

// A dialog's menu: the names of the module's menus.
class TResourceMenuProperty : public TResourceIdentifierProperty {
    RUNTIME_PROPERTY_EDITOR_CLASS(TResourceMenuProperty, TResourceIdentifierProperty)
public:
    void GetValues(QStringList& Values) override;
};

// The IDs of the module's items of one ordinal type, in module order.
void AddModuleItemIDs(TCustomResourceModule* Module, uint16_t ResourceType, QStringList& Values);
