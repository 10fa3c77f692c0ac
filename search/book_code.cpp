#include "search/book_code.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "foundation/debug_trace.h"
#include "platform/byte_cursor.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "search/search_keys.h"

namespace {

// Copies a stored text into a field so that it ends with a zero and keeps
// whole characters.
void CopyText(char* field, size_t fieldBytes, const uint8_t* text, size_t textBytes) {
    CopyCp949Field(field, fieldBytes, std::string_view(reinterpret_cast<const char*>(text), textBytes));
}

// The u32 at offset, false when it lies outside the data.
bool U32At(const uint8_t* data, size_t size, uint64_t offset, uint32_t& out) {
    if (offset > size || size - offset < 4) return false;
    out = platform::ByteReader(data + offset, 4).U32();
    return true;
}

// The count of an offset table at 0, cut to the offsets that fit the data.
int64_t TableCount(const uint8_t* data, size_t size) {
    uint32_t count = 0;
    if (!U32At(data, size, 0, count)) return 0;
    return std::min<int64_t>(count, static_cast<int64_t>((size - 4) / 4));
}

uint8_t CutToByte(int32_t v) { return static_cast<uint8_t>(v); }

}  // namespace

bool DecodeBookCodeItem(const uint8_t* bytes, size_t size, BookCodeItem& out) {
    out = {};
    if (size < kBookCodeItemBytes) return false;
    platform::ByteReader rd(bytes, kBookCodeItemBytes);
    out.code = rd.U32();
    CopyText(out.name, sizeof out.name, rd.Span(32), 32);
    CopyText(out.address, sizeof out.address, rd.Span(52), 52);
    out.lonDeg = rd.U8();
    out.lonMin = rd.U8();
    rd.Skip(2);
    out.lonSec = rd.F32();
    out.latDeg = rd.U8();
    out.latMin = rd.U8();
    rd.Skip(2);
    out.latSec = rd.F32();
    return rd.Ok();
}

void EncodeBookCodeItem(const BookCodeItem& item, std::vector<uint8_t>& out) {
    platform::ByteWriter w;
    w.U32(item.code);
    w.Bytes(item.name, sizeof item.name);
    w.Bytes(item.address, sizeof item.address);
    w.U8(item.lonDeg);
    w.U8(item.lonMin);
    w.Zeros(2);
    w.F32(item.lonSec);
    w.U8(item.latDeg);
    w.U8(item.latMin);
    w.Zeros(2);
    w.F32(item.latSec);
    out.insert(out.end(), w.Data().begin(), w.Data().end());
}

std::string BookCodeFileName(int32_t code) {
    if (code <= 0) return {};
    int32_t page = code / 10000;
    if (page == 93 || page == 94) page = 92;
    if (page <= 0) return {};
    const int32_t part = (code - page * 10000) / 3000;
    char name[32];
    if (part == 0)
        std::snprintf(name, sizeof name, "bookcode.%02d", page);
    else
        std::snprintf(name, sizeof name, "bookcode.%03d", page * 10 + part);
    return name;
}

std::string BookCodeLookup::Folder() const { return platform::ResolveUnder(m_root, "LCODE") + "/"; }

int64_t BookCodeLookup::UnCompress_lcode(const std::string& path) {
    platform::File file;
    if (!file.Open(platform::NativePath(path))) {
        DebugTrace(3, "The file %s was not opened\n\r", path.c_str());
        return -1;
    }
    const int64_t size = file.Size();
    if (size < 0) {
        DebugTrace(3, "NU_Seek ERROR4(%d) \n\r", static_cast<int>(size));
        return -1;
    }
    std::vector<uint8_t> input(static_cast<size_t>(size));
    if (!file.ReadExactAt(0, input.data(), input.size())) {
        DebugTrace(3, "NU_Read_Fine ERROR\n\r");
        return -1;
    }
    file.Close();
    m_page.assign(kBookPageMaxBytes, 0);
    uLongf outSize = kBookPageMaxBytes;
    const int rc = uncompress(m_page.data(), &outSize, input.data(), static_cast<uLong>(input.size()));
    if (rc != Z_OK) {
        std::vector<uint8_t>().swap(m_page);
        DebugTrace(3, "UnCompress Err : %d\n\r", static_cast<int>(size));
        return -1;
    }
    m_page.resize(outSize);
    return static_cast<int64_t>(outSize);
}

