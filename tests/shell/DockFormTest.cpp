#include "platform/Exceptions.h"
#include "shell/koDockForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

void Settle()
{
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

// A pane that names its menu the way the workspace's panes do.
class TMenuPane : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(QMenu* PopupMenu READ PopupMenu)

public:
    QMenu* PopupMenu() const { return Menu; }
    QMenu* Menu = nullptr;
};

QLabel* Pane(const QString& name, const QString& title = {})
{
    auto* pane = new QLabel(name);
    pane->setObjectName(name);
    pane->setWindowTitle(title.isEmpty() ? name : title);
    pane->resize(150, 120);
    return pane;
}

void SendMouse(QWidget* target, QEvent::Type type, QPoint global, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(target->mapFromGlobal(global)), QPointF(global), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

TDockCaptionBar* Bar(QDockWidget* dock) { return qobject_cast<TDockCaptionBar*>(dock->titleBarWidget()); }

QRect Global(QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); }

// A shown site with a central widget; panes docked with DockControl.
class DockFormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Site = std::make_unique<QMainWindow>();
        Site->setObjectName(QStringLiteral("Site"));
        auto* central = new QLabel(QStringLiteral("centre"));
        central->setObjectName(QStringLiteral("Centre"));
        Site->setCentralWidget(central);
    }

    void Show(QMainWindow* window = nullptr, QSize size = QSize(800, 600))
    {
        window = window ? window : Site.get();
        window->resize(size);
        window->show();
        Settle();
    }

    // Presses on the form's caption text and moves far enough to start the drag.
    void StartDrag(TDockForm* form)
    {
        TDockCaptionBar* bar = Bar(form);
        ASSERT_NE(bar, nullptr);
        const QPoint at = bar->mapToGlobal(bar->CaptionRect().topLeft() + QPoint(20, 5));
        SendMouse(bar, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
        SendMouse(bar, QEvent::MouseMove, at + QPoint(QApplication::startDragDistance() + 2, 0), Qt::NoButton,
                  Qt::LeftButton);
        ASSERT_NE(form->DragObject(), nullptr);
        ASSERT_TRUE(form->DragObject()->Dragging());
    }

    // The drag takes the mouse wherever it is delivered.
    void DragTo(QPoint global) { SendMouse(Site.get(), QEvent::MouseMove, global, Qt::NoButton, Qt::LeftButton); }
    void DropAt(QPoint global)
    {
        SendMouse(Site.get(), QEvent::MouseButtonRelease, global, Qt::LeftButton, Qt::NoButton);
        Settle();
    }

    std::unique_ptr<QMainWindow> Site;
};

} // namespace

// --- geometry ---

TEST(DockDropGeometryTest, NearestEdgeAndHalves)
{
    const QRect r(100, 50, 200, 100); // right 299, bottom 149
    struct Case
    {
        QPoint Point;
        Qt::Edge Edge;
        QRect Half;
    };
    const Case cases[] = {
        {{110, 100}, Qt::LeftEdge, QRect(100, 50, 100, 100)},
        {{290, 100}, Qt::RightEdge, QRect(200, 50, 100, 100)},
        {{200, 55}, Qt::TopEdge, QRect(100, 50, 200, 50)},
        {{200, 145}, Qt::BottomEdge, QRect(100, 100, 200, 50)},
        {{140, 90}, Qt::LeftEdge, QRect(100, 50, 100, 100)}, // as near to the left as to the top
        {{105, 52}, Qt::TopEdge, QRect(100, 50, 200, 50)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("(%1, %2)").arg(c.Point.x()).arg(c.Point.y()).toStdString());
        EXPECT_EQ(NearestEdge(r, c.Point), c.Edge);
        EXPECT_EQ(HalfRect(r, c.Edge), c.Half);
    }
    // Odd sizes: the half is the smaller part at that edge.
    EXPECT_EQ(HalfRect(QRect(0, 0, 7, 5), Qt::RightEdge), QRect(4, 0, 3, 5));
    EXPECT_EQ(HalfRect(QRect(0, 0, 7, 5), Qt::BottomEdge), QRect(0, 3, 7, 2));
}

