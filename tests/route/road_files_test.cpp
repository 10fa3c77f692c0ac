// Road.ndb and RoadIdx.ndb: records written by the writer and read back
// through the road-data manager, block ranges, the block cache and damaged
// files.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <functional>
#include <vector>

#include "platform/byte_cursor.h"
#include "platform/paths.h"
#include "route/road_data.h"
#include "support/temp_dir.h"
#include "tools/writers/route_data_writer.h"

namespace {

using writers::RoadConnectionSpec;
using writers::RoadLinkSpec;

constexpr size_t kEntryBytes = kNcBlockBytes + NcCacheData::kHeaderBytes;  // one pool entry

// A link with every field set to something recognisable.
RoadLinkSpec FullLink() {
    RoadLinkSpec l;
    l.lengthM = 1000;
    l.lanesBothDirections = true;
    l.networkLevel = 2;
    l.kind = 6;
    l.roadClass = 3;
    l.linkType = 3;
    l.lanes = 4;
    l.speedCode = 5;
    l.closedReversed = true;
    l.trafficStored = 0x123456;
    l.trafficReversed = 0x00ABCD;
    l.tollRoad = true;
    l.first = {100, -2};
    l.second = {300, 400};
    l.atSecond = {{7, true, 19, true}, {0x12345, false, 10, false}};
    return l;
}

TEST(RoadRecordWriter, BytesByHand) {
    const std::vector<uint8_t> r = writers::EncodeRoadRecord(FullLink());
    ASSERT_EQ(r.size(), 154u);
    auto at = [&](size_t o, std::vector<uint8_t> bytes) {
        SCOPED_TRACE(o);
        EXPECT_EQ(std::vector<uint8_t>(r.begin() + o, r.begin() + o + bytes.size()), bytes);
    };
    at(0, {0xD1, 0x07, 0x00});              // 1 | 1000 << 1 = 0x7D1
    at(3, {0x00, 0x02});                    // network level in the high byte
    at(5, {0x06, 0x30, 0x43, 0x45});        // 6 | 3<<12 | 3<<16 | 4<<20 | 5<<24 | 1<<30
    at(15, {0x56, 0x34, 0x12, 0xCD, 0xAB, 0x00});
    at(30, {0x00, 0x80});                   // toll road
    at(32, {0x64, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF});
    at(51, {0x01});                         // only the first turn of run 1
    at(55, {0x00});
    at(56, {0, 0, 0, 0x20,                  // run 1: two entries
            0x13, 0x07, 0x00, 0x80,         // code 19, link 7, reversed
            0x0A, 0x45, 0x23, 0x01,         // code 10, link 0x12345
            0, 0, 0, 0});                   // run 2: empty
    EXPECT_TRUE(writers::EncodeRoadRecord([] {
                    RoadLinkSpec l;
                    l.atFirst.resize(9);
                    return l;
                }()).empty());
}

// Files in a temporary root and a manager over owned memory.
class RoadFilesTest : public ::testing::Test {
protected:
    void Write(const writers::RoadFiles& f) {
        dir.Write("Map/Road.ndb", std::string(f.road.begin(), f.road.end()));
        dir.Write("Map/RoadIdx.ndb", std::string(f.index.begin(), f.index.end()));
    }
    void WriteLinks(const std::vector<RoadLinkSpec>& links, const std::vector<uint8_t>& trailer = {}) {
        writers::RoadFiles f;
        ASSERT_TRUE(writers::BuildRoadFiles(links, &f, trailer));
        files = f;
        Write(f);
    }
    int Open(size_t bytes = 4 * kEntryBytes) {
        memory.assign(bytes, 0);
        return dal.OpenAt(dir.Path(), memory.data(), memory.size());
    }
    // Links 0..n-1 whose length is their index, so a wrong record shows.
    static std::vector<RoadLinkSpec> Numbered(uint32_t n) {
        std::vector<RoadLinkSpec> links(n);
        for (uint32_t i = 0; i < n; ++i) {
            links[i].lengthM = i;
            links[i].first = {static_cast<int32_t>(i), 0};
        }
        return links;
    }

