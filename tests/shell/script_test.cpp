// The scripted run's steps: each form read, anything else refused with its
// line.
#include "shell/script.h"

#include <gtest/gtest.h>

#include "shell/window_messages.h"

namespace {

TEST(ScriptTest, ReadsEveryStep) {
    const char* text =
        "# start\n"
        "wait 3000\n"
        "touch 400 240   # the middle\n"
        "drag 10 20 110 20\n"
        "key escape\n"
        "key 65\n"
        "type 한빛\n"
        "event 94\n"
        "command 1001 서울\n"
        "screenshot out/map.png\n"
        "expect-chapter 16\n"
        "expect-pixel 5 6 FF8000\n"
        "expect-shown 1\n"
        "close\n"
        "quit\n";
    std::vector<ScriptStep> steps;
    std::string error;
    ASSERT_TRUE(ParseScript(text, steps, &error)) << error;
    ASSERT_EQ(steps.size(), 14u);
    EXPECT_EQ(steps[0].kind, ScriptStep::kWait);
    EXPECT_EQ(steps[0].a, 3000);
    EXPECT_EQ(steps[0].line, 2);
    EXPECT_EQ(steps[1].kind, ScriptStep::kTouch);
    EXPECT_EQ(steps[2].e, 300);
    EXPECT_EQ(steps[3].a, static_cast<int32_t>(kVkEscape));
    EXPECT_EQ(steps[4].a, 65);
    EXPECT_EQ(steps[5].text, "한빛");
    EXPECT_EQ(steps[7].a, 1001);
    EXPECT_EQ(steps[7].text, "서울");
    EXPECT_EQ(steps[8].text, "out/map.png");
    EXPECT_EQ(steps[10].c, 0xFF8000);
    EXPECT_EQ(steps[10].d, 8);
    EXPECT_EQ(steps[13].kind, ScriptStep::kQuit);
}

TEST(ScriptTest, RefusesWhatItDoesNotKnow) {
    for (const char* text : {"tap 1 2", "touch 1", "wait -5", "wait 1x", "key nosuchkey", "expect-pixel 1 2 XYZ",
                             "screenshot", "event"}) {
        SCOPED_TRACE(text);
        std::vector<ScriptStep> steps;
        std::string error;
        EXPECT_FALSE(ParseScript(std::string("wait 1\n") + text, steps, &error));
        EXPECT_NE(error.find("line 2"), std::string::npos);
    }
}

}  // namespace
