#include "koResourceItemMenu.h"

#include "model/koResources.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesMessages.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/BinaryReader.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/PublishedProperties.h"
#include "platform/Streams.h"
#include "platform/UpdateGuard.h"

#include <QHash>
#include <QPointer>

#include <algorithm>

namespace {
const char* const SMalformedMenu = "Malformed menu resource";
const char* const SMenu = "Menu";
const char* const SNewItem = "New item";
const char* const SMoveIntoItself = "A menu item cannot be moved into its own sub-items";

// Flags of a standard template's entry.
const uint16_t MF_POPUP = 0x0010;
const uint16_t MF_END = 0x0080;
// Flags of an extended template's entry.
const uint16_t MenuExPopup = 0x0001;
const uint16_t MenuExEnd = 0x0080;
// Menus nest a few levels. A template nested deeper is damaged, and reading, writing or freeing its
// tree would take a stack frame per level.
const int MaxMenuDepth = 256;

const QChar Tab(9);
const QChar Backspace(8);
const QString SeparatorText = QStringLiteral("-");

[[noreturn]] void RaiseMalformed() { throw Exception(QString::fromLatin1(SMalformedMenu)); }

// A field cut off by the end of the data makes the template malformed: the reader never reads on.
uint16_t ReadWord(TBinaryReader& Data)
{
    if (Data.Remaining() < 2) RaiseMalformed();
    return Data.ReadU16();
}

uint32_t ReadDWord(TBinaryReader& Data)
{
    if (Data.Remaining() < 4) RaiseMalformed();
    return Data.ReadU32();
}

// A zero-terminated UTF-16 string of at most MaxChars code units, the zero included; a string that
// does not end within them or within the data stops there.
QString ReadMenuString(TBinaryReader& Data, int64_t MaxChars)
{
    QString text;
    for (int64_t i = 0; i < MaxChars && Data.Remaining() >= 2; ++i) {
        const uint16_t unit = Data.ReadU16();
        if (unit == 0) break;
        text.append(QChar(unit));
    }
    return text;
}

// A backspace stands where a TAB starts the shortcut text. A text that has its TAB keeps its
// backspaces: turning one more into a TAB on every read would change the text each time it is read.
QString BackspaceToTab(QString Text)
{
    const qsizetype at = Text.indexOf(Backspace);
    if (at >= 0 && !Text.contains(Tab)) Text[at] = Tab;
    return Text;
}

void WriteItems(TStream& Stream, TResourceMenuItems* Items)
{
    static const char Zeros[4] = {};
    for (int i = 0; i < Items->Count(); ++i) {
        TResourceMenuItem* item = Items->Items(i);
        const int64_t start = Stream.Position();
        const bool popup = item->HasSubItems();
        Stream.WriteDWord(item->MenuType());
        Stream.WriteDWord(item->State());
        Stream.WriteDWord(item->ID()->OrdinalValue());
        Stream.WriteWord(static_cast<uint16_t>((popup ? MenuExPopup : 0) | (i == Items->Count() - 1 ? MenuExEnd : 0)));
        // A separator's padding stands for its empty text. An entry that only reads "-" keeps its text,
        // which it would otherwise lose.
        if (!(item->MenuType() & MFT_SEPARATOR)) WriteWideString(Stream, item->Text(), true);
        const int64_t written = Stream.Position() - start;
        Stream.WriteBuffer(Zeros, (4 - written % 4) % 4);
        if (popup) {
            Stream.WriteDWord(item->HelpID()->OrdinalValue());
            WriteItems(Stream, item->Items());
        }
    }
}

// Depth first: an entry before its sub-entries, entries in order. Visit returns False to stop.
template <typename TVisit>
bool VisitItems(TResourceMenuItems* Items, const TVisit& Visit)
{
    for (int i = 0; i < Items->Count(); ++i) {
        TResourceMenuItem* item = Items->Items(i);
        if (!Visit(item)) return false;
        if (item->HasSubItems() && !VisitItems(item->Items(), Visit)) return false;
    }
    return true;
}

// The entries of a module's menus by ID (the first depth first), kept while the module loads: every
// menu binding its help IDs asks, and a search per question would make loading quadratic. Menus and
// their entries do not change while a module binds its symbols.
class TMenuLookup {
public:
    TResourceMenuItem* Entry(TMenuResourceItem* Menu, uint16_t ID)
    {
        TCustomResourceModule* module = Menu->Module();
        if (!module || !module->ModuleState().Contains(msLoading)) {
            TResourceMenuItem* found = nullptr;
            VisitItems(Menu->Items(), [&](TResourceMenuItem* item) {
                if (item->ID()->OrdinalValue() == ID) found = item;
                return found == nullptr;
            });
            FEntries.clear();
            return found;
        }
        // Every cached menu and entry is held weakly and checked, so a menu that went, or a new one at
        // its address, is never taken for what was cached.
        TMenuEntries& cached = FEntries[Menu];
        for (int pass = 0; pass < 2; ++pass) {
            if (pass > 0 || cached.Menu != Menu) {
                cached.Menu = Menu;
                cached.ByID.clear();
                VisitItems(Menu->Items(), [&](TResourceMenuItem* item) {
                    if (!cached.ByID.contains(item->ID()->OrdinalValue())) cached.ByID.insert(item->ID()->OrdinalValue(), item);
                    return true;
                });
            }
            const auto found = cached.ByID.constFind(ID);
            if (found == cached.ByID.cend()) return nullptr;
            TResourceMenuItem* entry = found->data();
            if (entry && entry->ResourceItem() == Menu && entry->ID()->OrdinalValue() == ID) return entry;
        }
        return nullptr;
    }

private:
    struct TMenuEntries {
        QPointer<TMenuResourceItem> Menu;
        QHash<uint16_t, QPointer<TResourceMenuItem>> ByID;
    };
    QHash<const TMenuResourceItem*, TMenuEntries> FEntries;
};

TMenuLookup& MenuLookup()
{
    thread_local TMenuLookup lookup;
    return lookup;
}

// A help ID read with the menu is tied to the help symbol it was generated as, when one can tell.
void BindHelpID(TMenuResourceItem* Menu, TResourceMenuItem* Item)
{
    Item->HelpID()->BindLoaded([Menu](uint16_t Hi, uint16_t Lo) -> TCustomResourceHelpIdentifier* {
        TCustomResourceModule* module = Menu->Module();
        auto* partner = module ? qobject_cast<TMenuResourceItem*>(module->Find(Menu->ResourceType(), TResourceIdent::FromOrdinal(Hi)))
                               : nullptr;
        TResourceMenuItem* other = partner ? MenuLookup().Entry(partner, Lo) : nullptr;
        return other ? other->HelpID() : nullptr;
    });
}
} // namespace

