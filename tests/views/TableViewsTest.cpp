// The read-only list previews of string tables, accelerator tables and version information: what a
// person sees in their rows, columns and tabs, that clicks and keys change nothing, and that a change of
// the item shows at once.
#include "../model/TestKinds.h"
#include "kinds/koResourceItemAccelerator.h"
#include "kinds/koResourceItemString.h"
#include "kinds/koResourceItemVersionInfo.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "model/koResourcesSymbols.h"
#include "platform/UpdateGuard.h"
#include "views/koResourceViewAccelerator.h"
#include "views/koResourceViewString.h"
#include "views/koResourceViewVersion.h"
#include "../platform/WineModules.h"

#include <QApplication>
#include <QFile>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QHeaderView>
#include <QTabBar>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {
// The texts of every row, cells joined by " | ".
QStringList Rows(QTreeView* List)
{
    QStringList rows;
    QAbstractItemModel* model = List->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(); ++column)
            cells << model->index(row, column).data().toString();
        rows << cells.join(QStringLiteral(" | "));
    }
    return rows;
}

QStringList Captions(QTreeView* List)
{
    QStringList captions;
    for (int column = 0; column < List->model()->columnCount(); ++column)
        captions << List->model()->headerData(column, Qt::Horizontal).toString();
    return captions;
}

// Clicks every row: on its text, on its check box where it has one, twice on its first cell; then walks
// the list with the keyboard. Single clicks are spaced so that no two make a double click.
void ClickAndType(QTreeView* List)
{
    List->setFocus();
    const int spaced = QApplication::doubleClickInterval() + 10;
    for (int row = 0; row < List->model()->rowCount(); ++row) {
        const QModelIndex index = List->model()->index(row, 0);
        QStyleOptionViewItem option;
        option.initFrom(List->viewport());
        option.rect = List->visualRect(index);
        option.features |= QStyleOptionViewItem::HasCheckIndicator;
        const QRect check = List->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, List);
        QTest::mouseClick(List->viewport(), Qt::LeftButton, {}, option.rect.center(), spaced);
        QTest::mouseClick(List->viewport(), Qt::LeftButton, {}, check.center(), spaced);
        QTest::mouseDClick(List->viewport(), Qt::LeftButton, {}, option.rect.center(), spaced);
    }
    for (int key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_End, Qt::Key_Space, Qt::Key_Home})
        QTest::keyClick(List, Qt::Key(key));
    QTest::keyClick(List, Qt::Key_A, Qt::ControlModifier);
}

void ExpectUnselected(QTreeView* List, const char* Name)
{
    EXPECT_TRUE(List->selectionModel()->selectedIndexes().isEmpty()) << Name;
    EXPECT_FALSE(List->selectionModel()->currentIndex().isValid()) << Name;
}

class TableViews : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemString_Initialize();
        koResourceItemAccelerator_Initialize();
        koResourceItemVersionInfo_Initialize();
        koResourceViewString_Initialize();
        koResourceViewAccelerator_Initialize();
        koResourceViewVersion_Initialize();
        Module.SetDeferDefaultSymbols(true);
    }
    void TearDown() override
    {
        Module.Items()->Clear();
        koResourceViewVersion_Finalize();
        koResourceViewAccelerator_Finalize();
        koResourceViewString_Finalize();
        koResourceView_Finalize();
        koResourceItemVersionInfo_Finalize();
        koResourceItemAccelerator_Finalize();
        koResourceItemString_Finalize();
        koResourcesKinds_Finalize();
        koResourcesFiler_Finalize();
    }
    // A view of the item as the workspace makes one, shown.
    template <class TView>
    static std::unique_ptr<TView> Show(TCustomResourceItem* Item)
    {
        auto view = std::make_unique<TView>();
        view->GetControl();
        view->SetResourceItem(Item);
        view->resize(400, 300);
        view->show();
        return view;
    }
    TStringListResourceItem* StringTable()
    {
        auto* table = new TStringListResourceItem();
        Module.Items()->Add(table);
        return table;
    }
    TAcceleratorResourceItem* AcceleratorTable()
    {
        auto* table = new TAcceleratorResourceItem(TResourceIdent("MAIN"));
        Module.Items()->Add(table);
        return table;
    }
    TVersionResourceItem* VersionInfo()
    {
        auto* item = new TVersionResourceItem(TResourceIdent::FromOrdinal(1));
        Module.Items()->Add(item);
        return item;
    }
    TResourceModule Module;
};

