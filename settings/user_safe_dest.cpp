#include "settings/user_safe_dest.h"

#include <algorithm>
#include <atomic>
#include <string>

#include "foundation/debug_trace.h"
#include "mapdb/link_id.h"
#include "mapdb/mgr_map.h"
#include "mapdb/version_check.h"
#include "settings/name_field.h"

namespace {

constexpr char kEntryPrefix[] = "SafeDest";

userdata::KeyText EntryKey(int entry, const char* field) { return userdata::EntryKey(kEntryPrefix, entry, field); }

// The entry number of a "SafeDestNNN.field" key (keys are matched without
// regard to case, as the settings file does; a key names a field after the
// dot); -1 for other keys.
int EntryNumberOf(std::u16string_view key) {
    if (key.size() <= std::string_view(kEntryPrefix).size() + 4) return -1;
    return userdata::EntryNumberOfKey(key, kEntryPrefix, true);
}

std::atomic<UserSafeDestMap*> g_defaultMap{nullptr};

// The map-data manager. Its version record is read from the data root it
// was opened with, so before Open it cannot tell the network version.
class MgrMapSafeDestMap final : public UserSafeDestMap {
public:
    int GetNetworkVersion(NvString& out) override {
        CMgrMap* map = CMgrMap::Instance();
        if (!map || !map->IsOpen()) return 0;
        MneVersionRecord record;
        if (map->GetVersionInfo(record) != 1) return 0;
        out = NvString(MneVersionFieldText(record.fileDate[kMneVersionRoad]));
        return 1;
    }
    int FindNearestLink(const MapPoint& point, int maxDistanceM, int32_t& linkId, int32_t& reverseLinkId) override {
        CMgrMap* map = CMgrMap::Instance();
        MneLinkFoot foot;
        if (!map || !map->FindNearestLink(point, maxDistanceM, &foot, 0)) return 0;
        linkId = static_cast<int32_t>(foot.linkId);
        reverseLinkId = static_cast<int32_t>(foot.reverseLinkId);
        return 1;
    }
};

}  // namespace

bool operator==(const _tagUISTRUCT_USERSAFEDEST& a, const _tagUISTRUCT_USERSAFEDEST& b) {
    return a.nIndex == b.nIndex && a.nDir == b.nDir && a.nLimit == b.nLimit && a.TileIDx == b.TileIDx &&
           a.TileIDy == b.TileIDy && a.LinkID == b.LinkID && a.tTime == b.tTime &&
           a.PosInfo.wcPosition == b.PosInfo.wcPosition &&
           std::equal(std::begin(a.PosInfo.szName), std::end(a.PosInfo.szName), std::begin(b.PosInfo.szName));
}

UserSafeDestMap* DefaultUserSafeDestMap() {
    if (UserSafeDestMap* set = g_defaultMap.load(std::memory_order_acquire)) return set;
    if (!CMgrMap::Instance()) return nullptr;
    static MgrMapSafeDestMap manager;
    return &manager;
}

void SetDefaultUserSafeDestMap(UserSafeDestMap* map) { g_defaultMap.store(map, std::memory_order_release); }

CMgrConfigUIDataUserSafeDest::CMgrConfigUIDataUserSafeDest(UserSafeDestMap* map)
    : m_map(map), m_mapMissing(map == nullptr) {
    if (!Load(nullptr)) EmptyStore();
}

void CMgrConfigUIDataUserSafeDest::ResetItem(_tagUISTRUCT_USERSAFEDEST* record) {
    if (record) *record = _tagUISTRUCT_USERSAFEDEST{};
}

int CMgrConfigUIDataUserSafeDest::TileOfPosition(const MapPoint& position, int32_t& tileX, int32_t& tileY) {
    const CMgrCoordBase frame(kTileLevel);
    int column = 0;
    int row = 0;
    TileLocalPoint local;
    if (!frame.MapToTileLocal(position, column, row, local)) return 0;
    tileX = column;
    tileY = row;
    return 1;
}

void CMgrConfigUIDataUserSafeDest::EmptyStore() {
    m_items.RemoveAll();
    m_filtered.clear();
    m_byTile.clear();
}

