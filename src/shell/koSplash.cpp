#include "koSplash.h"

#include "platform/SysUtils.h"

#include <QApplication>
#include <QAudioDevice>
#include <QAudioSink>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMediaDevices>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QThread>
#include <QWaveDecoder>
#include <QWindow>

static void InitSplashResources() { Q_INIT_RESOURCE(splash); }

namespace {
const char* const SInvalidFileName = "Invalid file name";
const char* const SFileNameInUse = "File name is in use";
const char* const SFileAlreadyOpen = "File is already open";
const char* const SInternalError = "Internal error";
const char* const SFileNotFound = "File not found";
const char* const SWrongBitmapFormat = "Wrong bitmap format - must be 32 bits/pixel";
const char* const SResNotFound = "Resource %1 not found";

// Every extension registered while one of its memory files lives.
struct TExtensionList {
    QList<TMediaPlayerMemoryExtension*> Items;
    ~TExtensionList()
    {
        while (!Items.isEmpty()) delete Items.last();
    }
};

TExtensionList& Extensions()
{
    static TExtensionList list;
    return list;
}

QString ExtensionOf(const QString& FileName) { return AnsiUpperCase(ExtractFileExt(FileName).mid(1)); }

// Names of sounds played, so every sound gets a fresh memory file name.
uint16_t DiscoCounter = 0;

// The text of a banner with its lines as Qt breaks them.
QString DisplayText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}
} // namespace

std::optional<QByteArray> FindProgramResource(const QString& ResName, const QString& ResType)
{
    static const bool initialized = (InitSplashResources(), true);
    Q_UNUSED(initialized);
    QFile file(QStringLiteral(":/res/") + AnsiUpperCase(ResType) + QLatin1Char('/') + AnsiUpperCase(ResName));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll();
}

// TMediaPlayerMemoryFile

TMediaPlayerMemoryFile::TMediaPlayerMemoryFile() = default;

TMediaPlayerMemoryFile::~TMediaPlayerMemoryFile()
{
    SetFileName(QString());
    // A device still reading this file finds it gone instead of freed memory.
    for (TMediaPlayerMemoryIO* device : FOpenDevices) device->FFile = nullptr;
}

void TMediaPlayerMemoryFile::SetFileName(const QString& Value)
{
    if (Value == FFileName) return;
    TMediaPlayerMemoryExtension* joined = nullptr;
    if (!Value.isEmpty()) {
        const QString ext = ExtensionOf(Value);
        if (ext.isEmpty()) throw Exception(QString::fromLatin1(SInvalidFileName));
        joined = TMediaPlayerMemoryExtension::FindExtension(ext);
        if (joined && joined->FindFile(Value)) throw Exception(QString::fromLatin1(SFileNameInUse));
        if (!joined) joined = new TMediaPlayerMemoryExtension(ext);
        // Joined before leaving, so a rename within one extension keeps it registered.
        joined->FFiles.append(this);
    }
    if (!FFileName.isEmpty())
        if (TMediaPlayerMemoryExtension* left = TMediaPlayerMemoryExtension::FindExtension(ExtensionOf(FFileName))) {
            left->FFiles.removeOne(this);
            if (left->FFiles.isEmpty()) delete left;
        }
    FFileName = Value;
}

// TMediaPlayerMemoryExtension

TMediaPlayerMemoryExtension::TMediaPlayerMemoryExtension(const QString& Extension) : FExtension(Extension)
{
    Extensions().Items.append(this);
}

TMediaPlayerMemoryExtension::~TMediaPlayerMemoryExtension() { Extensions().Items.removeOne(this); }

TMediaPlayerMemoryFile* TMediaPlayerMemoryExtension::FindFile(const QString& FileName) const
{
    for (TMediaPlayerMemoryFile* file : FFiles)
        if (file->FileName() == FileName) return file;
    return nullptr;
}

TMediaPlayerMemoryExtension* TMediaPlayerMemoryExtension::FindExtension(const QString& Ext)
{
    for (TMediaPlayerMemoryExtension* extension : Extensions().Items)
        if (extension->Extension() == Ext) return extension;
    return nullptr;
}

// TMediaPlayerMemoryIO

TMediaPlayerMemoryIO::TMediaPlayerMemoryIO(const QString& ElementName, QObject* Parent)
    : QIODevice(Parent), FElementName(ElementName)
{
}

TMediaPlayerMemoryIO::~TMediaPlayerMemoryIO() { TMediaPlayerMemoryIO::close(); }

