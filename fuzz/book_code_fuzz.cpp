// The map-book code files from untrusted bytes: a page file as stored (one
// zlib stream, inflated as the look-up inflates it), the inflated page
// itself and "jejupoi.dat", each searched for a few codes.
#include <zlib.h>

#include <cstdint>
#include <vector>

#include "search/book_code.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::vector<uint8_t> page(kBookPageMaxBytes);
    BookCodeItem item;
    uLongf inflated = kBookPageMaxBytes;
    const bool packed = uncompress(page.data(), &inflated, data, static_cast<uLong>(size)) == Z_OK;
    for (uint32_t code : {1001u, 120500u, 123456u, 930001u, 0u, 0xFFFFFFFFu}) {
        if (packed) BookCodeLookup::FindInPage(page.data(), inflated, code, item);
        BookCodeLookup::FindInPage(data, size, code, item);
        BookCodeLookup::FindInJeju(data, size, code, item);
    }
    return 0;
}
