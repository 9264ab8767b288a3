// wine's own modules hold real manifests, type libraries, an HTML page and more: every resource loads
// with every kind in place, and the resources of the types below get their own kinds.
#include "kinds/koIconEncoder.h"
#include "kinds/koResourceItemAccelerator.h"
#include "kinds/koResourceItemAnimatedIconCursor.h"
#include "kinds/koResourceItemBitmap.h"
#include "kinds/koResourceItemDialog.h"
#include "kinds/koResourceItemDialogControls.h"
#include "kinds/koResourceItemDesignInfo.h"
#include "kinds/koResourceItemFont.h"
#include "kinds/koResourceItemHWB.h"
#include "kinds/koResourceItemHTML.h"
#include "kinds/koResourceItemIconCursor.h"
#include "kinds/koResourceItemImage.h"
#include "kinds/koResourceItemManifest.h"
#include "kinds/koResourceItemMenu.h"
#include "kinds/koResourceItemMessageTable.h"
#include "kinds/koResourceItemPE.h"
#include "kinds/koResourceItemPNG.h"
#include "kinds/koResourceItemRcData.h"
#include "kinds/koResourceItemString.h"
#include "kinds/koResourceItemToolbar.h"
#include "kinds/koResourceItemTypelib.h"
#include "kinds/koResourceItemVersionInfo.h"
#include "kinds/koResourceModuleRCAcceleratorWriter.h"
#include "kinds/koResourceModuleRCDesignInfoWriter.h"
#include "kinds/koResourceModuleRCDialogWriter.h"
#include "kinds/koResourceModuleRCMenuWriter.h"
#include "kinds/koResourceModuleRCStringTableWriter.h"
#include "kinds/koResourceModuleRCVersionInfoWriter.h"
#include "model/koResourceItemSymbols.h"
#include "model/koResourceModulePE.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourceModuleRes.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "platform/PEImage.h"
#include "platform/WineModules.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <iostream>
#include <map>

