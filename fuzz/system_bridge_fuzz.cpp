// "System.ini" and "Condition.ini": the input split in two at its first NUL
// (or half-way), written as the two files beside the program (in memory),
// read through the system-settings bridge item by item.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "foundation/system_settings.h"
#include "fuzz/fuzz_support.h"
#include "shell/system_bridge.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = [] {
        fuzzsupport::SilenceTrace();
        const std::string f = fuzzsupport::MakeMemoryFolder("system_bridge_fuzz");
        SetModuleFolderForTesting(f);
        RegistryKeyStore::SetFolder(f + "/Registry");
        return f;
    }();
    const void* nul = std::memchr(data, 0, size);
    const size_t cut = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - data) : size / 2;
    fuzzsupport::WriteBytes(folder + "/System.ini", data, cut);
    const size_t rest = cut < size ? cut + (nul ? 1 : 0) : size;
    fuzzsupport::WriteBytes(folder + "/Condition.ini", data + rest, size - rest);
    InitSystemSettings();
    char16_t text[64];
    for (int index = 0; index < SYS_ITEM_COUNT; ++index) {
        // The items the program's key answers first are not in the input:
        // each would read the key file again and slow every run down.
        if ((index >= 10 && index <= 20) || index == SYS_TPEGDWNDNAME) continue;
        int value = 0;
        GetSystemSettingInt(index, &value);
        if (GetSystemSettingString(index, text, 64) == 0 &&
            std::u16string_view(text, 64).find(u'\0') == std::u16string_view::npos) {
            std::abort();   // a text without its terminator
        }
    }
    for (int index = COND_GPSPORT; index <= COND_GPSMODULE; ++index) {
        int value = 0;
        GetConditionValue(index, &value);
    }
    ShutdownSystemSettings();
    return 0;
}
