// The meeting table: full from 39990 entries, nothing added past 40000, a
// meeting at cost 0 found, the cheapest cost of a link met twice and the
// link after it.
#include "route/meet_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

TEST(MeetTableTest, FillsUpAndFindsMeetingsOfAnyCost) {
    std::vector<uint8_t> memory(NcMeetTable::kBytes);
    NcMeetTable t;
    EXPECT_EQ(t.Init(memory.data(), memory.size() - 1), 0);
    EXPECT_EQ(t.Add(1, 1), 0);
    ASSERT_EQ(t.Init(memory.data(), memory.size()), 1);

    // Ids added from the top down, so that sorting has work to do.
    for (int i = 0; i < 39989; ++i) ASSERT_EQ(t.Add(100000 - i, i), 1) << i;
    EXPECT_EQ(t.Add(7, 0), 0);          // the 39990th: added, but full
    EXPECT_EQ(t.Count(), 39990);
    for (int i = 39990; i < 40000; ++i) EXPECT_EQ(t.Add(7, 500), 0);
    EXPECT_EQ(t.Count(), 40000);
    EXPECT_EQ(t.Add(8, 1), 0);          // nothing added past 40000
    EXPECT_EQ(t.Count(), 40000);

    t.Sort();
    int32_t cost = -1;
    ASSERT_TRUE(t.Find(7, &cost));
    EXPECT_EQ(cost, 0);                  // a meeting at cost 0, the cheapest of 11
    ASSERT_TRUE(t.Find(100000, &cost));
    EXPECT_EQ(cost, 0);
    ASSERT_TRUE(t.Find(100000 - 123, &cost));
    EXPECT_EQ(cost, 123);
    EXPECT_FALSE(t.Find(8, &cost));
    EXPECT_FALSE(t.Find(100001, &cost));
    EXPECT_FALSE(t.Find(0, &cost));

    t.Clear();
    EXPECT_FALSE(t.Find(7, &cost));
    EXPECT_EQ(t.Add(7, 3, 70), 1);
    EXPECT_EQ(t.Add(7, 2, 71), 1);
    EXPECT_EQ(t.Add(9, 1), 1);
    t.Sort();
    // The link after a link of the table is the one of its cheapest entry.
    int32_t next = 0;
    ASSERT_TRUE(t.Find(7, &cost, &next));
    EXPECT_EQ(cost, 2);
    EXPECT_EQ(next, 71);
    ASSERT_TRUE(t.Find(9, &cost, &next));
    EXPECT_EQ(next, -1);
}

// Ids over the whole range the search hands in (both directions, the
// highest link numbers) in random order, with links met several times:
// every id finds the cheapest of its entries, and among entries of the same
// cost the one added first (a stable order by id, then cost).
TEST(MeetTableTest, SortsAnyIdsByIdThenCost) {
    std::vector<uint8_t> memory(NcMeetTable::kBytes);
    NcMeetTable t;
    ASSERT_EQ(t.Init(memory.data(), memory.size()), 1);
    std::mt19937 rng(3);
    struct Added {
        int32_t id, cost, next;
    };
    std::vector<Added> added;
    for (int i = 0; i < 25000; ++i) {
        const int32_t index = static_cast<int32_t>(1 + rng() % 1999999);
        const int32_t id = index | (rng() % 2 ? 0x08000000 : 0);
        // A few links come back with the same or another cost.
        const int times = rng() % 8 == 0 ? 3 : 1;
        for (int k = 0; k < times; ++k) added.push_back({id, static_cast<int32_t>(rng() % 4), i * 10 + k});
    }
    for (const Added& a : added) ASSERT_EQ(t.Add(a.id, a.cost, a.next), 1);
    t.Sort();
    std::vector<Added> expected = added;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const Added& a, const Added& b) { return a.id != b.id ? a.id < b.id : a.cost < b.cost; });
    for (size_t i = 0; i < expected.size(); ++i) {
        if (i > 0 && expected[i].id == expected[i - 1].id) continue;
        SCOPED_TRACE(expected[i].id);
        int32_t cost = -1, next = -2;
        ASSERT_TRUE(t.Find(expected[i].id, &cost, &next));
        EXPECT_EQ(cost, expected[i].cost);
        EXPECT_EQ(next, expected[i].next);
    }
    EXPECT_FALSE(t.Find(0x08000000 | 2000000, nullptr));
}

}  // namespace
