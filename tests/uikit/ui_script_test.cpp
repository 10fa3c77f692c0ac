// UI script tables: file families and ids, empty fields and carried-over
// columns, the two-pass reads, the layout and colour reloads, and the
// writer's tables read back.
#include "uikit/ui_script.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "foundation/mgr_text.h"
#include "support/temp_dir.h"
#include "tools/writers/ui_resource_writer.h"

namespace {

using testsupport::TempDir;

// Lines of a table file; "\t" separated fields are written as "|" here so
// a reader sees the columns ("||" is an empty field).
std::string Tab(const std::vector<std::string>& lines) {
    std::string text;
    for (std::string line : lines) {
        for (char& c : line)
            if (c == '|') c = '\t';
        text += line + "\r\n";
    }
    return text;
}

// A layout line: board, layout id, control, x, y; text id and offsets 0;
// columns 21-29 (font, visible, popup, relative, background, text table,
// two keyboard values, screen alignment) as given.
std::string Layout(int board, int layoutId, int control, int x, int y, const std::string& tail = "0|1|0|0|0|0|0|0|0") {
    return std::to_string(board) + "|" + std::to_string(layoutId) + "|name|0|" + std::to_string(control) + "|" +
           std::to_string(x) + "|" + std::to_string(y) + "|0|0|0|0|0|0|0|0|0|0|0|0|0|" + tail;
}

class UiScriptTest : public ::testing::Test {
protected:
    void Write(const std::string& name, const std::vector<std::string>& lines) { m_dir.Write(name, Tab(lines)); }
    // The minimum set: one board file, both remocon files of layout t01.
    void WriteBase() {
        Write("uiscript_board001.txt", {"9|0"});
        Write("uiscript_remocon001_t01.txt", {});
        Write("uiscript_remocon002_t01.txt", {});
    }
    NvUiScript& Load(int layout = 0, int colour = 0) {
        m_script.Load(m_dir.Path(), layout, colour);
        return m_script;
    }

    TempDir m_dir;
    NvUiScript m_script;
};

TEST_F(UiScriptTest, BoardCountComesFromTheLastBoardFile) {
    Write("uiscript_board001.txt", {"# comment", "199|0", "55|0"});
    Write("uiscript_board002.txt", {"3|0"});
    Write("uiscript_board003.txt", {"12|7", "150|0"});
    Write("uiscript_board005.txt", {"100|0"});  // after a gap: never read
    EXPECT_EQ(Load().BoardCount(), 413);  // 2 x 200 + 12 + 1

    TempDir empty;
    NvUiScript none;
    none.Load(empty.Path(), 0, 0);
    EXPECT_EQ(none.BoardCount(), 1);
    EXPECT_FALSE(none.HasRemocon());
}

TEST_F(UiScriptTest, ControlIdsAreRebasedByTheirFile) {
    WriteBase();
    Write("uiscript_control001.txt", {"2|a|0|1|100|50|3|2|0|0|0|11|1|2", "3|a|1|5|10|10", "4|a|1|5|10|10|",
                                      "|ends the file", "9|never read|0|1"});
    Write("uiscript_control002.txt",
          {"5|b|0|13|288|48|7|5|7|8|9|2005|4|6", "6|b|0|1|10|10||3", "7|b|0|1|10|10|0|1",
           "8|b|0|1|10|10|2147483647|3", "1|b|0|1|10|10|-5|2"});
    NvUiScript& s = Load();
    ASSERT_EQ(s.ControlCount(), 1009);  // 1 x 1000 + 8 + 1
    const tagUISCRIPT_CONTROL* c = s.GetControl(1005);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->id, 1005);
    EXPECT_EQ(c->kind, 13);
    EXPECT_EQ(c->width, 288);
    EXPECT_EQ(c->firstSub, 1007);
    EXPECT_EQ(c->subCount, 5);
    EXPECT_EQ(c->attr1, 7);
    EXPECT_EQ(c->attr3, 9);
    EXPECT_EQ(c->image[0].imageId, 2005);
    EXPECT_EQ(c->image[0].x, 4);
    EXPECT_EQ(c->image[0].y, 6);
    EXPECT_EQ(c->image[1].imageId, 0);  // missing columns stay zero
    // An empty or 0 first-sub-control field in file 002 becomes 1000.
    EXPECT_EQ(s.GetControl(1006)->firstSub, 1000);
    EXPECT_EQ(s.GetControl(1007)->firstSub, 1000);
    // File 001: a line that stops after column 8 leaves attributes zero.
    EXPECT_EQ(s.GetControl(2)->firstSub, 3);
    EXPECT_EQ(s.GetControl(3)->attr1, 0);
    EXPECT_EQ(s.GetControl(3)->firstSub, 0);
    EXPECT_EQ(s.GetControl(4)->firstSub, 0);  // empty counts as 0 before the rebase
    // The line after an empty first field is not read, in either pass.
    EXPECT_EQ(s.GetControl(9)->kind, 0);
    EXPECT_EQ(s.GetControl(-1), nullptr);
    EXPECT_EQ(s.GetControl(1009), nullptr);
    // A first sub-control outside the local ids names nothing: no
    // sub-controls, and no id past the table.
    for (int id : {1008, 1001}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(s.GetControl(id)->subCount, 0);
        EXPECT_EQ(s.GetControl(id)->firstSub, 1000);
    }
}

