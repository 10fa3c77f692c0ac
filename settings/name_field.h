#pragma once
// Fixed-size UTF-16 name fields of the user-data records ("65 units: at
// most 64 characters and the terminator").
#include <algorithm>
#include <string>
#include <string_view>

// Copies text into a field of `units` units: at most units - 1 characters,
// always terminated, the rest zero. A cut never leaves half of a surrogate
// pair behind.
void CopyNameField(char16_t* field, int units, std::u16string_view text);

// The text of a field, up to its terminator or its end.
inline std::u16string_view NameFieldView(const char16_t* field, int units) {
    if (!field || units <= 0) return {};
    const char16_t* end = std::find(field, field + units, u'\0');
    return {field, static_cast<size_t>(end - field)};
}

// The text a settings file can hold for a name: line breaks (which would
// end the line) become blanks and characters without a CP949 form (which
// would fail the whole file's save) become '?'. Other text is unchanged.
std::u16string NameForFile(std::u16string_view name);
