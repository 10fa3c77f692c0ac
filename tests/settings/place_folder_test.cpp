// Place folders: the default folder, the two orderings, look-up by name and
// what deleting a folder does to the lists and to the stores behind them.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "settings/place_folder.h"

namespace {

_tagUISTRUCT_FOLDERITEM Folder(std::u16string_view name) {
    _tagUISTRUCT_FOLDERITEM f;
    CopyNameField(f.szFolderName, _tagUISTRUCT_FOLDERITEM::kNameChars, name);
    return f;
}

std::vector<int> List(const CMgrConfigUIDataFolder& folders, int mode) {
    std::vector<int> out;
    for (int i = 0; i < folders.GetFolderCount(); ++i) out.push_back(folders.GetFolderIndex(i, mode));
    return out;
}

std::u16string NameAt(const CMgrConfigUIDataFolder& folders, int position, int mode) {
    _tagUISTRUCT_FOLDERITEM f;
    if (!folders.GetFolder(position, &f, mode)) return u"<none>";
    return std::u16string(NameFieldView(f.szFolderName, _tagUISTRUCT_FOLDERITEM::kNameChars));
}

class PlaceFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folders.ResetFolders();
        for (auto name : {u"Work", u"Car"}) ASSERT_EQ(m_folders.AddFolder(Folder(name), 1), 1);
    }
    CMgrConfigUIDataFolder m_folders;
};

TEST_F(PlaceFolderTest, DefaultFolderStaysFirstInBothOrderings) {
    EXPECT_EQ(NameAt(m_folders, 0, 1), kDefaultFolderName);
    EXPECT_EQ(List(m_folders, 2), (std::vector<int>{0, 2, 1}));
    EXPECT_EQ(List(m_folders, 3), (std::vector<int>{0, 2, 1}));

    ASSERT_EQ(m_folders.AddFolder(Folder(u"Alpha"), 1), 1);
    EXPECT_EQ(List(m_folders, 2), (std::vector<int>{0, 3, 2, 1}));
    EXPECT_EQ(List(m_folders, 3), (std::vector<int>{0, 3, 2, 1}));
    EXPECT_EQ(NameAt(m_folders, 1, 2), u"Alpha");

    // Without resort the new folder sits at the end of both lists.
    ASSERT_EQ(m_folders.AddFolder(Folder(u"aardvark"), 0), 1);
    EXPECT_EQ(List(m_folders, 2), (std::vector<int>{0, 3, 2, 1, 4}));
    ASSERT_EQ(m_folders.RebuildFolderLists(0), 1);
    // Case does not count: aardvark < Alpha < Car < Work.
    EXPECT_EQ(List(m_folders, 2), (std::vector<int>{0, 4, 3, 2, 1}));
    EXPECT_EQ(List(m_folders, 3), (std::vector<int>{0, 4, 3, 2, 1}));
}

TEST_F(PlaceFolderTest, PositionMapping) {
    struct Case {
        int position, mode, stored;
    } const cases[] = {
        {0, 1, 0}, {2, 1, 2}, {1, 2, 2}, {2, 3, 1}, {1, 7, 1},   // unknown modes map to themselves
        {3, 1, -1}, {3, 2, -1}, {-1, 1, -1}, {1, -1, 1},        // -1: the folder sort mode (1)
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "position " << c.position << " mode " << c.mode);
        EXPECT_EQ(m_folders.GetFolderIndex(c.position, c.mode), c.stored);
        EXPECT_EQ(m_folders.GetFolder(c.position, nullptr, c.mode), c.stored >= 0 ? 1 : 0);
    }
    m_folders.SetFolderSortMode(2);
    EXPECT_EQ(m_folders.GetFolderIndex(1, -1), 2);
    EXPECT_EQ(m_folders.GetFolderSortMode(), 2);
}

TEST_F(PlaceFolderTest, FindByNameIgnoresCaseOfLatinOnly) {
    ASSERT_EQ(m_folders.AddFolder(Folder(u"abc"), 1), 1);
    EXPECT_EQ(m_folders.FindFolderByName(u"ABC"), 3);
    EXPECT_EQ(m_folders.FindFolderByName(u"기본폴더"), 0);
    EXPECT_EQ(m_folders.FindFolderByName(u"ab"), -1);
    EXPECT_EQ(m_folders.FindFolderByName(u"abcd"), -1);
    EXPECT_EQ(m_folders.FindFolderByName(nullptr), -1);
}

