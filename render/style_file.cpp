#include "render/style_file.h"

#include <algorithm>
#include <cstdio>

#include "foundation/debug_trace.h"
#include "foundation/memory_heap.h"
#include "platform/byte_cursor.h"
#include "platform/file_io.h"

namespace {

using namespace stylefile;

constexpr uint32_t kHeapUnit = 1024;
constexpr size_t kLoaderHeapBytes = 0x80000;
constexpr size_t kLandmarkHeapBytes = 0x32000;
constexpr size_t kSymbolHeapBytes = 0x96000;

constexpr std::array<uint32_t, 20> kFixedColours = {0x9DA7CD, 0x6B748D, 0xA2CAC9, 0x6A8180, 0xC5C6C0,
                                                     0x8A7F75, 0xB1A490, 0x908471, 0x98BCD5, 0x799DB6,
                                                     0xCACABF, 0x949485, 0xBBCFD6, 0x859399, 0xB8B3A7,
                                                     0x868179, 0xB9BBB4, 0x757772, 0xB7AD9C, 0x857E71};

// The fixed colours of pattern colour references after a mode switch.
uint32_t PatternRefColour(uint16_t index) {
    switch (index) {
        case 3: return 0x89C08D;
        case 4: return 0x466246;
        case 5: return 0xAF9B5F;
        case 6: return 0x6D5B3D;
        default: return 0xFFFFFF;
    }
}

// Sub-results of one symbol section load.
constexpr int kSectionOk = 10, kSectionScratch = 1, kSectionSeek = 2, kSectionRead = 3, kSectionDataSeek = 5,
              kSectionDataRead = 6;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return uint32_t{Le16(p)} | uint32_t{Le16(p + 2)} << 16; }

// Copies a NUL-terminated name of at most maxChars characters out of the
// bytes read; false when no terminator lies among them.
bool CopyName(const std::vector<uint8_t>& bytes, char* out, size_t maxChars) {
    const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
    if (end == bytes.end()) return false;
    const size_t n = std::min(static_cast<size_t>(end - bytes.begin()), maxChars);
    std::memcpy(out, bytes.data(), n);
    out[n] = '\0';
    return true;
}

}  // namespace

// ---- Sources ---------------------------------------------------------------------

class StyleSource {
public:
    virtual ~StyleSource() = default;
    virtual uint64_t Size() const = 0;
    // Exactly n bytes at offset, or false.
    virtual bool ReadAt(uint64_t offset, void* out, size_t n) const = 0;

    // Up to n bytes at offset (fewer at the end of the data).
    bool ReadUpTo(uint64_t offset, size_t n, std::vector<uint8_t>& out) const {
        if (offset >= Size()) return false;
        out.resize(static_cast<size_t>(std::min<uint64_t>(n, Size() - offset)));
        return ReadAt(offset, out.data(), out.size());
    }
};

namespace {

class FileSource : public StyleSource {
public:
    bool Open(const std::string& path) {
        if (!m_file.Open(path, platform::File::Mode::kRead)) return false;
        m_size = m_file.Size();
        return m_size >= 0;
    }
    uint64_t Size() const override { return static_cast<uint64_t>(m_size); }
    bool ReadAt(uint64_t offset, void* out, size_t n) const override {
        return n == 0 || m_file.ReadExactAt(offset, out, n);
    }

private:
    platform::File m_file;
    int64_t m_size = -1;
};

class MemorySource : public StyleSource {
public:
    MemorySource(const uint8_t* data, size_t size) : m_data(data), m_size(data ? size : 0) {}
    uint64_t Size() const override { return m_size; }
    bool ReadAt(uint64_t offset, void* out, size_t n) const override {
        if (offset > m_size || n > m_size - offset) return false;
        if (n) std::memcpy(out, m_data + offset, n);
        return true;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
};

// A scratch block of the loader's heap, freed with the object.
class Scratch {
public:
    explicit Scratch(MgrSharedBlock* heap) : m_heap(heap) {}
    ~Scratch() { Free(); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    bool Alloc(size_t n) {
        Free();
        if (n == 0) return true;
        m_data = static_cast<uint8_t*>(m_heap ? SharedBlockAlloc(m_heap, n) : nullptr);
        m_size = m_data ? n : 0;
        return m_data != nullptr;
    }
    void Free() {
        if (m_data) SharedBlockFree(m_data);
        m_data = nullptr;
        m_size = 0;
    }
    const uint8_t* Data() const { return m_data; }
    uint8_t* Data() { return m_data; }
    size_t Size() const { return m_size; }

private:
    MgrSharedBlock* m_heap;
    uint8_t* m_data = nullptr;
    size_t m_size = 0;
};

}  // namespace

// ---- Loader ------------------------------------------------------------------------

// One load of the style file into a manager. Knows the spans of the
// sections the header names, so that a section whose count or offset runs it
// into another one is refused with its own code.
class StyleLoader {
public:
    StyleLoader(CConfigManager& m, StyleSource& src, MgrSharedBlock* heap) : m_m(m), m_src(src), m_heap(heap) {}

    int Run(int mode, int onDemand);

private:
    struct Span {
        uint64_t start;
        uint64_t size;
    };

    uint16_t H16(size_t at) const { return Le16(m_m.m_header.data() + at); }
    uint32_t H32(size_t at) const { return Le32(m_m.m_header.data() + at); }

    void AddSpan(uint64_t start, uint64_t size) {
        if (size) m_spans.push_back({start, size});
    }
    // True when [start, start + size) runs into a known span other than
    // itself.
    bool Overlaps(uint64_t start, uint64_t size) const {
        for (const Span& s : m_spans) {
            if (s.start == start && s.size == size) continue;
            if (start < s.start + s.size && s.start < start + size) return true;
        }
        return false;
    }
    // Seek, scratch and read of one section: 0 or the failing step's code.
    int Read(uint64_t offset, uint64_t size, Scratch& out, int seekCode, int scratchCode, int readCode) {
        out.Free();
        if (size == 0) return 0;
        if (offset > m_src.Size()) return seekCode;
        if (!out.Alloc(static_cast<size_t>(size))) return scratchCode;
        if (size > m_src.Size() - offset || Overlaps(offset, size)) return readCode;
        return m_src.ReadAt(offset, out.Data(), static_cast<size_t>(size)) ? 0 : readCode;
    }

