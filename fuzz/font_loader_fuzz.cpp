// Font files: the input is a whole "FVNM" / "FBNM" file. Whatever the
// loader accepts is then drawn, glyph by glyph, through the Anti-Grain
// Geometry adaptors the drawing context uses, so a check that lets damaged
// glyph data through shows up as a read outside the data.
#include <agg_conv_curve.h>
#include <agg_path_storage_integer.h>
#include <agg_pixfmt_rgb_packed.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_renderer_base.h>
#include <agg_renderer_scanline.h>
#include <agg_rendering_buffer.h>
#include <agg_scanline_p.h>
#include <agg_scanline_storage_aa.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/byte_cursor.h"
#include "render/vector_font.h"

namespace {

constexpr int kSide = 64;

void DrawGlyph(bool bitmap, const uint8_t* data, size_t size, double scale) {
    static uint16_t pixels[kSide * kSide];
    agg::rendering_buffer rbuf(reinterpret_cast<agg::int8u*>(pixels), kSide, kSide, kSide * 2);
    agg::pixfmt_rgb565 pixf(rbuf);
    agg::renderer_base<agg::pixfmt_rgb565> base(pixf);
    agg::scanline_p8 sl;
    const agg::rgba8 colour(255, 255, 255);
    if (bitmap) {
        agg::serialized_scanlines_adaptor_aa8 image(data, static_cast<unsigned>(size), 8.0, 48.0);
        agg::render_scanlines_aa_solid(image, sl, base, colour);
        return;
    }
    agg::serialized_integer_path_adaptor<agg::int16, 6> path;
    path.init(data, static_cast<unsigned>(size), 8.0, 48.0, scale);
    agg::conv_curve<agg::serialized_integer_path_adaptor<agg::int16, 6>> curve(path);
    agg::rasterizer_scanline_aa<> ras;
    ras.clip_box(0, 0, kSide, kSide);
    ras.add_path(curve);
    agg::render_scanlines_aa_solid(ras, sl, base, colour);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The glyph checks on their own, over the raw input.
    if (IsValidVectorGlyph(data, size)) DrawGlyph(false, data, size, 0.25);
    if (IsValidBitmapGlyph(data, size)) DrawGlyph(true, data, size, 1.0);

    FontFilePreamble pre;
    if (!ParseFontPreamble(data, size, pre)) return 0;
    platform::ByteReader r(data, size);
    r.Seek(fontfile::kResidentSize);
    const uint32_t residentSize = r.U32();
    if (!r.Ok() || residentSize > size) return 0;
    FontFileIndex index;
    if (!ParseFontResident(std::vector<uint8_t>(data, data + residentSize), size, index)) return 0;

    // Every glyph the index hands out, as the font would read it.
    int drawn = 0;
    for (const FontFileIndex::Range& range : index.ranges) {
        for (uint32_t code = range.first; code <= range.last && drawn < 512; ++code, ++drawn) {
            FontFileIndex::Glyph glyph;
            if (!index.FindGlyph(code, glyph) || glyph.dataLength == 0) continue;
            const uint8_t* glyphData = data + glyph.dataOffset;  // checked to lie inside the file
            const bool valid = index.bitmap ? IsValidBitmapGlyph(glyphData, glyph.dataLength)
                                            : IsValidVectorGlyph(glyphData, glyph.dataLength);
            if (valid) DrawGlyph(index.bitmap, glyphData, glyph.dataLength, 0.5);
        }
    }
    return 0;
}
