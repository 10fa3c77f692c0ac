#include "foundation/nv_string.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <ostream>

#include "platform/codepage.h"

namespace {

constexpr int kBufferStep = 512;
// Keeps capacity arithmetic far away from int overflow.
constexpr int kMaxChars = INT_MAX / 2;

size_t BoundedLength(const char16_t* text, size_t limit = SIZE_MAX) {
    size_t n = 0;
    while (n < limit && text[n] != 0) ++n;
    return n;
}

std::unique_ptr<char16_t[]> NewZeroed(int capacity) {
    try {
        return std::make_unique<char16_t[]>(static_cast<size_t>(capacity));  // value-initialised: zeros
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool Overlaps(const char16_t* p, const char16_t* buffer, int capacity) {
    return buffer && p >= buffer && p < buffer + capacity;
}

// ---------------------------------------------------------------------------
// wvsprintf-compatible formatter over char16_t. It never reads a vararg the
// format does not ask for and never writes more than the limit.

class FormatOutput {
public:
    explicit FormatOutput(size_t limit) : m_limit(limit) {}
    void Put(char16_t c) {
        if (m_text.size() < m_limit) m_text.push_back(c);
    }
    void Put(std::u16string_view s) {
        for (char16_t c : s) Put(c);
    }
    void Pad(char16_t c, int count) {
        for (int i = 0; i < count; ++i) Put(c);
    }
    bool Full() const { return m_text.size() >= m_limit; }
    std::u16string& Text() { return m_text; }

private:
    size_t m_limit;
    std::u16string m_text;
};

struct Conversion {
    bool left = false;
    bool zero = false;
    bool alt = false;
    int width = 0;
    int precision = -1;
    enum { kDefault, kShort, kLong } size = kDefault;
};

// Width and precision above this only pad beyond the output limit anyway.
constexpr int kMaxFieldWidth = 4096;

int ParseNumber(const char16_t*& p) {
    int v = 0;
    while (*p >= u'0' && *p <= u'9') {
        v = std::min(v * 10 + (*p - u'0'), kMaxFieldWidth);
        ++p;
    }
    return v;
}

void PutField(FormatOutput& out, const Conversion& field, std::u16string_view prefix, std::u16string_view body,
              bool numeric) {
    // Precision on a number is the minimum count of digits.
    int zeros = 0;
    if (numeric && field.precision >= 0 && field.precision > static_cast<int>(body.size())) {
        zeros = field.precision - static_cast<int>(body.size());
    }
    const int len = static_cast<int>(prefix.size() + body.size()) + zeros;
    const int pad = std::max(0, field.width - len);
    if (!field.left) {
        if (field.zero && numeric && field.precision < 0) {
            out.Put(prefix);
            out.Pad(u'0', pad);
        } else {
            out.Pad(u' ', pad);
            out.Put(prefix);
        }
    } else {
        out.Put(prefix);
    }
    out.Pad(u'0', zeros);
    out.Put(body);
    if (field.left) out.Pad(u' ', pad);
}

std::u16string Digits(uint32_t value, unsigned base, bool upper) {
    const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char16_t tmp[16];
    int n = 0;
    do {
        tmp[n++] = static_cast<char16_t>(set[value % base]);
        value /= base;
    } while (value != 0);
    std::u16string s;
    while (n > 0) s.push_back(tmp[--n]);
    return s;
}

// Arguments of a C variadic call: trusted to match the format.
class VaArgs {
public:
    explicit VaArgs(va_list* args) : m_args(args) {}
    bool Int(int32_t& v) {
        v = va_arg(*m_args, int32_t);
        return true;
    }
    bool Text(bool narrow, const char16_t*& wide, const char*& bytes) {
        if (narrow) {
            bytes = va_arg(*m_args, const char*);
            wide = nullptr;
        } else {
            wide = va_arg(*m_args, const char16_t*);
            bytes = nullptr;
        }
        return true;
    }

private:
    va_list* m_args;
};

// Arguments checked when compiling (NvString::Format): a conversion without
// an argument of its kind is written as it stands, so a format taken from a
// data file cannot read memory it was not given.
class ListArgs {
public:
    ListArgs(const NvFormatArg* args, size_t count) : m_args(args), m_count(count) {}
    bool Int(int32_t& v) {
        if (m_next >= m_count) return false;
        const NvFormatArg& a = m_args[m_next++];
        if (a.kind != NvFormatArg::kInteger) return false;
        v = a.integer;
        return true;
    }
    bool Text(bool /*narrow*/, const char16_t*& wide, const char*& bytes) {
        // Either kind of text is taken whatever the size prefix says: the
        // argument's own type tells how to read it.
        if (m_next >= m_count) return false;
        const NvFormatArg& a = m_args[m_next++];
        if (a.kind == NvFormatArg::kWideText) {
            wide = a.wide;
            bytes = nullptr;
            return true;
        }
        if (a.kind == NvFormatArg::kUtf8Text) {
            bytes = a.bytes;
            wide = nullptr;
            return true;
        }
        return false;
    }

private:
    const NvFormatArg* m_args;
    size_t m_count;
    size_t m_next = 0;
};

template <typename Args>
std::u16string Format16(const char16_t* format, Args& args, size_t limit) {
    FormatOutput out(limit);
    const char16_t* p = format;
    while (*p != 0 && !out.Full()) {
        if (*p != u'%') {
            out.Put(*p++);
            continue;
        }
        const char16_t* specStart = p++;
        Conversion field;
        for (;; ++p) {
            if (*p == u'-') {
                field.left = true;
            } else if (*p == u'0') {
                field.zero = true;
            } else if (*p == u'#') {
                field.alt = true;
            } else {
                break;
            }
        }
        field.width = ParseNumber(p);
        if (*p == u'.') {
            ++p;
            field.precision = ParseNumber(p);
        }
        if (*p == u'l' || *p == u'w') {
            field.size = Conversion::kLong;  // int is 32-bit: 'l' changes nothing for numbers
            ++p;
        } else if (*p == u'h') {
            field.size = Conversion::kShort;
            ++p;
        }
        const char16_t conv = *p;
        if (conv == 0) break;  // the format ends inside a conversion
        ++p;
        const std::u16string_view asWritten(specStart, static_cast<size_t>(p - specStart));
        int32_t v = 0;
        switch (conv) {
            case u'%':
                out.Put(u'%');
                break;
            case u'c':
            case u'C': {
                if (!args.Int(v)) {
                    out.Put(asWritten);
                    break;
                }
                const bool narrow = (conv == u'c') == (field.size == Conversion::kShort);
                char16_t c = static_cast<char16_t>(v);
                if (narrow) {
                    const unsigned char b = static_cast<unsigned char>(v);
                    c = b < 0x80 ? b : u'\uFFFD';
                }
                PutField(out, field, {}, std::u16string_view(&c, 1), false);
                break;
            }
            case u's':
            case u'S': {
                const bool narrow = (conv == u's') == (field.size == Conversion::kShort);
                const char16_t* wide = nullptr;
                const char* bytes = nullptr;
                if (!args.Text(narrow, wide, bytes)) {
                    out.Put(asWritten);
                    break;
                }
                std::u16string converted;
                std::u16string_view body;
                if (bytes) {
                    // A UTF-8 character has at most 4 bytes per UTF-16 unit.
                    const size_t maxBytes =
                        field.precision >= 0 ? static_cast<size_t>(field.precision) * 4 : SIZE_MAX;
                    converted = platform::Utf8ToUtf16(std::string_view(bytes, strnlen(bytes, maxBytes)));
                    body = converted;
                } else if (wide) {
                    const size_t maxUnits = field.precision >= 0 ? static_cast<size_t>(field.precision) : SIZE_MAX;
                    body = std::u16string_view(wide, BoundedLength(wide, maxUnits));
                } else {
                    body = u"(null)";
                }
                if (field.precision >= 0 && body.size() > static_cast<size_t>(field.precision)) {
                    body = body.substr(0, static_cast<size_t>(field.precision));
                }
                PutField(out, field, {}, body, false);
                break;
            }
            case u'd':
            case u'i': {
                if (!args.Int(v)) {
                    out.Put(asWritten);
                    break;
                }
                const uint32_t magnitude = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
                PutField(out, field, v < 0 ? u"-" : u"", Digits(magnitude, 10, false), true);
                break;
            }
            case u'u':
            case u'x':
            case u'X': {
                if (!args.Int(v)) {
                    out.Put(asWritten);
                    break;
                }
                const uint32_t u = static_cast<uint32_t>(v);
                if (conv == u'u') {
                    PutField(out, field, {}, Digits(u, 10, false), true);
                    break;
                }
                const bool upper = conv == u'X';
                std::u16string_view prefix;
                if (field.alt && u != 0) prefix = upper ? u"0X" : u"0x";
                PutField(out, field, prefix, Digits(u, 16, upper), true);
                break;
            }
            default:
                // Unknown conversion: written as it stands, no argument taken.
                out.Put(asWritten);
                break;
        }
    }
    return std::move(out.Text());
}

// Compatibility consonant letters U+3131..U+314E and their classes.
constexpr uint8_t kLetterClass[30] = {
    1, 1, 1,                 // ㄱ ㄲ ㄳ
    2, 2, 2,                 // ㄴ ㄵ ㄶ
    3,                       // ㄷ
    4,                       // ㄸ
    5, 5, 5, 5, 5, 5, 5, 5,  // ㄹ ㄺ ㄻ ㄼ ㄽ ㄾ ㄿ ㅀ
    6,                       // ㅁ
    7,                       // ㅂ
    8, 8,                    // ㅃ ㅄ
    9, 10, 11, 12, 13, 14, 15, 16, 17, 18,  // ㅅ ㅆ ㅇ ㅈ ㅉ ㅊ ㅋ ㅌ ㅍ ㅎ
};

}  // namespace

// ---------------------------------------------------------------------------

char16_t NvFoldCase(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 0x20);
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130) return u'i';  // capital I with dot
        if (c == 0x178) return 0xFF;  // Ÿ
        const bool evenIsUpper = (c <= 0x137) || (c >= 0x14A && c <= 0x177);
        const bool oddIsUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (evenIsUpper && (c % 2) == 0) return static_cast<char16_t>(c + 1);
        if (oddIsUpper && (c % 2) == 1) return static_cast<char16_t>(c + 1);
        return c;
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return static_cast<char16_t>(c + 0x20);  // Greek
    if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 0x50);                // Cyrillic Ѐ..Џ
    if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 0x20);                // Cyrillic А..Я
    if (c >= 0xFF21 && c <= 0xFF3A) return static_cast<char16_t>(c + 0x20);              // full-width Ａ..Ｚ
    return c;
}

