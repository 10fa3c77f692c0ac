#include "search/search_addr.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "search/search_keys.h"

namespace {

// Codes read at once when the code index is loaded: 120 records.
constexpr uint32_t kCodeIndexChunkRecords = 120;

uint32_t U24(platform::ByteReader& r) {
    const uint32_t lo = r.U16();
    return lo | (uint32_t{r.U8()} << 16);
}

bool ReadAreaHeader(const platform::File& file, int64_t size, uint32_t recordBytes, uint32_t& count, uint32_t (&start)[6],
                    bool& split) {
    uint8_t head[kAddrHeaderBytes];
    if (size < static_cast<int64_t>(kAddrHeaderBytes) || !file.ReadExactAt(0, head, sizeof head)) return false;
    platform::ByteReader r(head, sizeof head);
    const uint32_t stored = r.U32();
    // A count beyond the records present is cut to them.
    const uint64_t present = static_cast<uint64_t>(size) / recordBytes;
    count = static_cast<uint32_t>(std::min<uint64_t>(stored, present > 0 ? present - 1 : 0));
    uint32_t previous = 1;
    for (int level = 1; level <= 5; ++level) {
        const uint32_t s = std::clamp<uint32_t>(r.U32(), previous, count + 1);
        start[level] = s;
        previous = s;
    }
    split = r.U8() != 0;
    return true;
}

}  // namespace

uint32_t LoadAreaCodeIndex(const std::string& folder, const std::string& fileName, std::vector<uint32_t>& out) {
    out.clear();
    platform::File file;
    if (!file.Open(platform::NativePath(folder + fileName))) return 0;
    uint32_t count = 0, start[6] = {};
    bool split = false;
    if (!ReadAreaHeader(file, file.Size(), kAddrAreaRecordBytes, count, start, split)) return 0;
    out.reserve(count);
    std::vector<uint8_t> chunk(kCodeIndexChunkRecords * kAddrAreaRecordBytes);
    for (uint32_t r = 1; r <= count; r += kCodeIndexChunkRecords) {
        const uint32_t n = std::min(kCodeIndexChunkRecords, count - r + 1);
        if (!file.ReadExactAt(uint64_t{r} * kAddrAreaRecordBytes, chunk.data(), n * kAddrAreaRecordBytes)) break;
        for (uint32_t i = 0; i < n; ++i) out.push_back(platform::ByteReader(&chunk[i * kAddrAreaRecordBytes], 4).U32());
    }
    return static_cast<uint32_t>(out.size());
}

template <bool R>
NcAddrEngine<R>::NcAddrEngine() {
    m_rows.reserve(kRowCapacity);
    m_lotRows.reserve(kAddrLotRowCapacity);
}

template <bool R>
int NcAddrEngine<R>::CodeGroups(int64_t code) {
    if (R && code > 9999) return 3;
    return CountCodeGroups(code);
}

template <bool R>
void NcAddrEngine<R>::SetFolders(const std::string& dataFolder, const std::string& indexFolder) {
    m_dataFolder = dataFolder;
    m_indexFolder = indexFolder;
}

template <bool R>
void NcAddrEngine<R>::AllocBlockBuffers() {
    m_areaFile.Close();
    m_lotFile.Close();
    m_blockIndex.Close();
    m_count = 0;
    m_rows.clear();
    m_found = {};
    m_foundName.clear();
    ResetLotState();
    m_loadedBlock = -1;
    m_blockRecords = 0;
    m_packed.assign(kAddrBlockBytes, 0);
    m_inflated.assign(kAddrBlockBytes, 0);
}

template <bool R>
int NcAddrEngine<R>::OpenAreaFile(int legal) {
    {
        MgrLock lock(m_textLock);
        for (auto& entry : m_cache) entry = {};
    }
    m_areaFile.Close();
    m_count = 0;
    std::fill(std::begin(m_start), std::end(m_start), 0u);
    m_split = false;
    m_codeIndex.clear();
    const char* name = R ? "newaddr.sdb" : (legal ? "nlad.sdb" : "nhad.sdb");
    if (R || legal) m_text.OpenIndex(m_indexFolder);
    if (!m_areaFile.Open(platform::NativePath(m_indexFolder + name))) return 0;
    m_areaFileSize = m_areaFile.Size();
    if (!ReadAreaHeader(m_areaFile, m_areaFileSize, kRecordBytes, m_count, m_start, m_split)) {
        m_areaFile.Close();
        m_count = 0;
        return 0;
    }
    if (!R) LoadAreaCodeIndex(m_indexFolder, name, m_codeIndex);
    return 1;
}

