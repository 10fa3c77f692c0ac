#include "traffic/module_tpeg.h"

#include <chrono>
#include <thread>

#include "foundation/debug_trace.h"

namespace {

constexpr uint32_t kMsgQuit = 0;
constexpr uint32_t kMsgInit = 3;
constexpr uint32_t kPostTimeoutMs = 1000;

}  // namespace

// --- The thread ---------------------------------------------------------------

CModuleTPEGThread::CModuleTPEGThread(CModuleTPEG& module) : m_module(module) {}

CModuleTPEGThread::~CModuleTPEGThread() { CMgrWorkThread::StopThread(kTpegStopWaitMs); }

int CModuleTPEGThread::InitInstance() {
    SetQuitFlag(0);
    if (!RegistThread()) {
        m_module.m_store.SetState(CMgrConfigModuleTPEG::kStateThreadFinished);
        return 0;
    }
    m_module.m_store.SetState(CMgrConfigModuleTPEG::kStateThreadReady);
    return 1;
}

void CModuleTPEGThread::Run() {
    CMgrConfigModuleTPEG& store = m_module.m_store;
    uint8_t payload[kMgrModuleMaxPayload];
    while (!GetQuitFlag()) {
        uint32_t sender = 0, code = 0, length = 0;
        if (!GetThreadMessage(&sender, &code, payload, sizeof payload, &length, nullptr, kMgrInfinite)) continue;
        if (code == kMsgQuit) break;
        const int32_t state = store.GetState();
        if (state == CMgrConfigModuleTPEG::kStateThreadStarted) {
            store.SetState(CMgrConfigModuleTPEG::kStateThreadReady);
        } else if (state == CMgrConfigModuleTPEG::kStateThreadReady && code == kMsgInit) {
            if (m_module.LoadOnThread()) {
                store.SetState(CMgrConfigModuleTPEG::kStateLinkRunning);
                m_module.RunLink();
                store.SetState(CMgrConfigModuleTPEG::kStateLinkEnded);
            } else {
                store.SetState(CMgrConfigModuleTPEG::kStateThreadStarted);
            }
        } else if (state == CMgrConfigModuleTPEG::kStateStopRequested) {
            store.SetState(CMgrConfigModuleTPEG::kStateThreadFinished);
        }
    }
}

int CModuleTPEGThread::ExitInstance() {
    m_module.m_store.SetState(CMgrConfigModuleTPEG::kStateThreadFinished);
    UnregistThread();
    DebugTrace(3, "ExitInstance 0x%08x\r\n", static_cast<unsigned>(GetThreadHandle()));
    return 0;
}

int CModuleTPEGThread::StopThread(uint32_t timeoutMs) {
    if (GetThreadHandle() == 0 || IsOwnThread()) return 0;
    m_module.m_stopLink.store(1, std::memory_order_release);
    if (IsThreadRunning()) m_module.m_store.SetState(CMgrConfigModuleTPEG::kStateStopRequested);
    return CMgrWorkThread::StopThread(timeoutMs);
}

// --- The module ---------------------------------------------------------------

CModuleTPEG::CModuleTPEG()
    : m_store(*CMgrConfigModuleTPEG::Instance()),
      m_ownServices(std::make_unique<TrafficServicesFixture>()),
      m_services(*m_ownServices),
      m_engine(std::make_unique<TrafficEngine>(m_store, m_services)) {}

CModuleTPEG::CModuleTPEG(CMgrConfigModuleTPEG& store, TrafficServices& services)
    : m_store(store), m_services(services), m_engine(std::make_unique<TrafficEngine>(store, services)) {}

CModuleTPEG::~CModuleTPEG() {
    Shutdown(kTpegStopWaitMs);
    // The thread is gone or reported; a thread still running keeps the arena.
    if (!m_thread && m_arena) {
        if (m_block) SharedBlockFree(m_block);
        DestroySharedBlock(m_arena);
    }
}

size_t CModuleTPEG::GetArenaBytes() const { return m_engine->ArenaBytes(); }

