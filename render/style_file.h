#pragma once
// The map style file "Config\PeloxSymbol.cfg" (header "MNCF") and the
// landmark images "Config\LandMarkImage.dat", and the manager that loads
// them at the start of the draw thread and answers the style lookups of the
// map style objects (render/config_map.h).
//
// The load expands the stored records into ready tables: every colour index
// is resolved to a 0x00BBGGRR colour of the chosen colour mode, class items
// sit in one block per class table, and symbol images are either copied into
// memory or, on demand, left in the file and fetched through a landmark
// cache when drawn. In-memory records are plain structs; "pointers" between
// them are indexes.
//
// Every offset and count the files give is checked before it is used: a
// section must lie inside the file and must not run into another section of
// the header, each class's items must follow on from the class before it,
// every palette index must name a colour of the palette and every landmark's
// image index an image record. A file that fails any check is refused with
// the load code of the step that found it (table below); nothing is read
// past the end of either file.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "render/dib_image.h"
#include "render/landmark_cache.h"

struct MgrSharedBlock;
class StyleSource;

// ---- File layout -------------------------------------------------------------

inline constexpr char kStyleFileMagic[4] = {'M', 'N', 'C', 'F'};
inline constexpr size_t kStyleHeaderSize = 176;
inline constexpr size_t kLandmarkHeaderSize = 32;
inline constexpr int kStyleMaxColourModes = 3;   // the header has room for three palettes

// Header offsets of the style file.
namespace stylefile {
inline constexpr size_t kMagic = 0, kFormatA = 4, kFormatB = 6, kModeCount = 12, kColoursPerPalette = 14,
                        kDrawStyleCount = 16, kColourRefCount = 18, kFontNameCount = 20,
                        kLandmarkStyleCount = 22, kRangedCount = 24, kClassCount = 26, kSymbolClassCount = 28,
                        kMap16Count = 30, kMap14Count = 32, kRun15And19Count = 34, kModeTableRows = 36,
                        kLevel1Count = 38, kLevel2Count = 40, kLevel3Count = 42, kSection13Count = 44,
                        kSection14Count = 46, kSection15FirstCount = 48, kSection15SecondCount = 50,
                        kMap14RunCount = 52, kMap14RunStart = 54, kSection16Count = 56, kSection17Count = 58,
                        kSection19Count = 60, kPaletteOffsets = 64, kDrawStyleOffset = 76,
                        kColourRefOffset = 80, kFontIndexOffset = 84, kLandmarkStyleOffset = 88,
                        kRangedOffset = 92, kClassOffset = 96, kSymbolClassOffset = 100, kMap16Offset = 104,
                        kMap14Offset = 108, kModeTableOffset = 116, kLevel1Offset = 120, kLevel2Offset = 124,
                        kLevel3Offset = 128, kSection13Offset = 132, kSection14Offset = 136,
                        kSection15Offset = 148, kSection16Offset = 156, kSection17Offset = 160,
                        kSection18Count = 168, kSection18Offset = 172;
// Stored record sizes.
inline constexpr size_t kDrawStyleSize = 6, kColourRefSize = 4, kFontIndexSize = 8, kLandmarkStyleSize = 30,
                        kRangedHeadSize = 8, kRangedItemSize = 8, kClassHeadSize = 20, kClassItemSize = 28,
                        kSymbolClassHeadSize = 24, kSymbolClassItemSize = 12, kSymbolMapSize = 8,
                        kModeTableRowSize = 6, kDirectorySize = 20, kKeyedDirectorySize = 28,
                        kLandmarkRecordSize = 32, kLandmarkImageRecordSize = 20;
// A font name is read in 128 bytes and kept to 63 characters; a landmark
// name in 256 bytes, kept to 31.
inline constexpr size_t kFontNameReadBytes = 128, kLandmarkNameReadBytes = 256;
}  // namespace stylefile

// Header offsets of the landmark file.
namespace landmarkfile {
inline constexpr size_t kNamedCount = 12, kExtraImageCount = 14, kUnnamedCount = 16, kRecordOffset = 20,
                        kImageRecordOffset = 24;
}  // namespace landmarkfile

// Symbol sections by the base their cache keys and GetSymbol use.
inline constexpr int kSymbolBase13 = 0, kSymbolBase14 = 2000, kSymbolBase16 = 3000, kSymbolBase18 = 4000,
                     kSymbolBase15 = 5000;

