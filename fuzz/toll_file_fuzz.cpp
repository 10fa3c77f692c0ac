// "\Toll.dat" from untrusted bytes: the passed-gate list loaded through the
// toll-price object, a gate passed and the list cleared; the saved file must
// be the 164-byte record and read back as the list in memory.
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "guidance/toll_price.h"
#include "mapdb/small_readers.h"
#include "platform/file_io.h"

namespace {

void CheckSaved(const std::string& path, const TollPassedRecord& inMemory) {
    std::vector<uint8_t> saved;
    if (!platform::ReadWholeFile(path, saved) || saved.size() != kTollFileBytes) std::abort();
    const TollPassedRecord back = DecodeTollFile(saved.data(), saved.size());
    if (back.count != inMemory.count) std::abort();
    for (int i = 0; i < back.count; ++i)
        if (back.gateId[i] != inMemory.gateId[i] || back.passValue[i] != inMemory.passValue[i]) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzzsupport::MakeMemoryFolder("toll_file_fuzz") + "/Toll.dat";
    static CMneTollGateMapFile gates;  // never opened: the list alone is exercised
    fuzzsupport::WriteBytes(path, data, size);
    const TollPassedRecord decoded = DecodeTollFile(data, size);
    if (decoded.count < 0 || decoded.count > kTollPassedMax) std::abort();

    CMneCalTollPrice toll;
    if (toll.OpenAt(path, &gates) != 1) std::abort();
    TollPassedRecord r = toll.Passed();
    if (r.count != decoded.count) std::abort();
    const int32_t gate = size > 0 ? data[0] + 1 : 1;
    toll.AddPassed(gate, static_cast<int32_t>(size));
    r = toll.Passed();
    if (r.count < 1 || r.count > kTollPassedMax || r.gateId[r.count - 1] != gate) std::abort();
    CheckSaved(path, r);
    toll.ClearPassed();
    CheckSaved(path, toll.Passed());
    return 0;
}
