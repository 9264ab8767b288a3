#include "koDockForm.h"

#include "platform/Exceptions.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QStyle>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <numeric>

const char* const DockPopupMenuProperty = "PopupMenu";

namespace {

// The caption colour of the active window; Linux has no such system colour.
QColor clActiveCaption() { return QColor(153, 180, 209); }

QRect GlobalRect(const QWidget* Widget)
{
    return QRect(Widget->mapToGlobal(QPoint(0, 0)), Widget->size());
}

QMainWindow* SiteOf(const QWidget* Widget)
{
    for (QWidget* w = Widget ? Widget->parentWidget() : nullptr; w; w = w->parentWidget())
        if (auto* site = qobject_cast<QMainWindow*>(w)) return site;
    return nullptr;
}

Qt::DockWidgetArea AreaOfEdge(Qt::Edge Edge)
{
    switch (Edge) {
    case Qt::LeftEdge: return Qt::LeftDockWidgetArea;
    case Qt::RightEdge: return Qt::RightDockWidgetArea;
    case Qt::TopEdge: return Qt::TopDockWidgetArea;
    case Qt::BottomEdge: return Qt::BottomDockWidgetArea;
    }
    return Qt::NoDockWidgetArea;
}

Qt::Orientation SplitOf(Qt::Edge Edge)
{
    return Edge == Qt::LeftEdge || Edge == Qt::RightEdge ? Qt::Horizontal : Qt::Vertical;
}

// The docked panes of Site (direct children in one of its areas), visible ones only.
std::vector<QDockWidget*> DockedPanes(QMainWindow* Site)
{
    std::vector<QDockWidget*> result;
    for (QDockWidget* dock : Site->findChildren<QDockWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (dock->isVisibleTo(Site) && Site->dockWidgetArea(dock) != Qt::NoDockWidgetArea) result.push_back(dock);
    return result;
}

// Splits the panes Indexes into groups divided by gaps along one axis; one group when none.
std::vector<std::vector<size_t>> Cut(const std::vector<QRect>& Panes, std::vector<size_t> Indexes,
                                     Qt::Orientation Along)
{
    auto first = [&](size_t i) { return Along == Qt::Horizontal ? Panes[i].left() : Panes[i].top(); };
    auto last = [&](size_t i) { return Along == Qt::Horizontal ? Panes[i].right() : Panes[i].bottom(); };
    std::sort(Indexes.begin(), Indexes.end(), [&](size_t a, size_t b) { return first(a) < first(b); });
    std::vector<std::vector<size_t>> groups;
    int reach = 0;
    for (size_t i : Indexes) {
        if (groups.empty() || first(i) > reach) {
            groups.emplace_back();
            reach = last(i);
        }
        groups.back().push_back(i);
        reach = std::max(reach, last(i));
    }
    return groups;
}

// The splits of one dock area, recovered from where its panes are: a leaf holds a pane, a split
// lays its children side by side (Along Horizontal) or stacked (Vertical). Panes that no straight
// line divides (tabs) make a zone that is neither, left alone.
struct TZone
{
    int Pane = -1;
    Qt::Orientation Along = Qt::Horizontal;
    QRect Rect;
    std::vector<TZone> Children;

    bool IsLeaf() const { return Pane >= 0; }
    bool IsSplit() const { return !Children.empty(); }
    int FirstPane() const { return IsLeaf() ? Pane : IsSplit() ? Children.front().FirstPane() : -1; }
};

TZone BuildZone(const std::vector<QRect>& Panes, const std::vector<size_t>& Indexes)
{
    TZone zone;
    for (size_t i : Indexes) zone.Rect |= Panes[i];
    if (Indexes.size() == 1) {
        zone.Pane = int(Indexes.front());
        return zone;
    }
    for (Qt::Orientation along : {Qt::Horizontal, Qt::Vertical}) {
        const std::vector<std::vector<size_t>> groups = Cut(Panes, Indexes, along);
        if (groups.size() > 1) {
            zone.Along = along;
            for (const auto& group : groups) zone.Children.push_back(BuildZone(Panes, group));
            return zone;
        }
    }
    return zone;
}

TZone ZoneTree(const std::vector<QRect>& Panes)
{
    std::vector<size_t> all(Panes.size());
    std::iota(all.begin(), all.end(), size_t(0));
    return Panes.empty() ? TZone() : BuildZone(Panes, all);
}

// The direction in which an area grows into the rest of its site.
Qt::Orientation AreaDirection(Qt::DockWidgetArea Area)
{
    return Area == Qt::TopDockWidgetArea || Area == Qt::BottomDockWidgetArea ? Qt::Vertical : Qt::Horizontal;
}

int Extent(const QRect& Rect, Qt::Orientation Along) { return Along == Qt::Horizontal ? Rect.width() : Rect.height(); }

// One area of a site: its visible docked panes and their splits.
struct TAreaZones
{
    Qt::DockWidgetArea Area = Qt::NoDockWidgetArea;
    std::vector<QDockWidget*> Panes;
    TZone Root;
};

TAreaZones AreaZones(QMainWindow* Site, Qt::DockWidgetArea Area)
{
    TAreaZones result;
    result.Area = Area;
    std::vector<QRect> rects;
    for (QDockWidget* dock : DockedPanes(Site))
        if (Site->dockWidgetArea(dock) == Area) {
            result.Panes.push_back(dock);
            rects.push_back(dock->geometry());
        }
    result.Root = ZoneTree(rects);
    return result;
}

// Gives the children of a split the sizes Wanted. The site only keeps sizes exactly when it is
// handed every child with the room they have together, so the last child takes what is left,
// unless the split runs the way its area grows into the site (then the site gives the room).
void SizeChildren(QMainWindow* Site, const TAreaZones& Zones, const TZone& Split, bool Root, std::vector<int> Wanted)
{
    const bool free = Root && Split.Along == AreaDirection(Zones.Area);
    if (!free) {
        int total = 0;
        int others = 0;
        for (size_t i = 0; i < Split.Children.size(); ++i) {
            total += Extent(Split.Children[i].Rect, Split.Along);
            if (i + 1 < Split.Children.size()) others += Wanted[i];
        }
        Wanted.back() = std::max(1, total - others);
    }
    QList<QDockWidget*> docks;
    QList<int> sizes;
    for (size_t i = 0; i < Split.Children.size(); ++i) {
        const int pane = Split.Children[i].FirstPane();
        if (pane < 0) return;
        docks << Zones.Panes[pane];
        sizes << std::max(1, Wanted[i]);
    }
    Site->resizeDocks(docks, sizes, Split.Along);
}

// The path of zones from Root down to the leaf of Pane; empty when it is not there.
bool FindPath(const TZone& Zone, int Pane, std::vector<const TZone*>& Path)
{
    Path.push_back(&Zone);
    if (Zone.Pane == Pane) return true;
    for (const TZone& child : Zone.Children)
        if (FindPath(child, Pane, Path)) return true;
    Path.pop_back();
    return false;
}

// Where the panes of a site were, site coordinates.
using TPaneRects = std::map<QDockWidget*, QRect>;

TPaneRects PaneRects(QMainWindow* Site)
{
    if (QLayout* layout = Site->layout()) layout->activate();
    TPaneRects result;
    for (QDockWidget* dock : DockedPanes(Site)) result[dock] = dock->geometry();
    return result;
}

// The extent of Zone along Along as it was in Before; its present extent when a pane is new.
int ExtentBefore(const TAreaZones& Zones, const TZone& Zone, Qt::Orientation Along, const TPaneRects* Before)
{
    if (!Before) return Extent(Zone.Rect, Along);
    QRect rect;
    std::function<bool(const TZone&)> gather = [&](const TZone& zone) {
        if (zone.IsLeaf()) {
            const auto it = Before->find(Zones.Panes[zone.Pane]);
            if (it == Before->end()) return false;
            rect |= it->second;
            return true;
        }
        return std::all_of(zone.Children.begin(), zone.Children.end(), gather);
    };
    return gather(Zone) && !rect.isEmpty() ? Extent(rect, Along) : Extent(Zone.Rect, Along);
}

// Sizes Dock along Along. The other panes beside it keep their sizes (those in Before, when given);
// GiveWay, when it lies beside Dock in that direction, gives or takes the room, else the neighbour
// after Dock (or before it, for the last).
void ResizeDock(QMainWindow* Site, QDockWidget* Dock, Qt::Orientation Along, int Size, QDockWidget* GiveWay = nullptr,
                const TPaneRects* Before = nullptr)
{
    const Qt::DockWidgetArea area = Site->dockWidgetArea(Dock);
    if (area == Qt::NoDockWidgetArea) return;
    if (!Site->isVisible()) {
        // Nothing is laid out yet; the site keeps the size for when it is.
        if (Along == AreaDirection(area)) Site->resizeDocks({Dock}, {Size}, Along);
        return;
    }
    if (QLayout* layout = Site->layout()) layout->activate();
    const TAreaZones zones = AreaZones(Site, area);
    const int index = int(std::find(zones.Panes.begin(), zones.Panes.end(), Dock) - zones.Panes.begin());
    std::vector<const TZone*> path;
    if (index >= int(zones.Panes.size()) || !FindPath(zones.Root, index, path)) return;
    for (size_t level = path.size() - 1; level-- > 0;) {
        const TZone& split = *path[level];
        if (!split.IsSplit() || split.Along != Along) continue;
        const size_t k = size_t(path[level + 1] - split.Children.data());
        std::vector<int> wanted;
        for (const TZone& child : split.Children) wanted.push_back(ExtentBefore(zones, child, Along, Before));
        const int change = Size - wanted[k];
        wanted[k] = Size;
        const bool free = level == 0 && Along == AreaDirection(area);
        const auto giveWay = std::find(zones.Panes.begin(), zones.Panes.end(), GiveWay);
        std::vector<const TZone*> other;
        if (giveWay != zones.Panes.end() && FindPath(split, int(giveWay - zones.Panes.begin()), other)
            && other.size() > 1 && other[1] != path[level + 1]) {
            const int separator = Site->style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, Site);
            // A pane the form was put beside: the two share the room the pane had.
            int& room = wanted[size_t(other[1] - split.Children.data())];
            room = Before ? room - Size - separator : room - change;
        } else if (!free) {
            wanted[k + 1 < wanted.size() ? k + 1 : k - 1] -= change;
        }
        SizeChildren(Site, zones, split, level == 0, wanted);
        return;
    }
    if (Along == AreaDirection(area)) Site->resizeDocks({Dock}, {Size}, Along);
}

void ResetZone(QMainWindow* Site, const TAreaZones& Zones, const TZone& Zone, bool Root)
{
    if (Zone.IsLeaf()) {
        // A pane alone in its area: its size the way the area grows.
        if (auto* form = qobject_cast<TDockForm*>(Zones.Panes[Zone.Pane]); form && Root) {
            const Qt::Orientation along = AreaDirection(Zones.Area);
            Site->resizeDocks({form}, {along == Qt::Horizontal ? form->UndockWidth() : form->UndockHeight()}, along);
        }
        return;
    }
    if (!Zone.IsSplit()) return;
    std::vector<int> wanted;
    for (const TZone& child : Zone.Children) {
        auto* form = child.IsLeaf() ? qobject_cast<TDockForm*>(Zones.Panes[child.Pane]) : nullptr;
        wanted.push_back(form ? (Zone.Along == Qt::Horizontal ? form->UndockWidth() : form->UndockHeight())
                              : Extent(child.Rect, Zone.Along));
    }
    SizeChildren(Site, Zones, Zone, Root, wanted);
    for (const TZone& child : Zone.Children) ResetZone(Site, Zones, child, false);
}

} // namespace

