#include "shell/desktop_frame.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstring>

#include "foundation/debug_trace.h"
#include "platform/file_io.h"
#include "shell/window_messages.h"

struct DesktopFrame::Impl {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    bool videoInit = false;
    uint32_t wakeEvent = 0;
};

namespace {

uint32_t KeyCode(SDL_Keycode key) {
    switch (key) {
        case SDLK_ESCAPE: return kVkEscape;
        case SDLK_LEFT: return kVkLeft;
        case SDLK_RIGHT: return kVkRight;
        case SDLK_UP: return kVkUp;
        case SDLK_DOWN: return kVkDown;
        case SDLK_F2: return kVkF2;
        case SDLK_F3: return kVkF3;
        case SDLK_RETURN: return kVkReturn;
        default: break;
    }
    if (key >= SDLK_F1 && key <= SDLK_F12) return 112 + static_cast<uint32_t>(key - SDLK_F1);
    if (key >= 'a' && key <= 'z') return static_cast<uint32_t>(key - 'a' + 'A');
    if (key >= 0 && key < 128) return static_cast<uint32_t>(key);
    return 0;
}

// The code points of UTF-8 text.
template <typename F>
void ForEachCodePoint(const char* text, F&& f) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        uint32_t c = *p++;
        int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (more) c &= (0x3F >> more);
        for (; more > 0 && (*p & 0xC0) == 0x80; --more) c = (c << 6) | (*p++ & 0x3F);
        if (more == 0) f(c);
    }
}

}  // namespace

DesktopFrame::DesktopFrame() : m_impl(std::make_unique<Impl>()) {}

DesktopFrame::~DesktopFrame() {
    if (m_impl->texture) SDL_DestroyTexture(m_impl->texture);
    if (m_impl->renderer) SDL_DestroyRenderer(m_impl->renderer);
    if (m_impl->window) SDL_DestroyWindow(m_impl->window);
    if (m_impl->videoInit) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

int DesktopFrame::Create(const Options& options, int32_t clientWidth, int32_t clientHeight) {
    m_headless = options.headless;
    m_width = clientWidth;
    m_height = clientHeight;
    if (!m_picture.Create(clientWidth, clientHeight)) return -1;
    if (m_headless) return 1;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        DebugTrace(0, "[FRAME] no video: %s\n", SDL_GetError());
        return -1;
    }
    m_impl->videoInit = true;
    bool fits = false;
    const int displays = SDL_GetNumVideoDisplays();
    for (int i = 0; i < displays && i < 4; ++i) {
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(i, &bounds) == 0 && bounds.w >= clientWidth && bounds.h >= clientHeight) fits = true;
    }
    if (!fits) {
        DebugTrace(0, "[FRAME] %s\n", kResolutionMessage);
        std::fprintf(stderr, "navi: %s\n", kResolutionMessage);
        if (options.messageBox) SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "", kResolutionMessage, nullptr);
        return 0;
    }
    m_impl->window = SDL_CreateWindow(options.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                      clientWidth, clientHeight, SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
    if (!m_impl->window) return -1;
    SDL_SetWindowMinimumSize(m_impl->window, clientWidth, clientHeight);
    m_impl->renderer = SDL_CreateRenderer(m_impl->window, -1, SDL_RENDERER_SOFTWARE);
    if (!m_impl->renderer) return -1;
    // The client keeps its size; the picture is scaled onto a larger window
    // and pointer positions come back in client pixels.
    SDL_RenderSetLogicalSize(m_impl->renderer, clientWidth, clientHeight);
    m_impl->texture = SDL_CreateTexture(m_impl->renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING,
                                        clientWidth, clientHeight);
    if (!m_impl->texture) return -1;
    m_impl->wakeEvent = SDL_RegisterEvents(1);
    SDL_StartTextInput();
    return 1;
}

bool DesktopFrame::Present(const uint8_t* bits, int32_t width, int32_t height, int32_t stride, int32_t x,
                           int32_t y) {
    // Composed into the kept picture first (rows bottom-up on both sides).
    const int32_t left = std::max(0, x), top = std::max(0, y);
    const int32_t right = std::min(m_width, x + width), bottom = std::min(m_height, y + height);
    if (left >= right || top >= bottom) return false;
    for (int32_t row = top; row < bottom; ++row) {
        const uint8_t* src = bits + static_cast<size_t>(height - 1 - (row - y)) * stride + (left - x) * 2;
        uint8_t* dst = m_picture.Bits() + static_cast<size_t>(m_height - 1 - row) * m_picture.Stride() + left * 2;
        std::memcpy(dst, src, static_cast<size_t>(right - left) * 2);
    }
    ++m_presents;
    if (m_headless || !m_impl->texture) return true;
    std::vector<uint8_t> topDown(static_cast<size_t>(m_width) * 2 * m_height);
    for (int32_t row = 0; row < m_height; ++row) {
        std::memcpy(topDown.data() + static_cast<size_t>(row) * m_width * 2,
                    m_picture.Bits() + static_cast<size_t>(m_height - 1 - row) * m_picture.Stride(),
                    static_cast<size_t>(m_width) * 2);
    }
    SDL_UpdateTexture(m_impl->texture, nullptr, topDown.data(), m_width * 2);
    SDL_RenderClear(m_impl->renderer);
    SDL_RenderCopy(m_impl->renderer, m_impl->texture, nullptr, nullptr);
    SDL_RenderPresent(m_impl->renderer);
    return true;
}

