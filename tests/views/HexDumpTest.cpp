#include "../model/TestKinds.h" // failure messages print QStrings
#include "platform/Exceptions.h"
#include "views/HexDump.h"

#include <QApplication>
#include <QFontDatabase>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {
// The viewport width at which the layout gives exactly Bytes bytes per row.
int ViewportWidthFor(const THexDump& dump, int bytes)
{
    int width = dump.LeftHexMargin() + dump.ItemWidth() * (4 * bytes - 1) + dump.RightHexMargin();
    if (dump.ShowAddress()) width += dump.AddressWidth() + dump.RightAddressMargin() + dump.LeftDividerWidth();
    if (dump.ShowCharacters()) width += dump.LeftAnsiMargin() + dump.RightDividerWidth();
    return width;
}

void ResizeViewport(THexDump& dump, int width, int height)
{
    dump.resize(dump.width() + width - dump.viewport()->width(), dump.height() + height - dump.viewport()->height());
    ASSERT_EQ(dump.viewport()->width(), width);
}

QByteArray Counting(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) bytes[i] = char(i);
    return bytes;
}

class HexDumpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPixelSize(13);
        Dump.setFont(font);
        Dump.show();
        Dump.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Dump));
    }
    // Shows Bytes at 16 bytes per row (or PerRow) in a viewport of ten whole rows.
    void Load(const QByteArray& bytes, int perRow = 16)
    {
        Data = bytes;
        Dump.SetAddress(reinterpret_cast<uint8_t*>(Data.data()));
        Dump.SetDataSize(int32_t(Data.size()));
        ResizeViewport(Dump, ViewportWidthFor(Dump, perRow), 10 * Dump.ItemHeight());
        ASSERT_EQ(Dump.BytesPerLine(), perRow);
    }
    // Characters as the keyboard delivers them, beyond what QTest can map to keys.
    void Type(const QString& text)
    {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(&Dump, &press);
        }
    }
    void Keys(std::initializer_list<Qt::Key> keys)
    {
        for (Qt::Key key : keys) QTest::keyClick(&Dump, key);
    }
    struct TCaret {
        int Line, Pos;
        bool Low;
        bool operator==(const TCaret&) const = default;
    };
    TCaret Caret() const { return {Dump.CurrentLine(), Dump.CurrentLinePos(), Dump.LowNibble()}; }
    void PlaceCaret(int line, int pos, bool low = false)
    {
        Dump.SetCurrentLine(line);
        Dump.SetCurrentLinePos(pos);
        Dump.SetLowNibble(low);
        ASSERT_EQ(Caret(), (TCaret{line, pos, low}));
    }

    QByteArray Data;
    THexDump Dump;
};


} // namespace

TEST_F(HexDumpTest, RowLayoutFollowsTheClientWidth)
{
    Load(Counting(20));
    struct {
        bool address, characters;
        int widthForBytes, extraPixels, expected;
    } cases[] = {
        {true, true, 16, 0, 16},  {true, true, 8, 0, 8},    {true, true, 8, -1, 7},
        {true, true, 40, 0, 16},  {true, true, 1, -200, 1}, {false, true, 5, 0, 5},
        {true, false, 12, 0, 16}, {false, false, 3, 0, 4}, // three cells a byte without characters
    };
    for (const auto& c : cases) {
        Dump.SetShowAddress(c.address);
        Dump.SetShowCharacters(c.characters);
        ResizeViewport(Dump, std::max(1, ViewportWidthFor(Dump, c.widthForBytes) + c.extraPixels), 10 * Dump.ItemHeight());
        EXPECT_EQ(Dump.BytesPerLine(), c.expected) << c.address << c.characters << " width for " << c.widthForBytes;
        EXPECT_EQ(Dump.LineCount(), (20 + c.expected - 1) / c.expected);
    }
    EXPECT_EQ(Dump.VisibleLines(), 11) << "ten whole rows and a partial one";
}

