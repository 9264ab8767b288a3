#include "koResourceItemAccelerator.h"

#include "model/koResources.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "platform/BinaryReader.h"
#include "platform/Format.h"
#include "platform/Streams.h"
#include "platform/SysUtils.h"
#include "platform/UpdateGuard.h"

#include <algorithm>
#include <cstring>

namespace {
const char* const SAccelerator = "Accelerator";
const char* const SNone = "(None)";
const char* const SShift = "Shift+";
const char* const SCtrl = "Ctrl+";
const char* const SAlt = "Alt+";
const int EntrySize = 8;

// The entry flags and the bits of TAccelerator that stand for them.
const struct {
    uint16_t Flag;
    uint16_t Bit;
} FlagBits[] = {{FVIRTKEY, atVirtualKey}, {FSHIFT, atShift}, {FCONTROL, atCtrl}, {FALT, atAlt}};

// An ASCII key: a control character shows as Ctrl and its letter; the other modifiers go in front.
QString ASCIIKeyText(uint16_t c, bool shift, bool ctrl, bool alt)
{
    QString text = c < 32 ? QString::fromLatin1(SCtrl) + QChar(c + 64) : QString(QChar(c));
    if (shift) text.prepend(QString::fromLatin1(SShift));
    if (alt) text.prepend(QString::fromLatin1(SAlt));
    if (ctrl && c >= 32) text.prepend(QString::fromLatin1(SCtrl));
    return text;
}

bool StartsWithIgnoringCase(const QString& text, const char* prefix)
{
    return text.startsWith(QLatin1StringView(prefix), Qt::CaseInsensitive);
}
} // namespace

// Text forms

QString AcceleratorToText(TAccelerator Value)
{
    const uint16_t v = Value.Value;
    if (v & atVirtualKey)
        return (v & 0x0FFF) ? ShortCutToText(TShortCut(uint16_t(v & ~atVirtualKey))) : QString::fromLatin1(SNone);
    if (v == 0) return QString::fromLatin1(SNone);
    return ASCIIKeyText(v & 0xFF, v & atShift, v & atCtrl, v & atAlt);
}

QString AccelToText(const ACCEL& Accel)
{
    if (Accel.key == 0) return QString::fromLatin1(SNone);
    if (Accel.fVirt & FVIRTKEY) {
        uint16_t value = Accel.key;
        if (Accel.fVirt & FCONTROL) value += scCtrl;
        if (Accel.fVirt & FALT) value += scAlt;
        if (Accel.fVirt & FSHIFT) value += scShift;
        return ShortCutToText(TShortCut(value));
    }
    return ASCIIKeyText(Accel.key, Accel.fVirt & FSHIFT, Accel.fVirt & FCONTROL, Accel.fVirt & FALT);
}

void TextToAccelerator(const QString& Text, TAccelerator& Value)
{
    if (Text == QLatin1StringView(SNone))
        Value = 0;
    else if (Value.Value & atVirtualKey)
        Value = uint16_t(TextToShortCut(Text).Value | atVirtualKey);
    else
        Value = TextToASCIIAccelerator(Text);
}

TAccelerator TextToASCIIAccelerator(const QString& Text)
{
    uint16_t flags = 0;
    QString rest = Text;
    for (bool stripped = true; stripped;) {
        stripped = false;
        if (StartsWithIgnoringCase(rest, SShift)) {
            flags |= atShift;
            rest.remove(0, int(strlen(SShift)));
            stripped = true;
        } else if (StartsWithIgnoringCase(rest, "^")) {
            flags |= atCtrl;
            rest.remove(0, 1);
            stripped = true;
        } else if (StartsWithIgnoringCase(rest, SCtrl)) {
            flags |= atCtrl;
            rest.remove(0, int(strlen(SCtrl)));
            stripped = true;
        } else if (StartsWithIgnoringCase(rest, SAlt)) {
            flags |= atAlt;
            rest.remove(0, int(strlen(SAlt)));
            stripped = true;
        }
    }
    if (rest.isEmpty()) return 0;
    for (uint8_t code : {uint8_t(8), uint8_t(9), uint8_t(27), uint8_t(13), uint8_t(32)}) {
        if (rest.compare(KeyNameOf(code), Qt::CaseInsensitive) == 0) {
            if (code < 32) flags &= ~atCtrl;
            return uint16_t(flags | code);
        }
    }
    int32_t code;
    if (rest.size() >= 2 && rest.startsWith(QLatin1Char('#')))
        code = StrToInt(rest.mid(1));
    else
        code = rest.at(0).unicode();
    if (code < 1 || code > 255) return 0;
    return uint16_t(flags | code);
}

// TAcceleratorItem

TAcceleratorItem::TAcceleratorItem(TCustomResourceItemItems* ACollection)
    : TResourceItemItem<TAcceleratorResourceItem>(ACollection)
{
}

TAcceleratorItem::~TAcceleratorItem() = default;

TAcceleratorItem::TResourceAcceleratorIdentifier* TAcceleratorItem::Command() const
{
    if (!FCommand)
        FCommand = std::make_unique<TResourceAcceleratorIdentifier>(Collection()->ResourceItem(),
                                                                    const_cast<TAcceleratorItem*>(this));
    return FCommand.get();
}

void TAcceleratorItem::SetCommand(const TCustomResourceIdentifier* Value)
{
    TUpdateGuard batch(Collection());
    Command()->Assign(Value);
}

void TAcceleratorItem::SetShortcut(TAccelerator Value)
{
    if (Value.Value == FShortcut.Value) return;
    FShortcut = Value;
    Changed();
}

