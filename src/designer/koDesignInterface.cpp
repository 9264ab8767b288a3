#include "koDesignInterface.h"

#include "platform/Format.h"

namespace {
const char* const SInvalidPropertyEditorRegistration = "Invalid property editor registration. %s";
const char* const SPropertyTypeNil = "PropertyType can not be nil";
const char* const SEditorClassNil = "EditorClass can not be nil";
const char* const SComponentClassNeeded = "ComponentClass must be specified if PropertyName is used";
} // namespace

TRegisterPropertyEditorProc& RegisterPropertyEditorProc()
{
    static TRegisterPropertyEditorProc proc;
    return proc;
}

void RegisterPropertyEditor(PTypeInfo PropertyType, PTypeInfo ComponentClass, const QString& PropertyName,
                            TRunTimePropertyEditorClass EditorClass)
{
    const auto refuse = [](const char* reason) {
        throw Exception(Format(QString::fromLatin1(SInvalidPropertyEditorRegistration), {reason}));
    };
    if (!PropertyType)
        refuse(SPropertyTypeNil);
    if (!EditorClass)
        refuse(SEditorClassNil);
    if (!PropertyName.isEmpty() && !ComponentClass)
        refuse(SComponentClassNeeded);
    if (const TRegisterPropertyEditorProc& proc = RegisterPropertyEditorProc())
        proc(PropertyType, ComponentClass, PropertyName, EditorClass);
}