template <bool R>
int NcAddrEngine<R>::Reopen(int legal) {
    ClearRows();
    const int result = OpenAreaFile(legal);
    m_cityExpanded = false;
    return result;
}

template <bool R>
void NcAddrEngine<R>::ClearRows() {
    m_rows.clear();
    m_lotRows.clear();
}

// ------------------------------------------------------------ area records

template <bool R>
bool NcAddrEngine<R>::ReadAreaRecord(uint32_t r, AreaRecord& out) const {
    uint8_t bytes[kRecordBytes];
    if (r < 1 || r > m_count || !m_areaFile.ReadExactAt(uint64_t{r} * kRecordBytes, bytes, sizeof bytes)) return false;
    platform::ByteReader rd(bytes, sizeof bytes);
    out.code = rd.U32();
    if (R) {
        out.count = rd.U32();
        out.value2 = rd.U32();
    } else {
        out.value2 = rd.U16();
        out.count = rd.U16();
    }
    out.nameOffset = rd.U32();
    out.firstBlock = rd.U16();
    out.firstIndex = rd.U16();
    out.lastBlock = rd.U16();
    out.lastIndex = rd.U16();
    out.lotFlag = rd.U16();
    out.baseX = U24(rd);
    out.baseY = U24(rd);
    out.x = U24(rd);
    out.y = U24(rd);
    return true;
}

template <bool R>
bool NcAddrEngine<R>::CodeOfRecord(uint32_t r, uint32_t& code) const {
    if (r < 1 || r > m_count) return false;
    if (!R) {
        if (r > m_codeIndex.size()) return false;
        code = m_codeIndex[r - 1];
        return true;
    }
    uint8_t bytes[4];
    if (!m_areaFile.ReadExactAt(uint64_t{r} * kRecordBytes, bytes, 4)) return false;
    code = platform::ByteReader(bytes, 4).U32();
    return true;
}

template <bool R>
std::string NcAddrEngine<R>::ReadAreaName(uint32_t r, const AreaRecord& rec) const {
    uint64_t end = static_cast<uint64_t>(m_areaFileSize);
    AreaRecord next;
    if (r < m_count && ReadAreaRecord(r + 1, next)) end = next.nameOffset;
    if (rec.nameOffset >= end || rec.nameOffset >= static_cast<uint64_t>(m_areaFileSize)) return {};
    const size_t length = static_cast<size_t>(std::min<uint64_t>(end - rec.nameOffset, kAddrNameBytes - 1));
    char buffer[kAddrNameBytes] = {};
    const int64_t got = m_areaFile.ReadAt(rec.nameOffset, buffer, length);
    if (got <= 0) return {};
    std::string name(CutCp949(std::string_view(buffer, static_cast<size_t>(got)), kAddrNameBytes - 1));
    std::replace(name.begin(), name.end(), '_', ' ');
    return name;
}

template <bool R>
uint32_t NcAddrEngine<R>::FindAreaRecordNo(int64_t key, uint32_t lo, uint32_t hi) const {
    int64_t l = lo, h = static_cast<int64_t>(hi) - 1;
    while (l <= h) {
        const int64_t mid = (l + h) / 2;
        uint32_t code = 0;
        if (!CodeOfRecord(static_cast<uint32_t>(mid), code)) break;
        if (code == key) return static_cast<uint32_t>(mid);
        if (key < code)
            h = mid - 1;
        else
            l = mid + 1;
    }
    return static_cast<uint32_t>(l);
}

template <bool R>
uint32_t NcAddrEngine<R>::FindCode(int64_t code, int level) const {
    if (level < 1 || level > 4 || m_count == 0) return 0;
    const uint32_t r = FindAreaRecordNo(code, m_start[level], m_start[level + 1]);
    uint32_t found = 0;
    // A code without a record is not found (the record search would land on
    // a neighbour).
    if (r >= m_start[level + 1] || !CodeOfRecord(r, found) || found != code) return 0;
    return r;
}

template <bool R>
int64_t NcAddrEngine<R>::LevelPrefix(int64_t code, int groups, int level) const {
    if (R && code > 9999) {
        if (level == 1) return code / 1000000;
        if (level == 2) return code / 10000;
        return code;
    }
    return code / PowerOf100(std::max(groups - level, 0));
}

