#pragma once
// NvString: the UTF-16 string passed around the whole program.
//
// A string either has no buffer at all (a string that never held text, or
// one emptied with a null text) or a buffer whose capacity is a multiple of
// 512 characters and which is zero beyond the text. The difference matters:
// an empty text with a buffer and a string without one compare differently
// (CompareNoCase, IsEqualNoCase).
//
// Operations that cannot allocate leave the string unchanged and report 0;
// nothing here throws.
//
// Case-insensitive comparison folds ASCII A-Z, Latin-1, Latin Extended-A,
// basic Greek and Cyrillic capitals and the full-width Latin capitals to
// lower case, one UTF-16 unit at a time (as the Windows runtime's _wcsicmp
// does for those ranges); Hangul and all other text compare exactly.
#include <cstdarg>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

namespace platform {
struct CodecError;
}

// Characters Format writes at most (the rest is cut off).
inline constexpr int kNvStringFormatMaxChars = 2048;
// Characters of an initial-consonant key or text that are looked at.
inline constexpr int kChosungKeyMaxChars = 63;

// One argument of NvString::Format, with its kind.
struct NvFormatArg {
    enum Kind : uint8_t { kInteger, kWideText, kUtf8Text } kind = kInteger;
    union {
        int32_t integer = 0;
        const char16_t* wide;
        const char* bytes;
    };
};

namespace nv_string_detail {
template <typename>
inline constexpr bool kUnsupportedFormatArg = false;

template <typename T>
NvFormatArg FormatArg(T value) {
    NvFormatArg arg;
    if constexpr (std::is_enum_v<T>) {
        arg.integer = static_cast<int32_t>(value);
    } else if constexpr (std::is_integral_v<T>) {
        // Integers travel as 32-bit values, as on the original 32-bit
        // system where long was 32-bit too.
        arg.integer = static_cast<int32_t>(value);
    } else if constexpr (std::is_same_v<T, const char16_t*> || std::is_same_v<T, char16_t*> ||
                         std::is_null_pointer_v<T>) {
        arg.kind = NvFormatArg::kWideText;
        arg.wide = value;
    } else if constexpr (std::is_same_v<T, const char*> || std::is_same_v<T, char*>) {
        arg.kind = NvFormatArg::kUtf8Text;
        arg.bytes = value;
    } else {
        static_assert(kUnsupportedFormatArg<T>,
                      "NvString::Format takes integers, enums and C strings (char16_t* or UTF-8 char*) only");
    }
    return arg;
}
}  // namespace nv_string_detail

class NvString {
public:
    NvString() = default;
    NvString(const char16_t* text);  // NOLINT: implicit like a C string
    explicit NvString(std::u16string_view text);
    NvString(const NvString& other);
    NvString(NvString&& other) noexcept;
    NvString& operator=(const NvString& other);
    NvString& operator=(NvString&& other) noexcept;
    NvString& operator=(const char16_t* text);
    virtual ~NvString();

    // Copy the text; a null text empties the string and frees the buffer.
    // 1 on success, 0 when the buffer could not be allocated (unchanged).
    int Assign(const NvString& other);
    int SetString(const char16_t* text);
    // Copies exactly these units (embedded zeros included); always leaves a
    // buffer, even for an empty view.
    int SetString(std::u16string_view text);

    const char16_t* GetData() const { return m_buffer.get(); }
    int GetLength() const { return m_length; }
    int GetCapacity() const { return m_capacity; }
    bool HasBuffer() const { return m_buffer != nullptr; }

    // Room for n characters and the terminator; capacity grows to n + 1
    // rounded up to a multiple of 512, zero-filled, text kept. 1 or 0.
    int AllocBuffer(int n);
    // AllocBuffer(n + 1); the buffer for direct writing (null on failure).
    char16_t* GetWriteBuffer(int n);
    // After direct writing: -1 measures up to the terminator, otherwise the
    // length becomes n (at most capacity - 1) and a terminator is put there.
    // Returns the length (0 without buffer).
    int ReleaseBuffer(int n = -1);

    // The character at index, 0 at or past the length (or below 0).
    char16_t GetAt(int index) const;

    // Appends a C string: null changes nothing; on an empty string it acts
    // as SetString. 1 or 0.
    int Append(const char16_t* text);
    int Append(const NvString& text) { return Append(text.GetData()); }

