#include "guidance/toll_price.h"

#include <algorithm>
#include <cstring>

#include "foundation/debug_trace.h"
#include "mapdb/small_readers.h"
#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "settings/global_data.h"

TollPassedRecord DecodeTollFile(const uint8_t* data, size_t size) {
    uint8_t image[kTollFileBytes] = {};
    if (data && size) std::memcpy(image, data, std::min(size, kTollFileBytes));
    platform::ByteReader r(image, sizeof image);
    TollPassedRecord rec;
    rec.count = std::clamp(r.I32(), 0, kTollPassedMax);
    for (int32_t& v : rec.passValue) v = r.I32();
    for (int32_t& v : rec.gateId) v = r.I32();
    // Entries past the count are not part of the list.
    for (int i = rec.count; i < kTollPassedMax; ++i) rec.passValue[i] = rec.gateId[i] = 0;
    return rec;
}

std::vector<uint8_t> EncodeTollFile(const TollPassedRecord& record) {
    platform::ByteWriter w;
    w.I32(record.count);
    for (int32_t v : record.passValue) w.I32(v);
    for (int32_t v : record.gateId) w.I32(v);
    return w.Data();
}

TollFareEntry DecodeTollFareEntry(const uint8_t* bytes20) {
    platform::ByteReader r(bytes20, kMneTollGateRecordSize);
    r.Skip(2);
    TollFareEntry e;
    e.otherGate = r.U16();
    e.kind = r.U16();
    e.continueFrom = r.U16();
    for (uint16_t& p : e.price) p = r.U16();
    return e;
}

bool FindGateEntry(const uint8_t* table, int count, int otherGate, TollFareEntry* out) {
    int lo = 0, hi = count - 1;
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        const TollFareEntry e = DecodeTollFareEntry(table + static_cast<size_t>(mid) * kMneTollGateRecordSize);
        if (e.otherGate == otherGate) {
            if (out) *out = e;
            return true;
        }
        if (e.otherGate < otherGate) lo = mid + 1;
        else hi = mid - 1;
    }
    return false;
}

int CMneCalTollPrice::Open(const char16_t* fileName, CMneTollGateMapFile* reader) {
    if (!reader) return 0;
    std::u16string path(CMgrConfigGlobalData::Instance().m_configFolder);
    if (path.empty() || !fileName || !*fileName) return -1;
    path += fileName;
    std::string native;
    if (!platform::NativePath(platform::Utf16ToUtf8(path), native)) return -1;
    return OpenAt(native, reader);
}

int CMneCalTollPrice::OpenAt(const std::string& nativePath, CMneTollGateMapFile* reader) {
    if (!reader) return 0;
    MgrLock hold(m_lock);
    m_reader = reader;
    m_path = nativePath;
    m_record = TollPassedRecord{};
    if (nativePath.empty()) return 0;
    if (!platform::FileExists(nativePath)) return SaveLocked() ? 1 : 0;  // created empty
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(nativePath, bytes)) {
        DebugTrace(1, "[SVC] Toll.dat cannot be read\n");
        return 0;
    }
    m_record = DecodeTollFile(bytes.data(), bytes.size());
    return 1;
}

void CMneCalTollPrice::Close() {
    MgrLock hold(m_lock);
    m_path.clear();
}

int CMneCalTollPrice::SaveLocked() {
    if (m_path.empty()) return 0;
    return platform::AtomicReplaceFile(m_path, EncodeTollFile(m_record)) ? 1 : 0;
}

int CMneCalTollPrice::Save() {
    MgrLock hold(m_lock);
    return SaveLocked();
}

TollPassedRecord CMneCalTollPrice::Passed() const {
    MgrLock hold(m_lock);
    return m_record;
}

void CMneCalTollPrice::SetContinuation(bool on) {
    MgrLock hold(m_lock);
    m_continuation = on;
}

int CMneCalTollPrice::AddPassed(int32_t gateId, int32_t passValue) {
    MgrLock hold(m_lock);
    TollPassedRecord& r = m_record;
    if (r.count > 0 && r.gateId[r.count - 1] == gateId) return 0;
    if (r.count >= kTollPassedMax) {
        const int keep = 2;
        for (int i = 0; i < keep; ++i) {
            r.passValue[i] = r.passValue[kTollPassedMax - keep + i];
            r.gateId[i] = r.gateId[kTollPassedMax - keep + i];
        }
        for (int i = keep; i < kTollPassedMax; ++i) r.passValue[i] = r.gateId[i] = 0;
        r.count = keep;
    }
    r.passValue[r.count] = passValue;
    r.gateId[r.count] = gateId;
    ++r.count;
    SaveLocked();
    return 1;
}

