#include "koResourcesIdentifier.h"

#include "koResourcesItem.h"
#include "koResourcesModule.h"
#include "koResourcesSymbols.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/SysUtils.h"
#include "platform/UpdateGuard.h"

namespace {
const char* const SNotOrdinal = "%s must have ordinal (numeric) name";
}

TResourceIdent NormalizeResourceIdent(const TResourceIdent& value)
{
    return IsOrdinalResourceIdent(value) ? value : TResourceIdent(AnsiUpperCase(value));
}

TResourceSymbol* FindSymbolIgnoringCase(TCustomResourceItem* Item, const QString& Name)
{
    TCustomResourceModule* module = Item ? Item->Module() : nullptr;
    ATELIER_ASSERT(module != nullptr);
    TResourceSymbols* symbols = module->Symbols();
    for (int i = 0; i < symbols->Count(); ++i)
        if (SameText(symbols->Items(i)->Symbol(), Name)) return symbols->Items(i);
    return nullptr;
}

// TCustomResourceIdentifier

TCustomResourceIdentifier::TCustomResourceIdentifier(TCustomResourceItem* AResourceItem)
    : FResourceItem(AResourceItem)
{
}

TCustomResourceIdentifier::~TCustomResourceIdentifier() { ReleaseSymbol(); }

void TCustomResourceIdentifier::ReleaseSymbol()
{
    // Cleared first, so the symbol's goodbye finds nothing left to undo.
    TResourceSymbol* symbol = FSymbol;
    FSymbol = nullptr;
    if (symbol) symbol->References()->Remove(this);
}

QString TCustomResourceIdentifier::ID() const { return FSymbol ? FSymbol->Symbol() : Value(); }

void TCustomResourceIdentifier::SetID(const QString& Text)
{
    if (FindSymbolIgnoringCase(FResourceItem, Text))
        SetIdentifier(Text);
    else
        SetValue(Text);
}

QString TCustomResourceIdentifier::Identifier() const { return FSymbol ? FSymbol->Symbol() : QString(); }

void TCustomResourceIdentifier::SetIdentifier(const QString& Name)
{
    if (SameText(Name, Identifier())) return;
    TUpdateGuard batch(this);
    if (Name.isEmpty()) {
        SetSymbol(nullptr);
        return;
    }
    TResourceSymbol* symbol = FindSymbolIgnoringCase(FResourceItem, Name);
    if (!symbol) {
        TCustomResourceModule* module = FResourceItem->Module();
        symbol = module->Symbols()->Add(Name);
        symbol->SetLiteralValue(Value());
        symbol->SetSourceFile(module->SymbolFile()->PrimaryFile());
    }
    SetSymbol(symbol);
}

void TCustomResourceIdentifier::DoSetSymbol(TResourceSymbol* Value)
{
    if (Value == FSymbol) return;
    TUpdateGuard batch(this);
    TResourceSymbol* old = FSymbol;
    FSymbol = nullptr;
    if (Value) {
        try {
            SetValue(Value->ValueText());
        } catch (...) {
            FSymbol = old;
            throw;
        }
        FSymbol = Value;
        Value->References()->Add(this);
    }
    if (old) old->References()->Remove(this);
}

void TCustomResourceIdentifier::ResourceSymbolNotification(TResourceSymbol* Symbol, TResourceSymbolNotification Notification)
{
    if (!Symbol || Symbol != FSymbol) return;
    if (Notification == snUnsubscribe)
        SetSymbol(nullptr);
    else if (Notification == snChanged)
        SetValue(Symbol->ValueText());
}

void TCustomResourceIdentifier::RaiseNotOrdinal() const
{
    const QString type = FResourceItem ? FResourceItem->FriendlyTypeName() : QString();
    throw Exception(Format(QString::fromLatin1(SNotOrdinal), {type}));
}

void TCustomResourceIdentifier::BeginUpdate()
{
    if (FResourceItem) FResourceItem->BeginUpdate();
}

void TCustomResourceIdentifier::EndUpdate()
{
    if (FResourceItem) FResourceItem->EndUpdate();
}

void TCustomResourceIdentifier::Assign(const TCustomResourceIdentifier* Source)
{
    TUpdateGuard batch(this);
    if (Source->Symbol())
        SetIdentifier(Source->Identifier());
    else
        SetValue(Source->Value());
}

// Ordinal identifiers

void TCustomResourceOrdinalIdentifier::SetOrdinal(int32_t Value)
{
    if (Value == FOrdinalValue) return;
    TUpdateGuard batch(this);
    FOrdinalValue = Value;
    // A value taken from the bound symbol keeps the binding; any other releases it.
    if (FSymbol && !(FSymbol->IsNumeric() && FSymbol->Value().toInt() == Value)) SetSymbol(nullptr);
}

void TCustomResourceOrdinalIdentifier::DoSetValue(const QString& Text) { SetOrdinal(StrToInt(Text)); }

void TCustomResourceOrdinalIdentifier::ValidateValue(const QVariant& Value)
{
    if (Value.typeId() == QMetaType::Int) return;
    int32_t number;
    if (!TryStrToInt(Value.toString(), number)) RaiseNotOrdinal();
}

QString TCustomResourceOrdinalWordIdentifier::GetValue() const
{
    return GetOrdinal() == 65535 ? QStringLiteral("-1") : QString::number(static_cast<uint32_t>(GetOrdinal()));
}

QString TCustomResourceOrdinalDWordIdentifier::GetValue() const
{
    return GetOrdinal() == -1 ? QStringLiteral("-1") : QString::number(static_cast<uint32_t>(GetOrdinal()));
}

// Name identifiers

QString TResourceIdentifierBase::GetValue() const { return ResourceIdentToText(IdentifierValue()); }

void TResourceIdentifierBase::DoSetValue(const QString& Text) { SetIdentifierValue(TextToResourceIdent(Text)); }

void TResourceIdentifierBase::DoSetIdentifierValue(const TResourceIdent& V)
{
    if (V == IdentifierValue()) return;
    TUpdateGuard batch(this);
    ValidateIdentifierValue(V);
    if (FSymbol && V != NormalizeResourceIdent(TextToResourceIdent(FSymbol->ValueText()))) SetSymbol(nullptr);
    StoreIdentifierValue(V);
}

void TResourceIdentifier::DoSetIdentifierValue(const TResourceIdent& V)
{
    TResourceIdentifierBase::DoSetIdentifierValue(NormalizeResourceIdent(V));
}

void TResourceNameIdentifier::ValidateValue(const QVariant& Value)
{
    const QString text = Value.typeId() == QMetaType::Int ? QString::number(Value.toInt()) : Value.toString();
    ValidateIdentifierValue(NormalizeResourceIdent(TextToResourceIdent(text)));
}

void TResourceNameIdentifier::ValidateIdentifierValue(const TResourceIdent& V)
{
    if (FResourceItem) FResourceItem->ValidateID(V);
}

void TResourceOrdinalNameIdentifier::ValidateIdentifierValue(const TResourceIdent& V)
{
    if (!IsOrdinalResourceIdent(V)) RaiseNotOrdinal();
    TResourceNameIdentifier::ValidateIdentifierValue(V);
}
