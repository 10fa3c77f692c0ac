// The GPS module: start with its results, the default and stored start
// position, the pick-up of new fixes as unmatched records, the simulator
// command gate, and stop.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "foundation/system_settings.h"
#include "platform/clock.h"
#include "platform/serial_port.h"
#include "positioning/gps_fix.h"
#include "positioning/gps_module.h"
#include "positioning/gps_port.h"
#include "settings/module_gps.h"
#include "support/temp_dir.h"

namespace {

template <class Pred>
bool WaitUntil(Pred pred) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));   // polling slice
    }
    return true;
}

class GpsModule : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.File("ports"));
        SetSerialPortFolder(dir.File("ports"));
        settings.SetText(SYS_NANDPATH, std::u16string(dir.Path().begin(), dir.Path().end()));
        SetSystemSettingsSource(&settings);
        ASSERT_TRUE(pty.Open(nullptr));
        std::filesystem::create_symlink(pty.SlavePath(), dir.File("ports/COM2"));
        SetGpsPredictionFactor(0.5);
    }
    void TearDown() override {
        CModuleGPS::Instance()->Uninitialize();
        SetSerialPortFolder("");
        SetSystemSettingsSource(nullptr);
        SetGpsPredictionFactor(0.5);
    }
    int Start(GpsStartBody body) {
        CModuleGPS* module = CModuleGPS::Instance();
        if (!module->Initialize(body)) return -100;
        CMgrConfigModuleGPS* block = CMgrConfigModuleGPS::Instance();
        // A failed start passes through 2 and ends at 7 with its thread.
        WaitUntil([&] {
            const int s = block->GetState();
            return s == kGpsStateRunning || s == kGpsStateStopped;
        });
        return block->GetState();
    }

    testsupport::TempDir dir;
    FixedSystemSettings settings;
    platform::PtyPair pty;
};

TEST_F(GpsModule, StartsOnceWithDefaultPositionAndStopsCleanly) {
    CMgrConfigModuleGPS* block = CMgrConfigModuleGPS::Instance();
    ASSERT_EQ(Start({2, 9600, 2000}), kGpsStateRunning);
    CModuleGPS* module = CModuleGPS::Instance();
    EXPECT_EQ(module->IsStarted(), 1);
    EXPECT_EQ(module->IsPortOpen(), 1);
    EXPECT_DOUBLE_EQ(GetGpsPredictionFactor(), 2.0);
    tagMAPMATCHINFO match;
    block->GetMatchInfo(&match);
    EXPECT_EQ(match.x, 66644575);
    EXPECT_EQ(match.y, 19665355);
    EXPECT_EQ(module->Initialize({2, 9600, 500}), 0) << "a second start does nothing";
    EXPECT_EQ(module->Uninitialize(), 1);
    EXPECT_EQ(block->GetState(), kGpsStateStopped);
    EXPECT_EQ(module->IsStarted(), 0);
    EXPECT_EQ(module->Uninitialize(), 0);
}

TEST_F(GpsModule, PortThatCannotOpenFailsTheStartAndKeepsTheFactor) {
    EXPECT_EQ(Start({7, 9600, 0}), kGpsStateStopped);
    EXPECT_EQ(CModuleGPS::Instance()->IsStarted(), 0);
    EXPECT_DOUBLE_EQ(GetGpsPredictionFactor(), 0.5) << "interval 0 leaves k";
}

TEST_F(GpsModule, StoredLastFixGivesTheStartPosition) {
    GpsFixRecord last = MakeResetGpsFix();
    SetFixPositionNmea(last, 12700.0, 3730.0);   // 127 E, 37.5 N
    last.headingDeg = 45;
    ASSERT_EQ(SaveLastGpsFix(dir.File("LastGPS.dat"), last), 1);
    ASSERT_EQ(Start({2, 9600, 500}), kGpsStateRunning);
    tagMAPMATCHINFO match;
    CMgrConfigModuleGPS::Instance()->GetMatchInfo(&match);
    EXPECT_EQ(match.x, 127 * 524288);
    // The truncating conversion may land one unit below 37.5 degrees.
    EXPECT_NEAR(match.y, 375 * 524288 / 10, 1);
    EXPECT_EQ(match.headingDeg, 45);
}

