#include "koResourceItemIconCursor.h"

#include "kinds/koIconEncoder.h"
#include "platform/BinaryReader.h"
#include "model/koResources.h"
#include "platform/Format.h"
#include "platform/PngImage.h"
#include "platform/Streams.h"
#include "platform/UpdateGuard.h"

#include <QFileInfo>

namespace {
const char* const SPrematureEnd = "Premature end of data";
const char* const SOrdinalName = "%s must have ordinal (numeric) name";
const char* const SInvalidFileFormat = "Invalid file format";

TColor GTransparentDisplayColor{0x00FFD2D2};
TColor GInverseDisplayColor{0x00D2FFD2};

QByteArray ReadExactly(TStream& Stream, int64_t Count)
{
    if (Count < 0 || Stream.Size() - Stream.Position() < Count) throw EReadError(QString::fromLatin1(SPrematureEnd));
    QByteArray bytes = Stream.ReadBytes(Count);
    if (bytes.size() < Count) throw EReadError(QString::fromLatin1(SPrematureEnd));
    return bytes;
}

bool HasExtension(const QString& Filename, const char* Extension)
{
    return QFileInfo(Filename).suffix().compare(QLatin1String(Extension), Qt::CaseInsensitive) == 0;
}

// Reserved 0 and the type word: the start of an .ico (1) or .cur (2) file.
bool HasFileSignature(TStream* Data, uint16_t Type)
{
    const QByteArray signature("\0\0\0\0", 4);
    QByteArray s = signature;
    s[2] = char(Type);
    return MatchSignature(Data, s, QByteArray(4, '\xFF'), 0);
}

// PNG images an icon cannot edit in their own colour type (grey ones) are still valid icons that
// Windows shows: they become 32-bit images with alpha. Null when the PNG was refused for another reason.
std::unique_ptr<TBitmap> DecodeOtherPng(TStream& Stream, int64_t Start, const EInvalidGraphic& Error)
{
    if (Error.Message() != QLatin1String("Unsupported PNG format")) return nullptr;
    Stream.SetPosition(Start);
    TPngImage png;
    png.LoadFromStream(Stream);
    auto color = std::make_unique<TBitmap>(
        TBitmap::FromQImage(png.ToQImage().convertToFormat(QImage::Format_ARGB32)));
    color->SetPixelFormat(pf32bit);
    color->SetAlphaFormat(afDefined);
    return color;
}

void PutWord(QByteArray& Bytes, int At, uint16_t Value)
{
    Bytes[At] = char(Value & 0xFF);
    Bytes[At + 1] = char(Value >> 8);
}
} // namespace

// --- directory records -----------------------------------------------------------------------------

TResourceDirectory TResourceDirectory::Read(TStream& Stream)
{
    const QByteArray bytes = ReadExactly(Stream, Size);
    const TBinaryReader reader(bytes);
    TResourceDirectory entry;
    for (int i = 0; i < 8; ++i) entry.ResInfo[i] = reader.U8(i);
    entry.BytesInRes = reader.U32(8);
    entry.NameOrdinal = reader.U16(12);
    return entry;
}

void TResourceDirectory::Write(TStream& Stream) const
{
    Stream.WriteBuffer(ResInfo.data(), 8);
    Stream.WriteDWord(BytesInRes);
    Stream.WriteWord(NameOrdinal);
}

TIconDirectoryEntry TIconDirectoryEntry::Read(TStream& Stream)
{
    const QByteArray bytes = ReadExactly(Stream, Size);
    const TBinaryReader reader(bytes);
    TIconDirectoryEntry entry;
    entry.Width = reader.U8(0);
    entry.Height = reader.U8(1);
    entry.ColorCount = reader.U8(2);
    entry.Reserved = reader.U8(3);
    entry.Planes = reader.U16(4);
    entry.BitCount = reader.U16(6);
    entry.BytesInRes = reader.U32(8);
    entry.ImageOffset = reader.U32(12);
    return entry;
}