namespace {

using TUnit = void (*)();
// The kind units in start-up order, each with its finalizer.
const std::pair<TUnit, TUnit> KindUnits[] = {
    {koResourcesKinds_Initialize, koResourcesKinds_Finalize},
    {koResourceItemSymbols_Initialize, koResourceItemSymbols_Finalize},
    {koResourceItemImage_Initialize, koResourceItemImage_Finalize},
    {koResourceItemBitmap_Initialize, koResourceItemBitmap_Finalize},
    {koIconEncoder_Initialize, koIconEncoder_Finalize},
    {koResourceItemIconCursor_Initialize, koResourceItemIconCursor_Finalize},
    {koResourceItemAnimatedIconCursor_Initialize, koResourceItemAnimatedIconCursor_Finalize},
    {koResourceItemPNG_Initialize, koResourceItemPNG_Finalize},
    {koResourceItemDialog_Initialize, koResourceItemDialog_Finalize},
    {koResourceItemDialogControls_Initialize, koResourceItemDialogControls_Finalize},
    {koResourceItemMenu_Initialize, koResourceItemMenu_Finalize},
    {koResourceItemAccelerator_Initialize, koResourceItemAccelerator_Finalize},
    {koResourceItemMessageTable_Initialize, koResourceItemMessageTable_Finalize},
    {koResourceItemVersionInfo_Initialize, koResourceItemVersionInfo_Finalize},
    {koResourceItemRcData_Initialize, koResourceItemRcData_Finalize},
    {koResourceItemManifest_Initialize, koResourceItemManifest_Finalize},
    {koResourceItemHTML_Initialize, koResourceItemHTML_Finalize},
    {koResourceItemFont_Initialize, koResourceItemFont_Finalize},
    {koResourceItemTypelib_Initialize, koResourceItemTypelib_Finalize},
    {koResourceItemPE_Initialize, koResourceItemPE_Finalize},
    {koResourceItemToolbar_Initialize, koResourceItemToolbar_Finalize},
    {koResourceItemString_Initialize, koResourceItemString_Finalize},
    {koResourceItemDesignInfo_Initialize, koResourceItemDesignInfo_Finalize},
    {koResourceItemHWB_Initialize, koResourceItemHWB_Finalize},
    {koResourceModuleRes_Initialize, koResourceModuleRes_Finalize},
    {koResourceModulePE_Initialize, koResourceModulePE_Finalize},
    {koResourceModuleRC_Initialize, koResourceModuleRC_Finalize},
    {koResourceModuleRCDialogWriter_Initialize, koResourceModuleRCDialogWriter_Finalize},
    {koResourceModuleRCMenuWriter_Initialize, koResourceModuleRCMenuWriter_Finalize},
    {koResourceModuleRCAcceleratorWriter_Initialize, koResourceModuleRCAcceleratorWriter_Finalize},
    {koResourceModuleRCVersionInfoWriter_Initialize, koResourceModuleRCVersionInfoWriter_Finalize},
    {koResourceModuleRCStringTableWriter_Initialize, koResourceModuleRCStringTableWriter_Finalize},
    {koResourceModuleRCDesignInfoWriter_Initialize, koResourceModuleRCDesignInfoWriter_Finalize},
};

// The kind a resource of the type must get; the first row whose type matches and whose data starts with
// the prefix decides. Required rows must match at least one resource of the corpus.
struct TKindRow {
    TResourceIdent Type;
    QByteArray Prefix;
    TResourceItemClass Kind;
    bool Required;
};

std::vector<TKindRow> KindRows()
{
    const auto ord = [](uint16_t v) { return TResourceIdent::FromOrdinal(v); };
    return {
        {ord(RT_DIALOG), {}, TDialogResourceItem::ClassInfo(), true},
        {ord(RT_MENU), {}, TMenuResourceItem::ClassInfo(), true},
        {ord(RT_ACCELERATOR), {}, TAcceleratorResourceItem::ClassInfo(), true},
        {ord(RT_MESSAGETABLE), {}, TMessageTableResourceItem::ClassInfo(), true},
        {ord(RT_VERSION), {}, TVersionResourceItem::ClassInfo(), true},
        {ord(RT_MANIFEST), {}, TManifestResourceItem::ClassInfo(), true},
        {ord(RT_HTML), {}, THTMLResourceItem::ClassInfo(), true},
        {TResourceIdent(QStringLiteral("TYPELIB")), "MSFT", TTypeLibResourceItem::ClassInfo(), true},
        {ord(RT_FONT), {}, TFontResourceItem::ClassInfo(), false},
        {ord(RT_TOOLBAR), {}, TToolbarResourceItem::ClassInfo(), false},
        {ord(RT_RCDATA), "MZ", TPEResourceItem::ClassInfo(), false},
        {ord(RT_RCDATA), {}, TRcDataResourceItem::ClassInfo(), false},
    };
}

QByteArray ItemBytes(TCustomResourceItem* item)
{
    TMemoryStream data;
    item->SaveToStream(data);
    return data.ToByteArray();
}

class ResourceKindsInterop : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const auto& unit : KindUnits) unit.first();
    }
    void TearDown() override
    {
        for (auto it = std::rbegin(KindUnits); it != std::rend(KindUnits); ++it) it->second();
    }
};

} // namespace

TEST_F(ResourceKindsInterop, WineModulesGiveEveryResourceItsKind)
{
    if (!HasWineModules()) GTEST_SKIP() << "wine's modules are not installed";
    const std::vector<TKindRow> rows = KindRows();
    std::vector<int> matched(rows.size(), 0);
    std::map<QString, int> perKind;
    int modules = 0;
    const QDir folder(WineModulesFolder());
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
        const QString path = folder.filePath(name);
        {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly) || !TPEImage::IsPEImage(file.read(4096))) continue;
        }
        std::unique_ptr<TCustomResourceModule> module;
        try {
            module = TResourceModuleReaderPE().LoadFromFile(path);
        } catch (const Exception& e) {
            ADD_FAILURE() << name.toStdString() << ": " << e.Message().toStdString();
            continue;
        }
        ++modules;
        for (TCustomResourceItem* item : *module->Items()) {
            ++perKind[item->ClassType()->ClassName()];
            for (size_t r = 0; r < rows.size(); ++r) {
                if (item->ResourceType() != rows[r].Type) continue;
                if (!rows[r].Prefix.isEmpty() && !ItemBytes(item).startsWith(rows[r].Prefix)) continue;
                ++matched[r];
                EXPECT_EQ(item->ClassType(), rows[r].Kind)
                    << name.toStdString() << " " << ResourceIdentToString(item->ResourceType()).toStdString() << " "
                    << ResourceIdentToString(item->Name()).toStdString() << " is " << item->ClassType()->ClassName().toStdString();
                break;
            }
        }
    }
    std::cout << modules << " modules; resources per kind:\n";
    for (const auto& [kind, count] : perKind) std::cout << "  " << kind.toStdString() << ": " << count << "\n";
    for (size_t r = 0; r < rows.size(); ++r) {
        std::cout << "  " << ResourceIdentToString(rows[r].Type).toStdString() << " " << rows[r].Prefix.toStdString()
                  << " -> " << rows[r].Kind->ClassName().toStdString() << ": " << matched[r] << "\n";
        if (rows[r].Required) {
            EXPECT_GT(matched[r], 0) << rows[r].Kind->ClassName().toStdString();
        }
    }
}

