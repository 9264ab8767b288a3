#include "koResourceItemGIF.h"

#include "kinds/koColorDither.h"
#include "kinds/koColorQuantize.h"
#include "model/koResources.h"
#include "platform/Bitmap.h"
#include "platform/Streams.h"
#include "platform/UpdateGuard.h"

#include <QFileInfo>
#include <algorithm>
#include <optional>

namespace {

const QByteArray GIF87aSignature("GIF87a");
const QByteArray GIF89aSignature("GIF89a");

bool HasGIFSignature(TStream* Data)
{
    return MatchSignature(Data, GIF87aSignature, {}, 0) || MatchSignature(Data, GIF89aSignature, {}, 0);
}

// Batches opened on several items, closed in reverse order.
class TUpdateBatches {
public:
    void Open(TCustomResourceItem* Item)
    {
        Item->BeginUpdate();
        FItems.push_back(Item);
    }
    ~TUpdateBatches() noexcept(false)
    {
        while (!FItems.empty()) {
            TCustomResourceItem* item = FItems.back();
            FItems.pop_back();
            try {
                item->EndUpdate();
            } catch (...) {
                if (std::uncaught_exceptions() == 0) throw;
            }
        }
    }

private:
    std::vector<TCustomResourceItem*> FItems;
};

} // namespace

// TGIFResourceItem

TGIFResourceItem::TGIFResourceItem(const TResourceIdent& AResName)
    : TBasicGraphicResourceItem(TResourceIdent(QStringLiteral("GIF")), AResName), FImage(std::make_unique<TGIFImage>())
{
}

TGIFResourceItem::~TGIFResourceItem()
{
    LockUpdate();
    ReleaseFrames();
    UnlockUpdate();
}

void TGIFResourceItem::BeforeDestruction()
{
    LockUpdate();
    ReleaseFrames();
    UnlockUpdate();
    inherited::BeforeDestruction();
}

void TGIFResourceItem::ReleaseFrames()
{
    // Each frame takes its platform frame out of the image.
    FFrames.Release();
}

bool TGIFResourceItem::Handles(const TResourceIdent&, const TResourceIdent&, TStream* Data)
{
    return HasGIFSignature(Data);
}

bool TGIFResourceItem::HandlesFile(const QString& Filename, TStream* Data)
{
    return QFileInfo(Filename).suffix().compare(QLatin1String("gif"), Qt::CaseInsensitive) == 0 ||
           HasGIFSignature(Data);
}

TResourceItemGlyphHandle TGIFResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgItem) return LoadResourceGlyph(QStringLiteral("RES_GIF_ITEM"), QStringLiteral("gif.item"));
    return inherited::GetGlyph(Kind);
}

TColorArray TGIFResourceItem::DefaultPalette()
{
    TColorArray palette;
    palette.reserve(216);
    for (int j = 0; j < 6; ++j)
        for (int k = 0; k < 6; ++k)
            for (int l = 0; l < 6; ++l) palette.push_back(RGBColor(l * 51, k * 51, j * 51));
    return palette;
}

int TGIFResourceItem::FrameCount() const
{
    return HasItems() ? const_cast<TGIFResourceItem*>(this)->Items()->Count() : 0;
}

TGIFResourceItemFrame* TGIFResourceItem::Frame(int Index) const
{
    return dynamic_cast<TGIFResourceItemFrame*>(const_cast<TGIFResourceItem*>(this)->Items()->Items(Index));
}

void TGIFResourceItem::BuildFrames()
{
    TUpdateGuard batch(this);
    for (int i = 0; i < FImage->FrameCount(); ++i) {
        auto* frame = new TGIFResourceItemFrame(TResourceIdent::FromOrdinal(0), FImage->Frames(i));
        frame->SetParent(this);
    }
    if (FImage->FrameCount() > 0)
        if (const auto* loop = FImage->Frames(0)->FindExtension<TGIFLoopExtension>()) {
            FLoop = true;
            FLoopCount = loop->LoopCount;
        }
}

