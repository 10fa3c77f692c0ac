// A stand-in for the traffic receiver program: listens on the receiver's
// socket, answers hello and the status request with a scripted status
// block, and after the start command (0x2001) sends the scripted traffic
// messages, built by the shared traffic writers. It can also misbehave on
// purpose (see the script commands) so that the link's handling of a bad
// receiver can be tried.
//
// Usage: traffic_receiver_sim --script FILE [--runtime-dir DIR] [--name TPEGD]
//
// Script: one command per line, '#' starts a comment. Lines belong to the
// section last named: [setup] (default), [hello] (run once hello has been
// acknowledged, before any start) or [start] (run each time 0x2001 arrives).
//   status ONCHANNEL [OPI]        setup: the status block answered to 0x1011
//                                 (OnChannel 4 is channel type 0, 0 is off);
//                                 hello/start: send that status now
//   ack-hello no                  setup: never acknowledge hello
//   answer-status no              setup: never answer the status request
//   status-delay MS               setup: answer the status request late
//   wait MS                       pause
//   ctt LINK:SPEED:LEVEL ...      congestion (code 1); ctt-ext for code 17
//   cttsum KEY:SPEED:LEVEL ...    congestion summary (code 3)
//   rtm TYPE LINK LON LAT TEXT    incident (code 4); LON/LAT in 10^-5 degree
//   nws KIND TITLE | TEXT         news item (code 5)
//   opi STATION:KIND:PRICE ...    fuel prices stamped now (code 6)
//   oversized CODE                a frame of 100 001 payload bytes
//   unknown CODE                  an empty frame of any code
//   stall MS                      stop reading the socket for a while
//   disconnect                    close the connection (keeps listening)
//   exit                          end the program
// Each line sent or received is reported on stdout as one JSON line.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/byte_cursor.h"
#include "platform/clock.h"
#include "tools/writers/traffic_writer.h"
#include "traffic/receiver_link.h"

namespace {

struct Script {
    std::vector<uint8_t> status = std::vector<uint8_t>(16, 0);
    bool ackHello = true;
    bool answerStatus = true;
    int statusDelayMs = 0;
    std::vector<std::string> onHello;
    std::vector<std::string> onStart;
};

std::vector<uint8_t> StatusBlock(int onChannel, int opi) {
    std::vector<uint8_t> block(16, 0);
    block[5] = static_cast<uint8_t>(onChannel);
    block[6] = 1;
    block[7] = static_cast<uint8_t>(opi);
    return block;
}

bool LoadScript(const std::string& path, Script& script, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    std::string section = "[setup]";
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (const size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\t')) line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        line.erase(0, first);
        if (line[0] == '[') {
            if (line != "[setup]" && line != "[hello]" && line != "[start]") {
                error = "line " + std::to_string(number) + ": unknown section " + line;
                return false;
            }
            section = line;
            continue;
        }
        std::istringstream words(line);
        std::string command;
        words >> command;
        if (section == "[setup]") {
            if (command == "status") {
                int onChannel = 0, opi = 0;
                words >> onChannel >> opi;
                script.status = StatusBlock(onChannel, opi);
            } else if (command == "ack-hello") {
                std::string v;
                words >> v;
                script.ackHello = v != "no";
            } else if (command == "answer-status") {
                std::string v;
                words >> v;
                script.answerStatus = v != "no";
            } else if (command == "status-delay") {
                words >> script.statusDelayMs;
            } else {
                error = "line " + std::to_string(number) + ": unknown setup command " + command;
                return false;
            }
        } else {
            (section == "[hello]" ? script.onHello : script.onStart).push_back(line);
        }
    }
    return true;
}

// "A:B:C" into three numbers.
bool Triple(const std::string& word, uint32_t& a, uint32_t& b, uint32_t& c) {
    return std::sscanf(word.c_str(), "%u:%u:%u", &a, &b, &c) == 3;
}

class Simulator {
public:
    Simulator(Script script, std::string path) : m_script(std::move(script)), m_path(std::move(path)) {}

