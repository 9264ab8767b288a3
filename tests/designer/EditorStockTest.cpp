// The stock property editors: attributes, value lists and texts, writing to several instances, the
// samples of drop-down entries, and Edit through scripted dialogs (the strings dialog with its widgets).
#include "EditorTesting.h"

#include "designer/koDesignObjectControl.h"
#include "designer/koDesignPropertyEditors.h"
#include "designer/koDesignStringsDialog.h"
#include "platform/Bitmap.h"
#include "platform/ShortCuts.h"
#include "platform/StringList.h"

#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

namespace StockTypes {
Q_NAMESPACE
enum TLayout { loNone, loRows, loColumns };
Q_ENUM_NS(TLayout)
enum TOption { opBold = 1, opWide = 2 };
Q_DECLARE_FLAGS(TOptions, TOption)
Q_FLAG_NS(TOptions)
} // namespace StockTypes
using namespace StockTypes;

// A font as published objects hold it.
class TTestFont : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Name MEMBER FName)
    Q_PROPERTY(int Size MEMBER FSize)
public:
    QString FName = QStringLiteral("Arial");
    int FSize = 8;
};

class TStockFixture : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(int Fixed READ Fixed)
    Q_PROPERTY(QString Title MEMBER FTitle)
    Q_PROPERTY(TCaption Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(StockTypes::TLayout Layout MEMBER FLayout)
    Q_PROPERTY(StockTypes::TOptions Options MEMBER FOptions)
    Q_PROPERTY(TColor Color MEMBER FColor)
    Q_PROPERTY(TCursorValue Cursor MEMBER FCursor)
    Q_PROPERTY(TModalResult ModalResult MEMBER FModalResult)
    Q_PROPERTY(TShortCut ShortCut MEMBER FShortCut)
    Q_PROPERTY(TFontCharset Charset MEMBER FCharset)
    Q_PROPERTY(TFontName FontName READ FontName WRITE SetFontName)
    Q_PROPERTY(double Ratio MEMBER FRatio)
    Q_PROPERTY(DesignTypes::TPenStyle PenStyle MEMBER FPenStyle)
    Q_PROPERTY(TTestFont* Font READ Font)
    Q_PROPERTY(TStringList* Lines READ Lines WRITE SetLines)
    Q_PROPERTY(TBitmap* Picture READ Picture WRITE SetPicture)
    Q_PROPERTY(QWidget* Buddy MEMBER FBuddy)

public:
    int Width() const { return FWidth; }
    void SetWidth(int Value)
    {
        if (Refuse)
            throw EConvertError(QStringLiteral("refused"));
        FWidth = Value;
    }
    int Fixed() const { return 7; }
    TCaption Caption() const { return FCaption; }
    void SetCaption(const TCaption& Value) { FCaption = Value; }
    TFontName FontName() const { return FFontName; }
    void SetFontName(const TFontName& Value) { FFontName = Value; }
    TTestFont* Font() { return &FFont; }
    TStringList* Lines() { return &FLines; }
    void SetLines(TStringList* Value) { FLines = *Value; }
    TBitmap* Picture() { return &FPicture; }
    void SetPicture(TBitmap* Value) { FPicture = *Value; }

    bool Refuse = false;
    int FWidth = 0;
    QString FTitle;
    TCaption FCaption;
    TLayout FLayout = loNone;
    TOptions FOptions;
    TColor FColor;
    TCursorValue FCursor;
    TModalResult FModalResult;
    TShortCut FShortCut;
    TFontCharset FCharset;
    TFontName FFontName;
    double FRatio = 0;
    TPenStyle FPenStyle = DesignTypes::psSolid;
    TTestFont FFont;
    TStringList FLines;
    TBitmap FPicture;
    QWidget* FBuddy = nullptr;
};

// A control whose images come from its parent (a tool button on a tool bar).
class TImagesHolder : public QWidget {
    Q_OBJECT
    Q_PROPERTY(TCustomImageList* Images MEMBER FImages)
public:
    TCustomImageList* FImages = nullptr;
};
class TImageUser : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int ImageIndex MEMBER FImageIndex)
public:
    using QWidget::QWidget;
    int FImageIndex = 0;
};