// ---- file

bool CMgrConfigUIDataUserSafeDest::Relink(_tagUISTRUCT_USERSAFEDEST& record) {
    int32_t linkId = 0;
    int32_t reverseId = 0;
    if (!m_map->FindNearestLink(record.PosInfo.wcPosition, kRelinkDistanceM, linkId, reverseId)) return false;
    // The id travelled in the point's own direction; a one-way link has no
    // reverse id (0), which must never replace a real one.
    const uint32_t wantReverse = static_cast<uint32_t>(record.LinkID) & kMneLinkReverseBit;
    int32_t chosen = 0;
    for (const int32_t candidate : {linkId, reverseId}) {
        if (candidate != 0 && (static_cast<uint32_t>(candidate) & kMneLinkReverseBit) == wantReverse) chosen = candidate;
    }
    if (chosen != 0) record.LinkID = chosen;
    // Checked against this network, even when the id stayed the same.
    return true;
}

int CMgrConfigUIDataUserSafeDest::Load(const char16_t* file) {
    const NvString path = FilePathFor(file, NV_FILE_REG_SAFE_DEST);
    NvString currentVersion;
    const bool haveMap = m_map && m_map->GetNetworkVersion(currentVersion);
    if (haveMap) currentVersion = currentVersion.Left(kNetworkVersionChars);

    if (!OpenFile(path, file == nullptr)) return 0;
    EmptyStore();
    m_nextNumber = 0;
    m_relinkPending = false;
    int count = 0;
    int toVisit = 0;
    NvString fileVersion;
    const char* const noHeader = "no nVersion, nNetworkVersion or nItemCount";
    const bool haveNetwork = m_configFile.GetString(u"nNetworkVersion", fileVersion, 1) != 0;
    const char* rejected = CheckCountedFile(
        {u"nItemCount", kMaxItems, EntryNumberOf, noHeader, "nItemCount outside 0..200"}, &count, &toVisit);
    if (!haveNetwork) rejected = noHeader;

    if (rejected) {
        EmptyStore();
        return RefuseFile(path, rejected);
    }

    const bool relink = haveMap && !(fileVersion == currentVersion);
    bool relinked = false;
    for (const int entry : EntriesWithKeys(EntryNumberOf, toVisit)) {
        _tagUISTRUCT_USERSAFEDEST record;
        int present = 0;
        int time = 0;
        present += m_configFile.GetInt(EntryKey(entry, "nDir").c_str(), &record.nDir, 1);
        present += m_configFile.GetInt(EntryKey(entry, "nLimit").c_str(), &record.nLimit, 1);
        present += m_configFile.GetInt(EntryKey(entry, "TileIDx").c_str(), &record.TileIDx, 1);
        present += m_configFile.GetInt(EntryKey(entry, "TileIDy").c_str(), &record.TileIDy, 1);
        present += m_configFile.GetInt(EntryKey(entry, "LinkID").c_str(), &record.LinkID, 1);
        present += m_configFile.GetInt(EntryKey(entry, "tTime").c_str(), &time, 1);
        present += m_configFile.GetInt(EntryKey(entry, "PosInfo.wcPosition.x").c_str(),
                                       &record.PosInfo.wcPosition.x, 1);
        present += m_configFile.GetInt(EntryKey(entry, "PosInfo.wcPosition.y").c_str(),
                                       &record.PosInfo.wcPosition.y, 1);
        present += userdata::ReadText(m_configFile, EntryKey(entry, "PosInfo.szName"), record.PosInfo.szName,
                                      kCourseNameUnits);
        // A point the file holds no key of is not made up.
        if (present == 0) continue;
        // The file keeps the low 32 bits of the time.
        record.tTime = static_cast<uint32_t>(time);
        if (relink && Relink(record)) relinked = true;
        if (record.TileIDx == 0 || record.TileIDy == 0) {
            TileOfPosition(record.PosInfo.wcPosition, record.TileIDx, record.TileIDy);
        }
        record.nIndex = m_nextNumber++;
        AddItem(record, 0);
    }

    m_networkVersion = haveMap ? currentVersion : fileVersion;
    // A map that could not tell its version yet (not open) is asked again
    // before the file is written with its version.
    m_relinkPending = !haveMap && m_map != nullptr;
    RebuildLists(0);
    if (relinked) DebugTrace(2, "[CFG] %s: links checked on the new road network\n", path.ToUtf8().c_str());
    // A map that cannot tell its version yet refuses the save; the file
    // then stays as it is.
    return FinishLoad(relinked);
}