void TGIFResourceItem::SetImage(const TGIFImage& Value)
{
    TUpdateGuard batch(this);
    const TGIFImage copy(Value); // Value may be this item's own image
    ReleaseFrames();
    *FImage = copy;
    BuildFrames();
}

void TGIFResourceItem::SetWidth(int Value)
{
    if (Value == FImage->Width()) return;
    TUpdateGuard batch(this);
    FImage->SetWidth(std::clamp(Value, 0, 0xFFFF));
}

void TGIFResourceItem::SetHeight(int Value)
{
    if (Value == FImage->Height()) return;
    TUpdateGuard batch(this);
    FImage->SetHeight(std::clamp(Value, 0, 0xFFFF));
}

void TGIFResourceItem::SetBackgroundColorIndex(int Value)
{
    TUpdateGuard batch(this);
    FImage->SetBackgroundColorIndex(uint8_t(std::clamp(Value, 0, 255)));
}

void TGIFResourceItem::SetLoop(bool Value)
{
    if (Value == FLoop) return;
    TUpdateGuard batch(this);
    FLoop = Value;
}

void TGIFResourceItem::SetLoopCount(int Value)
{
    Value = std::clamp(Value, 0, 0xFFFF); // 16 bits in the file
    if (Value == FLoopCount) return;
    TUpdateGuard batch(this);
    FLoopCount = Value;
}

void TGIFResourceItem::SetPalette(const TColorArray& Value)
{
    if (Value.size() > size_t(TGIFColorMap::MaxColors)) throw EGIFError(QStringLiteral("Color table overflow"));
    TUpdateGuard batch(this);
    FImage->GlobalColorMap().SetPalette(Value);
}

void TGIFResourceItem::Clear()
{
    TUpdateGuard batch(this);
    ReleaseFrames();
    FImage->Clear();
    FLoop = false;
    FLoopCount = 0;
}

void TGIFResourceItem::Changed()
{
    FSize = -1;
    FImage->DropCachedBitmaps();
    inherited::Changed();
}

void TGIFResourceItem::LoadFromStream(TStream& Stream, int64_t Size)
{
    TUpdateGuard batch(this);
    Clear();
    // What an item without frames saved: nothing.
    if (Size == 0) return;
    const QByteArray data = Stream.ReadBytes(Size);
    if (data.size() < Size) throw EReadError(QStringLiteral("Stream read error"));
    TBytesStream memory(data);
    FImage->LoadFromStream(memory);
    BuildFrames();
}

void TGIFResourceItem::SaveToStream(TStream& Stream)
{
    if (FImage->FrameCount() == 0) return;
    auto& extensions = FImage->Frames(0)->Extensions();
    const auto found = std::find_if(extensions.begin(), extensions.end(), [](const auto& e) {
        return dynamic_cast<const TGIFLoopExtension*>(e.get()) != nullptr;
    });
    if (found != extensions.end()) {
        if (FLoop)
            static_cast<TGIFLoopExtension*>(found->get())->LoopCount = uint16_t(FLoopCount);
        else
            extensions.erase(found);
    } else if (FLoop) {
        auto loop = std::make_unique<TGIFLoopExtension>();
        loop->LoopCount = uint16_t(FLoopCount);
        extensions.push_back(std::move(loop));
    }
    FImage->SaveToStream(Stream);
}

int TGIFResourceItem::GetSize() const
{
    if (FSize < 0) {
        TMemoryStream data;
        const_cast<TGIFResourceItem*>(this)->SaveToStream(data);
        FSize = int(data.Size());
    }
    return FSize;
}

TCustomResourceItem* TGIFResourceItem::CreateChild()
{
    TUpdateGuard batch(this);
    return new TGIFResourceItemFrame(TResourceIdent::FromOrdinal(0), new TGIFFrame(FImage.get()));
}

void TGIFResourceItem::ChildNotification(TCustomResourceItem* Child, TResourceChildNotification Notification)
{
    inherited::ChildNotification(Child, Notification);
    FFrames.Notify(Child, Notification);
}

