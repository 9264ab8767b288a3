// The base of every image kind, the faces through which previews and the bitmap editor reach an
// item's pixels, the colour-depth and palette helpers, the registry of image file signatures, and the
// JPEG kind.
#pragma once

#include "model/koResourcesKinds.h"
#include "platform/Bitmap.h"
#include "platform/Sets.h"

#include <QPoint>
#include <memory>
#include <vector>

using TColorDepth = int; // 1..32 bits per pixel
using TColorDepths = TSet<TColorDepth>;

enum TResourceItemTransparencyMethod { rtmNone, rtmMask, rtmChromaKey, rtmAlpha };

// Image plus transparency: how previews and the bitmap editor load and save an item.
class IGraphicTransparentResourceItem {
public:
    virtual ~IGraphicTransparentResourceItem() = default;
    virtual TResourceItemTransparencyMethod GetTransparencyMethod() = 0;
    virtual TColor GetTransparentColor() = 0;
    virtual bool GetSupportsInverseMask() = 0;
    // New bitmaps the caller owns; the masks are 1-bit bitmaps of the image's size, or null. In Mask a
    // set bit is a visible pixel, in InverseMask a screen-inverting one. On failure all stay null.
    virtual void GetBitmaps(std::unique_ptr<TBitmap>& Bitmap, std::unique_ptr<TBitmap>& Mask,
                            std::unique_ptr<TBitmap>& InverseMask) = 0;
    // Replaces the image in one change batch; the item copies what it keeps. Masks may be null.
    virtual void SetBitmaps(const TBitmap& Bitmap, const TBitmap* Mask, const TBitmap* InverseMask) = 0;
};

class IGraphicPaletteResourceItem {
public:
    virtual ~IGraphicPaletteResourceItem() = default;
    // A copy; empty above 8 bits.
    virtual void GetPalette(TColorArray& Palette) = 0;
    virtual void SetPalette(const TColorArray& Palette) = 0;
    virtual bool GetUsesPalette() = 0;
};

// An item has a hot spot exactly when it has this face.
class IGraphicHotspotResourceItem {
public:
    virtual ~IGraphicHotspotResourceItem() = default;
    virtual void GetHotspot(QPoint& Hotspot) = 0;
    virtual void SetHotspot(const QPoint& Hotspot) = 0;
};

class ISequencedResourceItem {
public:
    virtual ~ISequencedResourceItem() = default;
    virtual void MoveFrame(int OldIndex, int NewIndex) = 0;
};

// Child items that belong to no module (frames): their parent owns them while they are in its child
// list, and a child taken out of the list belongs to whoever took it out.
class TOwnedChildItems {
public:
    // Holds a child on chAdded (only a new parent tells it) and lets it go on chRemoved.
    void Notify(TCustomResourceItem* Child, TResourceChildNotification Notification);
    // Destroys every child, the last first, so each leaves the end of the child list; the parent,
    // told each removal, finds nothing more to let go of.
    void Release();

private:
    std::vector<TResourceItemPtr> FItems;
};

class TBasicGraphicResourceItem : public TResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TBasicGraphicResourceItem, TResourceItem)
    Q_PROPERTY(int Height READ Height)
    Q_PROPERTY(int Width READ Width)

public:
    using TResourceItem::TResourceItem;
    int Height() const { return GetHeight(); }
    int Width() const { return GetWidth(); }
    // The image among the children of Parent (or this item's) nearest to the size: least squared
    // distance, then most colours; Exact takes only that size. Parent itself when nothing is better.
    TBasicGraphicResourceItem* FindMatch(int AWidth, int AHeight, bool Exact);
    static TBasicGraphicResourceItem* FindMatch(TCustomResourceItem* Parent, int AWidth, int AHeight, bool Exact);

    // Pictures in and out (a platform bitmap, icon...); a kind that cannot raises the assign error.
    using TResourceItem::Assign;
    using TResourceItem::AssignTo;
    virtual void Assign(const TGraphic& Source);
    virtual void AssignTo(TGraphic& Dest);

protected:
    virtual int GetHeight() const = 0;
    virtual int GetWidth() const = 0;
    QString GetDescription() const override;
};

class TCustomGraphicResourceItem : public TBasicGraphicResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TCustomGraphicResourceItem, TBasicGraphicResourceItem)
    Q_PROPERTY(int ColorDepth READ ColorDepth)

