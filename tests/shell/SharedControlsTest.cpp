#include "shell/koBalloonHint.h"
#include "shell/koFancyGlyphButton.h"
#include "shell/koHintImages.h"
#include "shell/koMouseWheel.h"
#include "shell/koScrollBox.h"
#include "shell/koSplitter.h"
#include "shell/koTreeView.h"

#include <QApplication>
#include <QBuffer>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <map>
#include <optional>

namespace {

// A button whose picture is a plain block of the given size (none for an empty size).
class TTestGlyphButton : public TCustomFancyGlyphButton
{
public:
    explicit TTestGlyphButton(QWidget* owner = nullptr, QSize glyphSize = QSize())
        : TCustomFancyGlyphButton(owner), GlyphSize(glyphSize)
    {
    }

    QSize GlyphSize;
    QString TitleSuffix;
    int Updates = 0;

protected:
    void UpdateGlyph(QImage& glyph, QString& title, QString&) override
    {
        ++Updates;
        EXPECT_TRUE(glyph.isNull());
        if (GlyphSize.isValid()) {
            glyph = QImage(GlyphSize, QImage::Format_ARGB32);
            glyph.fill(QColor(10, 20, 30));
        }
        title += TitleSuffix;
    }
};

const QColor White(255, 255, 255);

// Distinct colours for every element and state, so a probe tells them apart.
void Paint(TCustomFancyGlyphButton& button)
{
    QPalette palette = button.palette();
    palette.setColor(QPalette::Window, White);
    palette.setColor(QPalette::Button, White);
    palette.setColor(QPalette::ButtonText, QColor(0, 0, 0));
    button.setPalette(palette);
    button.setAutoFillBackground(true);
    button.SetOutlineColor(QColor(1, 1, 1));
    button.SetDividerColor(QColor(2, 2, 2));
    button.SetHotOutlineColor(QColor(200, 0, 0));
    button.SetHotDividerColor(QColor(201, 0, 0));
    button.SetHotGlyphColor(QColor(202, 0, 0));
    button.SetHotTextColor(QColor(203, 0, 0));
    button.SetHotFontColor(QColor(204, 0, 0));
    button.SetSelectedOutlineColor(QColor(0, 200, 0));
    button.SetSelectedDividerColor(QColor(0, 201, 0));
    button.SetSelectedGlyphColor(QColor(0, 202, 0));
    button.SetSelectedTextColor(QColor(0, 203, 0));
    button.SetSelectedFontColor(QColor(0, 204, 0));
    button.SetInactiveOutlineColor(QColor(0, 0, 200));
    button.SetInactiveDividerColor(QColor(0, 0, 201));
    button.SetInactiveGlyphColor(QColor(0, 0, 202));
    button.SetInactiveTextColor(QColor(0, 0, 203));
    button.SetInactiveFontColor(QColor(0, 0, 204));
}

void SetInactiveNone(TCustomFancyGlyphButton& button)
{
    button.SetInactiveOutlineColor(QColor());
    button.SetInactiveDividerColor(QColor());
    button.SetInactiveGlyphColor(QColor());
    button.SetInactiveTextColor(QColor());
    button.SetInactiveFontColor(QColor());
}

void Hover(QWidget& widget)
{
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&widget, &enter);
}

bool HasPixel(const QImage& image, const QRect& area, const QColor& color)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) == color)
                return true;
    return false;
}

} // namespace

TEST(FancyGlyphButton, CaptionAndHintFollowTheTexts)
{
    struct Case
    {
        QString Title, Description, Caption;
    };
    const Case cases[] = {
        {"", "", "#2"},
        {"Dialog", "", "Dialog"},
        {"", "English (United States)", "English (United States)"},
        {"Dialog", "English (United States)", "Dialog\nEnglish (United States)"},
    };
    for (const Case& c : cases) {
        QWidget parent;
        TTestGlyphButton first(&parent);
        QLabel between(&parent); // other controls do not count
        TTestGlyphButton second(&parent);
        second.SetTitle(c.Title);
        second.SetDescription(c.Description);
        second.UpdateButton();
        EXPECT_EQ(second.text(), c.Caption) << c.Title.toStdString();
        EXPECT_EQ(second.toolTip(), c.Caption);
        first.UpdateButton();
        EXPECT_EQ(first.text(), "#1");
    }
}

