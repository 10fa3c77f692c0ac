#include "search/name_search.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <thread>

#include "foundation/coords.h"
#include "foundation/debug_trace.h"
#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "search/area_codes.h"
#include "search/search_keys.h"

namespace {

const char* const kNameFiles[3][5] = {
    {"nvr.sdb", "Idx.sdb", "chosungidx.sdb", "cho_addr_idx.sdb", "wansungidx.sdb"},
    {"sch_corp.sdb", "sch_corp_ext_idx.sdb", "sch_corp_chosungidx.sdb", "sch_corp_cho_addr_idx.sdb",
     "sch_corp_wansungidx.sdb"},
    {"sch_apt.sdb", "sch_apt_ext_idx.sdb", "sch_apt_chosungidx.sdb", "sch_apt_cho_addr_idx.sdb",
     "sch_apt_wansungidx.sdb"},
};

// The first KS X 1001 syllable of each initial (CP949), and a bound above
// the last one.
constexpr uint8_t kFirstSyllable[20][2] = {
    {0xB0, 0xA1}, {0xB1, 0xEE}, {0xB3, 0xAA}, {0xB4, 0xD9}, {0xB5, 0xFB}, {0xB6, 0xF3}, {0xB8, 0xB6},
    {0xB9, 0xD9}, {0xBA, 0xFC}, {0xBB, 0xE7}, {0xBD, 0xCE}, {0xBE, 0xC6}, {0xC0, 0xDA}, {0xC2, 0xA5},
    {0xC2, 0xF7}, {0xC4, 0xAB}, {0xC5, 0xB8}, {0xC6, 0xC4}, {0xC7, 0xCF}, {0xC8, 0xFF},
};

// Initial-consonant key byte of every two-byte CP949 character, made once.
const std::vector<uint8_t>& TwoByteKeys() {
    static const std::vector<uint8_t> table = [] {
        std::vector<uint8_t> t(65536, 0);
        std::string ch(2, '\0');
        std::u16string u;
        for (int lead = 0x81; lead <= 0xFE; ++lead)
            for (int trail = 0x41; trail <= 0xFE; ++trail) {
                ch[0] = static_cast<char>(lead);
                ch[1] = static_cast<char>(trail);
                u.clear();
                if (!platform::Cp949ToUtf16(ch, u) || u.size() != 1) continue;
                t[static_cast<size_t>(lead << 8 | trail)] = MakeInitialKey(u, 1)[0];
            }
        return t;
    }();
    return table;
}

uint8_t CharKey(const uint8_t* p, size_t n) {
    if (n == 2) return TwoByteKeys()[static_cast<size_t>(p[0] << 8 | p[1])];
    static const std::string_view kText = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ!%&()+,-./?@_";
    const size_t at = kText.find(static_cast<char>(p[0]));
    return at == std::string_view::npos || p[0] == 0 ? 0 : static_cast<uint8_t>(at + 1);
}

size_t CharLen(std::string_view s, size_t pos) {
    const size_t n = Cp949CharBytes(static_cast<uint8_t>(s[pos]));
    return pos + n <= s.size() ? n : 1;
}

// Compares the initial-consonant key of the first n characters of a CP949
// name (padded with zeros) with the first n bytes of key (likewise).
int CompareNameInitials(std::string_view name, const std::vector<uint8_t>& key, size_t n) {
    size_t pos = 0;
    for (size_t i = 0; i < n; ++i) {
        uint8_t x = 0;
        if (pos < name.size()) {
            const size_t len = CharLen(name, pos);
            x = CharKey(reinterpret_cast<const uint8_t*>(name.data() + pos), len);
            pos += len;
        }
        const uint8_t y = i < key.size() ? key[i] : 0;
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

int CompareBytes(std::string_view a, std::string_view b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const uint8_t x = i < a.size() ? static_cast<uint8_t>(a[i]) : 0;
        const uint8_t y = i < b.size() ? static_cast<uint8_t>(b[i]) : 0;
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

uint32_t LeU32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

uint32_t ReadU32(const platform::File& f, uint64_t at, bool* ok = nullptr) {
    uint8_t b[4];
    const bool got = f.IsOpen() && f.ReadExactAt(at, b, 4);
    if (ok) *ok = got;
    return got ? platform::ByteReader(b, 4).U32() : 0;
}

// Reads a list of u32 through a 16 KB buffer.
class ListReader {
public:
    ListReader(const platform::File& f, uint64_t at, uint32_t count) : m_file(f), m_at(at), m_count(count) {}
    bool Next(uint32_t& value) {
        if (m_pos == m_count) return false;
        if (m_pos == m_bufStart + m_bufCount) {
            m_bufStart = m_pos;
            m_bufCount = std::min<uint32_t>(m_count - m_pos, kNameReadBufferBytes / 4);
            if (!m_file.ReadExactAt(m_at + uint64_t{m_pos} * 4, m_buf, m_bufCount * 4)) {
                m_count = m_pos;
                return false;
            }
        }
        const uint8_t* p = m_buf + (m_pos - m_bufStart) * 4;
        value = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
        ++m_pos;
        return true;
    }

private:
    const platform::File& m_file;
    uint64_t m_at;
    uint32_t m_count, m_pos = 0, m_bufStart = 0, m_bufCount = 0;
    uint8_t m_buf[kNameReadBufferBytes];
};

}  // namespace

bool NameReadWindow::Read(const platform::File& file, uint64_t at, void* out, size_t n) {
    if (n > sizeof m_buf) return file.ReadExactAt(at, out, n);
    if (m_file != &file || at < m_start || at + n > m_start + m_size) {
        // A read just past the window goes on in file order: each such
        // refill doubles the window, up to the whole buffer, so that a short
        // walk does not pay for 16 KB and a long one soon reads in large
        // blocks. Any other miss reads one small block, so that scattered
        // reads do not each pay for 16 KB.
        const bool onward = m_file == &file && at >= m_start + m_size && at < m_start + m_size + 4096;
        const size_t fill = onward ? std::min(sizeof m_buf, std::max(2 * m_size, n + kSmallFill))
                                   : std::max<size_t>(kSmallFill, n + 64);
        const uint64_t start = onward ? at : (at > m_behind && fill == sizeof m_buf ? at - m_behind : at) & ~uint64_t{63};
        const int64_t got = file.IsOpen() ? file.ReadAt(start, m_buf, fill) : -1;
        if (got < 0) {
            Reset();
            return false;
        }
        m_file = &file;
        m_start = start;
        m_size = static_cast<size_t>(got);
        if (at + n > m_start + m_size) return false;
    }
    std::memcpy(out, m_buf + (at - m_start), n);
    return true;
}

const char* const* NameFileNames(uint32_t kind) { return kind <= 2 ? kNameFiles[kind] : nullptr; }

bool CategoryPasses(uint32_t cateIndex, uint32_t filter) {
    if (filter == 0) return true;
    for (uint32_t q = cateIndex; q >= filter; q /= 30)
        if (q == filter) return true;
    return false;
}

std::vector<uint32_t> MergedAreaMembers(uint32_t code) {
    const int row = FindCityRow(code);
    if (row < 0) return {};
    std::vector<uint32_t> out;
    for (uint32_t member : CityDistrictTable()[row].districts)
        if (member) out.push_back(member);
    return out;
}

bool AreaPasses(uint32_t areaCode, uint32_t filter) {
    if (filter == 0) return true;
    const uint32_t* codes = &filter;
    size_t n = 1;
    if (filter >= 100 && filter <= 9999)
        if (const int row = FindCityRow(filter); row >= 0) {
            codes = CityDistrictTable()[row].districts;
            n = 0;
            while (n < std::size(CityDistrictTable()[row].districts) && codes[n]) ++n;
        }
    for (uint32_t q = areaCode; q > 0; q /= 100)
        for (size_t i = 0; i < n; ++i)
            if (codes[i] == q) return true;
    return false;
}

uint32_t ShortAreaCode(uint32_t code) {
    while (code > 9999) code /= 100;
    return code;
}

std::vector<uint8_t> NameInitialKey(std::string_view name) {
    std::vector<uint8_t> key;
    for (size_t pos = 0; pos < name.size();) {
        const size_t n = CharLen(name, pos);
        key.push_back(CharKey(reinterpret_cast<const uint8_t*>(name.data() + pos), n));
        pos += n;
    }
    return key;
}

const char* NameRoutineName(NameRoutine routine) {
    switch (routine) {
    case NameRoutine::kSingleChar: return "SearchOneChar";
    case NameRoutine::kAptName: return "SearchAptName";
    case NameRoutine::kFullText: return "SearchFullText";
    case NameRoutine::kConsonant: return "SearchChosung";
    case NameRoutine::kHonhap: return "Search2WDHonhapText";
    case NameRoutine::kHonhapFirstCh: return "Search2WDHonhapTextFirstCh";
    case NameRoutine::kFullName: return "FullNameSearch";
    case NameRoutine::kConsonantRange: return "ChosungRange";
    case NameRoutine::kHonhapRange: return "HonhapRange";
    case NameRoutine::kNameRange: return "NameRange";
    }
    return "";
}

NcSearchMain::NcSearchMain()
    : m_recordWindow(4096), m_nameWindow(4096), m_listWindow(8192), m_entryWindow(8192) {
    m_hits.reserve(kNameHitCap);
    // The key table is made once, before the first search needs it.
    (void)TwoByteKeys();
}

void NcSearchMain::ResetWindows() {
    m_recordWindow.Reset();
    m_nameWindow.Reset();
    m_listWindow.Reset();
    m_entryWindow.Reset();
}

int NcSearchMain::OpenNameFiles(uint32_t kind) {
    const char* const* names = NameFileNames(kind);
    if (!names) return 0;
    if (kind == m_kind && m_base.IsOpen()) return 1;
    m_kind = 0xFFFFFFFF;
    platform::File* files[5] = {&m_base, &m_pairs, &m_initials, &m_byArea, &m_full};
    for (int i = 0; i < 5; ++i) {
        files[i]->Close();
        if (!m_folder.empty()) files[i]->Open(platform::NativePath(m_folder + names[i]));
    }
    return ReadNameHeads(kind);
}

int NcSearchMain::ReadNameHeads(uint32_t kind) {
    ResetWindows();
    m_recordCount = ReadU32(m_base, 0);
    const int64_t size = m_base.IsOpen() ? m_base.Size() : 0;
    // A count the file cannot hold is cut to the records it holds.
    m_recordCount = static_cast<uint32_t>(
        std::min<int64_t>(m_recordCount, std::max<int64_t>(size / kPoiBaseRecordBytes - 1, 0)));
    m_pairCount = ReadU32(m_pairs, 0);
    m_initialView = {&m_initials, 16, ReadU32(m_initials, 0)};
    m_fullView = {&m_full, 16, ReadU32(m_full, 0)};
    BuildFence(m_initialView, m_initialFence);
    BuildFence(m_fullView, m_fullFence);
    m_areaCount = ReadU32(m_byArea, 0);
    if (!m_base.IsOpen()) return 0;
    m_kind = kind;
    return 1;
}

namespace {
constexpr const char* kDetailFileNames[5] = {"sch_poi_idx.sdb", "poi_detail.sdb", "building.sdb", "poi_sub.sdb",
                                             "nvr.sdb"};
}  // namespace

int NcSearchMain::OpenDetailFiles() {
    platform::File* files[5] = {&m_poiIdx, &m_detail, &m_building, &m_sub, &m_places};
    for (int i = 0; i < 5; ++i) {
        files[i]->Close();
        if (!m_folder.empty()) files[i]->Open(platform::NativePath(m_folder + kDetailFileNames[i]));
    }
    return ReadDetailHeads();
}

int NcSearchMain::ReadDetailHeads() {
    ResetWindows();
    m_poiIdxCount = ReadU32(m_poiIdx, 0);
    m_detailCount = ReadU32(m_detail, 0);
    m_buildingCount = ReadU32(m_building, 0);
    m_subCount = ReadU32(m_sub, 0);
    m_placeCount = ReadU32(m_places, 0);
    const int64_t size = m_places.IsOpen() ? m_places.Size() : 0;
    m_placeCount = static_cast<uint32_t>(
        std::min<int64_t>(m_placeCount, std::max<int64_t>(size / kPoiBaseRecordBytes - 1, 0)));
    return 1;
}

int NcSearchMain::UseFile(std::string_view name, platform::File file) {
    if (const char* const* names = NameFileNames(m_kind)) {
        platform::File* files[5] = {&m_base, &m_pairs, &m_initials, &m_byArea, &m_full};
        for (int i = 0; i < 5; ++i)
            if (name == names[i]) {
                *files[i] = std::move(file);
                return ReadNameHeads(m_kind);
            }
    }
    platform::File* files[5] = {&m_poiIdx, &m_detail, &m_building, &m_sub, &m_places};
    for (int i = 0; i < 5; ++i)
        if (name == kDetailFileNames[i]) {
            *files[i] = std::move(file);
            return ReadDetailHeads();
        }
    return 0;
}

void NcSearchMain::SetJob(std::string_view keyword, const NameFilter& filter, uint8_t orderBy) {
    m_keyword = std::string(keyword);
    m_keyChars.clear();
    m_keywordInitials.clear();
    for (size_t pos = 0; pos < m_keyword.size();) {
        const size_t n = CharLen(m_keyword, pos);
        KeyChar c;
        c.bytes = m_keyword.substr(pos, n);
        const auto* p = reinterpret_cast<const uint8_t*>(c.bytes.data());
        c.jamo = n == 2 && IsCp949Jamo(p[0], p[1]);
        c.key = CharKey(p, n);
        m_keywordInitials.push_back(c.key);
        m_keyChars.push_back(std::move(c));
        pos += n;
    }
    m_filter = filter;
    m_orderBy = orderBy;
}

int NcSearchMain::Cancelled() {
    // The scheduler preempts the worker anyway; giving the processor up on
    // every candidate only slows a search on a busy machine, so once every
    // 256 candidates.
    if ((++m_steps & 0xFF) == 0) std::this_thread::yield();
    return m_cancelled ? m_cancelled() : 0;
}

int NcSearchMain::Stopped(const char* routine, int reason) {
    if (reason == kNameStopOff)
        DebugTrace(1, "\n----- ExitSearch (%s) : %s-----\n", routine, m_keyword.c_str());
    else
        DebugTrace(1, "\n----- SkipSearch (%s) : %s-----\n", routine, m_keyword.c_str());
    m_hits.clear();
    m_shortPath = false;
    m_rangeCount = 0;
    return 1;
}

int NcSearchMain::ReadRecordFrom(const platform::File& file, uint32_t count, uint32_t record, PoiBaseRecord& out) {
    out = {};
    uint8_t bytes[kPoiBaseRecordBytes - 5];
    if (record >= count || !file.ReadExactAt((uint64_t{record} + 1) * kPoiBaseRecordBytes + 5, bytes, sizeof bytes))
        return 0;
    platform::ByteReader r(bytes, sizeof bytes);
    out.bFlags = r.U8();
    out.nPOIID = r.U32();
    out.wCatePacked = r.U16();
    out.uAreaCode = r.U32();
    out.wTelArea = r.U16();
    out.uTelNumber = r.U32();
    out.x = r.U32();
    out.y = r.U32();
    return 1;
}

std::string NcSearchMain::ReadNameFrom(const platform::File& file, uint32_t count, uint32_t record) {
    uint8_t head[5];
    if (record >= count || !file.ReadExactAt((uint64_t{record} + 1) * kPoiBaseRecordBytes, head, 5)) return {};
    platform::ByteReader r(head, 5);
    const uint32_t offset = r.U32();
    std::string name(r.U8(), '\0');
    if (!file.ReadExactAt(offset, name.data(), name.size())) return {};
    return name;
}

int NcSearchMain::ReadRecord(uint32_t record, PoiBaseRecord& out) {
    out = {};
    uint8_t b[kPoiBaseRecordBytes - 5];
    if (record >= m_recordCount ||
        !m_recordWindow.Read(m_base, (uint64_t{record} + 1) * kPoiBaseRecordBytes + 5, b, sizeof b))
        return 0;
    out.bFlags = b[0];
    out.nPOIID = LeU32(b + 1);
    out.wCatePacked = static_cast<uint16_t>(b[5] | b[6] << 8);
    out.uAreaCode = LeU32(b + 7);
    out.wTelArea = static_cast<uint16_t>(b[11] | b[12] << 8);
    out.uTelNumber = LeU32(b + 13);
    out.x = LeU32(b + 17);
    out.y = LeU32(b + 21);
    return 1;
}

std::string_view NcSearchMain::NameOf(uint32_t record) {
    uint8_t head[5];
    m_nameScratch.clear();
    if (record >= m_recordCount || !m_recordWindow.Read(m_base, (uint64_t{record} + 1) * kPoiBaseRecordBytes, head, 5))
        return {};
    m_nameScratch.resize(head[4]);
    if (!m_nameWindow.Read(m_base, LeU32(head), m_nameScratch.data(), m_nameScratch.size())) m_nameScratch.clear();
    return m_nameScratch;
}

std::string NcSearchMain::ReadName(uint32_t record) { return std::string(NameOf(record)); }

uint32_t NcSearchMain::DistanceTo(const PoiBaseRecord& record) const {
    if (m_filter.centerX <= 0 || m_filter.centerY <= 0) return 0;
    return CalcApproxDistance(m_filter.centerX, m_filter.centerY, static_cast<int32_t>(record.x),
                              static_cast<int32_t>(record.y));
}

bool NcSearchMain::MatchesAt(std::string_view name, size_t pos, bool consonantMask) const {
    for (const KeyChar& c : m_keyChars) {
        if (pos >= name.size()) return false;
        const size_t n = CharLen(name, pos);
        if (consonantMask && c.jamo) {
            if (CharKey(reinterpret_cast<const uint8_t*>(name.data() + pos), n) != c.key) return false;
        } else if (name.substr(pos, n) != c.bytes) {
            return false;
        }
        pos += n;
    }
    return true;
}

bool NcSearchMain::PrefixMatches(std::string_view name, bool consonantMask) const {
    return MatchesAt(name, 0, consonantMask);
}

bool NcSearchMain::ContainsKeyword(std::string_view name, bool consonantMask) const {
    for (size_t pos = 0; pos < name.size(); pos += CharLen(name, pos))
        if (MatchesAt(name, pos, consonantMask)) return true;
    return false;
}

bool NcSearchMain::Consider(uint32_t record, const std::function<bool(std::string_view)>& test) {
    PoiBaseRecord r;
    if (!ReadRecord(record, r)) return true;
    if (m_kind != 1 && !CategoryPasses(CateIndexOf(r.wCatePacked), m_filter.cateIndex)) return true;
    if (!AreaPasses(r.uAreaCode, m_filter.areaCode)) return true;
    const uint32_t distance = DistanceTo(r);
    if (m_filter.radiusM && m_filter.centerX > 0 && m_filter.centerY > 0) {
        const double dx = std::abs(double(r.x) - m_filter.centerX), dy = std::abs(double(r.y) - m_filter.centerY);
        if (dx > m_filter.radiusM / 0.169 || dy > m_filter.radiusM / 0.212 || distance > m_filter.radiusM)
            return true;
    }
    if (test && !test(NameOf(record))) return true;
    m_hits.push_back({r.nPOIID, record, distance});
    return m_hits.size() < kNameHitCap;
}

int NcSearchMain::Finish(bool sortByRecord) {
    if (sortByRecord && m_orderBy == 0)
        std::sort(m_hits.begin(), m_hits.end(), [](const NameHit& a, const NameHit& b) { return a.nRecord < b.nRecord; });
    if (m_hits.empty()) return 0;
    return m_hits.size() >= kNameHitCap ? 2 : 1;
}

bool NcSearchMain::ReadEntry(const IndexView& view, uint32_t i, KeyEntry& e) const {
    uint8_t b[kNameIndexEntryBytes];
    if (!view.file || i >= view.entryCount ||
        !m_entryWindow.Read(*view.file, view.entriesAt + uint64_t{i} * kNameIndexEntryBytes, b, sizeof b))
        return false;
    std::memcpy(e.text.data(), b, 4);
    platform::ByteReader r(b + 4, 12);
    e.first = r.U32();
    e.count = r.U32();
    e.listOffset = r.U32();
    return true;
}

void NcSearchMain::BuildFence(const IndexView& view, Fence& fence) {
    fence.clear();
    if (!view.file || !view.file->IsOpen() || view.entryCount == 0) return;
    if (view.entriesAt + uint64_t{view.entryCount} * kNameIndexEntryBytes > static_cast<uint64_t>(view.file->Size()))
        return;
    // The entries are read in file order, a buffer at a time; an entry table
    // the file does not hold leaves no fence (the look-ups then search the
    // file, which fails the same way).
    fence.reserve((view.entryCount + kFenceStep - 1) / kFenceStep);
    constexpr uint32_t kChunk = 1024;  // entries per read, a multiple of the step
    std::vector<uint8_t> buf(size_t{kChunk} * kNameIndexEntryBytes);
    for (uint32_t at = 0; at < view.entryCount; at += kChunk) {
        const uint32_t n = std::min(kChunk, view.entryCount - at);
        if (!view.file->ReadExactAt(view.entriesAt + uint64_t{at} * kNameIndexEntryBytes, buf.data(),
                                    size_t{n} * kNameIndexEntryBytes)) {
            fence.clear();
            return;
        }
        for (uint32_t i = 0; i < n; i += kFenceStep) {
            std::array<uint8_t, 4> text;
            std::memcpy(text.data(), buf.data() + size_t{i} * kNameIndexEntryBytes, 4);
            fence.push_back(text);
        }
    }
}

const NcSearchMain::Fence* NcSearchMain::FenceOf(const IndexView& view) const {
    auto same = [&](const IndexView& whole) {
        return view.file == whole.file && view.entriesAt == whole.entriesAt && view.entryCount == whole.entryCount;
    };
    const Fence* fence = same(m_initialView) ? &m_initialFence : same(m_fullView) ? &m_fullFence : nullptr;
    return fence && !fence->empty() ? fence : nullptr;
}

template <typename Below>
uint32_t NcSearchMain::LowerEntry(const IndexView& view, Below below) const {
    uint32_t lo = 0, hi = view.entryCount;
    if (const Fence* fence = FenceOf(view)) {
        // The first fence text not below the key bounds the answer: it lies
        // after the fence entry before it and at most at this one.
        size_t a = 0, b = fence->size();
        while (a < b) {
            const size_t mid = a + (b - a) / 2;
            if (below((*fence)[mid].data())) a = mid + 1;
            else b = mid;
        }
        if (a == 0) return 0;
        lo = static_cast<uint32_t>((a - 1) * kFenceStep + 1);
        hi = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{a} * kFenceStep, view.entryCount));
        uint8_t window[kFenceStep * kNameIndexEntryBytes];
        const size_t bytes = size_t{hi - lo} * kNameIndexEntryBytes;
        if (bytes == 0) return lo;
        if (m_entryWindow.Read(*view.file, view.entriesAt + uint64_t{lo} * kNameIndexEntryBytes, window, bytes)) {
            for (uint32_t i = lo; i < hi; ++i)
                if (!below(window + size_t{i - lo} * kNameIndexEntryBytes)) return i;
            return hi;
        }
        // A window that does not read: the entries are searched one by one.
    }
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        KeyEntry e;
        if (!ReadEntry(view, mid, e)) return lo;
        if (below(e.text.data())) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

int NcSearchMain::FindInitialEntry(const IndexView& view, uint8_t k0, uint8_t k1) const {
    const std::vector<uint8_t> want = {k0, k1};
    auto textOf = [](const uint8_t* text) {
        return std::string_view(reinterpret_cast<const char*>(text), strnlen(reinterpret_cast<const char*>(text), 4));
    };
    const uint32_t at =
        LowerEntry(view, [&](const uint8_t* text) { return CompareNameInitials(textOf(text), want, 2) < 0; });
    KeyEntry e;
    if (!ReadEntry(view, at, e) || CompareNameInitials(textOf(e.text.data()), want, 2) != 0) return -1;
    return static_cast<int>(at);
}

std::vector<NcSearchMain::IndexView> NcSearchMain::InitialViews(bool forListing) {
    std::vector<IndexView> views;
    if (m_filter.areaCode < 100 || !forListing) {
        // Without an area (or with a province) the whole index.
        if (m_filter.areaCode < 100) {
            views.push_back(m_initialView);
            return views;
        }
    }
    std::vector<uint32_t> codes = MergedAreaMembers(m_filter.areaCode);
    if (codes.empty()) codes.push_back(ShortAreaCode(m_filter.areaCode));
    for (uint32_t code : codes) {
        uint32_t lo = 0, hi = m_areaCount;
        while (lo < hi) {
            const uint32_t mid = lo + (hi - lo) / 2;
            uint8_t b[16];
            if (!m_byArea.ReadExactAt((uint64_t{mid} + 1) * 16, b, 16)) break;
            platform::ByteReader r(b, 16);
            const uint32_t areaCode = r.U32(), entries = r.U32();
            (void)r.U32();
            const uint32_t at = r.U32();
            if (areaCode == code) {
                views.push_back({&m_byArea, at, entries});
                break;
            }
            if (areaCode < code) lo = mid + 1;
            else hi = mid;
        }
    }
    return views;
}

int NcSearchMain::Run(NameRoutine routine) {
    m_hits.clear();
    m_shortPath = false;
    m_rangeCount = 0;
    if (!m_base.IsOpen()) return 0;
    switch (routine) {
    case NameRoutine::kSingleChar: return SingleChar();
    case NameRoutine::kAptName: return AptName();
    case NameRoutine::kFullText: return FullText();
    case NameRoutine::kConsonant:
    case NameRoutine::kHonhap:
    case NameRoutine::kFullName: return WalkInitials(routine);
    case NameRoutine::kHonhapFirstCh: return HonhapFirstCh();
    case NameRoutine::kConsonantRange:
    case NameRoutine::kHonhapRange:
    case NameRoutine::kNameRange: return Listing(routine);
    }
    return 0;
}

int NcSearchMain::SingleChar() {
    if (m_keyChars.empty()) return 0;
    const KeyChar& c = m_keyChars[0];
    std::string lo = c.bytes, hi;
    size_t n = c.bytes.size();
    if (c.jamo) {
        const int initial = c.key - 51;
        lo.assign(reinterpret_cast<const char*>(kFirstSyllable[initial]), 2);
        hi.assign(reinterpret_cast<const char*>(kFirstSyllable[initial + 1]), 2);
        n = 2;
    }
    // First record not below lo, then the first above the range.
    auto bound = [&](const std::string& key, bool upperOfPrefix) {
        uint32_t a = 0, b = m_recordCount;
        while (a < b) {
            const uint32_t mid = a + (b - a) / 2;
            const int cmp = CompareBytes(NameOf(mid), key, n);
            if (upperOfPrefix ? cmp <= 0 : cmp < 0) a = mid + 1;
            else b = mid;
        }
        return a;
    };
    const uint32_t first = bound(lo, false);
    const uint32_t end = c.jamo ? bound(hi, false) : bound(lo, true);
    for (uint32_t i = first; i < end; ++i) {
        if (const int stop = Cancelled()) return Stopped(NameRoutineName(NameRoutine::kSingleChar), stop);
        if (!Consider(i, nullptr)) break;
    }
    return Finish(false);
}

int NcSearchMain::AptName() {
    const bool keyword = !m_keyChars.empty();
    for (uint32_t i = 0; i < m_recordCount; ++i) {
        if (const int stop = Cancelled()) return Stopped(NameRoutineName(NameRoutine::kAptName), stop);
        if (!Consider(i, keyword ? std::function<bool(std::string_view)>(
                                       [this](std::string_view name) { return ContainsKeyword(name, true); })
                                 : nullptr))
            break;
    }
    return Finish(false);
}

int NcSearchMain::FullText() {
    if (m_keyChars.size() < 2) return 0;
    struct Pair {
        uint32_t count = 0, offset = 0;
    };
    std::vector<Pair> pairs;
    for (size_t i = 0; i + 1 < m_keyChars.size() && pairs.size() < 5; ++i) {
        uint8_t text[4] = {};
        const std::string both = m_keyChars[i].bytes + m_keyChars[i + 1].bytes;
        std::memcpy(text, both.data(), std::min<size_t>(both.size(), 4));
        uint32_t lo = 0, hi = m_pairCount;
        bool found = false;
        while (lo < hi) {
            const uint32_t mid = lo + (hi - lo) / 2;
            uint8_t b[kPairIndexEntryBytes];
            if (!m_pairs.ReadExactAt((uint64_t{mid} + 1) * kPairIndexEntryBytes, b, sizeof b)) break;
            const int c = std::memcmp(b, text, 4);
            if (c == 0) {
                platform::ByteReader r(b + 4, 8);
                Pair p;
                p.count = r.U32();
                p.offset = r.U32();
                pairs.push_back(p);
                found = true;
                break;
            }
            if (c < 0) lo = mid + 1;
            else hi = mid;
        }
        if (!found) return 0;
    }
    std::stable_sort(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) { return a.count < b.count; });
    const bool test = m_keyChars.size() > 2;
    const std::function<bool(std::string_view)> contains = [this](std::string_view name) {
        return ContainsKeyword(name, false);
    };
    uint8_t buf[(kNameReadBufferBytes / 3) * 3];
    const Pair& p = pairs[0];
    for (uint32_t done = 0; done < p.count;) {
        const uint32_t n = std::min<uint32_t>(p.count - done, sizeof buf / 3);
        if (!m_pairs.ReadExactAt(uint64_t{p.offset} + uint64_t{done} * 3, buf, n * 3)) break;
        for (uint32_t k = 0; k < n; ++k) {
            if (const int stop = Cancelled()) return Stopped(NameRoutineName(NameRoutine::kFullText), stop);
            const uint32_t record = uint32_t{buf[k * 3]} | uint32_t{buf[k * 3 + 1]} << 8 | uint32_t{buf[k * 3 + 2]} << 16;
            if (!Consider(record, test ? contains : nullptr)) return Finish(false);
        }
        done += n;
    }
    return Finish(false);
}

int NcSearchMain::WalkInitials(NameRoutine routine) {
    if (m_keyChars.size() < 2) return 0;
    const size_t n = m_keyChars.size();
    // The consonant search needs no name test: the range bounded below holds
    // exactly the names whose initials begin with the keyword's.
    std::function<bool(std::string_view)> test;
    if (routine != NameRoutine::kConsonant)
        test = [this, routine](std::string_view name) { return PrefixMatches(name, routine == NameRoutine::kHonhap); };
    for (const IndexView& view : InitialViews(false)) {
        const int at = FindInitialEntry(view, m_keywordInitials[0], m_keywordInitials[1]);
        KeyEntry e;
        if (at < 0 || !ReadEntry(view, static_cast<uint32_t>(at), e)) continue;
        const platform::File& f = *view.file;
        // The positions whose names' initials begin with the keyword's.
        auto bound = [&](bool upper) {
            uint32_t a = 0, b = e.count;
            while (n > 2 && a < b) {
                const uint32_t mid = a + (b - a) / 2;
                uint8_t at[4] = {};
                m_listWindow.Read(f, e.listOffset + uint64_t{mid} * 4, at, 4);
                const int c = CompareNameInitials(NameOf(LeU32(at)), m_keywordInitials, n);
                if (upper ? c <= 0 : c < 0) a = mid + 1;
                else b = mid;
            }
            return n > 2 ? a : (upper ? e.count : 0);
        };
        const uint32_t first = bound(false), end = bound(true);
        ListReader list(f, e.listOffset + uint64_t{first} * 4, end - first);
        for (uint32_t record = 0; list.Next(record);) {
            if (const int stop = Cancelled()) return Stopped(NameRoutineName(routine), stop);
            if (!Consider(record, test)) return Finish(routine != NameRoutine::kFullName);
        }
    }
    return Finish(routine != NameRoutine::kFullName);
}

int NcSearchMain::HonhapFirstCh() {
    if (m_keyChars.size() != 2 || !m_keyChars[0].jamo) return WalkInitials(NameRoutine::kHonhap);
    const int initial = m_keyChars[0].key - 51;
    const std::string_view lo(reinterpret_cast<const char*>(kFirstSyllable[initial]), 2);
    const std::string_view hi(reinterpret_cast<const char*>(kFirstSyllable[initial + 1]), 2);
    const std::string& second = m_keyChars[1].bytes;
    auto textOf = [](const KeyEntry& e) { return std::string_view(reinterpret_cast<const char*>(e.text.data()), 4); };
    const uint32_t a = LowerEntry(m_fullView, [&](const uint8_t* text) {
        return CompareBytes(std::string_view(reinterpret_cast<const char*>(text), 4), lo, 2) < 0;
    });
    KeyEntry e;
    for (uint32_t i = a; ReadEntry(m_fullView, i, e) && CompareBytes(textOf(e), hi, 2) < 0; ++i) {
        if (textOf(e).substr(2, second.size()) != second) continue;
        if (second.size() == 1 && e.text[3] != 0 && Cp949CharBytes(e.text[2]) != 1) continue;
        ListReader list(m_full, e.listOffset, e.count);
        for (uint32_t record = 0; list.Next(record);) {
            if (const int stop = Cancelled()) return Stopped(NameRoutineName(NameRoutine::kHonhapFirstCh), stop);
            if (!Consider(record, nullptr)) return Finish(false);
        }
    }
    return Finish(false);
}

int NcSearchMain::Listing(NameRoutine routine) {
    if (m_keyChars.size() < 2) return 0;
    // With an area the walking search gives the exact set.
    if (m_filter.areaCode)
        return WalkInitials(routine == NameRoutine::kConsonantRange ? NameRoutine::kConsonant
                            : routine == NameRoutine::kHonhapRange  ? NameRoutine::kHonhap
                                                                     : NameRoutine::kFullName);
    uint32_t first = 0, end = 0;
    const IndexView& view = routine == NameRoutine::kConsonantRange ? m_initialView : m_fullView;
    KeyEntry e;
    if (routine == NameRoutine::kConsonantRange) {
        const int at = FindInitialEntry(view, m_keywordInitials[0], m_keywordInitials[1]);
        if (at < 0 || !ReadEntry(view, static_cast<uint32_t>(at), e)) return 0;
        first = e.first;
        end = e.first + e.count;
    } else {
        // Entries of the full index whose text lies in [lo, hi).
        std::string lo = m_keyChars[0].bytes, hi;
        if (routine == NameRoutine::kHonhapRange) {
            const int initial = m_keyChars[1].key - 51;
            if (!m_keyChars[1].jamo) return 0;
            hi = lo + std::string(reinterpret_cast<const char*>(kFirstSyllable[initial + 1]), 2);
            lo += std::string(reinterpret_cast<const char*>(kFirstSyllable[initial]), 2);
        } else {
            lo += m_keyChars[1].bytes;
        }
        lo.resize(4, '\0');
        if (hi.empty()) {
            hi = lo;
            for (int k = 3; k >= 0; --k)
                if (static_cast<uint8_t>(hi[k]) != 0xFF) {
                    hi[k] = static_cast<char>(static_cast<uint8_t>(hi[k]) + 1);
                    hi.resize(static_cast<size_t>(k) + 1);
                    break;
                }
        }
        hi.resize(4, '\0');
        auto lowerOf = [&](const std::string& key) {
            return LowerEntry(view, [&](const uint8_t* text) { return std::memcmp(text, key.data(), 4) < 0; });
        };
        const uint32_t ea = lowerOf(lo), eb = lowerOf(hi);
        if (ea >= eb || !ReadEntry(view, ea, e)) return 0;
        first = e.first;
        KeyEntry last;
        if (!ReadEntry(view, eb - 1, last)) return 0;
        end = last.first + last.count;
    }
    if (end <= first) return 0;
    // The lists of an index lie one after the other behind its entries.
    m_rangeFile = view.file;
    m_rangeListAt = view.entriesAt + uint64_t{view.entryCount} * kNameIndexEntryBytes + uint64_t{first} * 4;
    m_rangeCount = std::min(end - first, kNameHitCap);
    m_shortPath = true;
    return end - first >= kNameHitCap ? 2 : 1;
}

uint32_t NcSearchMain::RangeRecord(uint32_t position) {
    if (!m_rangeFile || position >= m_rangeCount) return 0xFFFFFFFF;
    uint8_t b[4];
    if (!m_listWindow.Read(*m_rangeFile, m_rangeListAt + uint64_t{position} * 4, b, 4)) return 0xFFFFFFFF;
    return LeU32(b);
}

std::string NcSearchMain::GetMainName(uint32_t poiId) {
    uint32_t lo = 0, hi = m_poiIdxCount;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        uint8_t b[8];
        if (!m_poiIdx.ReadExactAt((uint64_t{mid} + 1) * kPoiIdIndexEntryBytes, b, 8)) return {};
        platform::ByteReader r(b, 8);
        const uint32_t id = r.U32(), record = r.U32();
        if (id == poiId) return std::string(CutCp949(ReadNameFrom(m_places, m_placeCount, record), 36));
        if (id < poiId) lo = mid + 1;
        else hi = mid;
    }
    return {};
}

