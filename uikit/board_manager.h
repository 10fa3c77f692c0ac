#pragma once
// The board host: loads the board of a screen by board id, routes pointer
// input (with the popup rules), updates and draws the frame, reaches
// controls by layout id, and draws the level overlay (volume, brightness,
// mute). One host per process, on the main thread.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "uikit/nv_object.h"
#include "uikit/popup.h"
#include "uikit/presenter.h"
#include "uikit/ui_script.h"

struct NvPixels;

class NvBoard : public NvControl {
public:
    explicit NvBoard(int32_t boardId) : m_boardId(boardId) { m_kind = 0; }
    ~NvBoard() override;

    static const NvRuntimeClass kClass;
    const NvRuntimeClass* GetRuntimeClass() const override { return &kClass; }

    // Builds the controls of the board; -1 on failure.
    int LoadScript(NvImageData* target);
    void DestroyControls();
    NvControl* GetControl(int32_t index) const;
    int32_t ControlCount() const { return static_cast<int32_t>(m_controls.size()); }

    void Update(uint32_t tick, uint32_t arg, uint32_t updateFlags) override;
    void Draw(int target, bool full) override;
    void Layout() override {}

    int32_t m_boardId = 0;
    int32_t m_itemCount = 0;
    std::vector<NvControl*> m_controls;  // owned; sub-controls follow the items
    uint8_t m_loadAll = 0;
    std::vector<std::unique_ptr<tagUISCRIPT_LAYOUT>> m_madeItems;  // of the sub-controls
};

// The hooks a screen installs around each frame (all empty here).
class NvCustomSceneProc : public NvObject {
public:
    virtual void BeforeUpdate() {}
    virtual void AfterUpdate() {}
    virtual void BeforeResize(int32_t, int32_t) {}
    virtual void AfterResize(int32_t, int32_t) {}
    virtual void DrawBegin() {}
    virtual void AfterMessageBox() {}
    virtual void BeforePresent() {}
    virtual void AfterPresent() {}
    virtual void BeforePopups() {}
    virtual void AfterPopups() {}
};

// The remote-control focus keeper: created off, and nothing turns it on.
class NvMouseFocus : public NvObject {
public:
    void Push() {}
    void Pop() {}
    void Reset() {}
    void TakeBoard(int32_t) {}
    bool m_enabled = false;
};

// Level overlay kinds.
enum : int {
    kNvOverlayNone = 0,
    kNvOverlayVolume = 1,
    kNvOverlayBrightness = 2,
    kNvOverlayMute = 3,
    kNvOverlayVolumeHalf = 4,
    kNvOverlayMuteHalf = 5,
};

// Toolkit-wide state kept beside the host.
struct NvToolkitState {
    std::string resourceFolder;
    NvRect screen;                 // x, width, y, height
    int32_t designWidth = 800;
    int32_t designHeight = 480;
    bool centring = false;
    bool blankBackground = false;
    bool fullRedraw = false;
    uint32_t tick = 0;
    int32_t lastX = 0, lastY = 0;
    class NvCustomSceneProc* sceneProc = nullptr;
    NvControl* messageBox = nullptr;
    int overlayKind = kNvOverlayNone;
    int volumeLevel = 0;
    int brightnessLevel = 0;
};
NvToolkitState& NvToolkit();

class NvBoardManager : public NvObject {
public:
    // resourceFolder: the UI folder (null: the program's folder).
    explicit NvBoardManager(const char* resourceFolder);
    ~NvBoardManager() override;

    // Start-up in the entry point's order: renderer, resources, scripts.
    // 1 when every part came up.
    int Start(NvPresenter* window, int32_t width, int32_t height, int rotation, int layoutIndex, int colorIndex);

    int LoadBoard(int32_t boardId);  // 1 on success, 0 on failure
    void DestroyBoard();
    void Release();
    NvBoard* GetBoard() const { return m_board.get(); }
    NvControl* GetControl(int32_t layoutId) const;
    NvControl* FindControlByKind(int32_t firstLayoutId, int32_t kind) const;
    const tagUISCRIPT_LAYOUT* GetLayoutItem(int32_t layoutId) const;
    int GetControlPos(int32_t layoutId, int32_t* x, int32_t* y, int unused, bool live) const;
    bool MoveControl(int32_t layoutId, int32_t x, int32_t y, bool relative);

    NvImageData* GetControlImage(int32_t layoutId, int state, int frame) const;
    bool LoadControlImage(int32_t layoutId, int state, int32_t resourceId);
    bool SetControlImage(int32_t layoutId, int state, std::unique_ptr<NvImageRsc> image);
    bool FreeControlImage(int32_t layoutId, int state);
    bool SetControlImageData(int32_t layoutId, int state, NvImageData* image);

    int ProcessInput(uint32_t tick, uint32_t message, uint32_t point, uint32_t size);
    int GetLastEvent(int32_t* layoutId, int32_t* value, int32_t* action) const;
    void UpdateFrame(uint32_t tick);
    void DrawFrame(bool full, bool present);
    void SetCustomSceneProc(NvCustomSceneProc* proc) { NvToolkit().sceneProc = proc; }
    bool SetLayout(int layoutIndex);
    bool SetColorScheme(int package, int colorIndex);
    void FitToScreen();

    // The overlay's bitmaps: 0 volume frame, 1 brightness frame, 2 mute,
    // 3 lit cells, 4 unlit cells, 5 volume frame of the second style, 6 spare.
    void SetOverlayImage(int index, std::unique_ptr<NvImageData> image);
    struct OverlayPlace {
        int32_t x = 0, y = 0;
    };
    OverlayPlace m_overlayPlace[6];   // by overlay kind
    NvRect m_cells[2][15];            // cell rectangles per style (kinds 1, 2 / kind 4)
    // Draws the overlay on the window, over what was presented last, and
    // leaves the back buffer as it was: the overlay goes with the next
    // present once it is switched off. The number of lit cells drawn, -1
    // when nothing was drawn.
    int DrawLevelOverlay();

    NvUiScript* Script() const { return m_script.get(); }
    NvPopupController& Popups() { return m_popups; }
    NvMouseFocus& Focus() { return m_focus; }
    const NvCtrlEvent& LastEvent() const { return m_event; }

private:
    // The overlay of the current kind into dst; its bounds in region.
    int DrawLevelOverlayInto(const NvPixels* dst, NvRect* region);

    std::unique_ptr<NvBoard> m_board;
    NvPopupController m_popups;
    NvMouseFocus m_focus;
    NvCtrlEvent m_event;
    std::unique_ptr<NvImageData> m_overlay[7];
    std::unique_ptr<NvUiScript> m_script;
    uint32_t m_lastFitTick = 0;
    bool m_fitted = false;
};

NvBoardManager* NvGetBoardManager();
// Takes the window's waiting input (stamped with the injectable clock's
// tick) and hands pointer-down and size messages to the host; other
// messages stay in queue for the program. The number handed over, or -1
// once WM_QUIT came.
int NvDispatchWindowInput(NvPresenter& window, NvBoardManager& host, NvMessageQueue& queue);
// Screen point to board point in centring mode.
void NvScreenToBoardPos(int32_t x, int32_t y, int32_t* outX, int32_t* outY);
