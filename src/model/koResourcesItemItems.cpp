#include "koResourcesItemItems.h"

#include "koResourcesMessages.h"
#include "koResourcesModule.h"
#include "koResourcesSymbols.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/SysUtils.h"
#include "platform/UpdateGuard.h"

#include <algorithm>

// TCustomResourceItemItem

int TCustomResourceItemItem::Index() const { return FCollection ? FCollection->IndexOf(this) : -1; }

void TCustomResourceItemItem::BeginUpdate() { FCollection->BeginUpdate(); }

void TCustomResourceItemItem::EndUpdate() { FCollection->EndUpdate(); }

void TCustomResourceItemItem::Changed()
{
    if (FCollection && FCollection->UpdateCount() == 0) FCollection->Update(this);
}

void TCustomResourceItemItem::SetCollection(TCustomResourceItemItems* Value)
{
    if (Value == FCollection) return;
    // The element's identifiers belong to the item: it cannot leave it.
    ATELIER_ASSERT(Value && FCollection && Value->ResourceItem() == FCollection->ResourceItem());
    TCustomResourceItemItems* old = FCollection;
    const int index = old->IndexOf(this);
    ATELIER_ASSERT(index >= 0);
    // Closing the batches reports both collections changed.
    TUpdateGuard oldBatch(old);
    TUpdateGuard newBatch(Value);
    old->Notify(this, cnExtracting);
    std::unique_ptr<TCustomResourceItemItem> element = std::move(old->FItems[static_cast<size_t>(index)]);
    old->FItems.erase(old->FItems.begin() + index);
    Value->FItems.push_back(std::move(element));
    FCollection = Value;
    Value->Notify(this, cnAdded);
}

// TCustomResourceItemItems

TCustomResourceItemItems::~TCustomResourceItemItems() = default;

TCustomResourceItemItem* TCustomResourceItemItems::Item(int Index) const
{
    if (Index < 0 || Index >= Count()) throw EListError(Format("List index out of bounds (%d)", {Index}));
    return FItems[static_cast<size_t>(Index)].get();
}

int TCustomResourceItemItems::IndexOf(const TCustomResourceItemItem* Item) const
{
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == Item) return static_cast<int>(i);
    return -1;
}

TCustomResourceItemItem* TCustomResourceItemItems::InsertItem(int Index)
{
    TUpdateGuard batch(this);
    if (Index < 0 || Index > Count()) throw EListError(Format("List index out of bounds (%d)", {Index}));
    std::unique_ptr<TCustomResourceItemItem> element = CreateElement();
    TCustomResourceItemItem* result = element.get();
    FItems.insert(FItems.begin() + Index, std::move(element));
    Notify(result, cnAdded);
    return result;
}

void TCustomResourceItemItems::Delete(int Index)
{
    TUpdateGuard batch(this);
    Notify(Item(Index), cnDeleting);
    // The element leaves the list before it is destroyed, so it is never seen half gone.
    std::unique_ptr<TCustomResourceItemItem> element = std::move(FItems[static_cast<size_t>(Index)]);
    FItems.erase(FItems.begin() + Index);
}

void TCustomResourceItemItems::Move(int OldIndex, int NewIndex)
{
    if (OldIndex == NewIndex) return;
    TUpdateGuard batch(this);
    Item(OldIndex);
    Item(NewIndex);
    std::unique_ptr<TCustomResourceItemItem> element = std::move(FItems[static_cast<size_t>(OldIndex)]);
    FItems.erase(FItems.begin() + OldIndex);
    FItems.insert(FItems.begin() + NewIndex, std::move(element));
}

void TCustomResourceItemItems::Clear()
{
    if (FItems.empty()) return;
    TUpdateGuard batch(this);
    while (!FItems.empty()) Delete(Count() - 1);
}

void TCustomResourceItemItems::BeginUpdate()
{
    if (FResourceItem) FResourceItem->BeginUpdate();
    ++FUpdateCount;
}

void TCustomResourceItemItems::EndUpdate()
{
    ATELIER_ASSERT(FUpdateCount > 0);
    TFinally itemBatch([this] {
        if (FResourceItem) FResourceItem->EndUpdate();
    });
    if (--FUpdateCount == 0) Changed();
}

void TCustomResourceItemItems::Changed()
{
    if (FUpdateCount == 0) Update(nullptr);
}

void TCustomResourceItemItems::Update(TCustomResourceItemItem*)
{
    if (FResourceItem) FResourceItem->Changed();
}

bool TCustomResourceItemItems::EnumerateItems(void* Context, const TEnumerateResourceItemsCallback& Callback)
{
    if (!Callback) return false;
    bool Continue = true;
    for (int i = 0; Continue && i < Count(); ++i) {
        TCustomResourceItemItem* element = Item(i);
        Callback(FResourceItem, element, Context, Continue);
        if (Continue) Continue = element->EnumerateItems(Context, Callback);
    }
    return Continue;
}

// TCustomResourceHelpIdentifier

uint32_t TCustomResourceHelpIdentifier::GeneratedID() const
{
    const uint32_t id = static_cast<uint32_t>(GetItemIdentifier()->GetOrdinal()) & 0xFFFF;
    const uint32_t name = FResourceItem->NameInteger();
    return ((name << 16) + 0x80000000u) | id;
}

