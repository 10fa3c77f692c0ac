#pragma once
// The node tree every screen is drawn and hit-tested as: NvNode (children),
// NvControl (a control built from a layout item and its control record),
// the children array, the last control event and NvCreateControl with the
// table where control kinds plug in.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "uikit/image_resource.h"
#include "uikit/nv_rsc_object.h"
#include "uikit/ui_script.h"

class NvText;
class NvTextML;

// The pointer array that holds a node's children: holes are normal inside.
template <typename T>
class NvTArray {
public:
    explicit NvTArray(uint32_t capacity = 0, uint32_t growBy = 1) : m_items(capacity, nullptr), m_growBy(growBy) {}
    virtual ~NvTArray() = default;

    uint32_t Capacity() const { return static_cast<uint32_t>(m_items.size()); }
    uint32_t Count() const { return m_count; }
    uint32_t NonNull() const { return m_used; }
    T At(uint32_t i) const { return i < m_count ? m_items[i] : nullptr; }

    // An index at or beyond the capacity is ignored.
    void SetAt(uint32_t i, T value) {
        if (i >= m_items.size()) return;
        if (m_items[i]) --m_used;
        m_items[i] = value;
        if (value) ++m_used;
        if (i >= m_count) m_count = i + 1;
    }
    void AppendAt(uint32_t i, T value) {
        if (i >= m_items.size()) m_items.resize(i + std::max<uint32_t>(m_growBy, 1), nullptr);
        SetAt(i, value);
    }
    // The first hole below the count, else the end. -1 for null.
    int32_t AddReuse(T value) {
        if (!value) return -1;
        for (uint32_t i = 0; i < m_count; ++i)
            if (!m_items[i]) {
                SetAt(i, value);
                return static_cast<int32_t>(i);
            }
        AppendAt(m_count, value);
        return static_cast<int32_t>(m_count - 1);
    }
    void RemoveAt(uint32_t i) {
        if (i >= m_count) return;
        if (m_items[i]) --m_used;
        m_items[i] = nullptr;
        if (i == m_count - 1) --m_count;
    }
    void SetCapacity(uint32_t capacity) {
        for (uint32_t i = capacity; i < m_items.size(); ++i)
            if (m_items[i]) --m_used;
        m_items.resize(capacity, nullptr);
        m_count = std::min(m_count, capacity);
    }
    // Stores without touching the counters' meaning (reordering).
    void Swap(std::vector<T>& order) {
        for (uint32_t i = 0; i < order.size() && i < m_items.size(); ++i) m_items[i] = order[i];
    }

private:
    std::vector<T> m_items;
    uint32_t m_count = 0;
    uint32_t m_used = 0;
    uint32_t m_growBy = 1;
};

// The last control event: layout id, value, action (1 press, 2 release).
struct NvCtrlEvent {
    int32_t layoutId = 0;
    int32_t value = 0;
    int32_t action = 0;
    int32_t spare = 0;
};

// Update flag bit 1 of NvNode::Update marks the node dirty.
inline constexpr uint32_t kNvUpdateDirty = 0x2;
inline constexpr uint16_t kNvNoSubIndex = 0xFFFF;

class NvNode : public NvRscObject {
public:
    explicit NvNode(uint32_t childCapacity = 0) : m_children(childCapacity, 1) {}
    ~NvNode() override;

    static const NvRuntimeClass kClass;
    const NvRuntimeClass* GetRuntimeClass() const override { return &kClass; }

    NvRscObject* FindByName(const char* name) override;
    virtual NvNode* HitTest(int32_t x, int32_t y);
    void Update(uint32_t tick, uint32_t arg, uint32_t updateFlags) override;
    virtual void MoveBy(int32_t dx, int32_t dy);
    void Draw(int target, bool full) override;
    virtual void AddChild(NvNode* child, bool reuse);
    virtual NvNode* RemoveChild(NvNode* child);
    virtual NvNode* RemoveChildAt(uint32_t index);
    virtual NvNode* SetChildAt(uint32_t index, NvNode* child);
    virtual bool OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex);
    virtual void Invalidate() { SetUpdateFlag(true); }
    virtual void NotifyParent(int32_t value);
    virtual void ChangeZOrder(bool raise);
    virtual void DumpTree(std::vector<std::string>& lines);
    virtual void Dump(std::vector<std::string>& lines);
    virtual void Layout() {}
    virtual void LayoutAll();

    NvNode* GetChild(uint32_t index) const { return m_children.At(index); }
    uint32_t ChildCount() const { return m_children.Count(); }
    int32_t IndexOf(const NvNode* child) const;
    // The draw and update guard: hidden children and open popups are skipped.
    static bool Visible(const NvNode* node) {
        return node && !(node->m_flags & (kNvFlagHidden | kNvFlagPopup));
    }

    uint8_t m_popup = 0;
    NvTArray<NvNode*> m_children;
};

class NvControl : public NvNode {
public:
    NvControl();
    ~NvControl() override;

