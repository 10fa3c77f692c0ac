// The receive pipeline end to end on a pseudo-terminal: a real receiver log
// fed through the port, the receive thread and "GPSPARSER" into the GPS
// module settings object; an unplugged receiver; recording the feed and
// replaying the recording.
//
// Every wait follows the pipeline's own progress (fixes published, hang-ups
// and reopens counted) with a generous bound; nothing depends on speed.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/system_settings.h"
#include "platform/serial_port.h"
#include "positioning/gps_log.h"
#include "positioning/gps_parser_thread.h"
#include "positioning/gps_port.h"
#include "positioning/gps_testdata.h"
#include "positioning/nmea_log_decode.h"
#include "settings/module_gps.h"
#include "support/temp_dir.h"

namespace {

constexpr int kCom = 3;
constexpr auto kBound = std::chrono::seconds(20);

// Collects what the parser thread publishes.
struct FixStream {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<GpsFixRecord> fixes;

    void Add(const GpsFixRecord& f) {
        std::lock_guard<std::mutex> lock(mutex);
        fixes.push_back(f);
        changed.notify_all();
    }
    bool WaitFor(size_t count) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kBound, [&] { return fixes.size() >= count; });
    }
    std::vector<GpsFixRecord> Take() {
        std::lock_guard<std::mutex> lock(mutex);
        return fixes;
    }
};

template <class Pred>
bool WaitUntil(Pred pred) {
    const auto until = std::chrono::steady_clock::now() + kBound;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));   // polling slice, not a timing assumption
    }
    return true;
}

// The log cut into epochs: the lines up to and including each RMC.
std::vector<std::string> Epochs(const std::string& bytes) {
    std::vector<std::string> out(1);
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        end = end == std::string::npos ? bytes.size() : end + 1;
        const std::string line = bytes.substr(pos, end - pos);
        out.back() += line;
        if (NmeaSentenceKind(line) == kGpsParseRmc) out.emplace_back();
        pos = end;
    }
    if (out.back().empty()) out.pop_back();
    return out;
}

std::vector<GpsFixRecord> Expected(const std::string& bytes) {
    NmeaLogDecoder decoder(false);
    return decoder.FeedText(bytes);
}

std::string Bytes(const GpsFixRecord& f) {
    uint8_t b[kGpsFixRecordBytes];
    EncodeGpsFixRecord(f, b);
    return std::string(reinterpret_cast<char*>(b), sizeof b);
}

class GpsPipeline : public ::testing::Test {
protected:
    void SetUp() override {
        ports = dir.File("ports");
        std::filesystem::create_directories(ports);
        SetSerialPortFolder(ports);
        settings.SetText(SYS_NANDPATH, u"");
        SetSystemSettingsSource(&settings);
        CGPSNMEAStore::Instance()->SetLogFolder(dir.Path());
        SetGpsProtocolMode(kGpsProtocolNmea);
    }
    void TearDown() override {
        CGPSPort::Instance()->Close();
        SetSerialPortFolder("");
        SetSystemSettingsSource(nullptr);
        CGPSNMEAStore::Instance()->Close();
        CGPSNMEAStore::Instance()->SetLogFolder("");
    }
    // A receiver on a fresh pseudo-terminal behind COM3, the port open.
    void OpenPortOnPty(platform::PtyPair& pty, int baud) {
        ASSERT_TRUE(pty.Open(nullptr));
        LinkPort(pty);
        ASSERT_EQ(CGPSPort::Instance()->Open(kCom, baud, 8, 0, 1), 1) << CGPSPort::Instance()->GetLastError();
    }
    void LinkPort(const platform::PtyPair& pty) {
        const std::string link = ports + "/COM" + std::to_string(kCom);
        std::filesystem::remove(link);
        std::filesystem::create_symlink(pty.SlavePath(), link);
    }
    // A parser thread that reports into stream.
    std::unique_ptr<CGPSParserThread> StartParser(FixStream& stream) {
        auto parser = std::make_unique<CGPSParserThread>();
        parser->SetLastFixPath(dir.File("LastGPS.dat"));
        parser->SetPublishObserver([&stream](const GpsFixRecord& f) { stream.Add(f); });
        EXPECT_EQ(parser->CreateThread(0, 0, 0), 1);
        // Messages reach it once it has registered its name.
        EXPECT_TRUE(WaitUntil([] { return CMgrWorkThreadEntry::Instance()->FindThreadByName(u"GPSPARSER") != nullptr; }));
        return parser;
    }

    testsupport::TempDir dir;
    std::string ports;
    FixedSystemSettings settings;
};

