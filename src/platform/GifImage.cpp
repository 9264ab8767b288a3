#include "GifImage.h"

#include "Bitmap.h"
#include "Streams.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <cstring>
#include <gif_lib.h>

namespace {

const QByteArray NetscapeID("NETSCAPE2.0");
const QByteArray AnimExtsID("ANIMEXTS1.0");

[[noreturn]] void FailCode(int Code)
{
    const char* text = GifErrorString(Code);
    throw EGIFError(QStringLiteral("GIF image is not valid: %1")
                        .arg(text ? QString::fromLatin1(text) : QStringLiteral("error %1").arg(Code)));
}

struct TReadState {
    const QByteArray* Data = nullptr;
    qsizetype Position = 0;
};

int ReadData(GifFileType* Gif, GifByteType* Buffer, int Length)
{
    auto* state = static_cast<TReadState*>(Gif->UserData);
    const qsizetype n = std::min<qsizetype>(Length, state->Data->size() - state->Position);
    if (n <= 0) return 0;
    std::memcpy(Buffer, state->Data->constData() + state->Position, size_t(n));
    state->Position += n;
    return int(n);
}

int WriteData(GifFileType* Gif, const GifByteType* Buffer, int Length)
{
    static_cast<QByteArray*>(Gif->UserData)->append(reinterpret_cast<const char*>(Buffer), Length);
    return Length;
}

void ReadMap(const ColorMapObject* Source, TGIFColorMap& Map)
{
    Map.Clear();
    if (!Source) return;
    const int count = std::min(Source->ColorCount, TGIFColorMap::MaxColors);
    for (int i = 0; i < count; ++i)
        Map.Add(RGBColor(Source->Colors[i].Red, Source->Colors[i].Green, Source->Colors[i].Blue));
}

// giflib takes power-of-two maps only: padded with black. Count is at least MinCount.
ColorMapObject* MakeMap(const TColorArray& Colors, int MinCount = 0)
{
    const int wanted = std::max<int>(int(Colors.size()), MinCount);
    if (wanted == 0) return nullptr;
    int size = 2;
    while (size < wanted) size *= 2;
    std::vector<GifColorType> colors(size_t(size), GifColorType{0, 0, 0});
    for (size_t i = 0; i < Colors.size(); ++i)
        colors[i] = GifColorType{GifByteType(GetRValue(Colors[i])), GifByteType(GetGValue(Colors[i])),
                                 GifByteType(GetBValue(Colors[i]))};
    return GifMakeMapObject(size, colors.data());
}

struct TMapHolder {
    ColorMapObject* Map;
    explicit TMapHolder(ColorMapObject* AMap) : Map(AMap) {}
    ~TMapHolder() { GifFreeMapObject(Map); }
    TMapHolder(const TMapHolder&) = delete;
    TMapHolder& operator=(const TMapHolder&) = delete;
};

std::unique_ptr<TGIFExtension> MakeExtension(int Function, std::vector<QByteArray> Blocks)
{
    if (Function == GRAPHICS_EXT_FUNC_CODE && !Blocks.empty() && Blocks[0].size() >= 4) {
        const QByteArray& b = Blocks[0];
        auto gce = std::make_unique<TGIFGraphicControlExtension>();
        const int disposal = (uint8_t(b[0]) >> 2) & 7;
        gce->Disposal = disposal <= 3 ? TDisposalMethod(disposal) : dmNone;
        gce->UserInput = (b[0] & 2) != 0;
        gce->Transparent = (b[0] & 1) != 0;
        gce->Delay = uint16_t(uint8_t(b[1]) | (uint8_t(b[2]) << 8));
        gce->TransparentColorIndex = uint8_t(b[3]);
        return gce;
    }
    if (Function == COMMENT_EXT_FUNC_CODE) {
        QByteArray text;
        for (const QByteArray& block : Blocks) text += block;
        auto comment = std::make_unique<TGIFCommentExtension>();
        static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
        comment->Text = QString::fromLatin1(text).split(lineBreak);
        return comment;
    }
    if (Function == APPLICATION_EXT_FUNC_CODE && Blocks.size() >= 2 &&
        (Blocks[0] == NetscapeID || Blocks[0] == AnimExtsID) && Blocks[1].size() >= 3 && Blocks[1][0] == 1) {
        auto loop = std::make_unique<TGIFLoopExtension>();
        loop->LoopCount = uint16_t(uint8_t(Blocks[1][1]) | (uint8_t(Blocks[1][2]) << 8));
        return loop;
    }
    auto unknown = std::make_unique<TGIFUnknownExtension>();
    unknown->Function = Function;
    unknown->Blocks = std::move(Blocks);
    return unknown;
}

void Check(int Result, GifFileType* Gif)
{
    if (Result == GIF_ERROR) FailCode(Gif->Error);
}

void PutBlocks(GifFileType* Gif, int Function, const std::vector<QByteArray>& Blocks)
{
    Check(EGifPutExtensionLeader(Gif, Function), Gif);
    for (const QByteArray& block : Blocks)
        for (qsizetype at = 0; at < block.size(); at += 255) {
            const QByteArray part = block.mid(at, 255);
            Check(EGifPutExtensionBlock(Gif, int(part.size()), part.constData()), Gif);
        }
    Check(EGifPutExtensionTrailer(Gif), Gif);
}

void PutExtension(GifFileType* Gif, const TGIFExtension& Extension)
{
    if (const auto* gce = dynamic_cast<const TGIFGraphicControlExtension*>(&Extension)) {
        QByteArray b(4, '\0');
        b[0] = char((int(gce->Disposal) << 2) | (gce->UserInput ? 2 : 0) | (gce->Transparent ? 1 : 0));
        b[1] = char(gce->Delay & 0xFF);
        b[2] = char(gce->Delay >> 8);
        b[3] = char(gce->TransparentColorIndex);
        PutBlocks(Gif, GRAPHICS_EXT_FUNC_CODE, {b});
    } else if (const auto* comment = dynamic_cast<const TGIFCommentExtension*>(&Extension)) {
        PutBlocks(Gif, COMMENT_EXT_FUNC_CODE, {comment->Text.join(QStringLiteral("\r\n")).toLatin1()});
    } else if (const auto* loop = dynamic_cast<const TGIFLoopExtension*>(&Extension)) {
        QByteArray b(3, '\0');
        b[0] = 1;
        b[1] = char(loop->LoopCount & 0xFF);
        b[2] = char(loop->LoopCount >> 8);
        PutBlocks(Gif, APPLICATION_EXT_FUNC_CODE, {NetscapeID, b});
    } else if (const auto* unknown = dynamic_cast<const TGIFUnknownExtension*>(&Extension)) {
        PutBlocks(Gif, unknown->Function, unknown->Blocks);
    }
}

// Rows in the order an interlaced image stores them.
std::vector<int> RowOrder(int Height, bool Interlaced)
{
    std::vector<int> rows;
    rows.reserve(size_t(Height));
    if (!Interlaced) {
        for (int y = 0; y < Height; ++y) rows.push_back(y);
        return rows;
    }
    static const int start[] = {0, 4, 2, 1};
    static const int step[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = start[pass]; y < Height; y += step[pass]) rows.push_back(y);
    return rows;
}

void CopyExtensions(const std::vector<std::unique_ptr<TGIFExtension>>& Source,
                    std::vector<std::unique_ptr<TGIFExtension>>& Dest)
{
    Dest.clear();
    for (const auto& extension : Source) Dest.push_back(extension->Clone());
}

} // namespace

