#pragma once
// CMgrMap: the process-wide owner of the map-data files that are not
// drawing layers. Open(data root) opens the area files, the road network,
// the guidance records, names, lanes, turns, toll gates, service areas, the
// camera files and the high-pass table in one call; the other subsystems
// reach the readers through it and call them directly. It also answers the
// point queries several subsystems share: the administrative area of a
// point, the city area, the nearest road link, the nearby links sorted by
// distance and the snapping of a point onto a named road.
//
// Threads: every query may be called from any thread at once (positioning,
// route planning, the screens). The area queries hold the area file's lock
// for their search; the link searches copy shapes and tile lists out of the
// readers under the readers' locks and keep their candidates in a table of
// their own call. Open and Close wait for running queries to finish.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/coords.h"
#include "foundation/memory_heap.h"
#include "foundation/singleton.h"
#include "mapdb/area_map_file.h"
#include "mapdb/camera_file.h"
#include "mapdb/road_network.h"
#include "mapdb/service_map.h"
#include "mapdb/small_readers.h"
#include "mapdb/version_check.h"

// Arena of the two area files' block buffers.
inline constexpr char kMgrMapArenaTag[] = "MGRMAP";
inline constexpr uint32_t kMgrMapArenaUnit = 1024;
inline constexpr uint32_t kMgrMapArenaBytes = 0x100000;
inline constexpr int kMgrMapAddressBufferId = 3;
inline constexpr int kMgrMapCityBufferId = 4;
// Data paths longer than this are refused.
inline constexpr size_t kMgrMapMaxPathChars = 256;

// The link searches look at level-2 tiles.
inline constexpr int kMgrMapLinkTileLevel = 2;
// The nearest-link search keeps only distances below this (metres); a
// larger maximum distance is cut to it, and so is a nearby-link radius.
inline constexpr int32_t kMgrMapNoLinkDistance = 99999;
inline constexpr int kMgrMapMaxNearbyLinks = 100;

// Snapping onto a named road: names of at most 36 characters, compared over
// 36; a first search within 50 m, a second within 300 m when the first finds
// nothing; a foot more than 5 units from the point is moved 3 units back.
inline constexpr size_t kMgrMapSnapNameChars = 36;
inline constexpr int32_t kMgrMapSnapNearRadiusM = 50;
inline constexpr int32_t kMgrMapSnapFarRadiusM = 300;
inline constexpr int32_t kMgrMapSnapPullThreshold = 5;
inline constexpr int32_t kMgrMapSnapPull = 3;

// The city rectangle that counts as city area without a lookup (map units,
// bounds excluded).
inline constexpr int32_t kMgrMapCityRectMinX = 66621393;
inline constexpr int32_t kMgrMapCityRectMaxX = 66659952;
inline constexpr int32_t kMgrMapCityRectMinY = 19551715;
inline constexpr int32_t kMgrMapCityRectMaxY = 19581669;

// The road-name rule of the snapping: equal over the first 36 characters
// without regard to (ASCII) case; each text ends at its first NUL, stored
// at storedMax characters.
bool MneRoadNamesEqual(std::u16string_view name, const char16_t* stored, size_t storedMax);

// The foot of a point on a link: the result of the link searches.
struct MneLinkFoot {
    MapPoint query;             // the point asked about
    MapPoint foot;              // the nearest point of the link's shape
    MapPoint segmentStart;      // the shape segment the foot lies on
    MapPoint segmentEnd;
    int32_t directions = 0;     // 1 one-way, 2 two-way
    uint32_t linkId = 0;
    uint32_t reverseLinkId = 0; // link id with bit 27, two-way links only; else 0
    int32_t segmentIndex = 0;
    int32_t distance = 0;       // point to foot, metres (approximate distance)
    int32_t distanceFromStart = 0;
    int32_t distanceToEnd = 0;
};
static_assert(sizeof(MneLinkFoot) == 60, "the link-foot record is 60 bytes");

// The candidates of one nearby-link search: at most 100 link feet, nearest
// first (equal distances by link id). Each search has its own table, so
// searches on several threads never share one.
class CMneLinkCandidates {
public:
    // Takes a foot: appended while fewer than 100 are held, else it replaces
    // the farthest when strictly nearer. A link already held is not taken
    // twice. True when it was taken.
    bool Offer(const MneLinkFoot& foot);
    void Clear() { m_count = 0; }
    int Count() const { return m_count; }
    const MneLinkFoot& At(int index) const { return m_items[static_cast<size_t>(index)]; }
    bool Holds(uint32_t linkId) const;

private:
    std::array<MneLinkFoot, kMgrMapMaxNearbyLinks> m_items{};
    int m_count = 0;
};

class CMgrMap : public MgrSingletonT<CMgrMap> {
public:
    CMgrMap();
    ~CMgrMap() override;
    CMgrMap(const CMgrMap&) = delete;
    CMgrMap& operator=(const CMgrMap&) = delete;

    // Opens every file under the data root; 1 on success, 0 on any failure
    // (everything opened so far is closed again; LastOpenFailure names the
    // file) or when already open.
    int Open(const std::string& dataRoot);
    // Closes every file and reader; always 1.
    int Close();
    bool IsOpen() const;
    // The file (Windows-style name) that made the last Open fail; empty
    // after a successful Open.
    std::string LastOpenFailure() const;
    std::string DataRoot() const;

