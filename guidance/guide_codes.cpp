#include "guidance/guide_codes.h"

#include <algorithm>
#include <cmath>

namespace {

struct Range {
    int first, last;
};

template <size_t N>
bool InRanges(int code, const Range (&ranges)[N]) {
    for (const Range& r : ranges)
        if (code >= r.first && code <= r.last) return true;
    return false;
}

constexpr Range kGuided[] = {{3, 3}, {5, 8}, {11, 57}, {60, 74}, {80, 148}, {150, 155}, {301, 318}};

struct ClassRow {
    const char16_t* phrase;
    Range codes[8];
};

// Class n is row n; each row lists its code ranges ({0, -1} ends a row).
const ClassRow kClasses[kTurnClassCount] = {
    {u"", {}},
    {u"직진", {{3, 8}, {10, 10}, {34, 34}, {37, 38}, {97, 97}, {122, 122}, {131, 148}, {0, -1}}},
    {u"좌회전", {{19, 19}, {23, 24}, {36, 36}, {109, 109}, {119, 119}, {151, 151}, {153, 154}, {0, -1}}},
    {u"우회전", {{13, 13}, {35, 35}, {108, 108}, {118, 118}, {150, 150}, {152, 152}, {0, -1}}},
    {u"급한 좌회전", {{17, 18}, {0, -1}}},
    {u"비스듬한 좌회전", {{20, 21}, {0, -1}}},
    {u"비스듬한 우회전", {{11, 12}, {0, -1}}},
    {u"급한 우회전", {{14, 15}, {0, -1}}},
    {u"피턴", {{22, 22}, {39, 39}, {0, -1}}},
    {u"오른쪽 고속(화)도로 입구", {{100, 100}, {110, 110}, {0, -1}}},
    {u"왼쪽 고속(화)도로 입구", {{101, 101}, {111, 111}, {0, -1}}},
    {u"직진방향 고속(화)도로 입구", {{102, 102}, {106, 106}, {112, 112}, {116, 116}, {0, -1}}},
    {u"오른쪽 고속(화)도로 출구", {{103, 103}, {113, 113}, {125, 126}, {0, -1}}},
    {u"왼쪽 고속(화)도로 출구", {{104, 104}, {114, 114}, {129, 130}, {0, -1}}},
    {u"직진방향 고속(화)도로 출구", {{105, 105}, {107, 107}, {115, 115}, {117, 117}, {0, -1}}},
    {u"오른쪽 도로", {{30, 30}, {32, 32}, {98, 98}, {120, 120}, {123, 124}, {0, -1}}},
    {u"왼쪽 도로", {{31, 31}, {33, 33}, {99, 99}, {121, 121}, {127, 128}, {0, -1}}},
    {u"왼쪽 지하도로로 진입", {{64, 64}, {72, 72}, {74, 74}, {0, -1}}},
    {u"왼쪽 고가도로로 진입", {{44, 44}, {52, 52}, {54, 54}, {0, -1}}},
    {u"터널로 진입", {{96, 96}, {0, -1}}},
    {u"지하도로 옆 오른쪽 도로로 진입", {{61, 61}, {69, 70}, {0, -1}}},
    {u"고가도로 옆 오른쪽 도로로 진입", {{41, 41}, {49, 50}, {0, -1}}},
    {u"고가도로 옆 왼쪽 도로로 진입", {{42, 42}, {47, 48}, {0, -1}}},
    {u"휴게소", {{93, 93}, {155, 155}, {0, -1}}},
    {u"유턴", {{16, 16}, {25, 29}, {0, -1}}},
    {u"로터리에서 1시방향 우회전", {{81, 82}, {0, -1}}},
    {u"로터리에서 3시방향 우회전", {{83, 83}, {0, -1}}},
    {u"로터리에서 5시방향 우회전", {{84, 85}, {0, -1}}},
    {u"로터리에서 유턴", {{86, 86}, {0, -1}}},
    {u"로터리에서 7시방향 좌회전", {{87, 88}, {0, -1}}},
    {u"로터리에서 9시방향 좌회전", {{89, 89}, {0, -1}}},
    {u"로터리에서 11시방향 좌회전", {{90, 91}, {0, -1}}},
    {u"로터리에서 12시방향 직진", {{80, 80}, {92, 92}, {0, -1}}},
    {u"지하도로 옆 왼쪽 도로로 진입", {{62, 62}, {67, 68}, {0, -1}}},
    {u"오른쪽 지하차도 진입", {{63, 63}, {71, 71}, {73, 73}, {0, -1}}},
    {u"오른쪽 고가도로 진입", {{43, 43}, {51, 51}, {53, 53}, {0, -1}}},
    {u"톨게이트", {{94, 95}, {0, -1}}},
    {u"지하차도 진입", {{60, 60}, {0, -1}}},
    {u"지하차도 진입", {{65, 65}, {0, -1}}},
    {u"지하차도 진입", {{66, 66}, {0, -1}}},
    {u"고가차도 진입", {{40, 40}, {55, 55}, {0, -1}}},
    {u"고가차도 진입", {{45, 45}, {0, -1}}},
    {u"고가차도 진입", {{46, 46}, {0, -1}}},
    {u"출발지", {{300, 300}, {0, -1}}},
    {u"도착지", {{318, 320}, {0, -1}}},
    {u"경유지 1", {{301, 302}, {0, -1}}},
    {u"경유지 2", {{303, 303}, {0, -1}}},
    {u"경유지 3", {{304, 304}, {0, -1}}},
    {u"경유지 4", {{305, 305}, {0, -1}}},
    {u"경유지 5", {{306, 306}, {0, -1}}},
    {u"경유지 6", {{307, 307}, {0, -1}}},
    {u"경유지 7", {{308, 308}, {0, -1}}},
    {u"경유지 8", {{309, 309}, {0, -1}}},
    {u"경유지 9", {{310, 310}, {0, -1}}},
    {u"경유지 10", {{311, 311}, {0, -1}}},
    {u"경유지 11", {{312, 312}, {0, -1}}},
    {u"경유지 12", {{313, 313}, {0, -1}}},
    {u"경유지 13", {{314, 314}, {0, -1}}},
    {u"경유지 14", {{315, 315}, {0, -1}}},
    {u"경유지 15", {{316, 316}, {0, -1}}},
    {u"경유지 16", {{317, 317}, {0, -1}}},
};

constexpr float kBaseSpeed[14][6] = {
    {45, 55, 55, 56, 58, 58}, {47, 55, 60, 61, 62, 62}, {35, 42, 47, 47, 56, 56}, {26, 36, 42, 45, 52, 52},
    {25, 36, 42, 45, 52, 52}, {24, 35, 46, 47, 50, 55}, {23, 34, 39, 41, 50, 55}, {20, 24, 38, 38, 42, 42},
    {10, 19, 26, 29, 34, 34}, {10, 19, 26, 29, 34, 34}, {5, 15, 15, 20, 20, 20},  {5, 15, 25, 25, 30, 30},
    {10, 20, 25, 30, 30, 30}, {5, 5, 5, 5, 5, 5},
};

constexpr float kTrafficFactor[4][5] = {
    {1.424501f, 1.571429f, 1.125f, 0.771429f, 0.267857f},
    {1.095770f, 1.224490f, 0.918367f, 0.680272f, 0.204082f},
    {1.095770f, 0.997783f, 0.705196f, 0.399495f, 0.266075f},
    {1.095770f, 0.954401f, 0.705196f, 0.328252f, 0.254507f},
};

constexpr int kTurnDelay[6][14] = {
    {0, 10, 16, 18, 18, 16, 16, 18, 18, 28, 28, 28, 28, 28},
    {40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40},
    {0, 0, 10, 10, 10, 10, 8, 8, 7, 7, 7, 7, 7, 7},
    {6, 6, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10},
    {6, 6, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20},
    {0, 0, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2},
};

}  // namespace

