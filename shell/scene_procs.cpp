#include "shell/scene_procs.h"

#include <algorithm>

namespace {

constexpr int32_t kDesignHeight = 480;
// The most the map moves down under the top bars of a taller screen.
constexpr int32_t kMaxOffsetY = 54;

int32_t WidthOf(BoardHelper& helper, int32_t id) {
    int32_t width = 0;
    helper.GetControlSize(id, &width, nullptr);
    return width;
}

int32_t HeightOf(BoardHelper& helper, int32_t id) {
    int32_t height = 0;
    helper.GetControlSize(id, nullptr, &height);
    return height;
}

int32_t LaidOutX(BoardHelper& helper, int32_t id) {
    int32_t x = 0;
    helper.GetControlPos(id, &x, nullptr, 0, 0);
    return x;
}

int32_t LaidOutY(BoardHelper& helper, int32_t id) {
    int32_t y = 0;
    helper.GetControlPos(id, nullptr, &y, 0, 0);
    return y;
}

// Bottom-anchored controls: y = screen height + laid-out y - own height.
void PlaceAtBottom(BoardHelper& helper, int32_t id, int32_t x, int32_t height) {
    if (!helper.IsControlShown(id)) return;
    if (NvBoardManager* host = BoardHelper::Host())
        host->MoveControl(id, x, height + LaidOutY(helper, id) - HeightOf(helper, id), false);
}

}  // namespace

void ActivateSceneProc(NvCustomSceneProc* proc) {
    if (!proc) return;
    const NvRect& screen = NvToolkit().screen;
    proc->AfterResize(screen.width, screen.height);
}

void DriveSceneProc::AfterResize(int32_t width, int32_t height) {
    BoardHelper& h = m_helper;
    const int32_t rest = width - WidthOf(h, 235) - WidthOf(h, 236) - WidthOf(h, 257);
    h.ResizeDynamicPanelWidth(237, rest);
    h.SetStaticRect(238, LaidOutX(h, 237), h.GetControlAbsY(237), rest, HeightOf(h, 238));

    PlaceAtBottom(h, 347, LaidOutX(h, 347), height);
    PlaceAtBottom(h, 330, LaidOutX(h, 330), height);
    PlaceAtBottom(h, 370, h.GetControlAbsX(370), height);

    for (int32_t id : {123, 131, 134, 137, 233})
        if (placeScreenPart && h.IsControlShown(id)) placeScreenPart(id);

    m_offsetY = h.IsControlShown(103) || h.IsControlShown(225) ? std::min(height - kDesignHeight, kMaxOffsetY) : 0;
    for (int32_t id : {42, 95, 98, 143}) {
        if (!h.IsControlShown(id)) continue;
        h.SetControlPos(id, 0, m_offsetY, 0);
        break;
    }
}

void DriveSceneProc::BeforePopups() {
    if (m_helper.IsPopupOpen(385)) BoardHelper::DimScreen();
}

void MapMoveSceneProc::AfterResize(int32_t width, int32_t) {
    m_helper.ResizeDynamicPanelWidth(2, width);
    m_helper.ResizeDynamicPanelWidth(3, width);
}

void RouteInfoSceneProc::AfterResize(int32_t width, int32_t) {
    BoardHelper& h = m_helper;
    h.ResizeDynamicPanelWidth(2, width);
    const int32_t w6 = WidthOf(h, 6), w7 = WidthOf(h, 7), w5 = WidthOf(h, 5);
    const int32_t half = (width - w6 - w7 - w5) / 2;
    h.SetStaticRect(3, w6, 0, half, HeightOf(h, 3));
    h.SetStaticRect(4, w6 + half + w5, 0, half, HeightOf(h, 4));
}

void RouteInfoSceneProc::BeforePopups() {
    if (m_helper.IsPopupOpen(67)) BoardHelper::DimScreen();
}

void RouteProgressSceneProc::AfterResize(int32_t width, int32_t) {
    m_helper.ResizeDynamicPanelWidth(2, width);
    m_helper.ResizeDynamicPanelWidth(3, width);
}
