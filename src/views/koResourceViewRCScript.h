// The RC script a resource item is written as, shown read-only.
#pragma once

#include "koResourceViewText.h"

class TRcScriptResourceItemView : public TTextResourceItemView {
    Q_OBJECT

public:
    explicit TRcScriptResourceItemView(QWidget* Parent = nullptr);
    QString GetCaption() override { return QStringLiteral("RC script"); }

protected:
    // The script of the item's top item (an icon image shows its group), as its RC writer writes it.
    // Raises when no writer takes the item.
    void LoadView() override;

private:
    // Set while the script is being written: writers may touch the item.
    bool FLoading = false;
};

class TRcScriptResourceItemViewFactory {
    RESOURCE_VIEW_FACTORY_CLASS(TRcScriptResourceItemViewFactory, TCustomResourceItemViewFactory)
public:
    // Any item but the internal ones.
    static bool Handles(TCustomResourceItem* ResourceItem);
    static IResourceItemViewPtr CreateView();
};

void koResourceViewRCScript_Initialize();
void koResourceViewRCScript_Finalize();
