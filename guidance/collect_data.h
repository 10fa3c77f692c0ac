#pragma once
// Guidance point gathering: the route of one route slot turned into the
// tables the drive-time services read: per-link distances, times, turn
// codes and guide flags, the guidance points (turns, junctions, rest areas,
// toll gates and the goal), the route points with their texts, the lane
// records, the road-name sections, the main-road summary and one
// distance-sorted event list.
//
// Gather runs on the guidance thread and builds a work copy; the finished
// tables are swapped in under the object's lock. RecomputeTimes (main
// thread) and every reader take the same lock, so they never see a table
// half built. Toll passes are kept by the toll-price object under its own
// lock.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "foundation/coords.h"
#include "foundation/critical_section.h"
#include "foundation/thread_annotations.h"
#include "guidance/guide_codes.h"
#include "guidance/toll_price.h"

class CMneServiceMainMapFile;
class CMnePathMapFile;
class CMneRoadLineMapFile;
class CMneNameMapFile;
class CMneSAMapFile;
class CMneLinkMapFile;
class CMneExtLaneMapFile;
class CMneExtTBTMapFile;
class CMgrMap;
struct GuideRoute;

enum GuideFlag : uint32_t {
    GUIDE_TURN = 0x1,
    GUIDE_JUNCTION = 0x2,
    GUIDE_DIRECTION = 0x4,
    GUIDE_REST = 0x8,
    GUIDE_TOLL = 0x10,
    GUIDE_ORIGIN = 0x20,
    GUIDE_GOAL = 0x400000,
};
// Via point n = 1..16.
constexpr uint32_t GuideViaFlag(int n) { return 0x40u << (n - 1); }
inline constexpr uint32_t kGuidePointBits = 0x1F;
inline constexpr uint32_t kGuideSignBits = 0x1E;
inline constexpr int kGuideTextChars = 128;      // with the terminator
inline constexpr int kGuideSummaryChars = 64;
inline constexpr int kGuideMaxVia = 16;
inline constexpr int kGuideLaneWords = 14;       // the 28 lane bytes of a lane record

// A route point handed to SetRoute: the index of its link in the route, its
// position, how far along the link (in the direction driven) it lies, and
// its name from the course (empty: the plain text).
struct tagSVCROUTEPOINTIN {
    int32_t linkIndex = 0;
    MapPoint position{};
    int32_t offsetM = 0;
    std::u16string name;
};

struct tagSVCGUIDEPOINT {
    uint32_t flags = 0;
    int32_t linkIndex = 0;
    int32_t roadClass = 0;
    int32_t nextRoadClass = 0;
    int16_t laneCount = 0;
    int16_t nextLaneCount = 0;
    int32_t highwayEntry = 0;
    MapPoint position{};
    int32_t turnCode = 0;
    int32_t tollPrice = -1;
    int32_t exitDistanceM = 0;
    char16_t text[kGuideTextChars] = {};
    // Name ids (offsets in the name file; negative stored 0). Of the next
    // link: direction names 1 and 2 (its direction's sign value and the
    // record's value at 56) and the next road name; of the link: the
    // junction name (the crossing at its end in the direction driven) and a
    // second name (the record's value at 4).
    int32_t directionName1 = 0;
    int32_t directionName2 = 0;
    int32_t junctionName = 0;
    int32_t nextRoadName = 0;
    int32_t secondName = 0;
    int32_t attributes[2] = {};
};

struct tagSVCROUTEPOINT {
    uint32_t flag = 0;
    int32_t linkIndex = 0;
    int32_t measureM = 0;
    MapPoint position{};
    int32_t code = 0;
    std::u16string text;
};

struct tagSVCLANEINFO {
    int32_t linkIndex = 0;
    MapPoint position{};
    int32_t wordCount = 0;
    uint16_t words[kGuideLaneWords] = {};
    int32_t arrowClass = 0;
};

struct tagSVCROADSECTION {
    int32_t roadClass = 0;
    int32_t roadKind = 0;
    int32_t nameId = 0;
    int32_t numberId = 0;
    int32_t signIds[3] = {};
    int32_t signCount = 0;
    std::u16string name;
    int32_t firstLink = 0;
    int32_t lastLink = 0;
};

