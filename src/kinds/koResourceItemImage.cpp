#include "koResourceItemImage.h"

#include "kinds/ColorReduction.h"
#include "model/koResources.h"
#include "platform/Format.h"
#include "platform/Icon.h"
#include "platform/JpegImage.h"
#include "platform/PngImage.h"
#include "platform/StringList.h"

#include <QFileInfo>
#include <limits>

// --- graphic item bases ----------------------------------------------------------------------------

QString TBasicGraphicResourceItem::GetDescription() const
{
    return Format(QStringLiteral("%dx%d"), {Width(), Height()});
}

void TOwnedChildItems::Notify(TCustomResourceItem* Child, TResourceChildNotification Notification)
{
    if (Notification == chAdded) {
        FItems.emplace_back(Child);
    } else if (Notification == chRemoved) {
        // Children usually leave from the end.
        const auto held = std::find_if(FItems.rbegin(), FItems.rend(),
                                       [Child](const TResourceItemPtr& item) { return item.get() == Child; });
        if (held != FItems.rend()) {
            (void)held->release();
            FItems.erase(std::next(held).base());
        }
    }
}

void TOwnedChildItems::Release()
{
    std::vector<TResourceItemPtr> items = std::move(FItems);
    FItems.clear();
    while (!items.empty()) items.pop_back();
}

void TBasicGraphicResourceItem::Assign(const TGraphic& Source)
{
    throw EConvertError(Format(QStringLiteral("Cannot assign a %s to a %s"),
                               {QString::fromLatin1(Source.ClassName()), QString::fromLatin1(metaObject()->className())}));
}

void TBasicGraphicResourceItem::AssignTo(TGraphic& Dest)
{
    throw EConvertError(Format(QStringLiteral("Cannot assign a %s to a %s"),
                               {QString::fromLatin1(metaObject()->className()), QString::fromLatin1(Dest.ClassName())}));
}

TBasicGraphicResourceItem* TBasicGraphicResourceItem::FindMatch(int AWidth, int AHeight, bool Exact)
{
    return FindMatch(this, AWidth, AHeight, Exact);
}

TBasicGraphicResourceItem* TBasicGraphicResourceItem::FindMatch(TCustomResourceItem* Parent, int AWidth, int AHeight,
                                                                bool Exact)
{
    TBasicGraphicResourceItem* best = qobject_cast<TBasicGraphicResourceItem*>(Parent);
    if (!Parent || !Parent->HasItems()) return best;
    int64_t bestDistance = std::numeric_limits<int64_t>::max();
    uint64_t bestColors = 0;
    TResourceItemList* children = Parent->Items();
    for (int i = 0; i < children->Count(); ++i) {
        auto* child = qobject_cast<TBasicGraphicResourceItem*>(children->Items(i));
        if (!child) continue;
        if (Exact && (child->Width() != AWidth || child->Height() != AHeight)) continue;
        const int64_t dx = int64_t(child->Width()) - AWidth;
        const int64_t dy = int64_t(child->Height()) - AHeight;
        const int64_t distance = dx * dx + dy * dy;
        const auto* graphic = qobject_cast<TCustomGraphicResourceItem*>(child);
        const uint64_t colors = graphic ? graphic->ColorCount() : 0;
        if (distance < bestDistance || (distance == bestDistance && colors > bestColors)) {
            if ((!Exact && distance != 0) || colors != 0) {
                best = child;
                bestDistance = distance;
                bestColors = colors;
            } else {
                return child;
            }
        }
    }
    return best;
}

TPixelFormat TCustomGraphicResourceItem::PixelFormat() const { return ColorDepthToPixelFormat(ColorDepth()); }

uint64_t TCustomGraphicResourceItem::GetColorCount() const
{
    const TColorDepth depth = ColorDepth();
    return depth >= 0 && depth < 64 ? uint64_t(1) << depth : 0;
}

QString TCustomGraphicResourceItem::GetDescription() const
{
    return Format(QStringLiteral("%dx%d, %s"), {Width(), Height(), ColorDepthToString(ColorDepth())});
}

void TCustomGraphicResourceItem::InitPropertyMap()
{
    inherited::InitPropertyMap();
    PropertyMap()->SetValues(QStringLiteral("ColorDepth"), QStringLiteral("Color Depth"));
}

// --- image formats ---------------------------------------------------------------------------------

TImageFormat::TImageFormat(TGraphicClass AGraphicClass, const QByteArray& ASignature, const QByteArray& ASignatureMask)
    : FGraphicClass(AGraphicClass), FSignature(ASignature), FSignatureMask(ASignatureMask)
{
    ATELIER_ASSERT(FSignatureMask.size() <= FSignature.size());
}

bool TImageFormat::Handles(TStream* Stream) const
{
    return Stream && MatchSignature(Stream, FSignature, FSignatureMask, Stream->Position());
}

void TImageFormats::Add(TGraphicClass GraphicClass, const QByteArray& Signature, const QByteArray& SignatureMask)
{
    auto format = std::make_unique<TImageFormat>(GraphicClass, Signature, SignatureMask);
    auto at = std::find_if(FList.begin(), FList.end(),
                           [&](const auto& f) { return f->Signature().size() < Signature.size(); });
    FList.insert(at, std::move(format));
}

