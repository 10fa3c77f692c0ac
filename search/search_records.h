#pragma once
// The two fixed records of every search: the request a screen fills
// (SearchRequest, 152 bytes) and the result record it copies pages of
// (SearchResult, 744 bytes), with the search kind ids and the result and
// status codes of the search module. Both are plain, packed as laid out
// below (every field sits at its natural alignment, so the compiler adds no
// padding of its own), hold no pointers and are copied by value. The
// settings object of the search module keeps them as raw bytes; the
// Encode/Decode pairs move them in and out of those bytes, little-endian.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "settings/module_sch.h"

// Search kind ids (SearchKindID).
enum SearchKind : uint32_t {
    kSearchKindName = 0,
    kSearchKindCorp = 1,
    kSearchKindApt = 2,
    kSearchKindCate = 3,
    kSearchKindAroundCate = 4,
    kSearchKindPathCate = 5,
    kSearchKindAddrDongLi = 6,
    kSearchKindNewAddrDongLi = 7,
    kSearchKindPhone = 8,
    kSearchKindTheme = 9,
    kSearchKindTheme2 = 10,
};
inline constexpr uint32_t kSearchKindLast = kSearchKindTheme2;

// Result and status codes of the search module.
inline constexpr int kSchOk = 1;                // accepted / done
inline constexpr int kSchStatusComplete = 0;    // finished, the list is whole
inline constexpr int kSchStatusCapped = 1;      // finished at the engine's cap
inline constexpr int kSchBusy = -1;             // not started / busy / older results
inline constexpr int kSchBadKind = -2;          // fetch with a kind above 10
inline constexpr int kSchShortMiddleWord = -161;
inline constexpr int kSchNotFound = -162;
inline constexpr int kSchNoResults = -164;
inline constexpr int kSchNoAddrMemory = -176;

// Text lengths in UTF-16 characters, the NUL included.
inline constexpr size_t kSchKeywordChars = 38;  // 37 characters and the NUL
inline constexpr size_t kSchKeywordCp949Bytes = 74;
inline constexpr size_t kSchNameChars = 37;
inline constexpr size_t kSchAddressChars = 40;
inline constexpr size_t kSchCateNameChars = 28;
inline constexpr size_t kSchDetailChars = 36;

struct SchPoint {
    uint32_t x = 0;
    uint32_t y = 0;
};

struct SearchRequest {
    uint32_t SearchKindID = 0;
    char16_t szKeyword[kSchKeywordChars] = {};
    uint32_t uAreaCode = 0;
    uint32_t nSubCode = 0;
    uint32_t nRadius = 0;
    uint32_t bMiddleWord = 0;
    uint32_t reserved96 = 0;
    SchPoint ptCenter;
    uint8_t eOrderBy = 0;
    uint8_t pad109[3] = {};
    uint32_t nRecordID = 0;
    uint8_t reserved116[4] = {};
    double dBuildingKey = 0;
    uint16_t wTelArea = 0;
    uint8_t pad130[2] = {};
    uint32_t uTelNumber = 0;
    uint16_t wThemeMask2 = 0;
    uint16_t wThemeKind2 = 0;
    uint16_t wThemeKind = 0;
    uint16_t wThemeClass = 0;
    uint16_t wThemeMask = 0;
    uint8_t reserved146[2] = {};
    uint32_t nOption = 0;
};
static_assert(sizeof(SearchRequest) == 152);
static_assert(offsetof(SearchRequest, szKeyword) == 4);
static_assert(offsetof(SearchRequest, uAreaCode) == 80);
static_assert(offsetof(SearchRequest, ptCenter) == 100);
static_assert(offsetof(SearchRequest, eOrderBy) == 108);
static_assert(offsetof(SearchRequest, nRecordID) == 112);
static_assert(offsetof(SearchRequest, dBuildingKey) == 120);
static_assert(offsetof(SearchRequest, wTelArea) == 128);
static_assert(offsetof(SearchRequest, uTelNumber) == 132);
static_assert(offsetof(SearchRequest, wThemeMask2) == 136);
static_assert(offsetof(SearchRequest, wThemeMask) == 144);
static_assert(offsetof(SearchRequest, nOption) == 148);

