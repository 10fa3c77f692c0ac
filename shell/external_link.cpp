#include "shell/external_link.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "foundation/debug_trace.h"
#include "platform/byte_cursor.h"
#include "platform/clock.h"
#include "settings/course_current.h"
#include "settings/global_data.h"
#include "settings/handover.h"
#include "settings/module_gps.h"
#include "shell/companion_link.h"
#include "shell/speech_link.h"
#include "shell/window_link.h"

// ---------------------------------------------------------------------------
// The shell behind the link

void ExternalShell::PostMainMessage(uint32_t message, uint64_t wParam, int64_t) {
    DebugTrace(1, "[LINK] no main window for message %u (%llu)\n", message, static_cast<unsigned long long>(wParam));
}
void ExternalShell::SetDuckEnabled(int on) { DebugTrace(3, "[LINK] duck step %d\n", on); }
void ExternalShell::SetSoftwareMute(int on) { DebugTrace(3, "[LINK] software mute %d\n", on); }
void ExternalShell::MarkRouteInfoPending() { DebugTrace(3, "[LINK] route information pending\n"); }
void ExternalShell::UseAsLastPosition(int32_t x, int32_t y) {
    DebugTrace(3, "[LINK] last position %d %d\n", x, y);
}

namespace {
ExternalShell g_nullShell;
ExternalShell* g_shell = nullptr;
LinkWindow* g_linkWindow = nullptr;
bool g_homeOfficeBlocked = false;
}  // namespace

void SetExternalShell(ExternalShell* shell) { g_shell = shell; }
ExternalShell& GetExternalShell() { return g_shell ? *g_shell : g_nullShell; }
void SetExternalLinkWindow(LinkWindow* window) { g_linkWindow = window; }
LinkWindow* GetExternalLinkWindow() { return g_linkWindow; }
bool AreHomeOfficeKeysBlocked() { return g_homeOfficeBlocked; }
void SetHomeOfficeKeysBlocked(bool blocked) { g_homeOfficeBlocked = blocked; }

bool IsChapterRemoteMessage(uint32_t message) {
    if (!IsRegisteredMessageNumber(message)) return false;
    for (const char* name : {kRegRmcSel, kRegRmcUp, kRegRmcDown, kRegRmcSr, kRegRmcZoomIn, kRegRmcZoomOut,
                             kRegRmcMapView, kRegRmcMapMove, kRegRmcHome, kRegRmcOffice, kRegRmcCurPos, kRegRmcInfo,
                             kRegRmcRegPos, kRegRmcGuideEnd, kRegRmcMenu}) {
        if (RegisterLinkMessage(name) == message) return true;
    }
    return false;
}

bool IsRemoteMessageBlocked(uint32_t message) {
    return g_homeOfficeBlocked &&
           (message == RegisterLinkMessage(kRegRmcHome) || message == RegisterLinkMessage(kRegRmcOffice));
}

void BroadcastStatus(int32_t code, int32_t value) {
    if (code == 6 && value >= CMgrConfigGlobalData::Instance().m_routeMessageFilter) return;
    DebugTrace(3, "[SHELL] status %d %d\n", code, value);
    if (!g_linkWindow) return;
    g_linkWindow->Broadcast(RegisterLinkMessage(kRegStatus), static_cast<uint64_t>(static_cast<int64_t>(code)), value);
}

void BroadcastRegistered(const char* name, uint64_t wParam) {
    if (!g_linkWindow) return;
    g_linkWindow->Broadcast(RegisterLinkMessage(name), wParam, 0);
}

// ---------------------------------------------------------------------------
// Blocks

int DegreeMinuteToMapUnits(double value, double maxDegrees, int32_t* units) {
    if (!std::isfinite(value)) return 0;
    const double degrees = std::trunc(value / 100.0);
    const double minutes = std::fabs(value - degrees * 100.0);
    if (minutes >= 60.0 || std::fabs(degrees) + minutes / 60.0 > maxDegrees) return 0;
    int32_t out = 0;
    if (!DegreeMinutesToMapUnits(value, out)) return 0;
    *units = out;
    return 1;
}