    bool Listen() {
        m_listen = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, m_path.c_str(), sizeof addr.sun_path - 1);
        ::unlink(m_path.c_str());
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(m_listen, 2) != 0) {
            std::perror("traffic_receiver_sim: listen");
            return false;
        }
        std::printf("{\"event\":\"listening\",\"path\":\"%s\"}\n", m_path.c_str());
        std::fflush(stdout);
        return true;
    }

    void Run() {
        while (!m_exit) {
            if (m_conn < 0) {
                m_conn = ::accept(m_listen, nullptr, nullptr);
                if (m_conn < 0) continue;
                Report("connected", 0, 0);
            }
            pollfd p{m_conn, POLLIN, 0};
            if (::poll(&p, 1, 200) != 1) continue;
            uint8_t buf[64];
            const ssize_t n = ::recv(m_conn, buf, sizeof buf, 0);
            if (n <= 0) {
                Report("disconnected", 0, 0);
                ::close(m_conn);
                m_conn = -1;
                continue;
            }
            const uint32_t code = platform::ByteReader(buf, static_cast<size_t>(n)).U32();
            Report("received", code, 0);
            Answer(code);
        }
        if (m_conn >= 0) ::close(m_conn);
        ::close(m_listen);
        ::unlink(m_path.c_str());
    }

