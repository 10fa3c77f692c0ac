#include "settings/guide_dat.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/byte_cursor.h"

namespace {

std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

// The text of a zero-filled field: the units up to the first zero (all of
// them when there is none).
std::u16string FieldText(const char16_t* units, size_t count) {
    size_t n = 0;
    while (n < count && units[n] != 0) ++n;
    return std::u16string(units, n);
}

std::u16string_view CutMapVersion(std::u16string_view text) {
    return text.substr(0, std::min(text.size(), kGuideDatMapVersionChars));
}

}  // namespace

bool operator==(const GuideDatRecord& a, const GuideDatRecord& b) {
    if (a.mapVersion != b.mapVersion || a.routeKind != b.routeKind || a.moduleState != b.moduleState ||
        a.dataPresent != b.dataPresent || a.routeWord != b.routeWord || a.pointCount != b.pointCount ||
        a.links != b.links) {
        return false;
    }
    for (int i = 0; i < kGuideRoutePointMax; ++i) {
        if (!(a.points[i] == b.points[i])) return false;
    }
    return true;
}

const char* GuideDatStatusText(GuideDatStatus status) {
    switch (status) {
        case GuideDatStatus::kOk: return "ok";
        case GuideDatStatus::kTruncated: return "file cut short";
        case GuideDatStatus::kOtherMap: return "saved with another map version";
        case GuideDatStatus::kOtherFileVersion: return "another file version";
        case GuideDatStatus::kTooManyPoints: return "route point count out of range";
        case GuideDatStatus::kBadLinkCount: return "link count out of range";
        case GuideDatStatus::kTrailingBytes: return "unknown bytes after the links";
        case GuideDatStatus::kCheckMismatch: return "check trailer does not match";
    }
    return "?";
}

uint32_t GuideDatCrc32(const uint8_t* data, size_t size) {
    static const std::array<uint32_t, 256> table = MakeCrcTable();
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

bool EncodeGuideDat(const GuideDatRecord& record, std::vector<uint8_t>& out) {
    out.clear();
    if (record.pointCount < 0 || record.pointCount > kGuideRoutePointMax) return false;
    if (record.links.size() > static_cast<size_t>(kGuideDatMaxLinks)) return false;

    platform::ByteWriter w;
    w.Data().reserve(kGuideDatHeaderBytes + record.pointCount * kGuideRoutePointBytes + 4 +
                     record.links.size() * 4 + kGuideDatCheckBytes);
    w.Utf16(std::u16string(CutMapVersion(record.mapVersion)), kGuideDatTextUnits);
    w.Utf16(kGuideFileVersion, kGuideDatTextUnits);
    w.I32(record.routeKind);
    w.I32(record.moduleState);
    w.I32(record.dataPresent);
    w.I32(record.routeWord);
    w.I32(record.pointCount);
    for (int i = 0; i < record.pointCount; ++i) w.Bytes(record.points[i].bytes, kGuideRoutePointBytes);
    w.I32(static_cast<int32_t>(record.links.size()));
    for (int32_t id : record.links) w.I32(id);
    const uint32_t crc = GuideDatCrc32(w.Data().data(), w.Size());
    w.U32(kGuideDatCheckMagic);
    w.U32(crc);
    out = std::move(w.Data());
    return true;
}

GuideDatStatus DecodeGuideDat(const uint8_t* data, size_t size, std::u16string_view mapVersion,
                              GuideDatRecord& out) {
    // A file that ends in the check magic has a trailer and must match it;
    // the table then ends where the trailer begins. (An older file cannot
    // end that way: its last bytes are a link id, and "GDCK" read as one
    // names no link.)
    size_t tableSize = size;
    if (size >= kGuideDatHeaderBytes + 4 + kGuideDatCheckBytes) {
        platform::ByteReader tail(data + size - kGuideDatCheckBytes, kGuideDatCheckBytes);
        if (tail.U32() == kGuideDatCheckMagic) {
            tableSize = size - kGuideDatCheckBytes;
            if (tail.U32() != GuideDatCrc32(data, tableSize)) return GuideDatStatus::kCheckMismatch;
        }
    }

    platform::ByteReader r(data, tableSize);
    char16_t text[kGuideDatTextUnits];

    if (!r.Utf16(text, kGuideDatTextUnits)) return GuideDatStatus::kTruncated;
    const std::u16string storedMap = FieldText(text, kGuideDatTextUnits);
    if (storedMap != CutMapVersion(mapVersion)) return GuideDatStatus::kOtherMap;

    if (!r.Utf16(text, kGuideDatTextUnits)) return GuideDatStatus::kTruncated;
    if (FieldText(text, kGuideDatTextUnits) != kGuideFileVersion) return GuideDatStatus::kOtherFileVersion;

    GuideDatRecord record;
    record.mapVersion = storedMap;
    record.routeKind = r.I32();
    record.moduleState = r.I32();
    record.dataPresent = r.I32();
    record.routeWord = r.I32();
    record.pointCount = r.I32();
    if (!r.Ok()) return GuideDatStatus::kTruncated;
    if (record.pointCount < 0 || record.pointCount > kGuideRoutePointMax) return GuideDatStatus::kTooManyPoints;
    for (int i = 0; i < record.pointCount; ++i) {
        if (!r.Bytes(record.points[i].bytes, kGuideRoutePointBytes)) return GuideDatStatus::kTruncated;
    }

    const int32_t linkCount = r.I32();
    if (!r.Ok()) return GuideDatStatus::kTruncated;
    // The count decides how much is allocated: it must fit the format and
    // the bytes that are really there before anything is sized by it.
    if (linkCount < 0 || linkCount > kGuideDatMaxLinks) return GuideDatStatus::kBadLinkCount;
    if (static_cast<size_t>(linkCount) > r.Remaining() / 4) return GuideDatStatus::kBadLinkCount;
    record.links.resize(static_cast<size_t>(linkCount));
    for (int32_t& id : record.links) id = r.I32();
    if (!r.Ok()) return GuideDatStatus::kTruncated;
    if (r.Remaining() != 0) return GuideDatStatus::kTrailingBytes;

    out = std::move(record);
    return GuideDatStatus::kOk;
}
