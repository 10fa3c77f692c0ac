#pragma once
// The traffic engine: the link tables and the stored transfers, the five
// traffic message kinds (congestion CTT, congestion summaries CTTSUM,
// incidents RTM, news NWS and fuel prices OPI) in their basic and extended
// layouts, the clears and the ageing, and the queries of the traffic screens.
//
// Where things live:
//   - The per-link congestion and event bytes, the reception status block
//     (the store's received time block), the traffic item list of the map
//     overlay and the locks are in the traffic store `CMgrConfigModuleTPEG`,
//     because route planning, guidance and the map read them from there.
//   - Everything else (link ids and flags, route marks, the image index and
//     the summary bytes, incidents, news, station prices and records) lies in
//     one block carved from the traffic module's arena by `LoadTables`, in
//     the fixed order and sizes of `TrafficArenaLayout`. The arena keeps its
//     slots for the congestion and event bytes so that its size and the
//     offsets stay as designed, but the bytes themselves are the store's.
//
// Threads: the handlers, the clears and the ageing run on the traffic module
// thread; the queries run on the UI thread. Both take the store's lock of the
// kind they touch (kind lock first, then the status lock when the reception
// status block changes too). Route planning reads the per-link bytes without
// a lock; they are atomics in the store.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/thread_annotations.h"
#include "platform/file_io.h"
#include "settings/module_tpeg.h"
#include "traffic/traffic_records.h"
#include "traffic/traffic_services.h"

// Service bits: which kinds the engine handles.
inline constexpr uint32_t kTpegServiceCTT = 0x1;
inline constexpr uint32_t kTpegServiceCTTSUM = 0x10;
inline constexpr uint32_t kTpegServiceRTM = 0x100;
inline constexpr uint32_t kTpegServiceNWS = 0x1000;
inline constexpr uint32_t kTpegServiceFifth = 0x10000;
inline constexpr uint32_t kTpegServiceOPI = 0x100000;
inline constexpr uint32_t kTpegDefaultServiceBits = 0x101111;
inline constexpr uint32_t kTpegDefaultStateLimitMs = 60000;

// Caps of the fixed areas.
inline constexpr int kTpegMaxLinks = 50001;
inline constexpr int kTpegMaxImageIndexEntries = 10002;
inline constexpr int kTpegSummarySlots = 8068;
inline constexpr int kTpegMaxStations = 13999;
inline constexpr int kTpegMaxIncidents = 200;
inline constexpr int kTpegMaxAnnounced = 100;
inline constexpr int kTpegMaxNews = 300;
inline constexpr size_t kTpegMaxMessageBytes = 100000;
inline constexpr size_t kTpegReplayBufferBytes = 850013;
inline constexpr size_t kTpegStationRecordBytes = 23;
inline constexpr size_t kTpegStationHeaderBytes = 19;

// The block the loader lays out, in this order.
struct TrafficArenaLayout {
    enum Area {
        kLinkIds, kLinkFlags, kRouteMarks, kLinkCongestion, kImageIndex, kSummaryLevels, kSummarySpeeds,
        kIncidentList, kIncidentRecords, kIncidentPositions, kIncidentRows, kLinkEvents, kAnnounced,
        kPrevAnnounced, kRtmPayload, kNewsSplit, kSpare1, kSpare2, kNewsList, kNewsRecords, kNewsRows,
        kNewsPayload,
        // With the fuel-price service only:
        kStationPrices, kStationReceived, kStationResults, kStationRows, kStationInfo,
        kAreaCount
    };
    static constexpr size_t kSizes[kAreaCount] = {
        200008, 50004, 50004, 50004, 40008, 8068, 8068, 1604, 17600, 2400, 1200, 50004, 400, 400,
        100000, 2000, 4004, 500, 1200, 21600, 1020, 100000,
        168000, 14000, 168000, 1380, 280000};
    static constexpr int kLastBasicArea = kNewsPayload;

    // Bytes of the whole block: 710096, or 1341476 with the fuel prices.
    static constexpr size_t TotalBytes(bool withOpi) {
        size_t total = 0;
        for (int i = 0; i < kAreaCount; ++i) {
            if (i <= kLastBasicArea || withOpi) total += kSizes[i];
        }
        return total;
    }
    static constexpr size_t Offset(int area) {
        size_t offset = 0;
        for (int i = 0; i < area; ++i) offset += kSizes[i];
        return offset;
    }
};
static_assert(TrafficArenaLayout::TotalBytes(false) == 710096);
static_assert(TrafficArenaLayout::TotalBytes(true) == 1341476);

// What BuildPaths takes from the module settings.
struct TrafficPathSettings {
    std::string dataRoot;   // the data root folder (native or Windows-style)
    uint32_t serviceBits = kTpegDefaultServiceBits;
    uint32_t stateLimitMs = kTpegDefaultStateLimitMs;
};

