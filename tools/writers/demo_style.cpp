#include "tools/writers/demo_style.h"

#include <agg_conv_stroke.h>
#include <agg_ellipse.h>
#include <agg_gsv_text.h>
#include <agg_path_storage.h>
#include <agg_pixfmt_rgb.h>
#include <agg_pixfmt_rgba.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_renderer_base.h>
#include <agg_renderer_scanline.h>
#include <agg_rendering_buffer.h>
#include <agg_rounded_rect.h>
#include <agg_scanline_u.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "foundation/coords.h"
#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "render/config_map.h"
#include "render/style_file.h"
#include "tools/writers/bmp_writer.h"

namespace demostyle {

const uint32_t kLevelScales[18] = {10000, 5000, 2500, 1250, 800, 500, 350, 200, 100,
                                   50,    45,   40,   35,   30,  25,  18,  10,  5};

namespace {

using stylewriter::ClassItem;
using stylewriter::ClassStyle;
using stylewriter::Image;
using stylewriter::RangedClass;
using stylewriter::RangedItem;
using stylewriter::SymbolClass;
using stylewriter::SymbolClassItem;

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | g << 8 | b << 16; }

// The vertices of a generated shape as a stored path (the generators leave
// the coordinates of their stop command unset).
template <typename Source>
agg::path_storage Collect(Source& source) {
    agg::path_storage p;
    double x = 0, y = 0;
    source.rewind(0);
    for (unsigned cmd = source.vertex(&x, &y); !agg::is_stop(cmd); cmd = source.vertex(&x, &y))
        p.vertices().add_vertex(x, y, cmd);
    return p;
}

// Text in the built-in stroke font as a path (y down), starting at x or
// centred on it, with its baseline at `baseline`.
agg::path_storage TextPath(const std::string& text, double x, double baseline, double height, bool centred) {
    agg::gsv_text t;
    t.flip(true);
    t.size(height);
    t.text(text.c_str());
    t.start_point(centred ? x - t.text_width() / 2 : x, baseline);
    return Collect(t);
}

// ---- Colours --------------------------------------------------------------------

// Palette slots; 0 stays unused (a style whose colour index is 0 means "no
// colour" to the line lookups).
enum Colour : uint16_t {
    kNone,
    kLand,
    kWater,
    kPark,
    kBlock,
    kRoof,
    kWall,
    kBuildingEdge,
    kExpressway,
    kExpresswayEdge,
    kMajor,
    kMajorEdge,
    kStreet,
    kStreetEdge,
    kSmallStreet,
    kRail,
    kRailDash,
    kRiver,
    kBoundary,
    kText,
    kHalo,
    kElevation1,
    kElevation2,
    kElevation3,
    kParkingArea,
    kSchoolGround,
    kApartment,
    kCrosswalk,
    kMarking,
    kTunnel,
    kFerry,
    kAreaEdge,
    kColourCount = 34   // 32 and 33 hold pattern brush numbers
};

struct ModeColours {
    uint16_t slot;
    uint32_t day, night, contrast;
};

// Day: light paper map. Night: dark blue-grey ground with roads bright
// enough to read at a glance and nothing near white. Contrast: for bright
// sun, saturated fills and black casings.
const ModeColours kColours[] = {
    {kLand, Rgb(242, 239, 233), Rgb(36, 40, 50), Rgb(255, 255, 255)},
    {kWater, Rgb(165, 205, 238), Rgb(26, 50, 82), Rgb(110, 175, 245)},
    {kPark, Rgb(196, 228, 176), Rgb(32, 62, 44), Rgb(140, 215, 110)},
    {kBlock, Rgb(230, 224, 214), Rgb(48, 52, 62), Rgb(225, 225, 225)},
    {kRoof, Rgb(214, 204, 194), Rgb(72, 74, 88), Rgb(195, 190, 185)},
    {kWall, Rgb(186, 172, 160), Rgb(56, 58, 72), Rgb(140, 135, 130)},
    {kBuildingEdge, Rgb(160, 146, 136), Rgb(96, 100, 118), Rgb(40, 40, 40)},
    {kExpressway, Rgb(250, 158, 60), Rgb(214, 128, 44), Rgb(255, 120, 0)},
    {kExpresswayEdge, Rgb(186, 98, 30), Rgb(96, 56, 22), Rgb(90, 30, 0)},
    {kMajor, Rgb(255, 218, 110), Rgb(182, 160, 80), Rgb(255, 210, 0)},
    {kMajorEdge, Rgb(196, 156, 66), Rgb(88, 78, 42), Rgb(80, 60, 0)},
    {kStreet, Rgb(255, 255, 255), Rgb(118, 124, 140), Rgb(255, 255, 255)},
    {kStreetEdge, Rgb(188, 182, 172), Rgb(58, 62, 74), Rgb(0, 0, 0)},
    {kSmallStreet, Rgb(252, 252, 252), Rgb(94, 100, 114), Rgb(235, 235, 235)},
    {kRail, Rgb(112, 112, 112), Rgb(150, 150, 162), Rgb(0, 0, 0)},
    {kRailDash, Rgb(255, 255, 255), Rgb(40, 44, 54), Rgb(255, 255, 255)},
    {kRiver, Rgb(118, 168, 220), Rgb(52, 92, 140), Rgb(50, 110, 220)},
    {kBoundary, Rgb(168, 118, 168), Rgb(140, 110, 150), Rgb(140, 0, 140)},
    {kText, Rgb(40, 40, 40), Rgb(232, 232, 232), Rgb(0, 0, 0)},
    {kHalo, Rgb(255, 255, 255), Rgb(20, 22, 30), Rgb(255, 255, 255)},
    {kElevation1, Rgb(236, 232, 220), Rgb(40, 44, 54), Rgb(246, 246, 236)},
    {kElevation2, Rgb(226, 219, 203), Rgb(45, 49, 59), Rgb(236, 236, 220)},
    {kElevation3, Rgb(214, 205, 186), Rgb(50, 54, 64), Rgb(226, 226, 204)},
    {kParkingArea, Rgb(224, 224, 236), Rgb(54, 58, 76), Rgb(215, 215, 245)},
    {kSchoolGround, Rgb(240, 224, 198), Rgb(66, 60, 50), Rgb(250, 225, 180)},
    {kApartment, Rgb(236, 214, 214), Rgb(70, 54, 60), Rgb(245, 200, 200)},
    {kCrosswalk, Rgb(255, 255, 255), Rgb(196, 196, 196), Rgb(255, 255, 255)},
    {kMarking, Rgb(255, 200, 0), Rgb(200, 160, 0), Rgb(255, 190, 0)},
    {kTunnel, Rgb(150, 150, 150), Rgb(84, 84, 96), Rgb(90, 90, 90)},
    {kFerry, Rgb(80, 120, 200), Rgb(84, 116, 176), Rgb(0, 60, 200)},
    {kAreaEdge, Rgb(200, 194, 184), Rgb(62, 66, 78), Rgb(60, 60, 60)},
};

std::vector<std::vector<uint32_t>> Palettes() {
    std::vector<std::vector<uint32_t>> p(kColourModes, std::vector<uint32_t>(kColourCount, 0));
    for (const ModeColours& c : kColours) {
        p[0][c.slot] = c.day;
        p[1][c.slot] = c.night;
        p[2][c.slot] = c.contrast;
    }
    // Pattern brush numbers: the hatch and the dots (the second half of the
    // brushes holds their alternate-style forms).
    for (auto& palette : p) {
        palette[kPatternHatchIndex] = 0;
        palette[kPatternDotsIndex] = 1;
    }
    return p;
}

// ---- Draw styles and colour references ----------------------------------------------

enum DrawStyleIndex : uint16_t {
    kPenOutline,
    kPenExpresswayEdge,
    kPenExpressway,
    kPenMajorEdge,
    kPenMajor,
    kPenStreetEdge,
    kPenStreet,
    kPenSmallStreet,
    kPenRail,
    kPenRiver,
    kPenBoundary,
    kPenBuilding,
    kPenArea,
    kPenTunnel,
    kPenFerry,
    kPenExpresswayEdgeThin,
    kPenExpresswayThin,
    kPenMajorThin,
    kPenStreetThin,
    kPenCrosswalk,
};

std::vector<stylewriter::DrawStyle> DrawStyles() {
    return {
        {0, 1, kStreetEdge, 0},     {0, 11, kExpresswayEdge, 0}, {0, 8, kExpressway, 0}, {0, 9, kMajorEdge, 0},
        {0, 6, kMajor, 0},          {0, 7, kStreetEdge, 0},      {0, 5, kStreet, 0},     {0, 3, kSmallStreet, 0},
        {1, 3, kRail, kRailDash},   {0, 2, kRiver, 0},           {1, 1, kBoundary, kLand}, {0, 1, kBuildingEdge, 0},
        {0, 1, kAreaEdge, 0},       {1, 4, kTunnel, kLand},      {1, 2, kFerry, kWater}, {0, 6, kExpresswayEdge, 0},
        {0, 4, kExpressway, 0},     {0, 3, kMajor, 0},           {0, 1, kStreetEdge, 0}, {0, 1, kCrosswalk, 0},
    };
}

enum ColourRefIndex : uint16_t {
    kBrushLand,
    kBrushWater,
    kBrushPark,
    kBrushBlock,
    kBrushRoof,
    kBrushWall,
    kBrushElevation1,
    kBrushElevation2,
    kBrushElevation3,
    kBrushParking,
    kBrushSchool,
    kBrushApartment,
    kBrushCrosswalk,
    kBrushCemetery,   // pattern
    kBrushMilitary,   // pattern
    kBrushRiverBank,
};

std::vector<stylewriter::ColourRef> ColourRefs() {
    return {
        {0, kLand},         {0, kWater},        {0, kPark},         {0, kBlock},           {0, kRoof},
        {0, kWall},         {0, kElevation1},   {0, kElevation2},   {0, kElevation3},      {0, kParkingArea},
        {0, kSchoolGround}, {0, kApartment},    {0, kCrosswalk},    {kColourRefPatternKind, 3},
        {kColourRefPatternKind, 5},             {0, kWater},
    };
}

// ---- Class tables ------------------------------------------------------------------

RangedClass Line(uint8_t minLevel, std::vector<RangedItem> items) {
    RangedClass c;
    c.minLevel = minLevel;
    c.minLevelApplies = 1;
    c.items = std::move(items);
    return c;
}

std::vector<RangedClass> LineClasses() {
    std::vector<RangedClass> c(kLineClassCount);
    // Thin forms while zoomed out, full widths from style level 9.
    c[kLineExpresswayCasing] = Line(1, {{1, 8, kPenExpresswayEdgeThin, kPenExpresswayEdgeThin},
                                        {9, 14, kPenExpresswayEdge, kPenExpresswayEdge}});
    c[kLineExpressway] =
        Line(1, {{1, 8, kPenExpresswayThin, kPenExpresswayThin}, {9, 14, kPenExpressway, kPenExpressway}});
    c[kLineMajorCasing] = Line(4, {{4, 14, kPenMajorEdge, kPenMajorEdge}});
    c[kLineMajorRoad] = Line(4, {{4, 8, kPenMajorThin, kPenMajorThin}, {9, 14, kPenMajor, kPenMajor}});
    c[kLineStreetCasing] = Line(8, {{8, 14, kPenStreetEdge, kPenStreetEdge}});
    c[kLineStreet] = Line(8, {{8, 10, kPenStreetThin, kPenStreetThin}, {11, 14, kPenStreet, kPenStreet}});
    c[kLineSmallStreet] = Line(11, {{11, 14, kPenSmallStreet, kPenSmallStreet}});
    c[kLineRailway] = Line(6, {{6, 14, kPenRail, kPenRail}});
    c[kLineRiver] = Line(5, {{5, 14, kPenRiver, kPenRiver}});
    c[kLineBoundary] = Line(1, {{1, 14, kPenBoundary, kPenBoundary}});
    c[kLineTunnel] = Line(9, {{9, 14, kPenTunnel, kPenTunnel}});
    c[kLineFerry] = Line(6, {{6, 14, kPenFerry, kPenFerry}});
    return c;
}

// One kind-1 item for the whole range, the same in both style halves.
ClassStyle Area(uint8_t minLevel, uint16_t pen, uint16_t brush, uint16_t kindCode, uint8_t category = 0) {
    ClassStyle c;
    c.classWord = 1;
    c.valueA = kindCode;
    c.valueB = static_cast<uint16_t>(1 | category << 8);   // shown in the route view
    ClassItem it;
    it.kind = 1;
    it.lowLevel = minLevel;
    it.highLevel = 14;
    it.mark = 1;
    it.normal = {pen, brush, pen, 0, 0, 0};
    it.alternate = it.normal;
    c.items.push_back(it);
    return c;
}

std::vector<ClassStyle> AreaClasses() {
    std::vector<ClassStyle> c(kAreaClassCount);
    c[kAreaWater] = Area(1, 0, kBrushWater, 10);
    c[kAreaPark] = Area(5, 0, kBrushPark, 11);
    c[kAreaBlock] = Area(10, kPenArea, kBrushBlock, 12);
    // Buildings: heights from the records (category 1), walls with rows of
    // windows (kind-2 value 1).
    c[kAreaBuilding] = Area(11, kPenBuilding, kBrushRoof, 13, 1);
    c[kAreaBuilding].value8 = 1;
    // Buildings: pen, roof and wall through the second set of words.
    for (ClassItem& it : c[kAreaBuilding].items) {
        it.normal[3] = kPenBuilding;
        it.normal[4] = kBrushRoof;
        it.normal[5] = kBrushWall;
        it.alternate = it.normal;
    }
    c[kAreaElevationLow] = Area(3, 0, kBrushElevation1, 1);
    c[kAreaElevationMid] = Area(3, 0, kBrushElevation2, 1);
    c[kAreaElevationHigh] = Area(3, 0, kBrushElevation3, 1);
    c[kAreaParking] = Area(11, kPenArea, kBrushParking, 14);
    c[kAreaSchool] = Area(10, kPenArea, kBrushSchool, 15);
    c[kAreaApartment] = Area(9, kPenArea, kBrushApartment, 16);
    c[kAreaCrosswalk] = Area(12, kPenCrosswalk, kBrushCrosswalk, 17);
    c[kAreaCemetery] = Area(9, kPenArea, kBrushCemetery, 18);
    c[kAreaMilitary] = Area(9, kPenArea, kBrushMilitary, 19);
    c[kAreaRiverBank] = Area(4, 0, kBrushRiverBank, 20);
    c[kAreaOutlinedBlock] = Area(10, kPenArea, kBrushBlock, 21);
    return c;
}

std::vector<SymbolClass> PoiClasses() {
    std::vector<SymbolClass> c(kPoiClassCount);
    for (uint16_t i = 0; i < kPoiClassCount; ++i) {
        SymbolClass& s = c[i];
        s.classWord = 1;
        s.attribute = 1u << i;   // the POI category bit
        SymbolClassItem near;    // the pictogram from style level 8
        near.variant = 1;
        near.lowLevel = 8;
        near.highLevel = 14;
        near.attribute = 1;      // visible
        near.symbol = static_cast<uint16_t>(kFirstPoiSymbol + i);
        near.value = static_cast<uint16_t>(100 + i);   // the POI category code
        near.kind = 2;           // symbol and name
        near.byte9 = 2;          // the name under the symbol
        near.byte10 = i == kPoiSubway ? kTextFramed : kTextPoi;
        s.data = {1, 1};         // shown by the passes of masks 0x20 and 0x100
        SymbolClassItem far = near;   // the standard dot further out
        far.lowLevel = 5;
        far.highLevel = 7;
        far.kind = 4;
        if (i == kPoiSubway) {   // near: a framed name above the station, pointing at it
            near.kind = 1;
            near.byte9 = 13;
        }
        s.items = {near, far};
    }
    // Lot numbers: the number alone, centred on the lot, tested like names.
    SymbolClass lot;
    lot.classWord = 1;
    lot.data10 = 1;   // visibility 1: placed whatever lies beneath
    lot.attribute = 1u << kPoiLotNumber;
    SymbolClassItem item;
    item.variant = 1;
    item.lowLevel = 13;
    item.highLevel = 14;
    item.attribute = 1;
    item.kind = 1;    // text only
    item.byte9 = 3;   // centred on the point
    item.byte10 = kTextLotNumber;
    lot.items = {item};
    c.push_back(lot);
    return c;
}

// ---- Symbol images ---------------------------------------------------------------------

// An RGBA drawing surface (straight alpha), turned into a keyed RGB565
// image: pixels at least half covered keep their colour, the rest become
// magenta. Symbols draw a light rim around their shape so the cut edge
// stays clean on any map colour.
class Canvas {
public:
    Canvas(int w, int h) : m_w(w), m_h(h), m_pixels(static_cast<size_t>(w * h * 4), 0) {
        m_rbuf.attach(m_pixels.data(), static_cast<unsigned>(w), static_cast<unsigned>(h), w * 4);
    }

