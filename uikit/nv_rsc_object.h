#pragma once
// The roots of every UI object: the run-time class records, NvObject, the
// rectangle and NvRscObject (flags, parent, rectangle). Controls build on
// them in uikit/nv_object.h; image resource objects and the renderer too.
#include <cstdint>
#include <string>

class NvNode;

// One static record per class: its name and its base's record.
struct NvRuntimeClass {
    const char* className;
    const NvRuntimeClass* baseClass;
};

// x (left), width, y (top), height. Point tests include both edges.
struct NvRect {
    int32_t x = 0;
    int32_t width = 0;
    int32_t y = 0;
    int32_t height = 0;

    bool Contains(int32_t px, int32_t py) const {
        const int32_t ux = static_cast<uint16_t>(px), uy = static_cast<uint16_t>(py);
        return x <= ux && ux <= x + width && y <= uy && uy <= y + height;
    }
};

// Flag bits of NvRscObject.
inline constexpr uint16_t kNvFlagHidden = 0x01;  // "cull flag"
inline constexpr uint16_t kNvFlagDirty = 0x02;   // "update flag"
inline constexpr uint16_t kNvFlagPopup = 0x10;   // drawn by the popup layer, not its parent

class NvObject {
public:
    NvObject() = default;
    virtual ~NvObject() = default;
    NvObject(const NvObject&) = delete;
    NvObject& operator=(const NvObject&) = delete;

    static const NvRuntimeClass kClass;
    virtual const NvRuntimeClass* GetRuntimeClass() const { return &kClass; }
    // True when this object's class is cls or derives from it.
    bool IsKindOf(const NvRuntimeClass* cls) const;

    std::string m_name;  // empty for controls built from scripts
};

class NvRscObject : public NvObject {
public:
    static const NvRuntimeClass kClass;
    const NvRuntimeClass* GetRuntimeClass() const override { return &kClass; }

    // This object when its name equals name, else null.
    virtual NvRscObject* FindByName(const char* name);
    // Sets the dirty bit when the object has an area.
    virtual void Update(uint32_t tick, uint32_t arg, uint32_t updateFlags);
    virtual void Draw(int target, bool full);

    void SetFlags(bool set, uint16_t bits) { m_flags = set ? (m_flags | bits) : (m_flags & ~bits); }
    void SetCullFlag(bool hidden) { SetFlags(hidden, kNvFlagHidden); }
    void SetUpdateFlag(bool dirty) { SetFlags(dirty, kNvFlagDirty); }
    bool IsHidden() const { return (m_flags & kNvFlagHidden) != 0; }
    bool IsDirty() const { return (m_flags & kNvFlagDirty) != 0; }
    const NvRect& GetRect() const { return m_rect; }
    NvRect GetLocalRect() const;

    uint16_t m_flags = 0;
    NvNode* m_parent = nullptr;
    uint8_t m_relative = 0;
    NvRect m_rect;
};
