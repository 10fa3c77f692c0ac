#pragma once
// The real receiver logs in shared/testdata/gps beside the repository.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/source_dir.h"

namespace gps_testdata {

// The folder of the logs: shared/testdata/gps beside the source tree,
// found as the other source-tree files of the tests are (under
// NAVI_SOURCE_DIR/.. when that is set, else upwards from the test
// program, whatever the working folder). Empty when there is none.
inline std::string Folder() {
    const std::string folder = testsupport::SourceFile("../shared/testdata/gps");
    if (folder.empty() || !std::filesystem::is_directory(folder)) return {};
    return std::filesystem::canonical(folder).string();
}

// The names of the logs ("bu353s4.log"), sorted.
inline std::vector<std::string> LogNames() {
    std::vector<std::string> names;
    const std::string folder = Folder();
    if (folder.empty()) return names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 4 && name.ends_with(".log")) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The log's lines (with their line ends), comment lines left out: the bytes
// the receiver sent.
inline std::string ReceiverBytes(const std::string& logName) {
    const std::string text = ReadText(Folder() + "/" + logName);
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        end = end == std::string::npos ? text.size() : end + 1;
        if (text[pos] != '#') out.append(text, pos, end - pos);
        pos = end;
    }
    return out;
}

// The same bytes with stray bytes before every sentence on its line, in
// turn: a leading space, a lone carriage return, a binary frame (holding a
// '$' and a NUL of its own) of a receiver that mixes a binary protocol with
// NMEA, and the noise a receiver sends right after a reconnect.
inline std::string WithStrayBytes(const std::string& bytes) {
    static const std::string kStray[] = {
        " ",
        "\r",
        std::string("\x81\x02\x24\x00\x80\x01\x7f\x82", 8),
        "\xff\xfe~noise~",
    };
    std::string out;
    size_t pos = 0, n = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        end = end == std::string::npos ? bytes.size() : end + 1;
        out += kStray[n++ % 4];
        out.append(bytes, pos, end - pos);
        pos = end;
    }
    return out;
}

}  // namespace gps_testdata
