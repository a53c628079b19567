#include "platform/command_line.h"
#include "platform/process_match.h"

#include <gtest/gtest.h>

namespace {

struct MatchCase {
    const char* name;
    const char* image;
    const char* processName;
    bool partial;
    bool expected;
};

class ProcessMatch : public testing::TestWithParam<MatchCase> {};

TEST_P(ProcessMatch, FileNameOrWholeImageIgnoringCaseOrLowerCaseContains) {
    const auto& c = GetParam();
    EXPECT_EQ(k4m::processImageMatches(c.image, c.processName, c.partial), c.expected)
        << c.image << " / " << c.processName << " / partial " << c.partial;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ProcessMatch,
    testing::Values(MatchCase{"UpperCaseImageMatchesExactly", "/opt/x/KANDORO4.EXE", "kandoro4.exe", false, true},
                    MatchCase{"LongerFileNameDoesNotMatch", "/opt/x/kandoro4.exe.bak", "kandoro4.exe", false, false},
                    MatchCase{"WholeImagePathMatchesIgnoringCase", "/opt/x/kandoro4.exe", "/OPT/X/KANDORO4.EXE", false,
                              true},
                    MatchCase{"NameWithoutExtensionDoesNotMatch", "/opt/x/Studio.exe", "studio", false, false},
                    MatchCase{"PartialFindsNameInMixedCaseImage", "/opt/x/myDAW64.exe", "daw", true, true},
                    MatchCase{"PartialFindsNameInUpperCaseImage", "/opt/x/DAW.EXE", "daw", true, true},
                    // the name text is not lowered
                    MatchCase{"PartialDoesNotLowerTheName", "/opt/x/myDAW64.exe", "DAW", true, false},
                    MatchCase{"ContainedNameNeedsPartial", "/opt/x/myDAW64.exe", "daw", false, false},
                    // only the file name counts
                    MatchCase{"PartialLooksOnlyAtTheFileName", "/opt/daw/other.exe", "daw", true, false},
                    MatchCase{"EmptyNameNeverMatches", "/opt/x/anything", "", true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SplitParameters, BlanksSeparateQuotesGroup) {
    using V = std::vector<std::string>;
    EXPECT_EQ(k4m::splitParameters("CPY ALL"), (V{"CPY", "ALL"}));
    EXPECT_EQ(k4m::splitParameters("DLT [6][A]"), (V{"DLT", "[6][A]"}));
    EXPECT_EQ(k4m::splitParameters("  /norestart   /q "), (V{"/norestart", "/q"}));
    EXPECT_EQ(k4m::splitParameters("-S \"/a b/x\""), (V{"-S", "/a b/x"}));
    EXPECT_EQ(k4m::splitParameters("\"\""), (V{""}));
    EXPECT_TRUE(k4m::splitParameters("").empty());
}

} // namespace