int CMneCalTollPrice::ClearPassed() {
    MgrLock hold(m_lock);
    if (m_record.count == 0) return 0;
    m_record = TollPassedRecord{};
    SaveLocked();
    return 1;
}

bool CMneCalTollPrice::ReadTable(int gate, std::vector<uint8_t>& out) {
    out.clear();
    if (!m_reader) return false;
    MgrLock hold(m_reader->Lock());
    int count = 0;
    const MneTollGateRecord* records = m_reader->GetTollGate(gate, &count);
    if (!records || count <= 0) return false;
    out.resize(static_cast<size_t>(count) * kMneTollGateRecordSize);
    for (int i = 0; i < count; ++i)
        std::memcpy(out.data() + static_cast<size_t>(i) * kMneTollGateRecordSize, records[i].bytes,
                    kMneTollGateRecordSize);
    return true;
}

namespace {

void TakePrices(tagTOLLGATE& gate, const TollFareEntry& e) {
    for (int k = 0; k < kTollVehicleClasses; ++k) gate.price[k] = e.price[k];
}

}  // namespace

int CMneCalTollPrice::PriceRoute(int gateCount, tagTOLLGATE* gates) {
    if (gateCount <= 0 || !gates) return 0;
    MgrLock hold(m_lock);
    std::vector<tagTOLLGATE> list;
    auto passedEntries = [&](int n) {
        for (int i = 0; i < n; ++i) {
            tagTOLLGATE g;
            g.gateId = m_record.gateId[i];
            g.kind = kTollGatePassed;
            list.push_back(g);
        }
    };
    const int passed = m_record.count;
    if (passed == 0 || (gates[0].kind != kTollGateFirstOnHighway && gateCount > 1)) {
        if (!m_continuation && passed > 0) {
            m_record = TollPassedRecord{};
            SaveLocked();
        }
    } else if (gates[0].gateId == m_record.gateId[passed - 1]) {
        if (m_continuation) passedEntries(passed - 1);
    } else {
        passedEntries(passed);
    }
    const size_t routeStart = list.size();
    list.insert(list.end(), gates, gates + gateCount);

    const int n = static_cast<int>(list.size());
    int pending = 0;
    std::vector<uint8_t> table;
    for (int i = 0; i < n;) {
        if (pending == 0) {
            int from = list[static_cast<size_t>(i)].gateId;
            if (!ReadTable(from, table)) return 0;
            TollFareEntry own;
            const int count = static_cast<int>(table.size() / kMneTollGateRecordSize);
            if (FindGateEntry(table.data(), count, from, &own) && own.kind != kTollFareNone) {
                TakePrices(list[static_cast<size_t>(i)], own);  // a fixed price at that gate
                if (own.kind == kTollFareContinue && own.continueFrom > 0) {
                    from = own.continueFrom;
                    if (!ReadTable(from, table)) return 0;
                }
            }
            if (list[static_cast<size_t>(i)].kind == kTollGateFirstOffHighway) {
                ++i;
                continue;
            }
        } else if (!ReadTable(pending, table)) {
            return 0;
        }
        if (i + 1 >= n || list[static_cast<size_t>(i + 1)].kind == kTollGateNewStretch) {
            pending = 0;
            ++i;
            continue;
        }
        tagTOLLGATE& next = list[static_cast<size_t>(i + 1)];
        TollFareEntry e;
        const int count = static_cast<int>(table.size() / kMneTollGateRecordSize);
        if (FindGateEntry(table.data(), count, next.gateId, &e)) {
            if (e.kind == kTollFareNone) {
                std::fill(std::begin(next.price), std::end(next.price), kTollNoFare);
            } else {
                TakePrices(next, e);
            }
            if (e.kind == kTollFareContinue && e.continueFrom > 0) {
                pending = e.continueFrom;
                ++i;
            } else {
                pending = 0;
                i += 2;  // the next entry was the exit of this pair
            }
        } else {
            std::fill(std::begin(next.price), std::end(next.price), kTollNoFare);
            pending = 0;
            ++i;
        }
    }
    std::copy(list.begin() + static_cast<long>(routeStart), list.end(), gates);
    return 1;
}
