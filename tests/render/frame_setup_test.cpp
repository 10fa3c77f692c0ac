// The frame's set-up tables, the visible tiles and their visit order, the
// theme rules, and the layer block validators over blocks from the writer.
#include <gtest/gtest.h>

#include "render/coord_system.h"
#include "render/frame_setup.h"
#include "render/layer_files.h"
#include "tools/writers/layer_writer.h"

namespace {

TEST(ScaleTables, StepsLevelsAndStyleLevels) {
    struct Case {
        int step, level;
    } steps[] = {{1, 0}, {10, 9}, {11, 13}, {12, 15}, {14, 17}, {0, 0}, {15, 0}};
    for (const Case& c : steps) {
        SCOPED_TRACE(c.step);
        EXPECT_EQ(ScaleLevelFromStep(c.step), c.level);
    }
    struct Back {
        int level, step;
    } back[] = {{11, 9}, {14, 12}, {13, 11}, {17, 14}, {0, 1}, {10, 9}, {12, 9}, {99, 1}};
    for (const Back& b : back) {
        SCOPED_TRACE(b.level);
        EXPECT_EQ(StepFromScaleLevel(b.level), b.step);
    }
    EXPECT_EQ(StyleLevelOfScaleLevel(13), 12);
    EXPECT_EQ(StyleLevelOfScaleLevel(17), 14);
    EXPECT_EQ(StyleLevelOfScaleLevel(18), 0);
}

TEST(VisibleTiles, VisitOrderFollowsTheRotation) {
    VisibleRange range;
    range.columns = 2;
    range.rows = 2;
    range.tiles.resize(4);
    struct Case {
        int angle;
        std::vector<int32_t> order;   // index = row * 2 + column
    } cases[] = {{0, {3, 1, 2, 0}}, {90, {1, 0, 3, 2}}, {180, {0, 2, 1, 3}}, {270, {2, 3, 0, 1}},
                 {360, {3, 1, 2, 0}}, {-45, {3, 1, 2, 0}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.angle);
        OrderTiles(c.angle, range);
        EXPECT_EQ(range.order, c.order);
    }
}

TEST(VisibleTiles, QuadrilateralClippedToTheTile) {
    int16_t r[4];
    // Wholly inside: its own box (y, x, height, width).
    ASSERT_TRUE(ClipQuadToTile({ScreenPoint{100, 200}, {300, 200}, {300, 400}, {100, 400}}, r));
    EXPECT_EQ(r[0], 200);
    EXPECT_EQ(r[1], 100);
    EXPECT_EQ(r[2], 200);
    EXPECT_EQ(r[3], 200);
    // Covering the tile: all of it.
    ASSERT_TRUE(ClipQuadToTile({ScreenPoint{-10, -10}, {3000, -10}, {3000, 3000}, {-10, 3000}}, r));
    EXPECT_EQ(r[2], 2048);
    EXPECT_EQ(r[3], 2048);
    // Crossing the east edge: cut there.
    ASSERT_TRUE(ClipQuadToTile({ScreenPoint{1000, 100}, {3000, 100}, {3000, 500}, {1000, 500}}, r));
    EXPECT_EQ(r[1], 1000);
    EXPECT_EQ(r[3], 1048);
    EXPECT_EQ(r[0], 100);
    EXPECT_EQ(r[2], 400);
    // Beside the tile: not visible.
    EXPECT_FALSE(ClipQuadToTile({ScreenPoint{3000, 100}, {4000, 100}, {4000, 500}, {3000, 500}}, r));
}

TEST(VisibleTiles, ScreenInsideOneTileGivesOneEntry) {
    CMneCoordSystem coords;
    coords.SetLevel(3);   // 65536-unit tiles, about 11 km
    const int32_t side = coords.GetTileSide();
    const MapPoint centre{(69136039 / side) * side + side / 2, (19357235 / side) * side + side / 2};
    coords.SetPixelsPerMetre(5500, 5500);
    coords.SetView(ScreenPoint{400, 240}, centre, ScreenRect{0, 0, 800, 480}, 0, 10000, 0);
    VisibleRange range;
    BuildVisibleRange(coords, 800, 480, 0, range);
    ASSERT_EQ(range.Count(), 1);
    const VisibleTile& t = range.tiles[0];
    EXPECT_EQ(t.level, 3);
    EXPECT_EQ(t.column, centre.x / side);
    // 800 px at 5500 px/m and scale 10000 is about 1455 m; a local step is
    // 32 units (about 5.4 m east-west near 37N), so about 270 steps wide.
    EXPECT_GT(t.rect[0][3], 250);
    EXPECT_LT(t.rect[0][3], 290);
    EXPECT_GT(t.rect[0][1], 700);   // centred in the tile
    EXPECT_EQ(t.rect[1][2], 0);
}

TEST(VisibleTiles, LargeRangesAreCutAroundTheCentreTile) {
    CMneCoordSystem coords;
    coords.SetLevel(1);   // 2048-unit tiles, about 345 m
    coords.SetPixelsPerMetre(11000, 11000);
    const MapPoint centre{69136039, 19357235};
    coords.SetView(ScreenPoint{400, 240}, centre, ScreenRect{0, 0, 800, 480}, 30, 1000000, 1);
    VisibleRange range;
    BuildVisibleRange(coords, 800, 480, 1, range);
    ASSERT_EQ(range.Count(), kMaxVisibleTiles);
    const int32_t cx = centre.x / 2048, cy = centre.y / 2048;
    EXPECT_LE(range.firstColumn, cx);
    EXPECT_GT(range.firstColumn + range.columns, cx);
    EXPECT_LE(range.firstRow, cy);
    EXPECT_GT(range.firstRow + range.rows, cy);
    // The tiles come row by row, columns within a row.
    EXPECT_EQ(range.tiles[1].column, range.firstColumn + 1);
    EXPECT_EQ(range.tiles[1].row, range.firstRow);
}

TEST(Theme, RequestsSettleTheScreensTheme) {
    struct Case {
        uint8_t k, v, e;
        ScreenTheme want;
    } cases[] = {{0, 0, 0, {1, 0, 0}}, {4, 0, 0, {1, 0, 0}}, {2, 0, 0, {2, 0, 0}}, {2, 1, 0, {4, 1, 0}},
                 {0, 0, 2, {4, 1, 2}}, {0, 0, 1, {1, 0, 1}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.k) << int(c.v) << int(c.e));
        MneDrawRequest r;
        r.themeKind = c.k, r.themeVariant = c.v, r.themeExtra = c.e;
        ScreenTheme cache;
        FrameGreySwitches grey;
        SettleScreenTheme(r, cache, grey);
        EXPECT_EQ(cache.kind, c.want.kind);
        EXPECT_EQ(cache.variant, c.want.variant);
        EXPECT_EQ(cache.extra, c.want.extra);
        EXPECT_EQ(grey.on[0], c.e >= 1 && c.e <= 3 ? 1 : 0);
        EXPECT_EQ(grey.on[4], 0);
    }
    uint32_t a = 0, b = 0;
    PoiThemeMasks(ScreenTheme{4, 2, 0}, &a, &b);
    EXPECT_EQ(a, 0x50u);
    EXPECT_EQ(b, 0xAEu);
    EXPECT_EQ(a + b, 0xFEu);
}

