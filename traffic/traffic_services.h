#pragma once
// What the traffic engine asks of the rest of the program: whether a valid
// GPS fix has been seen since start (receive times are stamped only then,
// since the clock is trusted only after a fix), and the search services that
// the fuel-station rows need (area name of a point, relative bearing).
//
// The search engine provides the area names once it exists; until then
// `TrafficServicesFixture` stands in: no area names, a flat-earth bearing.
#include <atomic>
#include <string>

#include "foundation/coords.h"

class TrafficServices {
public:
    virtual ~TrafficServices() = default;
    virtual bool HasGpsFixSinceStart() const = 0;
    // Administrative area code of the address polygon holding the point;
    // 0 when none.
    virtual int GetAddressCode(const MapPoint& point) = 0;
    // The name of an area code at a level; 1 when found.
    virtual int GetAreaName(int areaCode, std::u16string* name, int level) = 0;
    // Compass bearing from one point to the other minus the heading,
    // normalised to 0..359 degrees.
    virtual int CalcRelativeBearing(int headingDeg, const MapPoint& from, const MapPoint& to) = 0;
};

class TrafficServicesFixture : public TrafficServices {
public:
    bool HasGpsFixSinceStart() const override { return m_gpsFix.load(std::memory_order_acquire); }
    int GetAddressCode(const MapPoint&) override { return 0; }
    int GetAreaName(int, std::u16string* name, int) override {
        if (name) name->clear();
        return 0;
    }
    int CalcRelativeBearing(int headingDeg, const MapPoint& from, const MapPoint& to) override;

    void SetGpsFixSeen(bool seen) { m_gpsFix.store(seen, std::memory_order_release); }

private:
    std::atomic<bool> m_gpsFix{false};
};

// The bearing rule shared by the fixture and the tests: metres east and
// north from the distance tables, compass degrees, less the heading.
int FlatRelativeBearing(int headingDeg, const MapPoint& from, const MapPoint& to);
