#include "shell/koFancyGlyphButton.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

QColor clGradientInactiveCaption() { return QColor(215, 228, 242); }
QColor clGradientActiveCaption() { return QColor(185, 209, 234); }
QColor clInactiveCaption() { return QColor(191, 205, 219); }
QColor clHighlight() { return QApplication::palette().color(QPalette::Active, QPalette::Highlight); }
QColor clHighlightText()
{
    return QApplication::palette().color(QPalette::Active, QPalette::HighlightedText);
}

QColor FancyHighLightColor(const QColor& color, int percent)
{
    if (!color.isValid())
        return color;
    const auto shift = [percent](int c) {
        return percent >= 0 ? c + (255 - c) * percent / 100 : c + c * percent / 100;
    };
    return QColor(shift(color.red()), shift(color.green()), shift(color.blue()));
}

namespace {

constexpr int CornerRadius = 4; // a corner of 8 is the ellipse's width

bool IsNone(const QColor& color) { return !color.isValid(); }

// The down state falls back to the normal look when there is no selected colour to show.
bool LooksUp(bool down, bool active, const QColor& selected, const QColor& inactive)
{
    return !down || (IsNone(selected) && (active || IsNone(inactive)));
}

QColor SelectedOrInactive(bool active, const QColor& selected, const QColor& inactive)
{
    return active || IsNone(inactive) ? selected : inactive;
}

QColor FrameColor(bool hot, bool down, bool active, const QColor& normal, const QColor& hotColor,
                  const QColor& selected, const QColor& inactive)
{
    if (hot && !IsNone(hotColor))
        return hotColor;
    if (LooksUp(down, active, selected, inactive))
        return normal;
    return SelectedOrInactive(active, selected, inactive);
}

QColor AreaColor(bool hot, bool down, bool active, const QColor& hotColor, const QColor& selected,
                 const QColor& inactive)
{
    if (LooksUp(down, active, selected, inactive))
        return hot ? hotColor : QColor();
    return SelectedOrInactive(active, selected, inactive);
}

} // namespace

TCustomFancyGlyphButton::TCustomFancyGlyphButton(QWidget* owner)
    : QAbstractButton(owner)
    , FOutlineColor(clGradientInactiveCaption())
    , FSelectedOutlineColor(clGradientInactiveCaption())
    , FSelectedDividerColor(clInactiveCaption())
    , FSelectedGlyphColor(clGradientInactiveCaption())
    , FSelectedTextColor(clHighlight())
    , FSelectedFontColor(clHighlightText())
    , FHotOutlineColor(clGradientActiveCaption())
{
    FHotTextColor = FancyHighLightColor(FSelectedTextColor, 60);
    FHotGlyphColor = FancyHighLightColor(clGradientInactiveCaption(), 60);
    FInactiveTextColor = FancyHighLightColor(FSelectedTextColor, 40);
    FInactiveGlyphColor = FancyHighLightColor(FSelectedGlyphColor, 40);
    FInactiveFontColor = FancyHighLightColor(FSelectedFontColor, 40);
    resize(112, 100);
    setAttribute(Qt::WA_Hover);
    connect(this, &QAbstractButton::toggled, this, &TCustomFancyGlyphButton::GroupToggled);
}

void TCustomFancyGlyphButton::SetActive(bool value)
{
    if (FActive == value)
        return;
    FActive = value;
    update();
}

void TCustomFancyGlyphButton::SetTitle(const QString& value)
{
    if (FTitle == value)
        return;
    FTitle = value;
    ScheduleUpdate();
}

void TCustomFancyGlyphButton::SetDescription(const QString& value)
{
    if (FDescription == value)
        return;
    FDescription = value;
    ScheduleUpdate();
}

void TCustomFancyGlyphButton::ScheduleUpdate()
{
    if (FNeedUpdate)
        return;
    FNeedUpdate = true;
    update();
}

int TCustomFancyGlyphButton::ButtonIndex() const
{
    const QWidget* parent = parentWidget();
    if (!parent)
        return -1;
    int index = 0;
    for (const QObject* child : parent->children()) {
        if (child == this)
            return index;
        if (qobject_cast<const TCustomFancyGlyphButton*>(child))
            ++index;
    }
    return -1;
}

void TCustomFancyGlyphButton::UpdateButton()
{
    if (!FNeedUpdate)
        return;
    FCurrentTitle = FTitle;
    FCurrentDescription = FDescription;
    FNeedUpdate = false;
    FGlyph = QImage();
    UpdateGlyph(FGlyph, FCurrentTitle, FCurrentDescription);

    FButtonHeight = FGlyph.isNull() ? 36 : FGlyph.height() + 36;
    resize(width(), FButtonHeight);
    updateGeometry();

    // Qt breaks lines at a line feed where the caption of the desktop joins with a carriage return.
    QString caption;
    if (!FCurrentTitle.isEmpty() && !FCurrentDescription.isEmpty())
        caption = FCurrentTitle + QLatin1Char('\n') + FCurrentDescription;
    else if (!FCurrentTitle.isEmpty())
        caption = FCurrentTitle;
    else if (!FCurrentDescription.isEmpty())
        caption = FCurrentDescription;
    else
        caption = QStringLiteral("#%1").arg(ButtonIndex() + 1);
    setText(caption);
    setToolTip(caption);
}

