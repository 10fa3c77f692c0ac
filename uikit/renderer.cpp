#include "uikit/renderer.h"

#include <algorithm>
#include <cstring>

#include "render/draw_handles.h"
#include "settings/dev_log.h"

const NvRuntimeClass NvRenderer::kClass{"NvRenderer", &NvObject::kClass};

namespace {

NvRenderer* g_renderer = nullptr;

uint16_t* Row(const NvPixels& p, int32_t y) {
    return reinterpret_cast<uint16_t*>(p.bits + static_cast<size_t>(p.height - 1 - y) * p.stride);
}
uint16_t* AlphaRow(const NvPixels& p, int32_t y) {
    return p.alpha + static_cast<size_t>(p.height - 1 - y) * (p.stride / 2);
}

// Cuts the region (x, y, w, h) from (sx, sy) so it lies inside both
// surfaces; a cut on the left or top moves the source with it. False when
// nothing is left.
bool Clip(const NvPixels& dst, const NvPixels& src, int32_t& x, int32_t& y, int32_t& w, int32_t& h, int32_t& sx,
          int32_t& sy) {
    if (!dst.bits || !src.bits) return false;
    if (x < 0) { sx -= x; w += x; x = 0; }
    if (y < 0) { sy -= y; h += y; y = 0; }
    if (sx < 0) { x -= sx; w += sx; sx = 0; }
    if (sy < 0) { y -= sy; h += sy; sy = 0; }
    w = std::min({w, dst.width - x, src.width - sx});
    h = std::min({h, dst.height - y, src.height - sy});
    return w > 0 && h > 0;
}

struct Rgb {
    uint32_t r, g, b;  // 5, 6 and 5 bits, unshifted
};
Rgb Split(uint16_t p) { return {static_cast<uint32_t>(p >> 11), static_cast<uint32_t>((p >> 5) & 0x3F), p & 0x1Fu}; }

class BackCanvas : public DevStatusCanvas {
public:
    explicit BackCanvas(NvImageData* back) : m_back(back) {}
    void DrawTextLine(const DevStatusRect& rect, std::u16string_view text) override {
        if (!m_back || text.empty()) return;
        if (!m_dc) {
            m_dc = MneCreateDC(m_back->bits, m_back->width, m_back->height);
            m_font = MneCreateFont(14, 300, "FONT1", 0);
            if (m_dc && m_font) MneSelectFont(m_dc, m_font);
            MneSetTextColor(m_dc, 0x00FFFF);
        }
        std::string narrow;
        for (char16_t c : text) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
        const MneTextRect box{rect.left, rect.top, rect.right, rect.bottom};
        MneDrawText(m_dc, narrow.c_str(), static_cast<int32_t>(narrow.size()), &box, 0);
    }
    ~BackCanvas() override {
        if (m_dc) MneDeleteDC(m_dc);
        if (m_font) MneDeleteFont(m_font);
    }

private:
    NvImageData* m_back;
    MneHandle m_dc = 0;
    MneHandle m_font = 0;
};

}  // namespace

// ---------------------------------------------------------------- surfaces

NvRenderer::~NvRenderer() {
    if (g_renderer == this) g_renderer = nullptr;
}

NvPixels NvPixelsOf(NvImageData* image) {
    if (!image || !image->bits) return {};
    return {image->bits, image->width, image->height, image->stride, image->alpha.empty() ? nullptr : image->alpha.data()};
}
NvPixels NvPixelsOf(DibImage565& image) {
    if (image.Empty()) return {};
    return {image.Bits(), image.Width(), image.Height(), image.Stride(), nullptr};
}
NvPixels NvPixelsOf(void* pixels, int32_t width, int32_t height) {
    if (!pixels || width <= 0 || height <= 0) return {};
    return {static_cast<uint8_t*>(pixels), width, height, Rgb565Stride(width), nullptr};
}