TEST(DockDropGeometryTest, StripsOfInnerSitesFirstThenInnermostPane)
{
    // Outer site: a left pane, a bottom pane, its centre holds the inner site (left pane, central
    // editor, right pane). Screen coordinates.
    // Only compared, never used.
    auto* outerLeft = reinterpret_cast<QDockWidget*>(0x1);
    auto* outerBottom = reinterpret_cast<QDockWidget*>(0x2);
    auto* innerLeft = reinterpret_cast<QDockWidget*>(0x3);
    auto* innerRight = reinterpret_cast<QDockWidget*>(0x4);
    auto* outerSite = reinterpret_cast<QMainWindow*>(0x10);
    auto* innerSite = reinterpret_cast<QMainWindow*>(0x20);

    TDockSiteGeometry outer;
    outer.Site = outerSite;
    outer.Region = QRect(0, 0, 1000, 600);
    outer.Central = QRect(200, 0, 800, 450);
    outer.Areas = Qt::LeftDockWidgetArea | Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea;
    outer.Panes = {{outerLeft, QRect(0, 0, 196, 450)}, {outerBottom, QRect(0, 454, 1000, 146)}};
    TDockSiteGeometry inner;
    inner.Site = innerSite;
    inner.Depth = 1;
    inner.Region = QRect(200, 0, 800, 450);
    inner.Central = QRect(400, 0, 400, 450);
    inner.Panes = {{innerLeft, QRect(200, 0, 196, 450)}, {innerRight, QRect(804, 0, 196, 450)}};
    const std::vector<TDockSiteGeometry> sites = {outer, inner};
    const QRect form(0, 1000, 150, 100); // away from everything

    struct Case
    {
        QPoint Pos;
        QMainWindow* Site;
        QDockWidget* Pane;
        Qt::Edge Side;
        QRect DockRect;
    };
    const Case cases[] = {
        // Left and top strips run along the central widget, right and bottom along the outside.
        {{205, 100}, outerSite, nullptr, Qt::LeftEdge, QRect(200, 0, 150, 450)},
        {{410, 200}, innerSite, nullptr, Qt::LeftEdge, QRect(400, 0, 150, 450)},
        {{600, 5}, innerSite, nullptr, Qt::TopEdge, QRect(200, 0, 800, 100)},
        {{990, 200}, innerSite, nullptr, Qt::RightEdge, QRect(850, 0, 150, 450)},
        {{500, 440}, innerSite, nullptr, Qt::BottomEdge, QRect(200, 350, 800, 100)},
        {{500, 590}, outerSite, nullptr, Qt::BottomEdge, QRect(0, 500, 1000, 100)},
        // Panes: the half nearest to the pointer.
        {{900, 420}, innerSite, innerRight, Qt::BottomEdge, QRect(804, 225, 196, 225)},
        {{300, 100}, innerSite, innerLeft, Qt::RightEdge, QRect(298, 0, 98, 450)},
        {{100, 300}, outerSite, outerLeft, Qt::RightEdge, QRect(98, 0, 98, 450)},
        {{500, 500}, outerSite, outerBottom, Qt::TopEdge, QRect(0, 454, 1000, 73)},
        // The editor itself takes nothing; nor does the space beside every site.
        {{600, 200}, nullptr, nullptr, Qt::LeftEdge, QRect()},
        {{1200, 100}, nullptr, nullptr, Qt::LeftEdge, QRect()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("(%1, %2)").arg(c.Pos.x()).arg(c.Pos.y()).toStdString());
        const TDockDropTarget target = FindDropTarget(sites, c.Pos, form);
        EXPECT_EQ(target.Site, c.Site);
        EXPECT_EQ(target.Pane, c.Pane);
        if (c.Site) {
            EXPECT_EQ(target.Side, c.Side);
            EXPECT_EQ(target.DockRect, c.DockRect);
        }
    }

    // Never onto the form itself, even where a strip lies.
    EXPECT_FALSE(FindDropTarget(sites, QPoint(990, 200), QRect(804, 0, 196, 450)));
    // A side the site does not take has no strip: the pane under it takes the form.
    std::vector<TDockSiteGeometry> noRight = sites;
    noRight[1].Areas &= ~Qt::RightDockWidgetArea;
    const TDockDropTarget beside = FindDropTarget(noRight, QPoint(995, 200), form);
    EXPECT_EQ(beside.Pane, innerRight);
    EXPECT_EQ(beside.Side, Qt::RightEdge);
    // Strips are never thinner than the strip that finds them, nor wider than half the site.
    EXPECT_EQ(FindDropTarget(sites, QPoint(205, 100), QRect(0, 1000, 5, 5)).DockRect.width(), DockEdgeStripSize);
    EXPECT_EQ(FindDropTarget(sites, QPoint(205, 100), QRect(0, 1000, 900, 5)).DockRect.width(), 500);
}

