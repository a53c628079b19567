#include "core/folder_set.h"
#include "platform/posix/posix_platform.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace {

using k4m::test::IsolatedHome;

// A system whose common application data folder is unknown.
class NoAppDataPlatform : public k4m::posix::PosixPlatform {
public:
    std::string commonAppDataFolder() const override { return {}; }
};

TEST(FolderSet, DerivesEveryFolderFromTheUsersFolders) {
    IsolatedHome home;
    const std::string h = home.home().string();
    k4m::posix::PosixPlatform platform;
    const auto f = k4m::resolveFolderSet(platform, "/opt/k4m/Kandoro4Manager.exe");
    EXPECT_EQ(f.commonAppDataFolder, h + "/.local/share");
    EXPECT_EQ(f.productFolder, h + "/.local/share/Kandoro4");
    EXPECT_EQ(f.installerFolder, h + "/.local/share/Kandoro4/Installer");
    EXPECT_EQ(f.profilePath(), h + "/.local/share/Kandoro4/Installer/installer.ini");
    EXPECT_EQ(f.logPath(), h + "/.local/share/Kandoro4/Installer/log.txt");
    EXPECT_EQ(f.pluginSettingsPath(), h + "/.local/share/Kandoro4/kandoro4.ini");
    EXPECT_EQ(f.pluginLogPath(), h + "/.local/share/Kandoro4/Logs/Kandoro Plugin Log.txt");
    EXPECT_EQ(f.dataFolder, h + "/Kandoro 4 Data");
    EXPECT_EQ(f.vst64Folder, h + "/.vst");
    EXPECT_EQ(f.vst32Folder, h + "/.vst32");
    EXPECT_EQ(f.proToolsFolder, h + "/.local/share/Avid/Audio/Plug-Ins");
    EXPECT_EQ(f.startMenuFolder, h + "/.local/share/applications");
    EXPECT_EQ(f.previousGenerationFolder, h + "/Documents/Kandoro3");
    EXPECT_EQ(f.previousSettingsPath(), h + "/Documents/Kandoro3/kandoro3.ini");
    EXPECT_EQ(f.managerFolder, "/opt/k4m");
    EXPECT_EQ(f.offlineFolder(), "/opt/k4m/Offline");
    EXPECT_EQ(f.updateFolder(), "/opt/k4m/Update");
    EXPECT_EQ(k4m::profilePathOf(f.commonAppDataFolder), f.profilePath());
}

TEST(FolderSet, DocumentsFolderComesFromUserDirsWhenTheVariableIsUnset) {
    IsolatedHome home;
    k4m::test::ScopedEnv noDocs("XDG_DOCUMENTS_DIR", "");
    k4m::test::writeFile(home.home() / ".config/user-dirs.dirs", "# comment\nXDG_DOCUMENTS_DIR=\"$HOME/Papiere\"\n");
    k4m::posix::PosixPlatform platform;
    EXPECT_EQ(platform.documentsFolder(), home.home().string() + "/Papiere");
}

TEST(FolderSet, UnknownAppDataFolderLeavesDerivedPathsEmpty) {
    IsolatedHome home;
    NoAppDataPlatform platform;
    const auto f = k4m::resolveFolderSet(platform, "/opt/k4m/Kandoro4Manager.exe");
    EXPECT_EQ(f.productFolder, "");
    EXPECT_EQ(f.installerFolder, "");
    EXPECT_EQ(f.profilePath(), "");
    EXPECT_EQ(k4m::profilePathOf(""), "");
}

struct ProfileFolderCase {
    const char* name;
    const char* profile;
    bool offline;
    const char* data;
    const char* vst64;
    const char* vst32;
};

class ProfileFolders : public testing::TestWithParam<ProfileFolderCase> {};

TEST_P(ProfileFolders, TakeTheProfileChoicesWithOneTrailingSeparatorRemoved) {
    const auto& c = GetParam();
    k4m::FolderSet f;
    f.dataFolder = "/default/data";
    f.vst64Folder = "/default/vst64";
    f.vst32Folder = "/default/vst32";
    k4m::applyProfileFolders(f, k4m::IniFile::fromText(c.profile), c.offline);
    EXPECT_EQ(f.dataFolder, c.data);
    EXPECT_EQ(f.vst64Folder, c.vst64);
    EXPECT_EQ(f.vst32Folder, c.vst32);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileFolders,
    testing::Values(ProfileFolderCase{"Absent", "", false, "/default/data", "/default/vst64", "/default/vst32"},
                    ProfileFolderCase{"TrailingSeparator",
                                      "[General]\nDataFolder=/media/Sounds/\nPlugin64Folder=/v64/\n", false,
                                      "/media/Sounds", "/v64", "/default/vst32"},
                    ProfileFolderCase{"TwoTrailingSeparatorsLoseOne", "[General]\nDataFolder=/media/Sounds//\n", false,
                                      "/media/Sounds/", "/default/vst64", "/default/vst32"},
                    ProfileFolderCase{"EmptyStaysEmpty", "[General]\nPlugin32Folder=\n", false, "/default/data",
                                      "/default/vst64", ""},
                    ProfileFolderCase{"OfflineKeepsDataFolder",
                                      "[General]\nDataFolder=/media/Sounds\nPlugin32Folder=/v32\n", true,
                                      "/default/data", "/default/vst64", "/v32"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
