#include "platform/codepage.h"

#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <vector>

namespace platform {
namespace {

// One converter per thread and direction: iconv descriptors keep state.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (Ok()) iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool Ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts in whole; on failure returns false with the input offset.
    bool Run(const char* in, size_t inBytes, std::vector<char>& out, size_t& failOffset, int& err) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);  // reset shift state
        out.resize(inBytes * 4 + 16);
        char* src = const_cast<char*>(in);
        size_t srcLeft = inBytes;
        char* dst = out.data();
        size_t dstLeft = out.size();
        while (srcLeft > 0) {
            if (iconv(m_cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
                if (errno == E2BIG) {
                    const size_t used = static_cast<size_t>(dst - out.data());
                    out.resize(out.size() * 2);
                    dst = out.data() + used;
                    dstLeft = out.size() - used;
                    continue;
                }
                err = errno;
                failOffset = static_cast<size_t>(src - in);
                return false;
            }
        }
        out.resize(static_cast<size_t>(dst - out.data()));
        return true;
    }

private:
    iconv_t m_cd;
};

// Bytes 0x00-0x7F are the same characters in CP949 and UTF-16, and most
// settings text (keys, numbers) is nothing else: such text skips iconv.
// Eight bytes are tested at a time (a unit of 0x80 or above has a bit in
// the mask set).
template <typename Char>
bool IsAscii(std::basic_string_view<Char> text) {
    static_assert(sizeof(Char) == 1 || sizeof(Char) == 2);
    constexpr uint64_t kHighBits = sizeof(Char) == 1 ? 0x8080808080808080u : 0xFF80FF80FF80FF80u;
    constexpr size_t kPerWord = sizeof(uint64_t) / sizeof(Char);
    const Char* p = text.data();
    const size_t n = text.size();
    size_t i = 0;
    uint64_t seen = 0;
    for (; i + kPerWord <= n; i += kPerWord) {
        uint64_t word = 0;
        std::memcpy(&word, p + i, sizeof word);
        seen |= word;
    }
    for (; i < n; ++i) seen |= static_cast<std::make_unsigned_t<Char>>(p[i]);
    return (seen & kHighBits) == 0;
}

// Text known to be ASCII, unit by unit into a string of the other width
// (resized in place: assigning through converting iterators would build
// a temporary string first).
template <typename Out, typename Char>
void CopyAscii(std::basic_string_view<Char> text, Out& out) {
    out.resize(text.size());
    auto* to = out.data();
    const Char* from = text.data();
    const size_t n = text.size();
    size_t i = 0;
    if constexpr (sizeof(Char) == 1 && sizeof(*to) == 2 && std::endian::native == std::endian::little) {
        // Four bytes widened to four units at a time: byte k moves to bits
        // 16k..16k+7 of the word, which holds the units in memory order.
        for (; i + 4 <= n; i += 4) {
            uint32_t bytes = 0;
            std::memcpy(&bytes, from + i, sizeof bytes);
            uint64_t units = bytes;
            units = (units | (units << 16)) & 0x0000FFFF0000FFFFu;
            units = (units | (units << 8)) & 0x00FF00FF00FF00FFu;
            std::memcpy(to + i, &units, sizeof units);
        }
    }
    for (; i < n; ++i) to[i] = static_cast<std::remove_reference_t<decltype(*to)>>(from[i]);
}

// A buffer of the calling thread for converted bytes, kept from call to
// call (a converted text would otherwise cost an allocation or two); one
// that grew past 64 KB for a long text is handed back after use.
class Scratch {
public:
    explicit Scratch(std::vector<char>& buffer) : m_buffer(buffer) {}
    ~Scratch() {
        if (m_buffer.capacity() > kKeptBytes) std::vector<char>().swap(m_buffer);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    std::vector<char>& operator*() { return m_buffer; }

private:
    static constexpr size_t kKeptBytes = 64 * 1024;
    std::vector<char>& m_buffer;
};

void Fail(CodecError* error, size_t offset, std::string message) {
    if (!error) return;
    error->offset = offset;
    error->message = std::move(message);
}

}  // namespace

bool Cp949ToUtf16(std::string_view bytes, std::u16string& out, CodecError* error) {
    if (IsAscii(bytes)) {
        CopyAscii(bytes, out);
        return true;
    }
    out.clear();
    thread_local Converter conv("UTF-16LE", "CP949");
    if (!conv.Ok()) {
        Fail(error, 0, "CP949 converter not available");
        return false;
    }
    thread_local std::vector<char> output;
    Scratch scratch(output);
    std::vector<char>& buf = *scratch;
    size_t offset = 0;
    int err = 0;
    if (!conv.Run(bytes.data(), bytes.size(), buf, offset, err)) {
        Fail(error, offset,
             err == EINVAL ? "CP949 text ends inside a two-byte character at byte " + std::to_string(offset)
                           : "byte sequence is not CP949 at byte " + std::to_string(offset));
        return false;
    }
    out.resize(buf.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(buf[2 * i]) |
                                       (static_cast<unsigned char>(buf[2 * i + 1]) << 8));
    }
    return true;
}

bool Utf16ToCp949(std::u16string_view text, std::string& out, CodecError* error) {
    if (IsAscii(text)) {
        CopyAscii(text, out);
        return true;
    }
    out.clear();
    thread_local Converter conv("CP949", "UTF-16LE");
    if (!conv.Ok()) {
        Fail(error, 0, "CP949 converter not available");
        return false;
    }
    thread_local std::vector<char> input;
    thread_local std::vector<char> output;
    Scratch inScratch(input);
    Scratch outScratch(output);
    std::vector<char>& in = *inScratch;
    in.resize(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        in[2 * i] = static_cast<char>(text[i] & 0xFF);
        in[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    std::vector<char>& buf = *outScratch;
    size_t offset = 0;
    int err = 0;
    if (!conv.Run(in.data(), in.size(), buf, offset, err)) {
        Fail(error, offset / 2,
             "character U+" + [&] {
                 char hex[8];
                 snprintf(hex, sizeof hex, "%04X", offset / 2 < text.size() ? text[offset / 2] : 0);
                 return std::string(hex);
             }() + " at " + std::to_string(offset / 2) + " has no CP949 form");
        return false;
    }
    out.assign(buf.data(), buf.size());
    return true;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        char32_t cp = 0xFFFD;
        size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
        }
        if (len > 1) {
            if (i + len > text.size()) {
                cp = 0xFFFD;
                len = 1;
            } else {
                char32_t v = c & (0x7F >> len);
                bool ok = true;
                for (size_t k = 1; k < len; ++k) {
                    const unsigned char cc = static_cast<unsigned char>(text[i + k]);
                    if ((cc & 0xC0) != 0x80) {
                        ok = false;
                        break;
                    }
                    v = (v << 6) | (cc & 0x3F);
                }
                const char32_t minimum = len == 2 ? 0x80 : len == 3 ? 0x800 : 0x10000;
                if (ok && v >= minimum && v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF)) {
                    cp = v;
                } else {
                    cp = 0xFFFD;
                    len = 1;
                }
            }
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += len;
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

}  // namespace platform