int32_t BookCodeLookup::FindInPage(const uint8_t* data, size_t size, uint32_t code, BookCodeItem& out) {
    const int64_t count = TableCount(data, size);
    auto itemAt = [&](int64_t i, BookCodeItem& item) {
        uint32_t offset = 0;
        return U32At(data, size, 4 + static_cast<uint64_t>(i) * 4, offset) && offset <= size &&
               DecodeBookCodeItem(data + offset, size - offset, item);
    };
    const int64_t found = BisectBookCode(count, code, [&](int64_t i, uint32_t& c) {
        BookCodeItem item;
        if (!itemAt(i, item)) return false;
        c = item.code;
        return true;
    });
    if (found < 0 || !itemAt(found, out)) return -1;
    return static_cast<int32_t>(out.code);
}

int32_t BookCodeLookup::FindInJeju(const uint8_t* data, size_t size, uint32_t code, BookCodeItem& out) {
    const int64_t count = TableCount(data, size);
    auto itemAt = [&](int64_t i) -> const uint8_t* {
        uint32_t offset = 0;
        if (!U32At(data, size, 4 + static_cast<uint64_t>(i) * 4, offset) || offset > size ||
            size - offset < kJejuItemBytes)
            return nullptr;
        return data + offset;
    };
    const int64_t found = BisectBookCode(count, code, [&](int64_t i, uint32_t& c) {
        const uint8_t* item = itemAt(i);
        if (!item) return false;
        c = platform::ByteReader(item, 4).U32();
        return true;
    });
    if (found < 0) return -1;
    platform::ByteReader rd(itemAt(found), kJejuItemBytes);
    out = {};
    out.code = rd.U32();
    const uint8_t* name = rd.Span(140);
    const int32_t lonDeg = rd.I32(), lonMin = rd.I32();
    const double lonSec = rd.F64();
    const int32_t latDeg = rd.I32(), latMin = rd.I32();
    const double latSec = rd.F64();
    const uint8_t* address = rd.Span(256);
    CopyText(out.name, sizeof out.name, name, 140);
    CopyText(out.address, sizeof out.address, address, 256);
    out.lonDeg = CutToByte(lonDeg);
    out.lonMin = CutToByte(lonMin);
    out.lonSec = static_cast<float>(lonSec);
    out.latDeg = CutToByte(latDeg);
    out.latMin = CutToByte(latMin);
    out.latSec = static_cast<float>(latSec);
    return static_cast<int32_t>(out.code);
}

int32_t BookCodeLookup::find_poi_book_code430(int32_t code, BookCodeItem& out) {
    out = {};
    const std::string name = BookCodeFileName(code);
    if (name.empty()) return -1;
    const int64_t size = UnCompress_lcode(Folder() + name);
    if (size < 0) {
        DebugTrace(3, "[find_poi_book_code430] UnCompress_lcode Fail\n\r");
        return -1;
    }
    const int32_t found = FindInPage(m_page.data(), m_page.size(), static_cast<uint32_t>(code), out);
    std::vector<uint8_t>().swap(m_page);
    if (found < 0) {
        out = {};
        DebugTrace(3, "search Fail\n\r");
        return -1;
    }
    return found;
}

int BookCodeLookup::FindCodeItem430(int32_t code, BookCodeItem& out) {
    if (find_poi_book_code430(code, out) < 0) {
        DebugTrace(3, "\r\n[FindCodeItem430] : find_poi_book_code fail\n\r");
        return 0;
    }
    return 1;
}

int BookCodeLookup::FindJejuCodeItem(int32_t code, BookCodeItem& out) {
    out = {};
    std::vector<uint8_t> bytes;
    if (code < 0 || !platform::ReadWholeFile(platform::NativePath(Folder() + "jejupoi.dat"), bytes) ||
        FindInJeju(bytes.data(), bytes.size(), static_cast<uint32_t>(code), out) < 0) {
        out = {};
        DebugTrace(3, "\r\n[FindJejuCodeItem] : find_poi_book_code fail\n\r");
        return 0;
    }
    DebugTrace(1, "[FindJejuCodeItem] : %d found\n\r", code);
    return 1;
}