TEST(DockDropGeometryTest, OrientationsFollowTheSplits)
{
    using O = std::vector<Qt::Orientation>;
    const Qt::Orientation H = Qt::Horizontal, V = Qt::Vertical;
    struct Case
    {
        const char* Name;
        std::vector<QRect> Panes;
        Qt::DockWidgetArea Area;
        O Expected;
    };
    const Case cases[] = {
        {"alone at the left", {QRect(0, 0, 100, 400)}, Qt::LeftDockWidgetArea, {H}},
        {"alone at the bottom", {QRect(0, 400, 800, 100)}, Qt::BottomDockWidgetArea, {V}},
        {"stacked", {QRect(0, 0, 100, 100), QRect(0, 104, 100, 100), QRect(0, 208, 100, 100)},
         Qt::LeftDockWidgetArea, {V, V, V}},
        {"a pane beside a stack",
         {QRect(0, 0, 100, 300), QRect(104, 0, 100, 148), QRect(104, 152, 100, 148)},
         Qt::LeftDockWidgetArea, {H, V, V}},
        {"a row over a pane",
         {QRect(0, 0, 100, 100), QRect(104, 0, 96, 100), QRect(0, 104, 200, 100)},
         Qt::RightDockWidgetArea, {H, H, V}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(DockOrientations(c.Panes, c.Area), c.Expected);
    }
}

TEST(DockOverlayTest, CrossFadeWhenTheSizeChangesOrTheRectanglesNoLongerOverlap)
{
    const QRect overlay(100, 100, 200, 100);
    struct Case
    {
        QRect Next;
        bool CrossFade;
    };
    const Case cases[] = {
        {QRect(100, 100, 200, 100), false},
        {QRect(150, 130, 200, 100), false}, // glides
        {QRect(299, 199, 200, 100), false},
        {QRect(300, 100, 200, 100), true}, // a width away
        {QRect(100, 0, 200, 100), true},   // a height away
        {QRect(100, 100, 201, 100), true},
        {QRect(100, 100, 200, 99), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("(%1, %2)").arg(c.Next.x()).arg(c.Next.y()).toStdString());
        EXPECT_EQ(OverlayNeedsCrossFade(overlay, c.Next), c.CrossFade);
    }
}

// --- the overlay ---

TEST(DockOverlayTest, FadesInAndOverAtItsOwnPace)
{
    TDockOverlayForm overlay;
    EXPECT_EQ(overlay.Opacity(), 160);
    EXPECT_EQ(overlay.OpacityStep(), 10);
    EXPECT_FALSE(overlay.isVisible());
    EXPECT_TRUE(overlay.windowFlags() & Qt::WindowTransparentForInput);
    EXPECT_TRUE(overlay.windowFlags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(overlay.isWindow());
    overlay.setGeometry(50, 60, 120, 80);
    overlay.SetFadeInterval(20); // slow enough to see every step

    std::vector<int> alphas;
    overlay.FadeIn();
    EXPECT_TRUE(overlay.isVisible());
    EXPECT_EQ(overlay.geometry(), QRect(50, 60, 120, 80));
    alphas.push_back(overlay.Alpha());
    while (overlay.Fading()) {
        QTest::qWait(1);
        if (alphas.back() != overlay.Alpha()) alphas.push_back(overlay.Alpha());
    }
    EXPECT_EQ(alphas.front(), 0);
    EXPECT_EQ(alphas.back(), 160);
    EXPECT_EQ(alphas.size(), 17u); // 16 steps of 10
    EXPECT_DOUBLE_EQ(overlay.windowOpacity(), 160 / 255.0);

    auto* next = new TDockOverlayForm;
    next->setGeometry(300, 60, 60, 80);
    QPointer<TDockOverlayForm> dying = new TDockOverlayForm;
    dying->ShowNow();
    dying->FadeOverAndDie(next);
    overlay.FadeOver(nullptr);
    EXPECT_TRUE(next->isVisible());
    EXPECT_EQ(next->Alpha(), 0);
    EXPECT_FALSE(overlay.Showing()); // on its way out
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dying && !overlay.Fading(); }, 2000));
    EXPECT_FALSE(overlay.isVisible());
    EXPECT_EQ(next->Alpha(), 160);
    EXPECT_TRUE(next->isVisible());

    // The opacity applies at once.
    next->SetOpacity(200);
    EXPECT_EQ(next->Alpha(), 200);
    EXPECT_DOUBLE_EQ(next->windowOpacity(), 200 / 255.0);
    delete next;
}

