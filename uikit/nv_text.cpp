#include "uikit/nv_text.h"

#include <algorithm>
#include <cstring>

#include "platform/codepage.h"
#include "render/aa_context.h"
#include "uikit/renderer.h"

namespace {

std::string ToAnsi(std::u16string_view text) {
    std::string out;
    if (!platform::Utf16ToCp949(text, out)) {
        out.clear();
        for (char16_t c : text) {
            std::string one;
            out += platform::Utf16ToCp949(std::u16string_view(&c, 1), one) ? one : std::string("?");
        }
    }
    return out;
}

tagUISCRIPT_TEXTSTYLE DefaultStyle() { return {255, 255, 255, 0, 20, 0, 300}; }

}  // namespace

const char* NvFontFace(int index) {
    static const char* const kFaces[] = {"FONT1", "FONT2", "FONT3", "FONT4"};
    return index >= 0 && index < 4 ? kFaces[index] : kFaces[0];
}

// A font of the face, or of "FONT1" when the face has no file.
static MneHandle MakeFont(int32_t size, int32_t width, int face) {
    MneHandle f = MneCreateFont(size, width, NvFontFace(face), 0);
    if (!f && face != 0) f = MneCreateFont(size, width, NvFontFace(0), 0);
    return f;
}

// ---------------------------------------------------------------- NvText

NvText::NvText(const NvRect* owner) {
    for (auto& s : m_style) s = DefaultStyle();
    if (owner) {
        m_hasOwner = true;
        m_owner = *owner;
        for (int s = 0; s < kStates; ++s) SetOffset(s, 0, 0);
    }
}

NvText::~NvText() {
    if (m_dc && m_oldFont) MneSelectFont(m_dc, m_oldFont);
    if (m_font) MneDeleteFont(m_font);
    if (m_dc) MneDeleteDC(m_dc);
}

int NvText::SetText(const char16_t* text, bool vertical) {
    if (!text) return 0;
    m_text = text;
    m_hasText = true;
    m_ansi = ToAnsi(m_text);
    if (m_ansi.size() > 256) m_ansi.resize(256);
    m_vertical = vertical;
    m_lineCount = 1;
    if (vertical) {
        // Each character on a line of its own; longer texts keep their first
        // characters so the copy stays inside its buffer.
        const size_t n = std::min<size_t>(m_text.size(), kMaxVerticalChars);
        std::u16string v;
        for (size_t i = 0; i < n; ++i) {
            v.push_back(m_text[i]);
            if (i + 1 < n) v += u"\\n";
        }
        m_verticalAnsi = ToAnsi(v);
        m_lineCount = static_cast<int>(std::max<size_t>(n, 1));
    } else {
        for (size_t i = 0; i + 1 < m_text.size(); ++i)
            if (m_text[i] == u'\\' && m_text[i + 1] == u'n') {
                ++m_lineCount;
                ++i;
            }
    }
    m_changed = true;
    return 1;
}

void NvText::SetColor(int state, uint8_t r, uint8_t g, uint8_t b) {
    if (state < 0 || state >= kStates) return;
    m_style[state].red = r;
    m_style[state].green = g;
    m_style[state].blue = b;
    m_changed = true;
}
void NvText::SetFontSize(int state, uint8_t size) {
    if (state >= 0 && state < kStates) m_style[state].size = size, m_changed = true;
}
void NvText::SetStyle(int state, const tagUISCRIPT_TEXTSTYLE& style) {
    if (state >= 0 && state < kStates) m_style[state] = style, m_changed = true;
}
void NvText::SetFontWidth(int state, uint16_t width) {
    if (state >= 0 && state < kStates) m_style[state].fontWidth = width, m_changed = true;
}
void NvText::SetSpacing(int state, uint8_t spacing) {
    if (state >= 0 && state < kStates) m_style[state].lineSpacing = spacing;
}
void NvText::SetAlign(int state, uint16_t align) {
    if (state >= 0 && state < kStates) m_align[state] = align;
}

