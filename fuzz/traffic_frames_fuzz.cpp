// Frames from the traffic receiver as the socket delivers them ({u32 code,
// u32 size, payload}): hello acknowledgements, status blocks, data of every
// kind and anything else, handed to a link that has done its handshake with
// a receiver played here. After each frame the state check runs, so a status
// that stops or restarts the data is followed as the link would.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/clock.h"
#include "tools/writers/traffic_writer.h"
#include "traffic/receiver_link.h"

namespace {

struct World {
    platform::FakeClock clock{1000};
    CMgrConfigModuleTPEG store;
    TrafficServicesFixture services;
    TrafficEngine engine{store, services};
    std::vector<uint8_t> block;
    std::string root;
    int listenFd = -1;
    int peerFd = -1;
    std::unique_ptr<CMneTPEGManagerEvent> link;

    void Drain() {
        uint8_t buf[64];
        while (::recv(peerFd, buf, sizeof buf, MSG_DONTWAIT) > 0) {
        }
    }
    void Send(uint32_t code, const std::vector<uint8_t>& payload) {
        const auto frame = BuildTpegFrame(code, payload.data(), payload.size());
        if (::send(peerFd, frame.data(), frame.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(frame.size())) std::abort();
    }

    World() {
        fuzzsupport::SilenceTrace();
        platform::SetClock(&clock);
        // The daemon's socket lies under the data root, so this root is a
        // folder on disk; only the tables are written, once.
        root = fuzzsupport::MakeTempFolder("traffic_frames_fuzz");
        if (mkdir((root + "/Map").c_str(), 0700) != 0) std::abort();
        std::vector<writers::TrafficLinkRow> links;
        for (uint32_t id = 100; id <= 1000; id += 100) links.push_back({id, static_cast<uint8_t>(id % 200 == 0)});
        if (!writers::WriteTrafficTables(root, links, {0, 10, 16, 20}, {{11, "A", 1, 1, {1, 1}, 2, 1}})) {
            std::abort();
        }
        TrafficPathSettings settings;
        settings.dataRoot = root;
        if (!engine.BuildPaths(settings)) std::abort();
        block.resize(engine.ArenaBytes());
        if (engine.LoadTables(block.data(), block.size()) <= 0) std::abort();

        const std::string path = TpegSocketPath(root, "TPEGD");
        listenFd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strcpy(addr.sun_path, path.c_str());
        if (::bind(listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listenFd, 1) != 0) {
            std::abort();
        }
        link = std::make_unique<CMneTPEGManagerEvent>(engine, root);
        link->FindDaemonWindow("TPEGD");
        peerFd = ::accept(listenFd, nullptr, nullptr);
        if (peerFd < 0) std::abort();
        Send(kTpegCmdHelloAck, {});
        link->Step(0);
        link->CheckState();
        std::vector<uint8_t> status(16, 0);
        status[5] = 4;
        Send(kTpegCmdStatus, status);
        link->Step(0);
        link->CheckState();
        Drain();
        if (!link->IsNotifying()) std::abort();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World world;
    if (size > kTpegFrameHeaderBytes + kTpegMaxMessageBytes + 16) return 0;
    const std::vector<uint8_t> frame(data, data + size);
    world.link->HandleFrame(frame.data(), frame.size());
    world.link->CheckState();
    world.Drain();
    return 0;
}
