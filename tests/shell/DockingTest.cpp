#include "platform/GraphUtil.h"
#include "shell/koDocking.h"
#include "shell/koFancyGlyphButton.h"

#include <QApplication>
#include <QDockWidget>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <gtest/gtest.h>

namespace {

// A drawer with a fixed grabber, so that geometry does not follow the desktop's menu font.
class TFixedDrawer : public TDockDrawer
{
public:
    explicit TFixedDrawer(int grabber)
        : TDockDrawer(nullptr), Grabber(grabber)
    {
    }
    int Grabber;

protected:
    int GetGrabberSize() const override { return Grabber; }
};

TDockClientButtonState Button(TDockButtonKind kind, TDockButtonState state = {}, const QString& hint = {})
{
    TDockClientButtonState b;
    b.Kind = kind;
    b.State = state;
    b.Hint = hint;
    return b;
}

// A pane that adds its own caption buttons.
class TClientPane : public QLabel, public IDockClient
{
public:
    std::vector<TDockClientButtonState> ClientButtons;
    QString ClientHint;
    std::vector<int> Clicks;
    std::vector<QRect> AskedRects;

    void CanUndock(QWidget* NewTarget, bool& Allow) override { Allow = NewTarget != nullptr; }
    void GetClientState(TDockClientState& State) override { State.Hint = ClientHint; }
    void GetButtonCount(int& Count) override { Count = int(ClientButtons.size()); }
    void GetButtonState(int Index, TDockClientButtonState& State) override
    {
        AskedRects.push_back(State.ButtonRect);
        const QRect rect = State.ButtonRect;
        State = ClientButtons[Index];
        State.ButtonRect = rect;
    }
    void DrawButton(QPainter&, const QRect&, const TDockClientButtonState&) override {}
    void ButtonClick(int Index, const TDockClientButtonState&) override { Clicks.push_back(Index); }
};

void SendMouse(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(pos), QPointF(target->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}
void Press(QWidget* w, QPoint p) { SendMouse(w, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton); }
void Release(QWidget* w, QPoint p) { SendMouse(w, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton); }
void Move(QWidget* w, QPoint p, Qt::MouseButtons held = Qt::NoButton)
{
    SendMouse(w, QEvent::MouseMove, p, Qt::NoButton, held);
}
void Click(QWidget* w, QPoint p)
{
    Press(w, p);
    Release(w, p);
}

// A shown dock site with its tree: a central widget and docks on the left, stacked.
class DockSiteTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Site = std::make_unique<QMainWindow>();
        Site->setCentralWidget(new QLabel(QStringLiteral("centre")));
        Tree = new TBetterDockTree(Site.get());
    }

    QDockWidget* AddDock(const QString& title, QWidget* content, TBorderIcons icons = {},
                         Qt::DockWidgetArea area = Qt::LeftDockWidgetArea)
    {
        auto* dock = new QDockWidget(title);
        dock->setObjectName(title);
        dock->setWidget(content);
        SetDockBorderIcons(dock, icons);
        Site->addDockWidget(area, dock);
        return dock;
    }

    void ShowSite()
    {
        Site->resize(600, 400);
        Site->show();
        Settle();
        const QList<QDockWidget*> docks = Site->findChildren<QDockWidget*>(QString(), Qt::FindDirectChildrenOnly);
        Site->resizeDocks(docks, QList<int>(docks.size(), 200), Qt::Horizontal);
        Settle();
    }

    static void Settle()
    {
        for (int i = 0; i < 3; ++i) QApplication::processEvents();
    }

    static TDockCaptionBar* Bar(QDockWidget* dock) { return qobject_cast<TDockCaptionBar*>(dock->titleBarWidget()); }

    // The centre of button Index of a dock's caption, in the caption bar.
    QPoint ButtonCentre(QDockWidget* dock, int index)
    {
        TDockCaptionBar* bar = Bar(dock);
        return Tree->DockDrawer()->ButtonRectOf(bar->CaptionRect(), bar->Buttons(), index).center();
    }

