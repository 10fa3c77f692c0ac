#pragma once
// The traffic module: its worker thread "MODULETPEG" lays the traffic store
// out from the link tables in the module arena "MODULETPEG_HEAP", replays
// the stored transfers and then runs the receiver link's poll loop until
// shut-down. The screens' queries go through the module, which answers
// with their "not loaded" results until the thread has loaded the tables.
//
// State word of the store (set by the thread): 0 started, 1 ready, 2 tables
// loaded and the link running, 3 the link ended, 4 stop requested, 5 the
// thread has finished.
//
// Every wait is bounded and the thread stops cooperatively: the start waits
// at most kTpegStartWaitMs for the thread, a failed initialisation reports
// its negative start result to the start-up's polling, and Shutdown asks
// the link loop to end (0x2002 goes to a connected receiver) and waits at
// most the given time for the thread.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "foundation/memory_heap.h"
#include "foundation/singleton.h"
#include "foundation/work_thread.h"
#include "traffic/receiver_link.h"
#include "traffic/traffic_engine.h"

inline constexpr char16_t kModuleTPEGThreadName[] = u"MODULETPEG";
inline constexpr uint32_t kTpegStartWaitMs = 10000;
inline constexpr uint32_t kTpegStopWaitMs = 10000;
inline constexpr int kTpegLinkPollMs = 50;

// Start results.
inline constexpr int kTpegStartNoArena = -1;
inline constexpr int kTpegStartNoBlock = -2;
inline constexpr int kTpegStartNoTables = -3;

// What the shell hands the module at start.
struct TrafficModuleSettings {
    std::string dataRoot;               // the data root folder
    std::string peerName = "TPEGD";     // the receiver's name; "TPEGD" when empty
    uint32_t stateLimitMs = kTpegDefaultStateLimitMs;  // 60000 when 0
    std::string runtimeDir;             // where the receiver's socket lies; empty: TpegRuntimeDir()
};

class CModuleTPEG;

class CModuleTPEGThread : public CMgrWorkThread {
public:
    explicit CModuleTPEGThread(CModuleTPEG& module);
    ~CModuleTPEGThread() override;
    const char16_t* GetThreadName() const override { return kModuleTPEGThreadName; }
    const MgrQueueInfo* GetQueueInfo() const override { return &kMgrModuleQueueInfo; }
    int InitInstance() override;
    void Run() override;
    int ExitInstance() override;
    int StopThread(uint32_t timeoutMs) override;

private:
    CModuleTPEG& m_module;
};

class CModuleTPEG : public MgrSingletonT<CModuleTPEG> {
public:
    // The program's module works on the program's store; tests make their own.
    CModuleTPEG();
    CModuleTPEG(CMgrConfigModuleTPEG& store, TrafficServices& services);
    ~CModuleTPEG() override;

    // Starts the thread and asks it to load; 1 when the thread runs and took
    // the request, 0 otherwise (also when already started).
    int Initialize(const TrafficModuleSettings& settings);
    // The negative start result; 1 when loaded and the link runs; else 0.
    int GetInitState() const;
    // 1 when never started; else whether the thread ended within timeoutMs.
    int Shutdown(uint32_t timeoutMs = kTpegStopWaitMs);
    int IsStopped() const;
    int IsLoaded() const { return m_loaded.load(std::memory_order_acquire); }
    // Arena bytes for the service bits: 1341476, or 710096 without fuel prices.
    size_t GetArenaBytes() const;

    TrafficEngine& Engine() { return *m_engine; }
    // The link; only the module thread steps it. Its counters are atomics.
    const CMneTPEGManagerEvent& Link() const { return *m_link; }

    // The screens' queries (each answers "not loaded" before loading).
    int GetReceiveStatus(TPEGReceiveStatus* out) { return IsLoaded() ? m_engine->GetReceiveStatus(out) : 0; }
    int GetStatusText(std::u16string* text) { return IsLoaded() ? m_engine->GetStatusText(text) : 0; }
    int GetCTTSUMInfo(int index, int* size, uint8_t* levels, uint8_t* speeds, int capacity, TPEGSystemTime* time);
    int MakeIncidentList(int typeMask, int sortOrder, int onRouteOnly, int32_t x, int32_t y, int* count);
    int GetIncidentList(int start, TPEGIncidentRow* rows, int* count);
    int GetIncidentInfo(int listIndex, TPEGIncidentInfo* out);
    int MakeNewsList(int categoryMask, int sortOrder, int* count);
    int GetNewsList(int start, TPEGNewsRow* rows, int* count);
    int GetNewsInfo(int listIndex, TPEGNewsInfo* out);
    int GetOilBrandList(int code, int level, char16_t title[28], TPEGOilBrandRow* rows, int* count);
    int SearchOilStation(const TPEGOilStationQuery& query, int* count);
    int GetOilStationList(int start, TPEGOilStationRow* rows, int* count);

private:
    friend class CModuleTPEGThread;
    // On the thread: paths, link, arena, tables. 1, or 0 with the start result set.
    int LoadOnThread();
    // On the thread: replay, then the link's loop until a stop is asked.
    void RunLink();

    CMgrConfigModuleTPEG& m_store;
    std::unique_ptr<TrafficServicesFixture> m_ownServices;
    TrafficServices& m_services;
    std::unique_ptr<TrafficEngine> m_engine;
    std::unique_ptr<CMneTPEGManagerEvent> m_link;
    std::unique_ptr<CModuleTPEGThread> m_thread;
    TrafficModuleSettings m_settings;
    MgrSharedBlock* m_arena = nullptr;
    void* m_block = nullptr;   // the engine's block in the arena
    std::atomic<int> m_startResult{0};
    std::atomic<int> m_loaded{0};
    std::atomic<int> m_started{0};
    std::atomic<int> m_stopLink{0};
};