TEST_F(HexDumpTest, LineTexts)
{
    QByteArray bytes = Counting(20);
    bytes[1] = 'A';
    bytes[2] = char(0x7F);
    bytes[3] = char(0x80);
    bytes[4] = char(0xFF);
    bytes[5] = ' ';
    Load(bytes);
    EXPECT_EQ(Dump.LineCount(), 2);
    EXPECT_EQ(Dump.FormatAddress(0), "00000000");
    EXPECT_EQ(Dump.FormatAddress(1), "00000010");
    EXPECT_EQ(Dump.LineHexText(0), "00 41 7F 80 FF 20 06 07 08 09 0A 0B 0C 0D 0E 0F");
    EXPECT_EQ(Dump.LineHexText(1), "10 11 12 13") << "the short last line";
    EXPECT_EQ(Dump.LineCharText(0), QString::fromUtf16(u".A\u007f.. ..........")) << "32 to 127 show as themselves";
    EXPECT_EQ(Dump.LineCharText(1), "....");

    Dump.SetNonprintableReplacement(QChar(0x2219));
    EXPECT_EQ(Dump.LineCharText(1), QString::fromUtf16(u"\u2219\u2219\u2219\u2219"));

    Dump.SetAddressOffset(0x7FFFFFF8);
    EXPECT_EQ(Dump.FormatAddress(1), "80000008");
    Dump.SetAddressOffset(-16);
    EXPECT_EQ(Dump.FormatAddress(1), "00000000") << "a 32-bit offset wraps";
    Dump.SetAddressOffset(0);
    Dump.SetAddressFormat("%.4x:");
    EXPECT_EQ(Dump.FormatAddress(2), "0020:");
    EXPECT_THROW(Dump.SetAddressFormat("%s"), EConvertError);
    EXPECT_EQ(Dump.AddressFormat(), "%.4x:") << "a format that cannot take the address is refused";
    Dump.SetAddressFormat("%p");
    Dump.SetRelativeAddress(false);
    EXPECT_EQ(Dump.FormatAddress(1).toULongLong(nullptr, 16), reinterpret_cast<quintptr>(Data.data()) + Dump.BytesPerLine());
    // The address column is as wide as the address: the row may lose a byte.
    EXPECT_EQ(Dump.AddressWidth(), Dump.fontMetrics().horizontalAdvance(Dump.FormatAddress(0)));
}

TEST_F(HexDumpTest, CaretMovesAndClampsOnTheBytes)
{
    Load(Counting(20)); // two lines, four bytes on the second
    using K = Qt::Key;
    struct {
        TCaret from;
        std::initializer_list<Qt::Key> keys;
        TCaret to;
        const char* what;
    } cases[] = {
        {{0, 0, false}, {K::Key_Right}, {0, 0, true}, "high to low digit"},
        {{0, 0, true}, {K::Key_Right}, {0, 1, false}, "low digit to the next byte"},
        {{0, 15, true}, {K::Key_Right}, {1, 0, false}, "past the end of a row"},
        {{1, 3, true}, {K::Key_Right}, {1, 3, true}, "the last byte's low digit is the end"},
        {{1, 2, false}, {K::Key_Right, K::Key_Right, K::Key_Right, K::Key_Right}, {1, 3, true}, "cannot pass the fourth byte"},
        {{1, 0, false}, {K::Key_Left}, {0, 15, true}, "back to the previous row's low digit"},
        {{0, 0, false}, {K::Key_Left}, {0, 0, false}, "nothing before the first byte"},
        {{0, 5, true}, {K::Key_Left}, {0, 5, false}, "low to high digit"},
        {{0, 13, false}, {K::Key_Down}, {1, 13, false}, "a line keeps its position, past the data too"},
        {{1, 2, false}, {K::Key_Home}, {0, 2, false}, "Home changes only the line"},
        {{0, 7, true}, {K::Key_End}, {1, 7, true}, "End changes only the line"},
        {{0, 1, false}, {K::Key_PageDown}, {1, 1, false}, "Page Down stops on the last line"},
        {{1, 1, false}, {K::Key_PageUp, K::Key_Up}, {0, 1, false}, "and Page Up on the first"},
    };
    for (const auto& c : cases) {
        Dump.SetEditCharacters(false);
        PlaceCaret(c.from.Line, c.from.Pos, c.from.Low);
        Keys(c.keys);
        EXPECT_EQ(Caret(), c.to) << c.what << ": " << Dump.CurrentLine() << "," << Dump.CurrentLinePos() << "," << Dump.LowNibble();
    }

    // Setting a position past the row walks the lines.
    PlaceCaret(0, 0);
    Dump.SetCurrentLinePos(18);
    EXPECT_EQ(Caret(), (TCaret{1, 2, false}));
    Dump.SetCurrentLinePos(-14);
    EXPECT_EQ(Caret(), (TCaret{0, 2, false}));

    // Tab switches to the characters, where Right moves a whole byte.
    PlaceCaret(0, 3);
    Keys({K::Key_Tab});
    EXPECT_TRUE(Dump.EditCharacters());
    Keys({K::Key_Right, K::Key_Right});
    EXPECT_EQ(Dump.CurrentLinePos(), 5);
    Keys({K::Key_Tab});
    EXPECT_FALSE(Dump.EditCharacters());
}

