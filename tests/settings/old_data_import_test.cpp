// Take-over of the registered places of earlier releases: "RegLoc.usd" in
// each of its five layouts and "UserRegLoc.ini" become registered places and
// folders once; the old files go only after "\RegDest.udt" was written.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/debug_trace.h"
#include "foundation/nv_config.h"
#include "foundation/nv_time.h"
#include "settings/name_field.h"
#include "settings/old_data_import.h"
#include "settings/reg_dest.h"
#include "support/temp_dir.h"
#include "tools/writers/old_user_data_writer.h"

namespace {

using olddatawriter::BinaryUserDataBytes;
using olddatawriter::VersionWordOfClass;
using testsupport::TempDir;

OldRegLocRecord Old(const char16_t* name, int32_t folder, int32_t cate, int32_t x, int32_t y) {
    OldRegLocRecord p;
    p.name = name;
    p.nFolder = folder;
    p.nCate = cate;
    p.x = x;
    p.y = y;
    return p;
}

// The old data most tests start from: the old default folder and two
// folders of the driver's, and places in and beyond them.
OldUserData Sample() {
    OldUserData data;
    data.folders = {u"old default", u"직장", u"차"};
    OldRegLocRecord home = Old(u"우리집", 0, 0, 66500000, 19690000);  // old folder 0, category 0
    home.nShortKey = 3;
    home.nIcon = 4;
    home.nVoice = 1;
    home.eRegionCheck = 2;
    home.bAlramUse = 1;
    home.startTime = {7, 30, 15};
    home.endTime = {9, 0, 0};
    home.lastRanDate = {2009, 3, 14};
    home.nDayOfWeek = 5;
    home.memo = u"현관 비밀번호";
    data.places.push_back(home);
    data.places.push_back(Old(u"회사", 2, 1, 66510000, 19700000));    // old folder 2 = 차, category 1
    data.places.push_back(Old(u"주유소", 7, 5, 66520000, 19710000));  // no such folder, category 5
    return data;
}

std::vector<std::u16string> FolderNames(CMgrConfigUIDataFolder& folders) {
    std::vector<std::u16string> names;
    for (int i = 0; i < folders.GetFolderCount(); ++i) {
        _tagUISTRUCT_FOLDERITEM item;
        folders.GetFolder(i, &item, CMgrConfigUIDataFolder::kModeStored);
        names.emplace_back(NameFieldView(item.szFolderName, _tagUISTRUCT_FOLDERITEM::kNameChars));
    }
    return names;
}

std::vector<_tagUISTRUCT_REGDEST> Places(CMgrConfigUIDataRegDest& store) {
    std::vector<_tagUISTRUCT_REGDEST> places;
    for (int i = 0; i < store.GetItemCount(); ++i) {
        _tagUISTRUCT_REGDEST r;
        store.GetItem(i, &r, CMgrConfigUIDataRegDest::kFolderAll, CMgrConfigUIDataRegDest::kModeStored);
        places.push_back(r);
    }
    return places;
}

std::u16string Name(const _tagUISTRUCT_REGDEST& r) { return std::u16string(NameFieldView(r.PosInfo.szName, kCourseNameUnits)); }

class OldDataImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDebugTraceSink([](std::string_view) {}, false);
        NvFilePath::SetFolders(NvString::FromUtf8(m_dir.Path()), NvString::FromUtf8(m_dir.Path()));
        CMgrConfigUIDataConvert::Install();
    }
    void TearDown() override {
        CMgrConfigUIDataRegDest::SetOldDataImport(nullptr);
        NvFilePath::SetFolders(NvString(), NvString());
    }

    void WriteBinary(int32_t versionWord, const OldUserData& data) {
        const std::vector<uint8_t> bytes = BinaryUserDataBytes(versionWord, data);
        m_dir.Write("RegLoc.usd", std::string(bytes.begin(), bytes.end()));
    }
    void WriteSettings(const OldUserData& data) {
        std::string bytes;
        ASSERT_TRUE(olddatawriter::SettingsUserDataBytes(data, bytes));
        m_dir.Write("UserRegLoc.ini", bytes);
    }
    bool Exists(const char* name) const { return std::filesystem::exists(m_dir.File(name)); }

    TempDir m_dir;
};

