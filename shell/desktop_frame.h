#pragma once
// The program's top-level window: one SDL2 window owned by the main thread
// (or, headless, an image in memory), which also presents the toolkit's
// frames. It refuses to open when no display can hold the client size,
// switches between windowed and full screen, and turns the window system's
// events into the main window's messages: close -> chapter event 149,
// typed text -> 20002, the wheel -> zoom in or out.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "render/dib_image.h"
#include "uikit/presenter.h"

inline constexpr char kResolutionMessage[] = "본 프로그램은 800x480 이상의 해상도에서만 동작합니다.";

// Where the frame's messages go: (message, wParam, lParam).
using FramePost = std::function<void(uint32_t message, uint64_t wParam, int64_t lParam)>;

class DesktopFrame : public NvPresenter {
public:
    struct Options {
        bool headless = false;
        bool messageBox = true;   // the refusal also as a message box
        std::string title = "Navi";
    };
    DesktopFrame();
    ~DesktopFrame() override;

    // 1 created (hidden); 0 refused: no display holds the client size (the
    // message is shown); -1 the window system failed.
    int Create(const Options& options, int32_t clientWidth, int32_t clientHeight);

    bool Present(const uint8_t* bits, int32_t width, int32_t height, int32_t stride, int32_t x,
                 int32_t y) override;
    bool PumpInput(NvMessageQueue&, uint32_t) override { return true; }
    int32_t Width() const override { return m_width; }
    int32_t Height() const override { return m_height; }

    // Turns waiting events into messages (never blocks).
    void PollEvents(const FramePost& post);
    // Waits at most timeoutMs (real time) for an event or a wake-up.
    void WaitEvents(uint32_t timeoutMs);
    // Any thread: makes WaitEvents return.
    void Wake();

    void Show();
    bool IsShown() const { return m_shown; }
    void Raise();
    void ToggleFullScreen();
    bool IsWindowed() const { return m_windowed; }
    bool IsHeadless() const { return m_headless; }
    // The window's size on the display (the client size headless).
    void WindowSize(int32_t* width, int32_t* height) const;

    // The last presented picture, composed at client size.
    const DibImage565& Picture() const { return m_picture; }
    // PNG, or PPM for a name ending in ".ppm".
    bool WritePng(const std::string& path) const;
    int PresentCount() const { return m_presents; }

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    bool m_headless = false;
    bool m_windowed = true;
    bool m_shown = false;
    int32_t m_width = 0;
    int32_t m_height = 0;
    DibImage565 m_picture;
    int m_presents = 0;
};
