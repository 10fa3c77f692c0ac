#pragma once
// Fixture pieces for the settings stores that keep a file in the config
// folder: a temp folder wired into NvFilePath, the store's file and its
// set-aside ".err" copy, and damaged copies of a well-formed file.
#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <string>
#include <utility>

#include "support/temp_dir.h"

namespace testsupport {

// A fixture whose config folder is "config" inside a fresh temp folder and
// whose root is the temp folder itself; the folders are cleared again
// afterwards. `fileName` is the store's file in the config folder, e.g.
// "RegCourse.udt"; a damaged one is set aside under the same stem with
// ".err". The settings-file error count starts at zero.
class StoreFileTest : public ::testing::Test {
protected:
    explicit StoreFileTest(std::string fileName);
    ~StoreFileTest() override;

    std::string FilePath() const { return m_dir.File(ConfigName(m_file)); }
    std::string FileBytes() const { return m_dir.Read(ConfigName(m_file)); }
    void WriteFile(const std::string& bytes) const { m_dir.Write(ConfigName(m_file), bytes); }
    std::string ErrPath() const { return m_dir.File(ConfigName(m_errFile)); }
    std::string ErrBytes() const { return m_dir.Read(ConfigName(m_errFile)); }
    bool ErrExists() const;
    void RemoveErr() const;

    // A damaged file was set aside whole under the ".err" name and counted
    // as a settings-file error.
    void ExpectSetAside(const std::string& bytes) const;
    // A file the store took (`taken`) stays where it is, with no ".err"
    // copy and no settings-file error; one it refused was set aside.
    void ExpectKeptOrSetAside(bool taken, const std::string& bytes) const;
    // What follows a damaged file: a store that took it (`loaded`) wrote it
    // again complete, so a fresh store takes it without complaint and holds
    // `kept` records (`freshCount` makes one and counts them); a store that
    // refused it left nothing in its place.
    void ExpectRewrittenOrGone(bool loaded, size_t kept, const std::function<int()>& freshCount) const;

    TempDir m_dir;

private:
    static std::string ConfigName(const std::string& name) { return "config/" + name; }

    std::string m_file;
    std::string m_errFile;
};

// The first `count` records of two stores are equal, each read with
// `get(store, index, &record)`, which gives 1 when there is such a record.
template <class Record, class Store, class Get>
void ExpectSameRecords(Store& expected, Store& actual, int count, Get get) {
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        Record a, b;
        ASSERT_EQ(get(expected, i, &a), 1);
        ASSERT_EQ(get(actual, i, &b), 1);
        EXPECT_TRUE(a == b);
    }
}

// Damaged copies of a well-formed settings file, for tables of load cases.
// A marker that is not in the file fails the test at once, so that a changed
// layout cannot turn a case into a copy of the good file.
class FileEdits {
public:
    explicit FileEdits(std::string good) : m_good(std::move(good)) {}

    const std::string& Good() const { return m_good; }
    // The file up to the first `marker`, plus `more` bytes of it.
    std::string CutAt(const std::string& marker, size_t more = 0) const;
    // The file without everything from the first `from` up to the next `to`.
    std::string Cut(const std::string& from, const std::string& to) const;
    // The file without the line that holds the first `key`.
    std::string CutLine(const std::string& key) const;
    // The file with the first `from` replaced by `to`.
    std::string Replace(const std::string& from, const std::string& to) const;

private:
    size_t Find(const std::string& marker, size_t from = 0) const;

    std::string m_good;
};

}  // namespace testsupport
