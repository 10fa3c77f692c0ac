#pragma once
// The address text indexes: "addrchidx.sdb" (lot-number areas,
// NcSearchAddrText) and "newaddr_chidx.sdb" (road-name areas,
// NcSearchNAddrText). A file of (area code, name) entries bucketed by the
// initial consonants of the name's first two characters.
//
// File (little-endian, no magic):
//   0     362 * u32  bucket table: entry k (0..360) the offset of bucket
//                    k = i0 * 19 + i1, 0 when empty; entry 361 the end of
//                    the last bucket
//   1448  the buckets, each a run of entries from its offset to the next
//         non-empty bucket's offset (or entry 361)
// Entry: u32 area code, then the CP949 name zero-terminated inside a field
// of 16 bytes (addrchidx) or 24 bytes (newaddr_chidx).
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_io.h"

inline constexpr int kTextIndexBucketSlots = 362;
inline constexpr uint32_t kTextIndexTableBytes = kTextIndexBucketSlots * 4;
inline constexpr int kTextIndexMaxHits = 200;
// The keyword buffer: 63 bytes and the zero.
inline constexpr size_t kTextKeywordBytes = 64;

struct AddrTextHitEntry {
    uint32_t uAreaCode = 0;
    std::string name;  // CP949, up to the field's first zero
};

// The shared engine of both indexes; NameBytes is the width of the name
// field, ChunkBytes the size of one read.
template <uint32_t NameBytes, uint32_t ChunkBytes>
class NcAddrTextIndex {
public:
    static constexpr uint32_t kNameBytes = NameBytes;
    static constexpr uint32_t kEntryBytes = 4 + NameBytes;
    static constexpr uint32_t kChunkBytes = ChunkBytes;

    // Clears keyword, filter and hits and opens folder + fileName; 1 when
    // the file opened and its whole bucket table was read, else 0 (every
    // search then finds nothing).
    int OpenIndex(const std::string& folder);
    void CloseIndex();

    // 1 when the search ran (also with no hit); 0 when the keyword was
    // refused (fewer than 2 characters, not CP949, class 6, an empty
    // bucket) or the index is not open. Keywords longer than 63 bytes are
    // cut at a character boundary.
    int Search(std::string_view cp949Keyword, uint32_t areaCode);
    int GetHitCount() const { return static_cast<int>(m_hits.size()); }
    // Copies min(n, count - start) hits from start; 0 when start is
    // negative or beyond the count or n is not positive.
    int FetchHits(int start, int n, AddrTextHitEntry* out, int* outCount) const;

    // Exposed for the area filter tests and the brute-force checks.
    void SetAreaFilter(uint32_t code);
    bool IsInArea(uint32_t areaCode) const;
    // The name match of the keyword set by the last Search: field is the
    // name field as stored (kNameBytes bytes).
    bool MatchName(const uint8_t* field) const;
    int KeywordClass() const { return m_class; }
    int KeywordBucket() const { return m_bucket; }

protected:
    virtual const char* FileName() const = 0;
    virtual ~NcAddrTextIndex() = default;

private:
    bool SetKeyword(std::string_view cp949Keyword);

    platform::File m_file;
    int64_t m_fileSize = 0;
    std::array<uint32_t, kTextIndexBucketSlots> m_buckets{};
    std::string m_keyword;     // cut to 63 bytes
    std::string m_consonants;  // the keyword turned into consonants
    std::string m_mask;        // jamo mask of the keyword (class 5)
    int m_class = 6;
    int m_bucket = 0;
    std::array<uint32_t, 5> m_filter{};
    int m_filterCount = 0;
    std::vector<AddrTextHitEntry> m_hits;
};

class NcSearchAddrText : public NcAddrTextIndex<16, 4080> {
protected:
    const char* FileName() const override { return "addrchidx.sdb"; }
};

class NcSearchNAddrText : public NcAddrTextIndex<24, 4060> {
protected:
    const char* FileName() const override { return "newaddr_chidx.sdb"; }
};
