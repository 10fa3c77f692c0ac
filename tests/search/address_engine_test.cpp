// The lot-number and road-name address engines and their text indexes:
// file bytes by hand, area texts, area lists, lot look-ups, damaged and
// missing files.
#include <gtest/gtest.h>

#include <zlib.h>

#include "platform/codepage.h"
#include "search/search_addr.h"
#include "support/temp_dir.h"
#include "tools/writers/search_db_writer.h"

namespace {

using writers::SearchArea;
using writers::SearchLot;

std::string Cp(const std::string& utf8) {
    std::string out;
    platform::Utf16ToCp949(platform::Utf8ToUtf16(utf8), out);
    return out;
}
std::string Utf8(const std::string& cp949) {
    std::u16string u;
    platform::Cp949ToUtf16(cp949, u);
    return platform::Utf16ToUtf8(u);
}

MapPoint Deg(double lon, double lat) {
    return {static_cast<int32_t>(lon * kMapUnitsPerDegree), static_cast<int32_t>(lat * kMapUnitsPerDegree)};
}

// The area codes of an engine's rows, in order.
template <typename Engine>
std::vector<uint32_t> CodesOf(const Engine& engine) {
    std::vector<uint32_t> out;
    for (int i = 0; i < engine.RowCount(); ++i) out.push_back(engine.AreaRow(i).uAreaCode);
    return out;
}

void PutAll(const testsupport::TempDir& dir, const writers::AddrDbFiles& f, bool roadName) {
    auto put = [&](const std::string& name, const std::vector<uint8_t>& b) { dir.Write(name, std::string(b.begin(), b.end())); };
    put(roadName ? "newaddr.sdb" : "nlad.sdb", f.areaFile);
    put(roadName ? "newaddr_ncjidx.sdb" : "ncjidx.sdb", f.blockIndex);
    put(roadName ? "newaddr_chidx.sdb" : "addrchidx.sdb", f.textIndex);
    for (const auto& [name, bytes] : f.lotFiles) put(name, bytes);
}

TEST(AddressWriter, RecordBytesByHand) {
    const std::vector<uint8_t> lot = {0x59, 0x92, 0x01, 0x00, 7, 0, 18, 0, 4, 3, 2, 1, 1, 0, 2, 0, 3,
                                      0, 4, 0, 1, 0, 0x0C, 0x0B, 0x0A, 3, 2, 1, 0x33, 0x22, 0x11, 0x66, 0x55, 0x44};
    EXPECT_EQ(writers::EncodeAddrAreaRecord(103001, 18, 7, 0x01020304, 1, 2, 3, 4, 1, 0x0A0B0C, 0x010203, 0x112233,
                                            0x445566, false),
              lot);
    const std::vector<uint8_t> road = {0x63, 0x2A, 0x9D, 0x00, 18, 0, 0, 0, 7, 0, 0, 0, 4, 3, 2, 1, 1, 0, 2,
                                       0, 3, 0, 4, 0, 1, 0, 0x0C, 0x0B, 0x0A, 3, 2, 1, 0x33, 0x22, 0x11, 0x66, 0x55, 0x44};
    EXPECT_EQ(writers::EncodeAddrAreaRecord(10300003, 18, 7, 0x01020304, 1, 2, 3, 4, 1, 0x0A0B0C, 0x010203, 0x112233,
                                            0x445566, true),
              road);
    // Mountain lot 12-3, five steps east and seven north of the base.
    SearchLot l{103001, true, 12, 3, {static_cast<int32_t>(0x3D80000 + 100 + 5 * 32), static_cast<int32_t>(0xF00000 + 200 + 7 * 32)}};
    EXPECT_EQ(writers::EncodeLotRecord(l, 100, 200), (std::vector<uint8_t>{0x0C, 0x40, 3, 0, 0x07, 0x50, 0x00}));
}

TEST(AddressWriter, FileLayoutByHand) {
    // Province 10, dong 103001 (level 3) with two lots, district 1030.
    const std::vector<SearchArea> areas = {{103001, "한빛_동", {0x3D80000 + 1, 0xF00000 + 2}}, {10, "서울", {}}, {1030, "한빛구", {}}};
    const std::vector<SearchLot> lots = {{103001, false, 5, 0, {0x3D80000 + 64, 0xF00000}}, {103001, false, 2, 1, {0x3D80000, 0xF00000}}};
    const auto files = writers::BuildAddrDb(areas, lots, false);
    const auto& a = files.areaFile;
    // Header: 3 records; levels start at 1, 2, 3, 4 (none), 4; not split.
    const std::vector<uint8_t> head = {3, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 4, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(a.begin(), a.begin() + 25), head);
    // Record 3 (the dong) at 102: code, count 2, name after 4 * 34 + "서울" + "한빛구".
    EXPECT_EQ(a[102], 0x59);
    EXPECT_EQ(a[102 + 6], 2);
    EXPECT_EQ(a[102 + 8], 136 + 4 + 6);
    EXPECT_EQ(a[102 + 18], 1);  // last index
    EXPECT_EQ(a[102 + 20], 1);  // lot flag
    EXPECT_EQ(a[102 + 28], 1);  // x
    EXPECT_EQ(std::string(a.begin() + 146, a.end()), Cp("한빛_동"));
    // One block of two records, sorted by key: 2-1 then 5.
    ASSERT_EQ(files.blockIndex.size(), 8u);
    const auto& lotFile = files.lotFiles.at("ncj.sdb");
    EXPECT_EQ(files.blockIndex[0], 0);
    EXPECT_EQ(files.blockIndex[4], lotFile.size());
    std::vector<uint8_t> raw(14);
    uLongf n = raw.size();
    ASSERT_EQ(uncompress(raw.data(), &n, lotFile.data(), lotFile.size()), Z_OK);
    EXPECT_EQ(raw, (std::vector<uint8_t>{2, 0, 1, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0x20, 0}));
    // Text index: the dong only, in bucket 18 * 19 + 7 (ㅎ, ㅂ).
    const auto& t = files.textIndex;
    ASSERT_EQ(t.size(), 1448u + 20);
    const size_t k = (18 * 19 + 7) * 4;
    EXPECT_EQ(t[k] | t[k + 1] << 8, 1448);
    EXPECT_EQ(t[361 * 4] | t[361 * 4 + 1] << 8, 1468);
    EXPECT_EQ(t[1448], 0x59);
    EXPECT_EQ(std::string(t.begin() + 1452, t.begin() + 1460), Cp("한빛_동") + '\0');
}

// Province 17 with three districts of the city 1791 and a county with li;
// province 11 with one dong.
class AddressEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        areas = {{17, "경기도", Deg(127, 37.3)},
                 {11, "부산광역시", Deg(129, 35.1)},
                 {1702, "고양시 덕양구", Deg(126.8, 37.6)},
                 {1703, "고양시 일산동구", Deg(126.7, 37.6)},
                 {1704, "고양시 일산서구", Deg(126.75, 37.6)},
                 {1710, "가평군", Deg(127.5, 37.8)},
                 {1101, "중구", Deg(129, 35.1)},
                 {170201, "주교동", Deg(126.83, 37.66)},
                 {170202, "성사동", Deg(126.84, 37.66)},
                 {170301, "백석동", Deg(126.79, 37.64)},
                 {171001, "가평읍", Deg(127.51, 37.83)},
                 {110101, "중앙동", Deg(129.03, 35.1)},
                 {17100101, "읍내리", Deg(127.51, 37.83)},
                 {17100102, "대곡리", Deg(127.52, 37.84)}};
        lots = {{170201, false, 1, 0, Deg(126.83, 37.66)},  {170201, false, 3, 0, Deg(126.831, 37.66)},
                {170201, false, 5, 1, Deg(126.832, 37.66)}, {170201, false, 7, 0, Deg(126.833, 37.66)},
                {170201, true, 2, 0, Deg(126.84, 37.67)},   {170201, true, 4, 0, Deg(126.841, 37.67)},
                {170202, false, 10, 0, Deg(126.84, 37.66)}, {170202, false, 20, 0, Deg(126.85, 37.66)}};
        Write();
    }
    void Write(int lotsPerBlock = 1140, bool split = false) {
        PutAll(dir, writers::BuildAddrDb(areas, lots, false, split, lotsPerBlock), false);
        engine.SetFolders(dir.Path() + "/", dir.Path() + "/");
        engine.AllocBlockBuffers();
        ASSERT_EQ(engine.Reopen(1), 1);
        ASSERT_EQ(engine.OpenLotFile(17 - 10), 1);
    }
    std::string Text(int64_t code, int style) {
        std::string out;
        engine.GetAreaText(code, out, style);
        return Utf8(out);
    }
    std::vector<uint32_t> Codes() { return CodesOf(engine); }
    // The lots fetched after a look-up, as "main-sub" or "산main-sub".
    std::vector<std::string> Fetch(int max) {
        int got = 0;
        std::vector<std::string> out;
        const int before = engine.LotRowCount();
        if (engine.FetchLots(max, &got) != 1) return out;
        EXPECT_EQ(engine.LotRowCount(), before + got);
        for (int i = before; i < engine.LotRowCount(); ++i) {
            const AddrLotRow& r = engine.LotRow(i);
            out.push_back((r.bMountain ? "산" : "") + std::to_string(r.nMainNo) + "-" + std::to_string(r.nSubNo));
        }
        return out;
    }
    testsupport::TempDir dir;
    std::vector<SearchArea> areas;
    std::vector<SearchLot> lots;
    NcSearchAddr engine;
};

