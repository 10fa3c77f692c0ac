// The name search on one million generated place names
// (writers::GenerateNameSet), per query class: one initial, three
// initials, a two-syllable prefix, a middle word, three initials with an
// area filter, three initials with a radius. Beside it, in the same run,
// SQLite answers the same queries over the same names: a table with the
// CP949 name and its initial-consonant key (both indexed), prefix queries
// by key range, LIMIT 1000 as our cap; the middle word is a scan with
// instr(), as SQLite has no index for it without a full-text table.
// Counters per class: ours_med_ms, ours_worst_ms, sqlite_med_ms,
// sqlite_worst_ms and ratio (our median over SQLite's), in wall time; and
// the same in the thread's processor time (the *_cpu_* counters and
// cpu_ratio, cpu_worst_ratio), which a machine shared with other work does
// not inflate. The answers' counts are compared below the cap with
// SQLite's as a check (mismatches counted). After each timed query, and
// outside its timing, the answer's rows are read; once all queries ran,
// they are compared with a plain scan of the generated names in UTF-16
// (oracle_mismatches): the same names below the cap; at the cap 1000 rows,
// each a name the scan finds; in name order where it is fixed (up to 500
// rows, merged by place; one character; the walking searches for bare
// consonants), or by distance when asked so. Further untimed classes put the
// engine against the scan only: keywords that mix initials and syllables,
// that hold Latin letters and digits, with a category filter, and ordered
// by distance within a radius.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "foundation/coords.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "search/name_search.h"
#include "search/search_keys.h"
#include "search/search_manager.h"
#include "tools/writers/search_db_writer.h"

