#include "render/draw_map.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "foundation/debug_trace.h"
#include "platform/byte_cursor.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "render/vector_font.h"

// ---- Init message ----------------------------------------------------------------------

bool EncodeDrawInit(const MneDrawInit& init, std::vector<uint8_t>& out) {
    if (init.dataRoot.empty() || init.dataRoot.size() > kMneDrawInitMaxRootBytes) return false;
    if (init.width <= 0 || init.height <= 0 || init.width > 0xFFFF || init.height > 0xFFFF) return false;
    platform::ByteWriter w;
    w.U16(static_cast<uint16_t>(init.width));
    w.U16(static_cast<uint16_t>(init.height));
    w.Bytes(init.modelName, sizeof init.modelName);
    w.U16(static_cast<uint16_t>(init.dataRoot.size()));
    w.Bytes(init.dataRoot.data(), init.dataRoot.size());
    out = w.Data();
    return true;
}

bool DecodeDrawInit(const uint8_t* data, uint32_t size, MneDrawInit* out) {
    platform::ByteReader r(data, size);
    MneDrawInit init;
    init.width = r.U16();
    init.height = r.U16();
    r.Bytes(init.modelName, sizeof init.modelName);
    init.modelName[sizeof init.modelName - 1] = 0;
    const uint16_t rootBytes = r.U16();
    if (!r.Ok() || rootBytes == 0 || rootBytes > kMneDrawInitMaxRootBytes || r.Remaining() != rootBytes) return false;
    const uint8_t* root = r.Span(rootBytes);
    init.dataRoot.assign(reinterpret_cast<const char*>(root), rootBytes);
    *out = std::move(init);
    return true;
}

// ---- Layer table ---------------------------------------------------------------------------

