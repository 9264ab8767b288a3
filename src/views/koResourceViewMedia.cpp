#include "koResourceViewMedia.h"

#include "model/koResources.h"
#include "platform/Format.h"
#include "platform/Streams.h"
#include "platform/SysUtils.h"

#include <QAction>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QScopeGuard>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {
const char* const SMediaCaption = "Media (audio/video)";
const char* const SVideoCaption = "Video: %dx%d";
const char* const SAudioCaption = "Audio";
const char* const SUnknownMedia = "unknown media";
const char* const SMediaError = "The media resource could not be handled by Windows.\r\r%s";

// Numbers the views' memory files; 16 bits, as the names were always short.
uint16_t MemoryFileCounter = 0;

bool MatchRiff(TStream* Data, const char* Form)
{
    QByteArray signature("RIFF\0\0\0\0", 8);
    QByteArray mask("\xFF\xFF\xFF\xFF\0\0\0\0", 8);
    if (Form) {
        signature.append(Form, 8);
        mask.append(QByteArray(8, '\xFF'));
    }
    return Data && MatchSignature(Data, signature, mask, 0);
}

bool HasExtension(const QString& Filename, std::initializer_list<const char*> Extensions)
{
    const QString ext = ExtractFileExt(Filename);
    return std::any_of(Extensions.begin(), Extensions.end(),
                       [&](const char* e) { return ext.compare(QLatin1String(e), Qt::CaseInsensitive) == 0; });
}

bool DataMatches(const QByteArray& Data, bool (*Signature)(TStream*))
{
    TCustomMemoryStream stream(Data.constData(), Data.size());
    return Signature(&stream);
}
} // namespace

bool MediaSignatureRIFF(TStream* Data) { return MatchRiff(Data, nullptr); }
bool MediaSignatureAVI(TStream* Data) { return MatchRiff(Data, "AVI LIST"); }
bool MediaSignatureWAVE(TStream* Data) { return MatchRiff(Data, "WAVEfmt "); }

// Kinds

bool TVideoResourceItem::HandlesFile(const QString& Filename, TStream*) { return HasExtension(Filename, {".avi", ".wmv"}); }

TResourceItemGlyphHandle TVideoResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgItem) return LoadResourceGlyph(QStringLiteral("RES_VIDEO_ITEM"), QStringLiteral("video.item"));
    return inherited::GetGlyph(Kind);
}

bool TAudioResourceItem::HandlesFile(const QString& Filename, TStream*) { return HasExtension(Filename, {".wav", ".wma"}); }

TResourceItemGlyphHandle TAudioResourceItem::GetGlyph(TResourceItemGlyph Kind)
{
    if (Kind == rgItem) return LoadResourceGlyph(QStringLiteral("RES_AUDIO_ITEM"), QStringLiteral("audio.item"));
    return inherited::GetGlyph(Kind);
}

// TMediaResourceItemView

