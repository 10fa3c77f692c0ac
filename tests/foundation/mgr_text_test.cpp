#include "foundation/mgr_text.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/debug_trace.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

std::string Cp949(const char* utf8Korean) {
    // The few Korean texts used here, in CP949.
    const std::string text(utf8Korean);
    if (text == "확인") return "\xC8\xAE\xC0\xCE";
    if (text == "취소") return "\xC3\xEB\xBC\xD2";
    return text;
}

class TextTables : public ::testing::Test {
protected:
    void SetUp() override {
        SetDebugTraceSink([](std::string_view) {}, false);
        // The list: comment, tables 1 and 2, table 3 marked as none, table 4
        // listed with a file that is not there; an empty first field ends it.
        m_dir.Write("UI/text_file_config.txt",
                    "# index\tunused\tunused\tfile\r\n"
                    "1\tgeneral\t0\t\"general.txt\"\r\n"
                    "2\tmap\t0\tmap.txt\r\n"
                    "3\tnone\t0\t0\r\n"
                    "4\tabsent\t0\tabsent.txt\r\n"
                    "\tend\r\n"
                    "9\tafter the end\t0\tgeneral.txt\r\n");
        m_dir.Write("UI/general.txt",
                    "# id\ttext\r\n"
                    "1\t" + Cp949("확인") + "\r\n"
                    "2\t\"" + Cp949("취소") + "\"\r\n"
                    "3\t0\r\n"
                    "4\t\r\n"
                    "5\t\xFF\xFF\r\n"      // not CP949: left out
                    "6\r\n"                // no text field
                    "-4\tnegative\r\n"
                    "99999999\thuge id\r\n"
                    "7\tseven\tignored third field\r\n");
        // LF line ends and blank lines read the same.
        m_dir.Write("UI/map.txt", "\n\n625\t50m\n\n626\t100m\n");
    }
    void TearDown() override { SetDebugTraceSink(nullptr); }

    TempDir m_dir;
};

TEST_F(TextTables, LookUpByTableAndId) {
    MgrText text;
    const std::u16string folder = u"" + std::u16string(m_dir.Path().begin(), m_dir.Path().end()) + u"\\UI";
    ASSERT_EQ(text.Init(folder.c_str(), 0), 1);
    EXPECT_EQ(text.GetFileCount(), 5);
    EXPECT_EQ(text.GetFileName(1), "general.txt");
    EXPECT_EQ(text.GetFileName(3), "");
    EXPECT_EQ(text.GetTextCount(1), 8);
    EXPECT_EQ(text.GetTextCount(2), 627);

    struct Case {
        int table;
        int id;
        const char16_t* text;
    } cases[] = {
        {1, 1, u"확인"}, {1, 2, u"취소"}, {1, 3, u""}, {1, 4, u""}, {1, 5, u""}, {1, 6, u""},
        {1, 7, u"seven"}, {1, 8, u""}, {1, -1, u""}, {2, 625, u"50m"}, {2, 626, u"100m"},
        {2, 624, u""}, {3, 1, u""}, {4, 1, u""}, {9, 1, u""}, {0, 0, u""}, {128, 1, u""}, {-1, 1, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.table) + "/" + std::to_string(c.id));
        ASSERT_NE(GetMgrText(c.table, c.id), nullptr);
        EXPECT_EQ(std::u16string(GetMgrText(c.table, c.id)), c.text);
        EXPECT_EQ(std::u16string(text.GetText(c.table, c.id)), c.text);
    }

    text.Release();
    EXPECT_EQ(std::u16string(GetMgrText(1, 1)), u"");
}

TEST_F(TextTables, MissingListOrNoLoad) {
    MgrText text;
    EXPECT_EQ(text.Init(u"/nonexistent/folder", 0), 0);
    EXPECT_EQ(text.GetFileCount(), 0);
    EXPECT_EQ(std::u16string(GetMgrText(1, 1)), u"");

    const std::u16string folder(m_dir.Path().begin(), m_dir.Path().end());
    ASSERT_EQ(text.Init((folder + u"/UI").c_str(), 1), 1);
    EXPECT_EQ(text.GetFileCount(), 5);
    EXPECT_EQ(std::u16string(text.GetText(1, 1)), u"");  // listed, not yet loaded
    text.LoadTextFiles();
    EXPECT_EQ(std::u16string(text.GetText(1, 1)), u"확인");
}

TEST(TextTableRegistration, GoesWithTheObject) {
    {
        MgrText text;
        CMgrTextReader reader;
        reader.OpenBytes("3\tthree\r\n");
        text.LoadTable(1, reader);
        EXPECT_EQ(std::u16string(GetMgrText(1, 3)), u"three");
    }
    EXPECT_EQ(std::u16string(GetMgrText(1, 3)), u"");
}

