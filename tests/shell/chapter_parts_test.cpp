// What a screen keeps across the rebuild of its board: typed text (keys
// from the keyboard into an edit box), the history of seven texts per key
// saved to the dialog store's file and listed in the combo box, a list's
// selection, scroll position and mode (with blank rows after the rebuild),
// and the page of a tabbed area.
#include "shell_board_fixture.h"

#include "foundation/nv_config.h"
#include "platform/file_io.h"
#include "settings/dlg_info.h"
#include "shell/board_helper.h"
#include "shell/chapter_parts.h"
#include "uikit/ctrl_list.h"
#include "uikit/ctrl_value.h"
#include "uikit/text_input.h"

namespace {

using shelltest::ShellBoardTest;

class ChapterPartsTest : public ShellBoardTest {
protected:
    void SetUp() override {
        StartHost();
        BoardHelper::SetHost(m_host.get());
        platform::MakeDirectories(m_user.File("config"));
        NvFilePath::SetFolders(NvString::FromUtf8(m_user.File("config")), NvString::FromUtf8(m_user.Path()));
    }
    void TearDown() override {
        NvFilePath::SetFolders(NvString(), NvString());
        BoardHelper::SetHost(nullptr);
        ShellBoardTest::TearDown();
    }
    // Presses the keys of a text on the keyboard of layout id keyboardId.
    static void Type(ChapterInputForm& form, int32_t keyboardId, std::u16string_view jamo) {
        for (char16_t c : jamo) form.OnControlEvent(keyboardId, NvKeyIndexFromChar(c, false), 5);
    }
    static int Shown(int32_t id) { return BoardHelper().IsControlShown(id); }
    std::u16string ControlText(int32_t id) {
        NvControl* c = m_host->GetControl(id);
        const char16_t* text = c ? c->GetText(false) : nullptr;
        return text ? text : u"";
    }