TEST_F(GpsPipeline, ReceiverLogThroughThePortFillsTheSettingsObjectAndRecordsItWhole) {
    const std::string log = gps_testdata::ReceiverBytes("bu353s4.log");
    ASSERT_FALSE(log.empty());
    const std::vector<std::string> epochs = Epochs(log);
    const std::vector<GpsFixRecord> expected = Expected(log);
    ASSERT_EQ(expected.size(), 25u);

    platform::PtyPair pty;
    OpenPortOnPty(pty, 4800);

    FixStream stream;
    auto parser = StartParser(stream);
    CGPSRxThread rx;
    ASSERT_EQ(rx.CreateThread(0, 0, 0), 1);
    ASSERT_EQ(CMgrWorkThread::SendThreadMessage(u"GPSPARSER", kGpsMsgOpenLog, nullptr, 0, 1000), 1);
    ASSERT_TRUE(WaitUntil([] { return CGPSNMEAStore::Instance()->IsLogging(1) == 1; }));

    CMgrConfigModuleGPS* block = CMgrConfigModuleGPS::Instance();
    size_t published = 0;
    for (const std::string& epoch : epochs) {
        ASSERT_TRUE(pty.Send(epoch));
        if (NmeaSentenceKind(epoch.substr(epoch.rfind('$'))) != kGpsParseRmc) continue;
        ++published;
        ASSERT_TRUE(stream.WaitFor(published)) << "fix " << published << " not published";
        GpsFixRecord inBlock;
        block->GetFix(&inBlock);
        EXPECT_EQ(Bytes(inBlock), Bytes(expected[published - 1])) << "fix " << published;
        EXPECT_EQ(block->IsFixReceived(), 1);
    }
    EXPECT_EQ(stream.Take().size(), expected.size());

    std::string logPath;
    ASSERT_EQ(CGPSNMEAStore::Instance()->GetFileName(&logPath, 1), 1);
    ASSERT_EQ(CMgrWorkThread::SendThreadMessage(u"GPSPARSER", kGpsMsgCloseLog, nullptr, 0, 1000), 1);
    ASSERT_TRUE(WaitUntil([] { return CGPSNMEAStore::Instance()->IsLogging(1) == 0; }));
    // Everything the receiver sent, byte for byte, though less than one
    // write-out buffer of it was ever filled.
    EXPECT_EQ(dir.Read(std::filesystem::path(logPath).filename().string()), log);

    EXPECT_EQ(rx.StopThread(5000), 1);
    EXPECT_EQ(parser->StopThread(5000), 1);

    // Replaying the recording into a fresh parser thread gives the same records.
    FixStream replayed;
    auto replayParser = StartParser(replayed);
    ASSERT_EQ(CMgrWorkThread::SendThreadMessage(u"GPSPARSER", kGpsMsgAcceptReplay, nullptr, 0, 1000), 1);
    CGPSFileThread replay;
    ASSERT_EQ(replay.CreateThread(0, 0, 0), 1);
    ASSERT_EQ(replay.Prepare(logPath.c_str(), 1), 1);
    ASSERT_EQ(replay.Start(), 1);
    ASSERT_TRUE(replayed.WaitFor(expected.size()));
    ASSERT_TRUE(WaitUntil([&] { return replay.GetState() == CMgrStateThread::kFinished; }));
    const std::vector<GpsFixRecord> again = replayed.Take();
    ASSERT_EQ(again.size(), expected.size());
    for (size_t i = 0; i < again.size(); ++i) EXPECT_EQ(Bytes(again[i]), Bytes(expected[i])) << "fix " << i;
    EXPECT_EQ(replay.StopThread(5000), 1);
    EXPECT_EQ(replayParser->StopThread(5000), 1);
}

TEST_F(GpsPipeline, ReplayDropsOnlyTheStrayBytesBeforeEachSentence) {
    const std::string log = gps_testdata::ReceiverBytes("bu353s4.log");
    const std::vector<GpsFixRecord> expected = Expected(log);
    ASSERT_EQ(expected.size(), 25u);
    dir.Write("noisy.gps", gps_testdata::WithStrayBytes(log));
    const std::string path = dir.File("noisy.gps");

    FixStream replayed;
    auto parser = StartParser(replayed);
    ASSERT_EQ(CMgrWorkThread::SendThreadMessage(u"GPSPARSER", kGpsMsgAcceptReplay, nullptr, 0, 1000), 1);
    CGPSFileThread replay;
    ASSERT_EQ(replay.CreateThread(0, 0, 0), 1);
    ASSERT_EQ(replay.Prepare(path.c_str(), 1), 1);
    ASSERT_EQ(replay.Start(), 1);
    ASSERT_TRUE(WaitUntil([&] { return replay.GetState() == CMgrStateThread::kFinished; }));
    ASSERT_TRUE(replayed.WaitFor(expected.size()));
    const std::vector<GpsFixRecord> again = replayed.Take();
    ASSERT_EQ(again.size(), expected.size());
    for (size_t i = 0; i < again.size(); ++i) EXPECT_EQ(Bytes(again[i]), Bytes(expected[i])) << "fix " << i;
    EXPECT_EQ(replay.StopThread(5000), 1);
    EXPECT_EQ(parser->StopThread(5000), 1);
}

