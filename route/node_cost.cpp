#include "route/node_cost.h"

#include <algorithm>
#include <cmath>

namespace {

// km/h by mode (0-3), road class (0-13; 14 and 15 use the last row) and
// lane column (0-5).
constexpr uint8_t kSpeed[4][15][6] = {
    {{45, 55, 56, 56, 58, 58}, {45, 55, 55, 56, 58, 58}, {24, 33, 47, 47, 56, 56}, {26, 36, 42, 45, 52, 52},
     {14, 24, 36, 43, 47, 51}, {20, 35, 46, 47, 50, 55}, {20, 34, 39, 41, 50, 55}, {10, 20, 34, 38, 42, 42},
     {6, 19, 26, 29, 34, 34},  {5, 16, 23, 23, 29, 29},  {3, 15, 15, 20, 20, 20},  {4, 15, 25, 25, 30, 30},
     {5, 12, 15, 15, 15, 15},  {5, 5, 5, 5, 5, 5},       {1, 1, 1, 1, 1, 1}},
    {{45, 55, 55, 56, 58, 58}, {47, 55, 60, 61, 62, 62}, {35, 42, 47, 47, 56, 56}, {32, 36, 42, 45, 52, 52},
     {32, 36, 42, 45, 52, 52}, {30, 35, 46, 47, 50, 55}, {30, 34, 39, 41, 50, 55}, {22, 29, 38, 38, 42, 42},
     {18, 23, 26, 29, 34, 34}, {20, 23, 26, 29, 34, 34}, {10, 15, 15, 20, 20, 20}, {10, 15, 25, 25, 30, 30},
     {7, 7, 7, 7, 7, 7},       {5, 5, 5, 5, 5, 5},       {1, 1, 1, 1, 1, 1}},
    {{38, 43, 50, 53, 59, 63}, {38, 43, 50, 53, 59, 63}, {35, 42, 47, 47, 56, 60}, {26, 36, 42, 45, 52, 52},
     {25, 36, 42, 45, 52, 52}, {24, 35, 46, 47, 50, 55}, {23, 34, 39, 41, 50, 55}, {20, 24, 38, 38, 42, 42},
     {13, 19, 26, 29, 34, 34}, {13, 19, 26, 29, 34, 34}, {5, 15, 15, 20, 20, 20},  {5, 15, 25, 25, 30, 30},
     {5, 7, 7, 7, 7, 7},       {5, 5, 5, 5, 5, 5},       {1, 1, 1, 1, 1, 1}},
    {{64, 72, 73, 74, 74, 74}, {64, 67, 71, 72, 74, 74}, {35, 42, 48, 48, 57, 57}, {26, 36, 42, 45, 52, 52},
     {25, 36, 42, 45, 52, 52}, {24, 35, 46, 47, 50, 55}, {23, 34, 39, 41, 50, 55}, {20, 24, 38, 38, 42, 42},
     {13, 19, 26, 29, 34, 34}, {13, 19, 26, 29, 34, 34}, {5, 15, 15, 20, 20, 20},  {5, 15, 25, 25, 30, 30},
     {5, 7, 7, 7, 7, 7},       {5, 5, 5, 5, 5, 5},       {1, 1, 1, 1, 1, 1}},
};

// Class-1 preference factors for slider values 0-5.
constexpr double kClass1Factor[6] = {2.5, 1.95, 1.9, 1.72, 1.54, 1.0};

int Slider(uint8_t b) { return std::min<int>(b, 10); }

int32_t Truncate(double v) {
    if (!(v > 0)) return 0;
    return v >= kNcCostMax ? kNcCostMax : static_cast<int32_t>(v);
}

}  // namespace

NcRoadPreferences NcPreferencesOfRoadOptions(bool set, const uint8_t bytes[7]) {
    NcRoadPreferences p;
    if (!set) return p;
    // A slider past 10 would turn the alley factor negative (a free road).
    p.enabled = true;
    p.class0 = Slider(bytes[0]);
    p.class1 = Slider(bytes[1]);
    p.laneRich = Slider(bytes[3]);
    p.classes8to10 = Slider(bytes[4]);
    return p;
}

int NcModeOfRouteKinds(uint32_t kinds) {
    static constexpr int kModeOfKind[4] = {0, 3, 2, 4};
    for (int k = 0; k < 4; ++k)
        if (kinds & (1u << k)) return kModeOfKind[k];
    return 0;
}

int NcTableSpeed(int mode, int roadClass, int laneIndex) {
    if (mode == 4 || mode < 0 || mode > 4) return 50;
    const int row = std::clamp(roadClass, 0, 14);
    return kSpeed[mode][row][std::clamp(laneIndex, 0, 5)];
}

int NcLaneValue(const NcCostLink& link) {
    if (link.kind >= 3 && link.kind <= 5) return 10;
    return link.roadClass < 8 && !link.lanesBothDirections ? 2 * link.lanes : link.lanes;
}