TMediaResourceItemView::TMediaResourceItemView(QWidget* Parent)
    : TCustomResourceItemView(Parent), FMemoryFile(std::make_unique<TMediaPlayerMemoryFile>())
{
    FMemoryFile->SetFileName(Format(QStringLiteral("stream%d.data"), {int(MemoryFileCounter)}));
    ++MemoryFileCounter; // wraps at 65536

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const TViewErrorStrip strip =
        CreateViewErrorStrip(this, style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(22, 22), QString());
    PanelError = strip.Panel;
    LabelError = strip.Label;
    layout->addWidget(PanelError);

    // The video's place; the still picture and the tool bar are laid out by hand over it.
    PanelView = new QWidget(this);
    PanelView->setAutoFillBackground(true);
    QPalette palette = PanelView->palette();
    palette.setColor(QPalette::Window, QColor(0xE3, 0xE3, 0xE3)); // the light 3D face
    PanelView->setPalette(palette);
    layout->addWidget(PanelView, 1);

    ImageFrame = new QLabel(PanelView);
    ImageFrame->setAlignment(Qt::AlignCenter);
    ImageFrame->hide();

    ToolBarMedia = new QToolBar(PanelView);
    ToolBarMedia->setIconSize(QSize(16, 16));
    ActionPlay = ToolBarMedia->addAction(style()->standardIcon(QStyle::SP_MediaPlay), QStringLiteral("Play"));
    ActionPause = ToolBarMedia->addAction(style()->standardIcon(QStyle::SP_MediaPause), QStringLiteral("Pause"));
    ActionStop = ToolBarMedia->addAction(style()->standardIcon(QStyle::SP_MediaStop), QStringLiteral("Stop"));
    ActionPlay->setToolTip(QStringLiteral("Play"));
    ActionPause->setToolTip(QStringLiteral("Pause"));
    ActionStop->setToolTip(QStringLiteral("Stop"));
    connect(ActionPlay, &QAction::triggered, this, [this] { GuardedCall([this] { ActionPlayExecute(); }); });
    connect(ActionPause, &QAction::triggered, this, [this] { GuardedCall([this] { ActionPauseExecute(); }); });
    connect(ActionStop, &QAction::triggered, this, [this] { GuardedCall([this] { ActionStopExecute(); }); });
    ToolBarMedia->adjustSize();

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setFixedHeight(10);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 0);
    layout->addWidget(ProgressBar1);

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, [this] { GuardedCall([this] { Timer1Timer(); }); });

    PanelView->installEventFilter(this);
    ImageFrame->installEventFilter(this);
    ToolBarMedia->installEventFilter(this);
    for (QAction* action : {ActionPlay, ActionPause, ActionStop})
        if (QWidget* button = ToolBarMedia->widgetForAction(action)) button->installEventFilter(this);

    FMediaPlayer = CreateMediaBackend();
    FMediaPlayer->OnEndOfMedia = [this] { GuardedCall([this] { MediaPlayerNotify(); }); };
    FMediaPlayer->OnError = [this](const QString& Message) { ShowError(Format(QString::fromUtf8(SMediaError), {Message})); };
    UpdateActions();
}

TMediaResourceItemView::~TMediaResourceItemView()
{
    Timer1->stop();
    for (QObject* watched : PanelView->findChildren<QObject*>()) watched->removeEventFilter(this);
    PanelView->removeEventFilter(this);
    // The player lets go of the memory file before the file goes.
    FMediaPlayer.reset();
}

bool TMediaResourceItemView::UsesWindow() const { return FOpen && FDeviceType == dtAVIVideo; }

void TMediaResourceItemView::ShowError(const QString& Message)
{
    // The message keeps its carriage returns; the label breaks lines at line feeds.
    QString text = Message;
    LabelError->setText(text.replace(QLatin1Char('\r'), QLatin1Char('\n')));
    PanelError->show();
}

void TMediaResourceItemView::LoadView()
{
    Timer1->stop();
    PanelError->hide();
    FMediaPlayer->Close();
    FOpen = false;
    FWait = true;
    FInfo.reset();
    FStillPicture = QImage();
    ImageFrame->clear();
    ImageFrame->hide();
    ToolBarMedia->show();
    ProgressBar1->setRange(0, 0);
    ProgressBar1->setValue(0);

    TCustomResourceItem* item = ResourceItem();
    if (item) {
        TMemoryStream stream;
        item->SaveToStream(stream);
        const QByteArray data = stream.ToByteArray();
        FMemoryFile->MemoryStream().Clear();
        FMemoryFile->MemoryStream().Write(data.constData(), data.size());
        FMemoryFile->MemoryStream().SetPosition(0);
        FData = data;
        FDeviceType = DataMatches(data, MediaSignatureAVI)    ? dtAVIVideo
                      : DataMatches(data, MediaSignatureWAVE) ? dtWaveAudio
                                                              : dtAutoSelect;
        try {
            // Our own reading of the headers gives the caption, size and length, and stops damaged data
            // before the player sees it.
            FInfo = ReadRiffMedia(data);
            FMediaPlayer->Open(FMemoryFile->FileName() + QLatin1Char('+'), FDeviceType, PanelView);
            FOpen = true;
        } catch (const EAssertionFailed&) {
            throw;
        } catch (const Exception& e) {
            ShowError(Format(QString::fromUtf8(SMediaError), {e.Message()}));
        }
        if (FOpen) {
            const int64_t length = FMediaPlayer->Length() > 0 ? FMediaPlayer->Length() : FInfo->DurationMs;
            ProgressBar1->setRange(0, int(std::min<int64_t>(length, INT32_MAX)));
            if (UsesWindow()) {
                try {
                    ExtractVideoFrame();
                    ImageFrame->setPixmap(QPixmap::fromImage(FStillPicture));
                    ImageFrame->adjustSize();
                    ImageFrame->show();
                } catch (const EAVIError& e) {
                    // A codec we cannot decode may still play; a frame that does not decode is damage.
                    if (!dynamic_cast<const EAVINoDecompressor*>(&e)) ShowError(e.Message());
                }
            }
        }
    }
    LayoutPanelView();
    UpdateActions();
}

