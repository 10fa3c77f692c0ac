#include "foundation/nv_string.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"

namespace {

enum class Weekday { kSunday = 0, kSaturday = 6 };

// --- buffer --------------------------------------------------------------

TEST(NvStringBuffer, CapacityGrowsInStepsOf512AndStaysZeroFilled) {
    NvString s;
    EXPECT_FALSE(s.HasBuffer());
    EXPECT_EQ(s.GetData(), nullptr);

    struct Case {
        int request;
        int capacity;
    } const cases[] = {{0, 512}, {511, 512}, {512, 1024}, {1023, 1024}, {1024, 1536}, {100, 1536}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.request);
        ASSERT_EQ(s.AllocBuffer(c.request), 1);
        EXPECT_EQ(s.GetCapacity(), c.capacity);
    }
    for (int i = 0; i < s.GetCapacity(); ++i) ASSERT_EQ(s.GetData()[i], 0) << i;
}

TEST(NvStringBuffer, GrowingKeepsTextAndTail) {
    NvString s(u"abc");
    ASSERT_EQ(s.GetCapacity(), 512);
    ASSERT_EQ(s.AllocBuffer(2000), 1);
    EXPECT_EQ(s.GetCapacity(), 2048);
    EXPECT_EQ(s, u"abc");
    for (int i = 3; i < s.GetCapacity(); ++i) ASSERT_EQ(s.GetData()[i], 0) << i;
}

TEST(NvStringBuffer, WriteBufferAndRelease) {
    NvString s;
    char16_t* w = s.GetWriteBuffer(511);  // AllocBuffer(512): 1024
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(s.GetCapacity(), 1024);
    std::u16string text = u"hello world";
    std::copy(text.begin(), text.end(), w);
    EXPECT_EQ(s.ReleaseBuffer(-1), 11);
    EXPECT_EQ(s, u"hello world");

    EXPECT_EQ(s.ReleaseBuffer(5), 5);
    EXPECT_EQ(s, u"hello");
    EXPECT_EQ(s.GetData()[5], 0);
    EXPECT_EQ(s.GetData()[6], 0) << "tail past the new length is cleared";

    EXPECT_EQ(s.ReleaseBuffer(5000), 1023) << "clamped to capacity - 1";
    EXPECT_EQ(s.GetData()[1023], 0);

    NvString none;
    EXPECT_EQ(none.ReleaseBuffer(-1), 0);
    EXPECT_EQ(none.ReleaseBuffer(10), 0);
}

TEST(NvStringBuffer, ReleaseWithoutTerminatorStopsAtCapacity) {
    NvString s;
    char16_t* w = s.GetWriteBuffer(10);
    ASSERT_NE(w, nullptr);
    std::fill(w, w + s.GetCapacity(), u'x');  // a careless writer fills everything
    EXPECT_EQ(s.ReleaseBuffer(-1), 511);
    EXPECT_EQ(s.GetData()[511], 0);
}

// --- assignment ----------------------------------------------------------

TEST(NvStringAssign, NullFreesEmptyKeepsABuffer) {
    NvString s(u"text");
    EXPECT_EQ(s.SetString(static_cast<const char16_t*>(nullptr)), 1);
    EXPECT_FALSE(s.HasBuffer());
    EXPECT_EQ(s.GetLength(), 0);

    EXPECT_EQ(s.SetString(u""), 1);
    EXPECT_TRUE(s.HasBuffer());
    EXPECT_EQ(s.GetLength(), 0);

    NvString copyOfNone{NvString()};
    EXPECT_FALSE(copyOfNone.HasBuffer());
    NvString copyOfEmpty(s);
    EXPECT_TRUE(copyOfEmpty.HasBuffer());

    NvString a(u"long text here");
    a.Assign(NvString(u"ab"));
    EXPECT_EQ(a, u"ab");
    EXPECT_EQ(a.GetData()[2], 0);
    EXPECT_EQ(a.GetData()[3], 0) << "old characters beyond the text are cleared";
    a.Assign(NvString());
    EXPECT_FALSE(a.HasBuffer());
}