// TResourceMenuItem

TCustomResourceOrdinalIdentifier* TResourceMenuItem::TResourcemenuHelpIdentifier::GetItemIdentifier() const
{
    return FItem->ID();
}

TResourceMenuItem::TResourceMenuItem(TCustomResourceItemItems* ACollection)
    : TResourceItemItem<TMenuResourceItem>(ACollection),
      FID(std::make_unique<TResourceMenuIdentifier>(ACollection->ResourceItem(), this)),
      FHelpID(std::make_unique<TResourcemenuHelpIdentifier>(ACollection->ResourceItem(), this))
{
}

TResourceMenuItem::~TResourceMenuItem()
{
    // Sub-entries go first: their identifiers let go of their symbols while this entry is whole.
    FItems.reset();
}

TResourceMenuItems* TResourceMenuItem::Items() const
{
    if (!FItems) FItems = std::make_unique<TResourceMenuItems>(ResourceItem());
    return FItems.get();
}

bool TResourceMenuItem::HoldsCollection(const TCustomResourceItemItems* Value) const
{
    if (!FItems) return false;
    if (FItems.get() == Value) return true;
    for (int i = 0; i < FItems->Count(); ++i)
        if (FItems->Items(i)->HoldsCollection(Value)) return true;
    return false;
}

void TResourceMenuItem::SetCollection(TCustomResourceItemItems* Value)
{
    if (Value == Collection()) return;
    if (HoldsCollection(Value))
        throw EInvalidOperation(QString::fromLatin1(SMoveIntoItself));
    TCustomResourceItemItems* old = Collection();
    TUpdateGuard oldBatch(old);
    TUpdateGuard newBatch(Value);
    TResourceItemItem<TMenuResourceItem>::SetCollection(Value);
}

