// GIF images under any type (created under the named type "GIF"): the item owns the image, and one
// child item per frame stands for that frame, so that frames show as frame buttons and are edited
// through the image faces.
#pragma once

#include "kinds/koResourceItemImage.h"
#include "platform/GifImage.h"

#include <QStringList>
#include <memory>
#include <vector>

class TGIFResourceItemFrame;

class TGIFResourceItem : public TBasicGraphicResourceItem,
                         public ISequencedResourceItem,
                         public IGraphicTransparentResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TGIFResourceItem, TBasicGraphicResourceItem)
    Q_PROPERTY(QString Filename READ Filename WRITE SetFilename)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(QString ItemType READ FriendlyTypeName WRITE SetItemType)
    Q_PROPERTY(int BackgroundColorIndex READ BackgroundColorIndex WRITE SetBackgroundColorIndex)
    Q_PROPERTY(bool Loop READ Loop WRITE SetLoop)
    Q_PROPERTY(int LoopCount READ LoopCount WRITE SetLoopCount)
    Q_PROPERTY(bool Transparent READ Transparent)

public:
    explicit TGIFResourceItem(const TResourceIdent& AResName = TResourceIdent());
    ~TGIFResourceItem() override;

    static QString ResourceTypeName() { return QStringLiteral("GIF image"); }
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream* Data);
    static bool HandlesFile(const QString& Filename, TStream* Data);
    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcLoad, rcSave}; }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);
    // The 6x6x6 colour cube, channel values 0, 51, ... 255; entry 36j + 6k + l has j in the blue,
    // k in the green and l in the red byte.
    static TColorArray DefaultPalette();

    const TGIFImage& Image() const { return *FImage; }
    TGIFImage& Image() { return *FImage; }
    void SetImage(const TGIFImage& Value);
    void SetWidth(int Value);
    void SetHeight(int Value);
    int BackgroundColorIndex() const { return FImage->BackgroundColorIndex(); }
    void SetBackgroundColorIndex(int Value);
    bool Loop() const { return FLoop; }
    void SetLoop(bool Value);
    int LoopCount() const { return FLoopCount; }
    void SetLoopCount(int Value);
    bool Transparent() const { return FImage->IsTransparent(); }
    // The global colour map.
    TColorArray Palette() const { return FImage->GlobalColorMap().ExportPalette(); }
    void SetPalette(const TColorArray& Value);
    int FrameCount() const;
    TGIFResourceItemFrame* Frame(int Index) const;

    void Clear() override;
    void Changed() override;
    void LoadFromStream(TStream& Stream, int64_t Size) override;
    void SaveToStream(TStream& Stream) override;
    TCustomResourceItem* CreateChild() override;
    void ChildNotification(TCustomResourceItem* Child, TResourceChildNotification Notification) override;
    void InitializeNewItem() override;

    using TBasicGraphicResourceItem::Assign;
    using TBasicGraphicResourceItem::AssignTo;
    // A picture (a GIF image among them) replaces the image; another GIF item brings its loop too.
    void Assign(const TGraphic& Source) override;
    void Assign(QObject* Source) override;
    // The image itself when it has no frames, else the first frame.
    void AssignTo(TGraphic& Dest) override;

    // ISequencedResourceItem: the child item and the platform frame move alike.
    void MoveFrame(int CurIndex, int NewIndex) override;
    // IGraphicTransparentResourceItem: the first frame's face; without frames no transparency and
    // no bitmaps.
    TResourceItemTransparencyMethod GetTransparencyMethod() override;
    TColor GetTransparentColor() override { return TColor(0); }
    bool GetSupportsInverseMask() override { return false; }
    void GetBitmaps(std::unique_ptr<TBitmap>& Bitmap, std::unique_ptr<TBitmap>& Mask,
                    std::unique_ptr<TBitmap>& InverseMask) override;
    void SetBitmaps(const TBitmap& Bitmap, const TBitmap* Mask, const TBitmap* InverseMask) override;

protected:
    int GetWidth() const override { return FImage->Width(); }
    int GetHeight() const override { return FImage->Height(); }
    int GetSize() const override;
    void BeforeDestruction() override;

private:
    void ReleaseFrames();
    void BuildFrames();
    std::unique_ptr<TGIFImage> FImage;
    bool FLoop = false;
    int FLoopCount = 0;
    // Frames belong to no module: this item owns them while they are in its child list.
    TOwnedChildItems FFrames;
    // The length as written, -1 until asked after a change: writing encodes the image anew.
    mutable int FSize = -1;
};

