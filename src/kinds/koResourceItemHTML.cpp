#include "koResourceItemHTML.h"

#include "model/koResources.h"
#include "platform/Streams.h"
#include "platform/UpdateGuard.h"

THTMLResourceItem::THTMLResourceItem(const TResourceIdent& AResName)
    : TCustomResourceItemGeneric(TResourceIdent::FromOrdinal(RT_HTML), AResName)
{
}

bool THTMLResourceItem::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream*)
{
    return ResourceType == TResourceIdent::FromOrdinal(RT_HTML);
}

bool THTMLResourceItem::HandlesFile(const QString&, TStream* Data) { return Data && IsHTMLText(*Data, 1024); }

TResourceItemGlyphHandle THTMLResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgType) return LoadResourceGlyph(QStringLiteral("RES_HTML_TYPE"), QStringLiteral("html.type"));
    return LoadResourceGlyph(QStringLiteral("RES_HTML_ITEM"), QStringLiteral("html.item"));
}

void THTMLResourceItem::InitializeNewItem()
{
    TUpdateGuard batch(this);
    inherited::InitializeNewItem();
    static const QByteArray Template = QByteArrayLiteral(
        "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r"
        "<html><head><title></title></head><body></body></html>");
    Data()->Clear();
    Data()->WriteBuffer(Template.constData(), Template.size());
    Data()->SetPosition(0);
}

bool IsHTMLText(TStream& Stream, int Count)
{
    const int64_t start = Stream.Position();
    QByteArray bytes = Stream.ReadBytes(std::max(Count, 0));
    Stream.SetPosition(start);
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0) bytes.truncate(zero);
    const QByteArray lower = bytes.toLower();
    return lower.contains("<html") || lower.contains("content-type: text/html");
}

void koResourceItemHTML_Initialize()
{
    const auto* kind = THTMLResourceItem::ClassInfo();
    kind->Register(0);
    kind->RegisterFileType(QStringLiteral("html"), QStringLiteral("HTML documents"), {fcLoad, fcSave}, 0);
    kind->RegisterFileType(QStringLiteral("htm"), QStringLiteral("HTML documents"), {fcLoad, fcSave}, 0);
    kind->RegisterFileType(QStringLiteral("mht"), QStringLiteral("HTML archives"), {fcLoad, fcSave}, 0);
}

void koResourceItemHTML_Finalize() { THTMLResourceItem::ClassInfo()->Unregister(); }
