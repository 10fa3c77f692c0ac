#pragma once
// The bird's-eye view: the flat map image shown as a ground plane seen
// obliquely from above, with a band of sky above the horizon.
//
// The flat view is computed first (coord_system.h turns map coordinates into
// pixels of the flat view); the camera here carries every flat pixel
// position to its place in the tilted picture, clips lines and areas at the
// six planes of the view volume, and a table built per view size and pitch
// answers the way back (which flat position lies under a pixel of the tilted
// picture).
//
// Camera space: a flat point (x, y) is the ground point (x, 0, y - centre
// row); the view volume is the pyramid |x| <= -z, |y| <= -z between the far
// plane z = -1 and the eye.
#include <cstdint>
#include <vector>

#include "foundation/critical_section.h"
#include "render/screen_geometry.h"

// Process-wide inputs of the camera, set by the shell and the settings:
// the eye-height option (1 puts the eye a little higher) and the display
// layout value (2 marks the alternative layout, which has a nearer far plane
// and taller skies).
void SetBirdViewEyeHeightOption(int option);
int GetBirdViewEyeHeightOption();
void SetDisplayLayoutValue(int value);
int GetDisplayLayoutValue();
inline constexpr int kAlternativeDisplayLayout = 2;

template <class T>
struct Point3D {
    T x = 0;
    T y = 0;
    T z = 0;
};
struct Point3DFloat : Point3D<float> {};

template <int N>
struct VectorFloat {
    double v[N] = {};
    void Identity() {
        for (int i = 0; i < N; ++i) v[i] = 0.0;
        v[N - 1] = 1.0;
    }
};
struct VectorFloat3D : VectorFloat<4> {
    VectorFloat3D() = default;
    VectorFloat3D(double x, double y, double z, double w = 1.0) { v[0] = x, v[1] = y, v[2] = z, v[3] = w; }
    VectorFloat3D Cross(const VectorFloat3D& o) const;
    double Length() const;
};

template <int N>
struct MatrixFloat {
    double m[N][N] = {};
    void Identity() {
        for (int r = 0; r < N; ++r)
            for (int c = 0; c < N; ++c) m[r][c] = r == c ? 1.0 : 0.0;
    }
};
struct MatrixFloat3D : MatrixFloat<4> {
    MatrixFloat3D() { Identity(); }
    static MatrixFloat3D Translation(double x, double y, double z);
    static MatrixFloat3D Scale(double x, double y, double z);
    MatrixFloat3D operator*(const MatrixFloat3D& o) const;
    VectorFloat3D operator*(const VectorFloat3D& v) const;
};

// The camera's parameters and the matrices built from them.
class CMneBirdViewElements {
public:
    static constexpr float kDefaultTiltDeg = 42.0f;
    static constexpr float kDefaultFieldOfViewDeg = 30.0f;

    float GetPitchOffset() const { return m_pitchOffset; }
    float GetTilt() const { return m_tiltDeg; }
    // The camera's view box: the view rectangle grown by 10 pixels.
    double BoxLeft() const { return m_boxLeft; }
    double BoxRight() const { return m_boxRight; }
    double BoxTop() const { return m_boxTop; }
    double BoxBottom() const { return m_boxBottom; }

protected:
    void Rebuild();

    Point3DFloat m_reference;  // A = (centre x of the box, 0, 0)
    Point3DFloat m_eye;        // E
    VectorFloat3D m_forward{0.0, 0.0, 1.0};
    VectorFloat3D m_up{0.0, 1.0, 0.0};
    VectorFloat3D m_eyeToWindow;  // D
    double m_boxLeft = 0.0, m_boxRight = 0.0, m_boxTop = 0.0, m_boxBottom = 0.0;
    double m_frustumLeft = 0.0, m_frustumRight = 0.0, m_frustumBottom = 0.0, m_frustumTop = 0.0;
    double m_viewHeight = 0.0, m_far = 0.0, m_near = 0.0;
    float m_clipNear = -1.0f;  // z >= this: the far end of the volume
    float m_clipFar = 0.0f;    // z <= this
    float m_clipDepth = 0.0f;
    MatrixFloat3D m_spare;
    MatrixFloat3D m_modelView;  // MV
    MatrixFloat3D m_projectionScale, m_shear, m_eyeTranslation, m_basis, m_referenceTranslation;
    VectorFloat3D m_u, m_v, m_n;
    MatrixFloat3D m_depthProjection;  // P
    MatrixFloat3D m_viewport;         // VP
    MatrixFloat3D m_viewportTranslate, m_viewportScale, m_viewportUnit;
    MatrixFloat3D m_toPicture;  // VP x P, for the last step of a projection
    float m_shift = 0.0f;       // s
    float m_fieldOfViewDeg = kDefaultFieldOfViewDeg;
    float m_pitchOffset = 0.0f;
    float m_tiltDeg = kDefaultTiltDeg;
};

class CMneBirdViewConvert : public CMneBirdViewElements {
public:
    virtual ~CMneBirdViewConvert() = default;

