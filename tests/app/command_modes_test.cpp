// The copy and delete modes, run as the built program in a child process against a temporary home.
#include "core/ini_file.h"
#include "manager_run.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using k4m::test::readFile;
using k4m::test::runManager;
using k4m::test::writeFile;

namespace {

// Which binaries are in place, and whether the product folder exists.
struct Present {
    bool vst64, vst32, aax, product;
};

class CommandModeTest : public testing::Test {
protected:
    void SetUp() override {
        product = home.dataHome() / "Kandoro4";
        writeFile(product / "bin/64/kandoro4.dll", "k4 64");
        writeFile(product / "bin/64/soundK7.dll", "sk7 64");
        writeFile(product / "bin/32/kandoro4.dll", "k4 32");
        writeFile(product / "bin/32/soundK7.dll", "sk7 32");
        writeFile(product / "bin/aax/Kandoro4.aaxplugin/Contents/x64/Kandoro4.aaxplugin", "k4 aax");
        writeFile(product / "bin/aax/Kandoro4.aaxplugin/Contents/Info.txt", "k4 info");
        writeFile(product / "bin/aax/soundK7.aaxplugin/Contents/x64/soundK7.aaxplugin", "sk7 aax");
        vst64 = home.home() / "plugins/vst64";
        vst32 = home.home() / "plugins/vst32";
        aax = home.home() / "plugins/aax";
    }

    // A profile naming every target under the three plug-in folders, with these format choices.
    void writeProfile(const std::string& choices, const std::string& extra = "") {
        writeFile(product / "Installer/installer.ini",
                  "[General]\r\n" + choices + "VST64=" + (vst64 / "kandoro4.dll").string() + "\r\n" + "SK7_VST64=" +
                      (vst64 / "soundK7.dll").string() + "\r\n" + "VST32=" + (vst32 / "kandoro4.dll").string() +
                      "\r\n" + "SK7_VST32=" + (vst32 / "soundK7.dll").string() + "\r\n" +
                      "AAX=" + (aax / "Kandoro4.aaxplugin").string() + "\r\n" +
                      "AAX_SK7=" + (aax / "soundK7.aaxplugin").string() + "\r\n" + extra);
    }

    // Every binary in place, as after an installation.
    void installEverything() {
        writeFile(vst64 / "kandoro4.dll", "x");
        writeFile(vst64 / "soundK7.dll", "x");
        writeFile(vst32 / "kandoro4.dll", "x");
        writeFile(vst32 / "soundK7.dll", "x");
        writeFile(aax / "Kandoro4.aaxplugin/Contents/x64/Kandoro4.aaxplugin", "x");
        writeFile(aax / "soundK7.aaxplugin/Contents/x64/soundK7.aaxplugin", "x");
    }

    Present present() const {
        return {fs::exists(vst64 / "kandoro4.dll") && fs::exists(vst64 / "soundK7.dll"),
                fs::exists(vst32 / "kandoro4.dll") && fs::exists(vst32 / "soundK7.dll"),
                fs::exists(aax / "Kandoro4.aaxplugin") && fs::exists(aax / "soundK7.aaxplugin"), fs::exists(product)};
    }

