#include "model/LogCapture.h"
#include "../platform/ByteBuilder.h"
#include "../platform/PeerTools.h"
#include "kinds/koIconEncoder.h"
#include "kinds/koResourceItemAnimatedIconCursor.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesMessages.h"
#include "model/koResourcesModule.h"
#include "platform/Streams.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPointer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

namespace {

TResourceIdent Ord(uint16_t v) { return TResourceIdent::FromOrdinal(v); }

uint32_t U32At(const QByteArray& d, qsizetype at) { return qFromLittleEndian<uint32_t>(d.constData() + at); }

// --- RIFF building ---------------------------------------------------------------------------------

QByteArray Chunk(const QByteArray& ID, const QByteArray& Data, bool Pad = true)
{
    QByteArray c = ID;
    Add32(c, uint32_t(Data.size()));
    c += Data;
    if (Pad && Data.size() % 2) c += '\0';
    return c;
}

QByteArray List(const QByteArray& Type, const QByteArray& Chunks) { return Chunk("LIST", Type + Chunks); }

QByteArray Anih(uint32_t Frames, uint32_t Steps, uint32_t Rate, uint32_t Attributes, int Extra = 0)
{
    QByteArray d;
    for (uint32_t v : {36u, Frames, Steps, 0u, 0u, 0u, 0u, Rate, Attributes}) Add32(d, v);
    d += QByteArray(Extra, '\x7F');
    return Chunk("anih", d);
}

QByteArray Dwords(std::initializer_list<uint32_t> Values)
{
    QByteArray d;
    for (uint32_t v : Values) Add32(d, v);
    return d;
}

// The standard RIFF size counts the data after the size field; ours counts 8 more.
QByteArray Riff(const QByteArray& Chunks)
{
    QByteArray d("RIFF");
    Add32(d, uint32_t(4 + Chunks.size()));
    return d + "ACON" + Chunks;
}

// A one-image .cur (Type 2) or .ico (Type 1) file: a 32-bit DIB of Width x 2 filled with Color (0xAARRGGBB).
QByteArray ImageFile(int Type, int Width, uint16_t HotX, uint16_t HotY, QRgb Color)
{
    const int height = 2;
    QByteArray dib;
    for (uint32_t v : {40u, uint32_t(Width), uint32_t(height * 2)}) Add32(dib, v);
    Add16(dib, 1);
    Add16(dib, 32);
    for (int i = 0; i < 6; ++i) Add32(dib, 0);
    for (int i = 0; i < Width * height; ++i) Add32(dib, Color);
    dib += QByteArray(height * ((Width + 31) / 32) * 4, '\0');
    QByteArray f;
    Add16(f, 0);
    Add16(f, Type);
    Add16(f, 1);
    f += char(Width);
    f += char(height);
    f += '\0';
    f += '\0';
    Add16(f, Type == 2 ? HotX : 1);
    Add16(f, Type == 2 ? HotY : 32);
    Add32(f, uint32_t(dib.size()));
    Add32(f, 22);
    return f + dib;
}

// Frame i is 2 + i pixels wide with the hot spot (i, i + 1): whoever reads it can tell it apart.
QByteArray Frames(int Count, int Type = 2)
{
    QByteArray icons;
    for (int i = 0; i < Count; ++i)
        icons += Chunk("icon", ImageFile(Type, 2 + i, uint16_t(i), uint16_t(i + 1), 0xFF000000u | uint32_t(0x10 * i)));
    return List("fram", icons);
}

std::unique_ptr<TAnimatedCursorResourceItem> Load(const QByteArray& Data)
{
    auto item = std::make_unique<TAnimatedCursorResourceItem>(Ord(1));
    TBytesStream stream(Data);
    item->LoadFromStream(stream, stream.Size());
    return item;
}

QByteArray Save(TCustomResourceItem& Item)
{
    TBytesStream stream;
    Item.SaveToStream(stream);
    return stream.Bytes();
}

QString LoadError(const QByteArray& Data)
{
    try {
        Load(Data);
    } catch (const Exception& e) {
        return e.Message();
    }
    return QStringLiteral("(no error)");
}

// The chunks of a written file by ID (the sub-chunks of a LIST under its list type).
std::map<QByteArray, QByteArray> Chunks(const QByteArray& File)
{
    std::map<QByteArray, QByteArray> chunks;
    qsizetype at = 12;
    const qsizetype end = File.size() - 16; // the trailing zeros
    while (at + 8 <= end) {
        const QByteArray id = File.mid(at, 4);
        const uint32_t size = U32At(File, at + 4);
        const QByteArray data = File.mid(at + 8, size);
        chunks[id == "LIST" ? data.left(4) : id] = id == "LIST" ? data.mid(4) : data;
        at += 8 + size + (size & 1);
    }
    return chunks;
}

std::vector<int> Steps(const TCustomAnimatedIconCursorResourceItem& Item, bool Rates = false)
{
    std::vector<int> steps;
    for (int i = 0; i < Item.Sequence()->Count(); ++i)
        steps.push_back(Rates ? Item.Sequence()->Items(i)->DisplayRate() : Item.Sequence()->Items(i)->FrameIndex());
    return steps;
}


// An animation with Frames blank frames and a step for each of Shown.
void Build(TCustomAnimatedIconCursorResourceItem& Item, int Frames, std::initializer_list<int> Shown)
{
    for (int i = 0; i < Frames; ++i) Item.AddChild();
    for (int f : Shown) Item.Sequence()->Add()->SetFrameIndex(f);
}

} // namespace

