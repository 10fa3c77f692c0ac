// The meeting table: full from 39990 entries, nothing added past 40000, a
// meeting at cost 0 found, the cheapest cost of a link met twice and the
// link after it.
#include "route/meet_table.h"

#include <gtest/gtest.h>

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

}  // namespace