namespace {

class TFakeCursors : public ICursorService
{
public:
    std::vector<std::pair<QString, TCursor>> Asked;
    TCursor GetCursor(const QString& name, TCursor defaultCursor) override
    {
        Asked.emplace_back(name, defaultCursor);
        return name == QStringLiteral("DOCK_DRAG") ? 101 : 102;
    }
};

} // namespace

TEST_F(DockFormTest, DragCursorsAndOverlayMoves)
{
    auto* form = DockControl(Site.get(), Pane(QStringLiteral("A")), alLeft);
    auto cursors = std::make_shared<TFakeCursors>();
    TDragDockObjectOverlay drag(form, cursors);
    EXPECT_EQ(drag.GetDragCursor(true), 101);
    EXPECT_EQ(drag.GetDragCursor(false), 102);
    using P = std::pair<QString, TCursor>;
    EXPECT_EQ(cursors->Asked,
              (std::vector<P>{{QStringLiteral("DOCK_DRAG"), crDrag}, {QStringLiteral("DOCK_DRAG_REJECT"), crNoDrop}}));
    drag.SetDefaultCursors(true);
    EXPECT_EQ(drag.GetDragCursor(true), crDrag);
    EXPECT_EQ(drag.GetDragCursor(false), crNoDrop);
    EXPECT_EQ(cursors->Asked.size(), 2u);

    // Over panes: the same overlay glides while it overlaps at the same size, another one
    // cross-fades in otherwise; edges of a site only move it.
    drag.DrawDragDockImage(QRect(0, 0, 100, 200), true);
    QPointer<TDockOverlayForm> first = drag.Overlay();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    drag.DrawDragDockImage(QRect(50, 20, 100, 200), true);
    EXPECT_EQ(drag.Overlay(), first);
    EXPECT_EQ(first->geometry(), QRect(50, 20, 100, 200));
    drag.DrawDragDockImage(QRect(50, 20, 300, 50), false);
    EXPECT_EQ(drag.Overlay(), first);
    drag.DrawDragDockImage(QRect(400, 20, 300, 50), true);
    QPointer<TDockOverlayForm> second = drag.Overlay();
    EXPECT_NE(second, first);
    EXPECT_EQ(second->geometry(), QRect(400, 20, 300, 50));
    EXPECT_TRUE(second->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !first; }, 2000)); // released after its fade

    drag.EraseDragDockImage();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !second->isVisible(); }, 2000));
    EXPECT_EQ(drag.Overlay(), second); // kept for the next target

    // Without fading the overlay shows and hides at once.
    drag.SetFadeOnMove(false);
    drag.DrawDragDockImage(QRect(0, 0, 10, 10), true);
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(second->Alpha(), 160);
    drag.DrawDragDockImage(QRect(500, 500, 20, 10), true);
    EXPECT_EQ(drag.Overlay(), second);
    drag.EraseDragDockImage();
    EXPECT_FALSE(second->isVisible());
}

// --- dock forms ---

