// The splash screen with the program's own picture, sound and credits: fades driven step by step,
// dismissal, the banner, and the memory files the sound is played from.
#include "shell/koSplash.h"

#include <QApplication>
#include <QKeyEvent>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QPointer>
#include <QWaveDecoder>
#include <gtest/gtest.h>

namespace {
void ProcessDeferredDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

QImage SplashPicture()
{
    const std::optional<QByteArray> png = FindProgramResource("splash", "png");
    return png ? QImage::fromData(*png, "PNG").convertToFormat(QImage::Format_ARGB32_Premultiplied) : QImage();
}

// A splash form whose fades count their steps instead of waiting.
struct TSplashFixture {
    QPointer<TFormSplash> Form = new TFormSplash();
    int Steps = 0;
    std::function<void(int)> OnStep;

    explicit TSplashFixture(TSplashAnimate animate)
    {
        Form->SetAnimate(animate);
        Form->OnFadeTick = [this] {
            ++Steps;
            if (OnStep) OnStep(Steps);
        };
    }
    ~TSplashFixture()
    {
        delete Form.data();
        ProcessDeferredDeletes();
    }
};

void ExpectMessage(const std::function<void()>& call, const char* message)
{
    try {
        call();
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), message);
    }
}

void Press(QWidget* widget)
{
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(widget, &key);
}
} // namespace

TEST(Splash, FadeStepsEndExactlyAtTheirLimits)
{
    int alpha = 0, steps = 0;
    for (int previous = -1; alpha != 255; ++steps) {
        ASSERT_LT(steps, 256);
        ASSERT_GT(alpha, previous);
        previous = alpha;
        alpha = TFormSplash::FadeInStep(alpha);
    }
    EXPECT_EQ(steps, 85);
    EXPECT_EQ(TFormSplash::FadeInStep(0), 8);
    EXPECT_EQ(TFormSplash::FadeInStep(254), 255);
    for (alpha = 255, steps = 0; alpha > 0; ++steps) alpha = TFormSplash::FadeOutStep(alpha);
    EXPECT_EQ(alpha, 0);
    EXPECT_EQ(steps, 52);
}

