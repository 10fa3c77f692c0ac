#pragma once
// Fonts for the toolkit's tests: "FONT1" and "FONT4" made from Nanum Gothic
// (ASCII and the Hangul syllables the tests draw) into <root>/Font, then
// made the font folder.
#include <algorithm>
#include <functional>
#include <string_view>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "render/vector_font.h"
#include "../support/cached_folder.h"
#include "tools/writers/font_writer.h"

namespace uitest {

// extraCp949: CP949 text whose characters the fonts must hold too.
inline bool MakeTestFonts(const std::string& root, const std::string& extraCp949 = {}) {
    platform::MakeDirectories(root + "/Font");
    std::vector<uint16_t> codes;
    for (uint16_t c = 0x20; c < 0x7F; ++c) codes.push_back(c);
    std::string korean;
    platform::Utf16ToCp949(u"길안내정적확인취소메뉴경로설정", korean);
    korean += extraCp949;
    for (size_t i = 0; i + 1 < korean.size(); ++i) {
        if (static_cast<uint8_t>(korean[i]) < 0x81) continue;
        codes.push_back(static_cast<uint16_t>((static_cast<uint8_t>(korean[i]) << 8) | static_cast<uint8_t>(korean[i + 1])));
        ++i;
    }
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    const auto convert = [&codes](const std::string& dir) {
        for (const char* face : {"FONT1", "FONT4"}) {
            fontwriter::TrueTypeOptions options;
            options.ttfPath = "/usr/share/fonts/truetype/nanum/NanumGothic.ttf";
            options.faceName = face;
            options.codes = codes;
            fontwriter::FontDesc desc;
            if (!fontwriter::ConvertTrueType(options, desc)) return false;
            if (!fontwriter::WriteFontFile(dir + "/" + face + "_v.fnt", desc)) return false;
        }
        return true;
    };
    const std::string key = "fonts-" + std::to_string(std::hash<std::string_view>()(
                                           std::string_view(reinterpret_cast<const char*>(codes.data()),
                                                            codes.size() * sizeof(codes[0]))));
    if (!testsupport::CopyCachedFolder(key, convert, root + "/Font")) return false;
    return SetVectorFontFolder(root + "/") != 0;
}

}  // namespace uitest
