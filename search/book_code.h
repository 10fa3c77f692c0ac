#pragma once
// BookCodeLookup: turns a map-book code (the place numbers of a printed road
// atlas) into a place: name, address text and position in degrees, minutes
// and seconds. It reads the folder "LCODE" under the data root and keeps
// nothing between calls.
//
// Page files "bookcode.NN" (part 0 of a page) and "bookcode.NNN" (page * 10
// + part): one zlib stream that inflates to at most 360000 bytes: u32 item
// count, count u32 offsets (from the start of the inflated data) in
// ascending code order, the 104-byte items at those offsets.
//
// "jejupoi.dat" (not packed): u32 count, count u32 file offsets, at each a
// 432-byte item: u32 code, 140-byte name, i32 longitude degrees, i32
// minutes, f64 seconds, the same for the latitude, 256-byte address text;
// ascending code order.
//
// Offsets and counts are checked against the data they point into, and the
// texts always end with a zero.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The record of the page files and the answer of both look-ups (104 bytes).
struct BookCodeItem {
    uint32_t code = 0;
    char name[32] = {};      // CP949, zero-terminated
    char address[52] = {};   // CP949, zero-terminated
    uint8_t lonDeg = 0;
    uint8_t lonMin = 0;
    uint8_t pad90[2] = {};
    float lonSec = 0;
    uint8_t latDeg = 0;
    uint8_t latMin = 0;
    uint8_t pad98[2] = {};
    float latSec = 0;
};
static_assert(sizeof(BookCodeItem) == 104);

inline constexpr size_t kBookCodeItemBytes = 104;
inline constexpr size_t kJejuItemBytes = 432;
inline constexpr size_t kBookPageMaxBytes = 360000;

// The 104 bytes of an item as stored, and back (texts cut so that they end
// with a zero and no character is split).
bool DecodeBookCodeItem(const uint8_t* bytes, size_t size, BookCodeItem& out);
void EncodeBookCodeItem(const BookCodeItem& item, std::vector<uint8_t>& out);

// The page file name of a code ("bookcode.12", "bookcode.121"), empty for a
// code or page of 0 or less. Pages 92, 93 and 94 are all page 92.
std::string BookCodeFileName(int32_t code);

// The bisection of both files over count items: code(i) gives the code of
// item i (false when it cannot be read). The index of the item with the
// code, or -1.
template <typename CodeAt>
int64_t BisectBookCode(int64_t count, uint32_t code, CodeAt codeAt) {
    if (count < 1) return -1;
    int64_t low = 0, high = count - 1, middle = (count - 1) / 2;
    uint32_t c = 0;
    if (!codeAt(middle, c)) return -1;
    while (c != code && high - low > 1) {
        if (c < code)
            low = middle;
        else
            high = middle;
        middle = (low + high) / 2;
        if (!codeAt(middle, c)) return -1;
    }
    for (int64_t i : {low, middle, high})
        if (codeAt(i, c) && c == code) return i;
    return -1;
}

class BookCodeLookup {
public:
    // dataRoot: the data root; the files are under its "LCODE" folder.
    explicit BookCodeLookup(std::string dataRoot = {}) : m_root(std::move(dataRoot)) {}

    // The page-file look-up: 1 found, 0 not found.
    int FindCodeItem430(int32_t code, BookCodeItem& out);
    // The look-up in "jejupoi.dat": 1 found, 0 not found.
    int FindJejuCodeItem(int32_t code, BookCodeItem& out);
    // The page-file search itself: the code when found, else -1.
    int32_t find_poi_book_code430(int32_t code, BookCodeItem& out);
    // Reads and inflates one page file into the lookup's buffer (at most
    // 360000 bytes): the inflated size, or -1.
    int64_t UnCompress_lcode(const std::string& path);

    // The search over an inflated page: the code when found, else -1.
    static int32_t FindInPage(const uint8_t* data, size_t size, uint32_t code, BookCodeItem& out);
    // The search over the bytes of "jejupoi.dat": the code or -1.
    static int32_t FindInJeju(const uint8_t* data, size_t size, uint32_t code, BookCodeItem& out);

private:
    std::string Folder() const;

    std::string m_root;
    std::vector<uint8_t> m_page;
};