namespace {

// Every resource a module shows, as type, name and language with its bytes. A script numbers icon and
// cursor images anew, so they count as part of their group: the group's bytes without the image
// numbers, then its images' bytes. Compilers write a cursor group's height doubled, as the image's
// bitmap header has it, so that field is left out too.
std::map<QString, QByteArray> ShownResources(TCustomResourceModule& Module)
{
    std::map<QString, QByteArray> resources;
    for (TCustomResourceItem* item : *Module.Items()) {
        if (item->Hidden() || item->Internal() || item->Design()) continue;
        const bool image = item->ResourceType() == TResourceIdent::FromOrdinal(RT_ICON) ||
                           item->ResourceType() == TResourceIdent::FromOrdinal(RT_CURSOR);
        const bool group = item->ResourceType() == TResourceIdent::FromOrdinal(RT_GROUP_ICON) ||
                           item->ResourceType() == TResourceIdent::FromOrdinal(RT_GROUP_CURSOR);
        if (image && item->Parent()) continue;
        QByteArray bytes = ItemBytes(item);
        if (group) {
            const bool cursors = item->ResourceType() == TResourceIdent::FromOrdinal(RT_GROUP_CURSOR);
            for (qsizetype entry = 6; entry + 14 <= bytes.size(); entry += 14) {
                bytes[entry + 12] = bytes[entry + 13] = 0;
                if (cursors) bytes[entry + 2] = bytes[entry + 3] = 0;
            }
            for (int i = 0; i < item->Items()->Count(); ++i) bytes += ItemBytes(item->Items()->Items(i));
        }
        const QString key = QStringLiteral("%1 %2 %3")
                                .arg(ResourceIdentToString(item->ResourceType()), ResourceIdentToString(item->Name()))
                                .arg(item->Language(), 4, 16, QLatin1Char('0'));
        resources[key] = bytes;
    }
    return resources;
}

} // namespace

// A module saved as a script by our writer and opened again through our compiler shows the same
// resources, byte for byte, in both encodings of the script.
TEST_F(ResourceKindsInterop, WineModulesComeBackThroughOurCompiler)
{
    if (!HasWineModules()) GTEST_SKIP() << "wine's modules are not installed";
    for (const char* name : {"notepad.exe", "comctl32.dll", "regedit.exe", "wordpad.exe", "shell32.dll", "user32.dll", "comdlg32.dll", "winecfg.exe"}) {
        for (const char* encoding : {"ASCII", "Unicode"}) {
            SCOPED_TRACE(std::string(name) + " as " + encoding);
            const std::unique_ptr<TCustomResourceModule> module =
                TCustomResourceModule::LoadFromFile(QDir(WineModulesFolder()).filePath(QString::fromLatin1(name)));
            ASSERT_TRUE(module);
            QTemporaryDir dir;
            ASSERT_TRUE(dir.isValid());
            const QString script = dir.filePath(QStringLiteral("module.rc"));
            std::unique_ptr<TCustomResourceModule> again;
            try {
                TResourceModuleWriterRC().SaveToFile(module.get(), script, QString::fromLatin1(encoding));
                again = TCustomResourceModule::LoadFromFile(script);
            } catch (const Exception& e) {
                FAIL() << e.Message().toStdString();
            }
            ASSERT_TRUE(again);
            const std::map<QString, QByteArray> expected = ShownResources(*module);
            const std::map<QString, QByteArray> actual = ShownResources(*again);
            int differences = 0;
            for (const auto& [key, bytes] : expected) {
                const auto found = actual.find(key);
                if (found == actual.end())
                    ADD_FAILURE() << key.toStdString() << " is missing";
                else if (found->second != bytes && ++differences <= 5) {
                    qsizetype at = 0;
                    while (at < bytes.size() && at < found->second.size() && bytes[at] == found->second[at]) ++at;
                    ADD_FAILURE() << key.toStdString() << " differs from byte " << at << " of " << bytes.size() << ": "
                                  << found->second.mid(at, 32).toHex(' ').toStdString() << " instead of "
                                  << bytes.mid(at, 32).toHex(' ').toStdString();
                }
            }
            for (const auto& entry : actual)
                if (!expected.count(entry.first)) ADD_FAILURE() << entry.first.toStdString() << " was added";
            EXPECT_EQ(differences, 0);
        }
    }
}