class TrafficEngine {
public:
    enum PathIndex { kPathLinkIds, kPathImageIndex, kPathStations, kPathCtt, kPathCttSum, kPathRtm, kPathNws, kPathOpi,
                     kPathCount };

    TrafficEngine(CMgrConfigModuleTPEG& store, TrafficServices& services);
    ~TrafficEngine();
    TrafficEngine(const TrafficEngine&) = delete;
    TrafficEngine& operator=(const TrafficEngine&) = delete;

    CMgrConfigModuleTPEG& Store() { return m_store; }
    int IsLoaded() const { return m_store.IsLoaded(); }

    // --- Link tables and stored transfers --------------------------------
    // Fills the eight table and transfer paths under the data root and takes
    // the service bits and the state limit. 0 when a path does not fit.
    int BuildPaths(const TrafficPathSettings& settings);
    const std::string& GetPath(PathIndex index) const { return m_paths[index]; }
    uint32_t GetServiceBits() const { return m_serviceBits; }
    uint32_t GetStateLimitMs() const { return m_stateLimitMs; }
    // Bytes the block must hold for the configured service bits.
    size_t ArenaBytes() const { return TrafficArenaLayout::TotalBytes(m_serviceBits & kTpegServiceOPI); }
    // Lays the areas out in block and loads the tables. The bytes used, or 0
    // on any failure (and when size is too small); tables larger than their
    // areas are refused. Once per engine.
    int LoadTables(void* block, size_t size);
    // Hands each stored transfer that exists to its basic-layout handler.
    // Always 0.
    int ReplayTransfers();

    int FindLinkIndex(uint32_t linkId) const;
    int FindStationIndex(uint32_t stationId) const;
    int GetLinkTableCount() const { return m_linkCount; }
    int GetStationCount() const { return m_stationCount; }

    // --- Receiver channel (set by the receiver link) ---------------------
    int GetOnChannel() const { return m_onChannel.load(std::memory_order_acquire); }
    int GetChannelType() const { return m_channelType.load(std::memory_order_acquire); }
    // Stores the flag and the channel type (also into the status block);
    // clears nothing (the link decides that).
    void SetChannel(int onChannel, int channelType);
    void SetOpiServiceFlag(int on);
    // The receiver link's current command, shown in the status line.
    void SetLinkCommandState(int command) { m_commandState.store(command, std::memory_order_release); }

    // --- Message handlers: 1 when taken in (a "Pass" included), else 0 ---
    int ReceiveCTT(const uint8_t* payload, size_t size);
    int ReceiveCTTExt(const uint8_t* payload, size_t size);
    int ReceiveCTTSUM(const uint8_t* payload, size_t size);
    int ReceiveCTTSUMExt(const uint8_t* payload, size_t size);
    int ReceiveRTM(const uint8_t* payload, size_t size);
    int ReceiveRTMExt(const uint8_t* payload, size_t size);
    int ReceiveNWS(const uint8_t* payload, size_t size);
    int ReceiveNWSExt(const uint8_t* payload, size_t size);
    int ReceiveOPI(const uint8_t* payload, size_t size);
    int ReceiveOPIExt(const uint8_t* payload, size_t size);

    // --- Clearing, counting, ageing --------------------------------------
    void ClearCTT();
    void ClearCTTSUM();
    void ClearRTM();
    void ClearNWS();
    void ClearOPI();
    void ClearAll();
    void ResetReceptionStatus();
    int GetCTTPercent() const;
    // The periodic state check: the receive-state word, then the ageing of
    // every kind (CTT and CTTSUM after 20 minutes, RTM and NWS after 60, OPI
    // after 72 hours).
    void CheckReceiveState();
    // 1 after a clear and after loading, 0 once a message was stored.
    int IsCleared(TrafficKind kind);

    // Route planning marks the links of the current route; incidents on
    // marked links count as on the route. 0 for an index outside the links.
    int SetRouteLinkMark(int linkIndex, uint8_t mark);

    // --- Queries of the screens (UI thread) ------------------------------
    int GetReceiveStatus(TPEGReceiveStatus* out);
    // Copies the level and speed bytes of one summary index (at most
    // capacity each) under the summary lock; size receives the slot count.
    int GetCTTSUMInfo(int index, int* size, uint8_t* levels, uint8_t* speeds, int capacity, TPEGSystemTime* time);
    int MakeIncidentList(int typeMask, int sortOrder, int onRouteOnly, int32_t x, int32_t y, int* count);
    int GetIncidentList(int start, TPEGIncidentRow* rows, int* count);
    int GetIncidentInfo(int listIndex, TPEGIncidentInfo* out);
    int MakeNewsList(int categoryMask, int sortOrder, int* count);
    int GetNewsList(int start, TPEGNewsRow* rows, int* count);
    int GetNewsInfo(int listIndex, TPEGNewsInfo* out);
    // rows holds kTpegMaxBrandRows.
    int GetOilBrandList(int code, int level, char16_t title[28], TPEGOilBrandRow* rows, int* count);
    int SearchOilStation(const TPEGOilStationQuery& query, int* count);
    int GetOilStationList(int start, TPEGOilStationRow* rows, int* count);
    int GetStatusText(std::u16string* text);

private:
    struct KindState {
        bool enabled = false;
        std::atomic<int> busy{0};
        int updated[2] = {0, 0};   // RTM uses both; [0] is the screens' rebuilt flag
        int cleared = 1;
        uint32_t receiveTick = 0;
        TPEGSystemTime receiveTime;
        size_t lastSize = 0;       // RTM and NWS
    };
    class KindFrame;
    struct IncidentWorkRow;
    struct NewsWorkRow;