QMenu* DockClientPopupMenu(const QWidget* Client)
{
    if (!Client) return nullptr;
    return qobject_cast<QMenu*>(Client->property(DockPopupMenuProperty).value<QObject*>());
}

// --- TDockForm ---

TDockForm::TDockForm(QWidget* Owner)
    : QDockWidget(Owner)
{
    setFeatures(QDockWidget::NoDockWidgetFeatures);
    SetDockBorderIcons(this, {});
}

TDockForm::~TDockForm()
{
    FDragObject.reset();
    if (FClient) FClient->removeEventFilter(this);
}

void TDockForm::SetClient(QWidget* Value)
{
    if (FClient == Value) return;
    if (FClient) FClient->removeEventFilter(this);
    FClient = Value;
    if (Value) {
        if (widget() != Value) setWidget(Value);
        Value->installEventFilter(this);
        setWindowTitle(Value->windowTitle());
    }
}

QMenu* TDockForm::PopupMenu() const { return DockClientPopupMenu(FClient); }

QMainWindow* TDockForm::DockSite() const { return SiteOf(this); }

bool TDockForm::IsDocked() const
{
    QMainWindow* site = DockSite();
    return site && parentWidget() == site && site->dockWidgetArea(const_cast<TDockForm*>(this)) != Qt::NoDockWidgetArea;
}

