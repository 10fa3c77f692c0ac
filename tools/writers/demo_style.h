#pragma once
// The demo data root's map style: three colour modes (day, night and a
// high-contrast mode for bright sun), level table 1 with its 18 scales, line
// classes for every road class of the demo district, area and polygon
// classes for water, parks, blocks, buildings, elevation bands, patterned
// areas and stripes, symbol classes for the demo POI classes with their
// pictograms, guidance and sign symbols, and a few landmark images. Symbols
// are drawn here with Anti-Grain Geometry as RGB565 images, magenta
// (0xF81F) transparent.
//
// The class numbers below are what the demo layer files carry as style ids.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/writers/style_writer.h"

namespace demostyle {

inline constexpr int kColourModes = 3;
inline constexpr const char* kModeNames[kColourModes] = {"day", "night", "contrast"};

// Line classes (the ranged style table): drawn casing first, then fill.
enum LineClass : uint16_t {
    kLineExpresswayCasing,
    kLineExpressway,
    kLineMajorCasing,
    kLineMajorRoad,
    kLineStreetCasing,
    kLineStreet,
    kLineSmallStreet,
    kLineRailway,
    kLineRiver,
    kLineBoundary,
    kLineTunnel,
    kLineFerry,
    kLineClassCount
};

// Area and polygon classes (the class style table).
enum AreaClass : uint16_t {
    kAreaWater,
    kAreaPark,
    kAreaBlock,
    kAreaBuilding,        // pen and roof brush; walls through the third style words
    kAreaElevationLow,
    kAreaElevationMid,
    kAreaElevationHigh,
    kAreaParking,
    kAreaSchool,
    kAreaApartment,       // drawn translucent (group type 22)
    kAreaCrosswalk,       // stripes (group types 23, 24)
    kAreaCemetery,        // pattern brush
    kAreaMilitary,        // pattern brush
    kAreaRiverBank,       // tributary layer
    kAreaOutlinedBlock,   // outlined polygons (group type 5)
    kAreaClassCount
};

// POI classes (the symbol class table); symbol class i shows section-13
// symbol kFirstPoiSymbol + i from style level 8, the standard dot below.
enum PoiClass : uint16_t {
    kPoiFuel,
    kPoiParking,
    kPoiRestaurant,
    kPoiCafe,
    kPoiHospital,
    kPoiPharmacy,
    kPoiBank,
    kPoiConvenience,
    kPoiSchool,
    kPoiPolice,
    kPoiSubway,
    kPoiBusStop,
    kPoiHotel,
    kPoiAttraction,
    kPoiClassCount
};
inline constexpr uint16_t kFirstPoiSymbol = 3;
// The class of lot numbers (text only), after the POI classes.
inline constexpr uint16_t kPoiLotNumber = kPoiClassCount;
inline constexpr uint16_t kSymbolClassCount = kPoiClassCount + 1;
// Text classes of the labels (label style records): POI names, the framed
// box of the stations, and the marker lists' class.
inline constexpr uint16_t kTextPoi = 4, kTextFramed = 5, kTextLotNumber = 6, kTextMarker = 27;

// Fonts of the style (indexes of its font name records).
enum FontIndex : uint16_t { kFontLabel, kFontLabelBold, kFontSmall, kFontTiny, kFontCount };

// Palette indexes whose value is a pattern brush number (the pattern areas'
// brush lookups go through the palette).
inline constexpr uint16_t kPatternHatchIndex = 32;
inline constexpr uint16_t kPatternDotsIndex = 33;

// Section 14 holds this many guidance and sign symbols; the keyed
// landmark symbols of section 18 carry these ids.
inline constexpr int kSection14Count = 106;
inline constexpr uint32_t kKeyedSymbolIds[3] = {0x00001001, 0x00001002, 0x00001003};

// The level table's 18 scales, level 0 (whole country) first.
extern const uint32_t kLevelScales[18];

// A RGB565 image, rows bottom-up, each row padded to 4 bytes.
struct Image565 {
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    std::vector<uint8_t> bytes;
};

stylewriter::StyleDesc BuildDemoStyle();
stylewriter::LandmarkDesc BuildDemoLandmarks();

// Writes root/Config/PeloxSymbol.cfg and root/Config/LandMarkImage.dat.
bool WriteDemoStyle(const std::string& root, std::string* error = nullptr);

// A sheet showing the demo style in its three colour modes side by side,
// drawn from the style as the loader reads it: background, areas, road
// classes with casing, POI and sign symbols, landmarks. PNG file bytes;
// empty when the style does not load.
std::vector<uint8_t> BuildSwatchPng(std::string* error = nullptr);

// An RGB image as a PNG file (8 bits per channel, rows top-down).
std::vector<uint8_t> EncodePngRgb(const uint8_t* rgb, int32_t width, int32_t height);

}  // namespace demostyle
