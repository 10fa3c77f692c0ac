#include "mapdb/camera_file.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "mapdb/block_view.h"
#include "platform/paths.h"

const std::array<std::array<int8_t, 2>, kMneCameraTileCount> kMneCameraNeighbourhood = {{
    {0, 0},
    {-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}, {1, 0}, {1, -1}, {0, -1},
    {-2, -2}, {-2, -1}, {-2, 0}, {-2, 1}, {-2, 2}, {-1, 2}, {0, 2}, {1, 2},
    {2, 2}, {2, 1}, {2, 0}, {2, -1}, {2, -2}, {1, -2}, {0, -2}, {-1, -2},
}};

namespace {

// Tile coordinates of the neighbourhood stay inside the level-2 grid (the
// upper bound is the grid size itself, a tile no file has).
constexpr int32_t kMaxTileCoordinate = 16384;

struct ListHeader {
    uint16_t count = 0;
    uint32_t offset = 0;
};

struct ListEntry {
    uint32_t key = 0;
    uint32_t record = 0;
    uint32_t linkList = 0;
    uint32_t further = 0;
};

bool ReadHeader(const MneBlockView& view, ListHeader& a, ListHeader& b) {
    platform::ByteReader r = view.Reader(0);
    a.count = r.U16();
    b.count = r.U16();
    a.offset = r.U32();
    b.offset = r.U32();
    return r.Ok();
}

ListEntry ReadEntry(const MneBlockView& view, uint32_t listOffset, uint32_t index) {
    platform::ByteReader r = view.Reader(listOffset + index * kMneCameraEntryBytes);
    ListEntry e;
    e.key = r.U32();
    e.record = r.U32();
    e.linkList = r.U32();
    e.further = r.U32();
    return r.Ok() ? e : ListEntry{};
}

uint16_t LinkCount(const MneBlockView& view, uint32_t recordOffset) {
    platform::ByteReader r = view.Reader(recordOffset);
    r.Skip(kMneCameraLinkCountOffset);
    const uint16_t count = r.U16();
    return r.Ok() ? count : 0;
}

// Checks the entries of one list; cameraList asks for full camera records
// (list A, which the collection reads); list B entries need only point into
// the block.
const char* CheckList(const MneBlockView& view, const ListHeader& list, bool cameraList) {
    if (list.count == 0) return nullptr;  // its offset is not used
    if (!view.ContainsArray(list.offset, list.count, kMneCameraEntryBytes))
        return cameraList ? "list A lies outside the block" : "list B lies outside the block";
    for (uint32_t i = 0; i < list.count; ++i) {
        const ListEntry e = ReadEntry(view, list.offset, i);
        if (e.further != 0 && !view.Contains(e.further, 1)) return "further record lies outside the block";
        if (!cameraList) {
            if (!view.Contains(e.record, 1)) return "list B record lies outside the block";
            if (e.linkList != 0 && !view.Contains(e.linkList, 1)) return "list B link list lies outside the block";
            continue;
        }
        if (!view.Contains(e.record, kMneCameraRecordBytes)) return "camera record lies outside the block";
        const uint16_t links = LinkCount(view, e.record);
        if (e.linkList == 0) {
            if (links != 0) return "camera record counts links but has no link list";
            continue;
        }
        if (!view.ContainsArray(e.linkList, links, kMneCameraLinkEntryBytes))
            return "camera link list lies outside the block";
    }
    return nullptr;
}

}  // namespace

const char* MneCheckCameraBlock(const uint8_t* data, uint32_t size) {
    const MneBlockView view(data, size);
    ListHeader a, b;
    if (!data || !ReadHeader(view, a, b)) return "block shorter than its 12-byte header";
    if (const char* problem = CheckList(view, a, true)) return problem;
    return CheckList(view, b, false);
}

bool MneCollectCameras(const uint8_t* data, uint32_t size, uint32_t linkId, CMneCameraResults& out) {
    const MneBlockView view(data, size);
    ListHeader a, b;
    if (!data || !ReadHeader(view, a, b) || a.count == 0) return true;
    if (!view.ContainsArray(a.offset, a.count, kMneCameraEntryBytes)) return true;
    for (uint32_t i = 0; i < a.count; ++i) {
        const ListEntry e = ReadEntry(view, a.offset, i);
        if (e.key != linkId || e.linkList == 0) continue;
        const uint8_t* record = view.Resolve(e.record, kMneCameraRecordBytes);
        if (!record) continue;
        const uint16_t links = LinkCount(view, e.record);
        const uint8_t* list = view.Resolve(e.linkList, static_cast<uint32_t>(links) * kMneCameraLinkEntryBytes);
        if (!list) continue;
        platform::ByteReader r(list, static_cast<size_t>(links) * kMneCameraLinkEntryBytes);
        for (uint16_t k = 0; k < links; ++k) {
            const uint32_t id = r.U32();
            const uint32_t value = r.U32();
            if (id != linkId) continue;
            MneCameraResult result;
            result.value = value;
            std::memcpy(result.record.data(), record, kMneCameraRecordBytes);
            result.linkList = list;
            result.linkCount = links;
            if (!out.Append(result)) return false;
            break;  // the first match of the list
        }
    }
    return true;
}

