#include "foundation/nv_config.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <mutex>
#include <set>

#include "foundation/debug_trace.h"
#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/paths.h"

namespace {

// Both tables start with room for 200 keys; the stores hold fewer.
constexpr size_t kInitialCapacity = 200;

std::atomic<int> g_errorCount{0};

// Native paths of damaged files that could not be set aside. They stay in
// place for the user (or service) to recover, so nothing may save over
// them for the rest of the run.
std::mutex g_keptMutex;
std::set<std::string> g_keptDamaged;  // guarded by g_keptMutex

std::mutex g_folderMutex;
NvString g_configFolder;  // guarded by g_folderMutex
NvString g_routeFolder;   // guarded by g_folderMutex

// Keys compare without regard to case: by their first units that differ
// once folded. Keys of one file share long prefixes
// ("lCoursePosInfo003.PosInfo..."): the caller may name a length known to
// fold equal (from earlier comparisons) to start from, the shared prefix is
// skipped four units (eight bytes) at a time, and only units that differ
// are folded. *common, when given, gets the length of the folded-equal
// prefix.
int CompareNoCase(std::u16string_view a, std::u16string_view b, size_t from = 0, size_t* common = nullptr) {
    const size_t n = std::min(a.size(), b.size());
    const char16_t* pa = a.data();
    const char16_t* pb = b.data();
    size_t i = std::min(from, n);
    for (; i + 4 <= n; i += 4) {
        uint64_t wa = 0;
        uint64_t wb = 0;
        std::memcpy(&wa, pa + i, sizeof wa);
        std::memcpy(&wb, pb + i, sizeof wb);
        if (wa != wb) break;
    }
    for (; i < n; ++i) {
        if (pa[i] == pb[i]) continue;
        const char16_t fa = NvFoldCase(pa[i]);
        const char16_t fb = NvFoldCase(pb[i]);
        if (fa != fb) {
            if (common) *common = i;
            return fa < fb ? -1 : 1;
        }
    }
    if (common) *common = n;
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool HasLineBreakOrNul(std::u16string_view text) {
    for (const char16_t c : text) {
        if (c == u'\r' || c == u'\n' || c == u'\0') return true;
    }
    return false;
}

// A key that would read back as written: no "|" (it ends the key), no CR,
// LF or NUL. One pass over the key.
bool KeyReadsBack(std::u16string_view key) {
    for (const char16_t c : key) {
        if (c == u'|' || c == u'\r' || c == u'\n' || c == u'\0') return false;
    }
    return true;
}

std::u16string AsciiToU16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::u16string TrimRightBlanks(std::u16string text) {
    while (!text.empty() && text.back() == u' ') text.pop_back();
    return text;
}

// The decimal value of text, read as NvConfigMap::ParseInt reads it, for
// text of any character type (only ASCII blanks, signs and digits count).
template <typename Char>
int32_t ParseDecimal(std::basic_string_view<Char> text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == Char(' ') || text[i] == Char('\t'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == Char('+') || text[i] == Char('-'))) negative = text[i++] == Char('-');
    // Saturate well above the 32-bit range so long digit runs cannot overflow.
    constexpr int64_t kCap = int64_t{1} << 33;
    int64_t v = 0;
    for (; i < text.size() && text[i] >= Char('0') && text[i] <= Char('9'); ++i) v = std::min(kCap, v * 10 + (text[i] - Char('0')));
    if (negative) return v > int64_t{1} << 31 ? std::numeric_limits<int32_t>::min() : static_cast<int32_t>(-v);
    // 2147483648 .. 4294967295 is the unsigned form SetInt writes.
    return static_cast<int32_t>(static_cast<uint32_t>(std::min<int64_t>(v, std::numeric_limits<uint32_t>::max())));
}

void SetError(std::string* error, size_t lineNo, const std::string& what) {
    if (error) *error = "line " + std::to_string(lineNo) + ": " + what;
}

// Splits bytes into lines at LF; the CR of a CR LF is not part of the line.
// fn(lineNo, content) returns false to stop.
template <typename Fn>
void ForEachLine(std::string_view bytes, Fn fn) {
    platform::ByteReader reader(bytes.data(), bytes.size());
    size_t lineNo = 0;
    while (reader.Remaining() > 0) {
        const char* start = reinterpret_cast<const char*>(reader.Data() + reader.Position());
        const void* lf = std::memchr(start, '\n', reader.Remaining());
        const size_t length = lf ? static_cast<size_t>(static_cast<const char*>(lf) - start) : reader.Remaining();
        const uint8_t* span = reader.Span(length);
        if (lf) reader.Skip(1);
        std::string_view line(reinterpret_cast<const char*>(span), length);
        if (lf && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!fn(++lineNo, line)) return;
    }
}

}  // namespace