    QPoint TextPoint(QDockWidget* dock) { return Bar(dock)->CaptionRect().topLeft() + QPoint(20, 5); }

    std::unique_ptr<QMainWindow> Site;
    TBetterDockTree* Tree = nullptr;
};

} // namespace

// --- geometry ---

TEST(DockDrawerTest, CaptionAndButtonGeometry)
{
    TFixedDrawer drawer(19);
    const QRect frame(10, 20, 200, 100);
    EXPECT_EQ(drawer.AdjustCaptionRect(frame), QRect(10, 21, 199, 17));
    EXPECT_EQ(drawer.AdjustDockRect(frame), QRect(10, 39, 200, 81));

    struct Case
    {
        QRect Caption;
        int Index;
        QRect Expected;
    };
    const Case cases[] = {
        {QRect(0, 1, 199, 17), 0, QRect(184, 3, 14, 14)}, // capped at 14
        {QRect(0, 1, 199, 17), 1, QRect(169, 3, 14, 14)},
        {QRect(0, 1, 199, 17), 2, QRect(154, 3, 14, 14)},
        {QRect(0, 0, 100, 10), 0, QRect(91, 1, 8, 8)}, // caption height - 2
        {QRect(0, 0, 100, 10), 1, QRect(82, 1, 8, 8)},
        {QRect(5, 5, 100, 13), 0, QRect(93, 6, 11, 11)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Caption.height());
        EXPECT_EQ(drawer.GetButtonRect(c.Caption, c.Index), c.Expected);
    }
}

TEST(DockDrawerTest, CaptionLayoutLeavesRoomForGlyphAndVisibleButtons)
{
    TFixedDrawer drawer(19);
    const QRect caption(0, 1, 199, 17);
    TDockClientState plain;
    TDockClientState withGlyph;
    withGlyph.Glyph = QImage(16, 16, QImage::Format_ARGB32);

    // No buttons: the text runs to the right end.
    TDockCaptionLayout layout = drawer.GetCaptionLayout(caption, plain, {});
    EXPECT_EQ(layout.ButtonArea.width(), 0);
    EXPECT_EQ(layout.TextArea, QRect(6, 1, 198 - 6, 17));

    const std::vector<TDockClientButtonState> buttons = {Button(dbkClose), Button(dbkPin, {dbsHidden}),
                                                         Button(dbkDown)};
    layout = drawer.GetCaptionLayout(caption, withGlyph, buttons);
    EXPECT_EQ(layout.ButtonArea, QRect(169, 1, 198 - 169, 17)); // two visible buttons
    EXPECT_EQ(layout.GlyphArea, QRect(6, 3, 14, 14));
    EXPECT_EQ(layout.TextArea, QRect(26, 1, 168 - 26, 17));

    // The hidden button takes no place: the third sits in the second slot.
    EXPECT_TRUE(drawer.ButtonRectOf(caption, buttons, 1).isEmpty());
    EXPECT_EQ(drawer.ButtonRectOf(caption, buttons, 2), drawer.GetButtonRect(caption, 1));
}

TEST(DockDrawerTest, HitTestCodes)
{
    TFixedDrawer drawer(19);
    const QRect caption(0, 1, 199, 17);
    const std::vector<TDockClientButtonState> buttons = {Button(dbkClose), Button(dbkPin, {dbsHidden}),
                                                         Button(dbkDown, {dbsDisabled})};
    struct Case
    {
        QPoint Point;
        int Code;
    };
    const Case cases[] = {
        {{50, 0}, 0},   // above the caption
        {{50, 18}, 0},  // below it
        {{199, 8}, 0},  // right of it
        {{50, 8}, 1},   // text
        {{2, 2}, 1},    // left end
        {{190, 10}, 10}, // first button
        {{184, 3}, 10},
        {{197, 16}, 10},
        {{175, 10}, 12}, // the disabled third button in the second slot
        {{183, 10}, 1},  // gap between the buttons
        {{190, 2}, 1},   // above the buttons, inside the caption
        {{160, 10}, 1},  // where the hidden button would have been
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("(%1, %2)").arg(c.Point.x()).arg(c.Point.y()).toStdString());
        EXPECT_EQ(drawer.DockCaptionHitTest(caption, c.Point, buttons), c.Code);
    }
    EXPECT_EQ(drawer.DockCaptionHitTest(caption, QPoint(195, 10), {}), 1);
}