// A UTF-16 text from the cursor up to its terminator, at most maxChars
// characters; false when no terminator comes within the block or in time.
static bool ReadTerminatedText(platform::ByteReader& r, size_t maxChars, std::u16string* out) {
    out->clear();
    while (r.Has(2)) {
        const char16_t c = static_cast<char16_t>(r.U16());
        if (c == 0) return true;
        if (out->size() == maxChars) return false;
        out->push_back(c);
    }
    return false;
}

int ReadPositionBlock(const uint8_t* bytes, size_t size, PositionBlock* out) {
    if (!bytes || size < 18) return 0;
    platform::ByteReader r(bytes, size);
    const double x = r.F64();
    const double y = r.F64();
    PositionBlock block;
    if (!DegreeMinuteToMapUnits(x, 180.0, &block.x) || !DegreeMinuteToMapUnits(y, 90.0, &block.y)) return 0;
    if (!ReadTerminatedText(r, 64, &block.name)) return 0;
    *out = std::move(block);
    return 1;
}

int CheckRoutePointsBlock(const uint8_t* bytes, size_t size) {
    if (!bytes || size != kRoutePointsBlockBytes) return 0;
    platform::ByteReader r(bytes, size);
    for (int i = 0; i < 16; ++i) {
        const int32_t flag = r.I32();
        r.Skip(4);
        const double lon = r.F64();
        const double lat = r.F64();
        if (flag != 0 && flag != 1) return 0;
        int32_t units = 0;
        if (flag == 1 && (!DegreeMinuteToMapUnits(lon, 180.0, &units) || !DegreeMinuteToMapUnits(lat, 90.0, &units))) {
            return 0;
        }
    }
    return r.Ok() ? 1 : 0;
}

int ReadSpeechResultBlock(const uint8_t* bytes, size_t size, SpeechResultBlock* out) {
    if (!bytes || size < 6) return 0;
    platform::ByteReader r(bytes, size);
    SpeechResultBlock block;
    block.value = r.I32();
    if (!ReadTerminatedText(r, kSpeechTextMaxChars, &block.text)) return 0;
    *out = std::move(block);
    return 1;
}

// ---------------------------------------------------------------------------
// Client windows

ExternalLink& ExternalLink::Instance() {
    static ExternalLink link;
    return link;
}

void ExternalLink::Reset() { *this = ExternalLink(); }

int ExternalLink::SendToClient(uint32_t client, int kind, int64_t dwData, const std::vector<uint8_t>& block) {
    if (!g_linkWindow || client == 0) return 0;
    return g_linkWindow->CopyData(client, static_cast<uint64_t>(kind), dwData, block.data(), block.size());
}

static std::vector<uint8_t> ImagePath(const std::string& uiFolder, char letter, int32_t id) {
    std::vector<uint8_t> block(ExternalLink::kImagePathBytes, 0);
    std::snprintf(reinterpret_cast<char*>(block.data()), block.size(), "%s\\NIP\\%c%03d.bmp", uiFolder.c_str(), letter,
                  id);
    return block;
}

int ExternalLink::SendTurnImage(int32_t turnId, int32_t value) {
    if (m_clientWindow == 0) return 0;
    if (turnId == m_lastTurnId && value == m_lastTurnValue) return 0;
    m_lastTurnId = turnId;
    m_lastTurnValue = value;
    if (turnId == -1) return SendToClient(m_clientWindow, kKindTurnImage, 0, {});
    return SendToClient(m_clientWindow, kKindTurnImage, value, ImagePath(m_uiFolder, 'T', turnId));
}