void NvText::SetOwnerRect(const NvRect& rect) {
    if (m_hasOwner && rect.width == m_owner.width && rect.height == m_owner.height) {
        m_owner = rect;
        return;
    }
    m_hasOwner = true;
    m_owner = rect;
    for (int s = 0; s < kStates; ++s) SetOffset(s, m_offX[s], m_offY[s]);
}

void NvText::SetOffset(int state, int16_t x, int16_t y) {
    if (state < 0 || state >= kStates) return;
    m_offX[state] = x;
    m_offY[state] = y;
    Box b;
    if (m_hasOwner) {
        b.width = m_owner.width;
        b.height = m_owner.height;
        const uint16_t a = m_align[state];
        if ((a & 3) >= 2 || x < 0) b.width -= std::abs(x);
        else b.x = x;
        if ((a & 12) >= 8 || y < 0) b.height -= std::abs(y);
        else b.y = y;
    }
    m_box[state] = b;
}

bool NvText::Prepare(int state) {
    NvImageData* back = NvBackBuffer();
    if (!back) return false;
    const bool backChanged = back->bits != m_dcPixels || back->width != m_dcWidth || back->height != m_dcHeight;
    if (m_dc && m_font && !backChanged && !m_changed && state == m_lastState) return true;
    if (m_dc && m_oldFont) MneSelectFont(m_dc, m_oldFont);
    if (m_font) MneDeleteFont(m_font);
    if (m_dc) MneDeleteDC(m_dc);
    m_dc = m_font = m_oldFont = 0;
    const tagUISCRIPT_TEXTSTYLE& st = m_style[state];
    m_dc = MneCreateDC(back->bits, back->width, back->height);
    m_font = MakeFont(st.size ? st.size : 20, st.fontWidth ? st.fontWidth : 300, m_fontIndex);
    if (!m_dc || !m_font) return false;
    m_oldFont = MneSelectFont(m_dc, m_font);
    MneSetTextColor(m_dc, st.red | (st.green << 8) | (st.blue << 16));
    m_dcPixels = back->bits;
    m_dcWidth = back->width;
    m_dcHeight = back->height;
    m_lastState = state;
    m_changed = false;
    return true;
}

std::vector<size_t> NvText::CharStarts(const std::string& s) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < s.size();) {
        starts.push_back(i);
        i += (static_cast<uint8_t>(s[i]) >= 0x81 && i + 1 < s.size()) ? 2 : 1;
    }
    return starts;
}

int32_t NvText::Measure(const std::string& s) {
    MneSize size{};
    if (s.empty() || !MneGetTextExtent(m_dc, s.data(), static_cast<int32_t>(s.size()), &size)) return 0;
    return size.cx;
}

std::string NvText::CutToWidth(const std::string& s, int32_t width, bool fromStart, bool dots) {
    const int32_t dotsWidth = dots ? Measure("...") : 0;
    const std::vector<size_t> starts = CharStarts(s);
    // The widest part that leaves room for "...".
    if (fromStart) {
        for (size_t k = 0; k <= starts.size(); ++k) {
            const std::string rest = k < starts.size() ? s.substr(starts[k]) : std::string();
            if (Measure(rest) + dotsWidth <= width) return (dots ? "..." : "") + rest;
        }
        return dots ? "..." : "";
    }
    for (size_t k = starts.size() + 1; k-- > 0;) {
        const std::string head = k < starts.size() ? s.substr(0, starts[k]) : s;
        if (Measure(head) + dotsWidth <= width) return head + (dots ? "..." : "");
    }
    return dots ? "..." : "";
}

