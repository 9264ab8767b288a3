// Executable modules stored inside resources (named type "MODULE" for new items; any resource whose
// data starts with "MZ" that no earlier kind takes), kept as raw bytes.
#pragma once

#include "model/koResourcesKinds.h"

enum TPEModuleKind { pmkPE, pmkMZ, pmkNE, pmkLE };

class TPEResourceItem : public TResourceItemGenericPersistable {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TPEResourceItem, TResourceItemGenericPersistable)
    Q_PROPERTY(QString Filename READ Filename WRITE SetFilename)
    Q_PROPERTY(QString Kind READ KindText)

public:
    explicit TPEResourceItem(const TResourceIdent& AResName = TResourceIdent());
    static bool Handles(const TResourceIdent&, const TResourceIdent&, TStream* Data) { return HandlesFile({}, Data); }
    static bool HandlesFile(const QString&, TStream* Data);
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcLoad, rcSave}; }
    static QString ResourceTypeName() { return QStringLiteral("PE (Win32) module"); }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);

    TPEModuleKind Kind() const { return FKind; }
    QString KindText() const;
    void Clear() override;
    // Raises "Unsupported module type" when the data does not start with "MZ".
    void LoadFromStream(TStream& Stream, int64_t Size) override;

private:
    TPEModuleKind FKind = pmkPE;
};

void koResourceItemPE_Initialize();
void koResourceItemPE_Finalize();
