#include "TestKinds.h"
#include "model/koResourcesModule.h"
#include "platform/Exceptions.h"
#include "platform/StringList.h"

#include <gtest/gtest.h>

namespace {
template <class T>
T* AddTo(TCustomResourceModule& module, const TResourceIdent& name)
{
    auto* item = new T(name);
    module.Items()->Add(item);
    return item;
}
} // namespace

TEST(ResourceItem, IdentityNormalizesNamedValues)
{
    TTestItem item(TResourceIdent("png"), TResourceIdent("logo"));
    EXPECT_EQ(item.ResourceType(), TResourceIdent("PNG"));
    EXPECT_EQ(item.Name(), TResourceIdent("LOGO"));
    EXPECT_FALSE(item.Modified()) << "construction is locked";
    EXPECT_THROW(item.NameInteger(), EInvalidOperation);
    EXPECT_THROW(item.ResourceTypeInteger(), EInvalidOperation);

    item.SetName(TResourceIdent("straße"));
    EXPECT_EQ(item.Name(), QString::fromUtf8("STRAßE")) << "upper-casing keeps the length";
    item.SetName(TextToResourceIdent("12"));
    EXPECT_TRUE(item.NameIsInteger());
    EXPECT_EQ(item.NameInteger(), 12);
    EXPECT_EQ(item.NameAsString(), "12");
    item.SetItemType("icon");
    EXPECT_EQ(item.ResourceTypeInteger(), RT_ICON);
    item.SetItemType("avi");
    EXPECT_EQ(item.ResourceType(), TResourceIdent("AVI"));
    EXPECT_EQ(item.FriendlyTypeName(), "AVI");
    EXPECT_EQ(item.LocalID()->Value(), "12");
    EXPECT_EQ(item.FriendlyName(), "12");
    item.SetLanguage(0x0419);
    EXPECT_EQ(item.CodePage(), 1251u);
}

TEST(ResourceItem, PublishedProperties)
{
    TTestItem item(TResourceIdent("X"));
    const QMetaObject* mo = item.metaObject();
    EXPECT_GE(mo->indexOfProperty("ID"), 0);
    EXPECT_GE(mo->indexOfProperty("ItemType"), 0);
    EXPECT_EQ(item.property("ItemType").toString(), "RCDATA");
    item.setProperty("Language", QVariant::fromValue(TLanguageID(0x0409)));
    EXPECT_EQ(item.Language(), 0x0409);
    EXPECT_EQ(item.MapPropertyName("ItemType"), "Type");
    EXPECT_EQ(item.MapPropertyName("Language"), "Language");
}

TEST(ResourceItem, SubscribersHearOnceAndInOrder)
{
    TTestItem item(TResourceIdent("X"));
    TRecorder a;
    item.Subscribe(&a);
    item.Subscribe(&a);
    EXPECT_EQ(a.Count(rnSubscribe), 2) << "told twice, listed once";

    item.BeginUpdate();
    item.BeginUpdate();
    item.SetLanguage(1);
    item.SetVersion(2);
    item.SetCharacteristics(3);
    item.EndUpdate();
    EXPECT_EQ(a.Count(rnChanged), 0);
    item.EndUpdate();
    EXPECT_EQ(a.Count(rnChanging), 1);
    EXPECT_EQ(a.Count(rnChanged), 1);
    EXPECT_TRUE(item.Modified());

    item.Unsubscribe(&a);
    item.Unsubscribe(&a);
    EXPECT_EQ(a.Count(rnUnsubscribe), 1);
    EXPECT_THROW(item.EndUpdate(), EAssertionFailed);
    EXPECT_THROW(item.UnlockUpdate(), EAssertionFailed);
}

TEST(ResourceItem, LockedChangesAreSilent)
{
    TTestItem item(TResourceIdent("X"));
    TRecorder a;
    item.Subscribe(&a);
    a.Events.clear();
    item.LockUpdate();
    item.SetLanguage(7);
    item.UnlockUpdate();
    EXPECT_EQ(item.Language(), 7);
    EXPECT_FALSE(item.Modified());
    EXPECT_TRUE(a.Events.empty());
    item.Unsubscribe(&a);
}

TEST(ResourceItem, SettingTheSameValueSendsNothing)
{
    TTestItem item(TResourceIdent("X"));
    TRecorder a;
    item.Subscribe(&a);
    a.Events.clear();
    item.SetLanguage(0);
    item.SetResourceType(TResourceIdent::FromOrdinal(RT_RCDATA));
    item.SetName(TResourceIdent("x"));
    EXPECT_TRUE(a.Events.empty());
    item.Unsubscribe(&a);
}