int NcSearchMain::GetDetail(uint32_t record, uint8_t& kind, int16_t& dx, int16_t& dy, std::string& text) {
    kind = 0;
    dx = dy = 0;
    text.clear();
    uint8_t b[kPoiDetailEntryBytes];
    if (record >= m_detailCount || !m_detail.ReadExactAt((uint64_t{record} + 1) * kPoiDetailEntryBytes, b, sizeof b))
        return 0;
    platform::ByteReader r(b, sizeof b);
    kind = r.U8();
    dx = static_cast<int16_t>(r.U16());
    dy = static_cast<int16_t>(r.U16());
    const uint32_t offset = r.U32();
    text.assign(r.U8(), '\0');
    if (!m_detail.ReadExactAt(offset, text.data(), text.size())) text.clear();
    text = std::string(CutCp949(text, 36));
    return 1;
}

bool NcSearchMain::FindBuilding(double key, Building& out) const {
    uint32_t lo = 0, hi = m_buildingCount;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        uint8_t b[kBuildingEntryBytes];
        if (!m_building.ReadExactAt((uint64_t{mid} + 1) * kBuildingEntryBytes, b, sizeof b)) return false;
        platform::ByteReader r(b, sizeof b);
        const double at = r.F64();
        if (at == key) {
            out.listOffset = r.U32();
            out.count = r.U16();
            const uint32_t nameOffset = r.U32();
            out.name.assign(r.U8(), '\0');
            if (!m_building.ReadExactAt(nameOffset, out.name.data(), out.name.size())) out.name.clear();
            out.name = std::string(CutCp949(out.name, 36));
            return true;
        }
        // A key that is not a number matches nothing and ends the search.
        if (at < key) lo = mid + 1;
        else if (at > key) hi = mid;
        else return false;
    }
    return false;
}