TEST(FancyGlyphButton, ButtonIndexCountsFancySiblingsOnly)
{
    TTestGlyphButton orphan;
    EXPECT_EQ(orphan.ButtonIndex(), -1);
    QWidget parent;
    QLabel label(&parent);
    TTestGlyphButton a(&parent);
    QLabel other(&parent);
    TTestGlyphButton b(&parent);
    EXPECT_EQ(a.ButtonIndex(), 0);
    EXPECT_EQ(b.ButtonIndex(), 1);
}

TEST(FancyGlyphButton, RebuildSetsHeightAndKeepsTheGlyphHooksTexts)
{
    TTestGlyphButton plain;
    EXPECT_EQ(plain.size(), QSize(112, 100));
    plain.UpdateButton();
    EXPECT_EQ(plain.size(), QSize(112, 36));
    EXPECT_EQ(plain.sizeHint().height(), 36);

    TTestGlyphButton pictured(nullptr, QSize(24, 48));
    pictured.TitleSuffix = " *";
    pictured.SetTitle("Bitmap");
    pictured.UpdateButton();
    EXPECT_EQ(pictured.height(), 84);
    EXPECT_EQ(pictured.Title(), "Bitmap");
    EXPECT_EQ(pictured.CurrentTitle(), "Bitmap *");
    EXPECT_EQ(pictured.text(), "Bitmap *");

    // Nothing is rebuilt until a text changes, and an unchanged text schedules nothing.
    pictured.UpdateButton();
    pictured.SetTitle("Bitmap");
    pictured.UpdateButton();
    EXPECT_EQ(pictured.Updates, 1);
    pictured.SetDescription("Neutral");
    pictured.grab();
    EXPECT_EQ(pictured.Updates, 2);
    EXPECT_EQ(pictured.text(), "Bitmap *\nNeutral");
}

TEST(FancyGlyphButton, ColourChoiceFollowsState)
{
    struct Case
    {
        const char* Name;
        bool Hot, Down, Active, InactiveNone, SelectedNone;
        TFancyGlyphColors Expected;
    };
    const QColor none;
    const QColor black(0, 0, 0);
    const Case cases[] = {
        {"up", false, false, false, false, false, {QColor(1, 1, 1), QColor(2, 2, 2), none, none, black}},
        {"up hot", true, false, false, false, false,
         {QColor(200, 0, 0), QColor(201, 0, 0), QColor(202, 0, 0), QColor(203, 0, 0), QColor(204, 0, 0)}},
        {"down active", false, true, true, false, false,
         {QColor(0, 200, 0), QColor(0, 201, 0), QColor(0, 202, 0), QColor(0, 203, 0), QColor(0, 204, 0)}},
        {"down inactive", false, true, false, false, false,
         {QColor(0, 0, 200), QColor(0, 0, 201), QColor(0, 0, 202), QColor(0, 0, 203), QColor(0, 0, 204)}},
        {"down inactive, inactive none", false, true, false, true, false,
         {QColor(0, 200, 0), QColor(0, 201, 0), QColor(0, 202, 0), QColor(0, 203, 0), QColor(0, 204, 0)}},
        {"down hot inactive", true, true, false, false, false,
         {QColor(200, 0, 0), QColor(201, 0, 0), QColor(0, 0, 202), QColor(0, 0, 203), QColor(0, 0, 204)}},
        {"down active, selected none", false, true, true, false, true,
         {QColor(1, 1, 1), QColor(2, 2, 2), none, none, black}},
        {"down hot active, selected none", true, true, true, false, true,
         {QColor(200, 0, 0), QColor(201, 0, 0), QColor(202, 0, 0), QColor(203, 0, 0), QColor(204, 0, 0)}},
        // Without a selected colour an inactive button still shows its inactive colours.
        {"down inactive, selected none", false, true, false, false, true,
         {QColor(0, 0, 200), QColor(0, 0, 201), QColor(0, 0, 202), QColor(0, 0, 203), QColor(0, 0, 204)}},
    };
    for (const Case& c : cases) {
        TTestGlyphButton button;
        Paint(button);
        button.SetActive(c.Active);
        if (c.InactiveNone)
            SetInactiveNone(button);
        if (c.SelectedNone) {
            button.SetSelectedOutlineColor(none);
            button.SetSelectedDividerColor(none);
            button.SetSelectedGlyphColor(none);
            button.SetSelectedTextColor(none);
            button.SetSelectedFontColor(none);
        }
        const TFancyGlyphColors colors = button.ChooseColors(c.Hot, c.Down);
        EXPECT_EQ(colors.Outline, c.Expected.Outline) << c.Name;
        EXPECT_EQ(colors.Divider, c.Expected.Divider) << c.Name;
        EXPECT_EQ(colors.Glyph, c.Expected.Glyph) << c.Name;
        EXPECT_EQ(colors.Text, c.Expected.Text) << c.Name;
        EXPECT_EQ(colors.Font, c.Expected.Font) << c.Name;
    }
}