// ---- Load result codes ---------------------------------------------------------

inline constexpr int kStyleLoadOk = 100;
namespace styleload {
inline constexpr int kHeap = 0, kOpen = 1, kHeader = 2, kVersion = 3, kMode = 4, kPaletteSeek = 7,
                     kPaletteRead = 8, kDrawStyleSeek = 9, kDrawStyleScratch = 10, kDrawStyleRead = 11,
                     kDrawStyleIndex = 12, kColourRefSeek = 13, kColourRefScratch = 14, kColourRefRead = 15,
                     kColourRefIndex = 16, kFontIndexSeek = 17, kFontIndexScratch = 18, kFontIndexRead = 19,
                     kFontNameSeek = 21, kFontNameRead = 22, kLandmarkStyleSeek = 23, kLandmarkStyleRead = 25,
                     kRangedHeadSeek = 26, kRangedScratch = 27, kRangedHeadRead = 28, kRangedItemSeek = 30,
                     kRangedItemRead = 32, kClassHeadSeek = 33, kClassScratch = 34, kClassHeadRead = 35,
                     kClassItemSeek = 37, kClassItemRead = 39, kSymbolClassHeadSeek = 40,
                     kSymbolClassScratch = 41, kSymbolClassHeadRead = 42, kSymbolClassItemSeek = 44,
                     kSymbolClassItemRead = 46, kMap16Seek = 48, kMap16Read = 49, kMap14Seek = 50,
                     kMap14Read = 52, kModeTableSeek = 47, kModeTableScratch = 53, kModeTableRead = 54,
                     kLevelSeek = 56, kLevelRead = 57, kSection13 = 71, kSection16 = 73, kSection14 = 75,
                     kSection15 = 77, kSection19 = 79, kSection17 = 81, kSection18 = 83, kLandmarkIndex = 85,
                     kCacheHeap = 86, kLandmarkCacheOpen = 87, kSymbolCacheOpen = 88, kSymbolCacheAttach = 89;
}  // namespace styleload

// ---- In-memory records -----------------------------------------------------------

// A record kept as stored, read field by field (little-endian).
template <size_t N>
struct StyleRawRecord {
    uint8_t bytes[N] = {};
    uint8_t U8(size_t at) const { return at < N ? bytes[at] : 0; }
    uint16_t U16(size_t at) const { return at + 2 <= N ? static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8) : 0; }
    uint32_t U32(size_t at) const {
        return at + 4 <= N ? uint32_t{U16(at)} | uint32_t{U16(at + 2)} << 16 : 0;
    }
};

// Kind 1 is a two-colour style (drawn dashed by the line renderers).
struct StyleDrawStyle {
    uint8_t kind = 0;
    uint8_t width = 0;
    uint16_t colourIndex = 0;
    uint16_t secondIndex = 0;
    uint16_t unused = 0;
    uint32_t colour = 0;
    uint32_t secondColour = 0;   // palette[second index] for kind 1, else 0xFFFFFF
};
static_assert(sizeof(StyleDrawStyle) == 16);

// Kind 6 fills through a pattern brush; its colour is a fixed one by index.
inline constexpr uint8_t kColourRefPatternKind = 6;
struct StyleColourRef {
    uint8_t kind = 0;
    uint8_t unused = 0;
    uint16_t colourIndex = 0;
    uint32_t colour = 0;
};
static_assert(sizeof(StyleColourRef) == 8);

struct StyleFontName {
    uint8_t size = 0;     // 30 = the face set's base height
    uint8_t weight = 0;   // hundreds
    char name[64] = {};   // 8-bit text, NUL-terminated, at most 63 characters
};
static_assert(sizeof(StyleFontName) == 66);

// u16 at 10, 12, 14: first colour triple (draw types 1, 2, 0); at 20, 22,
// 24: second triple; at 4, 6, 8: the plain fields (types 1, 0, 2); at 16,
// 18 and 26, 28 two further colours (normal, alternate).
using StyleLandmarkStyle = StyleRawRecord<30>;

// A class head of the ranged, class and symbol-class tables: the stored
// head and the index of its first item in the table's item block (-1 when
// it has none).
struct StyleRangedClass {
    uint32_t word = 0;         // byte 0 lowest display level, byte 2 non-zero when it applies, byte 3 item count
    uint32_t itemOffset = 0;
    int32_t firstItem = -1;
    int ItemCount() const { return static_cast<int>(word >> 24); }
};
struct StyleRangedItem {
    uint8_t lowLevel = 0;
    uint8_t highLevel = 0;
    uint16_t unused = 0;
    uint16_t normalStyle = 0;
    uint16_t alternateStyle = 0;
};

