#include "platform/atomic_file.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

TEST(AtomicFile, ReplacesTheFileWithTheRequestedModeWhateverTheUmask) {
    k4m::test::TempDir dir;
    k4m::test::writeFile(dir / "f", "old");
    const mode_t old = ::umask(077);
    k4m::writeFileAtomically(dir / "f", "new", fs::perms(0755));
    ::umask(old);
    EXPECT_EQ(k4m::test::readFile(dir / "f"), "new");
    EXPECT_EQ(fs::status(dir / "f").permissions(), fs::perms(0755));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
}

TEST(AtomicFile, ALinkAtTheTargetIsReplacedNotWrittenThrough) {
    k4m::test::TempDir dir;
    k4m::test::writeFile(dir / "victim", "untouched");
    fs::create_symlink(dir / "victim", dir / "f");
    k4m::writeFileAtomically(dir / "f", "new");
    EXPECT_EQ(k4m::test::readFile(dir / "victim"), "untouched");
    EXPECT_EQ(k4m::test::readFile(dir / "f"), "new");
}

} // namespace
