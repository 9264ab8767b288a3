// Icon and cursor groups: the group resources that list the images, and the .ico and .cur files.
#include "koResourceItemIconCursor.h"

#include "platform/Exceptions.h"

namespace {
[[noreturn]] void NotYet() { throw Exception(QStringLiteral("not built yet")); }
} // namespace

TCustomIconCursorGroupResourceItem::TCustomIconCursorGroupResourceItem(uint16_t TypeID, const TResourceIdent& AResName)
    : TResourceItem(TypeID, AResName)
{
}
TCustomIconCursorGroupResourceItem::~TCustomIconCursorGroupResourceItem() = default;
void TCustomIconCursorGroupResourceItem::AssignFromItem(TCustomResourceItem*) { NotYet(); }
void TCustomIconCursorGroupResourceItem::LoadFromStream(TStream&, int64_t) { NotYet(); }
void TCustomIconCursorGroupResourceItem::AfterLoad() { inherited::AfterLoad(); }
void TCustomIconCursorGroupResourceItem::SaveToStream(TStream&) { NotYet(); }
void TCustomIconCursorGroupResourceItem::LoadFromFileStream(TStream&) { NotYet(); }
void TCustomIconCursorGroupResourceItem::SaveToFileStream(TStream&) { NotYet(); }
int TCustomIconCursorGroupResourceItem::GetSize() const { return 6 + 14 * (HasItems() ? const_cast<TCustomIconCursorGroupResourceItem*>(this)->Items()->Count() : 0); }

TIconGroupResourceItem::TIconGroupResourceItem(const TResourceIdent& AResName)
    : TCustomIconCursorGroupResourceItem(RT_GROUP_ICON, AResName)
{
}
bool TIconGroupResourceItem::Handles(const TResourceIdent&, const TResourceIdent&, TStream*) { return false; }
bool TIconGroupResourceItem::HandlesFile(const QString&, TStream*) { return false; }
TResourceItemGlyphHandle TIconGroupResourceItem::GetGlyph(TResourceItemGlyph) { return -1; }
TCustomResourceItem* TIconGroupResourceItem::CreateChild() { NotYet(); }

TCursorGroupResourceItem::TCursorGroupResourceItem(const TResourceIdent& AResName)
    : TCustomIconCursorGroupResourceItem(RT_GROUP_CURSOR, AResName)
{
}
bool TCursorGroupResourceItem::Handles(const TResourceIdent&, const TResourceIdent&, TStream*) { return false; }
bool TCursorGroupResourceItem::HandlesFile(const QString&, TStream*) { return false; }
TResourceItemGlyphHandle TCursorGroupResourceItem::GetGlyph(TResourceItemGlyph) { return -1; }
TCustomResourceItem* TCursorGroupResourceItem::CreateChild() { NotYet(); }
