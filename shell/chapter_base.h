#pragma once
// The chapter interfaces: every screen is a chapter, made by the chapter
// manager's factory under a chapter id, activated, fed with window messages
// and the 150 ms update, deactivated and deleted by the manager. The bases:
//   BaseChapter          the root interface;
//   BaseChapterMU        the map screens (no board of their own);
//   BaseChapterBoard     one board with a back and a current-position control;
//   BaseChapterUICommon  one board plus declarative bindings (check boxes,
//                        dimmed buttons, gauges, tab pages) that keep
//                        controls in step with program values and turn
//                        presses into chapter events;
//   BaseChapterSetting   a settings page editing one settings-dialog record.
// All of them run on the main thread. The board exists only while its
// chapter is active, so chapters reach controls by layout id at each use
// and keep whatever must survive in themselves.
#include <cstdint>
#include <vector>

class NvBoardManager;
class NvControl;
class CMgrConfigUISettingDlg;
class CMgrConfigUIInfo;

// Window messages a chapter sees.
inline constexpr uint32_t kChapterMsgPaint = 15;
inline constexpr uint32_t kChapterMsgLButtonDown = 513;
inline constexpr uint32_t kChapterMsgTypedChar = 20002;

// Chapter events every screen may post.
inline constexpr int32_t kChapterEventBack = 90;
inline constexpr int32_t kChapterEventHome = 148;

// Answers of the chapter message box: the first button of a one- or
// two-button box.
inline constexpr int kChapterBoxFirstButton = 8192;

class BaseChapter {
public:
    explicit BaseChapter(int32_t chapterId) : m_chapterId(chapterId) {}
    virtual ~BaseChapter() = default;
    BaseChapter(const BaseChapter&) = delete;
    BaseChapter& operator=(const BaseChapter&) = delete;

    virtual void ActiveChapter() = 0;
    // A window message for the current chapter.
    virtual int32_t OnMessage(uint32_t message, uint64_t wParam, int64_t lParam) = 0;
    virtual void Update() = 0;
    virtual void DeActiveChapter() = 0;

    int32_t GetChapterId() const { return m_chapterId; }
    // Set by the transition's after-callback on the chapter made current,
    // read by the screen in ActiveChapter to pick its variant.
    int32_t GetEntryMode() const { return m_entryMode; }
    int32_t GetEntryValue() const { return m_entryValue; }
    void SetEntryMode(int32_t mode) { m_entryMode = mode; }
    void SetEntryValue(int32_t value) { m_entryValue = value; }

protected:
    int32_t m_chapterId;
    int32_t m_entryMode = 0;
    int32_t m_entryValue = 0;
};

// The board host of the process (null before the window made one); every
// base skips its board work without one.
NvBoardManager* ChapterBoardHost();

// The question before going back to the current position, shared by the
// board bases: 1 go on, 0 stay. While a route is guided and the course was
// changed against its backup, the driver is asked; any answer but the first
// button keeps everything. Without a GPS fix the course's start point
// becomes the current map position.
int ConfirmReturnToCurrentPosition();

// The touch-cancel sound ("%sWave\TouchCancel.wav" on the map folder) when
// touch sounds are on.
void PlayTouchCancel();

// A character typed for the current screen as a key index of the board's
// on-screen keyboard, or -1 when there is no keyboard or the character
// has no key. *layoutId gets the keyboard's layout id.
int32_t TypedCharToKeyIndex(char16_t ch, int32_t* layoutId);

// ---------------------------------------------------------------------------

class BaseChapterMU : public BaseChapter {
public:
    explicit BaseChapterMU(int32_t chapterId) : BaseChapter(chapterId) {}

    void ActiveChapter() override;
    int32_t OnMessage(uint32_t message, uint64_t wParam, int64_t lParam) override;
    void Update() override {}
    void DeActiveChapter() override;
};

// ---------------------------------------------------------------------------

class BaseChapterBoard : public BaseChapter {
public:
    explicit BaseChapterBoard(int32_t chapterId) : BaseChapter(chapterId) {}

    void ActiveChapter() override;
    int32_t OnMessage(uint32_t message, uint64_t wParam, int64_t lParam) override;
    void Update() override;
    void DeActiveChapter() override;

