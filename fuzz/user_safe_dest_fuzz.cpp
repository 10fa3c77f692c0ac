// The user safety-point file from arbitrary bytes, on a map whose network
// date may or may not match the file's: whatever the store takes it must
// save, and what it saved must load back unchanged, with no lookup and no
// file set aside.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

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
    folder.Clean();
    folder.Write("RegSafeDest.udt", data, size);
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
    if (store.Save(nullptr) != 1) std::abort();

    TakeSettingsFileErrorCount();
    map.lookups = 0;
    CMgrConfigUIDataUserSafeDest again(&map);
    if (again.GetCount(0) != count || map.lookups != 0 || TakeSettingsFileErrorCount() != 0) std::abort();
    for (int i = 0; i < count; ++i) {
        _tagUISTRUCT_USERSAFEDEST a, b;
        if (!store.GetItem(i, &a, 0) || !again.GetItem(i, &b, 0) || !(a == b)) std::abort();
    }
    folder.Clean();
    return 0;
}