// --- drawing ---

namespace {

const QColor Background(255, 0, 255);

QImage RenderCaption(const TDockClientState& state, const std::vector<TDockClientButtonState>& buttons,
                     int width = 120)
{
    TFixedDrawer drawer(19);
    QImage image(width, 19, QImage::Format_ARGB32);
    image.fill(Background);
    QPainter painter(&image);
    drawer.Draw(painter, drawer.AdjustCaptionRect(image.rect()), state, buttons, nullptr);
    return image;
}

QColor At(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

} // namespace

TEST(DockDrawerTest, CaptionBevelAndFill)
{
    const QImage image = RenderCaption({}, {});
    // Caption (0, 1)-(119, 18): shadow on the left and top, highlight on the right and bottom.
    const QColor brush = clGradientInactiveCaption();
    const QColor shadow = GetShadowColor(brush, -20);
    const QColor highlight = GetHighLightColor(brush, -10);
    ASSERT_NE(shadow, highlight);
    struct Probe
    {
        int X, Y;
        QColor Color;
    };
    const Probe probes[] = {
        {0, 0, Background},   {0, 1, Background}, {1, 1, Background},  // row 0 and the cut corner
        {0, 18, shadow},      {0, 3, shadow},     {1, 2, shadow},      {2, 1, shadow},
        {116, 1, shadow},     {117, 1, highlight}, {118, 2, highlight}, {119, 3, highlight},
        {119, 18, highlight}, {1, 18, highlight}, {60, 18, highlight}, {118, 1, Background},
        {1, 3, brush},        {118, 17, brush},   {60, 10, brush},
    };
    for (const Probe& p : probes) {
        SCOPED_TRACE(QStringLiteral("(%1, %2)").arg(p.X).arg(p.Y).toStdString());
        EXPECT_EQ(At(image, p.X, p.Y), p.Color);
    }
}

TEST(DockDrawerTest, CloseButtonStates)
{
    // Button 0 lies at (104, 3)-(118, 17); its cross at (107, 6).
    const QColor brush = clGradientInactiveCaption();
    const QColor pen = GetShadowColor(clBtnFace(), -120);
    struct Case
    {
        TDockButtonState State;
        QColor Frame, Face, Inside;
    };
    const Case cases[] = {
        {{}, GetShadowColor(clWindow(), -45), brush, clWindow()},
        {{dbsHot}, clWindow(), GetHighLightColor(brush, 19), clWindow()},
        {{dbsDisabled}, GetShadowColor(clWindow(), -60), brush, GetShadowColor(clWindow(), -60)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.State.Bits());
        const QImage image = RenderCaption({}, {Button(dbkClose, c.State)});
        EXPECT_EQ(At(image, 106, 3), c.Frame);  // top edge
        EXPECT_EQ(At(image, 105, 4), c.Frame);  // rounded corner pixel
        EXPECT_EQ(At(image, 104, 3), brush);    // outside the rounded corner: caption
        EXPECT_EQ(At(image, 117, 8), c.Frame);  // right edge
        EXPECT_EQ(At(image, 106, 5), c.Face);
        EXPECT_EQ(At(image, 107, 6), c.Face);   // cut corner of the cross
        EXPECT_EQ(At(image, 107, 7), pen);      // cross outline
        EXPECT_EQ(At(image, 111, 8), pen);      // upper notch
        EXPECT_EQ(At(image, 115, 13), pen);     // lower right tip
        EXPECT_EQ(At(image, 108, 7), c.Inside); // inside an arm
        EXPECT_EQ(At(image, 111, 10), c.Inside); // centre
    }
}

TEST(DockDrawerTest, ShapesByKind)
{
    // Button at (104, 3)-(118, 17), centre (111, 10).
    const QColor pen = GetShadowColor(clBtnFace(), -120);
    struct Probe
    {
        TDockButtonKind Kind;
        TDockButtonState State;
        QPoint Point;
        bool Inked;
    };
    const Probe probes[] = {
        // Single chevrons at (107, 7): the tip at the bottom or at the top.
        {dbkDown, {}, {111, 13}, true},
        {dbkDown, {}, {111, 7}, false},
        {dbkUp, {}, {111, 7}, true},
        {dbkUp, {}, {111, 13}, false},
        // Double chevrons at (107, 5) and (107, 9).
        {dbkChevron, {}, {111, 11}, true},
        {dbkChevron, {}, {111, 15}, true},
        {dbkChevron, {}, {111, 5}, false},
        {dbkReverseChevron, {}, {111, 5}, true},
        {dbkReverseChevron, {}, {111, 9}, true},
        {dbkReverseChevron, {}, {111, 15}, false},
        // The pin lies down, or stands up while pressed (drawn from (106, 5)).
        {dbkPin, {}, {109, 9}, true},
        {dbkPin, {}, {110, 13}, false},
        {dbkPin, {dbsPressed}, {110, 13}, true},
        {dbkPin, {dbsPressed}, {109, 9}, false},
    };
    for (const Probe& p : probes) {
        SCOPED_TRACE(QStringLiteral("kind %1 at (%2, %3)").arg(p.Kind).arg(p.Point.x()).arg(p.Point.y()).toStdString());
        const QImage image = RenderCaption({}, {Button(p.Kind, p.State)});
        EXPECT_EQ(At(image, p.Point.x(), p.Point.y()) == pen, p.Inked);
    }
}

TEST(DockDrawerTest, GlyphAndFocusedText)
{
    TDockClientState state;
    state.Caption = QStringLiteral("Resources and more");
    state.Glyph = QImage(32, 32, QImage::Format_ARGB32);
    state.Glyph.fill(QColor(0, 128, 0));
    const QImage normal = RenderCaption(state, {}, 200);
    EXPECT_EQ(At(normal, 12, 9), QColor(0, 128, 0)); // glyph area (6, 3)-(20, 17)
    EXPECT_EQ(At(normal, 4, 9), clGradientInactiveCaption());

    state.Focused = true;
    const QImage focused = RenderCaption(state, {}, 200);
    auto inked = [](const QImage& image) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 26; x < 199; ++x)
                if (image.pixelColor(x, y).lightness() < 100) ++count;
        return count;
    };
    EXPECT_GT(inked(normal), 0);
    EXPECT_GT(inked(focused), inked(normal)); // bold
}

