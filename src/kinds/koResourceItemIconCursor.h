// Icons and cursors: the images (RT_ICON, RT_CURSOR) and the groups that list them (RT_GROUP_ICON,
// RT_GROUP_CURSOR), their .ico and .cur files, and the conversions between images and pictures.
//
// An image item keeps the bytes it was read with and decodes them only when asked for its size, depth
// or pixels; after an edit it keeps bitmaps and encodes them again only when its bytes are asked for.
#pragma once

#include "kinds/koIconEncoder.h"
#include "kinds/koResourceItemImage.h"
#include "platform/Icon.h"

#include <QPointer>
#include <array>
#include <memory>
#include <vector>

class TBinaryReader;

// One 14-byte entry of a group resource. The first 8 bytes read as the icon layout (width, height,
// colour count, reserved bytes; planes and bit count words) or the cursor layout (width, height and two
// more words; in a group resource those hold what the compiler put there, not the hot spot).
struct TResourceDirectory {
    static constexpr int Size = 14;
    std::array<uint8_t, 8> ResInfo{};
    uint32_t BytesInRes = 0;
    uint16_t NameOrdinal = 0;

    uint8_t IconWidth() const { return ResInfo[0]; }
    uint8_t IconHeight() const { return ResInfo[1]; }
    uint8_t IconColorCount() const { return ResInfo[2]; }
    uint8_t IconReserved() const { return ResInfo[3]; }
    uint16_t IconPlanes() const { return Word(4); }
    uint16_t IconBitCount() const { return Word(6); }
    void SetIconWidth(uint8_t V) { ResInfo[0] = V; }
    void SetIconHeight(uint8_t V) { ResInfo[1] = V; }
    void SetIconColorCount(uint8_t V) { ResInfo[2] = V; }
    void SetIconReserved(uint8_t V) { ResInfo[3] = V; }
    void SetIconPlanes(uint16_t V) { SetWord(4, V); }
    void SetIconBitCount(uint16_t V) { SetWord(6, V); }

    uint16_t CursorWidth() const { return Word(0); }
    uint16_t CursorHeight() const { return Word(2); }
    uint16_t CursorHotspotX() const { return Word(4); }
    uint16_t CursorHotspotY() const { return Word(6); }
    void SetCursorWidth(uint16_t V) { SetWord(0, V); }
    void SetCursorHeight(uint16_t V) { SetWord(2, V); }
    void SetCursorHotspotX(uint16_t V) { SetWord(4, V); }
    void SetCursorHotspotY(uint16_t V) { SetWord(6, V); }

    // Raises "Premature end of data" when fewer than 14 bytes are left.
    static TResourceDirectory Read(TStream& Stream);
    void Write(TStream& Stream) const;
    bool operator==(const TResourceDirectory&) const = default;

private:
    uint16_t Word(int At) const { return uint16_t(ResInfo[At] | (ResInfo[At + 1] << 8)); }
    void SetWord(int At, uint16_t V)
    {
        ResInfo[At] = uint8_t(V);
        ResInfo[At + 1] = uint8_t(V >> 8);
    }
};

// One 16-byte entry of an .ico or .cur file. For cursors Planes and BitCount hold the hot spot.
struct TIconDirectoryEntry {
    static constexpr int Size = 16;
    uint8_t Width = 0; // 0 for 256
    uint8_t Height = 0;
    uint8_t ColorCount = 0; // 0 at 8 bits or more
    uint8_t Reserved = 0;
    uint16_t Planes = 0;   // cursor: hot spot X
    uint16_t BitCount = 0; // cursor: hot spot Y
    uint32_t BytesInRes = 0;
    uint32_t ImageOffset = 0; // from the start of the file

    // Raises "Premature end of data" when fewer than 16 bytes are left.
    static TIconDirectoryEntry Read(TStream& Stream);
    void Write(TStream& Stream) const;
    bool operator==(const TIconDirectoryEntry&) const = default;
};

// The 6-byte header of a group resource and of an .ico/.cur file.
struct TIconDirectoryHeader {
    static constexpr int Size = 6;
    uint16_t Reserved = 0;
    uint16_t Type = 0; // 1 icon, 2 cursor
    uint16_t Count = 0;

    // Raises "Premature end of data" when fewer than 6 bytes are left.
    static TIconDirectoryHeader Read(TStream& Stream);
    void Write(TStream& Stream) const;
};

