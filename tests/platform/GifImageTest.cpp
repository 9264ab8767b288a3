#include "GifTestSupport.h"
#include "platform/Bitmap.h"
#include "platform/GifImage.h"
#include "platform/Streams.h"

#include <QBuffer>
#include <QImageReader>
#include <gtest/gtest.h>

using namespace giftest;

namespace {

const TColor Red = RGBColor(255, 0, 0);
const TColor Green = RGBColor(0, 255, 0);
const TColor Blue = RGBColor(0, 0, 255);
const TColor White = RGBColor(255, 255, 255);

QByteArray Indices(std::initializer_list<int> Values)
{
    QByteArray bytes;
    for (const int v : Values) bytes.append(char(v));
    return bytes;
}

// Three frames: a full-screen one on the global map with control, loop and comment extensions; an
// interlaced one with a local map at an offset; one without extensions.
TGifRecipe ThreeFrames()
{
    TGifRecipe recipe;
    recipe.Width = 4;
    recipe.Height = 9;
    recipe.Background = 1;
    recipe.GlobalMap = {Red, Green, Blue, White};
    recipe.Loop = 0;
    TFrameRecipe first;
    first.Width = 4;
    first.Height = 9;
    for (int i = 0; i < 36; ++i) first.Pixels.append(char(i % 4));
    first.Control = true;
    first.Disposal = 2;
    first.Transparent = 2;
    first.Delay = 10;
    first.Comment = "made\r\nby hand";
    TFrameRecipe second;
    second.Left = 1;
    second.Top = 1;
    second.Width = 2;
    second.Height = 9 - 1;
    for (int i = 0; i < 16; ++i) second.Pixels.append(char((i / 2) % 2));
    second.LocalMap = {RGBColor(10, 20, 30), RGBColor(40, 50, 60)};
    second.Interlace = true;
    TFrameRecipe third;
    third.Width = 1;
    third.Height = 1;
    third.Pixels = Indices({3});
    recipe.Frames = {first, second, third};
    return recipe;
}

TGIFImage Load(const QByteArray& Data)
{
    TBytesStream stream(Data);
    TGIFImage image;
    image.LoadFromStream(stream);
    return image;
}

QByteArray Save(const TGIFImage& Image)
{
    TBytesStream stream;
    Image.SaveToStream(stream);
    return stream.Bytes();
}

} // namespace

TEST(GifImage, LoadsFramesMapsAndExtensionsInOrder)
{
    const TGifRecipe recipe = ThreeFrames();
    const TGIFImage image = Load(MakeGif(recipe));
    EXPECT_EQ(image.Width(), 4);
    EXPECT_EQ(image.Height(), 9);
    EXPECT_EQ(image.BackgroundColorIndex(), 1);
    EXPECT_EQ(image.GlobalColorMap().ExportPalette(), recipe.GlobalMap);
    ASSERT_EQ(image.FrameCount(), 3);
    for (int i = 0; i < 3; ++i) {
        const TGIFFrame* frame = image.Frames(i);
        const TFrameRecipe& f = recipe.Frames[size_t(i)];
        SCOPED_TRACE(i);
        EXPECT_EQ(frame->Left(), f.Left);
        EXPECT_EQ(frame->Top(), f.Top);
        EXPECT_EQ(frame->Width(), f.Width);
        EXPECT_EQ(frame->Height(), f.Height);
        EXPECT_EQ(frame->Interlaced(), f.Interlace);
        EXPECT_EQ(frame->Pixels(), f.Pixels); // interlaced rows come back in picture order
        EXPECT_EQ(frame->ColorMap().ExportPalette(), f.LocalMap);
    }
    const TGIFFrame* first = image.Frames(0);
    // Loop, comment, control: the order giflib wrote them in.
    ASSERT_EQ(first->Extensions().size(), 3u);
    EXPECT_NE(dynamic_cast<TGIFLoopExtension*>(first->Extensions()[0].get()), nullptr);
    EXPECT_EQ(first->FindExtension<TGIFLoopExtension>()->LoopCount, 0);
    EXPECT_EQ(first->FindExtension<TGIFCommentExtension>()->Text, (QStringList{"made", "by hand"}));
    EXPECT_TRUE(first->Transparent());
    EXPECT_EQ(first->TransparentColorIndex(), 2);
    EXPECT_EQ(first->TransparentColor(), Blue);
    EXPECT_EQ(first->Delay(), 10);
    EXPECT_EQ(first->Disposal(), dmBackground);
    EXPECT_EQ(&image.Frames(1)->ActiveColorMap(), &image.Frames(1)->ColorMap());
    EXPECT_EQ(&image.Frames(2)->ActiveColorMap(), &image.GlobalColorMap());
    EXPECT_TRUE(image.Frames(2)->Extensions().empty());
    EXPECT_TRUE(image.IsTransparent());
}

