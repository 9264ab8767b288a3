#include "koDocking.h"

#include "platform/Exceptions.h"
#include "platform/GraphUtil.h"
#include "shell/koFancyGlyphButton.h"

#include <QApplication>
#include <QDockWidget>
#include <QHelpEvent>
#include <QLayout>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QProxyStyle>
#include <QStyleOption>
#include <QToolTip>

#include <algorithm>
#include <cstdlib>

namespace {

const char* const BorderIconsProperty = "koDockBorderIcons";

int RightOf(const QRect& r) { return r.x() + r.width(); }
int BottomOf(const QRect& r) { return r.y() + r.height(); }
QRect RectLTRB(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }

void Pixel(QPainter& canvas, int x, int y, const QColor& color) { canvas.fillRect(x, y, 1, 1, color); }

void FillLTRB(QPainter& canvas, int left, int top, int right, int bottom, const QColor& color)
{
    if (right > left && bottom > top) canvas.fillRect(RectLTRB(left, top, right, bottom), color);
}

// Lines from point to point, each without its end pixel, so only the last point stays undrawn;
// exact to the pixel, which QPainter's own lines do not promise.
void PolyLine(QPainter& canvas, const QList<QPoint>& points, const QColor& color)
{
    for (qsizetype i = 0; i + 1 < points.size(); ++i) {
        const QPoint a = points[i];
        const QPoint d = points[i + 1] - a;
        const int steps = std::max(std::abs(d.x()), std::abs(d.y()));
        for (int s = 0; s < steps; ++s)
            Pixel(canvas, a.x() + qRound(double(d.x()) * s / steps), a.y() + qRound(double(d.y()) * s / steps),
                  color);
    }
}

// A filled polygon outlined with a one-pixel pen, the outline covering every edge pixel.
void Polygon(QPainter& canvas, const QList<QPoint>& points, const QColor& pen, const QColor& brush)
{
    QPolygonF shape;
    for (const QPoint& p : points) shape << QPointF(p) + QPointF(0.5, 0.5);
    canvas.save();
    canvas.setRenderHint(QPainter::Antialiasing, false);
    canvas.setPen(Qt::NoPen);
    canvas.setBrush(brush);
    canvas.drawPolygon(shape, Qt::OddEvenFill);
    canvas.restore();
    QList<QPoint> outline = points;
    outline << points.front();
    PolyLine(canvas, outline, pen);
}

QList<QPoint> Chevron(int x, int y, bool down)
{
    static const int Points[12][2] = {{0, 1}, {0, 2}, {4, 6}, {8, 2}, {8, 1}, {7, 0},
                                      {6, 0}, {5, 1}, {4, 2}, {3, 1}, {2, 0}, {1, 0}};
    QList<QPoint> result;
    for (const auto& p : Points) result << QPoint(x + p[0], down ? y + p[1] : y + 6 - p[1]);
    return result;
}

QList<QPoint> CloseCross(int x, int y)
{
    static const int Points[28][2] = {{0, 1}, {0, 2}, {1, 3}, {2, 4}, {1, 5}, {0, 6}, {0, 7},
                                      {1, 8}, {2, 8}, {3, 7}, {4, 6}, {5, 7}, {6, 8}, {7, 8},
                                      {8, 7}, {8, 6}, {7, 5}, {6, 4}, {7, 3}, {8, 2}, {8, 1},
                                      {7, 0}, {6, 0}, {5, 1}, {4, 2}, {3, 1}, {2, 0}, {1, 0}};
    QList<QPoint> result;
    for (const auto& p : Points) result << QPoint(x + p[0], y + p[1]);
    return result;
}

// The frame of a caption button; answers the brush the button's face got.
QColor DrawButtonFrame(QPainter& canvas, const QRect& rect, const QColor& brush, TDockButtonState state)
{
    const int l = rect.left(), t = rect.top(), r = RightOf(rect), b = BottomOf(rect);
    const bool hot = state.Contains(dbsHot);
    const QColor pen = state.Contains(dbsDisabled) ? GetShadowColor(clWindow(), -60)
                       : hot                       ? clWindow()
                                                   : GetShadowColor(clWindow(), -45);
    const QColor face = hot ? GetHighLightColor(brush, 19) : brush;
    FillLTRB(canvas, l + 1, t + 1, r - 1, b - 1, face);
    Pixel(canvas, l + 1, t + 1, pen);
    PolyLine(canvas, {QPoint(l + 2, t), QPoint(r - 2, t)}, pen);
    Pixel(canvas, r - 2, t + 1, pen);
    PolyLine(canvas, {QPoint(r - 1, t + 2), QPoint(r - 1, b - 2)}, pen);
    Pixel(canvas, r - 2, b - 2, pen);
    PolyLine(canvas, {QPoint(l + 2, b - 1), QPoint(r - 2, b - 1)}, pen);
    Pixel(canvas, l + 1, b - 2, pen);
    PolyLine(canvas, {QPoint(l, t + 2), QPoint(l, b - 2)}, pen);
    return face;
}

void DrawPin(QPainter& canvas, const QRect& rect, bool pressed, const QColor& pen, const QColor& brush)
{
    const int x = rect.left() + 2, y = rect.top() + 2;
    if (pressed) {
        PolyLine(canvas, {QPoint(x + 2, y + 4), QPoint(x + 2, y), QPoint(x + 6, y), QPoint(x + 6, y + 5)}, pen);
        PolyLine(canvas, {QPoint(x + 1, y + 5), QPoint(x + 8, y + 5)}, pen);
        PolyLine(canvas, {QPoint(x + 5, y + 1), QPoint(x + 5, y + 5)}, pen);
        PolyLine(canvas, {QPoint(x + 4, y + 6), QPoint(x + 4, y + 10)}, pen);
        FillLTRB(canvas, x + 3, y + 1, x + 5, y + 5, brush);
    } else {
        PolyLine(canvas, {QPoint(x + 4, y + 2), QPoint(x + 9, y + 2), QPoint(x + 9, y + 6), QPoint(x + 3, y + 6)},
                 pen);
        PolyLine(canvas, {QPoint(x + 3, y + 1), QPoint(x + 3, y + 8)}, pen);
        PolyLine(canvas, {QPoint(x + 4, y + 5), QPoint(x + 9, y + 5)}, pen);
        PolyLine(canvas, {QPoint(x, y + 4), QPoint(x + 3, y + 4)}, pen);
        FillLTRB(canvas, x + 4, y + 3, x + 9, y + 5, brush);
    }
}

// Sizes the separators of a dock site and draws their grips through the site's tree.
class TDockSiteStyle : public QProxyStyle
{
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_DockWidgetSeparatorExtent) return 4;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        if (element == PE_IndicatorDockWidgetResizeHandle && widget) {
            if (auto* tree = widget->findChild<TBetterDockTree*>(QString(), Qt::FindDirectChildrenOnly)) {
                const QRect& r = option->rect;
                tree->DockDrawer()->DrawSplitter(*painter, r,
                                                 r.width() >= r.height() ? Qt::Horizontal : Qt::Vertical);
                return;
            }
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
};

// One style for every site: a widget's style must outlive the widget, and the application does.
QStyle* DockSiteStyle()
{
    static QPointer<TDockSiteStyle> style;
    if (!style) {
        style = new TDockSiteStyle;
        style->setParent(qApp);
    }
    return style;
}

bool gBetterDockTreeInstalled = false;

} // namespace

