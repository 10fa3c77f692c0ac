// The shell's small shared services: the four route-option slots, the
// adjacent-road request, and a popup node placed above an anchor control of
// the gallery board.
#include <gtest/gtest.h>

#include "shell/shell_services.h"
#include "shell_board_fixture.h"

namespace {

TEST(RouteOptionSlotsTest, FillFindAndRefuseAFifth) {
    EXPECT_EQ(ResetRouteOptionSlots(1), 1);
    EXPECT_EQ(FindRouteOptionSlot(1), 0);
    EXPECT_EQ(FirstFreeRouteOptionSlot(), 1);
    EXPECT_EQ(AddRouteOptionSlot(2), 2);
    EXPECT_EQ(AddRouteOptionSlot(4), 4);
    EXPECT_EQ(AddRouteOptionSlot(8), 8);
    EXPECT_EQ(FindRouteOptionSlot(8), 3);
    EXPECT_EQ(AddRouteOptionSlot(16), 4);  // all taken: nothing changes
    EXPECT_EQ(FindRouteOptionSlot(16), -1);
    EXPECT_EQ(FirstFreeRouteOptionSlot(), 4);
    EXPECT_EQ(ResetRouteOptionSlots(4), 4);
    EXPECT_EQ(FindRouteOptionSlot(2), -1);
    EXPECT_EQ(FindRouteOptionSlot(4), 0);
    const int cases[][2] = {{0x100, 0}, {0x300, 0}, {0x200, 1}, {0x600, 1}, {0x400, 2},
                            {2, 1},     {4, 2},     {8, 3},     {1, 0},     {6, 0}};
    for (const auto& c : cases) EXPECT_EQ(RouteOptionToSlot(c[0]), c[1]) << c[0];
}

TEST(AdjacentRoadTest, RequestIsTakenOnce) {
    EXPECT_FALSE(TakeAdjacentRoadRequest());
    RequestAdjacentRoad();
    EXPECT_TRUE(TakeAdjacentRoadRequest());
    EXPECT_FALSE(TakeAdjacentRoadRequest());
}

class PlaceNodeTest : public shelltest::ShellBoardTest {};

TEST_F(PlaceNodeTest, NodeSitsOnTheAnchorsTopEdge) {
    StartHost();
    ASSERT_EQ(m_host->LoadBoard(1), 1);
    const NvRect anchor = m_host->GetControl(14)->GetRect();  // the map panel
    const NvRect before = m_host->GetControl(15)->GetRect();
    const NvRect next = m_host->GetControl(16)->GetRect();
    const int32_t height = before.height;
    ASSERT_EQ(PlaceNodeAboveControl(15, 1, 1, 14, 10, -5), 1);
    const NvRect placed = m_host->GetControl(15)->GetRect();
    EXPECT_EQ(placed.x, anchor.x + 10);
    EXPECT_EQ(placed.y + placed.height, anchor.y - 5);
    EXPECT_EQ(placed.height, height);
    // The next layout id (16, the dynamic panel) moved by the same step.
    const NvRect nextPlaced = m_host->GetControl(16)->GetRect();
    EXPECT_EQ(nextPlaced.x - next.x, placed.x - before.x);
    EXPECT_EQ(nextPlaced.y - next.y, placed.y - before.y);
    EXPECT_EQ(PlaceNodeAboveControl(15, 0, 0, 250, 0, 0), 0);  // no such anchor
    EXPECT_EQ(PlaceNodeAboveControl(250, 0, 0, 14, 0, 0), 0);
}

}  // namespace