TEST(FancyGlyphButton, DefaultsDeriveFromTheSelectedColours)
{
    TTestGlyphButton button;
    EXPECT_FALSE(button.DividerColor().isValid());
    EXPECT_FALSE(button.HotFontColor().isValid());
    EXPECT_FALSE(button.InactiveOutlineColor().isValid());
    EXPECT_EQ(button.OutlineColor(), clGradientInactiveCaption());
    EXPECT_EQ(button.HotTextColor(), FancyHighLightColor(button.SelectedTextColor(), 60));
    EXPECT_EQ(button.InactiveGlyphColor(), FancyHighLightColor(button.SelectedGlyphColor(), 40));
    EXPECT_EQ(FancyHighLightColor(QColor(0, 100, 200), 50), QColor(127, 177, 227));
    EXPECT_EQ(FancyHighLightColor(QColor(0, 100, 200), -10), QColor(0, 90, 180));
    EXPECT_FALSE(FancyHighLightColor(QColor(), 40).isValid());
}

TEST(FancyGlyphButton, RendersAreasOutlineAndDividerForItsState)
{
    struct Case
    {
        const char* Name;
        bool Hot, Checked, Active, InactiveNone;
        QColor Outline, Divider, Glyph, Text;
    };
    const Case cases[] = {
        {"up", false, false, false, false, QColor(1, 1, 1), White, White, White},
        {"hot", true, false, false, false, QColor(200, 0, 0), QColor(201, 0, 0), QColor(202, 0, 0),
         QColor(203, 0, 0)},
        {"selected active", false, true, true, false, QColor(0, 200, 0), QColor(0, 201, 0), QColor(0, 202, 0),
         QColor(0, 203, 0)},
        {"selected inactive", false, true, false, false, QColor(0, 0, 200), QColor(0, 0, 201),
         QColor(0, 0, 202), QColor(0, 0, 203)},
        {"selected inactive, inactive none", false, true, false, true, QColor(0, 200, 0), QColor(0, 201, 0),
         QColor(0, 202, 0), QColor(0, 203, 0)},
    };
    for (const Case& c : cases) {
        TTestGlyphButton button(nullptr, QSize(16, 20));
        Paint(button);
        button.SetTitle("Title");
        button.setCheckable(true);
        button.setChecked(c.Checked);
        button.SetActive(c.Active);
        if (c.InactiveNone)
            SetInactiveNone(button);
        if (c.Hot)
            Hover(button);
        button.UpdateButton(); // a rebuild while painting only takes effect at the next paint
        const QImage image = button.grab().toImage();
        ASSERT_EQ(image.size(), QSize(112, 56)) << c.Name;
        const int divider = 20 + 4;
        EXPECT_EQ(image.pixelColor(56, 0), c.Outline) << c.Name;
        EXPECT_EQ(image.pixelColor(56, 55), c.Outline) << c.Name;
        EXPECT_EQ(image.pixelColor(10, divider - 1), c.Divider) << c.Name;
        EXPECT_EQ(image.pixelColor(10, 10), c.Glyph) << c.Name;
        EXPECT_EQ(image.pixelColor(5, divider + 3), c.Text) << c.Name;
        // The picture sits centred, 2 pixels below the top.
        EXPECT_EQ(image.pixelColor(48, 2), QColor(10, 20, 30)) << c.Name;
        EXPECT_EQ(image.pixelColor(63, 21), QColor(10, 20, 30)) << c.Name;
        EXPECT_NE(image.pixelColor(47, 2), QColor(10, 20, 30)) << c.Name;
        EXPECT_NE(image.pixelColor(48, 1), QColor(10, 20, 30)) << c.Name;
    }
}

