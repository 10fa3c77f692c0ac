#include "shell/chapter_parts.h"

#include <algorithm>

#include "foundation/mgr_text.h"
#include "settings/dlg_info.h"
#include "shell/board_helper.h"
#include "uikit/ctrl_list.h"
#include "uikit/ctrl_panel.h"
#include "uikit/ctrl_value.h"

namespace {

NvControl* Ctl(int32_t id) { return BoardHelper::Control(id); }

constexpr int kTextTableGeneral = 1;
// Character input from the keyboard (action of its control event).
constexpr int32_t kActionKey = 5;
// A row index beyond any list a screen shows (a bad index makes no slots).
constexpr int32_t kMaxRowSlots = 1024;

}  // namespace

// ---------------------------------------------------------------- control helper

int ChapterControlHelper::SetControlText(int32_t id, const char16_t* text) {
    NvControl* c = Ctl(id);
    if (!c) return 0;
    c->SetText(text ? text : u"", false, true);
    c->SetUpdateFlag(true);
    return 1;
}

int ChapterControlHelper::SetControlTextById(int32_t id, int textId) {
    const std::u16string copy = GetMgrText(kTextTableGeneral, textId);
    return SetControlText(id, copy.c_str());
}

int ChapterControlHelper::SetControlTextFromTable(int32_t id, int textId, int redraw) {
    NvControl* c = Ctl(id);
    if (!c) return 0;
    c->SetText(GetMgrText(kTextTableGeneral, textId), false, redraw == 1);
    if (redraw == 1) c->SetUpdateFlag(true);
    return 1;
}

int ChapterControlHelper::SetLoadedControlText(int32_t id, const char16_t* text, int redraw) {
    NvControl* c = Ctl(id);
    if (!c || c->m_controlId == 0) return 0;
    c->SetText(text ? text : u"", false, redraw == 1);
    if (redraw == 1) c->SetUpdateFlag(true);
    return 1;
}

int ChapterControlHelper::IsControlShown(int32_t id) {
    NvControl* c = Ctl(id);
    return c && !c->IsHidden() ? 1 : 0;
}

int ChapterControlHelper::ShowControl(int32_t id, int show) {
    NvControl* c = Ctl(id);
    if (!c) return 0;
    c->SetCullFlag(show == 0);
    c->SetUpdateFlag(true);
    return 1;
}

NvControl* ChapterControlHelper::GetControl(int32_t id) { return Ctl(id); }

void ChapterControlHelper::MarkDirty(NvControl* control, int flag) {
    if (control && flag) control->SetUpdateFlag(true);
}

const char16_t* ChapterControlHelper::GetText(int table, int textId) { return GetMgrText(table, textId); }

int ChapterControlHelper::PlaceDynamicPanelAboveControl(int32_t panelId, int32_t columns, int32_t rows,
                                                        int32_t anchorId, int32_t dx, int32_t dy) {
    auto* panel = dynamic_cast<NvCtrlDynamicPanel*>(Ctl(panelId));
    NvControl* anchor = Ctl(anchorId);
    if (!panel || !anchor) return 0;
    int32_t width = 0, height = 0;
    if (!panel->SetCellCount(columns, rows) || !panel->CalcSize(columns, rows, &width, &height)) return 0;
    int32_t boardX = 0, boardY = 0;
    NvScreenToBoardPos(anchor->m_rect.x, anchor->m_rect.y - height, &boardX, &boardY);
    for (uint32_t i = 0; i < panel->ChildCount(); ++i)
        if (NvNode* child = panel->GetChild(i)) child->MoveBy(dx + boardX, dy + boardY);
    panel->SetUpdateFlag(true);
    return 1;
}

// ---------------------------------------------------------------- input field

ChapterInputField::ChapterInputField(int32_t comboId, int32_t editId, int32_t keyboardId)
    : m_comboId(comboId), m_editId(editId), m_keyboardId(keyboardId) {
    m_input.SetMaxLength(m_maxLength);
}

NvControl* ChapterInputField::DisplayControl() const {
    if (m_comboId != 0) {
        auto* combo = dynamic_cast<NvCtrlComboBox*>(Ctl(m_comboId));
        return combo ? combo->GetTextControl() : nullptr;
    }
    return Ctl(m_editId);
}

void ChapterInputField::SetMaxLength(int32_t length) {
    m_maxLength = length;
    m_input.SetMaxLength(length);
}

void ChapterInputField::SetText(const char16_t* text) {
    m_input.SetText(text);
    if (NvControl* c = DisplayControl()) {
        c->SetText(m_input.GetDisplayText(), false, true);
        c->SetCaretIndex(static_cast<uint16_t>(m_input.GetLength()), true);
        c->SetUpdateFlag(true);
    }
}

