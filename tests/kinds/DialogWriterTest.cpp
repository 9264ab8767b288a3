#include "kinds/koResourceItemDialog.h"
#include "kinds/koResourceItemDialogControls.h"
#include "kinds/koResourceModuleRCDialogWriter.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/Streams.h"

#include <QRegularExpression>
#include <functional>

#include <gtest/gtest.h>

namespace {
const uint32_t WS_TABSTOP = 0x00010000;

class DialogWriter : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemDialog_Initialize();
        koResourceItemDialogControls_Initialize();
        koResourceModuleRC_Initialize();
        koResourceModuleRCDialogWriter_Initialize();
        Module.SetDeferDefaultSymbols(true);
        Dialog = new TDialogResourceItem(TResourceIdent(QStringLiteral("IDD_ABOUT")));
        Module.Items()->Add(Dialog);
        Dialog->SetLanguage(0x0409);
    }
    void TearDown() override
    {
        koResourceModuleRCDialogWriter_Finalize();
        koResourceModuleRC_Finalize();
        koResourceItemDialogControls_Finalize();
        koResourceItemDialog_Finalize();
        koResourcesKinds_Finalize();
    }
    TDialogResourceItemControl* AddControl(TResourceDialogControlClass Class, uint32_t Style, const QString& Text = {})
    {
        TDialogResourceItemControl* control = Dialog->Items()->Add();
        control->SetControlClass(Class);
        control->SetStyle(Style);
        control->SetText(Text);
        control->ID()->SetOrdinalValue(uint16_t(100 + Dialog->Items()->Count()));
        control->SetLeft(1);
        control->SetTop(2);
        control->SetWidth(30);
        control->SetHeight(10);
        return control;
    }
    QString Write(bool Symbolic = true)
    {
        TMemoryStream out;
        TRCAnsiEncoder encoder(out);
        TRCItemWriterClass writer = RCItemWriterDatabase()->Find(Dialog);
        EXPECT_EQ(writer, TRCItemDialogWriter::ClassInfo());
        std::unique_ptr<TCustomRCItemWriter> instance = writer->Create(QString());
        instance->SetSymbolicValues(Symbolic);
        instance->SaveToStream(encoder, Dialog, false);
        return QString::fromLatin1(out.ToByteArray());
    }
    QStringList Lines(bool Symbolic = true) { return Write(Symbolic).split(QStringLiteral("\r\n")); }

    TResourceModule Module;
    TDialogResourceItem* Dialog = nullptr;
};

std::string Show(const QStringList& Lines) { return Lines.join(QLatin1Char('\n')).toStdString(); }
} // namespace

TEST_F(DialogWriter, NewDialogWithAnOkButton)
{
    Dialog->InitializeNewItem();
    Dialog->SetName(TResourceIdent(QStringLiteral("IDD_ABOUT")));
    Dialog->SetLanguage(0x0409);
    Dialog->Font()->SetCharset(1);
    Module.Symbols()->Add(QStringLiteral("IDOK"))->SetLiteralValue(QStringLiteral("1"));
    TDialogResourceItemControl* ok = AddControl(ccButton, WS_TABSTOP | WS_VISIBLE | WS_CHILD, QStringLiteral("OK"));
    ok->ID()->SetIdentifier(QStringLiteral("IDOK"));
    ok->SetLeft(65);
    ok->SetTop(70);
    ok->SetWidth(50);
    ok->SetHeight(14);
    const QString expected = QStringLiteral(
        "IDD_ABOUT DIALOGEX 0, 0, 186, 95\r\n"
        "  LANGUAGE 0x09,0x01 // English (United States)\r\n"
        "  EXSTYLE 0 // 0x00000000L\r\n"
        "  STYLE DS_SETFONT | DS_MODALFRAME | WS_SYSMENU | WS_DLGFRAME | WS_BORDER | WS_VISIBLE | WS_POPUP // 0x90C800C0L\r\n"
        "  FONT 8, \"MS Shell Dlg\"\r\n"
        "BEGIN\r\n"
        "  CONTROL \"OK\", IDOK, \"button\", BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE | WS_CHILD, 65, 70, 50, 14\r\n"
        "END\r\n"
        "\r\n");
    EXPECT_EQ(Write().toStdString(), expected.toStdString());
}

