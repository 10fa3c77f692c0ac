// The toolkit's controls on the demo UI's gallery board, headless: input
// tables (tick, message, point) -> (last event, states, sound calls) for the
// press controls, the list and its scrolls, the combo box, the slide bar and
// the progress bar, and golden frames of the gallery in both colours.
//
// Goldens: tests/uikit/golden/controls_gallery_c*.png, at most 0.5 % of the
// pixels may differ (anti-aliased text edges).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/mgr_text.h"
#include "golden_png.h"
#include "demo_ui_root.h"
#include "support/temp_dir.h"
#include "uikit/board_manager.h"
#include "uikit/ctrl_button.h"
#include "uikit/ctrl_list.h"
#include "uikit/ctrl_panel.h"
#include "uikit/ctrl_value.h"
#include "uikit/nv_text.h"

namespace {

// Layout ids of the gallery board (board 1 of tools/demo_ui/demo_ui.txt).
constexpr int kButton = 1, kList = 2, kListScroll = 3, kSlide = 7, kProgress = 8, kCheck = 9, kRadio = 10,
              kBallScroll = 11, kTieScroll = 12, kCombo = 13, kMapPanel = 14, kDynPanel = 16,
              kSurface = 17;
constexpr int kGoldenTolerance = 800 * 480 / 200;

class ControlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new testsupport::TempDir();
        std::string error;
        ASSERT_TRUE(uitest::WriteDemoUiRoot(s_dir->Path(), &error)) << error;
        s_texts = new MgrText();
        const std::string ui = Ui();
        s_texts->Init(std::u16string(ui.begin(), ui.end()).c_str(), 0);
        NvRegisterStandardControls();
    }
    static void TearDownTestSuite() {
        delete s_texts;
        delete s_dir;
    }
    static std::string Ui() { return s_dir->Path() + "/UI"; }

    void SetUp() override { Start(0); }
    void Start(int colour) {
        m_host.reset();
        m_window = std::make_unique<NvHeadlessPresenter>(800, 480);
        m_host = std::make_unique<NvBoardManager>(Ui().c_str());
        ASSERT_EQ(m_host->Start(m_window.get(), 800, 480, 0, 0, colour), 1);
        ASSERT_EQ(m_host->LoadBoard(1), 1);
        NvMainQueue().Clear();
        m_sounds.clear();
        m_soundSetting = 1;
        NvTouchSound().mapFolder = "R:\\MAP\\";
        NvTouchSound().soundSetting = [this] { return m_soundSetting; };
        NvTouchSound().play = [this](const std::string& path, int channel) {
            m_sounds.push_back(path + "#" + std::to_string(channel));
        };
    }
    void TearDown() override {
        NvTouchSound() = {};
        m_host.reset();
        NvMainQueue().Clear();
    }
    template <typename T>
    T* Get(int layoutId) {
        T* c = dynamic_cast<T*>(m_host->GetControl(layoutId));
        EXPECT_NE(c, nullptr) << layoutId;
        return c;
    }
    NvCtrlEvent Touch(uint32_t tick, int32_t x, int32_t y) {
        m_host->ProcessInput(tick, kNvWmLButtonDown, NvMakePoint(x, y), 0);
        return m_host->LastEvent();
    }
    // The centre of a control.
    NvCtrlEvent TouchControl(uint32_t tick, const NvNode* c) {
        return Touch(tick, c->m_rect.x + c->m_rect.width / 2, c->m_rect.y + c->m_rect.height / 2);
    }
    static std::u16string DisplayText(NvControl* c) {
        const char16_t* t = c ? c->GetText(false) : nullptr;
        return t ? t : u"<none>";
    }

    static testsupport::TempDir* s_dir;
    static MgrText* s_texts;
    std::unique_ptr<NvHeadlessPresenter> m_window;
    std::unique_ptr<NvBoardManager> m_host;
    std::vector<std::string> m_sounds;
    int m_soundSetting = 1;
};

testsupport::TempDir* ControlsTest::s_dir = nullptr;
MgrText* ControlsTest::s_texts = nullptr;

TEST_F(ControlsTest, EveryKindGetsItsClass) {
    const std::pair<int, const char*> expected[] = {
        {kButton, "NvCtrlButton"},         {kList, "NvCtrlList"},           {kListScroll, "NvCtrlListScroll"},
        {kSlide, "NvCtrlSlidebar"},        {kProgress, "NvCtrlProgressbar"}, {kCheck, "NvCtrlCheckBox"},
        {kRadio, "NvCtrlRadioButton"},     {kBallScroll, "NvCtrlBallScroll"}, {kTieScroll, "NvCtrlTieScroll"},
        {kCombo, "NvCtrlComboBox"},
    };
    for (const auto& [id, name] : expected) {
        NvControl* c = m_host->GetControl(id);
        ASSERT_NE(c, nullptr) << id;
        EXPECT_STREQ(c->GetRuntimeClass()->className, name) << id;
    }
    // The list's five rows are radio buttons in its row group.
    auto* list = Get<NvCtrlList>(kList);
    EXPECT_EQ(list->RowCount(), 5);
    EXPECT_EQ(list->m_group.Count(), 5);
    for (int n = 0; n < 5; ++n) EXPECT_NE(list->Row(n), nullptr) << n;
    EXPECT_EQ(list->Row(5), nullptr);
}