void TIconDirectoryEntry::Write(TStream& Stream) const
{
    const uint8_t head[4] = {Width, Height, ColorCount, Reserved};
    Stream.WriteBuffer(head, 4);
    Stream.WriteWord(Planes);
    Stream.WriteWord(BitCount);
    Stream.WriteDWord(BytesInRes);
    Stream.WriteDWord(ImageOffset);
}

TIconDirectoryHeader TIconDirectoryHeader::Read(TStream& Stream)
{
    const QByteArray bytes = ReadExactly(Stream, Size);
    const TBinaryReader reader(bytes);
    return {reader.U16(0), reader.U16(2), reader.U16(4)};
}

void TIconDirectoryHeader::Write(TStream& Stream) const
{
    Stream.WriteWord(Reserved);
    Stream.WriteWord(Type);
    Stream.WriteWord(Count);
}

// --- images ----------------------------------------------------------------------------------------

TCustomIconCursorResourceItem::TCustomIconCursorResourceItem(uint16_t TypeID, const TResourceIdent& AResName)
    : TCustomGraphicResourceItem(TypeID, AResName)
{
}

TCustomIconCursorResourceItem::~TCustomIconCursorResourceItem() = default;

TColor TCustomIconCursorResourceItem::TransparentDisplayColor() { return GTransparentDisplayColor; }
void TCustomIconCursorResourceItem::SetTransparentDisplayColor(TColor Value) { GTransparentDisplayColor = Value; }
TColor TCustomIconCursorResourceItem::InverseDisplayColor() { return GInverseDisplayColor; }
void TCustomIconCursorResourceItem::SetInverseDisplayColor(TColor Value) { GInverseDisplayColor = Value; }

TIconCompression TCustomIconCursorResourceItem::Compression() const
{
    EnsureImageInfo();
    return FCompression;
}

void TCustomIconCursorResourceItem::SetCompression(TIconCompression Value)
{
    EnsureImageInfo();
    if (Value == FCompression) return;
    TUpdateGuard<TCustomIconCursorResourceItem> batch(this);
    FCompression = Value;
    FDirectoryAsRead = false;
    if (FCompression != FCurrentCompression)
        FState.Include(isNeedEncode);
    else
        FState.Exclude(isNeedEncode);
}

QByteArray TCustomIconCursorResourceItem::ResourceData() const
{
    if (!GetHasImage()) return {};
    return GetDataStream();
}

void TCustomIconCursorResourceItem::Clear()
{
    TUpdateGuard<TCustomIconCursorResourceItem> batch(this);
    FResourceDirectory = {};
    FDirectoryAsRead = false;
    FDataStream.reset();
    FBitmapMask.reset();
    FBitmapColor.reset();
    FCompression = icBMP;
    FCurrentCompression = icBMP;
    FState = {};
}

void TCustomIconCursorResourceItem::LoadFromStream(TStream& Stream, int64_t Size)
{
    TUpdateGuard<TCustomIconCursorResourceItem> batch(this);
    QByteArray bytes = ReadExactly(Stream, Size);
    FBitmapMask.reset();
    FBitmapColor.reset();
    FDataStream = std::make_unique<QByteArray>(std::move(bytes));
    FState = {isNeedDecode, isNeedDecodeInfo};
    FDirectoryAsRead = false;
}

void TCustomIconCursorResourceItem::SaveToStream(TStream& Stream)
{
    if (!GetHasImage()) return;
    const QByteArray& data = GetDataStream();
    Stream.WriteBuffer(data.constData(), data.size());
}

