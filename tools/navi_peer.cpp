// A peer of the navigation program on the window link: sends it commands,
// registered messages and copy data, and prints every message it receives
// (the status broadcasts, the remote-control broadcasts, the client-window
// messages) as JSON lines. A person can drive the program from a shell with
// it; tests use it the same way.
//
// Usage: navi_peer [--folder DIR] [--to TITLE] [--title NAME] [--client]
//                  [--text-client] [--speech VALUE:TEXT] [--listen-ms MS]
//                  [--stdin] [ACTION ...]
//   --folder DIR      the window folder (default: the runtime folder's)
//   --to TITLE        the program's window title (default "Navi")
//   --title NAME      a title for this peer's own window
//   --client          register as the client window first (command 1007
//                     with this window's handle); 1008 at the end
//   --text-client     the same for the text client (1020 / 1021)
//   --speech V:TEXT   speech-program mode: every "BMSG_RMC_SR" is answered
//                     with command 74 carrying the value and text
//   --listen-ms MS    keep receiving this long after the actions (default
//                     200); -1 until stdin ends (with --stdin) or forever
//   --stdin           read further actions from stdin, one a line
// Actions (each its own argument list; in --stdin mode one per line):
//   command CODE [VALUE]             "RMSG_PELOX" (code, value)
//   copydata CODE VALUE [BLOCK]      WM_COPYDATA (code, dwData VALUE) with
//     BLOCK: text TEXT               a UTF-16 text and its terminator
//            result VALUE TEXT       an i32 and a UTF-16 text (command 74)
//            position LON LAT NAME   two DDDMM.mmmm doubles and a name
//            points F:LON:LAT ...    up to 16 external points (384 bytes)
//            hex HEX                 raw bytes
//   registered NAME [W [L]]          a registered message by name
//   broadcast NAME [W [L]]           the same to every window
//   post MSG [W [L]]                 a plain posted message
//   raw HEX                          a raw datagram to the program (tests)
//   wait MS                          pause
// Output: {"event":"listening","handle":"0000abcd"}, one "sent" or
// "dropped" line per action, one "received" line per message.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/debug_trace.h"
#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "shell/window_link.h"

namespace {

std::mutex g_outMutex;

void Print(const std::string& line) {
    std::lock_guard<std::mutex> lock(g_outMutex);
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string JsonText(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Hex(const std::vector<uint8_t>& bytes, size_t max = 64) {
    std::string out;
    char buf[4];
    for (size_t i = 0; i < bytes.size() && i < max; ++i) {
        std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
        out += buf;
    }
    return out;
}

std::vector<uint8_t> FromHex(const std::string& hex) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<uint8_t>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    }
    return out;
}

std::u16string Utf16(const std::string& utf8) { return platform::Utf8ToUtf16(utf8); }

void PutUtf16z(platform::ByteWriter& w, const std::string& utf8) {
    const std::u16string text = Utf16(utf8);
    for (char16_t c : text) w.U16(c);
    w.U16(0);
}

// A zero-terminated text at the start of a block: UTF-16 when it looks so,
// else ANSI bytes taken as they are.
std::string BlockText(const std::vector<uint8_t>& bytes, size_t offset, bool utf16) {
    std::string out;
    if (utf16) {
        std::u16string text;
        for (size_t i = offset; i + 1 < bytes.size(); i += 2) {
            const char16_t c = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
            if (c == 0) break;
            text += c;
        }
        return platform::Utf16ToUtf8(text);
    }
    for (size_t i = offset; i < bytes.size() && bytes[i]; ++i) out += static_cast<char>(bytes[i]);
    std::u16string text;
    return platform::Cp949ToUtf16(out, text) ? platform::Utf16ToUtf8(text) : out;
}

struct Options {
    std::string folder = DefaultLinkFolder();
    std::string to = "Navi";
    std::string title;
    bool client = false;
    bool textClient = false;
    bool speech = false;
    int32_t speechValue = 0;
    std::string speechText;
    int listenMs = 200;
    bool readStdin = false;
    std::vector<std::vector<std::string>> actions;
};

class Peer {
public:
    explicit Peer(const Options& options) : m_options(options) {}

    bool Open() {
        if (!m_window.Open(m_options.folder, m_options.title)) return false;
        char handle[16];
        std::snprintf(handle, sizeof handle, "%08x", m_window.Handle());
        Print(std::string("{\"event\":\"listening\",\"handle\":\"") + handle + "\"}");
        m_receiver.Start(
            m_window, [this](uint32_t message, uint64_t w, int64_t l) { return OnMessage(message, w, l); });
        return true;
    }