// ------------------------------------------------------------------ results

// Results live in raw heap memory that the heap moves bytewise when it grows.
static_assert(std::is_trivially_copyable_v<MneCameraResult>);

int CMneCameraResults::Allocate() {
    Free();
    m_data.reset(static_cast<MneCameraResult*>(MgrAlloc(kMneCameraResultStep * sizeof(MneCameraResult))));
    if (!m_data) return 0;
    m_capacity = kMneCameraResultStep;
    return 1;
}

void CMneCameraResults::Free() {
    m_data.reset();
    m_count = 0;
    m_capacity = 0;
}

bool CMneCameraResults::Append(const MneCameraResult& result) {
    if (!m_data) return false;
    if (m_count == m_capacity) {
        const uint32_t grown = m_capacity + kMneCameraResultStep;
        // The heap keeps the old buffer when it cannot grow it, so the
        // results so far survive and the next call starts from them.
        void* bigger = MgrRealloc(m_data.get(), static_cast<size_t>(grown) * sizeof(MneCameraResult));
        if (!bigger) return false;
        (void)m_data.release();
        m_data.reset(static_cast<MneCameraResult*>(bigger));
        m_capacity = grown;
    }
    m_data.get()[m_count++] = result;
    return true;
}

// --------------------------------------------------------------- the files

CMneCameraFileBase::~CMneCameraFileBase() { Close(); }

int CMneCameraFileBase::Open(const std::string& dataRoot) {
    Close();
    if (!CMneMapFile::Open(platform::ResolveUnder(dataRoot, m_fileName))) return 0;
    // An arena without a named mapping, so that several files of one kind
    // may live in one process (tests, tools).
    m_arena = CreateSharedBlock(std::string_view(m_arenaTag), kMneCameraArenaUnit, kMneCameraArenaBytes, 0);
    if (!m_arena || !AttachCache(m_arena, 0) || !m_results.Allocate()) {
        Close();
        return 0;
    }
    return 1;
}

void CMneCameraFileBase::Close() {
    ReleaseTiles();
    CMneMapFile::Close();
    DetachCache();
    DestroyArena();
    m_results.Free();
}

void CMneCameraFileBase::DestroyArena() {
    if (m_arena) {
        DestroySharedBlock(m_arena);
        m_arena = nullptr;
    }
}

void CMneCameraFileBase::ReleaseTiles() {
    for (auto& tile : m_tiles) {
        if (tile.held) ReleaseBlock(tile.key);
        tile = HeldTile{};
    }
    m_loadedCount = 0;
    m_results.Clear();
}

int CMneCameraFileBase::FixupBlock(const uint8_t* data, uint32_t size) {
    const char* problem = MneCheckCameraBlock(data, size);
    if (problem) m_blockProblem = problem;
    return problem ? 0 : 1;
}

int CMneCameraFileBase::GetCameras(const MapPoint& point, uint32_t linkId, const MneCameraResult** results) {
    if (results) *results = nullptr;
    // Blocks a caller forgot to give back would otherwise stay held forever.
    ReleaseTiles();
    if (!IsOpen() || !m_results.IsAllocated()) return 0;
    const CMgrCoordBase frame(kMneCameraTileLevel);
    int column = 0, row = 0;
    if (!frame.MapToTile(point, column, row)) return 0;

    for (int i = 0; i < kMneCameraTileCount; ++i) {
        const MneTileKey key{kMneCameraTileLevel,
                             std::clamp<int32_t>(column + kMneCameraNeighbourhood[i][1], 0, kMaxTileCoordinate),
                             std::clamp<int32_t>(row + kMneCameraNeighbourhood[i][0], 0, kMaxTileCoordinate)};
        HeldTile& tile = m_tiles[i];
        tile.key = key;
        // At the edge of the grid clamping folds several offsets onto one
        // tile; each tile is loaded (and its cameras counted) once.
        const bool seen =
            std::any_of(m_tiles.begin(), m_tiles.begin() + i, [&](const HeldTile& t) { return t.key == key; });
        if (seen) continue;
        tile.block = GetBlock(key, nullptr, &tile.size);
        tile.held = tile.block != nullptr;
        if (tile.held) ++m_loadedCount;
    }

    m_results.Clear();
    for (const HeldTile& tile : m_tiles) {
        if (!tile.held) continue;
        if (!MneCollectCameras(tile.block, tile.size, linkId, m_results)) {
            m_results.Clear();
            return 0;
        }
    }
    m_lastLinkId = linkId;
    if (results && m_results.Count() > 0) *results = m_results.Data();
    return static_cast<int>(m_results.Count());
}
