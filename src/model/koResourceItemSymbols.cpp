#include "koResourceItemSymbols.h"

#include "koResourcesKinds.h"
#include "koResourcesModule.h"
#include "koResourcesSymbols.h"

namespace {
const char* const SIdentifiers = "Identifiers";
}

TSymbolsResourceItem::TSymbolsResourceItem(const TResourceIdent& AResName) : TCustomResourceItem(uint16_t(0), AResName) {}

QString TSymbolsResourceItem::ResourceTypeName() { return QString::fromLatin1(SIdentifiers); }

TResourceSymbols* TSymbolsResourceItem::Symbols() const { return Module() ? Module()->Symbols() : nullptr; }

void koResourceItemSymbols_Initialize() { TSymbolsResourceItem::ClassInfo()->Register(0); }

void koResourceItemSymbols_Finalize() { TSymbolsResourceItem::ClassInfo()->Unregister(); }
