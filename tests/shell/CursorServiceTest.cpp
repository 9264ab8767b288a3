#include "shell/koCursorService.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QtEndian>

#include <gtest/gtest.h>

#include <map>

namespace {

HCURSOR FakeCursor()
{
    auto image = std::make_shared<TCursorImage>();
    QPixmap pixmap(8, 8);
    pixmap.fill(Qt::red);
    image->Frames.push_back(QCursor(pixmap, 1, 2));
    return image;
}

// Known names load a new cursor each time and are counted.
struct FakeResources
{
    std::map<QString, int> Loads;
    TCursorLoader Loader()
    {
        return [this](const QString& name) -> HCURSOR {
            ++Loads[name];
            return name.toUpper() == QStringLiteral("MISSING") ? nullptr : FakeCursor();
        };
    }
};

Qt::CursorShape OverrideShape()
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor ? cursor->shape() : Qt::ArrowCursor;
}

QByteArray CursorBytes(int hotX, int hotY)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(qRgba(0, 0, 0, 255));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    QByteArray file(22, '\0');
    file[2] = 2;
    file[4] = 1;
    file[6] = 16;
    file[7] = 16;
    file[10] = char(hotX);
    file[12] = char(hotY);
    qToLittleEndian<uint32_t>(uint32_t(png.size()), file.data() + 14);
    file[18] = 22;
    return file + png;
}

QByteArray Chunk(const char* id, const QByteArray& data)
{
    QByteArray chunk(id, 4);
    chunk.append(4, '\0');
    qToLittleEndian<uint32_t>(uint32_t(data.size()), chunk.data() + 4);
    chunk.append(data);
    if (data.size() & 1)
        chunk.append('\0');
    return chunk;
}

QByteArray Words(std::initializer_list<uint32_t> values)
{
    QByteArray bytes;
    for (uint32_t v : values) {
        char b[4];
        qToLittleEndian(v, b);
        bytes.append(b, 4);
    }
    return bytes;
}

// An animated cursor of the cursor files; with Sequence, the steps show those frames at those rates.
QByteArray AnimatedCursor(const std::vector<QByteArray>& icons, const std::vector<uint32_t>& sequence,
                          const std::vector<uint32_t>& rates, uint32_t displayRate)
{
    const bool withSequence = !sequence.empty();
    QByteArray body("ACON");
    body += Chunk("anih", Words({36, uint32_t(icons.size()), uint32_t(withSequence ? sequence.size() : icons.size()),
                                 0, 0, 0, 0, displayRate, withSequence ? 3u : 1u}));
    if (!rates.empty()) {
        QByteArray r;
        for (uint32_t v : rates)
            r += Words({v});
        body += Chunk("rate", r);
    }
    if (withSequence) {
        QByteArray q;
        for (uint32_t v : sequence)
            q += Words({v});
        body += Chunk("seq ", q);
    }
    QByteArray frames("fram");
    for (const QByteArray& icon : icons)
        frames += Chunk("icon", icon);
    body += Chunk("LIST", frames);
    return Chunk("RIFF", body);
}

} // namespace

TEST(CursorServiceTest, NamesMapToLoadedSlotsOnce)
{
    FakeResources resources;
    TScreenCursors& screen = ScreenCursors();
    const HCURSOR defaultHandle = screen.Handle(crDefault);
    TCursor first = 0;
    TCursor second = 0;
    {
        TCursorService service(resources.Loader());
        first = service.GetCursor(QStringLiteral("TOOL_PEN"), crCross);
        EXPECT_EQ(service.GetCursor(QStringLiteral("tool_pen"), crCross), first);
        EXPECT_EQ(resources.Loads[QStringLiteral("TOOL_PEN")] + resources.Loads[QStringLiteral("tool_pen")], 1);
        second = service.GetCursor(QStringLiteral("TOOL_FILL"), crCross);
        EXPECT_GE(first, 1);
        EXPECT_EQ(second, first + 1);
        EXPECT_NE(screen.Handle(first), defaultHandle);

        // Missing: the default, every time, and the loader is asked again.
        EXPECT_EQ(service.GetCursor(QStringLiteral("MISSING"), crNoDrop), crNoDrop);
        EXPECT_EQ(service.GetCursor(QStringLiteral("missing"), crNoDrop), crNoDrop);
        EXPECT_EQ(resources.Loads[QStringLiteral("MISSING")] + resources.Loads[QStringLiteral("missing")], 2);

        // Somebody else took the slot: the cursor is loaded again into a new one.
        screen.SetHandle(first, FakeCursor());
        const TCursor again = service.GetCursor(QStringLiteral("TOOL_PEN"), crCross);
        EXPECT_NE(again, first);
        EXPECT_NE(again, second);
        EXPECT_EQ(resources.Loads[QStringLiteral("TOOL_PEN")] + resources.Loads[QStringLiteral("tool_pen")], 2);
        screen.SetHandle(first, defaultHandle);
    }
    // The service gives its slots back.
    EXPECT_EQ(screen.Handle(first), defaultHandle);
    EXPECT_EQ(screen.Handle(second), defaultHandle);
}

TEST(CursorServiceTest, OrdinalNamesKeepTheirTwoCharacters)
{
    FakeResources resources;
    TCursorService service(resources.Loader());
    const QString ordinal = QString(QChar(0xFFFF)) + QChar(7);
    const TCursor index = service.GetCursor(ordinal + QStringLiteral("tail"), crCross);
    EXPECT_EQ(service.GetCursor(ordinal, crCross), index);
    EXPECT_EQ(resources.Loads[ordinal], 1);
}