namespace {

using L = CMneDrawMap::Layer;

// Opening order, arenas and cache ids of the ten layers.
struct LayerEntry {
    L layer;
    const char* file;
    const char* arena;
    uint32_t unit;
    uint32_t size;
    int cacheId;
    bool fatal;
    const char* arenaFail;
    const char* openFail;
    const char* attachFail;
};
constexpr LayerEntry kLayers[CMneDrawMap::kLayerCount] = {
    {L::kBuilding, "Map\\Building.map", "MGRBUILDINGMAP", 1024, 0x200000, 10, false,
     "[Error]DrawMap m_hBuildingMapHeap Memory create fail!!\n", nullptr,
     "[Error]DrawMap m_BuildingMapFile AttachHeap fail!!\n"},
    {L::kBase, "Map\\Base.map", "MGRDEFAULTMAP", 1024, 0x200000, 1, true, nullptr,
     "[Error]DrawMap Base.map open fail!!\n", "[Error]DrawMap m_BaseMapFile AttachHeap fail!!\n"},
    {L::kTributary, "Map\\Tributary.map", "MGRTRIBUTARYMAP", 1024, 0x100000, 14, false,
     "[Error]DrawMap m_hTributaryMapHeap Memory create fail!!\n", nullptr,
     "[Error]DrawMap m_TributaryMapFile AttachHeap fail!!\n"},
    // The elevation layer reports its own attach failure.
    {L::kElev, "Map\\Elev.map", "MGRELEVMAP", 1024, 0x10000, 11, false,
     "[Error]DrawMap m_hElevMapHeap Memory create fail!!\n", nullptr,
     "[Error]DrawMap m_ElevMapFile AttachHeap fail!!\n"},
    {L::kEtc, "Map\\Etc.map", "MGRETCMAP", 32, 2048, 16, false, "[Error]DrawMap m_hEtcMapHeap Memory create fail!!\n",
     nullptr, "[Error]DrawMap m_EtcMapFile AttachHeap fail!!\n"},
    {L::kPoi, "Map\\POI.map", "MNEPOIMAP", 1024, 0x80000, 2, true, nullptr, "[Error]DrawMap POI.map open fail!!\n",
     "[Error]DrawMap m_POIMapFile AttachHeap fail!!\n"},
    {L::kJibunPoi, "Map\\JibunPOI.map", "MNEJIBUNPOIMAP", 1024, 0x80000, 12, false,
     "[Error]DrawMap m_hJibunPOIMapHeap fail!!\n", nullptr, "[Error]DrawMap m_JibunPOIMapFile AttachHeap fail!!\n"},
    {L::kTheme, "Map\\Theme.map", "MNETHEMEMAP", 1024, 0x4000, 8, true, nullptr,
     "[Error]DrawMap Theme.map Open fail!!\n", "[Error]DrawMap m_ThemeMapFile AttachHeap fail!!\n"},
    {L::kRoadAttr, "Map\\RoadAttr.map", "MNEROADATTRMAP", 256, 8192, 6, true, nullptr,
     "[Error]DrawMap RoadAttr.map Open fail!!\n", "[Error]DrawMap RoadAttr.map Open fail!!\n"},
    {L::kTpegLink, "Map\\TpegLink.map", "MNETRAFFICMAP", 1024, 0x40000, 9, false, nullptr, nullptr,
     "[Error]DrawMap m_TrafficMapFile AttachHeap fail!!\n"},
};

// The arenas made before any file opens, with their failure texts.
struct EarlyArena {
    L layer;
    const char* fail;
};
constexpr EarlyArena kEarlyArenas[] = {
    {L::kBase, "[Error]DrawMap m_hDefaultMapHeap Memory create fail!!\n"},
    {L::kPoi, "[Error]DrawMap m_hPOIMapHeap Memory create fail!!\n"},
    {L::kTpegLink, "[Error]DrawMap m_hTrafficMapHeap Memory create fail!!\n"},
    {L::kTheme, "[Error]DrawMap m_hThemeMapHeap Memory create fail!!\n"},
    {L::kRoadAttr, "[Error]DrawMap m_hRoadAttrMapHeap Memory create fail!!\n"},
};

std::unique_ptr<CMneLayerMapFile> MakeLayerFile(L layer) {
    switch (layer) {
        case L::kPoi:
        case L::kJibunPoi:
            return std::make_unique<CMnePOIMapFile>();
        case L::kTheme:
            return std::make_unique<CMneThemeMapFile>();
        case L::kRoadAttr:
            return std::make_unique<CMneRoadAttrMapFile>();
        case L::kTpegLink:
            return std::make_unique<CMneTrafficMapFile>();
        default:
            return std::make_unique<CMneBaseMapFile>();
    }
}

// Gives the other threads the processor during long frames.
void YieldFrame() { std::this_thread::yield(); }

}  // namespace

// ---- Lifecycle -------------------------------------------------------------------------

CMneDrawMap::CMneDrawMap(MneDrawInputSource* inputs, MneDrawPublication* publication,
                         CMgrCriticalSection* publicationLock)
    : m_inputSource(inputs), m_publication(publication), m_publicationLock(publicationLock) {
    if (m_inputSource == nullptr) {
        m_ownInputs = std::make_unique<MneSettingsDrawInputs>();
        m_inputSource = m_ownInputs.get();
    }
    for (int i = 0; i < kLayerCount; ++i) m_files[i] = MakeLayerFile(static_cast<Layer>(i));
}

CMneDrawMap::~CMneDrawMap() { ReleaseResources(); }

int CMneDrawMap::OpenLayer(int index, const std::string& root) {
    const LayerEntry& desc = kLayers[index];
    CMneLayerMapFile& file = *m_files[desc.layer];
    std::string path;
    // A name the program's path buffers cannot hold ends the initialisation.
    if (root.size() + 1 + std::strlen(desc.file) >= 256) return 0;
    path = platform::ResolveUnder(root, desc.file);
    if (!platform::IsRegularFile(path) || !file.Open(path)) {
        if (desc.fatal) {
            DebugTrace(0, "%s", desc.openFail);
            return 0;
        }
        file.Close();
        return 1;   // an optional layer may be missing
    }
    if (!m_arenas[desc.layer]) {
        m_arenas[desc.layer] = CreateSharedBlock(std::string_view(desc.arena), desc.unit, desc.size, 0);
        if (!m_arenas[desc.layer]) {
            DebugTrace(0, "%s", desc.arenaFail ? desc.arenaFail : desc.attachFail);
            return -1;
        }
    }
    if (!file.AttachCache(m_arenas[desc.layer], desc.cacheId)) {
        DebugTrace(0, "%s", desc.attachFail);
        return 0;
    }
    m_open[desc.layer] = true;
    return 1;
}

