// Makes the program's font files from a TrueType font: one vector font
// ("FVNM", outlines at a design height) and any number of bitmap fonts
// ("FBNM", one pixel size each), for every CP949 character the TrueType font
// covers.
//
//   font_convert --ttf NanumGothic.ttf --face FONT1 --out Font --vector --bitmap 16 --bitmap 30x400
//   font_convert --demo /usr/share/fonts/truetype/nanum build/demo-root/Font
//
// Options: --design-height N (vector, default 64 pixels per em),
// --design-width N (vector, default 400: a font asked for with width 400 is
// drawn at the outline's own weight), --chars TEXT (UTF-8; only these
// characters). A bitmap size is H or HxW (W defaults to H).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/paths.h"
#include "tools/writers/font_writer.h"

namespace {

struct Job {
    std::string ttf;
    std::string face;  // UTF-8
    bool vector = false;
    std::vector<std::pair<int, int>> bitmaps;  // height, width
};

int Usage() {
    std::fprintf(stderr,
                 "usage: font_convert --ttf FILE --face NAME --out FOLDER [--vector] [--bitmap H[xW]]...\n"
                 "                    [--design-height N] [--design-width N] [--chars TEXT]\n"
                 "       font_convert --demo TTF_FOLDER OUT_FOLDER\n");
    return 2;
}

bool ToCp949(const std::string& utf8, std::string& out) {
    return platform::Utf16ToCp949(platform::Utf8ToUtf16(utf8), out);
}

bool CodesOf(const std::string& utf8, std::vector<uint16_t>& codes) {
    std::string cp949;
    if (!ToCp949(utf8, cp949)) return false;
    size_t pos = 0;
    while (pos < cp949.size()) {
        const auto b0 = static_cast<uint8_t>(cp949[pos]);
        if ((b0 & 0x80) && pos + 1 < cp949.size()) {
            codes.push_back(static_cast<uint16_t>(b0 << 8 | static_cast<uint8_t>(cp949[pos + 1])));
            pos += 2;
        } else {
            codes.push_back(b0);
            ++pos;
        }
    }
    return true;
}

bool Convert(fontwriter::TrueTypeOptions options, const std::string& outFolder, const std::string& fileStem) {
    fontwriter::FontDesc desc;
    std::string error;
    if (!fontwriter::ConvertTrueType(options, desc, &error)) {
        std::fprintf(stderr, "font_convert: %s: %s\n", options.ttfPath.c_str(), error.c_str());
        return false;
    }
    const std::string path = outFolder + "/" + fileStem;
    if (!fontwriter::WriteFontFile(path, desc, &error)) {
        std::fprintf(stderr, "font_convert: cannot write %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    std::printf("%s: %zu glyphs\n", path.c_str(), desc.glyphs.size());
    return true;
}

bool RunJob(const Job& job, const std::string& outFolder, int designHeight, int designWidth,
            const std::vector<uint16_t>& codes) {
    fontwriter::TrueTypeOptions options;
    options.ttfPath = job.ttf;
    options.codes = codes;
    if (!ToCp949(job.face, options.faceName) || options.faceName.empty() || options.faceName.size() > 64) {
        std::fprintf(stderr, "font_convert: face name must be 1 to 64 CP949 bytes\n");
        return false;
    }
    bool ok = true;
    if (job.vector) {
        options.bitmap = false;
        options.height = designHeight;
        options.width = designWidth;
        ok = Convert(options, outFolder, job.face + "_v.fnt") && ok;
    }
    for (const auto& [h, w] : job.bitmaps) {
        options.bitmap = true;
        options.height = h;
        options.width = w;
        ok = Convert(options, outFolder, job.face + "_b" + std::to_string(h) + "x" + std::to_string(w) + ".fnt") && ok;
    }
    return ok;
}

bool ParseSize(const std::string& text, std::pair<int, int>& out) {
    char* end = nullptr;
    const long h = std::strtol(text.c_str(), &end, 10);
    long w = h;
    if (*end == 'x') w = std::strtol(end + 1, &end, 10);
    if (*end != '\0' || h <= 0 || h > 200 || w <= 0 || w > 100000) return false;
    out = {static_cast<int>(h), static_cast<int>(w)};
    return true;
}

// The faces the map style and the screens ask for, made from the two Nanum
// families. Bitmap sizes: the screens' label sizes, and the map style's
// bitmap face at its middle size class with the normal weight 400.
int RunDemo(const std::string& ttfFolder, const std::string& outFolder) {
    const std::string gothic = ttfFolder + "/NanumGothic.ttf";
    const std::string barun = ttfFolder + "/NanumBarunGothic.ttf";
    const std::vector<Job> jobs = {
        {gothic, "FONT1", true, {}},
        {barun, "FONT2", true, {}},
        {gothic, "FONT3", true, {}},
        {gothic, "FONT4", true, {{16, 16}, {20, 20}}},
        {barun, "FONT5", true, {{26, 400}}},
    };
    bool ok = true;
    for (const Job& job : jobs) ok = RunJob(job, outFolder, 64, 400, {}) && ok;
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "--demo") {
        if (!platform::MakeDirectories(args[2])) {
            std::fprintf(stderr, "font_convert: cannot create %s\n", args[2].c_str());
            return 1;
        }
        return RunDemo(args[1], args[2]);
    }
    Job job;
    std::string outFolder;
    int designHeight = 64;
    int designWidth = 400;
    std::vector<uint16_t> codes;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--vector") {
            job.vector = true;
        } else if (a == "--ttf" && hasValue) {
            job.ttf = args[++i];
        } else if (a == "--face" && hasValue) {
            job.face = args[++i];
        } else if (a == "--out" && hasValue) {
            outFolder = args[++i];
        } else if (a == "--design-height" && hasValue) {
            designHeight = std::atoi(args[++i].c_str());
        } else if (a == "--design-width" && hasValue) {
            designWidth = std::atoi(args[++i].c_str());
        } else if (a == "--chars" && hasValue) {
            if (!CodesOf(args[++i], codes)) {
                std::fprintf(stderr, "font_convert: --chars holds characters outside CP949\n");
                return 2;
            }
        } else if (a == "--bitmap" && hasValue) {
            std::pair<int, int> size;
            if (!ParseSize(args[++i], size)) return Usage();
            job.bitmaps.push_back(size);
        } else {
            return Usage();
        }
    }
    if (job.ttf.empty() || job.face.empty() || outFolder.empty() || (!job.vector && job.bitmaps.empty()) ||
        designHeight <= 0 || designHeight > 200 || designWidth <= 0) {
        return Usage();
    }
    if (!platform::MakeDirectories(outFolder)) {
        std::fprintf(stderr, "font_convert: cannot create %s\n", outFolder.c_str());
        return 1;
    }
    return RunJob(job, outFolder, designHeight, designWidth, codes) ? 0 : 1;
}