private:
    void Report(const char* what, uint32_t code, size_t size) {
        std::printf("{\"event\":\"%s\",\"code\":%u,\"size\":%zu}\n", what, code, size);
        std::fflush(stdout);
    }

    void Send(uint32_t code, const std::vector<uint8_t>& payload) {
        if (m_conn < 0) return;
        const std::vector<uint8_t> frame = BuildTpegFrame(code, payload.data(), payload.size());
        if (::send(m_conn, frame.data(), frame.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(frame.size())) {
            Report("sent", code, payload.size());
        }
    }

    void Answer(uint32_t code) {
        if (code == kTpegCmdHello && m_script.ackHello) {
            Send(kTpegCmdHelloAck, {});
            RunEvents(m_script.onHello);
        } else if (code == kTpegCmdStatusReq && m_script.answerStatus) {
            if (m_script.statusDelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(m_script.statusDelayMs));
            Send(kTpegCmdStatus, m_script.status);
        } else if (code == kTpegCmdStart) {
            RunEvents(m_script.onStart);
        }
    }

    void RunEvents(const std::vector<std::string>& events) {
        for (const std::string& line : events) {
            if (m_exit || m_conn < 0) return;
            RunEvent(line);
        }
    }

    void RunEvent(const std::string& line) {
        std::istringstream words(line);
        std::string command;
        words >> command;
        std::vector<std::string> args;
        for (std::string w; words >> w;) args.push_back(w);
        uint32_t a = 0, b = 0, c = 0;
        if (command == "wait" || command == "stall") {
            const int ms = args.empty() ? 0 : std::stoi(args[0]);
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        } else if (command == "ctt" || command == "ctt-ext" || command == "cttsum") {
            std::vector<writers::CttItem> items;
            for (const std::string& w : args) {
                if (Triple(w, a, b, c)) items.push_back({a, static_cast<uint8_t>(b), static_cast<uint8_t>(c)});
            }
            if (command == "ctt") Send(1, writers::BuildCtt(items));
            else if (command == "ctt-ext") Send(17, writers::BuildCttExt(items));
            else Send(3, writers::BuildCttSum(items));
        } else if (command == "rtm" && args.size() >= 4) {
            const size_t textAt = line.find(args[3], line.find(args[2]) + args[2].size()) + args[3].size();
            std::string text = textAt < line.size() ? line.substr(textAt) : "";
            text.erase(0, text.find_first_not_of(' '));
            writers::IncidentItem item{static_cast<uint8_t>(std::stoul(args[0])), "", text,
                                       static_cast<uint32_t>(std::stoul(args[1])), 0,
                                       static_cast<uint32_t>(std::stoul(args[2])),
                                       static_cast<uint32_t>(std::stoul(args[3]))};
            Send(4, writers::BuildRtm({item}));
        } else if (command == "nws" && !args.empty()) {
            const std::string rest = line.substr(line.find(args[0]) + args[0].size());
            const size_t bar = rest.find('|');
            auto trim = [](std::string s) {
                s.erase(0, s.find_first_not_of(' '));
                while (!s.empty() && s.back() == ' ') s.pop_back();
                return s;
            };
            const std::string title = trim(rest.substr(0, bar));
            const std::string text = bar == std::string::npos ? "" : trim(rest.substr(bar + 1));
            Send(5, writers::BuildNws({writers::News(static_cast<uint8_t>(std::stoul(args[0])), title, text)}));
        } else if (command == "opi") {
            const uint32_t now = static_cast<uint32_t>(platform::LocalToEpochSeconds(platform::GetLocalTime()));
            std::map<uint32_t, writers::PriceItem> stations;
            for (const std::string& w : args) {
                if (!Triple(w, a, b, c)) continue;
                writers::PriceItem& item = stations[a];
                item.stationId = a;
                item.priceTime = now;
                item.prices.push_back({static_cast<uint8_t>(b), static_cast<int16_t>(c)});
            }
            std::vector<writers::PriceItem> items;
            for (auto& [id, item] : stations) items.push_back(item);
            Send(6, writers::BuildOpi(items));
        } else if (command == "status" && !args.empty()) {
            Send(kTpegCmdStatus, StatusBlock(std::stoi(args[0]), args.size() > 1 ? std::stoi(args[1]) : 0));
        } else if (command == "oversized" && !args.empty()) {
            Send(static_cast<uint32_t>(std::stoul(args[0], nullptr, 0)), std::vector<uint8_t>(kTpegMaxMessageBytes + 1));
        } else if (command == "unknown" && !args.empty()) {
            Send(static_cast<uint32_t>(std::stoul(args[0], nullptr, 0)), {});
        } else if (command == "disconnect") {
            ::close(m_conn);
            m_conn = -1;
            Report("disconnected", 0, 0);
        } else if (command == "exit") {
            m_exit = true;
        } else {
            std::fprintf(stderr, "traffic_receiver_sim: skipped \"%s\"\n", line.c_str());
        }
    }

    Script m_script;
    std::string m_path;
    int m_listen = -1;
    int m_conn = -1;
    bool m_exit = false;
};

}  // namespace

int main(int argc, char** argv) {
    std::string scriptPath;
    std::string runtimeDir = TpegRuntimeDir();
    std::string name = "TPEGD";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--script") scriptPath = argv[i + 1];
        else if (option == "--runtime-dir") runtimeDir = argv[i + 1];
        else if (option == "--name") name = argv[i + 1];
    }
    if (scriptPath.empty()) {
        std::fprintf(stderr, "usage: traffic_receiver_sim --script FILE [--runtime-dir DIR] [--name TPEGD]\n");
        return 2;
    }
    Script script;
    std::string error;
    if (!LoadScript(scriptPath, script, error)) {
        std::fprintf(stderr, "traffic_receiver_sim: %s\n", error.c_str());
        return 1;
    }
    const std::string path = TpegSocketPath(runtimeDir, name);
    if (path.empty()) {
        std::fprintf(stderr, "traffic_receiver_sim: no socket path for %s in %s\n", name.c_str(), runtimeDir.c_str());
        return 1;
    }
    std::signal(SIGPIPE, SIG_IGN);
    Simulator sim(std::move(script), path);
    if (!sim.Listen()) return 1;
    sim.Run();
    return 0;
}