    template <typename Path>
    void Fill(Path& path, uint32_t colour) {
        agg::pixfmt_rgba32 pixf(m_rbuf);
        agg::renderer_base<agg::pixfmt_rgba32> base(pixf);
        agg::rasterizer_scanline_aa<> ras;
        agg::scanline_u8 sl;
        ras.add_path(path);
        agg::render_scanlines_aa_solid(ras, sl, base, Colour(colour));
    }
    template <typename Path>
    void Stroke(Path& path, double width, uint32_t colour) {
        agg::conv_stroke<Path> stroke(path);
        stroke.width(width);
        stroke.line_cap(agg::round_cap);
        stroke.line_join(agg::round_join);
        Fill(stroke, colour);
    }
    void Circle(double x, double y, double r, uint32_t colour) {
        agg::ellipse e(x, y, r, r, 48);
        agg::path_storage p = Collect(e);
        Fill(p, colour);
    }
    void Ring(double x, double y, double r, double width, uint32_t colour) {
        agg::ellipse e(x, y, r, r, 48);
        agg::path_storage p = Collect(e);
        Stroke(p, width, colour);
    }
    void RoundRect(double x1, double y1, double x2, double y2, double r, uint32_t colour) {
        agg::rounded_rect rr(x1, y1, x2, y2, r);
        rr.normalize_radius();
        agg::path_storage p = Collect(rr);
        Fill(p, colour);
    }
    void Poly(std::initializer_list<std::pair<double, double>> pts, uint32_t colour) {
        agg::path_storage p = Path(pts);
        p.close_polygon();
        Fill(p, colour);
    }
    void Line(std::initializer_list<std::pair<double, double>> pts, double width, uint32_t colour) {
        agg::path_storage p = Path(pts);
        Stroke(p, width, colour);
    }
    // Centred text in the built-in stroke font.
    void Text(const std::string& text, double cx, double cy, double height, double weight, uint32_t colour) {
        agg::path_storage p = TextPath(text, cx, cy + height / 2, height, true);
        agg::conv_stroke<agg::path_storage> stroke(p);
        stroke.width(weight);
        stroke.line_cap(agg::round_cap);
        Fill(stroke, colour);
    }

