#include "HexDump.h"

#include "platform/Exceptions.h"
#include "platform/Format.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

namespace {
const char HexDigits[] = "0123456789ABCDEF";

int32_t ClampLine(int64_t Value, int32_t LineCount)
{
    return static_cast<int32_t>(std::max<int64_t>(0, std::min<int64_t>(Value, int64_t(LineCount) - 1)));
}

int HexValue(QChar Character)
{
    const char16_t c = Character.unicode();
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

// Our Format writes %p as every digit of a 64-bit pointer; addresses are shown with at least eight, so
// each pointer directive becomes "%.8X" (index, alignment and width kept) and is given a number.
QString NumericAddressFormat(const QString& Format)
{
    QString result;
    result.reserve(Format.size() + 4);
    qsizetype i = 0;
    const qsizetype n = Format.size();
    while (i < n) {
        const QChar c = Format.at(i++);
        result += c;
        if (c != QLatin1Char('%')) continue;
        if (i < n && Format.at(i) == QLatin1Char('%')) {
            result += QLatin1Char('%');
            ++i;
            continue;
        }
        const qsizetype start = i;
        while (i < n && !Format.at(i).isLetter()) ++i;
        if (i >= n) {
            result += QStringView(Format).mid(start);
            break;
        }
        QString directive = Format.mid(start, i - start);
        const QChar type = Format.at(i++);
        if (type.toLower() == QLatin1Char('p')) {
            const qsizetype dot = directive.indexOf(QLatin1Char('.'));
            if (dot >= 0) directive.truncate(dot);
            result += directive;
            result += QLatin1String(".8X");
        } else {
            result += directive;
            result += type;
        }
    }
    return result;
}

// Qt must not see an exception leave an event handler: it goes to the application's handler.
template <class F>
void Guarded(F&& Handler)
{
    try {
        Handler();
    } catch (...) {
        if (HandleApplicationException(std::current_exception())) return;
        try {
            throw;
        } catch (const std::exception& e) {
            qWarning("THexDump: %s", e.what());
        } catch (...) {
            qWarning("THexDump: unknown exception");
        }
    }
}
} // namespace

THexDump::THexDump(QWidget* AOwner) : QAbstractScrollArea(AOwner)
{
    FForegroundColors[0] = QColor(0x00, 0x00, 0x80); // clNavy
    FForegroundColors[1] = QColor(0x00, 0x00, 0x00); // clBlack
    FForegroundColors[2] = QColor(0x00, 0x00, 0xFF); // clBlue
    FForegroundColors[3] = QColor(0x80, 0x80, 0x80); // clGray
    FForegroundColors[4] = QColor(0x80, 0x80, 0x80);
    FBackgroundColors[0] = QColor(0xC0, 0xC0, 0xC0); // clSilver
    FBackgroundColors[1] = QColor(0xFF, 0xFF, 0xFF); // clWhite
    FBackgroundColors[2] = QColor();                 // clDefault: no striping
    FBackgroundColors[3] = QColor(0xC0, 0xC0, 0xC0);
    FVisibleCharacters.IncludeRange(32, 127);
    SetAddressFormat(QStringLiteral("%p"));

    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    QPalette palette = viewport()->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(palette);
    viewport()->setAutoFillBackground(true);
    resize(300, 200);

    const int flash = QApplication::cursorFlashTime();
    FCaretTimer.setInterval(flash > 0 ? flash / 2 : 0);
    connect(&FCaretTimer, &QTimer::timeout, this, [this] {
        FCaretBlinkOn = !FCaretBlinkOn;
        viewport()->update(FDrawnCaret);
        viewport()->update(CaretRect());
    });

    MeasureFont();
    Relayout();
}

THexDump::~THexDump() = default;

// Properties

void THexDump::ResetPosition()
{
    FCurrentLine = 0;
    FCurrentLinePos = 0;
    FTopLine = 0;
    const QSignalBlocker block(verticalScrollBar());
    verticalScrollBar()->setValue(0);
}

void THexDump::SetAddress(uint8_t* Value)
{
    FAddress = Value;
    FActive = FAddress && FDataSize > 0;
    ResetPosition();
    viewport()->update();
    UpdateCaret();
}

void THexDump::SetDataSize(int32_t Value)
{
    FDataSize = std::max<int32_t>(0, Value);
    FActive = FAddress && FDataSize > 0;
    ResetPosition();
    UpdateLayout();
    viewport()->update();
    UpdateScrollRange();
    UpdateCaret();
}

void THexDump::SetAddressOffset(int32_t Value)
{
    FAddressOffset = Value;
    viewport()->update();
}

void THexDump::SetAddressFormat(const QString& Value)
{
    const QString numeric = NumericAddressFormat(Value);
    // Raises here rather than on every paint.
    Format(numeric, {uint64_t(0)});
    FAddressFormat = Value;
    FNumericAddressFormat = numeric;
    Relayout();
    viewport()->update();
}

void THexDump::SetRelativeAddress(bool Value)
{
    FRelativeAddress = Value;
    // The address width depends on what is shown.
    Relayout();
    viewport()->update();
}

void THexDump::SetBorder(TBorderStyle Value)
{
    if (Value == FBorder) return;
    FBorder = Value;
    setFrameStyle(FBorder == bsSingle ? (QFrame::Box | QFrame::Plain) : QFrame::NoFrame);
}

void THexDump::SetReadOnly(bool Value) { FReadOnly = Value; }

// The row layout follows at once, so that caret, clicks and painting agree on the columns.
void THexDump::SetShowAddress(bool Value)
{
    FShowAddress = Value;
    Relayout();
    viewport()->update();
}

void THexDump::SetShowCharacters(bool Value)
{
    FShowCharacters = Value;
    if (!FShowCharacters) FEditCharacters = false;
    Relayout();
    viewport()->update();
}

#define HEXDUMP_LAYOUT_SETTER(Name)                                                                   \
    void THexDump::Set##Name(int32_t Value)                                                           \
    {                                                                                                 \
        F##Name = Value;                                                                              \
        Relayout();                                                                                   \
        viewport()->update();                                                                         \
    }
HEXDUMP_LAYOUT_SETTER(RightAddressMargin)
HEXDUMP_LAYOUT_SETTER(LeftHexMargin)
HEXDUMP_LAYOUT_SETTER(RightHexMargin)
HEXDUMP_LAYOUT_SETTER(LeftAnsiMargin)
HEXDUMP_LAYOUT_SETTER(LeftDividerWidth)
HEXDUMP_LAYOUT_SETTER(RightDividerWidth)
#undef HEXDUMP_LAYOUT_SETTER

void THexDump::SetVisibleCharacters(const TByteSet& Value)
{
    FVisibleCharacters = Value;
    viewport()->update();
}

void THexDump::SetNonprintableReplacement(QChar Value)
{
    FNonprintableReplacement = Value;
    viewport()->update();
}

void THexDump::SetColor(QColor& Field, const QColor& Value)
{
    if (Field == Value) return;
    Field = Value;
    viewport()->update();
}

QColor THexDump::HexDataBackgroundColorOdd() const
{
    return FBackgroundColors[2].isValid() ? FBackgroundColors[2] : FBackgroundColors[1];
}

// Update batches

void THexDump::BeginUpdate() { ++FUpdateCount; }

void THexDump::EndUpdate()
{
    ATELIER_ASSERT(FUpdateCount > 0);
    if (FUpdateCount == 1 && FChanged) {
        // A handler that raises must not leave the batch open, or no later change would be reported.
        try {
            if (OnChanged) OnChanged();
        } catch (...) {
            FChanged = false;
            --FUpdateCount;
            viewport()->update();
            throw;
        }
        FChanged = false;
        viewport()->update();
    }
    --FUpdateCount;
}

void THexDump::Changed()
{
    BeginUpdate();
    FChanged = true;
    EndUpdate();
}

// Layout

void THexDump::MeasureFont()
{
    const QFontMetrics metrics(font());
    FItemHeight = metrics.height() + 2;
    FItemWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('E')));
    // Fonts whose advances are not whole pixels would drift off the cells in a long run of text.
    const QFontMetricsF exact(font());
    const QString sample = QStringLiteral("0123456789ABCDEF .");
    FExactPitch = qFuzzyCompare(exact.horizontalAdvance(sample), qreal(FItemWidth) * sample.size());
}

