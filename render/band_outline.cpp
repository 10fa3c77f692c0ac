#include "render/band_outline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <vector>

#include "foundation/coords.h"

namespace {

int32_t Truncate(double v) { return static_cast<int32_t>(v); }

ScreenPoint Shifted(const ScreenPoint& p, const BandOffset& o, double sign) {
    return ScreenPoint{Truncate(p.x + sign * o.x), Truncate(p.y + sign * o.y)};
}

BandOffset Scaled(const BandOffset& o, double sign) { return BandOffset{sign * o.x, sign * o.y}; }

// The points of one part with each point equal to the one before dropped;
// indices outside the polyline are left out.
void CollectPart(const ScreenPoint* points, int32_t pointCount, const BandPartRange& range,
                 std::vector<ScreenPoint>& out) {
    out.clear();
    const int32_t first = range.first < 0 ? 0 : range.first;
    const int32_t last = range.last >= pointCount ? pointCount - 1 : range.last;
    for (int32_t i = first; i <= last; ++i) {
        if (out.empty() || !SamePoint(out.back(), points[i])) out.push_back(points[i]);
    }
}

int32_t RoundUpToBlock(int64_t n) {
    const int64_t block = CMneBandOutlines::kCapacityBlock;
    const int64_t r = (n + block - 1) / block * block;
    return static_cast<int32_t>(r < block ? block : r);
}

// Replaces a buffer of the arena by a larger, zero-filled one when it holds
// fewer than `needed` items.
template <class T>
bool Regrow(MgrSharedBlock* arena, T*& buffer, int32_t& capacity, int64_t needed) {
    if (buffer && capacity >= needed) return true;
    if (buffer) SharedBlockFree(buffer);
    capacity = RoundUpToBlock(needed);
    buffer = static_cast<T*>(SharedBlockAlloc(arena, sizeof(T) * static_cast<size_t>(capacity)));
    if (!buffer) {
        capacity = 0;
        return false;
    }
    std::fill(buffer, buffer + capacity, T{});
    return true;
}

}  // namespace

BandOffset SegmentOffset(const ScreenPoint& a, const ScreenPoint& b, double halfWidth) {
    // Direction with y pointing up on the screen, from the degree tables.
    const int theta = Atan2Deg(a.y - b.y, b.x - a.x);
    return BandOffset{halfWidth * SinDeg(theta), halfWidth * CosDeg(theta)};
}

int JoinAngle(const ScreenPoint& a, const ScreenPoint& b, const ScreenPoint& c) {
    auto dist = [](const ScreenPoint& p, const ScreenPoint& q) {
        return std::hypot(static_cast<double>(p.x) - q.x, static_cast<double>(p.y) - q.y);
    };
    const double ab = dist(a, b);
    const double bc = dist(b, c);
    const double ac = dist(a, c);
    if (ab == 0.0 || bc == 0.0) return 0;
    double cosB = (ab * ab + bc * bc - ac * ac) / (2.0 * ab * bc);
    if (cosB > 1.0) cosB = 1.0;
    if (cosB < -1.0) cosB = -1.0;
    return static_cast<int>(std::acos(cosB) * 180.0 / std::numbers::pi);
}

