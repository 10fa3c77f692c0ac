// Text-table bytes: the same bytes as a text-file list and as a table,
// through the line reader and the field readers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "foundation/debug_trace.h"
#include "foundation/mgr_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (SetDebugTraceLevel(0), true);
    (void)quiet;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    MgrText text;
    CMgrTextReader reader;
    reader.OpenBytes(bytes);
    text.ReadFileList(reader);
    text.LoadTable(1, reader);
    for (int id = -1; id <= text.GetTextCount(1); ++id) {
        if (!text.GetText(1, id)) std::abort();
    }

    reader.Seek(0);
    char line[4097];
    while (reader.ReadLine(line, sizeof line - 1) > 0) {
        const char* p = line;
        int32_t i = 0;
        uint8_t b = 0;
        char field[64];
        p = GetTabFieldInt(p, &i);
        p = GetTabFieldByte(p, &b);
        p = GetTabFieldString(p, field, sizeof field);
        p = SkipTabField(p);
    }
    return 0;
}
