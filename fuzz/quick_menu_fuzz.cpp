// The quick-menu file from arbitrary bytes: whatever the store takes holds at
// most six terminated entries, saves, and loads back the same table.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "foundation/debug_trace.h"
#include "foundation/nv_config.h"
#include "settings/quick_menu.h"

namespace {

std::string g_dir;

void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

void Setup() {
    if (!g_dir.empty()) return;
    char pattern[] = "/dev/shm/quick_menu_fuzz.XXXXXX";
    char fallback[] = "/tmp/quick_menu_fuzz.XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir) dir = mkdtemp(fallback);
    if (!dir) std::abort();
    g_dir = dir;
    NvFilePath::SetFolders(NvString::FromUtf8(g_dir), NvString::FromUtf8(g_dir));
    SetDebugTraceSink([](std::string_view) {}, false);
}

void Clean() {
    for (const char* name : {"QuickMenu.udt", "QuickMenu.err"}) std::remove((g_dir + "/" + name).c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Setup();
    Clean();
    WriteBytes(g_dir + "/QuickMenu.udt", data, size);
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
    Clean();
    return 0;
}
