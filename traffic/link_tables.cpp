// The link tables ("LinkID.tdb", "ImageIDIdx.tdb", "OpiID.tdb"), the layout
// of the engine's block and the replay of the stored transfers.
#include <algorithm>
#include <cstring>

#include "foundation/debug_trace.h"
#include "platform/byte_cursor.h"
#include "platform/paths.h"
#include "traffic/traffic_engine.h"

namespace {

constexpr const char* kPathNames[TrafficEngine::kPathCount] = {
    "map\\LinkID.tdb",
    "map\\ImageIDIdx.tdb",
    "map\\OpiID.tdb",
    "map\\EVT_CTT_TRANSFER_0.bin",
    "map\\EVT_CTTSUM_TRANSFER_0.bin",
    "map\\EVT_RTM_TRANSFER_0.bin",
    "map\\EVT_NWS_TRANSFER_0.bin",
    "map\\EVT_OPI_TRANSFER_0.bin",
};

uint8_t* AreaAt(uint8_t* block, int area) { return block + TrafficArenaLayout::Offset(area); }

template <class T>
T* RecordsAt(uint8_t* block, int area) {
    // The block comes from an allocator and every area starts at a multiple
    // of 4, which is all these records need.
    static_assert(alignof(T) <= 4);
    return reinterpret_cast<T*>(AreaAt(block, area));
}

bool ReadExact(const platform::File& file, uint64_t offset, void* out, size_t size) {
    return size == 0 || file.ReadExactAt(offset, out, size);
}

}  // namespace

TrafficEngine::TrafficEngine(CMgrConfigModuleTPEG& store, TrafficServices& services)
    : m_store(store), m_services(services) {}

TrafficEngine::~TrafficEngine() = default;

int TrafficEngine::BuildPaths(const TrafficPathSettings& settings) {
    for (int i = 0; i < kPathCount; ++i) {
        std::string path = platform::ResolveUnder(settings.dataRoot, kPathNames[i]);
        if (path.empty()) {
            DebugTrace(1, "***** TPEG !!!Error path too long: %s\n", kPathNames[i]);
            return 0;
        }
        m_paths[i] = std::move(path);
    }
    m_serviceBits = settings.serviceBits;
    m_stateLimitMs = settings.stateLimitMs;
    return 1;
}

