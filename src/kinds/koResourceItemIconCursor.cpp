#include "koResourceItemIconCursor.h"

#include "kinds/koIconEncoder.h"
#include "platform/BinaryReader.h"
#include "platform/Streams.h"

namespace {
[[noreturn]] void NotYet() { throw Exception(QStringLiteral("not built yet")); }
TColor GTransparentDisplayColor{0x00FFD2D2};
TColor GInverseDisplayColor{0x00D2FFD2};
} // namespace

TResourceDirectory TResourceDirectory::Read(TStream&) { NotYet(); }
void TResourceDirectory::Write(TStream&) const { NotYet(); }
TIconDirectoryEntry TIconDirectoryEntry::Read(TStream&) { NotYet(); }
void TIconDirectoryEntry::Write(TStream&) const { NotYet(); }
TIconDirectoryHeader TIconDirectoryHeader::Read(TStream&) { NotYet(); }
void TIconDirectoryHeader::Write(TStream&) const { NotYet(); }

TCustomIconCursorResourceItem::TCustomIconCursorResourceItem(uint16_t TypeID, const TResourceIdent& AResName)
    : TCustomGraphicResourceItem(TypeID, AResName)
{
}
TCustomIconCursorResourceItem::~TCustomIconCursorResourceItem() = default;
TColor TCustomIconCursorResourceItem::TransparentDisplayColor() { return GTransparentDisplayColor; }
void TCustomIconCursorResourceItem::SetTransparentDisplayColor(TColor Value) { GTransparentDisplayColor = Value; }
TColor TCustomIconCursorResourceItem::InverseDisplayColor() { return GInverseDisplayColor; }
void TCustomIconCursorResourceItem::SetInverseDisplayColor(TColor Value) { GInverseDisplayColor = Value; }
TIconCompression TCustomIconCursorResourceItem::Compression() const { return FCompression; }
void TCustomIconCursorResourceItem::SetCompression(TIconCompression) { NotYet(); }
QByteArray TCustomIconCursorResourceItem::ResourceData() const { NotYet(); }
void TCustomIconCursorResourceItem::Clear() {}
void TCustomIconCursorResourceItem::LoadFromStream(TStream&, int64_t) { NotYet(); }
void TCustomIconCursorResourceItem::SaveToStream(TStream&) { NotYet(); }
void TCustomIconCursorResourceItem::LoadFromFileStream(TStream&, int) { NotYet(); }
void TCustomIconCursorResourceItem::SaveToFileStream(TStream&) { NotYet(); }
void TCustomIconCursorResourceItem::InitializeNewItem() { NotYet(); }
void TCustomIconCursorResourceItem::ValidateID(const TResourceIdent&) {}
int TCustomIconCursorResourceItem::GetResourceDataSize() const { return 0; }
void TCustomIconCursorResourceItem::SetResourceDirectory(const TResourceDirectory&) {}
void TCustomIconCursorResourceItem::GetResourceDirectory(TResourceDirectory&) const {}
void TCustomIconCursorResourceItem::SetFileDirectory(const TIconDirectoryEntry&) {}
void TCustomIconCursorResourceItem::GetFileDirectory(TIconDirectoryEntry&) const {}
TResourceItemTransparencyMethod TCustomIconCursorResourceItem::GetTransparencyMethod() { return rtmMask; }
bool TCustomIconCursorResourceItem::GetUsesPalette() { return false; }
void TCustomIconCursorResourceItem::DecodeImage(TStream&, TIconInfo&) { NotYet(); }
void TCustomIconCursorResourceItem::DecodeImageInfo(TStream&) { NotYet(); }
int TCustomIconCursorResourceItem::GetWidth() const { return 0; }
int TCustomIconCursorResourceItem::GetHeight() const { return 0; }
TColorDepth TCustomIconCursorResourceItem::GetColorDepth() const { return 0; }
int TCustomIconCursorResourceItem::GetSize() const { return 0; }
QString TCustomIconCursorResourceItem::GetDescription() const { return {}; }
QString TCustomIconCursorResourceItem::GetFilename() const { return inherited::GetFilename(); }
void TCustomIconCursorResourceItem::DoSetFilename(const QString& Value) { inherited::DoSetFilename(Value); }
void TCustomIconCursorResourceItem::EnsureImageInfo() const {}
void TCustomIconCursorResourceItem::EnsureImage() const {}
bool TCustomIconCursorResourceItem::GetHasImage() const { return false; }
const QByteArray& TCustomIconCursorResourceItem::GetDataStream() const { NotYet(); }
void TCustomIconCursorResourceItem::EncodeImage(TStream&, const TIconInfo&, bool) const { NotYet(); }
void TCustomIconCursorResourceItem::SetBitmapColor(std::unique_ptr<TBitmap>) { NotYet(); }
void TCustomIconCursorResourceItem::SetBitmapMask(std::unique_ptr<TBitmap>) { NotYet(); }

TCustomIconResourceItem::TCustomIconResourceItem(const TResourceIdent& AResName)
    : TCustomIconCursorResourceItem(RT_ICON, AResName)
{
}
bool TCustomIconResourceItem::Handles(const TResourceIdent&, const TResourceIdent&, TStream*) { return false; }
bool TCustomIconResourceItem::HandlesFile(const QString&, TStream*) { return false; }
TResourceItemGlyphHandle TCustomIconResourceItem::GetGlyph(TResourceItemGlyph) { return -1; }
TResourceItemClass TCustomIconResourceItem::ParentClass() { return TIconGroupResourceItem::ClassInfo(); }
void TCustomIconResourceItem::SetResourceDirectory(const TResourceDirectory&) {}
void TCustomIconResourceItem::GetResourceDirectory(TResourceDirectory&) const {}
void TCustomIconResourceItem::SetFileDirectory(const TIconDirectoryEntry&) {}
void TCustomIconResourceItem::GetFileDirectory(TIconDirectoryEntry&) const {}

TCustomCursorResourceItem::TCustomCursorResourceItem(const TResourceIdent& AResName)
    : TCustomIconCursorResourceItem(RT_CURSOR, AResName)
{
}
bool TCustomCursorResourceItem::Handles(const TResourceIdent&, const TResourceIdent&, TStream*) { return false; }
bool TCustomCursorResourceItem::HandlesFile(const QString&, TStream*) { return false; }
TResourceItemGlyphHandle TCustomCursorResourceItem::GetGlyph(TResourceItemGlyph) { return -1; }
TResourceItemClass TCustomCursorResourceItem::ParentClass() { return TCursorGroupResourceItem::ClassInfo(); }
void TCustomCursorResourceItem::GetResourceDirectory(TResourceDirectory&) const {}
void TCustomCursorResourceItem::GetFileDirectory(TIconDirectoryEntry&) const {}
void TCustomCursorResourceItem::GetHotspot(QPoint&) {}
void TCustomCursorResourceItem::SetHotspot(const QPoint&) {}
bool TCustomCursorResourceItem::SupportsInverseMask() const { return false; }
TCursorHotspot TCustomCursorResourceItem::CurrentHotspot() const { return FHotspot; }
void TCustomCursorResourceItem::DecodeImage(TStream&, TIconInfo&) { NotYet(); }
void TCustomCursorResourceItem::DecodeImageInfo(TStream&) { NotYet(); }

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

void koResourceItemIconCursor_Initialize() {}

void koResourceItemIconCursor_Finalize() {}