void TDockForm::SetBounds(const QRect& Bounds)
{
    if (!IsDocked()) {
        setGeometry(Bounds);
        return;
    }
    QMainWindow* site = DockSite();
    if (width() != Bounds.width()) ResizeDock(site, this, Qt::Horizontal, Bounds.width());
    if (height() != Bounds.height()) ResizeDock(site, this, Qt::Vertical, Bounds.height());
}

void TDockForm::BeginDockDrag(const QPoint& GlobalPos)
{
    FDragObject.reset();
    if (!IsDocked() || !TDockSite::Of(DockSite())) return;
    FDragObject = std::make_unique<TDragDockObjectOverlay>(this);
    connect(FDragObject.get(), &TDragDockObjectOverlay::Finished, this,
            [this, drag = FDragObject.get()] { DragFinished(drag); });
    FDragObject->Begin(GlobalPos);
}

// The drag object is still on the stack when it finishes; it goes once control has left it.
void TDockForm::DragFinished(TDragDockObjectOverlay* Drag)
{
    QMetaObject::invokeMethod(
        this,
        [this, Drag] {
            if (FDragObject.get() == Drag) FDragObject.reset();
        },
        Qt::QueuedConnection);
}

void TDockForm::DockTo(const TDockDropTarget& Target)
{
    if (!Target || (Target.Pane && (Target.Pane == this || isAncestorOf(Target.Pane)))) return;
    QMainWindow* from = DockSite();
    QMainWindow* to = Target.Site;
    {
        const QScopedValueRollback<bool> moving(FMoving, true);
        if (from && from->dockWidgetArea(this) != Qt::NoDockWidgetArea) from->removeDockWidget(this);
        // The sizes the panes have without the form, which the drop keeps.
        const TPaneRects before = to->isVisible() ? PaneRects(to) : TPaneRects();
        const Qt::Orientation split = SplitOf(Target.Side);
        int size = Extent(Target.DockRect, split);
        if (Target.Pane) {
            if (const auto it = before.find(Target.Pane); it != before.end()) size = Extent(it->second, split) / 2;
            to->splitDockWidget(Target.Pane, this, split);
            // The site only puts a pane after another: the pane moves after the form to be after it.
            if (Target.Side == Qt::LeftEdge || Target.Side == Qt::TopEdge) to->splitDockWidget(this, Target.Pane, split);
        } else {
            to->addDockWidget(AreaOfEdge(Target.Side), this, split);
        }
        show();
        ResizeDock(to, this, split, size, Target.Pane, &before);
    }
    if (from && from != to)
        if (TDockSite* site = TDockSite::Of(from)) Q_EMIT site->UnDocked(this);
    if (TDockSite* site = TDockSite::Of(to)) Q_EMIT site->DockDropped(this);
}