    void Close() {
        m_receiver.Stop();
        m_window.Close();
    }

    uint32_t Target() const { return LinkWindow::FindWindow(m_options.folder, m_options.to); }

    // One action; false for a malformed one.
    bool Run(const std::vector<std::string>& a) {
        if (a.empty()) return true;
        const std::string& verb = a[0];
        auto num = [&](size_t i, long long def) { return i < a.size() ? std::strtoll(a[i].c_str(), nullptr, 0) : def; };
        if (verb == "wait") {
            std::this_thread::sleep_for(std::chrono::milliseconds(num(1, 0)));
            return true;
        }
        if (verb == "command" && a.size() >= 2) {
            return Report(verb, m_window.Post(Target(), RegisterLinkMessage(kRegCommand), num(1, 0), num(2, 0)),
                          "\"code\":" + std::to_string(num(1, 0)) + ",\"value\":" + std::to_string(num(2, 0)));
        }
        if ((verb == "registered" || verb == "broadcast") && a.size() >= 2) {
            const uint32_t message = RegisterLinkMessage(a[1]);
            if (message == 0) return false;
            const int rc = verb == "broadcast" ? (m_window.Broadcast(message, num(2, 0), num(3, 0)) > 0)
                                               : m_window.Post(Target(), message, num(2, 0), num(3, 0));
            return Report(verb, rc, "\"name\":" + JsonText(a[1]));
        }
        if (verb == "post" && a.size() >= 2) {
            return Report(verb, m_window.Post(Target(), static_cast<uint32_t>(num(1, 0)), num(2, 0), num(3, 0)),
                          "\"message\":" + std::to_string(num(1, 0)));
        }
        if (verb == "raw" && a.size() >= 2) {
            return Report(verb, SendRaw(FromHex(a[1])), "\"bytes\":" + std::to_string(a[1].size() / 2));
        }
        if (verb == "copydata" && a.size() >= 3) {
            platform::ByteWriter w;
            if (a.size() >= 4) {
                const std::string& block = a[3];
                if (block == "text" && a.size() >= 5) {
                    PutUtf16z(w, a[4]);
                } else if (block == "result" && a.size() >= 6) {
                    w.I32(static_cast<int32_t>(num(4, 0)));
                    PutUtf16z(w, a[5]);
                } else if (block == "position" && a.size() >= 7) {
                    w.F64(std::strtod(a[4].c_str(), nullptr));
                    w.F64(std::strtod(a[5].c_str(), nullptr));
                    PutUtf16z(w, a[6]);
                } else if (block == "points") {
                    for (size_t i = 4; i < a.size() && i < 20; ++i) {
                        int flag = 0;
                        double lon = 0, lat = 0;
                        if (std::sscanf(a[i].c_str(), "%d:%lf:%lf", &flag, &lon, &lat) != 3) return false;
                        w.I32(flag);
                        w.I32(0);
                        w.F64(lon);
                        w.F64(lat);
                    }
                    w.Zeros(16 * 24 - w.Size());
                } else if (block == "hex" && a.size() >= 5) {
                    const std::vector<uint8_t> bytes = FromHex(a[4]);
                    w.Bytes(bytes.data(), bytes.size());
                } else {
                    return false;
                }
            }
            return Report(verb,
                          m_window.CopyData(Target(), num(1, 0), num(2, 0), w.Data().data(), w.Data().size()),
                          "\"code\":" + std::to_string(num(1, 0)) + ",\"value\":" + std::to_string(num(2, 0)) +
                              ",\"bytes\":" + std::to_string(w.Size()));
        }
        return false;
    }

    uint32_t Handle() const { return m_window.Handle(); }

private:
    bool Report(const std::string& verb, int rc, const std::string& fields) {
        Print(std::string("{\"event\":\"") + (rc ? "sent" : "dropped") + "\",\"action\":\"" + verb + "\"," + fields + "}");
        return true;
    }