int NcSearchMain::SearchBuildingFacilities(double key, std::string_view keyword, const NameFilter& filter) {
    m_facilityHits.clear();
    m_facilityBuilding.clear();
    Building building;
    if (!m_places.IsOpen() || !FindBuilding(key, building)) return 0;
    // The keyword and filters of this look-up stand in for the name
    // search's while it runs, so that the rows of that search stay as they
    // were.
    struct Restore {
        NcSearchMain& self;
        std::string keyword = self.m_keyword;
        std::vector<KeyChar> chars = self.m_keyChars;
        std::vector<uint8_t> initials = self.m_keywordInitials;
        NameFilter filter = self.m_filter;
        uint8_t orderBy = self.m_orderBy;
        ~Restore() {
            self.m_keyword = std::move(keyword);
            self.m_keyChars = std::move(chars);
            self.m_keywordInitials = std::move(initials);
            self.m_filter = filter;
            self.m_orderBy = orderBy;
        }
    } restore{*this};
    SetJob(keyword, filter, 0);
    m_facilityBuilding = building.name;
    uint8_t buf[(kNameReadBufferBytes / kFacilityBytes) * kFacilityBytes];
    uint32_t lastPoi = 0;
    bool any = false;
    for (uint32_t done = 0; done < building.count;) {
        const uint32_t n = std::min<uint32_t>(building.count - done, sizeof buf / kFacilityBytes);
        if (!m_building.ReadExactAt(uint64_t{building.listOffset} + uint64_t{done} * kFacilityBytes, buf,
                                    n * kFacilityBytes))
            break;
        for (uint32_t k = 0; k < n; ++k) {
            if (const int stop = Cancelled()) {
                Stopped("SearchBuildingFacilities", stop);
                m_facilityHits.clear();
                return 1;
            }
            platform::ByteReader f(buf + k * kFacilityBytes, kFacilityBytes);
            FacilityHit hit;
            hit.nRecord = f.U32();
            hit.group = f.U8();
            hit.floor = static_cast<int8_t>(f.U8());
            PoiBaseRecord r;
            if (!ReadRecordFrom(m_places, m_placeCount, hit.nRecord, r)) continue;
            if (!CategoryPasses(CateIndexOf(r.wCatePacked), m_filter.cateIndex)) continue;
            if (!AreaPasses(r.uAreaCode, m_filter.areaCode)) continue;
            if (!m_keyChars.empty() && !ContainsKeyword(ReadNameFrom(m_places, m_placeCount, hit.nRecord), true))
                continue;
            if (any && r.nPOIID == lastPoi) continue;
            hit.nDistance = DistanceTo(r);
            m_facilityHits.push_back(hit);
            lastPoi = r.nPOIID;
            any = true;
            if (m_facilityHits.size() >= kNameHitCap) return 2;
        }
        done += n;
    }
    return m_facilityHits.empty() ? 0 : 1;
}

