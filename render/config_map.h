#pragma once
// The renderers' one entry to the map style. NcConfigMap owns the drawing
// objects built from the style file (vector fonts, the section-19 bitmaps,
// the pattern brushes of section 17, the fixed colour table), holds the
// per-frame style state (scale level, alternate-style switch, style variant
// and view options) and answers the renderers' questions: which draw style
// and colour a class takes at the current level, which symbol a POI class, a
// sign or a landmark shows, which font a label uses. The file data live in
// the style manager (render/style_file.h).
//
// Per frame, before any renderer runs:
//   style.SetScale(style.ScaleOfLevel(level));
//   style.SetAlternateStyle(alternate);
//   style.SetDrawOptions(variant, viewStyle, option3, option4);
// Lookups return 0 (or null) when they find nothing. Draw thread only.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/bitmap.h"
#include "render/polygon_fill.h"
#include "render/style_file.h"
#include "render/vector_font.h"

// The style arguments the draw-thread set-up derives from the UI settings
// "eMapColor", "eMapFontType" and "eMapFontSize" (each stored 1-based).
struct MapStyleSetup {
    int colourMode = 0;   // 0-2
    int faceSet = 0;      // 0-2
    int sizeClass = 1;    // 0-2
};
// Colour mode: the setting minus one, 0 when outside 0-2 (a stored 0 must
// not become mode -1); face set outside 0-2 becomes 0; size class outside
// 0-2 becomes 1.
MapStyleSetup MapStyleSetupFromSettings(int eMapColor, int eMapFontType, int eMapFontSize);

// What GetSymbolClassAttributes fills, in this order.
struct SymbolClassAttributes {
    uint8_t itemBytes[4] = {};   // variant, lowest level, highest level, attribute
    uint16_t symbolIndex = 0;    // item u16 at 4
    uint16_t itemValue = 0;      // item u16 at 6
    uint32_t headAttribute = 0;  // head u32 at 12
    uint8_t symbolKind = 0;      // item byte 8
    uint8_t itemByte9 = 0;
    uint8_t itemByte10 = 0;
    uint8_t marks[3] = {};       // head bytes 7, 8, 9
    uint8_t headByte10 = 0;
};

// A symbol image and the numbers the placement needs (attributes 1, 0, 4
// and 5 of the entry: height, width, anchor x, anchor y as the demo style
// stores them). The hold keeps a cached image from being evicted until the
// blit is done: keep the object alive until then.
struct StyleSymbol {
    int a = 0, b = 0, c = 0, d = 0;
    MneBitmapDesc image;
    StyleImageHold hold;
};

class NcConfigMap {
public:
    // Font table of the face sets 0-6 and size classes 0-2.
    static constexpr int kFaceSets = 7;
    static constexpr int kSizeClasses = 3;
    static constexpr int kMaxBitmaps = 40;
    static constexpr int kFixedColourCount = 48;
    static constexpr int kLevels = 18;

    // The style data come from `manager` (the program's one manager unless
    // a test passes its own).
    explicit NcConfigMap(CConfigManager& manager = GetConfigManager());
    virtual ~NcConfigMap();
    NcConfigMap(const NcConfigMap&) = delete;
    NcConfigMap& operator=(const NcConfigMap&) = delete;

    // ---- Set-up and state ----
    // Loads the style, creates the fonts, bitmaps and pattern brushes and
    // frees the manager's pattern data. 1, or 0 (traced) on failure.
    int Initialize(const std::string& stylePath, int colourMode, int faceSet, int sizeClass, int onDemand);
    void SetLandmarkPath(const std::string& path) { m_manager.SetLandmarkPath(path); }
    int SetColourMode(int mode);
    // Re-creates the fonts for another face set and size class.
    void CreateFonts(int faceSet, int sizeClass);
    void SetAlternateStyle(int value);
    void SetScale(int scale);
    int ScaleOfLevel(int level) const;
    void SetDrawOptions(int variant, int viewStyle, int option3, int option4);
    void Release();

    int LevelIndex1() const { return m_levelIndex1; }
    int LevelIndex2() const { return m_levelIndex2; }
    int Scale() const { return m_scale; }
    int AlternateFlag() const { return m_alternateFlag; }
    // The style level of a renderer level 0-17 (other values give 0), and of
    // the current level index 1.
    static int StyleLevelOf(int level);
    int StyleLevel() const { return StyleLevelOf(m_levelIndex1); }
    CConfigManager& Manager() { return m_manager; }

    // ---- Class styles ----
    // Pen (draw style) and brush (colour reference) of an area or polygon
    // class; either may come back null. 0 when the class gives neither.
    int GetClassStyle(int cls, const StyleDrawStyle** outStyle, const StyleColourRef** outColour, int lineOnly,
                      int anyLevel) const;
    int GetClassStyle3(int cls, const StyleDrawStyle** outStyle, const StyleColourRef** outColour1,
                       const StyleColourRef** outColour2) const;
    int GetClassValues(int cls, uint16_t* outA, uint16_t* outB) const;
    int GetClassValue(int cls, int type, uint32_t* out) const;
    int GetClassLevel(int cls) const;
    // Copies; returns 255 for a class without items.
    int GetClassStyleCopy(int cls, StyleDrawStyle* outStyle, StyleColourRef* outColour, int styleOnly) const;
    int GetRangedStyle(int cls, const StyleDrawStyle** outStyle) const;
    int GetRangedLevel(int cls) const;

