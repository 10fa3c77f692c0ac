#include "shell/program_link.h"

#include <chrono>
#include <sstream>
#include <thread>

#include "foundation/debug_trace.h"
#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "shell/companion_link.h"
#include "shell/external_link.h"
#include "shell/main_queue.h"
#include "shell/main_window.h"

std::string ProgramLinkFolder(const std::string& runtimeFolder) {
    return runtimeFolder.empty() ? DefaultLinkFolder() : runtimeFolder + "/" + kLinkFolderName;
}

class ProgramLink::Shell : public ExternalShell {
public:
    bool HasChapterManager() override { return PublishedChapters() != nullptr; }
    int CurrentChapterId() override {
        ShellChapters* chapters = PublishedChapters();
        return chapters ? chapters->CurrentChapterId() : 0;
    }
    void PostMainMessage(uint32_t message, uint64_t wParam, int64_t lParam) override {
        MainQueue::Instance().Post({message, wParam, lParam});
    }
};

ProgramLink::ProgramLink() : m_shell(std::make_unique<Shell>()) {}

ProgramLink::~ProgramLink() { Stop(); }

int ProgramLink::Start(const std::string& folder, const std::string& title) {
    SetExternalShell(m_shell.get());
    if (!m_window.Open(folder, title)) return 0;
    const int started = m_receiver.Start(
        m_window,
        [](uint32_t message, uint64_t wParam, int64_t lParam) {
            return MainQueue::Instance().Post({message, wParam, lParam});
        },
        [](const LinkMessage& message) { return AppManagerStateCache::Instance().Filter(message); });
    if (!started) {
        m_window.Close();
        return 0;
    }
    SetExternalLinkWindow(&m_window);
    DebugTrace(1, "[LINK] window %08x \"%s\" in %s\n", m_window.Handle(), title.c_str(), folder.c_str());
    return 1;
}

void ProgramLink::Stop() {
    m_receiver.Stop();
    if (GetExternalLinkWindow() == &m_window) SetExternalLinkWindow(nullptr);
    m_window.Close();
}

int ProgramLink::SendOwnCommand(int32_t code, const std::string& args, int waitMs) {
    if (!m_window.IsOpen()) return 0;
    std::istringstream in(args);
    std::string first;
    in >> first;
    const uint64_t before = m_receiver.ReceivedCount();
    int sent = 0;
    auto utf16z = [](platform::ByteWriter& w, const std::string& utf8) {
        for (char16_t c : platform::Utf8ToUtf16(utf8)) w.U16(c);
        w.U16(0);
    };
    auto rest = [&in]() {
        std::string text;
        std::getline(in >> std::ws, text);
        return text;
    };
    if (first == "position" || first == "text" || first == "result") {
        platform::ByteWriter w;
        if (first == "position") {
            double lon = 0, lat = 0;
            in >> lon >> lat;
            w.F64(lon);
            w.F64(lat);
            utf16z(w, rest());
        } else if (first == "result") {
            int32_t value = 0;
            in >> value;
            w.I32(value);
            utf16z(w, rest());
        } else {
            utf16z(w, rest());
        }
        sent = m_window.CopyData(m_window.Handle(), static_cast<uint64_t>(code), 0, w.Data().data(), w.Size());
    } else {
        const int64_t value = first.empty() ? 0 : std::strtoll(first.c_str(), nullptr, 0);
        sent = m_window.Post(m_window.Handle(), RegisterLinkMessage(kRegCommand), static_cast<uint64_t>(code), value);
    }
    if (!sent) return 0;
    // The receive thread reads it soon; the wait is bounded.
    for (int waited = 0; m_receiver.ReceivedCount() == before; ++waited) {
        if (waited >= waitMs) return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return 1;
}

bool HandleLinkMessage(uint32_t message, uint64_t wParam, int64_t lParam) {
    if (message == kMsgCopyData || message == RegisterLinkMessage(kRegCommand)) {
        ExternalCommandDispatcher(message, wParam, lParam);
        return true;
    }
    switch (message) {
        case kAppMsgState:
        case kAppMsgStateAlt:
        case kAppMsgEndApp:
        case kAppMsgNothing:
        case kAppMsgShowApp:
        case kAppMsgEndPrep:
        case kAppMsgShowPrep:
        case kAppMsgEndAnswer: CompanionLink::Instance().OnCompanionMessage(message, wParam, lParam); return true;
        default: break;
    }
    if (message == RegisterLinkMessage(kRegPowerWakeup)) {
        // The wake-up handling of the volume control is not built yet.
        DebugTrace(1, "[LINK] power wake-up %llu\n", static_cast<unsigned long long>(wParam));
        return true;
    }
    return false;
}
