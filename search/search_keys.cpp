#include "search/search_keys.h"

#include <cstring>

#include "platform/codepage.h"

namespace {

constexpr char16_t kSyllableFirst = 0xAC00;
constexpr char16_t kSyllableLast = 0xD7A3;
constexpr char16_t kJamoFirst = 0x3131;
constexpr char16_t kJamoLast = 0x314E;
constexpr int kSyllablesPerInitial = 588;  // 21 vowels * 28 finals
constexpr int kFinalsPerVowel = 28;

// Initial index 0..18 of each compatibility consonant U+3131..U+314E; the
// double finals count as their first consonant.
constexpr uint8_t kJamoInitial[30] = {0, 1, 1, 2, 2, 2, 3, 4, 5, 5, 5, 5, 5, 5, 5,
                                      5, 6, 7, 8, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};

// Vowel group 1..7 of each medial vowel, in Unicode order ㅏ ㅐ ㅑ ㅒ ㅓ ㅔ
// ㅕ ㅖ ㅗ ㅘ ㅙ ㅚ ㅛ ㅜ ㅝ ㅞ ㅟ ㅠ ㅡ ㅢ ㅣ.
constexpr uint8_t kVowelGroup[21] = {1, 7, 2, 1, 5, 7, 6, 1, 3, 5, 1, 7, 4, 4, 7, 1, 2, 6, 6, 3, 2};

constexpr std::u16string_view kKeyAlphabet = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr std::u16string_view kInitialAlphabet = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ!%&()+,-./?@_";

// The first character of each initial, CP949: "가" .. "하" and "ㄱ" .. "ㅎ".
constexpr uint8_t kSyllableList[19][2] = {
    {0xB0, 0xA1}, {0xB1, 0xEE}, {0xB3, 0xAA}, {0xB4, 0xD9}, {0xB5, 0xFB}, {0xB6, 0xF3}, {0xB8, 0xB6},
    {0xB9, 0xD9}, {0xBA, 0xFC}, {0xBB, 0xE7}, {0xBD, 0xCE}, {0xBE, 0xC6}, {0xC0, 0xDA}, {0xC2, 0xA5},
    {0xC2, 0xF7}, {0xC4, 0xAB}, {0xC5, 0xB8}, {0xC6, 0xC4}, {0xC7, 0xCF}};
constexpr uint8_t kJamoList[19][2] = {
    {0xA4, 0xA1}, {0xA4, 0xA2}, {0xA4, 0xA4}, {0xA4, 0xA7}, {0xA4, 0xA8}, {0xA4, 0xA9}, {0xA4, 0xB1},
    {0xA4, 0xB2}, {0xA4, 0xB3}, {0xA4, 0xB5}, {0xA4, 0xB6}, {0xA4, 0xB7}, {0xA4, 0xB8}, {0xA4, 0xB9},
    {0xA4, 0xBA}, {0xA4, 0xBB}, {0xA4, 0xBC}, {0xA4, 0xBD}, {0xA4, 0xBE}};

bool IsSyllable(char16_t c) { return c >= kSyllableFirst && c <= kSyllableLast; }
bool IsJamo(char16_t c) { return c >= kJamoFirst && c <= kJamoLast; }

bool IsAsciiAlnum(uint8_t b) { return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'); }

// True for a syllable that CP949 encodes in its KS X 1001 part (rows
// 0xB0..0xC8, trail bytes 0xA1..0xFE).
bool IsKsX1001Syllable(char16_t c) {
    if (c < kSyllableFirst || c > 0xD79D) return false;
    std::string bytes;
    if (!platform::Utf16ToCp949(std::u16string_view(&c, 1), bytes) || bytes.size() != 2) return false;
    const auto lead = static_cast<uint8_t>(bytes[0]), trail = static_cast<uint8_t>(bytes[1]);
    return lead >= 0xB0 && lead <= 0xC8 && trail >= 0xA1;
}

}  // namespace

bool IsCp949Syllable(uint8_t lead, uint8_t trail) {
    if (lead >= 0x81 && lead <= 0xA0) return trail >= 0x41;
    if (lead >= 0xA1 && lead <= 0xC6 && trail < 0xA1) return trail >= 0x41;
    return lead >= 0xB0 && lead <= 0xC8 && trail >= 0xA1 && trail <= 0xFE;
}

std::string_view CutCp949(std::string_view text, size_t maxBytes) {
    size_t i = 0;
    while (i < text.size() && text[i] != '\0') {
        const size_t n = Cp949CharBytes(static_cast<uint8_t>(text[i]));
        if (i + n > maxBytes || i + n > text.size()) break;
        if (n == 2 && text[i + 1] == '\0') break;
        i += n;
    }
    return text.substr(0, i);
}

void CopyCp949Field(char* field, size_t fieldBytes, std::string_view text) {
    if (fieldBytes == 0) return;
    const std::string_view cut = CutCp949(text, fieldBytes - 1);
    std::memset(field, 0, fieldBytes);
    std::memcpy(field, cut.data(), cut.size());
}

// ------------------------------------------------------- name search keys

bool IsValidKeyword(std::string_view cp949Keyword) {
    std::u16string text;
    if (!platform::Cp949ToUtf16(cp949Keyword, text)) return false;
    if (text.size() > 128) text.resize(128);
    for (char16_t c : text) {
        if (IsJamo(c)) continue;
        if (c < 0x80 && kInitialAlphabet.find(c) != std::u16string_view::npos) continue;
        if (IsKsX1001Syllable(c)) continue;
        return false;
    }
    return true;
}

int InitialConsonantNumber(char16_t c) {
    if (IsSyllable(c)) return (c - kSyllableFirst) / kSyllablesPerInitial + 1;
    if (IsJamo(c)) return kJamoInitial[c - kJamoFirst] + 1;
    return 0;
}

int MakeSearchKey(std::u16string_view keyword, std::vector<uint8_t>& key, int* charCount) {
    key.clear();
    bool consonants = false, syllables = false;
    for (char16_t c : keyword.substr(0, kSearchKeyMaxChars)) {
        uint8_t b = 31;
        if (c < kJamoFirst) {
            const size_t pos = kKeyAlphabet.find(c);
            if (pos != std::u16string_view::npos && pos < 30) b = static_cast<uint8_t>(pos + 1);
        } else if (c < kSyllableFirst) {
            if (IsJamo(c)) {
                b = static_cast<uint8_t>(0x20 + InitialConsonantNumber(c));
                consonants = true;
            }
        } else if (IsSyllable(c)) {
            const int vowel = (c - kSyllableFirst) % kSyllablesPerInitial / kFinalsPerVowel;
            b = static_cast<uint8_t>(kVowelGroup[vowel] * 32 + InitialConsonantNumber(c));
            syllables = true;
        }
        key.push_back(b);
    }
    if (charCount) *charCount = static_cast<int>(key.size());
    if (consonants && syllables) return kKeyClassMixed;
    if (consonants) return kKeyClassConsonants;
    if (syllables) return kKeyClassSyllables;
    return kKeyClassNone;
}

std::vector<uint8_t> MakeInitialKey(std::u16string_view keyword, size_t length) {
    std::vector<uint8_t> key(length, 0);
    for (size_t i = 0; i < keyword.size() && i < length; ++i) {
        const char16_t c = keyword[i];
        if (c < kJamoFirst) {
            const size_t pos = kInitialAlphabet.find(c);
            key[i] = pos == std::u16string_view::npos ? 0 : static_cast<uint8_t>(pos + 1);
        } else if (IsJamo(c) || IsSyllable(c)) {
            key[i] = static_cast<uint8_t>(50 + InitialConsonantNumber(c));
        }
    }
    return key;
}

// ------------------------------------------------- address text index keys

int CharClass(char16_t c) {
    if (c >= 0xAC00 && c <= 0xD7A4) return kCharSyllable;
    if (IsJamo(c)) return kCharJamo;
    if (c >= u'A' && c <= u'Z') return kCharUpper;
    if (c >= u'a' && c <= u'z') return kCharLower;
    if (c >= u'0' && c <= u'9') return kCharDigit;
    return kCharOther;
}

int ClassifyKeyword(std::u16string_view keyword) {
    if (keyword.empty()) return kCharOther;
    bool jamo = false, syllable = false;
    for (char16_t c : keyword) {
        const int cls = CharClass(c);
        jamo |= cls == kCharJamo;
        syllable |= cls == kCharSyllable;
    }
    if (jamo && syllable) return kCharMixed;
    if (jamo) return kCharJamo;
    if (syllable) return kCharSyllable;
    return CharClass(keyword.back());
}

int InitialIndexOf(const uint8_t* ch, size_t len, InitialList list) {
    const auto& entries = list == InitialList::kSyllables ? kSyllableList : kJamoList;
    const uint8_t lead = ch[0], trail = len > 1 ? ch[1] : 0;
    for (int j = 1; j < 19; ++j) {
        const uint8_t el = entries[j][0], et = entries[j][1];
        if (len < 2) {
            if (lead < el) return j - 1;
            continue;
        }
        if (lead == el && trail == et) return j;
        if (lead < el || (lead == el && trail < et)) return j - 1;
    }
    return 18;
}

int BucketKey(std::string_view text, InitialList list) {
    int index[2] = {0, 0};
    size_t pos = 0;
    for (int i = 0; i < 2 && pos < text.size() && text[pos] != '\0'; ++i) {
        const auto* p = reinterpret_cast<const uint8_t*>(text.data() + pos);
        if (IsAsciiAlnum(p[0])) break;
        const size_t n = pos + Cp949CharBytes(p[0]) <= text.size() ? Cp949CharBytes(p[0]) : 1;
        index[i] = InitialIndexOf(p, n, list);
        pos += n;
    }
    return index[0] * 19 + index[1];
}

std::string ConsonantsOf(std::string_view text) {
    std::string out(text);
    for (size_t i = 0; i < out.size();) {
        const auto lead = static_cast<uint8_t>(out[i]);
        if (Cp949CharBytes(lead) == 2 && i + 1 < out.size()) {
            const auto trail = static_cast<uint8_t>(out[i + 1]);
            if (IsCp949Syllable(lead, trail)) {
                const int initial = InitialIndexOf(reinterpret_cast<const uint8_t*>(out.data() + i), 2,
                                                   InitialList::kSyllables);
                out[i] = static_cast<char>(kJamoList[initial][0]);
                out[i + 1] = static_cast<char>(kJamoList[initial][1]);
            }
            i += 2;
        } else {
            ++i;
        }
    }
    return out;
}

std::string MakeJamoMask(std::string_view text) {
    std::string mask(text.size(), static_cast<char>(0xFF));
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<uint8_t>(text[i]);
        if (Cp949CharBytes(lead) == 2 && i + 1 < text.size()) {
            if (IsCp949Jamo(lead, static_cast<uint8_t>(text[i + 1]))) mask[i] = mask[i + 1] = 0;
            i += 2;
        } else {
            ++i;
        }
    }
    return mask;
}
