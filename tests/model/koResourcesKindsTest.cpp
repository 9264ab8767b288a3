#include "TestKinds.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesModule.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

namespace {

class TKindA : public TTestItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TKindA, TTestItem)

public:
    using TTestItem::TTestItem;
};

class TKindB : public TTestItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TKindB, TTestItem)

public:
    using TTestItem::TTestItem;
};

class TKindC : public TTestItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TKindC, TTestItem)

public:
    using TTestItem::TTestItem;
};

// Recognises data starting with "BM" and reads past it while asking.
class TSignatureKind : public TTestItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TSignatureKind, TTestItem)

public:
    using TTestItem::TTestItem;
    static bool Handles(const TResourceIdent&, const TResourceIdent&, TStream* Data)
    {
        if (!Data) return false;
        Data->SetPosition(Data->Size());
        return MatchSignature(Data, "BM", {}, 0);
    }
    static bool HandlesFile(const QString&, TStream* Data) { return Handles({}, {}, Data); }
};

class TThrowingKind : public TTestItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(TThrowingKind, TTestItem)

public:
    using TTestItem::TTestItem;
    static bool Handles(const TResourceIdent&, const TResourceIdent&, TStream* Data)
    {
        Data->SetPosition(1);
        throw EReadError("Stream read error");
    }
};

class ItemKinds : public ::testing::Test {
protected:
    void SetUp() override { koResourcesKinds_Initialize(); }
    void TearDown() override { koResourcesKinds_Finalize(); }
    std::vector<TResourceItemClass> Order() const
    {
        std::vector<TResourceItemClass> order;
        auto e = ResourceItemDatabase()->GetEnumerator();
        while (e->MoveNext()) order.push_back(e->GetCurrent());
        return order;
    }
};
} // namespace

TEST_F(ItemKinds, PriorityOrderAndReRegistration)
{
    TKindA::ClassInfo()->Register(0);
    TKindB::ClassInfo()->Register(0);
    TKindC::ClassInfo()->Register(-1);
    const TResourceItemClass generic = TResourceItemGeneric::ClassInfo();
    EXPECT_EQ(Order(), (std::vector<TResourceItemClass>{TKindC::ClassInfo(), TKindB::ClassInfo(), TKindA::ClassInfo(), generic}));
    TKindA::ClassInfo()->Register(-5);
    EXPECT_EQ(Order().front(), TKindA::ClassInfo());
    TKindA::ClassInfo()->Register(10);
    EXPECT_EQ(Order(), (std::vector<TResourceItemClass>{TKindA::ClassInfo(), TKindC::ClassInfo(), TKindB::ClassInfo(), generic}));
    TKindC::ClassInfo()->Unregister();
    TKindC::ClassInfo()->Unregister();
    EXPECT_EQ(ResourceItemDatabase()->Count(), 3);
}

TEST_F(ItemKinds, FindRestoresThePositionAndFallsBackToGeneric)
{
    TSignatureKind::ClassInfo()->Register(0);
    auto* db = ResourceItemDatabase();
    TBytesStream bitmap(QByteArray("BM...."));
    bitmap.SetPosition(2);
    EXPECT_EQ(db->Find(Ord(RT_BITMAP), Ord(1), &bitmap), TSignatureKind::ClassInfo());
    EXPECT_EQ(bitmap.Position(), 2);
    TBytesStream other(QByteArray("XX"));
    EXPECT_EQ(db->Find(Ord(RT_BITMAP), Ord(1), &other), TResourceItemGeneric::ClassInfo());
    EXPECT_EQ(other.Position(), 0);
    EXPECT_EQ(db->Find(Ord(RT_BITMAP), TResourceIdent(), nullptr), TResourceItemGeneric::ClassInfo())
        << "a lookup without data is answered by type and name alone";

    TThrowingKind::ClassInfo()->Register(-1);
    EXPECT_THROW(db->Find(Ord(RT_BITMAP), Ord(1), &bitmap), EReadError);
    EXPECT_EQ(bitmap.Position(), 2);
}

