#pragma once
// Writes the map style file ("MNCF", Config\PeloxSymbol.cfg) and the
// landmark image file (Config\LandMarkImage.dat) from a readable
// description. Records are written in the byte layouts the loader
// (render/style_file.h) reads; every offset is worked out here.
//
// Style file layout: the 176-byte header, the font names, the item blocks
// of the symbol-class, class and ranged tables, then the header's own
// sections in the order the loader reads them (palettes, draw styles,
// colour references, font index, landmark styles, the three class-head
// tables, symbol maps 16 and 14, the mode colour table, level tables 1-3,
// the directories of symbol sections 13, 16, 14, 15 with 19 straight after
// it, 17 and 18) and the image bytes section by section. Every section ends
// where the next one begins, so a count one too large runs into the next
// section.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace stylewriter {

// Kind 1: two-colour (dashed) line style.
struct DrawStyle {
    uint8_t kind = 0;
    uint8_t width = 1;
    uint16_t colour = 0;   // palette index
    uint16_t second = 0;   // palette index (kind 1)
};

// Kind 6: pattern brush, colour is then the fixed pattern colour number.
struct ColourRef {
    uint8_t kind = 0;
    uint16_t colour = 0;
};

struct FontName {
    uint8_t size = 30;    // 30 = the face set's base height
    uint8_t weight = 4;   // hundreds
    std::string name;     // 8-bit text
};

// 30 bytes, as fifteen u16 fields (field k at byte 2k).
using LandmarkStyle = std::array<uint16_t, 15>;

struct RangedItem {
    uint8_t lowLevel = 1;
    uint8_t highLevel = 14;
    uint16_t normal = 0;      // draw style index
    uint16_t alternate = 0;   // draw style index in the alternate style
};
struct RangedClass {
    uint8_t minLevel = 0;
    uint8_t data = 0;
    uint8_t minLevelApplies = 0;
    std::vector<RangedItem> items;
};

// Words: draw style, colour reference, line-only draw style, draw style 2,
// colour reference 2, colour reference 3.
struct ClassItem {
    uint8_t kind = 1;
    uint8_t lowLevel = 1;
    uint8_t highLevel = 14;
    uint8_t mark = 0;
    std::array<uint16_t, 6> normal{};
    std::array<uint16_t, 6> alternate{};
};
struct ClassStyle {
    uint32_t classWord = 1;   // low byte must be non-zero
    uint16_t valueA = 0, valueB = 0;
    uint16_t value8 = 0;
    uint8_t value10 = 0, value11 = 0;
    std::array<uint8_t, 3> data{};
    std::vector<ClassItem> items;
};

struct SymbolClassItem {
    uint8_t variant = 1;
    uint8_t lowLevel = 1;
    uint8_t highLevel = 14;
    uint8_t attribute = 0;
    uint16_t symbol = 0;   // section-13 index
    uint16_t value = 0;
    uint8_t kind = 0;      // 4: the standard symbol
    uint8_t byte9 = 0, byte10 = 0;
};
struct SymbolClass {
    uint32_t classWord = 0;
    std::array<uint8_t, 2> data{};
    std::array<uint8_t, 3> marks{};
    uint8_t data10 = 0;
    uint32_t attribute = 0;
    uint32_t data20 = 0;
    std::vector<SymbolClassItem> items;
};

// An image record: attributes 0-5 (width, height, bytes per row, bits per
// pixel, anchor x, anchor y for map symbols) and the bytes; key for
// section 18.
struct Image {
    std::array<uint16_t, 6> attr{};
    std::vector<uint8_t> data;
    std::string key;   // 8 characters
};

struct StyleDesc {
    uint16_t formatA = 1;
    uint16_t formatB = 0;
    std::vector<std::vector<uint32_t>> palettes;   // one per colour mode, equal sizes
    std::vector<DrawStyle> drawStyles;
    std::vector<ColourRef> colourRefs;
    std::vector<FontName> fontNames;
    std::vector<LandmarkStyle> landmarkStyles;
    std::vector<RangedClass> rangedClasses;
    std::vector<ClassStyle> classStyles;
    std::vector<SymbolClass> symbolClasses;
    std::vector<uint16_t> map16;   // the u16 at 4 of each entry (0xFFFF none)
    std::vector<uint16_t> map14;
    uint16_t map14RunCount = 0;
    uint16_t map14RunStart = 0;
    std::vector<std::array<uint16_t, 3>> modeTable;   // colour reference indexes per mode
    std::vector<uint32_t> level1, level2, level3;
    std::vector<Image> section13, section14, section15First, section15Second, section16, section17, section18,
        section19;
};

// Where the writer put each part of a file: name, offset, size.
struct SectionSpan {
    std::string name;
    uint32_t offset = 0;
    uint32_t size = 0;
};

std::vector<uint8_t> BuildStyleFile(const StyleDesc& desc, std::vector<SectionSpan>* layout = nullptr);

// Landmark file: named landmarks, then unnamed ones, each naming one of the
// image records (the unnamed landmarks' own images come last).
struct Landmark {
    std::array<uint8_t, 24> data{};   // first u32: kind word (at least 0x1000000)
    uint16_t image = 0;               // image record index
    uint16_t style = 0;               // landmark style index
    std::string name;                 // named landmarks only
};
struct LandmarkDesc {
    std::vector<Landmark> named;
    std::vector<Landmark> unnamed;
    std::vector<Image> images;   // NI extra images, then one per unnamed landmark
};

std::vector<uint8_t> BuildLandmarkFile(const LandmarkDesc& desc, std::vector<SectionSpan>* layout = nullptr);

// The byte offset of a named span, or -1.
int64_t SpanOffset(const std::vector<SectionSpan>& layout, const std::string& name);

}  // namespace stylewriter
