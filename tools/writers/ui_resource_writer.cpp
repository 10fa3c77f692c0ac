#include "tools/writers/ui_resource_writer.h"

// GCC's optimiser reports AGG's own path loops (x and y filled by the
// vertex source before use) as maybe uninitialised; the headers are not ours.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <agg_conv_stroke.h>
#include <agg_conv_transform.h>
#include <agg_ellipse.h>
#include <agg_path_storage.h>
#include <agg_pixfmt_rgba.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_renderer_base.h>
#include <agg_renderer_scanline.h>
#include <agg_rendering_buffer.h>
#include <agg_rounded_rect.h>
#include <agg_scanline_u.h>
#include <agg_trans_affine.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>

extern "C" {
#include <jpeglib.h>
}

#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "render/aa_context.h"
#include "render/vector_font.h"
#include "tools/writers/font_writer.h"
#include "tools/writers/source_tree.h"

namespace uiwriter {
namespace {

// Limits the loaders rely on.
constexpr int kMaxBoardId = 16 * 200 - 1;
constexpr int kMaxControlId = 16 * 1000 - 1;
constexpr int kMaxLayoutId = 4095;
constexpr int kMaxImageId = 3999;
constexpr size_t kRemoconFile1Max = 2000;

std::string Cp949(const std::string& utf8) {
    std::string out;
    if (platform::Utf16ToCp949(platform::Utf8ToUtf16(utf8), out)) return out;
    return std::string(utf8.size(), '?');
}

// A field: the value, or an empty field for `empty`.
std::string Field(int v, bool emptyWhenZero = false) {
    return emptyWhenZero && v == 0 ? std::string() : std::to_string(v);
}

std::string Join(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) line += '\t';
        line += fields[i];
    }
    return line;
}

bool Fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

}  // namespace

// ---------------------------------------------------------------- table lines

std::string FormatLayoutLine(const LayoutItem& it) {
    std::vector<std::string> f = {Field(it.board), Field(it.layoutId), Cp949(it.name), Field(it.parent),
                                  Field(it.control), Field(it.x), Field(it.y), Field(it.textId)};
    for (const TextPos& t : it.text) {
        f.push_back(Field(t.x));
        f.push_back(Field(t.y));
        f.push_back(Field(t.align));
    }
    for (int v : {it.font, it.visible, it.popup, it.relative, it.bgMode, it.textTable, it.extra[0], it.extra[1],
                  it.align})
        f.push_back(Field(v));
    return Join(f);
}

std::string FormatControlLine(const ControlRecord& c) {
    const int rebase = c.id / 1000 * 1000;
    std::vector<std::string> f = {Field(c.id % 1000), Cp949(c.name), Field(c.subControl), Field(c.kind),
                                  Field(c.width), Field(c.height),
                                  Field(c.subCount ? c.firstSub - rebase : 0), Field(c.subCount),
                                  Field(c.attr1), Field(c.attr2), Field(c.attr3)};
    // No image is an empty field (read as -1).
    for (const auto& image : c.image) {
        f.push_back(Field(image.id, true));
        f.push_back(Field(image.x));
        f.push_back(Field(image.y));
    }
    return Join(f);
}

std::string FormatFontLine(const FontRecord& r) {
    std::vector<std::string> f = {Field(r.id % 100), Cp949(r.name), Field(r.fontNumber)};
    for (const TextStyle& s : r.style)
        for (int v : {s.red, s.green, s.blue, s.size, s.spacing, s.flags, s.width}) f.push_back(Field(v));
    return Join(f);
}

std::string FormatRemoconLine(const RemoconRecord& r) {
    return Join({Field(r.board), Field(r.layoutId), Field(r.guard), Field(r.target[0]), Field(r.target[1]),
                 Field(r.target[2]), Field(r.target[3]), Field(r.alternatives), Field(r.reserved)});
}

// ---------------------------------------------------------------- table files

namespace {

std::string FileName(const char* format, int a, int b = 0) {
    char name[64];
    std::snprintf(name, sizeof name, format, a, b);
    return name;
}

// Item count per board (highest layout id + 1), checking that each board's
// items are one run of unique layout ids.
bool BoardCounts(const std::vector<LayoutItem>& items, std::map<int, int>& counts, std::string* error) {
    std::set<std::pair<int, int>> seen;
    std::set<int> finished;
    int current = -1;
    for (const LayoutItem& it : items) {
        if (it.board < 1 || it.board > kMaxBoardId) return Fail(error, "board id out of range: " + std::to_string(it.board));
        if (it.layoutId < 0 || it.layoutId > kMaxLayoutId)
            return Fail(error, "layout id out of range: " + std::to_string(it.layoutId));
        if (it.board != current) {
            if (finished.count(it.board)) return Fail(error, "items of board " + std::to_string(it.board) + " not contiguous");
            if (current >= 0) finished.insert(current);
            current = it.board;
        }
        if (!seen.insert({it.board, it.layoutId}).second)
            return Fail(error, "board " + std::to_string(it.board) + " lists layout id " +
                                   std::to_string(it.layoutId) + " twice");
        counts[it.board] = std::max(counts[it.board], it.layoutId + 1);
    }
    return true;
}

bool CheckImageId(int id, std::string* error) {
    if (id == 0 || id == -1) return true;
    if (id < 0 || id > kMaxImageId || id % 2000 == 0)
        return Fail(error, "image id out of range: " + std::to_string(id));
    return true;
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines) text += l + "\r\n";
    return text;
}

}  // namespace

bool BuildScriptFiles(const ScriptTables& t, std::map<std::string, std::string>& files, std::string* error) {
    files.clear();
    // Controls: ids, kinds, sub-controls inside their own file.
    std::set<int> controlIds;
    for (const ControlRecord& c : t.controls) {
        if (c.id < 0 || c.id > kMaxControlId) return Fail(error, "control id out of range: " + std::to_string(c.id));
        if (!controlIds.insert(c.id).second) return Fail(error, "control " + std::to_string(c.id) + " twice");
        if (c.kind < 1 || c.kind > 16) return Fail(error, "control " + std::to_string(c.id) + ": unknown kind");
        if (c.subCount > 0 && (c.firstSub / 1000 != c.id / 1000 || (c.firstSub + c.subCount - 1) / 1000 != c.id / 1000))
            return Fail(error, "control " + std::to_string(c.id) + ": sub-controls outside its file");
        for (const auto& image : c.image)
            if (!CheckImageId(image.id, error)) return false;
    }
    for (const ControlRecord& c : t.controls)
        for (int k = 0; k < c.subCount; ++k)
            if (!controlIds.count(c.firstSub + k))
                return Fail(error, "control " + std::to_string(c.id) + ": sub-control " +
                                       std::to_string(c.firstSub + k) + " missing");

    // Fonts: 0..99 in file 001, 100.. in 002 with the same ids per colour.
    std::set<int> fontIds;
    for (const FontRecord& f : t.fonts1) {
        if (f.id < 0 || f.id > 99) return Fail(error, "font id out of range for file 001: " + std::to_string(f.id));
        fontIds.insert(f.id);
    }
    std::set<int> fonts2[2];
    for (int cr = 0; cr < 2; ++cr)
        for (const FontRecord& f : t.fonts2[cr]) {
            if (f.id < 100 || f.id > 199) return Fail(error, "font id out of range for file 002: " + std::to_string(f.id));
            fonts2[cr].insert(f.id);
        }
    if (fonts2[0] != fonts2[1]) return Fail(error, "the two colour variants of font file 002 list different fonts");
    // The colour switch re-reads file 002 only when the table's size comes
    // from it: its highest local id must not be below file 001's.
    int highest1 = -1;
    for (const FontRecord& f : t.fonts1) highest1 = std::max(highest1, f.id);
    if (!fonts2[0].empty() && *fonts2[0].rbegin() - 100 < highest1)
        return Fail(error, "font file 002 must reach local id " + std::to_string(highest1) +
                               " (file 001's highest) or the colour switch cannot re-read it");
    fontIds.insert(fonts2[0].begin(), fonts2[0].end());

    // Layouts: counts per board, equal in every variant of file 002.
    std::map<int, int> counts1, counts2[4];
    if (!BoardCounts(t.layout1, counts1, error)) return false;
    for (int v = 0; v < 4; ++v) {
        if (!BoardCounts(t.layout2[v], counts2[v], error)) return false;
        if (counts2[v] != counts2[0])
            return Fail(error, "layout variant " + std::to_string(v + 1) + " changes a board's item count");
    }
    for (const auto& [board, n] : counts2[0])
        if (counts1.count(board)) return Fail(error, "board " + std::to_string(board) + " in both layout files");
    auto checkItems = [&](const std::vector<LayoutItem>& items, const std::map<int, int>& counts) {
        for (const LayoutItem& it : items) {
            if (!controlIds.count(it.control))
                return Fail(error, "board " + std::to_string(it.board) + " item " + std::to_string(it.layoutId) +
                                       ": no control " + std::to_string(it.control));
            if ((it.textId || it.font) && !fontIds.count(it.font))
                return Fail(error, "board " + std::to_string(it.board) + " item " + std::to_string(it.layoutId) +
                                       ": no font " + std::to_string(it.font));
            if (it.parent < 0 || it.parent >= counts.at(it.board))
                return Fail(error, "board " + std::to_string(it.board) + " item " + std::to_string(it.layoutId) +
                                       ": parent out of range");
        }
        return true;
    };
    if (!checkItems(t.layout1, counts1)) return false;
    for (const auto& variant : t.layout2)
        if (!checkItems(variant, counts2[0])) return false;

    int highestBoard = std::max(1, t.highestBoard);
    for (const auto& [board, n] : counts1) highestBoard = std::max(highestBoard, board);
    for (const auto& [board, n] : counts2[0]) highestBoard = std::max(highestBoard, board);
    if (highestBoard > kMaxBoardId) return Fail(error, "board id out of range");

    // Remocon: both files, each board's records contiguous.
    for (int file = 0; file < 2; ++file)
        for (int v = 0; v < 4; ++v) {
            const auto& records = t.remocon[file][v];
            if (file == 0 && records.size() > kRemoconFile1Max) return Fail(error, "remocon file 001 over 2000 records");
            std::set<int> done;
            int current = -1;
            for (const RemoconRecord& r : records) {
                if (r.board < 1 || r.board > highestBoard) return Fail(error, "remocon board out of range");
                if (r.board != current) {
                    if (done.count(r.board)) return Fail(error, "remocon records of a board not contiguous");
                    done.insert(current);
                    current = r.board;
                }
            }
        }

    // Board files: each covers 200 ids; the last one's first field is the
    // highest local number.
    const int boardFiles = highestBoard / 200 + 1;
    for (int f = 1; f <= boardFiles; ++f) {
        const int highest = f < boardFiles ? 199 : highestBoard % 200;
        files[FileName("uiscript_board%03d.txt", f)] = Lines({"# highest local board number, unused", Join({Field(highest), "0"})});
    }
    std::vector<std::string> layout1;
    for (const LayoutItem& it : t.layout1) layout1.push_back(FormatLayoutLine(it));
    for (int v = 0; v < 4; ++v) {
        files[FileName("uiscript_layout001_t%02d.txt", v + 1)] = Lines(layout1);
        std::vector<std::string> lines;
        for (const LayoutItem& it : t.layout2[v]) lines.push_back(FormatLayoutLine(it));
        files[FileName("uiscript_layout002_t%02d.txt", v + 1)] = Lines(lines);
        for (int file = 0; file < 2; ++file) {
            std::vector<std::string> rem;
            for (const RemoconRecord& r : t.remocon[file][v]) rem.push_back(FormatRemoconLine(r));
            files[FileName("uiscript_remocon%03d_t%02d.txt", file + 1, v + 1)] = Lines(rem);
        }
    }
    std::map<int, std::vector<std::string>> controlFiles;
    std::vector<ControlRecord> controls = t.controls;
    std::sort(controls.begin(), controls.end(), [](const auto& a, const auto& b) { return a.id < b.id; });
    const int controlFileCount = controls.empty() ? 1 : controls.back().id / 1000 + 1;
    for (int f = 0; f < controlFileCount; ++f) controlFiles[f];
    for (const ControlRecord& c : controls) controlFiles[c.id / 1000].push_back(FormatControlLine(c));
    for (auto& [f, lines] : controlFiles) files[FileName("uiscript_control%03d.txt", f + 1)] = Lines(lines);
    std::vector<std::string> font1;
    for (const FontRecord& r : t.fonts1) font1.push_back(FormatFontLine(r));
    files[FileName("uiscript_font%03d_cr%02d.txt", 1, 1)] = Lines(font1);
    for (int cr = 0; cr < 2; ++cr) {
        std::vector<std::string> lines;
        for (const FontRecord& r : t.fonts2[cr]) lines.push_back(FormatFontLine(r));
        files[FileName("uiscript_font%03d_cr%02d.txt", 2, cr + 1)] = Lines(lines);
    }
    return true;
}