TEST(DockDrawerTest, SplitterGripOfFiveDots)
{
    TFixedDrawer drawer(19);
    struct Case
    {
        QRect Strip;
        Qt::Orientation Align;
        QPoint Centre; // top-left of the middle dot
        QPoint Step;
    };
    const Case cases[] = {
        {QRect(0, 10, 100, 4), Qt::Horizontal, QPoint(49, 11), QPoint(4, 0)},
        {QRect(20, 0, 4, 60), Qt::Vertical, QPoint(21, 29), QPoint(0, 4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.Align));
        QImage image(120, 80, QImage::Format_ARGB32);
        image.fill(Background);
        {
            QPainter painter(&image);
            drawer.DrawSplitter(painter, c.Strip, c.Align);
        }
        int dots = 0;
        for (int k = -2; k <= 2; ++k) {
            const QPoint p = c.Centre + k * c.Step;
            EXPECT_EQ(At(image, p.x(), p.y()), clBtnShadow());
            EXPECT_EQ(At(image, p.x() + 1, p.y() + 1), clBtnShadow());
            EXPECT_EQ(At(image, p.x() + 2, p.y() + 2), clBtnHighlight());
            EXPECT_EQ(At(image, p.x() + 2, p.y()), Background);
            dots += At(image, p.x(), p.y()) == clBtnShadow();
        }
        EXPECT_EQ(dots, 5);
        const QPoint beyond = c.Centre + 3 * c.Step;
        EXPECT_EQ(At(image, beyond.x(), beyond.y()), Background);
    }
}

