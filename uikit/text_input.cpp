#include "uikit/text_input.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <string>

#include "platform/codepage.h"

const char16_t kTextKeyTable[kTextKeyCount] = {
    0, 0, 0, 0, u' ', 3, 8,
    u'ㄱ', u'ㄴ', u'ㄷ', u'ㄹ', u'ㅁ', u'ㅂ', u'ㅅ', u'ㅇ', u'ㅈ', u'ㅊ', u'ㅋ', u'ㅌ', u'ㅍ', u'ㅎ',
    u'ㄲ', u'ㄸ', u'ㅃ', u'ㅆ', u'ㅉ',
    u'ㅏ', u'ㅓ', u'ㅗ', u'ㅜ', u'ㅑ', u'ㅕ', u'ㅛ', u'ㅠ', u'ㅡ', u'ㅣ',
    u'&',
    u'A', u'B', u'C', u'D', u'E', u'F', u'G', u'H', u'I', u'J', u'K', u'L', u'M',
    u'N', u'O', u'P', u'Q', u'R', u'S', u'T', u'U', u'V', u'W', u'X', u'Y',
    u'1', u'2', u'3', u'4', u'5', u'6', u'7', u'8', u'9', u'0',
    u'-', u'&',
};

namespace {

constexpr char16_t kClearAll = 3;
constexpr char16_t kBackspace = 8;

constexpr std::array<char16_t, kTextDirectKeyLast - kTextDirectKeyFirst + 1> kDirectKeys = {
    u'Y', u'Z', u'ㅐ', u'ㅒ', u'ㅔ', u'ㅖ'};

constexpr char16_t kInitials[19] = {u'ㄱ', u'ㄲ', u'ㄴ', u'ㄷ', u'ㄸ', u'ㄹ', u'ㅁ', u'ㅂ', u'ㅃ', u'ㅅ',
                                    u'ㅆ', u'ㅇ', u'ㅈ', u'ㅉ', u'ㅊ', u'ㅋ', u'ㅌ', u'ㅍ', u'ㅎ'};
// Index 0 is "no final".
constexpr char16_t kFinals[28] = {u' ', u'ㄱ', u'ㄲ', u'ㄳ', u'ㄴ', u'ㄵ', u'ㄶ', u'ㄷ', u'ㄹ', u'ㄺ',
                                  u'ㄻ', u'ㄼ', u'ㄽ', u'ㄾ', u'ㄿ', u'ㅀ', u'ㅁ', u'ㅂ', u'ㅄ', u'ㅅ',
                                  u'ㅆ', u'ㅇ', u'ㅈ', u'ㅊ', u'ㅋ', u'ㅌ', u'ㅍ', u'ㅎ'};

struct JamoPair {
    char16_t first;
    char16_t second;
    char16_t compound;
};
constexpr JamoPair kVowelPairs[] = {
    {u'ㅏ', u'ㅣ', u'ㅐ'}, {u'ㅑ', u'ㅣ', u'ㅒ'}, {u'ㅓ', u'ㅣ', u'ㅔ'}, {u'ㅕ', u'ㅣ', u'ㅖ'},
    {u'ㅗ', u'ㅏ', u'ㅘ'}, {u'ㅗ', u'ㅐ', u'ㅙ'}, {u'ㅗ', u'ㅣ', u'ㅚ'}, {u'ㅜ', u'ㅓ', u'ㅝ'},
    {u'ㅜ', u'ㅔ', u'ㅞ'}, {u'ㅜ', u'ㅣ', u'ㅟ'}, {u'ㅡ', u'ㅣ', u'ㅢ'}, {u'ㅘ', u'ㅣ', u'ㅙ'},
    {u'ㅝ', u'ㅣ', u'ㅞ'},
};
constexpr JamoPair kFinalPairs[] = {
    {u'ㄱ', u'ㄱ', u'ㄲ'}, {u'ㄱ', u'ㅅ', u'ㄳ'}, {u'ㄴ', u'ㅈ', u'ㄵ'}, {u'ㄴ', u'ㅎ', u'ㄶ'},
    {u'ㄹ', u'ㄱ', u'ㄺ'}, {u'ㄹ', u'ㅁ', u'ㄻ'}, {u'ㄹ', u'ㅂ', u'ㄼ'}, {u'ㄹ', u'ㅅ', u'ㄽ'},
    {u'ㄹ', u'ㅌ', u'ㄾ'}, {u'ㄹ', u'ㅍ', u'ㄿ'}, {u'ㄹ', u'ㅎ', u'ㅀ'}, {u'ㅂ', u'ㅅ', u'ㅄ'},
    {u'ㅅ', u'ㅅ', u'ㅆ'},
};

char16_t FindPair(const JamoPair* pairs, size_t count, char16_t first, char16_t second) {
    for (size_t i = 0; i < count; ++i) {
        if (pairs[i].first == first && pairs[i].second == second) return pairs[i].compound;
    }
    return 0;
}
char16_t VowelPair(char16_t a, char16_t b) { return FindPair(kVowelPairs, std::size(kVowelPairs), a, b); }
char16_t FinalPair(char16_t a, char16_t b) { return FindPair(kFinalPairs, std::size(kFinalPairs), a, b); }

bool IsConsonant(char16_t ch) { return ch >= 0x3131 && ch <= 0x314E; }
bool IsVowel(char16_t ch) { return ch >= 0x314F && ch <= 0x3163; }

constexpr char16_t kSyllableFirst = 0xAC00;
constexpr int kSyllableCount = 11172;

// Which syllables the code page gives a code in its common-syllable rows
// (lead byte 0xB0-0xC8, trail 0xA1-0xFE; the symbol rows 0xA1-0xAC hold no
// syllables but pass the same test). Built once: a conversion per key press
// would cost more than the whole composition.
const std::bitset<kSyllableCount>& ComposableSyllables() {
    static const std::bitset<kSyllableCount> table = [] {
        std::bitset<kSyllableCount> bits;
        std::string bytes;
        for (int i = 0; i < kSyllableCount; ++i) {
            const char16_t syllable = static_cast<char16_t>(kSyllableFirst + i);
            if (!platform::Utf16ToCp949(std::u16string_view(&syllable, 1), bytes)) continue;
            if (bytes.size() != 2) {
                bits.set(i);   // nothing but a two-byte code is judged
                continue;
            }
            const auto lead = static_cast<uint8_t>(bytes[0]);
            const auto trail = static_cast<uint8_t>(bytes[1]);
            const bool trailOk = trail >= 0xA1 && trail <= 0xFE;
            const bool leadOk = (lead >= 0xB0 && lead <= 0xC8) || (lead >= 0xA1 && lead <= 0xAC);
            bits.set(i, leadOk && trailOk);
        }
        return bits;
    }();
    return table;
}

}  // namespace