// ---------------------------------------------------------------- images

uint16_t Transparency565(int transparency) {
    transparency = std::clamp(transparency, 0, 255);
    if (transparency == 0) return 0;
    const int d = std::clamp((transparency * 32 + 127) / 255, 1, 32);
    const int c = std::clamp((transparency * 64 + 127) / 255, 1, 64);
    return static_cast<uint16_t>((c - 1) << 5 | (d - 1));
}

namespace {

std::vector<uint8_t> Deflate(const uint16_t* words, size_t count) {
    std::vector<uint8_t> raw(count * 2);
    for (size_t i = 0; i < count; ++i) {
        raw[2 * i] = static_cast<uint8_t>(words[i]);
        raw[2 * i + 1] = static_cast<uint8_t>(words[i] >> 8);
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(size);
    compress2(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 6);
    packed.resize(size);
    return packed;
}

void MbdfHeader(platform::ByteWriter& w, int width, int height, uint32_t packedSize) {
    w.Bytes("MBDF", 4);
    w.U32(0);
    w.U32(static_cast<uint32_t>(width));
    w.U32(static_cast<uint32_t>(height));
    w.U32(static_cast<uint32_t>(width) * 2);
    w.I16(0);
    w.I16(16);
    w.U32(packedSize);
}

}  // namespace

std::vector<uint8_t> BuildMbdf(const Picture& p) {
    platform::ByteWriter w;
    const std::vector<uint8_t> packed = Deflate(p.pixels.data(), p.pixels.size());
    MbdfHeader(w, p.width, p.height, static_cast<uint32_t>(packed.size()));
    w.Bytes(packed.data(), packed.size());
    if (!p.alpha.empty()) {
        const std::vector<uint8_t> alpha = Deflate(p.alpha.data(), p.alpha.size());
        w.U32(static_cast<uint32_t>(alpha.size()));
        w.Bytes(alpha.data(), alpha.size());
    }
    return w.Data();
}

std::vector<uint8_t> BuildMbdfJpeg(int width, int height, const std::vector<uint8_t>& jpeg) {
    platform::ByteWriter w;
    MbdfHeader(w, width, height, static_cast<uint32_t>(jpeg.size()));
    w.Bytes(jpeg.data(), jpeg.size());
    return w.Data();
}

std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& samples, int width, int height, int components,
                                int quality, bool storeRgb) {
    if (width <= 0 || height <= 0 || (components != 1 && components != 3 && components != 4) ||
        samples.size() < static_cast<size_t>(width) * height * components)
        return {};
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 3 ? JCS_RGB : components == 4 ? JCS_CMYK : JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    if (components == 3 && storeRgb) jpeg_set_colorspace(&cinfo, JCS_RGB);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data() + size_t{cinfo.next_scanline} * width * components);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

std::vector<uint8_t> EncodeJpeg565(const Picture& p, int quality) {
    std::vector<uint8_t> rgb(p.pixels.size() * 3);
    for (size_t i = 0; i < p.pixels.size(); ++i) {
        const uint16_t v = p.pixels[i];
        rgb[3 * i] = static_cast<uint8_t>((v >> 11) << 3 | (v >> 13));
        rgb[3 * i + 1] = static_cast<uint8_t>(((v >> 5) & 0x3F) << 2 | ((v >> 9) & 3));
        rgb[3 * i + 2] = static_cast<uint8_t>((v & 0x1F) << 3 | ((v >> 2) & 7));
    }
    return EncodeJpeg(rgb, p.width, p.height, 3, quality);
}

std::vector<uint8_t> BuildUiPackage(const std::vector<UiPackageEntry>& entries) {
    platform::ByteWriter w;
    const char title[32] = "UI image package";
    w.Bytes(title, 32);
    w.Bytes("1.0", 4);
    w.Zeros(8);
    w.U32(static_cast<uint32_t>(entries.size()));
    w.Zeros(32);  // the slot that holds no image
    size_t offset = 80 + 32 * entries.size();
    for (const UiPackageEntry& e : entries) {
        w.U32(e.kind);
        w.U16(e.width);
        w.U16(e.height);
        w.U32(e.drawFlags);
        w.U32(e.blendLevel);
        w.U32(e.frameDelayMs);
        w.U32(e.data.empty() ? 0 : static_cast<uint32_t>(offset));
        w.U32(static_cast<uint32_t>(e.data.size()));
        w.U8(e.frameCount);
        w.Zeros(3);
        offset += e.data.size();
    }
    for (const UiPackageEntry& e : entries) w.Bytes(e.data.data(), e.data.size());
    return w.Data();
}

std::vector<uint8_t> BuildNamedPackage(const std::vector<NamedEntry>& entries) {
    platform::ByteWriter w;
    w.U16(0x0101);
    w.U16(static_cast<uint16_t>(entries.size()));
    w.Zeros(20);
    size_t offset = 24 + 20 * entries.size();
    for (const NamedEntry& e : entries) {
        w.U32(e.data.empty() ? 0 : static_cast<uint32_t>(offset));
        w.U32(static_cast<uint32_t>(e.data.size()));
        w.U16(e.x);
        w.U16(e.y);
        w.U16(e.width);
        w.U16(e.height);
        w.U8(e.kind);
        w.Zeros(3);
        offset += e.data.size();
    }
    for (const NamedEntry& e : entries) w.Bytes(e.data.data(), e.data.size());
    return w.Data();
}

