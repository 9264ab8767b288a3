#include "model/koGenerics.h"

#include <gtest/gtest.h>

namespace {
struct ISubscriber {
    virtual ~ISubscriber() = default;
};
struct TSubscriber : ISubscriber {};

// Removes two entries per call, as a derived list may.
class TPairDeletingList : public TWeakInterfaceList<ISubscriber> {
public:
    void Delete(int index) override
    {
        TWeakInterfaceList::Delete(index);
        if (index > 0) TWeakInterfaceList::Delete(index - 1);
        ++Deletes;
    }
    int Deletes = 0;
};
} // namespace

TEST(WeakInterfaceList, AddRemoveAndEnds)
{
    TWeakInterfaceList<ISubscriber> list;
    TSubscriber a, b;
    EXPECT_EQ(list.First(), nullptr);
    EXPECT_EQ(list.Last(), nullptr);
    list.Add(&a);
    list.Add(&a);
    list.Add(&b);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.First(), &a);
    EXPECT_EQ(list.Last(), &b);
    EXPECT_EQ(list.IndexOf(&b), 1);
    EXPECT_TRUE(list.Remove(&a));
    EXPECT_FALSE(list.Remove(&a));
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.IndexOf(&a), -1);
}

TEST(WeakInterfaceList, EnumeratorSkipsTheEntryAfterADeletedOne)
{
    TWeakInterfaceList<ISubscriber> list;
    TSubscriber a, b, c;
    list.Add(&a);
    list.Add(&b);
    list.Add(&c);
    std::vector<ISubscriber*> seen;
    auto e = list.GetEnumerator();
    while (e->MoveNext()) {
        seen.push_back(e->Current());
        if (e->Current() == &a) list.Remove(&a);
    }
    EXPECT_EQ(seen, (std::vector<ISubscriber*>{&a, &c}));
    EXPECT_FALSE(e->MoveNext());
}

TEST(WeakInterfaceList, ClearToleratesDeletesThatRemoveSeveralEntries)
{
    TPairDeletingList list;
    TSubscriber s[5];
    for (auto& x : s) list.Add(&x);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Deletes, 3);
}