    // ---- Symbol classes ----
    int GetSymbolClassSymbol(int cls, StyleSymbol* out) const;
    int GetSymbolClassAttributes(int cls, SymbolClassAttributes* out, int* visible) const;
    // The label passes' form: no visibility, no last-item fallback.
    int GetSymbolClassLabelAttributes(int cls, SymbolClassAttributes* out) const;
    int32_t GetSymbolClassFlags(int cls) const;

    // ---- Colours and brushes ----
    uint32_t GetBackgroundColour(int forced) const;
    const EglPattern565* GetPatternBrush(int index, int second) const;
    int PatternBrushCount() const { return static_cast<int>(m_brushes.size()); }
    uint32_t FixedColour(int index) const;
    int GetRouteColours(uint32_t out[6], int index, int whole, int alternate) const;

    // ---- Symbols ----
    int GetPoiSymbol(int index, StyleSymbol* out) const;          // section 13
    int GetMap16Symbol(int index, StyleSymbol* out) const;        // section 16 through map 16
    int GetMap14Symbol(int index, StyleSymbol* out) const;        // section 14 through map 14
    int GetMap14SecondRunSymbol(int index, StyleSymbol* out) const;
    int GetMap14ThirdRunSymbol(int index, StyleSymbol* out) const;
    int GetKeyedSymbol(uint32_t id, int byPosition, StyleSymbol* out) const;   // section 18
    int GetGroupSymbol(int index, int group, StyleSymbol* out) const;          // section 15
    int GetAlternateSymbol(StyleSymbol* out) const;
    // Map-14 entry of a sign, a guidance mark or a turn; -1 for none.
    static int SignSymbolIndex(int type, int value);
    static int GuideSymbolIndex(int id);
    static int TurnSymbolIndex(int type);
    int GetSignSymbol(int type, int value, StyleSymbol* out) const;
    int GetGuideSymbol(int id, StyleSymbol* out) const;
    int GetTurnSymbol(int type, StyleSymbol* out) const;
    const CMneBitmap* GetBitmap(int index) const;

    // ---- Small tables ----
    static int GetSymbolKind(int type, int level, int large);
    static void GetTrafficLineParams(int type, int forced, int* outA, int* outB);
    static int FlagToIndex(uint32_t flags);
    static int PriorityToIndex(int32_t flags);
    static double LevelDistance(int level);
    static int LevelStep(int level);

    // ---- Fonts ----
    CMneVectorFont* GetFont(int index) const;
    int FontCount() const { return static_cast<int>(m_fonts.size()); }
    CMneVectorFont* GetLandmarkFont(int landmarkStyle, int drawType, int limit, int mode) const;

    // ---- Landmarks ----
    int GetLandmarkRecord(int index, StyleLandmark* out) const;
    uint32_t GetLandmarkStyleValue(int style, int drawType) const;
    void GetLandmarkExtraColours(int style, uint32_t* out1, uint32_t* out2) const;
    float GetLandmarkOpacity(int style) const;
    void GetLandmarkStyleBytes(int style, uint8_t* out0, uint8_t* out1) const;
    // The palette colour of a landmark by draw type; 1 (found) with the
    // landmark's style index, or 0.
    int GetLandmarkColour(int landmark, int drawType, uint32_t* outColour, int* outStyle) const;
    // a, b, c, d: attribute 1, attribute 0, attribute 0 / 2, attribute 1 / 2.
    int GetNamedLandmarkImage(int index, StyleSymbol* out) const;
    int GetUnnamedLandmarkImage(int index, StyleSymbol* out) const;
    // The image of landmark index of the whole list: named ones (first)
    // through the cache, unnamed ones through the single slot.
    int GetLandmarkImage(int index, StyleSymbol* out) const;

private:
    const StyleClassItem* PickClassItem(const StyleClassHead& head, int lineOnly, int anyLevel) const;
    const StyleClassHead* ClassHead(int cls) const;
    const StyleSymbolClassHead* SymbolClassHead(int cls) const;
    int EffectiveVariant(const StyleSymbolClassHead& head) const;
    const StyleSymbolClassItem* AttributeItem(const StyleSymbolClassHead& head, bool lastFallback) const;
    uint16_t Half(uint32_t word) const { return static_cast<uint16_t>(m_alternateFlag ? word >> 16 : word & 0xFFFF); }
    const StyleDrawStyle* DrawStyleAt(uint32_t index) const;
    const StyleColourRef* ColourRefAt(uint32_t index) const;
    uint32_t PaletteColour(uint32_t index, uint32_t fallback) const;
    int Symbol(int index, int base, StyleSymbol* out) const;
    void FillAttributes(const StyleSymbolClassHead& head, const StyleSymbolClassItem& item,
                        SymbolClassAttributes* out) const;

    CConfigManager& m_manager;
    int m_levelIndex2 = 0;
    int m_levelIndex1 = 0;
    int m_scale = 0;
    int m_alternateValue = 0;
    int m_alternateFlag = 0;
    int m_sizeClass = 0;
    int m_faceSet = 0;
    std::vector<std::unique_ptr<CMneVectorFont>> m_fonts;
    std::array<std::unique_ptr<CMneBitmap>, kMaxBitmaps> m_bitmaps;
    std::vector<EglPattern565> m_brushes;
    std::array<uint32_t, kFixedColourCount> m_fixedColours{};
    int m_variant = 1;
    int m_viewStyle = 1;
    int m_option3 = 0;
    int m_option4 = 0;
};
