#include "koResourceItemBitmap.h"

#include "model/koResources.h"
#include "model/koResourcesMessages.h"
#include "platform/BinaryReader.h"
#include "platform/Format.h"
#include "platform/Streams.h"
#include "platform/UpdateGuard.h"

#include <QFileInfo>
#include <cmath>

namespace {
const char* const SInvalidBitmapSize = "Invalid bitmap size";
const char* const SUnsupportedBitmapFormat = "Unsupported bitmap format";
const char* const SInvalidBitmapHeader = "Invalid bitmap header";
const char* const SBitmapDataTooShort = "Bitmap data of %d bytes is too short for a bitmap header";
const char* const SBitmapRepairEmpty = "Invalid bitmap header: the image size at offset 6 is 0";

const QByteArray& BMSignature()
{
    static const QByteArray s("BM", 2);
    return s;
}

constexpr int FileHeaderSize = 14;

int PaletteColors(uint16_t bitCount, uint32_t clrUsed)
{
    if (clrUsed != 0) return static_cast<int>(std::min<uint32_t>(clrUsed, 1u << 16));
    switch (bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

void PutWord(QByteArray& b, int at, uint16_t v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}

void PutDWord(QByteArray& b, int at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = char((v >> (8 * i)) & 0xFF);
}
} // namespace

// --- bitmap items ----------------------------------------------------------------------------------

TCustomBitmapResourceItem::TCustomBitmapResourceItem() : FBitmap(std::make_unique<TBitmap>()) {}

TCustomBitmapResourceItem::TCustomBitmapResourceItem(const TResourceIdent& AResName)
    : TCustomGraphicResourceItem(RT_BITMAP, AResName), FBitmap(std::make_unique<TBitmap>())
{
}

TCustomBitmapResourceItem::~TCustomBitmapResourceItem() = default;

bool TCustomBitmapResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*)
{
    return IsOrdinalResourceIdent(ResourceType) && ResourceIdentOrdinal(ResourceType) == RT_BITMAP;
}

bool TCustomBitmapResourceItem::HandlesFile(const QString& Filename, TStream* Data)
{
    return QFileInfo(Filename).suffix().compare(QLatin1String("bmp"), Qt::CaseInsensitive) == 0 ||
           MatchSignature(Data, BMSignature(), {}, 0);
}

TResourceItemGlyphHandle TCustomBitmapResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgItem) return LoadResourceGlyph(QStringLiteral("RES_BITMAP_ITEM"), QStringLiteral("bitmap.item"));
    return inherited::GetGlyph(Kind);
}

TResourceItemGlyphHandle TBitmapResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgType) return LoadResourceGlyph(QStringLiteral("RES_BITMAP_TYPE"), QStringLiteral("bitmap.type"));
    return inherited::GetGlyph(Kind);
}

void TCustomBitmapResourceItem::SetBitmap(const TBitmap& Value)
{
    TUpdateGuard<TCustomBitmapResourceItem> batch(this);
    *FBitmap = Value;
}

void TCustomBitmapResourceItem::SetWidth(int Value)
{
    if (Value <= 0) throw Exception(QString::fromLatin1(SInvalidBitmapSize));
    if (Value == FBitmap->Width()) return;
    TUpdateGuard<TCustomBitmapResourceItem> batch(this);
    FBitmap->SetWidth(Value);
}

void TCustomBitmapResourceItem::SetHeight(int Value)
{
    if (Value <= 0) throw Exception(QString::fromLatin1(SInvalidBitmapSize));
    if (Value == FBitmap->Height()) return;
    TUpdateGuard<TCustomBitmapResourceItem> batch(this);
    FBitmap->SetHeight(Value);
}

void TCustomBitmapResourceItem::SetColorDepth(int Value)
{
    if (!SupportedColorDepths().Contains(Value) || Value == ColorDepth()) return;
    TUpdateGuard<TCustomBitmapResourceItem> batch(this);
    ConvertPixelFormat(*FBitmap, ColorDepthToPixelFormat(Value));
}

void TCustomBitmapResourceItem::Clear()
{
    TUpdateGuard<TCustomBitmapResourceItem> batch(this);
    FBitmap->SetSize(0, 0);
}