    Image565 ToKeyed() const {
        Image565 out;
        out.width = m_w;
        out.height = m_h;
        out.stride = (m_w * 2 + 3) & ~3;
        out.bytes.assign(static_cast<size_t>(out.stride * m_h), 0);
        for (int y = 0; y < m_h; ++y) {
            uint8_t* row = out.bytes.data() + static_cast<size_t>((m_h - 1 - y) * out.stride);   // bottom-up
            for (int x = 0; x < m_w; ++x) {
                const uint8_t* p = m_pixels.data() + static_cast<size_t>((y * m_w + x) * 4);
                const uint16_t v = p[3] >= 128 ? Rgb565FromColor(Rgb(p[0], p[1], p[2])) : 0xF81F;
                row[2 * x] = static_cast<uint8_t>(v);
                row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
            }
        }
        return out;
    }

private:
    static agg::path_storage Path(std::initializer_list<std::pair<double, double>> pts) {
        agg::path_storage p;
        bool first = true;
        for (auto [x, y] : pts) {
            if (first) p.move_to(x, y);
            else p.line_to(x, y);
            first = false;
        }
        return p;
    }
    static agg::rgba8 Colour(uint32_t c) { return agg::rgba8(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF, 255); }

    int m_w, m_h;
    std::vector<uint8_t> m_pixels;
    agg::rendering_buffer m_rbuf;
};

// Map symbols are stored with attributes width, height, bytes per row, 16
// bits per pixel and their anchor (the centre, or the foot of a pin).
Image SymbolImage(const Canvas& canvas, uint16_t anchorX, uint16_t anchorY) {
    const Image565 im = canvas.ToKeyed();
    Image out;
    out.attr = {static_cast<uint16_t>(im.width), static_cast<uint16_t>(im.height), static_cast<uint16_t>(im.stride),
                16, anchorX, anchorY};
    out.data = im.bytes;
    return out;
}

constexpr uint32_t kWhite = Rgb(255, 255, 255);
constexpr uint32_t kInk = Rgb(30, 30, 30);

// A POI pictogram: a coloured disc with a white rim and a white figure.
Image PoiSymbol(int poi) {
    static const uint32_t kDisc[kPoiClassCount] = {
        Rgb(0, 120, 60),  Rgb(30, 90, 200),  Rgb(230, 110, 20), Rgb(140, 90, 50), Rgb(210, 30, 40),
        Rgb(40, 160, 80), Rgb(30, 70, 140),  Rgb(240, 140, 0),  Rgb(120, 70, 170), Rgb(20, 50, 120),
        Rgb(0, 140, 200), Rgb(60, 150, 60),  Rgb(160, 40, 120), Rgb(200, 60, 60)};
    Canvas c(24, 24);
    c.Circle(12, 12, 11.5, kWhite);
    c.Circle(12, 12, 10, kDisc[poi]);
    switch (poi) {
        case kPoiFuel:   // a pump
            c.RoundRect(7, 6, 14, 18, 1, kWhite);
            c.RoundRect(8.5, 7.5, 12.5, 10.5, 0.5, kDisc[poi]);
            c.Line({{14, 9}, {17, 11}, {17, 16}}, 1.5, kWhite);
            break;
        case kPoiParking: c.Text("P", 12, 12, 12, 2.4, kWhite); break;
        case kPoiRestaurant:   // fork and knife
            c.Line({{9, 6}, {9, 18}}, 1.6, kWhite);
            c.Line({{7, 6}, {7, 10}, {11, 10}, {11, 6}}, 1.2, kWhite);
            c.Line({{15, 18}, {15, 6}}, 1.6, kWhite);
            c.Poly({{15, 6}, {17.5, 8}, {17.5, 12}, {15, 12}}, kWhite);
            break;
        case kPoiCafe:   // a cup
            c.RoundRect(7, 9, 15, 17, 2, kWhite);
            c.Ring(16, 12, 2.2, 1.4, kWhite);
            c.Line({{9, 5}, {9, 7}}, 1, kWhite);
            c.Line({{12, 5}, {12, 7}}, 1, kWhite);
            break;
        case kPoiHospital:   // a cross
            c.RoundRect(10, 5, 14, 19, 0.5, kWhite);
            c.RoundRect(5, 10, 19, 14, 0.5, kWhite);
            break;
        case kPoiPharmacy:   // a capsule
            c.RoundRect(6, 9, 18, 15, 3, kWhite);
            c.RoundRect(12, 10.3, 16.8, 13.7, 1.7, kDisc[poi]);
            break;
        case kPoiBank:   // a columned front
            c.Poly({{5, 9}, {12, 5}, {19, 9}}, kWhite);
            for (double x : {7.0, 11.0, 15.0}) c.RoundRect(x, 10, x + 2, 16, 0.3, kWhite);
            c.RoundRect(5, 17, 19, 19, 0.3, kWhite);
            break;
        case kPoiConvenience:   // a basket
            c.Poly({{6, 10}, {18, 10}, {16, 17}, {8, 17}}, kWhite);
            c.Line({{9, 10}, {12, 6}, {15, 10}}, 1.2, kWhite);
            break;
        case kPoiSchool:   // a flag on a roof
            c.Poly({{6, 12}, {12, 8}, {18, 12}, {18, 18}, {6, 18}}, kWhite);
            c.Line({{12, 8}, {12, 4}}, 1, kWhite);
            c.Poly({{12, 4}, {16, 5}, {12, 6.5}}, kWhite);
            break;
        case kPoiPolice:   // a shield
            c.Poly({{12, 5}, {18, 7}, {17, 14}, {12, 19}, {7, 14}, {6, 7}}, kWhite);
            c.Circle(12, 11, 2.2, kDisc[poi]);
            break;
        case kPoiSubway:   // the front of a train
            c.RoundRect(7, 5, 17, 17, 2.5, kWhite);
            c.RoundRect(8.5, 7, 15.5, 11, 1, kDisc[poi]);
            c.Line({{9, 17}, {7, 20}}, 1.4, kWhite);
            c.Line({{15, 17}, {17, 20}}, 1.4, kWhite);
            break;
        case kPoiBusStop: c.Text("B", 12, 12, 12, 2.4, kWhite); break;
        case kPoiHotel:   // a bed
            c.RoundRect(5, 13, 19, 16, 0.5, kWhite);
            c.Circle(8, 11, 2, kWhite);
            c.RoundRect(11, 10, 19, 13, 1, kWhite);
            c.Line({{5, 8}, {5, 18}}, 1.4, kWhite);
            break;
        default:   // a star
            c.Poly({{12, 4.5}, {14.2, 9.6}, {19.5, 10}, {15.4, 13.5}, {16.8, 19}, {12, 16}, {7.2, 19},
                    {8.6, 13.5}, {4.5, 10}, {9.8, 9.6}},
                   kWhite);
            break;
    }
    return SymbolImage(c, 12, 12);
}

Image StandardDot(uint32_t colour) {
    Canvas c(10, 10);
    c.Circle(5, 5, 4.6, kWhite);
    c.Circle(5, 5, 3.2, colour);
    return SymbolImage(c, 5, 5);
}

// Section 14: guidance arrows (0-17), speed-limit signs (42-52, for 30 to
// 130 km/h), turn arrows (86, 88, 89, 91), the car marks (98, 99), the
// pointer of framed labels (100, BoxPointerSymbol) and a yellow warning
// diamond with its number for the rest.
Image GuidanceSymbol(int i) {
    Canvas c(28, 28);
    if (i <= 17) {
        const double a = i * 20.0 * 3.14159265358979 / 180.0;
        const double s = std::sin(a), co = std::cos(a);
        auto rot = [&](double x, double y) { return std::make_pair(14 + x * co - y * s, 14 + x * s + y * co); };
        c.Circle(14, 14, 13, kWhite);
        c.Circle(14, 14, 11.5, Rgb(20, 90, 200));
        c.Poly({rot(0, -9), rot(7, 0), rot(2.5, 0), rot(2.5, 8), rot(-2.5, 8), rot(-2.5, 0), rot(-7, 0)}, kWhite);
    } else if (i >= 42 && i <= 52) {
        c.Circle(14, 14, 13.5, kWhite);
        c.Ring(14, 14, 11.3, 3.4, Rgb(220, 20, 30));
        c.Text(std::to_string((i - 39) * 10), 14, 14, i >= 49 ? 8.5 : 10, 1.7, kInk);
    } else if (i == 86 || i == 88 || i == 89 || i == 91) {
        c.RoundRect(1, 1, 27, 27, 4, kWhite);
        c.RoundRect(2.5, 2.5, 25.5, 25.5, 3, Rgb(20, 90, 200));
        if (i == 86) {   // left
            c.Line({{18, 23}, {18, 12}, {8, 12}}, 3, kWhite);
            c.Poly({{4, 12}, {10, 7}, {10, 17}}, kWhite);
        } else if (i == 88) {   // right
            c.Line({{10, 23}, {10, 12}, {20, 12}}, 3, kWhite);
            c.Poly({{24, 12}, {18, 7}, {18, 17}}, kWhite);
        } else if (i == 89) {   // U-turn
            c.Line({{18, 23}, {18, 9}, {10, 9}, {10, 17}}, 3, kWhite);
            c.Poly({{10, 22}, {5, 16}, {15, 16}}, kWhite);
        } else {   // straight on
            c.Line({{14, 24}, {14, 10}}, 3, kWhite);
            c.Poly({{14, 4}, {20, 11}, {8, 11}}, kWhite);
        }
    } else if (i == 98 || i == 99) {
        const uint32_t body = i == 98 ? Rgb(20, 90, 220) : Rgb(255, 150, 30);
        c.Poly({{14, 1}, {26, 26}, {14, 20}, {2, 26}}, kWhite);
        c.Poly({{14, 4.5}, {23, 23.5}, {14, 18}, {5, 23.5}}, body);
    } else {
        c.Poly({{14, 0.5}, {27.5, 14}, {14, 27.5}, {0.5, 14}}, kInk);
        c.Poly({{14, 2.5}, {25.5, 14}, {14, 25.5}, {2.5, 14}}, Rgb(255, 205, 0));
        c.Text(std::to_string(i), 14, 14, 8, 1.5, kInk);
    }
    return SymbolImage(c, 14, 14);
}

// The pointer under framed labels (guidance symbol 100): a small wedge
// pointing down in the frame's colour, placed by its top-left corner.
Image BoxPointerSymbol() {
    Canvas c(10, 6);
    c.Poly({{0, 0}, {10, 0}, {5, 6}}, Rgb(168, 118, 168));
    return SymbolImage(c, 0, 0);
}

// Small lettered discs for the theme symbols (section 16) and the traffic
// and route marks (section 15).
Image LetterSymbol(const std::string& text, uint32_t disc, uint16_t anchorY = 11) {
    Canvas c(22, 22);
    c.Circle(11, 11, 10.5, kWhite);
    c.Circle(11, 11, 9, disc);
    c.Text(text, 11, 11, text.size() > 1 ? 7 : 10, 1.8, kWhite);
    return SymbolImage(c, 11, anchorY);
}

// Landmarks: a small picture of the place, anchored at its foot.
Image LandmarkPicture(int which) {
    Canvas c(40, 48);
    if (which == 0) {   // a tower on a hill
        c.Poly({{2, 47}, {20, 36}, {38, 47}}, Rgb(70, 140, 70));
        c.Poly({{18, 38}, {19, 10}, {21, 10}, {22, 38}}, Rgb(120, 120, 130));
        c.RoundRect(14, 12, 26, 18, 2, Rgb(90, 90, 110));
        c.Line({{20, 10}, {20, 1}}, 1.2, Rgb(200, 40, 40));
    } else if (which == 1) {   // a domed station
        c.RoundRect(3, 26, 37, 46, 1, Rgb(150, 80, 60));
        c.Circle(20, 26, 9, Rgb(60, 110, 90));
        for (double x : {7.0, 14.0, 23.0, 30.0}) c.RoundRect(x, 31, x + 3, 40, 0.5, kWhite);
        c.RoundRect(17, 34, 23, 46, 0.5, Rgb(60, 40, 30));
    } else if (which == 2) {   // a palace gate with a curved roof
        c.RoundRect(6, 28, 34, 46, 0.5, Rgb(170, 50, 40));
        c.Poly({{1, 28}, {7, 20}, {33, 20}, {39, 28}}, Rgb(60, 70, 70));
        c.Poly({{8, 20}, {12, 14}, {28, 14}, {32, 20}}, Rgb(70, 80, 80));
        c.RoundRect(16, 34, 24, 46, 3, Rgb(40, 30, 20));
    } else {   // a bridge
        c.RoundRect(0, 30, 40, 34, 0.5, Rgb(90, 90, 100));
        for (double x : {6.0, 18.0, 30.0}) c.RoundRect(x, 34, x + 4, 47, 0.5, Rgb(110, 110, 120));
        c.Line({{0, 30}, {10, 18}, {20, 30}, {30, 18}, {40, 30}}, 1.5, Rgb(200, 60, 40));
    }
    return SymbolImage(c, 20, 47);
}

// Pattern bitmaps (section 17): 8 x 8 packed bitmaps, 24 bits.
Image Pattern(bool dots, bool dark) {
    bmpwriter::BmpDesc d;
    d.width = d.height = 8;
    d.bitsPerPixel = 24;
    const uint32_t ground = dark ? Rgb(44, 48, 58) : Rgb(226, 224, 214);
    const uint32_t ink = dark ? Rgb(96, 104, 120) : Rgb(150, 146, 136);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool on = dots ? (x % 4 == 1 && y % 4 == 1) : ((x + y) % 4 == 0);
            d.pixels.push_back(on ? ink : ground);
        }
    Image out;
    out.attr = {8, 8, 24, 24, 0, 0};
    out.data = bmpwriter::BuildPackedDib(d);
    return out;
}

