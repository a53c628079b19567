#include "core/file_ops.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using k4m::test::readFile;
using k4m::test::TempDir;
using k4m::test::writeFile;

namespace {

TEST(RemoveTree, RemovesEverythingButNeverFollowsALinkOutOfTheFolder) {
    TempDir dir;
    writeFile(dir / "outside/precious.txt", "keep");
    writeFile(dir / "tree/a/b/file.txt", "x");
    fs::create_directory_symlink(dir / "outside", dir / "tree/a/link-to-outside");
    fs::create_symlink(dir / "outside/precious.txt", dir / "tree/file-link");
    k4m::removeTree(dir / "tree");
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "tree")));
    EXPECT_EQ(readFile(dir / "outside/precious.txt"), "keep");
}

TEST(RemoveTree, MissingPathIsNoError) {
    TempDir dir;
    EXPECT_NO_THROW(k4m::removeTree(dir / "nothing-here"));
}

TEST(CopyFileReplacing, ReplacesALinkAtTheTargetInsteadOfWritingThroughIt) {
    TempDir dir;
    writeFile(dir / "source.dll", "new binary");
    writeFile(dir / "victim.txt", "untouched");
    fs::create_symlink(dir / "victim.txt", dir / "target.dll");
    k4m::copyFileReplacing(dir / "source.dll", dir / "target.dll");
    EXPECT_EQ(readFile(dir / "victim.txt"), "untouched");
    EXPECT_FALSE(k4m::isSymlink(dir / "target.dll"));
    EXPECT_EQ(readFile(dir / "target.dll"), "new binary");
}

TEST(CopyFileReplacing, FailureLeavesTheOldFileAndNoTemporary) {
    TempDir dir;
    writeFile(dir / "target.dll", "old");
    EXPECT_THROW(k4m::copyFileReplacing(dir / "no-source.dll", dir / "target.dll"), fs::filesystem_error);
    EXPECT_EQ(readFile(dir / "target.dll"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
}

TEST(CopyTree, CopiesNestedFilesReplacesExistingOnesAndKeepsOthers) {
    TempDir dir;
    writeFile(dir / "src/Contents/x64/plugin.bin", "v2");
    writeFile(dir / "src/Contents/Info.plist", "info v2");
    writeFile(dir / "dst/Contents/x64/plugin.bin", "v1");
    writeFile(dir / "dst/Contents/extra.txt", "user file");
    writeFile(dir / "victim.txt", "untouched");
    fs::create_symlink(dir / "victim.txt", dir / "dst/Contents/Info.plist");
    k4m::copyTree(dir / "src", dir / "dst");
    EXPECT_EQ(readFile(dir / "dst/Contents/x64/plugin.bin"), "v2");
    EXPECT_EQ(readFile(dir / "dst/Contents/Info.plist"), "info v2");
    EXPECT_EQ(readFile(dir / "dst/Contents/extra.txt"), "user file");
    EXPECT_EQ(readFile(dir / "victim.txt"), "untouched");
}

} // namespace