int CMneDrawMap::Initialize(const MneDrawInit& init) {
    if (m_initialized || init.dataRoot.empty()) return 0;
    std::memcpy(m_name, init.modelName, sizeof m_name);
    m_name[sizeof m_name - 1] = 0;
    if (!m_image.Create(init.width, init.height)) {
        DebugTrace(0, "[Error]DrawMap CreateDIBSection fail!!\n");
        return 0;
    }
    m_width = init.width;
    m_height = init.height;
    m_dc.Attach(m_image);
    m_egl.Attach(m_image);
    m_egl.SetLineMode(1);
    m_dataRoot = init.dataRoot;

    for (const EarlyArena& early : kEarlyArenas) {
        const LayerEntry& s = kLayers[early.layer];
        m_arenas[early.layer] = CreateSharedBlock(std::string_view(s.arena), s.unit, s.size, 0);
        if (!m_arenas[early.layer]) {
            DebugTrace(0, "%s", early.fail);
            return 0;
        }
    }
    if (!SetVectorFontFolder(init.dataRoot)) {
        DebugTrace(0, "[Error]DrawMap SetFontBasePath!!\n");
        return 0;
    }
    for (int index = 0; index < kLayerCount; ++index) {
        const int rc = OpenLayer(index, init.dataRoot);
        if (rc == -1) return 0;   // a failed arena: the thread's end releases the rest
        if (rc == 0) {
            ReleaseResources();
            return 0;
        }
    }

    m_style.SetLandmarkPath(platform::ResolveUnder(init.dataRoot, "Config\\LandMarkImage.dat"));
    m_inputSource->Read(&m_inputs);
    const MapStyleSetup setup = MapStyleSetupFromSettings(m_inputs.eMapColor, m_inputs.eMapFontType,
                                                          m_inputs.eMapFontSize);
    if (!m_style.Initialize(platform::ResolveUnder(init.dataRoot, "Config\\PeloxSymbol.cfg"), setup.colourMode,
                            setup.faceSet, setup.sizeClass, 0)) {
        DebugTrace(0, "[Error]DrawMap m_ConfigMap Initialize fail!!\n");
        ReleaseResources();
        return 0;
    }
    PublishPoiSymbols();
    m_colourMode = setup.colourMode;
    m_fontPair[0] = setup.faceSet;
    m_fontPair[1] = setup.sizeClass;
    m_initialized = 1;
    return 1;
}

int CMneDrawMap::ReleaseResources() {
    m_initialized = 0;
    for (int i = 0; i < kLayerCount; ++i) {
        if (m_open[i]) m_files[i]->DetachCache();
        m_files[i]->Close();
        m_open[i] = false;
    }
    for (MgrSharedBlock*& arena : m_arenas) {
        if (arena) DestroySharedBlock(arena);
        arena = nullptr;
    }
    m_style.Release();
    m_styleManager.Unload();
    for (int s = 0; s < 2; ++s) {
        for (MnePoiCache& cache : m_poiCaches[s]) cache.Release();
        m_themeCaches[s].Release();
        m_trafficCaches[s].Release();
        m_screenLevel[s] = 9;
    }
    // The published copies go with the renderer that filled them: the
    // screens find no labels to pick, and their memory goes back to the heap.
    if (m_publication != nullptr && m_publicationLock != nullptr) {
        MgrLock hold(*m_publicationLock);
        for (MneDrawPublication::Screen& screen : m_publication->screens) {
            for (auto& cache : screen.poi) cache.reset();
            screen.theme.reset();
            screen.traffic.reset();
            screen.scaleLevel = -1;
        }
    }
    m_range = VisibleRange{};
    m_dc.Attach(nullptr, 0, 0, 16, 0);
    m_image = DibImage565();
    m_colourMode = -1;
    return 1;
}

