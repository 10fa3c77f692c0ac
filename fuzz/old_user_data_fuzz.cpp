// The old registered-place files from arbitrary bytes, read both as
// "RegLoc.usd" and as "UserRegLoc.ini": whatever is taken must hold within
// the old limits, convert into registered places, and read back the same
// after being written again in the old layout.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

#include "foundation/nv_config.h"
#include "fuzz/fuzz_support.h"
#include "settings/old_data_import.h"
#include "tools/writers/old_user_data_writer.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

void CheckConverted(const OldUserData& old) {
    NvArray<_tagUISTRUCT_FOLDERITEM> folders;
    ConvertOldFolders(old, folders);
    Require(folders.GetCount() >= 1);
    for (const OldRegLocRecord& place : old.places) {
        const _tagUISTRUCT_REGDEST r = ConvertOldPlace(place, folders.GetCount());
        Require(r.nFolder >= 0 && r.nFolder < folders.GetCount());
        Require(r.eCate >= 0 && r.eCate <= 2);
        Require(r.PosInfo.szName[kCourseNameUnits - 1] == u'\0');
        Require(r.szMemo[_tagUISTRUCT_REGDEST::kMemoUnits - 1] == u'\0');
    }
}

void CheckBinary(const uint8_t* data, size_t size) {
    OldUserData old;
    std::string error;
    if (!ParseOldBinaryUserData(data, size, old, &error)) {
        Require(old.folders.empty() && old.places.empty() && !error.empty());
        return;
    }
    Require(old.folders.size() <= static_cast<size_t>(kOldMaxFolders));
    Require(old.places.size() <= static_cast<size_t>(kOldMaxPlaces));
    CheckConverted(old);

    int32_t version = 0;
    for (int i = 0; i < 4; ++i) version |= static_cast<int32_t>(static_cast<uint32_t>(data[i]) << (8 * i));
    const std::vector<uint8_t> again = olddatawriter::BinaryUserDataBytes(version, old);
    OldUserData reread;
    Require(ParseOldBinaryUserData(again.data(), again.size(), reread) == 1);
    Require(reread == old);
}

// What a settings file written again reads back as, kept by the file's
// bytes. Reading it back is a function of its bytes alone, and inputs
// naming up to 200 places write files of thousands of lines, while the
// inputs of a run write far fewer distinct files than they are: each
// distinct file is still read once, and every input's data is compared
// with what its own written file reads as. The memory kept is bounded.
struct SettingsReadBack {
    bool taken = false;
    OldUserData data;
};

const SettingsReadBack& ReadBackSettings(const std::string& bytes) {
    static std::map<std::string, SettingsReadBack> cache;
    static size_t cachedBytes = 0;
    constexpr size_t kMaxCachedBytes = size_t{64} << 20;
    const auto found = cache.find(bytes);
    if (found != cache.end()) return found->second;
    if (cachedBytes + bytes.size() > kMaxCachedBytes) {
        cache.clear();
        cachedBytes = 0;
    }
    NvConfigMap keys;
    ParseOldSettingsBytes(bytes, keys);
    SettingsReadBack back;
    back.taken = ReadOldSettingsUserData(keys, back.data) == 1;
    cachedBytes += bytes.size();
    return cache.emplace(bytes, std::move(back)).first->second;
}

void CheckSettings(const uint8_t* data, size_t size) {
    NvConfigMap keys;
    ParseOldSettingsBytes(std::string_view(reinterpret_cast<const char*>(data), size), keys);
    OldUserData old;
    if (!ReadOldSettingsUserData(keys, old)) return;
    Require(old.folders.size() <= static_cast<size_t>(keys.GetCount()));
    Require(old.places.size() <= static_cast<size_t>(kOldMaxPlaces));
    CheckConverted(old);

    std::string again;
    if (!olddatawriter::SettingsUserDataBytes(old, again)) return;  // text without a CP949 form
    const SettingsReadBack& back = ReadBackSettings(again);
    Require(back.taken);
    const OldUserData& reread = back.data;
    // Written places are numbered from 0; the newest 200 survive either way.
    Require(reread.places.size() == old.places.size());
    Require(reread.folders == old.folders);
    for (size_t i = 0; i < old.places.size(); ++i) Require(reread.places[i] == old.places[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (fuzzsupport::SilenceTrace(), true);
    (void)quiet;
    CheckBinary(data, size);
    CheckSettings(data, size);
    return 0;
}
