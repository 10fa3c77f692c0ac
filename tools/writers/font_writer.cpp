#include "tools/writers/font_writer.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <agg_conv_curve.h>
#include <agg_path_storage_integer.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_renderer_scanline.h>
#include <agg_scanline_storage_aa.h>
#include <agg_scanline_u.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/file_io.h"

namespace fontwriter {
namespace {

constexpr uint32_t kHeaderSize = 56;

void SetError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

}  // namespace

std::vector<uint8_t> BuildFontFile(const FontDesc& desc, std::string* error) {
    if (desc.faceName.empty() || desc.faceName.size() > 64) {
        SetError(error, "face name must be 1 to 64 bytes");
        return {};
    }
    std::vector<const Glyph*> glyphs;
    for (const Glyph& g : desc.glyphs) glyphs.push_back(&g);
    std::sort(glyphs.begin(), glyphs.end(), [](const Glyph* a, const Glyph* b) { return a->code < b->code; });
    uint32_t maxGlyph = 0;
    for (size_t i = 0; i < glyphs.size(); ++i) {
        if (i > 0 && glyphs[i]->code == glyphs[i - 1]->code) {
            SetError(error, "duplicate glyph code");
            return {};
        }
        if (glyphs[i]->data.size() > 0xFFFF) {
            SetError(error, "glyph data above 65535 bytes");
            return {};
        }
        maxGlyph = std::max<uint32_t>(maxGlyph, static_cast<uint32_t>(glyphs[i]->data.size()));
    }
    // Runs of consecutive codes: [begin, end) into glyphs.
    std::vector<std::pair<size_t, size_t>> runs;
    for (size_t i = 0; i < glyphs.size(); ++i) {
        if (runs.empty() || glyphs[i]->code != glyphs[i - 1]->code + 1) runs.push_back({i, i});
        runs.back().second = i + 1;
    }

    const uint32_t nameOffset = kHeaderSize;
    const uint32_t rangeOffset = (nameOffset + static_cast<uint32_t>(desc.faceName.size()) + 3) & ~3u;
    const uint32_t recordsOffset = rangeOffset + static_cast<uint32_t>(runs.size()) * 8;
    const uint32_t residentSize = recordsOffset + static_cast<uint32_t>(glyphs.size()) * 8;

    platform::ByteWriter w;
    w.Bytes(desc.bitmap ? "FBNM" : "FVNM", 4);
    w.U16(1);
    w.U16(4);
    w.U32(kHeaderSize);
    w.U32(residentSize);
    w.U32(maxGlyph);
    w.I32(desc.height);
    w.I32(desc.width);
    w.I32(desc.descent);
    w.U32(static_cast<uint32_t>(desc.faceName.size()));
    w.U32(nameOffset);
    w.U32(0);  // not read
    w.U32(0);  // no further resident section
    w.U32(static_cast<uint32_t>(runs.size()));
    w.U32(rangeOffset);
    w.Bytes(desc.faceName.data(), desc.faceName.size());
    w.Zeros(rangeOffset - w.Size());

    uint32_t record = recordsOffset;
    for (const auto& [begin, end] : runs) {
        w.U16(glyphs[begin]->code);
        w.U16(glyphs[end - 1]->code);
        w.U32(record);
        record += static_cast<uint32_t>(end - begin) * 8;
    }
    uint32_t dataOffset = residentSize;
    for (const Glyph* g : glyphs) {
        w.U8(g->advance);
        w.U8(g->height);
        w.U16(static_cast<uint16_t>(g->data.size()));
        w.U32(g->data.empty() ? 0 : dataOffset);
        dataOffset += static_cast<uint32_t>(g->data.size());
    }
    for (const Glyph* g : glyphs) w.Bytes(g->data.data(), g->data.size());
    return std::move(w.Data());
}

bool WriteFontFile(const std::string& nativePath, const FontDesc& desc, std::string* error) {
    const std::vector<uint8_t> bytes = BuildFontFile(desc, error);
    if (bytes.empty()) return false;
    return platform::AtomicReplaceFile(nativePath, bytes, error);
}

void OutlineBuilder::Add(double x, double y, unsigned command) {
    // 1/64 pixel; the shifted value must still fit 16 bits.
    auto quantise = [](double v) {
        const long q = std::lround(v * 64.0);
        return static_cast<int>(std::clamp<long>(q, -16384, 16383));
    };
    const auto xs = static_cast<uint16_t>((static_cast<unsigned>(quantise(x)) << 1) | (command & 1));
    const auto ys = static_cast<uint16_t>((static_cast<unsigned>(quantise(y)) << 1) | (command >> 1));
    m_data.push_back(static_cast<uint8_t>(xs));
    m_data.push_back(static_cast<uint8_t>(xs >> 8));
    m_data.push_back(static_cast<uint8_t>(ys));
    m_data.push_back(static_cast<uint8_t>(ys >> 8));
}

void OutlineBuilder::Polygon(const std::vector<std::pair<double, double>>& points) {
    for (size_t i = 0; i < points.size(); ++i) {
        if (i == 0) {
            MoveTo(points[i].first, points[i].second);
        } else {
            LineTo(points[i].first, points[i].second);
        }
    }
}

void OutlineBuilder::Rect(double x1, double y1, double x2, double y2) {
    // Down the left side first: the way round converted outlines run.
    Polygon({{x1, y1}, {x1, y2}, {x2, y2}, {x2, y1}});
}

std::vector<uint8_t> RasteriseOutline(const std::vector<uint8_t>& outline) {
    if (outline.empty() || outline.size() % 4 != 0) return {};
    agg::serialized_integer_path_adaptor<agg::int16, 6> path;
    path.init(outline.data(), static_cast<unsigned>(outline.size()), 0.0, 0.0, 1.0);
    agg::conv_curve<agg::serialized_integer_path_adaptor<agg::int16, 6>> curve(path);
    agg::rasterizer_scanline_aa<> ras;
    ras.add_path(curve);
    agg::scanline_u8 sl;
    agg::scanline_storage_aa8 storage;
    agg::render_scanlines(ras, sl, storage);
    if (!storage.rewind_scanlines()) return {};  // nothing covered
    std::vector<uint8_t> out(storage.byte_size());
    storage.serialize(out.data());
    return out;
}

std::vector<std::pair<uint16_t, char16_t>> Cp949Codes() {
    std::vector<std::pair<uint16_t, char16_t>> codes;
    for (unsigned c = 0x20; c < 0x7F; ++c) codes.push_back({static_cast<uint16_t>(c), static_cast<char16_t>(c)});
    std::u16string utf16;
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        for (unsigned trail = 0x41; trail <= 0xFE; ++trail) {
            const bool trailOk = (trail <= 0x5A) || (trail >= 0x61 && trail <= 0x7A) || trail >= 0x81;
            if (!trailOk) continue;
            const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            if (!platform::Cp949ToUtf16(std::string_view(bytes, 2), utf16) || utf16.size() != 1) continue;
            codes.push_back({static_cast<uint16_t>(lead << 8 | trail), utf16[0]});
        }
    }
    return codes;
}

