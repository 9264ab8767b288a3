// The preview of animated icons and cursors: plays the frames with the timing of the item's sequence,
// and over the picture the mouse pointer becomes the animation itself.
#pragma once

#include "shell/koResourceView.h"

#include <QCursor>
#include <QImage>
#include <optional>
#include <vector>

class QLabel;
class QTimer;
class TCustomAnimatedIconCursorResourceItem;

class TAnimatedCursorResourceItemView : public TCustomResourceItemView {
    Q_OBJECT

public:
    explicit TAnimatedCursorResourceItemView(QWidget* Parent = nullptr);
    ~TAnimatedCursorResourceItemView() override;

    // Only animations (or nothing) can be shown here.
    void SetResourceItem(TCustomResourceItem* Item) override;
    QString GetCaption() override;
    void ResourceItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification) override;

    // One tick of TimerAnimation: one jiffy (1/60 second).
    void TimerAnimationTimer();

    int StepIndex() const { return FStepIndex; }
    int JiffyCount() const { return FJiffyCount; }
    // The frame on show; -1 when none.
    int FrameShown() const { return FFrameShown; }
    bool HasTestCursor() const { return FHasTestCursor; }

    QWidget* PanelError;
    QLabel* Image1;
    QLabel* LabelError;
    QWidget* Panel1;
    QLabel* ImageView;
    QTimer* TimerAnimation;

protected:
    void LoadView() override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void ReleaseTestCursor();
    void ClearImage();
    // Shows the frame of the current step and starts the step's count of jiffies.
    void ShowStep();
    // The picture of a frame, made once per load; a null image when the frame cannot be drawn.
    const QImage& FramePicture(int Index);
    // The live cursor of a frame, made on first need; nullptr (and the error strip) when it cannot be.
    const QCursor* GetTestCursor(int Index);
    void UpdateTestCursor();

    TCustomAnimatedIconCursorResourceItem* FItem = nullptr;
    std::vector<std::optional<QImage>> FPictures;
    // Qt has no animated cursor: one cursor per frame, swapped at each step while the pointer is over
    // the picture.
    std::vector<std::optional<QCursor>> FTestCursors;
    bool FHasTestCursor = false;
    bool FPointerOver = false;
    int FStepIndex = 0;
    int FJiffyCount = 0;
    int FFrameShown = -1;
};

class TAnimatedCursorResourceItemViewFactory {
    RESOURCE_VIEW_FACTORY_CLASS(TAnimatedCursorResourceItemViewFactory, TCustomResourceItemViewFactory)
public:
    static bool Handles(TCustomResourceItem* ResourceItem);
    static IResourceItemViewPtr CreateView();
};

void koResourceViewAnimatedCursor_Initialize();
void koResourceViewAnimatedCursor_Finalize();
