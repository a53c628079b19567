#include "download/install_targets.h"

#include <gtest/gtest.h>

namespace k4m {
namespace {

FolderSet folders() {
    FolderSet f;
    f.commonAppDataFolder = "/home/u/.local/share";
    f.productFolder = "/home/u/.local/share/Kandoro4";
    f.installerFolder = "/home/u/.local/share/Kandoro4/Installer";
    f.dataFolder = "/home/u/Kandoro 4 Data";
    f.vst64Folder = "/home/u/.vst";
    f.vst32Folder = "/home/u/.vst32";
    f.proToolsFolder = "/home/u/.local/share/Avid/Audio/Plug-Ins";
    f.startMenuFolder = "/home/u/.local/share/applications";
    return f;
}

TEST(InstallTargets, TakeTheFoldersOfTheRunAndTheFormatSwitches) {
    const InstallTargets t = installTargetsOf(folders(), {false, "/home/u/Kandoro 3 Data", true, false, true});
    EXPECT_EQ(t.productFolder, "/home/u/.local/share/Kandoro4");
    EXPECT_EQ(t.installerFolder, "/home/u/.local/share/Kandoro4/Installer");
    EXPECT_EQ(t.commonAppDataFolder, "/home/u/.local/share");
    EXPECT_EQ(t.soundDataFolder, "/home/u/Kandoro 4 Data");
    EXPECT_EQ(t.cacheFolder, "/home/u/Kandoro 4 Data/cache");
    EXPECT_EQ(t.proToolsFolder, "/home/u/.local/share/Avid/Audio/Plug-Ins");
    EXPECT_EQ(t.vst64Folder, "/home/u/.vst");
    EXPECT_EQ(t.vst32Folder, "/home/u/.vst32");
    EXPECT_TRUE(t.installAAX);
    EXPECT_FALSE(t.installVST64);
    EXPECT_TRUE(t.installVST32);
}

struct SoundCase {
    const char* name;
    bool useKD3;
    const char* kd3DataFolder;
    const char* soundDataFolder;
};

TEST(InstallTargets, SoundsGoToThePreviousGenerationsFolderOnlyWhenAskedAndKnown) {
    for (const SoundCase& c : {SoundCase{"asked", true, "/home/u/Kandoro 3 Data", "/home/u/Kandoro 3 Data"},
                               SoundCase{"asked, trailing separator", true, "/home/u/K3/", "/home/u/K3"},
                               SoundCase{"asked, unknown", true, "", "/home/u/Kandoro 4 Data"},
                               SoundCase{"not asked", false, "/home/u/K3", "/home/u/Kandoro 4 Data"}}) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(installTargetsOf(folders(), {c.useKD3, c.kd3DataFolder}).soundDataFolder, c.soundDataFolder);
    }
}

TEST(InstallTargets, WithoutADataFolderThereIsNoCacheFolder) {
    FolderSet f = folders();
    f.dataFolder.clear();
    EXPECT_EQ(installTargetsOf(f, {}).cacheFolder, "");
}

} // namespace
} // namespace k4m
