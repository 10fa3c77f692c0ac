#pragma once
// CModuleSCH: the search module. One search at a time runs on the worker
// thread "MODULESCH"; the screens hand it a SearchRequest with DoSearch,
// poll the count from their update and fetch the results page by page. The
// newest request always wins: DoSearch and the worker meet under one lock
// that guards the current job, its generation number and the state word,
// so the worker can never overwrite a newer request's state with its own
// "idle", and a request equal to the one running leaves it alone. One
// engine lock serialises the worker's searches with the look-ups the
// screens call on their own thread. Waits are bounded and the worker stops
// cooperatively.
//
// This version serves the name kinds (0, 1, 2), the category kinds (3, 4
// and, over sample points of the guided route, 5), the address kinds (6 and
// 7) and the telephone kind (8); the theme kinds end with nothing found
// (-162) until their engine is built. A running name search stops at its
// next step when a newer request arrives, the memory is released or the
// module stops.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "foundation/critical_section.h"
#include "foundation/singleton.h"
#include "foundation/work_thread.h"
#include "search/search_manager.h"
#include "search/search_records.h"
#include "settings/module_sch.h"
#include "settings/theme_proposal.h"

inline constexpr char16_t kModuleSchThreadName[] = u"MODULESCH";
inline constexpr uint32_t kSchMsgQuit = 0;
inline constexpr uint32_t kSchMsgStart = 3;
inline constexpr uint32_t kSchMsgSearch = 4;

// States of the module (the state word of CMgrConfigModuleSCH).
inline constexpr int32_t kSchStateNone = 0;
inline constexpr int32_t kSchStateThreadUp = 1;
inline constexpr int32_t kSchStateIdle = 2;
inline constexpr int32_t kSchStateRequested = 3;
inline constexpr int32_t kSchStateSearching = 4;
inline constexpr int32_t kSchStateStopAsked = 5;
inline constexpr int32_t kSchStateEnded = 6;

// Init errors.
inline constexpr int kSchInitNoBaseBlock = -1;
inline constexpr int kSchInitNoBaseMemory = -2;
inline constexpr int kSchInitEngines = -3;

// The request as the worker sees it: the request with its keyword also in
// CP949 (at most 74 bytes). Two jobs are equal when every field is.
struct SearchJob {
    SearchRequest request;
    std::string keywordCp949;
    bool operator==(const SearchJob& other) const;
};

// The start parameters: the data folder and the theme flag.
// What GetThemeItemFlags gives of a theme record: its first word (the theme
// item key, which names the item's photos) and its two flag bytes (the flag
// byte and the second flag byte).
struct ThemeItemFlags {
    uint32_t firstWord = 0;
    uint8_t flag = 0;
    uint8_t flag2 = 0;
};

struct SearchStartParams {
    std::string dataFolder;
    uint32_t themeFlag = 0;
};

// A row of the telephone area list: the area number, its entry count and
// the province name.
struct SearchTelAreaRow {
    uint16_t wAreaCode = 0;
    uint32_t nValue = 0;
    char16_t szName[10] = {};
};

// A row of the around-search category list (68 bytes): the code, its name,
// the category index it searches and its symbol number, and the number of
// places under it.
struct SearchAroundCateRow {
    uint32_t nCode = 0;
    char16_t szName[28] = {};
    uint16_t wValue1 = 0;
    uint16_t wValue2 = 0;
    uint32_t nValue = 0;
};
static_assert(sizeof(SearchAroundCateRow) == 68);

// A replacement of the route sampling of kind 5 (route_sampling.h): fills up
// to maxPoints points of the route ahead, about stepM apart, with their flag
// bytes; the count (0 when there is no route).
using SearchRouteSampler = std::function<int(MapPoint* points, uint8_t* flags, int maxPoints, uint32_t stepM)>;

class CModuleSCH;

