// The property pane in the real main window: a RES made by the resource compiler is opened, items are
// selected, their properties changed in the pane, the module saved and read again.
#include "MainWindowTesting.h"
#include "../platform/PeerTools.h"

#include "designer/koDesignObjectInspector.h"
#include "designer/koDesignInterface.h"
#include "kinds/koResourceItemAccelerator.h"
#include "kinds/koResourceItemBitmap.h"
#include "kinds/koResourceItemDialog.h"
#include "kinds/koResourceItemDialogControls.h"
#include "kinds/koResourceItemImage.h"
#include "kinds/koResourceItemString.h"
#include "model/koResourcesSymbols.h"
#include "platform/Streams.h"
#include "shell/koAtelierFrame.h"
#include "views/AtelierFrameObjectInspector.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A 4 x 4 24-bit bitmap file.
QByteArray SmallBitmapFile()
{
    QByteArray bytes;
    auto put = [&](uint32_t value, int size) {
        for (int i = 0; i < size; ++i) bytes.append(char((value >> (8 * i)) & 0xFF));
    };
    const int pixels = 4 * 4 * 3;
    bytes.append("BM");
    put(14 + 40 + pixels, 4);
    put(0, 4);
    put(14 + 40, 4);
    put(40, 4);
    put(4, 4);
    put(4, 4);
    put(1, 2);
    put(24, 2);
    put(0, 4);
    put(pixels, 4);
    put(0, 4);
    put(0, 4);
    put(0, 4);
    put(0, 4);
    for (int i = 0; i < pixels; ++i) bytes.append(char(i * 5));
    return bytes;
}

const char* const Script = R"(#include <windows.h>
LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US
100 DIALOGEX 0, 0, 180, 60
STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Settings"
FONT 8, "MS Shell Dlg"
BEGIN
    DEFPUSHBUTTON "OK", IDOK, 120, 40, 50, 14
    LTEXT "Name:", -1, 8, 8, 40, 8
END
200 BITMAP "small.bmp"
300 ACCELERATORS
BEGIN
    "S", 1001, VIRTKEY, CONTROL
END
STRINGTABLE
BEGIN
    1 "First"
    2 "Second"
END
)";

QByteArray ItemData(TCustomResourceItem* Item)
{
    TMemoryStream data;
    Item->SaveToStream(data);
    return QByteArray(reinterpret_cast<const char*>(data.Memory()), int(data.Size()));
}

TCustomResourceItem* FindOrdinalType(TCustomResourceModule* Module, uint16_t Type)
{
    for (TCustomResourceItem* item : *Module->Items())
        if (item->ResourceTypeIsInteger() && item->ResourceTypeInteger() == Type) return item;
    return nullptr;
}

class PropertyPaneWindowInterop : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourceItemImage_Initialize();
        koResourceItemBitmap_Initialize();
        koResourceItemDialog_Initialize();
        koResourceItemDialogControls_Initialize();
        koResourceItemAccelerator_Initialize();
        koResourceItemString_Initialize();
        FPreviousProc = RegisterPropertyEditorProc();
        AtelierFrameObjectInspector_Initialize();
    }
    void TearDown() override
    {
        RegisterPropertyEditorProc() = FPreviousProc;
        koResourceItemString_Finalize();
        koResourceItemAccelerator_Finalize();
        koResourceItemDialogControls_Finalize();
        koResourceItemDialog_Finalize();
        koResourceItemBitmap_Finalize();
        koResourceItemImage_Finalize();
    }
    TMainWindowUnits Units;
    TRegisterPropertyEditorProc FPreviousProc;
};

