#include "../model/TestKinds.h"
#include "platform/Streams.h"
#include "views/MhtReader.h"
#include "views/koResourceViewHtml.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace {
// Base64 in lines of 76 characters, as mail writers break it.
QByteArray Base64Lines(const QByteArray& Data)
{
    const QByteArray text = Data.toBase64();
    QByteArray lines;
    for (qsizetype i = 0; i < text.size(); i += 76) lines += text.mid(i, 76) + "\r\n";
    return lines;
}

QByteArray RedPng()
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(QColor(0xFF, 0x00, 0x00));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

// A web archive as browsers save pages: the page quoted-printable, a picture by location and the
// same picture by Content-ID.
QByteArray SampleArchive()
{
    return "From: <Saved by hand>\r\n"
           "Subject: Sample\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: multipart/related;\r\n"
           "\ttype=\"text/html\";\r\n"
           "\tboundary=\"----=_NextPart_000\"\r\n"
           "\r\n"
           "This is a multi-part message in MIME format.\r\n"
           "\r\n"
           "------=_NextPart_000\r\n"
           "Content-Type: text/html; charset=\"utf-8\"\r\n"
           "Content-Transfer-Encoding: quoted-printable\r\n"
           "Content-Location: http://example.test/page/index.html\r\n"
           "\r\n"
           "<html><head><link rel=3D\"stylesheet\" href=3D\"style.css\"></head><body><h1>Gr=C3=BC=C3=9Fe</h1><p class=3D\"x\">A long para=\r\n"
           "graph</p><img src=3D\"img/red.png\"><img src=3D\"cid:red@x\"></body></html>\r\n"
           "------=_NextPart_000\r\n"
           "Content-Type: image/png\r\n"
           "Content-Transfer-Encoding: base64\r\n"
           "Content-Location: http://example.test/page/img/red.png\r\n"
           "Content-ID: <red@x>\r\n"
           "\r\n" +
           Base64Lines(RedPng()) +
           "\r\n"
           "------=_NextPart_000\r\n"
           "Content-Type: text/css\r\n"
           "Content-Location: http://example.test/page/style.css\r\n"
           "\r\n"
           "h1 { color: #00FF00; }\r\n"
           "------=_NextPart_000--\r\n";
}

std::unique_ptr<THtmlResourceItemView> ShowHtml(TTestItem& Item)
{
    auto view = std::make_unique<THtmlResourceItemView>();
    view->resize(400, 300);
    view->GetControl();
    view->SetResourceItem(&Item);
    return view;
}

int RedPixels(QWidget* Widget)
{
    const QImage image = Widget->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == qRgb(0xFF, 0, 0)) ++count;
    return count;
}

class HtmlViews : public ::testing::Test {
protected:
    void TearDown() override { koResourceView_Finalize(); }
};
} // namespace

TEST_F(HtmlViews, OfferedWhenTheFirst1024BytesNameHtml)
{
    const QByteArray filler(1100, 'x');
    struct Case {
        const char* name;
        QByteArray data;
        bool offered;
    } cases[] = {
        {"tag", "<!DOCTYPE html><HTML><body>hi</body></HTML>", true},
        {"content type", "MIME-Version: 1.0\r\nContent-Type: text/html\r\n\r\nhi", true},
        {"web archive", SampleArchive(), true},
        {"tag after 1024 bytes", filler + "<html>", false},
        {"tag after a zero byte", QByteArray("abc\0<html>", 10), false},
        {"plain text", "just text", false},
    };
    for (const Case& c : cases) {
        TBytesStream data(c.data);
        EXPECT_EQ(THtmlResourceItemViewFactory::ClassInfo()->Handles(TResourceIdent::FromOrdinal(RT_HTML),
                                                                    TResourceIdent("1"), &data),
                  c.offered)
            << c.name;
    }
    EXPECT_FALSE(THtmlResourceItemViewFactory::ClassInfo()->Handles(TResourceIdent::FromOrdinal(RT_HTML),
                                                                   TResourceIdent("1"), nullptr));
}

