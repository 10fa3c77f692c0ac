#pragma once
// The codings of Hangul text that the search engines use. Each engine keeps
// its own, made as its data files were made, so they differ on purpose:
//
//   - the search key (MakeSearchKey): one byte per character, the initial
//     consonant and a vowel group of a syllable, for the name search;
//   - the initial-consonant key (MakeInitialKey): one byte per character,
//     for the initial-consonant indexes of the name files;
//   - the character classes of the address text index (CharClass,
//     ClassifyKeyword) and its bucket keys (BucketKey, ConsonantsOf,
//     MakeJamoMask), which work on CP949 bytes: a syllable's initial comes
//     from comparing its two bytes with the syllables and jamo that start
//     each initial, as the index files were sorted.
//
// The foundation's initial-consonant key (NvString::MakeChosungKey) is a
// fourth one, for the driver's own lists.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// ------------------------------------------------------------- CP949 text

// Bytes of the CP949 character that starts with lead: 2 for 0x81..0xFE,
// else 1.
inline size_t Cp949CharBytes(uint8_t lead) { return lead >= 0x81 && lead <= 0xFE ? 2 : 1; }
// True when the two bytes encode a Hangul syllable U+AC00..U+D7A3 (the 2350
// of KS X 1001 and the 8822 of the extension).
bool IsCp949Syllable(uint8_t lead, uint8_t trail);
// True for the compatibility consonants U+3131..U+314E (0xA4A1..0xA4BE).
inline bool IsCp949Jamo(uint8_t lead, uint8_t trail) { return lead == 0xA4 && trail >= 0xA1 && trail <= 0xBE; }
// The longest prefix of text that has at most maxBytes bytes, stops at the
// first zero byte and does not end inside a two-byte character.
std::string_view CutCp949(std::string_view text, size_t maxBytes);
// Copies text cut as above into a field of fieldBytes bytes, zero-filled
// behind it (so at most fieldBytes - 1 bytes of text).
void CopyCp949Field(char* field, size_t fieldBytes, std::string_view text);

// ------------------------------------------------------- name search keys

// Keyword classes of MakeSearchKey.
inline constexpr int kKeyClassNone = 0;
inline constexpr int kKeyClassConsonants = 1;
inline constexpr int kKeyClassSyllables = 2;
inline constexpr int kKeyClassMixed = 3;
inline constexpr size_t kSearchKeyMaxChars = 37;

// True when every character of the CP949 keyword is a KS X 1001 Hangul
// syllable, a compatibility consonant, an upper-case letter, a digit or one
// of "!%&()+,-./?@_" (at most 128 characters are looked at). Bytes that are
// not CP949 fail.
bool IsValidKeyword(std::string_view cp949Keyword);

// Initial-consonant number 1..19 of a syllable or compatibility consonant,
// 0 for any other character.
int InitialConsonantNumber(char16_t c);

// One key byte per character (at most 37) into key; the keyword class is
// returned and the character count stored in charCount. Characters in
// U+3131..U+ABFF that are not consonants (bare vowels and the like, which
// IsValidKeyword refuses) take the byte 31 of an unknown character.
int MakeSearchKey(std::u16string_view keyword, std::vector<uint8_t>& key, int* charCount = nullptr);

// The initial-consonant key of the keyword, padded with zeros (or cut) to
// length bytes.
std::vector<uint8_t> MakeInitialKey(std::u16string_view keyword, size_t length);

// ------------------------------------------------- address text index keys

// Character classes of the address text index.
inline constexpr int kCharDigit = 0;
inline constexpr int kCharUpper = 1;
inline constexpr int kCharLower = 2;
inline constexpr int kCharJamo = 3;
inline constexpr int kCharSyllable = 4;
inline constexpr int kCharMixed = 5;   // keyword class: syllables and jamo
inline constexpr int kCharOther = 6;

int CharClass(char16_t c);
// 3 jamo and no syllable, 4 syllables and no jamo, 5 both, else the class of
// the last character; 6 for an empty keyword.
int ClassifyKeyword(std::u16string_view keyword);

enum class InitialList { kSyllables, kJamo };
inline constexpr int kTextBucketCount = 361;  // 19 * 19

// Initial index 0..18 of the CP949 character at text (len bytes, 1 or 2),
// by comparison with the list's first character of each initial.
int InitialIndexOf(const uint8_t* ch, size_t len, InitialList list);
// Bucket of the first two characters: i0 * 19 + i1. A character whose first
// byte is an ASCII letter or digit gives index 0 to itself and to the
// characters after it; a missing character counts as index 0.
int BucketKey(std::string_view cp949Text, InitialList list);
// Every Hangul syllable replaced by the jamo of its initial; other
// characters kept. The byte length does not change.
std::string ConsonantsOf(std::string_view cp949Text);
// 0xFF for each byte of a character that is not a jamo, 0x00 for the bytes
// of a jamo.
std::string MakeJamoMask(std::string_view cp949Text);
