#include "kinds/koResourceItemHWB.h"
#include "model/LogCapture.h"
#include "model/koResources.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "kinds/HWBTestSupport.h"
#include "platform/ByteBuilder.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

void AddOrdinal(QByteArray& d, uint16_t v) { AddIdent(d, TResourceIdent::FromOrdinal(v)); }

void AddWide(QByteArray& d, const QString& s) { AddIdent(d, TResourceIdent(s)); }

// A data blob and the offsets where its whole records end, for cutting it short.
struct TRecords {
    QByteArray Data;
    std::vector<int> Ends;
    void Mark() { Ends.push_back(int(Data.size())); }
    // The number of records that lie whole inside the first Length bytes.
    int WholeIn(int Length) const
    {
        int n = 0;
        for (int end : Ends) n += end <= Length;
        return n;
    }
};

TResourceIdent HWB() { return TResourceIdent(QStringLiteral("HWB")); }

class HWBResources : public ::testing::Test {
protected:
    void SetUp() override
    {
        koResourcesKinds_Initialize();
        koResourceItemHWB_Initialize();
        Module.SetDeferDefaultSymbols(true);
    }
    void TearDown() override
    {
        Module.Items()->Clear();
        koResourceItemHWB_Finalize();
        koResourcesKinds_Finalize();
    }
    // Loads the bytes as the kind the registry picks for HWB/ordinal, in the module.
    template <class T>
    T* Load(uint16_t Name, const QByteArray& Bytes)
    {
        TBytesStream data(Bytes);
        TCustomResourceItem* item = LoadResourceItem(&Module, HWB(), TResourceIdent::FromOrdinal(Name), 0, data,
                                                     data.Size());
        auto* result = qobject_cast<T*>(item);
        EXPECT_NE(result, nullptr) << item->metaObject()->className();
        return result;
    }
    // Loads an exact copy (nothing past its end to read by mistake) into a fresh item.
    template <class T>
    std::unique_ptr<T> Decode(const QByteArray& Bytes)
    {
        auto item = std::make_unique<T>();
        const QByteArray exact(Bytes.constData(), Bytes.size());
        TBytesStream data(exact);
        item->LoadFromStream(data, data.Size());
        return item;
    }
    TResourceModule Module;
};

} // namespace

TEST_F(HWBResources, EachRecordKindGetsItsDecoderAndAnyOtherTheBase)
{
    struct {
        uint16_t name;
        const char* className;
        const char* subType;
    } cases[] = {
        {1, "THWBSourceInfoResourceItem", "Source file info"}, {2, "THWBResourceMapResourceItem", "Resource Map"},
        {200, "THWBSymbolDefResourceItem", "Symbol Definitions"}, {201, "THWBFileMapResourceItem", "File Map"},
        {202, "THWBSymbolMapResourceItem", "Symbol Map"},      {3, "TCustomHWBResourceItem", "Unknown usage"},
    };
    for (const auto& c : cases) {
        TResourceItemClass kind = ResourceItemDatabase()->Find(HWB(), TResourceIdent::FromOrdinal(c.name), nullptr);
        ASSERT_NE(kind, nullptr);
        EXPECT_EQ(kind->ClassName(), QString::fromLatin1(c.className)) << c.name;
        TResourceItemPtr item = kind->Create(TResourceIdent::FromOrdinal(c.name));
        auto* hwb = qobject_cast<TCustomHWBResourceItem*>(item.get());
        ASSERT_NE(hwb, nullptr);
        EXPECT_EQ(hwb->SubType(), QString::fromLatin1(c.subType));
        EXPECT_EQ(hwb->ResourceType(), HWB());
        EXPECT_TRUE(hwb->Hidden());
        EXPECT_TRUE(hwb->Internal());
    }
    // A named HWB resource and an HWB number under another type are not decoded.
    EXPECT_EQ(ResourceItemDatabase()->Find(HWB(), TResourceIdent(QStringLiteral("X")), nullptr)->ClassName(),
              QStringLiteral("TCustomHWBResourceItem"));
    EXPECT_NE(ResourceItemDatabase()->Find(TResourceIdent(QStringLiteral("HWX")), TResourceIdent::FromOrdinal(200),
                                           nullptr)
                  ->ClassName(),
              QStringLiteral("THWBSymbolDefResourceItem"));
    EXPECT_EQ(TCustomHWBResourceItem::ClassInfo()->ResourceTypeName(), QStringLiteral("Resource Script Symbols"));
}

