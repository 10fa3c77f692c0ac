#pragma once
// The map renderer of the draw thread. CMneDrawMap owns the 16-bit picture
// (with the span rasteriser and the anti-aliased context on it), the ten
// drawing layer files with one arena each, the two views (screen index 0
// and 1 of the request) with their placement caches, and the map style. Its
// Initialize opens everything in a fixed order with one failure text per
// step; DrawFrame sets the view up from a draw request, runs the layer
// passes in the fixed order of the view mode, and publishes the picture,
// the view and the caches for the screens.
//
// Layer files are found under the data root's "Map\" folder, the way the
// map-data manager finds its files (names matched without regard to case).
//
// Publication: the finished picture is copied, together with the frame
// record, the view and the caches, into the publication object under the
// drawing settings' lock, so a screen copying the picture never sees a
// frame half drawn (the renderer draws into its own picture).
//
// Passes: each pass of the frame order has a slot (MnePass). A slot
// without a handler draws nothing; the renderers install theirs with
// SetPassHandler. The background is always drawn (ClearSurface).
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "foundation/critical_section.h"
#include "foundation/memory_heap.h"
#include "render/aa_context.h"
#include "render/config_map.h"
#include "render/coord_system.h"
#include "render/dib_image.h"
#include "render/draw_cache.h"
#include "render/draw_inputs.h"
#include "render/egl_draw.h"
#include "render/frame_setup.h"
#include "render/layer_files.h"

// What message 3 of the draw thread carries: copies, so nothing of the
// caller must outlive the call. The picture size takes the place of the
// virtual-screen metrics of the display.
struct MneDrawInit {
    int32_t width = 800;
    int32_t height = 480;
    std::string dataRoot;      // native path
    char modelName[20] = {};   // at most 19 characters and a NUL
};
// Message body: u16 width, u16 height, 20 name bytes, u16 root length, the
// root's UTF-8 bytes (at most kMneDrawInitMaxRootBytes).
inline constexpr uint32_t kMneDrawInitMaxRootBytes = 480;
// False when the root is empty or too long for a message.
bool EncodeDrawInit(const MneDrawInit& init, std::vector<uint8_t>& out);
bool DecodeDrawInit(const uint8_t* data, uint32_t size, MneDrawInit* out);

// The frame record the screens read after a frame.
struct MneFrameRecord {
    ScreenPoint gpsOnScreen{-1, -1};   // -1, -1 when off the view
    int32_t scaleStep = 0;
    int32_t scaleLevel = 0;
    int32_t viewWidth = 0;
    int32_t viewHeight = 0;
    int32_t northUp = 0;               // 0 in the bird's-eye view
    uint32_t frameMs = 0;
    uint8_t foundBuilding = 0;
    int32_t rotationDeg = 0;
    int32_t carHeadingDeg = 0;
    int32_t screenIndex = 0;
    int32_t birdView = 0;
    uint32_t frameNumber = 0;
};

// The building under the car, recorded by the building pass (the first
// one found in a frame) for the building-information view.
struct MneFoundBuilding {
    uint8_t height = 0;               // the record's height value: its floors
    uint16_t styleId = 0;
    double info = 0.0;                // the record's information value
    std::vector<MapPoint> footprint;  // map units
};

using MnePoiCache = CMoudleDrawDrawCacheT<tagMODULEDRAWPOICACHE>;
using MneThemeCache = CMoudleDrawDrawCacheT<tagMODULEDRAWTHEMECACHE>;
using MneTrafficCache = CMoudleDrawDrawCacheT<tagMODULEDRAWRTMCACHE>;