void CMneDrawMap::SetPassHandler(MnePass pass, MnePassHandler handler) {
    m_passes[static_cast<size_t>(pass)] = std::move(handler);
}

void CMneDrawMap::RunPass(MnePass pass, const MnePassContext& context) {
    const MnePassHandler& handler = m_passes[static_cast<size_t>(pass)];
    if (handler) handler(*this, context);
}

// ---- Set-up --------------------------------------------------------------------------------

int CMneDrawMap::ValidateRequest(MneDrawRequest& r) {
    m_grey = FrameGreySwitches{};
    m_themeChanged = 0;
    m_foundBuilding = 0;

    auto flag = [](uint8_t& b) {
        if (b > 1) b = 0;
    };
    flag(r.centreMode);
    flag(r.birdView);
    flag(r.northUp);
    flag(r.trafficPass);
    flag(r.styleMode);
    if (r.viewMode > 10) r.viewMode = 0;   // 10: the route comparison
    if (r.screenIndex > 1) r.screenIndex = 0;
    if (r.poiPass > 2) r.poiPass = 0;
    if (r.panorama > 3) r.styleMode = 0;
    if (r.scaleStep > 14) r.scaleStep = 1;
    r.viewWidth = static_cast<uint16_t>(std::min<int32_t>(r.viewWidth, m_width));
    r.viewHeight = static_cast<uint16_t>(std::min<int32_t>(r.viewHeight, m_height));
    if (r.birdView) r.northUp = 0;
    if (r.viewMode == 8) r.northUp = 1;

    const int wanted = m_inputs.eMapColor - 1;
    if (wanted != m_colourMode) {
        m_colourMode = wanted;
        if (!m_style.SetColourMode(wanted)) return 0;
    }
    if (m_inputs.eMapFontType - 1 != m_fontPair[0] || m_inputs.eMapFontSize - 1 != m_fontPair[1]) {
        m_fontPair[0] = m_inputs.eMapFontType - 1;
        m_fontPair[1] = m_inputs.eMapFontSize - 1;
        const MapStyleSetup setup = MapStyleSetupFromSettings(m_inputs.eMapColor, m_inputs.eMapFontType,
                                                              m_inputs.eMapFontSize);
        m_style.CreateFonts(setup.faceSet, setup.sizeClass);
    }
    ScreenTheme& theme = m_themes[r.screenIndex];
    m_themeChanged = SettleScreenTheme(r, theme, m_grey);
    if (r.viewMode == 5) {
        if (m_lookAhead.section < 0) m_themeChanged = 1;
        r.birdView = 0;
        r.northUp = 0;
        r.scaleStep = 12;
        theme = ScreenTheme{1, 1, 0};
        m_grey = FrameGreySwitches{};
    }
    return 1;
}

int CMneDrawMap::BuildVisibleTiles() {
    BuildVisibleRange(Coords(), m_request.viewWidth, m_request.viewHeight, m_request.birdView, m_range);
    return 1;
}

int CMneDrawMap::ClearSurface() {
    uint32_t colour;
    if (m_request.viewMode == 5) {
        colour = m_style.GetBackgroundColour(1);
    } else {
        colour = m_style.GetBackgroundColour(0);
    }
    return m_egl.Clear(colour);
}

void CMneDrawMap::PoiThemeMasks(uint32_t* first, uint32_t* second) const {
    ::PoiThemeMasks(m_themes[m_request.screenIndex], first, second);
}

