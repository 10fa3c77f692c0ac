#pragma once
// Placement caches: every symbol and text a label pass places in a frame is
// recorded here, as a fixed-size record in a growing array and as
// rectangles in two R-trees (texts and symbols). A pass asks the cache
// whether a new box would overlap anything placed and drops the candidate if
// so; at the end of the frame the caches are copied into the draw module's
// published caches, where the screens pick the object under a tapped point.
//
// The trees hold each record's insertion position (its record index), not
// its array position, so the POI passes may keep the array sorted by key.
#include <cstddef>
#include <cstdint>

#include "render/rtree.h"
#include "render/screen_geometry.h"

// Placement kinds: which of a record's rectangles are indexed.
inline constexpr uint8_t kPlaceSymbolOnly = 0;
inline constexpr uint8_t kPlaceTextOnly = 1;
inline constexpr uint8_t kPlaceSymbolAndText = 2;

// A placed POI (the POI name passes, the lot numbers and the style
// landmarks). The bytes the cache does not use belong to those passes.
struct tagMODULEDRAWPOICACHE {
    char name[64];           // 0: CP949, NUL-terminated, at most 63 bytes
    ScreenRect textRect;     // 64
    ScreenRect symbolRect;   // 80: its left and top are where the symbol goes
    uint8_t kind;            // 96: placement kind
    uint8_t notIndexed;      // 97: 1 for an always-placed record, never in the trees
    uint8_t displayStep;     // 98
    uint8_t fontSizeClass;   // 99
    uint8_t thirdAttribute;  // 100
    uint8_t reserved101[3];  // 101
    uint16_t classIndex;     // 104: the POI class (style id)
    uint16_t groupType;      // 106: 20 marks a landmark
    uint32_t sortKey;        // 108: the POI's word after its position
    int32_t mapX;            // 112
    int32_t mapY;            // 116
    int32_t recordIndex;     // 120: written by the cache
    int16_t textWidth;       // 124
    int16_t textHeight;      // 126
};
static_assert(sizeof(tagMODULEDRAWPOICACHE) == 128, "POI placement records are 128 bytes");
static_assert(offsetof(tagMODULEDRAWPOICACHE, textRect) == 64);
static_assert(offsetof(tagMODULEDRAWPOICACHE, kind) == 96);
static_assert(offsetof(tagMODULEDRAWPOICACHE, sortKey) == 108);
static_assert(offsetof(tagMODULEDRAWPOICACHE, recordIndex) == 120);

// A placed theme symbol or traffic-message symbol.
struct ModuleDrawSymbolCacheRecord {
    ScreenRect textRect;     // 0
    ScreenRect symbolRect;   // 16
    uint8_t kind;            // 32: placement kind
    uint8_t notIndexed;      // 33
    uint8_t callerData[2];   // 34
    int32_t objectId;        // 36: what a pick hands to the screen
    int32_t recordIndex;     // 40: written by the cache
};
static_assert(sizeof(ModuleDrawSymbolCacheRecord) == 44, "theme and traffic placement records are 44 bytes");

struct tagMODULEDRAWTHEMECACHE : ModuleDrawSymbolCacheRecord {};
struct tagMODULEDRAWRTMCACHE : ModuleDrawSymbolCacheRecord {};
static_assert(sizeof(tagMODULEDRAWTHEMECACHE) == 44 && sizeof(tagMODULEDRAWRTMCACHE) == 44);

// First capacity and growth step in records: about 4 KB of array each.
template <class Record>
struct DrawCacheTraits;
template <>
struct DrawCacheTraits<tagMODULEDRAWPOICACHE> {
    static constexpr int32_t kGrowthRecords = 32;
};
template <>
struct DrawCacheTraits<tagMODULEDRAWTHEMECACHE> {
    static constexpr int32_t kGrowthRecords = 93;
};
template <>
struct DrawCacheTraits<tagMODULEDRAWRTMCACHE> {
    static constexpr int32_t kGrowthRecords = 93;
};

template <class Record>
class CMoudleDrawDrawCacheT {
public:
    static constexpr int32_t kGrowthRecords = DrawCacheTraits<Record>::kGrowthRecords;
    // Widening of the tested rectangles when the caller asks for a margin.
    static constexpr int32_t kWidenPixels = 4;

    // Called after each Add with the array and the new count (the POI passes
    // keep the array sorted with it); the result is not used.
    using AddCallback = int (*)(Record* records, int32_t count);

    CMoudleDrawDrawCacheT();
    CMoudleDrawDrawCacheT(const CMoudleDrawDrawCacheT& other);
    CMoudleDrawDrawCacheT& operator=(const CMoudleDrawDrawCacheT& other);
    virtual ~CMoudleDrawDrawCacheT();

    // Stores a copy of the record at the end (its record index set to that
    // position) and indexes the rectangles the kind names, unless
    // notIndexed is set. 1, or 0 when the array could not grow: the record
    // is refused and everything placed before stays as it was.
    int Add(const Record& record, uint8_t kind, uint8_t notIndexed, const ScreenRect& textRect,
            const ScreenRect& symbolRect, AddCallback callback);

    // 1 when a rectangle the kind names (text first, then symbol) overlaps
    // anything in the text tree or the symbol tree. With widen equal to 1
    // the tested rectangles grow by 4 pixels on every side. The callback
    // sees every hit; without one the first hit answers.
    int Overlaps(uint8_t kind, const ScreenRect& textRect, const ScreenRect& symbolRect, int widen,
                 RTreeSearchCallback callback, void* context) const;

    // The record whose symbol or text contains the point (the first hit of a
    // zero-size rectangle, as the screens pick), or null.
    const Record* Pick(int32_t x, int32_t y) const;

    // Count 0 and both trees emptied; the array is kept.
    void Clear();
    // Array freed, capacity and count 0, trees emptied.
    void Release();

    int32_t Count() const { return m_count; }
    int32_t Capacity() const { return m_capacity; }
    const Record* Records() const { return m_records; }
    const Record& At(int32_t i) const { return m_records[i]; }

private:
    void IndexRecord(uint8_t kind, const ScreenRect& textRect, const ScreenRect& symbolRect,
                     int32_t recordIndex);

    int32_t m_capacity = 0;
    int32_t m_count = 0;
    Record* m_records = nullptr;  // from MgrAlloc
    RTree m_textTree;
    RTree m_symbolTree;
};

// The POI passes' Add callback: sorts the records by their key, ascending as
// unsigned values; records with equal keys keep the order they were added
// in, so the same frame always draws the same picture. Returns 1.
int SortPoiCacheByKey(tagMODULEDRAWPOICACHE* records, int32_t count);

extern template class CMoudleDrawDrawCacheT<tagMODULEDRAWPOICACHE>;
extern template class CMoudleDrawDrawCacheT<tagMODULEDRAWTHEMECACHE>;
extern template class CMoudleDrawDrawCacheT<tagMODULEDRAWRTMCACHE>;
