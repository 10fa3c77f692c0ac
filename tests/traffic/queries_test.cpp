// The queries of the traffic screens: paging, rebuilt lists, sort orders,
// summaries, the fuel brand list and the fuel-station search with its rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "platform/codepage.h"
#include "traffic_fixture.h"

namespace traffictest {
namespace {

using writers::IncidentItem;
using writers::PriceItem;

class QueriesTest : public TrafficFixture {
protected:
    int Send(int (TrafficEngine::*handler)(const uint8_t*, size_t), const std::vector<uint8_t>& bytes) {
        return (m_engine.*handler)(bytes.data(), bytes.size());
    }
    void SendNews(int count) {
        std::vector<writers::NewsItem> items;
        for (int i = 0; i < count; ++i) {
            char title[16];
            std::snprintf(title, sizeof title, "n%03d", i);
            items.push_back(writers::News(7, title, title));
        }
        ASSERT_EQ(Send(&TrafficEngine::ReceiveNWS, writers::BuildNws(items)), 1);
    }
    // Every station priced now: kind 1 at 1500 + id, kind 129 at 900 + id.
    void PriceAll(uint32_t priceTime) {
        std::vector<PriceItem> items;
        for (const auto& s : FixtureStations()) {
            items.push_back({s.stationId, priceTime,
                             {{1, static_cast<int16_t>(1500 + s.stationId)}, {129, static_cast<int16_t>(900 + s.stationId)}}});
        }
        ASSERT_EQ(Send(&TrafficEngine::ReceiveOPI, writers::BuildOpi(items)), 1);
    }
    std::vector<TPEGOilStationRow> Search(TPEGOilStationQuery query, int* result = nullptr) {
        if (query.x == 0) query.x = kBaseX, query.y = kBaseY;
        int count = 0;
        const int r = m_engine.SearchOilStation(query, &count);
        if (result) *result = r;
        if (r != 0) return {};
        std::vector<TPEGOilStationRow> rows(static_cast<size_t>(count) + 1);
        EXPECT_EQ(m_engine.GetOilStationList(0, rows.data(), &count), 0);
        rows.resize(static_cast<size_t>(count));
        return rows;
    }
    static std::set<std::u16string> Names(const std::vector<TPEGOilStationRow>& rows) {
        std::set<std::u16string> out;
        for (const auto& r : rows) out.insert(r.szName);
        return out;
    }
    const uint32_t m_now = static_cast<uint32_t>(FixtureNowSeconds());
};

TEST_F(QueriesTest, NothingBeforeLoading) {
    CMgrConfigModuleTPEG store;
    TrafficEngine engine(store, m_services);
    TPEGReceiveStatus status;
    EXPECT_EQ(engine.GetReceiveStatus(&status), 0);
    int size = 5, count = 5;
    EXPECT_EQ(engine.GetCTTSUMInfo(0, &size, nullptr, nullptr, 0, nullptr), kTpegNoSummary);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(engine.MakeIncidentList(0xFF, 0, 0, 0, 0, &count), kTpegNoIncident);
    EXPECT_EQ(count, 0);
    TPEGIncidentRow rows[2];
    count = 2;
    EXPECT_EQ(engine.GetIncidentList(0, rows, &count), 0);
    EXPECT_EQ(count, 0);
    TPEGIncidentInfo info;
    EXPECT_EQ(engine.GetIncidentInfo(0, &info), kTpegNoIncident);
    EXPECT_EQ(engine.MakeNewsList(0xFF, 0, &count), kTpegNoNews);
    TPEGNewsInfo news;
    EXPECT_EQ(engine.GetNewsInfo(0, &news), kTpegNoNews);
    char16_t title[28];
    EXPECT_EQ(engine.GetOilBrandList(0, 0, title, nullptr, &count), kTpegNoBrandList);
    EXPECT_EQ(engine.SearchOilStation(TPEGOilStationQuery{}, &count), kTpegStationSearchFailed);
    std::u16string text;
    EXPECT_EQ(engine.GetStatusText(&text), 0);
    // Handlers and clears of an unloaded engine do nothing.
    const auto ctt = writers::BuildCtt({{100, 10, 1}});
    EXPECT_EQ(engine.ReceiveCTT(ctt.data(), ctt.size()), 0);
    engine.ClearAll();
    engine.CheckReceiveState();
}

// Pages of 15 rows: the caller asks for any number and gets them whole.
TEST_F(QueriesTest, NewsPaging) {
    struct Case {
        int items;
        int start;
        int want;
        int got;
    };
    const Case cases[] = {
        {0, 0, 15, 0},    {1, 0, 15, 1},    {1, 1, 15, 0},    {15, 0, 15, 15},   {15, 0, 40, 15},
        {16, 0, 15, 15},  {16, 15, 15, 1},  {16, 0, 16, 16},  {300, 0, 300, 300}, {300, 16, 40, 40},
        {300, 290, 40, 10}, {300, 300, 15, 0}, {300, -1, 15, 0},
    };
    m_engine.SetChannel(1, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.items) + " items from " + std::to_string(c.start));
        SendNews(c.items);
        int count = 0;
        EXPECT_EQ(m_engine.MakeNewsList(0xFFFF, 0, &count), c.items ? 0 : kTpegNoNews);
        EXPECT_EQ(count, c.items);
        std::vector<TPEGNewsRow> rows(static_cast<size_t>(c.want));
        count = c.want;
        ASSERT_EQ(m_engine.GetNewsList(c.start, rows.data(), &count), 0);
        ASSERT_EQ(count, c.got);
        for (int i = 0; i < count; ++i) {
            char expect[16];
            std::snprintf(expect, sizeof expect, "n%03d", c.start + i);
            EXPECT_EQ(rows[i].wRow, c.start + i);
            EXPECT_EQ(Text(rows[i].szTitle), platform::Utf8ToUtf16(expect));
        }
        m_engine.ClearNWS();
    }
}

