#include "positioning/gps_module.h"

#include <cmath>
#include <cstring>

#include "foundation/debug_trace.h"
#include "foundation/geodesy.h"
#include "foundation/nv_string.h"
#include "foundation/system_settings.h"
#include "platform/clock.h"
#include "positioning/gps_fix.h"
#include "positioning/gps_log.h"
#include "positioning/gps_parser.h"
#include "positioning/gps_parser_thread.h"
#include "positioning/gps_port.h"
#include "positioning/route_simulator.h"

namespace {

constexpr uint32_t kStartMessage = 3;
constexpr int kGpsTypeItem = 74;   // "GPSTYPE": the protocol mode

// Goes to the point distance metres along a route of total metres: the
// point-table entry distance x 100 / total and the metres beyond it.
void JumpSimulator(GpsRouteSimulatorSeam& simulator, int32_t distanceM, int32_t totalM) {
    if (totalM <= 0) return;   // a route without length has no point to go to
    const int64_t entry = static_cast<int64_t>(distanceM) * 100 / totalM;
    const int64_t remainder = distanceM - static_cast<int64_t>(totalM) * entry / 100;
    simulator.GoToEntry(static_cast<int>(entry), static_cast<int>(remainder));
}

std::string Utf8(const std::u16string& s) { return NvString(std::u16string_view(s)).ToUtf8(); }

}  // namespace

bool IsInGpsServiceArea(int32_t x, int32_t y) {
    return x >= kGpsAreaMinX && x <= kGpsAreaMaxX && y >= kGpsAreaMinY && y <= kGpsAreaMaxY;
}

int32_t GpsNmeaToMapUnits(double nmea) {
    const double q = nmea / 100.0;
    const double d = std::trunc(q);
    const double degrees = d + (q - d) / 0.6;
    return static_cast<int32_t>(std::floor(degrees * kMapUnitsPerDegree + 0.5));
}

// ---------------------------------------------------------------------------

CModuleGPSThread::~CModuleGPSThread() { StopThread(CModuleGPS::kThreadStopMs); }

int CModuleGPSThread::InitInstance() {
    m_block = CMgrConfigModuleGPS::Instance();
    if (!m_block || !m_module) {
        if (m_block) m_block->SetState(kGpsStateStopped);
        return 0;
    }
    SetQuitFlag(0);
    if (!RegistThread()) return 0;
    m_block->SetState(kGpsStateWaiting);
    return 1;
}

int CModuleGPSThread::ExitInstance() {
    UnregistThread();
    if (m_block) m_block->SetState(kGpsStateStopped);
    return 0;
}

void CModuleGPSThread::Run() {
    uint8_t payload[kMgrModuleMaxPayload];
    while (!GetQuitFlag()) {
        uint32_t sender = 0, code = 0, length = 0;
        if (!GetThreadMessage(&sender, &code, payload, sizeof payload, &length, nullptr, 500)) continue;
        if (code == 0) break;
        switch (m_block->GetState()) {
            case kGpsStateCreated: m_block->SetState(kGpsStateWaiting); break;
            case kGpsStateWaiting:
                if (code == kStartMessage) {
                    GpsStartBody body;
                    if (length >= 12) {
                        std::memcpy(&body.portNumber, payload, 4);
                        std::memcpy(&body.baudRate, payload + 4, 4);
                        std::memcpy(&body.predictionMs, payload + 8, 4);
                    }
                    const int result = m_module->StartPipeline(body);
                    m_startResult.store(result, std::memory_order_release);
                    if (result == 1) {
                        m_block->SetState(kGpsStateRunning);
                    } else {
                        DebugTrace(1, "CModuleGPS start failed: %d\r\n", result);
                        m_block->SetState(kGpsStateStartFailed);
                        return;
                    }
                }
                break;
            case kGpsStateToggled: m_block->SetState(kGpsStateRunning); break;
            case kGpsStateRunning: m_block->SetState(kGpsStateToggled); break;
            case kGpsStateStartFailed: m_block->SetState(kGpsStateStopping); break;
            case kGpsStateStopping: m_block->SetState(kGpsStateStopped); break;
            default: break;
        }
    }
}

// ---------------------------------------------------------------------------

CModuleGPS::CModuleGPS() : m_routeSimulator(std::make_unique<CMneSimulator>()) {}

CModuleGPS::~CModuleGPS() { Uninitialize(); }