std::string BuildNameTable(std::vector<std::pair<std::string, int>> names, std::string* error) {
    auto refuse = [&](const std::string& why) {
        if (error) *error = why;
        return std::string();
    };
    if (names.empty()) return refuse("a name table needs at least one name");
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) {
        return std::lexicographical_compare(a.first.begin(), a.first.end(), b.first.begin(), b.first.end(),
                                            [](char x, char y) {
                                                return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
                                            });
    });
    // The count line must say more than 1, whatever the number of names.
    std::string text = std::to_string(std::max<size_t>(2, names.size())) + "\n";
    for (size_t i = 0; i < names.size(); ++i) {
        const auto& [name, entry] = names[i];
        if (name.empty() || name == "0") return refuse("empty name in name table");
        for (char c : name)
            if ((c >= 'a' && c <= 'z') || c == '\t' || c == '\n' || c == '\r')
                return refuse("name not upper case: " + name);
        if (i && names[i - 1].first == name) return refuse("name twice: " + name);
        const std::string line = name + "\t" + std::to_string(entry) + "\n";
        if (line.size() > 31) return refuse("name table line longer than 31 bytes: " + name);
        text += line;
    }
    return text;
}

// ---------------------------------------------------------------- parsing

namespace {

const std::map<std::string, int>& KindWords() {
    static const std::map<std::string, int> words = {
        {"button", 1},   {"list", 2},      {"ballscroll", 3}, {"edit", 4},   {"static", 5},
        {"keyboard", 6}, {"slide", 7},     {"progress", 8},   {"check", 9},  {"radio", 10},
        {"listscroll", 11}, {"tiescroll", 12}, {"combo", 13}, {"map", 14},   {"panel", 15},
        {"dynpanel", 16}};
    return words;
}

const std::map<std::string, int>& ImageKindWords() {
    static const std::map<std::string, int> words = {{"area", 1}, {"bmp", 2}, {"anim", 3},
                                                     {"alpha", 4}, {"jpg", 5}, {"data", 6}};
    return words;
}

// Splits a line into words; "..." keeps blanks (the quotes are dropped).
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (any) words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any) words.push_back(word);
    return words;
}

bool ToInt(const std::string& text, int& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end) return false;
    out = static_cast<int>(v);
    return true;
}

bool ToInts(const std::string& text, std::vector<int>& out) {
    out.clear();
    std::stringstream ss(text);
    std::string part;
    while (std::getline(ss, part, ',')) {
        int v;
        if (!ToInt(part, v)) return false;
        out.push_back(v);
    }
    return true;
}

class Parser {
public:
    explicit Parser(UiSource& out) : m_out(out) {}

    bool Run(const std::string& text, std::string* error) {
        std::stringstream ss(text);
        std::string line;
        while (std::getline(ss, line)) {
            ++m_line;
            // '#' at the start of a word begins a comment ("=#RRGGBB" is a colour).
            for (size_t hash = line.find('#'); hash != std::string::npos; hash = line.find('#', hash + 1)) {
                if ((hash == 0 || line[hash - 1] == ' ' || line[hash - 1] == '\t') && !InQuotes(line, hash)) {
                    line.resize(hash);
                    break;
                }
            }
            const std::vector<std::string> w = Words(line);
            if (w.empty()) continue;
            if (!Statement(w)) return Fail(error, "line " + std::to_string(m_line) + ": " + m_error);
        }
        if (!Finish()) return Fail(error, m_error);
        return true;
    }

private:
    static bool InQuotes(const std::string& line, size_t pos) {
        return std::count(line.begin(), line.begin() + static_cast<ptrdiff_t>(pos), '"') % 2 == 1;
    }

    bool Error(const std::string& why) {
        m_error = why;
        return false;
    }

    // key=value options (and bare flags) from word `from` on.
    std::map<std::string, std::string> Options(const std::vector<std::string>& w, size_t from) {
        std::map<std::string, std::string> o;
        for (size_t i = from; i < w.size(); ++i) {
            const size_t eq = w[i].find('=');
            if (eq == std::string::npos)
                o[w[i]] = "1";
            else
                o[w[i].substr(0, eq)] = w[i].substr(eq + 1);
        }
        return o;
    }

    bool Statement(const std::vector<std::string>& w) {
        const std::string& s = w[0];
        if (s == "palette") return Palette(w);
        if (s == "font") return Font(w);
        if (s == "image") return Image(w);
        if (s == "control") return Control(w);
        if (s == "board") return Board(w);
        if (s == "item") return Item(w);
        if (s == "variant") return Variant(w);
        if (s == "remocon") return Remocon(w);
        if (s == "pack") return Pack(w);
        if (s == "packimage") return PackImage(w);
        return Error("unknown statement \"" + s + "\"");
    }

    bool Palette(const std::vector<std::string>& w) {
        if (w.size() < 2 || (w[1] != "day" && w[1] != "night")) return Error("palette day|night NAME=#RRGGBB");
        const int v = w[1] == "day" ? 0 : 1;
        for (const auto& [name, value] : Options(w, 2)) {
            if (value.size() != 7 || value[0] != '#') return Error("colour " + name + " is not #RRGGBB");
            m_out.palette[v][name] = static_cast<uint32_t>(std::strtoul(value.c_str() + 1, nullptr, 16));
        }
        return true;
    }

    bool Colour(const std::string& text, int variant, uint32_t& out) {
        if (text.size() == 7 && text[0] == '#') {
            out = static_cast<uint32_t>(std::strtoul(text.c_str() + 1, nullptr, 16));
            return true;
        }
        const auto it = m_out.palette[variant].find(text);
        if (it == m_out.palette[variant].end()) return Error("no colour \"" + text + "\" in the " +
                                                             (variant ? "night" : "day") + " palette");
        out = it->second;
        return true;
    }

    bool Style(const std::string& text, int variant, TextStyle& out) {
        std::stringstream ss(text);
        std::string colour;
        std::getline(ss, colour, ',');
        std::string rest;
        std::getline(ss, rest);
        std::vector<int> v;
        uint32_t rgb = 0;
        if (!Colour(colour, variant, rgb) || !ToInts(rest, v) || v.size() != 4)
            return Error("style is COLOUR,SIZE,SPACING,FLAGS,WIDTH");
        out.red = static_cast<int>(rgb >> 16);
        out.green = static_cast<int>((rgb >> 8) & 0xFF);
        out.blue = static_cast<int>(rgb & 0xFF);
        out.size = v[0];
        out.spacing = v[1];
        out.flags = v[2];
        out.width = v[3];
        return true;
    }

    bool Font(const std::vector<std::string>& w) {
        int id;
        if (w.size() < 3 || !ToInt(w[1], id)) return Error("font ID NAME face=N style=...");
        const auto o = Options(w, 3);
        for (int variant = 0; variant < (id >= 100 ? 2 : 1); ++variant) {
            FontRecord r;
            r.id = id;
            r.name = w[2];
            if (o.count("face") && !ToInt(o.at("face"), r.fontNumber)) return Error("face is a number");
            for (int s = 0; s < 4; ++s) {
                const std::string key = "style" + std::to_string(s + 1);
                const std::string text = o.count(key) ? o.at(key) : o.count("style") ? o.at("style") : "";
                if (!text.empty() && !Style(text, variant, r.style[s])) return false;
            }
            if (id < 100)
                m_out.tables.fonts1.push_back(r);
            else
                m_out.tables.fonts2[variant].push_back(r);
        }
        return true;
    }

    bool Image(const std::vector<std::string>& w) {
        ImageSpec desc;
        if (w.size() < 4 || !ToInt(w[1], desc.id)) return Error("image ID NAME GENERATOR w=W h=H ...");
        if (!ImageOptions(w, desc)) return false;
        if (desc.id < 1 || desc.id + desc.count - 1 > kMaxImageId || desc.id % 2000 == 0 ||
            desc.id / 2000 != (desc.id + desc.count - 1) / 2000)
            return Error("image ids must lie in 1..1999 or 2001..3999");
        for (int i = 0; i < desc.count; ++i) {
            ImageSpec one = desc;
            one.id = desc.id + i;
            one.index = i;
            if (desc.count > 1) {
                char suffix[16];
                std::snprintf(suffix, sizeof suffix, "_%02d", i);
                one.name += suffix;
            }
            if (one.kind == 3 && i > 0) one.frameCount = 1;
            if (m_imageIds.count(one.id)) return Error("image " + std::to_string(one.id) + " twice");
            if (m_imageNames.count(one.name)) return Error("image name " + one.name + " twice");
            m_imageIds[one.id] = one.name;
            m_imageNames[one.name] = one.id;
            m_out.images.push_back(one);
        }
        return true;
    }

    bool ImageOptions(const std::vector<std::string>& w, ImageSpec& desc) {
        desc.name = w[2];
        desc.generator = w[3];
        for (char c : desc.name)
            if (c >= 'a' && c <= 'z') return Error("image names are upper case: " + desc.name);
        auto o = Options(w, 4);
        auto take = [&](const char* key, int& out) {
            if (!o.count(key)) return true;
            const bool ok = ToInt(o[key], out);
            o.erase(key);
            return ok || Error(std::string(key) + " is a number");
        };
        int delay = 0, blend = -1;
        if (!take("w", desc.width) || !take("h", desc.height) || !take("count", desc.count) || !take("delay", delay) ||
            !take("blend", blend))
            return false;
        if (o.count("kind")) {
            const auto it = ImageKindWords().find(o["kind"]);
            if (it == ImageKindWords().end()) return Error("unknown image kind " + o["kind"]);
            desc.kind = it->second;
            o.erase("kind");
        }
        if (o.count("key")) desc.drawFlags |= 1, o.erase("key");
        if (blend >= 0) desc.drawFlags |= 2, desc.blendLevel = static_cast<uint32_t>(blend);
        desc.frameDelayMs = static_cast<uint32_t>(delay);
        if (desc.kind == 3) desc.frameCount = desc.count;
        if (desc.count < 1 || desc.count > 99) return Error("count must be 1..99");
        if (desc.width < 1 || desc.height < 1 || desc.width > kScreenWidth || desc.height > kScreenHeight)
            return Error("image " + desc.name + ": size must be 1x1 to the screen's 800x480");
        desc.args = o;
        return true;
    }

