#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::CodecError;

std::string Hex(std::string_view bytes) {
    std::string out;
    char buf[4];
    for (unsigned char b : bytes) {
        snprintf(buf, sizeof buf, "%02X", b);
        out += buf;
    }
    return out;
}

// Every one of the 2350 KS X 1001 syllables (lead 0xB0..0xC8, trail
// 0xA1..0xFE) becomes one composed syllable, in Unicode order, and goes back
// to the same two bytes.
TEST(Cp949, EveryKsX1001SyllableRoundTripsComposed) {
    int count = 0;
    char16_t previous = 0;
    for (int lead = 0xB0; lead <= 0xC8; ++lead) {
        for (int trail = 0xA1; trail <= 0xFE; ++trail, ++count) {
            const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
            std::u16string text;
            CodecError error;
            ASSERT_TRUE(platform::Cp949ToUtf16(bytes, text, &error)) << Hex(bytes) << ": " << error.message;
            ASSERT_EQ(text.size(), 1u) << Hex(bytes) << " must stay one composed syllable";
            ASSERT_GE(text[0], 0xAC00) << Hex(bytes);
            ASSERT_LE(text[0], 0xD7A3) << Hex(bytes);
            ASSERT_GT(text[0], previous) << Hex(bytes) << " out of order";
            previous = text[0];
            std::string back;
            ASSERT_TRUE(platform::Utf16ToCp949(text, back, &error)) << Hex(bytes) << ": " << error.message;
            ASSERT_EQ(back, bytes);
        }
    }
    EXPECT_EQ(count, 2350);
    EXPECT_EQ(previous, u'힝');
}

TEST(Cp949, SampleOfOtherCharacters) {
    struct Case {
        const char* what;
        std::u16string_view text;
        std::string_view bytes;
    } const cases[] = {
        {"ASCII", u"Map\\Base.map|1=0\r\n", "Map\\Base.map|1=0\r\n"},
        {"first and last syllable", u"가힝", "\xB0\xA1\xC8\xFE"},
        {"extension syllables", u"똠갂", "\x8C\x63\x81\x41"},
        {"Hanja", u"一漢", "\xEC\xE9\xF9\xD3"},
        {"symbols", u"※℃①", "\xA1\xD8\xA1\xC9\xA8\xE7"},
        {"full-width and jamo letters", u"Ａㄱ", "\xA3\xC1\xA4\xA1"},
        {"mixed", u"서울 Seoul 1번", "\xBC\xAD\xBF\xEF Seoul 1\xB9\xF8"},
        {"embedded zero", std::u16string_view(u"a\0b", 3), std::string_view("a\0b", 3)},
        {"empty", u"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes;
        CodecError error;
        ASSERT_TRUE(platform::Utf16ToCp949(c.text, bytes, &error)) << error.message;
        EXPECT_EQ(Hex(bytes), Hex(c.bytes));
        std::u16string text;
        ASSERT_TRUE(platform::Cp949ToUtf16(c.bytes, text, &error)) << error.message;
        EXPECT_TRUE(text == c.text);
    }
}

TEST(Cp949, InvalidBytesAreRefusedWithOffset) {
    struct Case {
        const char* what;
        std::string_view bytes;
        size_t offset;
        const char* messagePart;
    } const cases[] = {
        {"lone lead byte at the end", "ab\xB0", 2, "ends inside a two-byte character"},
        {"0x80", "ab\x80xyz", 2, "not CP949"},
        {"0xFF", "\xB0\xA1\xFF", 2, "not CP949"},
        {"lead byte before a blank", "ok\xA1 rest", 2, "not CP949"},
        {"lead byte without extension trail", "\xC8\x41", 0, "not CP949"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::u16string text = u"previous";
        CodecError error;
        EXPECT_FALSE(platform::Cp949ToUtf16(c.bytes, text, &error));
        EXPECT_TRUE(text.empty());
        EXPECT_EQ(error.offset, c.offset);
        EXPECT_NE(error.message.find(c.messagePart), std::string::npos) << error.message;
        EXPECT_NE(error.message.find("byte " + std::to_string(c.offset)), std::string::npos) << error.message;
    }
    // Without an error record the failure is still reported.
    std::u16string text;
    EXPECT_FALSE(platform::Cp949ToUtf16("\xFF", text));
}

TEST(Cp949, UnmappableTextIsRefusedWithOffset) {
    struct Case {
        const char* what;
        std::u16string_view text;
        size_t offset;
        const char* messagePart;
    } const cases[] = {
        {"unpaired high surrogate at the end", u"ab\xD800", 2, "U+D800 at 2"},
        {"unpaired high surrogate inside", u"a\xD800z", 1, "U+D800 at 1"},
        {"unpaired low surrogate", u"a\xDC00", 1, "U+DC00 at 1"},
        {"emoji", u"서울😀", 2, "U+D83D at 2"},
        {"character without CP949 form", u"ab\u0E01", 2, "U+0E01 at 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = "previous";
        CodecError error;
        EXPECT_FALSE(platform::Utf16ToCp949(c.text, bytes, &error));
        EXPECT_TRUE(bytes.empty());
        EXPECT_EQ(error.offset, c.offset);
        EXPECT_NE(error.message.find(c.messagePart), std::string::npos) << error.message;
        EXPECT_NE(error.message.find("no CP949 form"), std::string::npos) << error.message;
    }
}

// ASCII text is copied unit by unit, several units at a time: every length
// around the word size, and a two-byte character at every position, which
// must send the text to the converter instead.
TEST(Cp949, AsciiTextOfEveryLengthAndACharacterAtEveryPosition) {
    for (size_t length = 0; length <= 19; ++length) {
        std::string ascii;
        std::u16string wide;
        for (size_t i = 0; i < length; ++i) {
            const char c = static_cast<char>(0x20 + (i * 7) % 0x5F);   // printable, varied
            ascii += c;
            wide += static_cast<char16_t>(c);
        }
        std::u16string out = u"left over";
        ASSERT_TRUE(platform::Cp949ToUtf16(ascii, out));
        EXPECT_EQ(out, wide) << "length " << length;
        std::string back = "left over";
        ASSERT_TRUE(platform::Utf16ToCp949(wide, back));
        EXPECT_EQ(back, ascii) << "length " << length;

        for (size_t at = 0; at <= length; ++at) {
            const std::string mixed = ascii.substr(0, at) + "\xB0\xA1" + ascii.substr(at);   // 가
            const std::u16string expected = wide.substr(0, at) + u"\uAC00" + wide.substr(at);
            ASSERT_TRUE(platform::Cp949ToUtf16(mixed, out));
            EXPECT_EQ(out, expected) << "length " << length << " at " << at;
            ASSERT_TRUE(platform::Utf16ToCp949(expected, back));
            EXPECT_EQ(Hex(back), Hex(mixed)) << "length " << length << " at " << at;
        }
    }
}

TEST(Utf8, RoundTripAndIllFormedInput) {
    const std::u16string text = u"서울 Seoul 😀 ü";
    EXPECT_TRUE(platform::Utf8ToUtf16(platform::Utf16ToUtf8(text)) == text);
    struct Case {
        const char* what;
        std::string_view utf8;
        std::u16string_view text;
    } const cases[] = {
        {"truncated sequence", "a\xEC\x84", u"a\uFFFD\uFFFD"},
        {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"stray continuation", "\x80z", u"\uFFFDz"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(platform::Utf8ToUtf16(c.utf8) == c.text);
    }
    EXPECT_EQ(platform::Utf16ToUtf8(u"a\xD800"), "a\xEF\xBF\xBD");
}

}  // namespace
