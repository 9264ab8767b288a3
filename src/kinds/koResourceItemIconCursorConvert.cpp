// Conversions of icon and cursor images to and from pictures, the bitmap faces and the changes of
// size and colour depth.
#include "koResourceItemIconCursor.h"

#include "platform/Exceptions.h"

namespace {
[[noreturn]] void NotYet() { throw Exception(QStringLiteral("not built yet")); }
} // namespace

void TCustomIconCursorResourceItem::Assign(const TGraphic&) { NotYet(); }
void TCustomIconCursorResourceItem::AssignTo(TGraphic&) { NotYet(); }
void TCustomIconCursorResourceItem::EncodeIconHandle(TStream&, const TIcon&) { NotYet(); }
void TCustomIconCursorResourceItem::GetBitmaps(std::unique_ptr<TBitmap>&, std::unique_ptr<TBitmap>&,
                                               std::unique_ptr<TBitmap>&)
{
    NotYet();
}
void TCustomIconCursorResourceItem::SetBitmaps(const TBitmap&, const TBitmap*, const TBitmap*) { NotYet(); }
void TCustomIconCursorResourceItem::SetWidth(int) { NotYet(); }
void TCustomIconCursorResourceItem::SetHeight(int) { NotYet(); }
void TCustomIconCursorResourceItem::SetColorDepth(int) { NotYet(); }
