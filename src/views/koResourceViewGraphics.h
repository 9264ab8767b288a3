// The preview of pictures: bitmaps, icons, cursors and any data a registered image format recognises,
// in a main pane and an optional second pane to the right or below.
#pragma once

#include "shell/koResourceView.h"

#include <QCursor>
#include <QImage>
#include <QPoint>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QSplitter;
class TGraphic;
class TGraphicResourceItemView;

enum TSecondaryView { svNone, svRight, svBottom };

// Where a pane of W x H draws a picture of w x h: the whole pane when stretched; the main pane keeps a
// picture that fits at its own size; otherwise scaled to fit with its aspect kept. Always centred.
QRect GraphicTargetRect(const QSize& Pane, const QSize& Image, bool Stretch, bool Primary);

// A pane of the view: paints the picture and hands its mouse to the view.
class TGraphicPaintBox : public QWidget {
    Q_OBJECT

public:
    TGraphicPaintBox(TGraphicResourceItemView* View, bool Primary, QWidget* Parent);
    bool Primary() const { return FPrimary; }

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    TGraphicResourceItemView* FView;
    bool FPrimary;
};

class TGraphicResourceItemView : public TCustomResourceItemView {
    Q_OBJECT

public:
    explicit TGraphicResourceItemView(QWidget* Parent = nullptr);
    ~TGraphicResourceItemView() override;

    void SetResourceItem(TCustomResourceItem* Item) override;
    // Stretches the picture over Rect; nothing without a picture.
    void Draw(QPainter& Canvas, const QRect& Rect) override;
    bool GetImageSize(QSize& Size) override;
    QString GetCaption() override;
    // A reload that fails on a change shows its message in the strip: the change itself went through.
    void ResourceItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification) override;

    TGraphic* Image() const { return FImage.get(); }
    // Shows a copy of G (an icon becomes a bitmap); nullptr clears the view.
    void SetImage(const TGraphic* G);

    TSecondaryView SecondaryView() const { return FSecondaryView; }

    QWidget* PanelError;
    QLabel* Image1;
    QLabel* LabelError;
    QWidget* PanelPrimary;
    TGraphicPaintBox* PaintBoxPrimary;
    QSplitter* SplitterVertical;
    QWidget* PanelRight;
    TGraphicPaintBox* PaintBoxSecondary;
    QSplitter* SplitterHorizontal;
    QWidget* PanelBottom;
    QAction* ActionView1Transparent;
    QAction* ActionView1Stretch;
    QAction* ActionView2Transparent;
    QAction* ActionView2Stretch;
    QMenu* PopupActionBar1;
    QMenu* PopupActionBar2;

protected:
    void LoadView() override;
    // The bytes the image formats look at: the item's data as it is.
    virtual void GetImageData(TCustomResourceItem* Item, TStream& Stream);

private:
    friend class TGraphicPaintBox;
    void ClearImage();
    void ApplyTransparency();
    void ShowError(const QString& Message);
    // The live cursor of a cursor item, made on first use; none when it cannot be made.
    const QCursor* GetTestCursor();
    void UpdateTestCursor();
    void SetSecondaryView(TSecondaryView Value);
    void SplitterVerticalMoved();
    void SplitterHorizontalMoved();
    // The picture as shown, with or without its transparency; cached per setting.
    const QImage& ShownImage(bool Transparent);
    void PaintPane(TGraphicPaintBox* Box, QPainter& Canvas);
    void PaneMousePress(TGraphicPaintBox* Box, const QPoint& Pos);
    void PaneMouseMove(TGraphicPaintBox* Box, const QPoint& Pos);
    void PaneMouseRelease();

    TSecondaryView FSecondaryView = svNone;
    std::unique_ptr<TGraphic> FImage;
    std::optional<QImage> FShown[2];
    std::optional<QCursor> FTestCursor;
    bool FHasTestCursor = false;
    bool FHasHotSpot = false;
    // The scribble of the held mouse button, drawn inverted over the pane it was started on.
    TGraphicPaintBox* FScribbleBox = nullptr;
    std::vector<QPoint> FScribble;
    QPoint FLastHotSpotPos;
    bool FNeedRepaint = false;
    QString FImageType;
    bool FLoaded = false;
};

class TGraphicResourceItemViewFactory {
    RESOURCE_VIEW_FACTORY_CLASS(TGraphicResourceItemViewFactory, TCustomResourceItemViewFactory)
public:
    static bool Handles(TCustomResourceItem* ResourceItem);
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName, TStream* Data);
    static IResourceItemViewPtr CreateView();
};

void koResourceViewGraphics_Initialize();
void koResourceViewGraphics_Finalize();
