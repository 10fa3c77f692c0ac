#include "mapdb/small_readers.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_cursor.h"
#include "platform/codepage.h"

namespace {

uint32_t U24(platform::ByteReader& in) {
    const uint32_t low = in.U16();
    return low | (static_cast<uint32_t>(in.U8()) << 16);
}

// Stored texts are CP949; a text that does not convert is refused.
bool ConvertText(const uint8_t* bytes, size_t n, char16_t* out, size_t maxChars) {
    std::u16string text;
    if (!platform::Cp949ToUtf16(std::string_view(reinterpret_cast<const char*>(bytes), n), text)) return false;
    if (text.size() > maxChars) return false;
    std::copy(text.begin(), text.end(), out);
    out[text.size()] = 0;
    return true;
}

bool Fits(uint64_t offset, uint64_t length, int64_t fileSize) {
    return fileSize >= 0 && offset + length <= static_cast<uint64_t>(fileSize);
}

}  // namespace

// ------------------------------------------------------------------- lanes

int CMneExtLaneMapFile::Open(const std::string& dataRoot) {
    MgrLock lock(m_lock);
    // Opened again: the file goes, the arenas stay for Recreate.
    m_file.Close();
    m_fileSize = 0;
    if (!MneOpenDataFile(dataRoot, "Map\\Lane.ndb", m_file)) {
        Close();
        return 0;
    }
    m_fileSize = m_file.Size();
    if (!m_offsetCache.Recreate("LANEMAP_OFFSETDATA", 4, 0x10000, 4) ||
        !m_dataCache.Recreate("LANEMAP_DATA", 4, 0x10000, 4)) {
        Close();
        return 0;
    }
    return 1;
}

void CMneExtLaneMapFile::Close() {
    MgrLock lock(m_lock);
    m_offsetCache.Destroy();
    m_dataCache.Destroy();
    m_file.Close();
    m_fileSize = 0;
}

const MneLaneInfo* CMneExtLaneMapFile::GetLaneInfo(uint32_t linkId) {
    MgrLock lock(m_lock);
    const uint32_t number = MneLinkNumber(linkId);
    if (!m_file.IsOpen() || !MneLinkNumberValid(number)) return nullptr;
    const uint32_t group = number / 100;
    const uint8_t* index =
        m_offsetCache.Acquire(&group, m_file, 4ull * group, 4, true, "ExtLane DB : m_OffsetBlockCache Alloc Fail\n");
    if (!index) return nullptr;
    platform::ByteReader ir(index, 4);
    const uint32_t count = ir.U8();
    const uint32_t first = U24(ir);
    m_offsetCache.Release(&group);
    if (count == 0) return nullptr;
    const uint64_t at = kMneGroupIndexBytes + static_cast<uint64_t>(kMneLaneRecordSize) * first;
    const uint32_t bytes = count * kMneLaneRecordSize;
    if (!Fits(at, bytes, m_fileSize) || at > UINT32_MAX) return nullptr;
    const uint32_t key = static_cast<uint32_t>(at);
    const uint8_t* data = m_dataCache.Acquire(&key, m_file, at, bytes, true, "ExtLane DB : m_InfoCache Alloc Fail\n");
    if (!data) return nullptr;
    const uint8_t wantDirection = MneLinkIsReverse(linkId) ? 0 : 1;
    const MneLaneInfo* result = nullptr;
    for (uint32_t i = 0; i < count && !result; ++i) {
        platform::ByteReader in(data + i * kMneLaneRecordSize, kMneLaneRecordSize);
        MneLaneInfo r{};
        r.linkLow = in.U16();
        r.linkHigh = in.U8();
        r.direction = in.U8();
        r.value4 = in.U8();
        in.Bytes(r.lanes, sizeof r.lanes);
        r.value33 = in.U16();
        const uint32_t recordNumber = r.linkLow | (static_cast<uint32_t>(r.linkHigh) << 16);
        if (recordNumber == number && r.direction == wantDirection) {
            m_result = r;
            result = &m_result;
        }
    }
    m_dataCache.Release(&key);
    return result;
}