TEST(BirdPitch, ClimbsNearAGuidancePointAndReturns) {
    BirdPitchState s;
    std::vector<double> seen;
    for (int i = 0; i < 5; ++i) {
        StepBirdViewPitch(s, 0, 2, true, 200);
        seen.push_back(s.pitch);
    }
    for (int i = 0; i < 5; ++i) {
        StepBirdViewPitch(s, 0, 2, false, 0);
        seen.push_back(s.pitch);
    }
    EXPECT_EQ(seen, (std::vector<double>{5, 10, 15, 20, 20, 15, 10, 5, 0, 0}));
    StepBirdViewPitch(s, 0, 3, false, 0);
    EXPECT_EQ(s.pitch, 20.0);   // the setting's own pitch
    StepBirdViewPitch(s, 0, 7, false, 0);
    EXPECT_EQ(s.pitch, 20.0);   // an unknown setting keeps it
    StepBirdViewPitch(s, 5, 1, false, 0);
    EXPECT_EQ(s.pitch, 80.0);
}

TEST(LookAhead, HeadingAlongThePathAndCentreOffset) {
    // A path running east along 37.5N, a point every 0.001 degree (about
    // 88 m), one section.
    std::vector<MapPoint> points;
    for (int i = 0; i < 6; ++i)
        points.push_back({static_cast<int32_t>((127.0 + 0.001 * i) * kMapUnitsPerDegree),
                          static_cast<int32_t>(37.5 * kMapUnitsPerDegree)});
    const std::array<int32_t, 2> sections[] = {{0, 5}};
    LookAheadPath path;
    path.points = points.data();
    path.pointCount = 6;
    path.sections = sections;
    path.sectionCount = 1;
    path.distanceToPoint = 200;
    LookAheadState state;
    int heading = -1;
    int32_t offset = 0;
    MapPoint centre;
    ASSERT_TRUE(LookAheadHeading(path, state, 480, &heading, &offset, &centre));
    EXPECT_NEAR(heading, 90, 1);        // east, clockwise from north
    EXPECT_EQ(offset, 180);             // 240 + (120 - 240) x 100 / 200
    EXPECT_EQ(centre, points[5]);
    path.distanceToPoint = 50;
    ASSERT_TRUE(LookAheadHeading(path, state, 480, &heading, &offset, &centre));
    EXPECT_EQ(offset, 240);
    path.distanceToPoint = 400;
    ASSERT_TRUE(LookAheadHeading(path, state, 480, &heading, &offset, &centre));
    EXPECT_EQ(offset, 120);
}

