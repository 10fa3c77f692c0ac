#include "route/route_define.h"

#include <cmath>
#include <vector>

#include "foundation/debug_trace.h"
#include "platform/byte_cursor.h"
#include "platform/file_io.h"

namespace {

// Connection classes: 0 ramps, 1 U-turns, 2 straight on, 3 right turns,
// 4 left turns, 5 others, 6 turns the road data marks as not to be taken.
constexpr int32_t kBaseTurnS[kNcLinkCodeClasses] = {0, 30, 2, 5, 15, 5, 600};

bool FactorOk(float f) { return std::isfinite(f) && f >= 0.0f && f <= kNcTurnFactorMax; }

}  // namespace

NcRouteConfig NcDefaultRouteConfig() {
    NcRouteConfig c;
    for (int level = 0; level < kNcRoadLevels; ++level)
        for (int k = 0; k < kNcLinkCodeClasses; ++k) c.turnCostS[level][k] = kBaseTurnS[k];
    // A weight above 5 makes the turn dearer, below 5 cheaper; only the
    // class the weight is about changes.
    for (int w = 0; w < kNcOptionLevels; ++w) {
        for (int k = 0; k < kNcLinkCodeClasses; ++k) {
            const float scaled = 1.0f + 0.2f * static_cast<float>(w - 5);
            c.uTurnFactor[w][k] = k == 1 ? scaled : 1.0f;
            c.leftTurnFactor[w][k] = k == 4 ? scaled : 1.0f;
        }
    }
    return c;
}

int NcParseRouteConfig(const uint8_t* bytes, size_t size, NcRouteConfig* out) {
    if (!bytes || size < kNcRouteConfigBytes) return 0;
    platform::ByteReader in(bytes, kNcRouteConfigBytes);
    NcRouteConfig c;
    c.valid = in.I32();
    c.magic = in.U32();
    if (c.magic != kNcRouteConfigMagic) return 0;
    for (auto& row : c.turnCostS)
        for (int32_t& v : row) {
            v = in.I32();
            if (v < 0 || v > kNcTurnCostMaxS) return 0;
        }
    for (auto* table : {&c.uTurnFactor, &c.leftTurnFactor})
        for (auto& row : *table)
            for (float& f : row) {
                f = in.F32();
                if (!FactorOk(f)) return 0;
            }
    if (!in.Ok()) return 0;
    if (out) *out = c;
    return 1;
}

NcRouteDefine::NcRouteDefine() : m_config(NcDefaultRouteConfig()) {
    for (float& f : factors) f = 1.0f;
}

int NcRouteDefine::Load(const std::string& nativePath) {
    std::vector<uint8_t> bytes;
    NcRouteConfig parsed;
    if (!platform::ReadWholeFile(nativePath, bytes) || !NcParseRouteConfig(bytes.data(), bytes.size(), &parsed)) {
        DebugTrace(1, "잘못된 Route config를 사용하고 있습니다. 파일서버에서 다운로드 하세요.\n");
        return 0;
    }
    m_config = parsed;
    m_loaded = true;
    return 1;
}
