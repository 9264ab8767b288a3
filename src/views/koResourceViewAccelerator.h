// An accelerator table as a read-only (command, shortcut, type) list.
#pragma once

#include "shell/koResourceView.h"

class QTreeWidget;

class TAcceleratorResourceItemView : public TCustomResourceItemView {
    Q_OBJECT

public:
    explicit TAcceleratorResourceItemView(QWidget* Parent = nullptr);
    QString GetCaption() override { return QStringLiteral("Accelerator"); }

    QWidget* Panel2;
    QWidget* Panel1;
    QTreeWidget* ListViewAccelerators;

protected:
    void LoadView() override;

private:
    bool FLoading = false;
};

class TAcceleratorResourceItemViewFactory {
    RESOURCE_VIEW_FACTORY_CLASS(TAcceleratorResourceItemViewFactory, TCustomResourceItemViewFactory)
public:
    static bool Handles(TCustomResourceItem* ResourceItem);
    static IResourceItemViewPtr CreateView();
};

void koResourceViewAccelerator_Initialize();
void koResourceViewAccelerator_Finalize();