TEST(GraphUtilTest, LightnessShift)
{
    EXPECT_EQ(GetShadowColor(QColor(255, 255, 255), -240), QColor(0, 0, 0));
    EXPECT_EQ(GetHighLightColor(QColor(0, 0, 0), 300), QColor(255, 255, 255));
    EXPECT_EQ(GetShadowColor(QColor(128, 128, 128), 0), QColor(128, 128, 128));
    const QColor blue(40, 80, 200);
    const QColor darker = GetShadowColor(blue, -40);
    EXPECT_LT(darker.lightness(), blue.lightness());
    EXPECT_NEAR(darker.hslHue(), blue.hslHue(), 2);
    EXPECT_GT(GetHighLightColor(blue, 19).lightness(), blue.lightness());
}

// --- the tree on a dock site ---

TEST_F(DockSiteTest, ButtonListFollowsBorderIconsAndClient)
{
    struct Case
    {
        TBorderIcons Icons;
        bool ClientButton;
        std::vector<TDockButtonKind> Kinds;
        QStringList Hints;
    };
    const Case cases[] = {
        {{}, false, {}, {}},
        {{biSystemMenu}, false, {dbkClose}, {QStringLiteral("Close")}},
        {{biMinimize}, false, {dbkReverseChevron}, {QStringLiteral("Roll up")}},
        {{}, true, {dbkDown}, {QStringLiteral("Options")}},
        {{biSystemMenu, biMinimize},
         true,
         {dbkClose, dbkReverseChevron, dbkDown},
         {QStringLiteral("Close"), QStringLiteral("Roll up"), QStringLiteral("Options")}},
    };
    ShowSite();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Hints.join(QLatin1Char(',')).toStdString());
        auto* pane = new TClientPane;
        if (c.ClientButton) pane->ClientButtons = {Button(dbkDown, {}, QStringLiteral("Options"))};
        QDockWidget* dock = AddDock(QStringLiteral("Pane"), pane, c.Icons);
        Settle();
        const std::vector<TDockClientButtonState> buttons = Tree->GetButtonStates(dock);
        ASSERT_EQ(buttons.size(), c.Kinds.size());
        for (size_t i = 0; i < buttons.size(); ++i) {
            EXPECT_EQ(buttons[i].Kind, c.Kinds[i]);
            EXPECT_EQ(buttons[i].Hint, c.Hints[int(i)]);
            // Right to left, in screen coordinates.
            const QRect local = Tree->DockDrawer()->GetButtonRect(Bar(dock)->CaptionRect(), int(i));
            EXPECT_EQ(buttons[i].ButtonRect, local.translated(Bar(dock)->mapToGlobal(QPoint(0, 0))));
        }
        // The client got its rectangle before filling in its state.
        if (c.ClientButton) {
            EXPECT_EQ(pane->AskedRects.back(), buttons.back().ButtonRect);
        }
        delete dock;
    }
}