TEST_F(AddressEngineTest, AreaTextStyles) {
    struct Case {
        int64_t code;
        int style;
        const char* text;
        int levels;
    };
    const Case cases[] = {
        {11, 1, "부산광역시", 1},
        {1702, 0, "경기도>고양시 덕양구", 2},
        {1791, 0, "경기도>고양시", 2},
        {170201, 0, "경기도>고양시 덕양구>주교동", 3},
        {170201, 1, "경기도 고양시 덕양구 주교동", 3},
        {170201, 2, "경기도 고양시 덕양구 주교동", 3},
        {170201, 3, "경기도", 3},
        {170201, 4, "고양시 덕양구", 3},
        {170201, 5, "주교동", 3},
        {170201, 6, "", 3},
        {170201, 7, "덕양구 주교동", 3},
        {17100101, 0, "경기도>가평군>가평읍>읍내리", 4},
        {17100101, 6, "읍내리", 4},
        // A level without a record adds nothing (no neighbour's name).
        {170299, 0, "경기도>고양시 덕양구", 3},
        {0, 0, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.code) + " style " + std::to_string(c.style));
        std::string out = "x";
        EXPECT_EQ(engine.GetAreaText(c.code, out, c.style), c.levels);
        EXPECT_EQ(Utf8(out), c.text);
        // Asked again: from the cache, the same.
        EXPECT_EQ(engine.GetAreaText(c.code, out, c.style), c.levels);
        EXPECT_EQ(Utf8(out), c.text);
    }
    // A text longer than 39 bytes is cut on a character.
    areas.push_back({170203, "A아주아주긴이름의동네", {}});
    Write();
    const std::string t = Text(170203, 1);
    EXPECT_EQ(t, "경기도 고양시 덕양구 A아주아주긴이름의");  // 39 bytes would split "동"
}

