// Animated cursors and icons (RT_ANICURSOR, RT_ANIICON) and .ani files, all RIFF "ACON": frames are
// icon or cursor images that live only in their animation's child list; an optional sequence gives the
// order in which frames show and for how long (in jiffies of 1/60 second).
#pragma once

#include "kinds/koResourceItemIconCursor.h"
#include "model/koResourcesItemItems.h"
#include "platform/GifImage.h"

#include <QByteArray>
#include <memory>
#include <vector>

class TCustomAnimatedIconCursorResourceItem;

class TAnimatedIconSequenceStep : public TResourceItemItem<TCustomAnimatedIconCursorResourceItem> {
    Q_OBJECT
    Q_PROPERTY(int FrameIndex READ FrameIndex WRITE SetFrameIndex)
    Q_PROPERTY(int DisplayRate READ DisplayRate WRITE SetDisplayRate)

public:
    // Shows the frame of its own index (the last frame when there are fewer) at the default rate.
    explicit TAnimatedIconSequenceStep(TCustomResourceItemItems* ACollection);
    int FrameIndex() const { return FFrameIndex; }
    // Raises "Invalid RIFF animation frame index" for an index not below the number of frames.
    void SetFrameIndex(int Value);
    int DisplayRate() const { return FDisplayRate; }
    void SetDisplayRate(int Value);
    // Without the frame check: reading and child notifications keep the sequence in step.
    void StoreFrameIndex(int Value) { FFrameIndex = Value; }
    void StoreDisplayRate(int Value) { FDisplayRate = Value; }

private:
    int FFrameIndex = 0;
    int FDisplayRate = 0;
};

using TAnimatedIconSequence = TResourceItemItems<TCustomAnimatedIconCursorResourceItem, TAnimatedIconSequenceStep>;

class TCustomAnimatedIconCursorResourceItem : public TBasicGraphicResourceItem,
                                              public ISequencedResourceItem,
                                              public IResourceItemNotification {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TCustomAnimatedIconCursorResourceItem, TBasicGraphicResourceItem)
    Q_PROPERTY(QByteArray Title READ Title WRITE SetTitle)
    Q_PROPERTY(QByteArray Author READ Author WRITE SetAuthor)
    Q_PROPERTY(QByteArray Copyright READ Copyright WRITE SetCopyright)
    Q_PROPERTY(int DefaultDisplayRate READ DefaultDisplayRate WRITE SetDefaultDisplayRate)

public:
    TCustomAnimatedIconCursorResourceItem(uint16_t TypeID, const TResourceIdent& AResName);
    ~TCustomAnimatedIconCursorResourceItem() override;

    static TResourceItemCapabilities Capabilities() { return {rcWrite, rcCreate, rcLoad, rcSave}; }
    static bool HandlesFile(const QString& Filename, TStream* Data);

    // Texts are 8-bit, in the system's ANSI code page, as the file holds them.
    const QByteArray& Title() const { return FTitle; }
    void SetTitle(const QByteArray& Value) { FTitle = Value; }
    const QByteArray& Author() const { return FAuthor; }
    void SetAuthor(const QByteArray& Value) { FAuthor = Value; }
    const QByteArray& Copyright() const { return FCopyright; }
    void SetCopyright(const QByteArray& Value) { FCopyright = Value; }
    int DefaultDisplayRate() const { return FDefaultDisplayRate; }
    // Values of 0 or less are ignored.
    void SetDefaultDisplayRate(int Value);
    TAnimatedIconSequence* Sequence() const { return FSequence.get(); }
    bool HasHotSpot() const { return false; }
    int FrameCount() const;
    TCustomIconCursorResourceItem* Frame(int Index) const;

    void Clear() override;
    void InitializeNewItem() override;
    TCustomResourceItem* CreateChild() override = 0;
    void ChildNotification(TCustomResourceItem* Child, TResourceChildNotification Notification) override;
    void LoadFromStream(TStream& Stream, int64_t Size) override;
    void SaveToStream(TStream& Stream) override;
    // A GIF file imports its frames; anything else is read as the resource data.
    void LoadFromFileStream(TStream& Stream) override;

    using TBasicGraphicResourceItem::Assign;
    using TBasicGraphicResourceItem::AssignTo;
    // A GIF image imports its frames (the animation gets the default rate, not the GIF's timing).
    void Assign(const TGraphic& Source) override;
    // A platform bitmap gets the first frame (or is cleared without frames).
    void AssignTo(TGraphic& Dest) override;

    // ISequencedResourceItem: moves the frame; the sequence is not touched.
    void MoveFrame(int OldIndex, int NewIndex) override;
    // IResourceItemNotification: nothing to do.
    void ResourceItemNotification(TCustomResourceItem*, TResourceItemNotification) override {}

    // Some step's rate differs from the first step's.
    bool RatesVary() const;
    // The sequence has steps and their number or order differs from the frames'.
    bool CustomOrder() const;
    // Adds steps until there are N; a new step shows its own index (or the last frame) at the default rate.
    void EnsureSteps(int N, int Frames);

