#include "koDesignObjectControl.h"

#include "platform/Format.h"
#include "shell/koGlyphService.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <map>
#include <memory>

TRunTimeCustomObjectControl::TRunTimeCustomObjectControl(QWidget* AOwner) : QAbstractScrollArea(AOwner)
{
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Painting covers the whole client area: nothing is erased first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    FColor = palette().color(QPalette::Button);
}

TRunTimeCustomObjectControl::~TRunTimeCustomObjectControl() = default;

void TRunTimeCustomObjectControl::SetColor(const QColor& Value)
{
    if (Value == FColor)
        return;
    FColor = Value;
    viewport()->update();
}

void TRunTimeCustomObjectControl::BeginUpdate()
{
    ++FUpdateCount;
}

void TRunTimeCustomObjectControl::EndUpdate()
{
    --FUpdateCount;
    if (FUpdateCount == 0 && FChanged) {
        ItemsChanged();
        FChanged = false;
    }
}

void TRunTimeCustomObjectControl::Changed()
{
    FChanged = true;
    BeginUpdate();
    EndUpdate();
}

int TRunTimeCustomObjectControl::GetVisibleCount() const
{
    return viewport()->height() / FItemHeight;
}

void TRunTimeCustomObjectControl::SetTopIndex(int Value)
{
    Value = std::max(std::min(Value, ItemCount() - GetVisibleCount()), 0);
    if (Value != FTopIndex) {
        FTopIndex = Value;
        Changed();
    }
}

void TRunTimeCustomObjectControl::MakeVisible(int Index)
{
    if (Index >= FTopIndex + GetVisibleCount())
        FTopIndex = Index - GetVisibleCount() + 2;
    else if (Index < FTopIndex)
        FTopIndex = Index;
    if (FTopIndex < 0)
        FTopIndex = 0;
    Changed();
}

int TRunTimeCustomObjectControl::ItemAtPos(const QPoint& Point) const
{
    QRect band(0, 0, viewport()->width(), FItemHeight);
    for (int i = FTopIndex; i < ItemCount(); ++i) {
        QRect rect;
        GetItemRect(i, band, rect);
        if (rect.contains(Point))
            return i;
        band.translate(0, FItemHeight);
    }
    return -1;
}

void TRunTimeCustomObjectControl::DrawItem(QPainter&, int, const QRect&) {}

void TRunTimeCustomObjectControl::GetItemRect(int, const QRect& RowRect, QRect& Rect) const
{
    Rect = RowRect;
}

void TRunTimeCustomObjectControl::UpdateScrollBar()
{
    // A scroll range 0..n-1 with a page of p rows is Qt's 0..n-p with that page step.
    const int visible = GetVisibleCount();
    const int maximum = ItemCount() > 0 && visible < ItemCount() ? ItemCount() - visible : 0;
    QScrollBar* bar = verticalScrollBar();
    FSettingScrollBar = true;
    bar->setRange(0, maximum);
    bar->setPageStep(std::max(visible, 1));
    bar->setSingleStep(1);
    bar->setValue(FTopIndex);
    FSettingScrollBar = false;
}

void TRunTimeCustomObjectControl::ItemsChanged()
{
    viewport()->update();
    UpdateScrollBar();
}

void TRunTimeCustomObjectControl::paintEvent(QPaintEvent*)
{
    QPainter canvas(viewport());
    const QRect client = viewport()->rect();
    canvas.fillRect(client, FColor);
    QRect band(0, 0, client.width(), FItemHeight);
    for (int i = FTopIndex; i < ItemCount(); ++i) {
        canvas.save();
        DrawItem(canvas, i, band);
        canvas.restore();
        band.translate(0, FItemHeight);
        if (!band.intersects(client))
            break;
    }
}

void TRunTimeCustomObjectControl::resizeEvent(QResizeEvent* Event)
{
    QAbstractScrollArea::resizeEvent(Event);
    UpdateScrollBar();
}