TEST(FancyGlyphButton, DrawsBothLinesCentredInTheFontColour)
{
    TTestGlyphButton button;
    Paint(button);
    QFont font = button.font();
    font.setStyleStrategy(QFont::NoAntialias);
    button.setFont(font);
    button.SetTitle("Wide");
    button.SetDescription("Tiny");
    button.setCheckable(true);
    button.setChecked(true);
    button.SetActive(true);
    button.UpdateButton();
    const QImage image = button.grab().toImage();
    const QColor ink(0, 204, 0);
    QRect inked;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == ink)
                inked |= QRect(x, y, 1, 1);
    ASSERT_FALSE(inked.isEmpty());
    EXPECT_NEAR(inked.center().x(), image.width() / 2, 3);
    EXPECT_NEAR(inked.center().y(), image.height() / 2, 3);
    // Two lines: a gap of background between the lines' ink.
    const int lineHeight = QFontMetrics(font).height();
    EXPECT_GT(inked.height(), lineHeight);

    // An active button without a selected font colour writes in the control's font colour.
    button.SetSelectedFontColor(QColor());
    const QImage plain = button.grab().toImage();
    EXPECT_FALSE(HasPixel(plain, plain.rect(), ink));
    EXPECT_TRUE(HasPixel(plain, plain.rect().adjusted(4, 4, -4, -4), QColor(0, 0, 0)));
}

TEST(FancyGlyphButton, LongCaptionEndsWithEllipsisInsideTheButton)
{
    TTestGlyphButton button;
    Paint(button);
    button.SetTitle(QString(60, QLatin1Char('W')));
    button.UpdateButton();
    const QImage image = button.grab().toImage();
    // The outermost columns stay free of text.
    EXPECT_FALSE(HasPixel(image, QRect(0, 2, 2, image.height() - 4), QColor(0, 0, 0)));
    EXPECT_FALSE(HasPixel(image, QRect(image.width() - 2, 2, 2, image.height() - 4), QColor(0, 0, 0)));
}

TEST(FancyGlyphButton, PressingAnotherButtonOfTheGroupMakesTheDownOneInactive)
{
    QWidget parent;
    TTestGlyphButton first(&parent);
    TTestGlyphButton second(&parent);
    QButtonGroup group;
    for (TTestGlyphButton* button : {&first, &second}) {
        button->setCheckable(true);
        group.addButton(button);
    }
    first.setChecked(true);
    first.SetActive(true);
    second.click();
    EXPECT_TRUE(second.isChecked());
    EXPECT_FALSE(first.isChecked());
    EXPECT_FALSE(first.Active());

    // Unchecking a button that has no checked peer keeps its state.
    group.setExclusive(false);
    second.SetActive(true);
    second.setChecked(false);
    EXPECT_TRUE(second.Active());
}