template <bool R>
typename NcAddrEngine<R>::Row NcAddrEngine<R>::MakeRow(const AreaRecord& rec, std::string_view name) const {
    Row row;
    row.uAreaCode = rec.code;
    CopyCp949Field(row.szName, sizeof row.szName, name);
    if constexpr (R)
        row.nCount = rec.count;
    else
        row.wCount = static_cast<uint16_t>(rec.count);
    row.wFirstBlock = rec.firstBlock;
    row.wFirstIndex = rec.firstIndex;
    row.wLastBlock = rec.lastBlock;
    row.wLastIndex = rec.lastIndex;
    row.wLotFlag = rec.lotFlag;
    row.nBaseX = rec.baseX;
    row.nBaseY = rec.baseY;
    row.ptX = kAddrOriginX + rec.x;
    row.ptY = kAddrOriginY + rec.y;
    return row;
}

template <bool R>
bool NcAddrEngine<R>::AppendRow(const Row& row) {
    if (static_cast<int>(m_rows.size()) >= kRowCapacity) return false;
    m_rows.push_back(row);
    return true;
}

template <bool R>
int NcAddrEngine<R>::GetAreaRecord(int64_t code, Row& row, int* outLevels) {
    row = {};
    const int levels = CodeGroups(code);
    if (outLevels) *outLevels = levels;
    const uint32_t r = FindCode(code, levels);
    AreaRecord rec;
    if (r == 0 || !ReadAreaRecord(r, rec)) return 0;
    row = MakeRow(rec, ReadAreaName(r, rec));
    if constexpr (R)
        row.nValue2 = rec.value2;
    else
        row.wValue2 = static_cast<uint16_t>(rec.value2);
    m_found = rec;
    m_foundName = row.szName;
    return 1;
}

// --------------------------------------------------------------- area text

template <bool R>
int NcAddrEngine<R>::GetAreaText(int64_t code, std::string& out, int style) {
    MgrLock lock(m_textLock);
    if (style >= 0 && style < kAreaTextStyles) {
        const CacheEntry& c = m_cache[static_cast<size_t>(style)];
        if (c.valid && c.code == code) {
            out = c.text;
            return c.levels;
        }
    }
    out.clear();
    if (!m_areaFile.IsOpen() || code == 0) return 0;
    const int n = CodeGroups(code);
    std::string text;
    for (int level = 1; level <= n && level <= 4; ++level) {
        const int64_t prefix = LevelPrefix(code, n, level);
        std::string name;
        const int city = level == 2 ? FindCityRow(static_cast<uint32_t>(prefix)) : -1;
        if (style == 0 && city >= 0) {
            name = CityNameCp949(city);
        } else {
            const uint32_t r = FindCode(prefix, level);
            AreaRecord rec;
            if (r == 0 || !ReadAreaRecord(r, rec)) continue;
            name = ReadAreaName(r, rec);
        }
        switch (style) {
        case 0:
            if (level > 1) text += '>';
            text += name;
            break;
        case 1:
        case 2:
            if (level > 1) text += ' ';
            text += name;
            break;
        case 3:
        case 4:
        case 5:
        case 6:
            if (level == style - 2) text = name;
            break;
        case 7:
            if (level == 2) {
                const size_t blank = name.find(' ');
                text += blank == std::string::npos ? name : name.substr(blank + 1);
            } else if (level == 3) {
                text += ' ';
                text += name;
            }
            break;
        default:
            break;
        }
    }
    out = std::string(CutCp949(text, kAddrNameBytes - 1));
    if (style >= 0 && style < kAreaTextStyles) m_cache[static_cast<size_t>(style)] = {true, code, out, n};
    return n;
}

// --------------------------------------------------------------- area lists

template <bool R>
void NcAddrEngine<R>::ListChildAreas(int64_t code, int level) {
    if (level < 1 || level > 4 || m_count == 0) return;
    int64_t first, end;
    if (R && code > 9999 && level <= 3) {
        // A level-1 list under such a code has no divisor of its own: it
        // lists the provinces.
        const int64_t d = level == 1 ? 0 : code / (level == 2 ? 1000000 : 10000);
        first = level == 3 ? d * 10000 : d * 100;
        end = level == 3 ? first + 10000 : first + 100;
    } else {
        const int e = CodeGroups(code) - level + 1;
        const int64_t d = e > 0 ? PowerOf100(e) : 1;
        const int64_t step = R && level == 3 ? 10000 : 100;
        first = (code / d) * step;
        end = first + step;
    }
    const uint32_t lo = m_start[level], hi = m_start[level + 1];
    const uint32_t from = FindAreaRecordNo(first, lo, hi);
    const uint32_t to = FindAreaRecordNo(end, from, hi);
    for (uint32_t r = from; r < to; ++r) {
        AreaRecord rec;
        if (!ReadAreaRecord(r, rec) || !AppendRow(MakeRow(rec, ReadAreaName(r, rec)))) return;
    }
}

