// "Road.ndb" from untrusted bytes. An input whose first byte has its lowest
// bit set holds unpacked link records: each is bound to the link view and
// read in both directions (the fuzzer works on the records without zlib in
// the way). Otherwise the rest of the input is a packed block as stored,
// indexed as the only block of a file and read through the road data.
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/byte_cursor.h"
#include "route/road_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string root = [] {
        std::string dir = fuzzsupport::MakeMapRoot("road_ndb_fuzz");
        fuzzsupport::SilenceTrace();
        return dir;
    }();
    static std::vector<uint8_t> memory(kNcBlockBytes + NcCacheData::kHeaderBytes);
    if (size < 1) return 0;
    if (data[0] & 1) {
        NcRoad view;
        for (size_t at = 1; at + kNcLinkRecordBytes <= size; at += kNcLinkRecordBytes) {
            for (int direction : {0, 1}) {
                if (!view.Attach(static_cast<uint32_t>(at), data + at, direction, kNcLinkRecordBytes)) continue;
                view.GetStartPoint();
                view.GetTrafficId();
                view.GetSpeedLimit();
                view.IsClosed();
                for (int run : {0, 1})
                    for (int i = 0; i < view.GetRunCount(run); ++i) view.GetRunEntry(run, i);
            }
        }
        return 0;
    }
    const std::vector<uint8_t> road(data + 1, data + size);
    const uint32_t links = 1 + (data[0] >> 1) % kNcLinksPerBlock;
    platform::ByteWriter index;
    index.U32(0);
    index.U32(static_cast<uint32_t>(road.size()));
    index.U32(links);
    fuzzsupport::WriteBytes(root + "/Map/Road.ndb", road);
    fuzzsupport::WriteBytes(root + "/Map/RoadIdx.ndb", index.Data());
    NcDALManager dal;
    if (!dal.OpenAt(root, memory.data(), memory.size())) return 0;
    const NcConnection* c = nullptr;
    for (uint32_t id = 0; id < links; ++id) {
        for (uint32_t dir : {0u, kNcLinkReverseBit}) {
            if (!dal.LoadLink(0, id | dir)) continue;
            dal.GetSummary(0);
            // What the reader remembers of the link once its block came in.
            dal.Road()->GetReach(id);
            dal.Road()->IsKnownClosed(id | dir);
            for (auto which : {NcDALManager::ListAt::kEndLeaving, NcDALManager::ListAt::kEndArriving,
                               NcDALManager::ListAt::kStartLeaving, NcDALManager::ListAt::kStartArriving})
                dal.GetConnectionList(0, which, &c);
        }
    }
    return 0;
}
