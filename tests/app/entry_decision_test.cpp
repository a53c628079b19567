#include "app/entry_decision.h"
#include "app/update_swap.h"

#include <gtest/gtest.h>

namespace {

using k4m::EntryMode;
using Args = std::vector<std::string>;

struct EntryCase {
    const char* path;
    Args arguments;
    EntryMode expected;
};

class EntryDecision : public testing::TestWithParam<EntryCase> {};

TEST_P(EntryDecision, PathFirstThenExactlyTwoArgumentsThenTheWindow) {
    EXPECT_EQ(k4m::decideEntryMode(GetParam().path, GetParam().arguments), GetParam().expected);
}

const char* kManager = "/opt/k4m/Kandoro4Manager.exe";

INSTANTIATE_TEST_SUITE_P(
    Cases, EntryDecision,
    testing::Values(EntryCase{kManager, {}, EntryMode::Windowed}, EntryCase{kManager, {"EMBED"}, EntryMode::Windowed},
                    EntryCase{kManager, {"CPY"}, EntryMode::Windowed},
                    EntryCase{kManager, {"CPY", "ALL"}, EntryMode::Copy},
                    EntryCase{kManager, {"CPY", "anything"}, EntryMode::Copy},
                    EntryCase{kManager, {"cpy", "ALL"}, EntryMode::EndAtOnce},
                    EntryCase{kManager, {"DLT", "[A][6]"}, EntryMode::Delete},
                    EntryCase{kManager, {"DLT", "all"}, EntryMode::Delete},
                    EntryCase{kManager, {"EMBED", "x"}, EntryMode::EndAtOnce},
                    EntryCase{kManager, {"DLT", "ALL", "x"}, EntryMode::Windowed},
                    EntryCase{"/opt/k4m/Update/km4u_127.exe", {"CPY", "ALL"}, EntryMode::UpdateSwap},
                    EntryCase{"/opt/km4u_dir/Kandoro4Manager.exe", {}, EntryMode::UpdateSwap},
                    EntryCase{"/opt/k4m/Update/KM4U_127.exe", {}, EntryMode::Windowed}));

TEST(EntryDecision, EmbedOnlyAsFirstArgument) {
    EXPECT_TRUE(k4m::startedEmbedded({"EMBED"}));
    EXPECT_TRUE(k4m::startedEmbedded({"EMBED", "x", "y"}));
    EXPECT_FALSE(k4m::startedEmbedded({"embed"}));
    EXPECT_FALSE(k4m::startedEmbedded({}));
}

TEST(UpdateSwapTarget, FirstUpdateFolderIsDroppedAndTheProgramNameAppended) {
    EXPECT_EQ(k4m::updateSwapTarget("/d/Tools/Update/km4u_127.exe"), "/d/Tools/Kandoro4Manager.exe");
    EXPECT_EQ(k4m::updateSwapTarget("/d/Tools/km4u_127.exe"), "/d/Tools/Kandoro4Manager.exe");
    EXPECT_EQ(k4m::updateSwapTarget("/d/Update/Tools/Update/km4u_130.exe"), "/d/Update/Tools/Kandoro4Manager.exe");
}

} // namespace
