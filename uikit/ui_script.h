#pragma once
// The UI script tables: boards, the controls placed on them (layout items),
// control records, text styles and remote-control navigation, read at
// start-up from five families of TAB-separated CP949 files in the UI folder.
//
//   "%s\uiscript_board%03d.txt"            001..016  board id = (file - 1) x 200 + local
//   "%s\uiscript_layout%03d_t%02d.txt"     001, 002  t = layout index + 1
//   "%s\uiscript_control%03d.txt"          001..016  control id = (file - 1) x 1000 + local
//   "%s\uiscript_font%03d_cr%02d.txt"      001 (cr01), 002 (cr = colour index + 1)
//   "%s\uiscript_remocon%03d_t%02d.txt"    001, 002  index = (file - 1) x 2000 + line
//
// An empty field reads as 255 (byte) or -1 (16 and 32 bits); a data line
// whose first field is empty ends its file; a line starting with '#' is a
// comment.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CMgrTextReader;

inline constexpr int kUiBoardFiles = 16;
inline constexpr int kUiControlFiles = 16;
inline constexpr int kUiBoardsPerFile = 200;
inline constexpr int kUiControlsPerFile = 1000;
inline constexpr int kUiFontsPerFile = 100;
inline constexpr int kUiRemoconsPerFile = 2000;
inline constexpr int kUiLineBytes = 1024;
// Layout ids above this are refused: no screen has that many controls, and
// one bad id must not size the table for billions of items.
inline constexpr int kUiMaxLayoutId = 4095;
// Local control and font ids above this are refused for the same reason.
inline constexpr int kUiMaxLocalId = 9999;

// One of the 4 text states of a layout item: offsets and alignment.
struct tagUISCRIPT_TEXTPOS {
    int16_t x;
    int16_t y;
    uint8_t align;
};

struct tagUISCRIPT_LAYOUT {
    int32_t boardId;
    int32_t layoutId;
    int32_t parentId;
    int32_t controlId;
    int16_t x;
    int16_t y;
    int32_t textId;
    tagUISCRIPT_TEXTPOS text[4];
    int16_t fontId;
    uint8_t visible;
    uint8_t popup;
    uint8_t relative;
    uint8_t backgroundMode;
    uint8_t textTable;
    int16_t extra[2];     // columns 27-28, read by the keyboard only
    uint8_t screenAlign;  // 1 centre x, 2 from the right, 4 centre y, 8 from the bottom
};

struct tagUISCRIPT_BOARD {
    int32_t firstItem;     // index into the layout table, -1 when none
    uint16_t itemCount;    // highest layout id + 1
    int16_t firstRemocon;  // index of the board's first remocon record
};

struct tagUISCRIPT_CONTROL {
    int16_t id;
    int32_t subControl;   // non-zero: built only as a part of another control
    int32_t kind;         // 1..16
    uint16_t width;
    uint16_t height;
    int32_t firstSub;     // global control id of sub-control 0
    uint16_t subCount;
    uint16_t attr1;
    uint16_t attr2;
    uint16_t attr3;
    struct {
        int32_t imageId;  // image resource id, -1 or 0 = none
        int16_t x;
        int16_t y;
    } image[6];
};

// An 8-byte text style as the text objects take it.
struct tagUISCRIPT_TEXTSTYLE {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    uint8_t lineSpacing;
    uint8_t size;
    uint8_t flags;
    uint16_t fontWidth;
};
static_assert(sizeof(tagUISCRIPT_TEXTSTYLE) == 8);

struct tagUISCRIPT_FONT {
    uint8_t fontNumber;
    tagUISCRIPT_TEXTSTYLE style[4];
};

struct tagUISCRIPT_REMOCON {
    int16_t boardId;
    int16_t layoutId;
    int16_t guardId;
    int16_t target[4];  // move directions 1..4
    uint8_t alternatives;
    uint8_t reserved;
};

