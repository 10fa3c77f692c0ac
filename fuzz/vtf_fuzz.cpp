// "VTF.ndb" from untrusted bytes: the area grid is filled and probed.
#include "fuzz/fuzz_support.h"
#include "route/area_grid.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static NcAreaGrid* grid = [] {
        fuzzsupport::SilenceTrace();
        return new NcAreaGrid();
    }();
    grid->ApplyVtf(data, size);
    for (int32_t x : {0, kNcAreaGridX0, 67000000, 67943639, 67943640})
        for (int32_t y : {17656025, kNcAreaGridY0, 19000000, 20039839}) grid->GetAreaKind(x, y);
    return 0;
}
