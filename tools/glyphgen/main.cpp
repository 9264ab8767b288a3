// Draws every glyph and cursor the program carries, writes resources/glyphs.qrc and a contact sheet
// (docs/glyphs.png); draws the splash picture, synthesizes its chime and writes the credits
// (resources/splash.qrc). Usage: glyphgen <repository root>

#include "bitmapeditor/koGraphics32Color.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QPainterPath>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using Symbol = std::function<void(QPainter&, const QRectF&)>;

struct Glyph
{
    QString Name;
    bool Type;    // a folder for the type node, a page for its items
    bool KeyedBmp; // 24-bit BMP on magenta instead of a 32-bit PNG
    QColor Colour;
    Symbol Draw;
};

QPen Pen(const QColor& c, qreal w = 1.0) { return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

void Tag(QPainter& p, const QRectF& r, const QString& text, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(r, 1.5, 1.5);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(int(r.height() * 0.9));
    f.setBold(true);
    f.setStretch(text.size() > 2 ? QFont::Condensed : QFont::Unstretched);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(r, Qt::AlignCenter, text);
}

void Picture(QPainter& p, const QRectF& r, const QColor& sky)
{
    p.setPen(Pen(QColor(60, 60, 60), 0.8));
    p.setBrush(sky);
    p.drawRect(r);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 210, 40));
    p.drawEllipse(QPointF(r.right() - r.width() * 0.28, r.top() + r.height() * 0.3), r.width() * 0.14,
                  r.width() * 0.14);
    QPainterPath hill;
    hill.moveTo(r.left(), r.bottom());
    hill.lineTo(r.left() + r.width() * 0.35, r.top() + r.height() * 0.45);
    hill.lineTo(r.left() + r.width() * 0.6, r.bottom() - r.height() * 0.25);
    hill.lineTo(r.left() + r.width() * 0.75, r.top() + r.height() * 0.6);
    hill.lineTo(r.right(), r.bottom());
    hill.closeSubpath();
    p.setBrush(QColor(40, 150, 60));
    p.drawPath(hill);
}

void Arrow(QPainter& p, QPointF at, qreal s, const QColor& fill = Qt::white)
{
    QPainterPath a;
    a.moveTo(at);
    a.lineTo(at + QPointF(0, 1.0 * s));
    a.lineTo(at + QPointF(0.28 * s, 0.75 * s));
    a.lineTo(at + QPointF(0.45 * s, 1.05 * s));
    a.lineTo(at + QPointF(0.58 * s, 0.98 * s));
    a.lineTo(at + QPointF(0.42 * s, 0.68 * s));
    a.lineTo(at + QPointF(0.75 * s, 0.68 * s));
    a.closeSubpath();
    p.setPen(Pen(Qt::black, std::max<qreal>(0.8, s / 14)));
    p.setBrush(fill);
    p.drawPath(a);
}

void Lines(QPainter& p, const QRectF& r, int n, const QColor& c)
{
    p.setPen(Pen(c, std::max<qreal>(1.0, r.height() / 10)));
    for (int i = 0; i < n; ++i) {
        const qreal y = r.top() + (i + 0.5) * r.height() / n;
        p.drawLine(QPointF(r.left(), y), QPointF(r.right() - (i % 2) * r.width() * 0.3, y));
    }
}

void Window(QPainter& p, const QRectF& r, const QColor& title)
{
    p.setPen(Pen(QColor(50, 50, 50), 0.8));
    p.setBrush(QColor(240, 240, 240));
    p.drawRect(r);
    p.setPen(Qt::NoPen);
    p.setBrush(title);
    p.drawRect(QRectF(r.left(), r.top(), r.width(), r.height() * 0.25));
}

void Motion(QPainter& p, const QRectF& r, const QColor& c)
{
    p.setPen(Pen(c, std::max<qreal>(1.0, r.width() / 10)));
    p.setBrush(Qt::NoBrush);
    p.drawArc(r, 30 * 16, 120 * 16);
    p.drawArc(r, 210 * 16, 120 * 16);
}

void Package(QPainter& p, const QRectF& r, const QColor& c)
{
    p.setPen(Pen(QColor(90, 60, 20), 0.8));
    p.setBrush(c);
    p.drawRect(r.adjusted(0, r.height() * 0.2, 0, 0));
    p.setBrush(c.lighter(120));
    p.drawRect(QRectF(r.left(), r.top(), r.width(), r.height() * 0.3));
}

// The frame every glyph shares: a folder for a type, a page with a folded corner for an item.
QImage Draw(const Glyph& g, int side)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(0);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(side / 16.0, side / 16.0);
    if (g.Type) {
        QPainterPath folder;
        folder.moveTo(0.5, 3);
        folder.lineTo(5.5, 3);
        folder.lineTo(7, 4.5);
        folder.lineTo(15.5, 4.5);
        folder.lineTo(15.5, 14.5);
        folder.lineTo(0.5, 14.5);
        folder.closeSubpath();
        p.setPen(Pen(QColor(150, 110, 20), 1));
        p.setBrush(QColor(245, 200, 80));
        p.drawPath(folder);
        g.Draw(p, QRectF(5, 6.5, 9.5, 7.5));
    } else {
        QPainterPath page;
        page.moveTo(2.5, 0.5);
        page.lineTo(10.5, 0.5);
        page.lineTo(13.5, 3.5);
        page.lineTo(13.5, 15.5);
        page.lineTo(2.5, 15.5);
        page.closeSubpath();
        p.setPen(Pen(QColor(90, 90, 90), 1));
        p.setBrush(Qt::white);
        p.drawPath(page);
        p.drawLine(QPointF(10.5, 0.5), QPointF(10.5, 3.5));
        p.drawLine(QPointF(10.5, 3.5), QPointF(13.5, 3.5));
        g.Draw(p, QRectF(3.5, 4.5, 9, 10));
    }
    return image;
}

