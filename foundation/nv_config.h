#pragma once
// Settings files: small text files of typed key-value lines, one per
// settings object or user-data store, plus "\UI\Data.ini".
//
// A file holds one line per key, in the order the keys were first set:
//     key "|" type "=" value CR LF        ("%s|%d=%s\r\n")
// in CP949 without a byte-order mark. Type 1 is an integer (written as
// unsigned decimal, so -1 is "4294967295"), 2 a string, 0 untyped; any other
// type number read from a file is kept and written back unchanged. Nothing
// is escaped: a key never contains "|", and neither key nor value contains
// CR or LF (SetValue refuses such text).
//
// Files are written whole (clear, set every key, Save) and read key by key.
// Save replaces the file atomically, so a crash or power loss leaves either
// the old file or the new one. A file that cannot be read back is set aside
// under its "err" name (RecentDest.udt -> RecentDest.err) before anything
// can overwrite it, and the process-wide error count goes up; the shell
// tells the user with kSettingsFileErrorMessage.
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/nv_string.h"

// One key of a settings file: its key and value text, held in the text
// buffer of its map (a table of a thousand keys would otherwise hold a
// thousand pairs of 512-character buffers, or two thousand strings of
// their own), and its type.
struct _tagNVSTRUCT_MAPTABLE {
    size_t keyStart = 0;
    size_t keyLength = 0;
    size_t valueStart = 0;
    size_t valueLength = 0;
    int32_t type = 0;
};

inline constexpr int kNvConfigTypeUntyped = 0;
inline constexpr int kNvConfigTypeInt = 1;
inline constexpr int kNvConfigTypeString = 2;

// A line read back is at most this many bytes, counting one byte for its
// line end; a longer line marks the file as damaged.
inline constexpr size_t kNvConfigMaxLineBytes = 1022;

// The key table: entries in insertion order (the order of the saved lines)
// and an index sorted by key without regard to case. Keys are unique
// without regard to case.
class NvConfigMap {
public:
    NvConfigMap();
    virtual ~NvConfigMap();
    NvConfigMap(const NvConfigMap&) = default;
    NvConfigMap& operator=(const NvConfigMap&) = default;

    // Adds the key, or replaces the value and type of the existing key in
    // place (its line keeps its position). 1; 0 for an empty key, a key
    // holding "|", or a key or value holding CR, LF or NUL (such text
    // would not read back).
    int SetValue(std::u16string_view key, std::u16string_view value, int type);
    int SetValue(const char16_t* key, const char16_t* value, int type);
    int SetValue(const NvString& key, const NvString& value, int type);
    // SetValue (key, value as "%u", 1).
    int SetInt(const char16_t* key, int value);
    int SetInt(const NvString& key, int value) { return SetInt(key.GetData(), value); }

    // 1 and the sorted-index position when found; 0 and the position where
    // the key would be inserted.
    int FindKey(const char16_t* key, int* position) const;
    // 1 and the value text; 0 and an empty text when the key is missing.
    int GetValue(const char16_t* key, NvString& out) const;
    // The same as a view, which lasts until the map next changes.
    int GetValue(const char16_t* key, std::u16string_view& out) const;
    // 1 and the value as an integer; 0 and 0 when missing.
    int GetInt(const char16_t* key, int* out) const;
    // The entry at a position (sorted = 1: in key order; 0: insertion
    // order). Any output may be null. With an integer output and type 1 the
    // value comes as integer, otherwise as text. 0 with the outputs emptied
    // when the position is out of range.
    int GetAt(int position, NvString* key, int* type, NvString* text, int* value, int sorted) const;
    // The key, value text and type of the entry at an insertion-order
    // position; empty texts and type 0 out of range. The texts last until
    // the map next changes.
    std::u16string_view KeyAt(int position) const;
    std::u16string_view ValueAt(int position) const;
    int TypeAt(int position) const;
    int GetCount() const { return static_cast<int>(m_entries.size()); }
    void RemoveAll();
    // Room for that many more keys and units of key and value text.
    void Reserve(size_t keys, size_t textUnits);

