#include "mapdb/map_error.h"

const char* MneMapErrorText(MneMapError error) {
    switch (error) {
        case MneMapError::kNone: return "no error";
        case MneMapError::kNotOpen: return "file not open";
        case MneMapError::kOpenFailed: return "file cannot be opened";
        case MneMapError::kHeaderTruncated: return "header truncated";
        case MneMapError::kHeaderBadSize: return "header states an impossible block size";
        case MneMapError::kLevelTableOutside: return "level table lies outside the file";
        case MneMapError::kBadLevel: return "level outside 1..6 or not in the file";
        case MneMapError::kTileOutOfRange: return "tile outside the level's grid";
        case MneMapError::kNoBlock: return "tile has no block";
        case MneMapError::kIndexOutside: return "index entry lies outside the file";
        case MneMapError::kBlockOutside: return "block lies outside the file";
        case MneMapError::kBlockTooLarge: return "block larger than the header allows";
        case MneMapError::kReadFailed: return "read failed";
        case MneMapError::kInflateFailed: return "packed block is damaged";
        case MneMapError::kInflateSizeMismatch: return "packed block inflates to a different size";
        case MneMapError::kBadBlockContent: return "block content refused";
        case MneMapError::kNoBuffer: return "no block buffer or cache attached";
        case MneMapError::kCacheFull: return "block cache full";
        case MneMapError::kRecordOutOfRange: return "record number out of range";
        case MneMapError::kBadRecord: return "record refused";
    }
    return "unknown error";
}
