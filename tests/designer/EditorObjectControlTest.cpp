// The row-list control: top-index clamping, MakeVisible, the wheel, painting only what shows, batched
// repaints; and the design bitmap cache.
#include "designer/koDesignObjectControl.h"

#include <QApplication>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

class TCountingControl : public TRunTimeCustomObjectControl {
public:
    explicit TCountingControl(int rows, int visibleRows)
    {
        for (int i = 0; i < rows; ++i)
            FItems.append(nullptr);
        resize(120, visibleRows * FItemHeight);
        show();
        Changed();
    }
    void SetClientHeight(int height) { resize(120, height); }
    QList<int> Drawn;
    int ChangedCount = 0;

protected:
    void DrawItem(QPainter&, int Index, const QRect&) override { Drawn.append(Index); }
    void ItemsChanged() override
    {
        ++ChangedCount;
        TRunTimeCustomObjectControl::ItemsChanged();
    }
};

bool Wheel(TRunTimeCustomObjectControl& control, int delta)
{
    QWheelEvent event(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    event.setAccepted(false);
    QApplication::sendEvent(control.viewport(), &event);
    return event.isAccepted();
}

} // namespace

TEST(EditorObjectControl, TopIndexIsClampedToTheRowsThatCanShow)
{
    struct Case {
        int Rows, Visible, Asked, Expected;
    } cases[] = {{10, 4, 8, 6}, {10, 4, -3, 0}, {10, 4, 5, 5}, {3, 4, 2, 0}, {3, 4, -1, 0}, {0, 4, 1, 0}};
    for (const Case& c : cases) {
        TCountingControl control(c.Rows, c.Visible);
        ASSERT_EQ(control.GetVisibleCount(), c.Visible);
        control.SetTopIndex(c.Asked);
        EXPECT_EQ(control.TopIndex(), c.Expected) << c.Rows << " rows, asked " << c.Asked;
    }
}

TEST(EditorObjectControl, ScrollBarRangeFollowsRowsThatDoNotFit)
{
    TCountingControl few(3, 4);
    EXPECT_EQ(few.verticalScrollBar()->minimum(), 0);
    EXPECT_EQ(few.verticalScrollBar()->maximum(), 0);

    TCountingControl many(10, 4);
    EXPECT_EQ(many.verticalScrollBar()->maximum(), 6);
    EXPECT_EQ(many.verticalScrollBar()->pageStep(), 4);
    // The user's scrolling goes through the same clamp.
    many.verticalScrollBar()->setValue(3);
    EXPECT_EQ(many.TopIndex(), 3);
    many.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(many.TopIndex(), 6);
}

TEST(EditorObjectControl, MakeVisibleLeavesTheRowAboveTheBottomAndDoesNotClamp)
{
    TCountingControl control(8, 4);
    control.MakeVisible(4);
    EXPECT_EQ(control.TopIndex(), 2);
    control.SetTopIndex(0);
    control.MakeVisible(9);
    EXPECT_EQ(control.TopIndex(), 7);
    control.MakeVisible(1);
    EXPECT_EQ(control.TopIndex(), 1);
}

TEST(EditorObjectControl, WheelMovesThreeRowsAndIsLeftUnhandledAtTheEnds)
{
    TCountingControl control(10, 4);
    control.SetTopIndex(2);
    EXPECT_TRUE(Wheel(control, 120));
    EXPECT_EQ(control.TopIndex(), 0);
    EXPECT_FALSE(Wheel(control, 120));
    EXPECT_TRUE(Wheel(control, -120));
    EXPECT_EQ(control.TopIndex(), 3);
    EXPECT_TRUE(Wheel(control, -120));
    EXPECT_EQ(control.TopIndex(), 6);
    EXPECT_FALSE(Wheel(control, -120)); // the last row shows already
    EXPECT_EQ(control.TopIndex(), 6);
}

TEST(EditorObjectControl, PaintsVisibleRowsOnlyIncludingAPartlyVisibleOne)
{
    TCountingControl control(10, 1);
    control.SetClientHeight(20);
    EXPECT_EQ(control.GetVisibleCount(), 1);
    control.SetTopIndex(0);
    control.Drawn.clear();
    control.grab();
    EXPECT_EQ(control.Drawn, (QList<int>{0, 1}));
}

TEST(EditorObjectControl, NestedUpdatesRepaintOnceAtTheOutermostEnd)
{
    TCountingControl control(10, 4);
    control.ChangedCount = 0;
    control.BeginUpdate();
    control.Changed();
    control.BeginUpdate();
    control.SetTopIndex(3);
    control.EndUpdate();
    EXPECT_EQ(control.ChangedCount, 0);
    control.EndUpdate();
    EXPECT_EQ(control.ChangedCount, 1);
    control.EndUpdate(); // nothing pending any more
    EXPECT_EQ(control.ChangedCount, 1);
}

TEST(EditorObjectControl, ItemAtPosCountsFromTheTopIndex)
{
    TCountingControl control(10, 4);
    control.SetTopIndex(2);
    EXPECT_EQ(control.ItemAtPos(QPoint(3, 0)), 2);
    EXPECT_EQ(control.ItemAtPos(QPoint(3, 17)), 3);
    EXPECT_EQ(control.ItemAtPos(QPoint(3, 16 * 8 + 1)), -1);
}

TEST(EditorDesignBitmaps, FoundByNameInAnyCaseAndKeyedByTheirBottomLeftPixel)
{
    koDesignObjectControl_Initialize();
    const QImage* expand = FindDesignBitmap(QStringLiteral("design_prop_expand"));
    ASSERT_NE(expand, nullptr);
    EXPECT_EQ(expand, FindDesignBitmap(QStringLiteral("DESIGN_PROP_EXPAND")));
    EXPECT_EQ(expand->size(), QSize(9, 9));
    EXPECT_EQ(FindDesignBitmap(QStringLiteral("DESIGN_NEVER_REGISTERED")), nullptr);
    // Registering again keeps the one bitmap.
    RegisterDesignBitmap(QStringLiteral("Design_Prop_Expand"), true);
    EXPECT_EQ(FindDesignBitmap(QStringLiteral("DESIGN_PROP_EXPAND")), expand);

    const QImage* trueType = FindDesignBitmap(QStringLiteral("DESIGN_FONT_TRUETYPE"));
    ASSERT_NE(trueType, nullptr);
    EXPECT_EQ(trueType->size(), QSize(12, 12));
    EXPECT_EQ(qAlpha(trueType->pixel(0, 11)), 0);
    bool opaque = false;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x)
            opaque = opaque || qAlpha(trueType->pixel(x, y)) == 255;
    EXPECT_TRUE(opaque);

    EXPECT_THROW(RegisterDesignBitmap(QStringLiteral("DESIGN_MISSING"), false), EResNotFound);
    EXPECT_EQ(FindDesignBitmap(QStringLiteral("DESIGN_MISSING")), nullptr);
    koDesignObjectControl_Finalize();
    EXPECT_EQ(FindDesignBitmap(QStringLiteral("DESIGN_PROP_EXPAND")), nullptr);
}
