#include "../model/TestKinds.h"
#include "../platform/PeerTools.h"
#include "../platform/WineModules.h"
#include "platform/Streams.h"
#include "views/TypeLibReader.h"
#include "views/koResourceViewTypelib.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {
// The tree as text: one line per node, indented by depth, "glyph name".
void DumpNode(QTreeWidgetItem* Node, int Depth, QString& Out)
{
    Out += QString(Depth * 2, QLatin1Char(' ')) + QString::number(Node->data(0, Qt::UserRole).toInt()) +
           QLatin1Char(' ') + Node->text(0) + QLatin1Char('\n');
    for (int i = 0; i < Node->childCount(); ++i) DumpNode(Node->child(i), Depth + 1, Out);
}

QString DumpTree(QTreeWidget* Tree)
{
    QString out;
    for (int i = 0; i < Tree->topLevelItemCount(); ++i) DumpNode(Tree->topLevelItem(i), 0, out);
    return out;
}

std::unique_ptr<TTypeLibResourceItemView> ShowLibrary(TTestItem& Item)
{
    auto view = std::make_unique<TTypeLibResourceItemView>();
    view->GetControl();
    view->SetResourceItem(&Item);
    return view;
}

// A small "MSFT" library made by hand, for damage a compiler never writes.
struct TMsftType {
    int Kind;
    QByteArray Name;
    QList<QByteArray> Functions;
    QList<QByteArray> Variables;
};

class TMsftBuilder {
public:
    QByteArray Build(const QByteArray& LibraryName, const QList<TMsftType>& Types)
    {
        FNames.clear();
        const int typeCount = static_cast<int>(Types.size());
        const int directory = 0x54 + 4 * typeCount;
        const int typeTable = directory + 15 * 16;
        const int typeTableSize = 0x64 * typeCount;
        const int libraryName = AddName(LibraryName);
        // Member blocks: the records' length (no records here), then member IDs, then name offsets.
        QByteArray blocks;
        QList<int> blockOffsets;
        const int blocksStart = typeTable + typeTableSize;
        for (const TMsftType& type : Types) {
            blockOffsets.append(blocksStart + blocks.size());
            const QList<QByteArray> members = type.Functions + type.Variables;
            Append(blocks, 0);
            for (qsizetype i = 0; i < members.size(); ++i) Append(blocks, 0x60000000 + int(i));
            for (const QByteArray& member : members) Append(blocks, member.isNull() ? -1 : AddName(member));
        }
        QList<int> typeNames;
        for (const TMsftType& type : Types) typeNames.append(AddName(type.Name));
        const int nameTable = blocksStart + blocks.size();

        QByteArray data;
        Append(data, 0x5446534D);
        Append(data, 0x00010002);
        while (data.size() < 0x54) Append(data, 0);
        Put(data, 0x20, typeCount);
        Put(data, 0x38, libraryName);
        for (int i = 0; i < typeCount; ++i) Append(data, 0x64 * i);
        for (int i = 0; i < 15; ++i) {
            const bool types = i == 0, names = i == 7;
            Append(data, types ? typeTable : names ? nameTable : -1);
            Append(data, types ? typeTableSize : names ? int(FNames.size()) : 0);
            Append(data, -1);
            Append(data, 0x0F);
        }
        for (int i = 0; i < typeCount; ++i) {
            QByteArray record(0x64, '\0');
            Put(record, 0x00, Types[i].Kind);
            Put(record, 0x04, blockOffsets[i]);
            Put(record, 0x18, int(Types[i].Functions.size()) | int(Types[i].Variables.size()) << 16);
            Put(record, 0x34, typeNames[i]);
            data += record;
        }
        return data + blocks + FNames;
    }

    static void Append(QByteArray& Data, int Value) { Data.append(reinterpret_cast<const char*>(&Value), 4); }
    static void Put(QByteArray& Data, int Offset, int Value) { memcpy(Data.data() + Offset, &Value, 4); }

private:
    int AddName(const QByteArray& Name)
    {
        const int offset = static_cast<int>(FNames.size());
        Append(FNames, -1);
        Append(FNames, -1);
        Append(FNames, int(Name.size()) | 0x12340000);
        FNames += Name;
        while (FNames.size() % 4) FNames += char(0x57);
        return offset;
    }
    QByteArray FNames;
};

