#pragma once

// Dock forms: the small form every movable pane lives in, the docking of a control into a dock
// site, and our own drag of a dock form by its caption, with a translucent overlay where the form
// would land.
//
// A dock site is a QMainWindow made one with MakeDockSite (DockControl does that for its host). A
// dock form is docked in one of the site's areas and moves only between the sites of its top-level
// window: it never floats. A form that is a site's central widget stays where it is and takes no
// other form next to it.

#include "shell/koCursorService.h"
#include "shell/koDocking.h"

#include <QDockWidget>
#include <QPointer>
#include <QRect>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QMainWindow;
class QMenu;
class TDragDockObjectOverlay;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// The pop-up menu of a pane is the QMenu* its property "PopupMenu" holds (a Q_PROPERTY or a dynamic
// property); null when it has none.
extern const char* const DockPopupMenuProperty;
QMenu* DockClientPopupMenu(const QWidget* Client);

// Where a dragged form would land: next to a docked pane (Pane set; Side is the half of the pane it
// takes) or at an edge of a site (Pane null; Side names the site's area). DockRect is in screen
// coordinates.
struct TDockDropTarget
{
    QMainWindow* Site = nullptr;
    QDockWidget* Pane = nullptr;
    Qt::Edge Side = Qt::LeftEdge;
    QRect DockRect;

    explicit operator bool() const { return Site != nullptr; }
};

class TDockForm : public QDockWidget, public IDockClient
{
    Q_OBJECT

public:
    explicit TDockForm(QWidget* Owner = nullptr);
    ~TDockForm() override;

    // The pane; a Qt child of the form, whose window title is the form's caption.
    QWidget* Client() const { return FClient; }
    void SetClient(QWidget* Value);
    QMenu* PopupMenu() const;

    // Where the client was on the screen and how large, when it was wrapped.
    int UndockLeft() const { return FUndockLeft; }
    int UndockTop() const { return FUndockTop; }
    void SetUndockLeft(int Value) { FUndockLeft = Value; }
    void SetUndockTop(int Value) { FUndockTop = Value; }
    int UndockWidth() const { return FUndockWidth; }
    int UndockHeight() const { return FUndockHeight; }
    void SetUndockWidth(int Value) { FUndockWidth = Value; }
    void SetUndockHeight(int Value) { FUndockHeight = Value; }

    // The site the form is in; null outside any.
    QMainWindow* DockSite() const;
    // Docked in one of the site's areas (a central form is not: it cannot be dragged).
    bool IsDocked() const;

    // Docked: asks the site for that size, which moves its neighbours; otherwise sets the geometry.
    void SetBounds(const QRect& Bounds);

    // Starts our drag of the form from GlobalPos; a drag still under way is dropped first. Does
    // nothing unless the form is docked in a dock site.
    void BeginDockDrag(const QPoint& GlobalPos);
    TDragDockObjectOverlay* DragObject() const { return FDragObject.get(); }

    // Moves the form to Target; tells the sites it left and reached.
    void DockTo(const TDockDropTarget& Target);

    // IDockClient
    void CanUndock(QWidget* NewTarget, bool& Allow) override;
    void GetClientState(TDockClientState& State) override;
    void GetButtonCount(int& Count) override;
    void GetButtonState(int Index, TDockClientButtonState& State) override;
    void DrawButton(QPainter& Canvas, const QRect& Rect, const TDockClientButtonState& State) override;
    void ButtonClick(int Index, const TDockClientButtonState& State) override;

Q_SIGNALS:
    // The form was hidden (not when its window was, nor while it moves to another place).
    void Hidden();

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void hideEvent(QHideEvent* Event) override;

private:
    void DragFinished(TDragDockObjectOverlay* Drag);

    QPointer<QWidget> FClient;
    int FUndockLeft = 0;
    int FUndockTop = 0;
    int FUndockWidth = 0;
    int FUndockHeight = 0;
    bool FMoving = false;
    std::unique_ptr<TDragDockObjectOverlay> FDragObject;
};

