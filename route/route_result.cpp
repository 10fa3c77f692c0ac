#include "route/route_result.h"

#include <algorithm>

#include "foundation/debug_trace.h"
#include "platform/clock.h"

void RouteParamOutput::JoinSections(int n, const TrafficLookup& trafficOf) {
    n = std::clamp(n, 0, kRoutePlanMaxLegs);
    std::vector<int32_t> out;
    size_t total = 0;
    for (int k = 0; k < n; ++k) total += sections[k].links.size();
    out.reserve(total);
    std::fill(std::begin(boundaries), std::end(boundaries), 0);
    for (int k = 0; k < n; ++k) {
        std::vector<int32_t>& links = sections[k].links;
        const bool repeats = k > 0 && !out.empty() && !links.empty() && links.front() == out.back();
        out.insert(out.end(), links.begin() + (repeats ? 1 : 0), links.end());
        if (k + 1 < n) boundaries[k] = static_cast<int32_t>(out.size()) - 1;
        links = {};
    }
    joined = std::move(out);
    sectionCount = n;

    const uint64_t startedMs = platform::GetTickCount64();
    trafficIds.assign(joined.size(), 0);
    for (size_t i = 0; i < joined.size(); ++i) {
        trafficIds[i] = trafficOf ? static_cast<int32_t>(trafficOf(joined[i])) : 0;
    }
    DebugTrace(1, "[RP**] TpegID Gathering TIME: %d(ms)\n",
               static_cast<int>(platform::GetTickCount64() - startedMs));
    for (size_t i = 0; i < joined.size(); ++i) DebugTrace(3, "[%10d] %d\n", static_cast<int>(i + 1), joined[i]);
}
