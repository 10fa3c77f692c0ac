#pragma once
// Writes the UI resources: the five families of UI script tables (CP949,
// TAB-separated), the "1.0" UI image packages with their name tables, the
// 0x0101 named packages, "MBDF" records and JPEG entries. It also reads the
// readable UI description (UTF-8 text, tools/demo_ui/demo_ui.txt), checks
// it against every rule the loaders rely on, draws its images with AGG and
// the FONT1 labels, and writes the whole set under a data root.
//
// The description, one statement per line ('#' starts a comment):
//
//   palette day|night NAME=#RRGGBB ...        colours by name, per colour variant
//   font ID NAME face=N style=COLOUR,SIZE,SPACING,FLAGS,WIDTH [style1..4=...]
//   image ID NAME GENERATOR w=W h=H [count=N] [kind=bmp|alpha|anim|area|jpg|data]
//         [key] [blend=LEVEL] [delay=MS] [fg=COLOUR] [bg=COLOUR] [text="LABEL"] [arg=VALUE]
//   control ID NAME KIND W H [sub=FIRST:COUNT] [subctl] [attr=A1,A2,A3]
//         [img=IMAGE[@X,Y]] [img2=...] ... [img6=...]
//   board ID NAME [layoutfile=2]
//     item LAYOUT CONTROL X Y [parent=L] [text=TABLE:ID] [font=F] [hidden] [popup] [rel]
//          [bg=MODE] [align=BITS] [kb=A,B] [toff=X,Y,ALIGN]
//     variant T LAYOUT [x=X] [y=Y]               layout index T (2..4) of a layout-file-2 board
//     remocon FILE LAYOUT [guard=L] [up=L] [down=L] [left=L] [right=L] [alt=N]
//   pack PATH NAMES                               a named package under the root (PATH, NAMES
//     packimage ENTRY NAME GENERATOR w=W h=H [x=X] [y=Y] [jpeg] ...    Windows-style)
//
// Image ids name package 1 (1..1999) or 2 (2001..3999); package 2 is drawn
// once per colour variant and gets a name table. COUNT makes ids ID..ID+N-1
// named NAME_00.. (the generator sees the index). Image references are ids
// or names.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace uiwriter {

inline constexpr int kScreenWidth = 800;
inline constexpr int kScreenHeight = 480;

// ---- Tables ----------------------------------------------------------------

struct TextPos {
    int x = 0, y = 0, align = 0;
};

struct LayoutItem {
    int board = 0;
    int layoutId = 0;
    std::string name;  // the skipped column: for the author
    int parent = 0;
    int control = 0;
    int x = 0, y = 0;
    int textId = 0;
    TextPos text[4];
    int font = 0;
    int visible = 1, popup = 0, relative = 0, bgMode = 0, textTable = 0;
    int extra[2] = {0, 0};
    int align = 0;
};

struct ControlRecord {
    int id = 0;
    std::string name;
    int subControl = 0;
    int kind = 0;
    int width = 0, height = 0;
    int firstSub = 0, subCount = 0;
    int attr1 = 0, attr2 = 0, attr3 = 0;
    struct Image {
        int id = 0, x = 0, y = 0;
    } image[6];
};

struct TextStyle {
    int red = 255, green = 255, blue = 255, size = 24, spacing = 0, flags = 0, width = 400;
};

struct FontRecord {
    int id = 0;
    std::string name;
    int fontNumber = 1;
    TextStyle style[4];
};

struct RemoconRecord {
    int board = 0, layoutId = 0, guard = -1;
    int target[4] = {-1, -1, -1, -1};
    int alternatives = 1, reserved = 0;
};

// One line of each family, CP949, without the line end (names converted
// from UTF-8; a name CP949 cannot hold is replaced by '?').
std::string FormatLayoutLine(const LayoutItem& item);
std::string FormatControlLine(const ControlRecord& record);  // local id = id % 1000, sub rebased alike
std::string FormatFontLine(const FontRecord& record);        // local id = id % 100
std::string FormatRemoconLine(const RemoconRecord& record);

// Every table file of one layout variant set, by file name.
struct ScriptTables {
    std::vector<LayoutItem> layout1;                 // layout file 001, all layout indexes
    std::vector<LayoutItem> layout2[4];              // layout file 002 per layout index
    std::vector<ControlRecord> controls;
    std::vector<FontRecord> fonts1;                  // ids 0..99
    std::vector<FontRecord> fonts2[2];               // ids 100.. per colour index
    std::vector<RemoconRecord> remocon[2][4];        // file, layout index
    int highestBoard = 0;
};

