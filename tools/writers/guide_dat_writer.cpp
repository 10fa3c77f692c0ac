#include "tools/writers/guide_dat_writer.h"

#include "platform/byte_cursor.h"
#include "platform/file_io.h"

namespace writers {

namespace {

// The zip CRC-32, bit by bit: slow, but independent of the reader's table.
uint32_t Crc32(const std::vector<uint8_t>& bytes) {
    uint32_t c = 0xFFFFFFFFu;
    for (uint8_t b : bytes) {
        c ^= b;
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

}  // namespace

std::vector<uint8_t> GuideRoutePointBytes(uint8_t tag) { return std::vector<uint8_t>(40, tag); }

std::vector<uint8_t> BuildGuideDat(const GuideDatSpec& spec) {
    platform::ByteWriter w;
    w.Utf16(spec.mapVersion, 16);
    w.Utf16(spec.fileVersion, 16);
    w.I32(spec.routeKind);
    w.I32(spec.moduleState);
    w.I32(spec.dataPresent);
    w.I32(spec.routeWord);
    w.I32(spec.pointCount.value_or(static_cast<int32_t>(spec.pointTags.size())));
    for (uint8_t tag : spec.pointTags) {
        const std::vector<uint8_t> record = GuideRoutePointBytes(tag);
        w.Bytes(record.data(), record.size());
    }
    w.I32(spec.linkCount.value_or(static_cast<int32_t>(spec.links.size())));
    for (int32_t id : spec.links) w.I32(id);
    if (spec.checkTrailer) {
        const uint32_t crc = Crc32(w.Data());
        w.Bytes("GDCK", 4);
        w.U32(crc);
    }
    return w.Data();
}

bool WriteGuideDat(const std::string& nativePath, const GuideDatSpec& spec, std::string* error) {
    return platform::AtomicReplaceFile(nativePath, BuildGuideDat(spec), error);
}

}  // namespace writers
