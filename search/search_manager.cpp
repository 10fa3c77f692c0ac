#include "search/search_manager.h"

#include <algorithm>
#include <tuple>

#include "platform/codepage.h"
#include "platform/paths.h"
#include "search/search_keys.h"

namespace {

std::u16string FromCp949(std::string_view bytes) {
    std::u16string out;
    platform::Cp949ToUtf16(bytes, out);
    return out;
}

template <typename Row>
SearchAreaRow ToAreaRow(const Row& row) {
    SearchAreaRow out;
    out.uAreaCode = row.uAreaCode;
    SetSearchText(out.szName, 40, FromCp949(row.szName));
    if constexpr (sizeof(Row) == sizeof(NAddrAreaRow)) {
        out.nValue = row.nCount;
        out.wLevelValue = static_cast<uint16_t>(row.nValue2);
    } else {
        out.nValue = row.wCount;
        out.wLevelValue = row.wValue2;
    }
    out.x = row.ptX;
    out.y = row.ptY;
    return out;
}

// The code and absolute level ListAreas is asked for, from the screens'
// code and relative level; false for a refused pair.
bool ListTarget(uint32_t code, int level, bool roadName, int64_t& listCode, int& listLevel) {
    if (level < -1 || level > 1) return false;
    if (code == 0) {
        listCode = 0;
        listLevel = 1;
        return true;
    }
    if (code < 10) return false;
    if (code <= 1000) {  // a province
        listCode = level == 1 ? code : 0;
        listLevel = level == 1 ? 2 : 1;
    } else if (code <= 100100) {  // a city, county or district
        listCode = level == -1 ? 0 : code;
        listLevel = level == -1 ? 1 : level == 0 ? 2 : 3;
    } else {  // a dong (or a road)
        listCode = level == -1 ? (roadName ? code / 1000000 : code / 10000) : code;
        listLevel = level == -1 ? 2 : level == 0 ? 3 : 4;
    }
    return true;
}

}  // namespace

CMneSearchManager::CMneSearchManager()
    : m_addrText(std::make_unique<NcSearchAddr>()),
      m_addrLot(std::make_unique<NcSearchAddr>()),
      m_adminAreas(std::make_unique<NcSearchAddr>()),
      m_naddr(std::make_unique<NcSearchNAddr>()),
      m_cate(std::make_unique<NcSearchCate>()),
      m_db(std::make_unique<NcSearchDB>()),
      m_name(std::make_unique<NcSearchMain>()),
      m_tel(std::make_unique<NcSearchTelNum>()),
      m_catesisul(std::make_unique<NcSearchCatesisul>(m_db.get())),
      m_aroundCate(std::make_unique<NcSearchAroundCate>()),
      m_ic(std::make_unique<NcSearchICJC>()),
      m_theme(std::make_unique<NcSearchThemeCate>()) {
    m_nameHits.reserve(kNameHitCap);
}

CMneSearchManager::~CMneSearchManager() = default;

void CMneSearchManager::SetFolders(const std::string& dataFolder) {
    m_dataFolder = dataFolder;
    m_searchFolder = platform::ResolveUnder(dataFolder, "Search") + "/";
    m_mapFolder = platform::ResolveUnder(dataFolder, "Map") + "/";
}

uint32_t CMneSearchManager::LayoutEngines(uint32_t size, bool withThemes) const {
    constexpr uint64_t kRoadHolderBytes = 4000, kRoadAndThemeBytes = 187600;
    // Two address engines (38280 each), the name and facility hit lists
    // (1000 hits of 12 bytes each), the category tree and the around-category
    // engine.
    constexpr uint64_t kEngineBytes = 2 * 38280 + 2 * 12000 + 1044 + 1276;
    const uint64_t areaTables = 4 * (uint64_t{m_addrText->RecordCount()} + m_adminAreas->RecordCount());
    const uint64_t total = areaTables + (withThemes ? kRoadAndThemeBytes : kRoadHolderBytes) + kEngineBytes;
    return total <= size ? static_cast<uint32_t>(total) : 0;
}