    int CheckHeader();
    int LoadPalettes(int mode);
    int LoadDrawStyles();
    int LoadColourRefs();
    int LoadFontNames();
    int LoadLandmarkStyles();
    template <typename Head, typename Item>
    int LoadClassTable(size_t countAt, size_t offsetAt, size_t headSize, size_t itemSize, int firstCode,
                       std::vector<Head>& heads, std::vector<Item>& items);
    int LoadSymbolMaps();
    int LoadModeTable(int mode);
    int LoadLevels();
    int LoadSection(CConfigManager::SectionSlot slot, uint64_t dirOffset, size_t count, bool keyed, bool inMemory);

    CConfigManager& m_m;
    StyleSource& m_src;
    MgrSharedBlock* m_heap;
    std::vector<Span> m_spans;
};

int StyleLoader::CheckHeader() {
    const int modes = H16(kModeCount);
    const bool sane = std::memcmp(m_m.m_header.data(), kStyleFileMagic, 4) == 0 && modes >= 1 &&
                      modes <= kStyleMaxColourModes && H16(kColoursPerPalette) > 0 &&
                      H16(kRun15And19Count) ==
                          H16(kSection15FirstCount) + H16(kSection15SecondCount) + H16(kSection19Count);
    if (!sane) {
        DebugTrace(3, "Config 버전이 틀립니다.\n");
        return styleload::kVersion;
    }
    // The sections the header places, for the overlap test.
    AddSpan(0, kStyleHeaderSize);
    for (int i = 0; i < modes; ++i) AddSpan(H32(kPaletteOffsets + 4 * i), uint64_t{H16(kColoursPerPalette)} * 4);
    AddSpan(H32(kDrawStyleOffset), uint64_t{H16(kDrawStyleCount)} * kDrawStyleSize);
    AddSpan(H32(kColourRefOffset), uint64_t{H16(kColourRefCount)} * kColourRefSize);
    AddSpan(H32(kFontIndexOffset), uint64_t{H16(kFontNameCount)} * kFontIndexSize);
    AddSpan(H32(kLandmarkStyleOffset), uint64_t{H16(kLandmarkStyleCount)} * kLandmarkStyleSize);
    AddSpan(H32(kRangedOffset), uint64_t{H16(kRangedCount)} * kRangedHeadSize);
    AddSpan(H32(kClassOffset), uint64_t{H16(kClassCount)} * kClassHeadSize);
    AddSpan(H32(kSymbolClassOffset), uint64_t{H16(kSymbolClassCount)} * kSymbolClassHeadSize);
    AddSpan(H32(kMap16Offset), uint64_t{H16(kMap16Count)} * kSymbolMapSize);
    AddSpan(H32(kMap14Offset), uint64_t{H16(kMap14Count)} * kSymbolMapSize);
    AddSpan(H32(kModeTableOffset), uint64_t{H16(kModeTableRows)} * kModeTableRowSize);
    const uint64_t levelEnd = uint64_t{H32(kLevel3Offset)} + uint64_t{H16(kLevel3Count)} * 4;
    if (levelEnd > H32(kLevel1Offset)) AddSpan(H32(kLevel1Offset), levelEnd - H32(kLevel1Offset));
    AddSpan(H32(kSection13Offset), uint64_t{H16(kSection13Count)} * kDirectorySize);
    AddSpan(H32(kSection16Offset), uint64_t{H16(kSection16Count)} * kDirectorySize);
    AddSpan(H32(kSection14Offset), uint64_t{H16(kSection14Count)} * kDirectorySize);
    const uint64_t count15 = uint64_t{H16(kSection15FirstCount)} + H16(kSection15SecondCount);
    AddSpan(H32(kSection15Offset), count15 * kDirectorySize);
    AddSpan(H32(kSection15Offset) + count15 * kDirectorySize, uint64_t{H16(kSection19Count)} * kDirectorySize);
    AddSpan(H32(kSection17Offset), uint64_t{H16(kSection17Count)} * kDirectorySize);
    AddSpan(H32(kSection18Offset), uint64_t{H16(kSection18Count)} * kKeyedDirectorySize);
    return 0;
}

int StyleLoader::LoadPalettes(int mode) {
    const int modes = H16(kModeCount);
    const size_t colours = H16(kColoursPerPalette);
    Scratch scratch(m_heap);
    for (int i = 0; i < modes; ++i) {
        if (int code = Read(H32(kPaletteOffsets + 4 * i), colours * 4, scratch, styleload::kPaletteSeek, 6,
                            styleload::kPaletteRead))
            return code;
        std::vector<uint32_t> palette(colours);
        for (size_t c = 0; c < colours; ++c) palette[c] = Le32(scratch.Data() + 4 * c);
        m_m.m_palettes.push_back(std::move(palette));
    }
    m_m.m_palette = m_m.m_palettes[static_cast<size_t>(mode)];
    return 0;
}

int StyleLoader::LoadDrawStyles() {
    const size_t n = H16(kDrawStyleCount);
    Scratch scratch(m_heap);
    if (int code = Read(H32(kDrawStyleOffset), n * kDrawStyleSize, scratch, styleload::kDrawStyleSeek,
                        styleload::kDrawStyleScratch, styleload::kDrawStyleRead))
        return code;
    const size_t colours = m_m.m_palette.size();
    m_m.m_drawStyles.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* p = scratch.Data() + i * kDrawStyleSize;
        StyleDrawStyle& s = m_m.m_drawStyles[i];
        s.kind = p[0];
        s.width = p[1];
        s.colourIndex = Le16(p + 2);
        s.secondIndex = Le16(p + 4);
        // Every colour index must name a colour of the palettes.
        if (s.colourIndex >= colours || (s.kind == 1 && s.secondIndex >= colours))
            return styleload::kDrawStyleIndex;
    }
    return 0;
}

int StyleLoader::LoadColourRefs() {
    const size_t n = H16(kColourRefCount);
    Scratch scratch(m_heap);
    if (int code = Read(H32(kColourRefOffset), n * kColourRefSize, scratch, styleload::kColourRefSeek,
                        styleload::kColourRefScratch, styleload::kColourRefRead))
        return code;
    const size_t colours = m_m.m_palette.size();
    m_m.m_colourRefs.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* p = scratch.Data() + i * kColourRefSize;
        StyleColourRef& r = m_m.m_colourRefs[i];
        r.kind = p[0];
        r.colourIndex = Le16(p + 2);
        if (r.kind != kColourRefPatternKind && r.colourIndex >= colours) return styleload::kColourRefIndex;
    }
    return 0;
}

