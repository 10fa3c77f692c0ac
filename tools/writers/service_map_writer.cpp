#include "tools/writers/service_map_writer.h"

#include "platform/byte_cursor.h"

namespace writers {

std::vector<uint8_t> EncodeServiceRecord(const ServiceRecord& r) {
    platform::ByteWriter w;
    w.U32(r.length);
    w.U32(r.value4);
    w.U32(r.value8);
    for (uint8_t b : {r.roadClass, r.byte13, r.linkKind, r.byte15, r.twoWay, r.byte17, r.setACode, r.setBCode}) w.U8(b);
    for (uint16_t v : r.words) w.U16(v);
    for (uint32_t v : r.forward) w.U32(v);
    for (uint32_t v : r.backward) w.U32(v);
    w.U32(r.nameId);
    w.U32(r.value56);
    w.U16(r.setBWord);
    w.U16(r.setAWord);
    w.U32(r.setBValue);
    w.U32(r.setAValue);
    w.U32(r.forwardValue);
    w.U32(r.backwardValue);
    return w.Data();
}

std::vector<uint8_t> BuildServiceMap(const std::map<uint32_t, ServiceRecord>& records, bool padToGroup) {
    uint32_t count = records.empty() ? 1 : records.rbegin()->first + 1;
    if (padToGroup) count = (count + 99) / 100 * 100;
    std::vector<uint8_t> out(static_cast<size_t>(count) * 80, 0);
    for (const auto& [number, record] : records) {
        const std::vector<uint8_t> bytes = EncodeServiceRecord(record);
        std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<size_t>(number) * 80);
    }
    return out;
}

}  // namespace writers
