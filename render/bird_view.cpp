#include "render/bird_view.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <new>
#include <numbers>

namespace {

std::atomic<int> g_eyeHeightOption{0};
std::atomic<int> g_displayLayout{0};

constexpr double kDegToRad = std::numbers::pi / 180.0;
// Largest picture coordinate a rounded projection gives; far beyond any
// screen, small enough that sums of a few never overflow 32 bits.
constexpr double kPixelLimit = 1 << 28;

// Array projections share two point buffers per process; they only grow.
struct SharedBuffers {
    CMgrCriticalSection lock;
    int managers NAVI_GUARDED_BY(lock) = 0;
    std::vector<Point3DFloat> input NAVI_GUARDED_BY(lock);
    std::vector<Point3DFloat> output NAVI_GUARDED_BY(lock);
};

SharedBuffers& Shared() {
    static SharedBuffers shared;
    return shared;
}

constexpr size_t kFirstBufferPoints = 10000;

// Rounded as the picture has always been: add 0.5 and truncate.
int32_t RoundPicture(double v) {
    const double r = v + 0.5;
    if (!(r > -kPixelLimit)) return static_cast<int32_t>(-kPixelLimit);
    if (r > kPixelLimit) return static_cast<int32_t>(kPixelLimit);
    return static_cast<int32_t>(r);
}

// The six planes of the view volume in the order they are tested; each
// value is at most 0 inside.
float PlaneValue(int plane, const Point3DFloat& p, float farClip, float nearClip) {
    switch (plane) {
        case 0: return p.y + p.z;   // y <= -z
        case 1: return p.x + p.z;   // x <= -z
        case 2: return p.z - p.y;   // y >= z
        case 3: return p.z - p.x;   // x >= z
        case 4: return p.z - farClip;
        default: return nearClip - p.z;  // z >= -1
    }
}

Point3DFloat Crossing(const Point3DFloat& a, const Point3DFloat& b, float fa, float fb) {
    const float t = fa / (fa - fb);
    Point3DFloat c;
    c.x = a.x + t * (b.x - a.x);
    c.y = a.y + t * (b.y - a.y);
    c.z = a.z + t * (b.z - a.z);
    return c;
}

}  // namespace

void SetBirdViewEyeHeightOption(int option) { g_eyeHeightOption.store(option, std::memory_order_relaxed); }
int GetBirdViewEyeHeightOption() { return g_eyeHeightOption.load(std::memory_order_relaxed); }
void SetDisplayLayoutValue(int value) { g_displayLayout.store(value, std::memory_order_relaxed); }
int GetDisplayLayoutValue() { return g_displayLayout.load(std::memory_order_relaxed); }

// ---------------------------------------------------------------------------
// Small linear algebra

VectorFloat3D VectorFloat3D::Cross(const VectorFloat3D& o) const {
    return VectorFloat3D(v[1] * o.v[2] - v[2] * o.v[1], v[2] * o.v[0] - v[0] * o.v[2], v[0] * o.v[1] - v[1] * o.v[0]);
}

double VectorFloat3D::Length() const { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

MatrixFloat3D MatrixFloat3D::Translation(double x, double y, double z) {
    MatrixFloat3D t;
    t.m[0][3] = x;
    t.m[1][3] = y;
    t.m[2][3] = z;
    return t;
}

MatrixFloat3D MatrixFloat3D::Scale(double x, double y, double z) {
    MatrixFloat3D s;
    s.m[0][0] = x;
    s.m[1][1] = y;
    s.m[2][2] = z;
    return s;
}

MatrixFloat3D MatrixFloat3D::operator*(const MatrixFloat3D& o) const {
    MatrixFloat3D r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += m[i][k] * o.m[k][j];
            r.m[i][j] = sum;
        }
    }
    return r;
}

VectorFloat3D MatrixFloat3D::operator*(const VectorFloat3D& x) const {
    VectorFloat3D r;
    for (int i = 0; i < 4; ++i) {
        r.v[i] = m[i][0] * x.v[0] + m[i][1] * x.v[1] + m[i][2] * x.v[2] + m[i][3] * x.v[3];
    }
    return r;
}

// ---------------------------------------------------------------------------
// Camera