// The value column of the file information, row by row.
QStringList FileInfoValues(TVersionResourceItemView* View)
{
    QStringList values;
    for (int i = 0; i < View->ListViewFileInfo->topLevelItemCount(); ++i)
        values << View->ListViewFileInfo->topLevelItem(i)->text(1);
    return values;
}

std::string CheckedFlags(TVersionResourceItemView* View)
{
    QStringList checked;
    for (int i = 0; i < View->ListViewFlags->topLevelItemCount(); ++i)
        if (View->ListViewFlags->topLevelItem(i)->checkState(0) == Qt::Checked)
            checked << View->ListViewFlags->topLevelItem(i)->text(0);
    return checked.join(QStringLiteral(", ")).toStdString();
}

QStringList Tabs(QTabBar* Tabs)
{
    QStringList captions;
    for (int i = 0; i < Tabs->count(); ++i) captions << Tabs->tabText(i);
    return captions;
}
} // namespace

TEST_F(TableViews, FactoriesTakeTheirKindsOnly)
{
    TStringListResourceItem* strings = StringTable();
    TAcceleratorResourceItem* accelerators = AcceleratorTable();
    TTestItem other(TResourceIdent("OTHER"));
    EXPECT_EQ(ResourceItemViewDatabase()->Find(strings), TStringResourceItemViewFactory::ClassInfo());
    EXPECT_EQ(ResourceItemViewDatabase()->Find(accelerators), TAcceleratorResourceItemViewFactory::ClassInfo());
    EXPECT_EQ(ResourceItemViewDatabase()->Find(&other), nullptr);

    TStringResourceItemView empty;
    EXPECT_EQ(empty.GetCaption(), "String table") << "no item: no type name";
    EXPECT_EQ(Show<TStringResourceItemView>(strings)->GetCaption(), TStringListResourceItem::ResourceTypeName());
    EXPECT_EQ(Show<TAcceleratorResourceItemView>(accelerators)->GetCaption(), "Accelerator");
}

TEST_F(TableViews, StringTableListsIDsAndCaptionsAndFollowsChanges)
{
    TStringListResourceItem* table = StringTable();
    table->Strings()->AddID(1)->SetValue("Open");
    TResourceStringsString* bound = table->Strings()->AddID(17);
    bound->SetValue(QString::fromUtf8("Grüße, \"world\""));
    bound->ID()->SetIdentifier("IDS_GREETING");
    table->Strings()->AddID(65535)->SetValue(QString());

    auto view = Show<TStringResourceItemView>(table);
    QTreeView* list = view->ListViewStrings;
    EXPECT_EQ(Captions(list), QStringList({"ID", "Caption"}));
    EXPECT_EQ(Rows(list), QStringList({"1 | Open", QString::fromUtf8("IDS_GREETING | Grüße, \"world\""), "65535 | "}));
    EXPECT_GE(list->header()->sectionSize(1), 50);
    EXPECT_EQ(list->header()->sectionSize(0), 80);

    // Outside changes: a new string, a new text, a symbol renamed away, a string deleted.
    table->Strings()->AddID(2)->SetValue("Close");
    table->Strings()->Items(0)->SetValue("Open...");
    bound->ID()->SetIdentifier(QString());
    table->Strings()->Delete(table->Strings()->IndexOfID(65535));
    EXPECT_EQ(Rows(list), QStringList({"1 | Open...", QString::fromUtf8("17 | Grüße, \"world\""), "2 | Close"}));

    table->Strings()->Clear();
    EXPECT_EQ(list->model()->rowCount(), 0);
}

