// The traffic writers against bytes computed by hand from the layouts.
#include <gtest/gtest.h>

#include "tools/writers/traffic_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(TrafficWriter, TablesByHand) {
    EXPECT_EQ(writers::BuildLinkTable({{0x01020304, 1}, {0x0A0B0C0D, 0}}),
              (Bytes{2, 0, 0, 0, 0x04, 0x03, 0x02, 0x01, 0x0D, 0x0C, 0x0B, 0x0A, 1, 0}));
    EXPECT_EQ(writers::BuildImageIndex({0, 0x0102}), (Bytes{0, 0, 0, 0, 0x02, 0x01, 0, 0}));

    // One station "A": 4 + 19 header, 2 id bytes, a 23-byte record, the name.
    const Bytes table = writers::BuildStationTable({{0x0201, "A", 2, 5, {0x10, 0x20}, 31, 0x01020304}});
    ASSERT_EQ(table.size(), 4u + 19 + 2 + 23 + 1);
    EXPECT_EQ(Bytes(table.begin(), table.begin() + 4), (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(table[23], 0x01);
    EXPECT_EQ(table[24], 0x02);
    const Bytes record(table.begin() + 25, table.begin() + 48);
    EXPECT_EQ(record, (Bytes{0, 0,            // position in the id list
                             48, 0, 0, 0,     // name offset: 25 + 23
                             1, 2, 5,         // name length, kind bits, brand
                             0x10, 0, 0, 0, 0x20, 0, 0, 0,
                             31, 0,           // area code
                             0x04, 0x03, 0x02, 0x01}));
    EXPECT_EQ(table[48], 'A');
}

TEST(TrafficWriter, MessagesByHand) {
    EXPECT_EQ(writers::BuildCtt({{0x11223344, 60, 2}}), (Bytes{1, 0, 0, 0, 0, 0, 0, 0, 0x44, 0x33, 0x22, 0x11, 60, 2, 0, 0}));
    EXPECT_EQ(writers::BuildCttExt({{0x0A, 0, 0, true, 50, 3}, {0x0B, 7, 1}}),
              (Bytes{0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0,
                     0, 0x0A, 0, 0, 0, 0, 0, 0, 1, 50, 0, 0, 3, 0, 0, 0, 0,
                     7, 0x0B, 0, 0, 0, 0, 0, 1, 0}));
    // Summary value: level in the high byte, speed in the low one.
    EXPECT_EQ(writers::BuildCttSum({{1001, 20, 3}}), (Bytes{1, 0, 0, 0, 0, 0, 0, 0, 0xE9, 0x03, 0, 0, 20, 3, 0, 0}));
    EXPECT_EQ(writers::BuildRtm({{1, "\xB0", "AB", 7, 0, 0x01020304, 0x0A}}),
              (Bytes{1, 0, 0, 0, 0, 0, 0, 0, 1, 1, 2, 0, 0xB0, 'A', 'B', 7, 0, 0, 0, 4, 3, 2, 1, 0x0A, 0, 0, 0}));
    EXPECT_EQ(writers::BuildRtmExt({{0, "", "C", 9, 0x0102, 1, 2}}),
              (Bytes{0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 'C', 9, 0, 0, 0, 2, 1, 1, 0, 0, 0, 2, 0, 0, 0}));
    // "가" is B0 A1 in CP949.
    EXPECT_EQ(writers::BuildNws({writers::News(7, "가", "xy")}),
              (Bytes{1, 0, 0, 0, 0, 0, 0, 0, 7, 2, 2, 0, 0xB0, 0xA1, 'x', 'y'}));
    writers::NewsItem item = writers::News(12, "T", "ab");
    item.pBlocks = {"p"};
    item.qBlocks = {"qqq"};
    EXPECT_EQ(writers::BuildNwsExt({{1, 1, {item}, std::string("z")}}),
              (Bytes{0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,
                     1, 1, 1, 1,           // A, B, items, closing block
                     0, 0, 0, 0,           // A x 3 + 1
                     0, 0, 0, 0,           // B x 4
                     0, 1, 3, 0, 1, 1,     // spare, T, L = kind byte + 2, P, Q
                     'T', 12, 'a', 'b',
                     0, 1, 0, 0, 0, 'p', 0,  // P entry
                     1, 1, 1, 'q', 'q', 'q',  // Q entry
                     0, 1, 'z'}));
    EXPECT_EQ(writers::BuildOpi({{0x0B, 0x01020304, {{1, 1500}, {129, -1}}}}),
              (Bytes{1, 0, 0, 0, 0, 0, 0, 0, 0x0B, 0, 0, 0, 4, 3, 2, 1, 2, 1, 0xDC, 0x05, 129, 0xFF, 0xFF}));
    EXPECT_EQ(writers::BuildOpiExt({{1, 2, {}}}), (Bytes{0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0}));
}

}  // namespace