void CMneDrawMap::UpdateBirdViewPitch() {
    BirdPitchState& pitch = m_pitch[m_request.screenIndex];
    StepBirdViewPitch(pitch, m_request.viewMode, m_inputs.e3DViewAngle, m_inputs.guidanceActive != 0,
                      m_inputs.distanceToPointM);
    Coords().BirdView().SetPitch(static_cast<float>(pitch.pitch), m_inputs.perspective);
}

int CMneDrawMap::LookAheadHeading(int* heading, int32_t* verticalOffset, MapPoint* centre) {
    LookAheadPath path;
    path.points = m_inputs.pathPoints.data();
    path.pointCount = static_cast<int32_t>(m_inputs.pathPoints.size());
    path.sections = m_inputs.pathSections.data();
    path.sectionCount = static_cast<int32_t>(m_inputs.pathSections.size());
    path.currentSection = m_inputs.currentSection;
    path.distanceToPoint = m_inputs.distanceToPointM;
    return ::LookAheadHeading(path, m_lookAhead, m_request.viewHeight, heading, verticalOffset, centre) ? 1 : 0;
}

// ---- The frame -----------------------------------------------------------------------------

void CMneDrawMap::ForEachTileBlock(Layer layer,
                                   const std::function<void(const VisibleTile&, const uint8_t*, uint32_t)>& draw) {
    if (!m_open[layer]) return;
    CMneLayerMapFile& file = *m_files[layer];
    for (int32_t index : m_range.order) {
        const VisibleTile& tile = m_range.tiles[static_cast<size_t>(index)];
        const MneTileKey key{tile.level, tile.column, tile.row};
        Coords().SetTile(tile.column, tile.row);
        uint32_t size = 0;
        const uint8_t* block = file.GetBlock(key, nullptr, &size);
        if (!block) continue;
        draw(tile, block, size);
        file.ReleaseBlock(key);
    }
}

void CMneDrawMap::RunPoiPass(uint32_t mask) {
    MnePassContext context;
    context.poiMask = mask;
    RunPass(MnePass::kPoi, context);
}

void CMneDrawMap::BuildingLoop(int mode) {
    if (mode == 8) return;
    const bool buildings = m_level > 15 || (m_themes[m_request.screenIndex].kind == 3 && m_level > 8);
    ForEachTileBlock(kBase, [&](const VisibleTile& tile, const uint8_t* base, uint32_t baseSize) {
        MnePassContext context;
        context.tile = &tile;
        if (buildings && m_open[kBuilding]) {
            const MneTileKey key{tile.level, tile.column, tile.row};
            uint32_t size = 0;
            if (const uint8_t* block = m_files[kBuilding]->GetBlock(key, nullptr, &size)) {
                context.block = block;
                context.blockSize = size;
                context.buildingLayer = 1;
                RunPass(MnePass::kBuildings, context);
                m_files[kBuilding]->ReleaseBlock(key);
            }
            YieldFrame();
        }
        context.block = base;
        context.blockSize = baseSize;
        context.buildingLayer = 0;
        RunPass(MnePass::kBuildings, context);
    });
}

void CMneDrawMap::RunLookAheadPasses() {
    RunPoiPass(0x20);
    if (m_reusePois) {
        for (int cache = 0; cache < 3; ++cache) {
            MnePassContext context;
            context.cacheIndex = cache;
            RunPass(MnePass::kReplaceCachedPoi, context);
        }
    }
    RunPoiPass(0x100);
    RunPass(MnePass::kBaseAreas);
    MnePassContext polygons;
    polygons.groupType = 3;
    RunPass(MnePass::kPolygonClass, polygons);
    MnePassContext route;
    route.routeFlag = 1;
    RunPass(MnePass::kRoute, route);
    RunPass(MnePass::kPlacedPois);
    RunPass(MnePass::kRouteMarkers);
    RunPass(MnePass::kCourseMarkers);
}

