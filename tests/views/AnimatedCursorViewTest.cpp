#include "kinds/koResourceItemAnimatedIconCursor.h"
#include "kinds/koResourceItemIconCursor.h"
#include "platform/ByteBuilder.h"
#include "platform/Streams.h"
#include "views/koResourceViewAnimatedCursor.h"
#include "views/koResourceViewGraphics.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QTimer>

#include <gtest/gtest.h>

namespace {
// Asymmetric colours, so that a swap of red and blue shows; one per frame.
const QRgb FrameColors[] = {qRgb(0xF0, 0x80, 0x10), qRgb(0x10, 0x80, 0xF0), qRgb(0x30, 0xC0, 0x60),
                            qRgb(0x60, 0x20, 0xA0)};

// A 2 x 2 image at 32 bits in one colour, with its AND mask (all visible).
QByteArray Dib2x2(QRgb Color)
{
    QByteArray dib;
    Add32(dib, 40), Add32(dib, 2), Add32(dib, 4), Add16(dib, 1), Add16(dib, 32);
    for (int i = 0; i < 6; ++i) Add32(dib, 0);
    for (int i = 0; i < 4; ++i) Add32(dib, Color);
    Add32(dib, 0), Add32(dib, 0);
    return dib;
}

// An .ico (Type 1) or .cur (Type 2) file of one image; a cursor's hot spot sits in the entry.
QByteArray IconFile(uint16_t Type, const QByteArray& Image, QPoint Hotspot = {})
{
    QByteArray file;
    Add16(file, 0), Add16(file, Type), Add16(file, 1);
    file.append(char(2)).append(char(2)).append(char(0)).append(char(0));
    Add16(file, Type == 2 ? Hotspot.x() : 1), Add16(file, Type == 2 ? Hotspot.y() : 32);
    Add32(file, uint32_t(Image.size())), Add32(file, 22);
    return file + Image;
}

void AddChunk(QByteArray& Out, const char* Id, const QByteArray& Data)
{
    Out.append(Id, 4);
    Add32(Out, uint32_t(Data.size()));
    Out.append(Data);
    if (Data.size() % 2) Out.append(char(0));
}

// A RIFF "ACON" animation of the frame files, shown at Rate jiffies each, in their own order.
QByteArray Ani(const QList<QByteArray>& Frames, uint32_t Rate)
{
    QByteArray header;
    Add32(header, 36), Add32(header, uint32_t(Frames.size())), Add32(header, uint32_t(Frames.size()));
    for (int i = 0; i < 4; ++i) Add32(header, 0);
    Add32(header, Rate), Add32(header, 1);
    QByteArray frames("fram");
    for (const QByteArray& frame : Frames) AddChunk(frames, "icon", frame);
    QByteArray body("ACON");
    AddChunk(body, "anih", header);
    AddChunk(body, "LIST", frames);
    QByteArray riff;
    AddChunk(riff, "RIFF", body);
    return riff;
}

QByteArray CursorFrame(int Index, QPoint Hotspot = {1, 0}) { return IconFile(2, Dib2x2(FrameColors[Index]), Hotspot); }

void Load(TCustomResourceItem& Item, const QByteArray& Data)
{
    TMemoryStream stream;
    stream.WriteBytes(Data);
    stream.SetPosition(0);
    Item.LoadFromStream(stream, stream.Size());
}

// The frame the picture shows, by its colour: '0'..'3', '-' for no picture, '?' for anything else.
char Shown(const TAnimatedCursorResourceItemView& View)
{
    const QPixmap pixmap = View.ImageView->pixmap();
    if (pixmap.isNull()) return '-';
    const QRgb pixel = pixmap.toImage().pixel(0, 0);
    for (int i = 0; i < 4; ++i)
        if (pixel == FrameColors[i]) return char('0' + i);
    return '?';
}

// What the picture shows right after the load, then after each of Ticks ticks.
std::string Play(TAnimatedCursorResourceItemView& View, int Ticks)
{
    std::string shown(1, Shown(View));
    for (int i = 0; i < Ticks; ++i) {
        View.TimerAnimationTimer();
        shown += Shown(View);
    }
    return shown;
}

void Hover(QWidget* Widget)
{
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(Widget, &enter);
}

class AnimatedCursorView : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourceViewGraphics_Initialize();
        koResourceViewAnimatedCursor_Initialize();
    }
    void TearDown() override
    {
        koResourceViewAnimatedCursor_Finalize();
        koResourceViewGraphics_Finalize();
        koResourceView_Finalize();
    }
    static std::unique_ptr<TAnimatedCursorResourceItemView> Show(TCustomResourceItem* Item)
    {
        auto view = std::make_unique<TAnimatedCursorResourceItemView>();
        view->SetResourceItem(Item);
        view->GetControl();
        return view;
    }
};
} // namespace

