// Lane, turn-by-turn, name, toll-gate, service-area and high-pass readers.
#include "mapdb/small_readers.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/temp_dir.h"
#include "tools/writers/small_readers_writer.h"

namespace {

constexpr uint32_t kRev = 0x8000000;

std::string Utf8(const char16_t* text) { return platform::Utf16ToUtf8(text); }

TEST(SmallReadersWriter, RecordBytesByHand) {
    writers::LaneRecord lane;
    lane.linkNumber = 0x012345;
    lane.direction = 0;
    lane.value4 = 9;
    lane.lanes[0] = 0x11;
    lane.value33 = 0xBEEF;
    const auto l = writers::EncodeLaneRecord(lane);
    ASSERT_EQ(l.size(), 35u);
    EXPECT_EQ(l[0], 0x45);
    EXPECT_EQ(l[1], 0x23);
    EXPECT_EQ(l[2], 0x01);
    EXPECT_EQ(l[3], 0);
    EXPECT_EQ(l[4], 9);
    EXPECT_EQ(l[5], 0x11);
    EXPECT_EQ(l[33], 0xEF);
    EXPECT_EQ(l[34], 0xBE);

    writers::TurnRecord turn{1, 300, 0x10001, 'E', "00001234", "7", "045"};
    const std::vector<uint8_t> t = writers::EncodeTurnRecord(turn);
    const std::vector<uint8_t> want = {1, 0x2C, 0x01, 0x00, 0x01, 0x00, 0x01, 'E', '0', '0',
                                       '0', '0', '1', '2', '3', '4', '7', '0', '4', '5'};
    EXPECT_EQ(t, want);

    // Lane file: group 1 (links 100..199) gets index {count 1, first 0} at 4.
    const auto file = writers::BuildLaneFile({writers::LaneRecord{150}});
    ASSERT_EQ(file.size(), 80000u + 35);
    EXPECT_EQ(file[4], 1);
    EXPECT_EQ(file[80000], 150);
}

class SmallReadersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::MakeDirectories(dir.File("Map")));
        // Lanes: link 7 both ways, link 150 forward only.
        std::vector<writers::LaneRecord> lanes(3);
        lanes[0].linkNumber = 7;
        lanes[0].direction = 1;
        lanes[0].lanes[0] = 0xF1;
        lanes[1].linkNumber = 7;
        lanes[1].direction = 0;
        lanes[1].lanes[0] = 0xB1;
        lanes[2].linkNumber = 150;
        lanes[2].direction = 1;
        lanes[2].lanes[27] = 0x27;
        Write("Map/Lane.ndb", writers::BuildLaneFile(lanes));

        Write("Map/TBT.ndb", writers::BuildTbtFile({
                                 {1, 7, 8, 'Q', "12345678", "3", "042"},
                                 {0, 7, 8, 'N', "00000001", "0", "000"},
                                 {1, 7, 9, 'X', "00000001", "0", "000"},  // bad letter
                                 {1, 7, 10, 'S', "0000a001", "0", "000"}, // bad digit
                             }));

        gangnam = names.Add(Utf8(u"강남대로"), 0x123456, 2);
        ascii = names.Add("Teheran-ro");
        emptyName = names.AddRaw(0, {});
        tooLong = names.AddRaw(63, std::vector<uint8_t>(59, 'a'));
        lastName = names.Add(Utf8(u"끝"));  // at the very end of the file
        Write("Map/RN.ndb", names.Bytes());

        std::array<uint8_t, 20> gate{};
        gate[0] = 0x5A;
        std::map<int, std::vector<std::array<uint8_t, 20>>> gates;
        gates[1] = {gate, gate};
        gates[1000] = {gate};
        gates[500] = std::vector<std::array<uint8_t, 20>>(65, gate);  // more than a gate may have
        Write("Map/TG.ndb", writers::BuildTollGateFile(gates));

        const auto sa = writers::BuildServiceAreaFiles(
            {{Utf8(u"서울만남의광장휴게소"), {1, 2, 3}}, {"", {}}}, {{7, 0}, {8, 0}, {150, 1}, {899999, 0}});
        Write("Map/SA.ndb", sa.sa);
        Write("Map/SAIdx.ndb", sa.index);
    }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(platform::AtomicReplaceFile(dir.File(name), bytes));
    }
    testsupport::TempDir dir;
    writers::NameFileBuilder names;
    uint32_t gangnam = 0, ascii = 0, emptyName = 0, tooLong = 0, lastName = 0;
};