void CMneBirdViewElements::Rebuild() {
    const double L = m_boxLeft, R = m_boxRight, T = m_boxTop, B = m_boxBottom;
    const double H = B - T;
    m_viewHeight = H;
    const bool alternative = GetDisplayLayoutValue() == kAlternativeDisplayLayout;
    m_far = (alternative ? -1.8 : -2.5) * H;
    const double k = (H / (R - L)) / 2.0;
    const double g = std::tan(m_fieldOfViewDeg / 2.0 * kDegToRad);

    const double cx = (L + R) / 2.0;
    m_frustumLeft = -g * cx;
    m_frustumRight = g * cx;
    m_frustumBottom = m_pitchOffset - (cx * k + m_shift);
    m_frustumTop = cx * k - m_shift;
    const VectorFloat3D windowCentre((m_frustumLeft + m_frustumRight) / 2.0, (m_frustumTop + m_frustumBottom) / 2.0,
                                     0.0);

    const double e = GetBirdViewEyeHeightOption() == 1 ? (500.0 - H) / 8.5 : (500.0 - H) / 9.0;
    m_eye.x = 0.0f;
    m_eye.y = static_cast<float>(e);
    m_eye.z = static_cast<float>(H / 2.0);
    m_reference.x = static_cast<float>(cx);
    m_reference.y = 0.0f;
    m_reference.z = 0.0f;

    m_up = VectorFloat3D(0.0, 1.0, 0.0);
    m_eyeToWindow = VectorFloat3D(windowCentre.v[0] - m_eye.x, windowCentre.v[1] - m_eye.y, windowCentre.v[2] - m_eye.z);

    m_shear.Identity();
    m_shear.m[0][2] = -m_eyeToWindow.v[0] / m_eyeToWindow.v[2];
    m_shear.m[1][2] = -m_eyeToWindow.v[1] / m_eyeToWindow.v[2];
    m_eyeTranslation = MatrixFloat3D::Translation(-m_eye.x, -m_eye.y, -m_eye.z);
    m_referenceTranslation = MatrixFloat3D::Translation(-m_reference.x, -m_reference.y, -m_reference.z);

    // The basis vectors are made unit only when they are at least 1 long,
    // as the picture has always been drawn.
    auto normalise = [](VectorFloat3D& vec) {
        const double len = vec.Length();
        if (len >= 1.0) {
            for (double& c : vec.v) c /= len;
        }
    };
    m_n = m_forward;
    m_u = m_up.Cross(m_n);
    m_v = m_n.Cross(m_u);
    normalise(m_u);
    normalise(m_v);
    normalise(m_n);
    m_basis.Identity();
    for (int c = 0; c < 3; ++c) {
        m_basis.m[0][c] = m_u.v[c];
        m_basis.m[1][c] = m_v.v[c];
        m_basis.m[2][c] = m_n.v[c];
    }

    const double N = -H / 2.0;
    m_near = N;
    const double F = m_far;
    m_projectionScale = MatrixFloat3D::Scale(2.0 * N / ((m_frustumRight - m_frustumLeft) * (F + N)),
                                             2.0 * N / ((m_frustumTop - m_frustumBottom) * (N + F)), -1.0 / (N + F));
    m_modelView = m_projectionScale * m_shear * m_eyeTranslation * m_basis * m_referenceTranslation;

    const double q = -((N + H) / (N + F));
    m_depthProjection.Identity();
    m_depthProjection.m[2][0] = 0.0;
    m_depthProjection.m[2][1] = 0.0;
    m_depthProjection.m[2][2] = 1.0 / (q + 1.0);
    m_depthProjection.m[2][3] = -q / (q + 1.0);
    m_depthProjection.m[3][0] = 0.0;
    m_depthProjection.m[3][1] = 0.0;
    m_depthProjection.m[3][2] = -1.0;
    m_depthProjection.m[3][3] = 0.0;

    m_viewportTranslate = MatrixFloat3D::Translation(L, T, 0.0);
    m_viewportScale = MatrixFloat3D::Scale((R - L) / 2.0, (B - T) / 2.0, 1.0);
    m_viewportUnit = MatrixFloat3D::Translation(1.0, 1.0, 1.0);
    m_viewport = m_viewportTranslate * m_viewportScale * m_viewportUnit;
    m_toPicture = m_viewport * m_depthProjection;

    m_clipNear = -1.0f;
    m_clipFar = static_cast<float>(-((N + H) / (N + F)));
    m_clipDepth = static_cast<float>(-N / (F + N));
}

