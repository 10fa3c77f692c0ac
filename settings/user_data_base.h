#pragma once
// What every store of the driver's own data shares: one settings file read
// and written through an NvConfigFile, Load and Save of the store's own
// file (a null name) or of a given path, and the handling of files that
// cannot be taken as they are.
//
// Stores take no lock of their own: the screens call them on the main
// thread, and a caller on another thread keeps its calls apart itself.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/coords.h"
#include "foundation/nv_array.h"
#include "foundation/nv_config.h"
#include "foundation/nv_string.h"

struct _tagUISTRUCT_POSINFO;

// Case-insensitive order of two names (_wcsicmp folding).
int CompareNamesNoCase(std::u16string_view a, std::u16string_view b);

// What the user-data stores share: the per-entry keys "<prefix>NNN.<field>"
// of their files and the lists of stored positions behind their screens.
namespace userdata {

// A key of a store's file, built in place: a load or save goes through
// hundreds of keys, which as strings of their own would cost an allocation
// apiece. Keys are short; text past kCapacity units spoils the key, which
// then reads as empty (no such key is found, and none is set).
class KeyText {
public:
    static constexpr size_t kCapacity = 120;

    KeyText() { m_units[0] = u'\0'; }
    // ASCII text appended.
    KeyText& Append(std::string_view ascii);
    const char16_t* c_str() const { return m_units; }
    std::u16string_view View() const { return {m_units, m_length}; }

private:
    char16_t m_units[kCapacity + 1];
    size_t m_length = 0;
    bool m_spoiled = false;
};

// "<prefix>NNN.<field>" as a key (the number as "%03d").
KeyText EntryKey(std::string_view prefix, int entry, std::string_view field);
// The entry number of a key "<prefix>NNN.field" (at least three digits,
// then "."); -1 for other keys. foldCase compares the prefix without regard
// to case, as the settings file matches keys.
int EntryNumberOfKey(std::u16string_view key, std::string_view prefix, bool foldCase = false);
// The highest entry number that entryOf finds among the keys of a map; -1
// when none.
using EntryOfKeyFn = int (*)(std::u16string_view key);
int HighestEntry(const NvConfigMap& map, EntryOfKeyFn entryOf);
// Required integer key into a field of another width (0 when missing).
int ReadInt(NvConfigFile& file, const char16_t* key, int32_t* out);
inline int ReadInt(NvConfigFile& file, const KeyText& key, int32_t* out) { return ReadInt(file, key.c_str(), out); }
// Required text key into a name field of `units` units.
int ReadText(NvConfigFile& file, const char16_t* key, char16_t* field, int units);
inline int ReadText(NvConfigFile& file, const KeyText& key, char16_t* field, int units) {
    return ReadText(file, key.c_str(), field, units);
}
inline int ReadText(NvConfigFile& file, const std::u16string& key, char16_t* field, int units) {
    return ReadText(file, key.c_str(), field, units);
}
// A name field as a text key, made to fit a settings line.
int WriteText(NvConfigFile& file, const char16_t* key, const char16_t* field, int units);
inline int WriteText(NvConfigFile& file, const KeyText& key, const char16_t* field, int units) {
    return WriteText(file, key.c_str(), field, units);
}
inline int WriteText(NvConfigFile& file, const std::u16string& key, const char16_t* field, int units) {
    return WriteText(file, key.c_str(), field, units);
}

// The matched position of the GPS module (the origin without one).
MapPoint CurrentPosition();
// Metres between two points, cut to an integer.
int DistanceM(const MapPoint& from, const MapPoint& to);
// The same place: closer than nearUnits in x and in y, and the same name.
bool SamePlace(const _tagUISTRUCT_POSINFO& a, const _tagUISTRUCT_POSINFO& b, int32_t nearUnits);

// The lists of the screens hold stored positions of records.
std::vector<int> ListValues(const NvArray<int>& list);
void SetListValues(NvArray<int>& list, const std::vector<int>& values);
// A record removed at `stored`: its position leaves the list, the later
// ones move down one.
void DropStoredPosition(std::vector<int>& list, int stored);
void DropStoredPosition(NvArray<int>& list, int stored);
// Positions outside 0..count-1 (records removed without a rebuild) go.
void DropStalePositions(std::vector<int>& list, int count);
// The stored position at a list position; -1 when there is none or it
// names no record of count.
int StoredPositionAt(const NvArray<int>& list, int position, int count);

// Orders the three lists that follow the stored order: lists[0] keeps the
// stored order without stale positions, lists[1] is that by name (nameOf
// of a stored position, without regard to case), lists[2] newest first.
// The stored order comes back for further lists.
template <class NameOf>
std::vector<int> OrderStoredNamedNewest(NvArray<int>* lists, int count, NameOf&& nameOf) {
    std::vector<int> stored = ListValues(lists[0]);
    DropStalePositions(stored, count);
    SetListValues(lists[0], stored);
    std::vector<int> byName = stored;
    std::sort(byName.begin(), byName.end(), [&](int a, int b) { return CompareNamesNoCase(nameOf(a), nameOf(b)) < 0; });
    SetListValues(lists[1], byName);
    SetListValues(lists[2], std::vector<int>(stored.rbegin(), stored.rend()));
    return stored;
}

}  // namespace userdata

