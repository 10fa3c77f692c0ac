#include "search/module_sch.h"

#include <chrono>
#include <cstring>
#include <new>
#include <thread>

#include "foundation/debug_trace.h"
#include "platform/codepage.h"
#include "search/route_sampling.h"
#include "search/search_keys.h"

namespace {

constexpr uint32_t kPostTimeoutMs = 1000;

// Working memory by recorded kind: category 510000, road-name 100800,
// telephone 72448, theme 1582000 bytes.
int RecordedKind(uint32_t kind) {
    if (kind >= 3 && kind <= 5) return 3;
    if (kind == 7 || kind == 8) return static_cast<int>(kind);
    if (kind == 9 || kind == 10) return 9;
    return -1;
}
size_t WorkingBytes(int recorded) {
    switch (recorded) {
    case 3: return 510000;
    case 7: return 100800;
    case 8: return 72448;
    case 9: return 1582000;
    default: return 0;
    }
}

}  // namespace

bool SearchJob::operator==(const SearchJob& other) const {
    SearchRequestRecord a, b;
    EncodeSearchRequest(request, a);
    EncodeSearchRequest(other.request, b);
    return std::memcmp(a.bytes, b.bytes, sizeof a.bytes) == 0 && keywordCp949 == other.keywordCp949;
}

// ---- the thread ------------------------------------------------------------

CModuleSCHThread::~CModuleSCHThread() { CMgrWorkThread::StopThread(kMgrUnlimitedStopWaitMs); }

const MgrQueueInfo* CModuleSCHThread::GetQueueInfo() const { return &kMgrModuleQueueInfo; }

int CModuleSCHThread::InitInstance() {
    SetQuitFlag(0);
    if (!RegistThread()) {
        m_module.m_settings->SetState(kSchStateNone);
        return 0;
    }
    m_module.m_settings->SetState(kSchStateThreadUp);
    return 1;
}

void CModuleSCHThread::Run() {
    uint8_t payload[kMgrModuleMaxPayload];
    while (!GetQuitFlag()) {
        uint32_t sender = 0, code = 0, length = 0;
        if (!GetThreadMessage(&sender, &code, payload, sizeof payload, &length, nullptr, kMgrInfinite)) continue;
        if (code == kSchMsgQuit) break;
        const int32_t state = m_module.m_settings->GetState();
        if (code == kSchMsgStart && state == kSchStateThreadUp)
            m_module.StartEngines();
        else if (code == kSchMsgSearch)
            m_module.RunSearch();
    }
}

int CModuleSCHThread::ExitInstance() {
    {
        MgrLock hold(m_module.m_engineLock);
        m_module.FreeActiveMemory();
    }
    m_module.m_settings->SetState(kSchStateEnded);
    UnregistThread();
    DebugTrace(3, "ExitInstance 0x%08x\r\n", GetThreadId());
    return 0;
}

// ---- the module ------------------------------------------------------------

CModuleSCH::CModuleSCH(CMgrConfigModuleSCH* settings)
    : m_settings(settings ? settings : CMgrConfigModuleSCH::Instance()) {}

CModuleSCH::~CModuleSCH() {
    if (Stop(kMgrUnlimitedStopWaitMs) != 1) {
        // A worker that did not end keeps what it may still use.
        (void)m_thread.release();
        (void)m_manager.release();
    }
}

