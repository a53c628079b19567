// The Qt-free parts that take folders as UTF-8 text, on Windows, in a folder whose name the system's narrow code
// page cannot spell: each must reach the file under its own name and speak of it in UTF-8. Every check looks
// at the disk through UTF-16 names, so a file that went to a mangled name is missed.
#include "app/command_modes.h"
#include "app/installation_start.h"
#include "app/support_package.h"
#include "app/uninstall.h"
#include "app/update_swap.h"
#include "catalog/offline_package.h"
#include "core/ini_file.h"
#include "core/install_options.h"
#include "core/log.h"
#include "core/plugin_options.h"
#include "core/server_config.h"
#include "core/text_file.h"
#include "platform/leftover_files.h"
#include "platform/utf8_path.h"
#include "platform/win/win_platform.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <zip.h>

namespace fs = std::filesystem;
using k4m::pathFromUtf8;
using k4m::utf8Of;
using k4m::test::readFile;
using k4m::test::TempDir;
using k4m::test::writeFile;

namespace {

// The folder's name as the system sees it, in UTF-16.
const std::wstring kWideName = L"Grüße ✓ Дми";

class WinUtf8PathTest : public testing::Test {
protected:
    void SetUp() override {
        folder = dir.path() / kWideName;
        fs::create_directories(folder);
        text = utf8Of(folder);
        ASSERT_TRUE(text.ends_with("\\Grüße ✓ Дми")) << text;
    }

    // The folder's path as the manager holds it, with `name` below it.
    std::string under(const std::string& name) const { return text + "\\" + name; }

    // Nothing went anywhere but into the folder.
    void expectNothingBesideTheFolder() const { EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1); }

    TempDir dir;
    fs::path folder;
    std::string text;
};

TEST_F(WinUtf8PathTest, TheLogTheProfileAndTheSettingsFilesAreReadAndWrittenUnderTheirNames) {
    k4m::Log log;
    log.open(pathFromUtf8(under("log.txt")));
    log.write("first");
    log.write("zweite ü");
    log.close();
    EXPECT_EQ(readFile(folder / L"log.txt"), "first\r\nzweite ü\r\n");

    {
        k4m::IniFile profile(pathFromUtf8(under("installer.ini")), true);
        profile.writeString("General", "DataFolder", text);
    }
    k4m::IniFile profile(pathFromUtf8(under("installer.ini")));
    ASSERT_TRUE(profile.load());
    EXPECT_EQ(profile.readString("General", "DataFolder", ""), text);

    k4m::SaveString("one\ntwo", pathFromUtf8(under("catalog.dat")));
    EXPECT_EQ(k4m::LoadString(folder / L"catalog.dat"), "one\r\ntwo\r\n");

    writeFile(folder / L"server.ini", "[Server]\r\nSupport=help@example.com\r\nConnectTimeout=7\r\n");
    const k4m::ServerConfig server = k4m::loadServerConfig(under("server.ini"));
    EXPECT_TRUE(server.problems.empty()) << testing::PrintToString(server.problems);
    EXPECT_EQ(server.support, "help@example.com");
    EXPECT_EQ(server.connectTimeoutSeconds, 7);

    writeFile(folder / L"kandoro4.ini", "[General]\r\nSoundFolder=x\r\n");
    k4m::PluginOptions options;
    options.menuMode = 1;
    k4m::saveTroubleshootingOptions(under("kandoro4.ini"), options);
    EXPECT_NE(readFile(folder / L"kandoro4.ini").find("ForceMenuMode=1"), std::string::npos);
    expectNothingBesideTheFolder();
}

// A settings file that cannot be read is reported under the name the manager was given, not taken for missing.
TEST_F(WinUtf8PathTest, AServerFileThatCannotBeReadIsReportedUnderItsName) {
    fs::create_directories(folder / L"server.ini");
    const k4m::ServerConfig server = k4m::loadServerConfig(under("server.ini"));
    ASSERT_EQ(server.problems.size(), 1u);
    EXPECT_NE(server.problems[0].find(under("server.ini")), std::string::npos) << server.problems[0];
}

