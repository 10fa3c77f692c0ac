#include "render/frame_setup.h"

#include <algorithm>
#include <cmath>

#include "platform/byte_cursor.h"
#include "render/coord_system.h"

// ---- Request bytes ---------------------------------------------------------------------

void EncodeDrawRequest(const MneDrawRequest& r, uint8_t out[kMneDrawRequestBytes]) {
    platform::ByteWriter w;
    for (uint8_t b : {r.centreMode, r.viewMode, r.screenIndex, r.birdView, r.northUp, r.poiPass, r.trafficPass,
                      r.styleMode, r.panorama, r.themeKind, r.themeVariant, r.themeExtra})
        w.U8(b);
    w.U16(r.scaleStep);
    w.U16(r.viewWidth);
    w.U16(r.viewHeight);
    w.Bytes(r.reserved, sizeof r.reserved);
    w.I32(r.centre.x);
    w.I32(r.centre.y);
    w.I32(r.carPosition.x);
    w.I32(r.carPosition.y);
    w.U32(r.centreShift);
    std::copy(w.Data().begin(), w.Data().end(), out);
}

MneDrawRequest DecodeDrawRequest(const uint8_t in[kMneDrawRequestBytes]) {
    platform::ByteReader rd(in, kMneDrawRequestBytes);
    MneDrawRequest r;
    for (uint8_t* b : {&r.centreMode, &r.viewMode, &r.screenIndex, &r.birdView, &r.northUp, &r.poiPass,
                       &r.trafficPass, &r.styleMode, &r.panorama, &r.themeKind, &r.themeVariant, &r.themeExtra})
        *b = rd.U8();
    r.scaleStep = rd.U16();
    r.viewWidth = rd.U16();
    r.viewHeight = rd.U16();
    rd.Bytes(r.reserved, sizeof r.reserved);
    r.centre.x = rd.I32();
    r.centre.y = rd.I32();
    r.carPosition.x = rd.I32();
    r.carPosition.y = rd.I32();
    r.centreShift = rd.U32();
    return r;
}

// ---- Scale tables ------------------------------------------------------------------------

namespace {
constexpr int kLevelOfStep[14] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 13, 15, 16, 17};
constexpr int kStyleLevelOf[18] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 10, 11, 11, 12, 12, 13, 14, 14};
constexpr int kMapLevelOf[18] = {5, 5, 4, 4, 4, 3, 3, 3, 3, 2, 2, 2, 2, 2, 2, 1, 1, 1};
}  // namespace

int ScaleLevelFromStep(int step) { return step >= 1 && step <= 14 ? kLevelOfStep[step - 1] : 0; }

int StepFromScaleLevel(int level) {
    if (level == 14) level = 15;
    if (level >= 10 && level <= 12) level = 8;
    for (int i = 0; i < 14; ++i)
        if (kLevelOfStep[i] == level) return i + 1;
    return 1;
}

int StyleLevelOfScaleLevel(int level) { return level >= 0 && level < 18 ? kStyleLevelOf[level] : 0; }

int MapLevelOfScaleLevel(int level) { return kMapLevelOf[std::clamp(level, 0, 17)]; }

// ---- Visible tiles ---------------------------------------------------------------------

namespace {

constexpr int32_t kSide = kTileLocalSteps;

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

int32_t Saturate32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN / 2, INT32_MAX / 2));
}

// Inside or on the edge of the quadrilateral (crossing count, with points on
// an edge counted inside).
bool InsideQuad(const std::array<ScreenPoint, 4>& q, int64_t x, int64_t y) {
    bool inside = false;
    for (int i = 0, j = 3; i < 4; j = i++) {
        const int64_t xi = q[i].x, yi = q[i].y, xj = q[j].x, yj = q[j].y;
        // On the segment?
        const int64_t cross = (xj - xi) * (y - yi) - (yj - yi) * (x - xi);
        if (cross == 0 && std::min(xi, xj) <= x && x <= std::max(xi, xj) && std::min(yi, yj) <= y &&
            y <= std::max(yi, yj))
            return true;
        if ((yi > y) != (yj > y)) {
            // x of the crossing compared without division.
            const int64_t lhs = (x - xi) * (yj - yi);
            const int64_t rhs = (xj - xi) * (y - yi);
            if ((yj - yi) > 0 ? lhs < rhs : lhs > rhs) inside = !inside;
        }
    }
    return inside;
}

}  // namespace