void CMneBirdViewConvert::SetViewBox(double left, double right, double top, double bottom) {
    m_flatLeft = left - 10.0;
    m_flatRight = right + 10.0;
    m_flatTop = top - 10.0;
    m_flatBottom = bottom + 10.0;
    m_groundHeight = 0;
    m_boxLeft = m_flatLeft;
    m_boxRight = m_flatRight;
    m_boxTop = m_flatTop;
    m_boxBottom = m_flatBottom;
    m_shift = static_cast<float>((m_boxBottom - m_boxTop) / 8.0);
    SetTilt(m_tiltDeg);
}

void CMneBirdViewConvert::SetPitchOffset(float pitch) {
    if (pitch == m_pitchOffset) return;
    m_pitchOffset = pitch;
    Rebuild();
}

void CMneBirdViewConvert::SetTilt(float tiltDeg) {
    m_tiltDeg = tiltDeg;
    const double c = std::cos(tiltDeg * kDegToRad);
    const double s = std::sin(tiltDeg * kDegToRad);
    MatrixFloat3D rotation;
    rotation.m[1][1] = c;
    rotation.m[1][2] = -s;
    rotation.m[2][1] = s;
    rotation.m[2][2] = c;
    VectorFloat3D f = rotation * VectorFloat3D(0.0, 0.0, 1.0, 1.0);
    for (double& x : f.v) x /= f.v[3];
    m_forward = f;
    Rebuild();
}

void CMneBirdViewConvert::ResetCamera() {
    m_tiltDeg = kDefaultTiltDeg;
    m_shift = static_cast<float>((m_boxBottom - m_boxTop) / 8.0);
    SetTilt(kDefaultTiltDeg);
}

Point3DFloat CMneBirdViewConvert::ToCamera(double x, double y) const {
    VectorFloat3D p = m_modelView * VectorFloat3D(x, 0.0, y - (m_flatTop + m_flatBottom) / 2.0, 1.0);
    const double w = p.v[3] != 0.0 ? p.v[3] : 1.0;
    Point3DFloat c;
    c.x = static_cast<float>(p.v[0] / w);
    c.y = static_cast<float>(p.v[1] / w);
    c.z = static_cast<float>(p.v[2] / w);
    return c;
}

bool CMneBirdViewConvert::ToPicture(const Point3DFloat& p, double& outX, double& outY) const {
    const VectorFloat3D r = m_toPicture * VectorFloat3D(p.x, p.y, p.z, 1.0);
    // w is the distance in front of the eye: a point at or behind the eye has
    // no place in the picture (dividing would mirror it onto the screen).
    if (!(r.v[3] > 1e-9)) return false;
    outX = r.v[0] / r.v[3];
    outY = r.v[1] / r.v[3];
    return std::isfinite(outX) && std::isfinite(outY);
}

int CMneBirdViewConvert::ProjectPointToScreen(double x, double y, int clip, double& outX, double& outY) const {
    const Point3DFloat p = ToCamera(x, y);
    if (clip) {
        for (int plane = 0; plane < 6; ++plane) {
            if (!(PlaneValue(plane, p, m_clipFar, m_clipNear) <= 0.0f)) return 0;
        }
    }
    return ToPicture(p, outX, outY) ? 1 : 0;
}

void CMneBirdViewConvert::Project(const ScreenPoint* points, int count, int clip, bool closed,
                                  std::vector<Point3DFloat>& work, std::vector<Point3DFloat>& out) const {
    work.clear();
    for (int i = 0; i < count; ++i) work.push_back(ToCamera(points[i].x, points[i].y));
    if (clip) {
        for (int plane = 0; plane < 6 && !work.empty(); ++plane) {
            out.clear();
            const size_t n = work.size();
            float fPrev = PlaneValue(plane, work[0], m_clipFar, m_clipNear);
            if (fPrev <= 0.0f) out.push_back(work[0]);
            const size_t edges = closed ? n : n - 1;
            for (size_t e = 0; e < edges; ++e) {
                const Point3DFloat& a = work[e];
                const Point3DFloat& b = work[(e + 1) % n];
                const float fa = e == 0 ? fPrev : PlaneValue(plane, a, m_clipFar, m_clipNear);
                const float fb = PlaneValue(plane, b, m_clipFar, m_clipNear);
                const bool aIn = fa <= 0.0f;
                const bool bIn = fb <= 0.0f;
                if (aIn && bIn) {
                    out.push_back(b);
                } else if (aIn) {
                    out.push_back(Crossing(a, b, fa, fb));
                } else if (bIn) {
                    out.push_back(Crossing(a, b, fa, fb));
                    out.push_back(b);
                }
            }
            work.swap(out);
        }
    }
    out.clear();
    for (const Point3DFloat& p : work) {
        double x = 0.0, y = 0.0;
        if (!ToPicture(p, x, y)) continue;
        Point3DFloat q;
        q.x = static_cast<float>(x);
        q.y = static_cast<float>(y);
        q.z = 0.0f;
        out.push_back(q);
    }
}