TEST_F(ControlsTest, ButtonTouchLastsOneUpdateAndPlaysTheSound) {
    auto* button = Get<NvCtrlButton>(kButton);
    NvCtrlEvent e = TouchControl(1000, button);
    EXPECT_EQ(e.layoutId, kButton);
    EXPECT_EQ(e.value, 0);
    EXPECT_EQ(e.action, 1);
    EXPECT_EQ(button->m_state, 2);
    ASSERT_EQ(m_sounds.size(), 1u);
    EXPECT_EQ(m_sounds[0], "R:\\MAP\\Wave\\TouchOK.wav#1");
    m_host->UpdateFrame(1150);
    EXPECT_EQ(button->m_state, 1);
    // A release passed by a caller: action 2, state 1, no sound.
    NvCtrlEvent up;
    button->OnPointer(kNvWmLButtonUp, &up, kNvNoSubIndex);
    EXPECT_EQ(up.action, 2);
    EXPECT_EQ(m_sounds.size(), 1u);

    // Disabled: the press is ignored, the state stays dimmed.
    ASSERT_TRUE(NvSetControlDisable(button, true, true));
    EXPECT_TRUE(NvIsControlDisabled(button));
    e = TouchControl(1300, button);
    EXPECT_EQ(e.layoutId, 0);
    EXPECT_EQ(e.action, 0);
    EXPECT_EQ(button->m_state, 4);
    m_host->UpdateFrame(1450);
    EXPECT_EQ(button->m_state, 4);
    EXPECT_EQ(m_sounds.size(), 1u);
    EXPECT_TRUE(button->IsDimmed());
    // Any control keeps the byte, also one that is no press control.
    NvControl* progress = m_host->GetControl(kProgress);
    ASSERT_TRUE(NvSetControlDisable(progress, true, false));
    EXPECT_TRUE(progress->IsDimmed());
    ASSERT_TRUE(NvSetControlDisable(progress, false, false));
    EXPECT_FALSE(NvIsControlDisabled(progress));
}

TEST_F(ControlsTest, TouchSoundFollowsTheSettingAndTheButtonsByte) {
    struct Case {
        int setting;
        bool buttonSound;
        size_t buttonSounds, checkSounds;
    } cases[] = {{0, true, 0, 0}, {1, false, 0, 1}, {1, true, 1, 1}};
    uint32_t tick = 2000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting * 10 + c.buttonSound);
        m_soundSetting = c.setting;
        Get<NvCtrlButton>(kButton)->SetTouchSound(c.buttonSound);
        m_sounds.clear();
        TouchControl(tick += 200, m_host->GetControl(kButton));
        EXPECT_EQ(m_sounds.size(), c.buttonSounds);
        m_sounds.clear();
        TouchControl(tick += 200, m_host->GetControl(kCheck));
        EXPECT_EQ(m_sounds.size(), c.checkSounds);
    }
}

TEST_F(ControlsTest, CheckBoxTogglesAndReportsItsValue) {
    auto* check = Get<NvCtrlCheckBox>(kCheck);
    struct Step {
        int value, state;
    } steps[] = {{1, 3}, {0, 1}, {1, 3}};
    uint32_t tick = 100;
    for (const Step& s : steps) {
        const NvCtrlEvent e = TouchControl(tick += 150, check);
        EXPECT_EQ(e.layoutId, kCheck);
        EXPECT_EQ(e.action, 1);
        EXPECT_EQ(e.value, s.value);
        EXPECT_EQ(check->m_state, s.state);
        EXPECT_EQ(check->IsChecked(), s.value == 1);
        m_host->UpdateFrame(tick + 10);
        EXPECT_EQ(check->m_state, s.state);
    }
    NvSetControlDisable(check, true, true);
    const NvCtrlEvent e = TouchControl(tick += 150, check);
    EXPECT_EQ(e.action, 0);
    EXPECT_TRUE(check->IsChecked());
}

