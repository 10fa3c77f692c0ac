// UI script tables: the first byte picks the family, the rest is the file
// (a NUL byte splits it into file 001 and file 002 where a family has two).
// Whatever the bytes, every look-up inside the counts must answer and none
// outside may.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "foundation/debug_trace.h"
#include "foundation/mgr_text.h"
#include "uikit/ui_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (SetDebugTraceLevel(0), true);
    (void)quiet;
    if (size < 1) return 0;
    const int family = data[0] % 6;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t split = bytes.find('\0');
    const std::string_view first = bytes.substr(0, split);
    const std::string_view second = split == std::string_view::npos ? std::string_view() : bytes.substr(split + 1);
    CMgrTextReader a, b, boards;
    a.OpenBytes(first);
    b.OpenBytes(second);
    boards.OpenBytes("40\t0\r\n");

    NvUiScript s;
    switch (family) {
        case 0:
            s.LoadBoards({&a, &b});
            break;
        case 1:
        case 5:
            s.LoadBoards({&boards});
            s.LoadLayouts({&a});
            if (family == 5) {
                s.ReloadLayoutFrom(&b);
            } else {
                s.LoadRemocons(&b, &a);
            }
            break;
        case 2:
            s.LoadControls({&a, &b});
            break;
        case 3:
            s.LoadFonts({&a, &b});
            s.ReloadFontsFrom(&b);
            break;
        case 4:
            s.LoadBoards({&boards});
            s.LoadRemocons(&a, &b);
            break;
    }
    long sum = 0;
    for (int board = -1; board <= s.BoardCount(); ++board) {
        const tagUISCRIPT_BOARD* entry = s.GetBoard(board);
        if ((entry != nullptr) != (board >= 0 && board < s.BoardCount())) std::abort();
        if (!entry) continue;
        for (int id = -1; id <= entry->itemCount; ++id)
            if (const tagUISCRIPT_LAYOUT* item = s.GetLayout(board, id)) sum += item->controlId;
    }
    for (int id = -1; id <= s.ControlCount(); ++id)
        if (const tagUISCRIPT_CONTROL* c = s.GetControl(id)) sum += c->kind;
    for (int id = -1; id <= s.FontCount(); ++id)
        if (const tagUISCRIPT_FONT* f = s.GetFont(id)) sum += f->fontNumber;
    for (int id = -1; id <= s.RemoconCount(); ++id)
        if (const tagUISCRIPT_REMOCON* r = s.GetRemocon(id)) sum += r->layoutId;
    if (s.GetControl(s.ControlCount()) || s.GetFont(-1)) std::abort();
    return sum == 0x7FFFFFFF ? 1 : 0;
}
