#include "../platform/GifTestSupport.h"
#include "../platform/PeerTools.h"
#include "kinds/koResourceItemAnimatedIconCursor.h"
#include "kinds/koResourceItemGIF.h"
#include "model/koResourcesFiler.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "platform/Bitmap.h"
#include "platform/Streams.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace giftest;

namespace {

TResourceIdent Ord(uint16_t v) { return TResourceIdent::FromOrdinal(v); }

QByteArray Indices(std::initializer_list<int> Values)
{
    QByteArray bytes;
    for (const int v : Values) bytes.append(char(v));
    return bytes;
}

void LoadItem(TGIFResourceItem& Item, const QByteArray& Data)
{
    TBytesStream stream(Data);
    Item.LoadFromStream(stream, Data.size());
}

QByteArray SaveItem(TGIFResourceItem& Item)
{
    TBytesStream stream;
    Item.SaveToStream(stream);
    return stream.Bytes();
}

// One frame of Width x Height over a global map of 256 entries whose first Colors are distinct;
// pixels cycle through those colours.
TGifRecipe ManyColors(int Colors, int Width, int Height, int Transparent = -1)
{
    TGifRecipe recipe;
    recipe.Width = Width;
    recipe.Height = Height;
    for (int i = 0; i < 256; ++i) recipe.GlobalMap.push_back(RGBColor(i * 7 % 256, i * 13 % 256, 255 - i));
    TFrameRecipe frame;
    frame.Width = Width;
    frame.Height = Height;
    for (int i = 0; i < Width * Height; ++i) frame.Pixels.append(char(i % Colors));
    if (Transparent >= 0) {
        frame.Control = true;
        frame.Transparent = Transparent;
    }
    recipe.Frames = {frame};
    return recipe;
}

TGifRecipe TwoFrames(int Loop)
{
    TGifRecipe recipe;
    recipe.Width = 2;
    recipe.Height = 2;
    recipe.GlobalMap = {RGBColor(255, 0, 0), RGBColor(0, 0, 255)};
    recipe.Loop = Loop;
    recipe.Frames = {Frame(0, 0, 2, 2, Indices({0, 1, 1, 0})), Frame(1, 1, 1, 1, Indices({1}))};
    return recipe;
}

bool HasLoopExtension(const QByteArray& Data) { return Data.contains("NETSCAPE2.0"); }

} // namespace

TEST(GifResources, AnyTypeWithTheSignatureIsAGifItem)
{
    koResourcesKinds_Initialize();
    koResourceItemGIF_Initialize();
    TCustomResourceItemDatabase* kinds = ResourceItemDatabase();
    for (const char* signature : {"GIF87a", "GIF89a"}) {
        TBytesStream data(QByteArray(signature) + QByteArray(10, '\0'));
        EXPECT_EQ(kinds->Find(Ord(10), Ord(1), &data), TGIFResourceItem::ClassInfo()) << signature;
        EXPECT_EQ(kinds->Find(TResourceIdent(QStringLiteral("ANYTHING")), Ord(1), &data), TGIFResourceItem::ClassInfo());
        EXPECT_EQ(data.Position(), 0);
    }
    TBytesStream other(QByteArray("GIF88a"));
    EXPECT_NE(kinds->Find(Ord(10), Ord(1), &other), TGIFResourceItem::ClassInfo());
    EXPECT_TRUE(TGIFResourceItem::HandlesFile(QStringLiteral("a.GIF"), nullptr));
    EXPECT_EQ(kinds->FindFileType(QStringLiteral("a.gif"), {fcSave}), TGIFResourceItem::ClassInfo());
    koResourceItemGIF_Finalize();
    koResourcesKinds_Finalize();
    koResourcesFiler_Finalize();
}