int StyleLoader::LoadFontNames() {
    const size_t n = H16(kFontNameCount);
    Scratch scratch(m_heap);
    if (int code = Read(H32(kFontIndexOffset), n * kFontIndexSize, scratch, styleload::kFontIndexSeek,
                        styleload::kFontIndexScratch, styleload::kFontIndexRead))
        return code;
    m_m.m_fontNames.resize(n);
    std::vector<uint8_t> text;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* p = scratch.Data() + i * kFontIndexSize;
        StyleFontName& f = m_m.m_fontNames[i];
        f.size = p[0];
        f.weight = p[1];
        const uint32_t at = Le32(p + 4);
        if (at >= m_src.Size()) return styleload::kFontNameSeek;
        // The name is read in 128 bytes, fewer where the file ends; it must
        // end within them.
        if (!m_src.ReadUpTo(at, kFontNameReadBytes, text) || !CopyName(text, f.name, sizeof f.name - 1))
            return styleload::kFontNameRead;
        // The text up to its terminator is the name's own; no later section
        // may run into it.
        AddSpan(at, static_cast<uint64_t>(std::find(text.begin(), text.end(), uint8_t{0}) - text.begin()) + 1);
    }
    return 0;
}

int StyleLoader::LoadLandmarkStyles() {
    const size_t n = H16(kLandmarkStyleCount);
    Scratch scratch(m_heap);
    if (int code = Read(H32(kLandmarkStyleOffset), n * kLandmarkStyleSize, scratch,
                        styleload::kLandmarkStyleSeek, 24, styleload::kLandmarkStyleRead))
        return code;
    m_m.m_landmarkStyles.resize(n);
    for (size_t i = 0; i < n; ++i)
        std::memcpy(m_m.m_landmarkStyles[i].bytes, scratch.Data() + i * kLandmarkStyleSize, kLandmarkStyleSize);
    return 0;
}

namespace {

void FillHead(StyleRangedClass& h, const uint8_t* p) {
    h.word = Le32(p);
    h.itemOffset = Le32(p + 4);
}
template <typename Head>
void FillHead(Head& h, const uint8_t* p) {
    std::memcpy(h.raw.bytes, p, sizeof h.raw.bytes);
}
uint32_t ItemOffsetOf(const StyleRangedClass& h) { return h.itemOffset; }
uint32_t ItemOffsetOf(const StyleClassHead& h) { return h.raw.U32(16); }
uint32_t ItemOffsetOf(const StyleSymbolClassHead& h) { return h.raw.U32(16); }

void FillItem(StyleRangedItem& it, const uint8_t* p) {
    it.lowLevel = p[0];
    it.highLevel = p[1];
    it.unused = Le16(p + 2);
    it.normalStyle = Le16(p + 4);
    it.alternateStyle = Le16(p + 6);
}
void FillItem(StyleClassItem& it, const uint8_t* p) {
    it.kind = p[0];
    it.lowLevel = p[1];
    it.highLevel = p[2];
    it.mark = p[3];
    for (int w = 0; w < 6; ++w) it.words[w] = Le32(p + 4 + 4 * w);
}
void FillItem(StyleSymbolClassItem& it, const uint8_t* p) { std::memcpy(it.bytes, p, sizeof it.bytes); }

}  // namespace

// Heads, then the items of every head as one block. The codes run from
// firstCode: seek heads, scratch, read heads, (heads table), seek items,
// (item block), read items.
template <typename Head, typename Item>
int StyleLoader::LoadClassTable(size_t countAt, size_t offsetAt, size_t headSize, size_t itemSize, int firstCode,
                                std::vector<Head>& heads, std::vector<Item>& items) {
    const size_t n = H16(countAt);
    Scratch scratch(m_heap);
    if (int code = Read(H32(offsetAt), n * headSize, scratch, firstCode, firstCode + 1, firstCode + 2)) return code;
    heads.resize(n);
    uint64_t total = 0;
    uint64_t start = 0;
    bool any = false;
    for (size_t i = 0; i < n; ++i) {
        Head& h = heads[i];
        FillHead(h, scratch.Data() + i * headSize);
        const int count = h.ItemCount();
        if (count == 0) continue;
        // Each class's items follow on from the class before it.
        if (!any) start = ItemOffsetOf(h);
        any = true;
        if (ItemOffsetOf(h) != start + total * itemSize) return firstCode + 6;
        h.firstItem = static_cast<int32_t>(total);
        total += static_cast<uint64_t>(count);
    }
    if (int code = Read(start, total * itemSize, scratch, firstCode + 4, firstCode + 5, firstCode + 6)) return code;
    AddSpan(start, total * itemSize);
    items.resize(static_cast<size_t>(total));
    for (size_t i = 0; i < items.size(); ++i) FillItem(items[i], scratch.Data() + i * itemSize);
    return 0;
}