// The bird's-eye panorama (section 19, after the two chart bitmaps): a
// sky fading to the horizon over a ridge of hills, 720 x 40, whose ends
// meet so that it can turn with the view.
Image PanoramaBitmap() {
    bmpwriter::BmpDesc d;
    d.width = 720;
    d.height = 40;
    d.bitsPerPixel = 24;
    for (int y = 0; y < d.height; ++y) {
        for (int x = 0; x < d.width; ++x) {
            const double a = x * 2.0 * 3.14159265358979 / d.width;
            const double ridge = 22 + 7 * std::sin(3 * a) + 4 * std::sin(7 * a + 1.0) + 2 * std::sin(19 * a);
            const double t = static_cast<double>(y) / d.height;
            if (y > ridge) d.pixels.push_back(Rgb(96 + static_cast<int>(20 * std::sin(5 * a)), 130, 110));
            else d.pixels.push_back(Rgb(150 + static_cast<int>(70 * t), 190 + static_cast<int>(40 * t), 240));
        }
    }
    Image out;
    out.attr = {static_cast<uint16_t>(d.width), static_cast<uint16_t>(d.height), 0, 24, 0, 0};
    out.data = bmpwriter::BuildBmp(d);
    return out;
}

// Section 19: whole BMP files (a north arrow and a scale bar end).
Image Section19Bitmap(int which) {
    bmpwriter::BmpDesc d;
    d.width = which == 0 ? 16 : 8;
    d.height = 16;
    d.bitsPerPixel = 24;
    for (int y = 0; y < d.height; ++y)
        for (int x = 0; x < d.width; ++x) {
            bool on;
            if (which == 0) on = std::abs(x - 8) * 2 <= y;   // a triangle pointing up
            else on = x >= 3 && x <= 4;
            d.pixels.push_back(on ? Rgb(200, 30, 30) : Rgb(255, 0, 255));
        }
    Image out;
    out.attr = {static_cast<uint16_t>(d.width), static_cast<uint16_t>(d.height), 0, 24, 0, 0};
    out.data = bmpwriter::BuildBmp(d);
    return out;
}