int CMneSearchManager::LoadEngines() {
    int failed = 0;
    for (NcSearchAddr* engine : {m_addrText.get(), m_addrLot.get()}) {
        engine->SetFolders(m_searchFolder, m_searchFolder);
        engine->AllocBlockBuffers();
        if (!engine->Reopen(1)) failed |= kLoadLotAreas;
    }
    m_adminAreas->SetFolders(m_searchFolder, m_searchFolder);
    if (!m_adminAreas->Reopen(0)) failed |= kLoadLotAreas;
    m_naddr->SetFolders(m_searchFolder, m_searchFolder);
    m_naddr->AllocBlockBuffers();
    if (!m_naddr->Reopen(1)) failed |= kLoadRoadAreas;
    if (!m_cate->InitCate(m_searchFolder)) failed |= kLoadCategories;
    if (!m_db->SetFolder(m_searchFolder)) failed |= kLoadPlaces;
    m_name->SetFolder(m_searchFolder);
    m_name->OpenDetailFiles();
    if (!m_name->OpenNameFiles(kSearchKindName)) failed |= kLoadNames;
    int telAreas = 0;
    if (m_tel->SetFolder(m_searchFolder) != 0 || m_tel->ReloadAreaTable(&telAreas) != 0) failed |= kLoadTelephones;
    if (!m_aroundCate->InitAroundCate(m_searchFolder)) failed |= kLoadAroundCategories;
    m_ic->LoadICFile(m_mapFolder);
    m_theme->SetThemeFolder(m_searchFolder);
    return failed ? -failed : 1;
}

int CMneSearchManager::SearchDongLi(uint32_t kind, std::string_view keyword, uint32_t areaCode) {
    if (kind == kSearchKindAddrDongLi) {
        if (!m_addrText->IsAreaFileOpen()) return -1;
        return m_addrText->SearchAreaByText(keyword, areaCode);
    }
    if (kind == kSearchKindNewAddrDongLi) {
        if (!m_naddr->IsAreaFileOpen()) return -1;
        return m_naddr->SearchAreaByText(keyword, areaCode);
    }
    return -1;
}

int CMneSearchManager::GetDongLiRows(uint32_t kind, int start, int count, SearchResult* results) {
    auto fill = [&](const auto& engine) {
        int n = 0;
        const auto* rows = static_cast<const typename std::remove_reference_t<decltype(engine)>::Row*>(nullptr);
        if (!engine.GetRows(start, count, &n, &rows)) return 0;
        for (int i = 0; i < n; ++i) {
            const SearchAreaRow row = ToAreaRow(rows[i]);
            SearchResult& r = results[i];
            r.nIndex = static_cast<uint32_t>(i);
            r.uAreaCode = row.uAreaCode;
            r.pt = {row.x, row.y};
            SetSearchText(r.szName, kSchNameChars, SearchText(row.szName, 40));
            r.nAddrValue = row.nValue;
            r.wAddrValue = row.wLevelValue;
        }
        return n;
    };
    if (kind == kSearchKindAddrDongLi) return fill(*m_addrText);
    if (kind == kSearchKindNewAddrDongLi) return fill(*m_naddr);
    return 0;
}

int CMneSearchManager::GetAreaList(uint32_t code, int level, char16_t* parentName, SearchAreaRow* rows, int maxRows,
                                   bool roadName) {
    int64_t listCode = 0;
    int listLevel = 0;
    if (!ListTarget(code, level, roadName, listCode, listLevel)) return -1;
    auto list = [&](auto& engine) {
        // The engine's rows are the results of its last dong/li search:
        // kept aside while the list is made, then put back.
        std::vector<typename std::remove_reference_t<decltype(engine)>::Row> searched;
        engine.SwapRows(searched);
        const int n = std::min(engine.ListAreas(listCode, listLevel), std::max(maxRows, 0));
        for (int i = 0; i < n; ++i) rows[i] = ToAreaRow(engine.AreaRow(i));
        engine.SwapRows(searched);
        if (parentName) {
            std::string text;
            engine.GetAreaText(listCode, text, 0);
            SetSearchText(parentName, 40, FromCp949(text));
        }
        return n;
    };
    return roadName ? list(*m_naddr) : list(*m_addrText);
}

