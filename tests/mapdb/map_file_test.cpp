// Tiled map files: header, block location on every level, plain and packed
// blocks, the non-cached buffer and the refusal of damaged files.
#include "mapdb/map_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "mapdb/block_view.h"
#include "platform/byte_cursor.h"
#include "support/temp_dir.h"
#include "tools/writers/map_container_writer.h"

namespace {

// A block as the tests store it: u32 offset of a text, then the text. The
// fix-up refuses a block whose offset points outside it.
std::vector<uint8_t> TextBlock(const std::string& text) {
    platform::ByteWriter w;
    w.U32(4);
    w.Bytes(text.data(), text.size());
    return w.Data();
}

std::string BlockText(const uint8_t* data, uint32_t size) {
    MneBlockView view(data, size);
    platform::ByteReader in = view.Reader(0);
    const uint32_t at = in.U32();
    const uint8_t* text = view.Resolve(at, size - at);
    return text ? std::string(reinterpret_cast<const char*>(text), size - at) : "<bad>";
}

class TestNonCacheFile : public CMneNonCacheMapFile {
public:
    const uint8_t* QueryBlock(const MneTileKey&) override { return nullptr; }
    const uint8_t* GetBlock(const MneTileKey&, int*) override { return nullptr; }
    int FixupBlock(const uint8_t* data, uint32_t size) override {
        ++fixups;
        if (size == 0) return 1;
        platform::ByteReader in(data, size);
        const uint32_t at = in.U32();
        return in.Ok() && at <= size ? 1 : 0;
    }
    int fixups = 0;
};

std::string Load(TestNonCacheFile& f, MneTileKey key) {
    uint32_t size = 0;
    const uint8_t* data = f.LoadBlock(key, 1, &size);
    return data ? BlockText(data, size) : "<none>";
}

TEST(MapFileBytes, PlainWriterMatchesHandComputedBytes) {
    writers::MapContainerWriter w(false);
    w.AddBlock(6, 1, 0, {0xAA, 0xBB});
    const std::vector<uint8_t> bytes = w.Build();
    // header 125 bytes, level-6 table 8 x 8 x 8 = 512 bytes at 125, block at 637
    ASSERT_EQ(bytes.size(), 639u);
    const std::vector<uint8_t> head = {0x00, 0x02, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 5), head);
    const std::vector<uint8_t> level6 = {0x7D, 0x00, 0x00, 0x00};  // 125
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 25, bytes.begin() + 29), level6);
    EXPECT_EQ(bytes[5], 0);  // level 1 absent
    // entry (1, 0) is the second: {637, 2}
    const std::vector<uint8_t> entry = {0x7D, 0x02, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 133, bytes.begin() + 141), entry);
    EXPECT_EQ(bytes[637], 0xAA);
    EXPECT_EQ(bytes[638], 0xBB);
}

TEST(MapFileBytes, PackedHeaderCarriesLargestPackedSize) {
    writers::MapContainerWriter w(true);
    w.AddBlock(5, 0, 0, std::vector<uint8_t>(1000, 7));
    const std::vector<uint8_t> bytes = w.Build();
    platform::ByteReader in(bytes);
    EXPECT_EQ(in.U8(), 2);
    EXPECT_EQ(in.U32(), 1000u);
    const uint32_t packed = in.U32();
    EXPECT_GT(packed, 0u);
    EXPECT_LT(packed, 1000u);
    for (int level = 1; level <= 4; ++level) EXPECT_EQ(in.U32(), 0u);
    EXPECT_EQ(in.U32(), 129u);  // level 5 right after the 129-byte header
    // entry (0, 0) of level 5: {offset, 1000, packed}
    in.Seek(129);
    EXPECT_EQ(in.U32(), 129u + 64 * 64 * 12);
    EXPECT_EQ(in.U32(), 1000u);
    EXPECT_EQ(in.U32(), packed);
}

struct TileCase {
    MneTileKey key;
    const char* text;
};

// One tile per level, chosen so that levels 1-3 use the top index away
// from group 0 and the sub-table entry away from entry 0.
const TileCase kTiles[] = {
    {{1, 40000, 1234}, "level one"},       {{1, 40001, 1234}, "level one, next"},
    {{2, 16383, 16383}, "level two corner"}, {{3, 1033, 517}, "level three"},
    {{4, 255, 0}, "level four"},           {{5, 17, 63}, "level five"},
    {{6, 7, 7}, "level six"},
};

class MapFileRoundTrip : public ::testing::TestWithParam<bool> {};