bool TMediaPlayerMemoryIO::open(OpenMode Mode)
{
    if (FFile || isOpen()) {
        setErrorString(QString::fromLatin1(SFileAlreadyOpen));
        return false;
    }
    // The "+" chose this way of reading; the rest is the memory file's name.
    QString name = FElementName;
    if (name.endsWith(QLatin1Char('+'))) name.chop(1);
    TMediaPlayerMemoryExtension* extension = TMediaPlayerMemoryExtension::FindExtension(ExtensionOf(name));
    if (!extension) {
        setErrorString(QString::fromLatin1(SInternalError));
        return false;
    }
    TMediaPlayerMemoryFile* file = extension->FindFile(name);
    if (!file) {
        setErrorString(QString::fromLatin1(SFileNotFound));
        return false;
    }
    file->MemoryStream().SetPosition(0);
    FFile = file;
    file->FOpenDevices.append(this);
    // Unbuffered: every read and write goes to the stream at this device's position.
    return QIODevice::open(Mode | Unbuffered);
}

void TMediaPlayerMemoryIO::close()
{
    if (FFile) FFile->FOpenDevices.removeOne(this);
    FFile = nullptr;
    if (isOpen()) QIODevice::close();
}

qint64 TMediaPlayerMemoryIO::size() const { return FFile ? FFile->MemoryStream().Size() : 0; }

qint64 TMediaPlayerMemoryIO::readData(char* Data, qint64 MaxSize)
{
    if (!FFile) return -1;
    TMemoryStream& stream = FFile->MemoryStream();
    stream.SetPosition(pos());
    return stream.Read(Data, MaxSize);
}

qint64 TMediaPlayerMemoryIO::writeData(const char* Data, qint64 Size)
{
    if (!FFile) return -1;
    TMemoryStream& stream = FFile->MemoryStream();
    stream.SetPosition(pos());
    return stream.Write(Data, Size);
}

// TWaveAudioPlayer

struct TWaveAudioPlayer::TPrivate {
    std::unique_ptr<QIODevice> Source;
    std::unique_ptr<QWaveDecoder> Decoder;
    std::unique_ptr<QAudioSink> Sink;
};

TWaveAudioPlayer::TWaveAudioPlayer(QObject* Parent) : QObject(Parent), d(std::make_unique<TPrivate>()) {}

TWaveAudioPlayer::~TWaveAudioPlayer() { Close(); }

bool TWaveAudioPlayer::Open(std::unique_ptr<QIODevice> Device)
{
    Close();
    if (!Device || (!Device->isOpen() && !Device->open(QIODevice::ReadOnly))) return false;
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    if (output.isNull()) return false;
    auto decoder = std::make_unique<QWaveDecoder>(Device.get());
    // The data is all there, so the header is read while opening.
    if (!decoder->open(QIODevice::ReadOnly) || !decoder->audioFormat().isValid() ||
        !output.isFormatSupported(decoder->audioFormat()))
        return false;
    auto sink = std::make_unique<QAudioSink>(output, decoder->audioFormat());
    connect(sink.get(), &QAudioSink::stateChanged, this, [this](QAudio::State state) {
        if ((state == QAudio::IdleState || state == QAudio::StoppedState) && OnNotify) OnNotify();
    });
    d->Source = std::move(Device);
    d->Decoder = std::move(decoder);
    d->Sink = std::move(sink);
    return true;
}

bool TWaveAudioPlayer::Play()
{
    if (!d->Sink) return false;
    d->Sink->start(d->Decoder.get());
    return d->Sink->error() == QAudio::NoError;
}

void TWaveAudioPlayer::Close()
{
    if (d->Sink) {
        d->Sink->disconnect(this);
        d->Sink->stop();
    }
    d->Sink.reset();
    d->Decoder.reset();
    d->Source.reset();
}

// TFormSplash