TEST_F(HexDumpTest, CaretRectangleSitsOnTheCell)
{
    Load(Counting(64));
    const int w = Dump.ItemWidth();
    const int hexText = Dump.AddressWidth() + Dump.RightAddressMargin() + Dump.LeftDividerWidth() + Dump.LeftHexMargin();
    PlaceCaret(2, 3, true);
    EXPECT_EQ(Dump.CaretRect(), QRect(hexText + w * (3 * 3 + 1), 2 * Dump.ItemHeight(), w, Dump.ItemHeight()));
    Dump.SetEditCharacters(true);
    const int chars = hexText + w * (3 * 16 - 1) + Dump.RightHexMargin() + Dump.RightDividerWidth() + Dump.LeftAnsiMargin();
    EXPECT_EQ(Dump.CaretRect().left(), chars + 3 * w);

    Dump.SetShowAddress(false);
    EXPECT_EQ(Dump.AddressWidth(), 0) << "the columns follow at once";
    EXPECT_EQ(Dump.CaretRect().left(), Dump.LeftHexMargin() + w * (3 * 16 - 1) + Dump.RightHexMargin() +
                                           Dump.RightDividerWidth() + Dump.LeftAnsiMargin() + 3 * w);
}

TEST_F(HexDumpTest, TypingOverwritesBytesInPlace)
{
    Load(QByteArray(20, '\0'));
    int changes = 0;
    Dump.OnChanged = [&] { ++changes; };

    QTest::keyClicks(&Dump, "a");
    EXPECT_EQ(uint8_t(Data[0]), 0xA0);
    EXPECT_EQ(changes, 1) << "each digit is reported";
    QTest::keyClicks(&Dump, "5");
    EXPECT_EQ(uint8_t(Data[0]), 0xA5);
    EXPECT_EQ(Caret(), (TCaret{0, 1, false})) << "on to the next byte";
    QTest::keyClicks(&Dump, "g- ");
    EXPECT_EQ(uint8_t(Data[1]), 0x00) << "no hex digit, no change";
    EXPECT_EQ(changes, 2);
    QTest::keyClick(&Dump, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(&Dump, Qt::Key_Delete);
    EXPECT_EQ(changes, 2) << "shortcuts and Delete type nothing";

    Dump.SetEditCharacters(true);
    PlaceCaret(0, 15);
    Type(QString::fromUtf16(u"x\u00e9\u20ac"));
    EXPECT_EQ(Data[15], 'x');
    EXPECT_EQ(uint8_t(Data[16]), 0xE9) << "a character code up to 255";
    EXPECT_EQ(Data[17], '\0') << "nothing above 255";
    EXPECT_EQ(Caret(), (TCaret{1, 1, false})) << "typing runs into the next row";

    // The last byte takes typing again and again: the caret cannot leave it.
    PlaceCaret(1, 3);
    QTest::keyClicks(&Dump, "yz");
    EXPECT_EQ(Data[19], 'z');
    // A caret moved past the short last row by line keys types nothing.
    PlaceCaret(0, 9);
    QTest::keyClick(&Dump, Qt::Key_Down);
    changes = 0;
    QTest::keyClicks(&Dump, "w");
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(Data.size(), 20);

    Dump.SetEditCharacters(false);
    Dump.SetReadOnly(true);
    changes = 0;
    PlaceCaret(0, 0);
    QTest::keyClicks(&Dump, "11");
    EXPECT_EQ(uint8_t(Data[0]), 0xA5) << "read-only";
    EXPECT_EQ(changes, 0);
    QTest::keyClick(&Dump, Qt::Key_Right);
    EXPECT_TRUE(Dump.LowNibble()) << "navigation works read-only";
}

TEST_F(HexDumpTest, ChangesInABatchAreReportedOnce)
{
    Load(QByteArray(4, '\0'));
    int changes = 0;
    Dump.OnChanged = [&] {
        ++changes;
        EXPECT_TRUE(Dump.Modified());
    };
    Dump.BeginUpdate();
    QTest::keyClicks(&Dump, "1234");
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(Dump.Modified());
    Dump.EndUpdate();
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(Dump.Modified());
    EXPECT_THROW(Dump.EndUpdate(), EAssertionFailed);
}

TEST_F(HexDumpTest, AFailingChangeHandlerDoesNotSilenceLaterChanges)
{
    Load(QByteArray(4, '\0'));
    std::vector<QString> reported;
    TApplicationExceptionHandler previous = SetApplicationExceptionHandler([&](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const Exception& e) {
            reported.push_back(e.Message());
        }
    });
    int calls = 0;
    Dump.OnChanged = [&] {
        ++calls;
        throw EConvertError("rejected");
    };
    QTest::keyClicks(&Dump, "12");
    SetApplicationExceptionHandler(previous);
    EXPECT_EQ(calls, 2) << "the second digit is reported too";
    EXPECT_EQ(reported, (std::vector<QString>{"rejected", "rejected"}));
    EXPECT_EQ(uint8_t(Data[0]), 0x12) << "the block keeps what was typed";
    EXPECT_FALSE(Dump.Modified());
}