int StyleLoader::LoadSymbolMaps() {
    Scratch scratch(m_heap);
    const size_t n16 = H16(kMap16Count);
    if (int code = Read(H32(kMap16Offset), n16 * kSymbolMapSize, scratch, styleload::kMap16Seek, 47,
                        styleload::kMap16Read))
        return code;
    m_m.m_map16.resize(n16);
    for (size_t i = 0; i < n16; ++i) std::memcpy(m_m.m_map16[i].bytes, scratch.Data() + i * kSymbolMapSize, 8);
    const size_t n14 = H16(kMap14Count);
    if (int code = Read(H32(kMap14Offset), n14 * kSymbolMapSize, scratch, styleload::kMap14Seek, 51,
                        styleload::kMap14Read))
        return code;
    m_m.m_map14.resize(n14);
    for (size_t i = 0; i < n14; ++i) std::memcpy(m_m.m_map14[i].bytes, scratch.Data() + i * kSymbolMapSize, 8);
    return 0;
}

int StyleLoader::LoadModeTable(int mode) {
    const size_t rows = H16(kModeTableRows);
    Scratch scratch(m_heap);
    if (int code = Read(H32(kModeTableOffset), rows * kModeTableRowSize, scratch, styleload::kModeTableSeek,
                        styleload::kModeTableScratch, styleload::kModeTableRead))
        return code;
    if (rows == 0) return 0;   // no table: the background falls back to white
    if (static_cast<size_t>(mode) >= rows) return styleload::kModeTableRead;
    const uint8_t* p = scratch.Data() + static_cast<size_t>(mode) * kModeTableRowSize;
    for (int i = 0; i < 3; ++i) m_m.m_modeRow[i] = Le16(p + 2 * i);
    m_m.m_hasModeRow = true;
    return 0;
}

int StyleLoader::LoadLevels() {
    const uint64_t t1 = H32(kLevel1Offset), t2 = H32(kLevel2Offset), t3 = H32(kLevel3Offset);
    const uint64_t n1 = H16(kLevel1Count), n2 = H16(kLevel2Count), n3 = H16(kLevel3Count);
    if (n1 + n2 + n3 == 0) return 0;
    // Three tables one after the other inside one block.
    if (t2 < t1 + 4 * n1 || t3 < t2 + 4 * n2) return styleload::kLevelRead;
    Scratch scratch(m_heap);
    if (int code = Read(t1, t3 + 4 * n3 - t1, scratch, styleload::kLevelSeek, 55, styleload::kLevelRead))
        return code;
    const uint64_t starts[3] = {0, t2 - t1, t3 - t1};
    const uint64_t counts[3] = {n1, n2, n3};
    for (int t = 0; t < 3; ++t) {
        m_m.m_levelTables[t].resize(counts[t]);
        for (uint64_t i = 0; i < counts[t]; ++i) m_m.m_levelTables[t][i] = Le32(scratch.Data() + starts[t] + 4 * i);
    }
    return 0;
}

int StyleLoader::LoadSection(CConfigManager::SectionSlot slot, uint64_t dirOffset, size_t count, bool keyed,
                             bool inMemory) {
    const size_t recordSize = keyed ? kKeyedDirectorySize : kDirectorySize;
    Scratch scratch(m_heap);
    if (int code = Read(dirOffset, count * recordSize, scratch, kSectionSeek, kSectionScratch, kSectionRead))
        return code;
    StyleSymbolSection& section = m_m.m_sections[slot];
    section.entries.resize(count);
    const uint64_t fileSize = m_src.Size();
    uint64_t total = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = scratch.Data() + i * recordSize;
        StyleSymbolEntry& e = section.entries[i];
        for (int a = 0; a < 6; ++a) e.attr[a] = Le16(p + 2 * a);
        e.dataSize = Le32(p + 12);
        e.dataOffset = Le32(p + 16);
        e.valid = 1;
        if (keyed) std::memcpy(e.key, p + 20, sizeof e.key);
        // Every image must lie inside the file, and the images together
        // cannot be larger than the file (a damaged directory pointing many
        // entries at one large span would otherwise multiply it).
        if (e.dataSize == 0) continue;
        if (e.dataOffset > fileSize) return kSectionDataSeek;
        if (e.dataSize > fileSize - e.dataOffset) return kSectionDataRead;
        AddSpan(e.dataOffset, e.dataSize);   // no later directory may run into it
        total += e.dataSize;
        if (total > fileSize) return kSectionDataRead;
    }
    if (!inMemory) return kSectionOk;
    section.bytes.resize(static_cast<size_t>(total));
    size_t at = 0;
    for (StyleSymbolEntry& e : section.entries) {
        if (e.dataSize == 0) continue;
        if (!m_src.ReadAt(e.dataOffset, section.bytes.data() + at, e.dataSize)) return kSectionDataRead;
        e.data = section.bytes.data() + at;
        at += e.dataSize;
    }
    return kSectionOk;
}