void TCustomIconCursorResourceItem::LoadFromFileStream(TStream& Stream, int Index)
{
    TUpdateGuard<TCustomIconCursorResourceItem> batch(this);
    const int64_t start = Stream.Position();
    const TIconDirectoryHeader header = TIconDirectoryHeader::Read(Stream);
    // An icon image cannot come from a cursor file: the file's image would lose its hot spot.
    if (header.Reserved != 0 || (header.Type != 1 && header.Type != 2) || header.Count == 0 ||
        (GetImageType() == 1 && header.Type != 1))
        throw EInvalidGraphic(QString::fromLatin1(SInvalidFileFormat));
    if (Index < 0 || Index >= header.Count) Index = 0;
    Stream.SetPosition(start + TIconDirectoryHeader::Size + int64_t(Index) * TIconDirectoryEntry::Size);
    const TIconDirectoryEntry entry = TIconDirectoryEntry::Read(Stream);
    SetFileDirectory(entry);
    Stream.SetPosition(start + entry.ImageOffset);
    QByteArray data;
    if (GetImageType() == 2) {
        data = QByteArray(4, '\0');
        if (header.Type == 2) {
            PutWord(data, 0, entry.Planes);
            PutWord(data, 2, entry.BitCount);
        }
    }
    data += ReadExactly(Stream, entry.BytesInRes);
    TBytesStream memory(data);
    LoadFromStream(memory, data.size());
}

void TCustomIconCursorResourceItem::SaveToFileStream(TStream& Stream)
{
    const int64_t start = Stream.Position();
    TIconDirectoryHeader{0, uint16_t(GetImageType()), 1}.Write(Stream);
    TIconDirectoryEntry entry;
    GetFileDirectory(entry);
    entry.ImageOffset = TIconDirectoryHeader::Size + TIconDirectoryEntry::Size;
    entry.Write(Stream);
    QByteArray image = ResourceData();
    if (GetImageType() == 2) image.remove(0, 4);
    Stream.WriteBuffer(image.constData(), image.size());
    entry.BytesInRes = uint32_t(image.size());
    const int64_t end = Stream.Position();
    Stream.SetPosition(start + TIconDirectoryHeader::Size);
    entry.Write(Stream);
    Stream.SetPosition(end);
}

void TCustomIconCursorResourceItem::InitializeNewItem()
{
    TUpdateGuard<TCustomIconCursorResourceItem> batch(this);
    inherited::InitializeNewItem();
    constexpr int Side = 32;
    TBitmap color(Side, Side, pf4bit);
    color.SetPalette(DefaultPalette(4));
    color.Fill(clBlack);
    TBitmap mask(Side, Side, pf1bit);
    mask.SetPalette({clBlack, clWhite});
    mask.Fill(clWhite);
    FCompression = icBMP;
    StoreHotspot({Side / 2, Side / 2});
    TIconInfo info;
    info.fIcon = GetImageType() == 1;
    info.xHotspot = Side / 2;
    info.yHotspot = Side / 2;
    info.hbmColor = &color;
    info.hbmMask = &mask;
    TBytesStream memory;
    EncodeImage(memory, info, false);
    FBitmapMask.reset();
    FBitmapColor.reset();
    FDataStream = std::make_unique<QByteArray>(memory.Bytes());
    FCurrentCompression = icBMP;
    FState = {isNeedDecodeInfo};
}

void TCustomIconCursorResourceItem::ValidateID(const TResourceIdent& Value)
{
    if (!IsOrdinalResourceIdent(NormalizeResourceIdent(Value)))
        throw Exception(Format(QString::fromLatin1(SOrdinalName), {FriendlyTypeName()}));
    inherited::ValidateID(Value);
}

int TCustomIconCursorResourceItem::GetResourceDataSize() const { return GetSize(); }

void TCustomIconCursorResourceItem::SetResourceDirectory(const TResourceDirectory& Entry)
{
    FResourceDirectory = Entry;
    FDirectoryAsRead = true;
}

void TCustomIconCursorResourceItem::GetResourceDirectory(TResourceDirectory& Entry) const
{
    Entry = FResourceDirectory;
    Entry.BytesInRes = uint32_t(GetSize());
    Entry.NameOrdinal = NameIsInteger() ? NameInteger() : 0;
}

void TCustomIconCursorResourceItem::SetFileDirectory(const TIconDirectoryEntry& Entry)
{
    FColorDepth = Entry.ColorCount != 0 ? ColorCountToColorDepth(Entry.ColorCount) : 32;
}