TEST_F(HexDumpTest, InactiveDumpIgnoresInput)
{
    int changes = 0;
    Dump.OnChanged = [&] { ++changes; };
    QByteArray bytes(8, '\0');
    struct {
        uint8_t* address;
        int size;
    } cases[] = {{nullptr, 0}, {nullptr, 8}, {reinterpret_cast<uint8_t*>(bytes.data()), 0}};
    for (const auto& c : cases) {
        Dump.SetAddress(c.address);
        Dump.SetDataSize(c.size);
        QTest::keyClicks(&Dump, "ab");
        Keys({Qt::Key_Right, Qt::Key_Down, Qt::Key_End, Qt::Key_Tab});
        QTest::mouseClick(Dump.viewport(), Qt::LeftButton, {}, QPoint(200, 30));
        EXPECT_EQ(Caret(), (TCaret{0, 0, false}));
        EXPECT_FALSE(Dump.EditCharacters());
        EXPECT_EQ(Dump.LineHexText(0), "");
    }
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(bytes, QByteArray(8, '\0'));

    // Only the column backgrounds (and the caret, on the first cell).
    Dump.SetAddress(reinterpret_cast<uint8_t*>(bytes.data()));
    Dump.SetDataSize(0);
    const QImage image = Dump.viewport()->grab().toImage();
    const int hexLeft = Dump.AddressWidth() + Dump.RightAddressMargin() + Dump.LeftDividerWidth();
    const int hexRight = hexLeft + Dump.LeftHexMargin() + Dump.ItemWidth() * (3 * Dump.BytesPerLine() - 1) + Dump.RightHexMargin();
    for (int y = Dump.ItemHeight(); y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor expected = x < hexLeft - 1   ? Dump.AddressBackgroundColor()
                                    : x < hexLeft     ? Dump.LeftDividerColor()
                                    : x < hexRight    ? Dump.HexDataBackgroundColor()
                                    : x < hexRight + 1 ? Dump.RightDividerColor()
                                                       : Dump.AnsiCharBackgroundColor();
            ASSERT_EQ(image.pixelColor(x, y), expected) << x << "," << y;
        }
    }
}

TEST_F(HexDumpTest, ClicksPlaceTheCaret)
{
    Load(Counting(40)); // three lines, eight bytes on the last
    const int w = Dump.ItemWidth();
    const int h = Dump.ItemHeight();
    const int hexText = Dump.AddressWidth() + Dump.RightAddressMargin() + Dump.LeftDividerWidth() + Dump.LeftHexMargin();
    const int chars = hexText + w * (3 * 16 - 1) + Dump.RightHexMargin() + Dump.RightDividerWidth() + Dump.LeftAnsiMargin();
    struct {
        int x, row;
        TCaret to;
        bool characters;
        const char* what;
    } cases[] = {
        {hexText + 3 * w * 4 + 1, 1, {1, 4, false}, false, "a high digit"},
        {hexText + 3 * w * 4 + w + 1, 0, {0, 4, false}, false, "a low digit selects its byte"},
        {chars + 5 * w + 1, 1, {1, 5, false}, true, "a character"},
        {chars - 2, 0, {0, 0, false}, true, "the margin before the characters"},
        {chars + 30 * w, 0, {0, 15, false}, true, "right of the characters: the last byte of the row"},
        {chars + 30 * w, 2, {2, 7, true}, true, "on the short last row: its last byte"},
        {hexText + 3 * w * 2, 7, {2, 2, false}, false, "below the data: the last line"},
        {2, 1, {1, 0, false}, false, "on the address: the row's first byte, column kept"},
    };
    for (const auto& c : cases) {
        PlaceCaret(0, 9, true);
        QTest::mouseClick(Dump.viewport(), Qt::LeftButton, {}, QPoint(c.x, c.row * h + 1));
        EXPECT_EQ(Caret(), c.to) << c.what << ": " << Dump.CurrentLine() << "," << Dump.CurrentLinePos() << "," << Dump.LowNibble();
        EXPECT_EQ(Dump.EditCharacters(), c.characters) << c.what;
    }
    PlaceCaret(1, 1);
    QTest::mouseClick(Dump.viewport(), Qt::RightButton, {}, QPoint(hexText + 3 * w * 6, 1));
    EXPECT_EQ(Caret(), (TCaret{1, 1, false})) << "only the left button moves the caret";
    EXPECT_TRUE(Dump.hasFocus()) << "any button focuses";
}