TEST_F(DockFormTest, DockControlWrapsAndDocksAtEachSide)
{
    QLabel* resources = Pane(QStringLiteral("PanelResources"), QStringLiteral("Resources"));
    resources->resize(180, 250);
    TDockForm* left = DockControl(Site.get(), resources, alLeft);
    TDockForm* right = DockControl(Site.get(), Pane(QStringLiteral("R")), alRight);
    TDockForm* top = DockControl(Site.get(), Pane(QStringLiteral("T")), alTop);
    TDockForm* bottom1 = DockControl(Site.get(), Pane(QStringLiteral("B1")), alBottom);
    TDockForm* bottom2 = DockControl(Site.get(), Pane(QStringLiteral("B2")), alBottom);
    Show();

    EXPECT_EQ(left->objectName(), QStringLiteral("DockPanelResources"));
    EXPECT_EQ(left->windowTitle(), QStringLiteral("Resources"));
    EXPECT_EQ(left->Client(), resources);
    EXPECT_EQ(left->widget(), resources);
    EXPECT_EQ(left->UndockWidth(), 180);
    EXPECT_EQ(left->UndockHeight(), 250);
    EXPECT_EQ(left->width(), 180);
    EXPECT_EQ(left->parentWidget(), Site.get());
    EXPECT_EQ(DockBorderIcons(left), TBorderIcons());
    EXPECT_FALSE(left->features() & (QDockWidget::DockWidgetFloatable | QDockWidget::DockWidgetMovable));
    ASSERT_NE(TDockSite::Of(Site.get()), nullptr);
    EXPECT_EQ(Bar(left)->Tree(), TDockSite::Of(Site.get())->Tree());

    EXPECT_EQ(Site->dockWidgetArea(left), Qt::LeftDockWidgetArea);
    EXPECT_EQ(Site->dockWidgetArea(right), Qt::RightDockWidgetArea);
    EXPECT_EQ(Site->dockWidgetArea(top), Qt::TopDockWidgetArea);
    EXPECT_EQ(Site->dockWidgetArea(bottom2), Qt::BottomDockWidgetArea);
    // Rows added at the bottom stack from top to bottom.
    EXPECT_LT(bottom1->geometry().bottom(), bottom2->geometry().top());
    EXPECT_EQ(bottom1->geometry().left(), bottom2->geometry().left());
    for (TDockForm* form : {left, right, top, bottom1, bottom2}) EXPECT_TRUE(form->IsDocked());

    // The caption and the hint follow the client's title.
    resources->setWindowTitle(QStringLiteral("Resources (2)"));
    EXPECT_EQ(left->windowTitle(), QStringLiteral("Resources (2)"));
    const TDockClientState state = Bar(left)->Tree()->ClientState(left);
    EXPECT_EQ(state.Caption, QStringLiteral("Resources (2)"));
    EXPECT_EQ(state.Hint, QStringLiteral("Resources (2)"));

    // A second central pane is refused, as is docking nowhere.
    auto* other = new QMainWindow;
    TDockForm* edit = DockControl(other, Pane(QStringLiteral("Edit")), alClient);
    EXPECT_EQ(other->centralWidget(), edit);
    EXPECT_FALSE(edit->IsDocked());
    EXPECT_NE(Bar(edit), nullptr);
    EXPECT_THROW(DockControl(other, Pane(QStringLiteral("X")), alClient), EInvalidOperation);
    EXPECT_THROW(DockControl(other, Pane(QStringLiteral("Y")), alNone), EInvalidOperation);
    delete other;
}

TEST_F(DockFormTest, AutoSizingControlIsTopAlignedAndSizesItsForm)
{
    QLabel* fixed = Pane(QStringLiteral("Options"));
    fixed->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    fixed->setFixedHeight(60);
    TDockForm* form = DockControl(Site.get(), fixed, alLeft);
    TDockForm* below = DockControl(Site.get(), Pane(QStringLiteral("Below")), alLeft);
    Site->splitDockWidget(form, below, Qt::Vertical);
    Show();
    EXPECT_EQ(fixed->geometry().top(), Bar(form)->height());
    EXPECT_EQ(form->height(), Bar(form)->height() + 60);
    EXPECT_GT(below->height(), 300); // the rest goes to the other pane
}

