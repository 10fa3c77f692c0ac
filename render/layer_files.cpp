#include "render/layer_files.h"

namespace {

uint32_t U32At(const MneBlockView& view, uint32_t at) {
    platform::ByteReader r = view.Reader(at);
    return r.U32();
}
uint16_t U16At(const MneBlockView& view, uint32_t at) {
    platform::ByteReader r = view.Reader(at);
    return r.U16();
}

// Where a record may point: anywhere inside the block, its end included
// (an empty list may start there).
bool OffsetInside(const MneBlockView& view, uint32_t offset) { return view.Contains(offset, 0); }

// A record array of count records of the shape at offset: the array inside
// the block and every offset of every record pointing inside it.
bool CheckRecords(const MneBlockView& view, uint32_t offset, uint32_t count, const MneLayerRecordShape& shape) {
    if (!view.ContainsArray(offset, count, shape.recordBytes)) return false;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t record = offset + i * shape.recordBytes;
        if (shape.offsetAt >= 0 && !OffsetInside(view, U32At(view, record + shape.offsetAt))) return false;
        if (shape.optionalOffsetAt >= 0) {
            const uint32_t optional = U32At(view, record + shape.optionalOffsetAt);
            if (optional != 0 && !OffsetInside(view, optional)) return false;
        }
    }
    return true;
}

struct GroupedWalk {
    bool poi = false;
    // Called per record of a checked item; false stops.
    const std::function<bool(const MneLayerRecord&)>* visit = nullptr;
    int visited = 0;
    bool stopped = false;
};

// Checks (and, with a walk, visits) a grouped block.
bool GroupedBlock(const MneBlockView& view, GroupedWalk& walk) {
    if (!view.Contains(0, kMneGroupedHeaderBytes)) return false;
    const uint32_t groupCount = view.Data()[0];
    const uint32_t groupTable = U32At(view, 1);
    if (groupCount == 0) return OffsetInside(view, groupTable);
    if (!view.ContainsArray(groupTable, groupCount, 4)) return false;
    const uint32_t itemBytes = walk.poi ? kMnePoiItemBytes : kMneBaseItemBytes;
    const uint32_t itemOffsetAt = walk.poi ? 2 : 4;
    for (uint32_t g = 0; g < groupCount; ++g) {
        const uint32_t group = U32At(view, groupTable + 4 * g);
        if (!view.Contains(group, kMneGroupBytes)) return false;
        const uint32_t itemCount = U16At(view, group);
        const uint8_t type = view.Data()[group + 2];
        MneLayerRecordShape shape;
        const bool relocated = walk.poi ? MnePoiRecordShape(type, &shape) : MneBaseRecordShape(type, &shape);
        if (!relocated) continue;   // used as stored: nothing in it is an offset
        const uint32_t itemTable = U32At(view, group + 3);
        if (!view.ContainsArray(itemTable, itemCount, 4)) return false;
        for (uint32_t i = 0; i < itemCount; ++i) {
            const uint32_t item = U32At(view, itemTable + 4 * i);
            if (!view.Contains(item, itemBytes)) return false;
            const uint32_t records = U32At(view, item + itemOffsetAt);
            if (shape.recordBytes == 0) {
                // Records without offsets (lot numbers): only the array start.
                if (!OffsetInside(view, records)) return false;
                continue;
            }
            const uint32_t recordCount = U16At(view, item);
            if (!CheckRecords(view, records, recordCount, shape)) return false;
            if (walk.visit == nullptr || walk.stopped) continue;
            MneLayerRecord r;
            r.groupType = type;
            r.styleIndex = walk.poi ? 0 : U16At(view, item + 2);
            r.recordBytes = shape.recordBytes;
            for (uint32_t k = 0; k < recordCount && !walk.stopped; ++k) {
                r.bytes = view.Data() + records + k * shape.recordBytes;
                ++walk.visited;
                if (!(*walk.visit)(r)) walk.stopped = true;
            }
        }
    }
    return true;
}

bool FlatBlock(const MneBlockView& view, uint32_t entryBytes, int32_t offsetAt,
               const std::function<bool(const MneLayerRecord&)>* visit, int* visited) {
    if (!view.Contains(0, kMneFlatHeaderBytes)) return false;
    const uint32_t count = U16At(view, 0);
    const uint32_t entries = U32At(view, 2);
    if (entryBytes == 0) return OffsetInside(view, entries);
    MneLayerRecordShape shape;
    shape.recordBytes = entryBytes;
    shape.offsetAt = offsetAt;
    if (!CheckRecords(view, entries, count, shape)) return false;
    if (visit == nullptr) return true;
    MneLayerRecord r;
    r.recordBytes = entryBytes;
    for (uint32_t k = 0; k < count; ++k) {
        r.bytes = view.Data() + entries + k * entryBytes;
        ++*visited;
        if (!(*visit)(r)) break;
    }
    return true;
}

bool CheckOrWalk(MneLayerKind kind, const uint8_t* data, uint32_t size,
                 const std::function<bool(const MneLayerRecord&)>* visit, int* visited) {
    if (data == nullptr) return false;
    const MneBlockView view(data, size);
    switch (kind) {
        case MneLayerKind::kBase:
        case MneLayerKind::kPoi: {
            // Check the whole block before the first visit, so a walk never
            // hands out records of a block that is refused further on.
            GroupedWalk check;
            check.poi = kind == MneLayerKind::kPoi;
            if (!GroupedBlock(view, check)) return false;
            if (visit == nullptr) return true;
            GroupedWalk walk = check;
            walk.visit = visit;
            GroupedBlock(view, walk);
            *visited = walk.visited;
            return true;
        }
        case MneLayerKind::kTheme:
            return FlatBlock(view, kMneFlatEntryBytes, kMneThemeEntryOffsetAt, visit, visited);
        case MneLayerKind::kTraffic:
            return FlatBlock(view, kMneFlatEntryBytes, kMneTrafficEntryOffsetAt, visit, visited);
        case MneLayerKind::kRoadAttr:
            return FlatBlock(view, 0, -1, nullptr, visited);
    }
    return false;
}

}  // namespace

bool MneBaseRecordShape(uint8_t groupType, MneLayerRecordShape* out) {
    switch (groupType) {
        case 2: case 4: case 8: case 12: case 19: case 27:
            *out = {14, 10, -1};
            return true;
        case 1: case 3: case 5: case 6: case 10: case 22: case 23: case 28: case 29: case 30:
            *out = {20, 10, 16};
            return true;
        case 7:
            *out = {30, 15, 21};
            return true;
        case 21:
            *out = {38, 23, 29};
            return true;
        case 24: case 26:
            *out = {28, 18, 24};
            return true;
        default:
            return false;
    }
}

bool MnePoiRecordShape(uint8_t groupType, MneLayerRecordShape* out) {
    switch (groupType) {
        case 9: case 13: case 14: case 15: case 16: case 17: case 18:
            *out = {20, 16, -1};
            return true;
        case 25:
            *out = {0, -1, -1};   // the array start only: lot-number records hold no offsets
            return true;
        default:
            return false;
    }
}

int MneCheckLayerBlock(MneLayerKind kind, const uint8_t* data, uint32_t size) {
    int visited = 0;
    return CheckOrWalk(kind, data, size, nullptr, &visited) ? 1 : 0;
}

int MneWalkLayerBlock(MneLayerKind kind, const uint8_t* data, uint32_t size,
                      const std::function<bool(const MneLayerRecord&)>& visit) {
    int visited = 0;
    if (!CheckOrWalk(kind, data, size, &visit, &visited)) return -1;
    return visited;
}