NvRenderer* NvInitRenderer(NvPresenter* window, int32_t screenWidth, int32_t screenHeight, int32_t x, int32_t y,
                           int32_t width, int32_t height, bool createBackBuffer, int rotation) {
    if (!window) return nullptr;
    NvReleaseRenderer();
    auto r = std::make_unique<NvRenderer>();
    r->m_window = window;
    r->m_screenWidth = static_cast<uint16_t>(screenWidth);
    r->m_screenHeight = static_cast<uint16_t>(screenHeight);
    r->m_rotation = static_cast<uint16_t>(rotation);
    r->m_backRect = {x, width, y, height};
    if (createBackBuffer) {
        r->m_back = std::make_unique<NvImageData>();
        if (!r->m_back->CreateDib(width, height, false)) return nullptr;
        r->m_back->kind = RESOURCE_BMP;
        if (rotation == 1 || rotation == 3) NvCreateDIB565(height, width, r->m_rotated);
        else if (rotation == 2) NvCreateDIB565(width, height, r->m_rotated);
    }
    r->m_blank.reset(NvCreateImageData(std::max(screenWidth, 1), std::max(screenHeight, 1), 0, false));
    g_renderer = r.release();
    return g_renderer;
}

void NvReleaseRenderer() { delete g_renderer; }
NvRenderer* NvGetRenderer() { return g_renderer; }
NvImageData* NvBackBuffer() { return g_renderer ? g_renderer->m_back.get() : nullptr; }
NvImageData* NvBlankScreenImage() { return g_renderer ? g_renderer->m_blank.get() : nullptr; }

bool NvResizeBackBuffer(int32_t width, int32_t height) {
    if (!g_renderer || !g_renderer->m_back) return false;
    NvRenderer& r = *g_renderer;
    if (r.m_back->width == width && r.m_back->height == height) return true;
    auto fresh = std::make_unique<NvImageData>();
    if (!fresh->CreateDib(width, height, false)) return false;  // the old one stays
    fresh->kind = RESOURCE_BMP;
    r.m_back = std::move(fresh);
    r.m_backRect.width = width;
    r.m_backRect.height = height;
    if (r.m_rotation == 1 || r.m_rotation == 3) NvCreateDIB565(height, width, r.m_rotated);
    else if (r.m_rotation == 2) NvCreateDIB565(width, height, r.m_rotated);
    return true;
}

void NvSetBackgroundLayer(NvImageRsc* layer) {
    if (g_renderer) g_renderer->m_backgroundLayer = layer;
}
NvImageRsc* NvGetBackgroundLayer() { return g_renderer ? g_renderer->m_backgroundLayer : nullptr; }

bool NvCreateDIB565(int32_t width, int32_t height, DibImage565& out) {
    if (width <= 0 || height <= 0) return false;
    return out.Create(width, height) != 0;
}

bool NvRotate565(int mode, const uint8_t* src, int32_t w, int32_t h, int32_t srcStride, uint8_t* dst,
                 int32_t dstStride) {
    if (!src || !dst || mode < 1 || mode > 3) return false;
    // Stored rows: row r of the source, column c.
    for (int32_t r = 0; r < h; ++r) {
        const auto* in = reinterpret_cast<const uint16_t*>(src + static_cast<size_t>(r) * srcStride);
        if (mode == 2) {
            auto* out = reinterpret_cast<uint16_t*>(dst + static_cast<size_t>(h - 1 - r) * dstStride);
            for (int32_t c = 0; c < w; ++c) out[w - 1 - c] = in[c];
        } else if (mode == 1) {
            for (int32_t c = 0; c < w; ++c)
                reinterpret_cast<uint16_t*>(dst + static_cast<size_t>(w - 1 - c) * dstStride)[r] = in[c];
        } else {
            for (int32_t c = 0; c < w; ++c)
                reinterpret_cast<uint16_t*>(dst + static_cast<size_t>(c) * dstStride)[h - 1 - r] = in[c];
        }
    }
    return true;
}

