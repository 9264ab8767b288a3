#include "MediaBackend.h"

#include "shell/koSplash.h"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QUrl>
#include <QVideoWidget>

namespace {
// The player of the program: QtMultimedia reading the memory file through a QBuffer.
class TQtMediaBackend final : public QObject, public IMediaBackend {
public:
    TQtMediaBackend()
    {
        FPlayer = new QMediaPlayer(this);
        FAudio = new QAudioOutput(this);
        FPlayer->setAudioOutput(FAudio);
        QObject::connect(FPlayer, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus Status) {
            if (Status == QMediaPlayer::EndOfMedia && OnEndOfMedia) OnEndOfMedia();
        });
        QObject::connect(FPlayer, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error, const QString& Text) {
            if (OnError) OnError(Text);
        });
    }
    ~TQtMediaBackend() override { Close(); }

    void Open(const QString& PlayerFileName, TMediaDeviceType DeviceType, QWidget* Display) override
    {
        Close();
        auto device = std::make_unique<TMediaPlayerMemoryIO>(PlayerFileName, this);
        if (!device->open(QIODevice::ReadOnly)) throw Exception(device->errorString());
        FDevice = device.release();
        if (DeviceType != dtWaveAudio && Display) {
            FVideo = new QVideoWidget(Display);
            FVideo->setAspectRatioMode(Qt::KeepAspectRatio);
            // Shown once playback places it, so the still picture shows until then.
            FVideo->hide();
            FPlayer->setVideoOutput(FVideo);
        }
        FPlayer->setSourceDevice(FDevice, QUrl(PlayerFileName.chopped(1)));
        if (FPlayer->error() != QMediaPlayer::NoError) throw Exception(FPlayer->errorString());
    }

    void Close() override
    {
        if (!FPlayer) return;
        FPlayer->stop();
        FPlayer->setSource(QUrl());
        FPlayer->setVideoOutput(nullptr);
        delete FVideo;
        FVideo = nullptr;
        delete FDevice;
        FDevice = nullptr;
    }

    void Play() override { FPlayer->play(); }
    void Pause() override { FPlayer->pause(); }
    void Resume() override { FPlayer->play(); }
    void Stop() override { FPlayer->stop(); }
    int64_t Position() const override { return FPlayer->position(); }
    void SetPosition(int64_t Value) override { FPlayer->setPosition(Value); }
    int64_t Length() const override { return FPlayer->duration(); }

    TMediaPlayerMode Mode() const override
    {
        if (!FDevice) return mpNotReady;
        switch (FPlayer->playbackState()) {
        case QMediaPlayer::PlayingState: return mpPlaying;
        case QMediaPlayer::PausedState: return mpPaused;
        default: return mpStopped;
        }
    }

    void CenterDisplay(int SourceWidth, int SourceHeight) override
    {
        if (!FVideo || !FVideo->parentWidget()) return;
        const QSize display = FVideo->parentWidget()->size();
        FVideo->setGeometry((display.width() - SourceWidth) / 2, (display.height() - SourceHeight) / 2, SourceWidth,
                            SourceHeight);
        FVideo->show();
        FVideo->lower();
    }

private:
    QMediaPlayer* FPlayer = nullptr;
    QAudioOutput* FAudio = nullptr;
    QVideoWidget* FVideo = nullptr;
    TMediaPlayerMemoryIO* FDevice = nullptr;
};

TMediaBackendFactory& BackendFactory()
{
    static TMediaBackendFactory factory;
    return factory;
}
} // namespace

TMediaBackendFactory SetMediaBackendFactory(TMediaBackendFactory Factory)
{
    TMediaBackendFactory previous = std::move(BackendFactory());
    BackendFactory() = std::move(Factory);
    return previous;
}

std::unique_ptr<IMediaBackend> CreateMediaBackend()
{
    if (BackendFactory()) return BackendFactory()();
    return std::make_unique<TQtMediaBackend>();
}