TEST_F(DockFormTest, OptionsButtonFollowsThePopupMenu)
{
    auto* plain = Pane(QStringLiteral("Plain"));
    auto* withMenu = new TMenuPane;
    withMenu->setObjectName(QStringLiteral("Menu"));
    QMenu menu;
    menu.addAction(QStringLiteral("View as text"));
    withMenu->Menu = &menu;
    auto* dynamic = Pane(QStringLiteral("Dynamic"));
    QMenu dynamicMenu;
    dynamicMenu.addAction(QStringLiteral("Edit as text"));
    dynamic->setProperty(DockPopupMenuProperty, QVariant::fromValue<QObject*>(&dynamicMenu));
    TDockForm* plainForm = DockControl(Site.get(), plain, alLeft);
    TDockForm* menuForm = DockControl(Site.get(), withMenu, alLeft);
    TDockForm* dynamicForm = DockControl(Site.get(), dynamic, alRight);
    SetDockBorderIcons(menuForm, {biSystemMenu, biMinimize});
    Show();
    TBetterDockTree* tree = TDockSite::Of(Site.get())->Tree();

    EXPECT_TRUE(tree->GetButtonStates(plainForm).empty());
    EXPECT_EQ(dynamicForm->PopupMenu(), &dynamicMenu);
    ASSERT_EQ(tree->GetButtonStates(dynamicForm).size(), 1u);

    // Close, roll, then options, from right to left.
    std::vector<TDockClientButtonState> buttons = tree->GetButtonStates(menuForm);
    ASSERT_EQ(buttons.size(), 3u);
    EXPECT_EQ(buttons[2].Kind, dbkDown);
    EXPECT_EQ(buttons[2].Hint, QStringLiteral("Options"));
    EXPECT_FALSE(buttons[2].State.Contains(dbsDisabled));

    menu.setEnabled(false);
    buttons = tree->GetButtonStates(menuForm);
    EXPECT_TRUE(buttons[2].State.Contains(dbsDisabled));
    tree->ClickButton(menuForm, 2);
    menuForm->ButtonClick(0, buttons[2]); // even when asked directly
    EXPECT_FALSE(menu.isVisible());

    menu.setEnabled(true);
    buttons = tree->GetButtonStates(menuForm);
    tree->ClickButton(menuForm, 2);
    ASSERT_TRUE(menu.isVisible());
    const QRect button = buttons[2].ButtonRect;
    EXPECT_EQ(menu.pos(), QPoint(button.left(), button.top() + button.height()));
    menu.hide();
}

TEST_F(DockFormTest, CloseNeedsTheSystemMenuAndDockFormsNeverFloat)
{
    TDockForm* form = DockControl(Site.get(), Pane(QStringLiteral("Messages")), alBottom);
    Show();
    QSignalSpy hidden(form, &TDockForm::Hidden);
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(hidden.count(), 0);

    SetDockBorderIcons(form, {biSystemMenu});
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(hidden.count(), 1);

    // Only its own hiding counts, not its window's.
    form->show();
    Site->hide();
    EXPECT_EQ(hidden.count(), 1);

    EXPECT_FALSE(DockClientCanUndock(form, nullptr));
    EXPECT_TRUE(DockClientCanUndock(form, Site.get()));
}

TEST_F(DockFormTest, ResetDockZoneLimitsAndSetBounds)
{
    std::vector<TDockForm*> column;
    for (const char* name : {"One", "Two", "Three"}) column.push_back(DockControl(Site.get(), Pane(QLatin1String(name)), alLeft));
    Site->splitDockWidget(column[0], column[1], Qt::Vertical);
    Site->splitDockWidget(column[1], column[2], Qt::Vertical);
    TDockForm* right = DockControl(Site.get(), Pane(QStringLiteral("Right")), alRight);
    Show();
    column[0]->SetUndockHeight(100);
    column[1]->SetUndockHeight(200);
    right->SetUndockWidth(230);
    ResetDockZoneLimits(Site.get());
    Settle();
    EXPECT_EQ(column[0]->height(), 100);
    EXPECT_EQ(column[1]->height(), 200);
    EXPECT_EQ(right->width(), 230);

    // A docked form keeps the size it asks for; its neighbours give way.
    const int total = column[0]->height() + column[1]->height() + column[2]->height();
    column[1]->SetBounds(QRect(column[1]->pos(), QSize(column[1]->width(), 150)));
    Settle();
    EXPECT_EQ(column[1]->height(), 150);
    EXPECT_EQ(column[0]->height() + column[1]->height() + column[2]->height(), total);
    right->SetBounds(QRect(right->pos(), QSize(180, right->height())));
    Settle();
    EXPECT_EQ(right->width(), 180);
}