void TResourceMenuItem::SetID(const TCustomResourceIdentifier* Value)
{
    if (Value == FID.get()) return;
    TUpdateGuard batch(this);
    FID->Assign(Value);
}

void TResourceMenuItem::SetHelpID(const TCustomResourceIdentifier* Value)
{
    if (Value == FHelpID.get()) return;
    TUpdateGuard batch(this);
    FHelpID->Assign(Value);
}

void TResourceMenuItem::StoreText(const QString& Value)
{
    if (Value == FText) return;
    TUpdateGuard batch(this);
    FText = Value;
}

void TResourceMenuItem::SetText(const QString& Value)
{
    if (Value == FText) return;
    if (Value == SeparatorText) {
        SetSeparator(true);
        return;
    }
    StoreText(BackspaceToTab(Value));
}

QString TResourceMenuItem::Caption() const
{
    const qsizetype tab = FText.indexOf(Tab);
    return tab < 0 ? FText : FText.left(tab);
}

void TResourceMenuItem::SetCaption(const QString& Value)
{
    if (Value == Caption()) return;
    if (Value == SeparatorText) {
        SetSeparator(true);
        return;
    }
    const qsizetype tab = FText.indexOf(Tab);
    StoreText(tab < 0 ? Value : Value + FText.mid(tab));
}

TShortCut TResourceMenuItem::ShortCut() const
{
    const qsizetype tab = FText.indexOf(Tab);
    if (tab < 0 || tab == FText.size() - 1) return TShortCut();
    return TextToShortCut(FText.mid(tab + 1));
}

void TResourceMenuItem::SetShortCut(TShortCut Value)
{
    if (Value == ShortCut()) return;
    StoreText(Value == TShortCut() ? Caption() : Caption() + Tab + ShortCutToText(Value));
}

void TResourceMenuItem::SetMenuType(uint32_t Value)
{
    Value &= MenuTypeMask;
    if (Value == FMenuType) return;
    TUpdateGuard batch(this);
    FMenuType = Value;
}

void TResourceMenuItem::SetState(uint32_t Value)
{
    Value &= MenuStateMask;
    if (Value == FState) return;
    TUpdateGuard batch(this);
    FState = Value;
}

void TResourceMenuItem::SetEnabled(bool Value) { SetState(Value ? FState & ~MFS_GRAYED : FState | MFS_GRAYED); }

void TResourceMenuItem::SetChecked(bool Value) { SetState(Value ? FState | MFS_CHECKED : FState & ~MFS_CHECKED); }

void TResourceMenuItem::SetDefault(bool Value) { SetState(Value ? FState | MFS_DEFAULT : FState & ~MFS_DEFAULT); }

bool TResourceMenuItem::Separator() const { return (FMenuType & MFT_SEPARATOR) != 0 || FText == SeparatorText; }

void TResourceMenuItem::SetSeparator(bool Value)
{
    if (Value == ((FMenuType & MFT_SEPARATOR) != 0)) return;
    TUpdateGuard batch(this);
    if (Value) {
        SetMenuType(FMenuType | MFT_SEPARATOR);
        StoreText(SeparatorText);
        SetState(0);
    } else {
        SetMenuType(FMenuType & ~MFT_SEPARATOR);
    }
}

TMenuBreak TResourceMenuItem::Break() const
{
    if (FMenuType & MFT_MENUBREAK) return mbBreak;
    if (FMenuType & MFT_MENUBARBREAK) return mbBarBreak;
    return mbNone;
}

void TResourceMenuItem::SetBreak(TMenuBreak Value)
{
    const uint32_t rest = FMenuType & ~(MFT_MENUBREAK | MFT_MENUBARBREAK);
    switch (Value) {
    case mbBreak: SetMenuType(rest | MFT_MENUBREAK); break;
    case mbBarBreak: SetMenuType(rest | MFT_MENUBARBREAK); break;
    case mbNone: SetMenuType(rest); break;
    }
}

QString TResourceMenuItem::DisplayName() const { return Format(QStringLiteral("%s (%s)"), {Caption(), FID->ID()}); }

bool TResourceMenuItem::FilterProperty(const QString& Name)
{
    if (!ResourceItem()->Extended()) {
        if (Name == QLatin1String("HelpID")) return true;
        if (Name == QLatin1String("ID") && HasSubItems()) return true;
    }
    return TResourceItemItem<TMenuResourceItem>::FilterProperty(Name);
}