TEST(Splash, FadesInCountsDownTwoSecondsAndFadesOut)
{
    TSplashFixture splash(saAlways);
    std::vector<int> alphas;
    splash.OnStep = [&](int) { alphas.push_back(splash.Form->ConstantAlpha()); };
    splash.Form->Execute(true, "SPLASH", "PNG");
    ASSERT_EQ(splash.Steps, 85);
    EXPECT_EQ(alphas.front(), 0);
    EXPECT_EQ(alphas.at(1), 8);
    EXPECT_EQ(splash.Form->ConstantAlpha(), 255);
    EXPECT_TRUE(splash.Form->isVisible());
    EXPECT_EQ(splash.Form->size(), QSize(440, 280));
    EXPECT_EQ(splash.Form->DisplayedImage(), SplashPicture());
    EXPECT_EQ(splash.Form->DisplayedImage().format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_TRUE(splash.Form->TimerSplash()->isActive());
    EXPECT_EQ(splash.Form->TimerSplash()->interval(), 100);

    for (int tick = 1; tick < 20; ++tick) splash.Form->TimerSplashTimer();
    EXPECT_TRUE(splash.Form->isVisible());
    EXPECT_EQ(splash.Steps, 85);
    splash.Form->TimerSplashTimer();
    EXPECT_EQ(splash.Steps, 85 + 52);
    EXPECT_EQ(splash.Form->ConstantAlpha(), 0);
    ProcessDeferredDeletes();
    EXPECT_TRUE(splash.Form.isNull());
}

TEST(Splash, OverRemoteConnectionShowsAtOnceAndClosesWithoutFades)
{
    const QByteArray saved = qgetenv("SSH_CONNECTION");
    qputenv("SSH_CONNECTION", "10.0.0.1 50000 10.0.0.2 22");
    TSplashFixture splash(saLocal);
    splash.Form->Execute(true, "SPLASH", "PNG");
    if (saved.isNull()) qunsetenv("SSH_CONNECTION");
    else qputenv("SSH_CONNECTION", saved);
    EXPECT_EQ(splash.Steps, 0);
    EXPECT_EQ(splash.Form->ConstantAlpha(), 255);
    for (int tick = 0; tick < 20; ++tick) splash.Form->TimerSplashTimer();
    EXPECT_EQ(splash.Steps, 0);
    ProcessDeferredDeletes();
    EXPECT_TRUE(splash.Form.isNull());
}

TEST(Splash, KeyDuringFadeInEndsItAndClosesAtOnce)
{
    TSplashFixture splash(saAlways);
    splash.OnStep = [&](int step) {
        if (step == 10) Press(splash.Form);
    };
    splash.Form->Execute(true, "SPLASH", "PNG");
    ASSERT_FALSE(splash.Form.isNull());
    EXPECT_TRUE(splash.Form->Aborted());
    EXPECT_EQ(splash.Steps, 10);
    EXPECT_FALSE(splash.Form->isVisible());
    ProcessDeferredDeletes();
    EXPECT_TRUE(splash.Form.isNull());
}

TEST(Splash, DismissedWhenShownClosesOnTheNextTickWithoutFade)
{
    TSplashFixture splash(saAlways);
    splash.Form->Execute(false, "SPLASH", "PNG");
    EXPECT_FALSE(splash.Form->TimerSplash()->isActive());
    Press(splash.Form);
    EXPECT_TRUE(splash.Form->TimerSplash()->isActive());
    const int steps = splash.Steps;
    splash.Form->TimerSplashTimer();
    EXPECT_EQ(splash.Steps, steps);
    EXPECT_FALSE(splash.Form->isVisible());
}

TEST(Splash, LosingActivationDismissesIt)
{
    TSplashFixture splash(saNever);
    splash.Form->Execute(false, "SPLASH", "PNG");
    QApplication::processEvents();
    ASSERT_TRUE(splash.Form->isActiveWindow());
    EXPECT_FALSE(splash.Form->Aborted());
    QWidget other;
    other.show();
    other.activateWindow();
    QApplication::processEvents();
    EXPECT_TRUE(splash.Form->Aborted());
    EXPECT_TRUE(splash.Form->TimerSplash()->isActive());
}

TEST(Splash, MissingPictureRaises)
{
    TSplashFixture splash(saNever);
    EXPECT_THROW(splash.Form->Execute(true, "NOSUCH", "PNG"), EResNotFound);
    ExpectMessage([&] { splash.Form->Execute(true, "NOSUCH", "PNG"); }, "Resource NOSUCH not found");
}

TEST(Splash, BannerScrollsUpThroughThePictureAndComesBackAtTheBottom)
{
    TSplashFixture splash(saNever);
    splash.Form->SetVersion("1.2.3.4");
    splash.Form->Execute(false, "SPLASH", "PNG");
    splash.Form->DisplayBanner("Atelier <VERSION> and <version>");
    EXPECT_EQ(splash.Form->Banner(), "Atelier 1.2.3.4 and 1.2.3.4");
    EXPECT_TRUE(splash.Form->TimerBanner()->isActive());
    EXPECT_EQ(splash.Form->TimerBanner()->interval(), 50);

    const QImage picture = SplashPicture();
    const int height = picture.height();
    splash.Form->TimerBannerTimer();
    EXPECT_EQ(splash.Form->BannerOffset(), height - 1);
    // Halfway up the text darkens the picture; near the bottom edge it is faded.
    for (int tick = 1; tick < height / 2; ++tick) splash.Form->TimerBannerTimer();
    const QImage shown = splash.Form->DisplayedImage();
    ASSERT_EQ(shown.size(), picture.size());
    int darker = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const QRgb a = shown.pixel(x, y), b = picture.pixel(x, y);
            ASSERT_EQ(qAlpha(a), qAlpha(b));
            ASSERT_LE(qRed(a) + qGreen(a) + qBlue(a), qRed(b) + qGreen(b) + qBlue(b));
            if (a != b) {
                ++darker;
                ASSERT_GE(y, splash.Form->BannerOffset());
            }
        }
    EXPECT_GT(darker, 0);

    // The one line leaves at the top and enters again at the bottom edge.
    int previous = splash.Form->BannerOffset();
    int restarts = 0;
    for (int tick = 0; tick < height && restarts == 0; ++tick) {
        splash.Form->TimerBannerTimer();
        if (splash.Form->BannerOffset() > previous) {
            ++restarts;
            EXPECT_EQ(splash.Form->BannerOffset(), height - 1);
            EXPECT_LT(previous, 0);
        }
        previous = splash.Form->BannerOffset();
    }
    EXPECT_EQ(restarts, 1);
}

TEST(Splash, BannerDarkensByTheTextAndFadesAtTheEdges)
{
    QImage picture(2, 100, QImage::Format_ARGB32_Premultiplied);
    picture.fill(qRgba(200, 100, 50, 255));
    QImage text(picture.size(), QImage::Format_ARGB32);
    text.fill(Qt::black);
    text.setPixel(1, 50, qRgb(255, 255, 255)); // off the text
    text.setPixel(1, 51, qRgb(120, 120, 150)); // grey edge of a glyph: V = 130
    const QImage out = TFormSplash::ComposeBanner(picture, text, 32);
    const struct {
        int X, Y, V;
    } cases[] = {
        {0, 50, 0}, {1, 50, 255}, {1, 51, 130},
        {0, 0, 255 - 255 * 1 / 32}, {0, 31, 0}, {0, 99, 255 - 255 * 1 / 32}, {0, 68, 0}, {0, 67, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Y);
        EXPECT_EQ(out.pixel(c.X, c.Y), qRgba(200 * c.V / 255, 100 * c.V / 255, 50 * c.V / 255, 255));
    }
}

TEST(Splash, CreditsComeFromTheProgramAsStored)
{
    TSplashFixture splash(saNever);
    splash.Form->SetVersion("9.8.7.6");
    splash.Form->DisplayBannerResource("NOSUCH", "TEXT");
    EXPECT_EQ(splash.Form->Banner(), "");
    EXPECT_FALSE(splash.Form->TimerBanner()->isActive());
    splash.Form->DisplayBannerResource("credits", "text");
    EXPECT_TRUE(splash.Form->Banner().startsWith("Atelier\r\nVersion 9.8.7.6\r\n"));
    EXPECT_TRUE(splash.Form->TimerBanner()->isActive());
}

