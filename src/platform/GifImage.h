// GIF pictures (GIF87a and GIF89a) as an editable object model: an image with a logical screen, a
// global colour map and frames; each frame with its descriptor, one byte per pixel, a local colour map
// and its extensions in file order (graphic control, comment, looping, others kept as bytes). Colour
// maps hold any count up to 256; giflib is only the codec underneath.
#pragma once

#include "Graphics.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QStringList>
#include <memory>
#include <vector>

class TBitmap;
class TGIFImage;

ATELIER_EXCEPTION_CLASS(EGIFError, EInvalidGraphic)

// At most 256 colours; adding more raises "Color table overflow".
class TGIFColorMap {
public:
    static constexpr int MaxColors = 256;
    int Count() const { return static_cast<int>(FColors.size()); }
    bool Empty() const { return FColors.empty(); }
    TColor Colors(int Index) const;
    void SetColors(int Index, TColor Value);
    int Add(TColor Value);
    void Delete(int Index);
    void Clear() { FColors.clear(); }
    void Assign(const TGIFColorMap& Source) { FColors = Source.FColors; }
    const TColorArray& ExportPalette() const { return FColors; }
    // Every colour of Value in order (raises before changing anything when there are too many).
    void SetPalette(const TColorArray& Value);
    bool operator==(const TGIFColorMap& Other) const { return FColors == Other.FColors; }

private:
    TColorArray FColors;
};

namespace GifTypes {
Q_NAMESPACE
enum TDisposalMethod { dmNone, dmNoDisposal, dmBackground, dmPrevious };
Q_ENUM_NS(TDisposalMethod)
} // namespace GifTypes
using GifTypes::TDisposalMethod;
using enum GifTypes::TDisposalMethod;

class TGIFExtension {
public:
    virtual ~TGIFExtension() = default;
    virtual std::unique_ptr<TGIFExtension> Clone() const = 0;
};

class TGIFGraphicControlExtension : public TGIFExtension {
public:
    std::unique_ptr<TGIFExtension> Clone() const override { return std::make_unique<TGIFGraphicControlExtension>(*this); }
    TDisposalMethod Disposal = dmNone; // file values 4..7 are read as dmNone
    bool UserInput = false;
    bool Transparent = false;
    uint8_t TransparentColorIndex = 0;
    uint16_t Delay = 0; // hundredths of a second
};

class TGIFCommentExtension : public TGIFExtension {
public:
    std::unique_ptr<TGIFExtension> Clone() const override { return std::make_unique<TGIFCommentExtension>(*this); }
    // The comment's bytes as text (Latin-1), split at line breaks.
    QStringList Text;
};

// The NETSCAPE2.0 application extension.
class TGIFLoopExtension : public TGIFExtension {
public:
    std::unique_ptr<TGIFExtension> Clone() const override { return std::make_unique<TGIFLoopExtension>(*this); }
    uint16_t LoopCount = 0; // 0: endless
};

// Any other extension, written back as read.
class TGIFUnknownExtension : public TGIFExtension {
public:
    std::unique_ptr<TGIFExtension> Clone() const override { return std::make_unique<TGIFUnknownExtension>(*this); }
    int Function = 0;
    std::vector<QByteArray> Blocks;
};

class TGIFFrame {
public:
    // Appends itself to the image, which owns it: a frame goes through TGIFImage::DeleteFrame.
    explicit TGIFFrame(TGIFImage* Image);
    TGIFFrame(const TGIFFrame&) = delete;
    TGIFFrame& operator=(const TGIFFrame&) = delete;
    ~TGIFFrame();

    TGIFImage* Image() const { return FImage; }
    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int Value);
    void SetTop(int Value);
    // Resizing keeps the pixels of the common top-left area; new pixels are index 0.
    void SetSize(int AWidth, int AHeight);
    bool Empty() const { return FWidth == 0 || FHeight == 0; }
    bool Interlaced() const { return FInterlaced; }
    void SetInterlaced(bool Value) { FInterlaced = Value; }

    const uint8_t* ScanLine(int y) const;
    uint8_t* ScanLine(int y);
    uint8_t Pixel(int x, int y) const { return ScanLine(y)[x]; }
    void SetPixel(int x, int y, uint8_t Index) { ScanLine(y)[x] = Index; }
    const QByteArray& Pixels() const { return FPixels; }

    TGIFColorMap& ColorMap() { return FColorMap; }
    const TGIFColorMap& ColorMap() const { return FColorMap; }
    // The local map when it has entries, else the image's global map.
    const TGIFColorMap& ActiveColorMap() const;
    TGIFColorMap& ActiveColorMap();

    std::vector<std::unique_ptr<TGIFExtension>>& Extensions() { return FExtensions; }
    const std::vector<std::unique_ptr<TGIFExtension>>& Extensions() const { return FExtensions; }
    template <class T>
    T* FindExtension() const
    {
        for (const auto& extension : FExtensions)
            if (auto* found = dynamic_cast<T*>(extension.get())) return found;
        return nullptr;
    }
    // The graphic control extension, made (before the other extensions) when missing.
    TGIFGraphicControlExtension& GraphicControlExtension();
    void RemoveExtension(const TGIFExtension* Extension);

    bool Transparent() const;
    int TransparentColorIndex() const;
    // The colour of the transparent index in the active map (black outside it).
    TColor TransparentColor() const;
    int Delay() const;
    TDisposalMethod Disposal() const;

    // Takes a picture's size and pixels: a palette bitmap keeps its indices and palette (as the local
    // map); other pictures are reduced to at most 256 colours, their transparent pixels (alpha below
    // 128, or the bitmap's transparent colour) becoming a transparent index of their own.
    void Assign(const TGraphic& Source);
    // An 8-bit bitmap of the frame's size with the active map as palette and the frame's indices.
    TBitmap ToBitmap() const;
    // The frame alone: ARGB32, transparent pixels alpha 0 (cached until DropCachedBitmap).
    QImage ToQImage() const;
    void DropCachedBitmap() { FCache = QImage(); }
    // A deep copy into another image (the new frame is appended there).
    void CopyTo(TGIFImage& Target) const;