TEST_F(AddressEngineTest, OpeningAFileForgetsCachedTexts) {
    EXPECT_EQ(Text(170201, 5), "주교동");
    areas[7].nameUtf8 = "새이름동";
    Write();
    EXPECT_EQ(Text(170201, 5), "새이름동");
}

TEST_F(AddressEngineTest, AreaRecordsOfExactCodesOnly) {
    AddrAreaRow row;
    int levels = 0;
    ASSERT_EQ(engine.GetAreaRecord(170202, row, &levels), 1);
    EXPECT_EQ(levels, 3);
    EXPECT_EQ(Utf8(row.szName), "성사동");
    EXPECT_EQ(row.wCount, 2);
    EXPECT_EQ(row.wLotFlag, 1);
    EXPECT_EQ(engine.GetAreaRecord(170203, row), 0);  // between two records
    EXPECT_EQ(row.uAreaCode, 0u);
    EXPECT_EQ(engine.FindLot(0, 10000, 170203), 0);
}

TEST_F(AddressEngineTest, AreaLists) {
    struct Case {
        int64_t code;
        int level;
        std::vector<uint32_t> codes;
    };
    const Case cases[] = {
        {0, 1, {11, 17}},                            // by code
        // By name bytes; the seven cities of province 17 join the districts.
        {17, 2, {1710, 1791, 1702, 1703, 1704, 1792, 1793, 1794, 1795, 1796, 1797}},
        {1702, 2, {1710, 1791, 1702, 1703, 1704, 1792, 1793, 1794, 1795, 1796, 1797}},  // siblings
        {1791, 3, {170301, 170202, 170201}},         // the city's districts together
        {1702, 3, {170202, 170201}},
        {171001, 4, {17100102, 17100101}},
        {11, 5, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.code) + " level " + std::to_string(c.level));
        EXPECT_EQ(engine.ListAreas(c.code, c.level), static_cast<int>(c.codes.size()));
        EXPECT_EQ(Codes(), c.codes);
    }
    engine.ListAreas(17, 2);
    EXPECT_EQ(Utf8(engine.AreaRow(1).szName), "고양시");
    EXPECT_EQ(engine.AreaRow(1).wCount, 1);
    int n = 0;
    const AddrAreaRow* rows = nullptr;
    EXPECT_EQ(engine.GetRows(3, 10, &n, &rows), 8);
    EXPECT_EQ(rows[0].uAreaCode, 1703u);
    EXPECT_EQ(engine.GetRows(11, 1, &n, &rows), 0);
    EXPECT_EQ(engine.GetRows(12, 1, &n, &rows), 0);
}