int ExternalLink::SendSpeedMark(int32_t markId, int32_t value) {
    if (m_clientWindow == 0) return 0;
    if (markId == m_lastSpeedMarkId && value == m_lastSpeedMarkValue) return 0;
    m_lastSpeedMarkId = markId;
    m_lastSpeedMarkValue = value;
    if (markId == -1) return SendToClient(m_clientWindow, kKindSpeedMark, 0, {});
    return SendToClient(m_clientWindow, kKindSpeedMark, value, ImagePath(m_uiFolder, 'S', markId));
}

int ExternalLink::SendValue(int32_t value) {
    if (m_clientWindow == 0 || value == m_lastValue) return 0;
    m_lastValue = value;
    return SendToClient(m_clientWindow, kKindValue, value, {});
}

int ExternalLink::SendGpsText() {
    if (m_textClientWindow == 0) return 0;
    CMgrConfigModuleGPS& gps = *CMgrConfigModuleGPS::Instance();
    if (!gps.GetRelayFlag()) return 0;
    const uint32_t now = platform::GetTickCount();
    if (m_textSent && now - m_lastTextTick < kTextPeriodMs) return 0;
    char text[kTextMaxBytes] = {};
    const int length = gps.GetRelayText(text, sizeof text);
    if (length <= 0) return 0;
    m_textSent = true;
    m_lastTextTick = now;
    RemoteControlHandler::Instance().m_lastTextTick = now;
    const std::vector<uint8_t> block(text, text + length + 1);
    return SendToClient(m_textClientWindow, kKindText, 0, block);
}

// ---------------------------------------------------------------------------
// Remote control

RemoteControlHandler& RemoteControlHandler::Instance() {
    static RemoteControlHandler handler;
    return handler;
}

void RemoteControlHandler::Reset() { *this = RemoteControlHandler(); }

static const char* RemoteMessageName(int action) {
    switch (action) {
    case 1: return kRegRmcZoomOut;
    case 2: return kRegRmcZoomIn;
    case 3: return kRegRmcCurPos;
    case 4: return kRegRmcHome;
    case 5: return kRegRmcOffice;
    case 6: return kRegRmcRegPos;
    case 7: return kRegRmcGuideEnd;
    case 8: return kRegRmcMapView;
    case 9: return kRegRmcInfo;
    case 10: return kRegRmcMapMove;
    case 13: return kRegRmcMenu;
    case 14: return kRegRmcReroute;
    default: return nullptr;  // 11 and 12 have no message
    }
}

void RemoteControlHandler::Do(int chapter, int action, int32_t value) {
    if (!m_enabled) return;
    ExternalShell& shell = GetExternalShell();
    if (action == 0) {
        if (value == 0) {
            if (chapter == 4 || chapter == 31 || chapter == 32) PostChapterEventLink(22);
            else if (chapter != 16) PostChapterEventLink(148);
        } else if (value == 1) {
            if (chapter == 18) {
                m_routeProgressRequest = 2;
            } else if (chapter == 21) {
                shell.MarkRouteInfoPending();
                PostChapterEventLink(148);
                PostChapterEventLink(30);
            } else if (chapter != 31) {
                CMgrConfigUIInfoCourseCurrent& course = *CMgrConfigUIInfoCourseCurrent::Instance();
                if (shell.IsGuidanceActive()) {
                    if (course.IsBackupUsed(2)) {
                        if (course.IsSameAsBackup(2)) course.ClearBackup(2);
                        else course.RestoreBackup(2);
                    }
                } else {
                    _tagUISTRUCT_COURSEPOS start;
                    if (course.GetStartPoint(&start)) {
                        shell.UseAsLastPosition(start.PosInfo.wcPosition.x, start.PosInfo.wcPosition.y);
                    }
                    course.ClearBackup(2);
                }
                PostChapterEventLink(148);
                PostChapterEventLink(30);
            }
        } else if (value == 2) {
            if (chapter == 18) {
                m_routeProgressRequest = 3;
            } else if (chapter != 4 && chapter != 32) {
                if (chapter == 21) shell.MarkRouteInfoPending();
                PostChapterEventLink(148);
                PostChapterEventLink(31);
            }
        }
        BroadcastStatus(18, value);
        return;
    }
    if (action >= 1 && action <= 14) {
        if (action == 3 && chapter == 18) {
            m_routeProgressRequest = 1;
            return;
        }
        const char* name = RemoteMessageName(action);
        if (name) BroadcastRegistered(name, action == 10 ? static_cast<uint64_t>(static_cast<int64_t>(value)) : 0);
        return;
    }
    if (action == 15 || action == 16) {
        if (chapter != 16 && chapter != 31 && chapter != 33) return;
        if (action == 15) {
            static const int32_t kPairs[15][2] = {{151, 10}, {152, 11}, {361, 12}, {61, 13}, {155, 14},
                                                  {153, 15}, {243, 16}, {211, 17}, {212, 18}, {31, 19},
                                                  {32, 20},  {39, 21},  {66, 22},  {64, 23},  {0, 24}};
            if (value >= 0 && value < 15) {
                m_categoryCode = kPairs[value][0];
                m_categoryIndex = kPairs[value][1];
            }
            CompanionLink::Instance().ResizeAndPostEvent(chapter, 36);
        } else {
            CompanionLink::Instance().ResizeAndPostEvent(chapter, 35);
        }
    }
}

