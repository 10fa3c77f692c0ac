#include "settings/folder_place_store.h"

#include "settings/module_gps.h"

namespace placestore {

MapPoint CurrentPosition() {
    CMgrConfigModuleGPS* gps = CMgrConfigModuleGPS::Instance();
    return gps ? gps->GetMatchedPosition() : MapPoint{};
}

int DistanceM(const MapPoint& from, const MapPoint& to) {
    const double d = GetDistanceUTM(from, to);
    return d >= 2147483647.0 ? INT32_MAX : static_cast<int>(d);
}

}  // namespace placestore