void TMediaResourceItemView::ExtractVideoFrame()
{
    FStillPicture = QImage();
    if (!FInfo) return;
        // The memory stream is rewound before and after, also when the frame does not decode.
    FMemoryFile->MemoryStream().SetPosition(0);
    const auto rewind = qScopeGuard([this] { FMemoryFile->MemoryStream().SetPosition(0); });
    FStillPicture = AviStillFrame(FData, *FInfo, 50);
}

void TMediaResourceItemView::Draw(QPainter& Canvas, const QRect& Rect)
{
    CheckLoaded();
    if (UsesWindow() && FStillPicture.isNull()) ExtractVideoFrame();
    if (!FStillPicture.isNull()) Canvas.drawImage(Rect, FStillPicture);
}

bool TMediaResourceItemView::GetImageSize(QSize& Size)
{
    CheckLoaded();
    if (!UsesWindow()) return false;
    Size = FInfo ? QSize(FInfo->Width, FInfo->Height) : QSize(0, 0);
    return true;
}

QString TMediaResourceItemView::GetCaption()
{
    if (!ResourceItem()) return QString::fromUtf8(SMediaCaption);
    CheckLoaded();
    if (UsesWindow()) {
        const QSize size = FInfo ? QSize(FInfo->Width, FInfo->Height) : QSize(0, 0);
        return Format(QString::fromUtf8(SVideoCaption), {size.width(), size.height()});
    }
    if (FOpen && FDeviceType == dtWaveAudio) return QString::fromUtf8(SAudioCaption);
    return QString::fromUtf8(SUnknownMedia);
}

void TMediaResourceItemView::UpdateActions()
{
    const TMediaPlayerMode mode = FOpen ? FMediaPlayer->Mode() : mpNotReady;
    ActionPlay->setEnabled(mode == mpStopped);
    ActionPause->setEnabled(mode == mpPlaying || mode == mpPaused);
    ActionStop->setEnabled(mode == mpPlaying || mode == mpPaused);
}

void TMediaResourceItemView::ActionPlayExecute()
{
    if (FOpen && FMediaPlayer->Mode() == mpStopped) StartPlayback();
    UpdateActions();
}

void TMediaResourceItemView::ActionPauseExecute()
{
    if (!FOpen) return;
    if (FMediaPlayer->Mode() == mpPaused)
        ResumePlayback();
    else if (FMediaPlayer->Mode() == mpPlaying)
        PausePlayback();
    UpdateActions();
}

void TMediaResourceItemView::ActionStopExecute()
{
    const TMediaPlayerMode mode = FOpen ? FMediaPlayer->Mode() : mpNotReady;
    if (mode == mpPlaying || mode == mpPaused) StopPlayback();
    UpdateActions();
}

void TMediaResourceItemView::StartPlayback()
{
    ImageFrame->hide();
    Timer1->start();
    ProgressBar1->setValue(0);
    FMediaPlayer->SetPosition(0);
    FWait = false;
    CenterDisplay();
    FMediaPlayer->Play();
}

void TMediaResourceItemView::ResumePlayback()
{
    Timer1->start();
    FWait = false;
    CenterDisplay();
    FMediaPlayer->Resume();
}