// What the last frame of each screen left for the screens, kept in the
// drawing settings object and guarded by its lock.
struct MneDrawPublication {
    struct Screen {
        int drawn = 0;
        int birdView = 0;
        int scaleLevel = -1;
        std::unique_ptr<CMneCoordSystem> coords;   // made on first use
        std::unique_ptr<MnePoiCache> poi[3];
        std::unique_ptr<MneThemeCache> theme;
        std::unique_ptr<MneTrafficCache> traffic;
        MneFrameRecord record;
    };
    Screen screens[2];
    // The POI symbol images by symbol class ("kind code"), copied from the
    // style when the renderer starts; they stay until it starts again.
    struct PoiSymbolImage {
        int kindCode = 0;
        MneBitmapDesc image;      // bits point into bytes
        std::vector<uint8_t> bytes;
    };
    std::vector<PoiSymbolImage> poiSymbols;
    DibImage565 picture;          // the last finished frame
    MneFrameRecord lastRecord;    // of the last finished frame
    uint32_t frameCount = 0;
    MneFoundBuilding foundBuilding;   // the last building found under the car
};

// The pass slots of the frame, in the order the standard modes run them.
enum class MnePass : uint8_t {
    kSkyStrip,
    kStyleLandmarks,
    kPoi,                // once per mask (see MnePassContext::poiMask)
    kReplaceCachedPoi,
    kElevAreas,
    kTributaryAreas,
    kBaseAreas,
    kPolygonClass,       // once per group type (3, 28, 29, 30)
    kMapPolygons,
    kBaseClass6,
    kBaseClass2,
    kBaseClass4,
    kBasePolygons5,
    kBaseClass8,
    kBaseClass23,
    kBaseStripes24,
    kBaseClass22,
    kBuildings,          // once per tile and block (see MnePassContext)
    kBaseClass19And27,
    kBaseClass12,
    kRoute,
    kTrafficLinks,
    kThemeSymbols,
    kRoadAttributes,
    kPlacedPois,
    kMarkerList,
    kMarkerList2,
    kCourseMarkers,
    kTrafficIncidents,
    kRouteMarkers,
    kTargetLine,
    kPositionTrail,
    kUserMarkers,
    kFoundBuilding,
    kSearchPoints,
    kRouteSections,
    kCoursePreview,
    kCount
};

// The argument of a pass: which mask, group type or flag this run has.
struct MnePassContext {
    uint32_t poiMask = 0;
    int groupType = 0;
    int routeFlag = 0;
    int cacheIndex = 0;
    const VisibleTile* tile = nullptr;   // the building loop's tile
    const uint8_t* block = nullptr;      // the building loop's block
    uint32_t blockSize = 0;
    int buildingLayer = 0;               // 1: the block is the Building layer's
};

class CMneDrawMap;
struct MnePoiClassStyle;
struct MneTextClass;
using MnePassHandler = std::function<void(CMneDrawMap&, const MnePassContext&)>;
// The view of a fitting mode (1, 3, 4, 6, 7, 9, 10): sets the coordinate
// system and returns the scale level it chose, or -1 to keep the frame's
// view. level is the request's level, or -1 when the request leaves the
// level to the fitting.
using MneViewFitter = std::function<int(CMneDrawMap&, int mode, int level)>;

class CMneDrawMap {
public:
    // The ten layer files in opening order.
    enum Layer { kBuilding, kBase, kTributary, kElev, kEtc, kPoi, kJibunPoi, kTheme, kRoadAttr, kTpegLink, kLayerCount };

    // inputs: the settings the frame reads (not owned; the settings-backed
    // source when null). publication and its lock: where frames go.
    CMneDrawMap(MneDrawInputSource* inputs, MneDrawPublication* publication, CMgrCriticalSection* publicationLock);
    virtual ~CMneDrawMap();
    CMneDrawMap(const CMneDrawMap&) = delete;
    CMneDrawMap& operator=(const CMneDrawMap&) = delete;

    int Initialize(const MneDrawInit& init);
    // 1 on success; 0 (not initialised) ends the draw thread. The request is
    // clamped in place and gets the level drawn as its scale step.
    int DrawFrame(MneDrawRequest& request);
    int ReleaseResources();
    bool IsInitialized() const { return m_initialized != 0; }