TEST_F(GpsPipeline, UnpluggedReceiverIsDetectedAndThePortOpenedAgain) {
    const std::vector<std::string> epochs = Epochs(gps_testdata::ReceiverBytes("tn200.log"));
    ASSERT_GE(epochs.size(), 4u);
    platform::PtyPair first;
    OpenPortOnPty(first, 9600);
    FixStream stream;
    auto parser = StartParser(stream);
    CGPSRxThread rx;
    ASSERT_EQ(rx.CreateThread(0, 0, 0), 1);

    ASSERT_TRUE(first.Send(epochs[0]));
    ASSERT_TRUE(stream.WaitFor(1));

    // Unplug: the receive thread sees the hang-up and closes the port.
    first.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return rx.GetHangupCount() >= 1; }));
    // Plugged in again (a new device behind the same port name).
    platform::PtyPair second;
    ASSERT_TRUE(second.Open(nullptr));
    LinkPort(second);
    ASSERT_TRUE(WaitUntil([&] { return rx.GetReopenCount() >= 1; }));
    EXPECT_EQ(CGPSPort::Instance()->IsOpen(), 1);
    // The new device starts with noise and mixes other bytes in before its
    // sentences: only those bytes are lost.
    ASSERT_TRUE(second.Send(gps_testdata::WithStrayBytes(epochs[1] + epochs[2])));
    EXPECT_TRUE(stream.WaitFor(3));

    EXPECT_EQ(rx.StopThread(5000), 1);
    EXPECT_EQ(parser->StopThread(5000), 1);
}

TEST_F(GpsPipeline, ReceiveThreadStopsAtOnceWhileWaitingOnASilentPort) {
    platform::PtyPair pty;
    OpenPortOnPty(pty, 4800);
    CGPSRxThread rx;
    ASSERT_EQ(rx.CreateThread(0, 0, 0), 1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(rx.StopThread(5000), 1);
    // Woken through its event, not by the end of a wait slice; the bound is
    // far above the slice so a slow machine passes too.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(GpsPipeline, PortRefusesARateWithoutAConstantAndASecondOpen) {
    platform::PtyPair pty;
    ASSERT_TRUE(pty.Open(nullptr));
    LinkPort(pty);
    CGPSPort* port = CGPSPort::Instance();
    EXPECT_EQ(port->Open(kCom, 14400, 8, 0, 1), 0);
    EXPECT_NE(port->GetLastError().find("14400"), std::string::npos);
    EXPECT_EQ(port->IsOpen(), 0);
    ASSERT_EQ(port->Open(kCom, 9600, 8, 0, 1), 1);
    EXPECT_EQ(port->Open(kCom, 9600, 8, 0, 1), 0) << "already open";
    platform::SerialPort other;
    EXPECT_FALSE(other.Open(pty.SlavePath(), 9600, 8, 0, 1, nullptr)) << "opened exclusively";
}

TEST_F(GpsPipeline, ReceiverCommandsGoOutAsGiven) {
    platform::PtyPair pty;
    OpenPortOnPty(pty, 4800);
    CGPSPort* port = CGPSPort::Instance();
    EXPECT_EQ(port->SendCommand(3, 1), 1);
    EXPECT_EQ(pty.Receive(2000), "$PSRF110,4*3F\r\n");
    EXPECT_EQ(port->SendCommand(1, 1), 1);
    const std::string block = pty.Receive(2000);
    EXPECT_EQ(block.rfind("$PSRF101,0,0,0,000,0,0,12,8*1C\r\n$PSRF103,00,00,01,01*25\r\n", 0), 0u);
    EXPECT_NE(block.find("*27\r\n \t\t$PSRF103,03"), std::string::npos);
    EXPECT_EQ(port->SendCommand(5, 1), 0);
    EXPECT_EQ(port->SendSetupCommand(2, 1), 0) << "the empty entry sends nothing";
    EXPECT_EQ(pty.Receive(100), "");
}

}  // namespace