void TCustomBitmapResourceItem::LoadFromStream(TStream& Stream, int64_t Size)
{
    TUpdateGuard<TCustomBitmapResourceItem> batch(this);
    Clear();
    TBitmap bitmap;
    LoadBitmapResource(bitmap, Stream, Size);
    *FBitmap = std::move(bitmap);
}

void TCustomBitmapResourceItem::SaveToStream(TStream& Stream)
{
    if (FBitmap->Empty()) return;
    const QByteArray dib = FBitmap->SaveToDIB();
    Stream.WriteBuffer(dib.constData(), dib.size());
}

void TCustomBitmapResourceItem::LoadFromFileStream(TStream& Stream)
{
    TUpdateGuard<TCustomBitmapResourceItem> batch(this);
    TBitmap bitmap;
    bitmap.LoadFromStream(Stream);
    *FBitmap = std::move(bitmap);
}

void TCustomBitmapResourceItem::SaveToFileStream(TStream& Stream) { FBitmap->SaveToStream(Stream); }

void TCustomBitmapResourceItem::InitializeNewItem()
{
    TUpdateGuard<TCustomBitmapResourceItem> batch(this);
    inherited::InitializeNewItem();
    TBitmap bitmap(16, 16, pf24bit);
    bitmap.Fill(clWhite);
    bitmap.SetTransparent(false);
    *FBitmap = std::move(bitmap);
}

int TCustomBitmapResourceItem::GetWidth() const { return FBitmap->Width(); }
int TCustomBitmapResourceItem::GetHeight() const { return FBitmap->Height(); }
TColorDepth TCustomBitmapResourceItem::GetColorDepth() const { return PixelFormatToColorDepth(FBitmap->PixelFormat()); }

int TCustomBitmapResourceItem::GetSize() const
{
    if (FBitmap->Empty()) return 0;
    return static_cast<int>(FBitmap->FileSize() - FileHeaderSize);
}

void TCustomBitmapResourceItem::LoadBitmapResource(TBitmap& Bitmap, TStream& Stream, int64_t Size)
{
    constexpr int HeadSize = 26;
    if (Size < HeadSize) throw EInvalidGraphic(Format(QString::fromLatin1(SBitmapDataTooShort), {Size}));
    const QByteArray data = Stream.ReadBytes(Size);
    if (data.size() < Size) throw EReadError(QStringLiteral("Stream read error"));
    TBinaryReader reader(data);

    QByteArray file(FileHeaderSize, '\0');
    file[0] = 'B';
    file[1] = 'M';
    PutDWord(file, 2, static_cast<uint32_t>(Size + FileHeaderSize));
    if (reader.U16(0, "bitmap header") == 4) {
        // A truncated header of old tools: rebuild a 40-byte one in front of it, squarest size.
        LogMessage(QString::fromLatin1(SInvalidBitmapHeader), rmWarning);
        const int64_t pixels = 2 * int64_t(reader.U32(6, "bitmap image size"));
        if (pixels == 0) throw EInvalidGraphic(QString::fromLatin1(SBitmapRepairEmpty));
        const int64_t width = static_cast<int64_t>(std::ceil(std::sqrt(double(pixels))));
        const int64_t height = pixels / width;
        QByteArray header(14, '\0');
        PutDWord(header, 0, 40);
        PutDWord(header, 4, static_cast<uint32_t>(width));
        PutDWord(header, 8, static_cast<uint32_t>(height));
        PutWord(header, 12, 1);
        file += header;
    }
    file += data;

    // The pixels' offset from the header at file offset 14; headers beyond the 40-byte one are
    // common (V4 and V5 in most bitmaps), and bit-field masks follow a 40-byte header.
    TBinaryReader dib(file.constData() + FileHeaderSize, file.size() - FileHeaderSize, 0);
    const uint32_t headerSize = dib.U32(0, "bitmap header");
    uint32_t offBits = 0;
    if (headerSize == bhCore) {
        offBits = FileHeaderSize + bhCore + 3 * PaletteColors(dib.U16(10, "bitmap header"), 0);
    } else if (headerSize == bhInfo || headerSize == bhV2 || headerSize == bhV3 || headerSize == bhOS2 ||
               headerSize == bhV4 || headerSize == bhV5) {
        const uint16_t bitCount = dib.U16(14, "bitmap header");
        const uint32_t compression = dib.U32(16, "bitmap header");
        const uint32_t clrUsed = headerSize >= 36 ? dib.U32(32, "bitmap header") : 0;
        uint32_t masks = 0;
        if (headerSize == bhInfo && compression == BI_BITFIELDS) masks = 12;
        if (headerSize == bhInfo && compression == BI_ALPHABITFIELDS) masks = 16;
        offBits = FileHeaderSize + headerSize + masks + 4 * PaletteColors(bitCount, clrUsed);
    } else {
        throw EInvalidGraphic(QString::fromLatin1(SUnsupportedBitmapFormat));
    }
    PutDWord(file, 10, offBits);

    TBytesStream memory(file);
    Bitmap.LoadFromStream(memory);
}

