#include "koResourceItemTypelib.h"

#include "model/koResources.h"
#include "platform/SysUtils.h"

namespace {
TResourceIdent TypeLibType() { return TResourceIdent(QStringLiteral("TYPELIB")); }
bool IsTypeLibData(TStream* Data) { return Data && MatchSignature(Data, QByteArrayLiteral("MSFT"), {}, 0); }
} // namespace

TTypeLibResourceItem::TTypeLibResourceItem(const TResourceIdent& AResName)
    : TResourceItemGenericPersistable(TypeLibType(), AResName)
{
}

bool TTypeLibResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream* Data)
{
    return ResourceType == TypeLibType() && IsTypeLibData(Data);
}

bool TTypeLibResourceItem::HandlesFile(const QString& Filename, TStream* Data)
{
    return ExtractFileExt(Filename).compare(QLatin1String(".tlb"), Qt::CaseInsensitive) == 0 && IsTypeLibData(Data);
}

TResourceItemGlyphHandle TTypeLibResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgType) return LoadResourceGlyph(QStringLiteral("RES_TYPELIB_TYPE"), QStringLiteral("typelib.type"));
    return inherited::GetGlyph(Kind);
}

void koResourceItemTypelib_Initialize()
{
    TTypeLibResourceItem::ClassInfo()->Register(0);
    TTypeLibResourceItem::ClassInfo()->RegisterFileType(QStringLiteral("tlb"), QStringLiteral("COM Type Library"), {fcLoad, fcSave}, 0);
}

void koResourceItemTypelib_Finalize() { TTypeLibResourceItem::ClassInfo()->Unregister(); }