void THexDump::UpdateLayout()
{
    if (FItemHeight <= 0) return;
    FVisibleLines = viewport()->height() / FItemHeight + 1;
    FAddressWidth = FShowAddress ? fontMetrics().horizontalAdvance(FormatAddress(0)) : 0;
    int32_t avail = viewport()->width() - FLeftHexMargin - FRightHexMargin;
    if (FShowAddress) avail -= FAddressWidth + FRightAddressMargin + FLeftDividerWidth;
    if (FShowCharacters) avail -= FLeftAnsiMargin + FRightDividerWidth;
    const int32_t cellsPerByte = FShowCharacters ? 4 : 3;
    FBytesPerLine = std::clamp((avail / FItemWidth + 1) / cellsPerByte, 1, 16);
    FLineCount = FDataSize / FBytesPerLine + (FDataSize % FBytesPerLine != 0 ? 1 : 0);
}

void THexDump::Relayout()
{
    const int32_t oldBytesPerLine = FBytesPerLine;
    const int64_t offset = int64_t(FCurrentLine) * oldBytesPerLine + FCurrentLinePos;
    UpdateLayout();
    // Before the caret moves, so that the scroll bar can take the new top line.
    UpdateScrollRange();
    if (FBytesPerLine != oldBytesPerLine && FBytesPerLine > 0) {
        SetCurrentLine(ClampLine(offset / FBytesPerLine, FLineCount));
        SetCurrentLinePos(static_cast<int32_t>(offset % FBytesPerLine));
        UpdateCaret();
    }
}