class TypeLibViews : public ::testing::Test {
protected:
    void TearDown() override { koResourceView_Finalize(); }
};
} // namespace

TEST_F(TypeLibViews, OfferedOnlyForMsftDataOfTheNamedTypeTypelib)
{
    const QByteArray msft = TMsftBuilder().Build("L", {});
    struct Case {
        TResourceIdent type;
        QByteArray data;
        bool offered;
    } cases[] = {
        {TResourceIdent("TYPELIB"), msft, true},
        {TResourceIdent("typelib"), msft, false},
        {TResourceIdent("TYPELIBS"), msft, false},
        {TResourceIdent::FromOrdinal(RT_RCDATA), msft, false},
        {TResourceIdent("TYPELIB"), "SLTG" + msft.mid(4), false},
        {TResourceIdent("TYPELIB"), "MSF", false},
    };
    for (const Case& c : cases) {
        TBytesStream data(c.data);
        EXPECT_EQ(TTypeLibResourceItemViewFactory::ClassInfo()->Handles(c.type, TResourceIdent("1"), &data), c.offered)
            << c.type.toStdString() << " " << c.data.left(4).toStdString();
    }
    EXPECT_FALSE(TTypeLibResourceItemViewFactory::ClassInfo()->Handles(TResourceIdent("TYPELIB"), TResourceIdent("1"), nullptr));
}

TEST_F(TypeLibViews, TreeGroupsTypesByKindInOrderOfFirstUse)
{
    TTestItem item(TResourceIdent("TYPELIB"), TResourceIdent("1"));
    item.Data = TMsftBuilder().Build("Lib", {{3, "IFirst", {"A", "B"}, {}},
                                             {0, "Enum", {}, {"One"}},
                                             {3, "ISecond", {}, {}},
                                             {2, "Mod", {"F"}, {"V"}},
                                             {12, "Odd", {}, {"W"}},
                                             {7, "U", {}, {"X"}}});
    auto view = ShowLibrary(item);
    EXPECT_EQ(DumpTree(view->TreeViewTypeLib), QStringLiteral("9 Lib\n"
                                                              "  3 Interface\n"
                                                              "    3 IFirst\n"
                                                              "      10 A\n"
                                                              "      10 B\n"
                                                              "    3 ISecond\n"
                                                              "  0 Enumeration\n"
                                                              "    0 Enum\n"
                                                              "      13 One\n"
                                                              "  2 Module\n"
                                                              "    2 Mod\n"
                                                              "      10 F\n"
                                                              "      11 V\n"
                                                              "  8 Unknown\n"
                                                              "    8 Odd\n"
                                                              "      8 W\n"
                                                              "  7 Union\n"
                                                              "    7 U\n"
                                                              "      12 X\n"));
    EXPECT_TRUE(view->TreeViewTypeLib->topLevelItem(0)->isExpanded());
    EXPECT_FALSE(view->TreeViewTypeLib->topLevelItem(0)->child(0)->isExpanded());
    EXPECT_FALSE(view->PanelError->isVisibleTo(view.get()));

    // Only interfaces: one group under the root.
    item.Data = TMsftBuilder().Build("Only", {{3, "IA", {}, {}}, {3, "IB", {}, {}}});
    view = ShowLibrary(item);
    EXPECT_EQ(DumpTree(view->TreeViewTypeLib), QStringLiteral("9 Only\n  3 Interface\n    3 IA\n    3 IB\n"));
}

TEST_F(TypeLibViews, DamagedNamesAndMemberBlocksKeepTheTypeNode)
{
    TMsftBuilder builder;
    QByteArray data = builder.Build("Lib", {{1, "Rec", {}, {"a", QByteArray()}}, {1, "Big", {}, {"b"}}});
    // The second type claims more members than the data can hold; the first type's second member
    // has no name.
    const int directory = 0x54 + 2 * 4;
    const int typeTable = directory + 15 * 16;
    TMsftBuilder::Put(data, typeTable + 0x64 + 0x18, 0x7FFF7FFF);
    TTestItem item(TResourceIdent("TYPELIB"), TResourceIdent("1"));
    item.Data = data;
    auto view = ShowLibrary(item);
    EXPECT_EQ(DumpTree(view->TreeViewTypeLib), QStringLiteral("9 Lib\n  1 Record\n    1 Rec\n      12 a\n      12 \n    1 Big\n"));

    // A name offset past the name table reads as empty; the type's record still shows.
    TMsftBuilder::Put(data, typeTable + 0x34, 0x7FFFFFF0);
    const TTypeLib library = ReadTypeLib(data);
    ASSERT_EQ(library.Types.size(), 2u);
    EXPECT_EQ(library.Types[0].Name, QString());
    EXPECT_FALSE(library.Types[1].MembersRead);
}