    testsupport::TempDir m_user;
};

TEST_F(ChapterPartsTest, KeysTypeIntoAFieldWithoutACombo) {
    ASSERT_EQ(m_host->LoadBoard(2), 1);  // edit box 1, keyboard 2
    CMgrConfigUIDataDlgInfo store;
    ChapterInputForm form(&store);
    form.AddField(0, 1, 2, nullptr);
    Type(form, 2, u"ㅎㅏㄴㅂㅣㅊ");
    EXPECT_EQ(form.GetFieldText(1), u"한빛");
    EXPECT_EQ(ControlText(1), u"한빛");
    EXPECT_EQ(form.GetFieldText(77), u"");  // no such field
    // A key of another control, or another action, types nothing.
    form.OnControlEvent(3, NvKeyIndexFromChar(u'ㄱ', false), 5);
    form.OnControlEvent(2, NvKeyIndexFromChar(u'ㄱ', false), 1);
    EXPECT_EQ(form.GetFieldText(1), u"한빛");
    // No history key: nothing to save.
    EXPECT_EQ(form.SaveHistory(), 0);
}

TEST_F(ChapterPartsTest, HistoryKeepsTheSevenLatestTexts) {
    CMgrConfigUIDataDlgInfo store;
    ASSERT_EQ(m_host->LoadBoard(1), 1);  // combo box 13, edit box 4
    {
        ChapterInputForm form(&store);
        form.AddField(13, 0, 6, u"NameSearch");
        const char16_t* texts[] = {u"하나", u"둘", u"셋", u"넷", u"다섯", u"여섯", u"일곱", u"여덟", u"아홉"};
        for (const char16_t* text : texts) {
            ASSERT_EQ(form.SetFieldText(13, text), 1);
            EXPECT_EQ(form.SaveHistory(), 1);
        }
        form.SetFieldText(13, u"다섯");  // again: moves to the head, no duplicate
        form.SaveHistory();
    }
    CMgrConfigUIDataDlgInfo reread;
    ASSERT_EQ(reread.Load(nullptr), 1);
    _tagUISTRUCT_DLGINFO record;
    ASSERT_EQ(reread.GetDlgInfo(u"NameSearch", &record), 1);
    ASSERT_EQ(record.nRecentTextDataNum, 7);
    const std::u16string expected[] = {u"다섯", u"아홉", u"여덟", u"일곱", u"여섯", u"넷", u"셋"};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(std::u16string(DlgInfoRecentText(record, i)), expected[i]) << i;

    // A new screen lists them in its combo box, most recent first.
    ASSERT_EQ(m_host->LoadBoard(1), 1);
    ChapterInputForm again(&reread);
    again.AddField(13, 0, 6, u"NameSearch");
    auto* combo = dynamic_cast<NvCtrlComboBox*>(m_host->GetControl(13));
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->GetItemCount(), 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(combo->GetItemText(i), expected[i]) << i;

    // A history key without a combo box keeps texts and shows no items.
    ASSERT_EQ(m_host->LoadBoard(2), 1);
    ChapterInputForm plain(&reread);
    plain.AddField(0, 1, 2, u"AddrSearch");
    Type(plain, 2, u"ㄱㅏ");
    EXPECT_EQ(plain.SaveHistory(), 1);
    ASSERT_EQ(reread.GetDlgInfo(u"AddrSearch", &record), 1);
    EXPECT_EQ(record.nRecentTextDataNum, 1);
    EXPECT_EQ(std::u16string(DlgInfoRecentText(record, 0)), u"가");
}

TEST_F(ChapterPartsTest, StateComesBackAfterTheBoardIsRebuilt) {
    CMgrConfigUIDataDlgInfo store;
    ASSERT_EQ(m_host->LoadBoard(1), 1);
    ChapterListModelSet lists;
    lists.Add(2, 3, 5, 40, 1);  // list 2 with scroll 3: 5 rows, 40 items, two lines
    ChapterPageSwitchList pages;
    pages.Add(12, 0, 1);
    pages.AddPage(1, 12);
    pages.AddPage(5, 12);
    ChapterInputForm form(&store);
    form.AddField(0, 4, 6, nullptr);

    // The driver scrolls to item 10, picks row 3, turns to page 1 and types.
    auto* scroll = dynamic_cast<NvCtrlListScroll*>(m_host->GetControl(3));
    auto* list = dynamic_cast<NvCtrlList*>(m_host->GetControl(2));
    ASSERT_TRUE(scroll && list);
    scroll->SetTopIndex(10);
    list->SetCurSel(3);
    lists.SetRowText(0, u"첫째", 1, 2);
    EXPECT_EQ(lists.ItemOfRow(2, 2), 12);
    EXPECT_EQ(pages.OnControlEvent(12, 1, 2), 0);  // not a page choice
    EXPECT_EQ(Shown(1), 1);
    EXPECT_EQ(pages.OnControlEvent(12, 1, 5), 1);
    EXPECT_EQ(Shown(1), 0);
    EXPECT_EQ(Shown(5), 1);
    form.SetFieldText(4, u"강남역");

    // Deactivation, a rebuilt board, activation.
    lists.SaveAll();
    pages.SaveAll();
    ASSERT_EQ(m_host->LoadBoard(1), 1);
    lists.RestoreAll();
    pages.RestoreAll();
    form.Refresh();

    scroll = dynamic_cast<NvCtrlListScroll*>(m_host->GetControl(3));
    list = dynamic_cast<NvCtrlList*>(m_host->GetControl(2));
    ASSERT_TRUE(scroll && list);
    EXPECT_EQ(list->GetCurSel(), 3);
    EXPECT_EQ(scroll->GetTopIndex(), 10);
    EXPECT_EQ(scroll->m_total, 40);
    EXPECT_EQ(list->m_twoLine, 1);
    EXPECT_EQ(lists.GetRowText(0, 1, 2), u"");  // rows come back blank
    EXPECT_EQ(lists.GetSelected(0), 3);          // id 0: the first list
    EXPECT_EQ(lists.GetSelected(99), 0);         // unknown id
    auto* tab = dynamic_cast<NvCtrlTieScroll*>(m_host->GetControl(12));
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->GetCurPage(), 1);
    EXPECT_EQ(Shown(5), 1);  // (the other pages are as the board lays them out)
    EXPECT_EQ(ControlText(4), u"강남역");
    EXPECT_EQ(form.GetFieldText(4), u"강남역");
}

TEST_F(ChapterPartsTest, ListSelectionIsLostWithTheListControl) {
    ASSERT_EQ(m_host->LoadBoard(2), 1);  // no list 2 here
    ChapterListModel model;
    model.Setup(2, 3, 4, 10, 0);
    model.Select(2);
    EXPECT_EQ(model.ItemOfRow(0), -1);  // no scroll control
    model.Save();
    EXPECT_EQ(model.Selected(), -1);
    EXPECT_EQ(model.Top(), -1);
    EXPECT_EQ(model.Restore(), 0);
}

}  // namespace