struct SearchThemeRow {
    uint32_t nIndex = 0;
    uint32_t nThemeKey = 0;
    uint8_t bThemeKind = 0;
    uint8_t bThemeFlag = 0;
    uint8_t pad10[2] = {};
    uint32_t nDistance = 0;
    uint32_t uAreaCode = 0;
    uint16_t wCate = 0;
    uint8_t bValid = 0;
    uint8_t bSubKind = 0;
    SchPoint pt;
    char16_t szName[kSchNameChars] = {};
    char16_t szAddress[kSchAddressChars] = {};
    uint8_t pad186[2] = {};
};
static_assert(sizeof(SearchThemeRow) == 188);
static_assert(offsetof(SearchThemeRow, pt) == 24);
static_assert(offsetof(SearchThemeRow, szName) == 32);
static_assert(offsetof(SearchThemeRow, szAddress) == 106);

struct SearchResult {
    uint32_t nIndex = 0;
    uint8_t bKind = 0;
    uint8_t pad5[3] = {};
    uint32_t nDistance = 0;
    uint32_t uAreaCode = 0;
    uint32_t nCateIndex = 0;
    uint32_t nCateCode = 0;
    SchPoint pt;
    uint16_t wTelArea = 0;
    uint8_t pad34[2] = {};
    uint32_t uTelNumber = 0;
    char16_t szName[kSchNameChars] = {};
    char16_t szName2[kSchNameChars] = {};
    char16_t szAddress[kSchAddressChars] = {};
    char16_t szCateName[kSchCateNameChars] = {};
    uint32_t nPOIID = 0;
    uint32_t bDetail = 0;
    char16_t szBuilding[kSchNameChars] = {};
    uint8_t cFloor = 0;
    uint8_t reserved407[57] = {};
    SchPoint ptEntry;
    uint8_t bDetailKind = 0;
    uint8_t pad473 = 0;
    char16_t szDetail[kSchDetailChars] = {};
    uint8_t pad546[2] = {};
    uint32_t nAddrValue = 0;
    uint16_t wAddrValue = 0;
    uint8_t pad554[2] = {};
    SearchThemeRow ThemeRow;
};
static_assert(sizeof(SearchResult) == 744);
static_assert(offsetof(SearchResult, uTelNumber) == 36);
static_assert(offsetof(SearchResult, szName) == 40);
static_assert(offsetof(SearchResult, szName2) == 114);
static_assert(offsetof(SearchResult, szAddress) == 188);
static_assert(offsetof(SearchResult, szCateName) == 268);
static_assert(offsetof(SearchResult, nPOIID) == 324);
static_assert(offsetof(SearchResult, szBuilding) == 332);
static_assert(offsetof(SearchResult, cFloor) == 406);
static_assert(offsetof(SearchResult, ptEntry) == 464);
static_assert(offsetof(SearchResult, bDetailKind) == 472);
static_assert(offsetof(SearchResult, szDetail) == 474);
static_assert(offsetof(SearchResult, nAddrValue) == 548);
static_assert(offsetof(SearchResult, wAddrValue) == 552);
static_assert(offsetof(SearchResult, ThemeRow) == 556);

// The records as the module's settings object stores them, field by field
// little-endian (reserved and padding bytes travel as they are).
void EncodeSearchRequest(const SearchRequest& request, SearchRequestRecord& out);
SearchRequest DecodeSearchRequest(const SearchRequestRecord& record);
void EncodeSearchResult(const SearchResult& result, SearchResultRecord& out);
SearchResult DecodeSearchResult(const SearchResultRecord& record);
void EncodeSearchThemeRow(const SearchThemeRow& row, SearchThemeRowRecord& out);
SearchThemeRow DecodeSearchThemeRow(const SearchThemeRowRecord& record);

// Copies text into a fixed UTF-16 field of n characters: cut to n - 1 and
// NUL-terminated, the rest zero. A surrogate pair is never split.
void SetSearchText(char16_t* field, size_t n, std::u16string_view text);
// The text of a fixed field, up to its first NUL.
std::u16string_view SearchText(const char16_t* field, size_t n);
