// The traffic module thread stores messages and clears kinds while the UI
// thread runs the screens' queries and route planning reads and marks the
// per-link bytes. Every query sees one message whole.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "traffic_fixture.h"

namespace traffictest {
namespace {

class ConcurrencyTest : public TrafficFixture {};

TEST_F(ConcurrencyTest, QueriesAndReadersWhileMessagesArrive) {
    m_engine.SetChannel(1, 0);
    const uint32_t now = static_cast<uint32_t>(FixtureNowSeconds());
    // Two versions of every kind; a query must see one or the other whole.
    std::vector<std::vector<uint8_t>> ctt, sum, rtm, nws, opi;
    for (uint8_t level : {1, 3}) {
        std::vector<writers::CttItem> links, slots;
        for (uint32_t id : kLinkIds) links.push_back({id, 30, level});
        for (uint32_t p = 1; p <= 6; ++p) slots.push_back({1000 + p, static_cast<uint8_t>(10 * level), level});
        ctt.push_back(writers::BuildCtt(links));
        sum.push_back(writers::BuildCttSum(slots));
        std::vector<writers::IncidentItem> incidents;
        for (uint32_t i = 0; i < 20; ++i) {
            incidents.push_back({level, "", std::string(level == 1 ? "a" : "b") + std::to_string(i), kLinkIds[i % 10], 0,
                                 12700000 + i * 100, 3750000});
        }
        rtm.push_back(writers::BuildRtm(incidents));
        std::vector<writers::NewsItem> news;
        for (int i = 0; i < 20; ++i) news.push_back(writers::News(level == 1 ? 7 : 5, "t", "x"));
        nws.push_back(writers::BuildNws(news));
        opi.push_back(writers::BuildOpi({{11, now, {{1, static_cast<int16_t>(1500 + level)}}}}));
    }

    constexpr int kRounds = 300;
    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    std::thread module([&] {
        for (int round = 0; round < kRounds; ++round) {
            const size_t v = static_cast<size_t>(round % 2);
            m_engine.ReceiveCTT(ctt[v].data(), ctt[v].size());
            m_engine.ReceiveCTTSUM(sum[v].data(), sum[v].size());
            m_engine.ReceiveRTM(rtm[v].data(), rtm[v].size());
            m_engine.ReceiveNWS(nws[v].data(), nws[v].size());
            m_engine.ReceiveOPI(opi[v].data(), opi[v].size());
            if (round % 7 == 0) m_engine.ClearAll();
            m_engine.CheckReceiveState();
        }
        done.store(true, std::memory_order_release);
    });
    std::thread ui([&] {
        while (!done.load(std::memory_order_acquire)) {
            uint8_t levels[6], speeds[6];
            int size = 0;
            if (m_engine.GetCTTSUMInfo(1, &size, levels, speeds, 6, nullptr) == 0) {
                for (int i = 1; i < 6; ++i) bad += levels[i] != levels[0] || speeds[i] != speeds[0];
            }
            int count = 0;
            if (m_engine.MakeIncidentList(0xFF, 1, 0, kBaseX, kBaseY, &count) == 0) {
                TPEGIncidentRow rows[20];
                count = 20;
                if (m_engine.GetIncidentList(0, rows, &count) == 0) {
                    for (int i = 1; i < count; ++i) bad += rows[i].wType != rows[0].wType;
                }
            }
            if (m_engine.MakeNewsList(0xFF, 0, &count) == 0) {
                TPEGNewsRow rows[20];
                count = 20;
                if (m_engine.GetNewsList(0, rows, &count) == 0) {
                    for (int i = 1; i < count; ++i) bad += rows[i].wCategory != rows[0].wCategory;
                }
            }
            TPEGOilStationQuery query;
            query.x = kBaseX, query.y = kBaseY;
            if (m_engine.SearchOilStation(query, &count) == 0 && count > 0) {
                TPEGOilStationRow row;
                count = 1;
                m_engine.GetOilStationList(0, &row, &count);
            }
            TPEGReceiveStatus status;
            m_engine.GetReceiveStatus(&status);
            std::u16string text;
            m_engine.GetStatusText(&text);
        }
    });
    std::thread planner([&] {
        int round = 0;
        while (!done.load(std::memory_order_acquire)) {
            for (int i = 0; i < 10; ++i) {
                const int c = m_store.GetLinkCongestion(i);
                bad += c != 255 && c != 1 && c != 3;
                const int e = m_store.GetLinkEventFlag(i);
                bad += e != 0 && e != 1 && e != 8;
            }
            m_engine.SetRouteLinkMark(round % 10, static_cast<uint8_t>(round % 2));
            ++round;
            m_store.GetTrafficTimeYear();
            m_store.GetCongestionLinkCount();
        }
    });
    module.join();
    ui.join();
    planner.join();
    EXPECT_EQ(bad.load(), 0);
}

}  // namespace
}  // namespace traffictest
