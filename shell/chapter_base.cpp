#include "shell/chapter_base.h"

#include <algorithm>
#include <cstring>

#include "foundation/critical_section.h"
#include "foundation/debug_trace.h"
#include "settings/course_current.h"
#include "settings/dev_log.h"
#include "settings/handover.h"
#include "settings/module_gps.h"
#include "settings/module_svc.h"
#include "settings/setting_snapshot.h"
#include "settings/ui_setting.h"
#include "shell/chapter_manager.h"
#include "shell/shell_services.h"
#include "uikit/board_manager.h"
#include "uikit/ctrl_button.h"
#include "uikit/ctrl_keyboard.h"
#include "uikit/ctrl_list.h"
#include "uikit/ctrl_value.h"
#include "uikit/message_box.h"
#include "uikit/text_input.h"

namespace {

// Registered remote-control message: return to the current position.
bool IsRemoteCurrentPosition(uint32_t message) {
    return message != 0 && message == RegisteredShellMessage(kRmcCurPosName);
}

NvControl* BoardControl(int32_t layoutId) {
    NvBoardManager* host = ChapterBoardHost();
    return host ? host->GetControl(layoutId) : nullptr;
}

void SilenceBackControl(int32_t layoutId) {
    if (layoutId < 0) return;
    if (NvControl* control = BoardControl(layoutId)) control->m_touchSound = 0;
}

// The first size bytes of the value against the reference's low bytes.
bool ValueEquals(const void* value, int32_t size, uint32_t reference) {
    if (!value || size < 1 || size > 4) return false;
    uint8_t ref[4];
    for (int i = 0; i < 4; ++i) ref[i] = static_cast<uint8_t>(reference >> (8 * i));
    return std::memcmp(value, ref, static_cast<size_t>(size)) == 0;
}

uint32_t ReadValue(const void* value, int32_t size) {
    uint32_t out = 0;
    if (value && size >= 1 && size <= 4) {
        uint8_t bytes[4] = {};
        std::memcpy(bytes, value, static_cast<size_t>(size));
        out = uint32_t{bytes[0]} | (uint32_t{bytes[1]} << 8) | (uint32_t{bytes[2]} << 16) | (uint32_t{bytes[3]} << 24);
    }
    return out;
}

void WriteValue(void* value, int32_t size, uint32_t v) {
    if (!value || size < 1 || size > 4) return;
    uint8_t bytes[4];
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(v >> (8 * i));
    std::memcpy(value, bytes, static_cast<size_t>(size));
}

NvCtrlPress* PressControl(int32_t layoutId) {
    NvControl* control = BoardControl(layoutId);
    if (!control) return nullptr;
    if (control->IsKindOf(&NvCtrlButton::kClass) || control->IsKindOf(&NvCtrlCheckBox::kClass) ||
        control->IsKindOf(&NvCtrlRadioButton::kClass))
        return static_cast<NvCtrlPress*>(control);
    return nullptr;
}

}  // namespace

NvBoardManager* ChapterBoardHost() { return NvGetBoardManager(); }

int ConfirmReturnToCurrentPosition() {
    CMgrConfigUIInfoCourseCurrent* course = CMgrConfigUIInfoCourseCurrent::Instance();
    CMgrConfigModuleSVC* svc = CMgrConfigModuleSVC::Instance();
    if (svc->GetState() == 1 && course->IsBackupUsed(2)) {
        if (course->IsSameAsBackup(2) == 0) {
            const int answer = ShowReturnQuestion(
                u"경로탐색을 수행하지 않고 현위치로 복귀하면\\n설정한 출발지/경유지/목적지가 취소됩니다.\\n"
                u"현재 위치로 복귀하시겠습니까?",
                5000);
            if (answer != kChapterBoxFirstButton) return 0;
            course->RestoreBackup(2);
        }
        return 1;
    }
    _tagUISTRUCT_COURSEPOS start;
    if (course->GetStartPoint(&start) && start.IsValid()) {
        CMgrConfigModuleGPS* gps = CMgrConfigModuleGPS::Instance();
        GpsFixRecord fix;
        gps->GetFix(&fix);
        if (fix.status != 'A') {
            tagMAPMATCHINFO match;
            gps->GetMatchInfo(&match);
            match.x = start.PosInfo.wcPosition.x;
            match.y = start.PosInfo.wcPosition.y;
            gps->SetMatchInfo(match);
        }
    }
    return 1;
}

