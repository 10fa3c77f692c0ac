#include "search/search_records.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_cursor.h"

namespace {

// One walker for both directions, so the encoder and the decoder cannot
// disagree about a field: Encode writes each field, Decode reads it back.
struct RecordWriter {
    platform::ByteWriter w;
    void U8(const uint8_t& v) { w.U8(v); }
    void U16(const uint16_t& v) { w.U16(v); }
    void U32(const uint32_t& v) { w.U32(v); }
    void F64(const double& v) { w.F64(v); }
    void Raw(const uint8_t* p, size_t n) { w.Bytes(p, n); }
    void Text(const char16_t* p, size_t n) {
        for (size_t i = 0; i < n; ++i) w.U16(p[i]);
    }
};

struct RecordReader {
    platform::ByteReader r;
    void U8(uint8_t& v) { v = r.U8(); }
    void U16(uint16_t& v) { v = r.U16(); }
    void U32(uint32_t& v) { v = r.U32(); }
    void F64(double& v) { v = r.F64(); }
    void Raw(uint8_t* p, size_t n) { r.Bytes(p, n); }
    void Text(char16_t* p, size_t n) { r.Utf16(p, n); }
};

template <typename Io, typename Row>
void WalkThemeRow(Io& io, Row& t) {
    io.U32(t.nIndex);
    io.U32(t.nThemeKey);
    io.U8(t.bThemeKind);
    io.U8(t.bThemeFlag);
    io.Raw(t.pad10, 2);
    io.U32(t.nDistance);
    io.U32(t.uAreaCode);
    io.U16(t.wCate);
    io.U8(t.bValid);
    io.U8(t.bSubKind);
    io.U32(t.pt.x);
    io.U32(t.pt.y);
    io.Text(t.szName, kSchNameChars);
    io.Text(t.szAddress, kSchAddressChars);
    io.Raw(t.pad186, 2);
}

template <typename Io, typename Req>
void WalkRequest(Io& io, Req& q) {
    io.U32(q.SearchKindID);
    io.Text(q.szKeyword, kSchKeywordChars);
    io.U32(q.uAreaCode);
    io.U32(q.nSubCode);
    io.U32(q.nRadius);
    io.U32(q.bMiddleWord);
    io.U32(q.reserved96);
    io.U32(q.ptCenter.x);
    io.U32(q.ptCenter.y);
    io.U8(q.eOrderBy);
    io.Raw(q.pad109, 3);
    io.U32(q.nRecordID);
    io.Raw(q.reserved116, 4);
    io.F64(q.dBuildingKey);
    io.U16(q.wTelArea);
    io.Raw(q.pad130, 2);
    io.U32(q.uTelNumber);
    io.U16(q.wThemeMask2);
    io.U16(q.wThemeKind2);
    io.U16(q.wThemeKind);
    io.U16(q.wThemeClass);
    io.U16(q.wThemeMask);
    io.Raw(q.reserved146, 2);
    io.U32(q.nOption);
}

template <typename Io, typename Res>
void WalkResult(Io& io, Res& s) {
    io.U32(s.nIndex);
    io.U8(s.bKind);
    io.Raw(s.pad5, 3);
    io.U32(s.nDistance);
    io.U32(s.uAreaCode);
    io.U32(s.nCateIndex);
    io.U32(s.nCateCode);
    io.U32(s.pt.x);
    io.U32(s.pt.y);
    io.U16(s.wTelArea);
    io.Raw(s.pad34, 2);
    io.U32(s.uTelNumber);
    io.Text(s.szName, kSchNameChars);
    io.Text(s.szName2, kSchNameChars);
    io.Text(s.szAddress, kSchAddressChars);
    io.Text(s.szCateName, kSchCateNameChars);
    io.U32(s.nPOIID);
    io.U32(s.bDetail);
    io.Text(s.szBuilding, kSchNameChars);
    io.U8(s.cFloor);
    io.Raw(s.reserved407, sizeof s.reserved407);
    io.U32(s.ptEntry.x);
    io.U32(s.ptEntry.y);
    io.U8(s.bDetailKind);
    io.U8(s.pad473);
    io.Text(s.szDetail, kSchDetailChars);
    io.Raw(s.pad546, 2);
    io.U32(s.nAddrValue);
    io.U16(s.wAddrValue);
    io.Raw(s.pad554, 2);
    WalkThemeRow(io, s.ThemeRow);
}

// The walkers take non-const references; the encoder only reads them.
template <typename T>
T& Mutable(const T& v) {
    return const_cast<T&>(v);
}

// A record's value into its stored bytes, and back, through its walker.
template <typename Value, typename Record, typename Walk>
void Encode(const Value& value, Record& out, Walk walk) {
    RecordWriter io;
    walk(io, Mutable(value));
    std::memset(out.bytes, 0, sizeof out.bytes);
    std::memcpy(out.bytes, io.w.Data().data(), std::min(io.w.Size(), sizeof out.bytes));
}

template <typename Value, typename Record, typename Walk>
Value Decode(const Record& record, Walk walk) {
    Value value;
    RecordReader io{platform::ByteReader(record.bytes, sizeof record.bytes)};
    walk(io, value);
    return value;
}

}  // namespace

void EncodeSearchRequest(const SearchRequest& request, SearchRequestRecord& out) {
    Encode(request, out, [](auto& io, auto& q) { WalkRequest(io, q); });
}

SearchRequest DecodeSearchRequest(const SearchRequestRecord& record) {
    return Decode<SearchRequest>(record, [](auto& io, auto& q) { WalkRequest(io, q); });
}

void EncodeSearchResult(const SearchResult& result, SearchResultRecord& out) {
    Encode(result, out, [](auto& io, auto& s) { WalkResult(io, s); });
}

SearchResult DecodeSearchResult(const SearchResultRecord& record) {
    return Decode<SearchResult>(record, [](auto& io, auto& s) { WalkResult(io, s); });
}

void EncodeSearchThemeRow(const SearchThemeRow& row, SearchThemeRowRecord& out) {
    Encode(row, out, [](auto& io, auto& t) { WalkThemeRow(io, t); });
}

SearchThemeRow DecodeSearchThemeRow(const SearchThemeRowRecord& record) {
    return Decode<SearchThemeRow>(record, [](auto& io, auto& t) { WalkThemeRow(io, t); });
}

void SetSearchText(char16_t* field, size_t n, std::u16string_view text) {
    if (n == 0) return;
    size_t len = text.size() < n - 1 ? text.size() : n - 1;
    // A high surrogate whose partner was cut off goes too.
    if (len > 0 && len < text.size() && text[len - 1] >= 0xD800 && text[len - 1] <= 0xDBFF) --len;
    for (size_t i = 0; i < n; ++i) field[i] = i < len ? text[i] : u'\0';
}

std::u16string_view SearchText(const char16_t* field, size_t n) {
    size_t len = 0;
    while (len < n && field[len]) ++len;
    return {field, len};
}