void TAcceleratorItem::SetAcceleratorType(TAcceleratorType Value)
{
    if (Value == AcceleratorType()) return;
    if (Value == atASCII)
        FShortcut = uint16_t(FShortcut.Value & 0x00FF);
    else
        FShortcut = uint16_t(FShortcut.Value | atVirtualKey);
    Changed();
}

QString TAcceleratorItem::DisplayName() const
{
    return Format(QStringLiteral("%s: %s"), {AcceleratorToText(FShortcut), Command()->ID()});
}

void TAcceleratorItem::AcceleratorToItem(const ACCEL& Accel)
{
    TUpdateGuard batch(Collection());
    Command()->SetOrdinalValue(Accel.cmd);
    uint16_t value = Accel.key;
    for (const auto& f : FlagBits)
        if (Accel.fVirt & f.Flag) value |= f.Bit;
    SetShortcut(value);
}

ACCEL TAcceleratorItem::ItemToAccelerator() const
{
    ACCEL accel;
    for (const auto& f : FlagBits)
        if (FShortcut.Value & f.Bit) accel.fVirt |= f.Flag;
    accel.key = uint16_t(FShortcut.Value & ((FShortcut.Value & atVirtualKey) ? 0x0FFF : 0x00FF));
    accel.cmd = Command()->OrdinalValue();
    return accel;
}

// TAcceleratorItems

TAcceleratorItem* TAcceleratorItems::Add(const ACCEL& Accel)
{
    TUpdateGuard batch(this);
    TAcceleratorItem* item = Add();
    item->AcceleratorToItem(Accel);
    return item;
}

void TAcceleratorItems::Notify(TCustomResourceItemItem* Item, TCollectionNotification Action)
{
    TResourceItemItems::Notify(Item, Action);
    if (Action != cnAdded) return;
    TCustomResourceModule* module = ResourceItem()->Module();
    if (!module || module->ModuleState().Contains(msLoading) || !module->UsesIdentifierCounters()) return;
    static_cast<TAcceleratorItem*>(Item)->Command()->SetOrdinalValue(
        static_cast<uint16_t>(module->GetNextResourceID(ricCommand, false)));
}

// TAcceleratorResourceItem

TAcceleratorResourceItem::TAcceleratorResourceItem(const TResourceIdent& AResName)
    : TResourceItem(TResourceIdent::FromOrdinal(RT_ACCELERATOR), AResName),
      FAccelerators(std::make_unique<TAcceleratorItems>(this))
{
}

TAcceleratorResourceItem::~TAcceleratorResourceItem()
{
    // The entries' identifiers let go of their symbols while the item is whole.
    LockUpdate();
    FAccelerators.reset();
}

bool TAcceleratorResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*)
{
    return ResourceType == TResourceIdent::FromOrdinal(RT_ACCELERATOR);
}

QString TAcceleratorResourceItem::ResourceTypeName() { return QString::fromLatin1(SAccelerator); }

TResourceItemGlyphHandle TAcceleratorResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgType) return LoadResourceGlyph(QStringLiteral("RES_ACCEL_TYPE"), QStringLiteral("accelerator.type"));
    return LoadResourceGlyph(QStringLiteral("RES_ACCEL_ITEM"), QStringLiteral("accelerator.item"));
}

void TAcceleratorResourceItem::Clear()
{
    TUpdateGuard batch(this);
    TResourceItem::Clear();
    FAccelerators->Clear();
}

void TAcceleratorResourceItem::InitializeNewItem()
{
    TUpdateGuard batch(this);
    TResourceItem::InitializeNewItem();
}

void TAcceleratorResourceItem::LoadFromStream(TStream& Stream, int64_t Size)
{
    TUpdateGuard batch(this);
    Clear();
    // Only whole entries count: a table cut in the middle of one keeps those before it.
    const QByteArray bytes = Stream.ReadBytes(std::max<int64_t>(Size, 0));
    const TBinaryReader data(bytes);
    TUpdateGuard entriesBatch(FAccelerators.get());
    for (int64_t offset = 0; data.Has(offset, EntrySize); offset += EntrySize) {
        ACCEL accel;
        accel.fVirt = data.U16(offset);
        accel.key = data.U16(offset + 2);
        accel.cmd = data.U16(offset + 4);
        FAccelerators->Add(accel);
        if (accel.fVirt & FLASTENTRY) break;
    }
}

void TAcceleratorResourceItem::SaveToStream(TStream& Stream)
{
    const int count = FAccelerators->Count();
    for (int i = 0; i < count; ++i) {
        ACCEL accel = FAccelerators->Items(i)->ItemToAccelerator();
        if (i == count - 1) accel.fVirt |= FLASTENTRY;
        Stream.WriteWord(accel.fVirt);
        Stream.WriteWord(accel.key);
        Stream.WriteWord(accel.cmd);
        Stream.WriteWord(0);
    }
}

void TAcceleratorResourceItem::AssignChildItemIdentifier(int ID, const QByteArray& Identifier)
{
    TResourceItem::AssignChildItemIdentifier(ID, Identifier);
    const QString name = QString::fromLatin1(Identifier);
    for (int i = 0; i < FAccelerators->Count(); ++i) {
        TAcceleratorItem* entry = FAccelerators->Items(i);
        if (entry->Command()->OrdinalValue() == ID) entry->Command()->SetIdentifier(name);
    }
}

void koResourceItemAccelerator_Initialize() { TAcceleratorResourceItem::ClassInfo()->Register(0); }

void koResourceItemAccelerator_Finalize() { TAcceleratorResourceItem::ClassInfo()->Unregister(); }
