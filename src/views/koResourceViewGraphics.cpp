#include "koResourceViewGraphics.h"

#include "kinds/koResourceItemBitmap.h"
#include "kinds/koResourceItemIconCursor.h"
#include "kinds/koResourceItemImage.h"
#include "platform/Bitmap.h"
#include "platform/Icon.h"
#include "platform/Streams.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QSplitter>
#include <QVBoxLayout>
#include <cmath>

namespace {
const char* const SCursorError = "Failed to load live cursor preview";
const char* const STransparent = "View as transparent image";
const char* const SStretch = "Stretch";
const char* const SImage = "Image";
// Below this a dragged second pane closes.
const int MinSecondarySize = 50;

QString Str(const char* Text) { return QString::fromUtf8(Text); }

// The error sign of the error strip: a red disc with a white cross.
QPixmap ErrorGlyph()
{
    QImage image(22, 22, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x9E, 0x1B, 0x1B), 1));
    painter.setBrush(QColor(0xE0, 0x30, 0x30));
    painter.drawEllipse(QRectF(1.5, 1.5, 19, 19));
    painter.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(7.5, 7.5), QPointF(14.5, 14.5));
    painter.drawLine(QPointF(14.5, 7.5), QPointF(7.5, 14.5));
    return QPixmap::fromImage(image);
}

QWidget* WhitePanel(QWidget* Parent)
{
    auto* panel = new QWidget(Parent);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, Qt::white);
    panel->setPalette(palette);
    panel->setMinimumSize(1, 1);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return panel;
}

QSplitter* PaneSplitter(Qt::Orientation Orientation, QWidget* Parent)
{
    auto* splitter = new QSplitter(Orientation, Parent);
    splitter->setHandleWidth(4);
    splitter->setChildrenCollapsible(false);
    splitter->setOpaqueResize(true);
    return splitter;
}

// Gives the second widget of the splitter Size pixels, the first the rest.
void SetPaneSize(QSplitter* Splitter, int Size)
{
    const QList<int> sizes = Splitter->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    Splitter->setSizes({std::max(1, total - Size), Size});
}

QAction* CheckAction(const char* Caption, QObject* Parent)
{
    auto* action = new QAction(Str(Caption), Parent);
    action->setCheckable(true);
    return action;
}

// What the platform bitmap makes of a picture item: the bitmap kinds hand over their bitmap; icon and
// cursor images paint themselves, their screen-inverting pixels in a colour of their own (no picture
// can invert the screen); other items give their bitmap with its masks folded into alpha
// (screen-inverting pixels show black).
std::unique_ptr<TBitmap> BitmapFromItem(TBasicGraphicResourceItem* Item)
{
    if (auto* bitmapItem = dynamic_cast<TCustomBitmapResourceItem*>(Item))
        return std::make_unique<TBitmap>(bitmapItem->Bitmap());
    if (auto* iconItem = dynamic_cast<TCustomIconCursorResourceItem*>(Item)) {
        auto bitmap = std::make_unique<TBitmap>();
        iconItem->AssignTo(*bitmap);
        return bitmap;
    }
    auto* transparent = dynamic_cast<IGraphicTransparentResourceItem*>(Item);
    if (!transparent) return nullptr;
    std::unique_ptr<TBitmap> bitmap, mask, inverseMask;
    transparent->GetBitmaps(bitmap, mask, inverseMask);
    if (!bitmap || (!mask && !inverseMask)) return bitmap;
    QImage image = bitmap->ToQImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const bool inside = mask && x < mask->Width() && y < mask->Height();
            const bool inverting = inverseMask && x < inverseMask->Width() && y < inverseMask->Height() &&
                                   inverseMask->PixelIndex(x, y) != 0;
            if (inverting)
                line[x] = qRgba(0, 0, 0, 255);
            else if (inside && mask->PixelIndex(x, y) == 0)
                line[x] = qRgba(qRed(line[x]), qGreen(line[x]), qBlue(line[x]), 0);
        }
    }
    return std::make_unique<TBitmap>(TBitmap::FromQImage(image));
}

// The caption a picture class gives: its name without a leading "T" and a trailing "Image".
QString GraphicCaption(const TGraphic& Graphic)
{
    QString name = QString::fromLatin1(Graphic.ClassName());
    if (name.startsWith(QLatin1Char('T'), Qt::CaseInsensitive)) name.remove(0, 1);
    if (name.endsWith(QLatin1String("Image"), Qt::CaseInsensitive)) name.chop(5);
    return name;
}
} // namespace