enum SvcEventKind : int32_t { kSvcEventRoutePoint = 0, kSvcEventRoadName = 1, kSvcEventGuidePoint = 2 };
struct tagSVCEVENT {
    int32_t kind = 0;
    int32_t index = 0;
    int32_t linkIndex = 0;
    int32_t distanceM = 0;
    int32_t timeS = 0;
    friend bool operator==(const tagSVCEVENT&, const tagSVCEVENT&) = default;
};

// The lane record of a link as gathering reads it: the count held to the
// record's 14 words.
struct SvcLaneWords {
    int32_t count = 0;
    uint16_t words[kGuideLaneWords] = {};
};
SvcLaneWords DecodeLaneWords(uint8_t laneCountByte, const uint8_t* lanes28);

// Junction names that keep their junction guidance: ending in "IC", or
// one of the few named junctions that do not.
bool IsGuidedJunctionName(const std::u16string& name);
// Two ramp codes (80 to 92) in a row at one junction folded into the one
// code of the first point.
int FoldRampCodes(int firstCode, int secondCode);

// Up to three names into one guidance text of at most 127 characters:
// cut on a character boundary (never inside a surrogate pair).
std::u16string FitGuideText(std::u16string text);

// The route points of a planned route: the origin on the first link, via
// point k on the last link of leg k (legEnds[k - 1], the index of that leg's
// last link), the goal on the last link; each at the foot of its position on
// the link's shape, its offset the distance along the shape to the foot.
// Empty when a shape cannot be read.
std::vector<tagSVCROUTEPOINTIN> MakeRoutePoints(CMneRoadLineMapFile& lines, const std::vector<int32_t>& links,
                                                const std::vector<int32_t>& legEnds,
                                                const std::vector<MapPoint>& positions);

// A camera on a gathered route, from the two camera map files.
struct SvcRouteCamera {
    int32_t linkIndex = 0;
    int32_t distanceM = 0;      // from the origin along the route
    int32_t kind = 0;
    int32_t speedLimitKmh = 0;
    int32_t sectionLengthM = 0; // section control: the section's length
    int32_t file = 1;           // 1 the camera file, 2 the safe-drive file
    MapPoint position{};
};

struct tagSVCROUTEDATA;
// The cameras that apply to the route's links, in route order; those behind
// the origin or past the goal are left out. The camera readers have no lock
// of their own: call it on the thread that uses them (the guidance thread).
std::vector<SvcRouteCamera> ListRouteCameras(CMgrMap& map, const tagSVCROUTEDATA& route);

struct tagSVCROUTEDATA {
    // Per link, in driving order.
    std::vector<int32_t> linkIds, trafficIds, lengthM, cumLengthM, timeS, cumTimeS, turnCode, flags, highwayEntry,
        tollGateId, laneMark, repeatedMark, nextRoutePoint, section, nextLane, nextGuidePoint, shapeFirst, shapeLast;
    std::vector<tagSVCGUIDEPOINT> guidePoints;
    std::vector<tagSVCROUTEPOINT> routePoints;
    std::vector<tagSVCLANEINFO> lanes;
    std::vector<tagSVCROADSECTION> sections;
    std::vector<tagSVCEVENT> events;
    std::vector<tagTOLLGATE> tollGates;
    std::vector<MapPoint> shape;
    MapPoint boxMin{}, boxMax{};
    std::u16string mainRoads[3];
    std::u16string firstJunction, lastJunction;
    int32_t tollTotals[kTollVehicleClasses] = {};
    int32_t totalLengthM = 0;
    int32_t totalTimeS = 0;

    void Clear();  // keeps the capacity
};

class CMneCollectData {
public:
    using CongestionOf = std::function<int(int32_t trafficLinkIndex)>;

    CMneCollectData() = default;
    CMneCollectData(const CMneCollectData&) = delete;
    CMneCollectData& operator=(const CMneCollectData&) = delete;

    // Binds the readers and the toll-price object; 0 when any is missing.
    int Init(CMneServiceMainMapFile* serviceMap, CMnePathMapFile* pathMap, CMneRoadLineMapFile* roadLineMap,
             CMneNameMapFile* nameMap, CMneSAMapFile* serviceAreaMap, CMneLinkMapFile* linkMap,
             CMneCalTollPrice* tollPrice, CMneExtLaneMapFile* laneMap, CMneExtTBTMapFile* turnMap);
    // The readers of the open map-data manager.
    int Init(CMgrMap& map, CMneCalTollPrice* tollPrice);
    // The congestion store; default: the traffic settings object.
    void SetCongestion(CongestionOf congestion);
    // The user's vehicle class 1..6 for the guidance points' prices.
    void SetVehicleClass(int vehicleClass);

