// "%s\TripInfo.dat" from untrusted bytes: the trip computer loads the file,
// takes the trip when it is valid, drives two updates on it and saves; the
// file is then the 732-byte image and reads back as the record in memory.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "guidance/trip_info.h"
#include "platform/file_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzzsupport::MakeMemoryFolder("trip_info_fuzz") + "/TripInfo.dat";
    fuzzsupport::WriteBytes(path, data, size);
    TripRecord direct;
    const bool valid = DecodeTripFile(data, size, &direct);

    CMgrTripService trip;
    trip.InitAt(path, true);
    if (trip.IsLoaded() != valid) std::abort();
    trip.Restore();
    TripUpdate u;
    u.position = {66584576, 19660800};
    u.speedKmh = size > 0 ? data[0] : 0;
    u.remainingS = size > 1 ? data[1] * 100 : 0;
    u.date = 20260101;
    trip.Update(u);
    u.fixTimeS = 1;
    u.position.y += 100;
    trip.Update(u);
    trip.SaveNow();

    std::vector<uint8_t> saved;
    if (!platform::ReadWholeFile(path, saved) || saved.size() != kTripFileBytes) std::abort();
    float marker;
    std::memcpy(&marker, saved.data(), 4);
    if (marker != kTripFileMarker) std::abort();
    TripRecord back;
    if (!DecodeTripRecord(saved.data() + 4, saved.size() - 4, &back)) std::abort();
    const std::vector<uint8_t> again = EncodeTripRecord(trip.Record());
    if (std::memcmp(again.data(), saved.data() + 4, kTripRecordBytes) != 0) std::abort();
    return 0;
}