int NvChosungClass(char16_t c) {
    if (c >= 0x3131 && c <= 0x314E) return kLetterClass[c - 0x3131];
    if (c >= 0xAC00 && c <= 0xD7A3) {
        const int initial = (c - 0xAC00) / 588;
        return initial == 0 ? 1 : initial;  // ㄱ and ㄲ share class 1
    }
    return 0;
}

// ---------------------------------------------------------------------------

NvString::NvString(const char16_t* text) { SetString(text); }

NvString::NvString(std::u16string_view text) { SetString(text); }

NvString::NvString(const NvString& other) { Assign(other); }

NvString::NvString(NvString&& other) noexcept
    : m_buffer(std::move(other.m_buffer)), m_length(other.m_length), m_capacity(other.m_capacity) {
    other.m_length = 0;
    other.m_capacity = 0;
}

NvString& NvString::operator=(const NvString& other) {
    Assign(other);
    return *this;
}

NvString& NvString::operator=(NvString&& other) noexcept {
    if (this != &other) {
        m_buffer = std::move(other.m_buffer);
        m_length = other.m_length;
        m_capacity = other.m_capacity;
        other.m_length = 0;
        other.m_capacity = 0;
    }
    return *this;
}

NvString& NvString::operator=(const char16_t* text) {
    SetString(text);
    return *this;
}