int StyleLoader::Run(int mode, int onDemand) {
    if (m_src.Size() < kStyleHeaderSize || !m_src.ReadAt(0, m_m.m_header.data(), kStyleHeaderSize))
        return styleload::kHeader;
    if (int code = CheckHeader()) return code;
    if (mode < 0 || mode >= H16(kModeCount)) {
        DebugTrace(3, "지도표시 색상 모드 선택이 잘못되었습니다.\n");
        return styleload::kMode;
    }
    m_m.m_mode = mode;
    if (int code = LoadPalettes(mode)) return code;
    if (int code = LoadDrawStyles()) return code;
    if (int code = LoadColourRefs()) return code;
    if (int code = LoadFontNames()) return code;
    if (int code = LoadLandmarkStyles()) return code;
    if (int code = LoadClassTable(kRangedCount, kRangedOffset, kRangedHeadSize, kRangedItemSize,
                                  styleload::kRangedHeadSeek, m_m.m_rangedClasses, m_m.m_rangedItems))
        return code;
    if (int code = LoadClassTable(kClassCount, kClassOffset, kClassHeadSize, kClassItemSize,
                                  styleload::kClassHeadSeek, m_m.m_classHeads, m_m.m_classItems))
        return code;
    if (int code = LoadClassTable(kSymbolClassCount, kSymbolClassOffset, kSymbolClassHeadSize,
                                  kSymbolClassItemSize, styleload::kSymbolClassHeadSeek, m_m.m_symbolClassHeads,
                                  m_m.m_symbolClassItems))
        return code;
    if (int code = LoadSymbolMaps()) return code;
    if (int code = LoadModeTable(mode)) return code;
    if (int code = LoadLevels()) return code;

    const uint64_t count15 = uint64_t{H16(kSection15FirstCount)} + H16(kSection15SecondCount);
    struct SectionLoad {
        CConfigManager::SectionSlot slot;
        uint64_t dirOffset;
        size_t count;
        bool keyed;
        bool alwaysInMemory;
        int failCode;
    };
    const SectionLoad loads[] = {
        {CConfigManager::kSec13, H32(kSection13Offset), H16(kSection13Count), false, false, styleload::kSection13},
        {CConfigManager::kSec16, H32(kSection16Offset), H16(kSection16Count), false, false, styleload::kSection16},
        {CConfigManager::kSec14, H32(kSection14Offset), H16(kSection14Count), false, false, styleload::kSection14},
        {CConfigManager::kSec15, H32(kSection15Offset), static_cast<size_t>(count15), false, false,
         styleload::kSection15},
        {CConfigManager::kSec19, H32(kSection15Offset) + count15 * kDirectorySize, H16(kSection19Count), false, true,
         styleload::kSection19},
        {CConfigManager::kSec17, H32(kSection17Offset), H16(kSection17Count), false, true, styleload::kSection17},
        {CConfigManager::kSec18, H32(kSection18Offset), H16(kSection18Count), true, false, styleload::kSection18},
    };
    for (const SectionLoad& s : loads) {
        if (LoadSection(s.slot, s.dirOffset, s.count, s.keyed, s.alwaysInMemory || !onDemand) != kSectionOk)
            return s.failCode;
    }
    m_m.ApplyPalette();
    m_m.m_fixedColours = kFixedColours;
    return kStyleLoadOk;
}

// ---- Image description ------------------------------------------------------------------

int DescribeStyleImage(const uint16_t attr[6], const uint8_t* bytes, uint32_t size, uint16_t flag,
                       MneBitmapDesc* out) {
    const uint32_t width = attr[0], height = attr[1], stride = attr[2], bits = attr[3];
    if (!bytes || width == 0 || height == 0) return 0;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return 0;
    if (stride < (width * bits + 7) / 8 || uint64_t{stride} * height > size) return 0;
    if (out) {
        out->type = 0;
        out->width = static_cast<int32_t>(width);
        out->height = static_cast<int32_t>(height);
        out->widthBytes = static_cast<int32_t>(stride);
        out->planes = flag;
        out->bitsPixel = static_cast<uint16_t>(bits);
        out->bits = const_cast<uint8_t*>(bytes);
    }
    return 1;
}

// ---- Manager ----------------------------------------------------------------------------

CConfigManager::CConfigManager() = default;

CConfigManager::~CConfigManager() { Unload(); }

CConfigManager& GetConfigManager() {
    static CConfigManager manager;
    return manager;
}

void CConfigManager::SetLandmarkPath(const std::string& nativePath) { m_landmarkPath = nativePath.substr(0, 255); }

uint16_t CConfigManager::HeaderU16(size_t at) const {
    return at + 2 <= m_header.size() ? Le16(m_header.data() + at) : 0;
}
uint32_t CConfigManager::HeaderU32(size_t at) const {
    return at + 4 <= m_header.size() ? Le32(m_header.data() + at) : 0;
}

int CConfigManager::LoadStyle(StyleSource& source, int mode, int onDemand) {
    m_onDemand = onDemand ? 1 : 0;
    StyleLoader loader(*this, source, m_loaderHeap);
    return loader.Run(mode, m_onDemand);
}

int CConfigManager::LoadConfig(const std::string& nativePath, int mode, int onDemand) {
    Unload();
    m_loaderHeap = CreateSharedBlock(std::string_view("CONFIGDEFLTHEAP"), kHeapUnit, kLoaderHeapBytes, 0);
    if (!m_loaderHeap) return styleload::kHeap;
    int code = styleload::kOpen;
    {
        FileSource file;
        if (file.Open(nativePath)) code = LoadStyle(file, mode, onDemand);
    }   // the style file is closed here
    if (code == kStyleLoadOk) {
        FileSource landmarks;
        if (!landmarks.Open(m_landmarkPath) || !LoadLandmarkIndex(landmarks)) code = styleload::kLandmarkIndex;
    }
    if (code == kStyleLoadOk) {
        m_landmarkHeap = CreateSharedBlock(std::string_view("CONFIGMAPHEAP"), kHeapUnit, kLandmarkHeapBytes, 0);
        if (m_onDemand)
            m_symbolHeap = CreateSharedBlock(std::string_view("CONFIGMAPSYMBOLHEAP"), kHeapUnit, kSymbolHeapBytes, 0);
        if (!m_landmarkHeap || (m_onDemand && !m_symbolHeap))
            code = styleload::kCacheHeap;
        else if (!m_landmarkCache.Open(m_landmarkPath))
            code = styleload::kLandmarkCacheOpen;
        else if (!m_landmarkCache.Attach(m_landmarkHeap))
            code = styleload::kHeap;
        else if (m_onDemand && !m_symbolCache.Open(nativePath))
            code = styleload::kSymbolCacheOpen;
        else if (m_onDemand && !m_symbolCache.Attach(m_symbolHeap))
            code = styleload::kSymbolCacheAttach;
    }
    if (code != kStyleLoadOk) {
        Unload();
        return code;
    }
    m_stylePath = nativePath;
    m_loaded = true;
    return kStyleLoadOk;
}

