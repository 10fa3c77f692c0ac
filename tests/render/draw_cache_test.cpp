// Placement caches: growth, the overlap test with and without the 4-pixel
// margin, copies with rebuilt trees, picks, the key order of the POI
// records, and a failed growth that keeps what was placed.
#include "render/draw_cache.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "foundation/memory_heap.h"

namespace {

using PoiCache = CMoudleDrawDrawCacheT<tagMODULEDRAWPOICACHE>;
using ThemeCache = CMoudleDrawDrawCacheT<tagMODULEDRAWTHEMECACHE>;

tagMODULEDRAWPOICACHE Poi(const ScreenRect& text, const ScreenRect& symbol, uint8_t kind, uint32_t key = 0) {
    tagMODULEDRAWPOICACHE r{};
    r.textRect = text;
    r.symbolRect = symbol;
    r.kind = kind;
    r.sortKey = key;
    return r;
}

int AddPoi(PoiCache& cache, const ScreenRect& text, const ScreenRect& symbol, uint8_t kind, uint8_t notIndexed = 0,
           uint32_t key = 0, PoiCache::AddCallback cb = nullptr) {
    tagMODULEDRAWPOICACHE r = Poi(text, symbol, kind, key);
    r.notIndexed = notIndexed;
    return cache.Add(r, kind, notIndexed, text, symbol, cb);
}

int Overlaps(const PoiCache& cache, uint8_t kind, const ScreenRect& text, const ScreenRect& symbol, int widen = 0) {
    return cache.Overlaps(kind, text, symbol, widen, nullptr, nullptr);
}

constexpr ScreenRect kNone{-1000, -1000, -1000, -1000};

TEST(DrawCacheTest, GrowsWhenTheNextRecordWouldFillTheArray) {
    PoiCache cache;
    EXPECT_EQ(cache.Capacity(), 32);
    for (int i = 0; i < 31; ++i) ASSERT_EQ(AddPoi(cache, kNone, ScreenRect{i, 0, i, 0}, kPlaceSymbolOnly), 1);
    EXPECT_EQ(cache.Capacity(), 32);
    ASSERT_EQ(AddPoi(cache, kNone, ScreenRect{99, 0, 99, 0}, kPlaceSymbolOnly), 1);
    EXPECT_EQ(cache.Capacity(), 64);
    EXPECT_EQ(cache.Count(), 32);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(cache.At(i).recordIndex, i);
    ThemeCache theme;
    EXPECT_EQ(theme.Capacity(), 93);
}

TEST(DrawCacheTest, KindNamesWhichRectanglesAreIndexedAndTested) {
    PoiCache cache;
    const ScreenRect text{0, 0, 50, 10};
    const ScreenRect symbol{100, 100, 120, 120};
    AddPoi(cache, text, symbol, kPlaceSymbolOnly);
    // The text rectangle of a symbol-only record is not in the trees.
    EXPECT_EQ(Overlaps(cache, kPlaceTextOnly, ScreenRect{10, 2, 20, 8}, kNone), 0);
    EXPECT_EQ(Overlaps(cache, kPlaceSymbolOnly, kNone, ScreenRect{110, 110, 130, 130}), 1);
    // A text-only test with a text box over the placed symbol.
    EXPECT_EQ(Overlaps(cache, kPlaceTextOnly, ScreenRect{119, 119, 200, 200}, kNone), 1);
    // Kind 2 tests both; any other kind nothing.
    EXPECT_EQ(Overlaps(cache, kPlaceSymbolAndText, kNone, ScreenRect{105, 90, 106, 100}), 1);
    EXPECT_EQ(Overlaps(cache, 7, symbol, symbol), 0);
    // A record that is not indexed is stored but never in the way.
    AddPoi(cache, ScreenRect{300, 300, 340, 310}, ScreenRect{300, 300, 310, 310}, kPlaceSymbolAndText, 1);
    EXPECT_EQ(cache.Count(), 2);
    EXPECT_EQ(Overlaps(cache, kPlaceSymbolAndText, ScreenRect{300, 300, 340, 310}, ScreenRect{300, 300, 310, 310}), 0);
    EXPECT_EQ(cache.Pick(305, 305), nullptr);
}

TEST(DrawCacheTest, WidenFlagAddsFourPixels) {
    PoiCache cache;
    AddPoi(cache, kNone, ScreenRect{0, 0, 10, 10}, kPlaceSymbolOnly);
    struct Case {
        int32_t gapPx;
        int widen;
        int overlaps;
    };
    const Case cases[] = {{4, 1, 1}, {5, 1, 0}, {0, 0, 1}, {1, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.gapPx) + " widen " + std::to_string(c.widen));
        const ScreenRect right{10 + c.gapPx, 0, 20 + c.gapPx, 10};
        EXPECT_EQ(Overlaps(cache, kPlaceSymbolOnly, kNone, right, c.widen), c.overlaps);
    }
}