namespace {

// image to the window at (x, y), width x height from (srcX, srcY), through
// the rotation mode (a turned screen shows the whole image).
int PresentImage(NvRenderer& r, NvImageData& image, int32_t x, int32_t y, int32_t width, int32_t height,
                 int32_t srcX, int32_t srcY) {
    const int32_t ux = static_cast<uint16_t>(x), uy = static_cast<uint16_t>(y);
    int32_t uw = static_cast<uint16_t>(width), uh = static_cast<uint16_t>(height);
    const int32_t usx = static_cast<uint16_t>(srcX), usy = static_cast<uint16_t>(srcY);
    const int32_t W = image.width, H = image.height;
    if (r.m_rotation == 0) {
        uw = std::min(uw, W - usx);
        uh = std::min(uh, H - usy);
        if (uw <= 0 || uh <= 0) return 0;
        const uint8_t* bottom = image.bits + static_cast<size_t>(H - usy - uh) * image.stride + usx * 2;
        return r.m_window->Present(bottom, uw, uh, image.stride, ux, uy) ? 1 : 0;
    }
    if (r.m_rotation > 3 || r.m_rotated.Empty()) return 0;
    NvRotate565(r.m_rotation, image.bits, W, H, image.stride, r.m_rotated.Bits(), r.m_rotated.Stride());
    // Modes 1 and 3 swap the width and the height of the copy.
    return r.m_window->Present(r.m_rotated.Bits(), r.m_rotated.Width(), r.m_rotated.Height(), r.m_rotated.Stride(),
                               ux, uy)
               ? 1
               : 0;
}

}  // namespace

int NvPresent(int32_t x, int32_t y, int32_t width, int32_t height, int32_t srcX, int32_t srcY) {
    if (!g_renderer || !g_renderer->m_back || !g_renderer->m_window) return 0;
    NvRenderer& r = *g_renderer;
    {
        BackCanvas canvas(r.m_back.get());
        CMgrDevLog::Instance().DrawStatus(&canvas);
    }
    return PresentImage(r, *r.m_back, x, y, width, height, srcX, srcY);
}

int NvPresentOver(int32_t x, int32_t y, int32_t width, int32_t height, int32_t srcX, int32_t srcY,
                  const std::function<void(const NvPixels&)>& draw) {
    if (!g_renderer || !g_renderer->m_back || !g_renderer->m_window || !draw) return 0;
    NvRenderer& r = *g_renderer;
    NvImageData& back = *r.m_back;
    if (!r.m_over || r.m_over->width != back.width || r.m_over->height != back.height) {
        auto fresh = std::make_unique<NvImageData>();
        if (!fresh->CreateDib(back.width, back.height, false)) return 0;
        r.m_over = std::move(fresh);
    }
    NvImageData& over = *r.m_over;
    std::memcpy(over.bits, back.bits, static_cast<size_t>(back.stride) * static_cast<size_t>(back.height));
    draw(NvPixelsOf(&over));
    if (r.m_rotation != 0) return PresentImage(r, over, x, y, over.width, over.height, 0, 0);
    // The part asked for, held to the image.
    const int32_t left = std::max(srcX, 0), top = std::max(srcY, 0);
    const int32_t right = std::min(srcX + width, over.width), bottom = std::min(srcY + height, over.height);
    if (right <= left || bottom <= top) return 0;
    return PresentImage(r, over, x + left, y + top, right - left, bottom - top, left, top);
}

// ---------------------------------------------------------------- memory copies

int NvCopyPixels(const NvPixels& dst, int32_t x, int32_t y, int32_t width, int32_t height, const NvPixels& src,
                 int32_t srcX, int32_t srcY) {
    if (!dst.bits || !src.bits) return 0;
    if (!Clip(dst, src, x, y, width, height, srcX, srcY)) return 1;
    for (int32_t r = 0; r < height; ++r)
        std::memmove(Row(dst, y + r) + x, Row(src, srcY + r) + srcX, static_cast<size_t>(width) * 2);
    return 1;
}

