// HTML documents (RT_HTML), kept as raw bytes.
#pragma once

#include "model/koResourcesKinds.h"

class THTMLResourceItem : public TCustomResourceItemGeneric {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(THTMLResourceItem, TCustomResourceItemGeneric)
    Q_PROPERTY(QString Filename READ Filename WRITE SetFilename)

public:
    explicit THTMLResourceItem(const TResourceIdent& AResName = TResourceIdent());
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*);
    static bool HandlesFile(const QString&, TStream* Data);
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcCreate, rcLoad, rcSave}; }
    static QString ResourceTypeName() { return QStringLiteral("HTML"); }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);

    void InitializeNewItem() override;
};

// Whether the next Count bytes (up to the first zero byte) name "<html" or "Content-Type: text/html" in
// any letter case. The stream's position is kept.
bool IsHTMLText(TStream& Stream, int Count);

void koResourceItemHTML_Initialize();
void koResourceItemHTML_Finalize();
