#include "uikit/ui_script.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "foundation/debug_trace.h"
#include "foundation/mgr_text.h"
#include "platform/paths.h"

namespace {

// Layout items of one load at most: far above any real UI (a few thousand),
// low enough that a damaged file cannot ask for gigabytes.
constexpr size_t kMaxLayoutItems = size_t{1} << 18;
// Board files' first field above this would name boards of the next file.
constexpr int kMaxLocalBoard = kUiBoardsPerFile - 1;
// The board entry keeps the first remocon index in 16 bits.
constexpr int kMaxRemocons = 32767;

std::string Name(const std::string& folder, const char* format, int a, int b = 0) {
    char name[64];
    std::snprintf(name, sizeof name, format, a, b);
    return folder + "\\" + name;
}

// Reads the next data line: comments are passed over. False at the end of
// the file and at a line whose first field is empty, which ends the file.
bool NextDataLine(CMgrTextReader& reader, char (&line)[kUiLineBytes + 1]) {
    for (;;) {
        if (reader.ReadLine(line, kUiLineBytes) <= 0) return false;
        if (line[0] == '#') continue;
        return line[0] != '\t' && line[0] != 0;
    }
}

bool OpenFile(CMgrTextReader& reader, const std::string& windowsName) {
    std::string native;
    if (!platform::NativePath(windowsName, native)) return false;
    return reader.Open(native) == 0;
}

// Reads one layout line into the working item. The text offsets and
// alignment bytes start at zero on every line; every other missing column
// keeps the value the previous line left.
void ReadLayoutLine(const char* line, tagUISCRIPT_LAYOUT& w, bool readAlign) {
    for (auto& t : w.text) t = {};
    const char* p = line;
    p = GetTabFieldInt(p, &w.boardId);
    p = GetTabFieldInt(p, &w.layoutId);
    p = SkipTabField(p);
    p = GetTabFieldInt(p, &w.parentId);
    p = GetTabFieldInt(p, &w.controlId);
    p = GetTabFieldShort(p, &w.x);
    p = GetTabFieldShort(p, &w.y);
    p = GetTabFieldInt(p, &w.textId);
    for (auto& t : w.text) {
        p = GetTabFieldShort(p, &t.x);
        p = GetTabFieldShort(p, &t.y);
        p = GetTabFieldByte(p, &t.align);
    }
    p = GetTabFieldShort(p, &w.fontId);
    p = GetTabFieldByte(p, &w.visible);
    p = GetTabFieldByte(p, &w.popup);
    p = GetTabFieldByte(p, &w.relative);
    p = GetTabFieldByte(p, &w.backgroundMode);
    p = GetTabFieldByte(p, &w.textTable);
    p = GetTabFieldShort(p, &w.extra[0]);
    p = GetTabFieldShort(p, &w.extra[1]);
    if (readAlign && p) {
        uint8_t align = 0;
        GetTabFieldByte(p, &align);
        w.screenAlign = align == 255 ? 0 : align;
    }
}

void ReadFontLine(const char* p, tagUISCRIPT_FONT& f) {
    p = SkipTabField(GetTabFieldShort(p, nullptr));
    p = GetTabFieldByte(p, &f.fontNumber);
    for (auto& s : f.style) {
        p = GetTabFieldByte(p, &s.red);
        p = GetTabFieldByte(p, &s.green);
        p = GetTabFieldByte(p, &s.blue);
        p = GetTabFieldByte(p, &s.size);
        p = GetTabFieldByte(p, &s.lineSpacing);
        p = GetTabFieldByte(p, &s.flags);
        p = GetTabFieldWord(p, &s.fontWidth);
    }
}

// The first field of a data line as a local id; -1 for one out of range.
int LocalId(const char* line, int maxId) {
    int16_t id = -1;
    GetTabFieldShort(line, &id);
    return id >= 0 && id <= maxId ? id : -1;
}

// Highest local id of the data lines of one file (-1 when none).
int HighestLocalId(CMgrTextReader& reader, int maxId) {
    char line[kUiLineBytes + 1];
    int highest = -1;
    reader.Seek(0);
    while (NextDataLine(reader, line)) highest = std::max(highest, LocalId(line, maxId));
    return highest;
}

}  // namespace