// The sweep at the start reads every name in the folder: a number too large for a process id of this system
// (a long has 32 bits here) must not end it.
TEST_F(WinUtf8PathTest, TheLeftoverSweepRemovesOnlyWhatDeadWritersLeft) {
    writeFile(folder / (kWideName + L".txt"), "kept");
    writeFile(folder / (kWideName + L".ini.4000000000.0.tmp"), "no writer of this system");
    writeFile(folder / (kWideName + L".ini.99999996.0.tmp"), "left by a process that is gone");
    writeFile(folder / (kWideName + L".cxp4.part"), "a partial download");
    EXPECT_EQ(k4m::removeLeftoverTemporaries(folder, true), 2);
    EXPECT_EQ(readFile(folder / (kWideName + L".txt")), "kept");
    EXPECT_EQ(readFile(folder / (kWideName + L".ini.4000000000.0.tmp")), "no writer of this system");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 2);
}

// The platform of this machine with the common data folder moved into the test's folder, and the system
// attribute command and the elevation only recorded.
class MovedPlatform : public k4m::win::WinPlatform {
public:
    explicit MovedPlatform(std::string commonFolder) : m_common(std::move(commonFolder)) {}
    std::string commonAppDataFolder() const override { return m_common; }
    void runSystemAttributeCommand(const std::string& parameters, const std::string&) override {
        attributeCommands.push_back(parameters);
    }
    bool isElevated() const override { return false; }
    bool rerunElevated(const std::vector<std::string>&) override {
        ++elevations;
        return false;
    }
    std::vector<std::string> attributeCommands;
    int elevations = 0;

private:
    std::string m_common;
};

TEST_F(WinUtf8PathTest, TheCopyAndDeleteModesFollowAProfileWhoseFoldersAreBeyondAscii) {
    MovedPlatform platform(text);
    const fs::path product = folder / L"Kandoro4";
    writeFile(product / L"bin\\64\\kandoro4.dll", "k4 64");
    writeFile(product / L"bin\\64\\soundK7.dll", "sk7 64");
    writeFile(product / L"bin\\aax\\Kandoro4.aaxplugin\\Contents\\x64\\Kandoro4.aaxplugin", "k4 aax");
    writeFile(product / L"bin\\aax\\soundK7.aaxplugin\\Contents\\x64\\soundK7.aaxplugin", "sk7 aax");
    const std::string vst = under("VST Дми");
    const std::string aax = under("AAX ✓");
    writeFile(product / L"Installer\\installer.ini",
              "[General]\r\nInstallVST64=1\r\nInstallAAX=1\r\nVST64=" + vst + "\\kandoro4.dll\r\nSK7_VST64=" + vst +
                  "\\soundK7.dll\r\nAAX=" + aax + "\\Kandoro4.aaxplugin\r\nAAX_SK7=" + aax + "\\soundK7.aaxplugin\r\n");

    EXPECT_EQ(k4m::runCopyMode(platform, {"/COPY", ""}), 0);
    const fs::path vstFolder = folder / L"VST Дми";
    const fs::path aaxFolder = folder / L"AAX ✓";
    EXPECT_EQ(readFile(vstFolder / L"kandoro4.dll"), "k4 64");
    EXPECT_EQ(readFile(vstFolder / L"soundK7.dll"), "sk7 64");
    EXPECT_EQ(readFile(aaxFolder / L"Kandoro4.aaxplugin\\Contents\\x64\\Kandoro4.aaxplugin"), "k4 aax");
    EXPECT_EQ(readFile(aaxFolder / L"soundK7.aaxplugin\\Contents\\x64\\soundK7.aaxplugin"), "sk7 aax");
    EXPECT_EQ(platform.elevations, 0);

    EXPECT_EQ(k4m::runDeleteMode(platform, {"/DELETE", "[6]"}), 0);
    EXPECT_FALSE(fs::exists(vstFolder / L"kandoro4.dll"));
    EXPECT_FALSE(fs::exists(vstFolder / L"soundK7.dll"));
    EXPECT_TRUE(fs::exists(aaxFolder / L"Kandoro4.aaxplugin"));

    EXPECT_EQ(k4m::runDeleteMode(platform, {"/DELETE", "ALL"}), 0);
    EXPECT_FALSE(fs::exists(aaxFolder / L"Kandoro4.aaxplugin"));
    EXPECT_FALSE(fs::exists(aaxFolder / L"soundK7.aaxplugin"));
    EXPECT_FALSE(fs::exists(product));
    EXPECT_EQ(platform.attributeCommands, (std::vector<std::string>{"+S Kandoro4.aaxplugin", "+S soundK7.aaxplugin",
                                                                    "-S \"" + aax + "\\Kandoro4.aaxplugin\"",
                                                                    "-S \"" + aax + "\\soundK7.aaxplugin\""}));
    EXPECT_EQ(platform.elevations, 0);
    expectNothingBesideTheFolder();
}

