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
//   search --root DIR --kind building --key K [--text KW] [--cate N]
//          [--area C] [--x X --y Y] [--order 0|3]   the facilities of the
//          building of key K (record order, or 3: group, floor)
//   search --root DIR --kind subplace --poi ID [--x X --y Y]   the
//          sub-places of a place
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
//   search --root DIR --kind theme [--text KW] [--code C] [--area C]
//          [--radius M --x X --y Y] [--order 0|1|2] [--kind10]
//          [--filter kind,class,mask,mask2,kind2] [--group R]
//          the theme points (kinds 9 and 10), or the members of group record R
//   search --root DIR --kind theme-list [--level L --code C]
//          the theme categories of a level under a code
//   search --root DIR --kind tile --x X --y Y --radius M [--mask K]
//          the theme points of the tile index within M metres
//   search --root DIR --kind ic [--text KW | --nearest | --list] [--x X
//          --y Y] [--side 0|1] [--order N]  interchanges by name, the links
//          of the nearest one, or the motorway list near a point
//   search --root DIR --kind book --code N  the map-book code look-up (a
//          code of 4 digits or fewer: the jeju place file)
// Texts are UTF-8 on the command line and in the output. Errors go to
// stderr with exit code 1 (bad data) or 2 (bad usage).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>
#include <string>

#include "platform/codepage.h"
#include "platform/paths.h"
#include "search/area_codes.h"
#include "search/search_addr.h"
#include "search/book_code.h"
#include "search/search_manager.h"