TEST(GifImage, OutputDecodesTheSameInGiflibAndQt)
{
    const TGifRecipe recipe = ThreeFrames();
    const QByteArray ours = Save(Load(MakeGif(recipe)));
    ASSERT_TRUE(ours.startsWith("GIF89a"));

    TReadState state;
    GifFileType* gif = Slurp(ours, state);
    ASSERT_NE(gif, nullptr);
    ASSERT_EQ(gif->ImageCount, 3);
    EXPECT_EQ(gif->SWidth, 4);
    EXPECT_EQ(gif->SBackGroundColor, 1);
    for (int i = 0; i < 3; ++i) {
        const SavedImage& saved = gif->SavedImages[i];
        const TFrameRecipe& f = recipe.Frames[size_t(i)];
        SCOPED_TRACE(i);
        EXPECT_EQ(saved.ImageDesc.Left, f.Left);
        EXPECT_EQ(saved.ImageDesc.Top, f.Top);
        EXPECT_EQ(bool(saved.ImageDesc.Interlace), f.Interlace);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(saved.RasterBits), f.Width * f.Height), f.Pixels);
        EXPECT_EQ(saved.ImageDesc.ColorMap != nullptr, !f.LocalMap.empty());
    }
    GraphicsControlBlock gcb;
    ASSERT_EQ(DGifSavedExtensionToGCB(gif, 0, &gcb), GIF_OK);
    EXPECT_EQ(gcb.DisposalMode, 2);
    EXPECT_EQ(gcb.DelayTime, 10);
    EXPECT_EQ(gcb.TransparentColor, 2);
    DGifCloseFile(gif, nullptr);

    // Qt composes the frames itself: the first shows the global colours with the transparent index clear.
    QBuffer buffer;
    buffer.setData(ours);
    QImageReader reader(&buffer, "gif");
    EXPECT_EQ(reader.imageCount(), 3);
    const QImage shown = reader.read();
    ASSERT_FALSE(shown.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(shown.size(), QSize(4, 9));
    EXPECT_EQ(shown.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(1, 0), qRgb(0, 255, 0));
    EXPECT_EQ(qAlpha(shown.pixel(2, 0)), 0);
    EXPECT_EQ(shown.pixel(3, 0), qRgb(255, 255, 255));
    // Our own composition agrees.
    const QImage composed = Load(ours).ToQImage();
    for (int x = 0; x < 4; ++x)
        if (qAlpha(shown.pixel(x, 0)) != 0) {
            EXPECT_EQ(composed.pixel(x, 0), shown.pixel(x, 0)) << x;
        }
}

TEST(GifImage, MapsOfAnyCountUpTo256)
{
    TGIFImage image;
    image.SetWidth(3);
    image.SetHeight(1);
    image.GlobalColorMap().SetPalette({Red, Green, Blue});
    auto* frame = new TGIFFrame(&image);
    frame->SetSize(3, 1);
    for (int x = 0; x < 3; ++x) frame->SetPixel(x, 0, uint8_t(x));
    // Three colours are padded to the four the format can hold; the pixels keep their colours.
    const TGIFImage back = Load(Save(image));
    EXPECT_EQ(back.GlobalColorMap().ExportPalette(), (TColorArray{Red, Green, Blue, clBlack}));
    EXPECT_EQ(back.Frames(0)->Pixels(), Indices({0, 1, 2}));

    TGIFColorMap map;
    map.SetPalette(TColorArray(256, White));
    EXPECT_THROW(map.Add(Red), EGIFError);
    EXPECT_THROW(map.SetPalette(TColorArray(257, White)), EGIFError);
    EXPECT_EQ(map.Count(), 256);

    // A frame without any map still writes: the codec gets black entries covering its indices.
    TGIFImage bare;
    auto* lone = new TGIFFrame(&bare);
    lone->SetSize(2, 1);
    lone->SetPixel(1, 0, 5);
    EXPECT_EQ(Load(Save(bare)).Frames(0)->Pixels(), Indices({0, 5}));
}

TEST(GifImage, DamagedDataIsRefusedWithAMessage)
{
    const QByteArray good = MakeGif(ThreeFrames());
    // A 2-byte frame that claims 65535 x 65535 pixels.
    QByteArray huge = QByteArray("GIF89a\x01\x00\x01\x00\x80\x00\x00", 13) + QByteArray(6, '\0') +
                      QByteArray("\x2C\0\0\0\0\xFF\xFF\xFF\xFF\x00\x02\x02\x44\x01\x00\x3B", 16);
    const struct {
        const char* Name;
        QByteArray Data;
    } cases[] = {
        {"empty", QByteArray()},
        {"no signature", QByteArray("PNG89a") + good.mid(6)},
        {"cut in the screen descriptor", good.left(9)},
        {"cut inside the pixels", good.left(good.size() / 2)},
        {"no trailer or further record", good.left(good.size() - 1)},
        {"frame larger than the data", huge},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TBytesStream stream(c.Data);
        TGIFImage image;
        try {
            image.LoadFromStream(stream);
            ADD_FAILURE() << "accepted";
        } catch (const EGIFError& e) {
            EXPECT_TRUE(QString::fromStdString(e.what()).startsWith(QStringLiteral("GIF image is not valid")))
                << e.what();
        }
        EXPECT_EQ(image.FrameCount(), 0);
    }
}