void THexDump::UpdateScrollRange()
{
    // The whole line range: a 16-bit thumb position would leave lines past 32767 out of reach.
    const int32_t lastLine = std::max<int32_t>(0, FLineCount - 1);
    if (FTopLine > lastLine) {
        FTopLine = lastLine;
        viewport()->update();
    }
    QScrollBar* bar = verticalScrollBar();
    const QSignalBlocker block(bar);
    bar->setRange(0, lastLine);
    bar->setSingleStep(1);
    bar->setPageStep(std::max<int32_t>(1, FVisibleLines - 1));
    bar->setValue(FTopLine);
}

int THexDump::HexColumnLeft() const
{
    return FShowAddress ? FAddressWidth + FRightAddressMargin + FLeftDividerWidth : 0;
}

// Texts

QString THexDump::FormatAddress(int32_t Line) const
{
    const int64_t step = int64_t(Line) * FBytesPerLine;
    const uint64_t value = FRelativeAddress ? uint64_t(uint32_t(int64_t(FAddressOffset) + step))
                                            : uint64_t(reinterpret_cast<quintptr>(FAddress)) + uint64_t(step);
    return Format(FNumericAddressFormat, {value});
}

QString THexDump::LineHexText(int32_t Line) const
{
    if (!FActive || Line < 0 || Line >= FLineCount) return {};
    const int64_t start = int64_t(Line) * FBytesPerLine;
    const int32_t count = static_cast<int32_t>(std::min<int64_t>(FBytesPerLine, FDataSize - start));
    QString text(3 * count - 1, QLatin1Char(' '));
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t value = FAddress[start + i];
        text[3 * i] = QLatin1Char(HexDigits[value >> 4]);
        text[3 * i + 1] = QLatin1Char(HexDigits[value & 0x0F]);
    }
    return text;
}

QString THexDump::LineCharText(int32_t Line) const
{
    if (!FActive || Line < 0 || Line >= FLineCount) return {};
    const int64_t start = int64_t(Line) * FBytesPerLine;
    const int32_t count = static_cast<int32_t>(std::min<int64_t>(FBytesPerLine, FDataSize - start));
    QString text(count, FNonprintableReplacement);
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t value = FAddress[start + i];
        if (FVisibleCharacters.Contains(value)) text[i] = QChar(char16_t(value));
    }
    return text;
}

// Caret

QRect THexDump::CaretRect() const
{
    int64_t x = HexColumnLeft() + FLeftHexMargin;
    if (FEditCharacters)
        x += FRightHexMargin + FRightDividerWidth + FLeftAnsiMargin +
             int64_t(FItemWidth) * (FCurrentLinePos + 3 * FBytesPerLine - 1);
    else
        x += int64_t(FItemWidth) * 3 * FCurrentLinePos + (FLowNibble ? FItemWidth : 0);
    // Far off-screen rows are kept in int range.
    const int64_t y = std::clamp<int64_t>(int64_t(FCurrentLine - FTopLine) * FItemHeight, -(1 << 20), 1 << 20);
    return QRect(static_cast<int>(x), static_cast<int>(y), FItemWidth, FItemHeight);
}

void THexDump::UpdateCaret()
{
    if (!hasFocus()) {
        viewport()->update(FDrawnCaret);
        return;
    }
    // A caret that moves shows at once and blinks from there.
    FCaretBlinkOn = true;
    if (FCaretTimer.interval() > 0) FCaretTimer.start();
    viewport()->update(FDrawnCaret);
    viewport()->update(CaretRect());
}