// ---------------------------------------------------------------- NvConfigMap

NvConfigMap::NvConfigMap() {
    m_sorted.reserve(kInitialCapacity);
    m_entries.reserve(kInitialCapacity);
}

NvConfigMap::~NvConfigMap() = default;

int NvConfigMap::SetValue(const char16_t* key, const char16_t* value, int type) {
    if (!key) return 0;
    const std::u16string_view keyView(key);
    const std::u16string_view valueView(value ? value : u"");
    if (keyView.empty() || !KeyReadsBack(keyView) || HasLineBreakOrNul(valueView)) return 0;
    int position = 0;
    if (FindKey(key, &position)) {
        _tagNVSTRUCT_MAPTABLE& entry = m_entries[static_cast<size_t>(m_sorted[static_cast<size_t>(position)])];
        entry.value.assign(valueView);
        entry.type = type;
        return 1;
    }
    _tagNVSTRUCT_MAPTABLE entry;
    entry.key.assign(keyView);
    entry.value.assign(valueView);
    entry.type = type;
    m_entries.push_back(std::move(entry));
    m_sorted.insert(m_sorted.begin() + position, static_cast<int>(m_entries.size() - 1));
    m_hint.value.store(position + 1, std::memory_order_relaxed);   // the next key of an ascending run
    return 1;
}

int NvConfigMap::SetValue(const NvString& key, const NvString& value, int type) {
    // Compare through views so embedded NULs are seen and refused.
    if (HasLineBreakOrNul(key.View()) || HasLineBreakOrNul(value.View())) return 0;
    return SetValue(key.GetData(), value.GetData(), type);
}

