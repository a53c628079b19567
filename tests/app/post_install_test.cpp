// The post-install tasks' logic: the runtime check against substituted system answers, and the start-menu
// shortcut as a real desktop entry.
#include "app/post_install.h"
#include "platform/posix/posix_platform.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

// Answers the runtime questions a Linux system cannot: bitness and the two registry keys.
class RuntimeAnswers : public k4m::posix::PosixPlatform {
public:
    bool x64 = true;
    bool uninstallKey = false;
    bool runtimeKey = false;
    mutable std::vector<std::string> asked;

    bool is64BitSystem() const override { return x64; }
    bool vcRuntimeUninstallKeyExists(const std::string& code) const override {
        asked.push_back(code);
        return uninstallKey;
    }
    bool vcRuntimeKeyExists(bool forX64) const override {
        asked.push_back(forX64 ? "x64" : "x86");
        return runtimeKey;
    }
};

struct RuntimeCase {
    const char* name;
    bool x64, uninstallKey, runtimeKey;
    const char* url;
    std::vector<std::string> log;
    std::vector<std::string> asked;
};

class RuntimeCheck : public testing::TestWithParam<RuntimeCase> {};

TEST_P(RuntimeCheck, DownloadsOnlyWhatIsMissing) {
    const RuntimeCase& c = GetParam();
    RuntimeAnswers system;
    system.x64 = c.x64;
    system.uninstallKey = c.uninstallKey;
    system.runtimeKey = c.runtimeKey;
    k4m::RedistributableSettings settings;
    const auto check = k4m::checkRuntime(system, settings, "https://vendor.example");
    EXPECT_EQ(check.downloadUrl, c.url);
    EXPECT_EQ(check.logLines, c.log);
    EXPECT_EQ(system.asked, c.asked);
}

const std::string k64 = "{0D3E9E15-DE7A-300B-96F1-B4AF12B96488}";
const std::string k32 = "{A2563E55-3BEC-3828-8D67-E5E8B9E8B675}";

INSTANTIATE_TEST_SUITE_P(
    Cases, RuntimeCheck,
    testing::Values(
        RuntimeCase{"Missing64",
                    true,
                    false,
                    false,
                    "https://vendor.example/Hq7Wn2Zk5Vb9Xc3M/vcredist_x64.exe",
                    {"64-bit VCRT SP is not present"},
                    {k64, "x64"}},
        RuntimeCase{"Missing32",
                    false,
                    false,
                    false,
                    "https://vendor.example/Hq7Wn2Zk5Vb9Xc3M/vcredist_x86.exe",
                    {"32-bit VCRT SP is not present"},
                    {k32, "x86"}},
        RuntimeCase{"NewerRuntimeWithoutTheUninstallKey",
                    true,
                    false,
                    true,
                    "",
                    {"64-bit VCRT SP is not present", "Newer VC++ RT is present"},
                    {k64, "x64"}},
        RuntimeCase{"BothPresent", true, true, true, "", {"Newer VC++ RT is present"}, {k64, "x64"}},
        RuntimeCase{"UninstallKeyAlone", false, true, false, "", {}, {k32, "x86"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StartMenu, CreatingTwiceLeavesExactlyOneShortcutAndRemovingTakesTheFolder) {
    k4m::test::IsolatedHome home;
    k4m::test::TempDir dir;
    k4m::posix::PosixPlatform platform;
    const fs::path menu = dir / "applications";
    k4m::test::writeFile(menu / "Kandoro4/stale.desktop", "old");
    k4m::createMenu(platform, menu.string(), "/data folder");
    k4m::createMenu(platform, menu.string(), "/data folder");
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(menu / "Kandoro4"))
        files.push_back(e.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"Kandoro 4 Manager.desktop"});
    const std::string entry = k4m::test::readFile(menu / "Kandoro4/Kandoro 4 Manager.desktop");
    EXPECT_NE(entry.find("Comment=Description ...\n"), std::string::npos);
    EXPECT_NE(entry.find("Path=/data folder\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("Kandoro4Manager.exe"), std::string::npos);

    k4m::removeMenu(menu.string());
    EXPECT_FALSE(fs::exists(menu / "Kandoro4"));
    EXPECT_TRUE(fs::exists(menu));
    EXPECT_NO_THROW(k4m::removeMenu(menu.string())); // nothing left to remove
}

TEST(StartMenu, AnUnknownStartMenuIsAnErrorNotAFolderElsewhere) {
    k4m::test::TempDir dir;
    k4m::posix::PosixPlatform platform;
    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    EXPECT_THROW(k4m::createMenu(platform, "", "/data"), std::exception);
    EXPECT_FALSE(fs::exists(dir / "Kandoro4"));
    fs::current_path(before);
}

} // namespace