void CMneBirdViewConvert::ProjectPolyline(const ScreenPoint* points, int count, int clip,
                                          std::vector<Point3DFloat>& work, std::vector<Point3DFloat>& out) const {
    Project(points, count, clip, false, work, out);
}

void CMneBirdViewConvert::ProjectPolygon(const ScreenPoint* points, int count, int clip,
                                         std::vector<Point3DFloat>& work, std::vector<Point3DFloat>& out) const {
    Project(points, count, clip, true, work, out);
}

// ---------------------------------------------------------------------------
// Manager

CMneBirdViewManager::CMneBirdViewManager() {
    SharedBuffers& shared = Shared();
    MgrLock lock(shared.lock);
    if (shared.managers++ == 0) {
        try {
            shared.input.reserve(kFirstBufferPoints);
            shared.output.reserve(kFirstBufferPoints);
        } catch (const std::bad_alloc&) {
            // Array projections grow the buffers when they need them.
        }
    }
}

CMneBirdViewManager::CMneBirdViewManager(const CMneBirdViewManager& other) : CMneBirdViewManager() {
    *this = other;
}

CMneBirdViewManager& CMneBirdViewManager::operator=(const CMneBirdViewManager& other) {
    if (this == &other) return *this;
    m_reserved = other.m_reserved;
    m_viewMode = other.m_viewMode;
    m_enabled = other.m_enabled;
    m_frozen = other.m_frozen;
    m_skyHeight = other.m_skyHeight;
    m_camera = other.m_camera;
    m_inverse = other.m_inverse;
    m_valid = other.m_valid;
    m_viewRect = other.m_viewRect;
    m_width = other.m_width;
    m_height = other.m_height;
    m_hasTable = other.m_hasTable;
    m_tableKey = other.m_tableKey;
    return *this;
}

CMneBirdViewManager::~CMneBirdViewManager() {
    SharedBuffers& shared = Shared();
    MgrLock lock(shared.lock);
    if (--shared.managers == 0) {
        std::vector<Point3DFloat>().swap(shared.input);
        std::vector<Point3DFloat>().swap(shared.output);
    }
}

int CMneBirdViewManager::SkyHeightFor(int mode, int layoutKind) {
    const bool alternative = GetDisplayLayoutValue() == kAlternativeDisplayLayout;
    switch (mode) {
        case kViewMode100: return 40;
        case kViewMode200: return 34;
        case kViewMode300: return 88;
        default: break;
    }
    if (layoutKind == 1) return alternative ? 96 : 83;
    if (layoutKind == 3) return alternative ? 112 : 96;
    return alternative ? 106 : 93;
}

void CMneBirdViewManager::SetViewMode(int mode, int layoutKind) {
    m_viewMode = mode;
    m_skyHeight = SkyHeightFor(mode, layoutKind);
}

void CMneBirdViewManager::SetPitch(float pitch, int layoutKind) {
    if (m_frozen == 1) return;
    m_camera.SetPitchOffset(pitch);
    m_skyHeight = SkyHeightFor(m_viewMode, layoutKind) - static_cast<int32_t>(pitch * 2.0f);
    // A table built for another pitch would send taps to the wrong place.
    if (m_hasTable && !(CurrentKey() == m_tableKey)) BuildInverseTable();
}

void CMneBirdViewManager::GetSkyRect(ScreenRect& out) const {
    out.left = static_cast<int32_t>(m_camera.BoxLeft());
    out.top = static_cast<int32_t>(m_camera.BoxTop());
    out.right = static_cast<int32_t>(m_camera.BoxRight());
    out.bottom = static_cast<int32_t>(m_camera.BoxTop()) + m_skyHeight;
}

