// A project as a resource designer leaves it (resource.h with its next-value counters, a script with its
// TEXTINCLUDE sections, a .rc2 file kept out of the designer's sight, an icon file) opens through our
// compiler, saves as a script and opens again with the same resources, symbols, bindings and files.
#include "kinds/koIconEncoder.h"
#include "kinds/koResourceItemAccelerator.h"
#include "kinds/koResourceItemBitmap.h"
#include "kinds/koResourceItemDesignInfo.h"
#include "kinds/koResourceItemDialog.h"
#include "kinds/koResourceItemDialogControls.h"
#include "kinds/koResourceItemHWB.h"
#include "kinds/koResourceItemIconCursor.h"
#include "kinds/koResourceItemImage.h"
#include "kinds/koResourceItemMenu.h"
#include "kinds/koResourceItemPNG.h"
#include "kinds/koResourceItemRcData.h"
#include "kinds/koResourceItemString.h"
#include "kinds/koResourceItemVersionInfo.h"
#include "kinds/koResourceModuleRCAcceleratorWriter.h"
#include "kinds/koResourceModuleRCDesignInfoWriter.h"
#include "kinds/koResourceModuleRCDialogWriter.h"
#include "kinds/koResourceModuleRCMenuWriter.h"
#include "kinds/koResourceModuleRCStringTableWriter.h"
#include "kinds/koResourceModuleRCVersionInfoWriter.h"
#include "model/LogCapture.h"
#include "model/koResourceItemSymbols.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourceModuleRes.h"
#include "model/koResources.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/ByteBuilder.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