TEST_F(QueriesTest, IncidentPagingAndRebuilt) {
    m_engine.SetChannel(1, 0);
    for (int n : {0, 1, 15, 16, 200}) {
        SCOPED_TRACE(n);
        std::vector<IncidentItem> items;
        for (int i = 0; i < n; ++i) {
            items.push_back({3, "", "i" + std::to_string(1000 + i), 0, 0, 12700000 + static_cast<uint32_t>(i), 3750000});
        }
        ASSERT_EQ(Send(&TrafficEngine::ReceiveRTM, writers::BuildRtm(items)), 1);
        int count = 0;
        EXPECT_EQ(m_engine.MakeIncidentList(0xFF, 0, 0, kBaseX, kBaseY, &count), n ? 0 : kTpegNoIncident);
        EXPECT_EQ(count, n);
        std::vector<TPEGIncidentRow> rows(40);
        count = 40;
        ASSERT_EQ(m_engine.GetIncidentList(0, rows.data(), &count), 0);
        ASSERT_EQ(count, std::min(n, 40));
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(rows[i].wRow, i);
            EXPECT_EQ(Text(rows[i].szTitle), platform::Utf8ToUtf16("i" + std::to_string(1000 + i)));
        }
    }
    // A new message replaces the list: the screen must make it again.
    ASSERT_EQ(Send(&TrafficEngine::ReceiveRTM, writers::BuildRtm({{3, "", "new", 0, 0, 1, 1}})), 1);
    TPEGIncidentRow row;
    int count = 1;
    EXPECT_EQ(m_engine.GetIncidentList(0, &row, &count), kTpegIncidentRebuilt);
    EXPECT_EQ(count, 0);
    TPEGIncidentInfo info;
    EXPECT_EQ(m_engine.GetIncidentInfo(0, &info), kTpegIncidentRebuilt);
    ASSERT_EQ(m_engine.MakeIncidentList(0xFF, 0, 0, kBaseX, kBaseY, &count), 0);
    EXPECT_EQ(m_engine.GetIncidentInfo(0, &info), 0);
    EXPECT_EQ(m_engine.GetIncidentInfo(1, &info), kTpegNoIncident);
}