int NvText::CaretFromPoint(int state, int32_t x) {
    if (state < 0 || state >= kStates || !Prepare(state)) return 0;
    const std::string line = m_ansi.substr(0, m_ansi.find("\\n"));
    const std::vector<size_t> starts = CharStarts(line);
    const Box& b = m_box[state];
    const int32_t availW = b.width - b.x;
    const int32_t total = Measure(line);
    int32_t offset = 0;
    if (m_align[state] & kNvAlignCentreX) offset = availW / 2 - total / 2;
    else if (m_align[state] & kNvAlignRight) offset = std::max(0, availW - total);
    int32_t pos = m_owner.x + b.x + offset;
    const size_t n = std::min<size_t>(starts.size(), kMaxLineChars);
    for (size_t i = 0; i < n; ++i) {
        const size_t end = i + 1 < starts.size() ? starts[i + 1] : line.size();
        const int32_t w = Measure(line.substr(starts[i], end - starts[i]));
        if (pos + w / 2 > x) {
            m_caretX = pos;
            return static_cast<int>(i);
        }
        pos += w;
    }
    m_caretX = pos;
    return static_cast<int>(n);
}

int NvText::DrawAt(int state, uint32_t tick, int32_t dx, int32_t dy, bool keep) {
    if (state < 0 || state >= kStates || !m_hasText) return 0;
    if (!Prepare(state)) return 0;
    m_drawn.clear();
    if (keep) {
        m_owner.x += dx;
        m_owner.y += dy;
        dx = dy = 0;
    }
    const std::string& text = m_vertical ? m_verticalAnsi : m_ansi;
    std::vector<std::string> lines;
    for (size_t start = 0;;) {
        const size_t at = text.find("\\n", start);
        lines.push_back(text.substr(start, std::min<size_t>((at == std::string::npos ? text.size() : at) - start, 127)));
        if (at == std::string::npos) break;
        start = at + 2;
    }
    const tagUISCRIPT_TEXTSTYLE& st = m_style[state];
    const Box& b = m_box[state];
    const int32_t availW = b.width - b.x, availH = b.height - b.y;
    uint16_t align = m_align[state];
    MneSize probe{};
    MneGetTextExtent(m_dc, "Ag", 2, &probe);
    const int32_t lineH = std::min<int32_t>(st.size ? st.size : 20, probe.cy > 0 ? probe.cy : (st.size ? st.size : 20));
    m_textHeight = lineH;
    const int32_t pitch = lineH + st.lineSpacing;
    const int32_t n = static_cast<int32_t>(lines.size());
    const int32_t block = n * pitch - st.lineSpacing;
    for (int32_t i = 0; i < n; ++i) {
        std::string line = lines[static_cast<size_t>(i)];
        std::string right;
        const size_t cr = line.find("\\r");
        if (cr != std::string::npos) {
            right = line.substr(cr + 2);
            line = line.substr(0, cr);
        }
        uint16_t a = align;
        int32_t w = Measure(line);
        if (right.empty() && w > availW) {
            const bool fromStart = (a & 3) == kNvAlignRight || (a & 3) == 3 || m_keepEnd;
            if (m_keepEnd) a = static_cast<uint16_t>((a & ~3) | kNvAlignRight);
            line = CutToWidth(line, availW, fromStart, true);
            w = Measure(line);
        }
        int32_t xo = 0;
        if (!right.empty()) xo = 0;
        else if (a & kNvAlignCentreX) xo = availW / 2 - w / 2;
        else if (a & kNvAlignRight) xo = std::max(0, availW - w);
        int32_t yo = i * pitch;
        if (align & kNvAlignCentreY) yo += availH / 2 - block / 2;
        else if (align & kNvAlignBottom) yo += std::max(0, availH - block);
        const int32_t left = m_owner.x + b.x + xo + dx, top = m_owner.y + b.y + yo + dy;
        DrawnLine drawn;
        if (!right.empty()) {
            const int32_t rw = std::min(Measure(right), availW);
            const MneTextRect rr{left + availW - rw, top, left + availW, top + lineH};
            MneDrawText(m_dc, right.data(), static_cast<int32_t>(right.size()), &rr, 0);
            if (Measure(line) > availW - rw) line = CutToWidth(line, availW - rw, false, false);
            w = Measure(line);
            drawn.right = right;
        }
        const MneTextRect rect{left, top, left + w, top + lineH};
        if (!line.empty()) MneDrawText(m_dc, line.data(), static_cast<int32_t>(line.size()), &rect, 0);
        drawn.text = line;
        drawn.rect = {left, w, top, lineH};
        m_drawn.push_back(drawn);
        if (i == 0) m_textWidth = w;
        if (i == 0 && m_caretEnabled && (m_caretMoved || m_caretShown)) {
            const std::vector<size_t> starts = CharStarts(line);
            const size_t upto = std::min<size_t>({m_caretIndex, starts.size(), kMaxLineChars});
            m_caretX = left + Measure(line.substr(0, upto < starts.size() ? starts[upto] : line.size()));
            const int32_t ch = std::min(m_owner.height - 2, lineH);
            if (ch > 0) {
                if (!m_caret || m_caret->height != ch) m_caret.reset(NvCreateImageData(2, ch, 0, false));
                if (m_caret) {
                    m_caret->dib.Fill(Rgb565FromColor(st.red | (st.green << 8) | (st.blue << 16)));
                    NvCopyImageRect(NvBackBuffer(), m_caretX, top, 2, ch, m_caret.get(), 0, 0);
                }
            }
            m_caretMoved = false;
        }
    }
    m_drawTick = tick;
    return 1;
}

