#include "foundation/debug_trace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class DebugTraceTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDebugTraceLevel(1);
        SetDebugTraceSink([this](std::string_view line) { m_lines.emplace_back(line); }, false);
    }
    void TearDown() override {
        SetDebugTraceSink(nullptr);
        SetDebugTraceLevel(1);
    }
    std::vector<std::string> m_lines;
};

TEST_F(DebugTraceTest, LevelsAgainstTheThreshold) {
    EXPECT_EQ(DebugTrace(3, "CreateThread 0x%08x, %s\r\n", 0x1234u, "MODULERP"), 0);
    EXPECT_EQ(DebugTrace(0, "[RP99] Terminated RP Thread!!!\n"), 1);
    SetDebugTraceLevel(3);
    EXPECT_EQ(DebugTrace(3, "CreateThread 0x%08x, %s\r\n", 0x1234u, "MODULERP"), 1);
    ASSERT_EQ(m_lines.size(), 2u);
    EXPECT_EQ(m_lines[0], "[RP99] Terminated RP Thread!!!\n");
    EXPECT_EQ(m_lines[1], "CreateThread 0x00001234, MODULERP\r\n");
}

TEST_F(DebugTraceTest, LongTextIsCutAndOverlongFormatRefused) {
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "가";   // three bytes each in UTF-8
    EXPECT_EQ(DebugTrace(0, "%s", text.c_str()), 1);
    ASSERT_EQ(m_lines.size(), 1u);
    EXPECT_EQ(m_lines[0].size(), 1023u * 3);   // 1023 characters, none split

    const std::string format(1025, 'x');
    EXPECT_EQ(DebugTrace(0, "%s", format.c_str()), 1);   // long argument: cut, written
    // The format itself is the input under test here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
    EXPECT_EQ(DebugTrace(0, format.c_str()), 0);          // long format: not written
#pragma GCC diagnostic pop
    EXPECT_EQ(m_lines.size(), 2u);
}

}  // namespace