void TDockForm::CanUndock(QWidget* NewTarget, bool& Allow) { Allow = NewTarget != nullptr; }

void TDockForm::GetClientState(TDockClientState& State)
{
    if (!FClient) return;
    State.Caption = FClient->windowTitle();
    State.Hint = FClient->windowTitle();
}

void TDockForm::GetButtonCount(int& Count) { Count = PopupMenu() ? 1 : 0; }

void TDockForm::GetButtonState(int Index, TDockClientButtonState& State)
{
    if (Index != 0) return;
    State.Hint = QStringLiteral("Options");
    State.Kind = dbkDown;
    const QMenu* menu = PopupMenu();
    if (menu && !menu->isEnabled())
        State.State.Include(dbsDisabled);
    else
        State.State.Exclude(dbsDisabled);
}

void TDockForm::DrawButton(QPainter&, const QRect&, const TDockClientButtonState&) {}

void TDockForm::ButtonClick(int, const TDockClientButtonState& State)
{
    if (State.Kind != dbkDown) return;
    QMenu* menu = PopupMenu();
    if (!menu || !menu->isEnabled()) return;
    menu->popup(QPoint(State.ButtonRect.left(), State.ButtonRect.top() + State.ButtonRect.height()));
}

bool TDockForm::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == FClient) {
        if (Event->type() == QEvent::WindowTitleChange) {
            setWindowTitle(FClient->windowTitle());
        } else if (Event->type() == QEvent::DynamicPropertyChange) {
            // The options button comes and goes with the pop-up menu.
            if (QWidget* bar = titleBarWidget()) bar->update();
        }
    }
    return QDockWidget::eventFilter(Watched, Event);
}

void TDockForm::closeEvent(QCloseEvent* Event)
{
    if (!DockBorderIcons(this).Contains(biSystemMenu)) {
        Event->ignore();
        return;
    }
    QDockWidget::closeEvent(Event);
}

void TDockForm::hideEvent(QHideEvent* Event)
{
    QDockWidget::hideEvent(Event);
    // Hidden by itself, not with its window.
    if (!FMoving && isHidden()) Q_EMIT Hidden();
}

// --- DockControl ---