TEST_P(MapFileRoundTrip, EveryLevelReadsBack) {
    const bool packed = GetParam();
    testsupport::TempDir dir;
    writers::MapContainerWriter w(packed);
    for (const auto& t : kTiles) w.AddBlock(t.key.level, t.key.x, t.key.y, TextBlock(t.text));
    w.AddBlock(4, 3, 3, {});  // an empty block is a block
    ASSERT_TRUE(w.WriteFile(dir.File("t.map")));

    TestNonCacheFile f;
    ASSERT_EQ(f.Open(dir.File("t.map")), 1) << MneMapErrorText(f.LastError());
    EXPECT_EQ(f.IsPacked(), packed);
    ASSERT_EQ(f.AttachBuffer(3, 1), 1);
    for (const auto& t : kTiles) {
        SCOPED_TRACE(t.text);
        EXPECT_EQ(Load(f, t.key), t.text);
    }
    uint32_t size = 99;
    EXPECT_NE(f.LoadBlock({4, 3, 3}, 1, &size), nullptr);
    EXPECT_EQ(size, 0u);

    // Neighbours without blocks, absent levels and levels outside 1..6.
    struct Miss {
        MneTileKey key;
        MneMapError error;
    } misses[] = {
        {{1, 40002, 1234}, MneMapError::kNoBlock},   // same sub-table, empty entry
        {{1, 0, 0}, MneMapError::kNoBlock},          // top index value 0
        {{6, 0, 0}, MneMapError::kNoBlock},
        {{0, 0, 0}, MneMapError::kBadLevel},
        {{7, 0, 0}, MneMapError::kBadLevel},
        {{1, 65536, 0}, MneMapError::kTileOutOfRange},
        {{6, 0, -1}, MneMapError::kTileOutOfRange},
    };
    for (const auto& m : misses) {
        SCOPED_TRACE(testing::Message() << m.key.level << "/" << m.key.x << "/" << m.key.y);
        EXPECT_EQ(f.LoadBlock(m.key, 1), nullptr);
        EXPECT_EQ(f.LastError(), m.error) << MneMapErrorText(f.LastError());
    }
}

INSTANTIATE_TEST_SUITE_P(PlainAndPacked, MapFileRoundTrip, ::testing::Bool());

