#pragma once
// The search module on a folder of search data, for the module tests: a
// bounded wait, requests, a start that waits for the engines, a search run
// to its end and its rows; and a fixture that starts the module on the demo
// district (or on data a test writes instead).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "search/module_sch.h"
#include "support/temp_dir.h"
#include "tools/writers/search_db_writer.h"

namespace searchtest {

// Polls cond until it holds or a generous bound passes; the bound only
// keeps a broken module from hanging the test.
template <typename Cond>
bool WaitFor(Cond cond) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::yield();
    }
    return true;
}

inline SearchRequest Request(uint32_t kind, const std::u16string& keyword, uint32_t area = 0) {
    SearchRequest q;
    q.SearchKindID = kind;
    SetSearchText(q.szKeyword, kSchKeywordChars, keyword);
    q.uAreaCode = area;
    return q;
}

// Starts the module on root and waits until its engines are loaded.
inline ::testing::AssertionResult StartModule(CModuleSCH& module, const std::string& root, uint32_t themeFlag = 0) {
    if (module.Initialize({root, themeFlag}) != 1) return ::testing::AssertionFailure() << "Initialize refused";
    if (!WaitFor([&] { return module.GetInitState() != 0; }))
        return ::testing::AssertionFailure() << "the engines never loaded";
    if (module.GetInitState() != 1)
        return ::testing::AssertionFailure() << "init state " << module.GetInitState();
    return ::testing::AssertionSuccess();
}

// Runs a search to its end: the count.
inline int RunSearch(CModuleSCH& module, const SearchRequest& q) {
    EXPECT_EQ(module.DoSearch(q), 1);
    int count = -1;
    EXPECT_TRUE(WaitFor([&] { return module.GetSearchResultCount(&count) == 1; }));
    return count;
}

// The first count rows of the finished search of a kind.
inline std::vector<SearchResult> FetchRows(CModuleSCH& module, uint32_t kind, int count) {
    std::vector<SearchResult> rows(static_cast<size_t>(std::max(count, 0)));
    int n = 0;
    if (count > 0) {
        EXPECT_EQ(module.GetSearchResult(kind, 0, count, &n, rows.data()), 1);
    }
    rows.resize(static_cast<size_t>(n));
    return rows;
}

// The module started on a temporary folder: WriteData puts the demo
// district's search data there (a test may write its own), ThemeFlag is
// the start's theme flag; the module is stopped after the test.
class SearchModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WriteData());
        module = std::make_unique<CModuleSCH>(&settings);
        ASSERT_TRUE(StartModule(*module, dir.Path(), ThemeFlag()));
    }
    void TearDown() override {
        if (module) {
            EXPECT_EQ(module->Stop(), 1);
        }
    }
    virtual void WriteData() { ASSERT_TRUE(writers::WriteDemoSearch(dir.Path())); }
    virtual uint32_t ThemeFlag() const { return 0; }

    int Search(const SearchRequest& q) { return RunSearch(*module, q); }
    std::vector<SearchResult> Fetch(uint32_t kind, int count) { return FetchRows(*module, kind, count); }

    testsupport::TempDir dir;
    CMgrConfigModuleSCH settings;
    std::unique_ptr<CModuleSCH> module;
};

}  // namespace searchtest