TEST_F(ControlsTest, RadioGroupSelectsAroundDisabledMembersAndOutlivesItsBoard) {
    auto* list = Get<NvCtrlList>(kList);
    NvRadioButtonGroup group;
    for (int n = 0; n < 3; ++n) ASSERT_TRUE(group.Add(list->Row(n)));
    EXPECT_EQ(group.GetCheckedId(), -1);
    EXPECT_EQ(group.GetChecked(), nullptr);
    list->Row(0)->SetCheck(true, false);
    NvSetControlDisable(list->Row(0), true, false);
    EXPECT_TRUE(group.SelectIndex(2, true));
    EXPECT_EQ(list->Row(0)->m_checked, 1);  // disabled: left as it was
    EXPECT_EQ(list->Row(1)->m_checked, 0);
    EXPECT_EQ(list->Row(2)->m_checked, 1);
    EXPECT_EQ(list->Row(2)->m_state, 3);
    EXPECT_FALSE(group.SelectIndex(3, true));
    EXPECT_EQ(group.IsChecked(list->Row(2)->m_layoutId), 1);
    EXPECT_EQ(group.IsChecked(9999), 0);
    group.UncheckAll(true);
    EXPECT_EQ(list->Row(2)->m_checked, 0);
    EXPECT_EQ(list->Row(0)->m_checked, 1);

    // By layout id: only radio buttons join; a full group refuses.
    NvRadioButtonGroup byId;
    EXPECT_FALSE(byId.AddById(kButton));
    ASSERT_TRUE(byId.AddById(kRadio));
    EXPECT_TRUE(byId.SelectById(kRadio, true));
    EXPECT_EQ(byId.GetCheckedId(), kRadio);
    // The board is rebuilt: the group reaches the new control, not the old one.
    ASSERT_EQ(m_host->LoadBoard(1), 1);
    EXPECT_EQ(byId.GetCheckedId(), -1);
    EXPECT_EQ(byId.Member(0), m_host->GetControl(kRadio));
    for (int i = 1; i < NvRadioButtonGroup::kMaxMembers; ++i) ASSERT_TRUE(byId.AddById(kRadio));
    EXPECT_FALSE(byId.AddById(kRadio));

    // A touched radio button reports and shows itself active; its checked
    // byte is the group's business.
    auto* radio = Get<NvCtrlRadioButton>(kRadio);
    const NvCtrlEvent e = TouchControl(500, radio);
    EXPECT_EQ(e.layoutId, kRadio);
    EXPECT_EQ(e.action, 1);
    EXPECT_EQ(radio->m_state, 3);
    EXPECT_EQ(radio->m_checked, 0);
}

TEST_F(ControlsTest, ListSelectsRowsAndTogglesChecks) {
    auto* list = Get<NvCtrlList>(kList);
    // Rows without a text ignore touches.
    NvCtrlEvent e = TouchControl(100, list->Row(1));
    EXPECT_EQ(e.layoutId, 0);
    for (int n = 0; n < 5; ++n) ASSERT_TRUE(list->SetRowText(n, u"Row", false, true));
    EXPECT_FALSE(list->SetRowText(5, u"Row", false, true));

    e = TouchControl(200, list->Row(1));
    EXPECT_EQ(e.layoutId, kList);
    EXPECT_EQ(e.action, 1);
    EXPECT_EQ(list->GetCurSel(), 1);
    EXPECT_EQ(list->Row(1)->m_state, 3);
    e = TouchControl(350, list->Row(3));
    EXPECT_EQ(e.action, 3);
    EXPECT_EQ(list->Row(1)->m_state, 1);
    EXPECT_EQ(list->Row(3)->m_checked, 1);
    // Outside check mode the selected row stays selected when touched again.
    TouchControl(500, list->Row(3));
    EXPECT_EQ(list->GetCurSel(), 3);

    list->SetCheckMode(true);
    for (int n = 0; n < 5; ++n) EXPECT_EQ(list->Row(n)->m_attr1, 5);
    TouchControl(650, list->Row(3));
    EXPECT_TRUE(list->GetRowCheck(3));
    EXPECT_EQ(list->Row(3)->m_attr1, 80);
    TouchControl(800, list->Row(3));
    EXPECT_FALSE(list->GetRowCheck(3));
    EXPECT_EQ(list->Row(3)->m_attr1, 5);
    EXPECT_TRUE(list->SetCurSel(-1));
    EXPECT_EQ(list->GetCurSel(), -1);
    EXPECT_FALSE(list->SetCurSel(7));
}