// ------------------------------------------------------------ turn by turn

int CMneExtTBTMapFile::Open(const std::string& dataRoot) {
    MgrLock lock(m_lock);
    // Opened again: the file goes, the arena stays for Recreate.
    m_file.Close();
    m_index.clear();
    m_fileSize = 0;
    if (!MneOpenDataFile(dataRoot, "Map\\TBT.ndb", m_file)) {
        Close();
        return 0;
    }
    m_fileSize = m_file.Size();
    m_index.resize(kMneGroupIndexBytes);
    if (!m_file.ReadExactAt(0, m_index.data(), m_index.size()) ||
        !m_dataCache.Recreate("TBTMAP_DATA", 4, 0x10000, 4)) {
        Close();
        return 0;
    }
    return 1;
}

void CMneExtTBTMapFile::Close() {
    MgrLock lock(m_lock);
    m_dataCache.Destroy();
    m_file.Close();
    m_index.clear();
    m_fileSize = 0;
}

const MneTurnInfo* CMneExtTBTMapFile::GetTurnInfo(uint32_t fromLinkId, uint32_t toLinkId) {
    MgrLock lock(m_lock);
    const uint32_t from = MneLinkNumber(fromLinkId);
    const uint32_t to = MneLinkNumber(toLinkId);
    if (!m_file.IsOpen() || !MneLinkNumberValid(from) || !MneLinkNumberValid(to)) return nullptr;
    platform::ByteReader ir(m_index.data() + 4 * (from / 100), 4);
    const uint32_t count = ir.U8();
    const uint32_t first = U24(ir);
    if (count == 0) return nullptr;
    const uint64_t at = kMneGroupIndexBytes + static_cast<uint64_t>(kMneTurnRecordSize) * first;
    const uint32_t bytes = count * kMneTurnRecordSize;
    if (!Fits(at, bytes, m_fileSize) || at > UINT32_MAX) return nullptr;
    const uint32_t key = static_cast<uint32_t>(at);
    const uint8_t* data = m_dataCache.Acquire(&key, m_file, at, bytes, true, "ExtTBT DB : m_InfoCache Alloc Fail\n");
    if (!data) return nullptr;
    const uint8_t wantDirection = MneLinkIsReverse(fromLinkId) ? 0 : 1;
    const MneTurnInfo* result = nullptr;
    for (uint32_t i = 0; i < count; ++i) {
        platform::ByteReader in(data + i * kMneTurnRecordSize, kMneTurnRecordSize);
        const uint8_t direction = in.U8();
        const uint32_t recordFrom = U24(in);
        const uint32_t recordTo = U24(in);
        if (direction != wantDirection || recordFrom != from || recordTo != to) continue;
        // The first matching record decides; a damaged one is refused.
        const char letter = static_cast<char>(in.U8());
        static constexpr char kLetters[] = {'Q', 'S', 'E', 'N'};
        const char* found = std::find(std::begin(kLetters), std::end(kLetters), letter);
        char digits[12];
        in.Bytes(digits, sizeof digits);
        const bool allDigits = std::all_of(std::begin(digits), std::end(digits), [](char c) { return c >= '0' && c <= '9'; });
        if (found != std::end(kLetters) && allDigits) {
            auto number = [&](int from0, int n) {
                int32_t v = 0;
                for (int k = 0; k < n; ++k) v = v * 10 + (digits[from0 + k] - '0');
                return v;
            };
            m_result = MneTurnInfo{0, static_cast<uint32_t>(found - kLetters) + 1, number(0, 8), number(8, 1),
                                   number(9, 3) * 10};
            result = &m_result;
        }
        break;
    }
    m_dataCache.Release(&key);
    return result;
}

// ------------------------------------------------------------------- names

int CMneNameMapFile::Open(const std::string& dataRoot) {
    MgrLock lock(m_lock);
    // Opened again: the file goes, the arena stays for Recreate.
    m_file.Close();
    m_fileSize = 0;
    if (!MneOpenDataFile(dataRoot, "Map\\RN.ndb", m_file)) {
        Close();
        return 0;
    }
    m_fileSize = m_file.Size();
    if (!m_cache.Recreate("NAMEMAP_DATA", 70, 0x20000, 4)) {
        Close();
        return 0;
    }
    return 1;
}

