// The developer log: timed lines, the status overlay's lines and places for
// the switch settings and module states, and the hourly memory log.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "settings/dev_log.h"
#include "settings/global_data.h"
#include "settings/module_svc.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

// Keeps every line drawn, as "top: text".
class RecordingCanvas : public DevStatusCanvas {
public:
    void DrawTextLine(const DevStatusRect& rect, std::u16string_view text) override {
        EXPECT_EQ(rect.left, 200);
        EXPECT_EQ(rect.right, 700);
        EXPECT_EQ(rect.bottom - rect.top, 16);
        lines.push_back(std::to_string(rect.top) + ": " + platform::Utf16ToUtf8(std::u16string(text)));
    }
    std::vector<std::string> lines;
};

void SetText(char16_t* field, const std::string& utf8) {
    const std::u16string text = platform::Utf8ToUtf16(utf8);
    std::fill(field, field + CMgrConfigGlobalData::kTextChars, u'\0');
    std::copy(text.begin(), text.end(), field);
}

class DevLogTest : public ::testing::Test {
protected:
    DevLogTest() : m_scoped(m_clock) {
        m_clock.SetLocal({2026, 12, 10, 14, 5, 9, 0, 4});
        CMgrConfigGlobalData& global = CMgrConfigGlobalData::Instance();
        m_saved = {global.m_debugView, global.m_debug};
        SetText(global.m_rootFolder, m_dir.Path());
        m_log.SetStatusSource([this](DevStatusInputs& in) { in = m_inputs; });
        m_inputs.lastDrawMs = 35;
        m_inputs.reRouteCount = 2;
        m_inputs.alterRouteCount = 1;
        m_inputs.availVirtualMb = 9.5;
        m_inputs.availPhysMb = 1024;
        m_inputs.trafficStatus = u"12a 3c 4(ct) | 5(su) | 6(op) | 1f(cmd)";
    }
    ~DevLogTest() override {
        CMgrConfigGlobalData& global = CMgrConfigGlobalData::Instance();
        global.m_debugView = m_saved.first;
        global.m_debug = m_saved.second;
        SetText(global.m_rootFolder, "");
    }
    static void Switches(int debugView, int debugLevel) {
        CMgrConfigGlobalData::Instance().m_debugView = debugView;
        CMgrConfigGlobalData::Instance().m_debug = debugLevel;
    }
    std::vector<std::string> Draw() {
        RecordingCanvas canvas;
        m_log.DrawStatus(&canvas);
        return canvas.lines;
    }
    std::string MemoryLog() const {
        return platform::FileExists(m_dir.File("MemoryCheck.txt")) ? m_dir.Read("MemoryCheck.txt") : "";
    }

    platform::FakeClock m_clock;
    platform::ScopedClock m_scoped;
    TempDir m_dir;
    CMgrDevLog m_log;
    DevStatusInputs m_inputs;
    std::pair<int32_t, int32_t> m_saved;
};

TEST_F(DevLogTest, StatusLinesForEachState) {
    struct Case {
        const char* what;
        int debugView;
        int drawPointFlag;
        std::u16string traffic;
        std::vector<std::string> lines;
    } const cases[] = {
        {"switch off draws nothing", 0, 0, u"x", {}},
        {"overlay",
         1,
         0,
         u"12a 3c 4(ct) | 5(su) | 6(op) | 1f(cmd)",
         {"16: (1) Tick(0) MD(35)ms", "32: hp(9.50)ph(1024.00) count(0)", "58: 12a 3c 4(ct) | 5(su) | 6(op) | 1f(cmd)",
          "74: RRP (2) ALTER (1)", "90: RTC (Date: 2026/12/10), (Time: 14/5/9)"}},
        {"drawing-module point shown",
         2,
         1,
         u"",
         {"16: (1) Tick(0) MD(35)ms", "32: hp(9.50)ph(1024.00) count(0)", "58: ",
          "74: RRP (2) ALTER (1)[0.250000, 127.000000, 37.500000]", "90: RTC (Date: 2026/12/10), (Time: 14/5/9)"}},
        {"flag other than 1 leaves the point out",
         2,
         2,
         u"no data",
         {"16: (1) Tick(0) MD(35)ms", "32: hp(9.50)ph(1024.00) count(0)", "58: no data", "74: RRP (2) ALTER (1)",
          "90: RTC (Date: 2026/12/10), (Time: 14/5/9)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CMgrDevLog log;
        DevStatusInputs in = m_inputs;
        in.drawPointFlag = c.drawPointFlag;
        in.drawValue = 0.25;
        in.drawPoint = {127 * 524288, 37 * 524288 + 262144};
        in.trafficStatus = c.traffic;
        log.SetStatusSource([&in](DevStatusInputs& out) { out = in; });
        Switches(c.debugView, 0);
        RecordingCanvas canvas;
        EXPECT_EQ(log.DrawStatus(&canvas), c.debugView != 0 ? 1 : 0);
        EXPECT_EQ(canvas.lines, c.lines);
        EXPECT_EQ(log.GetFrameCount(), c.debugView != 0 ? 1 : 0);
    }
}

TEST_F(DevLogTest, TimedLinesNeedTheSecondViewLevel) {
    Switches(1, 0);
    m_log.ResetTick();
    m_clock.Advance(40);
    EXPECT_EQ(m_log.AddTickLog(u"load map"), 0);
    EXPECT_EQ(m_log.GetLineCount(), 0);
    EXPECT_EQ(Draw().size(), 5u);  // the overlay is still drawn

    Switches(2, 0);
    m_log.ResetTick();
    m_clock.Advance(120);
    EXPECT_EQ(m_log.AddTickLog(u"load map"), 1);
    // The start tick stays: the next line counts from the same start.
    m_clock.Advance(1234567);
    EXPECT_EQ(m_log.AddTickLog(u"지도 그리기"), 1);
    EXPECT_EQ(m_log.GetTotalMs(), 120 + 1234687);
    const std::vector<std::string> lines = Draw();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "16: (2) Tick(1234807) MD(35)ms");
    EXPECT_EQ(lines[5], "106: (   120)  load map");
    EXPECT_EQ(lines[6], "122: (1234687)  지도 그리기");
    // Drawing drops the lines and the total.
    EXPECT_EQ(m_log.GetLineCount(), 0);
    EXPECT_EQ(Draw()[0], "16: (3) Tick(0) MD(35)ms");
}

TEST_F(DevLogTest, TwentyEightLineIsDroppedAndLongLinesAreCut) {
    Switches(2, 0);
    m_log.ResetTick();
    for (int i = 0; i < 27; ++i) EXPECT_EQ(m_log.AddTickLog(u"step"), 1) << i;
    EXPECT_EQ(m_log.AddTickLog(u"step"), 0);
    EXPECT_EQ(m_log.GetLineCount(), 27);
    EXPECT_EQ(Draw().size(), 5u + 27u);

    const std::u16string longText(100, u'x');
    m_log.AddTickLog(longText.c_str());
    m_log.AddTickLog(nullptr);
    const std::vector<std::string> lines = Draw();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[5], "106: (     0)  " + std::string(79 - 10, 'x'));
    EXPECT_EQ(lines[6], "122: (     0)  ");
}

