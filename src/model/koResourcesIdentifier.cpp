#include "koResourcesIdentifier.h"

#include "koResourcesItem.h"
#include "platform/SysUtils.h"
#include "platform/UpdateGuard.h"

TResourceIdent NormalizeResourceIdent(const TResourceIdent& value)
{
    return IsOrdinalResourceIdent(value) ? value : TResourceIdent(AnsiUpperCase(value));
}

TCustomResourceIdentifier::TCustomResourceIdentifier(TCustomResourceItem* AResourceItem)
    : FResourceItem(AResourceItem)
{
}

TCustomResourceIdentifier::~TCustomResourceIdentifier() = default;

QString TCustomResourceIdentifier::ID() const { return Value(); }

QString TCustomResourceIdentifier::Identifier() const { return {}; }

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
    SetValue(Source->Value());
}

QString TResourceIdentifierBase::GetValue() const { return ResourceIdentToText(IdentifierValue()); }

void TResourceIdentifierBase::DoSetValue(const QString& Text) { SetIdentifierValue(TextToResourceIdent(Text)); }

void TResourceIdentifierBase::DoSetIdentifierValue(const TResourceIdent& V)
{
    if (V == IdentifierValue()) return;
    TUpdateGuard batch(this);
    ValidateIdentifierValue(V);
    StoreIdentifierValue(V);
}

void TResourceIdentifier::DoSetIdentifierValue(const TResourceIdent& V)
{
    TResourceIdentifierBase::DoSetIdentifierValue(NormalizeResourceIdent(V));
}

void TResourceNameIdentifier::ValidateIdentifierValue(const TResourceIdent& V)
{
    if (FResourceItem) FResourceItem->ValidateID(V);
}
