// The preview of audio and video resources (any RIFF data), played straight from memory, with a still
// picture of a video; and the two kinds of resources it stands for.
#pragma once

#include "MediaBackend.h"
#include "MediaRiff.h"
#include "model/koResourcesKinds.h"
#include "shell/koResourceView.h"
#include "shell/koSplash.h"

#include <QImage>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QProgressBar;
class QTimer;
class QToolBar;

// The signatures at the start of the data (bytes 4 to 7, the size, are ignored).
bool MediaSignatureRIFF(TStream* Data);
bool MediaSignatureAVI(TStream* Data);
bool MediaSignatureWAVE(TStream* Data);

class TVideoResourceItem : public TResourceItemGeneric {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TVideoResourceItem, TResourceItemGeneric)

public:
    using TResourceItemGeneric::TResourceItemGeneric;
    static bool Handles(const TResourceIdent&, const TResourceIdent&, TStream* Data) { return MediaSignatureAVI(Data); }
    static bool HandlesFile(const QString& Filename, TStream* Data);
    static QString ResourceTypeName() { return QStringLiteral("Video"); }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);
};

class TAudioResourceItem : public TResourceItemGeneric {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TAudioResourceItem, TResourceItemGeneric)

public:
    using TResourceItemGeneric::TResourceItemGeneric;
    static bool Handles(const TResourceIdent&, const TResourceIdent&, TStream* Data) { return MediaSignatureWAVE(Data); }
    static bool HandlesFile(const QString& Filename, TStream* Data);
    static QString ResourceTypeName() { return QStringLiteral("Music"); }
    static TResourceItemGlyphHandle GetGlyph(TResourceItemGlyph Kind);
};

class TMediaResourceItemView : public TCustomResourceItemView {
    Q_OBJECT

public:
    explicit TMediaResourceItemView(QWidget* Parent = nullptr);
    ~TMediaResourceItemView() override;

    void Draw(QPainter& Canvas, const QRect& Rect) override;
    bool GetImageSize(QSize& Size) override;
    QString GetCaption() override;

    QString MemoryFileName() const { return FMemoryFile->FileName(); }
    IMediaBackend* MediaPlayer() const { return FMediaPlayer.get(); }
    const QImage& StillPicture() const { return FStillPicture; }
    int MouseCount() const { return FMouseCount; }

    // The actions' handlers.
    void ActionPlayExecute();
    void ActionPauseExecute();
    void ActionStopExecute();
    // The player reached the end of the media.
    void MediaPlayerNotify();
    // One tick of Timer1.
    void Timer1Timer();
    void FrameMouseEnter();
    void FrameMouseLeave();

    QWidget* PanelError;
    QLabel* LabelError;
    QWidget* PanelView;
    QLabel* ImageFrame;
    QToolBar* ToolBarMedia;
    QAction* ActionPlay;
    QAction* ActionPause;
    QAction* ActionStop;
    QProgressBar* ProgressBar1;
    QTimer* Timer1;

protected:
    void LoadView() override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void StartPlayback();
    void PausePlayback();
    void ResumePlayback();
    void StopPlayback();
    void CenterDisplay();
    void ExtractVideoFrame();
    void UpdateActions();
    void LayoutPanelView();
    void ShowError(const QString& Message);
    // An AVI device that has the media open (it plays into the panel).
    bool UsesWindow() const;

    std::unique_ptr<TMediaPlayerMemoryFile> FMemoryFile;
    std::unique_ptr<IMediaBackend> FMediaPlayer;
    TMediaDeviceType FDeviceType = dtAutoSelect;
    std::optional<TRiffMediaInfo> FInfo;
    // The bytes the memory file holds, for our own reading of them.
    QByteArray FData;
    QImage FStillPicture;
    bool FOpen = false;
    // Set while the person has stopped or paused playback: the end of the media then plays nothing.
    bool FWait = true;
    int FMouseCount = 0;
};

class TMediaResourceItemViewFactory {
    RESOURCE_VIEW_FACTORY_CLASS(TMediaResourceItemViewFactory, TCustomResourceItemViewFactory)
public:
    static bool Handles(const TResourceIdent&, const TResourceIdent&, TStream* Data) { return MediaSignatureRIFF(Data); }
    static IResourceItemViewPtr CreateView();
};

void koResourceViewMedia_Initialize();
void koResourceViewMedia_Finalize();
