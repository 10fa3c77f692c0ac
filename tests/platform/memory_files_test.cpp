#include "platform/memory_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/temp_dir.h"

namespace {

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// A mounted file system for one test, unmounted when it ends.
class MemoryFiles : public ::testing::Test {
protected:
    MemoryFiles() { m_fs.Mount(); }

    std::string Path(const char* relative) const { return m_fs.PathOf(relative); }
    std::string Read(const char* relative) {
        std::vector<uint8_t> bytes;
        std::string error;
        EXPECT_TRUE(platform::ReadWholeFile(Path(relative), bytes, &error)) << error;
        return Text(bytes);
    }

    platform::MemoryFileSystem m_fs{"/memfs-test"};
};

TEST_F(MemoryFiles, WrittenFilesReadBackThroughTheFileLayer) {
    ASSERT_TRUE(platform::MakeDirectories(Path("User/Navi")));
    EXPECT_TRUE(platform::IsDirectory(Path("User")));
    ASSERT_TRUE(platform::AtomicReplaceFile(Path("User/Navi/RegDest.udt"), std::string("nVersion|1=3\r\n")));
    EXPECT_EQ(Read("User/Navi/RegDest.udt"), "nVersion|1=3\r\n");
    EXPECT_TRUE(platform::IsRegularFile(Path("User/Navi/RegDest.udt")));
    EXPECT_FALSE(platform::IsDirectory(Path("User/Navi/RegDest.udt")));

    // Positional reads, short only at the end; writes at the position.
    platform::File file;
    ASSERT_TRUE(file.Open(Path("User/Navi/RegDest.udt")));
    EXPECT_EQ(file.Size(), 14);
    char part[8] = {};
    EXPECT_EQ(file.ReadAt(9, part, sizeof part), 5);
    EXPECT_EQ(std::string(part, 5), "1=3\r\n");
    EXPECT_EQ(file.ReadAt(100, part, 1), 0);
    EXPECT_FALSE(file.ReadExactAt(10, part, 5));

    platform::File out;
    ASSERT_TRUE(out.Open(Path("User/Navi/Log.txt"), platform::File::Mode::kCreateTruncate));
    EXPECT_TRUE(out.WriteAll("abc", 3));
    EXPECT_TRUE(out.WriteAll("de", 2));
    EXPECT_TRUE(out.Sync());
    out.Close();
    EXPECT_EQ(Read("User/Navi/Log.txt"), "abcde");
    ASSERT_TRUE(out.Open(Path("User/Navi/Log.txt"), platform::File::Mode::kReadWrite));
    EXPECT_TRUE(out.WriteAll("X", 1));
    EXPECT_EQ(Read("User/Navi/Log.txt"), "Xbcde");
    ASSERT_TRUE(out.Open(Path("User/Navi/Log.txt"), platform::File::Mode::kCreateTruncate));
    EXPECT_EQ(Read("User/Navi/Log.txt"), "");
}

TEST_F(MemoryFiles, ReplaceAndRenameLeaveOpenReadersOnTheOldBytes) {
    ASSERT_TRUE(m_fs.WriteFile(Path("Config/Navi.gdt"), std::string("old")));
    platform::File before;
    ASSERT_TRUE(before.Open(Path("Config/Navi.gdt")));
    ASSERT_TRUE(platform::AtomicReplaceFile(Path("Config/Navi.gdt"), std::string("new contents")));
    EXPECT_EQ(Read("Config/Navi.gdt"), "new contents");
    char old[3];
    ASSERT_TRUE(before.ReadExactAt(0, old, 3));
    EXPECT_EQ(std::string(old, 3), "old");
    EXPECT_EQ(before.Size(), 3);

    // A damaged file set aside under another name, over an older one.
    ASSERT_TRUE(m_fs.WriteFile(Path("Config/Navi.err"), std::string("older")));
    std::string error;
    ASSERT_TRUE(platform::RenameFile(Path("Config/Navi.gdt"), Path("Config/Navi.err"), &error)) << error;
    EXPECT_FALSE(platform::FileExists(Path("Config/Navi.gdt")));
    EXPECT_EQ(Read("Config/Navi.err"), "new contents");
    EXPECT_EQ(m_fs.FileCount(), 1u);   // no temporary left beside it

    // A folder moves with what it holds.
    ASSERT_TRUE(platform::RenameFile(Path("Config"), Path("Moved"), &error)) << error;
    EXPECT_EQ(Read("Moved/Navi.err"), "new contents");
    EXPECT_FALSE(platform::IsDirectory(Path("Config")));
}

TEST_F(MemoryFiles, MissingFilesAndFoldersFailAsOnDisk) {
    ASSERT_TRUE(m_fs.WriteFile(Path("Map/Base.map"), std::string("x")));
    std::vector<uint8_t> bytes;
    std::string error;
    using platform::File;
    struct Case {
        const char* what;
        std::function<bool()> call;
        int error;   // errno after the failure, which the callers' messages show
    } cases[] = {
        {"read missing", [&] { return platform::ReadWholeFile(Path("Map/None.map"), bytes, &error); }, ENOENT},
        {"read a folder", [&] { return platform::ReadWholeFile(Path("Map"), bytes, &error); }, EISDIR},
        {"read under a file", [&] { return platform::ReadWholeFile(Path("Map/Base.map/x"), bytes); }, ENOTDIR},
        {"replace in a missing folder", [&] { return platform::AtomicReplaceFile(Path("No/x"), "x", 1, &error); },
         ENOENT},
        {"replace under a file", [&] { return platform::AtomicReplaceFile(Path("Map/Base.map/x"), "x", 1); },
         ENOTDIR},
        {"replace a folder", [&] { return platform::AtomicReplaceFile(Path("Map"), "x", 1); }, EISDIR},
        {"create in a missing folder", [&] { return File().Open(Path("No/x"), File::Mode::kCreateTruncate); },
         ENOENT},
        {"open missing for writing", [&] { return File().Open(Path("Map/x"), File::Mode::kReadWrite); }, ENOENT},
        {"rename a missing file", [&] { return platform::RenameFile(Path("Map/None"), Path("Map/Other")); }, ENOENT},
        {"rename out to the disk", [&] { return platform::RenameFile(Path("Map/Base.map"), "/tmp/x"); }, EXDEV},
        {"rename in from the disk", [&] { return platform::RenameFile("/tmp/x", Path("Map/x")); }, EXDEV},
        {"remove a folder", [&] { return platform::RemoveFile(Path("Map")); }, EISDIR},
        {"remove a missing file", [&] { return platform::RemoveFile(Path("Map/None.map")); }, ENOENT},
        {"folder where a file stands", [&] { return platform::MakeDirectories(Path("Map/Base.map/sub")); }, EEXIST},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        errno = 0;
        EXPECT_FALSE(c.call());
        EXPECT_EQ(errno, c.error);
    }
    EXPECT_FALSE(platform::ReadWholeFile(Path("Map/None.map"), bytes, &error));
    EXPECT_NE(error.find("Map/None.map"), std::string::npos);
    EXPECT_TRUE(platform::IsRegularFile(Path("Map/Base.map")));   // nothing above touched it

    EXPECT_TRUE(platform::RemoveFile(Path("Map/Base.map")));
    EXPECT_FALSE(platform::FileExists(Path("Map/Base.map")));
    EXPECT_TRUE(platform::IsDirectory(Path("Map")));
    EXPECT_TRUE(platform::IsDirectory(m_fs.Root()));
}

TEST_F(MemoryFiles, NamesResolveWithoutRegardToCase) {
    ASSERT_TRUE(m_fs.WriteFile(Path("User/Navi/Config/RegDest.udt"), std::string("x")));
    EXPECT_EQ(platform::NativePath(m_fs.Root() + "\\USER\\navi\\CONFIG\\regdest.UDT"),
              Path("User/Navi/Config/RegDest.udt"));
    // A missing file keeps its spelling in the folder that matched.
    EXPECT_EQ(platform::NativePath(m_fs.Root() + "\\user\\NAVI\\New.udt"), Path("User/Navi/New.udt"));
}

TEST_F(MemoryFiles, ClearEmptiesAndUnmountHandsPathsBackToTheDisk) {
    ASSERT_TRUE(m_fs.WriteFile(Path("a/b.txt"), std::string("x")));
    m_fs.Clear();
    EXPECT_FALSE(platform::FileExists(Path("a/b.txt")));
    EXPECT_FALSE(platform::IsDirectory(Path("a")));
    EXPECT_EQ(m_fs.FileCount(), 0u);

    // The disk outside the root is untouched while mounted.
    testsupport::TempDir disk;
    ASSERT_TRUE(platform::AtomicReplaceFile(disk.File("real.txt"), std::string("on disk")));
    EXPECT_EQ(disk.Read("real.txt"), "on disk");

    ASSERT_TRUE(m_fs.WriteFile(Path("c.txt"), std::string("x")));
    m_fs.Unmount();
    EXPECT_EQ(platform::MemoryFileSystemFor(Path("c.txt")), nullptr);
    EXPECT_FALSE(platform::FileExists(Path("c.txt")));   // no such folder on the disk
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(m_fs.ReadFile(Path("c.txt"), bytes));
    EXPECT_EQ(Text(bytes), "x");
}

}  // namespace
