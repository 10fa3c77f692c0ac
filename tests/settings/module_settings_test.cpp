// Module settings objects: route mode decisions and the route result table,
// the GPS block (initial position, trails, relay text, special links and
// the fix hand-over between threads) and the draw object's storage.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "foundation/debug_trace.h"
#include "settings/module_draw.h"
#include "settings/module_gps.h"
#include "settings/module_rp.h"
#include "settings/module_sch.h"

namespace {

// Collects trace lines for one test.
class TraceCapture {
public:
    TraceCapture() {
        SetDebugTraceLevel(1);
        SetDebugTraceSink([this](std::string_view line) { m_lines.emplace_back(line); }, false);
    }
    ~TraceCapture() { SetDebugTraceSink({}); }
    const std::vector<std::string>& Lines() const { return m_lines; }

private:
    std::vector<std::string> m_lines;
};

// Stores results whose mode words carry these kind and option bits.
void StoreResults(MgrConfigModuleRP& rp, std::initializer_list<uint32_t> modes) {
    for (uint32_t mode : modes) {
        RouteResultInput input;
        input.mode = mode;
        ASSERT_EQ(rp.AddRouteResult(input, 1), 1);
    }
}

TEST(RouteModeTest, DecidesWhatToComputeNext) {
    struct Case {
        const char* name;
        std::initializer_list<uint32_t> stored;  // mode words of stored results
        uint32_t mode;
        int expected;
        uint32_t derived;  // checked when expected >= 0
    };
    const Case cases[] = {
        {"no kind", {}, 0x100, -1, 0},
        {"three kinds, nothing stored", {}, 11, 0, 1},
        {"three kinds, kind 1 stored", {1}, 11, 1, 2},
        {"kinds all stored", {1, 2}, 3, -2, 0},
        {"single kind while results stored", {4}, 1, -5, 0},
        {"single kind, nothing stored", {}, 4, 0, 4},
        {"option with two kinds", {}, 0x103, -3, 0},
        {"option already stored", {0x101}, 0x101, -2, 0},
        {"new option", {0x101}, 0x301, 1, 0x201},
        {"option, none stored", {}, 0x401, 0, 0x401},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MgrConfigModuleRP rp;
        StoreResults(rp, c.stored);
        uint32_t derived = 0xDEAD;
        EXPECT_EQ(rp.CheckRouteMode(c.mode, &derived), c.expected);
        if (c.expected >= 0) {
            EXPECT_EQ(derived, c.derived);
        }
    }
}

TEST(RouteModeTest, TracesRefusals) {
    MgrConfigModuleRP rp;
    TraceCapture trace;
    uint32_t derived = 0;
    EXPECT_EQ(rp.CheckRouteMode(0x103, &derived), -3);
    StoreResults(rp, {4});
    EXPECT_EQ(rp.CheckRouteMode(1, &derived), -5);
    ASSERT_EQ(trace.Lines().size(), 2u);
    EXPECT_EQ(trace.Lines()[0], "[RP**] Pelox Route Mode Error!!! (Mode:00000103)\n");
    EXPECT_EQ(trace.Lines()[1], "Call BFreeAllResult()\n");
}

TEST(RouteResultTest, AddCopiesArraysAndMarksType) {
    MgrConfigModuleRP rp;
    std::vector<int32_t> links = {101, 102, 0x8000000 | 103};
    std::vector<int32_t> values = {7, 8, 9};
    RouteResultInput input;
    input.id = 42;
    input.linkCount = 3;
    input.mode = 0x102;
    input.links = links.data();
    input.values = values.data();
    input.inlineCount = 2;
    input.inlineValues[0] = 5;
    input.inlineValues[1] = 6;
    ASSERT_EQ(rp.AddRouteResult(input, 3), 1);
    links[0] = values[0] = -1;  // the entry holds its own copies

    input.linkCount = 0;
    input.mode = 0x4;
    ASSERT_EQ(rp.AddRouteResult(input, 1), 1);

    EXPECT_EQ(rp.GetResultCount(), 2);
    EXPECT_EQ(rp.SumRouteResults(), 3);
    EXPECT_EQ(rp.GetStoredKindBits(), 0x6u);
    EXPECT_EQ(rp.GetStoredOptionBits(), 0x100u);
    {
        MgrLock hold(*rp.GetLock());
        const RouteResultEntry* first = rp.GetResult(0);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->id, 42);
        EXPECT_EQ(first->mode, 0x30102u);
        EXPECT_EQ(first->links[0], 101);
        EXPECT_EQ(first->links[2], 0x8000000 | 103);
        EXPECT_EQ(first->values[0], 7);
        EXPECT_EQ(first->inlineCount, 2);
        EXPECT_EQ(first->inlineValues[1], 6);
        const RouteResultEntry* second = rp.GetResult(1);
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(second->mode, 0x10004u);
        EXPECT_EQ(second->links, nullptr);
        EXPECT_EQ(rp.GetResult(2), nullptr);
    }

