#include "render/coord_system.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "foundation/critical_section.h"

namespace {

// The clip output buffer is shared by every coordinate system of the
// process; it lives from the first construction to the last destruction and
// only grows.
struct SharedClipBuffer {
    CMgrCriticalSection lock;
    int liveCount NAVI_GUARDED_BY(lock) = 0;
    std::vector<ScreenPoint> points NAVI_GUARDED_BY(lock);
};

SharedClipBuffer& SharedClip() {
    static SharedClipBuffer shared;
    return shared;
}

constexpr double kMinPerspectiveW = 0.000001;

int32_t Saturate(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, -CMneCoordSystem::kPixelLimit, CMneCoordSystem::kPixelLimit));
}

// Half away from zero through single precision, as the map has always been
// drawn; NaN and values beyond the limit stop at the limit.
int32_t RoundHalfAway(double v) {
    const float f = static_cast<float>(v + (v < 0.0 ? -0.5 : 0.5));
    constexpr float kLimit = static_cast<float>(CMneCoordSystem::kPixelLimit);
    if (!(f > -kLimit)) return -CMneCoordSystem::kPixelLimit;
    if (f > kLimit) return CMneCoordSystem::kPixelLimit;
    return static_cast<int32_t>(f);
}

// ---------------------------------------------------------------------------
// Clipping

struct Window {
    int64_t left, top, right, bottom;
};

// Region codes: 1 beyond right, 2 below bottom, 4 before left, 8 above top.
constexpr int kRight = 1, kBottom = 2, kLeft = 4, kTop = 8;

int RegionCode(const ScreenPoint& p, const Window& w) {
    int code = 0;
    if (p.x > w.right) code |= kRight;
    if (p.y > w.bottom) code |= kBottom;
    if (p.x < w.left) code |= kLeft;
    if (p.y < w.top) code |= kTop;
    return code;
}

// The borders a point inside the window lies on.
int Borders(const ScreenPoint& p, const Window& w) {
    int b = 0;
    if (p.x == w.right) b |= kRight;
    if (p.y == w.bottom) b |= kBottom;
    if (p.x == w.left) b |= kLeft;
    if (p.y == w.top) b |= kTop;
    return b;
}

// Output of one clip into the shared buffer, sized for the worst case.
struct ClipOut {
    ScreenPoint* points;
    size_t capacity;
    size_t count = 0;
    void Append(int64_t x, int64_t y) {
        if (count < capacity) points[count++] = ScreenPoint{static_cast<int32_t>(x), static_cast<int32_t>(y)};
    }
    void Append(const ScreenPoint& p) { Append(p.x, p.y); }
};

int32_t ToPixel(double v) { return static_cast<int32_t>(std::llround(v)); }

// Liang-Barsky clipping of one polygon edge: up to three points (a turning
// vertex at a window corner, the entry and the exit or the end).
void ClipPolygonEdge(const ScreenPoint& a, const ScreenPoint& b, const Window& w, ClipOut& out) {
    const double x1 = a.x, y1 = a.y;
    double dx = static_cast<double>(b.x) - a.x;
    double dy = static_cast<double>(b.y) - a.y;
    if (dx == 0.0) dx = static_cast<double>(w.left) < x1 ? -1e-30 : 1e-30;
    if (dy == 0.0) dy = static_cast<double>(w.top) < y1 ? -1e-30 : 1e-30;
    double xIn, xOut, yIn, yOut;
    if (dx > 0) {
        xIn = static_cast<double>(w.left), xOut = static_cast<double>(w.right);
    } else {
        xIn = static_cast<double>(w.right), xOut = static_cast<double>(w.left);
    }
    if (dy > 0) {
        yIn = static_cast<double>(w.top), yOut = static_cast<double>(w.bottom);
    } else {
        yIn = static_cast<double>(w.bottom), yOut = static_cast<double>(w.top);
    }
    const double tInX = (xIn - x1) / dx;
    const double tInY = (yIn - y1) / dy;
    const double tIn1 = std::min(tInX, tInY);
    const double tIn2 = std::max(tInX, tInY);
    if (tIn1 > 1.0) return;
    if (0.0 < tIn1) out.Append(ToPixel(xIn), ToPixel(yIn));
    if (tIn2 > 1.0) return;
    const double tOutX = (xOut - x1) / dx;
    const double tOutY = (yOut - y1) / dy;
    const double tOut1 = std::min(tOutX, tOutY);
    if (!(0.0 < tIn2 || 0.0 < tOut1)) return;
    if (tIn2 <= tOut1) {
        if (0.0 < tIn2) {
            if (tInX > tInY) {
                out.Append(ToPixel(xIn), ToPixel(y1 + tInX * dy));
            } else {
                out.Append(ToPixel(x1 + tInY * dx), ToPixel(yIn));
            }
        }
        if (1.0 > tOut1) {
            if (tOutX < tOutY) {
                out.Append(ToPixel(xOut), ToPixel(y1 + tOutX * dy));
            } else {
                out.Append(ToPixel(x1 + tOutY * dx), ToPixel(yOut));
            }
        } else {
            out.Append(b);
        }
    } else if (tInX > tInY) {
        out.Append(ToPixel(xIn), ToPixel(yOut));
    } else {
        out.Append(ToPixel(xOut), ToPixel(yIn));
    }
}

