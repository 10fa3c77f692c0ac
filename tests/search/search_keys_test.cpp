// The key codings of the search engines, checked against keys worked out
// by hand from the Hangul syllable arithmetic.
#include "search/search_keys.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace {

std::string Cp(const std::u16string& text) {
    std::string out;
    EXPECT_TRUE(platform::Utf16ToCp949(text, out));
    return out;
}

TEST(SearchKeys, SearchKeyTable) {
    struct Case {
        std::u16string keyword;
        std::vector<uint8_t> key;
        int cls;
    };
    const Case cases[] = {
        // 가: initial 0 (number 1), vowel ㅏ group 1: 32 + 1.
        {u"가", {33}, kKeyClassSyllables},
        // 한: (0xD55C - 0xAC00) / 588 = 18 (number 19), vowel ㅏ: 51. 의:
        // initial 11 (number 12), vowel ㅢ group 3: 96 + 12.
        {u"한의", {51, 108}, kKeyClassSyllables},
        // 쥐: initial ㅈ 12 (13), vowel ㅟ group 2: 77. 뇌: ㄴ (3), ㅚ group 7: 227.
        {u"쥐뇌", {77, 227}, kKeyClassSyllables},
        // Consonants: 0x20 + number; ㄳ counts as ㄲ, ㅀ as ㄹ.
        {u"ㄱㄳㅀㅎ", {0x21, 0x22, 0x26, 0x33}, kKeyClassConsonants},
        {u"가ㄴ", {33, 0x23}, kKeyClassMixed},
        // Digits and letters up to T: 1 + position; U..Z and others: 31.
        {u"09AT", {1, 10, 11, 30}, kKeyClassNone},
        {u"Ua!", {31, 31, 31}, kKeyClassNone},
        // A bare vowel is no consonant.
        {u"ㅏ", {31}, kKeyClassNone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::Utf16ToUtf8(c.keyword));
        std::vector<uint8_t> key;
        int count = -1;
        EXPECT_EQ(MakeSearchKey(c.keyword, key, &count), c.cls);
        EXPECT_EQ(key, c.key);
        EXPECT_EQ(count, static_cast<int>(c.key.size()));
    }
    std::vector<uint8_t> key;
    int count = 0;
    MakeSearchKey(std::u16string(40, u'A'), key, &count);
    EXPECT_EQ(count, 37);
}

TEST(SearchKeys, InitialKeyTable) {
    // ㄱ and 가: 51 + 0; A: position 11 of "0123456789ABC..."; !: 37; _: 49;
    // 하: 51 + 18; ㅏ and a: 0; padded with zeros.
    EXPECT_EQ(MakeInitialKey(u"ㄱ가A!_하", 8), (std::vector<uint8_t>{51, 51, 11, 37, 49, 69, 0, 0}));
    EXPECT_EQ(MakeInitialKey(u"ㅏa0", 3), (std::vector<uint8_t>{0, 0, 1}));
    EXPECT_EQ(MakeInitialKey(u"가나다", 2), (std::vector<uint8_t>{51, 53}));
}

TEST(SearchKeys, KeywordCheckTable) {
    struct Case {
        std::u16string keyword;
        bool valid;
    };
    const Case cases[] = {
        {u"가나", true},
        {u"ㄱㄴ", true},
        {u"ABC123", true},
        {u"!%&()+,-./?@_", true},
        {u"힝", true},    // U+D79D, the last KS X 1001 syllable
        {u"힣", false},   // U+D7A3, only in the CP949 extension
        {u"똠", false},   // extension syllable
        {u"abc", false},  // lower case
        {u"ㅏ", false},   // bare vowel
        {u"가 나", false},  // blank
        {u"#", false},
        {u"", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::Utf16ToUtf8(c.keyword));
        EXPECT_EQ(IsValidKeyword(Cp(c.keyword)), c.valid);
    }
    EXPECT_FALSE(IsValidKeyword(std::string("\xB0", 1)));  // a cut character is not CP949
}

