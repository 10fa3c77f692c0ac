// The quick-menu file from arbitrary bytes: whatever the store takes holds at
// most six terminated entries, saves, and loads back the same table.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_support.h"
#include "settings/quick_menu.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzzsupport::StoreFolder folder("quick_menu_fuzz", {"QuickMenu.udt", "QuickMenu.err"});
    static const std::string file = folder.File("QuickMenu.udt");
    folder.Clean();
    fuzzsupport::WriteBytes(file, data, size);
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
    static fuzzsupport::ReadBackCache<QuickMenuTable> readBack;
    const QuickMenuTable& back = readBack.Saved(
        file, data, size, [&] { return store.Save(nullptr); },
        [] {
            TakeSettingsFileErrorCount();
            CMgrConfigUIDataQMenu again;
            QuickMenuTable loaded;
            again.GetQuickMenu(&loaded);
            if (TakeSettingsFileErrorCount() != 0) std::abort();
            return loaded;
        });
    if (!(back == table)) std::abort();
    folder.Clean();
    return 0;
}