int NcSearchMain::ListBuildingFacilities(double key, uint32_t poiId, std::vector<FacilityRow>& rows) {
    rows.clear();
    Building building;
    if (!m_places.IsOpen() || !FindBuilding(key, building)) return 0;
    uint8_t buf[(kNameReadBufferBytes / kFacilityBytes) * kFacilityBytes];
    uint32_t lastPoi = 0;
    for (uint32_t done = 0; done < building.count;) {
        const uint32_t n = std::min<uint32_t>(building.count - done, sizeof buf / kFacilityBytes);
        if (!m_building.ReadExactAt(uint64_t{building.listOffset} + uint64_t{done} * kFacilityBytes, buf,
                                    n * kFacilityBytes))
            break;
        for (uint32_t k = 0; k < n; ++k) {
            platform::ByteReader f(buf + k * kFacilityBytes, kFacilityBytes);
            FacilityRow row;
            row.nRecord = f.U32();
            (void)f.U8();
            row.floor = static_cast<int8_t>(f.U8());
            const uint8_t kind = f.U8();
            PoiBaseRecord r;
            if (!ReadRecordFrom(m_places, m_placeCount, row.nRecord, r)) continue;
            if (poiId ? r.nPOIID != poiId : kind != 1) continue;
            if (!rows.empty() && r.nPOIID == lastPoi) continue;
            lastPoi = r.nPOIID;
            row.name = std::string(CutCp949(ReadNameFrom(m_places, m_placeCount, row.nRecord), 36));
            row.building = building.name;
            rows.push_back(std::move(row));
            if (rows.size() >= kFacilityRowCap) return 2;
        }
        done += n;
    }
    return rows.empty() ? 0 : 1;
}

