#pragma once
// The version trailer of the released data files and the version record the
// version screen shows.
//
// Five data files end in a 48-byte trailer: the text "PELOXVERINFO", the
// major, minor and build numbers and a date text. A file without one (or
// one that cannot be opened) is never an error for the caller: its line in
// the version record reads "1.0.0" and "000000".
//
// The data root is passed in by the caller (the map-data manager has it from
// the global settings), so this unit needs no settings object.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr size_t kMneVersionTrailerBytes = 48;
inline constexpr char kMneVersionMagic[] = "PELOXVERINFO";
inline constexpr size_t kMneVersionMagicBytes = 12;
inline constexpr size_t kMneVersionDateBytes = 16;
inline constexpr int kMneVersionFileCount = 5;

// Indices of the checked files.
enum MneVersionFile : int {
    kMneVersionCameraT1 = 0,  // "\Map\CameraT1.map"
    kMneVersionCameraT2 = 1,  // "\Map\CameraT2.map"
    kMneVersionBaseMap = 2,   // "\Map\Base.map"
    kMneVersionRoad = 3,      // "\Map\Road.ndb"
    kMneVersionSearch = 4,    // "\Search\nvr.sdb"
};

// Results of CheckVersion.
inline constexpr int kMneVersionValid = 0;
inline constexpr int kMneVersionNoTrailer = -1;
inline constexpr int kMneVersionCannotOpen = -2;

// The program's own version and build, shown beside the data versions.
inline constexpr char kMneProgramVersionMajor[] = "2.2";
inline constexpr char kMneProgramVersionMinor[] = "19";
inline constexpr char kMneProgramBuild[] = "100705";

// A trailer as stored (raw) and as read.
struct MneVersionTrailer {
    std::array<uint8_t, kMneVersionTrailerBytes> raw{};
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    // The 8-bit date text up to its first NUL (all 16 bytes when it has none).
    std::string date;
};

// The Windows-style name of a checked file ("\Map\Base.map"); null outside 0..4.
const char* MneVersionFileName(int index);

// Reads a trailer from exactly 48 bytes; 1 when they start with the magic
// text, 0 otherwise (out is then left cleared).
int ParseVersionTrailer(const uint8_t* bytes, size_t size, MneVersionTrailer& out);

// 0 (kMneVersionValid) when the file's last 48 bytes are a trailer (copied
// out), -1 when they are not, -2 when the file cannot be opened or is
// shorter than 48 bytes. out may be null.
int CheckVersion(const std::string& dataRoot, int index, MneVersionTrailer* out);

// The version record: wide text fields of 16 UTF-16 units (32 bytes), each
// NUL-terminated when shorter than 16.
inline constexpr size_t kMneVersionFieldChars = 16;
using MneVersionField = std::array<char16_t, kMneVersionFieldChars>;

struct MneVersionRecord {
    MneVersionField programVersion{};                           // "2.2.19"
    MneVersionField reserved{};                                 // empty
    MneVersionField programBuild{};                             // "100705"
    std::array<MneVersionField, kMneVersionFileCount> fileVersion{};  // "%d.%d.%d"
    std::array<MneVersionField, kMneVersionFileCount> fileDate{};     // date text
};
static_assert(sizeof(MneVersionRecord) == 416, "the version record is 416 bytes");

// The text of a field (up to its NUL or all 16 units).
std::u16string MneVersionFieldText(const MneVersionField& field);

// Fills the record from the five files under dataRoot and hands the texts to
// the crash report (SetCrashReportVersions). Always 1. The map-data
// manager's GetVersionInfo forwards here with its data root.
int GetVersionInfo(const std::string& dataRoot, MneVersionRecord& out);

// The line of one file in the record, from a CheckVersion result: the
// trailer's numbers and date, or "1.0.0" / "000000" when the result is not
// 0 or the trailer's texts do not fit their fields.
void FillVersionLine(int checkResult, const MneVersionTrailer& trailer, MneVersionField& version,
                     MneVersionField& date);
