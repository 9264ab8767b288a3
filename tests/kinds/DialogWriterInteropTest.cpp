// Dialogs written as RC statements and compiled by real resource compilers come back as the same
// dialogs. Compilers keep a quoted class keyword as a class name ("button" or "BUTTON"), so classes
// are compared by name without regard to case, a predefined class by its keyword.
#include "kinds/koResourceItemDialog.h"
#include "kinds/koResourceItemDialogControls.h"
#include "kinds/koResourceModuleRCDialogWriter.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/PeerTools.h"
#include "platform/Streams.h"
#include "platform/WineModules.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>

#include <gtest/gtest.h>

namespace {
const char* const MingwInclude = "/usr/share/mingw-w64/include";
const uint32_t WS_CAPTION = 0x00C00000;
const uint32_t WS_SYSMENU = 0x00080000;
const uint32_t WS_TABSTOP = 0x00010000;
const uint32_t DS_MODALFRAME = 0x80;

TResourceIdent Ord(uint16_t v) { return TResourceIdent::FromOrdinal(v); }

QString ClassKey(TDialogResourceItemControl* Control)
{
    if (Control->ControlClass() != ccCustom) return ControlClassDisplayName(Control->ControlClass()).toLower();
    return ResourceIdentToString(Control->ClassName()).toLower();
}

// The dialog as text, every field the template holds.
std::string Describe(TDialogResourceItem* Dialog)
{
    QString text = QStringLiteral("help %1 ex %2 style %3 at %4,%5 %6x%7 class [%8] caption [%9] menu [%10]\n")
                       .arg(Dialog->HelpID())
                       .arg(Dialog->ExStyle(), 8, 16, QLatin1Char('0'))
                       .arg(Dialog->Style(), 8, 16, QLatin1Char('0'))
                       .arg(Dialog->Left())
                       .arg(Dialog->Top())
                       .arg(Dialog->Width())
                       .arg(Dialog->Height())
                       .arg(ResourceIdentToString(Dialog->DialogClass()), Dialog->Caption(),
                            ResourceIdentToString(Dialog->Menu()->IdentifierValue()));
    if (Dialog->Style() & DS_SETFONT) {
        const TDialogFont* font = Dialog->Font();
        text += QStringLiteral("font [%1] %2 charset %3 bold %4 italic %5\n")
                    .arg(font->Name())
                    .arg(font->Size())
                    .arg(font->Charset())
                    .arg(font->IsBold())
                    .arg(font->IsItalic());
    }
    for (int i = 0; i < Dialog->Items()->Count(); ++i) {
        TDialogResourceItemControl* c = Dialog->Items()->Items(i);
        text += QStringLiteral("control %1 help %2 ex %3 style %4 at %5,%6 %7x%8 class [%9] text [%10] extra [%11]\n")
                    .arg(c->IDValue())
                    .arg(c->HelpIDValue())
                    .arg(c->ExStyle(), 8, 16, QLatin1Char('0'))
                    .arg(c->Style(), 8, 16, QLatin1Char('0'))
                    .arg(c->Left())
                    .arg(c->Top())
                    .arg(c->Width())
                    .arg(c->Height())
                    .arg(ClassKey(c), ResourceIdentToString(c->Text()), QString::fromLatin1(c->Extra().toHex(' ')));
    }
    return text.toStdString();
}

struct TDialogCase {
    const char* Name;
    std::function<void(TDialogResourceItem*)> Build;
    bool LlvmRc; // the statements it uses are ones llvm-rc reads
};

TDialogResourceItemControl* AddControl(TDialogResourceItem* Dialog, TResourceDialogControlClass Class, uint32_t Style,
                                       const QString& Text, uint16_t ID)
{
    TDialogResourceItemControl* control = Dialog->Items()->Add();
    control->SetControlClass(Class);
    control->SetStyle(Style);
    control->SetText(Text);
    control->ID()->SetOrdinalValue(ID);
    control->SetLeft(7);
    control->SetTop(9);
    control->SetWidth(50);
    control->SetHeight(14);
    return control;
}

void Standard(TDialogResourceItem* Dialog)
{
    Dialog->SetWidth(186);
    Dialog->SetHeight(95);
    Dialog->SetStyle(0x80000000 | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT);
    Dialog->Font()->SetName(QStringLiteral("MS Shell Dlg"));
    Dialog->Font()->SetSize(8);
    Dialog->Font()->SetCharset(1);
    AddControl(Dialog, ccButton, WS_VISIBLE | WS_CHILD | WS_TABSTOP | 1, QStringLiteral("OK"), 1);
}

const TDialogCase Cases[] = {
    {"captioned with WS_CAPTION", [](TDialogResourceItem* d) {
         Standard(d);
         d->SetCaption(QStringLiteral("About \"it\""));
     }, true},
    {"captioned without WS_CAPTION", [](TDialogResourceItem* d) {
         Standard(d);
         d->SetStyle(0x80000000 | DS_SETFONT);
         d->SetCaption(QStringLiteral("Bare"));
     }, false},
    {"captioned with border only", [](TDialogResourceItem* d) {
         Standard(d);
         d->SetStyle(0x80800000 | DS_SETFONT);
         d->SetCaption(QStringLiteral("Border"));
     }, false},
    {"no caption, no WS_CAPTION", [](TDialogResourceItem* d) {
         Standard(d);
         d->SetStyle(0x40000000 | DS_SETFONT | 0x0400);
     }, true},
    {"DS_SETFONT without a face name", [](TDialogResourceItem* d) {
         Standard(d);
         d->Font()->SetName(QString());
         d->Font()->SetSize(0);
     }, true},
    {"no DS_SETFONT", [](TDialogResourceItem* d) {
         Standard(d);
         d->SetStyle(0x80000000 | WS_CAPTION);
     }, true},
    {"charset 0", [](TDialogResourceItem* d) {
         Standard(d);
         d->Font()->SetCharset(0);
     }, true},
    {"charset 204, bold", [](TDialogResourceItem* d) {
         Standard(d);
         d->Font()->SetName(QStringLiteral("Tahoma"));
         d->Font()->SetCharset(204);
         d->Font()->SetStyle(DialogTypes::Bold);
     }, true},
    {"italic", [](TDialogResourceItem* d) {
         Standard(d);
         d->Font()->SetStyle(DialogTypes::Italic);
         d->Font()->SetSize(9);
     }, true},
    {"negative positions, help IDs, extended styles", [](TDialogResourceItem* d) {
         Standard(d);
         d->SetLeft(uint16_t(-10));
         d->SetTop(uint16_t(-20));
         d->SetHelpID(0x80650000);
         d->SetExStyle(0x00010101);
         TDialogResourceItemControl* c = d->Items()->Items(0);
         c->SetLeft(uint16_t(-3));
         c->SetTop(uint16_t(-32768));
         c->HelpID()->SetOrdinalValue(5);
         TDialogResourceItemControl* e = AddControl(d, ccEdit, WS_VISIBLE | WS_CHILD | WS_TABSTOP | 0x0080, QString(), 1001);
         e->SetExStyle(0x08400200); // WS_EX_CLIENTEDGE | WS_EX_LAYOUTRTL | WS_EX_NOACTIVATE
         AddControl(d, ccStatic, WS_VISIBLE | WS_CHILD, QStringLiteral("help only"), 1002)->HelpID()->SetOrdinalValue(0xFFFFFFFF);
     }, true},
    {"ordinal image text", [](TDialogResourceItem* d) {
         Standard(d);
         AddControl(d, ccStatic, WS_VISIBLE | WS_CHILD | SS_ICON, Ord(101), 0xFFFF);
         AddControl(d, ccStatic, WS_VISIBLE | WS_CHILD | SS_BITMAP | 0x0200, Ord(32512), 0xFFFF);
     }, true},
    {"hidden and detached controls", [](TDialogResourceItem* d) {
         Standard(d);
         AddControl(d, ccButton, WS_CHILD | 3, QStringLiteral("hidden"), 10);
         AddControl(d, ccListbox, 0x00A00000 | 0x0103, QStringLiteral("no child"), 11);
         AddControl(d, ccScrollbar, WS_VISIBLE | WS_CHILD | 1, QString(), 12);
         AddControl(d, ccCombobox, WS_VISIBLE | WS_CHILD | 0x0243, QString(), 13);
     }, true},
    {"custom classes and -1 IDs", [](TDialogResourceItem* d) {
         Standard(d);
         TDialogResourceItemControl* c = AddControl(d, ccButton, WS_VISIBLE | WS_CHILD | 0x0041, QStringLiteral("list"), 0xFFFF);
         c->SetControlClassName(QStringLiteral("SysListView32"));
         c = AddControl(d, ccButton, WS_VISIBLE | WS_CHILD | 0x0003, QStringLiteral("rich"), 0xFFFF);
         c->SetControlClassName(QStringLiteral("REListBox20W"));
     }, true},
    {"wide texts", [](TDialogResourceItem* d) {
         Standard(d);
         d->SetCaption(QStringLiteral("Gr") + QChar(0xFC) + QChar(0x00DF) + QChar(0x0416));
         d->Font()->SetName(QStringLiteral("MS ") + QChar(0x660E) + QChar(0x671D));
         AddControl(d, ccStatic, WS_VISIBLE | WS_CHILD, QStringLiteral("caf") + QChar(0xE9) + QStringLiteral("\ttab"), 20);
     }, true},
    {"named dialog class", [](TDialogResourceItem* d) {
         Standard(d);
         d->SetDialogClass(QStringLiteral("MYDIALOGCLASS"));
     }, true},
    {"ordinal dialog class", [](TDialogResourceItem* d) {
         Standard(d);
         d->SetDialogClass(Ord(0x1234));
     }, true},
    // llvm-rc 14 reads neither a dialog's MENU statement nor creation data.
    {"menus", [](TDialogResourceItem* d) {
         Standard(d);
         d->Menu()->SetIdentifierValue(Ord(7));
     }, false},
    {"named menu", [](TDialogResourceItem* d) {
         Standard(d);
         d->Menu()->SetIdentifierValue(TResourceIdent(QStringLiteral("MAINMENU")));
     }, false},
    {"creation data", [](TDialogResourceItem* d) {
         Standard(d);
         AddControl(d, ccEdit, WS_VISIBLE | WS_CHILD, QStringLiteral("even"), 30)->SetExtra(QByteArray("\x01\x02\x03\x04", 4));
         AddControl(d, ccEdit, WS_VISIBLE | WS_CHILD, QStringLiteral("odd"), 31)->SetExtra(QByteArray("\xFF\x00\xC8", 3));
         AddControl(d, ccEdit, WS_VISIBLE | WS_CHILD, QStringLiteral("after"), 32);
     }, false},
    // llvm-rc takes a control class only as a string.
    {"ordinal custom class", [](TDialogResourceItem* d) {
         Standard(d);
         AddControl(d, ccButton, WS_VISIBLE | WS_CHILD | 0x0010, QStringLiteral("ordinal"), 40)->SetControlClassName(Ord(0x0086));
     }, false},
    {"wide dialog", [](TDialogResourceItem* d) {
         Standard(d);
         d->SetWidth(40000);
         d->Items()->Items(0)->SetHeight(65535);
     }, false},
};

class DialogWriterInterop : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemDialog_Initialize();
        koResourceItemDialogControls_Initialize();
        koResourceModuleRes_Initialize();
        koResourceModuleRC_Initialize();
        koResourceModuleRCDialogWriter_Initialize();
        ASSERT_TRUE(FDir.isValid());
        Module.SetDeferDefaultSymbols(true);
    }
    void TearDown() override
    {
        koResourceModuleRCDialogWriter_Finalize();
        koResourceModuleRC_Finalize();
        koResourceModuleRes_Finalize();
        koResourceItemDialogControls_Finalize();
        koResourceItemDialog_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }

    // Dialog n of the table is named 100 + n; only those the compiler reads go into the script.
    QString WriteScript(bool Symbolic, bool LlvmRcOnly)
    {
        TMemoryStream out;
        TRCAnsiEncoder encoder(out, 1252);
        encoder.WriteLine(QStringLiteral("#include <windows.h>"));
        TRCItemDialogWriter writer{QString()};
        writer.SetSymbolicValues(Symbolic);
        for (int i = 0; i < int(std::size(Cases)); ++i) {
            if (LlvmRcOnly && !Cases[i].LlvmRc) continue;
            auto* dialog = new TDialogResourceItem(Ord(uint16_t(100 + i)));
            Module.Items()->Add(dialog);
            dialog->SetLanguage(0x0409);
            Cases[i].Build(dialog);
            writer.SaveToStream(encoder, dialog, false);
        }
        const QString script = FDir.path() + (Symbolic ? QStringLiteral("/symbolic.rc") : QStringLiteral("/numeric.rc"));
        QFile file(script);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(out.ToByteArray());
        return script;
    }

    // Compiles the script into a RES file and loads it; null (with the failure reported) when the
    // compiler refuses the script. ScriptText receives the script for messages.
    std::unique_ptr<TCustomResourceModule> Compile(const QString& Tool, const QStringList& Arguments, const QString& Script,
                                                   std::string& ScriptText)
    {
        const QString res = Script + QStringLiteral(".res");
        QStringList arguments = Arguments;
        arguments.replaceInStrings(QStringLiteral("%in"), Script);
        arguments.replaceInStrings(QStringLiteral("%out"), res);
        const TPeerToolResult run = RunPeerTool(Tool, arguments, 60000, FDir.path());
        QFile scriptFile(Script);
        EXPECT_TRUE(scriptFile.open(QIODevice::ReadOnly));
        ScriptText = scriptFile.readAll().toStdString();
        if (!run.Ok()) {
            ADD_FAILURE() << run.Describe().toStdString() << "\n" << ScriptText.substr(0, 20000);
            return nullptr;
        }
        std::unique_ptr<TCustomResourceModule> compiled = TCustomResourceModule::LoadFromFile(res);
        EXPECT_NE(compiled, nullptr);
        return compiled;
    }

    void CompileAndCompare(const QString& Tool, const QStringList& Arguments, bool Symbolic, bool LlvmRcOnly)
    {
        if (!QFileInfo::exists(QString::fromLatin1(MingwInclude) + QStringLiteral("/windows.h")))
            GTEST_SKIP() << "the mingw-w64 headers are not installed";
        std::string scriptText;
        std::unique_ptr<TCustomResourceModule> compiled = Compile(Tool, Arguments, WriteScript(Symbolic, LlvmRcOnly), scriptText);
        ASSERT_NE(compiled, nullptr);
        int compared = 0;
        for (TCustomResourceItem* item : *Module.Items()) {
            auto* written = qobject_cast<TDialogResourceItem*>(item);
            ASSERT_NE(written, nullptr);
            SCOPED_TRACE(Cases[written->NameInteger() - 100].Name);
            auto* read = qobject_cast<TDialogResourceItem*>(compiled->Find(Ord(RT_DIALOG), written->Name(), 0x0409));
            ASSERT_NE(read, nullptr) << scriptText;
            EXPECT_EQ(Describe(read), Describe(written)) << scriptText;
            ++compared;
        }
        EXPECT_GT(compared, 0);
    }

    QStringList WindresArguments() const
    {
        return {QStringLiteral("--include-dir=") + QString::fromLatin1(MingwInclude), QStringLiteral("-J"), QStringLiteral("rc"),
                QStringLiteral("-O"), QStringLiteral("res"), QStringLiteral("-i"), QStringLiteral("%in"), QStringLiteral("-o"),
                QStringLiteral("%out")};
    }
    QStringList LlvmRcArguments() const
    {
        return {QStringLiteral("-I"), QString::fromLatin1(MingwInclude), QStringLiteral("/C"), QStringLiteral("1252"),
                QStringLiteral("/FO"), QStringLiteral("%out"), QStringLiteral("%in")};
    }

    QTemporaryDir FDir;
    TResourceModule Module;
};
} // namespace

