// The splash screen: a frameless, top-most window showing a translucent picture the program carries,
// fading in and out, optionally scrolling a credits banner over it and playing a sound from memory.
// Sounds are served to the player from named in-memory files.
#pragma once

#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <QIODevice>
#include <QImage>
#include <QList>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

ATELIER_EXCEPTION_CLASS(EResNotFound, Exception)

// A resource the program carries: the Qt resource ":/res/<TYPE>/<NAME>" (both upper case); nothing
// when it is absent.
std::optional<QByteArray> FindProgramResource(const QString& ResName, const QString& ResType);

class TMediaPlayerMemoryIO;

// A file in memory that the media player opens by name ("<FileName>+").
class TMediaPlayerMemoryFile {
public:
    TMediaPlayerMemoryFile();
    ~TMediaPlayerMemoryFile(); // leaves its extension, then frees the stream
    TMediaPlayerMemoryFile(const TMediaPlayerMemoryFile&) = delete;
    TMediaPlayerMemoryFile& operator=(const TMediaPlayerMemoryFile&) = delete;

    const QString& FileName() const { return FFileName; }
    // Raises "Invalid file name" for a name without extension and "File name is in use" for a name
    // another memory file bears; an empty name only leaves the old extension.
    void SetFileName(const QString& Value);
    TMemoryStream& MemoryStream() { return FMemoryStream; }

private:
    friend class TMediaPlayerMemoryIO;
    QString FFileName;
    TMemoryStream FMemoryStream;
    QList<TMediaPlayerMemoryIO*> FOpenDevices; // closed when the file goes
};

// The memory files of one extension. Extensions live in a list of the unit, made with their first
// file and freed with their last.
class TMediaPlayerMemoryExtension {
public:
    explicit TMediaPlayerMemoryExtension(const QString& Extension);
    ~TMediaPlayerMemoryExtension();

    const QString& Extension() const { return FExtension; } // upper case, without dot
    int Count() const { return int(FFiles.size()); }
    TMediaPlayerMemoryFile* FindFile(const QString& FileName) const;
    static TMediaPlayerMemoryExtension* FindExtension(const QString& Ext);

private:
    friend class TMediaPlayerMemoryFile;
    QString FExtension;
    QList<TMediaPlayerMemoryFile*> FFiles; // not owned
};

// What the media player reads a memory file through: opening "<FileName>+" finds the file by the
// upper-cased extension of the name, then by the whole name, and rewinds it; reads and writes move
// through its stream.
class TMediaPlayerMemoryIO : public QIODevice {
    Q_OBJECT
public:
    explicit TMediaPlayerMemoryIO(const QString& ElementName, QObject* Parent = nullptr);
    ~TMediaPlayerMemoryIO() override;

    // False with the reason in errorString(): "File is already open", "Internal error" (no memory file
    // of the extension), "File not found".
    bool open(OpenMode Mode) override;
    void close() override;
    bool isSequential() const override { return false; }
    qint64 size() const override;

protected:
    qint64 readData(char* Data, qint64 MaxSize) override;
    qint64 writeData(const char* Data, qint64 Size) override;

private:
    friend class TMediaPlayerMemoryFile;
    QString FElementName;
    TMediaPlayerMemoryFile* FFile = nullptr; // while open
};

// Plays a wave sound read through a device (the media control's wave audio device). Opening fails,
// and the caller stays silent, when the data is no wave sound or there is no audio output.
class TWaveAudioPlayer : public QObject {
    Q_OBJECT
public:
    explicit TWaveAudioPlayer(QObject* Parent = nullptr);
    ~TWaveAudioPlayer() override;

    bool Open(std::unique_ptr<QIODevice> Device);
    bool Play();
    void Close();

    // The sound ended or was stopped.
    std::function<void()> OnNotify;

private:
    struct TPrivate;
    std::unique_ptr<TPrivate> d;
};

enum TSplashAnimate { saAlways, saNever, saLocal };

class TFormSplash : public QWidget {
    Q_OBJECT
public:
    explicit TFormSplash(QWidget* Owner = nullptr);
    ~TFormSplash() override;

    // Shows the picture ResourceType/ResourceName (a PNG with alpha), fading it in when animating, and
    // returns. With Timeout the window closes itself about two seconds later; without, it stays until
    // dismissed or until the sound ends. Raises EResNotFound for a missing picture and EAssertionFailed
    // for one without alpha.
    void Execute(bool Timeout, const QString& ResourceName, const QString& ResourceType);
    // Scrolls Value ("<version>" replaced by Version) up over the picture.
    void DisplayBanner(const QString& Value);
    // The banner from a UTF-16 resource, when the program carries it.
    void DisplayBannerResource(const QString& ResName, const QString& ResType);
    // Plays a wave sound resource, when the program carries it.
    void PlayThatFunkyMusicWhiteBoy(const QString& ResName, const QString& ResType);

    bool Disco() const { return FDisco; }
    const QString& Version() const { return FVersion; }
    void SetVersion(const QString& Value) { FVersion = Value; }
    TSplashAnimate Animate() const { return FAnimate; }
    void SetAnimate(TSplashAnimate Value) { FAnimate = Value; }

    // What is shown: the image last handed to the display and its constant alpha.
    const QImage& DisplayedImage() const { return FDisplayed; }
    int ConstantAlpha() const { return FConstantAlpha; }
    bool Aborted() const { return FAbort; }
    int BannerOffset() const { return FBannerOffset; }
    const QString& Banner() const { return FBanner; }
    QTimer* TimerSplash() { return &FTimerSplash; }
    QTimer* TimerBanner() { return &FTimerBanner; }

    // Timer handlers (tests tick them).
    void TimerSplashTimer();
    void TimerBannerTimer();

    // Waits for the next step of a fade; tests replace it to drive the fades.
    std::function<void()> OnFadeTick;

    // The next constant alpha of the fades: 85 steps up from 0 to 255, 52 down from 255 to 0.
    static int FadeInStep(int Alpha);
    static int FadeOutStep(int Alpha);
    // The splash picture darkened by the banner text (black on white), faded near the top and bottom.
    static QImage ComposeBanner(const QImage& Splash, const QImage& Banner, int FadeZone);
    // Running over a remote connection, where fades only cost.
    static bool IsRemoteSession();

protected:
    void paintEvent(QPaintEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;

private:
    void Dismiss();
    void UpdateDisplay(const QImage& Image, int Alpha);
    void WaitFadeTick();
    bool Fade(const QImage& Image, int From, int (*Step)(int), int Until);

    QTimer FTimerSplash;
    QTimer FTimerBanner;
    bool FAbort = false;
    QImage FSplashBitmap; // premultiplied
    int FCountdown = 0;
    std::unique_ptr<TMediaPlayerMemoryFile> FMemoryFile;
    std::unique_ptr<TWaveAudioPlayer> FPlayer;
    bool FDisco = false;
    QString FBanner;
    int FBannerOffset = 0;
    QImage FBannerBitmap;
    int FBannerScroll = 1;
    int FBannerFadeZone = 32;
    QString FVersion;
    TSplashAnimate FAnimate = saLocal;
    bool FShouldAnimate = false;
    QImage FDisplayed;
    int FConstantAlpha = 0;
};