namespace {

struct FtLibrary {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    ~FtLibrary() {
        if (face) FT_Done_Face(face);
        if (lib) FT_Done_FreeType(lib);
    }
};

// FreeType outlines are in 26.6 pixels with y growing upwards. Turning y
// downwards mirrors them, and the text drawing's contour stage thickens an
// outline for a width above the design width only when its contours run
// the other way round: each contour is written reversed.
struct Decomposer {
    struct Point {
        double x, y;
    };
    // One segment of the contour: its kind (1 line, 2 conic, 3 cubic), its
    // control points and its end.
    struct Segment {
        int kind;
        std::vector<Point> points;
    };

    OutlineBuilder out;
    Point start{};
    std::vector<Segment> segments;

    static Point P(const FT_Vector* v) { return {v->x / 64.0, -v->y / 64.0}; }

    // Writes the contour gathered so far from its end back to its start.
    void Flush() {
        if (segments.empty()) return;
        out.MoveTo(segments.back().points.back().x, segments.back().points.back().y);
        for (size_t k = segments.size(); k-- > 0;) {
            const Segment& s = segments[k];
            const Point to = k == 0 ? start : segments[k - 1].points.back();
            // The controls in reverse order, then the segment's start.
            std::vector<Point> back(s.points.rbegin() + 1, s.points.rend());
            if (s.kind == 1) {
                out.LineTo(to.x, to.y);
            } else if (s.kind == 2) {
                out.Curve3(back[0].x, back[0].y, to.x, to.y);
            } else {
                out.Curve4(back[0].x, back[0].y, back[1].x, back[1].y, to.x, to.y);
            }
        }
        segments.clear();
    }
    static int Move(const FT_Vector* to, void* user) {
        auto* d = static_cast<Decomposer*>(user);
        d->Flush();
        d->start = P(to);
        return 0;
    }
    static int Line(const FT_Vector* to, void* user) {
        static_cast<Decomposer*>(user)->segments.push_back({1, {P(to)}});
        return 0;
    }
    static int Conic(const FT_Vector* c, const FT_Vector* to, void* user) {
        static_cast<Decomposer*>(user)->segments.push_back({2, {P(c), P(to)}});
        return 0;
    }
    static int Cubic(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
        static_cast<Decomposer*>(user)->segments.push_back({3, {P(c1), P(c2), P(to)}});
        return 0;
    }
};

}  // namespace