// Wraps Control in a new dock form named "Dock" + its object name, captioned with its window title,
// and docks it into Host: alLeft and alRight as a new column at the end of that area, alTop and
// alBottom as a new row at the end of that area, alClient as Host's central widget (which must be
// free). Makes Host a dock site. The form belongs to Host.
TDockForm* DockControlWith(std::unique_ptr<TDockForm> Form, QMainWindow* Host, QWidget* Control, TAlign Side);

template <class TFormClass = TDockForm>
TFormClass* DockControl(QMainWindow* Host, QWidget* Control, TAlign Side)
{
    return static_cast<TFormClass*>(DockControlWith(std::make_unique<TFormClass>(), Host, Control, Side));
}

// Gives every dock form of Site its undock width (panes side by side) or undock height (panes
// stacked) again.
void ResetDockZoneLimits(QMainWindow* Site);

// Per pane of one dock area (screen rectangles), the direction its size is set in: Horizontal for
// panes side by side (their width), Vertical for stacked panes (their height). A pane alone in its
// area follows the area: width for left and right, height for top and bottom.
std::vector<Qt::Orientation> DockOrientations(const std::vector<QRect>& Panes, Qt::DockWidgetArea Area);

// What the drag needs to know about a dock site, in screen coordinates.
struct TDockSiteGeometry
{
    struct TPane
    {
        QDockWidget* Dock = nullptr;
        QRect Rect;
    };

    QMainWindow* Site = nullptr;
    int Depth = 0; // dock sites around it
    // The central widget and the docked panes together; Central is empty without a central widget.
    QRect Region;
    QRect Central;
    Qt::DockWidgetAreas Areas = Qt::AllDockWidgetAreas;
    std::vector<TPane> Panes;
};

// How near to a site's edge the pointer docks the form at that edge.
inline constexpr int DockEdgeStripSize = 24;

// The edge of Rect nearest to Point; ties go to left, right, top, bottom in that order.
Qt::Edge NearestEdge(const QRect& Rect, const QPoint& Point);
QRect HalfRect(const QRect& Rect, Qt::Edge Edge);

// The target under Pos for a form at FormRect: first the edge strips of the sites, inner sites
// first (left and top along the central widget, where the site adds a column or row; right and
// bottom along the site's outer edge, where it adds them), then the half of the innermost pane
// under Pos nearest to it. None over the form itself.
TDockDropTarget FindDropTarget(const std::vector<TDockSiteGeometry>& Sites, const QPoint& Pos, const QRect& FormRect);

// The sites of Form's top-level window that take it, without Form among their panes.
std::vector<TDockSiteGeometry> DockSiteGeometries(QDockWidget* Form);

// What makes a QMainWindow a dock site: its dock tree, the areas it takes forms in, which forms it
// takes, and what it tells about forms coming and going. A child of its site.
class TDockSite : public QObject
{
    Q_OBJECT

public:
    using TFilter = std::function<bool(QDockWidget* Form)>;

    static TDockSite* Of(const QMainWindow* Site);

    QMainWindow* Site() const { return FSite; }
    TBetterDockTree* Tree() const { return FTree; }

    Qt::DockWidgetAreas Areas() const { return FAreas; }
    void SetAreas(Qt::DockWidgetAreas Value) { FAreas = Value; }
    // Without a filter the site takes every form.
    void SetFilter(TFilter Value) { FFilter = std::move(Value); }
    bool Accepts(QDockWidget* Form) const;

Q_SIGNALS:
    // A dragged form was dropped on the site (also when it came from this site).
    void DockDropped(QDockWidget* Form);
    // A dragged form left the site for another.
    void UnDocked(QDockWidget* Form);

private:
    friend TDockSite* MakeDockSite(QMainWindow* Site);
    TDockSite(QMainWindow* Site, TBetterDockTree* Tree);

    QMainWindow* FSite;
    TBetterDockTree* FTree;
    Qt::DockWidgetAreas FAreas = Qt::AllDockWidgetAreas;
    TFilter FFilter;
};