int CConfigManager::LoadConfigFromMemory(const uint8_t* data, size_t size, int mode) {
    // The loader's heap is kept from one load to the next (every scratch
    // block is given back after its step): tools and fuzzing load many
    // styles in a row.
    ReleaseCaches();
    ClearTables();
    if (!m_loaderHeap)
        m_loaderHeap = CreateSharedBlock(std::string_view("CONFIGDEFLTHEAP"), kHeapUnit, kLoaderHeapBytes, 0);
    if (!m_loaderHeap) return styleload::kHeap;
    MemorySource source(data, size);
    const int code = LoadStyle(source, mode, 0);
    if (code != kStyleLoadOk) {
        ClearTables();
        return code;
    }
    m_loaded = true;
    return code;
}

int CConfigManager::LoadLandmarkIndexFromMemory(const uint8_t* data, size_t size) {
    MemorySource source(data, size);
    return LoadLandmarkIndex(source);
}

int CConfigManager::LoadLandmarkIndex(StyleSource& source) {
    using namespace landmarkfile;
    m_landmarks.clear();
    m_unnamedLandmarks = 0;
    m_landmarkHeader.fill(0);
    auto fail = [this] {
        m_landmarks.clear();
        m_unnamedLandmarks = 0;
        return 0;
    };
    const uint64_t fileSize = source.Size();
    if (fileSize < kLandmarkHeaderSize || !source.ReadAt(0, m_landmarkHeader.data(), kLandmarkHeaderSize))
        return fail();
    const uint8_t* h = m_landmarkHeader.data();
    const size_t named = Le16(h + kNamedCount), extra = Le16(h + kExtraImageCount), unnamed = Le16(h + kUnnamedCount);
    const uint64_t recordsAt = Le32(h + kRecordOffset), imagesAt = Le32(h + kImageRecordOffset);
    const uint64_t recordBytes = uint64_t{named + unnamed} * kLandmarkRecordSize;
    const uint64_t imageBytes = uint64_t{extra + unnamed} * kLandmarkImageRecordSize;
    auto inside = [&](uint64_t at, uint64_t n) { return n == 0 || (at >= kLandmarkHeaderSize && at <= fileSize && n <= fileSize - at); };
    // Both tables inside the file, after the header and apart.
    if (!inside(recordsAt, recordBytes) || !inside(imagesAt, imageBytes)) return fail();
    if (recordBytes && imageBytes && recordsAt < imagesAt + imageBytes && imagesAt < recordsAt + recordBytes)
        return fail();
    std::vector<uint8_t> records(static_cast<size_t>(recordBytes)), images(static_cast<size_t>(imageBytes));
    if (!source.ReadAt(recordsAt, records.data(), records.size()) ||
        !source.ReadAt(imagesAt, images.data(), images.size()))
        return fail();
    // Names and image bytes lie outside both tables.
    auto clear = [&](uint64_t at, uint64_t n) {
        return (at + n <= recordsAt || at >= recordsAt + recordBytes) && (at + n <= imagesAt || at >= imagesAt + imageBytes);
    };
    const size_t imageCount = extra + unnamed;
    m_landmarks.resize(named + unnamed);
    std::vector<uint8_t> text;
    for (size_t i = 0; i < m_landmarks.size(); ++i) {
        StyleLandmark& l = m_landmarks[i];
        std::memcpy(l.record.bytes, records.data() + i * kLandmarkRecordSize, kLandmarkRecordSize);
        const size_t imageIndex = l.record.U16(24);
        if (imageIndex >= imageCount) return fail();   // an image record that is not there
        std::memcpy(l.image.bytes, images.data() + imageIndex * kLandmarkImageRecordSize, kLandmarkImageRecordSize);
        const uint64_t size = l.image.U32(12), at = l.image.U32(16);
        if (size && (!inside(at, size) || !clear(at, size))) return fail();
        if (i < named) {
            const uint32_t nameAt = l.record.U32(28);
            if (!source.ReadUpTo(nameAt, kLandmarkNameReadBytes, text) || !CopyName(text, l.name, sizeof l.name - 1))
                return fail();
            const auto length = static_cast<uint64_t>(std::find(text.begin(), text.end(), uint8_t{0}) - text.begin());
            if (!clear(nameAt, length + 1)) return fail();
        }
    }
    m_unnamedLandmarks = static_cast<int>(unnamed);
    return 1;
}

void CConfigManager::ApplyPalette() {
    const auto colour = [this](uint16_t index) -> uint32_t {
        return index < m_palette.size() ? m_palette[index] : 0xFFFFFF;
    };
    for (StyleDrawStyle& s : m_drawStyles) {
        s.colour = colour(s.colourIndex);
        s.secondColour = s.kind == 1 ? colour(s.secondIndex) : 0xFFFFFF;
    }
    // Right after the load a pattern reference has no colour of its own.
    for (StyleColourRef& r : m_colourRefs) r.colour = r.kind == kColourRefPatternKind ? 0xFFFFFF : colour(r.colourIndex);
}

int CConfigManager::LoadMapColor(int mode) {
    if (mode < 0 || static_cast<size_t>(mode) >= m_palettes.size()) return -1;
    m_mode = mode;
    m_palette = m_palettes[static_cast<size_t>(mode)];
    ApplyPalette();
    for (StyleColourRef& r : m_colourRefs)
        if (r.kind == kColourRefPatternKind) r.colour = PatternRefColour(r.colourIndex);
    return 0;
}

void CConfigManager::ReleaseCaches() {
    m_landmarkCache.Close();
    m_symbolCache.Close();
    m_landmarkCache.Detach();
    m_symbolCache.Detach();
    if (m_landmarkHeap) DestroySharedBlock(m_landmarkHeap);
    if (m_symbolHeap) DestroySharedBlock(m_symbolHeap);
    m_landmarkHeap = m_symbolHeap = nullptr;
}

void CConfigManager::Unload() {
    ReleaseCaches();
    FreeLoaderHeap();
    ClearTables();
}

