#pragma once
// The popup table: at most 8 open popups with their close-on-touch value,
// time-out, state and level, and the highest open level. Main thread only.
#include <cstdint>
#include <vector>

class NvControl;

inline constexpr int kNvMaxPopups = 8;
inline constexpr uint16_t kNvNoTimeout = 0xFFFF;

// Popup states.
enum : uint8_t {
    kNvPopupClosing = 1,
    kNvPopupOpen = 2,
    kNvPopupTimed = 3,
    kNvPopupCloseRequested = 4,
};

struct NvPopupEntry {
    NvControl* control = nullptr;
    uint16_t closeOnTouch = 0;
    uint16_t timeoutMs = kNvNoTimeout;
    uint32_t expiry = 0xFFFFFFFF;
    uint8_t changed = 0;
    uint8_t restartOnTouch = 0;
    uint8_t state = 0;
    uint8_t level = 0;
};

class NvPopupController {
public:
    int Count() const { return m_count; }
    NvPopupEntry& At(int i) { return m_entries[i]; }
    // The open popups' controls in table order: a pass that closes some
    // walks this copy, since closing moves the later entries up.
    std::vector<NvControl*> Snapshot() const;
    // The entry of a control, or -1.
    int Find(const NvControl* control) const;
    int HighestLevel() const { return m_highestLevel; }
    void SetHighestLevel(int level) { m_highestLevel = level; }

    int Show(NvControl* control, uint16_t closeOnTouch, uint16_t timeoutMs, uint8_t restartOnTouch, uint8_t level,
             uint32_t tick);
    bool Hide(NvControl* control, bool release);
    void CloseLevel(NvControl* control);
    void CloseAll();
    void Clear();

private:
    void RecomputeLevel();

    NvPopupEntry m_entries[kNvMaxPopups];
    int m_count = 0;
    int m_highestLevel = 0;
};

// The host's popup table (null before the host exists).
NvPopupController* NvGetPopupController();
int NvShowPopup(NvControl* control, uint16_t closeOnTouch, uint16_t timeoutMs, uint8_t restartOnTouch, uint8_t level);
bool NvHidePopup(NvControl* control, bool release);
void NvClosePopupLevel(NvControl* control);
void NvCloseAllPopups();
void NvClearPopups();
bool NvPopupNoLevel();
NvControl* NvGetPopupControl(int index);