TEST_F(DialogWriterInterop, WindresReadsSymbolicDialogsBack)
{
    REQUIRE_PEER_TOOL(windres, "x86_64-w64-mingw32-windres");
    CompileAndCompare(windres, WindresArguments(), true, false);
}

TEST_F(DialogWriterInterop, WindresReadsNumericDialogsBack)
{
    REQUIRE_PEER_TOOL(windres, "x86_64-w64-mingw32-windres");
    CompileAndCompare(windres, WindresArguments(), false, false);
}

// llvm-rc adds WS_CAPTION for a CAPTION whatever a later STYLE takes out, refuses sizes above 32767
// and reads no MENU statement or creation data: those dialogs are left out.
TEST_F(DialogWriterInterop, LlvmRcReadsSymbolicDialogsBack)
{
    REQUIRE_PEER_TOOL(llvmRc, "llvm-rc");
    CompileAndCompare(llvmRc, LlvmRcArguments(), true, true);
}

TEST_F(DialogWriterInterop, LlvmRcReadsNumericDialogsBack)
{
    REQUIRE_PEER_TOOL(llvmRc, "llvm-rc");
    CompileAndCompare(llvmRc, LlvmRcArguments(), false, true);
}

// A dialog saved with its module: the script includes the headers its style names and symbols need.
TEST_F(DialogWriterInterop, ModuleScriptWithDialogsCompiles)
{
    REQUIRE_PEER_TOOL(windres, "x86_64-w64-mingw32-windres");
    if (!QFileInfo::exists(QString::fromLatin1(MingwInclude) + QStringLiteral("/windows.h")))
        GTEST_SKIP() << "the mingw-w64 headers are not installed";
    TResourceModule module;
    module.SymbolFile()->Files()->Add(QStringLiteral("resource.h"))->SetPrimary(true);
    auto* dialog = new TDialogResourceItem(Ord(1));
    module.Items()->Add(dialog);
    dialog->InitializeNewItem();
    dialog->SetLanguage(0x0407);
    dialog->LocalID()->SetIdentifier(QStringLiteral("IDD_ABOUT"));
    dialog->SetCaption(QStringLiteral("About"));
    TDialogResourceItemControl* ok = AddControl(dialog, ccButton, WS_VISIBLE | WS_CHILD | WS_TABSTOP | 1, QStringLiteral("OK"), 1);
    ok->ID()->SetIdentifier(QStringLiteral("IDOK"));
    TDialogResourceItemControl* icon = AddControl(dialog, ccStatic, WS_VISIBLE | WS_CHILD | SS_ICON, Ord(32516), 0xFFFF);
    icon->TextID()->SetIdentifier(QStringLiteral("IDI_ASTERISK"));
    AddControl(dialog, ccEdit, WS_VISIBLE | WS_CHILD, QString(), 1000)->ID()->SetIdentifier(QStringLiteral("IDC_NAME"));
    const std::string expected = Describe(dialog);

    const QString script = FDir.path() + QStringLiteral("/module.rc");
    module.SaveToFile(script);
    std::string scriptText;
    std::unique_ptr<TCustomResourceModule> compiled = Compile(windres, WindresArguments(), script, scriptText);
    ASSERT_NE(compiled, nullptr);
    auto* read = qobject_cast<TDialogResourceItem*>(compiled->Find(Ord(RT_DIALOG), Ord(dialog->NameInteger()), 0x0407));
    ASSERT_NE(read, nullptr) << scriptText;
    EXPECT_EQ(Describe(read), expected) << scriptText;
}