TEST(CursorServiceTest, SaveCursorRestoresOnRelease)
{
    TScreenCursors& screen = ScreenCursors();
    screen.SetCursor(crCross);
    {
        const auto recall = SaveCursor(crHourGlass);
        EXPECT_EQ(screen.Cursor(), crHourGlass);
        EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
    }
    EXPECT_EQ(screen.Cursor(), crCross);
    EXPECT_EQ(OverrideShape(), Qt::CrossCursor);

    {
        const auto recall = SaveCursor(crHourGlass);
        recall->Forget();
    }
    EXPECT_EQ(screen.Cursor(), crHourGlass);

    {
        const auto recall = SaveCursor(-1);
        EXPECT_EQ(screen.Cursor(), crHourGlass);
        screen.SetCursor(crHandPoint);
    }
    EXPECT_EQ(screen.Cursor(), crHourGlass);

    {
        const auto recall = SaveCursor(crSizeAll);
        screen.SetCursor(crIBeam);
        recall->Store();
    }
    EXPECT_EQ(screen.Cursor(), crIBeam);
    screen.SetCursor(crDefault);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(CursorServiceTest, ReplacingTheShownSlotShowsTheNewCursor)
{
    TScreenCursors& screen = ScreenCursors();
    const auto recall = SaveCursor(crHourGlass);
    const HCURSOR hourglass = screen.Handle(crHourGlass);
    const HCURSOR busy = FakeCursor();
    screen.SetHandle(crHourGlass, busy);
    EXPECT_EQ(OverrideShape(), Qt::BitmapCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor()->hotSpot(), QPoint(1, 2));
    screen.SetHandle(crHourGlass, hourglass);
    EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
}

TEST(CursorServiceTest, DecodesCursorFiles)
{
    const HCURSOR still = DecodeCursorFile(CursorBytes(3, 5));
    ASSERT_TRUE(still);
    ASSERT_EQ(still->Frames.size(), 1u);
    EXPECT_EQ(still->Frames.front().hotSpot(), QPoint(3, 5));
    EXPECT_EQ(still->Frames.front().pixmap().size(), QSize(16, 16));

    for (const QByteArray& bad : {QByteArray(), QByteArray("RIFF"), CursorBytes(0, 0).left(30)})
        EXPECT_FALSE(DecodeCursorFile(bad));
    QByteArray wrongOffset = CursorBytes(0, 0);
    wrongOffset[19] = 0x7F;
    EXPECT_FALSE(DecodeCursorFile(wrongOffset));
    EXPECT_FALSE(DecodeAnimatedCursor(CursorBytes(0, 0)));
}

// Steps follow the sequence with their own rates (jiffies of 1/60 s); without one every frame shows
// once at the default rate.
TEST(CursorServiceTest, AnimatedCursorsPlayTheirSequence)
{
    const std::vector<QByteArray> icons{CursorBytes(2, 4), CursorBytes(7, 1)};
    const HCURSOR plain = DecodeAnimatedCursor(AnimatedCursor(icons, {}, {}, 6));
    ASSERT_TRUE(plain);
    ASSERT_EQ(plain->Frames.size(), 2u);
    EXPECT_EQ(plain->Frames[0].hotSpot(), QPoint(2, 4));
    EXPECT_EQ(plain->Frames[1].hotSpot(), QPoint(7, 1));
    EXPECT_EQ(plain->DelaysMs, (std::vector<int>{100, 100}));

    const HCURSOR sequenced = DecodeAnimatedCursor(AnimatedCursor(icons, {1, 0, 1}, {3, 6, 12}, 6));
    ASSERT_TRUE(sequenced);
    ASSERT_EQ(sequenced->Frames.size(), 3u);
    EXPECT_EQ(sequenced->Frames[0].hotSpot(), QPoint(7, 1));
    EXPECT_EQ(sequenced->Frames[1].hotSpot(), QPoint(2, 4));
    EXPECT_EQ(sequenced->DelaysMs, (std::vector<int>{50, 100, 200}));

    const HCURSOR single = DecodeAnimatedCursor(AnimatedCursor({icons[0]}, {}, {}, 6));
    ASSERT_TRUE(single);
    EXPECT_TRUE(single->DelaysMs.empty());

    // Damaged data gives no cursor: a step past the frames, a frame cut short, no frames at all.
    EXPECT_FALSE(DecodeAnimatedCursor(AnimatedCursor(icons, {0, 2}, {}, 6)));
    const QByteArray whole = AnimatedCursor(icons, {}, {}, 6);
    EXPECT_FALSE(DecodeAnimatedCursor(whole.left(whole.size() - 20)));
    EXPECT_FALSE(DecodeAnimatedCursor(AnimatedCursor({}, {}, {}, 6)));
}

// The program's own cursors, when the resources are compiled in.
TEST(CursorServiceTest, CarriedCursorsLoad)
{
    if (!QFile::exists(QStringLiteral(":/res/ANICURSOR/KO_BUSY")))
        GTEST_SKIP() << "cursor resources not compiled in";
    for (const QString& name : {QStringLiteral("DOCK_DRAG"), QStringLiteral("dock_drag_reject")}) {
        const HCURSOR cursor = LoadProgramCursor(name);
        ASSERT_TRUE(cursor) << qPrintable(name);
        EXPECT_EQ(cursor->Frames.size(), 1u);
    }
    const HCURSOR busy = LoadProgramCursor(QStringLiteral("KO_BUSY"));
    ASSERT_TRUE(busy);
    EXPECT_EQ(busy->Frames.size(), 8u);
    EXPECT_EQ(busy->DelaysMs.size(), 8u);
}