TEST_F(HexDumpTest, ResizeKeepsTheCaretOnItsByte)
{
    Load(Counting(100));
    PlaceCaret(3, 5, true); // byte 53
    Dump.SetEditCharacters(true);
    ResizeViewport(Dump, ViewportWidthFor(Dump, 8), 10 * Dump.ItemHeight());
    ASSERT_EQ(Dump.BytesPerLine(), 8);
    EXPECT_EQ(Dump.LineCount(), 13);
    EXPECT_EQ(Dump.CurrentLine() * 8 + Dump.CurrentLinePos(), 53);
    EXPECT_EQ(Dump.LineHexText(Dump.CurrentLine()).mid(3 * Dump.CurrentLinePos(), 2), "35");
    ResizeViewport(Dump, ViewportWidthFor(Dump, 5), 10 * Dump.ItemHeight());
    EXPECT_EQ(Caret(), (TCaret{10, 3, true}));
}

TEST_F(HexDumpTest, KeepsTheCaretRowInViewWhileScrolling)
{
    Load(Counting(16 * 40)); // 40 lines, 11 visible rows (the last partial)
    Keys({Qt::Key_PageDown});
    EXPECT_EQ(Dump.CurrentLine(), 11);
    EXPECT_EQ(Dump.TopLine(), 2) << "the caret row stays out of the partial last row";
    Keys({Qt::Key_End});
    EXPECT_EQ(Dump.TopLine(), 30);
    EXPECT_EQ(Dump.verticalScrollBar()->value(), 30);
    Keys({Qt::Key_Home});
    EXPECT_EQ(Dump.TopLine(), 0);
    Dump.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(Dump.TopLine(), 1);
    Dump.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(Dump.TopLine(), 11) << "a page is the visible rows less one";
    EXPECT_EQ(Dump.CurrentLine(), 0) << "scrolling leaves the caret on its line";
    EXPECT_EQ(Dump.CaretRect().top(), -11 * Dump.ItemHeight());
}

TEST_F(HexDumpTest, ScrollBarReachesEveryLineOfALargeBlock)
{
    Load(QByteArray(48 * 1024 * 1024, '\x5A')); // 3 145 728 lines
    QScrollBar* bar = Dump.verticalScrollBar();
    EXPECT_EQ(bar->maximum(), Dump.LineCount() - 1);
    bar->setSliderDown(true); // dragging the thumb
    bar->setSliderPosition(3000000);
    bar->setSliderDown(false);
    EXPECT_EQ(Dump.TopLine(), 3000000);
    Dump.viewport()->grab(); // paints the rows there
    EXPECT_EQ(Dump.FormatAddress(Dump.TopLine()), "02DC6C00");
    Keys({Qt::Key_End});
    EXPECT_EQ(Dump.TopLine(), Dump.LineCount() - 10);
    Dump.SetDataSize(0);
    EXPECT_EQ(bar->maximum(), 0);
    EXPECT_EQ(Dump.TopLine(), 0);
}

TEST_F(HexDumpTest, OddRowsAreStripedOnlyWithAColourOfTheirOwn)
{
    Load(Counting(16 * 4));
    const QColor even(0xF4, 0xF4, 0xF4), odd(0xFF, 0xFF, 0xFF);
    Dump.SetHexDataBackgroundColor(even);
    EXPECT_EQ(Dump.HexDataBackgroundColorOdd(), even) << "clDefault reads as the even colour";
    // In the left margin of the hex column, where no text is drawn.
    const int x = Dump.AddressWidth() + Dump.RightAddressMargin() + Dump.LeftDividerWidth() + 2;
    auto band = [&](int row) { return Dump.viewport()->grab().toImage().pixelColor(x, row * Dump.ItemHeight() + 1); };
    EXPECT_EQ(band(0), even);
    EXPECT_EQ(band(1), even);
    Dump.SetHexDataBackgroundColorOdd(odd);
    EXPECT_EQ(band(0), even);
    EXPECT_EQ(band(1), odd);
    EXPECT_EQ(band(6), even) << "bands go on below the data";
    Dump.verticalScrollBar()->setValue(1);
    EXPECT_EQ(band(0), odd) << "the line number decides, not the row";
    Dump.SetHexDataBackgroundColorOdd(even);
    EXPECT_EQ(band(0), even);
}