void PlayTouchCancel() {
    CMgrConfigUISetting* ui = CMgrConfigUISetting::Instance();
    if (ui->Record().bTouchSoundUse != 1) return;
    PlayShellWave(1, MapFolderFile(u"Wave\\TouchCancel.wav"));
}

int32_t TypedCharToKeyIndex(char16_t ch, int32_t* layoutId) {
    NvBoardManager* host = ChapterBoardHost();
    if (!host) return -1;
    NvControl* found = host->FindControlByKind(1, kUiKindKeyboard);
    if (!found || !found->IsKindOf(&NvCtrlKeyboard::kClass)) return -1;
    auto* keyboard = static_cast<NvCtrlKeyboard*>(found);
    if (ch >= u'a' && ch <= u'z') ch = static_cast<char16_t>(ch - u'a' + u'A');
    int index = -1;
    if (keyboard->IsNumberPad()) {
        index = NvKeyIndexFromChar(ch, true);
        if (index == 12) return -1;
    } else {
        switch (ch) {
            case u'Y': index = 75; break;
            case u'Z': index = 76; break;
            case u'\u3150': index = 77; break;
            case u'\u3152': index = 78; break;
            case u'\u3154': index = 79; break;
            case u'\u3156': index = 80; break;
            default: index = NvKeyIndexFromChar(ch, false); break;
        }
        if (index < 1) return -1;
    }
    if (index < 0) return -1;
    if (layoutId) *layoutId = keyboard->m_layoutId;
    return index;
}

// ---- BaseChapterMU ----------------------------------------------------------

void BaseChapterMU::ActiveChapter() {
    DebugTrace(3, "BaseChapterMU::ActiveChapter\n");
    SelectSceneHandlers(m_chapterId);
}

int32_t BaseChapterMU::OnMessage(uint32_t message, uint64_t, int64_t) {
    if (message != kChapterMsgPaint) return 0;
    if (NvBoardManager* host = ChapterBoardHost()) host->DrawFrame(false, true);
    return 1;
}

void BaseChapterMU::DeActiveChapter() {
    DebugTrace(3, "BaseChapterMU::DeActiveChapter\n");
    if (NvBoardManager* host = ChapterBoardHost()) host->DestroyBoard();
    NotifySceneHandlersDeactivate();
    CMgrDriveService::Instance().SetActive(0);
}

// ---- BaseChapterBoard -------------------------------------------------------

void BaseChapterBoard::ActiveChapter() {
    if (!m_initialised) {
        OnInitBoard();
        m_initialised = true;
    }
    if (NvBoardManager* host = ChapterBoardHost()) {
        if (host->LoadBoard(m_boardId) != 1)
            DebugTrace(1, "[CHAPTER] chapter %d: board %d not loaded\n", m_chapterId, m_boardId);
        SilenceBackControl(m_backControlId);
    }
}

int32_t BaseChapterBoard::OnMessage(uint32_t message, uint64_t wParam, int64_t lParam) {
    if (message == kChapterMsgLButtonDown) {
        NvBoardManager* host = ChapterBoardHost();
        if (!host) return 0;
        host->ProcessInput(CurrentTickCount(), kChapterMsgLButtonDown, static_cast<uint32_t>(lParam), 0);
        int32_t id = 0, value = 0, action = 0;
        host->GetLastEvent(&id, &value, &action);
        OnControlHit(id, value, action);
        host->DrawFrame(m_fullRedraw, m_present);
        if (m_currentPositionControlId >= 0 && id == m_currentPositionControlId) return OnCurrentPosition();
        if (m_backControlId >= 0 && id == m_backControlId) return OnBack(1);
        return OnControlEvent(id, value, action);
    }
    if (message == kChapterMsgTypedChar) {
        int32_t keyboardId = 0;
        const int32_t key = TypedCharToKeyIndex(static_cast<char16_t>(wParam), &keyboardId);
        if (key < 0) return 0;
        return OnControlEvent(keyboardId, key, kKeyboardActionKey);
    }
    if (IsRemoteCurrentPosition(message)) return OnCurrentPosition();
    return static_cast<int32_t>(message);
}