NvString::~NvString() = default;

void NvString::Free() {
    m_buffer.reset();
    m_length = 0;
    m_capacity = 0;
}

void NvString::ClearTail(int oldLength) {
    if (!m_buffer) return;
    const int end = std::min(std::max(oldLength, m_length) + 1, m_capacity);
    for (int i = m_length; i < end; ++i) m_buffer[i] = 0;
}

int NvString::Assign(const NvString& other) {
    if (this == &other) return 1;
    if (!other.m_buffer) {
        Free();
        return 1;
    }
    return SetString(other.View());
}

int NvString::SetString(const char16_t* text) {
    if (!text) {
        Free();
        return 1;
    }
    return SetString(std::u16string_view(text, BoundedLength(text)));
}

int NvString::SetString(std::u16string_view text) {
    if (text.size() >= static_cast<size_t>(kMaxChars)) return 0;
    const int n = static_cast<int>(text.size());
    // The text may lie inside our own buffer. Usually AllocBuffer keeps the
    // buffer then and memmove copes with the overlap; a view that reaches
    // the buffer's end would need a new buffer, so it is copied aside.
    std::u16string aliasCopy;
    if (!text.empty() && Overlaps(text.data(), m_buffer.get(), m_capacity) && n + 1 > m_capacity) {
        aliasCopy.assign(text);
        text = aliasCopy;
    }
    if (!AllocBuffer(n)) return 0;
    const int oldLength = m_length;
    if (n > 0) std::memmove(m_buffer.get(), text.data(), static_cast<size_t>(n) * sizeof(char16_t));
    m_length = n;
    m_buffer[n] = 0;
    ClearTail(oldLength);
    return 1;
}

