#include "render/aa_context.h"

#include <agg_conv_contour.h>
#include <agg_conv_curve.h>
#include <agg_conv_stroke.h>
#include <agg_path_storage.h>
#include <agg_path_storage_integer.h>
#include <agg_pixfmt_rgb_packed.h>
#include <agg_pixfmt_rgba.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_renderer_base.h>
#include <agg_renderer_scanline.h>
#include <agg_scanline_p.h>
#include <agg_scanline_storage_aa.h>
#include <agg_scanline_u.h>

#include <cmath>
#include <cstring>
#include <utility>

#include "foundation/memory_heap.h"
#include "platform/byte_cursor.h"
#include "render/egl_draw.h"

namespace {

// Clipping in doubles before the conversion to 24.8 fixed point keeps
// far-off coordinates from overflowing the rasteriser.
using Rasterizer = agg::rasterizer_scanline_aa<agg::rasterizer_sl_clip_dbl>;
using GlyphPath = agg::serialized_integer_path_adaptor<agg::int16, 6>;

// Spans and coordinates beyond these are not from a real text image.
constexpr int32_t kMaxImageCoordinate = 1 << 24;
constexpr size_t kImageBoundsBytes = 16;
constexpr int32_t kMaxSpanLength = 1 << 20;

agg::rgba8 AggColor(uint32_t colorBgr) {
    return agg::rgba8(colorBgr & 0xFF, (colorBgr >> 8) & 0xFF, (colorBgr >> 16) & 0xFF, 255);
}

// A two-byte character starts with a byte whose top bit is set.
int CharBytes(const char* text, int32_t i, int32_t length) {
    return ((static_cast<uint8_t>(text[i]) & 0x80) && i + 1 < length) ? 2 : 1;
}

uint32_t CharCode(const char* text, int32_t i, int n) {
    const uint32_t b0 = static_cast<uint8_t>(text[i]);
    return n == 2 ? (b0 << 8) | static_cast<uint8_t>(text[i + 1]) : b0;
}

template <class RendererBase>
void DrawScanlineImage(RendererBase& rb, const uint8_t* data, size_t size, int32_t x, int32_t y,
                       const agg::rgba8& color) {
    // An image without scanlines keeps the storage's sentinel bounds
    // (INT_MAX, INT_MIN): nothing to draw, and offsetting them would overflow.
    if (size <= kImageBoundsBytes || !IsValidScanlineImage(data, size)) return;
    if (x < -kMaxImageCoordinate || x > kMaxImageCoordinate || y < -kMaxImageCoordinate ||
        y > kMaxImageCoordinate)
        return;
    agg::serialized_scanlines_adaptor_aa8 image(data, static_cast<unsigned>(size), x, y);
    agg::serialized_scanlines_adaptor_aa8::embedded_scanline sl;
    agg::render_scanlines_aa_solid(image, sl, rb, color);
}

}  // namespace

bool IsValidScanlineImage(const uint8_t* data, size_t size) {
    if (data == nullptr || size > 0x7FFFFFFF) return false;
    platform::ByteReader r(data, size);
    int32_t bounds[4];
    for (int32_t& b : bounds) b = r.I32();
    if (!r.Ok()) return false;
    if (r.Remaining() > 0)
        for (int32_t b : bounds)
            if (b < -kMaxImageCoordinate || b > kMaxImageCoordinate) return false;
    while (r.Remaining() > 0) {
        const size_t start = r.Position();
        const uint32_t bytes = r.U32();
        const int32_t y = r.I32();
        const uint32_t spans = r.U32();
        if (!r.Ok() || bytes < 20 || bytes > size - start || spans == 0 || y < -kMaxImageCoordinate ||
            y > kMaxImageCoordinate)
            return false;
        for (uint32_t s = 0; s < spans; ++s) {
            const int32_t x = r.I32();
            const int32_t len = r.I32();
            if (!r.Ok() || len == 0 || len < -kMaxSpanLength || len > kMaxSpanLength || x < -kMaxImageCoordinate ||
                x > kMaxImageCoordinate)
                return false;
            if (!r.Skip(len < 0 ? 1 : static_cast<size_t>(len))) return false;
            if (r.Position() > start + bytes) return false;
        }
        if (r.Position() != start + bytes) return false;
    }
    return true;
}

void CMneDC::ScratchFree::operator()(uint8_t* p) const {
    if (p != nullptr) MgrFree(p);
}

CMneDC::CMneDC() {
    m_scratch.reset(static_cast<uint8_t*>(MgrAlloc(kInitialScratchBytes)));
    m_scratchCapacity = m_scratch ? kInitialScratchBytes : 0;
}

CMneDC::~CMneDC() = default;