TEST_F(HtmlViews, PlainHtmlRendersInItsCharset)
{
    struct Case {
        const char* name;
        QByteArray data;
        QString text;
    } cases[] = {
        {"empty: a blank page", "", ""},
        {"ANSI without a charset", "<html><body><p>caf\xE9</p></body></html>", QString::fromUtf8("café")},
        {"UTF-8 by meta", "<html><head><meta charset=\"utf-8\"></head><body>Gr\xC3\xBC\xC3\x9F" "e</body></html>",
         QString::fromUtf8("Grüße")},
        {"UTF-8 by byte-order mark", "\xEF\xBB\xBF<html><body>\xE2\x82\xAC</body></html>", QString::fromUtf8("€")},
        {"charset by meta http-equiv", "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\"></head><body>\xC4\xE0</body></html>",
         QString::fromUtf8("Да")},
        {"markup rendered, not shown", "<html><body><h1>Title</h1><script>var x;</script></body></html>", "Title"},
    };
    for (const Case& c : cases) {
        TTestItem item(TResourceIdent::FromOrdinal(RT_HTML), TResourceIdent("1"));
        item.Data = c.data;
        auto view = ShowHtml(item);
        EXPECT_EQ(view->Browser->toPlainText().trimmed(), c.text) << c.name;
        EXPECT_FALSE(view->PanelError->isVisibleTo(view.get())) << c.name;
    }
}

TEST_F(HtmlViews, WebArchiveShowsItsPageAndPicturesFromMemory)
{
    TTestItem item(TResourceIdent::FromOrdinal(RT_HTML), TResourceIdent("1"));
    item.Data = SampleArchive();
    auto view = ShowHtml(item);
    EXPECT_FALSE(view->PanelError->isVisibleTo(view.get()));
    EXPECT_TRUE(view->Browser->toPlainText().contains(QString::fromUtf8("Grüße")));
    EXPECT_TRUE(view->Browser->toPlainText().contains(QStringLiteral("A long paragraph")));
    // Both pictures resolve to the archive's part, by relative location and by Content-ID.
    const QByteArray png = RedPng();
    EXPECT_EQ(view->Browser->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("img/red.png"))).toByteArray(), png);
    EXPECT_EQ(view->Browser->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("cid:red@x"))).toByteArray(), png);
    // The style sheet part colours the heading.
    EXPECT_EQ(view->Browser->document()->firstBlock().begin().fragment().charFormat().foreground().color(), QColor(0x00, 0xFF, 0x00));
    view->show();
    EXPECT_GE(RedPixels(view->Browser->viewport()), 2 * 40 * 30);

    // Showing plain HTML afterwards forgets the archive's parts.
    item.Data = "<html><body><img src=\"cid:red@x\">after</body></html>";
    item.Changed();
    EXPECT_FALSE(view->Browser->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("cid:red@x"))).isValid());
    EXPECT_EQ(RedPixels(view->Browser->viewport()), 0);
    EXPECT_TRUE(view->Browser->document()->defaultStyleSheet().isEmpty());
}

TEST_F(HtmlViews, NothingIsLoadedFromDiskOrNetwork)
{
    TTestItem item(TResourceIdent::FromOrdinal(RT_HTML), TResourceIdent("1"));
    const QString here = QFileInfo(QStringLiteral(__FILE__)).absoluteFilePath();
    item.Data = "<html><body><img src=\"" + QUrl::fromLocalFile(here).toEncoded() + "\"></body></html>";
    auto view = ShowHtml(item);
    EXPECT_FALSE(view->Browser->loadResource(QTextDocument::ImageResource, QUrl::fromLocalFile(here)).isValid());
    EXPECT_FALSE(view->Browser->loadResource(QTextDocument::HtmlResource, QUrl::fromLocalFile(here)).isValid());
    item.Data = SampleArchive();
    item.Changed();
    EXPECT_FALSE(view->Browser->loadResource(QTextDocument::ImageResource, QUrl::fromLocalFile(here)).isValid());
    EXPECT_FALSE(view->Browser->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("http://elsewhere.test/x.png"))).isValid());
}