class CModuleSCHThread : public CMgrWorkThread {
public:
    explicit CModuleSCHThread(CModuleSCH& module) : m_module(module) {}
    ~CModuleSCHThread() override;
    const char16_t* GetThreadName() const override { return kModuleSchThreadName; }
    int InitInstance() override;
    void Run() override;
    int ExitInstance() override;
    const MgrQueueInfo* GetQueueInfo() const override;

private:
    CModuleSCH& m_module;
};

class CModuleSCH : public MgrSingletonT<CModuleSCH>, public ThemeAroundSource {
public:
    // Base memory sizes (with and without the theme data).
    static constexpr uint32_t kBaseBytesTheme = 388044;
    static constexpr uint32_t kBaseBytes = 204444;
    static constexpr uint32_t kStartWaitMs = 10000;
    static constexpr uint32_t kStopWaitMs = 5000;

    // settings: the module's settings object (the process-wide one when null).
    explicit CModuleSCH(CMgrConfigModuleSCH* settings = nullptr);
    ~CModuleSCH() override;

    // Starts the worker and has it load the engines. 1 on success; 0 when
    // already started, without settings object, or when the worker does not
    // come up within kStartWaitMs or the start message cannot be posted.
    int Initialize(const SearchStartParams& params);
    // The init error when negative; 1 when started and idle; else 0.
    int GetInitState() const;
    // Stops the worker (bounded wait); 1 when it ended.
    int Stop(uint32_t timeoutMs = kStopWaitMs);

    // 1 accepted, -1 not started or not posted.
    int DoSearch(const SearchRequest& request);
    // -1 while the newest request has not finished; else the count and 1.
    int GetSearchResultCount(int* count) const;
    // The status of the finished newest request (0, 1 or -162).
    int GetSearchStatus() const;
    // Copies up to count results from start: 1, -164 or -2.
    int GetSearchResult(uint32_t kind, int start, int count, int* outCount, SearchResult* results);
    // Stops using the working memory: released when idle, else kept until
    // the search ends; the results that lived in it are no longer valid.
    int ReleaseSearchMemory();

    // Look-ups on the caller's thread, serialised with the worker.
    int GetAreaList(uint32_t code, int level, char16_t* parentName, SearchAreaRow* rows, int maxRows);
    int GetNewAddrAreaList(uint32_t code, int level, char16_t* parentName, SearchAreaRow* rows, int maxRows);
    int SearchAddrLotNumber(uint32_t code, int main, int sub, int mountain, int maxRows, SearchAreaRow* rows);
    int SearchNewAddrNumber(uint32_t code, int main, int sub, int maxRows, SearchAreaRow* rows);
    int GetAreaName(uint32_t code, char16_t* out, int style);
    // The telephone areas (working memory of kind 8): the row count, -1
    // when the memory cannot be had.
    int GetTelAreaCodeList(SearchTelAreaRow* rows, int maxRows);
    // The around-search categories under a code: level -1 code / 10000, 0
    // code / 100, 1 the code itself is the parent; parentName receives its
    // name (28 characters). The row count, -1 for a bad level. Safe from
    // any thread, also while a search runs.
    int GetAroundCateList(uint32_t code, int level, char16_t* parentName, SearchAroundCateRow* rows, int maxRows);
    // Where kind 5 takes the route's sample points from; null (the default)
    // samples the selected route of the guidance settings.
    void SetRouteSampler(SearchRouteSampler sampler);