QImage DrawPlain(const std::function<void(QPainter&)>& draw, int side)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(0);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(side / 16.0, side / 16.0);
    draw(p);
    return image;
}

// The small bitmaps of the object inspector and its property editors, in their own sizes. Font-type
// glyphs are keyed bitmaps (transparent by their bottom-left pixel); the others carry alpha.
struct DesignGlyph
{
    QString Name;
    int Side;
    bool Keyed;
    std::function<void(QPainter&)> Draw; // in pixels of the glyph
};

std::vector<DesignGlyph> DesignGlyphs()
{
    const auto letters = [](const QString& text, const QColor& back, const QColor& front, bool bar) {
        return [=](QPainter& p) {
            QFont f(QStringLiteral("DejaVu Sans"));
            f.setPixelSize(10);
            f.setBold(true);
            p.setFont(f);
            p.setPen(back);
            p.drawText(QRectF(0, -1, 10, 11), Qt::AlignCenter, text.left(1));
            p.setPen(front);
            p.drawText(QRectF(2.5, 1, 10, 11), Qt::AlignCenter, text.right(1));
            if (bar) {
                p.setPen(Qt::NoPen);
                p.setBrush(front);
                p.drawRect(QRectF(1, 10.5, 10, 1.5));
            }
        };
    };
    const auto box = [](bool plus) {
        return [=](QPainter& p) {
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setPen(QColor(128, 128, 128));
            p.setBrush(Qt::white);
            p.drawRect(0, 0, 8, 8);
            p.setPen(Qt::black);
            p.drawLine(2, 4, 6, 4);
            if (plus)
                p.drawLine(4, 2, 4, 6);
        };
    };
    return {
        {QStringLiteral("DESIGN_FONT_DEVICE"), 12, true, [](QPainter& p) {
             p.setPen(Pen(QColor(40, 40, 40), 1));
             p.setBrush(QColor(200, 200, 200));
             p.drawRect(QRectF(1.5, 4.5, 9, 5));
             p.setBrush(Qt::white);
             p.drawRect(QRectF(3.5, 1.5, 5, 3));
             p.drawRect(QRectF(3.5, 8.5, 5, 2.5));
         }},
        {QStringLiteral("DESIGN_FONT_FIXEDPITCH"), 12, true, letters(QStringLiteral("FF"), QColor(110, 110, 110), QColor(30, 30, 30), true)},
        {QStringLiteral("DESIGN_FONT_TRUETYPE"), 12, true, letters(QStringLiteral("TT"), QColor(120, 120, 120), QColor(20, 20, 160), false)},
        {QStringLiteral("DESIGN_FONT_TRUETYPEFIXED"), 12, true, letters(QStringLiteral("TT"), QColor(120, 120, 120), QColor(20, 20, 160), true)},
        {QStringLiteral("DESIGN_EDIT_ELIPSIS"), 8, false, [](QPainter& p) {
             p.setRenderHint(QPainter::Antialiasing, false);
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::black);
             for (int x : {0, 3, 6})
                 p.drawRect(x, 5, 2, 2);
         }},
        {QStringLiteral("DESIGN_PROP_EXPAND"), 9, false, box(true)},
        {QStringLiteral("DESIGN_PROP_COLLAPSE"), 9, false, box(false)},
    };
}