TEST_F(DockSiteTest, DocksGetCaptionsAndLoseQtDragging)
{
    auto* reparented = AddDock(QStringLiteral("A"), new QLabel);
    auto* born = new QDockWidget(QStringLiteral("B"), Site.get());
    Site->addDockWidget(Qt::RightDockWidgetArea, born);
    // A site inside a dock of this one keeps its own tree.
    auto* inner = new QMainWindow;
    auto* innerTree = new TBetterDockTree(inner);
    auto* innerDock = new QDockWidget(QStringLiteral("C"));
    inner->addDockWidget(Qt::TopDockWidgetArea, innerDock);
    AddDock(QStringLiteral("Host"), inner);
    ShowSite();

    for (QDockWidget* dock : {reparented, born}) {
        ASSERT_NE(Bar(dock), nullptr);
        EXPECT_EQ(Bar(dock)->Tree(), Tree);
        EXPECT_FALSE(dock->features() & QDockWidget::DockWidgetMovable);
        EXPECT_FALSE(dock->features() & QDockWidget::DockWidgetFloatable);
        EXPECT_EQ(Bar(dock)->height(), Tree->DockDrawer()->GrabberSize());
    }
    ASSERT_NE(Bar(innerDock), nullptr);
    EXPECT_EQ(Bar(innerDock)->Tree(), innerTree);
    EXPECT_EQ(DockTreeOf(inner), innerTree);
    EXPECT_EQ(DockTreeOf(Site.get()), Tree);
}

TEST_F(DockSiteTest, RollUpAndRestore)
{
    QList<QDockWidget*> column;
    for (const char* name : {"Top", "Middle", "Bottom"})
        column << AddDock(QLatin1String(name), new QLabel(QLatin1String(name)), {biSystemMenu, biMinimize});
    Site->splitDockWidget(column[0], column[1], Qt::Vertical);
    Site->splitDockWidget(column[1], column[2], Qt::Vertical);
    ShowSite();
    auto heights = [&] {
        QList<int> result;
        for (QDockWidget* dock : column) result << dock->height();
        return result;
    };
    const QList<int> before = heights();
    const int total = before[0] + before[1] + before[2];
    ASSERT_GT(before[1], 3 * Bar(column[1])->height());
    // The bottom pane's neighbour above cannot give back all it took.
    Site->resizeDocks({column[0], column[1], column[2]}, {total - 2 * 40, 40, 40}, Qt::Vertical);
    Settle();

    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        QDockWidget* dock = column[i];
        const int height = dock->height();
        Click(Bar(dock), ButtonCentre(dock, 1));
        Settle();
        EXPECT_TRUE(dock->widget()->isHidden());
        EXPECT_EQ(dock->height(), Bar(dock)->height());
        EXPECT_EQ(dock->width(), 200);
        QList<int> now = heights();
        EXPECT_EQ(now[0] + now[1] + now[2], total); // the others took the room
        EXPECT_EQ(Tree->GetButtonStates(dock)[1].Kind, dbkChevron);
        EXPECT_EQ(Tree->GetButtonStates(dock)[1].Hint, QStringLiteral("Restore"));

        Click(Bar(dock), ButtonCentre(dock, 1));
        Settle();
        EXPECT_FALSE(dock->widget()->isHidden());
        EXPECT_EQ(dock->height(), height);
        now = heights();
        EXPECT_EQ(now[0] + now[1] + now[2], total);
        EXPECT_EQ(Tree->GetButtonStates(dock)[1].Kind, dbkReverseChevron);
        EXPECT_EQ(Tree->GetButtonStates(dock)[1].Hint, QStringLiteral("Roll up"));
    }

    // Close hides the pane.
    Click(Bar(column[0]), ButtonCentre(column[0], 0));
    Settle();
    EXPECT_TRUE(column[0]->isHidden());
}