TEST_F(QueriesTest, IncidentAndNewsSortOrders) {
    m_engine.SetChannel(1, 0);
    // Near, far, none and middle; the names sort differently from both.
    const std::vector<IncidentItem> items = {
        {8, "", "다 가까움", 0, 0, 12700100, 3750000},
        {2, "", "가 멂", 0, 0, 12710000, 3750000},
        {4, "", "나 위치없음", 0, 0, 0, 0},
        {2, "", "라 중간", 0, 0, 12701000, 3750000},
    };
    ASSERT_EQ(Send(&TrafficEngine::ReceiveRTM, writers::BuildRtm(items)), 1);
    auto order = [&](int sort) {
        int count = 0;
        EXPECT_EQ(m_engine.MakeIncidentList(0xFF, sort, 0, kBaseX, kBaseY, &count), 0);
        TPEGIncidentRow rows[4];
        m_engine.GetIncidentList(0, rows, &count);
        std::vector<int> records;
        for (int i = 0; i < count; ++i) records.push_back(rows[i].wRecord);
        return records;
    };
    EXPECT_EQ(order(0), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(order(1), (std::vector<int>{1, 3, 2, 0}));  // type 2, 2, 4, 8
    EXPECT_EQ(order(2), (std::vector<int>{0, 3, 1, 2}));  // no position last
    EXPECT_EQ(order(3), (std::vector<int>{1, 2, 0, 3}));  // 가, 나, 다, 라
    int count = 0;
    EXPECT_EQ(m_engine.MakeIncidentList(0x4, 0, 0, kBaseX, kBaseY, &count), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(m_engine.MakeIncidentList(0x1, 0, 0, kBaseX, kBaseY, &count), kTpegNoIncident);

    const std::vector<writers::NewsItem> news = {writers::News(12, "다", "x"), writers::News(7, "가", "x"),
                                                 writers::News(13, "나", "x")};
    ASSERT_EQ(Send(&TrafficEngine::ReceiveNWS, writers::BuildNws(news)), 1);
    auto newsOrder = [&](int mask, int sort) {
        int n = 0;
        m_engine.MakeNewsList(mask, sort, &n);
        TPEGNewsRow rows[3];
        m_engine.GetNewsList(0, rows, &n);
        std::vector<int> records;
        for (int i = 0; i < n; ++i) records.push_back(rows[i].wRecord);
        return records;
    };
    EXPECT_EQ(newsOrder(0xFF, 0), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(newsOrder(0xFF, 1), (std::vector<int>{1, 0, 2}));  // categories 2, 8, 16
    EXPECT_EQ(newsOrder(0xFF, 2), (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(newsOrder(8 | 16, 0), (std::vector<int>{0, 2}));
}

TEST_F(QueriesTest, SummaryCopies) {
    ASSERT_EQ(Send(&TrafficEngine::ReceiveCTTSUM, writers::BuildCttSum({{1001, 20, 3}, {1003, 9, 4}})), 1);
    uint8_t levels[8] = {}, speeds[8] = {};
    int size = 0;
    TPEGSystemTime time;
    time.wYear = 77;
    ASSERT_EQ(m_engine.GetCTTSUMInfo(1, &size, levels, speeds, 2, &time), 0);
    EXPECT_EQ(size, 6);
    EXPECT_EQ(std::vector<uint8_t>(levels, levels + 3), (std::vector<uint8_t>{3, 255, 0}));  // capacity 2
    EXPECT_EQ(std::vector<uint8_t>(speeds, speeds + 3), (std::vector<uint8_t>{20, 0, 0}));
    EXPECT_EQ(time.wYear, 0);  // no GPS fix yet
    for (int index : {-1, 3, 4, 10000}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(m_engine.GetCTTSUMInfo(index, &size, levels, speeds, 8, nullptr), kTpegNoSummary);
        EXPECT_EQ(size, 0);
    }
    Write("ImageIDIdx.tdb", writers::BuildImageIndex({0, 4, 4, 9}));
    CMgrConfigModuleTPEG store;
    TrafficEngine engine(store, m_services);
    TrafficPathSettings settings;
    settings.dataRoot = m_dir.Path();
    ASSERT_EQ(engine.BuildPaths(settings), 1);
    std::vector<uint8_t> block(engine.ArenaBytes());
    ASSERT_GT(engine.LoadTables(block.data(), block.size()), 0);
    EXPECT_EQ(engine.GetCTTSUMInfo(1, &size, levels, speeds, 8, nullptr), kTpegNoSummary);  // empty picture
    EXPECT_EQ(engine.GetCTTSUMInfo(2, &size, levels, speeds, 8, nullptr), 0);
    EXPECT_EQ(size, 5);
}

TEST_F(QueriesTest, StatusTextAndReceiveStatus) {
    m_engine.SetChannel(1, 0);
    m_engine.SetLinkCommandState(0x2001);
    ASSERT_EQ(Send(&TrafficEngine::ReceiveCTT, writers::BuildCtt({{100, 10, 1}, {200, 10, 1}})), 1);
    ASSERT_EQ(Send(&TrafficEngine::ReceiveCTTSUM, writers::BuildCttSum({{1001, 20, 3}})), 1);
    PriceAll(m_now);
    std::u16string text;
    ASSERT_EQ(m_engine.GetStatusText(&text), 1);
    EXPECT_EQ(text, u"1a 0c 2(ct) | 1(su) | 5(op) | 2001(cmd)");
    TPEGReceiveStatus s;
    ASSERT_EQ(m_engine.GetReceiveStatus(&s), 1);
    EXPECT_EQ(s.nCttLinks, 2);
    EXPECT_EQ(s.nChannelType, 0);
    EXPECT_EQ(s.bOpiData, 1);
}

TEST_F(QueriesTest, BrandList) {
    struct Case {
        int code;
        int level;
        std::u16string title;
        std::vector<int> codes;
    };
    const Case cases[] = {
        {0, 0, u"", {10, 11}},
        {100100, -1, u"주유소", {1001, 1002, 1003, 1004, 1005}},
        {1105, 0, u"LPG충전소", {1101, 1102, 1103, 1104, 1105, 1106}},
        {11, 5, u"LPG충전소", {1101, 1102, 1103, 1104, 1105, 1106}},
        {1001, 5, u"SK엔크린", {}},
        {1106, 5, u"기타", {}},
        {12, 5, u"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        char16_t title[28];
        TPEGOilBrandRow rows[kTpegMaxBrandRows];
        int count = -1;
        ASSERT_EQ(m_engine.GetOilBrandList(c.code, c.level, title, rows, &count), 0);
        EXPECT_EQ(Text(title), c.title);
        std::vector<int> codes;
        for (int i = 0; i < count; ++i) codes.push_back(rows[i].nCode);
        EXPECT_EQ(codes, c.codes);
    }
    char16_t title[28];
    TPEGOilBrandRow rows[kTpegMaxBrandRows];
    int count = 0;
    ASSERT_EQ(m_engine.GetOilBrandList(0, 0, title, rows, &count), 0);
    EXPECT_EQ(rows[1].nValue, 7);
    EXPECT_EQ(Text(rows[1].szName), u"LPG충전소");
}

TEST_F(QueriesTest, StationPricesAndAges) {
    struct Case {
        int fuelKind;
        int16_t price;
        int64_t ageSeconds;
        bool found;
    };
    const Case cases[] = {
        {1, 99, 0, false},          {1, 100, 0, true},          {1, 10000, 0, true},   {1, 10001, 0, false},
        {1, 1500, 1296000, true},   {1, 1500, 1296001, false},  {2, 1500, 20 * 86400, false},
        {4, 900, 20 * 86400, true}, {4, 900, 2592001, false},   {3, 1500, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.fuelKind) + " " + std::to_string(c.price) + " " + std::to_string(c.ageSeconds));
        m_engine.ClearOPI();
        const uint8_t kind = c.fuelKind == 4 ? 129 : static_cast<uint8_t>(c.fuelKind);
        ASSERT_EQ(Send(&TrafficEngine::ReceiveOPI,
                       writers::BuildOpi({{11, static_cast<uint32_t>(m_now - c.ageSeconds), {{kind, c.price}}}})),
                  1);
        TPEGOilStationQuery query;
        query.nFuelKind = c.fuelKind;
        EXPECT_EQ(Search(query).size(), c.found ? 1u : 0u);
    }
}

TEST_F(QueriesTest, StationBrandFilters) {
    PriceAll(m_now);
    struct Case {
        int filter;
        std::set<uint16_t> ids;
    };
    const Case cases[] = {
        {0, {11, 12, 13, 14, 15}}, {10, {11, 12, 14, 15}}, {11, {13, 15}}, {1001, {11}}, {1002, {12}},
        {1003, {15}},              {1004, {}},             {1005, {14}},   {1103, {15}}, {1105, {13}},
        {1106, {}},                {999, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter);
        TPEGOilStationQuery query;
        query.nBrandFilter = c.filter;
        std::set<uint16_t> ids;
        for (const auto& row : Search(query)) ids.insert(static_cast<uint16_t>(row.wPrice - 1500));
        EXPECT_EQ(ids, c.ids);
    }
}

TEST_F(QueriesTest, StationDistanceAndSortOrders) {
    // Prices falling with the distance from the base, so the orders differ.
    const auto stations = FixtureStations();
    std::vector<PriceItem> items;
    for (const auto& s : stations) {
        const uint32_t d = GetApproxDistance({kBaseX, kBaseY}, s.where);
        items.push_back({s.stationId, m_now, {{1, static_cast<int16_t>(3000 - d)}}});
    }
    ASSERT_EQ(Send(&TrafficEngine::ReceiveOPI, writers::BuildOpi(items)), 1);
    TPEGOilStationQuery query;
    query.nSortOrder = 2;
    const auto byDistance = Search(query);
    ASSERT_EQ(byDistance.size(), 5u);
    for (size_t i = 1; i < byDistance.size(); ++i) EXPECT_LE(byDistance[i - 1].nDistanceM, byDistance[i].nDistanceM);
    query.nSortOrder = 1;
    const auto byPrice = Search(query);
    for (size_t i = 1; i < byPrice.size(); ++i) EXPECT_LE(byPrice[i - 1].wPrice, byPrice[i].wPrice);
    EXPECT_EQ(Text(byPrice.front().szName), Text(byDistance.back().szName));
    query.nSortOrder = 0;  // name order
    const auto byName = Search(query);
    EXPECT_EQ(Text(byName.front().szName), u"ABC주유소");
    EXPECT_EQ(Text(byName.back().szName), u"한빛주유소");

    // The limit keeps the stations not farther than it.
    query.nMaxDistanceM = static_cast<int32_t>(GetApproxDistance({kBaseX, kBaseY}, stations[0].where));
    std::set<std::u16string> near;
    for (const auto& s : stations) {
        if (GetApproxDistance({kBaseX, kBaseY}, s.where) <= static_cast<uint32_t>(query.nMaxDistanceM)) {
            near.insert(platform::Utf8ToUtf16(s.nameUtf8));
        }
    }
    EXPECT_EQ(Names(Search(query)), near);
    EXPECT_LT(near.size(), 5u);
}

TEST_F(QueriesTest, StationNameSearch) {
    PriceAll(m_now);
    struct Case {
        std::u16string name;
        std::set<std::u16string> found;
    };
    const Case cases[] = {
        {u"가", {u"가람주유소"}},
        {u"ㄱ", {u"가람주유소", u"강변셀프주유소"}},
        {u"ㄱㅂ", {u"강변셀프주유소"}},
        {u"한ㅂ", {u"한빛주유소"}},
        {u"ㅎ", {u"한빛주유소"}},
        {u"ㄴㄹ", {u"누리LPG충전소"}},
        {u"ABC", {u"ABC주유소"}},
        {u"강변셀프주유소", {u"강변셀프주유소"}},
        {u"ㄷ", {}},
        {u"하", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::Utf16ToUtf8(c.name));
        TPEGOilStationQuery query;
        std::copy(c.name.begin(), c.name.end(), query.szName);
        int result = 0;
        const auto rows = Search(query, &result);
        EXPECT_EQ(Names(rows), c.found);
        if (c.found.empty()) {
            // No name in the range fails the search; a range without a
            // matching key finds nothing.
            EXPECT_TRUE(result == kTpegStationSearchFailed || (result == 0 && rows.empty()));
        }
    }
}

class AreaServices : public TrafficServicesFixture {
public:
    int GetAddressCode(const MapPoint& p) override { return p.y > kBaseY + 1000 ? 1102 : 1101; }
    int GetAreaName(int code, std::u16string* name, int level) override {
        *name = level == 2 ? (code == 1102 ? u"북구" : u"중구") : u"?";
        return 1;
    }
};

TEST_F(QueriesTest, StationRows) {
    AreaServices services;
    CMgrConfigModuleTPEG store;
    TrafficEngine engine(store, services);
    TrafficPathSettings settings;
    settings.dataRoot = m_dir.Path();
    ASSERT_EQ(engine.BuildPaths(settings), 1);
    std::vector<uint8_t> block(engine.ArenaBytes());
    ASSERT_GT(engine.LoadTables(block.data(), block.size()), 0);
    std::vector<PriceItem> items;
    for (const auto& s : FixtureStations()) {
        items.push_back({s.stationId, m_now, {{1, static_cast<int16_t>(1500 + s.stationId)}, {129, 900}}});
    }
    const auto opi = writers::BuildOpi(items);
    ASSERT_EQ(engine.ReceiveOPI(opi.data(), opi.size()), 1);

    struct Expect {
        std::u16string name;
        std::u16string phone;
        int brandImage;
        int sector;
        std::u16string area;
    };
    // Heading 0: east is 90 degrees (sector 2), north 0 (sector 0).
    const Expect expect[] = {
        {u"ABC주유소", u"(042)999-9999", 50103, 1, u"중구"},
        {u"가람주유소", u"(031)000-5678", 50102, 2, u"중구"},
        {u"강변셀프주유소", u"", 50106, 2, u"중구"},
        {u"누리LPG충전소", u"234-5678", 50106, 0, u"북구"},
        {u"한빛주유소", u"(02)123-4567", 50101, 2, u"중구"},
    };
    TPEGOilStationQuery query;
    query.x = kBaseX, query.y = kBaseY;
    int count = 0;
    ASSERT_EQ(engine.SearchOilStation(query, &count), 0);
    ASSERT_EQ(count, 5);
    TPEGOilStationRow rows[5];
    ASSERT_EQ(engine.GetOilStationList(0, rows, &count), 0);
    ASSERT_EQ(count, 5);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Text(rows[i].szName), expect[i].name);
        EXPECT_EQ(Text(rows[i].szTelephone), expect[i].phone);
        EXPECT_EQ(rows[i].nBrandImage, expect[i].brandImage);
        EXPECT_EQ(rows[i].yDirection, expect[i].sector);
        EXPECT_EQ(Text(rows[i].szArea), expect[i].area);
        EXPECT_EQ(Text(rows[i].szDate), u"2026.12.10");
        EXPECT_EQ(rows[i].wRow, i);
    }
    // Fuel kind 4: the LPG station's brand 5 image; heading 90 turns north
    // into 270 degrees (sector 6).
    query.nFuelKind = 4;
    query.nBrandFilter = 11;
    query.nHeadingDeg = 90;
    ASSERT_EQ(engine.SearchOilStation(query, &count), 0);
    ASSERT_EQ(engine.GetOilStationList(0, rows, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(Text(rows[1].szName), u"누리LPG충전소");
    EXPECT_EQ(rows[1].nBrandImage, 50205);
    EXPECT_EQ(rows[1].yDirection, 6);
    EXPECT_EQ(rows[0].nBrandImage, 50203);
}

TEST(TrafficBearing, Sectors) {
    const MapPoint base{kBaseX, kBaseY};
    EXPECT_EQ(FlatRelativeBearing(0, base, {kBaseX, kBaseY + 100}), 0);
    EXPECT_EQ(FlatRelativeBearing(0, base, {kBaseX + 100, kBaseY}), 90);
    EXPECT_EQ(FlatRelativeBearing(0, base, {kBaseX, kBaseY - 100}), 180);
    EXPECT_EQ(FlatRelativeBearing(90, base, {kBaseX, kBaseY + 100}), 270);
}

}  // namespace
}  // namespace traffictest
