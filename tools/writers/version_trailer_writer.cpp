#include "tools/writers/version_trailer_writer.h"

#include <algorithm>

#include "platform/byte_cursor.h"
#include "platform/file_io.h"
#include "platform/paths.h"

namespace writers {

std::vector<uint8_t> BuildVersionTrailer(const VersionStamp& stamp) {
    platform::ByteWriter w;
    w.Bytes("PELOXVERINFO", 12);
    w.U32(0);
    w.U32(stamp.major);
    w.U32(stamp.minor);
    w.U32(stamp.build);
    w.U32(0);
    const size_t dateBytes = std::min<size_t>(stamp.dateCp949.size(), 16);
    w.Bytes(stamp.dateCp949.data(), dateBytes);
    w.Zeros(16 - dateBytes);
    return w.Data();
}

void AppendVersionTrailer(std::vector<uint8_t>& fileBytes, const VersionStamp& stamp) {
    const std::vector<uint8_t> trailer = BuildVersionTrailer(stamp);
    fileBytes.insert(fileBytes.end(), trailer.begin(), trailer.end());
}

bool StampFileVersion(const std::string& nativePath, const VersionStamp& stamp, std::string* error) {
    std::vector<uint8_t> bytes;
    if (platform::FileExists(nativePath) && !platform::ReadWholeFile(nativePath, bytes, error)) return false;
    AppendVersionTrailer(bytes, stamp);
    return platform::AtomicReplaceFile(nativePath, bytes, error);
}

}  // namespace writers