TDockForm* DockControlWith(std::unique_ptr<TDockForm> Owned, QMainWindow* Host, QWidget* Control, TAlign Side)
{
    ATELIER_ASSERT(Owned && Host && Control);
    if (Side == alNone) throw EInvalidOperation(QStringLiteral("A dock form needs a side to dock at"));
    if (Side == alClient && Host->centralWidget())
        throw EInvalidOperation(QStringLiteral("The dock site already has a central pane"));
    MakeDockSite(Host);
    TDockForm* Form = Owned.release();
    Form->setParent(Host);
    Form->setObjectName(QStringLiteral("Dock") + Control->objectName());
    Form->setWindowTitle(Control->windowTitle());
    const QPoint origin = Control->mapToGlobal(QPoint(0, 0));
    Form->SetUndockLeft(origin.x());
    Form->SetUndockTop(origin.y());
    Form->SetUndockWidth(Control->width());
    Form->SetUndockHeight(Control->height());
    Form->resize(Control->size());
    Form->SetClient(Control);
    Control->show();
    switch (Side) {
    case alClient:
        Host->setCentralWidget(Form);
        break;
    case alLeft:
    case alRight:
        Host->addDockWidget(Side == alLeft ? Qt::LeftDockWidgetArea : Qt::RightDockWidgetArea, Form, Qt::Horizontal);
        break;
    default:
        Host->addDockWidget(Side == alTop ? Qt::TopDockWidgetArea : Qt::BottomDockWidgetArea, Form, Qt::Vertical);
        break;
    }
    Form->show();
    if (Side == alLeft || Side == alRight)
        ResizeDock(Host, Form, Qt::Horizontal, Form->UndockWidth());
    else if (Side != alClient)
        ResizeDock(Host, Form, Qt::Vertical, Form->UndockHeight());
    return Form;
}

// --- zone limits ---

std::vector<Qt::Orientation> DockOrientations(const std::vector<QRect>& Panes, Qt::DockWidgetArea Area)
{
    std::vector<Qt::Orientation> result(Panes.size(), AreaDirection(Area));
    std::function<void(const TZone&)> walk = [&](const TZone& zone) {
        for (const TZone& child : zone.Children) {
            if (child.IsLeaf()) result[child.Pane] = zone.Along;
            walk(child);
        }
    };
    walk(ZoneTree(Panes));
    return result;
}

void ResetDockZoneLimits(QMainWindow* Site)
{
    if (!Site) return;
    if (QLayout* layout = Site->layout()) layout->activate();
    for (Qt::DockWidgetArea area : {Qt::LeftDockWidgetArea, Qt::RightDockWidgetArea, Qt::TopDockWidgetArea,
                                    Qt::BottomDockWidgetArea}) {
        const TAreaZones zones = AreaZones(Site, area);
        if (!zones.Panes.empty()) ResetZone(Site, zones, zones.Root, true);
    }
}

// --- drop targets ---

Qt::Edge NearestEdge(const QRect& Rect, const QPoint& Point)
{
    const int distances[4] = {Point.x() - Rect.left(), Rect.right() - Point.x(), Point.y() - Rect.top(),
                              Rect.bottom() - Point.y()};
    static const Qt::Edge edges[4] = {Qt::LeftEdge, Qt::RightEdge, Qt::TopEdge, Qt::BottomEdge};
    return edges[std::min_element(std::begin(distances), std::end(distances)) - std::begin(distances)];
}

QRect HalfRect(const QRect& Rect, Qt::Edge Edge)
{
    const int w = Rect.width() / 2;
    const int h = Rect.height() / 2;
    switch (Edge) {
    case Qt::LeftEdge: return QRect(Rect.left(), Rect.top(), w, Rect.height());
    case Qt::RightEdge: return QRect(Rect.left() + Rect.width() - w, Rect.top(), w, Rect.height());
    case Qt::TopEdge: return QRect(Rect.left(), Rect.top(), Rect.width(), h);
    case Qt::BottomEdge: return QRect(Rect.left(), Rect.top() + Rect.height() - h, Rect.width(), h);
    }
    return Rect;
}

