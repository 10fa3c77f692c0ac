#pragma once
// The real receiver logs in shared/testdata/gps beside the repository.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace gps_testdata {

// The folder of the logs: $NAVI_SOURCE_DIR/../shared/testdata/gps, else the
// first shared/testdata/gps found upward from the working folder. Empty
// when there is none.
inline std::string Folder() {
    namespace fs = std::filesystem;
    if (const char* src = std::getenv("NAVI_SOURCE_DIR")) {
        const fs::path p = fs::path(src) / ".." / "shared" / "testdata" / "gps";
        if (fs::is_directory(p)) return fs::canonical(p).string();
    }
    for (fs::path dir = fs::current_path(); !dir.empty(); dir = dir.parent_path()) {
        const fs::path p = dir / "shared" / "testdata" / "gps";
        if (fs::is_directory(p)) return p.string();
        if (dir == dir.parent_path()) break;
    }
    return {};
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

}  // namespace gps_testdata
