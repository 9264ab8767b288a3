#include "koResourceViewHtml.h"

#include "ReportListView.h"
#include "kinds/koResourceItemHTML.h"
#include "platform/CodePages.h"
#include "platform/GraphUtil.h"
#include "platform/Streams.h"

#include <QStringDecoder>
#include <QTextDocument>
#include <QVBoxLayout>
#include <cctype>
#include <optional>

namespace {
// The charset a <meta> element of the first 1024 bytes names: "charset=" and its token.
QByteArray MetaCharset(const QByteArray& Bytes)
{
    const QByteArray head = Bytes.left(1024).toLower();
    for (qsizetype at = head.indexOf("<meta"); at >= 0; at = head.indexOf("<meta", at + 5)) {
        const qsizetype close = head.indexOf('>', at);
        const QByteArray element = head.mid(at, close < 0 ? -1 : close - at);
        const qsizetype charset = element.indexOf("charset=");
        if (charset < 0) continue;
        qsizetype position = charset + 8;
        while (position < element.size() && (element.at(position) == '"' || element.at(position) == '\'')) ++position;
        qsizetype end = position;
        while (end < element.size() && (std::isalnum(static_cast<uint8_t>(element.at(end))) ||
                                        element.at(end) == '-' || element.at(end) == '_'))
            ++end;
        if (end > position) return element.mid(position, end - position);
    }
    return {};
}

// Text in a charset by name; nullopt when the name is not known.
std::optional<QString> DecodeCharset(const QByteArray& Bytes, const QByteArray& Charset)
{
    const QByteArray name = Charset.trimmed().toLower();
    if (name.isEmpty()) return std::nullopt;
    // The Windows code pages by number, which the converters of Qt do not all know.
    for (const char* prefix : {"windows-", "cp"}) {
        if (!name.startsWith(prefix)) continue;
        bool ok = false;
        const uint32_t codePage = name.mid(qstrlen(prefix)).toUInt(&ok);
        if (ok && IsValidCodePage(codePage)) return CodePageToUnicode(Bytes, codePage);
    }
    QStringDecoder decoder(name.constData(), QStringDecoder::Flag::Stateless);
    if (decoder.isValid()) return decoder.decode(Bytes);
    return std::nullopt;
}
} // namespace

QString DecodeHtmlBytes(const QByteArray& Bytes, const QByteArray& Charset)
{
    if (const std::optional<QString> text = DecodeCharset(Bytes, Charset)) return *text;
    // A byte-order mark decides before any <meta>; the decoder drops the mark.
    if (const std::optional<QStringConverter::Encoding> encoding = QStringConverter::encodingForData(Bytes))
        return QStringDecoder(*encoding).decode(Bytes);
    if (const std::optional<QString> text = DecodeCharset(Bytes, MetaCharset(Bytes))) return *text;
    return CodePageToUnicode(Bytes, CP_ACP);
}

// THtmlBrowser

THtmlBrowser::THtmlBrowser(QWidget* Parent) : QTextBrowser(Parent)
{
    // A preview: following a link would leave the resource for a page that cannot be loaded.
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setFrameShape(QFrame::NoFrame);
}

void THtmlBrowser::Clear()
{
    FArchive.reset();
    document()->setDefaultStyleSheet(QString());
    document()->clear();
    clearHistory();
}

void THtmlBrowser::ShowHtml(const QByteArray& Html)
{
    Clear();
    if (!Html.isEmpty()) setHtml(DecodeHtmlBytes(Html));
}

void THtmlBrowser::ShowArchive(TMhtArchive Archive)
{
    Clear();
    FArchive = std::move(Archive);
    const TMhtPart& root = FArchive->Parts[FArchive->Root];
    // Relative names of the page resolve against the page's own location.
    document()->setBaseUrl(QUrl(root.Location));
    const QString text = DecodeHtmlBytes(root.Body, root.Charset);
    // The archive's style sheets apply to its page: the document loads linked sheets only when the
    // link names its type, which saved pages often leave out.
    QString styleSheets;
    for (const TMhtPart& part : FArchive->Parts)
        if (part.MediaType == "text/css") styleSheets += DecodeHtmlBytes(part.Body, part.Charset) + QLatin1Char('\n');
    document()->setDefaultStyleSheet(styleSheets);
    if (root.MediaType == "text/html")
        setHtml(text);
    else
        setPlainText(text);
}

const TMhtPart* THtmlBrowser::FindPart(const QUrl& Name) const
{
    if (!FArchive) return nullptr;
    if (Name.scheme().compare(QLatin1String("cid"), Qt::CaseInsensitive) == 0) {
        const QString id = Name.path();
        for (const TMhtPart& part : FArchive->Parts)
            if (part.ContentId == id) return &part;
        return nullptr;
    }
    const QUrl base(FArchive->Parts[FArchive->Root].Location);
    const QUrl wanted = base.resolved(Name);
    for (const TMhtPart& part : FArchive->Parts) {
        if (part.Location.isEmpty()) continue;
        const QUrl location = base.resolved(QUrl(part.Location));
        if (location == wanted || part.Location == Name.toString()) return &part;
    }
    return nullptr;
}

QVariant THtmlBrowser::loadResource(int Type, const QUrl& Name)
{
    // Never the default, which reads local files.
    const TMhtPart* part = FindPart(Name);
    if (!part) return {};
    if (Type == QTextDocument::StyleSheetResource || Type == QTextDocument::HtmlResource)
        return DecodeHtmlBytes(part->Body, part->Charset);
    return part->Body;
}

// THtmlResourceItemView

THtmlResourceItemView::THtmlResourceItemView(QWidget* Parent) : TCustomResourceItemView(Parent)
{
    QVBoxLayout* layout = CreateErrorStripColumn(this, PanelError, ImageError, LabelError);
    // The light border around the page.
    QWidget* border = CreateColorPanel(this, cl3DLight(), 1);
    Browser = new THtmlBrowser(border);
    Browser->setObjectName(QStringLiteral("Browser"));
    border->layout()->addWidget(Browser);
    layout->addWidget(border, 1);
}

void THtmlResourceItemView::LoadView()
{
    Browser->Clear();
    PanelError->hide();
    TCustomResourceItem* item = ResourceItem();
    if (!item) return;
    TMemoryStream stream;
    item->SaveToStream(stream);
    const QByteArray data(reinterpret_cast<const char*>(stream.Memory()), stream.Size());
    if (data.isEmpty()) return;
    if (!IsWebArchive(data)) {
        Browser->ShowHtml(data);
        return;
    }
    try {
        Browser->ShowArchive(ReadMht(data));
    } catch (const EMhtError& error) {
        LabelError->setText(error.Message());
        PanelError->show();
    }
}

bool THtmlResourceItemViewFactory::Handles(const TResourceIdent&, const TResourceIdent&, TStream* Data)
{
    return Data && IsHTMLText(*Data, 1024);
}

IResourceItemViewPtr THtmlResourceItemViewFactory::CreateView() { return std::make_shared<THtmlResourceItemView>(); }

void koResourceViewHtml_Initialize() { THtmlResourceItemViewFactory::ClassInfo()->Register(0); }

void koResourceViewHtml_Finalize() { THtmlResourceItemViewFactory::ClassInfo()->Unregister(); }
