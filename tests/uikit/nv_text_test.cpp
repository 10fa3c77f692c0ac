// Text layout: line breaks and their block placement, "..." cuts and the
// keep-end flag, the two columns of a backslash-r line, the default size,
// the caret from a touch point, and the multi-line panel (visible lines,
// wrapping at a pixel width, "#d" styles, the title line, the limits).
// Widths come from the font service itself; placements are worked out from
// them by hand.
#include <gtest/gtest.h>

#include <string>

#include "render/draw_handles.h"
#include "support/temp_dir.h"
#include "ui_test_fonts.h"
#include "uikit/nv_text.h"
#include "uikit/renderer.h"

namespace {

class NvTextTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new testsupport::TempDir();
        ASSERT_TRUE(uitest::MakeTestFonts(s_dir->Path()));
    }
    static void TearDownTestSuite() { delete s_dir; }
    void SetUp() override { ASSERT_NE(NvInitRenderer(&m_window, 400, 300, 0, 0, 400, 300, true, 0), nullptr); }
    void TearDown() override { NvReleaseRenderer(); }

    // Width and height of s in FONT1 at size (the oracle: the font service).
    static MneSize Extent(const std::string& s, int size = 20) {
        MneHandle dc = MneCreateDC(NvBackBuffer()->bits, 400, 300);
        MneHandle font = MneCreateFont(size, 300, "FONT1", 0);
        MneSelectFont(dc, font);
        MneSize out{};
        MneGetTextExtent(dc, s.data(), static_cast<int32_t>(s.size()), &out);
        MneDeleteDC(dc);
        MneDeleteFont(font);
        return out;
    }

    static testsupport::TempDir* s_dir;
    NvHeadlessPresenter m_window{400, 300};
};

testsupport::TempDir* NvTextTest::s_dir = nullptr;

TEST_F(NvTextTest, TwoLinesAreCentredAsABlock) {
    const NvRect owner{10, 200, 20, 100};
    NvText text(&owner);
    ASSERT_EQ(text.SetText(u"AB\\nCD"), 1);
    EXPECT_EQ(text.LineCount(), 2);
    ASSERT_EQ(text.Draw(0, 1000), 1);
    ASSERT_EQ(text.LastLines().size(), 2u);
    const MneSize ab = Extent("AB"), cd = Extent("CD");
    const int32_t h = std::min<int32_t>(20, ab.cy);
    // Block of 2 x h centred in 100; each line centred in 200.
    EXPECT_EQ(text.LastLines()[0].rect.y, 20 + 50 - (2 * h) / 2);
    EXPECT_EQ(text.LastLines()[1].rect.y, 20 + 50 - (2 * h) / 2 + h);
    EXPECT_EQ(text.LastLines()[0].rect.x, 10 + 100 - ab.cx / 2);
    EXPECT_EQ(text.LastLines()[1].rect.x, 10 + 100 - cd.cx / 2);
    EXPECT_EQ(text.SetText(nullptr), 0);
    EXPECT_EQ(text.GetLength(), 6);  // unchanged by the null text
}

TEST_F(NvTextTest, LongTextsAreCutWithDotsOrKeepTheirEnd) {
    const std::string full = "ABCDEFGHIJKLMNOP";
    const int32_t width = Extent("ABCDEFG").cx + 1;
    const NvRect owner{0, width, 0, 30};
    NvText text(&owner);
    text.SetAlign(0, 4);  // left, centred vertically
    text.SetText(u"ABCDEFGHIJKLMNOP");
    ASSERT_EQ(text.Draw(0, 0), 1);
    const std::string cut = text.LastLines()[0].text;
    ASSERT_GE(cut.size(), 4u);
    EXPECT_EQ(cut.substr(cut.size() - 3), "...");
    const std::string head = cut.substr(0, cut.size() - 3);
    EXPECT_EQ(full.substr(0, head.size()), head);
    // The widest head that leaves room for the dots.
    EXPECT_LE(Extent(head).cx + Extent("...").cx, width);
    EXPECT_GT(Extent(full.substr(0, head.size() + 1)).cx + Extent("...").cx, width);

    text.SetKeepEnd(true);
    ASSERT_EQ(text.Draw(0, 0), 1);
    const std::string end = text.LastLines()[0].text;
    EXPECT_EQ(end.substr(0, 3), "...");
    EXPECT_EQ(end.back(), 'P');
    // Right-aligned: it ends at the right edge.
    const NvRect& r = text.LastLines()[0].rect;
    EXPECT_EQ(r.x + r.width, width);
}

TEST_F(NvTextTest, BackslashRSplitsALineIntoTwoColumns) {
    const NvRect owner{0, 300, 0, 30};
    NvText text(&owner);
    text.SetText(u"Seoul\\r12km");
    ASSERT_EQ(text.Draw(0, 0), 1);
    EXPECT_EQ(text.LastLines()[0].text, "Seoul");
    EXPECT_EQ(text.LastLines()[0].right, "12km");
    EXPECT_EQ(text.LastLines()[0].rect.x, 0);
}

TEST_F(NvTextTest, SizeZeroDrawsAtTwenty) {
    const NvRect owner{0, 300, 0, 60};
    NvText text(&owner);
    text.SetText(u"Ag");
    tagUISCRIPT_TEXTSTYLE zero{255, 255, 255, 0, 0, 0, 0};
    text.SetStyle(1, zero);
    text.SetFontSize(0, 20);
    ASSERT_EQ(text.Draw(0, 0), 1);
    const NvRect twenty = text.LastLines()[0].rect;
    ASSERT_EQ(text.Draw(1, 0), 1);
    EXPECT_EQ(text.LastLines()[0].rect.width, twenty.width);
    EXPECT_EQ(text.LastLines()[0].rect.height, twenty.height);
}

