#pragma once
// One-time take-over of the registered places and folders that earlier
// releases kept in "RegLoc.usd" (binary) or "UserRegLoc.ini" (key=value
// lines) in the configuration folder. The old places become registered
// places, the old folders (all but the old folder 0) the driver's folders.
//
// The old files are removed only after the registered-places file holding
// what was taken over has been written: a failed read or a failed save
// keeps them, and the next start imports again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/nv_array.h"
#include "foundation/nv_config.h"
#include "foundation/nv_string.h"
#include "settings/place_folder.h"
#include "settings/reg_dest.h"

inline constexpr char16_t kOldBinaryFileName[] = u"RegLoc.usd";
inline constexpr char16_t kOldSettingsFileName[] = u"UserRegLoc.ini";

// Sizes of the old binary records.
inline constexpr size_t kOldFolderRecordBytes = 132;
inline constexpr size_t kOldPositionBytes = 140;
inline constexpr size_t kOldAlarmBytes = 16;
inline constexpr int kOldMaxFolders = 12;
inline constexpr int kOldMaxPlaces = 200;
inline constexpr int kOldNameUnits = 65;
inline constexpr int kOldMemoUnits = 16;
inline constexpr int kOldFolderNameUnits = 64;

// The last version word of each layout class (the four bytes are the
// version's text written backwards: 0x322E3032 is "20.2", release 2.02).
inline constexpr int32_t kOldVersionClass1Last = 0x322E3032;
inline constexpr int32_t kOldVersionClass2Last = 0x332E3031;
inline constexpr int32_t kOldVersionClass3Last = 0x332E3033;
inline constexpr int32_t kOldVersionClass4 = 0x332E3034;

// The layout class (1..5) of a version word, compared as signed.
int OldRecordClassOfVersion(int32_t versionWord);
// Bytes of one place record of a class; 0 for a class outside 1..5.
size_t OldPlaceRecordBytes(int recordClass);

struct OldTimeOfDay {
    uint8_t uHour = 0;
    uint8_t uMinute = 0;
    uint8_t uSecond = 0;
    friend bool operator==(const OldTimeOfDay&, const OldTimeOfDay&) = default;
};

struct OldDate {
    int16_t sYear = 0;
    uint8_t uMonth = 0;
    uint8_t uDay = 0;
    friend bool operator==(const OldDate&, const OldDate&) = default;
};

// An old place as the readers fill it; the initial values are the defaults
// of every field a file does not give.
struct OldRegLocRecord {
    int32_t nFolder = 1;
    int32_t nIndex = 1;
    int32_t nShortKey = -1;
    int32_t nCate = 2;
    int32_t nIcon = 0;
    int32_t nVoice = 0;
    int32_t bAlramUse = 0;
    int32_t eRegionCheck = 0;
    OldTimeOfDay startTime{6, 0, 0};
    OldTimeOfDay endTime{10, 0, 0};
    OldDate lastRanDate;
    int32_t nDayOfWeek = 31;
    int32_t x = 0;
    int32_t y = 0;
    std::u16string name;  // at most 64 characters
    std::u16string memo;  // at most 16 characters

    friend bool operator==(const OldRegLocRecord&, const OldRegLocRecord&) = default;
};

// What an old file held.
struct OldUserData {
    // The old folders in order, old folder 0 included (its name is not
    // used); empty when the file had no folder list.
    std::vector<std::u16string> folders;
    std::vector<OldRegLocRecord> places;

    friend bool operator==(const OldUserData&, const OldUserData&) = default;
};

// "RegLoc.usd" bytes. 1 on success; 0 (out emptied, error told) for a file
// that ends early or holds more than 12 folders or 200 places.
int ParseOldBinaryUserData(const uint8_t* data, size_t size, OldUserData& out, std::string* error = nullptr);
// "UserRegLoc.ini" keys. 1 on success; 0 (out emptied, error told) for a
// folder count below 0 or above the number of keys. Missing keys keep the
// defaults. Of more
// than 200 places only the newest 200 are kept, as the store would keep
// them.
int ReadOldSettingsUserData(const NvConfigMap& keys, OldUserData& out, std::string* error = nullptr);
// "UserRegLoc.ini" bytes into keys: "key=value" lines; lines in the typed
// settings-file form ("key|type=value") are read too.
void ParseOldSettingsBytes(std::string_view bytes, NvConfigMap& keys);

// The registered place of an old place, given the number of folders taken
// over (an old folder that does not map goes to folder 0).
_tagUISTRUCT_REGDEST ConvertOldPlace(const OldRegLocRecord& old, int folderCount);
// The folders taken over: old folders 1..n-1; "기본폴더" alone when there
// are none.
void ConvertOldFolders(const OldUserData& old, NvArray<_tagUISTRUCT_FOLDERITEM>& folders);

class CMgrConfigUIDataConvert {
public:
    // Which old file the last Convert took.
    enum class Source { kNone, kSettingsFile, kBinaryFile };

    CMgrConfigUIDataConvert() = default;
    virtual ~CMgrConfigUIDataConvert() = default;
    CMgrConfigUIDataConvert(const CMgrConfigUIDataConvert&) = delete;
    CMgrConfigUIDataConvert& operator=(const CMgrConfigUIDataConvert&) = delete;

    // Empties both arrays and fills them from "UserRegLoc.ini" or, when that
    // cannot be read, "RegLoc.usd" in the folder (null: the configuration
    // folder). True when an old file was read. The old files stay: the
    // caller removes them with RemoveOldFiles once it has saved what it
    // took. A failed read leaves both arrays empty.
    bool Convert(NvArray<_tagUISTRUCT_FOLDERITEM>* folders, NvArray<_tagUISTRUCT_REGDEST>* places,
                 const char16_t* folder);
    // Removes the old files behind the last successful Convert (both when
    // the settings file was read, the binary file otherwise). 1 when they
    // are gone.
    int RemoveOldFiles();
    Source GetSource() const { return m_source; }
    // Why the last Convert took nothing (empty when there was no old file).
    const std::string& LastError() const { return m_lastError; }

    // The whole take-over in the configuration folder, for the registered
    // places store: convert, write "\RegDest.udt" with what was taken over,
    // and only when that was written remove the old files. True when old
    // data were taken over; the arrays then hold them.
    static bool ImportIntoRegDest(NvArray<_tagUISTRUCT_FOLDERITEM>& folders, NvArray<_tagUISTRUCT_REGDEST>& places);
    // The same for a given folder of old files (tests).
    static bool ImportIntoRegDest(NvArray<_tagUISTRUCT_FOLDERITEM>& folders, NvArray<_tagUISTRUCT_REGDEST>& places,
                                  const char16_t* folder);
    // Hands ImportIntoRegDest to the registered-places store, which runs it
    // when it is constructed.
    static void Install();

private:
    std::string OldFilePath(const char16_t* name) const;

    NvString m_folder;
    Source m_source = Source::kNone;
    std::string m_lastError;
};