// A byte of a directory entry: 0 stands for 256 pixels and more.
static uint8_t EntryDimension(int Pixels) { return Pixels > 255 ? 0 : uint8_t(Pixels); }

void TCustomIconCursorResourceItem::GetFileDirectory(TIconDirectoryEntry& Entry) const
{
    Entry = {};
    Entry.Width = EntryDimension(Width());
    Entry.Height = EntryDimension(Height());
    Entry.ColorCount = ColorDepth() <= 4 ? uint8_t(ColorCount()) : 0;
}

TResourceItemTransparencyMethod TCustomIconCursorResourceItem::GetTransparencyMethod()
{
    return ColorDepth() == 32 ? rtmAlpha : rtmMask;
}

bool TCustomIconCursorResourceItem::GetUsesPalette()
{
    const TIconCompression compression = Compression();
    return (compression == icBMP && ColorDepth() <= 8) || (compression == icPNG && !FPalette.empty());
}

void TCustomIconCursorResourceItem::DecodeImageInfo(TStream& Stream)
{
    ++FDecodeInfoCount;
    const QByteArray signature = Stream.ReadBytes(8);
    Stream.Seek(-signature.size(), soCurrent);
    FCurrentCompression = IconCompressionOf(signature);
    std::unique_ptr<TIconEncoder> encoder = CreateIconEncoder(FCurrentCompression);
    const int64_t start = Stream.Position();
    try {
        encoder->DecodeInfo(Stream, FColorDepth);
        FWidth = encoder->Width();
        FHeight = encoder->Height();
        FColorDepth = encoder->ColorDepth();
    } catch (const EInvalidGraphic& error) {
        std::unique_ptr<TBitmap> color = FCurrentCompression == icPNG ? DecodeOtherPng(Stream, start, error) : nullptr;
        Stream.SetPosition(start);
        if (!color) throw;
        FWidth = color->Width();
        FHeight = color->Height();
        FColorDepth = 32;
    }
    if (!FState.Contains(isNeedEncode)) FCompression = FCurrentCompression;
    FState.Exclude(isNeedDecodeInfo);
}

void TCustomIconCursorResourceItem::DecodeImage(TStream& Stream, TIconInfo& IconInfo)
{
    ++FDecodeCount;
    const QByteArray signature = Stream.ReadBytes(8);
    Stream.Seek(-signature.size(), soCurrent);
    const TIconCompression compression = IconCompressionOf(signature);
    std::unique_ptr<TIconEncoder> encoder = CreateIconEncoder(compression);
    std::unique_ptr<TBitmap> color, mask;
    const int64_t start = Stream.Position();
    bool other = false;
    try {
        encoder->Decode(Stream, color, mask, FColorDepth);
    } catch (const EInvalidGraphic& error) {
        color = compression == icPNG ? DecodeOtherPng(Stream, start, error) : nullptr;
        if (!color) throw;
        other = true;
    }
    // PNG images carry no mask; the item keeps one with every image (transparent where alpha is 0).
    if (!mask && color) {
        mask = std::make_unique<TBitmap>(color->Width(), color->Height(), pf1bit);
        mask->SetPalette({clBlack, clWhite});
        mask->Fill(clBlack);
        if (color->PixelFormat() == pf32bit)
            for (int y = 0; y < color->Height(); ++y)
                for (int x = 0; x < color->Width(); ++x)
                    if (color->PixelAlpha(x, y) == 0) mask->SetPixel(x, y, clWhite);
    }
    FCurrentCompression = compression;
    FWidth = other ? color->Width() : encoder->Width();
    FHeight = other ? color->Height() : encoder->Height();
    FColorDepth = other ? 32 : encoder->ColorDepth();
    FPalette = other ? TColorArray() : encoder->Palette();
    if (!FState.Contains(isNeedEncode)) FCompression = FCurrentCompression;
    FState.Exclude(isNeedDecodeInfo);
    FState.Exclude(isNeedDecode);
    FBitmapMask = std::move(mask);
    FBitmapColor = std::move(color);
    IconInfo.hbmMask = FBitmapMask.get();
    IconInfo.hbmColor = FBitmapColor.get();
}