private:
    friend class TGIFImage;
    TGIFImage* FImage;
    int FLeft = 0;
    int FTop = 0;
    int FWidth = 0;
    int FHeight = 0;
    bool FInterlaced = false;
    QByteArray FPixels;
    TGIFColorMap FColorMap;
    std::vector<std::unique_ptr<TGIFExtension>> FExtensions;
    mutable QImage FCache;
};

class TGIFImage : public TGraphic {
public:
    static const char* StaticClassName() { return "TGIFImage"; }
    TGIFImage() = default;
    TGIFImage(const TGIFImage& Other);
    TGIFImage& operator=(const TGIFImage& Other);
    ~TGIFImage() override;

    const char* ClassName() const override { return StaticClassName(); }
    std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TGIFImage>(*this); }
    bool Empty() const override { return FFrames.empty(); }
    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    void SetWidth(int Value) { FWidth = Value; }
    void SetHeight(int Value) { FHeight = Value; }
    uint8_t BackgroundColorIndex() const { return FBackgroundColorIndex; }
    void SetBackgroundColorIndex(uint8_t Value) { FBackgroundColorIndex = Value; }
    // Some frame is transparent.
    bool IsTransparent() const;

    TGIFColorMap& GlobalColorMap() { return FGlobalColorMap; }
    const TGIFColorMap& GlobalColorMap() const { return FGlobalColorMap; }
    int FrameCount() const { return static_cast<int>(FFrames.size()); }
    TGIFFrame* Frames(int Index) const { return FFrames[size_t(Index)].get(); }
    int IndexOf(const TGIFFrame* Frame) const;
    void MoveFrame(int CurIndex, int NewIndex);
    // Destroys the frame (it leaves the image).
    void DeleteFrame(TGIFFrame* Frame);
    // Extensions after the last frame.
    std::vector<std::unique_ptr<TGIFExtension>>& TrailingExtensions() { return FTrailing; }

    void Clear();
    // Damaged data raises EGIFError with the decoder's message and leaves the image empty.
    void LoadFromStream(TStream& Stream) override;
    // GIF89a when there is any extension, else GIF87a. Colour maps whose count is no power of two are
    // padded with black, as the format needs.
    void SaveToStream(TStream& Stream) const override;
    // A GIF image is copied; any other picture becomes the only frame.
    void Assign(const TGraphic& Source);
    void DropCachedBitmaps() const;
    // The first frame composed on the logical screen.
    QImage ToQImage() const override;

private:
    friend class TGIFFrame;
    int FWidth = 0;
    int FHeight = 0;
    uint8_t FBackgroundColorIndex = 0;
    uint8_t FAspectRatio = 0;
    TGIFColorMap FGlobalColorMap;
    std::vector<std::unique_ptr<TGIFFrame>> FFrames;
    std::vector<std::unique_ptr<TGIFExtension>> FTrailing;
};

// Composes the frames of an image on its logical screen, one after the other, honouring each frame's
// disposal. Pixels no frame has drawn are the background colour with alpha 0.
class TGIFRenderer {
public:
    // The logical screen, or the frames' extent when the screen has no size. A screen of more than
    // MaxPixels raises EGIFError: a few bytes can claim 65535 x 65535 pixels.
    static constexpr int64_t MaxPixels = int64_t(1) << 26;
    static QSize ScreenSize(const TGIFImage& Image);
    explicit TGIFRenderer(const TGIFImage& Image);
    TColor BackgroundColor() const { return FBackgroundColor; }
    void SetBackgroundColor(TColor Value);
    int FrameIndex() const { return FFrameIndex; }
    // The screen after the current frame was drawn (ARGB32, the image's logical size).
    const QImage& Canvas() const { return FCanvas; }
    // Disposes of the current frame and draws the next; after the last frame it starts again at 0.
    void NextFrame();
    void Reset();

private:
    void DrawCurrent();
    const TGIFImage& FImage;
    TColor FBackgroundColor{0};
    int FFrameIndex = 0;
    QImage FCanvas;
    QImage FBeforeCurrent;
};
