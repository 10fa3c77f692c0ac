#pragma once
// A renderer on the demo district's style and layers (400 x 240, in a
// temporary data root of the test) for the overlay tests, with a request
// centred on the district and pixel helpers.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include "render/draw_map.h"
#include "tools/writers/demo_style.h"
#include "tools/writers/layer_writer.h"

namespace testsupport {

inline const MapPoint kDistrictCentre{static_cast<int32_t>(127.02 * kMapUnitsPerDegree),
                                      static_cast<int32_t>(37.516 * kMapUnitsPerDegree)};

class OverlayFrameTest : public testing::Test {
protected:
    void SetUp() override {
        m_root = std::filesystem::temp_directory_path() /
                 ("navi_overlay_" + std::to_string(::getpid()) + "_" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_root);
        std::filesystem::create_directories(m_root / "Map");
        std::filesystem::create_directories(m_root / "Config");
        std::string error;
        ASSERT_TRUE(demostyle::WriteDemoStyle(m_root.string(), &error)) << error;
        ASSERT_TRUE(writers::WriteDemoLayers(m_root.string(), &error)) << error;
        MneDrawInit init;
        init.width = 400;
        init.height = 240;
        init.dataRoot = m_root.string();
        m_map = std::make_unique<CMneDrawMap>(&m_drawInputs, nullptr, nullptr);
        ASSERT_EQ(m_map->Initialize(init), 1);
    }
    void TearDown() override {
        m_map.reset();
        std::filesystem::remove_all(m_root);
    }
    MneDrawRequest Request(int mode = 0, int step = 10, int screen = 0) const {
        MneDrawRequest r;
        r.viewMode = static_cast<uint8_t>(mode);
        r.scaleStep = static_cast<uint16_t>(step);
        r.viewWidth = 400;
        r.viewHeight = 240;
        r.northUp = 1;
        r.centreMode = 1;
        r.screenIndex = static_cast<uint8_t>(screen);
        r.centre = kDistrictCentre;
        return r;
    }
    ScreenPoint At(const MapPoint& p) {
        ScreenPoint s;
        m_map->Coords().MapToScreen(p, s, m_map->Request().birdView, 0);
        return s;
    }
    uint16_t PixelAt(const MapPoint& p) {
        const ScreenPoint s = At(p);
        return m_map->Picture().Pixel(s.x, s.y);
    }
    int CountPixels(uint32_t colour) {
        const uint16_t want = Rgb565FromColor(colour);
        int n = 0;
        for (int32_t y = 0; y < m_map->Picture().Height(); ++y)
            for (int32_t x = 0; x < m_map->Picture().Width(); ++x) n += m_map->Picture().Pixel(x, y) == want;
        return n;
    }

    std::filesystem::path m_root;
    MneFixedDrawInputs m_drawInputs;
    std::unique_ptr<CMneDrawMap> m_map;
};

}  // namespace testsupport