    testsupport::TempDir dir;
    std::vector<uint8_t> memory;
    writers::RoadFiles files;
    NcDALManager dal;
};

TEST_F(RoadFilesTest, EveryFieldInBothDirections) {
    std::vector<RoadLinkSpec> links = Numbered(3);
    links[1] = FullLink();
    links[1].atFirst = {{2, false, 13, true}};
    WriteLinks(links);
    ASSERT_EQ(Open(), 1);
    ASSERT_EQ(dal.GetLinkCount(), 3u);

    ASSERT_EQ(dal.LoadLink(0, 1), 1);
    NcLinkSummary s = dal.GetSummary(0);
    EXPECT_EQ(s.linkId, 1u);
    EXPECT_EQ(s.lengthM, 1000u);
    EXPECT_EQ(s.lanesBothDirections, 1);
    EXPECT_EQ(s.networkLevel, 2);
    EXPECT_EQ(s.kind, 6);
    EXPECT_EQ(s.roadClass, 3);
    EXPECT_EQ(s.linkType, 3);
    EXPECT_EQ(s.lanes, 4);
    EXPECT_EQ(dal.GetSpeedCode(0), 5);
    EXPECT_EQ(s.speedLimitKmh, 50);
    EXPECT_EQ(s.closed, 0);
    EXPECT_EQ(s.trafficId, 0x123456u);
    EXPECT_EQ(dal.View(0).GetTollFlag(), 1);
    EXPECT_EQ(s.start, (MapPoint{100, -2}));
    EXPECT_EQ(s.end, (MapPoint{300, 400}));
    EXPECT_EQ(dal.View(0).GetMaskBitCount(0), 1);

    const NcConnection* c = nullptr;
    ASSERT_EQ(dal.GetConnections(0, &c), 2);
    EXPECT_EQ(c[0].linkId, 7 | 0x8000000);
    EXPECT_EQ(c[0].code, 19);
    EXPECT_EQ(c[0].allowed, 1);
    EXPECT_EQ(c[0].direction, 1);
    EXPECT_EQ(c[1].linkId, 0x12345);
    EXPECT_EQ(c[1].allowed, 0);
    // Arriving at the end: the same links read the other way.
    ASSERT_EQ(dal.GetConnectionList(0, NcDALManager::ListAt::kEndArriving, &c), 2);
    EXPECT_EQ(c[0].linkId, 7);
    EXPECT_EQ(c[0].allowed, -1);
    ASSERT_EQ(dal.GetConnectionList(0, NcDALManager::ListAt::kStartLeaving, &c), 1);
    EXPECT_EQ(c[0].linkId, 2);
    EXPECT_EQ(c[0].code, 13);

    // Link 1 reversed (bit 27): points, traffic id and closed bit swap.
    ASSERT_EQ(dal.LoadLink(0, 134217729), 1);
    s = dal.GetSummary(0);
    EXPECT_EQ(s.linkId, 0x8000001u);
    EXPECT_EQ(s.start, (MapPoint{300, 400}));
    EXPECT_EQ(s.end, (MapPoint{100, -2}));
    EXPECT_EQ(s.trafficId, 0x00ABCDu);
    EXPECT_EQ(s.closed, 1);
    ASSERT_EQ(dal.GetConnections(0, &c), 1);  // successors are now the first node's run
    EXPECT_EQ(c[0].linkId, 2);
    ASSERT_EQ(dal.GetConnectionList(0, NcDALManager::ListAt::kStartLeaving, &c), 2);
    EXPECT_EQ(c[0].linkId, 7 | 0x8000000);
}

TEST_F(RoadFilesTest, UTurnEntryIsMarked) {
    std::vector<RoadLinkSpec> links = Numbered(2);
    links[1].atSecond = {{1, true, 16, false}, {1, false, 10, true}};
    links[1].atFirst = {{1, false, 16, true}};
    WriteLinks(links);
    ASSERT_EQ(Open(), 1);
    const NcConnection* c = nullptr;
    ASSERT_EQ(dal.LoadLink(0, 1), 1);
    ASSERT_EQ(dal.GetConnections(0, &c), 2);
    EXPECT_EQ(c[0].direction, 2);  // back onto itself, reversed
    EXPECT_EQ(c[1].direction, 1);  // a loop back onto itself as stored is no U-turn
    ASSERT_EQ(dal.LoadLink(0, 1 | 0x8000000), 1);
    ASSERT_EQ(dal.GetConnections(0, &c), 1);
    EXPECT_EQ(c[0].direction, 2);
}

TEST_F(RoadFilesTest, BlockBoundariesAndTheLastBlock) {
    WriteLinks(Numbered(120));  // blocks of 53, 53 and 14
    ASSERT_EQ(files.index.size(), 4u * 4 + 4);
    ASSERT_EQ(Open(), 1);
    for (uint32_t index : {0u, 52u, 53u, 105u, 106u, 119u}) {
        SCOPED_TRACE(index);
        ASSERT_EQ(dal.LoadLink(0, index), 1);
        EXPECT_EQ(dal.GetLength(0), index);
        EXPECT_EQ(dal.Road()->Slot(0).block, index / 53);
    }
    ASSERT_EQ(dal.LoadLink(0, 52), 1);
    EXPECT_EQ(dal.Road()->Slot(0).recordOffset, 8008u);
    ASSERT_EQ(dal.LoadLink(0, 53), 1);
    EXPECT_EQ(dal.Road()->Slot(0).recordOffset, 0u);
    // Bit 27 is the direction: 134217733 is link 5, reversed.
    ASSERT_EQ(dal.LoadLink(0, 134217733), 1);
    EXPECT_EQ(dal.GetLength(0), 5u);
    EXPECT_EQ(dal.View(0).GetDirection(), 1);
    // Out of range fails instead of reading another link.
    EXPECT_EQ(dal.LoadLink(0, 120), 0);
    EXPECT_EQ(dal.GetLength(0), 5u);  // the view keeps its record
    EXPECT_EQ(dal.LoadLink(0, 0x10000005), 0);  // bits 28-31 are not a direction
}

TEST_F(RoadFilesTest, IndexWithoutClosingOffsetEndsAtTheFile) {
    // An index of one offset per block: the last block runs to Road.ndb's
    // end, here with a version stamp after it.
    WriteLinks(Numbered(60), std::vector<uint8_t>(48, 0xEE));
    std::vector<uint8_t> index(files.index.begin(), files.index.end() - 8);
    const std::vector<uint8_t> count(files.index.end() - 4, files.index.end());
    index.insert(index.end(), count.begin(), count.end());
    dir.Write("Map/RoadIdx.ndb", std::string(index.begin(), index.end()));
    ASSERT_EQ(Open(), 1);
    ASSERT_EQ(dal.LoadLink(0, 59), 1);
    EXPECT_EQ(dal.GetLength(0), 59u);
}

TEST_F(RoadFilesTest, CacheReplacesTheLeastRecentlyUsedBlock) {
    WriteLinks(Numbered(4 * 53));
    ASSERT_EQ(Open(2 * kEntryBytes + kEntryBytes - 1), 1);  // room for two blocks
    NcDBRoad& road = *dal.Road();
    EXPECT_EQ(road.Cache().GetEntryCount(), 2);
    EXPECT_EQ(dal.GetBudget(), 3 * kEntryBytes - 1);
    ASSERT_EQ(dal.LoadLink(0, 0), 1);
    ASSERT_EQ(dal.LoadLink(0, 53), 1);
    ASSERT_EQ(dal.LoadLink(0, 1), 1);  // block 0 again: from the cache
    EXPECT_EQ(road.GetBlockReads(), 2u);
    EXPECT_EQ(road.Cache().KeysByRecency(), (std::vector<int32_t>{0, 1}));
    ASSERT_EQ(dal.LoadLink(0, 106), 1);  // block 2 replaces block 1
    EXPECT_EQ(road.Cache().KeysByRecency(), (std::vector<int32_t>{2, 0}));
    ASSERT_EQ(dal.LoadLink(0, 2), 1);
    EXPECT_EQ(road.GetBlockReads(), 3u);
    ASSERT_EQ(dal.LoadLink(0, 54), 1);  // block 1 is read again and replaces 2
    EXPECT_EQ(road.GetBlockReads(), 4u);
    EXPECT_EQ(road.Cache().KeysByRecency(), (std::vector<int32_t>{1, 0}));
    EXPECT_EQ(dal.GetLength(0), 54u);
}

// The checksum against zlib's own over lengths around its 16-byte steps
// and the 5552-byte stretches between reductions, from unaligned starts,
// of random bytes and of bytes that are all 255 (the largest sums).
TEST(NcAdler32Test, AgreesWithZlib) {
    std::vector<uint8_t> random(20000), full(20000, 0xFF);
    uint32_t x = 12345;
    for (uint8_t& b : random) b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 24);
    for (const std::vector<uint8_t>* bytes : {&random, &full}) {
        for (size_t size : {0, 1, 15, 16, 17, 31, 33, 5551, 5552, 5553, 8162, 11104, 11105, 19990}) {
            for (size_t start : {0, 3}) {
                SCOPED_TRACE(testing::Message() << size << " from " << start << (bytes == &full ? " of 255" : ""));
                const uint8_t* p = bytes->data() + start;
                EXPECT_EQ(NcAdler32(p, size), static_cast<uint32_t>(adler32(1, p, static_cast<uInt>(size))));
            }
        }
    }
}