TEST(ResourceItem, SubscriberExceptionsGoToTheApplicationHandler)
{
    TTestItem item(TResourceIdent("X"));
    TRecorder failing, second;
    failing.OnNotify = [](TCustomResourceItem*, TResourceItemNotification n) {
        if (n == rnChanged) throw Exception("subscriber failed");
    };
    item.Subscribe(&failing);
    item.Subscribe(&second);

    int handled = 0;
    auto previous = SetApplicationExceptionHandler([&](std::exception_ptr) { ++handled; });
    item.SetLanguage(9);
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(second.Count(rnChanged), 1) << "the others are still told";

    SetApplicationExceptionHandler(nullptr);
    EXPECT_THROW(item.SetLanguage(10), Exception);
    SetApplicationExceptionHandler(previous);
    item.Unsubscribe(&failing);
    item.Unsubscribe(&second);
}

TEST(ResourceItem, SubscriberThatLeavesWhileBeingToldDoesNotDerailTheWalk)
{
    TTestItem item(TResourceIdent("X"));
    TRecorder a, b, c;
    a.OnNotify = [&](TCustomResourceItem*, TResourceItemNotification n) {
        if (n == rnChanged) item.Unsubscribe(&a);
    };
    item.Subscribe(&a);
    item.Subscribe(&b);
    item.Subscribe(&c);
    item.SetLanguage(1);
    // a left during the walk: the walk by index then skips b, as the list cannot know.
    EXPECT_EQ(c.Count(rnChanged), 1);
    item.Unsubscribe(&b);
    item.Unsubscribe(&c);
}

TEST(ResourceItem, ChildChangeReportsToParent)
{
    TResourceModule module;
    auto* parent = AddTo<TTestParent>(module, Ord(1));
    auto* child = AddTo<TTestChild>(module, Ord(1));
    child->SetParent(parent);
    EXPECT_EQ(parent->ChildNotifications.back().second, chAdded);
    EXPECT_EQ(child->ID(), parent->ID()) << "a child answers its root's identifier";

    TRecorder parentRecorder;
    parent->Subscribe(&parentRecorder);
    parent->ChildNotifications.clear();
    parentRecorder.Events.clear();
    child->SetLanguage(5);
    ASSERT_EQ(parent->ChildNotifications.size(), 2u);
    EXPECT_EQ(parent->ChildNotifications[0].second, chChanging);
    EXPECT_EQ(parent->ChildNotifications[1].second, chChanged);
    EXPECT_EQ(parentRecorder.Count(rnChanged), 1);
    parent->Unsubscribe(&parentRecorder);
}

TEST(ResourceItem, ParentRules)
{
    TResourceModule module;
    auto* parent = AddTo<TTestParent>(module, Ord(1));
    auto* group = AddTo<TTestGroup>(module, Ord(2));
    auto* item = AddTo<TTestItem>(module, Ord(3));
    auto* other = AddTo<TOtherChild>(module, Ord(4));

    EXPECT_THROW(item->SetParent(parent), Exception);
    EXPECT_EQ(item->Parent(), nullptr);
    try {
        other->SetParent(parent);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Invalid resource item parent");
    }
    EXPECT_EQ(other->Parent(), nullptr);
    EXPECT_FALSE(parent->HasItems());
    other->SetParent(group);
    EXPECT_EQ(other->Parent(), group) << "a group accepts any kind that takes a parent";
    other->SetParent(nullptr);
    EXPECT_FALSE(group->HasItems());
}

TEST(ResourceItem, DestroyingAParentLeavesChildrenInTheModule)
{
    TResourceModule module;
    auto* parent = AddTo<TTestParent>(module, Ord(1));
    auto* first = AddTo<TTestChild>(module, Ord(1));
    auto* second = AddTo<TTestChild>(module, Ord(2));
    first->SetParent(parent);
    second->SetParent(parent);
    TRecorder recorder;
    parent->Subscribe(&recorder);
    module.Items()->Remove(parent);
    EXPECT_EQ(recorder.Count(rnRemoved), 1);
    EXPECT_EQ(recorder.Count(rnUnsubscribe), 1);
    EXPECT_EQ(module.Items()->Count(), 2);
    EXPECT_EQ(first->Parent(), nullptr);
    EXPECT_EQ(second->Parent(), nullptr);
}

