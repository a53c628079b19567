#include "download/package_format.h"

#include <gtest/gtest.h>

namespace k4m {
namespace {

TEST(PackageFormat, ManifestLinesEndAtEveryKindOfLineBreak) {
    const struct {
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"a~1", {"a~1"}},
        {"a~1\r\nb~2\nc~3\rd~4\r\n", {"a~1", "b~2", "c~3", "d~4"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\n\r", {"a", ""}},
    };
    for (const auto& c : cases) {
        ManifestLines reader(c.text);
        std::vector<std::string> lines;
        for (std::string_view line; reader.next(line);) lines.emplace_back(line);
        EXPECT_EQ(lines, c.lines) << c.text;
    }
}

TEST(PackageFormat, EntrySizesAreSigned32BitDecimals) {
    const struct {
        std::string text;
        std::optional<int32_t> size;
    } cases[] = {
        {"0", 0},           {"123", 123},       {"+7", 7},          {"-5", -5},     {"  42", 42},
        {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN}, {"2147483648", std::nullopt},
        {"99999999999999999999", std::nullopt}, {"", std::nullopt}, {"-", std::nullopt}, {"12ab", std::nullopt},
        {"12 ", std::nullopt}, {"0x10", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(parseEntrySize(c.text), c.size) << c.text;
}

TEST(PackageFormat, LinePartsAreSplitAtTheFirstTilde) {
    EXPECT_EQ(entryPathOf("data\\a~b.txt~12"), "data\\a");
    EXPECT_EQ(sizeTextOf("data\\a~b.txt~12"), "b.txt~12");
    EXPECT_EQ(entryPathOf("no tilde"), "");
    EXPECT_EQ(sizeTextOf("no tilde"), "no tilde");
    EXPECT_EQ(sizeTextOf("a~" + std::string(150, '1')).size(), kMaxSizeText);
    EXPECT_EQ(entryFileName("data\\sounds\\kick.wav"), "kick.wav");
    EXPECT_EQ(entryFileName("kick.wav"), "kick.wav");
}

TEST(PackageFormat, EntryPathsThatCouldLeaveTheirFolderAreUnsafe) {
    for (const char* safe : {"a.txt", "data\\sounds\\kick.wav", "data/x/y", ".hidden", "a..b\\c", "a\\.\\b", "x. y"})
        EXPECT_EQ(unsafeEntryPathReason(safe), "") << safe;
    for (const char* unsafe : {"", "..", "..\\x", "a\\..\\..\\x", "a/../x", "\\x", "/x", "\\\\server\\share\\x",
                               "C:\\x", "C:x", "a:b", "a\\b\\", "...\\x", ".. \\x", "a\x01" "b", "a\x7f" "b"})
        EXPECT_NE(unsafeEntryPathReason(unsafe), "") << unsafe;
}

} // namespace
} // namespace k4m