TEST(Splash, MemoryFileNamesFollowTheirExtensions)
{
    auto find = [](const char* ext) { return TMediaPlayerMemoryExtension::FindExtension(ext); };
    {
        TMediaPlayerMemoryFile a, b;
        a.SetFileName("one.wav");
        ASSERT_NE(find("WAV"), nullptr);
        EXPECT_EQ(find("WAV")->FindFile("one.wav"), &a);
        ExpectMessage([&] { b.SetFileName("noextension"); }, "Invalid file name");
        ExpectMessage([&] { b.SetFileName("one.wav"); }, "File name is in use");
        EXPECT_EQ(b.FileName(), "");

        // Renamed within its extension, the file keeps it registered.
        a.SetFileName("two.Wav");
        ASSERT_NE(find("WAV"), nullptr);
        EXPECT_EQ(find("WAV")->Count(), 1);
        EXPECT_EQ(find("WAV")->FindFile("one.wav"), nullptr);
        // Its last file gone elsewhere, an extension goes.
        a.SetFileName("two.snd");
        EXPECT_EQ(find("WAV"), nullptr);
        b.SetFileName("x.snd");
        EXPECT_EQ(find("SND")->Count(), 2);
        b.SetFileName("");
        EXPECT_EQ(find("SND")->Count(), 1);
    }
    EXPECT_EQ(find("SND"), nullptr);
}

TEST(Splash, MemoryFilesAreReadByTheirNameWithPlus)
{
    const std::optional<QByteArray> chime = FindProgramResource("SPLASH", "DISCO");
    ASSERT_TRUE(chime);
    auto file = std::make_unique<TMediaPlayerMemoryFile>();
    file->SetFileName("chime.mp3");
    file->MemoryStream().WriteBytes(*chime);

    TMediaPlayerMemoryIO device("chime.mp3+");
    ASSERT_TRUE(device.open(QIODevice::ReadWrite)) << device.errorString().toStdString();
    EXPECT_EQ(device.size(), chime->size());
    EXPECT_EQ(device.read(4), "RIFF");
    ASSERT_TRUE(device.seek(chime->size() - 2));
    EXPECT_EQ(device.readAll(), chime->right(2));
    EXPECT_EQ(device.write("tail"), 4);
    EXPECT_EQ(file->MemoryStream().Size(), chime->size() + 4);
    EXPECT_FALSE(device.open(QIODevice::ReadOnly));
    EXPECT_EQ(device.errorString(), "File is already open");
    device.close();

    // The wave decoder reads the sound through it.
    TMediaPlayerMemoryIO wave("chime.mp3+");
    QWaveDecoder decoder(&wave);
    ASSERT_TRUE(wave.open(QIODevice::ReadOnly));
    ASSERT_TRUE(decoder.open(QIODevice::ReadOnly));
    EXPECT_EQ(decoder.audioFormat().sampleRate(), 22050);
    EXPECT_EQ(decoder.audioFormat().channelCount(), 1);
    EXPECT_EQ(decoder.audioFormat().sampleFormat(), QAudioFormat::Int16);

    TMediaPlayerMemoryIO otherExtension("chime.wav+"), otherName("other.mp3+");
    EXPECT_FALSE(otherExtension.open(QIODevice::ReadOnly));
    EXPECT_EQ(otherExtension.errorString(), "Internal error");
    EXPECT_FALSE(otherName.open(QIODevice::ReadOnly));

    // The file going away leaves its reader with nothing, not with freed memory.
    file.reset();
    char byte;
    EXPECT_EQ(wave.read(&byte, 1), -1);
}

TEST(Splash, SoundPlaysFromAFreshMemoryFileOrNotAtAll)
{
    TSplashFixture splash(saNever);
    splash.Form->PlayThatFunkyMusicWhiteBoy("NOSUCH", "DISCO");
    EXPECT_FALSE(splash.Form->Disco());
    EXPECT_EQ(TMediaPlayerMemoryExtension::FindExtension("MP3"), nullptr);

    splash.Form->PlayThatFunkyMusicWhiteBoy("SPLASH", "DISCO");
    TMediaPlayerMemoryExtension* mp3 = TMediaPlayerMemoryExtension::FindExtension("MP3");
    ASSERT_NE(mp3, nullptr);
    ASSERT_EQ(mp3->Count(), 1);
    splash.Form->PlayThatFunkyMusicWhiteBoy("SPLASH", "DISCO");
    ASSERT_EQ(mp3->Count(), 1);
    // Without an audio output the form stays silent and carries on.
    if (QMediaDevices::audioOutputs().isEmpty()) {
        EXPECT_FALSE(splash.Form->Disco());
    }
    delete splash.Form.data();
    EXPECT_EQ(TMediaPlayerMemoryExtension::FindExtension("MP3"), nullptr);
}