class CMgrConfigUIDataBase {
public:
    CMgrConfigUIDataBase() = default;
    virtual ~CMgrConfigUIDataBase() = default;
    CMgrConfigUIDataBase(const CMgrConfigUIDataBase&) = delete;
    CMgrConfigUIDataBase& operator=(const CMgrConfigUIDataBase&) = delete;

    // Read the store from a file (null: the store's own file). The base
    // does nothing and returns 1.
    virtual int Load(const char16_t* file);
    // Write the store to a file (null: the store's own file). The base does
    // nothing and returns 1.
    virtual int Save(const char16_t* file);

protected:
    // The given path, or the store's own file of that settings-file type.
    static NvString FilePathFor(const char16_t* file, int fileType);
    // Sets a file the store refuses (missing header keys, a count its
    // store refuses) aside under its err name before anything writes a
    // fresh file there, and says why. Only the store's own file is set
    // aside; a file at a path the caller gave stays as it is.
    void RejectFile(const NvString& path, const char* why);

    // What the header of a counted file must hold: "nVersion" and the
    // count key. Keys of entries at or beyond the count are not read. The
    // texts say why a file is not taken; a null noHeader lets a file
    // without the count key pass with count 0; a null outside reads any
    // count (entries the file does not hold are skipped), otherwise a
    // count outside 0..maxCount refuses the file.
    struct CountedFile {
        const char16_t* countKey;
        int maxCount;
        userdata::EntryOfKeyFn entryOf;
        const char* noHeader;
        const char* outside;
    };

    // m_configFile read from path (ownFile: the store's own file, which a
    // damaged copy may be set aside from); false, with m_configFile
    // cleared, for a missing file or one that does not parse.
    bool OpenFile(const NvString& path, bool ownFile);
    // Reads a counted file's header: the count into count and the number
    // of entries worth visiting (the count, but none past the last entry
    // the file holds a key of) into toVisit. Why the file is not to be
    // taken, or null.
    const char* CheckCountedFile(const CountedFile& desc, int* count, int* toVisit);
    // The entries of a counted file to read: those below toVisit that some
    // key of the file names (entryOf), in ascending order. An entry the file
    // holds no key of is skipped by every store; looking for its keys one
    // by one (a file with entries 0 and 199 alone costs 200 rounds of
    // lookups) would only find them missing, so it is left out and the file
    // is marked for writing again, as its missing keys would have marked it.
    std::vector<int> EntriesWithKeys(userdata::EntryOfKeyFn entryOf, int toVisit);
    // A file not taken: set aside (why), m_configFile cleared. 0, what Load
    // then returns; the store empties itself.
    int RefuseFile(const NvString& path, const char* why);
    // The end of a Load that took its file: m_configFile cleared. A file
    // that lacked keys (an older version's) is written again complete
    // from what could be read, as it also is when saveAnyway. 1, what Load
    // then returns.
    int FinishLoad(bool saveAnyway = false);
    // The start of a Save: m_configFile emptied and pointed at the file,
    // "nVersion" set. 1 when set.
    int StartSave(const char16_t* file, int fileType);
    // The end of a Save: the file written when every key was set (ok),
    // m_configFile cleared. What Save returns.
    int FinishSave(int ok);

    // The sort mode a call means: kModeCurrent (-1) is the last one named;
    // any other is named and becomes the current one.
    static int FollowSortMode(int& sortMode, int mode) {
        if (mode == -1) return sortMode;
        sortMode = mode;
        return mode;
    }
    // GetItem of the stores with sort modes: without a buffer, whether the
    // position lies below the number of records (a named mode still becomes
    // current); otherwise the record behind the position (storedIndex of
    // position and mode), 0 when there is none.
    template <class Record, class StoredIndex>
    static int CopyItemAt(const NvArray<Record>& items, int& sortMode, int position, Record* buffer, int mode,
                          StoredIndex&& storedIndex) {
        if (!buffer) {
            if (mode != -1) sortMode = mode;
            return (position >= 0 && position < items.GetCount()) ? 1 : 0;
        }
        const int stored = storedIndex(position, mode);
        if (stored < 0) return 0;
        *buffer = *items.GetAt(stored);
        return 1;
    }

    NvConfigFile m_configFile;
    bool m_ownFile = true;        // the last OpenFile read the store's own file
    bool m_countPastKeys = false; // its count names entries it holds no key of
};

