// The quick menu: "\QuickMenu.udt" written entry after entry, read back the
// same, counts beyond the six rows, cut texts, missing keys and damaged
// files.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "foundation/nv_config.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "settings/quick_menu.h"
#include "support/store_fixture.h"
#include "tools/writers/settings_writer.h"

namespace {

using settingswriter::SettingLine;

// Entries of the tests: name and program.
struct Entry {
    const char* name;
    const char* path;
};
const Entry kEntries[] = {
    {"음악", "\\Storage Card\\App\\Mp3\\Mp3Player.exe"},
    {"DMB", "\\Storage Card\\App\\Dmb\\Dmb.exe"},
    {"사진", "\\Storage Card\\App\\Photo\\Viewer.exe"},
};

QuickMenuTable TableOf(int count) {
    QuickMenuTable table;
    table.nQMenuNum = count;
    for (int i = 0; i < count && i < 3; ++i) {
        table.SetName(i, platform::Utf8ToUtf16(kEntries[i].name));
        table.SetPath(i, platform::Utf8ToUtf16(kEntries[i].path));
    }
    return table;
}

std::string Utf8(std::u16string_view text) { return platform::Utf16ToUtf8(std::u16string(text)); }

class QuickMenuTest : public testsupport::StoreFileTest {
protected:
    QuickMenuTest() : StoreFileTest("QuickMenu.udt") { m_store = std::make_unique<CMgrConfigUIDataQMenu>(); }

    using StoreFileTest::WriteFile;
    void WriteFile(const std::vector<SettingLine>& lines) const {
        std::string bytes;
        ASSERT_TRUE(settingswriter::SettingsFileBytes(lines, bytes));
        WriteFile(bytes);
    }
    QuickMenuTable Table() const {
        QuickMenuTable table;
        m_store->GetQuickMenu(&table);
        return table;
    }