void CMneDrawMap::RunStandardPasses(int mode) {
    const MneDrawRequest& r = m_request;
    const ScreenTheme& theme = m_themes[r.screenIndex];
    if (r.birdView) RunPass(MnePass::kSkyStrip);
    RunPass(MnePass::kStyleLandmarks);
    if (r.poiPass == 1 && m_inputs.poiCategoriesChosen) RunPoiPass(0x01);
    RunPoiPass(0x20);
    if (m_reusePois) {
        for (int cache = 0; cache < 3; ++cache) {
            MnePassContext context;
            context.cacheIndex = cache;
            RunPass(MnePass::kReplaceCachedPoi, context);
        }
    }
    if (theme.kind == 2 || theme.kind == 4) {
        uint32_t first = 0, second = 0;
        PoiThemeMasks(&first, &second);
        RunPoiPass(first);
        if (theme.variant != 3 || m_level > 15) RunPoiPass(second);
    } else {
        RunPoiPass(0xFFFFFFFE);
    }
    RunPass(MnePass::kElevAreas);
    RunPass(MnePass::kTributaryAreas);
    RunPass(MnePass::kBaseAreas);
    YieldFrame();
    for (int type : {3, 28, 29, 30}) {
        MnePassContext context;
        context.groupType = type;
        RunPass(MnePass::kPolygonClass, context);
    }
    RunPass(MnePass::kMapPolygons);
    YieldFrame();
    for (MnePass pass : {MnePass::kBaseClass6, MnePass::kBaseClass2, MnePass::kBaseClass4, MnePass::kBasePolygons5,
                         MnePass::kBaseClass8, MnePass::kBaseClass23, MnePass::kBaseStripes24, MnePass::kBaseClass22})
        RunPass(pass);
    BuildingLoop(mode);
    RunPass(MnePass::kBaseClass19And27);
    RunPass(MnePass::kBaseClass12);
    if (mode != 8) {
        RunPass(MnePass::kRoute);
        if (r.trafficPass == 1 && m_inputs.trafficDisplay) RunPass(MnePass::kTrafficLinks);
        if (m_inputs.themeDisplay != 2) RunPass(MnePass::kThemeSymbols);
        RunPass(MnePass::kRoadAttributes);
    }
    YieldFrame();
    RunPass(MnePass::kPlacedPois);
    YieldFrame();
    if (mode != 3 && mode != 4 && mode != 8 && mode != 9) {
        RunPass(MnePass::kMarkerList);
        RunPass(MnePass::kMarkerList2);
    }
    if (mode != 8 && mode != 9) {
        RunPass(MnePass::kCourseMarkers);
        if (m_inputs.incidentDisplay == 1) RunPass(MnePass::kTrafficIncidents);
        if (mode != 3 && mode != 4) RunPass(MnePass::kRouteMarkers);
        RunPass(MnePass::kTargetLine);
        if (mode != 3 && mode != 4) RunPass(MnePass::kPositionTrail);
        RunPass(MnePass::kUserMarkers);
    }
    if (mode == 8) RunPass(MnePass::kFoundBuilding);
    if (mode == 1) RunPass(MnePass::kSearchPoints);
    if (mode == 6 || mode == 7) RunPass(MnePass::kRouteSections);
    if (mode == 9) RunPass(MnePass::kCoursePreview);
}

