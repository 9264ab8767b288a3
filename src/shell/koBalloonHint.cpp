#include "shell/koBalloonHint.h"

#include "shell/koFancyGlyphButton.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QRegion>
#include <QStyleOption>

#include <algorithm>

namespace {

constexpr int PointerStrip = 10;

QFont BoldFont(QFont font)
{
    font.setBold(true);
    return font;
}

} // namespace

TBalloonHint::TBalloonHint(QWidget* parent) : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint) {}

bool TBalloonHint::HasImage() const
{
    return FImages && FImageIndex >= 0 && FImageIndex < FImages->Count();
}

QString TBalloonHint::ShownTitle() const { return FDescription.isEmpty() ? QString() : FTitle; }

QString TBalloonHint::ShownText() const { return FDescription.isEmpty() ? FTitle : FDescription; }

QRect TBalloonHint::TextBounds(const QString& text) const
{
    const QFontMetrics metrics(font());
    QRect bounds = metrics.boundingRect(QRect(0, 0, 0x7FFF, 0x7FFF), Qt::AlignLeft | Qt::AlignTop, text);
    if (FMaxWidth > 0 && bounds.width() > FMaxWidth)
        bounds = metrics.boundingRect(QRect(0, 0, FMaxWidth, 0x7FFF),
                                      Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    return bounds;
}

QSize TBalloonHint::CalcHintSize() const
{
    const QSize image = HasImage() ? QSize(FImages->Width() + 8, FImages->Height() + 8) : QSize(0, 0);
    const QString title = ShownTitle();
    const QString text = ShownText();
    const QSize titleSize = title.isEmpty()
        ? QSize(0, 0)
        : QFontMetrics(BoldFont(font())).boundingRect(QRect(0, 0, 0x7FFF, 0x7FFF), Qt::AlignLeft, title).size();
    const QSize textSize = text.isEmpty() ? QSize(0, 0) : TextBounds(text).size();
    int w = std::max(titleSize.width(), textSize.width());
    if (FMaxWidth > 0)
        w = std::min(w, FMaxWidth);
    int h = 8 + titleSize.height() + textSize.height();
    if (!title.isEmpty() && !text.isEmpty())
        h += 4;
    int windowHeight = std::max(h + 4, image.height());
    if (HasPointer())
        windowHeight += PointerStrip;
    return QSize(w + image.width() + 12, windowHeight);
}

void TBalloonHint::ShowHint(const QPoint& globalPos)
{
    const QSize size = CalcHintSize();
    resize(size);
    move(FShownAbove ? globalPos - QPoint(0, size.height()) : globalPos);
    show();
}

QRect TBalloonHint::BodyRect() const
{
    QRect body = rect();
    if (HasPointer()) {
        if (FShownAbove)
            body.setBottom(body.bottom() - PointerStrip);
        else
            body.setTop(body.top() + PointerStrip);
    }
    return body;
}

QPainterPath TBalloonHint::Shape() const
{
    const QRect body = BodyRect();
    QPainterPath shape;
    if (!FThemesEnabled) {
        shape.addRect(body);
        return shape;
    }
    shape.addRoundedRect(QRectF(body), 2, 2);
    if (HasPointer()) {
        const int strip = FShownAbove ? PointerStrip + 1 : PointerStrip;
        const int stripTop = FShownAbove ? body.bottom() : 0;
        const int left = (width() - PointerStrip) / 2;
        const int top = stripTop + (strip - PointerStrip) / 2;
        const int right = left + PointerStrip;
        const int bottom = top + PointerStrip;
        QPolygonF pointer;
        if (FShownAbove)
            pointer << QPointF(left, top) << QPointF(right, top) << QPointF(left, bottom);
        else
            pointer << QPointF(left, top) << QPointF(right, bottom) << QPointF(left, bottom);
        pointer << pointer.first();
        QPainterPath triangle;
        triangle.addPolygon(pointer);
        shape = shape.united(triangle);
    }
    return shape;
}

void TBalloonHint::resizeEvent(QResizeEvent* event)
{
    if (!FThemed && FThemesEnabled)
        setMask(QRegion(Shape().toFillPolygon().toPolygon()));
    else
        clearMask();
    QWidget::resizeEvent(event);
}

void TBalloonHint::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QString title = ShownTitle();
    const QString text = ShownText();
    if (FThemed) {
        QStyleOption option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_PanelTipLabel, &option, &painter, this);
    } else {
        if (FThemesEnabled)
            painter.fillRect(rect(), QColor(0, 255, 0));
        const QPainterPath shape = Shape();
        painter.setClipPath(shape);
        QLinearGradient gradient(0, 0, 0, height());
        gradient.setColorAt(0, clGradientInactiveCaption());
        gradient.setColorAt(1, QColor(227, 228, 239));
        painter.fillRect(rect(), gradient);
        painter.setClipping(false);
        painter.setPen(QColor(118, 118, 118));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(shape);
    }

    const QRect body = BodyRect();
    QRect textArea = body.adjusted(4, 4, -4, 0);
    if (HasImage()) {
        FImages->Draw(painter, body.left() + 4, body.top() + 4, FImageIndex);
        textArea.setLeft(textArea.left() + FImages->Width() + 8);
    }
    painter.setPen(Qt::black);
    if (!title.isEmpty()) {
        painter.setFont(BoldFont(font()));
        QRect used;
        painter.drawText(textArea, int(FTitleAlignment | Qt::AlignTop), title, &used);
        textArea.setTop(used.bottom() + 1 + 4);
    }
    painter.setFont(font());
    painter.drawText(textArea, int(FDescriptionAlignment | Qt::AlignTop | Qt::TextWordWrap), text);
}
