#include "tools/writers/settings_writer.h"

#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/paths.h"

namespace settingswriter {
namespace {

bool ToCp949(const std::string& utf8, std::string& out, std::string* error) {
    platform::CodecError codec;
    if (platform::Utf16ToCp949(platform::Utf8ToUtf16(utf8), out, &codec)) return true;
    if (error) *error = "no CP949 form for \"" + utf8 + "\": " + codec.message;
    return false;
}

bool WriteFile(const std::string& root, const std::string& relative, const std::string& bytes, std::string* error) {
    const std::string path = platform::ResolveUnder(root, relative);
    const size_t slash = path.rfind('/');
    if (slash != std::string::npos && !platform::MakeDirectories(path.substr(0, slash))) {
        if (error) *error = "cannot create the folder of " + path;
        return false;
    }
    return platform::AtomicReplaceFile(path, bytes, error);
}

}  // namespace

bool SettingsFileBytes(const std::vector<SettingLine>& lines, std::string& out, std::string* error) {
    std::string text;
    for (const SettingLine& line : lines) {
        text += line.key + "|" + std::to_string(line.type) + "=" + line.value + "\r\n";
    }
    return ToCp949(text, out, error);
}

bool TextTableBytes(const std::vector<std::pair<int, std::string>>& texts, std::string& out, std::string* error) {
    std::string text = "# id\ttext\r\n";
    for (const auto& [id, value] : texts) text += std::to_string(id) + "\t" + value + "\r\n";
    return ToCp949(text, out, error);
}

std::string TextFileListBytes(const std::vector<std::pair<int, std::string>>& files) {
    std::string text = "# index\tname\tunused\tfile\r\n";
    for (const auto& [index, file] : files) {
        const std::string stem = file.substr(0, file.rfind('.'));
        text += std::to_string(index) + "\t" + stem + "\t0\t\"" + file + "\"\r\n";
    }
    return text;
}

bool WriteDemoSettings(const std::string& root, std::string* error) {
    std::string dataIni;
    if (!SettingsFileBytes({{"EXTENDWAVE", 1, "1"}, {"CROSSIMG", 1, "1"}, {"PHONEDB", 1, "0"}, {"SUBPOI", 1, "1"}},
                           dataIni, error) ||
        !WriteFile(root, "UI/Data.ini", dataIni, error)) {
        return false;
    }

    // Table 1: general texts, with the scale names of zoom levels 1..14 at
    // 625..638. Table 2: texts of the map screens, with the message-box
    // button captions at 118..124.
    std::vector<std::pair<int, std::string>> general = {
        {1, "길안내"}, {2, "목적지 검색"}, {3, "현재위치"}, {4, "설정"}, {5, "0"},
    };
    static const char* const kScales[] = {"25m", "50m",  "100m", "200m",  "500m",  "1km",   "2km",
                                          "5km", "10km", "20km", "50km", "100km", "200km", "500km"};
    for (int level = 1; level <= 14; ++level) general.emplace_back(624 + level, kScales[level - 1]);
    // The placeholder screen and the start notice.
    general.insert(general.end(), {{9001, "준비 중인 화면"},
                                   {9002, "뒤로"},
                                   {9003, "현위치"},
                                   {9004, "운전 중에는 화면을 조작하지 마십시오.\\n안전 운전하십시오."}});
    std::vector<std::pair<int, std::string>> map = {
        {118, "확인"}, {119, "취소"}, {120, "예"}, {121, "아니오"}, {122, "다시"}, {123, "닫기"}, {124, "\"계속\""},
    };
    // The chapter framework's texts of table 2: the area name of a point
    // outside every area, the road-sign kinds, and the one-button boxes'
    // caption (122, "확인").
    map.insert(map.begin(), {2, "알 수 없는 지역"});
    for (auto& [id, text] : map)
        if (id == 122) text = "확인";
    for (const auto& text : std::vector<std::pair<int, std::string>>{
             {211, "고속도로"}, {212, "지방도"}, {213, "국도"}, {214, "도시고속도로"}})
        map.push_back(text);
    std::string generalBytes;
    std::string mapBytes;
    if (!TextTableBytes(general, generalBytes, error) || !TextTableBytes(map, mapBytes, error)) return false;
    return WriteFile(root, "UI/text_general.txt", generalBytes, error) &&
           WriteFile(root, "UI/text_map.txt", mapBytes, error) &&
           WriteFile(root, "UI/text_file_config.txt",
                     TextFileListBytes({{1, "text_general.txt"}, {2, "text_map.txt"}}), error);
}

}  // namespace settingswriter