int TCustomIconCursorResourceItem::GetWidth() const
{
    EnsureImageInfo();
    return FWidth;
}

int TCustomIconCursorResourceItem::GetHeight() const
{
    EnsureImageInfo();
    return FHeight;
}

TColorDepth TCustomIconCursorResourceItem::GetColorDepth() const
{
    EnsureImageInfo();
    return FColorDepth;
}

int TCustomIconCursorResourceItem::GetSize() const
{
    if (!GetHasImage()) return 0;
    return int(GetDataStream().size());
}

QString TCustomIconCursorResourceItem::GetDescription() const
{
    return Format(QStringLiteral("%dx%d, %s colors"), {Width(), Height(), ColorDepthToString(ColorDepth())});
}

QString TCustomIconCursorResourceItem::GetFilename() const
{
    return Parent() ? Parent()->Filename() : inherited::GetFilename();
}

void TCustomIconCursorResourceItem::DoSetFilename(const QString& Value)
{
    if (Parent())
        Parent()->SetFilename(Value);
    else
        inherited::DoSetFilename(Value);
}

void TCustomIconCursorResourceItem::EnsureImageInfo() const
{
    if (!FState.Contains(isNeedDecodeInfo) || !FDataStream) return;
    TBytesStream stream(*FDataStream);
    const_cast<TCustomIconCursorResourceItem*>(this)->DecodeImageInfo(stream);
}

void TCustomIconCursorResourceItem::EnsureImage() const
{
    if (FBitmapMask || !FDataStream) return;
    // A compression change waiting on undecoded bytes decodes them on the way.
    if (FState.Contains(isNeedEncode)) GetDataStream();
    if (FBitmapMask) return;
    TBytesStream stream(*FDataStream);
    TIconInfo info;
    const_cast<TCustomIconCursorResourceItem*>(this)->DecodeImage(stream, info);
}

bool TCustomIconCursorResourceItem::GetHasImage() const
{
    return (FDataStream && !FDataStream->isEmpty()) || FBitmapMask;
}

const QByteArray& TCustomIconCursorResourceItem::GetDataStream() const
{
    auto* self = const_cast<TCustomIconCursorResourceItem*>(this);
    const bool encodePending = FState.Contains(isNeedEncode) && !FState.Contains(isNeedDecode) && FBitmapMask;
    if (FDataStream && !encodePending) {
        if (!FState.Contains(isNeedEncode)) return *FDataStream;
        // The wanted encoding differs from the bytes': decode them and encode them anew.
        TBytesStream stream(*FDataStream);
        TIconInfo info;
        self->DecodeImage(stream, info);
    }
    if (!FDataStream) FDataStream = std::make_unique<QByteArray>();
    if (FBitmapMask && !FState.Contains(isNeedDecode)) {
        TIconInfo info;
        info.fIcon = GetImageType() == 1;
        const TCursorHotspot hotspot = CurrentHotspot();
        info.xHotspot = hotspot.HotspotX;
        info.yHotspot = hotspot.HotspotY;
        info.hbmMask = FBitmapMask.get();
        info.hbmColor = FBitmapColor.get();
        // Into a new buffer: a failing encoder leaves the item as it was.
        TBytesStream memory;
        EncodeImage(memory, info, false);
        *FDataStream = memory.Bytes();
    }
    FCurrentCompression = FCompression;
    FState.Exclude(isNeedEncode);
    return *FDataStream;
}