// The system's ICONINFO: both bitmaps of one image, with the hot spot of a cursor.
struct TIconInfo {
    bool fIcon = true;
    uint32_t xHotspot = 0;
    uint32_t yHotspot = 0;
    const TBitmap* hbmMask = nullptr;
    const TBitmap* hbmColor = nullptr;
};

enum TIconCursorState { isNeedDecode, isNeedDecodeInfo, isNeedEncode };
using TIconCursorStates = TSet<TIconCursorState>;

struct TCursorHotspot {
    uint16_t HotspotX = 0;
    uint16_t HotspotY = 0;
};

class TIconGroupResourceItem;
class TCursorGroupResourceItem;

// One image of an icon or cursor group, or a frame of an animation.
class TCustomIconCursorResourceItem : public TCustomGraphicResourceItem,
                                      public IGraphicTransparentResourceItem,
                                      public IGraphicPaletteResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TCustomIconCursorResourceItem, TCustomGraphicResourceItem)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(int ColorDepth READ ColorDepth WRITE SetColorDepth)
    Q_PROPERTY(QString Filename READ Filename WRITE SetFilename)

public:
    TCustomIconCursorResourceItem(uint16_t TypeID, const TResourceIdent& AResName);
    ~TCustomIconCursorResourceItem() override;

    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcCreate, rcLoad, rcSave}; }

    // The colours that stand for transparent and for screen-inverting pixels below 32 bits, in both
    // directions of the conversions and in the bitmap editor.
    static TColor TransparentDisplayColor();
    static void SetTransparentDisplayColor(TColor Value);
    static TColor InverseDisplayColor();
    static void SetInverseDisplayColor(TColor Value);

    void SetWidth(int Value);
    void SetHeight(int Value);
    void SetColorDepth(int Value);
    bool HasHotSpot() const { return dynamic_cast<const IGraphicHotspotResourceItem*>(this) != nullptr; }
    TIconCompression Compression() const;
    void SetCompression(TIconCompression Value);
    // The image's bytes as a resource holds them (a cursor's with its hot spot first); empty without image.
    QByteArray ResourceData() const;

    void Clear() override;
    void LoadFromStream(TStream& Stream, int64_t Size) override;
    void SaveToStream(TStream& Stream) override;
    // The Index-th image of an .ico or .cur file (the first when Index is out of range).
    void LoadFromFileStream(TStream& Stream) override { LoadFromFileStream(Stream, 0); }
    void LoadFromFileStream(TStream& Stream, int Index);
    // An .ico or .cur file of this one image.
    void SaveToFileStream(TStream& Stream) override;
    void InitializeNewItem() override;
    void ValidateID(const TResourceIdent& Value) override;

    // Pictures: a platform bitmap or icon; anything else raises the assign error.
    using TCustomGraphicResourceItem::Assign;
    using TCustomGraphicResourceItem::AssignTo;
    void Assign(const TGraphic& Source) override;
    void AssignTo(TGraphic& Dest) override;
    // Encodes the icon's bitmaps (no file header) into Stream.
    void EncodeIconHandle(TStream& Stream, const TIcon& Icon);

    virtual int GetResourceDataSize() const;
    virtual int GetImageType() const = 0;
    virtual void SetResourceDirectory(const TResourceDirectory& Entry);
    virtual void GetResourceDirectory(TResourceDirectory& Entry) const;
    // The group entry as last set, untouched by the image.
    const TResourceDirectory& StoredResourceDirectory() const { return FResourceDirectory; }
    virtual void SetFileDirectory(const TIconDirectoryEntry& Entry);
    virtual void GetFileDirectory(TIconDirectoryEntry& Entry) const;

    // IGraphicTransparentResourceItem
    TResourceItemTransparencyMethod GetTransparencyMethod() override;
    TColor GetTransparentColor() override { return TransparentDisplayColor(); }
    bool GetSupportsInverseMask() override { return SupportsInverseMask(); }
    void GetBitmaps(std::unique_ptr<TBitmap>& Bitmap, std::unique_ptr<TBitmap>& Mask,
                    std::unique_ptr<TBitmap>& InverseMask) override;
    void SetBitmaps(const TBitmap& Bitmap, const TBitmap* Mask, const TBitmap* InverseMask) override;

    // IGraphicPaletteResourceItem
    void GetPalette(TColorArray& Palette) override { Palette = FPalette; }
    void SetPalette(const TColorArray& Palette) override { FPalette = Palette; }
    bool GetUsesPalette() override;

    // For tests: how often the header and the whole image were decoded.
    int DecodeInfoCount() const { return FDecodeInfoCount; }
    int DecodeCount() const { return FDecodeCount; }
    const TIconCursorStates& State() const { return FState; }
    bool HasBitmaps() const { return FBitmapMask != nullptr; }