int NcSearchMain::ListSubPlaces(const SearchRequest& request, SearchResult* rows, int* count) {
    if (count) *count = 0;
    uint32_t lo = 0, hi = m_subCount, listOffset = 0, items = 0;
    bool found = false;
    while (lo < hi && !found) {
        const uint32_t mid = lo + (hi - lo) / 2;
        uint8_t b[kSubPlaceEntryBytes];
        if (!m_sub.ReadExactAt((uint64_t{mid} + 1) * kSubPlaceEntryBytes, b, sizeof b)) return 0;
        platform::ByteReader r(b, sizeof b);
        const uint32_t key = r.U32();
        if (key == request.nRecordID) {
            listOffset = r.U32();
            items = r.U16();
            found = true;
        } else if (key < request.nRecordID) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    if (!found || !rows) return 0;
    const int32_t cx = static_cast<int32_t>(request.ptCenter.x), cy = static_cast<int32_t>(request.ptCenter.y);
    int filled = 0;
    for (uint32_t i = 0; i < items && filled < static_cast<int>(kSubPlaceCap); ++i) {
        uint8_t b[kSubPlaceItemBytes];
        if (!m_sub.ReadExactAt(uint64_t{listOffset} + uint64_t{i} * kSubPlaceItemBytes, b, sizeof b)) break;
        platform::ByteReader r(b, sizeof b);
        const uint32_t nameOffset = r.U32();
        std::string name(r.U8(), '\0');
        const uint8_t flags = r.U8();
        SearchResult& row = rows[filled];
        row = {};
        row.nIndex = static_cast<uint32_t>(filled);
        row.nPOIID = r.U32();
        const uint16_t cate = r.U16();
        row.nCateIndex = CateIndexOf(cate);
        row.nCateCode = CateCodeOf(cate);
        row.uAreaCode = r.U32();
        row.wTelArea = r.U16();
        row.uTelNumber = r.U32();
        row.pt.x = r.U32();
        row.pt.y = r.U32();
        const int16_t dx = static_cast<int16_t>(r.U16()), dy = static_cast<int16_t>(r.U16());
        row.ptEntry = {row.pt.x + static_cast<uint32_t>(int32_t{dx}), row.pt.y + static_cast<uint32_t>(int32_t{dy})};
        row.bDetailKind = r.U8();
        char detail[28];
        r.Bytes(detail, sizeof detail);
        row.bDetail = flags & 1;
        row.bKind = 0;
        if (cx > 0 && cy > 0)
            row.nDistance = CalcApproxDistance(cx, cy, static_cast<int32_t>(row.pt.x), static_cast<int32_t>(row.pt.y));
        if (!m_sub.ReadExactAt(nameOffset, name.data(), name.size())) name.clear();
        std::u16string text;
        platform::Cp949ToUtf16(CutCp949(name, 36), text);
        SetSearchText(row.szName, kSchNameChars, text);
        text.clear();
        platform::Cp949ToUtf16(CutCp949(std::string_view(detail, strnlen(detail, sizeof detail)), 35), text);
        SetSearchText(row.szDetail, kSchDetailChars, text);
        ++filled;
    }
    if (count) *count = filled;
    if (filled == 0) return 0;
    return filled >= static_cast<int>(kSubPlaceCap) ? 2 : 1;
}
