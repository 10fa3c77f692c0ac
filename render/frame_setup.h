#pragma once
// The draw request of one frame and the view set-up the frame runs first:
// the 48-byte request, its scale tables, the visible tile list with the part
// of each tile that is on screen (flat rectangle, or the bird's-eye
// trapezoid clipped per tile), the order in which the layer loops visit the
// tiles, and the small per-screen theme rules.
//
// Scale steps (the request's 1..14), scale levels (the renderer's 0..17,
// 0 the whole country) and style levels (1..14, what the style's class
// ranges are compared with) translate through the tables below. Which map
// level (tile grid, 1 the most detailed) a scale level draws is this
// program's choice, written down at MapLevelOfScaleLevel.
#include <array>
#include <cstdint>
#include <vector>

#include "foundation/coords.h"
#include "render/screen_geometry.h"

class CMneCoordSystem;

// The 48-byte draw request, as it travels in message 4 of the draw thread.
struct MneDrawRequest {
    uint8_t centreMode = 0;     // 0: the centre sits at 3/4 of the height (with bird and north-up 0)
    uint8_t viewMode = 0;       // 0..9
    uint8_t screenIndex = 0;    // 0/1
    uint8_t birdView = 0;
    uint8_t northUp = 0;
    uint8_t poiPass = 0;        // 1 adds the POI pass of category mask 1
    uint8_t trafficPass = 0;
    uint8_t styleMode = 0;      // handed inverted to the style's alternate switch
    uint8_t panorama = 0;
    uint8_t themeKind = 0;
    uint8_t themeVariant = 0;
    uint8_t themeExtra = 0;
    uint16_t scaleStep = 0;     // 1..14, 0 keeps the level; the thread's copy gets the level drawn
    uint16_t viewWidth = 0;
    uint16_t viewHeight = 0;
    uint8_t reserved[10] = {};
    MapPoint centre;
    MapPoint carPosition;
    uint32_t centreShift = 0;   // one shot: 1 moves the centre right
};
inline constexpr uint32_t kMneDrawRequestBytes = 48;

void EncodeDrawRequest(const MneDrawRequest& request, uint8_t out[kMneDrawRequestBytes]);
MneDrawRequest DecodeDrawRequest(const uint8_t in[kMneDrawRequestBytes]);

// ---- Scale tables --------------------------------------------------------------------

// Step 1..14 to scale level (others 0).
int ScaleLevelFromStep(int step);
// Scale level back to a step (levels 10-12 read as 8, 14 as 15; unknown: 1).
int StepFromScaleLevel(int level);
// Scale level 0..17 to style level (others 0).
int StyleLevelOfScaleLevel(int level);
// The map level a scale level draws. The tiles grow with the view so that
// an 800 x 480 view meets a handful of tiles: 0-1 level 5, 2-4 level 4,
// 5-8 level 3, 9-14 level 2, 15-17 level 1 (the buildings of levels 16 and
// 17 are stored at level 1).
int MapLevelOfScaleLevel(int level);
// The view's scale (metres of ground per metre of screen) for a style
// level-table value: the style stores the scale in hundreds.
inline constexpr int kViewScalePerStyleScale = 100;

// ---- Visible tiles -------------------------------------------------------------------

// One tile of the visible range (28 bytes as the renderers walk it):
// level, column and row (the tile key), then two rectangles y, x, height,
// width in tile-local units; zero when no part is known to be on screen.
struct VisibleTile {
    int32_t level = 0;
    int32_t column = 0;
    int32_t row = 0;
    int16_t rect[2][4] = {};
};
static_assert(sizeof(VisibleTile) == 28, "visible tile entries are 28 bytes");

// A frame never walks more tiles than this: a range that would be larger is
// cut to the rows and columns nearest the view's centre tile.
inline constexpr int kMaxVisibleTiles = 256;

struct VisibleRange {
    int32_t firstColumn = 0;
    int32_t firstRow = 0;
    int32_t columns = 0;
    int32_t rows = 0;
    std::vector<VisibleTile> tiles;   // rows first to last, columns first to last
    std::vector<int32_t> order;       // visit order: indexes into tiles
    int32_t Count() const { return static_cast<int32_t>(tiles.size()); }
};

// Fills the range from the coordinate system (centred, scaled, rotated, at
// its map level) and the view size. The coordinate system's current tile is
// left at the last tile made current.
void BuildVisibleRange(CMneCoordSystem& coords, int32_t width, int32_t height, int birdView, VisibleRange& range);

// Clips the quadrilateral q (tile-local points, corners in order) to the
// tile square [0, 2048] x [0, 2048]; false when no part of the tile is
// inside. out: y, x, height, width.
bool ClipQuadToTile(const std::array<ScreenPoint, 4>& q, int16_t out[4]);

// The visit order for a rotation in whole degrees.
void OrderTiles(int angleDeg, VisibleRange& range);

// ---- Theme ---------------------------------------------------------------------------

// The per-screen theme cache and the fifteen grey switches of a frame.
struct ScreenTheme {
    uint8_t kind = 1;
    uint8_t variant = 0;
    uint8_t extra = 0;
};
struct FrameGreySwitches {
    std::array<int32_t, 15> on{};   // switch n (from 1) at on[n - 1]
};

// Settles the theme cache of the request's screen from request bytes 9-11;
// returns 1 when the theme changed. The grey switches are set as the theme
// extra asks. View mode 5 is applied by the caller.
int SettleScreenTheme(const MneDrawRequest& request, ScreenTheme& cache, FrameGreySwitches& grey);

// The two POI category masks of a theme.
void PoiThemeMasks(const ScreenTheme& theme, uint32_t* first, uint32_t* second);

// ---- Bird's-eye pitch ------------------------------------------------------------------

struct BirdPitchState {
    double pitch = 0.0;
    bool raised = false;     // climbing or held while guidance nears a point
    bool returning = false;
};
// One frame's pitch step. viewAngleSetting is the UI's "e3DViewAngle"
// (1, 2, 3); guidanceActive and distanceToPoint from the guidance service.
void StepBirdViewPitch(BirdPitchState& state, int viewMode, int viewAngleSetting, bool guidanceActive,
                       int32_t distanceToPoint);

// ---- Look-ahead (view mode 5) -----------------------------------------------------------

struct LookAheadPath {
    const MapPoint* points = nullptr;
    int32_t pointCount = 0;
    // First and last point index of each section.
    const std::array<int32_t, 2>* sections = nullptr;
    int32_t sectionCount = 0;
    int32_t currentSection = 0;
    int32_t distanceToPoint = 0;
};
struct LookAheadState {
    int32_t section = -1;
    int32_t point = -1;
};
// Heading (0..359, clockwise from north as the view turns), the vertical
// centre offset for a view of height h and the point to centre on; false
// when the path has no usable segment.
bool LookAheadHeading(const LookAheadPath& path, LookAheadState& state, int32_t height, int* heading,
                      int32_t* verticalOffset, MapPoint* centre);