TEST_F(TypeLibViews, MalformedLibrariesSayWhyAndShowNothing)
{
    const QByteArray good = TMsftBuilder().Build("Lib", {{3, "IA", {"M"}, {}}, {0, "E", {}, {"V"}}});
    const int directory = 0x54 + 2 * 4;
    auto patched = [&](int Offset, int Value) {
        QByteArray data = good;
        TMsftBuilder::Put(data, Offset, Value);
        return data;
    };
    struct Case {
        const char* name;
        QByteArray data;
        const char* message;
    } cases[] = {
        {"header cut short", good.left(0x40), "the header is cut short"},
        {"type count beyond the data", patched(0x20, 0x10000), "the type count 65536 does not fit the data"},
        {"negative type count", patched(0x20, -1), "does not fit the data"},
        {"directory cut off", TMsftBuilder().Build("L", {}).left(0x54 + 100), "the segment directory lies outside the data"},
        {"type table past the end", patched(directory + 4, 0x100000), "the type table lies outside the data"},
        {"type record outside its table", patched(0x54 + 4, 0x64 * 2), "the record of type 1 lies outside the type table"},
        {"negative type offset", patched(0x54, -4), "the record of type 0 lies outside the type table"},
    };
    for (const Case& c : cases) {
        TTestItem item(TResourceIdent("TYPELIB"), TResourceIdent("1"));
        item.Data = c.data;
        auto view = ShowLibrary(item);
        EXPECT_EQ(view->TreeViewTypeLib->topLevelItemCount(), 0) << c.name;
        EXPECT_TRUE(view->PanelError->isVisibleTo(view.get())) << c.name;
        EXPECT_TRUE(view->LabelError->text().startsWith(QStringLiteral("Malformed type library: "))) << c.name;
        EXPECT_TRUE(view->LabelError->text().contains(QString::fromUtf8(c.message)))
            << c.name << ": " << view->LabelError->text().toStdString();
    }
    // Every cut of a good library either reads or says why; a later good load hides the message.
    for (qsizetype size = 0; size < good.size(); ++size) {
        try {
            ReadTypeLib(good.left(size));
        } catch (const ETypeLibError&) {
        }
    }
    TTestItem item(TResourceIdent("TYPELIB"), TResourceIdent("1"));
    item.Data = good.left(10);
    auto view = ShowLibrary(item);
    ASSERT_TRUE(view->PanelError->isVisibleTo(view.get()));
    item.Data = good;
    item.Changed();
    EXPECT_FALSE(view->PanelError->isVisibleTo(view.get()));
    EXPECT_EQ(view->TreeViewTypeLib->topLevelItem(0)->text(0), QStringLiteral("Lib"));
}