void CMneNameMapFile::Close() {
    MgrLock lock(m_lock);
    m_cache.Destroy();
    m_file.Close();
    m_fileSize = 0;
}

const MneNameRecord* CMneNameMapFile::GetName(uint32_t nameId) {
    MgrLock lock(m_lock);
    if (!m_file.IsOpen() || !Fits(nameId, kMneNameTextOffset, m_fileSize)) return nullptr;
    // A record near the end of the file is shorter than 64 bytes; the tail
    // reads as zeros and the length check below keeps the text inside.
    const uint8_t* data =
        m_cache.Acquire(&nameId, m_file, nameId, kMneNameRecordBytes, false, "Name DB : m_Cache Alloc Fail\n");
    if (!data) return nullptr;
    platform::ByteReader in(data, kMneNameRecordBytes);
    const uint32_t length = in.U8();
    const uint32_t value24 = U24(in);
    const uint32_t value4 = in.U8();
    const MneNameRecord* result = nullptr;
    // The text must lie inside the record and inside the file.
    if (length >= 1 && kMneNameTextOffset + length <= kMneNameRecordBytes &&
        Fits(static_cast<uint64_t>(nameId) + kMneNameTextOffset, length, m_fileSize)) {
        MneNameRecord r{};
        r.length = length;
        r.value4 = value4;
        r.value24 = value24;
        if (ConvertText(data + kMneNameTextOffset, length, r.text, kMneNameMaxChars)) {
            m_result = r;
            result = &m_result;
        }
    }
    m_cache.Release(&nameId);
    return result;
}

// -------------------------------------------------------------- toll gates

int CMneTollGateMapFile::Open(const std::string& dataRoot) {
    MgrLock lock(m_lock);
    // Opened again: the file goes, the arena stays for Recreate.
    m_file.Close();
    m_index.clear();
    m_fileSize = 0;
    if (!MneOpenDataFile(dataRoot, "Map\\TG.ndb", m_file)) {
        Close();
        return 0;
    }
    m_fileSize = m_file.Size();
    m_index.resize(kMneTollGateIndexBytes);
    if (!m_file.ReadExactAt(0, m_index.data(), m_index.size()) ||
        !m_cache.Recreate("TOLLGATE_DATA", 320, 0x100000, 4)) {
        Close();
        return 0;
    }
    return 1;
}

void CMneTollGateMapFile::Close() {
    MgrLock lock(m_lock);
    m_cache.Destroy();
    m_file.Close();
    m_index.clear();
    m_fileSize = 0;
}

const MneTollGateRecord* CMneTollGateMapFile::GetTollGate(int gate, int* count) {
    MgrLock lock(m_lock);
    if (!m_file.IsOpen() || gate < 1 || gate > kMneTollGateCount) return nullptr;
    platform::ByteReader ir(m_index.data() + 8 * (gate - 1), 8);
    const uint32_t offset = ir.U32();
    const uint32_t n = ir.U16();
    if (offset == 0 || n == 0 || n > kMneTollGateMaxRecords) return nullptr;
    const uint32_t bytes = n * kMneTollGateRecordSize;
    if (!Fits(offset, bytes, m_fileSize)) return nullptr;
    const uint8_t* data =
        m_cache.Acquire(&offset, m_file, offset, bytes, true, "TollGate DB : m_TollGateInfoCache Alloc Fail\n");
    if (!data) return nullptr;
    for (uint32_t i = 0; i < n; ++i) std::memcpy(m_result[i].bytes, data + i * kMneTollGateRecordSize, kMneTollGateRecordSize);
    m_cache.Release(&offset);
    if (count) *count = static_cast<int>(n);
    return m_result.data();
}

// ----------------------------------------------------------- service areas

