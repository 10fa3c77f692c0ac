#pragma once
// The route configuration "Config\Route.cfg": the cost parameters of the
// link graph, loaded once when the route engine starts.
//
// The file (2160 bytes, little-endian):
//   0     s32  valid value (0 marks the record invalid)
//   4     u32  magic 0x29E91644
//   8     s32 turnCostS[4][7]   base turn cost in seconds by road level 0-3
//                               and connection class 0-6 (the graph uses
//                               it x 100, in hundredths of a second)
//   120   f32 uTurnFactor[11][7]     factor by U-turn weight 0-10 (road
//                                    option byte 5) and class
//   428   f32 leftTurnFactor[11][7]  factor by left-turn weight 0-10 (road
//                                    option byte 6) and class
//   736   1424 bytes, zero
// Weight 5 is neutral (factor 1.0). A table is accepted when its turn costs
// lie in 0 to 3600 s and its factors in 0 to 100; otherwise, and for a short
// file or a wrong magic, loading fails and the built-in table stays.
#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr uint32_t kNcRouteConfigMagic = 0x29E91644;
inline constexpr size_t kNcRouteConfigBytes = 2160;
inline constexpr int kNcRoadLevels = 4;
inline constexpr int kNcLinkCodeClasses = 7;
inline constexpr int kNcOptionLevels = 11;
inline constexpr int32_t kNcTurnCostMaxS = 3600;
inline constexpr float kNcTurnFactorMax = 100.0f;

struct NcRouteConfig {
    int32_t valid = 1;
    uint32_t magic = kNcRouteConfigMagic;
    int32_t turnCostS[kNcRoadLevels][kNcLinkCodeClasses] = {};
    float uTurnFactor[kNcOptionLevels][kNcLinkCodeClasses] = {};
    float leftTurnFactor[kNcOptionLevels][kNcLinkCodeClasses] = {};
};

// The table the engine uses when no file is loaded.
NcRouteConfig NcDefaultRouteConfig();
// 1 and the table when the bytes hold a whole, sound configuration.
int NcParseRouteConfig(const uint8_t* bytes, size_t size, NcRouteConfig* out);

class NcRouteDefine {
public:
    NcRouteDefine();
    // Loads the file; 1 on success, 0 when it is missing, short, has another
    // magic or values out of range (traced; the table in use stays).
    int Load(const std::string& nativePath);
    const NcRouteConfig& Config() const { return m_config; }
    bool IsLoaded() const { return m_loaded; }
    // Three groups of four factors, 1.0 until the graph sets them.
    float factors[12];

private:
    NcRouteConfig m_config;
    bool m_loaded = false;
};
