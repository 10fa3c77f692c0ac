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
