// COM type libraries stored under the named type "TYPELIB", kept as raw bytes.
#pragma once

#include "model/koResourcesKinds.h"

class TTypeLibResourceItem : public TResourceItemGenericPersistable {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TTypeLibResourceItem, TResourceItemGenericPersistable)
    Q_PROPERTY(QString Filename READ Filename WRITE SetFilename)

public:
    explicit TTypeLibResourceItem(const TResourceIdent& AResName = TResourceIdent());
    // Only data that is a type library ("MSFT"): the type name alone is not enough.
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream* Data);
    static bool HandlesFile(const QString& Filename, TStream* Data);
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcLoad, rcSave}; }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);
};

void koResourceItemTypelib_Initialize();
void koResourceItemTypelib_Finalize();
