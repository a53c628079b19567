#include "core/text_decoding.h"
#include "core/text_util.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

struct ReplaceCase {
    const char* name;
    const char* text;
    const char* search;
    const char* replacement;
    const char* expected;
};

class ReplaceAll : public testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceAll, LeftToRightWithoutOverlapsOrRescanning) {
    const auto& c = GetParam();
    EXPECT_EQ(k4m::replaceAll(c.text, c.search, c.replacement), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReplaceAll,
                         testing::Values(ReplaceCase{"EveryOccurrence", "C:\\Program Files (x86)\\Common Files (x86)",
                                                     " (x86)", "", "C:\\Program Files\\Common Files"},
                                         ReplaceCase{"EveryDotRemoved", "1.2.10", ".", "", "1210"},
                                         ReplaceCase{"NoOverlaps", "aaa", "aa", "b", "ba"},
                                         ReplaceCase{"NoRescanningOfTheReplacement", "abc", "b", "bb", "abbc"},
                                         ReplaceCase{"EmptySearchChangesNothing", "abc", "", "x", "abc"},
                                         ReplaceCase{"CaseMatters", "Files (X86)", " (x86)", "", "Files (X86)"},
                                         ReplaceCase{"EmptyText", "", "a", "b", ""},
                                         ReplaceCase{"EverythingReplaced", "xx", "x", "", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReplaceFirst, OnlyTheFirstOccurrence) {
    EXPECT_EQ(k4m::replaceFirst("/a/Update/km4u_1/Update/km4u_2", "/Update/km4u_", "/"), "/a/1/Update/km4u_2");
    EXPECT_EQ(k4m::replaceFirst("/a/km4u_1", "/Update/km4u_", "/"), "/a/km4u_1");
}

TEST(Trim, RemovesBlanksAndControlCharactersAtBothEnds) {
    EXPECT_EQ(k4m::trim(" \t\r\n ab c \r\n"), "ab c");
    EXPECT_EQ(k4m::trim("   "), "");
    EXPECT_EQ(k4m::trim("x"), "x");
}

TEST(TrailingSeparator, ExactlyOneIsRemoved) {
    EXPECT_EQ(k4m::removeOneTrailingSeparator("/media/Sounds/"), "/media/Sounds");
    EXPECT_EQ(k4m::removeOneTrailingSeparator("/media/Sounds//"), "/media/Sounds/");
    EXPECT_EQ(k4m::removeOneTrailingSeparator("/media/Sounds"), "/media/Sounds");
    EXPECT_EQ(k4m::removeOneTrailingSeparator(""), "");
}

TEST(PathParts, ParentAndFileName) {
    EXPECT_EQ(k4m::parentFolder("/home/u/.vst/kandoro4.dll"), "/home/u/.vst");
    EXPECT_EQ(k4m::parentFolder("/kandoro4.dll"), "/");
    EXPECT_EQ(k4m::parentFolder("XXX"), "");
    EXPECT_EQ(k4m::fileNamePart("/home/u/.vst/kandoro4.dll"), "kandoro4.dll");
    EXPECT_EQ(k4m::fileNamePart("/home/u/"), "");
    // Joined with the system's own separator; either separator is read.
    const std::string separator(1, static_cast<char>(std::filesystem::path::preferred_separator));
    EXPECT_EQ(k4m::joinPath("/a", "b"), "/a" + separator + "b");
}

struct DecodeCase {
    const char* name;
    std::string bytes;
    std::string expected;
};

class DecodeText : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeText, ByteOrderMarkThenUtf8ThenWindows1252) {
    EXPECT_EQ(k4m::decodeText(GetParam().bytes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, DecodeText,
                         testing::Values(DecodeCase{"Ascii", "plain", "plain"},
                                         DecodeCase{"Utf8Bom", "\xEF\xBB\xBF\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
                                         DecodeCase{"Utf8", "\xE2\x82\xAC 5", "\xE2\x82\xAC 5"},
                                         DecodeCase{"Windows1252", "\x80 5 caf\xE9", "\xE2\x82\xAC 5 caf\xC3\xA9"},
                                         DecodeCase{"OverlongIsNotUtf8", "\xC0\xAF", "\xC3\x80\xC2\xAF"},
                                         DecodeCase{"Utf16Le",
                                                    std::string("\xFF\xFE"
                                                                "a\0\xAC\x20",
                                                                6),
                                                    "a\xE2\x82\xAC"},
                                         DecodeCase{"Utf16Be", std::string("\xFE\xFF\0a\xD8\x3D\xDE\x00", 8),
                                                    "a\xF0\x9F\x98\x80"},
                                         DecodeCase{"Utf16LoneSurrogate",
                                                    std::string("\xFF\xFE\x00\xD8"
                                                                "a\0",
                                                                6),
                                                    "\xEF\xBF\xBD"
                                                    "a"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