TEST(ResourceItem, MovingChildrenKeepsNamesInPositionOrder)
{
    TResourceModule module;
    auto* group = AddTo<TTestGroup>(module, Ord(1));
    std::vector<TCustomResourceItem*> children;
    for (uint16_t i = 1; i <= 3; ++i) {
        children.push_back(AddTo<TTestChild>(module, Ord(i)));
        children.back()->SetParent(group);
    }
    group->Items()->Move(0, 1);
    EXPECT_EQ(group->Items()->Items(0), children[1]);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(group->Items()->Items(i)->Name(), Ord(uint16_t(i + 1)));
}

TEST(ResourceItem, UniqueIdentifier)
{
    TResourceModule module;
    for (uint16_t n : {1, 2, 4}) AddTo<TTestItem>(module, Ord(n));
    module.Items()->Add(new TTestItem(TResourceIdent("OTHER"), Ord(3)));
    AddTo<TTestItem>(module, TResourceIdent("NAMED"));
    auto* fresh = new TTestItem(TResourceIdent("NEW"));
    module.Items()->Add(fresh);
    EXPECT_EQ(fresh->GetUniqueIdentifier(), 3);
    fresh->InitializeNewItem();
    EXPECT_EQ(fresh->Name(), Ord(3));

    TTestItem loose(TResourceIdent("LOOSE"));
    EXPECT_EQ(loose.GetUniqueIdentifier(), 1);
}

TEST(ResourceItem, DuplicateNamesAreRefusedWithinAType)
{
    TResourceModule module;
    auto* a = AddTo<TTestItem>(module, TResourceIdent("A"));
    auto* b = AddTo<TTestItem>(module, TResourceIdent("B"));
    b->SetLanguage(0x0407);
    try {
        a->SetName(TResourceIdent("b"));
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "An item with the specified name already exist.");
    }
    EXPECT_EQ(a->Name(), TResourceIdent("A"));

    module.Items()->Add(new TTestItem(TResourceIdent("OTHERTYPE"), TResourceIdent("C")));
    a->SetName(TResourceIdent("C"));
    EXPECT_EQ(a->Name(), TResourceIdent("C")) << "other types do not count";

    TTestItem loose(TResourceIdent("B"));
    loose.SetName(TResourceIdent("A"));
    EXPECT_EQ(loose.Name(), TResourceIdent("A"));
}

namespace {
class THiddenItem : public TTestItem {
    Q_OBJECT
    RESOURCE_ITEM_CLASS(THiddenItem, TTestItem)

public:
    using TTestItem::TTestItem;

protected:
    bool GetHidden() const override { return true; }
};
} // namespace

TEST(ResourceItem, HiddenItemsDoNotBlockANameItUses)
{
    TResourceModule module;
    AddTo<THiddenItem>(module, TResourceIdent("SECRET"));
    auto* item = AddTo<TTestItem>(module, TResourceIdent("A"));
    item->SetName(TResourceIdent("SECRET"));
    EXPECT_EQ(item->Name(), TResourceIdent("SECRET"));
}

TEST(ResourceItem, SizeIsMeasuredAgainAfterAChange)
{
    TTestItem item(TResourceIdent("X"));
    item.Data = "abc";
    EXPECT_EQ(item.Size(), 3);
    EXPECT_EQ(item.Size(), 3);
    EXPECT_EQ(item.Saves, 1) << "the size is cached";
    item.SetData("abcdef");
    EXPECT_EQ(item.Size(), 6);
    EXPECT_EQ(item.Saves, 2);

    TExportOnlyItem exportOnly(TResourceIdent("E"));
    EXPECT_EQ(exportOnly.Size(), 0);
    TMemoryStream stream;
    EXPECT_THROW(exportOnly.SaveToStream(stream), EInvalidOperation);
    EXPECT_THROW(exportOnly.LoadFromFileStream(stream), EInvalidOperation);
}

TEST(ResourceItem, AssignCopiesHeaderAndData)
{
    TTestItem source(TResourceIdent("SRC"));
    source.SetData("payload");
    source.SetLanguage(0x0409);
    source.SetVersion(11);
    source.SetMemoryFlags(0x1030);
    TTestItem dest(TResourceIdent("PNG"), TResourceIdent("DST"));
    dest.Assign(&source);
    EXPECT_EQ(dest.Data, "payload");
    EXPECT_EQ(dest.ResourceType(), source.ResourceType());
    EXPECT_EQ(dest.Language(), 0x0409);
    EXPECT_EQ(dest.Version(), 11u);
    EXPECT_EQ(dest.MemoryFlags(), 0x1030);
    EXPECT_EQ(dest.Name(), TResourceIdent("DST")) << "names are never copied";
    EXPECT_EQ(dest.Size(), 7);

    // A kind that exports only can give its file to a kind that imports.
    TExportOnlyItem exporter(TResourceIdent("E"));
    TTestItem importer(TResourceIdent("I"));
    importer.Assign(&exporter);
    EXPECT_EQ(importer.Data, "file");
}

