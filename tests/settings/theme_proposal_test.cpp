// Theme place proposals: a place found around the position is proposed, not
// again within ten minutes, the search engine asked at most every 20
// seconds, and all of it still right when the 32-bit tick wraps.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <vector>

#include "foundation/coords.h"
#include "foundation/debug_trace.h"
#include "foundation/nv_config.h"
#include "platform/clock.h"
#include "settings/theme_proposal.h"
#include "settings/ui_setting.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

// Degrees to map units.
MapPoint At(double lonDeg, double latDeg) {
    return MapPoint{static_cast<int32_t>(lonDeg * kMapUnitsPerDegree), static_cast<int32_t>(latDeg * kMapUnitsPerDegree)};
}

const MapPoint kCityHall = At(126.9780, 37.5665);

struct FixturePlace {
    int32_t placeId;
    int32_t themeCate;
    MapPoint position;
    int32_t value;
};

// The places around the city hall, as a search engine would know them.
const std::vector<FixturePlace> kPlaces = {
    {101, 31, At(126.9790, 37.5670), 7},   // about 100 m east
    {102, 31, At(126.9770, 37.5660), 8},   // about 100 m west
    {103, 31, At(126.9800, 37.5690), 9},   // about 330 m north-east
    {104, 12, At(126.9781, 37.5666), 10},  // next door, other theme
    {105, 31, At(127.0000, 37.5900), 11},  // about 3 km away
};

// Stands in for the search module: answers from a table of places.
class FixtureSearch : public ThemeAroundSource {
public:
    explicit FixtureSearch(std::vector<FixturePlace> places) : m_places(std::move(places)) {}

    int SearchThemeAround(int32_t x, int32_t y, int32_t radius, int32_t themeCate, int maxRows,
                          ThemeAroundRow* rows) override {
        ++calls;
        lastRadius = radius;
        lastCate = themeCate;
        lastMaxRows = maxRows;
        int count = 0;
        for (const FixturePlace& place : m_places) {
            if (count == maxRows) break;
            if (place.themeCate != themeCate) continue;
            if (GetDistanceUTM(MapPoint{x, y}, place.position) > radius) continue;
            rows[count++] = ThemeAroundRow{place.value, place.placeId, 1};
        }
        return count;
    }

    int calls = 0;
    int32_t lastRadius = 0;
    int32_t lastCate = 0;
    int lastMaxRows = 0;

private:
    std::vector<FixturePlace> m_places;
};

class ThemeProposalTest : public ::testing::Test {
protected:
    // Second 1000 of the tick.
    static constexpr uint64_t kStartMs = 1000000;

    void SetUp() override {
        SetDebugTraceSink([](std::string_view) {}, false);
        NvFilePath::SetFolders(NvString::FromUtf8(m_dir.Path()), NvString::FromUtf8(m_dir.Path()));
        m_ui = std::make_unique<CMgrConfigUISetting>();
        m_ui->Record().eAutoThemePopup = 0;
        m_ui->Record().nThemeCate = 31;
    }
    void TearDown() override { NvFilePath::SetFolders(NvString(), NvString()); }

    // A proposer whose random numbers are 0 unless a test queues others.
    std::unique_ptr<CMgrConfigActiveTheme> MakeProposer(FixtureSearch& search) {
        auto proposer = std::make_unique<CMgrConfigActiveTheme>(m_ui.get(), &search);
        proposer->SetRandomSource([this] {
            if (m_random.empty()) return 0u;
            const uint32_t next = m_random.front();
            m_random.pop_front();
            return next;
        });
        return proposer;
    }

    // The id proposed at the city hall, or 0.
    static int32_t Propose(CMgrConfigActiveTheme& proposer, MapPoint where = kCityHall) {
        int32_t id = 0;
        int32_t value = 0;
        return proposer.ProposeTheme(where, &id, &value) == 1 ? id : 0;
    }

    TempDir m_dir;
    std::unique_ptr<CMgrConfigUISetting> m_ui;
    std::deque<uint32_t> m_random;
    platform::FakeClock m_clock{kStartMs};
    platform::ScopedClock m_useClock{m_clock};
};

TEST_F(ThemeProposalTest, ProposesANearbyPlaceOfTheChosenThemeWithItsValue) {
    FixtureSearch search(kPlaces);
    auto proposer = MakeProposer(search);
    int32_t id = 0;
    int32_t value = 0;
    ASSERT_EQ(proposer->ProposeTheme(kCityHall, &id, &value), 1);
    EXPECT_EQ(id, 101);
    EXPECT_EQ(value, 7);
    EXPECT_EQ(search.lastRadius, 1000);
    EXPECT_EQ(search.lastCate, 31);
    EXPECT_EQ(search.lastMaxRows, 100);
}

