// Stored transfers: the first byte picks the kind's file ("EVT_*_TRANSFER_0.bin")
// and the rest is its content, replayed through the basic-layout handlers
// into a loaded engine.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "tools/writers/traffic_writer.h"
#include "traffic/traffic_engine.h"

namespace {

constexpr const char* kFiles[] = {"EVT_CTT_TRANSFER_0.bin", "EVT_CTTSUM_TRANSFER_0.bin", "EVT_RTM_TRANSFER_0.bin",
                                  "EVT_NWS_TRANSFER_0.bin", "EVT_OPI_TRANSFER_0.bin"};

struct World {
    std::string root;
    CMgrConfigModuleTPEG store;
    TrafficServicesFixture services;
    TrafficEngine engine{store, services};
    std::vector<uint8_t> block;

    World() {
        fuzzsupport::SilenceTrace();
        root = fuzzsupport::MakeMapRoot("traffic_transfers_fuzz");
        std::vector<writers::TrafficLinkRow> links;
        for (uint32_t id = 1; id <= 40; ++id) links.push_back({id, static_cast<uint8_t>(id % 2)});
        if (!writers::WriteTrafficTables(root, links, {0, 10, 16, 20}, {{11, "A", 1, 1, {1, 1}, 2, 1}})) {
            std::abort();
        }
        TrafficPathSettings settings;
        settings.dataRoot = root;
        if (!engine.BuildPaths(settings)) std::abort();
        block.resize(engine.ArenaBytes());
        if (engine.LoadTables(block.data(), block.size()) <= 0) std::abort();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World world;
    if (size < 1 || size > 200000) return 0;
    const std::string path = world.root + "/Map/" + kFiles[data[0] % std::size(kFiles)];
    fuzzsupport::WriteBytes(path, data + 1, size - 1);
    world.engine.ReplayTransfers();
    std::remove(path.c_str());
    return 0;
}