std::string CModuleGPS::LastFixPath() {
    char16_t folder[260] = {};
    std::string base;
    if (GetSystemSettingString(SYS_NANDPATH, folder, 260) == 0 && folder[0]) {
        base = Utf8(folder);
    } else if (GetSystemSettingString(SYS_ROOTPATH, folder, 260) == 0 && folder[0]) {
        base = Utf8(folder);
    } else {
        std::u16string parent;
        GetModuleParentFolder(parent);
        base = Utf8(parent);
    }
    return base + "/LastGPS.dat";
}

int CModuleGPS::Initialize(const GpsStartBody& body) {
    if (m_initialised.load(std::memory_order_acquire) || m_moduleThread) return 0;
    m_block = CMgrConfigModuleGPS::Instance();
    if (!m_block) return 0;
    m_block->SetState(kGpsStateCreated);
    m_moduleThread = std::make_unique<CModuleGPSThread>(this);
    if (!m_moduleThread->CreateThread(0, 0, 0)) {
        m_moduleThread.reset();
        return 0;
    }
    const uint64_t until = platform::GetTickCount64() + kStartWaitMs;
    platform::Event step;
    while (m_block->GetState() != kGpsStateWaiting) {
        if (platform::GetTickCount64() > until || !m_moduleThread->IsThreadRunning()) return 0;
        step.Wait(10);
    }
    m_initialised.store(1, std::memory_order_release);
    uint8_t payload[12];
    std::memcpy(payload, &body.portNumber, 4);
    std::memcpy(payload + 4, &body.baudRate, 4);
    std::memcpy(payload + 8, &body.predictionMs, 4);
    return CMgrWorkThread::SendThreadMessage(u"MODULEGPS", kStartMessage, payload, sizeof payload, 1000);
}

int CModuleGPS::StartPipeline(const GpsStartBody& body) {
    CMgrConfigModuleGPS* block = CMgrConfigModuleGPS::Instance();
    if (!block) return -1;
    m_rxThread = std::make_unique<CGPSRxThread>();
    m_parserThread = std::make_unique<CGPSParserThread>();
    m_fileThread = std::make_unique<CGPSFileThread>();
    m_port = CGPSPort::Instance();
    if (!m_port) return -1;
    if (body.predictionMs >= 1 && body.predictionMs <= 2000) SetGpsPredictionFactor(body.predictionMs / 1000.0);
    int protocol = kGpsProtocolNmea;
    GetSystemSettingInt(kGpsTypeItem, &protocol);
    SetGpsProtocolMode(protocol == kGpsProtocolBinary ? kGpsProtocolBinary : kGpsProtocolNmea);
    if (!m_port->Open(body.portNumber, body.baudRate, 8, 0, 1)) return -2;
    const std::string lastFixPath = LastFixPath();
    m_parserThread->SetLastFixPath(lastFixPath);
    if (!m_rxThread->CreateThread(0, 0, 0)) return -4;
    if (!m_parserThread->CreateThread(0, 0, 0)) return -3;
    if (!m_fileThread->CreateThread(0, 0, 0)) return -5;

    m_routeSimulator->Reset();
    tagMAPMATCHINFO match;
    match.x = CMgrConfigModuleGPS::kInitialX;
    match.y = CMgrConfigModuleGPS::kInitialY;
    GpsFixRecord last;
    if (LoadLastGpsFix(lastFixPath, last)) {
        MapPoint p;
        if (NmeaToMapPoint(last.longitudeNmea, last.latitudeNmea, p)) {
            match.x = p.x;
            match.y = p.y;
            match.headingDeg = last.headingDeg;
        }
    }
    block->SetMatchInfo(match);
    m_started.store(1, std::memory_order_release);
    return 1;
}

int CModuleGPS::IsStarted() const {
    return m_initialised.load(std::memory_order_acquire) && m_block && m_block->GetState() == kGpsStateRunning;
}

void CModuleGPS::StopPipeline() {
    if (m_rxThread) m_rxThread->StopThread(kThreadStopMs);
    if (m_parserThread) m_parserThread->StopThread(kThreadStopMs);
    if (m_fileThread) m_fileThread->StopThread(kThreadStopMs);
    if (m_port) m_port->Close();
    // A thread that did not end keeps its object (it may still touch it).
    if (m_rxThread && !m_rxThread->IsThreadRunning()) m_rxThread.reset();
    if (m_parserThread && !m_parserThread->IsThreadRunning()) m_parserThread.reset();
    if (m_fileThread && !m_fileThread->IsThreadRunning()) m_fileThread.reset();
    m_started.store(0, std::memory_order_release);
}