int CMneDrawMap::DrawFrame(MneDrawRequest& request) {
    if (!m_initialized) return 0;
    const uint64_t startMs = platform::GetTickCount64();
    m_inputSource->Read(&m_inputs);
    m_request = request;
    ValidateRequest(m_request);
    MneDrawRequest& r = m_request;
    const int mode = r.viewMode;
    const int screen = r.screenIndex;
    if (mode == 8) r.scaleStep = 12;
    const int32_t W = r.viewWidth, H = r.viewHeight;
    // The look-ahead pair is forgotten without guidance (outside the
    // look-ahead view) and whenever the guidance moved to another section.
    if ((mode != 5 && !m_inputs.guidanceActive) || m_inputs.currentSection != m_lookAhead.section)
        m_lookAhead = LookAheadState{};

    // Level: step 0 keeps the screen's current level.
    m_level = r.scaleStep == 0 ? m_screenLevel[screen] : ScaleLevelFromStep(r.scaleStep);
    const int styleScale = m_style.ScaleOfLevel(m_level);
    m_style.SetScale(styleScale);
    m_style.SetAlternateStyle(r.styleMode ? 0 : 1);
    const ScreenTheme& theme = m_themes[screen];
    const int viewStyle = mode == 5 ? 2 : theme.kind == 4 ? 3 : theme.kind == 3 ? 4 : 1;
    m_style.SetDrawOptions(theme.kind, viewStyle, theme.variant, theme.extra);

    // Anchor and centre.
    CMneCoordSystem& coords = m_coords[screen];
    ScreenPoint anchor{W / 2, (r.centreMode == 0 && r.birdView == 0 && r.northUp == 0) ? H * 3 / 4 : H / 2};
    MapPoint centre = r.centre;
    int angle = r.northUp ? 0 : m_inputs.headingDeg;
    if (mode == 5) {
        int heading = 0;
        int32_t offset = H / 2;
        if (LookAheadHeading(&heading, &offset, &centre)) angle = heading;
        anchor = ScreenPoint{W / 2, offset};
    } else if (r.centreShift == 1 && r.centreMode == 0 && (screen == 1 || m_inputs.centreShiftSetting)) {
        anchor.x += r.birdView ? 70 : 200;
        r.centreShift = 0;
    }
    coords.SetPixelsPerMetre(r.birdView ? 11000 : 5500, r.birdView ? 11000 : 5500);

    // Bird's-eye.
    CMneBirdViewManager& bird = coords.BirdView();
    if (r.birdView) {
        if (!m_birdSetUp[screen]) {
            bird.SetViewMode(1, m_inputs.perspective);
            m_birdSetUp[screen] = 1;
        }
        bird.Enable();
        if (bird.GetPitch() > 80.0f) bird.SetPitch(0.0f, m_inputs.perspective);
        UpdateBirdViewPitch();
    } else {
        bird.Disable();
    }

    // The view. The fitting modes fit the points of their overlay (a
    // request without a scale step lets the fitting choose the level).
    coords.SetLevel(MapLevelOfScaleLevel(m_level));
    const ScreenRect clip{0, 0, W, H};
    coords.SetView(anchor, centre, clip, angle, styleScale * kViewScalePerStyleScale, r.birdView);
    const bool fitting = mode == 1 || mode == 3 || mode == 4 || mode == 6 || mode == 7 || mode == 9 || mode == 10;
    if (fitting && m_fitter) {
        const int fitted = m_fitter(*this, mode, r.scaleStep == 0 ? -1 : m_level);
        if (r.scaleStep == 0 && fitted >= 0 && fitted <= 17) m_level = fitted;
        m_style.SetScale(m_style.ScaleOfLevel(m_level));
        coords.SetLevel(MapLevelOfScaleLevel(m_level));
    }

    // Caches and tiles.
    for (MnePoiCache& cache : m_poiCaches[screen]) cache.Clear();
    m_reusePois = m_level == m_screenLevel[screen] && !m_themeChanged;
    m_themeCaches[screen].Clear();
    m_trafficCaches[screen].Clear();
    BuildVisibleTiles();
    OrderTiles(coords.GetAngle());
    ClearSurface();

    if (mode == 5) {
        RunLookAheadPasses();
    } else {
        RunStandardPasses(mode);
    }

    // The frame record.
    MneFrameRecord record;
    ScreenPoint gps;
    if (coords.MapToScreen(m_inputs.position, gps, r.birdView, 0) && gps.x >= 0 && gps.x < W && gps.y >= 0 &&
        gps.y < H)
        record.gpsOnScreen = gps;
    record.scaleLevel = m_level;
    record.scaleStep = StepFromScaleLevel(m_level);
    record.viewWidth = W;
    record.viewHeight = H;
    record.northUp = r.birdView ? 0 : r.northUp;
    record.foundBuilding = static_cast<uint8_t>(m_foundBuilding);
    record.rotationDeg = coords.GetAngle();
    record.carHeadingDeg =
        r.northUp ? m_inputs.headingDeg : NormalizeAngle360(m_inputs.headingDeg - coords.GetAngle());
    record.screenIndex = screen;
    record.birdView = r.birdView;
    record.frameMs = static_cast<uint32_t>(platform::GetTickCount64() - startMs);
    m_screenLevel[screen] = m_level;
    Publish(record);

    // The caller's copy learns what was drawn.
    r.scaleStep = static_cast<uint16_t>(m_level);
    request = r;
    return 1;
}