void CConfigManager::ClearTables() {
    m_loaded = false;
    m_onDemand = 0;
    m_mode = 0;
    m_header.fill(0);
    m_landmarkHeader.fill(0);
    m_palettes.clear();
    m_palette.clear();
    m_drawStyles.clear();
    m_colourRefs.clear();
    m_fontNames.clear();
    m_landmarkStyles.clear();
    m_rangedClasses.clear();
    m_rangedItems.clear();
    m_classHeads.clear();
    m_classItems.clear();
    m_symbolClassHeads.clear();
    m_symbolClassItems.clear();
    m_map16.clear();
    m_map14.clear();
    m_hasModeRow = false;
    for (auto& t : m_levelTables) t.clear();
    m_landmarks.clear();
    m_unnamedLandmarks = 0;
    for (auto& s : m_sections) s = StyleSymbolSection{};
    m_fixedColours.fill(0);
    m_stylePath.clear();
    m_slotBytes.clear();
    m_slotIndex = -1;
}

void CConfigManager::FreePatternData() {
    m_sections[kSec17] = StyleSymbolSection{};
    m_sections[kSec19] = StyleSymbolSection{};
}

void CConfigManager::FreeLoaderHeap() {
    if (m_loaderHeap) DestroySharedBlock(m_loaderHeap);
    m_loaderHeap = nullptr;
}

bool CConfigManager::ModeColourRow(uint16_t out[3]) const {
    if (!m_hasModeRow) return false;
    std::memcpy(out, m_modeRow, sizeof m_modeRow);
    return true;
}

const std::vector<uint32_t>& CConfigManager::LevelTable(int table) const {
    static const std::vector<uint32_t> kNone;
    return table >= 1 && table <= 3 ? m_levelTables[static_cast<size_t>(table - 1)] : kNone;
}

// ---- Symbol lookups ------------------------------------------------------------------------

const StyleSymbolEntry* CConfigManager::Section15First(int index) const {
    return index >= 0 && index < HeaderU16(kSection15FirstCount) ? m_sections[kSec15].At(static_cast<size_t>(index))
                                                                   : nullptr;
}
const StyleSymbolEntry* CConfigManager::Section15Second(int index) const {
    // Bounded by the section's own table, not by the run that section 19
    // shares with it.
    return index >= 0 ? m_sections[kSec15].At(static_cast<size_t>(index) + HeaderU16(kSection15FirstCount)) : nullptr;
}
const StyleSymbolEntry* CConfigManager::Section19(int index) const {
    return index >= 0 ? m_sections[kSec19].At(static_cast<size_t>(index)) : nullptr;
}
const StyleSymbolEntry* CConfigManager::Section17(int index) const {
    return index >= 0 ? m_sections[kSec17].At(static_cast<size_t>(index)) : nullptr;
}
const StyleSymbolEntry* CConfigManager::Section13(int index) const {
    return index >= 0 ? m_sections[kSec13].At(static_cast<size_t>(index)) : nullptr;
}
const StyleSymbolEntry* CConfigManager::Section14(int index) const {
    return index >= 0 ? m_sections[kSec14].At(static_cast<size_t>(index)) : nullptr;
}
const StyleSymbolEntry* CConfigManager::Section16(int index) const {
    return index >= 0 ? m_sections[kSec16].At(static_cast<size_t>(index)) : nullptr;
}

int CConfigManager::SymbolFromSection(SectionSlot slot, int index, int base, int* a, int* b, int* c, int* d,
                                      MneBitmapDesc* descriptor, StyleImageHold* hold) const {
    const StyleSymbolEntry* e = index >= 0 ? m_sections[slot].At(static_cast<size_t>(index)) : nullptr;
    if (!e) return 0;
    if (a) *a = e->attr[1];
    if (b) *b = e->attr[0];
    if (c) *c = e->attr[4];
    if (d) *d = e->attr[5];
    if (e->data) return DescribeStyleImage(e->attr, e->data, e->dataSize, 1, descriptor);
    if (!m_onDemand) return 0;
    StyleImageHold local;
    int hit = 0;
    const uint8_t* bytes = m_symbolCache.Fetch(static_cast<uint32_t>(index + base), e->dataSize, e->dataOffset, &hit,
                                               1, hold ? hold : &local);
    if (!bytes) return 0;
    // Without a hold the reference goes at once (the bytes are not drawn).
    return DescribeStyleImage(e->attr, bytes, e->dataSize, 0, hold ? descriptor : nullptr);
}

int CConfigManager::GetSymbol(int index, int base, int* a, int* b, int* c, int* d, MneBitmapDesc* descriptor,
                              StyleImageHold* hold) const {
    SectionSlot slot;
    switch (base) {
        case kSymbolBase13: slot = kSec13; break;
        case kSymbolBase14: slot = kSec14; break;
        case kSymbolBase16: slot = kSec16; break;
        case kSymbolBase18: slot = kSec18; break;
        case kSymbolBase15: slot = kSec15; break;
        default: return 0;
    }
    return SymbolFromSection(slot, index, base, a, b, c, d, descriptor, hold);
}

int CConfigManager::FindKeyedSymbol(uint32_t id, int byPosition) const {
    const int n = static_cast<int>(m_sections[kSec18].Count());
    if (byPosition) {
        // 0 is the second-last entry, 1 the last; a list too short has none.
        const int index = id == 0 ? n - 2 : id == 1 ? n - 1 : -1;
        return index >= 0 ? index : -1;
    }
    char text[16];
    std::snprintf(text, sizeof text, "%08x", id);
    for (int i = 0; i < n; ++i)
        if (std::memcmp(m_sections[kSec18].entries[static_cast<size_t>(i)].key, text, 8) == 0) return i;
    return -1;
}

const StyleSymbolEntry* CConfigManager::KeyedSymbolEntry(uint32_t id, int byPosition) const {
    const int i = FindKeyedSymbol(id, byPosition);
    return i >= 0 ? m_sections[kSec18].At(static_cast<size_t>(i)) : nullptr;
}

int CConfigManager::GetKeyedSymbol(uint32_t id, int byPosition, int* a, int* b, int* c, int* d,
                                   MneBitmapDesc* descriptor, StyleImageHold* hold) const {
    const int i = FindKeyedSymbol(id, byPosition);
    return i >= 0 ? SymbolFromSection(kSec18, i, kSymbolBase18, a, b, c, d, descriptor, hold) : 0;
}