void MitrePoint(const ScreenPoint& a, const ScreenPoint& b, const ScreenPoint& c, const BandOffset& before,
                const BandOffset& after, ScreenPoint& out) {
    // Start points of the two shifted lines.
    const double x1 = a.x + before.x, y1 = a.y + before.y;
    const double x2 = b.x + after.x, y2 = b.y + after.y;
    const double dx1 = static_cast<double>(b.x) - a.x, dy1 = static_cast<double>(b.y) - a.y;
    const double dx2 = static_cast<double>(c.x) - b.x, dy2 = static_cast<double>(c.y) - b.y;
    const ScreenPoint shiftedVertex{Truncate(x2), Truncate(y2)};
    if (JoinAngle(a, b, c) == 0 || (dx1 == 0.0 && dx2 == 0.0)) {
        out = shiftedVertex;
        return;
    }
    double x, y;
    if (dx1 == 0.0) {
        x = x1;
        y = y2 + dy2 / dx2 * (x - x2);
    } else if (dx2 == 0.0) {
        x = x2;
        y = y1 + dy1 / dx1 * (x - x1);
    } else {
        const double m1 = dy1 / dx1;
        const double m2 = dy2 / dx2;
        if (m1 == m2) {
            out = shiftedVertex;
            return;
        }
        x = (m1 * x1 - m2 * x2 + y2 - y1) / (m1 - m2);
        y = y1 + m1 * (x - x1);
    }
    out = ScreenPoint{Truncate(x), Truncate(y)};
}

void BuildPartOutline(const ScreenPoint* p, int32_t n, double w, int kind, const ScreenPoint* extra,
                      ScreenPoint* out) {
    if (n <= 0) {
        out[0] = ScreenPoint{0, 0};
        return;
    }
    if (n == 1) {
        out[0] = out[1] = out[2] = p[0];
        return;
    }
    // Left edge at 0 .. n-1; the right point of vertex i at 2n - 1 - i.
    const BandOffset first = SegmentOffset(p[0], p[1], w);
    out[0] = Shifted(p[0], first, -1.0);
    out[2 * n - 1] = Shifted(p[0], first, 1.0);
    const BandOffset last = SegmentOffset(p[n - 2], p[n - 1], w);
    out[n - 1] = Shifted(p[n - 1], last, -1.0);
    out[n] = Shifted(p[n - 1], last, 1.0);
    for (int32_t i = 1; i < n - 1; ++i) {
        const BandOffset in = SegmentOffset(p[i - 1], p[i], w);
        const BandOffset outOff = SegmentOffset(p[i], p[i + 1], w);
        MitrePoint(p[i - 1], p[i], p[i + 1], Scaled(in, -1.0), Scaled(outOff, -1.0), out[i]);
        MitrePoint(p[i - 1], p[i], p[i + 1], in, outOff, out[2 * n - 1 - i]);
    }
    // An extra point equal to the end it joins gives no direction.
    if (kind == kBandOutlineMitreEnd && extra && !SamePoint(*extra, p[n - 1])) {
        const BandOffset toExtra = SegmentOffset(p[n - 1], *extra, w);
        MitrePoint(p[n - 2], p[n - 1], *extra, Scaled(last, -1.0), Scaled(toExtra, -1.0), out[n - 1]);
        MitrePoint(p[n - 2], p[n - 1], *extra, last, toExtra, out[n]);
    } else if (kind == kBandOutlineMitreStart && extra && !SamePoint(*extra, p[0])) {
        const BandOffset fromExtra = SegmentOffset(*extra, p[0], w);
        MitrePoint(*extra, p[0], p[1], Scaled(fromExtra, -1.0), Scaled(first, -1.0), out[0]);
        MitrePoint(*extra, p[0], p[1], fromExtra, first, out[2 * n - 1]);
    }
    out[2 * n] = out[0];
}

// ---------------------------------------------------------------------------

CMneBandOutlines::CMneBandOutlines() = default;

CMneBandOutlines::~CMneBandOutlines() {
    for (Slot& s : m_slots) {
        FreeBuffers(s.all);
        FreeBuffers(s.ahead);
        FreeBuffers(s.driven);
    }
}

void CMneBandOutlines::FreeBuffers(Buffers& b) {
    if (b.parts) SharedBlockFree(b.parts);
    if (b.points) SharedBlockFree(b.points);
    b = Buffers{};
}

