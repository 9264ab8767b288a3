#include "koResourceViewHtml.h"

#include "ReportListView.h"
#include "kinds/koResourceItemHTML.h"
#include "platform/CodePages.h"
#include "platform/GraphUtil.h"
#include "platform/Streams.h"

#include <QStringDecoder>
#include <QStyle>
#include <QTextDocument>
#include <QVBoxLayout>

QString DecodeHtmlBytes(const QByteArray& Bytes, const QByteArray& Charset)
{
    if (!Charset.isEmpty()) {
        const QByteArray name = Charset.trimmed().toLower();
        // The Windows code pages by number, which the converters of Qt do not all know.
        for (const char* prefix : {"windows-", "cp"}) {
            if (!name.startsWith(prefix)) continue;
            bool ok = false;
            const uint32_t codePage = name.mid(qstrlen(prefix)).toUInt(&ok);
            if (ok && IsValidCodePage(codePage)) return CodePageToUnicode(Bytes, codePage);
        }
        QStringDecoder decoder(name.constData());
        if (decoder.isValid()) return decoder.decode(Bytes);
    }
    QStringDecoder decoder = QStringDecoder::decoderForHtml(Bytes);
    if (decoder.isValid()) return decoder.decode(Bytes);
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
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const TViewErrorStrip strip =
        CreateViewErrorStrip(this, style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(22, 22), QString());
    PanelError = strip.Panel;
    ImageError = strip.Image;
    LabelError = strip.Label;
    layout->addWidget(PanelError);
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