void BaseChapterBoard::Update() {
    if (NvBoardManager* host = ChapterBoardHost()) {
        host->UpdateFrame(CurrentTickCount());
        host->DrawFrame(m_fullRedraw, m_present);
    }
    m_fullRedraw = false;
}

void BaseChapterBoard::DeActiveChapter() {
    if (NvBoardManager* host = ChapterBoardHost()) host->DestroyBoard();
}

int32_t BaseChapterBoard::OnBack(int withSound) {
    if (withSound == 1) PlayTouchCancel();
    ChapterManager::PostChapterEvent(kChapterEventBack);
    return 0;
}

int32_t BaseChapterBoard::OnCurrentPosition() {
    if (ConfirmReturnToCurrentPosition() != 1) return 0;
    CMgrConfigUIInfoCourseCurrent::Instance()->ClearBackup(2);
    ChapterManager::PostChapterEvent(kChapterEventHome);
    return 0;
}

void BaseChapterBoard::PlayTouchCancel() { ::PlayTouchCancel(); }

// ---- BaseChapterUICommon ----------------------------------------------------

BaseChapterUICommon::BaseChapterUICommon(int32_t chapterId) : BaseChapter(chapterId) {
    DebugTrace(4, "BaseChapterUICommon::BaseChapterUICommon\n");
}

BaseChapterUICommon::~BaseChapterUICommon() {
    DebugTrace(4, "BaseChapterUICommon::~BaseChapterUICommon\n");
    m_buttonRules.clear();
    m_checkBindings.clear();
    m_gaugeBindings.clear();
}

void BaseChapterUICommon::ActiveChapter() {
    CMgrDevLog::Instance().ResetTick();
    DebugTrace(4, "BaseChapterUICommon::ActiveChapter\n");
    const bool first = m_firstActivation;
    if (first) OnCreate();
    NvBoardManager* host = ChapterBoardHost();
    if (host && m_boardId != 0 && host->LoadBoard(m_boardId) != 1)
        DebugTrace(1, "[CHAPTER] chapter %d: board %d not loaded\n", m_chapterId, m_boardId);
    if (first) {
        OnBoardLoaded();
        m_firstActivation = false;
    }
    SilenceBackControl(m_backControlId);
    RefreshBindings(0);
    RestoreTab();
    OnActivate();
    if (host) host->DrawFrame(true, true);
    CMgrDevLog::Instance().AddTickLog(u"BaseChUI->ActiveChapter");
}

void BaseChapterUICommon::DeActiveChapter() {
    CMgrDevLog::Instance().ResetTick();
    DebugTrace(4, "BaseChapterUICommon::DeActiveChapter\n");
    OnDeactivate();
    if (NvBoardManager* host = ChapterBoardHost()) host->DestroyBoard();
    CMgrDevLog::Instance().AddTickLog(u"BaseChUI->DeActive");
}

void BaseChapterUICommon::Update() {
    OnUpdate();
    const int32_t changed = RefreshBindings(0);
    if (NvBoardManager* host = ChapterBoardHost()) {
        host->UpdateFrame(CurrentTickCount());
        host->DrawFrame(changed == 1, true);
    }
}

int32_t BaseChapterUICommon::OnMessage(uint32_t message, uint64_t wParam, int64_t lParam) {
    OnPreMessage(message, wParam, lParam);
    switch (message) {
        case kChapterMsgLButtonDown: {
            NvBoardManager* host = ChapterBoardHost();
            if (!host) return 0;
            CMgrDevLog::Instance().ResetTick();
            host->ProcessInput(CurrentTickCount(), kChapterMsgLButtonDown, static_cast<uint32_t>(lParam), 0);
            int32_t id = 0, value = 0, action = 0;
            host->GetLastEvent(&id, &value, &action);
            host->DrawFrame(false, true);
            const int32_t r = EH_LButtonDown(id, value, action, 0);
            // The press may have posted a switch, but the board stays until
            // the manager takes the event, so drawing it again is safe.
            if (NvBoardManager* still = ChapterBoardHost()) still->DrawFrame(r == 1, true);
            CMgrDevLog::Instance().AddTickLog(u"BaseChUI->LBUTTONDOWN");
            return r;
        }
        case kChapterMsgTypedChar: {
            int32_t keyboardId = 0;
            const int32_t key = TypedCharToKeyIndex(static_cast<char16_t>(wParam), &keyboardId);
            if (key < 0) return 0;
            return EH_LButtonDown(keyboardId, key, kKeyboardActionKey, 0);
        }
        case 512: case 256: case 257: case 514: case 516: case 517:
            return 0;
        default:
            if (IsRemoteCurrentPosition(message)) return OnCurrentPosition();
            return 0;
    }
}