QRect GraphicTargetRect(const QSize& Pane, const QSize& Image, bool Stretch, bool Primary)
{
    const int W = Pane.width(), H = Pane.height();
    const int w = Image.width(), h = Image.height();
    if (Stretch) return QRect(0, 0, W, H);
    int width = w, height = h;
    const bool fits = w <= W && h <= H;
    if (!(Primary && fits) && w > 0 && h > 0) {
        const double r = double(w) / double(h);
        if (w > h) {
            width = W;
            height = int(std::trunc(W / r));
            if (height > H) {
                height = H;
                width = int(std::trunc(H * r));
            }
        } else {
            height = H;
            width = int(std::trunc(H * r));
            if (width > W) {
                width = W;
                height = int(std::trunc(W / r));
            }
        }
    }
    return QRect((W - width) / 2, (H - height) / 2, width, height);
}

// TGraphicPaintBox

TGraphicPaintBox::TGraphicPaintBox(TGraphicResourceItemView* View, bool Primary, QWidget* Parent)
    : QWidget(Parent), FView(View), FPrimary(Primary)
{
    // Every pixel is painted here.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setContextMenuPolicy(Qt::CustomContextMenu);
}

void TGraphicPaintBox::paintEvent(QPaintEvent*)
{
    QPainter canvas(this);
    FView->PaintPane(this, canvas);
}

void TGraphicPaintBox::mousePressEvent(QMouseEvent* Event)
{
    if (Event->button() == Qt::LeftButton) FView->PaneMousePress(this, Event->position().toPoint());
    QWidget::mousePressEvent(Event);
}

void TGraphicPaintBox::mouseMoveEvent(QMouseEvent* Event)
{
    if (Event->buttons() & Qt::LeftButton) FView->PaneMouseMove(this, Event->position().toPoint());
    QWidget::mouseMoveEvent(Event);
}

void TGraphicPaintBox::mouseReleaseEvent(QMouseEvent* Event)
{
    if (Event->button() == Qt::LeftButton) FView->PaneMouseRelease();
    QWidget::mouseReleaseEvent(Event);
}

// TGraphicResourceItemView

TGraphicResourceItemView::TGraphicResourceItemView(QWidget* Parent) : TCustomResourceItemView(Parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    const TViewErrorStrip strip = CreateViewErrorStrip(this, ErrorGlyph(), Str(SCursorError));
    PanelError = strip.Panel;
    Image1 = strip.Image;
    LabelError = strip.Label;
    layout->addWidget(PanelError);

    // The bottom pane spans the whole width; the right pane sits beside the main pane above it.
    SplitterHorizontal = PaneSplitter(Qt::Vertical, this);
    SplitterVertical = PaneSplitter(Qt::Horizontal, SplitterHorizontal);
    PanelPrimary = WhitePanel(SplitterVertical);
    PaintBoxPrimary = new TGraphicPaintBox(this, true, PanelPrimary);
    PanelPrimary->layout()->addWidget(PaintBoxPrimary);
    PanelRight = WhitePanel(SplitterVertical);
    PaintBoxSecondary = new TGraphicPaintBox(this, false, PanelRight);
    PanelRight->layout()->addWidget(PaintBoxSecondary);
    PanelBottom = WhitePanel(SplitterHorizontal);
    SplitterVertical->addWidget(PanelPrimary);
    SplitterVertical->addWidget(PanelRight);
    SplitterVertical->setStretchFactor(0, 1);
    SplitterVertical->setStretchFactor(1, 0);
    SplitterHorizontal->addWidget(SplitterVertical);
    SplitterHorizontal->addWidget(PanelBottom);
    SplitterHorizontal->setStretchFactor(0, 1);
    SplitterHorizontal->setStretchFactor(1, 0);
    SplitterVertical->setSizes({1000, 1});
    SplitterHorizontal->setSizes({1000, 1});
    layout->addWidget(SplitterHorizontal, 1);
    connect(SplitterVertical, &QSplitter::splitterMoved, this, [this] { SplitterVerticalMoved(); });
    connect(SplitterHorizontal, &QSplitter::splitterMoved, this, [this] { SplitterHorizontalMoved(); });

    ActionView1Transparent = CheckAction(STransparent, this);
    ActionView1Stretch = CheckAction(SStretch, this);
    ActionView2Transparent = CheckAction(STransparent, this);
    ActionView2Stretch = CheckAction(SStretch, this);
    for (QAction* action : {ActionView1Transparent, ActionView1Stretch})
        connect(action, &QAction::toggled, PaintBoxPrimary, qOverload<>(&QWidget::update));
    for (QAction* action : {ActionView2Transparent, ActionView2Stretch})
        connect(action, &QAction::toggled, PaintBoxSecondary, qOverload<>(&QWidget::update));
    PopupActionBar1 = new QMenu(this);
    PopupActionBar1->addActions({ActionView1Transparent, ActionView1Stretch});
    PopupActionBar2 = new QMenu(this);
    PopupActionBar2->addActions({ActionView2Transparent, ActionView2Stretch});
    connect(PaintBoxPrimary, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupActionBar1->popup(PaintBoxPrimary->mapToGlobal(pos)); });
    connect(PaintBoxSecondary, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupActionBar2->popup(PaintBoxSecondary->mapToGlobal(pos)); });
}