TEST_F(ThemeProposalTest, StartsAtARandomRowAndNeverRepeatsAPlaceWithinTenMinutes) {
    FixtureSearch search(kPlaces);  // theme 31 within 1000 m: 101, 102, 103
    auto proposer = MakeProposer(search);
    m_random = {4, 4, 4, 4};  // 4 % 3 = row 1 first each time
    EXPECT_EQ(Propose(*proposer), 102);
    m_clock.Advance(20000);
    EXPECT_EQ(Propose(*proposer), 103);  // row 1 was proposed: go on
    m_clock.Advance(20000);
    EXPECT_EQ(Propose(*proposer), 101);  // cyclically past the last row
    m_clock.Advance(20000);
    EXPECT_EQ(Propose(*proposer), 0);  // every place found is recent
    EXPECT_EQ(search.calls, 4);
}

TEST_F(ThemeProposalTest, APlaceComesAgainOnlyOnceItsTenMinutesArePast) {
    // Proposed at second 1000; its slot is freed once 1000 + 600 is below now.
    struct Case {
        uint64_t laterSec;
        int32_t expected;
    };
    const Case cases[] = {{20, 0}, {599, 0}, {600, 0}, {601, 101}, {5000, 101}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.laterSec);
        m_clock.SetTick(kStartMs);
        FixtureSearch search({kPlaces[0]});
        auto proposer = MakeProposer(search);
        ASSERT_EQ(Propose(*proposer), 101);
        m_clock.Advance(c.laterSec * 1000);
        EXPECT_EQ(Propose(*proposer), c.expected);
        EXPECT_EQ(search.calls, 2);
    }
}

TEST_F(ThemeProposalTest, AsksTheSearchEngineAtMostEveryTwentySeconds) {
    FixtureSearch search(kPlaces);
    auto proposer = MakeProposer(search);
    EXPECT_EQ(Propose(*proposer), 101);
    m_clock.Advance(5000);
    EXPECT_EQ(Propose(*proposer), 0);
    m_clock.Advance(14999);
    EXPECT_EQ(Propose(*proposer), 0);
    EXPECT_EQ(search.calls, 1);
    m_clock.Advance(1);
    EXPECT_EQ(Propose(*proposer), 102);
    EXPECT_EQ(search.calls, 2);
}

TEST_F(ThemeProposalTest, PositionZeroProposesNothingButStartsTheTimer) {
    FixtureSearch search(kPlaces);
    auto proposer = MakeProposer(search);
    EXPECT_EQ(Propose(*proposer, MapPoint{0, kCityHall.y}), 0);
    m_clock.Advance(5000);
    EXPECT_EQ(Propose(*proposer), 0);
    EXPECT_EQ(search.calls, 0);
    m_clock.Advance(15000);
    EXPECT_EQ(Propose(*proposer), 101);
}

TEST_F(ThemeProposalTest, ProposalsSwitchedOffNeitherSearchNorStartTheTimer) {
    for (int32_t mode : {2, 3}) {
        SCOPED_TRACE(mode);
        FixtureSearch search(kPlaces);
        auto proposer = MakeProposer(search);
        m_ui->Record().eAutoThemePopup = mode;
        EXPECT_EQ(Propose(*proposer), 0);
        m_ui->Record().eAutoThemePopup = 1;
        EXPECT_EQ(Propose(*proposer), 101);  // at once: no timer was started
        EXPECT_EQ(search.calls, 1);
    }
}

TEST_F(ThemeProposalTest, NothingAroundProposesNothing) {
    FixtureSearch search(kPlaces);
    auto proposer = MakeProposer(search);
    m_ui->Record().nThemeCate = 77;
    EXPECT_EQ(Propose(*proposer), 0);
    EXPECT_EQ(search.calls, 1);
}

TEST_F(ThemeProposalTest, KeepsWorkingWhenTheThirtyTwoBitTickWraps) {
    // 30 seconds before the 32-bit tick goes back to 0.
    const uint64_t beforeWrapMs = (uint64_t{1} << 32) - 30000;
    m_clock.SetTick(beforeWrapMs);
    FixtureSearch search({kPlaces[0], kPlaces[1]});
    auto proposer = MakeProposer(search);
    EXPECT_EQ(Propose(*proposer), 101);

    m_clock.Advance(35000);  // the 32-bit tick now reads 5000
    ASSERT_LT(platform::GetTickCount(), 10000u);
    EXPECT_EQ(Propose(*proposer), 102);  // the search timer did not stall
    m_clock.Advance(20000);
    EXPECT_EQ(Propose(*proposer), 0);  // both are recent

    m_clock.SetTick(beforeWrapMs + 601000);
    EXPECT_EQ(Propose(*proposer), 101);  // its ten minutes ran across the wrap
    EXPECT_EQ(search.calls, 4);
}

}  // namespace
