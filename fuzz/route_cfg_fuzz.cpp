// "Route.cfg" from untrusted bytes, parsed directly and loaded from a file.
#include <string>

#include "fuzz/fuzz_support.h"
#include "route/route_define.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = [] {
        std::string dir = fuzzsupport::MakeMemoryFolder("route_cfg_fuzz");
        fuzzsupport::SilenceTrace();
        return dir + "/Route.cfg";
    }();
    NcRouteConfig config;
    NcParseRouteConfig(data, size, &config);
    fuzzsupport::WriteBytes(path, data, size);
    NcRouteDefine define;
    define.Load(path);
    return 0;
}