TEST(MapFile, EmptyTopIndexAndMissingLevels) {
    testsupport::TempDir dir;
    writers::MapContainerWriter w(true);
    w.AddEmptyLevel(2);
    ASSERT_TRUE(w.WriteFile(dir.File("e.map")));
    TestNonCacheFile f;
    ASSERT_EQ(f.Open(dir.File("e.map")), 1);
    EXPECT_EQ(f.LevelTableOffset(2), 129u);
    EXPECT_EQ(f.LevelTableOffset(1), 0u);
    for (int x : {0, 100, 16383}) {
        EXPECT_EQ(f.LocateBlock({2, x, x}, nullptr, nullptr, nullptr), 0);
        EXPECT_EQ(f.LastError(), MneMapError::kNoBlock);
    }
    EXPECT_EQ(f.LocateBlock({1, 0, 0}, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(f.LastError(), MneMapError::kBadLevel);
}

TEST(MapFile, SameKeyTwiceReadsTheFileOnce) {
    testsupport::TempDir dir;
    writers::MapContainerWriter w(false);
    w.AddBlock(5, 1, 1, TextBlock("first"));
    w.AddBlock(5, 2, 1, TextBlock("second"));
    ASSERT_TRUE(w.WriteFile(dir.File("s.map")));
    TestNonCacheFile f;
    ASSERT_EQ(f.Open(dir.File("s.map")), 1);
    ASSERT_EQ(f.AttachBuffer(4, 1), 1);
    EXPECT_EQ(Load(f, {5, 1, 1}), "first");
    EXPECT_EQ(Load(f, {5, 1, 1}), "first");
    EXPECT_EQ(f.fixups, 1);
    EXPECT_EQ(Load(f, {5, 2, 1}), "second");
    EXPECT_EQ(Load(f, {5, 1, 1}), "first");
    EXPECT_EQ(f.fixups, 3);
}

TEST(MapFile, NoBufferNoBlock) {
    testsupport::TempDir dir;
    writers::MapContainerWriter w(false);
    w.AddBlock(6, 0, 0, TextBlock("x"));
    ASSERT_TRUE(w.WriteFile(dir.File("n.map")));
    TestNonCacheFile f;
    EXPECT_EQ(f.AttachBuffer(1, 1), 0);  // not open
    ASSERT_EQ(f.Open(dir.File("n.map")), 1);
    EXPECT_EQ(f.LoadBlock({6, 0, 0}, 1), nullptr);
    EXPECT_EQ(f.LastError(), MneMapError::kNoBuffer);
    ASSERT_EQ(f.AttachBuffer(1, 1), 1);
    EXPECT_EQ(Load(f, {6, 0, 0}), "x");
    EXPECT_EQ(f.ReleaseBuffer(1), 1);
    EXPECT_EQ(f.LoadBlock({6, 0, 0}, 1), nullptr);
}

TEST(MapFile, BufferFromAnArena) {
    testsupport::TempDir dir;
    writers::MapContainerWriter w(true);
    w.AddBlock(6, 0, 0, TextBlock(std::string(3000, 'q')));
    ASSERT_TRUE(w.WriteFile(dir.File("a.map")));
    MgrSharedBlock* small = CreateSharedBlock(std::string_view("MAPDBTINY"), 32, 1024, 0);
    MgrSharedBlock* big = CreateSharedBlock(std::string_view("MAPDBBIG"), 1024, 65536, 0);
    ASSERT_NE(small, nullptr);
    ASSERT_NE(big, nullptr);
    {
        TestNonCacheFile f;
        ASSERT_EQ(f.Open(dir.File("a.map")), 1);
        EXPECT_EQ(f.AttachBuffer(small, 3, 1), 0);  // the arena is full
        EXPECT_EQ(f.LastError(), MneMapError::kNoBuffer);
        ASSERT_EQ(f.AttachBuffer(big, 3, 1), 1);
        EXPECT_EQ(Load(f, {6, 0, 0}), std::string(3000, 'q'));
        EXPECT_EQ(DestroySharedBlock(big), 0);  // still in use
    }
    EXPECT_EQ(DestroySharedBlock(big), 1);  // the destructor gave the buffer back
    EXPECT_EQ(DestroySharedBlock(small), 1);
}

TEST(MapFile, SharedInflateBufferGrowsAndIsFreedWithTheLastPackedFile) {
    testsupport::TempDir dir;
    writers::MapContainerWriter small(true), large(true);
    small.AddBlock(6, 0, 0, TextBlock("small"));
    std::string noise;
    for (int i = 0; i < 5000; ++i) noise += static_cast<char>('a' + (i * 7919 % 26));
    large.AddBlock(6, 0, 0, TextBlock(noise));
    ASSERT_TRUE(small.WriteFile(dir.File("small.map")));
    ASSERT_TRUE(large.WriteFile(dir.File("large.map")));
    const int before = MneOpenPackedFileCount();
    {
        TestNonCacheFile a, b;
        ASSERT_EQ(a.Open(dir.File("small.map")), 1);
        const uint32_t afterSmall = MneSharedInflateBufferSize();
        EXPECT_GE(afterSmall, a.LargestPackedSize());
        ASSERT_EQ(b.Open(dir.File("large.map")), 1);
        EXPECT_GE(MneSharedInflateBufferSize(), b.LargestPackedSize());
        EXPECT_GT(b.LargestPackedSize(), a.LargestPackedSize());
        EXPECT_EQ(MneOpenPackedFileCount(), before + 2);
        ASSERT_EQ(a.AttachBuffer(1, 1), 1);
        EXPECT_EQ(Load(a, {6, 0, 0}), "small");
    }
    EXPECT_EQ(MneOpenPackedFileCount(), before);
    if (before == 0) {
        EXPECT_EQ(MneSharedInflateBufferSize(), 0u);
    }
}

// ---------------------------------------------------------------- damage

std::vector<uint8_t> GoodFile(bool packed) {
    writers::MapContainerWriter w(packed);
    w.AddBlock(6, 2, 3, TextBlock("payload payload payload"));
    return w.Build();
}

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

struct Damage {
    const char* name;
    bool packed;
    void (*apply)(std::vector<uint8_t>&);
    bool opens;
    MneMapError error;  // of Open, or of the block load when it opens
};

// Positions for tile (6, 2, 3): entry number 3 x 8 + 2 = 26.
size_t EntryAt(bool packed) { return (packed ? 129 : 125) + 26 * (packed ? 12 : 8); }

const Damage kDamage[] = {
    {"empty file", false, [](std::vector<uint8_t>& b) { b.clear(); }, false, MneMapError::kHeaderTruncated},
    {"header cut", false, [](std::vector<uint8_t>& b) { b.resize(100); }, false, MneMapError::kHeaderTruncated},
    {"packed header cut", true, [](std::vector<uint8_t>& b) { b.resize(127); }, false,
     MneMapError::kHeaderTruncated},
    {"largest size absurd", false, [](std::vector<uint8_t>& b) { PutU32(b, 1, 0xFFFFFFF0u); }, false,
     MneMapError::kHeaderBadSize},
    {"largest packed size absurd", true, [](std::vector<uint8_t>& b) { PutU32(b, 5, 0x7FFFFFFFu); }, false,
     MneMapError::kHeaderBadSize},
    {"level table past the end", false, [](std::vector<uint8_t>& b) { PutU32(b, 25, 0xFFFFFF00u); }, false,
     MneMapError::kLevelTableOutside},
    {"table cut off", false, [](std::vector<uint8_t>& b) { b.resize(400); }, false,
     MneMapError::kLevelTableOutside},
    {"block offset past the end", false, [](std::vector<uint8_t>& b) { PutU32(b, EntryAt(false), 0x10000000u); },
     true, MneMapError::kBlockOutside},
    {"block size past the end", false,
     [](std::vector<uint8_t>& b) {
         PutU32(b, 1, 600);
         PutU32(b, EntryAt(false) + 4, 600);
     },
     true, MneMapError::kBlockOutside},
    {"block larger than the header's largest", false,
     [](std::vector<uint8_t>& b) { PutU32(b, 1, 20); }, true, MneMapError::kBlockTooLarge},
    {"unpacked size larger than largest", true, [](std::vector<uint8_t>& b) { PutU32(b, EntryAt(true) + 4, 9999); },
     true, MneMapError::kBlockTooLarge},
    {"stated size shorter than the inflated data", true,
     [](std::vector<uint8_t>& b) { PutU32(b, EntryAt(true) + 4, 10); }, true, MneMapError::kInflateSizeMismatch},
    {"stated size longer than the inflated data", true,
     [](std::vector<uint8_t>& b) {
         PutU32(b, 1, 40);
         PutU32(b, EntryAt(true) + 4, 40);
     },
     true, MneMapError::kInflateSizeMismatch},
    {"packed checksum damaged", true, [](std::vector<uint8_t>& b) { b[b.size() - 2] ^= 0x5A; }, true,
     MneMapError::kInflateFailed},
    {"block offset refused by its own check", false, [](std::vector<uint8_t>& b) { PutU32(b, b.size() - 27, 999); },
     true, MneMapError::kBadBlockContent},
};

TEST(MapFileDamage, DamagedFilesAndBlocksAreRefused) {
    testsupport::TempDir dir;
    for (const auto& d : kDamage) {
        SCOPED_TRACE(d.name);
        std::vector<uint8_t> bytes = GoodFile(d.packed);
        d.apply(bytes);
        ASSERT_TRUE(platform::AtomicReplaceFile(dir.File("d.map"), bytes));
        TestNonCacheFile f;
        const int opened = f.Open(dir.File("d.map"));
        ASSERT_EQ(opened, d.opens ? 1 : 0) << MneMapErrorText(f.LastError());
        if (!d.opens) {
            EXPECT_EQ(f.LastError(), d.error) << MneMapErrorText(f.LastError());
            EXPECT_FALSE(f.IsOpen());
            continue;
        }
        ASSERT_EQ(f.AttachBuffer(1, 1), 1);
        EXPECT_EQ(f.LoadBlock({6, 2, 3}, 1), nullptr);
        EXPECT_EQ(f.LastError(), d.error) << MneMapErrorText(f.LastError());
        // A failed load leaves nothing remembered: the next one fails again.
        EXPECT_EQ(f.LoadBlock({6, 2, 3}, 1), nullptr);
    }
}

TEST(MapFile, MissingFileFailsOpen) {
    TestNonCacheFile f;
    EXPECT_EQ(f.Open("/nonexistent/map/file.map"), 0);
    EXPECT_EQ(f.LastError(), MneMapError::kOpenFailed);
}

// Several threads share one non-cached file: each copies its block out under
// the file lock, so no thread sees another thread's block.
TEST(MapFileThreads, CopiesOutOfTheSharedBufferStayIntact) {
    testsupport::TempDir dir;
    writers::MapContainerWriter w(true);
    for (int x = 0; x < 8; ++x) w.AddBlock(6, x, 0, TextBlock(std::string(100 + x * 10, static_cast<char>('A' + x))));
    ASSERT_TRUE(w.WriteFile(dir.File("m.map")));
    TestNonCacheFile f;
    ASSERT_EQ(f.Open(dir.File("m.map")), 1);
    ASSERT_EQ(f.AttachBuffer(1, 1), 1);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            std::vector<uint8_t> copy;
            for (int i = 0; i < 200; ++i) {
                const int x = (i + t) % 8;
                if (!f.LoadBlockCopy({6, x, 0}, copy) ||
                    BlockText(copy.data(), copy.size()) != std::string(100 + x * 10, static_cast<char>('A' + x)))
                    ++wrong;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