    // The flat view box of the view rectangle (left, right, top, bottom);
    // the camera's box and the flat box are it grown by 10 pixels.
    void SetViewBox(double left, double right, double top, double bottom);
    // Rebuilds only when the offset changed.
    void SetPitchOffset(float pitch);
    void SetTilt(float tiltDeg);
    virtual void ResetCamera();

    // One flat position to the picture; with clip, 0 when it lies outside
    // the view volume. A point at or behind the eye is never projected.
    int ProjectPointToScreen(double x, double y, int clip, double& outX, double& outY) const;
    // Flat positions to the picture, clipped at the six planes when asked;
    // the result (in picture pixels, not rounded) replaces out.
    void ProjectPolyline(const ScreenPoint* points, int count, int clip, std::vector<Point3DFloat>& work,
                         std::vector<Point3DFloat>& out) const;
    void ProjectPolygon(const ScreenPoint* points, int count, int clip, std::vector<Point3DFloat>& work,
                        std::vector<Point3DFloat>& out) const;

private:
    Point3DFloat ToCamera(double x, double y) const;
    bool ToPicture(const Point3DFloat& p, double& outX, double& outY) const;
    void Project(const ScreenPoint* points, int count, int clip, bool closed, std::vector<Point3DFloat>& work,
                 std::vector<Point3DFloat>& out) const;

    double m_flatLeft = 0.0, m_flatRight = 0.0, m_flatTop = 0.0, m_flatBottom = 0.0;
    uint32_t m_groundHeight = 0;
};

class CMneBirdViewManager {
public:
    // View modes with their own sky heights; any other value (the map frame
    // uses 1) takes its sky height from the layout kind.
    static constexpr int kViewMode100 = 100;
    static constexpr int kViewMode200 = 200;
    static constexpr int kViewMode300 = 300;
    static constexpr int kMaxNearestSteps = 30;

    CMneBirdViewManager();
    CMneBirdViewManager(const CMneBirdViewManager& other);
    CMneBirdViewManager& operator=(const CMneBirdViewManager& other);
    ~CMneBirdViewManager();

    void Enable() { m_enabled = 1; }
    void Disable() { m_enabled = 0; }
    int IsEnabled() const { return m_enabled; }
    void SetFrozen(int frozen) { m_frozen = frozen; }

    // Stores the mode and sets the sky height for it.
    void SetViewMode(int mode, int layoutKind);
    int GetViewMode() const { return m_viewMode; }
    // Nothing while frozen; else the camera's pitch offset and a sky lower
    // by twice the pitch. The table of the way back follows the pitch.
    void SetPitch(float pitch, int layoutKind);
    float GetPitch() const { return m_camera.GetPitchOffset(); }
    int GetSkyHeight() const { return m_skyHeight; }
    void GetSkyRect(ScreenRect& out) const;

    // The view rectangle of the tilted picture. With rebuild 1 the table of
    // the way back is built again whenever the view's size, the pitch or the
    // camera inputs changed since it was built.
    void SetViewRect(const ScreenRect& rect, int rebuild);

    // One flat pixel position to the picture in place (rounded); 1, or 0
    // when it lies outside the view volume (the point is left as it was).
    int ProjectPoint(ScreenPoint& point, int clip);
    int IsPointVisible(const ScreenPoint& point);
    // Flat points to the picture as a polygon (kind 3) or a polyline; the
    // vector is resized to the result. Returns the number of points, 0 when
    // fewer than two (one for a single input point) remain.
    int ProjectPoints(std::vector<ScreenPoint>& points, int kind, int clip);

    // The flat position under a pixel of the picture: 1, or 0 when no table
    // exists, the pixel is outside the view or no sample landed on it.
    int ScreenToFlat(const ScreenPoint& pixel, ScreenPoint& flat) const;
    // The same, widening the search by one pixel per step around the pixel
    // (30 steps at most) until a sample is found.
    int ScreenToFlatNearest(const ScreenPoint& pixel, ScreenPoint& flat) const;
    // The flat position whose projection is the pixel, to a fraction of a
    // pixel: the table's nearest sample, refined through the camera. Near
    // the bottom of the picture the camera spreads neighbouring samples
    // several pixels apart, so the sample alone can be far off.
    int ScreenToFlatExact(const ScreenPoint& pixel, double& flatX, double& flatY) const;

    const CMneBirdViewConvert& Camera() const { return m_camera; }

private:
    struct TableKey {
        int32_t width = -1, height = -1;
        ScreenRect rect;
        float pitch = 0.0f;
        int eyeOption = 0;
        int layout = 0;
        bool operator==(const TableKey&) const = default;
    };
    TableKey CurrentKey() const;
    void BuildInverseTable();
    static int SkyHeightFor(int mode, int layoutKind);

    int32_t m_reserved = 0;
    int32_t m_viewMode = 0;
    int32_t m_enabled = 0;
    int32_t m_frozen = 0;
    int32_t m_skyHeight = 0;
    CMneBirdViewConvert m_camera;
    std::vector<int16_t> m_inverse;  // flat x, y per picture pixel
    std::vector<uint8_t> m_valid;
    ScreenRect m_viewRect;
    int32_t m_width = 0;
    int32_t m_height = 0;
    bool m_hasTable = false;
    TableKey m_tableKey;
};
