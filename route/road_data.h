#pragma once
// The road-data manager: opens "Map\RoadIdx.ndb" and "Map\Road.ndb" over the
// road memory and hands out link records by directed link id through one
// link slot (slot 0, the route thread's).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "route/road_files.h"

// What the search, the graph and the option-link pick read of one link.
struct NcLinkSummary {
    uint32_t linkId = 0;
    uint32_t lengthM = 0;
    MapPoint start{};
    MapPoint end{};
    int roadClass = 0;
    int kind = 0;
    int linkType = 0;
    int lanes = 0;
    int speedLimitKmh = 0;
    int networkLevel = 0;
    int closed = 0;
    int lanesBothDirections = 0;
    uint32_t trafficId = 0;
};

class NcDALManager {
public:
    // The process-wide manager.
    static NcDALManager& Instance();

    NcDALManager();
    ~NcDALManager();
    NcDALManager(const NcDALManager&) = delete;
    NcDALManager& operator=(const NcDALManager&) = delete;

    // Opens the road files of the route-planner settings' map folder over
    // the road memory; 1, or 0 on any failure (also without settings).
    int Open(void* roadMemory, size_t bytes);
    // The same for the data root given. The cache budget is the memory's
    // size: the pool never reaches past what was mapped.
    int OpenAt(const std::string& dataRoot, void* roadMemory, size_t bytes);
    // Deletes both readers; 1.
    int Close();
    bool IsOpen() const { return m_road != nullptr; }

    uint32_t GetLinkCount() const { return m_linkCount; }
    size_t GetBudget() const { return m_budget; }

    // Binds the slot's view to the link's record; 1, or 0 when the id is not
    // a link of the road data (bits 28-31 set, index not below the link
    // count) or its block cannot be read or unpacked.
    int LoadLink(int slot, uint32_t linkId);
    void ReleaseSlot(int slot) { (void)slot; }

    // Fields of the record bound to the slot, for its direction.
    int GetClass(int slot);
    int GetKind(int slot);
    int GetLinkType(int slot);
    int GetLanes(int slot);
    int GetSpeedCode(int slot);
    int GetSpeedLimit(int slot);
    uint32_t GetLength(int slot);
    MapPoint GetStartPoint(int slot);
    MapPoint GetEndPoint(int slot);
    NcLinkSummary GetSummary(int slot);
    // The same written into *out.
    void GetSummary(int slot, NcLinkSummary* out);

    // The four connection lists: at the link's end or start, entries as they
    // leave the node (successors at the end) or arriving at it (read in the
    // other direction: predecessors at the start). Copies the list into the
    // slot's table; its count. Arriving entries carry allowed = -1: whether
    // that link may turn into this one is in the other link's record.
    enum class ListAt { kEndLeaving, kEndArriving, kStartLeaving, kStartArriving };
    int GetConnectionList(int slot, ListAt which, const NcConnection** out);
    // The successors of the bound direction (the list at the end, leaving).
    int GetConnections(int slot, const NcConnection** out) {
        return GetConnectionList(slot, ListAt::kEndLeaving, out);
    }

    NcRoad& View(int slot) { return m_road->View(slot); }
    NcDBRoad* Road() { return m_road.get(); }

private:
    std::unique_ptr<NcDBRoadIdx> m_index;
    std::unique_ptr<NcDBRoad> m_road;
    uint32_t m_linkCount = 0;
    size_t m_budget = 0;
};
