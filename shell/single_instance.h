#pragma once
// One program at a time: the first instance holds a lock file in the
// runtime folder for its whole run and listens on a datagram socket beside
// it; a second instance finds the lock taken, asks the first to come to the
// front and ends. The lock goes with the process, however it ends.
#include <string>

// The runtime folder: $XDG_RUNTIME_DIR/navi, else /tmp/navi-<uid>.
std::string DefaultRuntimeFolder();

class SingleInstance {
public:
    enum class Result { kFirst, kSecond, kError };
    ~SingleInstance();
    // Takes the lock in folder (created when missing). kSecond: another
    // instance holds it and was asked to come to the front.
    Result Acquire(const std::string& folder, std::string* error);
    // First instance: true when another start asked it to come to the front
    // since the last call. Never blocks.
    bool TakeRaiseRequest();
    int Descriptor() const { return m_socket; }

private:
    int m_lock = -1;
    int m_socket = -1;
    std::string m_socketPath;
};