bool TResourceMenuItem::EnumerateItems(void* Context, const TEnumerateResourceItemsCallback& Callback)
{
    if (!TResourceItemItem<TMenuResourceItem>::EnumerateItems(Context, Callback)) return false;
    return !FItems || FItems->EnumerateItems(Context, Callback);
}

// TMenuResourceItem

TMenuResourceItem::TMenuResourceItem(const TResourceIdent& AResName)
    : TResourceItem(TResourceIdent::FromOrdinal(RT_MENU), AResName), FItems(std::make_unique<TResourceMenuItems>(this))
{
}

TMenuResourceItem::~TMenuResourceItem()
{
    // The entries' identifiers let go of their symbols while the item is whole.
    LockUpdate();
    FItems.reset();
}

bool TMenuResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*)
{
    return ResourceType == TResourceIdent::FromOrdinal(RT_MENU);
}

QString TMenuResourceItem::ResourceTypeName() { return QString::fromLatin1(SMenu); }

TResourceItemGlyphHandle TMenuResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    return Kind == rgType ? LoadResourceGlyph(QStringLiteral("RES_MENU_TYPE"), QStringLiteral("menu.type"))
                          : LoadResourceGlyph(QStringLiteral("RES_MENU_ITEM"), QStringLiteral("menu.item"));
}

void TMenuResourceItem::SetHelpID(uint32_t Value)
{
    if (Value == FHelpID) return;
    TUpdateGuard batch(this);
    FHelpID = Value;
}

void TMenuResourceItem::SetExtended(bool Value)
{
    if (Value == FExtended) return;
    TUpdateGuard batch(this);
    FExtended = Value;
}

void TMenuResourceItem::Clear()
{
    TUpdateGuard batch(this);
    TResourceItem::Clear();
    FItems->Clear();
    SetHelpID(0);
}

void TMenuResourceItem::InitializeNewItem()
{
    TUpdateGuard batch(this);
    TResourceItem::InitializeNewItem();
    FItems->Add()->SetCaption(QString::fromLatin1(SNewItem));
}

void TMenuResourceItem::ReadStandardItems(TBinaryReader& Data, TResourceMenuItems* Items, int Depth)
{
    if (Depth > MaxMenuDepth) RaiseMalformed();
    const int64_t start = Data.Offset();
    const int64_t limit = Data.Remaining();
    const auto count = [&] { return Data.Offset() - start; };
    while (count() < limit) {
        const uint16_t flags = ReadWord(Data);
        TResourceMenuItem* item = Items->Add();
        uint16_t id = 0;
        QString text;
        if (flags & MF_POPUP) {
            text = ReadMenuString(Data, (limit - count()) / 2);
            ReadStandardItems(Data, item->Items(), Depth + 1);
        } else {
            id = ReadWord(Data);
            text = ReadMenuString(Data, (limit - count()) / 2);
            if (text.isEmpty()) text = SeparatorText;
        }
        item->ID()->SetOrdinalValue(id);
        item->SetMenuType(flags & MenuTypeMask);
        item->SetState(flags & MenuStateMask);
        // An entry flagged as a separator reads "-" whatever its text, as in the extended template
        // it is saved as; any other entry takes its text through the separator rule of SetText.
        if (flags & MFT_SEPARATOR)
            item->StoreText(SeparatorText);
        else
            item->SetText(text);
        if (flags & MF_END) break;
    }
}

