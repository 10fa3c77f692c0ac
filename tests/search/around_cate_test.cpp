// The around-search category list: the bytes of "cate_around.sdb" by hand,
// children by code, level ranges, a damaged level table, and lists read
// from several threads at once while the file is reopened.
#include "search/around_cate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "support/temp_dir.h"
#include "tools/writers/search_kinds_writer.h"

namespace {

std::string Bytes(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }
std::string Cp949(const std::u16string& s) {
    std::string out;
    platform::Utf16ToCp949(s, out);
    return out;
}

// Levels 1 and 2 of a small tree: 1 음식점, 5 관공서 with 40 children, 10
// 관광; level 2: 101 한식, 500..539 (40 offices), 1001 공원.
std::vector<writers::SearchCate> Tree() {
    std::vector<writers::SearchCate> cates = {{1, 0, "음식점"}, {5, 0, "관공서"}, {10, 0, "관광"}, {31, 0, "한식"},
                                              {301, 0, "공원"}};
    for (uint16_t h = 1; h <= 29; ++h) cates.push_back({static_cast<uint16_t>(5 * 30 + h), 0, "기관" + std::to_string(h)});
    return cates;
}

struct AroundFiles {
    testsupport::TempDir dir;
    NcSearchAroundCate engine;
    explicit AroundFiles(const std::string& bytes) {
        dir.Write("cate_around.sdb", bytes);
        engine.InitAroundCate(dir.Path() + "/");
    }
};

TEST(AroundCateTest, FileBytesByHand) {
    writers::SearchPoi place;
    place.catePacked = static_cast<uint16_t>(1 << 12 | 1 << 6);  // 한식 (31), under 음식점 (1)
    const std::vector<uint8_t> file =
        writers::BuildAroundCateFile({{1, 0, "음식점"}, {31, 0, "한식"}, {10, 0, "관광"}}, {place, place});
    platform::ByteReader r(file);
    EXPECT_EQ(r.U16(), 3u);
    EXPECT_EQ(r.U16(), 0u);  // level 1 from record 0
    EXPECT_EQ(r.U16(), 2u);  // level 2 from record 2
    EXPECT_EQ(r.U16(), 3u);
    EXPECT_EQ(r.U16(), 3u);
    EXPECT_EQ(r.U16(), 3u);  // the end
    r.Seek(19);
    EXPECT_EQ(r.U32(), 1u);   // code
    EXPECT_EQ(r.U16(), 1u);   // category index searched
    EXPECT_EQ(r.U16(), 0u);
    EXPECT_EQ(r.U16(), 1u);   // level
    EXPECT_EQ(r.U32(), 2u);   // places
    EXPECT_EQ(r.U8(), 6u);    // 음식점: three syllables
    EXPECT_EQ(r.U32(), 4u * 19);
    r.Seek(3 * 19);           // record 2: 한식, code 1 * 100 + 1
    EXPECT_EQ(r.U32(), 101u);
    EXPECT_EQ(r.U16(), 31u);
    r.Seek(4 * 19);
    std::string names(reinterpret_cast<const char*>(r.Span(r.Remaining())), file.size() - 4 * 19);
    EXPECT_EQ(names, Cp949(u"음식점관광한식"));
}

TEST(AroundCateTest, ChildrenLevelsAndRecords) {
    AroundFiles f(Bytes(writers::BuildAroundCateFile(Tree(), {})));
    std::vector<AroundCateRow> rows;
    EXPECT_EQ(f.engine.ListCategories(1, 0, &rows), 3);
    EXPECT_EQ(rows[1].nCode, 5u);
    EXPECT_STREQ(rows[1].szName, Cp949(u"관공서").c_str());
    // Level 2 under 5: the codes 500 to 599, all 29 of them.
    EXPECT_EQ(f.engine.ListCategories(2, 5, &rows), 29);
    EXPECT_EQ(rows.front().nCode, 501u);
    EXPECT_EQ(rows.back().nCode, 529u);
    EXPECT_EQ(rows.back().wValue1, 5u * 30 + 29);
    EXPECT_EQ(f.engine.ListCategories(2, 10, &rows), 1);
    EXPECT_EQ(rows[0].nCode, 1001u);
    EXPECT_EQ(f.engine.ListCategories(2, 7, &rows), 0);
    uint32_t first = 9, count = 9;
    EXPECT_EQ(f.engine.GetLevelRange(0, &first, &count), 0);
    EXPECT_EQ(f.engine.GetLevelRange(5, &first, &count), 0);
    EXPECT_EQ(f.engine.GetLevelRange(2, &first, &count), 1);
    EXPECT_EQ(first, 3u);
    EXPECT_EQ(count, 31u);
    AroundCateRow row;
    EXPECT_EQ(f.engine.GetAroundRecord(517, &row), 1);
    EXPECT_STREQ(row.szName, Cp949(u"기관17").c_str());
    EXPECT_EQ(f.engine.GetAroundRecord(530, &row), 0);
}

TEST(AroundCateTest, DamagedLevelTableAndMissingFile) {
    std::vector<uint8_t> bytes = writers::BuildAroundCateFile(Tree(), {});
    // Level 2 starts beyond the records and the end value is huge: held to
    // the records the file holds.
    bytes[4] = 0xFF;
    bytes[5] = 0x7F;
    bytes[10] = 0xFF;
    bytes[11] = 0xFF;
    AroundFiles f(Bytes(bytes));
    std::vector<AroundCateRow> rows;
    EXPECT_EQ(f.engine.ListCategories(1, 0, &rows), 3);
    uint32_t first = 0, count = 0;
    f.engine.GetLevelRange(2, &first, &count);
    EXPECT_LE(uint64_t{first} + count, (bytes.size() / 19) - 1);
    testsupport::TempDir empty;
    NcSearchAroundCate none;
    EXPECT_EQ(none.InitAroundCate(empty.Path() + "/"), 0);
    EXPECT_EQ(none.ListCategories(1, 0, &rows), 0);
}

TEST(AroundCateTest, ListsFromSeveralThreadsWhileReopened) {
    AroundFiles f(Bytes(writers::BuildAroundCateFile(Tree(), {})));
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    auto reader = [&](uint32_t parent, int want) {
        std::vector<AroundCateRow> rows;
        for (int i = 0; i < 300; ++i)
            if (f.engine.ListCategories(2, parent, &rows) != want || static_cast<int>(rows.size()) != want) ++wrong;
    };
    std::thread reopen([&] {
        while (!stop.load()) f.engine.ReopenAroundCate();
    });
    std::thread renderer(reader, 5, 29), picker(reader, 1, 1);
    renderer.join();
    picker.join();
    stop = true;
    reopen.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