// --- border icons and clients ---

void SetDockBorderIcons(QDockWidget* Dock, TBorderIcons Icons)
{
    ATELIER_ASSERT(Dock);
    Dock->setProperty(BorderIconsProperty, QVariant::fromValue<qulonglong>(Icons.Bits()));
}

TBorderIcons DockBorderIcons(const QDockWidget* Dock)
{
    if (!Dock) return {};
    return TBorderIcons::FromBits(Dock->property(BorderIconsProperty).toULongLong());
}

IDockClient* FindDockClient(QDockWidget* Dock)
{
    if (!Dock) return nullptr;
    if (auto* client = dynamic_cast<IDockClient*>(Dock)) return client;
    return dynamic_cast<IDockClient*>(Dock->widget());
}

bool DockClientCanUndock(QDockWidget* Dock, QWidget* NewTarget)
{
    bool allow = true;
    if (IDockClient* client = FindDockClient(Dock)) client->CanUndock(NewTarget, allow);
    return allow;
}

// --- TDockDrawer ---

TDockDrawer::TDockDrawer(TBetterDockTree* DockTree)
    : FDockTree(DockTree)
    , FGrabberSize(QFontMetrics(QApplication::font("QMenuBar")).height() + 6)
{
}

TDockDrawer::~TDockDrawer() = default;

int TDockDrawer::GetGrabberSize() const { return FGrabberSize; }

QRect TDockDrawer::AdjustDockRect(const QRect& Frame) const
{
    return RectLTRB(Frame.left(), Frame.top() + GrabberSize(), RightOf(Frame), BottomOf(Frame));
}

