#include "views/RtfReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>
#include <optional>

namespace {
// The blocks' texts joined by "|", line separators and special spaces as they are.
QString BlockTexts(const QTextDocument& Document)
{
    QStringList blocks;
    for (QTextBlock block = Document.begin(); block.isValid(); block = block.next()) blocks << block.text();
    return blocks.join(QLatin1Char('|'));
}

// The format of the first occurrence of Probe.
QTextCharFormat FormatOf(QTextDocument& Document, QChar Probe)
{
    const int at = Document.toRawText().indexOf(Probe);
    EXPECT_GE(at, 0) << "probe " << QString(Probe).toStdString() << " not in the text";
    QTextCursor cursor(&Document);
    cursor.setPosition(at + 1);
    return cursor.charFormat();
}

struct TLook {
    bool bold = false, italic = false, underline = false, strike = false;
    double points = 12;
    QString family = {};
    QColor foreground = {}, background = {}; // invalid: none
};

QString Family(const QTextCharFormat& Format) { return Format.fontFamilies().toStringList().value(0); }
} // namespace

TEST(RtfReader, TextAndTheFormatOfAProbeCharacter)
{
    struct Case {
        const char* name;
        QByteArray rtf;
        QString text;
        TLook look; // of the character "X"
    } cases[] = {
        {"bold run", R"({\rtf1 a \b X\b0  b})", "a X b", {.bold = true}},
        {"bold off by parameter, italic, underline, strike", R"({\rtf1\b\b0\i\ul\strike X})", "X",
         {.italic = true, .underline = true, .strike = true}},
        {"ulnone", R"({\rtf1\ul a\ulnone X})", "aX", {}},
        {"nested group restores the state", R"({\rtf1 {\b\i\fs40 a}X})", "aX", {}},
        {"size in half points", R"({\rtf1\fs17 X})", "X", {.points = 8.5}},
        {"plain resets the character format", R"({\rtf1\b\i\fs40 a\plain X})", "aX", {}},
        {"hex escape in code page 1252", R"({\rtf1 caf\'e9X})", QString::fromUtf8("caféX"), {}},
        {"unicode with its fallback skipped", R"({\rtf1 \u8364?X})", QString::fromUtf8("€X"), {}},
        {"a hex escape is one fallback character", R"({\rtf1\u233\'e9X})", QString::fromUtf8("éX"), {}},
        {"uc2", R"({\rtf1\uc2 \u8364\'80\'81X})", QString::fromUtf8("€X"), {}},
        {"uc0 skips nothing", R"({\rtf1\uc0\u8364?X})", QString::fromUtf8("€?X"), {}},
        {"a brace ends the fallback", R"({\rtf1\uc3{\u233}XY})", QString::fromUtf8("éXY"), {}},
        {"negative code units pair up", R"({\rtf1\u-10179?\u-8704?X})", QString::fromUtf8("\xF0\x9F\x98\x80X"), {}},
        {"starred destination skipped", R"({\rtf1{\*\generator Writer 1.0;}{\*\unknown {deeper} text}X})", "X", {}},
        {"known destinations without text skipped",
         R"({\rtf1{\stylesheet{\s0 Normal;}}{\info{\title T}}{\pict\pngblip 89504e47}{\header H}X})", "X", {}},
        {"unknown control words ignored", R"({\rtf1\foo\bar12 X\baz-3 Y})", "XY", {}},
        {"font table and charset code page",
         R"({\rtf1\deff0{\fonttbl{\f0\fswiss Arial;}{\f1\fmodern\fcharset204 Courier New;}}\f1 \'e0X\f0 Y})",
         QString::fromUtf8("аXY"), {.family = "Courier New"}},
        {"font table without entry groups", R"({\rtf1{\fonttbl\f0 Arial;\f1 Times;}\f1 X})", "X", {.family = "Times"}},
        {"document code page", R"({\rtf1\ansi\ansicpg1251 \'e0X})", QString::fromUtf8("аX"), {}},
        {"double-byte code page", R"({\rtf1\ansicpg932 \'82\'a0X})", QString::fromUtf8("あX"), {}},
        {"colour table", R"({\rtf1{\colortbl;\red255\green0\blue0;\red0\green0\blue255;}\cf1\highlight2 X\cf0\cb0 Y})",
         "XY", {.foreground = QColor(255, 0, 0), .background = QColor(0, 0, 255)}},
        {"colour index past the table", R"({\rtf1{\colortbl;\red255\green0\blue0;}\cf7 X})", "X", {}},
        {"escapes and special characters", R"({\rtf1 \\\{\}\~\-\_X})", QString::fromUtf8("\\{}\u00A0\u00AD\u2011X"), {}},
        {"escaped space after a control word", R"({\rtf1 a\b\ b})", QStringLiteral("a b"), {}},
        {"paragraphs, lines and tabs", R"({\rtf1 a\par b\line c\tab X\par})", QString::fromUtf8("a|b\u2028c\tX"), {}},
        {"a second paragraph mark leaves an empty paragraph", R"({\rtf1 X\par\par})", "X|", {}},
        {"text outside the document's group", R"(x{\rtf1 X}y)", "X", {}},
        {"braces too many", "{\\rtf1 X}}}}z", "X", {}},
        {"braces missing", R"({\rtf1 {\b X)", "X", {.bold = true}},
        {"binary data may hold braces", "{\\rtf1{\\*\\x\\bin3 }}}}X}", "X", {}},
        {"CR and LF are no text", "{\\rtf1 a\r\nb\nX}", "abX", {}},
    };
    for (Case& c : cases) {
        QTextDocument document;
        ReadRtf(c.rtf, document);
        EXPECT_EQ(BlockTexts(document), c.text) << c.name;
        if (!BlockTexts(document).contains(QLatin1Char('X'))) continue;
        const QTextCharFormat format = FormatOf(document, QLatin1Char('X'));
        EXPECT_EQ(format.fontWeight() == QFont::Bold, c.look.bold) << c.name;
        EXPECT_EQ(format.fontItalic(), c.look.italic) << c.name;
        EXPECT_EQ(format.fontUnderline(), c.look.underline) << c.name;
        EXPECT_EQ(format.fontStrikeOut(), c.look.strike) << c.name;
        EXPECT_DOUBLE_EQ(format.fontPointSize(), c.look.points) << c.name;
        EXPECT_EQ(Family(format), c.look.family) << c.name;
        if (c.look.foreground.isValid()) EXPECT_EQ(format.foreground().color(), c.look.foreground) << c.name;
        else EXPECT_EQ(format.foreground().style(), Qt::NoBrush) << c.name;
        if (c.look.background.isValid()) EXPECT_EQ(format.background().color(), c.look.background) << c.name;
        else EXPECT_EQ(format.background().style(), Qt::NoBrush) << c.name;
    }
}