void TGIFResourceItem::InitializeNewItem()
{
    TUpdateGuard batch(this);
    Clear();
    inherited::InitializeNewItem();
    SetPalette(DefaultPalette());
    TCustomResourceItem* frame = AddChild();
    frame->InitializeNewItem();
    // The logical screen holds the new frame.
    FImage->SetWidth(FImage->Frames(0)->Width());
    FImage->SetHeight(FImage->Frames(0)->Height());
}

void TGIFResourceItem::Assign(const TGraphic& Source)
{
    TUpdateGuard batch(this);
    std::unique_ptr<TGraphic> copy = Source.Clone(); // Source may be this item's own image
    Clear();
    FImage->Assign(*copy);
    BuildFrames();
}

void TGIFResourceItem::Assign(QObject* Source)
{
    if (auto* other = dynamic_cast<TGIFResourceItem*>(Source)) {
        if (other == this) return;
        TUpdateGuard batch(this);
        Clear();
        *FImage = *other->FImage;
        BuildFrames();
        FLoop = other->FLoop;
        FLoopCount = other->FLoopCount;
        return;
    }
    inherited::Assign(Source);
}

void TGIFResourceItem::AssignTo(TGraphic& Dest)
{
    if (auto* gif = dynamic_cast<TGIFImage*>(&Dest)) {
        *gif = *FImage;
        return;
    }
    if (FrameCount() > 0) {
        Frame(0)->AssignTo(Dest);
        return;
    }
    if (auto* bitmap = dynamic_cast<TBitmap*>(&Dest)) {
        *bitmap = TBitmap();
        return;
    }
    inherited::AssignTo(Dest);
}

void TGIFResourceItem::MoveFrame(int CurIndex, int NewIndex)
{
    if (CurIndex == NewIndex) return;
    TUpdateGuard batch(this);
    FImage->MoveFrame(CurIndex, NewIndex);
    Items()->Move(CurIndex, NewIndex);
}

TResourceItemTransparencyMethod TGIFResourceItem::GetTransparencyMethod()
{
    return FrameCount() > 0 ? Frame(0)->GetTransparencyMethod() : rtmNone;
}

void TGIFResourceItem::GetBitmaps(std::unique_ptr<TBitmap>& Bitmap, std::unique_ptr<TBitmap>& Mask,
                                  std::unique_ptr<TBitmap>& InverseMask)
{
    Bitmap.reset();
    Mask.reset();
    InverseMask.reset();
    if (FrameCount() > 0) Frame(0)->GetBitmaps(Bitmap, Mask, InverseMask);
}

void TGIFResourceItem::SetBitmaps(const TBitmap& Bitmap, const TBitmap* Mask, const TBitmap* InverseMask)
{
    TUpdateGuard batch(this);
    if (FrameCount() == 0) AddChild()->InitializeNewItem();
    Frame(0)->SetBitmaps(Bitmap, Mask, InverseMask);
}

// TGIFResourceItemFrame

TGIFResourceItemFrame::TGIFResourceItemFrame(const TResourceIdent& AResName, TGIFFrame* AFrame)
    : TCustomGraphicResourceItem(TResourceIdent(QStringLiteral("GIF")), AResName), FFrame(AFrame)
{
}

TGIFResourceItemFrame::TGIFResourceItemFrame(const TResourceIdent& AResName)
    : TCustomGraphicResourceItem(TResourceIdent(QStringLiteral("GIF")), AResName),
      FOwnImage(std::make_unique<TGIFImage>())
{
    FFrame = new TGIFFrame(FOwnImage.get());
}

TGIFResourceItemFrame::~TGIFResourceItemFrame()
{
    if (!FOwnImage) FFrame->Image()->DeleteFrame(FFrame);
}

TGIFResourceItem* TGIFResourceItemFrame::GIFItem() const { return dynamic_cast<TGIFResourceItem*>(Parent()); }

void TGIFResourceItemFrame::DoSetModule(TCustomResourceModule* Value)
{
    ATELIER_ASSERT(Value == nullptr);
    inherited::DoSetModule(Value);
}

