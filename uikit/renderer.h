#pragma once
// The toolkit's 16-bit renderer: everything the UI shows is composed in one
// RGB565 back buffer (rows bottom-up, stride = width x 2 rounded up to 4
// bytes) and presented once per frame, optionally turned by 90, 180 or 270
// degrees for a screen mounted sideways. Images are drawn into it with
// plain, colour-keyed, constant-blend and per-pixel alpha copies done in
// memory. One renderer per process; main thread only.
//
// Every copy clips its region against both surfaces in both axes, so no
// region can write outside either image.
#include <cstdint>
#include <functional>
#include <memory>

#include "render/dib_image.h"
#include "uikit/image_resource.h"
#include "uikit/nv_rsc_object.h"
#include "uikit/presenter.h"

struct NvPixels;

class NvRenderer : public NvObject {
public:
    static const NvRuntimeClass kClass;
    const NvRuntimeClass* GetRuntimeClass() const override { return &kClass; }
    ~NvRenderer() override;

    NvPresenter* m_window = nullptr;
    uint16_t m_screenWidth = 0;   // for the map drawing of other modules
    uint16_t m_screenHeight = 0;
    NvRect m_backRect;            // origin in the window, and the size
    std::unique_ptr<NvImageData> m_back;     // the back buffer
    uint16_t m_rotation = 0;                 // 0 none, 1..3
    DibImage565 m_rotated;                   // modes 1..3
    NvImageRsc* m_backgroundLayer = nullptr; // not owned
    std::unique_ptr<NvImageData> m_blank;    // the blank screen image
    std::unique_ptr<NvImageData> m_over;     // the back buffer with a window overlay
};

// Makes the process's renderer over window (null window: null). With the
// flag the back buffer of width x height and, for rotation 1..3, the
// rotation buffer are made. The blank screen image has the screen's size.
NvRenderer* NvInitRenderer(NvPresenter* window, int32_t screenWidth, int32_t screenHeight, int32_t x, int32_t y,
                           int32_t width, int32_t height, bool createBackBuffer, int rotation);
void NvReleaseRenderer();
NvRenderer* NvGetRenderer();
// The back buffer (null without a renderer).
NvImageData* NvBackBuffer();
NvImageData* NvBlankScreenImage();
// A new back buffer when the size changed; the old one is freed.
bool NvResizeBackBuffer(int32_t width, int32_t height);
void NvSetBackgroundLayer(NvImageRsc* layer);
NvImageRsc* NvGetBackgroundLayer();
// A zeroed RGB565 surface; false for a zero size.
bool NvCreateDIB565(int32_t width, int32_t height, DibImage565& out);
// Back buffer to the window at (x, y), width x height from (srcX, srcY),
// through the rotation mode. The developer overlay is drawn first.
int NvPresent(int32_t x, int32_t y, int32_t width, int32_t height, int32_t srcX, int32_t srcY);
// Draws on the window, not into the back buffer: draw paints over a copy of
// the back buffer, and the part (srcX, srcY, width, height) of that copy is
// shown at (x + srcX, y + srcY) of the window (all of it when the screen is
// turned). What is drawn stays on the window until the next present over it.
int NvPresentOver(int32_t x, int32_t y, int32_t width, int32_t height, int32_t srcX, int32_t srcY,
                  const std::function<void(const NvPixels&)>& draw);

// The rotations on raw surfaces (exposed for tests and the benchmark):
// src is w x h with srcStride bytes per row; dst must be h x w (modes 1, 3)
// or w x h (mode 2) with dstStride. False for another mode.
bool NvRotate565(int mode, const uint8_t* src, int32_t w, int32_t h, int32_t srcStride, uint8_t* dst,
                 int32_t dstStride);

// ---- memory copies (1, or 0 for a missing image / alpha plane / target)

// A raw surface: width x height pixels, rows bottom-up, stride bytes apart.
struct NvPixels {
    uint8_t* bits = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    uint16_t* alpha = nullptr;  // optional plane of the same layout
};
NvPixels NvPixelsOf(NvImageData* image);
NvPixels NvPixelsOf(DibImage565& image);
// A raw buffer of width x height whose stride is width x 2 rounded to 4.
NvPixels NvPixelsOf(void* pixels, int32_t width, int32_t height);