    rp.FreeAllResults();
    EXPECT_EQ(rp.GetResultCount(), 0);
    EXPECT_EQ(rp.SumRouteResults(), 0);
    EXPECT_EQ(rp.GetStoredKindBits(), 0u);
    EXPECT_EQ(rp.GetStoredOptionBits(), 0u);
    EXPECT_EQ(rp.GetResult(0), nullptr);
}

TEST(RouteResultTest, RefusesWhatDoesNotFit) {
    MgrConfigModuleRP rp;
    RouteResultInput input;
    input.inlineCount = 17;
    EXPECT_EQ(rp.AddRouteResult(input, 1), 0);
    input.inlineCount = 0;
    input.linkCount = 2;  // no arrays
    EXPECT_EQ(rp.AddRouteResult(input, 1), 0);
    input.linkCount = 0;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(rp.AddRouteResult(input, 1), 1);
    EXPECT_EQ(rp.AddRouteResult(input, 1), 0);  // one entry per route slot
    EXPECT_EQ(rp.GetResultCount(), 4);
}

TEST(RouteSettingsTest, InitialValuesAndWords) {
    MgrConfigModuleRP rp;
    EXPECT_EQ(rp.GetState(), 0);
    EXPECT_EQ(rp.GetLastError(), 1);
    EXPECT_EQ(rp.GetMapFolder(), u"C:\\Pelox20\\Map");
    EXPECT_EQ(rp.GetPlannerValue(), 10240);
    rp.SetLastError(-626);
    rp.SetReRouteTick(123456);
    EXPECT_EQ(rp.GetLastError(), -626);
    EXPECT_EQ(rp.GetReRouteTick(), 123456u);
}

TEST(GpsBlockTest, MatchStartsAtTheInitialPosition) {
    CMgrConfigModuleGPS gps;
    tagMAPMATCHINFO match;
    gps.GetMatchInfo(&match);
    EXPECT_EQ(match.status, 0);
    EXPECT_EQ(match.x, 66644575);
    EXPECT_EQ(match.y, 19665355);
    EXPECT_EQ(gps.GetMatchedPosition(), (MapPoint{66644575, 19665355}));
    EXPECT_EQ(gps.IsNewFix(), 0);
    EXPECT_EQ(gps.TakeNewFix(nullptr), 0);
}

TEST(GpsBlockTest, HistoryRingsWrapAt512) {
    struct Case {
        int ring;        // as passed
        int points;
        int storedRing;  // ring that receives them
        int count;
        int writeIndex;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0},   {0, 1, 0, 1, 1},     {1, 511, 1, 511, 511},
        {1, 512, 1, 512, 0}, {0, 600, 0, 512, 88}, {3, 5, 1, 5, 5},
        {-1, 5, 1, 5, 5},  {2, 1030, 0, 512, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("ring " + std::to_string(c.ring) + ", " + std::to_string(c.points) + " points");
        CMgrConfigModuleGPS gps;
        for (int i = 0; i < c.points; ++i) gps.AddHistoryPoint(i, -i, c.ring);
        GpsHistoryRing ring;
        gps.GetHistoryRing(c.storedRing, &ring);
        EXPECT_EQ(ring.count, c.count);
        EXPECT_EQ(ring.writeIndex, c.writeIndex);
        if (c.points > 0) {
            const GpsHistoryPoint newest = ring.points[(ring.writeIndex + 511) % 512];
            EXPECT_EQ(newest.x, c.points - 1);
            EXPECT_EQ(newest.y, -(c.points - 1));
        }
        GpsHistoryRing other;
        gps.GetHistoryRing(c.storedRing + 1, &other);
        EXPECT_EQ(other.count, 0);
    }
}

