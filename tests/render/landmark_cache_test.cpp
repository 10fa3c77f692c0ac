// The landmark image cache: a key is read from the file once and served
// from memory afterwards, a failed read leaves nothing behind, and a held
// image survives the cache's need for room until it has been drawn.
#include "render/landmark_cache.h"

#include <gtest/gtest.h>

#include <thread>

#include "foundation/memory_heap.h"
#include "platform/clock.h"
#include "platform/file_io.h"
#include "support/temp_dir.h"

namespace {

constexpr uint32_t kImageBytes = 3000;

// Image k of the file: kImageBytes bytes of the value k + 1.
std::vector<uint8_t> Images(int count) {
    std::vector<uint8_t> bytes;
    for (int k = 0; k < count; ++k) bytes.insert(bytes.end(), kImageBytes, static_cast<uint8_t>(k + 1));
    return bytes;
}

bool IsImage(const uint8_t* p, int k) {
    for (uint32_t i = 0; i < kImageBytes; ++i)
        if (p[i] != static_cast<uint8_t>(k + 1)) return false;
    return true;
}

class LandmarkCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::AtomicReplaceFile(Path(), Images(12)));
        // Room for about five images.
        arena = CreateSharedBlock(std::string_view("LMCACHETEST"), 1024, 16384, 0);
        ASSERT_NE(arena, nullptr);
    }
    void TearDown() override {
        cache.Close();
        cache.Detach();
        DestroySharedBlock(arena);
    }
    std::string Path() const { return dir.File("LandMarkImage.dat"); }
    const uint8_t* Fetch(int k, int* hit, StyleImageHold* hold) {
        return cache.Fetch(static_cast<uint32_t>(k), kImageBytes, static_cast<uint32_t>(k) * kImageBytes, hit, 1, hold);
    }

    platform::FakeClock clock{50000};
    platform::ScopedClock useClock{clock};
    testsupport::TempDir dir;
    MgrSharedBlock* arena = nullptr;
    CLandMarkCache cache;
};

}  // namespace

TEST_F(LandmarkCacheTest, SecondFetchIsServedFromMemory) {
    ASSERT_EQ(cache.Open(Path()), 1);
    ASSERT_EQ(cache.Attach(arena), 1);
    int hit = -1;
    {
        StyleImageHold hold;
        const uint8_t* p = Fetch(3, &hit, &hold);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(hit, 0);
        EXPECT_TRUE(IsImage(p, 3));
    }
    // The file changes under the cache: the cached bytes are served.
    ASSERT_TRUE(platform::AtomicReplaceFile(Path(), std::vector<uint8_t>(12 * kImageBytes, 0xEE)));
    StyleImageHold hold;
    const uint8_t* p = Fetch(3, &hit, &hold);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(hit, 1);
    EXPECT_TRUE(IsImage(p, 3));
    EXPECT_EQ(cache.EntryCount(), 1);
}

TEST_F(LandmarkCacheTest, NothingBeforeAttachOrAfterClose) {
    int hit = -1;
    EXPECT_EQ(Fetch(0, &hit, nullptr), nullptr);   // neither open nor attached
    ASSERT_EQ(cache.Open(Path()), 1);
    EXPECT_EQ(Fetch(0, &hit, nullptr), nullptr);   // not attached
    EXPECT_EQ(hit, 0);
    ASSERT_EQ(cache.Attach(arena), 1);
    EXPECT_EQ(cache.Fetch(0, 0, 0, &hit, 1), nullptr);   // nothing to read
    ASSERT_EQ(cache.Close(), 1);
    EXPECT_EQ(Fetch(0, &hit, nullptr), nullptr);
    EXPECT_EQ(cache.Open(dir.File("missing.dat")), 0);
}

TEST_F(LandmarkCacheTest, AFailedReadLeavesNoEntry) {
    ASSERT_EQ(cache.Open(Path()), 1);
    ASSERT_EQ(cache.Attach(arena), 1);
    int hit = -1;
    // Image 12 lies past the end of the file.
    EXPECT_EQ(Fetch(12, &hit, nullptr), nullptr);
    EXPECT_EQ(hit, 0);
    EXPECT_EQ(cache.EntryCount(), 0);
    // Once the file holds it, the next fetch reads it instead of serving
    // bytes that were never read.
    ASSERT_TRUE(platform::AtomicReplaceFile(Path(), Images(13)));
    ASSERT_EQ(cache.Open(Path()), 1);
    StyleImageHold hold;
    const uint8_t* p = Fetch(12, &hit, &hold);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(hit, 0);
    EXPECT_TRUE(IsImage(p, 12));
}

TEST_F(LandmarkCacheTest, AHeldImageIsNotReusedUntilDrawn) {
    ASSERT_EQ(cache.Open(Path()), 1);
    ASSERT_EQ(cache.Attach(arena), 1);
    int hit = -1;
    StyleImageHold held;
    const uint8_t* first = Fetch(0, &hit, &held);
    ASSERT_NE(first, nullptr);
    // Many other images pass through while the first is still to be drawn;
    // each is given back at once and ages out.
    for (int k = 1; k < 12; ++k) {
        clock.Advance(3000);
        StyleImageHold passing;
        ASSERT_NE(Fetch(k, &hit, &passing), nullptr) << k;
    }
    EXPECT_TRUE(IsImage(first, 0));
    // Given back, it ages out and makes room like the others.
    held.Reset();
    EXPECT_FALSE(held.Holds());
    for (int k = 1; k < 12; ++k) {
        clock.Advance(3000);
        StyleImageHold passing;
        ASSERT_NE(Fetch(k, &hit, &passing), nullptr) << k;
    }
    StyleImageHold again;
    ASSERT_NE(Fetch(0, &hit, &again), nullptr);
    EXPECT_EQ(hit, 0);   // read afresh: the entry was reused meanwhile
}

TEST_F(LandmarkCacheTest, FetchesFromSeveralThreadsReadEachImageWhole) {
    ASSERT_EQ(cache.Open(Path()), 1);
    ASSERT_EQ(cache.Attach(arena), 1);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 200; ++round) {
                const int k = (round + t) % 4;   // four images fit at once
                int hit = 0;
                StyleImageHold hold;
                const uint8_t* p = Fetch(k, &hit, &hold);
                if (!p || !IsImage(p, k)) wrong.fetch_add(1);
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_LE(cache.EntryCount(), 4);
}