TEST(GifResources, FramesAreChildItemsStandingForTheImageFrames)
{
    TGIFResourceItem item(Ord(1));
    LoadItem(item, MakeGif(TwoFrames(-1)));
    EXPECT_EQ(item.ResourceType(), TResourceIdent(QStringLiteral("GIF")));
    ASSERT_EQ(item.FrameCount(), 2);
    EXPECT_EQ(item.Frame(1)->Frame(), item.Image().Frames(1));
    EXPECT_EQ(item.Frame(1)->Left(), 1);
    EXPECT_EQ(item.Frame(0)->Name(), Ord(0));
    EXPECT_TRUE(item.Frame(0)->SharedPalette());
    EXPECT_EQ(item.Frame(0)->ColorDepth(), 1);
    EXPECT_FALSE(item.Loop());

    // Moving a frame moves the platform frame alike.
    TGIFFrame* second = item.Image().Frames(1);
    item.MoveFrame(1, 0);
    EXPECT_EQ(item.Image().Frames(0), second);
    EXPECT_EQ(item.Frame(0)->Frame(), second);

    // A frame item that goes takes its frame out of the image.
    TResourceItemPtr gone(item.Frame(0));
    gone->SetParent(nullptr);
    gone.reset();
    ASSERT_EQ(item.Image().FrameCount(), 1);
    EXPECT_EQ(item.Frame(0)->Frame(), item.Image().Frames(0));

    // Saved data reads back the same frames.
    TGIFResourceItem back(Ord(2));
    LoadItem(back, SaveItem(item));
    ASSERT_EQ(back.FrameCount(), 1);
    EXPECT_EQ(back.Image().Frames(0)->Pixels(), Indices({0, 1, 1, 0}));

    // Without frames nothing is written.
    item.Clear();
    EXPECT_TRUE(SaveItem(item).isEmpty());
    EXPECT_EQ(item.Size(), 0);
    EXPECT_FALSE(item.Loop());
}

TEST(GifResources, LoopingFollowsTheFirstFrame)
{
    TGIFResourceItem item(Ord(1));
    LoadItem(item, MakeGif(TwoFrames(0)));
    EXPECT_TRUE(item.Loop());
    EXPECT_EQ(item.LoopCount(), 0);
    item.SetLoop(false);
    EXPECT_FALSE(HasLoopExtension(SaveItem(item)));

    LoadItem(item, MakeGif(TwoFrames(-1)));
    item.SetLoop(true);
    item.SetLoopCount(3);
    const QByteArray saved = SaveItem(item);
    TGIFResourceItem back(Ord(2));
    LoadItem(back, saved);
    EXPECT_TRUE(back.Loop());
    EXPECT_EQ(back.LoopCount(), 3);
    EXPECT_NE(back.Image().Frames(0)->FindExtension<TGIFLoopExtension>(), nullptr);
    EXPECT_EQ(back.Image().Frames(1)->FindExtension<TGIFLoopExtension>(), nullptr);
}

TEST(GifResources, NewItemsUseTheColourCube)
{
    const TColorArray cube = TGIFResourceItem::DefaultPalette();
    ASSERT_EQ(cube.size(), 216u);
    // Channel values span 0..255: the cube is not 216 near-black colours.
    EXPECT_EQ(cube[0], RGBColor(0, 0, 0));
    EXPECT_EQ(cube[1], RGBColor(51, 0, 0));
    EXPECT_EQ(cube[6], RGBColor(0, 51, 0));
    EXPECT_EQ(cube[36], RGBColor(0, 0, 51));
    EXPECT_EQ(cube[215], RGBColor(255, 255, 255));
    EXPECT_EQ(QSet<uint32_t>(reinterpret_cast<const uint32_t*>(cube.data()),
                             reinterpret_cast<const uint32_t*>(cube.data()) + cube.size())
                  .size(),
              216);

    TGIFResourceItem item;
    item.InitializeNewItem();
    EXPECT_EQ(item.Palette(), cube);
    ASSERT_EQ(item.FrameCount(), 1);
    EXPECT_EQ(item.Frame(0)->Width(), 16);
    EXPECT_TRUE(item.Frame(0)->SharedPalette());
    EXPECT_EQ(item.Width(), 16);

    // A new frame copies the transparency of the first transparent frame.
    item.Frame(0)->SetTransparent(true);
    item.Frame(0)->SetTransparentColorIndex(5);
    auto* added = static_cast<TGIFResourceItemFrame*>(item.AddChild());
    added->InitializeNewItem();
    EXPECT_TRUE(added->Transparent());
    EXPECT_EQ(added->TransparentColorIndex(), 5);
    EXPECT_EQ(added->Frame()->Pixels(), QByteArray(256, char(5)));
    EXPECT_EQ(item.Image().FrameCount(), 2);
}

TEST(GifResources, ControlAndCommentExtensionsAreMadeOnlyWhenNeeded)
{
    TGIFResourceItem item(Ord(1));
    LoadItem(item, MakeGif(TwoFrames(-1)));
    TGIFResourceItemFrame* frame = item.Frame(1);
    frame->SetDelay(0);
    frame->SetTransparent(false);
    frame->SetDisposal(dmNone);
    EXPECT_TRUE(frame->Frame()->Extensions().empty());
    frame->SetDisposal(dmPrevious);
    frame->SetDelay(25);
    EXPECT_EQ(frame->Frame()->Extensions().size(), 1u);
    frame->SetComment({QStringLiteral("one"), QStringLiteral("two")});
    TGIFResourceItem back(Ord(2));
    LoadItem(back, SaveItem(item));
    EXPECT_EQ(back.Frame(1)->Disposal(), dmPrevious);
    EXPECT_EQ(back.Frame(1)->Delay(), 25);
    EXPECT_EQ(back.Frame(1)->Comment(), (QStringList{"one", "two"}));
    back.Frame(1)->SetComment({});
    EXPECT_EQ(back.Frame(1)->Frame()->FindExtension<TGIFCommentExtension>(), nullptr);
}