    // ---- Set-up steps of the frame ----
    int ValidateRequest(MneDrawRequest& request);
    int BuildVisibleTiles();
    void OrderTiles(int angleDeg) { ::OrderTiles(angleDeg, m_range); }
    int ClearSurface();
    static int ScaleLevelFromStep(int step) { return ::ScaleLevelFromStep(step); }
    static int StepFromScaleLevel(int level) { return ::StepFromScaleLevel(level); }
    static int StyleLevel(int level) { return StyleLevelOfScaleLevel(level); }
    void PoiThemeMasks(uint32_t* first, uint32_t* second) const;
    void UpdateBirdViewPitch();
    int LookAheadHeading(int* heading, int32_t* verticalOffset, MapPoint* centre);

    void SetPassHandler(MnePass pass, MnePassHandler handler);
    const MnePassHandler& PassHandler(MnePass pass) const { return m_passes[static_cast<size_t>(pass)]; }
    void SetViewFitter(MneViewFitter fitter) { m_fitter = std::move(fitter); }

    // ---- What the passes work with ----
    const MneDrawRequest& Request() const { return m_request; }
    CMneCoordSystem& Coords() { return m_coords[m_request.screenIndex]; }
    const VisibleRange& Range() const { return m_range; }
    int ScaleLevel() const { return m_level; }
    CMneLayerMapFile& LayerFile(Layer layer) { return *m_files[layer]; }
    bool LayerOpen(Layer layer) const { return m_open[layer]; }
    NcConfigMap& Style() { return m_style; }
    CEglDraw& Egl() { return m_egl; }
    CMneDC& Dc() { return m_dc; }
    DibImage565& Picture() { return m_image; }
    const FrameGreySwitches& Grey() const { return m_grey; }
    const MneDrawInputs& Inputs() const { return m_inputs; }
    const ScreenTheme& Theme(int screen) const { return m_themes[screen & 1]; }
    int ThemeChanged() const { return m_themeChanged; }
    MnePoiCache& PoiCache(int index) { return m_poiCaches[m_request.screenIndex][index]; }
    MneThemeCache& ThemeCache() { return m_themeCaches[m_request.screenIndex]; }
    MneTrafficCache& TrafficCache() { return m_trafficCaches[m_request.screenIndex]; }
    int ReusingPois() const { return m_reusePois; }
    int FoundBuilding() const { return m_foundBuilding; }
    void SetFoundBuilding(int found) { m_foundBuilding = found; }
    MneFoundBuilding& FoundBuildingRecord() { return m_foundRecord; }
    // Runs one layer loop: the tiles in visit order, each made current,
    // its block queried and handed over, then released.
    void ForEachTileBlock(Layer layer,
                          const std::function<void(const VisibleTile&, const uint8_t*, uint32_t)>& draw);

    // ---- Symbols and outlined text (map_symbols.cpp) ----
    // The whole image (width x height) with its anchor on the point,
    // magenta transparent; grey is the calling pass's grey switch.
    int BlitSymbol(const MneBitmapDesc& image, ScreenPoint point, int32_t width, int32_t height, int32_t anchorX,
                   int32_t anchorY, int32_t grey);
    // The same for the image's rectangle (sx0, sy0)..(sx1, sy1).
    int BlitPart(const MneBitmapDesc& image, ScreenPoint point, int32_t sx0, int32_t sy0, int32_t sx1, int32_t sy1,
                 int32_t anchorX, int32_t anchorY, int32_t grey);
    // Outlined text in the style's text class (render/map_symbols.h) and
    // font size class, centred in the rectangle; 0 when not drawn.
    int DrawOutlinedText(const char* text, int32_t length, const ScreenRect& rect, int textClass, int sizeClass,
                         int32_t grey = 0);

