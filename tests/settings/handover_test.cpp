// Screen hand-over parameters: the initial slots, the resets, the traffic
// fields and the external positions another program sends (conversion,
// bytes as sent, and reading them on another thread).
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "settings/handover.h"
#include "settings/name_field.h"

namespace {

constexpr int32_t kDeg = 524288;  // map units per degree

UIExternalPosSource Source(int valid, double lon, double lat) {
    UIExternalPosSource s;
    s.nValid = valid;
    s.nUnused = -1;
    s.dLongitude = lon;
    s.dLatitude = lat;
    return s;
}

template <class T>
bool AllZero(const T& value) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
    for (size_t i = 0; i < sizeof value; ++i) {
        if (bytes[i] != 0) return false;
    }
    return true;
}

TEST(HandoverTest, SlotsStartWithTheirValues) {
    CMgrConfigUIInfo info;
    EXPECT_EQ(info.m_nSelectIndex, -1);
    EXPECT_TRUE(info.m_CoursePos == _tagUISTRUCT_COURSEPOS{});
    EXPECT_EQ(info.m_SearchRequest.nWord0, 1);
    EXPECT_EQ(info.m_SearchRequest.nWord1, 13);
    EXPECT_TRUE(AllZero(info.m_SearchRequest.abRest));
    EXPECT_EQ(std::vector<int32_t>(std::begin(info.m_nWordsA), std::end(info.m_nWordsA)),
              (std::vector<int32_t>{1, 0, 2}));
    EXPECT_EQ(std::vector<int32_t>(std::begin(info.m_nWordsB), std::end(info.m_nWordsB)),
              (std::vector<int32_t>{0, 0, 0, 1, 0, 3}));
    EXPECT_EQ(std::vector<int32_t>(std::begin(info.m_nWordsD), std::end(info.m_nWordsD)),
              (std::vector<int32_t>{0, 0, 0, -1, 0, -1, -1}));
    EXPECT_EQ(info.m_strTextA.GetLength(), 0);
    EXPECT_EQ(info.PendingSafeDestIndex, 0);
    EXPECT_EQ(info.EditFolderIndex, -1);
    EXPECT_TRUE(info.PendingCourse == _tagUISTRUCT_COURSEINFO{});
    EXPECT_TRUE(info.PendingSafeDest == _tagUISTRUCT_USERSAFEDEST{});
    EXPECT_EQ(info.GetAvoidLinkCount(), 0);
    EXPECT_EQ(info.GetAvoidLinks(), nullptr);
    EXPECT_EQ(info.GetTrafficGroupCode(), 0);
    EXPECT_EQ(info.GetTrafficListObject(), nullptr);
    EXPECT_EQ(info.GetExternalPositions(nullptr), 0);

    ASSERT_NE(CMgrConfigUIInfo::Instance(), nullptr);
    EXPECT_EQ(CMgrConfigUIInfo::Instance(), CMgrConfigUIInfo::Instance());
}

TEST(HandoverTest, ResetsRestoreTheRecords) {
    CMgrConfigUIInfo info;
    info.m_SearchRequest.nWord0 = 9;
    info.m_SearchRequest.nWord1 = 0;
    info.m_SearchRequest.abRest[143] = 7;
    info.ResetSearchRequest();
    EXPECT_EQ(info.m_SearchRequest.nWord0, 1);
    EXPECT_EQ(info.m_SearchRequest.nWord1, 13);
    EXPECT_TRUE(AllZero(info.m_SearchRequest.abRest));

    info.PendingRegDest.eCate = 2;
    info.PendingRegDest.PosInfo.wcPosition = {5, 6};
    CopyNameField(info.PendingRegDest.szMemo, _tagUISTRUCT_REGDEST::kMemoUnits, u"memo");
    info.PendingMyTheme.nThemeID = 44;
    CopyNameField(info.PendingMyTheme.PosInfo.szName, kCourseNameUnits, u"cafe");
    info.PendingSafeDest.nLimit = 60;
    info.PendingSafeDest.tTime = 12345;
    info.PendingSafeDestIndex = 3;
    info.ResetEditRecords();
    EXPECT_TRUE(info.PendingRegDest == _tagUISTRUCT_REGDEST{});
    EXPECT_TRUE(info.PendingMyTheme == _tagUISTRUCT_MYTHEME{});
    EXPECT_TRUE(info.PendingSafeDest == _tagUISTRUCT_USERSAFEDEST{});
    EXPECT_EQ(info.PendingSafeDestIndex, 3);  // only the records are reset
}