TEST_F(TableViews, StringListLetsGoOfAnItemThatGoesAway)
{
    TStringListResourceItem* table = StringTable();
    table->Strings()->AddID(5)->SetValue("five");
    auto view = Show<TStringResourceItemView>(table);
    ASSERT_EQ(Rows(view->ListViewStrings), QStringList({"5 | five"}));
    Module.Items()->Remove(table);
    EXPECT_EQ(view->ResourceItem(), nullptr);
    EXPECT_EQ(view->ListViewStrings->model()->rowCount(), 0) << "its rows would read freed strings";
    view->ListViewStrings->viewport()->repaint();
}

TEST_F(TableViews, AcceleratorTableListsCommandShortcutAndType)
{
    TAcceleratorResourceItem* table = AcceleratorTable();
    struct Entry {
        uint16_t command;
        const char* symbol;
        uint16_t shortcut;
        const char* row;
    } entries[] = {
        {100, "IDM_SAVE", uint16_t(atVirtualKey | atCtrl | 'S'), "IDM_SAVE | Ctrl+S | Virtual key"},
        {101, nullptr, uint16_t(atVirtualKey | atShift | atAlt | 0x70), "101 | Shift+Alt+F1 | Virtual key"},
        {102, nullptr, 1, "102 | Ctrl+A | ASCII key"},
        {103, nullptr, 'a', "103 | a | ASCII key"},
        {104, nullptr, atVirtualKey, "104 | (None) | Virtual key"},
    };
    QStringList expected;
    for (const Entry& e : entries) {
        TAcceleratorItem* entry = table->Accelerators()->Add();
        entry->Command()->SetOrdinalValue(e.command);
        if (e.symbol) entry->Command()->SetIdentifier(e.symbol);
        entry->SetShortcut(e.shortcut);
        expected << e.row;
    }
    auto view = Show<TAcceleratorResourceItemView>(table);
    QTreeWidget* list = view->ListViewAccelerators;
    EXPECT_EQ(Captions(list), QStringList({"Command", "Shortcut", "Type"}));
    EXPECT_EQ(Rows(list), expected);
    EXPECT_EQ(list->header()->sectionSize(0), 70);
    EXPECT_EQ(list->header()->sectionSize(2), 80);
    EXPECT_GE(list->header()->sectionSize(1), 100) << "the shortcut column's minimum";

    table->Accelerators()->Items(2)->SetAcceleratorType(atVirtual);
    table->Accelerators()->Delete(4);
    expected[2] = "102 | " + AcceleratorToText(table->Accelerators()->Items(2)->Shortcut()) + " | Virtual key";
    expected.removeLast();
    EXPECT_EQ(Rows(list), expected);
}

TEST_F(TableViews, ClicksAndKeysChangeNothing)
{
    TStringListResourceItem* strings = StringTable();
    for (uint32_t id = 1; id <= 3; ++id) strings->Strings()->AddID(id)->SetValue("s");
    TAcceleratorResourceItem* accelerators = AcceleratorTable();
    for (uint16_t key : {'A', 'B', 'C'}) accelerators->Accelerators()->Add()->SetShortcut(uint16_t(atVirtualKey | key));

    auto stringView = Show<TStringResourceItemView>(strings);
    auto acceleratorView = Show<TAcceleratorResourceItemView>(accelerators);
    for (QTreeView* list : {static_cast<QTreeView*>(stringView->ListViewStrings),
                            static_cast<QTreeView*>(acceleratorView->ListViewAccelerators)}) {
        const QStringList before = Rows(list);
        ClickAndType(list);
        ExpectUnselected(list, qPrintable(list->objectName()));
        EXPECT_EQ(Rows(list), before) << "no in-place editing";
        list->setCurrentIndex(list->model()->index(1, 0));
        list->selectAll();
        ExpectUnselected(list, qPrintable(list->objectName()));
    }
}