int NvString::AllocBuffer(int n) {
    n = std::max(n, 0);
    if (n >= kMaxChars) return 0;
    if (m_buffer && m_capacity >= n + 1) return 1;
    const int capacity = (n + 1 + kBufferStep - 1) / kBufferStep * kBufferStep;
    std::unique_ptr<char16_t[]> fresh = NewZeroed(capacity);
    if (!fresh) return 0;
    if (m_buffer && m_length > 0) {
        std::memcpy(fresh.get(), m_buffer.get(), static_cast<size_t>(m_length) * sizeof(char16_t));
    }
    m_buffer = std::move(fresh);
    m_capacity = capacity;
    return 1;
}

char16_t* NvString::GetWriteBuffer(int n) {
    if (n >= kMaxChars - 1) return nullptr;
    return AllocBuffer(std::max(n, 0) + 1) ? m_buffer.get() : nullptr;
}

int NvString::ReleaseBuffer(int n) {
    if (!m_buffer) {
        m_length = 0;
        return 0;
    }
    if (n == -1) {
        n = static_cast<int>(BoundedLength(m_buffer.get(), static_cast<size_t>(m_capacity - 1)));
    }
    n = std::clamp(n, 0, m_capacity - 1);
    m_length = n;
    // The writer may have used any part of the buffer: restore the zeros.
    std::fill(m_buffer.get() + n, m_buffer.get() + m_capacity, char16_t{0});
    return m_length;
}

char16_t NvString::GetAt(int index) const {
    if (index < 0 || index >= m_length) return 0;
    return m_buffer[index];
}

int NvString::Append(const char16_t* text) {
    if (!text) return 1;
    if (m_length == 0) return SetString(text);
    const size_t add = BoundedLength(text);
    if (add == 0) return 1;
    if (add >= static_cast<size_t>(kMaxChars - m_length)) return 0;
    std::u16string aliasCopy;
    if (Overlaps(text, m_buffer.get(), m_capacity)) {
        aliasCopy.assign(text, add);  // AllocBuffer may move our buffer away
        text = aliasCopy.c_str();
    }
    const int newLength = m_length + static_cast<int>(add);
    if (!AllocBuffer(newLength)) return 0;
    std::memcpy(m_buffer.get() + m_length, text, add * sizeof(char16_t));
    m_length = newLength;
    m_buffer[m_length] = 0;
    return 1;
}

int NvString::FormatV(const char16_t* format, va_list args) {
    std::u16string text;
    if (format) {
        va_list copy;
        va_copy(copy, args);
        VaArgs source(&copy);
        text = Format16(format, source, kNvStringFormatMaxChars);
        va_end(copy);
    }
    return StoreFormatted(text);
}

int NvString::FormatArgs(const char16_t* format, const NvFormatArg* args, size_t count) {
    std::u16string text;
    if (format) {
        ListArgs source(args, count);
        text = Format16(format, source, kNvStringFormatMaxChars);
    }
    return StoreFormatted(text);
}

int NvString::StoreFormatted(const std::u16string& text) {
    // The text was formatted aside: an argument may point into this string.
    char16_t* buffer = GetWriteBuffer(kNvStringFormatMaxChars);
    if (!buffer) return m_length;
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
    // Zeros inside the text (a %c of 0) end it, as with the C formatter.
    return ReleaseBuffer(-1);
}

NvString NvString::Concat(const char16_t* text) const {
    NvString result(*this);
    result.Append(text);
    return result;
}

NvString NvString::Left(int n) const {
    if (!m_buffer) return NvString();
    n = std::clamp(n, 0, m_length);
    return NvString(View().substr(0, static_cast<size_t>(n)));
}

NvString NvString::Mid(int start, int n) const {
    if (!m_buffer) return NvString();
    start = std::max(start, 0);
    if (start > m_length) return NvString(std::u16string_view());
    const int available = m_length - start;
    if (n < 0 || n > available) n = available;
    return NvString(View().substr(static_cast<size_t>(start), static_cast<size_t>(n)));
}

NvString NvString::Right(int n) const {
    if (!m_buffer) return NvString();
    n = std::clamp(n, 0, m_length);
    return NvString(View().substr(static_cast<size_t>(m_length - n)));
}

void NvString::TrimRight() {
    if (!m_buffer) return;
    while (m_length > 0 && m_buffer[m_length - 1] == u' ') m_buffer[--m_length] = 0;
}

