#pragma once

// The caption strip of every docked pane: icon, text and caption buttons above the pane, drawn by
// our own title bar widget on Qt's docking (a dock site is a QMainWindow, a docked pane a
// QDockWidget), and the grips on the separators between the panes.
//
// Rectangles handed to the drawer follow the drawing rules of this look: a rectangle's right and
// bottom edges are exclusive (Right = left + width), yet the caption bevel is drawn on them.

#include "platform/Sets.h"
#include "shell/koCursorService.h"

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

class QDockWidget;
class QMainWindow;
class QPainter;
class TBetterDockTree;

enum TDockButtonKind {
    dbkCustom,
    dbkCustomFramed,
    dbkGlyph,
    dbkClose,
    dbkPin,
    dbkDown,
    dbkUp,
    dbkChevron,
    dbkReverseChevron,
};

enum TDockButtonStateValue { dbsDisabled, dbsHidden, dbsHot, dbsPressed };
using TDockButtonState = TSet<TDockButtonStateValue>;

struct TDockClientState
{
    QString Caption;
    QString Hint;
    bool Focused = false;
    QImage Glyph; // none when null
};

struct TDockClientButtonState
{
    QString Hint;
    TDockButtonKind Kind = dbkCustom;
    TDockButtonState State;
    QImage Glyph;
    TCursor Cursor = 0;     // index into the screen cursor table; 0 = none
    void* Data = nullptr;   // the client's own
    QRect ButtonRect;       // screen coordinates
};

// What a docked pane may add to its caption. Looked up on the QDockWidget, else on its widget().
class IDockClient
{
public:
    virtual ~IDockClient() = default;
    // Allow comes in true. NewTarget is the site the pane would move to; null for floating.
    virtual void CanUndock(QWidget* NewTarget, bool& Allow) = 0;
    virtual void GetClientState(TDockClientState& State) = 0;
    virtual void GetButtonCount(int& Count) = 0;
    // Index counts among the client's own buttons; State.ButtonRect is already filled in.
    virtual void GetButtonState(int Index, TDockClientButtonState& State) = 0;
    // Draws a dbkCustom or dbkCustomFramed button.
    virtual void DrawButton(QPainter& Canvas, const QRect& Rect, const TDockClientButtonState& State) = 0;
    virtual void ButtonClick(int Index, const TDockClientButtonState& State) = 0;
};

// A docked form's border icons decide the caption buttons the tree gives it: close with the system
// menu, roll up with minimize. Unset means none.
enum TBorderIcon { biSystemMenu, biMinimize };
using TBorderIcons = TSet<TBorderIcon>;

void SetDockBorderIcons(QDockWidget* Dock, TBorderIcons Icons);
TBorderIcons DockBorderIcons(const QDockWidget* Dock);

IDockClient* FindDockClient(QDockWidget* Dock);
// Asked by the drag controller before a pane leaves its site.
bool DockClientCanUndock(QDockWidget* Dock, QWidget* NewTarget);

struct TDockCaptionLayout
{
    QRect ButtonArea;
    QRect GlyphArea;
    QRect TextArea;
};

// Geometry and drawing of captions and separator grips; owned by its tree.
class TDockDrawer
{
public:
    explicit TDockDrawer(TBetterDockTree* DockTree);
    virtual ~TDockDrawer();
    TDockDrawer(const TDockDrawer&) = delete;
    TDockDrawer& operator=(const TDockDrawer&) = delete;

    TBetterDockTree* DockTree() const { return FDockTree; }
    int GrabberSize() const { return GetGrabberSize(); }

    // A pane's rectangle below its caption, from its frame.
    virtual QRect AdjustDockRect(const QRect& Frame) const;
    virtual QRect AdjustCaptionRect(const QRect& Frame) const;
    int ButtonSize(const QRect& Caption) const;
    // Index counts visible buttons, 0 rightmost.
    virtual QRect GetButtonRect(const QRect& Caption, int Index) const;
    virtual TDockCaptionLayout GetCaptionLayout(const QRect& Caption, const TDockClientState& State,
                                                const std::vector<TDockClientButtonState>& Buttons) const;
    // 0 outside the caption, 10 + the button's index over a visible button, 1 elsewhere on it.
    virtual int DockCaptionHitTest(const QRect& Caption, const QPoint& Point,
                                   const std::vector<TDockClientButtonState>& Buttons) const;
    // The rectangle of button Index of Buttons; empty when it is hidden.
    QRect ButtonRectOf(const QRect& Caption, const std::vector<TDockClientButtonState>& Buttons,
                       int Index) const;

