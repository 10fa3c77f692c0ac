#include "tools/writers/style_writer.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/byte_cursor.h"

namespace stylewriter {

namespace {

// A file built front to back; header fields are patched once the sections
// that they name have been placed.
class Builder {
public:
    explicit Builder(size_t headerSize, std::vector<SectionSpan>* layout) : m_layout(layout) {
        m_w.Data().assign(headerSize, 0);
    }
    platform::ByteWriter& W() { return m_w; }
    uint32_t Here() const { return static_cast<uint32_t>(m_w.Size()); }
    // Marks the start of a section; End records its span.
    uint32_t Begin() { return m_start = Here(); }
    void End(const std::string& name) {
        if (m_layout) m_layout->push_back({name, m_start, Here() - m_start});
    }
    void Put16(size_t at, uint16_t v) {
        m_w.Data()[at] = static_cast<uint8_t>(v);
        m_w.Data()[at + 1] = static_cast<uint8_t>(v >> 8);
    }
    void Put32(size_t at, uint32_t v) {
        Put16(at, static_cast<uint16_t>(v));
        Put16(at + 2, static_cast<uint16_t>(v >> 16));
    }
    void Text(const std::string& s) {
        for (char c : s) m_w.U8(static_cast<uint8_t>(c));
        m_w.U8(0);
    }

private:
    platform::ByteWriter m_w;
    std::vector<SectionSpan>* m_layout;
    uint32_t m_start = 0;
};

uint16_t Count(size_t n) { return static_cast<uint16_t>(n); }

// Directory records of one section, with the data offsets of its images.
void Directory(Builder& b, const std::vector<Image>& images, const std::vector<uint32_t>& offsets, bool keyed) {
    for (size_t i = 0; i < images.size(); ++i) {
        for (uint16_t a : images[i].attr) b.W().U16(a);
        b.W().U32(static_cast<uint32_t>(images[i].data.size()));
        b.W().U32(offsets[i]);
        if (keyed) {
            char key[8] = {};
            std::memcpy(key, images[i].key.data(), std::min<size_t>(8, images[i].key.size()));
            for (char c : key) b.W().U8(static_cast<uint8_t>(c));
        }
    }
}

// Offsets of every image once the images are laid out from `start`.
std::vector<uint32_t> ImageOffsets(const std::vector<Image>& images, uint32_t& start) {
    std::vector<uint32_t> out;
    for (const Image& im : images) {
        out.push_back(im.data.empty() ? 0 : start);
        start += static_cast<uint32_t>(im.data.size());
    }
    return out;
}

}  // namespace

int64_t SpanOffset(const std::vector<SectionSpan>& layout, const std::string& name) {
    for (const SectionSpan& s : layout)
        if (s.name == name) return s.offset;
    return -1;
}

std::vector<uint8_t> BuildStyleFile(const StyleDesc& d, std::vector<SectionSpan>* layout) {
    Builder b(176, layout);
    auto& w = b.W();
    if (layout) layout->push_back({"header", 0, 176});

    // Counts.
    const size_t colours = d.palettes.empty() ? 0 : d.palettes[0].size();
    b.Put32(0, 0x46434E4D);   // "MNCF"
    b.Put16(4, d.formatA);
    b.Put16(6, d.formatB);
    b.Put16(12, Count(d.palettes.size()));
    b.Put16(14, Count(colours));
    b.Put16(16, Count(d.drawStyles.size()));
    b.Put16(18, Count(d.colourRefs.size()));
    b.Put16(20, Count(d.fontNames.size()));
    b.Put16(22, Count(d.landmarkStyles.size()));
    b.Put16(24, Count(d.rangedClasses.size()));
    b.Put16(26, Count(d.classStyles.size()));
    b.Put16(28, Count(d.symbolClasses.size()));
    b.Put16(30, Count(d.map16.size()));
    b.Put16(32, Count(d.map14.size()));
    b.Put16(34, Count(d.section15First.size() + d.section15Second.size() + d.section19.size()));
    b.Put16(36, Count(d.modeTable.size()));
    b.Put16(38, Count(d.level1.size()));
    b.Put16(40, Count(d.level2.size()));
    b.Put16(42, Count(d.level3.size()));
    b.Put16(44, Count(d.section13.size()));
    b.Put16(46, Count(d.section14.size()));
    b.Put16(48, Count(d.section15First.size()));
    b.Put16(50, Count(d.section15Second.size()));
    b.Put16(52, d.map14RunCount);
    b.Put16(54, d.map14RunStart);
    b.Put16(56, Count(d.section16.size()));
    b.Put16(58, Count(d.section17.size()));
    b.Put16(60, Count(d.section19.size()));
    b.Put16(168, Count(d.section18.size()));

    // The font names come first, straight after the header.
    b.Begin();
    std::vector<uint32_t> nameOffsets;
    for (const FontName& f : d.fontNames) {
        nameOffsets.push_back(b.Here());
        b.Text(f.name);
    }
    b.End("fontNames");
    // Item blocks, the last-read table first.
    std::vector<uint32_t> symbolItemAt, classItemAt, rangedItemAt;
    b.Begin();
    for (size_t i = 0; i < d.symbolClasses.size(); ++i) {
        const SymbolClass& c = d.symbolClasses[i];
        symbolItemAt.push_back(b.Here());
        for (const SymbolClassItem& it : c.items) {
            w.U8(it.variant);
            w.U8(it.lowLevel);
            w.U8(it.highLevel);
            w.U8(it.attribute);
            w.U16(it.symbol);
            w.U16(it.value);
            w.U8(it.kind);
            w.U8(it.byte9);
            w.U8(it.byte10);
            w.U8(0);
        }
    }
    b.End("symbolClassItems");
    b.Begin();
    for (size_t i = 0; i < d.classStyles.size(); ++i) {
        classItemAt.push_back(b.Here());
        for (const ClassItem& it : d.classStyles[i].items) {
            w.U8(it.kind);
            w.U8(it.lowLevel);
            w.U8(it.highLevel);
            w.U8(it.mark);
            for (size_t k = 0; k < 6; ++k) w.U32(uint32_t{it.normal[k]} | uint32_t{it.alternate[k]} << 16);
        }
    }
    b.End("classItems");
    b.Begin();
    for (size_t i = 0; i < d.rangedClasses.size(); ++i) {
        rangedItemAt.push_back(b.Here());
        for (const RangedItem& it : d.rangedClasses[i].items) {
            w.U8(it.lowLevel);
            w.U8(it.highLevel);
            w.U16(0);
            w.U16(it.normal);
            w.U16(it.alternate);
        }
    }
    b.End("rangedItems");
    for (size_t m = 0; m < d.palettes.size() && m < 3; ++m) {
        b.Put32(64 + 4 * m, b.Begin());
        for (size_t c = 0; c < colours; ++c) w.U32(c < d.palettes[m].size() ? d.palettes[m][c] : 0);
        b.End("palette" + std::to_string(m));
    }
    b.Put32(76, b.Begin());
    for (const DrawStyle& s : d.drawStyles) {
        w.U8(s.kind);
        w.U8(s.width);
        w.U16(s.colour);
        w.U16(s.second);
    }
    b.End("drawStyles");
    b.Put32(80, b.Begin());
    for (const ColourRef& r : d.colourRefs) {
        w.U8(r.kind);
        w.U8(0);
        w.U16(r.colour);
    }
    b.End("colourRefs");
    b.Put32(84, b.Begin());
    for (size_t i = 0; i < d.fontNames.size(); ++i) {
        w.U8(d.fontNames[i].size);
        w.U8(d.fontNames[i].weight);
        w.U16(0);
        w.U32(nameOffsets[i]);
    }
    b.End("fontIndex");
    b.Put32(88, b.Begin());
    for (const LandmarkStyle& s : d.landmarkStyles)
        for (uint16_t v : s) w.U16(v);
    b.End("landmarkStyles");

    b.Put32(92, b.Begin());
    for (size_t i = 0; i < d.rangedClasses.size(); ++i) {
        const RangedClass& c = d.rangedClasses[i];
        w.U32(uint32_t{c.minLevel} | uint32_t{c.data} << 8 | uint32_t{c.minLevelApplies} << 16 |
              static_cast<uint32_t>(c.items.size()) << 24);
        w.U32(rangedItemAt[i]);
    }
    b.End("rangedHeads");
    b.Put32(96, b.Begin());
    for (size_t i = 0; i < d.classStyles.size(); ++i) {
        const ClassStyle& c = d.classStyles[i];
        w.U32(c.classWord);
        w.U16(c.valueA);
        w.U16(c.valueB);
        w.U16(c.value8);
        w.U8(c.value10);
        w.U8(c.value11);
        w.U8(static_cast<uint8_t>(c.items.size()));
        for (uint8_t v : c.data) w.U8(v);
        w.U32(classItemAt[i]);
    }
    b.End("classHeads");
    b.Put32(100, b.Begin());
    for (size_t i = 0; i < d.symbolClasses.size(); ++i) {
        const SymbolClass& c = d.symbolClasses[i];
        w.U32(c.classWord);
        w.U8(c.data[0]);
        w.U8(c.data[1]);
        w.U8(static_cast<uint8_t>(c.items.size()));
        for (uint8_t v : c.marks) w.U8(v);
        w.U8(c.data10);
        w.U8(0);
        w.U32(c.attribute);
        w.U32(symbolItemAt[i]);
        w.U32(c.data20);
    }
    b.End("symbolClassHeads");
    b.Put32(104, b.Begin());
    for (uint16_t v : d.map16) {
        w.U32(0);
        w.U16(v);
        w.U16(0);
    }
    b.End("map16");
    b.Put32(108, b.Begin());
    for (uint16_t v : d.map14) {
        w.U32(0);
        w.U16(v);
        w.U16(0);
    }
    b.End("map14");
    b.Put32(116, b.Begin());
    for (const auto& row : d.modeTable)
        for (uint16_t v : row) w.U16(v);
    b.End("modeTable");
    b.Put32(120, b.Begin());
    for (uint32_t v : d.level1) w.U32(v);
    b.End("level1");
    b.Put32(124, b.Begin());
    for (uint32_t v : d.level2) w.U32(v);
    b.End("level2");
    b.Put32(128, b.Begin());
    for (uint32_t v : d.level3) w.U32(v);
    b.End("level3");

    // Directories: their sizes are known, so the images' place is too.
    const size_t dirBytes = 20 * (d.section13.size() + d.section16.size() + d.section14.size() +
                                  d.section15First.size() + d.section15Second.size() + d.section19.size() +
                                  d.section17.size()) +
                            28 * d.section18.size();
    uint32_t imageAt = static_cast<uint32_t>(b.Here() + dirBytes);
    std::vector<Image> section15 = d.section15First;
    section15.insert(section15.end(), d.section15Second.begin(), d.section15Second.end());
    const auto off13 = ImageOffsets(d.section13, imageAt);
    const auto off16 = ImageOffsets(d.section16, imageAt);
    const auto off14 = ImageOffsets(d.section14, imageAt);
    const auto off15 = ImageOffsets(section15, imageAt);
    const auto off19 = ImageOffsets(d.section19, imageAt);
    const auto off17 = ImageOffsets(d.section17, imageAt);
    const auto off18 = ImageOffsets(d.section18, imageAt);

    b.Put32(132, b.Begin());
    Directory(b, d.section13, off13, false);
    b.End("dir13");
    b.Put32(156, b.Begin());
    Directory(b, d.section16, off16, false);
    b.End("dir16");
    b.Put32(136, b.Begin());
    Directory(b, d.section14, off14, false);
    b.End("dir14");
    b.Put32(148, b.Begin());
    Directory(b, section15, off15, false);
    b.End("dir15");
    b.Begin();
    Directory(b, d.section19, off19, false);
    b.End("dir19");
    b.Put32(160, b.Begin());
    Directory(b, d.section17, off17, false);
    b.End("dir17");
    b.Put32(172, b.Begin());
    Directory(b, d.section18, off18, true);
    b.End("dir18");

    const std::pair<const char*, const std::vector<Image>*> sections[] = {
        {"images13", &d.section13}, {"images16", &d.section16}, {"images14", &d.section14},
        {"images15", &section15},   {"images19", &d.section19}, {"images17", &d.section17},
        {"images18", &d.section18}};
    for (const auto& [name, section] : sections) {
        b.Begin();
        for (const Image& im : *section) w.Data().insert(w.Data().end(), im.data.begin(), im.data.end());
        b.End(name);
    }
    return w.Data();
}

std::vector<uint8_t> BuildLandmarkFile(const LandmarkDesc& d, std::vector<SectionSpan>* layout) {
    Builder b(32, layout);
    auto& w = b.W();
    if (layout) layout->push_back({"header", 0, 32});
    const size_t extra = d.images.size() >= d.unnamed.size() ? d.images.size() - d.unnamed.size() : 0;
    b.Put16(12, Count(d.named.size()));
    b.Put16(14, Count(extra));
    b.Put16(16, Count(d.unnamed.size()));
    const size_t records = d.named.size() + d.unnamed.size();
    uint32_t nameAt = static_cast<uint32_t>(32 + 32 * records + 20 * d.images.size());
    uint32_t imageAt = nameAt;
    for (const Landmark& l : d.named) imageAt += static_cast<uint32_t>(l.name.size() + 1);
    const auto offsets = ImageOffsets(d.images, imageAt);

    b.Put32(20, b.Begin());
    for (size_t i = 0; i < records; ++i) {
        const Landmark& l = i < d.named.size() ? d.named[i] : d.unnamed[i - d.named.size()];
        for (uint8_t v : l.data) w.U8(v);
        w.U16(l.image);
        w.U16(l.style);
        w.U32(i < d.named.size() ? nameAt : 0);
        if (i < d.named.size()) nameAt += static_cast<uint32_t>(l.name.size() + 1);
    }
    b.End("records");
    b.Put32(24, b.Begin());
    Directory(b, d.images, offsets, false);
    b.End("imageRecords");
    b.Begin();
    for (const Landmark& l : d.named) b.Text(l.name);
    b.End("names");
    b.Begin();
    for (const Image& im : d.images) w.Data().insert(w.Data().end(), im.data.begin(), im.data.end());
    b.End("images");
    return w.Data();
}

}  // namespace stylewriter