struct StyleClassHead {
    StyleRawRecord<20> raw;   // u32 at 0 class word, u32 at 4 two values, u32 at 8, byte 12 item count
    int32_t firstItem = -1;
    int ItemCount() const { return raw.U8(12); }
};
// Kinds: 1 normal; 2, 3, 4 the view styles.
struct StyleClassItem {
    uint8_t kind = 0;
    uint8_t lowLevel = 0;
    uint8_t highLevel = 0;
    uint8_t mark = 0;
    // Each word: normal index in the low 16 bits, alternate in the high.
    enum Word { kDrawStyle, kColourRef, kLineStyle, kDrawStyle2, kColourRef2, kColourRef3 };
    uint32_t words[6] = {};
};

struct StyleSymbolClassHead {
    StyleRawRecord<24> raw;   // byte 6 item count, bytes 7-9 marks, u32 at 12 attribute
    int32_t firstItem = -1;
    int ItemCount() const { return raw.U8(6); }
};
// byte 0 variant, 1-2 level range, 3 attribute, u16 at 4 symbol index,
// u16 at 6 attribute, byte 8 symbol kind (4 = the standard symbol), 9, 10.
using StyleSymbolClassItem = StyleRawRecord<12>;
// u16 at 4: index of a symbol of section 16 (map 16) or 14 (map 14).
using StyleSymbolMapEntry = StyleRawRecord<8>;
inline constexpr uint16_t kSymbolMapNone = 0xFFFF;

// One symbol image: attributes 0-5 (width, height, bytes per row, bits per
// pixel, anchor x, anchor y for the map symbols), where its bytes are in the
// file, and its bytes in memory (null while they stay in the file).
struct StyleSymbolEntry {
    uint16_t attr[6] = {};
    uint32_t dataSize = 0;
    uint32_t dataOffset = 0;
    uint32_t reserved = 0;
    uint16_t valid = 0;
    const uint8_t* data = nullptr;
    char key[8] = {};   // section 18 only
};

// A landmark: its record, the image record it names and its name.
struct StyleLandmark {
    StyleRawRecord<32> record;   // u32 at 0 kind word, u16 at 24 image index, u16 at 26 style index
    StyleRawRecord<20> image;    // attributes 0-5, u32 at 12 size, u32 at 16 offset
    char name[32] = {};
};
static_assert(sizeof(StyleLandmark) == 84);

// A symbol section: its entries and the memory their bytes live in.
struct StyleSymbolSection {
    std::vector<StyleSymbolEntry> entries;
    std::vector<uint8_t> bytes;
    size_t Count() const { return entries.size(); }
    const StyleSymbolEntry* At(size_t i) const { return i < entries.size() ? &entries[i] : nullptr; }
};

// Fills an image description (type 0, width = attribute 0, height = 1,
// bytes per row = 2, planes = flag, bits per pixel = 3, the bytes) after
// checking that the rows the attributes describe lie inside the size bytes.
// 0 when they do not: such an image is not drawn.
int DescribeStyleImage(const uint16_t attr[6], const uint8_t* bytes, uint32_t size, uint16_t flag,
                       MneBitmapDesc* out);

// ---- Manager -----------------------------------------------------------------------

class CConfigManager {
public:
    CConfigManager();
    virtual ~CConfigManager();
    CConfigManager(const CConfigManager&) = delete;
    CConfigManager& operator=(const CConfigManager&) = delete;

    // The landmark file the next LoadConfig reads (native path, kept to 255
    // characters).
    void SetLandmarkPath(const std::string& nativePath);
    // Loads the style file for the 0-based colour mode. onDemand leaves the
    // images of sections 13-16 and 18 in the file. 100 or a load code.
    int LoadConfig(const std::string& nativePath, int mode, int onDemand);
    // Steps 1-15 of the load over bytes in memory, images in memory, no
    // landmark file (the parser on its own, for tools and fuzzing).
    int LoadConfigFromMemory(const uint8_t* data, size_t size, int mode);
    // Parses a landmark file held in memory into the landmark table; 1 or 0.
    int LoadLandmarkIndexFromMemory(const uint8_t* data, size_t size);
    // Switches the colour mode: 0, or -1 (nothing changed) for a mode out
    // of range.
    int LoadMapColor(int mode);
    // Frees every table, both caches and the heaps; clears both headers.
    void Unload();
    // Frees the tables of sections 17 and 19 once the pattern brushes and
    // bitmaps have been built; FreeLoaderHeap drops the loader's heap.
    void FreePatternData();
    void FreeLoaderHeap();