int CMneSearchManager::SearchAddrLotNumber(uint32_t code, int main, int sub, int mountain, int maxRows,
                                           SearchAreaRow* rows, bool roadName) {
    auto find = [&](auto& engine) {
        typename std::remove_reference_t<decltype(engine)>::Row area;
        int levels = 0;
        if (!engine.GetAreaRecord(code, area, &levels)) return -1;
        if (main < 0 || main >= 10000 || sub < 0 || sub >= 10000 || maxRows <= 0) return 0;
        const int province = static_cast<int>(code / PowerOf100(std::max(CountCodeGroups(code) - 1, 0)));
        if (!engine.OpenLotFile(roadName && code > 9999 ? static_cast<int>(code / 1000000) - kProvinceFirst
                                                         : province - kProvinceFirst))
            return 0;
        if (engine.FindLot(mountain ? 1 : 0, main * 10000 + sub, code) != 1) return 0;
        int got = 0;
        if (engine.FetchLots(maxRows, &got) != 1) return 0;
        for (int i = 0; i < got; ++i) {
            const AddrLotRow& lot = engine.LotRow(i);
            SearchAreaRow& row = rows[i];
            row = {};
            row.uAreaCode = lot.uAreaCode;
            std::u16string text = std::u16string(lot.szAreaName) + u" " + (lot.bMountain ? u"산" : u"");
            for (char c : std::to_string(lot.nMainNo)) text += static_cast<char16_t>(c);
            if (lot.nSubNo) {
                text += u'-';
                for (char c : std::to_string(lot.nSubNo)) text += static_cast<char16_t>(c);
            }
            SetSearchText(row.szName, 40, text);
            row.nValue = lot.nMainNo;
            row.wLevelValue = static_cast<uint16_t>(lot.nSubNo);
            row.x = lot.ptX;
            row.y = lot.ptY;
        }
        return got;
    };
    return roadName ? find(*m_naddr) : find(*m_addrLot);
}

int CMneSearchManager::GetAreaName(uint32_t code, char16_t* out, int style) {
    std::string text;
    m_addrText->GetAreaText(code, text, style);
    const std::u16string name = FromCp949(text);
    SetSearchText(out, 40, name);
    return static_cast<int>(std::min<size_t>(name.size(), 39));
}

// ---- name search -----------------------------------------------------------

NameRoutineChoice ChooseNameRoutine(const SearchRequest& request, int keyClass, int chars, int firstConsonant) {
    const bool filter = request.nSubCode || request.eOrderBy || request.nRadius;
    const bool longKeyword = chars >= 3;
    auto pick = [](NameRoutine r) { return NameRoutineChoice{false, r}; };
    if (request.SearchKindID == kSearchKindApt) return pick(chars == 1 ? NameRoutine::kSingleChar : NameRoutine::kAptName);
    if (chars == 1) return pick(NameRoutine::kSingleChar);
    if (request.bMiddleWord) {
        if (keyClass == kKeyClassConsonants || keyClass == kKeyClassMixed) return {true, NameRoutine::kFullText};
        return pick(NameRoutine::kFullText);
    }
    if (keyClass == kKeyClassConsonants)
        return pick(filter || longKeyword ? NameRoutine::kConsonant : NameRoutine::kConsonantRange);
    if (keyClass == kKeyClassMixed) {
        if (filter || firstConsonant != 1)
            return pick(firstConsonant != 0 || longKeyword ? NameRoutine::kHonhap : NameRoutine::kHonhapFirstCh);
        if (longKeyword) return pick(NameRoutine::kHonhap);
        return pick(NameRoutine::kHonhapRange);
    }
    return pick(filter || longKeyword ? NameRoutine::kFullName : NameRoutine::kNameRange);
}