template <bool R>
std::vector<int64_t> NcAddrEngine<R>::ExpandAreaCode(int64_t code, int level) {
    const int groups = CodeGroups(code);
    if (level != 3 || groups < 2) return {code};
    std::vector<int64_t> out;
    const CityDistrictRow* table = CityDistrictTable();
    if (groups == 2) {
        for (int i = 0; i < kCityDistrictRows; ++i)
            if (table[i].cityCode == code)
                for (uint32_t d : table[i].districts)
                    if (d) out.push_back(d);
    } else {
        const int64_t p = R ? code / 10000 : code / PowerOf100(groups - 2);
        if (!m_cityExpanded) {
            out.push_back(p);
        } else {
            for (int i = 0; i < kCityDistrictRows; ++i) {
                bool holds = table[i].cityCode == p;
                for (uint32_t d : table[i].districts) holds |= d != 0 && d == p;
                if (holds)
                    for (uint32_t d : table[i].districts)
                        if (d) out.push_back(d);
            }
        }
    }
    m_cityExpanded = !out.empty();
    if (out.empty()) out.push_back(code);
    return out;
}

template <bool R>
void NcAddrEngine<R>::AddCityRows(int64_t code) {
    const int groups = CodeGroups(code);
    if (groups < 1 || groups > 3) return;
    const int64_t province = R && groups == 3 ? code / 1000000 : code / PowerOf100(groups - 1);
    for (int i = 0; i < kCityDistrictRows; ++i) {
        if (CityDistrictTable()[i].cityCode / 100 != province) continue;
        Row row;
        row.uAreaCode = CityDistrictTable()[i].cityCode;
        CopyCp949Field(row.szName, sizeof row.szName, CityNameCp949(i));
        if constexpr (R)
            row.nCount = 1;
        else
            row.wCount = 1;
        if (!AppendRow(row)) return;
    }
}

template <bool R>
int NcAddrEngine<R>::ListAreas(int64_t code, int level) {
    ClearRows();
    for (int64_t value : ExpandAreaCode(code, level)) ListChildAreas(value, level);
    if (level == 2) AddCityRows(code);
    if (level == 1) {
        std::sort(m_rows.begin(), m_rows.end(), [](const Row& a, const Row& b) { return a.uAreaCode < b.uAreaCode; });
    } else {
        std::sort(m_rows.begin(), m_rows.end(), [](const Row& a, const Row& b) {
            return std::strncmp(a.szName, b.szName, kAddrNameBytes) < 0;  // strncmp compares unsigned bytes
        });
    }
    return RowCount();
}

template <bool R>
int NcAddrEngine<R>::GetRows(int start, int n, int* outCount, const Row** outRows) const {
    const int count = RowCount();
    if (start < 0 || start > count || n <= 0) return 0;
    const int m = std::min(count - start, n);
    if (outCount) *outCount = m;
    if (outRows) *outRows = m_rows.data() + start;
    return m;
}

template <bool R>
int NcAddrEngine<R>::SearchAreaByText(std::string_view keyword, uint32_t areaFilter) {
    ClearRows();
    if (!m_text.Search(keyword, areaFilter) || m_text.GetHitCount() == 0) return 0;
    AddrTextHitEntry hits[kAddrTextFetchStep];
    for (int start = 0; start < m_text.GetHitCount(); start += kAddrTextFetchStep) {
        int got = 0;
        if (!m_text.FetchHits(start, kAddrTextFetchStep, hits, &got)) break;
        for (int i = 0; i < got; ++i) {
            const int64_t code = hits[i].uAreaCode;
            const uint32_t r = FindCode(code, CodeGroups(code));
            AreaRecord rec;
            if (r == 0 || !ReadAreaRecord(r, rec)) continue;  // a hit whose area is not in the area file
            std::string text;
            GetAreaText(code, text, 0);
            if (!AppendRow(MakeRow(rec, text))) return RowCount();
        }
    }
    return RowCount();
}

// ---------------------------------------------------------------- lot search

