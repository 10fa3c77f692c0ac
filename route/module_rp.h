#pragma once
// The route-planning module the screens and the start-up code talk to, and
// its worker thread "MODULERP". The screens call ModuleRP on the main
// thread: it checks a request, posts it and returns at once; the thread
// plans with the parameter store and leaves the state word and the results
// in the route-planner settings, which the screens poll.
//
// State word (MgrConfigModuleRP): 0 created, 1 thread up, 0x4000 ready, 16
// plan running, 32 re-plan running, 0x1000 last run succeeded, 0x2000 last
// run (or the initialisation) failed, 256 stop asked, 512 thread ended. A
// plan is accepted while one of the bits 0xF000 is set; after a failed
// initialisation plans answer -1.
#include <atomic>
#include <cstdint>
#include <memory>

#include "foundation/singleton.h"
#include "foundation/work_thread.h"
#include "route/module_rp_param.h"

class MgrConfigModuleRP;

inline constexpr char16_t kModuleRPThreadName[] = u"MODULERP";

enum RouteModuleState : int32_t {
    kRpStateCreated = 0,
    kRpStateThreadUp = 1,
    kRpStatePlanning = 16,
    kRpStateReplanning = 32,
    kRpStateStopAsked = 256,
    kRpStateEnded = 512,
    kRpStateDone = 0x1000,
    kRpStateFailed = 0x2000,
    kRpStateReady = 0x4000,
};

// Messages of the route thread.
enum RouteThreadMessage : uint32_t {
    kRpMsgQuit = 0,
    kRpMsgInit = 3,
    kRpMsgPlan = 4,
    kRpMsgReplan = 5,
};

class ModuleRPThread : public CMgrWorkThread {
public:
    ModuleRPThread(MgrConfigModuleRP* settings, ModuleRPParam* param, std::atomic<int>* initFailed);
    ~ModuleRPThread() override;

    const char16_t* GetThreadName() const override { return kModuleRPThreadName; }
    const MgrQueueInfo* GetQueueInfo() const override { return &kMgrModuleQueueInfo; }
    int InitInstance() override;
    void Run() override;
    int ExitInstance() override;
    // State 256, message 0, then a bounded wait for the thread.
    int StopThread(uint32_t timeoutMs) override;

private:
    void Handle(uint32_t code, const uint8_t* payload, uint32_t length);
    void RunPlan(uint32_t code, const uint8_t* payload, uint32_t length);

    MgrConfigModuleRP* m_settings;
    ModuleRPParam* m_param;
    std::atomic<int>* m_initFailed;
};

class ModuleRP : public MgrSingletonT<ModuleRP> {
public:
    // How long start-up waits for the thread to come up.
    static constexpr uint32_t kStartWaitMs = 10000;

    ModuleRP();
    ~ModuleRP() override;

    // Starts the thread and asks it to initialise; 1, -300 when the message
    // could not be posted, -1 on any other failure (also when started).
    int StartModule(const ModuleRPSettingsBlock* settings);
    // Stops the thread (bounded wait); 1 when it ended.
    int StopModule(uint32_t timeoutMs);
    int IsStarted() const { return m_started.load(std::memory_order_acquire); }
    // 1 when started and ready (state exactly 0x4000).
    int IsMemoryReady() const;

    // 1 queued; 0, -100, -400, -300, -1 (initialisation failed) or a
    // distance-check code.
    int PlanRoute(const RouteRequest& request, int fullRange);
    int DoReRoute(const RouteRequest& request, int replanType);
    // 0 not started, -701 running, 1 done, -700 failed (-626 stored as the
    // last error for a state that is neither).
    int GetRouteStatus() const;
    int GetRouteLinkCount() const;
    // Milliseconds since the re-plan stamp, -1 when never stamped; a
    // non-zero flag stamps now.
    int GetElapsedTicks(int restamp);
    // Frees every stored result (and the road memory when the settings
    // say so); -701 while a run is in progress.
    int BFreeAllRouteResults();
    // Hands result slot 0..3 to guidance: its link count; -701 while a run
    // is in progress, -1 for a slot that holds no result.
    int SelectAADSlot(int slot);

    // Link sets; every change is refused with -701 while a run is in
    // progress (the search reads the sets).
    int RestoreAllLinkSets();
    int ClearAllLinkSets();
    int ResetAllLinkSets();
    int AddDetourLinks(int n, const int32_t* ids);
    int AddAvoidLinks(int n, const int32_t* ids);
    int ClearDetourLinks();

    // Distance to the nearest road within radiusM (1 when 0); -830 none,
    // -1 without the map.
    int IsExistAdjacentRoad(const MapPoint& point, int32_t radiusM) const;
    // The goal-road classification of the nearest road (100 m, then
    // 1000 m): 1 or a -51x/-52x code; -1 without a road or map.
    int CheckGoalRoad(const MapPoint& point) const;
    int SetSearchCancel(int flag);

private:
    bool IsRunning() const;
    int Post(uint32_t code, const RouteRequest& request);
    int Submit(const RouteRequest& request, int32_t runState, uint32_t code, bool replan);

    std::atomic<int> m_started{0};
    std::atomic<int> m_initFailed{0};
    std::atomic<int> m_stamped{0};
    std::unique_ptr<ModuleRPThread> m_thread;
    MgrConfigModuleRP* m_settings = nullptr;
};