// --- dragging ---

TEST_F(DockFormTest, DragShowsTheOverlayAndDropsNextToAPane)
{
    TDockForm* a = DockControl(Site.get(), Pane(QStringLiteral("A")), alLeft);
    TDockForm* b = DockControl(Site.get(), Pane(QStringLiteral("B")), alRight);
    TDockForm* c = DockControl(Site.get(), Pane(QStringLiteral("C")), alRight);
    Site->splitDockWidget(b, c, Qt::Vertical);
    Show();
    QSignalSpy dropped(TDockSite::Of(Site.get()), &TDockSite::DockDropped);
    QSignalSpy undocked(TDockSite::Of(Site.get()), &TDockSite::UnDocked);
    const TCursor accepted = CursorService()->GetCursor(QStringLiteral("DOCK_DRAG"), crDrag);
    const TCursor rejected = CursorService()->GetCursor(QStringLiteral("DOCK_DRAG_REJECT"), crNoDrop);
    const TCursor before = ScreenCursors().Cursor();

    StartDrag(a);
    TDragDockObjectOverlay* drag = a->DragObject();
    EXPECT_EQ(ScreenCursors().Cursor(), rejected); // over itself
    EXPECT_EQ(QWidget::mouseGrabber(), a);
    const QRect rb = Global(b);
    DragTo(rb.center() + QPoint(0, rb.height() / 2 - 5)); // lower part of B
    EXPECT_EQ(ScreenCursors().Cursor(), accepted);
    EXPECT_EQ(drag->Target().Pane, b);
    EXPECT_EQ(drag->Target().Side, Qt::BottomEdge);
    ASSERT_NE(drag->Overlay(), nullptr);
    EXPECT_TRUE(drag->Overlay()->isVisible());
    EXPECT_EQ(drag->Overlay()->geometry(), HalfRect(rb, Qt::BottomEdge));
    // Between B and C: the room comes from B, as the overlay showed.
    const int heightC = c->height();
    DropAt(rb.center() + QPoint(0, rb.height() / 2 - 5));
    EXPECT_EQ(Site->dockWidgetArea(a), Qt::RightDockWidgetArea);
    EXPECT_LT(b->geometry().bottom(), a->geometry().top());
    EXPECT_LT(a->geometry().bottom(), c->geometry().top());
    EXPECT_EQ(c->height(), heightC);
    EXPECT_EQ(a->height(), rb.height() / 2);

    // The left half of C: the form lands left of C.
    StartDrag(a);
    const QRect rc = Global(c);
    DragTo(QPoint(rc.left() + 5, rc.center().y()));
    EXPECT_EQ(a->DragObject()->Target().Side, Qt::LeftEdge);
    DropAt(QPoint(rc.left() + 5, rc.center().y()));

    EXPECT_EQ(a->DragObject(), nullptr);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(ScreenCursors().Cursor(), before);
    EXPECT_TRUE(a->isVisible());
    EXPECT_FALSE(a->isFloating());
    EXPECT_EQ(Site->dockWidgetArea(a), Qt::RightDockWidgetArea);
    EXPECT_EQ(a->geometry().top(), c->geometry().top());
    EXPECT_LT(a->geometry().right(), c->geometry().left());
    EXPECT_EQ(a->width(), rc.width() / 2);
    EXPECT_LT(b->geometry().bottom(), a->geometry().top());
    EXPECT_EQ(dropped.count(), 2);
    EXPECT_EQ(undocked.count(), 0); // it stayed in this site
}

