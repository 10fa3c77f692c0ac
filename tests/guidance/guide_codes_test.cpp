// The turn-code tables of guidance: guided codes, turn classes and their
// phrases, lane arrow classes, turn-delay categories and link speeds, and
// the guidance text's length limit.
#include "guidance/guide_codes.h"

#include <gtest/gtest.h>

#include "guidance/collect_data.h"

namespace {

TEST(GuideCodesTest, GuidedCodesClassesAndPhrases) {
    struct Case {
        int code;
        bool guided;
        int turnClass;
        const char16_t* phrase;
        int arrow;
        int delayCategory;
    };
    const Case cases[] = {
        {0, false, 0, u"", 8, 5},           {1, false, 0, u"", 8, 5},
        {3, true, 1, u"직진", 8, 5},        {4, false, 1, u"직진", 8, 5},
        {9, false, 0, u"", 0, 5},           {10, false, 1, u"직진", 8, 2},
        {13, true, 3, u"우회전", 32, 3},    {16, true, 24, u"유턴", 1, 1},
        {19, true, 2, u"좌회전", 2, 4},     {29, true, 24, u"유턴", 1, 6},
        {56, true, 0, u"", 0, 5},           {58, false, 0, u"", 0, 5},
        {60, true, 37, u"지하차도 진입", 0, 5},
        {80, true, 32, u"로터리에서 12시방향 직진", 0, 5},
        {86, true, 28, u"로터리에서 유턴", 0, 5},
        {93, true, 23, u"휴게소", 0, 5},     {94, true, 36, u"톨게이트", 0, 5},
        {96, true, 19, u"터널로 진입", 0, 5},
        {100, true, 9, u"오른쪽 고속(화)도로 입구", 16, 0},
        {104, true, 13, u"왼쪽 고속(화)도로 출구", 4, 0},
        {149, false, 0, u"", 0, 5},         {155, true, 23, u"휴게소", 16, 5},
        {156, false, 0, u"", 0, 5},         {300, false, 43, u"출발지", 0, 5},
        {302, true, 45, u"경유지 1", 0, 5}, {317, true, 60, u"경유지 16", 0, 5},
        {318, true, 44, u"도착지", 0, 5},   {320, false, 44, u"도착지", 0, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(IsGuidedTurnCode(c.code), c.guided);
        EXPECT_EQ(GuidedTurnCode(c.code), c.guided ? c.code : 0);
        EXPECT_EQ(TurnClassOf(c.code), c.turnClass);
        EXPECT_EQ(std::u16string(TurnPhraseOf(c.code)), c.phrase);
        EXPECT_EQ(LaneArrowClassOf(c.code), c.arrow);
        EXPECT_EQ(TurnDelayCategory(c.code), c.delayCategory);
    }
    EXPECT_EQ(std::u16string(TurnClassPhrase(61)), u"");
    EXPECT_EQ(std::u16string(TurnClassPhrase(-1)), u"");
}

TEST(GuideCodesTest, LinkSpeedAndTime) {
    // Class 0, 4 lanes one-way (column 4: 58 km/h), free flow 1.424501.
    EXPECT_FLOAT_EQ(LinkSpeedKmh(0, 4, false, 0), 1.424501f * 58);
    // Two-way halves the lanes: column 2.
    EXPECT_FLOAT_EQ(LinkSpeedKmh(0, 4, true, 0), 1.424501f * 55);
    // Lanes past 5 and classes past 13 take the last column and row.
    EXPECT_FLOAT_EQ(LinkSpeedKmh(20, 12, false, 3), 0.328252f * 5);
    // 1000 m at class 13 jammed: 5 x 0.254507 km/h, plus 2 s straight on.
    EXPECT_EQ(EstimateLinkTimeS(1000, 13, 1, false, 4, 1), static_cast<int32_t>(3.6 * 1000 / (0.254507f * 5.0f) + 2 + 0.5));
    // Category 6 (code 29) adds 40 s on any class.
    EXPECT_EQ(EstimateLinkTimeS(0, 0, 1, false, 0, 29), 40);
    EXPECT_EQ(EstimateLinkTimeS(0, 9, 1, false, 0, 100), 28);
}

// The factor table has states 0 to 4 only: anything else (no data is
// 255) is free flow, never a read past the table.
TEST(GuideCodesTest, TrafficStateOutsideTheTableIsFreeFlow) {
    for (int state : {-1, 5, 7, 255, 1000}) {
        SCOPED_TRACE(state);
        EXPECT_FLOAT_EQ(LinkSpeedKmh(3, 2, false, state), LinkSpeedKmh(3, 2, false, 0));
        EXPECT_EQ(EstimateLinkTimeS(800, 3, 2, false, state, 13), EstimateLinkTimeS(800, 3, 2, false, 0, 13));
    }
}

// Up to three names of up to 70 characters make a text that must fit 128
// wide characters with its terminator: it is cut on a character boundary.
TEST(GuideCodesTest, GuideTextIsCutOnACharacterBoundary) {
    const std::u16string name70(70, u'가');
    const std::u16string text = name70 + u"에서 " + name70 + u" " + name70 + u" 방면 좌회전";
    const std::u16string fitted = FitGuideText(text);
    EXPECT_EQ(fitted.size(), 127u);
    EXPECT_EQ(fitted, text.substr(0, 127));
    // A character outside the basic plane across the limit is left out
    // whole, not cut in half.
    std::u16string wide(126, u'a');
    wide += u"\U0001F697";  // two units at 126 and 127
    EXPECT_EQ(FitGuideText(wide), std::u16string(126, u'a'));
    EXPECT_EQ(FitGuideText(u"짧은"), u"짧은");
}

TEST(GuideCodesTest, JunctionNamesThatKeepTheirGuidance) {
    for (const char16_t* name : {u"별빛IC", u"IC", u"북로분기점", u"자유로분기점", u"학의분기점", u"한남대교남단", u"88JC"})
        EXPECT_TRUE(IsGuidedJunctionName(name)) << static_cast<int>(std::u16string(name).size());
    for (const char16_t* name : {u"", u"누리분기점", u"ICE", u"88JCT", u"북로분기점 "})
        EXPECT_FALSE(IsGuidedJunctionName(name)) << static_cast<int>(std::u16string(name).size());
}

// Two ramp codes in a row: d = second - first, f = d + 6, then d - 6 when
// f > 12, or d + 18 when f <= 0; the code is 80 + f.
TEST(GuideCodesTest, RampCodesFold) {
    struct Case {
        int first, second, folded;
    };
    const Case cases[] = {
        {81, 83, 88},  // d 2: f 8
        {83, 81, 84},  // d -2: f 4
        {80, 92, 86},  // d 12: f 18 > 12, so 6
        {90, 81, 89},  // d -9: f -3 <= 0, so 9
        {86, 80, 92},  // d -6: f 0 <= 0, so 12
        {85, 85, 86},  // d 0: f 6
    };
    for (const Case& c : cases) EXPECT_EQ(FoldRampCodes(c.first, c.second), c.folded) << c.first << " " << c.second;
}

TEST(GuideCodesTest, LaneWordsHoldToTheRecord) {
    uint8_t lanes[28];
    for (int i = 0; i < 28; ++i) lanes[i] = static_cast<uint8_t>(i);
    const SvcLaneWords w = DecodeLaneWords(200, lanes);  // a count past the record's 14 words
    EXPECT_EQ(w.count, 14);
    EXPECT_EQ(w.words[0], 0x0100);
    EXPECT_EQ(w.words[13], 0x1B1A);
    EXPECT_EQ(DecodeLaneWords(3, lanes).count, 3);
}

}  // namespace
