// Runs one search on a data root and prints what it found, one JSON object
// a line. This version knows the address kinds:
//   search --root DIR --kind area [--code C --level L | --text KW [--area C]]
//          lot-number areas: the list of a level under a code, or the
//          dong/li names that begin with KW
//   search --root DIR --kind road [--code C --level L | --text KW [--area C]
//          | --code C --main N [--sub N] [--max N]]
//          road-name areas, road names, or the building numbers from N on
//   search --root DIR --kind lot --code C --main N [--sub N] [--mountain]
//          [--max N]   the lot (or the nearest lower one) and the lots after
//          it, at most N (200)
//   search --root DIR --kind name --text KW [--what poi|corp|apt] [--middle]
//          [--cate N] [--area C] [--radius M --x X --y Y] [--order 1]
//          the name search: places (or companies, apartments) whose names
//          begin with KW (Hangul initials, syllables, Latin letters and
//          digits), or hold it with --middle
//   search --root DIR --kind tel --tel-area A --number DIGITS [--x X --y Y]
//          the companies whose number in area A (2, 31, ...) begins with
//          DIGITS (at most 1000)
//   search --root DIR --kind category --cate INDEX [--area C] [--radius M
//          --x X --y Y] [--text KW] [--order 1] [--heading DEG]
//          the places of a category (0: the first thirteen), in an area or
//          around a point (kinds 3 and 4)
//   search --root DIR --kind route --cate INDEX --points "x,y;x,y;..."
//          [--flags "0,0,3,..."] [--radius M] [--x X --y Y] [--text KW]
//          [--order 1]   the places of a category beside the route points
//   search --root DIR --kind around [--code C]
//          the around-search categories under code C (0: the top level)
// Texts are UTF-8 on the command line and in the output. Errors go to
// stderr with exit code 1 (bad data) or 2 (bad usage).
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>
#include <string>

#include "platform/codepage.h"
#include "platform/paths.h"
#include "search/area_codes.h"
#include "search/search_addr.h"
#include "search/search_manager.h"

