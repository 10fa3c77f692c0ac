#include "search/addr_text.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "search/area_codes.h"
#include "search/search_keys.h"

template <uint32_t N, uint32_t C>
int NcAddrTextIndex<N, C>::OpenIndex(const std::string& folder) {
    CloseIndex();
    m_keyword.clear();
    m_class = kCharOther;
    m_bucket = 0;
    m_filterCount = 0;
    m_hits.clear();
    m_buckets.fill(1);
    if (!m_file.Open(platform::NativePath(folder + FileName()))) return 0;
    uint8_t table[kTextIndexTableBytes];
    m_fileSize = m_file.Size();
    if (m_fileSize < 0 || !m_file.ReadExactAt(0, table, sizeof table)) {
        CloseIndex();
        return 0;
    }
    platform::ByteReader r(table, sizeof table);
    for (auto& offset : m_buckets) offset = r.U32();
    return 1;
}

template <uint32_t N, uint32_t C>
void NcAddrTextIndex<N, C>::CloseIndex() {
    m_file.Close();
    m_fileSize = 0;
}

template <uint32_t N, uint32_t C>
bool NcAddrTextIndex<N, C>::SetKeyword(std::string_view keyword) {
    m_keyword = std::string(CutCp949(keyword, kTextKeywordBytes - 1));
    std::u16string text;
    if (!platform::Cp949ToUtf16(m_keyword, text) || text.size() < 2) return false;
    m_class = ClassifyKeyword(text);
    if (m_class == kCharOther) return false;
    m_consonants = ConsonantsOf(m_keyword);
    m_mask = MakeJamoMask(m_keyword);
    if (m_class == kCharJamo)
        m_bucket = BucketKey(m_keyword, InitialList::kJamo);
    else if (m_class == kCharMixed)
        m_bucket = BucketKey(m_consonants, InitialList::kJamo);
    else
        m_bucket = BucketKey(m_keyword, InitialList::kSyllables);
    return m_buckets[static_cast<size_t>(m_bucket)] != 0;
}

template <uint32_t N, uint32_t C>
void NcAddrTextIndex<N, C>::SetAreaFilter(uint32_t code) {
    m_filterCount = 0;
    if (code == 0) return;
    const int row = FindCityRow(code);
    if (row < 0) {
        m_filter[0] = code;
        m_filterCount = 1;
        return;
    }
    for (uint32_t d : CityDistrictTable()[row].districts)
        if (d) m_filter[static_cast<size_t>(m_filterCount++)] = d;
}

template <uint32_t N, uint32_t C>
bool NcAddrTextIndex<N, C>::IsInArea(uint32_t areaCode) const {
    if (m_filterCount == 0) return true;
    for (int i = 0; i < m_filterCount; ++i) {
        const uint32_t f = m_filter[static_cast<size_t>(i)];
        for (uint32_t q = areaCode; q >= f; q /= 100)
            if (q == f) return true;
    }
    return false;
}

template <uint32_t N, uint32_t C>
bool NcAddrTextIndex<N, C>::MatchName(const uint8_t* field) const {
    const size_t len = m_keyword.size();
    // A keyword longer than the name field cannot be the start of a name.
    if (len > N) return false;
    const std::string_view name(reinterpret_cast<const char*>(field), N);
    if (m_class == kCharMixed) {
        const std::string nameConsonants = ConsonantsOf(name);
        if (std::memcmp(nameConsonants.data(), m_consonants.data(), len) != 0) return false;
        for (size_t i = 0; i < len; ++i)
            if ((m_keyword[i] & m_mask[i]) != (name[i] & m_mask[i])) return false;
        return true;
    }
    if (m_class == kCharJamo) return std::memcmp(ConsonantsOf(name).data(), m_keyword.data(), len) == 0;
    return std::memcmp(name.data(), m_keyword.data(), len) == 0;
}

template <uint32_t N, uint32_t C>
int NcAddrTextIndex<N, C>::Search(std::string_view keyword, uint32_t areaCode) {
    m_hits.clear();
    if (!m_file.IsOpen() || !SetKeyword(keyword)) return 0;
    SetAreaFilter(areaCode);

    const size_t k = static_cast<size_t>(m_bucket);
    const uint64_t start = m_buckets[k];
    uint64_t end = m_buckets[kTextIndexBucketSlots - 1];
    for (size_t j = k + 1; j + 1 < kTextIndexBucketSlots; ++j)
        if (m_buckets[j]) {
            end = m_buckets[j];
            break;
        }
    end = std::min<uint64_t>(end, static_cast<uint64_t>(m_fileSize));

    uint8_t chunk[C];
    for (uint64_t pos = start; pos + kEntryBytes <= end && m_hits.size() < kTextIndexMaxHits;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(C, end - pos)) / kEntryBytes * kEntryBytes;
        if (!m_file.ReadExactAt(pos, chunk, want)) break;
        for (size_t e = 0; e < want && m_hits.size() < kTextIndexMaxHits; e += kEntryBytes) {
            platform::ByteReader r(chunk + e, kEntryBytes);
            const uint32_t code = r.U32();
            const uint8_t* field = chunk + e + 4;
            if (!IsInArea(code) || !MatchName(field)) continue;
            m_hits.push_back({code, std::string(CutCp949(std::string_view(reinterpret_cast<const char*>(field), N), N))});
        }
        pos += want;
    }
    return 1;
}

template <uint32_t N, uint32_t C>
int NcAddrTextIndex<N, C>::FetchHits(int start, int n, AddrTextHitEntry* out, int* outCount) const {
    const int count = GetHitCount();
    if (start < 0 || start > count || n <= 0 || !out) return 0;
    const int m = std::min(n, count - start);
    for (int i = 0; i < m; ++i) out[i] = m_hits[static_cast<size_t>(start + i)];
    if (outCount) *outCount = m;
    return 1;
}

template class NcAddrTextIndex<16, 4080>;
template class NcAddrTextIndex<24, 4060>;