    // Decimal text as written by SetInt (optional sign; 2147483648 ..
    // 4294967295 keep their bit pattern), so every integer round-trips.
    static int ParseInt(std::u16string_view text);

protected:
    std::vector<int> m_sorted;                       // entry positions ordered by key
    std::vector<_tagNVSTRUCT_MAPTABLE> m_entries;    // insertion order
    // Every entry's key and value, one after another; a value replaced by a
    // longer one moves to the end, and the units it leaves behind are
    // counted in m_unusedUnits until the buffer is packed again.
    std::u16string m_text;
    size_t m_unusedUnits = 0;

private:
    std::u16string_view KeyOf(const _tagNVSTRUCT_MAPTABLE& entry) const {
        return std::u16string_view(m_text).substr(entry.keyStart, entry.keyLength);
    }
    std::u16string_view ValueOf(const _tagNVSTRUCT_MAPTABLE& entry) const {
        return std::u16string_view(m_text).substr(entry.valueStart, entry.valueLength);
    }
    int FindKey(std::u16string_view key, int* position) const;
    // The insertion-order position of the key's entry, or -1 with the
    // sorted-index position where it would go in insertAt (when given).
    int FindEntry(std::u16string_view key, int* insertAt) const;
    // Puts text at the end of the buffer; its start.
    size_t AppendText(std::u16string_view text);
    // Drops the units no entry uses any more.
    void PackText();

    // Where in the sorted index the next look-up probably lands: just past
    // the last key found or added. Stores write their keys in runs of
    // ascending order and read them back in the order they wrote them, so
    // FindKey tries this place (one or two comparisons) before searching.
    // Any value is safe: it is checked against the index before use. Look-ups
    // are const and may run side by side, hence atomic; a copy starts afresh.
    struct PositionHint {
        std::atomic<int> value{0};
        PositionHint() = default;
        PositionHint(const PositionHint&) noexcept {}
        PositionHint& operator=(const PositionHint&) noexcept {
            value.store(0, std::memory_order_relaxed);
            return *this;
        }
    };
    mutable PositionHint m_hint;
    // The entry after the last one found: a store reads its keys in the
    // order it wrote them, which is the order of the entries, so
    // FindEntry compares this one entry's key before searching.
    mutable PositionHint m_nextEntry;
};

// Why settings-file bytes did not parse.
enum class NvConfigParseStatus {
    kOk,
    kMalformed,     // no key, no "|", no "=" or no type text after it, a NUL byte
    kLineTooLong,   // a line over kNvConfigMaxLineBytes
};

// Parses settings-file bytes into map (entries before a failing line stay).
// error, when given, tells the line and the reason. A value that is not
// CP949 reads as empty text and a key that is not is skipped; the other
// lines load.
NvConfigParseStatus ParseNvConfigBytes(std::string_view bytes, NvConfigMap& map, std::string* error = nullptr);
// The old untyped "key=value" lines (import of old user data): lines
// without a key are skipped; type 0. False only for text that is not CP949.
bool ParseNvKeyValueBytes(std::string_view bytes, NvConfigMap& map, std::string* error = nullptr);
// The file bytes of a map, "%s|%d=%s\r\n" per entry in insertion order.
// False when some text has no CP949 form, or an entry would not read back
// as it is (a line over the read limit, a key ending in a blank), so that
// whatever Save writes loads again with the same entries.
bool FormatNvConfigBytes(const NvConfigMap& map, std::string& out, std::string* error = nullptr);

class NvConfigFile : public NvConfigMap {
public:
    NvConfigFile() = default;
    ~NvConfigFile() override = default;

    // The path is a Windows-style name ("%s\User\Navi\Config\RegDest.udt"
    // with the data root for %s); it is resolved to a native path when the
    // file is touched.
    void SetFilePath(NvString path) { m_path = std::move(path); }
    const NvString& GetFilePath() const { return m_path; }
    // Missing-key flag 0 and RemoveAll.
    void Clear();
    int HasMissingKey() const { return m_missingKey; }

