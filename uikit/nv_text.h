#pragma once
// Text of the UI, drawn into the renderer's back buffer through the drawing
// context and font handles: NvText, the caption of a control (four state
// styles, alignment, "..." cuts, the caret), and NvTextML, a multi-line
// panel that wraps by pixel width and, in markup mode, styles lines with
// "#d" marks and takes the title line out. Text is measured and drawn in
// CP949.
#include <cstdint>
#include <string>
#include <vector>

#include "render/draw_handles.h"
#include "uikit/image_resource.h"
#include "uikit/nv_rsc_object.h"
#include "uikit/ui_script.h"

// Alignment flags of a text state.
inline constexpr uint16_t kNvAlignCentreX = 1;
inline constexpr uint16_t kNvAlignRight = 2;
inline constexpr uint16_t kNvAlignCentreY = 4;
inline constexpr uint16_t kNvAlignBottom = 8;

// The face of a font index: 0..3 give "FONT1".."FONT4"; index 4 has no face
// of its own and takes "FONT1".
const char* NvFontFace(int index);

class NvText {
public:
    static constexpr int kStates = 4;
    static constexpr int kMaxVerticalChars = 43;
    static constexpr int kMaxLineChars = 64;

    explicit NvText(const NvRect* owner);
    virtual ~NvText();
    NvText(const NvText&) = delete;
    NvText& operator=(const NvText&) = delete;

    int SetText(const char16_t* text, bool vertical = false);
    void SetColor(int state, uint8_t red, uint8_t green, uint8_t blue);
    void SetFontSize(int state, uint8_t size);
    void SetStyle(int state, const tagUISCRIPT_TEXTSTYLE& style);
    void SetFontWidth(int state, uint16_t width);
    void SetSpacing(int state, uint8_t spacing);
    void SetAlign(int state, uint16_t align);
    void SetOffset(int state, int16_t x, int16_t y);
    void SetFontIndex(uint8_t index) { m_fontIndex = index; m_changed = true; }
    uint8_t GetFontIndex() const { return m_fontIndex; }
    const tagUISCRIPT_TEXTSTYLE& GetStyle(int state) const { return m_style[state & 3]; }
    int16_t GetOffsetX(int state) const { return m_offX[state & 3]; }
    int16_t GetOffsetY(int state) const { return m_offY[state & 3]; }
    void SetOwnerRect(const NvRect& rect);
    void SetKeepEnd(bool on) { m_keepEnd = on; }
    void SetCaretEnable(bool on) { m_caretEnabled = on; }
    void SetCaretShow(bool on) { m_caretShown = on; }
    void SetCaretIndex(uint16_t index) { m_caretIndex = index; m_caretMoved = true; }
    uint16_t GetCaretIndex() const { return m_caretIndex; }
    bool CaretEnabled() const { return m_caretEnabled; }
    bool CaretShown() const { return m_caretShown; }
    int GetLength() const { return static_cast<int>(m_text.size()); }
    const char16_t* GetText() const { return m_hasText ? m_text.c_str() : nullptr; }
    int LineCount() const { return m_lineCount; }
    const std::string& Ansi() const { return m_ansi; }

    // The character index a touch at x (screen) puts the caret before.
    int CaretFromPoint(int state, int32_t x);
    int Draw(int state, uint32_t tick) { return DrawAt(state, tick, 0, 0, false); }
    int DrawAt(int state, uint32_t tick, int32_t dx, int32_t dy, bool keep);
    int NeedsRedraw(uint32_t tick) const { return tick - m_drawTick > 250 ? 1 : 0; }

    // What the last draw did, line by line (for tests and the dump).
    struct DrawnLine {
        std::string text;   // CP949, as drawn (cut and "..." included)
        NvRect rect;        // where it went
        std::string right;  // the right column of a backslash-r line
    };
    const std::vector<DrawnLine>& LastLines() const { return m_drawn; }
    int32_t CaretX() const { return m_caretX; }