TEST(GifImage, RendererHonoursTheFourDisposals)
{
    // Frame 0 paints the screen red, frame 1 paints pixel 0 green with the disposal under test, frame 2
    // paints pixel 1 blue: pixel 0 then shows what the disposal left.
    const struct {
        int Disposal;
        QRgb Pixel0;
    } cases[] = {
        {0, qRgb(0, 255, 0)},
        {1, qRgb(0, 255, 0)},
        {2, qRgba(0, 0, 255, 0)}, // background colour, nothing drawn
        {3, qRgb(255, 0, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Disposal);
        TGifRecipe recipe;
        recipe.Width = 2;
        recipe.Height = 1;
        recipe.GlobalMap = {Red, Green, Blue, White};
        TFrameRecipe all = Frame(0, 0, 2, 1, Indices({0, 0}));
        TFrameRecipe left = Frame(0, 0, 1, 1, Indices({1}));
        left.Control = true;
        left.Disposal = c.Disposal;
        TFrameRecipe right = Frame(1, 0, 1, 1, Indices({2}));
        recipe.Frames = {all, left, right};
        const TGIFImage image = Load(MakeGif(recipe));
        TGIFRenderer renderer(image);
        renderer.SetBackgroundColor(Blue);
        EXPECT_EQ(renderer.Canvas().pixel(0, 0), qRgb(255, 0, 0));
        renderer.NextFrame();
        EXPECT_EQ(renderer.Canvas().pixel(0, 0), qRgb(0, 255, 0));
        renderer.NextFrame();
        EXPECT_EQ(renderer.FrameIndex(), 2);
        EXPECT_EQ(renderer.Canvas().pixel(0, 0), c.Pixel0);
        EXPECT_EQ(renderer.Canvas().pixel(1, 0), qRgb(0, 0, 255));
        renderer.NextFrame();
        EXPECT_EQ(renderer.FrameIndex(), 0); // starts again
    }
}

TEST(GifImage, FrameTakesPicturesAndCopiesDeep)
{
    // A 32-bit picture: exact colours, the clear pixel gets an index of its own.
    TBitmap bitmap(3, 1, pf32bit);
    bitmap.SetAlphaFormat(afDefined);
    bitmap.SetPixel(0, 0, Red);
    bitmap.SetPixelAlpha(0, 0, 255);
    bitmap.SetPixel(1, 0, Green);
    bitmap.SetPixelAlpha(1, 0, 255);
    bitmap.SetPixelAlpha(2, 0, 0);
    TGIFImage image;
    image.Assign(bitmap);
    ASSERT_EQ(image.FrameCount(), 1);
    const TGIFFrame* frame = image.Frames(0);
    EXPECT_EQ(image.Width(), 3);
    ASSERT_TRUE(frame->Transparent());
    EXPECT_EQ(frame->Pixel(2, 0), frame->TransparentColorIndex());
    EXPECT_EQ(frame->ColorMap().Colors(frame->Pixel(0, 0)), Red);
    EXPECT_EQ(frame->ColorMap().Colors(frame->Pixel(1, 0)), Green);
    const QImage shown = frame->ToQImage();
    EXPECT_EQ(qAlpha(shown.pixel(2, 0)), 0);
    EXPECT_EQ(shown.pixel(1, 0), qRgb(0, 255, 0));

    // A palette bitmap keeps its indices and palette.
    TBitmap indexed(2, 1, pf8bit);
    indexed.SetPalette({Blue, White, Red});
    indexed.SetPixelIndex(1, 0, 2);
    TGIFImage other;
    other.Assign(indexed);
    EXPECT_EQ(other.Frames(0)->Pixels(), Indices({0, 2}));
    EXPECT_EQ(other.Frames(0)->ColorMap().ExportPalette(), (TColorArray{Blue, White, Red}));

    // Copies share nothing.
    TGIFImage copy(image);
    copy.Frames(0)->SetPixel(0, 0, 1);
    copy.Frames(0)->GraphicControlExtension().Delay = 7;
    EXPECT_NE(image.Frames(0)->Pixel(0, 0), 1);
    EXPECT_EQ(image.Frames(0)->Delay(), 0);
    copy.MoveFrame(0, 0);
    copy.DeleteFrame(copy.Frames(0));
    EXPECT_EQ(copy.FrameCount(), 0);
    EXPECT_EQ(image.FrameCount(), 1);
}