int CMneDC::Attach(void* pixels, int32_t width, int32_t height, int32_t bitsPerPixel, int32_t topDown) {
    m_attached = 0;
    if ((bitsPerPixel != 16 && bitsPerPixel != 32) || pixels == nullptr) return 0;
    if (width < 1 || height < 1 || width > (1 << 20) || height > (1 << 20)) return 0;
    m_pixels = static_cast<uint8_t*>(pixels);
    m_width = width;
    m_height = height;
    m_bitsPerPixel = bitsPerPixel;
    const int32_t stride = (bitsPerPixel / 8 * width + 3) & ~3;
    m_rows.attach(m_pixels, static_cast<unsigned>(width), static_cast<unsigned>(height), topDown ? stride : -stride);
    m_attached = 1;
    return 1;
}

int CMneDC::GetBitmapInfo(MneBitmapDesc* out) const {
    if (!m_attached || out == nullptr) return 0;
    out->type = 0;
    out->width = m_width;
    out->height = m_height;
    out->widthBytes = (m_bitsPerPixel / 8 * m_width + 3) & ~3;
    out->planes = 1;
    out->bitsPixel = static_cast<uint16_t>(m_bitsPerPixel);
    out->bits = m_pixels;
    return 1;
}

MneGlyphSource* CMneDC::SelectFont(MneGlyphSource* font) { return std::exchange(m_font, font); }
uint32_t CMneDC::SetTextColor(uint32_t colorBgr) { return std::exchange(m_textColor, colorBgr); }
uint32_t CMneDC::SetBkColor(uint32_t colorBgr) { return std::exchange(m_bkColor, colorBgr); }
int32_t CMneDC::SetBkMode(int32_t mode) { return std::exchange(m_bkMode, mode); }
int32_t CMneDC::SetGreyMode(int32_t grey) {
    m_grey = grey;
    return m_grey;
}

int CMneDC::GetTextExtent(const char* text, int32_t length, MneSize* size) {
    if (m_font == nullptr || text == nullptr || size == nullptr) return 0;
    return m_font->GetTextExtent(text, length, size);
}

bool CMneDC::GrowScratch(size_t bytes) {
    // The old area is given up only once the new one is there, so one
    // oversized label cannot leave the context without text for good.
    auto* fresh = static_cast<uint8_t*>(MgrAlloc(bytes));
    if (fresh == nullptr) return false;
    m_scratch.reset(fresh);
    m_scratchCapacity = bytes;
    return true;
}

int CMneDC::Polyline(const EglPoint* points, int32_t count, int32_t width, uint32_t colorBgr, int32_t smooth) {
    if (!m_attached || points == nullptr || count < 2) return 0;
    // A 32-bit buffer is drawn in its own format rather than as 16-bit rows.
    if (m_bitsPerPixel == 32) return PolylineWith<agg::pixfmt_bgra32>(points, count, width, colorBgr, smooth);
    return PolylineWith<agg::pixfmt_rgb565>(points, count, width, colorBgr, smooth);
}

template <class PixFmt>
int CMneDC::PolylineWith(const EglPoint* points, int32_t count, int32_t width, uint32_t colorBgr, int32_t smooth) {
    PixFmt pixf(m_rows);
    agg::renderer_base<PixFmt> rb(pixf);
    agg::path_storage path;
    path.move_to(points[0].x, points[0].y);
    for (int32_t i = 1; i < count; ++i) path.line_to(points[i].x, points[i].y);
    agg::conv_stroke<agg::path_storage> stroke(path);
    stroke.width(width);
    stroke.line_cap(agg::square_cap);
    stroke.line_join(agg::round_join);
    Rasterizer ras;
    ras.clip_box(0, 0, m_width, m_height);
    ras.add_path(stroke);
    const agg::rgba8 color = AggColor(m_grey == 1 ? GreyColor(colorBgr) : colorBgr);
    agg::scanline_p8 sl;
    if (smooth == 1)
        agg::render_scanlines_aa_solid(ras, sl, rb, color);
    else
        agg::render_scanlines_bin_solid(ras, sl, rb, color);
    return 1;
}

int CMneDC::DrawText(const char* text, int32_t length, const MneRect* rect, uint32_t flags) {
    if (m_font == nullptr || !m_scratch || !m_attached || text == nullptr || length <= 0 || rect == nullptr) return 0;
    if (m_bitsPerPixel == 32) return DrawTextWith<agg::pixfmt_bgra32>(text, length, *rect, flags);
    return DrawTextWith<agg::pixfmt_rgb565>(text, length, *rect, flags);
}