QRect TDockDrawer::AdjustCaptionRect(const QRect& Frame) const
{
    return RectLTRB(Frame.left(), Frame.top() + 1, RightOf(Frame) - 1, Frame.top() + GrabberSize() - 1);
}

int TDockDrawer::ButtonSize(const QRect& Caption) const
{
    return std::min(Caption.height() - 2 * FButtonMargin, 14);
}

QRect TDockDrawer::GetButtonRect(const QRect& Caption, int Index) const
{
    const int size = ButtonSize(Caption);
    const int right = RightOf(Caption) - FButtonMargin - Index * (size + FButtonMargin);
    const int top = Caption.top() + (Caption.height() - size + 1) / 2;
    return QRect(right - size, top, size, size);
}

QRect TDockDrawer::ButtonRectOf(const QRect& Caption, const std::vector<TDockClientButtonState>& Buttons,
                                int Index) const
{
    if (Index < 0 || size_t(Index) >= Buttons.size() || Buttons[Index].State.Contains(dbsHidden)) return {};
    int slot = 0;
    for (int i = 0; i < Index; ++i)
        if (!Buttons[i].State.Contains(dbsHidden)) ++slot;
    return GetButtonRect(Caption, slot);
}

TDockCaptionLayout TDockDrawer::GetCaptionLayout(const QRect& Caption, const TDockClientState& State,
                                                 const std::vector<TDockClientButtonState>& Buttons) const
{
    const int n = int(std::count_if(Buttons.begin(), Buttons.end(),
                                    [](const auto& b) { return !b.State.Contains(dbsHidden); }));
    const int size = ButtonSize(Caption);
    const int h = Caption.height();
    TDockCaptionLayout layout;
    if (n > 0)
        layout.ButtonArea = RectLTRB(RightOf(Caption) - n * (size + FButtonMargin), Caption.top(),
                                     RightOf(Caption) - FButtonMargin, BottomOf(Caption));
    else
        layout.ButtonArea = RectLTRB(RightOf(Caption), Caption.top(), RightOf(Caption), BottomOf(Caption));
    if (!State.Glyph.isNull() && State.Glyph.width() > 0) {
        const int left = Caption.left() + FGlyphMargin;
        layout.GlyphArea = RectLTRB(left, Caption.top() + 2, left + h - 3, Caption.top() + h - 1);
    } else {
        layout.GlyphArea = RectLTRB(Caption.left(), Caption.top(), Caption.left(), BottomOf(Caption));
    }
    layout.TextArea = RectLTRB(RightOf(layout.GlyphArea) + FTextMargin, Caption.top(),
                               layout.ButtonArea.left() - FButtonMargin, BottomOf(Caption));
    return layout;
}

int TDockDrawer::DockCaptionHitTest(const QRect& Caption, const QPoint& Point,
                                    const std::vector<TDockClientButtonState>& Buttons) const
{
    if (!Caption.contains(Point)) return 0;
    for (int i = 0; size_t(i) < Buttons.size(); ++i) {
        const QRect rect = ButtonRectOf(Caption, Buttons, i);
        if (!rect.isEmpty() && rect.contains(Point)) return 10 + i;
    }
    return 1;
}

