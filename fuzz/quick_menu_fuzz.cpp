// The quick-menu file from arbitrary bytes: whatever the store takes holds at
// most six terminated entries, saves, and loads back the same table.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "settings/quick_menu.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzzsupport::StoreFolder folder("quick_menu_fuzz", {"QuickMenu.udt", "QuickMenu.err"});
    folder.Clean();
    folder.Write("QuickMenu.udt", data, size);
    CMgrConfigUIDataQMenu store;  // loads the file
    QuickMenuTable table;
    store.GetQuickMenu(&table);
    if (table.nQMenuNum < 0 || table.nQMenuNum > kQuickMenuMaxItems) std::abort();
    for (int i = 0; i < kQuickMenuMaxItems; ++i) {
        if (table.Name(i).size() > static_cast<size_t>(kQuickMenuNameChars) ||
            table.Path(i).size() > static_cast<size_t>(kQuickMenuPathChars)) {
            std::abort();
        }
    }
    if (store.Save(nullptr) != 1) std::abort();
    TakeSettingsFileErrorCount();
    CMgrConfigUIDataQMenu again;
    QuickMenuTable back;
    again.GetQuickMenu(&back);
    if (!(back == table) || TakeSettingsFileErrorCount() != 0) std::abort();
    folder.Clean();
    return 0;
}