namespace {

int Usage(const char* why) {
    std::fprintf(stderr, "search: %s\n", why);
    std::fprintf(stderr,
                 "usage: search --root DIR --kind lot|road|area|name|tel|category|theme|ic|route|book [options]\n");
    return 2;
}

std::string Json(const std::string& utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", static_cast<unsigned char>(c));
            out += esc;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string FromCp949(const char* bytes) {
    std::u16string text;
    platform::Cp949ToUtf16(bytes, text);
    return platform::Utf16ToUtf8(text);
}

// The name search through the search manager, as the module runs it.
int RunNames(std::map<std::string, std::string>& opt) {
    if (!opt.count("text")) return Usage("--kind name needs --text");
    SearchRequest request;
    const std::string what = opt.count("what") ? opt["what"] : "poi";
    request.SearchKindID = what == "corp" ? kSearchKindCorp : what == "apt" ? kSearchKindApt : kSearchKindName;
    if (what != "poi" && what != "corp" && what != "apt") return Usage("--what is poi, corp or apt");
    const std::u16string keyword = platform::Utf8ToUtf16(opt["text"]);
    SetSearchText(request.szKeyword, kSchKeywordChars, keyword);
    auto number = [&](const char* key) { return opt.count(key) ? static_cast<uint32_t>(std::strtoul(opt[key].c_str(), nullptr, 10)) : 0u; };
    request.nSubCode = number("cate");
    request.uAreaCode = number("area");
    request.nRadius = number("radius");
    request.ptCenter = {number("x"), number("y")};
    request.eOrderBy = static_cast<uint8_t>(number("order"));
    request.bMiddleWord = opt.count("middle") ? 1 : 0;
    std::string cp949;
    platform::Utf16ToCp949(keyword, cp949);
    CMneSearchManager manager;
    manager.SetFolders(opt["root"]);
    manager.LoadEngines();
    int count = 0;
    const int answer = manager.SearchName(request, cp949, &count);
    std::printf("{\"answer\":%d,\"count\":%d}\n", answer, count);
    SearchResult rows[15];
    for (int start = 0; start < count;) {
        const int n = manager.GetNameRows(start, 15, request.SearchKindID, rows);
        if (n <= 0) break;
        for (int i = 0; i < n; ++i) {
            const SearchResult& r = rows[i];
            std::printf("{\"name\":%s,\"main\":%s,\"address\":%s,\"category\":%s,\"area\":%u,\"poi\":%u,"
                        "\"distance\":%u,\"x\":%u,\"y\":%u}\n",
                        Json(platform::Utf16ToUtf8(SearchText(r.szName, kSchNameChars))).c_str(),
                        Json(platform::Utf16ToUtf8(SearchText(r.szName2, kSchNameChars))).c_str(),
                        Json(platform::Utf16ToUtf8(SearchText(r.szAddress, kSchAddressChars))).c_str(),
                        Json(platform::Utf16ToUtf8(SearchText(r.szCateName, kSchCateNameChars))).c_str(),
                        r.uAreaCode, r.nPOIID, r.nDistance, r.pt.x, r.pt.y);
        }
        start += n;
    }
    return 0;
}

// Telephone (kind 8), category (kinds 3, 4) and along-the-route (kind 5)
// searches through the search manager; around-search category lists.
uint32_t Number(std::map<std::string, std::string>& opt, const char* key) {
    return opt.count(key) ? static_cast<uint32_t>(std::strtoul(opt[key].c_str(), nullptr, 10)) : 0u;
}

void PrintPlaceRow(const SearchResult& r) {
    std::printf("{\"index\":%u,\"name\":%s,\"address\":%s,\"category\":%s,\"cate_index\":%u,\"area\":%u,"
                "\"poi\":%u,\"distance\":%u,\"direction\":%u,\"tel_area\":%u,\"tel\":%u,\"x\":%u,\"y\":%u}\n",
                r.nIndex, Json(platform::Utf16ToUtf8(SearchText(r.szName, kSchNameChars))).c_str(),
                Json(platform::Utf16ToUtf8(SearchText(r.szAddress, kSchAddressChars))).c_str(),
                Json(platform::Utf16ToUtf8(SearchText(r.szCateName, kSchCateNameChars))).c_str(), r.nCateIndex,
                r.uAreaCode, r.nPOIID, r.nDistance, static_cast<unsigned>(r.bKind), static_cast<unsigned>(r.wTelArea),
                r.uTelNumber, r.pt.x, r.pt.y);
}

int RunKinds(const std::string& kind, std::map<std::string, std::string>& opt) {
    CMneSearchManager manager;
    manager.SetFolders(opt["root"]);
    manager.LoadEngines();
    if (kind == "around") {
        std::vector<AroundCateRow> rows;
        const uint32_t code = Number(opt, "code");
        manager.AroundCategories().ListCategories(NcSearchAroundCate::LevelOfCode(code) + 1, code, &rows);
        for (const auto& r : rows)
            std::printf("{\"code\":%u,\"name\":%s,\"cate_index\":%u,\"places\":%u}\n", r.nCode,
                        Json(FromCp949(r.szName)).c_str(), static_cast<unsigned>(r.wValue1), r.nValue);
        return 0;
    }
    SearchRequest request;
    SetSearchText(request.szKeyword, kSchKeywordChars, platform::Utf8ToUtf16(opt.count("text") ? opt["text"] : ""));
    std::string cp949;
    platform::Utf16ToCp949(SearchText(request.szKeyword, kSchKeywordChars), cp949);
    request.ptCenter = {Number(opt, "x"), Number(opt, "y")};
    request.eOrderBy = static_cast<uint8_t>(Number(opt, "order"));
    request.nRadius = Number(opt, "radius");
    request.uAreaCode = Number(opt, "area");
    request.nSubCode = Number(opt, "cate");
    request.reserved96 = Number(opt, "heading");
    int count = 0, answer = 0;
    if (kind == "tel") {
        if (!opt.count("tel-area") || !opt.count("number")) return Usage("--kind tel needs --tel-area and --number");
        request.SearchKindID = kSearchKindPhone;
        request.wTelArea = static_cast<uint16_t>(Number(opt, "tel-area"));
        request.uTelNumber = Number(opt, "number");
        answer = manager.SearchTelephone(request, &count);
        std::printf("{\"answer\":%d,\"count\":%d}\n", answer, count);
        SearchResult rows[100];
        for (int start = 0; start < count;) {
            const int n = manager.GetTelRows(start, 100, rows);
            if (n <= 0) break;
            for (int i = 0; i < n; ++i)
                std::printf("{\"index\":%d,\"name\":%s,\"tel\":%u,\"distance\":%u,\"x\":%u,\"y\":%u}\n", start + i,
                            Json(platform::Utf16ToUtf8(SearchText(rows[i].szName, kSchNameChars))).c_str(),
                            rows[i].uTelNumber, rows[i].nDistance, rows[i].pt.x, rows[i].pt.y);
            start += n;
        }
        return 0;
    }
    if (kind == "category") {
        request.SearchKindID = request.nRadius ? kSearchKindAroundCate : kSearchKindCate;
        answer = manager.SearchCategory(request, cp949, &count);
    } else {
        // --points "x,y;x,y;..." in map units, --flags "0,0,3,..." (0 each
        // when left out).
        if (!opt.count("points")) return Usage("--kind route needs --points");
        std::vector<MapPoint> points;
        std::vector<uint8_t> flags;
        for (const char* p = opt["points"].c_str(); *p;) {
            char* end = nullptr;
            const long x = std::strtol(p, &end, 10);
            if (*end != ',') return Usage("--points is x,y;x,y;...");
            const long y = std::strtol(end + 1, &end, 10);
            points.push_back({static_cast<int32_t>(x), static_cast<int32_t>(y)});
            p = *end == ';' ? end + 1 : end;
            if (*end && *end != ';') return Usage("--points is x,y;x,y;...");
        }
        for (const char* p = opt.count("flags") ? opt["flags"].c_str() : ""; *p;) {
            char* end = nullptr;
            flags.push_back(static_cast<uint8_t>(std::strtoul(p, &end, 10)));
            if (end == p || (*end && *end != ',')) return Usage("--flags is n,n,...");
            p = *end == ',' ? end + 1 : end;
        }
        flags.resize(points.size(), 0);
        if (points.size() > kPathPointsMax) return Usage("at most 500 --points");
        request.SearchKindID = kSearchKindPathCate;
        answer = manager.SearchPathCategory(request, cp949, points.data(), flags.data(),
                                            static_cast<uint16_t>(points.size()), &count);
    }
    std::printf("{\"answer\":%d,\"count\":%d}\n", answer, count);
    SearchResult rows[15];
    for (int start = 0; start < count;) {
        const int n = manager.GetCateRows(start, 15, rows);
        if (n <= 0) break;
        for (int i = 0; i < n; ++i) PrintPlaceRow(rows[i]);
        start += n;
    }
    return 0;
}

template <typename Row>
void PrintAreaRow(const Row& row, uint32_t count) {
    std::printf("{\"code\":%u,\"name\":%s,\"count\":%u,\"lots\":%u,\"x\":%u,\"y\":%u}\n", row.uAreaCode,
                Json(FromCp949(row.szName)).c_str(), count, static_cast<unsigned>(row.wLotFlag), row.ptX, row.ptY);
}

void PrintLotRow(const AddrLotRow& row) {
    std::u16string name(row.szAreaName);
    std::printf("{\"code\":%u,\"area\":%s,\"mountain\":%u,\"main\":%u,\"sub\":%u,\"x\":%u,\"y\":%u}\n", row.uAreaCode,
                Json(platform::Utf16ToUtf8(name)).c_str(), row.bMountain, row.nMainNo, row.nSubNo, row.ptX, row.ptY);
}

template <typename Engine>
int RunAreas(Engine& engine, const std::map<std::string, std::string>& opt) {
    int count = 0;
    if (opt.count("text")) {
        std::string keyword;
        if (!platform::Utf16ToCp949(platform::Utf8ToUtf16(opt.at("text")), keyword)) return Usage("--text is not CP949 text");
        const long area = opt.count("area") ? std::strtol(opt.at("area").c_str(), nullptr, 10) : 0;
        count = engine.SearchAreaByText(keyword, static_cast<uint32_t>(area));
    } else {
        const long long code = opt.count("code") ? std::strtoll(opt.at("code").c_str(), nullptr, 10) : 0;
        const int level = opt.count("level") ? std::atoi(opt.at("level").c_str()) : 1;
        count = engine.ListAreas(code, level);
    }
    for (int i = 0; i < count; ++i) {
        const auto& row = engine.AreaRow(i);
        if constexpr (sizeof(row) == sizeof(NAddrAreaRow))
            PrintAreaRow(row, row.nCount);
        else
            PrintAreaRow(row, row.wCount);
    }
    return 0;
}

template <typename Engine>
int RunNumbers(Engine& engine, const std::map<std::string, std::string>& opt) {
    if (!opt.count("code") || !opt.count("main")) return Usage("--code and --main are needed");
    const long long code = std::strtoll(opt.at("code").c_str(), nullptr, 10);
    const int main = std::atoi(opt.at("main").c_str());
    const int sub = opt.count("sub") ? std::atoi(opt.at("sub").c_str()) : 0;
    const int max = opt.count("max") ? std::atoi(opt.at("max").c_str()) : kAddrLotRowCapacity;
    if (main < 0 || main >= 10000 || sub < 0 || sub >= 10000) return Usage("--main and --sub lie below 10000");
    const int province = static_cast<int>(code > 9999 && sizeof(typename Engine::Row) == sizeof(NAddrAreaRow)
                                              ? code / 1000000
                                              : code / PowerOf100(std::max(CountCodeGroups(code) - 1, 0)));
    if (!engine.OpenLotFile(province - kProvinceFirst)) {
        std::fprintf(stderr, "search: the lot file or its block index is missing\n");
        return 1;
    }
    const int found = engine.FindLot(opt.count("mountain") ? 1 : 0, main * 10000 + sub, code);
    if (found < 0) {
        std::fprintf(stderr, "search: a lot block is damaged\n");
        return 1;
    }
    if (found == 0) return 0;
    int got = 0;
    if (engine.FetchLots(max, &got) < 0 && got == 0) return 0;
    for (int i = 0; i < engine.LotRowCount(); ++i) PrintLotRow(engine.LotRow(i));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> opt;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0) return Usage(("unexpected argument " + arg).c_str());
        if (arg == "--mountain" || arg == "--middle") {
            opt[arg.substr(2)] = "1";
            continue;
        }
        if (i + 1 >= argc) return Usage(("missing value of " + arg).c_str());
        opt[arg.substr(2)] = argv[++i];
    }
    if (!opt.count("root") || !opt.count("kind")) return Usage("--root and --kind are needed");
    const std::string folder = platform::ResolveUnder(opt["root"], "Search") + "/";
    const std::string kind = opt["kind"];

    if (kind == "area" || kind == "lot") {
        NcSearchAddr engine;
        engine.SetFolders(folder, folder);
        engine.AllocBlockBuffers();
        if (!engine.Reopen(1)) {
            std::fprintf(stderr, "search: cannot open %snlad.sdb\n", folder.c_str());
            return 1;
        }
        return kind == "area" ? RunAreas(engine, opt) : RunNumbers(engine, opt);
    }
    if (kind == "road") {
        NcSearchNAddr engine;
        engine.SetFolders(folder, folder);
        engine.AllocBlockBuffers();
        if (!engine.Reopen(1)) {
            std::fprintf(stderr, "search: cannot open %snewaddr.sdb\n", folder.c_str());
            return 1;
        }
        return opt.count("main") ? RunNumbers(engine, opt) : RunAreas(engine, opt);
    }
    if (kind == "name") return RunNames(opt);
    if (kind == "tel" || kind == "category" || kind == "route" || kind == "around") return RunKinds(kind, opt);
    static const char* const kLater[] = {"tel", "category", "theme", "ic", "route", "book"};
    for (const char* k : kLater)
        if (kind == k) return Usage(("--kind " + kind + " is not built yet").c_str());
    return Usage(("unknown --kind " + kind).c_str());
}