// Gives Site a dock tree (when it has none) and makes it a dock site; once.
TDockSite* MakeDockSite(QMainWindow* Site);
// The dock sites of Widget's top-level window, the window itself first when it is one.
std::vector<QMainWindow*> DockSitesOf(const QWidget* Widget);

// The translucent window that shows where a dragged form would land. Never takes the focus or the
// mouse. Fades run on a timer: Alpha moves by OpacityStep each FadeInterval.
class TDockOverlayForm : public QWidget
{
    Q_OBJECT

public:
    TDockOverlayForm();
    ~TDockOverlayForm() override;

    quint8 Opacity() const { return FOpacity; }
    // Also applied at once.
    void SetOpacity(quint8 Value);
    quint8 OpacityStep() const { return FOpacityStep; }
    void SetOpacityStep(quint8 Value) { FOpacityStep = Value; }
    int FadeInterval() const { return FTimer.interval(); }
    void SetFadeInterval(int Milliseconds) { FTimer.setInterval(Milliseconds); }

    // The alpha shown now.
    int Alpha() const { return FAlpha; }
    bool Fading() const { return FTimer.isActive(); }
    // Visible and not on its way out.
    bool Showing() const;

    // From alpha 0 (or where a fade out left it) up to Opacity.
    void FadeIn();
    // Fades out and hides, while FadeInForm (when given) fades in at the same pace.
    void FadeOver(TDockOverlayForm* FadeInForm);
    // As FadeOver; then the form deletes itself.
    void FadeOverAndDie(TDockOverlayForm* FadeInForm);
    // Shown at Opacity without a fade.
    void ShowNow();

private:
    void FadeTo(int Target);
    void Step();
    void SetAlpha(int Value);

    quint8 FOpacity = 160;
    quint8 FOpacityStep = 10;
    int FAlpha = 0;
    int FTarget = 0;
    bool FDieAfterFade = false;
    QTimer FTimer;
};

// One drag of a dock form: follows the mouse until the left button is released (the form moves to
// the target under it) or Esc is pressed (nothing changes), shows the overlay over the target and
// the drag cursors of the cursor service.
class TDragDockObjectOverlay : public QObject
{
    Q_OBJECT

public:
    explicit TDragDockObjectOverlay(TDockForm* Control,
                                    std::shared_ptr<ICursorService> Cursors = CursorService());
    ~TDragDockObjectOverlay() override;

    TDockForm* Control() const { return FControl; }
    bool FadeOnMove() const { return FFadeOnMove; }
    void SetFadeOnMove(bool Value) { FFadeOnMove = Value; }
    // The platform's drag cursors instead of the named ones.
    bool DefaultCursors() const { return FDefaultCursors; }
    void SetDefaultCursors(bool Value) { FDefaultCursors = Value; }

    TDockOverlayForm* Overlay() const { return FOverlay.get(); }
    const TDockDropTarget& Target() const { return FTarget; }
    bool Accepted() const { return FAccepted; }
    bool Dragging() const { return FDragging; }

    // Grabs the mouse and the keyboard and follows the mouse.
    void Begin(const QPoint& GlobalPos);
    void DragTo(const QPoint& GlobalPos);
    // Ends the drag; with Drop, the form moves to the target when there is one that takes it.
    void EndDrag(bool Drop);

    void DrawDragDockImage(const QRect& DockRect, bool OnPane);
    void EraseDragDockImage();
    TCursor GetDragCursor(bool Accepted) const;

Q_SIGNALS:
    void Finished(bool Dropped);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void ReleaseInput();
    void FreeOverlay();

    QPointer<TDockForm> FControl;
    std::shared_ptr<ICursorService> FCursors;
    std::unique_ptr<TDockOverlayForm> FOverlay;
    bool FFadeOnMove = true;
    bool FDefaultCursors = false;
    bool FDragging = false;
    bool FAccepted = false;
    TDockDropTarget FTarget;
    std::shared_ptr<IRecall> FCursorRecall;
};

// Whether a move of the overlay from Overlay to DockRect shows as a cross-fade: another size, or
// the two no longer overlap.
bool OverlayNeedsCrossFade(const QRect& Overlay, const QRect& DockRect);