    bool IsLoaded() const { return m_loaded; }
    int OnDemand() const { return m_onDemand; }
    int CurrentMode() const { return m_mode; }
    uint16_t HeaderU16(size_t at) const;
    uint32_t HeaderU32(size_t at) const;
    int ModeCount() const { return HeaderU16(stylefile::kModeCount); }

    // Tables.
    const std::vector<uint32_t>& Palette() const { return m_palette; }
    const std::vector<StyleDrawStyle>& DrawStyles() const { return m_drawStyles; }
    const std::vector<StyleColourRef>& ColourRefs() const { return m_colourRefs; }
    const std::vector<StyleFontName>& FontNames() const { return m_fontNames; }
    const std::vector<StyleLandmarkStyle>& LandmarkStyles() const { return m_landmarkStyles; }
    const std::vector<StyleRangedClass>& RangedClasses() const { return m_rangedClasses; }
    const std::vector<StyleRangedItem>& RangedItems() const { return m_rangedItems; }
    const std::vector<StyleClassHead>& ClassHeads() const { return m_classHeads; }
    const std::vector<StyleClassItem>& ClassItems() const { return m_classItems; }
    const std::vector<StyleSymbolClassHead>& SymbolClassHeads() const { return m_symbolClassHeads; }
    const std::vector<StyleSymbolClassItem>& SymbolClassItems() const { return m_symbolClassItems; }
    const std::vector<StyleLandmark>& Landmarks() const { return m_landmarks; }
    // The kept row of the mode colour table (three colour reference indexes);
    // false when the file had none.
    bool ModeColourRow(uint16_t out[3]) const;
    const std::vector<uint32_t>& LevelTable(int table) const;   // 1..3
    const std::array<uint32_t, 20>& FixedColours() const { return m_fixedColours; }

    // Counts.
    int FontNameCount() const { return static_cast<int>(m_fontNames.size()); }
    int SymbolClassCount() const { return static_cast<int>(m_symbolClassHeads.size()); }
    int LandmarkCount() const { return static_cast<int>(m_landmarks.size()); }
    int UnnamedLandmarkCount() const { return m_unnamedLandmarks; }
    int Section19Count() const { return static_cast<int>(m_sections[kSec19].Count()); }
    int Section17Count() const { return static_cast<int>(m_sections[kSec17].Count()); }
    int SymbolMap16Count() const { return static_cast<int>(m_map16.size()); }

    // Entry getters: null for an index at or past the bound.
    const StyleSymbolEntry* Section15First(int index) const;
    const StyleSymbolEntry* Section15Second(int index) const;
    const StyleSymbolEntry* Section19(int index) const;
    const StyleSymbolEntry* Section17(int index) const;
    const StyleSymbolEntry* Section13(int index) const;
    const StyleSymbolEntry* Section14(int index) const;
    const StyleSymbolEntry* Section16(int index) const;

    // A symbol by section base (0: 13, 2000: 14, 3000: 16, 4000: 18, 5000:
    // 15): its attributes 1, 0, 4 and 5 and, with a descriptor, the image.
    // On demand the bytes come through the symbol cache and stay referenced
    // by `hold` until it goes (drop it after the blit). 0 for an unknown
    // base, an index past the section, or an image that cannot be had.
    int GetSymbol(int index, int base, int* a, int* b, int* c, int* d, MneBitmapDesc* descriptor,
                  StyleImageHold* hold) const;
    // Section 18 by id: with byPosition, 0 is the second-last entry and 1
    // the last; otherwise the id printed "%08x" against each key. -1 when
    // none.
    int FindKeyedSymbol(uint32_t id, int byPosition) const;
    const StyleSymbolEntry* KeyedSymbolEntry(uint32_t id, int byPosition) const;
    int GetKeyedSymbol(uint32_t id, int byPosition, int* a, int* b, int* c, int* d, MneBitmapDesc* descriptor,
                       StyleImageHold* hold) const;
    // Section 15 by group (1 = second group).
    int GetGroupSymbol(int index, int group, int* a, int* b, int* c, int* d, MneBitmapDesc* descriptor,
                       StyleImageHold* hold) const;

