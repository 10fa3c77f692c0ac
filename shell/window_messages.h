#pragma once
// The message numbers of the main window and the frame: the window-system
// numbers the shell's design speaks, carried by the shell's own loop.
#include <cstdint>

#include "shell/main_queue.h"
#include "shell/window_link.h"

inline constexpr uint32_t kWmCreate = 0x0001;
inline constexpr uint32_t kWmDestroy = 0x0002;
inline constexpr uint32_t kWmSize = 0x0005;
inline constexpr uint32_t kWmSetFocus = 0x0007;
inline constexpr uint32_t kWmPaint = 0x000F;
inline constexpr uint32_t kWmClose = 0x0010;
inline constexpr uint32_t kWmQuit = 0x0012;
inline constexpr uint32_t kWmKeyDown = 0x0100;
inline constexpr uint32_t kWmKeyUp = 0x0101;
inline constexpr uint32_t kWmChar = 0x0102;
inline constexpr uint32_t kWmTimer = 0x0113;
inline constexpr uint32_t kWmMouseMove = 0x0200;
inline constexpr uint32_t kWmLButtonDown = 0x0201;
inline constexpr uint32_t kWmLButtonUp = 0x0202;
inline constexpr uint32_t kWmLButtonDblClk = 0x0203;
inline constexpr uint32_t kWmRButtonDown = 0x0204;
inline constexpr uint32_t kWmRButtonUp = 0x0205;
inline constexpr uint32_t kWmMouseWheel = 0x020A;

inline constexpr uint32_t kWmRemoteNoMapping = 0x600;
inline constexpr uint32_t kWmFrameShown = 20001;          // wParam 1, lParam shown
inline constexpr uint32_t kWmTypedChar = 20002;           // wParam the character

// Shell-private messages carried by the main queue: the start-up thread
// asks the main thread to set a timer (wParam id, lParam period) and to
// show a start-up failure (wParam the failing step).
inline constexpr uint32_t kWmShellSetTimer = kWmUser + 0x200;
inline constexpr uint32_t kWmShellStartupFailed = kWmUser + 0x201;
inline constexpr uint32_t kWmShellRaise = kWmUser + 0x202;

// The remote-control messages the frame posts for the mouse wheel: the
// registered numbers of "BMSG_RMC_ZOOMIN" and "BMSG_RMC_ZOOMOUT".
inline const uint32_t kBmsgRmcZoomIn = RegisterLinkMessage(kRegRmcZoomIn);
inline const uint32_t kBmsgRmcZoomOut = RegisterLinkMessage(kRegRmcZoomOut);

// Chapter events the shell itself posts.
inline constexpr int kChapterEventStart = 0;
inline constexpr int kChapterEventExit = 149;

// The update timer and its period.
inline constexpr uint32_t kUpdateTimerId = 1026;
inline constexpr uint32_t kUpdateTimerMs = 150;

// Key codes.
inline constexpr uint32_t kVkEscape = 27;
inline constexpr uint32_t kVkLeft = 37;
inline constexpr uint32_t kVkUp = 38;
inline constexpr uint32_t kVkRight = 39;
inline constexpr uint32_t kVkDown = 40;
inline constexpr uint32_t kVkF2 = 113;
inline constexpr uint32_t kVkF3 = 114;
inline constexpr uint32_t kVkReturn = 13;

// Status codes the window broadcasts.
inline constexpr int kStatusStarted = 0;
inline constexpr int kStatusEnded = 1;
inline constexpr int kStatusDayNight = 16;
inline constexpr int kStatusFirstScreen = 17;

// (x low word, y high word), as the window system packs a point.
constexpr int64_t MakePointParam(int32_t x, int32_t y) {
    return static_cast<int64_t>((static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) |
                                static_cast<uint16_t>(x));
}
constexpr int32_t PointParamX(int64_t lParam) { return static_cast<int16_t>(lParam & 0xFFFF); }
constexpr int32_t PointParamY(int64_t lParam) { return static_cast<int16_t>((lParam >> 16) & 0xFFFF); }
