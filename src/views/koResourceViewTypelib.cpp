#include "koResourceViewTypelib.h"

#include "ReportListView.h"
#include "TypeLibReader.h"
#include "model/koResources.h"
#include "platform/Streams.h"

#include <QPainter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <array>

const QStringList TypeKindCaptions = {
    QStringLiteral("Enumeration"), QStringLiteral("Record"),  QStringLiteral("Module"),
    QStringLiteral("Interface"),   QStringLiteral("Dispatch"), QStringLiteral("CoClass"),
    QStringLiteral("Alias"),       QStringLiteral("Union"),    QStringLiteral("Unknown"),
};

namespace {
const int GroupCount = 9;

// Our own 16x16 glyphs: a rounded tile in the colour of the kind with a letter on it.
QIcon MakeGlyph(const QColor& Colour, const QString& Letter, bool Round)
{
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Colour.darker(150));
    painter.setBrush(Colour);
    if (Round)
        painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    else
        painter.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 3, 3);
    QFont font;
    font.setPixelSize(10);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, Letter);
    return QIcon(QPixmap::fromImage(image));
}

std::vector<QIcon> MakeImageList()
{
    struct TGlyph {
        QRgb Colour;
        const char* Letter;
        bool Round;
    };
    static const std::array<TGlyph, 14> Glyphs = {{
        {0xFFB8860B, "E", false}, // enumeration
        {0xFF2E8B57, "R", false}, // record
        {0xFF6A5ACD, "M", false}, // module
        {0xFF1E6FD0, "I", false}, // interface
        {0xFF008B8B, "D", false}, // dispatch
        {0xFFC04000, "C", false}, // coclass
        {0xFF708090, "A", false}, // alias
        {0xFF8B4513, "U", false}, // union
        {0xFF808080, "?", false}, // unknown
        {0xFF303080, "L", false}, // library
        {0xFF7B2FBE, "f", true},  // function
        {0xFF6A5ACD, "v", true},  // variable of a module
        {0xFF2E8B57, "v", true},  // field of a record or union
        {0xFFB8860B, "v", true},  // value of an enumeration
    }};
    std::vector<QIcon> list;
    for (const TGlyph& glyph : Glyphs) list.push_back(MakeGlyph(QColor::fromRgba(glyph.Colour), QString::fromLatin1(glyph.Letter), glyph.Round));
    return list;
}
} // namespace

TTypeLibResourceItemView::TTypeLibResourceItemView(QWidget* Parent)
    : TCustomResourceItemView(Parent), FImageList(MakeImageList())
{
    QVBoxLayout* layout = CreateErrorStripColumn(this, PanelError, ImageError, LabelError);
    TreeViewTypeLib = new QTreeWidget(this);
    TreeViewTypeLib->setObjectName(QStringLiteral("TreeViewTypeLib"));
    TreeViewTypeLib->setHeaderHidden(true);
    TreeViewTypeLib->setIconSize(QSize(16, 16));
    TreeViewTypeLib->setFrameShape(QFrame::NoFrame);
    layout->addWidget(TreeViewTypeLib, 1);
}

int TTypeLibResourceItemView::VariableGlyph(int Kind)
{
    switch (Kind) {
    case 0: return tgEnumVariable;
    case 1:
    case 7: return tgRecordVariable;
    case 2: return tgModuleVariable;
    default: return tgUnknown;
    }
}

QTreeWidgetItem* TTypeLibResourceItemView::AddNode(QTreeWidgetItem* Parent, const QString& Text, int Glyph)
{
    auto* node = Parent ? new QTreeWidgetItem(Parent) : new QTreeWidgetItem(TreeViewTypeLib);
    node->setText(0, Text);
    node->setIcon(0, FImageList[Glyph]);
    node->setData(0, Qt::UserRole, Glyph);
    return node;
}

void TTypeLibResourceItemView::LoadView()
{
    TreeViewTypeLib->clear();
    PanelError->hide();
    TCustomResourceItem* item = ResourceItem();
    if (!item) return;
    TMemoryStream data;
    item->SaveToStream(data);
    TTypeLib library;
    try {
        library = ReadTypeLib(QByteArray::fromRawData(reinterpret_cast<const char*>(data.Memory()), data.Size()));
    } catch (const ETypeLibError& error) {
        // A library we cannot read leaves the tree empty and says why.
        LabelError->setText(error.Message());
        PanelError->show();
        return;
    }
    QTreeWidgetItem* root = AddNode(nullptr, library.Name, tgLibrary);
    std::array<QTreeWidgetItem*, GroupCount> groups{};
    for (const TTypeLibType& type : library.Types) {
        const int group = std::min(type.Kind, GroupCount - 1);
        if (!groups[group]) groups[group] = AddNode(root, TypeKindCaptions[group], group);
        QTreeWidgetItem* node = AddNode(groups[group], type.Name, group);
        for (const QString& name : type.Functions) AddNode(node, name, tgFunction);
        const int variableGlyph = VariableGlyph(type.Kind);
        for (const QString& name : type.Variables) AddNode(node, name, variableGlyph);
    }
    root->setExpanded(true);
}

bool TTypeLibResourceItemViewFactory::Handles(const TResourceIdent& ResourceType, const TResourceIdent&, TStream* Data)
{
    return Data && ResourceType == TResourceIdent(QStringLiteral("TYPELIB")) &&
           MatchSignature(Data, QByteArrayLiteral("MSFT"), {}, 0);
}

IResourceItemViewPtr TTypeLibResourceItemViewFactory::CreateView() { return std::make_shared<TTypeLibResourceItemView>(); }

void koResourceViewTypelib_Initialize() { TTypeLibResourceItemViewFactory::ClassInfo()->Register(0); }

void koResourceViewTypelib_Finalize() { TTypeLibResourceItemViewFactory::ClassInfo()->Unregister(); }