TEST(OldUserDataWriter, BinaryLayoutMatchesBytesWorkedOutByHand) {
    OldUserData data;
    data.folders = {u"A"};
    OldRegLocRecord p = Old(u"가", 2, 1, 0x01020304, -2);
    p.startTime = {6, 7, 8};
    p.lastRanDate = {2010, 12, 31};
    data.places.push_back(p);
    const std::vector<uint8_t> bytes = BinaryUserDataBytes(VersionWordOfClass(4), data);

    // "40.3" as the version word; one folder of 132 bytes; one place of 188.
    ASSERT_EQ(bytes.size(), 4u + 4 + 132 + 4 + 188);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "40.3");
    EXPECT_EQ(bytes[4], 1);                  // folder count
    EXPECT_EQ(bytes[12], 'A');               // folder name after its spare word
    EXPECT_EQ(bytes[13], 0);
    EXPECT_EQ(bytes[140], 1);                // place count
    const size_t place = 144;
    EXPECT_EQ(bytes[place], 2);              // nFolder
    EXPECT_EQ(bytes[place + 8], 0xFF);       // nShortKey -1
    EXPECT_EQ(bytes[place + 12], 1);         // nCate
    const size_t alarm = place + 32;
    EXPECT_EQ(bytes[alarm], 6);
    EXPECT_EQ(bytes[alarm + 1], 7);
    EXPECT_EQ(bytes[alarm + 2], 8);
    EXPECT_EQ(bytes[alarm + 4], 10);         // end 10:00:00
    EXPECT_EQ(bytes[alarm + 8], 0xDA);       // 2010 = 0x07DA
    EXPECT_EQ(bytes[alarm + 9], 0x07);
    EXPECT_EQ(bytes[alarm + 10], 12);
    EXPECT_EQ(bytes[alarm + 11], 31);
    EXPECT_EQ(bytes[alarm + 12], 31);        // weekday mask
    const size_t position = alarm + 16;
    EXPECT_EQ(bytes[position], 0x04);        // x 0x01020304
    EXPECT_EQ(bytes[position + 3], 0x01);
    EXPECT_EQ(bytes[position + 4], 0xFE);    // y -2
    EXPECT_EQ(bytes[position + 8], 0x00);    // U+AC00 little-endian
    EXPECT_EQ(bytes[position + 9], 0xAC);
}