bool ClipQuadToTile(const std::array<ScreenPoint, 4>& q, int16_t out[4]) {
    static constexpr int32_t kCorners[4][2] = {{0, 0}, {kSide, 0}, {kSide, kSide}, {0, kSide}};
    int cornersInside = 0;
    bool cornerIn[4] = {};
    for (int i = 0; i < 4; ++i) {
        cornerIn[i] = InsideQuad(q, kCorners[i][0], kCorners[i][1]);
        cornersInside += cornerIn[i] ? 1 : 0;
    }
    if (cornersInside >= 3) {
        out[0] = 0, out[1] = 0, out[2] = kSide, out[3] = kSide;
        return true;
    }
    int64_t minX = INT64_MAX, minY = INT64_MAX, maxX = INT64_MIN, maxY = INT64_MIN;
    bool any = false;
    auto take = [&](int64_t x, int64_t y) {
        any = true;
        minX = std::min(minX, x), maxX = std::max(maxX, x);
        minY = std::min(minY, y), maxY = std::max(maxY, y);
    };
    for (const ScreenPoint& p : q)
        if (p.x >= 0 && p.x <= kSide && p.y >= 0 && p.y <= kSide) take(p.x, p.y);
    for (int i = 0; i < 4; ++i) {
        const ScreenPoint& a = q[i];
        const ScreenPoint& b = q[(i + 1) % 4];
        for (int32_t edge : {0, kSide}) {
            // A vertical edge of the square at x = edge.
            if (a.x != b.x && std::min(a.x, b.x) <= edge && edge <= std::max(a.x, b.x)) {
                const int64_t y = a.y + (static_cast<int64_t>(edge) - a.x) * (b.y - a.y) / (b.x - a.x);
                if (y >= 0 && y <= kSide) take(edge, y);
            }
            // A horizontal edge at y = edge.
            if (a.y != b.y && std::min(a.y, b.y) <= edge && edge <= std::max(a.y, b.y)) {
                const int64_t x = a.x + (static_cast<int64_t>(edge) - a.y) * (b.x - a.x) / (b.y - a.y);
                if (x >= 0 && x <= kSide) take(x, edge);
            }
        }
    }
    if (!any) return false;
    for (int i = 0; i < 4; ++i)
        if (cornerIn[i]) take(kCorners[i][0], kCorners[i][1]);
    out[0] = static_cast<int16_t>(minY);
    out[1] = static_cast<int16_t>(minX);
    out[2] = static_cast<int16_t>(maxY - minY);
    out[3] = static_cast<int16_t>(maxX - minX);
    return true;
}

