// The link tables and the stored transfers: the block sizes, lookups, every
// way a table can be refused, damaged station records, and the replay.
#include <gtest/gtest.h>

#include "platform/byte_cursor.h"
#include "traffic_fixture.h"

namespace traffictest {
namespace {

using writers::BuildLinkTable;

class TablesTest : public TrafficFixture {
protected:
    void SetUp() override { WriteTables(); }
};

TEST_F(TablesTest, BlockSizesWithAndWithoutFuelPrices) {
    EXPECT_EQ(Load(kTpegDefaultServiceBits & ~kTpegServiceOPI), 710096);
    EXPECT_EQ(m_block.size(), 710096u);
    EXPECT_EQ(m_store.GetLinkCount(), 10);
    EXPECT_EQ(m_store.IsLoaded(), 1);
    // A second load is refused: the tables are read once per run.
    EXPECT_EQ(m_engine.LoadTables(m_block.data(), m_block.size()), 0);

    CMgrConfigModuleTPEG store;
    TrafficEngine engine(store, m_services);
    TrafficPathSettings settings;
    settings.dataRoot = m_dir.Path();
    ASSERT_EQ(engine.BuildPaths(settings), 1);
    std::vector<uint8_t> block(1341476);
    EXPECT_EQ(engine.LoadTables(block.data(), block.size() - 1), 0);  // one byte short
    EXPECT_EQ(store.IsLoaded(), 0);
    EXPECT_EQ(engine.LoadTables(nullptr, block.size()), 0);
    EXPECT_EQ(engine.LoadTables(block.data(), block.size()), 1341476);
    EXPECT_EQ(engine.GetStationCount(), 5);
}

TEST_F(TablesTest, PathsUnderTheDataRoot) {
    ASSERT_GT(Load(), 0);
    EXPECT_EQ(m_engine.GetPath(TrafficEngine::kPathLinkIds), m_dir.Path() + "/map/LinkID.tdb");
    EXPECT_EQ(m_engine.GetPath(TrafficEngine::kPathOpi), m_dir.Path() + "/map/EVT_OPI_TRANSFER_0.bin");
    TrafficPathSettings tooLong;
    tooLong.dataRoot = "/" + std::string(300, 'a');
    EXPECT_EQ(m_engine.BuildPaths(tooLong), 0);
}

TEST_F(TablesTest, LookupsAndFreshState) {
    ASSERT_GT(Load(), 0);
    struct Case {
        uint32_t id;
        int index;
    };
    const Case links[] = {{100, 0}, {500, 4}, {1000, 9}, {150, -1}, {0, -1}, {0xFFFFFFFF, -1}, {1001, -1}};
    for (const Case& c : links) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(m_engine.FindLinkIndex(c.id), c.index);
    }
    // Stations by the low 16 bits of the id.
    const Case stations[] = {{11, 0}, {15, 4}, {0x1000D, 2}, {16, -1}, {10, -1}};
    for (const Case& c : stations) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(m_engine.FindStationIndex(c.id), c.index);
    }
    EXPECT_EQ(Congestion(), std::vector<int>(10, 255));
    std::vector<uint8_t> fresh(10, 255);  // levels: no data
    fresh.resize(20, 0);                   // speeds: none
    EXPECT_EQ(Summary(0), fresh);
    for (TrafficKind kind : {kTrafficCTT, kTrafficCTTSUM, kTrafficRTM, kTrafficNWS, kTrafficOPI}) {
        EXPECT_EQ(m_engine.IsCleared(kind), 1);
    }
    EXPECT_EQ(m_engine.GetCTTPercent(), 0);
}

TEST_F(TablesTest, EmptyLinkTableLoadsAndMissesEveryItem) {
    Write("LinkID.tdb", BuildLinkTable({}));
    ASSERT_GT(Load(), 0);
    EXPECT_EQ(m_store.GetLinkCount(), 0);
    EXPECT_EQ(m_engine.ReceiveCTT(writers::BuildCtt({{100, 30, 2}}).data(), 16), 1);
    EXPECT_EQ(m_store.GetCongestionLinkCount(), 0);
    EXPECT_EQ(m_engine.GetCTTPercent(), 0);
}