TEST_F(ControlsTest, ListTwoLineRowsSplitTheRow) {
    auto* list = Get<NvCtrlList>(kList);
    NvText* listText = list->GetTextObject(false, false);
    ASSERT_NE(listText, nullptr) << "the gallery list carries the rows' template text";
    // The template's colours reach the rows (font LIST: #101820, white when active).
    EXPECT_EQ(list->Row(0)->GetTextObject(false, false)->GetStyle(0).red, 0x10);
    EXPECT_EQ(list->Row(0)->GetTextObject(false, false)->GetStyle(2).red, 0xFF);
    for (int n = 0; n < 5; ++n) list->SetRowText(n, u"Main", false, false);
    list->SetSubTextMode(true);
    EXPECT_EQ(list->m_twoLine, 1);
    NvCtrlRadioButton* row = list->Row(2);
    ASSERT_EQ(row->m_rect.width, 400);
    ASSERT_EQ(row->m_rect.height, 60);
    NvText* main = row->GetTextObject(false, false);
    EXPECT_EQ(main->GetLength(), 0) << "the texts are emptied";
    // 60 x 3 / 5 - 2 = 34: the main line above, the second line below, 4
    // pixels short of the right edge, in the style of font record 15.
    ASSERT_TRUE(list->SetRowText(2, u"Upper", false, false));
    ASSERT_TRUE(list->SetRowText(2, u"Lower", true, false));
    NvText* sub = row->GetTextObject(true, false);
    ASSERT_NE(sub, nullptr);
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(main->TextBox(s).y, 0);
        EXPECT_EQ(main->TextBox(s).height, 34);
        EXPECT_EQ(main->TextBox(s).width, 400);
        EXPECT_EQ(main->TextBox(s).x, listText->TextBox(s).x);
        EXPECT_EQ(sub->TextBox(s).y, 34);
        EXPECT_EQ(sub->TextBox(s).height, 60);
        EXPECT_EQ(sub->TextBox(s).width, 396);
        EXPECT_EQ(sub->TextBox(s).x, listText->GetOffsetX(s));
        EXPECT_EQ(sub->GetStyle(s).size, 22);
    }
    EXPECT_EQ(sub->GetStyle(1).red, 0x40);
    EXPECT_EQ(sub->GetFontIndex(), 2);
    m_host->DrawFrame(true, true);
    ASSERT_FALSE(main->LastLines().empty());
    ASSERT_FALSE(sub->LastLines().empty());
    const NvRect& upper = main->LastLines()[0].rect;
    const NvRect& lower = sub->LastLines()[0].rect;
    EXPECT_GE(upper.y, row->m_rect.y);
    EXPECT_LE(upper.y + upper.height, row->m_rect.y + 34);
    EXPECT_GE(lower.y, row->m_rect.y + 34);
    EXPECT_LE(lower.y + lower.height, row->m_rect.y + 60);
    // Clear leaves the rows as they are.
    list->SetSubTextMode(false);
    EXPECT_EQ(list->m_twoLine, 0);
    EXPECT_EQ(main->TextBox(0).height, 34);
}

TEST_F(ControlsTest, ListRowIconsFromPixelsAndRemoteFocus) {
    auto* list = Get<NvCtrlList>(kList);
    NvCtrlRadioButton* row = list->Row(1);
    std::unique_ptr<NvImageData> green(NvCreateImageData(12, 10, 0x00FF00, false));
    ASSERT_TRUE(list->SetRowIconImage(1, 1, green.get(), true));
    NvImageData* icon = row->m_images[5]->Current();
    EXPECT_EQ(icon->width, 12);
    EXPECT_EQ(icon->Pixel(11, 9), 0x07E0);
    EXPECT_EQ(row->m_images[5]->m_rect.x, row->m_record->image[5].x);
    EXPECT_EQ(row->m_images[5]->m_rect.y, row->m_record->image[5].y);
    // The same size keeps the icon and copies the pixels; another size makes a new one.
    std::unique_ptr<NvImageData> red(NvCreateImageData(12, 10, 0xFF0000, false));
    ASSERT_TRUE(list->SetRowIconImage(1, 1, red.get(), false));
    EXPECT_EQ(row->m_images[5]->Current(), icon);
    EXPECT_EQ(icon->Pixel(0, 0), NvColorToPixel(0xFF0000));
    std::unique_ptr<NvImageData> wide(NvCreateImageData(20, 8, 0x0000FF, false));
    ASSERT_TRUE(list->SetRowIconImage(1, 1, wide.get(), false));
    EXPECT_EQ(row->m_images[5]->Current()->width, 20);
    EXPECT_FALSE(list->SetRowIconImage(5, 0, green.get(), false));
    EXPECT_FALSE(list->SetRowIconImage(1, 2, green.get(), false));
    EXPECT_FALSE(list->SetRowIconImage(1, 0, nullptr, false));
    // An icon from the shared pool is replaced, never written to.
    const int32_t id = row->m_record->image[0].imageId;
    ASSERT_TRUE(list->SetRowIconRsc(1, 0, id, false));
    NvImageData* shared = row->m_images[4]->Current();
    const uint16_t before = shared->Pixel(0, 0);
    std::unique_ptr<NvImageData> same(NvCreateImageData(shared->width, shared->height, 0x00FF00, false));
    ASSERT_TRUE(list->SetRowIconImage(1, 0, same.get(), false));
    EXPECT_NE(row->m_images[4]->Current(), shared);
    EXPECT_EQ(shared->Pixel(0, 0), before);

    // Remote-control focus over the rows: from the selected row, up and down
    // within the rows.
    list->SetRowText(3, u"Row", false, false);
    list->SetCurSel(3);
    EXPECT_TRUE(list->MoveRemoconFocus(0));
    EXPECT_EQ(list->m_focusRow, 3);
    EXPECT_TRUE(list->MoveRemoconFocus(4));
    EXPECT_FALSE(list->MoveRemoconFocus(4)) << "the last row";
    EXPECT_EQ(list->m_focusRow, 4);
    EXPECT_FALSE(list->MoveRemoconFocus(1));
    EXPECT_FALSE(list->SetRemoconFocus(5));
    EXPECT_TRUE(list->SetRemoconFocus(0));
    EXPECT_FALSE(list->MoveRemoconFocus(3)) << "the first row";
}