namespace {

using TUnit = void (*)();
const std::pair<TUnit, TUnit> Units[] = {
    {koResourcesKinds_Initialize, koResourcesKinds_Finalize},
    {koResourceItemSymbols_Initialize, koResourceItemSymbols_Finalize},
    {koResourceItemImage_Initialize, koResourceItemImage_Finalize},
    {koResourceItemBitmap_Initialize, koResourceItemBitmap_Finalize},
    {koIconEncoder_Initialize, koIconEncoder_Finalize},
    {koResourceItemIconCursor_Initialize, koResourceItemIconCursor_Finalize},
    {koResourceItemPNG_Initialize, koResourceItemPNG_Finalize},
    {koResourceItemDialog_Initialize, koResourceItemDialog_Finalize},
    {koResourceItemDialogControls_Initialize, koResourceItemDialogControls_Finalize},
    {koResourceItemMenu_Initialize, koResourceItemMenu_Finalize},
    {koResourceItemAccelerator_Initialize, koResourceItemAccelerator_Finalize},
    {koResourceItemVersionInfo_Initialize, koResourceItemVersionInfo_Finalize},
    {koResourceItemRcData_Initialize, koResourceItemRcData_Finalize},
    {koResourceItemString_Initialize, koResourceItemString_Finalize},
    {koResourceItemDesignInfo_Initialize, koResourceItemDesignInfo_Finalize},
    {koResourceItemHWB_Initialize, koResourceItemHWB_Finalize},
    {koResourceModuleRes_Initialize, koResourceModuleRes_Finalize},
    {koResourceModuleRC_Initialize, koResourceModuleRC_Finalize},
    {koResourceModuleRCDialogWriter_Initialize, koResourceModuleRCDialogWriter_Finalize},
    {koResourceModuleRCMenuWriter_Initialize, koResourceModuleRCMenuWriter_Finalize},
    {koResourceModuleRCAcceleratorWriter_Initialize, koResourceModuleRCAcceleratorWriter_Finalize},
    {koResourceModuleRCVersionInfoWriter_Initialize, koResourceModuleRCVersionInfoWriter_Finalize},
    {koResourceModuleRCStringTableWriter_Initialize, koResourceModuleRCStringTableWriter_Finalize},
    {koResourceModuleRCDesignInfoWriter_Initialize, koResourceModuleRCDesignInfoWriter_Finalize},
};

const char* const ResourceH =
    "//{{NO_DEPENDENCIES}}\r\n"
    "// Generated include file.\r\n"
    "// Used by app.rc\r\n"
    "//\r\n"
    "#define IDI_APP                         101\r\n"
    "#define IDD_ABOUT                       102\r\n"
    "#define IDR_MAINMENU                    103\r\n"
    "#define IDC_NAME                        1000\r\n"
    "#define IDS_HELLO                       2000\r\n"
    "#define IDS_BYE                         2001\r\n"
    "#define ID_FILE_EXIT                    40001\r\n"
    "\r\n"
    "// Next default values for new objects\r\n"
    "//\r\n"
    "#ifdef APSTUDIO_INVOKED\r\n"
    "#ifndef APSTUDIO_READONLY_SYMBOLS\r\n"
    "#define _APS_NEXT_RESOURCE_VALUE        104\r\n"
    "#define _APS_NEXT_COMMAND_VALUE         40002\r\n"
    "#define _APS_NEXT_CONTROL_VALUE         1001\r\n"
    "#define _APS_NEXT_SYMED_VALUE           101\r\n"
    "#endif\r\n"
    "#endif\r\n";

const char* const AppRc =
    "// Script of the test project.\r\n"
    "//\r\n"
    "#include \"resource.h\"\r\n"
    "\r\n"
    "#define APSTUDIO_READONLY_SYMBOLS\r\n"
    "#include \"afxres.h\"\r\n"
    "#undef APSTUDIO_READONLY_SYMBOLS\r\n"
    "\r\n"
    "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\r\n"
    "\r\n"
    "#ifdef APSTUDIO_INVOKED\r\n"
    "1 TEXTINCLUDE\r\n"
    "BEGIN\r\n"
    "    \"resource.h\\0\"\r\n"
    "END\r\n"
    "\r\n"
    "2 TEXTINCLUDE\r\n"
    "BEGIN\r\n"
    "    \"#include \"\"afxres.h\"\"\\r\\n\"\r\n"
    "    \"\\0\"\r\n"
    "END\r\n"
    "\r\n"
    "3 TEXTINCLUDE\r\n"
    "BEGIN\r\n"
    "    \"#include \"\"app.rc2\"\"\\r\\n\"\r\n"
    "    \"\\0\"\r\n"
    "END\r\n"
    "#endif    // APSTUDIO_INVOKED\r\n"
    "\r\n"
    "IDI_APP                 ICON                    \"app.ico\"\r\n"
    "\r\n"
    "IDD_ABOUT DIALOGEX 0, 0, 170, 62\r\n"
    "STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU\r\n"
    "CAPTION \"About\"\r\n"
    "FONT 8, \"MS Shell Dlg\", 0, 0, 0x1\r\n"
    "BEGIN\r\n"
    "    LTEXT           \"Name:\",IDC_STATIC,14,14,40,8\r\n"
    "    EDITTEXT        IDC_NAME,60,12,100,14,ES_AUTOHSCROLL\r\n"
    "    DEFPUSHBUTTON   \"OK\",IDOK,113,41,50,14,WS_GROUP\r\n"
    "END\r\n"
    "\r\n"
    "IDR_MAINMENU MENU\r\n"
    "BEGIN\r\n"
    "    POPUP \"&File\"\r\n"
    "    BEGIN\r\n"
    "        MENUITEM \"E&xit\",                       ID_FILE_EXIT\r\n"
    "    END\r\n"
    "END\r\n"
    "\r\n"
    "STRINGTABLE\r\n"
    "BEGIN\r\n"
    "    IDS_HELLO               \"Hello\"\r\n"
    "    IDS_BYE                 \"Bye\"\r\n"
    "END\r\n"
    "\r\n"
    "VS_VERSION_INFO VERSIONINFO\r\n"
    " FILEVERSION 1,0,0,1\r\n"
    " PRODUCTVERSION 1,0,0,1\r\n"
    " FILEFLAGSMASK 0x3fL\r\n"
    " FILEOS 0x40004L\r\n"
    " FILETYPE 0x1L\r\n"
    " FILESUBTYPE 0x0L\r\n"
    "BEGIN\r\n"
    "    BLOCK \"StringFileInfo\"\r\n"
    "    BEGIN\r\n"
    "        BLOCK \"040904b0\"\r\n"
    "        BEGIN\r\n"
    "            VALUE \"FileDescription\", \"Test\"\r\n"
    "            VALUE \"FileVersion\", \"1.0.0.1\"\r\n"
    "        END\r\n"
    "    END\r\n"
    "    BLOCK \"VarFileInfo\"\r\n"
    "    BEGIN\r\n"
    "        VALUE \"Translation\", 0x409, 1200\r\n"
    "    END\r\n"
    "END\r\n"
    "\r\n"
    "#ifndef APSTUDIO_INVOKED\r\n"
    "#include \"app.rc2\"\r\n"
    "#endif    // not APSTUDIO_INVOKED\r\n";

const char* const AppRc2 =
    "// Resources the designer does not edit.\r\n"
    "IDR_EXTRA RCDATA { \"extra\" }\r\n";

// A 16x16 icon of 32 bits per pixel.
QByteArray IconFile()
{
    QByteArray image;
    Add32(image, 40);
    Add32(image, 16);
    Add32(image, 32);
    Add16(image, 1);
    Add16(image, 32);
    for (int i = 0; i < 6; ++i) Add32(image, 0);
    for (int i = 0; i < 16 * 16; ++i) Add32(image, 0xFF000000u | uint32_t(i * 0x010203));
    image += QByteArray(16 * 4, '\0');
    QByteArray file;
    Add16(file, 0);
    Add16(file, 1);
    Add16(file, 1);
    file.append(char(16));
    file.append(char(16));
    file.append(char(0));
    file.append(char(0));
    Add16(file, 1);
    Add16(file, 32);
    Add32(file, uint32_t(image.size()));
    Add32(file, 22);
    return file + image;
}

void WriteFile(const QString& Name, const QByteArray& Bytes)
{
    QFile file(Name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(Bytes);
}

// What a module holds, in comparable form.
struct TModuleFacts {
    std::map<QString, QByteArray> Resources; // "type name language" -> data
    std::map<QString, QString> Bindings;     // "type name language" -> symbol
    std::map<QString, QStringList> Children; // "type name language" -> the IDs of controls or strings
    std::map<QString, QString> Symbols;      // own symbols (not read-only files): name -> value
    QStringList Files;                       // the file tree, with flags
};

QString Key(TCustomResourceItem* Item)
{
    return QStringLiteral("%1 %2 %3")
        .arg(ResourceIdentToString(Item->ResourceType()), ResourceIdentToString(Item->Name()))
        .arg(Item->Language(), 4, 16, QLatin1Char('0'));
}

void ListFiles(TResourceSymbolFile* File, const QString& Indent, QStringList& Out)
{
    for (int i = 0; i < File->Files()->Count(); ++i) {
        TResourceSymbolFile* file = File->Files()->Items(i);
        Out << Indent + file->Filename().toLower() + (file->ReadOnly() ? " ro" : "") + (file->Hidden() ? " hidden" : "") +
                   (file->Primary() ? " primary" : "") + (file->CheckDependencies() ? "" : " nodeps");
        ListFiles(file, Indent + "  ", Out);
    }
}

TModuleFacts Facts(TCustomResourceModule* Module)
{
    TModuleFacts facts;
    for (TCustomResourceItem* item : *Module->Items()) {
        if (item->Internal() || qobject_cast<TCustomHWBResourceItem*>(item)) continue;
        TMemoryStream data;
        item->SaveToStream(data);
        facts.Resources[Key(item)] = data.ToByteArray();
        if (item->LocalID()->Symbol()) facts.Bindings[Key(item)] = item->LocalID()->Symbol()->Symbol();
        if (auto* dialog = qobject_cast<TDialogResourceItem*>(item))
            for (int i = 0; i < dialog->Items()->Count(); ++i) facts.Children[Key(item)] << dialog->Items()->Items(i)->ID()->ID();
        if (auto* table = qobject_cast<TStringListResourceItem*>(item))
            for (int i = 0; i < table->Strings()->Count(); ++i) facts.Children[Key(item)] << table->Strings()->Items(i)->ID()->ID();
    }
    TResourceSymbols* symbols = Module->Symbols();
    for (int i = 0; i < symbols->Count(); ++i) {
        TResourceSymbol* symbol = symbols->Items(i);
        if (symbol->SourceFile() && !symbol->SourceFile()->ReadOnly() && !symbol->SourceFile()->Hidden())
            facts.Symbols[symbol->Symbol()] = symbol->ValueText();
    }
    ListFiles(Module->SymbolFile(), QString(), facts.Files);
    return facts;
}

class RCScriptRoundTrip : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const auto& unit : Units) unit.first();
    }
    void TearDown() override
    {
        for (auto it = std::rbegin(Units); it != std::rend(Units); ++it) it->second();
    }
};

} // namespace

