#include "uikit/presenter.h"

#include <SDL2/SDL.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/file_io.h"

bool NvMessageQueue::Peek(NvMessage* out) {
    if (m_messages.empty()) return false;
    if (out) *out = m_messages.front();
    m_messages.pop_front();
    return true;
}

NvMessageQueue& NvMainQueue() {
    static NvMessageQueue queue;
    return queue;
}

// ---------------------------------------------------------------- headless

NvHeadlessPresenter::NvHeadlessPresenter(int32_t width, int32_t height) { m_frame.Create(width, height); }

bool NvHeadlessPresenter::Present(const uint8_t* bits, int32_t width, int32_t height, int32_t stride, int32_t x,
                                  int32_t y) {
    if (!bits || m_frame.Empty()) return false;
    // Source rows are bottom-up: screen row r of the source lives at memory
    // row height - 1 - r.
    for (int32_t r = 0; r < height; ++r) {
        const int32_t wy = y + r;
        if (wy < 0 || wy >= m_frame.Height()) continue;
        const auto* src = reinterpret_cast<const uint16_t*>(bits + static_cast<size_t>(height - 1 - r) * stride);
        for (int32_t c = 0; c < width; ++c) {
            const int32_t wx = x + c;
            if (wx >= 0 && wx < m_frame.Width()) m_frame.SetPixel(wx, wy, src[c]);
        }
    }
    ++m_presents;
    return true;
}

bool NvHeadlessPresenter::PumpInput(NvMessageQueue& queue, uint32_t tick) {
    NvMessage m;
    bool open = true;
    while (m_pending.Peek(&m)) {
        queue.Post(m.message, m.wParam, m.lParam, tick);
        if (m.message == kNvWmQuit) open = false;
    }
    return open;
}

namespace {

void PutBe32(std::string& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<char>((v >> s) & 0xFF));
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
    PutBe32(out, static_cast<uint32_t>(data.size()));
    std::string body(type, 4);
    body += data;
    out += body;
    PutBe32(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                             static_cast<uInt>(body.size()))));
}

}  // namespace

std::string NvEncodePng565(const uint8_t* bits, int32_t width, int32_t height, int32_t stride) {
    if (!bits || width <= 0 || height <= 0) return {};
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(height) * (1 + 3 * static_cast<size_t>(width)));
    for (int32_t r = 0; r < height; ++r) {
        raw.push_back(0);  // filter: none
        const auto* row = reinterpret_cast<const uint16_t*>(bits + static_cast<size_t>(height - 1 - r) * stride);
        for (int32_t c = 0; c < width; ++c) {
            const uint16_t p = row[c];
            const uint32_t r5 = p >> 11, g6 = (p >> 5) & 0x3F, b5 = p & 0x1F;
            raw.push_back(static_cast<uint8_t>((r5 << 3) | (r5 >> 2)));
            raw.push_back(static_cast<uint8_t>((g6 << 2) | (g6 >> 4)));
            raw.push_back(static_cast<uint8_t>((b5 << 3) | (b5 >> 2)));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, raw.data(), static_cast<uLong>(raw.size()),
                  6) != Z_OK)
        return {};
    packed.resize(packedSize);
    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string ihdr;
    PutBe32(ihdr, static_cast<uint32_t>(width));
    PutBe32(ihdr, static_cast<uint32_t>(height));
    ihdr += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
    PutChunk(png, "IHDR", ihdr);
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", {});
    return png;
}

bool NvHeadlessPresenter::WritePng(const std::string& path) const {
    const std::string png = NvEncodePng565(m_frame.Bits(), m_frame.Width(), m_frame.Height(), m_frame.Stride());
    if (png.empty()) return false;
    return platform::AtomicReplaceFile(path, std::vector<uint8_t>(png.begin(), png.end()));
}

// ---------------------------------------------------------------- SDL2

struct NvSdlPresenter::Impl {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    bool videoInit = false;
};

std::unique_ptr<NvSdlPresenter> NvSdlPresenter::Create(const char* title, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return nullptr;
    std::unique_ptr<NvSdlPresenter> p(new NvSdlPresenter());
    p->m_impl = std::make_unique<Impl>();
    Impl& impl = *p->m_impl;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
    impl.videoInit = true;
    impl.window = SDL_CreateWindow(title ? title : "NAVI", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width,
                                   height, 0);
    if (!impl.window) return nullptr;
    impl.renderer = SDL_CreateRenderer(impl.window, -1, SDL_RENDERER_SOFTWARE);
    if (!impl.renderer) return nullptr;
    impl.texture =
        SDL_CreateTexture(impl.renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!impl.texture) return nullptr;
    p->m_width = width;
    p->m_height = height;
    return p;
}

NvSdlPresenter::~NvSdlPresenter() {
    if (!m_impl) return;
    if (m_impl->texture) SDL_DestroyTexture(m_impl->texture);
    if (m_impl->renderer) SDL_DestroyRenderer(m_impl->renderer);
    if (m_impl->window) SDL_DestroyWindow(m_impl->window);
    if (m_impl->videoInit) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool NvSdlPresenter::Present(const uint8_t* bits, int32_t width, int32_t height, int32_t stride, int32_t x,
                             int32_t y) {
    if (!bits || !m_impl || !m_impl->texture) return false;
    const int32_t left = std::max(0, x), top = std::max(0, y);
    const int32_t right = std::min(m_width, x + width), bottom = std::min(m_height, y + height);
    if (right <= left || bottom <= top) return false;
    SDL_Rect area{left, top, right - left, bottom - top};
    void* out = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(m_impl->texture, &area, &out, &pitch) != 0) return false;
    for (int32_t wy = top; wy < bottom; ++wy) {
        const int32_t r = wy - y;
        const uint8_t* src = bits + static_cast<size_t>(height - 1 - r) * stride + static_cast<size_t>(left - x) * 2;
        std::memcpy(static_cast<uint8_t*>(out) + static_cast<size_t>(wy - top) * pitch, src,
                    static_cast<size_t>(right - left) * 2);
    }
    SDL_UnlockTexture(m_impl->texture);
    SDL_RenderCopy(m_impl->renderer, m_impl->texture, nullptr, nullptr);
    SDL_RenderPresent(m_impl->renderer);
    ++m_presents;
    return true;
}

bool NvSdlPresenter::PumpInput(NvMessageQueue& queue, uint32_t tick) {
    SDL_Event e;
    bool open = true;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
            case SDL_QUIT:
                queue.Post(kNvWmQuit, 0, 0, tick);
                open = false;
                break;
            case SDL_MOUSEBUTTONDOWN:
                if (e.button.button == SDL_BUTTON_LEFT)
                    queue.Post(kNvWmLButtonDown, 1, NvMakePoint(e.button.x, e.button.y), tick);
                break;
            case SDL_MOUSEBUTTONUP:
                if (e.button.button == SDL_BUTTON_LEFT)
                    queue.Post(kNvWmLButtonUp, 0, NvMakePoint(e.button.x, e.button.y), tick);
                break;
            case SDL_WINDOWEVENT:
                if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                    queue.Post(kNvWmSize, 0, NvMakePoint(e.window.data1, e.window.data2), tick);
                break;
            default: break;
        }
    }
    return open;
}
