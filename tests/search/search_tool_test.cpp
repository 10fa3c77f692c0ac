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

TEST_F(SearchToolTest, NameKind) {
    // One initial: the places whose names begin with a syllable of ㄱ, in
    // name order ("가람로..." before "기린로카페").
    ToolRun r = Search("--kind name --text ㄱ");
    ASSERT_EQ(r.exitCode, 0);
    ASSERT_EQ(r.lines.size(), 1u + 5);
    EXPECT_EQ(r.lines[0], "{\"answer\":1,\"count\":5}");
    EXPECT_EQ(r.lines[1].rfind("{\"name\":\"가람로약국\",", 0), 0u) << r.lines[1];
    EXPECT_EQ(r.lines[5].rfind("{\"name\":\"기린로카페\",", 0), 0u) << r.lines[5];
    // A full name: one row with its area and category.
    r = Search("--kind name --text 누리대로도서관");
    ASSERT_EQ(r.lines.size(), 2u);
    EXPECT_NE(r.lines[1].find("\"address\":\""), std::string::npos);
    EXPECT_EQ(r.lines[1].rfind("{\"name\":\"누리대로도서관\",", 0), 0u) << r.lines[1];
    // A middle word: every place with "카페" inside.
    r = Search("--kind name --middle --text 카페");
    ASSERT_GE(r.lines.size(), 1u);
    EXPECT_EQ(r.lines[0], "{\"answer\":1,\"count\":5}");
    // A second name of a place shows its main name.
    r = Search("--kind name --text 한빛주");
    ASSERT_EQ(r.lines.size(), 2u);
    EXPECT_NE(r.lines[1].find("\"main\":\"한빛로주유소\""), std::string::npos) << r.lines[1];
    EXPECT_EQ(Search("--kind name").exitCode, 2);
}

TEST_F(SearchToolTest, BuildingAndSubPlaceKinds) {
    // The demo mall: 20 entries, the second name behind its clinic skipped;
    // by group and floor, the basement market first.
    ToolRun r = Search("--kind building --key 1030020077 --order 3");
    ASSERT_EQ(r.exitCode, 0);
    ASSERT_EQ(r.lines.size(), 1u + 19);
    EXPECT_EQ(r.lines[0], "{\"answer\":1,\"count\":19}");
    EXPECT_EQ(r.lines[1].rfind("{\"name\":\"누리몰마트\",\"building\":\"누리몰\",\"floor\":-1,", 0), 0u) << r.lines[1];
    EXPECT_EQ(Search("--kind building --key 1").lines, std::vector<std::string>{"{\"answer\":0,\"count\":0}"});
    // The park's four sub-places, by the park's POI id.
    r = Search("--kind name --text 마루로공원");
    ASSERT_GE(r.lines.size(), 2u);
    const size_t at = r.lines[1].find("\"poi\":");
    ASSERT_NE(at, std::string::npos);
    const std::string poi = std::to_string(std::stoul(r.lines[1].substr(at + 6)));
    r = Search("--kind subplace --poi " + poi);
    ASSERT_EQ(r.exitCode, 0);
    ASSERT_EQ(r.lines.size(), 1u + 4);
    EXPECT_EQ(r.lines[2].rfind("{\"name\":\"마루로공원 후문\",", 0), 0u) << r.lines[2];
    EXPECT_NE(r.lines[2].find("\"detail\":\"후문 앞\""), std::string::npos) << r.lines[2];
    EXPECT_EQ(Search("--kind building").exitCode, 2);
    EXPECT_EQ(Search("--kind subplace").exitCode, 2);
}

TEST_F(SearchToolTest, Errors) {
    EXPECT_EQ(Search("--kind tel --text 02").exitCode, 2);
    EXPECT_EQ(Search("--kind nonsense").exitCode, 2);
    EXPECT_EQ(Search("--kind lot --code 103001").exitCode, 2);
    EXPECT_EQ(Search("--kind lot --code 103001 --main 10000").exitCode, 2);
    ToolRun r = Search("--kind area --root " + dir.Path() + "/none");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.lines.empty());
}

}  // namespace

namespace {

TEST_F(SearchToolTest, TelephoneCategoryRouteAndAroundKinds) {
    ToolRun r = Search("--kind tel --tel-area 2 --number 5551");
    EXPECT_EQ(r.exitCode, 0);
    ASSERT_EQ(r.lines.size(), 2u);
    EXPECT_EQ(r.lines[0], "{\"answer\":1,\"count\":1}");
    EXPECT_NE(r.lines[1].find("\"name\":\"태평상사\",\"tel\":55512345"), std::string::npos) << r.lines[1];

    r = Search("--kind category --cate 3");
    EXPECT_EQ(r.exitCode, 0);
    ASSERT_GE(r.lines.size(), 2u);
    EXPECT_EQ(r.lines[0].rfind("{\"answer\":1,", 0), 0u) << r.lines[0];
    EXPECT_NE(r.lines[1].find("\"cate_index\":9"), std::string::npos) << r.lines[1];

    r = Search("--kind around");
    EXPECT_EQ(r.exitCode, 0);
    ASSERT_EQ(r.lines.size(), 15u);
    EXPECT_EQ(r.lines[0].rfind("{\"code\":1,\"name\":\"음식점\",\"cate_index\":1,", 0), 0u) << r.lines[0];

    EXPECT_EQ(Search("--kind route --cate 1").exitCode, 2);
    EXPECT_EQ(Search("--kind route --cate 1 --points '1,2;x'").exitCode, 2);
    EXPECT_EQ(Search("--kind tel --number 5").exitCode, 2);
}

}  // namespace