TEST(Splitter, DrawsFiveBumpsSizedByThickness)
{
    struct Case
    {
        Qt::Orientation Orientation;
        QSize Size;
        QPoint First;
        QPoint Step;
        int Bump;
    };
    const Case cases[] = {
        {Qt::Horizontal, QSize(3, 100), QPoint(0, 42), QPoint(0, 3), 2},
        {Qt::Horizontal, QSize(5, 100), QPoint(1, 38), QPoint(0, 4), 3},
        {Qt::Vertical, QSize(200, 3), QPoint(92, 0), QPoint(3, 0), 2},
        {Qt::Vertical, QSize(200, 5), QPoint(88, 1), QPoint(4, 0), 3},
    };
    const QColor background(40, 40, 40), light(250, 250, 250), dark(90, 90, 90);
    for (const Case& c : cases) {
        TSplitter splitter(c.Orientation);
        splitter.addWidget(new QWidget);
        splitter.addWidget(new QWidget);
        QSplitterHandle* handle = splitter.handle(1);
        ASSERT_TRUE(dynamic_cast<TSplitterHandle*>(handle));
        QPalette palette;
        palette.setColor(QPalette::Window, background);
        palette.setColor(QPalette::Light, light);
        palette.setColor(QPalette::Dark, dark);
        handle->setPalette(palette);
        const bool across = c.Orientation == Qt::Horizontal;
        splitter.setHandleWidth(across ? c.Size.width() : c.Size.height());
        splitter.resize(across ? QSize(200, c.Size.height()) : QSize(c.Size.width(), 100));
        splitter.show();
        handle->resize(c.Size); // Qt widens thin handles for their grab area
        ASSERT_EQ(handle->size(), c.Size);
        const QImage image = handle->grab().toImage();
        int bumps = 0;
        for (int i = 0; i < 5; ++i) {
            const QPoint p = c.First + i * c.Step;
            EXPECT_EQ(image.pixelColor(p), dark);
            EXPECT_EQ(image.pixelColor(p + QPoint(1, 1)), c.Bump == 2 ? light : dark);
            if (c.Bump == 2) {
                EXPECT_EQ(image.pixelColor(p + QPoint(1, 0)), light);
            } else {
                EXPECT_EQ(image.pixelColor(p + QPoint(2, 2)), light);
                EXPECT_EQ(image.pixelColor(p + QPoint(2, 0)), background); // transparent corner
                EXPECT_EQ(image.pixelColor(p + QPoint(0, 2)), background);
            }
            ++bumps;
        }
        EXPECT_EQ(bumps, 5);
        // Beyond the fifth bump and before the first only the fill shows.
        EXPECT_EQ(image.pixelColor(c.First + 5 * c.Step), background);
        EXPECT_EQ(image.pixelColor(c.First - c.Step), background);
    }
}

namespace {

struct TreeFixture
{
    TTreeView Tree;
    QList<QTreeWidgetItem*> Items;

    TreeFixture()
    {
        Tree.setSelectionMode(QAbstractItemView::ExtendedSelection);
        for (const char* text : {"ACCELERATORS", "DIALOG", "MENU", "STRINGTABLE"})
            Items.append(new QTreeWidgetItem(&Tree, QStringList(QString::fromLatin1(text))));
        Tree.resize(200, 200);
        Tree.show();
    }

    void Press(Qt::MouseButton button, QTreeWidgetItem* item)
    {
        const QPoint at = item ? Tree.visualItemRect(item).center() : QPoint(100, 190);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), Tree.viewport()->mapToGlobal(QPointF(at)),
                          button, button, Qt::NoModifier);
        QApplication::sendEvent(Tree.viewport(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at),
                            Tree.viewport()->mapToGlobal(QPointF(at)), button, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(Tree.viewport(), &release);
    }
};

} // namespace

TEST(TreeView, RightClickSelectsTheHitNodeAlone)
{
    TreeFixture f;
    f.Tree.SetRightClickSelect(true);
    f.Tree.setCurrentItem(f.Items[0]);
    f.Items[1]->setSelected(true);
    f.Press(Qt::RightButton, f.Items[2]);
    EXPECT_EQ(f.Tree.currentItem(), f.Items[2]);
    EXPECT_EQ(f.Tree.selectedItems(), QList<QTreeWidgetItem*>{f.Items[2]});

    // On the selected node, or on no node, the selection stays as it is.
    f.Items[3]->setSelected(true);
    f.Press(Qt::RightButton, f.Items[2]);
    f.Press(Qt::RightButton, nullptr);
    EXPECT_EQ(f.Tree.currentItem(), f.Items[2]);
    EXPECT_EQ(f.Tree.selectedItems().size(), 2);
}

