// Place base records ("nvr.sdb") and the category tree ("cate.sdb").
#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/file_io.h"
#include "search/cate_tree.h"
#include "search/poi_base.h"
#include "support/temp_dir.h"
#include "tools/writers/search_db_writer.h"

namespace {

std::string Cp(const char* utf8) {
    std::string out;
    platform::Utf16ToCp949(platform::Utf8ToUtf16(utf8), out);
    return out;
}

void Put(const testsupport::TempDir& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
    dir.Write(name, std::string(bytes.begin(), bytes.end()));
}

TEST(PoiBase, CategoryArithmeticAndTelephone) {
    // g 3, h 2, m 0: code 30200, index 92; with m 5: index 92 * 30 + 5.
    EXPECT_EQ(CateCodeOf(0x3080), 30200u);
    EXPECT_EQ(CateIndexOf(0x3080), 92u);
    EXPECT_EQ(CateCodeOf(0x3085), 30205u);
    EXPECT_EQ(CateIndexOf(0x3085), 2765u);
    EXPECT_EQ(FormatTelephone(0, 0), "");
    EXPECT_EQ(FormatTelephone(0, 1234567), "123-4567");
    EXPECT_EQ(FormatTelephone(2, 5550101), "(02)555-0101");
    EXPECT_EQ(FormatTelephone(31, 70012), "(031)007-0012");
}

TEST(PoiBase, RecordBytesByHand) {
    writers::SearchPoi p;
    p.flags = 0x11;
    p.poiId = 0x01020304;
    p.catePacked = 0x3085;
    p.areaCode = 103001;
    p.telArea = 2;
    p.telNumber = 5550101;
    p.pos = {0x0A0B0C0D, 0x01};
    const std::vector<uint8_t> want = {0x3C, 0, 0, 0, 4, 0x11, 4, 3, 2, 1, 0x85, 0x30, 0x59, 0x92, 0x01, 0,
                                       2, 0, 0x15, 0xB0, 0x54, 0, 0x0D, 0x0C, 0x0B, 0x0A, 1, 0, 0, 0};
    EXPECT_EQ(writers::EncodePoiRecord(p, 60, 4), want);

    // Two places: sorted by their CP949 names, names behind the records.
    writers::SearchPoi b = p, a = p;
    b.nameUtf8 = "나";
    a.nameUtf8 = "가AB";
    a.poiId = 7;
    const auto file = writers::BuildPoiBaseFile({b, a});
    ASSERT_EQ(file.size(), 90u + 4 + 2);
    EXPECT_EQ(file[30], 90);  // record 0 ("가AB") name at 90
    EXPECT_EQ(file[34], 4);
    EXPECT_EQ(file[36], 7);
    EXPECT_EQ(file[60], 94);  // record 1 ("나")
    EXPECT_EQ(file[64], 2);
}

TEST(PoiBase, ReaderFindsRecordsAndNothingWithoutFile) {
    testsupport::TempDir dir;
    writers::SearchPoi p;
    p.nameUtf8 = "한빛로주유소";
    p.poiId = 9;
    p.areaCode = 103001;
    p.telNumber = 5550101;
    p.pos = {100, 200};
    writers::SearchPoi q = p;
    q.nameUtf8 = "가람로카페";
    q.poiId = 10;
    Put(dir, "nvr.sdb", writers::BuildPoiBaseFile({p, q}));

    NcSearchDB db;
    EXPECT_EQ(db.SetFolder(dir.Path() + "/"), 1);
    EXPECT_EQ(db.RecordCount(), 2u);
    EXPECT_EQ(db.ReadName(0), Cp("가람로카페"));
    EXPECT_EQ(db.ReadName(1), Cp("한빛로주유소"));
    PoiBaseRecord rec;
    ASSERT_EQ(db.ReadRecord(1, rec), 1);
    EXPECT_EQ(rec.nPOIID, 9u);
    EXPECT_EQ(rec.uAreaCode, 103001u);
    EXPECT_EQ(rec.uTelNumber, 5550101u);
    EXPECT_EQ(rec.y, 200u);
    EXPECT_EQ(db.ReadRecord(2, rec), 0);
    EXPECT_EQ(db.ReadName(2), "");
    EXPECT_EQ(db.Open(1), 1);  // kept open

    // A record whose name runs past the end of the file has no name.
    std::vector<uint8_t> bytes = writers::BuildPoiBaseFile({p});
    bytes[34] = 200;
    Put(dir, "nvr.sdb", bytes);
    ASSERT_EQ(db.Open(0), 1);
    EXPECT_EQ(db.ReadName(0), "");
    EXPECT_EQ(db.ReadRecord(0, rec), 1);

    NcSearchDB missing;
    EXPECT_EQ(missing.SetFolder(dir.Path() + "/none/"), 0);
    EXPECT_EQ(missing.ReadRecord(0, rec), 0);
    EXPECT_EQ(missing.ReadName(0), "");
}

TEST(CateTree, FileBytesByHand) {
    // Level 1 is filled to 15 records and level 2 to 97: 112 records.
    const auto file = writers::BuildCateFile({{1, 5, "음식점"}, {31, 2, "한식"}});
    const uint32_t n = 112;
    ASSERT_GE(file.size(), (n + 1) * 9);
    EXPECT_EQ(file[0], n);
    // Record 1 at 9: index 1, count 5, length 6, name at (n + 1) * 9.
    const std::vector<uint8_t> rec1 = {1, 0, 5, 0, 6, 0xF9, 0x03, 0, 0};  // 113 * 9 = 1017
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 9, file.begin() + 18), rec1);
    // Record 16 (first of level 2) is index 31.
    EXPECT_EQ(file[16 * 9], 31);
    EXPECT_EQ(std::string(file.begin() + (n + 1) * 9, file.begin() + (n + 1) * 9 + 6), Cp("음식점"));
}

class CateTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<writers::SearchCate> cates;
        for (uint16_t g = 1; g <= 15; ++g) cates.push_back({g, g, "분류" + std::to_string(g)});
        for (uint16_t h = 1; h <= 29; ++h) cates.push_back({static_cast<uint16_t>(30 + h), h, "하위" + std::to_string(h)});
        cates.push_back({61, 1, "주유소"});
        cates.push_back({92 * 30 + 5, 3, "아주 긴 이름을 가진 세번째분류"});
        Put(dir, "cate.sdb", writers::BuildCateFile(cates));
        ASSERT_EQ(tree.InitCate(dir.Path() + "/"), 1);
    }
    testsupport::TempDir dir;
    NcSearchCate tree;
};

TEST_F(CateTreeTest, ListsChildrenAndNames) {
    ASSERT_EQ(tree.ListCategories(1, 0), 15);
    EXPECT_EQ(tree.Row(0).nIndex, 1u);
    EXPECT_EQ(tree.Row(14).nIndex, 15u);
    // The filled level-2 records lie beyond every parent's children.
    EXPECT_EQ(tree.ListCategories(2, 15), 0);
    // The level-2 children of 1 are 31..59: all 29 rows the list holds.
    ASSERT_EQ(tree.ListCategories(2, 1), 29);
    EXPECT_EQ(tree.Row(0).nIndex, 31u);
    EXPECT_EQ(tree.Row(28).nIndex, 59u);
    EXPECT_EQ(std::string(tree.Row(28).szName), Cp("하위29"));
    EXPECT_EQ(tree.Row(28).wCount, 29);
    ASSERT_EQ(tree.ListCategories(2, 2), 1);
    EXPECT_EQ(tree.Row(0).nIndex, 61u);
    ASSERT_EQ(tree.ListCategories(3, 92), 1);
    // 27 bytes at most, cut on a character.
    EXPECT_EQ(std::string(tree.Row(0).szName), Cp("아주 긴 이름을 가진 세번째"));

    std::string name;
    EXPECT_EQ(tree.GetCateName(61, name), 1);
    EXPECT_EQ(name, Cp("주유소"));
    EXPECT_EQ(tree.GetCateName(62, name), 0);
    EXPECT_EQ(name, "");
    EXPECT_EQ(NcSearchCate::LevelOfIndex(930), 2);
    EXPECT_EQ(NcSearchCate::LevelOfIndex(931), 3);
    EXPECT_EQ(NcSearchCate::LevelOfIndex(0), 0);
    EXPECT_EQ(NcSearchCate::ParentIndex(61), 2u);
}

TEST_F(CateTreeTest, MissingOrShortFileFindsNothing) {
    NcSearchCate missing;
    EXPECT_EQ(missing.InitCate(dir.Path() + "/none/"), 0);
    EXPECT_EQ(missing.ListCategories(1, 0), 0);
    std::string name;
    EXPECT_EQ(missing.GetCateName(1, name), 0);
    // A count larger than the file holds is cut to the records present.
    const std::string whole = dir.Read("cate.sdb");
    std::vector<uint8_t> bytes(whole.begin(), whole.begin() + 20 * 9);
    bytes[0] = 0xFF;
    bytes[1] = 0xFF;
    Put(dir, "cate.sdb", bytes);
    ASSERT_EQ(tree.ReopenCate(), 1);
    EXPECT_EQ(tree.RecordCount(), 19u);
    EXPECT_EQ(tree.ListCategories(1, 0), 15);
}

}  // namespace
