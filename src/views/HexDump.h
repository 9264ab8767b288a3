// A self-drawn hex dump of a block of memory owned by someone else: address, hex and character columns,
// with a caret that moves over the bytes and overwrites them in hex or as characters.
#pragma once

#include "platform/Graphics.h"
#include "platform/Sets.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QTimer>
#include <cstdint>
#include <functional>

class THexDump : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit THexDump(QWidget* AOwner = nullptr);
    ~THexDump() override;

    // The block is not owned: the owner keeps it alive while it is shown and clears DataSize and Address
    // before it frees it.
    uint8_t* Address() const { return FAddress; }
    void SetAddress(uint8_t* Value);
    int32_t DataSize() const { return FDataSize; }
    void SetDataSize(int32_t Value);

    int32_t AddressOffset() const { return FAddressOffset; }
    void SetAddressOffset(int32_t Value);
    // Format syntax (platform/Format.h); "%p" gives at least eight upper-case hex digits. A format that cannot
    // take the address raises EConvertError and is not taken.
    QString AddressFormat() const { return FAddressFormat; }
    void SetAddressFormat(const QString& Value);
    bool RelativeAddress() const { return FRelativeAddress; }
    void SetRelativeAddress(bool Value);

    int32_t CurrentLine() const { return FCurrentLine; }
    void SetCurrentLine(int32_t Value);
    int32_t CurrentLinePos() const { return FCurrentLinePos; }
    void SetCurrentLinePos(int32_t Value);
    bool EditCharacters() const { return FEditCharacters; }
    void SetEditCharacters(bool Value);
    bool LowNibble() const { return FLowNibble; }
    void SetLowNibble(bool Value);
    bool Modified() const { return FChanged; }

    TBorderStyle Border() const { return FBorder; }
    void SetBorder(TBorderStyle Value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value);
    bool ShowAddress() const { return FShowAddress; }
    void SetShowAddress(bool Value);
    bool ShowCharacters() const { return FShowCharacters; }
    void SetShowCharacters(bool Value);

    int32_t RightAddressMargin() const { return FRightAddressMargin; }
    void SetRightAddressMargin(int32_t Value);
    int32_t LeftHexMargin() const { return FLeftHexMargin; }
    void SetLeftHexMargin(int32_t Value);
    int32_t RightHexMargin() const { return FRightHexMargin; }
    void SetRightHexMargin(int32_t Value);
    int32_t LeftAnsiMargin() const { return FLeftAnsiMargin; }
    void SetLeftAnsiMargin(int32_t Value);
    int32_t LeftDividerWidth() const { return FLeftDividerWidth; }
    void SetLeftDividerWidth(int32_t Value);
    int32_t RightDividerWidth() const { return FRightDividerWidth; }
    void SetRightDividerWidth(int32_t Value);

    const TByteSet& VisibleCharacters() const { return FVisibleCharacters; }
    void SetVisibleCharacters(const TByteSet& Value);
    QChar NonprintableReplacement() const { return FNonprintableReplacement; }
    void SetNonprintableReplacement(QChar Value);

    // An invalid QColor stands for clDefault.
    QColor AddressColor() const { return FForegroundColors[0]; }
    void SetAddressColor(const QColor& Value) { SetColor(FForegroundColors[0], Value); }
    QColor HexDataColor() const { return FForegroundColors[1]; }
    void SetHexDataColor(const QColor& Value) { SetColor(FForegroundColors[1], Value); }
    QColor AnsiCharColor() const { return FForegroundColors[2]; }
    void SetAnsiCharColor(const QColor& Value) { SetColor(FForegroundColors[2], Value); }
    QColor LeftDividerColor() const { return FForegroundColors[3]; }
    void SetLeftDividerColor(const QColor& Value) { SetColor(FForegroundColors[3], Value); }
    QColor RightDividerColor() const { return FForegroundColors[4]; }
    void SetRightDividerColor(const QColor& Value) { SetColor(FForegroundColors[4], Value); }
    QColor AddressBackgroundColor() const { return FBackgroundColors[0]; }
    void SetAddressBackgroundColor(const QColor& Value) { SetColor(FBackgroundColors[0], Value); }
    QColor HexDataBackgroundColor() const { return FBackgroundColors[1]; }
    void SetHexDataBackgroundColor(const QColor& Value) { SetColor(FBackgroundColors[1], Value); }
    // Without an odd colour of its own, the even one.
    QColor HexDataBackgroundColorOdd() const;
    void SetHexDataBackgroundColorOdd(const QColor& Value) { SetColor(FBackgroundColors[2], Value); }
    QColor AnsiCharBackgroundColor() const { return FBackgroundColors[3]; }
    void SetAnsiCharBackgroundColor(const QColor& Value) { SetColor(FBackgroundColors[3], Value); }

    // Changes inside a batch are reported once, at the outermost EndUpdate.
    void BeginUpdate();
    void EndUpdate();

    // After every typed byte or digit (or once per batch).
    std::function<void()> OnChanged;

    // The layout and texts as drawn, for owners and tests.
    int32_t TopLine() const { return FTopLine; }
    int32_t VisibleLines() const { return FVisibleLines; }
    int32_t LineCount() const { return FLineCount; }
    int32_t BytesPerLine() const { return FBytesPerLine; }
    int32_t ItemHeight() const { return FItemHeight; }
    int32_t ItemWidth() const { return FItemWidth; }
    int32_t AddressWidth() const { return FAddressWidth; }
    QString FormatAddress(int32_t Line) const;
    QString LineHexText(int32_t Line) const;
    QString LineCharText(int32_t Line) const;
    // In viewport coordinates, where the caret is while the control has the focus.
    QRect CaretRect() const;