TEST(NvStringAssign, TextFromInsideItselfIsSafe) {
    NvString s(u"0123456789");
    s.SetString(s.GetData() + 4);
    EXPECT_EQ(s, u"456789");
    s.Append(s.GetData());
    EXPECT_EQ(s, u"456789456789");
    NvString& alias = s;
    s = alias;  // self-assignment keeps the text
    EXPECT_EQ(s, u"456789456789");

    NvString whole(u"xyz");
    whole.SetString(std::u16string_view(whole.GetData(), size_t(whole.GetCapacity())));  // needs a new buffer
    EXPECT_EQ(whole.GetLength(), 512);
    EXPECT_EQ(whole.GetCapacity(), 1024);
    EXPECT_EQ(whole.GetAt(2), u'z');
    EXPECT_EQ(whole.GetAt(3), 0);

    NvString big;
    for (int i = 0; i < 600; ++i) big.Append(u"a");
    big.Append(big.GetData());  // forces a new buffer while reading the old one
    EXPECT_EQ(big.GetLength(), 1200);
    EXPECT_EQ(big.GetCapacity(), 1536);
}

TEST(NvStringAssign, AppendRules) {
    NvString s;
    s.Append(nullptr);
    EXPECT_FALSE(s.HasBuffer());
    s.Append(u"");
    EXPECT_TRUE(s.HasBuffer()) << "an empty string takes the text as SetString";
    s.Append(u"ab");
    s.Append(NvString(u"cd"));
    EXPECT_EQ(s, u"abcd");
    EXPECT_EQ(s.Concat(u"ef"), u"abcdef");
    EXPECT_EQ(s, u"abcd");
    EXPECT_EQ(s.Concat(nullptr), u"abcd");
}

TEST(NvStringAssign, MoveLeavesSourceWithoutBuffer) {
    NvString a(u"moved");
    NvString b(std::move(a));
    EXPECT_EQ(b, u"moved");
    EXPECT_FALSE(a.HasBuffer());  // NOLINT: checking moved-from state on purpose
    EXPECT_EQ(a.GetLength(), 0);
}

// --- pieces --------------------------------------------------------------

TEST(NvStringPieces, LeftMidRight) {
    const NvString s(u"abc");
    struct Case {
        const char* what;
        NvString got;
        std::u16string_view want;
    } const cases[] = {
        {"Left(10) whole", s.Left(10), u"abc"},
        {"Left(2)", s.Left(2), u"ab"},
        {"Left(0)", s.Left(0), u""},
        {"Left(-3)", s.Left(-3), u""},
        {"Mid(5,-1) empty", s.Mid(5, -1), u""},
        {"Mid(3,-1) empty", s.Mid(3, -1), u""},
        {"Mid(1,-1)", s.Mid(1, -1), u"bc"},
        {"Mid(1,1)", s.Mid(1, 1), u"b"},
        {"Mid(1,99)", s.Mid(1, 99), u"bc"},
        {"Mid(-2,2)", s.Mid(-2, 2), u"ab"},
        {"Right(2)", s.Right(2), u"bc"},
        {"Right(10) whole", s.Right(10), u"abc"},
        {"Right(0)", s.Right(0), u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.got, c.want);
    }
    EXPECT_FALSE(NvString().Left(3).HasBuffer());
}

TEST(NvStringPieces, GetAtAndTrimRight) {
    NvString s(u" a b  ");
    EXPECT_EQ(s.GetAt(1), u'a');
    EXPECT_EQ(s.GetAt(6), 0);
    EXPECT_EQ(s.GetAt(-1), 0);
    s.TrimRight();
    EXPECT_EQ(s, u" a b");
    EXPECT_EQ(s.GetData()[4], 0);
    EXPECT_EQ(s.GetData()[5], 0);

    NvString tabs(u"a\t");
    tabs.TrimRight();
    EXPECT_EQ(tabs, u"a\t") << "only U+0020 is trimmed";
    NvString blanks(u"   ");
    blanks.TrimRight();
    EXPECT_EQ(blanks.GetLength(), 0);
}

