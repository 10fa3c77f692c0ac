#pragma once
// What a screen keeps across the rebuild of its board: a screen's board and
// controls are destroyed when it is deactivated and loaded afresh when it
// comes back, so the typed text of its entry fields (with their history),
// the contents and scroll state of its lists and the shown page of a tabbed
// area live in these members of the screen instead. The screen feeds them
// its control events, saves them on deactivation and restores them on
// activation. All address controls by layout id at each use.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "uikit/text_input.h"

class CMgrConfigUIDataDlgInfo;
class NvControl;

// Stateless control access shared by the chapter bases.
class ChapterControlHelper {
public:
    virtual ~ChapterControlHelper() = default;
    int SetControlText(int32_t id, const char16_t* text);
    // Entry textId of text table 1 as the control's main text.
    int SetControlTextById(int32_t id, int textId);
    int SetControlTextFromTable(int32_t id, int textId, int redraw);
    int SetLoadedControlText(int32_t id, const char16_t* text, int redraw);
    int IsControlShown(int32_t id);
    int ShowControl(int32_t id, int show);
    NvControl* GetControl(int32_t id);
    void MarkDirty(NvControl* control, int flag);
    const char16_t* GetText(int table, int textId);
    // Gives the dynamic panel columns x rows cells and opens it above the
    // anchor control, moving its children by (dx, dy) plus the board offset.
    int PlaceDynamicPanelAboveControl(int32_t panelId, int32_t columns, int32_t rows, int32_t anchorId, int32_t dx,
                                      int32_t dy);
};

// One text-entry field: a combo box (with its text control) or an edit
// control, and the keyboard that types into it.
class ChapterInputField {
public:
    static constexpr int32_t kDefaultMaxLength = 16;
    ChapterInputField(int32_t comboId, int32_t editId, int32_t keyboardId);
    virtual ~ChapterInputField() = default;

    int32_t DisplayId() const { return m_comboId != 0 ? m_comboId : m_editId; }
    NvControl* DisplayControl() const;
    void SetMaxLength(int32_t length);
    void SetText(const char16_t* text);
    std::u16string GetText();
    void Refresh(bool focused);
    void ShowCaret(bool on);
    void OnControlEvent(int32_t id, int32_t value, int32_t action);

    int32_t m_comboId = 0;
    int32_t m_editId = 0;
    int32_t m_keyboardId = 0;
    NvTextInput m_input;
    int32_t m_maxLength = kDefaultMaxLength;
};

class ChapterInputForm {
public:
    // store: where the typed-text history is kept (null: the program's store).
    explicit ChapterInputForm(CMgrConfigUIDataDlgInfo* store = nullptr);
    virtual ~ChapterInputForm() = default;

    // A field; with a key, the field's texts go into the history of that
    // name and the combo box (when there is one) lists the stored texts.
    int AddField(int32_t comboId, int32_t editId, int32_t keyboardId, const char16_t* key);
    int SetFieldMaxLength(int32_t length, int32_t id);
    int SetFieldText(int32_t id, const char16_t* text);
    std::u16string GetFieldText(int32_t id);
    // Puts the key field's text first in the history (at most 7) and saves
    // the store. 1; 0 without a history key.
    int SaveHistory();
    void Refresh();
    int Focus(int index);
    int OnControlEvent(int32_t id, int32_t value, int32_t action);
    int FieldCount() const { return static_cast<int>(m_fields.size()); }
    int FocusedIndex() const { return m_focused; }
    const std::u16string& HistoryKey() const { return m_historyKey; }

private:
    ChapterInputField* FieldOf(int32_t displayId);
    void FillCombo(ChapterInputField& field);

    CMgrConfigUIDataDlgInfo* m_store;
    std::vector<std::unique_ptr<ChapterInputField>> m_fields;
    std::u16string m_historyKey;
    int32_t m_keyControlId = 0;
    int32_t m_focused = -1;
};