TEST_F(AddressEngineTest, ListsStopAtTheRowArea) {
    // The five districts of 2491 with 99 dongs each: 495 dongs, 230 listed.
    for (uint32_t d = 2413; d <= 2417; ++d) {
        areas.push_back({d, "창원구", {}});
        for (uint32_t n = 1; n <= 99; ++n) areas.push_back({d * 100 + n, "동" + std::to_string(n), {}});
    }
    Write();
    EXPECT_EQ(engine.ListAreas(2491, 3), kAddrAreaRowCapacity);
    for (uint32_t code : Codes()) EXPECT_EQ(code / 10000, 24u);
}

TEST_F(AddressEngineTest, LotLookups) {
    struct Case {
        int mountain;
        int main, sub;
        int64_t area;
        std::vector<std::string> fetched;
    };
    const Case cases[] = {
        {0, 3, 0, 170201, {"3-0", "5-1", "7-0", "산2-0", "산4-0"}},
        {0, 4, 0, 170201, {"3-0", "5-1", "7-0", "산2-0", "산4-0"}},  // the nearest lower lot
        {0, 0, 0, 170201, {"1-0", "3-0", "5-1", "7-0", "산2-0", "산4-0"}},  // key 0: the first
        {0, 9999, 0, 170201, {"7-0", "산2-0", "산4-0"}},
        {1, 3, 0, 170201, {"산2-0", "산4-0"}},  // mountain 3: key (3 + 16384) * 10000
        {1, 4, 0, 170201, {"산4-0"}},
        {0, 5, 0, 170202, {"10-0", "20-0"}},  // below every lot: the first
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.mountain) + " " + std::to_string(c.main) + " in " + std::to_string(c.area));
        engine.ResetLotState();
        ASSERT_EQ(engine.FindLot(c.mountain, c.main * 10000 + c.sub, c.area), 1);
        EXPECT_EQ(Fetch(200), c.fetched);
    }
    // Position of 5-1: the stored steps above the area's base.
    engine.ResetLotState();
    ASSERT_EQ(engine.FindLot(0, 50001, 170201), 1);
    const MapPoint want = writers::StoredLotPosition(
        {static_cast<int32_t>(Deg(126.83, 37.66).x), static_cast<int32_t>(Deg(126.83, 37.66).y)}, Deg(126.832, 37.66));
    EXPECT_EQ(engine.FoundX() + kAddrOriginX, static_cast<uint32_t>(want.x));
    EXPECT_EQ(engine.FoundY() + kAddrOriginY, static_cast<uint32_t>(want.y));
    EXPECT_EQ(engine.FoundKey(), 50001);
    ASSERT_EQ(Fetch(1), (std::vector<std::string>{"5-1"}));
    EXPECT_EQ(engine.LotRow(0).ptX, static_cast<uint32_t>(want.x));
    EXPECT_EQ(std::u16string(engine.LotRow(0).szAreaName), u"주교동");
    EXPECT_EQ(Fetch(2), (std::vector<std::string>{"7-0", "산2-0"}));
    // An area without lots, a district, finds nothing.
    EXPECT_EQ(engine.FindLot(0, 10000, 1702), 0);
}