void TGIFResourceItemFrame::SetLeft(int Value)
{
    if (Value == Left()) return;
    TUpdateGuard batch(this);
    FFrame->SetLeft(Value);
}

void TGIFResourceItemFrame::SetTop(int Value)
{
    if (Value == Top()) return;
    TUpdateGuard batch(this);
    FFrame->SetTop(Value);
}

void TGIFResourceItemFrame::SetWidth(int Value)
{
    if (Value == Width()) return;
    TUpdateGuard batch(this);
    FFrame->SetSize(Value, FFrame->Height());
}

void TGIFResourceItemFrame::SetHeight(int Value)
{
    if (Value == Height()) return;
    TUpdateGuard batch(this);
    FFrame->SetSize(FFrame->Width(), Value);
}

void TGIFResourceItemFrame::SetInterlaced(bool Value)
{
    if (Value == Interlaced()) return;
    TUpdateGuard batch(this);
    FFrame->SetInterlaced(Value);
}

template <class Setter>
void TGIFResourceItemFrame::SetControl(bool Empty, bool Same, Setter Set)
{
    const auto* gce = FFrame->FindExtension<TGIFGraphicControlExtension>();
    if ((Empty && !gce) || (gce && Same)) return;
    TUpdateGuard batch(this);
    Set(FFrame->GraphicControlExtension());
}

void TGIFResourceItemFrame::SetTransparent(bool Value)
{
    SetControl(!Value, Value == Transparent(), [Value](TGIFGraphicControlExtension& gce) { gce.Transparent = Value; });
}

void TGIFResourceItemFrame::SetTransparentColorIndex(int Value)
{
    const auto index = uint8_t(std::clamp(Value, 0, 255));
    SetControl(index == 0, index == TransparentColorIndex(),
               [index](TGIFGraphicControlExtension& gce) { gce.TransparentColorIndex = index; });
}

void TGIFResourceItemFrame::SetDelay(int Value)
{
    const auto delay = uint16_t(std::clamp(Value, 0, 0xFFFF));
    SetControl(delay == 0, delay == Delay(), [delay](TGIFGraphicControlExtension& gce) { gce.Delay = delay; });
}

void TGIFResourceItemFrame::SetDisposal(TDisposalMethod Value)
{
    SetControl(Value == dmNone, Value == Disposal(), [Value](TGIFGraphicControlExtension& gce) { gce.Disposal = Value; });
}

QStringList TGIFResourceItemFrame::Comment() const
{
    const auto* comment = FFrame->FindExtension<TGIFCommentExtension>();
    return comment ? comment->Text : QStringList();
}

void TGIFResourceItemFrame::SetComment(const QStringList& Value)
{
    TUpdateGuard batch(this);
    auto* comment = FFrame->FindExtension<TGIFCommentExtension>();
    if (Value.isEmpty() || (Value.size() == 1 && Value[0].isEmpty())) {
        if (comment) FFrame->RemoveExtension(comment);
        return;
    }
    if (!comment) {
        FFrame->Extensions().push_back(std::make_unique<TGIFCommentExtension>());
        comment = static_cast<TGIFCommentExtension*>(FFrame->Extensions().back().get());
    }
    comment->Text = Value;
}

void TGIFResourceItemFrame::SetSharedPalette(bool Value)
{
    if (Value == SharedPalette()) return;
    TUpdateGuard batch(this);
    TGIFImage* image = FFrame->Image();
    if (Value) {
        if (image->GlobalColorMap().Empty()) image->GlobalColorMap().Assign(FFrame->ColorMap());
        FFrame->ColorMap().Clear();
    } else {
        FFrame->ColorMap().Assign(image->GlobalColorMap());
        bool used = false;
        for (int i = 0; i < image->FrameCount(); ++i) used = used || image->Frames(i)->ColorMap().Empty();
        if (!used) image->GlobalColorMap().Clear();
    }
}

