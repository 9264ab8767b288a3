// Version information, read-only: the fixed file information, the file flags and the version strings,
// with one tab per translation when there are several.
#pragma once

#include "shell/koResourceView.h"

class QScrollArea;
class QSplitter;
class QTabBar;
class QTreeWidget;

class TVersionResourceItemView : public TCustomResourceItemView {
    Q_OBJECT

public:
    explicit TVersionResourceItemView(QWidget* Parent = nullptr);
    QString GetCaption() override { return QStringLiteral("VersionInfo"); }

    QTabBar* TabSetTranslations;
    QWidget* Panel1;
    QTreeWidget* ListViewFileInfo;
    QSplitter* Splitter2;
    QTreeWidget* ListViewFlags;
    QSplitter* Splitter1;
    QTreeWidget* ListViewStrings;

protected:
    void LoadView() override;

private:
    // The strings of the selected translation, or all of them without tabs.
    void LoadStrings();
    void TabSetTranslationsChange(int Index);

    bool FLoading = false;
    QScrollArea* FScrollBox;
};

class TVersionResourceItemViewFactory {
    RESOURCE_VIEW_FACTORY_CLASS(TVersionResourceItemViewFactory, TCustomResourceItemViewFactory)
public:
    static bool Handles(TCustomResourceItem* ResourceItem);
    static IResourceItemViewPtr CreateView();
};

void koResourceViewVersion_Initialize();
void koResourceViewVersion_Finalize();
