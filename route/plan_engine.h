#pragma once
// What the route-planning module asks of the route engine: its memory and
// configuration, the road data, and one multi-destination search over the
// legs the module arranged. The module owns requests, point matching, link
// sets, state and results; the engine owns the graph and the search.
//
// The module calls the engine on its own thread only, except SetCancel,
// which the screens may call at any time.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/coords.h"
#include "route/link_sets.h"

inline constexpr int kRoutePlanMaxLegs = 17;
inline constexpr int kRoutePlanMaxLegLinks = 30;

// Origin and destination kinds of a leg: a plain point with candidate links,
// a point given by its first link, and a waypoint reached over the first or
// second link list of the request (5 and 6 are also passed through without
// a stop).
inline constexpr int32_t kLegEndPoint = 2;
inline constexpr int32_t kLegEndLink = 1;
inline constexpr int32_t kLegEndList1 = 5;
inline constexpr int32_t kLegEndList2 = 6;

struct RoutePlanLegEnd {
    MapPoint point;
    MapPoint foot;
    int32_t kind = kLegEndPoint;
    int32_t linkCount = 0;
    int32_t links[kRoutePlanMaxLegLinks] = {};

    void AddLink(int32_t linkId) {
        if (linkCount < kRoutePlanMaxLegLinks) links[linkCount++] = linkId;
    }
};

struct RoutePlanLeg {
    int32_t index = 0;
    RoutePlanLegEnd origin;
    RoutePlanLegEnd destination;
};

// One multi-destination search, as the module hands it over.
struct RoutePlanRequest {
    int32_t legCount = 0;
    RoutePlanLeg legs[kRoutePlanMaxLegs];
    uint32_t routeKinds = 0;        // mode word & 15
    uint32_t optionBits = 0;        // mode word & 0x700
    int32_t courseValue = 0;        // request offset 12, carried
    int32_t passValue = 0;          // request offset 20, carried
    bool hasRoadOptions = false;    // mode word bit 0
    uint8_t roadOptions[7] = {};
    bool fullRange = false;         // wide level thresholds
    bool traffic = false;           // use traffic weights when traffic was received
    bool oneDirectional = false;    // the settings select the forward search for single legs
    bool regional = false;          // the settings' regional flag of the link costs
    int32_t limit = 1500000;
    int32_t replanType = 0;
    // Some waypoint is reached over a link list of the request: the
    // backward phase of a search does not hand over early.
    bool viaLinkList = false;
    // Re-use the previous run's state: the link sets are neither cleared
    // nor marked again (the last run's marks hold), the legs are not
    // reversed and no straight distances are taken (no short route).
    bool keep = false;
    const RouteDetour* detour = nullptr;
    const RouteAvoidance* avoidance = nullptr;
    const RoutePeloxWizard* option = nullptr;

    // The legs from the destination back to the start: the last leg first,
    // each with its origin and destination exchanged. Nothing with the keep
    // flag or without legs; twice gives the legs back.
    void ReverseLegs();
};

// The route of the first route slot: the joined links of all legs.
struct RoutePlanResult {
    std::vector<int32_t> links;
    std::vector<int32_t> trafficIds;   // one per link
    int32_t sectionCount = 0;          // legs joined
    int32_t boundaries[16] = {};       // index of each leg's last link but the last leg's
    bool trafficUsed = false;

    void Clear() { *this = RoutePlanResult{}; }
};

// The road data's answer about one directed link.
struct RouteLinkRecord : RouteLinkFacts {
    int roadKind = 0;
    bool twoWay = false;
};

class RoutePlanEngine {
public:
    virtual ~RoutePlanEngine() = default;

    // The engine's large block; 1, or 0 or below on failure.
    virtual int ReserveMemory() = 0;
    // Loads the route configuration file (a data path such as
    // "C:\Pelox20\Map\Config\Route.cfg"); negative on failure.
    virtual int LoadConfig(const std::string& path) = 0;
    // Maps road memory of this size, opens the road files over it and gives
    // the search its link memory; 1, or 0 or below on failure.
    virtual int OpenRoadData(size_t roadMemoryBytes) = 0;
    virtual void CloseRoadData() = 0;
    // Reads each link of the data set's own list of much-used links so that
    // their blocks sit in the cache.
    virtual void RestoreCachedLinks() = 0;
    virtual bool ReadLink(int32_t linkId, RouteLinkRecord* out) = 0;
    // Runs the search of all legs; 1 with the result, or a negative code
    // (-702 when cancelled).
    virtual int Plan(const RoutePlanRequest& request, RoutePlanResult* result) = 0;
    virtual void SetCancel(bool cancel) = 0;
};