TEST_F(AddressEngineTest, LotsAcrossBlocks) {
    // Blocks of four, areas in code order: 110101 (10..90) fills blocks 0
    // and 1 and starts block 2; 170201 takes the rest of block 2 and the
    // start of block 3; 170202 (10, 20) ends block 3 and makes block 4.
    for (int i = 1; i <= 9; ++i) lots.push_back({110101, false, static_cast<uint16_t>(i * 10), 0, Deg(129.03, 35.1)});
    Write(4);
    // 170202 begins at index 3 of block 3: a key below its lots finds its
    // own first lot, not one of 170201 before it in the block.
    ASSERT_EQ(engine.FindLot(0, 10000, 170202), 1);
    EXPECT_EQ(Fetch(200), (std::vector<std::string>{"10-0", "20-0"}));
    // 6 lies between 5-1, the last lot of block 2, and 7, the first of
    // block 3: the nearest lower lot is 5-1.
    engine.ResetLotState();
    ASSERT_EQ(engine.FindLot(0, 60000, 170201), 1);
    EXPECT_EQ(Fetch(200), (std::vector<std::string>{"5-1", "7-0", "산2-0", "산4-0"}));
    // 110101: a key between 40 and 50 finds 40.
    engine.ResetLotState();
    ASSERT_EQ(engine.FindLot(0, 450000, 110101), 1);
    // A fetch crosses at most one block boundary.
    EXPECT_EQ(Fetch(200), (std::vector<std::string>{"40-0", "50-0", "60-0", "70-0", "80-0"}));
    EXPECT_EQ(Fetch(200), (std::vector<std::string>{"90-0"}));
    int got = 7;
    EXPECT_EQ(engine.FetchLots(200, &got), -1);
    EXPECT_EQ(got, 0);
    // A key above every lot in a short last block finds the last lot.
    engine.ResetLotState();
    ASSERT_EQ(engine.FindLot(0, 990000, 110101), 1);
    EXPECT_EQ(Fetch(200), (std::vector<std::string>{"90-0"}));
}

TEST_F(AddressEngineTest, FetchesStopAtTheLotRowArea) {
    lots.clear();
    for (int i = 1; i <= 450; ++i) lots.push_back({170201, false, static_cast<uint16_t>(i), 0, Deg(126.83, 37.66)});
    Write();
    ASSERT_EQ(engine.FindLot(0, 0, 170201), 1);
    EXPECT_EQ(Fetch(500).size(), 200u);  // one fetch makes at most 200
    int got = 0;
    // The row area is full: the next fetch makes nothing.
    EXPECT_EQ(engine.FetchLots(200, &got), -1);
    EXPECT_EQ(engine.LotRowCount(), 200);
}

TEST_F(AddressEngineTest, SplitFilesByProvince) {
    Write(1140, true);
    EXPECT_TRUE(engine.IsSplit());
    ASSERT_EQ(engine.FindLot(0, 70000, 170201), 1);
    EXPECT_EQ(Fetch(1), (std::vector<std::string>{"7-0"}));
    EXPECT_EQ(engine.OpenLotFile(0), 0);  // no "ncj서울.sdb"
    EXPECT_EQ(engine.FindLot(0, 70000, 170201), 0);
    EXPECT_EQ(engine.OpenLotFile(99), 0);
}