TEST_F(ControlsTest, ListScrollTopIndexByPageAndLine) {
    auto* scroll = Get<NvCtrlListScroll>(kListScroll);
    EXPECT_EQ(scroll->m_page, 5);
    struct Case {
        int total, top, child, action, newTop;
    } cases[] = {
        {23, 15, 1, 2, 18}, {23, 15, 3, 4, 16}, {23, 18, 3, 4, 18}, {23, 12, 1, 2, 17},
        {23, 18, 0, 1, 13}, {23, 3, 0, 1, 0},   {23, 0, 2, 3, 0},   {23, 7, 2, 3, 6},
        {3, 0, 1, 2, 0},    {5, 0, 1, 2, 0},    {6, 0, 3, 4, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.total) + "/" + std::to_string(c.top) + "/" + std::to_string(c.child));
        scroll->SetTotalCount(c.total);
        scroll->SetTopIndex(c.top);
        NvCtrlEvent e;
        scroll->OnPointer(kNvWmLButtonDown, &e, static_cast<uint16_t>(c.child));
        EXPECT_EQ(e.layoutId, kListScroll);
        EXPECT_EQ(e.action, c.action);
        EXPECT_EQ(e.value, c.newTop);
        EXPECT_EQ(scroll->GetTopIndex(), c.newTop);
    }
    // Through a touch on the page-down button: the button forwards to the scroll.
    scroll->SetTotalCount(23);
    scroll->SetTopIndex(15);
    const NvCtrlEvent e = TouchControl(100, scroll->GetChild(1));
    EXPECT_EQ(e.layoutId, kListScroll);
    EXPECT_EQ(e.action, 2);
    EXPECT_EQ(e.value, 18);
    EXPECT_EQ(DisplayText(static_cast<NvControl*>(scroll->GetChild(4))), u"19");
    EXPECT_EQ(DisplayText(static_cast<NvControl*>(scroll->GetChild(5))), u"23");
    scroll->SetTotalCount(0);
    scroll->SetTopIndex(0);
    EXPECT_EQ(DisplayText(static_cast<NvControl*>(scroll->GetChild(4))), u"0");
    EXPECT_EQ(DisplayText(static_cast<NvControl*>(scroll->GetChild(5))), u"0");
}

TEST_F(ControlsTest, BallScrollTopIndexAndBall) {
    auto* scroll = Get<NvCtrlBallScroll>(kBallScroll);
    struct Case {
        int total, top, child, action, newTop;
    } cases[] = {
        {23, 18, 3, 4, 18}, {23, 10, 3, 4, 11}, {23, 15, 1, 2, 18}, {23, 12, 1, 2, 17},
        {23, 3, 0, 1, 0},   {23, 4, 2, 3, 3},   {3, 0, 1, 2, 0},    {3, 0, 3, 4, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.total) + "/" + std::to_string(c.top) + "/" + std::to_string(c.child));
        scroll->SetTotalCount(c.total);
        scroll->SetTopIndex(c.top);
        NvCtrlEvent e;
        scroll->OnPointer(kNvWmLButtonDown, &e, static_cast<uint16_t>(c.child));
        EXPECT_EQ(e.action, c.action);
        EXPECT_EQ(e.value, c.newTop);
    }
    // The ball: track top + track height x top / (total - page) - half the ball.
    auto* ball = static_cast<NvControl*>(scroll->GetChild(4));
    auto* track = static_cast<NvControl*>(scroll->GetChild(5));
    ASSERT_TRUE(ball->m_images[0] && track->m_images[0]);
    const int32_t trackH = track->m_images[0]->m_rect.height, ballH = ball->m_images[0]->m_rect.height;
    scroll->SetTotalCount(23);
    scroll->SetTopIndex(9);
    EXPECT_EQ(ball->m_rect.x, track->m_rect.x);
    EXPECT_EQ(ball->m_rect.y, track->m_rect.y + trackH * 9 / 18 - ballH / 2);
    scroll->SetTotalCount(3);
    scroll->SetTopIndex(0);
    EXPECT_EQ(ball->m_rect.y, track->m_rect.y - ballH / 2);
}

TEST_F(ControlsTest, TieScrollPages) {
    auto* tie = Get<NvCtrlTieScroll>(kTieScroll);
    ASSERT_EQ(tie->m_pageCount, 4);
    auto marker = [&](int p) { return static_cast<NvControl*>(tie->GetChild(2 + p))->m_state; };
    EXPECT_EQ(marker(0), 3);
    EXPECT_EQ(marker(1), 1);
    NvCtrlEvent e = TouchControl(100, tie->GetChild(0));  // previous on page 0
    EXPECT_EQ(e.layoutId, 0);
    EXPECT_EQ(e.action, 0);
    EXPECT_EQ(tie->GetCurPage(), 0);
    e = TouchControl(250, tie->GetChild(1));  // next
    EXPECT_EQ(e.layoutId, kTieScroll);
    EXPECT_EQ(e.action, 5);
    EXPECT_EQ(e.value, 1);
    EXPECT_EQ(marker(0), 1);
    EXPECT_EQ(marker(1), 3);
    e = TouchControl(400, tie->GetChild(2 + 3));  // the last marker
    EXPECT_EQ(e.action, 5);
    EXPECT_EQ(e.value, 3);
    EXPECT_EQ(marker(1), 1);
    e = TouchControl(550, tie->GetChild(1));  // next on the last page
    EXPECT_EQ(e.action, 0);
    EXPECT_TRUE(tie->SetCurPage(0, true));
    EXPECT_EQ(marker(3), 1);
    EXPECT_EQ(marker(0), 3);
    EXPECT_FALSE(tie->SetCurPage(4, true));
}