TEST(ResourceItem, RefusedAssignLeavesTheDestinationAsItWas)
{
    TExportOnlyItem source(TResourceIdent("S"));
    TExportOnlyItem dest(TResourceIdent("D"));
    dest.SetLanguage(3);
    try {
        dest.Assign(&source);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TExportOnlyItem to a TExportOnlyItem");
    }
    EXPECT_EQ(dest.Language(), 3);

    TTestItem item(TResourceIdent("X"));
    TTestItem otherType(TResourceIdent("PNG"), TResourceIdent("Y"));
    EXPECT_THROW(item.AssignTo(&otherType), EConvertError);
    EXPECT_THROW(item.Assign(nullptr), EConvertError);
}

TEST(ResourceItem, EnumerateVisitsChildrenUntilStopped)
{
    TResourceModule module;
    auto* parent = AddTo<TTestParent>(module, Ord(1));
    for (uint16_t i = 1; i <= 3; ++i) AddTo<TTestChild>(module, Ord(i))->SetParent(parent);
    std::vector<TCustomResourceItem*> seen;
    EXPECT_TRUE(parent->EnumerateItems(nullptr, [&](TCustomResourceItem* item, QObject*, void*, bool&) {
        seen.push_back(item);
    }));
    EXPECT_EQ(seen.size(), 4u);
    seen.clear();
    EXPECT_FALSE(parent->EnumerateItems(nullptr, [&](TCustomResourceItem* item, QObject*, void*, bool& cont) {
        seen.push_back(item);
        cont = seen.size() < 2;
    }));
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_FALSE(parent->EnumerateItems(nullptr, nullptr));
    // The module visits children from the list and from their parent.
    int visits = 0;
    module.EnumerateItems(nullptr, [&](TCustomResourceItem*, QObject*, void*, bool&) { ++visits; });
    EXPECT_EQ(visits, 7);
}

TEST(ResourceItem, OnDemandStreamFetchesOnFirstLook)
{
    TTestItem item(TResourceIdent("X"));
    item.Data = "BMdata";
    TResourceItemOnDemandStream stream(&item);
    EXPECT_EQ(item.Saves, 0);
    EXPECT_TRUE(MatchSignature(&stream, "BM", {}, 0));
    EXPECT_EQ(item.Saves, 1);
    EXPECT_EQ(stream.Size(), 6);
    EXPECT_EQ(stream.Position(), 0);
    EXPECT_EQ(item.Saves, 1);

    TExportOnlyItem noData(TResourceIdent("N"));
    TResourceItemOnDemandStream empty(&noData);
    EXPECT_EQ(empty.Size(), 0) << "a kind without data offers an empty stream";
}

TEST(ResourceItem, PropertyInspectorHook)
{
    TTestItem item(TResourceIdent("X"));
    EXPECT_EQ(GetItemPropertyInspector(&item), nullptr);
    TCustomResourceItem* asked = nullptr;
    auto previous = SetItemPropertyInspectorHook([&](TCustomResourceItem* i) -> IAtelierPropertyInspector* {
        asked = i;
        return nullptr;
    });
    GetItemPropertyInspector(&item);
    EXPECT_EQ(asked, &item);
    SetItemPropertyInspectorHook(previous);
}

TEST(ResourceItemList, OwningListFreesAndExtractHandsBack)
{
    TResourceItemList list(nullptr, true);
    TResourceItemPtr owned(new TTestItem(TResourceIdent("A")));
    auto* a = owned.get();
    list.Add(std::move(owned));
    list.Add(a);
    EXPECT_EQ(list.Count(), 1);
    auto* b = new TTestItem(TResourceIdent("B"));
    list.Add(b);
    EXPECT_EQ(list.Extract(b), b);
    EXPECT_EQ(list.Extract(b), nullptr);
    TResourceItemPtr keep(b);
    EXPECT_EQ(list.IndexOf(a), 0);
    EXPECT_THROW(list.Items(5), EListError);
    EXPECT_THROW(list.EndUpdate(), EAssertionFailed);
    auto e = list.GetEnumerator();
    ASSERT_TRUE(e->MoveNext());
    EXPECT_EQ(e->GetCurrent(), a);
    EXPECT_FALSE(e->MoveNext());
}

#include "koResourcesItemTest.moc"