TEST_F(AnimatedCursorView, FactoryAndCaption)
{
    TAnimatedCursorResourceItem cursor;
    TAnimatedIconResourceItem icon;
    TCursorResourceItem image;
    EXPECT_TRUE(TAnimatedCursorResourceItemViewFactory::Handles(&cursor));
    EXPECT_TRUE(TAnimatedCursorResourceItemViewFactory::Handles(&icon));
    EXPECT_FALSE(TAnimatedCursorResourceItemViewFactory::Handles(&image));
    // Ahead of the graphics view, which takes any picture item.
    EXPECT_EQ(ResourceItemViewDatabase()->Find(&cursor), TAnimatedCursorResourceItemViewFactory::ClassInfo());
    EXPECT_EQ(ResourceItemViewDatabase()->Find(&icon), TAnimatedCursorResourceItemViewFactory::ClassInfo());

    TAnimatedCursorResourceItemView view;
    EXPECT_EQ(view.GetCaption(), "Animated icon/cursor");
    view.SetResourceItem(&cursor);
    EXPECT_EQ(view.GetCaption(), "Animated cursor");
    EXPECT_EQ(view.TimerAnimation->interval(), 16) << "one tick is one jiffy";
}

// Each step shows from the load on for its own number of ticks, then the next; the last wraps to the first.
TEST_F(AnimatedCursorView, StepsLastTheirRate)
{
    const QList<QByteArray> frames{CursorFrame(0), CursorFrame(1), CursorFrame(2)};
    struct Step {
        int frame, rate;
    };
    struct Case {
        const char* name;
        std::vector<Step> sequence; // empty: the frames in order at the default rate
        int defaultRate;
        const char* expected;
    } cases[] = {
        {"default rate, no sequence", {}, 5, "0000011111222220000011"},
        {"rates 0 and 1 last one tick", {{0, 0}, {1, 1}, {2, 2}}, 5, "012201220"},
        {"own order", {{2, 1}, {0, 2}}, 5, "2002002"},
        {"frame past the end shows the last", {{0, 1}, {7, 2}, {-1, 1}}, 5, "0220022"}, // before the first: the first
    };
    for (const Case& c : cases) {
        TAnimatedCursorResourceItem item;
        Load(item, Ani(frames, uint32_t(c.defaultRate)));
        ASSERT_EQ(item.FrameCount(), 3) << c.name;
        ASSERT_EQ(item.DefaultDisplayRate(), c.defaultRate) << c.name;
        if (!c.sequence.empty()) {
            item.EnsureSteps(int(c.sequence.size()), item.FrameCount());
            for (size_t i = 0; i < c.sequence.size(); ++i) {
                item.Sequence()->Items(int(i))->StoreFrameIndex(c.sequence[i].frame);
                item.Sequence()->Items(int(i))->SetDisplayRate(c.sequence[i].rate);
            }
        }
        auto view = Show(&item);
        EXPECT_TRUE(view->TimerAnimation->isActive()) << c.name;
        const std::string expected = c.expected;
        EXPECT_EQ(Play(*view, int(expected.size()) - 1), expected) << c.name;
    }
}