TEST(GifResources, SharedPaletteSwitches)
{
    TGIFResourceItem item(Ord(1));
    LoadItem(item, MakeGif(TwoFrames(-1)));
    const TColorArray global = item.Palette();
    // The first frame leaves; the second still uses the global map.
    item.Frame(0)->SetSharedPalette(false);
    EXPECT_EQ(item.Frame(0)->Frame()->ColorMap().ExportPalette(), global);
    EXPECT_EQ(item.Palette(), global);
    // The last user leaves: the global map empties.
    item.Frame(1)->SetSharedPalette(false);
    EXPECT_TRUE(item.Palette().empty());
    // Back again: the global map takes the frame's own colours.
    item.Frame(1)->SetSharedPalette(true);
    EXPECT_EQ(item.Palette(), global);
    EXPECT_TRUE(item.Frame(1)->Frame()->ColorMap().Empty());
}

TEST(GifResources, ColourDepthChanges)
{
    struct TCase {
        const char* Name;
        int Colors;
        int Transparent;
        int Depth;
        int MaxEntries;
    } cases[] = {
        {"100 colours to 16", 100, -1, 4, 16},
        {"100 colours, transparent, to 15 + 1", 100, 7, 4, 16},
        {"3 colours stay 3", 3, -1, 4, 3},
        {"3 colours, transparent, 3 + 1", 3, 2, 4, 3},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TGIFResourceItem item(Ord(1));
        LoadItem(item, MakeGif(ManyColors(c.Colors, 20, 10, c.Transparent)));
        TGIFResourceItemFrame* frame = item.Frame(0);
        const QByteArray before = frame->Frame()->Pixels();
        const TColorArray oldMap = item.Palette();
        frame->SetColorDepth(c.Depth);
        const TGIFColorMap& map = frame->Frame()->ActiveColorMap();
        EXPECT_LE(map.Count(), c.MaxEntries);
        if (c.Colors <= (1 << c.Depth) - (c.Transparent >= 0 ? 1 : 0)) {
            // Few colours: each is kept exactly, the transparent colour as the last entry.
            const int opaque = c.Colors - (c.Transparent >= 0 && c.Transparent < c.Colors ? 1 : 0);
            EXPECT_EQ(map.Count(), opaque + (c.Transparent >= 0 ? 1 : 0));
            for (int i = 0; i < before.size(); ++i)
                if (uint8_t(before[i]) != c.Transparent) {
                    EXPECT_EQ(map.Colors(uint8_t(frame->Frame()->Pixels()[i])), oldMap[uint8_t(before[i])]) << i;
                }
        }
        if (c.Transparent >= 0) {
            EXPECT_EQ(frame->TransparentColorIndex(), map.Count() - 1);
            EXPECT_EQ(map.Colors(map.Count() - 1), oldMap[size_t(c.Transparent)]);
            for (int i = 0; i < before.size(); ++i)
                EXPECT_EQ(uint8_t(frame->Frame()->Pixels()[i]) == frame->TransparentColorIndex(),
                          uint8_t(before[i]) == c.Transparent)
                    << i;
        }
        for (const char p : frame->Frame()->Pixels()) EXPECT_LT(uint8_t(p), map.Count());
    }

    // A shared map is reduced for every frame that uses it: the same colour gets the same entry.
    {
        TGifRecipe shared = ManyColors(100, 10, 10);
        shared.Frames.push_back(shared.Frames[0]);
        TGIFResourceItem item(Ord(1));
        LoadItem(item, MakeGif(shared));
        item.Frame(1)->SetColorDepth(3);
        EXPECT_LE(item.Palette().size(), 8u);
        EXPECT_EQ(item.Frame(0)->Frame()->Pixels(), item.Frame(1)->Frame()->Pixels());
        for (const char p : item.Frame(0)->Frame()->Pixels()) EXPECT_LT(uint8_t(p), item.Palette().size());
        EXPECT_LE(item.Frame(0)->ColorDepth(), 3); // the quantizer may leave fewer entries
    }

    // Raising 4 to 8 bits appends 240 black entries and changes no pixel.
    TGIFResourceItem item(Ord(1));
    TGifRecipe recipe = ManyColors(16, 4, 4);
    recipe.GlobalMap.resize(16);
    LoadItem(item, MakeGif(recipe));
    const QByteArray pixels = item.Frame(0)->Frame()->Pixels();
    item.Frame(0)->SetColorDepth(8);
    EXPECT_EQ(item.Palette().size(), 256u);
    EXPECT_EQ(item.Palette()[16], clBlack);
    EXPECT_EQ(item.Palette()[255], clBlack);
    EXPECT_EQ(item.Frame(0)->Frame()->Pixels(), pixels);
    EXPECT_EQ(item.Frame(0)->ColorDepth(), 8);
}