TEST_F(DockSiteTest, PressOnCaptionStartsDragButNotOnButton)
{
    auto* pane = new TClientPane;
    pane->ClientButtons = {Button(dbkDown), Button(dbkPin, {dbsDisabled})};
    auto* dock = AddDock(QStringLiteral("Pane"), pane, {biSystemMenu});
    ShowSite();
    std::vector<std::pair<QDockWidget*, QPoint>> drags;
    QObject::connect(Tree, &TBetterDockTree::CaptionDragStarted,
                     [&](QDockWidget* d, QPoint p) { drags.emplace_back(d, p); });
    TDockCaptionBar* bar = Bar(dock);
    const int far = QApplication::startDragDistance() + 2;

    // On a button: no drag, and a release elsewhere clicks nothing.
    const QPoint onButton = ButtonCentre(dock, 1);
    Press(bar, onButton);
    Move(bar, onButton - QPoint(far, 0), Qt::LeftButton);
    Release(bar, onButton - QPoint(far, 0));
    EXPECT_TRUE(drags.empty());
    EXPECT_TRUE(pane->Clicks.empty());

    // On the text: a drag once the mouse has moved far enough, from where it went down.
    const QPoint onText = TextPoint(dock);
    Press(bar, onText);
    Move(bar, onText + QPoint(1, 0), Qt::LeftButton);
    EXPECT_TRUE(drags.empty());
    Move(bar, onText + QPoint(far, 0), Qt::LeftButton);
    Release(bar, onText + QPoint(far, 0));
    ASSERT_EQ(drags.size(), 1u);
    EXPECT_EQ(drags[0].first, dock);
    EXPECT_EQ(drags[0].second, bar->mapToGlobal(onText));

    // Client buttons count after the tree's; a disabled one does not click.
    Click(bar, ButtonCentre(dock, 1));
    Click(bar, ButtonCentre(dock, 2));
    EXPECT_EQ(pane->Clicks, std::vector<int>{0});
    EXPECT_FALSE(dock->isHidden());
}

TEST_F(DockSiteTest, HotAndPressedFollowTheMouse)
{
    auto* dock = AddDock(QStringLiteral("Pane"), new QLabel, {biSystemMenu, biMinimize});
    ShowSite();
    TDockCaptionBar* bar = Bar(dock);
    auto states = [&] {
        std::vector<TDockButtonState> result;
        for (const auto& b : bar->Buttons()) result.push_back(b.State);
        return result;
    };
    using S = TDockButtonState;
    Move(bar, ButtonCentre(dock, 1));
    EXPECT_EQ(states(), (std::vector<S>{S{}, S{dbsHot}}));
    const QImage hot = bar->grab().toImage();
    const QRect rect = Tree->DockDrawer()->ButtonRectOf(bar->CaptionRect(), bar->Buttons(), 1);
    EXPECT_EQ(hot.pixelColor(rect.left() + 2, rect.top()), clWindow());

    Press(bar, ButtonCentre(dock, 1));
    EXPECT_EQ(states(), (std::vector<S>{S{}, S{dbsHot, dbsPressed}}));
    // While held, the other button does not light up.
    Move(bar, ButtonCentre(dock, 0), Qt::LeftButton);
    EXPECT_EQ(states(), (std::vector<S>{S{}, S{}}));
    Release(bar, ButtonCentre(dock, 0));
    EXPECT_FALSE(dock->isHidden());
    EXPECT_FALSE(dock->widget()->isHidden());

    Move(bar, TextPoint(dock));
    EXPECT_EQ(states(), (std::vector<S>{S{}, S{}}));
}

TEST_F(DockSiteTest, HintsAndCursorsPerRegion)
{
    auto* pane = new TClientPane;
    pane->ClientHint = QStringLiteral("The resources");
    TDockClientButtonState pin = Button(dbkPin, {}, QStringLiteral("Pin"));
    const TCursor cursorIndex = 4711;
    pin.Cursor = cursorIndex;
    pane->ClientButtons = {pin};
    auto* dock = AddDock(QStringLiteral("Pane"), pane, {biSystemMenu});
    ShowSite();
    TDockCaptionBar* bar = Bar(dock);

    QRect area;
    EXPECT_EQ(bar->HintAt(ButtonCentre(dock, 0), &area), QStringLiteral("Close"));
    EXPECT_EQ(area, Tree->DockDrawer()->ButtonRectOf(bar->CaptionRect(), bar->Buttons(), 0));
    EXPECT_EQ(bar->HintAt(ButtonCentre(dock, 1)), QStringLiteral("Pin"));
    EXPECT_EQ(bar->HintAt(TextPoint(dock), &area), QStringLiteral("The resources"));
    EXPECT_TRUE(area.contains(TextPoint(dock)));
    EXPECT_FALSE(area.intersects(Tree->DockDrawer()->ButtonRectOf(bar->CaptionRect(), bar->Buttons(), 1)));
    EXPECT_EQ(bar->HintAt(QPoint(20, 0)), QString()); // above the caption strip

    QHelpEvent help(QEvent::ToolTip, ButtonCentre(dock, 0), bar->mapToGlobal(ButtonCentre(dock, 0)));
    QApplication::sendEvent(bar, &help);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Close"));
    QToolTip::hideText();

    auto image = std::make_shared<TCursorImage>();
    image->Frames.push_back(QCursor(Qt::PointingHandCursor));
    ScreenCursors().SetHandle(cursorIndex, image);
    Move(bar, ButtonCentre(dock, 1));
    EXPECT_EQ(bar->cursor().shape(), Qt::PointingHandCursor);
    Move(bar, ButtonCentre(dock, 0));
    EXPECT_FALSE(bar->testAttribute(Qt::WA_SetCursor));
    ScreenCursors().SetHandle(cursorIndex, nullptr);
}