    int ImageRef(const std::string& text) {
        int id;
        if (ToInt(text, id)) return id;
        const auto it = m_imageNames.find(text);
        return it == m_imageNames.end() ? -2 : it->second;
    }

    // A control, or with count=N the controls ID..ID+N-1: "*" in an image
    // reference becomes the two-digit index, and grid=X0,Y0,DX,DY,COLS
    // places each at its own state-0 offset (sub-controls, keyboard keys).
    bool Control(const std::vector<std::string>& w) {
        int count = 1;
        std::vector<int> grid;
        auto options = Options(w, 6);
        if (options.count("count")) {
            if (!ToInt(options["count"], count) || count < 1 || count > 200) return Error("count=1..200");
            options.erase("count");
        }
        if (options.count("grid")) {
            if (!ToInts(options["grid"], grid) || grid.size() != 5 || grid[4] < 1) return Error("grid=X0,Y0,DX,DY,COLS");
            options.erase("grid");
        }
        for (int i = 0; i < count; ++i) {
            char index[16];
            std::snprintf(index, sizeof index, "%02d", i);
            std::map<std::string, std::string> one;
            for (auto [key, value] : options) {
                if (const size_t star = value.find('*'); star != std::string::npos) value.replace(star, 1, index);
                one[key] = value;
            }
            int id = 0;
            if (w.size() < 6 || !ToInt(w[1], id)) return Error("control ID NAME KIND W H ...");
            if (!ControlOne(w, id + i, count > 1 ? w[2] + "_" + index : w[2], one)) return false;
            if (!grid.empty()) {
                ControlRecord& c = m_out.tables.controls.back();
                c.image[0].x = grid[0] + (i % grid[4]) * grid[2];
                c.image[0].y = grid[1] + (i / grid[4]) * grid[3];
            }
        }
        return true;
    }

    bool ControlOne(const std::vector<std::string>& w, int id, const std::string& name,
                    const std::map<std::string, std::string>& options) {
        ControlRecord c;
        c.id = id;
        if (!ToInt(w[4], c.width) || !ToInt(w[5], c.height)) return Error("control ID NAME KIND W H ...");
        c.name = name;
        if (!ToInt(w[3], c.kind)) {
            const auto it = KindWords().find(w[3]);
            if (it == KindWords().end()) return Error("unknown control kind " + w[3]);
            c.kind = it->second;
        }
        for (const auto& [key, value] : options) {
            std::vector<int> v;
            if (key == "sub") {
                const size_t colon = value.find(':');
                if (colon == std::string::npos || !ToInt(value.substr(0, colon), c.firstSub) ||
                    !ToInt(value.substr(colon + 1), c.subCount))
                    return Error("sub=FIRST:COUNT");
            } else if (key == "subctl") {
                c.subControl = 1;
            } else if (key == "attr") {
                if (!ToInts(value, v) || v.empty() || v.size() > 3) return Error("attr=A1[,A2[,A3]]");
                c.attr1 = v[0];
                if (v.size() > 1) c.attr2 = v[1];
                if (v.size() > 2) c.attr3 = v[2];
            } else if (key.rfind("img", 0) == 0) {
                int n = 1;
                if (key.size() > 3 && (!ToInt(key.substr(3), n) || n < 1 || n > 6)) return Error("img, img2 .. img6");
                const size_t at = value.find('@');
                const int id = ImageRef(value.substr(0, at));
                if (id < -1) return Error("no image " + value.substr(0, at) + " (images come before controls)");
                c.image[n - 1].id = id;
                if (at != std::string::npos) {
                    if (!ToInts(value.substr(at + 1), v) || v.size() != 2) return Error("img=IMAGE@X,Y");
                    c.image[n - 1].x = v[0];
                    c.image[n - 1].y = v[1];
                }
            } else {
                return Error("unknown control option " + key);
            }
        }
        m_out.tables.controls.push_back(c);
        return true;
    }

    bool Board(const std::vector<std::string>& w) {
        int id;
        if (w.size() < 3 || !ToInt(w[1], id)) return Error("board ID NAME [layoutfile=2]");
        if (id < 1 || id > kMaxBoardId) return Error("board id out of range");
        if (!m_boards.insert(id).second) return Error("board " + std::to_string(id) + " twice");
        const auto o = Options(w, 3);
        m_board = id;
        m_boardName = w[2];
        m_boardFile2 = o.count("layoutfile") && o.at("layoutfile") == "2";
        m_out.tables.highestBoard = std::max(m_out.tables.highestBoard, id);
        return true;
    }

    bool Item(const std::vector<std::string>& w) {
        if (!m_board) return Error("item outside a board");
        LayoutItem it;
        it.board = m_board;
        if (w.size() < 5 || !ToInt(w[1], it.layoutId) || !ToInt(w[2], it.control) || !ToInt(w[3], it.x) ||
            !ToInt(w[4], it.y))
            return Error("item LAYOUT CONTROL X Y ...");
        it.name = m_boardName + "." + std::to_string(it.layoutId);
        for (const auto& [key, value] : Options(w, 5)) {
            std::vector<int> v;
            if (key == "parent") {
                if (!ToInt(value, it.parent)) return Error("parent is a layout id");
            } else if (key == "text") {
                if (!ToInts(value.find(':') == std::string::npos ? value : value.substr(0, value.find(':')) + "," +
                                                                                 value.substr(value.find(':') + 1),
                            v) ||
                    v.size() != 2)
                    return Error("text=TABLE:ID");
                it.textTable = v[0];
                it.textId = v[1];
            } else if (key == "font") {
                if (!ToInt(value, it.font)) return Error("font is a number");
            } else if (key == "hidden") {
                it.visible = 0;
            } else if (key == "popup") {
                it.popup = 1;
            } else if (key == "rel") {
                it.relative = 1;
            } else if (key == "bg") {
                if (!ToInt(value, it.bgMode)) return Error("bg is a number");
            } else if (key == "align") {
                if (!ToInt(value, it.align)) return Error("align is a number");
            } else if (key == "kb") {
                if (!ToInts(value, v) || v.size() != 2) return Error("kb=A,B");
                it.extra[0] = v[0];
                it.extra[1] = v[1];
            } else if (key == "toff") {
                if (!ToInts(value, v) || v.size() != 3) return Error("toff=X,Y,ALIGN");
                for (auto& t : it.text) t = {v[0], v[1], v[2]};
            } else {
                return Error("unknown item option " + key);
            }
        }
        if (m_boardFile2)
            for (auto& variant : m_out.tables.layout2) variant.push_back(it);
        else
            m_out.tables.layout1.push_back(it);
        return true;
    }

    bool Variant(const std::vector<std::string>& w) {
        int t, layoutId;
        if (!m_board || !m_boardFile2) return Error("variant belongs to a board of layout file 2");
        if (w.size() < 3 || !ToInt(w[1], t) || !ToInt(w[2], layoutId) || t < 2 || t > 4)
            return Error("variant T(2..4) LAYOUT [x=] [y=]");
        for (LayoutItem& it : m_out.tables.layout2[t - 1]) {
            if (it.board != m_board || it.layoutId != layoutId) continue;
            for (const auto& [key, value] : Options(w, 3)) {
                int v;
                if (!ToInt(value, v) || (key != "x" && key != "y")) return Error("variant takes x= and y=");
                (key == "x" ? it.x : it.y) = v;
            }
            return true;
        }
        return Error("variant of an item the board does not list");
    }

    bool Remocon(const std::vector<std::string>& w) {
        int file;
        RemoconRecord r;
        r.board = m_board;
        if (!m_board || w.size() < 3 || !ToInt(w[1], file) || (file != 1 && file != 2) || !ToInt(w[2], r.layoutId))
            return Error("remocon FILE(1|2) LAYOUT ... inside a board");
        for (const auto& [key, value] : Options(w, 3)) {
            int v;
            if (!ToInt(value, v)) return Error("remocon values are numbers");
            if (key == "guard") r.guard = v;
            else if (key == "up") r.target[0] = v;
            else if (key == "down") r.target[1] = v;
            else if (key == "left") r.target[2] = v;
            else if (key == "right") r.target[3] = v;
            else if (key == "alt") r.alternatives = v;
            else return Error("unknown remocon option " + key);
        }
        for (auto& variant : m_out.tables.remocon[file - 1]) variant.push_back(r);
        return true;
    }

    bool Pack(const std::vector<std::string>& w) {
        if (w.size() != 3) return Error("pack PATH NAMES");
        m_out.packs.push_back({w[1], w[2], {}});
        return true;
    }

    bool PackImage(const std::vector<std::string>& w) {
        if (m_out.packs.empty()) return Error("packimage outside a pack");
        int entry;
        ImageSpec desc;
        if (w.size() < 4 || !ToInt(w[1], entry) || entry < 1) return Error("packimage ENTRY NAME GENERATOR ...");
        if (!ImageOptions(w, desc)) return false;
        for (const auto& [e, other] : m_out.packs.back().images)
            if (e == entry || other.name == desc.name) return Error("pack entry or name twice");
        m_out.packs.back().images.emplace_back(entry, desc);
        return true;
    }