TEST(DrawCacheTest, CopyRebuildsTheTreesAndKeepsTheLargerArray) {
    PoiCache source;
    for (int i = 0; i < 40; ++i) {
        AddPoi(source, ScreenRect{i * 20, 100, i * 20 + 10, 110}, ScreenRect{i * 20, 0, i * 20 + 10, 10},
               i == 0 ? kPlaceSymbolOnly : kPlaceSymbolAndText);
    }
    ASSERT_EQ(source.Capacity(), 64);
    PoiCache fresh;
    fresh = source;
    EXPECT_EQ(fresh.Capacity(), 64);
    EXPECT_EQ(fresh.Count(), 40);
    // Record 0 (symbol only) is found through its symbol, exactly once, and
    // not through its text.
    int hits = 0;
    auto count = [](int32_t data, void* ctx) {
        if (data == 0) ++*static_cast<int*>(ctx);
        return 1;
    };
    fresh.Overlaps(kPlaceSymbolOnly, kNone, ScreenRect{5, 5, 5, 5}, 0, count, &hits);
    EXPECT_EQ(hits, 1);
    EXPECT_EQ(Overlaps(fresh, kPlaceTextOnly, ScreenRect{5, 105, 5, 105}, kNone), 0);
    EXPECT_EQ(Overlaps(fresh, kPlaceTextOnly, ScreenRect{25, 105, 25, 105}, kNone), 1);
    // A larger cache keeps its capacity.
    PoiCache large;
    for (int i = 0; i < 70; ++i) AddPoi(large, kNone, kNone, kPlaceSymbolOnly);
    ASSERT_EQ(large.Capacity(), 96);
    large = source;
    EXPECT_EQ(large.Capacity(), 96);
    EXPECT_EQ(large.Count(), 40);
    EXPECT_EQ(Overlaps(large, kPlaceSymbolOnly, kNone, kNone), 0);  // the old 70 are gone from the trees
    // The copy constructor gives the same cache.
    PoiCache copied(source);
    ASSERT_NE(copied.Pick(25, 5), nullptr);
    EXPECT_EQ(copied.Pick(25, 5)->recordIndex, 1);
}

TEST(DrawCacheTest, ClearKeepsTheArrayReleaseFreesIt) {
    PoiCache cache;
    for (int i = 0; i < 40; ++i) AddPoi(cache, kNone, ScreenRect{0, 0, 5, 5}, kPlaceSymbolOnly);
    cache.Clear();
    EXPECT_EQ(cache.Count(), 0);
    EXPECT_EQ(cache.Capacity(), 64);
    EXPECT_EQ(Overlaps(cache, kPlaceSymbolOnly, kNone, ScreenRect{0, 0, 5, 5}), 0);
    cache.Release();
    EXPECT_EQ(cache.Capacity(), 0);
    EXPECT_EQ(cache.Records(), nullptr);
    // A released cache grows again on the next add.
    ASSERT_EQ(AddPoi(cache, kNone, ScreenRect{0, 0, 5, 5}, kPlaceSymbolOnly), 1);
    EXPECT_EQ(cache.Capacity(), 32);
    EXPECT_NE(cache.Pick(1, 1), nullptr);
}

// The sort callback keeps equal keys in the order they were added, so the
// records and the picture are the same on every run.
TEST(DrawCacheTest, SortedRecordsKeepInsertionOrderForEqualKeys) {
    PoiCache cache;
    const uint32_t keys[] = {5, 1, 5, 0xFFFFFFFFu, 1, 5, 0, 1};
    for (int i = 0; i < 8; ++i) {
        AddPoi(cache, kNone, ScreenRect{i * 10, 0, i * 10 + 5, 5}, kPlaceSymbolOnly, 0, keys[i], SortPoiCacheByKey);
    }
    std::vector<std::pair<uint32_t, int32_t>> order;
    for (int i = 0; i < cache.Count(); ++i) order.emplace_back(cache.At(i).sortKey, cache.At(i).recordIndex);
    const std::vector<std::pair<uint32_t, int32_t>> expected = {{0, 6},  {1, 1},  {1, 4},  {1, 7},
                                                                 {5, 0},  {5, 2},  {5, 5},  {0xFFFFFFFFu, 3}};
    EXPECT_EQ(order, expected);
    // Picks still find each record through its index.
    for (int i = 0; i < 8; ++i) {
        const tagMODULEDRAWPOICACHE* hit = cache.Pick(i * 10 + 2, 2);
        ASSERT_NE(hit, nullptr);
        EXPECT_EQ(hit->recordIndex, i);
    }
}