namespace {

class EditorStock : public ::testing::Test {
protected:
    void SetUp() override
    {
        koDesignRTTI_Initialize();
        DesignClassTypes().Font = ClassTypeInfo(&TTestFont::staticMetaObject);
    }
    void TearDown() override { DesignClassTypes().Font = nullptr; }
};

} // namespace

TEST_F(EditorStock, AttributesAndEditLimits)
{
    struct Case {
        const char* Property;
        TRunTimePropertyAttributes Attributes;
        int Limit;
    } cases[] = {
        {"Width", {}, 63},
        {"Title", {}, 255},
        {"Caption", {paAutoUpdate}, 255},
        {"Layout", {paValueList}, 63},
        {"Options", {paReadOnly}, 255},
        {"Options.opWide", {paValueList}, 255},
        {"Color", {paValueList, paDialog}, 255},
        {"Cursor", {paValueList, paSortList}, 255},
        {"ModalResult", {paValueList}, 255},
        {"ShortCut", {paValueList}, 255},
        {"Charset", {paValueList, paSortList}, 255},
        {"FontName", {paValueList, paSortList}, 255},
        {"Ratio", {}, 255},
        {"Font", {paDialog, paReadOnly}, 255},
        {"Lines", {paDialog, paReadOnly}, 255},
        {"Picture", {paReadOnly, paDialog}, 255},
        {"Buddy", {paValueList, paSortList}, 255},
    };
    TStockFixture fixture;
    auto list = PropertiesOf(&fixture);
    TTestInspector inspector;
    for (const Case& c : cases) {
        auto editor = EditorFor(inspector, QString::fromLatin1(c.Property), {list.get()});
        ASSERT_TRUE(editor) << c.Property;
        EXPECT_TRUE(editor->GetAttributes() == c.Attributes) << c.Property;
        EXPECT_EQ(editor->GetEditLimit(), c.Limit) << c.Property;
    }
    // Value lists complete typed text, except component references.
    EXPECT_TRUE(EditorFor(inspector, QStringLiteral("Layout"), {list.get()})->AutoFill());
    EXPECT_FALSE(EditorFor(inspector, QStringLiteral("Buddy"), {list.get()})->AutoFill());
    EXPECT_FALSE(EditorFor(inspector, QStringLiteral("Font"), {list.get()})->AutoFill());
}

TEST_F(EditorStock, ValueListsComeFromTheProperties)
{
    TStockFixture fixture;
    auto list = PropertiesOf(&fixture);
    TTestInspector inspector;
    inspector.ComponentNames = {QStringLiteral("Button1"), QStringLiteral("Edit1")};
    const auto values = [&](const char* name) {
        QStringList v;
        EditorFor(inspector, QString::fromLatin1(name), {list.get()})->GetValues(v);
        return v;
    };
    EXPECT_EQ(values("Layout"), (QStringList{QStringLiteral("loNone"), QStringLiteral("loRows"), QStringLiteral("loColumns")}));
    EXPECT_EQ(values("Options.opBold"), (QStringList{QStringLiteral("False"), QStringLiteral("True")}));
    EXPECT_EQ(values("Color").first(), QStringLiteral("clBlack"));
    EXPECT_EQ(values("Cursor").first(), QStringLiteral("crDefault"));
    EXPECT_EQ(values("ModalResult").size(), 11);
    EXPECT_EQ(values("ShortCut").first(), QStringLiteral("None"));
    EXPECT_EQ(values("ShortCut").size(), 109);
    EXPECT_EQ(values("Buddy"), inspector.ComponentNames);
    EXPECT_TRUE(values("Width").isEmpty());
}

