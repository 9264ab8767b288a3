// A string table as a read-only (ID, text) list whose rows are read from the table as they are shown.
#pragma once

#include "shell/koResourceView.h"

class QTreeView;
class TCustomStringResourceItem;
class TStringListModel;

class TStringResourceItemView : public TCustomResourceItemView {
    Q_OBJECT

public:
    explicit TStringResourceItemView(QWidget* Parent = nullptr);
    QString GetCaption() override;
    // An item that goes away takes its strings along: the list empties rather than read them.
    void ResourceItemNotification(TCustomResourceItem* Item, TResourceItemNotification Notification) override;

    QWidget* Panel2;
    QWidget* Panel1;
    QTreeView* ListViewStrings;

protected:
    void LoadView() override;

private:
    friend class TStringListModel;
    // Row Index of the table: its ID as shown and its text; False past the end of the table.
    bool ListViewStringsData(int Index, QString& ID, QString& Caption) const;
    TCustomStringResourceItem* StringItem() const;

    bool FLoading = false;
    TStringListModel* FModel;
};

class TStringResourceItemViewFactory {
    RESOURCE_VIEW_FACTORY_CLASS(TStringResourceItemViewFactory, TCustomResourceItemViewFactory)
public:
    static bool Handles(TCustomResourceItem* ResourceItem);
    static IResourceItemViewPtr CreateView();
};

void koResourceViewString_Initialize();
void koResourceViewString_Finalize();
