// The item that stands for a module's symbol table in the resource tree. It holds no resource data and
// is never written.
#pragma once

#include "koResourcesItem.h"
#include "koResourcesSymbols.h"

class TSymbolsResourceItem : public TCustomResourceItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TSymbolsResourceItem, TCustomResourceItem)
    Q_PROPERTY(TResourceSymbols* Symbols READ Symbols)

public:
    explicit TSymbolsResourceItem(const TResourceIdent& AResName = TResourceIdent());
    static QString ResourceTypeName();
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph)
    {
        return LoadResourceGlyph(QStringLiteral("RES_SYMBOLS_TYPE"), QStringLiteral("symbols.type"));
    }
    // The module's symbols; nullptr while the item belongs to no module.
    TResourceSymbols* Symbols() const;
    void LoadFromStream(TStream&, int64_t) override {}

protected:
    QString GetFriendlyName() const override { return ResourceTypeName(); }
    QString GetFriendlyTypeName() const override { return ResourceTypeName(); }
    bool GetInternal() const override { return true; }
};

void koResourceItemSymbols_Initialize();
void koResourceItemSymbols_Finalize();
