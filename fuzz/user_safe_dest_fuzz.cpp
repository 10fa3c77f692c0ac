// The user safety-point file from arbitrary bytes, on a map whose network
// date may or may not match the file's: whatever the store takes it must
// save, and what it saved must load back unchanged, with no lookup and no
// file set aside.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "settings/user_safe_dest.h"

namespace {

class FuzzMap : public UserSafeDestMap {
public:
    int GetNetworkVersion(NvString& out) override {
        out = NvString(u"20100705");
        return 1;
    }
    int FindNearestLink(const MapPoint& point, int, int32_t& linkId, int32_t& reverseId) override {
        ++lookups;
        // Some points find a one-way link, some a two-way one, some none.
        const uint32_t number = static_cast<uint32_t>(point.x) % 1999999u + 1u;
        switch (static_cast<uint32_t>(point.y) % 3u) {
            case 0: return 0;
            case 1: linkId = static_cast<int32_t>(number); reverseId = 0; return 1;
            default:
                linkId = static_cast<int32_t>(number);
                reverseId = static_cast<int32_t>(number | 0x08000000u);
                return 1;
        }
    }
    int lookups = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzzsupport::StoreFolder folder("user_safe_dest_fuzz", {"RegSafeDest.udt", "RegSafeDest.err"});
    static const std::string file = folder.File("RegSafeDest.udt");
    folder.Clean();
    fuzzsupport::WriteBytes(file, data, size);
    FuzzMap map;
    CMgrConfigUIDataUserSafeDest store(&map);  // loads the file
    const int count = store.GetCount(0);
    if (count < 0 || count > CMgrConfigUIDataUserSafeDest::kMaxItems) std::abort();
    if (store.GetCount(1) > count || store.GetCount(10) != count) std::abort();
    for (int i = 0; i < count; ++i) {
        int run = 0;
        _tagUISTRUCT_USERSAFEDEST p;
        if (!store.GetItem(i, &p, 10)) std::abort();
        const int first = store.FindByTile(p.TileIDx, p.TileIDy, &run);
        if (first < 0 || first > i || first + run <= i) std::abort();
    }
    // What the saved file loads back as, in a fresh store whose load looks
    // nothing up and sets nothing aside.
    static fuzzsupport::ReadBackCache<std::vector<_tagUISTRUCT_USERSAFEDEST>> readBack;
    const std::vector<_tagUISTRUCT_USERSAFEDEST>& saved = readBack.Saved(
        file, data, size, [&] { return store.Save(nullptr); },
        [&] {
            TakeSettingsFileErrorCount();
            map.lookups = 0;
            CMgrConfigUIDataUserSafeDest again(&map);
            if (map.lookups != 0 || TakeSettingsFileErrorCount() != 0) std::abort();
            std::vector<_tagUISTRUCT_USERSAFEDEST> held(static_cast<size_t>(again.GetCount(0)));
            for (size_t i = 0; i < held.size(); ++i)
                if (!again.GetItem(static_cast<int>(i), &held[i], 0)) std::abort();
            return held;
        });
    if (saved.size() != static_cast<size_t>(count)) std::abort();
    for (int i = 0; i < count; ++i) {
        _tagUISTRUCT_USERSAFEDEST a;
        if (!store.GetItem(i, &a, 0) || !(a == saved[static_cast<size_t>(i)])) std::abort();
    }
    folder.Clean();
    return 0;
}
