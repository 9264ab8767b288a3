// What the read-only list previews share: report-style lists whose columns keep their widths and
// minimums with one column taking the rest of the width, and that refuse every selection or focus
// change the view does not make itself.
#pragma once

#include <QItemSelectionModel>
#include <QColor>
#include <QObject>
#include <functional>
#include <vector>

class QLabel;
class QTreeView;
class QVBoxLayout;
class QWidget;

struct TReportColumn {
    const char* Caption;
    int Width;    // ignored for the auto-size column
    int MinWidth;
    bool AutoSize = false;
};

// Asks before every change of the selection or the current row; refused changes leave both as they are.
class TGuardedSelectionModel : public QItemSelectionModel {
    Q_OBJECT

public:
    TGuardedSelectionModel(QAbstractItemModel* Model, std::function<bool()> CanChange, QObject* Parent);
    void setCurrentIndex(const QModelIndex& Index, QItemSelectionModel::SelectionFlags Command) override;
    void select(const QModelIndex& Index, QItemSelectionModel::SelectionFlags Command) override;
    void select(const QItemSelection& Selection, QItemSelectionModel::SelectionFlags Command) override;

private:
    std::function<bool()> FCanChange;
};

// Makes View a read-only report list without border, sorting or column clicks, with the columns given
// (their captions go into the model's header); selection and focus changes pass only while CanChange
// answers True. Call after the view has its model.
void SetupReportList(QTreeView* View, const std::vector<TReportColumn>& Columns, std::function<bool()> CanChange);

// Gives the auto-size column what the other columns leave of the list's width, at least its minimum.
void FitReportColumns(QTreeView* View);

// A panel filled with Color whose content sits Padding pixels inside it.
QWidget* CreateColorPanel(QWidget* Parent, const QColor& Color, int Padding);

// The column of a view that can say why its preview failed: the error strip (the critical sign, hidden)
// at the top of View's own layout; the view adds its content below.
QVBoxLayout* CreateErrorStripColumn(QWidget* View, QWidget*& PanelError, QLabel*& ImageError, QLabel*& LabelError);

// The frame the single-list views share: Panel2 (window colour, 2-pixel margins, 4-pixel padding)
// filling View, holding Panel1 (1-pixel frame of the light 3D colour) that holds Content.
struct TListFrame {
    QWidget* Panel2;
    QWidget* Panel1;
};
TListFrame CreateListFrame(QWidget* View, QWidget* Content);

// Holds a view's loading flag set for a scope and gives it back as it was, also when loading fails.
class TLoadingScope {
public:
    explicit TLoadingScope(bool& Flag) : FFlag(Flag), FFormer(Flag) { FFlag = true; }
    ~TLoadingScope() { FFlag = FFormer; }
    TLoadingScope(const TLoadingScope&) = delete;
    TLoadingScope& operator=(const TLoadingScope&) = delete;

private:
    bool& FFlag;
    bool FFormer;
};
