#pragma once
// The view's coordinate system: map coordinates to pixels of the off-screen
// map image and back, for one view of the map.
//
// It holds the view's centre, rotation, scale and clipping rectangle, builds
// the projection matrices from them once per frame (and per tile change),
// converts single points and whole arrays in three encodings (absolute map
// points, 16-bit tile-local points, packed byte points) and clips converted
// polylines and polygons to the view widened by 10 pixels. A bird's-eye view
// is handed point by point to the member CMneBirdViewManager.
//
// Array converters size their own output: the clipped result of n points
// can be several times n (a polyline segment gives up to four points), so
// callers pass a vector that is resized to the result, never a fixed array.
#include <cstdint>
#include <vector>

#include "foundation/coords.h"
#include "render/bird_view.h"
#include "render/screen_geometry.h"

// Clip modes of the converters.
inline constexpr int kClipPoint = 1;
inline constexpr int kClipPolyline = 2;
inline constexpr int kClipPolygon = 3;

class CMneCoordSystem : public CMgrCoordBase {
public:
    // The centre window the view accepts (both ends included); any other
    // centre draws the fixed centre instead.
    static constexpr int32_t kCentreMinX = 60641930;
    static constexpr int32_t kCentreMaxX = 73619596;
    static constexpr int32_t kCentreMinY = 17300000;
    static constexpr int32_t kCentreMaxY = 21271814;
    static constexpr int32_t kFallbackCentreX = 69136039;
    static constexpr int32_t kFallbackCentreY = 19357235;
    // The clip window is the clip rectangle widened by this on every side.
    static constexpr int32_t kClipMarginPx = 10;
    static constexpr int kFirstClipBufferPoints = 10000;
    // Largest converted coordinate; points far outside the view (or pushed
    // there by a perspective term near 0) stop here instead of overflowing.
    static constexpr int32_t kPixelLimit = 1 << 28;

    CMneCoordSystem();
    CMneCoordSystem(const CMneCoordSystem& other);
    // Copies the bird's-eye state, the perspective and the view with its
    // matrices; the tile frame (level, tile) stays this object's own.
    CMneCoordSystem& operator=(const CMneCoordSystem& other);
    ~CMneCoordSystem() override;

    void SetView(ScreenPoint origin, MapPoint centre, const ScreenRect& clip, int angleDeg, int scale,
                 int birdFlag);
    // Takes effect at the next SetView.
    void SetPixelsPerMetre(int horizontal, int vertical);
    // The frame's bird's-eye set-up: with the flag set every conversion
    // divides by w = 1 + K x (metres ahead of the centre) / scale.
    void SetPerspective(int flag, double factor);

    int GetAngle() const { return m_angleDeg; }
    int GetScale() const { return m_scale; }
    MapPoint GetCentre() const { return MapPoint{m_centreX, m_centreY}; }
    ScreenPoint GetOrigin() const { return ScreenPoint{m_originX, m_originY}; }
    const ScreenRect& GetClipRect() const { return m_clip; }
    CMneBirdViewManager& BirdView() { return m_birdView; }
    const CMneBirdViewManager& BirdView() const { return m_birdView; }

    int SetLevel(int level) override;
    int SetTile(int column, int row) override;

    // Single points. 1 when converted (in the bird's-eye view: when the
    // point is in the picture). A map point at or behind the perspective's
    // eye (w <= 0) gives 0 and a point pushed to the far edge.
    int MapToScreen(const MapPoint& map, ScreenPoint& out, int birdFlag, int birdOption);
    int LocalToScreen(const TileLocalPoint& local, ScreenPoint& out, int birdFlag, int birdOption);
    int LocalXYToScreen(int16_t x, int16_t y, ScreenPoint& out, int birdFlag, int birdOption);
    // The map point under a pixel; 0 when the bird's-eye table has no flat
    // position near the pixel.
    int ScreenToMap(const ScreenPoint& screen, MapPoint& out, int birdFlag) const;

    // Arrays: out is resized to the result and its size returned.
    int MapPointsToScreen(int count, const MapPoint* points, std::vector<ScreenPoint>& out, int clipMode,
                          int birdFlag, int clipFlag);
    int LocalPointsToScreen(int count, const TileLocalPoint* points, std::vector<ScreenPoint>& out, int clipMode,
                            int birdFlag, int clipFlag);
    // Packed points are byte pairs (y, x). Packing 1, 2 and 3 scale the bytes
    // by 1, 2 and 4 and add the base (high 16 bits to x, low 16 bits to y);
    // any other packing takes the bytes as they are.
    int PackedPointsToScreen(int count, int packing, uint32_t base, const uint8_t* packed,
                             std::vector<ScreenPoint>& out, int clipMode, int birdFlag, int clipFlag);

    // Clips screen points to the clip window in place: Liang-Barsky for
    // polygons (mode 3), Cohen-Sutherland with corner joins for polylines
    // (other modes). Returns the new count (the vector's size).
    int ClipPoints(std::vector<ScreenPoint>& points, int clipMode) const;

private:
    void BuildMatrices();
    void BuildLocalMatrix();
    void BuildLocalTranslation();
    bool Apply(const double (&m)[9], double x, double y, ScreenPoint& out) const;
    int FinishArray(std::vector<ScreenPoint>& out, int clipMode, int birdFlag, int clipFlag);
    bool BirdActive(int birdFlag) const { return m_birdView.GetViewMode() == 1 && birdFlag == 1; }

    CMneBirdViewManager m_birdView;
    int32_t m_perspective = 0;
    double m_perspectiveK = 0.0;
    int32_t m_originX = 0;
    int32_t m_originY = 0;
    int32_t m_centreX = 0;
    int32_t m_centreY = 0;
    ScreenRect m_clip;
    int32_t m_angleDeg = 0;
    int32_t m_scale = 10000;
    double m_pixelsPerMetreX = 3100.0;
    double m_pixelsPerMetreY = 2600.0;
    double m_metric[4] = {1.0, 0.0, 0.0, 1.0};
    // Rows (screen x, screen y, w), each a x X + b x Y + c.
    double m_forward[9] = {};
    // Rows (map x, map y) over screen offsets from the origin; the centre is
    // added after rounding.
    double m_inverse[6] = {};
    double m_localForward[9] = {};
};
