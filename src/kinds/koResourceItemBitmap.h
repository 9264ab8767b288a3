// Bitmaps: RT_BITMAP resources (a DIB without the file header) and resources of any type that hold a
// whole bitmap file.
#pragma once

#include "kinds/koResourceItemImage.h"

#include <memory>

class TCustomBitmapResourceItem : public TCustomGraphicResourceItem, public IGraphicTransparentResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TCustomBitmapResourceItem, TCustomGraphicResourceItem)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(int ColorDepth READ ColorDepth WRITE SetColorDepth)

public:
    TCustomBitmapResourceItem();
    explicit TCustomBitmapResourceItem(const TResourceIdent& AResName);
    ~TCustomBitmapResourceItem() override;

    static QString ResourceTypeName() { return QStringLiteral("Bitmap"); }
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream* Data);
    static bool HandlesFile(const QString& Filename, TStream* Data);
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcCreate, rcLoad, rcSave}; }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);

    const TBitmap& Bitmap() const { return *FBitmap; }
    void SetBitmap(const TBitmap& Value);
    void SetWidth(int Value);
    void SetHeight(int Value);
    virtual void SetColorDepth(int Value);

    void Clear() override;
    void LoadFromStream(TStream& Stream, int64_t Size) override;
    void SaveToStream(TStream& Stream) override;
    void LoadFromFileStream(TStream& Stream) override;
    void SaveToFileStream(TStream& Stream) override;
    void InitializeNewItem() override;

    // Decodes RT_BITMAP data (Size bytes from the stream's position) into Bitmap.
    static void LoadBitmapResource(TBitmap& Bitmap, TStream& Stream, int64_t Size);
    // Any item's data decoded as RT_BITMAP data; null when it is no bitmap.
    static std::unique_ptr<TBitmap> ItemToBitmap(TCustomResourceItem* Item);

    // IGraphicTransparentResourceItem
    TResourceItemTransparencyMethod GetTransparencyMethod() override;
    TColor GetTransparentColor() override;
    bool GetSupportsInverseMask() override { return false; }
    void GetBitmaps(std::unique_ptr<TBitmap>& Bitmap, std::unique_ptr<TBitmap>& Mask,
                    std::unique_ptr<TBitmap>& InverseMask) override;
    void SetBitmaps(const TBitmap& Bitmap, const TBitmap* Mask, const TBitmap* InverseMask) override;

protected:
    int GetWidth() const override;
    int GetHeight() const override;
    TColorDepth GetColorDepth() const override;
    int GetSize() const override;

    std::unique_ptr<TBitmap> FBitmap;
};

class TBitmapResourceItem : public TCustomBitmapResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TBitmapResourceItem, TCustomBitmapResourceItem)

public:
    using TCustomBitmapResourceItem::TCustomBitmapResourceItem;
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);
};

// A whole bitmap file under any type.
class TDIBResourceItem : public TCustomBitmapResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TDIBResourceItem, TCustomBitmapResourceItem)

public:
    using TCustomBitmapResourceItem::TCustomBitmapResourceItem;
    static QString ResourceTypeName() { return QStringLiteral("DIB"); }
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream* Data);
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcLoad, rcSave}; }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);

    void LoadFromStream(TStream& Stream, int64_t Size) override;
    void SaveToStream(TStream& Stream) override;

protected:
    int GetSize() const override;
};

void koResourceItemBitmap_Initialize();
void koResourceItemBitmap_Finalize();
