#pragma once
// The safety points the driver registered himself, oldest first, in
// "\RegSafeDest.udt": each with a driving direction, a speed limit, the
// level-2 tile and the road link it lies on. The guidance services read the
// points of one tile through the tile-ordered list; the safety-point
// screens list, search, add, change and delete them.
//
// A point names a road link of the map, so the file records the date text
// of the road network ("\Map\Road.ndb") the links belong to. When a load
// finds another road network, each point's link is looked up again near
// its position, and the file is written again with the new date text so
// that the next load does not repeat the lookups.
//
// The map is reached through UserSafeDestMap, which the map-data manager
// satisfies; tests hand in their own.
#include <cstdint>
#include <vector>

#include "foundation/coords.h"
#include "foundation/nv_array.h"
#include "foundation/nv_string.h"
#include "foundation/singleton.h"
#include "settings/course_current.h"
#include "settings/user_data_base.h"

struct _tagUISTRUCT_USERSAFEDEST {
    // Not in the file: numbered 0, 1, 2 ... in load order.
    int32_t nIndex = 0;
    // Direction of travel in which the point applies.
    int32_t nDir = 0;
    int32_t nLimit = 0;  // speed limit
    // Column and row of the level-2 tile holding the point.
    int32_t TileIDx = 0;
    int32_t TileIDy = 0;
    // Road link id; bit 27 is the link's direction bit.
    int32_t LinkID = 0;
    // NvTime seconds when the point was registered.
    int64_t tTime = 0;
    _tagUISTRUCT_POSINFO PosInfo;

    friend bool operator==(const _tagUISTRUCT_USERSAFEDEST& a, const _tagUISTRUCT_USERSAFEDEST& b);
};
// The screens hand whole records to each other by size.
static_assert(sizeof(_tagUISTRUCT_USERSAFEDEST) == 176);

// What the safety points need of the map.
class UserSafeDestMap {
public:
    virtual ~UserSafeDestMap() = default;
    // 1 and the date text of "\Map\Road.ndb" in the map version record;
    // 0 when the record cannot be had.
    virtual int GetNetworkVersion(NvString& out) = 0;
    // 1 and the two directed ids of the nearest road link within
    // maxDistanceM metres of a point: the link id and, for a two-way link,
    // the reverse id (bit 27 set), else 0. 0 when no link qualifies.
    virtual int FindNearestLink(const MapPoint& point, int maxDistanceM, int32_t& linkId,
                                int32_t& reverseLinkId) = 0;
};

// The map the store's singleton uses: the one set here, else the map-data
// manager when it is there. Null means no map is available.
UserSafeDestMap* DefaultUserSafeDestMap();
void SetDefaultUserSafeDestMap(UserSafeDestMap* map);

class CMgrConfigUIDataUserSafeDest : public CMgrConfigUIDataBase,
                                     public MgrSingletonT<CMgrConfigUIDataUserSafeDest> {
public:
    static constexpr int kMaxItems = 200;
    // The tile level of TileIDx / TileIDy.
    static constexpr int kTileLevel = 2;
    // How far from a point its link is looked for after a map change.
    static constexpr int kRelinkDistanceM = 100;
    // The network version text holds at most this many characters.
    static constexpr int kNetworkVersionChars = 16;

    // List modes.
    static constexpr int kModeFiltered = 1;  // the points whose name matches the search text
    static constexpr int kModeByTile = 10;   // all points by tile column, then row
    static constexpr int kModeCurrent = -1;

    // Takes the map (null: none available) and loads the store's own file;
    // starts empty when that fails (no file is written then).
    explicit CMgrConfigUIDataUserSafeDest(UserSafeDestMap* map);
    // The program's store: the default map.
    CMgrConfigUIDataUserSafeDest() : CMgrConfigUIDataUserSafeDest(DefaultUserSafeDestMap()) {}
    ~CMgrConfigUIDataUserSafeDest() override = default;

    int Load(const char16_t* file) override;
    // Writes the points with the current road-network date text. 0 (and
    // nothing written) when the map cannot tell it. Without a map the text
    // the points were last linked against is kept. Points loaded while the
    // map could not tell its version (before it was opened) are looked up
    // again here first when the network turns out to differ.
    int Save(const char16_t* file) override;

    // Zeroes an edit record (the screens' working copy of a point).
    static void ResetItem(_tagUISTRUCT_USERSAFEDEST* record);

    // Appends a point, dropping the oldest while 200 or more are stored. It
    // joins list 1 when its name matches the search text and always list
    // 10; rebuild 1 orders list 10 again. Returns 1.
    int AddItem(const _tagUISTRUCT_USERSAFEDEST& record, int rebuild);
    // Replaces the point behind a list position; a position that maps to
    // none adds the record. rebuild 1 orders list 10 again. Returns 1.
    int SetItem(int position, const _tagUISTRUCT_USERSAFEDEST& record, int mode, int rebuild);
    // Removes the point behind a list position; 0 when it maps to none.
    // The lists keep naming the remaining points; rebuild 1 fills both
    // lists anew with every point (as RebuildLists (1)).
    int DeleteItem(int position, int mode, int rebuild);
    // Copies the point behind a list position; 0 when there is none. A null
    // buffer answers 1 for any position below the number of points.
    int GetItem(int position, _tagUISTRUCT_USERSAFEDEST* buffer, int mode);
    // Mode 1: the length of list 1; any other mode: the number of points.
    int GetCount(int mode) const;
    // Mode -1 is the current mode, any other becomes current; mode 1 maps
    // through list 1, mode 10 through list 10, any other to the position
    // itself. -1 when the position maps to no point.
    int GetStoredIndex(int position, int mode);
    // A new text is stored and list 1 filled with the matching points in
    // stored order (1); the same text changes nothing (0).
    int SearchByName(const char16_t* text);
    // refill 1: both lists become every point in stored order (list 1 then
    // ignores the search text until the next search); then list 10 is
    // ordered by tile. Returns 1.
    int RebuildLists(int refill);
    // The list-10 position of the first point of a tile, -1 when none;
    // count (when asked for) gets the length of the run of that tile's
    // points from there (0 when none).
    int FindByTile(int tileX, int tileY, int* count) const;

    int GetSortMode() const { return m_sortMode; }
    const NvString& GetSearchText() const { return m_searchText; }
    // The road-network date text the points are linked against.
    const NvString& GetNetworkVersion() const { return m_networkVersion; }
    bool IsMapMissing() const { return m_mapMissing; }
    // The tile of a position at the level of TileIDx / TileIDy; 0 for a
    // position outside the map area.
    static int TileOfPosition(const MapPoint& position, int32_t& tileX, int32_t& tileY);

private:
    int MapPosition(int position, int mode);
    bool MatchesSearch(const _tagUISTRUCT_USERSAFEDEST& record, const NvString& key) const;
    void OrderByTile();
    // Removes a point and renumbers the lists that name it.
    void RemoveStored(int stored);
    void EmptyStore();
    // Looks the point's link up again on the current map; true when a link
    // was found (its id in the point's direction then replaces the old one).
    bool Relink(_tagUISTRUCT_USERSAFEDEST& record);

    UserSafeDestMap* m_map = nullptr;
    bool m_mapMissing = true;
    NvArray<_tagUISTRUCT_USERSAFEDEST> m_items;
    std::vector<int> m_filtered;  // list 1
    std::vector<int> m_byTile;    // list 10
    int m_sortMode = kModeFiltered;
    NvString m_searchText;
    int m_nextNumber = 0;
    NvString m_networkVersion;
    bool m_relinkPending = false;
};