int CModuleTPEG::Initialize(const TrafficModuleSettings& settings) {
    if (m_started.load(std::memory_order_acquire) || IsLoaded()) return 0;
    m_settings = settings;
    if (m_settings.peerName.empty()) m_settings.peerName = "TPEGD";
    if (m_settings.stateLimitMs == 0) m_settings.stateLimitMs = kTpegDefaultStateLimitMs;
    if (m_settings.runtimeDir.empty()) m_settings.runtimeDir = TpegRuntimeDir();
    m_startResult.store(0, std::memory_order_release);
    m_stopLink.store(0, std::memory_order_release);
    m_store.SetState(CMgrConfigModuleTPEG::kStateThreadStarted);

    m_thread = std::make_unique<CModuleTPEGThread>(*this);
    if (!m_thread->CreateThread(0, 0, 0)) {
        m_thread.reset();
        return 0;
    }
    m_started.store(1, std::memory_order_release);
    // The thread says it is ready (1) or that it could not start (5).
    for (uint32_t waitedMs = 0; m_store.GetState() == CMgrConfigModuleTPEG::kStateThreadStarted; waitedMs += 10) {
        if (waitedMs >= kTpegStartWaitMs || !m_thread->IsThreadRunning()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (m_store.GetState() != CMgrConfigModuleTPEG::kStateThreadReady) {
        Shutdown(kTpegStopWaitMs);
        return 0;
    }
    return CMgrWorkThread::SendThreadMessage(kModuleTPEGThreadName, kMsgInit, nullptr, 0, kPostTimeoutMs) == 1 ? 1 : 0;
}

int CModuleTPEG::LoadOnThread() {
    TrafficPathSettings paths;
    paths.dataRoot = m_settings.dataRoot;
    paths.serviceBits = kTpegDefaultServiceBits;
    paths.stateLimitMs = m_settings.stateLimitMs;
    if (!m_engine->BuildPaths(paths)) {
        // Without its table paths the module cannot load: the start-up sees
        // it as a table failure instead of polling for ever.
        m_startResult.store(kTpegStartNoTables, std::memory_order_release);
        return 0;
    }
    m_link = std::make_unique<CMneTPEGManagerEvent>(*m_engine, m_settings.runtimeDir);
    const size_t size = m_engine->ArenaBytes();
    if (!m_arena) m_arena = CreateSharedBlock(std::string_view("MODULETPEG_HEAP"), 1024, size + 40, 1);
    if (!m_arena) {
        m_startResult.store(kTpegStartNoArena, std::memory_order_release);
        return 0;
    }
    void* block = SharedBlockAlloc(m_arena, size);
    m_block = block;
    if (!block) {
        m_startResult.store(kTpegStartNoBlock, std::memory_order_release);
        return 0;
    }
    const int used = m_engine->LoadTables(block, size);
    if (used <= 0) {
        SharedBlockFree(block);
        m_block = nullptr;
        m_startResult.store(kTpegStartNoTables, std::memory_order_release);
        return 0;
    }
    DebugTrace(1, "**** Module_TPEG(%zu)에서 사용하고 남은 메모리 크기 %zu\n", size, size - static_cast<size_t>(used));
    m_loaded.store(1, std::memory_order_release);
    return 1;
}

void CModuleTPEG::RunLink() {
    m_link->FindDaemonWindow(m_settings.peerName);
    m_engine->ReplayTransfers();
    const auto stopFlag = m_thread->GetStopFlag();
    while (!m_stopLink.load(std::memory_order_acquire) && !stopFlag->load(std::memory_order_acquire)) {
        m_link->Step(kTpegLinkPollMs);
    }
    m_link->Close();
}

int CModuleTPEG::GetInitState() const {
    const int result = m_startResult.load(std::memory_order_acquire);
    if (result < 0) return result;
    return IsLoaded() && m_store.GetState() == CMgrConfigModuleTPEG::kStateLinkRunning ? 1 : 0;
}

int CModuleTPEG::Shutdown(uint32_t timeoutMs) {
    m_started.store(0, std::memory_order_release);
    if (!m_thread) return 1;
    const int rc = m_thread->StopThread(timeoutMs);
    if (!m_thread->IsThreadRunning()) m_thread.reset();
    return rc == 1 || !m_thread ? 1 : 0;
}

int CModuleTPEG::IsStopped() const {
    if (!IsLoaded() || m_store.GetState() == CMgrConfigModuleTPEG::kStateThreadFinished) return 1;
    return -1;
}

int CModuleTPEG::GetCTTSUMInfo(int index, int* size, uint8_t* levels, uint8_t* speeds, int capacity,
                               TPEGSystemTime* time) {
    if (!IsLoaded()) return kTpegNoSummary;
    return m_engine->GetCTTSUMInfo(index, size, levels, speeds, capacity, time);
}

int CModuleTPEG::MakeIncidentList(int typeMask, int sortOrder, int onRouteOnly, int32_t x, int32_t y, int* count) {
    if (!IsLoaded()) {
        if (count) *count = 0;
        return kTpegNoIncident;
    }
    return m_engine->MakeIncidentList(typeMask, sortOrder, onRouteOnly, x, y, count);
}

int CModuleTPEG::GetIncidentList(int start, TPEGIncidentRow* rows, int* count) {
    if (!IsLoaded()) {
        if (count) *count = 0;
        return 0;
    }
    return m_engine->GetIncidentList(start, rows, count);
}

int CModuleTPEG::GetIncidentInfo(int listIndex, TPEGIncidentInfo* out) {
    return IsLoaded() ? m_engine->GetIncidentInfo(listIndex, out) : kTpegNoIncident;
}

int CModuleTPEG::MakeNewsList(int categoryMask, int sortOrder, int* count) {
    if (!IsLoaded()) {
        if (count) *count = 0;
        return kTpegNoNews;
    }
    return m_engine->MakeNewsList(categoryMask, sortOrder, count);
}

int CModuleTPEG::GetNewsList(int start, TPEGNewsRow* rows, int* count) {
    if (!IsLoaded()) {
        if (count) *count = 0;
        return 0;
    }
    return m_engine->GetNewsList(start, rows, count);
}

int CModuleTPEG::GetNewsInfo(int listIndex, TPEGNewsInfo* out) {
    return IsLoaded() ? m_engine->GetNewsInfo(listIndex, out) : kTpegNoNews;
}

int CModuleTPEG::GetOilBrandList(int code, int level, char16_t title[28], TPEGOilBrandRow* rows, int* count) {
    return IsLoaded() ? m_engine->GetOilBrandList(code, level, title, rows, count) : kTpegNoBrandList;
}

int CModuleTPEG::SearchOilStation(const TPEGOilStationQuery& query, int* count) {
    return IsLoaded() ? m_engine->SearchOilStation(query, count) : kTpegStationSearchFailed;
}

int CModuleTPEG::GetOilStationList(int start, TPEGOilStationRow* rows, int* count) {
    if (!IsLoaded()) {
        if (count) *count = 0;
        return 0;
    }
    return m_engine->GetOilStationList(start, rows, count);
}