// ---------------------------------------------------------------- NvTextML

NvTextML::NvTextML(const NvRect& rect) : m_given(rect), m_used(rect) {
    if (NvImageData* back = NvBackBuffer()) m_dc = MneCreateDC(back->bits, back->width, back->height);
}

NvTextML::~NvTextML() {
    FreeStyles();
    if (m_dc) MneDeleteDC(m_dc);
}

void NvTextML::FreeStyles() {
    for (auto& s : m_styles)
        if (s.font) {
            MneDeleteFont(s.font);
            s.font = 0;
        }
}

int NvTextML::SetStyle(int slot, int face, uint8_t red, uint8_t green, uint8_t blue, uint8_t size, uint8_t extra,
                       int widthHundreds) {
    if (slot < 0 || slot >= kStyles) return 0;
    Style& s = m_styles[slot];
    if (s.font) MneDeleteFont(s.font);
    s = Style{red, green, blue, face, size, extra, 0};
    s.font = MakeFont(size ? size : 20, widthHundreds > 0 ? widthHundreds * 100 : 300, face);
    return s.font ? 1 : 0;
}

void NvTextML::SetLineHeight(int32_t h) {
    const int32_t pitch = m_spacing ? h + m_spacing : h + static_cast<int32_t>(0.3 * h);
    m_visible = 0;
    for (int k = 0; k < kMaxVisible; ++k) {
        const int32_t top = m_used.y + k * pitch;
        if (!(top + h < m_used.y + m_used.height)) break;
        m_lineRects[k] = {m_used.x, m_used.width, top, h};
        ++m_visible;
    }
}

int32_t NvTextML::CharWidth(char16_t c, int style) {
    const MneHandle font = m_styles[style].font ? m_styles[style].font : m_styles[0].font;
    if (!font || !m_dc) return 0;
    const std::string one = ToAnsi(std::u16string_view(&c, 1));
    const MneHandle old = MneSelectFont(m_dc, font);
    MneSize size{};
    MneGetTextExtent(m_dc, one.data(), static_cast<int32_t>(one.size()), &size);
    if (old) MneSelectFont(m_dc, old);
    return size.cx;
}