int TrafficEngine::LoadTables(void* blockPtr, size_t size) {
    if (!blockPtr || IsLoaded()) return 0;
    auto* block = static_cast<uint8_t*>(blockPtr);
    m_kinds[kTrafficCTT].enabled = m_serviceBits & kTpegServiceCTT;
    m_kinds[kTrafficCTTSUM].enabled = m_serviceBits & kTpegServiceCTTSUM;
    m_kinds[kTrafficRTM].enabled = m_serviceBits & kTpegServiceRTM;
    m_kinds[kTrafficNWS].enabled = m_serviceBits & kTpegServiceNWS;
    m_kinds[kTrafficOPI].enabled = m_serviceBits & kTpegServiceOPI;
    const bool withOpi = m_kinds[kTrafficOPI].enabled;
    const size_t used = TrafficArenaLayout::TotalBytes(withOpi);
    // Checked before anything is written: the areas must fit the block.
    if (size < used) {
        DebugTrace(1, "***** TPEG !!!Error LoadTables block %zu < %zu\n", size, used);
        return 0;
    }
    using L = TrafficArenaLayout;
    m_linkIds = RecordsAt<uint32_t>(block, L::kLinkIds);
    m_linkFlags = AreaAt(block, L::kLinkFlags);
    m_routeMarks = AreaAt(block, L::kRouteMarks);
    m_imageIndex = RecordsAt<uint32_t>(block, L::kImageIndex);
    m_sumLevels = AreaAt(block, L::kSummaryLevels);
    m_sumSpeeds = AreaAt(block, L::kSummarySpeeds);
    // The incident list area is a count and 200 entries.
    m_incidentList = reinterpret_cast<TpegIncidentListEntry*>(AreaAt(block, L::kIncidentList) + 4);
    m_incidents = RecordsAt<TpegIncidentRecord>(block, L::kIncidentRecords);
    m_incidentPositions = RecordsAt<TpegIncidentPosition>(block, L::kIncidentPositions);
    m_announced = RecordsAt<uint32_t>(block, L::kAnnounced);
    m_prevAnnounced = RecordsAt<uint32_t>(block, L::kPrevAnnounced);
    m_rtmPayload = AreaAt(block, L::kRtmPayload);
    m_newsList = RecordsAt<TpegNewsListEntry>(block, L::kNewsList);
    m_news = RecordsAt<TpegNewsRecord>(block, L::kNewsRecords);
    m_newsPayload = AreaAt(block, L::kNewsPayload);
    // Areas read before a message fills them start cleared; the lists are
    // empty through their counts.
    std::memset(m_routeMarks, 0, L::kSizes[L::kRouteMarks]);
    std::memset(m_sumSpeeds, 0, L::kSizes[L::kSummarySpeeds]);
    std::memset(m_rtmPayload, 0, L::kSizes[L::kRtmPayload]);
    std::memset(m_newsPayload, 0, L::kSizes[L::kNewsPayload]);

    // Link id table: N, N ids, N flag bytes.
    {
        platform::File file;
        uint8_t head[4];
        if (!file.Open(m_paths[kPathLinkIds]) || !ReadExact(file, 0, head, 4)) {
            DebugTrace(1, "***** TPEG !!!Error LinkID open/read\n");
            return 0;
        }
        const uint32_t n = platform::ByteReader(head, 4).U32();
        if (n > static_cast<uint32_t>(kTpegMaxLinks)) {
            DebugTrace(1, "***** TPEG !!!Error LinkID %u links > %d\n", n, kTpegMaxLinks);
            return 0;
        }
        std::vector<uint8_t> ids(static_cast<size_t>(n) * 4);
        if (!ReadExact(file, 4, ids.data(), ids.size()) || !ReadExact(file, 4 + ids.size(), m_linkFlags, n)) {
            DebugTrace(1, "***** TPEG !!!Error LinkID read\n");
            return 0;
        }
        platform::ByteReader r(ids);
        for (uint32_t i = 0; i < n; ++i) m_linkIds[i] = r.U32();
        m_linkIds[n] = 0xFFFFFFFF;
        if (!m_store.BuildLinkArrays(static_cast<int>(n))) return 0;
        m_linkCount = static_cast<int>(n);
    }

    // Image index table: u32 entries; entry k starts summary index k.
    {
        std::vector<uint8_t> bytes;
        if (!platform::ReadWholeFile(m_paths[kPathImageIndex], bytes)) {
            DebugTrace(1, "***** TPEG !!!Error ImageIDIdx open/read\n");
            return 0;
        }
        if (bytes.size() > L::kSizes[L::kImageIndex] || bytes.size() % 4 != 0) {
            DebugTrace(1, "***** TPEG !!!Error ImageIDIdx size %zu\n", bytes.size());
            return 0;
        }
        platform::ByteReader r(bytes);
        const int count = static_cast<int>(bytes.size() / 4);
        for (int i = 0; i < count; ++i) {
            m_imageIndex[i] = r.U32();
            // Every slot a key can reach must lie in the summary areas.
            if (m_imageIndex[i] > static_cast<uint32_t>(kTpegSummarySlots) ||
                (i > 0 && m_imageIndex[i] < m_imageIndex[i - 1])) {
                DebugTrace(1, "***** TPEG !!!Error ImageIDIdx entry %d = %u\n", i, m_imageIndex[i]);
                return 0;
            }
        }
        m_imageIndexCount = count;
        std::memset(m_sumLevels, 255, kTpegSummarySlots);
    }

    m_candidateRecord = -1;

    if (withOpi) {
        m_prices = RecordsAt<TpegStationPrice>(block, L::kStationPrices);
        m_stationReceived = AreaAt(block, L::kStationReceived);
        m_stationResults = RecordsAt<TpegStationResult>(block, L::kStationResults);
        m_stationInfo = RecordsAt<TpegStationInfo>(block, L::kStationInfo);
        platform::File file;
        uint8_t head[4 + kTpegStationHeaderBytes];
        if (!file.Open(m_paths[kPathStations]) || !ReadExact(file, 0, head, sizeof head)) {
            DebugTrace(1, "***** TPEG !!!Error OpiID open/read\n");
            return 0;
        }
        const uint32_t m = platform::ByteReader(head, 4).U32();
        if (m > static_cast<uint32_t>(kTpegMaxStations)) {
            DebugTrace(1, "***** TPEG !!!Error OpiID %u stations > %d\n", m, kTpegMaxStations);
            return 0;
        }
        const int64_t fileSize = file.Size();
        std::vector<uint8_t> ids(static_cast<size_t>(m) * 2);
        std::vector<uint8_t> records(static_cast<size_t>(m) * kTpegStationRecordBytes);
        const uint64_t idsAt = sizeof head;
        if (!ReadExact(file, idsAt, ids.data(), ids.size()) ||
            !ReadExact(file, idsAt + ids.size(), records.data(), records.size())) {
            DebugTrace(1, "***** TPEG !!!Error OpiID read\n");
            return 0;
        }
        platform::ByteReader idReader(ids);
        for (uint32_t i = 0; i < m; ++i) m_prices[i] = TpegStationPrice{idReader.U16(), 0, 0, 0, 0};
        platform::ByteReader rec(records);
        int blanked = 0;
        for (uint32_t i = 0; i < m; ++i) {
            TpegStationInfo& info = m_stationInfo[i];
            info.wPriceEntry = rec.U16();
            info.dwNameOffset = rec.U32();
            info.yNameLength = rec.U8();
            info.yKindBits = rec.U8();
            info.yBrand = rec.U8();
            info.x = rec.I32();
            info.y = rec.I32();
            rec.Skip(6);  // telephone: read from the file when a row is formatted
            // A record pointing outside the id list points at the entry after
            // it, which never has a price; a name outside the file is empty.
            bool bad = false;
            if (info.wPriceEntry >= m) {
                info.wPriceEntry = static_cast<uint16_t>(m);
                bad = true;
            }
            if (info.yNameLength > 35) {
                info.yNameLength = 35;
                bad = true;
            }
            if (static_cast<int64_t>(info.dwNameOffset) + info.yNameLength > fileSize) {
                info.yNameLength = 0;
                bad = true;
            }
            blanked += bad;
        }
        if (blanked) DebugTrace(1, "***** TPEG OpiID %d damaged station records blanked\n", blanked);
        m_prices[m] = TpegStationPrice{0xFFFF, -1, -1, -1, 0xFFFFFFFF};
        std::memset(m_stationReceived, 255, L::kSizes[L::kStationReceived]);
        m_stationCount = static_cast<int>(m);
        m_firstStationRecord = static_cast<uint32_t>(idsAt + ids.size());
    }

    for (KindState& kind : m_kinds) {
        kind.receiveTime = TPEGSystemTime{};
        kind.cleared = 1;
    }
    m_store.SetLoaded(1);
    return static_cast<int>(used);
}

