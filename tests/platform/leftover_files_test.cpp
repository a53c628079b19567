#include "child_process.h"
#include "platform/leftover_files.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

TEST(LeftoverTemporaries, OnlyFilesOfWritersThatNoLongerRunAreRemoved) {
    k4m::test::TempDir dir;
    k4m::test::Child ended({"true"});
    ASSERT_EQ(ended.waitFor(10s), 0);
    k4m::test::Child running({"sleep", "30"});
    const std::string dead = std::to_string(ended.pid());
    const std::string alive = std::to_string(running.pid());
    const std::string own = std::to_string(::getpid());

    struct Entry {
        const char* why;
        std::string name;
        bool kept;
    };
    const Entry entries[] = {
        {"profile write of a crashed run", "installer.ini." + dead + ".0.tmp", false},
        {"update archive of a crashed run", ".k4m-archive." + dead + ".4.tmp.part", false},
        {"self-copy of a crashed run", "Kandoro4Manager.exe." + dead + ".12.tmp", false},
        {"a writer that still runs", "kandoro4.ini." + alive + ".0.tmp", true},
        {"this process's own write", "installer.ini." + own + ".1.tmp", true},
        {"not our naming", "notes.tmp", true},
        {"not our naming either", "kit." + dead + ".tmp", true},
        {"an ordinary file", "log.txt", true},
    };
    for (const Entry& e : entries)
        k4m::test::writeFile(dir / e.name, "x");
    // Folders and links of that name are no files of ours.
    fs::create_directory(dir / ("folder." + dead + ".0.tmp"));
    fs::create_symlink(dir / "log.txt", dir / ("link." + dead + ".0.tmp"));

    EXPECT_EQ(k4m::removeLeftoverTemporaries(dir.path()), 3);
    for (const Entry& e : entries)
        EXPECT_EQ(fs::exists(dir / e.name), e.kept) << e.why;
    EXPECT_TRUE(fs::is_directory(dir / ("folder." + dead + ".0.tmp")));
    EXPECT_TRUE(fs::is_symlink(dir / ("link." + dead + ".0.tmp")));
    EXPECT_EQ(k4m::removeLeftoverTemporaries(dir / "no-such-folder"), 0);
}

TEST(LeftoverTemporaries, PartialDownloadsGoOnlyWhenTheCallerSaysSo) {
    k4m::test::TempDir dir;
    k4m::test::writeFile(dir / "homescreen.jpg.part", "half a picture");
    k4m::test::writeFile(dir / "homescreen.jpg", "a whole picture");
    EXPECT_EQ(k4m::removeLeftoverTemporaries(dir.path()), 0);
    EXPECT_TRUE(fs::exists(dir / "homescreen.jpg.part"));
    EXPECT_EQ(k4m::removeLeftoverTemporaries(dir.path(), true), 1);
    EXPECT_FALSE(fs::exists(dir / "homescreen.jpg.part"));
    EXPECT_TRUE(fs::exists(dir / "homescreen.jpg"));
}

} // namespace