TEST_F(UiScriptTest, NegativeAndHugeIdsAreRefusedWithoutWritesOutsideTheTables) {
    WriteBase();
    Write("uiscript_control001.txt", {"-5|neg|0|1", "2|ok|0|1", "30000|huge|0|1"});
    Write("uiscript_font001_cr01.txt", {"-1|neg|1", "1|ok|2"});
    Write("uiscript_layout001_t01.txt", {Layout(1, -3, 2, 0, 0), Layout(1, 70000, 2, 0, 0), Layout(1, 1, 2, 5, 5),
                                         Layout(0, 0, 2, 1, 1), Layout(9, 0, 2, 1, 1)});
    NvUiScript& s = Load();
    EXPECT_EQ(s.ControlCount(), 3);
    EXPECT_EQ(s.FontCount(), 2);
    EXPECT_EQ(s.GetFont(1)->fontNumber, 2);
    ASSERT_NE(s.GetBoard(1), nullptr);
    EXPECT_EQ(s.GetBoard(1)->itemCount, 2);
    EXPECT_EQ(s.GetLayout(1, 1)->x, 5);
    EXPECT_EQ(s.GetBoard(0)->itemCount, 0);  // board 0 never gets items
    EXPECT_EQ(s.GetBoard(9)->itemCount, 1);
    EXPECT_EQ(s.LayoutCount(), 3);
}

TEST_F(UiScriptTest, LayoutLinesCarryColumnsOverButNotTextOffsets) {
    WriteBase();
    Write("uiscript_layout001_t01.txt",
          {"2|0|bg|0|7|10|20|5|1|2|3|4|5|6|7|8|9|10|11|12|3|0|1|1|2|4|300|1|9",
           // stops after column 21: 22-29 from the line before, offsets zero
           "2|1|short|0|7|30|40|0|||||||||||||4",
           "2|3|run|0|7|50|60|0|0|0|0|0|0|0|0|0|0|0|0|0|4|1|0|0|0|0|0|0|",  // empty col 29 reads 0
           Layout(3, 0, 8, 1, 2)});
    Write("uiscript_layout002_t01.txt", {Layout(4, 2, 9, 3, 4)});
    NvUiScript& s = Load();
    ASSERT_EQ(s.LayoutCount(), 4 + 1 + 3);
    const tagUISCRIPT_LAYOUT* first = s.GetLayout(2, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->textId, 5);
    EXPECT_EQ(first->text[1].x, 4);
    EXPECT_EQ(first->text[3].align, 12);
    EXPECT_EQ(first->fontId, 3);
    EXPECT_EQ(first->screenAlign, 9);
    const tagUISCRIPT_LAYOUT* carried = s.GetLayout(2, 1);
    EXPECT_EQ(carried->text[0].x, -1);  // an empty 16-bit field
    EXPECT_EQ(carried->text[0].align, 255);
    EXPECT_EQ(carried->fontId, 4);
    EXPECT_EQ(carried->visible, 0);
    EXPECT_EQ(carried->popup, 1);
    EXPECT_EQ(carried->backgroundMode, 2);
    EXPECT_EQ(carried->extra[0], 300);
    EXPECT_EQ(carried->screenAlign, 9);
    EXPECT_EQ(s.GetLayout(2, 2)->controlId, 0);  // not listed: all zero
    EXPECT_EQ(s.GetLayout(2, 3)->screenAlign, 0);
    EXPECT_EQ(s.GetBoard(2)->itemCount, 4);
    EXPECT_EQ(s.GetLayout(4, 2)->controlId, 9);
    EXPECT_EQ(s.GetLayout(2, 4), nullptr);
}

