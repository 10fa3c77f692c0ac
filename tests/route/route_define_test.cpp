// "Route.cfg": written, read back, and refused when damaged.
#include "route/route_define.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "support/temp_dir.h"
#include "tools/writers/route_data_writer.h"

namespace {

NcRouteConfig Distinct() {
    NcRouteConfig c = NcDefaultRouteConfig();
    c.valid = 7;
    c.turnCostS[3][6] = 1234;
    c.uTurnFactor[10][1] = 2.5f;
    c.leftTurnFactor[0][4] = 0.25f;
    return c;
}

TEST(RouteConfig, BytesByHandAndRoundTrip) {
    const std::vector<uint8_t> bytes = writers::BuildRouteCfg(Distinct());
    ASSERT_EQ(bytes.size(), 2160u);
    auto at = [&](size_t o, std::vector<uint8_t> v) {
        SCOPED_TRACE(o);
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + o, bytes.begin() + o + v.size()), v);
    };
    at(0, {7, 0, 0, 0});
    at(4, {0x44, 0x16, 0xE9, 0x29});
    at(8 + 4 * (3 * 7 + 6), {0xD2, 0x04, 0, 0});          // 1234
    at(120 + 4 * (10 * 7 + 1), {0x00, 0x00, 0x20, 0x40});  // 2.5f
    at(428 + 4 * 4, {0x00, 0x00, 0x80, 0x3E});            // 0.25f
    at(736, std::vector<uint8_t>(1424, 0));

    testsupport::TempDir dir;
    dir.Write("Config/Route.cfg", std::string(bytes.begin(), bytes.end()));
    NcRouteDefine define;
    EXPECT_EQ(define.Config().turnCostS[3][6], NcDefaultRouteConfig().turnCostS[3][6]);
    EXPECT_FLOAT_EQ(define.factors[11], 1.0f);
    ASSERT_EQ(define.Load(dir.File("Config/Route.cfg")), 1);
    EXPECT_TRUE(define.IsLoaded());
    EXPECT_EQ(define.Config().valid, 7);
    EXPECT_EQ(define.Config().turnCostS[3][6], 1234);
    EXPECT_FLOAT_EQ(define.Config().uTurnFactor[10][1], 2.5f);
    EXPECT_FLOAT_EQ(define.Config().leftTurnFactor[0][4], 0.25f);
}

TEST(RouteConfig, DefaultsAreNeutralAtWeightFive) {
    const NcRouteConfig c = NcDefaultRouteConfig();
    for (int k = 0; k < kNcLinkCodeClasses; ++k) {
        EXPECT_FLOAT_EQ(c.uTurnFactor[5][k], 1.0f);
        EXPECT_FLOAT_EQ(c.leftTurnFactor[5][k], 1.0f);
    }
    EXPECT_EQ(NcParseRouteConfig(writers::BuildRouteCfg(c).data(), 2160, nullptr), 1);
}

TEST(RouteConfig, DamagedFilesFailAndKeepTheTable) {
    const std::vector<uint8_t> good = writers::BuildRouteCfg(Distinct());
    auto patched = [&](size_t offset, std::vector<uint8_t> v) {
        std::vector<uint8_t> b = good;
        std::copy(v.begin(), v.end(), b.begin() + offset);
        return b;
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    } const cases[] = {
        {"empty", {}},
        {"short", std::vector<uint8_t>(good.begin(), good.end() - 1)},
        {"wrong magic", patched(4, {0x45})},
        {"negative turn cost", patched(8, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"turn cost above an hour", patched(8, {0x11, 0x0E, 0, 0})},  // 3601
        {"factor not a number", patched(120, {0, 0, 0xC0, 0x7F})},
        {"negative factor", patched(428, {0, 0, 0x80, 0xBF})},
    };
    testsupport::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NcRouteDefine define;
        dir.Write("Route.cfg", good.size() ? std::string(good.begin(), good.end()) : "");
        ASSERT_EQ(define.Load(dir.File("Route.cfg")), 1);
        dir.Write("Route.cfg", std::string(c.bytes.begin(), c.bytes.end()));
        EXPECT_EQ(define.Load(dir.File("Route.cfg")), 0);
        EXPECT_EQ(define.Config().turnCostS[3][6], 1234);  // the loaded table stays
    }
    NcRouteDefine fresh;
    EXPECT_EQ(fresh.Load(dir.File("missing.cfg")), 0);
    EXPECT_FALSE(fresh.IsLoaded());
    // A longer file is read for its first 2160 bytes.
    std::vector<uint8_t> longer = good;
    longer.push_back(1);
    EXPECT_EQ(NcParseRouteConfig(longer.data(), longer.size(), nullptr), 1);
}

}  // namespace