TEST_F(ControlsTest, SlideBarPositionsAndTouches) {
    auto* slide = Get<NvCtrlSlidebar>(kSlide);
    ASSERT_EQ(slide->m_count, 10);
    auto* range = static_cast<NvControl*>(slide->GetChild(1));
    auto* thumb = static_cast<NvControl*>(slide->GetChild(2));
    auto* area = static_cast<NvControl*>(slide->GetChild(0));
    slide->SetPos(20);  // beyond the count: the last position, the end of the range
    EXPECT_EQ(slide->GetPos(), 9);
    EXPECT_EQ(thumb->m_rect.x, range->m_rect.x + range->m_rect.width - thumb->m_rect.width);
    slide->SetPos(3);
    EXPECT_EQ(thumb->m_rect.x, range->m_rect.x + (range->m_rect.width - thumb->m_rect.width) * 3 / 9);
    // Touch: h = (px - area x) x (n - 1) / area width.
    struct Case {
        int dx, pos;
    } cases[] = {{0, 0}, {150, 4}, {299, 8}, {300, 9}};
    uint32_t tick = 100;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dx);
        const NvCtrlEvent e = Touch(tick += 150, area->m_rect.x + c.dx, area->m_rect.y + 5);
        EXPECT_EQ(e.layoutId, kSlide);
        EXPECT_EQ(e.action, c.pos);
        EXPECT_EQ(slide->GetPos(), c.pos);
        EXPECT_EQ(thumb->m_rect.x, (range->m_rect.width - thumb->m_rect.width) * c.pos / 9 + range->m_rect.x);
    }
    // A bar left with fewer than two positions neither divides by zero nor moves.
    slide->m_count = 1;
    EXPECT_FALSE(slide->SetPos(0));
    const NvCtrlEvent e = Touch(tick += 150, area->m_rect.x + 10, area->m_rect.y + 5);
    EXPECT_EQ(e.action, slide->GetPos());
}

TEST_F(ControlsTest, ProgressBarFillsInProportion) {
    auto* bar = Get<NvCtrlProgressbar>(kProgress);
    EXPECT_EQ(bar->m_max, 100);
    bar->m_max = 101;
    ASSERT_TRUE(bar->m_images[4]);
    const int32_t width = bar->m_images[4]->m_rect.width;
    EXPECT_TRUE(bar->SetPos(50));
    EXPECT_EQ(bar->BarExtent(), width / 2);
    EXPECT_FALSE(bar->SetPos(101));
    EXPECT_FALSE(bar->SetPos(50));  // unchanged
    EXPECT_EQ(bar->m_pos, 50);
    EXPECT_TRUE(bar->SetPos(100));
    EXPECT_EQ(bar->BarExtent(), width);
    bar->m_max = 1;
    EXPECT_EQ(bar->BarExtent(), 0);
}

