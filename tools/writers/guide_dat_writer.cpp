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

std::vector<uint8_t> BuildGuideDat(const GuideDatDesc& desc) {
    platform::ByteWriter w;
    w.Utf16(desc.mapVersion, 16);
    w.Utf16(desc.fileVersion, 16);
    w.I32(desc.routeKind);
    w.I32(desc.moduleState);
    w.I32(desc.dataPresent);
    w.I32(desc.routeWord);
    w.I32(desc.pointCount.value_or(static_cast<int32_t>(desc.pointTags.size())));
    for (uint8_t tag : desc.pointTags) {
        const std::vector<uint8_t> record = GuideRoutePointBytes(tag);
        w.Bytes(record.data(), record.size());
    }
    w.I32(desc.linkCount.value_or(static_cast<int32_t>(desc.links.size())));
    for (int32_t id : desc.links) w.I32(id);
    if (desc.checkTrailer) {
        const uint32_t crc = Crc32(w.Data());
        w.Bytes("GDCK", 4);
        w.U32(crc);
    }
    return w.Data();
}

bool WriteGuideDat(const std::string& nativePath, const GuideDatDesc& desc, std::string* error) {
    return platform::AtomicReplaceFile(nativePath, BuildGuideDat(desc), error);
}

}  // namespace writers
