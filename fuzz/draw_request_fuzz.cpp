// The 48-byte draw request from untrusted bytes through the renderer's
// request validation: every field must come out inside its range (view
// modes 0..10, 10 being the route comparison).
#include <cstdlib>
#include <cstring>

#include "render/draw_map.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kMneDrawRequestBytes) return 0;
    static MneFixedDrawInputs inputs;
    static CMneDrawMap map(&inputs, nullptr, nullptr);
    MneDrawRequest request = DecodeDrawRequest(data);
    uint8_t again[kMneDrawRequestBytes];
    EncodeDrawRequest(request, again);
    if (std::memcmp(again, data, kMneDrawRequestBytes) != 0) std::abort();
    const int settled = map.ValidateRequest(request);
    if (request.centreMode > 1 || request.birdView > 1 || request.northUp > 1 || request.trafficPass > 1 ||
        request.styleMode > 1 || request.viewMode > 10 || request.screenIndex > 1 || request.poiPass > 2 ||
        request.scaleStep > 14 || (request.birdView && request.northUp && request.viewMode != 8))
        std::abort();
    // Without a style the colour mode cannot load and the validation stops
    // before the theme and the look-ahead view's settings.
    if (settled && request.viewMode == 5 && request.scaleStep != 12) std::abort();
    return 0;
}