int CConfigManager::GetGroupSymbol(int index, int group, int* a, int* b, int* c, int* d, MneBitmapDesc* descriptor,
                                   StyleImageHold* hold) const {
    if (index < 0) return 0;
    const int at = index + (group == 1 ? HeaderU16(kSection15FirstCount) : 0);
    return SymbolFromSection(kSec15, at, kSymbolBase15, a, b, c, d, descriptor, hold);
}

uint16_t CConfigManager::SymbolMap16Value(int index) const {
    return index >= 0 && static_cast<size_t>(index) < m_map16.size() ? m_map16[static_cast<size_t>(index)].U16(4)
                                                                     : kSymbolMapNone;
}

uint16_t CConfigManager::SymbolMap14Value(int index) const {
    return index >= 0 && index < HeaderU16(kSection14Count) && static_cast<size_t>(index) < m_map14.size()
               ? m_map14[static_cast<size_t>(index)].U16(4)
               : 0;
}

int CConfigManager::SymbolMap16Target(int index) const {
    const uint16_t v = SymbolMap16Value(index);
    return v != kSymbolMapNone && v < HeaderU16(kMap16Count) && v < m_sections[kSec16].Count() ? v : -1;
}

namespace {
int Map14EntryTarget(const std::vector<StyleSymbolMapEntry>& map14, size_t entry, size_t sectionCount) {
    if (entry >= map14.size()) return -1;
    const uint16_t v = map14[entry].U16(4);
    return v != kSymbolMapNone && v < sectionCount ? v : -1;
}
}  // namespace

int CConfigManager::SymbolMap14Target(int index) const {
    if (index < 0 || index >= HeaderU16(kSection14Count)) return -1;
    return Map14EntryTarget(m_map14, static_cast<size_t>(index), m_sections[kSec14].Count());
}

int CConfigManager::SymbolMap14SecondRun(int index) const {
    if (index < 0 || index >= HeaderU16(kMap14RunCount)) return -1;
    return Map14EntryTarget(m_map14, static_cast<size_t>(index) + HeaderU16(kMap14RunStart),
                            m_sections[kSec14].Count());
}

int CConfigManager::SymbolMap14ThirdRun(int index) const {
    if (index < 0 || index >= 18) return -1;
    return Map14EntryTarget(m_map14,
                            static_cast<size_t>(index) + HeaderU16(kMap14RunStart) + HeaderU16(kMap14RunCount),
                            m_sections[kSec14].Count());
}

// ---- Landmarks ---------------------------------------------------------------------------------

uint32_t CConfigManager::GetLandmarkColourA(int index, int type) const {
    if (index < 0 || static_cast<size_t>(index) >= m_landmarkStyles.size()) return 0xFFFFFF;
    const StyleLandmarkStyle& s = m_landmarkStyles[static_cast<size_t>(index)];
    switch (type) {
        case 0: return s.U16(14);
        case 1: return s.U16(10);
        case 2: return s.U16(12);
        default: return 0xFFFFFF;
    }
}

uint32_t CConfigManager::GetLandmarkColourB(int index, int type) const {
    if (index < 0 || static_cast<size_t>(index) >= m_landmarkStyles.size()) return 0;
    const StyleLandmarkStyle& s = m_landmarkStyles[static_cast<size_t>(index)];
    switch (type) {
        case 0: return s.U16(24);
        case 1: return s.U16(20);
        case 2: return s.U16(22);
        default: return 0xFFFFFF;
    }
}

uint16_t CConfigManager::GetLandmarkField(int index, int type) const {
    if (index < 0 || static_cast<size_t>(index) >= m_landmarkStyles.size()) return 0;
    const StyleLandmarkStyle& s = m_landmarkStyles[static_cast<size_t>(index)];
    return type == 1 ? s.U16(4) : type == 2 ? s.U16(8) : s.U16(6);
}

float CConfigManager::OpacityFromByte(uint8_t b) { return static_cast<float>(std::min<int>(b, 10)) / 10.0f; }

namespace {
void ImageAttributes(const StyleRawRecord<20>& image, uint16_t attr[6]) {
    for (int a = 0; a < 6; ++a) attr[a] = image.U16(2 * static_cast<size_t>(a));
}
}  // namespace

int CConfigManager::GetLandmarkImage(int index, MneBitmapDesc* descriptor, StyleImageHold* hold) {
    if (index < 0 || static_cast<size_t>(index) >= m_landmarks.size()) return 0;
    const StyleLandmark& l = m_landmarks[static_cast<size_t>(index)];
    StyleImageHold local;
    int hit = 0;
    const uint32_t size = l.image.U32(12);
    const uint8_t* bytes = m_landmarkCache.Fetch(l.record.U16(24), size, l.image.U32(16), &hit, 1, hold ? hold : &local);
    if (!bytes) return 0;
    uint16_t attr[6];
    ImageAttributes(l.image, attr);
    return DescribeStyleImage(attr, bytes, size, 0, hold ? descriptor : nullptr);
}

int CConfigManager::ReadLandmarkImage(int index, MneBitmapDesc* descriptor) {
    if (index < 0 || static_cast<size_t>(index) >= m_landmarks.size()) return 0;
    const StyleLandmark& l = m_landmarks[static_cast<size_t>(index)];
    uint16_t attr[6];
    ImageAttributes(l.image, attr);
    if (index != m_slotIndex || m_slotBytes.empty()) {
        m_slotBytes.clear();
        m_slotIndex = -1;
        const uint32_t size = l.image.U32(12);
        std::vector<uint8_t> bytes(size);
        platform::File file;
        if (size == 0 || !file.Open(m_landmarkPath, platform::File::Mode::kRead) ||
            !file.ReadExactAt(l.image.U32(16), bytes.data(), size))
            return 0;
        m_slotBytes = std::move(bytes);
        m_slotIndex = index;
    }
    return DescribeStyleImage(attr, m_slotBytes.data(), static_cast<uint32_t>(m_slotBytes.size()), 1, descriptor);
}
