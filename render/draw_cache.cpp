#include "render/draw_cache.h"

#include <algorithm>
#include <cstring>

#include "foundation/memory_heap.h"

namespace {

int StopAtFirstHit(int32_t /*data*/, void* /*context*/) { return 0; }

struct FirstHit {
    int32_t data = -1;
    bool found = false;
};

int TakeFirstHit(int32_t data, void* context) {
    auto* hit = static_cast<FirstHit*>(context);
    hit->data = data;
    hit->found = true;
    return 0;
}

ScreenRect Widen(const ScreenRect& r, int32_t by) {
    return ScreenRect{r.left - by, r.top - by, r.right + by, r.bottom + by};
}

int SearchTree(const RTree& tree, const ScreenRect& r, RTreeSearchCallback callback, void* context) {
    const int32_t min[2] = {r.left, r.top};
    const int32_t max[2] = {r.right, r.bottom};
    return tree.FindOverlapping(min, max, callback, context);
}

void InsertRect(RTree& tree, const ScreenRect& r, int32_t data) {
    const int32_t min[2] = {r.left, r.top};
    const int32_t max[2] = {r.right, r.bottom};
    tree.Add(min, max, data);
}

}  // namespace

template <class Record>
CMoudleDrawDrawCacheT<Record>::CMoudleDrawDrawCacheT() {
    m_records = static_cast<Record*>(MgrAlloc(sizeof(Record) * kGrowthRecords));
    m_capacity = m_records ? kGrowthRecords : 0;
}

template <class Record>
CMoudleDrawDrawCacheT<Record>::CMoudleDrawDrawCacheT(const CMoudleDrawDrawCacheT& other) {
    *this = other;
}

template <class Record>
CMoudleDrawDrawCacheT<Record>::~CMoudleDrawDrawCacheT() {
    Release();
}

template <class Record>
void CMoudleDrawDrawCacheT<Record>::Release() {
    if (m_records) MgrFree(m_records);
    m_records = nullptr;
    m_capacity = 0;
    m_count = 0;
    m_textTree.Clear();
    m_symbolTree.Clear();
}

template <class Record>
void CMoudleDrawDrawCacheT<Record>::Clear() {
    m_count = 0;
    m_textTree.Clear();
    m_symbolTree.Clear();
}

template <class Record>
void CMoudleDrawDrawCacheT<Record>::IndexRecord(uint8_t kind, const ScreenRect& textRect,
                                                const ScreenRect& symbolRect, int32_t recordIndex) {
    switch (kind) {
        case kPlaceSymbolOnly:
            InsertRect(m_symbolTree, symbolRect, recordIndex);
            break;
        case kPlaceTextOnly:
            InsertRect(m_textTree, textRect, recordIndex);
            break;
        case kPlaceSymbolAndText:
            InsertRect(m_textTree, textRect, recordIndex);
            InsertRect(m_symbolTree, symbolRect, recordIndex);
            break;
        default:
            break;
    }
}

template <class Record>
int CMoudleDrawDrawCacheT<Record>::Add(const Record& record, uint8_t kind, uint8_t notIndexed,
                                       const ScreenRect& textRect, const ScreenRect& symbolRect,
                                       AddCallback callback) {
    if (m_count + 1 >= m_capacity) {
        const int32_t newCapacity = m_capacity + kGrowthRecords;
        auto* grown = static_cast<Record*>(MgrAlloc(sizeof(Record) * static_cast<size_t>(newCapacity)));
        // Without room the new record is refused; the array, the records
        // placed so far and the trees that index them stay as they are.
        if (!grown) return 0;
        if (m_records) {
            std::memcpy(grown, m_records, sizeof(Record) * static_cast<size_t>(m_capacity));
            MgrFree(m_records);
        }
        m_records = grown;
        m_capacity = newCapacity;
    }
    Record& stored = m_records[m_count];
    std::memcpy(&stored, &record, sizeof(Record));
    stored.recordIndex = m_count;
    if (!notIndexed) IndexRecord(kind, textRect, symbolRect, m_count);
    ++m_count;
    if (callback) callback(m_records, m_count);
    return 1;
}

