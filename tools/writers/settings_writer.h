#pragma once
// Writes the settings and text files of a data root: "\UI\Data.ini", the
// text-table list "\UI\text_file_config.txt" and the text tables it names.
// Texts are given as UTF-8 and stored in CP949 with CR LF line ends.
#include <string>
#include <utility>
#include <vector>

namespace settingswriter {

// One settings-file line: key, type (1 integer, 2 string) and value text.
struct SettingLine {
    std::string key;
    int type = 2;
    std::string value;
};

// "key|type=value\r\n" per line, CP949. False (error set) when a text has
// no CP949 form.
bool SettingsFileBytes(const std::vector<SettingLine>& lines, std::string& out, std::string* error = nullptr);

// A text table: "id\ttext\r\n" per text, CP949.
bool TextTableBytes(const std::vector<std::pair<int, std::string>>& texts, std::string& out,
                    std::string* error = nullptr);

// The text-file list: a comment line, then "index\tname\t0\t\"file\"\r\n".
std::string TextFileListBytes(const std::vector<std::pair<int, std::string>>& files);

// The demo data root's settings and text files under root (a native
// folder). False (error set) when a file cannot be written.
bool WriteDemoSettings(const std::string& root, std::string* error = nullptr);

}  // namespace settingswriter