TEST(OldUserDataWriter, SettingsFileHoldsKeyValueLinesInCp949) {
    OldUserData data;
    data.folders = {u"", u"집"};
    data.places.push_back(Old(u"가", 1, 0, 5, -1));
    std::string bytes;
    ASSERT_TRUE(olddatawriter::SettingsUserDataBytes(data, bytes));
    EXPECT_EQ(bytes.rfind("nFolderCount=2\r\nFolderData001.szName=\xC1\xFD\r\nnRegLocCount=1\r\n", 0), 0u);
    EXPECT_NE(bytes.find("RegLocData000.nShortKey=-1\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("RegLocData000.PosInfo.szName=\xB0\xA1\r\n"), std::string::npos);
}

TEST(OldUserDataLayout, VersionWordsPickTheirLayoutClass) {
    struct Case {
        int32_t version;
        int recordClass;
        size_t recordBytes;
    };
    const Case cases[] = {
        {INT32_MIN, 1, 144},   {0, 1, 144},          {0x322E3032, 1, 144}, {0x322E3033, 2, 164},
        {0x332E3031, 2, 164},  {0x332E3032, 3, 184}, {0x332E3033, 3, 184}, {0x332E3034, 4, 188},
        {0x332E3035, 5, 260},  {INT32_MAX, 5, 260},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        EXPECT_EQ(OldRecordClassOfVersion(c.version), c.recordClass);
        EXPECT_EQ(OldPlaceRecordBytes(c.recordClass), c.recordBytes);
    }
}

TEST_F(OldDataImportTest, EveryBinaryLayoutIsTakenOverOnceWithItsFolders) {
    struct Case {
        int recordClass;
        std::vector<std::u16string> folders;  // after the import
        int32_t folders3[3];                  // new folder of each sample place
        int32_t categories[3];
        int32_t regionCheck;                  // of the first place
        bool alarm;                           // the first place's alarm came along
        std::u16string memo;
    };
    const Case cases[] = {
        {1, {kDefaultFolderName}, {0, 0, 0}, {0, 0, 0}, 0, false, u""},
        {2, {kDefaultFolderName}, {0, 0, 0}, {0, 0, 0}, 0, true, u""},
        {3, {u"직장", u"차"}, {0, 1, 0}, {1, 2, 0}, 0, true, u""},
        {4, {u"직장", u"차"}, {0, 1, 0}, {1, 2, 0}, 2, true, u""},
        {5, {u"직장", u"차"}, {0, 1, 0}, {1, 2, 0}, 2, true, u"현관 비밀번호"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.recordClass);
        std::filesystem::remove(m_dir.File("RegDest.udt"));
        WriteBinary(VersionWordOfClass(c.recordClass), Sample());

        CMgrConfigUIDataRegDest store;
        EXPECT_FALSE(Exists("RegLoc.usd"));
        EXPECT_EQ(FolderNames(store), c.folders);
        const std::vector<_tagUISTRUCT_REGDEST> places = Places(store);
        ASSERT_EQ(places.size(), 3u);
        EXPECT_EQ(Name(places[0]), u"우리집");
        EXPECT_EQ(Name(places[2]), u"주유소");
        EXPECT_EQ(places[1].PosInfo.wcPosition, (MapPoint{66510000, 19700000}));
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(places[i].nFolder, c.folders3[i]) << i;
            EXPECT_EQ(places[i].eCate, c.categories[i]) << i;
        }
        const _tagUISTRUCT_REGDEST& home = places[0];
        EXPECT_EQ(home.eRegionCheck, c.regionCheck);
        EXPECT_EQ(std::u16string(NameFieldView(home.szMemo, _tagUISTRUCT_REGDEST::kMemoUnits)), c.memo);
        EXPECT_EQ(home.bAlramUse, c.alarm ? 1 : 0);
        if (c.alarm) {
            EXPECT_EQ(home.lAlramData.lStartTime, (PackedTimeOfDay{7, 30, 15}));
            EXPECT_EQ(home.lAlramData.lEndTime, (PackedTimeOfDay{9, 0, 0}));
            EXPECT_EQ(home.lAlramData.tLastRanTime, NvTime(2009, 3, 14, 0, 0, 0).GetTime());
            EXPECT_EQ(home.lAlramData.nDayOfWeek, 5);
        } else {
            // The old defaults: 6:00 to 10:00 on weekdays, never ran.
            EXPECT_EQ(home.lAlramData.lStartTime, (PackedTimeOfDay{6, 0, 0}));
            EXPECT_EQ(home.lAlramData.lEndTime, (PackedTimeOfDay{10, 0, 0}));
            EXPECT_EQ(home.lAlramData.tLastRanTime, 0);
            EXPECT_EQ(home.lAlramData.nDayOfWeek, 31);
        }

        // The next start finds no old file and loads what was taken over.
        CMgrConfigUIDataConvert convert;
        NvArray<_tagUISTRUCT_FOLDERITEM> folders;
        NvArray<_tagUISTRUCT_REGDEST> taken;
        EXPECT_FALSE(convert.Convert(&folders, &taken, nullptr));
        CMgrConfigUIDataRegDest again;
        EXPECT_EQ(FolderNames(again), c.folders);
        const std::vector<_tagUISTRUCT_REGDEST> reloaded = Places(again);
        ASSERT_EQ(reloaded.size(), 3u);
        EXPECT_EQ(Name(reloaded[1]), u"회사");
        EXPECT_EQ(reloaded[0].lAlramData.lStartTime, home.lAlramData.lStartTime);
    }
}

TEST_F(OldDataImportTest, SettingsFileWinsAndBothOldFilesGo) {
    WriteBinary(VersionWordOfClass(5), OldUserData{{u"x", u"binary"}, {Old(u"binary place", 1, 0, 1, 1)}});
    WriteSettings(Sample());

    CMgrConfigUIDataRegDest store;
    EXPECT_FALSE(Exists("UserRegLoc.ini"));
    EXPECT_FALSE(Exists("RegLoc.usd"));
    EXPECT_EQ(FolderNames(store), (std::vector<std::u16string>{u"직장", u"차"}));
    const std::vector<_tagUISTRUCT_REGDEST> places = Places(store);
    ASSERT_EQ(places.size(), 3u);
    EXPECT_EQ(places[0].nIcon, 4);
    EXPECT_EQ(places[0].nVoice, 1);
    EXPECT_EQ(places[0].lAlramData.tLastRanTime, NvTime(2009, 3, 14, 0, 0, 0).GetTime());
    EXPECT_EQ(std::u16string(NameFieldView(places[0].szMemo, _tagUISTRUCT_REGDEST::kMemoUnits)), u"현관 비밀번호");
    EXPECT_EQ(places[1].nFolder, 1);
    EXPECT_EQ(places[1].eCate, 2);
    EXPECT_EQ(places[2].nFolder, 0);
    EXPECT_EQ(places[2].eCate, 0);
    EXPECT_TRUE(Exists("RegDest.udt"));
}

TEST_F(OldDataImportTest, SettingsKeysThatAreMissingKeepTheOldDefaults) {
    // One place with a name and a position only; one typed line as later
    // releases wrote them.
    m_dir.Write("UserRegLoc.ini",
                "nRegLocCount|1=1\r\n"
                "RegLocData000.PosInfo.wcPosition.x=100\r\n"
                "RegLocData000.PosInfo.wcPosition.y=200\r\n"
                "RegLocData000.PosInfo.szName=\xC1\xFD\r\n");
    CMgrConfigUIDataConvert convert;
    NvArray<_tagUISTRUCT_FOLDERITEM> folders;
    NvArray<_tagUISTRUCT_REGDEST> places;
    ASSERT_TRUE(convert.Convert(&folders, &places, nullptr));
    EXPECT_EQ(convert.GetSource(), CMgrConfigUIDataConvert::Source::kSettingsFile);
    ASSERT_EQ(folders.GetCount(), 1);
    EXPECT_EQ(NameFieldView(folders.GetAt(0)->szFolderName, _tagUISTRUCT_FOLDERITEM::kNameChars), kDefaultFolderName);
    ASSERT_EQ(places.GetCount(), 1);
    const _tagUISTRUCT_REGDEST& r = *places.GetAt(0);
    EXPECT_EQ(Name(r), u"집");
    EXPECT_EQ(r.PosInfo.wcPosition, (MapPoint{100, 200}));
    EXPECT_EQ(r.nOrigin, -1);  // old nShortKey default
    EXPECT_EQ(r.eCate, 0);     // old category 2
    EXPECT_EQ(r.nFolder, 0);   // old folder 1 = first folder
    EXPECT_EQ(r.lAlramData.lStartTime, (PackedTimeOfDay{6, 0, 0}));
    EXPECT_EQ(r.lAlramData.nDayOfWeek, 31);
    // Convert alone takes nothing away.
    EXPECT_TRUE(Exists("UserRegLoc.ini"));
}

// Places are looked up only when the file holds keys of theirs; a key
// matches whatever its case, and the places around it come as defaults.
TEST_F(OldDataImportTest, OnlyThePlaceWithKeysInAnyCaseIsRead) {
    m_dir.Write("UserRegLoc.ini",
                "nRegLocCount=3\r\n"
                "reglocdata001.PosInfo.wcPosition.x=100\r\n"
                "REGLOCDATA001.posinfo.WCPOSITION.Y=200\r\n"
                "RegLocData0001.PosInfo.wcPosition.x=7\r\n"
                "RegLocData3.PosInfo.wcPosition.x=8\r\n");
    CMgrConfigUIDataConvert convert;
    NvArray<_tagUISTRUCT_FOLDERITEM> folders;
    NvArray<_tagUISTRUCT_REGDEST> places;
    ASSERT_TRUE(convert.Convert(&folders, &places, nullptr));
    ASSERT_EQ(places.GetCount(), 3);
    EXPECT_EQ(places.GetAt(0)->PosInfo.wcPosition, (MapPoint{0, 0}));
    EXPECT_EQ(places.GetAt(1)->PosInfo.wcPosition, (MapPoint{100, 200}));
    EXPECT_EQ(places.GetAt(2)->PosInfo.wcPosition, (MapPoint{0, 0}));
    EXPECT_EQ(places.GetAt(2)->nOrigin, -1);  // old nShortKey default
}

// Old files that are still there beside a registered-places file were taken
// over before (their deletion failed): the places the driver has edited
// since must not be replaced by them again.
TEST_F(OldDataImportTest, OldFilesBesideAnExistingStoreAreNotImportedAgain) {
    WriteBinary(VersionWordOfClass(5), Sample());
    {
        CMgrConfigUIDataRegDest first;
        ASSERT_EQ(first.GetItemCount(), 3);
    }
    std::vector<_tagUISTRUCT_REGDEST> edited;
    {
        CMgrConfigUIDataRegDest store;
        ASSERT_EQ(store.DeleteItem(0, CMgrConfigUIDataRegDest::kFolderAll, CMgrConfigUIDataRegDest::kModeStored, 1), 1);
        ASSERT_EQ(store.Save(nullptr), 1);
        edited = Places(store);
    }
    WriteBinary(VersionWordOfClass(5), Sample());   // the file that could not be deleted
    CMgrConfigUIDataRegDest store;
    EXPECT_EQ(Places(store).size(), edited.size());
    EXPECT_TRUE(Exists("RegLoc.usd"));
}

TEST_F(OldDataImportTest, AFailedSaveKeepsTheOldFilesForTheNextStart) {
    WriteBinary(VersionWordOfClass(4), Sample());
    WriteSettings(Sample());
    // A folder where the new file should go: nothing can be saved there.
    std::filesystem::create_directory(m_dir.File("RegDest.udt"));
    {
        CMgrConfigUIDataRegDest store;
        EXPECT_EQ(store.GetItemCount(), 0);
    }
    EXPECT_TRUE(Exists("RegLoc.usd"));
    EXPECT_TRUE(Exists("UserRegLoc.ini"));

    std::filesystem::remove(m_dir.File("RegDest.udt"));
    CMgrConfigUIDataRegDest store;
    EXPECT_EQ(store.GetItemCount(), 3);
    EXPECT_FALSE(Exists("RegLoc.usd"));
    EXPECT_FALSE(Exists("UserRegLoc.ini"));
}

TEST_F(OldDataImportTest, DamagedBinaryFilesAreNotTakenAndStay) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* error;
    };
    OldUserData tooManyPlaces;
    for (int i = 0; i < 201; ++i) tooManyPlaces.places.push_back(Old(u"p", 1, 0, i + 1, i + 1));
    OldUserData tooManyFolders = Sample();
    tooManyFolders.folders.resize(13, u"f");
    std::vector<uint8_t> cut = BinaryUserDataBytes(VersionWordOfClass(5), Sample());
    cut.resize(cut.size() - 1);
    const Case cases[] = {
        {"201 places", BinaryUserDataBytes(VersionWordOfClass(3), tooManyPlaces), "201 places"},
        {"13 folders", BinaryUserDataBytes(VersionWordOfClass(3), tooManyFolders), "13 folders"},
        {"last record cut", cut, "ends inside place 2"},
        {"two bytes", {0x34, 0x30}, "no version word"},
        {"no place count", {0x32, 0x30, 0x2E, 0x32}, "before the place count"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_dir.Write("RegLoc.usd", std::string(c.bytes.begin(), c.bytes.end()));
        CMgrConfigUIDataConvert convert;
        NvArray<_tagUISTRUCT_FOLDERITEM> folders;
        NvArray<_tagUISTRUCT_REGDEST> places;
        folders.Add(_tagUISTRUCT_FOLDERITEM{});
        EXPECT_FALSE(convert.Convert(&folders, &places, nullptr));
        EXPECT_EQ(folders.GetCount(), 0);
        EXPECT_EQ(places.GetCount(), 0);
        EXPECT_NE(convert.LastError().find(c.error), std::string::npos) << convert.LastError();
        EXPECT_TRUE(Exists("RegLoc.usd"));
    }
}