int RemoteControlHandler::TurnClass(int32_t code) {
    static const int kClass1[] = {12, 13, 14, 15, 35, 45, 47, 49, 53, 65, 67, 69, 73, 74, 100, 103, 108, 110, 113, 118,
                                  150, 152, 155};
    static const int kClass2[] = {17, 18, 19, 20, 23, 24, 36, 46, 48, 50, 51, 52, 54, 66, 68, 70, 71, 72, 101, 104,
                                  109, 111, 114, 119, 151, 153};
    for (int c : kClass1) {
        if (c == code) return 1;
    }
    for (int c : kClass2) {
        if (c == code) return 2;
    }
    return 0;
}

void RemoteControlHandler::ReportTurn(int32_t turnCode, int32_t distanceM) {
    if (!CMgrConfigGlobalData::Instance().m_ledControl) return;
    const int cls = turnCode >= 0 && distanceM >= 0 && distanceM <= 300 ? TurnClass(turnCode) : 0;
    if (cls != 0) {
        if (m_turnReported == 0 || m_turnReportedCode != turnCode) {
            m_turnReported = cls;
            m_turnReportedCode = turnCode;
            BroadcastStatus(20, cls);
        }
    } else if (m_turnReported != 0) {
        m_turnReported = 0;
        m_turnReportedCode = -1;
        BroadcastStatus(21, 0);
    }
}

void RemoteControlHandler::ReportCamera(int32_t type) {
    if (!CMgrConfigGlobalData::Instance().m_ledControl) return;
    const bool reportable = type >= 1 && type <= 10 && type != 3 && type != 6 && type != 9;
    if (reportable) {
        if (m_cameraReported != type) {
            m_cameraReported = type;
            BroadcastStatus(22, type);
        }
    } else if (m_cameraReported != 0) {
        m_cameraReported = 0;
        BroadcastStatus(23, 0);
    }
}

// ---------------------------------------------------------------------------
// Commands

void ExternalCommandDispatcher(uint32_t message, uint64_t wParam, int64_t lParam) {
    const int32_t code = static_cast<int32_t>(wParam);
    if (message == kMsgCopyData) {
        CopyDataBlock block;
        if (!CopyDataMailbox::Instance().Take(lParam, &block)) {
            DebugTrace(1, "[LINK] command %d: its copy data is gone\n", code);
            return;
        }
        DispatchExternalCommand(code, block.dwData, block.bytes.data(), block.bytes.size(), true);
    } else if (message == RegisterLinkMessage(kRegCommand)) {
        DispatchExternalCommand(code, lParam, nullptr, 0, false);
    }
}