int NvCopyImageRect(NvImageData* dst, int32_t x, int32_t y, int32_t width, int32_t height, NvImageData* src,
                    int32_t srcX, int32_t srcY) {
    return NvCopyPixels(NvPixelsOf(dst), x, y, width, height, NvPixelsOf(src), srcX, srcY);
}

int NvPutPixels(NvImageData* dst, int32_t x, int32_t y, const NvPixelRecord& src) {
    if (!dst || !dst->bits || !src.pixels || x < 0 || y < 0 || src.width <= 0 || src.height <= 0) return 0;
    if (x + src.width > dst->width || y + src.height > dst->height || src.rowBytes < src.width * 2) return 0;
    NvPixels in{const_cast<uint8_t*>(src.pixels), src.width, src.height, src.rowBytes, nullptr};
    return NvCopyPixels(NvPixelsOf(dst), x, y, src.width, src.height, in, 0, 0);
}

int NvCopyColorKey(const NvPixels& dst, int32_t x, int32_t y, int32_t width, int32_t height, NvImageData* src,
                   int32_t srcX, int32_t srcY) {
    const NvPixels s = NvPixelsOf(src);
    if (!dst.bits || !s.bits) return 0;
    if (!Clip(dst, s, x, y, width, height, srcX, srcY)) return 1;
    for (int32_t r = 0; r < height; ++r) {
        uint16_t* out = Row(dst, y + r) + x;
        const uint16_t* in = Row(s, srcY + r) + srcX;
        for (int32_t c = 0; c < width; ++c)
            if (in[c] != kColorKey565) out[c] = in[c];
    }
    return 1;
}

int NvCopyWithAlpha(NvImageData* dst, int32_t x, int32_t y, int32_t width, int32_t height, NvImageData* src,
                    int32_t srcX, int32_t srcY) {
    const NvPixels d = NvPixelsOf(dst), s = NvPixelsOf(src);
    if (!d.bits || !s.bits || !d.alpha || !s.alpha) return 0;
    if (!Clip(d, s, x, y, width, height, srcX, srcY)) return 1;
    for (int32_t r = 0; r < height; ++r) {
        std::memcpy(Row(d, y + r) + x, Row(s, srcY + r) + srcX, static_cast<size_t>(width) * 2);
        std::memcpy(AlphaRow(d, y + r) + x, AlphaRow(s, srcY + r) + srcX, static_cast<size_t>(width) * 2);
    }
    return 1;
}

uint16_t NvAlphaPixel(uint16_t image, uint16_t background, uint16_t v) {
    if ((v & 0x1F) == 0) return image;
    const uint32_t D = (v & 0x1Fu) + 1, C = ((v >> 5) & 0x3Fu) + 1;
    const Rgb A = Split(image), B = Split(background);
    const uint32_t red = ((B.r * D + A.r * (32 - D)) * 64) & 0xF800;
    const uint32_t green = ((A.g * (64 - C) + B.g * C) >> 1) & 0x07E0;
    const uint32_t blue = (((B.b * D) >> 5) + ((A.b * (32 - D)) >> 5)) & 0x1F;
    return static_cast<uint16_t>(red | green | blue);
}

uint16_t NvConstantPixel(uint16_t image, uint16_t background, uint32_t level) {
    const uint32_t w = static_cast<uint8_t>(level * 32 / 100), a = 32 - w;
    const Rgb G = Split(image), H = Split(background);
    const uint32_t green = ((((G.g * w + H.g * a) >> 5) << 5) & 0x7FF);
    const uint32_t blue = (((a * H.b) >> 5) + ((w * G.b) >> 5)) & 0x1F;
    const uint32_t red = ((((w * G.r) & 0x3FF) * 64) + (((a * H.r) & 0x3FF) * 64)) & 0xF800;
    return static_cast<uint16_t>(red | green | blue);
}

