// The traffic message handlers: writer -> handler -> query round trips for
// every kind in both layouts, the channel-type maps, the repeated-message
// rule, damaged messages refused without a change, and the ageing.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "platform/byte_cursor.h"
#include "traffic_fixture.h"

namespace traffictest {
namespace {

using writers::CttItem;
using writers::IncidentItem;
using writers::NewsGroup;
using writers::NewsItem;
using writers::PriceItem;

using Handler = int (TrafficEngine::*)(const uint8_t*, size_t);

class MessagesTest : public TrafficFixture {
protected:
    int Send(Handler handler, const std::vector<uint8_t>& bytes) {
        return (m_engine.*handler)(bytes.data(), bytes.size());
    }
    // The whole state byte of a link (level and speed part).
    int RawByte(int index) {
        const int b = m_store.ExchangeLinkState(index, 0);
        m_store.ExchangeLinkState(index, static_cast<uint8_t>(b));
        return b;
    }
    std::vector<TPEGIncidentRow> Incidents(int mask = 0xFFFF, int order = 0, int onRoute = 0) {
        int count = 0;
        if (m_engine.MakeIncidentList(mask, order, onRoute, kBaseX, kBaseY, &count) != 0) return {};
        std::vector<TPEGIncidentRow> rows(static_cast<size_t>(count));
        EXPECT_EQ(m_engine.GetIncidentList(0, rows.data(), &count), 0);
        rows.resize(static_cast<size_t>(count));
        return rows;
    }
    std::vector<TPEGNewsRow> News(int mask = 0xFFFF) {
        int count = 0;
        if (m_engine.MakeNewsList(mask, 0, &count) != 0) return {};
        std::vector<TPEGNewsRow> rows(static_cast<size_t>(count));
        EXPECT_EQ(m_engine.GetNewsList(0, rows.data(), &count), 0);
        rows.resize(static_cast<size_t>(count));
        return rows;
    }
    std::u16string NewsText(int listIndex) {
        TPEGNewsInfo info;
        if (m_engine.GetNewsInfo(listIndex, &info) != 0) return u"(none)";
        return info.szText;
    }
};

// --- Congestion ------------------------------------------------------------

TEST_F(MessagesTest, CongestionBasicLayout) {
    m_engine.SetChannel(1, 0);
    const std::vector<CttItem> items = {
        {100, 25, 0},   // unflagged link, level from speed: 2; 25 / 3 = 8 -> 0x42
        {200, 25, 0},   // flagged link: below 30 is level 4 -> 0x44
        {300, 0, 0},    // no level, no speed: byte 0
        {400, 99, 1},   // 99 / 3 = 33 does not fit five bits: kept at 31 -> 0xF9
        {999, 10, 2},   // unknown link
        {500, 10, 5},   // level above 4
        {0, 10, 2},     // link id 0
    };
    ASSERT_EQ(Send(&TrafficEngine::ReceiveCTT, writers::BuildCtt(items)), 1);
    EXPECT_EQ(RawByte(0), 0x42);
    EXPECT_EQ(RawByte(1), 0x44);
    EXPECT_EQ(RawByte(2), 0x00);
    EXPECT_EQ(RawByte(3), 0xF9);
    EXPECT_EQ(RawByte(4), 255);
    EXPECT_EQ(Congestion(), (std::vector<int>{2, 4, 0, 1, 255, 255, 255, 255, 255, 255}));
    EXPECT_EQ(m_store.GetCongestionLinkCount(), 4);
    EXPECT_EQ(m_engine.GetCTTPercent(), 40);
    EXPECT_EQ(m_engine.IsCleared(kTrafficCTT), 0);

    // Links that had data are not counted twice.
    ASSERT_EQ(Send(&TrafficEngine::ReceiveCTT, writers::BuildCtt({{100, 60, 1}, {600, 60, 1}})), 1);
    EXPECT_EQ(m_store.GetCongestionLinkCount(), 5);
    EXPECT_EQ(RawByte(0), 0xA1);
}

TEST_F(MessagesTest, CongestionExtendedLayout) {
    m_engine.SetChannel(1, 0);
    const std::vector<CttItem> items = {
        {600, 0, 0, true, 50, 3},    // both from the long part: 3 | 16 << 3 = 0x83
        {700, 40, 0, true, 10, 2},   // speed kept, level from the long part: 2 | 13 << 3 = 0x6A
        {800, 30, 1},                // short item: 1 | 10 << 3 = 0x51
        {900, 30, 2, true, 90, 4},   // level and speed present: long part unused -> 0x52
    };
    ASSERT_EQ(Send(&TrafficEngine::ReceiveCTTExt, writers::BuildCttExt(items)), 1);
    EXPECT_EQ(RawByte(5), 0x83);
    EXPECT_EQ(RawByte(6), 0x6A);
    EXPECT_EQ(RawByte(7), 0x51);
    EXPECT_EQ(RawByte(8), 0x52);
    EXPECT_EQ(m_store.GetCongestionLinkCount(), 4);
}

TEST_F(MessagesTest, LevelFromSpeedByChannelType) {
    struct Case {
        int channel;
        uint8_t speed;
        int unflagged;  // link 100
        int flagged;    // link 200
    };
    const Case cases[] = {
        {0, 9, 4, 4},  {0, 10, 3, 4}, {0, 19, 3, 4}, {0, 20, 2, 4}, {0, 29, 2, 4}, {0, 30, 1, 3},
        {0, 49, 1, 3}, {0, 50, 1, 2}, {0, 69, 1, 2}, {0, 70, 1, 1}, {1, 15, 3, 4}, {1, 55, 1, 2},
        {2, 7, 4, 4},  {2, 8, 3, 4},  {2, 17, 3, 4}, {2, 18, 2, 4}, {2, 22, 2, 4}, {2, 23, 2, 3},
        {2, 28, 1, 3}, {2, 42, 1, 3}, {2, 43, 1, 2}, {2, 62, 1, 2}, {2, 63, 1, 1}, {4, 8, 3, 4},
        {4, 63, 1, 1}, {3, 5, 0, 0},  {3, 90, 0, 0}, {-1, 5, 0, 0}, {5, 5, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("channel " + std::to_string(c.channel) + " speed " + std::to_string(c.speed));
        m_engine.SetChannel(1, c.channel);
        ASSERT_EQ(Send(&TrafficEngine::ReceiveCTT, writers::BuildCtt({{100, c.speed, 0}, {200, c.speed, 0}})), 1);
        EXPECT_EQ(Congestion()[0], c.unflagged);
        EXPECT_EQ(Congestion()[1], c.flagged);
    }
}

TEST_F(MessagesTest, SummaryBasicAndExtendedLayouts) {
    const std::vector<CttItem> items = {
        {5, 40, 1},        // index 0, position 5: slot 4
        {1001, 20, 3},     // index 1, first slot
        {1006, 8, 4},      // index 1, last slot
        {1007, 8, 4},      // past index 1: missed
        {1000, 8, 4},      // position 0 would be the slot before index 1: refused
        {0, 8, 4},         // key 0
        {2004, 30, 5},     // level 5
        {3001, 30, 2},     // index 3 has no entries
        {10000001, 9, 1},  // index 10000
    };
    ASSERT_EQ(Send(&TrafficEngine::ReceiveCTTSUM, writers::BuildCttSum(items)), 1);
    EXPECT_EQ(Summary(1), (std::vector<uint8_t>{3, 255, 255, 255, 255, 4, 20, 0, 0, 0, 0, 8}));
    std::vector<uint8_t> index0(20, 0);
    std::fill(index0.begin(), index0.begin() + 10, 255);
    index0[4] = 1;
    index0[14] = 40;
    EXPECT_EQ(Summary(0), index0);
    EXPECT_EQ(Status().nCttSumSlots, 3);

    const std::vector<CttItem> extended = {
        {2001, 0, 0, true, 33, 2},   // level 0: speed and level from the long part
        {2002, 44, 1, true, 33, 2},  // level 1: neither replaced
        {2003, 12, 3},
    };
    ASSERT_EQ(Send(&TrafficEngine::ReceiveCTTSUMExt, writers::BuildCttSumExt(extended)), 1);
    EXPECT_EQ(Summary(2), (std::vector<uint8_t>{2, 1, 3, 255, 33, 44, 12, 0}));
    EXPECT_EQ(Status().nCttSumSlots, 6);
}

// --- Incidents -------------------------------------------------------------

TEST_F(MessagesTest, IncidentsBasicLayout) {
    m_engine.SetChannel(1, 0);
    const std::vector<IncidentItem> items = {
        {5, "\xB0\xF8", "도로 공사 중", 300, 0, 12701000, 3750000},   // text rule 0xB0: works (2)
        {9, "", "낙하물", 400, 0, 12702000, 3751000},                  // no text: type 9 stays
        {9, "", "같은 곳", 400, 0, 12702000, 3751000},                 // same place as before: dropped
        {1, "", "추돌 사고", 999, 0, 12703000, 3752000},               // accident, unknown link: no position
        {3, "", "행사", 500, 0, 127030000, 37520000},                  // 10^-6 degree
    };
    ASSERT_EQ(Send(&TrafficEngine::ReceiveRTM, writers::BuildRtm(items)), 1);
    const std::vector<TPEGIncidentRow> rows = Incidents(0xFFFF, 1);
    ASSERT_EQ(rows.size(), 4u);
    // By type: 1, 2, 3, 9.
    EXPECT_EQ(Text(rows[0].szTitle), u"추돌 사고");
    EXPECT_EQ(rows[0].wType, 1);
    EXPECT_EQ(rows[0].x, 0);
    EXPECT_EQ(rows[0].nDistanceM, 0);   // no position
    EXPECT_EQ(Text(rows[1].szTitle), u"도로 공사 중");
    EXPECT_EQ(rows[1].wType, 2);
    // trunc(12701000 / 100000 x 524288) = 66589818, trunc(37.5 x 524288) = 19660800
    EXPECT_EQ(rows[1].x, 66589818);
    EXPECT_EQ(rows[1].y, 19660800);
    EXPECT_GT(rows[1].nDistanceM, 0);
    EXPECT_EQ(rows[2].wType, 3);
    // 127030000 / 100000 x 524288 = 666003046.4 is above 99999999: / 10
    EXPECT_EQ(rows[2].x, 66600304);
    EXPECT_EQ(rows[3].wType, 9);
    EXPECT_EQ(rows[3].wRow, 3);
    // Event bytes: 8 for other types, 1 for accidents on a known link.
    EXPECT_EQ(m_store.GetLinkEventFlag(2), 8);
    EXPECT_EQ(m_store.GetLinkEventFlag(3), 8);
    EXPECT_EQ(m_store.GetLinkEventFlag(4), 8);
    EXPECT_EQ(m_store.GetLinkEventFlag(0), 0);

    TPEGIncidentInfo info;
    ASSERT_EQ(m_engine.GetIncidentInfo(1, &info), 0);
    EXPECT_EQ(Text(info.szDetail), u"도로 공사 중");
    EXPECT_EQ(m_engine.GetIncidentInfo(4, &info), kTpegNoIncident);

    // The map overlay gets the incidents with a position (the accident too:
    // its received position was not zero).
    int count = 0;
    EXPECT_EQ(m_store.GetTrafficItems(&count, nullptr), 1);
    EXPECT_EQ(count, 4);
}

// Only a position that repeats the record before with both coordinates
// non-zero is a repeat: one zero coordinate (an item without a longitude,
// an accident whose link is unknown) or one coordinate that differs keeps it.
TEST_F(MessagesTest, OnlyARepeatedNonZeroPositionIsDropped) {
    m_engine.SetChannel(1, 0);
    const std::vector<IncidentItem> items = {
        {9, "", "가", 400, 0, 12702000, 3751000},
        {9, "", "나", 400, 0, 12702000, 3751000},   // repeats the one before: dropped
        {9, "", "다", 400, 0, 12702000, 3760000},   // same longitude only
        {9, "", "라", 400, 0, 0, 3760000},          // no longitude
        {9, "", "마", 400, 0, 0, 3760000},          // no longitude again
        {1, "", "바", 999, 0, 12703000, 3752000},   // accident, unknown link: 0, 0
        {1, "", "사", 999, 0, 12703000, 3752000},   // and again
    };
    ASSERT_EQ(Send(&TrafficEngine::ReceiveRTM, writers::BuildRtm(items)), 1);
    std::vector<std::u16string> titles;
    for (const TPEGIncidentRow& row : Incidents(0xFFFF, 1)) titles.push_back(Text(row.szTitle));
    std::sort(titles.begin(), titles.end());
    EXPECT_EQ(titles, (std::vector<std::u16string>{u"가", u"다", u"라", u"마", u"바", u"사"}));
}

TEST_F(MessagesTest, IncidentTypesByChannelType) {
    struct Case {
        int channel;
        bool extended;
        uint8_t code;
        std::string text;
        int type;
    };
    const Case cases[] = {
        {0, false, 7, "\xB0\xA1", 2},           {0, false, 7, "\xB4\xEB\xC5\xEB\xBB", 1},
        {0, false, 7, "\xB4\xEB\xC5\xEB\xC1", 8}, {0, false, 7, "\xB4\xEB", 7},
        {0, false, 7, "\xC1\xA4", 1},           {1, false, 7, "\xC0\xCF", 1},
        {1, false, 7, "\xC0\xE7", 8},           {1, false, 7, "\xC0\xA1", 7},
        {0, false, 7, "\xC6\xA1", 8},           {0, false, 7, "\xC7\xA1", 4},
        {2, false, 3, "\xB0", 1},               {2, false, 20, "", 1},
        {2, false, 43, "", 1},                  {2, false, 12, "", 8},
        {2, false, 47, "", 8},                  {2, false, 24, "", 4},
        {2, false, 50, "", 2},                  {2, false, 51, "", 51},
        {4, false, 176, "", 2},                 {4, false, 187, "", 1},
        {4, false, 197, "", 8},                 {4, false, 199, "", 4},
        {4, false, 3, "", 3},                   {3, false, 12, "\xB0", 12},
        {0, true, 0, "\xB0", 2},                {0, true, 0, "", 0},
        {2, true, 0, "\x05", 1},                {2, true, 0, "\x06", 4},
        {2, true, 0, "\x0A", 2},                {2, true, 0, "\x09", 8},
        {2, true, 0, "\x0B", 0},                {4, true, 0, "\xBB", 1},
        {4, true, 0, "\xC7", 4},                {3, true, 0, "\x05", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("channel " + std::to_string(c.channel) + (c.extended ? " ext" : "") + " code " +
                     std::to_string(c.code));
        m_engine.SetChannel(1, c.channel);
        const std::vector<IncidentItem> items = {{c.code, c.text, "x", 100, 0, 12700000, 3750000}};
        ASSERT_EQ(Send(c.extended ? &TrafficEngine::ReceiveRTMExt : &TrafficEngine::ReceiveRTM,
                       c.extended ? writers::BuildRtmExt(items) : writers::BuildRtm(items)),
                  1);
        const auto rows = Incidents(0xFF);
        if (c.type == 0) {
            EXPECT_TRUE(rows.empty());
        } else {
            ASSERT_EQ(rows.size(), 1u);
            EXPECT_EQ(rows[0].wType, c.type);
        }
    }
}

TEST_F(MessagesTest, IncidentsOnTheRoute) {
    m_engine.SetChannel(1, 0);
    EXPECT_EQ(Incidents(0xFFFF, 0, 1).size(), 0u);
    ASSERT_EQ(m_engine.SetRouteLinkMark(2, 1), 1);  // link 300
    ASSERT_EQ(m_engine.SetRouteLinkMark(4, 1), 1);  // link 500
    EXPECT_EQ(m_engine.SetRouteLinkMark(10, 1), 0);
    const std::vector<IncidentItem> first = {
        {4, "", "행사", 300, 0, 12701000, 3750000},
        {1, "", "사고", 500, 0, 12702000, 3750000},   // a later accident becomes the one announced
        {1, "", "사고2", 600, 0, 12703000, 3750000},  // not on the route
    };
    ASSERT_EQ(Send(&TrafficEngine::ReceiveRTM, writers::BuildRtm(first)), 1);
    EXPECT_EQ(Status().wRouteIncidentCount, 1);
    EXPECT_EQ(Status().wRouteIncidentType, 1);
    EXPECT_EQ(Incidents(0x8000).size(), 2u);
    EXPECT_EQ(Incidents(0xFFFF, 0, 1).size(), 2u);
    // The same links again: already announced, so nothing new on the route.
    const std::vector<IncidentItem> again = {{4, "", "행사 계속", 300, 0, 12701000, 3750000}};
    ASSERT_EQ(Send(&TrafficEngine::ReceiveRTM, writers::BuildRtm(again)), 1);
    EXPECT_EQ(Status().wRouteIncidentCount, 0);
    EXPECT_EQ(Incidents(0x8000).size(), 1u);
}

TEST_F(MessagesTest, IncidentCapAndExtendedLayout) {
    m_engine.SetChannel(1, 2);
    std::vector<IncidentItem> many;
    for (uint32_t i = 0; i < 250; ++i) many.push_back({3, "", "x", 0, static_cast<uint16_t>(i), 12700000 + i, 3750000});
    ASSERT_EQ(Send(&TrafficEngine::ReceiveRTMExt, writers::BuildRtmExt(many)), 1);
    // Extended layout on channel type 2: an empty type text gives type 0.
    EXPECT_EQ(Incidents(0xFF).size(), 0u);
    for (auto& item : many) item.typeText = "\x0A";
    ASSERT_EQ(Send(&TrafficEngine::ReceiveRTMExt, writers::BuildRtmExt(many)), 1);
    EXPECT_EQ(Incidents(0xFF).size(), 200u);
}

// A repeated message only refreshes the receive time; one of the same size
// but other bytes is a new message.
TEST_F(MessagesTest, RepeatedIncidentsAndNewsArePassed) {
    m_engine.SetChannel(1, 0);
    const auto rtm = writers::BuildRtm({{4, "", "행사 하나", 300, 0, 12701000, 3750000}});
    ASSERT_EQ(Send(&TrafficEngine::ReceiveRTM, rtm), 1);
    ASSERT_EQ(Incidents().size(), 1u);
    TPEGIncidentRow row;
    int count = 1;
    m_clock.Advance(50 * 60 * 1000);
    ASSERT_EQ(Send(&TrafficEngine::ReceiveRTM, rtm), 1);
    EXPECT_EQ(m_engine.GetIncidentList(0, &row, &count), 0);  // not rebuilt
    EXPECT_EQ(count, 1);
    m_clock.Advance(50 * 60 * 1000);  // 100 minutes after the first, 50 after the pass
    m_engine.CheckReceiveState();
    EXPECT_EQ(m_engine.IsCleared(kTrafficRTM), 0);

    const auto other = writers::BuildRtm({{4, "", "행사 둘이", 300, 0, 12701000, 3750000}});
    ASSERT_EQ(other.size(), rtm.size());
    ASSERT_EQ(Send(&TrafficEngine::ReceiveRTM, other), 1);
    count = 1;
    EXPECT_EQ(m_engine.GetIncidentList(0, &row, &count), kTpegIncidentRebuilt);
    EXPECT_EQ(count, 0);
    ASSERT_EQ(Incidents().size(), 1u);
    EXPECT_EQ(Text(Incidents()[0].szTitle), u"행사 둘이");

    const auto nws = writers::BuildNws({writers::News(7, "제목 하나", "본문")});
    const auto nws2 = writers::BuildNws({writers::News(7, "제목 둘이", "본문")});
    ASSERT_EQ(Send(&TrafficEngine::ReceiveNWS, nws), 1);
    ASSERT_EQ(News().size(), 1u);
    ASSERT_EQ(Send(&TrafficEngine::ReceiveNWS, nws), 1);
    TPEGNewsRow newsRow;
    count = 1;
    EXPECT_EQ(m_engine.GetNewsList(0, &newsRow, &count), 0);
    ASSERT_EQ(Send(&TrafficEngine::ReceiveNWS, nws2), 1);
    count = 1;
    EXPECT_EQ(m_engine.GetNewsList(0, &newsRow, &count), kTpegNewsRebuilt);
    EXPECT_EQ(Text(News()[0].szTitle), u"제목 둘이");
}

// --- News --------------------------------------------------------------------

TEST_F(MessagesTest, NewsCategoriesByChannelType) {
    struct Case {
        int channel;
        uint8_t code;
        int category;
    };
    const Case cases[] = {
        {0, 1, 1},  {0, 2, 1},  {0, 6, 1},  {0, 7, 2},  {0, 5, 4},  {0, 12, 8}, {0, 13, 16}, {0, 3, 32},
        {0, 11, 32}, {0, 14, 0}, {1, 13, 16}, {2, 6, 1}, {2, 7, 2},  {2, 5, 4},  {2, 12, 8},  {2, 4, 32},
        {2, 8, 32}, {2, 13, 0}, {2, 3, 0},  {4, 7, 0},  {-1, 7, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("channel " + std::to_string(c.channel) + " code " + std::to_string(c.code));
        m_engine.SetChannel(1, c.channel);
        ASSERT_EQ(Send(&TrafficEngine::ReceiveNWS, writers::BuildNws({writers::News(c.code, "제목", "본문")})), 1);
        ASSERT_EQ(News(0xFFFF).size(), c.category ? 1u : 0u);
        if (c.category) {
            EXPECT_EQ(News(0xFFFF)[0].wCategory, c.category);
        }
        m_engine.ClearNWS();
    }
}

TEST_F(MessagesTest, NewsBasicLayoutWithTicker) {
    m_engine.SetChannel(1, 0);
    NewsItem ticker{13, "Scroll", "", "", {}, {}};
    // '[' 's' sets category 16; '=' lines are news without their first and
    // last byte; a one-byte '=' line and other lines are skipped; 0xA2 lines
    // start two bytes in; '*' 0xB1 switches to category 2.
    ticker.rawText = "[s\r\n" + writers::ToCp949("=첫 소식.") + "\r\n=\r\nxx\r\n" + writers::ToCp949("=둘째 소식!") +
                     "\n*\xB1\n\xA2\xA2" + writers::ToCp949("셋째") + "\n";
    const std::vector<NewsItem> items = {{7, "출근길", "시내 혼잡", "", {}, {}}, ticker,
                                         writers::News(7, std::string(70, 'T'), "long title")};
    ASSERT_EQ(Send(&TrafficEngine::ReceiveNWS, writers::BuildNws(items)), 1);
    const auto rows = News();
    ASSERT_EQ(rows.size(), 5u);
    // The store keeps 61 title bytes; the row shows 60 characters and the NUL.
    EXPECT_EQ(Text(rows[4].szTitle), std::u16string(60, u'T'));
    EXPECT_EQ(Text(rows[0].szTitle), u"출근길");
    EXPECT_EQ(rows[0].wCategory, 2);
    EXPECT_EQ(NewsText(0), u"시내 혼잡");
    EXPECT_EQ(Text(rows[1].szTitle), u"첫 소식");
    EXPECT_EQ(rows[1].wCategory, 16);
    EXPECT_EQ(NewsText(1), u"첫 소식");
    EXPECT_EQ(NewsText(2), u"둘째 소식");
    EXPECT_EQ(rows[2].wCategory, 16);
    EXPECT_EQ(NewsText(3), u"셋째");
    EXPECT_EQ(rows[3].wCategory, 2);
    EXPECT_EQ(News(16).size(), 2u);
}

TEST_F(MessagesTest, NewsCappedAt300Records) {
    m_engine.SetChannel(1, 0);
    std::vector<NewsItem> items(320, NewsItem{7, "t", "본문", "", {}, {}});
    ASSERT_EQ(Send(&TrafficEngine::ReceiveNWS, writers::BuildNws(items)), 1);
    EXPECT_EQ(News().size(), 300u);
    // A ticker adds no more once the table is full.
    items.resize(299);
    NewsItem ticker{7, "Scroll", "", "=a1\n=b2\n=c3\n", {}, {}};
    items.push_back(ticker);
    ASSERT_EQ(Send(&TrafficEngine::ReceiveNWS, writers::BuildNws(items)), 1);
    EXPECT_EQ(News().size(), 300u);
}

TEST_F(MessagesTest, NewsExtendedLayout) {
    m_engine.SetChannel(1, 0);
    NewsItem plain{12, "사고 소식", "터널 안 정체", "", {"pp", ""}, {"qqqqq"}};
    NewsItem empty{12, "제목만", "", "", {}, {}};
    NewsItem ticker{0, "Scroll", "", "[\xC1\n" + writers::ToCp949("=속보!") + "\n", {}, {}};
    const std::vector<NewsGroup> groups = {{1, 2, {plain, empty}, std::string("tail")}, {0, 0, {ticker}, {}}};
    ASSERT_EQ(Send(&TrafficEngine::ReceiveNWSExt, writers::BuildNwsExt(groups)), 1);
    const auto rows = News();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].wCategory, 8);
    EXPECT_EQ(NewsText(0), u"터널 안 정체");
    EXPECT_EQ(rows[1].wCategory, 0xFFFF);
    EXPECT_EQ(Text(rows[1].szTitle), u"제목만");
    EXPECT_EQ(NewsText(1), u"");
    EXPECT_EQ(rows[2].wCategory, 1);
    EXPECT_EQ(NewsText(2), u"속보");
}

// --- Fuel prices -------------------------------------------------------------

TEST_F(MessagesTest, PricesBasicAndExtendedLayouts) {
    const uint32_t now = static_cast<uint32_t>(FixtureNowSeconds());
    const std::vector<PriceItem> items = {
        {11, now, {{1, 1650}, {2, 1480}, {3, 9999}}},   // kind 3 is ignored
        {0x1000D, now, {{129, 985}}},                    // station 13 by its low 16 bits
        {99, now, {{1, 1500}}},                          // unknown station
    };
    ASSERT_EQ(Send(&TrafficEngine::ReceiveOPI, writers::BuildOpi(items)), 1);
    EXPECT_EQ(Status().nOpiStations, 2);
    EXPECT_EQ(Status().bOpiData, 1);
    TPEGOilStationQuery query;
    query.x = kBaseX, query.y = kBaseY;
    struct Case {
        int fuelKind;
        int price;
    };
    for (const Case c : {Case{1, 1650}, Case{2, 1480}, Case{4, 985}}) {
        SCOPED_TRACE(c.fuelKind);
        query.nFuelKind = c.fuelKind;
        int count = 0;
        ASSERT_EQ(m_engine.SearchOilStation(query, &count), 0);
        ASSERT_EQ(count, 1);
        TPEGOilStationRow row;
        ASSERT_EQ(m_engine.GetOilStationList(0, &row, &count), 0);
        EXPECT_EQ(row.wPrice, c.price);
    }
    ASSERT_EQ(Send(&TrafficEngine::ReceiveOPIExt, writers::BuildOpiExt({{12, now, {{1, 1500}}}})), 1);
    EXPECT_EQ(Status().nOpiStations, 3);
    query.nFuelKind = 1;
    int count = 0;
    ASSERT_EQ(m_engine.SearchOilStation(query, &count), 0);
    EXPECT_EQ(count, 2);
}

// --- Damage ------------------------------------------------------------------

std::vector<uint8_t> Patched(std::vector<uint8_t> bytes, size_t at, std::initializer_list<uint8_t> with) {
    std::copy(with.begin(), with.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    return bytes;
}

std::vector<uint8_t> Cut(const std::vector<uint8_t>& bytes, size_t n) {
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
}

TEST_F(MessagesTest, DamagedMessagesChangeNothing) {
    m_engine.SetChannel(1, 0);
    const uint32_t now = static_cast<uint32_t>(FixtureNowSeconds());
    const auto ctt = writers::BuildCtt({{100, 30, 2}, {200, 40, 1}});
    const auto cttExt = writers::BuildCttExt({{100, 30, 2, true, 1, 1}, {200, 40, 1}});
    const auto sum = writers::BuildCttSum({{1001, 20, 3}, {1002, 8, 4}});
    const auto sumExt = writers::BuildCttSumExt({{1001, 20, 3}, {1002, 8, 4, true, 1, 1}});
    const std::vector<IncidentItem> incidents = {{1, "\xB0", "사고", 300, 0, 12701000, 3750000},
                                                 {2, "", "공사", 400, 0, 12702000, 3750000}};
    const auto rtm = writers::BuildRtm(incidents);
    const auto rtmExt = writers::BuildRtmExt(incidents);
    const auto nws = writers::BuildNws({writers::News(7, "제목", "본문"), writers::News(7, "Scroll", "=ab\n")});
    NewsItem extItem{12, "제목", "본문", "", {"pp"}, {"qqq"}};
    const auto nwsExt = writers::BuildNwsExt({{1, 1, {extItem, extItem}, std::string("tl")}});
    const auto opi = writers::BuildOpi({{11, now, {{1, 1600}}}, {12, now, {{1, 1500}, {2, 1400}}}});
    const auto opiExt = writers::BuildOpiExt({{11, now, {{1, 1600}}}, {12, now, {{1, 1500}}}});

    // Some data of every kind first, so a change would show.
    ASSERT_EQ(Send(&TrafficEngine::ReceiveCTT, writers::BuildCtt({{300, 10, 4}})), 1);
    ASSERT_EQ(Send(&TrafficEngine::ReceiveCTTSUM, writers::BuildCttSum({{2001, 10, 4}})), 1);
    ASSERT_EQ(Send(&TrafficEngine::ReceiveRTM, writers::BuildRtm({{3, "", "행사", 500, 0, 12701000, 3750000}})), 1);
    ASSERT_EQ(Send(&TrafficEngine::ReceiveNWS, writers::BuildNws({writers::News(5, "기존", "기존 본문")})), 1);
    ASSERT_EQ(Send(&TrafficEngine::ReceiveOPI, writers::BuildOpi({{14, now, {{1, 1700}}}})), 1);
    m_clock.Advance(1000);
    const StoreView before = ViewOf(m_engine);

    struct Case {
        std::string what;
        Handler handler;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    struct Whole {
        const char* name;
        Handler handler;
        const std::vector<uint8_t>* bytes;
    };
    const Whole wholes[] = {
        {"CTT", &TrafficEngine::ReceiveCTT, &ctt},          {"CTT ext", &TrafficEngine::ReceiveCTTExt, &cttExt},
        {"CTTSUM", &TrafficEngine::ReceiveCTTSUM, &sum},    {"CTTSUM ext", &TrafficEngine::ReceiveCTTSUMExt, &sumExt},
        {"RTM", &TrafficEngine::ReceiveRTM, &rtm},          {"RTM ext", &TrafficEngine::ReceiveRTMExt, &rtmExt},
        {"NWS", &TrafficEngine::ReceiveNWS, &nws},          {"NWS ext", &TrafficEngine::ReceiveNWSExt, &nwsExt},
        {"OPI", &TrafficEngine::ReceiveOPI, &opi},          {"OPI ext", &TrafficEngine::ReceiveOPIExt, &opiExt},
    };
    // Truncated at every byte: inside the header and inside each field.
    for (const Whole& w : wholes) {
        for (size_t n = 0; n < w.bytes->size(); ++n) {
            cases.push_back({std::string(w.name) + " cut at " + std::to_string(n), w.handler, Cut(*w.bytes, n)});
        }
    }
    // Counts one too large.
    cases.push_back({"CTT count", &TrafficEngine::ReceiveCTT, Patched(ctt, 0, {3})});
    cases.push_back({"CTT ext count", &TrafficEngine::ReceiveCTTExt, Patched(cttExt, 4, {3})});
    cases.push_back({"CTTSUM count", &TrafficEngine::ReceiveCTTSUM, Patched(sum, 0, {3})});
    cases.push_back({"CTTSUM ext count", &TrafficEngine::ReceiveCTTSUMExt, Patched(sumExt, 4, {3})});
    cases.push_back({"RTM count", &TrafficEngine::ReceiveRTM, writers::BuildRtm(incidents, 3)});
    cases.push_back({"RTM ext count", &TrafficEngine::ReceiveRTMExt, writers::BuildRtmExt(incidents, 3)});
    cases.push_back({"NWS count", &TrafficEngine::ReceiveNWS, Patched(nws, 0, {3})});
    cases.push_back({"NWS ext groups", &TrafficEngine::ReceiveNWSExt, Patched(nwsExt, 4, {2})});
    cases.push_back({"NWS ext items", &TrafficEngine::ReceiveNWSExt, Patched(nwsExt, 14, {3})});
    cases.push_back({"OPI count", &TrafficEngine::ReceiveOPI, writers::BuildOpi({{11, now, {{1, 1600}}}}, 2)});
    cases.push_back({"OPI ext count", &TrafficEngine::ReceiveOPIExt, Patched(opiExt, 4, {3})});
    // Lengths past the payload.
    cases.push_back({"CTT size one more", &TrafficEngine::ReceiveCTT, [&] {
                         auto b = ctt;
                         b.push_back(0);
                         return b;
                     }()});
    cases.push_back({"RTM type text length", &TrafficEngine::ReceiveRTM, Patched(rtm, 9, {0xF0})});
    cases.push_back({"RTM detail length", &TrafficEngine::ReceiveRTM, Patched(rtm, 10, {0xFF, 0x7F})});
    cases.push_back({"RTM ext detail length", &TrafficEngine::ReceiveRTMExt, Patched(rtmExt, 13, {0xFF, 0xFF})});
    cases.push_back({"NWS text length", &TrafficEngine::ReceiveNWS, Patched(nws, 10, {0x00, 0x10})});
    cases.push_back({"NWS title length", &TrafficEngine::ReceiveNWS, Patched(nws, 9, {0xFF})});
    cases.push_back({"NWS ext skipped A bytes", &TrafficEngine::ReceiveNWSExt, Patched(nwsExt, 12, {0xFF})});
    cases.push_back({"NWS ext P block length", &TrafficEngine::ReceiveNWSExt, [&] {
                         // Group header 4 + A 4 + B 4, then the item header of 6 and
                         // its title (4), kind byte and text (4); the P block's length follows
                         // one byte later.
                         const size_t at = 12 + 4 + 4 + 4 + 6 + 4 + 1 + 4 + 1;
                         return Patched(nwsExt, at, {0xFF, 0xFF, 0, 0});
                     }()});
    cases.push_back({"OPI price entries", &TrafficEngine::ReceiveOPI, Patched(opi, 16, {0x40})});
    // Oversized incident and news messages.
    std::vector<uint8_t> big = rtm;
    big.resize(kTpegMaxMessageBytes + 1, 0);
    cases.push_back({"RTM oversized", &TrafficEngine::ReceiveRTM, big});
    big = nws;
    big.resize(kTpegMaxMessageBytes + 1, 0);
    cases.push_back({"NWS oversized", &TrafficEngine::ReceiveNWS, big});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Send(c.handler, c.bytes), 0);
    }
    EXPECT_TRUE(ViewOf(m_engine) == before);

    // The same messages whole are taken in.
    for (const Whole& w : wholes) {
        SCOPED_TRACE(w.name);
        EXPECT_EQ(Send(w.handler, *w.bytes), 1);
    }
    EXPECT_FALSE(ViewOf(m_engine) == before);
}

// --- Clearing and ageing -----------------------------------------------------

class AgeingTest : public MessagesTest {
protected:
    void StoreEveryKind() {
        const uint32_t now = static_cast<uint32_t>(FixtureNowSeconds());
        ASSERT_EQ(Send(&TrafficEngine::ReceiveCTT, writers::BuildCtt({{100, 30, 2}})), 1);
        ASSERT_EQ(Send(&TrafficEngine::ReceiveCTTSUM, writers::BuildCttSum({{1001, 20, 3}})), 1);
        ASSERT_EQ(Send(&TrafficEngine::ReceiveRTM, writers::BuildRtm({{1, "", "사고", 300, 0, 12701000, 3750000}})), 1);
        ASSERT_EQ(Send(&TrafficEngine::ReceiveNWS, writers::BuildNws({writers::News(7, "제목", "본문")})), 1);
        ASSERT_EQ(Send(&TrafficEngine::ReceiveOPI, writers::BuildOpi({{11, now, {{1, 1600}}}})), 1);
    }
    std::vector<int> Cleared() {
        std::vector<int> out;
        for (TrafficKind k : {kTrafficCTT, kTrafficCTTSUM, kTrafficRTM, kTrafficNWS, kTrafficOPI}) {
            out.push_back(m_engine.IsCleared(k));
        }
        return out;
    }
    void CheckAt(uint64_t msAfterStore) {
        m_clock.SetTick(m_storedAt + msAfterStore);
        m_engine.CheckReceiveState();
    }
    uint64_t m_storedAt = 0;
};

// CTT and CTTSUM go after 20 minutes, RTM and NWS after 60, OPI after 72
// hours; before a GPS fix the receive times stay zero and the tick alone
// ages the data; after one both agree.
TEST_F(AgeingTest, EachKindAgesOutWithOrWithoutAGpsFix) {
    for (bool fix : {false, true}) {
        SCOPED_TRACE(fix ? "after a GPS fix" : "before any GPS fix");
        m_services.SetGpsFixSeen(fix);
        m_engine.SetChannel(1, 0);
        StoreEveryKind();
        m_storedAt = m_clock.TickMs64();
        EXPECT_EQ(Status().sCttTime.wYear, fix ? 2026 : 0);
        EXPECT_EQ(m_store.GetTrafficTimeYear(), fix ? 2026 : 0);
        EXPECT_EQ(Cleared(), (std::vector<int>{0, 0, 0, 0, 0}));

        CheckAt(10 * 1000);
        EXPECT_EQ(Cleared(), (std::vector<int>{0, 0, 0, 0, 0}));
        CheckAt(1200000);
        EXPECT_EQ(Cleared(), (std::vector<int>{0, 0, 0, 0, 0}));
        CheckAt(1200001);
        EXPECT_EQ(Cleared(), (std::vector<int>{1, 1, 0, 0, 0}));
        EXPECT_EQ(Congestion()[0], 255);
        EXPECT_EQ(Status().sCttTime.wYear, 0);
        CheckAt(3600000);
        EXPECT_EQ(Cleared(), (std::vector<int>{1, 1, 0, 0, 0}));
        CheckAt(3600001);
        EXPECT_EQ(Cleared(), (std::vector<int>{1, 1, 1, 1, 0}));
        EXPECT_EQ(m_store.GetLinkEventFlag(2), 0);
        CheckAt(72ull * 3600000 + 3599999);
        EXPECT_EQ(Cleared(), (std::vector<int>{1, 1, 1, 1, 0}));
        CheckAt(73ull * 3600000);
        EXPECT_EQ(Cleared(), (std::vector<int>{1, 1, 1, 1, 1}));
        EXPECT_EQ(Status().nOpiStations, 0);
        EXPECT_EQ(Status().bOpiData, 0);
    }
}

TEST_F(AgeingTest, ReceiveStateFollowsTheLastData) {
    m_services.SetGpsFixSeen(true);
    m_engine.CheckReceiveState();
    EXPECT_EQ(Status().nReceiveState, 1);  // nothing received yet
    StoreEveryKind();
    m_storedAt = m_clock.TickMs64();
    CheckAt(60000);
    EXPECT_EQ(Status().nReceiveState, 2);
    CheckAt(60001);
    EXPECT_EQ(Status().nReceiveState, 1);
    m_engine.ResetReceptionStatus();
    EXPECT_EQ(Status().nReceiveState, 0);
    EXPECT_EQ(Status().nChannelType, 0);
}

TEST_F(AgeingTest, ClearAllEmptiesEveryKindAndRebuildsLists) {
    m_engine.SetChannel(1, 0);
    StoreEveryKind();
    ASSERT_EQ(Incidents().size(), 1u);
    ASSERT_EQ(News().size(), 1u);
    m_engine.ClearAll();
    EXPECT_EQ(Cleared(), (std::vector<int>{1, 1, 1, 1, 1}));
    TPEGIncidentRow row;
    int count = 1;
    EXPECT_EQ(m_engine.GetIncidentList(0, &row, &count), kTpegIncidentRebuilt);
    TPEGNewsRow newsRow;
    count = 1;
    EXPECT_EQ(m_engine.GetNewsList(0, &newsRow, &count), kTpegNewsRebuilt);
    EXPECT_TRUE(Incidents().empty());
    EXPECT_TRUE(News().empty());
    EXPECT_EQ(Congestion(), std::vector<int>(10, 255));
    const TPEGReceiveStatus s = Status();
    EXPECT_EQ(s.nCttLinks + s.nCttSumSlots + s.nOpiStations + s.bOpiData, 0);
    int items = 0;
    m_store.GetTrafficItems(&items, nullptr);
    EXPECT_EQ(items, 0);
    // The same incident message after a clear is stored again, not passed.
    ASSERT_EQ(Send(&TrafficEngine::ReceiveRTM, writers::BuildRtm({{1, "", "사고", 300, 0, 12701000, 3750000}})), 1);
    EXPECT_EQ(Incidents().size(), 1u);
}

}  // namespace
}  // namespace traffictest