void ClipPolygon(const ScreenPoint* p, size_t count, const Window& w, ClipOut& out) {
    out.Append(p[0]);
    ScreenPoint prev = p[0];
    int prevCode = RegionCode(prev, w);
    // A ring stored open still has its closing edge: it is clipped like the
    // others, or the corners where it crosses the window would be lost.
    const size_t edges = SamePoint(p[count - 1], p[0]) ? count : count + 1;
    for (size_t i = 1; i < edges; ++i) {
        const ScreenPoint cur = p[i % count];
        if (SamePoint(cur, prev)) continue;
        const int code = RegionCode(cur, w);
        if (code != prevCode) {
            ClipPolygonEdge(prev, cur, w, out);
        } else if (code == 0) {
            out.Append(cur);
        }
        prev = cur;
        prevCode = code;
    }
    if (out.count >= 3 && !SamePoint(out.points[out.count - 1], out.points[0])) out.Append(out.points[0]);
}

// Cohen-Sutherland: moves the outside ends of a segment onto the borders it
// crosses (x borders first), rounding toward zero. False when nothing of
// the segment is left inside.
bool ClipSegment(ScreenPoint& a, ScreenPoint& b, const Window& w) {
    int codeA = RegionCode(a, w);
    int codeB = RegionCode(b, w);
    for (int step = 0; step < 8; ++step) {
        if ((codeA | codeB) == 0) return true;
        if (codeA & codeB) return false;
        const bool moveA = codeA != 0;
        const ScreenPoint& from = moveA ? a : b;
        const ScreenPoint& to = moveA ? b : a;
        const int code = moveA ? codeA : codeB;
        const __int128 x0 = from.x, y0 = from.y, x1 = to.x, y1 = to.y;
        __int128 x, y;
        if (code & (kRight | kLeft)) {
            x = (code & kRight) ? w.right : w.left;
            y = y0 + (y1 - y0) * (x - x0) / (x1 - x0);
        } else {
            y = (code & kBottom) ? w.bottom : w.top;
            x = x0 + (x1 - x0) * (y - y0) / (y1 - y0);
        }
        const ScreenPoint moved{static_cast<int32_t>(x), static_cast<int32_t>(y)};
        if (moveA) {
            a = moved;
            codeA = RegionCode(a, w);
        } else {
            b = moved;
            codeB = RegionCode(b, w);
        }
    }
    return false;
}

// Corners of the window walked clockwise on the screen from a border the
// line left by to the border it came back on.
void AppendCorners(int endBorders, int startBorders, const Window& w, ClipOut& out) {
    const ScreenPoint tr{static_cast<int32_t>(w.right), static_cast<int32_t>(w.top)};
    const ScreenPoint tl{static_cast<int32_t>(w.left), static_cast<int32_t>(w.top)};
    const ScreenPoint br{static_cast<int32_t>(w.right), static_cast<int32_t>(w.bottom)};
    const ScreenPoint bl{static_cast<int32_t>(w.left), static_cast<int32_t>(w.bottom)};
    auto pair = [&](int x, int y) { return ((endBorders & x) && (startBorders & y)) || ((endBorders & y) && (startBorders & x)); };
    if (pair(kTop, kRight)) {
        out.Append(tr);
    } else if (pair(kTop, kLeft)) {
        out.Append(tl);
    } else if (pair(kBottom, kRight)) {
        out.Append(br);
    } else if (pair(kBottom, kLeft)) {
        out.Append(bl);
    } else if ((endBorders & kTop) && (startBorders & kBottom)) {
        out.Append(tr), out.Append(br);
    } else if ((endBorders & kBottom) && (startBorders & kTop)) {
        out.Append(bl), out.Append(tl);
    } else if ((endBorders & kRight) && (startBorders & kLeft)) {
        out.Append(br), out.Append(bl);
    } else if ((endBorders & kLeft) && (startBorders & kRight)) {
        out.Append(tl), out.Append(tr);
    }
}