TEST_F(AddressEngineTest, DamagedBlocksAreRefused) {
    std::string index = dir.Read("ncjidx.sdb");
    // A packed length beyond the 7980-byte buffer.
    std::string bad = index;
    bad[4] = static_cast<char>(0x40);
    bad[5] = static_cast<char>(0x1F);  // 8000
    dir.Write("ncjidx.sdb", bad);
    ASSERT_EQ(engine.OpenLotFile(7), 1);
    EXPECT_EQ(engine.FindLot(0, 30000, 170201), -1);
    // A block that inflates to more than 7980 bytes.
    std::vector<uint8_t> raw(8000, 1), packed(compressBound(8000));
    uLongf n = packed.size();
    ASSERT_EQ(compress(packed.data(), &n, raw.data(), raw.size()), Z_OK);
    dir.Write("ncj.sdb", std::string(packed.begin(), packed.begin() + static_cast<long>(n)));
    bad = index;
    bad[4] = static_cast<char>(n & 0xFF);
    bad[5] = static_cast<char>(n >> 8);
    dir.Write("ncjidx.sdb", bad);
    ASSERT_EQ(engine.OpenLotFile(7), 1);
    EXPECT_EQ(engine.FindLot(0, 30000, 170201), -1);
    // Bytes that are no zlib stream.
    dir.Write("ncj.sdb", std::string(100, 'x'));
    dir.Write("ncjidx.sdb", index);
    ASSERT_EQ(engine.OpenLotFile(7), 1);
    EXPECT_EQ(engine.FindLot(0, 30000, 170201), -1);
    int got = 0;
    EXPECT_EQ(engine.FetchLots(10, &got), -1);
}

TEST(AddressEngine, MissingFilesFindNothing) {
    testsupport::TempDir dir;
    NcSearchAddr engine;
    engine.SetFolders(dir.Path() + "/", dir.Path() + "/");
    engine.AllocBlockBuffers();
    EXPECT_EQ(engine.Reopen(1), 0);
    std::string text = "x";
    EXPECT_EQ(engine.GetAreaText(11, text, 0), 0);
    EXPECT_EQ(text, "");
    EXPECT_EQ(engine.ListAreas(0, 1), 0);
    EXPECT_EQ(engine.SearchAreaByText(Cp("가나"), 0), 0);
    EXPECT_EQ(engine.OpenLotFile(0), 0);
    EXPECT_EQ(engine.FindLot(0, 10000, 11), 0);
    // A file shorter than its header is refused too.
    dir.Write("nlad.sdb", std::string(10, '\0'));
    EXPECT_EQ(engine.Reopen(1), 0);
    // A count beyond the records present is cut to them.
    std::vector<uint8_t> bytes = writers::BuildAddrDb({{11, "부산", {}}, {1101, "중구", {}}}, {}, false).areaFile;
    bytes[0] = 0xFF;
    bytes[1] = 0xFF;
    dir.Write("nlad.sdb", std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(engine.Reopen(1), 1);
    EXPECT_EQ(engine.RecordCount(), 2u);
    EXPECT_EQ(engine.ListAreas(11, 2), 1);
}

class TextIndexTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* const names[] = {"가나동", "가남동", "고나동", "가다동", "가나리", "나가동", "한빛동", "A1동"};
        uint32_t code = 170201;
        for (const char* n : names) entries.push_back({code++, Cp(n)});
        entries.push_back({170301, Cp("가나동")});
        entries.push_back({110101, Cp("가나동")});
        const auto bytes = writers::BuildAddrTextIndex(entries, 16);
        dir.Write("addrchidx.sdb", std::string(bytes.begin(), bytes.end()));
        ASSERT_EQ(index.OpenIndex(dir.Path() + "/"), 1);
    }
    std::vector<std::string> Hits(const std::string& keyword, uint32_t area = 0) {
        std::vector<std::string> out;
        if (!index.Search(Cp(keyword), area)) return {"refused"};
        std::vector<AddrTextHitEntry> hits(200);
        int n = 0;
        if (index.GetHitCount() && index.FetchHits(0, 200, hits.data(), &n))
            for (int i = 0; i < n; ++i) out.push_back(Utf8(hits[static_cast<size_t>(i)].name) + "@" + std::to_string(hits[static_cast<size_t>(i)].uAreaCode));
        return out;
    }
    testsupport::TempDir dir;
    std::vector<std::pair<uint32_t, std::string>> entries;
    NcSearchAddrText index;
};

