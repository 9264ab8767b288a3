#include "koResourceViewAnimatedCursor.h"

#include "kinds/koResourceItemAnimatedIconCursor.h"
#include "platform/Bitmap.h"
#include "platform/Exceptions.h"
#include "platform/Icon.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {
const char* const SCursorError = "Failed to load live cursor preview";
const char* const SCaption = "Animated icon/cursor";
// One jiffy: 1/60 second.
const int JiffyInterval = 16;

// The information sign of the error strip: a blue disc with a white "i".
QPixmap InfoGlyph()
{
    QImage image(22, 22, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x1B, 0x4F, 0x9E), 1));
    painter.setBrush(QColor(0x30, 0x78, 0xE0));
    painter.drawEllipse(QRectF(1.5, 1.5, 19, 19));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(9.5, 5, 3, 3));
    painter.drawRect(QRectF(9.5, 9.5, 3, 7.5));
    return QPixmap::fromImage(image);
}
} // namespace

TAnimatedCursorResourceItemView::TAnimatedCursorResourceItemView(QWidget* Parent) : TCustomResourceItemView(Parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    const TViewErrorStrip strip = CreateViewErrorStrip(this, InfoGlyph(), QString::fromUtf8(SCursorError));
    PanelError = strip.Panel;
    Image1 = strip.Image;
    LabelError = strip.Label;
    layout->addWidget(PanelError);

    Panel1 = new QWidget(this);
    auto* panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    // The frame at its own size in the middle: a pixmap label never smooths.
    ImageView = new QLabel(Panel1);
    ImageView->setAlignment(Qt::AlignCenter);
    ImageView->installEventFilter(this);
    panelLayout->addWidget(ImageView);
    layout->addWidget(Panel1, 1);

    TimerAnimation = new QTimer(this);
    TimerAnimation->setInterval(JiffyInterval);
    TimerAnimation->setTimerType(Qt::PreciseTimer);
    connect(TimerAnimation, &QTimer::timeout, this, [this] { GuardedCall([this] { TimerAnimationTimer(); }); });
}

TAnimatedCursorResourceItemView::~TAnimatedCursorResourceItemView()
{
    TimerAnimation->stop();
    ImageView->removeEventFilter(this);
}

void TAnimatedCursorResourceItemView::SetResourceItem(TCustomResourceItem* Item)
{
    auto* animation = dynamic_cast<TCustomAnimatedIconCursorResourceItem*>(Item);
    ATELIER_ASSERT(Item == nullptr || animation != nullptr);
    FItem = animation;
    TCustomResourceItemView::SetResourceItem(Item);
}

QString TAnimatedCursorResourceItemView::GetCaption()
{
    const QString caption = TCustomResourceItemView::GetCaption();
    return caption.isEmpty() ? QString::fromUtf8(SCaption) : caption;
}

void TAnimatedCursorResourceItemView::ResourceItemNotification(TCustomResourceItem* Item,
                                                               TResourceItemNotification Notification)
{
    TCustomResourceItemView::ResourceItemNotification(Item, Notification);
    if (Notification == rnUnsubscribe && Item != nullptr && Item == FItem) FItem = nullptr;
}

bool TAnimatedCursorResourceItemView::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == ImageView) {
        if (Event->type() == QEvent::Enter) {
            FPointerOver = true;
            UpdateTestCursor();
        } else if (Event->type() == QEvent::Leave) {
            FPointerOver = false;
        }
    }
    return TCustomResourceItemView::eventFilter(Watched, Event);
}

void TAnimatedCursorResourceItemView::ReleaseTestCursor()
{
    FTestCursors.clear();
    FHasTestCursor = true;
    ImageView->unsetCursor();
}

void TAnimatedCursorResourceItemView::ClearImage()
{
    ImageView->clear();
    FFrameShown = -1;
}

void TAnimatedCursorResourceItemView::LoadView()
{
    ReleaseTestCursor();
    TimerAnimation->stop();
    FStepIndex = 0;
    FJiffyCount = 0;
    ClearImage();
    FPictures.clear();
    const int frames = FItem ? FItem->FrameCount() : 0;
    FHasTestCursor = frames > 0;
    if (frames == 0) return;
    FPictures.resize(size_t(frames));
    FTestCursors.resize(size_t(frames));
    // The first step shows at once, for its own duration.
    ShowStep();
    TimerAnimation->start();
}

void TAnimatedCursorResourceItemView::TimerAnimationTimer()
{
    if (--FJiffyCount >= 1) return;
    const int frames = FItem ? FItem->FrameCount() : 0;
    if (frames == 0) {
        ClearImage();
        TimerAnimation->stop();
        return;
    }
    const TAnimatedIconSequence* sequence = FItem->Sequence();
    const int steps = sequence->Count() > 0 ? sequence->Count() : frames;
    if (++FStepIndex >= steps) FStepIndex = 0;
    ShowStep();
}

