#pragma once
// Why a map file or block was refused. The readers return 0 or null as the
// design asks; the reason stays with the reader for logs and tests.
#include <cstdint>

enum class MneMapError : uint8_t {
    kNone = 0,
    kNotOpen,
    kOpenFailed,
    kHeaderTruncated,
    kHeaderBadSize,      // a largest block size that no block may have
    kLevelTableOutside,  // a level table that does not lie inside the file
    kBadLevel,
    kTileOutOfRange,
    kNoBlock,            // the tile has no block: not an error of the file
    kIndexOutside,       // a top-index or entry position outside the file
    kBlockOutside,       // block bytes outside the file
    kBlockTooLarge,      // larger than the header's largest size
    kReadFailed,
    kInflateFailed,
    kInflateSizeMismatch,
    kBadBlockContent,    // the block's own offsets do not fit it
    kNoBuffer,
    kCacheFull,
    kRecordOutOfRange,
    kBadRecord,
};

const char* MneMapErrorText(MneMapError error);