TColorDepth TGIFResourceItemFrame::GetColorDepth() const
{
    int depth = 0;
    for (int count = FFrame->ActiveColorMap().Count(); count > 1; count /= 2) ++depth;
    return depth;
}

void TGIFResourceItemFrame::SetColorDepth(int Value)
{
    Value = std::clamp(Value, 1, 8);
    const int n = 1 << Value;
    TGIFColorMap& map = FFrame->ActiveColorMap();
    if (map.Count() == n) return;

    // The frames that use the map: every frame item sharing the global map, or this one.
    const bool shared = SharedPalette();
    std::vector<TGIFResourceItemFrame*> frames;
    TGIFResourceItem* gif = GIFItem();
    if (shared && gif) {
        for (int i = 0; i < gif->FrameCount(); ++i)
            if (TGIFResourceItemFrame* frame = gif->Frame(i); frame && frame->SharedPalette()) frames.push_back(frame);
    }
    if (std::find(frames.begin(), frames.end(), this) == frames.end()) frames.push_back(this);
    TUpdateBatches batches;
    for (TGIFResourceItemFrame* frame : frames) batches.Open(frame);

    if (n > map.Count()) {
        while (map.Count() < n) map.Add(clBlack);
        return;
    }

    bool transparent = false;
    TColor transparentColor{0};
    if (shared) {
        const TGIFImage* image = FFrame->Image();
        for (int i = 0; i < image->FrameCount() && !transparent; ++i)
            if (image->Frames(i)->Transparent()) {
                transparent = true;
                transparentColor = image->Frames(i)->TransparentColor();
            }
    } else if (Transparent()) {
        transparent = true;
        transparentColor = FFrame->TransparentColor();
    }

    // The colour values go in as stored (red in the low byte) and come back the same way.
    const auto colorOf = [&map](uint8_t Index) { return Index < map.Count() ? map.Colors(Index).Value : 0u; };
    TColorQuantizer quantizer(transparent ? n - 1 : n, 8);
    for (const TGIFResourceItemFrame* frame : frames) {
        const TGIFFrame* f = frame->FFrame;
        const bool keyed = f->Transparent();
        const int key = f->TransparentColorIndex();
        for (int y = 0; y < f->Height(); ++y) {
            const uint8_t* row = f->ScanLine(y);
            for (int x = 0; x < f->Width(); ++x)
                if (!(keyed && row[x] == key)) quantizer.ProcessPixel(colorOf(row[x]));
        }
    }
    std::vector<TRGBQuad> table;
    const int c = quantizer.GetColorTable(table);
    TOctreeColorLookup lookup(&quantizer);

    for (TGIFResourceItemFrame* frame : frames) {
        TGIFFrame* f = frame->FFrame;
        const bool keyed = f->Transparent();
        const int oldKey = f->TransparentColorIndex();
        if (keyed) f->GraphicControlExtension().TransparentColorIndex = uint8_t(c);
        TDitherEngine engine(f->Width(), &lookup);
        for (int y = 0; y < f->Height(); ++y) {
            uint8_t* row = f->ScanLine(y);
            for (int i = 0; i < f->Width(); ++i) {
                const int x = engine.Column();
                if (keyed && row[x] == oldKey) {
                    row[x] = uint8_t(c);
                    engine.NextColumn();
                } else {
                    uint32_t out = 0;
                    row[x] = engine.Dither(colorOf(row[x]), out);
                }
            }
            engine.NextLine();
        }
    }

    const int count = transparent ? c + 1 : c;
    while (map.Count() > count) map.Delete(map.Count() - 1);
    for (int i = 0; i < c; ++i)
        map.SetColors(i, TColor((uint32_t(table[size_t(i)].rgbRed) << 16) | (uint32_t(table[size_t(i)].rgbGreen) << 8) |
                                table[size_t(i)].rgbBlue));
    if (transparent) map.SetColors(c, transparentColor);
}

void TGIFResourceItemFrame::Changed()
{
    FFrame->DropCachedBitmap();
    inherited::Changed();
}

