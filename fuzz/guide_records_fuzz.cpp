// The toll-gate fare tables and lane records that guidance-point gathering
// reads, from untrusted bytes: the input is the fare table of gate 1 (and
// of gate 2, its second half) in "Map\TG.ndb" and the lane data of links 1
// to 3 in "Map\Lane.ndb"; a route over gates 1 and 2 is priced and the lane
// words decoded.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "guidance/collect_data.h"
#include "guidance/toll_price.h"
#include "mapdb/small_readers.h"
#include "platform/byte_cursor.h"

namespace {

// A toll-gate file whose gate 1 holds the first half of the input as
// 20-byte records and gate 2 the second half.
void TollFile(std::vector<uint8_t>& out, const uint8_t* data, size_t size) {
    const size_t half = size / 2 / kMneTollGateRecordSize * kMneTollGateRecordSize;
    const size_t rest = (size - half) / kMneTollGateRecordSize * kMneTollGateRecordSize;
    platform::ByteWriter w;
    w.Zeros(kMneTollGateIndexBytes);
    w.PatchU32(0, kMneTollGateIndexBytes);
    w.Data()[4] = static_cast<uint8_t>(half / kMneTollGateRecordSize);
    w.PatchU32(8, static_cast<uint32_t>(kMneTollGateIndexBytes + half));
    w.Data()[12] = static_cast<uint8_t>(rest / kMneTollGateRecordSize);
    w.Bytes(data, half + rest);
    out = w.Data();
}

// A lane file with one group (links 0 to 99) of records cut from the input,
// each given a link number 1 to 3 and a direction.
void LaneFile(std::vector<uint8_t>& out, const uint8_t* data, size_t size) {
    const size_t count = size / kMneLaneRecordSize < 255 ? size / kMneLaneRecordSize : 255;
    out.assign(kMneGroupIndexBytes, 0);
    out[0] = static_cast<uint8_t>(count);
    out.insert(out.end(), data, data + count * kMneLaneRecordSize);
    for (size_t k = 0; k < count; ++k) {
        uint8_t* rec = out.data() + kMneGroupIndexBytes + k * kMneLaneRecordSize;
        rec[0] = static_cast<uint8_t>(1 + k % 3);
        rec[1] = rec[2] = 0;
        rec[3] &= 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string root = fuzzsupport::MakeMapRoot("guide_records_fuzz");
    static std::vector<uint8_t> toll, lane;
    TollFile(toll, data, size);
    LaneFile(lane, data, size);
    fuzzsupport::WriteBytes(root + "/Map/TG.ndb", toll);
    fuzzsupport::WriteBytes(root + "/Map/Lane.ndb", lane);

    static CMneTollGateMapFile gates;
    static CMneExtLaneMapFile lanes;
    static CMneCalTollPrice price;
    if (gates.Open(root) == 1) {
        price.OpenAt(std::string(), &gates);
        for (int firstKind : {1, 3, 4}) {
            tagTOLLGATE route[3];
            route[0].gateId = 1, route[0].kind = firstKind;
            route[1].gateId = 2, route[1].kind = 2;
            route[2].gateId = 1, route[2].kind = 2;
            price.PriceRoute(3, route);
        }
        int count = 0;
        const MneTollGateRecord* table = gates.GetTollGate(1, &count);
        if (table) {
            std::vector<uint8_t> copy(static_cast<size_t>(count) * kMneTollGateRecordSize);
            for (int i = 0; i < count; ++i) std::memcpy(copy.data() + i * kMneTollGateRecordSize, table[i].bytes, 20);
            for (int other : {0, 1, 2, 65535}) FindGateEntry(copy.data(), count, other, nullptr);
        }
    }
    if (lanes.Open(root) == 1) {
        for (uint32_t id : {1u, 2u, 3u, 0x8000001u, 0x8000002u}) {
            const MneLaneInfo* info = lanes.GetLaneInfo(id);
            if (!info) continue;
            const SvcLaneWords w = DecodeLaneWords(info->value4, info->lanes);
            if (w.count < 0 || w.count > kGuideLaneWords) std::abort();
        }
    }
    return 0;
}
