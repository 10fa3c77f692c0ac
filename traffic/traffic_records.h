#pragma once
// Records of the traffic engine: the fixed-size entries it keeps in its
// arena (filled from messages and tables, never saved) and the rows it hands
// to the screens. Texts inside the arena are CP949 as received; rows carry
// UTF-16.
#include <cstddef>
#include <cstdint>

#include "settings/module_tpeg.h"

// --- Arena entries ---------------------------------------------------------

// One incident (road traffic message). The title is the start of the detail
// text; the detail itself stays in the copy of the last incident message.
struct TpegIncidentRecord {
    uint16_t wType = 0;         // bits 0-7 incident type, bit 15 new on the route
    uint16_t wExtra = 0;        // extended layout only
    uint32_t dwLinkId = 0;
    int32_t nLinkIndex = -1;    // -1 unknown
    int32_t x = 0;              // map units
    int32_t y = 0;
    uint32_t dwDetailOffset = 0;  // within the incident message
    uint16_t wDetailLength = 0;   // at most 1000
    char szTitle[62] = {};        // at most 61 bytes and a NUL
};
static_assert(sizeof(TpegIncidentRecord) == 88);

struct TpegIncidentPosition {
    uint16_t wRecord = 0;
    uint16_t wType = 0;
    int32_t x = 0;
    int32_t y = 0;
};
static_assert(sizeof(TpegIncidentPosition) == 12);

// An entry of the sorted incident list a screen pages through.
struct TpegIncidentListEntry {
    uint16_t wRecord = 0;
    uint16_t wType = 0;
    int32_t nDistanceM = -1;    // -1 no position
};
static_assert(sizeof(TpegIncidentListEntry) == 8);

struct TpegNewsRecord {
    uint16_t wCategory = 0;     // 1, 2, 4, 8, 16, 32; 0 none; 0xFFFF extended item without text
    uint16_t wTextLength = 0;   // at most 2000
    uint32_t dwTextOffset = 0;  // within the news message
    char szTitle[62] = {};
};
static_assert(sizeof(TpegNewsRecord) == 72);

struct TpegNewsListEntry {
    uint16_t wRecord = 0;
    uint16_t wCategory = 0;
};
static_assert(sizeof(TpegNewsListEntry) == 4);

// The prices of one filling station, in station id order.
struct TpegStationPrice {
    uint16_t wStationId = 0;
    int16_t nPrice1 = 0;        // price kind 1
    int16_t nPrice2 = 0;        // price kind 2
    int16_t nPrice129 = 0;      // price kind 129 (LPG)
    uint32_t dwPriceTime = 0;   // seconds since 1970
};
static_assert(sizeof(TpegStationPrice) == 12);

// One station record of the station table, in name order.
struct TpegStationInfo {
    uint16_t wPriceEntry = 0;   // its position in the id list
    uint8_t yKindBits = 0;      // 1 filling station, 2 LPG station
    uint8_t yBrand = 0;         // 1..6
    uint32_t dwNameOffset = 0;  // in the station table file
    uint8_t yNameLength = 0;    // CP949 bytes, at most 35
    int32_t x = 0;
    int32_t y = 0;
};
static_assert(sizeof(TpegStationInfo) == 20);

struct TpegStationResult {
    uint16_t wRecord = 0;       // station record (name order)
    uint16_t wPrice = 0;
    uint32_t dwDistanceM = 0;
    uint32_t dwPriceTime = 0;
};
static_assert(sizeof(TpegStationResult) == 12);

// --- Rows for the screens -------------------------------------------------

// Result codes of the screens' queries.
inline constexpr int kTpegNoSummary = -201;
inline constexpr int kTpegNoIncident = -202;
inline constexpr int kTpegIncidentRebuilt = -203;
inline constexpr int kTpegNoNews = -204;
inline constexpr int kTpegNewsRebuilt = -205;
inline constexpr int kTpegStationSearchFailed = -206;
inline constexpr int kTpegNoBrandList = -207;

// Rows handed out per store call; a caller asking for more gets them in
// several calls.
inline constexpr int kTpegPageRows = 15;

struct TPEGIncidentRow {
    uint16_t wRow = 0;
    uint16_t wType = 0;         // 1 accident, 2 works, 4 event, 8 other
    int32_t nDistanceM = 0;     // 0 when the incident has no position
    int32_t x = 0;
    int32_t y = 0;
    uint16_t wRecord = 0;
    char16_t szTitle[63] = {};
};

struct TPEGIncidentInfo {
    uint16_t wIndex = 0;
    uint16_t wType = 0;
    int32_t nDistanceM = 0;
    int32_t x = 0;
    int32_t y = 0;
    uint16_t wRecord = 0;
    char16_t szDetail[1000] = {};
};

struct TPEGNewsRow {
    uint16_t wRow = 0;
    uint16_t wCategory = 0;
    uint16_t wRecord = 0;
    char16_t szTitle[62] = {};
};

struct TPEGNewsInfo {
    uint16_t wIndex = 0;
    uint16_t wCategory = 0;
    uint16_t wRecord = 0;
    char16_t szText[2000] = {};
};

inline constexpr int kTpegMaxBrandRows = 6;

struct TPEGOilBrandRow {
    int32_t nCode = 0;
    int32_t nValue = 0;
    char16_t szName[28] = {};
};

struct TPEGOilStationQuery {
    int32_t nBrandFilter = 0;
    int32_t nMaxDistanceM = 0;  // 0 none
    int32_t nHeadingDeg = 0;
    int32_t nSortOrder = 0;     // 1 price, 2 distance, else name
    int32_t nFuelKind = 1;      // 1, 2 or 4
    int32_t x = 0;
    int32_t y = 0;
    char16_t szName[36] = {};
};

struct TPEGOilStationRow {
    uint16_t wRow = 0;
    uint16_t wPrice = 0;
    uint8_t yDirection = 0;     // sector 0..7
    int32_t nBrandImage = 0;
    int32_t nDistanceM = 0;
    int32_t x = 0;
    int32_t y = 0;
    char16_t szName[36] = {};
    char16_t szArea[36] = {};
    char16_t szTelephone[15] = {};
    char16_t szDate[17] = {};
};