const TImageFormat* TImageFormats::Find(TStream* Stream) const
{
    for (const auto& format : FList)
        if (format->Handles(Stream)) return format.get();
    return nullptr;
}

namespace {
std::unique_ptr<TImageFormats>& ImageFormatsInstance()
{
    static std::unique_ptr<TImageFormats> instance;
    return instance;
}

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int v : values) result.append(static_cast<char>(v));
    return result;
}

const QByteArray& JFIFSignature()
{
    static const QByteArray s = Bytes({0xFF, 0xD8, 0xFF, 0xE0, 0, 0, 'J', 'F', 'I', 'F', 0});
    return s;
}
const QByteArray& ExifSignature()
{
    static const QByteArray s = Bytes({0xFF, 0xD8, 0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0});
    return s;
}
const QByteArray& JPEGSignatureMask()
{
    static const QByteArray s = Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    return s;
}
} // namespace

TImageFormats& ImageFormats()
{
    auto& instance = ImageFormatsInstance();
    if (!instance) instance = std::make_unique<TImageFormats>();
    return *instance;
}

const QByteArray& AniSignature()
{
    static const QByteArray s = Bytes({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'C', 'O', 'N'});
    return s;
}

const QByteArray& AniSignatureMask()
{
    static const QByteArray s = Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    return s;
}

// --- JPEG kind -------------------------------------------------------------------------------------

bool TJPEGResourceItem::Handles(const TResourceIdent&, const TResourceIdent&, TStream* Data)
{
    return MatchSignature(Data, JFIFSignature(), JPEGSignatureMask(), 0) ||
           MatchSignature(Data, ExifSignature(), JPEGSignatureMask(), 0);
}

bool TJPEGResourceItem::HandlesFile(const QString& Filename, TStream*)
{
    const QString ext = QFileInfo(Filename).suffix().toLower();
    return ext == QLatin1String("jpg") || ext == QLatin1String("jpeg");
}

TResourceItemGlyphHandle TJPEGResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgItem) return LoadResourceGlyph(QStringLiteral("RES_JPEG_ITEM"), QStringLiteral("jpeg.item"));
    return inherited::GetGlyph(Kind);
}

// --- helpers ---------------------------------------------------------------------------------------

TPixelFormat ColorDepthToPixelFormat(TColorDepth Depth)
{
    if (Depth == 1) return pf1bit;
    if (Depth >= 2 && Depth <= 4) return pf4bit;
    if (Depth >= 5 && Depth <= 8) return pf8bit;
    if (Depth >= 9 && Depth <= 24) return pf24bit;
    return pf32bit;
}

TColorDepth PixelFormatToColorDepth(TPixelFormat Format)
{
    switch (Format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit:
    case pf24bit: return 24;
    default: return 32;
    }
}

TPixelFormat BitCountToPixelFormat(int Bits)
{
    switch (Bits) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 15: return pf15bit;
    case 16: return pf16bit;
    case 24: return pf24bit;
    case 32: return pf32bit;
    default: return pfCustom;
    }
}

int PixelFormatToBitCount(TPixelFormat Format)
{
    switch (Format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit: return 15;
    case pf16bit: return 16;
    case pf24bit: return 24;
    case pf32bit: return 32;
    default: return 0;
    }
}

int PixelFormatColorCount(TPixelFormat Format)
{
    switch (Format) {
    case pf1bit: return 2;
    case pf4bit: return 16;
    case pf8bit: return 256;
    case pf15bit: return 32768;
    case pf16bit: return 65536;
    case pf24bit: return 16777216;
    default: return -1;
    }
}

uint32_t ColorDepthToColorCount(TColorDepth Depth) { return uint32_t(1) << (Depth & 31); }

int ColorCountToColorDepth(int64_t Count)
{
    int depth = 0;
    while (Count > 1) {
        Count /= 2;
        ++depth;
    }
    return depth;
}

QString ColorDepthToString(TColorDepth Depth)
{
    switch (Depth) {
    case 1:
    case 2:
    case 4:
    case 8: return QString::number(1 << Depth);
    case 15:
    case 16:
    case 24:
    case 32: return Format(QStringLiteral("%d bit"), {Depth});
    default: return Format(QStringLiteral("Unknown (%d bits)"), {Depth});
    }
}

bool PaletteToColors(const TBitmap& Bitmap, TColorArray& Colors)
{
    Colors = Bitmap.Palette();
    if (Colors.size() > 256) Colors.resize(256);
    return !Colors.empty();
}

TColorArray ColorsToPalette(const TColorArray& Colors)
{
    ATELIER_ASSERT(Colors.size() <= 256);
    TColorArray palette;
    palette.reserve(Colors.size());
    for (TColor color : Colors) palette.push_back(ColorToRGB(color));
    return palette;
}