void THexDump::SetCurrentLine(int32_t Value)
{
    if (Value == FCurrentLine) return;
    FCurrentLine = ClampLine(Value, FLineCount);
    ScrollIntoView();
    UpdateCaret();
}

void THexDump::ScrollIntoView()
{
    if (FCurrentLine < FTopLine)
        SetTopLine(FCurrentLine);
    else if (int64_t(FCurrentLine) >= int64_t(FTopLine) + FVisibleLines - 1)
        // The caret row stays out of the last, possibly partial row.
        SetTopLine(ClampLine(int64_t(FCurrentLine) - FVisibleLines + 2, FLineCount));
}

void THexDump::SetTopLine(int32_t Value)
{
    Value = ClampLine(Value, FLineCount);
    if (Value == FTopLine) return;
    const int64_t moved = int64_t(Value) - FTopLine;
    FTopLine = Value;
    {
        const QSignalBlocker block(verticalScrollBar());
        verticalScrollBar()->setValue(FTopLine);
    }
    if (moved == 1 || moved == -1) {
        const int dy = static_cast<int>(-moved) * FItemHeight;
        viewport()->scroll(0, dy);
        FDrawnCaret.translate(0, dy);
    } else {
        viewport()->update();
    }
}

void THexDump::SetCurrentLinePos(int32_t Value)
{
    if (Value == FCurrentLinePos) return;
    int64_t v = Value;
    if (v >= FBytesPerLine && FCurrentLine < FLineCount - 1) {
        const int64_t lines = std::min<int64_t>(v / FBytesPerLine, int64_t(FLineCount) - 1 - FCurrentLine);
        SetCurrentLine(static_cast<int32_t>(FCurrentLine + lines));
        v -= lines * FBytesPerLine;
    }
    const int32_t remainder = FDataSize % FBytesPerLine;
    const int32_t lineLength = FCurrentLine == FLineCount - 1 && remainder != 0 ? remainder : FBytesPerLine;
    if (v >= lineLength) {
        // Stops on the last digit of the line's last byte.
        FLowNibble = true;
        v = lineLength - 1;
    }
    if (v < 0 && FCurrentLine > 0) {
        const int64_t lines = std::min<int64_t>((-v + FBytesPerLine - 1) / FBytesPerLine, FCurrentLine);
        SetCurrentLine(static_cast<int32_t>(FCurrentLine - lines));
        v += lines * FBytesPerLine;
    }
    if (v < 0) {
        FLowNibble = false;
        v = 0;
    }
    FCurrentLinePos = static_cast<int32_t>(v);
    UpdateCaret();
}

void THexDump::SetEditCharacters(bool Value)
{
    if (Value == FEditCharacters) return;
    FEditCharacters = Value && FShowCharacters;
    UpdateCaret();
}

void THexDump::SetLowNibble(bool Value)
{
    if (Value == FLowNibble) return;
    FLowNibble = Value;
    UpdateCaret();
}

// Painting

void THexDump::DrawCells(QPainter& Painter, int X, int Y, const QString& Text) const
{
    const int baseline = Y + Painter.fontMetrics().ascent();
    bool oneRun = FExactPitch;
    for (QChar c : Text)
        if (c.unicode() > 0x7E) oneRun = false; // may come from a fallback font of another width
    if (oneRun) {
        Painter.drawText(QPoint(X, baseline), Text);
        return;
    }
    for (qsizetype i = 0; i < Text.size(); ++i)
        if (Text.at(i) != QLatin1Char(' ')) Painter.drawText(QPoint(X + int(i) * FItemWidth, baseline), QString(Text.at(i)));
}

