// Link guidance records ("Map\RG.ndb") from untrusted bytes.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "mapdb/service_map.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string root = [] {
        char dir[] = "/tmp/servicemapfuzzXXXXXX";
        if (!mkdtemp(dir)) std::abort();
        mkdir((std::string(dir) + "/Map").c_str(), 0700);
        return std::string(dir);
    }();
    FILE* f = std::fopen((root + "/Map/RG.ndb").c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    CMneServiceMainMapFile rg;
    if (!rg.Open(root)) return 0;
    const uint32_t records = static_cast<uint32_t>(size / 80);
    for (uint32_t id : {0u, 1u, records, records + 1, 99u, 100u, 1999999u, 0x8000001u, records | 0x8000000u}) {
        MneLinkGuideRecord r;
        rg.GetLinkRecord(id, &r);
        MneServiceRawRecord raw;
        rg.GetRawRecord(id, &raw);
    }
    return 0;
}