    // ---- Placement (poi_placement.cpp) ----
    // The POI pass of one category mask over the visible tiles.
    void PassPoi(uint32_t mask);
    int PlacePoiNames(int level, const uint8_t* block, uint32_t size, uint32_t mask, int cacheIndex, int groupType);
    int PlaceLotNumbers(int level, const uint8_t* block, uint32_t size, uint32_t mask, int cacheIndex, int groupType);
    int ReplaceCachedPoi(int level, int cacheIndex, const MnePoiCache& last);
    // ReplaceCachedPoi with the screen's published cache of that index.
    void ReplaceCachedPois(int cacheIndex);
    int PlaceStyleLandmarks();
    int PlaceThemeSymbols();
    int PlaceTrafficIncidents();
    int IsChosenCategory(int poiClass);

    // ---- Placed POIs, route marks, marker lists (marker_lists.cpp) ----
    int DrawPlacedPois();
    int DrawRouteMarkers();
    int DrawMarkerList();
    int DrawMarkerList2();

private:
    struct PoiCandidate;
    ScreenRect PlacementWindow();
    int PlaceCandidate(const PoiCandidate& candidate, uint32_t mask, int cacheIndex);
    int PlaceBoxes(const PoiCandidate& candidate, const MnePoiClassStyle& style, int kind, int cacheIndex,
                   int32_t storedWidth, int32_t storedHeight);
    int DrawMarkers(const std::vector<MneMarkerEntry>& entries);
    // A route point's label row (route-mark symbols) left of the point; a
    // missing piece skips the label.
    int DrawRoutePointLabel(const MapPoint& at, const std::vector<int32_t>& label, const ScreenRect& view);
    void DrawLabelBox(const ScreenRect& box, const MneTextClass& textClass, int32_t borderWidth, int32_t grey);
    // 1 opened or optional and missing, 0 failed (released), -1 arena failed.
    int OpenLayer(int index, const std::string& root);
    void RunPass(MnePass pass, const MnePassContext& context = {});
    void RunPoiPass(uint32_t mask);
    void RunStandardPasses(int mode);
    void RunLookAheadPasses();
    void BuildingLoop(int mode);
    void Publish(const MneFrameRecord& record);
    void PublishPoiSymbols();

    MneDrawInputSource* m_inputSource;
    std::unique_ptr<MneDrawInputSource> m_ownInputs;
    MneDrawPublication* m_publication;
    CMgrCriticalSection* m_publicationLock;

    DibImage565 m_image;
    CMneDC m_dc;
    CEglDraw m_egl;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int m_initialized = 0;
    std::string m_dataRoot;
    char m_name[20] = {};

    std::array<MgrSharedBlock*, kLayerCount> m_arenas{};
    std::array<std::unique_ptr<CMneLayerMapFile>, kLayerCount> m_files;
    std::array<bool, kLayerCount> m_open{};

    CMneCoordSystem m_coords[2];
    MnePoiCache m_poiCaches[2][3];
    MneThemeCache m_themeCaches[2];
    MneTrafficCache m_trafficCaches[2];
    CConfigManager m_styleManager;
    NcConfigMap m_style{m_styleManager};

    MneDrawRequest m_request;
    MneDrawInputs m_inputs;
    VisibleRange m_range;
    ScreenTheme m_themes[2];
    FrameGreySwitches m_grey;
    int m_themeChanged = 0;
    int m_colourMode = -1;
    int m_fontPair[2] = {-1, -1};
    int m_level = 9;
    int m_screenLevel[2] = {9, 9};
    int m_reusePois = 0;
    int m_foundBuilding = 0;
    MneFoundBuilding m_foundRecord;
    int m_birdSetUp[2] = {};
    BirdPitchState m_pitch[2];
    LookAheadState m_lookAhead;
    std::array<MnePassHandler, static_cast<size_t>(MnePass::kCount)> m_passes;
    MneViewFitter m_fitter;
};
