#pragma once
// Installs the overlays that come from the guidance and user-data side into
// the frame: the route (rows, the band of the route being driven and their
// arrows), the course, search and route-section lines with their markers,
// the target line, the user markers, the position trail, the road-attribute
// symbols and the bird's-eye sky strip, and the view fitting of the
// fitting modes. The overlays read their inputs from the source once per
// pass (the settings-backed source when null).
#include <memory>

#include "render/draw_map.h"
#include "render/overlay_inputs.h"

void InstallOverlayPasses(CMneDrawMap& map, std::shared_ptr<MneOverlaySource> source = nullptr);