TEST(CMgrTextReader, ReadsLinesAcrossTheBuffer) {
    const std::string longLine(5000, 'x');
    const std::string crossing = std::string(4090, 'a') + "\r\n" + std::string(100, 'b') + "\r\n";
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> lines;
        std::vector<int> lengths;
    } cases[] = {
        {"CR LF", "one\r\ntwo\r\n", {"one", "two"}, {3, 3}},
        {"LF and blanks", "\n\none\n\r\n\ntwo", {"one", "two"}, {3, 3}},
        {"CR only", "one\rtwo\r", {"one", "two"}, {3, 3}},
        {"empty", "", {}, {}},
        {"crossing a 4096-byte window", crossing, {std::string(4090, 'a'), std::string(100, 'b')}, {4090, 100}},
        {"longer than the window", longLine + "\nend\n", {std::string(4096, 'x'), "end"}, {5000, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMgrTextReader reader;
        ASSERT_EQ(reader.OpenBytes(c.bytes), 0);
        std::vector<char> buffer(8192);
        for (size_t i = 0; i < c.lines.size(); ++i) {
            EXPECT_EQ(reader.ReadLine(buffer.data(), 8000), c.lengths[i]);
            EXPECT_EQ(std::string(buffer.data()), c.lines[i]);
        }
        EXPECT_EQ(reader.ReadLine(buffer.data(), 8000), 0);
        EXPECT_EQ(reader.ReadLine(buffer.data(), 8000), 0);
    }

    CMgrTextReader reader;
    char small[4];
    EXPECT_EQ(reader.ReadLine(small, 3), -1);
    reader.OpenBytes("abcdef\nxy\n");
    EXPECT_EQ(reader.ReadLine(small, 3), 6);
    EXPECT_EQ(std::string(small), "abc");
    reader.Seek(0);
    EXPECT_EQ(reader.ReadLine(small, 3), 6);
    EXPECT_EQ(reader.Open("/nonexistent/file.txt"), -1);
    EXPECT_EQ(reader.ReadLine(small, 3), -1);
}

TEST(TabFields, ReadOneFieldAtATime) {
    const char* line = "12\t\t-3\t\"quoted\"\t70000";
    int32_t i = 0;
    const char* p = GetTabFieldInt(line, &i);
    EXPECT_EQ(i, 12);
    int16_t s = 0;
    p = GetTabFieldShort(p, &s);
    EXPECT_EQ(s, -1);  // empty field
    uint32_t d = 0;
    p = GetTabFieldDword(p, &d);
    EXPECT_EQ(d, 4294967293u);
    char text[16];
    p = GetTabFieldString(p, text, sizeof text);
    EXPECT_STREQ(text, "quoted");
    uint16_t w = 0;
    p = GetTabFieldWord(p, &w);
    EXPECT_EQ(w, 70000 % 65536);
    EXPECT_EQ(p, nullptr);  // that was the last field
    w = 7;
    EXPECT_EQ(GetTabFieldWord(p, &w), nullptr);
    EXPECT_EQ(w, 7);

    struct Empty {
        const char* name;
        uint32_t got;
        uint32_t expected;
    };
    uint8_t b = 0;
    int16_t sh = 0;
    int32_t in = 0;
    uint16_t wo = 0;
    uint32_t dw = 0;
    EXPECT_NE(GetTabFieldByte("\t", &b), nullptr);
    EXPECT_NE(GetTabFieldShort("\t", &sh), nullptr);
    EXPECT_EQ(GetTabFieldInt("", &in), nullptr);
    EXPECT_EQ(GetTabFieldWord("", &wo), nullptr);
    EXPECT_EQ(GetTabFieldDword("", &dw), nullptr);
    const Empty empties[] = {{"byte", b, 255}, {"short", uint32_t(sh), uint32_t(-1)}, {"int", uint32_t(in), uint32_t(-1)},
                             {"word", wo, 65535}, {"dword", dw, 4294967295u}};
    for (const Empty& e : empties) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.got, e.expected);
    }

    EXPECT_STREQ(SkipTabField("a\tb"), "b");
    EXPECT_EQ(SkipTabField("ab"), nullptr);
    EXPECT_EQ(SkipTabField(nullptr), nullptr);
    EXPECT_EQ(GetTabFieldString(nullptr, text, sizeof text), nullptr);

    // A field is cut at 511 characters; the caller's buffer cuts further.
    const std::string longField = std::string(600, 'z') + "\tnext";
    std::vector<char> big(1024);
    p = GetTabFieldString(longField.c_str(), big.data(), big.size());
    EXPECT_EQ(std::string(big.data()).size(), 511u);
    EXPECT_STREQ(p, "next");
    GetTabFieldString("\"abcdefghijklmnopqrstuvwxyz\"", text, sizeof text);
    EXPECT_STREQ(text, "abcdefghijklmno");
}

}  // namespace