public:
    using TBasicGraphicResourceItem::TBasicGraphicResourceItem;
    TColorDepth ColorDepth() const { return GetColorDepth(); }
    // 2 to the power of the depth, counted in 64 bits so that a 32-bit image has the most colours.
    uint64_t ColorCount() const { return GetColorCount(); }
    TColorDepths SupportedColorDepths() const { return GetSupportedColorDepths(); }
    TPixelFormat PixelFormat() const;

protected:
    virtual TColorDepth GetColorDepth() const = 0;
    virtual uint64_t GetColorCount() const;
    virtual TColorDepths GetSupportedColorDepths() const { return {1, 4, 8, 24, 32}; }
    QString GetDescription() const override;
    void InitPropertyMap() override;
};

class TImageFormat {
public:
    TImageFormat(TGraphicClass AGraphicClass, const QByteArray& ASignature, const QByteArray& ASignatureMask);
    const QByteArray& Signature() const { return FSignature; }
    const QByteArray& SignatureMask() const { return FSignatureMask; }
    TGraphicClass GraphicClass() const { return FGraphicClass; }
    // The masked signature at the stream's position; the position is kept.
    bool Handles(TStream* Stream) const;

private:
    TGraphicClass FGraphicClass;
    QByteArray FSignature;
    QByteArray FSignatureMask;
};

// Image formats by descending signature length; among equal lengths the earlier registration first.
class TImageFormats {
public:
    void Add(TGraphicClass GraphicClass, const QByteArray& Signature, const QByteArray& SignatureMask);
    int Count() const { return static_cast<int>(FList.size()); }
    const TImageFormat* Format(int Index) const { return FList[Index].get(); }
    // The first format whose signature matches at the stream's position, or null.
    const TImageFormat* Find(TStream* Stream) const;
    auto begin() const { return FList.begin(); }
    auto end() const { return FList.end(); }

private:
    std::vector<std::unique_ptr<TImageFormat>> FList;
};

TImageFormats& ImageFormats();
// "RIFF", 4 ignored bytes, "ACON": the signature of animated cursors (not an image format).
const QByteArray& AniSignature();
const QByteArray& AniSignatureMask();

// Raw JPEG data (JFIF or Exif).
class TJPEGResourceItem : public TResourceItemGeneric {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TJPEGResourceItem, TResourceItemGeneric)

public:
    using TResourceItemGeneric::TResourceItemGeneric;
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream* Data);
    static bool HandlesFile(const QString& Filename, TStream* Data);
    static QString ResourceTypeName() { return QStringLiteral("JPEG image"); }
    static TResourceItemCapabilities Capabilities() { return TResourceItemGenericPersistable::Capabilities(); }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);
};

// Helpers between depths, pixel formats, colour counts and palettes.
TPixelFormat ColorDepthToPixelFormat(TColorDepth Depth);
TColorDepth PixelFormatToColorDepth(TPixelFormat Format);
TPixelFormat BitCountToPixelFormat(int Bits);
int PixelFormatToBitCount(TPixelFormat Format);
int PixelFormatColorCount(TPixelFormat Format);
// 1 shl (Depth and 31), as stored files expect; not for ranking images (a 32-bit image gives 1).
uint32_t ColorDepthToColorCount(TColorDepth Depth);
int ColorCountToColorDepth(int64_t Count);
QString ColorDepthToString(TColorDepth Depth);
// The bitmap's palette; False (and an empty array) when it has none.
bool PaletteToColors(const TBitmap& Bitmap, TColorArray& Colors);
// At most 256 colours (more is a programming error), each as RGB.
TColorArray ColorsToPalette(const TColorArray& Colors);
// Gives a palette bitmap the colours, limited to the depth's table size; an empty palette does nothing.
void SetBitmapPalette(TBitmap& Bitmap, const TColorArray& Palette);
// Changes the pixel format, quantizing with dithering where it shrinks.
void ConvertPixelFormat(TBitmap& Bitmap, TPixelFormat Format);
// 32-bit bitmaps only.
void SetBitmapAlpha(TBitmap& Bitmap, uint8_t Alpha);
// A 1-bit mask: pixels of Color are 1, all others 0.
TBitmap CreateColorMask(const TBitmap& Bitmap, TColor Color);

void koResourceItemImage_Initialize();
void koResourceItemImage_Finalize();