void THexDump::paintEvent(QPaintEvent* Event)
{
    Guarded([&] {
        QPainter painter(viewport());
        painter.setFont(font());
        const int width = viewport()->width();
        const int height = viewport()->height();
        const QRect dirty = Event->rect();

        int x = 0;
        if (FShowAddress) {
            painter.fillRect(0, 0, FAddressWidth + FRightAddressMargin, height, AddressBackgroundColor());
            x = FAddressWidth + FRightAddressMargin;
            if (FLeftDividerWidth > 0) {
                painter.fillRect(x, 0, FLeftDividerWidth, height, LeftDividerColor());
                x += FLeftDividerWidth;
            }
        }
        const int hexLeft = x;
        const int hexRight = FShowCharacters ? hexLeft + FLeftHexMargin + HexColumnTextWidth() + FRightHexMargin : width;
        const int charLeft = hexRight + std::max(0, FRightDividerWidth) + FLeftAnsiMargin;
        const QColor even = HexDataBackgroundColor();
        const QColor odd = HexDataBackgroundColorOdd();
        const bool striped = odd != even;
        const int firstRow = std::max(0, dirty.top() / FItemHeight);
        const int lastRow = std::min(FVisibleLines - 1, dirty.bottom() / FItemHeight);
        if (!striped) {
            painter.fillRect(hexLeft, 0, hexRight - hexLeft, height, even);
        } else {
            for (int row = firstRow; row <= lastRow; ++row) {
                const bool isOdd = ((int64_t(FTopLine) + row) & 1) != 0;
                painter.fillRect(hexLeft, row * FItemHeight, hexRight - hexLeft, FItemHeight, isOdd ? odd : even);
            }
        }
        if (FShowCharacters) {
            int divider = hexRight;
            if (FRightDividerWidth > 0) {
                painter.fillRect(divider, 0, FRightDividerWidth, height, RightDividerColor());
                divider += FRightDividerWidth;
            }
            painter.fillRect(divider, 0, width - divider, height, AnsiCharBackgroundColor());
        }

        if (FActive) {
            for (int row = firstRow; row <= lastRow; ++row) {
                const int64_t line = int64_t(FTopLine) + row;
                if (line >= FLineCount) break;
                const int top = row * FItemHeight;
                if (FShowAddress) {
                    painter.setClipRect(0, top, FAddressWidth + FRightAddressMargin, FItemHeight);
                    painter.setPen(AddressColor());
                    painter.drawText(QPoint(0, top + painter.fontMetrics().ascent()), FormatAddress(int32_t(line)));
                    painter.setClipping(false);
                }
                painter.setPen(HexDataColor());
                DrawCells(painter, hexLeft + FLeftHexMargin, top, LineHexText(int32_t(line)));
                if (FShowCharacters) {
                    painter.setClipRect(charLeft, top, std::max(0, width - charLeft), FItemHeight);
                    painter.setPen(AnsiCharColor());
                    DrawCells(painter, charLeft, top, LineCharText(int32_t(line)));
                    painter.setClipping(false);
                }
            }
        }

        if (hasFocus() && FCaretBlinkOn) {
            FDrawnCaret = CaretRect();
            painter.setCompositionMode(QPainter::CompositionMode_Difference);
            painter.fillRect(FDrawnCaret, Qt::white);
        } else {
            FDrawnCaret = QRect();
        }
    });
}

// Events

void THexDump::resizeEvent(QResizeEvent* Event)
{
    QAbstractScrollArea::resizeEvent(Event);
    Guarded([&] { Relayout(); });
}

void THexDump::changeEvent(QEvent* Event)
{
    QAbstractScrollArea::changeEvent(Event);
    if (Event->type() == QEvent::FontChange)
        Guarded([&] {
            MeasureFont();
            Relayout();
            viewport()->update();
        });
}

void THexDump::scrollContentsBy(int, int)
{
    Guarded([&] {
        SetTopLine(verticalScrollBar()->value());
        UpdateCaret();
    });
}

bool THexDump::event(QEvent* Event)
{
    // Tab belongs to the dump (switching columns) unless it is read-only.
    if (Event->type() == QEvent::KeyPress && !FReadOnly) {
        auto* key = static_cast<QKeyEvent*>(Event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            keyPressEvent(key);
            return true;
        }
    }
    return QAbstractScrollArea::event(Event);
}

void THexDump::keyPressEvent(QKeyEvent* Event)
{
    Guarded([&] { HandleKey(Event); });
}