protected:
    bool event(QEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    void scrollContentsBy(int Dx, int Dy) override;

private:
    void SetColor(QColor& Field, const QColor& Value);
    void MeasureFont();
    void UpdateLayout();
    // The layout again, keeping the caret on its byte when the row width changes.
    void Relayout();
    void UpdateScrollRange();
    void SetTopLine(int32_t Value);
    void ScrollIntoView();
    void UpdateCaret();
    void Changed();
    bool CanEdit() const { return !FReadOnly && FActive; }
    void ResetPosition();
    void HandleKey(QKeyEvent* Event);
    void HandleCharacter(QChar Character);
    void HandleMouseDown(QMouseEvent* Event);
    // X of the hex column's left edge (after the address column and the left divider).
    int HexColumnLeft() const;
    int32_t HexColumnTextWidth() const { return FItemWidth * (3 * FBytesPerLine - 1); }
    void DrawCells(QPainter& Painter, int X, int Y, const QString& Text) const;

    bool FActive = false;
    uint8_t* FAddress = nullptr;
    int32_t FDataSize = 0;
    int32_t FTopLine = 0;
    int32_t FCurrentLine = 0;
    int32_t FVisibleLines = 0;
    int32_t FLineCount = 0;
    int32_t FBytesPerLine = 1;
    int32_t FItemHeight = 0;
    int32_t FItemWidth = 0;
    QColor FForegroundColors[5];
    QColor FBackgroundColors[4];
    bool FShowCharacters = true;
    bool FShowAddress = true;
    TBorderStyle FBorder = bsSingle;
    bool FReadOnly = false;
    int32_t FCurrentLinePos = 0;
    bool FEditCharacters = false;
    bool FLowNibble = false;
    bool FChanged = false;
    int32_t FUpdateCount = 0;
    int32_t FAddressOffset = 0;
    bool FRelativeAddress = true;
    int32_t FAddressWidth = 0;
    QString FAddressFormat;
    // AddressFormat with its pointer directives turned into hex ones that Format takes for a number.
    QString FNumericAddressFormat;
    int32_t FLeftHexMargin = 5;
    int32_t FRightHexMargin = 5;
    int32_t FRightAddressMargin = 5;
    int32_t FLeftAnsiMargin = 5;
    int32_t FLeftDividerWidth = 1;
    int32_t FRightDividerWidth = 1;
    TByteSet FVisibleCharacters;
    QChar FNonprintableReplacement = QLatin1Char('.');

    // Whether one drawText of a row lands every character on its cell.
    bool FExactPitch = true;
    // Where the caret's pixels are now (empty when not drawn), so that moving it repaints both places.
    QRect FDrawnCaret;
    bool FCaretBlinkOn = true;
    QTimer FCaretTimer;
};

// A dump owned and parented by AOwner, in a fixed-pitch font, filling its owner.
THexDump* CreateHexDump(QWidget* AOwner);