void TMenuResourceItem::ReadExtendedItems(TBinaryReader& Data, TResourceMenuItems* Items, int Depth)
{
    if (Depth > MaxMenuDepth) RaiseMalformed();
    const int64_t start = Data.Offset();
    const int64_t limit = Data.Remaining();
    const auto count = [&] { return Data.Offset() - start; };
    while (count() < limit) {
        const uint32_t type = ReadDWord(Data);
        const uint32_t state = ReadDWord(Data);
        const uint32_t id = ReadDWord(Data);
        const uint16_t flags = ReadWord(Data);
        QString text = ReadMenuString(Data, (limit - count()) / 2);
        if (type & MFT_SEPARATOR) text = SeparatorText;
        // Padding is counted from the first entry of the level; the last entry may go without it.
        Data.Seek(std::min(start + ((count() + 3) & ~int64_t(3)), Data.Size()));
        const uint32_t helpID = (flags & MenuExPopup) ? ReadDWord(Data) : 0;
        TResourceMenuItem* item = Items->Add();
        item->HelpID()->SetOrdinalValue(helpID);
        item->ID()->SetOrdinalValue(static_cast<uint16_t>(id));
        item->SetMenuType(type & MenuTypeMask);
        item->SetState(state & MenuStateMask);
        // Stored as read: a separator keeps its state.
        item->StoreText(BackspaceToTab(text));
        if (flags & MenuExPopup) ReadExtendedItems(Data, item->Items(), Depth + 1);
        if (flags & MenuExEnd) break;
    }
}

// Reads only the Size bytes of the template: whatever its counts and strings say, nothing past them.
void TMenuResourceItem::LoadFromStream(TStream& Stream, int64_t Size)
{
    TUpdateGuard batch(this);
    Clear();
    const QByteArray bytes = Stream.ReadBytes(std::max<int64_t>(Size, 0));
    TBinaryReader data(bytes);
    const uint16_t version = ReadWord(data);
    if (version == 0) {
        SetExtended(false);
        if (ReadWord(data) != 0) RaiseMalformed();
        ReadStandardItems(data, FItems.get(), 0);
    } else if (version == 1) {
        SetExtended(true);
        const uint16_t offset = ReadWord(data);
        if (offset < 4) RaiseMalformed();
        SetHelpID(ReadDWord(data));
        if (data.Remaining() < offset - 4) RaiseMalformed();
        data.Skip(offset - 4);
        ReadExtendedItems(data, FItems.get(), 0);
    } else {
        RaiseMalformed();
    }
}

void TMenuResourceItem::SaveToStream(TStream& Stream)
{
    Stream.WriteWord(1);
    Stream.WriteWord(4);
    Stream.WriteDWord(FHelpID);
    WriteItems(Stream, FItems.get());
}

void TMenuResourceItem::AfterLoad()
{
    TResourceItem::AfterLoad();
    VisitItems(FItems.get(), [this](TResourceMenuItem* item) {
        BindHelpID(this, item);
        return true;
    });
}

bool TMenuResourceItem::EnumerateItems(void* Context, const TEnumerateResourceItemsCallback& Callback)
{
    return TResourceItem::EnumerateItems(Context, Callback) && FItems->EnumerateItems(Context, Callback);
}

void TMenuResourceItem::AssignChildItemIdentifier(int ID, const QByteArray& Identifier)
{
    TResourceItem::AssignChildItemIdentifier(ID, Identifier);
    const QString name = QString::fromLatin1(Identifier);
    VisitItems(FItems.get(), [&](TResourceMenuItem* item) {
        const uint16_t value = item->ID()->OrdinalValue();
        if (int(value) == ID || (value == 0xFFFF && ID == -1)) item->ID()->SetIdentifier(name);
        return true;
    });
}

bool TMenuResourceItem::FilterProperty(const QString& Name)
{
    if (!FExtended && Name == QLatin1String("HelpID")) return true;
    return TResourceItem::FilterProperty(Name);
}

void koResourceItemMenu_Initialize()
{
    TMenuResourceItem::ClassInfo()->Register(0);
    RegisterPropertyType(QMetaType::fromType<TMenuBreak>(),
                         {QStringLiteral("TMenuBreak"),
                          [](const QVariant& v) -> QString {
                              switch (v.value<TMenuBreak>()) {
                              case mbBreak: return QStringLiteral("mbBreak");
                              case mbBarBreak: return QStringLiteral("mbBarBreak");
                              default: return QStringLiteral("mbNone");
                              }
                          },
                          [](const QString& text) {
                              if (text == QLatin1String("mbNone")) return QVariant::fromValue(mbNone);
                              if (text == QLatin1String("mbBreak")) return QVariant::fromValue(mbBreak);
                              if (text == QLatin1String("mbBarBreak")) return QVariant::fromValue(mbBarBreak);
                              throw EConvertError(QStringLiteral("'%1' is not a valid break").arg(text));
                          }});
}

void koResourceItemMenu_Finalize() { TMenuResourceItem::ClassInfo()->Unregister(); }
