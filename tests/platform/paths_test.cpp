#include "platform/paths.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_io.h"
#include "support/temp_dir.h"

namespace {

TEST(Paths, WindowsNamesResolveCaseInsensitivelyUnderTheRoot) {
    testsupport::TempDir root;
    root.Write("Map/Base.map", "x");
    root.Write("UI/Data.ini", "y");

    struct Case {
        const char* name;
        const char* expected;   // relative to the root
    } cases[] = {
        {"Map\\Base.map", "Map/Base.map"},
        {"MAP\\BASE.MAP", "Map/Base.map"},
        {"map\\\\base.map", "Map/Base.map"},     // doubled separator
        {"\\UI\\Data.ini", "UI/Data.ini"},
        {"ui/DATA.INI", "UI/Data.ini"},
        {"Map\\NewFile.dat", "Map/NewFile.dat"},  // missing file keeps its spelling
        {"NEWDIR\\x.txt", "NEWDIR/x.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(platform::ResolveUnder(root.Path(), c.name), root.Path() + "/" + c.expected);
    }
    // A whole name written the Windows way, root included.
    EXPECT_EQ(platform::NativePath(root.Path() + "\\MAP\\base.map"), root.Path() + "/Map/Base.map");
}

TEST(Paths, OverlongNamesAreRefused) {
    std::string out = "unchanged";
    EXPECT_FALSE(platform::NativePath(std::string(platform::kMaxPath, 'a'), out));
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(platform::NativePath(std::string(platform::kMaxPath - 1, 'a'), out));
}

TEST(Paths, MakeDirectoriesCreatesParents) {
    testsupport::TempDir root;
    EXPECT_TRUE(platform::MakeDirectories(root.File("a/b/c")));
    EXPECT_TRUE(platform::IsDirectory(root.File("a/b/c")));
    root.Write("file", "x");
    EXPECT_FALSE(platform::MakeDirectories(root.File("file/sub")));
}

TEST(FileIo, AtomicReplaceKeepsOldFileOnFailureAndLeavesNoTemporary) {
    testsupport::TempDir dir;
    const std::string target = dir.File("Navi.gdt");
    ASSERT_TRUE(platform::AtomicReplaceFile(target, std::string("old")));
    ASSERT_TRUE(platform::AtomicReplaceFile(target, std::string("new contents")));
    EXPECT_EQ(dir.Read("Navi.gdt"), "new contents");

    std::string error;
    EXPECT_FALSE(platform::AtomicReplaceFile(dir.File("missing/Navi.gdt"), std::string("x"), &error));
    EXPECT_NE(error.find("missing"), std::string::npos) << error;

    int entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.Path())) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(FileIo, SavesClearTemporariesLeftByDeadProcesses) {
    testsupport::TempDir dir;
    const std::string target = dir.File("RegDest.udt");
    // pid_max is at most 4194304, so this process never existed.
    dir.Write("RegDest.udt.tmp4194305_0", "cut short");
    dir.Write("RegDest.udt.tmp1_3", "init is alive: kept");
    dir.Write("Other.udt.tmp4194305_0", "another file's: kept");
    ASSERT_TRUE(platform::AtomicReplaceFile(target, std::string("saved")));
    EXPECT_FALSE(platform::FileExists(dir.File("RegDest.udt.tmp4194305_0")));
    EXPECT_TRUE(platform::FileExists(dir.File("RegDest.udt.tmp1_3")));
    EXPECT_TRUE(platform::FileExists(dir.File("Other.udt.tmp4194305_0")));
    EXPECT_EQ(dir.Read("RegDest.udt"), "saved");
}

TEST(FileIo, PositionalReadsStopAtTheEnd) {
    testsupport::TempDir dir;
    dir.Write("blocks.bin", "0123456789");
    platform::File file;
    ASSERT_TRUE(file.Open(dir.File("blocks.bin")));
    EXPECT_EQ(file.Size(), 10);
    char buf[8] = {};
    EXPECT_EQ(file.ReadAt(6, buf, 8), 4);
    EXPECT_EQ(std::string(buf, 4), "6789");
    EXPECT_TRUE(file.ReadExactAt(2, buf, 3));
    EXPECT_FALSE(file.ReadExactAt(8, buf, 3));
    EXPECT_EQ(file.ReadAt(100, buf, 3), 0);
}

}  // namespace