namespace {

constexpr int kNames = 1000000;
constexpr int kQueries = 40;
const std::vector<uint32_t> kAreas = {1101, 1102, 1103, 1030, 103001, 103002, 2101, 2102, 170201, 1703};

struct World {
    std::string root;
    std::vector<writers::SearchPoi> pois;
    std::vector<std::u16string> names;  // of pois, in UTF-16
    MapPoint centre{127 * 524288, 37 * 524288 + 262144};
    CMneSearchManager manager;
    sqlite3* db = nullptr;
};

std::string Cp(const std::u16string& text) {
    std::string out;
    platform::Utf16ToCp949(text, out);
    return out;
}

World& TheWorld() {
    static World* w = [] {
        auto* world = new World;
        char dir[] = "/tmp/searchnamebenchXXXXXX";
        if (!mkdtemp(dir)) std::abort();
        world->root = dir;
        // A million names take some 160 MB: the folder goes with the process.
        std::atexit([] { std::filesystem::remove_all(TheWorld().root); });
        world->pois = writers::GenerateNameSet(20261210, kNames, kAreas, world->centre);
        for (const auto& p : world->pois) world->names.push_back(platform::Utf8ToUtf16(p.nameUtf8));
        writers::SearchDbSource source;
        source.pois = world->pois;
        if (!writers::WriteSearchDb(platform::ResolveUnder(world->root, "Search"), source)) std::abort();
        world->manager.SetFolders(world->root);
        world->manager.LoadEngines();
        // SQLite: the same names.
        if (sqlite3_open((world->root + "/names.db").c_str(), &world->db) != SQLITE_OK) std::abort();
        sqlite3_exec(world->db,
                     "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                     "CREATE TABLE poi(id INTEGER PRIMARY KEY, name BLOB, ini BLOB, area INTEGER, cate INTEGER,"
                     " x INTEGER, y INTEGER); BEGIN;",
                     nullptr, nullptr, nullptr);
        sqlite3_stmt* put = nullptr;
        sqlite3_prepare_v2(world->db, "INSERT INTO poi VALUES(?,?,?,?,?,?,?)", -1, &put, nullptr);
        for (const auto& p : world->pois) {
            const std::string name = Cp(platform::Utf8ToUtf16(p.nameUtf8));
            const std::vector<uint8_t> ini = NameInitialKey(name);
            sqlite3_bind_int64(put, 1, p.poiId);
            sqlite3_bind_blob(put, 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
            sqlite3_bind_blob(put, 3, ini.data(), static_cast<int>(ini.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int64(put, 4, p.areaCode);
            sqlite3_bind_int64(put, 5, p.catePacked);
            sqlite3_bind_int64(put, 6, p.pos.x);
            sqlite3_bind_int64(put, 7, p.pos.y);
            sqlite3_step(put);
            sqlite3_reset(put);
        }
        sqlite3_finalize(put);
        sqlite3_exec(world->db, "COMMIT; CREATE INDEX poi_name ON poi(name); CREATE INDEX poi_ini ON poi(ini);",
                     nullptr, nullptr, nullptr);
        // The set-up freed millions of small blocks; the allocator merges
        // them here rather than on the first query's allocation.
        malloc_trim(0);
        return world;
    }();
    return *w;
}

enum Class { kOneInitial, kThreeInitials, kTwoSyllables, kMiddleWord, kWithArea, kWithRadius };
// Classes asked only to compare with the scan.
enum ExtraClass { kMixed, kLatinDigits, kCategory, kByDistance };

std::u16string Initials(const std::u16string& s) {
    static const char16_t kJamo[19] = {0x3131, 0x3132, 0x3134, 0x3137, 0x3138, 0x3139, 0x3141, 0x3142, 0x3143, 0x3145,
                                       0x3146, 0x3147, 0x3148, 0x3149, 0x314A, 0x314B, 0x314C, 0x314D, 0x314E};
    std::u16string out;
    for (char16_t c : s) out += c >= 0xAC00 && c <= 0xD7A3 ? kJamo[(c - 0xAC00) / 588] : c;
    return out;
}

// The plain scan: the initial of a syllable or of a consonant letter.
int InitialOf(char16_t c) {
    if (c >= 0xAC00 && c <= 0xD7A3) return (c - 0xAC00) / 588;
    static const int kJamo[30] = {0, 1, 1, 2, 2, 2, 3, 4, 5, 5, 5, 5, 5, 5, 5, 5,
                                  6, 7, 8, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    return c >= 0x3131 && c <= 0x314E ? kJamo[c - 0x3131] : -1;
}

// Whether the name holds the keyword at character at: a consonant letter
// of the keyword matches any character with that initial.
bool MatchAt(const std::u16string& name, size_t at, const std::u16string& kw) {
    if (at + kw.size() > name.size()) return false;
    for (size_t i = 0; i < kw.size(); ++i) {
        const char16_t k = kw[i], n = name[at + i];
        if (k >= 0x3131 && k <= 0x314E ? InitialOf(n) != InitialOf(k) || n < 0xAC00 : n != k) return false;
    }
    return true;
}

// A row of an answer as the scan checks it.
struct Row {
    std::u16string name;
    uint32_t poiId = 0;
    uint32_t distance = 0;
};

// The answer of one query: its count and every row, read page by page
// (15 rows at a time, as the screens read them).
struct Asked {
    std::u16string kw;
    SearchRequest q;
    int count = 0;
    std::vector<Row> rows;
};

std::vector<Row> ReadRows(World& w, int count) {
    std::vector<Row> rows;
    static SearchResult page[15];
    for (int start = 0; start < count; start += 15) {
        const int n = w.manager.GetNameRows(start, 15, kSearchKindName, page);
        if (n <= 0) break;
        for (int i = 0; i < n; ++i)
            rows.push_back({std::u16string(SearchText(page[i].szName, kSchNameChars)), page[i].nPOIID,
                            page[i].nDistance});
    }
    return rows;
}

bool IsJamo(char16_t c) { return c >= 0x3131 && c <= 0x314E; }
bool IsSyllable(char16_t c) { return c >= 0xAC00 && c <= 0xD7A3; }

// The category index of a packed category: group, sub-group and detail in
// base 30, the detail only when set.
uint32_t CateIndex(uint16_t packed) {
    const uint32_t g = packed >> 12 & 0xF, h = packed >> 6 & 0x3F, m = packed & 0x3F;
    return m ? (g * 30 + h) * 30 + m : g * 30 + h;
}

// Whether the generated place passes the query: the name begins with the
// keyword (holds it at some character for a middle word of two characters
// or more, which never matches a keyword with a bare consonant), and the
// category, area and radius filters.
bool OracleMatches(const World& w, size_t i, const std::u16string& kw, const SearchRequest& q) {
    const std::u16string& name = w.names[i];
    bool match = false;
    if (q.bMiddleWord && kw.size() >= 2) {
        if (std::none_of(kw.begin(), kw.end(), IsJamo))
            for (size_t at = 0; at < name.size() && !match; ++at) match = MatchAt(name, at, kw);
    } else {
        match = MatchAt(name, 0, kw);
    }
    if (!match) return false;
    const writers::SearchPoi& p = w.pois[i];
    if (q.nSubCode) {
        // A filter passes its own index and those below it.
        const uint32_t index = CateIndex(p.catePacked);
        bool under = false;
        for (uint32_t c = index; c >= q.nSubCode && !under; c /= 30) under = c == q.nSubCode;
        if (!under) return false;
    }
    if (q.uAreaCode) {
        bool under = false;
        for (uint32_t a = p.areaCode; a && !under; a /= 100) under = a == q.uAreaCode;
        if (!under) return false;
    }
    if (q.nRadius) {
        const MapPoint c{static_cast<int32_t>(q.ptCenter.x), static_cast<int32_t>(q.ptCenter.y)};
        if (std::abs(p.pos.x - c.x) > q.nRadius / 0.169 || std::abs(p.pos.y - c.y) > q.nRadius / 0.212 ||
            GetApproxDistance(c, p.pos) > q.nRadius)
            return false;
    }
    return true;
}

// Whether the rows must come in name order (record numbers ascending):
// up to 500 rows (the places merged and sorted by record number), a
// keyword of one character (the base file read in order), and the walking
// searches for keywords with bare consonants, which sort their hits by
// record number; not the search for an initial and one syllable, nor the
// listings of an index range, nor the middle words.
bool NameOrderFixed(const Asked& a) {
    if (a.q.eOrderBy != 0) return false;
    if (a.count <= 500 || a.kw.size() == 1) return true;
    if (a.q.bMiddleWord) return false;
    const size_t firstJamo = static_cast<size_t>(std::find_if(a.kw.begin(), a.kw.end(), IsJamo) - a.kw.begin());
    if (firstJamo == a.kw.size()) return false;
    const bool filter = a.q.nSubCode || a.q.nRadius, longKeyword = a.kw.size() >= 3;
    if (std::none_of(a.kw.begin(), a.kw.end(), IsSyllable)) return filter || longKeyword;
    if (filter || firstJamo != 1) return firstJamo != 0 || longKeyword;
    return longKeyword;
}

// Compares an answer with a scan of every generated name: the same names
// (as multisets) below the cap; at the cap exactly 1000 rows, each a name
// the scan finds (at most as often). The rows must be as many as the
// count, each row's POI id must be that of its name. Where the order is
// fixed the rows go by name (CP949 bytes, the record order); with the
// distance order they go by distance, each the place's distance from the
// centre. Prints why on a mismatch.
bool AgreesWithScan(const World& w, const Asked& a) {
    std::vector<std::u16string> want, got;
    for (size_t i = 0; i < w.names.size(); ++i)
        if (OracleMatches(w, i, a.kw, a.q)) want.push_back(w.names[i]);
    for (const Row& r : a.rows) got.push_back(r.name);
    std::string why;
    const size_t count = static_cast<size_t>(a.count);
    std::sort(want.begin(), want.end());
    std::sort(got.begin(), got.end());
    if (got.size() != count) {
        why = "rows " + std::to_string(got.size());
    } else if (count < kNameHitCap ? got != want
                                   : count > kNameHitCap || want.size() < kNameHitCap ||
                                         !std::includes(want.begin(), want.end(), got.begin(), got.end())) {
        why = "names differ";
    } else {
        const MapPoint centre{static_cast<int32_t>(a.q.ptCenter.x), static_cast<int32_t>(a.q.ptCenter.y)};
        const bool nameOrder = NameOrderFixed(a);
        for (size_t i = 0; i < a.rows.size() && why.empty(); ++i) {
            const Row& r = a.rows[i];
            if (r.poiId == 0 || r.poiId > w.pois.size() || w.names[r.poiId - 1] != r.name) {
                why = "POI id of row " + std::to_string(i);
            } else if (a.q.eOrderBy == 1) {
                if (r.distance != GetApproxDistance(centre, w.pois[r.poiId - 1].pos) ||
                    (i > 0 && a.rows[i - 1].distance > r.distance))
                    why = "distance order at row " + std::to_string(i);
            } else if (nameOrder && i > 0 && Cp(a.rows[i - 1].name) >= Cp(r.name)) {
                why = "name order at row " + std::to_string(i);
            }
        }
    }
    if (why.empty()) return true;
    std::fprintf(stderr, "oracle mismatch: \"%s\" middle %d cate %u area %u radius %u order %u: count %d, scan %zu (%s)\n",
                 platform::Utf16ToUtf8(a.kw).c_str(), a.q.bMiddleWord, a.q.nSubCode, a.q.uAreaCode, a.q.nRadius,
                 static_cast<unsigned>(a.q.eOrderBy), a.count, want.size(), why.c_str());
    return false;
}

// The blob just above every blob that begins with key.
std::string UpperOf(std::string key) {
    while (!key.empty() && static_cast<uint8_t>(key.back()) == 0xFF) key.pop_back();
    if (!key.empty()) key.back() = static_cast<char>(static_cast<uint8_t>(key.back()) + 1);
    return key;
}

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The calling thread's processor time in milliseconds.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

void RunClass(benchmark::State& state, Class cls) {
    World& w = TheWorld();
    std::mt19937 rng(static_cast<uint32_t>(cls) + 11);
    std::vector<double> ours, theirs, oursCpu, theirsCpu;
    int mismatches = 0, oracleMismatches = 0;
    std::vector<Asked> asked;
    for (auto _ : state) {
        for (int i = 0; i < kQueries; ++i) {
            const std::u16string name = platform::Utf8ToUtf16(w.pois[rng() % w.pois.size()].nameUtf8);
            std::u16string kw;
            SearchRequest q;
            q.SearchKindID = kSearchKindName;
            switch (cls) {
            case kOneInitial: kw = Initials(name.substr(0, 1)); break;
            case kThreeInitials:
            case kWithArea:
            case kWithRadius: kw = Initials(name.substr(0, 3)); break;
            case kTwoSyllables: kw = name.substr(0, 2); break;
            case kMiddleWord:
                kw = name.substr(1, 2);
                q.bMiddleWord = 1;
                break;
            }
            if (cls == kWithArea) q.uAreaCode = kAreas[rng() % kAreas.size()];
            if (cls == kWithRadius) {
                q.ptCenter = {static_cast<uint32_t>(w.centre.x), static_cast<uint32_t>(w.centre.y)};
                q.nRadius = 5000;
            }
            SetSearchText(q.szKeyword, kSchKeywordChars, kw);
            const std::string cp = Cp(kw);
            auto t0 = std::chrono::steady_clock::now();
            double c0 = CpuMs();
            int count = 0;
            w.manager.SearchName(q, cp, &count);
            oursCpu.push_back(CpuMs() - c0);
            ours.push_back(Ms(std::chrono::steady_clock::now() - t0));

            std::string sql;
            std::string lo, hi;
            if (cls == kTwoSyllables) {
                sql = "SELECT name FROM poi WHERE name >= ?1 AND name < ?2 LIMIT 1000";
                lo = cp;
            } else if (cls == kMiddleWord) {
                sql = "SELECT name FROM poi WHERE instr(name, ?1) > 0 LIMIT 1000";
                lo = cp;
            } else {
                const std::vector<uint8_t> key = NameInitialKey(cp);
                lo.assign(key.begin(), key.end());
                sql = "SELECT name FROM poi WHERE ini >= ?1 AND ini < ?2";
                if (cls == kWithArea)
                    sql += " AND (area = ?3 OR area / 100 = ?3 OR area / 10000 = ?3 OR area / 1000000 = ?3)";
                if (cls == kWithRadius) sql += " AND x BETWEEN ?4 AND ?5 AND y BETWEEN ?6 AND ?7";
                sql += " LIMIT 1000";
            }
            hi = UpperOf(lo);
            t0 = std::chrono::steady_clock::now();
            c0 = CpuMs();
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(w.db, sql.c_str(), -1, &st, nullptr);
            sqlite3_bind_blob(st, 1, lo.data(), static_cast<int>(lo.size()), SQLITE_TRANSIENT);
            if (cls != kMiddleWord) sqlite3_bind_blob(st, 2, hi.data(), static_cast<int>(hi.size()), SQLITE_TRANSIENT);
            if (cls == kWithArea) sqlite3_bind_int64(st, 3, q.uAreaCode);
            if (cls == kWithRadius) {
                const int64_t dx = static_cast<int64_t>(5000 / 0.169), dy = static_cast<int64_t>(5000 / 0.212);
                sqlite3_bind_int64(st, 4, w.centre.x - dx);
                sqlite3_bind_int64(st, 5, w.centre.x + dx);
                sqlite3_bind_int64(st, 6, w.centre.y - dy);
                sqlite3_bind_int64(st, 7, w.centre.y + dy);
            }
            int rows = 0;
            while (sqlite3_step(st) == SQLITE_ROW) {
                benchmark::DoNotOptimize(sqlite3_column_blob(st, 0));
                ++rows;
            }
            sqlite3_finalize(st);
            theirsCpu.push_back(CpuMs() - c0);
            theirs.push_back(Ms(std::chrono::steady_clock::now() - t0));
            // The radius class: SQLite's box is wider than the circle.
            if (cls != kWithRadius && rows < 500 && count != rows && !(cls == kMiddleWord && rows == 0)) ++mismatches;
            asked.push_back({kw, q, count, ReadRows(w, count)});
        }
    }
    // The scans run after the timed queries, so that they do not leave the
    // caches cold for the next query.
    for (const Asked& a : asked) oracleMismatches += !AgreesWithScan(w, a);
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    state.counters["ours_med_ms"] = median(ours);
    state.counters["ours_worst_ms"] = ours.empty() ? 0 : *std::max_element(ours.begin(), ours.end());
    state.counters["sqlite_med_ms"] = median(theirs);
    state.counters["sqlite_worst_ms"] = theirs.empty() ? 0 : *std::max_element(theirs.begin(), theirs.end());
    state.counters["ratio"] = median(theirs) > 0 ? median(ours) / median(theirs) : 0;
    auto worst = [](const std::vector<double>& v) { return v.empty() ? 0.0 : *std::max_element(v.begin(), v.end()); };
    state.counters["ours_cpu_med_ms"] = median(oursCpu);
    state.counters["ours_cpu_worst_ms"] = worst(oursCpu);
    state.counters["sqlite_cpu_med_ms"] = median(theirsCpu);
    state.counters["sqlite_cpu_worst_ms"] = worst(theirsCpu);
    state.counters["cpu_ratio"] = median(theirsCpu) > 0 ? median(oursCpu) / median(theirsCpu) : 0;
    state.counters["cpu_worst_ratio"] = worst(theirsCpu) > 0 ? worst(oursCpu) / worst(theirsCpu) : 0;
    state.counters["mismatches"] = mismatches;
    state.counters["oracle_mismatches"] = oracleMismatches;
}

// The untimed classes: per query a keyword made from a random generated
// name (five shapes per class, in turn), the answer's rows read, then all
// compared with the scan. Counters: found (answers with rows), capped
// (answers at the cap) and oracle_mismatches.
void RunExtra(benchmark::State& state, ExtraClass cls) {
    World& w = TheWorld();
    std::mt19937 rng(static_cast<uint32_t>(cls) + 101);
    std::vector<Asked> asked;
    auto initial = [](char16_t c) { return Initials(std::u16string(1, c)); };
    for (auto _ : state) {
        for (int i = 0; i < kQueries; ++i) {
            size_t pick = rng() % w.pois.size();
            // Latin letters and digits follow the syllables in some names.
            auto plainAt = [&](size_t at) {
                const std::u16string& n = w.names[at];
                return static_cast<size_t>(std::find_if(n.begin(), n.end(), [](char16_t c) { return !IsSyllable(c); }) -
                                           n.begin());
            };
            if (cls == kLatinDigits)
                while (plainAt(pick) >= w.names[pick].size()) pick = rng() % w.pois.size();
            const std::u16string& name = w.names[pick];
            const size_t plain = plainAt(pick);
            SearchRequest q;
            q.SearchKindID = kSearchKindName;
            std::u16string kw;
            const int shape = i % 5;
            switch (cls) {
            case kMixed:
                // A syllable and an initial (an index range), an initial and
                // a syllable, three characters, with an area, a middle word
                // (which has no hits with a bare consonant).
                if (shape == 0) kw = name.substr(0, 1) + initial(name[1]);
                if (shape == 1) kw = initial(name[0]) + name.substr(1, 1);
                if (shape == 2) kw = name.substr(0, 1) + initial(name[1]) + Initials(name.substr(2, 1));
                if (shape == 3) {
                    kw = initial(name[0]) + name.substr(1, 2);
                    q.uAreaCode = kAreas[rng() % kAreas.size()];
                }
                if (shape == 4) {
                    kw = name.substr(1, 1) + Initials(name.substr(2, 1));
                    q.bMiddleWord = 1;
                }
                break;
            case kLatinDigits:
                // The syllables and the letter (or digit) after them, their
                // initials and the letter, the letter as a middle word with
                // the syllable before or the character after it, initials
                // and syllables before the letter.
                if (shape == 0) kw = name.substr(0, plain + 1);
                if (shape == 1) kw = Initials(name.substr(0, plain)) + name[plain];
                if (shape == 2 || shape == 3) {
                    kw = name.substr(shape == 2 || plain + 1 >= name.size() ? plain - 1 : plain, 2);
                    q.bMiddleWord = 1;
                }
                if (shape == 4) kw = initial(name[0]) + name.substr(1, plain);
                break;
            case kCategory: {
                // The place's own category or its parent.
                const uint32_t index = CateIndex(w.pois[rng() % w.pois.size()].catePacked);
                q.nSubCode = rng() % 2 && index >= 30 ? index / 30 : index;
                if (shape == 0) kw = Initials(name.substr(0, 2));
                if (shape == 1) kw = name.substr(0, 2);
                if (shape == 2) {
                    kw = name.substr(1, 2);
                    q.bMiddleWord = 1;
                }
                if (shape == 3) kw = initial(name[0]);
                if (shape == 4) {
                    kw = name.substr(0, 1) + initial(name[1]);
                    q.uAreaCode = kAreas[rng() % kAreas.size()];
                }
                break;
            }
            case kByDistance:
                q.eOrderBy = 1;
                q.ptCenter = {static_cast<uint32_t>(w.centre.x), static_cast<uint32_t>(w.centre.y)};
                q.nRadius = shape == 0 ? 10000 : 5000;
                if (shape == 0) kw = Initials(name.substr(0, 3));
                if (shape == 1) kw = initial(name[0]);
                if (shape == 2) kw = name.substr(0, 2);
                if (shape == 3) {
                    kw = name.substr(1, 2);
                    q.bMiddleWord = 1;
                }
                if (shape == 4) kw = name.substr(0, 1) + initial(name[1]);
                break;
            }
            SetSearchText(q.szKeyword, kSchKeywordChars, kw);
            int count = 0;
            w.manager.SearchName(q, Cp(kw), &count);
            asked.push_back({kw, q, count, ReadRows(w, count)});
        }
    }
    int oracleMismatches = 0, found = 0, capped = 0;
    for (const Asked& a : asked) {
        oracleMismatches += !AgreesWithScan(w, a);
        found += a.count > 0;
        capped += a.count >= static_cast<int>(kNameHitCap);
    }
    state.counters["found"] = found;
    state.counters["capped"] = capped;
    state.counters["oracle_mismatches"] = oracleMismatches;
}

BENCHMARK_CAPTURE(RunClass, one_initial, kOneInitial)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunClass, three_initials, kThreeInitials)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunClass, two_syllables, kTwoSyllables)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunClass, middle_word, kMiddleWord)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunClass, with_area, kWithArea)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunClass, with_radius, kWithRadius)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunExtra, mixed, kMixed)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunExtra, latin_digits, kLatinDigits)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunExtra, category, kCategory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunExtra, by_distance, kByDistance)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