// Every table failure refuses the whole load; the store stays unloaded.
TEST_F(TablesTest, RefusedTables) {
    std::vector<writers::TrafficLinkRow> tooMany(kTpegMaxLinks + 1);
    for (size_t i = 0; i < tooMany.size(); ++i) tooMany[i].linkId = static_cast<uint32_t>(i + 1);
    std::vector<writers::TrafficLinkRow> most(kTpegMaxLinks);
    for (size_t i = 0; i < most.size(); ++i) most[i].linkId = static_cast<uint32_t>(i + 1);
    std::vector<uint8_t> stations = writers::BuildStationTable(FixtureStations());
    std::vector<uint8_t> shortHeader(stations.begin(), stations.begin() + 4 + 18);
    std::vector<uint8_t> manyStations(4 + 19, 0);
    platform::ByteWriter count;
    count.U32(kTpegMaxStations + 1);
    std::copy(count.Data().begin(), count.Data().end(), manyStations.begin());
    std::vector<uint32_t> longIndex(10003, 0);

    struct Case {
        const char* what;
        const char* file;
        std::vector<uint8_t> bytes;
        bool loads;
    };
    const Case cases[] = {
        {"links at the cap", "LinkID.tdb", BuildLinkTable(most), true},
        {"one link past the cap", "LinkID.tdb", BuildLinkTable(tooMany), false},
        {"count beyond the ids", "LinkID.tdb", BuildLinkTable({{100, 0}, {200, 0}}, 3), false},
        {"flags cut short", "LinkID.tdb", [] {
             auto b = BuildLinkTable({{100, 0}, {200, 0}});
             b.pop_back();
             return b;
         }(), false},
        {"link table of 3 bytes", "LinkID.tdb", {1, 0, 0}, false},
        {"image index at the cap", "ImageIDIdx.tdb", writers::BuildImageIndex(std::vector<uint32_t>(10002, 0)), true},
        {"image index past the cap", "ImageIDIdx.tdb", writers::BuildImageIndex(longIndex), false},
        {"image index beyond the summary slots", "ImageIDIdx.tdb", writers::BuildImageIndex({0, 8068, 8069}), false},
        {"image index going back", "ImageIDIdx.tdb", writers::BuildImageIndex({0, 10, 5}), false},
        {"image index of odd size", "ImageIDIdx.tdb", {0, 0, 0, 0, 1}, false},
        {"station header of 18 bytes", "OpiID.tdb", shortHeader, false},
        {"stations past the cap", "OpiID.tdb", manyStations, false},
        {"station records cut", "OpiID.tdb", std::vector<uint8_t>(stations.begin(), stations.begin() + 23 + 10 + 50),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteTables();
        Write(c.file, c.bytes);
        CMgrConfigModuleTPEG store;
        TrafficEngine engine(store, m_services);
        TrafficPathSettings settings;
        settings.dataRoot = m_dir.Path();
        ASSERT_EQ(engine.BuildPaths(settings), 1);
        std::vector<uint8_t> block(engine.ArenaBytes());
        EXPECT_EQ(engine.LoadTables(block.data(), block.size()) > 0, c.loads);
        EXPECT_EQ(store.IsLoaded(), c.loads ? 1 : 0);
    }
}

TEST_F(TablesTest, StationTableNeededOnlyWithFuelPrices) {
    ASSERT_TRUE(platform::RemoveFile(m_dir.Path() + "/map/OpiID.tdb"));
    EXPECT_EQ(Load(), 0);
    CMgrConfigModuleTPEG store;
    TrafficEngine engine(store, m_services);
    TrafficPathSettings settings;
    settings.dataRoot = m_dir.Path();
    settings.serviceBits = kTpegServiceCTT;
    ASSERT_EQ(engine.BuildPaths(settings), 1);
    std::vector<uint8_t> block(engine.ArenaBytes());
    EXPECT_EQ(engine.LoadTables(block.data(), block.size()), 710096);
    // Kinds that are not enabled take nothing.
    const auto news = writers::BuildNws({writers::News(7, "t", "x")});
    EXPECT_EQ(engine.ReceiveNWS(news.data(), news.size()), 0);
}

// A station record pointing outside the id list or at a name outside the
// file is blanked; the good records stay searchable.
TEST_F(TablesTest, DamagedStationRecordsAreBlanked) {
    std::vector<uint8_t> table = writers::BuildStationTable(FixtureStations());
    const size_t records = 4 + 19 + 2 * 5;
    // Names sort as: ABC, 가람, 강변, 누리, 한빛. Damage 가람 (record 1) and 강변 (record 2).
    table[records + 23 * 1 + 0] = 9;   // price entry 9 of 5
    table[records + 23 * 2 + 2] = 0xFF;  // name offset far outside the file
    table[records + 23 * 2 + 5] = 0x7F;
    Write("OpiID.tdb", table);
    ASSERT_GT(Load(), 0);
    std::vector<writers::PriceItem> prices;
    for (uint16_t id = 11; id <= 15; ++id) {
        prices.push_back({id, static_cast<uint32_t>(FixtureNowSeconds()), {{1, 1500}}});
    }
    const auto opi = writers::BuildOpi(prices);
    ASSERT_EQ(m_engine.ReceiveOPI(opi.data(), opi.size()), 1);
    TPEGOilStationQuery query;
    query.x = kBaseX, query.y = kBaseY;
    query.nBrandFilter = 10;  // filling stations: not the LPG station 누리
    int count = 0;
    ASSERT_EQ(m_engine.SearchOilStation(query, &count), 0);
    EXPECT_EQ(count, 3);
    TPEGOilStationRow rows[5];
    ASSERT_EQ(m_engine.GetOilStationList(0, rows, &count), 0);
    std::vector<std::u16string> names;
    for (int i = 0; i < count; ++i) names.push_back(rows[i].szName);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"ABC주유소", u"", u"한빛주유소"}));
}