bool IsGuidedTurnCode(int code) { return InRanges(code, kGuided); }
int GuidedTurnCode(int code) { return IsGuidedTurnCode(code) ? code : 0; }

int TurnClassOf(int code) {
    for (int c = 1; c < kTurnClassCount; ++c)
        for (const Range& r : kClasses[c].codes) {
            if (r.last < r.first) break;
            if (code >= r.first && code <= r.last) return c;
        }
    return 0;
}

const char16_t* TurnClassPhrase(int turnClass) {
    if (turnClass < 0 || turnClass >= kTurnClassCount) return u"";
    return kClasses[turnClass].phrase;
}

int LaneArrowClassOf(int code) {
    static constexpr Range k8[] = {{0, 8}, {10, 10}, {34, 34}, {37, 38}, {102, 102}, {105, 107}, {112, 112},
                                   {115, 117}, {122, 122}};
    static constexpr Range k16[] = {{11, 12}, {30, 30}, {32, 32}, {100, 100}, {103, 103}, {110, 110},
                                    {113, 113}, {120, 120}, {155, 155}};
    static constexpr Range k32[] = {{13, 15}, {22, 22}, {35, 35}, {45, 45}, {47, 47}, {49, 49}, {53, 54},
                                    {65, 65}, {67, 67}, {69, 69}, {73, 74}, {98, 98}, {108, 108}, {118, 118},
                                    {150, 150}, {152, 152}};
    static constexpr Range k1[] = {{16, 16}, {25, 29}};
    static constexpr Range k2[] = {{17, 19}, {23, 24}, {36, 36}, {46, 46}, {48, 48}, {50, 52}, {66, 66},
                                   {68, 68}, {70, 72}, {109, 109}, {119, 119}, {151, 151}, {153, 154}};
    static constexpr Range k4[] = {{20, 21}, {31, 31}, {33, 33}, {99, 99}, {101, 101}, {104, 104},
                                   {111, 111}, {114, 114}, {121, 121}};
    if (InRanges(code, k8)) return 8;
    if (InRanges(code, k16)) return 16;
    if (InRanges(code, k32)) return 32;
    if (InRanges(code, k1)) return 1;
    if (InRanges(code, k2)) return 2;
    if (InRanges(code, k4)) return 4;
    return 0;
}