int NvCopyImageRect(NvImageData* dst, int32_t x, int32_t y, int32_t width, int32_t height, NvImageData* src,
                    int32_t srcX, int32_t srcY);
int NvCopyPixels(const NvPixels& dst, int32_t x, int32_t y, int32_t width, int32_t height, const NvPixels& src,
                 int32_t srcX, int32_t srcY);
// A raw pixel record: width, height, row bytes, pixels (bottom-up).
struct NvPixelRecord {
    int32_t width = 0;
    int32_t height = 0;
    int32_t rowBytes = 0;
    const uint8_t* pixels = nullptr;
};
int NvPutPixels(NvImageData* dst, int32_t x, int32_t y, const NvPixelRecord& src);
int NvCopyColorKey(const NvPixels& dst, int32_t x, int32_t y, int32_t width, int32_t height, NvImageData* src,
                   int32_t srcX, int32_t srcY);
int NvCopyWithAlpha(NvImageData* dst, int32_t x, int32_t y, int32_t width, int32_t height, NvImageData* src,
                    int32_t srcX, int32_t srcY);
int NvBlendAlpha(NvImageData* dst, int32_t x, int32_t y, int32_t width, int32_t height, NvImageData* src,
                 int32_t srcX, int32_t srcY);
// Screen blends. target: 1 the back buffer, 0 the back buffer then the
// window, 2 (alpha image only) the background layer. background: 1 the back
// buffer, 2 the background layer's image, 0 what the window shows.
int NvBlendConstant(int target, int background, int32_t x, int32_t y, int32_t width, int32_t height,
                    NvImageData* src, int32_t srcX, int32_t srcY, uint32_t keyColour, uint32_t level);
int NvDrawAlphaImage(int target, int background, int32_t x, int32_t y, int32_t width, int32_t height,
                     NvImageData* src, int32_t srcX, int32_t srcY);
void NvDimBuffer(void* pixels, int32_t width, int32_t height, int percent);

// The pixel of a GDI colour value (red in the low byte): each component
// keeps its low 5 or 6 bits unscaled.
constexpr uint16_t NvKeyToPixel(uint32_t k) {
    return static_cast<uint16_t>((((k >> 8) << 5) & 0x7FF) | ((k >> 16) & 0x1F) | (k << 11));
}
// The two pixel formulas.
uint16_t NvAlphaPixel(uint16_t image, uint16_t background, uint16_t transparency);
uint16_t NvConstantPixel(uint16_t image, uint16_t background, uint32_t level);

// ---- copies between images (what the window system's blits did)

int NvBlitImage(const NvPixels& dst, int32_t x, int32_t y, int32_t width, int32_t height, NvImageData* src,
                int32_t srcX, int32_t srcY);
int NvBlitWholeImage(const NvPixels& dst, int32_t x, int32_t y, NvImageData* src);
// Nearest-neighbour stretch of the whole source onto the whole destination.
int NvStretchImage(NvImageData* dst, NvImageData* src);
// The general form; refuses (0) a destination rectangle larger than dst.
int NvStretchRect(NvImageData* dst, int32_t x, int32_t y, int32_t width, int32_t height, NvImageData* src,
                  int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight);
// Raw pixels through a temporary image (filled with 0xFF00FF): copied when
// the sizes match, stretched otherwise.
int NvStretchPixels(NvImageData* dst, int32_t x, int32_t y, int32_t width, int32_t height, const NvPixelRecord& src,
                    int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight);
int NvTransparentBlit(const NvPixels& dst, int32_t x, int32_t y, int32_t width, int32_t height, NvImageData* src,
                      int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight, uint32_t keyColour);
// That region of the background layer into the back buffer.
int NvRestoreBackground(int32_t x, int32_t y, int32_t width, int32_t height);
int NvCopyBackgroundLayer();
