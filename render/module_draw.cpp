#include "render/module_draw.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "foundation/debug_trace.h"
#include "platform/clock.h"
#include "settings/module_draw.h"

// ---- Drawing heap ----------------------------------------------------------------------

CModuleDrawHeap::CModuleDrawHeap() { m_arena = CreateSharedBlock(std::string_view("MODULEDRAWHEAP"), 1024, 0x1900000, 0); }

CModuleDrawHeap::~CModuleDrawHeap() {
    if (m_arena) DestroySharedBlock(m_arena);
}

void* DrawHeapAlloc(size_t size) {
    CModuleDrawHeap* heap = CModuleDrawHeap::Instance();
    if (heap == nullptr || heap->Arena() == nullptr) return nullptr;
    return SharedBlockAlloc(heap->Arena(), size);
}

void DrawHeapFree(void* block) {
    if (block) SharedBlockFree(block);
}

// ---- The thread ------------------------------------------------------------------------

namespace {

// The draw module's slot of the settings object's owned objects.
constexpr int kPublicationSlot = 0;

bool SwapState(CMgrConfigModuleDraw* settings, int32_t from, int32_t to) {
    int32_t expected = from;
    return settings->drawState.compare_exchange_strong(expected, to, std::memory_order_acq_rel);
}

}  // namespace

CModuleDrawThread::CModuleDrawThread(CMgrConfigModuleDraw* settings, MneDrawInputSource* inputs,
                                     MneDrawPublication* publication)
    : m_settings(settings), m_map(inputs, publication, settings ? settings->GetLock() : nullptr) {}

CModuleDrawThread::~CModuleDrawThread() { CMgrWorkThread::StopThread(kMgrUnlimitedStopWaitMs); }

int CModuleDrawThread::InitInstance() {
    SetQuitFlag(0);
    if (m_settings == nullptr) return 0;
    if (!RegistThread()) {
        m_settings->SetDrawState(kDrawStateEnded);
        return 0;
    }
    m_settings->SetDrawState(kDrawStateUp);
    DebugTrace(3, "InitInstance 0x%08x\r\n", static_cast<unsigned>(GetThreadId()));
    return 1;
}

void CModuleDrawThread::Run() {
    uint8_t body[kMgrModuleMaxPayload];
    while (!GetQuitFlag()) {
        uint32_t sender = 0, code = 0, length = 0;
        if (!GetThreadMessage(&sender, &code, body, sizeof body, &length, nullptr, kMgrInfinite)) continue;
        if (code == kDrawMsgQuit) break;
        if (!Handle(code, body, length)) break;
    }
}

int CModuleDrawThread::Handle(uint32_t code, const uint8_t* body, uint32_t length) {
    const int32_t state = m_settings->GetDrawState();
    if (state == kDrawStateUp && code == kDrawMsgInit) {
        MneDrawInit init;
        if (!DecodeDrawInit(body, length, &init) || m_map.Initialize(init) != 1) return 0;
        SwapState(m_settings, kDrawStateUp, kDrawStateIdle);
        return 1;
    }
    if (state == kDrawStateRequested && code == kDrawMsgDraw) {
        if (length != kMneDrawRequestBytes) {
            // A damaged request must not leave the module waiting for a
            // frame that never comes.
            DebugTrace(0, "[Error]CModuleDrawThread draw request of %u bytes dropped\n", length);
            SwapState(m_settings, kDrawStateRequested, kDrawStateIdle);
            return 1;
        }
        if (!SwapState(m_settings, kDrawStateRequested, kDrawStateDrawing)) return 1;
        MneDrawRequest request = DecodeDrawRequest(body);
        if (m_map.DrawFrame(request) != 1) return 0;
        SwapState(m_settings, kDrawStateDrawing, kDrawStateIdle);
        return 1;
    }
    return 1;   // anything else is dropped unanswered
}

int CModuleDrawThread::ExitInstance() {
    m_map.ReleaseResources();
    if (m_settings != nullptr) m_settings->SetDrawState(kDrawStateEnded);
    UnregistThread();
    DebugTrace(3, "ExitInstance 0x%08x\r\n", static_cast<unsigned>(GetThreadId()));
    return 0;
}

int CModuleDrawThread::StopThread(uint32_t timeoutMs) {
    if (GetThreadHandle() == 0 || IsOwnThread()) return 0;
    if (m_settings != nullptr && IsThreadRunning()) m_settings->SetDrawState(kDrawStateStopping);
    return CMgrWorkThread::StopThread(timeoutMs);
}

// ---- The module ------------------------------------------------------------------------

CModuleDraw::CModuleDraw() : CModuleDraw(CMgrConfigModuleDraw::Instance(), nullptr) {}

CModuleDraw::CModuleDraw(CMgrConfigModuleDraw* settings, MneDrawInputSource* inputs)
    : m_settings(settings), m_inputs(inputs) {
    if (m_inputs == nullptr) {
        m_ownInputs = std::make_unique<MneSettingsDrawInputs>();
        m_inputs = m_ownInputs.get();
    }
}