    virtual void OnInitBoard() {}
    virtual int32_t OnControlEvent(int32_t /*controlId*/, int32_t /*value*/, int32_t /*action*/) { return 0; }
    virtual void OnControlHit(int32_t /*controlId*/, int32_t /*value*/, int32_t /*action*/) {}
    virtual int32_t OnBack(int withSound);
    virtual int32_t OnCurrentPosition();
    virtual void PlayTouchCancel();

    int32_t GetBoardId() const { return m_boardId; }

protected:
    // Derived screens set these in their constructors (as a rule back 2,
    // current position 3; -1: not bound, the press is an ordinary event).
    void InitBoard(int32_t boardId, int32_t backControlId, int32_t currentPositionControlId) {
        m_boardId = boardId;
        m_backControlId = backControlId;
        m_currentPositionControlId = currentPositionControlId;
    }

    int32_t m_boardId = -1;
    bool m_initialised = false;
    int32_t m_backControlId = -1;
    int32_t m_currentPositionControlId = -1;
    bool m_fullRedraw = false;
    bool m_present = true;
};

// ---------------------------------------------------------------------------

// A control dimmed while a program value equals (or, inverted, differs
// from) a reference; a press posts a chapter event after post-processing.
struct UICommonButtonRule {
    int32_t controlId = 0;
    void* value = nullptr;
    int32_t size = 0;        // 1 to 4 bytes
    uint32_t reference = 0;  // compared byte-wise over size
    int32_t invert = 0;
    int32_t event = 0;       // 0: none
    int32_t postCode = 0;
    int32_t spare = 0;
};

// Check-box modes.
inline constexpr int32_t kCheckModeEquals = 1;
inline constexpr int32_t kCheckModeBitMask = 2;
inline constexpr int32_t kCheckModeToggle = 3;

struct UICommonCheckBinding {
    int32_t controlId = 0;
    void* value = nullptr;
    int32_t size = 0;
    uint32_t reference = 0;  // or the bit mask
    int32_t mode = kCheckModeEquals;
};

struct UICommonGaugeBinding {
    int32_t controlId = 0;
    void* value = nullptr;
    int32_t size = 0;
    int32_t positions = 0;
};

// Post codes whose rules post no event in the search and menu hub (42).
inline constexpr int32_t kPostCodeHubQuiet1 = 12010;
inline constexpr int32_t kPostCodeHubQuiet2 = 12020;

class BaseChapterUICommon : public BaseChapter {
public:
    explicit BaseChapterUICommon(int32_t chapterId);
    ~BaseChapterUICommon() override;

    void ActiveChapter() override;
    int32_t OnMessage(uint32_t message, uint64_t wParam, int64_t lParam) override;
    void Update() override;
    void DeActiveChapter() override;

    virtual int32_t RefreshBindings(int32_t defaultResult);
    virtual int32_t EH_LButtonDown(int32_t controlId, int32_t value, int32_t action, int32_t defaultResult);
    virtual int32_t EH_PostProcess(int32_t controlId, int32_t postCode);
    // Hooks, empty here.
    virtual int32_t OnCreate() { return 0; }          // first activation, before the board loads
    virtual int32_t OnBoardLoaded() { return 0; }     // first activation, after the load
    virtual int32_t OnActivate() { return 0; }        // every activation
    virtual int32_t OnDeactivate() { return 0; }
    virtual int32_t OnUpdate() { return 0; }          // every update
    virtual int32_t OnPreMessage(uint32_t, uint64_t, int64_t) { return 0; }
    virtual int32_t OnPreLButtonDown(int32_t, int32_t, int32_t) { return 0; }  // 1: handled
    virtual int32_t OnPostProcess(int32_t, int32_t) { return 0; }
    virtual void Redraw();
    virtual int32_t OnBack(int withSound);
    virtual int32_t OnCurrentPosition();
    virtual int32_t OnApply() { return 0; }