int CMgrConfigUIDataUserSafeDest::Save(const char16_t* file) {
    if (m_map) {
        NvString current;
        if (!m_map->GetNetworkVersion(current)) return 0;
        current = current.Left(kNetworkVersionChars);
        // The file must not name a network the links were never checked
        // against.
        if (m_relinkPending && !(current == m_networkVersion)) {
            for (int i = 0; i < m_items.GetCount(); ++i) Relink(*m_items.GetAt(i));
        }
        m_relinkPending = false;
        m_networkVersion = current;
    }
    int ok = StartSave(file, NV_FILE_REG_SAFE_DEST);
    const std::u16string networkVersion = NameForFile(m_networkVersion.View());
    ok &= m_configFile.SetValue(u"nNetworkVersion", networkVersion.c_str(), kNvConfigTypeString);
    ok &= m_configFile.SetInt(u"nItemCount", m_items.GetCount());
    for (int i = 0; i < m_items.GetCount(); ++i) {
        const _tagUISTRUCT_USERSAFEDEST* r = m_items.GetAt(i);
        ok &= m_configFile.SetInt(EntryKey(i, "nDir").c_str(), r->nDir);
        ok &= m_configFile.SetInt(EntryKey(i, "nLimit").c_str(), r->nLimit);
        ok &= m_configFile.SetInt(EntryKey(i, "TileIDx").c_str(), r->TileIDx);
        ok &= m_configFile.SetInt(EntryKey(i, "TileIDy").c_str(), r->TileIDy);
        ok &= m_configFile.SetInt(EntryKey(i, "LinkID").c_str(), r->LinkID);
        ok &= m_configFile.SetInt(EntryKey(i, "tTime").c_str(), static_cast<int>(static_cast<uint32_t>(r->tTime)));
        ok &= m_configFile.SetInt(EntryKey(i, "PosInfo.wcPosition.x").c_str(), r->PosInfo.wcPosition.x);
        ok &= m_configFile.SetInt(EntryKey(i, "PosInfo.wcPosition.y").c_str(), r->PosInfo.wcPosition.y);
        ok &= userdata::WriteText(m_configFile, EntryKey(i, "PosInfo.szName"), r->PosInfo.szName, kCourseNameUnits);
    }
    return FinishSave(ok);
}

// ---- points

bool CMgrConfigUIDataUserSafeDest::MatchesSearch(const _tagUISTRUCT_USERSAFEDEST& record,
                                                 const NvString& key) const {
    const NvString name(NameFieldView(record.PosInfo.szName, kCourseNameUnits));
    return name.MatchChosungKey(key) != 0;
}

void CMgrConfigUIDataUserSafeDest::RemoveStored(int stored) {
    if (!m_items.RemoveAt(stored)) return;
    for (std::vector<int>* list : {&m_filtered, &m_byTile}) userdata::DropStoredPosition(*list, stored);
}

int CMgrConfigUIDataUserSafeDest::AddItem(const _tagUISTRUCT_USERSAFEDEST& record, int rebuild) {
    _tagUISTRUCT_USERSAFEDEST copy = record;
    copy.PosInfo.szName[kCourseNameUnits - 1] = u'\0';
    while (m_items.GetCount() >= kMaxItems) RemoveStored(0);
    if (m_items.Add(copy) < 0) return 0;
    const int stored = m_items.GetCount() - 1;
    if (MatchesSearch(copy, m_searchText.MakeChosungKey())) m_filtered.push_back(stored);
    m_byTile.push_back(stored);
    if (rebuild == 1) OrderByTile();
    return 1;
}