    // A datagram as given, from a socket of its own (tests of the reader).
    int SendRaw(const std::vector<uint8_t>& bytes) {
        const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return 0;
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const std::string path = LinkWindow::SocketPath(m_options.folder, Target());
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
        const ssize_t n = ::sendto(fd, bytes.data(), bytes.size(), MSG_DONTWAIT,
                                   reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
        ::close(fd);
        return n == static_cast<ssize_t>(bytes.size());
    }

    bool OnMessage(uint32_t message, uint64_t w, int64_t l) {
        std::string line = "{\"event\":\"received\",";
        if (message == kMsgCopyData) {
            CopyDataBlock block;
            CopyDataMailbox::Instance().Take(l, &block);
            line += "\"kind\":\"copydata\",\"wParam\":" + std::to_string(w) +
                    ",\"dwData\":" + std::to_string(block.dwData) + ",\"bytes\":" + std::to_string(block.bytes.size());
            // The client-window kinds: 100 and 101 carry a path, 103 a text.
            if ((w == 100 || w == 101 || w == 103) && !block.bytes.empty()) {
                line += ",\"text\":" + JsonText(BlockText(block.bytes, 0, false));
            } else if (!block.bytes.empty()) {
                line += ",\"hex\":\"" + Hex(block.bytes) + "\"";
            }
        } else if (IsRegisteredMessageNumber(message)) {
            const std::string name = RegisteredLinkMessageName(message);
            line += "\"kind\":\"registered\",\"name\":" + JsonText(name) + ",\"wParam\":" + std::to_string(w) +
                    ",\"lParam\":" + std::to_string(l);
            if (m_options.speech && name == kRegRmcSr) AnswerSpeech();
        } else {
            line += "\"kind\":\"post\",\"message\":" + std::to_string(message) + ",\"wParam\":" + std::to_string(w) +
                    ",\"lParam\":" + std::to_string(l);
        }
        Print(line + "}");
        return true;
    }

    void AnswerSpeech() {
        platform::ByteWriter w;
        w.I32(m_options.speechValue);
        PutUtf16z(w, m_options.speechText);
        const int rc = m_window.CopyData(Target(), 74, 0, w.Data().data(), w.Size());
        Report("speech-result", rc, "\"value\":" + std::to_string(m_options.speechValue));
    }

    const Options& m_options;
    LinkWindow m_window;
    LinkReceiver m_receiver;
};

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string word;
    while (in >> word) out.push_back(word);
    return out;
}

bool IsVerb(const std::string& s) {
    for (const char* v : {"command", "copydata", "registered", "broadcast", "post", "raw", "wait"}) {
        if (s == v) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    SetDebugTraceLevel(0);
    Options options;
    std::vector<std::string> rest;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "navi_peer: %s needs a value\n", arg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--folder") options.folder = next();
        else if (arg == "--to") options.to = next();
        else if (arg == "--title") options.title = next();
        else if (arg == "--client") options.client = true;
        else if (arg == "--text-client") options.textClient = true;
        else if (arg == "--listen-ms") options.listenMs = std::atoi(next().c_str());
        else if (arg == "--stdin") options.readStdin = true;
        else if (arg == "--speech") {
            const std::string v = next();
            const size_t colon = v.find(':');
            options.speech = true;
            options.speechValue = std::atoi(v.substr(0, colon).c_str());
            options.speechText = colon == std::string::npos ? "" : v.substr(colon + 1);
        } else if (arg.rfind("--", 0) == 0) {
            std::fprintf(stderr, "navi_peer: unknown option %s\n", arg.c_str());
            return 2;
        } else {
            rest.push_back(arg);
        }
    }
    for (const std::string& word : rest) {
        if (IsVerb(word) || options.actions.empty()) options.actions.emplace_back();
        options.actions.back().push_back(word);
    }

    Peer peer(options);
    if (!peer.Open()) {
        std::fprintf(stderr, "navi_peer: cannot open a window in %s\n", options.folder.c_str());
        return 1;
    }
    int rc = 0;
    if (options.client) peer.Run({"command", "1007", std::to_string(peer.Handle())});
    if (options.textClient) peer.Run({"command", "1020", std::to_string(peer.Handle())});
    for (const auto& action : options.actions) {
        if (!peer.Run(action)) {
            std::fprintf(stderr, "navi_peer: bad action %s\n", action.empty() ? "" : action[0].c_str());
            rc = 2;
        }
    }
    if (options.readStdin) {
        std::string line;
        while (std::getline(std::cin, line)) {
            const std::vector<std::string> action = Split(line);
            if (!action.empty() && action[0] == "quit") break;
            if (!peer.Run(action)) std::fprintf(stderr, "navi_peer: bad action %s\n", line.c_str());
        }
    } else if (options.listenMs < 0) {
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    if (options.listenMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(options.listenMs));
    if (options.client) peer.Run({"command", "1008"});
    if (options.textClient) peer.Run({"command", "1021"});
    peer.Close();
    return rc;
}
