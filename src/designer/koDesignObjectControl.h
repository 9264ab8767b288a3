// A control that shows a vertical list of equally high rows, draws each row itself and scrolls by whole
// rows; and the cache of design bitmaps shared by the object inspector, the property editors and the
// form designer.
#pragma once

#include "shell/koSplash.h" // EResNotFound

#include <QAbstractScrollArea>
#include <QColor>
#include <QImage>
#include <QList>

class TRunTimeCustomObjectControl : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit TRunTimeCustomObjectControl(QWidget* AOwner = nullptr);
    ~TRunTimeCustomObjectControl() override;

    int ItemCount() const { return int(FItems.size()); }
    int ItemHeight() const { return FItemHeight; }
    int TopIndex() const { return FTopIndex; }
    // Clamped to 0..ItemCount - GetVisibleCount.
    void SetTopIndex(int Value);

    QColor Color() const { return FColor; }
    void SetColor(const QColor& Value);

    // Nestable; the outermost EndUpdate repaints and resets the scroll bar once when a change is pending.
    void BeginUpdate();
    void EndUpdate();
    // Marks a change: repaints at once outside an update, else at the outermost EndUpdate.
    void Changed();

    // Whole rows that fit in the client area.
    int GetVisibleCount() const;
    // Scrolls Index into view, one row above the bottom when it lies below; no clamp at the bottom end.
    void MakeVisible(int Index);
    // The row whose hit-test rectangle holds Point (client coordinates), -1 when none.
    int ItemAtPos(const QPoint& Point) const;

protected:
    // Draws row Index into Rect; nothing in the base.
    virtual void DrawItem(QPainter& Canvas, int Index, const QRect& Rect);
    // The hit-test rectangle of row Index, given its band RowRect; the band itself in the base.
    virtual void GetItemRect(int Index, const QRect& RowRect, QRect& Rect) const;
    virtual void UpdateScrollBar();
    virtual void ItemsChanged();

    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;
    void scrollContentsBy(int DX, int DY) override;

    int FItemIndex = -1;
    int FItemHeight = 16;
    int FTopIndex = 0;
    // The row objects; a descendant decides what they are and owns them.
    QList<void*> FItems;
    int FUpdateCount = 0;
    bool FChanged = false;

private:
    QColor FColor;
    int FWheelDelta = 0;
    bool FSettingScrollBar = false;
};

// Loads the program's bitmap resource ResName once into the cache (names compared without regard to
// case). A 32-bit bitmap keeps its alpha; any other one, with Transparent, loses the colour of its
// bottom-left pixel. Raises EResNotFound when the program has no such bitmap.
void RegisterDesignBitmap(const QString& ResName, bool Transparent);
// The cached bitmap registered under Name, or nullptr; the cache keeps it.
const QImage* FindDesignBitmap(const QString& Name);
void FreeDesignBitmaps();

// Registers the design bitmaps the inspector, its editors and the form designer draw with.
void koDesignObjectControl_Initialize();
void koDesignObjectControl_Finalize();
