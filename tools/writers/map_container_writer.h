#pragma once
// Writes tiled map files (".map"): header, level tables (top index and
// sub-tables for levels 1-3, full tables for levels 4-6) and blocks, plain
// or zlib-packed. Used by tests, benchmarks and the demo data root.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace writers {

class MapContainerWriter {
public:
    explicit MapContainerWriter(bool packed) : m_packed(packed) {}

    // Adds (or replaces) the block of tile (level, x, y).
    void AddBlock(int level, int x, int y, std::vector<uint8_t> data);
    // Gives a level a table even when it has no block (an empty top index).
    void AddEmptyLevel(int level) { m_emptyLevels.push_back(level); }
    void SetLevelRecord(int level, const std::array<uint8_t, 16>& record) { m_records[level - 1] = record; }
    // Overrides the header's largest sizes (0 = computed from the blocks).
    void SetLargestSizes(uint32_t unpacked, uint32_t packed) {
        m_forcedLargest = unpacked;
        m_forcedLargestPacked = packed;
    }

    std::vector<uint8_t> Build() const;
    bool WriteFile(const std::string& nativePath, std::string* error = nullptr) const;

private:
    bool m_packed;
    std::map<std::tuple<int, int, int>, std::vector<uint8_t>> m_blocks;  // (level, y, x): row order
    std::vector<int> m_emptyLevels;
    std::array<std::array<uint8_t, 16>, 6> m_records{};
    uint32_t m_forcedLargest = 0;
    uint32_t m_forcedLargestPacked = 0;
};

}  // namespace writers