void MergePoiHits(std::vector<NameHit>& hits, const std::function<bool(uint32_t)>& flagBit4) {
    auto byRecord = [](const NameHit& a, const NameHit& b) { return a.nRecord < b.nRecord; };
    // Most lists hold no place twice: then only the order is to be made.
    {
        std::vector<uint32_t> ids;
        ids.reserve(hits.size());
        for (const NameHit& h : hits)
            if (h.nPOIID) ids.push_back(h.nPOIID);
        std::sort(ids.begin(), ids.end());
        if (std::adjacent_find(ids.begin(), ids.end()) == ids.end()) {
            if (!std::is_sorted(hits.begin(), hits.end(), byRecord)) std::sort(hits.begin(), hits.end(), byRecord);
            return;
        }
    }
    struct Entry {
        NameHit hit;
        bool bit4;
    };
    std::vector<Entry> entries;
    entries.reserve(hits.size());
    for (const NameHit& h : hits) entries.push_back({h, flagBit4(h.nRecord)});
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return std::tie(a.hit.nPOIID, a.bit4, a.hit.nRecord) < std::tie(b.hit.nPOIID, b.bit4, b.hit.nRecord);
    });
    hits.clear();
    for (size_t i = 0; i < entries.size(); ++i)
        if (i == 0 || entries[i].hit.nPOIID == 0 || entries[i].hit.nPOIID != entries[i - 1].hit.nPOIID)
            hits.push_back(entries[i].hit);
    std::sort(hits.begin(), hits.end(), byRecord);
}

int CMneSearchManager::SearchName(const SearchRequest& request, std::string_view keyword, int* count,
                                  std::function<int()> cancelled) {
    if (count) *count = 0;
    m_nameShortPath = false;
    m_nameHits.clear();
    m_nameCount = 0;
    m_nameKind = request.SearchKindID;
    if (request.SearchKindID > kSearchKindApt || !IsValidKeyword(keyword)) return 0;
    std::u16string keyword16;
    if (!platform::Cp949ToUtf16(keyword, keyword16) || keyword16.empty()) return 0;
    std::vector<uint8_t> key;
    int chars = 0;
    const int keyClass = MakeSearchKey(keyword16, key, &chars);
    int firstConsonant = -1;
    for (size_t i = 0; i < keyword16.size(); ++i)
        if (keyword16[i] >= 0x3131 && keyword16[i] <= 0x314E) {
            firstConsonant = static_cast<int>(i);
            break;
        }
    NameFilter filter;
    filter.cateIndex = request.nSubCode;
    filter.areaCode = request.uAreaCode;
    filter.radiusM = request.nRadius;
    filter.centerX = static_cast<int32_t>(request.ptCenter.x);
    filter.centerY = static_cast<int32_t>(request.ptCenter.y);
    if (m_searchFolder.empty() || !m_name->OpenNameFiles(request.SearchKindID)) return 0;
    m_name->SetJob(keyword, filter, request.eOrderBy);
    m_name->SetCancel(std::move(cancelled));
    const NameRoutineChoice choice = ChooseNameRoutine(request, keyClass, chars, firstConsonant);
    if (choice.none) return 1;
    int answer = m_name->Run(choice.routine);
    m_name->SetCancel(nullptr);
    std::vector<NameHit>& hits = m_name->Hits();
    if (m_name->ShortPath()) {
        m_nameShortPath = true;
        m_nameCount = static_cast<int>(m_name->RangeCount());
    } else {
        m_nameCount = static_cast<int>(hits.size());
    }
    // A place's duplicate names come together as one.
    if (request.SearchKindID == kSearchKindName && m_nameCount >= 1 && m_nameCount <= 500) {
        if (m_nameShortPath) {
            hits.clear();
            for (uint32_t i = 0; i < m_name->RangeCount(); ++i) {
                const uint32_t record = m_name->RangeRecord(i);
                PoiBaseRecord r;
                if (!m_name->ReadRecord(record, r)) continue;
                hits.push_back({r.nPOIID, record, m_name->DistanceTo(r)});
            }
            m_name->EndShortPath();
            m_nameShortPath = false;
        }
        MergePoiHits(hits, [this](uint32_t record) {
            PoiBaseRecord r;
            return m_name->ReadRecord(record, r) && (r.bFlags & 0x10);
        });
        m_nameCount = static_cast<int>(hits.size());
    }
    if (request.eOrderBy == 1 && !m_nameShortPath)
        std::stable_sort(hits.begin(), hits.end(),
                         [](const NameHit& a, const NameHit& b) { return a.nDistance < b.nDistance; });
    if (!m_nameShortPath) m_nameHits = hits;
    if (m_nameCount == 0 && answer == 2) answer = 0;
    if (count) *count = m_nameCount;
    return answer;
}

