// Dialog state: area codes, sort order and recent search texts per dialog
// name, and "\UIDlgInfo.udt" (round trip, damaged files).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/nv_config.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "settings/dlg_info.h"
#include "support/store_fixture.h"

namespace {

using Store = CMgrConfigUIDataDlgInfo;

std::vector<std::string> Texts(const _tagUISTRUCT_DLGINFO& info) {
    std::vector<std::string> out;
    for (int j = 0; j < info.nRecentTextDataNum; ++j) out.push_back(platform::Utf16ToUtf8(DlgInfoRecentText(info, j)));
    return out;
}

std::vector<std::string> Texts(const Store& store, const char16_t* name) {
    _tagUISTRUCT_DLGINFO info;
    store.GetDlgInfo(name, &info);
    return Texts(info);
}

class DlgInfoTest : public testsupport::StoreFileTest {
protected:
    DlgInfoTest() : StoreFileTest("UIDlgInfo.udt") { m_store = std::make_unique<Store>(); }

    std::unique_ptr<Store> m_store;
};

TEST_F(DlgInfoTest, AreaCodeAndLookUp) {
    EXPECT_EQ(m_store->GetCount(), 0);
    EXPECT_EQ(m_store->GetAreaCode(u"SearchName"), 0u);
    // An unknown dialog: 0 and a zeroed record carrying the name.
    _tagUISTRUCT_DLGINFO info;
    info.uAreaCode = 99;
    info.nRecentTextDataNum = 3;
    EXPECT_EQ(m_store->GetDlgInfo(u"SearchName", &info), 0);
    _tagUISTRUCT_DLGINFO expected;
    std::copy_n(u"SearchName", 10, expected.szDialogName);
    EXPECT_TRUE(info == expected);

    ASSERT_EQ(m_store->SetAreaCode(u"SearchName", 11), 1);
    ASSERT_EQ(m_store->SetAreaCode(u"주소검색", 0xFFFFFFFFu), 1);
    EXPECT_EQ(m_store->GetCount(), 2);
    EXPECT_EQ(m_store->FindDlgInfo(u"searchname"), 0);
    EXPECT_EQ(m_store->GetAreaCode(u"SEARCHNAME"), 11u);
    EXPECT_EQ(m_store->GetAreaCode(u"주소검색"), 0xFFFFFFFFu);
    ASSERT_EQ(m_store->GetDlgInfo(u"SearchName", &info), 1);
    EXPECT_EQ(info.eOrderBy, 1);  // a new record sorts by order 1
    EXPECT_EQ(m_store->GetDlgInfoAt(1, nullptr), 1);
    EXPECT_EQ(m_store->GetDlgInfoAt(2, &info), 0);
    EXPECT_EQ(m_store->GetDlgInfoAt(-1, &info), 0);

    // A changed area keeps the rest of the record and its place.
    m_store->AddRecentText(u"SearchName", u"병원");
    info.eOrderBy = 4;
    m_store->GetDlgInfo(u"SearchName", &info);
    info.eOrderBy = 4;
    m_store->PutDlgInfo(info);  // goes last
    EXPECT_EQ(m_store->FindDlgInfo(u"SearchName"), 1);
    m_store->SetAreaCode(u"searchNAME", 22);
    EXPECT_EQ(m_store->FindDlgInfo(u"SearchName"), 1);
    ASSERT_EQ(m_store->GetDlgInfo(u"SearchName", &info), 1);
    EXPECT_EQ(info.uAreaCode, 22u);
    EXPECT_EQ(info.eOrderBy, 4);
    EXPECT_EQ(Texts(info), std::vector<std::string>{"병원"});
    EXPECT_EQ(platform::Utf16ToUtf8(DlgInfoName(info)), "SearchName");

    // A name over 64 characters finds the record it made.
    const std::u16string longName(70, u'가');
    m_store->SetAreaCode(longName.c_str(), 5);
    m_store->SetAreaCode(longName.c_str(), 6);
    EXPECT_EQ(m_store->GetCount(), 3);
    EXPECT_EQ(m_store->GetAreaCode(longName.substr(0, 64).c_str()), 6u);
    m_store->Clear();
    EXPECT_EQ(m_store->GetCount(), 0);
}

TEST_F(DlgInfoTest, RecentTexts) {
    struct Step {
        const char16_t* add;
        int result;
        std::vector<std::string> texts;  // afterwards, most recent first
    } const steps[] = {
        {u"", 0, {}},
        {u"Seoul", 1, {"Seoul"}},
        {u"부산", 1, {"부산", "Seoul"}},
        {u"SEOUL", 1, {"SEOUL", "부산"}},  // other case: moved to the front, new spelling kept
        {u"c", 1, {"c", "SEOUL", "부산"}},
        {u"d", 1, {"d", "c", "SEOUL", "부산"}},
        {u"e", 1, {"e", "d", "c", "SEOUL", "부산"}},
        {u"f", 1, {"f", "e", "d", "c", "SEOUL", "부산"}},
        {u"g", 1, {"g", "f", "e", "d", "c", "SEOUL", "부산"}},
        {u"h", 1, {"h", "g", "f", "e", "d", "c", "SEOUL"}},  // the eighth pushes the oldest out
        {u"c", 1, {"c", "h", "g", "f", "e", "d", "SEOUL"}},
        // Kept to 16 characters, and compared as kept.
        {u"0123456789abcdefXYZ", 1, {"0123456789abcdef", "c", "h", "g", "f", "e", "d"}},
        {u"0123456789ABCDEF", 1, {"0123456789ABCDEF", "c", "h", "g", "f", "e", "d"}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(platform::Utf16ToUtf8(s.add));
        EXPECT_EQ(m_store->AddRecentText(u"Poi", s.add), s.result);
        EXPECT_EQ(Texts(*m_store, u"Poi"), s.texts);
    }
    _tagUISTRUCT_DLGINFO info;
    m_store->GetDlgInfo(u"Poi", &info);
    EXPECT_EQ(info.eOrderBy, 1);
    EXPECT_EQ(m_store->AddRecentText(u"Other", nullptr), 0);
    EXPECT_EQ(m_store->GetCount(), 1);
}

TEST_F(DlgInfoTest, SaveAndLoadGiveTheSameRecords) {
    const std::u16string longHangul(64, u'한');
    const std::u16string longLatin(64, u'L');
    m_store->SetAreaCode(longHangul.c_str(), 0x80000000u);
    for (const char16_t* t : {u"일이삼사오육칠팔구십일이삼사오육", u"ABCDEFGHIJKLMNOP", u"x", u"강남역", u"a b", u"둘", u"셋"}) {
        m_store->AddRecentText(longHangul.c_str(), t);
    }
    m_store->SetAreaCode(longLatin.c_str(), 0);
    m_store->AddRecentText(u"Three", u"only one");
    _tagUISTRUCT_DLGINFO odd;
    std::copy_n(u"Order", 5, odd.szDialogName);
    odd.eOrderBy = -3;
    m_store->PutDlgInfo(odd);
    ASSERT_EQ(m_store->Save(nullptr), 1);
    const std::string bytes = FileBytes();
    EXPECT_EQ(bytes.rfind("nVersion|1=841887792\r\nnItemCount|1=4\r\nDlgInfo000.szDialogName|2=", 0), 0u);
    EXPECT_NE(bytes.find("DlgInfo000.uAreaCode|1=2147483648\r\nDlgInfo000.eOrderBy|1=1\r\n"
                         "DlgInfo000.nRecentTextDataNum|1=7\r\nDlgInfo000.szRecentTextArray000|2="),
              std::string::npos);
    // Texts only below the count.
    EXPECT_NE(bytes.find("DlgInfo002.szRecentTextArray000|2=only one\r\nDlgInfo003.szDialogName|2=Order\r\n"
                         "DlgInfo003.uAreaCode|1=0\r\nDlgInfo003.eOrderBy|1=4294967293\r\n"
                         "DlgInfo003.nRecentTextDataNum|1=0\r\n"),
              std::string::npos);
    EXPECT_EQ(bytes.find("DlgInfo002.szRecentTextArray001"), std::string::npos);

    Store loaded;
    ASSERT_EQ(loaded.GetCount(), 4);
    testsupport::ExpectSameRecords<_tagUISTRUCT_DLGINFO>(
        *m_store, loaded, 4, [](Store& s, int i, _tagUISTRUCT_DLGINFO* r) { return s.GetDlgInfoAt(i, r); });
    EXPECT_EQ(Texts(loaded, longHangul.c_str()).front(), "셋");
    EXPECT_EQ(Texts(loaded, longHangul.c_str()).back(), "일이삼사오육칠팔구십일이삼사오육");
    EXPECT_EQ(loaded.Save(nullptr), 1);
    EXPECT_EQ(FileBytes(), bytes);
    EXPECT_EQ(TakeSettingsFileErrorCount(), 0);

    // A file that cannot be read leaves the store as it was.
    EXPECT_EQ(loaded.Load(NvString::FromUtf8(m_dir.File("config/none.udt")).GetData()), 0);
    EXPECT_EQ(loaded.GetCount(), 4);
    WriteFile("nVersion|1=841887792\r\nnItemCount|1=0\r\n");
    EXPECT_EQ(loaded.Load(nullptr), 1);
    EXPECT_EQ(loaded.GetCount(), 0);
}

TEST_F(DlgInfoTest, FilesAreReadAsFarAsTheyGoAndOnlyUnreadableOnesAreSetAside) {
    m_store->SetAreaCode(u"Name", 11);
    m_store->AddRecentText(u"Name", u"one");
    m_store->AddRecentText(u"Name", u"two");
    m_store->SetAreaCode(u"Address", 22);
    m_store->AddRecentText(u"Poi", u"주유소");
    ASSERT_EQ(m_store->Save(nullptr), 1);
    const testsupport::FileEdits edit(FileBytes());
    struct Damage {
        const char* what;
        std::string bytes;
        int loads;
        std::vector<std::string> kept;  // dialog names afterwards
    } const cases[] = {
        {"cut inside a line", edit.CutAt("DlgInfo001.eOrderBy", 5), 0, {}},
        {"count negative", edit.Replace("nItemCount|1=3", "nItemCount|1=4294967295"), 0, {}},
        {"two records of one name", edit.Replace("szDialogName|2=Address", "szDialogName|2=NAME"), 0, {}},
        // Records the file does not hold are not made up.
        {"cut after record 0", edit.CutAt("DlgInfo001."), 1, {"Name"}},
        {"count raised", edit.Replace("nItemCount|1=3", "nItemCount|1=4"), 1, {"Name", "Address", "Poi"}},
        {"count huge", edit.Replace("nItemCount|1=3", "nItemCount|1=2147483647"), 1, {"Name", "Address", "Poi"}},
        // Keys past the count are not read.
        {"count 1, two stray records", edit.Replace("nItemCount|1=3", "nItemCount|1=1"), 1, {"Name"}},
        {"no nItemCount", edit.Cut("nItemCount", "DlgInfo000"), 1, {}},
        {"no nVersion", edit.Cut("nVersion", "nItemCount"), 1, {"Name", "Address", "Poi"}},
        {"an area removed", edit.Cut("DlgInfo001.uAreaCode", "DlgInfo001.eOrderBy"), 1,
         {"Name", "Address", "Poi"}},
        {"a text removed", edit.Cut("DlgInfo000.szRecentTextArray001", "DlgInfo001"), 1,
         {"Name", "Address", "Poi"}},
        {"text count lowered", edit.Replace("RecentTextDataNum|1=2", "RecentTextDataNum|1=1"), 1,
         {"Name", "Address", "Poi"}},
        {"text count over 7", edit.Replace("RecentTextDataNum|1=2", "RecentTextDataNum|1=9"), 1,
         {"Name", "Address", "Poi"}},
        // "\xBC" is half a Hangul syllable: that text alone reads empty.
        {"a text not CP949", edit.Replace("=one\r\n", "=\xBC\r\n"), 1, {"Name", "Address", "Poi"}},
    };
    for (const Damage& d : cases) {
        SCOPED_TRACE(d.what);
        WriteFile(d.bytes);
        Store store;
        EXPECT_EQ(store.Load(nullptr), d.loads);
        ExpectKeptOrSetAside(d.loads, d.bytes);
        std::vector<std::string> names;
        _tagUISTRUCT_DLGINFO info;
        for (int i = 0; store.GetDlgInfoAt(i, &info); ++i) names.push_back(platform::Utf16ToUtf8(DlgInfoName(info)));
        EXPECT_EQ(names, d.kept);
        for (int i = 0; store.GetDlgInfoAt(i, &info); ++i) {
            EXPECT_GE(info.nRecentTextDataNum, 0);
            EXPECT_LE(info.nRecentTextDataNum, kDlgRecentTexts);
        }
        ExpectRewrittenOrGone(d.loads, d.kept.size(), [] { return Store().GetCount(); });
        RemoveErr();
    }
    // The text that is not CP949 is empty; its neighbour is read.
    WriteFile(edit.Replace("=one\r\n", "=\xBC\r\n"));
    Store store;
    _tagUISTRUCT_DLGINFO info;
    ASSERT_EQ(store.GetDlgInfoAt(0, &info), 1);
    ASSERT_EQ(info.nRecentTextDataNum, 2);
    EXPECT_EQ(std::u16string(info.szRecentTextArray[0]), u"two");
    EXPECT_EQ(std::u16string(info.szRecentTextArray[1]), u"");
}

}  // namespace
