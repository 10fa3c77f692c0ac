// The board helper on real boards of the demo UI: controls are found again
// by layout id at every call and a control that is not there is never read;
// the show rule returns the hidden flag and leaves a shown control clean;
// popups open once; slide bars refuse a step past their items; digits and
// lane images land where the cells say; the screen dims to half.
#include "shell_board_fixture.h"

#include "shell/board_helper.h"
#include "uikit/ctrl_value.h"
#include "uikit/image_resource.h"
#include "uikit/renderer.h"

namespace {

using shelltest::ShellBoardTest;

class BoardHelperTest : public ShellBoardTest {
protected:
    void SetUp() override {
        StartHost();
        BoardHelper::SetHost(m_host.get());
    }
    void TearDown() override {
        BoardHelper::SetHost(nullptr);
        ShellBoardTest::TearDown();
    }
    BoardHelper m_helper;
};

TEST_F(BoardHelperTest, AMissingControlIsNeverRead) {
    // No board at all, then a board without such layout ids.
    for (bool board : {false, true}) {
        SCOPED_TRACE(board ? "board 1" : "no board");
        if (board) {
            ASSERT_EQ(m_host->LoadBoard(1), 1);
        }
        for (int32_t id : {3000, 9999, -1}) {
            SCOPED_TRACE(id);
            BoardSection rect{1, 2, 3, 4};
            int32_t x = 7, y = 7, w = 7, h = 7;
            EXPECT_EQ(m_helper.ShowControl(id, 1), 0);
            EXPECT_EQ(m_helper.IsControlShown(id), 0);
            EXPECT_EQ(m_helper.HideChildren(id), 0);
            EXPECT_EQ(m_helper.OpenPopup(id, 1, 5000, 1), 0);
            EXPECT_EQ(m_helper.IsPopupOpen(id), 0);
            EXPECT_EQ(m_helper.GetGlobalControlId(id), 0);
            EXPECT_EQ(m_helper.SetControlText(id, u"x"), 0);
            EXPECT_EQ(m_helper.SetControlImage(id, 1), 0);
            EXPECT_EQ(m_helper.SetCheckBoxChecked(id, 1), 0);
            EXPECT_EQ(m_helper.StepSlidebarBack(id, 1), 0);
            EXPECT_EQ(m_helper.GetGaugePos(id), 0);
            EXPECT_EQ(m_helper.GetControlRect(id, &rect, 1), 0);
            EXPECT_EQ(rect.left | rect.top | rect.right | rect.bottom, 0);
            EXPECT_EQ(m_helper.GetControlSize(id, &w, &h), 0);
            EXPECT_EQ(w | h, 0);
            EXPECT_EQ(m_helper.GetControlAbsX(id), 0);
            EXPECT_EQ(m_helper.SetControlPos(id, 10, 10, 0), 0);
            EXPECT_EQ(m_helper.GetControlImage(id), nullptr);
            EXPECT_EQ(m_helper.DrawDigit(id, BoardHelper::LoadImage(2395), 3), 0);
            EXPECT_EQ(m_helper.DrawTextOnControlImage(id, 5, "abc", 0, 20, 400, 0, 0), 0);
            EXPECT_EQ(m_helper.ResizeDynamicPanelWidth(id, 500), 0);
            EXPECT_EQ(m_helper.GetControlScript(id), nullptr);
            (void)x;
            (void)y;
        }
    }
}

TEST_F(BoardHelperTest, ShowControlReturnsTheHiddenFlag) {
    ASSERT_EQ(m_host->LoadBoard(1), 1);
    NvControl* button = m_host->GetControl(1);
    ASSERT_NE(button, nullptr);
    button->SetUpdateFlag(false);
    // Already shown: the hidden flag (0), nothing marked.
    EXPECT_EQ(m_helper.ShowControl(1, 1), 0);
    EXPECT_FALSE(button->IsDirty());
    // Hiding: 0, hidden and dirty.
    EXPECT_EQ(m_helper.ShowControl(1, 0), 0);
    EXPECT_TRUE(button->IsHidden());
    EXPECT_TRUE(button->IsDirty());
    EXPECT_EQ(m_helper.IsControlShown(1), 0);
    // Already hidden: the hidden flag (1), unchanged.
    EXPECT_EQ(m_helper.ShowControl(1, 0), 1);
    EXPECT_EQ(m_helper.ShowControl(1, 1), 0);
    EXPECT_EQ(m_helper.IsControlShown(1), 1);
    // The board is rebuilt: the helper finds the new control by its id.
    ASSERT_EQ(m_host->LoadBoard(1), 1);
    EXPECT_EQ(m_helper.IsControlShown(1), 1);
    EXPECT_EQ(m_helper.GetGlobalControlId(1), 1);
    EXPECT_EQ(m_helper.GetGlobalControlId(13), 60);
}

TEST_F(BoardHelperTest, PopupsOpenOnceAndClose) {
    ASSERT_EQ(m_host->LoadBoard(1), 1);
    EXPECT_EQ(m_helper.IsPopupOpen(15), 0);
    EXPECT_EQ(m_helper.OpenPopup(15, 1, 5000, 1), 1);
    EXPECT_EQ(m_helper.IsPopupOpen(15), 1);
    EXPECT_EQ(m_helper.OpenPopup(15, 1, 5000, 1), 0);  // already open
    EXPECT_EQ(m_helper.ClosePopup(15), 1);
    EXPECT_EQ(m_helper.IsPopupOpen(15), 0);
}

TEST_F(BoardHelperTest, SlideBarAndGauge) {
    ASSERT_EQ(m_host->LoadBoard(1), 1);
    auto* slide = dynamic_cast<NvCtrlSlidebar*>(m_host->GetControl(7));
    ASSERT_NE(slide, nullptr);
    ASSERT_GT(slide->m_count, 0);
    const int count = slide->m_count;
    ASSERT_EQ(m_helper.SetSlidebarPos(7, 2), 1);
    EXPECT_EQ(m_helper.GetSlidebarRemaining(7), count - 2);
    EXPECT_EQ(m_helper.StepSlidebarBack(7, count + 1), 0);  // more than the items: unchanged
    EXPECT_EQ(slide->m_pos, 2);
    EXPECT_EQ(m_helper.StepSlidebarBack(7, 3), 1);
    EXPECT_EQ(slide->m_pos, count - 3);
    EXPECT_EQ(m_helper.SetSlidebarPos(7, count + 5), 1);  // clamped to the last item
    EXPECT_EQ(slide->m_pos, count - 1);
    EXPECT_EQ(m_helper.SetGaugePos(8, 40), 1);
    EXPECT_EQ(m_helper.GetGaugePos(8), 40);
    EXPECT_EQ(m_helper.SetCheckBoxChecked(9, 1), 1);
    EXPECT_EQ(m_helper.IsControlChecked(9), 1);
}

// The cell-th of ten cells of a strip equals the control image at x.
bool CellMatches(NvImageData* image, NvImageData* strip, int cell, int32_t x) {
    const int32_t w = strip->width / 10;
    for (int32_t yy = 0; yy < strip->height && yy < image->height; ++yy)
        for (int32_t xx = 0; xx < w; ++xx)
            if (image->Pixel(x + xx, yy) != strip->Pixel(cell * w + xx, yy)) return false;
    return true;
}

TEST_F(BoardHelperTest, TwoDigitsDrawTheTensAndUnitsCells) {
    ASSERT_EQ(m_host->LoadBoard(4), 1);
    NvImageData* strip = BoardHelper::LoadImage(2395);
    ASSERT_NE(strip, nullptr);
    ASSERT_EQ(m_helper.DrawTwoDigits(4, strip, 7), 1);  // the clock surface
    NvImageData* image = m_helper.GetControlImage(4);
    ASSERT_NE(image, nullptr);
    const int32_t cell = strip->width / 10;
    EXPECT_TRUE(CellMatches(image, strip, 0, 0));
    EXPECT_TRUE(CellMatches(image, strip, 7, cell));
    EXPECT_FALSE(CellMatches(image, strip, 8, cell));
    EXPECT_EQ(m_helper.DrawTwoDigits(4, strip, 60), 0);  // only 0..59
    EXPECT_EQ(m_helper.DrawDigit(4, strip, 10), 0);
    BoardHelper::ReleaseImage(strip);
}

// Whether the control image at x shows the named lane image's pixels.
bool ImageAt(NvImageData* image, NvImageData* lane, int32_t x) {
    int same = 0, total = 0;
    for (int32_t yy = 0; yy < lane->height && yy < image->height; ++yy)
        for (int32_t xx = 0; xx < lane->width; ++xx, ++total)
            same += image->Pixel(x + xx, yy) == lane->Pixel(xx, yy);
    return same == total;
}

TEST_F(BoardHelperTest, LaneImagesSkipMissingCodesIconsKeepTheirPlace) {
    ASSERT_EQ(m_host->LoadBoard(4), 1);
    EXPECT_EQ(BoardHelper::IsLaneImageAvailable(2), 1);
    EXPECT_EQ(BoardHelper::IsLaneImageAvailable(0x99), 0);
    const uint32_t codes[] = {1, 0x99, 2, 3};
    // The last two of four: codes 2 and 3 side by side.
    EXPECT_EQ(m_helper.DrawLaneImages(6, 0, 4, codes, 0, 2), 2);
    NvImageData* image = m_helper.GetControlImage(6);
    NvImageData* lane2 = BoardHelper::LoadImageByName("LANE_00000002");
    NvImageData* lane3 = BoardHelper::LoadImageByName("LANE_00000003");
    ASSERT_TRUE(image && lane2 && lane3);
    EXPECT_TRUE(ImageAt(image, lane2, 0));
    EXPECT_TRUE(ImageAt(image, lane3, 40));
    // All four from the start: the missing code takes no place.
    m_helper.FillControlImage(6, 0);
    EXPECT_EQ(m_helper.DrawLaneImages(6, 0, 4, codes, 1, 8), 3);
    EXPECT_TRUE(ImageAt(image = m_helper.GetControlImage(6), lane2, 40));
    EXPECT_TRUE(ImageAt(image, lane3, 80));
    // Icons by resource id: a missing one (3476 + 32) leaves its cell empty.
    m_helper.FillControlImage(6, 0);
    const uint32_t icons[] = {1, 32, 2};
    EXPECT_EQ(m_helper.DrawLaneIcons(6, 0, 8, icons, 3), 2);
    NvImageData* icon2 = BoardHelper::LoadImage(3476 + 2);
    ASSERT_NE(icon2, nullptr);
    image = m_helper.GetControlImage(6);
    EXPECT_TRUE(ImageAt(image, icon2, 80));
    EXPECT_EQ(image->Pixel(60, 20), 0);  // the gap
    for (NvImageData* i : {lane2, lane3, icon2}) BoardHelper::ReleaseImage(i);
}

TEST_F(BoardHelperTest, DrawingIntoAControlLeavesThePooledImageAlone) {
    ASSERT_EQ(m_host->LoadBoard(1), 1);
    NvImageData* shared = BoardHelper::LoadImage(65);  // the statics' image
    ASSERT_NE(shared, nullptr);
    const uint16_t before = shared->Pixel(100, 30);
    ASSERT_EQ(m_helper.FillControlImage(5, 0x07E0), 1);
    EXPECT_EQ(m_helper.GetControlImage(5)->Pixel(100, 30), 0x07E0);
    EXPECT_EQ(shared->Pixel(100, 30), before);
    BoardHelper::ReleaseImage(shared);
}

TEST_F(BoardHelperTest, TextDrawnIntoAControlImage) {
    ASSERT_EQ(m_host->LoadBoard(1), 1);
    // Into the screen static (item 0), inside the rectangle of its child 17
    // (600, 410, 200 x 60).
    ASSERT_EQ(m_helper.FillControlImage(0, 0), 1);
    std::string text;
    platform::Utf16ToCp949(u"확인 123", text);
    ASSERT_EQ(m_helper.DrawTextOnControlImage(0, 17, text, 0, 24, 400, 0, 0xFFFFFF), 1);
    NvImageData* image = m_helper.GetControlImage(0);
    int inside = 0, outside = 0;
    for (int32_t y = 0; y < image->height; ++y)
        for (int32_t x = 0; x < image->width; ++x) {
            if (image->Pixel(x, y) == 0) continue;
            (x >= 600 && y >= 410 && y < 470 ? inside : outside) += 1;
        }
    EXPECT_GT(inside, 40);
    EXPECT_EQ(outside, 0);
    int32_t w = 0, h = 0;
    EXPECT_EQ(m_helper.MeasureText(text, 0, 24, 400, &w, &h), 1);
    EXPECT_GT(w, 40);
    EXPECT_GT(h, 10);
    EXPECT_EQ(m_helper.DrawTextAtOnControlImage(0, 0, 0, u"", 0, 24, 400, 0, 0xFFFFFF), 1);  // draws nothing
}

TEST_F(BoardHelperTest, AlignedPositionsAndDimming) {
    StartHost(800, 600);
    BoardHelper::SetHost(m_host.get());
    ASSERT_EQ(m_host->LoadBoard(150), 1);
    // Item 370: x -170 from the right edge.
    EXPECT_EQ(m_helper.GetControlAbsX(370), 800 - 170);
    EXPECT_EQ(m_helper.GetControlAbsX(42), 0);
    BoardSection rect;
    ASSERT_EQ(m_helper.SetControlPos(42, 5, 7, 0), 1);
    ASSERT_EQ(m_helper.GetControlRect(42, &rect, 0), 1);
    EXPECT_EQ(rect.left, 5);
    EXPECT_EQ(rect.top, 7);
    EXPECT_EQ(rect.right - rect.left, 200);
    EXPECT_EQ(rect.bottom - rect.top, 60);

    m_host->DrawFrame(true, false);
    NvImageData* back = NvBackBuffer();
    ASSERT_NE(back, nullptr);
    const uint16_t before = back->Pixel(700, 300);
    BoardHelper::DimScreen();
    const uint16_t after = back->Pixel(700, 300);
    EXPECT_NEAR(after >> 11, (before >> 11) / 2, 1);
    EXPECT_NEAR((after >> 5) & 63, ((before >> 5) & 63) / 2, 1);
}

}  // namespace