std::u16string ChapterInputField::GetText() { return m_input.GetDisplayText(); }

void ChapterInputField::ShowCaret(bool on) {
    if (NvControl* c = DisplayControl()) {
        c->SetCaretEnable(on);
        c->SetCaretShow(on);
        c->SetUpdateFlag(true);
    }
}

void ChapterInputField::Refresh(bool focused) {
    NvControl* c = DisplayControl();
    if (!c) return;
    const std::u16string text = m_input.GetDisplayText();
    if (!text.empty()) c->SetText(text.c_str(), false, true);
    c->SetCaretIndex(static_cast<uint16_t>(m_input.GetLength()), true);
    ShowCaret(focused);
}

void ChapterInputField::OnControlEvent(int32_t id, int32_t value, int32_t action) {
    if (id == DisplayId() && (m_comboId == 0 || action == 0)) {
        NvControl* c = DisplayControl();
        if (!c) return;
        const char16_t* text = c->GetText(false);
        m_input.SetText(text ? text : u"");
        m_input.SetCaretPos(c->GetCaretIndex());
        return;
    }
    if (id == m_keyboardId && id != 0 && action == kActionKey) {
        m_input.PressKey(value);
        if (NvControl* c = DisplayControl()) {
            c->SetText(m_input.GetDisplayText(), false, true);
            c->SetCaretIndex(static_cast<uint16_t>(m_input.GetCaretPos() + (m_input.GetState() != 0 ? 1 : 0)),
                             true);
            c->SetUpdateFlag(true);
        }
    }
}

// ---------------------------------------------------------------- input form

ChapterInputForm::ChapterInputForm(CMgrConfigUIDataDlgInfo* store)
    : m_store(store ? store : CMgrConfigUIDataDlgInfo::Instance()) {}

int ChapterInputForm::AddField(int32_t comboId, int32_t editId, int32_t keyboardId, const char16_t* key) {
    m_fields.push_back(std::make_unique<ChapterInputField>(comboId, editId, keyboardId));
    ChapterInputField& field = *m_fields.back();
    if (key && key[0]) {
        m_historyKey = key;
        m_keyControlId = field.DisplayId();
        FillCombo(field);
    }
    return static_cast<int>(m_fields.size()) - 1;
}

void ChapterInputForm::FillCombo(ChapterInputField& field) {
    auto* combo = dynamic_cast<NvCtrlComboBox*>(Ctl(field.m_comboId));
    if (!combo || field.m_comboId == 0) return;
    _tagUISTRUCT_DLGINFO record;
    m_store->GetDlgInfo(m_historyKey.c_str(), &record);
    const int count = std::clamp(record.nRecentTextDataNum, 0, kDlgRecentTexts);
    combo->SetItemCount(count);
    for (int i = 0; i < count; ++i) {
        const std::u16string text(DlgInfoRecentText(record, i));
        combo->SetItemText(i, text.c_str());
    }
}

ChapterInputField* ChapterInputForm::FieldOf(int32_t displayId) {
    for (auto& field : m_fields)
        if (field->DisplayId() == displayId) return field.get();
    return nullptr;
}

int ChapterInputForm::SetFieldMaxLength(int32_t length, int32_t id) {
    ChapterInputField* field = FieldOf(id);
    if (!field) return 0;
    field->SetMaxLength(length);
    return 1;
}

int ChapterInputForm::SetFieldText(int32_t id, const char16_t* text) {
    ChapterInputField* field = FieldOf(id);
    if (!field) return 0;
    field->SetText(text);
    return 1;
}

std::u16string ChapterInputForm::GetFieldText(int32_t id) {
    ChapterInputField* field = FieldOf(id);
    return field ? field->GetText() : std::u16string();
}

int ChapterInputForm::SaveHistory() {
    if (m_historyKey.empty()) return 0;
    const std::u16string text = GetFieldText(m_keyControlId);
    m_store->AddRecentText(m_historyKey.c_str(), text.c_str());
    m_store->Save(nullptr);
    return 1;
}

void ChapterInputForm::Refresh() {
    for (auto& field : m_fields) field->Refresh(true);
    Focus(m_focused);
}

int ChapterInputForm::Focus(int index) {
    if (index < 0 || index >= static_cast<int>(m_fields.size())) return 0;
    m_focused = index;
    for (int i = 0; i < static_cast<int>(m_fields.size()); ++i) m_fields[static_cast<size_t>(i)]->ShowCaret(i == index);
    return 1;
}