namespace {

// The alpha blend of src over bg into dst; all three clipped. Keyed: pixels
// of the key colour show the background alone.
int BlendAlphaInto(const NvPixels& dst, const NvPixels& bg, int32_t x, int32_t y, int32_t w, int32_t h,
                   const NvPixels& s, int32_t sx, int32_t sy, bool keyed = false) {
    if (!Clip(dst, s, x, y, w, h, sx, sy)) return 1;
    int32_t bx = x, by = y, bsx = sx, bsy = sy;
    if (!Clip(bg, s, bx, by, w, h, bsx, bsy)) return 1;
    if (bx != x || by != y) return 1;  // a background that does not cover the region's start
    for (int32_t r = 0; r < h; ++r) {
        uint16_t* out = Row(dst, y + r) + x;
        const uint16_t* under = Row(bg, y + r) + x;
        const uint16_t* in = Row(s, sy + r) + sx;
        const uint16_t* a = AlphaRow(s, sy + r) + sx;
        for (int32_t c = 0; c < w; ++c)
            out[c] = keyed && in[c] == kColorKey565 ? under[c] : NvAlphaPixel(in[c], under[c], a[c]);
    }
    return 1;
}

NvPixels BackgroundSurface(int background) {
    if (!g_renderer) return {};
    switch (background) {
        case 0:  // what the window shows: the last presented back buffer
        case 1: return NvPixelsOf(g_renderer->m_back.get());
        case 2:
            return g_renderer->m_backgroundLayer ? NvPixelsOf(g_renderer->m_backgroundLayer->Current()) : NvPixels{};
        default: return {};
    }
}

void PresentRegion(int32_t x, int32_t y, int32_t w, int32_t h) {
    NvImageData* back = NvBackBuffer();
    if (!back || !g_renderer->m_window) return;
    const NvPixels d = NvPixelsOf(back);
    NvPixels s = d;
    int32_t sx = x, sy = y;
    if (!Clip(d, s, x, y, w, h, sx, sy)) return;
    const uint8_t* bottom = back->bits + static_cast<size_t>(back->height - y - h) * back->stride + x * 2;
    g_renderer->m_window->Present(bottom, w, h, back->stride, x, y);
}

}  // namespace

int NvBlendAlpha(NvImageData* dst, int32_t x, int32_t y, int32_t width, int32_t height, NvImageData* src,
                 int32_t srcX, int32_t srcY) {
    const NvPixels d = NvPixelsOf(dst), s = NvPixelsOf(src);
    if (!d.bits || !s.bits || !s.alpha) return 0;
    return BlendAlphaInto(d, d, x, y, width, height, s, srcX, srcY);
}

namespace {

int DrawAlpha(int target, int background, int32_t x, int32_t y, int32_t width, int32_t height, NvImageData* src,
              int32_t srcX, int32_t srcY, bool keyed) {
    const NvPixels s = NvPixelsOf(src);
    if (!s.bits || !s.alpha || !g_renderer) return 0;
    const NvPixels bg = BackgroundSurface(background);
    if (!bg.bits) return 0;
    NvPixels dst;
    if (target == 0 || target == 1) dst = NvPixelsOf(g_renderer->m_back.get());
    else if (target == 2) dst = BackgroundSurface(2);
    if (!dst.bits) return 0;
    BlendAlphaInto(dst, bg, x, y, width, height, s, srcX, srcY, keyed);
    if (target == 0) PresentRegion(x, y, width, height);
    return 1;
}

}  // namespace

int NvDrawAlphaImage(int target, int background, int32_t x, int32_t y, int32_t width, int32_t height,
                     NvImageData* src, int32_t srcX, int32_t srcY) {
    return DrawAlpha(target, background, x, y, width, height, src, srcX, srcY, false);
}

