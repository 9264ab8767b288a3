#include "MediaFixtures.h"
#include "platform/PEImage.h"
#include "platform/Streams.h"
#include "views/koResourceViewMedia.h"

#include <QAction>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

namespace {
// A player that does what it is told at once and records it; tests send the end of the media.
class TFakeMediaBackend : public IMediaBackend {
public:
    static inline TFakeMediaBackend* Last = nullptr;
    TFakeMediaBackend() { Last = this; }
    ~TFakeMediaBackend() override
    {
        if (Last == this) Last = nullptr;
    }

    void Open(const QString& PlayerFileName, TMediaDeviceType DeviceType, QWidget*) override
    {
        ++Opens;
        if (!OpenError.isEmpty()) throw Exception(OpenError);
        // Read as the real player does: through the memory file the name stands for.
        TMediaPlayerMemoryIO device(PlayerFileName);
        if (!device.open(QIODevice::ReadOnly)) throw Exception(device.errorString());
        Bytes = device.readAll();
        Device = DeviceType;
        FMode = mpStopped;
    }
    void Close() override { FMode = mpNotReady; }
    void Play() override
    {
        ++Plays;
        FMode = mpPlaying;
    }
    void Pause() override { FMode = mpPaused; }
    void Resume() override { FMode = mpPlaying; }
    void Stop() override { FMode = mpStopped; }
    int64_t Position() const override { return FPosition; }
    void SetPosition(int64_t Value) override { FPosition = Value; }
    int64_t Length() const override { return 0; }
    TMediaPlayerMode Mode() const override { return FMode; }
    void CenterDisplay(int, int) override {}

    // The media played to its end: the player stops there.
    void Finish()
    {
        FMode = mpStopped;
        if (OnEndOfMedia) OnEndOfMedia();
    }