TEST_F(UiScriptTest, FontsRebaseAndTheColourSwitchRereadsOnlyFile002) {
    WriteBase();
    auto font = [](int id, int number, int red) {
        std::string line = std::to_string(id) + "|f|" + std::to_string(number);
        for (int s = 0; s < 4; ++s) line += "|" + std::to_string(red) + "|2|3|24|4|5|400";
        return line;
    };
    Write("uiscript_font001_cr01.txt", {font(1, 1, 10)});
    Write("uiscript_font002_cr01.txt", {font(3, 2, 20)});
    Write("uiscript_font002_cr02.txt", {font(3, 2, 30)});
    NvUiScript& s = Load();
    ASSERT_EQ(s.FontCount(), 104);
    const tagUISCRIPT_FONT* f = s.GetFont(103);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->fontNumber, 2);
    // Column order red, green, blue, size, spacing, flags, width: size is
    // style byte 4, spacing byte 3.
    EXPECT_EQ(f->style[2].red, 20);
    EXPECT_EQ(f->style[2].size, 24);
    EXPECT_EQ(f->style[2].lineSpacing, 4);
    EXPECT_EQ(f->style[2].flags, 5);
    EXPECT_EQ(f->style[2].fontWidth, 400);
    EXPECT_EQ(s.ReloadFonts(1), 1);
    EXPECT_EQ(s.GetFont(103)->style[0].red, 30);
    EXPECT_EQ(s.GetFont(1)->style[0].red, 10);
    EXPECT_EQ(s.ReloadFonts(1), 1);  // the same index reads nothing
    // A colour file with another highest id leaves the table as it is.
    Write("uiscript_font002_cr01.txt", {font(5, 2, 40)});
    EXPECT_EQ(s.ReloadFonts(0), 0);
    EXPECT_EQ(s.GetFont(103)->style[0].red, 30);
    EXPECT_EQ(s.ColorIndex(), 0);
}

TEST_F(UiScriptTest, RemoconRecordsFillBothHalvesAndMarkTheirBoards) {
    Write("uiscript_board001.txt", {"9|0"});
    Write("uiscript_remocon001_t01.txt", {"1|1|-1|2|3|4|5|1|0", "1|2|-1|1|1|1|1|1", "3|1|||||||"});
    Write("uiscript_remocon002_t01.txt", {"5|1|7|2|-1|-1|-1|2|9", "5|1|-1|3", "6|4", "20|1", "|x", "8|1"});
    NvUiScript& s = Load();
    ASSERT_TRUE(s.HasRemocon());
    EXPECT_EQ(s.RemoconCount(), 2004);
    EXPECT_EQ(s.GetBoard(1)->firstRemocon, 0);
    EXPECT_EQ(s.GetBoard(3)->firstRemocon, 2);
    EXPECT_EQ(s.GetBoard(5)->firstRemocon, 2000);
    EXPECT_EQ(s.GetBoard(6)->firstRemocon, 2002);
    EXPECT_EQ(s.GetBoard(8)->firstRemocon, 0);  // after the end line: not read
    const tagUISCRIPT_REMOCON* r = s.GetRemocon(2000);
    EXPECT_EQ(r->guardId, 7);
    EXPECT_EQ(r->target[0], 2);
    EXPECT_EQ(r->alternatives, 2);
    EXPECT_EQ(r->reserved, 9);
    EXPECT_EQ(s.GetRemocon(2)->target[0], -1);
    EXPECT_EQ(s.GetRemocon(3)->boardId, 0);  // an empty place
    EXPECT_EQ(s.GetRemocon(2004), nullptr);

    // Either file missing: no table, the other tables unaffected.
    std::remove(m_dir.File("uiscript_remocon002_t01.txt").c_str());
    EXPECT_EQ(m_script.Load(m_dir.Path(), 0, 0), 0);
    EXPECT_FALSE(m_script.HasRemocon());
    EXPECT_EQ(m_script.BoardCount(), 10);
}