// File name -> contents. False (error set) when a rule the loaders rely on
// is broken: ids out of range, a board's items not contiguous or repeated,
// layout variants with different item counts per board, sub-controls
// outside their control's file.
bool BuildScriptFiles(const ScriptTables& tables, std::map<std::string, std::string>& files,
                      std::string* error = nullptr);

// ---- Images and packages -------------------------------------------------

// A picture: RGB565 pixels top row first, and optionally a transparency
// plane (RGB565-coded, see Transparency565).
struct Picture {
    int width = 0, height = 0;
    std::vector<uint16_t> pixels;
    std::vector<uint16_t> alpha;  // empty: none
};

// The alpha-plane value for a transparency of 0 (opaque) .. 255 (clear):
// blue bits = background share in 32nds - 1, green bits in 64ths - 1, and 0
// for a fully opaque pixel.
uint16_t Transparency565(int transparency);

std::vector<uint8_t> BuildMbdf(const Picture& picture);
// An "MBDF" record whose packed data is a JPEG file (UI package kind 5).
std::vector<uint8_t> BuildMbdfJpeg(int width, int height, const std::vector<uint8_t>& jpeg);
// RGB (3 bytes a pixel, top row first), grey (1 byte) or CMYK (4 bytes) to
// a JPEG file. RGB is stored as YCbCr unless storeRgb is set.
std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& samples, int width, int height, int components,
                                int quality = 90, bool storeRgb = false);
std::vector<uint8_t> EncodeJpeg565(const Picture& picture, int quality = 90);

struct UiPackageEntry {
    uint32_t kind = 0;  // 0 empty
    uint16_t width = 0, height = 0;
    uint32_t drawFlags = 0, blendLevel = 0, frameDelayMs = 0;
    uint8_t frameCount = 0;
    std::vector<uint8_t> data;
};
// entries[k - 1] is entry k.
std::vector<uint8_t> BuildUiPackage(const std::vector<UiPackageEntry>& entries);

struct NamedEntry {
    uint16_t x = 0, y = 0, width = 0, height = 0;
    uint8_t kind = 0;  // 0 none, 1 "MBDF", 2 JPEG
    std::vector<uint8_t> data;
};
std::vector<uint8_t> BuildNamedPackage(const std::vector<NamedEntry>& entries);

// The ".idx" text for names and entry numbers: sorted, names checked to be
// upper case and each line (LF included) at most 31 bytes. Empty and error
// set when refused.
std::string BuildNameTable(std::vector<std::pair<std::string, int>> names, std::string* error = nullptr);

// ---- The description -----------------------------------------------------

struct ImageSpec {
    int id = 0;
    std::string name;
    std::string generator;
    int width = 0, height = 0;
    int kind = 2;
    uint32_t drawFlags = 0, blendLevel = 0, frameDelayMs = 0;
    int frameCount = 1;
    int index = 0, count = 1;  // place in a generated series
    std::map<std::string, std::string> args;
};

struct PackSpec {
    std::string path, names;  // Windows-style, under the root
    std::vector<std::pair<int, ImageSpec>> images;  // entry, image
};

struct UiSource {
    std::map<std::string, uint32_t> palette[2];  // day, night: 0xRRGGBB
    std::vector<ImageSpec> images;
    std::vector<PackSpec> packs;
    ScriptTables tables;
};

// Parses and checks the description. False with "line N: why".
bool ParseUiSource(const std::string& text, UiSource& out, std::string* error = nullptr);

// Draws one image in a colour variant (0 day, 1 night).
bool DrawImage(const UiSource& source, const ImageSpec& desc, int variant, Picture& out,
               std::string* error = nullptr);

// Every file of the UI under root: "UI\uiscript_*.txt", "UI\uiscript_resource*.dat/.idx"
// and the named packages.
bool WriteUiResources(const UiSource& source, const std::string& root, std::string* error = nullptr);

// All images of the description in one PNG sheet (both colour variants of
// package 2), each with its id under it.
std::vector<uint8_t> BuildContactSheet(const UiSource& source, std::string* error = nullptr);

// The demo UI: tools/demo_ui/demo_ui.txt, found from NAVI_SOURCE_DIR or
// from the running program's folder upwards.
std::string FindDemoUiSource();
bool WriteDemoUi(const std::string& root, std::string* error = nullptr);

}  // namespace uiwriter
