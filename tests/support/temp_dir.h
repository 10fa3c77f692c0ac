#pragma once
// A fresh folder for one test, removed with everything in it afterwards.
#include <string>

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    // Path of a file or folder inside (native, '/' separated).
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    // Writes bytes to a file inside, creating folders on the way.
    void Write(const std::string& name, const std::string& bytes) const;
    std::string Read(const std::string& name) const;

private:
    std::string m_path;
};

}  // namespace testsupport
