#pragma once
// The draw module: the front end through which every screen asks for a map
// picture, and its worker thread "MODULEDRAWTHEAD", which holds the map
// renderer and does all drawing. Callers never wait for a frame: they post
// a request, poll GetDrawStatus, and read the finished picture and the view
// that drew it from the publication kept in the drawing settings object.
//
// Draw state (CMgrConfigModuleDraw): 1 thread up, 2 requested, 3 drawing,
// 4 idle, 5 stopping, 6 error or thread ended. A request is taken only in
// state 4, by a compare-and-swap to 2; when its message cannot be posted,
// or the thread finds its body damaged, the state goes back to 4 so later
// requests are not lost. GetDrawStatus -1 means the thread has ended: there
// is no map, not a finished frame.
//
// Every wait is bounded: the start waits at most kStartWaitMs for the thread,
// posts wait kPostTimeoutMs, and a stop joins within its time-out; a thread
// that does not end in time is reported and kept (never killed).
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "foundation/memory_heap.h"
#include "foundation/singleton.h"
#include "foundation/work_thread.h"
#include "render/draw_map.h"

class CMgrConfigModuleDraw;

inline constexpr char16_t kModuleDrawThreadName[] = u"MODULEDRAWTHEAD";

enum DrawThreadMessage : uint32_t {
    kDrawMsgQuit = 0,
    kDrawMsgInit = 3,
    kDrawMsgDraw = 4,
};

enum DrawState : int32_t {
    kDrawStateUp = 1,
    kDrawStateRequested = 2,
    kDrawStateDrawing = 3,
    kDrawStateIdle = 4,
    kDrawStateStopping = 5,
    kDrawStateEnded = 6,
};

// The drawing heap "MODULEDRAWHEAP" (unit 1024, 25 MB) of the renderers,
// the placement caches and the pick list.
class CModuleDrawHeap : public MgrSingletonT<CModuleDrawHeap> {
public:
    CModuleDrawHeap();
    ~CModuleDrawHeap() override;
    MgrSharedBlock* Arena() const { return m_arena; }

private:
    MgrSharedBlock* m_arena = nullptr;
};
// Null when the heap or the space is missing.
void* DrawHeapAlloc(size_t size);
void DrawHeapFree(void* block);

class CModuleDrawThread : public CMgrWorkThread {
public:
    CModuleDrawThread(CMgrConfigModuleDraw* settings, MneDrawInputSource* inputs, MneDrawPublication* publication);
    ~CModuleDrawThread() override;

    const char16_t* GetThreadName() const override { return kModuleDrawThreadName; }
    const MgrQueueInfo* GetQueueInfo() const override { return &kMgrModuleQueueInfo; }
    int InitInstance() override;
    void Run() override;
    int ExitInstance() override;
    // State 5, message 0, then a join bounded by timeoutMs; 1 when ended.
    int StopThread(uint32_t timeoutMs) override;

    // For installing pass handlers before the thread starts.
    CMneDrawMap& Map() { return m_map; }

private:
    // 1 to go on, 0 to end the loop.
    int Handle(uint32_t code, const uint8_t* body, uint32_t length);

    CMgrConfigModuleDraw* m_settings;
    CMneDrawMap m_map;
};

class CModuleDraw : public MgrSingletonT<CModuleDraw> {
public:
    static constexpr uint32_t kStartWaitMs = 10000;
    static constexpr uint32_t kPostTimeoutMs = 1000;
    static constexpr uint32_t kStopWaitMs = 10000;
    static constexpr int32_t kPickGrowth = 128;

    // The process's module: the drawing settings singleton and the
    // settings-backed inputs. Tests and tools pass their own.
    CModuleDraw();
    CModuleDraw(CMgrConfigModuleDraw* settings, MneDrawInputSource* inputs);
    ~CModuleDraw() override;

    // Called on the renderer before the thread starts (the layer passes
    // install their handlers here).
    void SetRendererSetup(std::function<void(CMneDrawMap&)> setup) { m_setup = std::move(setup); }

    int Initialize(const MneDrawInit& init);
    // 1 when the request was queued; 0 when not initialised, not idle, or
    // the post failed (the state is then idle again).
    int RequestDraw(const MneDrawRequest& request);
    // 1 idle (the last frame finished), -1 ended (no map), 0 otherwise.
    int GetDrawStatus() const;
    // The thread's stop result (0 when there is none or it did not end in
    // time); a thread that ended is deleted.
    int StopThread(uint32_t timeoutMs = kStopWaitMs);
    int PollStopped();

    int ScreenToMap(int screen, const ScreenPoint& point, MapPoint* out);
    int PickPOI(int screen, const ScreenPoint& point, int32_t* id);
    int PickMapObject(int screen, const ScreenPoint& point, int32_t* id);
    int CalcAutoZoom(int currentStep, uint32_t lastChangeTick, int* newStep, uint32_t* tickOut);
    // The image description the style gives a POI kind (its symbol class);
    // its bits stay valid until the module is initialised again. A null out
    // with a found image gives 1.
    int GetPOISymbolImage(int kindCode, MneBitmapDesc* out);

    // The last finished picture and its record; 0 before the first frame.
    int CopyPicture(DibImage565* out, MneFrameRecord* record);
    int IsInitialized() const { return m_bInit.load(std::memory_order_acquire); }

protected:
    // Posts to the draw thread; 1 when queued.
    virtual int PostToThread(uint32_t code, const void* body, uint32_t length);

private:
    MneDrawPublication* Publication();
    int PickIn(const MneDrawPublication::Screen& screen, bool theme, const ScreenPoint& point, int32_t* id);

    std::atomic<int> m_bInit{0};
    std::unique_ptr<CModuleDrawThread> m_thread;
    CMgrConfigModuleDraw* m_settings = nullptr;
    MneDrawInputSource* m_inputs = nullptr;
    std::unique_ptr<MneDrawInputSource> m_ownInputs;
    std::function<void(CMneDrawMap&)> m_setup;
    // The pick result list, from the drawing heap; guarded by the settings lock.
    int32_t* m_pickList = nullptr;
    int32_t m_pickCount = 0;
    int32_t m_pickCapacity = 0;
};