int NvConfigMap::SetInt(const char16_t* key, int value) {
    // "%u" written straight into UTF-16 units.
    char16_t text[11];
    char16_t* first = text + 10;
    *first = u'\0';
    uint32_t rest = static_cast<uint32_t>(value);
    do {
        *--first = static_cast<char16_t>(u'0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    return SetValue(key, first, kNvConfigTypeInt);
}

int NvConfigMap::FindKey(const char16_t* key, int* position) const {
    const std::u16string_view keyView(key ? key : u"");
    const size_t size = m_sorted.size();
    auto compareAt = [&](size_t sortedPosition) {
        return CompareNoCase(m_entries[static_cast<size_t>(m_sorted[sortedPosition])].key, keyView);
    };
    auto answer = [&](size_t at, bool found) {
        if (position) *position = static_cast<int>(at);
        m_hint.value.store(static_cast<int>(found ? at + 1 : at), std::memory_order_relaxed);
        return found ? 1 : 0;
    };
    // The likely place first: the key there, or the key belongs just before it.
    const int hint = m_hint.value.load(std::memory_order_relaxed);
    if (hint >= 0 && static_cast<size_t>(hint) <= size) {
        const size_t at = static_cast<size_t>(hint);
        const int cmp = at < size ? compareAt(at) : 1;
        if (cmp == 0) return answer(at, true);
        if (cmp > 0 && (at == 0 || compareAt(at - 1) < 0)) return answer(at, false);
    }
    // Every key between two keys that share a folded prefix with the one
    // looked for shares it too, so each step compares from the shorter of
    // the prefixes shared with the two ends of the range.
    size_t low = 0;
    size_t high = size;
    size_t lowCommon = 0;    // with the key just below the range (none: 0)
    size_t highCommon = 0;   // with the key just above it
    while (low < high) {
        const size_t mid = low + (high - low) / 2;
        size_t common = 0;
        const int cmp = CompareNoCase(m_entries[static_cast<size_t>(m_sorted[mid])].key, keyView,
                                      std::min(lowCommon, highCommon), &common);
        if (cmp == 0) return answer(mid, true);
        if (cmp < 0) {
            low = mid + 1;
            lowCommon = common;
        } else {
            high = mid;
            highCommon = common;
        }
    }
    return answer(low, false);
}

int NvConfigMap::GetValue(const char16_t* key, NvString& out) const {
    int position = 0;
    if (!FindKey(key, &position)) {
        out = NvString(std::u16string_view());
        return 0;
    }
    out = NvString(std::u16string_view(m_entries[static_cast<size_t>(m_sorted[static_cast<size_t>(position)])].value));
    return 1;
}

int NvConfigMap::GetInt(const char16_t* key, int* out) const {
    int position = 0;
    const bool found = FindKey(key, &position) != 0;
    if (out) {
        *out = found ? ParseInt(m_entries[static_cast<size_t>(m_sorted[static_cast<size_t>(position)])].value) : 0;
    }
    return found ? 1 : 0;
}

int NvConfigMap::GetAt(int position, NvString* key, int* type, NvString* text, int* value, int sorted) const {
    if (position < 0 || static_cast<size_t>(position) >= m_entries.size()) {
        if (key) *key = NvString();
        if (type) *type = 0;
        if (text) *text = NvString();
        if (value) *value = 0;
        return 0;
    }
    const size_t index = sorted ? static_cast<size_t>(m_sorted[static_cast<size_t>(position)])
                                : static_cast<size_t>(position);
    const _tagNVSTRUCT_MAPTABLE& entry = m_entries[index];
    if (key) *key = NvString(std::u16string_view(entry.key));
    if (type) *type = entry.type;
    const bool asInt = value && entry.type == kNvConfigTypeInt;
    if (text) *text = asInt ? NvString() : NvString(std::u16string_view(entry.value));
    if (value) *value = asInt ? ParseInt(entry.value) : 0;
    return 1;
}

void NvConfigMap::RemoveAll() {
    // Hand the memory back and start again at the initial capacity.
    std::vector<int>().swap(m_sorted);
    std::vector<_tagNVSTRUCT_MAPTABLE>().swap(m_entries);
    m_hint.value.store(0, std::memory_order_relaxed);
    m_sorted.reserve(kInitialCapacity);
    m_entries.reserve(kInitialCapacity);
}

int NvConfigMap::ParseInt(std::u16string_view text) { return ParseDecimal(text); }

// ---------------------------------------------------------------- bytes

NvConfigParseStatus ParseNvConfigBytes(std::string_view bytes, NvConfigMap& map, std::string* error) {
    NvConfigParseStatus status = NvConfigParseStatus::kOk;
    // Each line's text is decoded into these, whose buffers serve every line.
    std::u16string key;
    std::u16string value;
    ForEachLine(bytes, [&](size_t lineNo, std::string_view line) {
        auto fail = [&](NvConfigParseStatus s, const std::string& what) {
            status = s;
            SetError(error, lineNo, what);
            return false;
        };
        // One byte more for the line end, as the line was counted when the
        // format was set.
        if (line.size() + 1 > kNvConfigMaxLineBytes) {
            return fail(NvConfigParseStatus::kLineTooLong, "line longer than " +
                                                               std::to_string(kNvConfigMaxLineBytes) + " bytes");
        }
        if (line.find('\0') != std::string_view::npos) return fail(NvConfigParseStatus::kMalformed, "NUL byte");
        const size_t bar = line.find('|');
        if (bar == std::string_view::npos || bar == 0) return fail(NvConfigParseStatus::kMalformed, "no key");
        const size_t equals = line.find('=', bar + 1);
        if (equals == std::string_view::npos) return fail(NvConfigParseStatus::kMalformed, "no \"=\" after the type");
        const std::string_view typeText = line.substr(bar + 1, equals - bar - 1);
        if (typeText.empty()) return fail(NvConfigParseStatus::kMalformed, "no type");
        // The type is the decimal value of its text, read as integers are.
        const int32_t type = ParseDecimal(typeText);
        std::string_view valueBytes = line.substr(equals + 1);
        valueBytes = valueBytes.substr(0, valueBytes.find('\r'));

        // Text that is not CP949 reads as empty: a key without text is
        // skipped, a value is kept empty, and the rest of the file loads.
        platform::CodecError codec;
        if (!platform::Cp949ToUtf16(line.substr(0, bar), key, &codec)) {
            DebugTrace(2, "[CFG] line %zu: key skipped: %s\n", lineNo, codec.message.c_str());
            return true;
        }
        if (!platform::Cp949ToUtf16(valueBytes, value, &codec)) {
            DebugTrace(2, "[CFG] line %zu: value read as empty: %s\n", lineNo, codec.message.c_str());
            value.clear();
        }
        while (!key.empty() && key.back() == u' ') key.pop_back();
        // A key of blanks only, or one holding a CR, names nothing a store
        // asks for: that line alone is skipped.
        if (!map.SetValue(key.c_str(), value.c_str(), type)) {
            DebugTrace(2, "[CFG] line %zu: key skipped: empty or holds a CR\n", lineNo);
        }
        return true;
    });
    return status;
}

bool ParseNvKeyValueBytes(std::string_view bytes, NvConfigMap& map, std::string* error) {
    bool allText = true;
    ForEachLine(bytes, [&](size_t lineNo, std::string_view line) {
        line = line.substr(0, line.find('\0'));
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos || equals == 0) return true;
        std::string_view valueBytes = line.substr(equals + 1);
        valueBytes = valueBytes.substr(0, valueBytes.find('\r'));
        std::u16string key;
        std::u16string value;
        platform::CodecError codec;
        if (!platform::Cp949ToUtf16(line.substr(0, equals), key, &codec) ||
            !platform::Cp949ToUtf16(valueBytes, value, &codec)) {
            if (allText) SetError(error, lineNo, codec.message);
            allText = false;
            return true;
        }
        map.SetValue(TrimRightBlanks(std::move(key)).c_str(), value.c_str(), kNvConfigTypeUntyped);
        return true;
    });
    return allText;
}

bool FormatNvConfigBytes(const NvConfigMap& map, std::string& out, std::string* error) {
    out.clear();
    std::u16string text;
    for (int i = 0; i < map.GetCount(); ++i) {
        const _tagNVSTRUCT_MAPTABLE& entry = *map.EntryAt(i);
        // The reader drops a key's trailing blanks.
        if (!entry.key.empty() && entry.key.back() == u' ') {
            if (error) *error = "key \"" + NvString(std::u16string_view(entry.key)).ToUtf8() + "\" ends in a blank";
            return false;
        }
        text += entry.key;
        text += u'|';
        text += AsciiToU16(std::to_string(entry.type));
        text += u'=';
        text += entry.value;
        text += u"\r\n";
    }
    platform::CodecError codec;
    if (!platform::Utf16ToCp949(text, out, &codec)) {
        if (error) *error = "text has no CP949 form: " + codec.message;
        out.clear();
        return false;
    }
    // Every line must read back: within the read limit (one byte counted
    // for its line end, as the reader counts it).
    size_t lineNo = 0;
    for (size_t start = 0; start < out.size();) {
        const size_t end = out.find("\r\n", start);
        ++lineNo;
        if (end - start + 1 > kNvConfigMaxLineBytes) {
            if (error) *error = "line " + std::to_string(lineNo) + " longer than the read limit";
            out.clear();
            return false;
        }
        start = end + 2;
    }
    return true;
}

// ---------------------------------------------------------------- NvConfigFile

void NvConfigFile::Clear() {
    m_missingKey = 0;
    RemoveAll();
}

std::string NvConfigFile::NativeFilePath(const NvString& path) {
    std::string native;
    platform::NativePath(path.ToUtf8(), native);
    return native;
}

int NvConfigFile::Load(const NvString& path) {
    SetFilePath(path);
    Clear();
    return Parse(0);
}

int NvConfigFile::ReadBytes(std::string& bytes, bool& exists) {
    exists = false;
    const std::string native = NativeFilePath(m_path);
    if (native.empty()) {
        m_lastError = "path too long or empty";
        return 0;
    }
    if (!platform::FileExists(native) || platform::IsDirectory(native)) {
        m_lastError = "no file " + native;
        return 0;
    }
    exists = true;
    std::vector<uint8_t> data;
    if (!platform::ReadWholeFile(native, data, &m_lastError)) return 0;
    bytes.assign(data.begin(), data.end());
    return 1;
}

int NvConfigFile::Parse(int clear) {
    if (clear == 1) Clear();
    m_lastError.clear();
    std::string bytes;
    bool exists = false;
    const bool read = ReadBytes(bytes, exists) != 0;
    if (!exists) return 0;
    if (read && ParseNvConfigBytes(bytes, *this, &m_lastError) == NvConfigParseStatus::kOk) return 1;
    // A file that is there but does not read back would be lost by the
    // next save of its owner; move it out of the way first.
    if (!m_readOnly) {
        DebugTrace(1, "[CFG] %s: %s\n", m_path.ToUtf8().c_str(), m_lastError.c_str());
        BackupErrorFile(m_path);
    } else {
        DebugTrace(1, "[CFG] %s (kept, read-only): %s\n", m_path.ToUtf8().c_str(), m_lastError.c_str());
    }
    return 0;
}

int NvConfigFile::ParseKeyValue(int clear) {
    if (clear == 1) Clear();
    m_lastError.clear();
    std::string bytes;
    bool exists = false;
    if (!ReadBytes(bytes, exists)) return 0;
    if (!ParseNvKeyValueBytes(bytes, *this, &m_lastError)) {
        DebugTrace(1, "[CFG] %s: lines skipped: %s\n", m_path.ToUtf8().c_str(), m_lastError.c_str());
    }
    return 1;
}

int NvConfigFile::Save() {
    m_lastError.clear();
    if (m_readOnly) {
        m_lastError = "read-only settings file";
        return 0;
    }
    std::string bytes;
    if (!FormatNvConfigBytes(*this, bytes, &m_lastError)) return 0;
    if (!CreateFolderPath(m_path)) {
        m_lastError = "cannot create the folders of " + m_path.ToUtf8();
        return 0;
    }
    const std::string native = NativeFilePath(m_path);
    if (native.empty()) {
        m_lastError = "path too long or empty";
        return 0;
    }
    {
        std::lock_guard<std::mutex> lock(g_keptMutex);
        if (g_keptDamaged.count(native) && platform::FileExists(native)) {
            m_lastError = "a damaged file that could not be set aside is kept at " + native;
            return 0;
        }
    }
    return platform::AtomicReplaceFile(native, bytes, &m_lastError) ? 1 : 0;
}

int NvConfigFile::GetString(const char16_t* key, NvString& out, int required) {
    const int found = GetValue(key, out);
    if (!found && required == 1) m_missingKey = 1;
    return found;
}

int NvConfigFile::GetInt(const char16_t* key, int* out, int required) {
    const int found = NvConfigMap::GetInt(key, out);
    if (!found && required == 1) m_missingKey = 1;
    return found;
}

NvString NvConfigFile::ErrorFileName(const NvString& path) {
    const std::u16string_view text = path.View();
    const size_t folderEnd = text.find_last_of(u"\\/");
    const size_t nameStart = folderEnd == std::u16string_view::npos ? 0 : folderEnd + 1;
    const size_t dot = text.rfind(u'.');
    std::u16string name;
    if (dot != std::u16string_view::npos && dot >= nameStart) {
        name.assign(text.substr(0, dot + 1));
        name += u"err";
    } else {
        name.assign(text);
        name += u".err";
    }
    return NvString(std::u16string_view(name));
}

int NvConfigFile::BackupErrorFile(const NvString& path) {
    const std::string native = NativeFilePath(path);
    if (native.empty() || !platform::FileExists(native) || platform::IsDirectory(native)) return 1;
    const std::string errNative = NativeFilePath(ErrorFileName(path));
    std::string error;
    if (!errNative.empty() && platform::RenameFile(native, errNative, &error)) {
        {
            std::lock_guard<std::mutex> lock(g_keptMutex);
            g_keptDamaged.erase(native);
        }
        g_errorCount.fetch_add(1, std::memory_order_acq_rel);
        DebugTrace(1, "[CFG] damaged settings file set aside as %s\n", errNative.c_str());
        return 1;
    }
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(g_keptMutex);
        first = g_keptDamaged.insert(native).second;
    }
    // Count the damage once, however often its owner retries.
    if (first) g_errorCount.fetch_add(1, std::memory_order_acq_rel);
    DebugTrace(0, "[CFG] damaged settings file %s cannot be set aside (%s); kept in place, not saved over\n",
               native.c_str(), error.c_str());
    return 0;
}

