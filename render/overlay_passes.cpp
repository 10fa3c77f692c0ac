#include "render/overlay_passes.h"

#include "render/route_overlay.h"
#include "render/view_fit.h"

namespace {

// What the installed passes share: the source and the route caches.
struct OverlayState {
    std::shared_ptr<MneOverlaySource> source;
    MneRouteOverlay route;
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
        const MneOverlayInputs& in = state->Read();
        MapPoint centre{};
        const int scale = level < 0 ? -1 : m.Style().ScaleOfLevel(level);
        return FitView(m, in, mode, &centre, scale);
    });
    map.SetPassHandler(MnePass::kRoute, [state](CMneDrawMap& m, const MnePassContext& c) {
        state->route.DrawRoute(m, state->Read(), state->source.get(), c.routeFlag);
    });
}
