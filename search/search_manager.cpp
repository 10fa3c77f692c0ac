#include "search/search_manager.h"

#include <algorithm>

#include "platform/codepage.h"
#include "platform/paths.h"

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
      m_naddr(std::make_unique<NcSearchNAddr>()),
      m_cate(std::make_unique<NcSearchCate>()),
      m_db(std::make_unique<NcSearchDB>()) {}

CMneSearchManager::~CMneSearchManager() = default;

void CMneSearchManager::SetFolders(const std::string& dataFolder) {
    m_dataFolder = dataFolder;
    m_searchFolder = platform::ResolveUnder(dataFolder, "Search") + "/";
    m_mapFolder = platform::ResolveUnder(dataFolder, "Map") + "/";
}

int CMneSearchManager::LoadEngines() {
    int failed = 0;
    for (NcSearchAddr* engine : {m_addrText.get(), m_addrLot.get()}) {
        engine->SetFolders(m_searchFolder, m_searchFolder);
        engine->AllocBlockBuffers();
        if (!engine->Reopen(1)) failed |= kLoadLotAreas;
    }
    m_naddr->SetFolders(m_searchFolder, m_searchFolder);
    m_naddr->AllocBlockBuffers();
    if (!m_naddr->Reopen(1)) failed |= kLoadRoadAreas;
    if (!m_cate->InitCate(m_searchFolder)) failed |= kLoadCategories;
    if (!m_db->SetFolder(m_searchFolder)) failed |= kLoadPlaces;
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
        const int n = std::min(engine.ListAreas(listCode, listLevel), std::max(maxRows, 0));
        for (int i = 0; i < n; ++i) rows[i] = ToAreaRow(engine.AreaRow(i));
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
