#include "foundation/nv_config.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <limits>
#include <mutex>
#include <set>

#include "foundation/debug_trace.h"
#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/paths.h"

namespace {

// A map being filled key by key starts with room for 32 keys and their
// text (a parsed file reserves what its lines need at once). An emptied
// map keeps its memory for the next file unless it holds room for more
// than 800 keys or their text.
constexpr size_t kInitialCapacity = 32;
constexpr size_t kUnitsPerKey = 24;
constexpr size_t kKeptCapacity = 800;
constexpr size_t kKeptTextUnits = kKeptCapacity * kUnitsPerKey;

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

// Whether text holds any of the units `stops`, tested four units (one
// 64-bit word) at a time: a unit equal to a stop is a zero lane of the word
// xor the stop in every lane, and (x - 0x0001...) & ~x & 0x8000... is
// nonzero exactly when some 16-bit lane of x is zero.
template <size_t N>
bool HoldsAnyOf(std::u16string_view text, const char16_t (&stops)[N]) {
    constexpr uint64_t kLanes = 0x0001000100010001u;
    constexpr uint64_t kHigh = 0x8000800080008000u;
    const char16_t* p = text.data();
    const size_t n = text.size();
    size_t i = 0;
    uint64_t hits = 0;
    for (; i + 4 <= n; i += 4) {
        uint64_t word = 0;
        std::memcpy(&word, p + i, sizeof word);
        for (const char16_t stop : stops) {
            const uint64_t x = word ^ (kLanes * stop);
            hits |= (x - kLanes) & ~x & kHigh;
        }
    }
    for (; i < n; ++i) {
        for (const char16_t stop : stops) hits |= p[i] == stop;
    }
    return hits != 0;
}

constexpr char16_t kLineBreaksAndNul[] = {u'\r', u'\n', u'\0'};
constexpr char16_t kKeyStops[] = {u'|', u'\r', u'\n', u'\0'};

bool HasLineBreakOrNul(std::u16string_view text) { return HoldsAnyOf(text, kLineBreaksAndNul); }

// A key that would read back as written: no "|" (it ends the key), no CR,
// LF or NUL.
bool KeyReadsBack(std::u16string_view key) { return !HoldsAnyOf(key, kKeyStops); }

std::u16string AsciiToU16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

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

NvConfigMap::NvConfigMap() = default;

void NvConfigMap::Reserve(size_t keys, size_t textUnits) {
    m_sorted.reserve(m_sorted.size() + keys);
    m_entries.reserve(m_entries.size() + keys);
    m_text.reserve(m_text.size() + textUnits);
}

NvConfigMap::~NvConfigMap() = default;

size_t NvConfigMap::AppendText(std::u16string_view text) {
    const size_t start = m_text.size();
    m_text.append(text);
    return start;
}

void NvConfigMap::PackText() {
    std::u16string packed;
    packed.reserve(m_text.size() - m_unusedUnits);
    for (_tagNVSTRUCT_MAPTABLE& entry : m_entries) {
        const size_t keyStart = packed.size();
        packed.append(KeyOf(entry));
        const size_t valueStart = packed.size();
        packed.append(ValueOf(entry));
        entry.keyStart = keyStart;
        entry.valueStart = valueStart;
    }
    m_text.swap(packed);
    m_unusedUnits = 0;
}

int NvConfigMap::SetValue(std::u16string_view keyView, std::u16string_view valueView, int type) {
    if (keyView.empty() || !KeyReadsBack(keyView) || HasLineBreakOrNul(valueView)) return 0;
    // Text taken from this map (KeyAt, ValueAt) would move as the buffer
    // grows: such text is copied first.
    const char16_t* textBegin = m_text.data();
    const char16_t* textEnd = textBegin + m_text.size();
    const auto inText = [&](std::u16string_view t) {
        return !t.empty() && std::less_equal<const char16_t*>()(textBegin, t.data()) &&
               std::less<const char16_t*>()(t.data(), textEnd);
    };
    if (inText(keyView) || inText(valueView)) {
        const std::u16string key(keyView);
        const std::u16string value(valueView);
        return SetValue(std::u16string_view(key), std::u16string_view(value), type);
    }
    int position = 0;
    if (const int found = FindEntry(keyView, &position); found >= 0) {
        _tagNVSTRUCT_MAPTABLE& entry = m_entries[static_cast<size_t>(found)];
        if (valueView.size() <= entry.valueLength) {
            valueView.copy(m_text.data() + entry.valueStart, valueView.size());
            m_unusedUnits += entry.valueLength - valueView.size();
        } else {
            m_unusedUnits += entry.valueLength;
            entry.valueStart = AppendText(valueView);
        }
        entry.valueLength = valueView.size();
        entry.type = type;
        // A map whose values keep changing would otherwise only grow.
        if (m_unusedUnits > kInitialCapacity * kUnitsPerKey && m_unusedUnits > m_text.size() / 2) PackText();
        return 1;
    }
    if (m_entries.capacity() == 0) Reserve(kInitialCapacity, kInitialCapacity * kUnitsPerKey);
    _tagNVSTRUCT_MAPTABLE entry;
    entry.keyStart = AppendText(keyView);
    entry.keyLength = keyView.size();
    entry.valueStart = AppendText(valueView);
    entry.valueLength = valueView.size();
    entry.type = type;
    m_entries.push_back(entry);
    m_sorted.insert(m_sorted.begin() + position, static_cast<int>(m_entries.size() - 1));
    m_hint.value.store(position + 1, std::memory_order_relaxed);   // the next key of an ascending run
    m_nextEntry.value.store(static_cast<int>(m_entries.size()), std::memory_order_relaxed);
    return 1;
}

int NvConfigMap::SetValue(const char16_t* key, const char16_t* value, int type) {
    if (!key) return 0;
    return SetValue(std::u16string_view(key), std::u16string_view(value ? value : u""), type);
}

int NvConfigMap::SetValue(const NvString& key, const NvString& value, int type) {
    // Through views, so that embedded NULs are seen and refused.
    return SetValue(key.View(), value.View(), type);
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
    return FindKey(std::u16string_view(key ? key : u""), position);
}

int NvConfigMap::FindKey(std::u16string_view keyView, int* position) const {
    const size_t size = m_sorted.size();
    auto compareAt = [&](size_t sortedPosition) {
        return CompareNoCase(KeyOf(m_entries[static_cast<size_t>(m_sorted[sortedPosition])]), keyView);
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
        const int cmp = CompareNoCase(KeyOf(m_entries[static_cast<size_t>(m_sorted[mid])]), keyView,
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

int NvConfigMap::FindEntry(std::u16string_view key, int* insertAt) const {
    const int next = m_nextEntry.value.load(std::memory_order_relaxed);
    // Keys are unique without regard to case: a key equal to this entry's
    // is the one the search would find.
    if (next >= 0 && static_cast<size_t>(next) < m_entries.size() &&
        CompareNoCase(KeyOf(m_entries[static_cast<size_t>(next)]), key) == 0) {
        m_nextEntry.value.store(next + 1, std::memory_order_relaxed);
        return next;
    }
    int position = 0;
    if (!FindKey(key, &position)) {
        if (insertAt) *insertAt = position;
        return -1;
    }
    const int found = m_sorted[static_cast<size_t>(position)];
    m_nextEntry.value.store(found + 1, std::memory_order_relaxed);
    return found;
}

int NvConfigMap::GetValue(const char16_t* key, NvString& out) const {
    const int found = FindEntry(std::u16string_view(key ? key : u""), nullptr);
    if (found < 0) {
        out = NvString(std::u16string_view());
        return 0;
    }
    // Into the buffer out already has, when it has one.
    const std::u16string_view value = ValueOf(m_entries[static_cast<size_t>(found)]);
    if (!out.SetString(value)) out = NvString(value);
    return 1;
}

int NvConfigMap::GetValue(const char16_t* key, std::u16string_view& out) const {
    const int found = FindEntry(std::u16string_view(key ? key : u""), nullptr);
    out = found < 0 ? std::u16string_view() : ValueOf(m_entries[static_cast<size_t>(found)]);
    return found < 0 ? 0 : 1;
}

int NvConfigMap::GetInt(const char16_t* key, int* out) const {
    const int found = FindEntry(std::u16string_view(key ? key : u""), nullptr);
    if (out) *out = found < 0 ? 0 : ParseInt(ValueOf(m_entries[static_cast<size_t>(found)]));
    return found < 0 ? 0 : 1;
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
    if (key) *key = NvString(KeyOf(entry));
    if (type) *type = entry.type;
    const bool asInt = value && entry.type == kNvConfigTypeInt;
    if (text) *text = asInt ? NvString() : NvString(ValueOf(entry));
    if (value) *value = asInt ? ParseInt(ValueOf(entry)) : 0;
    return 1;
}

std::u16string_view NvConfigMap::KeyAt(int position) const {
    if (position < 0 || static_cast<size_t>(position) >= m_entries.size()) return {};
    return KeyOf(m_entries[static_cast<size_t>(position)]);
}

std::u16string_view NvConfigMap::ValueAt(int position) const {
    if (position < 0 || static_cast<size_t>(position) >= m_entries.size()) return {};
    return ValueOf(m_entries[static_cast<size_t>(position)]);
}

int NvConfigMap::TypeAt(int position) const {
    if (position < 0 || static_cast<size_t>(position) >= m_entries.size()) return 0;
    return m_entries[static_cast<size_t>(position)].type;
}

void NvConfigMap::RemoveAll() {
    // The memory of an ordinary file's keys is kept for the next ones (a
    // store clears its map on every load and save); a table that grew far
    // past that hands its memory back.
    m_hint.value.store(0, std::memory_order_relaxed);
    m_nextEntry.value.store(0, std::memory_order_relaxed);
    m_unusedUnits = 0;
    if (m_entries.capacity() > kKeptCapacity || m_text.capacity() > kKeptTextUnits) {
        std::vector<int>().swap(m_sorted);
        std::vector<_tagNVSTRUCT_MAPTABLE>().swap(m_entries);
        std::u16string().swap(m_text);
        return;
    }
    m_sorted.clear();
    m_entries.clear();
    m_text.clear();
}

int NvConfigMap::ParseInt(std::u16string_view text) { return ParseDecimal(text); }

// ---------------------------------------------------------------- bytes

// Room in map for the lines of bytes: a key a line, and no more text than
// there are bytes.
void ReserveForLines(std::string_view bytes, NvConfigMap& map) {
    size_t lines = 0;
    for (const char* p = bytes.data(); p; ++lines) {
        const size_t left = bytes.size() - static_cast<size_t>(p - bytes.data());
        const void* lf = left > 0 ? std::memchr(p, '\n', left) : nullptr;
        p = lf ? static_cast<const char*>(lf) + 1 : nullptr;
    }
    map.Reserve(lines, bytes.size());
}

NvConfigParseStatus ParseNvConfigBytes(std::string_view bytes, NvConfigMap& map, std::string* error) {
    NvConfigParseStatus status = NvConfigParseStatus::kOk;
    ReserveForLines(bytes, map);
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
        if (!map.SetValue(std::u16string_view(key), std::u16string_view(value), type)) {
            DebugTrace(2, "[CFG] line %zu: key skipped: empty or holds a CR\n", lineNo);
        }
        return true;
    });
    return status;
}

bool ParseNvKeyValueBytes(std::string_view bytes, NvConfigMap& map, std::string* error) {
    bool allText = true;
    ReserveForLines(bytes, map);
    // Each line's text is decoded into these, whose buffers serve every line.
    std::u16string key;
    std::u16string value;
    ForEachLine(bytes, [&](size_t lineNo, std::string_view line) {
        line = line.substr(0, line.find('\0'));
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos || equals == 0) return true;
        std::string_view valueBytes = line.substr(equals + 1);
        valueBytes = valueBytes.substr(0, valueBytes.find('\r'));
        platform::CodecError codec;
        if (!platform::Cp949ToUtf16(line.substr(0, equals), key, &codec) ||
            !platform::Cp949ToUtf16(valueBytes, value, &codec)) {
            if (allText) SetError(error, lineNo, codec.message);
            allText = false;
            return true;
        }
        while (!key.empty() && key.back() == u' ') key.pop_back();
        map.SetValue(std::u16string_view(key), std::u16string_view(value), kNvConfigTypeUntyped);
        return true;
    });
    return allText;
}

bool FormatNvConfigBytes(const NvConfigMap& map, std::string& out, std::string* error) {
    out.clear();
    // The text is built whole in one buffer: each line is its key and value
    // and at most 16 units more ("|", the type, "=", CR LF).
    size_t units = 0;
    for (int i = 0; i < map.GetCount(); ++i) units += map.KeyAt(i).size() + map.ValueAt(i).size() + 16;
    std::u16string text;
    text.reserve(units);
    for (int i = 0; i < map.GetCount(); ++i) {
        const std::u16string_view key = map.KeyAt(i);
        // The reader drops a key's trailing blanks.
        if (!key.empty() && key.back() == u' ') {
            if (error) *error = "key \"" + NvString(key).ToUtf8() + "\" ends in a blank";
            return false;
        }
        text += key;
        text += u'|';
        text += AsciiToU16(std::to_string(map.TypeAt(i)));
        text += u'=';
        text += map.ValueAt(i);
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

int NvConfigFile::ReadBytes(std::vector<uint8_t>& bytes, bool& exists) {
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
    return platform::ReadWholeFile(native, bytes, &m_lastError) ? 1 : 0;
}

namespace {

std::string_view AsText(const std::vector<uint8_t>& bytes) {
    return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace

int NvConfigFile::Parse(int clear) {
    if (clear == 1) Clear();
    m_lastError.clear();
    std::vector<uint8_t> bytes;
    bool exists = false;
    const bool read = ReadBytes(bytes, exists) != 0;
    if (!exists) return 0;
    if (read && ParseNvConfigBytes(AsText(bytes), *this, &m_lastError) == NvConfigParseStatus::kOk) return 1;
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
    std::vector<uint8_t> bytes;
    bool exists = false;
    if (!ReadBytes(bytes, exists)) return 0;
    if (!ParseNvKeyValueBytes(AsText(bytes), *this, &m_lastError)) {
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
    const std::string native = NativeFilePath(m_path);
    if (!CreateFoldersOf(native)) {
        m_lastError = "cannot create the folders of " + m_path.ToUtf8();
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

int NvConfigFile::GetString(const char16_t* key, std::u16string_view& out, int required) {
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

int NvConfigFile::CreateFolderPath(const NvString& path) { return CreateFoldersOf(NativeFilePath(path)); }

int NvConfigFile::CreateFoldersOf(const std::string& native) {
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
    NvString result;
    if (withFolder) {
        std::lock_guard<std::mutex> lock(g_folderMutex);
        result.SetString((type == NV_FILE_COURSE_CURRENT ? g_routeFolder : g_configFolder).View());
    }
    result.Append(type >= 0 && type < NV_FILE_TYPE_COUNT ? kSettingsFileNames[type] : u"");
    return result;
}

void NvFilePath::SetFolders(const NvString& configFolder, const NvString& routeFolder) {
    std::lock_guard<std::mutex> lock(g_folderMutex);
    g_configFolder = configFolder;
    g_routeFolder = routeFolder;
}
