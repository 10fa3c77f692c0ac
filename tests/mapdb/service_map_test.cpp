// Link guidance records ("Map\RG.ndb"): per-direction decoding by bit 27 of
// the link id, group reads through the cache, and refusals.
#include "mapdb/service_map.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/temp_dir.h"
#include "tools/writers/service_map_writer.h"

namespace {

// A link whose forward and backward values differ everywhere, so that the
// decoded record shows which direction it came from.
writers::ServiceRecord TwoFacedLink(uint8_t codeA, uint8_t codeB) {
    writers::ServiceRecord r;
    r.length = 250;
    r.roadClass = 3;
    r.linkKind = 7;
    r.twoWay = 1;
    r.setACode = codeA;
    r.setBCode = codeB;
    r.words[0] = 20;
    r.words[3] = 26;
    r.forward[0] = 101;
    r.forward[1] = 102;
    r.forward[2] = 103;
    r.backward[0] = 201;
    r.backward[1] = 202;
    r.backward[2] = 203;
    r.nameId = 4096;
    r.value56 = 56;
    r.setBWord = 0xB0B;
    r.setAWord = 0xA0A;
    r.setBValue = 0xBBBB;
    r.setAValue = 0xAAAA;
    r.forwardValue = 1111;
    r.backwardValue = 2222;
    return r;
}

TEST(ServiceMapWriter, RecordBytesMatchTheLayout) {
    const std::vector<uint8_t> b = writers::EncodeServiceRecord(TwoFacedLink(1, 3));
    ASSERT_EQ(b.size(), 80u);
    EXPECT_EQ(b[0], 250);      // length
    EXPECT_EQ(b[12], 3);       // road class
    EXPECT_EQ(b[14], 7);       // link kind
    EXPECT_EQ(b[16], 1);       // two-way
    EXPECT_EQ(b[18], 1);       // set A code
    EXPECT_EQ(b[19], 3);       // set B code
    EXPECT_EQ(b[28], 101);     // first forward value
    EXPECT_EQ(b[40], 201);     // first backward value
    EXPECT_EQ(b[53], 0x10);    // name id 4096 = 00 10 00 00
    EXPECT_EQ(b[60], 0x0B);    // set B word
    EXPECT_EQ(b[62], 0x0A);    // set A word
    EXPECT_EQ(b[72], 1111 & 0xFF);
    EXPECT_EQ(b[76], 2222 & 0xFF);
}

class ServiceMapTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::map<uint32_t, writers::ServiceRecord> records;
        records[1] = TwoFacedLink(1, 2);
        records[2] = TwoFacedLink(2, 1);
        records[3] = TwoFacedLink(3, 0);
        records[150] = TwoFacedLink(3, 3);
        records[150].length = 150;
        ASSERT_TRUE(platform::MakeDirectories(dir.File("Map")));
        ASSERT_TRUE(platform::AtomicReplaceFile(dir.File("Map/RG.ndb"), writers::BuildServiceMap(records)));
        ASSERT_EQ(rg.Open(dir.Path()), 1);
    }
    testsupport::TempDir dir;
    CMneServiceMainMapFile rg;
};