    // A read-only file (content such as "\UI\Data.ini") is never set aside
    // and never saved.
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }

    // Sets the path, clears, parses. 1 on success. A file that exists but
    // does not parse is set aside first (unless read-only).
    int Load(const NvString& path);
    // Reads the file at the path into the map (clearing first when
    // clear = 1). 1 on success; 0 for a missing or unreadable file or
    // damaged content (see Load).
    int Parse(int clear);
    // Reads a file of untyped "key=value" lines; 1 when the file was read.
    int ParseKeyValue(int clear);
    // Writes the whole map to the path, creating missing folders, by atomic
    // replace. 1 on success; 0 (file untouched) on failure, for a read-only
    // file, and while the path holds a damaged file that could not be set
    // aside.
    int Save();

    // As GetValue / GetInt; a missing key with required = 1 sets the
    // missing-key flag.
    int GetString(const char16_t* key, NvString& out, int required);
    int GetString(const char16_t* key, std::u16string_view& out, int required);
    int GetInt(const char16_t* key, int* out, int required);
    using NvConfigMap::GetInt;

    // Why the last Load, Parse or Save failed (empty after success).
    const std::string& LastError() const { return m_lastError; }

    // Sets a damaged file aside under its err name, replacing an older err
    // file, and counts it. 1 when it was set aside or there is no file; 0
    // when it could not be moved: it then stays in place and Save refuses
    // to overwrite it for the rest of the run.
    static int BackupErrorFile(const NvString& path);
    // The err name of a path: the file name up to and including its last
    // "." followed by "err" ("RecentDest.udt" -> "RecentDest.err"); a name
    // without "." gets ".err".
    static NvString ErrorFileName(const NvString& path);
    // Creates every missing folder along the path (the last component is a
    // file name). 1 on success, 0 when a folder cannot be created or a file
    // stands in its place.
    static int CreateFolderPath(const NvString& path);
    // The native path of a Windows-style name (empty when too long).
    static std::string NativeFilePath(const NvString& path);

private:
    int ReadBytes(std::vector<uint8_t>& bytes, bool& exists);
    // CreateFolderPath of a native path (empty: 0).
    static int CreateFoldersOf(const std::string& native);

    NvString m_path;
    int32_t m_missingKey = 0;
    bool m_readOnly = false;
    std::string m_lastError;
};

// Process-wide count of settings files set aside since the shell last took
// it. TakeSettingsFileErrorCount returns the count and resets it to 0.
int GetSettingsFileErrorCount();
int TakeSettingsFileErrorCount();
// What the shell tells the user (message box, 5000 ms) when the count it
// took was above 0.
inline constexpr char16_t kSettingsFileErrorMessage[] =
    u"사용자 설정 파일에 오류가 발생되어\n초기값으로 사용합니다.";
inline constexpr int kSettingsFileErrorMessageTimeoutMs = 5000;

// Settings and user-data file types for GetSettingsFileName.
enum NvSettingsFileType : int {
    NV_FILE_NAVI = 0,           // "\Navi.gdt"
    NV_FILE_COURSE_CURRENT = 1, // "\CourseCurrent.idt" (route folder)
    NV_FILE_UI_SETTING = 2,     // "\UISetting.ust"
    NV_FILE_MAP_SETTING = 3,    // "\MapSetting.ust"
    NV_FILE_RECENT_DEST = 4,    // "\RecentDest.udt"
    NV_FILE_MY_THEME = 5,       // "\MyTheme.udt"
    NV_FILE_REG_DEST = 6,       // "\RegDest.udt"
    NV_FILE_REPEAT_DEST = 7,    // "\RepeatDest.udt"
    NV_FILE_REG_SAFE_DEST = 8,  // "\RegSafeDest.udt"
    NV_FILE_REG_COURSE = 9,     // "\RegCourse.udt"
    NV_FILE_UI_DLG_INFO = 10,   // "\UIDlgInfo.udt"
    NV_FILE_QUICK_MENU = 11,    // "\QuickMenu.udt"
    NV_FILE_TYPE_COUNT = 12,
};

// Names the settings files. The folders come from the global settings,
// which hand them over once at start-up (SetFolders).
class NvFilePath {
public:
    NvFilePath() = default;
    virtual ~NvFilePath() = default;

    // The file of a type, after its folder when withFolder = 1 (the
    // configuration folder, or the route folder for "\CourseCurrent.idt").
    // A type outside 0..11 gives the configuration folder alone, or an
    // empty text without the folder.
    NvString GetSettingsFileName(int type, int withFolder) const;

    static void SetFolders(const NvString& configFolder, const NvString& routeFolder);
};