void DesktopFrame::PollEvents(const FramePost& post) {
    if (m_headless || !m_impl->window) return;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
            case SDL_QUIT: post(kWmChapterEvent, kChapterEventExit, 0); break;
            case SDL_WINDOWEVENT:
                if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
                    post(kWmChapterEvent, kChapterEventExit, 0);
                } else if (e.window.event == SDL_WINDOWEVENT_MAXIMIZED && m_windowed) {
                    SDL_RestoreWindow(m_impl->window);
                    ToggleFullScreen();
                } else if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                    post(kWmSize, 0, MakePointParam(m_width, m_height));
                } else if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
                    post(kWmPaint, 0, 0);
                }
                break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP: {
                const bool down = e.type == SDL_MOUSEBUTTONDOWN;
                uint32_t message = 0;
                if (e.button.button == SDL_BUTTON_LEFT) message = down ? kWmLButtonDown : kWmLButtonUp;
                if (e.button.button == SDL_BUTTON_RIGHT) message = down ? kWmRButtonDown : kWmRButtonUp;
                if (message) post(message, down ? 1 : 0, MakePointParam(e.button.x, e.button.y));
                break;
            }
            case SDL_MOUSEMOTION:
                post(kWmMouseMove, (e.motion.state & SDL_BUTTON_LMASK) ? 1 : 0, MakePointParam(e.motion.x, e.motion.y));
                break;
            case SDL_MOUSEWHEEL:
                // The window system's delta is positive away from the user.
                if (e.wheel.y < 0) post(kBmsgRmcZoomIn, 0, 0);
                if (e.wheel.y > 0) post(kBmsgRmcZoomOut, 0, 0);
                break;
            case SDL_TEXTINPUT:
                ForEachCodePoint(e.text.text, [&](uint32_t c) { post(kWmTypedChar, c, 0); });
                break;
            case SDL_KEYDOWN:
            case SDL_KEYUP: {
                const bool down = e.type == SDL_KEYDOWN;
                if (down && e.key.keysym.sym == SDLK_RETURN && (e.key.keysym.mod & KMOD_ALT)) {
                    if (m_windowed) ToggleFullScreen();   // Alt+Enter switches only from windowed
                    break;
                }
                const uint32_t code = KeyCode(e.key.keysym.sym);
                if (code) post(down ? kWmKeyDown : kWmKeyUp, code, 0);
                break;
            }
            default: break;
        }
    }
}

void DesktopFrame::WaitEvents(uint32_t timeoutMs) {
    if (m_headless || !m_impl->window) return;
    SDL_WaitEventTimeout(nullptr, static_cast<int>(timeoutMs));
}

void DesktopFrame::Wake() {
    if (m_headless || !m_impl->wakeEvent || m_impl->wakeEvent == static_cast<uint32_t>(-1)) return;
    SDL_Event e{};
    e.type = m_impl->wakeEvent;
    SDL_PushEvent(&e);
}

void DesktopFrame::Show() {
    m_shown = true;
    if (m_impl->window) SDL_ShowWindow(m_impl->window);
}

void DesktopFrame::Raise() {
    if (m_impl->window && m_shown) SDL_RaiseWindow(m_impl->window);
    DebugTrace(1, "[FRAME] brought to the front\n");
}

void DesktopFrame::ToggleFullScreen() {
    if (!m_impl->window) return;
    if (m_windowed) {
        // Only on a display that holds the client.
        const int display = SDL_GetWindowDisplayIndex(m_impl->window);
        SDL_Rect bounds;
        if (display < 0 || SDL_GetDisplayBounds(display, &bounds) != 0 || bounds.w < m_width ||
            bounds.h < m_height) {
            return;
        }
        if (SDL_SetWindowFullscreen(m_impl->window, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0) m_windowed = false;
    } else if (SDL_SetWindowFullscreen(m_impl->window, 0) == 0) {
        m_windowed = true;
    }
}

void DesktopFrame::WindowSize(int32_t* width, int32_t* height) const {
    *width = m_width;
    *height = m_height;
    if (m_impl->window) SDL_GetWindowSize(m_impl->window, width, height);
}

bool DesktopFrame::WritePng(const std::string& path) const {
    // A ".ppm" name gets a binary PPM (rows top-down, 8 bits per channel).
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".ppm") == 0) {
        std::string ppm = "P6\n" + std::to_string(m_width) + " " + std::to_string(m_height) + "\n255\n";
        for (int32_t y = 0; y < m_height; ++y) {
            for (int32_t x = 0; x < m_width; ++x) {
                const uint32_t bgr = ColorFromRgb565(m_picture.Pixel(x, y));
                ppm.push_back(static_cast<char>(bgr & 0xFF));
                ppm.push_back(static_cast<char>((bgr >> 8) & 0xFF));
                ppm.push_back(static_cast<char>((bgr >> 16) & 0xFF));
            }
        }
        return platform::AtomicReplaceFile(path, ppm.data(), ppm.size(), nullptr);
    }
    const std::string png = NvEncodePng565(m_picture.Bits(), m_width, m_height, m_picture.Stride());
    return platform::AtomicReplaceFile(path, png.data(), png.size(), nullptr);
}
