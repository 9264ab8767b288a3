#pragma once

// The balloon hint of the information pictures: a title in bold over a wrapped description, with an
// optional picture, in a gradient body with a pointer towards its control. Qt's tool tip cannot take
// a title, a picture or a width limit, so this is a tool-tip window of our own.

#include "shell/koImageList.h"

#include <QPainterPath>
#include <QWidget>

enum TBalloonHintStyle { bhsStandard, bhsBalloon };

class TBalloonHint : public QWidget
{
    Q_OBJECT

public:
    explicit TBalloonHint(QWidget* parent = nullptr);

    QString Title() const { return FTitle; }
    void SetTitle(const QString& value) { FTitle = value; update(); }
    QString Description() const { return FDescription; }
    void SetDescription(const QString& value) { FDescription = value; update(); }
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* value) { FImages = value; update(); }
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int value) { FImageIndex = value; update(); }
    TBalloonHintStyle Style() const { return FStyle; }
    void SetStyle(TBalloonHintStyle value) { FStyle = value; update(); }

    bool Themed() const { return FThemed; }
    void SetThemed(bool value) { FThemed = value; update(); }
    // The widest text; 0 or less for no limit.
    int MaxWidth() const { return FMaxWidth; }
    void SetMaxWidth(int value) { FMaxWidth = value; }
    Qt::Alignment TitleAlignment() const { return FTitleAlignment; }
    void SetTitleAlignment(Qt::Alignment value) { FTitleAlignment = value; update(); }
    Qt::Alignment DescriptionAlignment() const { return FDescriptionAlignment; }
    void SetDescriptionAlignment(Qt::Alignment value) { FDescriptionAlignment = value; update(); }

    // Whether the desktop draws themed; off gives the plain rectangle without pointer.
    bool ThemesEnabled() const { return FThemesEnabled; }
    void SetThemesEnabled(bool value) { FThemesEnabled = value; }
    // Shown above its control (pointer at the bottom) or below it (pointer at the top).
    bool ShownAbove() const { return FShownAbove; }
    void SetShownAbove(bool value) { FShownAbove = value; }

    // The window size the texts and picture need.
    QSize CalcHintSize() const;
    // Sizes the window and shows it with its pointer (or top-left corner) at globalPos.
    void ShowHint(const QPoint& globalPos);

    // Body and pointer of the window as it is sized now.
    QRect BodyRect() const;
    QPainterPath Shape() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool HasPointer() const { return FStyle == bhsBalloon && FThemesEnabled; }
    bool HasImage() const;
    // The title shown in bold (empty when there is none) and the text under it.
    QString ShownTitle() const;
    QString ShownText() const;
    QRect TextBounds(const QString& text) const;

    QString FTitle;
    QString FDescription;
    TCustomImageList* FImages = nullptr;
    int FImageIndex = -1;
    TBalloonHintStyle FStyle = bhsBalloon;
    bool FThemed = true;
    int FMaxWidth = 200;
    Qt::Alignment FTitleAlignment = Qt::AlignLeft;
    Qt::Alignment FDescriptionAlignment = Qt::AlignLeft;
    bool FThemesEnabled = true;
    bool FShownAbove = true;
};
