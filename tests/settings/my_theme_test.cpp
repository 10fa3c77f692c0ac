// User theme places: theme ids converted at load through the table of the
// search databases, the icon sort mode, "\MyTheme.udt" round trip and
// damaged files, and the table writer's bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/nv_config.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "settings/global_data.h"
#include "settings/module_gps.h"
#include "settings/my_theme.h"
#include "support/store_fixture.h"
#include "tools/writers/theme_convert_writer.h"

namespace {

using Store = CMgrConfigUIDataMyTheme;

constexpr int32_t kSeoulX = 66'600'000;
constexpr int32_t kSeoulY = 19'720'000;

_tagUISTRUCT_MYTHEME Theme(const std::string& name, int themeId, int icon = 0, int folder = 0, int32_t eastUnits = 0) {
    _tagUISTRUCT_MYTHEME r;
    CopyNameField(r.PosInfo.szName, kCourseNameUnits, platform::Utf8ToUtf16(name));
    r.PosInfo.wcPosition = MapPoint{kSeoulX + eastUnits, kSeoulY};
    r.nThemeID = themeId;
    r.nIcon = icon;
    r.nFolder = folder;
    return r;
}

std::string NameOf(const _tagUISTRUCT_MYTHEME& r) { return platform::Utf16ToUtf8(MyThemeTraits::Name(r)); }

std::string Bytes(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

class MyThemeTest : public testsupport::StoreFileTest {
protected:
    MyThemeTest() : StoreFileTest("MyTheme.udt") {
        // The conversion table lives under the root folder.
        CMgrConfigGlobalData& global = CMgrConfigGlobalData::Instance();
        std::copy(std::begin(global.m_rootFolder), std::end(global.m_rootFolder), m_savedRoot);
        CopyNameField(global.m_rootFolder, CMgrConfigGlobalData::kTextChars, platform::Utf8ToUtf16(m_dir.Path()));
        tagMAPMATCHINFO match;
        match.status = 1;
        match.x = kSeoulX;
        match.y = kSeoulY;
        CMgrConfigModuleGPS::Instance()->SetMatchInfo(match);
    }
    ~MyThemeTest() override {
        CMgrConfigGlobalData& global = CMgrConfigGlobalData::Instance();
        std::copy(std::begin(m_savedRoot), std::end(m_savedRoot), global.m_rootFolder);
    }

    std::vector<int> StoredIds(Store& store) {
        std::vector<int> ids;
        _tagUISTRUCT_MYTHEME r;
        for (int i = 0; store.GetItem(i, &r, -1, 1); ++i) ids.push_back(r.nThemeID);
        return ids;
    }
    static std::vector<std::string> Result(Store& store) {
        std::vector<std::string> out;
        _tagUISTRUCT_MYTHEME r;
        for (int i = 0; store.GetItem(i, &r, -2, -1); ++i) out.push_back(NameOf(r));
        return out;
    }
    void WriteTable(const std::vector<int32_t>& ids) {
        ASSERT_TRUE(writers::WriteThemeIdConvertTable(TablePath(), ids));
    }
    std::string TablePath() const { return m_dir.File("Map/Search/themeidconvert.sdb"); }

    char16_t m_savedRoot[CMgrConfigGlobalData::kTextChars] = {};
};

TEST(ThemeIdTable, WriterBytesByHand) {
    EXPECT_EQ(Bytes(writers::BuildThemeIdConvertTable({10, -1})),
              std::string("\x02\x00\x00\x00\x0A\x00\x00\x00\xFF\xFF\xFF\xFF", 12));
    EXPECT_EQ(Bytes(writers::BuildThemeIdConvertTable({})), std::string(4, '\0'));
}

TEST(ThemeIdTable, DamagedTablesAreRefused) {
    const std::vector<uint8_t> good = writers::BuildThemeIdConvertTable({10, 11, 12});
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        bool ok;
    } const cases[] = {
        {"sound", good, true},
        {"empty table", writers::BuildThemeIdConvertTable({}), true},
        {"no bytes", {}, false},
        {"count cut", {3, 0}, false},
        {"last entry cut", std::vector<uint8_t>(good.begin(), good.end() - 1), false},
        {"count too high", [&] { auto b = good; b[0] = 4; return b; }(), false},
        {"count huge", [&] { auto b = good; b[3] = 0x80; return b; }(), false},
        {"bytes after the table", [&] { auto b = good; b.push_back(0); return b; }(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<int32_t> ids = {99};
        std::string error;
        EXPECT_EQ(ParseThemeIdTable(c.bytes.data(), c.bytes.size(), ids, &error), c.ok);
        EXPECT_EQ(error.empty(), c.ok);
        if (c.ok) {
            EXPECT_EQ(ids.size() * 4 + 4, c.bytes.size());
        } else {
            EXPECT_TRUE(ids.empty());
        }
    }
}

TEST_F(MyThemeTest, ThemeIdsAreConvertedAtEveryLoad) {
    {
        Store store;  // no file: default folder, file written
        EXPECT_EQ(store.GetFolderCount(), 1);
        for (const int id : {1, 3, -1, 0, 2}) store.AddItem(Theme("theme " + std::to_string(id), id), 1);
        ASSERT_EQ(store.Save(nullptr), 1);
    }
    WriteTable({10, 11, 12});
    struct Step {
        const char* what;
        std::vector<int> ids;  // after the load, stored order
    } const steps[] = {
        // 1 -> 11, 0 -> 10, 2 -> 12; 3 and -1 lie outside the table.
        {"first load", {11, 3, -1, 10, 12}},
        // The table is applied again; the converted ids are outside it now.
        {"second load", {11, 3, -1, 10, 12}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        Store store;
        EXPECT_EQ(StoredIds(store), s.ids);
        // Written again at once, without setting anything aside.
        Store reread;
        EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
        EXPECT_FALSE(ErrExists());
        EXPECT_TRUE(platform::FileExists(TablePath()));
    }
    EXPECT_NE(FileBytes().find("MyTheme000.nThemeID|1=11\r\n"), std::string::npos);

    // A table that does not map converted ids to themselves converts them
    // again: 11 -> 1, and 3 -> 0.
    WriteTable({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10, 1});
    Store store;
    EXPECT_EQ(StoredIds(store), (std::vector<int>{1, 0, -1, 10, 12}));
}

TEST_F(MyThemeTest, DamagedTableLeavesTheIdsAndTheFile) {
    {
        Store store;
        store.AddItem(Theme("a", 1), 1);
        store.Save(nullptr);
    }
    const std::string saved = FileBytes();
    m_dir.Write("Map/Search/themeidconvert.sdb", std::string("\x03\x00\x00\x00\x0A\x00\x00\x00", 8));
    Store store;
    EXPECT_EQ(StoredIds(store), std::vector<int>{1});
    EXPECT_EQ(FileBytes(), saved);
    EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
}

TEST_F(MyThemeTest, IconModeAndDistanceLimit) {
    Store store;
    store.AddFolder([] {
        _tagUISTRUCT_FOLDERITEM f;
        CopyNameField(f.szFolderName, 64, u"맛집");
        return f;
    }(), 1);
    // name, theme, icon, folder, metres east (about 0.17 m per unit)
    store.AddItem(Theme("카페", 5, 3, 1, 30'000), 1);
    store.AddItem(Theme("Bakery", 5, 1, 1, 1'000), 1);
    store.AddItem(Theme("국밥", 7, 2, 0, 100'000), 1);
    store.AddItem(Theme("Apple pie", 7, 1, 0, 2'000), 1);

    struct Case {
        int mode;
        std::vector<std::string> names;
    } const cases[] = {
        {6, {"Bakery", "Apple pie", "국밥", "카페"}},  // icon only, equal icons in stored order
        {9, {"카페", "Bakery", "국밥", "Apple pie"}},  // no special list: stored order
        {2, {"Apple pie", "Bakery", "국밥", "카페"}},
        {3, {"Apple pie", "국밥", "Bakery", "카페"}},
        {4, {"Bakery", "Apple pie", "카페", "국밥"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        store.SetSortOrder(c.mode);
        EXPECT_EQ(Result(store), c.names);
    }
    // By name within 1 km: a place is listed only when it lies within the
    // limit itself.
    store.SetSortOrder(2);
    store.SetSearchText(u"", 1000);
    EXPECT_EQ(Result(store), (std::vector<std::string>{"Apple pie", "Bakery"}));
    store.SetCurrentFolder(1);
    EXPECT_EQ(Result(store), (std::vector<std::string>{"Bakery", "카페"}));
    store.SetSearchText(u"", 1000);
    EXPECT_EQ(Result(store), std::vector<std::string>{"Bakery"});

    // Removing the folder brings its places to folder 0.
    ASSERT_EQ(store.DeleteFolder(1, 1, 1), 1);
    EXPECT_EQ(store.GetCurrentFolder(), 0);
    EXPECT_EQ(Result(store).size(), 4u);
}

TEST_F(MyThemeTest, SaveLoadAndDamage) {
    Store store;
    const std::u16string hangul64(64, u'뷁');
    _tagUISTRUCT_MYTHEME a = Theme("", 0x7FFFFFFF, -1, 0, -5);
    CopyNameField(a.PosInfo.szName, kCourseNameUnits, hangul64);
    _tagUISTRUCT_MYTHEME b = Theme(std::string(70, 'x'), -2, 7, 0);
    store.AddItem(a, 1);
    store.AddItem(b, 1);
    store.AddItem(Theme("보통", 4, 2), 1);
    ASSERT_EQ(store.Save(nullptr), 1);
    const std::string good = FileBytes();
    EXPECT_EQ(good.rfind("nVersion|1=841887792\r\nnFolderItemCount|1=1\r\nMyThemeFolder000.szFolderName|2=", 0), 0u);
    EXPECT_NE(good.find("nItemCount|1=3\r\nMyTheme000.nIcon|1=4294967295\r\nMyTheme000.nVoice|1=0\r\n"
                        "MyTheme000.nFolder|1=0\r\nMyTheme000.nThemeID|1=2147483647\r\n"
                        "MyTheme000.PosInfo.wcPosition.x|1=66599995\r\nMyTheme000.PosInfo.wcPosition.y|1=19720000\r\n"
                        "MyTheme000.PosInfo.szName|2="),
              std::string::npos);

    Store loaded;
    ASSERT_EQ(loaded.GetItemCount(), 3);
    testsupport::ExpectSameRecords<_tagUISTRUCT_MYTHEME>(
        store, loaded, 3, [](Store& s, int i, _tagUISTRUCT_MYTHEME* r) { return s.GetItem(i, r, -1, 1); });
    _tagUISTRUCT_MYTHEME first;
    loaded.GetItem(0, &first, -1, 1);
    EXPECT_EQ(MyThemeTraits::Name(first), hangul64);
    EXPECT_EQ(TakeSettingsFileErrorCount(), 0);

    const testsupport::FileEdits edit(good);
    struct Damage {
        const char* what;
        std::string bytes;
        bool taken;  // false: refused and set aside
        int kept;
    } const cases[] = {
        {"count over 200", edit.Replace("nItemCount|1=3", "nItemCount|1=300"), false, 0},
        {"cut inside place 1", edit.CutAt("MyTheme001.nFolder"), true, 2},
        {"count raised", edit.Replace("nItemCount|1=3", "nItemCount|1=4"), true, 3},
        {"count 1, two stray places", edit.Replace("nItemCount|1=3", "nItemCount|1=1"), true, 1},
        {"theme id removed", edit.Replace("MyTheme002.nThemeID|1=4\r\n", ""), true, 3},
        // "\xBC" is half a Hangul syllable: that name alone reads empty.
        {"a name not CP949", edit.Replace("szName|2=\xBA\xB8\xC5\xEB", "szName|2=\xBC"), true, 3},
    };
    for (const Damage& d : cases) {
        SCOPED_TRACE(d.what);
        WriteFile(d.bytes);
        Store damaged;
        EXPECT_EQ(damaged.GetItemCount(), d.kept);
        ExpectKeptOrSetAside(d.taken, d.bytes);
        Store again;
        EXPECT_EQ(again.GetItemCount(), d.kept);
        EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
        RemoveErr();
    }
    WriteFile(edit.Replace("szName|2=\xBA\xB8\xC5\xEB", "szName|2=\xBC"));
    Store notText;
    _tagUISTRUCT_MYTHEME third;
    ASSERT_EQ(notText.GetItem(2, &third, -1, 1), 1);
    EXPECT_EQ(MyThemeTraits::Name(third), u"");
    EXPECT_EQ(third.nThemeID, 4);
}

}  // namespace