void THexDump::HandleKey(QKeyEvent* Event)
{
    Event->accept();
    switch (Event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (FActive) SetEditCharacters(!FEditCharacters);
        return;
    case Qt::Key_PageUp:
        if (FActive) SetCurrentLine(ClampLine(int64_t(FCurrentLine) - FVisibleLines, FLineCount));
        return;
    case Qt::Key_PageDown:
        if (FActive) SetCurrentLine(ClampLine(int64_t(FCurrentLine) + FVisibleLines, FLineCount));
        return;
    case Qt::Key_Home:
        if (FActive) SetCurrentLine(0);
        return;
    case Qt::Key_End:
        if (FActive) SetCurrentLine(FLineCount - 1);
        return;
    case Qt::Key_Up:
        if (FActive) SetCurrentLine(ClampLine(int64_t(FCurrentLine) - 1, FLineCount));
        return;
    case Qt::Key_Down:
        if (FActive) SetCurrentLine(ClampLine(int64_t(FCurrentLine) + 1, FLineCount));
        return;
    case Qt::Key_Left:
        if (!FActive) return;
        if (FEditCharacters || !FLowNibble) {
            SetLowNibble(true);
            SetCurrentLinePos(FCurrentLinePos - 1);
        } else {
            SetLowNibble(false);
        }
        return;
    case Qt::Key_Right:
        if (!FActive) return;
        if (FEditCharacters || FLowNibble) {
            SetLowNibble(false);
            SetCurrentLinePos(FCurrentLinePos + 1);
        } else {
            SetLowNibble(true);
        }
        return;
    case Qt::Key_Delete: // its text is DEL, which is no typed character
        Event->ignore();
        return;
    default: break;
    }
    // Shortcuts are no typing.
    if (Event->text().isEmpty() || (Event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        Event->ignore();
        return;
    }
    for (QChar c : Event->text()) HandleCharacter(c);
}

void THexDump::HandleCharacter(QChar Character)
{
    const char16_t code = Character.unicode();
    if (!CanEdit() || code < 32 || code > 255) return;
    const int64_t offset = int64_t(FCurrentLine) * FBytesPerLine + FCurrentLinePos;
    if (offset < 0 || offset >= FDataSize) return;
    uint8_t& byte = FAddress[offset];
    if (FEditCharacters) {
        byte = static_cast<uint8_t>(code);
    } else {
        const int value = HexValue(Character);
        if (value < 0) return;
        byte = FLowNibble ? uint8_t((byte & 0xF0) | value) : uint8_t((byte & 0x0F) | (value << 4));
    }
    if (FEditCharacters || FLowNibble) {
        SetLowNibble(false);
        SetCurrentLinePos(FCurrentLinePos + 1);
    } else {
        SetLowNibble(true);
    }
    Changed();
}

void THexDump::mousePressEvent(QMouseEvent* Event)
{
    Guarded([&] { HandleMouseDown(Event); });
}

void THexDump::mouseDoubleClickEvent(QMouseEvent* Event)
{
    Guarded([&] { HandleMouseDown(Event); });
}

void THexDump::HandleMouseDown(QMouseEvent* Event)
{
    setFocus(Qt::MouseFocusReason);
    if (Event->button() != Qt::LeftButton || !FActive) return;
    const QPoint at = Event->position().toPoint();
    SetCurrentLine(ClampLine(int64_t(at.y()) / FItemHeight + FTopLine, FLineCount));
    // Measured from the hex text, as the caret is placed.
    const int x = at.x() - HexColumnLeft() - FLeftHexMargin;
    int32_t position = 0;
    if (x >= 0) {
        const int hexWidth = HexColumnTextWidth() + FRightHexMargin + FRightDividerWidth;
        if (x <= hexWidth) {
            SetEditCharacters(false);
            // A click in the right margin gives BytesPerLine: the first byte of the next line.
            position = x / (3 * FItemWidth);
        } else if (FShowCharacters) {
            SetEditCharacters(true);
            const int c = x - hexWidth - FLeftAnsiMargin;
            position = c < 0 ? 0 : c < FItemWidth * FBytesPerLine ? c / FItemWidth : FBytesPerLine - 1;
        }
    }
    SetLowNibble(false);
    SetCurrentLinePos(position);
    UpdateCaret();
}

void THexDump::focusInEvent(QFocusEvent* Event)
{
    QAbstractScrollArea::focusInEvent(Event);
    UpdateCaret();
}

void THexDump::focusOutEvent(QFocusEvent* Event)
{
    QAbstractScrollArea::focusOutEvent(Event);
    FCaretTimer.stop();
    viewport()->update(FDrawnCaret);
}

THexDump* CreateHexDump(QWidget* AOwner)
{
    auto* dump = new THexDump(AOwner);
    const QString fixedSys = QStringLiteral("FixedSys");
    dump->setFont(QFontDatabase::hasFamily(fixedSys) ? QFont(fixedSys) : QFontDatabase::systemFont(QFontDatabase::FixedFont));
    dump->SetShowCharacters(true);
    if (AOwner) {
        QLayout* layout = AOwner->layout();
        if (!layout) {
            layout = new QVBoxLayout(AOwner);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->setSpacing(0);
        }
        layout->addWidget(dump);
    }
    return dump;
}
