// Property editors of image items: the colour depth among the depths the item supports, and the width
// and height (typed; resizing both at once is still to come).
#pragma once

#include "views/AtelierPropertyEditors.h"

class TResourceItemColorDepthProperty : public TCustomResourceItemProperty {
    RUNTIME_PROPERTY_EDITOR_CLASS(TResourceItemColorDepthProperty, TCustomResourceItemProperty)
public:
    TRunTimePropertyAttributes GetAttributes() override;
    QString GetValue() override;
    void GetValues(QStringList& Values) override;
    // Text it does not recognise, and depths the item does not support, change nothing.
    void SetValue(const QString& Value) override;
};

class TResourceItemImageSizeProperty : public TCustomResourceItemProperty {
    RUNTIME_PROPERTY_EDITOR_CLASS(TResourceItemImageSizeProperty, TCustomResourceItemProperty)
public:
    TRunTimePropertyAttributes GetAttributes() override;
    QString GetValue() override;
    void SetValue(const QString& Value) override;
    void Edit() override;
};

void RegisterImagePropertyEditors();