int HangulInitialIndex(char16_t jamo) {
    const auto* it = std::find(std::begin(kInitials), std::end(kInitials), jamo);
    return it == std::end(kInitials) ? -1 : static_cast<int>(it - std::begin(kInitials));
}

int HangulVowelIndex(char16_t jamo) { return IsVowel(jamo) ? jamo - 0x314F : -1; }

int HangulFinalIndex(char16_t jamo) {
    const auto* it = std::find(std::begin(kFinals), std::end(kFinals), jamo);
    return it == std::end(kFinals) ? -1 : static_cast<int>(it - std::begin(kFinals));
}

bool IsComposableSyllable(char16_t syllable) {
    if (syllable < kSyllableFirst || syllable >= kSyllableFirst + kSyllableCount) return false;
    return ComposableSyllables().test(syllable - kSyllableFirst);
}

int NvKeyIndexFromChar(char16_t ch, bool numeric) {
    if (numeric) {
        if (ch >= u'1' && ch <= u'9') return ch - u'1';
        if (ch == u'0') return 9;
        if (ch == kBackspace) return 11;
        return 12;
    }
    const auto* it = std::find(std::begin(kTextKeyTable), std::end(kTextKeyTable), ch);
    return it == std::end(kTextKeyTable) ? 0 : static_cast<int>(it - std::begin(kTextKeyTable));
}

NvTextInput::NvTextInput() = default;

void NvTextInput::PressKey(int keyIndex) {
    if (keyIndex >= 4 && keyIndex < kTextKeyCount) {
        const char16_t ch = kTextKeyTable[keyIndex];
        if (ch == kClearAll) {
            ClearComposition();
            std::fill(std::begin(m_text), std::end(m_text), char16_t{0});
            m_caret = 0;
            m_length = 0;
            return;
        }
        Step(ch, false);
    } else if (keyIndex >= kTextDirectKeyFirst && keyIndex <= kTextDirectKeyLast) {
        Step(kDirectKeys[keyIndex - kTextDirectKeyFirst], true);
    }
}

