#include "koResourceViewVersion.h"

#include "ReportListView.h"
#include "kinds/koResourceItemVersionInfo.h"
#include "koResourceViewText.h"
#include "platform/Format.h"

#include <QHeaderView>
#include <QScrollArea>
#include <QSplitter>
#include <QTabBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <array>

namespace {
const std::array<const char*, 6> FileOSHostNames = {"Unknown", "DOS", "OS/2, 16 bit", "OS/2, 32 bit", "Windows NT",
                                                    "Windows CE"};
const std::array<const char*, 5> FileOSShellNames = {"Base", "Win16", "PresentationManager, 16 bit",
                                                     "PresentationManager, 32 bit", "Win32"};
const std::array<const char*, 8> FileTypeNames = {"Unknown", "Application", "DLL", "Driver", "Font", "VXD",
                                                  "Invalid (6)", "Library"};
const std::array<const char*, 11> DriverSubTypeNames = {"Unknown", "Printer",  "Keyboard",    "Language",
                                                        "Display", "Mouse",    "Network",     "System",
                                                        "Installable", "Sound", "Comm"};
// Named from 1.
const std::array<const char*, 3> FontSubTypeNames = {"Raster", "Vector", "TrueType"};

const char* const FileInfoNames[] = {"File Version", "Product Version", "OS Host", "OS Shell", "File Type",
                                     "File Sub-type"};
const char* const FlagNames[] = {"Debug Build", "Pre-Release", "Patched", "Private Build", "Info Inferred",
                                 "Special Build"};
const TVersionInfoFileFlag FlagOrder[] = {ffDebug,        ffPreRelease,   ffPatched,
                                          ffPrivateBuild, ffInfoInferred, ffSpecialBuild};

template <size_t N>
QString TableName(const std::array<const char*, N>& Table, uint32_t Value, uint32_t First = 0)
{
    if (Value < First || Value - First >= N) return Format(QStringLiteral("Invalid (%d)"), {Value});
    return QString::fromUtf8(Table[Value - First]);
}

QString FileSubTypeName(TVersionInfoFileType FileType, uint32_t Value)
{
    switch (FileType) {
    case ftDriver: return TableName(DriverSubTypeNames, Value);
    case ftFont: return TableName(FontSubTypeNames, Value, 1);
    default: return QString::number(Value);
    }
}

QTreeWidget* ReportList(QWidget* Parent, const char* Name, const std::vector<TReportColumn>& Columns,
                        std::function<bool()> CanChange)
{
    auto* list = new QTreeWidget(Parent);
    list->setObjectName(QString::fromUtf8(Name));
    SetupReportList(list, Columns, std::move(CanChange));
    return list;
}

// Fixed rows whose first column names them and that the user cannot check.
void AddFixedRows(QTreeWidget* List, const char* const* Names, int Count, bool Checkable)
{
    for (int i = 0; i < Count; ++i) {
        auto* row = new QTreeWidgetItem(List, QStringList{QString::fromUtf8(Names[i])});
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren);
        if (Checkable) row->setCheckState(0, Qt::Unchecked);
    }
}
} // namespace

TVersionResourceItemView::TVersionResourceItemView(QWidget* Parent) : TCustomResourceItemView(Parent)
{
    TLoadingScope building(FLoading);
    auto canChange = [this] { return FLoading; };

    // The content scrolls when the view is smaller than the lists' minimums.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    FScrollBox = new QScrollArea(this);
    FScrollBox->setFrameShape(QFrame::NoFrame);
    FScrollBox->setWidgetResizable(true);
    outer->addWidget(FScrollBox);
    auto* content = new QWidget(FScrollBox);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    TabSetTranslations = new QTabBar(content);
    TabSetTranslations->setObjectName(QStringLiteral("TabSetTranslations"));
    TabSetTranslations->setShape(QTabBar::RoundedNorth);
    TabSetTranslations->setExpanding(false);
    TabSetTranslations->setFont(TextViewFont(QStringLiteral("Tahoma"), 8, QFont::SansSerif));
    TabSetTranslations->hide();
    connect(TabSetTranslations, &QTabBar::currentChanged, this, [this](int Index) { TabSetTranslationsChange(Index); });
    layout->addWidget(TabSetTranslations);

    Splitter1 = new QSplitter(Qt::Vertical, content);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);
    layout->addWidget(Splitter1, 1);

    Panel1 = new QWidget(Splitter1);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setMinimumHeight(50);
    auto* panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    Splitter2 = new QSplitter(Qt::Horizontal, Panel1);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->setChildrenCollapsible(false);
    panelLayout->addWidget(Splitter2);

    ListViewFileInfo = ReportList(Splitter2, "ListViewFileInfo", {{"Name", 100, 50}, {"Value", 0, 50, true}}, canChange);
    ListViewFileInfo->setMinimumWidth(100);
    AddFixedRows(ListViewFileInfo, FileInfoNames, std::size(FileInfoNames), false);
    ListViewFlags = ReportList(Splitter2, "ListViewFlags", {{"Flag", 0, 50, true}}, canChange);
    ListViewFlags->setMinimumWidth(100);
    AddFixedRows(ListViewFlags, FlagNames, std::size(FlagNames), true);
    Splitter2->setStretchFactor(0, 1);
    Splitter2->setStretchFactor(1, 0);

    ListViewStrings = ReportList(Splitter1, "ListViewStrings", {{"Name", 100, 50}, {"Value", 0, 50, true}}, canChange);
    ListViewStrings->setMinimumSize(150, 50);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);

    // The fixed rows fit above the strings.
    const int rows = ListViewFileInfo->header()->sizeHint().height() +
                     int(std::size(FileInfoNames)) * ListViewFileInfo->sizeHintForRow(0) + 4;
    Splitter1->setSizes({rows, 200});
    Splitter2->setSizes({300, 130});
    FScrollBox->setWidget(content);
}

