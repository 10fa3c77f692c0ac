#include "traffic/traffic_services.h"

#include <cmath>

int FlatRelativeBearing(int headingDeg, const MapPoint& from, const MapPoint& to) {
    const double east = (static_cast<double>(to.x) - from.x) * GetLonMeterPerUnit(from.y, to.y);
    const double north = (static_cast<double>(to.y) - from.y) * GetLatMeterPerUnit(from.y, to.y);
    int bearing = 0;
    if (east != 0.0 || north != 0.0) {
        bearing = static_cast<int>(std::lround(std::atan2(east, north) * 180.0 / M_PI));
    }
    int relative = (bearing - headingDeg) % 360;
    if (relative < 0) relative += 360;
    return relative;
}

int TrafficServicesFixture::CalcRelativeBearing(int headingDeg, const MapPoint& from, const MapPoint& to) {
    return FlatRelativeBearing(headingDeg, from, to);
}
