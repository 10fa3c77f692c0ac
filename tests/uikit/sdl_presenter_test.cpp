// The SDL2 back end: a window with an RGB565 streaming texture opens and
// presents frames under the dummy video driver, and under X when a display
// is at hand (xvfb-run); the renderer presents through it like through the
// headless one.
#include <gtest/gtest.h>

#include <cstdlib>

#include "uikit/presenter.h"
#include "uikit/renderer.h"

namespace {

void PresentTwoFrames(NvSdlPresenter& window) {
    ASSERT_NE(NvInitRenderer(&window, 800, 480, 0, 0, 800, 480, true, 0), nullptr);
    NvBackBuffer()->dib.Fill(0x07E0);
    EXPECT_EQ(NvPresent(0, 0, 800, 480, 0, 0), 1);
    NvBackBuffer()->dib.Fill(0xF800);
    EXPECT_EQ(NvPresent(0, 0, 800, 480, 0, 0), 1);
    EXPECT_EQ(window.PresentCount(), 2);
    NvMessageQueue queue;
    EXPECT_TRUE(window.PumpInput(queue, 5));
    NvReleaseRenderer();
}

TEST(SdlPresenterTest, DummyDriverOpensAWindowAndPresents) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    auto window = NvSdlPresenter::Create("NAVI", 800, 480);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->Width(), 800);
    PresentTwoFrames(*window);
    // Regions partly outside the window are cut; wholly outside: nothing.
    std::vector<uint16_t> px(4 * 4, 0xFFFF);
    EXPECT_TRUE(window->Present(reinterpret_cast<const uint8_t*>(px.data()), 4, 4, 8, 798, 478));
    EXPECT_FALSE(window->Present(reinterpret_cast<const uint8_t*>(px.data()), 4, 4, 8, 900, 0));
    EXPECT_EQ(NvSdlPresenter::Create("NAVI", 0, 480), nullptr);
}

TEST(SdlPresenterTest, XWindowWhenADisplayIsThere) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no X display (run under xvfb-run to include it)";
    setenv("SDL_VIDEODRIVER", "x11", 1);
    auto window = NvSdlPresenter::Create("NAVI", 800, 480);
    ASSERT_NE(window, nullptr);
    PresentTwoFrames(*window);
}

}  // namespace