void BuildVisibleRange(CMneCoordSystem& coords, int32_t width, int32_t height, int birdView, VisibleRange& range) {
    range.tiles.clear();
    range.order.clear();
    range.firstColumn = range.firstRow = range.columns = range.rows = 0;
    const int64_t side = coords.GetTileSide();
    const int64_t step = coords.GetLocalStep();
    const int level = coords.GetLevel();
    if (side <= 0 || step <= 0 || width <= 0 || height <= 0) return;

    // The screen's footprint. In the bird's-eye view it is the trapezoid
    // of flat positions the tilted picture shows (three view heights
    // beyond the top, a quarter width wider on each side), so its corners
    // are converted as flat positions.
    std::array<ScreenPoint, 4> screen;
    if (birdView) {
        screen = {ScreenPoint{-width / 4, -3 * height}, ScreenPoint{width + width / 4, -3 * height},
                  ScreenPoint{width, height}, ScreenPoint{0, height}};
    } else {
        screen = {ScreenPoint{0, 0}, ScreenPoint{width, 0}, ScreenPoint{width, height}, ScreenPoint{0, height}};
    }
    std::array<MapPoint, 4> map;
    int64_t minX = INT64_MAX, minY = INT64_MAX, maxX = INT64_MIN, maxY = INT64_MIN;
    for (int i = 0; i < 4; ++i) {
        coords.ScreenToMap(screen[i], map[i], 0);
        minX = std::min<int64_t>(minX, map[i].x), maxX = std::max<int64_t>(maxX, map[i].x);
        minY = std::min<int64_t>(minY, map[i].y), maxY = std::max<int64_t>(maxY, map[i].y);
    }
    int64_t firstCol = FloorDiv(minX, side), lastCol = FloorDiv(maxX, side);
    int64_t firstRow = FloorDiv(minY, side), lastRow = FloorDiv(maxY, side);
    // The cap: at most 16 x 16 tiles, those nearest the centre's tile.
    constexpr int64_t kMaxSpan = 16;
    static_assert(kMaxSpan * kMaxSpan == kMaxVisibleTiles);
    const MapPoint centre = coords.GetCentre();
    auto cut = [&](int64_t& first, int64_t& last, int64_t centreIndex) {
        if (last - first + 1 <= kMaxSpan) return;
        first = std::clamp(centreIndex - kMaxSpan / 2 + 1, first, last - kMaxSpan + 1);
        last = first + kMaxSpan - 1;
    };
    cut(firstCol, lastCol, FloorDiv(centre.x, side));
    cut(firstRow, lastRow, FloorDiv(centre.y, side));

    range.firstColumn = static_cast<int32_t>(firstCol);
    range.firstRow = static_cast<int32_t>(firstRow);
    range.columns = static_cast<int32_t>(lastCol - firstCol + 1);
    range.rows = static_cast<int32_t>(lastRow - firstRow + 1);
    range.tiles.reserve(static_cast<size_t>(range.columns) * range.rows);
    const int tilesPerSide = coords.GetTileCount();
    for (int64_t row = firstRow; row <= lastRow; ++row) {
        for (int64_t col = firstCol; col <= lastCol; ++col) {
            VisibleTile tile;
            tile.level = level;
            tile.column = static_cast<int32_t>(col);
            tile.row = static_cast<int32_t>(row);
            if (col >= 0 && row >= 0 && col < tilesPerSide && row < tilesPerSide) {
                coords.SetTile(tile.column, tile.row);
                std::array<ScreenPoint, 4> local;
                for (int i = 0; i < 4; ++i) {
                    local[i].x = Saturate32(FloorDiv(map[i].x - coords.GetTileOriginX(), step));
                    local[i].y = Saturate32(FloorDiv(map[i].y - coords.GetTileOriginY(), step));
                }
                ClipQuadToTile(local, tile.rect[0]);
            }
            range.tiles.push_back(tile);
        }
    }
}

void OrderTiles(int angleDeg, VisibleRange& range) {
    range.order.clear();
    range.order.reserve(range.tiles.size());
    const int32_t C = range.columns, R = range.rows;
    auto add = [&](int32_t c, int32_t r) { range.order.push_back(r * C + c); };
    switch (angleDeg / 90) {
        case 1:
            for (int32_t r = 0; r < R; ++r)
                for (int32_t c = C - 1; c >= 0; --c) add(c, r);
            break;
        case 2:
            for (int32_t c = 0; c < C; ++c)
                for (int32_t r = 0; r < R; ++r) add(c, r);
            break;
        case 3:
            for (int32_t r = R - 1; r >= 0; --r)
                for (int32_t c = 0; c < C; ++c) add(c, r);
            break;
        default:
            for (int32_t c = C - 1; c >= 0; --c)
                for (int32_t r = R - 1; r >= 0; --r) add(c, r);
            break;
    }
}

// ---- Theme -------------------------------------------------------------------------------