TEST(HandoverTest, TrafficFieldsAndAvoidLinksRoundTrip) {
    CMgrConfigUIInfo info;
    UITrafficSection section;
    for (size_t i = 0; i < sizeof section.abData; ++i) section.abData[i] = static_cast<uint8_t>(i * 7 + 1);
    info.SetTrafficSection(section);
    section.abData[0] = 0;  // the object keeps its own copy
    UITrafficSection out;
    info.GetTrafficSection(&out);
    EXPECT_EQ(out.abData[0], 1);
    EXPECT_EQ(out.abData[103], static_cast<uint8_t>(103 * 7 + 1));
    info.GetTrafficSection(nullptr);

    info.SetTrafficSectionName(NvString(u"올림픽대로"));
    NvString name(u"old");
    info.GetTrafficSectionName(name);
    EXPECT_EQ(name, u"올림픽대로");

    info.SetTrafficGroupCode(302000);
    int32_t code = 0;
    EXPECT_EQ(info.GetTrafficGroupCode(&code), 302000);
    EXPECT_EQ(code, 302000);

    int list = 0;
    int links = 0;
    info.SetTrafficListObject(&list);
    info.SetTrafficLinkSource(&links);
    void* got = nullptr;
    EXPECT_EQ(info.GetTrafficListObject(&got), &list);
    EXPECT_EQ(got, &list);
    EXPECT_EQ(info.GetTrafficLinkSource(), &links);

    EXPECT_EQ(info.SetTrafficTab(7), 7);
    EXPECT_EQ(info.GetTrafficTab(), 7);
    info.SetTrafficWord(-4);
    EXPECT_EQ(info.GetTrafficWord(), -4);

    std::vector<int32_t> ids = {101, 102 | 0x08000000, 103};
    info.SetAvoidLinks(ids.data(), 3);
    ids[0] = 0;  // a copy is kept
    ASSERT_EQ(info.GetAvoidLinkCount(), 3);
    EXPECT_EQ(info.GetAvoidLinks()[0], 101);
    EXPECT_EQ(info.GetAvoidLinks()[1], 102 | 0x08000000);
    info.SetAvoidLinks(nullptr, 5);
    EXPECT_EQ(info.GetAvoidLinkCount(), 0);
}