int32_t BaseChapterUICommon::EH_LButtonDown(int32_t controlId, int32_t value, int32_t action,
                                            int32_t defaultResult) {
    DebugTrace(4, "BaseChapterUICommon::EH_LButtonDown\n");
    if (OnPreLButtonDown(controlId, value, action) == 1) return 1;
    if (m_backControlId >= 0 && controlId == m_backControlId) {
        OnBack(1);
        return 0;
    }
    if (m_currentPositionControlId >= 0 && controlId == m_currentPositionControlId) {
        OnCurrentPosition();
        return 0;
    }
    if (m_tabControlId != 0 && controlId == m_tabControlId && action == kKeyboardActionKey) {
        SelectTab(value);
        return 1;
    }
    int changed = 0;
    void* bound = ApplyCheckPress(controlId, false);
    if (bound) {
        changed += RefreshCheckBindings(bound);
        changed += RefreshButtonRules(bound);
    }
    RunButtonRule(controlId, false);
    changed += RefreshGauges();
    return (bound && changed > 0) ? 1 : defaultResult;
}

int32_t BaseChapterUICommon::EH_PostProcess(int32_t controlId, int32_t postCode) {
    DebugTrace(4, "BaseChapterUICommon::EH_PostProcess\n");
    OnPostProcess(controlId, postCode);
    return 1;
}

int32_t BaseChapterUICommon::RefreshBindings(int32_t defaultResult) {
    const int changed = RefreshCheckBindings(nullptr) + RefreshButtonRules(nullptr) + RefreshGauges();
    return changed > 0 ? 1 : defaultResult;
}

void BaseChapterUICommon::Redraw() {
    if (NvBoardManager* host = ChapterBoardHost()) host->DrawFrame(true, true);
}

int32_t BaseChapterUICommon::OnBack(int withSound) {
    if (withSound == 1) ::PlayTouchCancel();
    ChapterManager::PostChapterEvent(kChapterEventBack);
    return 0;
}

int32_t BaseChapterUICommon::OnCurrentPosition() {
    if (ConfirmReturnToCurrentPosition() != 1) return 0;
    CMgrConfigUIInfoCourseCurrent::Instance()->ClearBackup(2);
    OnApply();
    ChapterManager::PostChapterEvent(kChapterEventHome);
    return 0;
}

void BaseChapterUICommon::AddButtonRule(int32_t controlId, void* value, int32_t size, uint32_t reference,
                                        int32_t invert, int32_t event, int32_t postCode) {
    UICommonButtonRule rule;
    rule.controlId = controlId;
    rule.value = value;
    rule.size = std::clamp(size, 0, 4);
    rule.reference = reference;
    rule.invert = invert;
    rule.event = event;
    rule.postCode = postCode;
    m_buttonRules.push_back(rule);
}

int BaseChapterUICommon::RemoveButtonRule(int32_t controlId) {
    for (auto it = m_buttonRules.begin(); it != m_buttonRules.end(); ++it)
        if (it->controlId == controlId) {
            m_buttonRules.erase(it);
            return 1;
        }
    return 0;
}

void BaseChapterUICommon::AddCheckBinding(int32_t controlId, void* value, int32_t size, uint32_t reference,
                                          int32_t mode, void* ruleValue, int32_t ruleSize, uint32_t ruleReference,
                                          int32_t invert, int32_t event, int32_t postCode) {
    UICommonCheckBinding binding;
    binding.controlId = controlId;
    binding.value = value;
    binding.size = std::clamp(size, 0, 4);
    binding.reference = reference;
    binding.mode = mode;
    m_checkBindings.push_back(binding);
    AddButtonRule(controlId, ruleValue, ruleSize, ruleReference, invert, event, postCode);
}

