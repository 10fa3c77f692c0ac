// Toll prices: the passed-gate file "\Toll.dat" and the pricing of a
// route's toll gates from gate fare tables drawn here.
#include "guidance/toll_price.h"

#include <gtest/gtest.h>

#include "mapdb/small_readers.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/temp_dir.h"
#include "tools/writers/small_readers_writer.h"

namespace {

using writers::EncodeTollFare;

// Gates 10, 20, 30 on one expressway; 40 a gate with no fare from 10; the
// fare from 20 to 50 goes on from 30 (the gate after 50 is priced from 30).
std::map<int, std::vector<std::array<uint8_t, 20>>> FareTables() {
    return {
        {10, {EncodeTollFare({10, 0, 0, {500, 600, 700, 800, 900, 400}}),  // own fixed fare
              EncodeTollFare({20, 0, 0, {1000, 1100, 1200, 1300, 1400, 900}}),
              EncodeTollFare({30, 0, 0, {2000, 2100, 2200, 2300, 2400, 1900}}),
              EncodeTollFare({40, writers::kTollFareNone, 0, {}})}},
        {20, {EncodeTollFare({30, 0, 0, {1500, 1600, 1700, 1800, 1900, 1400}}),
              EncodeTollFare({50, writers::kTollFareContinue, 30, {300, 300, 300, 300, 300, 300}})}},
        {30, {EncodeTollFare({20, 0, 0, {1500, 1600, 1700, 1800, 1900, 1400}}),
              EncodeTollFare({50, 0, 0, {700, 700, 700, 700, 700, 700}}),
              EncodeTollFare({60, 0, 0, {800, 800, 800, 800, 800, 800}})}},
        {40, {EncodeTollFare({20, 0, 0, {100, 100, 100, 100, 100, 100}})}},
        {50, {EncodeTollFare({30, 0, 0, {800, 800, 800, 800, 800, 800}})}},
    };
}

class TollPriceTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Write("Map/TG.ndb", "");
        ASSERT_TRUE(platform::AtomicReplaceFile(platform::ResolveUnder(dir.Path(), "Map\\TG.ndb"),
                                                writers::BuildTollGateFile(FareTables())));
        ASSERT_EQ(gates.Open(dir.Path()), 1);
        ASSERT_EQ(toll.OpenAt(dir.File("Toll.dat"), &gates), 1);
    }
    std::vector<uint8_t> FileBytes() {
        std::vector<uint8_t> b;
        platform::ReadWholeFile(dir.File("Toll.dat"), b);
        return b;
    }
    std::vector<tagTOLLGATE> Price(std::vector<std::pair<int, int>> idsAndKinds) {
        std::vector<tagTOLLGATE> g;
        for (auto [id, kind] : idsAndKinds) {
            tagTOLLGATE t;
            t.gateId = id;
            t.kind = kind;
            g.push_back(t);
        }
        EXPECT_EQ(toll.PriceRoute(static_cast<int>(g.size()), g.data()), 1);
        return g;
    }

    testsupport::TempDir dir;
    CMneTollGateMapFile gates;
    CMneCalTollPrice toll;
};

TEST_F(TollPriceTest, FileIs164BytesAndKeepsThePassedGates) {
    EXPECT_EQ(FileBytes().size(), kTollFileBytes);  // created empty
    EXPECT_EQ(toll.AddPassed(10, 111), 1);
    EXPECT_EQ(toll.AddPassed(10, 112), 0);  // the same gate on the next update
    EXPECT_EQ(toll.AddPassed(20, 222), 1);
    const std::vector<uint8_t> b = FileBytes();
    ASSERT_EQ(b.size(), kTollFileBytes);
    const TollPassedRecord r = DecodeTollFile(b.data(), b.size());
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(r.passValue[0], 111);
    EXPECT_EQ(r.gateId[0], 10);
    EXPECT_EQ(r.gateId[1], 20);
    EXPECT_EQ(b[84], 10);  // ids at 84, oldest first

    CMneCalTollPrice again;
    ASSERT_EQ(again.OpenAt(dir.File("Toll.dat"), &gates), 1);
    EXPECT_EQ(again.Passed().count, 2);
    EXPECT_EQ(toll.ClearPassed(), 1);
    EXPECT_EQ(toll.ClearPassed(), 0);
    EXPECT_EQ(DecodeTollFile(FileBytes().data(), 164).count, 0);
}

TEST_F(TollPriceTest, TwentyFirstGateKeepsTheTwoNewest) {
    for (int g = 1; g <= 20; ++g) ASSERT_EQ(toll.AddPassed(g, g * 10), 1);
    ASSERT_EQ(toll.AddPassed(21, 210), 1);
    const TollPassedRecord r = toll.Passed();
    ASSERT_EQ(r.count, 3);
    EXPECT_EQ(r.gateId[0], 19);
    EXPECT_EQ(r.gateId[1], 20);
    EXPECT_EQ(r.gateId[2], 21);
    EXPECT_EQ(r.passValue[2], 210);
    EXPECT_EQ(r.gateId[3], 0);
}