std::string UiScriptBoardFile(const std::string& folder, int file) {
    return Name(folder, "uiscript_board%03d.txt", file);
}
std::string UiScriptLayoutFile(const std::string& folder, int file, int layoutIndex) {
    return Name(folder, "uiscript_layout%03d_t%02d.txt", file, layoutIndex + 1);
}
std::string UiScriptControlFile(const std::string& folder, int file) {
    return Name(folder, "uiscript_control%03d.txt", file);
}
std::string UiScriptFontFile(const std::string& folder, int file, int colorIndex) {
    return Name(folder, "uiscript_font%03d_cr%02d.txt", file, colorIndex + 1);
}
std::string UiScriptRemoconFile(const std::string& folder, int file, int layoutIndex) {
    return Name(folder, "uiscript_remocon%03d_t%02d.txt", file, layoutIndex + 1);
}

// ---------------------------------------------------------------- loading

int NvUiScript::Load(const std::string& folder, int layoutIndex, int colorIndex) {
    Release();
    m_folder = folder;
    m_layoutIndex = layoutIndex >= 0 && layoutIndex <= 3 ? layoutIndex : 0;
    m_colorIndex = colorIndex >= 0 && colorIndex <= 1 ? colorIndex : 0;

    // Board and control files: 001 upwards, stopping at the first missing.
    auto openSeries = [](std::vector<CMgrTextReader>& readers, int maxFiles, auto nameOf) {
        std::vector<CMgrTextReader*> open;
        readers = std::vector<CMgrTextReader>(static_cast<size_t>(maxFiles));
        for (int f = 0; f < maxFiles && OpenFile(readers[static_cast<size_t>(f)], nameOf(f + 1)); ++f)
            open.push_back(&readers[static_cast<size_t>(f)]);
        return open;
    };
    std::vector<CMgrTextReader> boardFiles, controlFiles;
    LoadBoards(openSeries(boardFiles, kUiBoardFiles, [&](int f) { return UiScriptBoardFile(folder, f); }));

    CMgrTextReader layout1, layout2;
    std::vector<CMgrTextReader*> layouts;
    if (OpenFile(layout1, UiScriptLayoutFile(folder, 1, m_layoutIndex))) {
        layouts.push_back(&layout1);
        if (OpenFile(layout2, UiScriptLayoutFile(folder, 2, m_layoutIndex))) layouts.push_back(&layout2);
    }
    LoadLayouts(layouts);

    LoadControls(openSeries(controlFiles, kUiControlFiles, [&](int f) { return UiScriptControlFile(folder, f); }));

    CMgrTextReader font1, font2;
    std::vector<CMgrTextReader*> fonts;
    if (OpenFile(font1, UiScriptFontFile(folder, 1, 0))) {
        fonts.push_back(&font1);
        if (OpenFile(font2, UiScriptFontFile(folder, 2, m_colorIndex))) fonts.push_back(&font2);
    }
    LoadFonts(fonts);

    CMgrTextReader remocon1, remocon2;
    const bool have1 = OpenFile(remocon1, UiScriptRemoconFile(folder, 1, m_layoutIndex));
    const bool have2 = OpenFile(remocon2, UiScriptRemoconFile(folder, 2, m_layoutIndex));
    return LoadRemocons(have1 ? &remocon1 : nullptr, have2 ? &remocon2 : nullptr);
}

void NvUiScript::Release() {
    m_boards.clear();
    m_layouts.clear();
    m_controls.clear();
    m_fonts.clear();
    m_remocons.clear();
}

void NvUiScript::LoadBoards(std::vector<CMgrTextReader*> files) {
    m_boards.clear();
    int lastFirst = 0;
    char line[kUiLineBytes + 1];
    for (CMgrTextReader* reader : files) {
        // Only the first data line counts: its first field is the highest
        // local board number of the file.
        int16_t highest = 0;
        reader->Seek(0);
        if (NextDataLine(*reader, line)) GetTabFieldShort(line, &highest);
        lastFirst = std::clamp<int>(highest, 0, kMaxLocalBoard);
    }
    const size_t count =
        files.empty() ? 1 : (files.size() - 1) * kUiBoardsPerFile + static_cast<size_t>(lastFirst) + 1;
    m_boards.assign(count, tagUISCRIPT_BOARD{-1, 0, 0});
}