// TGIFColorMap

TColor TGIFColorMap::Colors(int Index) const
{
    if (Index < 0 || Index >= Count()) throw EListError(QStringLiteral("List index out of bounds (%1)").arg(Index));
    return FColors[size_t(Index)];
}

void TGIFColorMap::SetColors(int Index, TColor Value)
{
    if (Index < 0 || Index >= Count()) throw EListError(QStringLiteral("List index out of bounds (%1)").arg(Index));
    FColors[size_t(Index)] = TColor(Value.Value & 0xFFFFFF);
}

int TGIFColorMap::Add(TColor Value)
{
    if (Count() >= MaxColors) throw EGIFError(QStringLiteral("Color table overflow"));
    FColors.push_back(TColor(Value.Value & 0xFFFFFF));
    return Count() - 1;
}

void TGIFColorMap::Delete(int Index)
{
    if (Index < 0 || Index >= Count()) throw EListError(QStringLiteral("List index out of bounds (%1)").arg(Index));
    FColors.erase(FColors.begin() + Index);
}

void TGIFColorMap::SetPalette(const TColorArray& Value)
{
    if (Value.size() > size_t(MaxColors)) throw EGIFError(QStringLiteral("Color table overflow"));
    FColors.clear();
    for (const TColor c : Value) Add(c);
}

