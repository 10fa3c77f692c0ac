#pragma once
// The drawing layer files ("Map\Base.map" and its nine siblings): tiled map
// files of the cached family whose blocks keep their references as byte
// offsets from the block's start. Each class only knows where its block's
// offsets are: FixupBlock checks every one of them (and every count that
// sizes a table) against the block, and a block whose tables or records
// would leave it is refused. The renderers then resolve the offsets through
// MneBlockView.
//
// Grouped blocks (Base, Building, Elev, Tributary, Etc; POI, JibunPOI):
//   u8 group count, u32 offset of the group table (one u32 offset per group)
//   group: u16 item count, u8 group type, u32 offset of the item table
//   Base item: u16 record count, u16 style index, u32 offset of the records
//   POI item: u16 record count, u32 offset of the records
// Flat blocks: u16 count, u32 offset of the entry array (Theme and TpegLink:
// 20-byte entries; RoadAttr: entries not relocated).
#include <cstdint>
#include <functional>

#include "mapdb/block_view.h"
#include "mapdb/cache_map_file.h"

enum class MneLayerKind : uint8_t { kBase, kPoi, kTheme, kTraffic, kRoadAttr };

// Record size of a Base group type, the offset inside each record and the
// optional offset (-1 none); false for the types whose items carry no
// relocated record array.
struct MneLayerRecordShape {
    uint32_t recordBytes = 0;
    int32_t offsetAt = -1;
    int32_t optionalOffsetAt = -1;
};
bool MneBaseRecordShape(uint8_t groupType, MneLayerRecordShape* out);
bool MnePoiRecordShape(uint8_t groupType, MneLayerRecordShape* out);

inline constexpr uint32_t kMneGroupedHeaderBytes = 5;
inline constexpr uint32_t kMneGroupBytes = 7;
inline constexpr uint32_t kMneBaseItemBytes = 8;
inline constexpr uint32_t kMnePoiItemBytes = 6;
inline constexpr uint32_t kMneFlatHeaderBytes = 6;
inline constexpr uint32_t kMneFlatEntryBytes = 20;
inline constexpr uint32_t kMneThemeEntryOffsetAt = 16;
inline constexpr uint32_t kMneTrafficEntryOffsetAt = 10;

// 1 when every offset and count of the block lies inside it, else 0.
int MneCheckLayerBlock(MneLayerKind kind, const uint8_t* data, uint32_t size);

// One record of a checked block as the walker hands it out: the group type
// (0 for flat blocks), the item's style index (Base items; 0 otherwise) and
// the record's bytes.
struct MneLayerRecord {
    uint8_t groupType = 0;
    uint16_t styleIndex = 0;
    const uint8_t* bytes = nullptr;
    uint32_t recordBytes = 0;
};
// Visits every relocated record of a block in stored order (groups, items,
// records); the callback returns false to stop. Refuses (returns -1 and
// visits nothing) a block MneCheckLayerBlock refuses; else the number of
// records visited.
int MneWalkLayerBlock(MneLayerKind kind, const uint8_t* data, uint32_t size,
                      const std::function<bool(const MneLayerRecord&)>& visit);

// The renderers' walk of one group type of a Base block: visits that type's
// records in stored order without reading the rest of the block. Tables and
// record arrays are checked against the block as they are reached (a group
// or item whose table or array would leave it is skipped); the offsets held
// inside the records are the caller's to resolve through MneBlockView. A
// block the cache hands out has passed MneCheckLayerBlock already, so this
// visits what MneWalkLayerBlock visits, without a second check of the whole
// block per pass. visit returns false to stop. Returns the records visited,
// or -1 for a block without a whole header.
template <class Visit>
int MneWalkBaseGroup(const uint8_t* data, uint32_t size, uint8_t groupType, Visit&& visit) {
    const MneBlockView view(data, size);
    if (!view.Contains(0, kMneGroupedHeaderBytes)) return -1;
    MneLayerRecordShape shape;
    if (!MneBaseRecordShape(groupType, &shape)) return 0;
    auto u16 = [data](uint32_t at) { return static_cast<uint32_t>(data[at] | data[at + 1] << 8); };
    auto u32 = [data](uint32_t at) {
        return static_cast<uint32_t>(data[at]) | static_cast<uint32_t>(data[at + 1]) << 8 |
               static_cast<uint32_t>(data[at + 2]) << 16 | static_cast<uint32_t>(data[at + 3]) << 24;
    };
    const uint32_t groupCount = data[0];
    const uint32_t groupTable = u32(1);
    if (!view.ContainsArray(groupTable, groupCount, 4)) return 0;
    int visited = 0;
    MneLayerRecord r;
    r.groupType = groupType;
    r.recordBytes = shape.recordBytes;
    for (uint32_t g = 0; g < groupCount; ++g) {
        const uint32_t group = u32(groupTable + 4 * g);
        if (!view.Contains(group, kMneGroupBytes) || data[group + 2] != groupType) continue;
        const uint32_t itemCount = u16(group);
        const uint32_t itemTable = u32(group + 3);
        if (!view.ContainsArray(itemTable, itemCount, 4)) continue;
        for (uint32_t i = 0; i < itemCount; ++i) {
            const uint32_t item = u32(itemTable + 4 * i);
            if (!view.Contains(item, kMneBaseItemBytes)) continue;
            const uint32_t recordCount = u16(item);
            const uint32_t records = u32(item + 4);
            if (!view.ContainsArray(records, recordCount, shape.recordBytes)) continue;
            r.styleIndex = static_cast<uint16_t>(u16(item + 2));
            for (uint32_t k = 0; k < recordCount; ++k) {
                r.bytes = data + records + k * shape.recordBytes;
                ++visited;
                if (!visit(static_cast<const MneLayerRecord&>(r))) return visited;
            }
        }
    }
    return visited;
}

class CMneLayerMapFile : public CMneCacheMapFile {
public:
    explicit CMneLayerMapFile(MneLayerKind kind) : m_kind(kind) {}
    int FixupBlock(const uint8_t* data, uint32_t size) override { return MneCheckLayerBlock(m_kind, data, size); }
    MneLayerKind Kind() const { return m_kind; }

private:
    MneLayerKind m_kind;
};

class CMneBaseMapFile : public CMneLayerMapFile {
public:
    CMneBaseMapFile() : CMneLayerMapFile(MneLayerKind::kBase) {}
};
class CMnePOIMapFile : public CMneLayerMapFile {
public:
    CMnePOIMapFile() : CMneLayerMapFile(MneLayerKind::kPoi) {}
};
class CMneThemeMapFile : public CMneLayerMapFile {
public:
    CMneThemeMapFile() : CMneLayerMapFile(MneLayerKind::kTheme) {}
};
class CMneTrafficMapFile : public CMneLayerMapFile {
public:
    CMneTrafficMapFile() : CMneLayerMapFile(MneLayerKind::kTraffic) {}
};
class CMneRoadAttrMapFile : public CMneLayerMapFile {
public:
    CMneRoadAttrMapFile() : CMneLayerMapFile(MneLayerKind::kRoadAttr) {}
};