int TrafficEngine::ReplayTransfers() {
    if (!IsLoaded()) return 0;
    std::vector<uint8_t> buffer;
    struct Replay {
        PathIndex path;
        int (TrafficEngine::*handler)(const uint8_t*, size_t);
    };
    static constexpr Replay kReplays[] = {
        {kPathCtt, &TrafficEngine::ReceiveCTT},   {kPathCttSum, &TrafficEngine::ReceiveCTTSUM},
        {kPathRtm, &TrafficEngine::ReceiveRTM},   {kPathNws, &TrafficEngine::ReceiveNWS},
        {kPathOpi, &TrafficEngine::ReceiveOPI},
    };
    for (const Replay& replay : kReplays) {
        platform::File file;
        if (!file.Open(m_paths[replay.path])) continue;  // a missing transfer is skipped
        const int64_t length = file.Size();
        if (length < 0 || static_cast<uint64_t>(length) > kTpegReplayBufferBytes) {
            DebugTrace(1, "***** TPEG !!!Error stored transfer too large: %s (%lld)\n", m_paths[replay.path].c_str(),
                       static_cast<long long>(length));
            continue;
        }
        buffer.resize(static_cast<size_t>(length));
        if (!ReadExact(file, 0, buffer.data(), buffer.size())) continue;
        (this->*replay.handler)(buffer.data(), buffer.size());
    }
    return 0;
}

int TrafficEngine::FindLinkIndex(uint32_t linkId) const {
    if (!m_linkIds) return -1;
    const uint32_t* begin = m_linkIds;
    const uint32_t* end = m_linkIds + m_linkCount;
    const uint32_t* it = std::lower_bound(begin, end, linkId);
    return (it != end && *it == linkId) ? static_cast<int>(it - m_linkIds) : -1;
}

int TrafficEngine::FindStationIndex(uint32_t stationId) const {
    if (!m_prices) return -1;
    const uint16_t id = static_cast<uint16_t>(stationId);
    const TpegStationPrice* begin = m_prices;
    const TpegStationPrice* end = m_prices + m_stationCount;
    const TpegStationPrice* it = std::lower_bound(
        begin, end, id, [](const TpegStationPrice& p, uint16_t v) { return p.wStationId < v; });
    return (it != end && it->wStationId == id) ? static_cast<int>(it - m_prices) : -1;
}