    // 1 when stored; 0 without links or with fewer than two route points.
    int SetRoute(int linkCount, const int32_t* linkIds, const int32_t* trafficIds, int pointCount,
                 const tagSVCROUTEPOINTIN* points);
    int Gather();
    // Every link's time again with the congestion now; 0 without a
    // congestion store or gathered tables.
    int RecomputeTimes();
    // The price for the user's vehicle class; -1 when the gate is not on
    // the route.
    int32_t TollPriceOf(int32_t gateId) const;
    void Reset();

    // A copy of the gathered tables.
    tagSVCROUTEDATA Snapshot() const;
    // The tables in the form the guidance settings object keeps a route.
    int BuildGuideRoute(GuideRoute* out) const;

private:
    struct LinkFacts;
    bool ReadLinks(tagSVCROUTEDATA& d, std::vector<LinkFacts>& facts);
    bool PerLinkPass(tagSVCROUTEDATA& d, const std::vector<LinkFacts>& facts);
    bool AssignTollPrices(tagSVCROUTEDATA& d, const std::vector<LinkFacts>& facts);
    void FindHighwayRuns(tagSVCROUTEDATA& d, const std::vector<LinkFacts>& facts);
    void BuildRoutePoints(tagSVCROUTEDATA& d);
    bool BuildShape(tagSVCROUTEDATA& d);
    void BuildGuidePoints(tagSVCROUTEDATA& d, const std::vector<LinkFacts>& facts);
    void ExitDistances(tagSVCROUTEDATA& d);
    void BuildLanes(tagSVCROUTEDATA& d, const std::vector<LinkFacts>& facts);
    void ActivateLanes(tagSVCROUTEDATA& d, const std::vector<LinkFacts>& facts);
    void BuildRoadNameSections(tagSVCROUTEDATA& d, const std::vector<LinkFacts>& facts);
    void Totals(tagSVCROUTEDATA& d, const std::vector<LinkFacts>& facts);
    void PickHighwayNames(tagSVCROUTEDATA& d);
    void BuildEventList(tagSVCROUTEDATA& d);
    std::u16string BuildGuideText(const tagSVCROUTEDATA& d, int linkIndex, uint32_t flags, int code,
                                  int32_t price, const std::vector<LinkFacts>& facts);
    std::u16string BuildRoutePointText(int pointIndex, int pointCount, const std::u16string& name) const;
    std::u16string NameOf(int32_t nameId);
    int TrafficState(int32_t trafficId) const;

    CMneServiceMainMapFile* m_service = nullptr;
    CMnePathMapFile* m_path = nullptr;
    CMneRoadLineMapFile* m_roadLine = nullptr;
    CMneNameMapFile* m_names = nullptr;
    CMneSAMapFile* m_serviceAreas = nullptr;
    CMneLinkMapFile* m_links = nullptr;
    CMneExtLaneMapFile* m_lanes = nullptr;
    CMneExtTBTMapFile* m_turns = nullptr;
    CMneCalTollPrice* m_toll = nullptr;

    mutable CMgrCriticalSection m_lock;
    CongestionOf m_congestion NAVI_GUARDED_BY(m_lock);
    int m_vehicleClass NAVI_GUARDED_BY(m_lock) = 1;
    std::vector<int32_t> m_inLinks NAVI_GUARDED_BY(m_lock);
    std::vector<int32_t> m_inTraffic NAVI_GUARDED_BY(m_lock);
    std::vector<tagSVCROUTEPOINTIN> m_inPoints NAVI_GUARDED_BY(m_lock);
    tagSVCROUTEDATA m_data NAVI_GUARDED_BY(m_lock);
    bool m_gathered NAVI_GUARDED_BY(m_lock) = false;
    // Per link of the gathered route: road class, lanes, two-way and the
    // raw turn code toward the next link, for RecomputeTimes.
    std::vector<std::array<int32_t, 4>> m_timeInputs NAVI_GUARDED_BY(m_lock);

    // Gathering's own work area (the guidance thread only).
    tagSVCROUTEDATA m_work;
    std::vector<tagSVCROUTEPOINTIN> m_workPoints;
};
