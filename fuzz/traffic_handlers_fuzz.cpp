// Traffic messages: the first byte picks a handler (basic or extended
// layout of CTT, CTTSUM, RTM, NWS, OPI) and the second the channel type;
// the rest is the payload. Accepted incidents and news are then listed and
// their texts read, which reach into the stored copies by the offsets the
// messages gave.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "tools/writers/traffic_writer.h"
#include "traffic/traffic_engine.h"

namespace {

struct World {
    CMgrConfigModuleTPEG store;
    TrafficServicesFixture services;
    TrafficEngine engine{store, services};
    std::vector<uint8_t> block;

    World() {
        fuzzsupport::SilenceTrace();
        const std::string root = fuzzsupport::MakeMapRoot("traffic_handlers_fuzz");
        std::vector<writers::TrafficLinkRow> links;
        for (uint32_t id = 100; id <= 1000; id += 100) links.push_back({id, static_cast<uint8_t>(id % 200 == 0)});
        const std::vector<writers::TrafficStation> stations = {{11, "A", 1, 1, {1, 1}, 2, 1234567},
                                                               {12, "B", 2, 5, {2, 2}, 0, 0}};
        if (!writers::WriteTrafficTables(root, links, {0, 10, 16, 20}, stations)) {
            std::abort();
        }
        TrafficPathSettings settings;
        settings.dataRoot = root;
        if (!engine.BuildPaths(settings)) std::abort();
        block.resize(engine.ArenaBytes());
        if (engine.LoadTables(block.data(), block.size()) <= 0) std::abort();
    }
};

using Handler = int (TrafficEngine::*)(const uint8_t*, size_t);
constexpr Handler kHandlers[] = {
    &TrafficEngine::ReceiveCTT,  &TrafficEngine::ReceiveCTTExt, &TrafficEngine::ReceiveCTTSUM,
    &TrafficEngine::ReceiveCTTSUMExt, &TrafficEngine::ReceiveRTM, &TrafficEngine::ReceiveRTMExt,
    &TrafficEngine::ReceiveNWS,  &TrafficEngine::ReceiveNWSExt, &TrafficEngine::ReceiveOPI,
    &TrafficEngine::ReceiveOPIExt,
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World world;
    if (size < 2 || size > 120000) return 0;
    const size_t pick = data[0] % std::size(kHandlers);
    static constexpr int kChannels[] = {-1, 0, 1, 2, 3, 4};
    world.engine.SetChannel(1, kChannels[data[1] % 6]);
    // An exact copy: a read past the payload leaves the buffer.
    const std::vector<uint8_t> payload(data + 2, data + size);
    if ((world.engine.*kHandlers[pick])(payload.data(), payload.size()) != 1) return 0;
    int count = 0;
    if (pick == 4 || pick == 5) {
        if (world.engine.MakeIncidentList(0xFFFF, data[1] % 4, 0, 1, 1, &count) == 0) {
            TPEGIncidentRow rows[16];
            int n = 16;
            world.engine.GetIncidentList(0, rows, &n);
            TPEGIncidentInfo info;
            world.engine.GetIncidentInfo(count - 1, &info);
        }
    } else if (pick == 6 || pick == 7) {
        if (world.engine.MakeNewsList(0xFFFF, data[1] % 3, &count) == 0) {
            TPEGNewsRow rows[16];
            int n = 16;
            world.engine.GetNewsList(0, rows, &n);
            TPEGNewsInfo info;
            world.engine.GetNewsInfo(count - 1, &info);
        }
    } else if (pick == 2 || pick == 3) {
        uint8_t levels[16], speeds[16];
        int slots = 0;
        world.engine.GetCTTSUMInfo(data[1] % 4, &slots, levels, speeds, 16, nullptr);
    }
    return 0;
}