// One list with its scroll bar.
class ChapterListModel {
public:
    virtual ~ChapterListModel() = default;
    void Setup(int32_t listId, int32_t scrollId, int32_t rows, int32_t total, int32_t twoLine);
    void Resize(int32_t rows);
    void Select(int32_t row);
    void SetTotal(int32_t total);
    void SetTop(int32_t top);
    int32_t ItemOfRow(int32_t row);
    void SetTwoLine(int32_t flag);
    void SetRowText(int32_t row, const char16_t* text, int main);
    std::u16string GetRowText(int32_t row, int main) const;
    void ClearTexts();
    int Save();
    int Restore();

    int32_t ListId() const { return m_listId; }
    int32_t RowCount() const { return m_rowCount; }
    int32_t Selected() const { return m_selected; }
    int32_t Total() const { return m_total; }
    int32_t Top() const { return m_top; }
    int32_t TwoLine() const { return m_twoLine; }

private:
    int32_t m_listId = 0;
    int32_t m_scrollId = 0;
    int32_t m_rowCount = 0;
    int32_t m_selected = -1;
    int32_t m_total = 0;
    int32_t m_top = 0;
    int32_t m_twoLine = 0;
    std::vector<std::u16string> m_main;
    std::vector<std::u16string> m_sub;
};

// The lists of a screen, by list id (0: the first; an unknown id does
// nothing, getters give 0).
class ChapterListModelSet {
public:
    virtual ~ChapterListModelSet() = default;
    int Add(int32_t listId, int32_t scrollId, int32_t rows, int32_t total, int32_t twoLine);
    ChapterListModel* Find(int32_t listId);
    int IndexOf(int32_t listId) const;
    int SaveAll();
    int RestoreAll();
    void Clear() { m_models.clear(); }
    int Count() const { return static_cast<int>(m_models.size()); }

    void Select(int32_t row, int32_t listId);
    void SetTotal(int32_t total, int32_t listId);
    void SetTop(int32_t top, int32_t listId);
    void Resize(int32_t rows, int32_t listId);
    void SetTwoLine(int32_t flag, int32_t listId);
    int32_t ItemOfRow(int32_t row, int32_t listId);
    void SetRowText(int32_t row, const char16_t* text, int main, int32_t listId);
    std::u16string GetRowText(int32_t row, int main, int32_t listId);
    void ClearTexts(int32_t listId);
    int32_t GetSelected(int32_t listId);
    int32_t GetTotal(int32_t listId);
    int32_t GetTop(int32_t listId);
    int32_t GetRowCount(int32_t listId);

private:
    std::vector<std::unique_ptr<ChapterListModel>> m_models;
};

// One tabbed area: a page indicator and the page controls it switches.
class ChapterPageSwitch {
public:
    virtual ~ChapterPageSwitch() = default;
    void Init(int32_t tabId, int32_t secondId, int32_t switchPages);
    void AddPage(int32_t pageId) { m_pages.push_back(pageId); }
    void ClearPages() { m_pages.clear(); }
    int SelectPage(int32_t n);
    int SetTabPage(int32_t n, int redraw);
    int32_t GetTabPage();
    int Restore();
    int Save();
    int OnControlEvent(int32_t id, int32_t value, int32_t action);

    int32_t TabId() const { return m_tabId; }
    int32_t Current() const { return m_current; }

private:
    int32_t m_tabId = 0;
    int32_t m_secondId = 0;
    int32_t m_current = 0;
    int32_t m_switchPages = 0;
    std::vector<int32_t> m_pages;
};

class ChapterPageSwitchList {
public:
    virtual ~ChapterPageSwitchList() = default;
    int Add(int32_t tabId, int32_t secondId, int32_t switchPages);
    ChapterPageSwitch* Find(int32_t tabId);
    int AddPage(int32_t pageId, int32_t tabId);
    int SelectPage(int32_t n, int32_t tabId);
    int SetTabPage(int32_t n, int redraw, int32_t tabId);
    int32_t GetTabPage(int32_t tabId);
    void ShowOnlyIndex(int n);
    void ShowOnlyTab(int32_t tabId);
    int RestoreAll();
    int SaveAll();
    int OnControlEvent(int32_t id, int32_t value, int32_t action);

private:
    int IndexOf(int32_t tabId) const;
    std::vector<std::unique_ptr<ChapterPageSwitch>> m_switches;
};