TEST_F(TableViews, FullStringTableShowsItsLastRow)
{
    // Every ID of a block range: rows are read from the table by index, as they are shown.
    TStringListResourceItem* table = StringTable();
    TResourceStrings* strings = table->Strings();
    {
        TUpdateGuard batch(table);
        for (uint32_t id = 0; id < 65536; ++id) strings->AddID(id)->SetValue(QString::number(id * 2));
    }
    auto view = Show<TStringResourceItemView>(table);
    QAbstractItemModel* model = view->ListViewStrings->model();
    ASSERT_EQ(model->rowCount(), 65536);
    EXPECT_EQ(model->index(65535, 0).data().toString(), "65535");
    EXPECT_EQ(model->index(65535, 1).data().toString(), "131070");
    EXPECT_FALSE(model->hasChildren(model->index(0, 0))) << "rows of a flat list hold nothing";
}

TEST_F(TableViews, VersionFileInformationShowsNamesAndInvalidValues)
{
    TVersionResourceItem* item = VersionInfo();
    item->SetFileVersion(0x0001000200030004ull);
    item->SetProductVersion(0xFFFF000000000000ull);
    auto view = Show<TVersionResourceItemView>(item);
    EXPECT_EQ(view->GetCaption(), "VersionInfo");
    EXPECT_EQ(Captions(view->ListViewFileInfo), QStringList({"Name", "Value"}));
    EXPECT_EQ(Captions(view->ListViewFlags), QStringList({"Flag"}));
    EXPECT_EQ(Captions(view->ListViewStrings), QStringList({"Name", "Value"}));
    QStringList names;
    for (int i = 0; i < view->ListViewFileInfo->topLevelItemCount(); ++i)
        names << view->ListViewFileInfo->topLevelItem(i)->text(0);
    EXPECT_EQ(names, QStringList({"File Version", "Product Version", "OS Host", "OS Shell", "File Type", "File Sub-type"}));

    struct Case {
        uint32_t os, type, subType;
        QStringList shown; // OS host, OS shell, file type, sub-type
    } cases[] = {
        {0x00040004, ftDriver, 12, {"Windows NT", "Win32", "Driver", "Invalid (12)"}},
        {0x00050000, ftDriver, 2, {"Windows CE", "Base", "Driver", "Keyboard"}},
        {0x00010001, ftFont, 2, {"DOS", "Win16", "Font", "Vector"}},
        {0x00020002, ftFont, 3, {"OS/2, 16 bit", "PresentationManager, 16 bit", "Font", "TrueType"}},
        {0x00030003, ftFont, 0, {"OS/2, 32 bit", "PresentationManager, 32 bit", "Font", "Invalid (0)"}},
        {0x00000000, ftFont, 4, {"Unknown", "Base", "Font", "Invalid (4)"}},
        {0x00070005, 6, 5, {"Invalid (7)", "Invalid (5)", "Invalid (6)", "5"}},
        {0x00040004, 9, 1, {"Windows NT", "Win32", "Invalid (9)", "1"}},
        {0x00040004, ftApplication, 0xFFFFFFFFu, {"Windows NT", "Win32", "Application", "4294967295"}},
        // Large values read as the unsigned numbers they are.
        {0x00040004, ftDriver, 0x80000000u, {"Windows NT", "Win32", "Driver", "Invalid (2147483648)"}},
    };
    for (const Case& c : cases) {
        {
            TUpdateGuard batch(item);
            item->SetFileOS(c.os);
            item->SetFileType(TVersionInfoFileType(c.type));
            item->SetFileSubType(c.subType);
        }
        EXPECT_EQ(FileInfoValues(view.get()), QStringList({"1.2.3.4", "65535.0.0.0"}) + c.shown)
            << c.type << " " << c.subType;
    }
}