TEST_F(HWBResources, AnUnknownRecordKindKeepsItsBytesWithoutEntries)
{
    const QByteArray bytes("\x01\x02\x03", 3);
    auto* item = Load<TCustomHWBResourceItem>(3, bytes);
    EXPECT_EQ(item->SubType(), QStringLiteral("Unknown usage"));
    EXPECT_EQ(item->Data()->ToByteArray(), bytes);
}

TEST_F(HWBResources, SymbolDefinitionsBuildTheIncludeTree)
{
    QByteArray d;
    AddDef(d, "!", "main.rc", 0);
    AddDef(d, "IDOK", "1", 3);
    AddDef(d, "!", "resource.h", 1, 1);
    AddDef(d, "IDC_X", "100", 2);
    AddDef(d, "!", "", 0);
    AddDef(d, "IDC_Y", "101", 7);
    // resource.h entered again (an include guard): no second entry.
    AddDef(d, "!", "resource.h", 1);
    AddDef(d, "IDC_Z", "102", 9);
    AddDef(d, "!", "", 0);
    AddDef(d, "!", "", 0xFFE3);
    AddDef(d, "IGNORED", "1", 1);
    auto* defs = Load<THWBSymbolDefResourceItem>(200, d);
    ASSERT_EQ(defs->Files()->Count(), 2);
    TSymbolDefFileItem* main = defs->Files()->Items(0);
    TSymbolDefFileItem* header = defs->Files()->Items(1);
    EXPECT_EQ(main->Filename(), "main.rc");
    EXPECT_EQ(main->ParentFile(), nullptr);
    ASSERT_EQ(main->Symbols()->Count(), 2);
    EXPECT_EQ(main->Symbols()->Items(0)->Symbol(), "IDOK");
    EXPECT_EQ(main->Symbols()->Items(0)->LineNumber(), 3);
    EXPECT_EQ(main->Symbols()->Items(1)->Symbol(), "IDC_Y");
    EXPECT_EQ(main->Symbols()->Items(1)->DisplayName(), QStringLiteral("IDC_Y = 101"));
    EXPECT_EQ(header->Filename(), "resource.h");
    EXPECT_EQ(header->Level(), 1);
    EXPECT_EQ(header->ReadOnly(), 1);
    EXPECT_EQ(header->ParentFile(), main);
    ASSERT_EQ(main->ChildFiles().Count(), 1);
    EXPECT_EQ(main->ChildFiles()[0], header);
    ASSERT_EQ(header->Symbols()->Count(), 2);
    EXPECT_EQ(header->Symbols()->Items(0)->Symbol(), "IDC_X");
    EXPECT_EQ(header->Symbols()->Items(0)->Value(), "100");
    EXPECT_EQ(header->Symbols()->Items(1)->Symbol(), "IDC_Z");
    EXPECT_EQ(header->DisplayName(), QStringLiteral("resource.h (2 symbols)"));
    // What the property inspector reads.
    EXPECT_EQ(header->property("ParentFile").value<TSymbolDefFileItem*>(), main);
    EXPECT_EQ(header->property("Filename").toByteArray(), "resource.h");
    EXPECT_EQ(defs->property("Items").value<TSymbolDefFileItemCollection*>(), defs->Files());
    EXPECT_EQ(defs->property("SubType").toString(), QStringLiteral("Symbol Definitions"));

    // Moving a file and freeing one keep the parent's list of children true.
    header->SetParentFile(nullptr);
    EXPECT_EQ(main->ChildFiles().Count(), 0);
    header->SetParentFile(main);
    defs->Files()->Delete(0);
    EXPECT_EQ(header->ParentFile(), nullptr);
    defs->Files()->Delete(0);
}