    static const NvRuntimeClass kClass;
    const NvRuntimeClass* GetRuntimeClass() const override { return &kClass; }

    void Draw(int target, bool full) override;
    void Dump(std::vector<std::string>& lines) override;
    void Layout() override;
    virtual void LoadImagesAll(int mode);
    virtual void ReleaseImagesAll();
    virtual bool LoadStateImages();
    virtual bool ReleaseStateImages();
    virtual bool ShowPopup(uint16_t closeOnTouch, uint16_t timeoutMs, uint8_t restartOnTouch, uint8_t level);
    virtual bool ClosePopup(bool all);
    virtual void AlignAll();
    virtual void Align();
    virtual bool MoveTo(int32_t x, int32_t y, bool relative);
    virtual bool MoveRemoconFocus(int /*direction*/) { return false; }
    virtual bool SetRemoconFocus(int /*index*/) { return false; }
    virtual void InitRemoconFocus() {}

    // The state image shown now (the normal one unless a control says so).
    virtual NvImageRsc* ChosenImage();
    // Redraws the ancestors' images under the control (background mode 1).
    void RestoreAncestors();
    // Draws the state image and the texts; the dirty bit is cleared.
    void DrawSelf();

    // Text accessors (the text is made on demand over the rectangle).
    NvText* GetTextObject(bool sub, bool create);
    void SetText(const char16_t* text, bool sub, bool redraw);
    const char16_t* GetText(bool sub);
    void SetTextOffset(int state, int16_t x, int16_t y, bool sub);
    void SetTextFontSize(int state, uint8_t size, bool sub);
    void SetTextStyle(int state, const tagUISCRIPT_TEXTSTYLE& style, bool sub);
    void SetTextColor(int state, uint8_t red, uint8_t green, uint8_t blue, bool sub);
    void SetTextAlign(int state, uint16_t align, bool sub);
    int GetTextLength(bool sub);  // 0 without a text
    void SetTextKeepEnd(bool on, bool sub);
    void SetCaretIndex(uint16_t index, bool redraw);
    uint16_t GetCaretIndex();
    void SetCaretEnable(bool on);
    void SetCaretShow(bool on);
    // The disabled byte (set through NvSetControlDisable on any control).
    bool IsDimmed() const { return m_disabled != 0; }
    NvTextML* GetTextML() const { return m_textML.get(); }
    void SetTextML(std::unique_ptr<NvTextML> text);

    int32_t m_kind = 0;
    int32_t m_controlId = 0;
    int32_t m_layoutId = 0;
    int32_t m_parentLayoutId = 0;
    std::unique_ptr<NvImageRsc> m_images[6];
    uint8_t m_subControl = 0;
    uint16_t m_state = 1;
    uint16_t m_subIndex = kNvNoSubIndex;
    uint8_t m_bgMode = 0;
    // Read by the press controls, kept on every control so that a screen
    // may disable or silence any of them.
    uint8_t m_disabled = 0;
    uint8_t m_touchSound = 1;
    const tagUISCRIPT_CONTROL* m_record = nullptr;
    uint16_t m_attr1 = 0;
    const int16_t* m_itemExtra = nullptr;
    const tagUISCRIPT_LAYOUT* m_item = nullptr;
    int32_t m_caretFlag = 0;
    std::unique_ptr<NvText> m_text;
    std::unique_ptr<NvText> m_subText;
    std::unique_ptr<NvTextML> m_textML;
};

// A static (kind 5): its state image and its texts, the multi-line one too.
class NvCtrlStatic : public NvControl {
public:
    static const NvRuntimeClass kClass;
    const NvRuntimeClass* GetRuntimeClass() const override { return &kClass; }
};

// A static panel (kind 15, second attribute 0): a background with children.
class NvCtrlStaticPanel : public NvControl {
public:
    static const NvRuntimeClass kClass;
    const NvRuntimeClass* GetRuntimeClass() const override { return &kClass; }
    bool ShowPopup(uint16_t closeOnTouch, uint16_t timeoutMs, uint8_t restartOnTouch, uint8_t level) override;
};

// Makes the control of one kind from its control record; null refuses.
using NvControlFactory = NvControl* (*)(const tagUISCRIPT_CONTROL& record);
// Control kinds plug in here (1..16); a null factory restores the default,
// which builds the generic control (its image and texts) for every kind
// that has no class of its own yet.
void NvRegisterControlKind(int32_t kind, NvControlFactory factory);

// The tables the controls are built from (the board host sets them).
// Moves a remote-control focus index over count entries: 3 up, 4 down;
// false at either end, for another direction or when the index is outside.
bool NvStepRemoconFocus(int32_t& focus, int count, int direction);

void NvSetUiScript(const NvUiScript* script);
const NvUiScript* NvGetUiScript();

// A control from a layout item; null for a kind outside 1..16, a missing
// control record or font record, or kind 15 with a second attribute other
// than 0 or 1.
NvControl* NvCreateControl(const tagUISCRIPT_LAYOUT* item, uint16_t subIndex);