    // Binding set-up (constructors or OnCreate).
    void ClearButtonRules() { m_buttonRules.clear(); }
    void AddButtonRule(int32_t controlId, void* value, int32_t size, uint32_t reference, int32_t invert,
                       int32_t event, int32_t postCode);
    void AddButtonRule4(int32_t controlId, int32_t* value, int32_t reference, int32_t invert, int32_t event,
                        int32_t postCode) {
        AddButtonRule(controlId, value, 4, static_cast<uint32_t>(reference), invert, event, postCode);
    }
    int RemoveButtonRule(int32_t controlId);
    void ClearCheckBindings() { m_checkBindings.clear(); }
    // Adds the check binding and a button rule for the same control.
    void AddCheckBinding(int32_t controlId, void* value, int32_t size, uint32_t reference, int32_t mode,
                         void* ruleValue, int32_t ruleSize, uint32_t ruleReference, int32_t invert, int32_t event,
                         int32_t postCode);
    void AddCheckBinding4(int32_t controlId, int32_t* value, int32_t reference, int32_t mode, int32_t* ruleValue,
                          int32_t ruleReference, int32_t invert, int32_t event, int32_t postCode) {
        AddCheckBinding(controlId, value, 4, static_cast<uint32_t>(reference), mode, ruleValue, ruleValue ? 4 : 0,
                        static_cast<uint32_t>(ruleReference), invert, event, postCode);
    }
    // Sets the progress bar's position count and keeps the binding.
    void AddGaugeBinding(int32_t controlId, int32_t positions, void* value, int32_t size);
    void ClearGaugeBindings() { m_gaugeBindings.clear(); }
    void AddTabPage(int32_t pageControlId) { m_tabPages.push_back(pageControlId); }

    // Control shortcuts; a control that is not on the board is skipped.
    void SetControlDim(int32_t controlId, bool dim, bool redraw);
    bool IsControlDimmed(int32_t controlId) const;
    bool IsChecked(int32_t controlId) const;
    void SetChecked(int32_t controlId, bool checked, bool redraw);
    int32_t GetGaugePos(int32_t controlId) const;
    void SetGaugePos(int32_t controlId, int32_t pos);
    void SetTabPage(int32_t controlId, int32_t page, bool redraw);
    // Selects tab n (below the page count): the current page hides, page n
    // shows. False for a tab out of range.
    bool SelectTab(int32_t n);
    int32_t CurrentTab() const { return m_currentTab; }

    const std::vector<UICommonButtonRule>& ButtonRules() const { return m_buttonRules; }
    const std::vector<UICommonCheckBinding>& CheckBindings() const { return m_checkBindings; }

protected:
    // Derived screens set these in their constructors (0: no board).
    void InitBoard(int32_t boardId, int32_t backControlId, int32_t currentPositionControlId,
                   int32_t tabControlId = 0) {
        m_boardId = boardId;
        m_backControlId = backControlId;
        m_currentPositionControlId = currentPositionControlId;
        m_tabControlId = tabControlId;
    }
    // Refreshes (for all records, or those bound to value); the number of
    // controls that changed.
    int RefreshButtonRules(const void* value);
    int RefreshCheckBindings(const void* value);
    int RefreshGauges();
    // The check binding of the id applied to its value: the value pointer,
    // null when no binding matched (or, with skipDimmed, the control is
    // dimmed).
    void* ApplyCheckPress(int32_t controlId, bool skipDimmed);
    // The button rule of the id: 1 when a rule matched and ran.
    int RunButtonRule(int32_t controlId, bool force);
    void RestoreTab();

    bool m_firstActivation = true;
    int32_t m_boardId = -1;
    int32_t m_backControlId = -1;
    int32_t m_currentPositionControlId = -1;
    int32_t m_tabControlId = 0;
    int32_t m_currentTab = 0;
    std::vector<int32_t> m_tabPages;
    std::vector<UICommonButtonRule> m_buttonRules;
    std::vector<UICommonCheckBinding> m_checkBindings;
    std::vector<UICommonGaugeBinding> m_gaugeBindings;
};

// ---------------------------------------------------------------------------

class BaseChapterSetting : public BaseChapterUICommon {
public:
    explicit BaseChapterSetting(int32_t chapterId);

    // The record's values into the UI settings, then the settings file.
    int32_t OnApply() override;
    void ApplyAndBack();
    // With ask = 1 only after the driver agrees (message box 779).
    void ResetToDefaults(int ask);

protected:
    CMgrConfigUISettingDlg* m_settingDlg = nullptr;  // set by the page
    CMgrConfigUIInfo* m_uiInfo = nullptr;
};