static void DropBlock(int32_t code, size_t size) {
    DebugTrace(1, "[LINK] command %d: block of %zu bytes dropped\n", code, size);
}

void DispatchExternalCommand(int32_t code, int64_t value64, const uint8_t* block, size_t size, bool copyData) {
    ExternalShell& shell = GetExternalShell();
    const int chapter = shell.HasChapterManager() ? shell.CurrentChapterId() : 0;
    const int32_t value = static_cast<int32_t>(value64);
    static uint32_t s_count = 0;
    ++s_count;
    if (CMgrConfigGlobalData::Instance().m_debugView) DebugTrace(0, "Remocon Msg : %d,%u\n", code, s_count);
    RemoteControlHandler& remote = RemoteControlHandler::Instance();
    switch (code) {
    case 1000: remote.Do(chapter, 0, value); break;
    case 1001: remote.Do(chapter, 1, value); break;
    case 1002: remote.Do(chapter, 2, value); break;
    case 1003: remote.Do(chapter, 3, value); break;
    case 1004: remote.Do(chapter, 4, value); break;
    case 1005: remote.Do(chapter, 5, value); break;
    case 1007: ExternalLink::Instance().SetClientWindow(static_cast<uint32_t>(value)); break;
    case 1008: ExternalLink::Instance().SetClientWindow(0); break;
    case 1009: remote.Do(chapter, 6, value); break;
    case 1010: remote.Do(chapter, 7, value); break;
    case 1011: shell.SetSoftwareMute(value); break;
    case 1012: remote.Do(chapter, 8, value); break;
    case 1013: remote.Do(chapter, 9, value); break;
    case 1014: remote.Do(chapter, 10, value); break;
    // 0 only leaves the prompts un-ducked; they still play.
    case 1015: shell.SetDuckEnabled(value ? 1 : 0); break;
    case 1016: CompanionLink::Instance().RequestExit(platform::GetTickCount()); break;
    case 1017: CMgrConfigGlobalData::Instance().m_function = value; break;
    case 1018: SetHomeOfficeKeysBlocked(true); break;
    case 1019: SetHomeOfficeKeysBlocked(false); break;
    case 1020:
        CMgrConfigModuleGPS::Instance()->SetRelayFlag(1);
        ExternalLink::Instance().SetTextClientWindow(static_cast<uint32_t>(value));
        break;
    case 1021:
        CMgrConfigModuleGPS::Instance()->SetRelayFlag(0);
        ExternalLink::Instance().SetTextClientWindow(0);
        break;
    case 1022: remote.Do(chapter, 14, value); break;
    case 1023:
        if (!CheckRoutePointsBlock(block, size)) {
            DropBlock(code, size);
            break;
        }
        CMgrConfigUIInfo::Instance()->SetExternalPositionsFromBytes(block, size);
        break;
    case 1024:
    case 1025: {
        if (!shell.HasChapterManager()) break;
        PositionBlock place;
        if (!ReadPositionBlock(block, size, &place)) {
            DropBlock(code, size);
            break;
        }
        if (code == 1024) {
            CMgrConfigUIInfo::Instance()->m_CoursePos = MakeCoursePos(place.x, place.y, place.name, 13, 1);
        } else {
            CMgrConfigUIInfoCourseCurrent& course = *CMgrConfigUIInfoCourseCurrent::Instance();
            course.Reset();
            course.m_eRouteType = 2;
            course.SetDestination(MakeCoursePos(place.x, place.y, place.name, 1));
        }
        PostChapterEventLink(chapter == 32 ? 22 : 148);
        PostChapterEventLink(code == 1024 ? 13 : 12);
        break;
    }
    case 1100: remote.Do(chapter, 15, value); break;
    case 1101: remote.Do(chapter, 16, value); break;
    default:
        if (copyData) SpeechRecogLink::Instance().StoreResult(code, value64, block, size);
        break;
    }
}