int ChapterInputForm::OnControlEvent(int32_t id, int32_t value, int32_t action) {
    for (int i = 0; i < static_cast<int>(m_fields.size()); ++i)
        if (m_fields[static_cast<size_t>(i)]->DisplayId() == id) {
            Focus(i);
            break;
        }
    if (m_focused >= 0 && m_focused < static_cast<int>(m_fields.size())) {
        m_fields[static_cast<size_t>(m_focused)]->OnControlEvent(id, value, action);
    } else {
        for (auto& field : m_fields) field->OnControlEvent(id, value, action);
    }
    return 0;
}

// ---------------------------------------------------------------- list model

namespace {

void ScrollSetTotal(int32_t scrollId, int32_t total) {
    NvControl* c = Ctl(scrollId);
    if (auto* list = dynamic_cast<NvCtrlListScroll*>(c)) {
        list->SetTotalCount(total);
        list->SetTopIndex(0);
    } else if (auto* ball = dynamic_cast<NvCtrlBallScroll*>(c)) {
        ball->SetTotalCount(total);
        ball->SetTopIndex(0);
    }
}

void ScrollSetTop(int32_t scrollId, int32_t top) {
    NvControl* c = Ctl(scrollId);
    if (auto* list = dynamic_cast<NvCtrlListScroll*>(c)) list->SetTopIndex(top);
    else if (auto* ball = dynamic_cast<NvCtrlBallScroll*>(c)) ball->SetTopIndex(top);
}

// The scroll's top index, or -1 without a scroll control.
int32_t ScrollTop(int32_t scrollId) {
    NvControl* c = Ctl(scrollId);
    if (auto* list = dynamic_cast<NvCtrlListScroll*>(c)) return list->GetTopIndex();
    if (auto* ball = dynamic_cast<NvCtrlBallScroll*>(c)) return ball->GetTopIndex();
    return -1;
}

NvCtrlList* ListOf(int32_t id) { return dynamic_cast<NvCtrlList*>(Ctl(id)); }

}  // namespace

void ChapterListModel::Setup(int32_t listId, int32_t scrollId, int32_t rows, int32_t total, int32_t twoLine) {
    m_listId = listId;
    m_scrollId = scrollId;
    SetTotal(total);
    SetTop(0);
    Resize(rows);
    SetTwoLine(twoLine);
}

void ChapterListModel::Resize(int32_t rows) {
    rows = std::max(rows, 0);
    m_main.assign(static_cast<size_t>(rows), std::u16string());
    m_sub.assign(static_cast<size_t>(rows), std::u16string());
    m_rowCount = rows;
}

void ChapterListModel::Select(int32_t row) {
    m_selected = row;
    if (NvCtrlList* list = ListOf(m_listId)) list->SetCurSel(row);
}

void ChapterListModel::SetTotal(int32_t total) {
    m_total = total;
    ScrollSetTotal(m_scrollId, total);
}

void ChapterListModel::SetTop(int32_t top) {
    m_top = top;
    ScrollSetTop(m_scrollId, top);
}

int32_t ChapterListModel::ItemOfRow(int32_t row) {
    const int32_t top = ScrollTop(m_scrollId);
    if (top < 0) return -1;
    return top + row < m_total ? top + row : 0;
}

void ChapterListModel::SetTwoLine(int32_t flag) {
    m_twoLine = flag;
    if (NvCtrlList* list = ListOf(m_listId)) list->SetSubTextMode(flag != 0);
}

void ChapterListModel::SetRowText(int32_t row, const char16_t* text, int main) {
    if (row < 0 || row >= kMaxRowSlots) return;
    auto& slots = main == 1 ? m_main : m_sub;
    if (static_cast<size_t>(row) >= slots.size()) slots.resize(static_cast<size_t>(row) + 1);
    slots[static_cast<size_t>(row)] = text ? text : u"";
    if (NvCtrlList* list = ListOf(m_listId)) list->SetRowText(row, text ? text : u"", main != 1, true);
}

std::u16string ChapterListModel::GetRowText(int32_t row, int main) const {
    const auto& slots = main == 1 ? m_main : m_sub;
    return row >= 0 && static_cast<size_t>(row) < slots.size() ? slots[static_cast<size_t>(row)] : std::u16string();
}

void ChapterListModel::ClearTexts() {
    NvCtrlList* list = ListOf(m_listId);
    for (int32_t row = 0; row < m_rowCount; ++row) {
        m_main[static_cast<size_t>(row)].clear();
        if (list) list->SetRowText(row, u"", false, true);
        if (m_twoLine) {
            m_sub[static_cast<size_t>(row)].clear();
            if (list) list->SetRowText(row, u"", true, true);
        }
    }
}