TEST_F(TextIndexTest, KeywordKinds) {
    using V = std::vector<std::string>;
    // In file order: by name bytes, then code.
    EXPECT_EQ(Hits("ㄱㄴ"), (V{"가나동@110101", "가나동@170201", "가나동@170301", "가나리@170205", "가남동@170202", "고나동@170203"}));
    EXPECT_EQ(index.KeywordBucket(), 2);
    // One syllable typed exactly, one consonant.
    EXPECT_EQ(Hits("가ㄴ"), (V{"가나동@110101", "가나동@170201", "가나동@170301", "가나리@170205", "가남동@170202"}));
    EXPECT_EQ(Hits("가나"), (V{"가나동@110101", "가나동@170201", "가나동@170301", "가나리@170205"}));
    EXPECT_EQ(Hits("가나리"), (V{"가나리@170205"}));
    EXPECT_EQ(Hits("A1"), (V{"A1동@170208"}));
    EXPECT_EQ(Hits("가"), (V{"refused"}));      // one character
    EXPECT_EQ(Hits("!!"), (V{"refused"}));     // class of the last character: other
    EXPECT_EQ(Hits("가 "), V{});
    EXPECT_EQ(Hits("하하"), (V{"refused"}));    // empty bucket
    EXPECT_EQ(Hits("ㅎㅂ"), (V{"한빛동@170207"}));
}

TEST_F(TextIndexTest, AreaFilterAndLongKeywords) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Hits("가나동", 1703), (V{"가나동@170301"}));
    // A city code stands for its districts.
    EXPECT_EQ(Hits("가나동", 1791), (V{"가나동@170201", "가나동@170301"}));
    EXPECT_EQ(Hits("ㄱㄴ", 1702), (V{"가나동@170201", "가나리@170205", "가남동@170202", "고나동@170203"}));
    EXPECT_EQ(Hits("가나동", 11), (V{"가나동@110101"}));
    EXPECT_EQ(Hits("가나동", 170201), (V{"가나동@170201"}));
    // Longer than the 16-byte name field: nothing, whatever the name holds.
    EXPECT_EQ(Hits("가나동가나동가나동"), V{});
    // Longer than the 63-byte keyword buffer: cut, and still nothing.
    EXPECT_EQ(Hits("가나" + std::string(100, 'x')), V{});
    std::string many;
    for (int i = 0; i < 40; ++i) many += "가";
    EXPECT_EQ(Hits(many), V{});
    NcSearchAddrText missing;
    EXPECT_EQ(missing.OpenIndex(dir.Path() + "/none/"), 0);
    EXPECT_EQ(missing.Search(Cp("가나"), 0), 0);
}

TEST_F(TextIndexTest, TwoHundredHitsEndTheScan) {
    entries.clear();
    for (uint32_t i = 0; i < 250; ++i) entries.push_back({17020100 + i, Cp("가나리")});
    const auto bytes = writers::BuildAddrTextIndex(entries, 16);
    dir.Write("addrchidx.sdb", std::string(bytes.begin(), bytes.end()));
    ASSERT_EQ(index.OpenIndex(dir.Path() + "/"), 1);
    ASSERT_EQ(index.Search(Cp("ㄱㄴ"), 0), 1);
    EXPECT_EQ(index.GetHitCount(), kTextIndexMaxHits);
    std::vector<AddrTextHitEntry> hits(10);
    int n = 0;
    ASSERT_EQ(index.FetchHits(195, 10, hits.data(), &n), 1);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(hits[4].uAreaCode, 17020100u + 199);  // file order
    EXPECT_EQ(index.FetchHits(201, 1, hits.data(), &n), 0);
    EXPECT_EQ(index.FetchHits(0, 0, hits.data(), &n), 0);
}

