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

// An animated cursor whose one "icon" chunk (the cursor file) sits inside depth nested LIST chunks.
QByteArray NestedAnimatedCursor(const QByteArray& icon, int depth)
{
    const int64_t iconChunk = 8 + icon.size() + (icon.size() & 1);
    QByteArray file("RIFF????ACON");
    qToLittleEndian<uint32_t>(uint32_t(4 + 12 * int64_t(depth) + iconChunk), file.data() + 4);
    file.reserve(file.size() + 12 * depth + iconChunk);
    for (int level = depth; level >= 1; --level) {
        char header[12] = {'L', 'I', 'S', 'T', 0, 0, 0, 0, 'f', 'r', 'a', 'm'};
        qToLittleEndian<uint32_t>(uint32_t(4 + 12 * int64_t(level - 1) + iconChunk), header + 4);
        file.append(header, 12);
    }
    char header[8] = {'i', 'c', 'o', 'n', 0, 0, 0, 0};
    qToLittleEndian<uint32_t>(uint32_t(icon.size()), header + 4);
    file.append(header, 8).append(icon);
    if (icon.size() & 1)
        file.append('\0');
    return file;
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

// Lists nest without limit in the format; the decoder walks them without recursion and refuses a
// nesting deeper than any real file has.
TEST(CursorServiceTest, NestedListsDecodeUpToTheDepthLimit)
{
    const QByteArray icon = CursorBytes(2, 4);
    const int limit = int(MaxAnimatedCursorListDepth);
    for (const auto& [depth, decodes] : std::vector<std::pair<int, bool>>{
             {0, true}, {1, true}, {limit - 1, true}, {limit, false}, {20000, false}}) {
        const HCURSOR cursor = DecodeAnimatedCursor(NestedAnimatedCursor(icon, depth));
        EXPECT_EQ(bool(cursor), decodes) << "depth " << depth;
        if (cursor) {
            ASSERT_EQ(cursor->Frames.size(), 1u);
            EXPECT_EQ(cursor->Frames.front().hotSpot(), QPoint(2, 4));
        }
    }
    // A chunk that runs past its list ends that list; the frames read before it stay.
    QByteArray cut = NestedAnimatedCursor(icon, 2);
    cut.append("icon\xFF\xFF\x00\x00", 8);
    qToLittleEndian<uint32_t>(uint32_t(cut.size() - 8), cut.data() + 4);
    EXPECT_TRUE(DecodeAnimatedCursor(cut));
    EXPECT_FALSE(DecodeAnimatedCursor(cut.left(cut.size() - 8 - icon.size() / 2))) << "the icon chunk is cut short";
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