    // Symbol maps: the u16 at 4 of an entry (map 16: 0xFFFF out of range;
    // map 14: 0 out of range, bound the section-14 count), and the index in
    // section 16 / 14 it names (-1 for none or one past the section).
    uint16_t SymbolMap16Value(int index) const;
    uint16_t SymbolMap14Value(int index) const;
    int SymbolMap16Target(int index) const;
    int SymbolMap14Target(int index) const;
    // Map-14 indexes of the second run (index below word 52) and the third
    // run of 18 entries; -1 out of range.
    int SymbolMap14SecondRun(int index) const;
    int SymbolMap14ThirdRun(int index) const;

    // Landmark style records.
    uint32_t GetLandmarkColourA(int index, int type) const;
    uint32_t GetLandmarkColourB(int index, int type) const;
    uint16_t GetLandmarkField(int index, int type) const;
    static float OpacityFromByte(uint8_t b);
    // A landmark's image through the landmark cache (referenced by `hold`).
    int GetLandmarkImage(int index, MneBitmapDesc* descriptor, StyleImageHold* hold);
    // A landmark's image read straight from the file into the one slot; the
    // same landmark again is served from the slot.
    int ReadLandmarkImage(int index, MneBitmapDesc* descriptor);
    int HeldLandmarkIndex() const { return m_slotIndex; }

    CLandMarkCache& LandmarkCache() { return m_landmarkCache; }
    CLandMarkCache& SymbolCache() { return m_symbolCache; }

private:
    friend class StyleLoader;
    enum SectionSlot { kSec13, kSec14, kSec15, kSec16, kSec17, kSec18, kSec19, kSectionCount };

    int LoadStyle(StyleSource& source, int mode, int onDemand);
    int LoadLandmarkIndex(StyleSource& source);
    int SymbolFromSection(SectionSlot slot, int index, int base, int* a, int* b, int* c, int* d,
                          MneBitmapDesc* descriptor, StyleImageHold* hold) const;
    void ApplyPalette();
    void ReleaseCaches();
    void ClearTables();

    bool m_loaded = false;
    int m_onDemand = 0;
    int m_mode = 0;
    std::array<uint8_t, kStyleHeaderSize> m_header{};
    std::array<uint8_t, kLandmarkHeaderSize> m_landmarkHeader{};
    std::vector<std::vector<uint32_t>> m_palettes;
    std::vector<uint32_t> m_palette;
    std::vector<StyleDrawStyle> m_drawStyles;
    std::vector<StyleColourRef> m_colourRefs;
    std::vector<StyleFontName> m_fontNames;
    std::vector<StyleLandmarkStyle> m_landmarkStyles;
    std::vector<StyleRangedClass> m_rangedClasses;
    std::vector<StyleRangedItem> m_rangedItems;
    std::vector<StyleClassHead> m_classHeads;
    std::vector<StyleClassItem> m_classItems;
    std::vector<StyleSymbolClassHead> m_symbolClassHeads;
    std::vector<StyleSymbolClassItem> m_symbolClassItems;
    std::vector<StyleSymbolMapEntry> m_map16;
    std::vector<StyleSymbolMapEntry> m_map14;
    bool m_hasModeRow = false;
    uint16_t m_modeRow[3] = {};
    std::array<std::vector<uint32_t>, 3> m_levelTables;
    std::vector<StyleLandmark> m_landmarks;
    int m_unnamedLandmarks = 0;
    std::array<StyleSymbolSection, kSectionCount> m_sections;
    std::array<uint32_t, 20> m_fixedColours{};
    std::string m_landmarkPath;
    std::string m_stylePath;

    mutable CLandMarkCache m_landmarkCache;
    mutable CLandMarkCache m_symbolCache;
    MgrSharedBlock* m_loaderHeap = nullptr;
    MgrSharedBlock* m_landmarkHeap = nullptr;
    MgrSharedBlock* m_symbolHeap = nullptr;

    // The one-slot holder of the last landmark read straight from the file.
    std::vector<uint8_t> m_slotBytes;
    int m_slotIndex = -1;
};

// The program's one style manager.
CConfigManager& GetConfigManager();