template <class Record>
int CMoudleDrawDrawCacheT<Record>::Overlaps(uint8_t kind, const ScreenRect& textRect,
                                            const ScreenRect& symbolRect, int widen,
                                            RTreeSearchCallback callback, void* context) const {
    if (!callback) {
        callback = StopAtFirstHit;
        context = nullptr;
    }
    const int32_t by = widen == 1 ? kWidenPixels : 0;
    auto hitsEither = [&](const ScreenRect& r) {
        const ScreenRect tested = Widen(r, by);
        return SearchTree(m_textTree, tested, callback, context) > 0 ||
               SearchTree(m_symbolTree, tested, callback, context) > 0;
    };
    switch (kind) {
        case kPlaceSymbolOnly:
            return hitsEither(symbolRect) ? 1 : 0;
        case kPlaceTextOnly:
            return hitsEither(textRect) ? 1 : 0;
        case kPlaceSymbolAndText:
            return hitsEither(textRect) || hitsEither(symbolRect) ? 1 : 0;
        default:
            return 0;
    }
}

template <class Record>
const Record* CMoudleDrawDrawCacheT<Record>::Pick(int32_t x, int32_t y) const {
    FirstHit hit;
    const ScreenRect point{x, y, x, y};
    if (!Overlaps(kPlaceSymbolOnly, point, point, 0, TakeFirstHit, &hit) || !hit.found) return nullptr;
    for (int32_t i = 0; i < m_count; ++i) {
        if (m_records[i].recordIndex == hit.data) return &m_records[i];
    }
    return nullptr;
}

template <class Record>
CMoudleDrawDrawCacheT<Record>& CMoudleDrawDrawCacheT<Record>::operator=(const CMoudleDrawDrawCacheT& other) {
    if (this == &other) return *this;
    m_count = other.m_count;
    if (m_capacity < other.m_capacity) {
        if (m_records) MgrFree(m_records);
        m_records = static_cast<Record*>(MgrAlloc(sizeof(Record) * static_cast<size_t>(other.m_capacity)));
        if (!m_records) {
            // An empty cache answers no overlap and no pick: its trees must
            // not keep the values of records it no longer holds.
            m_capacity = 0;
            m_count = 0;
            m_textTree.Clear();
            m_symbolTree.Clear();
            return *this;
        }
        m_capacity = other.m_capacity;
    }
    if (m_count > 0) std::memcpy(m_records, other.m_records, sizeof(Record) * static_cast<size_t>(m_count));
    m_textTree.Clear();
    m_symbolTree.Clear();
    for (int32_t i = 0; i < m_count; ++i) {
        const Record& r = m_records[i];
        if (r.notIndexed == 0) IndexRecord(r.kind, r.textRect, r.symbolRect, r.recordIndex);
    }
    return *this;
}

int SortPoiCacheByKey(tagMODULEDRAWPOICACHE* records, int32_t count) {
    if (count < 2) return 1;
    auto byKey = [](const tagMODULEDRAWPOICACHE& a, const tagMODULEDRAWPOICACHE& b) { return a.sortKey < b.sortKey; };
    // The passes sort after every add, so all records but the last are in
    // order already: moving the last one behind its equals is the stable
    // sort of the whole array. Any other array is sorted whole.
    if (std::is_sorted(records, records + count - 1, byKey)) {
        tagMODULEDRAWPOICACHE* at = std::upper_bound(records, records + count - 1, records[count - 1], byKey);
        std::rotate(at, records + count - 1, records + count);
    } else {
        std::stable_sort(records, records + count, byKey);
    }
    return 1;
}

template class CMoudleDrawDrawCacheT<tagMODULEDRAWPOICACHE>;
template class CMoudleDrawDrawCacheT<tagMODULEDRAWTHEMECACHE>;
template class CMoudleDrawDrawCacheT<tagMODULEDRAWRTMCACHE>;