    bool Finish() {
        // Controls refer to images that exist; items to fonts are checked
        // when the tables are built.
        for (const ControlRecord& c : m_out.tables.controls)
            for (const auto& image : c.image)
                if (image.id > 0 && !m_imageIds.count(image.id))
                    return Error("control " + std::to_string(c.id) + ": no image " + std::to_string(image.id));
        std::map<std::string, std::string> files;
        if (!BuildScriptFiles(m_out.tables, files, &m_error)) return false;
        return true;
    }

    UiSource& m_out;
    int m_line = 0;
    std::string m_error;
    int m_board = 0;
    std::string m_boardName;
    bool m_boardFile2 = false;
    std::set<int> m_boards;
    std::map<int, std::string> m_imageIds;
    std::map<std::string, int> m_imageNames;
};

}  // namespace

bool ParseUiSource(const std::string& text, UiSource& out, std::string* error) {
    out = UiSource{};
    Parser parser(out);
    return parser.Run(text, error);
}

// ---------------------------------------------------------------- drawing

namespace {

using PixFmt = agg::pixfmt_bgra32_plain;
using RendererBase = agg::renderer_base<PixFmt>;

// A BGRA canvas (rows top-down) drawn with AGG; straight (not
// premultiplied) alpha.
class Canvas {
public:
    Canvas(int w, int h) : m_w(w), m_h(h), m_px(static_cast<size_t>(w) * h * 4, 0) {
        m_buf.attach(m_px.data(), static_cast<unsigned>(w), static_cast<unsigned>(h), w * 4);
    }
    int W() const { return m_w; }
    int H() const { return m_h; }
    uint8_t* Bits() { return m_px.data(); }

    static agg::rgba8 Rgb(uint32_t rgb, int a = 255) {
        return agg::rgba8((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF, static_cast<unsigned>(a));
    }

    void Clear(uint32_t rgb, int a = 255) {
        PixFmt pf(m_buf);
        RendererBase rb(pf);
        rb.clear(Rgb(rgb, a));
    }

    template <class Path>
    void FillPath(Path& path, agg::rgba8 colour) {
        PixFmt pf(m_buf);
        RendererBase rb(pf);
        agg::rasterizer_scanline_aa<> ras;
        agg::scanline_u8 sl;
        ras.add_path(path);
        agg::render_scanlines_aa_solid(ras, sl, rb, colour);
    }

    template <class Path>
    void StrokePath(Path& path, double width, agg::rgba8 colour) {
        agg::conv_stroke<Path> stroke(path);
        stroke.width(width);
        stroke.line_join(agg::round_join);
        stroke.line_cap(agg::round_cap);
        FillPath(stroke, colour);
    }

    void RoundRect(double x1, double y1, double x2, double y2, double r, agg::rgba8 colour) {
        agg::rounded_rect rr(x1, y1, x2, y2, r);
        rr.normalize_radius();
        FillPath(rr, colour);
    }

    void Ellipse(double cx, double cy, double rx, double ry, agg::rgba8 colour) {
        agg::ellipse e(cx, cy, rx, ry, 64);
        FillPath(e, colour);
    }

    void Polygon(const std::vector<std::pair<double, double>>& pts, agg::rgba8 colour, const agg::trans_affine& m) {
        agg::path_storage p;
        for (size_t i = 0; i < pts.size(); ++i) {
            double x = pts[i].first, y = pts[i].second;
            m.transform(&x, &y);
            i ? p.line_to(x, y) : p.move_to(x, y);
        }
        p.close_polygon();
        FillPath(p, colour);
    }

    // Vertical gradient of colour between two alphas and colours.
    void Gradient(uint32_t top, uint32_t bottom, int alphaTop, int alphaBottom) {
        for (int y = 0; y < m_h; ++y) {
            const double t = m_h > 1 ? static_cast<double>(y) / (m_h - 1) : 0.0;
            auto mix = [&](int s) {
                const int a = (top >> s) & 0xFF, b = (bottom >> s) & 0xFF;
                return static_cast<uint8_t>(std::lround(a + (b - a) * t));
            };
            const auto alpha = static_cast<uint8_t>(std::lround(alphaTop + (alphaBottom - alphaTop) * t));
            for (int x = 0; x < m_w; ++x) {
                uint8_t* p = m_px.data() + (static_cast<size_t>(y) * m_w + x) * 4;
                p[0] = mix(0);
                p[1] = mix(8);
                p[2] = mix(16);
                p[3] = alpha;
            }
        }
    }

private:
    int m_w, m_h;
    std::vector<uint8_t> m_px;
    agg::rendering_buffer m_buf;
};

// The labels' font: FONT1 from the root's font folder, or one made for the
// purpose from the Nanum Gothic TrueType font when the root has none.
class LabelFont {
public:
    static LabelFont& Get() {
        static LabelFont font;
        return font;
    }
    MneGlyphSource* Font(int size) {
        if (m_failed) return nullptr;
        auto& f = m_fonts[size];
        if (!f) {
            if (!Prepare()) return nullptr;
            f = std::make_unique<CMneVectorFont>();
            if (!f->Create(size, 400, "FONT1", 0, 0) || !f->HasFile()) {
                f.reset();
                return nullptr;
            }
        }
        return f.get();
    }
    void SetRoot(const std::string& root) { m_root = root; }

private:
    bool Prepare() {
        if (m_ready) return true;
        if (!m_root.empty() && !ScanFontFolder(m_root + "/Font").empty() && SetVectorFontFolder(m_root + "/") &&
            TryFont())
            return m_ready = true;
        // Make FONT1 for the label characters in a folder of its own, once:
        // a later run finds the file made before.
        const std::string folder = (std::filesystem::temp_directory_path() / "navi_ui_label_font_1").string();
        const std::string file = folder + "/Font/FONT1_v.fnt";
        if (platform::FileExists(file) && SetVectorFontFolder(folder + "/") && TryFont()) return m_ready = true;
        platform::MakeDirectories(folder + "/Font");
        fontwriter::TrueTypeOptions options;
        options.ttfPath = "/usr/share/fonts/truetype/nanum/NanumGothic.ttf";
        options.faceName = "FONT1";
        fontwriter::FontDesc desc;
        for (const auto& [code, ch] : fontwriter::Cp949Codes())
            if (code < 0x80 || code < 0xAD00 || (ch >= u'가' && ch <= u'힣')) options.codes.push_back(code);  // symbols, jamo, syllables
        if (!fontwriter::ConvertTrueType(options, desc) ||
            !fontwriter::WriteFontFile(file, desc) || !SetVectorFontFolder(folder + "/") ||
            !TryFont()) {
            std::fprintf(stderr, "ui_resource_writer: no FONT1 for labels; images are drawn without them\n");
            m_failed = true;
            return false;
        }
        return m_ready = true;
    }
    bool TryFont() {
        CMneVectorFont probe;
        return probe.Create(20, 400, "FONT1", 0, 0) && probe.HasFile();
    }

