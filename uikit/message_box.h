#pragma once
// The toolkit's modal question: NvShowMessageBox builds an NvCtrlMessageBox
// from a kind-15 control record with six sub-controls (0 the text, 1-2 the
// buttons of a two-button box, 3-5 of a three-button box, 4 the single
// button), runs its own loop on the main thread over the event layer until
// a button is chosen, the time-out passes or WM_QUIT arrives, and answers
// 1, 2 or 3 (the button), 0 (time-out, WM_QUIT) or -1 (cannot be built).
#include <cstdint>
#include <functional>
#include <memory>

#include "uikit/nv_object.h"
#include "uikit/presenter.h"

// The event layer the box's loop runs on: the program's message loop gives
// the real one; tests script it.
class NvMessageSource {
public:
    virtual ~NvMessageSource() = default;
    // The current tick (ms).
    virtual uint32_t Now() = 0;
    // The next message of the thread. With a deadline, waits no longer than
    // until that tick and answers false when it passed with no message.
    virtual bool Wait(NvMessage* out, bool hasDeadline, uint32_t deadlineTick) = 0;
    // Translates and dispatches a message the box passes on.
    virtual void Dispatch(const NvMessage& message) = 0;
    // Posts WM_QUIT again to the main window.
    virtual void PostQuit(uint32_t wParam, uint32_t lParam) = 0;
};
void NvSetMessageSource(NvMessageSource* source);
NvMessageSource* NvGetMessageSource();

class NvCtrlMessageBox : public NvControl {
public:
    static constexpr int kChildren = 6;
    NvCtrlMessageBox();
    ~NvCtrlMessageBox() override;
    // No record of its own, and an empty dump.
    void Dump(std::vector<std::string>&) override {}

    NvControl* m_box[kChildren] = {};
    tagUISCRIPT_LAYOUT m_items[kChildren] = {};
    int32_t m_highestParent = 0;
    NvCtrlEvent m_event;
    int32_t m_focused = 0;
    NvControl* m_focus[kChildren] = {};
    int32_t m_buttonCount = 0;
};

int NvShowMessageBox(int32_t controlId, const char16_t* text, int buttonCount, const char16_t* first,
                     const char16_t* second, const char16_t* third, uint16_t timeoutMs, int style);

// True while a box is open. Work that would delete screens (a chapter
// switch) is deferred through NvRunAfterMessageBox until the box returns,
// so no caller's object is deleted under its own frame; without an open box
// the work runs at once.
bool NvIsMessageBoxOpen();
void NvRunAfterMessageBox(std::function<void()> work);