TEST(NvStringSearch, FindAndReverseFind) {
    const NvString s(u"abcabc");
    EXPECT_EQ(s.Find(u"bc"), 1);
    EXPECT_EQ(s.Find(u"bc", 2), 4);
    EXPECT_EQ(s.Find(u"bc", -5), 1);
    EXPECT_EQ(s.Find(u"bc", 5), -1);
    EXPECT_EQ(s.Find(u"bc", 100), -1);
    EXPECT_EQ(s.Find(u"x"), -1);
    EXPECT_EQ(s.Find(nullptr), -1);
    EXPECT_EQ(s.ReverseFind(u"bc"), 4);
    EXPECT_EQ(s.ReverseFind(u"abcabcd"), -1);
    EXPECT_EQ(s.ReverseFind(nullptr), -1);
    EXPECT_EQ(NvString().Find(u"a"), -1);
}

TEST(NvStringSearch, ReplaceRules) {
    struct Case {
        const char16_t* text;
        const char16_t* from;
        const char16_t* to;
        int count;
        const char16_t* result;
    } const cases[] = {
        {u"abab", u"ab", u"x", 2, u"xx"},
        {u"aaa", u"a", u"aa", 0, u"aaa"},  // new text contains the old one
        {u"aaa", u"aa", u"b", 1, u"ba"},   // scanning goes on after the hit
        {u"a-b-c", u"-", u"", 2, u"abc"},
        {u"a-b", u"-", nullptr, 1, u"ab"},
        {u"abc", u"x", u"y", 0, u"abc"},
        {u"abc", u"", u"y", 0, u"abc"},
        {u"ab", u"ab", u"ba", 1, u"ba"},  // new text holds the letters but not the text
        {u"%1 of %1", u"%1", u"10", 2, u"10 of 10"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(NvString(c.text).ToUtf8() + " / " + NvString(c.from).ToUtf8());
        NvString s(c.text);
        EXPECT_EQ(s.Replace(c.from, c.to), c.count);
        EXPECT_EQ(s, std::u16string_view(c.result));
    }
}

// --- comparison ----------------------------------------------------------

TEST(NvStringCompare, CaseFolding) {
    struct Case {
        const char16_t* a;
        const char16_t* b;
        bool equal;
    } const cases[] = {
        {u"nVersion", u"NVERSION", true},   {u"Ärger", u"äRGER", true},  {u"Łódź", u"łÓDŹ", true},
        {u"ΑΒΓ", u"αβγ", true},             {u"ДОМ", u"дом", true},      {u"ＡＢ", u"ａｂ", true},
        {u"한글", u"한글", true},           {u"abc", u"abd", false},     {u"abc", u"ab", false},
        {u"×", u"÷", false},  // U+00D7 is not a letter
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(NvString(c.a).ToUtf8() + " vs " + NvString(c.b).ToUtf8());
        EXPECT_EQ(NvString(c.a).IsEqualNoCase(c.b), c.equal ? 1 : 0);
        EXPECT_EQ(NvString(c.a).CompareNoCase(NvString(c.b)) == 0, c.equal);
    }
    // Ordering as _wcsicmp: by units folded to lower case (so '_' comes
    // before the letters), a prefix first.
    EXPECT_LT(NvString(u"ab").CompareNoCase(NvString(u"ABC")), 0);
    EXPECT_GT(NvString(u"b").CompareNoCase(NvString(u"A")), 0);
    EXPECT_LT(NvString(u"a_").CompareNoCase(NvString(u"AZ")), 0);
}

TEST(NvStringCompare, StringsWithoutBuffer) {
    const NvString none;
    const NvString empty(u"");
    EXPECT_EQ(none.CompareNoCase(NvString()), 0);
    EXPECT_LT(none.CompareNoCase(empty), 0);
    EXPECT_GT(empty.CompareNoCase(none), 0);
    EXPECT_LT(none.CompareNoCase(NvString(u"a")), 0);

    EXPECT_EQ(none.IsEqualNoCase(static_cast<const char16_t*>(nullptr)), 1);
    EXPECT_EQ(none.IsEqualNoCase(u""), 1);
    EXPECT_EQ(none.IsEqualNoCase(u"a"), 0);
    EXPECT_EQ(none.IsEqualNoCase(empty), 1);
    EXPECT_EQ(empty.IsEqualNoCase(none), 0) << "a buffer never equals no buffer";
    EXPECT_EQ(empty.IsEqualNoCase(NvString(u"")), 1);
}

// --- initial-consonant keys ----------------------------------------------

TEST(NvStringChosung, KeyFromConsonantsAndSyllables) {
    const NvString key = NvString(u"ㄱ나ㅎ").MakeChosungKey();
    ASSERT_EQ(key.GetLength(), 3);
    EXPECT_EQ(key.GetAt(0), 1);
    EXPECT_EQ(key.GetAt(1), u'나');
    EXPECT_EQ(key.GetAt(2), 18);

    struct Case {
        const char16_t* text;
        int match;
    } const cases[] = {
        {u"가나하", 1}, {u"까나혀", 1}, {u"가나하다", 1}, {u"ㄲ나ㅎ", 1},
        {u"가다하", 0}, {u"가나", 0},   {u"나나하", 0},   {u"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(NvString(c.text).ToUtf8());
        EXPECT_EQ(NvString(c.text).MatchChosungKey(key), c.match);
    }
}

TEST(NvStringChosung, EveryConsonantLetterClass) {
    // U+3131..U+314E in order, with the class the table gives each.
    const std::u16string letters = u"ㄱㄲㄳㄴㄵㄶㄷㄸㄹㄺㄻㄼㄽㄾㄿㅀㅁㅂㅃㅄㅅㅆㅇㅈㅉㅊㅋㅌㅍㅎ";
    const int classes[30] = {1, 1, 1, 2, 2, 2, 3, 4, 5, 5, 5, 5, 5, 5, 5, 5,
                             6, 7, 8, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    ASSERT_EQ(letters.size(), 30u);
    const NvString key = NvString(letters.c_str()).MakeChosungKey();
    for (int i = 0; i < 30; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(key.GetAt(i), classes[i]);
        EXPECT_EQ(NvChosungClass(letters[i]), classes[i]);
    }
    // Syllables by initial: 가 까 나 다 따 라 마 바 빠 사 싸 아 자 짜 차 카 타 파 하.
    const std::u16string syllables = u"가까나다따라마바빠사싸아자짜차카타파하";
    const int syllableClasses[19] = {1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    for (int i = 0; i < 19; ++i) EXPECT_EQ(NvChosungClass(syllables[i]), syllableClasses[i]) << i;
    // The last syllable and characters outside both ranges.
    EXPECT_EQ(NvChosungClass(u'힣'), 18);
    EXPECT_EQ(NvChosungClass(u'A'), 0);
    EXPECT_EQ(NvChosungClass(u'ㅏ'), 0);  // a vowel letter
    EXPECT_EQ(NvChosungClass(0xD7B0), 0);
}

TEST(NvStringChosung, OtherCharactersAndEmptyKeys) {
    const NvString key = NvString(u"서울ㅇ 1").MakeChosungKey();
    EXPECT_EQ(key, std::u16string_view(u"서울\x0b 1"));
    EXPECT_EQ(NvString(u"서울역 1번").MatchChosungKey(key), 1);
    EXPECT_EQ(NvString(u"서울역1번").MatchChosungKey(key), 0);
    // A class never matches Latin text, digits or vowels.
    EXPECT_EQ(NvString(u"A").MatchChosungKey(NvString(u"ㄱ").MakeChosungKey()), 0);
    EXPECT_EQ(NvString(u"ㅏ").MatchChosungKey(NvString(u"ㄱ").MakeChosungKey()), 0);
    EXPECT_EQ(NvString(u"abc").MatchChosungKey(NvString()), 1);
    EXPECT_EQ(NvString().MatchChosungKey(NvString(u"")), 1);
    EXPECT_EQ(NvString().MatchChosungKey(NvString(u"a")), 0);
    EXPECT_EQ(NvString(u"abc").MatchChosungKey(static_cast<const char16_t*>(nullptr)), 1);
}

TEST(NvStringChosung, KeysAndTextsLongerThan63) {
    std::u16string longText;
    for (int i = 0; i < 80; ++i) longText += (i % 2) ? u'나' : u'가';
    const NvString text(std::u16string_view{longText});

    // The key keeps 63 characters; the text still matches its own key.
    const NvString key = text.MakeChosungKey();
    EXPECT_EQ(key.GetLength(), kChosungKeyMaxChars);
    EXPECT_EQ(text.MatchChosungKey(key), 1);

    // A raw key longer than 63 counts only up to 63: what differs beyond
    // does not matter, and a 63-character text is long enough.
    std::u16string rawKey = longText;
    rawKey[70] = u'X';
    EXPECT_EQ(text.MatchChosungKey(rawKey.c_str()), 1);
    EXPECT_EQ(text.MatchChosungKey(NvString(std::u16string_view{rawKey})), 1);
    EXPECT_EQ(NvString(std::u16string_view{longText}.substr(0, 63)).MatchChosungKey(rawKey.c_str()), 1);
    EXPECT_EQ(NvString(std::u16string_view{longText}.substr(0, 62)).MatchChosungKey(rawKey.c_str()), 0);
    rawKey[62] = u'X';
    EXPECT_EQ(text.MatchChosungKey(rawKey.c_str()), 0) << "position 63 (index 62) still counts";
}

// --- format --------------------------------------------------------------

TEST(NvStringFormat, SettingsLineAndReturnedLength) {
    NvString s;
    EXPECT_EQ(s.Format(u"%s|%d=%s\r\n", u"nVersion", 1, u"3288629"), 20);
    EXPECT_EQ(s, u"nVersion|1=3288629\r\n");
    EXPECT_EQ(s.Format(u"%s", u""), 0);
    EXPECT_TRUE(s.HasBuffer());
    EXPECT_EQ(s.Format(nullptr), 0);
    // A %c of 0 ends the text, as with the C formatter.
    EXPECT_EQ(s.Format(u"ab%cd", 0), 2);
}

TEST(NvStringFormat, TextsOneByOne) {
    struct Case {
        const char* what;
        NvString got;
        std::u16string_view want;
    };
    auto f = [](auto... args) {
        NvString s;
        s.Format(args...);
        return s;
    };
    const Case cases[] = {
        {"unsigned -1", f(u"%u", -1), u"4294967295"},
        {"int min", f(u"%d %i", -5, -2147483647 - 1), u"-5 -2147483648"},
        {"hex", f(u"%x %X %#x %#X %#x", 255u, 0xBEEFu, 255u, 255u, 0u), u"ff BEEF 0xff 0XFF 0"},
        {"width", f(u"[%5d][%-5d][%05d][%-05d]", 42, 42, -42, 42), u"[   42][42   ][-0042][42   ]"},
        {"precision", f(u"[%.3d][%6.3d][%.2s]", 7, -7, u"abc"), u"[007][  -007][ab]"},
        {"strings", f(u"[%5s][%-4s][%ls]", u"ab", u"ab", u"w"), u"[   ab][ab  ][w]"},
        {"narrow", f(u"%hs/%S", "abc", "서울"), u"abc/서울"},
        {"chars", f(u"%c%c%hc%lc", u'가', u'b', 'c', u'd'), u"가bcd"},
        {"long prefix", f(u"%ld %lu %lx", 1L, 2UL, 3UL), u"1 2 3"},
        {"percent", f(u"100%%"), u"100%"},
        {"nulls", f(u"%s %hs", static_cast<const char16_t*>(nullptr), static_cast<const char*>(nullptr)),
         u"(null) (null)"},
        {"unknown kept", f(u"%q %f|%d", 9), u"%q %f|9"},
        {"trailing percent", f(u"abc%"), u"abc"},
        // Integers travel as 32-bit values, as on the original system.
        {"64-bit values cut to 32 bits", f(u"%d %lu", int64_t{0x100000005}, -1L), u"5 4294967295"},
        {"enum and bool", f(u"%d %d", Weekday::kSaturday, true), u"6 1"},
        {"nullptr text", f(u"[%s]", nullptr), u"[(null)]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.got, c.want);
    }
}

// A format may come from a data file: conversions without a matching
// argument are written as they stand and read nothing.
TEST(NvStringFormat, ConversionsWithoutTheirArgumentAreWrittenAsTheyStand) {
    auto f = [](auto... args) {
        NvString s;
        s.Format(args...);
        return s;
    };
    struct Case {
        const char* what;
        NvString got;
        std::u16string_view want;
    } const cases[] = {
        {"missing arguments", f(u"%d of %d %s", 3), u"3 of %d %s"},
        {"text where a number is asked", f(u"%d|%d", u"x", 4), u"%d|4"},
        {"number where a text is asked", f(u"[%-5s]", 7), u"[%-5s]"},
        {"the argument's kind wins over the prefix", f(u"%hs %ls", u"wide", "narrow"), u"wide narrow"},
        {"no arguments at all", f(u"%s%c%x%%"), u"%s%c%x%"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.got, c.want);
    }
}

int FormatThroughVaList(NvString& s, const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = s.FormatV(format, args);
    va_end(args);
    return n;
}

TEST(NvStringFormat, VaListCallers) {
    NvString s;
    EXPECT_EQ(FormatThroughVaList(s, u"%s=%05d %hs", u"a", 42, "b"), 9);
    EXPECT_EQ(s, u"a=00042 b");
}

TEST(NvStringFormat, OutputIsCutAt2048) {
    std::u16string longText(5000, u'x');
    NvString s;
    EXPECT_EQ(s.Format(u"%s%s", longText.c_str(), u"tail"), kNvStringFormatMaxChars);
    EXPECT_EQ(s.GetLength(), 2048);
    EXPECT_EQ(s.GetCapacity(), 2560);
    EXPECT_EQ(s.GetData()[2048], 0);
    // Huge widths only pad up to the limit.
    EXPECT_EQ(s.Format(u"%99999999d", 1), 2048);
    // Precision bounds how much of an unterminated text is read.
    const char16_t unterminated[3] = {u'a', u'b', u'c'};
    EXPECT_EQ(s.Format(u"%.3s", unterminated), 3);
    EXPECT_EQ(s, u"abc");
}

TEST(NvStringFormat, ArgumentMayBeTheStringItself) {
    NvString s(u"abc");
    s.Format(u"%s-%s", s.GetData(), s.GetData());
    EXPECT_EQ(s, u"abc-abc");
}

// --- conversions ---------------------------------------------------------

TEST(NvStringConvert, Utf8AndCp949) {
    const NvString s = NvString::FromUtf8("서울 Seoul");
    EXPECT_EQ(s, u"서울 Seoul");
    EXPECT_EQ(s.ToUtf8(), "서울 Seoul");
    EXPECT_EQ(s.ToU16String(), u"서울 Seoul");

    std::string bytes;
    ASSERT_EQ(s.ToCp949(bytes), 1);
    EXPECT_EQ(bytes, "\xBC\xAD\xBF\xEF Seoul");
    NvString back(u"keep");
    ASSERT_EQ(NvString::FromCp949(bytes, back), 1);
    EXPECT_EQ(back, s);

    platform::CodecError error;
    EXPECT_EQ(NvString::FromCp949("ab\x80", back, &error), 0);
    EXPECT_EQ(back, s) << "unchanged on failure";
    EXPECT_EQ(error.offset, 2u);
}

}  // namespace
