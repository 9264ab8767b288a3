#include "koResourceViewString.h"

#include "ReportListView.h"
#include "kinds/koResourceItemString.h"

#include <QAbstractTableModel>
#include <QTreeView>

// Rows on demand: a table of tens of thousands of strings costs nothing until rows are shown.
class TStringListModel : public QAbstractTableModel {
public:
    explicit TStringListModel(TStringResourceItemView* View) : QAbstractTableModel(View), FView(View) {}

    void SetCount(int Count)
    {
        beginResetModel();
        FCount = Count;
        endResetModel();
    }
    int rowCount(const QModelIndex& Parent) const override { return Parent.isValid() ? 0 : FCount; }
    int columnCount(const QModelIndex& Parent) const override { return Parent.isValid() ? 0 : 2; }
    QVariant data(const QModelIndex& Index, int Role) const override
    {
        if (Role != Qt::DisplayRole || !Index.isValid()) return {};
        QString id, caption;
        if (!FView->ListViewStringsData(Index.row(), id, caption)) return {};
        return Index.column() == 0 ? id : caption;
    }
    QVariant headerData(int Section, Qt::Orientation Orientation, int Role) const override
    {
        if (Orientation != Qt::Horizontal || Role != Qt::DisplayRole) return {};
        return FCaptions.value(Section);
    }
    bool setHeaderData(int Section, Qt::Orientation Orientation, const QVariant& Value, int Role) override
    {
        if (Orientation != Qt::Horizontal || Role != Qt::EditRole || Section < 0 || Section >= 2) return false;
        while (FCaptions.size() <= Section) FCaptions.append(QString());
        FCaptions[Section] = Value.toString();
        Q_EMIT headerDataChanged(Orientation, Section, Section);
        return true;
    }
    Qt::ItemFlags flags(const QModelIndex& Index) const override
    {
        return Index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
    }

private:
    TStringResourceItemView* FView;
    int FCount = 0;
    QStringList FCaptions;
};

TStringResourceItemView::TStringResourceItemView(QWidget* Parent) : TCustomResourceItemView(Parent)
{
    // Set while the list is built, so that its own first selection and focus pass.
    TLoadingScope building(FLoading);
    ListViewStrings = new QTreeView(this);
    ListViewStrings->setObjectName(QStringLiteral("ListViewStrings"));
    FModel = new TStringListModel(this);
    ListViewStrings->setModel(FModel);
    ListViewStrings->setMinimumSize(150, 100);
    SetupReportList(ListViewStrings, {{"ID", 80, 50}, {"Caption", 0, 50, true}}, [this] { return FLoading; });
    const TListFrame frame = CreateListFrame(this, ListViewStrings);
    Panel2 = frame.Panel2;
    Panel1 = frame.Panel1;
}

QString TStringResourceItemView::GetCaption()
{
    const QString caption = ItemCaption();
    return caption.isEmpty() ? QStringLiteral("String table") : caption;
}

TCustomStringResourceItem* TStringResourceItemView::StringItem() const
{
    return qobject_cast<TCustomStringResourceItem*>(ResourceItem());
}

void TStringResourceItemView::ResourceItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification)
{
    TCustomResourceItemView::ResourceItemNotification(Item, Notification);
    if (Notification == rnUnsubscribe && !ResourceItem()) FModel->SetCount(0);
}

void TStringResourceItemView::LoadView()
{
    TLoadingScope loading(FLoading);
    TCustomStringResourceItem* item = StringItem();
    FModel->SetCount(item ? item->Strings()->Count() : 0);
    FitReportColumns(ListViewStrings);
}

bool TStringResourceItemView::ListViewStringsData(int Index, QString& ID, QString& Caption) const
{
    // The count was taken at the last load; the table may have fewer strings by now.
    TCustomStringResourceItem* item = StringItem();
    if (!item || Index < 0 || Index >= item->Strings()->Count()) return false;
    const TResourceStringsString* string = item->Strings()->Items(Index);
    ID = string->DisplayName();
    Caption = string->Value();
    return true;
}

// TStringResourceItemViewFactory

bool TStringResourceItemViewFactory::Handles(TCustomResourceItem* ResourceItem)
{
    return qobject_cast<TCustomStringResourceItem*>(ResourceItem) != nullptr;
}

IResourceItemViewPtr TStringResourceItemViewFactory::CreateView() { return std::make_shared<TStringResourceItemView>(); }

void koResourceViewString_Initialize() { TStringResourceItemViewFactory::ClassInfo()->Register(0); }

void koResourceViewString_Finalize() { TStringResourceItemViewFactory::ClassInfo()->Unregister(); }
