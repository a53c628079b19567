// The installation driver's rules: the row label, the progress bar, the status line and the error prompt.
#include "app/installation_driver.h"

#include <gtest/gtest.h>

namespace {

using k4m::RowStates;

struct LabelCase {
    const char* name;
    RowStates states;
    bool createOffline;
    const char* label; // nullptr: the label keeps its text
};

RowStates with(std::initializer_list<int> states) {
    RowStates s;
    for (int state : states) {
        switch (state) {
        case 0: s.pending = true; break;
        case 1: s.downloading = true; break;
        case 2: s.completed = true; break;
        case 3: s.skipped = true; break;
        case 4: s.installing = true; break;
        case 5: s.failed = true; break;
        }
    }
    return s;
}

class RowLabel : public testing::TestWithParam<LabelCase> {};

TEST_P(RowLabel, TheFirstRuleThatHoldsNamesTheRow) {
    const auto label = k4m::rowLabel(GetParam().states, GetParam().createOffline);
    if (GetParam().label == nullptr)
        EXPECT_FALSE(label.has_value());
    else
        EXPECT_EQ(label.value_or("<keeps>"), GetParam().label);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RowLabel,
    testing::Values(LabelCase{"FailedBeatsCompleted", with({5, 2}), false, "Failed"},
                    LabelCase{"DownloadingBeatsFailed", with({1, 5}), false, "Downloading..."},
                    LabelCase{"InstallingBeatsEverything", with({0, 1, 2, 3, 4, 5}), false, "Installing..."},
                    LabelCase{"FetchedForAnOfflinePackageIsCompleted", with({4}), true, "Completed"},
                    LabelCase{"OfflineDownloadingStaysDownloading", with({4, 1}), true, "Downloading..."},
                    LabelCase{"PendingBeatsSkippedAndCompleted", with({0, 3, 2}), false, "Pending"},
                    LabelCase{"SkippedBeatsCompleted", with({3, 2}), false, "Skipped"},
                    LabelCase{"AllCompleted", with({2}), false, "Completed"},
                    LabelCase{"NothingToDoKeepsTheText", with({}), false, nullptr},
                    LabelCase{"NothingToDoWhilePackagingIsCompleted", with({}), true, "Completed"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RowStates, OnlySlotsInUseOfTheRowToBeProcessedCount) {
    std::array<k4m::TcvDownload, 5> slots;
    auto set = [&](size_t i, bool inUse, int product, int iState, int dState) {
        slots[i].InUse = inUse;
        slots[i].ProductIndex = product;
        slots[i].iState = iState;
        slots[i].dState = dState;
    };
    set(0, true, 3, 0, k4m::StateCompleted);
    set(1, true, 3, 1, k4m::StateFailed);     // left alone by the user: not counted
    set(2, false, 3, 0, k4m::StateDownloading); // not in use
    set(3, true, 4, 0, k4m::StateSkipped);    // another row
    set(4, true, 3, 0, 9);                    // an unknown state sets nothing
    const RowStates s = k4m::rowStatesOf(slots, 3);
    EXPECT_TRUE(s.completed);
    EXPECT_FALSE(s.failed || s.downloading || s.skipped || s.pending || s.installing);
    EXPECT_FALSE(k4m::rowLabel(k4m::rowStatesOf(slots, 7), false).has_value()); // a row whose slots are all left alone
}

TEST(RoundHalfEven, TiesGoToTheEvenNeighbour) {
    const std::pair<double, int64_t> cases[] = {{0.5, 0},  {1.5, 2},  {2.5, 2},   {3.5, 4},   {2.4999, 2},
                                                {2.51, 3}, {-0.5, 0}, {-1.5, -2}, {99.5, 100}, {1e300, 9000000000000000000}};
    for (const auto& [value, rounded] : cases)
        EXPECT_EQ(k4m::roundHalfEven(value), rounded) << value;
}

TEST(ProgressPosition, IsThePercentOfTheExpectedKilobytes) {
    EXPECT_EQ(k4m::progressPosition(0, 0, 0), std::nullopt); // nothing expected: the bar stays
    EXPECT_EQ(k4m::progressPosition(500'000, 250'000, 1500), 50);
    EXPECT_EQ(k4m::progressPosition(0, 5'000, 1000), 0);    // 0.5 %: ties to even
    EXPECT_EQ(k4m::progressPosition(0, 15'000, 1000), 2);   // 1.5 %
    EXPECT_EQ(k4m::progressPosition(3'000'000, 0, 1000), 100); // more than announced keeps the bar full
}

TEST(RunStatusText, ShowsTheDownloadOrTheLastStep) {
    k4m::TransferReport r;
    r.active = true;
    r.completion = 42.5f;
    r.maxBytes = 1'234'500;
    r.speedKbps = 870;
    r.name = "Funk Kits";
    r.lastAction = "Installing...";
    EXPECT_EQ(k4m::runStatusText(r, ""), "42% of 1234kB @870kB/s   [Funk Kits]");
    r.completion = 43.5f;
    r.maxBytes = 1'235'500;
    EXPECT_EQ(k4m::runStatusText(r, ""), "44% of 1236kB @870kB/s   [Funk Kits]");
    EXPECT_EQ(k4m::runStatusText(r, "Downloading redist"), "Downloading redist");
    r.maxBytes = 0; // size not announced yet
    EXPECT_EQ(k4m::runStatusText(r, ""), "Installing...");
    r.maxBytes = 10;
    r.active = false;
    EXPECT_EQ(k4m::runStatusText(r, ""), "Installing...");
}

TEST(InstallationErrorsText, PutsEachErrorOnItsOwnLine) {
    EXPECT_EQ(k4m::installationErrorsText("\r\nERROR: a @ x\r\n[pkg] b"),
              "The following errors were encountered during the installation:\r\n\r\n\r\nERROR: a @ x\r\n[pkg] b\r\n\r\n"
              "We recommend you re-open this tool and try installing again. If you still receive this error, please "
              "use \"Email Tech Support\" to request assistance.");
}

} // namespace
