// The cached family of tiled map files: blocks as cache entries, a second
// read of a tile served from the cache, failed reads never cached.
#include "mapdb/cache_map_file.h"

#include <gtest/gtest.h>

#include "mapdb/block_view.h"
#include "platform/file_io.h"
#include "support/temp_dir.h"
#include "tools/writers/map_container_writer.h"

namespace {

class TestCacheFile : public CMneCacheMapFile {
public:
    // Refuses blocks that start with the byte 0xEE; counts the blocks read.
    int FixupBlock(const uint8_t* data, uint32_t size) override {
        ++reads;
        return size == 0 || data[0] != 0xEE ? 1 : 0;
    }
    int reads = 0;
};

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

class CacheMapFileTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        arena = CreateSharedBlock(std::string_view("MAPDBTESTCACHE"), 1024, 1 << 20, 0);
        ASSERT_NE(arena, nullptr);
    }
    void TearDown() override { EXPECT_EQ(DestroySharedBlock(arena), 1); }
    MgrSharedBlock* arena = nullptr;
    testsupport::TempDir dir;
};

TEST_P(CacheMapFileTest, SameTileTwiceHitsTheCacheOnEveryLevel) {
    writers::MapContainerWriter w(GetParam());
    const MneTileKey tiles[] = {{1, 300, 70000 % 65536}, {2, 9, 9}, {3, 2047, 0}, {4, 1, 2}, {5, 63, 63}, {6, 0, 5}};
    for (const auto& t : tiles) w.AddBlock(t.level, t.x, t.y, Bytes("block L" + std::to_string(t.level)));
    ASSERT_TRUE(w.WriteFile(dir.File("c.map")));

    TestCacheFile a, b;
    ASSERT_EQ(a.Open(dir.File("c.map")), 1);
    ASSERT_EQ(b.Open(dir.File("c.map")), 1);
    ASSERT_EQ(a.AttachCache(arena, 1), 1);
    ASSERT_EQ(b.AttachCache(arena, 2), 1);  // two files on one arena
    for (const auto& t : tiles) {
        SCOPED_TRACE(t.level);
        const std::string want = "block L" + std::to_string(t.level);
        int fromCache = -1;
        uint32_t size = 0;
        const uint8_t* first = a.GetBlock(t, &fromCache, &size);
        ASSERT_NE(first, nullptr) << MneMapErrorText(a.LastError());
        EXPECT_EQ(fromCache, 0);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(first), size), want);
        const uint8_t* second = a.GetBlock(t, &fromCache, &size);
        EXPECT_EQ(fromCache, 1);
        EXPECT_EQ(second, first);
        // The other file's cache id keeps its entries apart.
        EXPECT_NE(b.GetBlock(t, &fromCache), nullptr);
        EXPECT_EQ(fromCache, 0);
        a.ReleaseBlock(t);
        a.ReleaseBlock(t);
        b.ReleaseBlock(t);
    }
    EXPECT_EQ(a.reads, 6);
    EXPECT_EQ(a.Cache().GetEntryCount(), 6);
    EXPECT_EQ(a.DetachCache(), arena);
    EXPECT_EQ(b.DetachCache(), arena);
}

// The header's largest block size sizes the non-cached buffer only; a
// cache entry takes the block's own size.
TEST_P(CacheMapFileTest, BlocksLargerThanTheHeaderSaysAreRead) {
    writers::MapContainerWriter w(GetParam());
    w.AddBlock(6, 1, 2, Bytes("twelve bytes"));
    std::vector<uint8_t> bytes = w.Build();
    bytes[1] = 4;  // largest unpacked block: 4 bytes
    bytes[2] = bytes[3] = bytes[4] = 0;
    ASSERT_TRUE(platform::AtomicReplaceFile(dir.File("s.map"), bytes));
    TestCacheFile f;
    ASSERT_EQ(f.Open(dir.File("s.map")), 1);
    ASSERT_EQ(f.AttachCache(arena, 3), 1);
    uint32_t size = 0;
    const uint8_t* block = f.GetBlock({6, 1, 2}, nullptr, &size);
    ASSERT_NE(block, nullptr) << MneMapErrorText(f.LastError());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block), size), "twelve bytes");
    f.ReleaseBlock({6, 1, 2});
    f.DetachCache();
}

INSTANTIATE_TEST_SUITE_P(PlainAndPacked, CacheMapFileTest, ::testing::Bool());

TEST_F(CacheMapFileTest, FailedReadIsNeverServedFromTheCache) {
    writers::MapContainerWriter w(true);
    w.AddBlock(6, 1, 1, {0xEE, 1, 2, 3});  // refused by the block's own check
    w.AddBlock(6, 2, 1, Bytes("good"));
    std::vector<uint8_t> bytes = w.Build();
    ASSERT_TRUE(platform::AtomicReplaceFile(dir.File("f.map"), bytes));
    TestCacheFile f;
    ASSERT_EQ(f.Open(dir.File("f.map")), 1);
    ASSERT_EQ(f.AttachCache(arena, 7), 1);
    for (int attempt = 0; attempt < 2; ++attempt) {
        int fromCache = -1;
        EXPECT_EQ(f.GetBlock({6, 1, 1}, &fromCache), nullptr);
        EXPECT_EQ(f.LastError(), MneMapError::kBadBlockContent);
    }
    EXPECT_EQ(f.reads, 2);  // read again each time, never a cached failure
    EXPECT_EQ(f.Cache().GetEntryCount(), 0);
    EXPECT_NE(f.QueryBlock({6, 2, 1}), nullptr);
    f.ReleaseBlock({6, 2, 1});
    EXPECT_EQ(f.GetBlock({6, 3, 3}, nullptr), nullptr);
    EXPECT_EQ(f.LastError(), MneMapError::kNoBlock);
    f.DetachCache();
}

TEST_F(CacheMapFileTest, DamagedPackedBlockLeavesNoEntry) {
    writers::MapContainerWriter w(true);
    w.AddBlock(5, 3, 4, std::vector<uint8_t>(500, 'z'));
    std::vector<uint8_t> bytes = w.Build();
    bytes[bytes.size() - 1] ^= 0xFF;  // checksum
    ASSERT_TRUE(platform::AtomicReplaceFile(dir.File("p.map"), bytes));
    TestCacheFile f;
    ASSERT_EQ(f.Open(dir.File("p.map")), 1);
    ASSERT_EQ(f.AttachCache(arena, 1), 1);
    EXPECT_EQ(f.GetBlock({5, 3, 4}, nullptr), nullptr);
    EXPECT_EQ(f.LastError(), MneMapError::kInflateFailed);
    EXPECT_EQ(f.Cache().GetEntryCount(), 0);
    f.DetachCache();
}

TEST_F(CacheMapFileTest, NoCacheNoBlock) {
    writers::MapContainerWriter w(false);
    w.AddBlock(6, 0, 0, Bytes("x"));
    ASSERT_TRUE(w.WriteFile(dir.File("n.map")));
    TestCacheFile f;
    ASSERT_EQ(f.Open(dir.File("n.map")), 1);
    EXPECT_EQ(f.GetBlock({6, 0, 0}, nullptr), nullptr);
    EXPECT_EQ(f.LastError(), MneMapError::kNoBuffer);
}

}  // namespace
