#include "koResourceItemAnimatedIconCursor.h"

#include "platform/Exceptions.h"

namespace {
[[noreturn]] void NotYet() { throw Exception(QStringLiteral("not built yet")); }
} // namespace

TAnimatedIconSequenceStep::TAnimatedIconSequenceStep(TCustomResourceItemItems* ACollection)
    : TResourceItemItem<TCustomAnimatedIconCursorResourceItem>(ACollection)
{
}
void TAnimatedIconSequenceStep::SetFrameIndex(int Value) { FFrameIndex = Value; }
void TAnimatedIconSequenceStep::SetDisplayRate(int Value) { FDisplayRate = Value; }

TCustomAnimatedIconCursorResourceItem::TCustomAnimatedIconCursorResourceItem(uint16_t TypeID,
                                                                             const TResourceIdent& AResName)
    : TBasicGraphicResourceItem(TypeID, AResName), FSequence(std::make_unique<TAnimatedIconSequence>(this))
{
}
TCustomAnimatedIconCursorResourceItem::~TCustomAnimatedIconCursorResourceItem() = default;
bool TCustomAnimatedIconCursorResourceItem::HandlesFile(const QString&, TStream*) { return false; }
void TCustomAnimatedIconCursorResourceItem::SetDefaultDisplayRate(int Value)
{
    if (Value > 0) FDefaultDisplayRate = Value;
}
int TCustomAnimatedIconCursorResourceItem::FrameCount() const { return 0; }
TCustomIconCursorResourceItem* TCustomAnimatedIconCursorResourceItem::Frame(int) const { return nullptr; }
void TCustomAnimatedIconCursorResourceItem::Clear() {}
void TCustomAnimatedIconCursorResourceItem::InitializeNewItem() { NotYet(); }
void TCustomAnimatedIconCursorResourceItem::ChildNotification(TCustomResourceItem*, TResourceChildNotification) {}
void TCustomAnimatedIconCursorResourceItem::LoadFromStream(TStream&, int64_t) { NotYet(); }
void TCustomAnimatedIconCursorResourceItem::SaveToStream(TStream&) { NotYet(); }
void TCustomAnimatedIconCursorResourceItem::LoadFromFileStream(TStream&) { NotYet(); }
void TCustomAnimatedIconCursorResourceItem::AssignTo(TGraphic&) { NotYet(); }
void TCustomAnimatedIconCursorResourceItem::MoveFrame(int, int) { NotYet(); }
bool TCustomAnimatedIconCursorResourceItem::RatesVary() const { return false; }
bool TCustomAnimatedIconCursorResourceItem::CustomOrder() const { return false; }
void TCustomAnimatedIconCursorResourceItem::EnsureSteps(int, int) { NotYet(); }
int TCustomAnimatedIconCursorResourceItem::GetWidth() const { return 0; }
int TCustomAnimatedIconCursorResourceItem::GetHeight() const { return 0; }
int TCustomAnimatedIconCursorResourceItem::GetSize() const { return 0; }
QString TCustomAnimatedIconCursorResourceItem::GetDescription() const { return {}; }

TResourceItemClass TAnimatedIconResourceItemFrame::ParentClass()
{
    return TCustomAnimatedIconCursorResourceItem::ClassInfo();
}
void TAnimatedIconResourceItemFrame::DoSetModule(TCustomResourceModule* Value) { inherited::DoSetModule(Value); }
TResourceItemClass TAnimatedCursorResourceItemFrame::ParentClass()
{
    return TCustomAnimatedIconCursorResourceItem::ClassInfo();
}
void TAnimatedCursorResourceItemFrame::DoSetModule(TCustomResourceModule* Value) { inherited::DoSetModule(Value); }

TAnimatedIconResourceItem::TAnimatedIconResourceItem(const TResourceIdent& AResName)
    : TCustomAnimatedIconCursorResourceItem(RT_ANIICON, AResName)
{
}
bool TAnimatedIconResourceItem::Handles(const TResourceIdent&, const TResourceIdent&, TStream*) { return false; }
TResourceItemGlyphHandle TAnimatedIconResourceItem::GetGlyph(TResourceItemGlyph) { return -1; }
TCustomResourceItem* TAnimatedIconResourceItem::CreateChild() { NotYet(); }
TCustomIconCursorResourceItem* TAnimatedIconResourceItem::NewFrame(int) { NotYet(); }

TAnimatedCursorResourceItem::TAnimatedCursorResourceItem(const TResourceIdent& AResName)
    : TCustomAnimatedIconCursorResourceItem(RT_ANICURSOR, AResName)
{
}
bool TAnimatedCursorResourceItem::Handles(const TResourceIdent&, const TResourceIdent&, TStream*) { return false; }
TResourceItemGlyphHandle TAnimatedCursorResourceItem::GetGlyph(TResourceItemGlyph) { return -1; }
TCustomResourceItem* TAnimatedCursorResourceItem::CreateChild() { NotYet(); }
TCustomIconCursorResourceItem* TAnimatedCursorResourceItem::NewFrame(int) { NotYet(); }

void koResourceItemAnimatedIconCursor_Initialize() {}
void koResourceItemAnimatedIconCursor_Finalize() {}