bool CMneBandOutlines::Reserve(int slot, Buffers& b, int32_t parts, int64_t points) {
    Slot& s = m_slots[slot];
    if (!s.arena) {
        char tag[32];
        std::snprintf(tag, sizeof(tag), "MGR3DPATH%d", slot);
        s.arena.reset(CreateSharedBlock(std::string_view(tag), kArenaUnit, kArenaBytes, 0));
        if (!s.arena) return false;
    }
    if (points > static_cast<int64_t>(kArenaBytes / sizeof(ScreenPoint))) return false;
    return Regrow(s.arena.get(), b.parts, b.partCapacity, parts) &&
           Regrow(s.arena.get(), b.points, b.pointCapacity, points);
}

int CMneBandOutlines::BuildBandOutlines(const ScreenPoint* points, int32_t pointCount, const BandPartRange* parts,
                                        int32_t partCount, double halfWidth, int slot, uint32_t frameStamp) {
    if (slot < 0 || slot >= kSlotCount) return 0;
    Buffers& b = m_slots[slot].all;
    if (b.valid && b.stamp == frameStamp && b.halfWidth == halfWidth) return 1;
    b.valid = false;
    if (partCount < 0 || (partCount > 0 && !parts) || (pointCount > 0 && !points)) return 0;
    int64_t needed = 5;
    for (int32_t k = 0; k < partCount; ++k) {
        const int64_t len = static_cast<int64_t>(parts[k].last) - parts[k].first + 1;
        needed += 2 * (len > 0 ? len : 0) + 3;
    }
    if (!Reserve(slot, b, partCount, needed)) return 0;
    std::vector<ScreenPoint> q;
    int32_t at = 0;
    for (int32_t k = 0; k < partCount; ++k) {
        CollectPart(points, pointCount, parts[k], q);
        const int32_t n = static_cast<int32_t>(q.size());
        b.parts[k] = BandPart{at, n};
        BuildPartOutline(q.data(), n, halfWidth, kBandOutlinePlain, nullptr, b.points + at);
        at += 2 * n + 1;
    }
    b.partCount = partCount;
    b.stamp = frameStamp;
    b.halfWidth = halfWidth;
    b.valid = true;
    return 1;
}

int CMneBandOutlines::GetBandOutlines(int slot, BandOutlines& out) const {
    if (slot < 0 || slot >= kSlotCount) return 0;
    const Buffers& b = m_slots[slot].all;
    if (!b.valid) return 0;
    out = BandOutlines{b.points, b.parts, b.partCount};
    return 1;
}

int CMneBandOutlines::BuildRouteOutlineAhead(const RouteBandInput& route, double halfWidth, int slot,
                                             uint32_t frameStamp, BandOutlines& out) {
    return BuildRoute(route, halfWidth, slot, frameStamp, false, out);
}

int CMneBandOutlines::BuildRouteOutlineAheadFlat(const RouteBandInput& route, double halfWidth, int slot,
                                                 uint32_t frameStamp, BandOutlines& out) {
    return BuildRoute(route, halfWidth, slot, frameStamp, true, out);
}