void TDockDrawer::Draw(QPainter& Canvas, const QRect& Caption, const TDockClientState& State,
                       const std::vector<TDockClientButtonState>& Buttons, IDockClient* Client) const
{
    Canvas.save();
    Canvas.setRenderHint(QPainter::Antialiasing, false);
    const int l = Caption.left(), t = Caption.top(), r = RightOf(Caption), b = BottomOf(Caption);
    const QColor brush = clGradientInactiveCaption();
    FillLTRB(Canvas, l + 1, t + 1, r, b, brush);
    PolyLine(Canvas, {QPoint(l, b), QPoint(l, t + 2), QPoint(l + 2, t), QPoint(r - 2, t)}, GetShadowColor(brush, -20));
    PolyLine(Canvas, {QPoint(r - 2, t), QPoint(r, t + 2), QPoint(r, b), QPoint(l, b)}, GetHighLightColor(brush, -10));

    const TDockCaptionLayout layout = GetCaptionLayout(Caption, State, Buttons);
    if (!layout.GlyphArea.isEmpty()) DrawGlyph(Canvas, layout.GlyphArea, brush, State.Glyph);
    for (int i = 0; size_t(i) < Buttons.size(); ++i) {
        const QRect rect = ButtonRectOf(Caption, Buttons, i);
        if (!rect.isEmpty()) DrawButton(Canvas, rect, brush, Buttons[i], Client);
    }

    if (!State.Caption.isEmpty() && layout.TextArea.width() > 0) {
        QFont font = Canvas.font();
        font.setBold(State.Focused);
        Canvas.setFont(font);
        Canvas.setPen(clCaptionText());
        Canvas.setBrush(Qt::NoBrush);
        const QString text = QFontMetrics(font).elidedText(State.Caption, Qt::ElideRight, layout.TextArea.width());
        Canvas.drawText(layout.TextArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    }
    Canvas.restore();
}

void TDockDrawer::DrawGlyph(QPainter& Canvas, const QRect& Area, const QColor& Brush, const QImage& Glyph) const
{
    const int side = Area.width();
    if (side <= 0 || Glyph.width() <= 0) return;
    QImage square(side, side, QImage::Format_ARGB32_Premultiplied);
    square.fill(Brush);
    {
        QPainter p(&square);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        const double factor = double(side) / Glyph.width();
        p.drawImage(QRectF(0, 0, side, Glyph.height() * factor), Glyph);
    }
    Canvas.drawImage(Area.topLeft(), square);
}

void TDockDrawer::DrawButton(QPainter& Canvas, const QRect& Rect, const QColor& Brush,
                             const TDockClientButtonState& State, IDockClient* Client) const
{
    QColor face = Brush;
    if (State.Kind != dbkCustom) face = DrawButtonFrame(Canvas, Rect, Brush, State.State);

    const bool disabled = State.State.Contains(dbsDisabled);
    const QColor pen = GetShadowColor(clBtnFace(), -120);
    const QColor fill = disabled ? GetShadowColor(clWindow(), -60) : clWindow();
    const int cx = (Rect.left() + RightOf(Rect)) / 2;
    const int cy = (Rect.top() + BottomOf(Rect)) / 2;
    switch (State.Kind) {
    case dbkCustom:
    case dbkCustomFramed:
        if (Client) {
            Canvas.save();
            Canvas.setBrush(face);
            Client->DrawButton(Canvas, Rect, State);
            Canvas.restore();
        }
        break;
    case dbkGlyph:
        if (!State.Glyph.isNull()) {
            const QRect inner = RectLTRB(Rect.left() + 1, Rect.top() + 1, RightOf(Rect) - 1, BottomOf(Rect) - 1);
            Canvas.drawImage(inner, State.Glyph);
        }
        break;
    case dbkClose:
        Polygon(Canvas, CloseCross(cx - 4, cy - 4), pen, fill);
        break;
    case dbkPin:
        DrawPin(Canvas, Rect, State.State.Contains(dbsPressed), pen, fill);
        break;
    case dbkDown:
    case dbkUp:
        Polygon(Canvas, Chevron(cx - 4, cy - 3, State.Kind == dbkDown), pen, fill);
        break;
    case dbkChevron:
    case dbkReverseChevron:
        Polygon(Canvas, Chevron(cx - 4, cy - 5, State.Kind == dbkChevron), pen, fill);
        Polygon(Canvas, Chevron(cx - 4, cy - 1, State.Kind == dbkChevron), pen, fill);
        break;
    }
}

void TDockDrawer::DrawSplitter(QPainter& Canvas, const QRect& Rect, Qt::Orientation Align) const
{
    const int cx = (Rect.left() + RightOf(Rect)) / 2 - 1;
    const int cy = (Rect.top() + BottomOf(Rect)) / 2 - 1;
    const QColor highlight = clBtnHighlight();
    const QColor shadow = clBtnShadow();
    for (int k = -2; k <= 2; ++k) {
        const int x = Align == Qt::Horizontal ? cx + 4 * k : cx;
        const int y = Align == Qt::Horizontal ? cy : cy + 4 * k;
        Canvas.fillRect(x + 1, y + 1, 2, 2, highlight);
        Canvas.fillRect(x, y, 2, 2, shadow);
    }
}

// --- TDockCaptionBar ---

TDockCaptionBar::TDockCaptionBar(QDockWidget* Dock, TBetterDockTree* Tree)
    : QWidget(Dock)
    , FDock(Dock)
    , FTree(Tree)
{
    setMouseTracking(true);
    Dock->installEventFilter(this);
}

void TDockCaptionBar::SetTree(TBetterDockTree* Tree)
{
    FTree = Tree;
    updateGeometry();
    update();
}

QRect TDockCaptionBar::CaptionRect() const
{
    if (!FTree) return {};
    return FTree->DockDrawer()->AdjustCaptionRect(rect());
}

std::vector<TDockClientButtonState> TDockCaptionBar::Buttons() const
{
    if (!FTree) return {};
    std::vector<TDockClientButtonState> buttons = FTree->GetButtonStates(FDock);
    if (FHotIndex >= 0 && size_t(FHotIndex) < buttons.size()) {
        TDockButtonState& state = buttons[FHotIndex].State;
        if (!state.Contains(dbsDisabled)) {
            state.Include(dbsHot);
            if (FPressedIndex == FHotIndex) state.Include(dbsPressed);
        }
    }
    return buttons;
}

int TDockCaptionBar::HitTest(const QPoint& Pos) const
{
    if (!FTree) return 0;
    return FTree->DockDrawer()->DockCaptionHitTest(CaptionRect(), Pos, FTree->GetButtonStates(FDock));
}

QString TDockCaptionBar::HintAt(const QPoint& Pos, QRect* Area) const
{
    if (!FTree) return {};
    TDockDrawer* drawer = FTree->DockDrawer();
    const QRect caption = CaptionRect();
    const std::vector<TDockClientButtonState> buttons = FTree->GetButtonStates(FDock);
    const int code = drawer->DockCaptionHitTest(caption, Pos, buttons);
    QString hint;
    QRect area;
    if (code >= 10) {
        hint = buttons[code - 10].Hint;
        area = drawer->ButtonRectOf(caption, buttons, code - 10);
    } else if (code == 1) {
        const TDockClientState state = FTree->ClientState(FDock);
        hint = state.Hint;
        const QRect buttonArea = drawer->GetCaptionLayout(caption, state, buttons).ButtonArea;
        area = RectLTRB(caption.left(), caption.top(), buttonArea.left(), BottomOf(caption));
        if (!area.contains(Pos)) area = caption;
    }
    if (Area) *Area = hint.isEmpty() ? QRect() : area;
    return hint;
}

QSize TDockCaptionBar::sizeHint() const
{
    const int grabber = FTree ? FTree->DockDrawer()->GrabberSize() : 0;
    return QSize(fontMetrics().horizontalAdvance(FDock->windowTitle()) + 4 * grabber, grabber);
}

QSize TDockCaptionBar::minimumSizeHint() const
{
    const int grabber = FTree ? FTree->DockDrawer()->GrabberSize() : 0;
    return QSize(grabber, grabber);
}

bool TDockCaptionBar::event(QEvent* Event)
{
    if (Event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(Event);
        try {
            QRect area;
            const QString hint = HintAt(help->pos(), &area);
            if (!hint.isEmpty()) {
                QToolTip::showText(help->globalPos(), hint, this, area);
                return true;
            }
        } catch (...) {
            HandleEventException();
        }
        QToolTip::hideText();
        Event->ignore();
        return true;
    }
    return QWidget::event(Event);
}

bool TDockCaptionBar::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == FDock) {
        switch (Event->type()) {
        case QEvent::WindowTitleChange:
        case QEvent::WindowIconChange:
        case QEvent::DynamicPropertyChange:
            updateGeometry();
            update();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(Watched, Event);
}

void TDockCaptionBar::paintEvent(QPaintEvent*)
{
    if (!FTree) return;
    try {
        QPainter painter(this);
        FTree->DockDrawer()->Draw(painter, CaptionRect(), FTree->ClientState(FDock), Buttons(),
                                  FindDockClient(FDock));
    } catch (...) {
        HandleEventException();
    }
}

void TDockCaptionBar::mousePressEvent(QMouseEvent* Event)
{
    Event->accept();
    if (Event->button() != Qt::LeftButton || !FTree) return;
    try {
        const QPoint pos = Event->position().toPoint();
        const int code = HitTest(pos);
        if (code >= 10) {
            const std::vector<TDockClientButtonState> buttons = FTree->GetButtonStates(FDock);
            if (!buttons[code - 10].State.Contains(dbsDisabled)) {
                FPressedIndex = code - 10;
                FHotIndex = FPressedIndex;
                update();
            }
        } else if (code == 1) {
            FDragPending = true;
            FPressPos = pos;
        }
    } catch (...) {
        HandleEventException();
    }
}

void TDockCaptionBar::mouseMoveEvent(QMouseEvent* Event)
{
    Event->accept();
    if (!FTree) return;
    try {
        const QPoint pos = Event->position().toPoint();
        if (FDragPending && (Event->buttons() & Qt::LeftButton)
            && (pos - FPressPos).manhattanLength() >= QApplication::startDragDistance()) {
            FDragPending = false;
            Q_EMIT FTree->CaptionDragStarted(FDock, mapToGlobal(FPressPos));
            if (!FTree) return;
        }
        const std::vector<TDockClientButtonState> buttons = FTree->GetButtonStates(FDock);
        const int code = FTree->DockDrawer()->DockCaptionHitTest(CaptionRect(), pos, buttons);
        int hot = code >= 10 ? code - 10 : -1;
        if (FPressedIndex >= 0 && hot != FPressedIndex) hot = -1;
        if (hot >= 0 && buttons[hot].State.Contains(dbsDisabled)) hot = -1;
        SetHot(hot);
        UpdateCursor(buttons, code);
    } catch (...) {
        HandleEventException();
    }
}

void TDockCaptionBar::mouseReleaseEvent(QMouseEvent* Event)
{
    Event->accept();
    if (Event->button() != Qt::LeftButton) return;
    FDragPending = false;
    const int pressed = FPressedIndex;
    FPressedIndex = -1;
    if (pressed < 0 || !FTree) return;
    update();
    try {
        if (HitTest(Event->position().toPoint()) == 10 + pressed) FTree->ClickButton(FDock, pressed);
    } catch (...) {
        HandleEventException();
    }
}

void TDockCaptionBar::leaveEvent(QEvent* Event)
{
    SetHot(-1);
    unsetCursor();
    QWidget::leaveEvent(Event);
}

void TDockCaptionBar::SetHot(int Index)
{
    if (FHotIndex == Index) return;
    FHotIndex = Index;
    update();
}

void TDockCaptionBar::UpdateCursor(const std::vector<TDockClientButtonState>& Buttons, int Code)
{
    if (Code >= 10 && Buttons[Code - 10].Cursor != 0) {
        const HCURSOR handle = ScreenCursors().Handle(Buttons[Code - 10].Cursor);
        if (handle && !handle->Frames.empty()) {
            setCursor(handle->Frames.front());
            return;
        }
    }
    unsetCursor();
}

// --- TBetterDockTree ---

TBetterDockTree::TBetterDockTree(QMainWindow* DockSite)
    : FDockSite(DockSite)
{
    ATELIER_ASSERT(DockSite);
    ATELIER_ASSERT(!DockSite->findChild<TBetterDockTree*>(QString(), Qt::FindDirectChildrenOnly));
    setParent(DockSite);
    // Docks placed without animation take their size at once, which roll up and restore rely on.
    FDockSite->setAnimated(false);
    FDockSite->setStyle(DockSiteStyle());
    FDockSite->installEventFilter(this);
    // Focus moves while widgets are being destroyed (a focused child clears its focus in its
    // destructor): the captions are refreshed once control is back in the event loop, never from
    // inside the change.
    connect(qApp, &QApplication::focusChanged, this, &TBetterDockTree::ScheduleUpdateCaptions);
    AttachAll();
}

TBetterDockTree::~TBetterDockTree() = default;

TDockDrawer* TBetterDockTree::DockDrawer()
{
    if (!FDockDrawer) FDockDrawer = CreateDockDrawer();
    return FDockDrawer.get();
}

std::unique_ptr<TDockDrawer> TBetterDockTree::CreateDockDrawer() { return std::make_unique<TDockDrawer>(this); }

void TBetterDockTree::GetControlState(QDockWidget* Control, TDockClientState& State) const
{
    State.Caption = Control->windowTitle();
    const QWidget* focus = QApplication::focusWidget();
    State.Focused = focus && (focus == Control || Control->isAncestorOf(focus));
    if (Control->testAttribute(Qt::WA_SetWindowIcon)) {
        const QIcon icon = Control->windowIcon();
        const QList<QSize> sizes = icon.availableSizes();
        State.Glyph = icon.pixmap(sizes.isEmpty() ? QSize(32, 32) : sizes.front()).toImage();
    }
}

TDockClientState TBetterDockTree::ClientState(QDockWidget* Control) const
{
    TDockClientState state;
    GetControlState(Control, state);
    if (IDockClient* client = FindDockClient(Control)) client->GetClientState(state);
    return state;
}

int TBetterDockTree::TreeButtonCount(QDockWidget* Control) const
{
    const TBorderIcons icons = DockBorderIcons(Control);
    return int(icons.Contains(biSystemMenu)) + int(icons.Contains(biMinimize));
}

std::vector<TDockClientButtonState> TBetterDockTree::GetButtonStates(QDockWidget* Control)
{
    std::vector<TDockClientButtonState> result;
    TDockCaptionBar* bar = CaptionBarOf(Control);
    const QRect caption = bar ? bar->CaptionRect() : QRect();
    const QPoint origin = bar ? bar->mapToGlobal(QPoint(0, 0)) : QPoint();
    int slot = 0;
    auto nextRect = [&] { return DockDrawer()->GetButtonRect(caption, slot).translated(origin); };

    const TBorderIcons icons = DockBorderIcons(Control);
    if (icons.Contains(biSystemMenu)) {
        TDockClientButtonState close;
        close.Kind = dbkClose;
        close.Hint = QStringLiteral("Close");
        close.ButtonRect = nextRect();
        result.push_back(close);
        ++slot;
    }
    if (icons.Contains(biMinimize)) {
        TDockClientButtonState roll;
        const bool rolled = IsRolledUp(Control);
        roll.Kind = rolled ? dbkChevron : dbkReverseChevron;
        roll.Hint = rolled ? QStringLiteral("Restore") : QStringLiteral("Roll up");
        roll.ButtonRect = nextRect();
        result.push_back(roll);
        ++slot;
    }
    if (IDockClient* client = FindDockClient(Control)) {
        int count = 0;
        client->GetButtonCount(count);
        for (int i = 0; i < count; ++i) {
            TDockClientButtonState state;
            state.ButtonRect = nextRect();
            client->GetButtonState(i, state);
            result.push_back(state);
            if (!state.State.Contains(dbsHidden)) ++slot;
        }
    }
    return result;
}

void TBetterDockTree::ClickButton(QDockWidget* Control, int Index)
{
    const std::vector<TDockClientButtonState> buttons = GetButtonStates(Control);
    if (Index < 0 || size_t(Index) >= buttons.size()) return;
    const TDockClientButtonState& state = buttons[Index];
    // A disabled or hidden button does nothing, whoever asks.
    if (state.State.Contains(dbsDisabled) || state.State.Contains(dbsHidden)) return;
    const int treeButtons = TreeButtonCount(Control);
    if (Index < treeButtons) {
        if (state.Kind == dbkClose)
            Control->close();
        else if (state.Kind == dbkChevron || state.Kind == dbkReverseChevron)
            RollUpOrRestore(Control);
        return;
    }
    if (IDockClient* client = FindDockClient(Control)) client->ButtonClick(Index - treeButtons, state);
}

bool TBetterDockTree::IsRolledUp(QDockWidget* Form) const { return Form->widget() && Form->widget()->isHidden(); }

void TBetterDockTree::RollUpOrRestore(QDockWidget* Form)
{
    QWidget* content = Form->widget();
    TDockCaptionBar* bar = CaptionBarOf(Form);
    if (!content || !bar) return;
    QSizePolicy policy = content->sizePolicy();
    if (content->isHidden()) {
        policy.setRetainSizeWhenHidden(bar->FRolledRetainSize);
        content->setSizePolicy(policy);
        Form->setMaximumHeight(bar->FRolledMaximumHeight);
        content->show();
        // The site must know the lifted cap before it hands out the former height.
        if (Form->layout()) Form->layout()->activate();
        if (FDockSite->layout()) FDockSite->layout()->activate();
        if (bar->UndockHeight() > 0) GiveBackHeight(Form, bar->UndockHeight());
    } else {
        bar->SetUndockHeight(Form->height());
        bar->FRolledMaximumHeight = Form->maximumHeight();
        bar->FRolledRetainSize = policy.retainSizeWhenHidden();
        // A hidden content that keeps its place leaves the pane's width alone; the height is
        // capped at the caption's.
        policy.setRetainSizeWhenHidden(true);
        content->setSizePolicy(policy);
        content->hide();
        Form->setMaximumHeight(bar->height());
    }
    bar->update();
}

// The site would spread a resize over every pane of the column; taking the height from the panes
// below, then above, nearest first and each down to its minimum, gives the pane its former height.
void TBetterDockTree::GiveBackHeight(QDockWidget* Form, int Height)
{
    const Qt::DockWidgetArea area = FDockSite->dockWidgetArea(Form);
    const QRect form = Form->geometry();
    std::vector<QDockWidget*> below;
    std::vector<QDockWidget*> above;
    for (QDockWidget* dock : FDockSite->findChildren<QDockWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (dock == Form || dock->isHidden() || FDockSite->dockWidgetArea(dock) != area) continue;
        const QRect g = dock->geometry();
        if (g.right() < form.left() || g.left() > form.right()) continue;
        // Panes side by side share one height: one of them speaks for the row.
        auto sameRow = [&](const std::vector<QDockWidget*>& list) {
            return std::any_of(list.begin(), list.end(), [&](QDockWidget* other) {
                return other->geometry().top() == g.top() && other->geometry().bottom() == g.bottom();
            });
        };
        if (g.top() > form.bottom() && !sameRow(below)) below.push_back(dock);
        if (g.bottom() < form.top() && !sameRow(above)) above.push_back(dock);
    }
    std::sort(below.begin(), below.end(),
              [](QDockWidget* a, QDockWidget* b) { return a->geometry().top() < b->geometry().top(); });
    std::sort(above.begin(), above.end(),
              [](QDockWidget* a, QDockWidget* b) { return a->geometry().bottom() > b->geometry().bottom(); });
    below.insert(below.end(), above.begin(), above.end());

    QList<QDockWidget*> docks{Form};
    QList<int> sizes{Height};
    int wanted = Height - Form->height();
    for (QDockWidget* dock : below) {
        if (wanted <= 0) break;
        const int minimum = std::max(dock->minimumHeight(), dock->minimumSizeHint().height());
        const int taken = std::min(wanted, dock->height() - minimum);
        if (taken <= 0) continue;
        docks << dock;
        sizes << dock->height() - taken;
        wanted -= taken;
    }
    if (wanted > 0) sizes[0] -= wanted;
    FDockSite->resizeDocks(docks, sizes, Qt::Vertical);
}

void TBetterDockTree::Attach(QDockWidget* Dock)
{
    if (!Dock || !BelongsToSite(Dock)) return;
    Dock->setFeatures(Dock->features() & ~(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable));
    if (auto* bar = qobject_cast<TDockCaptionBar*>(Dock->titleBarWidget())) {
        if (bar->Tree() != this) bar->SetTree(this);
        return;
    }
    Dock->setTitleBarWidget(new TDockCaptionBar(Dock, this));
}

TDockCaptionBar* TBetterDockTree::CaptionBarOf(QDockWidget* Dock) const
{
    auto* bar = Dock ? qobject_cast<TDockCaptionBar*>(Dock->titleBarWidget()) : nullptr;
    return bar && bar->Tree() == this ? bar : nullptr;
}

void TBetterDockTree::ScheduleUpdateCaptions()
{
    if (FCaptionsQueued) return;
    FCaptionsQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            FCaptionsQueued = false;
            UpdateCaptions();
        },
        Qt::QueuedConnection);
}