int NvConfigFile::CreateFolderPath(const NvString& path) {
    const std::string native = NativeFilePath(path);
    if (native.empty()) return 0;
    const size_t slash = native.rfind('/');
    if (slash == std::string::npos || slash == 0) return 1;
    return platform::MakeDirectories(native.substr(0, slash)) ? 1 : 0;
}

// ---------------------------------------------------------------- error count

int GetSettingsFileErrorCount() { return g_errorCount.load(std::memory_order_acquire); }

int TakeSettingsFileErrorCount() { return g_errorCount.exchange(0, std::memory_order_acq_rel); }

// ---------------------------------------------------------------- NvFilePath

namespace {

const char16_t* const kSettingsFileNames[NV_FILE_TYPE_COUNT] = {
    u"\\Navi.gdt",       u"\\CourseCurrent.idt", u"\\UISetting.ust", u"\\MapSetting.ust",
    u"\\RecentDest.udt", u"\\MyTheme.udt",       u"\\RegDest.udt",   u"\\RepeatDest.udt",
    u"\\RegSafeDest.udt", u"\\RegCourse.udt",    u"\\UIDlgInfo.udt", u"\\QuickMenu.udt",
};

}  // namespace

NvString NvFilePath::GetSettingsFileName(int type, int withFolder) const {
    NvString folder;
    if (withFolder) {
        std::lock_guard<std::mutex> lock(g_folderMutex);
        folder = type == NV_FILE_COURSE_CURRENT ? g_routeFolder : g_configFolder;
    }
    std::u16string result(folder.View());
    if (type >= 0 && type < NV_FILE_TYPE_COUNT) result += kSettingsFileNames[type];
    return NvString(std::u16string_view(result));
}

void NvFilePath::SetFolders(const NvString& configFolder, const NvString& routeFolder) {
    std::lock_guard<std::mutex> lock(g_folderMutex);
    g_configFolder = configFolder;
    g_routeFolder = routeFolder;
}
