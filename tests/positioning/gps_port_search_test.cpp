// The port search over a folder of port links to pseudo-terminals: one
// carries a receiver, the others are silent or send other text.
#include <gtest/gtest.h>

#include <fcntl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/serial_port.h"
#include "positioning/gps_port.h"
#include "positioning/gps_port_search.h"
#include "support/temp_dir.h"

namespace {

struct Progress {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::vector<int>> calls;   // code, port, rate

    static void Callback(int code, int port, int rate, void* context) {
        auto* self = static_cast<Progress*>(context);
        std::lock_guard<std::mutex> lock(self->mutex);
        self->calls.push_back({code, port, rate});
        self->changed.notify_all();
    }
    // Waits for a final code of a job.
    std::vector<int> WaitFinal(std::initializer_list<int> finals) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(30), [&] {
            for (const auto& c : calls) {
                for (int f : finals) {
                    if (c[0] == f) return true;
                }
            }
            return false;
        });
        for (const auto& c : calls) {
            for (int f : finals) {
                if (c[0] == f) return c;
            }
        }
        return {};
    }
};

class PortSearch : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.File("ports"));
        SetSerialPortFolder(dir.File("ports"));
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(ptys[i].Open(nullptr));
            fcntl(ptys[i].MasterDescriptor(), F_SETFL, O_NONBLOCK);   // a full pty drops, never blocks the feeder
            std::filesystem::create_symlink(ptys[i].SlavePath(), dir.File("ports/COM" + std::to_string(i + 1)));
        }
    }
    void TearDown() override {
        stopFeed = true;
        if (feeder.joinable()) feeder.join();
        SetSerialPortFolder("");
    }
    // COM2 sends other text, COM3 (when receiver) NMEA, COM1 nothing.
    void Feed(bool receiver) {
        feeder = std::thread([this, receiver] {
            const std::string nmea = "$GPGGA,030719.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000*7D\r\n";
            const std::string other = "AT+CSQ\r\nOK\r\n+CREG: 0,1\r\nRING\r\n";
            while (!stopFeed) {
                ptys[1].Send(other);
                if (receiver) ptys[2].Send(nmea);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));   // a receiver's pace, not a timing assumption
            }
        });
    }

    // A search thread reporting into progress.
    void StartSearcher(GpsPortSearch& search, Progress& progress) {
        search.SetProgressCallback(&Progress::Callback, &progress);
        ASSERT_EQ(search.StartThread(), 1);
    }

    testsupport::TempDir dir;
    platform::PtyPair ptys[3];
    std::thread feeder;
    std::atomic<bool> stopFeed{false};
};

TEST_F(PortSearch, FindsThePortThatCarriesAReceiver) {
    EXPECT_EQ(EnumerateSerialPorts(50), (std::vector<int>{1, 2, 3}));
    Feed(true);
    Progress progress;
    GpsPortSearch search;
    StartSearcher(search, progress);
    search.StartSearch();
    const std::vector<int> result = progress.WaitFinal({kGpsSearchFound, kGpsSearchNotFound});
    EXPECT_EQ(result, (std::vector<int>{kGpsSearchFound, 3, 19200}));
    std::lock_guard<std::mutex> lock(progress.mutex);
    ASSERT_GE(progress.calls.size(), 3u);
    EXPECT_EQ(progress.calls[0][0], kGpsSearchStarted);
    EXPECT_EQ(progress.calls[1][0], kGpsSearchEnumerating);
}

TEST_F(PortSearch, CheckOfAConfiguredPortAndOfASilentOne) {
    Feed(true);
    Progress progress;
    GpsPortSearch search;
    StartSearcher(search, progress);
    search.StartPortCheck(3, 115200);   // any rate the system can set, also those the search skips
    EXPECT_EQ(progress.WaitFinal({kGpsSearchCheckOk, kGpsSearchCheckFailed}),
              (std::vector<int>{kGpsSearchCheckOk, 3, 115200}));
    Progress second;
    search.SetProgressCallback(&Progress::Callback, &second);
    search.StartPortCheck(2, 9600);
    EXPECT_EQ(second.WaitFinal({kGpsSearchCheckOk, kGpsSearchCheckFailed})[0], kGpsSearchCheckFailed);
}

TEST_F(PortSearch, CancelledSearchEndsWithNotFoundWithinABound) {
    Feed(false);
    Progress progress;
    GpsPortSearch search;
    StartSearcher(search, progress);
    search.StartSearch();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!search.IsSearching() && std::chrono::steady_clock::now() < until) std::this_thread::yield();
    ASSERT_EQ(search.IsSearching(), 1);
    const auto start = std::chrono::steady_clock::now();
    search.CancelSearch();
    EXPECT_EQ(progress.WaitFinal({kGpsSearchFound, kGpsSearchNotFound})[0], kGpsSearchNotFound);
    // A full search of three ports takes four seconds; cancelled it ends
    // after the poll slice it is in (100 ms), far inside this bound.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    search.StopThread();
}

}  // namespace