TEST_F(TablesTest, ReplayFillsTheStoreAtChannelTypeMinusOne) {
    Write("EVT_CTT_TRANSFER_0.bin", writers::BuildCtt({{100, 30, 0}, {200, 60, 3}}));
    Write("EVT_NWS_TRANSFER_0.bin", writers::BuildNws({writers::News(7, "정체", "본문")}));
    // A stored transfer larger than the replay buffer is skipped.
    std::vector<uint8_t> huge(kTpegReplayBufferBytes + 1, 0);
    Write("EVT_RTM_TRANSFER_0.bin", huge);
    // A damaged one is dropped by its handler.
    Write("EVT_CTTSUM_TRANSFER_0.bin", std::vector<uint8_t>{5, 0, 0, 0});
    ASSERT_GT(Load(), 0);
    EXPECT_EQ(m_engine.GetChannelType(), -1);
    EXPECT_EQ(m_engine.ReplayTransfers(), 0);
    // Level 0 stays 0 without a channel type; speed 30 / 3 = 10 in bits 3-7.
    EXPECT_EQ(Congestion()[0], 0);
    EXPECT_EQ(Congestion()[1], 3);
    EXPECT_EQ(m_store.GetCongestionLinkCount(), 2);
    EXPECT_EQ(m_engine.IsCleared(kTrafficCTT), 0);
    EXPECT_EQ(m_engine.IsCleared(kTrafficRTM), 1);
    EXPECT_EQ(m_engine.IsCleared(kTrafficCTTSUM), 1);
    int news = 0;
    ASSERT_EQ(m_engine.MakeNewsList(0xFFFF, 0, &news), kTpegNoNews);  // category 0 at replay
    EXPECT_EQ(m_engine.MakeNewsList(0, 0, &news), kTpegNoNews);
}

}  // namespace
}  // namespace traffictest