TEST_F(ControlsTest, ComboBoxOpensChoosesAndTimesOut) {
    auto* combo = Get<NvCtrlComboBox>(kCombo);
    auto* drop = combo->GetChild(1);
    // No items: the drop button does nothing.
    NvCtrlEvent e = TouchControl(100, drop);
    EXPECT_EQ(e.action, 0);
    combo->SetItemCount(40);
    EXPECT_EQ(combo->GetItemCount(), 32);
    combo->SetItemCount(5);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(combo->SetItemText(i, u"Item"));
    EXPECT_FALSE(combo->SetItemText(5, u"Item"));
    const NvRect closed = combo->m_rect;

    e = TouchControl(200, drop);
    EXPECT_EQ(e.layoutId, kCombo);
    EXPECT_EQ(e.action, 1);
    m_host->UpdateFrame(300);
    ASSERT_TRUE(combo->IsOpen());
    EXPECT_EQ(m_host->Popups().Find(combo), 0);
    auto* top = static_cast<NvControl*>(combo->GetChild(2));
    auto* row = static_cast<NvControl*>(combo->GetChild(4));
    EXPECT_EQ(combo->m_rect.height, top->m_rect.height + combo->GetChild(3)->m_rect.height + 5 * row->m_rect.height);
    m_host->DrawFrame(true, true);
    // The third row: value 2, action 4, closed with the field's rectangle back.
    const int32_t rowsTop = combo->m_rect.y + top->m_rect.height;
    e = Touch(400, combo->m_rect.x + 20, rowsTop + 2 * row->m_rect.height + row->m_rect.height / 2);
    EXPECT_EQ(e.layoutId, kCombo);
    EXPECT_EQ(e.value, 2);
    EXPECT_EQ(e.action, 4);
    EXPECT_FALSE(combo->IsOpen());
    EXPECT_EQ(combo->m_rect.y, closed.y);
    EXPECT_EQ(combo->m_rect.height, closed.height);
    m_host->UpdateFrame(500);
    EXPECT_EQ(m_host->Popups().Find(combo), -1);

    // Below the last row: no choice, the combo box keeps its list (the
    // popup's close-on-touch then closes it at the next update).
    TouchControl(600, drop);
    m_host->UpdateFrame(700);
    ASSERT_TRUE(combo->IsOpen());
    e = Touch(800, combo->m_rect.x + 20, rowsTop + 5 * row->m_rect.height + 3);
    EXPECT_NE(e.action, 4);
    EXPECT_TRUE(combo->IsOpen());
    m_host->UpdateFrame(900);   // close requested -> closing
    m_host->UpdateFrame(950);   // closed
    EXPECT_FALSE(combo->IsOpen());

    // Opened and left alone: closed by the 5000 ms time-out. Meanwhile the
    // remote-control focus walks the open list's items.
    EXPECT_FALSE(combo->MoveRemoconFocus(0)) << "closed";
    TouchControl(1000, drop);
    m_host->UpdateFrame(1100);
    ASSERT_TRUE(combo->IsOpen());
    EXPECT_TRUE(combo->MoveRemoconFocus(0));
    EXPECT_TRUE(combo->MoveRemoconFocus(4));
    EXPECT_EQ(combo->m_focusItem, 1);
    EXPECT_TRUE(combo->SetRemoconFocus(4));
    EXPECT_FALSE(combo->MoveRemoconFocus(4)) << "the last item";
    EXPECT_FALSE(combo->SetRemoconFocus(5));
    m_host->UpdateFrame(4000);
    EXPECT_TRUE(combo->IsOpen());
    m_host->UpdateFrame(6200);
    m_host->UpdateFrame(6350);
    EXPECT_FALSE(combo->IsOpen());
    EXPECT_EQ(combo->m_rect.height, closed.height);
    EXPECT_EQ(NvLastClosedComboBox(), combo);
}

TEST_F(ControlsTest, DynamicPanelSizesAndTouches) {
    auto* panel = Get<NvCtrlDynamicPanel>(kDynPanel);
    auto piece = [&](int i) { return static_cast<NvControl*>(panel->GetChild(i))->m_rect; };
    int32_t w = 0, h = 0;
    ASSERT_TRUE(panel->CalcSize(1, 2, &w, &h));
    EXPECT_EQ(w, piece(0).width);
    EXPECT_EQ(h, piece(0).height + piece(2).height);
    ASSERT_TRUE(panel->CalcSize(3, 4, &w, &h));
    EXPECT_EQ(w, piece(3).width + piece(4).width + piece(5).width);
    EXPECT_EQ(h, piece(3).height + 2 * piece(6).height + piece(9).height);
    EXPECT_FALSE(panel->CalcSize(0, 2, &w, &h));

    ASSERT_TRUE(panel->SetCellCount(6, 3));
    ASSERT_TRUE(panel->ShowPopup(0, 0xFFFF, 0, 0));
    EXPECT_EQ(panel->m_pieces.size(), 18u);
    EXPECT_EQ(panel->m_rect.width, piece(3).width + 4 * piece(4).width + piece(5).width);
    m_host->DrawFrame(true, true);
    // A frame corner answers as the panel; the content button as itself.
    NvCtrlEvent e = Touch(100, panel->m_rect.x + 2, panel->m_rect.y + 2);
    EXPECT_EQ(e.layoutId, kDynPanel);
    EXPECT_EQ(e.action, 0);
    auto* content = static_cast<NvControl*>(panel->GetChild(NvCtrlDynamicPanel::kPieces));
    ASSERT_NE(content, nullptr);
    e = TouchControl(200, content);
    EXPECT_EQ(e.layoutId, content->m_layoutId);
    EXPECT_EQ(e.action, 1);

    // Stretched: refused below the shape's minimum, else the panel takes the rectangle.
    EXPECT_FALSE(panel->SetRect(10, 10, 20, 20));
    ASSERT_TRUE(panel->SetRect(10, 20, 300, 200));
    EXPECT_EQ(panel->m_rect.x, 10);
    EXPECT_EQ(panel->m_rect.height, 200);
}