TEST_F(HWBResources, MalformedSymbolDefinitionsKeepWhatCameBefore)
{
    // (name, data, files, symbols of each file, parent index of each file or -1, warns)
    struct TCase {
        const char* name;
        std::function<void(QByteArray&)> build;
        std::vector<int> symbols;
        std::vector<int> parents;
        bool warns;
    };
    const TCase cases[] = {
        {"symbol before any file", [](QByteArray& d) { AddDef(d, "IDOK", "1", 1); AddDef(d, "!", "a.rc", 0); }, {}, {},
         true},
        {"return with an empty stack",
         [](QByteArray& d) {
             AddDef(d, "!", "a.rc", 0);
             AddDef(d, "A", "1", 1);
             AddDef(d, "!", "", 0);
             AddDef(d, "B", "2", 2);
         },
         {1},
         {-1},
         true},
        {"nested file first",
         [](QByteArray& d) {
             AddDef(d, "!", "a.h", 2);
             AddDef(d, "A", "1", 1);
             AddDef(d, "!", "b.h", 3);
             AddDef(d, "B", "1", 1);
         },
         {1, 1},
         {-1, 0},
         false},
        {"no end record", [](QByteArray& d) { AddDef(d, "!", "a.rc", 0); AddDef(d, "A", "1", 1); }, {1}, {-1}, false},
        {"empty name ends the list", [](QByteArray& d) { AddDef(d, "!", "a.rc", 0); AddDef(d, "", "1", 1); AddDef(d, "B", "2", 1); }, {0}, {-1}, false},
    };
    for (const TCase& c : cases) {
        QByteArray d;
        c.build(d);
        TLogCapture log;
        auto defs = Decode<THWBSymbolDefResourceItem>(d);
        ASSERT_EQ(defs->Files()->Count(), int(c.symbols.size())) << c.name;
        for (int i = 0; i < defs->Files()->Count(); ++i) {
            TSymbolDefFileItem* file = defs->Files()->Items(i);
            EXPECT_EQ(file->Symbols()->Count(), c.symbols[size_t(i)]) << c.name;
            TSymbolDefFileItem* parent = c.parents[size_t(i)] < 0 ? nullptr : defs->Files()->Items(c.parents[size_t(i)]);
            EXPECT_EQ(file->ParentFile(), parent) << c.name;
        }
        EXPECT_EQ(!log.Messages().isEmpty(), c.warns) << c.name << " " << log.Messages().join('|').toStdString();
    }
}

TEST_F(HWBResources, SymbolMapPairsSkipEmptyOnesAndEndAtTheMark)
{
    QByteArray d;
    AddAnsi(d, "5");
    AddAnsi(d, "IDD_ABOUT");
    AddAnsi(d, "IDD_ABOUT");
    AddAnsi(d, "main.rc");
    Add16(d, 12);
    AddAnsi(d, "IDC_A");
    Add16(d, 100);
    AddAnsi(d, "");
    Add16(d, 0);
    AddAnsi(d, "$");
    Add16(d, 0xFFFF);
    AddAnsi(d, "MYTYPE");
    AddAnsi(d, "NAMED");
    AddAnsi(d, "");
    AddAnsi(d, "main.rc");
    Add16(d, 20);
    AddAnsi(d, "$");
    Add16(d, 0xFFFF);
    AddAnsi(d, "$");
    Add16(d, 0xFFFF);
    AddAnsi(d, "4");
    auto* map = Load<THWBSymbolMapResourceItem>(202, d);
    ASSERT_EQ(map->Entries()->Count(), 2);
    TSymbolMapItem* dialog = map->Entries()->Items(0);
    EXPECT_EQ(dialog->ResType(), "5");
    EXPECT_EQ(dialog->ResID(), "IDD_ABOUT");
    EXPECT_EQ(dialog->Filename(), "main.rc");
    EXPECT_EQ(dialog->LineNumber(), 12);
    EXPECT_EQ(dialog->DisplayName(), QStringLiteral("5 : IDD_ABOUT (IDD_ABOUT)"));
    ASSERT_EQ(dialog->Symbols()->Count(), 1);
    EXPECT_EQ(dialog->Symbols()->Items(0)->Name(), "IDC_A");
    EXPECT_EQ(dialog->Symbols()->Items(0)->ID(), 100);
    EXPECT_EQ(dialog->Symbols()->Items(0)->DisplayName(), QStringLiteral("IDC_A (100)"));
    EXPECT_EQ(map->Entries()->Items(1)->DisplayName(), QStringLiteral("MYTYPE : NAMED"));
    EXPECT_EQ(map->Entries()->Items(1)->Symbols()->Count(), 0);
}