TEST_F(EditorStock, SeveralInstancesShowACommonValueOnly)
{
    TStockFixture a, b;
    a.FTitle = QStringLiteral("Alpha");
    b.FTitle = QStringLiteral("ALPHA");
    auto la = PropertiesOf(&a), lb = PropertiesOf(&b);
    TTestInspector inspector;
    auto editor = EditorFor(inspector, QStringLiteral("Title"), {la.get(), lb.get()});
    EXPECT_TRUE(editor->AllEqual());
    EXPECT_EQ(editor->GetVisualValue(), QStringLiteral("Alpha"));
    b.FTitle = QStringLiteral("Beta");
    EXPECT_FALSE(editor->AllEqual());
    EXPECT_EQ(editor->GetVisualValue(), QString());
    EXPECT_EQ(editor->GetValue(), QStringLiteral("Alpha"));

    editor->SetValue(QStringLiteral("Gamma"));
    EXPECT_EQ(a.FTitle, QStringLiteral("Gamma"));
    EXPECT_EQ(b.FTitle, QStringLiteral("Gamma"));
    EXPECT_EQ(inspector.ModifiedCount, 1);
}

TEST_F(EditorStock, ReadOnlyPropertiesAreNotWrittenButTheChangeIsReported)
{
    TStockFixture fixture;
    auto list = PropertiesOf(&fixture);
    TTestInspector inspector;
    auto editor = EditorFor(inspector, QStringLiteral("Fixed"), {list.get()});
    editor->SetValue(QStringLiteral("12"));
    EXPECT_EQ(editor->GetValue(), QStringLiteral("7"));
    EXPECT_EQ(inspector.ModifiedCount, 1);
}

TEST_F(EditorStock, ARefusedValueStopsAtTheInstanceThatRefusesIt)
{
    TStockFixture a, b, c;
    b.Refuse = true;
    auto la = PropertiesOf(&a), lb = PropertiesOf(&b), lc = PropertiesOf(&c);
    TTestInspector inspector;
    auto editor = EditorFor(inspector, QStringLiteral("Width"), {la.get(), lb.get(), lc.get()});
    EXPECT_THROW(editor->SetValue(QStringLiteral("40")), Exception);
    EXPECT_EQ(a.FWidth, 40);
    EXPECT_EQ(b.FWidth, 0);
    EXPECT_EQ(c.FWidth, 0);
    EXPECT_EQ(inspector.ModifiedCount, 0);
    // Text that does not convert changes nothing anywhere.
    b.Refuse = false;
    EXPECT_THROW(editor->SetValue(QStringLiteral("forty")), Exception);
    EXPECT_EQ(a.FWidth, 40);
}

TEST_F(EditorStock, ColourDialogStartsWithTheValueAndSetsTheChosenColour)
{
    TScriptedDialogsScope dialogs;
    TStockFixture fixture;
    fixture.FColor = TColor(0x0000FF);
    auto list = PropertiesOf(&fixture);
    TTestInspector inspector;
    auto editor = EditorFor(inspector, QStringLiteral("Color"), {list.get()});
    TColor offered;
    dialogs->OnColor = [&](TColor& c) {
        offered = c;
        c = TColor(0x123456);
        return true;
    };
    editor->Edit();
    EXPECT_EQ(offered.Value, 0x0000FFu);
    EXPECT_EQ(fixture.FColor.Value, 0x123456u);
    EXPECT_EQ(inspector.ModifiedCount, 1);

    dialogs->OnColor = [](TColor& c) {
        c = TColor(0);
        return false;
    };
    editor->Edit();
    EXPECT_EQ(fixture.FColor.Value, 0x123456u);
    EXPECT_EQ(inspector.ModifiedCount, 1);
}