TGraphicResourceItemView::~TGraphicResourceItemView() { SetImage(nullptr); }

void TGraphicResourceItemView::SetResourceItem(TCustomResourceItem* Item)
{
    TCustomResourceItemView::SetResourceItem(Item);
    FHasHotSpot = dynamic_cast<IGraphicHotspotResourceItem*>(Item) != nullptr;
}

void TGraphicResourceItemView::ResourceItemNotification(TCustomResourceItem* Item,
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

void TGraphicResourceItemView::ClearImage()
{
    FImage.reset();
    FShown[0].reset();
    FShown[1].reset();
    FTestCursor.reset();
    FHasTestCursor = false;
    FImageType.clear();
}

void TGraphicResourceItemView::SetImage(const TGraphic* G)
{
    ClearImage();
    PaintBoxPrimary->update();
    PaintBoxSecondary->update();
    UpdateTestCursor();
    if (!G) return;
    if (auto* icon = dynamic_cast<const TIcon*>(G)) {
        // The icon's own alpha stands for its transparent and screen pixels.
        FImage = std::make_unique<TBitmap>(TBitmap::FromQImage(icon->ToQImage()));
    } else {
        FImage = G->Clone();
    }
}

void TGraphicResourceItemView::GetImageData(TCustomResourceItem* Item, TStream& Stream) { Item->SaveToStream(Stream); }

void TGraphicResourceItemView::ShowError(const QString& Message)
{
    LabelError->setText(Message);
    PanelError->show();
}

void TGraphicResourceItemView::LoadView()
{
    ClearImage();
    PanelError->hide();
    PaintBoxPrimary->show();
    TCustomResourceItem* item = ResourceItem();
    if (!item) return;
    const TResourceIdent type = item->ResourceType();
    const bool ordinal = IsOrdinalResourceIdent(type);
    const uint16_t typeID = ordinal ? ResourceIdentOrdinal(type) : 0;
    FHasTestCursor = ordinal && typeID == RT_CURSOR;

    if (auto* graphicItem = dynamic_cast<TBasicGraphicResourceItem*>(item)) {
        FImage = BitmapFromItem(graphicItem);
        FImageType = ItemCaption();
    } else if (ordinal && typeID == RT_ICON) {
        const std::unique_ptr<TIcon> icon = ItemToIcon(item, true);
        SetImage(icon.get());
        FImageType = ResourceTypeToFriendlyName(type);
    } else if (ordinal && typeID == RT_CURSOR) {
        // Raw cursor data is previewed as a picture only.
        const std::unique_ptr<TIcon> cursor = ItemToIcon(item, false);
        SetImage(cursor.get());
        FImageType = ResourceTypeToFriendlyName(type);
    } else if (ordinal && typeID == RT_BITMAP) {
        FImage = TCustomBitmapResourceItem::ItemToBitmap(item);
        if (FImage) FImageType = ResourceTypeToFriendlyName(type);
    }

    if (!FImage) {
        TMemoryStream data;
        GetImageData(item, data);
        data.SetPosition(0);
        if (const TImageFormat* format = ImageFormats().Find(&data)) {
            // Data a format recognises but cannot show: the message in the strip, the panes stay white.
            try {
                std::unique_ptr<TGraphic> graphic = format->GraphicClass()->Create();
                graphic->LoadFromStream(data);
                FImage = std::move(graphic);
            } catch (const Exception& error) {
                ShowError(error.Message());
            }
        }
    }

    ApplyTransparency();
    if (FImage && FImageType.isEmpty()) FImageType = GraphicCaption(*FImage);
    PaintBoxPrimary->update();
    PaintBoxSecondary->update();
    if (!FLoaded && FImage) {
        ActionView1Transparent->setChecked(FImage->Transparent());
        ActionView2Transparent->setChecked(FImage->Transparent());
        FLoaded = true;
    }
    UpdateTestCursor();
}

void TGraphicResourceItemView::ApplyTransparency()
{
    auto* bitmap = dynamic_cast<TBitmap*>(FImage.get());
    if (!bitmap) return;
    if (bitmap->PixelFormat() == pf32bit) {
        bitmap->SetTransparent(false);
        bitmap->SetAlphaFormat(afDefined);
        return;
    }
    auto* transparent = dynamic_cast<IGraphicTransparentResourceItem*>(ResourceItem());
    if (!transparent || transparent->GetTransparencyMethod() != rtmChromaKey) return;
    const TColor color = transparent->GetTransparentColor();
    bitmap->SetTransparent(true);
    if (color == clNone) {
        bitmap->SetTransparentMode(tmAuto);
    } else {
        bitmap->SetTransparentMode(tmFixed);
        bitmap->SetTransparentColor(color);
    }
}

const QImage& TGraphicResourceItemView::ShownImage(bool Transparent)
{
    // A picture with an alpha channel shows through it; a key colour on top would punch holes.
    if (auto* bitmap = dynamic_cast<const TBitmap*>(FImage.get()))
        if (bitmap->PixelFormat() == pf32bit && bitmap->AlphaFormat() != afIgnored) Transparent = false;
    std::optional<QImage>& shown = FShown[Transparent ? 1 : 0];
    if (!shown) {
        const bool current = FImage->Transparent();
        FImage->SetTransparent(Transparent);
        try {
            shown = FImage->ToQImage();
        } catch (...) {
            FImage->SetTransparent(current);
            throw;
        }
        FImage->SetTransparent(current);
    }
    return *shown;
}

void TGraphicResourceItemView::Draw(QPainter& Canvas, const QRect& Rect)
{
    CheckLoaded();
    if (!FImage) return;
    const QImage& image = ShownImage(FImage->Transparent());
    Canvas.save();
    Canvas.setRenderHint(QPainter::SmoothPixmapTransform, false);
    Canvas.drawImage(Rect, image);
    Canvas.restore();
}

bool TGraphicResourceItemView::GetImageSize(QSize& Size)
{
    CheckLoaded();
    if (!FImage) {
        Size = QSize(0, 0);
        return false;
    }
    Size = QSize(FImage->Width(), FImage->Height());
    return true;
}

QString TGraphicResourceItemView::GetCaption() { return FImageType.isEmpty() ? Str(SImage) : FImageType; }

void TGraphicResourceItemView::PaintPane(TGraphicPaintBox* Box, QPainter& Canvas)
{
    const bool primary = Box->Primary();
    try {
        Canvas.fillRect(Box->rect(), Qt::white);
        if (FImage) {
            const bool transparent = (primary ? ActionView1Transparent : ActionView2Transparent)->isChecked();
            const bool stretch = (primary ? ActionView1Stretch : ActionView2Stretch)->isChecked();
            FImage->SetTransparent(transparent);
            const QImage& image = ShownImage(transparent);
            Canvas.setRenderHint(QPainter::SmoothPixmapTransform, false);
            Canvas.drawImage(GraphicTargetRect(Box->size(), image.size(), stretch, primary), image);
        }
        if (Box == FScribbleBox && !FScribble.empty()) {
            Canvas.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            Canvas.setPen(QPen(Qt::white, 0));
            Canvas.setRenderHint(QPainter::Antialiasing, false);
            Canvas.drawPoint(FScribble.front());
            if (FScribble.size() > 1) Canvas.drawPolyline(FScribble.data(), int(FScribble.size()));
        }
    } catch (const std::exception& error) {
        if (!primary) return;
        const QString message = dynamic_cast<const Exception*>(&error)
                                    ? static_cast<const Exception&>(error).Message()
                                    : QString::fromLocal8Bit(error.what());
        // Not from inside the paint: showing and hiding relayouts the frame.
        QMetaObject::invokeMethod(this, [this, message] {
            PaintBoxPrimary->hide();
            ShowError(message);
        }, Qt::QueuedConnection);
    }
}

void TGraphicResourceItemView::PaneMousePress(TGraphicPaintBox* Box, const QPoint& Pos)
{
    if (!FHasHotSpot) return;
    if (FScribbleBox && FScribbleBox != Box) FScribbleBox->update();
    FScribbleBox = Box;
    FScribble.assign(1, Pos);
    FLastHotSpotPos = Pos;
    Box->update();
}

void TGraphicResourceItemView::PaneMouseMove(TGraphicPaintBox* Box, const QPoint& Pos)
{
    if (!FHasHotSpot || Box != FScribbleBox || FScribble.empty()) return;
    FScribble.push_back(Pos);
    FLastHotSpotPos = Pos;
    FNeedRepaint = true;
    Box->update();
}

void TGraphicResourceItemView::PaneMouseRelease()
{
    if (!FScribbleBox) return;
    // A single click leaves its inverted pixel until the next paint, as a mark of the spot.
    FScribbleBox = nullptr;
    FScribble.clear();
    if (FNeedRepaint) {
        FNeedRepaint = false;
        PaintBoxPrimary->update();
        PaintBoxSecondary->update();
    }
}

const QCursor* TGraphicResourceItemView::GetTestCursor()
{
    if (FHasTestCursor && !FTestCursor) {
        try {
            const std::unique_ptr<TIcon> cursor = ItemToIcon(ResourceItem(), false);
            if (!cursor || cursor->Empty()) throw EInvalidGraphic(Str(SCursorError));
            FTestCursor = QCursor(QPixmap::fromImage(cursor->ToQImage()), cursor->Hotspot().x(), cursor->Hotspot().y());
        } catch (const std::exception&) {
            FHasTestCursor = false;
            ShowError(Str(SCursorError));
        }
    }
    return FTestCursor ? &*FTestCursor : nullptr;
}

void TGraphicResourceItemView::UpdateTestCursor()
{
    const QCursor* cursor = ResourceItem() ? GetTestCursor() : nullptr;
    for (QWidget* panel : {PanelPrimary, PanelRight, PanelBottom}) {
        if (cursor)
            panel->setCursor(*cursor);
        else
            panel->unsetCursor();
    }
}

void TGraphicResourceItemView::SetSecondaryView(TSecondaryView Value)
{
    FSecondaryView = Value;
    switch (Value) {
    case svNone:
        SetPaneSize(SplitterHorizontal, 1);
        SetPaneSize(SplitterVertical, 1);
        break;
    case svRight:
        if (PaintBoxSecondary->parentWidget() != PanelRight) PanelRight->layout()->addWidget(PaintBoxSecondary);
        break;
    case svBottom:
        if (PaintBoxSecondary->parentWidget() != PanelBottom) PanelBottom->layout()->addWidget(PaintBoxSecondary);
        break;
    }
    PaintBoxSecondary->show();
    PaintBoxSecondary->update();
}

void TGraphicResourceItemView::SplitterVerticalMoved()
{
    if (FSecondaryView == svBottom) {
        SetPaneSize(SplitterVertical, 1);
        return;
    }
    SetSecondaryView(SplitterVertical->sizes().value(1) >= MinSecondarySize ? svRight : svNone);
}

void TGraphicResourceItemView::SplitterHorizontalMoved()
{
    if (FSecondaryView == svRight) {
        SetPaneSize(SplitterHorizontal, 1);
        return;
    }
    SetSecondaryView(SplitterHorizontal->sizes().value(1) >= MinSecondarySize ? svBottom : svNone);
}

// TGraphicResourceItemViewFactory

bool TGraphicResourceItemViewFactory::Handles(TCustomResourceItem* ResourceItem)
{
    return dynamic_cast<TBasicGraphicResourceItem*>(ResourceItem) != nullptr;
}

bool TGraphicResourceItemViewFactory::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream* Data)
{
    if (IsOrdinalResourceIdent(ResourceType)) {
        const uint16_t type = ResourceIdentOrdinal(ResourceType);
        if (type == RT_ICON || type == RT_CURSOR || type == RT_BITMAP) return true;
    }
    return Data && Data->Position() < Data->Size() && ImageFormats().Find(Data) != nullptr;
}

IResourceItemViewPtr TGraphicResourceItemViewFactory::CreateView() { return std::make_shared<TGraphicResourceItemView>(); }

void koResourceViewGraphics_Initialize()
{
    TResourceItemViewFactoryClass factory = TGraphicResourceItemViewFactory::ClassInfo();
    for (uint16_t type : {RT_ICON, RT_CURSOR, RT_BITMAP}) factory->Register(TResourceIdent::FromOrdinal(type), {}, 0);
    factory->Register(255);
}

void koResourceViewGraphics_Finalize() { TGraphicResourceItemViewFactory::ClassInfo()->Unregister(); }