// The direction of an id (bit 27) picks the direction-dependent values, and
// attribute set A/B applies by its code: 1 forward only, 2 backward only,
// 3 both, 0 never.
TEST_F(ServiceMapTest, DirectionDecodingTable) {
    struct Case {
        uint32_t id;
        uint32_t firstValue, directionValue;
        uint8_t aApplies, bApplies;
        uint16_t aWord, bWord;
    } cases[] = {
        {1, 101, 1111, 1, 0, 0xA0A, 0},               // A forward-only, B backward-only
        {1 | 0x8000000, 201, 2222, 0, 1, 0, 0xB0B},
        {2, 101, 1111, 0, 1, 0, 0xB0B},
        {2 | 0x8000000, 201, 2222, 1, 0, 0xA0A, 0},
        {3, 101, 1111, 1, 0, 0xA0A, 0},               // A both ways, B never
        {3 | 0x8000000, 201, 2222, 1, 0, 0xA0A, 0},
        {150 | 0x8000000, 201, 2222, 1, 1, 0xA0A, 0xB0B},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "id 0x" << std::hex << c.id);
        MneLinkGuideRecord r;
        ASSERT_EQ(rg.GetLinkRecord(c.id, &r), 1);
        EXPECT_EQ(r.directional[0], c.firstValue);
        EXPECT_EQ(r.directional[2], c.firstValue + 2);
        EXPECT_EQ(r.directionValue, c.directionValue);
        EXPECT_EQ(r.setAApplies, c.aApplies);
        EXPECT_EQ(r.setBApplies, c.bApplies);
        EXPECT_EQ(r.setAWord, c.aWord);
        EXPECT_EQ(r.setBWord, c.bWord);
        EXPECT_EQ(r.setAValue, c.aApplies ? 0xAAAAu : 0u);
        EXPECT_EQ(r.setBValue, c.bApplies ? 0xBBBBu : 0u);
        EXPECT_EQ(r.nameId, 4096u);
        EXPECT_EQ(r.roadClass, 3);
        EXPECT_EQ(r.value56, 56u);
    }
}

TEST_F(ServiceMapTest, RawRecordAndSecondGroup) {
    MneServiceRawRecord raw;
    ASSERT_EQ(rg.GetRawRecord(150, &raw), 1);
    EXPECT_EQ(raw.words[0], 150u);
    EXPECT_EQ(raw.words[18], 1111u);
    MneLinkGuideRecord r;
    ASSERT_EQ(rg.GetLinkRecord(150, &r), 1);
    EXPECT_EQ(r.length, 150u);
}

TEST_F(ServiceMapTest, Refusals) {
    MneLinkGuideRecord r;
    EXPECT_EQ(rg.GetLinkRecord(1, nullptr), 0);
    EXPECT_EQ(rg.GetLinkRecord(0, &r), 0);
    EXPECT_EQ(rg.GetLinkRecord(0x8000000, &r), 0);  // number 0 with bit 27
    EXPECT_EQ(rg.GetLinkRecord(2000000, &r), 0);
    EXPECT_EQ(rg.GetLinkRecord(1999999, &r), 0);    // valid number, past the end of this file
    EXPECT_EQ(rg.GetLinkRecord(200, &r), 0);        // first record after the last group
}

// Guidance, positioning and search read records at the same time.
TEST_F(ServiceMapTest, ConcurrentReadersSeeWholeRecords) {
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                const uint32_t id = (i + t) % 2 ? 150 : 3 | 0x8000000;
                MneLinkGuideRecord r;
                if (!rg.GetLinkRecord(id, &r) || r.length != (id == 150 ? 150u : 250u) || r.nameId != 4096) ++wrong;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(ServiceMap, LastNumberAcceptedAndShortLastGroup) {
    testsupport::TempDir dir;
    std::map<uint32_t, writers::ServiceRecord> records;
    records[1999999] = TwoFacedLink(3, 3);
    records[1999999].length = 77;
    ASSERT_TRUE(platform::MakeDirectories(dir.File("Map")));
    // Not padded: the file ends right after the last record.
    ASSERT_TRUE(platform::AtomicReplaceFile(dir.File("Map/RG.ndb"), writers::BuildServiceMap(records, false)));
    CMneServiceMainMapFile rg;
    ASSERT_EQ(rg.Open(dir.Path()), 1);
    MneLinkGuideRecord r;
    ASSERT_EQ(rg.GetLinkRecord(1999999, &r), 1);
    EXPECT_EQ(r.length, 77u);
    ASSERT_EQ(rg.GetLinkRecord(1999999 | 0x8000000, &r), 1);
    EXPECT_EQ(r.directionValue, 2222u);
}

TEST(ServiceMap, MissingFileFailsOpen) {
    testsupport::TempDir dir;
    CMneServiceMainMapFile rg;
    EXPECT_EQ(rg.Open(dir.Path()), 0);
    MneLinkGuideRecord r;
    EXPECT_EQ(rg.GetLinkRecord(1, &r), 0);
}

}  // namespace