namespace {
const char* const SHelpIDNotResolved =
    "Failed to resolve help ID of dialog control %s.%s (%s.%s). HelpID: 0x%.8X (%u.%u)";

// Help symbols hold numbers; one that holds an expression is compared as the text it is.
bool HelpSymbolHolds(const TResourceSymbol* Symbol, const TCustomResourceHelpIdentifier* Help)
{
    if (Symbol->IsNumeric()) return static_cast<uint32_t>(Symbol->Value().toInt()) == Help->OrdinalValue();
    return Symbol->Value().toString() == Help->Value();
}
} // namespace

void TCustomResourceHelpIdentifier::BindLoaded(const TFindHelpPartner& FindPartner)
{
    const uint32_t helpID = OrdinalValue();
    if (helpID == 0 || helpID == 0xFFFFFFFFu || !FResourceItem->NameIsInteger()) return;
    if (helpID == GeneratedID()) {
        SetGenerate(true);
        return;
    }
    TCustomResourceOrdinalIdentifier* id = GetItemIdentifier();
    const uint32_t hi = (helpID - 0x80000000u) >> 16;
    const uint32_t lo = helpID & 0xFFFF;
    TCustomResourceModule* module = FResourceItem->Module();
    if (TResourceSymbol* symbol = id->Symbol(); symbol && module) {
        // A help file symbol "H<name>" holding this help ID was generated for this element.
        if (TResourceSymbolFile* help = module->SymbolFile() ? module->SymbolFile()->HelpFile() : nullptr)
            if (const TResourceSymbol* helpSymbol = help->Symbols()->Find(QStringLiteral("H") + symbol->Symbol());
                helpSymbol && HelpSymbolHolds(helpSymbol, this))
                SetGenerate(true);
        // The help ID generated for the element of the same symbol in another item (a copied element).
        if (!Generate() && lo == (static_cast<uint32_t>(id->GetOrdinal()) & 0xFFFF))
            if (TCustomResourceHelpIdentifier* other = FindPartner(static_cast<uint16_t>(hi), static_cast<uint16_t>(lo));
                other && other->OrdinalValue() == helpID && other->GetItemIdentifier()->Symbol() &&
                other->GetItemIdentifier()->Symbol()->Symbol() == symbol->Symbol()) {
                // The other element first: the help symbol is made with its generated value, which is the
                // value both were read with.
                other->SetGenerate(true);
                SetGenerate(true);
            }
    }
    if (!Generate() && hi != 0 && lo != 0)
        LogMessage(Format(QString::fromLatin1(SHelpIDNotResolved),
                          {FResourceItem->ID()->ID(), id->ID(), FResourceItem->ID()->Value(), id->Value(), helpID, hi, lo}),
                   rmWarning, FResourceItem);
}

QString TCustomResourceHelpIdentifier::HelpSymbolName() const
{
    return QStringLiteral("H") + GetItemIdentifier()->ID();
}

void TCustomResourceHelpIdentifier::SetGenerate(bool Value)
{
    if (Value == FGenerate) return;
    TUpdateGuard batch(this);
    FGenerate = Value;
    if (!Value) return;
    try {
        GenerateSymbol();
    } catch (...) {
        // A generation that fails leaves the flag off.
        FGenerate = false;
        throw;
    }
}

void TCustomResourceHelpIdentifier::GenerateSymbol()
{
    const QString name = HelpSymbolName();
    TCustomResourceModule* module = FResourceItem->Module();
    ATELIER_ASSERT(module != nullptr);
    TResourceScriptSymbolFile* script = module->SymbolFile();
    TResourceSymbol* symbol = module->Symbols()->Find(name);
    if (symbol) {
        TResourceSymbolFile* source = symbol->SourceFile();
        if (!script->HelpFile() && source && source->ParentFile() == script) script->SetHelpFile(source);
    } else {
        // Computed first: an item with a named name cannot have one, and then no symbol is left behind.
        const uint32_t generated = GeneratedID();
        TResourceSymbolFile* help = script->HelpFile();
        if (!help) {
            QString base = module->Filename();
            if (base.isEmpty()) base = script->Filename();
            if (base.isEmpty()) base = script->PrimaryFile()->Filename();
            if (base.isEmpty()) base = QStringLiteral("include");
            const QString fileName = ChangeFileExt(ExtractFileName(base), QStringLiteral(".hm"));
            help = script->Files()->Find(fileName, false);
            if (!help) help = script->Files()->Add(fileName, true, false);
            script->SetHelpFile(help);
        }
        symbol = module->Symbols()->Add(name);
        symbol->SetSourceFile(help);
        symbol->SetLiteralValue(Format("0x%.8X", {generated}));
    }
    SetSymbol(symbol);
}

void TCustomResourceHelpIdentifier::DoSetSymbol(TResourceSymbol* Value)
{
    if (FGenerate && (!Value || Value->Symbol() != HelpSymbolName())) FGenerate = false;
    TCustomResourceOrdinalDWordIdentifier::DoSetSymbol(Value);
}
