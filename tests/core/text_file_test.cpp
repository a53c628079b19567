#include "core/text_file.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <optional>
#include <sys/stat.h>

using k4m::test::readFile;
using k4m::test::TempDir;
using k4m::test::writeFile;

namespace {

TEST(LoadString, EveryLineEndsWithCrLf) {
    TempDir dir;
    writeFile(dir / "key.dat", "abc");
    EXPECT_EQ(k4m::LoadString(dir / "key.dat"), "abc\r\n");
    writeFile(dir / "lf.txt", "one\ntwo\n");
    EXPECT_EQ(k4m::LoadString(dir / "lf.txt"), "one\r\ntwo\r\n");
    writeFile(dir / "empty.txt", "");
    EXPECT_EQ(k4m::LoadString(dir / "empty.txt"), "");
    EXPECT_EQ(k4m::LoadString(dir / "missing.txt"), "");
}

TEST(LoadString, RefusesWhatIsNoRegularFileOfATextsSizeWithoutReadingIt) {
    // An offline package is carried over from another computer: what stands at a file's name may be anything.
    TempDir dir;
    writeFile(dir / "real.dat", "real");
    std::filesystem::create_symlink(dir / "real.dat", dir / "link.dat");
    std::filesystem::create_symlink("/dev/zero", dir / "zero.dat");
    std::filesystem::create_directory(dir / "folder.dat");
    ASSERT_EQ(::mkfifo((dir / "fifo.dat").c_str(), 0600), 0);
    writeFile(dir / "large.dat", "");
    std::filesystem::resize_file(dir / "large.dat", k4m::kMaxLoadedText + 1);
    for (const char* name : {"link.dat", "zero.dat", "folder.dat", "fifo.dat", "large.dat"}) {
        SCOPED_TRACE(name);
        EXPECT_THROW(k4m::LoadString(dir / name), std::system_error);
    }
    // Beneath something that is no folder there is nothing: read as missing.
    EXPECT_EQ(k4m::LoadString(dir / "real.dat" / "key.dat"), "");
}

TEST(SaveString, SplitsAtAnyLineBreakAndReplacesTheFile) {
    TempDir dir;
    writeFile(dir / "out.txt", "old content that is longer");
    k4m::SaveString("a\nb\r\nc\rd", dir / "out.txt");
    EXPECT_EQ(readFile(dir / "out.txt"), "a\r\nb\r\nc\r\nd\r\n");
    k4m::SaveString("last line ends\n", dir / "out.txt");
    EXPECT_EQ(readFile(dir / "out.txt"), "last line ends\r\n");
    k4m::SaveString("", dir / "out.txt");
    EXPECT_EQ(readFile(dir / "out.txt"), "");
}

TEST(SaveString, GivesTheFileExactlyItsModeWhateverTheUmask) {
    TempDir dir;
    struct Case {
        const char* name;
        std::optional<std::filesystem::perms> mode; // none: the default
        std::filesystem::perms expected;
    };
    const mode_t old = ::umask(022);
    for (const Case& c : {Case{"Default", std::nullopt, std::filesystem::perms(0644)},
                          Case{"PrivateOverThePublicFile", k4m::kPrivateFileMode, std::filesystem::perms(0600)},
                          Case{"DefaultOverThePrivateFile", std::nullopt, std::filesystem::perms(0644)}}) {
        SCOPED_TRACE(c.name);
        if (c.mode)
            k4m::SaveString("key", dir / "key.dat", *c.mode);
        else
            k4m::SaveString("key", dir / "key.dat");
        EXPECT_EQ(std::filesystem::status(dir / "key.dat").permissions(), c.expected);
        EXPECT_EQ(readFile(dir / "key.dat"), "key\r\n");
    }
    ::umask(old);
}

TEST(SaveString, RoundTripsThroughLoadString) {
    TempDir dir;
    const std::string text = "first\r\n\r\nthird \xC3\xA9\r\n";
    k4m::SaveString(text, dir / "t.txt");
    EXPECT_EQ(k4m::LoadString(dir / "t.txt"), text);
}

TEST(SplitLines, EmptyLinesInsideCountTheLastBreakDoesNot) {
    EXPECT_EQ(k4m::splitLines("a\n\nb\n"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(k4m::splitLines("\n"), (std::vector<std::string>{""}));
    EXPECT_TRUE(k4m::splitLines("").empty());
}

} // namespace
