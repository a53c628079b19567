#include "app/entry_decision.h"
#include "app/update_swap.h"

#include <gtest/gtest.h>

namespace {

using k4m::EntryMode;
using Args = std::vector<std::string>;

struct EntryCase {
    const char* name;
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
    testing::Values(
        EntryCase{"NoArguments", kManager, {}, EntryMode::Windowed},
        EntryCase{"EmbedAlone", kManager, {"EMBED"}, EntryMode::Windowed},
        EntryCase{"CopyWithoutSecondWord", kManager, {"CPY"}, EntryMode::Windowed},
        EntryCase{"CopyAll", kManager, {"CPY", "ALL"}, EntryMode::Copy},
        EntryCase{"CopyAnySecondWord", kManager, {"CPY", "anything"}, EntryMode::Copy},
        EntryCase{"LowerCaseCopyEndsAtOnce", kManager, {"cpy", "ALL"}, EntryMode::EndAtOnce},
        EntryCase{"DeleteGroups", kManager, {"DLT", "[A][6]"}, EntryMode::Delete},
        EntryCase{"DeleteLowerCaseAll", kManager, {"DLT", "all"}, EntryMode::Delete},
        EntryCase{"TwoArgumentsWithoutCommandEndAtOnce", kManager, {"EMBED", "x"}, EntryMode::EndAtOnce},
        EntryCase{"ThreeArgumentsOpenTheWindow", kManager, {"DLT", "ALL", "x"}, EntryMode::Windowed},
        EntryCase{"UpdateCopyWinsOverArguments", "/opt/k4m/Update/km4u_127.exe", {"CPY", "ALL"}, EntryMode::UpdateSwap},
        EntryCase{"UpdatePrefixInAFolderName", "/opt/km4u_dir/Kandoro4Manager.exe", {}, EntryMode::UpdateSwap},
        EntryCase{"UpperCaseUpdatePrefixIsNotAnUpdateCopy", "/opt/k4m/Update/KM4U_127.exe", {}, EntryMode::Windowed}),
    [](const auto& info) { return std::string(info.param.name); });

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
