#include "tools/writers/theme_convert_writer.h"

#include "platform/byte_cursor.h"
#include "platform/file_io.h"
#include "platform/paths.h"

namespace writers {

std::vector<uint8_t> BuildThemeIdConvertTable(const std::vector<int32_t>& newIds) {
    platform::ByteWriter out;
    out.U32(static_cast<uint32_t>(newIds.size()));
    for (const int32_t id : newIds) out.I32(id);
    return out.Data();
}

bool WriteThemeIdConvertTable(const std::string& nativePath, const std::vector<int32_t>& newIds, std::string* error) {
    const size_t slash = nativePath.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !platform::MakeDirectories(nativePath.substr(0, slash))) {
        if (error) *error = "cannot create the folder of " + nativePath;
        return false;
    }
    return platform::AtomicReplaceFile(nativePath, BuildThemeIdConvertTable(newIds), error);
}

}  // namespace writers
