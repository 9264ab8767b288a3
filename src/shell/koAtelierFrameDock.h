// The workspace's dock layout and the settings that keep it.
#pragma once

#include "koConfigurationService.h"

class TFrameAtelier;

// The workspace's settings: whether they were ever saved, and the dock layout as hexadecimal text.
class TAtelierSettings : public TCustomSettings {
    Q_OBJECT
    Q_PROPERTY(bool Valid MEMBER FValid)
    Q_PROPERTY(QString Layout MEMBER FLayout)
    Q_CLASSINFO("default:Valid", "false")

public:
    explicit TAtelierSettings(TFrameAtelier* Owner) : FOwner(Owner) {}
    bool Valid() const { return FValid; }
    QString Layout() const { return FLayout; }
    void SetLayout(const QString& Value) { FLayout = Value; }
    bool ApplySettings() override;
    bool UpdateSettings() override;

private:
    TFrameAtelier* FOwner;
    bool FValid = false;
    QString FLayout;
};