TEST_F(UiScriptTest, LayoutSwitchKeepsItemCountsOrChangesNothing) {
    WriteBase();
    for (int t = 2; t <= 4; ++t) {
        Write("uiscript_remocon001_t0" + std::to_string(t) + ".txt", {});
        Write("uiscript_remocon002_t0" + std::to_string(t) + ".txt", {});
    }
    Write("uiscript_layout001_t01.txt", {Layout(1, 0, 1, 0, 0)});
    Write("uiscript_layout002_t01.txt", {Layout(2, 0, 1, 0, 0), Layout(2, 1, 1, 10, 10, "0|1|0|0|0|0|0|0|8"),
                                         Layout(3, 0, 1, 5, 5)});
    // Layout 2: the same counts, moved; layout 3: board 2 lists one more item;
    // layout 4: a layout id past board 3's count.
    Write("uiscript_layout002_t02.txt", {Layout(2, 1, 1, 40, 40, "0|1|0|0|0|0|0|0|1"), Layout(3, 0, 1, 50, 50)});
    Write("uiscript_layout002_t03.txt", {Layout(2, 0, 1, 60, 60), Layout(2, 2, 1, 0, 0), Layout(3, 0, 1, 70, 70)});
    Write("uiscript_layout002_t04.txt", {Layout(2, 1, 1, 80, 80), Layout(3, 1, 1, 90, 90)});
    NvUiScript& s = Load();
    struct Case {
        int layout, result, x21, x30;
    } cases[] = {
        {1, 1, 40, 50},  // moved; column 29 keeps its start-up value
        {2, 0, 40, 50},  // count mismatch: nothing of it is kept
        {3, 0, 40, 50},  // layout id past the count
        {0, 1, 10, 5},   // back to the start-up layout
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout);
        EXPECT_EQ(s.ReloadLayout(c.layout), c.result);
        EXPECT_EQ(s.LayoutIndex(), c.layout);
        EXPECT_EQ(s.GetLayout(2, 1)->x, c.x21);
        EXPECT_EQ(s.GetLayout(3, 0)->x, c.x30);
        EXPECT_EQ(s.GetLayout(2, 1)->screenAlign, 8);
    }
    EXPECT_EQ(s.ReloadLayout(7), 1);  // above 3 reads as layout 0
    EXPECT_EQ(s.LayoutIndex(), 0);
}

