// The installation start's rules: which programs are ended, when the user is warned first, the data folder's
// write test, the licence text and the plug-in's settings file.
#include "app/installation_start.h"
#include "core/ini_file.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using k4m::ProcessToEnd;
using k4m::RunningProcess;

namespace {

TEST(ProcessesToEnd, StandAloneLastHostAndEveryHostListEntry) {
    using List = std::vector<ProcessToEnd>;
    EXPECT_EQ(k4m::processesToEnd("xxx", {}), (List{{"kandoro4.exe", false}}));
    EXPECT_EQ(k4m::processesToEnd("Reaper.EXE", {" bitwig ", "   ", "", "studio one"}),
              (List{{"kandoro4.exe", false}, {"reaper.exe", false}, {"bitwig", true}, {"studio one", true}}));
}

struct WarningCase {
    const char* name;
    bool newInstallation;
    bool hostsClosed;
    std::vector<RunningProcess> warned; // running when the last question was answered
    std::vector<RunningProcess> running;
    bool asks;
};

class HostsWarningRule : public testing::TestWithParam<WarningCase> {};

TEST_P(HostsWarningRule, NoProgramIsEndedWithoutAWarning) {
    const WarningCase& c = GetParam();
    k4m::HostsWarning warning;
    if (!c.warned.empty()) warning.answered(c.warned);
    EXPECT_EQ(warning.mustAsk(c.newInstallation, c.hostsClosed, c.running), c.asks);
}

const RunningProcess reaper{100, 5000};
const RunningProcess reaperAgain{100, 9000}; // the same number, started later
const RunningProcess bitwig{200, 6000};

INSTANTIATE_TEST_SUITE_P(
    Cases, HostsWarningRule,
    testing::Values(WarningCase{"FirstRunOnAnInstallationAsks", false, false, {}, {}, true},
                    WarningCase{"NewInstallationWithNothingRunningDoesNotAsk", true, false, {}, {}, false},
                    WarningCase{"SecondRunWithNothingRunningDoesNotAsk", false, true, {}, {}, false},
                    WarningCase{"NewInstallationWithAHostRunningAsks", true, false, {}, {reaper}, true},
                    WarningCase{"AHostRunningWhenTheUserAnsweredWasWarnedAbout", false, true, {reaper}, {reaper}, false},
                    WarningCase{"AHostStartedSinceTheAnswerAsksAgain", false, true, {reaper}, {reaper, bitwig}, true},
                    WarningCase{"AHostStartedAgainUnderTheSameNumberAsksAgain", true, true, {reaper}, {reaperAgain},
                                true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DataFolderWriteTest, WritesReadsAndRemovesTheTestFile) {
    k4m::test::TempDir dir;
    fs::create_directories(dir / "cache");
    EXPECT_TRUE(k4m::dataFolderWritable((dir / "cache").string()));
    EXPECT_FALSE(fs::exists(dir / "cache/test.txt"));
    EXPECT_TRUE(fs::is_empty(dir / "cache"));

    EXPECT_FALSE(k4m::dataFolderWritable((dir / "missing").string()));
    k4m::test::writeFile(dir / "file", "x"); // a file where the folder should be
    EXPECT_FALSE(k4m::dataFolderWritable((dir / "file").string()));
}

TEST(DataFolderWriteTest, APlantedLinkIsNeverWrittenThrough) {
    k4m::test::TempDir dir;
    fs::create_directories(dir / "cache");
    k4m::test::writeFile(dir / "elsewhere.txt", "keep");
    fs::create_symlink(dir / "elsewhere.txt", dir / "cache/test.txt");
    EXPECT_FALSE(k4m::dataFolderWritable((dir / "cache").string()));
    EXPECT_EQ(k4m::test::readFile(dir / "elsewhere.txt"), "keep");
}

TEST(LicenceText, ReplacesTheBuiltInOneOnlyWhenLongerThan4000Characters) {
    EXPECT_FALSE(k4m::licenceReplacesBuiltIn("ERROR: HTTP/1.1 404 Not Found"));
    EXPECT_FALSE(k4m::licenceReplacesBuiltIn(std::string(4000, 'a')));
    EXPECT_TRUE(k4m::licenceReplacesBuiltIn(std::string(4001, 'a')));
    // Counted in characters: 2,500 two-byte letters are 5,000 bytes but only 2,500 characters.
    std::string umlauts;
    for (int i = 0; i < 2500; ++i)
        umlauts += "\xC3\xA4";
    EXPECT_FALSE(k4m::licenceReplacesBuiltIn(umlauts));
}

} // namespace