std::vector<Glyph> Glyphs()
{
    const auto tag = [](const char* text, QColor c) {
        return [t = QString::fromLatin1(text), c](QPainter& p, const QRectF& r) {
            Tag(p, QRectF(r.left(), r.center().y() - 2.75, r.width(), 5.5), t, c);
        };
    };
    const Symbol accel = [](QPainter& p, const QRectF& r) {
        const QRectF key(r.left(), r.top() + 1, r.width() * 0.62, r.height() - 2);
        p.setPen(Pen(QColor(60, 60, 60), 0.8));
        p.setBrush(QColor(230, 230, 230));
        p.drawRoundedRect(key, 1.5, 1.5);
        p.drawRoundedRect(key.translated(r.width() * 0.38, 0).adjusted(0, 1, 0, -1), 1.5, 1.5);
    };
    const Symbol cursor = [](QPainter& p, const QRectF& r) { Arrow(p, r.topLeft() + QPointF(r.width() * 0.25, 0), r.height() * 0.9); };
    const Symbol anicursor = [](QPainter& p, const QRectF& r) {
        Motion(p, r, QColor(30, 120, 220));
        Arrow(p, r.topLeft() + QPointF(r.width() * 0.35, r.height() * 0.15), r.height() * 0.7);
    };
    const Symbol icon = [](QPainter& p, const QRectF& r) {
        const qreal s = std::min(r.width(), r.height()) * 0.85;
        Picture(p, QRectF(r.center() - QPointF(s / 2, s / 2), QSizeF(s, s)), QColor(120, 190, 250));
    };
    const Symbol aniicon = [](QPainter& p, const QRectF& r) {
        Motion(p, r, QColor(30, 120, 220));
        const qreal s = std::min(r.width(), r.height()) * 0.55;
        Picture(p, QRectF(r.center() - QPointF(s / 2, s / 2), QSizeF(s, s)), QColor(120, 190, 250));
    };
    const Symbol bitmap = [](QPainter& p, const QRectF& r) { Picture(p, r.adjusted(0, 1, 0, -1), QColor(120, 190, 250)); };
    const Symbol dib = [](QPainter& p, const QRectF& r) {
        Picture(p, r.adjusted(0, 1, 0, -1), QColor(170, 210, 250));
        p.setPen(Pen(QColor(255, 255, 255, 150), 0.4));
        for (qreal x = r.left() + 2; x < r.right(); x += 2)
            p.drawLine(QPointF(x, r.top() + 1), QPointF(x, r.bottom() - 1));
    };
    const Symbol dialog = [](QPainter& p, const QRectF& r) {
        Window(p, r.adjusted(0, 0.5, 0, -0.5), QColor(40, 90, 200));
        p.setPen(Pen(QColor(80, 80, 80), 0.6));
        p.setBrush(QColor(210, 210, 210));
        p.drawRect(QRectF(r.right() - r.width() * 0.45, r.bottom() - r.height() * 0.32, r.width() * 0.38, r.height() * 0.22));
    };
    const Symbol form = [](QPainter& p, const QRectF& r) {
        Window(p, r.adjusted(0, 0.5, 0, -0.5), QColor(200, 60, 40));
        p.setPen(Pen(QColor(120, 120, 120), 0.8));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(r.left() + 1.5, r.top() + r.height() * 0.4, r.width() - 3, r.height() * 0.18));
        p.drawRect(QRectF(r.left() + 1.5, r.top() + r.height() * 0.68, r.width() - 3, r.height() * 0.18));
    };
    const Symbol font = [](QPainter& p, const QRectF& r) {
        QFont f(QStringLiteral("DejaVu Serif"));
        f.setPixelSize(int(r.height() * 1.15));
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(40, 40, 140));
        p.drawText(r.adjusted(-1, -2, 1, 1), Qt::AlignCenter, QStringLiteral("A"));
    };
    const Symbol binary = [](QPainter& p, const QRectF& r) {
        p.setPen(Qt::NoPen);
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 4; ++col) {
                p.setBrush((row * 5 + col * 3) % 4 == 0 ? QColor(40, 40, 40) : QColor(130, 130, 130));
                p.drawRect(QRectF(r.left() + col * r.width() / 4 + 0.3, r.top() + row * r.height() / 3 + 0.5,
                                  r.width() / 4 - 0.8, r.height() / 3 - 1.2));
            }
    };
    const Symbol menu = [](QPainter& p, const QRectF& r) {
        p.setPen(Pen(QColor(60, 60, 60), 0.7));
        p.setBrush(QColor(200, 220, 245));
        p.drawRect(QRectF(r.left(), r.top(), r.width(), r.height() * 0.28));
        p.setBrush(Qt::white);
        const QRectF drop(r.left() + 1, r.top() + r.height() * 0.28, r.width() * 0.7, r.height() * 0.72);
        p.drawRect(drop);
        Lines(p, drop.adjusted(1.2, 0.8, -1.2, -0.8), 3, QColor(60, 60, 60));
    };
    const Symbol message = [](QPainter& p, const QRectF& r) {
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(r.left(), r.top(), r.width(), r.height() * 0.72), 2, 2);
        bubble.moveTo(r.left() + 2, r.top() + r.height() * 0.6);
        bubble.lineTo(r.left() + 1.5, r.bottom());
        bubble.lineTo(r.left() + 5, r.top() + r.height() * 0.65);
        p.setPen(Pen(QColor(40, 110, 40), 0.8));
        p.setBrush(QColor(200, 240, 190));
        p.drawPath(bubble.simplified());
        Lines(p, QRectF(r.left() + 1.5, r.top() + 1.2, r.width() - 3, r.height() * 0.45), 2, QColor(40, 110, 40));
    };
    const Symbol module = [](QPainter& p, const QRectF& r) {
        p.setPen(Pen(QColor(60, 60, 60), 0.7));
        p.setBrush(QColor(70, 70, 80));
        const QRectF chip = r.adjusted(1.5, 1.5, -1.5, -1.5);
        p.drawRect(chip);
        p.setPen(Pen(QColor(150, 150, 150), 0.7));
        for (int i = 0; i < 3; ++i) {
            const qreal y = chip.top() + (i + 0.5) * chip.height() / 3;
            p.drawLine(QPointF(r.left(), y), QPointF(chip.left(), y));
            p.drawLine(QPointF(chip.right(), y), QPointF(r.right(), y));
        }
    };
    const Symbol strings = [](QPainter& p, const QRectF& r) {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(int(r.height() * 0.8));
        p.setFont(f);
        p.setPen(QColor(20, 20, 20));
        p.drawText(r.adjusted(-1, -1, 1, 1), Qt::AlignCenter, QStringLiteral("ab"));
    };
    const Symbol symbols = [](QPainter& p, const QRectF& r) {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(int(r.height() * 1.05));
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(120, 40, 140));
        p.drawText(r.adjusted(-1, -1, 1, 1), Qt::AlignCenter, QStringLiteral("#"));
    };
    const Symbol toolbar = [](QPainter& p, const QRectF& r) {
        p.setPen(Pen(QColor(90, 90, 90), 0.6));
        const QColor colours[] = {QColor(220, 60, 60), QColor(60, 160, 60), QColor(60, 90, 220)};
        const qreal w = r.width() / 3;
        for (int i = 0; i < 3; ++i) {
            p.setBrush(colours[i]);
            p.drawRect(QRectF(r.left() + i * w + 0.3, r.center().y() - w / 2, w - 0.6, w - 0.6));
        }
    };
    const Symbol typelib = [](QPainter& p, const QRectF& r) {
        p.setPen(Pen(QColor(70, 40, 20), 0.8));
        p.setBrush(QColor(170, 70, 50));
        const QRectF book = r.adjusted(1, 0, -1, 0);
        p.drawRect(book);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(book.left() + 1.5, book.bottom() - 1.8, book.width() - 1.5, 1.8));
        p.setPen(Pen(QColor(250, 220, 120), 0.8));
        p.drawLine(QPointF(book.left() + 2.5, book.top() + 2), QPointF(book.right() - 1, book.top() + 2));
    };
    const Symbol version = [](QPainter& p, const QRectF& r) {
        p.setPen(Pen(QColor(30, 90, 160), 0.8));
        p.setBrush(QColor(200, 225, 250));
        p.drawEllipse(r.center(), r.height() * 0.48, r.height() * 0.48);
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(int(r.height() * 0.75));
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(30, 90, 160));
        p.drawText(r.adjusted(-1, -1, 1, 1), Qt::AlignCenter, QStringLiteral("V"));
    };
    const Symbol info = [](QPainter& p, const QRectF& r) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 100, 200));
        p.drawEllipse(r.center(), r.height() * 0.5, r.height() * 0.5);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(r.center().x(), r.center().y() - r.height() * 0.25), r.height() * 0.09, r.height() * 0.09);
        p.drawRect(QRectF(r.center().x() - r.height() * 0.08, r.center().y() - r.height() * 0.08, r.height() * 0.16, r.height() * 0.38));
    };
    const Symbol manifest = [](QPainter& p, const QRectF& r) {
        p.setPen(Pen(QColor(30, 120, 30), 1.2));
        p.setBrush(Qt::NoBrush);
        for (int i = 0; i < 3; ++i) {
            const qreal y = r.top() + (i + 0.5) * r.height() / 3;
            p.drawPolyline(QPolygonF({QPointF(r.left(), y), QPointF(r.left() + 1.2, y + 1), QPointF(r.left() + 3, y - 1.2)}));
        }
        Lines(p, QRectF(r.left() + 4, r.top(), r.width() - 4, r.height()), 3, QColor(80, 80, 80));
    };
    const Symbol html = [](QPainter& p, const QRectF& r) {
        p.setPen(Pen(QColor(200, 80, 20), 1.1));
        p.setBrush(Qt::NoBrush);
        const qreal cy = r.center().y();
        p.drawPolyline(QPolygonF({QPointF(r.left() + 2.5, cy - 2.5), QPointF(r.left(), cy), QPointF(r.left() + 2.5, cy + 2.5)}));
        p.drawPolyline(QPolygonF({QPointF(r.right() - 2.5, cy - 2.5), QPointF(r.right(), cy), QPointF(r.right() - 2.5, cy + 2.5)}));
        p.drawLine(QPointF(r.center().x() + 1, cy - 3), QPointF(r.center().x() - 1, cy + 3));
    };
    const Symbol seal = [](QPainter& p, const QRectF& r) {
        p.setPen(Pen(QColor(120, 90, 0), 0.8));
        p.setBrush(QColor(230, 190, 40));
        p.drawRoundedRect(QRectF(r.left() + 1, r.center().y() - 0.5, r.width() - 2, r.height() * 0.5), 1, 1);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(r.left() + 2.5, r.top() + 0.5, r.width() - 5, r.height() * 0.8), 0, 180 * 16);
    };
    const Symbol packageInfo = [info](QPainter& p, const QRectF& r) {
        Package(p, r, QColor(200, 160, 100));
        info(p, QRectF(r.right() - 4.5, r.bottom() - 4.5, 4.5, 4.5));
    };
    const Symbol packageOptions = [](QPainter& p, const QRectF& r) {
        Package(p, r, QColor(200, 160, 100));
        p.setPen(Pen(QColor(30, 120, 30), 1.2));
        p.drawPolyline(QPolygonF({QPointF(r.left() + 2, r.center().y() + 1), QPointF(r.center().x() - 0.5, r.bottom() - 1),
                                  QPointF(r.right() - 1.5, r.top() + 3.5)}));
    };
    const Symbol packageDescription = [](QPainter& p, const QRectF& r) {
        Package(p, r, QColor(200, 160, 100));
        Lines(p, QRectF(r.left() + 1.5, r.top() + r.height() * 0.42, r.width() - 3, r.height() * 0.5), 2, QColor(90, 60, 20));
    };

    const Symbol video = [](QPainter& p, const QRectF& r) {
        // A strip of film: dark frame with sprocket holes and a light picture.
        const QRectF strip(r.left(), r.top() + r.height() * 0.12, r.width(), r.height() * 0.76);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(50, 50, 60));
        p.drawRect(strip);
        p.setBrush(QColor(230, 230, 230));
        for (int i = 0; i < 4; ++i) {
            const qreal x = strip.left() + 0.6 + i * (strip.width() - 1.2) / 4;
            p.drawRect(QRectF(x, strip.top() + 0.4, 1.2, 1));
            p.drawRect(QRectF(x, strip.bottom() - 1.4, 1.2, 1));
        }
        p.setBrush(QColor(90, 160, 230));
        p.drawRect(QRectF(strip.left() + 1.2, strip.top() + 2, strip.width() - 2.4, strip.height() - 4));
    };
    const Symbol audio = [](QPainter& p, const QRectF& r) {
        // A pair of quavers.
        const QColor ink(40, 70, 150);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawEllipse(QRectF(r.left(), r.bottom() - r.height() * 0.3, r.width() * 0.4, r.height() * 0.3));
        p.drawEllipse(QRectF(r.right() - r.width() * 0.4, r.bottom() - r.height() * 0.4, r.width() * 0.4, r.height() * 0.3));
        p.setPen(Pen(ink, 1.1));
        const qreal x1 = r.left() + r.width() * 0.38, x2 = r.right() - 0.5;
        p.drawLine(QPointF(x1, r.bottom() - r.height() * 0.15), QPointF(x1, r.top() + r.height() * 0.2));
        p.drawLine(QPointF(x2, r.bottom() - r.height() * 0.25), QPointF(x2, r.top() + 0.5));
        p.setPen(Pen(ink, 1.6));
        p.drawLine(QPointF(x1, r.top() + r.height() * 0.2), QPointF(x2, r.top() + 0.5));
    };

    return {
        {QStringLiteral("RES_ACCEL_TYPE"), true, false, {}, accel},
        {QStringLiteral("RES_ACCEL_ITEM"), false, true, {}, accel},
        {QStringLiteral("RES_ANICURSOR_TYPE"), true, false, {}, anicursor},
        {QStringLiteral("RES_ANICURSOR_ITEM"), false, false, {}, anicursor},
        {QStringLiteral("RES_ANIICON_TYPE"), true, false, {}, aniicon},
        {QStringLiteral("RES_ANIICON_ITEM"), false, false, {}, aniicon},
        {QStringLiteral("RES_BITMAP_TYPE"), true, true, {}, bitmap},
        {QStringLiteral("RES_BITMAP_ITEM"), false, true, {}, bitmap},
        {QStringLiteral("RES_CURSOR_TYPE"), true, false, {}, cursor},
        {QStringLiteral("RES_CURSOR_ITEM"), false, false, {}, cursor},
        {QStringLiteral("RES_DELPHIFORM_ITEM"), false, false, {}, form},
        {QStringLiteral("RES_DIALOG_TYPE"), true, true, {}, dialog},
        {QStringLiteral("RES_DIALOG_ITEM"), false, true, {}, dialog},
        {QStringLiteral("RES_DIB_ITEM"), false, false, {}, dib},
        {QStringLiteral("RES_DVCLAL_ITEM"), false, false, {}, seal},
        {QStringLiteral("RES_FONT_TYPE"), true, false, {}, font},
        {QStringLiteral("RES_FONT_ITEM"), false, false, {}, font},
        {QStringLiteral("RES_GENERIC_TYPE"), true, true, {}, binary},
        {QStringLiteral("RES_GENERIC_ITEM"), false, true, {}, binary},
        {QStringLiteral("RES_GIF_ITEM"), false, false, {}, tag("GIF", QColor(130, 60, 170))},
        {QStringLiteral("RES_HTML_TYPE"), true, false, {}, html},
        {QStringLiteral("RES_HTML_ITEM"), false, false, {}, html},
        {QStringLiteral("RES_ICON_TYPE"), true, false, {}, icon},
        {QStringLiteral("RES_ICON_ITEM"), false, false, {}, icon},
        {QStringLiteral("RES_INFO_TYPE"), true, false, {}, info},
        {QStringLiteral("RES_JPEG_ITEM"), false, false, {}, tag("JPG", QColor(200, 90, 30))},
        {QStringLiteral("RES_MANIFEST_TYPE"), true, false, {}, manifest},
        {QStringLiteral("RES_MANIFEST_ITEM"), false, false, {}, manifest},
        {QStringLiteral("RES_MENU_TYPE"), true, true, {}, menu},
        {QStringLiteral("RES_MENU_ITEM"), false, true, {}, menu},
        {QStringLiteral("RES_MESSAGE_TYPE"), true, false, {}, message},
        {QStringLiteral("RES_MESSAGE_ITEM"), false, false, {}, message},
        {QStringLiteral("RES_MODULE_MZ_ITEM"), false, false, {}, module},
        {QStringLiteral("RES_PACKAGEDESCRIPTION_ITEM"), false, false, {}, packageDescription},
        {QStringLiteral("RES_PACKAGEINFO_ITEM"), false, false, {}, packageInfo},
        {QStringLiteral("RES_PACKAGEOPTIONS_ITEM"), false, false, {}, packageOptions},
        {QStringLiteral("RES_PNG_ITEM"), false, false, {}, tag("PNG", QColor(30, 130, 90))},
        {QStringLiteral("RES_RCDATA_TYPE"), true, true, {}, binary},
        {QStringLiteral("RES_STRINGS_TYPE"), true, true, {}, strings},
        {QStringLiteral("RES_SYMBOLS_TYPE"), true, false, {}, symbols},
        {QStringLiteral("RES_TOOLBAR_TYPE"), true, false, {}, toolbar},
        {QStringLiteral("RES_TOOLBAR_ITEM"), false, false, {}, toolbar},
        {QStringLiteral("RES_TYPELIB_TYPE"), true, false, {}, typelib},
        {QStringLiteral("RES_VERSION_TYPE"), true, true, {}, version},
        {QStringLiteral("RES_VIDEO_ITEM"), false, false, {}, video},
        {QStringLiteral("RES_AUDIO_ITEM"), false, false, {}, audio},
    };
}