void NvTextInput::Step(char16_t ch, bool direct) {
    KeyClass cls = KeyClass::kPlain;
    if (ch == kBackspace) cls = KeyClass::kBackspace;
    else if (IsConsonant(ch)) cls = KeyClass::kConsonant;
    else if (IsVowel(ch)) cls = KeyClass::kVowel;

    switch (m_state) {
    case kComposeNone: StepNone(cls, ch); break;
    case kComposeInitial: StepInitial(cls, ch); break;
    case kComposeVowel: StepVowel(cls, ch); break;
    case kComposeFinal: StepFinal(cls, ch); break;
    case kComposePlain: StepPlain(cls, ch, direct); break;
    default: ClearComposition(); break;
    }
}

void NvTextInput::StepNone(KeyClass cls, char16_t ch) {
    switch (cls) {
    case KeyClass::kConsonant: StartConsonant(ch); break;
    case KeyClass::kVowel: StartVowel(ch); break;
    case KeyClass::kBackspace: DeleteBeforeCaret(); break;
    case KeyClass::kPlain: StartPlain(ch); break;
    }
}

void NvTextInput::StepInitial(KeyClass cls, char16_t ch) {
    switch (cls) {
    case KeyClass::kConsonant:
        Commit();
        StartConsonant(ch);
        break;
    case KeyClass::kVowel:
        m_vowel = ch;
        m_state = kComposeVowel;
        if (!Compose()) {
            // The pair has no syllable (ㅆ + ㅑ): keep the consonant as it is
            // and let the vowel start a character of its own, so neither key
            // is lost.
            m_vowel = 0;
            m_state = kComposeInitial;
            Commit();
            StartVowel(ch);
        }
        break;
    case KeyClass::kBackspace: ClearComposition(); break;
    case KeyClass::kPlain:
        if (!HasRoom()) return;
        Commit();
        StartPlain(ch);
        break;
    }
}

void NvTextInput::StepVowel(KeyClass cls, char16_t ch) {
    switch (cls) {
    case KeyClass::kConsonant:
        if (m_initial != 0 && HangulFinalIndex(ch) > 0) {
            m_final = ch;
            m_state = kComposeFinal;
            if (Compose()) return;
            m_final = 0;
            m_state = kComposeVowel;
        }
        Commit();
        StartConsonant(ch);
        break;
    case KeyClass::kVowel: {
        const char16_t compound = VowelPair(m_vowel, ch);
        if (compound != 0 && m_initial == 0) {
            // A compound vowel on its own is committed at once.
            m_vowel2 = ch;
            Compose();
            Commit();
            return;
        }
        if (compound != 0) {
            const char16_t previous = m_vowel;
            m_vowel = compound;
            if (Compose()) return;
            // No syllable with the compound: the shown one stays and the
            // vowel starts the next character, as for a vowel that pairs
            // with nothing.
            m_vowel = previous;
        }
        Commit();
        StartVowel(ch);
        break;
    }
    case KeyClass::kBackspace:
        m_vowel = 0;
        m_vowel2 = 0;
        m_state = m_initial != 0 ? kComposeInitial : kComposeNone;
        Compose();
        break;
    case KeyClass::kPlain:
        if (!HasRoom()) return;
        Commit();
        StartPlain(ch);
        break;
    }
}

void NvTextInput::StepFinal(KeyClass cls, char16_t ch) {
    switch (cls) {
    case KeyClass::kConsonant:
        if (m_final2 == 0 && FinalPair(m_final, ch) != 0) {
            m_final2 = ch;
            if (Compose()) return;
            m_final2 = 0;
        }
        Commit();
        StartConsonant(ch);
        break;
    case KeyClass::kVowel: {
        // The last final moves on to start the next syllable.
        char16_t taken;
        if (m_final2 != 0) {
            taken = m_final2;
            m_final2 = 0;
        } else {
            taken = m_final;
            m_final = 0;
        }
        Compose();
        Commit();
        if (!HasRoom()) return;
        m_initial = taken;
        m_vowel = ch;
        m_state = kComposeVowel;
        if (!Compose()) {
            // The moved consonant and the vowel make no syllable (ㅆ + ㅑ):
            // the consonant is committed alone and the vowel starts a
            // character of its own, as after a lone initial.
            m_vowel = 0;
            m_state = kComposeInitial;
            Compose();
            Commit();
            StartVowel(ch);
        }
        break;
    }
    case KeyClass::kBackspace:
        if (m_final2 != 0) {
            m_final2 = 0;
        } else {
            m_final = 0;
            m_state = kComposeVowel;
        }
        Compose();
        break;
    case KeyClass::kPlain:
        Commit();
        StartPlain(ch);
        break;
    }
}