TEST_F(TypeLibViews, InteropWidlLibraryShowsExactlyItsTypesAndMembers)
{
    const QString widl = FindPeerTool(QStringLiteral("x86_64-w64-mingw32-widl"));
    if (widl.isEmpty()) GTEST_SKIP() << "widl is not installed";
    QTemporaryDir folder;
    const QString idl = QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../fixtures/typelib/shapes.idl"));
    const QString tlb = folder.filePath(QStringLiteral("shapes.tlb"));
    const TPeerToolResult run = RunPeerTool(widl, {QStringLiteral("-t"), QStringLiteral("-o"), tlb, idl});
    ASSERT_TRUE(run.Ok()) << run.Describe().toStdString();
    QFile file(tlb);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    TTestItem item(TResourceIdent("TYPELIB"), TResourceIdent("1"));
    item.Data = file.readAll();
    auto view = ShowLibrary(item);
    EXPECT_EQ(DumpTree(view->TreeViewTypeLib), QStringLiteral("9 AtelierTest\n"
                                                              "  0 Enumeration\n"
                                                              "    0 Colours\n"
                                                              "      13 Red\n"
                                                              "      13 Green\n"
                                                              "      13 Blue\n"
                                                              "  1 Record\n"
                                                              "    1 Point\n"
                                                              "      12 x\n"
                                                              "      12 y\n"
                                                              "    1 _GUID\n"
                                                              "      12 Data1\n"
                                                              "      12 Data2\n"
                                                              "      12 Data3\n"
                                                              "      12 Data4\n"
                                                              "  3 Interface\n"
                                                              "    3 IShape\n"
                                                              "      10 Move\n"
                                                              "      10 Area\n"
                                                              "    3 IUnknown\n"
                                                              "      10 QueryInterface\n"
                                                              "      10 AddRef\n"
                                                              "      10 Release\n"
                                                              "  4 Dispatch\n"
                                                              "    4 DShapeEvents\n"
                                                              "      10 Changed\n"
                                                              "      8 Count\n"
                                                              "  5 CoClass\n"
                                                              "    5 Shape\n"
                                                              "  2 Module\n"
                                                              "    2 ShapeModule\n"
                                                              "      10 ShapeCount\n"
                                                              "  6 Alias\n"
                                                              "    6 Handle\n"
                                                              "  7 Union\n"
                                                              "    7 Value\n"
                                                              "      12 i\n"
                                                              "      12 d\n"));
}

TEST_F(TypeLibViews, InteropWineTypeLibrariesShowTheirTrees)
{
    if (!HasWineModules()) GTEST_SKIP() << "wine's modules are not installed";
    struct Case {
        const char* module;
        const char* library;
        int types;
        const char* group;
        const char* type;
        QStringList members;
    } cases[] = {
        {"stdole2.tlb", "stdole", 42, "Interface", "IDispatch",
         {"GetTypeInfoCount", "GetTypeInfo", "GetIDsOfNames", "Invoke"}},
        {"scrrun.dll", "Scripting", 28, "CoClass", "Dictionary", {}},
        {"msxml3.dll", "MSXML2", 135, "Dispatch", "IXMLDOMDocument", {}},
    };
    for (const Case& c : cases) {
        QFile file(QDir(WineModulesFolder()).filePath(QString::fromUtf8(c.module)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.module;
        QByteArray data;
        for (const TPEResource& resource : TPEImage(file.readAll()).Resources())
            if (resource.Type == QStringLiteral("TYPELIB")) data = resource.Data;
        ASSERT_FALSE(data.isEmpty()) << c.module;
        TTestItem item(TResourceIdent("TYPELIB"), TResourceIdent("1"));
        item.Data = data;
        TBytesStream stream(data);
        EXPECT_TRUE(TTypeLibResourceItemViewFactory::ClassInfo()->Handles(item.ResourceType(), item.Name(), &stream));
        auto view = ShowLibrary(item);
        EXPECT_FALSE(view->PanelError->isVisibleTo(view.get())) << view->LabelError->text().toStdString();
        ASSERT_EQ(view->TreeViewTypeLib->topLevelItemCount(), 1) << c.module;
        QTreeWidgetItem* root = view->TreeViewTypeLib->topLevelItem(0);
        EXPECT_EQ(root->text(0), QString::fromUtf8(c.library));
        int types = 0;
        QTreeWidgetItem* found = nullptr;
        for (int g = 0; g < root->childCount(); ++g) {
            QTreeWidgetItem* group = root->child(g);
            types += group->childCount();
            for (int t = 0; t < group->childCount(); ++t) {
                EXPECT_FALSE(group->child(t)->text(0).isEmpty()) << c.module;
                if (group->text(0) == QString::fromUtf8(c.group) && group->child(t)->text(0) == QString::fromUtf8(c.type))
                    found = group->child(t);
            }
        }
        EXPECT_EQ(types, c.types) << c.module;
        ASSERT_NE(found, nullptr) << c.module << " " << c.type;
        if (!c.members.isEmpty()) {
            QStringList members;
            for (int m = 0; m < found->childCount(); ++m) members << found->child(m)->text(0);
            EXPECT_EQ(members, c.members) << c.module;
        }
        // Every type of these libraries has readable members.
        const TTypeLib library = ReadTypeLib(data);
        for (const TTypeLibType& type : library.Types) EXPECT_TRUE(type.MembersRead) << c.module << " " << type.Name.toStdString();
    }
}
