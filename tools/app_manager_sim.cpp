// A stand-in for the application manager of the car PC on the window link:
// takes the title "APPMGR", prints every call the navigation program makes
// of it as a JSON line, answers the exit request as its script says, pushes
// its picture-in-picture, window-transition and DMB-ready states and sends
// the manager's messages 4001-4005, 4010 and 4011 when the script says.
//
// Usage: app_manager_sim --script FILE [--folder DIR] [--to TITLE]
//   --folder DIR   the window folder (default: the runtime folder's)
//   --to TITLE     the program's window when no start response named it
//                  (default "NAVI", the companion-mode title)
// Script: one command per line, '#' starts a comment, run in order:
//   exit-answer RESULT [confirm]   how later exit requests are answered:
//                                  the result (5 or -1 end the program at
//                                  once; anything else asks it to wait),
//                                  with "confirm" followed by message 4003;
//                                  "exit-answer none" never answers
//   wait-call NAME                 wait until the program made that call
//                                  (Init, StartAppRsp, EndAppReq, EndAppRsp,
//                                  EndAppPrepRsp, ShowAppRsp, ShowAppPrepRsp,
//                                  SetWndSize, AppVolumeCtrl, SetReadyForDMB,
//                                  ShowTbtReq, ShowSpeedMarkReq); after
//                                  30 s without it the script ends
//   state pip|transition|dmb 0|1   push a state
//   send MSG [W [L]]               post a manager message to the program
//   wait MS                        pause
//   exit                           end (also at the end of the script, after
//                                  --linger-ms, default 500)
// Output: {"event":"listening",...}, {"event":"call","name":...,"wParam":..,
// "lParam":..}, {"event":"sent","message":...}.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/debug_trace.h"
#include "shell/companion_link.h"
#include "shell/window_link.h"