std::string Cp949(const char* utf8) {
    std::string out;
    platform::Utf16ToCp949(platform::Utf8ToUtf16(utf8), out);
    return out;
}

}  // namespace

stylewriter::StyleDesc BuildDemoStyle() {
    stylewriter::StyleDesc d;
    d.palettes = Palettes();
    d.drawStyles = DrawStyles();
    d.colourRefs = ColourRefs();
    d.fontNames = {{30, 4, "label"}, {30, 7, "label bold"}, {24, 4, "small"}, {18, 4, "tiny"}};
    // Landmark styles: 0 stays unused (a landmark's style index must not be
    // 0). Text colour for draw types 1, 2, 0 at 10, 12, 14; the alternate
    // triple at 20, 22, 24; opacity at 2; extra colours at 16, 18 / 26, 28.
    for (int i = 0; i < 4; ++i) {
        stylewriter::LandmarkStyle s{};
        s[0] = static_cast<uint16_t>(i | (i + 1) << 8);
        s[1] = 10;                                      // opacity (tenths)
        s[2] = kFontLabel, s[3] = kFontLabelBold, s[4] = kFontSmall;   // fields at 4, 6, 8
        s[5] = kText, s[6] = kText, s[7] = kText;       // 10, 12, 14
        s[8] = kHalo, s[9] = kBoundary;                 // 16, 18
        s[10] = kText, s[11] = kText, s[12] = kText;    // 20, 22, 24
        s[13] = kHalo, s[14] = kBoundary;               // 26, 28
        d.landmarkStyles.push_back(s);
    }
    // Text classes of the labels from 4 on (render/map_symbols.h): byte 0
    // box kind, byte 1 border; fonts of size classes 0-2 at 4, 6, 8; box,
    // border, text, outline and second outline colours at 10-18 (alternate
    // at 20-28).
    while (d.landmarkStyles.size() <= kTextMarker) {
        const size_t index = d.landmarkStyles.size();
        const bool framed = index == kTextFramed, marker = index == kTextMarker, lot = index == kTextLotNumber;
        stylewriter::LandmarkStyle s{};
        s[0] = static_cast<uint16_t>(framed ? 13 | 1 << 8 : marker ? 1 | 1 << 8 : 0);
        s[1] = framed ? 9 : 8;   // box opacity (tenths)
        s[2] = lot ? kFontTiny : kFontSmall, s[3] = kFontTiny, s[4] = kFontSmall;
        s[5] = framed ? kRiver : kHalo, s[6] = kBoundary, s[7] = framed ? kHalo : lot ? kBoundary : kText;
        s[8] = framed ? kRiver : kHalo, s[9] = framed ? kRiver : kHalo;
        s[10] = s[5], s[11] = s[6], s[12] = s[7], s[13] = s[8], s[14] = s[9];
        d.landmarkStyles.push_back(s);
    }
    d.rangedClasses = LineClasses();
    d.classStyles = AreaClasses();
    d.symbolClasses = PoiClasses();
    d.modeTable = {{kBrushLand, kBrushLand, kBrushWater}, {kBrushLand, kBrushLand, kBrushWater},
                   {kBrushLand, kBrushLand, kBrushWater}};
    d.level1.assign(std::begin(kLevelScales), std::end(kLevelScales));
    d.level2.assign(std::rbegin(kLevelScales), std::rend(kLevelScales));
    d.level3 = {100, 500, 2500, 10000};

    // Section 13: unused slot, the two standard dots, the POI pictograms.
    d.section13.push_back(StandardDot(Rgb(128, 128, 128)));
    d.section13.push_back(StandardDot(Rgb(220, 60, 40)));
    d.section13.push_back(StandardDot(Rgb(40, 90, 200)));
    for (int i = 0; i < kPoiClassCount; ++i) d.section13.push_back(PoiSymbol(i));
    for (int i = 0; i < kSection14Count; ++i) d.section14.push_back(i == 100 ? BoxPointerSymbol() : GuidanceSymbol(i));
    // Symbol map 14: the plain entries name their own symbol; the second
    // run (4 entries) names the turn arrows, the third (18) the guidance
    // arrows.
    for (int i = 0; i < kSection14Count; ++i) d.map14.push_back(static_cast<uint16_t>(i));
    d.map14RunStart = kSection14Count;
    d.map14RunCount = 4;
    for (uint16_t t : {86, 88, 89, 91}) d.map14.push_back(t);
    for (uint16_t i = 0; i < 18; ++i) d.map14.push_back(i);
    // Theme symbols (section 16) through map 16; entry 8 names none.
    const char* themes[] = {"T", "M", "S", "F", "G", "K", "W", "H"};
    for (int i = 0; i < 8; ++i) {
        d.section16.push_back(LetterSymbol(themes[i], Rgb(110, 60, 160)));
        d.map16.push_back(static_cast<uint16_t>(i));
    }
    d.map16.push_back(kSymbolMapNone);
    // Section 15: traffic incidents (first group), route flags (second).
    const std::pair<const char*, uint32_t> incidents[] = {
        {"!", Rgb(220, 30, 30)}, {"W", Rgb(240, 140, 0)}, {"X", Rgb(120, 0, 0)}, {"J", Rgb(200, 60, 60)}};
    for (auto [t, col] : incidents) d.section15First.push_back(LetterSymbol(t, col));
    const std::pair<const char*, uint32_t> flags[] = {
        {"S", Rgb(20, 150, 60)}, {"G", Rgb(220, 30, 30)}, {"1", Rgb(30, 90, 200)}, {"2", Rgb(30, 90, 200)}};
    for (auto [t, col] : flags) d.section15Second.push_back(LetterSymbol(t, col, 21));
    d.section17 = {Pattern(false, false), Pattern(true, false), Pattern(false, true), Pattern(true, true)};
    d.section19 = {Section19Bitmap(0), Section19Bitmap(1), PanoramaBitmap()};
    for (int i = 0; i < 3; ++i) {
        Image im = LandmarkPicture(i);
        char key[16];
        std::snprintf(key, sizeof key, "%08x", kKeyedSymbolIds[i]);
        im.key = key;
        d.section18.push_back(std::move(im));
    }
    return d;
}