TEST(GpsBlockTest, RelayTextIsCutToStayTerminated) {
    CMgrConfigModuleGPS gps;
    const std::string exact(1023, 'a');
    const std::string longer(2000, 'b');
    char out[2048];

    gps.SetRelayText(exact.data(), static_cast<int>(exact.size()));
    EXPECT_EQ(gps.GetRelayText(out, sizeof out), 1023);
    EXPECT_EQ(std::string(out), exact);

    gps.SetRelayText(longer.data(), static_cast<int>(longer.size()));
    EXPECT_EQ(gps.GetRelayText(out, sizeof out), 1023);
    EXPECT_EQ(std::string(out), longer.substr(0, 1023));

    // A shorter text replaces the old one whole; a small buffer gets a cut,
    // terminated copy.
    const std::string sentence = "$GPRMC,123519,A,3730.52,N,12706.86,E,022.4,084.4,230394,,*6A";
    gps.SetRelayText(sentence.data(), static_cast<int>(sentence.size()));
    EXPECT_EQ(gps.GetRelayText(out, sizeof out), static_cast<int>(sentence.size()));
    EXPECT_EQ(std::string(out), sentence);
    char small[7];
    EXPECT_EQ(gps.GetRelayText(small, sizeof small), 6);
    EXPECT_STREQ(small, "$GPRMC");
    EXPECT_EQ(gps.GetRelayText(small, 0), 0);

    gps.SetRelayText(nullptr, 10);
    EXPECT_EQ(gps.GetRelayText(out, sizeof out), 0);
}

TEST(GpsBlockTest, SpecialLinkNeedsAMatchOnOneOfFiveKinds) {
    struct Case {
        int status;
        int linkKind;
        int expected;
    };
    const Case cases[] = {{1, 4, 1},  {1, 11, 1}, {1, 12, 1}, {1, 13, 1}, {1, 14, 1},
                          {1, 3, 0},  {1, 5, 0},  {1, 10, 0}, {1, 15, 0}, {0, 4, 0},
                          {2, 12, 0}, {3, 14, 0}};
    CMgrConfigModuleGPS gps;
    for (const Case& c : cases) {
        SCOPED_TRACE("status " + std::to_string(c.status) + ", kind " + std::to_string(c.linkKind));
        tagMAPMATCHINFO match;
        match.status = c.status;
        match.linkKind = c.linkKind;
        gps.SetMatchInfo(match);
        EXPECT_EQ(gps.IsOnSpecialLink(), c.expected);
    }
}

// Every field of the record carries the same sequence number, so a record
// mixed from two writes shows.
GpsFixRecord PatternFix(uint32_t seq) {
    GpsFixRecord fix;
    fix.longitude.seconds = seq;
    fix.latitude.degrees = static_cast<uint8_t>(seq);
    fix.longitudeNmea = seq;
    for (GpsSatelliteInView& sat : fix.satellites) {
        sat.prn = sat.elevationDeg = sat.azimuthDeg = sat.snr = static_cast<int16_t>(seq);
    }
    fix.year = static_cast<uint16_t>(seq);
    for (int16_t& prn : fix.usedPrn) prn = static_cast<int16_t>(seq);
    fix.headingDeg = static_cast<uint16_t>(seq);
    fix.altitudeM = seq;
    fix.settled = seq;
    return fix;
}

bool IsConsistent(const GpsFixRecord& fix) {
    const uint32_t seq = fix.settled;
    if (fix.longitude.seconds != seq || fix.longitudeNmea != seq || fix.altitudeM != seq) return false;
    if (fix.latitude.degrees != static_cast<uint8_t>(seq) || fix.year != static_cast<uint16_t>(seq) ||
        fix.headingDeg != static_cast<uint16_t>(seq)) {
        return false;
    }
    for (const GpsSatelliteInView& sat : fix.satellites) {
        const int16_t v = static_cast<int16_t>(seq);
        if (sat.prn != v || sat.elevationDeg != v || sat.azimuthDeg != v || sat.snr != v) return false;
    }
    for (int16_t prn : fix.usedPrn) {
        if (prn != static_cast<int16_t>(seq)) return false;
    }
    return true;
}