namespace {

std::mutex g_mutex;
std::condition_variable g_cv;
std::map<std::string, int> g_calls;  // guarded by g_mutex
uint32_t g_program = 0;              // guarded by g_mutex
bool g_answer = false;               // guarded by g_mutex
int64_t g_answerResult = 0;          // guarded by g_mutex
bool g_confirm = false;              // guarded by g_mutex

void Print(const std::string& line) {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

const char* CallName(uint32_t message) {
    switch (message) {
    case kAppCallInit: return "Init";
    case kAppCallStartAppRsp: return "StartAppRsp";
    case kAppCallEndAppReq: return "EndAppReq";
    case kAppCallEndAppRsp: return "EndAppRsp";
    case kAppCallEndAppPrepRsp: return "EndAppPrepRsp";
    case kAppCallShowAppRsp: return "ShowAppRsp";
    case kAppCallShowAppPrepRsp: return "ShowAppPrepRsp";
    case kAppCallSetWndSize: return "SetWndSize";
    case kAppCallVolumeCtrl: return "AppVolumeCtrl";
    case kAppCallSetReadyForDmb: return "SetReadyForDMB";
    case kAppCallShowTbt: return "ShowTbtReq";
    case kAppCallShowSpeedMark: return "ShowSpeedMarkReq";
    default: return nullptr;
    }
}

}  // namespace

int main(int argc, char** argv) {
    SetDebugTraceLevel(0);
    std::string script, folder = DefaultLinkFolder(), to = "NAVI";
    int lingerMs = 500;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--script") script = argv[i + 1];
        else if (arg == "--folder") folder = argv[i + 1];
        else if (arg == "--to") to = argv[i + 1];
        else if (arg == "--linger-ms") lingerMs = std::atoi(argv[i + 1]);
        else {
            std::fprintf(stderr, "app_manager_sim: unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    std::ifstream in(script);
    if (!in) {
        std::fprintf(stderr, "app_manager_sim: cannot read the script %s\n", script.c_str());
        return 2;
    }
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    // The answers the script sets up before anything else hold from the
    // start: a request that comes right after "listening" is answered.
    size_t first = 0;
    for (; first < lines.size(); ++first) {
        std::istringstream words(lines[first].substr(0, lines[first].find('#')));
        std::string verb, result, confirm;
        if (!(words >> verb)) continue;
        if (verb != "exit-answer") break;
        words >> result >> confirm;
        g_answer = result != "none";
        g_answerResult = std::strtoll(result.c_str(), nullptr, 0);
        g_confirm = confirm == "confirm";
    }
    LinkWindow window;
    if (!window.Open(folder, kAppManagerTitle)) {
        std::fprintf(stderr, "app_manager_sim: cannot open a window in %s\n", folder.c_str());
        return 1;
    }
    auto program = [&]() {
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            if (g_program) return g_program;
        }
        return LinkWindow::FindWindow(folder, to);
    };
    auto send = [&](uint32_t message, uint64_t w, int64_t l) {
        const int rc = window.Post(program(), message, w, l);
        Print(std::string("{\"event\":\"") + (rc ? "sent" : "dropped") + "\",\"message\":" + std::to_string(message) +
              ",\"wParam\":" + std::to_string(w) + ",\"lParam\":" + std::to_string(l) + "}");
    };
    char handle[16];
    std::snprintf(handle, sizeof handle, "%08x", window.Handle());
    Print(std::string("{\"event\":\"listening\",\"handle\":\"") + handle + "\"}");

    LinkReceiver receiver;
    receiver.Start(window, [&](uint32_t message, uint64_t w, int64_t l) {
        const char* name = CallName(message);
        Print(std::string("{\"event\":\"call\",\"name\":\"") + (name ? name : "unknown") +
              "\",\"message\":" + std::to_string(message) + ",\"wParam\":" + std::to_string(w) +
              ",\"lParam\":" + std::to_string(l) + "}");
        bool answer = false, confirm = false;
        int64_t result = 0;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            if (name) ++g_calls[name];
            if (message == kAppCallStartAppRsp) g_program = static_cast<uint32_t>(w);
            if (message == kAppCallEndAppReq) {
                answer = g_answer;
                result = g_answerResult;
                confirm = g_confirm;
            }
        }
        g_cv.notify_all();
        if (answer) send(kAppMsgEndAnswer, static_cast<uint64_t>(result), 0);
        if (confirm) send(kAppMsgEndApp, 0, 0);
        return true;
    });

    for (size_t index = first; index < lines.size(); ++index) {
        std::string line = lines[index];
        const int lineNo = static_cast<int>(index) + 1;
        const size_t hash = line.find('#');
        if (hash != std::string::npos) line.resize(hash);
        std::istringstream words(line);
        std::string verb;
        if (!(words >> verb)) continue;
        if (verb == "exit") break;
        if (verb == "wait") {
            int ms = 0;
            words >> ms;
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        } else if (verb == "exit-answer") {
            std::string result, confirm;
            words >> result >> confirm;
            std::lock_guard<std::mutex> lock(g_mutex);
            g_answer = result != "none";
            g_answerResult = std::strtoll(result.c_str(), nullptr, 0);
            g_confirm = confirm == "confirm";
        } else if (verb == "wait-call") {
            std::string name;
            words >> name;
            std::unique_lock<std::mutex> lock(g_mutex);
            if (!g_cv.wait_for(lock, std::chrono::seconds(30), [&] { return g_calls[name] > 0; })) {
                lock.unlock();
                Print("{\"event\":\"timeout\",\"waiting-for\":\"" + name + "\"}");
                break;
            }
            --g_calls[name];
        } else if (verb == "state") {
            std::string which;
            int value = 0;
            words >> which >> value;
            const uint64_t code = which == "pip" ? kAppStatePip
                                  : which == "transition" ? kAppStateTransition
                                  : which == "dmb" ? kAppStateDmbReady : 0;
            if (code == 0) {
                std::fprintf(stderr, "app_manager_sim: line %d: unknown state %s\n", lineNo, which.c_str());
                continue;
            }
            send(kAppMsgCachedState, code, value);
        } else if (verb == "send") {
            uint32_t message = 0;
            long long w = 0, l = 0;
            words >> message >> w >> l;
            send(message, static_cast<uint64_t>(w), l);
        } else {
            std::fprintf(stderr, "app_manager_sim: line %d: unknown command %s\n", lineNo, verb.c_str());
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(lingerMs));
    receiver.Stop();
    window.Close();
    Print("{\"event\":\"exit\"}");
    return 0;
}