std::unique_ptr<TBitmap> TCustomBitmapResourceItem::ItemToBitmap(TCustomResourceItem* Item)
{
    if (!Item) return nullptr;
    try {
        TMemoryStream data;
        Item->SaveToStream(data);
        data.SetPosition(0);
        auto bitmap = std::make_unique<TBitmap>();
        LoadBitmapResource(*bitmap, data, data.Size());
        return bitmap;
    } catch (const Exception&) {
        // Previews ask this of any data; what is no bitmap simply has no picture.
        return nullptr;
    }
}

TResourceItemTransparencyMethod TCustomBitmapResourceItem::GetTransparencyMethod()
{
    return FBitmap->PixelFormat() == pf32bit ? rtmAlpha : rtmNone;
}

TColor TCustomBitmapResourceItem::GetTransparentColor() { return FBitmap->TransparentColor(); }

void TCustomBitmapResourceItem::GetBitmaps(std::unique_ptr<TBitmap>& Bitmap, std::unique_ptr<TBitmap>& Mask,
                                           std::unique_ptr<TBitmap>& InverseMask)
{
    Mask.reset();
    InverseMask.reset();
    Bitmap = std::make_unique<TBitmap>(*FBitmap);
}

void TCustomBitmapResourceItem::SetBitmaps(const TBitmap& Bitmap, const TBitmap*, const TBitmap*)
{
    SetBitmap(Bitmap);
}

// --- bitmap files as resources ---------------------------------------------------------------------

bool TDIBResourceItem::Handles(const TResourceIdent&, const TResourceIdent&, TStream* Data)
{
    return MatchSignature(Data, BMSignature(), QByteArray("\xFF\xFF", 2), 0);
}

TResourceItemGlyphHandle TDIBResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgItem) return LoadResourceGlyph(QStringLiteral("RES_DIB_ITEM"), QStringLiteral("dib.item"));
    return TCustomGraphicResourceItem::GetGlyph(Kind);
}

void TDIBResourceItem::LoadFromStream(TStream& Stream, int64_t Size)
{
    TUpdateGuard<TCustomBitmapResourceItem> batch(this);
    Clear();
    const QByteArray data = Stream.ReadBytes(Size);
    if (data.size() < Size) throw EReadError(QStringLiteral("Stream read error"));
    TBytesStream memory(data);
    TBitmap bitmap;
    bitmap.LoadFromStream(memory);
    *FBitmap = std::move(bitmap);
}

void TDIBResourceItem::SaveToStream(TStream& Stream) { FBitmap->SaveToStream(Stream); }

int TDIBResourceItem::GetSize() const { return FBitmap->Empty() ? 0 : static_cast<int>(FBitmap->FileSize()); }

void koResourceItemBitmap_Initialize()
{
    TBitmapResourceItem::ClassInfo()->Register(0);
    TBitmapResourceItem::ClassInfo()->RegisterFileType(QStringLiteral("bmp"), QStringLiteral("Bitmap images"),
                                                        {fcLoad, fcSave}, 0);
    TDIBResourceItem::ClassInfo()->Register(0);
    TDIBResourceItem::ClassInfo()->RegisterFileType(QStringLiteral("bmp"), QStringLiteral("Bitmap images"),
                                                     {fcLoad, fcSave}, 255);
}

void koResourceItemBitmap_Finalize()
{
    TDIBResourceItem::ClassInfo()->Unregister();
    TBitmapResourceItem::ClassInfo()->Unregister();
}