void TBetterDockTree::UpdateCaptions()
{
    for (QDockWidget* dock : FDockSite->findChildren<QDockWidget*>())
        if (TDockCaptionBar* bar = CaptionBarOf(dock)) bar->update();
}

bool TBetterDockTree::BelongsToSite(QDockWidget* Dock) const
{
    for (QWidget* w = Dock->parentWidget(); w; w = w->parentWidget())
        if (auto* site = qobject_cast<QMainWindow*>(w)) return site == FDockSite;
    return false;
}

void TBetterDockTree::AttachAll()
{
    for (QDockWidget* dock : FDockSite->findChildren<QDockWidget*>()) Attach(dock);
}

bool TBetterDockTree::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == FDockSite
        && (Event->type() == QEvent::ChildAdded || Event->type() == QEvent::ChildPolished)) {
        QObject* child = static_cast<QChildEvent*>(Event)->child();
        if (auto* dock = qobject_cast<QDockWidget*>(child)) {
            Attach(dock);
        } else if (Event->type() == QEvent::ChildAdded && child->isWidgetType() && !FRescanQueued) {
            // A dock widget made with the site as parent is announced before it is one.
            FRescanQueued = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    FRescanQueued = false;
                    AttachAll();
                },
                Qt::QueuedConnection);
        }
    }
    return QObject::eventFilter(Watched, Event);
}

// --- installation ---

void InstallBetterDockTree() { gBetterDockTreeInstalled = true; }

bool BetterDockTreeInstalled() { return gBetterDockTreeInstalled; }

TBetterDockTree* DockTreeOf(QMainWindow* Site)
{
    if (!Site) return nullptr;
    if (auto* tree = Site->findChild<TBetterDockTree*>(QString(), Qt::FindDirectChildrenOnly)) return tree;
    return gBetterDockTreeInstalled ? new TBetterDockTree(Site) : nullptr;
}