TEST_F(PlaceFolderTest, SetFolderReplacesOrAppends) {
    ASSERT_EQ(m_folders.SetFolder(1, Folder(u"Home"), 2, 1), 1);  // list 2 position 1 is Car
    EXPECT_EQ(NameAt(m_folders, 2, 1), u"Home");
    EXPECT_EQ(List(m_folders, 2), (std::vector<int>{0, 2, 1}));   // Home < Work

    ASSERT_EQ(m_folders.SetFolder(3, Folder(u"Zoo"), 1, 1), 1);   // past the end: appended
    EXPECT_EQ(m_folders.GetFolderCount(), 4);
    EXPECT_EQ(NameAt(m_folders, 3, 1), u"Zoo");
    EXPECT_EQ(m_folders.SetFolder(-1, Folder(u"X"), 1, 1), 0);
}

TEST_F(PlaceFolderTest, LongNamesAreCutAndTerminated) {
    const std::u16string hangul(70, u'가');
    ASSERT_EQ(m_folders.AddFolder(Folder(hangul), 1), 1);
    EXPECT_EQ(NameAt(m_folders, 3, 1), hangul.substr(0, 63));

    // A record filled to the last unit still reads back terminated.
    _tagUISTRUCT_FOLDERITEM full;
    std::fill(std::begin(full.szFolderName), std::end(full.szFolderName), u'z');
    ASSERT_EQ(m_folders.AddFolder(full, 1), 1);
    EXPECT_EQ(NameAt(m_folders, 4, 1), std::u16string(63, u'z'));
}

TEST_F(PlaceFolderTest, DeleteKeepsLaterFoldersAndTellsTheStore) {
    ASSERT_EQ(m_folders.AddFolder(Folder(u"Alpha"), 1), 1);  // 기본폴더 Work Car Alpha
    std::vector<int> removed;
    m_folders.SetFolderRemovedHook([&](int stored) { removed.push_back(stored); });

    EXPECT_EQ(m_folders.DeleteFolder(0, 1, 1), 0);  // the default folder
    EXPECT_EQ(m_folders.DeleteFolder(0, 2, 1), 0);  // ... whatever the ordering
    EXPECT_EQ(m_folders.DeleteFolder(4, 1, 1), 0);
    EXPECT_TRUE(removed.empty());

    // Work is stored position 1; Car and Alpha move down one position.
    ASSERT_EQ(m_folders.DeleteFolder(3, 2, 0), 1);  // list 2: 0 Alpha Car Work
    EXPECT_EQ(removed, std::vector<int>{1});
    EXPECT_EQ(m_folders.GetFolderCount(), 3);
    EXPECT_EQ(NameAt(m_folders, 1, 1), u"Car");
    EXPECT_EQ(NameAt(m_folders, 2, 1), u"Alpha");
    // Even without a rebuild the lists name existing folders, in order.
    EXPECT_EQ(List(m_folders, 2), (std::vector<int>{0, 2, 1}));
    EXPECT_EQ(List(m_folders, 3), (std::vector<int>{0, 2, 1}));

    ASSERT_EQ(m_folders.DeleteFolder(1, 3, 1), 1);  // newest first: Alpha
    EXPECT_EQ(removed, (std::vector<int>{1, 2}));
    EXPECT_EQ(List(m_folders, 2), (std::vector<int>{0, 1}));
    EXPECT_EQ(NameAt(m_folders, 1, 1), u"Car");
}

TEST(PlaceFolderListTest, ClearAndSmallLists) {
    CMgrConfigUIDataFolder folders;
    EXPECT_EQ(folders.GetFolderCount(), 0);
    EXPECT_EQ(folders.GetFolderSortMode(), 1);
    EXPECT_EQ(folders.RebuildFolderLists(1), 0);
    folders.ResetFolders();
    EXPECT_EQ(folders.GetFolderCount(), 1);
    EXPECT_EQ(folders.RebuildFolderLists(1), 0);  // one folder: nothing to order
    EXPECT_EQ(folders.GetFolderIndex(0, 2), 0);
    folders.ClearFolders();
    EXPECT_EQ(folders.GetFolderCount(), 0);
    EXPECT_EQ(folders.GetFolder(0, nullptr, 1), 0);
}

}  // namespace