void TAnimatedCursorResourceItemView::ShowStep()
{
    const int frames = FItem->FrameCount();
    const TAnimatedIconSequence* sequence = FItem->Sequence();
    int frame, rate;
    if (sequence->Count() > 0) {
        if (FStepIndex >= sequence->Count()) FStepIndex = 0;
        frame = sequence->Items(FStepIndex)->FrameIndex();
        rate = sequence->Items(FStepIndex)->DisplayRate();
    } else {
        if (FStepIndex >= frames) FStepIndex = 0;
        frame = FStepIndex;
        rate = FItem->DefaultDisplayRate();
    }
    // A rate of 0 still shows the step for one jiffy; an index past the end shows the last frame.
    FJiffyCount = std::max(rate, 1);
    frame = std::clamp(frame, 0, frames - 1);
    // The frames may have changed without a load (a child not yet reported): keep the caches in step.
    if (FPictures.size() != size_t(frames)) {
        FPictures.assign(size_t(frames), std::nullopt);
        FTestCursors.assign(size_t(frames), std::nullopt);
    }
    FFrameShown = frame;
    const QImage& picture = FramePicture(frame);
    if (picture.isNull())
        ImageView->clear();
    else
        ImageView->setPixmap(QPixmap::fromImage(picture));
    if (FPointerOver) UpdateTestCursor();
}

const QImage& TAnimatedCursorResourceItemView::FramePicture(int Index)
{
    std::optional<QImage>& picture = FPictures[size_t(Index)];
    if (!picture) {
        picture = QImage();
        try {
            // As the graphics view shows an image: transparent pixels keyed out, inverting ones in their
            // display colour.
            if (TCustomIconCursorResourceItem* frame = FItem->Frame(Index)) {
                TBitmap bitmap;
                frame->AssignTo(bitmap);
                picture = bitmap.ToQImage();
            }
        } catch (const EAssertionFailed&) {
            throw;
        } catch (const Exception&) {
            // A frame that cannot be drawn shows nothing; the animation goes on.
        }
    }
    return *picture;
}

const QCursor* TAnimatedCursorResourceItemView::GetTestCursor(int Index)
{
    if (!FHasTestCursor || Index < 0 || size_t(Index) >= FTestCursors.size()) return nullptr;
    std::optional<QCursor>& cursor = FTestCursors[size_t(Index)];
    if (!cursor) {
        try {
            TCustomIconCursorResourceItem* frame = FItem->Frame(Index);
            if (!frame) throw EInvalidGraphic(QString::fromUtf8(SCursorError));
            const bool isIcon = frame->GetImageType() == 1;
            const std::unique_ptr<TIcon> icon = ItemToIcon(frame, isIcon);
            if (!icon || icon->Empty()) throw EInvalidGraphic(QString::fromUtf8(SCursorError));
            // An icon has no hot spot: it points with its middle.
            const QPoint hotspot = isIcon ? QPoint(icon->Width() / 2, icon->Height() / 2) : icon->Hotspot();
            cursor = QCursor(QPixmap::fromImage(icon->ToQImage()), hotspot.x(), hotspot.y());
        } catch (const EAssertionFailed&) {
            throw;
        } catch (const Exception&) {
            FHasTestCursor = false;
            FTestCursors.clear();
            LabelError->setText(QString::fromUtf8(SCursorError));
            PanelError->show();
            return nullptr;
        }
    }
    return &*cursor;
}

void TAnimatedCursorResourceItemView::UpdateTestCursor()
{
    const QCursor* cursor = GetTestCursor(FFrameShown);
    if (cursor)
        ImageView->setCursor(*cursor);
    else
        ImageView->unsetCursor();
}

// TAnimatedCursorResourceItemViewFactory

bool TAnimatedCursorResourceItemViewFactory::Handles(TCustomResourceItem* ResourceItem)
{
    return dynamic_cast<TCustomAnimatedIconCursorResourceItem*>(ResourceItem) != nullptr;
}

IResourceItemViewPtr TAnimatedCursorResourceItemViewFactory::CreateView()
{
    return std::make_shared<TAnimatedCursorResourceItemView>();
}

void koResourceViewAnimatedCursor_Initialize() { TAnimatedCursorResourceItemViewFactory::ClassInfo()->Register(0); }

void koResourceViewAnimatedCursor_Finalize() { TAnimatedCursorResourceItemViewFactory::ClassInfo()->Unregister(); }
