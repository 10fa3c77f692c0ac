// "RoadIdx.ndb" from untrusted bytes beside a good Road.ndb (a small
// synthetic city of eight blocks, seed 1): the index is loaded and links
// across its blocks are read in both directions.
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "route/road_data.h"
#include "tools/writers/synthetic_city.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string root = [] {
        std::string dir = fuzzsupport::MakeMapRoot("road_idx_fuzz");
        fuzzsupport::SilenceTrace();
        writers::RoadFiles files;
        if (!writers::BuildRoadNetFiles(writers::BuildSyntheticCity(400, 1).net, &files, nullptr)) std::abort();
        fuzzsupport::WriteBytes(dir + "/Map/Road.ndb", files.road);
        return dir;
    }();
    static std::vector<uint8_t> memory(2 * (kNcBlockBytes + NcCacheData::kHeaderBytes));
    fuzzsupport::WriteBytes(root + "/Map/RoadIdx.ndb", data, size);
    NcDALManager dal;
    if (!dal.OpenAt(root, memory.data(), memory.size())) return 0;
    const NcConnection* c = nullptr;
    for (uint32_t id : {0u, 1u, 52u, 53u, 160u, 300u, dal.GetLinkCount() - 1, dal.GetLinkCount()}) {
        for (uint32_t dir : {0u, kNcLinkReverseBit}) {
            if (dal.LoadLink(0, id | dir)) dal.GetConnections(0, &c);
        }
    }
    return 0;
}