void TCustomIconCursorResourceItem::EncodeImage(TStream& Stream, const TIconInfo& IconInfo, bool WithFileHeader) const
{
    std::unique_ptr<TIconEncoder> encoder = CreateIconEncoder(FCompression);
    TBytesStream image;
    encoder->Encode(image, IconInfo.hbmColor, IconInfo.hbmMask);
    const QByteArray bytes = image.Bytes();
    FWidth = encoder->Width();
    FHeight = encoder->Height();
    FColorDepth = encoder->ColorDepth();
    if (WithFileHeader) {
        TIconDirectoryHeader{0, uint16_t(IconInfo.fIcon ? 1 : 2), 1}.Write(Stream);
        TIconDirectoryEntry entry;
        entry.Width = uint8_t(FWidth);
        entry.Height = uint8_t(FHeight);
        entry.ColorCount = FColorDepth == 1 ? 2 : FColorDepth == 4 ? 16 : 0;
        if (IconInfo.fIcon) {
            entry.Planes = 1;
            entry.BitCount = FColorDepth <= 4 ? 0 : uint16_t(FColorDepth);
        } else {
            entry.Planes = uint16_t(IconInfo.xHotspot);
            entry.BitCount = uint16_t(IconInfo.yHotspot);
        }
        entry.BytesInRes = uint32_t(bytes.size());
        entry.ImageOffset = TIconDirectoryHeader::Size + TIconDirectoryEntry::Size;
        entry.Write(Stream);
    } else if (!IconInfo.fIcon) {
        Stream.WriteWord(uint16_t(IconInfo.xHotspot));
        Stream.WriteWord(uint16_t(IconInfo.yHotspot));
    }
    Stream.WriteBuffer(bytes.constData(), bytes.size());
}

void TCustomIconCursorResourceItem::SetBitmapColor(std::unique_ptr<TBitmap> Value)
{
    FDirectoryAsRead = false;
    FBitmapColor = std::move(Value);
    FDataStream.reset();
    FState.Exclude(isNeedDecode);
}

void TCustomIconCursorResourceItem::SetBitmapMask(std::unique_ptr<TBitmap> Value)
{
    FDirectoryAsRead = false;
    FBitmapMask = std::move(Value);
    FDataStream.reset();
    FState.Exclude(isNeedDecode);
}

// --- icon images -----------------------------------------------------------------------------------

TCustomIconResourceItem::TCustomIconResourceItem(const TResourceIdent& AResName)
    : TCustomIconCursorResourceItem(RT_ICON, AResName)
{
}

bool TCustomIconResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*)
{
    return IsOrdinalResourceIdent(ResourceType) && ResourceIdentOrdinal(ResourceType) == RT_ICON;
}

bool TCustomIconResourceItem::HandlesFile(const QString& Filename, TStream* Data)
{
    return HasExtension(Filename, "ico") || HasFileSignature(Data, 1);
}

TResourceItemGlyphHandle TCustomIconResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgType) return LoadResourceGlyph(QStringLiteral("RES_ICON_TYPE"), QStringLiteral("icon.type"));
    return LoadResourceGlyph(QStringLiteral("RES_ICON_ITEM"), QStringLiteral("icon.item"));
}

TResourceItemClass TCustomIconResourceItem::ParentClass() { return TIconGroupResourceItem::ClassInfo(); }

void TCustomIconResourceItem::SetResourceDirectory(const TResourceDirectory& Entry)
{
    inherited::SetResourceDirectory(Entry);
    if (Entry.IconColorCount() != 0)
        FColorDepth = ColorCountToColorDepth(Entry.IconColorCount());
    else if (Entry.IconBitCount() != 0)
        FColorDepth = Entry.IconBitCount();
    else
        FColorDepth = 32;
}

void TCustomIconResourceItem::GetResourceDirectory(TResourceDirectory& Entry) const
{
    inherited::GetResourceDirectory(Entry);
    // An image nobody changed keeps its entry as read, so Windows picks the image it picked before
    // (compilers write 32 bits for palette PNG images, 0 for sides over 255).
    if (FDirectoryAsRead && FResourceDirectory.IconPlanes() != 0) return;
    Entry.SetIconWidth(EntryDimension(Width()));
    Entry.SetIconHeight(EntryDimension(Height()));
    Entry.SetIconColorCount(ColorDepth() >= 8 ? 0 : uint8_t(ColorCount()));
    Entry.SetIconReserved(0);
    // As compilers write them: Windows picks a group's image by size and bit count.
    Entry.SetIconPlanes(1);
    Entry.SetIconBitCount(uint16_t(ColorDepth()));
}