TEST_F(GpsModule, PickUpPublishesUnmatchedRecordsInsideTheServiceArea) {
    platform::FakeClock clock(10000);
    platform::ScopedClock use(clock);
    CMgrConfigModuleGPS* block = CMgrConfigModuleGPS::Instance();
    CModuleGPS* module = CModuleGPS::Instance();
    tagMAPMATCHINFO before;
    block->GetMatchInfo(&before);
    block->TakeNewFix(nullptr);
    EXPECT_EQ(module->ProcessNewFix(), 2) << "no new fix";

    GpsFixRecord fix = MakeResetGpsFix();
    SetFixPositionNmea(fix, 13130.0, 3400.0);   // 131.5 E, 34 N
    fix.year = 2024;
    fix.month = 1;
    fix.day = 2;
    fix.hour = 3;
    fix.headingDeg = 270;
    // A fix the matcher accepts: settled, enough satellites, a usable HDOP.
    fix.settled = 1;
    fix.satellitesInView = 8;
    fix.hdopX10 = 10;
    block->PublishFix(fix);
    EXPECT_EQ(module->ProcessNewFix(), 1);
    tagMAPMATCHINFO match;
    block->GetMatchInfo(&match);
    EXPECT_EQ(match.status, 0);
    EXPECT_EQ(match.x, 1315 * 524288 / 10);
    EXPECT_EQ(match.y, 34 * 524288);
    EXPECT_EQ(match.headingDeg, 270);
    EXPECT_DOUBLE_EQ(match.time, 1704164400.0);   // 2024-01-02 03:00:00 as local seconds
    EXPECT_EQ(block->GetConsumeTick(), 10000u);

    // 123 E and a southern fix lie outside: 0 and the old record stays.
    for (double lon : {12300.0, -13130.0}) {
        SetFixPositionNmea(fix, lon, lon < 0 ? -3400.0 : 3400.0);
        block->PublishFix(fix);
        EXPECT_EQ(module->ProcessNewFix(), 0);
        tagMAPMATCHINFO kept;
        block->GetMatchInfo(&kept);
        EXPECT_EQ(kept.x, match.x);
    }

    // Simulator commands run at most once a second after a pick-up.
    module->RequestSkipForward();
    EXPECT_EQ(module->RunPendingCommand(), 2);
    clock.Advance(1000);
    EXPECT_EQ(module->RunPendingCommand(), 1);
    EXPECT_EQ(module->RunPendingCommand(), 2);
}

// A route simulator that writes down what it is told.
class RecordingSimulator : public GpsRouteSimulatorSeam {
public:
    bool LoadRoute() override { return log("load"), true; }
    void SetSpeedKmh(int kmh) override { log("speed " + std::to_string(kmh)); }
    void GoToStart() override { log("start"); }
    void AdvanceStep() override { log("step"); }
    void MoveToNextPoint() override { log("next"); }
    void MoveToPreviousPoint() override { log("previous"); }
    void GoToEntry(int entry, int remainderM) override {
        log("entry " + std::to_string(entry) + " +" + std::to_string(remainderM));
    }
    void SetPaused(bool paused) override {
        m_paused = paused;
        log(paused ? "pause" : "unpause");
    }
    bool IsPaused() const override { return m_paused; }
    void SetStepTick(uint32_t) override { log("tick"); }
    void RestartStepClock() override { log("clock"); }
    bool GetRecord(tagMAPMATCHINFO* out) override {
        out->status = 3;
        out->x = 66700000;
        out->y = 19700000;
        return true;
    }
    std::string Take() {
        std::string s = m_log;
        m_log.clear();
        return s;
    }

private:
    void log(const std::string& what) { m_log += (m_log.empty() ? "" : ", ") + what; }
    std::string m_log;
    bool m_paused = false;
};

TEST_F(GpsModule, SimulatorCommandsReachTheSimulator) {
    platform::FakeClock clock(50000);
    platform::ScopedClock use(clock);
    RecordingSimulator sim;
    CModuleGPS* module = CModuleGPS::Instance();
    module->SetRouteSimulator(&sim);
    CMgrConfigModuleGPS* block = CMgrConfigModuleGPS::Instance();

    module->StartRouteSimulation(80);
    EXPECT_EQ(sim.Take(), "load, speed 80, start, tick");
    EXPECT_EQ(block->GetSimulatorSpeedKmh(), 80);
    tagMAPMATCHINFO match;
    block->GetMatchInfo(&match);
    EXPECT_EQ(match.x, 66700000);
    // 1234 m of 5000: entry 1234 x 100 / 5000 = 24, and 1234 - 5000 x 24 / 100 = 34 m beyond.
    module->JumpTo(1234, 5000);
    EXPECT_EQ(sim.Take(), "entry 24 +34, tick");
    module->JumpTo(10, 0);
    EXPECT_EQ(sim.Take(), "tick") << "a route without length moves nowhere";
    module->StepAndPause();
    EXPECT_EQ(sim.Take(), "step, pause");
    module->Resume();
    EXPECT_EQ(sim.Take(), "clock, unpause");
    module->Resume();
    EXPECT_EQ(sim.Take(), "") << "not paused";
    module->RequestJump(4999, 5000);
    clock.Advance(1000);
    EXPECT_EQ(module->RunPendingCommand(), 1);
    EXPECT_EQ(sim.Take(), "entry 99 +49, step, tick");
    module->SetRouteSimulator(nullptr);
}

}  // namespace