void TMediaResourceItemView::PausePlayback()
{
    FWait = true;
    FMediaPlayer->Pause();
    Timer1->stop();
}

void TMediaResourceItemView::StopPlayback()
{
    FWait = true;
    FMediaPlayer->Stop();
    ToolBarMedia->show();
    Timer1->stop();
    ProgressBar1->setValue(0);
}

void TMediaResourceItemView::MediaPlayerNotify()
{
    // Only the end of the media plays again; a stop or pause that ended playback stays.
    if (FWait || !FOpen) return;
    FMediaPlayer->SetPosition(0);
    FMediaPlayer->Play();
    UpdateActions();
}

void TMediaResourceItemView::Timer1Timer()
{
    if (!FOpen) return;
    // The length may be known only once the player has read the media.
    const int64_t length = FMediaPlayer->Length();
    if (length > 0 && length != ProgressBar1->maximum()) ProgressBar1->setMaximum(int(std::min<int64_t>(length, INT32_MAX)));
    ProgressBar1->setValue(int(std::clamp<int64_t>(FMediaPlayer->Position(), 0, ProgressBar1->maximum())));
    if (FMouseCount == 0 && FMediaPlayer->Mode() == mpPlaying) ToolBarMedia->hide();
    UpdateActions();
}

void TMediaResourceItemView::FrameMouseEnter()
{
    if (FMouseCount++ == 0 && ToolBarMedia->isHidden()) ToolBarMedia->show();
}

void TMediaResourceItemView::FrameMouseLeave()
{
    // Enter and leave can come unpaired when a control appears under the pointer: never below zero.
    if (FMouseCount > 0) --FMouseCount;
}

void TMediaResourceItemView::CenterDisplay()
{
    if (UsesWindow() && FInfo) FMediaPlayer->CenterDisplay(FInfo->Width, FInfo->Height);
}

void TMediaResourceItemView::LayoutPanelView()
{
    const QSize area = PanelView->size();
    ImageFrame->move((area.width() - ImageFrame->width()) / 2, (area.height() - ImageFrame->height()) / 2);
    ToolBarMedia->adjustSize();
    ToolBarMedia->move(area.width() - ToolBarMedia->width(), area.height() - ToolBarMedia->height());
    ToolBarMedia->raise();
}

bool TMediaResourceItemView::eventFilter(QObject* Watched, QEvent* Event)
{
    switch (Event->type()) {
    case QEvent::Enter: FrameMouseEnter(); break;
    case QEvent::Leave: FrameMouseLeave(); break;
    case QEvent::Resize:
        if (Watched == PanelView) {
            LayoutPanelView();
            if (FOpen && FMediaPlayer->Mode() == mpPlaying) CenterDisplay();
        }
        break;
    default: break;
    }
    return TCustomResourceItemView::eventFilter(Watched, Event);
}

// TMediaResourceItemViewFactory

IResourceItemViewPtr TMediaResourceItemViewFactory::CreateView() { return std::make_shared<TMediaResourceItemView>(); }

void koResourceViewMedia_Initialize()
{
    TMediaResourceItemViewFactory::ClassInfo()->Register(255);
    TVideoResourceItem::ClassInfo()->Register(255);
    TVideoResourceItem::ClassInfo()->RegisterFileType(QStringLiteral("avi"), QStringLiteral("Video files"), {fcLoad}, 255);
    TVideoResourceItem::ClassInfo()->RegisterFileType(QStringLiteral("wmv"), QStringLiteral("Video files"), {fcLoad}, 255);
    TAudioResourceItem::ClassInfo()->Register(255);
    TAudioResourceItem::ClassInfo()->RegisterFileType(QStringLiteral("wav"), QStringLiteral("Audio files"), {fcLoad}, 255);
    TAudioResourceItem::ClassInfo()->RegisterFileType(QStringLiteral("wma"), QStringLiteral("Audio files"), {fcLoad}, 255);
}

void koResourceViewMedia_Finalize()
{
    TMediaResourceItemViewFactory::ClassInfo()->Unregister();
    TAudioResourceItem::ClassInfo()->Unregister();
    TVideoResourceItem::ClassInfo()->Unregister();
}