// A bitmap without alpha: transparent parts become magenta, the key colour the program reads from
// the bottom-left pixel.
QImage Keyed(const QImage& image)
{
    QImage out(image.size(), QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            out.setPixel(x, y, qAlpha(c) < 128 ? qRgb(255, 0, 255) : qRgb(qRed(c), qGreen(c), qBlue(c)));
        }
    return out;
}

// The 32-bit picture the program makes from a carried bitmap.
QImage AsLoaded(const QImage& image)
{
    if (image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_ARGB32);
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = out.pixel(0, out.height() - 1) & 0xFFFFFF;
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const QRgb c = out.pixel(x, y);
            out.setPixel(x, y, (c & 0xFFFFFF) == key ? 0 : (c | 0xFF000000u));
        }
    return out;
}

QByteArray Png(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

void PutWord(QByteArray& a, uint16_t v) { a.append(char(v & 0xFF)).append(char(v >> 8)); }
void PutDWord(QByteArray& a, uint32_t v) { PutWord(a, uint16_t(v & 0xFFFF)); PutWord(a, uint16_t(v >> 16)); }

// A cursor file with one PNG image.
QByteArray CursorFile(const QImage& image, int hotX, int hotY)
{
    const QByteArray png = Png(image);
    QByteArray a;
    PutWord(a, 0);
    PutWord(a, 2);
    PutWord(a, 1);
    a.append(char(image.width() & 0xFF)).append(char(image.height() & 0xFF)).append('\0').append('\0');
    PutWord(a, uint16_t(hotX));
    PutWord(a, uint16_t(hotY));
    PutDWord(a, uint32_t(png.size()));
    PutDWord(a, 6 + 16);
    return a + png;
}

QByteArray Chunk(const char* id, const QByteArray& body)
{
    QByteArray a(id, 4);
    PutDWord(a, uint32_t(body.size()));
    a += body;
    if (body.size() & 1)
        a.append('\0');
    return a;
}

// An animated cursor: RIFF "ACON" with a header and one "icon" chunk per frame.
QByteArray AnimatedCursorFile(const std::vector<QByteArray>& frames, int side, uint32_t jiffies)
{
    QByteArray header;
    for (uint32_t v : {36u, uint32_t(frames.size()), uint32_t(frames.size()), uint32_t(side), uint32_t(side),
                       32u, 1u, jiffies, 1u})
        PutDWord(header, v);
    QByteArray list("fram");
    for (const QByteArray& frame : frames)
        list += Chunk("icon", frame);
    const QByteArray body = QByteArray("ACON") + Chunk("anih", header) + Chunk("LIST", list);
    return Chunk("RIFF", body);
}

QImage DockDrag(bool reject)
{
    return DrawPlain([reject](QPainter& p) {
        p.scale(0.5, 0.5);
        Arrow(p, QPointF(1, 1), 18);
        p.setPen(QPen(QColor(40, 90, 200), 1.5, Qt::DashLine));
        p.setBrush(QColor(120, 160, 240, 90));
        p.drawRect(QRectF(12, 16, 17, 13));
        if (reject) {
            p.setPen(Pen(QColor(210, 30, 30), 2.5));
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(24, 24), 6, 6);
            p.drawLine(QPointF(19.8, 28.2), QPointF(28.2, 19.8));
        }
    }, 32);
}