bool ConvertTrueType(const TrueTypeOptions& options, FontDesc& out, std::string* error) {
    out = FontDesc{};
    if (options.height <= 0 || options.height > 200) {
        SetError(error, "height must be 1 to 200 pixels");
        return false;
    }
    FtLibrary ft;
    if (FT_Init_FreeType(&ft.lib) != 0) {
        SetError(error, "FreeType cannot start");
        return false;
    }
    if (FT_New_Face(ft.lib, options.ttfPath.c_str(), 0, &ft.face) != 0) {
        SetError(error, "cannot open " + options.ttfPath);
        return false;
    }
    if (FT_Set_Pixel_Sizes(ft.face, 0, static_cast<FT_UInt>(options.height)) != 0) {
        SetError(error, "cannot size the font");
        return false;
    }
    const FT_Size_Metrics& m = ft.face->size->metrics;
    const int ascent = static_cast<int>((m.ascender + 63) / 64);
    const int descent = static_cast<int>((-m.descender + 63) / 64);
    const int lineHeight = std::clamp(ascent + descent, 1, 255);

    out.bitmap = options.bitmap;
    out.faceName = options.faceName;
    out.height = options.height;
    out.width = options.width;
    out.descent = descent;

    std::vector<std::pair<uint16_t, char16_t>> codes = Cp949Codes();
    if (!options.codes.empty()) {
        // A sorted copy: a full code page against a few thousand wanted
        // codes would otherwise cost tens of millions of comparisons.
        std::vector<uint16_t> sorted = options.codes;
        std::sort(sorted.begin(), sorted.end());
        std::vector<std::pair<uint16_t, char16_t>> wanted;
        for (const auto& c : codes) {
            if (std::binary_search(sorted.begin(), sorted.end(), c.first)) {
                wanted.push_back(c);
            }
        }
        codes = std::move(wanted);
    }
    // Outlines unhinted (they are scaled later); bitmap glyphs hinted at
    // their one size.
    const FT_Int32 loadFlags = FT_LOAD_NO_BITMAP | (options.bitmap ? FT_LOAD_DEFAULT : FT_LOAD_NO_HINTING);
    FT_Outline_Funcs funcs{};
    funcs.move_to = &Decomposer::Move;
    funcs.line_to = &Decomposer::Line;
    funcs.conic_to = &Decomposer::Conic;
    funcs.cubic_to = &Decomposer::Cubic;
    for (const auto& [code, ch] : codes) {
        const FT_UInt index = FT_Get_Char_Index(ft.face, ch);
        if (index == 0) continue;
        if (FT_Load_Glyph(ft.face, index, loadFlags) != 0) continue;
        const FT_GlyphSlot slot = ft.face->glyph;
        if (slot->format != FT_GLYPH_FORMAT_OUTLINE) continue;
        Decomposer d;
        if (FT_Outline_Decompose(&slot->outline, &funcs, &d) != 0) continue;
        d.Flush();
        Glyph g;
        g.code = code;
        g.advance = static_cast<uint8_t>(std::clamp<long>(std::lround(slot->advance.x / 64.0), 0, 255));
        g.height = static_cast<uint8_t>(lineHeight);
        g.data = options.bitmap ? RasteriseOutline(d.out.Data()) : d.out.Data();
        if (g.data.size() > 0xFFFF) continue;  // cannot be stored; the character is left out
        out.glyphs.push_back(std::move(g));
    }
    if (out.glyphs.empty()) {
        SetError(error, "the font covers none of the characters");
        return false;
    }
    return true;
}

}  // namespace fontwriter