TEST(GifResources, FacesGiveAndTakeBitmapsWithTheMask)
{
    TGifRecipe recipe = TwoFrames(-1);
    recipe.Frames[0].Control = true;
    recipe.Frames[0].Transparent = 1;
    TGIFResourceItem item(Ord(1));
    LoadItem(item, MakeGif(recipe));
    EXPECT_TRUE(item.Transparent());
    EXPECT_EQ(item.GetTransparencyMethod(), rtmMask);
    std::unique_ptr<TBitmap> bitmap, mask, inverse;
    item.GetBitmaps(bitmap, mask, inverse);
    ASSERT_TRUE(bitmap && mask);
    EXPECT_EQ(bitmap->PixelFormat(), pf8bit);
    EXPECT_EQ(bitmap->Palette(), item.Palette());
    EXPECT_EQ(bitmap->PixelIndex(1, 0), 1);
    EXPECT_EQ(mask->PixelIndex(0, 0), 1);
    EXPECT_EQ(mask->PixelIndex(1, 0), 0);

    // Where the mask is clear the pixel becomes the transparent index, whatever the bitmap holds.
    TBitmap newBitmap(3, 1, pf8bit);
    TBitmap newMask(3, 1, pf1bit);
    newMask.SetPixelIndex(0, 0, 1);
    newMask.SetPixelIndex(2, 0, 1);
    item.SetBitmaps(newBitmap, &newMask, nullptr);
    EXPECT_EQ(item.Frame(0)->Frame()->Pixels(), Indices({0, 1, 0}));
    EXPECT_THROW(item.SetBitmaps(TBitmap(1, 1, pf24bit), nullptr, nullptr), Exception);

    // The palette face changes colours in place and never the size.
    TColorArray palette{RGBColor(1, 2, 3), RGBColor(4, 5, 6), RGBColor(7, 8, 9)};
    item.Frame(0)->SetPalette(palette);
    EXPECT_EQ(item.Palette(), (TColorArray{RGBColor(1, 2, 3), RGBColor(4, 5, 6)}));
}

TEST(GifResources, AnimatedCursorsImportGifFrames)
{
    // Frames that draw over each other are composed; undrawn pixels stay clear.
    TGifRecipe recipe;
    recipe.Width = 4;
    recipe.Height = 2;
    recipe.GlobalMap = {RGBColor(255, 0, 0), RGBColor(0, 255, 0)};
    for (int i = 0; i < 5; ++i) {
        TFrameRecipe frame = Frame(i % 4, 0, 1, 1, Indices({i == 4 ? 1 : 0}));
        frame.Control = true;
        frame.Delay = 10;
        recipe.Frames.push_back(frame);
    }
    TBytesStream file(MakeGif(recipe));
    TAnimatedCursorResourceItem animation(Ord(1));
    animation.LoadFromFileStream(file);
    ASSERT_EQ(animation.FrameCount(), 5);
    EXPECT_EQ(animation.DefaultDisplayRate(), 5);
    TBitmap last;
    animation.Frame(4)->AssignTo(last);
    const QImage shown = last.ToQImage();
    EXPECT_EQ(shown.size(), QSize(4, 2));
    EXPECT_EQ(shown.pixel(0, 0), qRgb(0, 255, 0)); // frame 4 drew over frame 0
    EXPECT_EQ(shown.pixel(1, 0), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(3, 0), qRgb(255, 0, 0));
    EXPECT_EQ(qAlpha(shown.pixel(0, 1)), 0);
    QPoint hotspot;
    dynamic_cast<IGraphicHotspotResourceItem*>(animation.Frame(0))->GetHotspot(hotspot);
    EXPECT_EQ(hotspot, QPoint(2, 1));

    // Frames that all restore the previous picture stand alone, the hot spot moved with them.
    for (TFrameRecipe& frame : recipe.Frames) frame.Disposal = 3;
    recipe.Frames.resize(1);
    recipe.Frames[0].Left = 1;
    TBytesStream single(MakeGif(recipe));
    animation.LoadFromFileStream(single);
    ASSERT_EQ(animation.FrameCount(), 1);
    EXPECT_EQ(animation.Frame(0)->Width(), 1);
    dynamic_cast<IGraphicHotspotResourceItem*>(animation.Frame(0))->GetHotspot(hotspot);
    EXPECT_EQ(hotspot, QPoint(0, 0)); // (2 - 1, 1 - 0) lies outside a 1 x 1 frame: held inside it

    // Damaged GIF data is refused.
    TBytesStream damaged(MakeGif(recipe).left(20));
    EXPECT_THROW(animation.LoadFromFileStream(damaged), Exception);
}