TEST(DrawRequest, FortyEightBytesRoundTrip) {
    MneDrawRequest r;
    r.viewMode = 2;
    r.scaleStep = 0x0A0B;
    r.viewWidth = 800;
    r.centre = {0x01020304, -5};
    r.centreShift = 1;
    uint8_t bytes[kMneDrawRequestBytes];
    EncodeDrawRequest(r, bytes);
    EXPECT_EQ(bytes[1], 2);
    EXPECT_EQ(bytes[12], 0x0B);
    EXPECT_EQ(bytes[13], 0x0A);
    EXPECT_EQ(bytes[28], 0x04);
    EXPECT_EQ(bytes[32], 0xFB);
    EXPECT_EQ(bytes[44], 1);
    const MneDrawRequest back = DecodeDrawRequest(bytes);
    EXPECT_EQ(back.scaleStep, r.scaleStep);
    EXPECT_EQ(back.centre, r.centre);
}

// ---- Layer blocks ----------------------------------------------------------------------

std::vector<uint8_t> OneAreaBlock() {
    writers::GroupedBlockBuilder b(false);
    b.Add(1, 7, writers::AreaRecord({{0, 0}, {100, 0}, {100, 100}}));
    b.Add(2, 3, writers::LineRecord({{0, 0}, {50, 50}}));
    return b.Build();
}

TEST(LayerBlocks, WriterBytesByHand) {
    const std::vector<uint8_t> d = OneAreaBlock();
    EXPECT_EQ(d[0], 2);                 // two groups
    EXPECT_EQ(d[1], 5);                 // group table right after the header
    const uint32_t group0 = d[5];
    EXPECT_EQ(d[group0 + 2], 1);        // group type 1
    EXPECT_EQ(d[group0], 1);            // one item
    int records = MneWalkLayerBlock(MneLayerKind::kBase, d.data(), static_cast<uint32_t>(d.size()),
                                    [](const MneLayerRecord& r) { return r.recordBytes == 20 || r.recordBytes == 14; });
    EXPECT_EQ(records, 2);
}

TEST(LayerBlocks, OffsetsAndCountsLeavingTheBlockAreRefused) {
    const std::vector<uint8_t> good = OneAreaBlock();
    ASSERT_EQ(MneCheckLayerBlock(MneLayerKind::kBase, good.data(), static_cast<uint32_t>(good.size())), 1);
    // Cut anywhere inside the tables and records (the last 20 bytes are the
    // points the records point to): refused, never read past.
    for (size_t n = 0; n < good.size() - 20; ++n) {
        SCOPED_TRACE(n);
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(n));
        EXPECT_EQ(MneCheckLayerBlock(MneLayerKind::kBase, cut.data(), static_cast<uint32_t>(cut.size())), 0);
    }
    // A group count larger than the table.
    std::vector<uint8_t> many = good;
    many[0] = 200;
    EXPECT_EQ(MneCheckLayerBlock(MneLayerKind::kBase, many.data(), static_cast<uint32_t>(many.size())), 0);
    // Group count 0: the header offset alone.
    const uint8_t empty[5] = {0, 5, 0, 0, 0};
    EXPECT_EQ(MneCheckLayerBlock(MneLayerKind::kBase, empty, 5), 1);
    const uint8_t emptyBad[5] = {0, 6, 0, 0, 0};
    EXPECT_EQ(MneCheckLayerBlock(MneLayerKind::kBase, emptyBad, 5), 0);
}

TEST(LayerBlocks, FlatBlocksAndTheirEntryOffsets) {
    std::vector<writers::LayerRecord> entries = {writers::ThemeRecord({10, 20}, 9001, 1, 13, "ab")};
    std::vector<uint8_t> theme = writers::BuildFlatBlock(entries, 16);
    ASSERT_EQ(theme.size(), 6u + 20u + 2u);
    EXPECT_EQ(MneCheckLayerBlock(MneLayerKind::kTheme, theme.data(), static_cast<uint32_t>(theme.size())), 1);
    std::vector<uint8_t> bad = theme;
    bad[6 + 16] = 0xF0;   // the name offset beyond the block
    EXPECT_EQ(MneCheckLayerBlock(MneLayerKind::kTheme, bad.data(), static_cast<uint32_t>(bad.size())), 0);
    bad = theme;
    bad[0] = 2;           // two entries claimed, one stored
    EXPECT_EQ(MneCheckLayerBlock(MneLayerKind::kTheme, bad.data(), static_cast<uint32_t>(bad.size())), 0);
    // The traffic layout has its offset at 10: the theme block's entry read
    // as traffic points its "offset" into the id and is refused.
    std::vector<writers::LayerRecord> links = {writers::TrafficLinkRecord({{0, 0}, {5, 5}}, 77, 2)};
    std::vector<uint8_t> traffic = writers::BuildFlatBlock(links, 10);
    EXPECT_EQ(MneCheckLayerBlock(MneLayerKind::kTraffic, traffic.data(), static_cast<uint32_t>(traffic.size())), 1);
    EXPECT_EQ(traffic[6 + 14], 77);   // the link id after the offset
}

}  // namespace
