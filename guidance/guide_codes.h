#pragma once
// The turn codes of the path map file as guidance reads them: which codes
// are guided, their turn classes with the Korean display phrases, their lane
// arrow classes, and the link travel-time tables (base speeds by road class
// and lanes, traffic factors by road group and traffic state, turn delays).
#include <cstdint>

inline constexpr int kTurnCodeOrigin = 300;
inline constexpr int kTurnCodeGoal = 318;
inline constexpr int kTurnCodeTunnel = 96;
inline constexpr int kTurnClassCount = 61;

// A code outside the guided set counts as 0.
bool IsGuidedTurnCode(int code);
int GuidedTurnCode(int code);
// Turn class 0..60 of a code (0 for the codes without a class).
int TurnClassOf(int code);
// The display phrase of a class ("" for 0 and classes outside 0..60).
const char16_t* TurnClassPhrase(int turnClass);
inline const char16_t* TurnPhraseOf(int code) { return TurnClassPhrase(TurnClassOf(code)); }
// The lane arrow class of a code: 1 U-turn, 2 left, 4 slight left,
// 8 straight, 16 slight right, 32 right; 0 no lane guidance.
int LaneArrowClassOf(int code);
// Turn-delay category 0..6 of a code.
int TurnDelayCategory(int code);

// Speed in km/h of a link: factor[group of class][state] x base[class][lane
// column]. The traffic state is held to 0..4 (no data, 255, counts as 0;
// the factor table has no other columns).
float LinkSpeedKmh(int roadClass, int laneCount, bool twoWay, int trafficState);
// Travel time in whole seconds of a link of lengthM metres with the turn
// code toward the next link (0 for the last link): 3.6 x L / speed, plus
// the turn delay, rounded half up, never negative.
int32_t EstimateLinkTimeS(int32_t lengthM, int roadClass, int laneCount, bool twoWay, int trafficState,
                          int turnCode);