// TGIFFrame

TGIFFrame::TGIFFrame(TGIFImage* Image) : FImage(Image)
{
    FImage->FFrames.emplace_back(this);
}

TGIFFrame::~TGIFFrame() = default;

void TGIFFrame::SetLeft(int Value)
{
    FLeft = std::clamp(Value, 0, 0xFFFF);
    FCache = QImage();
}

void TGIFFrame::SetTop(int Value)
{
    FTop = std::clamp(Value, 0, 0xFFFF);
    FCache = QImage();
}

void TGIFFrame::SetSize(int AWidth, int AHeight)
{
    AWidth = std::clamp(AWidth, 0, 0xFFFF);
    AHeight = std::clamp(AHeight, 0, 0xFFFF);
    if (AWidth == FWidth && AHeight == FHeight) return;
    QByteArray pixels(qsizetype(AWidth) * AHeight, '\0');
    const int w = std::min(AWidth, FWidth), h = std::min(AHeight, FHeight);
    for (int y = 0; y < h; ++y)
        std::memcpy(pixels.data() + qsizetype(y) * AWidth, FPixels.constData() + qsizetype(y) * FWidth, size_t(w));
    FPixels = std::move(pixels);
    FWidth = AWidth;
    FHeight = AHeight;
    FCache = QImage();
}

const uint8_t* TGIFFrame::ScanLine(int y) const
{
    return reinterpret_cast<const uint8_t*>(FPixels.constData()) + qsizetype(y) * FWidth;
}

uint8_t* TGIFFrame::ScanLine(int y)
{
    FCache = QImage();
    return reinterpret_cast<uint8_t*>(FPixels.data()) + qsizetype(y) * FWidth;
}

const TGIFColorMap& TGIFFrame::ActiveColorMap() const
{
    return FColorMap.Empty() ? FImage->FGlobalColorMap : FColorMap;
}

TGIFColorMap& TGIFFrame::ActiveColorMap()
{
    return FColorMap.Empty() ? FImage->FGlobalColorMap : FColorMap;
}

TGIFGraphicControlExtension& TGIFFrame::GraphicControlExtension()
{
    if (auto* gce = FindExtension<TGIFGraphicControlExtension>()) return *gce;
    // The graphic control extension precedes the image and any other of its extensions by habit.
    auto gce = std::make_unique<TGIFGraphicControlExtension>();
    auto* result = gce.get();
    FExtensions.insert(FExtensions.begin(), std::move(gce));
    return *result;
}

void TGIFFrame::RemoveExtension(const TGIFExtension* Extension)
{
    const auto at = std::find_if(FExtensions.begin(), FExtensions.end(),
                                 [Extension](const auto& e) { return e.get() == Extension; });
    if (at != FExtensions.end()) FExtensions.erase(at);
}

bool TGIFFrame::Transparent() const
{
    const auto* gce = FindExtension<TGIFGraphicControlExtension>();
    return gce && gce->Transparent;
}

int TGIFFrame::TransparentColorIndex() const
{
    const auto* gce = FindExtension<TGIFGraphicControlExtension>();
    return gce ? gce->TransparentColorIndex : 0;
}

TColor TGIFFrame::TransparentColor() const
{
    const TGIFColorMap& map = ActiveColorMap();
    const int index = TransparentColorIndex();
    return index < map.Count() ? map.Colors(index) : clBlack;
}

int TGIFFrame::Delay() const
{
    const auto* gce = FindExtension<TGIFGraphicControlExtension>();
    return gce ? gce->Delay : 0;
}

TDisposalMethod TGIFFrame::Disposal() const
{
    const auto* gce = FindExtension<TGIFGraphicControlExtension>();
    return gce ? gce->Disposal : dmNone;
}

