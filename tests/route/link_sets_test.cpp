// Detour, avoidance and option link sets: growth, saved copies, groups, and
// the option-link pick on a hand-worked route.
#include "route/link_sets.h"

#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <vector>

namespace {

std::vector<int32_t> Ids(int n, int32_t first = 1) {
    std::vector<int32_t> ids(static_cast<size_t>(n));
    std::iota(ids.begin(), ids.end(), first);
    return ids;
}

std::vector<int32_t> Held(const RouteDetour& set) {
    const int32_t* ids = nullptr;
    const int n = set.Get(&ids);
    return n > 0 ? std::vector<int32_t>(ids, ids + n) : std::vector<int32_t>{};
}

TEST(LinkSetsTest, ArraysGrowInStepsOfAThousand) {
    struct Case {
        int replaced;
        int appended;
        int capacity;
    };
    const Case cases[] = {{999, 0, 1000}, {1000, 0, 2000}, {1000, 1, 2000}, {1000, 1001, 3000}, {1, 0, 1000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.replaced << " + " << c.appended);
        RouteDetour set;
        const auto first = Ids(c.replaced);
        set.Replace(c.replaced, first.data());
        const auto more = Ids(c.appended, 100000);
        if (c.appended > 0) set.Append(c.appended, more.data());
        EXPECT_EQ(set.Capacity(), c.capacity);
        auto expected = first;
        expected.insert(expected.end(), more.begin(), more.end());
        EXPECT_EQ(Held(set), expected);
        EXPECT_EQ(set.AppendCount(), c.appended > 0 ? 2 : 1);
    }
}

TEST(LinkSetsTest, AppendOfNothingAndClear) {
    RouteAvoidance set;
    set.Append(0, nullptr);
    set.Append(-3, nullptr);
    EXPECT_FALSE(set.HasLinks());
    const auto ids = Ids(3, 7);
    set.Append(3, ids.data());
    EXPECT_EQ(Held(set), ids);
    EXPECT_EQ(set.Clear(), 1);
    EXPECT_EQ(Held(set), std::vector<int32_t>{});
    EXPECT_EQ(set.Capacity(), 0);
}

TEST(LinkSetsTest, SavedCopyComesBackWhole) {
    const auto ids = Ids(1500, 40);
    RouteAvoidance avoid;
    avoid.Append(1000, ids.data());
    avoid.Append(500, ids.data() + 1000);
    avoid.Save(true);   // save, then empty
    EXPECT_FALSE(avoid.HasLinks());
    EXPECT_EQ(avoid.Restore(), 1);
    EXPECT_EQ(Held(avoid), ids);
    EXPECT_EQ(avoid.AppendCount(), 2);   // the avoidance set keeps its appends

    RouteDetour detour;
    detour.Append(1000, ids.data());
    detour.Append(500, ids.data() + 1000);
    detour.Save(false);
    detour.Clear();
    EXPECT_EQ(detour.Restore(), 1);
    EXPECT_EQ(Held(detour), ids);   // more than a thousand ids survive the copy
    EXPECT_EQ(detour.AppendCount(), 0);

    // Restoring without a saved copy leaves the set empty.
    RouteDetour empty;
    empty.Append(2, ids.data());
    empty.Save(false);   // saved
    empty.DropSaved();
    EXPECT_EQ(empty.Restore(), 0);
    EXPECT_FALSE(empty.HasLinks());
    RouteDetour never;
    never.Save(false);   // an empty set saves nothing
    EXPECT_EQ(never.Restore(), 0);
}

TEST(LinkSetsTest, OptionSetCountsOnlyItsEffectiveIds) {
    RoutePeloxWizard option;
    const auto ids = Ids(30, 500);
    option.Replace(10, ids.data());
    EXPECT_EQ(option.GroupCount(), 1);
    EXPECT_EQ(option.GroupEnd(1), 10);
    EXPECT_EQ(Held(option).size(), 10u);   // a replace puts every id in use

    option.Append(10, ids.data() + 10);
    EXPECT_EQ(option.MarkGroupEnd(), 1);
    option.Append(10, ids.data() + 20);
    EXPECT_EQ(option.MarkGroupEnd(), 1);
    EXPECT_EQ(Held(option), ids);

    // Keeping group 1 hides the later groups' ids from the search.
    RoutePeloxWizard copy;
    option.Save(false);
    copy.Replace(30, ids.data());
    EXPECT_EQ(option.KeepGroup(1), 1);
    EXPECT_EQ(Held(option), std::vector<int32_t>(ids.begin(), ids.begin() + 10));
    EXPECT_EQ(option.KeepGroup(4), 0);   // no such group
    EXPECT_EQ(option.Restore(), 1);
    EXPECT_EQ(Held(option), ids);
    EXPECT_EQ(option.GroupCount(), 3);
    EXPECT_EQ(option.GroupEnd(2), 20);

    // At most four groups: a fifth end is refused, never written past them.
    EXPECT_EQ(option.MarkGroupEnd(), 1);
    EXPECT_EQ(option.MarkGroupEnd(), 0);
    EXPECT_EQ(option.GroupCount(), 4);
}

TEST(LinkSetsTest, OptionThreshold) {
    struct Case {
        int64_t totalM;
        int32_t thresholdM;
    };
    // Exact sums of the shares; the factors are single-precision (0.9 and
    // 0.45 have no exact float), so the truncated result may be a metre less.
    const Case cases[] = {
        {0, 0}, {1000, 900}, {10000, 9000}, {15000, 12750}, {20000, 16500},
        {50000, 30000}, {150000, 55000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.totalM);
        const int32_t got = OptionLinkThresholdM(c.totalM);
        EXPECT_LE(got, c.thresholdM);
        EXPECT_GE(got, c.thresholdM - 1);
    }
}

TEST(LinkSetsTest, OptionLinksOfAHandWorkedRoute) {
    // id: class, length, type. Total 21000 m, threshold about 16950 m. Class 0
    // covers 16000 m, with class 8 19000 m: the class limit is 8. The class
    // 10 link at the start is passed over; the ramp (type 3) is met with
    // 16950 - 6000 - 7000 = 3950 m left, under 4 km: the pick ends there.
    const std::map<int32_t, RouteLinkFacts> road = {
        {11, {2000, 10, 0}}, {12, {6000, 0, 0}}, {13, {7000, 0, 0}}, {14, {3000, 8, 3}}, {15, {3000, 0, 0}},
    };
    const RouteLinkLookup lookup = [&](int32_t id, RouteLinkFacts* f) {
        auto it = road.find(id);
        if (it == road.end()) return false;
        *f = it->second;
        return true;
    };
    const std::vector<int32_t> route = {11, 12, 13, 14, 15};
    EXPECT_EQ(PickOptionLinks(route.data(), 5, lookup), (std::vector<int32_t>{12, 13}));

    // Without the ramp the walk goes on until the budget is spent.
    auto plain = road;
    plain[14].linkType = 0;
    const RouteLinkLookup plainLookup = [&](int32_t id, RouteLinkFacts* f) {
        *f = plain.at(id);
        return true;
    };
    EXPECT_EQ(PickOptionLinks(route.data(), 5, plainLookup), (std::vector<int32_t>{12, 13, 14, 15}));

    // Unreadable links and empty routes give nothing.
    EXPECT_TRUE(PickOptionLinks(route.data(), 0, lookup).empty());
    const std::vector<int32_t> unknown = {99, 98};
    EXPECT_TRUE(PickOptionLinks(unknown.data(), 2, lookup).empty());
}

}  // namespace