protected:
    virtual bool SupportsInverseMask() const { return false; }
    // The cursor's hot spot; (0, 0) for icons.
    virtual TCursorHotspot CurrentHotspot() const { return {}; }
    virtual void StoreHotspot(const TCursorHotspot&) {}
    virtual void DecodeImage(TStream& Stream, TIconInfo& IconInfo);
    virtual void DecodeImageInfo(TStream& Stream);

    int GetWidth() const override;
    int GetHeight() const override;
    TColorDepth GetColorDepth() const override;
    TColorDepths GetSupportedColorDepths() const override { return {1, 4, 8, 24, 32}; }
    int GetSize() const override;
    QString GetDescription() const override;
    QString GetFilename() const override;
    void DoSetFilename(const QString& Value) override;

    void EnsureImageInfo() const;
    void EnsureImage() const;
    bool GetHasImage() const;
    // The encoded bytes, encoding the bitmaps first when they are newer.
    const QByteArray& GetDataStream() const;
    void EncodeImage(TStream& Stream, const TIconInfo& IconInfo, bool WithFileHeader) const;
    // Take ownership; the stored bytes are dropped and encoded again when next asked for.
    void SetBitmapColor(std::unique_ptr<TBitmap> Value);
    void SetBitmapMask(std::unique_ptr<TBitmap> Value);
    // In a change batch: Color (1, 4, 8, 24 or 32 bits; a 1-bit one goes below the AND mask) and Mask
    // (the AND mask, of the same size) become the image.
    void StoreImage(std::unique_ptr<TBitmap> Color, std::unique_ptr<TBitmap> Mask);
    void ResizeImage(int AWidth, int AHeight);

    // Mutable: reading a property decodes on demand, reading the bytes encodes on demand.
    mutable std::unique_ptr<QByteArray> FDataStream;
    mutable std::unique_ptr<TBitmap> FBitmapMask;
    mutable std::unique_ptr<TBitmap> FBitmapColor;
    mutable TIconCompression FCompression = icBMP;
    mutable TIconCompression FCurrentCompression = icBMP;
    mutable int FWidth = 0;
    mutable int FHeight = 0;
    mutable TColorDepth FColorDepth = 0;
    mutable TColorArray FPalette;
    mutable TIconCursorStates FState;
    TResourceDirectory FResourceDirectory;
    // The image is the one the stored entry describes: nothing changed it since the entry was set.
    bool FDirectoryAsRead = false;
    mutable int FDecodeInfoCount = 0;
    mutable int FDecodeCount = 0;
};

class TCustomIconResourceItem : public TCustomIconCursorResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TCustomIconResourceItem, TCustomIconCursorResourceItem)
    Q_PROPERTY(TIconCompression Compression READ Compression WRITE SetCompression)

public:
    explicit TCustomIconResourceItem(const TResourceIdent& AResName = TResourceIdent());

    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream* Data);
    static bool HandlesFile(const QString& Filename, TStream* Data);
    static QString ResourceTypeName() { return QStringLiteral("Icon"); }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);
    static TResourceItemClass ParentClass();

    int GetImageType() const override { return 1; }
    void SetResourceDirectory(const TResourceDirectory& Entry) override;
    void GetResourceDirectory(TResourceDirectory& Entry) const override;
    void SetFileDirectory(const TIconDirectoryEntry& Entry) override;
    void GetFileDirectory(TIconDirectoryEntry& Entry) const override;
};

class TIconResourceItem : public TCustomIconResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TIconResourceItem, TCustomIconResourceItem)

public:
    using TCustomIconResourceItem::TCustomIconResourceItem;
};

class TCustomCursorResourceItem : public TCustomIconCursorResourceItem, public IGraphicHotspotResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TCustomCursorResourceItem, TCustomIconCursorResourceItem)

public:
    explicit TCustomCursorResourceItem(const TResourceIdent& AResName = TResourceIdent());

    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream* Data);
    static bool HandlesFile(const QString& Filename, TStream* Data);
    static QString ResourceTypeName() { return QStringLiteral("Cursor"); }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);
    static TResourceItemClass ParentClass();

    int GetImageType() const override { return 2; }
    void GetResourceDirectory(TResourceDirectory& Entry) const override;
    void GetFileDirectory(TIconDirectoryEntry& Entry) const override;

    // IGraphicHotspotResourceItem. Setting the hot spot is a change of the item.
    void GetHotspot(QPoint& Hotspot) override;
    void SetHotspot(const QPoint& Hotspot) override;