namespace {

int Usage(const char* why) {
    std::fprintf(stderr, "search: %s\n", why);
    std::fprintf(stderr,
                 "usage: search --root DIR --kind lot|road|area|name|building|subplace|tel|category|theme|ic|route|book "
                 "[options]\n");
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

// The facilities of a building and the sub-places of a place: the
// look-ups the module runs on the caller's thread.
int RunBuildingOrSubPlaces(const std::string& kind, std::map<std::string, std::string>& opt) {
    auto number = [&](const char* key) { return opt.count(key) ? static_cast<uint32_t>(std::strtoul(opt[key].c_str(), nullptr, 10)) : 0u; };
    SearchRequest request;
    request.SearchKindID = kSearchKindName;
    request.ptCenter = {number("x"), number("y")};
    CMneSearchManager manager;
    manager.SetFolders(opt["root"]);
    manager.LoadEngines();
    std::vector<SearchResult> rows;
    if (kind == "building") {
        if (!opt.count("key")) return Usage("--kind building needs --key");
        request.dBuildingKey = std::strtod(opt["key"].c_str(), nullptr);
        request.nSubCode = number("cate");
        request.uAreaCode = number("area");
        request.eOrderBy = static_cast<uint8_t>(number("order"));
        std::string cp949;
        if (opt.count("text") && !platform::Utf16ToCp949(platform::Utf8ToUtf16(opt["text"]), cp949))
            return Usage("--text is not CP949 text");
        int count = 0;
        const int answer = manager.SearchBuildingFacilities(request, cp949, &count);
        std::printf("{\"answer\":%d,\"count\":%d}\n", answer, count);
        rows.resize(static_cast<size_t>(std::max(count, 0)));
        for (int start = 0; start < count;) {
            const int n = manager.GetFacilityRows(start, 15, rows.data() + start);
            if (n <= 0) break;
            start += n;
        }
    } else {
        if (!opt.count("poi")) return Usage("--kind subplace needs --poi");
        request.nRecordID = number("poi");
        rows.resize(200);
        rows.resize(static_cast<size_t>(std::max(manager.ListSubPlaces(request, rows.data()), 0)));
        std::printf("{\"count\":%zu}\n", rows.size());
    }
    for (const SearchResult& r : rows)
        std::printf("{\"name\":%s,\"building\":%s,\"floor\":%d,\"detail\":%s,\"poi\":%u,\"distance\":%u,"
                    "\"x\":%u,\"y\":%u}\n",
                    Json(platform::Utf16ToUtf8(SearchText(r.szName, kSchNameChars))).c_str(),
                    Json(platform::Utf16ToUtf8(SearchText(r.szBuilding, kSchNameChars))).c_str(),
                    static_cast<int8_t>(r.cFloor),
                    Json(platform::Utf16ToUtf8(SearchText(r.szDetail, kSchDetailChars))).c_str(), r.nPOIID,
                    r.nDistance, r.pt.x, r.pt.y);
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

// The theme search through the search manager, as the module runs it.
int RunThemes(std::map<std::string, std::string>& opt) {
    SearchRequest request;
    request.SearchKindID = opt.count("kind10") ? kSearchKindTheme2 : kSearchKindTheme;
    SetSearchText(request.szKeyword, kSchKeywordChars, platform::Utf8ToUtf16(opt["text"]));
    request.nSubCode = Number(opt, "code");
    request.uAreaCode = Number(opt, "area");
    request.nRadius = Number(opt, "radius");
    request.ptCenter = {Number(opt, "x"), Number(opt, "y")};
    request.eOrderBy = static_cast<uint8_t>(Number(opt, "order"));
    request.nOption = Number(opt, "group");
    if (opt.count("filter")) {
        unsigned f[5] = {};
        if (std::sscanf(opt["filter"].c_str(), "%u,%u,%u,%u,%u", &f[0], &f[1], &f[2], &f[3], &f[4]) != 5)
            return Usage("--filter is kind,class,mask,mask2,kind2");
        request.wThemeKind = static_cast<uint16_t>(f[0]);
        request.wThemeClass = static_cast<uint16_t>(f[1]);
        request.wThemeMask = static_cast<uint16_t>(f[2]);
        request.wThemeMask2 = static_cast<uint16_t>(f[3]);
        request.wThemeKind2 = static_cast<uint16_t>(f[4]);
    }
    CMneSearchManager manager;
    manager.SetFolders(opt["root"]);
    manager.LoadEngines();
    NcSearchThemeCate& themes = manager.Themes();
    if (themes.RecordCount() == 0 && themes.BindThemeJob() < 0) {
        std::fprintf(stderr, "search: theme_cate.sdb is damaged\n");
        return 1;
    }
    int answer = 0, count = 0;
    if (opt.count("group")) {
        answer = themes.SearchThemeListItems(request);
        count = themes.RowCount();
    } else {
        answer = manager.SearchThemes(request, &count);
    }
    std::printf("{\"answer\":%d,\"count\":%d}\n", answer, count);
    for (int i = 0; i < count; ++i) {
        SearchThemeRow row;
        manager.FillThemeRow(themes.Row(i), static_cast<uint32_t>(i), row);
        std::printf("{\"record\":%u,\"key\":%u,\"name\":%s,\"address\":%s,\"kind\":%u,\"item_kind\":%u,"
                    "\"rank\":%u,\"area\":%u,\"distance\":%u,\"bearing\":%u,\"x\":%u,\"y\":%u}\n",
                    themes.Row(i).recordNumber, row.nThemeKey,
                    Json(platform::Utf16ToUtf8(SearchText(row.szName, kSchNameChars))).c_str(),
                    Json(platform::Utf16ToUtf8(SearchText(row.szAddress, kSchAddressChars))).c_str(), row.bThemeKind,
                    themes.Row(i).record.ItemKind(), themes.Row(i).record.Rank(), row.uAreaCode, row.nDistance,
                    themes.Row(i).bearing, row.pt.x, row.pt.y);
    }
    return 0;
}

int RunThemeList(std::map<std::string, std::string>& opt, const std::string& folder) {
    NcSearchThemeCate themes;
    if (themes.SetThemeFolder(folder) < 0) {
        std::fprintf(stderr, "search: the theme files are missing or damaged\n");
        return 1;
    }
    const int n = themes.ListThemes(opt.count("level") ? std::atoi(opt["level"].c_str()) : 1, Number(opt, "code"));
    if (n < 0) {
        std::fprintf(stderr, "search: 100 or more categories under the code\n");
        return 1;
    }
    for (int i = 0; i < n; ++i) {
        const ThemeCateRecord& c = themes.ListRow(i);
        std::printf("{\"code\":%u,\"name\":%s,\"test\":%u,\"value\":%u}\n", c.code, Json(FromCp949(c.name.c_str())).c_str(),
                    c.testNumber, c.testValue);
    }
    return 0;
}

int RunTiles(std::map<std::string, std::string>& opt, const std::string& folder) {
    if (!opt.count("x") || !opt.count("y") || !opt.count("radius")) return Usage("--kind tile needs --x, --y and --radius");
    NcThemeTiles tiles;
    tiles.LoadThemeTiles(folder);
    const int answer = tiles.SearchThemeTiles(Number(opt, "x"), Number(opt, "y"), Number(opt, "radius"), Number(opt, "mask"));
    std::printf("{\"answer\":%d,\"count\":%d,\"tiles\":%d,\"items\":%d}\n", answer, tiles.RowCount(), tiles.TileCount(),
                tiles.ItemCount());
    for (int i = 0; i < tiles.RowCount(); ++i) {
        const ThemeTileHit& h = tiles.Row(i);
        std::printf("{\"key\":%u,\"value\":%u,\"kind\":%u,\"kind2\":%u,\"distance\":%u}\n", h.themeKey, h.value, h.kindFlags,
                    h.kind2, h.distance);
    }
    return 0;
}

int RunInterchanges(std::map<std::string, std::string>& opt) {
    NcSearchICJC ic;
    if (!ic.LoadICFile(platform::ResolveUnder(opt["root"], "Map") + "/")) {
        std::fprintf(stderr, "search: Map/IC.ndb is missing or cut short\n");
        return 1;
    }
    const uint32_t x = Number(opt, "x"), y = Number(opt, "y");
    const int side = opt.count("side") ? std::atoi(opt["side"].c_str()) : 1;
    if (opt.count("nearest")) {
        uint32_t links[4] = {};
        const int n = ic.GetNearestICLinks(links, x, y, side);
        std::printf("{\"links\":[");
        for (int i = 0; i < n; ++i) std::printf("%s%u", i ? "," : "", links[i]);
        std::printf("]}\n");
        return 0;
    }
    if (opt.count("list")) {
        std::vector<ICListRow> rows(kICCapacity);
        int count = 0, highway = -1;
        const int nearest = ic.ListHighwayICs(rows.data(), &count, &highway, x, y, side, -1);
        std::printf("{\"nearest\":%d,\"highway\":%d,\"count\":%d}\n", nearest, highway, count);
        for (int i = 0; i < count; ++i)
            std::printf("{\"id\":%u,\"name\":%s,\"x\":%u,\"y\":%u,\"flags\":%u}\n", rows[static_cast<size_t>(i)].id,
                        Json(platform::Utf16ToUtf8(rows[static_cast<size_t>(i)].name)).c_str(), rows[static_cast<size_t>(i)].x,
                        rows[static_cast<size_t>(i)].y, rows[static_cast<size_t>(i)].flags);
        return 0;
    }
    std::vector<ICRow> rows(kICCapacity);
    int count = 0;
    ic.SearchICByKeyword(rows.data(), &count, x, y, side, platform::Utf8ToUtf16(opt["text"]),
                         opt.count("order") ? std::atoi(opt["order"].c_str()) : 0);
    std::printf("{\"count\":%d}\n", count);
    for (int i = 0; i < count; ++i) {
        const ICRow& r = rows[static_cast<size_t>(i)];
        std::printf("{\"id\":%u,\"name\":%s,\"highway\":%s,\"distance\":%u,\"x\":%u,\"y\":%u,\"flags\":%u}\n", r.id,
                    Json(platform::Utf16ToUtf8(r.name)).c_str(), Json(platform::Utf16ToUtf8(r.highwayName)).c_str(),
                    r.distance, r.x, r.y, r.flags);
    }
    return 0;
}

int RunBookCode(std::map<std::string, std::string>& opt) {
    if (!opt.count("code")) return Usage("--kind book needs --code");
    const int32_t code = static_cast<int32_t>(std::strtol(opt["code"].c_str(), nullptr, 10));
    BookCodeLookup lookup(opt["root"]);
    BookCodeItem item;
    const int found = code < 10000 ? lookup.FindJejuCodeItem(code, item) : lookup.FindCodeItem430(code, item);
    if (!found) {
        std::printf("{\"found\":0}\n");
        return 0;
    }
    std::printf("{\"found\":1,\"code\":%u,\"name\":%s,\"address\":%s,\"lon\":[%u,%u,%.3f],\"lat\":[%u,%u,%.3f]}\n",
                item.code, Json(FromCp949(item.name)).c_str(), Json(FromCp949(item.address)).c_str(), item.lonDeg,
                item.lonMin, static_cast<double>(item.lonSec), item.latDeg, item.latMin, static_cast<double>(item.latSec));
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
    if (kind == "building" || kind == "subplace") return RunBuildingOrSubPlaces(kind, opt);
    if (kind == "tel" || kind == "category" || kind == "route" || kind == "around") return RunKinds(kind, opt);
    if (kind == "theme") return RunThemes(opt);
    if (kind == "theme-list") return RunThemeList(opt, folder);
    if (kind == "tile") return RunTiles(opt, folder);
    if (kind == "ic") return RunInterchanges(opt);
    if (kind == "book") return RunBookCode(opt);
    return Usage(("unknown --kind " + kind).c_str());
}
