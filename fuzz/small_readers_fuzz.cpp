// Lane, turn, name, toll-gate and service-area files from untrusted bytes.
// The index areas are large and mostly empty in real files: the first 40
// input bytes are repeated over each index area and the rest follows as the
// records, so the fuzzer reaches the records with small inputs.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "mapdb/small_readers.h"

namespace {

using fuzzsupport::WriteBytes;

// Built into a buffer kept across inputs; the pattern is copied in doubling
// blocks, since a byte loop over the 80 000-byte index cost more than the
// readers themselves.
const std::vector<uint8_t>& WithIndex(std::vector<uint8_t>& out, const uint8_t* data, size_t size,
                                      size_t indexBytes) {
    const size_t pattern = size < 40 ? size : 40;
    out.assign(indexBytes, 0);
    if (pattern) {
        size_t filled = pattern < indexBytes ? pattern : indexBytes;
        std::memcpy(out.data(), data, filled);
        while (filled < indexBytes) {
            const size_t block = filled < indexBytes - filled ? filled : indexBytes - filled;
            std::memcpy(out.data() + filled, out.data(), block);
            filled += block;
        }
    }
    out.insert(out.end(), data + pattern, data + size);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string root = fuzzsupport::MakeMapRoot("small_readers_fuzz");
    static std::vector<uint8_t> grouped, tollGates, serviceAreas;
    WithIndex(grouped, data, size, kMneGroupIndexBytes);
    WriteBytes(root + "/Map/Lane.ndb", grouped);
    WriteBytes(root + "/Map/TBT.ndb", grouped);
    WriteBytes(root + "/Map/RN.ndb", data, size);
    WriteBytes(root + "/Map/TG.ndb", WithIndex(tollGates, data, size, kMneTollGateIndexBytes));
    WriteBytes(root + "/Map/SA.ndb", data, size);
    WriteBytes(root + "/Map/SAIdx.ndb", WithIndex(serviceAreas, data, size, kMneSaIndexBytes));

    const uint32_t ids[] = {1, 2, 7, 99, 100, 101, 150, 0x8000001, 0x8000007, 1999999};
    // The readers live across inputs: opened again, they keep their arenas.
    static CMneExtLaneMapFile lane;
    static CMneExtTBTMapFile tbt;
    static CMneNameMapFile rn;
    static CMneTollGateMapFile tg;
    static CMneSAMapFile sa;
    if (lane.Open(root))
        for (uint32_t id : ids) lane.GetLaneInfo(id);
    if (tbt.Open(root))
        for (uint32_t id : ids) tbt.GetTurnInfo(id, ids[(id + 3) % 10]);
    if (rn.Open(root))
        for (uint32_t id : {0u, 1u, 4u, 5u, static_cast<uint32_t>(size / 2), static_cast<uint32_t>(size)}) rn.GetName(id);
    if (tg.Open(root)) {
        int n = 0;
        for (int gate : {1, 2, 3, 5, 1000}) tg.GetTollGate(gate, &n);
    }
    if (sa.Open(root))
        for (uint32_t id : ids) sa.GetServiceArea(id);
    CMneHipassMapFile hp;
    uint8_t lanes[6];
    int v1, v2;
    if (size >= 4) hp.GetHipassLanes(data[0] | (data[1] << 8), data[2] | (data[3] << 8), &v1, &v2, lanes);
    return 0;
}