TEST_F(WinUtf8PathTest, TheOptionsCheckFindsAndMakesFoldersBeyondAscii) {
    MovedPlatform platform(text);
    k4m::OptionsEntries entries;
    entries.dataFolder = under("Daten Дми"); // made one level deep by the check
    entries.vst64 = entries.vst2 = true;
    entries.vst64Folder = text; // there already
    const auto problem = k4m::checkOptions(entries, platform);
    EXPECT_FALSE(problem) << problem->message;
    EXPECT_TRUE(fs::is_directory(folder / L"Daten Дми"));
    EXPECT_TRUE(k4m::dataFolderWritable(entries.dataFolder));
    expectNothingBesideTheFolder();
}

// The names inside a Zip archive.
std::set<std::string> entryNames(const fs::path& archive) {
    int error = 0;
    zip_t* z = zip_open(utf8Of(archive).c_str(), ZIP_RDONLY, &error);
    if (z == nullptr) return {};
    std::set<std::string> names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i)
        names.insert(zip_get_name(z, static_cast<zip_uint64_t>(i), 0));
    zip_discard(z);
    return names;
}

TEST_F(WinUtf8PathTest, TheSupportArchiveIsMadeBesideTheProfileAndNamesTheLogsInUtf8) {
    writeFile(folder / L"Installer\\installer.ini", "[General]\r\n");
    writeFile(folder / L"Kandoro4\\kandoro4.ini", "[General]\r\n");
    writeFile(folder / (L"Kandoro4\\logs\\" + kWideName + L".txt"), "plug-in log");
    const std::string zip = k4m::buildSupportZip(under("Installer\\installer.ini"), {"a line"}, under("Kandoro4"));
    EXPECT_EQ(zip, under("Installer\\support.zip"));
    EXPECT_EQ(entryNames(folder / L"Installer\\support.zip"),
              (std::set<std::string>{"installer.ini", "log.txt", "kandoro4.ini", utf8Of(kWideName) + ".txt"}));
    expectNothingBesideTheFolder();
}

TEST_F(WinUtf8PathTest, TheUpdateCopyTheOfflinePackageAndTheRemovalOfUserDataStayInTheFolder) {
    writeFile(folder / L"Update\\km4u_Kandoro4Manager.exe", "new manager");
    EXPECT_EQ(k4m::installUpdateCopy(under("Update\\km4u_Kandoro4Manager.exe")), under("Kandoro4Manager.exe"));
    EXPECT_EQ(readFile(folder / L"Kandoro4Manager.exe"), "new manager");

    const k4m::OfflinePackage package(pathFromUtf8(under("Offline")));
    package.create();
    const std::string manifest = "BRUSH Дми";
    package.saveManifest(manifest, "manifest text");
    EXPECT_EQ(readFile(folder / L"Offline\\BRUSH Дми.dat"), "manifest text\r\n");
    EXPECT_EQ(package.loadManifest(manifest), "manifest text\r\n");

    writeFile(folder / L"cache\\a.cxp4", "x");
    writeFile(folder / L"data\\styles\\a.sty", "x");
    k4m::removeUserData(text, false);
    EXPECT_FALSE(fs::exists(folder / L"cache"));
    EXPECT_FALSE(fs::exists(folder / L"Offline"));
    EXPECT_FALSE(fs::exists(folder / L"data"));
    EXPECT_TRUE(fs::exists(folder / L"Kandoro4Manager.exe"));
    expectNothingBesideTheFolder();
}

} // namespace