CMneBirdViewManager::TableKey CMneBirdViewManager::CurrentKey() const {
    TableKey key;
    key.width = m_width;
    key.height = m_height;
    key.rect = m_viewRect;
    key.pitch = m_camera.GetPitchOffset();
    key.eyeOption = GetBirdViewEyeHeightOption();
    key.layout = GetDisplayLayoutValue();
    return key;
}

void CMneBirdViewManager::SetViewRect(const ScreenRect& rect, int rebuild) {
    m_viewRect = rect;
    m_width = rect.right - rect.left;
    m_height = rect.bottom - rect.top;
    m_camera.SetViewBox(rect.left, rect.right, rect.top, rect.bottom);
    if (rebuild == 1 && !(m_hasTable && CurrentKey() == m_tableKey)) BuildInverseTable();
}

void CMneBirdViewManager::BuildInverseTable() {
    m_hasTable = false;
    m_inverse.clear();
    m_valid.clear();
    const int32_t W = m_width;
    const int32_t Hv = m_height;
    if (W <= 0 || Hv <= 0) return;
    const size_t pixels = static_cast<size_t>(W) * static_cast<size_t>(Hv);
    try {
        m_inverse.assign(pixels * 2, 0);
        m_valid.assign(pixels, 0);
    } catch (const std::bad_alloc&) {
        m_inverse.clear();
        m_valid.clear();
        return;
    }
    m_camera.ResetCamera();
    for (int32_t y = -2 * Hv; y < Hv; y += 4) {
        int32_t step = 4;
        int32_t margin = 0;
        if (y < -Hv) {
            step = 15, margin = W / 2;
        } else if (y < -Hv / 2) {
            step = 10, margin = W / 2;
        } else if (y < 0) {
            step = 8, margin = W / 4;
        } else if (y < Hv / 2) {
            step = 6, margin = 0;
        }
        for (int32_t x = -margin; x <= W + margin - 1; x += step) {
            double px = 0.0, py = 0.0;
            if (!m_camera.ProjectPointToScreen(x, y, 1, px, py)) continue;
            const int32_t ix = RoundPicture(px) - m_viewRect.left;
            const int32_t iy = RoundPicture(py) - m_viewRect.top;
            if (ix < 0 || ix >= W || iy < 0 || iy >= Hv) continue;
            const size_t at = static_cast<size_t>(ix) + static_cast<size_t>(W) * static_cast<size_t>(iy);
            m_inverse[2 * at] = static_cast<int16_t>(x);
            m_inverse[2 * at + 1] = static_cast<int16_t>(y);
            m_valid[at] = 1;
        }
    }
    m_camera.ResetCamera();
    m_hasTable = true;
    m_tableKey = CurrentKey();
}

int CMneBirdViewManager::ProjectPoint(ScreenPoint& point, int clip) {
    MgrLock lock(Shared().lock);
    double x = 0.0, y = 0.0;
    if (!m_camera.ProjectPointToScreen(point.x, point.y, clip, x, y)) return 0;
    point.x = RoundPicture(x);
    point.y = RoundPicture(y);
    return 1;
}

int CMneBirdViewManager::IsPointVisible(const ScreenPoint& point) {
    MgrLock lock(Shared().lock);
    double x = 0.0, y = 0.0;
    return m_camera.ProjectPointToScreen(point.x, point.y, 1, x, y);
}

int CMneBirdViewManager::ProjectPoints(std::vector<ScreenPoint>& points, int kind, int clip) {
    const int count = static_cast<int>(points.size());
    if (count <= 0) return 0;
    if (count == 1) {
        if (ProjectPoint(points[0], clip)) return 1;
        points.clear();
        return 0;
    }
    SharedBuffers& shared = Shared();
    MgrLock lock(shared.lock);
    // The clipped result can be longer than the input: the buffers grow
    // with it instead of being written past their end.
    try {
        const size_t wanted = (static_cast<size_t>(count) + 63) / 64 * 64 + 128;
        if (shared.input.capacity() < wanted) shared.input.reserve(wanted);
        if (shared.output.capacity() < wanted) shared.output.reserve(wanted);
        if (kind == 3) {
            m_camera.ProjectPolygon(points.data(), count, clip, shared.input, shared.output);
        } else {
            m_camera.ProjectPolyline(points.data(), count, clip, shared.input, shared.output);
        }
        if (shared.output.size() <= 1) {
            points.clear();
            return 0;
        }
        points.resize(shared.output.size());
    } catch (const std::bad_alloc&) {
        std::vector<Point3DFloat>().swap(shared.input);
        std::vector<Point3DFloat>().swap(shared.output);
        points.clear();
        return 0;
    }
    for (size_t i = 0; i < points.size(); ++i) {
        points[i].x = RoundPicture(shared.output[i].x);
        points[i].y = RoundPicture(shared.output[i].y);
    }
    return static_cast<int>(points.size());
}

