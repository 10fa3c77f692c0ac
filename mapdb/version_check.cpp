#include "mapdb/version_check.h"

#include <cstdio>
#include <cstring>

#include "foundation/crash_report.h"
#include "foundation/debug_trace.h"
#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/paths.h"

namespace {

const char* const kCheckedFiles[kMneVersionFileCount] = {
    "\\Map\\CameraT1.map", "\\Map\\CameraT2.map", "\\Map\\Base.map", "\\Map\\Road.ndb", "\\Search\\nvr.sdb",
};

constexpr char kDefaultVersion[] = "1.0.0";
constexpr char kDefaultDate[] = "000000";

// Writes ASCII or UTF-16 text into a field; false when it needs more than
// 16 units. A text of exactly 16 units fills the field without a NUL.
bool PutField(std::u16string_view text, MneVersionField& field) {
    field.fill(u'\0');
    if (text.size() > field.size()) return false;
    std::copy(text.begin(), text.end(), field.begin());
    return true;
}

std::u16string Ascii(const char* text) { return platform::Utf8ToUtf16(text); }

}  // namespace

const char* MneVersionFileName(int index) {
    return index >= 0 && index < kMneVersionFileCount ? kCheckedFiles[index] : nullptr;
}

int ParseVersionTrailer(const uint8_t* bytes, size_t size, MneVersionTrailer& out) {
    out = MneVersionTrailer{};
    if (!bytes || size != kMneVersionTrailerBytes) return 0;
    if (std::memcmp(bytes, kMneVersionMagic, kMneVersionMagicBytes) != 0) return 0;
    platform::ByteReader r(bytes, size);
    r.Skip(16);  // magic and a word nobody reads
    out.major = r.U32();
    out.minor = r.U32();
    out.build = r.U32();
    r.Skip(4);
    const uint8_t* date = r.Span(kMneVersionDateBytes);
    if (!r.Ok() || !date) return 0;
    size_t length = 0;
    while (length < kMneVersionDateBytes && date[length] != 0) ++length;
    out.date.assign(reinterpret_cast<const char*>(date), length);
    std::memcpy(out.raw.data(), bytes, size);
    return 1;
}

int CheckVersion(const std::string& dataRoot, int index, MneVersionTrailer* out) {
    if (out) *out = MneVersionTrailer{};
    DebugTrace(1, "DB PATH: %s----------------\n", dataRoot.c_str());
    const char* name = MneVersionFileName(index);
    platform::File file;
    // The root ends with a separator and the name starts with one: the
    // doubled separator collapses when the name becomes a native path.
    if (!name || !file.Open(platform::NativePath(dataRoot + name))) {
        DebugTrace(1, "??????? _tfopen() Error !!!\n");
        return kMneVersionCannotOpen;
    }
    const int64_t size = file.Size();
    if (size < static_cast<int64_t>(kMneVersionTrailerBytes)) {
        // There is no position 48 bytes before the end.
        DebugTrace(1, "?????? _fseek() Error !!!\n");
        return kMneVersionCannotOpen;
    }
    std::array<uint8_t, kMneVersionTrailerBytes> bytes{};
    if (!file.ReadExactAt(static_cast<uint64_t>(size) - bytes.size(), bytes.data(), bytes.size()))
        return kMneVersionNoTrailer;
    MneVersionTrailer trailer;
    if (!ParseVersionTrailer(bytes.data(), bytes.size(), trailer)) return kMneVersionNoTrailer;
    if (out) *out = std::move(trailer);
    return kMneVersionValid;
}

std::u16string MneVersionFieldText(const MneVersionField& field) {
    size_t length = 0;
    while (length < field.size() && field[length] != u'\0') ++length;
    return std::u16string(field.data(), length);
}

void FillVersionLine(int checkResult, const MneVersionTrailer& trailer, MneVersionField& version,
                     MneVersionField& date) {
    if (checkResult == kMneVersionValid) {
        // The numbers print as the signed values they were always shown as;
        // a text that does not fit the 16-unit field (terminator included)
        // marks the trailer as damaged rather than being written past it.
        char text[48];
        const int n = std::snprintf(text, sizeof text, "%d.%d.%d", static_cast<int32_t>(trailer.major),
                                    static_cast<int32_t>(trailer.minor), static_cast<int32_t>(trailer.build));
        std::u16string wideDate;
        const bool dateOk = platform::Cp949ToUtf16(trailer.date, wideDate);
        if (n > 0 && static_cast<size_t>(n) < version.size() && dateOk && PutField(Ascii(text), version) &&
            PutField(wideDate, date))
            return;
        DebugTrace(1, "[MAP] damaged version trailer: %s\n", text);
    }
    PutField(Ascii(kDefaultVersion), version);
    PutField(Ascii(kDefaultDate), date);
}

int GetVersionInfo(const std::string& dataRoot, MneVersionRecord& out) {
    out = MneVersionRecord{};
    char program[32];
    std::snprintf(program, sizeof program, "%s.%s", kMneProgramVersionMajor, kMneProgramVersionMinor);
    PutField(Ascii(program), out.programVersion);
    PutField(Ascii(kMneProgramBuild), out.programBuild);
    for (int i = 0; i < kMneVersionFileCount; ++i) {
        MneVersionTrailer trailer;
        const int result = CheckVersion(dataRoot, i, &trailer);
        FillVersionLine(result, trailer, out.fileVersion[i], out.fileDate[i]);
    }
    // The crash report names the versions from now on.
    const auto utf8 = [&](int i) { return platform::Utf16ToUtf8(MneVersionFieldText(out.fileVersion[i])); };
    SetCrashReportVersions(program, utf8(kMneVersionBaseMap).c_str(), utf8(kMneVersionRoad).c_str(),
                           utf8(kMneVersionSearch).c_str(), utf8(kMneVersionCameraT1).c_str());
    return 1;
}
