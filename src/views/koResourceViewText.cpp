#include "koResourceViewText.h"

#include "ReportListView.h"
#include "RtfReader.h"
#include "kinds/koResourceItemString.h"
#include "model/koResources.h"
#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/GraphUtil.h"
#include "platform/Streams.h"

#include <QTextEdit>
#include <QVBoxLayout>

namespace {
const char* const SUnsupportedTextEncoding = "Unsupported text encoding";

QString Str(const char* Text) { return QString::fromUtf8(Text); }

TByteSet LineEnds() { return TByteSet().Include(10).Include(13); }
} // namespace

TTextEncoding DetectTextEncoding(TStream& Stream)
{
    Stream.SetPosition(0);
    if (Stream.Size() == 0) return teASCII;
    if (IsASCIIText(Stream)) return teASCII;
    if (IsUTF8Text(Stream)) return teUTF8;
    if (IsUnicodeText(Stream, LineEnds())) return teUnicode;
    if (IsANSIText(Stream)) return teAnsi;
    return teUnknown;
}

QString DecodeTextBytes(const QByteArray& Bytes, TTextEncoding Encoding)
{
    switch (Encoding) {
    case teASCII: {
        QString text(Bytes.size(), Qt::Uninitialized);
        QChar* out = text.data();
        for (const char byte : Bytes) *out++ = QLatin1Char(static_cast<uint8_t>(byte) > 0x7F ? '?' : byte);
        return text;
    }
    case teUnicode:
        return CodePageToUnicode(Bytes.startsWith("\xFF\xFE") ? Bytes.mid(2) : Bytes, CP_UTF16);
    case teUTF8:
        return QString::fromUtf8(Bytes.startsWith("\xEF\xBB\xBF") ? Bytes.mid(3) : Bytes);
    case teAnsi:
        return CodePageToUnicode(Bytes, CP_ACP);
    case teUnknown:
        break;
    }
    throw Exception(Str(SUnsupportedTextEncoding));
}

QFont TextViewFont(const QString& Family, int PointSize, QFont::StyleHint Hint)
{
    // Without the family, font matching takes the system's font of the hinted kind.
    QFont font(Family, PointSize);
    font.setStyleHint(Hint);
    return font;
}

// TCustomTextResourceItemView

TCustomTextResourceItemView::TCustomTextResourceItemView(QWidget* Parent) : TCustomResourceItemView(Parent)
{
    QVBoxLayout* layout = CreateErrorStripColumn(this, PanelError, ImageError, LabelError);

    auto* margins = new QVBoxLayout;
    margins->setContentsMargins(2, 2, 2, 2);
    Panel2 = CreateColorPanel(this, clWindow(), 4);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    // The 1-pixel frame around the text.
    Panel1 = CreateColorPanel(Panel2, cl3DLight(), 1);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel2->layout()->addWidget(Panel1);
    EditText = new QTextEdit(Panel1);
    EditText->setObjectName(QStringLiteral("EditText"));
    EditText->setFrameShape(QFrame::NoFrame);
    EditText->setReadOnly(true);
    EditText->setTabChangesFocus(true);
    EditText->setAcceptRichText(false);
    EditText->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    EditText->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    EditText->setFont(TextViewFont(QStringLiteral("Tahoma"), 8, QFont::SansSerif));
    Panel1->layout()->addWidget(EditText);
    margins->addWidget(Panel2);
    layout->addLayout(margins, 1);
}

void TCustomTextResourceItemView::ResourceItemNotification(TCustomResourceItem* Item,
                                                           TResourceItemNotification Notification)
{
    try {
        TCustomResourceItemView::ResourceItemNotification(Item, Notification);
    } catch (const EAssertionFailed&) {
        throw;
    } catch (const Exception& error) {
        ShowError(error.Message());
    }
}

void TCustomTextResourceItemView::ShowError(const QString& Message)
{
    EditText->clear();
    LabelError->setText(Message);
    PanelError->show();
}

void TCustomTextResourceItemView::LoadView()
{
    PanelError->hide();
    TCustomResourceItem* item = ResourceItem();
    if (!item) return;
    TMemoryStream data;
    item->SaveToStream(data);
    data.SetPosition(0);
    QString text;
    try {
        DecodeText(data, text);
    } catch (const Exception&) {
        EditText->clear();
        throw;
    }
    ShowText(text);
}

void TCustomTextResourceItemView::ShowText(const QString& Text)
{
    EditText->setLineWrapMode(QTextEdit::NoWrap);
    EditText->setPlainText(Text);
}

// TTextResourceItemView

QString TTextResourceItemView::GetCaption()
{
    if (!ResourceItem()) return QStringLiteral("Text");
    switch (FEncoding) {
    case teASCII: return QStringLiteral("ASCII text");
    case teAnsi: return QStringLiteral("Ansi text");
    case teUnicode: return QStringLiteral("Unicode text");
    case teUTF8: return QStringLiteral("UTF8 text");
    case teUnknown: break;
    }
    return QStringLiteral("unknown text type");
}

void TTextResourceItemView::DecodeText(TStream& Stream, QString& Text)
{
    FEncoding = DetectTextEncoding(Stream);
    Stream.SetPosition(0);
    Text = DecodeTextBytes(Stream.ReadBytes(Stream.Size()), FEncoding);
}

// TRichTextResourceItemView

void TRichTextResourceItemView::DecodeText(TStream& Stream, QString& Text)
{
    Stream.SetPosition(0);
    Text = DecodeTextBytes(Stream.ReadBytes(Stream.Size()), teASCII);
}

void TRichTextResourceItemView::ShowText(const QString& Text)
{
    EditText->setLineWrapMode(QTextEdit::WidgetWidth);
    ReadRtf(Text.toLatin1(), *EditText->document());
}

// Factories

bool TTextResourceItemViewFactory::Handles(const TResourceIdent&, const TResourceIdent&, TStream* Data)
{
    return Data && (IsASCIIText(*Data) || IsUnicodeText(*Data, LineEnds()) || IsUTF8Text(*Data) || IsANSIText(*Data));
}

IResourceItemViewPtr TTextResourceItemViewFactory::CreateView() { return std::make_shared<TTextResourceItemView>(); }

bool TRichTextResourceItemViewFactory::Handles(const TResourceIdent&, const TResourceIdent&, TStream* Data)
{
    return Data && IsASCIIText(*Data) && MatchSignature(Data, QByteArrayLiteral("{\\rtf"), {}, 0);
}

IResourceItemViewPtr TRichTextResourceItemViewFactory::CreateView()
{
    return std::make_shared<TRichTextResourceItemView>();
}

void koResourceViewText_Initialize()
{
    TRichTextResourceItemViewFactory::ClassInfo()->Register(254);
    TTextResourceItemViewFactory::ClassInfo()->Register(255);
}

void koResourceViewText_Finalize()
{
    TTextResourceItemViewFactory::ClassInfo()->Unregister();
    TRichTextResourceItemViewFactory::ClassInfo()->Unregister();
}