stylewriter::LandmarkDesc BuildDemoLandmarks() {
    stylewriter::LandmarkDesc d;
    const char* names[] = {"남산서울타워", "서울역", "경복궁"};
    // Where each stands in the demo district (longitude, latitude): in the
    // open north of the district and east of the cafe, clear of the POIs.
    const double where[3][2] = {{127.0212, 37.5203}, {127.0323, 37.5130}, {127.0159, 37.5190}};
    for (int i = 0; i < 3; ++i) {
        stylewriter::Landmark l;
        l.data = {0x00, 0x00, 0x00, 0x01};   // kind word 0x01000000
        // Map point at 4 and 8, shown from style level 8 to 12 (bytes 12, 13).
        const auto x = static_cast<uint32_t>(std::lround(where[i][0] * kMapUnitsPerDegree));
        const auto y = static_cast<uint32_t>(std::lround(where[i][1] * kMapUnitsPerDegree));
        for (int b = 0; b < 4; ++b) {
            l.data[static_cast<size_t>(4 + b)] = static_cast<uint8_t>(x >> (8 * b));
            l.data[static_cast<size_t>(8 + b)] = static_cast<uint8_t>(y >> (8 * b));
        }
        l.data[12] = 8;
        l.data[13] = 12;
        l.image = static_cast<uint16_t>(i);
        l.style = static_cast<uint16_t>(i + 1);
        l.name = Cp949(names[i]);
        d.named.push_back(l);
        d.images.push_back(LandmarkPicture(i));
    }
    stylewriter::Landmark bridge;
    bridge.data = {0x00, 0x00, 0x00, 0x01};
    bridge.image = 3;   // the unnamed landmark's own image follows the extra ones
    bridge.style = 3;
    d.unnamed.push_back(bridge);
    d.images.push_back(LandmarkPicture(3));
    return d;
}