    virtual void Draw(QPainter& Canvas, const QRect& Caption, const TDockClientState& State,
                      const std::vector<TDockClientButtonState>& Buttons, IDockClient* Client) const;
    // Horizontal: a strip between stacked panes (a row of dots); vertical: between panes side by side.
    virtual void DrawSplitter(QPainter& Canvas, const QRect& Rect, Qt::Orientation Align) const;

protected:
    virtual int GetGrabberSize() const;
    virtual void DrawButton(QPainter& Canvas, const QRect& Rect, const QColor& Brush,
                            const TDockClientButtonState& State, IDockClient* Client) const;
    virtual void DrawGlyph(QPainter& Canvas, const QRect& Area, const QColor& Brush,
                           const QImage& Glyph) const;

private:
    TBetterDockTree* FDockTree;
    int FGrabberSize;
    int FButtonMargin = 1;
    int FTextMargin = 6;
    int FGlyphMargin = 6;
};

// The title bar widget the tree gives each QDockWidget of its site.
class TDockCaptionBar : public QWidget
{
    Q_OBJECT

public:
    TDockCaptionBar(QDockWidget* Dock, TBetterDockTree* Tree);

    QDockWidget* Dock() const { return FDock; }
    TBetterDockTree* Tree() const { return FTree; }
    void SetTree(TBetterDockTree* Tree);
    QRect CaptionRect() const;
    int HitTest(const QPoint& Pos) const;
    // The hint at Pos and the area it stays shown in; empty where there is none.
    QString HintAt(const QPoint& Pos, QRect* Area = nullptr) const;
    // The buttons with the hot and pressed states of the mouse.
    std::vector<TDockClientButtonState> Buttons() const;

    // The pane's height before it was rolled up.
    int UndockHeight() const { return FUndockHeight; }
    void SetUndockHeight(int Value) { FUndockHeight = Value; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void leaveEvent(QEvent* Event) override;

private:
    friend class TBetterDockTree;
    void SetHot(int Index);
    void UpdateCursor(const std::vector<TDockClientButtonState>& Buttons, int Code);

    QDockWidget* FDock;
    QPointer<TBetterDockTree> FTree;
    int FHotIndex = -1;
    int FPressedIndex = -1;
    bool FDragPending = false;
    QPoint FPressPos;
    int FUndockHeight = 0;
    // What rolling up changed, given back on restore.
    int FRolledMaximumHeight = 0;
    bool FRolledRetainSize = false;
};

// One per dock site (a QObject child of the site): captions for every QDockWidget of the site,
// those present and those added later, and grips on its separators.
class TBetterDockTree : public QObject
{
    Q_OBJECT

public:
    explicit TBetterDockTree(QMainWindow* DockSite);
    ~TBetterDockTree() override;

    QMainWindow* DockSite() const { return FDockSite; }
    TDockDrawer* DockDrawer();

    virtual void GetControlState(QDockWidget* Control, TDockClientState& State) const;
    // The state as drawn: the tree's, then the client's changes.
    TDockClientState ClientState(QDockWidget* Control) const;
    // Close (with the system menu) and roll (with minimize).
    int TreeButtonCount(QDockWidget* Control) const;
    // The tree's buttons, then the client's; ButtonRect in screen coordinates.
    std::vector<TDockClientButtonState> GetButtonStates(QDockWidget* Control);
    void ClickButton(QDockWidget* Control, int Index);

    // Hides the pane's content and leaves only its caption, or brings both back at the former
    // height.
    void RollUpOrRestore(QDockWidget* Form);
    bool IsRolledUp(QDockWidget* Form) const;

    // Gives a dock widget of this site its caption now (otherwise done when the site sees it).
    void Attach(QDockWidget* Dock);
    TDockCaptionBar* CaptionBarOf(QDockWidget* Dock) const;
    void UpdateCaptions();
    void ScheduleUpdateCaptions();

Q_SIGNALS:
    // The left button went down on the caption text or glyph and moved past the drag distance;
    // GlobalPos is where it went down.
    void CaptionDragStarted(QDockWidget* Control, QPoint GlobalPos);

protected:
    virtual std::unique_ptr<TDockDrawer> CreateDockDrawer();
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void AttachAll();
    void GiveBackHeight(QDockWidget* Form, int Height);
    bool BelongsToSite(QDockWidget* Dock) const;

    QMainWindow* FDockSite;
    std::unique_ptr<TDockDrawer> FDockDrawer;
    bool FRescanQueued = false;
    bool FCaptionsQueued = false;
};

// Makes every dock site that DockTreeOf is asked about get a TBetterDockTree.
void InstallBetterDockTree();
bool BetterDockTreeInstalled();
// The site's tree, created on the first call once installed; null before.
TBetterDockTree* DockTreeOf(QMainWindow* Site);
