#include "support/store_fixture.h"

#include <cstdio>
#include <utility>

#include "foundation/nv_config.h"
#include "platform/paths.h"

namespace testsupport {

StoreFileTest::StoreFileTest(std::string fileName) : m_file(std::move(fileName)) {
    m_errFile = m_file.substr(0, m_file.rfind('.')) + ".err";
    NvFilePath::SetFolders(NvString::FromUtf8(m_dir.File("config")), NvString::FromUtf8(m_dir.Path()));
    TakeSettingsFileErrorCount();
}

StoreFileTest::~StoreFileTest() { NvFilePath::SetFolders(NvString(), NvString()); }

bool StoreFileTest::ErrExists() const { return platform::FileExists(ErrPath()); }

void StoreFileTest::RemoveErr() const { std::remove(ErrPath().c_str()); }

void StoreFileTest::ExpectSetAside(const std::string& bytes) const {
    EXPECT_EQ(ErrBytes(), bytes);
    EXPECT_GE(TakeSettingsFileErrorCount(), 1);
}

void StoreFileTest::ExpectKeptOrSetAside(bool taken, const std::string& bytes) const {
    if (!taken) {
        ExpectSetAside(bytes);
        return;
    }
    EXPECT_FALSE(ErrExists());
    EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
}

void StoreFileTest::ExpectRewrittenOrGone(bool loaded, size_t kept,
                                          const std::function<int()>& freshCount) const {
    if (loaded) {
        EXPECT_EQ(freshCount(), static_cast<int>(kept));
        EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
    } else {
        EXPECT_FALSE(platform::FileExists(FilePath()));
    }
}

size_t FileEdits::Find(const std::string& marker, size_t from) const {
    const size_t at = m_good.find(marker, from);
    if (at == std::string::npos) ADD_FAILURE() << "\"" << marker << "\" not in the file";
    return at;
}

std::string FileEdits::CutAt(const std::string& marker, size_t more) const {
    const size_t at = Find(marker);
    return at == std::string::npos ? m_good : m_good.substr(0, at + more);
}

std::string FileEdits::Cut(const std::string& from, const std::string& to) const {
    const size_t a = Find(from);
    if (a == std::string::npos) return m_good;
    const size_t b = Find(to, a);
    if (b == std::string::npos) return m_good;
    return m_good.substr(0, a) + m_good.substr(b);
}

std::string FileEdits::CutLine(const std::string& key) const {
    const size_t a = Find(key);
    if (a == std::string::npos) return m_good;
    const size_t end = Find("\r\n", a);
    if (end == std::string::npos) return m_good;
    return m_good.substr(0, a) + m_good.substr(end + 2);
}

std::string FileEdits::Replace(const std::string& from, const std::string& to) const {
    std::string s = m_good;
    const size_t at = Find(from);
    if (at != std::string::npos) s.replace(at, from.size(), to);
    return s;
}

}  // namespace testsupport