// Walks the layout files in the order given. Counting (items null) sums the
// runs of lines of one board; filling writes each line at its board's base
// + layout id and stores the boards' first items and counts. Both walks
// read the lines alike, so the fill never passes the counted size.
static size_t WalkLayouts(const std::vector<CMgrTextReader*>& files, int boardCount,
                          std::vector<tagUISCRIPT_LAYOUT>* items, std::vector<tagUISCRIPT_BOARD>* boards) {
    tagUISCRIPT_LAYOUT w{};
    size_t base = 0;
    char line[kUiLineBytes + 1];
    for (CMgrTextReader* reader : files) {
        reader->Seek(0);
        int current = 0;
        size_t run = 0;  // highest layout id of the current board's run + 1
        auto finishRun = [&] {
            if (current != 0 && boards) (*boards)[static_cast<size_t>(current)].itemCount = static_cast<uint16_t>(run);
            base += run;
            run = 0;
        };
        while (NextDataLine(*reader, line)) {
            ReadLayoutLine(line, w, true);
            if (w.boardId < 0 || w.boardId >= boardCount) break;
            // Board 0 is never given items; an id out of range is passed over.
            if (w.boardId == 0 || w.layoutId < 0 || w.layoutId > kUiMaxLayoutId) continue;
            if (w.boardId != current) {
                finishRun();
                current = w.boardId;
                if (boards) (*boards)[static_cast<size_t>(current)].firstItem = static_cast<int32_t>(base);
            }
            const size_t needed = std::max(run, static_cast<size_t>(w.layoutId) + 1);
            if (base + needed > kMaxLayoutItems) break;
            run = needed;
            if (items) (*items)[base + static_cast<size_t>(w.layoutId)] = w;
        }
        finishRun();
    }
    return base;
}

void NvUiScript::LoadLayouts(std::vector<CMgrTextReader*> files) {
    m_layouts.clear();
    for (auto& b : m_boards) b.firstItem = -1, b.itemCount = 0;
    const size_t count = WalkLayouts(files, BoardCount(), nullptr, nullptr);
    m_layouts.assign(count, tagUISCRIPT_LAYOUT{});
    WalkLayouts(files, BoardCount(), &m_layouts, &m_boards);
}

void NvUiScript::LoadControls(std::vector<CMgrTextReader*> files) {
    m_controls.clear();
    if (files.empty()) return;
    int highest = -1;
    for (CMgrTextReader* reader : files) highest = std::max(highest, HighestLocalId(*reader, kUiMaxLocalId));
    m_controls.assign((files.size() - 1) * kUiControlsPerFile + static_cast<size_t>(highest + 1),
                      tagUISCRIPT_CONTROL{});
    char line[kUiLineBytes + 1];
    for (size_t f = 0; f < files.size(); ++f) {
        const int rebase = static_cast<int>(f) * kUiControlsPerFile;
        files[f]->Seek(0);
        while (NextDataLine(*files[f], line)) {
            const int local = LocalId(line, kUiMaxLocalId);
            if (local < 0 || static_cast<size_t>(rebase + local) >= m_controls.size()) continue;
            tagUISCRIPT_CONTROL& c = m_controls[static_cast<size_t>(rebase + local)];
            c.id = static_cast<int16_t>(rebase + local);
            const char* p = SkipTabField(SkipTabField(line));
            p = GetTabFieldInt(p, &c.subControl);
            p = GetTabFieldInt(p, &c.kind);
            p = GetTabFieldWord(p, &c.width);
            p = GetTabFieldWord(p, &c.height);
            bool firstValid = true;
            if (p) {
                int32_t first = 0;
                p = GetTabFieldInt(p, &first);
                // An empty first-sub-control field counts as 0 before the
                // rebase, so in file 002 it becomes 1000. A first id outside
                // the local ids names no control: the control gets no
                // sub-controls (and no id past the table is ever formed).
                firstValid = first >= -1 && first <= kUiMaxLocalId;
                c.firstSub = (firstValid && first != -1 ? first : 0) + rebase;
            }
            p = GetTabFieldWord(p, &c.subCount);
            if (!firstValid) c.subCount = 0;
            p = GetTabFieldWord(p, &c.attr1);
            p = GetTabFieldWord(p, &c.attr2);
            p = GetTabFieldWord(p, &c.attr3);
            for (auto& image : c.image) {
                p = GetTabFieldInt(p, &image.imageId);
                p = GetTabFieldShort(p, &image.x);
                p = GetTabFieldShort(p, &image.y);
            }
        }
    }
}

