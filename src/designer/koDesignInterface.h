// Registration of property editors with a host's registry: the host installs its procedure in the hook;
// without one, registrations have no effect.
#pragma once

#include "designer/koDesignObjectInspectorEditor.h"

#include <functional>

// PropertyType: the property's type; ComponentClass: the class whose properties it is for (nullptr:
// any); PropertyName: one property of that class (empty: every property of the type).
using TRegisterPropertyEditorProc = std::function<void(PTypeInfo PropertyType, PTypeInfo ComponentClass,
                                                       const QString& PropertyName,
                                                       TRunTimePropertyEditorClass EditorClass)>;

// The registry's procedure; empty until a registry installs it.
TRegisterPropertyEditorProc& RegisterPropertyEditorProc();

// Checks the registration (Exception "Invalid property editor registration. %s") and hands it to the hook.
void RegisterPropertyEditor(PTypeInfo PropertyType, PTypeInfo ComponentClass, const QString& PropertyName,
                            TRunTimePropertyEditorClass EditorClass);