QImage BusyFrame(int frame)
{
    return DrawPlain([frame](QPainter& p) {
        p.scale(0.5, 0.5);
        Arrow(p, QPointF(1, 1), 17);
        const QPointF centre(22, 22);
        for (int i = 0; i < 8; ++i) {
            const double angle = (i * 45.0 - frame * 45.0) * M_PI / 180.0;
            const int shade = 40 + ((i + 8) % 8) * 26;
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(shade, shade, std::min(255, shade + 60)));
            p.drawEllipse(centre + QPointF(std::cos(angle) * 6.5, std::sin(angle) * 6.5), 1.9, 1.9);
        }
    }, 32);
}

// The splash picture: a rounded card with a soft shadow (real alpha), an easel with a picture on it and
// the product name. Light enough for the credits, drawn in black, to read over every part of it.
QImage Splash()
{
    const QSize size(440, 280);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(0);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF card(14, 10, 404, 248);
    // Shadow: rounded rectangles growing outwards, each a little fainter.
    for (int i = 12; i >= 1; --i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(20, 30, 50, 9));
        p.drawRoundedRect(card.translated(4, 7).adjusted(-i * 0.8, -i * 0.8, i * 0.8, i * 0.8), 18 + i, 18 + i);
    }
    QLinearGradient face(card.topLeft(), card.bottomLeft());
    face.setColorAt(0, QColor(254, 253, 250));
    face.setColorAt(1, QColor(226, 234, 246));
    p.setBrush(face);
    p.setPen(Pen(QColor(150, 170, 200), 1.2));
    p.drawRoundedRect(card, 18, 18);

    // Easel: three legs, a ledge, and a canvas with a landscape.
    p.setPen(Pen(QColor(120, 80, 40), 5));
    p.drawLine(QPointF(92, 70), QPointF(58, 236));
    p.drawLine(QPointF(92, 70), QPointF(126, 236));
    p.setPen(Pen(QColor(95, 62, 30), 4));
    p.drawLine(QPointF(92, 60), QPointF(92, 226));
    p.setPen(Pen(QColor(120, 80, 40), 6));
    p.drawLine(QPointF(48, 178), QPointF(136, 178));
    const QRectF canvas(44, 80, 96, 94);
    p.setPen(Pen(QColor(70, 70, 70), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(canvas);
    Picture(p, canvas.adjusted(6, 6, -6, -6), QColor(150, 200, 245));

    // Palette: a row of colour dabs.
    const QColor dabs[] = {QColor(220, 60, 50), QColor(245, 170, 40), QColor(250, 220, 60), QColor(70, 170, 90),
                           QColor(60, 120, 210), QColor(140, 80, 190)};
    for (int i = 0; i < 6; ++i) {
        p.setPen(Pen(dabs[i].darker(140), 1));
        p.setBrush(dabs[i]);
        p.drawEllipse(QPointF(184 + i * 30, 206), 9, 9);
    }

    QFont title(QStringLiteral("DejaVu Serif"));
    title.setPixelSize(54);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(160, 180, 210));
    p.drawText(QRectF(166, 60, 240, 80), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Atelier"));
    p.setPen(QColor(36, 60, 96));
    p.drawText(QRectF(164, 57, 240, 80), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Atelier"));
    QFont sub(QStringLiteral("DejaVu Sans"));
    sub.setPixelSize(14);
    p.setFont(sub);
    p.setPen(QColor(70, 90, 120));
    p.drawText(QRectF(168, 138, 240, 40), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
               QStringLiteral("Resource editor for Windows modules"));
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

// A short chime: three bell tones rising (C6, E6, G6), each a fundamental with a fainter inharmonic
// partial, decaying; 22050 Hz, 16-bit mono PCM in a RIFF WAVE file.
QByteArray Chime()
{
    const int rate = 22050;
    const int samples = rate * 13 / 10;
    std::vector<double> mix(samples, 0.0);
    const double notes[] = {1046.5, 1318.5, 1568.0};
    for (int n = 0; n < 3; ++n) {
        const int start = n * rate * 12 / 100;
        for (int i = start; i < samples; ++i) {
            const double t = double(i - start) / rate;
            const double attack = std::min(1.0, t / 0.004);
            const double envelope = attack * std::exp(-t * 4.2);
            mix[i] += envelope * (0.6 * std::sin(2 * M_PI * notes[n] * t) +
                                  0.25 * std::exp(-t * 6.0) * std::sin(2 * M_PI * notes[n] * 2.76 * t));
        }
    }
    QByteArray pcm;
    for (int i = 0; i < samples; ++i) {
        const double fadeOut = std::min(1.0, double(samples - i) / (rate * 0.05));
        const int v = int(std::lround(std::clamp(mix[i] * 0.45 * fadeOut, -1.0, 1.0) * 32767));
        PutWord(pcm, uint16_t(int16_t(v)));
    }
    QByteArray fmt;
    PutWord(fmt, 1); // PCM
    PutWord(fmt, 1);
    PutDWord(fmt, rate);
    PutDWord(fmt, rate * 2);
    PutWord(fmt, 2);
    PutWord(fmt, 16);
    return Chunk("RIFF", QByteArray("WAVE") + Chunk("fmt ", fmt) + Chunk("data", pcm));
}

// The credits the about box scrolls over the splash picture, UTF-16LE; "<version>" is filled in there.
QByteArray Credits()
{
    const QString text = QStringLiteral("Atelier\r\nVersion <version>\r\n\r\nResource editor for Windows modules\r\n\r\n"
                                        "by Lorn Kestovar\r\n\r\nBuilt with Qt\r\n");
    QByteArray bytes;
    for (const QChar c : text)
        PutWord(bytes, c.unicode());
    return bytes;
}

bool Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "glyphgen: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: glyphgen <repository root>\n");
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    root.mkpath(QStringLiteral("resources/glyphs"));
    root.mkpath(QStringLiteral("resources/cursors"));
    root.mkpath(QStringLiteral("docs"));

    std::vector<Glyph> glyphs = Glyphs();
    const Glyph hint{QStringLiteral("HINT_INFO_50_SMALL"), false, false, {}, nullptr};
    QString qrc = QStringLiteral("<RCC>\n    <qresource prefix=\"/res/BITMAP\">\n");
    std::vector<std::pair<QString, QImage>> loaded;
    for (const Glyph& g : glyphs) {
        const QImage image = Draw(g, 16);
        const QString file = QStringLiteral("glyphs/") + g.Name + (g.KeyedBmp ? QStringLiteral(".bmp") : QStringLiteral(".png"));
        const QImage stored = g.KeyedBmp ? Keyed(image) : image;
        if (!stored.save(root.filePath(QStringLiteral("resources/") + file)))
            return 1;
        qrc += QStringLiteral("        <file alias=\"%1\">%2</file>\n").arg(g.Name, file);
        loaded.emplace_back(g.Name, AsLoaded(QImage(root.filePath(QStringLiteral("resources/") + file))));
    }
    {
        // The hint's info sign: a round "i", drawn once in the hint's own size.
        const QImage image = DrawPlain([](QPainter& p) {
            p.setPen(Pen(QColor(20, 70, 160), 1));
            p.setBrush(QColor(60, 130, 230));
            p.drawEllipse(QPointF(8, 8), 7.2, 7.2);
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(8, 4.6), 1.4, 1.4);
            p.drawRoundedRect(QRectF(6.8, 6.8, 2.4, 6.2), 0.6, 0.6);
        }, 16);
        const QString file = QStringLiteral("glyphs/") + hint.Name + QStringLiteral(".png");
        if (!image.save(root.filePath(QStringLiteral("resources/") + file)))
            return 1;
        qrc += QStringLiteral("        <file alias=\"%1\">%2</file>\n").arg(hint.Name, file);
        loaded.emplace_back(hint.Name, image);
    }
    for (const DesignGlyph& g : DesignGlyphs()) {
        QImage image(g.Side, g.Side, QImage::Format_ARGB32);
        image.fill(0);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            g.Draw(p);
        }
        const QString file = QStringLiteral("glyphs/") + g.Name + (g.Keyed ? QStringLiteral(".bmp") : QStringLiteral(".png"));
        if (!(g.Keyed ? Keyed(image) : image).save(root.filePath(QStringLiteral("resources/") + file)))
            return 1;
        qrc += QStringLiteral("        <file alias=\"%1\">%2</file>\n").arg(g.Name, file);
        const QImage shown = AsLoaded(QImage(root.filePath(QStringLiteral("resources/") + file)));
        QImage cell(16, 16, QImage::Format_ARGB32);
        cell.fill(0);
        QPainter(&cell).drawImage((16 - g.Side) / 2, (16 - g.Side) / 2, shown);
        loaded.emplace_back(g.Name, cell);
    }
    qrc += QStringLiteral("    </qresource>\n    <qresource prefix=\"/res/CURSOR\">\n");
    for (const bool reject : {false, true}) {
        const QString name = reject ? QStringLiteral("DOCK_DRAG_REJECT") : QStringLiteral("DOCK_DRAG");
        if (!Write(root.filePath(QStringLiteral("resources/cursors/") + name + QStringLiteral(".cur")),
                   CursorFile(DockDrag(reject), 0, 0)))
            return 1;
        qrc += QStringLiteral("        <file alias=\"%1\">cursors/%1.cur</file>\n").arg(name);
    }
    qrc += QStringLiteral("    </qresource>\n    <qresource prefix=\"/res/ANICURSOR\">\n");
    std::vector<QByteArray> frames;
    for (int i = 0; i < 8; ++i)
        frames.push_back(CursorFile(BusyFrame(i), 0, 0));
    if (!Write(root.filePath(QStringLiteral("resources/cursors/KO_BUSY.ani")), AnimatedCursorFile(frames, 32, 6)))
        return 1;
    qrc += QStringLiteral("        <file alias=\"KO_BUSY\">cursors/KO_BUSY.ani</file>\n    </qresource>\n</RCC>\n");
    if (!Write(root.filePath(QStringLiteral("resources/glyphs.qrc")), qrc.toUtf8()))
        return 1;

    // Contact sheet: every glyph as the program hands it out, small/medium/large by normal/disabled/hot.
    const int cell = 40;
    const int label = 220;
    const int header = 40;
    QImage sheet(label + 9 * cell + 4 * cell, header + int(loaded.size() + 1) * cell, QImage::Format_ARGB32);
    sheet.fill(QColor(236, 236, 236));
    QPainter p(&sheet);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(11);
    p.setFont(f);
    p.setPen(Qt::black);
    const char* states[] = {"normal", "disabled", "hot"};
    for (int s = 0; s < 3; ++s)
        for (int t = 0; t < 3; ++t)
            p.drawText(QRect(label + (s * 3 + t) * cell, 0, cell, header), Qt::AlignCenter | Qt::TextWordWrap,
                       QStringLiteral("%1\n%2").arg(16 + (s == 1 ? 6 : s == 2 ? 16 : 0)).arg(QString::fromLatin1(states[t])));
    int row = 0;
    for (const auto& [name, image] : loaded) {
        const int y = header + row * cell;
        p.setPen(Qt::black);
        p.drawText(QRect(4, y, label - 8, cell), Qt::AlignVCenter | Qt::AlignLeft, name);
        for (int s = 0; s < 3; ++s) {
            const int side = s == 0 ? 16 : s == 1 ? 22 : 32;
            const QImage sized = side == 16 ? image
                : image.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_ARGB32);
            for (int t = 0; t < 3; ++t) {
                QImage shown = sized;
                if (t == 1)
                    AdjustHSLBitmap(sized, shown, 0, -255, 32);
                p.drawImage(label + (s * 3 + t) * cell + (cell - side) / 2, y + (cell - side) / 2, shown);
            }
        }
        ++row;
    }
    // The cursors, first frame of the busy one.
    const int y = header + row * cell;
    p.drawText(QRect(4, y, label - 8, cell), Qt::AlignVCenter, QStringLiteral("DOCK_DRAG, _REJECT, KO_BUSY"));
    p.drawImage(label, y + 4, DockDrag(false));
    p.drawImage(label + cell, y + 4, DockDrag(true));
    for (int i = 0; i < 8; ++i)
        p.drawImage(label + (2 + i) * cell, y + 4, BusyFrame(i));
    p.end();
    if (!sheet.save(root.filePath(QStringLiteral("docs/glyphs.png"))))
        return 1;

    root.mkpath(QStringLiteral("resources/splash"));
    const QImage splash = Splash();
    if (!splash.save(root.filePath(QStringLiteral("resources/splash/SPLASH.png"))) ||
        !Write(root.filePath(QStringLiteral("resources/splash/SPLASH.wav")), Chime()) ||
        !Write(root.filePath(QStringLiteral("resources/splash/CREDITS.txt")), Credits()) ||
        !Write(root.filePath(QStringLiteral("resources/splash.qrc")),
               "<RCC>\n"
               "    <qresource prefix=\"/res/PNG\">\n        <file alias=\"SPLASH\">splash/SPLASH.png</file>\n    </qresource>\n"
               "    <qresource prefix=\"/res/DISCO\">\n        <file alias=\"SPLASH\">splash/SPLASH.wav</file>\n    </qresource>\n"
               "    <qresource prefix=\"/res/TEXT\">\n        <file alias=\"CREDITS\">splash/CREDITS.txt</file>\n    </qresource>\n"
               "</RCC>\n"))
        return 1;
    std::printf("glyphgen: %d bitmaps, 3 cursors, splash picture, chime and credits\n", int(loaded.size()));
    return 0;
}
