#pragma once
// Where the toolkit's frames go and where its input comes from: a small
// presenter interface with two back ends, an SDL2 window with an RGB565
// streaming texture and a headless one that keeps the last frame in memory,
// plus the message layer that carries the window-system message numbers the
// toolkit speaks (513 pointer down, 514 up, 5 size, 20000-20002, WM_QUIT).
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "render/dib_image.h"

// Message numbers.
inline constexpr uint32_t kNvWmSize = 5;
inline constexpr uint32_t kNvWmQuit = 0x12;
inline constexpr uint32_t kNvWmLButtonDown = 513;
inline constexpr uint32_t kNvWmLButtonUp = 514;
inline constexpr uint32_t kNvWmPopupClosed = 20000;  // wParam the popup's layout id
inline constexpr uint32_t kNvWmBoardCentred = 20001; // wParam 1, lParam the blank-background flag
inline constexpr uint32_t kNvWmTypedChar = 20002;    // a typed character for the current screen

// A point or a size packed as the window system packs them: low 16 bits x
// (width), high 16 bits y (height).
constexpr uint32_t NvMakePoint(int32_t x, int32_t y) {
    return (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) | static_cast<uint16_t>(x);
}

struct NvMessage {
    uint32_t message = 0;
    uint32_t wParam = 0;
    uint32_t lParam = 0;
    uint32_t tick = 0;
};

// The main window's queue of posted messages (toolkit notices and input
// taken from the window). Main thread only.
class NvMessageQueue {
public:
    void Post(uint32_t message, uint32_t wParam, uint32_t lParam, uint32_t tick = 0) {
        m_messages.push_back({message, wParam, lParam, tick});
    }
    bool Peek(NvMessage* out);  // takes the oldest; false when empty
    size_t Size() const { return m_messages.size(); }
    void Clear() { m_messages.clear(); }

private:
    std::deque<NvMessage> m_messages;
};

// The process's main-window queue: the toolkit posts 20000 and 20001 here.
NvMessageQueue& NvMainQueue();

// A surface the renderer presents its frames on.
class NvPresenter {
public:
    virtual ~NvPresenter() = default;
    // Copies width x height pixels of an RGB565 bottom-up buffer (stride in
    // bytes) to (x, y) of the window. False when nothing could be shown.
    virtual bool Present(const uint8_t* bits, int32_t width, int32_t height, int32_t stride, int32_t x,
                         int32_t y) = 0;
    // Takes the window's waiting input into the queue as messages stamped
    // with tick; false once the window was asked to close (WM_QUIT posted).
    virtual bool PumpInput(NvMessageQueue& queue, uint32_t tick) = 0;
    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
};

// Keeps the last presented frame, composed into a window-sized image.
class NvHeadlessPresenter : public NvPresenter {
public:
    NvHeadlessPresenter(int32_t width, int32_t height);
    bool Present(const uint8_t* bits, int32_t width, int32_t height, int32_t stride, int32_t x,
                 int32_t y) override;
    bool PumpInput(NvMessageQueue& queue, uint32_t tick) override;
    int32_t Width() const override { return m_frame.Width(); }
    int32_t Height() const override { return m_frame.Height(); }

    // Input a test wants the next pump to deliver.
    void Inject(uint32_t message, uint32_t wParam, uint32_t lParam) { m_pending.Post(message, wParam, lParam); }
    const DibImage565& Frame() const { return m_frame; }
    int PresentCount() const { return m_presents; }
    // The last frame as PNG (through platform::AtomicReplaceFile).
    bool WritePng(const std::string& path) const;

private:
    DibImage565 m_frame;
    NvMessageQueue m_pending;
    int m_presents = 0;
};

// RGB565 rows (bottom-up, stride bytes apart) as a PNG file's bytes.
std::string NvEncodePng565(const uint8_t* bits, int32_t width, int32_t height, int32_t stride);

// A window of SDL2 with an RGB565 streaming texture. Create fails (null)
// when SDL cannot open a video driver or a window.
class NvSdlPresenter : public NvPresenter {
public:
    static std::unique_ptr<NvSdlPresenter> Create(const char* title, int32_t width, int32_t height);
    ~NvSdlPresenter() override;
    bool Present(const uint8_t* bits, int32_t width, int32_t height, int32_t stride, int32_t x,
                 int32_t y) override;
    bool PumpInput(NvMessageQueue& queue, uint32_t tick) override;
    int32_t Width() const override { return m_width; }
    int32_t Height() const override { return m_height; }
    int PresentCount() const { return m_presents; }

private:
    NvSdlPresenter() = default;
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int m_presents = 0;
};