TEST_F(SmallReadersTest, LanesByDirection) {
    CMneExtLaneMapFile lane;
    ASSERT_EQ(lane.Open(dir.Path()), 1);
    struct Case {
        uint32_t id;
        int firstLaneByte;  // -1: none
    } cases[] = {{7, 0xF1}, {7 | kRev, 0xB1}, {150, 0}, {150 | kRev, -1}, {8, -1}, {0, -1}, {2000000, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        const MneLaneInfo* info = lane.GetLaneInfo(c.id);
        if (c.firstLaneByte < 0) {
            EXPECT_EQ(info, nullptr);
            continue;
        }
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->lanes[0], c.firstLaneByte);
        EXPECT_EQ(info->linkLow | (info->linkHigh << 16), MneLinkNumber(c.id));
    }
    EXPECT_EQ(lane.GetLaneInfo(150)->lanes[27], 0x27);
}

TEST_F(SmallReadersTest, TurnRecords) {
    CMneExtTBTMapFile tbt;
    ASSERT_EQ(tbt.Open(dir.Path()), 1);
    const MneTurnInfo* t = tbt.GetTurnInfo(7, 8);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->zero, 0u);
    EXPECT_EQ(t->type, 1u);
    EXPECT_EQ(t->value8, 12345678);
    EXPECT_EQ(t->value1, 3);
    EXPECT_EQ(t->value3, 420);
    t = tbt.GetTurnInfo(7 | kRev, 8 | kRev);  // the to-link's direction does not count
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->type, 4u);
    EXPECT_EQ(tbt.GetTurnInfo(7, 9), nullptr);   // letter "X"
    EXPECT_EQ(tbt.GetTurnInfo(7, 10), nullptr);  // not a digit
    EXPECT_EQ(tbt.GetTurnInfo(7, 11), nullptr);
    EXPECT_EQ(tbt.GetTurnInfo(0, 8), nullptr);
    EXPECT_EQ(tbt.GetTurnInfo(7, 2000000), nullptr);
}

TEST_F(SmallReadersTest, Names) {
    CMneNameMapFile rn;
    ASSERT_EQ(rn.Open(dir.Path()), 1);
    const MneNameRecord* n = rn.GetName(gangnam);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(std::u16string(n->text), u"강남대로");
    EXPECT_EQ(n->length, 8u);  // four CP949 characters of two bytes
    EXPECT_EQ(n->value24, 0x123456u);
    EXPECT_EQ(n->value4, 2u);
    ASSERT_NE(rn.GetName(ascii), nullptr);
    EXPECT_EQ(std::u16string(rn.GetName(ascii)->text), u"Teheran-ro");
    ASSERT_NE(rn.GetName(lastName), nullptr);
    EXPECT_EQ(std::u16string(rn.GetName(lastName)->text), u"끝");
    EXPECT_EQ(rn.GetName(emptyName), nullptr);  // length 0
    EXPECT_EQ(rn.GetName(tooLong), nullptr);    // runs past the 64-byte record
    EXPECT_EQ(rn.GetName(1u << 30), nullptr);
}