int NvBlendConstant(int target, int background, int32_t x, int32_t y, int32_t width, int32_t height,
                    NvImageData* src, int32_t srcX, int32_t srcY, uint32_t keyColour, uint32_t level) {
    const NvPixels s = NvPixelsOf(src);
    if (!s.bits || !g_renderer || (target != 0 && target != 1)) return 0;
    const NvPixels bg = BackgroundSurface(background);
    const NvPixels dst = NvPixelsOf(g_renderer->m_back.get());
    if (!bg.bits || !dst.bits) return 0;
    int32_t w = width, h = height, dx = x, dy = y, sx = srcX, sy = srcY;
    if (Clip(dst, s, dx, dy, w, h, sx, sy)) {
        int32_t bx = dx, by = dy, bsx = sx, bsy = sy;
        if (Clip(bg, s, bx, by, w, h, bsx, bsy) && bx == dx && by == dy) {
            const uint16_t key = NvKeyToPixel(keyColour);
            for (int32_t r = 0; r < h; ++r) {
                uint16_t* out = Row(dst, dy + r) + dx;
                const uint16_t* under = Row(bg, dy + r) + dx;
                const uint16_t* in = Row(s, sy + r) + sx;
                for (int32_t c = 0; c < w; ++c) {
                    if (level == 0) out[c] = in[c];
                    else if (in[c] != key) out[c] = NvConstantPixel(in[c], under[c], level);
                }
            }
        }
    }
    if (target == 0) PresentRegion(x, y, width, height);
    return 1;
}

void NvDimBuffer(void* pixels, int32_t width, int32_t height, int percent) {
    if (!pixels || width <= 0 || height <= 0) return;
    const uint32_t c = static_cast<uint8_t>(percent * 32 / 100);
    const int32_t rowPixels = (width + 1) & ~1;
    auto* p = static_cast<uint16_t*>(pixels);
    for (int32_t r = 0; r < height; ++r) {
        uint16_t* row = p + static_cast<size_t>(r) * rowPixels;
        for (int32_t i = 0; i < width; ++i) {
            const Rgb v = Split(row[i]);
            row[i] = static_cast<uint16_t>((((v.r * c) >> 5) << 11) | ((v.g * c) & 0xFC0) | ((v.b * c) >> 5));
        }
    }
}

// ---------------------------------------------------------------- blits

int NvBlitImage(const NvPixels& dst, int32_t x, int32_t y, int32_t width, int32_t height, NvImageData* src,
                int32_t srcX, int32_t srcY) {
    return NvCopyPixels(dst, x, y, width, height, NvPixelsOf(src), srcX, srcY);
}

int NvBlitWholeImage(const NvPixels& dst, int32_t x, int32_t y, NvImageData* src) {
    if (!src) return 0;
    return NvBlitImage(dst, x, y, src->width, src->height, src, 0, 0);
}