TEST(RtfReader, ParagraphAlignmentAndIndents)
{
    QTextDocument document;
    ReadRtf(R"({\rtf1\pard\qc\li1440\ri720\fi-360 a\par\qr b\par\pard\qj c\par\pard d})", document);
    struct Expected {
        Qt::Alignment alignment;
        double left, right, first; // pixels at 96 per inch
    } expected[] = {
        {Qt::AlignHCenter, 96, 48, -24},
        {Qt::AlignRight, 96, 48, -24}, // the indents hold until \pard
        {Qt::AlignJustify, 0, 0, 0},
        {Qt::AlignLeft, 0, 0, 0},
    };
    ASSERT_EQ(document.blockCount(), 4);
    QTextBlock block = document.begin();
    for (const Expected& e : expected) {
        const QTextBlockFormat format = block.blockFormat();
        EXPECT_EQ(format.alignment() & Qt::AlignHorizontal_Mask, e.alignment) << block.text().toStdString();
        EXPECT_DOUBLE_EQ(format.leftMargin(), e.left) << block.text().toStdString();
        EXPECT_DOUBLE_EQ(format.rightMargin(), e.right) << block.text().toStdString();
        EXPECT_DOUBLE_EQ(format.textIndent(), e.first) << block.text().toStdString();
        block = block.next();
    }
}