void TVersionResourceItemView::LoadView()
{
    TLoadingScope loading(FLoading);
    auto* item = qobject_cast<TVersionResourceItem*>(ResourceItem());

    for (int i = 0; i < ListViewFileInfo->topLevelItemCount(); ++i) ListViewFileInfo->topLevelItem(i)->setText(1, QString());
    for (int i = 0; i < ListViewFlags->topLevelItemCount(); ++i)
        ListViewFlags->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
    TabSetTranslations->hide();
    while (TabSetTranslations->count() > 0) TabSetTranslations->removeTab(0);

    if (item) {
        const QString values[] = {VersionToStr(item->FileVersion(), QLatin1Char('.')),
                                  VersionToStr(item->ProductVersion(), QLatin1Char('.')),
                                  TableName(FileOSHostNames, item->FileOSHost()),
                                  TableName(FileOSShellNames, item->FileOSShell()),
                                  TableName(FileTypeNames, item->FileType()),
                                  FileSubTypeName(item->FileType(), item->FileSubType())};
        for (int i = 0; i < int(std::size(values)); ++i) ListViewFileInfo->topLevelItem(i)->setText(1, values[i]);

        const TVersionInfoFileFlags flags = item->FileFlags();
        for (int i = 0; i < int(std::size(FlagOrder)); ++i)
            ListViewFlags->topLevelItem(i)->setCheckState(0, flags.Contains(FlagOrder[i]) ? Qt::Checked : Qt::Unchecked);

        TVersionInfoTranslationList* translations = item->Translations();
        if (translations->Count() > 1) {
            for (int i = 0; i < translations->Count(); ++i) TabSetTranslations->addTab(translations->LanguageName(i));
            TabSetTranslations->setCurrentIndex(0);
            TabSetTranslations->show();
        }
    }
    LoadStrings();
    FitReportColumns(ListViewFileInfo);
    FitReportColumns(ListViewFlags);
}

void TVersionResourceItemView::LoadStrings()
{
    TLoadingScope loading(FLoading);
    ListViewStrings->setUpdatesEnabled(false);
    ListViewStrings->clear();
    QList<QTreeWidgetItem*> rows;
    if (auto* item = qobject_cast<TVersionResourceItem*>(ResourceItem())) {
        const int tab = TabSetTranslations->isVisibleTo(this) ? TabSetTranslations->currentIndex() : -1;
        const bool filtered = tab >= 0 && tab < item->Translations()->Count();
        const uint32_t translation = filtered ? item->Translations()->Items(tab) : 0;
        TVersionInfoStringList* strings = item->Strings();
        for (int i = 0; i < strings->Count(); ++i) {
            const TVersionInfoString* string = strings->Items(i);
            if (filtered && string->Translation() != translation) continue;
            auto* row = new QTreeWidgetItem(QStringList{string->Key(), string->Value()});
            row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren);
            rows.append(row);
        }
    }
    ListViewStrings->addTopLevelItems(rows);
    ListViewStrings->setUpdatesEnabled(true);
    FitReportColumns(ListViewStrings);
}

void TVersionResourceItemView::TabSetTranslationsChange(int)
{
    // The load fills the strings itself once the tabs are made.
    if (!FLoading) LoadStrings();
}

// TVersionResourceItemViewFactory

bool TVersionResourceItemViewFactory::Handles(TCustomResourceItem* ResourceItem)
{
    return qobject_cast<TVersionResourceItem*>(ResourceItem) != nullptr;
}

IResourceItemViewPtr TVersionResourceItemViewFactory::CreateView() { return std::make_shared<TVersionResourceItemView>(); }

void koResourceViewVersion_Initialize() { TVersionResourceItemViewFactory::ClassInfo()->Register(0); }

void koResourceViewVersion_Finalize() { TVersionResourceItemViewFactory::ClassInfo()->Unregister(); }