namespace {

bool EdgeTarget(const TDockSiteGeometry& Site, Qt::Edge Edge, const QPoint& Pos, const QSize& FormSize,
                TDockDropTarget& Target)
{
    if (!(Site.Areas & AreaOfEdge(Edge))) return false;
    const QRect region = Site.Region;
    const QRect central = Site.Central.isEmpty() ? region : Site.Central;
    const int e = DockEdgeStripSize;
    const bool across = SplitOf(Edge) == Qt::Horizontal;
    const int room = across ? region.width() : region.height();
    const int t = std::clamp(across ? FormSize.width() : FormSize.height(), e, std::max(e, room / 2));
    QRect strip;
    QRect dock;
    switch (Edge) {
    case Qt::LeftEdge:
        strip = QRect(central.left(), central.top(), e, central.height());
        dock = QRect(central.left(), central.top(), t, central.height());
        break;
    case Qt::TopEdge:
        strip = QRect(central.left(), central.top(), central.width(), e);
        dock = QRect(region.left(), central.top(), region.width(), t);
        break;
    case Qt::RightEdge:
        strip = QRect(region.right() - e + 1, central.top(), e, central.height());
        dock = QRect(region.right() - t + 1, central.top(), t, central.height());
        break;
    case Qt::BottomEdge:
        strip = QRect(region.left(), region.bottom() - e + 1, region.width(), e);
        dock = QRect(region.left(), region.bottom() - t + 1, region.width(), t);
        break;
    }
    if (!strip.contains(Pos)) return false;
    Target = {Site.Site, nullptr, Edge, dock};
    return true;
}

} // namespace

TDockDropTarget FindDropTarget(const std::vector<TDockSiteGeometry>& Sites, const QPoint& Pos, const QRect& FormRect)
{
    if (FormRect.contains(Pos)) return {};
    std::vector<const TDockSiteGeometry*> inner;
    for (const TDockSiteGeometry& site : Sites) inner.push_back(&site);
    std::stable_sort(inner.begin(), inner.end(), [](auto* a, auto* b) { return a->Depth > b->Depth; });

    TDockDropTarget target;
    for (const TDockSiteGeometry* site : inner)
        for (Qt::Edge edge : {Qt::LeftEdge, Qt::TopEdge, Qt::RightEdge, Qt::BottomEdge})
            if (EdgeTarget(*site, edge, Pos, FormRect.size(), target)) return target;

    const TDockSiteGeometry::TPane* best = nullptr;
    const TDockSiteGeometry* bestSite = nullptr;
    auto area = [](const QRect& r) { return qint64(r.width()) * r.height(); };
    for (const TDockSiteGeometry* site : inner)
        for (const auto& pane : site->Panes)
            if (pane.Rect.contains(Pos) && (!best || area(pane.Rect) < area(best->Rect))) {
                best = &pane;
                bestSite = site;
            }
    if (!best) return {};
    const Qt::Edge edge = NearestEdge(best->Rect, Pos);
    return {bestSite->Site, best->Dock, edge, HalfRect(best->Rect, edge)};
}

std::vector<TDockSiteGeometry> DockSiteGeometries(QDockWidget* Form)
{
    std::vector<TDockSiteGeometry> result;
    if (!Form) return result;
    for (QMainWindow* site : DockSitesOf(Form)) {
        TDockSite* info = TDockSite::Of(site);
        if (!site->isVisible() || Form->isAncestorOf(site) || !info->Accepts(Form)) continue;
        TDockSiteGeometry geometry;
        geometry.Site = site;
        for (QWidget* w = site->parentWidget(); w; w = w->parentWidget())
            if (qobject_cast<QMainWindow*>(w)) ++geometry.Depth;
        geometry.Areas = info->Areas();
        if (QWidget* central = site->centralWidget(); central && central->isVisible()) {
            geometry.Central = GlobalRect(central);
            geometry.Region = geometry.Central;
        }
        for (QDockWidget* dock : DockedPanes(site)) {
            const QRect rect = GlobalRect(dock);
            geometry.Region |= rect;
            if (dock != Form) geometry.Panes.push_back({dock, rect});
        }
        if (geometry.Region.isEmpty()) geometry.Region = GlobalRect(site);
        result.push_back(std::move(geometry));
    }
    return result;
}

// --- TDockSite ---

TDockSite::TDockSite(QMainWindow* Site, TBetterDockTree* Tree)
    : QObject(Site)
    , FSite(Site)
    , FTree(Tree)
{
    connect(Tree, &TBetterDockTree::CaptionDragStarted, this, [](QDockWidget* Dock, QPoint GlobalPos) {
        try {
            if (auto* form = qobject_cast<TDockForm*>(Dock)) form->BeginDockDrag(GlobalPos);
        } catch (...) {
            HandleEventException();
        }
    });
}