TFormSplash::TFormSplash(QWidget* Owner)
    : QWidget(Owner, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setWindowTitle(QStringLiteral("Splash!"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_TranslucentBackground);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    setPalette(palette);
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    FTimerSplash.setInterval(100);
    FTimerBanner.setInterval(50);
    connect(&FTimerSplash, &QTimer::timeout, this, [this] { TimerSplashTimer(); });
    connect(&FTimerBanner, &QTimer::timeout, this, [this] { TimerBannerTimer(); });
}

TFormSplash::~TFormSplash()
{
    FTimerSplash.stop();
    FTimerBanner.stop();
    FPlayer.reset();
    FDisco = false;
    FMemoryFile.reset();
}

int TFormSplash::FadeInStep(int Alpha) { return (Alpha + ((Alpha >> 5) ^ 7) + 1) % 256; }

int TFormSplash::FadeOutStep(int Alpha) { return Alpha - (Alpha / 16 + 1); }

bool TFormSplash::IsRemoteSession()
{
    if (!qEnvironmentVariableIsEmpty("SSH_CONNECTION") || !qEnvironmentVariableIsEmpty("SSH_CLIENT")) return true;
    return QGuiApplication::platformName() == QLatin1String("vnc");
}

void TFormSplash::Execute(bool Timeout, const QString& ResourceName, const QString& ResourceType)
{
    FShouldAnimate = FAnimate == saAlways || (FAnimate == saLocal && !IsRemoteSession());
    setAttribute(Qt::WA_TranslucentBackground);

    const std::optional<QByteArray> data = FindProgramResource(ResourceName, ResourceType);
    if (!data) throw EResNotFound(QString::fromLatin1(SResNotFound).arg(ResourceName));
    const QImage image = QImage::fromData(*data, "PNG");
    if (image.isNull() || !image.hasAlphaChannel()) throw EAssertionFailed(QString::fromLatin1(SWrongBitmapFormat));
    FSplashBitmap = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);

    setFixedSize(FSplashBitmap.size());
    const QWidget* main = QApplication::activeWindow();
    QScreen* screen = main ? main->screen() : QGuiApplication::primaryScreen();
    if (screen) move(screen->geometry().center() - rect().center());
    UpdateDisplay(FSplashBitmap, FShouldAnimate ? 0 : 255);
    show();
    activateWindow();

    if (FShouldAnimate && !Fade(FSplashBitmap, 0, FadeInStep, 255)) return; // closed meanwhile
    FCountdown = 2000 / FTimerSplash.interval();
    if (FAbort) close();
    else if (Timeout) FTimerSplash.start();
}

// Steps the constant alpha from From until it reaches Until or the user dismisses the window; false
// when the window went away meanwhile.
bool TFormSplash::Fade(const QImage& Image, int From, int (*Step)(int), int Until)
{
    QPointer<TFormSplash> self(this);
    int alpha = From;
    while (alpha != Until && !FAbort) {
        WaitFadeTick();
        if (!self) return false;
        alpha = Step(alpha);
        UpdateDisplay(Image, alpha);
        QCoreApplication::processEvents();
        if (!self) return false;
    }
    return true;
}

void TFormSplash::WaitFadeTick()
{
    if (OnFadeTick) {
        OnFadeTick();
        return;
    }
    QElapsedTimer clock;
    clock.start();
    const qint64 start = clock.elapsed();
    while (clock.elapsed() == start) QThread::msleep(10);
}

void TFormSplash::UpdateDisplay(const QImage& Image, int Alpha)
{
    FDisplayed = Image;
    FConstantAlpha = Alpha;
    if (isVisible()) repaint();
}

void TFormSplash::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setOpacity(FConstantAlpha / 255.0);
    painter.drawImage(0, 0, FDisplayed);
}

void TFormSplash::Dismiss()
{
    FAbort = true;
    FTimerSplash.start();
}

void TFormSplash::keyPressEvent(QKeyEvent* Event)
{
    Event->accept();
    Dismiss();
}

void TFormSplash::changeEvent(QEvent* Event)
{
    if (Event->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow()) Dismiss();
    QWidget::changeEvent(Event);
}

void TFormSplash::mousePressEvent(QMouseEvent* Event)
{
    // Dragged by any point, as by a caption.
    if (Event->button() == Qt::LeftButton && windowHandle()) windowHandle()->startSystemMove();
}

void TFormSplash::closeEvent(QCloseEvent* Event)
{
    FTimerBanner.stop();
    QWidget::closeEvent(Event);
}

void TFormSplash::TimerSplashTimer()
{
    if (--FCountdown <= 0) {
        if (FShouldAnimate && !FAbort) {
            FTimerSplash.stop();
            FTimerBanner.stop();
            const QImage image = FBannerBitmap.isNull() ? FSplashBitmap : FBannerBitmap;
            if (!Fade(image, 255, FadeOutStep, 0)) return;
        }
        FAbort = true;
    }
    if (FAbort) close();
}

void TFormSplash::DisplayBanner(const QString& Value)
{
    FBanner = Value;
    FBanner.replace(QLatin1String("<version>"), FVersion, Qt::CaseInsensitive);
    FBannerOffset = 0;
    FTimerBanner.start();
}