TEST_F(HWBResources, ResourceMapRecordsAreAlignedAndSizeZeroEndsThem)
{
    QByteArray d;
    Add32(d, 0x40);
    Add32(d, 0x20);
    AddOrdinal(d, 5);
    AddWide(d, QStringLiteral("AB")); // 6 bytes: the fields after it start at a multiple of 4
    while (d.size() % 4) d.append('\0');
    Add32(d, 0);
    Add16(d, 0x1030);
    Add16(d, 0x0409);
    Add32(d, 7);
    Add32(d, 9);
    Add32(d, 0);
    Add32(d, 0x40); // after the end: not read
    auto* map = Load<THWBResourceMapResourceItem>(2, d);
    ASSERT_EQ(map->Entries()->Count(), 1);
    TResourceMapItem* entry = map->Entries()->Items(0);
    EXPECT_EQ(entry->Size(), 0x40u);
    EXPECT_EQ(entry->Offset(), 0x20u);
    EXPECT_EQ(entry->ResType(), QStringLiteral("DIALOG"));
    EXPECT_EQ(entry->ResName(), QStringLiteral("AB"));
    EXPECT_EQ(entry->Flags(), 0x1030);
    EXPECT_EQ(entry->Language(), 0x0409);
    EXPECT_EQ(entry->Version(), 7u);
    EXPECT_EQ(entry->Characteristics(), 9u);
    EXPECT_EQ(entry->DisplayName(), QStringLiteral("DIALOG : AB"));
}

TEST_F(HWBResources, FileMapAndSourceInfo)
{
    QByteArray d;
    AddOrdinal(d, 14);
    AddOrdinal(d, 1);
    Add16(d, 0x0409);
    AddWide(d, QStringLiteral("res\\app.ico"));
    AddWide(d, QStringLiteral("PNG"));
    AddWide(d, QStringLiteral("LOGO"));
    Add16(d, 0);
    AddWide(d, QString());
    auto* map = Load<THWBFileMapResourceItem>(201, d);
    ASSERT_EQ(map->Entries()->Count(), 2);
    EXPECT_EQ(map->Entries()->Items(0)->ResourceType(), TResourceIdent::FromOrdinal(14));
    EXPECT_EQ(map->Entries()->Items(0)->Filename(), QStringLiteral("res\\app.ico"));
    EXPECT_EQ(map->Entries()->Items(0)->DisplayName(),
              ResourceTypeToKeyword(TResourceIdent::FromOrdinal(14)) + QStringLiteral(" : #1 (res\\app.ico)"));
    EXPECT_EQ(map->Entries()->Items(0)->ResName(), QStringLiteral("#1"));
    EXPECT_EQ(map->Entries()->Items(1)->DisplayName(), QStringLiteral("PNG : LOGO"));

    QByteArray info;
    Add32(info, 0x1234);
    info.append(QByteArray(300, 'a'));
    auto source = Decode<THWBSourceInfoResourceItem>(info);
    EXPECT_EQ(source->Offset(), 0x1234u);
    EXPECT_EQ(source->SourceFilename(), QByteArray(260, 'a'));
    EXPECT_THROW(Decode<THWBSourceInfoResourceItem>(QByteArray("\x01\x02\x03", 3)), Exception);
    try {
        Decode<THWBSourceInfoResourceItem>(QByteArray(3, '\0'));
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Premature end of data"));
    }
}