    struct Box {
        int32_t x = 0, y = 0, width = 0, height = 0;
    };
    const Box& TextBox(int state) const { return m_box[state & 3]; }
    // Puts the box of a state directly (the offsets are not changed); a
    // later owner of another size derives it from the offsets again.
    void SetBox(int state, const Box& box) {
        if (state >= 0 && state < kStates) m_box[state] = box;
    }

private:
    bool Prepare(int state);
    int32_t Measure(const std::string& s);
    std::string CutToWidth(const std::string& s, int32_t width, bool fromStart, bool dots);
    // Character starts of a CP949 string.
    static std::vector<size_t> CharStarts(const std::string& s);

    std::u16string m_text;
    std::string m_ansi;
    std::string m_verticalAnsi;
    bool m_hasText = false;
    bool m_vertical = false;
    bool m_caretEnabled = false;
    bool m_caretShown = false;
    uint16_t m_caretIndex = 0;
    bool m_caretMoved = false;
    tagUISCRIPT_TEXTSTYLE m_style[kStates];
    int16_t m_offX[kStates] = {};
    int16_t m_offY[kStates] = {};
    uint16_t m_align[kStates] = {5, 5, 5, 5};
    uint8_t m_fontIndex = 0;
    int m_lineCount = 0;
    bool m_hasOwner = false;
    NvRect m_owner;
    Box m_box[kStates];
    int32_t m_textWidth = 0, m_textHeight = 0, m_caretX = 0;
    bool m_keepEnd = false;
    MneHandle m_dc = 0, m_font = 0, m_oldFont = 0;
    const void* m_dcPixels = nullptr;
    int32_t m_dcWidth = 0, m_dcHeight = 0;
    int m_lastState = -1;
    bool m_changed = true;
    std::unique_ptr<NvImageData> m_caret;
    uint32_t m_drawTick = 0;
    std::vector<DrawnLine> m_drawn;
};

class NvTextML {
public:
    static constexpr int kMaxLines = 256;
    static constexpr int kMaxVisible = 32;
    static constexpr int kTitleChars = 31;
    static constexpr int kStyles = 8;

    explicit NvTextML(const NvRect& rect);
    virtual ~NvTextML();
    NvTextML(const NvTextML&) = delete;
    NvTextML& operator=(const NvTextML&) = delete;

    int SetText(const char16_t* text);
    int SetMarkupText(const char16_t* text, char16_t* titleOut);
    int SetStyle(int slot, int face, uint8_t red, uint8_t green, uint8_t blue, uint8_t size, uint8_t extra,
                 int widthHundreds);
    void SetLineHeight(int32_t height);
    void SetSpacing(uint16_t spacing) { m_spacing = spacing; }
    void SetTopLine(int line);
    int Draw();

    struct Line {
        uint16_t start = 0;
        uint16_t length = 0;
        uint8_t style = 0;
    };
    int LineCount() const { return static_cast<int>(m_lines.size()); }
    const Line& GetLine(int i) const { return m_lines[static_cast<size_t>(i)]; }
    std::u16string LineText(int i) const;
    int VisibleLines() const { return m_visible; }
    int TopLine() const { return m_top; }
    const NvRect& VisibleRect(int k) const { return m_lineRects[k]; }

private:
    struct Style {
        uint8_t red = 1, green = 1, blue = 1;
        int face = 0;
        uint8_t size = 20;
        uint8_t extra = 0;
        MneHandle font = 0;
    };
    int Wrap(const char16_t* text, bool markup);
    int32_t CharWidth(char16_t c, int style);
    void FreeStyles();

    std::u16string m_text;
    NvRect m_given, m_used;
    int m_visible = 0;
    int m_top = 0;
    uint16_t m_spacing = 0;
    NvRect m_lineRects[kMaxVisible];  // x, width, y, height
    std::vector<Line> m_lines;
    Style m_styles[kStyles];
    MneHandle m_dc = 0;
    bool m_markup = false;
};