// The count is checked against the record's 20 entries; a short file
// leaves the rest 0.
TEST(TollFileTest, CountIsHeldToTheRecord) {
    TollPassedRecord r;
    r.count = 3;
    r.gateId[0] = 7;
    std::vector<uint8_t> b = EncodeTollFile(r);
    ASSERT_EQ(b.size(), 164u);
    b[0] = 25;
    EXPECT_EQ(DecodeTollFile(b.data(), b.size()).count, 20);
    b[0] = 0xFD, b[1] = b[2] = b[3] = 0xFF;  // -3
    EXPECT_EQ(DecodeTollFile(b.data(), b.size()).count, 0);
    b[0] = 1, b[1] = b[2] = b[3] = 0;
    const TollPassedRecord shortFile = DecodeTollFile(b.data(), 84);  // ids cut off
    EXPECT_EQ(shortFile.count, 1);
    EXPECT_EQ(shortFile.gateId[0], 0);
    EXPECT_EQ(DecodeTollFile(nullptr, 0).count, 0);
}

TEST_F(TollPriceTest, RoutesPricedFromTheFareTables) {
    // One stretch entered at 10 (kind 1), left at 20 (kind 2): 10's own
    // fixed fare, then the fare 10 -> 20 at the exit.
    std::vector<tagTOLLGATE> g = Price({{10, kTollGateNewStretch}, {20, kTollGateSameStretch}});
    EXPECT_EQ(g[0].price[0], 500);
    EXPECT_EQ(g[1].price[0], 1000);
    EXPECT_EQ(g[1].price[5], 900);
    // No fare between 10 and 40: every byte 0xFE.
    g = Price({{10, kTollGateNewStretch}, {40, kTollGateSameStretch}});
    EXPECT_EQ(g[1].price[0], kTollNoFare);
    // 50 is not in 10's table at all.
    g = Price({{10, kTollGateNewStretch}, {50, kTollGateSameStretch}});
    EXPECT_EQ(g[1].price[3], kTollNoFare);
    // 20 -> 50 goes on from 30: 30's fare to 60 prices the gate after 50.
    g = Price({{20, kTollGateNewStretch}, {50, kTollGateSameStretch}, {60, kTollGateSameStretch}});
    EXPECT_EQ(g[0].price[0], -1);  // 20 has no fare of its own
    EXPECT_EQ(g[1].price[0], 300);
    EXPECT_EQ(g[2].price[0], 800);
    // A kind-4 gate goes no further; the next stretch starts anew.
    g = Price({{10, kTollGateFirstOffHighway}, {20, kTollGateSameStretch}});
    EXPECT_EQ(g[0].price[0], 500);
    EXPECT_EQ(g[1].price[0], -1);
    // A gate without a table fails the pricing.
    tagTOLLGATE missing;
    missing.gateId = 99;
    missing.kind = kTollGateNewStretch;
    EXPECT_EQ(toll.PriceRoute(1, &missing), 0);
    EXPECT_EQ(toll.PriceRoute(0, &missing), 0);
}

TEST_F(TollPriceTest, RouteFromThePassedGates) {
    // The car passed 10 and is on the stretch: a route whose first gate is
    // 20 (kind 3, no entry before it) is priced from 10.
    ASSERT_EQ(toll.AddPassed(10, 1), 1);
    std::vector<tagTOLLGATE> g = Price({{20, kTollGateFirstOnHighway}});
    EXPECT_EQ(g[0].price[0], 1000);
    EXPECT_EQ(g[0].kind, kTollGateFirstOnHighway);
    // The route's first gate is the last passed one: with the continuation
    // setting the earlier passed gates price it.
    ASSERT_EQ(toll.AddPassed(20, 2), 1);
    toll.SetContinuation(true);
    g = Price({{20, kTollGateFirstOnHighway}});
    EXPECT_EQ(g[0].price[0], 1000);
    // Without it the route's gates are priced alone: 20 has no own fare.
    toll.SetContinuation(false);
    g = Price({{20, kTollGateFirstOnHighway}});
    EXPECT_EQ(g[0].price[0], -1);
    // A route of several gates not starting on the stretch drops the list.
    g = Price({{10, kTollGateNewStretch}, {20, kTollGateSameStretch}});
    EXPECT_EQ(toll.Passed().count, 0);
    EXPECT_EQ(DecodeTollFile(FileBytes().data(), 164).count, 0);
}

TEST(TollFareTest, EntriesAndTheirSearch) {
    const auto e = EncodeTollFare({7, 1, 3, {1, 2, 3, 4, 5, 65535}});
    const TollFareEntry d = DecodeTollFareEntry(e.data());
    EXPECT_EQ(d.otherGate, 7);
    EXPECT_EQ(d.kind, 1);
    EXPECT_EQ(d.continueFrom, 3);
    EXPECT_EQ(d.price[5], 65535);
    std::vector<uint8_t> table;
    for (int id : {2, 5, 9, 14}) {
        const auto r = EncodeTollFare({static_cast<uint16_t>(id), 0, 0, {static_cast<uint16_t>(id * 100)}});
        table.insert(table.end(), r.begin(), r.end());
    }
    for (int id : {2, 5, 9, 14}) {
        TollFareEntry f;
        ASSERT_TRUE(FindGateEntry(table.data(), 4, id, &f));
        EXPECT_EQ(f.price[0], id * 100);
    }
    for (int id : {0, 3, 15}) EXPECT_FALSE(FindGateEntry(table.data(), 4, id, nullptr));
    EXPECT_FALSE(FindGateEntry(table.data(), 0, 2, nullptr));
}

}  // namespace