    static inline QString OpenError;
    int Opens = 0;
    int Plays = 0;
    QByteArray Bytes;
    TMediaDeviceType Device = dtAutoSelect;
    int64_t FPosition = 0;
    TMediaPlayerMode FMode = mpNotReady;
};

void Load(TCustomResourceItem& Item, const QByteArray& Data)
{
    TMemoryStream stream;
    stream.WriteBytes(Data);
    stream.SetPosition(0);
    Item.LoadFromStream(stream, stream.Size());
}

bool Matches(bool (*Signature)(TStream*), const QByteArray& Data)
{
    TBytesStream stream(Data);
    return Signature(&stream);
}

void Send(QWidget* Widget, QEvent::Type Type)
{
    if (Type == QEvent::Enter) {
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(Widget, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(Widget, &leave);
    }
}

class MediaView : public ::testing::Test {
protected:
    void SetUp() override
    {
        TFakeMediaBackend::OpenError.clear();
        FPrevious = SetMediaBackendFactory([] { return std::make_unique<TFakeMediaBackend>(); });
    }
    void TearDown() override { SetMediaBackendFactory(FPrevious); }

    static std::unique_ptr<TMediaResourceItemView> Show(TCustomResourceItem* Item)
    {
        auto view = std::make_unique<TMediaResourceItemView>();
        view->resize(300, 200);
        view->SetResourceItem(Item);
        view->GetControl();
        return view;
    }
    static TFakeMediaBackend* Player(TMediaResourceItemView& View)
    {
        return static_cast<TFakeMediaBackend*>(View.MediaPlayer());
    }

private:
    TMediaBackendFactory FPrevious;
};

TAviFixture SmallVideo()
{
    TAviFixture avi;
    avi.Width = 4, avi.Height = 2, avi.Bits = 8, avi.Palette = {qRgb(0xE0, 0x10, 0x20), qRgb(0x10, 0xC0, 0x30)};
    avi.Frames = {QByteArray(8, 0), QByteArray(8, 1)};
    return avi;
}
} // namespace

TEST(MediaKinds, SignaturesAndFileTypes)
{
    const QByteArray avi = AviFile(SmallVideo());
    const QByteArray wave = WaveFile(8000, 1, 8, 16);
    const QByteArray midi = MediaChunk("RIFF", QByteArray("RMIDdata", 8) + QByteArray(8, 0));
    // What a WMV or WMA file starts with: no RIFF.
    const QByteArray asf = QByteArray::fromHex("3026b2758e66cf11a6d900aa0062ce6c");
    struct TCase {
        const char* Name;
        QByteArray Data;
        bool Riff, Avi, Wave;
    } cases[] = {
        {"AVI", avi, true, true, false},
        {"WAVE", wave, true, false, true},
        {"another RIFF form", midi, true, false, false},
        {"RIFF header alone", QByteArray("RIFF\x04\0\0\0", 8), true, false, false},
        {"shorter than 8 bytes", QByteArray("RIFF\x04\0\0", 7), false, false, false},
        {"ASF", asf, false, false, false},
        {"empty", QByteArray(), false, false, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(Matches(MediaSignatureRIFF, c.Data), c.Riff);
        EXPECT_EQ(Matches(MediaSignatureAVI, c.Data), c.Avi);
        EXPECT_EQ(Matches(MediaSignatureWAVE, c.Data), c.Wave);
        TBytesStream stream(c.Data);
        const TResourceIdent none;
        EXPECT_EQ(TMediaResourceItemViewFactory::Handles(none, none, &stream), c.Riff);
        EXPECT_EQ(TVideoResourceItem::Handles(none, none, &stream), c.Avi);
        EXPECT_EQ(TAudioResourceItem::Handles(none, none, &stream), c.Wave);
    }
    // Files are taken by their extension, whatever they hold.
    EXPECT_TRUE(TVideoResourceItem::HandlesFile(QStringLiteral("clip.AVI"), nullptr));
    EXPECT_TRUE(TVideoResourceItem::HandlesFile(QStringLiteral("clip.wmv"), nullptr));
    EXPECT_FALSE(TVideoResourceItem::HandlesFile(QStringLiteral("clip.wav"), nullptr));
    EXPECT_TRUE(TAudioResourceItem::HandlesFile(QStringLiteral("song.Wav"), nullptr));
    EXPECT_TRUE(TAudioResourceItem::HandlesFile(QStringLiteral("song.WMA"), nullptr));
    EXPECT_FALSE(TAudioResourceItem::HandlesFile(QStringLiteral("song.mp3"), nullptr));
    EXPECT_EQ(TVideoResourceItem::ClassInfo()->ResourceTypeName(), QStringLiteral("Video"));
    EXPECT_EQ(TAudioResourceItem::ClassInfo()->ResourceTypeName(), QStringLiteral("Music"));
}

TEST_F(MediaView, VideoShowsItsSizeAndStillFrame)
{
    TVideoResourceItem item(TResourceIdent(QStringLiteral("1")));
    const QByteArray data = AviFile(SmallVideo());
    Load(item, data);
    auto view = Show(&item);
    TFakeMediaBackend* player = Player(*view);
    EXPECT_EQ(player->Device, dtAVIVideo);
    // The player read the item's bytes from memory.
    EXPECT_EQ(player->Bytes, data);
    EXPECT_EQ(view->GetCaption(), QStringLiteral("Video: 4x2"));
    QSize size;
    ASSERT_TRUE(view->GetImageSize(size));
    EXPECT_EQ(size, QSize(4, 2));
    EXPECT_TRUE(view->PanelError->isHidden());
    // The frame halfway: the second one, all green.
    ASSERT_FALSE(view->StillPicture().isNull());
    EXPECT_EQ(view->StillPicture().pixel(0, 0), qRgb(0x10, 0xC0, 0x30));
    EXPECT_FALSE(view->ImageFrame->isHidden());

    QImage canvas(8, 4, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        view->Draw(painter, QRect(0, 0, 8, 4));
    }
    EXPECT_EQ(canvas.pixel(7, 3), qRgb(0x10, 0xC0, 0x30));

    // Playing hides the still picture.
    view->ActionPlayExecute();
    EXPECT_TRUE(view->ImageFrame->isHidden());
}

TEST_F(MediaView, CaptionsAndOpenFailures)
{
    auto empty = std::make_unique<TMediaResourceItemView>();
    EXPECT_EQ(empty->GetCaption(), QStringLiteral("Media (audio/video)"));

    TAudioResourceItem audio(TResourceIdent(QStringLiteral("1")));
    Load(audio, WaveFile(8000, 1, 8, 800));
    auto view = Show(&audio);
    EXPECT_EQ(view->GetCaption(), QStringLiteral("Audio"));
    EXPECT_EQ(Player(*view)->Device, dtWaveAudio);
    QSize size;
    EXPECT_FALSE(view->GetImageSize(size));
    EXPECT_EQ(view->ProgressBar1->maximum(), 100); // 800 bytes at 8000 a second

    // A device that refuses the media: the message in the view, nothing to play.
    TFakeMediaBackend::OpenError = QStringLiteral("No device takes it");
    TResourceItemGeneric other(TResourceIdent(QStringLiteral("2")));
    Load(other, MediaChunk("RIFF", QByteArray("RMIDdata", 8) + QByteArray(8, 0)));
    auto refused = Show(&other);
    EXPECT_EQ(Player(*refused)->Device, dtAutoSelect);
    EXPECT_FALSE(refused->PanelError->isHidden());
    EXPECT_EQ(refused->LabelError->text(),
              QStringLiteral("The media resource could not be handled by Windows.\n\nNo device takes it"));
    EXPECT_EQ(refused->GetCaption(), QStringLiteral("unknown media"));
    EXPECT_FALSE(refused->ActionPlay->isEnabled());

    // Damaged headers stop before the player: the reader's message in the view.
    TFakeMediaBackend::OpenError.clear();
    QByteArray damaged = AviFile(SmallVideo());
    damaged[18] = char(0x7F);
    TVideoResourceItem video(TResourceIdent(QStringLiteral("3")));
    Load(video, damaged);
    auto broken = Show(&video);
    EXPECT_EQ(Player(*broken)->Opens, 0);
    EXPECT_TRUE(broken->LabelError->text().startsWith(QStringLiteral("The media resource could not be handled by Windows.\n\nThe chunk \"LIST\"")))
        << broken->LabelError->text().toStdString();
    EXPECT_EQ(broken->GetCaption(), QStringLiteral("unknown media"));
}

TEST_F(MediaView, PlaybackRepeatsOnlyAtTheEndOfTheMedia)
{
    TAudioResourceItem audio(TResourceIdent(QStringLiteral("1")));
    Load(audio, WaveFile(8000, 1, 8, 8000));
    auto view = Show(&audio);
    TFakeMediaBackend* player = Player(*view);
    EXPECT_TRUE(view->ActionPlay->isEnabled());
    EXPECT_FALSE(view->ActionPause->isEnabled());
    EXPECT_FALSE(view->ActionStop->isEnabled());

    view->ActionPlayExecute();
    EXPECT_EQ(player->Mode(), mpPlaying);
    EXPECT_TRUE(view->Timer1->isActive());
    EXPECT_FALSE(view->ActionPlay->isEnabled());
    EXPECT_TRUE(view->ActionPause->isEnabled() && view->ActionStop->isEnabled());

    // The end of the media plays it again from the start.
    player->FPosition = 900;
    player->Finish();
    EXPECT_EQ(player->Mode(), mpPlaying);
    EXPECT_EQ(player->Plays, 2);
    EXPECT_EQ(player->Position(), 0);

    // Paused: an end reported now plays nothing; Pause again resumes.
    view->ActionPauseExecute();
    EXPECT_EQ(player->Mode(), mpPaused);
    EXPECT_FALSE(view->Timer1->isActive());
    player->Finish();
    EXPECT_EQ(player->Plays, 2);
    player->FMode = mpPaused;
    view->ActionPauseExecute();
    EXPECT_EQ(player->Mode(), mpPlaying);
    EXPECT_TRUE(view->Timer1->isActive());

    // Stop shows the tool bar, rewinds the progress and stays stopped.
    player->FPosition = 500;
    view->Timer1Timer();
    EXPECT_EQ(view->ProgressBar1->value(), 500);
    EXPECT_TRUE(view->ToolBarMedia->isHidden()); // the pointer is elsewhere
    view->ActionStopExecute();
    EXPECT_EQ(player->Mode(), mpStopped);
    EXPECT_FALSE(view->ToolBarMedia->isHidden());
    EXPECT_EQ(view->ProgressBar1->value(), 0);
    EXPECT_FALSE(view->Timer1->isActive());
    player->Finish();
    EXPECT_EQ(player->Plays, 2);
    EXPECT_TRUE(view->ActionPlay->isEnabled());
}

TEST_F(MediaView, ToolBarFollowsThePointer)
{
    TAudioResourceItem audio(TResourceIdent(QStringLiteral("1")));
    Load(audio, WaveFile(8000, 1, 8, 8000));
    auto view = Show(&audio);
    view->ActionPlayExecute();

    // Into the panel, on into a button (the panel is still under the pointer), back out of both.
    Send(view->PanelView, QEvent::Enter);
    Send(view->ToolBarMedia, QEvent::Enter);
    EXPECT_EQ(view->MouseCount(), 2);
    view->Timer1Timer();
    EXPECT_FALSE(view->ToolBarMedia->isHidden());
    Send(view->ToolBarMedia, QEvent::Leave);
    Send(view->PanelView, QEvent::Leave);
    view->Timer1Timer();
    EXPECT_TRUE(view->ToolBarMedia->isHidden());
    // An unpaired leave never counts below zero, so the next enter shows the bar.
    Send(view->PanelView, QEvent::Leave);
    EXPECT_EQ(view->MouseCount(), 0);
    Send(view->PanelView, QEvent::Enter);
    EXPECT_FALSE(view->ToolBarMedia->isHidden());
}

TEST_F(MediaView, EveryViewHasItsOwnMemoryFile)
{
    auto first = std::make_unique<TMediaResourceItemView>();
    auto second = std::make_unique<TMediaResourceItemView>();
    const QString a = first->MemoryFileName(), b = second->MemoryFileName();
    ASSERT_TRUE(a.startsWith(QStringLiteral("stream")) && a.endsWith(QStringLiteral(".data")));
    const int n = a.mid(6, a.size() - 11).toInt();
    EXPECT_EQ(b, QStringLiteral("stream%1.data").arg((n + 1) % 65536));
    TMediaPlayerMemoryExtension* extension = TMediaPlayerMemoryExtension::FindExtension(QStringLiteral("DATA"));
    ASSERT_NE(extension, nullptr);
    EXPECT_EQ(extension->Count(), 2);
    // Closing the first leaves the second readable.
    first.reset();
    ASSERT_EQ(TMediaPlayerMemoryExtension::FindExtension(QStringLiteral("DATA")), extension);
    EXPECT_EQ(extension->Count(), 1);
    EXPECT_EQ(extension->FindFile(b)->FileName(), b);
    second.reset();
    EXPECT_EQ(TMediaPlayerMemoryExtension::FindExtension(QStringLiteral("DATA")), nullptr);
}

TEST_F(MediaView, ReloadsWhenTheItemChanges)
{
    TResourceItemGeneric item(TResourceIdent(QStringLiteral("1")));
    Load(item, WaveFile(8000, 1, 8, 800));
    auto view = Show(&item);
    EXPECT_EQ(view->GetCaption(), QStringLiteral("Audio"));
    const QByteArray avi = AviFile(SmallVideo());
    Load(item, avi);
    view->ResourceItemNotification(&item, rnChanged);
    EXPECT_EQ(view->GetCaption(), QStringLiteral("Video: 4x2"));
    EXPECT_EQ(Player(*view)->Bytes, avi);
}

TEST_F(MediaView, WineShell32VideoInterop)
{
    QFile file(QStringLiteral("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/shell32.dll"));
    if (!file.open(QIODevice::ReadOnly)) GTEST_SKIP() << "wine64 is not installed";
    QByteArray data;
    for (const TPEResource& r : TPEImage(file.readAll()).Resources())
        if (r.Type == QStringLiteral("AVI") && data.isEmpty()) data = r.Data;
    ASSERT_FALSE(data.isEmpty());
    TVideoResourceItem item(TResourceIdent(QStringLiteral("150")));
    Load(item, data);
    auto view = Show(&item);
    EXPECT_EQ(view->GetCaption(), QStringLiteral("Video: 80x50"));
    EXPECT_EQ(view->StillPicture().size(), QSize(80, 50));
    EXPECT_TRUE(view->PanelError->isHidden());
}
