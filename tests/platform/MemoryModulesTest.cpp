#include "platform/MemoryModules.h"

#include <gtest/gtest.h>

TEST(VirtualMemory, ReservesAtPreferredAddressWhenFreeElsewhereWhenTaken)
{
    const size_t page = TVirtualMemory::PageSize();
    TVirtualMemory probe;
    ASSERT_TRUE(probe.Reserve(4 * page, 0));
    const auto address = reinterpret_cast<uintptr_t>(probe.Base());
    probe.Release();

    TVirtualMemory first;
    ASSERT_TRUE(first.Reserve(4 * page, address));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(first.Base()), address);
    // Overlapping the first reservation is never allowed: the second goes elsewhere.
    TVirtualMemory second;
    ASSERT_TRUE(second.Reserve(4 * page, address + page));
    EXPECT_TRUE(reinterpret_cast<uintptr_t>(second.Base()) + 4 * page <= address ||
                reinterpret_cast<uintptr_t>(second.Base()) >= address + 4 * page);

    TVirtualMemory low;
    ASSERT_TRUE(low.Reserve(page, 0, true));
    EXPECT_LT(reinterpret_cast<uintptr_t>(low.Base()) + page, uintptr_t(1) << 32);

    EXPECT_FALSE(TVirtualMemory().Reserve(0, 0));
}

TEST(VirtualMemory, CommitProtectAndDecommitStayInsideTheReservation)
{
    const size_t page = TVirtualMemory::PageSize();
    TVirtualMemory memory;
    ASSERT_TRUE(memory.Reserve(2 * page, 0));
    ASSERT_TRUE(memory.Commit(0, 2 * page));
    memory.Base()[page] = 'x';
    EXPECT_TRUE(memory.Decommit(page, page));
    ASSERT_TRUE(memory.Commit(page, page));
    EXPECT_EQ(memory.Base()[page], 0); // the contents went with the pages

    EXPECT_FALSE(memory.Protect(page, 2 * page, paRead));  // runs past the end
    EXPECT_FALSE(memory.Protect(1, page, paRead));         // not on a page boundary
    EXPECT_FALSE(memory.Decommit(2 * page + page, 1));
    EXPECT_FALSE(TVirtualMemory().Commit(0, page));
}
