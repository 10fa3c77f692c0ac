// Sentences per second from received bytes to published fix record: the
// receive split, the parser, the filter and the publishing rules over the
// twenty real receiver logs, and gpsd's gpsdecode (Debian gpsd-clients)
// run as a process over the same bytes side by side, with the ratio.
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "foundation/debug_trace.h"
#include "positioning/gps_fix.h"
#include "positioning/gps_parser.h"
#include "positioning/gps_port.h"
#include "settings/module_gps.h"

namespace {

constexpr int kRepeats = 20;   // the logs are short: repeat them so process start-up does not dominate

std::string LogFolder() {
    namespace fs = std::filesystem;
    for (fs::path dir = fs::current_path(); !dir.empty(); dir = dir.parent_path()) {
        for (const fs::path& p : {dir / "shared" / "testdata" / "gps", dir / ".." / "shared" / "testdata" / "gps"}) {
            if (fs::is_directory(p)) return p.string();
        }
        if (dir == dir.parent_path()) break;
    }
    return "/work/shared/testdata/gps";
}

struct Feed {
    std::string bytes;
    int64_t sentences = 0;
    std::string path;   // the same bytes in a file for the peer
};

const Feed& TheFeed() {
    static const Feed feed = [] {
        Feed f;
        std::string once;
        std::vector<std::filesystem::path> logs;
        for (const auto& e : std::filesystem::directory_iterator(LogFolder())) {
            if (e.path().extension() == ".log") logs.push_back(e.path());
        }
        std::sort(logs.begin(), logs.end());
        for (const auto& p : logs) {
            std::ifstream in(p, std::ios::binary);
            std::string line;
            while (std::getline(in, line)) {
                if (line.empty() || line[0] == '#') continue;
                once += line + "\n";
            }
        }
        for (int i = 0; i < kRepeats; ++i) f.bytes += once;
        for (char c : f.bytes) f.sentences += c == '\n';
        f.path = (std::filesystem::temp_directory_path() / "gps_bench_feed.nmea").string();
        std::ofstream(f.path, std::ios::binary) << f.bytes;
        return f;
    }();
    return feed;
}

// Bytes to published record, as the receive and parser threads do it.
int RunPipeline(const std::string& bytes) {
    GpsSentenceSplitter splitter('\n');
    CGPSParser parser;
    GpsFixPublisher publisher;
    CMgrConfigModuleGPS* block = CMgrConfigModuleGPS::Instance();
    int fixes = 0;
    splitter.Feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), [&](const uint8_t* p, size_t n) {
        if (parser.ParseNmea(std::string_view(reinterpret_cast<const char*>(p), n)) != kGpsParseRmc) return;
        GpsFixRecord fix;
        parser.TakeFix(&fix);
        bool save = false;
        block->PublishFix(publisher.Prepare(fix, &save));
        if (save) publisher.OnSaved();
        ++fixes;
    });
    return fixes;
}

// Runs gpsdecode over the feed file; seconds of wall time, -1 when it
// cannot be run.
double RunPeer(const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        std::freopen(path.c_str(), "rb", stdin);
        std::freopen("/dev/null", "wb", stdout);
        execlp("gpsdecode", "gpsdecode", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_GpsBytesToPublishedFix(benchmark::State& state) {
    SetDebugTraceLevel(0);
    const Feed& feed = TheFeed();
    for (auto _ : state) benchmark::DoNotOptimize(RunPipeline(feed.bytes));
    state.SetItemsProcessed(state.iterations() * feed.sentences);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(feed.bytes.size()));
}
BENCHMARK(BM_GpsBytesToPublishedFix)->Unit(benchmark::kMillisecond);

// Both decoders over the same bytes in one run; the ratio is ours over the
// peer's sentences per second.
void BM_GpsVersusGpsdecode(benchmark::State& state) {
    SetDebugTraceLevel(0);
    const Feed& feed = TheFeed();
    double oursSec = 0, peerSec = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(RunPipeline(feed.bytes));
        oursSec += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const double peer = RunPeer(feed.path);
        if (peer < 0) {
            state.SkipWithError("gpsdecode not found (scripts/install-deps installs gpsd-clients)");
            return;
        }
        peerSec += peer;
    }
    const double n = static_cast<double>(state.iterations()) * static_cast<double>(feed.sentences);
    state.counters["ours_sentences_per_s"] = n / oursSec;
    state.counters["gpsdecode_sentences_per_s"] = n / peerSec;
    state.counters["ratio"] = peerSec / oursSec;
    std::printf("gps: %lld sentences, ours %.0f/s, gpsdecode %.0f/s, ratio %.1fx\n",
                static_cast<long long>(feed.sentences), n / oursSec, n / peerSec, peerSec / oursSec);
}
BENCHMARK(BM_GpsVersusGpsdecode)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace
