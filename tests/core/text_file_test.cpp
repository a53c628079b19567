#include "core/text_file.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

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