TEST(TreeView, CustomDrawHookCanSkipItems)
{
    TreeFixture f;
    QStringList asked;
    f.Tree.OnAdvancedCustomDrawItem = [&](QTreeWidgetItem* node, QStyle::State, QPainter& canvas, bool&) {
        asked.append(node->text(0));
        if (node->text(0) == "MENU") {
            canvas.fillRect(f.Tree.visualItemRect(node), QColor(255, 0, 255));
            return false;
        }
        return true;
    };
    const QImage image = f.Tree.viewport()->grab().toImage();
    EXPECT_TRUE(asked.contains("MENU"));
    EXPECT_TRUE(asked.contains("DIALOG"));
    const QRect menu = f.Tree.visualItemRect(f.Items[2]);
    EXPECT_FALSE(menu.isEmpty());
    // The hook's own drawing was left alone: no text was painted over it.
    for (int x = menu.left(); x < menu.left() + 60; ++x)
        EXPECT_EQ(image.pixelColor(x, menu.center().y()), QColor(255, 0, 255));
}

TEST(ScrollBox, WheelScrollsWholeLinesWhateverTheDelta)
{
    struct Case
    {
        int Delta;
        bool Shift;
        int VerticalLines, HorizontalLines;
    };
    const Case cases[] = {
        {-120, false, 1, 0}, {120, false, -1, 0}, {-1, false, 1, 0}, {0, false, 1, 0},
        {-360, false, 1, 0}, {-120, true, 0, 1}, {120, true, 0, -1},
    };
    const int lines = QApplication::wheelScrollLines();
    for (const Case& c : cases) {
        TScrollBox box;
        auto* content = new QWidget;
        content->resize(2000, 2000);
        box.setWidget(content);
        box.resize(100, 100);
        box.show();
        box.verticalScrollBar()->setValue(500);
        box.horizontalScrollBar()->setValue(500);
        const int vStep = box.verticalScrollBar()->singleStep();
        const int hStep = box.horizontalScrollBar()->singleStep();
        QWheelEvent wheel(QPointF(50, 50), box.mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, c.Delta),
                          Qt::NoButton, c.Shift ? Qt::ShiftModifier : Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box.viewport(), &wheel);
        EXPECT_TRUE(wheel.isAccepted());
        EXPECT_EQ(box.verticalScrollBar()->value(), 500 + c.VerticalLines * lines * vStep) << c.Delta;
        EXPECT_EQ(box.horizontalScrollBar()->value(), 500 + c.HorizontalLines * lines * hStep) << c.Delta;
    }
}