TEST_F(PropertyPaneWindowInterop, EditsInThePaneAreSavedAndNothingElseMoves)
{
    REQUIRE_PEER_TOOL(windres, "x86_64-w64-mingw32-windres");
    QTemporaryDir dir;
    {
        QFile bmp(dir.filePath("small.bmp"));
        ASSERT_TRUE(bmp.open(QIODevice::WriteOnly));
        bmp.write(SmallBitmapFile());
        QFile rc(dir.filePath("fixture.rc"));
        ASSERT_TRUE(rc.open(QIODevice::WriteOnly));
        rc.write(Script);
    }
    const QString res = dir.filePath("fixture.res");
    const TPeerToolResult compiled = RunPeerTool(windres, ResourceCompilerArguments(TResourceCompiler::Windres, "fixture.rc", res), 60000, dir.path());
    ASSERT_TRUE(compiled.Ok()) << compiled.Describe().toStdString();
    const std::unique_ptr<TCustomResourceModule> original = TCustomResourceModule::LoadFromFile(res);

    auto prompts = std::make_unique<TScriptedPrompts>();
    TScriptedPrompts* script = prompts.get();
    {
        TFormMain form(std::move(prompts));
        form.show();
        form.LoadFile(res);
        Settle();
        TCustomResourceModule* module = form.FrameAtelier()->ResourceModule();
        TFramePropertyInspector* pane = form.FramePropertyInspector();
        ASSERT_TRUE(pane);
        TRunTimeObjectInspector* inspector = pane->Inspector();
        auto select = [&](TCustomResourceItem* item) {
            form.FrameAtelier()->SelectResourceItem(item);
            Settle();
            EXPECT_EQ(pane->ResourceItem(), item);
            EXPECT_EQ(inspector->Instance(), item);
            EXPECT_GT(inspector->Properties()->Count(), 0);
        };
        auto set = [&](const QString& path, const QString& value) {
            inspector->ExpandPath(path);
            const int row = inspector->RowOf(path);
            ASSERT_GE(row, 0) << path.toStdString();
            auto editor = inspector->MakePropertyEditor(inspector->Row(row));
            ASSERT_TRUE(editor) << path.toStdString();
            editor->SetValue(value);
        };

        auto* dialog = qobject_cast<TDialogResourceItem*>(FindOrdinalType(module, 5));
        auto* bitmap = qobject_cast<TCustomBitmapResourceItem*>(FindOrdinalType(module, 2));
        TCustomResourceItem* accelerators = FindOrdinalType(module, 9);
        TCustomResourceItem* strings = FindOrdinalType(module, 6);
        ASSERT_TRUE(dialog && bitmap && accelerators && strings);
        TResourceSymbol* symbol = module->Symbols()->Add("IDD_SETTINGS");
        symbol->SetValue(300);

        select(accelerators);
        select(strings);
        select(dialog);
        const uint32_t style = dialog->Style();
        set("Language", "German (Germany)");
        set("ID", "IDD_SETTINGS");
        set("Style", QStringLiteral("0x%1").arg(style | 0x0800, 8, 16, QLatin1Char('0')));
        EXPECT_EQ(dialog->ID()->Identifier(), "IDD_SETTINGS");
        // The pane shows what the item now holds.
        EXPECT_EQ(inspector->GetVisualValue(inspector->Row(inspector->RowOf("Language"))), "German (Germany)");

        select(bitmap);
        ASSERT_EQ(bitmap->ColorDepth(), 24);
        set("Color Depth", "8 bits");
        EXPECT_EQ(bitmap->ColorDepth(), 8);

        // The tree follows the rename.
        EXPECT_TRUE(form.FrameAtelier()->FindItemNode(dialog));
        EXPECT_TRUE(form.Dirty());
        ASSERT_TRUE(form.SaveFile(false));
        EXPECT_TRUE(script->Errors.isEmpty()) << script->Errors.join('\n').toStdString();
    }

    const std::unique_ptr<TCustomResourceModule> saved = TCustomResourceModule::LoadFromFile(res);
    ASSERT_EQ(saved->Items()->Count(), original->Items()->Count());
    auto* dialog = qobject_cast<TDialogResourceItem*>(FindOrdinalType(saved.get(), 5));
    auto* oldDialog = qobject_cast<TDialogResourceItem*>(FindOrdinalType(original.get(), 5));
    ASSERT_TRUE(dialog && oldDialog);
    EXPECT_EQ(dialog->Name(), TResourceIdent::FromOrdinal(300));
    EXPECT_EQ(dialog->Language().Value, 0x0407);
    EXPECT_EQ(dialog->Style(), oldDialog->Style() | 0x0800);
    EXPECT_EQ(dialog->Caption(), oldDialog->Caption());
    EXPECT_EQ(dialog->Items()->Count(), oldDialog->Items()->Count());
    auto* bitmap = qobject_cast<TCustomBitmapResourceItem*>(FindOrdinalType(saved.get(), 2));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->ColorDepth(), 8);
    EXPECT_EQ(bitmap->Width(), 4);
    EXPECT_EQ(bitmap->Height(), 4);
    for (uint16_t type : {uint16_t(6), uint16_t(9)}) {
        TCustomResourceItem* before = FindOrdinalType(original.get(), type);
        TCustomResourceItem* after = FindOrdinalType(saved.get(), type);
        ASSERT_TRUE(before && after) << type;
        EXPECT_EQ(after->Name(), before->Name()) << type;
        EXPECT_EQ(after->Language().Value, before->Language().Value) << type;
        EXPECT_EQ(ItemData(after), ItemData(before)) << type;
    }
}

} // namespace