namespace {

int Stretch(const NvPixels& d, int32_t x, int32_t y, int32_t w, int32_t h, const NvPixels& s, int32_t sx, int32_t sy,
            int32_t sw, int32_t sh, bool keyed, uint16_t key) {
    if (!d.bits || !s.bits || w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return 0;
    for (int32_t r = 0; r < h; ++r) {
        const int32_t ty = y + r;
        if (ty < 0 || ty >= d.height) continue;
        const int32_t fy = sy + static_cast<int32_t>(static_cast<int64_t>(r) * sh / h);
        if (fy < 0 || fy >= s.height) continue;
        uint16_t* out = Row(d, ty);
        const uint16_t* in = Row(s, fy);
        for (int32_t c = 0; c < w; ++c) {
            const int32_t tx = x + c;
            const int32_t fx = sx + static_cast<int32_t>(static_cast<int64_t>(c) * sw / w);
            if (tx < 0 || tx >= d.width || fx < 0 || fx >= s.width) continue;
            if (!keyed || in[fx] != key) out[tx] = in[fx];
        }
    }
    return 1;
}

}  // namespace

int NvStretchImage(NvImageData* dst, NvImageData* src) {
    if (!dst || !src) return 0;
    return NvStretchRect(dst, 0, 0, dst->width, dst->height, src, 0, 0, src->width, src->height);
}

int NvStretchRect(NvImageData* dst, int32_t x, int32_t y, int32_t width, int32_t height, NvImageData* src,
                  int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight) {
    if (!dst || !src || width > dst->width || height > dst->height) return 0;
    return Stretch(NvPixelsOf(dst), x, y, width, height, NvPixelsOf(src), srcX, srcY, srcWidth, srcHeight, false, 0);
}

int NvStretchPixels(NvImageData* dst, int32_t x, int32_t y, int32_t width, int32_t height, const NvPixelRecord& src,
                    int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight) {
    if (!dst || !src.pixels || src.width <= 0 || src.height <= 0) return 0;
    std::unique_ptr<NvImageData> temp(NvCreateImageData(src.width, src.height, 0xFF00FF, false));
    if (!temp || NvPutPixels(temp.get(), 0, 0, src) == 0) return 0;
    if (width == srcWidth && height == srcHeight)
        return NvCopyImageRect(dst, x, y, width, height, temp.get(), srcX, srcY);
    return NvStretchRect(dst, x, y, width, height, temp.get(), srcX, srcY, srcWidth, srcHeight);
}

int NvTransparentBlit(const NvPixels& dst, int32_t x, int32_t y, int32_t width, int32_t height, NvImageData* src,
                      int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight, uint32_t keyColour) {
    return Stretch(dst, x, y, width, height, NvPixelsOf(src), srcX, srcY, srcWidth, srcHeight, true,
                   Rgb565FromColor(keyColour));
}

int NvRestoreBackground(int32_t x, int32_t y, int32_t width, int32_t height) {
    NvImageRsc* layer = NvGetBackgroundLayer();
    if (!layer || !layer->Current()) return 0;
    return NvCopyPixels(NvPixelsOf(NvBackBuffer()), x, y, width, height, NvPixelsOf(layer->Current()), x, y);
}

int NvCopyBackgroundLayer() {
    NvImageRsc* layer = NvGetBackgroundLayer();
    if (!layer || !layer->Current()) return 0;
    return NvBlitWholeImage(NvPixelsOf(NvBackBuffer()), 0, 0, layer->Current());
}

// ---------------------------------------------------------------- image resources

int NvImageRsc::DrawImage(int32_t x, int32_t y, int32_t width, int32_t height, int mode, int32_t srcX,
                          int32_t srcY) {
    NvImageData* image = Current();
    NvImageData* back = NvBackBuffer();
    if (!image || !back) return 0;
    switch (kind) {
        case RESOURCE_BMP:
            if (mode == 0) NvRestoreBackground(x, y, width, height);
            if ((image->drawFlags & kImageDrawBlend) && image->blendLevel)
                return NvBlendConstant(1, 2, x, y, width, height, image, srcX, srcY, 0xFF00FF, image->blendLevel);
            if (image->drawFlags & kImageDrawColorKey)
                return NvCopyColorKey(NvPixelsOf(back), x, y, width, height, image, srcX, srcY);
            return NvCopyImageRect(back, x, y, width, height, image, srcX, srcY);
        case RESOURCE_ANIMATION:
            if (mode == 0) NvRestoreBackground(x, y, width, height);
            if (image->drawFlags & kImageDrawColorKey)
                return NvCopyColorKey(NvPixelsOf(back), x, y, image->width, image->height, image, 0, 0);
            return NvCopyImageRect(back, x, y, image->width, image->height, image, 0, 0);
        case RESOURCE_ALPHA:
            if (image->alpha.empty()) return 0;
            // With the key flag (a drawing surface) unpainted pixels are left out.
            return DrawAlpha(1, mode == 0 ? 2 : 1, x, y, width, height, image, srcX, srcY,
                             (image->drawFlags & kImageDrawColorKey) != 0);
        default: return 0;  // area, JPEG and data images are not drawn here
    }
}

void NvImageRsc::Draw(int /*target*/, bool /*full*/) {
    DrawImage(m_rect.x, m_rect.y, m_rect.width, m_rect.height, 0);
    SetUpdateFlag(false);
}
