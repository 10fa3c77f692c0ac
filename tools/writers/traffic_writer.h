#pragma once
// Writers of the traffic engine's inputs: the link tables under the map
// folder ("LinkID.tdb", "ImageIDIdx.tdb", "OpiID.tdb"), the stored transfers
// ("EVT_*_TRANSFER_0.bin") and every traffic message layout, basic and
// extended. Texts are given as UTF-8 and written as CP949; `raw` byte
// strings go out unchanged (for type bytes and damaged fixtures).
//
// Layouts, all little-endian:
//   LinkID.tdb      u32 N, N u32 ids (ascending), N flag bytes
//   ImageIDIdx.tdb  u32 first slot of each summary index, and one past the last
//   OpiID.tdb       u32 M, 19 header bytes, M u16 ids (ascending), M records of
//                   23 bytes in name order, then the names
//   CTT / CTTSUM    basic: u16 count, 6 spare, 8-byte items;
//                   extended: u32 spare, u32 count, u32 spare, 9- or 17-byte items
//   RTM             basic: u16 count, 6 spare, items {type, T, u16 D, type text,
//                   detail, u32 link, u32 lon, u32 lat}; extended: 12-byte header,
//                   items {T, u16 D, texts, u32 link, u16 extra, u32 lon, u32 lat}
//   NWS             basic: u16 count, 6 spare, items {kind, T, u16 L, title, text};
//                   extended: 12-byte header and groups (see NewsGroup)
//   OPI             basic: u16 count, 6 spare; extended: 12-byte header; items
//                   {u32 station, u32 price time, u8 N, N x {u8 kind, i16 price}}
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foundation/coords.h"

namespace writers {

// Message codes of the receiver link.
inline constexpr int kTpegCodeCtt = 1;
inline constexpr int kTpegCodeCttSum = 3;
inline constexpr int kTpegCodeRtm = 4;
inline constexpr int kTpegCodeNws = 5;
inline constexpr int kTpegCodeOpi = 6;
inline constexpr int kTpegCodeExtended = 16;  // added to a basic code

// UTF-8 to CP949 (the writer's texts); characters CP949 lacks become '?'.
std::string ToCp949(const std::string& utf8);

struct TrafficLinkRow {
    uint32_t linkId = 0;
    uint8_t flag = 0;   // non-zero: a fast road (first row of each channel pair)
};
// The rows are written in the given order (callers keep the ids ascending;
// a damaged fixture may not). forcedCount replaces N when set.
std::vector<uint8_t> BuildLinkTable(const std::vector<TrafficLinkRow>& links, std::optional<uint32_t> forcedCount = {});
std::vector<uint8_t> BuildImageIndex(const std::vector<uint32_t>& firstSlots);

struct TrafficStation {
    uint16_t stationId = 0;
    std::string nameUtf8;
    uint8_t kindBits = 1;   // 1 filling station, 2 LPG
    uint8_t brand = 1;      // 1..6
    MapPoint where;
    uint16_t areaCode = 0;
    uint32_t phone = 0;     // exchange x 10000 + line
};
// Ids ascending in the id list; records sorted by CP949 name.
std::vector<uint8_t> BuildStationTable(const std::vector<TrafficStation>& stations);

// --- Messages -------------------------------------------------------------

struct CttItem {
    uint32_t linkId = 0;   // the summary key for CTTSUM
    uint8_t speed = 0;
    uint8_t level = 0;
    // Extended layout: a 17-byte item carrying a second speed and level.
    bool longItem = false;
    uint8_t speed2 = 0;
    uint8_t level2 = 0;
};
std::vector<uint8_t> BuildCtt(const std::vector<CttItem>& items);
std::vector<uint8_t> BuildCttExt(const std::vector<CttItem>& items);
std::vector<uint8_t> BuildCttSum(const std::vector<CttItem>& items);      // key, level, speed
std::vector<uint8_t> BuildCttSumExt(const std::vector<CttItem>& items);

struct IncidentItem {
    uint8_t typeCode = 1;        // basic layout only
    std::string typeText;        // raw bytes
    std::string detailUtf8;
    uint32_t linkId = 0;
    uint16_t extra = 0;          // extended layout only
    uint32_t lon = 0;            // 10^-5 degree (or 10^-6)
    uint32_t lat = 0;
};
std::vector<uint8_t> BuildRtm(const std::vector<IncidentItem>& items, std::optional<uint32_t> forcedCount = {});
std::vector<uint8_t> BuildRtmExt(const std::vector<IncidentItem>& items, std::optional<uint32_t> forcedCount = {});

struct NewsItem {
    uint8_t kindCode = 1;
    std::string titleUtf8;
    std::string textUtf8;        // CP949-converted
    std::string rawText;         // used instead when not empty
    // Extended layout only: counted blocks after the item.
    std::vector<std::string> pBlocks;
    std::vector<std::string> qBlocks;  // each cut into three length bytes
};
// A plain news item.
inline NewsItem News(uint8_t kindCode, std::string titleUtf8, std::string textUtf8) {
    NewsItem item;
    item.kindCode = kindCode;
    item.titleUtf8 = std::move(titleUtf8);
    item.textUtf8 = std::move(textUtf8);
    return item;
}
std::vector<uint8_t> BuildNws(const std::vector<NewsItem>& items, std::optional<uint32_t> forcedCount = {});

// An extended news group: A x 3 + 1 bytes, B x 4 bytes, the items, and a
// closing block when tail is set. Item layout: 1 spare, T, u16 L, P, Q,
// title, then (not "Scroll") the kind byte and L - 1 text bytes, or
// ("Scroll") L text bytes; then P entries {1 byte, u32 length, bytes, 1 byte}
// and Q entries {3 length bytes, their sum in bytes}.
struct NewsGroup {
    uint8_t a = 0;
    uint8_t b = 0;
    std::vector<NewsItem> items;
    std::optional<std::string> tail;   // block: 1 byte, length byte, bytes
};
std::vector<uint8_t> BuildNwsExt(const std::vector<NewsGroup>& groups);

struct PriceEntry {
    uint8_t kind = 1;    // 1, 2, 129
    int16_t price = 0;
};
struct PriceItem {
    uint32_t stationId = 0;
    uint32_t priceTime = 0;   // seconds since 1970
    std::vector<PriceEntry> prices;
};
std::vector<uint8_t> BuildOpi(const std::vector<PriceItem>& items, std::optional<uint32_t> forcedCount = {});
std::vector<uint8_t> BuildOpiExt(const std::vector<PriceItem>& items);

// --- Files ------------------------------------------------------------------

// Writes bytes to root/map/<name>; false (error set) on failure.
bool WriteTrafficFile(const std::string& root, const std::string& name, const std::vector<uint8_t>& bytes,
                      std::string* error = nullptr);

// The three link tables under root/map in one go (fixtures, fuzz targets,
// benchmarks); false (error set) on failure.
bool WriteTrafficTables(const std::string& root, const std::vector<TrafficLinkRow>& links,
                        const std::vector<uint32_t>& imageIndex, const std::vector<TrafficStation>& stations,
                        std::string* error = nullptr);

// The demo district's traffic: link tables for its links (link id = the
// district's link number), a small summary table, a few filling stations,
// and stored transfers with congestion on some links, an incident, a news
// item and fuel prices stamped with the given time; and root/TPEG/
// receiver_sim.txt, the script of the simulated receiver that sends the same
// picture live.
bool WriteDemoTraffic(const std::string& root, uint32_t priceTime, std::string* error = nullptr);

}  // namespace writers