void TCustomIconResourceItem::SetFileDirectory(const TIconDirectoryEntry& Entry)
{
    inherited::SetFileDirectory(Entry);
    if (Entry.ColorCount == 0 && Entry.BitCount != 0) FColorDepth = Entry.BitCount;
}

void TCustomIconResourceItem::GetFileDirectory(TIconDirectoryEntry& Entry) const
{
    inherited::GetFileDirectory(Entry);
    Entry.Planes = 1;
    Entry.BitCount = uint16_t(ColorDepth());
    // An image nobody changed keeps the entry its group holds, so a compiler that makes the group
    // from the file writes the entry as read.
    if (FDirectoryAsRead && FResourceDirectory.IconPlanes() != 0) {
        Entry.Width = FResourceDirectory.IconWidth();
        Entry.Height = FResourceDirectory.IconHeight();
        Entry.ColorCount = FResourceDirectory.IconColorCount();
        Entry.Planes = FResourceDirectory.IconPlanes();
        Entry.BitCount = FResourceDirectory.IconBitCount();
    }
}

// --- cursor images ---------------------------------------------------------------------------------

TCustomCursorResourceItem::TCustomCursorResourceItem(const TResourceIdent& AResName)
    : TCustomIconCursorResourceItem(RT_CURSOR, AResName)
{
}

bool TCustomCursorResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*)
{
    return IsOrdinalResourceIdent(ResourceType) && ResourceIdentOrdinal(ResourceType) == RT_CURSOR;
}

bool TCustomCursorResourceItem::HandlesFile(const QString& Filename, TStream* Data)
{
    return HasExtension(Filename, "cur") || HasFileSignature(Data, 2);
}

TResourceItemGlyphHandle TCustomCursorResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgType) return LoadResourceGlyph(QStringLiteral("RES_CURSOR_TYPE"), QStringLiteral("cursor.type"));
    return LoadResourceGlyph(QStringLiteral("RES_CURSOR_ITEM"), QStringLiteral("cursor.item"));
}

TResourceItemClass TCustomCursorResourceItem::ParentClass() { return TCursorGroupResourceItem::ClassInfo(); }

void TCustomCursorResourceItem::GetResourceDirectory(TResourceDirectory& Entry) const
{
    inherited::GetResourceDirectory(Entry);
    // Some compilers write the height of image and mask together; what was read stays.
    const bool doubled = FResourceDirectory.CursorHeight() != 0 && FResourceDirectory.CursorHeight() == 2 * Height();
    Entry.SetCursorWidth(uint16_t(Width()));
    Entry.SetCursorHeight(uint16_t(doubled ? 2 * Height() : Height()));
    // Planes and bit count, as compilers write them (an entry never read has none yet).
    if (Entry.CursorHotspotX() == 0 && Entry.CursorHotspotY() == 0) {
        Entry.SetCursorHotspotX(1);
        Entry.SetCursorHotspotY(uint16_t(ColorDepth()));
    }
}

void TCustomCursorResourceItem::GetFileDirectory(TIconDirectoryEntry& Entry) const
{
    inherited::GetFileDirectory(Entry);
    const TCursorHotspot hotspot = CurrentHotspot();
    Entry.Planes = hotspot.HotspotX;
    Entry.BitCount = hotspot.HotspotY;
}

void TCustomCursorResourceItem::GetHotspot(QPoint& Hotspot)
{
    const TCursorHotspot hotspot = CurrentHotspot();
    Hotspot = QPoint(hotspot.HotspotX, hotspot.HotspotY);
}