    std::unique_ptr<CMgrConfigUIDataQMenu> m_store;
};

TEST_F(QuickMenuTest, NewStoreWithoutFileIsEmptyAndWritesNothing) {
    EXPECT_EQ(Table().nQMenuNum, 0);
    EXPECT_FALSE(platform::FileExists(FilePath()));
    ASSERT_NE(CMgrConfigUIDataQMenu::Instance(), nullptr);
    EXPECT_EQ(CMgrConfigUIDataQMenu::Instance(), CMgrConfigUIDataQMenu::Instance());
}

TEST_F(QuickMenuTest, SaveWritesEntryAfterEntryAndLoadGivesTheSameTable) {
    m_store->SetQuickMenu(TableOf(2));
    ASSERT_EQ(m_store->Save(nullptr), 1);

    std::string expected;
    ASSERT_TRUE(settingswriter::SettingsFileBytes({{"nVersion", 1, "841887792"},
                                                   {"nQMenuNum", 1, "2"},
                                                   {"sztQMenuName00", 2, kEntries[0].name},
                                                   {"sztQMenuPath00", 2, kEntries[0].path},
                                                   {"sztQMenuName01", 2, kEntries[1].name},
                                                   {"sztQMenuPath01", 2, kEntries[1].path}},
                                                  expected));
    EXPECT_EQ(FileBytes(), expected);

    CMgrConfigUIDataQMenu loaded;
    QuickMenuTable table;
    loaded.GetQuickMenu(&table);
    EXPECT_TRUE(table == TableOf(2));
    EXPECT_EQ(Utf8(table.Name(1)), "DMB");
    EXPECT_EQ(Utf8(table.Path(0)), kEntries[0].path);
    // A table that differs in one path is not the same.
    QuickMenuTable other = TableOf(2);
    other.SetPath(1, u"\\Other.exe");
    EXPECT_FALSE(table == other);

    // An empty menu saves and loads as empty; a named file is used as given.
    m_store->Clear();
    const NvString elsewhere = NvString::FromUtf8(m_dir.File("QuickMenuCopy.udt"));
    ASSERT_EQ(m_store->Save(elsewhere.GetData()), 1);
    ASSERT_EQ(loaded.Load(elsewhere.GetData()), 1);
    loaded.GetQuickMenu(&table);
    EXPECT_EQ(table.nQMenuNum, 0);
}

TEST_F(QuickMenuTest, CountsAreHeldToTheSixRows) {
    struct Case {
        const char* what;
        int fileCount;      // "nQMenuNum" in the file; entries 00..08 are present
        int expectedCount;
    } const cases[] = {
        {"nine entries keep the first six", 9, 6},
        {"exactly six", 6, 6},
        {"negative count gives none", -2, 0},
        {"huge count keeps six", 2147483647, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<SettingLine> lines = {{"nVersion", 1, "841887792"}, {"nQMenuNum", 1, std::to_string(c.fileCount)}};
        for (int i = 0; i < 9; ++i) {
            lines.push_back({"sztQMenuName0" + std::to_string(i), 2, "Entry " + std::to_string(i)});
            lines.push_back({"sztQMenuPath0" + std::to_string(i), 2, "\\App" + std::to_string(i) + ".exe"});
        }
        WriteFile(lines);
        ASSERT_EQ(m_store->Load(nullptr), 1);
        const QuickMenuTable table = Table();
        EXPECT_EQ(table.nQMenuNum, c.expectedCount);
        for (int i = 0; i < c.expectedCount; ++i) EXPECT_EQ(Utf8(table.Name(i)), "Entry " + std::to_string(i));
        // Saved again, the file holds what the table holds.
        ASSERT_EQ(m_store->Save(nullptr), 1);
        EXPECT_NE(FileBytes().find("nQMenuNum|1=" + std::to_string(c.expectedCount) + "\r\n"), std::string::npos);
        EXPECT_EQ(FileBytes().find("sztQMenuName06"), std::string::npos);
    }

    // The screens' count is held the same way.
    QuickMenuTable handed = TableOf(3);
    handed.nQMenuNum = 9;
    m_store->SetQuickMenu(handed);
    EXPECT_EQ(Table().nQMenuNum, 6);
    handed.nQMenuNum = -1;
    m_store->SetQuickMenu(handed);
    EXPECT_EQ(Table().nQMenuNum, 0);
}

TEST_F(QuickMenuTest, TextsAreCutToTheirFields) {
    const std::string longName(40, 'N');
    const std::string longPath(300, 'p');
    WriteFile({{"nVersion", 1, "841887792"},
               {"nQMenuNum", 1, "1"},
               {"sztQMenuName00", 2, longName},
               {"sztQMenuPath00", 2, longPath}});
    ASSERT_EQ(m_store->Load(nullptr), 1);
    EXPECT_EQ(Utf8(Table().Name(0)), std::string(33, 'N'));
    EXPECT_EQ(Utf8(Table().Path(0)), std::string(260, 'p'));

    // A table handed over with full fields still holds terminated texts.
    QuickMenuTable full;
    full.nQMenuNum = 1;
    std::fill(std::begin(full.sztQMenuName[0]), std::end(full.sztQMenuName[0]), u'x');
    m_store->SetQuickMenu(full);
    EXPECT_EQ(Table().Name(0).size(), 33u);
}

TEST_F(QuickMenuTest, MissingKeysLeaveEmptyTextsWithoutRewrite) {
    struct Case {
        const char* what;
        std::vector<SettingLine> lines;
        int count;
        std::vector<std::string> paths;
    } const cases[] = {
        {"path of entry 01 missing",
         {{"nVersion", 1, "841887792"},
          {"nQMenuNum", 1, "3"},
          {"sztQMenuName00", 2, "A"},
          {"sztQMenuPath00", 2, "\\a.exe"},
          {"sztQMenuName01", 2, "B"},
          {"sztQMenuName02", 2, "C"},
          {"sztQMenuPath02", 2, "\\c.exe"}},
         3,
         {"\\a.exe", "", "\\c.exe"}},
        {"no nQMenuNum gives an empty menu", {{"nVersion", 1, "841887792"}, {"sztQMenuName00", 2, "A"}}, 0, {}},
        {"no nVersion is no matter", {{"nQMenuNum", 1, "1"}, {"sztQMenuPath00", 2, "\\a.exe"}}, 1, {"\\a.exe"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(c.lines);
        const std::string before = FileBytes();
        ASSERT_EQ(m_store->Load(nullptr), 1);
        ASSERT_EQ(Table().nQMenuNum, c.count);
        for (int i = 0; i < c.count; ++i) EXPECT_EQ(Utf8(Table().Path(i)), c.paths[static_cast<size_t>(i)]);
        EXPECT_EQ(FileBytes(), before);
        EXPECT_FALSE(ErrExists());
        EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
    }
    // A text that is not CP949 ("\xBC" is half a Hangul syllable) reads
    // empty; the rest of the file loads.
    WriteFile(std::string("nVersion|1=841887792\r\nnQMenuNum|1=2\r\nsztQMenuName00|2=A\r\n"
                          "sztQMenuPath00|2=\xBC\r\nsztQMenuName01|2=B\r\nsztQMenuPath01|2=\\b.exe\r\n"));
    ASSERT_EQ(m_store->Load(nullptr), 1);
    ASSERT_EQ(Table().nQMenuNum, 2);
    EXPECT_EQ(Utf8(Table().Path(0)), "");
    EXPECT_EQ(Utf8(Table().Name(0)), "A");
    EXPECT_EQ(Utf8(Table().Path(1)), "\\b.exe");
    EXPECT_FALSE(ErrExists());
    EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
}

TEST_F(QuickMenuTest, DamagedFileIsSetAsideAndTheTableKept) {
    m_store->SetQuickMenu(TableOf(2));
    const std::string damaged = "nVersion|1=841887792\r\nnQMenuNum=2\r\n";
    WriteFile(damaged);
    EXPECT_EQ(m_store->Load(nullptr), 0);
    EXPECT_TRUE(Table() == TableOf(2));
    EXPECT_EQ(ErrBytes(), damaged);
    EXPECT_FALSE(platform::FileExists(FilePath()));
    EXPECT_EQ(TakeSettingsFileErrorCount(), 1);

    // A new store over a damaged file starts empty; saving then writes a
    // good file in its place.
    WriteFile(damaged);
    CMgrConfigUIDataQMenu fresh;
    QuickMenuTable table;
    fresh.GetQuickMenu(&table);
    EXPECT_EQ(table.nQMenuNum, 0);
    fresh.SetQuickMenu(TableOf(1));
    ASSERT_EQ(fresh.Save(nullptr), 1);
    ASSERT_EQ(m_store->Load(nullptr), 1);
    EXPECT_TRUE(Table() == TableOf(1));
}

TEST_F(QuickMenuTest, OddTextsStillSave) {
    // A line break or a character without a CP949 form would not read back;
    // the entry is saved with a blank or '?' instead of losing the file.
    QuickMenuTable table = TableOf(1);
    table.SetName(0, u"A\r\nB\U0001F600");
    m_store->SetQuickMenu(table);
    ASSERT_EQ(m_store->Save(nullptr), 1);
    ASSERT_EQ(m_store->Load(nullptr), 1);
    EXPECT_EQ(Table().nQMenuNum, 1);
    EXPECT_EQ(Table().Name(0).substr(0, 1), u"A");
    EXPECT_EQ(Utf8(Table().Path(0)), kEntries[0].path);
}

}  // namespace
