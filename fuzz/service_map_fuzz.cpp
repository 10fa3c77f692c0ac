// Link guidance records ("Map\RG.ndb") from untrusted bytes.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "mapdb/service_map.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string root = fuzzsupport::MakeMapRoot("service_map_fuzz");
    fuzzsupport::WriteBytes(root + "/Map/RG.ndb", data, size);
    // The reader lives across inputs: opened again, it keeps its arena.
    static CMneServiceMainMapFile rg;
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
