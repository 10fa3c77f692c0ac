// The rectangle tree against a brute-force scan, and its split, stop and
// clear rules.
#include "render/rtree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

struct Box {
    int32_t min[2];
    int32_t max[2];
};

int Collect(int32_t data, void* context) {
    static_cast<std::vector<int32_t>*>(context)->push_back(data);
    return 1;
}

int StopAtOnce(int32_t, void*) { return 0; }

std::vector<int32_t> Find(const RTree& tree, const Box& q) {
    std::vector<int32_t> hits;
    const int count = tree.FindOverlapping(q.min, q.max, Collect, &hits);
    EXPECT_EQ(count, static_cast<int>(hits.size()));
    std::sort(hits.begin(), hits.end());
    return hits;
}

bool Overlap(const Box& a, const Box& b) {
    return a.min[0] <= b.max[0] && b.min[0] <= a.max[0] && a.min[1] <= b.max[1] && b.min[1] <= a.max[1];
}

// Boxes on a coarse grid so that many share edges and corners exactly.
Box RandomBox(std::mt19937& rng) {
    std::uniform_int_distribution<int32_t> pos(0, 200);
    std::uniform_int_distribution<int32_t> size(0, 6);
    Box b;
    b.min[0] = pos(rng) * 4;
    b.min[1] = pos(rng) * 4;
    b.max[0] = b.min[0] + size(rng) * 4;
    b.max[1] = b.min[1] + size(rng) * 4;
    return b;
}

TEST(RTreeTest, MatchesBruteForceOnTenThousandRectangles) {
    std::mt19937 rng(7);
    RTree tree;
    std::vector<Box> boxes;
    for (int i = 0; i < 10000; ++i) {
        boxes.push_back(RandomBox(rng));
        ASSERT_EQ(tree.Add(boxes.back().min, boxes.back().max, i), 1);
    }
    EXPECT_TRUE(tree.CheckStructure());
    EXPECT_GE(tree.Height(), 3);
    for (int q = 0; q < 500; ++q) {
        const Box query = RandomBox(rng);
        std::vector<int32_t> expected;
        for (int i = 0; i < static_cast<int>(boxes.size()); ++i) {
            if (Overlap(boxes[i], query)) expected.push_back(i);
        }
        ASSERT_EQ(Find(tree, query), expected) << "query " << q;
    }
}

TEST(RTreeTest, TouchingEdgesAndCornersOverlap) {
    RTree tree;
    const Box stored{{10, 10}, {20, 20}};
    tree.Add(stored.min, stored.max, 1);
    struct Case {
        Box query;
        bool hit;
    };
    const Case cases[] = {
        {{{20, 12}, {30, 14}}, true},   // right edge
        {{{0, 0}, {10, 10}}, true},     // top-left corner
        {{{15, 15}, {15, 15}}, true},   // a point inside
        {{{21, 10}, {30, 20}}, false},  // one pixel beyond
        {{{0, 21}, {40, 40}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.query.min[0]) + "," + std::to_string(c.query.min[1]));
        EXPECT_EQ(Find(tree, c.query).size(), c.hit ? 1u : 0u);
    }
}

TEST(RTreeTest, NineEqualRectanglesSplitTheRootOnce) {
    RTree tree;
    const Box b{{5, 5}, {9, 9}};
    for (int i = 0; i < 8; ++i) tree.Add(b.min, b.max, i);
    EXPECT_EQ(tree.Height(), 0);
    tree.Add(b.min, b.max, 8);
    EXPECT_EQ(tree.Height(), 1);
    EXPECT_EQ(tree.NodeCount(), 3);
    EXPECT_TRUE(tree.CheckStructure());  // both leaves hold at least 4
    EXPECT_EQ(Find(tree, b).size(), 9u);
}

TEST(RTreeTest, CallbackStopsTheWholeSearch) {
    RTree tree;
    const Box b{{0, 0}, {10, 10}};
    for (int i = 0; i < 50; ++i) tree.Add(b.min, b.max, i);
    EXPECT_EQ(tree.FindOverlapping(b.min, b.max, StopAtOnce, nullptr), 1);
    // Without a callback nothing is counted.
    EXPECT_EQ(tree.FindOverlapping(b.min, b.max, nullptr, nullptr), 0);
}

TEST(RTreeTest, DuplicatesAreTwoHitsAndClearForgetsAll) {
    RTree tree;
    const Box b{{3, 4}, {5, 6}};
    tree.Add(b.min, b.max, 42);
    tree.Add(b.min, b.max, 42);
    EXPECT_EQ(Find(tree, b), (std::vector<int32_t>{42, 42}));
    for (int i = 0; i < 100; ++i) tree.Add(b.min, b.max, i);
    tree.Clear();
    EXPECT_TRUE(Find(tree, b).empty());
    EXPECT_EQ(tree.Height(), 0);
    tree.Add(b.min, b.max, 7);
    EXPECT_EQ(Find(tree, b), (std::vector<int32_t>{7}));
}

}  // namespace
