// The search manager's routing of the telephone kind (8) and the category
// kinds (3, 4 around a point or in an area, 5 along the route).
#include <algorithm>

#include "platform/codepage.h"
#include "search/search_keys.h"
#include "search/search_manager.h"

namespace {

std::u16string FromCp949(std::string_view bytes) {
    std::u16string out;
    platform::Cp949ToUtf16(bytes, out);
    return out;
}

}  // namespace

int CMneSearchManager::SearchTelephone(const SearchRequest& request, int* count) {
    if (count) *count = 0;
    const MapPoint centre{static_cast<int32_t>(request.ptCenter.x), static_cast<int32_t>(request.ptCenter.y)};
    const int n = m_tel->SearchNumber(request.wTelArea, request.uTelNumber, centre);
    if (n <= 0) return 0;
    if (count) *count = n;
    return m_tel->LastSearchCapped() ? 2 : 1;
}

int CMneSearchManager::GetTelRows(int start, int count, SearchResult* results) {
    if (!results || count <= 0) return 0;
    const TelResultRow* rows = nullptr;
    int got = 0;
    if (m_tel->FetchPage(start, count, &rows, &got) < 0) return 0;
    for (int i = 0; i < got; ++i) {
        const TelResultRow& row = rows[i];
        SearchResult& r = results[i];
        r.nIndex = static_cast<uint32_t>(i);
        r.nDistance = static_cast<uint32_t>(row.fDistance);
        r.pt = {row.x, row.y};
        r.uTelNumber = row.uTelNumber;
        SetSearchText(r.szName, kSchNameChars, FromCp949(CutCp949(row.szName, kTelNameBytes - 1)));
    }
    return got;
}

int CMneSearchManager::GetTelAreaTable(const TelAreaRow** rows) {
    int n = 0;
    m_tel->GetAreaTable(rows, &n);
    return n;
}

int CMneSearchManager::SearchCategory(const SearchRequest& requestIn, std::string_view keyword, int* count,
                                      std::function<int()> cancelled) {
    if (count) *count = 0;
    SearchRequest request = requestIn;
    if (request.nSubCode == 0 && request.nRadius > kCateAllRadiusMaxM) request.nRadius = kCateAllRadiusMaxM;
    m_catesisul->SetCancel(std::move(cancelled));
    const int answer = m_catesisul->SearchCategory(m_searchFolder, request, keyword);
    m_catesisul->SetCancel(nullptr);
    if (count) *count = static_cast<int>(m_catesisul->ResultCount());
    return answer;
}

int CMneSearchManager::SearchPathCategory(const SearchRequest& request, std::string_view keyword,
                                          const MapPoint* points, const uint8_t* flags, uint16_t pointCount,
                                          int* count, std::function<int()> cancelled) {
    if (count) *count = 0;
    m_catesisul->SetCancel(std::move(cancelled));
    const int answer = m_catesisul->SearchPathCategory(m_searchFolder, request, keyword, pointCount, points, flags);
    m_catesisul->SetCancel(nullptr);
    if (answer != 0 && count) *count = static_cast<int>(m_catesisul->ResultCount());
    return answer;
}

int CMneSearchManager::GetCateRows(int start, int count, SearchResult* results) {
    if (start < 0 || count <= 0 || !results) return 0;
    const int total = static_cast<int>(m_catesisul->ResultCount());
    const int end = std::min(start + std::min(count, 15), total);
    int filled = 0;
    for (int i = start; i < end; ++i) {
        SearchResult& row = results[filled];
        row = {};
        if (!m_catesisul->FillPOIRow(static_cast<uint32_t>(i), row)) break;
        std::string text;
        m_addrText->GetAreaText(row.uAreaCode, text, 0);
        SetSearchText(row.szAddress, kSchAddressChars, FromCp949(text));
        std::string cate;
        m_cate->GetCateName(row.nCateIndex, cate);
        SetSearchText(row.szCateName, kSchCateNameChars, FromCp949(cate));
        ++filled;
    }
    return filled;
}
