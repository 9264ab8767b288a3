#include "koResourceViewAccelerator.h"

#include "ReportListView.h"
#include "kinds/koResourceItemAccelerator.h"

#include <QTreeWidget>

TAcceleratorResourceItemView::TAcceleratorResourceItemView(QWidget* Parent) : TCustomResourceItemView(Parent)
{
    TLoadingScope building(FLoading);
    ListViewAccelerators = new QTreeWidget(this);
    ListViewAccelerators->setObjectName(QStringLiteral("ListViewAccelerators"));
    ListViewAccelerators->setMinimumSize(150, 100);
    SetupReportList(ListViewAccelerators, {{"Command", 70, 50}, {"Shortcut", 0, 100, true}, {"Type", 80, 50}},
                    [this] { return FLoading; });
    const TListFrame frame = CreateListFrame(this, ListViewAccelerators);
    Panel2 = frame.Panel2;
    Panel1 = frame.Panel1;
}

void TAcceleratorResourceItemView::LoadView()
{
    TLoadingScope loading(FLoading);
    ListViewAccelerators->setUpdatesEnabled(false);
    ListViewAccelerators->clear();
    QList<QTreeWidgetItem*> rows;
    if (auto* table = qobject_cast<TAcceleratorResourceItem*>(ResourceItem())) {
        TAcceleratorItems* accelerators = table->Accelerators();
        rows.reserve(accelerators->Count());
        for (int i = 0; i < accelerators->Count(); ++i) {
            const TAcceleratorItem* accelerator = accelerators->Items(i);
            rows.append(new QTreeWidgetItem(QStringList{
                accelerator->Command()->ID(), AcceleratorToText(accelerator->Shortcut()),
                accelerator->AcceleratorType() == atVirtual ? QStringLiteral("Virtual key") : QStringLiteral("ASCII key")}));
        }
    }
    ListViewAccelerators->addTopLevelItems(rows);
    ListViewAccelerators->setUpdatesEnabled(true);
    FitReportColumns(ListViewAccelerators);
}

// TAcceleratorResourceItemViewFactory

bool TAcceleratorResourceItemViewFactory::Handles(TCustomResourceItem* ResourceItem)
{
    return qobject_cast<TAcceleratorResourceItem*>(ResourceItem) != nullptr;
}

IResourceItemViewPtr TAcceleratorResourceItemViewFactory::CreateView()
{
    return std::make_shared<TAcceleratorResourceItemView>();
}

void koResourceViewAccelerator_Initialize() { TAcceleratorResourceItemViewFactory::ClassInfo()->Register(0); }

void koResourceViewAccelerator_Finalize() { TAcceleratorResourceItemViewFactory::ClassInfo()->Unregister(); }