int CModuleSCH::Initialize(const SearchStartParams& params) {
    if (m_started.load(std::memory_order_acquire) || m_settings == nullptr) return 0;
    if (m_thread) {
        if (m_thread->IsThreadRunning()) return 0;  // an earlier worker that did not end
        m_thread.reset();
    }
    m_params = params;
    m_initError.store(0, std::memory_order_release);
    m_manager = std::make_unique<CMneSearchManager>();
    m_settings->SetState(kSchStateNone);
    m_thread = std::make_unique<CModuleSCHThread>(*this);
    if (!m_thread->CreateThread(0, 0, 0)) {
        m_thread.reset();
        return 0;
    }
    for (uint32_t waitedMs = 0; m_settings->GetState() != kSchStateThreadUp; waitedMs += 10) {
        if (waitedMs >= kStartWaitMs || !m_thread->IsThreadRunning()) {
            Stop();
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!CMgrWorkThread::SendThreadMessage(kModuleSchThreadName, kSchMsgStart, nullptr, 0, kPostTimeoutMs)) return 0;
    return 1;
}

void CModuleSCH::StartEngines() {
    {
        MgrLock hold(m_engineLock);
        const uint32_t size = m_params.themeFlag ? kBaseBytesTheme : kBaseBytes;
        try {
            m_baseMemory.assign(size, 0);
        } catch (const std::bad_alloc&) {
            m_initError.store(kSchInitNoBaseMemory, std::memory_order_release);
            m_settings->SetState(kSchStateNone);
            return;
        }
        m_manager->SetFolders(m_params.dataFolder);
        const int loaded = m_manager->LoadEngines();
        if (loaded != 1) DebugTrace(1, "**** Module_Search: engines not loaded (%d)\n", loaded);
        // Without the lot-number areas no address or result text can be made;
        // and the engines' tables must fit the base memory set aside for them.
        if ((loaded < 0 && ((-loaded) & kLoadLotAreas)) || m_manager->LayoutEngines(size, m_params.themeFlag != 0) == 0) {
            m_initError.store(kSchInitEngines, std::memory_order_release);
            m_settings->SetState(kSchStateNone);
            return;
        }
    }
    m_started.store(1, std::memory_order_release);
    CMgrConfigActiveTheme::SetThemeSearchSource(this);
    MgrLock request(m_requestLock);
    m_settings->SetState(kSchStateIdle);
}

int CModuleSCH::GetInitState() const {
    const int error = m_initError.load(std::memory_order_acquire);
    if (error < 0) return error;
    return m_started.load(std::memory_order_acquire) && m_settings->GetState() == kSchStateIdle ? 1 : 0;
}

int CModuleSCH::Stop(uint32_t timeoutMs) {
    m_started.store(0, std::memory_order_release);
    CMgrConfigActiveTheme::SetThemeSearchSource(nullptr);
    m_searchStop.store(true, std::memory_order_release);
    if (!m_thread) return 1;
    if (m_thread->IsThreadRunning()) {
        MgrLock request(m_requestLock);
        m_settings->SetState(kSchStateStopAsked);
    }
    const int rc = m_thread->StopThread(timeoutMs);
    if (!m_thread->IsThreadRunning()) {
        m_thread.reset();
        return 1;
    }
    return rc;
}

int CModuleSCH::DoSearch(const SearchRequest& request) {
    if (!m_started.load(std::memory_order_acquire)) return -1;
    SearchJob job;
    job.request = request;
    std::string cp949;
    platform::Utf16ToCp949(SearchText(request.szKeyword, kSchKeywordChars), cp949);
    job.keywordCp949 = std::string(CutCp949(cp949, kSchKeywordCp949Bytes - 1));
    bool post = false;
    {
        MgrLock hold(m_requestLock);
        const int32_t state = m_settings->GetState();
        // The same request again while it runs or waits: it goes on (unless
        // its message never reached the worker).
        if ((state == kSchStateRequested || state == kSchStateSearching) && job == m_job && !m_postLost) return 1;
        m_job = job;
        ++m_jobGeneration;
        m_newestGeneration.store(m_jobGeneration, std::memory_order_release);
        m_searchStop.store(false, std::memory_order_release);
        {
            MgrLock settings(*m_settings->GetLock());
            EncodeSearchRequest(request, m_settings->request);
        }
        // One message at a time: a request that waits is simply replaced,
        // unless the message posted for it was lost.
        post = state != kSchStateRequested || m_postLost;
        m_postLost = false;
        m_settings->SetState(kSchStateRequested);
    }
    DebugTrace(3, "DoSearch : %s\n", job.keywordCp949.c_str());
    if (post && !CMgrWorkThread::SendThreadMessage(kModuleSchThreadName, kSchMsgSearch, nullptr, 0, kPostTimeoutMs)) {
        // No message waits for the request now standing: the next request
        // posts one of its own, or the module would wait for ever.
        MgrLock hold(m_requestLock);
        m_postLost = true;
        return -1;
    }
    return 1;
}

void CModuleSCH::RunSearch() {
    SearchJob job;
    uint64_t generation = 0;
    {
        MgrLock hold(m_requestLock);
        if (m_settings->GetState() != kSchStateRequested) return;
        job = m_job;
        generation = m_jobGeneration;
        m_settings->SetState(kSchStateSearching);
    }
    const uint32_t kind = job.request.SearchKindID;
    int count = 0, status = kSchNotFound;
    const auto cancelled = [this, generation] {
        if (m_searchStop.load(std::memory_order_acquire)) return kNameStopOff;
        return m_newestGeneration.load(std::memory_order_acquire) != generation ? kNameStopNewer : 0;
    };
    {
        MgrLock engines(m_engineLock);
        if (kind > kSearchKindLast) {
            status = kSchStatusComplete;
        } else if (kind == kSearchKindAddrDongLi || kind == kSearchKindNewAddrDongLi) {
            if (kind == kSearchKindNewAddrDongLi && !GetActiveMemory(kind)) {
                status = kSchNoAddrMemory;
            } else {
                const int n = m_manager->SearchDongLi(kind, job.keywordCp949, job.request.uAreaCode);
                count = n > 0 ? n : 0;
                status = n > 0 ? kSchStatusComplete : kSchNotFound;
            }
        } else if (kind <= kSearchKindApt) {
            const int answer = m_manager->SearchName(job.request, job.keywordCp949, &count, cancelled);
            status = answer == 0 ? kSchNotFound : answer == 2 ? kSchStatusCapped : kSchStatusComplete;
        } else if (RecordedKind(kind) >= 0 && !GetActiveMemory(kind)) {
            status = kSchNotFound;
        } else if (kind == kSearchKindPhone) {
            const int answer = m_manager->SearchTelephone(job.request, &count);
            status = answer == 0 ? kSchNotFound : answer == 2 ? kSchStatusCapped : kSchStatusComplete;
        } else if (kind == kSearchKindCate || kind == kSearchKindAroundCate || kind == kSearchKindPathCate) {
            int answer = 0;
            if (kind == kSearchKindPathCate) {
                // Sampling step by the radius: 100 m, 200 m from 200 to 999, else 1000 m.
                const uint32_t radius = job.request.nRadius;
                const uint32_t step = radius == 0 ? 100 : radius >= 200 && radius <= 999 ? 200 : 1000;
                std::vector<MapPoint> points(kPathPointsMax);
                std::vector<uint8_t> flags(kPathPointsMax);
                const int n = m_routeSampler ? m_routeSampler(points.data(), flags.data(), kPathPointsMax, step)
                                            : SampleRoutePoints({}, step, kPathPointsMax, points.data(), flags.data());
                answer = n <= 0 ? -1
                                : m_manager->SearchPathCategory(job.request, job.keywordCp949, points.data(),
                                                                flags.data(),
                                                                static_cast<uint16_t>(std::min<int>(n, kPathPointsMax)),
                                                                &count, cancelled);
            } else {
                answer = m_manager->SearchCategory(job.request, job.keywordCp949, &count, cancelled);
            }
            // No route to sample: nothing found, but not a failure.
            status = answer == -1 ? kSchStatusComplete
                     : answer == 1 ? kSchStatusComplete
                     : answer == 2 ? kSchStatusCapped
                                   : kSchNotFound;
            if (answer != 1 && answer != 2) count = 0;
        } else if (kind == kSearchKindTheme || kind == kSearchKindTheme2) {
            const int answer = m_manager->SearchThemes(job.request, &count, [this, generation] {
                return m_searchStop.load(std::memory_order_acquire) ||
                       m_newestGeneration.load(std::memory_order_acquire) != generation;
            });
            status = answer == 1 ? kSchStatusComplete : answer == 2 ? kSchStatusCapped : kSchNotFound;
            if (status == kSchNotFound) count = 0;
        }
        // The theme engine is not built: nothing found.
    }
    MgrLock hold(m_requestLock);
    m_resultGeneration = generation;
    m_resultCount = count;
    m_resultStatus = status;
    m_resultsValid = true;
    // A newer request keeps its state and runs next. A release asked for
    // during the search happens before the module shows itself idle.
    if (generation == m_jobGeneration) {
        if (m_releaseAsked) {
            m_releaseAsked = false;
            MgrLock engines(m_engineLock);
            FreeActiveMemory();
            if (RecordedKind(kind) >= 0) m_resultsValid = false;
        }
        m_settings->SetState(kSchStateIdle);
    }
}

int CModuleSCH::GetSearchResultCount(int* count) const {
    MgrLock hold(m_requestLock);
    if (m_settings->GetState() != kSchStateIdle || !m_resultsValid || m_resultGeneration != m_jobGeneration) return -1;
    if (count) *count = m_resultCount;
    return 1;
}

int CModuleSCH::GetSearchStatus() const {
    MgrLock hold(m_requestLock);
    return m_resultStatus;
}

int CModuleSCH::GetSearchResult(uint32_t kind, int start, int count, int* outCount, SearchResult* results) {
    if (outCount) *outCount = 0;
    int current = -1;
    if (GetSearchResultCount(&current) != 1) current = -1;
    if (current <= 0 || current < start || start < 0) return kSchNoResults;
    if (kind > kSearchKindLast) return kSchBadKind;
    if (!results || count <= 0) return 1;
    MgrLock engines(m_engineLock);
    int n = 0;
    if (kind == kSearchKindAddrDongLi || kind == kSearchKindNewAddrDongLi) {
        n = m_manager->GetDongLiRows(kind, start, std::min(count, current - start), results);
    } else if (kind <= kSearchKindApt) {
        // At most 15 rows a call, until the page is full or a call yields none.
        const int want = std::min(count, current - start);
        while (n < want) {
            const int got = m_manager->GetNameRows(start + n, std::min(15, want - n), kind, results + n);
            if (got <= 0) break;
            n += got;
        }
    } else if (kind <= kSearchKindPathCate) {
        const int want = std::min(count, current - start);
        while (n < want) {
            const int got = m_manager->GetCateRows(start + n, std::min(15, want - n), results + n);
            if (got <= 0) break;
            n += got;
        }
    } else if (kind == kSearchKindPhone) {
        n = m_manager->GetTelRows(start, std::min(count, current - start), results);
    } else if (kind == kSearchKindTheme || kind == kSearchKindTheme2) {
        n = m_manager->GetThemeRows(start, std::min(count, current - start), results);
    }
    if (outCount) *outCount = n;
    return 1;
}

int CModuleSCH::ReleaseSearchMemory() {
    MgrLock hold(m_requestLock);
    m_searchStop.store(true, std::memory_order_release);
    if (m_settings->GetState() == kSchStateIdle) {
        MgrLock engines(m_engineLock);
        // Results that lived in the working memory go with it.
        if (m_activeKind >= 0 && RecordedKind(m_job.request.SearchKindID) >= 0) m_resultsValid = false;
        FreeActiveMemory();
    } else {
        m_releaseAsked = true;
        // The working memory belongs to the search thread until it ends.
        DebugTrace(1, "**** Module_Search Active 메모리 해제 보류 : SearchKindID(%d)\n",
                   static_cast<int>(m_job.request.SearchKindID));
    }
    return 1;
}

bool CModuleSCH::GetActiveMemory(uint32_t kind) {
    const int recorded = RecordedKind(kind);
    if (recorded < 0) return false;
    if (recorded == m_activeKind && m_activeMemory) return true;
    FreeActiveMemory();
    // The block stands for the kind's share of memory (the engines keep
    // their tables in storage of their own): held, never filled, so that a
    // change of kind costs no pass over a megabyte.
    try {
        m_activeMemory = std::make_unique_for_overwrite<uint8_t[]>(WorkingBytes(recorded));
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_activeBytes = WorkingBytes(recorded);
    m_activeKind = recorded;
    DebugTrace(2, "**** Module_Search Active 메모리 할당 : SearchKindID(%d) = %d\n", static_cast<int>(kind),
               static_cast<int>(m_activeBytes));
    return true;
}

void CModuleSCH::FreeActiveMemory() {
    m_activeMemory.reset();
    m_activeBytes = 0;
    m_activeKind = -1;
}

int CModuleSCH::ActiveMemoryKind() const {
    MgrLock engines(m_engineLock);
    return m_activeKind;
}

int CModuleSCH::GetAreaList(uint32_t code, int level, char16_t* parentName, SearchAreaRow* rows, int maxRows) {
    if (!m_started.load(std::memory_order_acquire)) return -1;
    MgrLock engines(m_engineLock);
    return m_manager->GetAreaList(code, level, parentName, rows, maxRows, false);
}

int CModuleSCH::GetNewAddrAreaList(uint32_t code, int level, char16_t* parentName, SearchAreaRow* rows, int maxRows) {
    if (!m_started.load(std::memory_order_acquire)) return -1;
    MgrLock engines(m_engineLock);
    if (!GetActiveMemory(kSearchKindNewAddrDongLi)) return -1;
    return m_manager->GetAreaList(code, level, parentName, rows, maxRows, true);
}

int CModuleSCH::SearchAddrLotNumber(uint32_t code, int main, int sub, int mountain, int maxRows, SearchAreaRow* rows) {
    if (!m_started.load(std::memory_order_acquire)) return -1;
    MgrLock engines(m_engineLock);
    return m_manager->SearchAddrLotNumber(code, main, sub, mountain, maxRows, rows, false);
}

int CModuleSCH::SearchNewAddrNumber(uint32_t code, int main, int sub, int maxRows, SearchAreaRow* rows) {
    if (!m_started.load(std::memory_order_acquire)) return -1;
    MgrLock engines(m_engineLock);
    if (!GetActiveMemory(kSearchKindNewAddrDongLi)) return -1;
    return m_manager->SearchAddrLotNumber(code, main, sub, 0, maxRows, rows, true);
}

int CModuleSCH::GetAreaName(uint32_t code, char16_t* out, int style) {
    if (!m_started.load(std::memory_order_acquire)) return 0;
    MgrLock engines(m_engineLock);
    return m_manager->GetAreaName(code, out, style);
}

int CModuleSCH::SearchBuildingFacilities(const SearchRequest& request, int* count) {
    if (count) *count = 0;
    if (!m_started.load(std::memory_order_acquire)) return kSchNotFound;
    std::string cp949;
    platform::Utf16ToCp949(SearchText(request.szKeyword, kSchKeywordChars), cp949);
    MgrLock engines(m_engineLock);
    int n = 0;
    const int answer =
        m_manager->SearchBuildingFacilities(request, CutCp949(cp949, kSchKeywordCp949Bytes - 1), &n);
    m_facilityCount = n;
    if (count) *count = n;
    return n == 0 ? kSchNotFound : answer == 2 ? kSchStatusCapped : kSchStatusComplete;
}

int CModuleSCH::GetBuildingFacilities(int start, int count, int* outCount, SearchResult* results) {
    if (outCount) *outCount = 0;
    if (!m_started.load(std::memory_order_acquire)) return kSchNoResults;
    MgrLock engines(m_engineLock);
    if (m_facilityCount <= 0 || start < 0 || start > m_facilityCount) return kSchNoResults;
    int n = 0;
    const int want = std::min(count, m_facilityCount - start);
    while (results && n < want) {
        const int got = m_manager->GetFacilityRows(start + n, std::min(15, want - n), results + n);
        if (got <= 0) break;
        n += got;
    }
    if (outCount) *outCount = n;
    return 1;
}

int CModuleSCH::GetPOIDetail(double buildingKey, uint32_t poiId, SearchResult* results) {
    if (!m_started.load(std::memory_order_acquire)) return 0;
    MgrLock engines(m_engineLock);
    return m_manager->ListBuildingFacilities(buildingKey, poiId, results);
}

int CModuleSCH::GetPOIRecord(const SearchRequest& request, SearchResult* results) {
    if (!m_started.load(std::memory_order_acquire)) return 0;
    MgrLock engines(m_engineLock);
    return m_manager->ListSubPlaces(request, results);
}

int CModuleSCH::GetTelAreaCodeList(SearchTelAreaRow* rows, int maxRows) {
    if (!m_started.load(std::memory_order_acquire)) return -1;
    MgrLock engines(m_engineLock);
    if (!GetActiveMemory(kSearchKindPhone)) return -1;
    const TelAreaRow* areas = nullptr;
    const int n = std::min(m_manager->GetTelAreaTable(&areas), std::max(maxRows, 0));
    for (int i = 0; i < n && rows; ++i) {
        rows[i] = {};
        rows[i].wAreaCode = areas[i].wAreaNumber;
        rows[i].nValue = areas[i].count;
        std::u16string name;
        platform::Cp949ToUtf16(CutCp949(areas[i].szName, sizeof areas[i].szName - 1), name);
        SetSearchText(rows[i].szName, 10, name);
    }
    return rows ? n : 0;
}

int CModuleSCH::GetAroundCateList(uint32_t code, int level, char16_t* parentName, SearchAroundCateRow* rows,
                                  int maxRows) {
    if (level < -1 || level > 1) return -1;
    if (!m_manager) return -1;
    const uint32_t parent = level == -1 ? code / 10000 : level == 0 ? code / 100 : code;
    const int childLevel = NcSearchAroundCate::LevelOfCode(parent) + 1;
    // The around-category engine takes its own lock: no engine lock here,
    // so the map renderer never waits for a running search.
    NcSearchAroundCate& around = m_manager->AroundCategories();
    std::vector<AroundCateRow> list;
    around.ListCategories(childLevel, parent, &list);
    if (parentName) {
        AroundCateRow row;
        std::u16string name;
        if (parent && around.GetAroundRecord(parent, &row)) platform::Cp949ToUtf16(CutCp949(row.szName, 27), name);
        SetSearchText(parentName, kSchCateNameChars, name);
    }
    const int n = std::min(static_cast<int>(list.size()), std::max(maxRows, 0));
    for (int i = 0; i < n && rows; ++i) {
        SearchAroundCateRow& out = rows[i];
        out = {};
        out.nCode = list[static_cast<size_t>(i)].nCode;
        std::u16string name;
        platform::Cp949ToUtf16(CutCp949(list[static_cast<size_t>(i)].szName, 27), name);
        SetSearchText(out.szName, kSchCateNameChars, name);
        out.wValue1 = list[static_cast<size_t>(i)].wValue1;
        out.wValue2 = list[static_cast<size_t>(i)].wValue2;
        out.nValue = list[static_cast<size_t>(i)].nValue;
    }
    return rows ? n : 0;
}

void CModuleSCH::SetRouteSampler(SearchRouteSampler sampler) {
    MgrLock engines(m_engineLock);
    m_routeSampler = std::move(sampler);
}

// ---- theme and interchange look-ups -----------------------------------------

int CModuleSCH::DoThemeSearch(const SearchRequest& request, SearchThemeRow* rows, int maxRows) {
    if (!m_started.load(std::memory_order_acquire)) return kSchNotFound;
    MgrLock engines(m_engineLock);
    if (!GetActiveMemory(kSearchKindTheme)) return kSchNotFound;
    NcSearchThemeCate& themes = m_manager->Themes();
    if (themes.BindThemeJob() < 0) return 0;
    themes.SearchThemeListItems(request);
    const int n = std::min({themes.RowCount(), std::max(maxRows, 0), CMgrConfigModuleSCH::kThemeRowCount});
    MgrLock settings(*m_settings->GetLock());
    for (int i = 0; i < CMgrConfigModuleSCH::kThemeRowCount; ++i) {
        SearchThemeRow row;
        if (i < n) m_manager->FillThemeRow(themes.Row(i), 0, row);
        if (i < n && rows) rows[i] = row;
        EncodeSearchThemeRow(row, m_settings->themeRows[i]);
    }
    m_settings->words[0] = n;
    return n;
}

int CModuleSCH::GetThemeList(uint32_t code, int level, ThemeCateRecord* parent, ThemeCateRecord* rows, int maxRows) {
    if (!m_started.load(std::memory_order_acquire)) return -1;
    MgrLock engines(m_engineLock);
    if (!GetActiveMemory(kSearchKindTheme)) return -1;
    NcSearchThemeCate& themes = m_manager->Themes();
    if (themes.BindThemeJob() < 0) return -1;
    // The level of a code by its size: 1..99 level 1, then two digits a level.
    int codeLevel = 0;
    for (uint64_t c = code; c > 0; c /= 100) ++codeLevel;
    uint32_t listParent = 0;
    int listLevel = 0;
    if (level == 1) {
        listParent = code;
        listLevel = codeLevel + 1;
    } else if (level == 0) {
        listParent = code / 100;
        listLevel = std::max(codeLevel, 1);
    } else if (level == -1) {
        listParent = code / 10000;
        listLevel = codeLevel - 1;
    } else {
        return -1;
    }
    if (parent) {
        *parent = {};
        themes.GetThemeCateRecord(listParent, *parent);
    }
    const int n = themes.ListThemes(listLevel, listParent);
    if (n < 0) return -1;
    const int copied = std::min(n, std::max(maxRows, 0));
    for (int i = 0; i < copied && rows; ++i) rows[i] = themes.ListRow(i);
    return copied;
}

int CModuleSCH::SearchThemeItems(const ThemeCateRecord& row) {
    if (!m_started.load(std::memory_order_acquire)) return -1;
    MgrLock engines(m_engineLock);
    if (!GetActiveMemory(kSearchKindTheme)) return -1;
    NcSearchThemeCate& themes = m_manager->Themes();
    if (themes.BindThemeJob() < 0) return -1;
    themes.SearchThemeByTest(SearchRequest{}, row);
    return themes.RowCount();
}

int CModuleSCH::GetThemeItemInfo(int index, SearchThemeRow* row) {
    if (!m_started.load(std::memory_order_acquire)) return -1;
    MgrLock engines(m_engineLock);
    NcSearchThemeCate& themes = m_manager->Themes();
    if (index < 0 || index >= themes.RowCount()) return -1;
    if (row) m_manager->FillThemeRow(themes.Row(index), static_cast<uint32_t>(index), *row);
    return 1;
}

int CModuleSCH::FindThemeItemInfo(uint32_t key, SearchThemeRow* row) {
    if (!m_started.load(std::memory_order_acquire)) return 0;
    MgrLock engines(m_engineLock);
    NcSearchThemeCate& themes = m_manager->Themes();
    const int64_t r = themes.FindRecordByKey(key);
    ThemeHitRow hit;
    if (r < 0 || !themes.ReadThemeRecord(static_cast<uint32_t>(r), hit.record, &hit.name)) return 0;
    hit.name = std::string(CutCp949(hit.name, kThemeNameBytes - 1));
    hit.recordNumber = static_cast<uint32_t>(r);
    if (row) m_manager->FillThemeRow(hit, 0, *row);
    return 1;
}

int CModuleSCH::GetThemeItemFlags(uint32_t key, ThemeItemFlags* out) {
    if (out) *out = {};
    if (!m_started.load(std::memory_order_acquire)) return -1;
    MgrLock engines(m_engineLock);
    NcSearchThemeCate& themes = m_manager->Themes();
    ThemeRecord record;
    bool found = false;
    for (int i = 0; i < themes.RowCount() && !found; ++i) {
        if (themes.Row(i).record.Key() != key) continue;
        record = themes.Row(i).record;
        found = true;
    }
    if (!found) {
        const int64_t r = themes.FindRecordByKey(key);
        if (r < 0 || !themes.ReadThemeRecord(static_cast<uint32_t>(r), record)) return -1;
    }
    if (out) *out = {record.Key(), record.Mask(), record.Mask2()};
    return record.Mask() != 0 ? 1 : 0;
}

int CModuleSCH::SearchThemeAround(int32_t x, int32_t y, int32_t radius, int32_t kind, int maxRows,
                                  ThemeAroundRow* rows) {
    if (!m_started.load(std::memory_order_acquire) || !m_params.themeFlag || radius < 0) return 0;
    MgrLock engines(m_engineLock);
    NcThemeTiles& tiles = m_manager->Themes().Tiles();
    if (tiles.TileCount() == 0) return 0;
    tiles.SearchThemeTiles(static_cast<uint32_t>(x), static_cast<uint32_t>(y), static_cast<uint32_t>(radius),
                           static_cast<uint32_t>(kind));
    const int n = std::min(tiles.RowCount(), std::max(maxRows, 0));
    for (int i = 0; i < n && rows; ++i) {
        const ThemeTileHit& hit = tiles.Row(i);
        rows[i] = {static_cast<int32_t>(hit.themeKey), static_cast<int32_t>(hit.value), hit.kindFlags};
    }
    return n;
}

int CModuleSCH::GetHighwayList(ICHighway* rows, int maxRows) {
    if (!m_started.load(std::memory_order_acquire)) return 0;
    MgrLock engines(m_engineLock);
    const NcSearchICJC& ic = m_manager->Interchanges();
    const int n = std::min(ic.HighwayCount(), std::max(maxRows, 0));
    for (int i = 0; i < n && rows; ++i) rows[i] = ic.Highway(i);
    return n;
}

int CModuleSCH::GetHighwayICList(ICListRow* rows, int* outCount, int* outHighway, uint32_t x, uint32_t y, int side,
                                 int highway) {
    if (outCount) *outCount = 0;
    if (!m_started.load(std::memory_order_acquire) || !rows) return -1;
    MgrLock engines(m_engineLock);
    return m_manager->Interchanges().ListHighwayICs(rows, outCount, outHighway, x, y, side, highway);
}

int CModuleSCH::SearchICByName(ICRow* rows, int* outCount, uint32_t x, uint32_t y, int side,
                               std::u16string_view keyword, int order) {
    if (outCount) *outCount = 0;
    if (!m_started.load(std::memory_order_acquire) || !rows) return 0;
    MgrLock engines(m_engineLock);
    int n = 0;
    m_manager->Interchanges().SearchICByKeyword(rows, &n, x, y, side, keyword, order);
    if (outCount) *outCount = n;
    return n;
}

int CModuleSCH::GetNearestICLinks(uint32_t x, uint32_t y, int side, uint32_t* links) {
    if (!m_started.load(std::memory_order_acquire) || !links) return 0;
    MgrLock engines(m_engineLock);
    return m_manager->Interchanges().GetNearestICLinks(links, x, y, side);
}
