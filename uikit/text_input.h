#pragma once
// The text being typed on the on-screen keyboard: a UTF-16 buffer with a
// caret, and a two-set Hangul composer that builds a syllable from the jamo
// keys and shows it at the caret until it is complete.
//
// The keyboard control hands key indexes to PressKey; the screens read the
// committed text (GetBuffer) and what the edit box shows (GetDisplayText),
// and set the text or the caret directly. Only syllables with a code of
// their own in the Korean code page (the 2350 common ones) are composed:
// the map data and the search keys are CP949.
//
// Not thread-safe: an input belongs to its screen, on the main thread.
#include <cstdint>

// Key table shared with the keyboard control: index -> character. 0 is no
// character, 3 clears everything, 8 is backspace.
inline constexpr int kTextKeyCount = 74;
extern const char16_t kTextKeyTable[kTextKeyCount];

// Key indexes past the table: characters typed as they are, without the
// composer's "Y" rule (75 "Y", 76 "Z", 77-80 the compound vowels ㅐ ㅒ ㅔ ㅖ).
inline constexpr int kTextDirectKeyFirst = 75;
inline constexpr int kTextDirectKeyLast = 80;

// Key indexes with a fixed role.
inline constexpr int kTextKeySpace = 4;
inline constexpr int kTextKeyClear = 5;
inline constexpr int kTextKeyBackspace = 6;

// Composition states.
enum TextComposeState : int32_t {
    kComposeNone = 0,       // nothing shown at the caret
    kComposeInitial = 1,    // an initial consonant alone
    kComposeVowel = 2,      // a vowel, with or without an initial
    kComposeFinal = 3,      // initial, vowel and final
    kComposePlain = 4,      // a non-jamo character waiting at the caret
};

class NvTextInput {
public:
    static constexpr int kBufferChars = 512;           // with the terminator
    static constexpr int kMaxTextChars = kBufferChars - 1;

    NvTextInput();
    virtual ~NvTextInput() = default;

    // Indexes 0-3, 74 and past 80 are ignored; 5 empties everything.
    void PressKey(int keyIndex);

    // The committed text with the character being composed inserted at the
    // caret; valid until the next call on this input.
    const char16_t* GetDisplayText();
    const char16_t* GetBuffer() const { return m_text; }
    // The characters up to and with the caret: the caret position, plus one
    // while a character is being composed at it (the edit field's caret index).
    int32_t GetLength() const;
    int32_t GetCaretPos() const { return m_caret; }
    int32_t GetState() const { return m_state; }

    // Drops the composition and replaces the text (at most 511 characters:
    // a longer one is cut); the caret goes to its end. Null empties it.
    void SetText(const char16_t* text);
    // Drops the composition without committing it; the caret is held to
    // 0..length, so typing after it always lands in the text.
    void SetCaretPos(int32_t position);
    // n in 1..511 lets n characters be typed; anything else 511.
    void SetMaxLength(int32_t n);

private:
    enum class KeyClass { kBackspace, kConsonant, kVowel, kPlain };

    void Step(char16_t ch, bool direct);
    void StepNone(KeyClass cls, char16_t ch);
    void StepInitial(KeyClass cls, char16_t ch);
    void StepVowel(KeyClass cls, char16_t ch);
    void StepFinal(KeyClass cls, char16_t ch);
    void StepPlain(KeyClass cls, char16_t ch, bool direct);

    bool HasRoom() const { return m_length + 1 < m_maxLength; }
    void StartConsonant(char16_t ch);
    void StartVowel(char16_t ch);
    void StartPlain(char16_t ch);
    // Builds the composed character from the jamo fields; false (and the
    // composed character unchanged) when the syllable has no code.
    bool Compose();
    void Commit();
    void ClearComposition();
    void DeleteBeforeCaret();

    int32_t m_length = 0;
    char16_t m_text[kBufferChars] = {};
    char16_t m_display[kBufferChars + 1] = {};
    int32_t m_state = kComposeNone;
    char16_t m_initial = 0;
    char16_t m_vowel = 0;
    char16_t m_vowel2 = 0;
    char16_t m_final = 0;
    char16_t m_final2 = 0;
    char16_t m_composed = 0;
    int32_t m_caret = 0;
    int32_t m_maxLength = kBufferChars;
};

// Key index of a character: in numeric mode (the number pad) "1"-"9" give
// 0-8, "0" 9, backspace 11 and anything else 12; otherwise its first place
// in the key table, or 0.
int NvKeyIndexFromChar(char16_t ch, bool numeric);

// Hangul syllable arithmetic on compatibility jamo, shared with the tests'
// expectations of the keyboard: -1 when the jamo has no place in the list.
int HangulInitialIndex(char16_t jamo);
int HangulVowelIndex(char16_t jamo);
int HangulFinalIndex(char16_t jamo);   // 0 is "no final"
// Whether a syllable U+AC00..U+D7A3 has a code in the Korean code page's
// common-syllable range, the only syllables the composer builds.
bool IsComposableSyllable(char16_t syllable);