void TGIFFrame::Assign(const TGraphic& Source)
{
    const auto* bitmap = dynamic_cast<const TBitmap*>(&Source);
    if (bitmap && (bitmap->PixelFormat() == pf1bit || bitmap->PixelFormat() == pf4bit ||
                   bitmap->PixelFormat() == pf8bit)) {
        SetSize(0, 0);
        SetSize(bitmap->Width(), bitmap->Height());
        FColorMap.SetPalette(bitmap->Palette());
        for (int y = 0; y < FHeight; ++y) {
            uint8_t* row = ScanLine(y);
            for (int x = 0; x < FWidth; ++x) row[x] = uint8_t(bitmap->PixelIndex(x, y));
        }
        FCache = QImage();
        return;
    }

    const QImage image = Source.ToQImage().convertToFormat(QImage::Format_ARGB32);
    // Exact colours when they fit, else Qt's reduction to 256 colours; the transparent pixels get an
    // index of their own after the colours.
    QHash<QRgb, int> colors;
    bool transparent = false;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) < 128)
                transparent = true;
            else if (colors.size() <= 256)
                colors.insert(line[x] | 0xFF000000u, 0);
        }
    }
    const int room = transparent ? 255 : 256;
    QImage indexed;
    if (colors.size() > room) {
        QImage opaque = image.convertToFormat(QImage::Format_RGB32);
        indexed = opaque.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
    }
    SetSize(0, 0);
    SetSize(image.width(), image.height());
    FColorMap.Clear();
    if (indexed.isNull()) {
        TColorArray palette;
        for (auto it = colors.begin(); it != colors.end(); ++it) palette.push_back(QRgbToColor(it.key()));
        std::sort(palette.begin(), palette.end(), [](TColor a, TColor b) { return a.Value < b.Value; });
        for (size_t i = 0; i < palette.size(); ++i) colors[ColorToQRgb(palette[i])] = int(i);
        FColorMap.SetPalette(palette);
    } else {
        TColorArray palette;
        for (const QRgb c : indexed.colorTable()) palette.push_back(QRgbToColor(c));
        if (int(palette.size()) > room) palette.resize(size_t(room));
        FColorMap.SetPalette(palette);
    }
    const int transparentIndex = FColorMap.Count();
    if (transparent) FColorMap.Add(clBlack);
    for (int y = 0; y < FHeight; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        uint8_t* row = ScanLine(y);
        for (int x = 0; x < FWidth; ++x) {
            if (qAlpha(line[x]) < 128)
                row[x] = uint8_t(transparentIndex);
            else if (indexed.isNull())
                row[x] = uint8_t(colors.value(line[x] | 0xFF000000u));
            else
                row[x] = uint8_t(std::min(indexed.pixelIndex(x, y), transparentIndex - 1));
        }
    }
    if (transparent) {
        TGIFGraphicControlExtension& gce = GraphicControlExtension();
        gce.Transparent = true;
        gce.TransparentColorIndex = uint8_t(transparentIndex);
    } else if (auto* gce = FindExtension<TGIFGraphicControlExtension>()) {
        gce->Transparent = false;
    }
    FCache = QImage();
}

TBitmap TGIFFrame::ToBitmap() const
{
    TBitmap bitmap(FWidth, FHeight, pf8bit);
    bitmap.SetPalette(ActiveColorMap().ExportPalette());
    for (int y = 0; y < FHeight; ++y) {
        const uint8_t* row = ScanLine(y);
        for (int x = 0; x < FWidth; ++x) bitmap.SetPixelIndex(x, y, row[x]);
    }
    return bitmap;
}

QImage TGIFFrame::ToQImage() const
{
    if (!FCache.isNull() || Empty()) return FCache;
    QImage image(FWidth, FHeight, QImage::Format_ARGB32);
    const TGIFColorMap& map = ActiveColorMap();
    const bool transparent = Transparent();
    const int key = TransparentColorIndex();
    for (int y = 0; y < FHeight; ++y) {
        const uint8_t* row = ScanLine(y);
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < FWidth; ++x) {
            // Indices beyond the map show nothing, like the transparent one.
            if ((transparent && row[x] == key) || row[x] >= map.Count())
                line[x] = 0;
            else
                line[x] = ColorToQRgb(map.Colors(row[x]));
        }
    }
    FCache = image;
    return FCache;
}