protected:
    int GetWidth() const override;
    int GetHeight() const override;
    int GetSize() const override;
    QString GetDescription() const override;
    // The frame class of the kind (icon or cursor frames), for CreateChild.
    virtual TCustomIconCursorResourceItem* NewFrame(int ImageType) = 0;
    // The frames go before the item lets go of its children, so that none is left without an owner.
    void BeforeDestruction() override;

    std::unique_ptr<TAnimatedIconSequence> FSequence;
    QByteArray FAuthor;
    QByteArray FTitle;
    QByteArray FCopyright;
    int FDefaultDisplayRate = 5;

private:
    // Frames are no module items, so the animation owns them while they are in its child list; a frame
    // taken out of the list belongs to whoever took it out.
    TOwnedChildItems FFrames;
    // Reading and letting go of the frames keep the sequence as it is.
    int FKeepSequence = 0;
    void ReleaseFrames();
    void ReadChunks(const TBinaryReader& File);
    void ReadFrame(const TBinaryReader& Chunk, int64_t At);
    void ImportGIF(const TGIFImage& Image);
    void AddImportedFrame(const TBitmap& Bitmap, QPoint Hotspot);
};

class TAnimatedIconResourceItemFrame : public TCustomIconResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TAnimatedIconResourceItemFrame, TCustomIconResourceItem)

public:
    using TCustomIconResourceItem::TCustomIconResourceItem;
    static TResourceItemClass ParentClass();

protected:
    // Frames live only in their animation.
    void DoSetModule(TCustomResourceModule* Value) override;
};

class TAnimatedCursorResourceItemFrame : public TCustomCursorResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TAnimatedCursorResourceItemFrame, TCustomCursorResourceItem)

public:
    using TCustomCursorResourceItem::TCustomCursorResourceItem;
    static TResourceItemClass ParentClass();

protected:
    void DoSetModule(TCustomResourceModule* Value) override;
};

class TAnimatedIconResourceItem : public TCustomAnimatedIconCursorResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TAnimatedIconResourceItem, TCustomAnimatedIconCursorResourceItem)

public:
    explicit TAnimatedIconResourceItem(const TResourceIdent& AResName = TResourceIdent());
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream* Data);
    static QString ResourceTypeName() { return QStringLiteral("Animated icon"); }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);
    TCustomResourceItem* CreateChild() override;

protected:
    TCustomIconCursorResourceItem* NewFrame(int ImageType) override;
};

class TAnimatedCursorResourceItem : public TCustomAnimatedIconCursorResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TAnimatedCursorResourceItem, TCustomAnimatedIconCursorResourceItem)

public:
    explicit TAnimatedCursorResourceItem(const TResourceIdent& AResName = TResourceIdent());
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& Name, TStream* Data);
    static QString ResourceTypeName() { return QStringLiteral("Animated cursor"); }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);
    TCustomResourceItem* CreateChild() override;

protected:
    TCustomIconCursorResourceItem* NewFrame(int ImageType) override;
};

void koResourceItemAnimatedIconCursor_Initialize();
void koResourceItemAnimatedIconCursor_Finalize();
