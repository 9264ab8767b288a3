// Menus of real modules and menus compiled by a real resource compiler.
#include "MenuTestSupport.h"
#include "kinds/koResourceItemMenu.h"
#include "kinds/koResourceModuleRCMenuWriter.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "platform/Exceptions.h"
#include "platform/PeerTools.h"
#include "platform/WineModules.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

namespace {
TResourceIdent Ord(uint16_t v) { return TResourceIdent::FromOrdinal(v); }

std::string Where(const TWineResource& r)
{
    return QString(r.Module + QLatin1Char(' ') + ResourceIdentToText(TResourceIdent(r.Resource.Name))).toStdString();
}
} // namespace

// Every menu of wine's modules loads; extended ones save back byte for byte, standard ones save as
// extended templates that read back as the same menu.
TEST(MenuInterop, WineMenusLoadAndSaveBack)
{
    if (!HasWineModules()) GTEST_SKIP() << "wine64 is not installed";
    const QList<TWineResource> resources = WineResources({RT_MENU});
    int standard = 0, extended = 0;
    for (const TWineResource& r : resources) {
        SCOPED_TRACE(Where(r));
        const QByteArray& data = r.Resource.Data;
        std::unique_ptr<TMenuResourceItem> menu;
        try {
            menu = LoadMenu(data);
        } catch (const Exception& e) {
            ADD_FAILURE() << e.Message().toStdString();
            continue;
        }
        const QByteArray saved = SaveMenu(menu.get());
        if (menu->Extended()) {
            ++extended;
            EXPECT_EQ(saved.toHex(' ').toStdString(), data.toHex(' ').toStdString());
        } else {
            ++standard;
            const auto again = LoadMenu(saved);
            EXPECT_TRUE(again->Extended());
            EXPECT_EQ(DumpMenu(again.get()).toStdString(), DumpMenu(menu.get()).toStdString());
        }
    }
    EXPECT_GT(standard, 0);
    EXPECT_GT(extended, 0);
}

namespace {
class MenuCompilerInterop : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemMenu_Initialize();
        koResourceModuleRes_Initialize();
        koResourceModuleRC_Initialize();
        koResourceModuleRCMenuWriter_Initialize();
        Module.SetDeferDefaultSymbols(true);
    }
    void TearDown() override
    {
        koResourceModuleRCMenuWriter_Finalize();
        koResourceModuleRC_Finalize();
        koResourceModuleRes_Finalize();
        koResourceItemMenu_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }
    TMenuResourceItem* AddMenu(const TResourceIdent& name, const std::function<void(TResourceMenuItems*)>& build)
    {
        auto* menu = new TMenuResourceItem(name);
        Module.Items()->Add(menu);
        menu->SetLanguage(0x0409);
        build(menu->Items());
        return menu;
    }
    TResourceModule Module;
};

TResourceMenuItem* Add(TResourceMenuItems* items, const QString& text, uint16_t id = 0, uint32_t type = 0,
                       uint32_t state = 0)
{
    TResourceMenuItem* item = items->Add();
    item->SetMenuType(type);
    item->SetState(state);
    item->SetText(text);
    item->ID()->SetOrdinalValue(id);
    return item;
}
} // namespace

// Module -> script -> windres -> RES -> module: every menu comes back as it was, except for the menu's
// own help ID, which a script cannot hold. windres writes a standard template for a menu that needs
// nothing of the extended one (menu 3), which reads as the same menu. (llvm-rc 14 has no MENUEX.)
TEST_F(MenuCompilerInterop, WindresCompilesTheScriptBack)
{
    REQUIRE_PEER_TOOL(windres, "x86_64-w64-mingw32-windres");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    AddMenu(TResourceIdent("IDR_MAIN"), [](TResourceMenuItems* items) {
        TResourceMenuItem* file = Add(items, "File");
        Add(file->Items(), "Open\tCtrl+O", 101)->ID()->SetIdentifier("IDM_OPEN");
        file->Items()->Add()->SetSeparator(true);
        Add(file->Items(), "Exit", 102, 0, 0x3);
    });
    AddMenu(Ord(2), [](TResourceMenuItems* items) {
        TResourceMenuItem* popup = Add(items, "Popup with help", 7, 0x40, 0x8);
        popup->HelpID()->SetOrdinalValue(0x80020007);
        TResourceMenuItem* deeper = Add(popup->Items(), "Deeper", 0, 0x4000);
        deeper->HelpID()->SetOrdinalValue(12);
        TResourceMenuItem* deepest = Add(deeper->Items(), "Deepest");
        Add(deepest->Items(), "Leaf", 0xFFFF, 0x200, 0x1000);
        Add(deeper->Items(), "", 3);
        Add(popup->Items(), "Bar break", 4, 0x20);
        Add(popup->Items(), "Owner drawn, right order", 5, 0x100 | 0x2000);
        Add(items, "Quotes \"and\" back\\slash", 6);
        Add(items, QString::fromUtf8("Caf\xC3\xA9 \xD0\x96 \xE6\x97\xA5"), 8);
        Add(items, "Empty popup", 9)->Items();
        TResourceMenuItem* separator = Add(items, "-", 0, 0, 0);
        separator->SetState(0x3); // a separator keeps its state
    });
    AddMenu(Ord(3), [](TResourceMenuItems* items) { Add(items, "Alone"); });
    for (TCustomResourceItem* item : *Module.Items())
        if (auto* menu = qobject_cast<TMenuResourceItem*>(item)) menu->SetHelpID(0x55);

    QStringList expected;
    for (TCustomResourceItem* item : *Module.Items())
        expected << ResourceIdentToText(item->Name()) + QLatin1Char(':') +
                        DumpMenu(qobject_cast<TMenuResourceItem*>(item), false);

    const QString script = dir.filePath("menus.rc");
    TResourceModuleWriterRC writer;
    writer.SetSymbolicValues(false);
    writer.SaveToFile(&Module, script, QString());
    const QString res = dir.filePath("menus.res");
    const TPeerToolResult run =
        RunPeerTool(windres, ResourceCompilerArguments(TResourceCompiler::Windres, script, res), 60000, dir.path());
    QFile scriptFile(script);
    ASSERT_TRUE(scriptFile.open(QIODevice::ReadOnly));
    const std::string scriptText = scriptFile.readAll().toStdString();
    ASSERT_TRUE(run.Ok()) << run.Describe().toStdString() << "\n" << scriptText;

    std::unique_ptr<TCustomResourceModule> compiled = TCustomResourceModule::LoadFromFile(res);
    ASSERT_NE(compiled, nullptr);
    QStringList actual;
    for (TCustomResourceItem* item : *compiled->Items()) {
        auto* menu = qobject_cast<TMenuResourceItem*>(item);
        ASSERT_NE(menu, nullptr) << ResourceIdentToText(item->Name()).toStdString();
        actual << ResourceIdentToText(item->Name()) + QLatin1Char(':') + DumpMenu(menu, false);
    }
    // The compiled module lists its items in resource order.
    actual.sort();
    expected.sort();
    EXPECT_EQ(actual.join(QStringLiteral("\n\n")).toStdString(), expected.join(QStringLiteral("\n\n")).toStdString())
        << scriptText;
}