bool CMneSearchManager::FillNameRow(uint32_t record, uint32_t distance, uint32_t kind, bool places, SearchResult& row) {
    PoiBaseRecord r;
    if (!(places ? m_name->ReadPlace(record, r) : m_name->ReadRecord(record, r))) return false;
    row.nDistance = distance;
    row.uAreaCode = r.uAreaCode;
    row.nCateIndex = CateIndexOf(r.wCatePacked);
    row.nCateCode = CateCodeOf(r.wCatePacked);
    row.pt = {r.x, r.y};
    row.ptEntry = row.pt;
    row.wTelArea = r.wTelArea;
    row.uTelNumber = r.uTelNumber;
    row.nPOIID = r.nPOIID;
    row.bDetail = r.bFlags;
    const std::string name(CutCp949(places ? m_name->ReadPlaceName(record) : m_name->ReadName(record), 36));
    SetSearchText(row.szName, kSchNameChars, FromCp949(name));
    std::string second = name;
    if (kind == kSearchKindName) {
        const std::string main = m_name->GetMainName(r.nPOIID);
        if (!main.empty()) second = main;
        uint8_t detailKind = 0;
        int16_t dx = 0, dy = 0;
        std::string detail;
        if (m_name->GetDetail(record, detailKind, dx, dy, detail)) {
            row.bDetailKind = detailKind;
            row.ptEntry = {r.x + static_cast<uint32_t>(static_cast<int32_t>(dx)),
                           r.y + static_cast<uint32_t>(static_cast<int32_t>(dy))};
            SetSearchText(row.szDetail, kSchDetailChars, FromCp949(detail));
        }
    }
    SetSearchText(row.szName2, kSchNameChars, FromCp949(second));
    std::string text;
    (kind == kSearchKindApt ? *m_addrText : *m_adminAreas).GetAreaText(r.uAreaCode, text, 0);
    SetSearchText(row.szAddress, kSchAddressChars, FromCp949(text));
    if (kind != kSearchKindApt) {
        std::string cate;
        m_cate->GetCateName(row.nCateIndex, cate);
        SetSearchText(row.szCateName, kSchCateNameChars, FromCp949(cate));
    }
    return true;
}

int CMneSearchManager::GetNameRows(int start, int count, uint32_t kind, SearchResult* results) {
    if (kind > kSearchKindApt || kind != m_nameKind || start < 0 || count <= 0 || !results) return 0;
    if (!m_name->OpenNameFiles(kind)) return 0;
    if (!(kind == kSearchKindApt ? *m_addrText : *m_adminAreas).IsAreaFileOpen()) return 0;
    int filled = 0;
    const int end = std::min(start + std::min(count, 15), m_nameCount);
    for (int i = start; i < end; ++i) {
        const uint32_t record = m_nameShortPath ? m_name->RangeRecord(static_cast<uint32_t>(i))
                                                : m_nameHits[static_cast<size_t>(i)].nRecord;
        PoiBaseRecord r;
        if (!m_name->ReadRecord(record, r)) break;
        SearchResult& row = results[filled];
        row = {};
        row.nIndex = static_cast<uint32_t>(i);
        const uint32_t distance =
            m_nameShortPath ? m_name->DistanceTo(r) : m_nameHits[static_cast<size_t>(i)].nDistance;
        if (!FillNameRow(record, distance, kind, false, row)) break;
        ++filled;
    }
    return filled;
}

// ---- buildings and sub-places ---------------------------------------------

