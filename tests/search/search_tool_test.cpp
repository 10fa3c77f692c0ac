// The search tool on the demo district's search data: JSON lines out,
// errors and exit codes. The tool is the program next to the tests
// (build/tools/search); without it the test is skipped.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "support/temp_dir.h"
#include "tools/writers/search_db_writer.h"

namespace {

struct ToolRun {
    int exitCode = -1;
    std::vector<std::string> lines;
};

class SearchToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string exe = platform::ExecutablePath();
        tool = exe.substr(0, exe.rfind('/')) + "/../tools/search";
        if (!platform::IsRegularFile(tool)) GTEST_SKIP() << "no search tool at " << tool;
        ASSERT_TRUE(writers::WriteDemoSearch(dir.Path()));
    }
    ToolRun Search(const std::string& args) {
        ToolRun run;
        FILE* p = popen((tool + " --root " + dir.Path() + " " + args + " 2>/dev/null").c_str(), "r");
        if (!p) return run;
        char line[1024];
        while (std::fgets(line, sizeof line, p)) {
            std::string s(line);
            if (!s.empty() && s.back() == '\n') s.pop_back();
            run.lines.push_back(s);
        }
        const int status = pclose(p);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }
    testsupport::TempDir dir;
    std::string tool;
};

TEST_F(SearchToolTest, AddressKinds) {
    ToolRun r = Search("--kind area --code 1030 --level 3");
    EXPECT_EQ(r.exitCode, 0);
    ASSERT_EQ(r.lines.size(), 3u);
    EXPECT_EQ(r.lines[0].rfind("{\"code\":103002,\"name\":\"누리동\",", 0), 0u) << r.lines[0];

    r = Search("--kind area --text 별빛");
    ASSERT_EQ(r.lines.size(), 1u);
    EXPECT_NE(r.lines[0].find("\"name\":\"서울특별시>한빛구>솔내면>별빛리\""), std::string::npos) << r.lines[0];

    // Lot 13 is not stored: the nearest lower lot, 12-1, and the next.
    r = Search("--kind lot --code 103001 --main 13 --max 2");
    EXPECT_EQ(r.exitCode, 0);
    ASSERT_EQ(r.lines.size(), 2u);
    EXPECT_NE(r.lines[0].find("\"area\":\"한빛동\",\"mountain\":0,\"main\":12,\"sub\":1"), std::string::npos) << r.lines[0];
    EXPECT_NE(r.lines[1].find("\"main\":14,\"sub\":0"), std::string::npos) << r.lines[1];

    r = Search("--kind lot --code 103003 --main 15 --mountain");
    ASSERT_FALSE(r.lines.empty());
    EXPECT_NE(r.lines[0].find("\"mountain\":1,\"main\":15"), std::string::npos) << r.lines[0];

    r = Search("--kind road --text ㄴㄹ");
    ASSERT_EQ(r.lines.size(), 1u);
    EXPECT_NE(r.lines[0].find("\"code\":10300003,\"name\":\"서울특별시>한빛구>누리대로\""), std::string::npos);

    r = Search("--kind road --code 10300001 --main 44 --max 1");
    ASSERT_EQ(r.lines.size(), 1u);
    EXPECT_NE(r.lines[0].find("\"area\":\"한빛로\",\"mountain\":0,\"main\":44,\"sub\":0"), std::string::npos) << r.lines[0];
}

TEST_F(SearchToolTest, Errors) {
    EXPECT_EQ(Search("--kind name --text 가나").exitCode, 2);
    EXPECT_EQ(Search("--kind nonsense").exitCode, 2);
    EXPECT_EQ(Search("--kind lot --code 103001").exitCode, 2);
    EXPECT_EQ(Search("--kind lot --code 103001 --main 10000").exitCode, 2);
    ToolRun r = Search("--kind area --root " + dir.Path() + "/none");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.lines.empty());
}

}  // namespace
