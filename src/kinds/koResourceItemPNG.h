// PNG images under any type (created under the named type "PNG").
#pragma once

#include "kinds/koResourceItemImage.h"
#include "platform/PngImage.h"

#include <memory>

class TPNGResourceItem : public TCustomGraphicResourceItem, public IGraphicTransparentResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TPNGResourceItem, TCustomGraphicResourceItem)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(QString ItemType READ FriendlyTypeName WRITE SetItemType)
    Q_PROPERTY(QString Filename READ Filename WRITE SetFilename)

public:
    explicit TPNGResourceItem(const TResourceIdent& AResName = TResourceIdent());
    ~TPNGResourceItem() override;

    static QString ResourceTypeName() { return QStringLiteral("PNG image"); }
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream* Data);
    static bool HandlesFile(const QString& Filename, TStream* Data);
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcLoad, rcSave}; }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);

    const TPngImage& Image() const { return *FImage; }
    void SetImage(const TPngImage& Value);
    void SetWidth(int Value);
    void SetHeight(int Value);
    // Any picture: a 32-bit bitmap brings its alpha along.
    void AssignBitmap(const TBitmap& Bitmap);
    // The PNG drawn into a new bitmap: 32 bits with alpha when it has any transparency, else 24 bits.
    TBitmap ToBitmap() const;

    void Clear() override;
    void LoadFromStream(TStream& Stream, int64_t Size) override;
    void SaveToStream(TStream& Stream) override;
    void InitializeNewItem() override;

    // IGraphicTransparentResourceItem
    TResourceItemTransparencyMethod GetTransparencyMethod() override;
    TColor GetTransparentColor() override { return clNone; }
    bool GetSupportsInverseMask() override { return false; }
    void GetBitmaps(std::unique_ptr<TBitmap>& Bitmap, std::unique_ptr<TBitmap>& Mask,
                    std::unique_ptr<TBitmap>& InverseMask) override;
    void SetBitmaps(const TBitmap& Bitmap, const TBitmap* Mask, const TBitmap* InverseMask) override;

protected:
    int GetWidth() const override { return FImage->Width(); }
    int GetHeight() const override { return FImage->Height(); }
    TColorDepth GetColorDepth() const override;
    int GetSize() const override;

private:
    void ResetImage();
    std::unique_ptr<TPngImage> FImage;
    // The length of the PNG as written, -1 until asked after a change: writing encodes it anew.
    mutable int FSize = -1;
};

void koResourceItemPNG_Initialize();
void koResourceItemPNG_Finalize();
