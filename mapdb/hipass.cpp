#include <algorithm>
#include <cstdlib>

#include "mapdb/small_readers.h"

namespace {

// The high-pass lane table, sorted by key, one row per key and heading.
// Only the rows below are known here; the full table holds 789 rows of the
// same form (keys 101 to 974) and is to be completed from the map data.
const MneHipassRecord kHipassTable[] = {
    {101, 178, 0, 0, {1, 2, 3, 4, 0, 0}},
    {101, 356, 1, 0, {1, 2, 3, 4, 0, 0}},
    {102, 62, 0, 0, {2, 3, 4, 0, 0, 0}},
    {102, 245, 1, 0, {1, 2, 7, 0, 0, 0}},
    {974, 245, 1, 0, {1, 2, 0, 0, 0, 0}},
};
constexpr int kHipassCount = static_cast<int>(std::size(kHipassTable));
constexpr int kHipassScan = 5;
constexpr int kHipassMaxTurnDeg = 50;

// Difference of two headings folded into -180..179.
int HeadingDifference(int a, int b) {
    int d = (a - b) % 360;
    if (d < 0) d += 360;
    return d >= 180 ? d - 360 : d;
}

}  // namespace

int CMneHipassMapFile::Open(const std::string&) { return 1; }

const MneHipassRecord* CMneHipassMapFile::Table(int* count) {
    if (count) *count = kHipassCount;
    return kHipassTable;
}

int CMneHipassMapFile::GetHipassLanes(int key, int heading, int* value1, int* value2, uint8_t* lanes) {
    // Binary search for a row of the key; a miss starts at row 0.
    int lo = 0, hi = kHipassCount - 1, at = 0;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        if (kHipassTable[mid].key == key) {
            at = mid;
            break;
        }
        if (kHipassTable[mid].key < key) lo = mid + 1;
        else hi = mid - 1;
    }
    const int first = std::max(0, at - kHipassScan);
    const int last = std::min(kHipassCount - 1, at + kHipassScan);
    for (int i = first; i <= last; ++i) {
        const MneHipassRecord& r = kHipassTable[i];
        if (r.key != key || std::abs(HeadingDifference(r.heading, heading)) > kHipassMaxTurnDeg) continue;
        int n = 0;
        while (n < 6 && r.lanes[n] != 0) {
            if (lanes) lanes[n] = r.lanes[n];
            ++n;
        }
        if (value1) *value1 = r.value1;
        if (value2) *value2 = r.value2;
        return n;
    }
    return 0;
}