void TGIFFrame::CopyTo(TGIFImage& Target) const
{
    auto* frame = new TGIFFrame(&Target);
    frame->FLeft = FLeft;
    frame->FTop = FTop;
    frame->FWidth = FWidth;
    frame->FHeight = FHeight;
    frame->FInterlaced = FInterlaced;
    frame->FPixels = FPixels;
    frame->FColorMap = FColorMap;
    CopyExtensions(FExtensions, frame->FExtensions);
}

// TGIFImage

TGIFImage::TGIFImage(const TGIFImage& Other) : TGraphic(Other) { *this = Other; }

TGIFImage& TGIFImage::operator=(const TGIFImage& Other)
{
    if (this == &Other) return *this;
    Clear();
    FTransparent = Other.FTransparent;
    FWidth = Other.FWidth;
    FHeight = Other.FHeight;
    FBackgroundColorIndex = Other.FBackgroundColorIndex;
    FAspectRatio = Other.FAspectRatio;
    FGlobalColorMap = Other.FGlobalColorMap;
    for (const auto& frame : Other.FFrames) frame->CopyTo(*this);
    CopyExtensions(Other.FTrailing, FTrailing);
    return *this;
}

TGIFImage::~TGIFImage() = default;

bool TGIFImage::IsTransparent() const
{
    return std::any_of(FFrames.begin(), FFrames.end(), [](const auto& f) { return f->Transparent(); });
}

int TGIFImage::IndexOf(const TGIFFrame* Frame) const
{
    for (size_t i = 0; i < FFrames.size(); ++i)
        if (FFrames[i].get() == Frame) return int(i);
    return -1;
}

void TGIFImage::MoveFrame(int CurIndex, int NewIndex)
{
    if (CurIndex == NewIndex) return;
    if (CurIndex < 0 || CurIndex >= FrameCount() || NewIndex < 0 || NewIndex >= FrameCount())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(CurIndex < 0 ? CurIndex : NewIndex));
    auto frame = std::move(FFrames[size_t(CurIndex)]);
    FFrames.erase(FFrames.begin() + CurIndex);
    FFrames.insert(FFrames.begin() + NewIndex, std::move(frame));
}

void TGIFImage::DeleteFrame(TGIFFrame* Frame)
{
    const int index = IndexOf(Frame);
    if (index >= 0) FFrames.erase(FFrames.begin() + index);
}

void TGIFImage::Clear()
{
    FFrames.clear();
    FTrailing.clear();
    FGlobalColorMap.Clear();
    FWidth = FHeight = 0;
    FBackgroundColorIndex = 0;
    FAspectRatio = 0;
}

void TGIFImage::DropCachedBitmaps() const
{
    for (const auto& frame : FFrames) frame->DropCachedBitmap();
}