TEST(NcCacheDataTest, PoolSizes) {
    std::vector<uint8_t> memory(3 * 120);
    NcCacheData cache;
    EXPECT_EQ(cache.InitPool(memory.data(), 119, 100), 0u);  // one block plus header does not fit
    EXPECT_EQ(cache.GetEntryCount(), 0);
    const uint8_t data[101] = {7};
    EXPECT_EQ(cache.Insert(0, data, 10), nullptr);
    EXPECT_EQ(cache.InitPool(memory.data(), memory.size(), 100), 360u);
    EXPECT_EQ(cache.Insert(1, data, 101), nullptr);  // larger than a block
    EXPECT_EQ(cache.Insert(-1, data, 10), nullptr);
    const uint8_t* first = cache.Insert(1, data, 10);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(cache.Insert(1, data, 20), first);  // already there: nothing replaced
    uint32_t size = 0;
    EXPECT_EQ(cache.Find(1, &size), first);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(cache.Find(2, &size), nullptr);
}

// Damaged files: the index is refused as a whole, a damaged block fails
// alone, and nothing outside the files is read (the sanitizers watch).
TEST_F(RoadFilesTest, DamagedIndexIsRefused) {
    WriteLinks(Numbered(120));
    const std::vector<uint8_t> good = files.index;
    auto withCount = [&](uint32_t count) {
        std::vector<uint8_t> v = good;
        platform::ByteWriter w;
        w.U32(count);
        std::copy(w.Data().begin(), w.Data().end(), v.end() - 4);
        return v;
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> index;
    };
    const Case cases[] = {
        {"empty", {}},
        {"count only", {120, 0, 0, 0}},
        {"not whole words", std::vector<uint8_t>(good.begin(), good.end() - 1)},
        {"count needs more blocks", withCount(300)},
        {"count needs fewer blocks", withCount(50)},
        {"count zero", withCount(0)},
        {"count above the limit", withCount(kNcLinkCountMax + 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dir.Write("Map/RoadIdx.ndb", std::string(c.index.begin(), c.index.end()));
        EXPECT_EQ(Open(), 0);
        EXPECT_EQ(dal.LoadLink(0, 1), 0);
    }
}

TEST_F(RoadFilesTest, DamagedBlockFailsAlone) {
    WriteLinks(Numbered(120));
    const writers::RoadFiles good = files;
    auto setOffset = [](std::vector<uint8_t>& index, int k, uint32_t v) {
        for (int b = 0; b < 4; ++b) index[4 * k + b] = static_cast<uint8_t>(v >> (8 * b));
    };
    auto offset = [&](int k) {
        platform::ByteReader in(good.index.data() + 4 * k, 4);
        return in.U32();
    };
    struct Case {
        const char* name;
        int badBlock;
        bool recordOnly;  // the block is whole, one record in it is not
        std::function<void(writers::RoadFiles&)> damage;
    };
    const Case cases[] = {
        {"block ends before it starts", 2, false, [&](auto& f) { setOffset(f.index, 3, offset(2) - 1); }},
        {"last block past Road.ndb", 2, false, [&](auto& f) { setOffset(f.index, 3, offset(3) + 1); }},
        {"packed size above the limit", 2, false,
         [&](auto& f) {
             setOffset(f.index, 3, offset(2) + kNcPackedBlockMax + 1);
             f.road.resize(offset(2) + kNcPackedBlockMax + 1);
         }},
        {"zlib stream damaged", 1, false, [&](auto& f) { f.road[offset(1) + 2] ^= 0xFF; }},
        // The data unpacks as before; only its checksum (the stream's last
        // four bytes) tells.
        {"checksum damaged", 1, false, [&](auto& f) { f.road[offset(2) - 1] ^= 0x01; }},
        {"zlib header damaged", 1, false, [&](auto& f) { f.road[offset(1) + 1] ^= 0x01; }},
        {"block of the wrong size", 2, false,
         [&](auto& f) {
             // The last block packs 13 records instead of 14.
             std::vector<uint8_t> raw(13 * kNcLinkRecordBytes);
             uLongf n = compressBound(raw.size());
             std::vector<uint8_t> packed(n);
             compress2(packed.data(), &n, raw.data(), raw.size(), 9);
             f.road.resize(offset(2));
             f.road.insert(f.road.end(), packed.begin(), packed.begin() + n);
             setOffset(f.index, 3, static_cast<uint32_t>(f.road.size()));
         }},
        {"run longer than 8 entries", 1, true,
         [&](auto& f) {
             // Rewrite block 1 with link 60's first run claiming 9 entries.
             std::vector<RoadLinkSpec> links = Numbered(120);
             writers::RoadFiles again;
             ASSERT_TRUE(writers::BuildRoadFiles(links, &again));
             std::vector<uint8_t> raw(kNcBlockBytes);
             uLongf n = raw.size();
             ASSERT_EQ(uncompress(raw.data(), &n, again.road.data() + offset(1), offset(2) - offset(1)), Z_OK);
             raw[(60 - 53) * kNcLinkRecordBytes + 56 + 3] = 0x90;
             uLongf m = compressBound(raw.size());
             std::vector<uint8_t> packed(m);
             compress2(packed.data(), &m, raw.data(), raw.size(), 9);
             std::vector<uint8_t> road(again.road.begin(), again.road.begin() + offset(1));
             road.insert(road.end(), packed.begin(), packed.begin() + m);
             const uint32_t block2 = static_cast<uint32_t>(road.size());
             road.insert(road.end(), again.road.begin() + offset(2), again.road.end());
             f.road = road;
             setOffset(f.index, 2, block2);
             setOffset(f.index, 3, static_cast<uint32_t>(road.size()));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writers::RoadFiles f = good;
        c.damage(f);
        Write(f);
        ASSERT_EQ(Open(), 1);
        const uint32_t probe = c.badBlock == 1 ? 60 : c.badBlock * 53;
        EXPECT_EQ(dal.LoadLink(0, probe), 0);
        if (!c.recordOnly) {
            EXPECT_EQ(dal.Road()->Cache().KeysByRecency(), std::vector<int32_t>{});
        }
        for (int block = 0; block < 3; ++block) {
            if (block == c.badBlock && !c.recordOnly) continue;
            const uint32_t index = block * 53 + 1;
            ASSERT_EQ(dal.LoadLink(0, index), 1) << block;
            EXPECT_EQ(dal.GetLength(0), index);
        }
        // A damaged record stays refused once its block is cached.
        if (c.recordOnly) {
            EXPECT_EQ(dal.LoadLink(0, probe), 0);
        }
    }
}

}  // namespace
