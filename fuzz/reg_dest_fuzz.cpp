// The registered-place file and the user-theme file from arbitrary bytes:
// whatever a store takes it must save, and what it saved must load back
// unchanged and complete, folders included.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "foundation/debug_trace.h"
#include "foundation/nv_config.h"
#include "settings/my_theme.h"
#include "settings/reg_dest.h"

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
    char pattern[] = "/dev/shm/reg_dest_fuzz.XXXXXX";
    char fallback[] = "/tmp/reg_dest_fuzz.XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir) dir = mkdtemp(fallback);
    if (!dir) std::abort();
    g_dir = dir;
    NvFilePath::SetFolders(NvString::FromUtf8(g_dir), NvString::FromUtf8(g_dir));
    SetDebugTraceSink([](std::string_view) {}, false);
}

void Clean() {
    for (const char* name : {"RegDest.udt", "RegDest.err", "MyTheme.udt", "MyTheme.err"}) {
        std::remove((g_dir + "/" + name).c_str());
    }
}

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
    Setup();
    Clean();
    WriteBytes(g_dir + "/RegDest.udt", data, size);
    WriteBytes(g_dir + "/MyTheme.udt", data, size);
    Check<CMgrConfigUIDataRegDest, _tagUISTRUCT_REGDEST>();
    Check<CMgrConfigUIDataMyTheme, _tagUISTRUCT_MYTHEME>();
    Clean();
    return 0;
}