CModuleDraw::~CModuleDraw() {
    StopThread(kStopWaitMs);
    if (m_pickList) DrawHeapFree(m_pickList);
}

MneDrawPublication* CModuleDraw::Publication() {
    return static_cast<MneDrawPublication*>(m_settings->drawObjects[kPublicationSlot].Get());
}

int CModuleDraw::PostToThread(uint32_t code, const void* body, uint32_t length) {
    return CMgrWorkThread::SendThreadMessage(kModuleDrawThreadName, code, body, length, kPostTimeoutMs);
}

int CModuleDraw::Initialize(const MneDrawInit& init) {
    if (IsInitialized()) {
        DebugTrace(0, "[Error]CModuleDraw::Initialize -> m_bInit == TRUE\n");
        return 0;
    }
    if (m_settings == nullptr) {
        DebugTrace(0, "[Error]CModuleDraw::Initialize -> CMgrConfigModuleDraw::Instance()\n");
        return 0;
    }
    if (m_thread) {
        // A thread that did not end at an earlier stop must go first.
        if (m_thread->IsThreadRunning()) return 0;
        m_thread.reset();
    }
    std::vector<uint8_t> body;
    const bool encoded = EncodeDrawInit(init, body);
    MneDrawPublication* publication = nullptr;
    {
        MgrLock hold(*m_settings->GetLock());
        if (!m_settings->drawObjects[kPublicationSlot])
            m_settings->drawObjects[kPublicationSlot] = DrawOwnedObject(std::make_unique<MneDrawPublication>());
        publication = Publication();
    }
    m_settings->SetDrawState(0);
    const auto fail = [this](const char* text) {
        DebugTrace(0, "%s", text);
        m_settings->SetDrawState(kDrawStateEnded);
        if (m_thread && m_thread->StopThread(kStopWaitMs) == 1) m_thread.reset();
        return 0;
    };
    m_thread = std::make_unique<CModuleDrawThread>(m_settings, m_inputs, publication);
    if (m_setup) m_setup(m_thread->Map());
    if (!m_thread->CreateThread(0, 0, 0)) {
        return fail("[Error]CModuleDraw::Initialize -> m_pModuleDrawThread->CreateThread()\n");
    }
    for (uint32_t waitedMs = 0; m_settings->GetDrawState() != kDrawStateUp; waitedMs += 10) {
        if (waitedMs >= kStartWaitMs || !m_thread->IsThreadRunning())
            return fail("[Error]CModuleDraw::Initialize -> m_pModuleDrawThread->CreateThread()\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!encoded || !PostToThread(kDrawMsgInit, body.data(), static_cast<uint32_t>(body.size())))
        return fail("[Error]CModuleDraw::Initialize -> CMgrWorkThread::__SendMessage\n");
    m_bInit.store(1, std::memory_order_release);
    return 1;
}

int CModuleDraw::RequestDraw(const MneDrawRequest& request) {
    if (!IsInitialized()) return 0;
    if (!SwapState(m_settings, kDrawStateIdle, kDrawStateRequested)) return 0;
    uint8_t body[kMneDrawRequestBytes];
    EncodeDrawRequest(request, body);
    if (!PostToThread(kDrawMsgDraw, body, sizeof body)) {
        DebugTrace(0, "[Error]CModuleDraw::RequestDraw -> post failed, idle again\n");
        SwapState(m_settings, kDrawStateRequested, kDrawStateIdle);
        return 0;
    }
    return 1;
}

int CModuleDraw::GetDrawStatus() const {
    if (!IsInitialized()) return 0;
    const int32_t state = m_settings->GetDrawState();
    return state == kDrawStateIdle ? 1 : state == kDrawStateEnded ? -1 : 0;
}

int CModuleDraw::StopThread(uint32_t timeoutMs) {
    if (!m_thread) return 0;
    const int rc = m_thread->StopThread(timeoutMs);
    if (!m_thread->IsThreadRunning()) m_thread.reset();
    return rc;
}

int CModuleDraw::PollStopped() {
    if (!IsInitialized()) return 0;
    if (m_settings->GetDrawState() != kDrawStateEnded) return 0;
    m_bInit.store(0, std::memory_order_release);
    return 1;
}

int CModuleDraw::ScreenToMap(int screen, const ScreenPoint& point, MapPoint* out) {
    if (!IsInitialized() || screen < 0 || screen > 1 || out == nullptr) return 0;
    MgrLock hold(*m_settings->GetLock());
    MneDrawPublication* pub = Publication();
    if (pub == nullptr || !pub->screens[screen].drawn || !pub->screens[screen].coords) return 0;
    const MneDrawPublication::Screen& s = pub->screens[screen];
    return s.coords->ScreenToMap(point, *out, s.birdView);
}

namespace {

struct PickCollect {
    int32_t** list;
    int32_t* count;
    int32_t* capacity;
};

int CollectPick(int32_t data, void* context) {
    auto* c = static_cast<PickCollect*>(context);
    if (*c->count >= *c->capacity) {
        const int32_t grown = *c->capacity + CModuleDraw::kPickGrowth;
        auto* list = static_cast<int32_t*>(DrawHeapAlloc(static_cast<size_t>(*c->capacity) * 4 + 512));
        if (list == nullptr) return 0;   // the heap is full: stop the search
        if (*c->list) {
            std::memcpy(list, *c->list, static_cast<size_t>(*c->count) * 4);
            DrawHeapFree(*c->list);
        }
        *c->list = list;
        *c->capacity = grown;
    }
    (*c->list)[(*c->count)++] = data;
    return 1;
}

template <class Cache>
int PickFromCache(const Cache& cache, const ScreenPoint& point, PickCollect& collect, int32_t* id) {
    const ScreenRect r{point.x, point.y, point.x, point.y};
    *collect.count = 0;
    cache.Overlaps(kPlaceSymbolOnly, r, r, 0, CollectPick, &collect);
    if (*collect.count == 0) return 0;
    const int32_t first = (*collect.list)[0];
    for (int32_t i = 0; i < cache.Count(); ++i) {
        if (cache.At(i).recordIndex == first) {
            if (id) *id = cache.At(i).objectId;
            return 1;
        }
    }
    return 0;
}

}  // namespace

int CModuleDraw::PickIn(const MneDrawPublication::Screen& screen, bool theme, const ScreenPoint& point, int32_t* id) {
    PickCollect collect{&m_pickList, &m_pickCount, &m_pickCapacity};
    if (theme) return screen.theme ? PickFromCache(*screen.theme, point, collect, id) : 0;
    return screen.traffic ? PickFromCache(*screen.traffic, point, collect, id) : 0;
}

int CModuleDraw::PickPOI(int screen, const ScreenPoint& point, int32_t* id) {
    if (!IsInitialized() || screen < 0 || screen > 1) return 0;
    MgrLock hold(*m_settings->GetLock());
    MneDrawPublication* pub = Publication();
    return pub ? PickIn(pub->screens[screen], true, point, id) : 0;
}

int CModuleDraw::PickMapObject(int screen, const ScreenPoint& point, int32_t* id) {
    if (!IsInitialized() || screen < 0 || screen > 1) return 0;
    MgrLock hold(*m_settings->GetLock());
    MneDrawPublication* pub = Publication();
    return pub ? PickIn(pub->screens[screen], false, point, id) : 0;
}

int CModuleDraw::CalcAutoZoom(int currentStep, uint32_t lastChangeTick, int* newStep, uint32_t* tickOut) {
    MneDrawInputs in;
    m_inputs->Read(&in);
    const uint32_t now = platform::GetTickCount();
    if (in.guidanceState == 4 || now - lastChangeTick < 3000) return 0;
    if (tickOut) *tickOut = lastChangeTick;
    int target = currentStep;
    if (in.autoZoomBySpeed) {
        if (in.fixValid) {
            const int v = in.speedKmh;
            if (v <= 60) {
                target = in.autoZoomBySpeedSteps[0];
            } else if (v >= 66 && v <= 80) {
                target = in.autoZoomBySpeedSteps[1];
            } else if (v >= 86 && v <= 100) {
                target = in.autoZoomBySpeedSteps[2];
            } else if (v > 100) {
                target = in.autoZoomBySpeedSteps[3];
            }
        }
    } else {
        const int d = in.distanceToPointM;
        target = d < 1000   ? in.autoZoomByDistanceSteps[0]
                 : d < 3000 ? in.autoZoomByDistanceSteps[1]
                 : d < 5000 ? in.autoZoomByDistanceSteps[2]
                            : in.autoZoomByDistanceSteps[3];
    }
    if (target == currentStep) return 0;
    int step = currentStep + (target > currentStep ? 1 : -1);
    step = std::clamp(step, 1, 14);
    if (step == currentStep) return 0;
    if (newStep) *newStep = step;
    if (tickOut) *tickOut = now;
    return 1;
}

int CModuleDraw::GetPOISymbolImage(int kindCode, MneBitmapDesc* out) {
    if (!IsInitialized()) return 0;
    MgrLock hold(*m_settings->GetLock());
    MneDrawPublication* pub = Publication();
    if (pub == nullptr) return 0;
    for (const MneDrawPublication::PoiSymbolImage& entry : pub->poiSymbols) {
        if (entry.kindCode != kindCode) continue;
        if (out) *out = entry.image;
        return 1;
    }
    return 0;
}

int CModuleDraw::CopyPicture(DibImage565* out, MneFrameRecord* record) {
    if (m_settings == nullptr) return 0;
    MgrLock hold(*m_settings->GetLock());
    MneDrawPublication* pub = Publication();
    if (pub == nullptr || pub->frameCount == 0) return 0;
    if (out) *out = pub->picture;
    if (record) *record = pub->lastRecord;
    return 1;
}