TEST(ScrollBox, HandlerTakesTheWheelFirst)
{
    TScrollBox box;
    auto* content = new QWidget;
    content->resize(2000, 2000);
    box.setWidget(content);
    box.resize(100, 100);
    box.show();
    box.OnMouseWheel = [](QWheelEvent*) { return true; };
    QWheelEvent wheel(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(box.viewport(), &wheel);
    EXPECT_EQ(box.verticalScrollBar()->value(), 0);
}

TEST(MouseWheel, RouteScrollsTheUnfocusedControlUnderTheMouse)
{
    QWidget form;
    form.resize(400, 300);
    auto* edit = new QLineEdit(&form);
    edit->setGeometry(10, 10, 150, 24);
    auto* list = new QListWidget(&form);
    list->setGeometry(10, 50, 200, 200);
    for (int i = 0; i < 200; ++i)
        list->addItem(QStringLiteral("Item %1").arg(i));
    form.show();
    QApplication::setActiveWindow(&form);
    edit->setFocus();
    ASSERT_TRUE(edit->hasFocus());

    const QPoint overList = list->mapToGlobal(QPoint(100, 100));
    EXPECT_TRUE(RouteMouseWheel(&form, Qt::NoModifier, -120, overList));
    EXPECT_GT(list->verticalScrollBar()->value(), 0);

    // The focused control and the form itself take nothing through the route.
    const int value = list->verticalScrollBar()->value();
    EXPECT_FALSE(RouteMouseWheel(&form, Qt::NoModifier, -120, edit->mapToGlobal(QPoint(5, 5))));
    EXPECT_FALSE(RouteMouseWheel(&form, Qt::NoModifier, -120, form.mapToGlobal(QPoint(390, 290))));
    EXPECT_EQ(list->verticalScrollBar()->value(), value);

    // A disabled list passes the wheel to its parents, which ignore it.
    list->setEnabled(false);
    EXPECT_FALSE(RouteMouseWheel(&form, Qt::NoModifier, -120, overList));
    EXPECT_EQ(list->verticalScrollBar()->value(), value);
}

namespace {

QByteArray Encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QLabel* HintLabel(QWidget* parent, bool marked)
{
    auto* label = new QLabel(parent);
    if (marked)
        label->setProperty(HintImageProperty, true);
    return label;
}

} // namespace

TEST(HintImages, MarkedLabelsGetThePictureAtEveryLevel)
{
    QImage opaque(4, 4, QImage::Format_RGB32);
    opaque.fill(QColor(255, 0, 255));
    opaque.setPixelColor(1, 1, QColor(0, 0, 255));
    std::map<QString, int> loads;
    const TBitmapResourceFinder finder = [&](const QString& name) -> std::optional<QByteArray> {
        ++loads[name];
        if (name != "HINT_INFO_50_SMALL")
            return std::nullopt;
        return Encoded(opaque, "BMP");
    };

    QWidget form;
    QLabel* top1 = HintLabel(&form, true);
    QLabel* plain = HintLabel(&form, false);
    QLabel* top2 = HintLabel(&form, true);
    auto* panel = new QWidget(&form);
    QLabel* nested = HintLabel(panel, true);
    LoadHintImages(&form, QString(), finder);

    for (QLabel* label : {top1, top2, nested}) {
        const QImage shown = label->pixmap().toImage();
        ASSERT_EQ(shown.size(), QSize(4, 4));
        // The colour of the bottom-left pixel becomes transparent.
        EXPECT_EQ(qAlpha(shown.pixel(0, 0)), 0);
        EXPECT_EQ(shown.pixelColor(1, 1), QColor(0, 0, 255));
    }
    EXPECT_TRUE(plain->pixmap().isNull());
    EXPECT_EQ(loads["HINT_INFO_50_SMALL"], 2); // one copy per level

    // A named bitmap the program lacks leaves the pictures empty.
    QWidget other;
    QLabel* missing = HintLabel(&other, true);
    LoadHintImages(&other, "NO_SUCH_BITMAP", finder);
    EXPECT_EQ(loads["NO_SUCH_BITMAP"], 1);
    EXPECT_TRUE(missing->pixmap().isNull());
}

TEST(HintImages, AlphaPicturesKeepTheirAlpha)
{
    QImage translucent(3, 3, QImage::Format_ARGB32);
    translucent.fill(qRgba(10, 20, 30, 128));
    const TBitmapResourceFinder finder = [&](const QString&) -> std::optional<QByteArray> {
        return Encoded(translucent, "PNG");
    };
    QWidget form;
    QLabel* label = HintLabel(&form, true);
    LoadHintImages(&form, "INFO", finder);
    EXPECT_EQ(qAlpha(label->pixmap().toImage().pixel(0, 2)), 128);
}

namespace {

QFont Bold(QFont font)
{
    font.setBold(true);
    return font;
}

} // namespace

TEST(BalloonHint, SizeFollowsTextsPictureAndMaxWidth)
{
    TBalloonHint hint;
    hint.SetThemed(false);
    const QFontMetrics regular(hint.font());
    const QFontMetrics bold(Bold(hint.font()));
    const int line = regular.height();

    hint.SetStyle(bhsStandard);
    hint.SetTitle("Name");
    hint.SetDescription("Short");
    const int w = std::max(bold.horizontalAdvance("Name"), regular.horizontalAdvance("Short"));
    EXPECT_NEAR(hint.CalcHintSize().width(), w + 12, 1);
    EXPECT_EQ(hint.CalcHintSize().height(), 8 + bold.height() + line + 4 + 4);

    hint.SetStyle(bhsBalloon);
    EXPECT_EQ(hint.CalcHintSize().height(), 8 + bold.height() + line + 4 + 4 + 10);
    hint.SetThemesEnabled(false); // no pointer without themes
    EXPECT_EQ(hint.CalcHintSize().height(), 8 + bold.height() + line + 4 + 4);

    // A title alone is the text, in regular weight.
    hint.SetDescription(QString());
    EXPECT_EQ(hint.CalcHintSize().height(), 8 + line + 4);
    EXPECT_NEAR(hint.CalcHintSize().width(), regular.horizontalAdvance("Name") + 12, 1);

    // The picture widens the window and sets its least height.
    TImageList images(40, 40);
    QImage picture(40, 40, QImage::Format_ARGB32);
    picture.fill(Qt::blue);
    images.Add(picture);
    hint.SetImages(&images);
    hint.SetImageIndex(0);
    EXPECT_EQ(hint.CalcHintSize().height(), 48);
    EXPECT_NEAR(hint.CalcHintSize().width(), regular.horizontalAdvance("Name") + 12 + 48, 1);
    hint.SetImageIndex(1); // not in the list
    EXPECT_EQ(hint.CalcHintSize().height(), 8 + line + 4);
}

TEST(BalloonHint, LongDescriptionWrapsAtMaxWidth)
{
    TBalloonHint hint;
    hint.SetThemed(false);
    hint.SetStyle(bhsStandard);
    hint.SetTitle("Application name");
    hint.SetDescription("Uniquely names the application or assembly. Use the following format for the "
                        "name: Organization.Division.Name.");
    const QFontMetrics regular(hint.font());
    ASSERT_GT(regular.horizontalAdvance(hint.Description()), 200);
    const QSize wrapped = hint.CalcHintSize();
    EXPECT_LE(wrapped.width(), 212);
    EXPECT_GT(wrapped.height(), 8 + QFontMetrics(Bold(hint.font())).height() + 2 * regular.height() + 4);

    hint.SetMaxWidth(0);
    const QSize unlimited = hint.CalcHintSize();
    EXPECT_NEAR(unlimited.width(), regular.horizontalAdvance(hint.Description()) + 12, 1);
    EXPECT_LT(unlimited.height(), wrapped.height());
}

TEST(BalloonHint, PaintsBodyFramePointerAndText)
{
    TBalloonHint hint;
    hint.SetThemed(false);
    hint.SetTitle("Title");
    hint.SetDescription("Text");
    for (bool above : {true, false}) {
        hint.SetShownAbove(above);
        hint.resize(hint.CalcHintSize());
        const QImage image = hint.grab().toImage();
        const QRect body = hint.BodyRect();
        EXPECT_EQ(body.height(), hint.height() - 10);
        EXPECT_EQ(image.pixelColor(body.center().x(), body.top()), QColor(118, 118, 118));
        // The pointer's left edge is framed inside the strip; outside the shape stays the key colour.
        const int strip = above ? body.bottom() + 5 : 5;
        EXPECT_EQ(image.pixelColor(0, strip), QColor(0, 255, 0));
        EXPECT_TRUE(hint.Shape().contains(QPointF(hint.width() / 2.0 - 3, strip)));
        EXPECT_FALSE(hint.Shape().contains(QPointF(2, strip)));
        EXPECT_TRUE(HasPixel(image, body.adjusted(4, 4, -4, -4), QColor(0, 0, 0)));
    }
}
