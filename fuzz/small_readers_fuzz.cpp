// Lane, turn, name, toll-gate and service-area files from untrusted bytes.
// The index areas are large and mostly empty in real files: the first 40
// input bytes are repeated over each index area and the rest follows as the
// records, so the fuzzer reaches the records with small inputs.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "mapdb/small_readers.h"

namespace {

void Put(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::vector<uint8_t> WithIndex(const uint8_t* data, size_t size, size_t indexBytes) {
    const size_t pattern = size < 40 ? size : 40;
    std::vector<uint8_t> out(indexBytes, 0);
    if (pattern)
        for (size_t i = 0; i < indexBytes; ++i) out[i] = data[i % pattern];
    out.insert(out.end(), data + pattern, data + size);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string root = [] {
        char dir[] = "/tmp/smallreadersfuzzXXXXXX";
        if (!mkdtemp(dir)) std::abort();
        mkdir((std::string(dir) + "/Map").c_str(), 0700);
        return std::string(dir);
    }();
    const auto grouped = WithIndex(data, size, kMneGroupIndexBytes);
    Put(root + "/Map/Lane.ndb", grouped);
    Put(root + "/Map/TBT.ndb", grouped);
    Put(root + "/Map/RN.ndb", std::vector<uint8_t>(data, data + size));
    Put(root + "/Map/TG.ndb", WithIndex(data, size, kMneTollGateIndexBytes));
    Put(root + "/Map/SA.ndb", std::vector<uint8_t>(data, data + size));
    Put(root + "/Map/SAIdx.ndb", WithIndex(data, size, kMneSaIndexBytes));

    const uint32_t ids[] = {1, 2, 7, 99, 100, 101, 150, 0x8000001, 0x8000007, 1999999};
    CMneExtLaneMapFile lane;
    if (lane.Open(root))
        for (uint32_t id : ids) lane.GetLaneInfo(id);
    CMneExtTBTMapFile tbt;
    if (tbt.Open(root))
        for (uint32_t id : ids) tbt.GetTurnInfo(id, ids[(id + 3) % 10]);
    CMneNameMapFile rn;
    if (rn.Open(root))
        for (uint32_t id : {0u, 1u, 4u, 5u, static_cast<uint32_t>(size / 2), static_cast<uint32_t>(size)}) rn.GetName(id);
    CMneTollGateMapFile tg;
    if (tg.Open(root)) {
        int n = 0;
        for (int gate : {1, 2, 3, 5, 1000}) tg.GetTollGate(gate, &n);
    }
    CMneSAMapFile sa;
    if (sa.Open(root))
        for (uint32_t id : ids) sa.GetServiceArea(id);
    CMneHipassMapFile hp;
    uint8_t lanes[6];
    int v1, v2;
    if (size >= 4) hp.GetHipassLanes(data[0] | (data[1] << 8), data[2] | (data[3] << 8), &v1, &v2, lanes);
    return 0;
}
