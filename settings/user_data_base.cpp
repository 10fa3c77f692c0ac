#include "settings/user_data_base.h"

#include <algorithm>
#include <cstdint>

#include "foundation/debug_trace.h"

int CMgrConfigUIDataBase::Load(const char16_t*) { return 1; }

int CMgrConfigUIDataBase::Save(const char16_t*) { return 1; }

NvString CMgrConfigUIDataBase::FilePathFor(const char16_t* file, int fileType) {
    if (file) return NvString(file);
    return NvFilePath().GetSettingsFileName(fileType, 1);
}

void CMgrConfigUIDataBase::RejectFile(const NvString& path, const char* why) {
    DebugTrace(1, "[CFG] %s: %s; set aside\n", path.ToUtf8().c_str(), why);
    NvConfigFile::BackupErrorFile(path);
}

int CMgrConfigUIDataBase::EntryNumberOfKey(std::u16string_view key, char16_t letter) {
    if (key.size() < 3 || key[0] != letter) return -1;
    size_t i = 1;
    int64_t number = 0;
    while (i < key.size() && key[i] >= u'0' && key[i] <= u'9') {
        number = std::min<int64_t>(number * 10 + (key[i] - u'0'), INT32_MAX);
        ++i;
    }
    // At least the three digits of "%03d", then the field.
    if (i < 4 || i >= key.size() || key[i] != u'.') return -1;
    return static_cast<int>(number);
}

int CompareNamesNoCase(std::u16string_view a, std::u16string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char16_t x = NvFoldCase(a[i]);
        const char16_t y = NvFoldCase(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}