// A GIF made by ImageMagick and compiled by windres under a named type loads from the RES file with
// its frames, and the RES we write holds a GIF that giflib and Qt read with the same frames.
TEST(GifResources, WindresResourceLoadsAndSavesBackInterop)
{
    const QString convert = FindPeerTool("convert"), windres = FindPeerTool("x86_64-w64-mingw32-windres");
    if (convert.isEmpty() || windres.isEmpty()) GTEST_SKIP() << "ImageMagick or windres is not installed";
    QTemporaryDir temp;
    const QDir dir(temp.path());
    const TPeerToolResult made = RunPeerTool(
        convert, {"-delay", "20", "-size", "12x10", "xc:red", "xc:blue", "-size", "5x4", "xc:green", "-interlace", "GIF",
                  "-loop", "2", "anim.gif"},
        60000, dir.path());
    ASSERT_TRUE(made.Ok()) << made.Describe().toStdString();
    QFile script(dir.filePath("x.rc"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("7 GIF \"anim.gif\"\n");
    script.close();
    const TPeerToolResult compiled = RunPeerTool(
        windres, {"-i", "x.rc", "-o", "x.res", "--input-format=rc", "--output-format=res"}, 60000, dir.path());
    ASSERT_TRUE(compiled.Ok()) << compiled.Describe().toStdString();

    koResourcesKinds_Initialize();
    koResourceItemGIF_Initialize();
    QFile res(dir.filePath("x.res"));
    ASSERT_TRUE(res.open(QIODevice::ReadOnly));
    TBytesStream stream(res.readAll());
    auto module = TResourceModuleReaderRes().LoadFromStream(stream);
    auto* item = qobject_cast<TGIFResourceItem*>(module->Find(TResourceIdent(QStringLiteral("GIF")), Ord(7)));
    ASSERT_NE(item, nullptr);
    ASSERT_EQ(item->FrameCount(), 3);
    EXPECT_TRUE(item->Loop());
    EXPECT_EQ(item->LoopCount(), 1); // ImageMagick stores "-loop 2" as one repetition
    EXPECT_EQ(item->Frame(0)->Delay(), 20);
    EXPECT_TRUE(item->Frame(0)->Interlaced());
    const TGIFImage original(item->Image());

    TBytesStream written;
    TResourceModuleWriterRes().SaveToStream(module.get(), written, QString(), QString());
    written.SetPosition(0);
    auto again = TResourceModuleReaderRes().LoadFromStream(written);
    auto* back = qobject_cast<TGIFResourceItem*>(again->Find(TResourceIdent(QStringLiteral("GIF")), Ord(7)));
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->FrameCount(), 3);
    EXPECT_EQ(back->LoopCount(), 1);
    TBytesStream gifBytes;
    back->SaveToStream(gifBytes);
    TReadState state;
    GifFileType* gif = Slurp(gifBytes.Bytes(), state);
    ASSERT_NE(gif, nullptr);
    ASSERT_EQ(gif->ImageCount, 3);
    for (int i = 0; i < 3; ++i) {
        const TGIFFrame* frame = original.Frames(i);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(gif->SavedImages[i].RasterBits),
                             frame->Width() * frame->Height()),
                  frame->Pixels())
            << i;
        EXPECT_TRUE(gif->SavedImages[i].ImageDesc.Interlace) << i;
    }
    DGifCloseFile(gif, nullptr);
    QBuffer buffer;
    buffer.setData(gifBytes.Bytes());
    QImageReader reader(&buffer, "gif");
    EXPECT_EQ(reader.imageCount(), 3);
    EXPECT_EQ(reader.read().pixel(0, 0), qRgb(255, 0, 0));
    koResourceItemGIF_Finalize();
    koResourcesKinds_Finalize();
    koResourcesFiler_Finalize();
}
