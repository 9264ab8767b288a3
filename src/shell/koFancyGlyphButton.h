#pragma once

// A flat picture button with a title and a description under the picture, drawn in colours that
// follow its hot, selected (down) and inactive states. The workspace's variant and frame buttons
// derive from it and draw their own picture in UpdateGlyph.
//
// An invalid QColor stands for "none": an element whose colour is none is not drawn.

#include <QAbstractButton>
#include <QColor>
#include <QImage>
#include <QString>

// The system colours the defaults name; Linux has no such colours, so the caption gradients keep
// the usual desktop values and the highlight follows the application palette.
QColor clGradientInactiveCaption();
QColor clGradientActiveCaption();
QColor clInactiveCaption();
QColor clHighlight();
QColor clHighlightText();

// The colour moved towards white (positive percent) or black (negative percent).
QColor FancyHighLightColor(const QColor& color, int percent);

// The colours of one paint: outline, divider, glyph area, text area and font.
struct TFancyGlyphColors
{
    QColor Outline;
    QColor Divider;
    QColor Glyph;
    QColor Text;
    QColor Font;
};

class TCustomFancyGlyphButton : public QAbstractButton
{
    Q_OBJECT

public:
    explicit TCustomFancyGlyphButton(QWidget* owner = nullptr);

    bool Active() const { return FActive; }
    void SetActive(bool value);
    QString Title() const { return FTitle; }
    void SetTitle(const QString& value);
    QString Description() const { return FDescription; }
    void SetDescription(const QString& value);
    // The texts of the last rebuild, as UpdateGlyph left them.
    QString CurrentTitle() const { return FCurrentTitle; }
    QString CurrentDescription() const { return FCurrentDescription; }
    const QImage& Glyph() const { return FGlyph; }

    // 0-based position among the fancy glyph buttons of the parent; -1 without a parent.
    int ButtonIndex() const;

    // Rebuilds caption, height and glyph when a rebuild is scheduled (done before every paint).
    void UpdateButton();

    // The colours for a state; Hot means the mouse is over the button, Down that it is pressed or
    // checked.
    TFancyGlyphColors ChooseColors(bool hot, bool down) const;

    bool MouseInControl() const { return FMouseInControl; }

    QSize sizeHint() const override;

#define FANCY_COLOR(Name)                                                                          \
    QColor Name() const { return F##Name; }                                                        \
    void Set##Name(const QColor& value) { F##Name = value; update(); }
    FANCY_COLOR(OutlineColor)
    FANCY_COLOR(DividerColor)
    FANCY_COLOR(SelectedOutlineColor)
    FANCY_COLOR(SelectedDividerColor)
    FANCY_COLOR(SelectedGlyphColor)
    FANCY_COLOR(SelectedTextColor)
    FANCY_COLOR(SelectedFontColor)
    FANCY_COLOR(HotOutlineColor)
    FANCY_COLOR(HotDividerColor)
    FANCY_COLOR(HotTextColor)
    FANCY_COLOR(HotGlyphColor)
    FANCY_COLOR(HotFontColor)
    FANCY_COLOR(InactiveOutlineColor)
    FANCY_COLOR(InactiveTextColor)
    FANCY_COLOR(InactiveGlyphColor)
    FANCY_COLOR(InactiveDividerColor)
    FANCY_COLOR(InactiveFontColor)
#undef FANCY_COLOR

protected:
    // Draws the picture into glyph, which arrives empty (null), and may change the texts.
    virtual void UpdateGlyph(QImage& glyph, QString& title, QString& description) = 0;

    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

    // The caption, height and glyph are rebuilt before the next paint.
    void ScheduleUpdate();

private:
    void GroupToggled(bool checked);

    bool FNeedUpdate = true;
    bool FActive = false;
    bool FMouseInControl = false;
    int FButtonHeight = 100;
    QString FTitle;
    QString FDescription;
    QString FCurrentTitle;
    QString FCurrentDescription;
    QImage FGlyph;

    QColor FOutlineColor;
    QColor FDividerColor;
    QColor FSelectedOutlineColor;
    QColor FSelectedDividerColor;
    QColor FSelectedGlyphColor;
    QColor FSelectedTextColor;
    QColor FSelectedFontColor;
    QColor FHotOutlineColor;
    QColor FHotDividerColor;
    QColor FHotTextColor;
    QColor FHotGlyphColor;
    QColor FHotFontColor;
    QColor FInactiveOutlineColor;
    QColor FInactiveTextColor;
    QColor FInactiveGlyphColor;
    QColor FInactiveDividerColor;
    QColor FInactiveFontColor;
};