void TGIFImage::LoadFromStream(TStream& Stream)
{
    Clear();
    const int64_t start = Stream.Position();
    const QByteArray data = Stream.ReadBytes(Stream.Size() - start);
    TReadState state{&data, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&state, ReadData, &error);
    if (!gif) FailCode(error);
    struct TCloser {
        GifFileType* Gif;
        ~TCloser() { DGifCloseFile(Gif, nullptr); }
    } closer{gif};

    try {
        FWidth = gif->SWidth;
        FHeight = gif->SHeight;
        FBackgroundColorIndex = uint8_t(gif->SBackGroundColor);
        FAspectRatio = uint8_t(gif->AspectByte);
        ReadMap(gif->SColorMap, FGlobalColorMap);

        std::vector<std::unique_ptr<TGIFExtension>> pending;
        for (GifRecordType record = UNDEFINED_RECORD_TYPE; record != TERMINATE_RECORD_TYPE;) {
            Check(DGifGetRecordType(gif, &record), gif);
            if (record == IMAGE_DESC_RECORD_TYPE) {
                Check(DGifGetImageDesc(gif), gif);
                const GifImageDesc& desc = gif->Image;
                // Each code of at least two bits gives at most 4096 pixels: a frame larger than what
                // the rest of the data can hold is damage, refused before anything is allocated.
                const int64_t left = data.size() - state.Position;
                if (desc.Width < 0 || desc.Height < 0 || int64_t(desc.Width) * desc.Height > (left * 4 + 1) * 4096)
                    throw EGIFError(QStringLiteral("GIF image is not valid: frame of %1x%2 pixels in %3 bytes")
                                        .arg(desc.Width)
                                        .arg(desc.Height)
                                        .arg(left));
                auto* frame = new TGIFFrame(this);
                frame->FLeft = desc.Left;
                frame->FTop = desc.Top;
                frame->FInterlaced = desc.Interlace;
                frame->SetSize(desc.Width, desc.Height);
                ReadMap(desc.ColorMap, frame->FColorMap);
                frame->FExtensions = std::move(pending);
                pending.clear();
                if (frame->Empty()) {
                    int codeSize = 0;
                    GifByteType* block = nullptr;
                    Check(DGifGetCode(gif, &codeSize, &block), gif);
                    while (block) Check(DGifGetCodeNext(gif, &block), gif);
                } else {
                    for (const int y : RowOrder(frame->FHeight, frame->FInterlaced))
                        Check(DGifGetLine(gif, reinterpret_cast<GifPixelType*>(frame->FPixels.data()) +
                                                   qsizetype(y) * frame->FWidth,
                                          frame->FWidth),
                              gif);
                }
            } else if (record == EXTENSION_RECORD_TYPE) {
                int function = 0;
                GifByteType* block = nullptr;
                Check(DGifGetExtension(gif, &function, &block), gif);
                std::vector<QByteArray> blocks;
                while (block) {
                    blocks.emplace_back(reinterpret_cast<const char*>(block + 1), block[0]);
                    Check(DGifGetExtensionNext(gif, &block), gif);
                }
                pending.push_back(MakeExtension(function, std::move(blocks)));
            }
        }
        FTrailing = std::move(pending);
    } catch (...) {
        Clear();
        throw;
    }
    Stream.SetPosition(start + state.Position);
}

void TGIFImage::SaveToStream(TStream& Stream) const
{
    QByteArray out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteData, &error);
    if (!gif) FailCode(error);
    bool closed = false;
    try {
        bool extensions = !FTrailing.empty();
        for (const auto& frame : FFrames) extensions = extensions || !frame->FExtensions.empty();
        EGifSetGifVersion(gif, extensions);
        TMapHolder global(MakeMap(FGlobalColorMap.ExportPalette()));
        gif->AspectByte = FAspectRatio;
        Check(EGifPutScreenDesc(gif, FWidth, FHeight, global.Map ? global.Map->BitsPerPixel : 8, FBackgroundColorIndex,
                                global.Map),
              gif);
        for (const auto& frame : FFrames) {
            for (const auto& extension : frame->FExtensions) PutExtension(gif, *extension);
            // The format cannot hold an empty frame's pixel data.
            if (frame->Empty()) continue;
            int highest = 0;
            for (const char c : frame->FPixels) highest = std::max(highest, int(uint8_t(c)));
            // A frame without any map gets a black one that covers its indices: the codec needs a map
            // for the code size.
            const bool needLocal = !frame->FColorMap.Empty() || FGlobalColorMap.Empty();
            const int minCount = needLocal ? highest + 1 : 0;
            TMapHolder local(needLocal ? MakeMap(frame->FColorMap.ExportPalette(), minCount) : nullptr);
            // Indices beyond a map's padded size would be cut by the codec; the map grows to hold them.
            if (!needLocal && highest >= (1 << global.Map->BitsPerPixel)) {
                TMapHolder wider(MakeMap(FGlobalColorMap.ExportPalette(), highest + 1));
                Check(EGifPutImageDesc(gif, frame->FLeft, frame->FTop, frame->FWidth, frame->FHeight,
                                       frame->FInterlaced, wider.Map),
                      gif);
            } else {
                Check(EGifPutImageDesc(gif, frame->FLeft, frame->FTop, frame->FWidth, frame->FHeight,
                                       frame->FInterlaced, local.Map),
                      gif);
            }
            QByteArray row(frame->FWidth, '\0');
            for (const int y : RowOrder(frame->FHeight, frame->FInterlaced)) {
                // The codec masks the line in place: it gets a copy.
                std::memcpy(row.data(), frame->ScanLine(y), size_t(frame->FWidth));
                Check(EGifPutLine(gif, reinterpret_cast<GifPixelType*>(row.data()), frame->FWidth), gif);
            }
        }
        for (const auto& extension : FTrailing) PutExtension(gif, *extension);
        closed = true;
        if (EGifCloseFile(gif, &error) == GIF_ERROR) FailCode(error);
    } catch (...) {
        if (!closed) EGifCloseFile(gif, nullptr);
        throw;
    }
    Stream.WriteBytes(out);
}