int TurnDelayCategory(int code) {
    static constexpr Range k0[] = {{100, 105}, {109, 115}, {119, 119}, {150, 150}, {152, 152}};
    static constexpr Range k1[] = {{16, 16}, {22, 22}, {25, 28}};
    static constexpr Range k2[] = {{10, 10}, {106, 107}, {116, 117}};
    static constexpr Range k3[] = {{11, 15}, {32, 32}, {35, 35}, {41, 41}, {45, 45}, {47, 47}, {49, 49},
                                   {53, 54}, {61, 61}, {65, 65}, {67, 67}, {69, 69}, {73, 74}};
    static constexpr Range k4[] = {{17, 21}, {23, 23}, {33, 33}, {36, 36}, {42, 42}, {46, 46}, {48, 48},
                                   {50, 52}, {62, 62}, {66, 66}, {68, 68}, {70, 72}, {154, 154}};
    if (InRanges(code, k0)) return 0;
    if (InRanges(code, k1)) return 1;
    if (InRanges(code, k2)) return 2;
    if (InRanges(code, k3)) return 3;
    if (InRanges(code, k4)) return 4;
    if (code == 29) return 6;
    return 5;
}

float LinkSpeedKmh(int roadClass, int laneCount, bool twoWay, int trafficState) {
    const int h = std::clamp(roadClass, 0, 13);
    const int group = roadClass <= 0 ? 0 : roadClass == 1 ? 1 : roadClass <= 4 ? 2 : 3;
    int lanes = std::max(laneCount, 0);
    if (twoWay) lanes /= 2;
    const int column = std::min(lanes, 5);
    // The factor table has states 0 to 4; no data (255) and anything else
    // outside counts as free flow.
    const int state = (trafficState >= 0 && trafficState <= 4) ? trafficState : 0;
    return kTrafficFactor[group][state] * kBaseSpeed[h][column];
}

int32_t EstimateLinkTimeS(int32_t lengthM, int roadClass, int laneCount, bool twoWay, int trafficState,
                          int turnCode) {
    const float speed = LinkSpeedKmh(roadClass, laneCount, twoWay, trafficState);
    double t = speed > 0.01f ? 3.6 * lengthM / speed : 0.0;
    const int category = TurnDelayCategory(turnCode);
    t += category == 6 ? 40 : kTurnDelay[category][std::clamp(roadClass, 0, 13)];
    const double rounded = std::floor(t + 0.5);
    return rounded < 0 ? 0 : static_cast<int32_t>(rounded);
}