int ChapterListModel::Save() {
    NvCtrlList* list = ListOf(m_listId);
    m_selected = list ? list->GetCurSel() : -1;
    if (m_selected < 0) m_selected = -1;
    m_top = ItemOfRow(0);
    return 1;
}

int ChapterListModel::Restore() {
    const int32_t total = m_total, top = m_top, rows = m_rowCount, selected = m_selected, twoLine = m_twoLine;
    SetTotal(total);
    SetTop(top);
    Resize(rows);
    Select(selected);
    SetTwoLine(twoLine);
    NvCtrlList* list = ListOf(m_listId);
    if (!list) return 0;
    for (int32_t row = 0; row < m_rowCount; ++row) {
        list->SetRowText(row, m_main[static_cast<size_t>(row)].c_str(), false, true);
        if (m_twoLine) list->SetRowText(row, m_sub[static_cast<size_t>(row)].c_str(), true, true);
    }
    return 1;
}

// ---------------------------------------------------------------- list model set

int ChapterListModelSet::Add(int32_t listId, int32_t scrollId, int32_t rows, int32_t total, int32_t twoLine) {
    m_models.push_back(std::make_unique<ChapterListModel>());
    m_models.back()->Setup(listId, scrollId, rows, total, twoLine);
    return static_cast<int>(m_models.size()) - 1;
}

int ChapterListModelSet::IndexOf(int32_t listId) const {
    if (m_models.empty()) return -1;
    if (listId == 0) return 0;
    for (size_t i = 0; i < m_models.size(); ++i)
        if (m_models[i]->ListId() == listId) return static_cast<int>(i);
    return -1;
}

ChapterListModel* ChapterListModelSet::Find(int32_t listId) {
    const int i = IndexOf(listId);
    return i < 0 ? nullptr : m_models[static_cast<size_t>(i)].get();
}

int ChapterListModelSet::SaveAll() {
    int result = 0;
    for (auto& m : m_models) result = m->Save();
    return result != 0 ? 1 : 0;
}

int ChapterListModelSet::RestoreAll() {
    int result = 0;
    for (auto& m : m_models) result = m->Restore();
    return result != 0 ? 1 : 0;
}

void ChapterListModelSet::Select(int32_t row, int32_t listId) {
    if (auto* m = Find(listId)) m->Select(row);
}
void ChapterListModelSet::SetTotal(int32_t total, int32_t listId) {
    if (auto* m = Find(listId)) m->SetTotal(total);
}
void ChapterListModelSet::SetTop(int32_t top, int32_t listId) {
    if (auto* m = Find(listId)) m->SetTop(top);
}
void ChapterListModelSet::Resize(int32_t rows, int32_t listId) {
    if (auto* m = Find(listId)) m->Resize(rows);
}
void ChapterListModelSet::SetTwoLine(int32_t flag, int32_t listId) {
    if (auto* m = Find(listId)) m->SetTwoLine(flag);
}
int32_t ChapterListModelSet::ItemOfRow(int32_t row, int32_t listId) {
    auto* m = Find(listId);
    return m ? m->ItemOfRow(row) : 0;
}
void ChapterListModelSet::SetRowText(int32_t row, const char16_t* text, int main, int32_t listId) {
    if (auto* m = Find(listId)) m->SetRowText(row, text, main);
}
std::u16string ChapterListModelSet::GetRowText(int32_t row, int main, int32_t listId) {
    auto* m = Find(listId);
    return m ? m->GetRowText(row, main) : std::u16string();
}
void ChapterListModelSet::ClearTexts(int32_t listId) {
    if (auto* m = Find(listId)) m->ClearTexts();
}
int32_t ChapterListModelSet::GetSelected(int32_t listId) {
    auto* m = Find(listId);
    return m ? m->Selected() : 0;
}
int32_t ChapterListModelSet::GetTotal(int32_t listId) {
    auto* m = Find(listId);
    return m ? m->Total() : 0;
}
int32_t ChapterListModelSet::GetTop(int32_t listId) {
    auto* m = Find(listId);
    return m ? m->Top() : 0;
}
int32_t ChapterListModelSet::GetRowCount(int32_t listId) {
    auto* m = Find(listId);
    return m ? m->RowCount() : 0;
}

// ---------------------------------------------------------------- page switch

void ChapterPageSwitch::Init(int32_t tabId, int32_t secondId, int32_t switchPages) {
    m_tabId = tabId;
    m_secondId = secondId;
    m_switchPages = switchPages;
    m_current = 0;
}