TEST_F(ControlsTest, MapPanelTakesOnlyABitmapOfItsSize) {
    auto* map = Get<NvCtrlMapPanel>(kMapPanel);
    const int32_t w = map->m_rect.width, h = map->m_rect.height;
    DibImage565 narrow(w - 1, h), exact(w, h);
    exact.Fill(0x07E0);
    ASSERT_NE(map->m_images[0], nullptr);
    const uint16_t before = map->m_images[0]->Current()->Pixel(0, 0);
    EXPECT_FALSE(map->SetBitmap(true, &narrow, w - 1, h));
    EXPECT_EQ(map->m_images[0]->Current()->Pixel(0, 0), before);
    EXPECT_FALSE(map->SetBitmap(false, &exact, w, h));
    EXPECT_TRUE(map->SetBitmap(true, &exact, w, h));
    EXPECT_EQ(map->m_images[0]->Current()->Pixel(w - 1, h - 1), 0x07E0);
    // Touch areas: the sub index 0..7 becomes the action.
    NvCtrlEvent e;
    map->OnPointer(kNvWmLButtonDown, &e, 3);
    EXPECT_EQ(e.layoutId, kMapPanel);
    EXPECT_EQ(e.action, 3);
    NvCtrlEvent none;
    map->OnPointer(kNvWmLButtonDown, &none, 8);
    EXPECT_EQ(none.layoutId, 0);
}

// Blank drawing surfaces are filled with the key colour: where the screen has
// not painted them the board under them shows; what it paints is shown.
TEST_F(ControlsTest, BlankSurfacesShowTheBoardUnderThem) {
    NvControl* screen = m_host->GetControl(0);
    ASSERT_NE(screen, nullptr);
    ASSERT_NE(screen->m_images[0], nullptr);
    const NvImageData* under = screen->m_images[0]->Current();
    auto check = [&](NvControl* c, const char* what) {
        SCOPED_TRACE(what);
        ASSERT_NE(c->m_images[0], nullptr);
        NvImageData* image = c->m_images[0]->Current();
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->Pixel(0, 0), kColorKey565);
        // A green 4 x 4 patch at (2, 3) of the surface, as a screen would paint it.
        for (int32_t y = 3; y < 7; ++y)
            for (int32_t x = 2; x < 6; ++x) image->dib.SetPixel(x, y, 0x07E0);
        m_host->DrawFrame(true, true);
        const DibImage565& frame = m_window->Frame();
        int background = 0, painted = 0, other = 0;
        for (int32_t y = c->m_rect.y; y < std::min(c->m_rect.y + c->m_rect.height, 480); ++y)
            for (int32_t x = c->m_rect.x; x < std::min(c->m_rect.x + c->m_rect.width, 800); ++x) {
                const int32_t ix = x - c->m_rect.x, iy = y - c->m_rect.y;
                const bool patch = ix >= 2 && ix < 6 && iy >= 3 && iy < 7;
                if (patch) painted += frame.Pixel(x, y) == 0x07E0;
                else if (frame.Pixel(x, y) == under->Pixel(x, y)) ++background;
                else ++other;
            }
        EXPECT_EQ(painted, 16);
        EXPECT_EQ(other, 0);
        EXPECT_GT(background, 1000);
    };
    check(m_host->GetControl(kSurface), "static with attribute 1");
    check(Get<NvCtrlMapPanel>(kMapPanel), "map panel before its bitmap");
    // The same static as an alpha surface (attribute 2, a zeroed alpha plane),
    // blended over the back buffer (mode 2: there is no background layer here).
    NvControl* surface = m_host->GetControl(kSurface);
    surface->ReleaseStateImages();
    surface->m_attr1 = 2;
    surface->m_bgMode = 2;
    surface->LoadStateImages();
    ASSERT_NE(surface->m_images[0], nullptr);
    ASSERT_EQ(surface->m_images[0]->Current()->kind, RESOURCE_ALPHA);
    check(surface, "static with attribute 2");
}

TEST_F(ControlsTest, GalleryGoldensInBothColours) {
    for (int colour = 0; colour < 2; ++colour) {
        SCOPED_TRACE(colour);
        Start(colour);
        auto* list = Get<NvCtrlList>(kList);
        const char16_t* rows[] = {u"Seoul", u"Busan", u"Incheon", u"Daegu", u"Gwangju"};
        for (int n = 0; n < 5; ++n) list->SetRowText(n, rows[n], false, true);
        list->SetCurSel(1);
        auto* scroll = Get<NvCtrlListScroll>(kListScroll);
        scroll->SetTotalCount(23);
        scroll->SetTopIndex(15);
        Get<NvCtrlSlidebar>(kSlide)->SetPos(6);
        Get<NvCtrlProgressbar>(kProgress)->SetPos(50);
        Get<NvCtrlCheckBox>(kCheck)->SetCheck(true, true);
        Get<NvCtrlRadioButton>(kRadio)->SetCheck(true, true);
        Get<NvCtrlTieScroll>(kTieScroll)->SetCurPage(2, true);
        if (NvControl* field = Get<NvCtrlComboBox>(kCombo)->GetTextControl()) field->SetText(u"Day", false, true);
        m_host->DrawFrame(true, true);
        const int differ = uitest::CompareGolden(m_window->Frame(), "controls_gallery_c" + std::to_string(colour));
        EXPECT_GE(differ, 0) << "golden missing";
        EXPECT_LE(differ, kGoldenTolerance);
    }
}

}  // namespace