template <bool R>
int NcAddrEngine<R>::OpenLotFile(int province) {
    ResetLotState();
    m_loadedBlock = -1;  // the inflated block belongs to the old file
    m_blockRecords = 0;
    m_lotFile.Close();
    m_blockIndex.Close();
    const std::string stem = R ? "newaddr_ncj" : "ncj";
    std::string lotName = m_dataFolder + stem + ".sdb";
    if (m_split) {
        const char* suffix = ProvinceSuffix(province);
        if (!suffix) return 0;
        lotName = m_dataFolder + stem + suffix + ".sdb";
    }
    const bool lot = m_lotFile.Open(platform::NativePath(lotName));
    const bool index = m_blockIndex.Open(platform::NativePath(m_indexFolder + stem + "idx.sdb"));
    return lot && index ? 1 : 0;
}

template <bool R>
void NcAddrEngine<R>::ResetLotState() {
    m_curBlock = m_curIndex = -1;
    m_foundKey = 0;
    m_foundX = m_foundY = 0;
    m_lotRows.clear();
}

// Loads block b into the inflated buffer: 1, or -1 when its index entry or
// bytes are missing, its packed length does not fit the buffer, it does not
// inflate or inflates to more than the buffer or to no record.
template <bool R>
int NcAddrEngine<R>::LoadBlock(int block) {
    if (block == m_loadedBlock) return 1;
    m_loadedBlock = -1;
    m_blockRecords = 0;
    uint8_t entry[kAddrBlockIndexEntryBytes];
    if (block < 0 || m_packed.size() < kAddrBlockBytes ||
        !m_blockIndex.ReadExactAt(uint64_t(block) * kAddrBlockIndexEntryBytes, entry, sizeof entry))
        return -1;
    platform::ByteReader r(entry, sizeof entry);
    const uint32_t offset = r.U32(), length = r.U32();
    if (length == 0 || length > kAddrBlockBytes || !m_lotFile.ReadExactAt(offset, m_packed.data(), length)) return -1;
    uLongf size = kAddrBlockBytes;
    if (uncompress(m_inflated.data(), &size, m_packed.data(), length) != Z_OK) return -1;
    m_blockRecords = static_cast<int>(size / kAddrLotRecordBytes);
    if (m_blockRecords == 0) return -1;
    m_loadedBlock = block;
    return 1;
}

template <bool R>
int32_t NcAddrEngine<R>::LotKeyAt(int index) const {
    platform::ByteReader r(&m_inflated[static_cast<size_t>(index) * kAddrLotRecordBytes], 4);
    const int32_t main = r.I16(), sub = r.I16();
    return main * 10000 + sub;
}

template <bool R>
int NcAddrEngine<R>::BlockEnd(int block) const {
    const int last = m_blockRecords - 1;
    if (m_found.firstBlock == m_found.lastBlock || block == m_found.lastBlock)
        return std::min<int>(m_found.lastIndex, last);
    return last;
}

template <bool R>
int NcAddrEngine<R>::FindLotBlock(int64_t key, int lo, int* firstIdx, int hi, int* lastIdx) {
    while (lo != hi) {
        const int mid = (lo + hi) / 2;
        if (LoadBlock(mid) < 0) return -1;
        const int last = m_blockRecords - 1;  // the records actually inflated
        if (mid == lo) {
            // The area's own first index stays when this is its first block.
            const int first = mid == m_found.firstBlock ? *firstIdx : 0;
            if (LotKeyAt(last) < key) {
                *firstIdx = 0;
                return mid + 1;
            }
            if (LotKeyAt(last) == key) {
                *firstIdx = *lastIdx = last;
            } else {
                *firstIdx = first;
                *lastIdx = last;
            }
            return mid;
        }
        if (key < LotKeyAt(0)) {
            *lastIdx = kAddrBlockRecords - 1;
            hi = mid - 1;
        } else if (key <= LotKeyAt(last)) {
            *firstIdx = 0;
            *lastIdx = last;
            return mid;
        } else {
            *firstIdx = 0;
            lo = mid + 1;
        }
    }
    return lo;
}

template <bool R>
int NcAddrEngine<R>::FindLotInBlock(int64_t key, int lo, int hi) const {
    int l = lo, h = hi - 1;
    if (h < l) return lo;
    while (l <= h) {
        const int mid = (l + h) / 2;
        const int32_t k = LotKeyAt(mid);
        if (k == key) return mid;
        if (key < k)
            h = mid - 1;
        else
            l = mid + 1;
    }
    return l == lo ? lo : l - 1;
}