// Every decoder, fed its data cut at every length, keeps exactly the records that lie whole inside the
// bytes, warns about the one cut short, and reads nothing past the end (the copy is exact).
TEST_F(HWBResources, DataCutShortAnywhereKeepsTheWholeRecords)
{
    TRecords defs;
    AddDef(defs.Data, "!", "main.rc", 0);
    defs.Mark();
    AddDef(defs.Data, "IDOK", "1", 3);
    defs.Mark();
    AddDef(defs.Data, "!", "resource.h", 1);
    defs.Mark();
    AddDef(defs.Data, "IDC_X", "100", 2);
    defs.Mark();
    auto countDefs = [](THWBSymbolDefResourceItem& item) {
        int n = item.Files()->Count();
        for (int i = 0; i < item.Files()->Count(); ++i) n += item.Files()->Items(i)->Symbols()->Count();
        return n;
    };

    TRecords files;
    for (int i = 0; i < 3; ++i) {
        AddOrdinal(files.Data, 3);
        AddWide(files.Data, QStringLiteral("N%1").arg(i));
        Add16(files.Data, 0);
        AddWide(files.Data, QStringLiteral("f.ico"));
        files.Mark();
    }

    TRecords symbols;
    for (int i = 0; i < 2; ++i) {
        AddAnsi(symbols.Data, "5");
        AddAnsi(symbols.Data, "IDD");
        AddAnsi(symbols.Data, "IDD");
        AddAnsi(symbols.Data, "a.rc");
        Add16(symbols.Data, 1);
        symbols.Mark();
        AddAnsi(symbols.Data, "IDC_A");
        Add16(symbols.Data, 7);
        symbols.Mark();
        AddAnsi(symbols.Data, "$");
        Add16(symbols.Data, 0xFFFF);
    }
    auto countSymbols = [](THWBSymbolMapResourceItem& item) {
        int n = item.Entries()->Count();
        for (int i = 0; i < item.Entries()->Count(); ++i) n += item.Entries()->Items(i)->Symbols()->Count();
        return n;
    };

    TRecords resources;
    for (int i = 0; i < 2; ++i) {
        Add32(resources.Data, 16);
        Add32(resources.Data, 32);
        AddOrdinal(resources.Data, 10);
        AddWide(resources.Data, QStringLiteral("X"));
        Add32(resources.Data, 0);
        Add16(resources.Data, 0);
        Add16(resources.Data, 0);
        Add32(resources.Data, 0);
        Add32(resources.Data, 0);
        resources.Mark();
    }

    for (int length = 0; length <= defs.Data.size(); ++length) {
        TLogCapture log;
        auto item = Decode<THWBSymbolDefResourceItem>(defs.Data.left(length));
        EXPECT_EQ(countDefs(*item), defs.WholeIn(length)) << length;
        EXPECT_EQ(log.Messages().isEmpty(), defs.WholeIn(length) == 0 ? length == 0 : defs.Ends[size_t(defs.WholeIn(length) - 1)] == length) << length;
    }
    for (int length = 0; length <= files.Data.size(); ++length)
        EXPECT_EQ(Decode<THWBFileMapResourceItem>(files.Data.left(length))->Entries()->Count(), files.WholeIn(length))
            << length;
    for (int length = 0; length <= symbols.Data.size(); ++length) {
        auto item = Decode<THWBSymbolMapResourceItem>(symbols.Data.left(length));
        EXPECT_EQ(countSymbols(*item), symbols.WholeIn(length)) << length;
    }
    for (int length = 0; length <= resources.Data.size(); ++length)
        EXPECT_EQ(Decode<THWBResourceMapResourceItem>(resources.Data.left(length))->Entries()->Count(),
                  resources.WholeIn(length))
            << length;
}

TEST_F(HWBResources, DeveloperListHoldsEveryNamedSymbolWithItsValue)
{
    QByteArray d;
    AddDef(d, "!", "main.rc", 0);
    AddDef(d, "IDOK", "1", 3);
    AddDef(d, "EMPTY", "", 4);
    AddDef(d, "!", "r.h", 1);
    AddDef(d, "IDC_X", "0x64", 2);
    auto defs = Decode<THWBSymbolDefResourceItem>(d);
    TMemoryStream out;
    defs->SaveSymbolList(out);
    QByteArray expected;
    Add16(expected, 1);
    expected += QByteArray("\x04IDOK\x01" "1", 7);
    expected += QByteArray("\x05IDC_X\x04" "0x64", 11);
    EXPECT_EQ(out.ToByteArray(), expected);
}
