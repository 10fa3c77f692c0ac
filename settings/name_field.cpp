#include "settings/name_field.h"

#include <algorithm>

#include "platform/codepage.h"

void CopyNameField(char16_t* field, int units, std::u16string_view text) {
    if (!field || units <= 0) return;
    size_t n = text.size();
    if (n > static_cast<size_t>(units - 1)) {
        n = static_cast<size_t>(units - 1);
        if (n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
    }
    std::fill(field, field + units, u'\0');
    std::copy_n(text.data(), n, field);
}

std::u16string NameForFile(std::u16string_view name) {
    std::u16string out(name);
    for (char16_t& c : out) {
        if (c == u'\r' || c == u'\n') c = u' ';
    }
    std::string bytes;
    if (platform::Utf16ToCp949(out, bytes)) return out;
    // Rare: find the characters that have no form, one at a time.
    std::u16string kept;
    kept.reserve(out.size());
    for (size_t i = 0; i < out.size(); ++i) {
        size_t n = 1;
        if (out[i] >= 0xD800 && out[i] <= 0xDBFF && i + 1 < out.size() && out[i + 1] >= 0xDC00 && out[i + 1] <= 0xDFFF) {
            n = 2;
        }
        const std::u16string_view one(out.data() + i, n);
        if (platform::Utf16ToCp949(one, bytes)) {
            kept.append(one);
        } else {
            kept.push_back(u'?');
        }
        i += n - 1;
    }
    return kept;
}