int NcLimitedSpeed(int mode, const NcCostLink& link) {
    int h = NcTableSpeed(mode, link.roadClass, std::min(NcLaneValue(link) / 2, 5));
    if (mode == 4) return h;
    const int c = link.speedLimitKmh;
    const int g = link.flag ? 1 : 0;
    switch (link.roadClass) {
    case 0:
        if (c >= 110) h = static_cast<int>(h * 1.07);
        else if (c >= 80 && c <= 90) h = static_cast<int>(h * 0.9);
        else if (c >= 40 && c <= 79) h = static_cast<int>(h * 0.85);
        else if (c >= 1 && c <= 39) h = static_cast<int>(h * 0.82);
        break;
    case 2:
        if (c < 70) h += g;
        else h = g ? 48 : 46;
        break;
    case 4:
        h += g;
        if (c >= 70) h += 1;
        else if (c >= 31 && c <= 50) h -= 2;
        else if (c >= 1 && c <= 30) h -= 4;
        break;
    case 7:
        h += g;
        if (c >= 60) h += 1;
        else if (c >= 31 && c <= 40) h -= 2;
        else if (c >= 1 && c <= 30) h -= 3;
        break;
    default:
        break;
    }
    return std::max(h, 1);
}

NcNodeCost NcComputeNodeCost(const NcCostLink& link, const NcCostRules& rules, const NcCostExtras& extras) {
    NcNodeCost out;
    const int cls = std::clamp(link.roadClass, 0, 15);
    const int m = NcLaneValue(link);
    const int h = NcLimitedSpeed(rules.mode, link);
    double v = 1.0, u = 1.0;
    const NcRoadPreferences& p = rules.preferences;
    if (p.enabled) {
        if (cls == 0) {
            if (p.class0 >= 6) v = 1 + 0.16 * (p.class0 - 5);
            else u = 1 - 0.18 * (p.class0 - 5);
        }
        if (cls == 1) {
            if (p.class1 >= 6) v *= 1 + 0.37 * (p.class1 - 5);
            else u *= kClass1Factor[std::clamp(p.class1, 0, 5)];
        }
        if (cls >= 8 && cls <= 10) u *= 1 - 0.15 * (p.classes8to10 - 5);
        if (cls >= 2) {
            const int laneFloor = link.linkType == 2 && !link.lanesBothDirections ? 3 : 6;
            if (m >= laneFloor) {
                if (p.laneRich < 5) u *= 1 - 0.15 * (p.laneRich - 5);
                else if (p.laneRich > 5) v *= 1 + 0.3 * (p.laneRich - 5);
            }
        }
    }
    if (link.trafficPercent != 0) v *= link.trafficPercent / 100.0;
    if (rules.regional && cls == 4 && link.y < 17464033.28) v *= 1.35;

    const double travel = 100.0 * u * link.lengthM * 3600.0 / 1000.0 / (h * v);
    double cost = Truncate(travel);
    out.storedClass = cls;
    if (cls >= 13) {
        out.storedClass = 13;
        cost = Truncate(kNcCostNotForCars + cost);
    }
    if (link.kind == 15) cost += 30000;
    if (link.linkType == 7) cost += 10000;
    // The extra share per metre; a link without length has none.
    const double x = extras.extra != 0 && link.lengthM > 0
                         ? std::trunc(static_cast<double>(extras.extra) * cost / link.lengthM)
                         : 0.0;
    double divisor = 1.0;
    const int t = extras.turnClass;
    if (cls >= 5) {
        if (t == 1) divisor = 0.9;
        else if (t == 2) cost = Truncate(cost * 1.1);
        else if (t == 3) cost = Truncate(cost * 1.7);
        else if (t == 4) cost = Truncate(cost * 4), divisor = 1.5;
    } else if (cls <= 1) {
        if (t == 1) cost = Truncate(cost * 0.9), divisor = 0.9;
        else if (t == 3) cost = Truncate(cost * 1.3);
        else if (t == 4) cost = Truncate(cost * 2.8), divisor = 1.5;
    } else {
        if (t == 1) cost = Truncate(cost * 0.9), divisor = 0.85;
        else if (t == 3) cost = Truncate(cost * 1.6);
        else if (t == 4) cost = Truncate(cost * 3.8), divisor = 1.5;
    }
    static constexpr int32_t kPenalty[4] = {0, 12000, 24000, 60000};
    cost += kPenalty[std::clamp(extras.penaltyClass, 0, 3)];
    if (extras.mark == 1) {
        const double f = cls == 0 ? 1.5 : cls == 1 ? 1.65 : cls == 2 ? 1.5 : cls == 4 ? 1.4 : 1.3;
        cost = Truncate(cost * f);
        if (t == 1 || t == 4) cost = Truncate(cost / divisor);
    } else if (extras.mark == 2) {
        cost += 12000;
    }
    out.cost = Truncate(cost + x);
    return out;
}
