#pragma once
// Reading a block whose references are stored as byte offsets from its
// start. The offsets stay offsets: each one is resolved against the block
// on use, bounded by the block's size, so a block is valid wherever it lies
// in memory and no 32-bit address is ever written into it.
#include <cstdint>

#include "platform/byte_cursor.h"

class MneBlockView {
public:
    MneBlockView() = default;
    MneBlockView(const uint8_t* data, uint32_t size) : m_data(data), m_size(data ? size : 0) {}

    const uint8_t* Data() const { return m_data; }
    uint32_t Size() const { return m_size; }

    // True when [offset, offset + length) lies inside the block.
    bool Contains(uint64_t offset, uint64_t length) const { return offset <= m_size && length <= m_size - offset; }
    // The bytes at a stored offset, or null when they are not all inside.
    const uint8_t* Resolve(uint32_t offset, uint32_t length) const {
        return Contains(offset, length) ? m_data + offset : nullptr;
    }
    // A bounded cursor starting at a stored offset (failed when outside).
    platform::ByteReader Reader(uint32_t offset = 0) const {
        platform::ByteReader r(m_data, m_size);
        r.Seek(offset);
        return r;
    }
    // Checks an array of count records of recordSize bytes at offset.
    bool ContainsArray(uint32_t offset, uint64_t count, uint64_t recordSize) const {
        return Contains(offset, count * recordSize);
    }

private:
    const uint8_t* m_data = nullptr;
    uint32_t m_size = 0;
};
