// The telephone-number search: the bytes of "sch_tel.sdb" computed by
// hand, prefix searches checked against a plain scan of the writer's
// company table (sets below the cap, the first 1000 in key order at it),
// the page states, and damaged files: an area count larger than its block,
// lists past the end, records outside the company file, numbers of more
// than eight digits.
#include "search/tel_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "support/temp_dir.h"
#include "tools/writers/search_db_writer.h"
#include "tools/writers/search_kinds_writer.h"

namespace {

std::string Bytes(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

writers::SearchPoi Corp(const char* name, uint16_t area, uint32_t number, int32_t x = 1000, int32_t y = 1000) {
    writers::SearchPoi p;
    p.nameUtf8 = name;
    p.telArea = area;
    p.telNumber = number;
    p.pos = {x, y};
    return p;
}

std::string Cp949(const std::string& utf8) {
    std::string out;
    platform::Utf16ToCp949(platform::Utf8ToUtf16(utf8), out);
    return out;
}

// The engine on a folder holding the two files.
struct TelFiles {
    testsupport::TempDir dir;
    NcSearchTelNum engine;
    TelFiles(const std::string& tel, const std::string& corp) {
        dir.Write("sch_tel.sdb", tel);
        dir.Write("sch_corp.sdb", corp);
        engine.SetFolder(dir.Path() + "/");
        int n = 0;
        EXPECT_EQ(engine.ReloadAreaTable(&n), 0);
    }
};

TEST(TelSearchTest, FileBytesByHand) {
    // Companies in name order: 가 (02) 555-0101, 나 (02) 5551-2345, 다 (031)
    // 555-0707, 라 with a six-digit number (not listed).
    const std::vector<writers::SearchPoi> corps = {Corp("나", 2, 55512345), Corp("가", 2, 5550101),
                                                   Corp("다", 31, 5550707), Corp("라", 2, 123456)};
    const std::vector<uint8_t> file = writers::BuildTelFile(corps);
    platform::ByteReader r(file);
    EXPECT_EQ(r.U32(), 2u);  // areas
    EXPECT_EQ(r.U32(), 3u);  // numbers
    r.Skip(2);
    EXPECT_EQ(r.U16(), 2u);
    EXPECT_EQ(r.U32(), 2u);
    EXPECT_EQ(r.U32(), 30u);  // 10 + 2 * 10
    EXPECT_EQ(r.U16(), 31u);
    EXPECT_EQ(r.U32(), 1u);
    EXPECT_EQ(r.U32(), 46u);
    // Seoul: 55501010 (seven digits times 10, record 0 "가"), then 55512345
    // with bit 31 (record 1 "나").
    EXPECT_EQ(r.U32(), 55501010u);
    EXPECT_EQ(r.U32(), 0u);
    EXPECT_EQ(r.U32(), 0x80000000u + 55512345u);
    EXPECT_EQ(r.U32(), 1u);
    EXPECT_EQ(r.U32(), 55507070u);
    EXPECT_EQ(r.U32(), 2u);
    EXPECT_EQ(r.Remaining(), 0u);
}

TEST(TelSearchTest, DigitRangesAndRefusals) {
    const struct {
        uint32_t digits;
        bool ok;
        uint32_t lo, hi;
    } cases[] = {
        {555, true, 55500000, 55600000},  {5, true, 50000000, 60000000},   {0, true, 0, 10000000},
        {12345678, true, 12345678, 12345679}, {99999999, true, 99999999, 100000000},
        {123456789, false, 0, 0},         {4294967295u, false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.digits);
        uint32_t lo = 1, hi = 1;
        EXPECT_EQ(TelDigitRange(c.digits, lo, hi), c.ok);
        EXPECT_EQ(lo, c.lo);
        EXPECT_EQ(hi, c.hi);
    }
    EXPECT_EQ(TelNumberOfKey(55501010u), 5550101u);
    EXPECT_EQ(TelNumberOfKey(0x80000000u + 55512345u), 55512345u);
}

// ---- the oracle: numbers as digit strings ----------------------------------

class TelOracleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        corps = new std::vector<writers::SearchPoi>(writers::GenerateNameSet(31, 20000, {1101}, {66650000, 19560000}));
        writers::AssignTelephones(*corps, 5);
        // Numbers that share long prefixes, and a run of 1200 with the same
        // first four digits (more than the cap).
        for (uint32_t i = 0; i < 1200; ++i) (*corps)[i] = Corp(("가나" + std::to_string(i)).c_str(), 70, 77770000 + i * 7);
        files = new TelFiles(Bytes(writers::BuildTelFile(*corps)), Bytes(writers::BuildPoiBaseFile(*corps)));
    }
    static void TearDownTestSuite() {
        delete files;
        delete corps;
    }
    // Oracle: every company of the area whose number's digits begin with
    // the typed ones, in key order (the number aligned left on eight
    // digits), then name order.
    static std::vector<std::pair<uint64_t, std::string>> Oracle(uint16_t area, const std::string& typed) {
        std::vector<std::pair<uint64_t, std::string>> out;
        for (const auto& c : *corps) {
            const std::string digits = std::to_string(c.telNumber);
            if (c.telArea != area || digits.size() < 7 || digits.size() > 8) continue;
            if (digits.compare(0, typed.size(), typed) != 0) continue;
            const uint64_t key = std::stoull(digits.size() == 7 ? digits + "0" : digits);
            out.push_back({key, Cp949(c.nameUtf8)});
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    static std::vector<writers::SearchPoi>* corps;
    static TelFiles* files;
};
std::vector<writers::SearchPoi>* TelOracleTest::corps = nullptr;
TelFiles* TelOracleTest::files = nullptr;

TEST_F(TelOracleTest, PrefixesEqualThePlainScan) {
    std::mt19937 rng(11);
    NcSearchTelNum& engine = files->engine;
    const MapPoint centre{66650000, 19560000};
    int capped = 0, compared = 0;
    for (int round = 0; round < 120; ++round) {
        // A prefix of a stored number (1 to 8 digits), or random digits.
        const auto& c = (*corps)[rng() % corps->size()];
        std::string typed = std::to_string(c.telNumber).substr(0, 1 + rng() % 8);
        if (round % 7 == 0) typed = std::to_string(rng() % 1000);
        if (round % 13 == 0) typed = "7777";
        const uint16_t area = round % 13 == 0 ? 70 : c.telArea;
        SCOPED_TRACE(std::to_string(area) + " " + typed);
        const auto want = Oracle(area, typed);
        const int n = engine.SearchNumber(area, static_cast<uint32_t>(std::stoul(typed)), centre);
        ASSERT_EQ(n, static_cast<int>(std::min<size_t>(want.size(), kTelResultCap)));
        EXPECT_EQ(engine.LastSearchCapped(), want.size() > kTelResultCap);
        capped += want.size() > kTelResultCap;
        std::vector<std::pair<uint64_t, std::string>> got;
        for (int start = 0; start < n;) {
            const TelResultRow* rows = nullptr;
            int made = 0;
            ASSERT_GE(engine.FetchPage(start, 300, &rows, &made), 0);
            ASSERT_GT(made, 0);
            for (int i = 0; i < made; ++i) {
                const std::string digits = std::to_string(rows[i].uTelNumber);
                got.push_back({std::stoull(digits.size() == 7 ? digits + "0" : digits), rows[i].szName});
                EXPECT_EQ(rows[i].fDistance, static_cast<float>(GetApproxDistanceXY(centre.x, centre.y, rows[i].x, rows[i].y)));
            }
            start += made;
        }
        // Keys in order; equal keys in any order.
        std::vector<std::pair<uint64_t, std::string>> expect(want.begin(), want.begin() + n);
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, expect);
        ++compared;
    }
    EXPECT_GT(capped, 0);
    EXPECT_EQ(compared, 120);
}

TEST_F(TelOracleTest, PageStatesAndTheLastRow) {
    NcSearchTelNum& engine = files->engine;
    const TelResultRow* rows = nullptr;
    int made = 0;
    ASSERT_GT(engine.SearchNumber(70, 7777, {}), 0);
    EXPECT_EQ(engine.State(), kTelStateSearched);
    const int total = engine.SearchNumber(70, 77770, {});
    ASSERT_GT(total, 1);
    EXPECT_EQ(engine.FetchPage(total - 1, 50, &rows, &made), 1);  // from the last result: one row
    EXPECT_EQ(engine.State(), kTelStateFetched);
    EXPECT_EQ(rows[0].uTelNumber, 77770000u + 7u * static_cast<uint32_t>(total - 1));
    EXPECT_EQ(engine.FetchPage(-5, 2, &rows, &made), 2);  // a negative start is the first
    EXPECT_EQ(rows[0].uTelNumber, 77770000u);
    EXPECT_EQ(engine.FetchPage(total, 5, &rows, &made), 0);
    EXPECT_EQ(engine.SearchNumber(99, 1, {}), -1);  // no such area
    EXPECT_EQ(engine.FetchPage(0, 5, &rows, &made), -1);
    EXPECT_EQ(engine.SearchNumber(70, 123456789, {}), -1);  // nine digits: refused
    EXPECT_EQ(engine.SearchNumber(70, 4294967295u, {}), -1);
    EXPECT_EQ(engine.State(), 0);
}

TEST(TelSearchTest, DamagedFilesKeepTheirGoodParts) {
    const std::vector<writers::SearchPoi> corps = {Corp("가", 2, 5550101), Corp("나", 2, 5550202)};
    std::vector<uint8_t> tel = writers::BuildTelFile(corps);
    // The area count says 100000: only the one record the file holds is read.
    {
        std::vector<uint8_t> bad = tel;
        bad[0] = 0xA0;
        bad[1] = 0x86;
        bad[2] = 0x01;
        TelFiles f(Bytes(bad), Bytes(writers::BuildPoiBaseFile(corps)));
        const TelAreaRow* rows = nullptr;
        int n = 0;
        f.engine.GetAreaTable(&rows, &n);
        ASSERT_GE(n, 1);
        EXPECT_LE(n, 3);  // the records the 46-byte file can hold
        EXPECT_EQ(rows[0].wAreaNumber, 2u);
        EXPECT_STREQ(rows[0].szName, Cp949("서울").c_str());
        EXPECT_EQ(f.engine.SearchNumber(2, 555, {}), 2);
    }
    // The list claims 1000 entries: the two in the file are found.
    {
        std::vector<uint8_t> bad = tel;
        bad[12] = 0xE8;
        bad[13] = 0x03;
        TelFiles f(Bytes(bad), Bytes(writers::BuildPoiBaseFile(corps)));
        EXPECT_EQ(f.engine.SearchNumber(2, 555, {}), 2);
    }
    // The company file lacks the second record: its row keeps the number
    // and has no name.
    {
        std::vector<uint8_t> corp = writers::BuildPoiBaseFile(corps);
        corp.resize(60);
        TelFiles f(Bytes(tel), Bytes(corp));
        ASSERT_EQ(f.engine.SearchNumber(2, 555, {}), 2);
        const TelResultRow* rows = nullptr;
        int made = 0;
        ASSERT_EQ(f.engine.FetchPage(0, 2, &rows, &made), 2);
        EXPECT_EQ(rows[1].uTelNumber, 5550202u);
        EXPECT_STREQ(rows[1].szName, "");
    }
    // An area count beyond what the work memory holds is cut to it.
    {
        platform::ByteWriter w;
        w.U32(5000);
        w.U32(0);
        w.Zeros(2);
        for (int i = 0; i < 5000; ++i) {
            w.U16(static_cast<uint16_t>(i));
            w.U32(0);
            w.U32(0);
        }
        TelFiles f(Bytes(w.Data()), "");
        const TelAreaRow* rows = nullptr;
        int n = 0;
        f.engine.GetAreaTable(&rows, &n);
        EXPECT_EQ(static_cast<uint32_t>(n), (kTelWorkBytes - kTelResultRowBytes) / kTelAreaRowBytes);
        EXPECT_GE(f.engine.PageRows(), 1u);
    }
}

TEST(TelSearchTest, MissingFilesFail) {
    testsupport::TempDir dir;
    NcSearchTelNum engine;
    EXPECT_EQ(engine.SetFolder(dir.Path() + "/"), -1);
    int n = 5;
    EXPECT_EQ(engine.ReloadAreaTable(&n), -1);
    EXPECT_EQ(n, 0);
}

}  // namespace