// Control kinds of the control records.
enum : int32_t {
    kUiKindButton = 1,
    kUiKindList = 2,
    kUiKindBallScroll = 3,
    kUiKindEditBox = 4,
    kUiKindStatic = 5,
    kUiKindKeyboard = 6,
    kUiKindSlidebar = 7,
    kUiKindProgressbar = 8,
    kUiKindCheckBox = 9,
    kUiKindRadioButton = 10,
    kUiKindListScroll = 11,
    kUiKindTieScroll = 12,
    kUiKindComboBox = 13,
    kUiKindMapPanel = 14,
    kUiKindPanel = 15,  // static panel, or message box by the second attribute
    kUiKindDynamicPanel = 16,
};

// The file name of a family member under the UI folder (Windows-style).
std::string UiScriptBoardFile(const std::string& folder, int file);
std::string UiScriptLayoutFile(const std::string& folder, int file, int layoutIndex);
std::string UiScriptControlFile(const std::string& folder, int file);
std::string UiScriptFontFile(const std::string& folder, int file, int colorIndex);
std::string UiScriptRemoconFile(const std::string& folder, int file, int layoutIndex);

// The five tables, one holder kept by the board host.
class NvUiScript {
public:
    NvUiScript() = default;
    NvUiScript(const NvUiScript&) = delete;
    NvUiScript& operator=(const NvUiScript&) = delete;

    // Keeps the folder (ANSI, Windows-style or native) and the indexes and
    // loads board, layout, control, font and remocon tables in that order.
    // 1 when the remocon tables loaded (the others load whatever exists).
    int Load(const std::string& folder, int layoutIndex, int colorIndex);
    void Release();

    // Re-reads layout file 002 of the new layout (above 3 reads as 0). 1 when
    // every board kept its item count; otherwise 0 and the tables unchanged.
    int ReloadLayout(int layoutIndex);
    // Re-reads font file 002 with the new colour (above 1 reads as 0).
    int ReloadFonts(int colorIndex);

    // Look-ups: null when out of range.
    const tagUISCRIPT_BOARD* GetBoard(int boardId) const;
    const tagUISCRIPT_LAYOUT* GetLayout(int boardId, int layoutId) const;
    const tagUISCRIPT_CONTROL* GetControl(int controlId) const;
    const tagUISCRIPT_FONT* GetFont(int fontId) const;
    const tagUISCRIPT_REMOCON* GetRemocon(int index) const;

    int BoardCount() const { return static_cast<int>(m_boards.size()); }
    int LayoutCount() const { return static_cast<int>(m_layouts.size()); }
    int ControlCount() const { return static_cast<int>(m_controls.size()); }
    int FontCount() const { return static_cast<int>(m_fonts.size()); }
    int RemoconCount() const { return static_cast<int>(m_remocons.size()); }
    bool HasRemocon() const { return !m_remocons.empty(); }
    int LayoutIndex() const { return m_layoutIndex; }
    int ColorIndex() const { return m_colorIndex; }
    const std::string& Folder() const { return m_folder; }

    // The family loaders over open readers (Load feeds them files; tests
    // and fuzzing feed bytes). Each reader is read twice where the family
    // is read in two passes.
    void LoadBoards(std::vector<CMgrTextReader*> files);
    void LoadLayouts(std::vector<CMgrTextReader*> files);
    void LoadControls(std::vector<CMgrTextReader*> files);
    void LoadFonts(std::vector<CMgrTextReader*> files);
    // Both files are needed; null for a missing one fails (no table).
    int LoadRemocons(CMgrTextReader* file1, CMgrTextReader* file2);
    int ReloadLayoutFrom(CMgrTextReader* file2);
    int ReloadFontsFrom(CMgrTextReader* file2);

private:
    std::vector<tagUISCRIPT_BOARD> m_boards;
    std::vector<tagUISCRIPT_LAYOUT> m_layouts;
    std::vector<tagUISCRIPT_CONTROL> m_controls;
    std::vector<tagUISCRIPT_FONT> m_fonts;
    std::vector<tagUISCRIPT_REMOCON> m_remocons;
    std::string m_folder;
    int m_layoutIndex = 0;
    int m_colorIndex = 0;
};

// Creates the holder and loads the tables (the board host's start); missing
// files leave their tables empty.
std::unique_ptr<NvUiScript> NvLoadUiScripts(const std::string& folder, int layoutIndex, int colorIndex);