TEST_F(NvTextTest, CaretFromPoint) {
    const NvRect owner{50, 300, 0, 30};
    NvText text(&owner);
    text.SetAlign(0, 4);  // left
    text.SetText(u"WAi");
    const int32_t w = Extent("W").cx, a = Extent("A").cx, i = Extent("i").cx;
    struct Case {
        int32_t x;
        int index;
    };
    const Case cases[] = {
        {50, 0},                 // before the middle of W
        {50 + w / 2 + 1, 1},     // past it
        {50 + w + a / 2 + 1, 2},
        {50 + w + a + i / 2 - 1, 2},
        {50 + w + a + i + 40, 3},  // past the end
    };
    for (const Case& c : cases) EXPECT_EQ(text.CaretFromPoint(0, c.x), c.index) << c.x;
    text.SetCaretEnable(true);
    text.SetCaretIndex(2);
    ASSERT_EQ(text.Draw(0, 0), 1);
    EXPECT_EQ(text.CaretX(), 50 + w + a);
}

TEST_F(NvTextTest, VerticalTextsStandOneCharacterPerLine) {
    const NvRect owner{0, 40, 0, 400};
    NvText text(&owner);
    ASSERT_EQ(text.SetText(u"ABC", true), 1);
    EXPECT_EQ(text.LineCount(), 3);
    ASSERT_EQ(text.Draw(0, 0), 1);
    ASSERT_EQ(text.LastLines().size(), 3u);
    EXPECT_EQ(text.LastLines()[2].text, "C");
    // A longer text keeps its first 43 characters, each on its line.
    const std::u16string many(60, u'x');
    ASSERT_EQ(text.SetText(many.c_str(), true), 1);
    EXPECT_EQ(text.LineCount(), NvText::kMaxVerticalChars);
    ASSERT_EQ(text.Draw(0, 0), 1);
    EXPECT_EQ(text.LastLines().size(), static_cast<size_t>(NvText::kMaxVerticalChars));
}

TEST_F(NvTextTest, RedrawIsDueAfter250Ms) {
    const NvRect owner{0, 100, 0, 30};
    NvText text(&owner);
    text.SetText(u"A");
    text.Draw(0, 1000);
    EXPECT_EQ(text.NeedsRedraw(1250), 0);
    EXPECT_EQ(text.NeedsRedraw(1251), 1);
}

TEST_F(NvTextTest, PanelShowsTheLinesThatFit) {
    NvTextML panel({0, 200, 0, 100});
    panel.SetLineHeight(20);  // pitch 26: tops 0, 26, 52, 78; the fourth ends at 98
    EXPECT_EQ(panel.VisibleLines(), 4);
    EXPECT_EQ(panel.VisibleRect(3).y, 78);
    panel.SetSpacing(4);
    panel.SetLineHeight(20);  // pitch 24: 0, 24, 48, 72 (ends 92)
    EXPECT_EQ(panel.VisibleLines(), 4);
}

TEST_F(NvTextTest, WrapsAtThePixelWidthAndKeepsAShortLastLine) {
    const int32_t three = Extent("AAA").cx;
    NvTextML panel({0, three + 1, 0, 200});
    ASSERT_EQ(panel.SetText(u"AAAAAAA\nBB\r\nC"), 1);
    // 3 + 3 + 1 by width, then the line breaks; the one-character lines stay.
    ASSERT_EQ(panel.LineCount(), 5);
    EXPECT_EQ(panel.LineText(0), u"AAA");
    EXPECT_EQ(panel.LineText(2), u"A");
    EXPECT_EQ(panel.LineText(3), u"BB");
    EXPECT_EQ(panel.LineText(4), u"C");
    panel.SetTopLine(99);  // clamped: count - visible, not below 0
    EXPECT_EQ(panel.TopLine(), 0);
    EXPECT_EQ(panel.Draw(), 1);
}

TEST_F(NvTextTest, MarkupStylesAndTitle) {
    NvTextML panel({0, 390, 0, 200});
    char16_t title[64] = {};
    ASSERT_EQ(panel.SetMarkupText(u"#1Title line\n#4First\\nsame\nplain", title), 1);
    EXPECT_EQ(std::u16string(title), u"Title line");
    ASSERT_EQ(panel.LineCount(), 2);
    EXPECT_EQ(panel.LineText(0), u"First  same");  // backslash-n: two blanks
    EXPECT_EQ(panel.GetLine(0).style, 4);
    EXPECT_EQ(panel.GetLine(1).style, 0);
    EXPECT_EQ(panel.Draw(), 1);

    // Without a title line no line is lost.
    ASSERT_EQ(panel.SetMarkupText(u"#2one\n#3two", title), 1);
    EXPECT_EQ(panel.LineCount(), 2);
    EXPECT_EQ(title[0], 0);
    // A long title is cut to its buffer.
    std::u16string longTitle = u"#1";
    longTitle += std::u16string(50, u'T');
    ASSERT_EQ(panel.SetMarkupText(longTitle.c_str(), title), 1);
    EXPECT_EQ(std::u16string(title).size(), 31u);
}

TEST_F(NvTextTest, LinesPastTheTableAreDropped) {
    NvTextML panel({0, 200, 0, 100});
    std::u16string many;
    for (int i = 0; i < 300; ++i) many += u"x\n";
    ASSERT_EQ(panel.SetText(many.c_str()), 1);
    EXPECT_EQ(panel.LineCount(), NvTextML::kMaxLines);
}

}  // namespace