template <class PixFmt>
int CMneDC::DrawTextWith(const char* text, int32_t length, const MneRect& rect, uint32_t flags) {
    MneGlyphSource& font = *m_font;
    MneSize extent;
    if (!font.GetTextExtent(text, length, &extent)) return 0;
    const int32_t w = extent.cx, h = extent.cy;

    int32_t top = rect.top;
    if (flags & kMneTextBottom)
        top = rect.bottom - h;
    else if (flags & kMneTextCentreY)
        top = (rect.bottom - rect.top - h) / 2 + rect.top;
    int32_t left = rect.left;
    if (flags & kMneTextRight)
        left = rect.right - w;
    else if (flags & kMneTextCentreX)
        left = (rect.right - rect.left - w) / 2 + rect.left;
    const int32_t baseline = top + h - font.Descent();

    if ((left < 0 && left + w < 0) || (baseline < 0 && baseline - h < 0) || left > m_width ||
        baseline - h > m_height)
        return 0;

    PixFmt pixf(m_rows);
    agg::renderer_base<PixFmt> rb(pixf);
    if (!(flags & kMneTextNoClip)) rb.clip_box(rect.left, rect.top, rect.right, rect.bottom);
    const agg::rgba8 color = AggColor(m_grey == 1 ? GreyColor(m_textColor) : m_textColor);

    if (font.Kind() == 1) {
        // Bitmap font: each glyph is a stored coverage image.
        int32_t penX = left;
        for (int32_t i = 0; i < length;) {
            const int n = CharBytes(text, i, length);
            int32_t advance = 0;
            font.LockPool();
            const uint8_t* image = nullptr;
            int32_t imageBytes = 0, imageW = 0, imageH = 0;
            if (font.FindImage(text + i, n, &image, &imageBytes, &imageW, &imageH)) {
                if (imageBytes > 0) DrawScanlineImage(rb, image, static_cast<size_t>(imageBytes), penX, baseline, color);
                font.ReleaseImage(text + i, n);
                advance = imageW;
            } else {
                int32_t ax = 0, ay = 0, dataBytes = 0;
                const uint8_t* data = nullptr;
                double scale = 1.0, weight = 0.0;
                if (font.GetGlyph(CharCode(text, i, n), &ax, &ay, &dataBytes, &data, &scale, &weight)) {
                    advance = ax;
                    if (dataBytes > 0 && data != nullptr &&
                        IsValidScanlineImage(data, static_cast<size_t>(dataBytes))) {
                        DrawScanlineImage(rb, data, static_cast<size_t>(dataBytes), penX, baseline, color);
                        if (font.StoresImages()) font.StoreImage(text + i, n, data, dataBytes, ax, ay);
                    }
                }
            }
            font.UnlockPool();
            penX += advance;
            i += n;
        }
        return h;
    }

    // Vector font: every outline goes into one rasteriser.
    const bool stores = font.StoresImages() != 0;
    Rasterizer ras;
    if (!stores) ras.clip_box(0, 0, m_width, m_height);
    auto addOutlines = [&](double originX, double originY) {
        double penX = 0;
        for (int32_t i = 0; i < length;) {
            const int n = CharBytes(text, i, length);
            int32_t ax = 0, ay = 0, dataBytes = 0;
            const uint8_t* data = nullptr;
            double scale = 1.0, weight = 0.0;
            if (font.GetGlyph(CharCode(text, i, n), &ax, &ay, &dataBytes, &data, &scale, &weight)) {
                // Whole 4-byte vertices only: the adaptor reads one past a ragged end.
                const unsigned usable = static_cast<unsigned>(std::max(dataBytes, 0)) & ~3u;
                if (usable > 0 && data != nullptr) {
                    GlyphPath outline;
                    outline.init(data, usable, originX + penX, originY, scale);
                    agg::conv_curve<GlyphPath> curves(outline);
                    if (std::fabs(weight) > 0.01) {
                        agg::conv_contour<agg::conv_curve<GlyphPath>> bold(curves);
                        bold.width(-weight * ay * 0.05);
                        ras.add_path(bold);
                    } else {
                        ras.add_path(curves);
                    }
                }
                penX += ax;
            }
            i += n;
        }
    };

    if (!stores) {
        addOutlines(left, baseline);
        agg::scanline_p8 sl;
        agg::render_scanlines_aa_solid(ras, sl, rb, color);
        return h;
    }

    // Stored string images: rasterise once, keep the image in the pool.
    font.LockPool();
    const uint8_t* image = nullptr;
    int32_t imageBytes = 0, imageW = 0, imageH = 0;
    if (font.FindImage(text, length, &image, &imageBytes, &imageW, &imageH)) {
        if (imageBytes > 0) DrawScanlineImage(rb, image, static_cast<size_t>(imageBytes), left, baseline, color);
        font.ReleaseImage(text, length);
        font.UnlockPool();
        return h;
    }
    addOutlines(0, 0);
    agg::scanline_storage_aa8 storage;
    agg::scanline_u8 sl;
    agg::render_scanlines(ras, sl, storage);
    const size_t bytes = storage.byte_size();
    if (bytes > m_scratchCapacity && !GrowScratch(bytes)) {
        font.UnlockPool();
        return 0;
    }
    storage.serialize(m_scratch.get());
    m_imageBytes = bytes;
    DrawScanlineImage(rb, m_scratch.get(), bytes, left, baseline, color);
    font.StoreImage(text, length, m_scratch.get(), static_cast<int32_t>(bytes), w, h);
    font.UnlockPool();
    return h;
}