QSize TCustomFancyGlyphButton::sizeHint() const { return QSize(112, FButtonHeight); }

TFancyGlyphColors TCustomFancyGlyphButton::ChooseColors(bool hot, bool down) const
{
    TFancyGlyphColors colors;
    colors.Outline = FrameColor(hot, down, FActive, FOutlineColor, FHotOutlineColor,
                                FSelectedOutlineColor, FInactiveOutlineColor);
    colors.Divider = FrameColor(hot, down, FActive, FDividerColor, FHotDividerColor,
                                FSelectedDividerColor, FInactiveDividerColor);
    colors.Glyph =
        AreaColor(hot, down, FActive, FHotGlyphColor, FSelectedGlyphColor, FInactiveGlyphColor);
    colors.Text = AreaColor(hot, down, FActive, FHotTextColor, FSelectedTextColor, FInactiveTextColor);
    if (LooksUp(down, FActive, FSelectedFontColor, FInactiveFontColor))
        colors.Font = hot && !IsNone(FHotFontColor) ? FHotFontColor : palette().color(QPalette::ButtonText);
    else
        colors.Font = SelectedOrInactive(FActive, FSelectedFontColor, FInactiveFontColor);
    return colors;
}

void TCustomFancyGlyphButton::paintEvent(QPaintEvent*)
{
    UpdateButton();
    const bool hot = FMouseInControl;
    const bool down = isDown() || isChecked();
    const TFancyGlyphColors colors = ChooseColors(hot, down);

    QPainter painter(this);
    const QRect r = rect();
    const int divider = FGlyph.isNull() ? 0 : FGlyph.height() + 4;
    const QRect glyphArea(0, 0, r.width(), divider);
    const QRect textArea(0, divider, r.width(), r.height() - divider);

    if (hot || down) {
        QPainterPath region;
        region.addRoundedRect(QRectF(r), CornerRadius, CornerRadius);
        painter.save();
        painter.setClipPath(region);
        if (!FGlyph.isNull()) {
            if (!IsNone(colors.Glyph))
                painter.fillRect(glyphArea, colors.Glyph);
            if (!IsNone(colors.Divider)) {
                painter.setPen(colors.Divider);
                painter.drawLine(0, divider - 1, r.width() - 1, divider - 1);
            }
        }
        if (!IsNone(colors.Text))
            painter.fillRect(textArea, colors.Text);
        painter.restore();
    }

    if (!IsNone(colors.Outline)) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(colors.Outline);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), CornerRadius, CornerRadius);
        painter.restore();
    }

    if (!FGlyph.isNull())
        painter.drawImage((r.width() - FGlyph.width()) / 2, 2, FGlyph);

    if (!IsNone(colors.Font)) {
        const QRect bounds = textArea.adjusted(2, 0, -2, 0);
        const QFontMetrics metrics(font());
        QStringList lines = text().split(QLatin1Char('\n'));
        int boxHeight = 0;
        for (QString& line : lines) {
            line = metrics.elidedText(line, Qt::ElideRight, bounds.width());
            boxHeight += metrics.height();
        }
        int y = bounds.top() + (bounds.height() - boxHeight) / 2;
        painter.setPen(colors.Font);
        painter.setFont(font());
        for (const QString& line : lines) {
            painter.drawText(QRect(bounds.left(), y, bounds.width(), metrics.height()),
                             Qt::AlignHCenter | Qt::AlignTop, line);
            y += metrics.height();
        }
    }
}

void TCustomFancyGlyphButton::enterEvent(QEnterEvent* event)
{
    FMouseInControl = true;
    update();
    QAbstractButton::enterEvent(event);
}

void TCustomFancyGlyphButton::leaveEvent(QEvent* event)
{
    FMouseInControl = false;
    update();
    QAbstractButton::leaveEvent(event);
}

// Qt unchecks the previous button of an exclusive group while the new one is already checked.
void TCustomFancyGlyphButton::GroupToggled(bool checked)
{
    if (checked)
        return;
    QList<QAbstractButton*> peers;
    if (QButtonGroup* buttonGroup = group())
        peers = buttonGroup->buttons();
    else if (autoExclusive() && parentWidget())
        peers = parentWidget()->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly);
    for (QAbstractButton* peer : peers)
        if (peer != this && peer->isChecked()) {
            SetActive(false);
            return;
        }
}
