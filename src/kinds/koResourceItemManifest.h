// Application manifests (RT_MANIFEST): the manifest's bytes as stored, normally UTF-8 XML.
#pragma once

#include "model/koResourcesItem.h"

#include <QByteArray>

class TManifestResourceItem : public TResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TManifestResourceItem, TResourceItem)
    Q_PROPERTY(QString Filename READ Filename WRITE SetFilename)

public:
    explicit TManifestResourceItem(const TResourceIdent& AResName = TResourceIdent());
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*);
    // Plain ASCII that starts "<?xml" and names "<assembly" early on.
    static bool HandlesFile(const QString&, TStream* Data);
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcCreate, rcLoad, rcSave}; }
    static QString ResourceTypeName() { return QStringLiteral("Manifest"); }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);

    const QByteArray& Data() const { return FData; }
    void Clear() override;
    // The bytes up to the first zero byte, which is not kept.
    void LoadFromStream(TStream& Stream, int64_t Size) override;
    void SaveToStream(TStream& Stream) override;
    void InitializeNewItem() override;

protected:
    int GetSize() const override { return static_cast<int>(FData.size()); }

private:
    QByteArray FData;
};

// The manifest a new item starts with.
QByteArray ManifestTemplate();

void koResourceItemManifest_Initialize();
void koResourceItemManifest_Finalize();
