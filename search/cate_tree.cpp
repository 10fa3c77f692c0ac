#include "search/cate_tree.h"

#include <algorithm>

#include "platform/byte_cursor.h"
#include "platform/paths.h"
#include "search/search_keys.h"

int NcSearchCate::InitCate(const std::string& searchFolder) {
    m_folder = searchFolder;
    return ReopenCate();
}

int NcSearchCate::ReopenCate() {
    ClearList();
    return OpenCateFile();
}

int NcSearchCate::OpenCateFile() {
    m_file.Close();
    m_recordCount = 0;
    if (!m_file.Open(platform::NativePath(m_folder + "cate.sdb"))) return 0;
    uint8_t head[4];
    const int64_t size = m_file.Size();
    if (size < 0 || !m_file.ReadExactAt(0, head, sizeof head)) {
        m_file.Close();
        return 0;
    }
    // A count beyond the records present is cut to them.
    const uint64_t stored = static_cast<uint64_t>(size) / kCateRecordBytes;
    const uint64_t present = stored > 0 ? stored - 1 : 0;
    m_recordCount = static_cast<uint32_t>(std::min<uint64_t>(platform::ByteReader(head, 4).U32(), present));
    return 1;
}

int NcSearchCate::LevelOfIndex(uint32_t index) {
    int level = 0;
    for (int l = 1; l <= 4; ++l)
        if (LevelFirstIndex(l) <= index) level = l;
    return level;
}

uint32_t NcSearchCate::LevelFirstIndex(int level) {
    static constexpr uint32_t kFirst[5] = {0, 1, 31, 931, 13563};
    return level >= 1 && level <= 4 ? kFirst[level] : 0;
}

uint32_t NcSearchCate::LevelStart(int level) const {
    static constexpr uint32_t kStart[4] = {0, 1, 16, 113};
    const uint32_t end = m_recordCount + 1;
    if (level >= 1 && level <= 3) return std::min(kStart[level], end);
    return end;
}

bool NcSearchCate::ReadRecord(uint32_t r, Record& out) const {
    uint8_t bytes[kCateRecordBytes];
    if (r < 1 || r > m_recordCount || !m_file.ReadExactAt(uint64_t{r} * kCateRecordBytes, bytes, sizeof bytes))
        return false;
    platform::ByteReader rd(bytes, sizeof bytes);
    out.index = rd.U16();
    out.count = rd.U16();
    out.nameLength = rd.U8();
    out.nameOffset = rd.U32();
    return true;
}

uint32_t NcSearchCate::FindCateRecordNo(uint32_t index, uint32_t lo, uint32_t hi) const {
    int64_t l = lo, h = static_cast<int64_t>(hi) - 1;
    while (l <= h) {
        const int64_t mid = (l + h) / 2;
        Record rec;
        if (!ReadRecord(static_cast<uint32_t>(mid), rec)) break;
        if (rec.index == index) return static_cast<uint32_t>(mid);
        if (index < rec.index)
            h = mid - 1;
        else
            l = mid + 1;
    }
    return static_cast<uint32_t>(l);
}

std::string NcSearchCate::ReadNameOf(const Record& rec) const {
    char name[256];
    if (!m_file.ReadExactAt(rec.nameOffset, name, rec.nameLength)) return {};
    return std::string(CutCp949(std::string_view(name, rec.nameLength), kCateNameBytes - 1));
}

int NcSearchCate::ListCategories(int level, uint32_t parent) {
    ClearList();
    m_parent = parent;
    if (level < 1 || level > 4 || !m_file.IsOpen()) return 0;
    const uint32_t levelEnd = LevelStart(level + 1);
    const uint32_t first = FindCateRecordNo(parent * 30, LevelStart(level), levelEnd);
    const uint32_t end = FindCateRecordNo(parent * 30 + 30, first, levelEnd);
    for (uint32_t r = first; r < end && m_rowCount < kCateRowCapacity; ++r) {
        Record rec;
        if (!ReadRecord(r, rec)) break;
        CateRow& row = m_rows[static_cast<size_t>(m_rowCount++)];
        row = {};
        row.nIndex = rec.index;
        row.wCount = rec.count;
        const std::string name = ReadNameOf(rec);
        CopyCp949Field(row.szName, sizeof row.szName, name);
    }
    return m_rowCount;
}

int NcSearchCate::GetCateName(uint32_t index, std::string& out) {
    out.clear();
    const uint32_t r = FindCateRecordNo(index, 1, m_recordCount + 1);
    Record rec;
    if (!ReadRecord(r, rec) || rec.index != index) return 0;
    out = ReadNameOf(rec);
    return 1;
}

int NcSearchCate::GetCateRow(uint32_t index, CateRow& row) {
    row = {};
    Record rec;
    if (!ReadRecord(FindCateRecordNo(index, 1, m_recordCount + 1), rec)) return 0;
    row.nIndex = rec.index;
    row.wCount = rec.count;
    CopyCp949Field(row.szName, sizeof row.szName, ReadNameOf(rec));
    return 1;
}
