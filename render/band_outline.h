#pragma once
// Band outlines: a wide line on the map (the route, a traffic band beside a
// road) drawn as a filled polygon instead of a thick stroke, so that its
// edges stay clean at sharp bends and the bird's-eye projection can take it
// as one area.
//
// A polyline in pixels, divided into parts, becomes one closed outline per
// part: for a part of n distinct points, the n left-edge points in order,
// the n right-edge points in reverse order and the first point again
// (2n + 1 points), the edges joined with mitres. Outlines are held per view
// slot in an arena of their own and rebuilt only when the frame or the
// width changes.
#include <cstdint>
#include <memory>

#include "foundation/memory_heap.h"
#include "render/screen_geometry.h"

// A part of the input polyline: its first and last point index (inclusive).
struct BandPartRange {
    int32_t first = 0;
    int32_t last = -1;
};

// A part of the outlines: its outline is the 2 x count + 1 points from
// firstIndex; the next part starts right after it. Parts of fewer than two
// points have no outline worth drawing.
struct BandPart {
    int32_t firstIndex = 0;
    int32_t count = 0;
};
static_assert(sizeof(BandPart) == 8, "part records are two int32");

struct BandOutlines {
    const ScreenPoint* points = nullptr;
    const BandPart* parts = nullptr;
    int32_t partCount = 0;
};

// The offset of a band edge from a segment, in pixels: p - offset is on
// the left of the direction of travel on the screen, p + offset on the right.
struct BandOffset {
    double x = 0.0;
    double y = 0.0;
};
BandOffset SegmentOffset(const ScreenPoint& a, const ScreenPoint& b, double halfWidth);

// The angle at b between a and c in whole degrees (0 for a U-turn, 180 for
// a straight line), by the law of cosines; 0 when a side has no length.
int JoinAngle(const ScreenPoint& a, const ScreenPoint& b, const ScreenPoint& c);

// The crossing of the segment a-b shifted by `before` with the segment b-c
// shifted by `after`, truncated to pixels. Parallel segments and U-turns
// give the vertex shifted by `after`.
void MitrePoint(const ScreenPoint& a, const ScreenPoint& b, const ScreenPoint& c, const BandOffset& before,
                const BandOffset& after, ScreenPoint& out);

// How the ends of a part outline meet a neighbouring piece through an extra
// point: kind 1 mitres the end towards it, kind 2 mitres the start from it.
inline constexpr int kBandOutlinePlain = 0;
inline constexpr int kBandOutlineMitreEnd = 1;
inline constexpr int kBandOutlineMitreStart = 2;

// Writes the 2n + 1 outline points of the n distinct points to out (a part
// of one point is written three times, an empty part as one zero point).
void BuildPartOutline(const ScreenPoint* points, int32_t count, double halfWidth, int kind,
                      const ScreenPoint* extra, ScreenPoint* out);

// The route being driven, in pixels of the view.
struct RouteBandInput {
    const ScreenPoint* points = nullptr;
    int32_t pointCount = 0;
    const BandPartRange* parts = nullptr;
    int32_t partCount = 0;
    int32_t currentPart = 0;       // the part the vehicle is on
    int32_t lastPassedPoint = -1;  // index of the last route point passed
    ScreenPoint position{};        // the vehicle on the route; 0 in x or y: unknown
};

class CMneBandOutlines {
public:
    static constexpr int kSlotCount = 5;
    static constexpr uint32_t kArenaBytes = 0x400000;
    static constexpr uint32_t kArenaUnit = 1024;
    static constexpr int32_t kCapacityBlock = 512;

    CMneBandOutlines();
    ~CMneBandOutlines();
    CMneBandOutlines(const CMneBandOutlines&) = delete;
    CMneBandOutlines& operator=(const CMneBandOutlines&) = delete;

    // The outlines of every part of the polyline for a view slot (0..4). 1 at
    // once when the slot already holds this frame's outlines of the same
    // half-width; 0 for another slot or when the arena or a buffer cannot
    // be had (the slot then holds no outlines).
    int BuildBandOutlines(const ScreenPoint* points, int32_t pointCount, const BandPartRange* parts,
                          int32_t partCount, double halfWidth, int slot, uint32_t frameStamp);
    int GetBandOutlines(int slot, BandOutlines& out) const;

    // The parts ahead of the vehicle: the current part from the vehicle's
    // position on (built afresh), then the later parts' outlines taken over
    // from BuildBandOutlines of the same slot and frame. Before the vehicle
    // has entered the route, or without a position, the outlines held from
    // the last call are given. 1, or 0 as BuildBandOutlines.
    int BuildRouteOutlineAhead(const RouteBandInput& route, double halfWidth, int slot, uint32_t frameStamp,
                               BandOutlines& out);
    // The parts already driven: the earlier parts' outlines taken over, then
    // the current part up to the vehicle's position, its end mitred towards
    // the first point ahead so that the two bands meet cleanly.
    int BuildRouteOutlineAheadFlat(const RouteBandInput& route, double halfWidth, int slot, uint32_t frameStamp,
                                   BandOutlines& out);

    // Frees the slot's route outlines (ahead and driven) and, when no
    // outlines of the slot remain, its arena.
    void ReleaseRouteOutlines(int slot);

private:
    struct ArenaDeleter {
        void operator()(MgrSharedBlock* block) const { DestroySharedBlock(block); }
    };
    struct Buffers {
        BandPart* parts = nullptr;
        int32_t partCapacity = 0;
        ScreenPoint* points = nullptr;
        int32_t pointCapacity = 0;
        int32_t partCount = 0;
        uint32_t stamp = 0;
        double halfWidth = -1.0;
        bool valid = false;
    };
    struct Slot {
        std::unique_ptr<MgrSharedBlock, ArenaDeleter> arena;
        Buffers all;
        Buffers ahead;
        Buffers driven;
    };

    bool Reserve(int slot, Buffers& buffers, int32_t parts, int64_t points);
    static void FreeBuffers(Buffers& buffers);
    int BuildRoute(const RouteBandInput& route, double halfWidth, int slot, uint32_t frameStamp, bool driven,
                   BandOutlines& out);

    Slot m_slots[kSlotCount];
};