bool WriteDemoStyle(const std::string& root, std::string* error) {
    const std::string folder = root + "/Config";
    if (!platform::MakeDirectories(folder)) {
        if (error) *error = "cannot create " + folder;
        return false;
    }
    return platform::AtomicReplaceFile(folder + "/PeloxSymbol.cfg", stylewriter::BuildStyleFile(BuildDemoStyle()),
                                       error) &&
           platform::AtomicReplaceFile(folder + "/LandMarkImage.dat",
                                       stylewriter::BuildLandmarkFile(BuildDemoLandmarks()), error);
}

// ---- Swatch sheet ----------------------------------------------------------------------

namespace {

uint32_t Crc(const std::vector<uint8_t>& chunk) {
    return static_cast<uint32_t>(crc32(0, chunk.data(), static_cast<uInt>(chunk.size())));
}

void Chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    const uint32_t n = static_cast<uint32_t>(data.size());
    for (int s = 24; s >= 0; s -= 8) png.push_back(static_cast<uint8_t>(n >> s));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    const uint32_t crc = Crc(body);
    for (int s = 24; s >= 0; s -= 8) png.push_back(static_cast<uint8_t>(crc >> s));
}

// The swatch canvas: RGB, rows top-down.
class Sheet {
public:
    Sheet(int w, int h) : m_w(w), m_h(h), m_rgb(static_cast<size_t>(w * h * 3), 255) {
        m_rbuf.attach(m_rgb.data(), static_cast<unsigned>(w), static_cast<unsigned>(h), w * 3);
    }
    void Rect(int x1, int y1, int x2, int y2, uint32_t c) {
        agg::pixfmt_rgb24 pixf(m_rbuf);
        agg::renderer_base<agg::pixfmt_rgb24> base(pixf);
        base.copy_bar(x1, y1, x2 - 1, y2 - 1, agg::rgba8(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
    }
    void Text(const std::string& text, double x, double y, double height, uint32_t c) {
        agg::pixfmt_rgb24 pixf(m_rbuf);
        agg::renderer_base<agg::pixfmt_rgb24> base(pixf);
        agg::path_storage p = TextPath(text, x, y + height, height, false);
        agg::conv_stroke<agg::path_storage> stroke(p);
        stroke.width(1.1);
        agg::rasterizer_scanline_aa<> ras;
        agg::scanline_u8 sl;
        ras.add_path(stroke);
        agg::render_scanlines_aa_solid(ras, sl, base, agg::rgba8(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
    }
    // A horizontal road sample: casing, then fill, then dashes of a
    // two-colour style.
    void Road(int x1, int x2, int y, const StyleDrawStyle* casing, const StyleDrawStyle* fill) {
        if (casing) Rect(x1, y - casing->width / 2, x2, y - casing->width / 2 + casing->width, casing->colour);
        if (!fill) return;
        const int top = y - fill->width / 2;
        Rect(x1 + 2, top, x2 - 2, top + fill->width, fill->colour);
        if (fill->kind == 1)
            for (int x = x1 + 2; x + 10 <= x2 - 2; x += 20) Rect(x, top, x + 10, top + fill->width, fill->secondColour);
    }
    // A keyed RGB565 symbol image (rows bottom-up), magenta left out.
    void Blit(const MneBitmapDesc& image, int x, int y) {
        if (!image.bits || image.bitsPixel != 16) return;
        const auto* bytes = static_cast<const uint8_t*>(image.bits);
        for (int row = 0; row < image.height; ++row)
            for (int col = 0; col < image.width; ++col) {
                const uint8_t* p = bytes + static_cast<size_t>((image.height - 1 - row) * image.widthBytes + 2 * col);
                const uint16_t v = static_cast<uint16_t>(p[0] | p[1] << 8);
                if (v == 0xF81F) continue;
                const int px = x + col, py = y + row;
                if (px < 0 || py < 0 || px >= m_w || py >= m_h) continue;
                const uint32_t c = ColorFromRgb565(v);
                uint8_t* d = m_rgb.data() + static_cast<size_t>((py * m_w + px) * 3);
                d[0] = static_cast<uint8_t>(c);
                d[1] = static_cast<uint8_t>(c >> 8);
                d[2] = static_cast<uint8_t>(c >> 16);
            }
    }
    const std::vector<uint8_t>& Rgb() const { return m_rgb; }

private:
    int m_w, m_h;
    std::vector<uint8_t> m_rgb;
    agg::rendering_buffer m_rbuf;
};

}  // namespace

std::vector<uint8_t> EncodePngRgb(const uint8_t* rgb, int32_t width, int32_t height) {
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>((width * 3 + 1) * height));
    for (int32_t y = 0; y < height; ++y) {
        raw.push_back(0);   // filter: none
        raw.insert(raw.end(), rgb + static_cast<size_t>(y * width * 3), rgb + static_cast<size_t>((y + 1) * width * 3));
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) return {};
    packed.resize(packedSize);
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> ihdr;
    for (uint32_t v : {static_cast<uint32_t>(width), static_cast<uint32_t>(height)})
        for (int s = 24; s >= 0; s -= 8) ihdr.push_back(static_cast<uint8_t>(v >> s));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});   // 8 bits, RGB
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", packed);
    Chunk(png, "IEND", {});
    return png;
}

