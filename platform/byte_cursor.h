#pragma once
// The one way outside bytes are read and written: little-endian fields
// through a cursor that knows where its data ends. A read past the end fails
// (and keeps failing) instead of touching memory beyond the data.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace platform {

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const void* data, size_t size) : m_data(static_cast<const uint8_t*>(data)), m_size(size) {}
    explicit ByteReader(const std::vector<uint8_t>& data) : ByteReader(data.data(), data.size()) {}

    bool Ok() const { return m_ok; }
    size_t Position() const { return m_pos; }
    size_t Size() const { return m_size; }
    size_t Remaining() const { return m_ok ? m_size - m_pos : 0; }
    const uint8_t* Data() const { return m_data; }

    // Moves to an absolute offset; fails for an offset past the end.
    bool Seek(size_t offset) {
        if (!m_ok || offset > m_size) return Fail();
        m_pos = offset;
        return true;
    }
    bool Skip(size_t n) { return Has(n) ? (m_pos += n, true) : Fail(); }
    bool Has(size_t n) const { return m_ok && n <= m_size - m_pos; }

    uint8_t U8() { return static_cast<uint8_t>(Le(1)); }
    uint16_t U16() { return static_cast<uint16_t>(Le(2)); }
    uint32_t U32() { return static_cast<uint32_t>(Le(4)); }
    uint64_t U64() { return Le(8); }
    int8_t I8() { return static_cast<int8_t>(U8()); }
    int16_t I16() { return static_cast<int16_t>(U16()); }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    int64_t I64() { return static_cast<int64_t>(U64()); }
    double F64() {
        const uint64_t bits = U64();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    float F32() {
        const uint32_t bits = U32();
        float v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    // Copies n bytes; zero-fills out and fails when they are not there.
    bool Bytes(void* out, size_t n) {
        if (!Has(n)) {
            std::memset(out, 0, n);
            return Fail();
        }
        std::memcpy(out, m_data + m_pos, n);
        m_pos += n;
        return true;
    }
    // A pointer to n bytes in place (null when they are not there).
    const uint8_t* Span(size_t n) {
        if (!Has(n)) {
            Fail();
            return nullptr;
        }
        const uint8_t* p = m_data + m_pos;
        m_pos += n;
        return p;
    }
    // n UTF-16 units stored little-endian.
    bool Utf16(char16_t* out, size_t n) {
        if (!Has(n * 2)) {
            std::memset(out, 0, n * sizeof(char16_t));
            return Fail();
        }
        for (size_t i = 0; i < n; ++i) out[i] = static_cast<char16_t>(U16());
        return true;
    }

private:
    bool Fail() {
        m_ok = false;
        return false;
    }
    uint64_t Le(size_t n) {
        if (!Has(n)) {
            Fail();
            return 0;
        }
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(m_data[m_pos + i]) << (8 * i);
        m_pos += n;
        return v;
    }

    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_pos = 0;
    bool m_ok = true;
};

class ByteWriter {
public:
    const std::vector<uint8_t>& Data() const { return m_data; }
    std::vector<uint8_t>& Data() { return m_data; }
    size_t Size() const { return m_data.size(); }

    void U8(uint8_t v) { m_data.push_back(v); }
    void U16(uint16_t v) { Le(v, 2); }
    void U32(uint32_t v) { Le(v, 4); }
    void U64(uint64_t v) { Le(v, 8); }
    void I8(int8_t v) { U8(static_cast<uint8_t>(v)); }
    void I16(int16_t v) { U16(static_cast<uint16_t>(v)); }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void I64(int64_t v) { U64(static_cast<uint64_t>(v)); }
    void F64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        U64(bits);
    }
    void F32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        U32(bits);
    }
    void Bytes(const void* data, size_t n) {
        const auto* p = static_cast<const uint8_t*>(data);
        m_data.insert(m_data.end(), p, p + n);
    }
    void Zeros(size_t n) { m_data.insert(m_data.end(), n, 0); }
    // n UTF-16 units, the text cut or zero-padded to n.
    void Utf16(const std::u16string& text, size_t n) {
        for (size_t i = 0; i < n; ++i) U16(i < text.size() ? text[i] : 0);
    }
    // Overwrites 4 bytes at an earlier offset (sizes and offsets known late).
    void PatchU32(size_t offset, uint32_t v) {
        for (size_t i = 0; i < 4; ++i) m_data[offset + i] = static_cast<uint8_t>(v >> (8 * i));
    }

private:
    void Le(uint64_t v, size_t n) {
        for (size_t i = 0; i < n; ++i) m_data.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    std::vector<uint8_t> m_data;
};

}  // namespace platform