    std::string m_root;
    bool m_ready = false;
    bool m_failed = false;
    std::map<int, std::unique_ptr<CMneVectorFont>> m_fonts;
};

void DrawLabel(Canvas& c, const std::string& utf8, uint32_t rgb, int size, int x = 0, int y = 0, int w = -1,
               int h = -1) {
    if (utf8.empty()) return;
    MneGlyphSource* font = LabelFont::Get().Font(size);
    if (!font) return;
    const std::string text = Cp949(utf8);
    CMneDC dc;
    dc.Attach(c.Bits(), c.W(), c.H(), 32, 1);
    dc.SelectFont(font);
    // The context takes 0x00BBGGRR.
    dc.SetTextColor(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
    MneRect rect{x, y, w < 0 ? c.W() : x + w, h < 0 ? c.H() : y + h};
    dc.DrawText(text.data(), static_cast<int32_t>(text.size()), &rect, kMneTextCentreX | kMneTextCentreY);
}

// Seven-segment digit d in the cell (x, y, w, h).
void DrawDigit(Canvas& c, int d, double x, double y, double w, double h, agg::rgba8 colour) {
    static const uint8_t kSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
    const double t = std::max(1.5, w * 0.16), m = std::max(1.0, w * 0.14);
    const double l = x + m, r = x + w - m, top = y + m, bot = y + h - m, mid = (top + bot) / 2;
    const double segs[7][4] = {{l, top, r, top},  {r, top, r, mid}, {r, mid, r, bot}, {l, bot, r, bot},
                               {l, mid, l, bot}, {l, top, l, mid}, {l, mid, r, mid}};
    for (int s = 0; s < 7; ++s) {
        if (!(kSegments[d % 10] >> s & 1)) continue;
        agg::path_storage p;
        p.move_to(segs[s][0], segs[s][1]);
        p.line_to(segs[s][2], segs[s][3]);
        c.StrokePath(p, t, colour);
    }
}

// An arrow pointing up in a unit box (0..1), turned by the matrix.
void Arrow(Canvas& c, const agg::trans_affine& m, agg::rgba8 colour, double stem = 0.22) {
    c.Polygon({{0.5, 0.08}, {0.88, 0.5}, {0.5 + stem, 0.5}, {0.5 + stem, 0.92}, {0.5 - stem, 0.92},
               {0.5 - stem, 0.5}, {0.12, 0.5}},
              colour, m);
}

agg::trans_affine UnitBox(double x, double y, double w, double h, double degrees = 0) {
    agg::trans_affine m;
    m *= agg::trans_affine_translation(-0.5, -0.5);
    m *= agg::trans_affine_rotation(degrees * agg::pi / 180.0);
    m *= agg::trans_affine_translation(0.5, 0.5);
    m *= agg::trans_affine_scaling(w, h);
    m *= agg::trans_affine_translation(x, y);
    return m;
}

void Pictogram(Canvas& c, const std::string& shape, agg::rgba8 fg, agg::rgba8 bg) {
    const double w = c.W(), h = c.H(), s = std::min(w, h);
    const double ox = (w - s) / 2, oy = (h - s) / 2;
    const agg::trans_affine box = UnitBox(ox, oy, s, s);
    if (shape == "star") {
        std::vector<std::pair<double, double>> pts;
        for (int i = 0; i < 10; ++i) {
            const double a = -agg::pi / 2 + i * agg::pi / 5, r = i % 2 ? 0.2 : 0.45;
            pts.emplace_back(0.5 + r * std::cos(a), 0.52 + r * std::sin(a));
        }
        c.Polygon(pts, fg, box);
    } else if (shape == "home") {
        c.Polygon({{0.5, 0.1}, {0.9, 0.48}, {0.78, 0.48}, {0.78, 0.9}, {0.22, 0.9}, {0.22, 0.48}, {0.1, 0.48}}, fg, box);
        c.Polygon({{0.42, 0.62}, {0.58, 0.62}, {0.58, 0.9}, {0.42, 0.9}}, bg, box);
    } else if (shape == "folder") {
        c.Polygon({{0.1, 0.25}, {0.42, 0.25}, {0.5, 0.35}, {0.9, 0.35}, {0.9, 0.82}, {0.1, 0.82}}, fg, box);
    } else if (shape == "file") {
        c.Polygon({{0.25, 0.1}, {0.62, 0.1}, {0.78, 0.26}, {0.78, 0.9}, {0.25, 0.9}}, fg, box);
    } else if (shape == "flag") {
        c.Polygon({{0.25, 0.1}, {0.32, 0.1}, {0.32, 0.92}, {0.25, 0.92}}, fg, box);
        c.Polygon({{0.32, 0.12}, {0.85, 0.3}, {0.32, 0.5}}, fg, box);
    } else if (shape == "poi") {
        c.Ellipse(ox + s * 0.5, oy + s * 0.4, s * 0.3, s * 0.3, fg);
        c.Polygon({{0.26, 0.5}, {0.74, 0.5}, {0.5, 0.95}}, fg, box);
        c.Ellipse(ox + s * 0.5, oy + s * 0.4, s * 0.12, s * 0.12, bg);
    } else if (shape == "car") {
        c.Polygon({{0.5, 0.08}, {0.85, 0.9}, {0.5, 0.7}, {0.15, 0.9}}, fg, box);
    } else if (shape == "check") {
        agg::path_storage p;
        double pts[3][2] = {{0.2, 0.52}, {0.42, 0.75}, {0.82, 0.25}};
        for (int i = 0; i < 3; ++i) {
            box.transform(&pts[i][0], &pts[i][1]);
            i ? p.line_to(pts[i][0], pts[i][1]) : p.move_to(pts[i][0], pts[i][1]);
        }
        c.StrokePath(p, s * 0.12, fg);
    } else if (shape == "speaker" || shape == "mute") {
        c.Polygon({{0.12, 0.38}, {0.3, 0.38}, {0.52, 0.18}, {0.52, 0.82}, {0.3, 0.62}, {0.12, 0.62}}, fg, box);
        if (shape == "mute") {
            c.Polygon({{0.6, 0.32}, {0.66, 0.26}, {0.9, 0.68}, {0.84, 0.74}}, fg, box);
            c.Polygon({{0.84, 0.26}, {0.9, 0.32}, {0.66, 0.74}, {0.6, 0.68}}, fg, box);
        } else {
            c.Polygon({{0.62, 0.35}, {0.7, 0.3}, {0.7, 0.7}, {0.62, 0.65}}, fg, box);
            c.Polygon({{0.78, 0.22}, {0.86, 0.17}, {0.86, 0.83}, {0.78, 0.78}}, fg, box);
        }
    } else if (shape == "plus" || shape == "minus") {
        c.Polygon({{0.15, 0.43}, {0.85, 0.43}, {0.85, 0.57}, {0.15, 0.57}}, fg, box);
        if (shape == "plus") c.Polygon({{0.43, 0.15}, {0.57, 0.15}, {0.57, 0.85}, {0.43, 0.85}}, fg, box);
    } else if (shape == "cross") {
        c.Polygon({{0.2, 0.28}, {0.28, 0.2}, {0.8, 0.72}, {0.72, 0.8}}, fg, box);
        c.Polygon({{0.72, 0.2}, {0.8, 0.28}, {0.28, 0.8}, {0.2, 0.72}}, fg, box);
    } else if (shape == "clock") {
        c.Ellipse(ox + s / 2, oy + s / 2, s * 0.42, s * 0.42, fg);
        c.Ellipse(ox + s / 2, oy + s / 2, s * 0.34, s * 0.34, bg);
        c.Polygon({{0.47, 0.22}, {0.53, 0.22}, {0.53, 0.53}, {0.47, 0.53}}, fg, box);
        c.Polygon({{0.47, 0.47}, {0.72, 0.6}, {0.69, 0.66}, {0.47, 0.53}}, fg, box);
    } else if (shape == "camera") {
        c.Ellipse(ox + s / 2, oy + s / 2, s * 0.44, s * 0.44, agg::rgba8(220, 30, 30, 255));
        c.Ellipse(ox + s / 2, oy + s / 2, s * 0.32, s * 0.32, agg::rgba8(255, 255, 255, 255));
        c.Polygon({{0.3, 0.4}, {0.62, 0.4}, {0.62, 0.62}, {0.3, 0.62}}, agg::rgba8(20, 20, 20, 255), box);
        c.Polygon({{0.62, 0.46}, {0.72, 0.4}, {0.72, 0.62}, {0.62, 0.56}}, agg::rgba8(20, 20, 20, 255), box);
    } else {  // "dot" and anything else: a filled circle
        c.Ellipse(ox + s / 2, oy + s / 2, s * 0.35, s * 0.35, fg);
    }
}

struct DrawContext {
    const ImageSpec& desc;
    int variant;
    uint32_t fg = 0xFFFFFF, bg = 0x000000;
    std::string text;
};

bool DrawGenerator(Canvas& c, const DrawContext& d, std::string* error) {
    const ImageSpec& s = d.desc;
    const std::string& g = s.generator;
    const agg::rgba8 fg = Canvas::Rgb(d.fg), bg = Canvas::Rgb(d.bg);
    const double w = c.W(), h = c.H();
    auto arg = [&](const char* key, const std::string& def = "") {
        const auto it = s.args.find(key);
        return it == s.args.end() ? def : it->second;
    };
    const int labelSize = std::clamp(static_cast<int>(h * 0.45), 10, 32);
    if (g == "solid") {
        c.Clear(d.bg);
    } else if (g == "button" || g == "key") {
        // States: normal, pressed (darker, inset), dimmed (greyed), active (lit border).
        const std::string state = arg("state", "normal");
        c.Clear(d.bg, 0);
        uint32_t face = d.bg;
        auto scale = [](uint32_t rgb, double f) {
            uint32_t out = 0;
            for (int sh = 0; sh <= 16; sh += 8)
                out |= static_cast<uint32_t>(std::clamp(((rgb >> sh) & 0xFF) * f, 0.0, 255.0)) << sh;
            return out;
        };
        if (state == "pressed") face = scale(face, 0.7);
        if (state == "dimmed") face = 0x808080;
        const double r = std::min(w, h) * 0.18;
        c.RoundRect(0.5, 0.5, w - 0.5, h - 0.5, r, Canvas::Rgb(state == "active" ? 0xFFC000 : scale(face, 0.6)));
        c.RoundRect(2.5, 2.5, w - 2.5, h - 2.5, r - 2, Canvas::Rgb(face));
        c.RoundRect(3.5, 3.5, w - 3.5, h / 2, r - 3, Canvas::Rgb(scale(face, 1.25), 110));
        DrawLabel(c, d.text, state == "dimmed" ? 0xC0C0C0 : d.fg, labelSize, 0, state == "pressed" ? 1 : 0);
    } else if (g == "frame") {
        c.Clear(d.bg, 0);
        const double r = std::min({w, h, 24.0}) * 0.5;
        c.RoundRect(0.5, 0.5, w - 0.5, h - 0.5, r, fg);
        c.RoundRect(3, 3, w - 3, h - 3, std::max(0.0, r - 3), bg);
        DrawLabel(c, d.text, d.fg, std::min(labelSize, 24));
    } else if (g == "row") {
        c.Clear(d.bg);
        c.RoundRect(0, h - 2, w, h, 0, fg);
        DrawLabel(c, d.text, d.fg, std::min(labelSize, 22));
    } else if (g == "piece") {
        // Piece n of a dynamic panel frame: 0..2 a one-column frame (top,
        // middle, bottom), 3..11 the 3 x 3 grid; each cut from one whole frame.
        int n = 0;
        ToInt(arg("piece", std::to_string(s.index)), n);
        const bool column = n < 3;
        const int col = column ? 0 : (n - 3) % 3, row = column ? n : (n - 3) / 3;
        const int cols = column ? 1 : 3;
        Canvas whole(c.W() * cols, c.H() * 3);
        whole.Clear(d.bg, 0);
        whole.RoundRect(0.5, 0.5, whole.W() - 0.5, whole.H() - 0.5, std::min(w, h) * 0.6, fg);
        whole.RoundRect(3, 3, whole.W() - 3, whole.H() - 3, std::min(w, h) * 0.6 - 3, bg);
        for (int y = 0; y < c.H(); ++y)
            std::memcpy(c.Bits() + static_cast<size_t>(y) * c.W() * 4,
                        whole.Bits() + (static_cast<size_t>(row * c.H() + y) * whole.W() + col * c.W()) * 4,
                        static_cast<size_t>(c.W()) * 4);
    } else if (g == "arrow" || g == "turn") {
        c.Clear(d.bg, 0);
        // Turn pictograms by series index: straight, right, left, sharp
        // right, sharp left, slight right, slight left, U-turn, and round.
        static const double kTurnDegrees[] = {0, 90, -90, 135, -135, 45, -45, 180, 0};
        double degrees = 0;
        const std::string dir = arg("dir", "up");
        if (g == "turn")
            degrees = kTurnDegrees[s.index % 9];
        else
            degrees = dir == "right" ? 90 : dir == "down" ? 180 : dir == "left" ? -90 : 0;
        Arrow(c, UnitBox(0, 0, w, h, degrees), fg);
    } else if (g == "compass") {
        // Needle for heading index x 15 degrees (the map turned the other way).
        c.Clear(d.bg, 0);
        c.Ellipse(w / 2, h / 2, w * 0.46, h * 0.46, bg);
        const double degrees = -360.0 * s.index / std::max(1, s.count);
        c.Polygon({{0.5, 0.1}, {0.62, 0.5}, {0.38, 0.5}}, Canvas::Rgb(0xE02020), UnitBox(0, 0, w, h, degrees));
        c.Polygon({{0.5, 0.9}, {0.62, 0.5}, {0.38, 0.5}}, fg, UnitBox(0, 0, w, h, degrees));
    } else if (g == "bars") {
        // Series index = bars lit (GPS satellites, volume level).
        c.Clear(d.bg, 0);
        const int n = std::max(1, s.count - 1);
        const double bw = w / (n * 1.5);
        for (int i = 0; i < n; ++i) {
            const double bh = h * (0.25 + 0.75 * (i + 1) / n);
            c.RoundRect(i * bw * 1.5, h - bh, i * bw * 1.5 + bw, h, 1, i < s.index ? fg : Canvas::Rgb(d.bg, 160));
        }
    } else if (g == "level") {
        // A scale-level cell: series index + 1 filled steps of the count.
        c.Clear(d.bg, 0);
        const int n = std::max(1, s.count);
        const double step = w / n;
        for (int i = 0; i < n; ++i)
            c.RoundRect(i * step + 1, h * 0.2, (i + 1) * step - 1, h * 0.8, 1, i <= s.index ? fg : Canvas::Rgb(d.fg, 60));
    } else if (g == "digits") {
        // A strip of 10 equal cells, 0..9.
        c.Clear(d.bg, arg("opaque") == "1" ? 255 : 0);
        const double cell = w / 10.0;
        for (int digit = 0; digit < 10; ++digit) DrawDigit(c, digit, digit * cell, 0, cell, h, fg);
    } else if (g == "gradient") {
        const int top = std::clamp(std::atoi(arg("from", "255").c_str()), 0, 255);
        const int bottom = std::clamp(std::atoi(arg("to", "0").c_str()), 0, 255);
        c.Gradient(d.fg, d.bg, top, bottom);
    } else if (g == "icon") {
        c.Clear(d.bg, arg("opaque") == "1" ? 255 : 0);
        Pictogram(c, arg("shape", "dot"), fg, bg);
    } else if (g == "lane") {
        // Lane cell: straight (bit 0), left (bit 1), right (bit 2) arrows.
        c.Clear(d.bg);
        int code = 1;
        ToInt(arg("code", std::to_string(s.index)), code);
        const agg::rgba8 arrow = Canvas::Rgb(d.fg);
        if (code & 1) Arrow(c, UnitBox(w * 0.2, h * 0.05, w * 0.6, h * 0.9, 0), arrow, 0.12);
        if (code & 2) Arrow(c, UnitBox(0, h * 0.2, w * 0.6, h * 0.6, -60), arrow, 0.12);
        if (code & 4) Arrow(c, UnitBox(w * 0.4, h * 0.2, w * 0.6, h * 0.6, 60), arrow, 0.12);
    } else if (g == "photo") {
        // A small landscape for the JPEG entries: sky, hills, sun.
        c.Gradient(d.bg, 0xFFFFFF, 255, 255);
        c.Ellipse(w * 0.75, h * 0.3, h * 0.14, h * 0.14, Canvas::Rgb(0xFFD040));
        c.Polygon({{0, 0.75}, {0.3, 0.45}, {0.55, 0.7}, {0.8, 0.5}, {1, 0.7}, {1, 1}, {0, 1}}, fg, UnitBox(0, 0, w, h));
    } else if (g == "label") {
        c.Clear(d.bg, arg("opaque") == "1" ? 255 : 0);
        DrawLabel(c, d.text, d.fg, std::min(labelSize, 24));
    } else if (g == "area") {
        c.Clear(d.bg, 0);
    } else {
        return Fail(error, "image " + s.name + ": unknown generator " + g);
    }
    return true;
}

// Canvas to RGB565 (and a transparency plane for alpha images, the colour
// key for keyed images, a blend over the background for others).
void ToPicture(Canvas& c, const ImageSpec& s, uint32_t background, Picture& out) {
    out.width = c.W();
    out.height = c.H();
    out.pixels.assign(static_cast<size_t>(c.W()) * c.H(), 0);
    out.alpha.clear();
    const bool alpha = s.kind == 4;
    if (alpha) out.alpha.assign(out.pixels.size(), 0);
    const bool keyed = s.drawFlags & 1;
    for (size_t i = 0; i < out.pixels.size(); ++i) {
        const uint8_t* p = c.Bits() + i * 4;
        int r = p[2], g = p[1], b = p[0];
        const int a = p[3];
        if (!alpha && !(keyed && a < 128)) {
            // Straight alpha over the background colour.
            r = (r * a + static_cast<int>((background >> 16) & 0xFF) * (255 - a)) / 255;
            g = (g * a + static_cast<int>((background >> 8) & 0xFF) * (255 - a)) / 255;
            b = (b * a + static_cast<int>(background & 0xFF) * (255 - a)) / 255;
        }
        uint16_t v = static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
        // A drawn pixel never takes the key colour by accident.
        if (v == 0xF81F) v = 0xF81E;
        if (keyed && a < 128) v = 0xF81F;
        out.pixels[i] = v;
        if (alpha) out.alpha[i] = Transparency565(255 - a);
    }
}

}  // namespace

bool DrawImage(const UiSource& source, const ImageSpec& desc, int variant, Picture& out, std::string* error) {
    DrawContext d{desc, variant, 0xFFFFFF, 0x000000, {}};
    auto colour = [&](const char* key, uint32_t& value) {
        const auto it = desc.args.find(key);
        if (it == desc.args.end()) return true;
        const std::string& text = it->second;
        if (text.size() == 7 && text[0] == '#') {
            value = static_cast<uint32_t>(std::strtoul(text.c_str() + 1, nullptr, 16));
            return true;
        }
        const auto p = source.palette[variant].find(text);
        if (p == source.palette[variant].end())
            return Fail(error, "image " + desc.name + ": no colour \"" + text + "\"");
        value = p->second;
        return true;
    };
    if (!colour("fg", d.fg) || !colour("bg", d.bg)) return false;
    if (const auto it = desc.args.find("text"); it != desc.args.end()) d.text = it->second;
    // labels=A|B|C: the label of each image of a series.
    if (const auto it = desc.args.find("labels"); it != desc.args.end()) {
        std::stringstream ss(it->second);
        std::string label;
        for (int i = 0; std::getline(ss, label, '|'); ++i)
            if (i == desc.index) d.text = label;
    }
    Canvas c(desc.width, desc.height);
    if (!DrawGenerator(c, d, error)) return false;
    uint32_t under = d.bg;
    colour("under", under);
    ToPicture(c, desc, under, out);
    return true;
}

// ---------------------------------------------------------------- writing

namespace {

bool WriteFile(const std::string& root, const std::string& windowsName, const void* data, size_t size,
               std::string* error) {
    const std::string path = platform::ResolveUnder(root, windowsName);
    platform::MakeDirectories(std::filesystem::path(path).parent_path().string());
    if (!platform::AtomicReplaceFile(path, data, size, error)) return Fail(error, "cannot write " + path);
    return true;
}

bool PackageEntry(const UiSource& source, const ImageSpec& s, int variant, UiPackageEntry& e, std::string* error) {
    e.kind = static_cast<uint32_t>(s.kind);
    e.width = static_cast<uint16_t>(s.width);
    e.height = static_cast<uint16_t>(s.height);
    e.drawFlags = s.drawFlags;
    e.blendLevel = s.blendLevel;
    e.frameDelayMs = s.frameDelayMs;
    e.frameCount = static_cast<uint8_t>(s.frameCount);
    if (s.kind == 1) return true;
    Picture picture;
    if (!DrawImage(source, s, variant, picture, error)) return false;
    e.data = s.kind == 5 ? BuildMbdfJpeg(s.width, s.height, EncodeJpeg565(picture)) : BuildMbdf(picture);
    return true;
}

}  // namespace

bool WriteUiResources(const UiSource& source, const std::string& root, std::string* error) {
    std::map<std::string, std::string> files;
    if (!BuildScriptFiles(source.tables, files, error)) return false;
    for (const auto& [name, text] : files)
        if (!WriteFile(root, "UI\\" + name, text.data(), text.size(), error)) return false;
    LabelFont::Get().SetRoot(root);

    // Package 1 (one colour) and package 2 (both colours, with names).
    for (int package = 1; package <= 2; ++package) {
        int highest = 0;
        std::vector<std::pair<std::string, int>> names;
        for (const ImageSpec& s : source.images) {
            if (s.id / 2000 + 1 != package) continue;
            highest = std::max(highest, s.id % 2000);
            names.emplace_back(s.name, s.id % 2000);
        }
        for (int variant = 0; variant < (package == 1 ? 1 : 2); ++variant) {
            std::vector<UiPackageEntry> entries(static_cast<size_t>(highest));
            for (const ImageSpec& s : source.images)
                if (s.id / 2000 + 1 == package &&
                    !PackageEntry(source, s, variant, entries[static_cast<size_t>(s.id % 2000 - 1)], error))
                    return false;
            const std::vector<uint8_t> data = BuildUiPackage(entries);
            char name[64];
            std::snprintf(name, sizeof name, "UI\\uiscript_resource%03d_cr%02d.dat", package, variant + 1);
            if (!WriteFile(root, name, data.data(), data.size(), error)) return false;
            if (package == 2) {
                const std::string table = BuildNameTable(names, error);
                if (table.empty()) return false;
                std::snprintf(name, sizeof name, "UI\\uiscript_resource%03d_cr%02d.idx", package, variant + 1);
                if (!WriteFile(root, name, table.data(), table.size(), error)) return false;
            }
        }
    }

    for (const PackSpec& pack : source.packs) {
        int highest = 0;
        std::vector<std::pair<std::string, int>> names;
        for (const auto& [entry, s] : pack.images) {
            highest = std::max(highest, entry);
            names.emplace_back(s.name, entry);
        }
        std::vector<NamedEntry> entries(static_cast<size_t>(highest));
        for (const auto& packed : pack.images) {
            const int entry = packed.first;
            const ImageSpec& s = packed.second;
            NamedEntry& e = entries[static_cast<size_t>(entry - 1)];
            const auto at = [&s](const char* key) {
                const auto it = s.args.find(key);
                return it == s.args.end() ? 0 : std::atoi(it->second.c_str());
            };
            e.x = static_cast<uint16_t>(at("x"));
            e.y = static_cast<uint16_t>(at("y"));
            e.width = static_cast<uint16_t>(s.width);
            e.height = static_cast<uint16_t>(s.height);
            Picture picture;
            if (!DrawImage(source, s, 0, picture, error)) return false;
            const bool jpeg = s.args.count("jpeg") != 0;
            e.kind = jpeg ? 2 : 1;
            e.data = jpeg ? EncodeJpeg565(picture) : BuildMbdf(picture);
        }
        const std::vector<uint8_t> data = BuildNamedPackage(entries);
        const std::string table = BuildNameTable(names, error);
        if (table.empty() || !WriteFile(root, pack.path, data.data(), data.size(), error) ||
            !WriteFile(root, pack.names, table.data(), table.size(), error))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------- contact sheet

namespace {

void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

// An RGB PNG (zlib-packed rows).
std::vector<uint8_t> EncodePngRgb(const std::vector<uint8_t>& rgb, int width, int height) {
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(width * 3 + 1) * height);
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), rgb.begin() + static_cast<ptrdiff_t>(y) * width * 3,
                   rgb.begin() + static_cast<ptrdiff_t>(y + 1) * width * 3);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6);
    packed.resize(packedSize);
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&](const char* type, const std::vector<uint8_t>& body) {
        PutBe32(png, static_cast<uint32_t>(body.size()));
        const size_t start = png.size();
        png.insert(png.end(), type, type + 4);
        png.insert(png.end(), body.begin(), body.end());
        PutBe32(png, static_cast<uint32_t>(crc32(0, png.data() + start, static_cast<uInt>(png.size() - start))));
    };
    std::vector<uint8_t> header;
    PutBe32(header, static_cast<uint32_t>(width));
    PutBe32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});
    chunk("IHDR", header);
    chunk("IDAT", packed);
    chunk("IEND", {});
    return png;
}

}  // namespace