int SettleScreenTheme(const MneDrawRequest& request, ScreenTheme& cache, FrameGreySwitches& grey) {
    const uint8_t k = request.themeKind, v = request.themeVariant, e = request.themeExtra;
    const bool match = (k != 0 && k == cache.kind) || (k == 0 && v != 0 && v == cache.variant) ||
                       (k == 0 && v == 0 && (e == 0 || e == cache.extra));
    if ((k == 0 && v == 0 && e == 0) || k > 3 || v > 3 || e > 3) {
        cache = ScreenTheme{1, 0, 0};
    } else {
        cache = ScreenTheme{k, v, e};
    }
    if (cache.variant != 0) cache.kind = 4;
    if (cache.extra == 1) cache.variant = 0;
    if (cache.extra == 2) cache.variant = 1;
    if (cache.extra == 3) cache.variant = 3;
    if (cache.extra >= 1 && cache.extra <= 3) {
        cache.kind = cache.extra == 1 ? 1 : 4;
        for (int n = 1; n <= 15; ++n) grey.on[n - 1] = (n == 5 || n >= 13) ? 0 : 1;
    }
    return match ? 0 : 1;
}

void PoiThemeMasks(const ScreenTheme& theme, uint32_t* first, uint32_t* second) {
    uint32_t a = 0, b = 0;
    if (theme.kind == 2) {
        a = 0x40, b = 0xBE;
    } else if (theme.kind == 3) {
        a = 0x20, b = 0xDE;
    } else if (theme.kind == 4 && theme.variant == 1) {
        a = 0x10, b = 0xEE;
    } else if (theme.kind == 4 && (theme.variant == 2 || theme.variant == 3)) {
        a = 0x50, b = 0xAE;
    }
    if (first) *first = a;
    if (second) *second = b;
}

// ---- Pitch ---------------------------------------------------------------------------------

void StepBirdViewPitch(BirdPitchState& s, int viewMode, int viewAngleSetting, bool guidanceActive,
                       int32_t distanceToPoint) {
    if (viewMode == 5) {
        s.pitch = 80.0;
        return;
    }
    if (viewMode == 8) {
        s.pitch = 50.0;
        return;
    }
    const bool known = viewAngleSetting >= 1 && viewAngleSetting <= 3;
    const double target = viewAngleSetting == 1 ? -20.0 : viewAngleSetting == 3 ? 20.0 : 0.0;
    if (guidanceActive) {
        if (distanceToPoint < 300) {
            s.raised = true;
            s.returning = false;
        }
    } else if (s.raised) {
        s.raised = false;
        s.returning = true;
    }
    if (s.raised) {
        s.pitch = std::min(s.pitch + 5.0, 20.0);
        return;
    }
    if (s.returning) {
        const double goal = known ? target : s.pitch;
        if (s.pitch > goal) s.pitch = std::max(s.pitch - 5.0, goal);
        if (s.pitch <= goal) s.returning = false;
        return;
    }
    if (known) s.pitch = target;
}

// ---- Look-ahead ----------------------------------------------------------------------------

bool LookAheadHeading(const LookAheadPath& path, LookAheadState& state, int32_t height, int* heading,
                      int32_t* verticalOffset, MapPoint* centre) {
    if (path.points == nullptr || path.pointCount < 2 || path.sections == nullptr || path.sectionCount <= 0)
        return false;
    const int32_t current = std::clamp(path.currentSection, 0, path.sectionCount - 1);
    if (state.section != current) state = LookAheadState{};
    if (state.section < 0 || path.currentSection == 0) {
        state.section = current;
        state.point = path.sections[current][1];
    }
    if (state.point < 1 || state.point >= path.pointCount) return false;
    const int32_t end = state.point;
    int32_t start = end - 1;
    uint64_t sum = 0;
    for (int32_t i = end; i >= 1; --i) {
        sum += GetApproxDistance(path.points[i], path.points[i - 1]);
        if (sum > 129) {
            const uint32_t after = i + 1 < path.pointCount ? GetApproxDistance(path.points[i + 1], path.points[i]) : 0;
            start = (sum + after > 150 && i - 2 >= 0) ? i - 2 : i - 1;
            break;
        }
    }
    const MapPoint a = path.points[start], b = path.points[end];
    const int direction = GetAngleUTM(a.x, a.y, b.x, b.y, 1);
    *heading = (360 - direction % 360) % 360;
    const int32_t d = path.distanceToPoint;
    if (d < 100) {
        *verticalOffset = height / 2;
    } else if (d > 300) {
        *verticalOffset = height / 4;
    } else {
        *verticalOffset = height / 2 + (height / 4 - height / 2) * (d - 100) / 200;
    }
    *centre = b;
    return true;
}