TEST_F(EditorStock, ColourSwatchOutlineContrastsWithItsColour)
{
    struct Case {
        const char* Name;
        bool Selected;
        QRgb Outline;
    } cases[] = {
        {"clWhite", false, qRgb(0, 0, 0)},
        {"clWhite", true, qRgb(0, 0, 0)},
        {"clNavy", true, qRgb(255, 255, 255)},
        {"clNavy", false, qRgb(0, 0, 0x80)},
        {"clYellow", true, qRgb(0, 0, 0)},
    };
    TStockFixture fixture;
    auto list = PropertiesOf(&fixture);
    TTestInspector inspector;
    auto editor = EditorFor(inspector, QStringLiteral("Color"), {list.get()});
    for (const Case& c : cases) {
        QImage image(100, 16, QImage::Format_ARGB32);
        image.fill(Qt::gray);
        {
            QPainter canvas(&image);
            canvas.setBrush(QColor(200, 200, 200));
            canvas.setPen(Qt::black);
            editor->ListDrawValue(QString::fromLatin1(c.Name), canvas, QRect(0, 0, 100, 16), c.Selected);
        }
        EXPECT_EQ(image.pixel(1, 7) & 0xFFFFFF, c.Outline & 0xFFFFFF) << c.Name << " selected " << c.Selected;
        EXPECT_EQ(image.pixel(0, 7) & 0xFFFFFF, qRgb(200, 200, 200) & 0xFFFFFF) << "cleared with the background";
        const QRgb inside = image.pixel(7, 7);
        EXPECT_EQ(inside & 0xFFFFFF, QColor(QLatin1String(c.Name) == QLatin1String("clNavy") ? qRgb(0, 0, 0x80)
                                          : QLatin1String(c.Name) == QLatin1String("clWhite") ? qRgb(255, 255, 255)
                                                                                               : qRgb(255, 255, 0)).rgb() & 0xFFFFFF);
    }
    int width = 50;
    QImage scratch(1, 1, QImage::Format_ARGB32);
    QPainter canvas(&scratch);
    editor->ListMeasureWidth(QStringLiteral("clRed"), canvas, width);
    EXPECT_GT(width, 52);
    QRect text(0, 0, 100, 16);
    editor->ListMeasureTextRect(QStringLiteral("clRed"), canvas, text);
    EXPECT_EQ(text.left(), 18);
}

TEST_F(EditorStock, SamplesLeaveRoomForTheirText)
{
    TStockFixture fixture;
    auto list = PropertiesOf(&fixture);
    TTestInspector inspector;
    QImage scratch(1, 1, QImage::Format_ARGB32);
    QPainter canvas(&scratch);
    struct Case {
        const char* Property;
        int TextLeft;
    } cases[] = {{"Color", 18}, {"Cursor", 36}, {"PenStyle", 34}, {"FontName", 16}, {"Layout", 0}};
    for (const Case& c : cases) {
        QRect text(0, 0, 100, 16);
        EditorFor(inspector, QString::fromLatin1(c.Property), {list.get()})->ListMeasureTextRect(QString(), canvas, text);
        EXPECT_EQ(text.left(), c.TextLeft) << c.Property;
    }
    int height = 16;
    EditorFor(inspector, QStringLiteral("Cursor"), {list.get()})->ListMeasureHeight(QStringLiteral("crArrow"), canvas, height);
    EXPECT_EQ(height, SystemCursorHeight + 4);
}