    KindState& Kind(TrafficKind kind) { return m_kinds[kind]; }
    // The common end of every stored message: flags, receive time and ticks.
    void FinishStore(TrafficKind kind);
    // A "Pass": a repeated message only refreshes the receive time and tick.
    void TakeReceiveTime(TrafficKind kind);
    void ClearKind(TrafficKind kind);

    int StoreCongestion(uint32_t linkId, uint8_t speed, uint8_t level, int& lastIndex, int& added);
    int ReceiveCttItems(const uint8_t* payload, size_t size, bool extended);
    int ReceiveSummaryItems(const uint8_t* payload, size_t size, bool extended);
    int ReceiveIncidents(const uint8_t* payload, size_t size, bool extended);
    int ReceiveNews(const uint8_t* payload, size_t size, bool extended);
    int ReceivePrices(const uint8_t* payload, size_t size, bool extended);
    bool SameAsStored(TrafficKind kind, const uint8_t* payload, size_t size);
    void AddNewsRecord(uint16_t category, const uint8_t* title, size_t titleBytes, size_t textOffset, size_t textBytes);
    void SplitScrollNews(uint16_t category, size_t textOffset, size_t textBytes);
    void PublishIncidentItems();

    int FillIncidentRows(int start, int want, IncidentWorkRow* rows);
    int FillNewsRows(int start, int want, NewsWorkRow* rows);
    int FillStationRows(int start, int want, TPEGOilStationRow* rows);
    bool OpenStationTable();
    bool ReadStationName(int record, std::string* name);

    CMgrConfigModuleTPEG& m_store;
    TrafficServices& m_services;

    std::string m_paths[kPathCount];
    uint32_t m_serviceBits = kTpegDefaultServiceBits;
    uint32_t m_stateLimitMs = kTpegDefaultStateLimitMs;

    std::atomic<int> m_onChannel{0};
    std::atomic<int> m_channelType{-1};
    std::atomic<int> m_commandState{0};
    KindState m_kinds[kTrafficKindCount];
    uint32_t m_lastDataTick = 0;          // status lock
    TPEGSystemTime m_lastReceiveTime;     // status lock

    // Tables (written once by LoadTables before the store is marked loaded).
    int m_linkCount = 0;
    uint32_t* m_linkIds = nullptr;
    uint8_t* m_linkFlags = nullptr;
    uint8_t* m_routeMarks = nullptr;      // atomic_ref access: route planning writes
    int m_imageIndexCount = 0;
    uint32_t* m_imageIndex = nullptr;
    int m_stationCount = 0;
    uint32_t m_firstStationRecord = 0;

    // CTT (congestion lock)
    int m_cttLastIndex = -1;
    // CTTSUM (summary lock)
    uint8_t* m_sumLevels = nullptr;
    uint8_t* m_sumSpeeds = nullptr;
    uint32_t m_sumLastKey = 0;
    // RTM (incident lock)
    TpegIncidentListEntry* m_incidentList = nullptr;
    int m_incidentListCount = 0;
    TpegIncidentRecord* m_incidents = nullptr;
    int m_incidentCount = 0;
    TpegIncidentPosition* m_incidentPositions = nullptr;
    int m_incidentPositionCount = 0;
    uint32_t* m_announced = nullptr;
    int m_announcedCount = 0;
    uint32_t* m_prevAnnounced = nullptr;
    int m_prevAnnouncedCount = 0;
    int m_candidateRecord = -1;
    int m_candidateType = 0;
    uint8_t* m_rtmPayload = nullptr;
    // NWS (news lock)
    TpegNewsListEntry* m_newsList = nullptr;
    int m_newsListCount = 0;
    TpegNewsRecord* m_news = nullptr;
    int m_newsCount = 0;
    uint8_t* m_newsPayload = nullptr;
    // OPI (fuel-price lock)
    TpegStationPrice* m_prices = nullptr;
    uint8_t* m_stationReceived = nullptr;
    TpegStationResult* m_stationResults = nullptr;
    TpegStationInfo* m_stationInfo = nullptr;
    int m_stationResultCount = 0;
    int m_opiLastIndex = -1;
    TPEGOilStationQuery m_stationQuery;
    platform::File m_stationFile;
};