void ClipPolyline(const ScreenPoint* p, size_t count, const Window& w, ClipOut& out) {
    bool endedOnBorder = false;
    ScreenPoint lastEnd{};
    for (size_t i = 1; i < count; ++i) {
        ScreenPoint a = p[i - 1];
        ScreenPoint b = p[i];
        if (SamePoint(a, b)) continue;
        if (!ClipSegment(a, b, w) || SamePoint(a, b)) continue;
        if (endedOnBorder) {
            const int endBorders = Borders(lastEnd, w);
            const int startBorders = Borders(a, w);
            if (startBorders != 0 && (startBorders & endBorders) == 0) AppendCorners(endBorders, startBorders, w, out);
        }
        if (out.count == 0 || !SamePoint(out.points[out.count - 1], a)) out.Append(a);
        out.Append(b);
        endedOnBorder = !(b.x > w.left && b.x < w.right && b.y > w.top && b.y < w.bottom);
        lastEnd = b;
    }
}

}  // namespace

// ---------------------------------------------------------------------------

CMneCoordSystem::CMneCoordSystem() : CMgrCoordBase(1) {
    SharedClipBuffer& shared = SharedClip();
    MgrLock lock(shared.lock);
    if (shared.liveCount++ == 0) {
        try {
            shared.points.resize(kFirstClipBufferPoints);
        } catch (const std::bad_alloc&) {
            shared.points.clear();
        }
    }
}

CMneCoordSystem::CMneCoordSystem(const CMneCoordSystem& other) : CMneCoordSystem() { *this = other; }

CMneCoordSystem::~CMneCoordSystem() {
    SharedClipBuffer& shared = SharedClip();
    MgrLock lock(shared.lock);
    if (--shared.liveCount == 0) std::vector<ScreenPoint>().swap(shared.points);
}

CMneCoordSystem& CMneCoordSystem::operator=(const CMneCoordSystem& other) {
    if (this == &other) return *this;
    m_birdView = other.m_birdView;
    m_perspective = other.m_perspective;
    m_perspectiveK = other.m_perspectiveK;
    m_originX = other.m_originX;
    m_originY = other.m_originY;
    m_centreX = other.m_centreX;
    m_centreY = other.m_centreY;
    m_clip = other.m_clip;
    m_angleDeg = other.m_angleDeg;
    m_scale = other.m_scale;
    m_pixelsPerMetreX = other.m_pixelsPerMetreX;
    m_pixelsPerMetreY = other.m_pixelsPerMetreY;
    std::copy(std::begin(other.m_metric), std::end(other.m_metric), m_metric);
    std::copy(std::begin(other.m_forward), std::end(other.m_forward), m_forward);
    std::copy(std::begin(other.m_inverse), std::end(other.m_inverse), m_inverse);
    std::copy(std::begin(other.m_localForward), std::end(other.m_localForward), m_localForward);
    return *this;
}

void CMneCoordSystem::SetPixelsPerMetre(int horizontal, int vertical) {
    m_pixelsPerMetreX = horizontal;
    m_pixelsPerMetreY = vertical;
}

void CMneCoordSystem::SetPerspective(int flag, double factor) {
    m_perspective = flag;
    m_perspectiveK = factor;
}

void CMneCoordSystem::SetView(ScreenPoint origin, MapPoint centre, const ScreenRect& clip, int angleDeg, int scale,
                              int birdFlag) {
    m_originX = origin.x;
    m_originY = origin.y;
    if (centre.x >= kCentreMinX && centre.x <= kCentreMaxX && centre.y >= kCentreMinY && centre.y <= kCentreMaxY) {
        m_centreX = centre.x;
        m_centreY = centre.y;
    } else {
        m_centreX = kFallbackCentreX;
        m_centreY = kFallbackCentreY;
    }
    m_clip = clip;
    m_angleDeg = angleDeg;
    m_scale = scale;
    m_metric[0] = GetLonMeterPerUnit(m_centreY, m_centreY);
    m_metric[1] = 0.0;
    m_metric[2] = 0.0;
    m_metric[3] = GetLatMeterPerUnit(m_centreY, m_centreY);
    BuildMatrices();
    m_birdView.SetViewRect(clip, birdFlag);
}

