#pragma once
// The program's own window on the window link: opened at start with the
// main window's title, its receive thread copying every good message into
// the main queue (the application manager's pushed states go to their cache
// instead), and the shell the commands act on (the published chapters and
// the main queue). The main window hands what comes from the link to
// HandleLinkMessage.
#include <cstdint>
#include <memory>
#include <string>

#include "shell/window_link.h"

// The window folder of a runtime folder ("<runtime>/navi-windows"); an
// empty runtime folder gives DefaultLinkFolder().
std::string ProgramLinkFolder(const std::string& runtimeFolder);

class ProgramLink {
public:
    ProgramLink();
    ~ProgramLink();
    ProgramLink(const ProgramLink&) = delete;
    ProgramLink& operator=(const ProgramLink&) = delete;

    // Opens the window, starts the receive thread and installs the window
    // and the shell for the commands, the broadcasts and the companion
    // link. 1, or 0 (the program then runs without the link).
    int Start(const std::string& folder, const std::string& title);
    // Stops the thread (joined) and closes the window; the broadcasts go
    // nowhere afterwards.
    void Stop();
    bool IsRunning() const { return m_window.IsOpen(); }
    uint32_t Handle() const { return m_window.Handle(); }
    LinkWindow& Window() { return m_window; }
    uint64_t ReceivedCount() const { return m_receiver.ReceivedCount(); }
    // Datagrams dropped on the way in (bad, or refused by a full mailbox or
    // queue).
    uint64_t RejectedCount() const { return m_receiver.RejectedCount(); }

    // A script's command: "RMSG_PELOX" (code, value) to this program's own
    // window, or, with a block, copy data: "position LON LAT NAME" (the
    // place block of 1024 and 1025), "text TEXT" (a UTF-16 text), "result
    // VALUE TEXT" (the speech result of 74). Waits, at most waitMs, until
    // the receive thread has read it. 1 when it went out and came in.
    int SendOwnCommand(int32_t code, const std::string& args, int waitMs = 2000);

private:
    class Shell;
    LinkWindow m_window;
    LinkReceiver m_receiver;
    std::unique_ptr<Shell> m_shell;
};

// The main window's handling of a message from the link (commands, copy
// data, the application manager's messages, the power wake-up notice).
// True when the message was one of them.
bool HandleLinkMessage(uint32_t message, uint64_t wParam, int64_t lParam);
