#pragma once
// The list controls: NvCtrlList (kind 2: rows of radio buttons, two-line and
// check modes, row icons), NvCtrlListScroll (kind 11) and NvCtrlBallScroll
// (kind 3) that keep a top index over a total, and NvCtrlTieScroll (kind 12),
// a page indicator. None holds the data: the screen fills the rows.
// Rows and parts are addressed by child number, always bounded by the real
// child count, so a record with fewer parts draws less instead of failing.
#include <cstdint>
#include <memory>
#include <vector>

#include "uikit/ctrl_button.h"

class NvCtrlList : public NvControl {
public:
    static const NvRuntimeClass kClass;
    // The font record of the second line of two-line rows.
    static constexpr int kSubLineFont = 15;
    const NvRuntimeClass* GetRuntimeClass() const override { return &kClass; }

    void Layout() override;
    bool OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) override;

    // Row n (a radio button), null beyond the record's rows or children.
    NvCtrlRadioButton* Row(int n) const;
    int RowCount() const { return m_rowCount; }
    int GetCurSel() const { return m_selected; }
    bool SetCurSel(int row);
    void ClearSelection() { SetCurSel(-1); }
    void SetCheckMode(bool on);
    bool SetRowCheck(int row, bool on);
    bool GetRowCheck(int row) const;
    bool SetRowText(int row, const char16_t* text, bool sub, bool redraw);
    bool SetRowTextIndent(int row, int16_t x);
    void SetRowsTextOffset(int16_t x, int16_t y, bool sub);
    void SetRowAttr(uint16_t value);
    bool SetRowIconPos(int row, int icon, int32_t x, int32_t y, bool redraw);
    bool SetRowIconRsc(int row, int icon, int32_t resourceId, bool redraw);
    // Copies the pixels into the row's icon (a new icon of the image's size
    // when it has another size or is a shared one).
    bool SetRowIconImage(int row, int icon, const NvImageData* image, bool redraw);
    void SetSubTextMode(bool on);
    void ClearRows();
    // Remote control (only while the host's focus keeper is on): the focus
    // starts on the selected row (else the first) and moves up (3) and down
    // (4) over the rows.
    void InitRemoconFocus() override;
    bool MoveRemoconFocus(int direction) override;
    bool SetRemoconFocus(int row) override;

    int16_t m_selected = -1;
    uint16_t m_rowCount = 0;
    int32_t m_twoLine = 0;
    NvRadioButtonGroup m_group;
    int32_t m_checkMode = 0;
    std::vector<uint8_t> m_checks;
    int32_t m_focusRow = 0;

private:
    void LayOutSubLine(NvCtrlRadioButton* row);
};

// Top index over a total; children 0..3 page up, page down, line up, line
// down, 4 the position display, 5 the total display.
class NvCtrlListScroll : public NvControl {
public:
    static const NvRuntimeClass kClass;
    const NvRuntimeClass* GetRuntimeClass() const override { return &kClass; }

    void Layout() override;
    bool OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) override;
    void SetTotalCount(int32_t n);
    void SetTopIndex(int32_t n);
    int32_t GetTopIndex() const { return m_top; }
    void RefreshDisplays();

    int32_t m_total = 0;
    int32_t m_page = 0;
    int32_t m_top = 0;
};

// As the list scroll; child 4 the ball, child 5 its track (never drawn).
class NvCtrlBallScroll : public NvControl {
public:
    static const NvRuntimeClass kClass;
    const NvRuntimeClass* GetRuntimeClass() const override { return &kClass; }

    void Layout() override;
    bool OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) override;
    void Draw(int target, bool full) override;
    void SetTotalCount(int32_t n);
    void SetTopIndex(int32_t n);
    int32_t GetTopIndex() const { return m_top; }
    void PlaceBall();

    int32_t m_total = 0;
    int32_t m_page = 0;
    int32_t m_top = 0;
};

// Child 0 previous, child 1 next, child 2 + p the marker of page p.
class NvCtrlTieScroll : public NvControl {
public:
    static const NvRuntimeClass kClass;
    const NvRuntimeClass* GetRuntimeClass() const override { return &kClass; }

    void Layout() override;
    bool OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) override;
    bool SetCurPage(int page, bool redraw);
    int GetCurPage() const { return m_page; }

    uint8_t m_pageCount = 0;
    uint8_t m_page = 0;

private:
    void Mark(int page, uint16_t state);
};