TEST(AnimatedIconCursor, SequenceIsKeptAndWrittenOnlyWhereItSaysMore)
{
    struct Case {
        const char* what;
        QByteArray chunks;
        std::vector<int> loadedSteps; // empty: every frame once at the default rate
        int defaultRate;
        uint32_t nSteps, dispRate, attributes;
        QByteArray rate, seq; // empty: no such chunk
    } cases[] = {
        {"equal rates", Anih(3, 3, 5, 1) + Chunk("rate", Dwords({10, 10, 10})) + Frames(3), {}, 10, 3, 10, 1, {}, {}},
        {"frames 0,1,0", Anih(3, 3, 5, 3) + Chunk("seq ", Dwords({0, 1, 0})) + Frames(3), {0, 1, 0}, 5, 3, 5, 3, {},
         Dwords({0, 1, 0})},
        {"rates vary", Anih(2, 2, 5, 1) + Chunk("rate", Dwords({4, 9})) + Frames(2), {0, 1}, 5, 2, 5, 1,
         Dwords({4, 9}), {}},
        {"fewer steps than frames", Anih(3, 2, 7, 3) + Chunk("seq ", Dwords({2, 0})) + Frames(3), {2, 0}, 7, 2, 7,
         3, {}, Dwords({2, 0})},
        {"no sequence at all", Anih(2, 0, 6, 1) + Frames(2), {}, 6, 2, 6, 1, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto item = Load(Riff(c.chunks));
        EXPECT_EQ(Steps(*item), c.loadedSteps);
        EXPECT_EQ(item->DefaultDisplayRate(), c.defaultRate);

        const QByteArray saved = Save(*item);
        auto chunks = Chunks(saved);
        ASSERT_EQ(chunks["anih"].size(), 36);
        EXPECT_EQ(U32At(chunks["anih"], 8), c.nSteps);
        EXPECT_EQ(U32At(chunks["anih"], 28), c.dispRate);
        EXPECT_EQ(U32At(chunks["anih"], 32), c.attributes);
        EXPECT_EQ(chunks.count("rate") ? chunks["rate"] : QByteArray(), c.rate);
        EXPECT_EQ(chunks.count("seq ") ? chunks["seq "] : QByteArray(), c.seq);
        // What we write reads back the same.
        EXPECT_EQ(Save(*Load(saved)), saved);
    }
}

TEST(AnimatedIconCursor, BadDataIsRefusedWithItsMessage)
{
    const QByteArray header = Anih(3, 3, 5, 3);
    struct Case {
        const char* what;
        QByteArray data;
        const char* message;
    } cases[] = {
        {"no RIFF", QByteArray("RIFX\0\0\0\0ACON", 12), "Invalid RIFF header"},
        {"short", QByteArray("RIFF\0\0", 6), "Invalid RIFF header"},
        {"no ACON", QByteArray("RIFF\0\0\0\0ACOX", 12), "Invalid RIFF animation header"},
        {"frames not icons", Riff(Anih(1, 1, 5, 2)), "Malformed RIFF animation header"},
        {"header too short", Riff(Chunk("anih", Dwords({36, 1, 1, 0, 0, 0, 0, 5}))), "Malformed RIFF animation header"},
        {"steps beyond any data", Riff(Anih(1, 0x40000000, 5, 3)), "Malformed RIFF animation header"},
        {"chunk past the data", Riff(header + QByteArray("seq \x40\0\0\0", 8) + Dwords({0})), "Premature end of data"},
        {"LIST without type", Riff(header + Chunk("LIST", "IN")), "Premature end of data"},
        {"sub-chunk past its list", Riff(header + List("INFO", QByteArray("INAM\x20\0\0\0ab", 10))),
         "Premature end of data"},
        {"seq past the frames", Riff(header + Chunk("seq ", Dwords({0, 1, 3})) + Frames(3)),
         "Invalid RIFF animation frame index"},
        {"seq before the header", Riff(Chunk("seq ", Dwords({0})) + header), "Invalid RIFF animation frame index"},
        {"fewer frames than shown", Riff(Anih(3, 3, 5, 1) + Frames(2)), "Invalid RIFF animation frame index"},
        {"a fourth frame", Riff(header + Frames(4)), "Too many frames"},
        {"frame before the header", Riff(Frames(1) + header), "Too many frames"},
        {"frame of type 3", Riff(header + List("fram", Chunk("icon", QByteArray("\0\0\3\0\1\0", 6)))),
         "Invalid frame image type"},
        {"frame of 3 bytes", Riff(header + List("fram", Chunk("icon", QByteArray("\0\0\2", 3)))),
         "Premature end of data"},
    };
    for (const Case& c : cases) {
        const QString error = LoadError(c.data);
        EXPECT_TRUE(error.startsWith(QLatin1String(c.message))) << c.what << ": " << error.toStdString();
    }

    // Errors say where: the chunk and its offset.
    EXPECT_EQ(LoadError(Riff(header + QByteArray("seq \x40\0\0\0", 8))),
              QStringLiteral("Premature end of data (the \"seq \" chunk at offset 56 holds 64 bytes, 0 are left)"));
    // A failed read keeps the frames read before the error, and nothing of what was there before.
    TAnimatedCursorResourceItem item(Ord(1));
    item.SetTitle("old");
    TBytesStream stream(Riff(header + Frames(4)));
    EXPECT_THROW(item.LoadFromStream(stream, stream.Size()), Exception);
    EXPECT_EQ(item.FrameCount(), 3);
    EXPECT_TRUE(item.Title().isEmpty());
}

TEST(AnimatedIconCursor, DamageThatNeedNotStopReadingIsReadAndLogged)
{
    struct Case {
        const char* what;
        QByteArray data;
        std::vector<int> steps, rates;
        QStringList warnings;
    } cases[] = {
        {"rate chunk of 2 for 3 steps", Riff(Anih(3, 3, 5, 1) + Chunk("rate", Dwords({7, 8})) + Frames(3)),
         {0, 1, 2}, {7, 8, 5}, {"Malformed RIFF animation rate chunk"}},
        {"rate chunk of 4 for 3 steps", Riff(Anih(3, 3, 5, 1) + Chunk("rate", Dwords({7, 8, 9, 6})) + Frames(3)),
         {0, 1, 2, 2}, {7, 8, 9, 6}, {"Malformed RIFF animation rate chunk"}},
        {"seq without the flag", Riff(Anih(2, 2, 5, 1) + Chunk("seq ", Dwords({1, 0})) + Frames(2)), {1, 0},
         {5, 5}, {"Unexpected RIFF animation sequence chunk"}},
        {"seq of 3 for 2 steps", Riff(Anih(2, 2, 5, 3) + Chunk("seq ", Dwords({1, 0, 1})) + Frames(2)),
         {1, 0, 1}, {5, 5, 5}, {"Malformed RIFF animation sequence chunk"}},
        // Lengths that are no multiple of 4 read their whole values; a longer header reads its 36 bytes.
        {"odd lengths", Riff(Anih(2, 2, 5, 3, 7) + Chunk("seq ", Dwords({1, 0}) + "xy") +
                                 Chunk("rate", Dwords({3, 4}) + "z") + Frames(2)),
         {1, 0}, {3, 4}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TLogCapture log;
        const auto item = Load(c.data);
        EXPECT_EQ(Steps(*item), c.steps);
        EXPECT_EQ(Steps(*item, true), c.rates);
        QStringList heard = log.Messages();
        for (QString& m : heard) m = m.section(QLatin1String(" ("), 0, 0);
        EXPECT_EQ(heard, c.warnings);
    }
}

TEST(AnimatedIconCursor, ChunkOrderAndRiffSizeDoNotMatter)
{
    const QByteArray anih = Anih(3, 4, 5, 3);
    const QByteArray info = List("INFO", Chunk("INAM", QByteArray("Title", 6)) + Chunk("IART", QByteArray("Me", 3)));
    const QByteArray rate = Chunk("rate", Dwords({1, 2, 3, 4}));
    const QByteArray seq = Chunk("seq ", Dwords({2, 1, 0, 1}));
    const QByteArray frames = Frames(3);
    const QByteArray expected = Save(*Load(Riff(info + anih + rate + seq + frames)));
    EXPECT_EQ(Save(*Load(Riff(anih + frames + seq + rate + info))), expected);
    EXPECT_EQ(Save(*Load(Riff(anih + seq + List("LIST", {}) + Chunk("junk", "abc") + frames + info + rate))), expected);

    const auto item = Load(Riff(anih + seq + rate + frames + info));
    EXPECT_EQ(item->Title(), "Title");
    EXPECT_EQ(item->Author(), "Me");
    EXPECT_EQ(Steps(*item), (std::vector<int>{2, 1, 0, 1}));
    EXPECT_EQ(Steps(*item, true), (std::vector<int>{1, 2, 3, 4}));
    ASSERT_EQ(item->FrameCount(), 3);
    EXPECT_EQ(item->Frame(2)->Width(), 4);

    // The standard RIFF size and ours (8 more) read alike, also with the trailing zeros we write.
    QByteArray ours = Riff(anih + seq + rate + frames + info);
    qToLittleEndian<uint32_t>(U32At(ours, 4) + 8, ours.data() + 4);
    EXPECT_EQ(Save(*Load(ours + QByteArray(16, '\0'))), expected);
}

TEST(AnimatedIconCursor, WrittenLayout)
{
    TAnimatedCursorResourceItem item(Ord(1));
    item.InitializeNewItem();
    item.SetTitle("ab");
    item.SetCopyright("(c)");
    const QByteArray saved = Save(item);

    EXPECT_EQ(saved.left(4), "RIFF");
    EXPECT_EQ(U32At(saved, 4), uint32_t(saved.size() - 16));
    EXPECT_EQ(saved.right(16), QByteArray(16, '\0'));
    EXPECT_EQ(saved.mid(8, 4), "ACON");
    // LIST INFO: "INAM" of size 3 with a pad byte, then "ICOP" of size 4 without; no "IART".
    EXPECT_EQ(saved.mid(12, 4), "LIST");
    EXPECT_EQ(U32At(saved, 16), 4u + 12 + 12);
    EXPECT_EQ(saved.mid(20, 28), QByteArray("INFOINAM\3\0\0\0ab\0\0ICOP\4\0\0\0(c)\0", 28));
    EXPECT_EQ(saved.mid(48, 8), QByteArray("anih\x24\0\0\0", 8));

    const auto chunks = Chunks(saved);
    EXPECT_EQ(chunks.count("rate") + chunks.count("seq "), 0u);
    EXPECT_EQ(U32At(chunks.at("anih"), 4), 1u);
    EXPECT_EQ(U32At(chunks.at("anih"), 28), 1u);
    // The frame is a .cur file of one image.
    const QByteArray icon = chunks.at("fram").mid(8);
    EXPECT_EQ(chunks.at("fram").left(4), "icon");
    EXPECT_EQ(icon.left(6), QByteArray("\0\0\2\0\1\0", 6));
    EXPECT_EQ(U32At(chunks.at("fram"), 4), uint32_t(icon.size()));
}

TEST(AnimatedIconCursor, NewAnimationAndItsFaces)
{
    TAnimatedIconResourceItem item(Ord(1));
    item.InitializeNewItem();
    ASSERT_EQ(item.FrameCount(), 1);
    EXPECT_TRUE(dynamic_cast<TAnimatedIconResourceItemFrame*>(item.Frame(0)));
    EXPECT_EQ(item.Width(), 32);
    EXPECT_EQ(item.Description(), QStringLiteral("32x32, 1 frames"));
    EXPECT_EQ(item.DefaultDisplayRate(), 1);
    EXPECT_GT(item.Size(), 0);
    item.SetDefaultDisplayRate(0);
    EXPECT_EQ(item.DefaultDisplayRate(), 1);

    item.Clear();
    EXPECT_EQ(item.Size(), 0);
    EXPECT_EQ(item.DefaultDisplayRate(), 5);
    // Without frames a bitmap is cleared.
    TBitmap bitmap(4, 4);
    item.AssignTo(bitmap);
    EXPECT_TRUE(bitmap.Empty());

    EXPECT_TRUE(TAnimatedIconResourceItem::Handles(Ord(22), Ord(1), nullptr));
    EXPECT_FALSE(TAnimatedIconResourceItem::Handles(Ord(21), Ord(1), nullptr));
    EXPECT_TRUE(TAnimatedCursorResourceItem::Handles(Ord(21), Ord(1), nullptr));
    TBytesStream riff(QByteArray("RIFF\1\2\3\4ACON", 12));
    EXPECT_TRUE(TAnimatedCursorResourceItem::HandlesFile(QStringLiteral("x.bin"), &riff));
    EXPECT_TRUE(TAnimatedCursorResourceItem::HandlesFile(QStringLiteral("x.ANI"), nullptr));
    // Animated GIF files are imported.
    EXPECT_TRUE(TAnimatedCursorResourceItem::HandlesFile(QStringLiteral("x.Gif"), nullptr));
    EXPECT_FALSE(TAnimatedCursorResourceItem::HandlesFile(QStringLiteral("x.png"), nullptr));
}

TEST(AnimatedIconCursor, KindsAndFileTypeAreRegistered)
{
    koResourcesKinds_Initialize();
    koResourceItemAnimatedIconCursor_Initialize();
    TBytesStream data(Riff(Anih(0, 0, 5, 1)));
    TCustomResourceItemDatabase* kinds = ResourceItemDatabase();
    EXPECT_EQ(kinds->Find(Ord(21), Ord(1), &data), TAnimatedCursorResourceItem::ClassInfo());
    EXPECT_EQ(kinds->Find(Ord(22), Ord(1), &data), TAnimatedIconResourceItem::ClassInfo());
    // Files go to animated cursors, by extension and by signature; GIF files are offered for loading only.
    EXPECT_EQ(kinds->FindFileFormat(QStringLiteral("spin.bin"), &data), TAnimatedCursorResourceItem::ClassInfo());
    EXPECT_EQ(kinds->FindFileType(QStringLiteral("spin.ani"), {fcLoad}), TAnimatedCursorResourceItem::ClassInfo());
    EXPECT_EQ(kinds->FindFileType(QStringLiteral("spin.ani"), {fcSave}), TAnimatedCursorResourceItem::ClassInfo());
    EXPECT_EQ(kinds->FindFileType(QStringLiteral("spin.gif"), {fcLoad}), TAnimatedCursorResourceItem::ClassInfo());
    EXPECT_EQ(kinds->FindFileType(QStringLiteral("spin.gif"), {fcSave}), nullptr);
    koResourceItemAnimatedIconCursor_Finalize();
    koResourcesKinds_Finalize();
    koResourcesFiler_Finalize();
}

TEST(AnimatedIconCursor, SequenceFollowsTheFrames)
{
    TAnimatedCursorResourceItem item(Ord(1));
    Build(item, 3, {0, 1, 2, 1});
    const QPointer<TCustomResourceItem> second = item.Frame(1);

    // Removing frame 1 drops its steps and renumbers the later frame.
    TCustomResourceItem* taken = item.Frame(1);
    taken->SetParent(nullptr);
    TResourceItemPtr owned(taken);
    EXPECT_EQ(Steps(item), (std::vector<int>{0, 1}));
    EXPECT_EQ(item.FrameCount(), 2);
    owned.reset();
    EXPECT_TRUE(second.isNull());

    // A new frame gets a step; steps made before there were frames show frame 0.
    item.Sequence()->Items(1)->StoreFrameIndex(-1);
    item.AddChild();
    EXPECT_EQ(Steps(item), (std::vector<int>{0, 0, 2}));

    // Moving frames leaves the steps alone; a step shows only frames that are there.
    TCustomResourceItem* first = item.Frame(0);
    item.MoveFrame(0, 2);
    EXPECT_EQ(item.Frame(2), first);
    EXPECT_EQ(Steps(item), (std::vector<int>{0, 0, 2}));
    EXPECT_THROW(item.Sequence()->Items(0)->SetFrameIndex(3), Exception);
    EXPECT_THROW(item.Sequence()->Items(0)->SetFrameIndex(-1), Exception);
    EXPECT_EQ(item.Sequence()->Items(0)->FrameIndex(), 0);

    // A new step shows its own index, or the last frame, at the default rate.
    item.SetDefaultDisplayRate(9);
    item.Sequence()->Clear();
    for (int i = 0; i < 4; ++i) item.Sequence()->Add();
    EXPECT_EQ(Steps(item), (std::vector<int>{0, 1, 2, 2}));
    EXPECT_EQ(Steps(item, true), (std::vector<int>{9, 9, 9, 9}));

    // A frame deleted outright leaves the animation cleanly.
    TResourceItemPtr(item.Frame(0)).reset();
    EXPECT_EQ(item.FrameCount(), 2);
    EXPECT_EQ(Steps(item), (std::vector<int>{0, 1, 1}));
}

TEST(AnimatedIconCursor, FramesBelongToTheAnimationWhileListed)
{
    std::vector<QPointer<TCustomResourceItem>> frames;
    auto watch = [&frames](TCustomAnimatedIconCursorResourceItem& item) {
        frames.clear();
        for (int i = 0; i < item.FrameCount(); ++i) frames.emplace_back(item.Frame(i));
    };
    auto gone = [&frames] {
        return std::all_of(frames.begin(), frames.end(), [](const auto& f) { return f.isNull(); });
    };

    // Destroyed as a plain object, through the item deleter, and cleared.
    {
        TAnimatedCursorResourceItem item(Ord(1));
        Build(item, 3, {2, 1});
        watch(item);
    }
    EXPECT_TRUE(gone());
    TResourceItemPtr item(new TAnimatedIconResourceItem(Ord(1)));
    auto* animation = static_cast<TAnimatedIconResourceItem*>(item.get());
    Build(*animation, 2, {1, 0});
    watch(*animation);
    animation->Clear();
    EXPECT_TRUE(gone());
    EXPECT_EQ(animation->Sequence()->Count(), 0);

    // A frame taken out outlives its animation.
    Build(*animation, 3, {});
    watch(*animation);
    TCustomResourceItem* taken = animation->Frame(2);
    taken->SetParent(nullptr);
    TResourceItemPtr owned(taken);
    item.reset();
    EXPECT_TRUE(frames[0].isNull());
    EXPECT_TRUE(frames[1].isNull());
    ASSERT_FALSE(frames[2].isNull());
    EXPECT_EQ(owned->Parent(), nullptr);
    owned.reset();

    // Frames never join a module.
    TResourceModule module;
    TAnimatedCursorResourceItem other(Ord(2));
    other.AddChild();
    EXPECT_THROW(other.Frame(0)->SetModule(&module), EAssertionFailed);
    EXPECT_EQ(module.Items()->Count(), 0);
}

TEST(AnimatedIconCursor, InteropIcotoolCursorsRoundTrip)
{
    REQUIRE_PEER_TOOL(icotool, "icotool");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Made {
        QRgb color;
        int hotX, hotY;
    } made[] = {{0xFF1080F0u, 3, 5}, {0xFFF08010u, 20, 1}, {0x80204060u, 31, 31}};
    QByteArray icons;
    for (int i = 0; i < 3; ++i) {
        QImage picture(32, 32, QImage::Format_ARGB32);
        picture.fill(made[i].color);
        picture.setPixel(0, 0, qRgba(0, 0, 0, 0));
        const QString png = dir.filePath(QStringLiteral("f%1.png").arg(i));
        const QString cur = dir.filePath(QStringLiteral("f%1.cur").arg(i));
        ASSERT_TRUE(picture.save(png));
        const TPeerToolResult created =
            RunPeerTool(icotool, {"-c", "--cursor", "-b", "32", "--hotspot-x", QString::number(made[i].hotX),
                                  "--hotspot-y", QString::number(made[i].hotY), "-o", cur, png});
        ASSERT_TRUE(created.Ok()) << created.Describe().toStdString();
        QFile file(cur);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        icons += Chunk("icon", file.readAll());
    }
    const QByteArray ani = Riff(List("INFO", Chunk("INAM", QByteArray("Spin", 5))) + Anih(3, 4, 6, 3) +
                                Chunk("rate", Dwords({6, 12, 6, 3})) + Chunk("seq ", Dwords({0, 1, 2, 1})) +
                                List("fram", icons));

    auto check = [&](TCustomAnimatedIconCursorResourceItem& item) {
        EXPECT_EQ(item.Title(), "Spin");
        EXPECT_EQ(Steps(item), (std::vector<int>{0, 1, 2, 1}));
        EXPECT_EQ(Steps(item, true), (std::vector<int>{6, 12, 6, 3}));
        ASSERT_EQ(item.FrameCount(), 3);
        for (int i = 0; i < 3; ++i) {
            auto* frame = dynamic_cast<TCustomCursorResourceItem*>(item.Frame(i));
            ASSERT_TRUE(frame);
            QPoint hot;
            frame->GetHotspot(hot);
            EXPECT_EQ(hot, QPoint(made[i].hotX, made[i].hotY)) << i;
            // The pixels as the icon encoder decodes the frame's image (after the hot spot).
            TBytesStream image(frame->ResourceData().mid(4));
            std::unique_ptr<TBitmap> bitmap, mask;
            CreateIconEncoder(IconCompressionOf(image.Bytes()))->Decode(image, bitmap, mask, 32);
            ASSERT_TRUE(bitmap);
            ASSERT_EQ(bitmap->PixelFormat(), pf32bit);
            EXPECT_EQ(bitmap->Width(), 32);
            const QRgb color = made[i].color;
            EXPECT_EQ(bitmap->Pixel(5, 7), RGBColor(qRed(color), qGreen(color), qBlue(color))) << i;
            EXPECT_EQ(bitmap->PixelAlpha(5, 7), qAlpha(made[i].color)) << i;
            EXPECT_EQ(bitmap->PixelAlpha(0, 0), 0) << i;
        }
    };
    const auto loaded = Load(ani);
    check(*loaded);
    const QByteArray saved = Save(*loaded);
    const auto again = Load(saved);
    check(*again);

    // The frames we write are .cur files that icotool lists with their hot spots.
    const QByteArray fram = Chunks(saved).at("fram");
    qsizetype at = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(fram.mid(at, 4), "icon");
        const uint32_t size = U32At(fram, at + 4);
        const QString cur = dir.filePath(QStringLiteral("out%1.cur").arg(i));
        QFile file(cur);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(fram.mid(at + 8, size));
        file.close();
        at += 8 + size + (size & 1);
        const TPeerToolResult listed = RunPeerTool(icotool, {"-l", cur});
        ASSERT_TRUE(listed.Ok()) << listed.Describe().toStdString();
        const QString out = QString::fromLocal8Bit(listed.Out);
        EXPECT_TRUE(out.contains(QLatin1String("--cursor"))) << out.toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral("--hotspot-x=%1 --hotspot-y=%2").arg(made[i].hotX).arg(made[i].hotY)))
            << out.toStdString();
    }
}