void BaseChapterUICommon::AddGaugeBinding(int32_t controlId, int32_t positions, void* value, int32_t size) {
    if (NvControl* control = BoardControl(controlId); control && control->IsKindOf(&NvCtrlProgressbar::kClass))
        static_cast<NvCtrlProgressbar*>(control)->m_max = static_cast<uint16_t>(std::clamp(positions, 0, 65535));
    UICommonGaugeBinding binding;
    binding.controlId = controlId;
    binding.value = value;
    binding.size = std::clamp(size, 0, 4);
    binding.positions = positions;
    m_gaugeBindings.push_back(binding);
}

int BaseChapterUICommon::RefreshButtonRules(const void* value) {
    int changed = 0;
    for (const UICommonButtonRule& rule : m_buttonRules) {
        if (!rule.value || (value && rule.value != value)) continue;
        NvControl* control = BoardControl(rule.controlId);
        if (!control) continue;
        const bool equal = ValueEquals(rule.value, rule.size, rule.reference);
        const bool dim = rule.invert == 1 ? !equal : equal;
        if (control->IsDimmed() != dim) {
            NvSetControlDisable(control, dim, false);
            ++changed;
        }
    }
    return changed;
}

int BaseChapterUICommon::RefreshCheckBindings(const void* value) {
    int changed = 0;
    for (const UICommonCheckBinding& binding : m_checkBindings) {
        if (!binding.value || (value && binding.value != value)) continue;
        NvCtrlPress* control = PressControl(binding.controlId);
        if (!control) continue;
        bool checked;
        if (binding.mode == kCheckModeBitMask)
            checked = binding.size == 4 && (ReadValue(binding.value, 4) & binding.reference) > 0;
        else
            checked = ValueEquals(binding.value, binding.size, binding.reference);
        if ((control->m_checked != 0) != checked && !control->IsDimmed()) {
            SetChecked(binding.controlId, checked, true);
            ++changed;
        }
    }
    return changed;
}

int BaseChapterUICommon::RefreshGauges() {
    int changed = 0;
    for (const UICommonGaugeBinding& gauge : m_gaugeBindings) {
        if (!gauge.value) continue;
        NvControl* control = BoardControl(gauge.controlId);
        if (!control || !control->IsKindOf(&NvCtrlProgressbar::kClass)) continue;
        auto* bar = static_cast<NvCtrlProgressbar*>(control);
        const uint32_t pos = ReadValue(gauge.value, gauge.size);
        if (pos != bar->m_pos && pos <= 0xFFFF && bar->SetPos(static_cast<uint16_t>(pos))) ++changed;
    }
    return changed;
}

void* BaseChapterUICommon::ApplyCheckPress(int32_t controlId, bool skipDimmed) {
    for (UICommonCheckBinding& binding : m_checkBindings) {
        if (binding.controlId != controlId) continue;
        if (skipDimmed && IsControlDimmed(controlId)) return nullptr;
        if (!binding.value) return nullptr;
        if (binding.mode == kCheckModeBitMask && binding.size == 4)
            WriteValue(binding.value, 4, ReadValue(binding.value, 4) ^ binding.reference);
        else if (binding.mode == kCheckModeToggle)
            WriteValue(binding.value, binding.size, ReadValue(binding.value, binding.size) == 0 ? 1 : 0);
        else
            WriteValue(binding.value, binding.size, binding.reference);
        return binding.value;
    }
    return nullptr;
}

int BaseChapterUICommon::RunButtonRule(int32_t controlId, bool force) {
    for (const UICommonButtonRule& rule : m_buttonRules) {
        if (rule.controlId != controlId) continue;
        if (!force && IsControlDimmed(controlId)) return 0;
        const int32_t event = rule.event;
        const int32_t postCode = rule.postCode;
        // The post-processing may change the rule list; work from copies.
        EH_PostProcess(controlId, postCode);
        const bool quiet = m_chapterId == 42 && (postCode == kPostCodeHubQuiet1 || postCode == kPostCodeHubQuiet2);
        if (event != 0 && !quiet) ChapterManager::PostChapterEvent(event);
        return 1;
    }
    return 0;
}

void BaseChapterUICommon::SetControlDim(int32_t controlId, bool dim, bool redraw) {
    if (NvControl* control = BoardControl(controlId)) NvSetControlDisable(control, dim, redraw);
}

bool BaseChapterUICommon::IsControlDimmed(int32_t controlId) const {
    NvControl* control = BoardControl(controlId);
    return control && control->IsDimmed();
}