TEST_F(HtmlViews, ArchiveRootNestingAndDamage)
{
    // The "start" parameter names the page even when another HTML part comes first; a nested
    // alternative multipart lists its parts in place; a missing closing delimiter keeps the last part.
    const QByteArray nested = "Content-Type: multipart/related; boundary=outer; start=\"<page>\"\r\n"
                              "\r\n"
                              "--outer\r\n"
                              "Content-Type: text/html\r\n"
                              "\r\n"
                              "<p>not the page</p>\r\n"
                              "--outer\r\n"
                              "Content-Type: multipart/alternative; boundary=\"inner\"\r\n"
                              "\r\n"
                              "--inner\r\n"
                              "Content-Type: text/plain\r\n"
                              "\r\n"
                              "plain\r\n"
                              "--inner\r\n"
                              "Content-Type: text/html; charset=windows-1252\r\n"
                              "Content-ID: <page>\r\n"
                              "\r\n"
                              "<p>the page caf\xE9</p>\r\n"
                              "--inner--\r\n"
                              "--outerX\r\n"
                              "--outer\r\n"
                              "Content-Type: text/css\r\n"
                              "\r\n"
                              "p { }";
    const TMhtArchive archive = ReadMht(nested);
    ASSERT_EQ(archive.Parts.size(), 4u);
    EXPECT_EQ(archive.Root, 2);
    EXPECT_EQ(archive.Parts[1].Body, QByteArray("plain"));
    EXPECT_EQ(archive.Parts[2].Body, QByteArray("<p>the page caf\xE9</p>"));
    EXPECT_EQ(archive.Parts[3].MediaType, QByteArray("text/css"));
    EXPECT_EQ(archive.Parts[3].Body, QByteArray("p { }"));

    TTestItem item(TResourceIdent::FromOrdinal(RT_HTML), TResourceIdent("1"));
    item.Data = nested;
    auto view = ShowHtml(item);
    EXPECT_EQ(view->Browser->toPlainText().trimmed(), QString::fromUtf8("the page café"));

    struct Case {
        const char* name;
        QByteArray data;
        const char* message;
    } cases[] = {
        {"no boundary", "Content-Type: multipart/related\r\n\r\n<html></html>", "the header names no multipart boundary"},
        {"marker only in the body", "Subject: x\r\n\r\nContent-Type: multipart/related; boundary=b\r\n",
         "the header names no multipart boundary"},
        {"no part", "Content-Type: multipart/related; boundary=b\r\n\r\nnothing here", "it holds no part"},
    };
    for (const Case& c : cases) {
        item.Data = c.data;
        item.Changed();
        EXPECT_TRUE(view->PanelError->isVisibleTo(view.get())) << c.name;
        EXPECT_EQ(view->LabelError->text(), QStringLiteral("Malformed web archive: ") + QString::fromUtf8(c.message) + '.')
            << c.name;
        EXPECT_TRUE(view->Browser->toPlainText().isEmpty()) << c.name;
    }
}

TEST_F(HtmlViews, QuotedPrintableDecoding)
{
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"a=3Db", "a=b"},
        {"soft=\r\nbreak", "softbreak"},
        {"soft=  \nbreak", "softbreak"},
        {"lower =c3=a9", "lower \xC3\xA9"},
        {"broken =G1 and =4", "broken =G1 and =4"},
        {"ends with =", "ends with "},
        {"hard\r\nbreak", "hard\r\nbreak"},
    };
    for (const auto& [text, decoded] : cases) EXPECT_EQ(DecodeQuotedPrintable(text), decoded) << text.toStdString();
}
