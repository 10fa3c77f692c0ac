#include "render/overlay_passes.h"

#include "render/map_overlays.h"
#include "render/route_overlay.h"
#include "render/view_fit.h"

namespace {

// What the installed passes share: the source, the route caches and the
// overlays' buffers.
struct OverlayState {
    std::shared_ptr<MneOverlaySource> source;
    MneRouteOverlay route;
    MneMapOverlays overlays;
    MneOverlayInputs inputs;

    const MneOverlayInputs& Read() {
        source->Read(&inputs);
        return inputs;
    }
};

}  // namespace

void InstallOverlayPasses(CMneDrawMap& map, std::shared_ptr<MneOverlaySource> source) {
    auto state = std::make_shared<OverlayState>();
    state->source = source ? std::move(source) : std::make_shared<MneSettingsOverlayInputs>();
    map.SetViewFitter([state](CMneDrawMap& m, int mode, int level) {
        MapPoint centre{};
        const int scale = level < 0 ? -1 : m.Style().ScaleOfLevel(level);
        return FitView(m, state->Read(), mode, &centre, scale);
    });
    map.SetPassHandler(MnePass::kSkyStrip, [](CMneDrawMap& m, const MnePassContext&) {
        DrawSkyStrip(m, ScreenPoint{}, m.Coords().GetAngle());
    });
    map.SetPassHandler(MnePass::kRoute, [state](CMneDrawMap& m, const MnePassContext& c) {
        state->route.DrawRoute(m, state->Read(), state->source.get(), c.routeFlag);
    });
    map.SetPassHandler(MnePass::kRoadAttributes, [state](CMneDrawMap& m, const MnePassContext&) {
        state->overlays.DrawRoadAttributes(m, m.ScaleLevel());
    });
    map.SetPassHandler(MnePass::kCourseMarkers, [state](CMneDrawMap& m, const MnePassContext&) {
        state->overlays.DrawCourseMarkers(m, state->Read(), state->source.get());
    });
    map.SetPassHandler(MnePass::kTargetLine, [state](CMneDrawMap& m, const MnePassContext&) {
        state->overlays.DrawTargetLine(m, state->Read(), m.Request().centre, m.Inputs().position);
    });
    map.SetPassHandler(MnePass::kPositionTrail, [state](CMneDrawMap& m, const MnePassContext&) {
        state->overlays.DrawPositionTrail(m, state->Read());
    });
    map.SetPassHandler(MnePass::kUserMarkers, [state](CMneDrawMap& m, const MnePassContext&) {
        state->overlays.DrawUserMarkers(m, state->Read());
    });
    map.SetPassHandler(MnePass::kSearchPoints, [state](CMneDrawMap& m, const MnePassContext&) {
        state->overlays.DrawSearchPoints(m, state->Read());
    });
    map.SetPassHandler(MnePass::kRouteSections, [state](CMneDrawMap& m, const MnePassContext&) {
        state->overlays.DrawRouteSections(m, state->Read(), state->source.get());
    });
    map.SetPassHandler(MnePass::kCoursePreview, [state](CMneDrawMap& m, const MnePassContext&) {
        state->overlays.DrawCoursePreview(m, state->Read());
    });
}
