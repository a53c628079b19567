#include "platform/command_line.h"
#include "platform/process_match.h"

#include <gtest/gtest.h>

namespace {

struct MatchCase {
    const char* image;
    const char* name;
    bool partial;
    bool expected;
};

class ProcessMatch : public testing::TestWithParam<MatchCase> {};

TEST_P(ProcessMatch, FileNameOrWholeImageIgnoringCaseOrLowerCaseContains) {
    const auto& c = GetParam();
    EXPECT_EQ(k4m::processImageMatches(c.image, c.name, c.partial), c.expected)
        << c.image << " / " << c.name << " / partial " << c.partial;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ProcessMatch,
    testing::Values(MatchCase{"/opt/x/KANDORO4.EXE", "kandoro4.exe", false, true},
                    MatchCase{"/opt/x/kandoro4.exe.bak", "kandoro4.exe", false, false},
                    MatchCase{"/opt/x/kandoro4.exe", "/OPT/X/KANDORO4.EXE", false, true},
                    MatchCase{"/opt/x/Studio.exe", "studio", false, false},
                    MatchCase{"/opt/x/myDAW64.exe", "daw", true, true}, MatchCase{"/opt/x/DAW.EXE", "daw", true, true},
                    MatchCase{"/opt/x/myDAW64.exe", "DAW", true, false}, // the name text is not lowered
                    MatchCase{"/opt/x/myDAW64.exe", "daw", false, false},
                    MatchCase{"/opt/daw/other.exe", "daw", true, false}, // only the file name counts
                    MatchCase{"/opt/x/anything", "", true, false}));

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
