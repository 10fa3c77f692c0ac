#pragma once
// A small traffic world for the engine's tests: ten links, a summary table
// of three pictures, five filling stations, written by the shared writers
// into a fresh data root, and an engine on its own store loaded from them.
// The clock is a FakeClock at 2026-12-10 09:00.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/debug_trace.h"
#include "platform/clock.h"
#include "settings/module_tpeg.h"
#include "support/temp_dir.h"
#include "tools/writers/traffic_writer.h"
#include "traffic/traffic_engine.h"

namespace traffictest {

// Link ids of the table, in index order; odd indices are fast roads.
inline const std::vector<uint32_t> kLinkIds = {100, 200, 300, 400, 500, 600, 700, 800, 900, 1000};
// Summary pictures: index 0 has slots 0..9, index 1 slots 10..15, index 2
// slots 16..19.
inline const std::vector<uint32_t> kImageIndex = {0, 10, 16, 20};

inline const int32_t kBaseX = 127 * kMapUnitsPerDegree;
inline const int32_t kBaseY = static_cast<int32_t>(37.5 * kMapUnitsPerDegree);

// Seconds since 1970 of the fixture's local time.
inline int64_t FixtureNowSeconds() {
    platform::LocalDateTime t;
    t.year = 2026, t.month = 12, t.day = 10, t.hour = 9;
    return platform::LocalToEpochSeconds(t);
}

inline std::vector<writers::TrafficStation> FixtureStations() {
    return {
        {11, "한빛주유소", 1, 1, {kBaseX + 2000, kBaseY}, 2, 1234567},
        {12, "가람주유소", 1, 2, {kBaseX + 1000, kBaseY}, 31, 5678},
        {13, "누리LPG충전소", 2, 5, {kBaseX, kBaseY + 3000}, 0, 2345678},
        {14, "강변셀프주유소", 1, 6, {kBaseX + 4000, kBaseY}, 0, 0},
        {15, "ABC주유소", 3, 3, {kBaseX + 500, kBaseY + 500}, 42, 9999999},
    };
}

class TrafficFixture : public ::testing::Test {
protected:
    TrafficFixture() {
        // Refused messages are traced on purpose; keep the test output short.
        SetDebugTraceSink([](std::string_view) {}, false);
        platform::LocalDateTime t;
        t.year = 2026, t.month = 12, t.day = 10, t.hour = 9;
        m_clock.SetLocal(t);
    }
    ~TrafficFixture() override { SetDebugTraceSink({}); }

    void WriteTables() {
        std::vector<writers::TrafficLinkRow> rows;
        for (size_t i = 0; i < kLinkIds.size(); ++i) rows.push_back({kLinkIds[i], static_cast<uint8_t>(i % 2)});
        Write("LinkID.tdb", writers::BuildLinkTable(rows));
        Write("ImageIDIdx.tdb", writers::BuildImageIndex(kImageIndex));
        Write("OpiID.tdb", writers::BuildStationTable(FixtureStations()));
    }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(writers::WriteTrafficFile(m_dir.Path(), name, bytes));
    }
    // Builds the paths, loads the tables; the bytes used (0 on failure).
    int Load(uint32_t serviceBits = kTpegDefaultServiceBits) {
        TrafficPathSettings settings;
        settings.dataRoot = m_dir.Path();
        settings.serviceBits = serviceBits;
        if (!m_engine.BuildPaths(settings)) return 0;
        m_block.assign(m_engine.ArenaBytes(), 0xCC);
        return m_engine.LoadTables(m_block.data(), m_block.size());
    }
    void SetUp() override {
        WriteTables();
        ASSERT_GT(Load(), 0);
    }

    TPEGReceiveStatus Status() {
        TPEGReceiveStatus s;
        m_store.GetReceiveStatus(&s);
        return s;
    }
    std::vector<int> Congestion() {
        std::vector<int> out;
        for (size_t i = 0; i < kLinkIds.size(); ++i) out.push_back(m_store.GetLinkCongestion(static_cast<int>(i)));
        return out;
    }
    std::vector<uint8_t> Summary(int index) {
        uint8_t levels[32] = {};
        uint8_t speeds[32] = {};
        int size = 0;
        if (m_engine.GetCTTSUMInfo(index, &size, levels, speeds, 32, nullptr) != 0) return {};
        std::vector<uint8_t> out(levels, levels + size);
        out.insert(out.end(), speeds, speeds + size);
        return out;
    }

    testsupport::TempDir m_dir;
    platform::FakeClock m_clock{1000};
    platform::ScopedClock m_scopedClock{m_clock};
    CMgrConfigModuleTPEG m_store;
    TrafficServicesFixture m_services;
    TrafficEngine m_engine{m_store, m_services};
    std::vector<uint8_t> m_block;
};

// Everything a screen or route planning can see of the store, to show that a
// refused message changed nothing.
struct StoreView {
    std::vector<int> congestion;
    std::vector<int> events;
    std::vector<uint8_t> status;
    std::vector<uint8_t> summaries;
    int incidents = 0;
    std::vector<uint16_t> incidentRecords;
    int news = 0;
    int stations = 0;

    bool operator==(const StoreView&) const = default;
};

inline StoreView ViewOf(TrafficEngine& engine) {
    StoreView v;
    CMgrConfigModuleTPEG& store = engine.Store();
    for (int i = 0; i < engine.GetLinkTableCount(); ++i) {
        v.congestion.push_back(store.GetLinkCongestion(i));
        v.events.push_back(store.GetLinkEventFlag(i));
    }
    TPEGReceiveStatus s;
    store.GetReceiveStatus(&s);
    v.status.resize(sizeof s);
    std::memcpy(v.status.data(), &s, sizeof s);
    for (int index = 0; index < 3; ++index) {
        uint8_t levels[16], speeds[16];
        int size = 0;
        engine.GetCTTSUMInfo(index, &size, levels, speeds, 16, nullptr);
        v.summaries.insert(v.summaries.end(), levels, levels + size);
        v.summaries.insert(v.summaries.end(), speeds, speeds + size);
    }
    engine.MakeIncidentList(0xFFFF, 0, 0, 0, 0, &v.incidents);
    TPEGIncidentRow rows[40];
    int count = 40;
    engine.GetIncidentList(0, rows, &count);
    for (int i = 0; i < count; ++i) v.incidentRecords.push_back(rows[i].wType);
    engine.MakeNewsList(0xFFFF, 0, &v.news);
    TPEGOilStationQuery query;
    query.x = kBaseX, query.y = kBaseY;
    engine.SearchOilStation(query, &v.stations);
    return v;
}

inline std::u16string Text(const char16_t* field) { return std::u16string(field); }

}  // namespace traffictest
