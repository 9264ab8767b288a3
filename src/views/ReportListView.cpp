#include "ReportListView.h"

#include "platform/GraphUtil.h"
#include "shell/koResourceView.h"

#include <QEvent>
#include <QHeaderView>
#include <QStyle>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

namespace {
// Keeps the columns of one list: the minimums of the columns the user sizes, and the width of the
// auto-size column whenever the list or another column changes size.
class TReportColumnKeeper : public QObject {
public:
    TReportColumnKeeper(QTreeView* View, std::vector<TReportColumn> Columns)
        : QObject(View), FView(View), FColumns(std::move(Columns))
    {
        View->viewport()->installEventFilter(this);
        connect(View->header(), &QHeaderView::sectionResized, this, [this](int Section, int, int NewSize) {
            if (Section < 0 || Section >= static_cast<int>(FColumns.size())) return;
            if (NewSize < FColumns[Section].MinWidth) {
                FView->header()->resizeSection(Section, FColumns[Section].MinWidth);
                return;
            }
            if (!FColumns[Section].AutoSize) Fit();
        });
    }

    void Fit()
    {
        QHeaderView* header = FView->header();
        int others = 0;
        for (int i = 0; i < static_cast<int>(FColumns.size()); ++i)
            if (!FColumns[i].AutoSize) others += header->sectionSize(i);
        const int rest = FView->viewport()->width() - others;
        for (int i = 0; i < static_cast<int>(FColumns.size()); ++i)
            if (FColumns[i].AutoSize && header->sectionSize(i) != std::max(rest, FColumns[i].MinWidth))
                header->resizeSection(i, std::max(rest, FColumns[i].MinWidth));
    }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Event->type() == QEvent::Resize) Fit();
        return QObject::eventFilter(Watched, Event);
    }

private:
    QTreeView* FView;
    std::vector<TReportColumn> FColumns;
};
} // namespace

TGuardedSelectionModel::TGuardedSelectionModel(QAbstractItemModel* Model, std::function<bool()> CanChange,
                                               QObject* Parent)
    : QItemSelectionModel(Model, Parent), FCanChange(std::move(CanChange))
{
}

void TGuardedSelectionModel::setCurrentIndex(const QModelIndex& Index, QItemSelectionModel::SelectionFlags Command)
{
    if (FCanChange()) QItemSelectionModel::setCurrentIndex(Index, Command);
}

void TGuardedSelectionModel::select(const QModelIndex& Index, QItemSelectionModel::SelectionFlags Command)
{
    if (FCanChange()) QItemSelectionModel::select(Index, Command);
}

void TGuardedSelectionModel::select(const QItemSelection& Selection, QItemSelectionModel::SelectionFlags Command)
{
    if (FCanChange()) QItemSelectionModel::select(Selection, Command);
}

void SetupReportList(QTreeView* View, const std::vector<TReportColumn>& Columns, std::function<bool()> CanChange)
{
    View->setFrameShape(QFrame::NoFrame);
    View->setRootIsDecorated(false);
    View->setItemsExpandable(false);
    View->setUniformRowHeights(true);
    View->setSortingEnabled(false);
    View->setEditTriggers(QAbstractItemView::NoEditTriggers);
    View->setSelectionBehavior(QAbstractItemView::SelectRows);
    View->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QItemSelectionModel* former = View->selectionModel();
    View->setSelectionModel(new TGuardedSelectionModel(View->model(), std::move(CanChange), View));
    if (former && former->parent() == View) former->deleteLater();

    if (auto* tree = qobject_cast<QTreeWidget*>(View)) tree->setColumnCount(static_cast<int>(Columns.size()));
    for (int i = 0; i < static_cast<int>(Columns.size()); ++i)
        View->model()->setHeaderData(i, Qt::Horizontal, QString::fromUtf8(Columns[i].Caption));

    QHeaderView* header = View->header();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setSortIndicatorShown(false);
    header->setStretchLastSection(false);
    int smallest = INT_MAX;
    for (const TReportColumn& column : Columns) smallest = std::min(smallest, column.MinWidth);
    if (!Columns.empty()) header->setMinimumSectionSize(smallest);
    for (int i = 0; i < static_cast<int>(Columns.size()); ++i) {
        header->setSectionResizeMode(i, Columns[i].AutoSize ? QHeaderView::Fixed : QHeaderView::Interactive);
        header->resizeSection(i, Columns[i].AutoSize ? Columns[i].MinWidth : Columns[i].Width);
    }
    new TReportColumnKeeper(View, Columns);
}

void FitReportColumns(QTreeView* View)
{
    for (QObject* child : View->children())
        if (auto* keeper = dynamic_cast<TReportColumnKeeper*>(child)) keeper->Fit();
}

QVBoxLayout* CreateErrorStripColumn(QWidget* View, QWidget*& PanelError, QLabel*& ImageError, QLabel*& LabelError)
{
    auto* layout = new QVBoxLayout(View);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const TViewErrorStrip strip = CreateViewErrorStrip(
        View, View->style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(22, 22), QString());
    PanelError = strip.Panel;
    ImageError = strip.Image;
    LabelError = strip.Label;
    layout->addWidget(PanelError);
    return layout;
}

QWidget* CreateColorPanel(QWidget* Parent, const QColor& Color, int Padding)
{
    auto* panel = new QWidget(Parent);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, Color);
    panel->setPalette(palette);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(Padding, Padding, Padding, Padding);
    layout->setSpacing(0);
    return panel;
}

TListFrame CreateListFrame(QWidget* View, QWidget* Content)
{
    auto* layout = new QVBoxLayout(View);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    TListFrame frame;
    frame.Panel2 = CreateColorPanel(View, clWindow(), 4);
    frame.Panel2->setObjectName(QStringLiteral("Panel2"));
    frame.Panel1 = CreateColorPanel(frame.Panel2, cl3DLight(), 1);
    frame.Panel1->setObjectName(QStringLiteral("Panel1"));
    frame.Panel2->layout()->addWidget(frame.Panel1);
    Content->setParent(frame.Panel1);
    frame.Panel1->layout()->addWidget(Content);
    layout->addWidget(frame.Panel2);
    return frame;
}
