#include "render/font_text.h"

#include <agg_conv_contour.h>
#include <agg_conv_curve.h>
#include <agg_path_storage_integer.h>
#include <agg_pixfmt_rgb_packed.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_renderer_base.h>
#include <agg_renderer_scanline.h>
#include <agg_rendering_buffer.h>
#include <agg_scanline_p.h>
#include <agg_scanline_storage_aa.h>
#include <agg_scanline_u.h>

#include <cmath>
#include <cstddef>

#include "render/vector_font.h"

namespace {

using PathAdaptor = agg::serialized_integer_path_adaptor<agg::int16, 6>;
using Base = agg::renderer_base<agg::pixfmt_rgb565>;

// Adds one outline at (x, y) with the font's scale; a weight factor beyond
// 0.01 thickens (or thins) it through a contour.
void AddOutline(agg::rasterizer_scanline_aa<>& ras, const uint8_t* data, int32_t size, double x, double y,
                double scale, double weight, int32_t glyphHeight) {
    PathAdaptor path;
    path.init(data, static_cast<unsigned>(size), x, y, scale);
    agg::conv_curve<PathAdaptor> curve(path);
    if (std::fabs(weight) > 0.01) {
        agg::conv_contour<agg::conv_curve<PathAdaptor>> contour(curve);
        contour.width(-weight * glyphHeight * 0.05);
        contour.auto_detect_orientation(true);
        ras.add_path(contour);
    } else {
        ras.add_path(curve);
    }
}

void DrawImage(Base& base, const uint8_t* data, int32_t size, int32_t x, int32_t y, const agg::rgba8& colour) {
    if (!data || size <= 0) return;
    agg::serialized_scanlines_adaptor_aa8 image(data, static_cast<unsigned>(size), x, y);
    agg::scanline_p8 sl;
    agg::render_scanlines_aa_solid(image, sl, base, colour);
}

}  // namespace

int DrawFontText(MneGlyphSource* font, const FontTextTarget& target, const char* text, int32_t length,
                 const int32_t rect[4], uint32_t flags, uint32_t colour, std::vector<uint8_t>& scratch) {
    if (!font || !target.pixels || !text || !rect || length <= 0 || target.width <= 0 || target.height <= 0) {
        return 0;
    }
    MneSize extent;
    if (!font->GetTextExtent(text, length, &extent)) return 0;
    const int32_t w = extent.cx, h = extent.cy;
    const int32_t left = rect[0], top = rect[1], right = rect[2], bottom = rect[3];
    int32_t y = top;
    if (flags & kTextBottom) {
        y = bottom - h;
    } else if (flags & kTextVCentre) {
        y = (bottom - top - h) / 2 + top;
    }
    int32_t x = left;
    if (flags & kTextRight) {
        x = right - w;
    } else if (flags & kTextCentre) {
        x = (right - left - w) / 2 + left;
    }
    const int32_t baseline = y + h - font->Descent();
    if ((x < 0 && x + w < 0) || (baseline < 0 && baseline - h < 0) || x > target.width ||
        baseline - h > target.height) {
        return 0;
    }

    const int stride = (target.width * 2 + 3) & ~3;
    agg::rendering_buffer rbuf(target.pixels, static_cast<unsigned>(target.width),
                               static_cast<unsigned>(target.height), -stride);
    agg::pixfmt_rgb565 pixf(rbuf);
    Base base(pixf);
    if (!(flags & kTextNoClip)) base.clip_box(left, top, right, bottom);
    const agg::rgba8 rgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF, 255);

    size_t pos = 0;
    uint32_t code = 0;
    int32_t penX = x;
    if (font->Kind() == kFontKindBitmap) {
        // Each character's image, from the pool when stored there.
        while (true) {
            const size_t start = pos;
            if (!NextFontCode(text, static_cast<size_t>(length), pos, code)) break;
            const char* one = text + start;
            const auto oneLength = static_cast<int32_t>(pos - start);
            const bool stores = font->StoresImages() != 0;
            const uint8_t* data = nullptr;
            int32_t size = 0, advance = 0, height = 0;
            if (stores) {
                font->LockPool();
                if (font->FindImage(one, oneLength, &data, &size, &advance, &height)) {
                    DrawImage(base, data, size, penX, baseline, rgb);
                    font->ReleaseImage(one, oneLength);
                    font->UnlockPool();
                    penX += advance;
                    continue;
                }
            }
            double scale = 0, weight = 0;
            if (font->GetGlyph(code, &advance, &height, &size, &data, &scale, &weight)) {
                DrawImage(base, data, size, penX, baseline, rgb);
                if (stores && size > 0) font->StoreImage(one, oneLength, data, size, advance, height);
                penX += advance;
            }
            if (stores) font->UnlockPool();
        }
        return h;
    }

    agg::rasterizer_scanline_aa<> ras;
    if (!font->StoresImages()) {
        while (NextFontCode(text, static_cast<size_t>(length), pos, code)) {
            int32_t advance = 0, height = 0, size = 0;
            const uint8_t* data = nullptr;
            double scale = 0, weight = 0;
            if (!font->GetGlyph(code, &advance, &height, &size, &data, &scale, &weight)) continue;
            if (size > 0) AddOutline(ras, data, size, penX, baseline, scale, weight, height);
            penX += advance;
        }
        agg::scanline_p8 sl;
        agg::render_scanlines_aa_solid(ras, sl, base, rgb);
        return h;
    }

    font->LockPool();
    const uint8_t* image = nullptr;
    int32_t imageSize = 0, imageWidth = 0, imageHeight = 0;
    if (font->FindImage(text, length, &image, &imageSize, &imageWidth, &imageHeight)) {
        DrawImage(base, image, imageSize, x, baseline, rgb);
        font->ReleaseImage(text, length);
        font->UnlockPool();
        return h;
    }
    // Rasterise the string once at the origin, keep its image, draw it.
    penX = 0;
    while (NextFontCode(text, static_cast<size_t>(length), pos, code)) {
        int32_t advance = 0, height = 0, size = 0;
        const uint8_t* data = nullptr;
        double scale = 0, weight = 0;
        if (!font->GetGlyph(code, &advance, &height, &size, &data, &scale, &weight)) continue;
        if (size > 0) AddOutline(ras, data, size, penX, 0, scale, weight, height);
        penX += advance;
    }
    agg::scanline_u8 sl;
    agg::scanline_storage_aa8 storage;
    agg::render_scanlines(ras, sl, storage);
    if (storage.rewind_scanlines()) {
        const unsigned bytes = storage.byte_size();
        if (scratch.size() < bytes) scratch.resize(bytes);
        storage.serialize(scratch.data());
        DrawImage(base, scratch.data(), static_cast<int32_t>(bytes), x, baseline, rgb);
        font->StoreImage(text, length, scratch.data(), static_cast<int32_t>(bytes), w, h);
    }
    font->UnlockPool();
    return h;
}