TEST_F(TableViews, VersionFlagsAreCheckedAsSetAndClicksChangeNothing)
{
    TVersionResourceItem* item = VersionInfo();
    item->SetFileFlagsMask(TVersionInfoFileFlags{ffDebug, ffPreRelease, ffPatched, ffPrivateBuild, ffInfoInferred, ffSpecialBuild});
    item->SetFileFlags(TVersionInfoFileFlags{ffDebug, ffPatched, ffSpecialBuild});
    item->Translations()->Add(0x0409, 1200);
    item->Strings()->Add("CompanyName", "Acme", 0x0409, 1200);
    item->Strings()->Add("FileDescription", "Tool", 0x0409, 1200);
    auto view = Show<TVersionResourceItemView>(item);
    EXPECT_EQ(CheckedFlags(view.get()), "Debug Build, Patched, Special Build");

    const QStringList info = FileInfoValues(view.get());
    for (QTreeView* list : {static_cast<QTreeView*>(view->ListViewFileInfo), static_cast<QTreeView*>(view->ListViewFlags),
                            static_cast<QTreeView*>(view->ListViewStrings)}) {
        ClickAndType(list);
        ExpectUnselected(list, qPrintable(list->objectName()));
    }
    EXPECT_EQ(CheckedFlags(view.get()), "Debug Build, Patched, Special Build");
    EXPECT_EQ(FileInfoValues(view.get()), info);
    EXPECT_EQ(Rows(view->ListViewStrings), QStringList({"CompanyName | Acme", "FileDescription | Tool"}));

    // Flags follow the item; a flag the mask drops is not shown.
    item->SetFileFlagsMask(TVersionInfoFileFlags{ffPatched, ffPrivateBuild});
    EXPECT_EQ(CheckedFlags(view.get()), "Patched");
    item->SetFileFlags(TVersionInfoFileFlags{ffPrivateBuild});
    EXPECT_EQ(CheckedFlags(view.get()), "Private Build");
}

TEST_F(TableViews, VersionStringsPerTranslationTab)
{
    TVersionResourceItem* item = VersionInfo();
    item->Translations()->Add(0x0409, 1200);
    item->Strings()->Add("CompanyName", "Acme", 0x0409, 1200);
    item->Strings()->Add("CompanyName", "Acme GmbH", 0x0407, 1252);
    item->Strings()->Add("ProductName", "Tool", 0x0409, 1200);
    auto view = Show<TVersionResourceItemView>(item);
    EXPECT_FALSE(view->TabSetTranslations->isVisible()) << "one translation: no tabs";
    EXPECT_EQ(Rows(view->ListViewStrings),
              QStringList({"CompanyName | Acme", "CompanyName | Acme GmbH", "ProductName | Tool"}))
        << "without tabs every string";

    item->Translations()->Add(0x0407, 1252);
    ASSERT_TRUE(view->TabSetTranslations->isVisible());
    EXPECT_EQ(Tabs(view->TabSetTranslations), QStringList({"English (United States)", "German (Germany)"}));
    EXPECT_EQ(view->TabSetTranslations->currentIndex(), 0);
    EXPECT_EQ(Rows(view->ListViewStrings), QStringList({"CompanyName | Acme", "ProductName | Tool"}));

    QTest::mouseClick(view->TabSetTranslations, Qt::LeftButton, {}, view->TabSetTranslations->tabRect(1).center());
    EXPECT_EQ(view->TabSetTranslations->currentIndex(), 1);
    EXPECT_EQ(Rows(view->ListViewStrings), QStringList({"CompanyName | Acme GmbH"}));

    // A reload falls back to the first tab.
    item->SetFileSubType(1);
    EXPECT_EQ(view->TabSetTranslations->currentIndex(), 0);
    EXPECT_EQ(Rows(view->ListViewStrings), QStringList({"CompanyName | Acme", "ProductName | Tool"}));

    // A translation without strings lists nothing; back to one translation, the tabs go.
    item->Translations()->Add(0x0411, 932);
    QTest::mouseClick(view->TabSetTranslations, Qt::LeftButton, {}, view->TabSetTranslations->tabRect(2).center());
    EXPECT_TRUE(Rows(view->ListViewStrings).isEmpty());
    item->Translations()->Delete(2);
    item->Translations()->Delete(1);
    EXPECT_FALSE(view->TabSetTranslations->isVisible());
    EXPECT_EQ(view->TabSetTranslations->count(), 0);
    EXPECT_EQ(Rows(view->ListViewStrings).size(), 3);
}