void TCustomCursorResourceItem::SetHotspot(const QPoint& Hotspot)
{
    if (!GetHasImage()) return;
    const TCursorHotspot value{uint16_t(Hotspot.x()), uint16_t(Hotspot.y())};
    const TCursorHotspot current = CurrentHotspot();
    if (value.HotspotX == current.HotspotX && value.HotspotY == current.HotspotY) return;
    // A change of its own: reported, and in the stored bytes at once so that a save holds it.
    TUpdateGuard<TCustomIconCursorResourceItem> batch(this);
    FHotspot = value;
    if (FDataStream && FDataStream->size() >= 4) {
        PutWord(*FDataStream, 0, value.HotspotX);
        PutWord(*FDataStream, 2, value.HotspotY);
    }
}

bool TCustomCursorResourceItem::SupportsInverseMask() const { return ColorDepth() < 32; }

TCursorHotspot TCustomCursorResourceItem::CurrentHotspot() const
{
    EnsureImageInfo();
    return FHotspot;
}

void TCustomCursorResourceItem::DecodeImage(TStream& Stream, TIconInfo& IconInfo)
{
    IconInfo = {};
    IconInfo.fIcon = false;
    const QByteArray prefix = Stream.ReadBytes(4);
    if (prefix.size() < 4) throw EReadError(QString::fromLatin1(SPrematureEnd));
    const TBinaryReader reader(prefix);
    FHotspot = {reader.U16(0), reader.U16(2)};
    IconInfo.xHotspot = FHotspot.HotspotX;
    IconInfo.yHotspot = FHotspot.HotspotY;
    inherited::DecodeImage(Stream, IconInfo);
}

void TCustomCursorResourceItem::DecodeImageInfo(TStream& Stream)
{
    const QByteArray prefix = Stream.ReadBytes(4);
    if (prefix.size() < 4) throw EReadError(QString::fromLatin1(SPrematureEnd));
    const TBinaryReader reader(prefix);
    FHotspot = {reader.U16(0), reader.U16(2)};
    inherited::DecodeImageInfo(Stream);
}

std::unique_ptr<TIcon> ItemToIcon(TCustomResourceItem* Item, bool Icon)
{
    ATELIER_ASSERT(Item != nullptr);
    TMemoryStream data;
    Item->SaveToStream(data);
    QByteArray bytes = data.ToByteArray();
    QPoint hotspot;
    if (!Icon) {
        TBinaryReader reader(bytes);
        hotspot = QPoint(reader.U16(0, "cursor hot spot"), reader.U16(2, "cursor hot spot"));
        bytes.remove(0, 4);
    }
    auto icon = std::make_unique<TIcon>();
    icon->SetImage(DecodeIconImage(bytes), Icon, hotspot);
    return icon;
}

void koResourceItemIconCursor_Initialize()
{
    TIconGroupResourceItem::ClassInfo()->Register(-1);
    TIconGroupResourceItem::ClassInfo()->RegisterFileType(QStringLiteral("ico"), QStringLiteral("Icons"),
                                                           {fcLoad, fcSave}, 0);
    TIconResourceItem::ClassInfo()->Register(0);
    TCursorGroupResourceItem::ClassInfo()->Register(-1);
    TCursorGroupResourceItem::ClassInfo()->RegisterFileType(QStringLiteral("cur"), QStringLiteral("Cursors"),
                                                             {fcLoad, fcSave}, 0);
    TCursorResourceItem::ClassInfo()->Register(0);
    RegisterPropertyType(QMetaType::fromType<TIconCompression>(),
                         {QStringLiteral("TIconCompression"),
                          [](const QVariant& v) {
                              return QString::fromLatin1(v.value<TIconCompression>() == icPNG ? "icPNG" : "icBMP");
                          },
                          [](const QString& text) {
                              if (text == QLatin1String("icBMP")) return QVariant::fromValue(icBMP);
                              if (text == QLatin1String("icPNG")) return QVariant::fromValue(icPNG);
                              throw EConvertError(QStringLiteral("'%1' is not a valid compression").arg(text));
                          }});
}

void koResourceItemIconCursor_Finalize()
{
    TCursorResourceItem::ClassInfo()->Unregister();
    TCursorGroupResourceItem::ClassInfo()->Unregister();
    TIconResourceItem::ClassInfo()->Unregister();
    TIconGroupResourceItem::ClassInfo()->Unregister();
}