std::vector<uint8_t> BuildContactSheet(const UiSource& source, std::string* error) {
    // Each tile: its id in digits, and under it the picture over a chequer
    // board (so transparency shows), scaled down to fit 128 x 96.
    constexpr int kTileW = 136, kTileH = 120, kCols = 10, kPicW = 128, kPicH = 96, kIdH = 18;
    struct Tile {
        Picture picture;
        int id;
        bool keyed;
    };
    std::vector<Tile> tiles;
    for (int variant = 0; variant < 2; ++variant)
        for (const ImageSpec& s : source.images) {
            if (variant == 1 && s.id < 2000) continue;
            Tile t{{}, s.id, (s.drawFlags & 1) != 0};
            if (s.kind == 1) {
                t.picture.width = 1;
                t.picture.height = 1;
                t.picture.pixels = {0xF81F};
            } else if (!DrawImage(source, s, variant, t.picture, error)) {
                return {};
            }
            tiles.push_back(std::move(t));
        }
    for (const PackSpec& pack : source.packs)
        for (const auto& [entry, s] : pack.images) {
            Tile t{{}, entry, false};
            if (!DrawImage(source, s, 0, t.picture, error)) return {};
            tiles.push_back(std::move(t));
        }
    const int rows = static_cast<int>((tiles.size() + kCols - 1) / kCols);
    const int width = kCols * kTileW, height = std::max(1, rows) * kTileH;
    Canvas sheet(width, height);
    sheet.Clear(0x303030);
    for (size_t i = 0; i < tiles.size(); ++i) {
        const Tile& t = tiles[i];
        const int tx = static_cast<int>(i % kCols) * kTileW + 4, ty = static_cast<int>(i / kCols) * kTileH + 4;
        const double scale = std::min({1.0, static_cast<double>(kPicW) / t.picture.width,
                                       static_cast<double>(kPicH) / t.picture.height});
        const int pw = std::max(1, static_cast<int>(t.picture.width * scale));
        const int ph = std::max(1, static_cast<int>(t.picture.height * scale));
        for (int y = 0; y < ph; ++y)
            for (int x = 0; x < pw; ++x) {
                const size_t src = static_cast<size_t>(y / scale) * t.picture.width + static_cast<size_t>(x / scale);
                const uint16_t v = t.picture.pixels[src];
                const bool chequer = ((x / 8) + (y / 8)) % 2;
                int r = (v >> 11) << 3, g = ((v >> 5) & 0x3F) << 2, b = (v & 0x1F) << 3;
                int clear = 0;  // 0..32: background share
                if (!t.picture.alpha.empty()) {
                    const uint16_t a = t.picture.alpha[src];
                    clear = (a & 0x1F) ? (a & 0x1F) + 1 : 0;
                }
                if (t.keyed && v == 0xF81F) clear = 32;
                const int under = chequer ? 200 : 150;
                r = (r * (32 - clear) + under * clear) / 32;
                g = (g * (32 - clear) + under * clear) / 32;
                b = (b * (32 - clear) + under * clear) / 32;
                uint8_t* p = sheet.Bits() + (static_cast<size_t>(ty + kIdH + y) * width + tx + x) * 4;
                p[0] = static_cast<uint8_t>(b);
                p[1] = static_cast<uint8_t>(g);
                p[2] = static_cast<uint8_t>(r);
                p[3] = 255;
            }
        const std::string digits = std::to_string(t.id);
        for (size_t k = 0; k < digits.size(); ++k)
            DrawDigit(sheet, digits[k] - '0', tx + static_cast<double>(k) * 9, ty, 9, 14,
                      agg::rgba8(255, 255, 255, 255));
    }
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        rgb[3 * i] = sheet.Bits()[4 * i + 2];
        rgb[3 * i + 1] = sheet.Bits()[4 * i + 1];
        rgb[3 * i + 2] = sheet.Bits()[4 * i];
    }
    return EncodePngRgb(rgb, width, height);
}

// ---------------------------------------------------------------- demo

std::string FindDemoUiSource() { return writers::FindSourceTreeFile("tools/demo_ui/demo_ui.txt"); }

bool WriteDemoUi(const std::string& root, std::string* error) {
    const std::string path = FindDemoUiSource();
    std::vector<uint8_t> bytes;
    if (path.empty() || !platform::ReadWholeFile(path, bytes, error))
        return Fail(error, "demo UI source tools/demo_ui/demo_ui.txt not found");
    UiSource source;
    if (!ParseUiSource(std::string(bytes.begin(), bytes.end()), source, error)) {
        if (error) *error = path + ": " + *error;
        return false;
    }
    return WriteUiResources(source, root, error);
}

}  // namespace uiwriter