TEST_F(DockSiteTest, CaptionStateFromDockAndClient)
{
    auto* pane = new TClientPane;
    auto* dock = AddDock(QStringLiteral("Preview"), pane);
    auto* other = AddDock(QStringLiteral("Other"), new QLineEdit);
    ShowSite();
    EXPECT_EQ(DockClientCanUndock(dock, nullptr), false);
    EXPECT_EQ(DockClientCanUndock(dock, Site.get()), true);
    EXPECT_EQ(DockClientCanUndock(other, nullptr), true);

    EXPECT_EQ(Tree->ClientState(dock).Caption, QStringLiteral("Preview"));
    EXPECT_TRUE(Tree->ClientState(dock).Glyph.isNull()); // the application's icon is not the pane's
    QPixmap icon(16, 16);
    icon.fill(Qt::red);
    dock->setWindowIcon(QIcon(icon));
    EXPECT_FALSE(Tree->ClientState(dock).Glyph.isNull());

    QApplication::setActiveWindow(Site.get());
    other->widget()->setFocus();
    Settle();
    ASSERT_TRUE(other->widget()->hasFocus());
    EXPECT_TRUE(Tree->ClientState(other).Focused);
    EXPECT_FALSE(Tree->ClientState(dock).Focused);
}

TEST_F(DockSiteTest, SeparatorsAreFourPixelsWithGrips)
{
    auto* top = AddDock(QStringLiteral("Top"), new QLabel);
    auto* bottom = AddDock(QStringLiteral("Bottom"), new QLabel);
    Site->splitDockWidget(top, bottom, Qt::Vertical);
    ShowSite();
    const QRect a = top->geometry();
    const QRect b = bottom->geometry();
    ASSERT_EQ(b.top() - (a.bottom() + 1), 4);
    const QImage shot = Site->grab().toImage();
    // The middle dot of the grip in the strip between the two panes.
    const QRect strip(a.left(), a.bottom() + 1, a.width(), 4);
    const QPoint dot((strip.left() + strip.right() + 1) / 2 - 1, strip.top() + 1);
    EXPECT_EQ(shot.pixelColor(dot), clBtnShadow());
    EXPECT_EQ(shot.pixelColor(dot + QPoint(4, 0)), clBtnShadow());
    EXPECT_EQ(shot.pixelColor(dot + QPoint(2, 0)), shot.pixelColor(strip.left() + 2, strip.top()));
}

TEST(DockTreeOfTest, CreatesTreesOnlyOnceInstalled)
{
    QMainWindow before;
    if (!BetterDockTreeInstalled()) {
        EXPECT_EQ(DockTreeOf(&before), nullptr);
    }
    InstallBetterDockTree();
    QMainWindow site;
    TBetterDockTree* tree = DockTreeOf(&site);
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(DockTreeOf(&site), tree);
    EXPECT_EQ(tree->DockSite(), &site);
}
