#include "koResourceItemAnimatedIconCursor.h"

#include "model/koResources.h"
#include "model/koResourcesMessages.h"
#include "platform/BinaryReader.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "platform/UpdateGuard.h"

#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <climits>

namespace {

const char* const SInvalidRIFFHeader = "Invalid RIFF header";
const char* const SInvalidRIFFAnimationHeader = "Invalid RIFF animation header";
const char* const SMalformedRIFFAnimationHeader = "Malformed RIFF animation header";
const char* const SPrematureEnd = "Premature end of data";
const char* const STooManyFrames = "Too many frames";
const char* const SInvalidFrameImageType = "Invalid frame image type";
const char* const SInvalidFrameIndex = "Invalid RIFF animation frame index";
const char* const SMalformedRateChunk = "Malformed RIFF animation rate chunk";
const char* const SUnexpectedSequenceChunk = "Unexpected RIFF animation sequence chunk";
const char* const SMalformedSequenceChunk = "Malformed RIFF animation sequence chunk";

// bfAttributes of the "anih" header.
constexpr uint32_t AF_ICON = 1;     // frames are .ico/.cur files
constexpr uint32_t AF_SEQUENCE = 2; // a "seq " chunk is present
constexpr int AniHeaderSize = 36;
constexpr int ChunkHeaderSize = 8;

// The message people know, then where in the data it went wrong.
QString Located(const char* Message, const QString& Where)
{
    QString text = QString::fromLatin1(Message);
    if (!Where.isEmpty()) text += QStringLiteral(" (") + Where + QLatin1Char(')');
    return text;
}

[[noreturn]] void Fail(const char* Message, const QString& Where = QString())
{
    throw Exception(Located(Message, Where));
}

// A chunk ID as text; bytes that are no printable ASCII show as "?".
QString ChunkID(const QByteArray& ID)
{
    QString text;
    for (const char c : ID) text += (c >= 0x20 && c < 0x7F) ? QLatin1Char(c) : QLatin1Char('?');
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString ChunkAt(const QByteArray& ID, int64_t At)
{
    return QStringLiteral("the %1 chunk at offset %2").arg(ChunkID(ID)).arg(At);
}

struct TChunk {
    QByteArray ID;
    int64_t At = 0; // absolute offset of the chunk header
    TBinaryReader Data;
};

// The next chunk of Parent (at least 8 bytes must be left); its size must lie inside Parent. The pad
// byte after odd-sized data is skipped where it is there (some writers leave it out at the very end).
TChunk ReadChunk(TBinaryReader& Parent)
{
    TChunk chunk;
    chunk.At = Parent.Base() + Parent.Offset();
    chunk.ID = Parent.ReadBytes(4, "RIFF chunk header");
    const uint32_t size = Parent.ReadU32("RIFF chunk header");
    if (size > Parent.Remaining())
        Fail(SPrematureEnd, QStringLiteral("%1 holds %2 bytes, %3 are left")
                                .arg(ChunkAt(chunk.ID, chunk.At))
                                .arg(size)
                                .arg(Parent.Remaining()));
    chunk.Data = Parent.ReadSub(size, "RIFF chunk");
    if ((size & 1) != 0 && Parent.Remaining() > 0) Parent.Skip(1);
    return chunk;
}

void Put32(QByteArray& Out, uint32_t Value)
{
    char bytes[4];
    qToLittleEndian(Value, bytes);
    Out.append(bytes, 4);
}

// Starts a chunk; returns where its size goes.
qsizetype BeginChunk(QByteArray& Out, const char* ID)
{
    Out.append(ID, 4);
    const qsizetype at = Out.size();
    Put32(Out, 0);
    return at;
}

// The size counts the data after the chunk header; odd data gets a zero pad byte that the size leaves out.
void EndChunk(QByteArray& Out, qsizetype SizeAt, uint32_t Extra = 0)
{
    const auto size = uint32_t(Out.size() - SizeAt - 4);
    qToLittleEndian(size + Extra, Out.data() + SizeAt);
    if ((size & 1) != 0) Out.append('\0');
}

// Text up to its terminating zero (also when a writer left the zero out).
QByteArray InfoText(const TBinaryReader& Data)
{
    const QByteArray bytes = Data.Bytes(0, Data.Size());
    const qsizetype end = bytes.indexOf('\0');
    return end < 0 ? bytes : bytes.left(end);
}

TCustomIconCursorResourceItem* MakeFrame(int ImageType)
{
    const TResourceIdent name = TResourceIdent::FromOrdinal(0);
    switch (ImageType) {
    case 1:
        return new TAnimatedIconResourceItemFrame(name);
    case 2:
        return new TAnimatedCursorResourceItemFrame(name);
    default:
        Fail(SInvalidFrameImageType, QStringLiteral("image type %1").arg(ImageType));
    }
}

// Holds the sequence as it is for a scope.
class TKeepSequence {
public:
    explicit TKeepSequence(int& Counter) : FCounter(Counter) { ++FCounter; }
    ~TKeepSequence() { --FCounter; }
    TKeepSequence(const TKeepSequence&) = delete;
    TKeepSequence& operator=(const TKeepSequence&) = delete;

private:
    int& FCounter;
};

} // namespace

// TAnimatedIconSequenceStep

TAnimatedIconSequenceStep::TAnimatedIconSequenceStep(TCustomResourceItemItems* ACollection)
    : TResourceItemItem<TCustomAnimatedIconCursorResourceItem>(ACollection)
{
    // Steps are made at the end of the sequence: the own index is the count before this one.
    const int own = ACollection->Count();
    const int frames = ResourceItem()->FrameCount();
    FFrameIndex = own < frames ? own : frames - 1;
    FDisplayRate = ResourceItem()->DefaultDisplayRate();
}

void TAnimatedIconSequenceStep::SetFrameIndex(int Value)
{
    if (Value < 0 || Value >= ResourceItem()->FrameCount())
        Fail(SInvalidFrameIndex, QStringLiteral("frame %1 of %2").arg(Value).arg(ResourceItem()->FrameCount()));
    TUpdateGuard batch(Collection());
    FFrameIndex = Value;
}

void TAnimatedIconSequenceStep::SetDisplayRate(int Value)
{
    TUpdateGuard batch(Collection());
    FDisplayRate = Value;
}

// TCustomAnimatedIconCursorResourceItem

TCustomAnimatedIconCursorResourceItem::TCustomAnimatedIconCursorResourceItem(uint16_t TypeID,
                                                                             const TResourceIdent& AResName)
    : TBasicGraphicResourceItem(TypeID, AResName), FSequence(std::make_unique<TAnimatedIconSequence>(this))
{
}

TCustomAnimatedIconCursorResourceItem::~TCustomAnimatedIconCursorResourceItem()
{
    // Deleted without the item deleter: the frames still need their owner's care.
    LockUpdate();
    ReleaseFrames();
    UnlockUpdate();
}

void TCustomAnimatedIconCursorResourceItem::BeforeDestruction()
{
    // A dying animation reports no change while its frames go.
    LockUpdate();
    ReleaseFrames();
    UnlockUpdate();
    inherited::BeforeDestruction();
}

void TCustomAnimatedIconCursorResourceItem::ReleaseFrames()
{
    TKeepSequence keep(FKeepSequence);
    FFrames.Release();
}

bool TCustomAnimatedIconCursorResourceItem::HandlesFile(const QString& Filename, TStream* Data)
{
    const QString suffix = QFileInfo(Filename).suffix();
    return suffix.compare(QLatin1String("ani"), Qt::CaseInsensitive) == 0 ||
           MatchSignature(Data, AniSignature(), AniSignatureMask(), 0) ||
           suffix.compare(QLatin1String("gif"), Qt::CaseInsensitive) == 0;
}

void TCustomAnimatedIconCursorResourceItem::SetDefaultDisplayRate(int Value)
{
    if (Value > 0) FDefaultDisplayRate = Value;
}

int TCustomAnimatedIconCursorResourceItem::FrameCount() const
{
    return HasItems() ? const_cast<TCustomAnimatedIconCursorResourceItem*>(this)->Items()->Count() : 0;
}

TCustomIconCursorResourceItem* TCustomAnimatedIconCursorResourceItem::Frame(int Index) const
{
    auto* self = const_cast<TCustomAnimatedIconCursorResourceItem*>(this);
    return dynamic_cast<TCustomIconCursorResourceItem*>(self->Items()->Items(Index));
}

void TCustomAnimatedIconCursorResourceItem::Clear()
{
    TUpdateGuard batch(this);
    FTitle.clear();
    FAuthor.clear();
    FCopyright.clear();
    FDefaultDisplayRate = 5;
    FSequence->Clear();
    ReleaseFrames();
}

void TCustomAnimatedIconCursorResourceItem::InitializeNewItem()
{
    TUpdateGuard batch(this);
    inherited::InitializeNewItem();
    TCustomResourceItem* frame = AddChild();
    frame->InitializeNewItem();
    FDefaultDisplayRate = 1;
}

void TCustomAnimatedIconCursorResourceItem::ChildNotification(TCustomResourceItem* Child,
                                                              TResourceChildNotification Notification)
{
    inherited::ChildNotification(Child, Notification);
    if (Notification != chAdded && Notification != chRemoved) return;
    FFrames.Notify(Child, Notification);
    if (FKeepSequence > 0 || FSequence->Count() == 0) return;

    // The child is still listed when it is removed, and already listed when it is added.
    const int index = Items()->IndexOf(Child);
    if (index < 0) return;
    TUpdateGuard batch(FSequence.get());
    if (Notification == chRemoved) {
        for (int i = FSequence->Count() - 1; i >= 0; --i) {
            TAnimatedIconSequenceStep* step = FSequence->Items(i);
            if (step->FrameIndex() == index)
                FSequence->Delete(i);
            else if (step->FrameIndex() > index)
                step->StoreFrameIndex(step->FrameIndex() - 1);
        }
    } else {
        bool shown = false;
        for (int i = 0; i < FSequence->Count(); ++i) {
            TAnimatedIconSequenceStep* step = FSequence->Items(i);
            if (step->FrameIndex() < 0) step->StoreFrameIndex(0);
            shown = shown || step->FrameIndex() == index;
        }
        if (!shown) FSequence->Add()->StoreFrameIndex(index);
    }
}

bool TCustomAnimatedIconCursorResourceItem::RatesVary() const
{
    for (int i = 1; i < FSequence->Count(); ++i)
        if (FSequence->Items(i)->DisplayRate() != FSequence->Items(0)->DisplayRate()) return true;
    return false;
}

bool TCustomAnimatedIconCursorResourceItem::CustomOrder() const
{
    if (FSequence->Count() == 0) return false;
    if (FSequence->Count() != FrameCount()) return true;
    for (int i = 0; i < FSequence->Count(); ++i)
        if (FSequence->Items(i)->FrameIndex() != i) return true;
    return false;
}

void TCustomAnimatedIconCursorResourceItem::EnsureSteps(int N, int Frames)
{
    if (FSequence->Count() >= N) return;
    TUpdateGuard batch(FSequence.get());
    while (FSequence->Count() < N) {
        TAnimatedIconSequenceStep* step = FSequence->Add();
        const int own = FSequence->Count() - 1;
        step->StoreFrameIndex(own < Frames ? own : Frames - 1);
        step->StoreDisplayRate(FDefaultDisplayRate);
    }
}

void TCustomAnimatedIconCursorResourceItem::LoadFromStream(TStream& Stream, int64_t Size)
{
    const QByteArray data = Stream.ReadBytes(std::max<int64_t>(Size, 0));
    if (data.size() < Size)
        Fail(SPrematureEnd, QStringLiteral("%1 of %2 bytes of animation data").arg(data.size()).arg(Size));
    const TBinaryReader file(data);
    if (!file.Has(0, 8) || file.Bytes(0, 4) != "RIFF") Fail(SInvalidRIFFHeader);
    // The RIFF size is not used: files written here count 8 bytes more than the standard.
    if (!file.Has(8, 4) || file.Bytes(8, 4) != "ACON") Fail(SInvalidRIFFAnimationHeader);

    TUpdateGuard batch(this);
    TKeepSequence keep(FKeepSequence);
    Clear();
    ReadChunks(file);
}

void TCustomAnimatedIconCursorResourceItem::ReadChunks(const TBinaryReader& File)
{
    // The "anih" values; "rate", "seq " and "fram" go by those read before them.
    uint32_t nFrames = 0;
    uint32_t attributes = 0;
    auto framesForSteps = [&nFrames] { return int(std::min<uint32_t>(nFrames, INT_MAX)); };

    TBinaryReader body = File.Sub(12, File.Size() - 12);
    while (body.Remaining() >= ChunkHeaderSize) {
        TChunk chunk = ReadChunk(body);
        TBinaryReader& data = chunk.Data;
        if (chunk.ID == "anih") {
            // The header is 36 bytes; what a longer chunk holds beyond them is not ours to read.
            if (data.Size() < AniHeaderSize)
                Fail(SMalformedRIFFAnimationHeader,
                     QStringLiteral("%1 holds %2 bytes, not %3")
                         .arg(ChunkAt(chunk.ID, chunk.At))
                         .arg(data.Size())
                         .arg(AniHeaderSize));
            nFrames = data.U32(4);
            uint32_t nSteps = data.U32(8);
            const uint32_t displayRate = data.U32(28);
            attributes = data.U32(32);
            if ((attributes & AF_ICON) == 0)
                Fail(SMalformedRIFFAnimationHeader,
                     QStringLiteral("%1 does not say its frames are icons").arg(ChunkAt(chunk.ID, chunk.At)));
            if ((attributes & AF_SEQUENCE) == 0) nSteps = nFrames;
            // Every step needs at least a 4-byte "seq " entry or a frame of its own: more steps than
            // that cannot be right, and would only cost memory.
            if (nSteps > File.Size() / 4)
                Fail(SMalformedRIFFAnimationHeader, QStringLiteral("%1 declares %2 steps in %3 bytes of data")
                                                        .arg(ChunkAt(chunk.ID, chunk.At))
                                                        .arg(nSteps)
                                                        .arg(File.Size()));
            FDefaultDisplayRate = int(displayRate);
            EnsureSteps(int(nSteps), framesForSteps());
        } else if (chunk.ID == "rate" || chunk.ID == "seq ") {
            const bool rates = chunk.ID == "rate";
            if (!rates && (attributes & AF_SEQUENCE) == 0)
                LogMessage(Located(SUnexpectedSequenceChunk, ChunkAt(chunk.ID, chunk.At)), rmWarning);
            // A size that is no multiple of 4 reads its whole values; the rest is skipped.
            const int count = int(data.Size() / 4);
            if (count != FSequence->Count()) {
                LogMessage(Located(rates ? SMalformedRateChunk : SMalformedSequenceChunk,
                                   QStringLiteral("%1 holds %2 values for %3 steps")
                                       .arg(ChunkAt(chunk.ID, chunk.At))
                                       .arg(count)
                                       .arg(FSequence->Count())),
                           rmWarning);
                EnsureSteps(count, framesForSteps());
            }
            for (int i = 0; i < count; ++i) {
                const uint32_t value = data.U32(int64_t(i) * 4);
                if (rates) {
                    FSequence->Items(i)->StoreDisplayRate(int(value));
                } else {
                    if (value >= nFrames)
                        Fail(SInvalidFrameIndex, QStringLiteral("entry %1 of %2 shows frame %3 of %4")
                                                     .arg(i)
                                                     .arg(ChunkAt(chunk.ID, chunk.At))
                                                     .arg(value)
                                                     .arg(nFrames));
                    FSequence->Items(i)->StoreFrameIndex(int(value));
                }
            }
        } else if (chunk.ID == "LIST") {
            if (data.Size() < 4)
                Fail(SPrematureEnd, QStringLiteral("%1 holds no list type").arg(ChunkAt(chunk.ID, chunk.At)));
            const QByteArray listType = data.ReadBytes(4, "RIFF list type");
            if (listType != "INFO" && listType != "fram") continue;
            while (data.Remaining() >= ChunkHeaderSize) {
                TChunk sub = ReadChunk(data);
                if (listType == "INFO") {
                    if (sub.ID == "INAM")
                        FTitle = InfoText(sub.Data);
                    else if (sub.ID == "IART")
                        FAuthor = InfoText(sub.Data);
                    else if (sub.ID == "ICOP")
                        FCopyright = InfoText(sub.Data);
                } else if (sub.ID == "icon") {
                    if (uint32_t(FrameCount()) >= nFrames)
                        Fail(STooManyFrames, QStringLiteral("%1 is frame %2, the header declares %3")
                                                 .arg(ChunkAt(sub.ID, sub.At))
                                                 .arg(FrameCount() + 1)
                                                 .arg(nFrames));
                    ReadFrame(sub.Data, sub.At);
                }
            }
        }
    }

    // Every step must show a frame that is there. Steps made before the header knew the frames show -1.
    const int frames = FrameCount();
    for (int i = 0; i < FSequence->Count(); ++i) {
        TAnimatedIconSequenceStep* step = FSequence->Items(i);
        if (step->FrameIndex() < 0 && frames > 0) step->StoreFrameIndex(0);
        if (step->FrameIndex() < 0 || step->FrameIndex() >= frames)
            Fail(SInvalidFrameIndex,
                 QStringLiteral("step %1 shows frame %2, the data holds %3 frames")
                     .arg(i)
                     .arg(step->FrameIndex())
                     .arg(frames));
    }

    // Equal rates become the default rate; a plain sequence is no sequence.
    if (FSequence->Count() > 0 && !RatesVary() && FSequence->Items(0)->DisplayRate() > 0)
        FDefaultDisplayRate = FSequence->Items(0)->DisplayRate();
    if (FSequence->Count() == frames && !RatesVary() && !CustomOrder()) FSequence->Clear();
}

void TCustomAnimatedIconCursorResourceItem::ReadFrame(const TBinaryReader& Chunk, int64_t At)
{
    const std::optional<uint16_t> type = Chunk.TryU16(2);
    if (!type)
        Fail(SPrematureEnd, QStringLiteral("%1 holds %2 bytes, too few for an icon file")
                                .arg(ChunkAt("icon", At))
                                .arg(Chunk.Size()));
    if (*type != 1 && *type != 2)
        Fail(SInvalidFrameImageType, QStringLiteral("%1 holds image type %2").arg(ChunkAt("icon", At)).arg(*type));
    TResourceItemPtr frame(NewFrame(*type));
    TBytesStream stream(Chunk.Bytes(0, Chunk.Size()));
    static_cast<TCustomIconCursorResourceItem*>(frame.get())->LoadFromFileStream(stream, 0);
    // Only a frame that read well joins the animation, which then holds it.
    frame->SetParent(this);
    (void)frame.release();
}

void TCustomAnimatedIconCursorResourceItem::SaveToStream(TStream& Stream)
{
    QByteArray out;
    const qsizetype riff = BeginChunk(out, "RIFF");
    out.append("ACON", 4);

    if (!FTitle.isEmpty() || !FAuthor.isEmpty() || !FCopyright.isEmpty()) {
        const qsizetype list = BeginChunk(out, "LIST");
        out.append("INFO", 4);
        const std::pair<const char*, const QByteArray*> texts[] = {
            {"INAM", &FTitle}, {"IART", &FAuthor}, {"ICOP", &FCopyright}};
        for (const auto& [id, text] : texts) {
            if (text->isEmpty()) continue;
            const qsizetype sub = BeginChunk(out, id);
            out.append(*text);
            out.append('\0');
            EndChunk(out, sub);
        }
        EndChunk(out, list);
    }

    const bool ratesVary = RatesVary();
    const bool customOrder = CustomOrder();
    const int frames = FrameCount();
    const qsizetype anih = BeginChunk(out, "anih");
    Put32(out, AniHeaderSize);
    Put32(out, uint32_t(frames));
    Put32(out, uint32_t(ratesVary || customOrder ? FSequence->Count() : frames));
    for (int i = 0; i < 4; ++i) Put32(out, 0); // iWidth, iHeight, iBitCount, nPlanes
    const bool sharedRate = !ratesVary && FSequence->Count() > 0;
    Put32(out, uint32_t(sharedRate ? FSequence->Items(0)->DisplayRate() : FDefaultDisplayRate));
    Put32(out, customOrder ? AF_ICON | AF_SEQUENCE : AF_ICON);
    EndChunk(out, anih);

    if (ratesVary) {
        const qsizetype rate = BeginChunk(out, "rate");
        for (int i = 0; i < FSequence->Count(); ++i) Put32(out, uint32_t(FSequence->Items(i)->DisplayRate()));
        EndChunk(out, rate);
    }
    if (customOrder) {
        const qsizetype seq = BeginChunk(out, "seq ");
        for (int i = 0; i < FSequence->Count(); ++i) Put32(out, uint32_t(FSequence->Items(i)->FrameIndex()));
        EndChunk(out, seq);
    }

    const qsizetype fram = BeginChunk(out, "LIST");
    out.append("fram", 4);
    for (int i = 0; i < frames; ++i) {
        TBytesStream file;
        Frame(i)->SaveToFileStream(file);
        const qsizetype icon = BeginChunk(out, "icon");
        out.append(file.Bytes());
        EndChunk(out, icon);
    }
    EndChunk(out, fram);

    // Stored files count the RIFF chunk's own header in its size and end in 16 zero bytes; kept so.
    EndChunk(out, riff, ChunkHeaderSize);
    out.append(16, '\0');
    Stream.WriteBytes(out);
}

void TCustomAnimatedIconCursorResourceItem::LoadFromFileStream(TStream& Stream)
{
    if (!MatchSignature(&Stream, QByteArray("GIF87a"), {}, 0) && !MatchSignature(&Stream, QByteArray("GIF89a"), {}, 0)) {
        inherited::LoadFromFileStream(Stream);
        return;
    }
    TUpdateGuard batch(this);
    Clear();
    TGIFImage image;
    image.LoadFromStream(Stream);
    ImportGIF(image);
}

void TCustomAnimatedIconCursorResourceItem::Assign(const TGraphic& Source)
{
    if (const auto* gif = dynamic_cast<const TGIFImage*>(&Source)) {
        ImportGIF(*gif);
        return;
    }
    inherited::Assign(Source);
}

void TCustomAnimatedIconCursorResourceItem::ImportGIF(const TGIFImage& Image)
{
    TUpdateGuard batch(this);
    Clear();
    // Frames that draw onto what came before need the composed picture; only when every frame restores
    // the previous picture does each frame stand alone.
    bool compose = false;
    for (int i = 0; i < Image.FrameCount(); ++i) {
        const TGIFFrame* frame = Image.Frames(i);
        if (!frame->Empty() && (!frame->FindExtension<TGIFGraphicControlExtension>() || frame->Disposal() != dmPrevious))
            compose = true;
    }
    const QPoint center(Image.Width() / 2, Image.Height() / 2);
    if (compose) {
        // Composed frames have the screen's size, which must be an image's size: refused before the
        // screen is drawn.
        const QSize screen = TGIFRenderer::ScreenSize(Image);
        if (screen.width() < 1 || screen.width() > 256 || screen.height() < 1 || screen.height() > 256)
            throw Exception(QStringLiteral("Invalid image size"));
        TGIFRenderer renderer(Image);
        // The icon images' transparent colour; undrawn pixels keep alpha 0, drawn ones are opaque.
        renderer.SetBackgroundColor(TColor(0x00FFD2D2));
        for (int index = renderer.FrameIndex();;) {
            AddImportedFrame(TBitmap::FromQImage(renderer.Canvas()), center);
            renderer.NextFrame();
            if (renderer.FrameIndex() <= index) break;
            index = renderer.FrameIndex();
        }
        return;
    }
    for (int i = 0; i < Image.FrameCount(); ++i) {
        const TGIFFrame* frame = Image.Frames(i);
        if (frame->Empty()) continue;
        if (frame->Width() > 256 || frame->Height() > 256) throw Exception(QStringLiteral("Invalid image size"));
        AddImportedFrame(TBitmap::FromQImage(frame->ToQImage()), center - QPoint(frame->Left(), frame->Top()));
    }
}

void TCustomAnimatedIconCursorResourceItem::AddImportedFrame(const TBitmap& Bitmap, QPoint Hotspot)
{
    TResourceItemPtr frame(CreateChild());
    auto* image = dynamic_cast<TBasicGraphicResourceItem*>(frame.get());
    ATELIER_ASSERT(image != nullptr);
    image->Assign(Bitmap);
    if (auto* hotspot = dynamic_cast<IGraphicHotspotResourceItem*>(image)) {
        // A hot spot outside the frame could not be used.
        Hotspot.setX(std::clamp(Hotspot.x(), 0, std::max(0, Bitmap.Width() - 1)));
        Hotspot.setY(std::clamp(Hotspot.y(), 0, std::max(0, Bitmap.Height() - 1)));
        hotspot->SetHotspot(Hotspot);
    }
    // The animation owns the frame from here.
    frame.release()->SetParent(this);
}

void TCustomAnimatedIconCursorResourceItem::AssignTo(TGraphic& Dest)
{
    if (auto* bitmap = dynamic_cast<TBitmap*>(&Dest)) {
        if (FrameCount() == 0)
            *bitmap = TBitmap();
        else
            Frame(0)->AssignTo(Dest);
        return;
    }
    inherited::AssignTo(Dest);
}

void TCustomAnimatedIconCursorResourceItem::MoveFrame(int OldIndex, int NewIndex) { Items()->Move(OldIndex, NewIndex); }

int TCustomAnimatedIconCursorResourceItem::GetWidth() const
{
    int width = 0;
    for (int i = 0; i < FrameCount(); ++i) width = std::max(width, Frame(i)->Width());
    return width;
}

int TCustomAnimatedIconCursorResourceItem::GetHeight() const
{
    int height = 0;
    for (int i = 0; i < FrameCount(); ++i) height = std::max(height, Frame(i)->Height());
    return height;
}

int TCustomAnimatedIconCursorResourceItem::GetSize() const { return FrameCount() == 0 ? 0 : inherited::GetSize(); }

QString TCustomAnimatedIconCursorResourceItem::GetDescription() const
{
    return QStringLiteral("%1x%2, %3 frames").arg(Width()).arg(Height()).arg(FrameCount());
}

// Frames

TResourceItemClass TAnimatedIconResourceItemFrame::ParentClass()
{
    return TCustomAnimatedIconCursorResourceItem::ClassInfo();
}

void TAnimatedIconResourceItemFrame::DoSetModule(TCustomResourceModule* Value)
{
    ATELIER_ASSERT(Value == nullptr);
    inherited::DoSetModule(Value);
}

TResourceItemClass TAnimatedCursorResourceItemFrame::ParentClass()
{
    return TCustomAnimatedIconCursorResourceItem::ClassInfo();
}

void TAnimatedCursorResourceItemFrame::DoSetModule(TCustomResourceModule* Value)
{
    ATELIER_ASSERT(Value == nullptr);
    inherited::DoSetModule(Value);
}

// TAnimatedIconResourceItem

TAnimatedIconResourceItem::TAnimatedIconResourceItem(const TResourceIdent& AResName)
    : TCustomAnimatedIconCursorResourceItem(RT_ANIICON, AResName)
{
}

bool TAnimatedIconResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*)
{
    return IsOrdinalResourceIdent(ResourceType) && ResourceIdentOrdinal(ResourceType) == RT_ANIICON;
}

