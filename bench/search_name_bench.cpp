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
// SQLite's as a check (mismatches counted), and with a plain scan of the
// generated names in UTF-16 at and below the cap (oracle_mismatches).
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

// The answer's count by a scan of every name: the cap's size when there
// are more.
int OracleCount(const World& w, bool middle, const std::u16string& kw, const SearchRequest& q) {
    uint32_t n = 0;
    for (size_t i = 0; i < w.names.size() && n < kNameHitCap; ++i) {
        const std::u16string& name = w.names[i];
        bool match = false;
        for (size_t at = 0; at < (middle ? name.size() : 1) && !match; ++at) match = MatchAt(name, at, kw);
        if (!match) continue;
        const writers::SearchPoi& p = w.pois[i];
        if (q.uAreaCode) {
            bool under = false;
            for (uint32_t a = p.areaCode; a && !under; a /= 100) under = a == q.uAreaCode;
            if (!under) continue;
        }
        if (q.nRadius) {
            const MapPoint c{static_cast<int32_t>(q.ptCenter.x), static_cast<int32_t>(q.ptCenter.y)};
            if (std::abs(p.pos.x - c.x) > q.nRadius / 0.169 || std::abs(p.pos.y - c.y) > q.nRadius / 0.212 ||
                GetApproxDistance(c, p.pos) > q.nRadius)
                continue;
        }
        ++n;
    }
    return static_cast<int>(n);
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
    struct Asked {
        std::u16string kw;
        SearchRequest q;
        int count;
    };
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
            asked.push_back({kw, q, count});
        }
    }
    // The scans run after the timed queries, so that they do not leave the
    // caches cold for the next query.
    for (const Asked& a : asked)
        if (a.count != OracleCount(w, cls == kMiddleWord, a.kw, a.q)) ++oracleMismatches;
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

BENCHMARK_CAPTURE(RunClass, one_initial, kOneInitial)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunClass, three_initials, kThreeInitials)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunClass, two_syllables, kTwoSyllables)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunClass, middle_word, kMiddleWord)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunClass, with_area, kWithArea)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunClass, with_radius, kWithRadius)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