void NvUiScript::LoadFonts(std::vector<CMgrTextReader*> files) {
    m_fonts.clear();
    if (files.empty()) return;
    int highest = -1;
    for (CMgrTextReader* reader : files) highest = std::max(highest, HighestLocalId(*reader, kUiMaxLocalId));
    m_fonts.assign((files.size() - 1) * kUiFontsPerFile + static_cast<size_t>(highest + 1), tagUISCRIPT_FONT{});
    char line[kUiLineBytes + 1];
    for (size_t f = 0; f < files.size(); ++f) {
        files[f]->Seek(0);
        while (NextDataLine(*files[f], line)) {
            const int local = LocalId(line, kUiMaxLocalId);
            const size_t index = f * kUiFontsPerFile + static_cast<size_t>(local);
            if (local >= 0 && index < m_fonts.size()) ReadFontLine(line, m_fonts[index]);
        }
    }
}

int NvUiScript::LoadRemocons(CMgrTextReader* file1, CMgrTextReader* file2) {
    m_remocons.clear();
    if (!file1 || !file2) return 0;
    char line[kUiLineBytes + 1];
    size_t lines2 = 0;
    file2->Seek(0);
    while (NextDataLine(*file2, line) && lines2 < kMaxRemocons - kUiRemoconsPerFile) ++lines2;
    m_remocons.assign(kUiRemoconsPerFile + lines2, tagUISCRIPT_REMOCON{});

    int previousBoard = 0;
    bool first = true;
    const size_t limits[2] = {kUiRemoconsPerFile, lines2};
    CMgrTextReader* readers[2] = {file1, file2};
    for (size_t f = 0; f < 2; ++f) {
        readers[f]->Seek(0);
        for (size_t n = 0; n < limits[f] && NextDataLine(*readers[f], line); ++n) {
            const size_t index = f * kUiRemoconsPerFile + n;
            tagUISCRIPT_REMOCON& r = m_remocons[index];
            int32_t board = 0;
            const char* p = GetTabFieldInt(line, &board);
            r.boardId = static_cast<int16_t>(board);
            p = GetTabFieldShort(p, &r.layoutId);
            p = GetTabFieldShort(p, &r.guardId);
            for (auto& t : r.target) p = GetTabFieldShort(p, &t);
            p = GetTabFieldByte(p, &r.alternatives);
            GetTabFieldByte(p, &r.reserved);
            if (first || r.boardId != previousBoard) {
                if (r.boardId >= 0 && r.boardId < BoardCount()) {
                    m_boards[static_cast<size_t>(r.boardId)].firstRemocon = static_cast<int16_t>(index);
                    DebugTrace(9, "board %d, rem=%d\n", r.boardId, static_cast<int>(index));
                }
                previousBoard = r.boardId;
                first = false;
            }
        }
    }
    return 1;
}

// ---------------------------------------------------------------- reloads

int NvUiScript::ReloadLayout(int layoutIndex) {
    m_layoutIndex = layoutIndex >= 0 && layoutIndex <= 3 ? layoutIndex : 0;
    CMgrTextReader reader;
    if (!OpenFile(reader, UiScriptLayoutFile(m_folder, 2, m_layoutIndex))) return 0;
    return ReloadLayoutFrom(&reader);
}