// Every dialog of wine's modules, written as a script and compiled by windres, reads back as the same
// dialog: real captions, fonts, classes, styles and texts in many languages.
TEST_F(DialogWriterInterop, WineDialogsCompileBackInterop)
{
    REQUIRE_PEER_TOOL(windres, "x86_64-w64-mingw32-windres");
    if (!HasWineModules()) GTEST_SKIP() << "wine64 is not installed";
    if (!QFileInfo::exists(QString::fromLatin1(MingwInclude) + QStringLiteral("/windows.h")))
        GTEST_SKIP() << "the mingw-w64 headers are not installed";
    const QList<TWineResource> resources = WineResources({RT_DIALOG});
    ASSERT_FALSE(resources.isEmpty());
    TMemoryStream out;
    TRCAnsiEncoder encoder(out, 1252);
    encoder.WriteLine(QStringLiteral("#include <windows.h>"));
    TRCItemDialogWriter writer{QString()};
    QStringList origins;
    for (const TWineResource& resource : resources) {
        // One name per dialog: modules share names.
        auto* dialog = new TDialogResourceItem(Ord(uint16_t(origins.size() + 1)));
        Module.Items()->Add(dialog);
        dialog->SetLanguage(resource.Resource.Language);
        TBytesStream data(resource.Resource.Data);
        dialog->LoadFromStream(data, data.Size());
        writer.SaveToStream(encoder, dialog, false);
        origins << resource.Module + QLatin1Char(' ') + ResourceIdentToText(resource.Resource.Name);
    }
    const QString script = FDir.path() + QStringLiteral("/wine.rc");
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(out.ToByteArray());
    file.close();

    std::string scriptText;
    std::unique_ptr<TCustomResourceModule> compiled = Compile(windres, WindresArguments(), script, scriptText);
    ASSERT_NE(compiled, nullptr);
    int same = 0;
    for (TCustomResourceItem* item : *Module.Items()) {
        auto* written = qobject_cast<TDialogResourceItem*>(item);
        auto* read = qobject_cast<TDialogResourceItem*>(compiled->Find(Ord(RT_DIALOG), written->Name(), written->Language()));
        const std::string origin = origins.at(written->NameInteger() - 1).toStdString();
        if (!read)
            ADD_FAILURE() << origin << " is missing";
        else if (Describe(read) == Describe(written))
            ++same;
        else
            EXPECT_EQ(Describe(read), Describe(written)) << origin;
        if (same + 10 <= written->NameInteger()) break; // ten differences tell enough
    }
    EXPECT_EQ(same, resources.size());
}