TEST_F(AnimatedCursorView, WithoutFramesNothingPlays)
{
    TAnimatedCursorResourceItem item;
    auto view = Show(&item);
    EXPECT_FALSE(view->TimerAnimation->isActive());
    EXPECT_EQ(Shown(*view), '-');
    EXPECT_FALSE(view->HasTestCursor());
    Hover(view->ImageView);
    EXPECT_EQ(view->ImageView->cursor().shape(), Qt::ArrowCursor);
    view->TimerAnimationTimer();
    EXPECT_EQ(Shown(*view), '-');
    EXPECT_FALSE(view->TimerAnimation->isActive());
    EXPECT_FALSE(view->PanelError->isVisibleTo(view.get()));
}

TEST_F(AnimatedCursorView, ChangeOfTheItemRestartsAtTheFirstStep)
{
    TAnimatedCursorResourceItem item;
    Load(item, Ani({CursorFrame(0), CursorFrame(1), CursorFrame(2)}, 2));
    auto view = Show(&item);
    EXPECT_EQ(Play(*view, 3), "0011");
    Load(item, Ani({CursorFrame(3), CursorFrame(2)}, 1));
    EXPECT_EQ(view->StepIndex(), 0);
    EXPECT_EQ(Play(*view, 3), "3232");

    // A changed step reloads too.
    item.EnsureSteps(2, 2);
    Play(*view, 1);
    item.Sequence()->Items(1)->SetDisplayRate(3);
    EXPECT_EQ(Play(*view, 5), "322232");
}

// Over the picture the pointer is the frame on show: cursor frames point with their hot spot, icon
// frames with their middle.
TEST_F(AnimatedCursorView, PointerOverThePictureFollowsTheFrames)
{
    TAnimatedCursorResourceItem cursor;
    Load(cursor, Ani({CursorFrame(0, {1, 0}), CursorFrame(1, {0, 1})}, 1));
    auto view = Show(&cursor);
    EXPECT_EQ(view->ImageView->cursor().shape(), Qt::ArrowCursor) << "made on first need";
    Hover(view->ImageView);
    for (int tick = 0; tick < 3; ++tick) {
        const QCursor shown = view->ImageView->cursor();
        ASSERT_EQ(shown.shape(), Qt::BitmapCursor) << tick;
        EXPECT_EQ(shown.hotSpot(), tick % 2 ? QPoint(0, 1) : QPoint(1, 0)) << tick;
        EXPECT_EQ(shown.pixmap().toImage().pixel(1, 1), FrameColors[tick % 2]) << tick;
        view->TimerAnimationTimer();
    }

    TAnimatedIconResourceItem icon;
    Load(icon, Ani({IconFile(1, Dib2x2(FrameColors[2]))}, 1));
    auto iconView = Show(&icon);
    Hover(iconView->ImageView);
    EXPECT_EQ(iconView->ImageView->cursor().hotSpot(), QPoint(1, 1));
    EXPECT_EQ(iconView->ImageView->cursor().pixmap().toImage().pixel(0, 0), FrameColors[2]);
    EXPECT_FALSE(iconView->PanelError->isVisibleTo(iconView.get()));
}

TEST_F(AnimatedCursorView, FrameThatMakesNoCursorShowsTheStripAndPlaysOn)
{
    // The second frame's image has a header of a size no image has.
    QByteArray bad = Dib2x2(FrameColors[1]);
    bad[0] = 7;
    TAnimatedCursorResourceItem item;
    Load(item, Ani({CursorFrame(0), IconFile(2, bad), CursorFrame(2)}, 1));
    auto view = Show(&item);
    Hover(view->ImageView);
    EXPECT_FALSE(view->PanelError->isVisibleTo(view.get()));
    EXPECT_EQ(Play(*view, 3), "0-20");
    EXPECT_TRUE(view->PanelError->isVisibleTo(view.get()));
    EXPECT_EQ(view->LabelError->text(), "Failed to load live cursor preview");
    EXPECT_FALSE(view->HasTestCursor());
    EXPECT_EQ(view->ImageView->cursor().shape(), Qt::ArrowCursor) << "the normal pointer from then on";
    EXPECT_TRUE(view->TimerAnimation->isActive());
}