TResourceItemGlyphHandle TAnimatedIconResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgType) return LoadResourceGlyph(QStringLiteral("RES_ANIICON_TYPE"), QStringLiteral("aniicon.type"));
    return LoadResourceGlyph(QStringLiteral("RES_ANIICON_ITEM"), QStringLiteral("aniicon.item"));
}

TCustomResourceItem* TAnimatedIconResourceItem::CreateChild() { return NewFrame(1); }

TCustomIconCursorResourceItem* TAnimatedIconResourceItem::NewFrame(int ImageType) { return MakeFrame(ImageType); }

// TAnimatedCursorResourceItem

TAnimatedCursorResourceItem::TAnimatedCursorResourceItem(const TResourceIdent& AResName)
    : TCustomAnimatedIconCursorResourceItem(RT_ANICURSOR, AResName)
{
}

bool TAnimatedCursorResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*)
{
    return IsOrdinalResourceIdent(ResourceType) && ResourceIdentOrdinal(ResourceType) == RT_ANICURSOR;
}

TResourceItemGlyphHandle TAnimatedCursorResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgType)
        return LoadResourceGlyph(QStringLiteral("RES_ANICURSOR_TYPE"), QStringLiteral("anicursor.type"));
    return LoadResourceGlyph(QStringLiteral("RES_ANICURSOR_ITEM"), QStringLiteral("anicursor.item"));
}

TCustomResourceItem* TAnimatedCursorResourceItem::CreateChild() { return NewFrame(2); }

TCustomIconCursorResourceItem* TAnimatedCursorResourceItem::NewFrame(int ImageType) { return MakeFrame(ImageType); }

void koResourceItemAnimatedIconCursor_Initialize()
{
    // Registered last, the cursor kind answers first for .ani files.
    TAnimatedIconResourceItem::ClassInfo()->Register(0);
    TAnimatedCursorResourceItem::ClassInfo()->Register(0);
    TAnimatedCursorResourceItem::ClassInfo()->RegisterFileType(QStringLiteral("ani"),
                                                               QStringLiteral("Animated cursors"), {fcLoad, fcSave}, 0);
    TAnimatedCursorResourceItem::ClassInfo()->RegisterFileType(QStringLiteral("gif"), QStringLiteral("Animated GIF"),
                                                               {fcLoad}, 255);
}

void koResourceItemAnimatedIconCursor_Finalize()
{
    TAnimatedCursorResourceItem::ClassInfo()->Unregister();
    TAnimatedIconResourceItem::ClassInfo()->Unregister();
}
