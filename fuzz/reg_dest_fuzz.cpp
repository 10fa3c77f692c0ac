// The registered-place file and the user-theme file from arbitrary bytes:
// whatever a store takes it must save, and what it saved must load back
// unchanged and complete, folders included.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "settings/my_theme.h"
#include "settings/reg_dest.h"

namespace {

template <class Store, class Record>
void Check() {
    Store store;  // loads the file, or starts with the default folder and writes it
    const int count = store.GetItemCount();
    if (count < 0 || count > Store::kMaxItems || store.GetFolderCount() < 1) std::abort();
    if (store.Save(nullptr) != 1) std::abort();
    TakeSettingsFileErrorCount();
    Store again;
    if (again.GetItemCount() != count || again.GetFolderCount() != store.GetFolderCount() ||
        TakeSettingsFileErrorCount() != 0) {
        std::abort();
    }
    for (int i = 0; i < count; ++i) {
        Record a, b;
        if (!store.GetItem(i, &a, -1, 1) || !again.GetItem(i, &b, -1, 1) || !(a == b)) std::abort();
    }
    for (int i = 0; i < store.GetFolderCount(); ++i) {
        _tagUISTRUCT_FOLDERITEM a, b;
        if (!store.GetFolder(i, &a, 1) || !again.GetFolder(i, &b, 1) ||
            NameFieldView(a.szFolderName, 64) != NameFieldView(b.szFolderName, 64)) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzzsupport::StoreFolder folder("reg_dest_fuzz",
                                                  {"RegDest.udt", "RegDest.err", "MyTheme.udt", "MyTheme.err"});
    folder.Clean();
    folder.Write("RegDest.udt", data, size);
    folder.Write("MyTheme.udt", data, size);
    Check<CMgrConfigUIDataRegDest, _tagUISTRUCT_REGDEST>();
    Check<CMgrConfigUIDataMyTheme, _tagUISTRUCT_MYTHEME>();
    folder.Clean();
    return 0;
}