namespace {
// shell32's resources of the type, read from the module's own resource directory.
QList<TPEResource> Shell32Resources(uint16_t Type)
{
    QList<TPEResource> result;
    QFile file(WineModulesFolder() + QStringLiteral("/shell32.dll"));
    if (!file.open(QIODevice::ReadOnly)) return result;
    for (TPEResource& r : TPEImage(file.readAll()).Resources())
        if (r.Type == TResourceIdent::FromOrdinal(Type)) result.append(std::move(r));
    return result;
}
} // namespace

TEST_F(TableViews, Shell32TablesShowInteropViews)
{
    if (!QFile::exists(WineModulesFolder() + QStringLiteral("/shell32.dll"))) GTEST_SKIP() << "wine's shell32 is absent";
    Module.BeforeLoad();
    TAcceleratorResourceItem* accelerators = nullptr;
    TVersionResourceItem* version = nullptr;
    QByteArray accelData;
    for (uint16_t type : {RT_ACCELERATOR, RT_VERSION})
        for (const TPEResource& r : Shell32Resources(type)) {
            TBytesStream data(r.Data);
            TCustomResourceItem* item = LoadResourceItem(&Module, TResourceIdent(r.Type), TResourceIdent(r.Name),
                                                         r.Language, data, r.Data.size());
            if (r.Name == "SHV_ACCEL") {
                accelerators = qobject_cast<TAcceleratorResourceItem*>(item);
                accelData = r.Data;
            }
            if (!version) version = qobject_cast<TVersionResourceItem*>(item);
        }
    Module.AfterLoad();
    ASSERT_TRUE(accelerators && version);

    // The entries as the file holds them: flags, key, command, padding; the last one marked.
    QStringList expected;
    for (int at = 0; at + 8 <= accelData.size(); at += 8) {
        auto word = [&](int offset) {
            return uint16_t(uint8_t(accelData[at + offset]) | (uint8_t(accelData[at + offset + 1]) << 8));
        };
        ACCEL accel;
        accel.fVirt = word(0) & ~FLASTENTRY;
        accel.key = word(2);
        accel.cmd = word(4);
        expected << QStringLiteral("%1 | %2 | %3").arg(accel.cmd).arg(AccelToText(accel),
                                                                      (accel.fVirt & FVIRTKEY) ? "Virtual key" : "ASCII key");
        if (word(0) & FLASTENTRY) break;
    }
    auto acceleratorView = Show<TAcceleratorResourceItemView>(accelerators);
    EXPECT_FALSE(expected.isEmpty());
    EXPECT_EQ(Rows(acceleratorView->ListViewAccelerators), expected);

    auto versionView = Show<TVersionResourceItemView>(version);
    const QStringList rows = Rows(versionView->ListViewStrings);
    auto value = [&](const QString& key) {
        for (const QString& row : rows)
            if (row.startsWith(key + " | ")) return row.mid(key.size() + 3);
        return QStringLiteral("(missing)");
    };
    const QStringList info = FileInfoValues(versionView.get());
    EXPECT_EQ(info[0], value("FileVersion")) << "the fixed and the string file version agree";
    EXPECT_EQ(info[1], value("ProductVersion"));
    EXPECT_EQ(info[4], "DLL");
    EXPECT_EQ(value("OriginalFilename"), "shell32.dll");
    EXPECT_FALSE(versionView->TabSetTranslations->isVisible());
}
