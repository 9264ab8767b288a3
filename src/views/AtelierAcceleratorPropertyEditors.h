// The shortcut of an accelerator entry: a list of common shortcuts for virtual-key entries, typed text
// for character entries.
#pragma once

#include "views/AtelierPropertyEditors.h"

class TResourceItemAcceleratorProperty : public TCustomResourceItemProperty {
    RUNTIME_PROPERTY_EDITOR_CLASS(TResourceItemAcceleratorProperty, TCustomResourceItemProperty)
public:
    TCustomResourceItem* GetResourceItem() override;
    TRunTimePropertyAttributes GetAttributes() override;
    QString GetValue() override;
    void GetValues(QStringList& Values) override;
    void SetValue(const QString& Value) override;
};

// The shortcuts the list offers after "(None)", as shortcut values (Shift 0x2000, Ctrl 0x4000, Alt 0x8000).
const std::vector<uint16_t>& AcceleratorListShortCuts();

void RegisterAcceleratorPropertyEditors();
