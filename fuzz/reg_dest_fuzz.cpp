// The registered-place file and the user-theme file from arbitrary bytes:
// whatever a store takes it must save, and what it saved must load back
// unchanged and complete, folders included.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "settings/my_theme.h"
#include "settings/reg_dest.h"

namespace {

// What a store holds: its places and its folders' names.
template <class Record>
struct Held {
    std::vector<Record> items;
    std::vector<std::u16string> folders;
    bool operator==(const Held& o) const { return items == o.items && folders == o.folders; }
};

template <class Store, class Record>
Held<Record> HeldBy(Store& store) {
    Held<Record> held;
    held.items.resize(static_cast<size_t>(store.GetItemCount()));
    for (size_t i = 0; i < held.items.size(); ++i)
        if (!store.GetItem(static_cast<int>(i), &held.items[i], -1, 1)) std::abort();
    for (int i = 0; i < store.GetFolderCount(); ++i) {
        _tagUISTRUCT_FOLDERITEM folder;
        if (!store.GetFolder(i, &folder, 1)) std::abort();
        held.folders.emplace_back(NameFieldView(folder.szFolderName, 64));
    }
    return held;
}

// Loads the store's file (`file`, holding the input), saves it, and loads
// the saved file again: places and folders must be the same.
template <class Store, class Record>
void Check(const std::string& file, const uint8_t* data, size_t size) {
    static fuzzsupport::ReadBackCache<Held<Record>> readBack;
    Store store;  // loads the file, or starts with the default folder and writes it
    const int count = store.GetItemCount();
    if (count < 0 || count > Store::kMaxItems || store.GetFolderCount() < 1) std::abort();
    const Held<Record> held = HeldBy<Store, Record>(store);
    const Held<Record>& saved = readBack.Saved(
        file, data, size, [&] { return store.Save(nullptr); },
        [] {
            TakeSettingsFileErrorCount();
            Store again;
            if (TakeSettingsFileErrorCount() != 0) std::abort();
            return HeldBy<Store, Record>(again);
        });
    if (!(saved == held)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzzsupport::StoreFolder folder("reg_dest_fuzz",
                                                  {"RegDest.udt", "RegDest.err", "MyTheme.udt", "MyTheme.err"});
    static const std::string regFile = folder.File("RegDest.udt");
    static const std::string themeFile = folder.File("MyTheme.udt");
    folder.Clean();
    fuzzsupport::WriteBytes(regFile, data, size);
    fuzzsupport::WriteBytes(themeFile, data, size);
    Check<CMgrConfigUIDataRegDest, _tagUISTRUCT_REGDEST>(regFile, data, size);
    Check<CMgrConfigUIDataMyTheme, _tagUISTRUCT_MYTHEME>(themeFile, data, size);
    folder.Clean();
    return 0;
}