void NvTextInput::StepPlain(KeyClass cls, char16_t ch, bool direct) {
    Commit();
    switch (cls) {
    case KeyClass::kConsonant: StartConsonant(ch); break;
    case KeyClass::kVowel: StartVowel(ch); break;
    case KeyClass::kBackspace: DeleteBeforeCaret(); break;
    case KeyClass::kPlain:
        if (!HasRoom()) return;
        // "Y" twice types "Z": the keyboard has no "Z" key of its own.
        if (!direct && ch == u'Y' && m_caret > 0 && m_text[m_caret - 1] == u'Y') {
            std::copy(m_text + m_caret, m_text + m_length + 1, m_text + m_caret - 1);
            --m_caret;
            --m_length;
            ch = u'Z';
        }
        m_composed = ch;
        m_state = kComposePlain;
        break;
    }
}

void NvTextInput::StartConsonant(char16_t ch) {
    if (!HasRoom()) return;
    m_initial = ch;
    m_state = kComposeInitial;
    Compose();
}

void NvTextInput::StartVowel(char16_t ch) {
    if (!HasRoom()) return;
    m_initial = 0;
    m_vowel = ch;
    m_state = kComposeVowel;
    Compose();
}

void NvTextInput::StartPlain(char16_t ch) {
    if (!HasRoom()) return;
    m_composed = ch;
    m_state = kComposePlain;
}

bool NvTextInput::Compose() {
    if (m_vowel2 != 0) {
        const char16_t compound = VowelPair(m_vowel, m_vowel2);
        if (compound != 0) m_vowel = compound;
        m_vowel2 = 0;
    }
    char16_t final = m_final;
    if (m_final2 != 0) {
        const char16_t compound = FinalPair(m_final, m_final2);
        if (compound != 0) final = compound;
    }

    const int initial = HangulInitialIndex(m_initial);
    const int vowel = HangulVowelIndex(m_vowel);
    if (initial < 0) {
        m_composed = m_vowel;
        return true;
    }
    if (vowel < 0) {
        m_composed = m_initial;
        return true;
    }
    const int finalIndex = final != 0 ? std::max(HangulFinalIndex(final), 0) : 0;
    const auto syllable = static_cast<char16_t>(kSyllableFirst + initial * 588 + vowel * 28 + finalIndex);
    if (!IsComposableSyllable(syllable)) return false;
    m_composed = syllable;
    return true;
}

void NvTextInput::Commit() {
    const char16_t ch = m_composed;
    ClearComposition();
    // The caret is held to 0..length and the room check keeps the length
    // below the buffer; the test guards a composer state nobody typed.
    if (ch == 0 || m_length >= kMaxTextChars) return;
    std::copy_backward(m_text + m_caret, m_text + m_length, m_text + m_length + 1);
    m_text[m_caret] = ch;
    ++m_caret;
    ++m_length;
    m_text[m_length] = 0;
}

void NvTextInput::ClearComposition() {
    m_state = kComposeNone;
    m_initial = m_vowel = m_vowel2 = m_final = m_final2 = 0;
    m_composed = 0;
}

void NvTextInput::DeleteBeforeCaret() {
    m_caret = std::min(m_caret, m_length);
    if (m_caret == 0) return;
    std::copy(m_text + m_caret, m_text + m_length + 1, m_text + m_caret - 1);
    --m_caret;
    --m_length;
}

const char16_t* NvTextInput::GetDisplayText() {
    std::copy(m_text, m_text + m_length, m_display);
    int32_t shown = m_length;
    if (m_state != kComposeNone && m_composed != 0) {
        std::copy_backward(m_display + m_caret, m_display + m_length, m_display + m_length + 1);
        m_display[m_caret] = m_composed;
        ++shown;
    }
    m_display[shown] = 0;
    return m_display;
}

// The caret index an edit field shows: the caret counts the character being
// composed at it.
int32_t NvTextInput::GetLength() const {
    return m_caret + (m_state != kComposeNone && m_composed != 0 ? 1 : 0);
}

void NvTextInput::SetText(const char16_t* text) {
    ClearComposition();
    std::fill(std::begin(m_text), std::end(m_text), char16_t{0});
    int32_t n = 0;
    if (text != nullptr) {
        while (n < kMaxTextChars && text[n] != 0) {
            m_text[n] = text[n];
            ++n;
        }
    }
    m_length = n;
    m_caret = n;
}

void NvTextInput::SetCaretPos(int32_t position) {
    ClearComposition();
    m_caret = std::clamp(position, 0, m_length);
}

void NvTextInput::SetMaxLength(int32_t n) {
    m_maxLength = (n >= 1 && n <= kMaxTextChars) ? n + 1 : kBufferChars;
}