TEST(SearchKeys, TextIndexCodings) {
    EXPECT_EQ(CharClass(u'가'), kCharSyllable);
    EXPECT_EQ(CharClass(0xD7A4), kCharSyllable);
    EXPECT_EQ(CharClass(u'ㄱ'), kCharJamo);
    EXPECT_EQ(CharClass(u'ㅏ'), kCharOther);
    EXPECT_EQ(CharClass(u'Q'), kCharUpper);
    EXPECT_EQ(CharClass(u'q'), kCharLower);
    EXPECT_EQ(CharClass(u'7'), kCharDigit);
    EXPECT_EQ(ClassifyKeyword(u"ㄱㄴ"), kCharJamo);
    EXPECT_EQ(ClassifyKeyword(u"가나"), kCharSyllable);
    EXPECT_EQ(ClassifyKeyword(u"가ㄴ"), kCharMixed);
    EXPECT_EQ(ClassifyKeyword(u"A1"), kCharDigit);  // the class of the last character
    EXPECT_EQ(ClassifyKeyword(u"1A"), kCharUpper);
    EXPECT_EQ(ClassifyKeyword(u""), kCharOther);

    struct Bucket {
        std::u16string text;
        InitialList list;
        int bucket;
    };
    const Bucket buckets[] = {
        {u"ㄱㄴ", InitialList::kJamo, 0 * 19 + 2},
        {u"ㅎㅎ", InitialList::kJamo, 18 * 19 + 18},
        {u"ㄳㄵ", InitialList::kJamo, 1 * 19 + 2},  // between ㄲ and ㄴ, between ㄴ and ㄷ
        {u"한빛", InitialList::kSyllables, 18 * 19 + 7},
        {u"까치", InitialList::kSyllables, 1 * 19 + 14},
        {u"꽹냠", InitialList::kSyllables, 1 * 19 + 2},
        {u"제1동", InitialList::kSyllables, 12 * 19 + 0},
        {u"A가", InitialList::kSyllables, 0},
        {u"가", InitialList::kSyllables, 0},
    };
    for (const auto& b : buckets) {
        SCOPED_TRACE(platform::Utf16ToUtf8(b.text));
        EXPECT_EQ(BucketKey(Cp(b.text), b.list), b.bucket);
    }
    EXPECT_EQ(ConsonantsOf(Cp(u"한빛1동ㄱ")), Cp(u"ㅎㅂ1ㄷㄱ"));
    EXPECT_EQ(ConsonantsOf(Cp(u"꽹")), Cp(u"ㄲ"));
    EXPECT_EQ(MakeJamoMask(Cp(u"가ㄴA")), std::string("\xFF\xFF\x00\x00\xFF", 5));
}

TEST(SearchKeys, Cp949CutsOnCharacters) {
    const std::string text = Cp(u"가나다");
    EXPECT_EQ(CutCp949(text, 5), Cp(u"가나"));
    EXPECT_EQ(CutCp949(text, 6), text);
    EXPECT_EQ(CutCp949(std::string("A\0B", 3), 3), "A");
    EXPECT_EQ(CutCp949(std::string("A\xB0", 2), 2), "A");  // a lead byte without its trail
    char field[4];
    CopyCp949Field(field, sizeof field, text);
    EXPECT_EQ(std::string(field, 4), Cp(u"가") + std::string(2, '\0'));
    // Every syllable that CP949 encodes is found by the byte test, and no
    // other character is.
    int syllables = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x41; trail <= 0xFE; ++trail) {
            const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            std::u16string u;
            if (!platform::Cp949ToUtf16(std::string_view(bytes, 2), u) || u.size() != 1) continue;
            const bool syllable = u[0] >= 0xAC00 && u[0] <= 0xD7A3;
            ASSERT_EQ(IsCp949Syllable(static_cast<uint8_t>(lead), static_cast<uint8_t>(trail)), syllable)
                << std::hex << lead << " " << trail;
            syllables += syllable;
        }
    EXPECT_EQ(syllables, 11172);
}

}  // namespace