TEST_F(ItemKinds, FileTypesAndImports)
{
    TKindA::ClassInfo()->Register(0);
    TKindB::ClassInfo()->Register(0);
    TSignatureKind::ClassInfo()->Register(0);
    TKindA::ClassInfo()->RegisterFileType("bmp", "Bitmaps", {fcLoad, fcSave}, 255);
    TKindB::ClassInfo()->RegisterFileType("bmp", "Bitmaps", {fcLoad, fcSave}, 0);
    TKindB::ClassInfo()->RegisterFileType("out", "Export only", {fcSave}, 0);
    TSignatureKind::ClassInfo()->RegisterFileType("sig", "Signed", {fcLoad}, 0);
    TSignatureKind::ClassInfo()->RegisterFileType("far", "Never", {fcLoad}, 1024);
    auto* db = ResourceItemDatabase();

    EXPECT_EQ(db->FindFileType("picture.BMP", {fcLoad}), TKindB::ClassInfo());
    EXPECT_EQ(db->FindFileType("a.out", {fcLoad}), nullptr);
    EXPECT_EQ(db->FindFileType("a.out", {fcSave}), TKindB::ClassInfo());
    EXPECT_EQ(db->FindFileType("a.far", {fcLoad}), nullptr) << "priority 1024 is never found";

    auto loadTypes = TKindB::ClassInfo()->GetFileTypes(fcLoad);
    EXPECT_EQ(loadTypes->GetCount(), 1);
    EXPECT_EQ(loadTypes->IndexOf("out"), -1);
    auto all = TCustomResourceItem::ClassInfo()->GetFileTypes(fcLoad);
    EXPECT_EQ(all->Find("bmp")->GetDescription(), "Bitmaps");
    EXPECT_GE(all->IndexOf("sig"), 0);
    EXPECT_THROW(TKindC::ClassInfo()->GetFileTypes(fcLoad), Exception);

    // Import: the kind of the extension first, then every kind in order.
    TBytesStream signed_(QByteArray("BMxx"));
    EXPECT_EQ(db->FindFileFormat("x.sig", &signed_), TSignatureKind::ClassInfo());
    TBytesStream plain(QByteArray("plain"));
    EXPECT_EQ(db->FindFileFormat("x.sig", &plain), TResourceItemGeneric::ClassInfo());
    EXPECT_EQ(plain.Position(), 0);
}

TEST(GenericItem, KeepsBytesAndResizesWithZeros)
{
    TResourceItemGeneric item(Ord(7));
    EXPECT_EQ(item.ResourceType(), TResourceIdent("GENERIC"));
    EXPECT_FALSE(item.ClassType()->Capabilities().Contains(rcCreate));

    TBytesStream empty;
    item.LoadFromStream(empty, 0);
    EXPECT_EQ(item.Size(), 0);
    TMemoryStream out;
    item.SaveToStream(out);
    EXPECT_EQ(out.Size(), 0);

    TBytesStream data(QByteArray("xxabcdef"));
    data.SetPosition(2);
    item.LoadFromStream(data, 4);
    EXPECT_EQ(item.Size(), 4);
    item.SaveToStream(out);
    EXPECT_EQ(out.ToByteArray(), "abcd");

    TBytesStream shortData(QByteArray("ab"));
    EXPECT_THROW(item.LoadFromStream(shortData, 10), EReadError);
    EXPECT_EQ(item.Size(), 4) << "a failed load keeps the data";

    TRecorder recorder;
    item.Subscribe(&recorder);
    recorder.Events.clear();
    item.SetSize(item.Size());
    EXPECT_TRUE(recorder.Events.empty()) << "the same size sends nothing";
    item.SetSize(6);
    EXPECT_EQ(recorder.Count(rnChanged), 1);
    TMemoryStream grown;
    item.SaveToStream(grown);
    EXPECT_EQ(grown.ToByteArray(), QByteArray("abcd\0\0", 6));
    item.setProperty("ItemType", "icon");
    EXPECT_EQ(item.ResourceType(), Ord(RT_ICON));
    item.Unsubscribe(&recorder);
}

#include "koResourcesKindsTest.moc"
