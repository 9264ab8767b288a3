// The preview of compiled type libraries (TYPELIB resources in the "MSFT" format): a tree of the
// library's types grouped by kind, with their functions and variables.
#pragma once

#include "shell/koResourceView.h"

#include <QIcon>
#include <QStringList>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

// The captions of the type kinds 0 to 8; kinds above 8 take the last ("Unknown").
extern const QStringList TypeKindCaptions;

// The glyph indexes of the tree, kept on each node under Qt::UserRole.
enum TTypeLibGlyph : int {
    tgUnknown = 8,
    tgLibrary = 9,
    tgFunction = 10,
    tgModuleVariable = 11,
    tgRecordVariable = 12,
    tgEnumVariable = 13,
};

class TTypeLibResourceItemView : public TCustomResourceItemView {
    Q_OBJECT

public:
    explicit TTypeLibResourceItemView(QWidget* Parent = nullptr);
    QString GetCaption() override { return QStringLiteral("COM Type Library"); }
    // The glyph of a variable of a type of the kind.
    static int VariableGlyph(int Kind);

    QWidget* PanelError;
    QLabel* ImageError;
    QLabel* LabelError;
    QTreeWidget* TreeViewTypeLib;

protected:
    void LoadView() override;

private:
    QTreeWidgetItem* AddNode(QTreeWidgetItem* Parent, const QString& Text, int Glyph);
    std::vector<QIcon> FImageList;
};

class TTypeLibResourceItemViewFactory {
    RESOURCE_VIEW_FACTORY_CLASS(TTypeLibResourceItemViewFactory, TCustomResourceItemViewFactory)
public:
    // Data of the named type "TYPELIB" (exactly) that starts with "MSFT".
    static bool Handles(const TResourceIdent& ResourceType, const TResourceIdent& ResourceName, TStream* Data);
    static IResourceItemViewPtr CreateView();
};

void koResourceViewTypelib_Initialize();
void koResourceViewTypelib_Finalize();
