#pragma once
// The GPS module: the single front of positioning. It owns the receive
// pipeline (port, receive thread, parser thread, replay thread), starts it
// on its worker "MODULEGPS", and picks up each new fix on the main thread.
// Each picked-up fix is map-matched and watched for tunnels (CGpsPickup).
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "foundation/singleton.h"
#include "foundation/work_thread.h"
#include "positioning/gps_pickup.h"
#include "settings/module_gps.h"

class CGPSFileThread;
class CGPSParserThread;
class CGPSRxThread;
class CGPSPort;
class CModuleGPS;
class CMneSimulator;

// The 12-byte start body: COM port number, baud rate, prediction interval.
struct GpsStartBody {
    int32_t portNumber = 0;
    int32_t baudRate = 0;
    int32_t predictionMs = 0;
};

// Module state values of the block's state word.
enum GpsModuleState : int32_t {
    kGpsStateCreated = 0,
    kGpsStateWaiting = 1,
    kGpsStateStartFailed = 2,
    kGpsStateRunning = 3,
    kGpsStateToggled = 4,
    kGpsStateStopping = 6,
    kGpsStateStopped = 7,
};

// The service area of the map in map units, bounds included.
inline constexpr int32_t kGpsAreaMinX = 65048762;
inline constexpr int32_t kGpsAreaMaxX = 69273954;
inline constexpr int32_t kGpsAreaMinY = 17300000;
inline constexpr int32_t kGpsAreaMaxY = 21271814;
bool IsInGpsServiceArea(int32_t x, int32_t y);
// NMEA form to map units (degrees x 524288 rounded half up).
int32_t GpsNmeaToMapUnits(double nmea);

class CModuleGPSThread : public CMgrWorkThread {
public:
    explicit CModuleGPSThread(CModuleGPS* module) : m_module(module) {}
    ~CModuleGPSThread() override;

    const char16_t* GetThreadName() const override { return u"MODULEGPS"; }
    const MgrQueueInfo* GetQueueInfo() const override { return &kMgrModuleQueueInfo; }
    void Run() override;
    int InitInstance() override;
    int ExitInstance() override;

    // The result of the last start (1, or the failing step's code).
    int GetStartResult() const { return m_startResult.load(std::memory_order_acquire); }

private:
    CModuleGPS* m_module;
    CMgrConfigModuleGPS* m_block = nullptr;
    std::atomic<int> m_startResult{0};
};

// What the module needs of the route simulator: the module's own
// CMneSimulator, or another one a test puts in its place.
class GpsRouteSimulatorSeam {
public:
    virtual ~GpsRouteSimulatorSeam() = default;
    virtual bool LoadRoute() = 0;
    virtual void SetSpeedKmh(int kmh) = 0;
    virtual void GoToStart() = 0;
    virtual void AdvanceStep() = 0;
    virtual void MoveToNextPoint() = 0;
    virtual void MoveToPreviousPoint() = 0;
    // Entry of the route's point table (0..100) and metres beyond it.
    virtual void GoToEntry(int entry, int remainderM) = 0;
    virtual void SetPaused(bool paused) = 0;
    virtual bool IsPaused() const = 0;
    virtual void SetStepTick(uint32_t tickMs) = 0;
    virtual void RestartStepClock() = 0;
    // The simulated position; false when the simulator has none.
    virtual bool GetRecord(tagMAPMATCHINFO* out) = 0;
};

class CModuleGPS : public MgrSingletonT<CModuleGPS> {
public:
    static constexpr uint32_t kStartWaitMs = 10000;
    static constexpr uint32_t kThreadStopMs = 5000;

    // 0 when already initialised or the settings object is missing; 1 when
    // the start message was delivered to "MODULEGPS".
    int Initialize(const GpsStartBody& body);
    int IsStarted() const;
    // Stops everything; 0 when not initialised.
    int Uninitialize();
    int IsPortOpen() const;
    // 2 no new fix, 1 processed, 0 outside the service area.
    int ProcessNewFix();

    int PrepareReplay(const std::string& nativePath);
    int StartReplay();
    int StopReplay();
    int GetReplayState();
    int OpenNmeaLog();
    int CloseNmeaLog();
    int GetNmeaLogName(std::string* out);
    int IsNMEALogging();
    int SendReceiverCommand(int index);
    int HasElapsedSince(uint32_t ms) const;
    // The matcher reseeds its candidates from the new route.
    void NotifyRouteChanged();
    // Resets the matcher's route-following state.
    void ResetRouteMatch();

    // Route simulator commands (main thread). Each stores the simulator's
    // record as the latest match when it gives one; the ones marked "tick"
    // in the .cpp then set the simulator's step tick to now. They drive the
    // module's own simulator unless another is set (null: the own again).
    void SetRouteSimulator(GpsRouteSimulatorSeam* simulator) { m_simulator = simulator; }
    CMneSimulator& RouteSimulator() { return *m_routeSimulator; }
    void StartRouteSimulation(int speedKmh);
    void RequestSkipForward() { m_pendingCommand = 2; }
    void RequestSkipBack() { m_pendingCommand = 1; }
    void RequestJump(int32_t distanceM, int32_t totalM);
    void RequestRestartPaused() { m_pendingCommand = 4; }
    void StepAtSpeed(int speedKmh);
    void SkipForward();
    void SkipBack();
    void JumpTo(int32_t distanceM, int32_t totalM);
    void RestartPaused();
    void StepAndPause();
    void Resume();
    void RewindRouteSimulator();
    // 2 when less than 1000 ms passed since the last pick-up; else runs the
    // pending command and one step, 1.
    int RunPendingCommand();

    // Start steps (module thread); see the .cpp.
    int StartPipeline(const GpsStartBody& body);
    // Native path of "LastGPS.dat": NANDPATH, else the root folder.
    static std::string LastFixPath();

    CGPSRxThread* GetRxThread() { return m_rxThread.get(); }
    CGPSParserThread* GetParserThread() { return m_parserThread.get(); }

    ~CModuleGPS() override;

private:
    friend class MgrSingletonT<CModuleGPS>;
    CModuleGPS();
    void StopPipeline();
    // Copies the simulator's record into the block; tick: and the step tick.
    void StoreSimulatorRecord(bool tick);

    std::unique_ptr<CGPSFileThread> m_fileThread;
    std::unique_ptr<CGPSParserThread> m_parserThread;
    std::unique_ptr<CGPSRxThread> m_rxThread;
    CGPSPort* m_port = nullptr;
    std::unique_ptr<CModuleGPSThread> m_moduleThread;
    CMgrConfigModuleGPS* m_block = nullptr;
    std::atomic<uint32_t> m_lastPickupTick{0};
    std::atomic<uint32_t> m_lastTunnelTick{0};
    std::atomic<int> m_initialised{0};
    std::atomic<int> m_started{0};   // the pipeline runs (set on the module thread)
    std::unique_ptr<CMneSimulator> m_routeSimulator;
    GpsRouteSimulatorSeam* m_simulator = nullptr;
    GpsRouteSimulatorSeam* Simulator();
    // The matcher and the tunnel watch (main thread; bound at the first pick-up).
    std::unique_ptr<CGpsPickup> m_pickup;
    int m_pendingCommand = 0;
    int32_t m_pendingDistance = 0;
    int32_t m_pendingTotal = 1;
};
