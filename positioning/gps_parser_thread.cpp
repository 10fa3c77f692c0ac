#include "positioning/gps_parser_thread.h"

#include <cstring>

#include "foundation/debug_trace.h"
#include "platform/clock.h"
#include "platform/thread_util.h"
#include "positioning/gps_log.h"
#include "settings/module_gps.h"

CGPSParserThread::CGPSParserThread() = default;

CGPSParserThread::~CGPSParserThread() { StopThread(kMgrUnlimitedStopWaitMs); }

int CGPSParserThread::InitInstance() {
    m_logBuffer.assign(kLogBufferBytes, 0);
    m_logFill = 0;
    m_lastWriteOutTick = 0;
    m_store = CGPSNMEAStore::Instance();
    m_block = CMgrConfigModuleGPS::Instance();
    m_parser.SetRelayTarget(m_block);
    DebugTrace(3, "CGPSParserThread InitInstance(0x%08x, 0x%08x)\r\n", platform::CurrentThreadId(),
               platform::GetTickCount());
    if (!m_store || !m_block) return 0;
    SetQuitFlag(0);
    return RegistThread();
}

int CGPSParserThread::ExitInstance() {
    UnregistThread();
    m_logBuffer.clear();
    m_logBuffer.shrink_to_fit();
    DebugTrace(3, "CGPSParserThread ExitInstance(0x%08x)\r\n", platform::CurrentThreadId());
    return 0;
}

int CGPSParserThread::StopThread(uint32_t timeoutMs) {
    // The base posts message 0 (which closes the log) and waits.
    return CMgrWorkThread::StopThread(timeoutMs);
}

bool CGPSParserThread::WriteOutBuffer() {
    if (m_logFill == 0) return true;
    int closeRequest = 0;
    const int ok = m_store->Write(m_logBuffer.data(), m_logFill, &closeRequest);
    m_logFill = 0;
    m_lastWriteOutTick = platform::GetTickCount();
    if (closeRequest || !ok) {
        StopRecording();
        return false;
    }
    return true;
}

void CGPSParserThread::StopRecording() {
    // After a failed write or at the sentence limit the log is closed, so no
    // half-written log stays open.
    m_logFill = 0;
    m_store->Close();
}

void CGPSParserThread::CloseLog() {
    if (m_store->IsLogging(1)) WriteOutBuffer();   // what is buffered belongs in the log
    m_logFill = 0;
    m_store->Close();
}

void CGPSParserThread::RecordSerial(const uint8_t* data, uint32_t length) {
    if (!m_store->IsLogging(0)) return;
    // A NMEA message carries its NUL: the log holds the sentence and '\n'.
    if (GetGpsProtocolMode() == kGpsProtocolNmea && length > 0 && data[length - 1] == 0) --length;
    int closeRequest = 0;
    if (GetGpsProtocolMode() == kGpsProtocolBinary || m_logBuffer.empty() || length >= m_logBuffer.size()) {
        if (!WriteOutBuffer()) return;
        if (!m_store->Write(data, length, &closeRequest) || closeRequest) StopRecording();
        return;
    }
    if (m_logFill + length > m_logBuffer.size() && !WriteOutBuffer()) return;
    std::memcpy(m_logBuffer.data() + m_logFill, data, length);
    m_logFill += length;
    if (platform::GetTickCount() - m_lastWriteOutTick > kLogWriteOutMs) WriteOutBuffer();
}

void CGPSParserThread::HandleData(uint32_t code, const uint8_t* data, uint32_t length) {
    if (code == kGpsMsgSerial) RecordSerial(data, length);
    if (code != m_accepted) return;
    int result;
    bool complete;
    if (GetGpsProtocolMode() == kGpsProtocolBinary) {
        result = m_parser.ParseBinary(data, length);
        complete = result == kGpsParseBinFix;
    } else {
        size_t textLength = length;
        while (textLength > 0 && data[textLength - 1] == 0) --textLength;
        result = m_parser.ParseNmea(std::string_view(reinterpret_cast<const char*>(data), textLength));
        complete = result == kGpsParseRmc;
    }
    if (!complete) return;
    GpsFixRecord fix;
    m_parser.TakeFix(&fix);
    bool save = false;
    const GpsFixRecord published = m_publisher.Prepare(fix, &save);
    if (save) {
        if (!m_lastFixPath.empty()) SaveLastGpsFix(m_lastFixPath, published);
        m_publisher.OnSaved();
    }
    m_block->PublishFix(published);
    if (m_observer) m_observer(published);
    m_published.fetch_add(1, std::memory_order_acq_rel);
}

void CGPSParserThread::Run() {
    std::vector<uint8_t> payload(kMgrModuleMaxPayload + 1);
    while (!GetQuitFlag()) {
        uint32_t sender = 0, code = 0, length = 0;
        if (!GetThreadMessage(&sender, &code, payload.data(), kMgrModuleMaxPayload, &length, nullptr,
                              kWaitSliceMs)) {
            continue;
        }
        switch (code) {
            case kGpsMsgStop:
                CloseLog();
                SetQuitFlag(1);
                break;
            case kGpsMsgSerial:
            case kGpsMsgReplay: HandleData(code, payload.data(), length); break;
            case kGpsMsgOpenLog:
                CloseLog();
                m_store->Open();
                m_lastWriteOutTick = platform::GetTickCount();
                break;
            case kGpsMsgCloseLog: CloseLog(); break;
            case kGpsMsgAcceptReplay:
                m_accepted = kGpsMsgReplay;
                m_parser.Reset();
                break;
            case kGpsMsgAcceptSerial:
                m_accepted = kGpsMsgSerial;
                m_parser.Reset();
                break;
            default: break;
        }
    }
    CloseLog();
}