// One thread rewrites the fix and the match record while others read them:
// every snapshot must be one whole write, and the consumer sees the fixes
// in order.
TEST(GpsBlockTest, ReadersNeverSeeATornRecord) {
    CMgrConfigModuleGPS gps;
    constexpr uint32_t kWrites = 20000;
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::atomic<int> outOfOrder{0};

    std::thread writer([&] {
        for (uint32_t seq = 1; seq <= kWrites; ++seq) {
            gps.PublishFix(PatternFix(seq));
            tagMAPMATCHINFO match;
            match.status = 1;
            match.x = match.y = match.linkId = static_cast<int32_t>(seq);
            match.time = seq;
            gps.SetMatchInfo(match);
        }
        done.store(true, std::memory_order_release);
    });
    std::vector<std::thread> readers;
    for (int r = 0; r < 2; ++r) {
        readers.emplace_back([&] {
            GpsFixRecord fix;
            tagMAPMATCHINFO match;
            while (!done.load(std::memory_order_acquire)) {
                gps.GetFix(&fix);
                if (!IsConsistent(fix)) torn.fetch_add(1);
                gps.GetMatchInfo(&match);
                // The initial record (status 0) holds the start position.
                const bool whole = match.status == 0 ||
                                   (match.x == match.y && match.x == match.linkId && match.time == match.x);
                if (!whole) torn.fetch_add(1);
            }
        });
    }
    uint32_t lastTaken = 0;
    uint32_t taken = 0;
    std::thread consumer([&] {
        GpsFixRecord fix;
        for (;;) {
            const bool finished = done.load(std::memory_order_acquire);
            if (gps.TakeNewFix(&fix)) {
                if (!IsConsistent(fix)) torn.fetch_add(1);
                if (fix.settled <= lastTaken) outOfOrder.fetch_add(1);
                lastTaken = fix.settled;
                ++taken;
            } else if (finished) {
                break;
            }
        }
    });
    writer.join();
    for (std::thread& t : readers) t.join();
    consumer.join();

    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(outOfOrder.load(), 0);
    EXPECT_GT(taken, 0u);
    EXPECT_EQ(lastTaken, kWrites);  // the last fix is never lost
    EXPECT_EQ(gps.IsFixReceived(), 1);
    EXPECT_EQ(gps.IsNewFix(), 0);
}

TEST(GpsBlockTest, StateWordsCrossThreads) {
    CMgrConfigModuleGPS gps;
    EXPECT_EQ(gps.GetState(), 0);
    std::thread module([&] { gps.SetState(CMgrConfigModuleGPS::kStateStopped); });
    module.join();
    EXPECT_EQ(gps.GetState(), 7);
    gps.SetRelayFlag(5);
    EXPECT_EQ(gps.GetRelayFlag(), 1);
}

struct Tracked {
    explicit Tracked(int* counter) : m_counter(counter) {}
    ~Tracked() { ++*m_counter; }
    int* m_counter;
};

TEST(DrawSettingsTest, InitialValuesAndReleaseOfOwnedObjects) {
    CMgrConfigModuleDraw draw;
    EXPECT_EQ(draw.GetDrawState(), 0);
    EXPECT_EQ(draw.paneWords[3][0], -1);
    EXPECT_EQ(draw.paneWords[3][1], -1);
    EXPECT_EQ(draw.paneWords[2][1], 0);
    EXPECT_EQ(draw.paneBytes[0][0], 1);
    EXPECT_EQ(draw.paneBytes[0][1], 1);
    EXPECT_EQ(draw.paneBytes[1][0], 0);
    EXPECT_EQ(draw.routeChanged.load(), 0);
    draw.SetRouteChanged();
    EXPECT_EQ(draw.routeChanged.load(), 1);

    int destroyed = 0;
    {
        MgrLock hold(*draw.GetLock());
        draw.drawObjects[0] = DrawOwnedObject(std::make_unique<Tracked>(&destroyed));
        draw.drawObjects[5] = DrawOwnedObject(std::make_unique<Tracked>(&destroyed));
        draw.styleObject = DrawOwnedObject(std::make_unique<Tracked>(&destroyed));
    }
    draw.ReleaseDrawObjects();
    EXPECT_EQ(destroyed, 3);
    EXPECT_FALSE(draw.drawObjects[0]);
    draw.ReleaseDrawObjects();
    EXPECT_EQ(destroyed, 3);
}

TEST(SearchSettingsTest, HoldsAPageOfResultsAndTheThemeRows) {
    auto sch = std::make_unique<CMgrConfigModuleSCH>();
    EXPECT_EQ(sch->GetState(), 0);
    MgrLock hold(*sch->GetLock());
    EXPECT_EQ(sizeof sch->results / sizeof sch->results[0], 15u);
    EXPECT_EQ(sizeof sch->themeRows / sizeof sch->themeRows[0], 100u);
    EXPECT_EQ(sch->themeRows[99].bytes[187], 0);
    EXPECT_EQ(sch->request.bytes[151], 0);
}

TEST(ModuleSingletonsTest, EachIsOneProcessWideObject) {
    EXPECT_EQ(MgrSingletonT<CMgrConfigModuleGPS>::Instance(), CMgrConfigModuleGPS::Instance());
    EXPECT_NE(MgrConfigModuleRP::Instance(), nullptr);
    EXPECT_NE(CMgrConfigModuleDraw::Instance()->GetLock(), nullptr);
    CMgrConfigModuleSCH* sch = nullptr;
    EXPECT_EQ(CMgrConfigModuleSCH::Instance()->GetInstance(&sch), CMgrConfigModuleSCH::Instance());
}

}  // namespace
