#include "search/around_cate.h"

#include <algorithm>

#include "platform/byte_cursor.h"
#include "platform/paths.h"
#include "search/search_keys.h"

int NcSearchAroundCate::InitAroundCate(const std::string& searchFolder) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_folder = searchFolder;
    return OpenLocked();
}

int NcSearchAroundCate::ReopenAroundCate() {
    std::lock_guard<std::mutex> hold(m_lock);
    return OpenLocked();
}

int NcSearchAroundCate::OpenLocked() {
    m_file.Close();
    m_fileSize = 0;
    std::fill(std::begin(m_levelFirst), std::end(m_levelFirst), 0u);
    std::fill(std::begin(m_levelCount), std::end(m_levelCount), 0u);
    if (!m_file.Open(platform::NativePath(m_folder + "cate_around.sdb"))) return 0;
    m_fileSize = std::max<int64_t>(m_file.Size(), 0);
    uint8_t head[kAroundCateHeaderBytes];
    if (!m_file.ReadExactAt(0, head, sizeof head)) return 1;
    platform::ByteReader r(head, sizeof head);
    r.U16();
    uint32_t bounds[kAroundCateLevels + 1];
    for (uint32_t& b : bounds) b = r.U16();
    // Levels never reach past the records the file holds, nor before the
    // level above them.
    const uint32_t stored = static_cast<uint32_t>(std::max<int64_t>(m_fileSize / kAroundCateRecordBytes - 1, 0));
    uint32_t floor = 0;
    for (int l = 0; l <= kAroundCateLevels; ++l) {
        bounds[l] = std::clamp(bounds[l], floor, stored);
        floor = bounds[l];
    }
    for (int l = 0; l < kAroundCateLevels; ++l) {
        m_levelFirst[l] = bounds[l];
        m_levelCount[l] = bounds[l + 1] - bounds[l];
    }
    return 1;
}

int NcSearchAroundCate::GetLevelRange(int level, uint32_t* first, uint32_t* count) const {
    if (level < 1 || level > kAroundCateLevels) return 0;
    std::lock_guard<std::mutex> hold(m_lock);
    if (first) *first = m_levelFirst[level - 1];
    if (count) *count = m_levelCount[level - 1];
    return 1;
}

int NcSearchAroundCate::LevelOfCode(uint32_t code) {
    if (code == 0) return 0;
    if (code < 100) return 1;
    if (code < 10000) return 2;
    if (code < 1000000) return 3;
    return 4;
}

bool NcSearchAroundCate::ReadRecord(uint32_t r, AroundCateRow& row, bool withName) const {
    row = {};
    uint8_t b[kAroundCateRecordBytes];
    if (!m_file.ReadExactAt((uint64_t{r} + 1) * kAroundCateRecordBytes, b, sizeof b)) return false;
    platform::ByteReader in(b, sizeof b);
    row.nCode = in.U32();
    row.wValue1 = in.U16();
    row.wValue2 = in.U16();
    row.wValue3 = in.U16();
    row.nValue = in.U32();
    const uint8_t length = in.U8();
    const uint32_t offset = in.U32();
    if (withName && length) {
        char name[256];
        const int64_t got = m_file.ReadAt(offset, name, length);
        CopyCp949Field(row.szName, sizeof row.szName, std::string_view(name, got > 0 ? static_cast<size_t>(got) : 0));
    }
    return true;
}

uint32_t NcSearchAroundCate::FindCateRecordNo(uint32_t code, uint32_t lo, uint32_t hi) const {
    // The record with the code, else the first with a larger one.
    AroundCateRow row;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (!ReadRecord(mid, row, false)) return mid;
        if (row.nCode == code) return mid;
        if (row.nCode < code)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

int NcSearchAroundCate::ListCategories(int level, uint32_t parent, std::vector<AroundCateRow>* out) {
    if (out) out->clear();
    if (level < 1 || level > kAroundCateLevels) return 0;
    std::lock_guard<std::mutex> hold(m_lock);
    const uint32_t first = m_levelFirst[level - 1], end = first + m_levelCount[level - 1];
    const uint64_t from = uint64_t{parent} * 100;
    if (from + 100 > 0xFFFFFFFFu) return 0;
    const uint32_t lo = FindCateRecordNo(static_cast<uint32_t>(from), first, end);
    const uint32_t hi = FindCateRecordNo(static_cast<uint32_t>(from + 100), lo, end);
    int count = 0;
    AroundCateRow row;
    for (uint32_t r = lo; r < hi && count < kAroundCateMaxRows; ++r) {
        if (!ReadRecord(r, row, true)) break;
        if (out) out->push_back(row);
        ++count;
    }
    return count;
}

int NcSearchAroundCate::GetAroundRecord(uint32_t code, AroundCateRow* row) {
    if (!row) return 0;
    *row = {};
    const int level = LevelOfCode(code);
    if (level < 1) return 0;
    std::lock_guard<std::mutex> hold(m_lock);
    const uint32_t first = m_levelFirst[level - 1], end = first + m_levelCount[level - 1];
    const uint32_t r = FindCateRecordNo(code, first, end);
    AroundCateRow found;
    if (r >= end || !ReadRecord(r, found, true) || found.nCode != code) return 0;
    *row = found;
    return 1;
}
