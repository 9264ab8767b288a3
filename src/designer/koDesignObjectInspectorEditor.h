// Property editors: the object the object inspector attaches to a row. It gives the row's value text,
// takes typed text back, says what the in-place edit may do (a value list, a dialog, read-only), lists
// and draws the entries of a drop-down list and opens a dialog. One editor edits one property (by its
// full name) on every inspected instance at once. And the inspector's choice of an editor class.
#pragma once

#include "designer/koDesignRTTI.h"
#include "platform/ClassInfo.h"
#include "platform/Sets.h"

#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QObject;
class QPainter;
class QWidget;
class TRunTimeCustomFormDesigner;
class TRunTimePropertyEditor;

// The object inspector as property editors and design windows use it. The object inspector
// (TRunTimeCustomObjectInspector) implements it; tests give their own.
class IRunTimeObjectInspector {
public:
    virtual ~IRunTimeObjectInspector() = default;
    // The inspector's widget: the owner of the windows editors open.
    virtual QWidget* InspectorWidget() = 0;
    // The first inspected instance; setting it inspects that object alone (AddInstance(Value, True)).
    virtual QObject* Instance() const = 0;
    virtual void SetInstance(QObject* Value) = 0;
    virtual bool HasInstance(QObject* AInstance) const = 0;
    virtual void RemoveInstance(QObject* AInstance) = 0;
    // The linked form designer; nullptr when none.
    virtual TRunTimeCustomFormDesigner* Designer() const = 0;
    // Called after every change of a value: the inspector refreshes itself and the design windows and
    // reports the change.
    virtual void Modified() = 0;
    // The names of the components the selected row's component property may refer to.
    virtual void GetComponentNames(QStringList& Values) = 0;
    // The options hold ioDisplayFontSamples: font-name lists draw each entry in its own font.
    virtual bool DisplayFontSamples() const = 0;
    // Fires OnGetMethodSourceCode when it is assigned.
    virtual void GetMethodSourceCode(QObject* AInstance, TRunTimeMethodProperty* AProperty,
                                     const QString& MethodName) = 0;
};

enum TRunTimePropertyAttribute { paValueList, paDialog, paSortList, paReadOnly, paAutoUpdate };
using TRunTimePropertyAttributes = TSet<TRunTimePropertyAttribute>;

// Editor classes as values: what the editor choice answers and hosts register.
class TRunTimePropertyEditorClassInfo : public TClassInfo {
public:
    virtual std::shared_ptr<TRunTimePropertyEditor> Create(IRunTimeObjectInspector* AObjectInspector,
                                                           int APropertyCount) const = 0;
};
using TRunTimePropertyEditorClass = const TRunTimePropertyEditorClassInfo*;

template <class T>
class TRunTimePropertyEditorClassOf : public TClassInfoOf<T, TRunTimePropertyEditorClassInfo> {
public:
    std::shared_ptr<TRunTimePropertyEditor> Create(IRunTimeObjectInspector* AObjectInspector,
                                                   int APropertyCount) const override
    {
        return std::make_shared<T>(AObjectInspector, APropertyCount);
    }
};

#define RUNTIME_PROPERTY_EDITOR_CLASS(Class, Base)                                                    \
    ATELIER_CLASS_NAME(Class)                                                                         \
public:                                                                                               \
    using inherited = Base;                                                                           \
    using Base::Base;                                                                                 \
    static TRunTimePropertyEditorClass ClassInfo()                                                    \
    {                                                                                                 \
        static const TRunTimePropertyEditorClassOf<Class> info;                                       \
        return &info;                                                                                 \
    }                                                                                                 \
    TRunTimePropertyEditorClass ClassType() const override { return Class::ClassInfo(); }            \
                                                                                                      \
private:

// The base of all property editors. Editors are shared: whoever calls into one (the in-place edit, a
// row being painted) holds a reference for the call, so an editor the inspector replaces while its own
// SetValue runs stays valid until that call has returned.
class TRunTimePropertyEditor {
    ATELIER_CLASS_NAME(TRunTimePropertyEditor)
public:
    TRunTimePropertyEditor(IRunTimeObjectInspector* AObjectInspector, int APropertyCount);
    virtual ~TRunTimePropertyEditor();
    TRunTimePropertyEditor(const TRunTimePropertyEditor&) = delete;
    TRunTimePropertyEditor& operator=(const TRunTimePropertyEditor&) = delete;
    static TRunTimePropertyEditorClass ClassInfo();
    virtual TRunTimePropertyEditorClass ClassType() const { return ClassInfo(); }

    // Opens the editor's dialog; nothing in the base.
    virtual void Edit();
    // The attributes hold paValueList and not paReadOnly.
    virtual bool AutoFill();
    // Draws one drop-down entry. The canvas comes with the entry's background as its brush, the text
    // colour as its pen and the list's font; Selected entries are drawn highlighted.
    virtual void ListDrawValue(const QString& Value, QPainter& ACanvas, const QRect& ARect, bool Selected);
    // May change an entry's height, width, or narrow its text part (room for a sample); the base
    // leaves them.
    virtual void ListMeasureHeight(const QString& Value, QPainter& ACanvas, int& AHeight);
    virtual void ListMeasureWidth(const QString& Value, QPainter& ACanvas, int& AWidth);
    virtual void ListMeasureTextRect(const QString& Value, QPainter& ACanvas, QRect& ATextRect);
    // Fills the value list; nothing in the base.
    virtual void GetValues(QStringList& Values);
    // The most characters the in-place edit takes; 255 in the base.
    virtual int GetEditLimit();
    // [paReadOnly] in the base.
    virtual TRunTimePropertyAttributes GetAttributes();
    // The row's text: the first property's visual value when all instances agree, else empty.
    virtual QString GetVisualValue();
    // The first property's value.
    virtual QString GetValue();
    // Sets Value on every property that is not read-only and whose instance still exists, then
    // Modified. A property that refuses the text raises; the properties before it keep the new value.
    virtual void SetValue(const QString& Value);
    // The visual values of all properties equal the first one's, ignoring case; false without any.
    virtual bool AllEqual();

    IRunTimeObjectInspector* ObjectInspector() const { return FObjectInspector; }
    // The property of instance Index; it must be assigned.
    TRunTimeProperty* Prop(int Index) const;
    int PropCount() const { return int(FProperties.size()); }
    QString Value() { return GetValue(); }
    void SetPropEntry(int Index, TRunTimeProperty* AProperty);
    // The inspector's first instance, nullptr without inspector.
    QObject* GetComponent() const;
    // Reports a change to the inspector (which must be there).
    void Modified();

    // The ordinal or object value of property 0 or Index.
    int64_t GetOrdValue() { return GetOrdValueAt(0); }
    int64_t GetOrdValueAt(int Index);
    TObjectRef GetObjectValue() { return GetObjectValueAt(0); }
    TObjectRef GetObjectValueAt(int Index);
    // Writes to every property (read-only ones too), then Modified.
    void SetOrdValue(int64_t Value);
    void SetObjectValue(const TObjectRef& Value);

protected:
    IRunTimeObjectInspector* FObjectInspector;
    std::vector<TRunTimeProperty*> FProperties;
};

// The editor class the inspector chooses for a property before its host's OnGetPropertyEditorClass has
// its say: by the kind of the property's type, then "ImageIndex" integers, then the property's class
// (the last of those tests that holds wins). nullptr: no in-place editor.
TRunTimePropertyEditorClass DefaultPropertyEditorClass(TRunTimeProperty* AProperty);