int CMneBirdViewManager::ScreenToFlat(const ScreenPoint& pixel, ScreenPoint& flat) const {
    if (!m_hasTable) return 0;
    const int32_t ix = pixel.x - m_viewRect.left;
    const int32_t iy = pixel.y - m_viewRect.top;
    if (ix < 0 || ix >= m_width || iy < 0 || iy >= m_height) return 0;
    const size_t at = static_cast<size_t>(ix) + static_cast<size_t>(m_width) * static_cast<size_t>(iy);
    if (!m_valid[at]) return 0;
    flat.x = m_inverse[2 * at];
    flat.y = m_inverse[2 * at + 1];
    return 1;
}

int CMneBirdViewManager::ScreenToFlatNearest(const ScreenPoint& pixel, ScreenPoint& flat) const {
    if (ScreenToFlat(pixel, flat)) return 1;
    static constexpr int kAround[8][2] = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}};
    for (int step = 1; step <= kMaxNearestSteps; ++step) {
        for (const auto& d : kAround) {
            const ScreenPoint p{pixel.x + d[0] * step, pixel.y + d[1] * step};
            if (ScreenToFlat(p, flat)) return 1;
        }
    }
    return 0;
}

int CMneBirdViewManager::ScreenToFlatExact(const ScreenPoint& pixel, double& flatX, double& flatY) const {
    if (!m_hasTable || pixel.x < m_viewRect.left || pixel.x >= m_viewRect.right || pixel.y < m_viewRect.top ||
        pixel.y >= m_viewRect.bottom) {
        return 0;
    }
    // Start from the nearest sample; where the samples lie too far apart,
    // from the middle of the flat view.
    ScreenPoint start;
    ScreenPoint starts[2];
    int startCount = 0;
    if (ScreenToFlatNearest(pixel, start)) starts[startCount++] = start;
    starts[startCount++] = ScreenPoint{(m_viewRect.left + m_viewRect.right) / 2, (m_viewRect.top + m_viewRect.bottom) / 2};
    for (int k = 0; k < startCount; ++k) {
        double fx = starts[k].x, fy = starts[k].y;
        // Newton steps on the projection, with its derivatives taken over
        // one flat pixel.
        for (int iteration = 0; iteration < 24; ++iteration) {
            double sx = 0.0, sy = 0.0, ax = 0.0, ay = 0.0, bx = 0.0, by = 0.0;
            if (!m_camera.ProjectPointToScreen(fx, fy, 0, sx, sy) ||
                !m_camera.ProjectPointToScreen(fx + 1.0, fy, 0, ax, ay) ||
                !m_camera.ProjectPointToScreen(fx, fy + 1.0, 0, bx, by)) {
                break;
            }
            const double ex = pixel.x - sx, ey = pixel.y - sy;
            if (std::abs(ex) < 0.01 && std::abs(ey) < 0.01) break;
            const double j11 = ax - sx, j12 = bx - sx, j21 = ay - sy, j22 = by - sy;
            const double det = j11 * j22 - j12 * j21;
            if (!(std::abs(det) > 1e-12)) break;
            const double dx = (ex * j22 - ey * j12) / det;
            const double dy = (j11 * ey - j21 * ex) / det;
            if (!std::isfinite(dx) || !std::isfinite(dy)) break;
            fx += std::clamp(dx, -64.0, 64.0);
            fy += std::clamp(dy, -64.0, 64.0);
        }
        // Only a point of the ground inside the view volume answers; the
        // sky has none.
        double sx = 0.0, sy = 0.0;
        if (m_camera.ProjectPointToScreen(fx, fy, 1, sx, sy) && std::abs(sx - pixel.x) < 0.5 &&
            std::abs(sy - pixel.y) < 0.5) {
            flatX = fx;
            flatY = fy;
            return 1;
        }
    }
    return 0;
}
