// Loads one board of a data root's UI headless and writes what the screen
// would show as a PNG, so a person can look at any board.
//
//   render_board --root DIR --board ID [--layout N] [--colour N]
//                [--rotation N] [--fonts DIR] --out FILE.png
//
// Fonts come from the root's "Font" folder, or from --fonts (a folder that
// holds a "Font" folder).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "foundation/mgr_text.h"
#include "render/vector_font.h"
#include "uikit/board_manager.h"
#include "uikit/presenter.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: render_board --root DIR --board ID [--layout N] [--colour N] [--rotation N] "
                 "[--fonts DIR] --out FILE.png\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root, out, fonts;
    int board = -1, layout = 0, colour = 0, rotation = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--root") root = value;
        else if (key == "--out") out = value;
        else if (key == "--fonts") fonts = value;
        else if (key == "--board") board = std::atoi(value.c_str());
        else if (key == "--layout") layout = std::atoi(value.c_str());
        else if (key == "--colour") colour = std::atoi(value.c_str());
        else if (key == "--rotation") rotation = std::atoi(value.c_str());
        else return Usage();
    }
    if (root.empty() || out.empty() || board < 0 || rotation < 0 || rotation > 3) return Usage();
    if (!ScanFontFolder(root + "/Font").empty()) SetVectorFontFolder(root + "/");
    else if (!fonts.empty()) SetVectorFontFolder(fonts + "/");
    else std::fprintf(stderr, "render_board: no fonts in %s/Font: texts are not drawn\n", root.c_str());

    const std::string ui = root + "/UI";
    MgrText texts;
    texts.Init(std::u16string(ui.begin(), ui.end()).c_str(), 0);

    const bool turned = rotation == 1 || rotation == 3;
    NvHeadlessPresenter window(turned ? 480 : 800, turned ? 800 : 480);
    NvBoardManager host(ui.c_str());
    if (!host.Start(&window, 800, 480, rotation, layout, colour)) {
        std::fprintf(stderr, "render_board: the UI of %s does not load\n", root.c_str());
        return 1;
    }
    if (!host.LoadBoard(board)) {
        std::fprintf(stderr, "render_board: board %d does not load\n", board);
        return 1;
    }
    host.DrawFrame(true, true);
    if (!window.WritePng(out)) {
        std::fprintf(stderr, "render_board: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("board %d written to %s\n", board, out.c_str());
    return 0;
}