int CModuleGPS::Uninitialize() {
    if (!m_initialised.load(std::memory_order_acquire)) return 0;
    if (m_block) m_block->SetState(kGpsStateStopping);
    // The receive, parser and replay threads and the port first, then the
    // module thread; every wait is bounded.
    StopPipeline();
    if (m_moduleThread) m_moduleThread->StopThread(kThreadStopMs);
    if (m_moduleThread && !m_moduleThread->IsThreadRunning()) m_moduleThread.reset();
    if (m_block) m_block->SetState(kGpsStateStopped);
    m_initialised.store(0, std::memory_order_release);
    return 1;
}

int CModuleGPS::IsPortOpen() const { return m_port && m_port->IsOpen() ? 1 : -2; }

int CModuleGPS::ProcessNewFix() {
    CMgrConfigModuleGPS* block = m_block ? m_block : CMgrConfigModuleGPS::Instance();
    if (!block) return 2;
    const uint32_t now = platform::GetTickCount();
    block->SetConsumeTick(now);
    GpsFixRecord fix;
    if (!block->TakeNewFix(&fix)) return 2;

    m_lastPickupTick.store(now, std::memory_order_release);
    // The matcher and the tunnel watch live on the main thread: they are
    // made and bound with the first pick-up.
    if (!m_pickup) {
        auto pickup = std::make_unique<CGpsPickup>();
        if (!pickup->Init(nullptr, block, nullptr)) return 0;
        m_pickup = std::move(pickup);
    }
    const int result = m_pickup->Process(fix, now, block);
    if (m_pickup->LastTunnelTick()) m_lastTunnelTick.store(m_pickup->LastTunnelTick(), std::memory_order_release);
    return result;
}

void CModuleGPS::NotifyRouteChanged() {
    if (m_initialised.load(std::memory_order_acquire) && m_pickup) m_pickup->Matcher().SetRouteChanged();
}

void CModuleGPS::ResetRouteMatch() {
    if (m_pickup) m_pickup->Matcher().ResetRouteMatch();
}

int CModuleGPS::PrepareReplay(const std::string& nativePath) {
    if (!m_initialised.load(std::memory_order_acquire) || !m_fileThread) return -1;
    if (!m_fileThread->Prepare(nativePath.c_str(), 1000)) return -1;
    return CMgrWorkThread::SendThreadMessage(u"GPSPARSER", kGpsMsgAcceptSerial, nullptr, 0, 1000) ? 1 : -1;
}

int CModuleGPS::StartReplay() {
    if (!m_initialised.load(std::memory_order_acquire) || !m_fileThread) return 0;
    // The parser switches to replay data before the first step posts any:
    // the other order would drop the log's first second.
    CMgrWorkThread::SendThreadMessage(u"GPSPARSER", kGpsMsgAcceptReplay, nullptr, 0, 1000);
    return m_fileThread->Start();
}

int CModuleGPS::StopReplay() {
    if (m_initialised.load(std::memory_order_acquire) && m_fileThread) m_fileThread->Stop();
    return 1;
}

int CModuleGPS::GetReplayState() { return m_fileThread ? m_fileThread->GetState() : 0; }

int CModuleGPS::OpenNmeaLog() {
    return CMgrWorkThread::SendThreadMessage(u"GPSPARSER", kGpsMsgOpenLog, nullptr, 0, 1000);
}

int CModuleGPS::CloseNmeaLog() {
    return CMgrWorkThread::SendThreadMessage(u"GPSPARSER", kGpsMsgCloseLog, nullptr, 0, 1000);
}

int CModuleGPS::GetNmeaLogName(std::string* out) {
    CGPSNMEAStore* store = CGPSNMEAStore::Instance();
    return store ? store->GetFileName(out, 1) : 0;
}

int CModuleGPS::IsNMEALogging() {
    CGPSNMEAStore* store = CGPSNMEAStore::Instance();
    return store ? store->IsLogging(1) : 0;
}

int CModuleGPS::SendReceiverCommand(int index) {
    CGPSPort* port = m_port ? m_port : CGPSPort::Instance();
    return port ? port->SendCommand(index, 1) : 0;
}