protected:
    bool SupportsInverseMask() const override;
    TCursorHotspot CurrentHotspot() const override;
    void StoreHotspot(const TCursorHotspot& Value) override { FHotspot = Value; }
    void DecodeImage(TStream& Stream, TIconInfo& IconInfo) override;
    void DecodeImageInfo(TStream& Stream) override;

    mutable TCursorHotspot FHotspot;
};

class TCursorResourceItem : public TCustomCursorResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TCursorResourceItem, TCustomCursorResourceItem)

public:
    using TCustomCursorResourceItem::TCustomCursorResourceItem;
};

// A directory entry of a group that no image of the module answers to at load (missing, or taken by
// an earlier group). It is written back as read, so a load and save keeps the group as it was.
struct TIconCursorGroupKeptEntry {
    TResourceDirectory Entry;
    // The image another group took (written with its current entry), or null for a missing image.
    QPointer<TCustomIconCursorResourceItem> Image;
    // Written before this child; null: after the last child.
    QPointer<TCustomResourceItem> Before;
};

// The list of the images of one icon or cursor; owns no pixels. The images are module items that are
// the group's children.
class TCustomIconCursorGroupResourceItem : public TResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TCustomIconCursorGroupResourceItem, TResourceItem)
    Q_PROPERTY(QString Filename READ Filename WRITE SetFilename)

public:
    TCustomIconCursorGroupResourceItem(uint16_t TypeID, const TResourceIdent& AResName);
    ~TCustomIconCursorGroupResourceItem() override;

    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcLoad, rcSave}; }

    virtual int GetImageType() const = 0;

    void Clear() override {}
    void AssignFromItem(TCustomResourceItem* Source) override;
    void LoadFromStream(TStream& Stream, int64_t Size) override;
    void AfterLoad() override;
    void SaveToStream(TStream& Stream) override;
    void LoadFromFileStream(TStream& Stream) override;
    void SaveToFileStream(TStream& Stream) override;

    const std::vector<TIconCursorGroupKeptEntry>& KeptEntries() const { return FKeptEntries; }

protected:
    bool GetIsGroup() const override { return true; }
    int GetSize() const override;
    // Joining a module: images made while the group had none join it too, and a directory read while
    // it had none is bound.
    void DoSetModule(TCustomResourceModule* Value) override;
    void BeforeDestruction() override;

    // Read by LoadFromStream, bound and emptied by AfterLoad.
    std::vector<TResourceDirectory> FResourceDirectory;
    // Entries that bound no child at load, written back in their place.
    std::vector<TIconCursorGroupKeptEntry> FKeptEntries;

private:
    // Makes the module's images named by FResourceDirectory the children; keeps the entries it cannot.
    void Bind();
    // Frees the images that belong to no module: only the group holds them.
    void ReleaseLooseChildren();
};

class TIconGroupResourceItem : public TCustomIconCursorGroupResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TIconGroupResourceItem, TCustomIconCursorGroupResourceItem)

public:
    explicit TIconGroupResourceItem(const TResourceIdent& AResName = TResourceIdent());

    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream* Data);
    static bool HandlesFile(const QString& Filename, TStream* Data);
    static QString ResourceTypeName() { return QStringLiteral("Icon"); }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);

    int GetImageType() const override { return 1; }
    TCustomResourceItem* CreateChild() override;
};

class TCursorGroupResourceItem : public TCustomIconCursorGroupResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TCursorGroupResourceItem, TCustomIconCursorGroupResourceItem)

public:
    explicit TCursorGroupResourceItem(const TResourceIdent& AResName = TResourceIdent());

    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream* Data);
    static bool HandlesFile(const QString& Filename, TStream* Data);
    static QString ResourceTypeName() { return QStringLiteral("Cursor"); }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);

    int GetImageType() const override { return 2; }
    TCustomResourceItem* CreateChild() override;
};

// The item's resource bytes as an icon (Icon) or a cursor (a hot spot, then the image); raises on data
// that is no icon or cursor image.
std::unique_ptr<TIcon> ItemToIcon(TCustomResourceItem* Item, bool Icon);

void koResourceItemIconCursor_Initialize();
void koResourceItemIconCursor_Finalize();