std::vector<uint8_t> BuildSwatchPng(std::string* error) {
    const std::vector<uint8_t> bytes = stylewriter::BuildStyleFile(BuildDemoStyle());
    constexpr int kPanelW = 300, kPanelH = 560;
    Sheet sheet(kPanelW * kColourModes, kPanelH);
    CConfigManager manager;
    for (int mode = 0; mode < kColourModes; ++mode) {
        const int code = manager.LoadConfigFromMemory(bytes.data(), bytes.size(), mode);
        if (code != kStyleLoadOk) {
            if (error) *error = "the demo style does not load: code " + std::to_string(code);
            return {};
        }
        manager.LoadMapColor(mode);   // as a mode switch does: pattern areas take their fixed colours
        NcConfigMap style(manager);
        style.SetScale(style.ScaleOfLevel(16));   // a close street view
        const int x0 = mode * kPanelW;
        const uint32_t ground = style.GetBackgroundColour(0);
        const uint32_t ink = manager.Palette()[kText];
        sheet.Rect(x0, 0, x0 + kPanelW, kPanelH, ground);
        sheet.Text(kModeNames[mode], x0 + 10, 8, 14, ink);

        // Areas: a tile of each class with its outline.
        int y = 36;
        const AreaClass areas[] = {kAreaWater,     kAreaPark,        kAreaBlock,       kAreaBuilding,
                                   kAreaParking,   kAreaSchool,      kAreaApartment,   kAreaElevationLow,
                                   kAreaElevationMid, kAreaElevationHigh, kAreaCemetery, kAreaMilitary};
        for (size_t i = 0; i < std::size(areas); ++i) {
            const int ax = x0 + 10 + static_cast<int>(i % 6) * 47, ay = y + static_cast<int>(i / 6) * 40;
            const StyleDrawStyle* pen = nullptr;
            const StyleColourRef* brush = nullptr;
            style.GetClassStyle(areas[i], &pen, &brush, 0, 1);
            if (pen) sheet.Rect(ax - 1, ay - 1, ax + 41, ay + 33, pen->colour);
            sheet.Rect(ax, ay, ax + 40, ay + 32, brush ? brush->colour : ground);
        }
        y += 92;

        // Roads, casing under fill, at the close view's widths.
        const std::pair<LineClass, LineClass> roads[] = {
            {kLineExpresswayCasing, kLineExpressway}, {kLineMajorCasing, kLineMajorRoad},
            {kLineStreetCasing, kLineStreet},         {kLineClassCount, kLineSmallStreet},
            {kLineClassCount, kLineRailway},          {kLineClassCount, kLineRiver},
            {kLineClassCount, kLineTunnel},           {kLineClassCount, kLineFerry},
            {kLineClassCount, kLineBoundary}};
        for (auto [casingClass, fillClass] : roads) {
            const StyleDrawStyle* casing = nullptr;
            const StyleDrawStyle* fill = nullptr;
            style.GetRangedStyle(casingClass, &casing);
            style.GetRangedStyle(fillClass, &fill);
            sheet.Road(x0 + 10, x0 + kPanelW - 10, y, casing, fill);
            y += 22;
        }
        y += 4;

        // POI pictograms, then guidance and sign symbols, then landmarks.
        for (int i = 0; i < kPoiClassCount; ++i) {
            StyleSymbol s;
            if (style.GetSymbolClassSymbol(i, &s)) sheet.Blit(s.image, x0 + 10 + (i % 7) * 40, y + (i / 7) * 32);
        }
        y += 70;
        const int signs[] = {42, 44, 46, 48, 50, 52, 86, 88, 89, 91, 98, 99, 3, 9, 64, 70};
        for (size_t i = 0; i < std::size(signs); ++i) {
            StyleSymbol s;
            if (style.GetMap14Symbol(signs[i], &s))
                sheet.Blit(s.image, x0 + 10 + static_cast<int>(i % 8) * 35, y + static_cast<int>(i / 8) * 34);
        }
        y += 72;
        for (int i = 0; i < 3; ++i) {
            StyleSymbol s;
            if (style.GetKeyedSymbol(kKeyedSymbolIds[i], 0, &s)) sheet.Blit(s.image, x0 + 10 + i * 50, y);
        }
        for (int i = 0; i < 4; ++i) {
            StyleSymbol s;
            if (style.GetGroupSymbol(i % 2, i / 2, &s)) sheet.Blit(s.image, x0 + 170 + (i % 2) * 30, y + (i / 2) * 28);
        }
    }
    return EncodePngRgb(sheet.Rgb().data(), kPanelW * kColourModes, kPanelH);
}

}  // namespace demostyle