bool BaseChapterUICommon::IsChecked(int32_t controlId) const {
    NvCtrlPress* control = PressControl(controlId);
    return control && control->m_checked != 0;
}

void BaseChapterUICommon::SetChecked(int32_t controlId, bool checked, bool redraw) {
    NvControl* control = BoardControl(controlId);
    if (!control) return;
    if (control->IsKindOf(&NvCtrlRadioButton::kClass))
        static_cast<NvCtrlRadioButton*>(control)->SetCheck(checked, redraw);
    else if (control->IsKindOf(&NvCtrlCheckBox::kClass))
        static_cast<NvCtrlCheckBox*>(control)->SetCheck(checked, redraw);
    else if (control->IsKindOf(&NvCtrlButton::kClass))
        static_cast<NvCtrlPress*>(control)->m_checked = checked ? 1 : 0;
    else
        return;
    control->Invalidate();
}

int32_t BaseChapterUICommon::GetGaugePos(int32_t controlId) const {
    NvControl* control = BoardControl(controlId);
    if (!control || !control->IsKindOf(&NvCtrlProgressbar::kClass)) return 0;
    return static_cast<NvCtrlProgressbar*>(control)->m_pos;
}

void BaseChapterUICommon::SetGaugePos(int32_t controlId, int32_t pos) {
    NvControl* control = BoardControl(controlId);
    if (!control || !control->IsKindOf(&NvCtrlProgressbar::kClass) || pos < 0 || pos > 0xFFFF) return;
    static_cast<NvCtrlProgressbar*>(control)->SetPos(static_cast<uint16_t>(pos));
}

void BaseChapterUICommon::SetTabPage(int32_t controlId, int32_t page, bool redraw) {
    NvControl* control = BoardControl(controlId);
    if (!control || !control->IsKindOf(&NvCtrlTieScroll::kClass)) return;
    static_cast<NvCtrlTieScroll*>(control)->SetCurPage(page, redraw);
}

bool BaseChapterUICommon::SelectTab(int32_t n) {
    if (n < 0 || n >= static_cast<int32_t>(m_tabPages.size())) return false;
    if (m_currentTab >= 0 && m_currentTab < static_cast<int32_t>(m_tabPages.size()))
        if (NvControl* page = BoardControl(m_tabPages[static_cast<size_t>(m_currentTab)]))
            page->m_flags |= kNvFlagHidden;
    if (NvControl* page = BoardControl(m_tabPages[static_cast<size_t>(n)])) {
        page->m_flags &= ~kNvFlagHidden;
        page->Invalidate();
    }
    m_currentTab = n;
    return true;
}

void BaseChapterUICommon::RestoreTab() {
    if (m_tabPages.empty() || m_tabControlId == 0) return;
    NvControl* tab = BoardControl(m_tabControlId);
    if (!tab || !tab->IsKindOf(&NvCtrlTieScroll::kClass)) return;
    const int32_t stored = m_currentTab;
    if (static_cast<NvCtrlTieScroll*>(tab)->GetCurPage() != stored) {
        m_currentTab = 0;
        SelectTab(stored);
        SetTabPage(m_tabControlId, stored, true);
    }
}

// ---- BaseChapterSetting -----------------------------------------------------

BaseChapterSetting::BaseChapterSetting(int32_t chapterId)
    : BaseChapterUICommon(chapterId), m_uiInfo(CMgrConfigUIInfo::Instance()) {}

int32_t BaseChapterSetting::OnApply() {
    if (!m_settingDlg) return 0;
    CMgrConfigUISetting* live = CMgrConfigUISetting::Instance();
    {
        MgrLock hold(*live->GetLock());
        m_settingDlg->Store(&live->Record(), 1);
    }
    return live->SaveUISetting();
}

void BaseChapterSetting::ApplyAndBack() {
    OnApply();
    OnBack(0);
}

void BaseChapterSetting::ResetToDefaults(int ask) {
    if (ask == 1 && NvShowMessageBox(779, u"모든 설정값을 초기설정값으로\\n변경하시겠습니까?", 2, u"예", u"아니오",
                                     nullptr, 5000, 0) != 1)
        return;
    if (m_settingDlg) m_settingDlg->RestoreDefaults(1);
}