int CMneBandOutlines::BuildRoute(const RouteBandInput& route, double halfWidth, int slot, uint32_t frameStamp,
                                 bool driven, BandOutlines& out) {
    if (slot < 0 || slot >= kSlotCount) return 0;
    Slot& s = m_slots[slot];
    Buffers& b = driven ? s.driven : s.ahead;
    auto held = [&]() {
        out = BandOutlines{b.points, b.parts, b.valid ? b.partCount : 0};
        return 1;
    };
    if (b.valid && b.stamp == frameStamp && b.halfWidth == halfWidth) return held();
    const int32_t cur = route.currentPart;
    if (route.partCount <= 0 || !route.parts || !route.points || cur < 0 || cur >= route.partCount) return held();
    if (route.position.x == 0 || route.position.y == 0) return held();
    if (cur == 0 && route.lastPassedPoint < route.parts[0].first) return held();

    const BandPartRange& part = route.parts[cur];
    std::vector<ScreenPoint> fresh;
    ScreenPoint extra{};
    bool hasExtra = false;
    if (!driven) {
        // The vehicle's position, then the rest of its part.
        fresh.push_back(route.position);
        const int32_t from = route.lastPassedPoint + 1 > part.first ? route.lastPassedPoint + 1 : part.first;
        for (int32_t i = from; i <= part.last && i < route.pointCount; ++i) {
            if (!SamePoint(fresh.back(), route.points[i])) fresh.push_back(route.points[i]);
        }
    } else {
        // The part up to the vehicle, its end joined to the first point ahead.
        const int32_t to = route.lastPassedPoint < part.last ? route.lastPassedPoint : part.last;
        for (int32_t i = part.first < 0 ? 0 : part.first; i <= to && i < route.pointCount; ++i) {
            if (fresh.empty() || !SamePoint(fresh.back(), route.points[i])) fresh.push_back(route.points[i]);
        }
        if (fresh.empty() || !SamePoint(fresh.back(), route.position)) fresh.push_back(route.position);
        for (int32_t i = route.lastPassedPoint + 1; i < route.pointCount && i >= 0; ++i) {
            if (!SamePoint(route.points[i], route.position)) {
                extra = route.points[i];
                hasExtra = true;
                break;
            }
        }
    }

    // The other parts: taken over from the slot's outlines of the whole
    // route when they are there, else built here the same way.
    const Buffers& all = s.all;
    const bool haveAll = all.valid && all.partCount == route.partCount;
    const int32_t otherFirst = driven ? 0 : cur + 1;
    const int32_t otherLast = driven ? cur - 1 : route.partCount - 1;
    std::vector<std::vector<ScreenPoint>> built;
    int64_t needed = 2 * static_cast<int64_t>(fresh.size()) + 1 + 5;
    for (int32_t k = otherFirst; k <= otherLast; ++k) {
        if (haveAll) {
            needed += 2 * static_cast<int64_t>(all.parts[k].count) + 1;
        } else {
            built.emplace_back();
            CollectPart(route.points, route.pointCount, route.parts[k], built.back());
            needed += 2 * static_cast<int64_t>(built.back().size()) + 1;
        }
    }
    const int32_t partsOut = otherLast - otherFirst + 2;
    b.valid = false;
    if (!Reserve(slot, b, partsOut, needed)) return 0;

    int32_t at = 0;
    int32_t index = 0;
    auto writeFresh = [&]() {
        const int32_t n = static_cast<int32_t>(fresh.size());
        b.parts[index++] = BandPart{at, n};
        BuildPartOutline(fresh.data(), n, halfWidth, driven ? kBandOutlineMitreEnd : kBandOutlinePlain,
                         hasExtra ? &extra : nullptr, b.points + at);
        at += 2 * n + 1;
    };
    if (!driven) writeFresh();
    for (int32_t k = otherFirst; k <= otherLast; ++k) {
        if (haveAll) {
            const BandPart& src = all.parts[k];
            std::memcpy(b.points + at, all.points + src.firstIndex, sizeof(ScreenPoint) * (2 * src.count + 1));
            b.parts[index++] = BandPart{at, src.count};
            at += 2 * src.count + 1;
        } else {
            const std::vector<ScreenPoint>& q = built[static_cast<size_t>(k - otherFirst)];
            const int32_t n = static_cast<int32_t>(q.size());
            b.parts[index++] = BandPart{at, n};
            BuildPartOutline(q.data(), n, halfWidth, kBandOutlinePlain, nullptr, b.points + at);
            at += 2 * n + 1;
        }
    }
    if (driven) writeFresh();
    b.partCount = index;
    b.stamp = frameStamp;
    b.halfWidth = halfWidth;
    b.valid = true;
    return held();
}

void CMneBandOutlines::ReleaseRouteOutlines(int slot) {
    if (slot < 0 || slot >= kSlotCount) return;
    Slot& s = m_slots[slot];
    FreeBuffers(s.ahead);
    FreeBuffers(s.driven);
    FreeBuffers(s.all);
    s.arena.reset();
}
