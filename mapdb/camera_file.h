#pragma once
// The camera files "Map\CameraT1.map" (safety cameras, CMneCameraMapFile)
// and "Map\CameraT2.map" (safe-drive points, CMneSafeDriveMapFile): tiled
// map files on the block cache. Guidance asks for the cameras that apply to
// a link near the current position; the file loads the 25 level-2 tiles
// around the position and collects the camera records that list the link.
//
// Block layout (offsets from the start of the block):
//   0  u16 count of list A        2  u16 count of list B
//   4  u32 offset of list A       8  u32 offset of list B
// List entries are 16 bytes: u32 key (link id), u32 offset of the camera
// record, u32 offset of its link list (0 none), u32 offset of a further
// record (0 none). A camera record has at least 21 bytes and holds at byte
// 17 the u16 count of its link list; link-list entries are 8 bytes
// {u32 link id, u32 value}. Every offset and count is checked against the
// block when it is read; a block that does not fit is refused whole.
//
// One thread at a time asks a file (guidance's); the results stay valid
// until ReleaseTiles, the next GetCameras or Close.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "foundation/coords.h"
#include "foundation/memory_heap.h"
#include "mapdb/cache_map_file.h"

inline constexpr uint32_t kMneCameraBlockHeaderBytes = 12;
inline constexpr uint32_t kMneCameraEntryBytes = 16;
inline constexpr uint32_t kMneCameraRecordBytes = 21;
inline constexpr uint32_t kMneCameraLinkCountOffset = 17;
inline constexpr uint32_t kMneCameraLinkEntryBytes = 8;
inline constexpr int kMneCameraTileCount = 25;
inline constexpr int kMneCameraTileLevel = 2;
inline constexpr uint32_t kMneCameraResultStep = 50;
inline constexpr uint32_t kMneCameraArenaUnit = 1024;
inline constexpr uint32_t kMneCameraArenaBytes = 0x100000;

// One camera that applies to the asked link.
struct MneCameraResult {
    uint32_t value = 0;                                // of the link-list entry that matched
    std::array<uint8_t, kMneCameraRecordBytes> record{};  // the record's first 21 bytes
    const uint8_t* linkList = nullptr;                 // the camera's link list in its held block
    uint16_t linkCount = 0;                            // entries of that list
    uint32_t reserved = 0;                             // always 0
};

// The level-2 tile offsets (dy, dx) of the neighbourhood, nearest ring first.
extern const std::array<std::array<int8_t, 2>, kMneCameraTileCount> kMneCameraNeighbourhood;

// The result buffer: on the program-wide heap, 50 results at first, grown
// by 50 when full. A failed growth keeps the results so far.
class CMneCameraResults {
public:
    CMneCameraResults() = default;
    CMneCameraResults(const CMneCameraResults&) = delete;
    CMneCameraResults& operator=(const CMneCameraResults&) = delete;

    // Reserves the first 50 results; 1 or 0.
    int Allocate();
    void Free();
    bool IsAllocated() const { return m_data != nullptr; }
    void Clear() { m_count = 0; }
    // False when the buffer is full and cannot grow.
    bool Append(const MneCameraResult& result);

    const MneCameraResult* Data() const { return m_data.get(); }
    uint32_t Count() const { return m_count; }
    uint32_t Capacity() const { return m_capacity; }

private:
    struct HeapFree {
        void operator()(MneCameraResult* p) const { MgrFree(p); }
    };
    std::unique_ptr<MneCameraResult, HeapFree> m_data;
    uint32_t m_count = 0;
    uint32_t m_capacity = 0;
};

// Checks a camera block; nullptr when it may be used, else why not.
const char* MneCheckCameraBlock(const uint8_t* data, uint32_t size);

// Appends the results of list A of one checked block for a link: entries
// whose key is the link and whose camera's link list holds it (the value of
// the first such list entry). Returns false when out cannot take more.
bool MneCollectCameras(const uint8_t* data, uint32_t size, uint32_t linkId, CMneCameraResults& out);

// What both camera files share; the two differ in file name and arena tag.
class CMneCameraFileBase : public CMneCacheMapFile {
public:
    ~CMneCameraFileBase() override;

    // Opens "<root>\<file name>" with its arena, cache (id 0) and result
    // buffer; 1, or 0 with everything closed again.
    int Open(const std::string& dataRoot);
    void Close();

    // The cameras of list A that apply to linkId in the 25 level-2 tiles
    // around point: the number of results (0 when none, when the point lies
    // outside the map area or a growth of the result buffer failed); the
    // results out, valid until ReleaseTiles. Blocks of the last load are
    // given back first.
    int GetCameras(const MapPoint& point, uint32_t linkId, const MneCameraResult** results);
    // Gives back every block held by the last GetCameras.
    void ReleaseTiles();

    int FixupBlock(const uint8_t* data, uint32_t size) override;

    const char* FileName() const { return m_fileName; }
    const char* ArenaTag() const { return m_arenaTag; }
    uint32_t LastLinkId() const { return m_lastLinkId; }
    int LoadedTileCount() const { return m_loadedCount; }
    uint32_t ResultCapacity() const { return m_results.Capacity(); }
    // Why the last refused block was refused (null when none was).
    const char* LastBlockProblem() const { return m_blockProblem; }

protected:
    CMneCameraFileBase(const char* fileName, const char* arenaTag) : m_fileName(fileName), m_arenaTag(arenaTag) {}

private:
    struct HeldTile {
        MneTileKey key;
        const uint8_t* block = nullptr;
        uint32_t size = 0;
        bool held = false;
    };
    void DestroyArena();

    const char* m_fileName;
    const char* m_arenaTag;
    MgrSharedBlock* m_arena = nullptr;
    std::array<HeldTile, kMneCameraTileCount> m_tiles{};
    int m_loadedCount = 0;
    CMneCameraResults m_results;
    uint32_t m_lastLinkId = 0;
    const char* m_blockProblem = nullptr;
};

// "Map\CameraT1.map" in the arena "[SVC]CAMERA_TYPE1".
class CMneCameraMapFile : public CMneCameraFileBase {
public:
    CMneCameraMapFile() : CMneCameraFileBase("Map\\CameraT1.map", "[SVC]CAMERA_TYPE1") {}
};

// "Map\CameraT2.map" in the arena "[SVC]CAMERA_TYPE2".
class CMneSafeDriveMapFile : public CMneCameraFileBase {
public:
    CMneSafeDriveMapFile() : CMneCameraFileBase("Map\\CameraT2.map", "[SVC]CAMERA_TYPE2") {}
};