void CMneCoordSystem::BuildMatrices() {
    const int angle = NormalizeAngle360(m_angleDeg);
    const double c = CosDeg(angle);
    const double s = SinDeg(angle);
    const double kx = m_metric[0];
    const double ky = m_metric[3];
    const double px = m_pixelsPerMetreX;
    const double py = m_pixelsPerMetreY;
    const double S = m_scale;
    const double K = m_perspectiveK;
    const double cx = m_centreX;
    const double cy = m_centreY;

    double* f = m_forward;
    f[0] = kx * c * px / S;
    f[1] = -ky * s * px / S;
    f[2] = -(f[0] * cx + f[1] * cy);
    f[3] = -kx * s * py / S;
    f[4] = -ky * c * py / S;
    f[5] = -(f[3] * cx + f[4] * cy);
    f[6] = kx * s * K / S;
    f[7] = ky * c * K / S;
    f[8] = 1.0 - (f[6] * cx + f[7] * cy);

    const double ox = m_originX;
    const double oy = m_originY;
    double* v = m_inverse;
    v[0] = S * c / (kx * px);
    v[1] = -S * s / (kx * py);
    v[2] = -(v[0] * ox + v[1] * oy);
    v[3] = -S * s / (ky * px);
    v[4] = -S * c / (ky * py);
    v[5] = -(v[3] * ox + v[4] * oy);
    BuildLocalMatrix();
}

void CMneCoordSystem::BuildLocalMatrix() {
    const double step = GetLocalStep();
    for (int row = 0; row < 3; ++row) {
        m_localForward[row * 3 + 0] = m_forward[row * 3 + 0] * step;
        m_localForward[row * 3 + 1] = m_forward[row * 3 + 1] * step;
    }
    BuildLocalTranslation();
}

void CMneCoordSystem::BuildLocalTranslation() {
    const double ox = static_cast<double>(GetTileOriginX());
    const double oy = static_cast<double>(GetTileOriginY());
    for (int row = 0; row < 3; ++row) {
        const double* f = &m_forward[row * 3];
        m_localForward[row * 3 + 2] = f[0] * ox + f[1] * oy + f[2];
    }
}

int CMneCoordSystem::SetLevel(int level) {
    if (level == GetLevel()) return 1;
    if (!CMgrCoordBase::SetLevel(level)) return 0;
    BuildLocalMatrix();
    return 1;
}

int CMneCoordSystem::SetTile(int column, int row) {
    if (column == GetTileColumn() && row == GetTileRow()) return 1;
    const int result = CMgrCoordBase::SetTile(column, row);
    BuildLocalTranslation();
    return result;
}

// One point through a forward matrix. With the perspective on, a w below
// the smallest allowed value is raised to it (the point lands far out in its
// own direction, never mirrored); the result says whether w was above 0.
bool CMneCoordSystem::Apply(const double (&m)[9], double x, double y, ScreenPoint& out) const {
    double sx = m[0] * x + m[1] * y + m[2];
    double sy = m[3] * x + m[4] * y + m[5];
    bool settled = true;
    if (m_perspective) {
        double w = m[6] * x + m[7] * y + m[8];
        settled = w > 0.0;
        if (!(w >= kMinPerspectiveW)) w = kMinPerspectiveW;
        sx /= w;
        sy /= w;
    }
    out.x = Saturate(static_cast<int64_t>(RoundHalfAway(sx)) + m_originX);
    out.y = Saturate(static_cast<int64_t>(RoundHalfAway(sy)) + m_originY);
    return settled;
}

int CMneCoordSystem::MapToScreen(const MapPoint& map, ScreenPoint& out, int birdFlag, int birdOption) {
    if (!Apply(m_forward, map.x, map.y, out)) return 0;
    if (BirdActive(birdFlag)) return m_birdView.ProjectPoint(out, birdOption);
    return 1;
}

int CMneCoordSystem::LocalToScreen(const TileLocalPoint& local, ScreenPoint& out, int birdFlag, int birdOption) {
    Apply(m_localForward, local.x, local.y, out);
    if (BirdActive(birdFlag)) return m_birdView.ProjectPoint(out, birdOption);
    return 1;
}

int CMneCoordSystem::LocalXYToScreen(int16_t x, int16_t y, ScreenPoint& out, int birdFlag, int birdOption) {
    TileLocalPoint local;
    local.y = y;
    local.x = x;
    return LocalToScreen(local, out, birdFlag, birdOption);
}