void TGIFImage::Assign(const TGraphic& Source)
{
    if (const auto* gif = dynamic_cast<const TGIFImage*>(&Source)) {
        *this = *gif;
        return;
    }
    Clear();
    auto* frame = new TGIFFrame(this);
    frame->Assign(Source);
    FWidth = frame->Width();
    FHeight = frame->Height();
}

QImage TGIFImage::ToQImage() const
{
    if (FFrames.empty()) return QImage();
    TGIFRenderer renderer(*this);
    return renderer.Canvas();
}

// TGIFRenderer

TGIFRenderer::TGIFRenderer(const TGIFImage& Image) : FImage(Image) { Reset(); }

void TGIFRenderer::SetBackgroundColor(TColor Value)
{
    FBackgroundColor = Value;
    Reset();
}

QSize TGIFRenderer::ScreenSize(const TGIFImage& Image)
{
    int width = Image.Width(), height = Image.Height();
    if (width == 0 || height == 0)
        for (int i = 0; i < Image.FrameCount(); ++i) {
            const TGIFFrame* frame = Image.Frames(i);
            width = std::max(width, frame->Left() + frame->Width());
            height = std::max(height, frame->Top() + frame->Height());
        }
    return QSize(width, height);
}

void TGIFRenderer::Reset()
{
    const QSize size = ScreenSize(FImage);
    if (int64_t(size.width()) * size.height() > MaxPixels)
        throw EGIFError(QStringLiteral("GIF image is too large to show (%1x%2)").arg(size.width()).arg(size.height()));
    FCanvas = QImage(size, QImage::Format_ARGB32);
    FCanvas.fill(ColorToQRgb(FBackgroundColor, 0));
    FFrameIndex = 0;
    DrawCurrent();
}

void TGIFRenderer::DrawCurrent()
{
    if (FFrameIndex >= FImage.FrameCount()) return;
    const TGIFFrame* frame = FImage.Frames(FFrameIndex);
    if (frame->Disposal() == dmPrevious) FBeforeCurrent = FCanvas.copy();
    const QImage pixels = frame->ToQImage();
    const int x0 = frame->Left(), y0 = frame->Top();
    const int x1 = std::min(FCanvas.width(), x0 + frame->Width());
    const int y1 = std::min(FCanvas.height(), y0 + frame->Height());
    for (int y = y0; y < y1; ++y) {
        const auto* source = reinterpret_cast<const QRgb*>(pixels.constScanLine(y - y0));
        auto* line = reinterpret_cast<QRgb*>(FCanvas.scanLine(y));
        for (int x = x0; x < x1; ++x)
            if (qAlpha(source[x - x0]) != 0) line[x] = source[x - x0];
    }
}

void TGIFRenderer::NextFrame()
{
    if (FImage.FrameCount() == 0) return;
    const TGIFFrame* frame = FImage.Frames(FFrameIndex);
    switch (frame->Disposal()) {
    case dmBackground: {
        const QRgb background = ColorToQRgb(FBackgroundColor, 0);
        const int x1 = std::min(FCanvas.width(), frame->Left() + frame->Width());
        const int y1 = std::min(FCanvas.height(), frame->Top() + frame->Height());
        for (int y = frame->Top(); y < y1; ++y) {
            auto* line = reinterpret_cast<QRgb*>(FCanvas.scanLine(y));
            for (int x = frame->Left(); x < x1; ++x) line[x] = background;
        }
        break;
    }
    case dmPrevious:
        if (!FBeforeCurrent.isNull()) FCanvas = FBeforeCurrent;
        break;
    default:
        break;
    }
    if (++FFrameIndex >= FImage.FrameCount()) {
        Reset();
        return;
    }
    DrawCurrent();
}