void TRunTimeCustomObjectControl::wheelEvent(QWheelEvent* Event)
{
    // Three rows per wheel step; a step that cannot scroll is left to the parent.
    FWheelDelta += Event->angleDelta().y();
    bool handled = false;
    while (FWheelDelta <= -120) {
        FWheelDelta += 120;
        if (GetVisibleCount() + FTopIndex >= ItemCount())
            continue;
        SetTopIndex(FTopIndex + 3);
        handled = true;
    }
    while (FWheelDelta >= 120) {
        FWheelDelta -= 120;
        if (FTopIndex == 0)
            continue;
        SetTopIndex(std::max(FTopIndex - 3, 0));
        handled = true;
    }
    Event->setAccepted(handled);
}

void TRunTimeCustomObjectControl::scrollContentsBy(int, int)
{
    // The scroll bar moved by the user: line, page, top, bottom or the thumb.
    if (!FSettingScrollBar)
        SetTopIndex(verticalScrollBar()->value());
}

namespace {

std::map<QString, std::unique_ptr<QImage>>*& DesignBitmaps()
{
    static std::map<QString, std::unique_ptr<QImage>>* cache = nullptr;
    return cache;
}

// Upper case of A to Z only, as resource names compare.
QString ResourceKey(const QString& Name)
{
    QString key = Name;
    for (QChar& c : key)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 32);
    return key;
}

} // namespace

void RegisterDesignBitmap(const QString& ResName, bool Transparent)
{
    auto*& cache = DesignBitmaps();
    if (!cache)
        cache = new std::map<QString, std::unique_ptr<QImage>>;
    const QString key = ResourceKey(ResName);
    if (cache->count(key))
        return;
    const std::optional<QByteArray> data = FindProgramBitmap(key);
    QImage loaded;
    if (!data || !loaded.loadFromData(*data))
        throw EResNotFound(Format(QStringLiteral("Resource %s not found"), {key}));
    auto bitmap = std::make_unique<QImage>(loaded.convertToFormat(QImage::Format_ARGB32));
    if (!loaded.hasAlphaChannel() && Transparent && !bitmap->isNull()) {
        const QRgb keyColour = bitmap->pixel(0, bitmap->height() - 1) & 0xFFFFFF;
        for (int y = 0; y < bitmap->height(); ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(bitmap->scanLine(y));
            for (int x = 0; x < bitmap->width(); ++x)
                if ((line[x] & 0xFFFFFF) == keyColour)
                    line[x] = 0;
        }
    }
    cache->emplace(key, std::move(bitmap));
}

const QImage* FindDesignBitmap(const QString& Name)
{
    const auto* cache = DesignBitmaps();
    if (!cache)
        return nullptr;
    const auto it = cache->find(ResourceKey(Name));
    return it == cache->end() ? nullptr : it->second.get();
}

void FreeDesignBitmaps()
{
    delete DesignBitmaps();
    DesignBitmaps() = nullptr;
}

void koDesignObjectControl_Initialize()
{
    RegisterDesignBitmap(QStringLiteral("DESIGN_FONT_DEVICE"), true);
    RegisterDesignBitmap(QStringLiteral("DESIGN_FONT_FIXEDPITCH"), true);
    RegisterDesignBitmap(QStringLiteral("DESIGN_FONT_TRUETYPE"), true);
    RegisterDesignBitmap(QStringLiteral("DESIGN_FONT_TRUETYPEFIXED"), true);
    RegisterDesignBitmap(QStringLiteral("DESIGN_EDIT_ELIPSIS"), false);
    RegisterDesignBitmap(QStringLiteral("DESIGN_PROP_EXPAND"), false);
    RegisterDesignBitmap(QStringLiteral("DESIGN_PROP_COLLAPSE"), false);
}

void koDesignObjectControl_Finalize()
{
    FreeDesignBitmaps();
}