TDockSite* TDockSite::Of(const QMainWindow* Site)
{
    return Site ? Site->findChild<TDockSite*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

bool TDockSite::Accepts(QDockWidget* Form) const { return !FFilter || FFilter(Form); }

TDockSite* MakeDockSite(QMainWindow* Site)
{
    ATELIER_ASSERT(Site);
    if (TDockSite* site = TDockSite::Of(Site)) return site;
    TBetterDockTree* tree = Site->findChild<TBetterDockTree*>(QString(), Qt::FindDirectChildrenOnly);
    if (!tree) tree = DockTreeOf(Site);
    if (!tree) tree = new TBetterDockTree(Site);
    return new TDockSite(Site, tree);
}

std::vector<QMainWindow*> DockSitesOf(const QWidget* Widget)
{
    std::vector<QMainWindow*> result;
    if (!Widget) return result;
    QWidget* top = Widget->window();
    if (auto* site = qobject_cast<QMainWindow*>(top); site && TDockSite::Of(site)) result.push_back(site);
    for (QMainWindow* site : top->findChildren<QMainWindow*>())
        if (TDockSite::Of(site)) result.push_back(site);
    return result;
}

// --- TDockOverlayForm ---

TDockOverlayForm::TDockOverlayForm()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint
                           | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus)
{
    setObjectName(QStringLiteral("DockOverlay"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, clActiveCaption());
    setPalette(colours);
    FTimer.setInterval(10);
    connect(&FTimer, &QTimer::timeout, this, &TDockOverlayForm::Step);
    SetAlpha(0);
}

TDockOverlayForm::~TDockOverlayForm() = default;

void TDockOverlayForm::SetOpacity(quint8 Value)
{
    FOpacity = Value;
    if (FTarget != 0 || !Fading()) FTarget = Value;
    SetAlpha(Value);
}

bool TDockOverlayForm::Showing() const { return isVisible() && !(Fading() && FTarget == 0); }

void TDockOverlayForm::SetAlpha(int Value)
{
    FAlpha = std::clamp(Value, 0, 255);
    setWindowOpacity(FAlpha / 255.0);
}

void TDockOverlayForm::FadeIn()
{
    FDieAfterFade = false;
    if (isHidden()) {
        SetAlpha(0);
        const QRect bounds = geometry();
        show();
        setGeometry(bounds);
    }
    FadeTo(FOpacity);
}

void TDockOverlayForm::ShowNow()
{
    FTimer.stop();
    FTarget = FOpacity;
    SetAlpha(FOpacity);
    show();
}

void TDockOverlayForm::FadeOver(TDockOverlayForm* FadeInForm)
{
    if (FadeInForm && FadeInForm != this) {
        FadeInForm->SetAlpha(0);
        FadeInForm->FOpacityStep = FOpacityStep;
        FadeInForm->SetFadeInterval(FadeInterval());
        FadeInForm->FOpacity = FOpacity;
        FadeInForm->FadeIn();
    }
    FadeTo(0);
}

void TDockOverlayForm::FadeOverAndDie(TDockOverlayForm* FadeInForm)
{
    FDieAfterFade = true;
    FadeOver(FadeInForm);
}

void TDockOverlayForm::FadeTo(int Target)
{
    FTarget = Target;
    if (FAlpha == FTarget || FOpacityStep == 0) {
        SetAlpha(FTarget);
        Step();
        return;
    }
    if (!FTimer.isActive()) FTimer.start();
}

void TDockOverlayForm::Step()
{
    if (FAlpha < FTarget)
        SetAlpha(std::min(FTarget, FAlpha + FOpacityStep));
    else if (FAlpha > FTarget)
        SetAlpha(FAlpha - FOpacityStep < std::max(FTarget, int(FOpacityStep)) ? FTarget : FAlpha - FOpacityStep);
    if (FAlpha != FTarget) return;
    FTimer.stop();
    if (FTarget == 0) {
        hide();
        if (FDieAfterFade) deleteLater();
    }
}

// --- TDragDockObjectOverlay ---

bool OverlayNeedsCrossFade(const QRect& Overlay, const QRect& DockRect)
{
    return DockRect.width() != Overlay.width() || DockRect.height() != Overlay.height()
           || std::abs(DockRect.left() - Overlay.left()) >= DockRect.width()
           || std::abs(DockRect.top() - Overlay.top()) >= DockRect.height();
}

TDragDockObjectOverlay::TDragDockObjectOverlay(TDockForm* Control, std::shared_ptr<ICursorService> Cursors)
    : FControl(Control)
    , FCursors(std::move(Cursors))
{
}

TDragDockObjectOverlay::~TDragDockObjectOverlay()
{
    if (FDragging) ReleaseInput();
    FreeOverlay();
}

void TDragDockObjectOverlay::Begin(const QPoint& GlobalPos)
{
    if (FDragging || !FControl) return;
    FDragging = true;
    FCursorRecall = SaveCursor(-1);
    qApp->installEventFilter(this);
    FControl->grabMouse();
    FControl->grabKeyboard();
    DragTo(GlobalPos);
}

void TDragDockObjectOverlay::DragTo(const QPoint& GlobalPos)
{
    if (!FControl) return;
    FTarget = FindDropTarget(DockSiteGeometries(FControl), GlobalPos, GlobalRect(FControl));
    FAccepted = FTarget && DockClientCanUndock(FControl, FTarget.Site);
    if (FAccepted)
        DrawDragDockImage(FTarget.DockRect, FTarget.Pane != nullptr);
    else
        EraseDragDockImage();
    ScreenCursors().SetCursor(GetDragCursor(FAccepted));
}

void TDragDockObjectOverlay::EndDrag(bool Drop)
{
    if (!FDragging) return;
    ReleaseInput();
    const bool dropped = Drop && FAccepted && FControl;
    const TDockDropTarget target = FTarget;
    FTarget = {};
    FAccepted = false;
    FreeOverlay();
    try {
        if (dropped) FControl->DockTo(target);
    } catch (...) {
        Q_EMIT Finished(false);
        throw;
    }
    Q_EMIT Finished(dropped);
}

void TDragDockObjectOverlay::ReleaseInput()
{
    FDragging = false;
    qApp->removeEventFilter(this);
    if (FControl) {
        FControl->releaseKeyboard();
        FControl->releaseMouse();
    }
    FCursorRecall.reset();
}

void TDragDockObjectOverlay::FreeOverlay()
{
    if (!FOverlay) return;
    if (FFadeOnMove && FOverlay->isVisible())
        FOverlay.release()->FadeOverAndDie(nullptr);
    else
        FOverlay.reset();
}

void TDragDockObjectOverlay::DrawDragDockImage(const QRect& DockRect, bool OnPane)
{
    if (!FOverlay) FOverlay = std::make_unique<TDockOverlayForm>();
    if (FFadeOnMove && FOverlay->Showing() && OnPane && OverlayNeedsCrossFade(FOverlay->geometry(), DockRect)) {
        auto next = std::make_unique<TDockOverlayForm>();
        next->setGeometry(DockRect);
        FOverlay.release()->FadeOverAndDie(next.get());
        FOverlay = std::move(next);
    } else {
        FOverlay->setGeometry(DockRect);
    }
    if (!FOverlay->Showing()) {
        if (FFadeOnMove)
            FOverlay->FadeIn();
        else
            FOverlay->ShowNow();
    }
}

void TDragDockObjectOverlay::EraseDragDockImage()
{
    if (!FOverlay || !FOverlay->isVisible()) return;
    if (FFadeOnMove)
        FOverlay->FadeOver(nullptr);
    else
        FOverlay->hide();
}

TCursor TDragDockObjectOverlay::GetDragCursor(bool Accepted) const
{
    const TCursor cursor = Accepted ? crDrag : crNoDrop;
    if (FDefaultCursors || !FCursors) return cursor;
    return FCursors->GetCursor(Accepted ? QStringLiteral("DOCK_DRAG") : QStringLiteral("DOCK_DRAG_REJECT"), cursor);
}

bool TDragDockObjectOverlay::eventFilter(QObject* Watched, QEvent* Event)
{
    if (!FDragging) return false;
    // Mouse events reach the window before the widget; the widget's copy is the one to take, so
    // that the window still does its own bookkeeping.
    const bool widget = Watched->isWidgetType();
    try {
        switch (Event->type()) {
        case QEvent::MouseMove:
            if (!widget) return false;
            DragTo(static_cast<QMouseEvent*>(Event)->globalPosition().toPoint());
            Event->accept();
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (!widget) return false;
            Event->accept();
            return true;
        case QEvent::MouseButtonRelease: {
            if (!widget) return false;
            auto* mouse = static_cast<QMouseEvent*>(Event);
            Event->accept();
            if (mouse->button() == Qt::LeftButton) {
                DragTo(mouse->globalPosition().toPoint());
                EndDrag(true);
            }
            return true;
        }
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(Event)->key() == Qt::Key_Escape) {
                Event->accept();
                EndDrag(false);
                return true;
            }
            return false;
        default:
            return false;
        }
    } catch (...) {
        HandleEventException();
        return true;
    }
}