TEST(RtfReader, HostileInputStaysBounded)
{
    const QByteArray digits(100000, '9');
    struct Case {
        const char* name;
        QByteArray rtf;
        QString text;
    } cases[] = {
        // A size of 99999... half points: the parameter keeps its first digits and the size its maximum.
        {"huge size", "{\\rtf1\\fs" + digits + " X}", "X"},
        {"huge negative indent", "{\\rtf1\\fi-" + digits + " X}", "X"},
        {"huge code point", "{\\rtf1\\u" + digits + "?X}", QString::fromUtf8("\uFFFDX")},
        {"huge fallback count ends with its group", "{\\rtf1{\\uc" + digits + "\\u233 abc\\par}X}", QString::fromUtf8("éX")},
        {"huge binary length", "{\\rtf1 X\\bin" + digits + " }}}}", "X"},
        {"deep nesting: the groups beyond the cap hold no text",
         "{\\rtf1 " + QByteArray(5000, '{') + "lost" + QByteArray(5000, '}') + "X}", "X"},
        {"deep nesting never closed", "{\\rtf1 X" + QByteArray(100000, '{') + "lost", "X"},
        {"long control word", "{\\rtf1\\" + QByteArray(100000, 'b') + " X}", "X"},
        {"ends in a backslash", "{\\rtf1 X\\", "X"},
        {"ends in a hex escape", "{\\rtf1 X\\'", "X"},
        {"a minus without digits is text", "{\\rtf1 X\\fs-", "X-"},
    };
    for (const Case& c : cases) {
        QTextDocument document;
        ReadRtf(c.rtf, document);
        EXPECT_EQ(document.toRawText(), c.text) << c.name;
    }
    QTextDocument document;
    ReadRtf("{\\rtf1\\fs" + digits + " X}", document);
    EXPECT_DOUBLE_EQ(FormatOf(document, QLatin1Char('X')).fontPointSize(), 1638);
}

TEST(RtfReader, ReplacesTheDocumentsContent)
{
    QTextDocument document;
    document.setPlainText(QStringLiteral("old\ntext"));
    ReadRtf(R"({\rtf1 new})", document);
    EXPECT_EQ(BlockTexts(document), "new");
    ReadRtf(QByteArray(), document);
    EXPECT_EQ(BlockTexts(document), "");
}

TEST(RtfReader, HandWrittenSampleReads)
{
    QFile file(QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../fixtures/rtf/sample.rtf")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QTextDocument document;
    ReadRtf(file.readAll(), document);
    ASSERT_EQ(document.blockCount(), 6);
    const QTextBlock heading = document.begin();
    EXPECT_EQ(heading.text(), "Release notes");
    EXPECT_EQ(heading.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(FormatOf(document, QLatin1Char('R')).fontWeight(), QFont::Bold);
    const QTextBlock body = heading.next();
    EXPECT_TRUE(body.text().contains(QString::fromUtf8("a naïve résumé and a price of 20 €."))) << body.text().toStdString();
    const QTextBlock bullet = body.next();
    EXPECT_TRUE(bullet.text().startsWith(QString::fromUtf8("•\tBullet-like")));
    EXPECT_DOUBLE_EQ(bullet.blockFormat().leftMargin(), 24);
    EXPECT_DOUBLE_EQ(bullet.blockFormat().textIndent(), -24);
    EXPECT_TRUE(document.lastBlock().text().contains(QString::fromUtf8("“quoted”, αβγ and Straße")));
}
