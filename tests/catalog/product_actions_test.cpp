#include "catalog/product_actions.h"

#include <array>
#include <gtest/gtest.h>

namespace {

using Items = std::vector<std::string>;

struct ActionsCase {
    const char* name;
    k4m::ProductState state;
    bool createOffline;
    bool offlineMode;
    Items items;
    int status;
    int colour;
};

class RowActions : public testing::TestWithParam<ActionsCase> {};

TEST_P(RowActions, OfferWhatTheProductsStateAllows) {
    const auto r = k4m::rowActions(GetParam().state, GetParam().createOffline, GetParam().offlineMode);
    EXPECT_EQ(r.items, GetParam().items);
    EXPECT_EQ(r.status, GetParam().status);
    EXPECT_EQ(r.colour, GetParam().colour);
}

using S = k4m::ProductState;
INSTANTIATE_TEST_SUITE_P(
    States, RowActions,
    testing::Values(ActionsCase{"UpToDate", S::UpToDate, false, false, {"UP-TO-DATE", "REPAIR", "RE-INSTALL"}, 3, 1},
                    ActionsCase{"UpToDateOffline", S::UpToDate, false, true, {"UP-TO-DATE", "REPAIR"}, 3, 1},
                    ActionsCase{"UpToDateMakingAPackage", S::UpToDate, true, false, {"UP-TO-DATE"}, 3, 1},
                    ActionsCase{"Update", S::UpdateAvailable, false, false, {"UPDATE", "SKIP"}, 2, 2},
                    ActionsCase{"UpdateMakingAPackage", S::UpdateAvailable, true, false, {"UPDATE"}, 2, 2},
                    ActionsCase{"Install", S::NotInstalled, false, false, {"INSTALL", "SKIP"}, 1, 2},
                    ActionsCase{"InstallMakingAPackage", S::NotInstalled, true, false, {"INSTALL"}, 1, 2}),
    [](const auto& info) { return std::string(info.param.name); });

// Row 2: one package Connect found current (iState 1), one to install afresh (iState 0, NoCache); row 5 other.
class Actions : public testing::Test {
protected:
    void SetUp() override {
        slot(0, 2, 1, false, 700);
        slot(1, 2, 0, true, 300);
        slot(2, 5, 0, false, 50);
    }
    void slot(int i, int row, int iState, bool noCache, int64_t size) {
        auto& s = slots[static_cast<size_t>(i)];
        s.InUse = true;
        s.ProductIndex = row;
        s.iState = s.oiState = iState;
        s.NoCache = s.oNoCache = noCache;
        s.Size = size;
    }
    std::array<k4m::TcvDownload, 201> slots;
};

TEST_F(Actions, EachActionSetsTheSlotsOfItsRowOnly) {
    struct Step {
        const char* action;
        int iState0, iState1, dState, noCache0, noCache1, colour;
        int64_t size;
    };
    // In this order: each step starts from what the one before left.
    const Step steps[] = {
        {"UP-TO-DATE", 3, 3, 2, 0, 1, 1, 50},   {"REPAIR", 0, 0, 0, 0, 0, 2, 1050},
        {"UPDATE", 1, 0, 0, 0, 1, 2, 350}, // exactly what Connect found, NoCache included
        {"RE-INSTALL", 0, 0, 0, 1, 1, 2, 1050}, {"SKIP", 1, 1, 3, 1, 1, 1, 50},
        {"INSTALL", 0, 0, 0, 1, 1, 2, 1050},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.action);
        EXPECT_EQ(k4m::applyAction(s.action, 2, slots), s.colour);
        EXPECT_EQ(slots[0].iState, s.iState0);
        EXPECT_EQ(slots[1].iState, s.iState1);
        EXPECT_EQ(slots[0].dState, s.dState);
        EXPECT_EQ(slots[1].dState, s.dState);
        EXPECT_EQ(slots[0].NoCache, s.noCache0 == 1);
        EXPECT_EQ(slots[1].NoCache, s.noCache1 == 1);
        EXPECT_EQ(slots[2].iState, 0); // the other row is not touched
        EXPECT_EQ(k4m::actualInstallSize(slots), s.size);
    }
}

TEST_F(Actions, ARowWithoutSlotsKeepsItsColourAndStartInstallationFollowsTheWork) {
    EXPECT_EQ(k4m::applyAction("INSTALL", 9, slots), k4m::ColourUnchanged);
    EXPECT_TRUE(k4m::anyWork(slots));
    k4m::applyAction("SKIP", 2, slots);
    k4m::applyAction("SKIP", 5, slots);
    EXPECT_FALSE(k4m::anyWork(slots));
    EXPECT_EQ(k4m::actualInstallSize(slots), 0);
}

struct ChoiceCase {
    const char* name;
    k4m::AllRowsButton button;
    Items items;
    const char* chosen; // nullptr: the row keeps its selection
};

class AllRows : public testing::TestWithParam<ChoiceCase> {};

TEST_P(AllRows, TakeTheFirstItemOfTheirOrderThatTheRowHas) {
    const auto choice = k4m::allRowsChoice(GetParam().button, GetParam().items);
    if (GetParam().chosen == nullptr) {
        EXPECT_FALSE(choice.has_value());
    } else {
        ASSERT_TRUE(choice.has_value());
        EXPECT_EQ(*choice, GetParam().chosen);
    }
}

using B = k4m::AllRowsButton;
INSTANTIATE_TEST_SUITE_P(
    Buttons, AllRows,
    testing::Values(
        ChoiceCase{"ReinstallOnAnUpToDateRow", B::ReinstallAll, {"UP-TO-DATE", "REPAIR", "RE-INSTALL"}, "RE-INSTALL"},
        ChoiceCase{"RepairOnAnUpdateRowUpdates", B::RepairAll, {"UPDATE", "SKIP"}, "UPDATE"},
        ChoiceCase{"RepairOnANewRowInstalls", B::RepairAll, {"INSTALL", "SKIP"}, "INSTALL"},
        ChoiceCase{"SkipOnAnInstallRow", B::SkipAll, {"INSTALL", "SKIP"}, "SKIP"},
        ChoiceCase{"SkipLeavesAnUpToDateRowUpToDate", B::SkipAll, {"UP-TO-DATE", "REPAIR"}, "UP-TO-DATE"},
        ChoiceCase{"SkipOnAnOfflinePackageRow", B::SkipAll, {"INSTALL"}, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RowPositions, TwelveRowsOnTheLeftTheRestOnTheRightHiddenIndicesCountForTheBreak) {
    std::vector<bool> hasRow(15, true);
    hasRow[3] = false; // Environment 2
    const auto at = k4m::rowPositions(hasRow);
    EXPECT_EQ(at[0], std::make_pair(10, 168));
    EXPECT_FALSE(at[3].has_value());
    EXPECT_EQ(at[4], std::make_pair(10, 258)); // the hidden index does not move y
    EXPECT_EQ(at[11], std::make_pair(10, 468));
    EXPECT_EQ(at[12], std::make_pair(350, 198));
    EXPECT_EQ(at[13], std::make_pair(350, 228));
    EXPECT_EQ(at[14], std::make_pair(350, 258));
}

} // namespace
