#pragma once
// What a frame and the automatic zoom read of the rest of the program: the
// UI map settings, the current position and heading, and the guidance
// state. The renderer takes them through this seam once per frame; the
// settings-backed source reads the settings objects, tests and tools pass
// fixed values.
#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

#include "foundation/coords.h"
#include "render/marker_lists.h"

// A traffic incident the incident pass places (the traffic store's list).
struct MneIncident {
    uint16_t id = 0;
    uint16_t kind = 0;
    MapPoint position;
};

struct MneDrawInputs {
    // UI settings, as stored (1-based where the settings are).
    int32_t eMapColor = 1;
    int32_t eMapFontType = 1;
    int32_t eMapFontSize = 2;
    int32_t e3DViewAngle = 2;
    int32_t perspective = 0;           // the bird's-eye layout kind
    int32_t poiCategoriesChosen = 0;   // the mask-1 POI pass has categories to show
    int32_t trafficDisplay = 0;
    int32_t themeDisplay = 0;          // 2: no theme symbols
    int32_t incidentDisplay = 0;
    int32_t centreShiftSetting = 0;
    int32_t building3d = 1;            // "b3DBuilding": buildings drawn as blocks
    // The building-information view: the floor chosen and the raise of its
    // animation in percent.
    int32_t selectedFloor = 1;
    int32_t buildingRaisePercent = 100;
    int32_t poiViewLevel = 2;          // "ePOIViewLevel": label spacing 1 tight, 2 normal, 3 wide
    std::vector<int32_t> poiCategories;   // the POI categories chosen for display
    int32_t themeSwitches = 0;         // five theme category switches ("nThemeCate")
    std::vector<MneIncident> incidents;
    // What the screens hand over: the two marker lists and the route marks.
    std::vector<MneMarkerEntry> markerList;
    std::vector<MneMarkerEntry> markerList2;
    MneRouteMarks routeMarks;
    // Route points show their labels (no stored setting names this; on).
    int32_t routePointLabels = 1;
    int32_t autoZoomBySpeed = 1;       // "eMapAutoZoomInBy": 1 by speed, else by distance
    int32_t autoZoomBySpeedSteps[4] = {9, 10, 11, 12};
    int32_t autoZoomByDistanceSteps[4] = {9, 10, 11, 12};
    // Position.
    MapPoint position;
    int32_t headingDeg = 0;            // clockwise from north
    int32_t fixValid = 0;              // the receiver's status letter is 'A' or 'a'
    int32_t speedKmh = 0;
    // Guidance.
    int32_t guidanceState = 0;
    int32_t guidanceActive = 0;
    int32_t distanceToPointM = 0;
    int32_t currentSection = 0;
    // The route path for the look-ahead view (points and first/last point of
    // each section); empty without a route.
    std::vector<MapPoint> pathPoints;
    std::vector<std::array<int32_t, 2>> pathSections;
};

class MneDrawInputSource {
public:
    virtual ~MneDrawInputSource() = default;
    virtual void Read(MneDrawInputs* out) = 0;
};

// Reads CMgrConfigUISetting, CMgrConfigModuleGPS and CMgrConfigModuleSVC.
class MneSettingsDrawInputs : public MneDrawInputSource {
public:
    void Read(MneDrawInputs* out) override;
};

// Hands out a copy of fixed values (tools and tests); Set may be called from
// any thread.
class MneFixedDrawInputs : public MneDrawInputSource {
public:
    MneFixedDrawInputs() = default;
    explicit MneFixedDrawInputs(const MneDrawInputs& inputs) : m_inputs(inputs) {}
    void Read(MneDrawInputs* out) override;
    void Set(const MneDrawInputs& inputs);

private:
    std::mutex m_mutex;
    MneDrawInputs m_inputs;
};