TEST_F(EditorStock, CursorAndPenSamplesDrawSomething)
{
    TStockFixture fixture;
    auto list = PropertiesOf(&fixture);
    TTestInspector inspector;
    const auto inkOf = [](const QImage& image, const QRect& area) {
        int ink = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                ink += (image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
        return ink;
    };
    for (const char* cursor : {"crArrow", "crIBeam", "crHourGlass", "crSizeAll", "crHandPoint"}) {
        QImage image(120, 36, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter canvas(&image);
        canvas.setBrush(Qt::white);
        EditorFor(inspector, QStringLiteral("Cursor"), {list.get()})->ListDrawValue(QString::fromLatin1(cursor), canvas, image.rect(), false);
        canvas.end();
        EXPECT_GT(inkOf(image, QRect(2, 2, 32, 32)), 20) << cursor;
    }
    QImage none(40, 40, QImage::Format_ARGB32);
    none.fill(Qt::white);
    {
        QPainter canvas(&none);
        DrawCursorSample(canvas, 2, 2, -1);
    }
    EXPECT_EQ(inkOf(none, none.rect()), 0);

    // A dotted line has gaps that a solid one has not.
    const auto line = [&](TPenStyle style) {
        QImage image(64, 16, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter canvas(&image);
        canvas.setBrush(Qt::white);
        DrawPenStyleSample(canvas, QRect(0, 0, 64, 16), style);
        canvas.end();
        return inkOf(image, QRect(4, 7, 24, 2));
    };
    EXPECT_GT(line(DesignTypes::psSolid), line(DesignTypes::psDot));
    EXPECT_EQ(line(DesignTypes::psClear), 0);
}

TEST_F(EditorStock, FontShowsNameAndPointSizeAndTakesTheDialogsFont)
{
    TScriptedDialogsScope dialogs;
    TStockFixture fixture;
    fixture.FFont.FSize = -11;
    auto list = PropertiesOf(&fixture);
    TTestInspector inspector;
    auto editor = EditorFor(inspector, QStringLiteral("Font"), {list.get()});
    ASSERT_EQ(editor->ClassType(), TRunTimeFontPropertyEditor::ClassInfo());
    EXPECT_EQ(editor->GetVisualValue(), QStringLiteral("Arial, 11pt"));
    dialogs->OnFont = [](QFont& font) {
        EXPECT_EQ(font.family(), QStringLiteral("Arial"));
        EXPECT_EQ(font.pointSize(), 11);
        font = QFont(QStringLiteral("DejaVu Sans"), 14);
        return true;
    };
    editor->Edit();
    EXPECT_EQ(fixture.FFont.FName, QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(fixture.FFont.FSize, 14);
    EXPECT_EQ(inspector.ModifiedCount, 1);
}

TEST_F(EditorStock, StringsDialogShowsCountAndCaretAndStoresOnOkOnly)
{
    TScriptedDialogsScope dialogs;
    TStockFixture fixture;
    fixture.FLines.SetText(QStringLiteral("one\ntwo\nthree"));
    auto list = PropertiesOf(&fixture);
    TTestInspector inspector;
    auto editor = EditorFor(inspector, QStringLiteral("Lines"), {list.get()});
    ASSERT_EQ(editor->ClassType(), TRunTimeStringsPropertyEditor::ClassInfo());

    // Looked at, then cancelled: nothing changes.
    dialogs->OnModal = [](QDialog& form) {
        auto& dialog = dynamic_cast<TRunTimeStringsDialog&>(form);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("String List Editor"));
        EXPECT_EQ(dialog.StatusPanel0->text(), QStringLiteral("Lines: 3"));
        QTextCursor line2(dialog.MemoStrings->document()->findBlockByNumber(1));
        const QRect at = dialog.MemoStrings->cursorRect(line2);
        QTest::mouseClick(dialog.MemoStrings->viewport(), Qt::LeftButton, {}, QPoint(at.left() + 1, at.center().y()));
        EXPECT_EQ(dialog.StatusPanel1->text(), QStringLiteral("1:2"));
        QTest::keyClicks(dialog.MemoStrings, QStringLiteral("x"));
        EXPECT_EQ(dialog.StatusPanel1->text(), QStringLiteral("2:2"));
        QTest::mouseClick(dialog.ButtonCancel, Qt::LeftButton);
    };
    editor->Edit();
    EXPECT_EQ(fixture.FLines.Strings(), (QStringList{QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")}));
    EXPECT_EQ(inspector.ModifiedCount, 0);

    // Edited and confirmed.
    dialogs->OnModal = [](QDialog& form) {
        auto& dialog = dynamic_cast<TRunTimeStringsDialog&>(form);
        dialog.MemoStrings->moveCursor(QTextCursor::End);
        QTest::keyClick(dialog.MemoStrings, Qt::Key_Return);
        QTest::keyClicks(dialog.MemoStrings, QStringLiteral("four"));
        EXPECT_EQ(dialog.StatusPanel0->text(), QStringLiteral("Lines: 4"));
        QTest::mouseClick(dialog.ButtonOK, Qt::LeftButton);
    };
    editor->Edit();
    EXPECT_EQ(fixture.FLines.Count(), 4);
    EXPECT_EQ(fixture.FLines[3], QStringLiteral("four"));
    EXPECT_EQ(inspector.ModifiedCount, 1);

    // Clear, then OK: an empty list (a trailing line break starts no line).
    dialogs->OnModal = [](QDialog& form) {
        auto& dialog = dynamic_cast<TRunTimeStringsDialog&>(form);
        QTest::mouseClick(dialog.ButtonClear, Qt::LeftButton);
        EXPECT_EQ(dialog.StatusPanel0->text(), QStringLiteral("Lines: 0"));
        QTest::mouseClick(dialog.ButtonOK, Qt::LeftButton);
    };
    editor->Edit();
    EXPECT_EQ(fixture.FLines.Count(), 0);
}

TEST_F(EditorStock, PictureIsReplacedOnlyByAFileThatReads)
{
    TScriptedDialogsScope dialogs;
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("good.bmp"));
    QImage pixels(3, 2, QImage::Format_RGB32);
    pixels.fill(Qt::red);
    ASSERT_TRUE(pixels.save(good, "BMP"));
    const QString bad = dir.filePath(QStringLiteral("bad.bmp"));
    {
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("BM not a bitmap");
    }
    TStockFixture fixture;
    auto list = PropertiesOf(&fixture);
    TTestInspector inspector;
    auto editor = EditorFor(inspector, QStringLiteral("Picture"), {list.get()});
    ASSERT_EQ(editor->ClassType(), TRunTimeGraphicPropertyEditor::ClassInfo());
    QString offeredFilter;
    dialogs->OnOpenPicture = [&](const QString& filter, const QString&, QString& fileName) {
        offeredFilter = filter;
        fileName = good;
        return true;
    };
    editor->Edit();
    EXPECT_EQ(offeredFilter, QStringLiteral("Bitmaps (*.bmp)|*.bmp|All files (*.*)|*.*"));
    EXPECT_EQ(fixture.FPicture.Width(), 3);
    EXPECT_EQ(inspector.ModifiedCount, 1);

    dialogs->OnOpenPicture = [&](const QString&, const QString&, QString& fileName) {
        fileName = bad;
        return true;
    };
    EXPECT_THROW(editor->Edit(), Exception);
    EXPECT_EQ(fixture.FPicture.Width(), 3);
    EXPECT_EQ(inspector.ModifiedCount, 1);
}

TEST_F(EditorStock, ImageIndexListsTheImagesOfTheControlOrItsParent)
{
    TImageList images(16, 16);
    QImage red(16, 16, QImage::Format_ARGB32);
    red.fill(Qt::red);
    for (int i = 0; i < 3; ++i)
        images.Add(red);
    TImagesHolder toolBar;
    toolBar.FImages = &images;
    auto* button = new TImageUser(&toolBar);
    TImageUser alone;
    auto onBar = PropertiesOf(button), lonely = PropertiesOf(&alone);
    TTestInspector inspector;
    auto editor = EditorFor(inspector, QStringLiteral("ImageIndex"), {onBar.get()});
    ASSERT_EQ(editor->ClassType(), TRunTimeImageIndexPropertyEditor::ClassInfo());
    QStringList values;
    editor->GetValues(values);
    EXPECT_EQ(values, (QStringList{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")}));
    QImage image(60, 18, QImage::Format_ARGB32);
    image.fill(Qt::white);
    {
        QPainter canvas(&image);
        canvas.setBrush(Qt::white);
        editor->ListDrawValue(QStringLiteral("1"), canvas, image.rect(), false);
        // An entry that is no number gets no image, and no error while painting.
        editor->ListDrawValue(QStringLiteral("x"), canvas, image.rect(), false);
        int height = 10;
        editor->ListMeasureHeight(QStringLiteral("1"), canvas, height);
        EXPECT_EQ(height, 18);
    }

    values.clear();
    EditorFor(inspector, QStringLiteral("ImageIndex"), {lonely.get()})->GetValues(values);
    EXPECT_TRUE(values.isEmpty());
}

#include "EditorStockTest.moc"
