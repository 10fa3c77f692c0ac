// The traffic data store: per-link reads before and after loading, the
// item list hand-over, and readers running while the engine updates.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "settings/module_tpeg.h"

namespace {

// Links of a small traffic picture: index, state byte, event byte.
struct LinkRow {
    int index;
    uint8_t state;
    uint8_t event;
};
constexpr LinkRow kLinks[] = {
    {0, 0x01, 0},    // flowing
    {1, 0x0B, 1},    // state 3 with high bits set, an event
    {2, 0xFF, 0},    // no data
    {3, 0x07, 8},
};

class TrafficStoreTest : public ::testing::Test {
protected:
    void LoadLinks() {
        ASSERT_EQ(m_store.BuildLinkArrays(5), 1);
        for (const LinkRow& row : kLinks) {
            ASSERT_EQ(m_store.SetLinkState(row.index, row.state), 1);
            ASSERT_EQ(m_store.SetLinkEvent(row.index, row.event), 1);
        }
        m_store.EditReceiveStatus([](TPEGReceiveStatus& status) {
            status.sCttTime.wYear = 2009;
            status.nCttLinks = 3;
        });
        m_store.SetLoaded(1);
    }

    CMgrConfigModuleTPEG m_store;
};

TEST_F(TrafficStoreTest, NothingBeforeLoading) {
    EXPECT_EQ(m_store.GetState(), 0);
    ASSERT_EQ(m_store.BuildLinkArrays(5), 1);
    ASSERT_EQ(m_store.SetLinkState(1, 0x0B), 1);
    m_store.EditReceiveStatus([](TPEGReceiveStatus& status) { status.sCttTime.wYear = 2009; });
    ASSERT_EQ(m_store.SetTrafficItems(nullptr, 0), 1);

    EXPECT_EQ(m_store.GetLinkCongestion(1), 255);
    EXPECT_EQ(m_store.GetLinkEventFlag(1), 0);
    EXPECT_EQ(m_store.GetTrafficTimeYear(), 0);
    EXPECT_EQ(m_store.GetCongestionLinkCount(), 0);
    int count = 7;
    EXPECT_EQ(m_store.GetTrafficItems(&count, nullptr), 0);
    EXPECT_EQ(count, 7);
}

TEST_F(TrafficStoreTest, PerLinkReads) {
    LoadLinks();
    struct Case {
        int index;
        int congestion;
        int event;
    };
    const Case cases[] = {
        {0, 1, 0}, {1, 3, 1}, {2, 255, 0}, {3, 7, 8},
        {4, 255, 0},   // built but never set: no data
        {5, 255, 0},   // past the link count
        {-1, 255, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("link " + std::to_string(c.index));
        EXPECT_EQ(m_store.GetLinkCongestion(c.index), c.congestion);
        EXPECT_EQ(m_store.GetLinkEventFlag(c.index), c.event);
    }
    EXPECT_EQ(m_store.GetTrafficTimeYear(), 2009);
    EXPECT_EQ(m_store.GetCongestionLinkCount(), 3);
    EXPECT_EQ(m_store.GetLinkCount(), 5);
    EXPECT_EQ(m_store.ExchangeLinkState(1, 0x02), 0x0B);
    EXPECT_EQ(m_store.ExchangeLinkState(5, 0x02), -1);
    m_store.FillLinkStates(255);
    m_store.ClearLinkEvents();
    EXPECT_EQ(m_store.GetLinkCongestion(1), 255);
    EXPECT_EQ(m_store.GetLinkEventFlag(3), 0);
    LoadLinks();
    EXPECT_EQ(m_store.SetLinkState(5, 1), 0);
    EXPECT_EQ(m_store.BuildLinkArrays(-1), 0);
    EXPECT_EQ(m_store.GetLinkCount(), 5);

    m_store.SetLoaded(0);
    EXPECT_EQ(m_store.GetLinkCongestion(1), 255);
}

TEST_F(TrafficStoreTest, ItemListIsCopiedOnceChanged) {
    LoadLinks();
    std::vector<TrafficItem> items(20);
    for (int i = 0; i < 20; ++i) items[i] = TrafficItem{static_cast<uint16_t>(i), 2, 1000 + i, 2000 + i};
    ASSERT_EQ(m_store.SetTrafficItems(items.data(), 20), 1);

    int count = 0;
    EXPECT_EQ(m_store.GetTrafficItems(&count, nullptr), 1);  // asking the count keeps the change
    EXPECT_EQ(count, 20);

    std::vector<TrafficItem> buffer(50);
    count = 50;
    EXPECT_EQ(m_store.GetTrafficItems(&count, buffer.data()), 1);
    EXPECT_EQ(count, 20);
    EXPECT_EQ(buffer[19].id, 19);
    EXPECT_EQ(buffer[19].x, 1019);
    EXPECT_EQ(buffer[19].y, 2019);
    EXPECT_EQ(buffer[20].id, 0);

    count = 50;
    EXPECT_EQ(m_store.GetTrafficItems(&count, buffer.data()), -1);
    EXPECT_EQ(count, 20);

    count = 5;  // a smaller buffer takes the first items
    EXPECT_EQ(m_store.GetTrafficItems(&count, buffer.data()), -1);
    EXPECT_EQ(count, 5);

    ASSERT_EQ(m_store.SetTrafficItems(nullptr, 0), 1);
    count = 50;
    EXPECT_EQ(m_store.GetTrafficItems(&count, buffer.data()), 0);
    EXPECT_EQ(m_store.SetTrafficItems(nullptr, 3), 0);
    EXPECT_EQ(m_store.SetTrafficItems(items.data(), -1), 0);
}

// The engine rebuilds and updates the traffic picture while route planning
// and the renderer read it.
TEST_F(TrafficStoreTest, ReadersRunWhileTheEngineUpdates) {
    LoadLinks();
    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    std::thread engine([&] {
        for (int round = 0; round < 300; ++round) {
            m_store.BuildLinkArrays(100 + round % 7);
            for (int i = 0; i < 100; ++i) m_store.SetLinkState(i, static_cast<uint8_t>(round % 8));
            std::vector<TrafficItem> items(static_cast<size_t>(round % 10), TrafficItem{1, 2, round, round});
            m_store.SetTrafficItems(items.data(), static_cast<int>(items.size()));
        }
        done.store(true, std::memory_order_release);
    });
    std::thread planner([&] {
        while (!done.load(std::memory_order_acquire)) {
            for (int i = 0; i < 110; ++i) {
                const int c = m_store.GetLinkCongestion(i);
                if (c != 255 && (c < 0 || c > 7)) bad.fetch_add(1);
            }
        }
    });
    std::thread renderer([&] {
        TrafficItem buffer[16];
        while (!done.load(std::memory_order_acquire)) {
            int count = 16;
            if (m_store.GetTrafficItems(&count, buffer) == 1) {
                for (int i = 1; i < count; ++i) {
                    if (buffer[i].x != buffer[0].x) bad.fetch_add(1);
                }
            }
        }
    });
    engine.join();
    planner.join();
    renderer.join();
    EXPECT_EQ(bad.load(), 0);
}

TEST(TrafficStoreSingletonTest, StateWordAndStartParameters) {
    CMgrConfigModuleTPEG* store = CMgrConfigModuleTPEG::Instance();
    ASSERT_NE(store, nullptr);
    std::thread module([&] { store->SetState(CMgrConfigModuleTPEG::kStateStartFailed); });
    module.join();
    EXPECT_EQ(store->GetState(), 5);

    TrafficStartParams params;
    params.bytes[0] = 0x11;
    params.bytes[2627] = 0x22;
    store->SetStartParams(params);
    TrafficStartParams back;
    store->GetStartParams(&back);
    EXPECT_EQ(back.bytes[0], 0x11);
    EXPECT_EQ(back.bytes[2627], 0x22);
}

}  // namespace
