#pragma once
// The procedures four map screens install around every frame of the board
// host: they fit the board to the actual screen size (which may be larger
// than the 800 x 480 design) and darken the map while certain popups are
// open. Each screen makes its procedure in its constructor, installs it on
// activation and then calls ActivateSceneProc.
#include <cstdint>
#include <functional>

#include "shell/board_helper.h"
#include "uikit/board_manager.h"

// Runs the procedure's after-resize hook with the toolkit's screen size.
void ActivateSceneProc(NvCustomSceneProc* proc);

// Drive screen: the bottom bar and corner controls follow the screen
// height, the screen parts re-place themselves, the map and the panels
// beside it move down by up to 54 pixels under the top bars; the map is
// dimmed while popup 385 is open.
class DriveSceneProc : public NvCustomSceneProc {
public:
    void AfterResize(int32_t width, int32_t height) override;
    void BeforePopups() override;
    // Called for each shown control of a screen part (123, 131, 134, 137,
    // 233) so that its part re-places itself for the guidance panel mode.
    std::function<void(int32_t controlId)> placeScreenPart;
    // The vertical offset of the last resize.
    int32_t OffsetY() const { return m_offsetY; }

private:
    BoardHelper m_helper;
    int32_t m_offsetY = 0;
};

// Map-move screen: the two dynamic panels 2 and 3 take the screen width.
class MapMoveSceneProc : public NvCustomSceneProc {
public:
    void AfterResize(int32_t width, int32_t height) override;

private:
    BoardHelper m_helper;
};

// Route information screen: panel 2 takes the width, the statics 3 and 4
// share what is left beside controls 6, 7 and 5; the map is dimmed while
// popup 67 is open.
class RouteInfoSceneProc : public NvCustomSceneProc {
public:
    void AfterResize(int32_t width, int32_t height) override;
    void BeforePopups() override;

private:
    BoardHelper m_helper;
};

// Route progress screen: as the map-move screen.
class RouteProgressSceneProc : public NvCustomSceneProc {
public:
    void AfterResize(int32_t width, int32_t height) override;

private:
    BoardHelper m_helper;
};