    // The facilities of a building (request: dBuildingKey, keyword,
    // category and area filters, centre, eOrderBy): the search status (0,
    // 1 at the cap, -162 none) and the hit count into count.
    int SearchBuildingFacilities(const SearchRequest& request, int* count);
    // Copies up to count hits of that search from start, with the building
    // name and floor; 1, or -164 when there are none from start.
    int GetBuildingFacilities(int start, int count, int* outCount, SearchResult* results);
    // The facility list of a building for one place (poiId; 0: the entries
    // listed without a POI id): at most 15 rows of name, building name and
    // floor; their count.
    int GetPOIDetail(double buildingKey, uint32_t poiId, SearchResult* results);
    // The sub-places of request.nRecordID (at most 200), distances from
    // request.ptCenter; their count.
    int GetPOIRecord(const SearchRequest& request, SearchResult* results);
    // Theme and interchange look-ups on the caller's thread. The theme
    // look-ups use the working memory of kind 9 (-162 or -1 without it).
    // DoThemeSearch: the members of the theme course nOption (at most 100
    // rows, also kept in the settings object); their count.
    int DoThemeSearch(const SearchRequest& request, SearchThemeRow* rows, int maxRows);
    // The categories under a code (level 1 its children, 0 its siblings, -1
    // its parent's siblings; code 0 with level 0 the top level) into rows
    // (room for 100) and the code's own category into parent; their count or
    // -1.
    int GetThemeList(uint32_t code, int level, ThemeCateRecord* parent, ThemeCateRecord* rows, int maxRows);
    // The number of theme items a category lists (its field test).
    int SearchThemeItems(const ThemeCateRecord& row);
    // The row of the last theme look-up at index: 1, or -1 out of range.
    int GetThemeItemInfo(int index, SearchThemeRow* row);
    // The theme item of a key, looked up in the file: 1, or 0 when none.
    int FindThemeItemInfo(uint32_t key, SearchThemeRow* row);
    // The first word and flag bytes of the theme item of a key, taken from
    // the rows of the last theme search, else from the file: 1 when its flag
    // byte is set, 0 when not, -1 when no item has the key (out cleared).
    int GetThemeItemFlags(uint32_t key, ThemeItemFlags* out);
    // The theme points within radius metres of (x, y) whose kind flags share
    // a bit with kind (0 all), nearest first: {theme item key, item value,
    // kind flags} rows; their count, 0 when the theme data is not loaded.
    int SearchThemeAround(int32_t x, int32_t y, int32_t radius, int32_t kind, int maxRows,
                          ThemeAroundRow* rows) override;
    int GetHighwayList(ICHighway* rows, int maxRows);
    int GetHighwayICList(ICListRow* rows, int* outCount, int* outHighway, uint32_t x, uint32_t y, int side,
                         int highway);
    int SearchICByName(ICRow* rows, int* outCount, uint32_t x, uint32_t y, int side, std::u16string_view keyword,
                       int order);
    int GetNearestICLinks(uint32_t x, uint32_t y, int side, uint32_t* links);

    // Kind of the working memory held (-1 none) and its size.
    int ActiveMemoryKind() const;

private:
    friend class CModuleSCHThread;
    void StartEngines();   // worker, message 3
    void RunSearch();      // worker, message 4
    // The working memory of a kind (3, 7, 8, 9); false when it cannot be had.
    bool GetActiveMemory(uint32_t kind);
    void FreeActiveMemory();

    CMgrConfigModuleSCH* m_settings;
    SearchStartParams m_params;
    std::atomic<int> m_initError{0};
    std::atomic<int> m_started{0};
    std::unique_ptr<CModuleSCHThread> m_thread;
    std::unique_ptr<CMneSearchManager> m_manager;

    // Guards the job, its generation, the state word's request states and
    // the result record.
    mutable CMgrCriticalSection m_requestLock;
    SearchJob m_job;
    uint64_t m_jobGeneration = 0;
    uint64_t m_resultGeneration = 0;  // the generation the results belong to
    int m_resultCount = 0;
    int m_resultStatus = 0;
    bool m_resultsValid = false;
    bool m_releaseAsked = false;
    bool m_postLost = false;  // the last search message could not be posted
    // What a running search polls without a lock: the newest generation and
    // the stop asked by ReleaseSearchMemory or Stop.
    std::atomic<uint64_t> m_newestGeneration{0};
    std::atomic<bool> m_searchStop{false};
    // Serialises the engines between the worker and the look-ups; also
    // guards the working memory record.
    mutable CMgrCriticalSection m_engineLock;
    std::vector<uint8_t> m_baseMemory;
    std::unique_ptr<uint8_t[]> m_activeMemory;
    size_t m_activeBytes = 0;
    int m_activeKind = -1;
    int m_facilityCount = 0;  // hits of the last building search
    SearchRouteSampler m_routeSampler;  // guarded by m_engineLock
};