template <bool R>
int NcAddrEngine<R>::FindLot(int mountain, int32_t lotKey, int64_t areaCode) {
    m_curBlock = m_curIndex = -1;
    Row row;
    if (!GetAreaRecord(areaCode, row) || m_found.lotFlag == 0) return 0;
    if (m_inflated.size() < kAddrBlockBytes || !m_lotFile.IsOpen() || !m_blockIndex.IsOpen()) return 0;
    if (m_found.firstBlock > m_found.lastBlock) return 0;
    const int64_t key = int64_t{lotKey} + (mountain == 1 ? kMountainKeyOffset : 0);

    int firstIdx = m_found.firstIndex, lastIdx = m_found.lastIndex;
    const int block = FindLotBlock(key, m_found.firstBlock, &firstIdx, m_found.lastBlock, &lastIdx);
    if (block < 0) return -1;
    if (LoadBlock(block) < 0) return -1;
    lastIdx = std::min(lastIdx, m_blockRecords - 1);
    if (block != m_found.lastBlock) lastIdx = m_blockRecords - 1;
    if (firstIdx > lastIdx) return 0;
    int index = key == 0 ? firstIdx : FindLotInBlock(key, firstIdx, lastIdx + 1);
    if (index < firstIdx || index > lastIdx) return 0;
    int found = block;
    // A key below every lot of this block whose area began in an earlier
    // block: the nearest lower lot is the last one of the block before.
    if (key != 0 && LotKeyAt(index) > key && index == 0 && block > m_found.firstBlock) {
        if (LoadBlock(block - 1) < 0) return -1;
        found = block - 1;
        index = m_blockRecords - 1;
    }
    m_curBlock = found;
    m_curIndex = index;
    platform::ByteReader r(&m_inflated[static_cast<size_t>(index) * kAddrLotRecordBytes + 4], 3);
    const uint32_t packed = U24(r);
    m_foundX = (packed >> 12) * kLotStepUnits + m_found.baseX;
    m_foundY = (packed & 0xFFF) * kLotStepUnits + m_found.baseY;
    m_foundKey = lotKey;
    return 1;
}

template <bool R>
int NcAddrEngine<R>::MakeLotRows(int count) {
    std::u16string areaName;
    platform::Cp949ToUtf16(m_foundName, areaName);
    int made = 0;
    for (; made < count && static_cast<int>(m_lotRows.size()) < kAddrLotRowCapacity; ++made) {
        platform::ByteReader r(&m_inflated[static_cast<size_t>(m_curIndex) * kAddrLotRecordBytes], kAddrLotRecordBytes);
        AddrLotRow row;
        row.uAreaCode = m_found.code;
        const size_t n = std::min<size_t>(areaName.size(), 39);
        std::copy_n(areaName.data(), n, row.szAreaName);
        const uint16_t main = r.U16();
        row.bMountain = main >= kMountainMainFlag ? 1 : 0;
        row.nMainNo = row.bMountain ? main - kMountainMainFlag : main;
        row.nSubNo = r.U16();
        const uint32_t packed = U24(r);
        row.ptX = kAddrOriginX + (packed >> 12) * kLotStepUnits + m_found.baseX;
        row.ptY = kAddrOriginY + (packed & 0xFFF) * kLotStepUnits + m_found.baseY;
        m_lotRows.push_back(row);
        ++m_curIndex;
    }
    return made;
}

template <bool R>
int NcAddrEngine<R>::FetchLots(int max, int* outCount) {
    if (outCount) *outCount = 0;
    if (m_curBlock < 0 || m_curIndex < 0 || max <= 0) return -1;
    max = std::min(max, kAddrLotRowCapacity);
    if (LoadBlock(m_curBlock) < 0) return -1;
    const int avail = std::max(BlockEnd(m_curBlock) - m_curIndex + 1, 0);
    int total = MakeLotRows(std::min(avail, max));
    if (avail < max && m_curBlock + 1 <= m_found.lastBlock) {
        if (LoadBlock(m_curBlock + 1) < 0) return -1;
        ++m_curBlock;
        m_curIndex = 0;
        total += MakeLotRows(std::min(BlockEnd(m_curBlock) + 1, max - total));
    }
    if (total <= 0) return -1;
    if (outCount) *outCount = total;
    return 1;
}

template class NcAddrEngine<false>;
template class NcAddrEngine<true>;