    // wvsprintf-style formatting: %d %i %u %x %X %c %s (char16_t*)
    // %hs/%S (UTF-8 char*) %hc %ls %lc %%, flags '-' '0' '#', width,
    // precision, 'l'/'h' size prefixes; no floating point. The result is cut
    // at 2048 characters. Returns the length.
    // The arguments are checked when compiling: integers and enums pass as
    // 32-bit values, C strings as they are; a class (NvString: pass
    // GetData()), another pointer or a floating-point value does not
    // compile. Each argument keeps its kind, so a conversion that finds no
    // argument of its kind (a format from a data file, say) is written as
    // it stands instead of reading memory it was not given.
    template <typename... Args>
    int Format(const char16_t* format, const Args&... args) {
        if constexpr (sizeof...(Args) == 0) {
            return FormatArgs(format, nullptr, 0);
        } else {
            const NvFormatArg list[] = {nv_string_detail::FormatArg(args)...};
            return FormatArgs(format, list, sizeof...(Args));
        }
    }
    int FormatArgs(const char16_t* format, const NvFormatArg* args, size_t count);
    // For C variadic callers: the arguments are trusted to match.
    int FormatV(const char16_t* format, va_list args);

    NvString Concat(const char16_t* text) const;
    NvString Concat(const NvString& text) const { return Concat(text.GetData()); }
    NvString Left(int n) const;
    // n characters from start; n < 0 or too many: to the end; empty when
    // start is past the length. A negative start counts as 0.
    NvString Mid(int start, int n = -1) const;
    NvString Right(int n) const;
    // Removes trailing U+0020 (only that blank).
    void TrimRight();

    // Index of the first occurrence at or after start (negative start = 0),
    // -1 when none or text is null.
    int Find(const char16_t* text, int start = 0) const;
    int ReverseFind(const char16_t* text) const;
    // Replaces every occurrence of oldText, scanning on after each inserted
    // text. Does nothing and returns 0 when newText contains oldText (or
    // oldText is empty). Returns the number of replacements.
    int Replace(const char16_t* oldText, const char16_t* newText);

    // <0, 0, >0 like _wcsicmp; a string without buffer equals another
    // without one and sorts before any string with a buffer.
    int CompareNoCase(const NvString& other) const;
    // 1 when equal without regard to case; no buffer equals null and "".
    int IsEqualNoCase(const char16_t* text) const;
    // 1 when equal without regard to case; no buffer equals any string of
    // length 0, but a string with a buffer never equals one without.
    int IsEqualNoCase(const NvString& other) const;

    // The search key of this text: at most its first 63 characters, each
    // compatibility consonant letter (U+3131..U+314E) replaced by its
    // initial-consonant class 1..18; everything else kept.
    NvString MakeChosungKey() const;
    // 1 when this text starts with the key. Only the key's first 63 units
    // count (keys made by MakeChosungKey never have more); a text shorter
    // than those gives 0; an empty key gives 1. A key unit below 20 is a
    // class and matches a syllable (U+AC00..U+D7A3) by its initial
    // consonant or a consonant letter by its class; any other unit must be
    // equal.
    int MatchChosungKey(const NvString& key) const;
    int MatchChosungKey(const char16_t* key) const;

    // Conversions for the file and trace boundaries and tests.
    std::u16string_view View() const { return {m_buffer.get() ? m_buffer.get() : u"", size_t(m_length)}; }
    std::u16string ToU16String() const { return std::u16string(View()); }
    std::string ToUtf8() const;
    static NvString FromUtf8(std::string_view text);
    // CP949 (the ANSI code page of the data files). 1, or 0 with out
    // unchanged and error filled when the bytes are not CP949.
    static int FromCp949(std::string_view bytes, NvString& out, platform::CodecError* error = nullptr);
    int ToCp949(std::string& out, platform::CodecError* error = nullptr) const;

    // Exact comparison of the texts (buffer or not does not matter).
    friend bool operator==(const NvString& a, const NvString& b) { return a.View() == b.View(); }
    friend bool operator==(const NvString& a, std::u16string_view b) { return a.View() == b; }
    friend bool operator==(const NvString& a, const char16_t* b) {
        return a.View() == std::u16string_view(b ? b : u"");
    }

private:
    int StoreFormatted(const std::u16string& text);
    // Zeroes the buffer from the terminator position up to oldLength.
    void ClearTail(int oldLength);
    void Free();

    std::unique_ptr<char16_t[]> m_buffer;
    int32_t m_length = 0;
    int32_t m_capacity = 0;
};

// GoogleTest and trace printing (as UTF-8).
void PrintTo(const NvString& text, std::ostream* os);

// _wcsicmp-like folding of one UTF-16 unit (see the comment at the top).
char16_t NvFoldCase(char16_t c);
// Initial-consonant class 1..18 of a consonant letter or syllable, 0 for
// any other character.
int NvChosungClass(char16_t c);