int CMgrConfigUIDataUserSafeDest::SetItem(int position, const _tagUISTRUCT_USERSAFEDEST& record, int mode,
                                          int rebuild) {
    const int stored = MapPosition(position, mode);
    if (stored < 0) return AddItem(record, rebuild);
    _tagUISTRUCT_USERSAFEDEST* target = m_items.GetAt(stored);
    *target = record;
    target->PosInfo.szName[kCourseNameUnits - 1] = u'\0';
    if (rebuild == 1) OrderByTile();
    return 1;
}

int CMgrConfigUIDataUserSafeDest::DeleteItem(int position, int mode, int rebuild) {
    const int stored = MapPosition(position, mode);
    if (stored < 0) return 0;
    RemoveStored(stored);
    if (rebuild == 1) RebuildLists(1);
    return 1;
}

int CMgrConfigUIDataUserSafeDest::GetCount(int mode) const {
    return mode == kModeFiltered ? static_cast<int>(m_filtered.size()) : m_items.GetCount();
}

int CMgrConfigUIDataUserSafeDest::MapPosition(int position, int mode) {
    mode = FollowSortMode(m_sortMode, mode);
    if (position < 0 || position >= m_items.GetCount()) return -1;
    const std::vector<int>* list = mode == kModeFiltered ? &m_filtered : mode == kModeByTile ? &m_byTile : nullptr;
    if (!list) return position;
    if (position >= static_cast<int>(list->size())) return -1;
    const int stored = (*list)[static_cast<size_t>(position)];
    return (stored >= 0 && stored < m_items.GetCount()) ? stored : -1;
}

int CMgrConfigUIDataUserSafeDest::GetStoredIndex(int position, int mode) { return MapPosition(position, mode); }

int CMgrConfigUIDataUserSafeDest::GetItem(int position, _tagUISTRUCT_USERSAFEDEST* buffer, int mode) {
    return CopyItemAt(m_items, m_sortMode, position, buffer, mode, [this](int p, int m) { return MapPosition(p, m); });
}

// ---- lists

int CMgrConfigUIDataUserSafeDest::SearchByName(const char16_t* text) {
    const NvString wanted(text ? text : u"");
    if (wanted == m_searchText) return 0;
    m_searchText = wanted;
    const NvString key = m_searchText.MakeChosungKey();
    m_filtered.clear();
    for (int i = 0; i < m_items.GetCount(); ++i) {
        if (MatchesSearch(*m_items.GetAt(i), key)) m_filtered.push_back(i);
    }
    return 1;
}

void CMgrConfigUIDataUserSafeDest::OrderByTile() {
    // Entries of points removed without a rebuild are dropped.
    userdata::DropStalePositions(m_byTile, m_items.GetCount());
    std::sort(m_byTile.begin(), m_byTile.end(), [this](int a, int b) {
        const _tagUISTRUCT_USERSAFEDEST& pa = *m_items.GetAt(a);
        const _tagUISTRUCT_USERSAFEDEST& pb = *m_items.GetAt(b);
        if (pa.TileIDx != pb.TileIDx) return pa.TileIDx < pb.TileIDx;
        return pa.TileIDy < pb.TileIDy;
    });
}

int CMgrConfigUIDataUserSafeDest::RebuildLists(int refill) {
    if (refill == 1) {
        m_filtered.clear();
        m_byTile.clear();
        for (int i = 0; i < m_items.GetCount(); ++i) {
            m_filtered.push_back(i);
            m_byTile.push_back(i);
        }
    }
    OrderByTile();
    return 1;
}

int CMgrConfigUIDataUserSafeDest::FindByTile(int tileX, int tileY, int* count) const {
    if (count) *count = 0;
    const auto inTile = [&](int stored) {
        const _tagUISTRUCT_USERSAFEDEST* p = m_items.GetAt(stored);
        return p && p->TileIDx == tileX && p->TileIDy == tileY;
    };
    for (size_t i = 0; i < m_byTile.size(); ++i) {
        if (!inTile(m_byTile[i])) continue;
        if (count) {
            size_t end = i;
            while (end < m_byTile.size() && inTile(m_byTile[end])) ++end;
            *count = static_cast<int>(end - i);
        }
        return static_cast<int>(i);
    }
    return -1;
}