int CMneCoordSystem::ScreenToMap(const ScreenPoint& screen, MapPoint& out, int birdFlag) const {
    double fx = screen.x, fy = screen.y;
    // The bird's-eye table gives the flat position under the tap (refined
    // between its samples).
    if (BirdActive(birdFlag) && !m_birdView.ScreenToFlatExact(screen, fx, fy)) return 0;
    const double* v = m_inverse;
    const int64_t dx = RoundHalfAway(v[0] * fx + v[1] * fy + v[2]);
    const int64_t dy = RoundHalfAway(v[3] * fx + v[4] * fy + v[5]);
    out.x = static_cast<int32_t>(std::clamp<int64_t>(m_centreX + dx, INT32_MIN, INT32_MAX));
    out.y = static_cast<int32_t>(std::clamp<int64_t>(m_centreY + dy, INT32_MIN, INT32_MAX));
    return 1;
}

int CMneCoordSystem::FinishArray(std::vector<ScreenPoint>& out, int clipMode, int birdFlag, int clipFlag) {
    if (BirdActive(birdFlag)) return m_birdView.ProjectPoints(out, clipMode, clipFlag);
    if (clipFlag) return ClipPoints(out, clipMode);
    return static_cast<int>(out.size());
}

int CMneCoordSystem::MapPointsToScreen(int count, const MapPoint* points, std::vector<ScreenPoint>& out,
                                       int clipMode, int birdFlag, int clipFlag) {
    out.resize(count > 0 ? static_cast<size_t>(count) : 0);
    for (int i = 0; i < count; ++i) Apply(m_forward, points[i].x, points[i].y, out[i]);
    return FinishArray(out, clipMode, birdFlag, clipFlag);
}

int CMneCoordSystem::LocalPointsToScreen(int count, const TileLocalPoint* points, std::vector<ScreenPoint>& out,
                                         int clipMode, int birdFlag, int clipFlag) {
    out.resize(count > 0 ? static_cast<size_t>(count) : 0);
    for (int i = 0; i < count; ++i) Apply(m_localForward, points[i].x, points[i].y, out[i]);
    return FinishArray(out, clipMode, birdFlag, clipFlag);
}

int CMneCoordSystem::PackedPointsToScreen(int count, int packing, uint32_t base, const uint8_t* packed,
                                          std::vector<ScreenPoint>& out, int clipMode, int birdFlag, int clipFlag) {
    out.resize(count > 0 ? static_cast<size_t>(count) : 0);
    const bool scaled = packing >= 1 && packing <= 3;
    const int factor = packing == 3 ? 4 : packing;
    const uint16_t baseX = static_cast<uint16_t>(base >> 16);
    const uint16_t baseY = static_cast<uint16_t>(base & 0xFFFF);
    for (int i = 0; i < count; ++i) {
        const uint8_t by = packed[2 * i];
        const uint8_t bx = packed[2 * i + 1];
        int16_t x = bx;
        int16_t y = by;
        if (scaled) {
            x = static_cast<int16_t>(static_cast<uint16_t>(baseX + bx * factor));
            y = static_cast<int16_t>(static_cast<uint16_t>(baseY + by * factor));
        }
        Apply(m_localForward, x, y, out[i]);
    }
    return FinishArray(out, clipMode, birdFlag, clipFlag);
}

int CMneCoordSystem::ClipPoints(std::vector<ScreenPoint>& points, int clipMode) const {
    const size_t count = points.size();
    if (count <= 1) return static_cast<int>(count);
    SharedClipBuffer& shared = SharedClip();
    MgrLock lock(shared.lock);
    // A polyline segment gives up to four points (two corners, its start and
    // its end), a polygon edge up to three: room for all of them.
    const size_t needed = std::max(count + 1024, 4 * count + 8);
    if (shared.points.size() < needed) {
        try {
            std::vector<ScreenPoint>().swap(shared.points);
            shared.points.resize(needed);
        } catch (const std::bad_alloc&) {
            std::vector<ScreenPoint>().swap(shared.points);
            return static_cast<int>(count);
        }
    }
    const Window w{static_cast<int64_t>(m_clip.left) - kClipMarginPx, static_cast<int64_t>(m_clip.top) - kClipMarginPx,
                   static_cast<int64_t>(m_clip.right) + kClipMarginPx,
                   static_cast<int64_t>(m_clip.bottom) + kClipMarginPx};
    ClipOut out{shared.points.data(), shared.points.size()};
    if (clipMode == kClipPolygon) {
        ClipPolygon(points.data(), count, w, out);
    } else {
        ClipPolyline(points.data(), count, w, out);
    }
    points.assign(shared.points.begin(), shared.points.begin() + static_cast<ptrdiff_t>(out.count));
    return static_cast<int>(out.count);
}