    k4m::test::IsolatedHome home;
    fs::path product, vst64, vst32, aax;
};

// ---- copy mode ----

struct CopyCase {
    const char* name;
    const char* choiceLine; // "" for an absent key
    bool copies;
};

class CopyModeChoice : public CommandModeTest, public testing::WithParamInterface<CopyCase> {};

TEST_P(CopyModeChoice, CopiesExactlyTheFormatsChosenForInstallation) {
    const std::string line = GetParam().choiceLine;
    std::string choices;
    for (const char* key : {"InstallVST64", "installVST32", "INSTALLAAX"})
        if (!line.empty()) choices += std::string(key) + "=" + line + "\r\n";
    writeProfile(choices);
    ASSERT_EQ(runManager({"CPY", "ALL"}), 0);
    const Present p = present();
    EXPECT_EQ(p.vst64, GetParam().copies);
    EXPECT_EQ(p.vst32, GetParam().copies);
    EXPECT_EQ(p.aax, GetParam().copies);
    if (GetParam().copies) {
        // Missing parent folders were created, the files copied whole, the bundles as folder trees.
        EXPECT_EQ(readFile(vst64 / "kandoro4.dll"), "k4 64");
        EXPECT_EQ(readFile(vst32 / "soundK7.dll"), "sk7 32");
        EXPECT_EQ(readFile(aax / "Kandoro4.aaxplugin/Contents/x64/Kandoro4.aaxplugin"), "k4 aax");
        EXPECT_EQ(readFile(aax / "Kandoro4.aaxplugin/Contents/Info.txt"), "k4 info");
        EXPECT_EQ(readFile(aax / "soundK7.aaxplugin/Contents/x64/soundK7.aaxplugin"), "sk7 aax");
    } else {
        EXPECT_FALSE(fs::exists(home.home() / "plugins"));
    }
}

INSTANTIATE_TEST_SUITE_P(Choices, CopyModeChoice,
                         testing::Values(CopyCase{"Install", "1", true}, CopyCase{"DoNotInstall", "2", false},
                                         CopyCase{"NotChosen", "0", false}, CopyCase{"Absent", "", false},
                                         CopyCase{"NotANumber", "yes", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CommandModeTest, CopyModeAcceptsAnySecondWordAndReplacesOldBinaries) {
    writeProfile("InstallVST64=1\r\n");
    writeFile(vst64 / "kandoro4.dll", "old version");
    ASSERT_EQ(runManager({"CPY", "whatever"}), 0);
    EXPECT_EQ(readFile(vst64 / "kandoro4.dll"), "k4 64");
    EXPECT_FALSE(present().vst32);
}

TEST_F(CommandModeTest, LowerCaseCommandDoesNothing) {
    writeProfile("InstallVST64=1\r\nInstallVST32=1\r\nInstallAAX=1\r\n");
    ASSERT_EQ(runManager({"cpy", "ALL"}), 0);
    EXPECT_FALSE(fs::exists(home.home() / "plugins"));
}

TEST_F(CommandModeTest, AFailingFormatBlockDoesNotStopTheNextOne) {
    writeProfile("InstallVST64=1\r\nInstallVST32=1\r\n");
    fs::remove(product / "bin/64/kandoro4.dll"); // the 64-bit block fails on its first binary
    ASSERT_EQ(runManager({"CPY", "ALL"}), 0);
    EXPECT_FALSE(fs::exists(vst64 / "soundK7.dll"));
    EXPECT_TRUE(present().vst32);
}

TEST_F(CommandModeTest, CopyModeWithAMissingTargetKeyEndsOnlyThatBlock) {
    writeFile(product / "Installer/installer.ini",
              "[General]\r\nInstallVST64=1\r\nInstallVST32=1\r\nVST32=" + (vst32 / "kandoro4.dll").string() +
                  "\r\nSK7_VST32=" + (vst32 / "soundK7.dll").string() + "\r\n");
    ASSERT_EQ(runManager({"CPY", "ALL"}), 0);
    EXPECT_FALSE(fs::exists(vst64));
    EXPECT_TRUE(present().vst32);
}

TEST_F(CommandModeTest, CopyModeRefusesTargetsThatAreNotPluginBinaries) {
    const fs::path victim = home.home() / "important.conf";
    writeFile(victim, "precious");
    const fs::path linked = vst32 / "kandoro4.dll";
    fs::create_directories(vst32);
    fs::create_symlink(victim, linked);
    writeFile(product / "Installer/installer.ini",
              "[General]\r\nInstallVST64=1\r\nInstallVST32=1\r\nVST64=" + victim.string() +
                  "\r\nSK7_VST64=" + (vst64 / "soundK7.dll").string() + "\r\nVST32=" + linked.string() +
                  "\r\nSK7_VST32=" + (vst32 / "soundK7.dll").string() + "\r\n");
    ASSERT_EQ(runManager({"CPY", "ALL"}), 0);
    EXPECT_EQ(readFile(victim), "precious");
    EXPECT_TRUE(fs::is_symlink(linked));
    // The refused target is skipped silently; the other binaries of its block are still copied.
    EXPECT_EQ(readFile(vst64 / "soundK7.dll"), "sk7 64");
    EXPECT_EQ(readFile(vst32 / "soundK7.dll"), "sk7 32");
}

// ---- delete mode ----

struct DeleteCase {
    const char* name;
    const char* argument;
    Present expected;
};

class DeleteModeGroups : public CommandModeTest, public testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteModeGroups, DeletesTheMarkedFormats) {
    writeProfile("InstallVST64=1\r\n");
    installEverything();
    ASSERT_EQ(runManager({"DLT", GetParam().argument}), 0);
    const Present p = present();
    EXPECT_EQ(p.vst64, GetParam().expected.vst64);
    EXPECT_EQ(p.vst32, GetParam().expected.vst32);
    EXPECT_EQ(p.aax, GetParam().expected.aax);
    EXPECT_EQ(p.product, GetParam().expected.product);
    // Only what the keys name goes; the folders themselves stay.
    EXPECT_TRUE(fs::is_directory(vst64));
}

INSTANTIATE_TEST_SUITE_P(Groups, DeleteModeGroups,
                         testing::Values(DeleteCase{"Only32", "[3]", {true, false, true, true}},
                                         DeleteCase{"AaxAnd64", "[A][6]", {false, true, false, true}},
                                         DeleteCase{"All", "ALL", {false, false, false, false}},
                                         DeleteCase{"LowerCaseAllDeletesNothing", "all", {true, true, true, true}},
                                         DeleteCase{"NoMarker", "[x]", {true, true, true, true}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CommandModeTest, DeleteModeSkipsKeysThatReadXXX) {
    writeFile(product / "Installer/installer.ini",
              "[General]\r\nVST64=XXX\r\nSK7_VST64=" + (vst64 / "soundK7.dll").string() + "\r\n");
    installEverything();
    ASSERT_EQ(runManager({"DLT", "[6]"}), 0);
    EXPECT_TRUE(fs::exists(vst64 / "kandoro4.dll"));
    EXPECT_FALSE(fs::exists(vst64 / "soundK7.dll"));
}

TEST_F(CommandModeTest, DeleteModeRefusesTargetsThatAreNotPluginBinariesOrAreLinks) {
    const fs::path victim = home.home() / "Documents/song.project";
    const fs::path victimFolder = home.home() / "Documents/Sessions";
    writeFile(victim, "a song");
    writeFile(victimFolder / "take1.wav", "audio");
    fs::create_directories(aax);
    fs::create_directory_symlink(victimFolder, aax / "Kandoro4.aaxplugin");
    writeFile(product / "Installer/installer.ini", "[General]\r\nVST64=" + victim.string() +
                                                       "\r\nAAX=" + (aax / "Kandoro4.aaxplugin").string() +
                                                       "\r\nAAX_SK7=" + victimFolder.string() + "\r\n");
    ASSERT_EQ(runManager({"DLT", "ALL"}), 0);
    EXPECT_EQ(readFile(victim), "a song");
    EXPECT_EQ(readFile(victimFolder / "take1.wav"), "audio");
    EXPECT_TRUE(fs::is_symlink(aax / "Kandoro4.aaxplugin"));
    EXPECT_FALSE(fs::exists(product));
}

TEST_F(CommandModeTest, DeletingABundleNeverFollowsALinkOutOfIt) {
    writeProfile("");
    installEverything();
    const fs::path outside = home.home() / "Documents/keep";
    writeFile(outside / "file.txt", "keep me");
    fs::create_directory_symlink(outside, aax / "Kandoro4.aaxplugin/Contents/link");
    fs::create_directory_symlink(outside, product / "link-out");
    ASSERT_EQ(runManager({"DLT", "ALL"}), 0);
    EXPECT_FALSE(fs::exists(aax / "Kandoro4.aaxplugin"));
    EXPECT_FALSE(fs::exists(product));
    EXPECT_EQ(readFile(outside / "file.txt"), "keep me");
}

TEST_F(CommandModeTest, DeleteModeWithoutAProfileStillRemovesTheProductFolderOnAll) {
    fs::remove_all(product / "Installer");
    ASSERT_EQ(runManager({"DLT", "[6]"}), 0);
    EXPECT_TRUE(fs::exists(product));
    ASSERT_EQ(runManager({"DLT", "ALL"}), 0);
    EXPECT_FALSE(fs::exists(product));
}

} // namespace
