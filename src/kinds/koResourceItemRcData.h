// Raw data (RT_RCDATA): the kind of every RT_RCDATA resource and every imported file that no other kind
// takes. The bytes are kept and written unchanged.
#pragma once

#include "model/koResourcesKinds.h"

class TRcDataResourceItem : public TResourceItemGenericPersistable {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TRcDataResourceItem, TResourceItemGenericPersistable)
    Q_PROPERTY(QString Filename READ Filename WRITE SetFilename)
    Q_PROPERTY(QString ItemType READ FriendlyTypeName WRITE SetItemType)
    Q_PROPERTY(int Size READ Size WRITE SetSize)

public:
    explicit TRcDataResourceItem(const TResourceIdent& AResName = TResourceIdent());
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*);
    static bool HandlesFile(const QString&, TStream*) { return true; }
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcCreate, rcLoad, rcSave}; }
    static QString ResourceTypeName() { return QStringLiteral("RCDATA"); }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);

protected:
    // "RCDATA" in any letter case is the ordinal type.
    void DoSetItemType(const QString& Value) override;
    // Bytes added at the end are zeros.
    void DoSetSize(int Value) override;
};

// The picture extensions offered for import as raw data: pairs of description and "*.ext" masks, the
// first pair covering all of them, as a file dialog's filter lists them.
QString PictureFileFilter();

void koResourceItemRcData_Initialize();
void koResourceItemRcData_Finalize();
