// Hangul composition and the text buffer: hand-worked key sequences, and a
// comparison with libhangul on random jamo sequences.
#include "uikit/text_input.h"

#include <gtest/gtest.h>
#include <hangul.h>
#include <iconv.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "support/temp_dir.h"

namespace {

constexpr char16_t kBs = 8;

// Key indexes written out by hand from the keyboard's key table.
int KeyOf(char16_t ch) {
    static const std::u16string consonants = u"ㄱㄴㄷㄹㅁㅂㅅㅇㅈㅊㅋㅌㅍㅎㄲㄸㅃㅆㅉ";
    static const std::u16string vowels = u"ㅏㅓㅗㅜㅑㅕㅛㅠㅡㅣ";
    if (ch == kBs) return 6;
    if (ch == u' ') return 4;
    if (auto i = consonants.find(ch); i != std::u16string::npos) return 7 + static_cast<int>(i);
    if (auto i = vowels.find(ch); i != std::u16string::npos) return 26 + static_cast<int>(i);
    if (ch >= u'A' && ch <= u'Y') return 37 + (ch - u'A');
    if (ch >= u'1' && ch <= u'9') return 62 + (ch - u'1');
    if (ch == u'0') return 71;
    ADD_FAILURE() << "no key for " << static_cast<int>(ch);
    return 0;
}

void Type(NvTextInput& input, std::u16string_view keys) {
    for (char16_t ch : keys) input.PressKey(KeyOf(ch));
}

std::string U8(std::u16string_view s) { return platform::Utf16ToUtf8(s); }

struct SequenceCase {
    const char* what;
    std::u16string keys;
    std::u16string committed;
    std::u16string display;
};

TEST(TextInputTest, KeySequencesComposeAndCommitAsWorkedByHand) {
    const SequenceCase cases[] = {
        {"initial, vowel, final", u"ㄱㅏㄴ", u"", u"간"},
        {"a vowel takes the final on", u"ㄱㅏㄴㅏ", u"가", u"가나"},
        {"compound final", u"ㄷㅏㄹㄱ", u"", u"닭"},
        {"a vowel takes the second final", u"ㄷㅏㄹㄱㅣ", u"달", u"달기"},
        {"final pair without a code (ㄺ after 라)", u"ㄹㅏㄹㄱ", u"랄", u"랄ㄱ"},
        {"lone compound vowel is committed at once", u"ㅗㅏ", u"ㅘ", u"ㅘ"},
        {"compound vowel after an initial", u"ㄱㅗㅏ", u"", u"과"},
        {"vowel without a syllable keeps both keys", u"ㅆㅑ", u"ㅆ", u"ㅆㅑ"},
        {"consonant after a consonant", u"ㄱㄴ", u"ㄱ", u"ㄱㄴ"},
        {"double consonant that is no final", u"ㄱㅏㄸ", u"가", u"가ㄸ"},
        {"digit after a syllable", u"ㅅㅓ1", u"서", u"서1"},
        {"a digit ends the composition", u"ㅅㅓㅇ2ㅇ", u"성2", u"성2ㅇ"},
        {"station exit", u"ㅅㅓㅇㅜㄹㅇㅕㄱ 3ㅂㅓㄴ ㅊㅜㄹㄱㅜ", u"서울역 3번 출", u"서울역 3번 출구"},
        {"Y twice types Z", u"YY", u"", u"Z"},
        {"Y three times", u"YYY", u"Z", u"ZY"},
        {"backspace drops the second final first", u"ㄷㅏㄹㄱ\b", u"", u"달"},
        {"then the final", u"ㄷㅏㄹㄱ\b\b", u"", u"다"},
        {"then the vowel", u"ㄷㅏㄹㄱ\b\b\b", u"", u"ㄷ"},
        {"then the initial", u"ㄷㅏㄹㄱ\b\b\b\b", u"", u""},
        {"then committed text", u"ㄱㅏㄴㅏ\b\b\b", u"", u""},
        {"backspace on a waiting digit", u"ㄱㅏ1\b", u"가", u"가"},
        {"backspace on an empty text", u"\b\b", u"", u""},
        {"backspace from a lone vowel, then committed text", u"ㄱㅏㅏ\b\b", u"", u""},
        {"a moved final without a syllable keeps both keys", u"ㅇㅏㅆㅑ", u"아ㅆ", u"아ㅆㅑ"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NvTextInput input;
        Type(input, c.keys);
        EXPECT_EQ(U8(input.GetBuffer()), U8(c.committed));
        EXPECT_EQ(U8(input.GetDisplayText()), U8(c.display));
        EXPECT_EQ(input.GetLength(), static_cast<int32_t>(c.display.size()));
    }
}

TEST(TextInputTest, DirectKeysAndClearKey) {
    NvTextInput input;
    input.PressKey(76);   // "Z" typed directly
    input.PressKey(75);   // a direct "Y" does not pair with a "Y" before it
    input.PressKey(75);
    EXPECT_EQ(U8(input.GetDisplayText()), "ZYY");

    input.PressKey(kTextKeyClear);
    EXPECT_EQ(U8(input.GetDisplayText()), "");
    EXPECT_EQ(input.GetLength(), 0);
    EXPECT_EQ(input.GetCaretPos(), 0);

    Type(input, u"ㄱ");
    input.PressKey(77);   // ㅐ as one key
    EXPECT_EQ(U8(input.GetDisplayText()), "개");

    for (int ignored : {-1, 0, 1, 2, 3, 74, 81, 1000}) input.PressKey(ignored);
    EXPECT_EQ(U8(input.GetDisplayText()), "개");
}

TEST(TextInputTest, RoomCheckKeepsTheTextWithinTheMaximum) {
    NvTextInput input;
    input.SetMaxLength(3);
    Type(input, u"ㄱㅏㄴㅏㄷㅏㄹㅏ");
    EXPECT_EQ(U8(input.GetDisplayText()), "가나다");
    Type(input, u"12");
    EXPECT_EQ(U8(input.GetDisplayText()), "가나다");
    EXPECT_EQ(input.GetLength(), 3);

    // Out-of-range maxima mean the whole buffer: 511 characters.
    for (int n : {0, -5, 512, 100000}) {
        SCOPED_TRACE(n);
        NvTextInput big;
        big.SetMaxLength(n);
        for (int i = 0; i < 600; ++i) big.PressKey(KeyOf(u'1'));
        big.GetDisplayText();
        EXPECT_EQ(std::u16string(big.GetBuffer()).size() + (big.GetLength() > 511 ? 1 : 0), 511u);
        EXPECT_EQ(big.GetLength(), 511);
    }
}

TEST(TextInputTest, CaretIsHeldToTheTextAndTypingLandsAtIt) {
    NvTextInput input;
    input.SetText(u"가다");
    EXPECT_EQ(input.GetCaretPos(), 2);

    input.SetCaretPos(1);
    EXPECT_EQ(input.GetLength(), 1) << "the caret index, not the text's length";
    Type(input, u"ㄴ");
    EXPECT_EQ(input.GetLength(), 2) << "the caret counts the character composed at it";
    Type(input, u"ㅏ");
    EXPECT_EQ(U8(input.GetDisplayText()), "가나다");
    EXPECT_EQ(input.GetLength(), 2);
    Type(input, u"1");
    EXPECT_EQ(U8(input.GetBuffer()), "가나다");
    EXPECT_EQ(input.GetCaretPos(), 2);
    EXPECT_EQ(input.GetLength(), 3);

    // A caret past the end is held to the end, so nothing typed is lost. The
    // "1" still waiting at the caret is dropped with the move, not committed.
    input.SetCaretPos(99);
    EXPECT_EQ(input.GetCaretPos(), 3);
    Type(input, u"2 ");
    EXPECT_EQ(U8(input.GetDisplayText()), "가나다2 ");

    input.SetCaretPos(-3);
    EXPECT_EQ(input.GetCaretPos(), 0);
    Type(input, u"\b");
    EXPECT_EQ(U8(input.GetBuffer()), "가나다2");

    // Moving the caret drops the composition without committing it.
    Type(input, u"ㅎ");
    EXPECT_EQ(U8(input.GetDisplayText()), "ㅎ가나다2");
    input.SetCaretPos(1);
    EXPECT_EQ(U8(input.GetDisplayText()), "가나다2");
}

TEST(TextInputTest, SetTextCutsAtTheBuffer) {
    NvTextInput input;
    const std::u16string longText(700, u'가');
    input.SetText(longText.c_str());
    EXPECT_EQ(std::u16string(input.GetBuffer()), longText.substr(0, 511));
    EXPECT_EQ(input.GetCaretPos(), 511);
    Type(input, u"ㄱ");   // no room: nothing starts
    EXPECT_EQ(input.GetLength(), 511);
    input.SetText(nullptr);
    EXPECT_EQ(input.GetLength(), 0);
}

TEST(TextInputTest, KeyIndexFromCharacter) {
    struct Case {
        char16_t ch;
        bool numeric;
        int index;
    };
    const Case cases[] = {
        {u'1', true, 0}, {u'9', true, 8}, {u'0', true, 9}, {kBs, true, 11}, {u'A', true, 12},
        {u' ', false, 4}, {kBs, false, 6}, {u'ㄱ', false, 7}, {u'ㅎ', false, 20}, {u'ㄲ', false, 21},
        {u'ㅏ', false, 26}, {u'ㅣ', false, 35}, {u'&', false, 36}, {u'A', false, 37},
        {u'Y', false, 61}, {u'Z', false, 0}, {u'1', false, 62}, {u'0', false, 71},
        {u'-', false, 72}, {u'ㅐ', false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.ch));
        EXPECT_EQ(NvKeyIndexFromChar(c.ch, c.numeric), c.index);
    }
}

bool AllSyllablesInKsX1001(std::u16string_view text);

// A vowel after a final moves the final on as the next initial. Where the
// two make no syllable of the code page (ㅆ + ㅑ, ㄲ + ㅒ, ...) neither key is
// lost: the consonant is committed alone and the vowel waits on its own.
// Every consonant key after 아 with every vowel key; whether a syllable
// exists is judged by iconv's EUC-KR table.
TEST(TextInputTest, AVowelAfterAnyFinalKeepsEveryKey) {
    const std::u16string consonants = u"ㄱㄴㄷㄹㅁㅂㅅㅇㅈㅊㅋㅌㅍㅎㄲㄸㅃㅆㅉ";
    const std::u16string vowels = u"ㅏㅓㅗㅜㅑㅕㅛㅠㅡㅣㅐㅒㅔㅖ";
    const std::u16string initials = u"ㄱㄲㄴㄷㄸㄹㅁㅂㅃㅅㅆㅇㅈㅉㅊㅋㅌㅍㅎ";
    int split = 0;
    for (char16_t c : consonants) {
        for (size_t v = 0; v < vowels.size(); ++v) {
            NvTextInput input;
            Type(input, u"ㅇㅏ");
            input.PressKey(KeyOf(c));
            if (v < 10) {
                input.PressKey(KeyOf(vowels[v]));
            } else {
                input.PressKey(77 + static_cast<int>(v - 10));   // the direct keys ㅐ ㅒ ㅔ ㅖ
            }
            const auto syllable = static_cast<char16_t>(0xAC00 + initials.find(c) * 588 + (vowels[v] - u'ㅏ') * 28);
            std::u16string expected = u"아";
            if (AllSyllablesInKsX1001(std::u16string(1, syllable))) {
                expected += syllable;
            } else {
                expected += c;
                expected += vowels[v];
                ++split;
            }
            SCOPED_TRACE(U8(std::u16string{u'ㅇ', u'ㅏ', c, vowels[v]}));
            EXPECT_EQ(U8(input.GetDisplayText()), U8(expected));
            EXPECT_EQ(input.GetLength(), static_cast<int32_t>(expected.size()));
        }
    }
    EXPECT_GE(split, 16);
}

// ---- libhangul as an oracle ------------------------------------------------

// Whether every syllable of a text is one of the 2350 of KS X 1001 (the
// EUC-KR repertoire), judged by iconv's EUC-KR table rather than the
// composer's own CP949 rule.
bool AllSyllablesInKsX1001(std::u16string_view text) {
    iconv_t cd = iconv_open("EUC-KR", "UTF-16LE");
    bool ok = cd != reinterpret_cast<iconv_t>(-1);
    for (char16_t ch : text) {
        if (!ok) break;
        if (ch < 0xAC00 || ch > 0xD7A3) continue;
        char in[2] = {static_cast<char>(ch & 0xFF), static_cast<char>(ch >> 8)};
        char out[8];
        char* inp = in;
        char* outp = out;
        size_t inLeft = 2, outLeft = sizeof out;
        ok = iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<size_t>(-1);
    }
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    return ok;
}

// The composer's keys as libhangul sees them: each jamo key is one ASCII key
// of a custom keyboard, and the combinations are exactly the composer's
// vowel and final pairs (written here as conjoining jamo).
struct OracleKey {
    int keyIndex;
    char ascii;
    char16_t jamo;   // 0: a plain key
};

std::vector<OracleKey> OracleKeys() {
    std::vector<OracleKey> keys;
    const std::u16string consonants = u"ㄱㄴㄷㄹㅁㅂㅅㅇㅈㅊㅋㅌㅍㅎㄲㄸㅃㅆㅉ";
    // Conjoining initial of each compatibility consonant above.
    const std::u16string initials = u"\u1100\u1102\u1103\u1105\u1106\u1107\u1109\u110B\u110C\u110E"
                                    u"\u110F\u1110\u1111\u1112\u1101\u1104\u1108\u110A\u110D";
    for (size_t i = 0; i < consonants.size(); ++i)
        keys.push_back({KeyOf(consonants[i]), static_cast<char>('a' + i), initials[i]});
    const std::u16string vowels = u"ㅏㅓㅗㅜㅑㅕㅛㅠㅡㅣ";
    const std::u16string medials = u"\u1161\u1165\u1169\u116E\u1163\u1167\u116D\u1172\u1173\u1175";
    for (size_t i = 0; i < vowels.size(); ++i)
        keys.push_back({KeyOf(vowels[i]), static_cast<char>('A' + i), medials[i]});
    // The direct compound-vowel keys ㅐ ㅒ ㅔ ㅖ.
    const std::u16string directMedials = u"\u1162\u1164\u1166\u1168";
    for (size_t i = 0; i < directMedials.size(); ++i)
        keys.push_back({77 + static_cast<int>(i), static_cast<char>('K' + i), directMedials[i]});
    keys.push_back({KeyOf(u'1'), '1', 0});
    keys.push_back({KeyOf(u' '), ' ', 0});
    return keys;
}

std::string KeyboardXml(const std::vector<OracleKey>& keys) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<hangul-keyboard id=\"navitest\" type=\"jamo\">\n<name>test</name>\n<map id=\"0\">\n";
    char line[96];
    for (const auto& k : keys) {
        if (k.jamo == 0) continue;
        snprintf(line, sizeof line, "<item key=\"0x%02x\" value=\"0x%04x\"/>\n", k.ascii, k.jamo);
        xml += line;
    }
    xml += "</map>\n<combination id=\"0\">\n";
    // Vowel pairs, then final pairs, in conjoining jamo.
    const unsigned pairs[][3] = {
        {0x1161, 0x1175, 0x1162}, {0x1163, 0x1175, 0x1164}, {0x1165, 0x1175, 0x1166},
        {0x1167, 0x1175, 0x1168}, {0x1169, 0x1161, 0x116A}, {0x1169, 0x1162, 0x116B},
        {0x1169, 0x1175, 0x116C}, {0x116E, 0x1165, 0x116F}, {0x116E, 0x1166, 0x1170},
        {0x116E, 0x1175, 0x1171}, {0x1173, 0x1175, 0x1174}, {0x116A, 0x1175, 0x116B},
        {0x116F, 0x1175, 0x1170},
        {0x11A8, 0x11A8, 0x11A9}, {0x11A8, 0x11BA, 0x11AA}, {0x11AB, 0x11BD, 0x11AC},
        {0x11AB, 0x11C2, 0x11AD}, {0x11AF, 0x11A8, 0x11B0}, {0x11AF, 0x11B7, 0x11B1},
        {0x11AF, 0x11B8, 0x11B2}, {0x11AF, 0x11BA, 0x11B3}, {0x11AF, 0x11C0, 0x11B4},
        {0x11AF, 0x11C1, 0x11B5}, {0x11AF, 0x11C2, 0x11B6}, {0x11B8, 0x11BA, 0x11B9},
        {0x11BA, 0x11BA, 0x11BB},
    };
    for (const auto& p : pairs) {
        snprintf(line, sizeof line, "<item first=\"0x%04x\" second=\"0x%04x\" result=\"0x%04x\"/>\n",
                 p[0], p[1], p[2]);
        xml += line;
    }
    xml += "</combination>\n</hangul-keyboard>\n";
    return xml;
}

