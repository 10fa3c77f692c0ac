#pragma once
// Text at the file boundary: files and map data hold CP949 (the Korean
// ANSI code page), the program works in UTF-16. Hangul stays composed.
#include <string>
#include <string_view>

namespace platform {

struct CodecError {
    size_t offset = 0;      // byte (or UTF-16 unit) where conversion stopped
    std::string message;
};

// CP949 bytes to UTF-16. False (out cleared, error filled) on bytes that are
// not CP949: nothing is guessed or dropped.
bool Cp949ToUtf16(std::string_view bytes, std::u16string& out, CodecError* error = nullptr);
// UTF-16 to CP949. False on characters CP949 cannot hold or on broken
// surrogate pairs.
bool Utf16ToCp949(std::u16string_view text, std::string& out, CodecError* error = nullptr);

// UTF-8 <-> UTF-16 (trace output, native paths). Ill-formed input is
// replaced by U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace platform
