#include "TestKinds.h"
#include "model/koResourcesModule.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

TEST(ResourceModule, BatchesMarkModifiedAndReachSubscribersOnce)
{
    TResourceModule module;
    TRecorder recorder;
    module.Subscribe(&recorder);
    module.Subscribe(nullptr);
    EXPECT_EQ(recorder.Count(rnSubscribe), 1);
    module.BeginUpdate();
    module.EndUpdate();
    EXPECT_TRUE(module.Modified());
    EXPECT_EQ(recorder.Count(rnChanging), 1);
    EXPECT_EQ(recorder.Count(rnChanged), 1);
    EXPECT_EQ(recorder.Events.back().first, nullptr);
    EXPECT_THROW(module.EndUpdate(), EAssertionFailed);
    module.Unsubscribe(&recorder);
}

TEST(ResourceModule, ItemChangesInsideABatchAreFoldedIntoItsEnd)
{
    TResourceModule module;
    auto* item = new TTestItem(Ord(1));
    module.Items()->Add(item);
    module.SetModified(false);
    TRecorder recorder;
    module.Subscribe(&recorder);
    recorder.Events.clear();

    item->SetLanguage(1);
    ASSERT_EQ(recorder.Events.size(), 2u);
    EXPECT_EQ(recorder.Events[1], std::make_pair(static_cast<TCustomResourceItem*>(item), rnChanged));
    EXPECT_TRUE(module.Modified());

    recorder.Events.clear();
    module.BeginUpdate();
    item->SetLanguage(2);
    item->SetLanguage(3);
    module.EndUpdate();
    ASSERT_EQ(recorder.Events.size(), 2u);
    EXPECT_EQ(recorder.Events[1], std::make_pair(static_cast<TCustomResourceItem*>(nullptr), rnChanged));
    module.Unsubscribe(&recorder);
}

TEST(ResourceModule, AddingAndRemovingItemsIsOneOperation)
{
    TResourceModule module;
    TRecorder recorder;
    module.Subscribe(&recorder);
    auto* item = new TTestItem(Ord(1));
    item->SetModule(&module);
    EXPECT_TRUE(module.Items()->Contains(item));
    EXPECT_EQ(item->Module(), &module);
    EXPECT_EQ(recorder.Count(rnAdded), 1);
    TResourceItemPtr taken(module.Items()->Extract(item));
    EXPECT_EQ(item->Module(), nullptr);
    EXPECT_EQ(recorder.Count(rnRemoved), 1);
    module.Items()->Add(std::move(taken));
    EXPECT_EQ(item->Module(), &module);
    module.Unsubscribe(&recorder);
}

TEST(ResourceModule, FindByTypeNameAndLanguage)
{
    TResourceModule module;
    auto* en = new TTestItem(Ord(5));
    en->SetLanguage(0x0409);
    auto* de = new TTestItem(Ord(5));
    de->SetLanguage(0x0407);
    module.Items()->Add(en);
    module.Items()->Add(de);
    const TResourceIdent rcdata = TResourceIdent::FromOrdinal(RT_RCDATA);
    EXPECT_EQ(module.Find(rcdata), en);
    EXPECT_EQ(module.Find(rcdata, Ord(5), 0x0407), de);
    EXPECT_EQ(module.Find(rcdata, Ord(6)), nullptr);
    EXPECT_EQ(module.Find(TResourceIdent("PNG")), nullptr);
}

TEST(ResourceModule, AfterLoadMergesGroupsAndClearsModified)
{
    TResourceModule module;
    module.BeforeLoad();
    auto* first = new TTestGroup(Ord(1));
    first->SetLanguage(0x0409);
    auto* second = new TTestGroup(Ord(1));
    second->SetLanguage(0x0407);
    module.Items()->Add(new TTestItem(Ord(9)));
    module.Items()->Add(first);
    module.Items()->Add(second);
    for (uint16_t i = 1; i <= 3; ++i) {
        auto* child = new TTestChild(Ord(i));
        module.Items()->Add(child);
        child->SetParent(i == 1 ? first : second);
    }
    EXPECT_TRUE(module.ModuleState().Contains(msLoading));
    module.AfterLoad();
    EXPECT_FALSE(module.ModuleState().Contains(msLoading));
    EXPECT_FALSE(module.Modified());
    ASSERT_TRUE(module.Items()->Contains(first));
    EXPECT_FALSE(module.Items()->Contains(second)) << "the second group was freed";
    EXPECT_EQ(first->Items()->Count(), 3);
    EXPECT_EQ(module.Items()->Count(), 5);
    EXPECT_EQ(module.Items()->Items(0)->ResourceType(), Ord(RT_RCDATA)) << "sorted after merging";
    EXPECT_EQ(module.Items()->Items(1)->ResourceType(), TResourceIdent("CHILD"));
    EXPECT_EQ(module.Items()->Items(4), first);
}

TEST(ResourceModule, ClearEmptiesAndResets)
{
    TResourceModule module;
    module.Items()->Add(new TTestItem(Ord(1)));
    module.SetFilename("/tmp/a.res");
    TRecorder recorder;
    module.Subscribe(&recorder);
    module.Clear();
    EXPECT_EQ(module.Items()->Count(), 0);
    EXPECT_TRUE(module.Filename().isEmpty());
    EXPECT_FALSE(module.Modified());
    EXPECT_EQ(recorder.Count(rnChanged), 1);
    module.Unsubscribe(&recorder);
}

TEST(ResourceModule, DestructionTellsSubscribersAndItems)
{
    TRecorder moduleRecorder, itemRecorder;
    {
        TResourceModule module;
        module.Subscribe(&moduleRecorder);
        auto* item = new TTestItem(Ord(1));
        module.Items()->Add(item);
        item->Subscribe(&itemRecorder);
    }
    EXPECT_EQ(moduleRecorder.Count(rnUnsubscribe), 1);
    EXPECT_EQ(itemRecorder.Count(rnRemoved), 1);
    EXPECT_EQ(itemRecorder.Count(rnUnsubscribe), 1);
}
