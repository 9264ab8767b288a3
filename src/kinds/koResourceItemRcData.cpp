#include "koResourceItemRcData.h"

#include "model/koResources.h"
#include "platform/Streams.h"
#include "platform/SysUtils.h"

#include <QImageReader>
#include <QStringList>

TRcDataResourceItem::TRcDataResourceItem(const TResourceIdent& AResName)
    : TResourceItemGenericPersistable(TResourceIdent::FromOrdinal(RT_RCDATA), AResName)
{
}

bool TRcDataResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*)
{
    return ResourceType == TResourceIdent::FromOrdinal(RT_RCDATA);
}

TResourceItemGlyphHandle TRcDataResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgType) return LoadResourceGlyph(QStringLiteral("RES_RCDATA_TYPE"), QStringLiteral("rcdata.type"));
    return inherited::GetGlyph(Kind);
}

void TRcDataResourceItem::DoSetItemType(const QString& Value)
{
    if (Value.compare(QLatin1String("RCDATA"), Qt::CaseInsensitive) == 0)
        SetResourceType(TResourceIdent::FromOrdinal(RT_RCDATA));
    else
        inherited::DoSetItemType(Value);
}

void TRcDataResourceItem::DoSetSize(int Value)
{
    if (Value < 0 || Value == Size()) return;
    Data()->SetSize(Value);
    TCustomResourceItem::DoSetSize(Value);
    Changed();
}

QString PictureFileFilter()
{
    QStringList all;
    QStringList pairs;
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        const QString ext = QString::fromLatin1(format).toLower();
        all << QStringLiteral("*.") + ext;
        pairs << QStringLiteral("%1 images (*.%2)|*.%2").arg(ext.toUpper(), ext);
    }
    QStringList result{QStringLiteral("All pictures (%1)").arg(all.join(QLatin1Char(';'))), all.join(QLatin1Char(';'))};
    return (result + pairs).join(QLatin1Char('|'));
}

namespace {
void RegisterPictureFileTypes(const QString& Filter)
{
    const QStringList parts = Filter.split(QLatin1Char('|'));
    // The first pair covers every format together.
    for (qsizetype i = 2; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        const qsizetype paren = description.indexOf(QLatin1Char('('));
        if (paren >= 0) description.truncate(paren);
        while (description.endsWith(QLatin1Char(' '))) description.chop(1);
        const QString masks = parts[i + 1];
        if (description.isEmpty() || masks.isEmpty()) continue;
        for (const QString& mask : masks.split(QLatin1Char(';'))) {
            const qsizetype dot = mask.indexOf(QLatin1Char('.'));
            if (dot < 0 || dot + 1 >= mask.size()) continue;
            TRcDataResourceItem::ClassInfo()->RegisterFileType(mask.mid(dot + 1), description, {fcLoad}, 1024);
        }
    }
}
} // namespace

void koResourceItemRcData_Initialize()
{
    TRcDataResourceItem::ClassInfo()->Register(1024);
    RegisterPictureFileTypes(PictureFileFilter());
}

void koResourceItemRcData_Finalize() { TRcDataResourceItem::ClassInfo()->Unregister(); }