int NvString::Find(const char16_t* text, int start) const {
    if (!text) return -1;
    start = std::max(start, 0);
    if (start > m_length) return -1;
    const size_t pos = View().find(std::u16string_view(text, BoundedLength(text)), static_cast<size_t>(start));
    return pos == std::u16string_view::npos ? -1 : static_cast<int>(pos);
}

int NvString::ReverseFind(const char16_t* text) const {
    if (!text) return -1;
    const size_t pos = View().rfind(std::u16string_view(text, BoundedLength(text)));
    return pos == std::u16string_view::npos ? -1 : static_cast<int>(pos);
}

int NvString::Replace(const char16_t* oldText, const char16_t* newText) {
    if (!oldText || oldText[0] == 0 || !m_buffer) return 0;
    const std::u16string from(oldText);
    const std::u16string to(newText ? newText : u"");
    // Replacing a text by one that contains it again would never settle.
    if (to.find(from) != std::u16string::npos) return 0;
    const std::u16string_view source = View();
    std::u16string result;
    int count = 0;
    size_t pos = 0;
    for (;;) {
        const size_t hit = source.find(from, pos);
        if (hit == std::u16string_view::npos) break;
        result.append(source.substr(pos, hit - pos));
        result.append(to);
        pos = hit + from.size();
        ++count;
    }
    if (count == 0) return 0;
    result.append(source.substr(pos));
    if (!SetString(std::u16string_view(result))) return 0;
    return count;
}

namespace {

int CompareFolded(std::u16string_view a, std::u16string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int ca = NvFoldCase(a[i]);
        const int cb = NvFoldCase(b[i]);
        if (ca != cb) return ca - cb;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

}  // namespace

int NvString::CompareNoCase(const NvString& other) const {
    if (!m_buffer || !other.m_buffer) {
        if (!m_buffer && !other.m_buffer) return 0;
        return m_buffer ? 1 : -1;
    }
    return CompareFolded(View(), other.View());
}

int NvString::IsEqualNoCase(const char16_t* text) const {
    if (!text) return m_length == 0 ? 1 : 0;
    return CompareFolded(View(), std::u16string_view(text, BoundedLength(text))) == 0 ? 1 : 0;
}

int NvString::IsEqualNoCase(const NvString& other) const {
    if (!m_buffer) return other.m_length == 0 ? 1 : 0;
    if (!other.m_buffer) return 0;
    return CompareFolded(View(), other.View()) == 0 ? 1 : 0;
}

NvString NvString::MakeChosungKey() const {
    if (!m_buffer) return NvString();
    std::u16string key(View().substr(0, static_cast<size_t>(std::min(m_length, kChosungKeyMaxChars))));
    for (char16_t& c : key) {
        if (c >= 0x3131 && c <= 0x314E) c = static_cast<char16_t>(kLetterClass[c - 0x3131]);
    }
    return NvString(std::u16string_view(key));
}

namespace {

int MatchKey(std::u16string_view text, std::u16string_view key) {
    key = key.substr(0, kChosungKeyMaxChars);
    if (text.size() < key.size()) return 0;
    for (size_t i = 0; i < key.size(); ++i) {
        if (key[i] < 20) {
            if (NvChosungClass(text[i]) != key[i]) return 0;
        } else if (key[i] != text[i]) {
            return 0;
        }
    }
    return 1;
}

}  // namespace

int NvString::MatchChosungKey(const NvString& key) const { return MatchKey(View(), key.View()); }

int NvString::MatchChosungKey(const char16_t* key) const {
    if (!key) return 1;
    // Only the first 63 units can count; never read further into the key.
    return MatchKey(View(), std::u16string_view(key, BoundedLength(key, kChosungKeyMaxChars)));
}

std::string NvString::ToUtf8() const { return platform::Utf16ToUtf8(View()); }

NvString NvString::FromUtf8(std::string_view text) { return NvString(std::u16string_view(platform::Utf8ToUtf16(text))); }

int NvString::FromCp949(std::string_view bytes, NvString& out, platform::CodecError* error) {
    std::u16string text;
    if (!platform::Cp949ToUtf16(bytes, text, error)) return 0;
    return out.SetString(std::u16string_view(text));
}

int NvString::ToCp949(std::string& out, platform::CodecError* error) const {
    return platform::Utf16ToCp949(View(), out, error) ? 1 : 0;
}

void PrintTo(const NvString& text, std::ostream* os) {
    if (!text.HasBuffer()) {
        *os << "(no buffer)";
        return;
    }
    *os << '"' << text.ToUtf8() << '"';
}