TEST_F(RCScriptRoundTrip, DesignerProjectOpensSavesAndOpensTheSame)
{
    QTemporaryDir project, saved;
    ASSERT_TRUE(project.isValid() && saved.isValid());
    const QDir dir(project.path());
    WriteFile(dir.filePath("resource.h"), ResourceH);
    WriteFile(dir.filePath("app.rc"), AppRc);
    WriteFile(dir.filePath("app.rc2"), AppRc2);
    WriteFile(dir.filePath("app.ico"), IconFile());

    TLogCapture log;
    std::unique_ptr<TCustomResourceModule> first = TCustomResourceModule::LoadFromFile(dir.filePath("app.rc"));
    ASSERT_TRUE(first) << log.Messages().join('\n').toStdString();
    EXPECT_FALSE(first->NeedFix()) << log.Messages().join('\n').toStdString();
    const TModuleFacts before = Facts(first.get());

    // What the designer sees.
    auto has = [&](const QString& key) { return before.Resources.count(key) == 1; };
    EXPECT_TRUE(has("#5 #102 0409")) << "dialog";
    EXPECT_TRUE(has("#4 #103 0409")) << "menu";
    EXPECT_TRUE(has("#16 #1 0409")) << "version";
    EXPECT_FALSE(has("RCDATA IDR_EXTRA 0409")) << "the .rc2 stays out";
    for (const auto& [key, data] : before.Resources) EXPECT_FALSE(key.startsWith("#10 ")) << key.toStdString();
    EXPECT_EQ(before.Bindings.at("#5 #102 0409"), "IDD_ABOUT");
    EXPECT_EQ(before.Bindings.at("#4 #103 0409"), "IDR_MAINMENU");
    EXPECT_EQ(before.Symbols.at("IDC_NAME"), "1000");
    EXPECT_EQ(before.Symbols.at("_APS_NEXT_RESOURCE_VALUE"), "104");
    ASSERT_FALSE(before.Files.isEmpty());
    EXPECT_TRUE(before.Files.contains("resource.h primary nodeps")) << before.Files.join('|').toStdString();
    // The dialog's controls and the menu's commands are bound to their symbols.
    auto* dialog = qobject_cast<TDialogResourceItem*>(first->Find(TResourceIdent::FromOrdinal(RT_DIALOG),
                                                                  TResourceIdent::FromOrdinal(102)));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(before.Children.at(Key(dialog)), (QStringList{"IDC_STATIC", "IDC_NAME", "IDOK"}));
    // So are the strings.
    bool strings = false;
    for (const auto& [key, ids] : before.Children)
        if (key.startsWith("#6 ")) {
            strings = true;
            EXPECT_EQ(ids, (QStringList{"IDS_HELLO", "IDS_BYE"}));
        }
    EXPECT_TRUE(strings);
    // The icon keeps the name of its file.
    bool iconFile = false;
    for (TCustomResourceItem* item : *first->Items())
        iconFile |= item->Filename().endsWith(QLatin1String("app.ico"), Qt::CaseInsensitive);
    EXPECT_TRUE(iconFile);

    const QString savedScript = QDir(saved.path()).filePath("app.rc");
    first->SaveToFile(savedScript);
    QFile header(QDir(saved.path()).filePath("resource.h"));
    ASSERT_TRUE(header.open(QIODevice::ReadOnly));
    const QString headerText = QString::fromLatin1(header.readAll());
    for (const QString name : {"IDD_ABOUT", "IDC_NAME", "_APS_NEXT_RESOURCE_VALUE", "IDS_HELLO"}) {
        const int defines = int(headerText.count(QRegularExpression("#define\\s+" + name + "\\b")));
        EXPECT_EQ(defines, 1) << name.toStdString() << "\n" << headerText.toStdString();
    }
    EXPECT_TRUE(headerText.startsWith("//{{NO_DEPENDENCIES}}")) << headerText.toStdString();

    std::unique_ptr<TCustomResourceModule> second = TCustomResourceModule::LoadFromFile(savedScript);
    ASSERT_TRUE(second) << log.Messages().join('\n').toStdString();
    const TModuleFacts after = Facts(second.get());
    // The same resources with the same data; the include information is written anew on every save.
    QStringList keysBefore, keysAfter;
    for (const auto& [key, data] : before.Resources) keysBefore << key;
    for (const auto& [key, data] : after.Resources) keysAfter << key;
    EXPECT_EQ(keysAfter, keysBefore);
    for (const auto& [key, data] : before.Resources) {
        if (!key.startsWith("TEXTINCLUDE") && after.Resources.count(key)) {
            EXPECT_EQ(after.Resources.at(key).toHex().toStdString(), data.toHex().toStdString()) << key.toStdString();
        }
    }
    EXPECT_EQ(after.Bindings, before.Bindings);
    EXPECT_EQ(after.Children, before.Children);
    EXPECT_EQ(after.Symbols, before.Symbols);
    EXPECT_EQ(after.Files.join('|').toStdString(), before.Files.join('|').toStdString());
}

TEST_F(RCScriptRoundTrip, AScriptThatFailsToCompileNamesFileAndLine)
{
    QTemporaryDir project;
    const QString script = QDir(project.path()).filePath("broken.rc");
    WriteFile(script, "#include \"resource.h\"\r\n1 DIALOGEX 0, 0, 10, 10\r\nSTYLE WS_NO_SUCH_STYLE\r\nBEGIN\r\nEND\r\n");
    WriteFile(QDir(project.path()).filePath("resource.h"), "#define IDD_X 1\r\n");
    try {
        TCustomResourceModule::LoadFromFile(script);
        ADD_FAILURE() << "opened";
    } catch (const Exception& e) {
        EXPECT_TRUE(e.Message().startsWith("RC compilation failed: ")) << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains("broken.rc(3)")) << e.Message().toStdString();
    }
}