void Append(std::u16string& out, const ucschar* s) {
    for (; s != nullptr && *s != 0; ++s) out += static_cast<char16_t>(*s);
}

TEST(TextInputTest, AgreesWithLibhangulOnRandomJamoSequences) {
    const auto keys = OracleKeys();
    testsupport::TempDir dir;
    const std::string path = dir.File("navitest.xml");
    dir.Write("navitest.xml", KeyboardXml(keys));
    std::unique_ptr<HangulKeyboard, decltype(&hangul_keyboard_delete)> keyboard(
        hangul_keyboard_new_from_file(path.c_str()), &hangul_keyboard_delete);
    ASSERT_NE(keyboard, nullptr);
    std::unique_ptr<HangulInputContext, decltype(&hangul_ic_delete)> context(hangul_ic_new("2"), &hangul_ic_delete);
    ASSERT_NE(context, nullptr);
    HangulInputContext* hic = context.get();
    hangul_ic_set_keyboard(hic, keyboard.get());

    const std::u16string vowelKeys = u"ABCDEFGHIJKLMN";
    std::mt19937 rng(20261210);
    int compared = 0;
    for (int round = 0; round < 20000; ++round) {
        const int n = 1 + static_cast<int>(rng() % 12);
        NvTextInput ours;
        std::u16string oracle;
        std::string typed;
        bool comparable = true;
        hangul_ic_reset(hic);
        for (int i = 0; i < n; ++i) {
            // Jamo much more often than plain keys.
            const auto& key = keys[rng() % 10 < 9 ? rng() % (keys.size() - 2) : keys.size() - 2 + rng() % 2];
            typed += key.ascii;
            ours.PressKey(key.keyIndex);
            if (key.jamo == 0) {
                Append(oracle, hangul_ic_flush(hic));
                oracle += static_cast<char16_t>(key.ascii);
                continue;
            }
            const bool loneVowel = hangul_ic_has_jungseong(hic) && !hangul_ic_has_choseong(hic);
            const size_t before = oracle.size();
            hangul_ic_process(hic, key.ascii);
            Append(oracle, hangul_ic_get_commit_string(hic));
            // By design a compound vowel typed without an initial is
            // committed at once here; libhangul keeps it open. Close it
            // there too so the rest of the sequence stays comparable.
            if (loneVowel && oracle.size() == before && hangul_ic_has_jungseong(hic) &&
                !hangul_ic_has_choseong(hic) && vowelKeys.find(static_cast<char16_t>(key.ascii)) != std::u16string::npos) {
                Append(oracle, hangul_ic_flush(hic));
            }
            // The composer never shows a syllable the code page lacks, even
            // for a moment; sequences where libhangul does are not compared.
            std::u16string preedit;
            Append(preedit, hangul_ic_get_preedit_string(hic));
            comparable = comparable && AllSyllablesInKsX1001(preedit) && AllSyllablesInKsX1001(oracle);
        }
        std::u16string shown = oracle;
        Append(shown, hangul_ic_get_preedit_string(hic));
        if (!comparable) continue;
        ++compared;
        ASSERT_EQ(U8(ours.GetDisplayText()), U8(shown)) << "keys " << typed;
    }
    EXPECT_GT(compared, 10000);
}

}  // namespace
