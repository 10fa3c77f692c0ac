#pragma once
// POI symbol and label placement: which POI symbols and names of the
// visible tiles fit on the screen without overlapping. Each frame the POI
// passes turn candidates (named POIs of the POI layer, lot numbers of the
// JibunPOI layer, last frame's placed records) into a symbol box and a text
// box and place them first come, first placed against the screen's three
// POI caches; the theme and traffic-incident passes place their symbols in
// the theme and traffic caches the same way. Later passes draw what the
// caches hold (render/marker_lists.h) and the screens pick from them.
//
// The placement functions themselves are members of CMneDrawMap
// (PlacePoiNames, PlaceLotNumbers, ReplaceCachedPoi, PassPoi,
// PlaceStyleLandmarks, PlaceThemeSymbols, PlaceTrafficIncidents); this
// header holds the rules they share, as plain functions.
//
// A POI class's placement style comes from the style file's symbol class
// of that number. How this renderer reads it:
//   item byte 3      non-zero: the class is shown
//   item byte 8      symbol kind (1, 5, 9 text only; 2, 4 symbol and text;
//                    3 symbol only; 5 is the theme kind)
//   item byte 9      label position code
//   item byte 10     text class (render/map_symbols.h)
//   item u16 6       POI category code (0: no category)
//   head byte 4, 5   the category flags the passes of masks 0x20 and 0x100 need
//   head byte 10     visibility: 0 tested, 1 always placed, 2 as 0
//   head u32 12      category bits of the other masks
// The item is the label form's pick (the first of the effective variant);
// the symbol image is the class's symbol at the current style level.
#include <cstdint>
#include <string>
#include <vector>

#include "render/config_map.h"
#include "render/screen_geometry.h"

// Record layouts of the POI family (tile-local points, y first).
inline constexpr uint32_t kMnePoiRecordBytes = 20;
inline constexpr uint32_t kMneLotNumberRecordBytes = 16;
inline constexpr uint32_t kMneThemeEntryBytes = 20;
inline constexpr int kMneLotNumberGroupType = 25;
// The record kind of a style landmark in POI cache 1.
inline constexpr uint16_t kMneLandmarkGroupType = 20;
// Symbol kind 5: shown by step range under a theme.
inline constexpr int kMnePoiThemeKind = 5;

struct MnePoiClassStyle {
    int visible = 0;
    int kind = 0;
    int positionCode = 0;
    int textClass = 0;
    int storedVisibility = 0;    // as the style stores it
    int visibility = 0;          // what placement uses: 2 read as 0
    int categoryFlags[2] = {};   // masks 0x20 and 0x100
    uint32_t categoryBits = 0;
    int categoryCode = 0;
    int hasImage = 0;            // the class's symbol image at this level
    int imageWidth = 0, imageHeight = 0, anchorX = 0, anchorY = 0;
};
// 1 when the class has a symbol class in the style (visible or not).
int MneLookupPoiClassStyle(NcConfigMap& style, int poiClass, MnePoiClassStyle* out);

// The candidate's placement kind by symbol kind: 0 symbol only, 1 text
// only, 2 both; -1 drops it.
int MnePlacementKindOfSymbol(int kind);

// Spacing of label boxes by "ePOIViewLevel": 1 -4, 2 0, 3 20 pixels; any
// other value 0.
int MneLabelSpacing(int poiViewLevel);

// The placement window: the view widened by half its size on every side;
// in the bird's-eye view its top is 1.5 times the horizon line. An anchor
// must lie strictly inside.
ScreenRect MnePlacementWindow(int32_t width, int32_t height, int birdView, int32_t horizon);
inline bool MneStrictlyInside(const ScreenRect& r, ScreenPoint p) {
    return p.x > r.left && p.x < r.right && p.y > r.top && p.y < r.bottom;
}

// The text box of a w x h label at the anchor by position code; false for
// the codes that give no box of their own (0 and 8).
bool MneTextBoxOfCode(int positionCode, ScreenPoint anchor, int32_t w, int32_t h, int32_t symbolBottom,
                      ScreenRect* out);
// The box grown by the spacing (m left and right, m / 2 top and bottom).
ScreenRect MneWidenBySpacing(const ScreenRect& r, int spacing);

// The label of a lot number from its main and sub fields (CP949 text):
// "산" marks a mountain lot (flag value 1 of the main field), the sub number
// follows with "-" when its field has flag value 1.
std::string MneFormatLotNumber(int16_t mainField, int16_t subField);

// 1 when the class's category code is one of the chosen codes (0 is never
// chosen; an empty list chooses nothing).
int MneIsChosenCategory(int categoryCode, const std::vector<int32_t>& chosen);