// What the dialog's own statements say, symbolic and numeric.
TEST_F(DialogWriter, DialogStatements)
{
    Module.Symbols()->Add(QStringLiteral("IDR_MAIN"))->SetLiteralValue(QStringLiteral("7"));
    const struct {
        const char* Case;
        std::function<void(TDialogResourceItem*)> Setup;
        bool Symbolic;
        QStringList Present;
        QStringList Absent;
    } cases[] = {
        {"empty caption, class and menu", [](TDialogResourceItem* d) { d->SetStyle(0x80000000); }, true,
         {QStringLiteral("IDD_ABOUT DIALOGEX 0, 0, 186, 95"), QStringLiteral("  EXSTYLE 0 // 0x00000000L"),
          QStringLiteral("  STYLE WS_POPUP | NOT WS_SYSMENU | NOT WS_DLGFRAME | NOT WS_BORDER // 0x80000000L")},
         {QStringLiteral("CAPTION"), QStringLiteral("CLASS"), QStringLiteral("MENU"), QStringLiteral("FONT")}},
        // A DIALOGEX statement takes no file name.
        {"file name", [](TDialogResourceItem* d) { d->SetFilename(QStringLiteral("about.dlg")); }, true,
         {QStringLiteral("IDD_ABOUT DIALOGEX 0, 0, 186, 95")}, {}},
        {"negative position, help ID", [](TDialogResourceItem* d) {
             d->SetLeft(uint16_t(-10));
             d->SetTop(uint16_t(-5));
             d->SetWidth(40000);
             d->SetHeight(95);
             d->SetHelpID(77);
         }, true, {QStringLiteral("IDD_ABOUT DIALOGEX (-10), -5, 40000, 95, 77")}, {}},
        {"caption, class, symbol menu", [](TDialogResourceItem* d) {
             d->SetCaption(QStringLiteral("Say \"hi\""));
             d->SetDialogClass(QStringLiteral("MyClass"));
             d->Menu()->SetIdentifier(QStringLiteral("IDR_MAIN"));
             d->SetStyle(0x80880000);
         }, true,
         {QStringLiteral("  CAPTION \"Say \"\"hi\"\"\""), QStringLiteral("  CLASS \"MyClass\""), QStringLiteral("  MENU IDR_MAIN"),
          QStringLiteral("  STYLE WS_SYSMENU | WS_BORDER | WS_POPUP | NOT WS_DLGFRAME // 0x80880000L")},
         {}},
        {"ordinal class and menu", [](TDialogResourceItem* d) {
             d->SetDialogClass(TResourceIdent::FromOrdinal(0x1234));
             d->Menu()->SetIdentifierValue(TResourceIdent::FromOrdinal(5));
         }, true, {QStringLiteral("  CLASS 4660"), QStringLiteral("  MENU 5")}, {}},
        {"named menu", [](TDialogResourceItem* d) { d->Menu()->SetIdentifierValue(TResourceIdent(QStringLiteral("MAINMENU"))); },
         true, {QStringLiteral("  MENU MAINMENU")}, {}},
        {"numeric styles with a caption", [](TDialogResourceItem* d) {
             d->SetCaption(QStringLiteral("x"));
             d->SetExStyle(0x00000201);
             d->SetStyle(0x80080000);
         }, false,
         {QStringLiteral("  EXSTYLE 513 // 0x00000201L"),
          QStringLiteral("  STYLE 2148007936 | NOT 0x00400000L | NOT 0x00800000L // 0x80080000L")},
         {}},
        {"numeric style without a caption", [](TDialogResourceItem* d) { d->SetStyle(0x80000000); }, false,
         {QStringLiteral("  STYLE 2147483648 // 0x80000000L")}, {}},
        {"symbolic extended style", [](TDialogResourceItem* d) { d->SetExStyle(0x00000201); }, true,
         {QStringLiteral("  EXSTYLE WS_EX_DLGMODALFRAME | WS_EX_CLIENTEDGE // 0x00000201L")}, {}},
        {"wide caption", [](TDialogResourceItem* d) { d->SetCaption(QStringLiteral("Gr") + QChar(0xFC) + QStringLiteral("n")); },
         true, {QStringLiteral("  CAPTION L\"Gr\\x00FCn\"")}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        Dialog->Clear();
        c.Setup(Dialog);
        const QStringList lines = Lines(c.Symbolic);
        for (const QString& line : c.Present) EXPECT_TRUE(lines.contains(line)) << line.toStdString() << "\n" << Show(lines);
        for (const QString& word : c.Absent)
            for (const QString& line : lines)
                EXPECT_FALSE(line.trimmed().startsWith(word + QLatin1Char(' '))) << Show(lines);
    }
}

// The binary template holds font data exactly when DS_SETFONT is set, and compilers set DS_SETFONT
// for a FONT line and take a missing character set for 1.
TEST_F(DialogWriter, FontLineFollowsSetFont)
{
    const struct {
        uint32_t Style;
        const char* Name;
        uint8_t Charset;
        DialogTypes::TDialogFontStyle FontStyle;
        const char* Expected; // nullptr: no FONT line
    } cases[] = {
        {0x80000000, "MS Shell Dlg", 1, {}, nullptr},
        {0x80000040, "", 1, {}, "  FONT 8, \"\""},
        {0x80000040, "MS Shell Dlg", 1, {}, "  FONT 8, \"MS Shell Dlg\""},
        {0x80000040, "MS Shell Dlg", 0, {}, "  FONT 8, \"MS Shell Dlg\", 0, 0, 0"},
        {0x80000040, "Tahoma", 204, DialogTypes::Bold, "  FONT 8, \"Tahoma\", 700, 0, 204"},
        {0x80000040, "Tahoma", 1, DialogTypes::Italic, "  FONT 8, \"Tahoma\", 0, 1, 1"},
        {0x80000040, "Tahoma", 1, DialogTypes::Bold | DialogTypes::Italic, "  FONT 8, \"Tahoma\", 700, 1, 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Expected ? c.Expected : "none");
        Dialog->Clear();
        Dialog->SetStyle(c.Style);
        Dialog->Font()->SetName(QString::fromLatin1(c.Name));
        Dialog->Font()->SetSize(8);
        Dialog->Font()->SetCharset(c.Charset);
        Dialog->Font()->SetStyle(c.FontStyle);
        const QStringList lines = Lines();
        const QStringList fonts = lines.filter(QRegularExpression(QStringLiteral("^\\s*FONT ")));
        if (c.Expected)
            EXPECT_EQ(fonts, QStringList{QString::fromLatin1(c.Expected)}) << Show(lines);
        else
            EXPECT_TRUE(fonts.isEmpty()) << Show(lines);
    }
}

TEST_F(DialogWriter, ControlLines)
{
    Module.Symbols()->Add(QStringLiteral("IDI_APP"))->SetLiteralValue(QStringLiteral("102"));
    const struct {
        const char* Case;
        std::function<void(TDialogResourceItemControl*)> Setup;
        bool Symbolic;
        const char* Expected;
    } cases[] = {
        {"plain button", [](TDialogResourceItemControl*) {}, true,
         "  CONTROL \"text\", 101, \"button\", BS_PUSHBUTTON | WS_VISIBLE | WS_CHILD, 1, 2, 30, 10"},
        {"numeric style", [](TDialogResourceItemControl*) {}, false,
         "  CONTROL \"text\", 101, \"button\", 0x50000000L, 1, 2, 30, 10"},
        {"hidden child, symbolic", [](TDialogResourceItemControl* c) { c->SetStyle(WS_CHILD | 0x0003); }, true,
         "  CONTROL \"text\", 101, \"button\", BS_AUTOCHECKBOX | WS_CHILD | NOT WS_VISIBLE, 1, 2, 30, 10"},
        {"hidden child, numeric", [](TDialogResourceItemControl* c) { c->SetStyle(WS_CHILD); }, false,
         "  CONTROL \"text\", 101, \"button\", 0x40000000L | NOT 0x10000000L, 1, 2, 30, 10"},
        {"not a child, numeric", [](TDialogResourceItemControl* c) { c->SetStyle(0); }, false,
         "  CONTROL \"text\", 101, \"button\", 0x00000000L | NOT 0x10000000L | NOT 0x40000000L, 1, 2, 30, 10"},
        {"help ID without extended style", [](TDialogResourceItemControl* c) { c->HelpID()->SetOrdinalValue(5); }, true,
         "  CONTROL \"text\", 101, \"button\", BS_PUSHBUTTON | WS_VISIBLE | WS_CHILD, 1, 2, 30, 10, 0, 5"},
        {"help ID, numeric", [](TDialogResourceItemControl* c) { c->HelpID()->SetOrdinalValue(5); }, false,
         "  CONTROL \"text\", 101, \"button\", 0x50000000L, 1, 2, 30, 10, 0x00000000L, 5"},
        {"extended style only", [](TDialogResourceItemControl* c) { c->SetExStyle(0x00020000); }, true,
         "  CONTROL \"text\", 101, \"button\", BS_PUSHBUTTON | WS_VISIBLE | WS_CHILD, 1, 2, 30, 10, WS_EX_STATICEDGE"},
        {"negative position, -1 ID", [](TDialogResourceItemControl* c) {
             c->SetLeft(uint16_t(-3));
             c->SetTop(uint16_t(-4));
             c->SetWidth(65535);
             c->ID()->SetOrdinalValue(0xFFFF);
         }, true, "  CONTROL \"text\", -1, \"button\", BS_PUSHBUTTON | WS_VISIBLE | WS_CHILD, -3, -4, 65535, 10"},
        {"ordinal image text", [](TDialogResourceItemControl* c) {
             c->SetControlClass(ccStatic);
             c->SetStyle(WS_VISIBLE | WS_CHILD | SS_ICON);
             c->SetText(TResourceIdent::FromOrdinal(101));
         }, true, "  CONTROL 101, 101, \"static\", SS_ICON | WS_VISIBLE | WS_CHILD, 1, 2, 30, 10"},
        {"image text bound to a symbol", [](TDialogResourceItemControl* c) {
             c->SetControlClass(ccStatic);
             c->SetStyle(WS_VISIBLE | WS_CHILD | SS_ICON);
             c->SetText(TResourceIdent::FromOrdinal(102));
             c->TextID()->SetIdentifier(QStringLiteral("IDI_APP"));
         }, true, "  CONTROL IDI_APP, 101, \"static\", SS_ICON | WS_VISIBLE | WS_CHILD, 1, 2, 30, 10"},
        {"custom class", [](TDialogResourceItemControl* c) {
             c->SetControlClassName(QStringLiteral("SysListView32"));
             c->SetStyle(WS_VISIBLE | WS_CHILD | 0x0041);
         }, true, "  CONTROL \"text\", 101, \"SysListView32\", 0x00000001L | 0x00000040L | WS_VISIBLE | WS_CHILD, 1, 2, 30, 10"},
        {"ordinal custom class", [](TDialogResourceItemControl* c) {
             c->SetControlClassName(TResourceIdent::FromOrdinal(0x0086));
             c->SetStyle(WS_VISIBLE | WS_CHILD);
         }, true, "  CONTROL \"text\", 101, 134, WS_VISIBLE | WS_CHILD, 1, 2, 30, 10"},
        {"list box without flags", [](TDialogResourceItemControl* c) {
             c->SetControlClass(ccListbox);
             c->SetStyle(WS_VISIBLE | WS_CHILD);
         }, true, "  CONTROL \"text\", 101, \"listbox\", WS_VISIBLE | WS_CHILD, 1, 2, 30, 10"},
        {"escaped text", [](TDialogResourceItemControl* c) { c->SetText(QStringLiteral("a\"b\tc")); }, true,
         "  CONTROL \"a\"\"b\\tc\", 101, \"button\", BS_PUSHBUTTON | WS_VISIBLE | WS_CHILD, 1, 2, 30, 10"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        Dialog->Clear();
        TDialogResourceItemControl* control = AddControl(ccButton, WS_VISIBLE | WS_CHILD, QStringLiteral("text"));
        c.Setup(control);
        const QStringList lines = Lines(c.Symbolic);
        EXPECT_EQ(lines.filter(QStringLiteral("CONTROL ")), QStringList{QString::fromLatin1(c.Expected)}) << Show(lines);
    }
}

TEST_F(DialogWriter, CreationDataFollowsTheControl)
{
    const TResourceDialogControlClass classes[] = {ccButton, ccEdit, ccStatic, ccListbox, ccScrollbar, ccCombobox};
    for (TResourceDialogControlClass cls : classes) AddControl(cls, WS_VISIBLE | WS_CHILD);
    Dialog->Items()->Items(1)->SetExtra(QByteArray("\x01\x02\x03", 3));
    const QStringList lines = Lines();
    const int at = int(lines.indexOf(QRegularExpression(QStringLiteral("^  CONTROL \"\", 102, \"edit\", .*"))));
    ASSERT_GE(at, 0) << Show(lines);
    EXPECT_EQ(lines.at(at + 1), QStringLiteral("  BEGIN")) << Show(lines);
    EXPECT_TRUE(lines.at(at + 2).startsWith(QStringLiteral("    "))) << Show(lines);
    EXPECT_EQ(lines.at(at + 3), QStringLiteral("  END")) << Show(lines);
    EXPECT_TRUE(lines.at(at + 4).startsWith(QStringLiteral("  CONTROL \"\", 103, \"static\""))) << Show(lines);
    // Each predefined class by its keyword.
    const QStringList controls = lines.filter(QStringLiteral("CONTROL "));
    ASSERT_EQ(controls.size(), 6);
    const char* const keywords[] = {"\"button\"", "\"edit\"", "\"static\"", "\"listbox\"", "\"scrollbar\"", "\"combobox\""};
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(controls.at(i).contains(QString::fromLatin1(keywords[i]))) << Show(lines);
}

TEST_F(DialogWriter, WritesOnlyDialogItems)
{
    auto* raw = new TResourceItemGeneric(TResourceIdent::FromOrdinal(3));
    raw->SetResourceType(TResourceIdent::FromOrdinal(RT_DIALOG));
    Module.Items()->Add(raw);
    EXPECT_TRUE(TRCItemDialogWriter::Handles(Dialog));
    EXPECT_FALSE(TRCItemDialogWriter::Handles(raw));
    EXPECT_NE(RCItemWriterDatabase()->Find(raw), TRCItemDialogWriter::ClassInfo());
}