TEST(HandoverTest, DegreeMinutesConversion) {
    constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    struct Case {
        double value;
        int ok;
        int32_t units;
    } const cases[] = {
        {12700.0, 1, 127 * kDeg},
        {3730.0, 1, 37 * kDeg + kDeg / 2},  // 37 degrees 30 minutes
        {12659.4, 1, 66579333 /* 126.99 degrees */},
        {0.0, 1, 0},
        {-12700.0, 1, -127 * kDeg},
        {409500.0, 1, 4095 * kDeg},  // the last whole degree that fits
        {409600.0, 0, 0},            // 4096 degrees do not
        {1e300, 0, 0},
        {kNan, 0, 0},
        {kInf, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        int32_t units = -9;
        EXPECT_EQ(DegreeMinutesToMapUnits(c.value, units), c.ok);
        if (c.ok) {
            EXPECT_EQ(units, c.units);
        }
    }
}

TEST(HandoverTest, ExternalPositions) {
    CMgrConfigUIInfo info;
    UIExternalPosSource sources[kUIExternalPosCount];
    sources[0] = Source(1, 12700.0, 3730.0);
    sources[3] = Source(1, 12659.4, 3733.0);
    sources[5] = Source(2, 12700.0, 3730.0);                                     // only flag 1 counts
    sources[7] = Source(1, std::numeric_limits<double>::quiet_NaN(), 3730.0);  // not a position
    ASSERT_EQ(info.SetExternalPositions(sources), 1);

    UIExternalPos out[kUIExternalPosCount];
    for (UIExternalPos& p : out) p = {9, 9, 9};
    ASSERT_EQ(info.GetExternalPositions(out), 2);
    EXPECT_EQ(out[0], (UIExternalPos{1, 127 * kDeg, 37 * kDeg + kDeg / 2}));
    EXPECT_EQ(out[3], (UIExternalPos{1, 66579333 /* 126.99 degrees */, 37 * kDeg + 55 * kDeg / 100}));
    for (int i : {1, 2, 4, 5, 6, 7, 15}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(out[i], UIExternalPos{});
    }

    // Entries all with flag 0: the count stays 0 and nothing is copied.
    UIExternalPosSource none[kUIExternalPosCount];
    ASSERT_EQ(info.SetExternalPositions(none), 1);
    out[0] = {9, 9, 9};
    EXPECT_EQ(info.GetExternalPositions(out), 0);
    EXPECT_EQ(out[0], (UIExternalPos{9, 9, 9}));

    // No source at all: 0 and no positions.
    info.SetExternalPositions(sources);
    EXPECT_EQ(info.SetExternalPositions(nullptr), 0);
    EXPECT_EQ(info.GetExternalPositions(out), 0);
}

TEST(HandoverTest, ExternalPositionsFromTheBytesAsSent) {
    // Entry 2: flag 1, 4 unused bytes, 12700.0 and 3730.0 as little-endian
    // doubles (0x40C8CE0000000000 and 0x40AD240000000000).
    std::vector<uint8_t> bytes(kUIExternalPosSourceBytes, 0);
    const uint8_t entry[24] = {0x01, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF,  //
                               0x00, 0x00, 0x00, 0x00, 0x00, 0xCE, 0xC8, 0x40,  //
                               0x00, 0x00, 0x00, 0x00, 0x00, 0x24, 0xAD, 0x40};
    std::memcpy(bytes.data() + 2 * 24, entry, sizeof entry);

    CMgrConfigUIInfo info;
    ASSERT_EQ(info.SetExternalPositionsFromBytes(bytes.data(), bytes.size()), 1);
    UIExternalPos out[kUIExternalPosCount];
    ASSERT_EQ(info.GetExternalPositions(out), 1);
    EXPECT_EQ(out[2], (UIExternalPos{1, 127 * kDeg, 37 * kDeg + kDeg / 2}));

    // One byte short: no entries.
    EXPECT_EQ(info.SetExternalPositionsFromBytes(bytes.data(), bytes.size() - 1), 0);
    EXPECT_EQ(info.GetExternalPositions(out), 0);
    EXPECT_EQ(info.SetExternalPositionsFromBytes(nullptr, 384), 0);
}

TEST(HandoverTest, DrawThreadSeesWholeSetsOnly) {
    CMgrConfigUIInfo info;
    UIExternalPosSource all[kUIExternalPosCount];
    UIExternalPosSource three[kUIExternalPosCount];
    for (int i = 0; i < kUIExternalPosCount; ++i) all[i] = Source(1, 12700.0, 3730.0);
    for (int i = 0; i < 3; ++i) three[i] = Source(1, 12800.0, 3600.0);

    std::atomic<bool> done{false};
    std::atomic<int> badReads{0};
    std::thread drawThread([&] {
        UIExternalPos out[kUIExternalPosCount];
        while (!done.load(std::memory_order_acquire)) {
            const int n = info.GetExternalPositions(out);
            if (n == 16) {
                for (const UIExternalPos& p : out) {
                    if (!(p == UIExternalPos{1, 127 * kDeg, 37 * kDeg + kDeg / 2})) badReads.fetch_add(1);
                }
            } else if (n == 3) {
                for (int i = 0; i < kUIExternalPosCount; ++i) {
                    const UIExternalPos want = i < 3 ? UIExternalPos{1, 128 * kDeg, 36 * kDeg} : UIExternalPos{};
                    if (!(out[i] == want)) badReads.fetch_add(1);
                }
            } else if (n != 0) {
                badReads.fetch_add(1);
            }
        }
    });
    for (int i = 0; i < 2000; ++i) info.SetExternalPositions(i % 2 ? three : all);
    done.store(true, std::memory_order_release);
    drawThread.join();
    EXPECT_EQ(badReads.load(), 0);
}

}  // namespace
