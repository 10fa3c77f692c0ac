// The search request and result records: field offsets, byte order and
// text fields.
#include "search/search_records.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

uint32_t At32(const uint8_t* b, size_t offset) {
    return b[offset] | b[offset + 1] << 8 | b[offset + 2] << 16 | static_cast<uint32_t>(b[offset + 3]) << 24;
}
uint16_t At16(const uint8_t* b, size_t offset) { return static_cast<uint16_t>(b[offset] | b[offset + 1] << 8); }

TEST(SearchRecords, RequestBytesByHand) {
    SearchRequest q;
    q.SearchKindID = 0x04030201;
    SetSearchText(q.szKeyword, kSchKeywordChars, u"가A");
    q.uAreaCode = 1030;
    q.nSubCode = 0x11223344;
    q.nRadius = 40232;
    q.bMiddleWord = 1;
    q.ptCenter = {0x0A0B0C0D, 7};
    q.eOrderBy = 2;
    q.nRecordID = 99;
    q.dBuildingKey = 1.0;
    q.wTelArea = 31;
    q.uTelNumber = 5550101;
    q.wThemeMask2 = 0x0102;
    q.wThemeKind2 = 3;
    q.wThemeKind = 4;
    q.wThemeClass = 5;
    q.wThemeMask = 0x0600;
    q.nOption = 77;
    SearchRequestRecord rec;
    EncodeSearchRequest(q, rec);
    const uint8_t* b = rec.bytes;
    EXPECT_EQ(b[0], 0x01);
    EXPECT_EQ(b[3], 0x04);
    EXPECT_EQ(At16(b, 4), 0xAC00);  // "가"
    EXPECT_EQ(At16(b, 6), u'A');
    EXPECT_EQ(At16(b, 8), 0);
    EXPECT_EQ(At32(b, 80), 1030u);
    EXPECT_EQ(At32(b, 84), 0x11223344u);
    EXPECT_EQ(At32(b, 88), 40232u);
    EXPECT_EQ(At32(b, 92), 1u);
    EXPECT_EQ(At32(b, 100), 0x0A0B0C0Du);
    EXPECT_EQ(At32(b, 104), 7u);
    EXPECT_EQ(b[108], 2);
    EXPECT_EQ(At32(b, 112), 99u);
    // 1.0 is 0x3FF0000000000000, little-endian.
    EXPECT_EQ(b[120], 0);
    EXPECT_EQ(b[126], 0xF0);
    EXPECT_EQ(b[127], 0x3F);
    EXPECT_EQ(At16(b, 128), 31);
    EXPECT_EQ(At32(b, 132), 5550101u);
    EXPECT_EQ(At16(b, 136), 0x0102);
    EXPECT_EQ(At16(b, 138), 3);
    EXPECT_EQ(At16(b, 140), 4);
    EXPECT_EQ(At16(b, 142), 5);
    EXPECT_EQ(At16(b, 144), 0x0600);
    EXPECT_EQ(At32(b, 148), 77u);

    const SearchRequest back = DecodeSearchRequest(rec);
    EXPECT_EQ(back.nOption, 77u);
    EXPECT_EQ(back.dBuildingKey, 1.0);
    EXPECT_EQ(SearchText(back.szKeyword, kSchKeywordChars), u"가A");
    SearchRequestRecord again;
    EncodeSearchRequest(back, again);
    EXPECT_EQ(0, std::memcmp(rec.bytes, again.bytes, sizeof rec.bytes));
}

TEST(SearchRecords, ResultBytesByHand) {
    SearchResult r;
    r.nIndex = 14;
    r.bKind = 9;
    r.nDistance = 1500;
    r.uAreaCode = 103001;
    r.pt = {1, 2};
    r.wTelArea = 2;
    r.uTelNumber = 5550101;
    SetSearchText(r.szName, kSchNameChars, u"한빛동");
    SetSearchText(r.szAddress, kSchAddressChars, u"서울");
    SetSearchText(r.szCateName, kSchCateNameChars, u"카페");
    r.nPOIID = 0xDEADBEEF;
    r.cFloor = 3;
    r.ptEntry = {5, 6};
    r.bDetailKind = 4;
    r.nAddrValue = 0x01020304;
    r.wAddrValue = 0x0506;
    r.ThemeRow.nThemeKey = 42;
    SetSearchText(r.ThemeRow.szAddress, kSchAddressChars, u"누리");
    SearchResultRecord rec;
    EncodeSearchResult(r, rec);
    const uint8_t* b = rec.bytes;
    EXPECT_EQ(At32(b, 0), 14u);
    EXPECT_EQ(b[4], 9);
    EXPECT_EQ(At32(b, 8), 1500u);
    EXPECT_EQ(At32(b, 12), 103001u);
    EXPECT_EQ(At32(b, 24), 1u);
    EXPECT_EQ(At32(b, 28), 2u);
    EXPECT_EQ(At16(b, 32), 2);
    EXPECT_EQ(At32(b, 36), 5550101u);
    EXPECT_EQ(At16(b, 40), 0xD55C);   // "한"
    EXPECT_EQ(At16(b, 188), 0xC11C);  // "서"
    EXPECT_EQ(At16(b, 268), 0xCE74);  // "카"
    EXPECT_EQ(At32(b, 324), 0xDEADBEEFu);
    EXPECT_EQ(b[406], 3);
    EXPECT_EQ(At32(b, 464), 5u);
    EXPECT_EQ(b[472], 4);
    EXPECT_EQ(At32(b, 548), 0x01020304u);
    EXPECT_EQ(At16(b, 552), 0x0506);
    EXPECT_EQ(At32(b, 556 + 4), 42u);
    EXPECT_EQ(At16(b, 556 + 106), 0xB204);  // "누"

    SearchResultRecord again;
    EncodeSearchResult(DecodeSearchResult(rec), again);
    EXPECT_EQ(0, std::memcmp(rec.bytes, again.bytes, sizeof rec.bytes));
}

TEST(SearchRecords, TextFieldsKeepTheirNul) {
    char16_t field[kSchKeywordChars];
    // 37 letters fill the keyword with its NUL in the last character.
    const std::u16string letters(37, u'A');
    SetSearchText(field, kSchKeywordChars, letters + u"BC");
    EXPECT_EQ(SearchText(field, kSchKeywordChars), letters);
    EXPECT_EQ(field[37], 0);
    // A surrogate pair that does not fit whole is left out.
    std::u16string pair = std::u16string(36, u'A') + u"\xD83D\xDE00";
    SetSearchText(field, kSchKeywordChars, pair);
    EXPECT_EQ(SearchText(field, kSchKeywordChars), std::u16string(36, u'A'));
}

}  // namespace