int NvUiScript::ReloadLayoutFrom(CMgrTextReader* file2) {
    if (!file2) return 0;
    // Read into a copy: a file that breaks off half-way leaves the layout
    // in use as it was, not a mixture of two layouts.
    std::vector<tagUISCRIPT_LAYOUT> items = m_layouts;
    tagUISCRIPT_LAYOUT w{};
    int current = 0;
    int readCount = 0;
    char line[kUiLineBytes + 1];
    file2->Seek(0);
    while (NextDataLine(*file2, line)) {
        ReadLayoutLine(line, w, false);
        if (w.boardId < 0 || w.boardId >= BoardCount()) break;
        if (w.boardId == 0) continue;
        if (w.boardId != current) {
            if (readCount != m_boards[static_cast<size_t>(current)].itemCount) return 0;
            current = w.boardId;
            readCount = 0;
        }
        const tagUISCRIPT_BOARD& board = m_boards[static_cast<size_t>(current)];
        if (w.layoutId < 0 || w.layoutId >= board.itemCount || board.firstItem < 0) return 0;
        tagUISCRIPT_LAYOUT& item = items[static_cast<size_t>(board.firstItem + w.layoutId)];
        const uint8_t align = item.screenAlign;  // column 29 keeps its start-up value
        item = w;
        item.screenAlign = align;
        readCount = std::max(readCount, w.layoutId + 1);
    }
    if (readCount != m_boards[static_cast<size_t>(current)].itemCount) return 0;
    m_layouts.swap(items);
    return 1;
}

int NvUiScript::ReloadFonts(int colorIndex) {
    const int index = colorIndex >= 0 && colorIndex <= 1 ? colorIndex : 0;
    if (index == m_colorIndex) return 1;
    m_colorIndex = index;
    CMgrTextReader reader;
    if (!OpenFile(reader, UiScriptFontFile(m_folder, 2, m_colorIndex))) return 0;
    return ReloadFontsFrom(&reader);
}

int NvUiScript::ReloadFontsFrom(CMgrTextReader* file2) {
    if (!file2) return 0;
    const int highest = HighestLocalId(*file2, kUiMaxLocalId);
    if (m_fonts.size() != static_cast<size_t>(highest + 1 + kUiFontsPerFile)) return 0;
    std::fill(m_fonts.begin() + kUiFontsPerFile, m_fonts.end(), tagUISCRIPT_FONT{});
    char line[kUiLineBytes + 1];
    file2->Seek(0);
    while (NextDataLine(*file2, line)) {
        const int local = LocalId(line, kUiMaxLocalId);
        if (local >= 0) ReadFontLine(line, m_fonts[kUiFontsPerFile + static_cast<size_t>(local)]);
    }
    return 1;
}

// ---------------------------------------------------------------- look-ups

const tagUISCRIPT_BOARD* NvUiScript::GetBoard(int boardId) const {
    return boardId >= 0 && boardId < BoardCount() ? &m_boards[static_cast<size_t>(boardId)] : nullptr;
}

const tagUISCRIPT_LAYOUT* NvUiScript::GetLayout(int boardId, int layoutId) const {
    const tagUISCRIPT_BOARD* board = GetBoard(boardId);
    if (!board || board->firstItem < 0 || layoutId < 0 || layoutId >= board->itemCount) return nullptr;
    const size_t index = static_cast<size_t>(board->firstItem) + static_cast<size_t>(layoutId);
    return index < m_layouts.size() ? &m_layouts[index] : nullptr;
}

const tagUISCRIPT_CONTROL* NvUiScript::GetControl(int controlId) const {
    return controlId >= 0 && controlId < ControlCount() ? &m_controls[static_cast<size_t>(controlId)] : nullptr;
}

const tagUISCRIPT_FONT* NvUiScript::GetFont(int fontId) const {
    const int id = static_cast<int16_t>(fontId);
    return id >= 0 && id < FontCount() ? &m_fonts[static_cast<size_t>(id)] : nullptr;
}

const tagUISCRIPT_REMOCON* NvUiScript::GetRemocon(int index) const {
    const int i = static_cast<int16_t>(index);
    return i >= 0 && i < RemoconCount() ? &m_remocons[static_cast<size_t>(i)] : nullptr;
}

std::unique_ptr<NvUiScript> NvLoadUiScripts(const std::string& folder, int layoutIndex, int colorIndex) {
    auto script = std::make_unique<NvUiScript>();
    script->Load(folder, layoutIndex, colorIndex);
    return script;
}