    // 1 and the area code when the point lies in an area of Address.map;
    // else 0 with code 0.
    int GetAddressCode(const MapPoint& point, uint32_t* code);
    // 1 when the point lies in the fixed city rectangle or in an area of
    // City.map; 0 otherwise or when not open.
    int IsInCityArea(const MapPoint& point);

    // The nearest link within maxDistanceM (metres): 1 with its foot out.
    // With kindFilter set, links of road class below 2, link kinds 1 to 5
    // and 15 are passed over; road classes 14 and 15 always are.
    int FindNearestLink(const MapPoint& point, int32_t maxDistanceM, MneLinkFoot* out, int kindFilter);
    // Up to *count (at most 100) links within radiusM, nearest first, each
    // link once; *count set to the number written. 1 also when no link lies
    // within the radius (count 0); 0 when not open or when a candidate's
    // shape cannot be read.
    int FindNearbyLinks(const MapPoint& point, int32_t radiusM, int* count, MneLinkFoot* out);
    // The foot of the point on the nearest link of that name (36 characters
    // at most, compared without regard to case) among the links within 50 m,
    // or within 300 m only when that search failed. 1 with the foot out; 0
    // with the point itself out.
    int SnapToNamedRoad(const MapPoint& point, std::u16string_view roadName, MapPoint* out);

    // Forwarders to the guidance records and the names.
    int GetLinkRecord(uint32_t linkId, MneLinkGuideRecord* out);
    int GetNameRecord(uint32_t nameId, MneNameRecord* out);

    // Fills the version record from the data root's five checked files
    // (also handed to the crash report); always 1.
    int GetVersionInfo(MneVersionRecord& out);

    // The readers, valid while open (null when not). Callers follow each
    // reader's own rules for its result buffer.
    CMneAddressMapFile* AddressFile() { return m_address.get(); }
    CMneCityMapFile* CityFile() { return m_city.get(); }
    CMneTollGateMapFile* TollGates() { return m_tollGates.get(); }
    CMneExtTBTMapFile* Turns() { return m_turns.get(); }
    CMneExtLaneMapFile* Lanes() { return m_lanes.get(); }
    CMneSAMapFile* ServiceAreas() { return m_serviceAreas.get(); }
    CMneNameMapFile* Names() { return m_names.get(); }
    CMneLinkMapFile* Links() { return m_links.get(); }
    CMnePathMapFile* Paths() { return m_paths.get(); }
    CMneRoadLineMapFile* RoadLines() { return m_roadLines.get(); }
    CMneServiceMainMapFile* ServiceMain() { return m_serviceMain.get(); }
    CMneCameraMapFile* Cameras() { return m_cameras.get(); }
    CMneSafeDriveMapFile* SafeDrive() { return m_safeDrive.get(); }
    CMneHipassMapFile* Hipass() { return m_hipass.get(); }

private:
    struct ArenaDeleter {
        void operator()(MgrSharedBlock* arena) const { DestroySharedBlock(arena); }
    };

    void CloseLocked();
    int OpenAreaFile(CMneAreaMapFile& file, const char* name, int bufferId);
    // The foot of the point on one link with its guidance record; 1 when the
    // link qualifies. *shapeFailed is set when the shape cannot be read.
    int LinkFoot(const MapPoint& point, uint32_t linkId, int kindFilter, MneLinkFoot* out, bool* shapeFailed);
    // Visits the links whose tile segment box meets the box of radiusM
    // around the point, each once; visit returns false to stop.
    template <class Visit>
    void ForEachLinkNear(const MapPoint& point, int32_t radiusM, Visit&& visit);

    // Open and Close take m_stateLock exclusively, every query shared. The
    // shared lock lets new readers in while a writer waits, so a steady
    // stream of queries could keep Close out for ever: a writer first takes
    // the turnstile, and while one waits every new query passes through it
    // before it shares.
    struct ExclusiveState;
    std::shared_lock<std::shared_mutex> ShareState() const;
    mutable std::mutex m_turnstile;
    mutable std::shared_mutex m_stateLock;
    std::atomic<int> m_writersWaiting{0};
    std::string m_dataRoot;
    std::string m_openFailure;
    bool m_opened = false;

    std::unique_ptr<CMneAddressMapFile> m_address;
    std::unique_ptr<CMneCityMapFile> m_city;
    std::unique_ptr<MgrSharedBlock, ArenaDeleter> m_arena;
    std::unique_ptr<CMneTollGateMapFile> m_tollGates;
    std::unique_ptr<CMneExtTBTMapFile> m_turns;
    std::unique_ptr<CMneExtLaneMapFile> m_lanes;
    std::unique_ptr<CMneSAMapFile> m_serviceAreas;
    std::unique_ptr<CMneNameMapFile> m_names;
    std::unique_ptr<CMneLinkMapFile> m_links;
    std::unique_ptr<CMnePathMapFile> m_paths;
    std::unique_ptr<CMneRoadLineMapFile> m_roadLines;
    std::unique_ptr<CMneServiceMainMapFile> m_serviceMain;
    std::unique_ptr<CMneCameraMapFile> m_cameras;
    std::unique_ptr<CMneSafeDriveMapFile> m_safeDrive;
    std::unique_ptr<CMneHipassMapFile> m_hipass;
};