void TFormSplash::DisplayBannerResource(const QString& ResName, const QString& ResType)
{
    const std::optional<QByteArray> data = FindProgramResource(ResName, ResType);
    if (!data) return;
    // UTF-16 as stored: a byte-order mark stays a character of the text.
    const auto* bytes = reinterpret_cast<const uint8_t*>(data->constData());
    QString text(data->size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) text[i] = QChar(char16_t(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
    DisplayBanner(text);
}

void TFormSplash::TimerBannerTimer()
{
    if (FSplashBitmap.isNull()) return;
    if (FBannerBitmap.isNull()) {
        FBannerBitmap = QImage(FSplashBitmap.size(), QImage::Format_ARGB32);
        FBannerOffset = FBannerBitmap.height();
    }
    FBannerOffset -= FBannerScroll;
    QImage text(FSplashBitmap.size(), QImage::Format_ARGB32);
    text.fill(palette().color(QPalette::Window));
    {
        QPainter painter(&text);
        painter.setFont(font());
        painter.setPen(palette().color(QPalette::WindowText));
        const int flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
        const QString banner = DisplayText(FBanner);
        auto area = [&] { return QRect(0, FBannerOffset, text.width() - 1, 0x7FFFFF); };
        const QRect needed = painter.boundingRect(area(), flags, banner);
        // The text has left at the top: it comes in again at the bottom.
        if (needed.top() + needed.height() < 0) FBannerOffset = text.height() - FBannerScroll;
        painter.drawText(area(), flags, banner);
    }
    FBannerBitmap = ComposeBanner(FSplashBitmap, text, FBannerFadeZone);
    UpdateDisplay(FBannerBitmap, 255);
}

QImage TFormSplash::ComposeBanner(const QImage& Splash, const QImage& Banner, int FadeZone)
{
    const QImage splash = Splash.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage banner = Banner.convertToFormat(QImage::Format_ARGB32);
    QImage result(splash.size(), QImage::Format_ARGB32_Premultiplied);
    const int height = std::min(splash.height(), banner.height());
    const int width = std::min(splash.width(), banner.width());
    result.fill(0);
    for (int row = 0; row < splash.height(); ++row) {
        const auto* source = reinterpret_cast<const QRgb*>(splash.constScanLine(row));
        auto* target = reinterpret_cast<QRgb*>(result.scanLine(row));
        const auto* text = row < height ? reinterpret_cast<const QRgb*>(banner.constScanLine(row)) : nullptr;
        for (int x = 0; x < splash.width(); ++x) {
            int v = text && x < width ? (qRed(text[x]) + qGreen(text[x]) + qBlue(text[x])) / 3 : 255;
            if (FadeZone > 0 && row < FadeZone) v = 255 - ((255 - v) * (row + 1) / FadeZone);
            else if (FadeZone > 0 && row >= splash.height() - FadeZone)
                v = 255 - ((255 - v) * (splash.height() - row) / FadeZone);
            const QRgb pixel = source[x];
            if (v == 255) target[x] = pixel;
            else if (v == 0) target[x] = qRgba(0, 0, 0, qAlpha(pixel));
            else target[x] = qRgba(qRed(pixel) * v / 255, qGreen(pixel) * v / 255, qBlue(pixel) * v / 255, qAlpha(pixel));
        }
    }
    return result;
}

void TFormSplash::PlayThatFunkyMusicWhiteBoy(const QString& ResName, const QString& ResType)
{
    const std::optional<QByteArray> data = FindProgramResource(ResName, ResType);
    if (!data) return;
    const QString name = QStringLiteral("disco%1.mp3").arg(DiscoCounter);
    DiscoCounter = uint16_t(DiscoCounter + 1);
    // A new sound replaces the one playing.
    FPlayer.reset();
    FDisco = false;
    auto file = std::make_unique<TMediaPlayerMemoryFile>();
    file->SetFileName(name);
    file->MemoryStream().WriteBytes(*data);
    file->MemoryStream().SetPosition(0);
    FMemoryFile = std::move(file);
    // Played as a wave sound whatever the name's extension says.
    auto player = std::make_unique<TWaveAudioPlayer>();
    if (!player->Open(std::make_unique<TMediaPlayerMemoryIO>(name + QLatin1Char('+')))) return;
    player->OnNotify = [this] { FTimerSplash.start(); };
    FPlayer = std::move(player);
    FDisco = FPlayer->Play();
}