// Greedy placement as the label passes do it: no two placed boxes overlap,
// and a pick inside every placed symbol finds that record.
TEST(DrawCacheTest, GreedyPlacementNeverOverlapsAndPicksFindWhatWasPlaced) {
    std::mt19937 rng(3);
    std::uniform_int_distribution<int32_t> x(0, 780), y(0, 460), w(6, 60);
    ThemeCache cache;
    std::vector<tagMODULEDRAWTHEMECACHE> placed;
    for (int i = 0; i < 2000; ++i) {
        tagMODULEDRAWTHEMECACHE r{};
        r.symbolRect.left = x(rng);
        r.symbolRect.top = y(rng);
        r.symbolRect.right = r.symbolRect.left + 16;
        r.symbolRect.bottom = r.symbolRect.top + 16;
        r.textRect = ScreenRect{r.symbolRect.right + 2, r.symbolRect.top, r.symbolRect.right + 2 + w(rng),
                                r.symbolRect.top + 12};
        r.kind = kPlaceSymbolAndText;
        r.objectId = 1000 + i;
        if (cache.Overlaps(r.kind, r.textRect, r.symbolRect, 0, nullptr, nullptr)) continue;
        ASSERT_EQ(cache.Add(r, r.kind, 0, r.textRect, r.symbolRect, nullptr), 1);
        placed.push_back(r);
    }
    ASSERT_GT(placed.size(), 50u);
    auto overlap = [](const ScreenRect& a, const ScreenRect& b) {
        return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
    };
    for (size_t i = 0; i < placed.size(); ++i) {
        for (size_t j = i + 1; j < placed.size(); ++j) {
            for (const ScreenRect* a : {&placed[i].textRect, &placed[i].symbolRect}) {
                for (const ScreenRect* b : {&placed[j].textRect, &placed[j].symbolRect}) {
                    ASSERT_FALSE(overlap(*a, *b)) << i << " and " << j;
                }
            }
        }
        const ScreenRect& s = placed[i].symbolRect;
        const tagMODULEDRAWTHEMECACHE* hit = cache.Pick((s.left + s.right) / 2, (s.top + s.bottom) / 2);
        ASSERT_NE(hit, nullptr);
        EXPECT_EQ(hit->objectId, placed[i].objectId);
    }
    EXPECT_EQ(cache.Pick(-50, -50), nullptr);
}

// When the program-wide heap has no room for a larger array, the new record
// is refused and every record placed before stays placed and pickable.
TEST(DrawCacheTest, FailedGrowthKeepsWhatWasPlaced) {
    PoiCache cache;
    for (int i = 0; i < 30; ++i) ASSERT_EQ(AddPoi(cache, kNone, ScreenRect{i * 10, 0, i * 10 + 5, 5}, kPlaceSymbolOnly), 1);
    // Fill the heap so that no 8 KB block is left.
    std::vector<void*> filler;
    for (size_t size = 1 << 20; size >= 1024; size /= 2) {
        while (void* p = MgrAlloc(size)) filler.push_back(p);
    }
    EXPECT_EQ(AddPoi(cache, kNone, ScreenRect{500, 0, 505, 5}, kPlaceSymbolOnly), 1);  // 31st: still room
    EXPECT_EQ(AddPoi(cache, kNone, ScreenRect{600, 0, 605, 5}, kPlaceSymbolOnly), 0);  // would grow
    for (void* p : filler) MgrFree(p);
    EXPECT_EQ(cache.Count(), 31);
    EXPECT_EQ(cache.Capacity(), 32);
    for (int i = 0; i < 30; ++i) {
        const tagMODULEDRAWPOICACHE* hit = cache.Pick(i * 10 + 1, 1);
        ASSERT_NE(hit, nullptr) << i;
        EXPECT_EQ(hit->recordIndex, i);
    }
    EXPECT_EQ(Overlaps(cache, kPlaceSymbolOnly, kNone, ScreenRect{600, 0, 605, 5}), 0);
    // With room again the next add grows the array.
    EXPECT_EQ(AddPoi(cache, kNone, ScreenRect{600, 0, 605, 5}, kPlaceSymbolOnly), 1);
    EXPECT_EQ(cache.Capacity(), 64);
}

}  // namespace