int NvTextML::Wrap(const char16_t* text, bool markup) {
    m_text = text;
    m_lines.clear();
    m_top = 0;
    Line cur;
    int32_t width = 0;
    const size_t n = m_text.size();
    auto push = [&](size_t end) {
        cur.length = static_cast<uint16_t>(end - cur.start);
        // Lines past the table are dropped, never written beyond it.
        if (m_lines.size() < static_cast<size_t>(kMaxLines)) m_lines.push_back(cur);
    };
    cur.start = 0;
    for (size_t i = 0; i < n; ++i) {
        char16_t c = m_text[i];
        if (c == u'\n' || (c == u'\r' && i + 1 < n && m_text[i + 1] == u'\n')) {
            push(i);
            if (c == u'\r') ++i;
            cur = Line{static_cast<uint16_t>(i + 1), 0, 0};
            width = 0;
            continue;
        }
        if (markup && c == u'\\' && i + 1 < n && m_text[i + 1] == u'n') {
            m_text[i] = m_text[i + 1] = u' ';
            c = u' ';
        }
        if (markup && c == u'#' && i + 1 < n && m_text[i + 1] >= u'0' && m_text[i + 1] <= u'9' && i == cur.start) {
            cur.style = static_cast<uint8_t>(m_text[i + 1] - u'0');
            if (cur.style >= kStyles) cur.style = 0;
            cur.start = static_cast<uint16_t>(i + 2);
            ++i;
            continue;
        }
        const int32_t w = CharWidth(c, cur.style);
        if (width + w > m_used.width && i > cur.start) {
            push(i);
            // A line that starts by wrapping keeps the style of the line before.
            cur = Line{static_cast<uint16_t>(i), 0, cur.style};
            width = 0;
        }
        width += w;
    }
    if (cur.start < n) push(n);  // the last line, however short
    return 1;
}

int NvTextML::SetText(const char16_t* text) {
    if (!text || !m_dc) return 0;
    m_markup = false;
    SetStyle(0, 0, 1, 1, 1, 20, 0, 3);
    SetLineHeight(20);
    return Wrap(text, false);
}

int NvTextML::SetMarkupText(const char16_t* text, char16_t* titleOut) {
    if (!text || !m_dc) return 0;
    m_markup = true;
    SetStyle(0, 3, 255, 120, 0, 23, 0, 3);
    SetStyle(1, 3, 255, 120, 0, 23, 0, 3);
    SetStyle(2, 3, 35, 35, 35, 18, 0, 3);
    SetStyle(3, 3, 35, 35, 35, 18, 0, 3);
    SetStyle(4, 3, 10, 115, 115, 18, 0, 3);
    SetStyle(5, 3, 10, 115, 115, 18, 0, 3);
    SetLineHeight(24);
    Wrap(text, true);
    if (titleOut) titleOut[0] = 0;
    // The first line of style 1 is the title: out of the lines, cut to the
    // title buffer. Without one the lines stay as they are.
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].style != 1) continue;
        if (titleOut) {
            const size_t len = std::min<size_t>(m_lines[i].length, kTitleChars);
            std::memcpy(titleOut, m_text.data() + m_lines[i].start, len * sizeof(char16_t));
            titleOut[len] = 0;
        }
        m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(i));
        break;
    }
    return 1;
}

std::u16string NvTextML::LineText(int i) const {
    if (i < 0 || i >= LineCount()) return {};
    const Line& l = m_lines[static_cast<size_t>(i)];
    return m_text.substr(l.start, l.length);
}

void NvTextML::SetTopLine(int n) {
    const int count = LineCount();
    if (n >= count || n + m_visible > count) n = count - m_visible;
    m_top = std::max(n, 0);
}

int NvTextML::Draw() {
    NvImageData* back = NvBackBuffer();
    if (!back || !m_dc) return 0;
    for (int k = 0; k < m_visible && m_top + k < LineCount(); ++k) {
        const Line& l = m_lines[static_cast<size_t>(m_top + k)];
        const Style& s = m_styles[l.style < kStyles && m_styles[l.style].font ? l.style : 0];
        if (!s.font) continue;
        // Each line in its own style's font.
        const MneHandle old = MneSelectFont(m_dc, s.font);
        MneSetTextColor(m_dc, s.red | (s.green << 8) | (s.blue << 16));
        std::string text = ToAnsi(LineText(m_top + k));
        if (text.size() > 128) text.resize(128);
        const NvRect& r = m_lineRects[k];
        const MneTextRect box{r.x, r.y, r.x + r.width, r.y + r.height};
        MneDrawText(m_dc, text.data(), static_cast<int32_t>(text.size()), &box, kMneTextCentreY);
        if (old) MneSelectFont(m_dc, old);
    }
    return 1;
}