TEST_F(SmallReadersTest, TollGates) {
    CMneTollGateMapFile tg;
    ASSERT_EQ(tg.Open(dir.Path()), 1);
    int count = 0;
    const MneTollGateRecord* r = tg.GetTollGate(1, &count);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(r[1].bytes[0], 0x5A);
    ASSERT_NE(tg.GetTollGate(1000, &count), nullptr);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(tg.GetTollGate(2, &count), nullptr);
    EXPECT_EQ(tg.GetTollGate(0, &count), nullptr);
    EXPECT_EQ(tg.GetTollGate(1001, &count), nullptr);
    EXPECT_EQ(tg.GetTollGate(500, &count), nullptr);  // 65 records
}

TEST_F(SmallReadersTest, ServiceAreas) {
    CMneSAMapFile sa;
    ASSERT_EQ(sa.Open(dir.Path()), 1);
    EXPECT_EQ(sa.AreaCount(), 2);
    for (uint32_t id : {7u, 8u | kRev, 899999u}) {
        SCOPED_TRACE(id);
        const MneServiceAreaInfo* info = sa.GetServiceArea(id);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(std::u16string(info->name), u"서울만남의광장휴게소");
        EXPECT_EQ(info->valueCount, 3);
        EXPECT_EQ(info->values[2], 3);
    }
    const MneServiceAreaInfo* unnamed = sa.GetServiceArea(150);
    ASSERT_NE(unnamed, nullptr);
    EXPECT_EQ(unnamed->nameLength, 0);
    EXPECT_EQ(sa.GetServiceArea(9), nullptr);
    EXPECT_EQ(sa.GetServiceArea(900000), nullptr);  // beyond the 9000 groups
}

TEST(Hipass, LookupTable) {
    CMneHipassMapFile hp;
    EXPECT_EQ(hp.Open(""), 1);
    struct Case {
        int key, heading;
        std::vector<uint8_t> lanes;
        int value1;
    } cases[] = {
        {101, 178, {1, 2, 3, 4}, 0},  {101, 356, {1, 2, 3, 4}, 1}, {101, 6, {1, 2, 3, 4}, 1},  // 350 counts as 10
        {101, 228, {1, 2, 3, 4}, 0},  {101, 229, {}, 0},           // 50 in, 51 out
        {102, 62, {2, 3, 4}, 0},      {102, 12, {2, 3, 4}, 0},     {102, 200, {1, 2, 7}, 1},
        {102, 150, {}, 0},            {974, 245, {1, 2}, 1},       {974, 296, {}, 0},
        {500, 0, {}, 0},              // unknown key
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.key << " @ " << c.heading);
        uint8_t lanes[6] = {};
        int v1 = -1, v2 = -1;
        const int n = hp.GetHipassLanes(c.key, c.heading, &v1, &v2, lanes);
        EXPECT_EQ(std::vector<uint8_t>(lanes, lanes + n), c.lanes);
        if (n) {
            EXPECT_EQ(v1, c.value1);
            EXPECT_EQ(v2, 0);
        }
    }
    int count = 0;
    const MneHipassRecord* table = CMneHipassMapFile::Table(&count);
    for (int i = 1; i < count; ++i) EXPECT_LE(table[i - 1].key, table[i].key);
}

TEST(SmallReaders, MissingFilesFailOpen) {
    testsupport::TempDir dir;
    EXPECT_EQ(CMneExtLaneMapFile().Open(dir.Path()), 0);
    EXPECT_EQ(CMneExtTBTMapFile().Open(dir.Path()), 0);
    EXPECT_EQ(CMneNameMapFile().Open(dir.Path()), 0);
    EXPECT_EQ(CMneTollGateMapFile().Open(dir.Path()), 0);
    EXPECT_EQ(CMneSAMapFile().Open(dir.Path()), 0);
    // A toll-gate file shorter than its 8000-byte index.
    ASSERT_TRUE(platform::MakeDirectories(dir.File("Map")));
    ASSERT_TRUE(platform::AtomicReplaceFile(dir.File("Map/TG.ndb"), std::vector<uint8_t>(100, 0)));
    EXPECT_EQ(CMneTollGateMapFile().Open(dir.Path()), 0);
}

}  // namespace