void SetBitmapPalette(TBitmap& Bitmap, const TColorArray& Palette)
{
    if (Palette.empty() || Bitmap.BitCount() > 8) return;
    const size_t tableSize = Bitmap.Palette().empty() ? size_t(1) << Bitmap.BitCount() : Bitmap.Palette().size();
    const size_t count = std::min(tableSize, Palette.size());
    Bitmap.SetPalette(TColorArray(Palette.begin(), Palette.begin() + count));
}

void SetBitmapAlpha(TBitmap& Bitmap, uint8_t Alpha)
{
    ATELIER_ASSERT(Bitmap.PixelFormat() == pf32bit);
    for (int y = 0; y < Bitmap.Height(); ++y) {
        uint8_t* line = Bitmap.ScanLine(y);
        for (int x = 0; x < Bitmap.Width(); ++x) line[4 * x + 3] = Alpha;
    }
}

TBitmap CreateColorMask(const TBitmap& Bitmap, TColor Color)
{
    TBitmap mask(Bitmap.Width(), Bitmap.Height(), pf1bit);
    mask.SetPalette({clBlack, clWhite});
    const TColor wanted = ColorToRGB(Color);
    for (int y = 0; y < Bitmap.Height(); ++y)
        for (int x = 0; x < Bitmap.Width(); ++x)
            if (Bitmap.Pixel(x, y) == wanted) mask.SetPixelIndex(x, y, 1);
    return mask;
}

namespace {
TBitmap ReducedToBitmap(const TReducedImage& Reduced)
{
    TBitmap result(Reduced.Width, Reduced.Height, pf8bit);
    result.SetPalette(Reduced.Palette);
    for (int y = 0; y < Reduced.Height; ++y) {
        uint8_t* line = result.ScanLine(y);
        const uint8_t* indices = Reduced.Indices.data() + size_t(y) * Reduced.Width;
        std::copy(indices, indices + Reduced.Width, line);
    }
    return result;
}
} // namespace

void ConvertPixelFormat(TBitmap& Bitmap, TPixelFormat Format)
{
    if (Bitmap.PixelFormat() == Format) return;
    if (Format > pf8bit) {
        Bitmap.SetPixelFormat(Format);
        if (Format == pf32bit) SetBitmapAlpha(Bitmap, 255);
        return;
    }
    if (Bitmap.PixelFormat() == pfDevice) Bitmap.SetPixelFormat(pf24bit);
    if (Format < Bitmap.PixelFormat()) {
        const TReducedImage reduced =
            Format == pf1bit ? ReduceColors(Bitmap.ToQImage(), crMonochrome, dmStucki, 1)
                             : ReduceColors(Bitmap.ToQImage(), crQuantize, dmFloydSteinberg, PixelFormatToBitCount(Format));
        TBitmap result = ReducedToBitmap(reduced);
        if (Format == pf8bit) {
            Bitmap = std::move(result);
            SetBitmapPalette(Bitmap, reduced.Palette);
        } else {
            Bitmap.SetPixelFormat(Format);
            SetBitmapPalette(Bitmap, reduced.Palette);
            Bitmap.CopyPixels(result);
        }
        return;
    }
    // Wider palette: the old entries first, black after them; every index keeps its colour.
    TColorArray palette;
    PaletteToColors(Bitmap, palette);
    palette.resize(size_t(PixelFormatColorCount(Format)), clBlack);
    TBitmap wider(Bitmap.Width(), Bitmap.Height(), Format);
    SetBitmapPalette(wider, ColorsToPalette(palette));
    for (int y = 0; y < Bitmap.Height(); ++y)
        for (int x = 0; x < Bitmap.Width(); ++x) wider.SetPixelIndex(x, y, Bitmap.PixelIndex(x, y));
    Bitmap = std::move(wider);
}

void koResourceItemImage_Initialize()
{
    // Metafiles are not registered: nothing here can draw them, and the enhanced metafile's signature
    // (the DWORD 1) would claim much raw data that the hex view shows better. GIF registers with its
    // own picture class.
    const QByteArray ff2 = Bytes({0xFF, 0xFF});
    TImageFormats& formats = ImageFormats();
    formats.Add(GraphicClassOf<TBitmap>(), QByteArray("BM", 2), ff2);
    formats.Add(GraphicClassOf<TIcon>(), Bytes({0, 0, 1, 0, 0, 0}), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 0xFF}));
    formats.Add(GraphicClassOf<TIcon>(), Bytes({0, 0, 2, 0, 0, 0}), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 0xFF}));
    formats.Add(GraphicClassOf<TPngImage>(), QByteArray("\x89PNG\r\n\x1A\n", 8), QByteArray(8, '\xFF'));
    formats.Add(GraphicClassOf<TJPEGImage>(), JFIFSignature(), JPEGSignatureMask());
    formats.Add(GraphicClassOf<TJPEGImage>(), ExifSignature(), JPEGSignatureMask());
    TJPEGResourceItem::ClassInfo()->Register(255);
    TJPEGResourceItem::ClassInfo()->RegisterFileType(QStringLiteral("jpg"), QStringLiteral("JPEG images"), {fcLoad}, 255);
}

void koResourceItemImage_Finalize()
{
    TJPEGResourceItem::ClassInfo()->Unregister();
    ImageFormatsInstance().reset();
}