TEST_F(DevLogTest, MemoryLogOncePerHourAtTheHighestLevel) {
    Switches(1, 2);
    Draw();
    EXPECT_EQ(MemoryLog(), "");  // level 2 writes nothing

    Switches(1, 3);
    Draw();
    m_clock.Advance(3'600'000);  // exactly an hour is not more than an hour
    Draw();
    EXPECT_EQ(MemoryLog(), "0\t9.50\t1024.00\n");
    m_inputs.availVirtualMb = 8.125;
    m_clock.Advance(1);
    const std::vector<std::string> lines = Draw();
    EXPECT_EQ(lines[1], "32: hp(8.12)ph(1024.00) count(1)");  // the count before this frame's line
    EXPECT_EQ(MemoryLog(), "0\t9.50\t1024.00\n1\t8.12\t1024.00\n");
    EXPECT_EQ(m_log.GetMemoryLineCount(), 2);

    // Switch off: no overlay, no memory line.
    Switches(0, 3);
    m_clock.Advance(7'200'000);
    EXPECT_EQ(m_log.DrawStatus(nullptr), 0);
    EXPECT_EQ(m_log.GetMemoryLineCount(), 2);
}

TEST_F(DevLogTest, MemoryLogAppendsToWhatIsThere) {
    m_dir.Write("MemoryCheck.txt", "old line\n");
    EXPECT_EQ(m_log.AppendMemoryCheck("0\t1.00\t2.00\n"), 1);
    EXPECT_EQ(m_log.AppendMemoryCheck(""), 1);
    EXPECT_EQ(MemoryLog(), "old line\n0\t1.00\t2.00\n");
    EXPECT_EQ(platform::NativePath(CMgrDevLog::MemoryLogPath().ToUtf8()), m_dir.File("MemoryCheck.txt"));

    // A root folder that is not there: nothing written, no count.
    SetText(CMgrConfigGlobalData::Instance().m_rootFolder, m_dir.File("missing"));
    EXPECT_EQ(m_log.AppendMemoryCheck("x\n"), 0);
    Switches(1, 3);
    Draw();
    EXPECT_EQ(m_log.GetMemoryLineCount(), 0);
    SetText(CMgrConfigGlobalData::Instance().m_rootFolder, "");
    EXPECT_EQ(m_log.AppendMemoryCheck("x\n"), 0);
}

TEST_F(DevLogTest, DefaultSourceReadsThisProcessMemory) {
    double heapMb = -1;
    double physMb = -1;
    ReadDevMemoryStatus(&heapMb, &physMb);
    EXPECT_GT(heapMb, 0.0);
    EXPECT_LE(heapMb, 10.0);  // the program-wide heap holds 10 MB
    EXPECT_GT(physMb, 0.0);

    CMgrDevLog log;  // its own source
    CMgrConfigModuleSVC* guidance = CMgrConfigModuleSVC::Instance();
    ASSERT_NE(guidance, nullptr);
    guidance->ClearReRouteCount();
    guidance->IncrementReRouteCount();
    guidance->IncrementReRouteCount();
    Switches(1, 0);
    RecordingCanvas canvas;
    log.DrawStatus(&canvas);
    guidance->ClearReRouteCount();
    ASSERT_EQ(canvas.lines.size(), 5u);
    EXPECT_EQ(canvas.lines[1].rfind("32: hp(", 0), 0u);
    EXPECT_EQ(canvas.lines[3], "74: RRP (2) ALTER (0)");
    EXPECT_EQ(&CMgrDevLog::Instance(), &CMgrDevLog::Instance());
}

TEST_F(DevLogTest, StepsFromSeveralThreadsWhileTheOverlayDraws) {
    Switches(2, 0);
    std::atomic<int> added{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) added += m_log.AddTickLog(u"step");
        });
    }
    int drawnLines = 0;
    for (int i = 0; i < 50; ++i) {
        RecordingCanvas canvas;
        m_log.DrawStatus(&canvas);
        drawnLines += static_cast<int>(canvas.lines.size()) - 5;
    }
    for (std::thread& t : threads) t.join();
    drawnLines += static_cast<int>(Draw().size()) - 5;
    EXPECT_EQ(drawnLines, added.load());
}

}  // namespace