TEST_F(DockFormTest, EscOrReleaseOutsideChangesNothing)
{
    TDockForm* a = DockControl(Site.get(), Pane(QStringLiteral("A")), alLeft);
    TDockForm* b = DockControl(Site.get(), Pane(QStringLiteral("B")), alRight);
    Show();
    const QRect before = a->geometry();
    QSignalSpy hidden(a, &TDockForm::Hidden);

    StartDrag(a);
    DragTo(Global(b).center());
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(Site.get(), &esc);
    Settle();
    EXPECT_EQ(a->DragObject(), nullptr);
    DropAt(Global(b).center()); // the drag is over: nothing happens
    EXPECT_EQ(a->geometry(), before);

    StartDrag(a);
    DragTo(Global(b).center());
    const QPoint outside = Global(Site.get()).bottomRight() + QPoint(50, 50);
    DragTo(outside);
    EXPECT_FALSE(a->DragObject()->Accepted());
    DropAt(outside);
    EXPECT_EQ(Site->dockWidgetArea(a), Qt::LeftDockWidgetArea);
    EXPECT_EQ(a->geometry(), before);
    EXPECT_FALSE(a->isFloating());
    EXPECT_EQ(hidden.count(), 0);

    // The central form does not move.
    auto* inner = new QMainWindow;
    TDockForm* edit = DockControl(inner, Pane(QStringLiteral("Edit")), alClient);
    Site->setCentralWidget(inner);
    Settle();
    Q_EMIT Bar(edit)->Tree()->CaptionDragStarted(edit, Global(edit).center());
    EXPECT_EQ(edit->DragObject(), nullptr);
}

TEST_F(DockFormTest, DragMovesBetweenSitesOfOneWindow)
{
    // The main window's sites around an inner host with a central editor.
    auto* host = new QMainWindow;
    host->setObjectName(QStringLiteral("Host"));
    TDockForm* edit = DockControl(host, Pane(QStringLiteral("Edit")), alClient);
    TDockForm* resources = DockControl(host, Pane(QStringLiteral("Resources")), alLeft);
    TDockForm* preview = DockControl(host, Pane(QStringLiteral("Preview")), alRight);
    Site->setCentralWidget(host);
    TDockSite* outer = MakeDockSite(Site.get());
    outer->SetAreas(Qt::LeftDockWidgetArea | Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea);
    TDockForm* messages = DockControl(Site.get(), Pane(QStringLiteral("Messages")), alBottom);
    Show(Site.get(), QSize(1000, 700));
    EXPECT_EQ(DockSitesOf(edit), (std::vector<QMainWindow*>{Site.get(), host}));
    QSignalSpy outerDropped(outer, &TDockSite::DockDropped);
    QSignalSpy hostUndocked(TDockSite::Of(host), &TDockSite::UnDocked);
    QSignalSpy previewHidden(preview, &TDockForm::Hidden);

    // The inner preview to the left edge of the main window's centre: a new column there.
    StartDrag(preview);
    const QPoint leftEdge = Global(host).topLeft() + QPoint(3, Global(host).height() / 2);
    DragTo(leftEdge);
    EXPECT_EQ(preview->DragObject()->Target().Site, Site.get());
    EXPECT_EQ(preview->DragObject()->Target().Pane, nullptr);
    DropAt(leftEdge);
    EXPECT_EQ(preview->parentWidget(), Site.get());
    EXPECT_EQ(Site->dockWidgetArea(preview), Qt::LeftDockWidgetArea);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_LT(preview->geometry().right(), host->geometry().left());
    EXPECT_EQ(outerDropped.count(), 1);
    EXPECT_EQ(hostUndocked.count(), 1);
    EXPECT_EQ(previewHidden.count(), 0);
    EXPECT_EQ(Bar(preview)->Tree(), outer->Tree());

    // Back into the host, under its resources pane (above the host's bottom strip); the moved form
    // still drags.
    StartDrag(preview);
    const QRect r = Global(resources);
    DropAt(QPoint(r.center().x(), r.bottom() - DockEdgeStripSize - 10));
    EXPECT_EQ(preview->parentWidget(), host);
    EXPECT_EQ(host->dockWidgetArea(preview), Qt::LeftDockWidgetArea);
    EXPECT_GT(preview->geometry().top(), resources->geometry().bottom());

    // A site that takes only some forms is passed over for the others.
    outer->SetFilter([&](QDockWidget* form) { return form != preview; });
    StartDrag(preview);
    const QRect m = Global(messages);
    DragTo(m.center());
    EXPECT_FALSE(preview->DragObject()->Accepted());
    DropAt(m.center());
    EXPECT_EQ(preview->parentWidget(), host);
}

#include "DockFormTest.moc"