int CMneSAMapFile::Open(const std::string& dataRoot) {
    MgrLock lock(m_lock);
    // Opened again: the files go, the arenas stay for Recreate.
    m_file.Close();
    m_idxFile.Close();
    m_groups.clear();
    m_fileSize = m_idxFileSize = 0;
    m_areaCount = 0;
    if (!MneOpenDataFile(dataRoot, "Map\\SA.ndb", m_file) || !MneOpenDataFile(dataRoot, "Map\\SAIdx.ndb", m_idxFile)) {
        Close();
        return 0;
    }
    m_fileSize = m_file.Size();
    m_idxFileSize = m_idxFile.Size();
    uint8_t countBytes[2];
    m_groups.resize(kMneSaIndexBytes);
    if (!m_file.ReadExactAt(0, countBytes, 2) || !m_idxFile.ReadExactAt(0, m_groups.data(), m_groups.size()) ||
        !m_offsetCache.Recreate("SAMAP_OFFSETDATA", 4, 0x10000, 4) ||
        !m_dataCache.Recreate("SAMAP_DATA", 4, 0x10000, 4)) {
        Close();
        return 0;
    }
    m_areaCount = platform::ByteReader(countBytes, 2).U16();
    return 1;
}

void CMneSAMapFile::Close() {
    MgrLock lock(m_lock);
    m_offsetCache.Destroy();
    m_dataCache.Destroy();
    m_file.Close();
    m_idxFile.Close();
    m_groups.clear();
    m_fileSize = m_idxFileSize = 0;
    m_areaCount = 0;
}

const MneServiceAreaInfo* CMneSAMapFile::GetServiceArea(uint32_t linkId) {
    MgrLock lock(m_lock);
    const uint32_t number = MneLinkNumber(linkId);
    if (!m_file.IsOpen() || !MneLinkNumberValid(number)) return nullptr;
    const uint32_t group = number / 100;
    if (group >= kMneSaGroupCount) return nullptr;
    platform::ByteReader gr(m_groups.data() + 5 * group, 5);
    const uint32_t count = gr.U16();
    const uint32_t first = U24(gr);
    if (count == 0) return nullptr;
    const uint64_t at = kMneSaIndexBytes + static_cast<uint64_t>(kMneSaLinkRecordSize) * first;
    const uint64_t bytes = static_cast<uint64_t>(count) * kMneSaLinkRecordSize;
    if (!Fits(at, bytes, m_idxFileSize) || bytes > 0x8000) return nullptr;
    const uint8_t* links =
        m_offsetCache.Acquire(&group, m_idxFile, at, static_cast<uint32_t>(bytes), true, "AS DB : IndexCache Alloc Fail\n");
    if (!links) return nullptr;
    uint32_t saOffset = 0;
    bool found = false;
    for (uint32_t i = 0; i < count && !found; ++i) {
        platform::ByteReader in(links + i * kMneSaLinkRecordSize, kMneSaLinkRecordSize);
        const uint32_t linkNumber = U24(in);
        const uint32_t offset = U24(in);
        if (linkNumber == number) {
            saOffset = offset;
            found = true;
        }
    }
    m_offsetCache.Release(&group);
    if (!found || !Fits(saOffset, 2, m_fileSize)) return nullptr;
    const uint8_t* data =
        m_dataCache.Acquire(&saOffset, m_file, saOffset, kMneSaRecordSize, false, "AS DB : m_SAInfoCache Alloc Fail\n");
    if (!data) return nullptr;
    const MneServiceAreaInfo* result = nullptr;
    platform::ByteReader in(data, kMneSaRecordSize);
    MneServiceAreaInfo r{};
    r.nameLength = in.U8();
    const uint8_t* name = in.Span(r.nameLength);
    r.valueCount = in.U8();
    for (uint32_t i = 0; i < r.valueCount && i < kMneSaMaxValues; ++i) r.values[i] = in.U16();
    // Name and values must fit the 50-byte record and the file.
    if (in.Ok() && r.valueCount <= kMneSaMaxValues && Fits(saOffset, in.Position(), m_fileSize) &&
        (r.nameLength == 0 || ConvertText(name, r.nameLength, r.name, kMneSaMaxNameChars))) {
        m_result = r;
        result = &m_result;
    }
    m_dataCache.Release(&saOffset);
    return result;
}