int ChapterPageSwitch::SelectPage(int32_t n) {
    if (n < 0 || n >= static_cast<int32_t>(m_pages.size())) return 0;
    if (m_current >= 0 && m_current < static_cast<int32_t>(m_pages.size()))
        if (NvControl* old = Ctl(m_pages[static_cast<size_t>(m_current)])) {
            old->SetCullFlag(true);
            old->SetUpdateFlag(true);
        }
    if (NvControl* page = Ctl(m_pages[static_cast<size_t>(n)])) {
        page->SetCullFlag(false);
        page->SetUpdateFlag(true);
    }
    m_current = n;
    return 1;
}

int ChapterPageSwitch::SetTabPage(int32_t n, int redraw) {
    auto* tab = dynamic_cast<NvCtrlTieScroll*>(Ctl(m_tabId));
    if (!tab) return 0;
    tab->SetCurPage(n, redraw == 1);
    tab->SetUpdateFlag(true);
    return 1;
}

int32_t ChapterPageSwitch::GetTabPage() {
    auto* tab = dynamic_cast<NvCtrlTieScroll*>(Ctl(m_tabId));
    return tab ? tab->GetCurPage() : 0;
}

int ChapterPageSwitch::Restore() {
    if (m_tabId == 0) return 0;
    if (!m_pages.empty() && m_switchPages) SelectPage(m_current);
    return SetTabPage(m_current, 1);
}

int ChapterPageSwitch::Save() {
    if (!dynamic_cast<NvCtrlTieScroll*>(Ctl(m_tabId))) return 0;
    m_current = GetTabPage();
    return 1;
}

int ChapterPageSwitch::OnControlEvent(int32_t id, int32_t value, int32_t action) {
    if (id != m_tabId || action != kActionKey) return 0;
    if (m_switchPages == 1) SelectPage(value);
    SetTabPage(value, 1);
    return 1;
}

// ---------------------------------------------------------------- page switch list

int ChapterPageSwitchList::Add(int32_t tabId, int32_t secondId, int32_t switchPages) {
    m_switches.push_back(std::make_unique<ChapterPageSwitch>());
    m_switches.back()->Init(tabId, secondId, switchPages);
    return static_cast<int>(m_switches.size()) - 1;
}

int ChapterPageSwitchList::IndexOf(int32_t tabId) const {
    if (m_switches.empty()) return -1;
    if (tabId == 0) return 0;
    for (size_t i = 0; i < m_switches.size(); ++i)
        if (m_switches[i]->TabId() == tabId) return static_cast<int>(i);
    return -1;
}

ChapterPageSwitch* ChapterPageSwitchList::Find(int32_t tabId) {
    const int i = IndexOf(tabId);
    return i < 0 ? nullptr : m_switches[static_cast<size_t>(i)].get();
}

int ChapterPageSwitchList::AddPage(int32_t pageId, int32_t tabId) {
    auto* s = Find(tabId);
    if (!s) return 0;
    s->AddPage(pageId);
    return 1;
}

int ChapterPageSwitchList::SelectPage(int32_t n, int32_t tabId) {
    auto* s = Find(tabId);
    return s ? s->SelectPage(n) : 0;
}

int ChapterPageSwitchList::SetTabPage(int32_t n, int redraw, int32_t tabId) {
    auto* s = Find(tabId);
    return s ? s->SetTabPage(n, redraw) : 0;
}

int32_t ChapterPageSwitchList::GetTabPage(int32_t tabId) {
    auto* s = Find(tabId);
    return s ? s->GetTabPage() : 0;
}

void ChapterPageSwitchList::ShowOnlyIndex(int n) {
    for (size_t i = 0; i < m_switches.size(); ++i)
        if (NvControl* tab = Ctl(m_switches[i]->TabId())) {
            tab->SetCullFlag(static_cast<int>(i) != n);
            tab->SetUpdateFlag(true);
        }
}

void ChapterPageSwitchList::ShowOnlyTab(int32_t tabId) {
    const int i = IndexOf(tabId);
    if (i >= 0) ShowOnlyIndex(i);
}

int ChapterPageSwitchList::RestoreAll() {
    int result = 0;
    for (auto& s : m_switches) result = s->Restore();
    return result;
}

int ChapterPageSwitchList::SaveAll() {
    int result = 0;
    for (auto& s : m_switches) result = s->Save();
    return result;
}

int ChapterPageSwitchList::OnControlEvent(int32_t id, int32_t value, int32_t action) {
    int result = 0;
    for (auto& s : m_switches) result = s->OnControlEvent(id, value, action);
    return result;
}