void TGIFResourceItemFrame::InitializeNewItem()
{
    TUpdateGuard batch(this);
    inherited::InitializeNewItem();
    SetWidth(16);
    SetHeight(16);
    TGIFImage* image = FFrame->Image();
    if (!image->GlobalColorMap().Empty())
        FFrame->ColorMap().Clear();
    else
        FFrame->ColorMap().SetPalette(TGIFResourceItem::DefaultPalette());
    for (int i = 0; i < image->FrameCount(); ++i) {
        const TGIFFrame* other = image->Frames(i);
        if (other == FFrame || !other->Transparent()) continue;
        TGIFGraphicControlExtension& gce = FFrame->GraphicControlExtension();
        gce.Transparent = true;
        gce.TransparentColorIndex = uint8_t(other->TransparentColorIndex());
        for (int y = 0; y < FFrame->Height(); ++y) std::fill_n(FFrame->ScanLine(y), FFrame->Width(), gce.TransparentColorIndex);
        break;
    }
}

void TGIFResourceItemFrame::Assign(const TGraphic& Source)
{
    TUpdateGuard batch(this);
    FFrame->Assign(Source);
}

void TGIFResourceItemFrame::AssignTo(TGraphic& Dest)
{
    if (auto* bitmap = dynamic_cast<TBitmap*>(&Dest)) {
        *bitmap = FFrame->ToBitmap();
        return;
    }
    inherited::AssignTo(Dest);
}

void TGIFResourceItemFrame::GetBitmaps(std::unique_ptr<TBitmap>& Bitmap, std::unique_ptr<TBitmap>& Mask,
                                       std::unique_ptr<TBitmap>& InverseMask)
{
    InverseMask.reset();
    Mask.reset();
    Bitmap = std::make_unique<TBitmap>(FFrame->ToBitmap());
    if (!Transparent()) return;
    Mask = std::make_unique<TBitmap>(Width(), Height(), pf1bit);
    const int key = TransparentColorIndex();
    for (int y = 0; y < Height(); ++y) {
        const uint8_t* row = FFrame->ScanLine(y);
        for (int x = 0; x < Width(); ++x) Mask->SetPixelIndex(x, y, row[x] == key ? 0 : 1);
    }
}

void TGIFResourceItemFrame::SetBitmaps(const TBitmap& Bitmap, const TBitmap* Mask, const TBitmap*)
{
    if (Bitmap.PixelFormat() != pf8bit) throw EInvalidGraphicOperation(QStringLiteral("Bitmap must be 8-bit"));
    TUpdateGuard batch(this);
    FFrame->SetSize(Bitmap.Width(), Bitmap.Height());
    const auto key = uint8_t(TransparentColorIndex());
    for (int y = 0; y < Bitmap.Height(); ++y) {
        uint8_t* row = FFrame->ScanLine(y);
        for (int x = 0; x < Bitmap.Width(); ++x) {
            const bool visible = !Mask || (x < Mask->Width() && y < Mask->Height() && Mask->PixelIndex(x, y) != 0);
            row[x] = visible ? uint8_t(Bitmap.PixelIndex(x, y)) : key;
        }
    }
}

void TGIFResourceItemFrame::SetPalette(const TColorArray& Palette)
{
    TGIFColorMap& map = FFrame->ActiveColorMap();
    std::optional<TUpdateGuard<TGIFResourceItemFrame>> batch;
    const int count = std::min<int>(int(Palette.size()), map.Count());
    for (int i = 0; i < count; ++i) {
        const TColor color(Palette[size_t(i)].Value & 0xFFFFFF);
        if (map.Colors(i) == color) continue;
        if (!batch) batch.emplace(this);
        map.SetColors(i, color);
    }
}

void koResourceItemGIF_Initialize()
{
    TGIFResourceItem::ClassInfo()->Register(255);
    TGIFResourceItem::ClassInfo()->RegisterFileType(QStringLiteral("gif"), QStringLiteral("GIF images"), {fcLoad, fcSave}, 0);
}

void koResourceItemGIF_Finalize() { TGIFResourceItem::ClassInfo()->Unregister(); }
