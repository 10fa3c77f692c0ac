#include "tools/writers/map_container_writer.h"

#include <zlib.h>

#include <algorithm>
#include <set>

#include "platform/byte_cursor.h"
#include "platform/file_io.h"

namespace writers {
namespace {

int TilesPerAxis(int level) {
    static constexpr int kTiles[6] = {65536, 16384, 2048, 256, 64, 8};
    return kTiles[level - 1];
}

std::vector<uint8_t> Pack(const std::vector<uint8_t>& data) {
    uLongf room = compressBound(data.size());
    std::vector<uint8_t> out(room);
    compress2(out.data(), &room, data.data(), data.size(), Z_BEST_COMPRESSION);
    out.resize(room);
    return out;
}

}  // namespace

void MapContainerWriter::AddBlock(int level, int x, int y, std::vector<uint8_t> data) {
    m_blocks[{level, y, x}] = std::move(data);
}

std::vector<uint8_t> MapContainerWriter::Build() const {
    const uint32_t e = m_packed ? 12 : 8;
    const uint32_t headerSize = m_packed ? 129 : 125;

    std::set<int> levels(m_emptyLevels.begin(), m_emptyLevels.end());
    std::map<std::tuple<int, int, int>, std::vector<uint8_t>> packed;
    uint32_t largest = 0, largestPacked = 0;
    for (const auto& [key, data] : m_blocks) {
        levels.insert(std::get<0>(key));
        largest = std::max<uint32_t>(largest, data.size());
        if (m_packed) {
            auto& p = packed[key] = Pack(data);
            largestPacked = std::max<uint32_t>(largestPacked, p.size());
        }
    }
    if (m_forcedLargest) largest = m_forcedLargest;
    if (m_forcedLargestPacked) largestPacked = m_forcedLargestPacked;

    platform::ByteWriter out;
    out.U8(m_packed ? 2 : 0);
    out.U32(largest);
    if (m_packed) out.U32(largestPacked);
    const size_t levelOffsetsAt = out.Size();
    out.Zeros(24);
    for (const auto& record : m_records) out.Bytes(record.data(), record.size());

    // Entry positions are patched once the blocks are placed.
    std::map<std::tuple<int, int, int>, size_t> entryAt;
    for (int level : levels) {
        const uint32_t n = TilesPerAxis(level);
        out.PatchU32(levelOffsetsAt + 4 * (level - 1), static_cast<uint32_t>(out.Size()));
        if (level >= 4) {
            const size_t table = out.Size();
            out.Zeros(static_cast<size_t>(n) * n * e);
            for (const auto& [key, data] : m_blocks)
                if (std::get<0>(key) == level)
                    entryAt[key] = table + (static_cast<size_t>(std::get<1>(key)) * n + std::get<2>(key)) * e;
            continue;
        }
        const uint32_t q = n / 256;
        const size_t top = out.Size();
        out.Zeros(256 * 256 * 4);
        std::map<std::pair<uint32_t, uint32_t>, size_t> subTables;  // (gy, gx)
        for (const auto& [key, data] : m_blocks) {
            if (std::get<0>(key) != level) continue;
            const uint32_t y = std::get<1>(key), x = std::get<2>(key);
            auto [it, fresh] = subTables.try_emplace({y / q, x / q}, 0);
            if (fresh) {
                it->second = out.Size();
                out.PatchU32(top + ((y / q) * 256 + x / q) * 4, static_cast<uint32_t>(out.Size()));
                out.Zeros(static_cast<size_t>(q) * q * e);
            }
            entryAt[key] = it->second + ((y % q) * q + x % q) * e;
        }
    }
    (void)headerSize;
    for (const auto& [key, data] : m_blocks) {
        const size_t at = entryAt[key];
        out.PatchU32(at, static_cast<uint32_t>(out.Size()));
        out.PatchU32(at + 4, static_cast<uint32_t>(data.size()));
        if (m_packed) {
            const auto& p = packed[key];
            out.PatchU32(at + 8, static_cast<uint32_t>(p.size()));
            out.Bytes(p.data(), p.size());
        } else {
            out.Bytes(data.data(), data.size());
        }
    }
    return out.Data();
}

bool MapContainerWriter::WriteFile(const std::string& nativePath, std::string* error) const {
    return platform::AtomicReplaceFile(nativePath, Build(), error);
}

}  // namespace writers
