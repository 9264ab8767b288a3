#include "koResourceItemToolbar.h"

#include "model/koResources.h"
#include "platform/BinaryReader.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "platform/UpdateGuard.h"

#include <algorithm>

namespace {
constexpr int HeaderSize = 8;
constexpr uint16_t ToolbarVersion = 1;
} // namespace

// TResourceToolbarItem

TResourceToolbarItem::TResourceToolbarItem(TCustomResourceItemItems* ACollection)
    : TResourceItemItem<TToolbarResourceItem>(ACollection)
{
}

TResourceToolbarItem::~TResourceToolbarItem() = default;

TResourceToolbarItem::TResourceToolbarIdentifier* TResourceToolbarItem::Command() const
{
    if (!FCommand)
        FCommand = std::make_unique<TResourceToolbarIdentifier>(Collection()->ResourceItem(),
                                                                const_cast<TResourceToolbarItem*>(this));
    return FCommand.get();
}

void TResourceToolbarItem::SetCommand(const TCustomResourceIdentifier* Value)
{
    TUpdateGuard batch(Collection());
    Command()->Assign(Value);
}

void TResourceToolbarItem::SetSeparator(bool Value)
{
    if (Value == Separator()) return;
    TUpdateGuard batch(Collection());
    Command()->SetOrdinalValue(Value ? 0 : 1);
}

QString TResourceToolbarItem::DisplayName() const { return Separator() ? QStringLiteral("-") : Command()->ID(); }

// TResourceToolbarItems

void TResourceToolbarItems::Notify(TCustomResourceItemItem* Item, TCollectionNotification Action)
{
    TResourceItemItems::Notify(Item, Action);
    if (Action != cnAdded || ResourceItem()->Loading()) return;
    auto* button = static_cast<TResourceToolbarItem*>(Item);
    uint16_t largest = 0;
    for (int i = 0; i < Count(); ++i)
        if (Items(i) != button) largest = std::max(largest, Items(i)->Command()->OrdinalValue());
    button->BeginUpdate();
    button->Command()->SetOrdinalValue(uint16_t(largest + 1));
    button->EndUpdate();
}

// TToolbarResourceItem

TToolbarResourceItem::TToolbarResourceItem(const TResourceIdent& AResName)
    : TCustomResourceItemGeneric(TResourceIdent::FromOrdinal(RT_TOOLBAR), AResName),
      FItems(std::make_unique<TResourceToolbarItems>(this))
{
}

TToolbarResourceItem::~TToolbarResourceItem()
{
    // The buttons' identifiers let go of their symbols while the item is whole.
    LockUpdate();
    FItems.reset();
}

bool TToolbarResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*)
{
    return ResourceType == TResourceIdent::FromOrdinal(RT_TOOLBAR);
}

TResourceItemGlyphHandle TToolbarResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgType) return LoadResourceGlyph(QStringLiteral("RES_TOOLBAR_TYPE"), QStringLiteral("toolbar.type"));
    return LoadResourceGlyph(QStringLiteral("RES_TOOLBAR_ITEM"), QStringLiteral("toolbar.item"));
}

void TToolbarResourceItem::SetWidth(int Value)
{
    if (Value == FWidth) return;
    TUpdateGuard batch(this);
    FWidth = Value;
}

void TToolbarResourceItem::SetHeight(int Value)
{
    if (Value == FHeight) return;
    TUpdateGuard batch(this);
    FHeight = Value;
}

void TToolbarResourceItem::Clear()
{
    TUpdateGuard batch(this);
    inherited::Clear();
    FItems->Clear();
}

void TToolbarResourceItem::InitializeNewItem()
{
    TUpdateGuard batch(this);
    inherited::InitializeNewItem();
    SetWidth(16);
    SetHeight(15);
    FItems->Add();
}

void TToolbarResourceItem::LoadFromStream(TStream& Stream, int64_t Size)
{
    const QByteArray bytes = Stream.ReadBytes(std::max<int64_t>(Size, 0));
    const TBinaryReader data(bytes);
    // Missing header bytes count as zero.
    auto header = [&](int64_t at) { return data.TryU16(at).value_or(0); };
    // Checked before anything changes, so a refused resource leaves the item as it was. Bad bytes are
    // no programming error: a plain error the readers log before they keep the resource raw.
    if (header(0) != ToolbarVersion)
        throw Exception(QStringLiteral("Assertion failure (koResourceItemToolbar, line %1)").arg(__LINE__));
    TUpdateGuard batch(this);
    SetWidth(header(2));
    SetHeight(header(4));
    const int64_t count = std::min<int64_t>(header(6), (data.Size() - HeaderSize) / 2);
    FLoading = true;
    try {
        TUpdateGuard buttons(FItems.get());
        for (int64_t i = 0; i < count; ++i) FItems->Add()->Command()->SetOrdinalValue(data.U16(HeaderSize + 2 * i));
    } catch (...) {
        FLoading = false;
        throw;
    }
    FLoading = false;
}

void TToolbarResourceItem::SaveToStream(TStream& Stream)
{
    Stream.WriteWord(ToolbarVersion);
    Stream.WriteWord(uint16_t(FWidth));
    Stream.WriteWord(uint16_t(FHeight));
    Stream.WriteWord(uint16_t(FItems->Count()));
    for (int i = 0; i < FItems->Count(); ++i) Stream.WriteWord(FItems->Items(i)->Command()->OrdinalValue());
}

void TToolbarResourceItem::AssignChildItemIdentifier(int ID, const QByteArray& Identifier)
{
    inherited::AssignChildItemIdentifier(ID, Identifier);
    const QString name = QString::fromLatin1(Identifier);
    for (int i = 0; i < FItems->Count(); ++i) {
        TResourceToolbarItem* button = FItems->Items(i);
        if (button->Command()->OrdinalValue() == ID) button->Command()->SetIdentifier(name);
    }
}

void koResourceItemToolbar_Initialize() { TToolbarResourceItem::ClassInfo()->Register(0); }

void koResourceItemToolbar_Finalize() { TToolbarResourceItem::ClassInfo()->Unregister(); }
