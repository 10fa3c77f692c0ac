#pragma once
// The value controls: NvCtrlSlidebar (kind 7), NvCtrlProgressbar (kind 8)
// and NvCtrlComboBox (kind 13, a field with a drop list of up to 32 texts
// shown as a popup).
#include <cstdint>
#include <string>

#include "uikit/nv_object.h"

class NvCtrlSlidebar : public NvControl {
public:
    static const NvRuntimeClass kClass;
    const NvRuntimeClass* GetRuntimeClass() const override { return &kClass; }

    void Layout() override;
    bool OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) override;
    void Draw(int target, bool full) override;
    bool SetPos(int32_t position);
    uint16_t GetPos() const { return m_pos; }

    uint16_t m_pos = 0;
    uint16_t m_count = 0;
    uint8_t m_vertical = 0;
    uint8_t m_spare[2] = {1, 1};
    uint8_t m_dragMoves = 1;

private:
    bool HasFill() const;
};

class NvCtrlProgressbar : public NvControl {
public:
    static const NvRuntimeClass kClass;
    const NvRuntimeClass* GetRuntimeClass() const override { return &kClass; }

    void Layout() override;
    bool OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) override;
    void Draw(int target, bool full) override;
    bool SetPos(uint16_t position);
    // The bar's drawn extent (width or height) at the current position.
    int32_t BarExtent() const;

    uint16_t m_pos = 0;
    uint16_t m_max = 0;
    int32_t m_vertical = 0;
};

class NvCtrlComboBox : public NvControl {
public:
    static constexpr int kMaxItems = 32;
    static constexpr uint16_t kOpenRequest = 0x10;
    static constexpr uint16_t kOpen = 0x100;
    static const NvRuntimeClass kClass;
    const NvRuntimeClass* GetRuntimeClass() const override { return &kClass; }

    void Layout() override;
    bool OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) override;
    void Update(uint32_t tick, uint32_t arg, uint32_t updateFlags) override;
    void Draw(int target, bool full) override;
    NvNode* HitTest(int32_t x, int32_t y) override;
    bool ClosePopup(bool all) override;

    void SetItemCount(int n);
    int GetItemCount() const { return m_itemCount; }
    bool SetItemText(int n, const char16_t* text);
    const std::u16string& GetItemText(int n) const { return m_items[n & 31]; }
    NvControl* GetTextControl();
    bool IsOpen() const { return (m_state & kOpen) != 0; }
    // The list row under y, or -1.
    int RowAt(int32_t y) const;
    // Remote control over the open list's items: up (3) and down (4); 0
    // puts the focus on the first item.
    bool MoveRemoconFocus(int direction) override;
    bool SetRemoconFocus(int item) override;

    uint16_t m_itemCount = 0;
    NvRect m_closedRect;
    std::u16string m_items[kMaxItems];
    int32_t m_focusItem = 0;
};

// The last combo box whose list closed (its focused child is the drop button).
NvCtrlComboBox* NvLastClosedComboBox();