int CMneSearchManager::SearchBuildingFacilities(const SearchRequest& request, std::string_view keyword, int* count) {
    if (count) *count = 0;
    NameFilter filter;
    filter.cateIndex = request.nSubCode;
    filter.areaCode = request.uAreaCode;
    filter.centerX = static_cast<int32_t>(request.ptCenter.x);
    filter.centerY = static_cast<int32_t>(request.ptCenter.y);
    const int answer = m_name->SearchBuildingFacilities(request.dBuildingKey, keyword, filter);
    std::vector<FacilityHit>& hits = m_name->FacilityHits();
    if (request.eOrderBy == 3)
        std::sort(hits.begin(), hits.end(), [](const FacilityHit& a, const FacilityHit& b) {
            return std::tie(a.group, a.floor, a.nRecord) < std::tie(b.group, b.floor, b.nRecord);
        });
    else if (request.eOrderBy == 0)
        std::sort(hits.begin(), hits.end(),
                  [](const FacilityHit& a, const FacilityHit& b) { return a.nRecord < b.nRecord; });
    if (count) *count = static_cast<int>(hits.size());
    return answer;
}

int CMneSearchManager::GetFacilityRows(int start, int count, SearchResult* results) {
    const std::vector<FacilityHit>& hits = m_name->FacilityHits();
    if (start < 0 || count <= 0 || !results) return 0;
    int filled = 0;
    const int end = std::min(start + std::min(count, 15), static_cast<int>(hits.size()));
    std::u16string building = FromCp949(m_name->FacilityBuilding());
    for (int i = start; i < end; ++i) {
        const FacilityHit& hit = hits[static_cast<size_t>(i)];
        SearchResult& row = results[filled];
        row = {};
        row.nIndex = static_cast<uint32_t>(i);
        if (!FillNameRow(hit.nRecord, hit.nDistance, kSearchKindName, true, row)) break;
        SetSearchText(row.szBuilding, kSchNameChars, building);
        row.cFloor = static_cast<uint8_t>(hit.floor);
        ++filled;
    }
    return filled;
}

int CMneSearchManager::ListBuildingFacilities(double buildingKey, uint32_t poiId, SearchResult* results) {
    std::vector<FacilityRow> rows;
    m_name->ListBuildingFacilities(buildingKey, poiId, rows);
    if (!results) return 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        SearchResult& row = results[i];
        row = {};
        row.nIndex = static_cast<uint32_t>(i);
        SetSearchText(row.szName, kSchNameChars, FromCp949(rows[i].name));
        SetSearchText(row.szBuilding, kSchNameChars, FromCp949(rows[i].building));
        row.cFloor = static_cast<uint8_t>(rows[i].floor);
    }
    return static_cast<int>(rows.size());
}

int CMneSearchManager::ListSubPlaces(const SearchRequest& request, SearchResult* results) {
    int count = 0;
    m_name->ListSubPlaces(request, results, &count);
    return count;
}

// ---- themes ----------------------------------------------------------------

int CMneSearchManager::SearchThemes(const SearchRequest& request, int* count, std::function<bool()> cancelled) {
    if (count) *count = 0;
    m_theme->ClearRows();
    if (m_theme->BindThemeJob() < 0) return 0;
    const int answer = m_theme->SearchThemes(request, cancelled);
    m_theme->SortRows(request.eOrderBy);
    if (count) *count = m_theme->RowCount();
    return answer;
}

void CMneSearchManager::FillThemeRow(const ThemeHitRow& hit, uint32_t index, SearchThemeRow& row) {
    row = {};
    row.nIndex = index;
    row.nThemeKey = hit.record.Key();
    row.bThemeKind = hit.record.Kind();
    row.bThemeFlag = hit.record.Mask();
    row.nDistance = hit.distance;
    row.uAreaCode = hit.record.AreaCode();
    row.wCate = hit.record.Category();
    row.bValid = 1;
    row.bSubKind = hit.record.Kind2();
    row.pt = {hit.record.X(), hit.record.Y()};
    SetSearchText(row.szName, kSchNameChars, FromCp949(hit.name));
    std::string text;
    m_addrText->GetAreaText(row.uAreaCode, text, 0);
    SetSearchText(row.szAddress, kSchAddressChars, FromCp949(text));
}

int CMneSearchManager::GetThemeRows(int start, int count, SearchResult* results) {
    if (start < 0 || count <= 0 || !results) return 0;
    const int end = std::min(start + count, m_theme->RowCount());
    int filled = 0;
    for (int i = start; i < end; ++i, ++filled)
        FillThemeRow(m_theme->Row(i), static_cast<uint32_t>(i), results[filled].ThemeRow);
    return filled;
}