TEST_F(OldDataImportTest, ASettingsFileWithAFolderCountItCannotHoldFallsBackOnTheBinaryFile) {
    for (const char* count : {"-1", "3", "2147483647"}) {
        SCOPED_TRACE(count);
        m_dir.Write("UserRegLoc.ini", std::string("nFolderCount=") + count + "\r\nnRegLocCount=1\r\n");
        WriteBinary(VersionWordOfClass(3), Sample());
        CMgrConfigUIDataConvert convert;
        NvArray<_tagUISTRUCT_FOLDERITEM> folders;
        NvArray<_tagUISTRUCT_REGDEST> places;
        ASSERT_TRUE(convert.Convert(&folders, &places, nullptr));
        EXPECT_EQ(convert.GetSource(), CMgrConfigUIDataConvert::Source::kBinaryFile);
        ASSERT_EQ(places.GetCount(), 3);
        EXPECT_EQ(places.GetAt(0)->nOrigin, 3);  // the old short key, until the store's file is read back
        // Only the file that was taken goes.
        EXPECT_EQ(convert.RemoveOldFiles(), 1);
        EXPECT_FALSE(Exists("RegLoc.usd"));
        EXPECT_TRUE(Exists("UserRegLoc.ini"));
    }
}

TEST_F(OldDataImportTest, MoreThanTwoHundredPlacesKeepTheNewestTwoHundred) {
    OldUserData data;
    for (int i = 0; i < 205; ++i) {
        const std::u16string name = u"place " + std::u16string(1, static_cast<char16_t>(u'A' + i / 26)) +
                                    std::u16string(1, static_cast<char16_t>(u'a' + i % 26));
        data.places.push_back(Old(name.c_str(), 1, 0, 1000 + i, 2000 + i));
    }
    WriteSettings(data);
    CMgrConfigUIDataRegDest store;
    const std::vector<_tagUISTRUCT_REGDEST> places = Places(store);
    ASSERT_EQ(places.size(), 200u);
    EXPECT_EQ(places.front().PosInfo.wcPosition.x, 1005);  // the five oldest went
    EXPECT_EQ(places.back().PosInfo.wcPosition.x, 1204);
    EXPECT_FALSE(Exists("UserRegLoc.ini"));

    // A count far beyond what the file holds takes no longer than 200.
    m_dir.Write("UserRegLoc.ini", "nRegLocCount=2147483647\r\n");
    CMgrConfigUIDataConvert convert;
    NvArray<_tagUISTRUCT_FOLDERITEM> folders;
    NvArray<_tagUISTRUCT_REGDEST> taken;
    ASSERT_TRUE(convert.Convert(&folders, &taken, nullptr));
    EXPECT_EQ(taken.GetCount(), 200);
}

TEST_F(OldDataImportTest, ABinaryFileWithOnlyTheOldDefaultFolderGetsTheDefaultFolder) {
    OldUserData data = Sample();
    data.folders.resize(1);
    WriteBinary(VersionWordOfClass(5), data);
    CMgrConfigUIDataRegDest store;
    EXPECT_EQ(FolderNames(store), (std::vector<std::u16string>{kDefaultFolderName}));
    for (const _tagUISTRUCT_REGDEST& r : Places(store)) EXPECT_EQ(r.nFolder, 0);
}

}  // namespace