class TGIFResourceItemFrame : public TCustomGraphicResourceItem,
                              public IGraphicTransparentResourceItem,
                              public IGraphicPaletteResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TGIFResourceItemFrame, TCustomGraphicResourceItem)
    Q_PROPERTY(int Left READ Left WRITE SetLeft)
    Q_PROPERTY(int Top READ Top WRITE SetTop)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(int ColorDepth READ ColorDepth WRITE SetColorDepth)
    Q_PROPERTY(bool Interlaced READ Interlaced WRITE SetInterlaced)
    Q_PROPERTY(bool SharedPalette READ SharedPalette WRITE SetSharedPalette)
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
    Q_PROPERTY(int TransparentColorIndex READ TransparentColorIndex WRITE SetTransparentColorIndex)
    Q_PROPERTY(int Delay READ Delay WRITE SetDelay)
    Q_PROPERTY(GifTypes::TDisposalMethod Disposal READ Disposal WRITE SetDisposal)
    Q_PROPERTY(QStringList Comment READ Comment WRITE SetComment)

public:
    // Stands for Frame (owned: the frame leaves its image with the item).
    TGIFResourceItemFrame(const TResourceIdent& AResName, TGIFFrame* AFrame);
    explicit TGIFResourceItemFrame(const TResourceIdent& AResName = TResourceIdent());
    ~TGIFResourceItemFrame() override;

    static QString ResourceTypeName() { return QStringLiteral("GIF Frame"); }
    static TResourceItemCapabilities Capabilities() { return {rcCreate}; }
    static TResourceItemClass ParentClass() { return TGIFResourceItem::ClassInfo(); }

    TGIFFrame* Frame() const { return FFrame; }
    TGIFResourceItem* GIFItem() const;
    int Left() const { return FFrame->Left(); }
    void SetLeft(int Value);
    int Top() const { return FFrame->Top(); }
    void SetTop(int Value);
    void SetWidth(int Value);
    void SetHeight(int Value);
    void SetColorDepth(int Value);
    bool Interlaced() const { return FFrame->Interlaced(); }
    void SetInterlaced(bool Value);
    // Uses the image's global map (its own map is empty).
    bool SharedPalette() const { return FFrame->ColorMap().Empty(); }
    void SetSharedPalette(bool Value);
    bool Transparent() const { return FFrame->Transparent(); }
    void SetTransparent(bool Value);
    int TransparentColorIndex() const { return FFrame->TransparentColorIndex(); }
    void SetTransparentColorIndex(int Value);
    int Delay() const { return FFrame->Delay(); }
    void SetDelay(int Value);
    TDisposalMethod Disposal() const { return FFrame->Disposal(); }
    void SetDisposal(TDisposalMethod Value);
    QStringList Comment() const;
    void SetComment(const QStringList& Value);

    void Changed() override;
    void LoadFromStream(TStream&, int64_t) override {}
    void InitializeNewItem() override;
    using TCustomGraphicResourceItem::Assign;
    using TCustomGraphicResourceItem::AssignTo;
    void Assign(const TGraphic& Source) override;
    void AssignTo(TGraphic& Dest) override;

    // IGraphicTransparentResourceItem
    TResourceItemTransparencyMethod GetTransparencyMethod() override { return Transparent() ? rtmMask : rtmNone; }
    TColor GetTransparentColor() override { return TColor(0); }
    bool GetSupportsInverseMask() override { return false; }
    void GetBitmaps(std::unique_ptr<TBitmap>& Bitmap, std::unique_ptr<TBitmap>& Mask,
                    std::unique_ptr<TBitmap>& InverseMask) override;
    void SetBitmaps(const TBitmap& Bitmap, const TBitmap* Mask, const TBitmap* InverseMask) override;
    // IGraphicPaletteResourceItem
    void GetPalette(TColorArray& Palette) override { Palette = FFrame->ActiveColorMap().ExportPalette(); }
    void SetPalette(const TColorArray& Palette) override;
    bool GetUsesPalette() override { return true; }

protected:
    int GetWidth() const override { return FFrame->Width(); }
    int GetHeight() const override { return FFrame->Height(); }
    TColorDepth GetColorDepth() const override;
    TColorDepths GetSupportedColorDepths() const override { return {1, 2, 3, 4, 5, 6, 7, 8}; }
    // Frames live only in their GIF item.
    void DoSetModule(TCustomResourceModule* Value) override;

private:
    template <class Setter>
    void SetControl(bool Empty, bool Same, Setter Set);
    // Frame of a frame item made without an image (by the registry): it owns that image.
    std::unique_ptr<TGIFImage> FOwnImage;
    TGIFFrame* FFrame = nullptr;
};

void koResourceItemGIF_Initialize();
void koResourceItemGIF_Finalize();