TEST_F(AddressEngineTest, DongLiTextSearch) {
    ASSERT_EQ(engine.SearchAreaByText(Cp("ㅈㄱ"), 0), 1);
    EXPECT_EQ(Utf8(engine.AreaRow(0).szName), "경기도>고양시 덕양구>주교동");
    EXPECT_EQ(engine.AreaRow(0).uAreaCode, 170201u);
    EXPECT_EQ(engine.AreaRow(0).wCount, 6);
    ASSERT_EQ(engine.SearchAreaByText(Cp("읍내"), 17), 1);
    EXPECT_EQ(Utf8(engine.AreaRow(0).szName), "경기도>가평군>가평읍>읍내리");
    EXPECT_EQ(engine.SearchAreaByText(Cp("읍내"), 11), 0);
}

// The road-name engine: eight-digit road codes under four-digit districts.
class RoadEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        areas = {{17, "경기도", {}}, {1702, "고양시 덕양구", {}}, {1710, "가평군", {}},
                 {17020001, "중앙로", Deg(126.8, 37.6)}, {17020002, "고양대로", {}}, {17100001, "가평로", {}}};
        buildings = {{17020001, false, 12, 0, Deg(126.8, 37.6)}, {17020001, false, 14, 2, Deg(126.801, 37.6)}};
        Write();
    }
    void Write() {
        PutAll(dir, writers::BuildAddrDb(areas, buildings, true), true);
        engine.SetFolders(dir.Path() + "/", dir.Path() + "/");
        engine.AllocBlockBuffers();
        ASSERT_EQ(engine.Reopen(1), 1);
        ASSERT_EQ(engine.OpenLotFile(7), 1);
    }
    std::vector<uint32_t> Codes() { return CodesOf(engine); }
    testsupport::TempDir dir;
    std::vector<SearchArea> areas;
    std::vector<SearchLot> buildings;
    NcSearchNAddr engine;
};

TEST_F(RoadEngineTest, ListsTextsAndNumbers) {
    EXPECT_EQ(NcSearchNAddr::CodeGroups(17020001), 3);
    EXPECT_EQ(NcSearchNAddr::CodeGroups(1702), 2);
    std::string text;
    EXPECT_EQ(engine.GetAreaText(17020001, text, 0), 3);
    EXPECT_EQ(Utf8(text), "경기도>고양시 덕양구>중앙로");
    EXPECT_EQ(engine.ListAreas(1702, 3), 2);
    EXPECT_EQ(Codes(), (std::vector<uint32_t>{17020002, 17020001}));  // 고양대로, 중앙로
    EXPECT_EQ(engine.ListAreas(17020001, 3), 2);                        // siblings
    // A province list under a road code gains the cities of its province.
    EXPECT_EQ(engine.ListAreas(17020001, 2), 9);
    EXPECT_EQ(Codes(), (std::vector<uint32_t>{1710, 1791, 1702, 1792, 1793, 1794, 1795, 1796, 1797}));
    EXPECT_EQ(engine.AreaRow(1).nCount, 1u);
    // A level-1 list under a road code lists the provinces.
    EXPECT_EQ(engine.ListAreas(17020001, 1), 1);
    EXPECT_EQ(engine.SearchAreaByText(Cp("중앙"), 0), 1);
    EXPECT_EQ(engine.AreaRow(0).uAreaCode, 17020001u);
    EXPECT_EQ(engine.AreaRow(0).nCount, 2u);
    ASSERT_EQ(engine.FindLot(0, 130000, 17020001), 1);
    int got = 0;
    ASSERT_EQ(engine.FetchLots(10, &got), 1);
    ASSERT_EQ(got, 2);
    EXPECT_EQ(engine.LotRow(0).nMainNo, 12u);
    EXPECT_EQ(engine.LotRow(1).nSubNo, 2u);
    EXPECT_EQ(std::u16string(engine.LotRow(1).szAreaName), u"중앙로");
}

TEST_F(RoadEngineTest, ListsStopAtTheirRowArea) {
    for (uint32_t n = 3; n <= 1005; ++n) areas.push_back({17020000 + n, "길" + std::to_string(n), {}});
    Write();
    EXPECT_EQ(engine.ListAreas(1702, 3), kNAddrAreaRowCapacity);
}

}  // namespace