void CMneDrawMap::Publish(const MneFrameRecord& frame) {
    if (m_publication == nullptr || m_publicationLock == nullptr) return;
    MgrLock hold(*m_publicationLock);
    MneDrawPublication& pub = *m_publication;
    MneDrawPublication::Screen& out = pub.screens[frame.screenIndex];
    const int s = frame.screenIndex;
    out.birdView = frame.birdView;
    out.scaleLevel = frame.scaleLevel;
    if (!out.coords) out.coords = std::make_unique<CMneCoordSystem>();
    *out.coords = m_coords[s];
    out.coords->SetLevel(m_coords[s].GetLevel());
    for (int i = 0; i < 3; ++i) {
        if (!out.poi[i]) out.poi[i] = std::make_unique<MnePoiCache>();
        *out.poi[i] = m_poiCaches[s][i];
    }
    if (!out.theme) out.theme = std::make_unique<MneThemeCache>();
    *out.theme = m_themeCaches[s];
    if (!out.traffic) out.traffic = std::make_unique<MneTrafficCache>();
    *out.traffic = m_trafficCaches[s];
    out.drawn = 1;
    if (pub.picture.Width() != m_image.Width() || pub.picture.Height() != m_image.Height())
        pub.picture.Create(m_image.Width(), m_image.Height());
    if (!pub.picture.Empty()) std::memcpy(pub.picture.Bits(), m_image.Bits(), m_image.SizeBytes());
    MneFrameRecord record = frame;
    record.frameNumber = ++pub.frameCount;
    out.record = record;
    pub.lastRecord = record;
    if (m_foundBuilding) pub.foundBuilding = m_foundRecord;
}

void CMneDrawMap::PublishPoiSymbols() {
    if (m_publication == nullptr || m_publicationLock == nullptr) return;
    // Per symbol class: its first image reference of type 1 with a
    // non-zero image index, as the style's section-13 image.
    std::vector<MneDrawPublication::PoiSymbolImage> table;
    const auto& heads = m_styleManager.SymbolClassHeads();
    const auto& items = m_styleManager.SymbolClassItems();
    for (size_t cls = 0; cls < heads.size(); ++cls) {
        const StyleSymbolClassHead& head = heads[cls];
        if (head.firstItem < 0) continue;
        for (int i = 0; i < head.ItemCount(); ++i) {
            const size_t at = static_cast<size_t>(head.firstItem) + static_cast<size_t>(i);
            if (at >= items.size() || items[at].U8(0) != 1) continue;
            const int index = items[at].U16(4);
            StyleSymbol symbol;
            if (index != 0 && m_style.GetPoiSymbol(index, &symbol) && symbol.image.bits != nullptr) {
                MneDrawPublication::PoiSymbolImage entry;
                entry.kindCode = static_cast<int>(cls);
                entry.image = symbol.image;
                const auto* bits = static_cast<const uint8_t*>(symbol.image.bits);
                const size_t size = static_cast<size_t>(std::max(0, symbol.image.widthBytes)) *
                                    static_cast<size_t>(std::max(0, symbol.image.height));
                entry.bytes.assign(bits, bits + size);
                table.push_back(std::move(entry));
            }
            break;
        }
    }
    MgrLock hold(*m_publicationLock);
    m_publication->poiSymbols = std::move(table);
    for (auto& entry : m_publication->poiSymbols) entry.image.bits = entry.bytes.data();
}