int CModuleGPS::HasElapsedSince(uint32_t ms) const {
    return platform::GetTickCount() - m_lastTunnelTick.load(std::memory_order_acquire) > ms ? 1 : 0;
}

GpsRouteSimulatorSeam* CModuleGPS::Simulator() {
    return m_simulator ? m_simulator : m_routeSimulator.get();
}

void CModuleGPS::StoreSimulatorRecord(bool tick) {
    GpsRouteSimulatorSeam* sim = Simulator();
    CMgrConfigModuleGPS* block = m_block ? m_block : CMgrConfigModuleGPS::Instance();
    tagMAPMATCHINFO record;
    if (block && sim->GetRecord(&record)) block->SetMatchInfo(record);
    if (tick) sim->SetStepTick(platform::GetTickCount());
}

void CModuleGPS::StartRouteSimulation(int speedKmh) {
    GpsRouteSimulatorSeam* sim = Simulator();
    sim->LoadRoute();
    sim->SetSpeedKmh(speedKmh);
    sim->GoToStart();
    m_pendingCommand = 0;
    m_pendingDistance = 0;
    m_pendingTotal = 1;
    if (CMgrConfigModuleGPS* block = CMgrConfigModuleGPS::Instance()) block->SetSimulatorSpeedKmh(speedKmh);
    StoreSimulatorRecord(true);
}

void CModuleGPS::RequestJump(int32_t distanceM, int32_t totalM) {
    m_pendingDistance = distanceM;
    m_pendingTotal = totalM;
    m_pendingCommand = 3;
}

void CModuleGPS::StepAtSpeed(int speedKmh) {
    GpsRouteSimulatorSeam* sim = Simulator();
    sim->AdvanceStep();
    sim->SetSpeedKmh(speedKmh);
    if (CMgrConfigModuleGPS* block = CMgrConfigModuleGPS::Instance()) block->SetSimulatorSpeedKmh(speedKmh);
    StoreSimulatorRecord(true);
}

void CModuleGPS::SkipForward() {
    GpsRouteSimulatorSeam* sim = Simulator();
    sim->MoveToNextPoint();
    StoreSimulatorRecord(true);
}

void CModuleGPS::SkipBack() {
    GpsRouteSimulatorSeam* sim = Simulator();
    sim->MoveToPreviousPoint();
    StoreSimulatorRecord(true);
}

void CModuleGPS::JumpTo(int32_t distanceM, int32_t totalM) {
    GpsRouteSimulatorSeam* sim = Simulator();
    JumpSimulator(*sim, distanceM, totalM);
    StoreSimulatorRecord(true);
}

void CModuleGPS::RestartPaused() {
    GpsRouteSimulatorSeam* sim = Simulator();
    sim->GoToStart();
    sim->SetPaused(true);
    StoreSimulatorRecord(false);
}

void CModuleGPS::StepAndPause() {
    GpsRouteSimulatorSeam* sim = Simulator();
    sim->AdvanceStep();
    sim->SetPaused(true);
    StoreSimulatorRecord(false);
}

void CModuleGPS::Resume() {
    GpsRouteSimulatorSeam* sim = Simulator();
    if (!sim->IsPaused()) return;
    sim->RestartStepClock();
    sim->SetPaused(false);
}

void CModuleGPS::RewindRouteSimulator() {
    Simulator()->GoToStart();
}

int CModuleGPS::RunPendingCommand() {
    CMgrConfigModuleGPS* block = m_block ? m_block : CMgrConfigModuleGPS::Instance();
    if (!block) return 2;
    const uint32_t now = platform::GetTickCount();
    if (now - block->GetConsumeTick() < 1000) return 2;
    block->SetConsumeTick(now);
    const int command = m_pendingCommand;
    m_pendingCommand = 0;
    GpsRouteSimulatorSeam* sim = Simulator();
    switch (command) {
        case 1: sim->MoveToPreviousPoint(); break;
        case 2: sim->MoveToNextPoint(); break;
        case 3: JumpSimulator(*sim, m_pendingDistance, m_pendingTotal); break;
        case 4:
            sim->GoToStart();
            sim->SetPaused(true);
            break;
        default: break;
    }
    sim->AdvanceStep();
    StoreSimulatorRecord(true);
    return 1;
}