TEST_F(UiScriptTest, WriterTablesReadBack) {
    uiwriter::ScriptTables t;
    uiwriter::LayoutItem item;
    item.board = 201;
    item.layoutId = 2;
    item.name = "한글 이름";
    item.control = 1005;
    item.x = -12;
    item.y = 300;
    item.textId = 17;
    item.textTable = 2;
    item.font = 103;
    item.text[2] = {3, -4, 5};
    item.popup = 1;
    item.extra[0] = 1;
    item.extra[1] = 2;
    item.align = 10;
    t.layout1 = {item};
    for (auto& v : t.layout2) v.clear();
    uiwriter::ControlRecord c;
    c.id = 1005;
    c.kind = 13;
    c.width = 288;
    c.height = 48;
    c.firstSub = 1006;
    c.subCount = 1;
    c.attr2 = 5;
    c.image[0] = {2005, 1, 2};
    c.image[3] = {7, 0, 0};
    uiwriter::ControlRecord sub;
    sub.id = 1006;
    sub.kind = 5;
    t.controls = {c, sub};
    uiwriter::FontRecord f;
    f.id = 103;
    f.style[1].red = 9;
    t.fonts1 = {};
    t.fonts2[0] = t.fonts2[1] = {f};
    uiwriter::RemoconRecord r;
    r.board = 201;
    r.layoutId = 2;
    r.target[2] = 1;
    for (auto& v : t.remocon[1]) v = {r};
    std::map<std::string, std::string> files;
    std::string error;
    ASSERT_TRUE(uiwriter::BuildScriptFiles(t, files, &error)) << error;
    TempDir dir;
    for (const auto& [name, text] : files) dir.Write(name, text);
    NvUiScript s;
    EXPECT_EQ(s.Load(dir.Path(), 0, 0), 1);
    EXPECT_EQ(s.BoardCount(), 202);
    const tagUISCRIPT_LAYOUT* l = s.GetLayout(201, 2);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->controlId, 1005);
    EXPECT_EQ(l->x, -12);
    EXPECT_EQ(l->text[2].y, -4);
    EXPECT_EQ(l->text[2].align, 5);
    EXPECT_EQ(l->fontId, 103);
    EXPECT_EQ(l->textTable, 2);
    EXPECT_EQ(l->extra[1], 2);
    EXPECT_EQ(l->screenAlign, 10);
    const tagUISCRIPT_CONTROL* rc = s.GetControl(1005);
    ASSERT_NE(rc, nullptr);
    EXPECT_EQ(rc->firstSub, 1006);
    EXPECT_EQ(rc->attr2, 5);
    EXPECT_EQ(rc->image[0].imageId, 2005);
    EXPECT_EQ(rc->image[1].imageId, -1);  // none is an empty field
    EXPECT_EQ(rc->image[3].imageId, 7);
    EXPECT_EQ(s.GetFont(103)->style[1].red, 9);
    EXPECT_EQ(s.GetBoard(201)->firstRemocon, 2000);
    EXPECT_EQ(s.GetRemocon(2000)->target[2], 1);
}

TEST(UiScriptWriterTest, RefusesTablesTheLoadersCannotRead) {
    auto base = [] {
        uiwriter::ScriptTables t;
        uiwriter::ControlRecord c;
        c.id = 1;
        c.kind = 1;
        t.controls = {c};
        uiwriter::LayoutItem a;
        a.board = 2;
        a.control = 1;
        t.layout1 = {a};
        return t;
    };
    struct Case {
        const char* what;
        void (*change)(uiwriter::ScriptTables&);
    } cases[] = {
        {"board out of range", [](auto& t) { t.layout1[0].board = 3200; }},
        {"layout id out of range", [](auto& t) { t.layout1[0].layoutId = 5000; }},
        {"board items not contiguous",
         [](auto& t) {
             auto b = t.layout1[0];
             b.board = 3;
             auto c = t.layout1[0];
             c.layoutId = 1;
             t.layout1 = {t.layout1[0], b, c};
         }},
        {"layout id twice", [](auto& t) { t.layout1.push_back(t.layout1[0]); }},
        {"variant changes a count",
         [](auto& t) {
             auto a = t.layout1[0];
             a.board = 4;
             for (auto& v : t.layout2) v = {a};
             a.layoutId = 1;
             t.layout2[2].push_back(a);
         }},
        {"image id 4000", [](auto& t) { t.controls[0].image[0].id = 4000; }},
        {"image id 2000", [](auto& t) { t.controls[0].image[0].id = 2000; }},
        {"sub-control in another file",
         [](auto& t) {
             t.controls[0].firstSub = 999;
             t.controls[0].subCount = 2;
         }},
        {"missing control", [](auto& t) { t.layout1[0].control = 5; }},
        {"missing font", [](auto& t) { t.layout1[0].font = 3; }},
        {"font file 002 below file 001's ids",
         [](auto& t) {
             uiwriter::FontRecord f;
             f.id = 20;
             t.fonts1 = {f};
             f.id = 110;
             t.fonts2[0] = t.fonts2[1] = {f};
         }},
        {"colour variants differ",
         [](auto& t) {
             uiwriter::FontRecord f;
             f.id = 100;
             t.fonts2[0] = {f};
         }},
    };
    std::map<std::string, std::string> files;
    uiwriter::ScriptTables ok = base();
    EXPECT_TRUE(uiwriter::BuildScriptFiles(ok, files));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        uiwriter::ScriptTables t = base();
        c.change(t);
        std::string error;
        EXPECT_FALSE(uiwriter::BuildScriptFiles(t, files, &error));
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
