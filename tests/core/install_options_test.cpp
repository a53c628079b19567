#include "core/install_options.h"
#include "core/settings_keys.h"
#include "held_options.h"
#include "platform/posix/posix_platform.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace fs = std::filesystem;
using namespace k4m;
using Held = k4m::test::HeldOptions;
using k4m::test::readFile;
using k4m::test::TempDir;
using k4m::test::writeFile;

namespace {

std::string box(const char* name, const BoxState& b) {
    return std::string(name) + "=" + (b.checked ? "on" : "off") + (b.enabled ? "" : "(disabled)");
}

// One line per decision, so that a table row names every state it expects.
std::string summary(const OptionsInitialState& s) {
    std::ostringstream out;
    out << box("vst64", s.vst64) << ' ' << box("vst2", s.vst2) << ' ' << box("vst3", s.vst3) << ' '
        << box("vst32", s.vst32) << ' ' << box("aax", s.aax) << ' ' << box("kd3", s.useKD3) << ' '
        << box("ai", s.aiOnly) << ' ' << box("beta", s.beta) << ' ' << box("offline", s.offline)
        << (s.offlineBoxVisible ? "" : "(hidden)") << " hint=" << (s.offlineHintVisible ? "shown" : "hidden")
        << " groups=" << (s.formatGroupsVisible ? "shown" : "hidden") << " data=" << s.oldData
        << (s.dataEditable ? "" : "(fixed)") << " scale=" << s.scaleIndex;
    return out.str();
}

struct ShowCase {
    const char* name;
    const char* profile;
    bool is64 = true;
    bool proTools = false;
    const char* kd3 = "";
    bool offlineMode = false;
    bool createOffline = false; // held in memory
    int guiScale = 5;
    const char* expected;
};

class OptionsOnShow : public testing::TestWithParam<ShowCase> {};

TEST_P(OptionsOnShow, ControlsFollowProfileAndSystem) {
    const ShowCase& c = GetParam();
    Held held;
    held.createOffline = c.createOffline;
    held.guiScale = c.guiScale;
    const IniFile profile = IniFile::fromText(c.profile);
    const OptionsInitialState s =
        initialOptions(profile, held.current(), OptionsFacts{c.offlineMode, c.is64, c.proTools, c.kd3});
    EXPECT_EQ(summary(s), c.expected);
    EXPECT_EQ(s.vst64Folder, "/held/vst64");
    EXPECT_EQ(s.vst32Folder, "/held/vst32");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionsOnShow,
    testing::Values(
        ShowCase{.name = "FreshProfileOn64Bit",
                 .profile = "",
                 .expected = "vst64=on vst2=on vst3=on vst32=off aax=off(disabled) kd3=off(disabled) ai=off beta=off "
                             "offline=off hint=hidden groups=shown data=/held/data scale=5"},
        ShowCase{.name = "FreshProfileOn32BitWindows",
                 .profile = "",
                 .is64 = false,
                 .proTools = true,
                 .expected = "vst64=off(disabled) vst2=off(disabled) vst3=off(disabled) vst32=on aax=off(disabled) "
                             "kd3=off(disabled) ai=off beta=off offline=off hint=hidden groups=shown "
                             "data=/held/data scale=5"},
        ShowCase{.name = "On32BitWindowsSavedChoicesCannotTurnOn64Bit",
                 .profile = "[General]\nInstallVST64=1\nInstallAAX=1\nInstallVST32=2\n",
                 .is64 = false,
                 .proTools = true,
                 .expected = "vst64=off(disabled) vst2=off(disabled) vst3=off(disabled) vst32=off aax=off(disabled) "
                             "kd3=off(disabled) ai=off beta=off offline=off hint=hidden groups=shown "
                             "data=/held/data scale=5"},
        ShowCase{.name = "SavedChoicesWin",
                 .profile = "[General]\nInstallVST64=2\nInstallVST32=1\nInstallAAX=1\nDataFolder=/saved/data\n",
                 .proTools = true,
                 .expected = "vst64=off vst2=on vst3=on vst32=on aax=on kd3=off(disabled) ai=off beta=off offline=off "
                             "hint=hidden groups=shown data=/saved/data scale=5"},
        ShowCase{.name = "NeverChosenIsNotOff",
                 .profile = "[General]\nInstallVST64=0\nInstallVST32=0\nInstallAAX=0\n",
                 .proTools = true,
                 .expected = "vst64=on vst2=on vst3=on vst32=off aax=off kd3=off(disabled) ai=off beta=off offline=off "
                             "hint=hidden groups=shown data=/held/data scale=5"},
        ShowCase{.name = "AaxWithoutProToolsFolder",
                 .profile = "[General]\nInstallAAX=1\n",
                 .expected = "vst64=on vst2=on vst3=on vst32=off aax=off(disabled) kd3=off(disabled) ai=off beta=off "
                             "offline=off hint=hidden groups=shown data=/held/data scale=5"},
        ShowCase{.name = "HiddenSubFormatsFromProfile",
                 .profile = "[General]\nVST2=0\nVST3=0\n",
                 .expected = "vst64=on vst2=off vst3=off vst32=off aax=off(disabled) kd3=off(disabled) ai=off "
                             "beta=off offline=off hint=hidden groups=shown data=/held/data scale=5"},
        ShowCase{.name = "SavedBoxesAndOfflinePackage",
                 .profile = "[General]\nUseKD3=1\nInstallAIOnly=1\nInstallBetas=1\nCreateOffline=1\n",
                 .kd3 = "/kd3/data",
                 .createOffline = true,
                 .guiScale = 12,
                 .expected = "vst64=on vst2=on vst3=on vst32=off aax=off(disabled) kd3=on ai=on beta=on offline=on "
                             "hint=shown groups=hidden data=/held/data scale=12"},
        ShowCase{.name = "PreviousSoundsWithoutTheirFolder",
                 .profile = "[General]\nUseKD3=1\n",
                 .expected = "vst64=on vst2=on vst3=on vst32=off aax=off(disabled) kd3=off(disabled) ai=off beta=off "
                             "offline=off hint=hidden groups=shown data=/held/data scale=5"},
        ShowCase{.name = "OfflineModeKeepsFormatsChoosable",
                 .profile = "[General]\nCreateOffline=1\nDataFolder=/saved/data\n",
                 .offlineMode = true,
                 .createOffline = true,
                 .expected = "vst64=on vst2=on vst3=on vst32=off aax=off(disabled) kd3=off(disabled) ai=off beta=off "
                             "offline=off(disabled)(hidden) hint=hidden groups=shown data=/held/data(fixed) scale=5"},
        ShowCase{.name = "ScaleOutOfRangeShowsDefault",
                 .profile = "",
                 .guiScale = 13,
                 .expected = "vst64=on vst2=on vst3=on vst32=off aax=off(disabled) kd3=off(disabled) ai=off beta=off "
                             "offline=off hint=hidden groups=shown data=/held/data scale=5"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InstallOptions, ProgramFilesTestIsOnLowerCasedTextWithBothSeparators) {
    struct Case {
        const char* folder;
        bool inside;
    };
    for (const Case& c : {Case{"C:\\Program Files\\Kandoro Data", true}, Case{"D:\\PROGRAM FILES\\x", true},
                          Case{"/mnt/c/Program Files/x", true}, Case{"C:\\Program Files (x86)\\x", false},
                          Case{"C:\\Program Files", false}, Case{"/mnt/c/Program Files", false},
                          Case{"/mnt/c/Program Files (x86)/x", false}, Case{"/home/u/ProgramFiles/x", false}}) {
        SCOPED_TRACE(c.folder);
        EXPECT_EQ(insideProgramFiles(c.folder), c.inside);
    }
}

// OK's checks on real folders: a temporary root holds an existing data folder and existing VST folders.
class OptionsCheck : public testing::Test {
protected:
    OptionsCheck() {
        fs::create_directories(root / "data");
        fs::create_directories(root / "vst64");
        fs::create_directories(root / "vst32");
        e.dataFolder = (root / "data").string();
        e.vst64Folder = (root / "vst64").string();
        e.vst32Folder = (root / "vst32").string();
        e.vst64 = e.vst2 = e.vst3 = true;
    }

    std::string problem() {
        const auto found = checkOptions(e, platform);
        if (!found) return "none";
        return (found->warning ? "warning: " : "") + found->message;
    }

    TempDir root;
    posix::PosixPlatform platform;
    OptionsEntries e;
};

TEST_F(OptionsCheck, EachRefusalWithItsMessage) {
    struct Case {
        const char* name;
        std::function<void(OptionsEntries&, const fs::path&)> change;
        std::string expected;
    };
    const Case cases[] = {
        {"Accepted", [](auto&, auto&) {}, "none"},
        {"NoVst64SubFormat", [](auto& e, auto&) { e.vst2 = e.vst3 = false; },
         "Please check at least one 64-bit VST format."},
        {"OneSubFormatIsEnough", [](auto& e, auto&) { e.vst2 = false; }, "none"},
        {"SubFormatsCheckedEvenForOfflinePackage",
         [](auto& e, auto&) {
             e.vst2 = e.vst3 = false;
             e.createOffline = true;
         },
         "Please check at least one 64-bit VST format."},
        {"DataInProgramFiles", [](auto& e, auto& r) { e.dataFolder = (r / "Program Files" / "K").string(); },
         "Please select a data folder location outside of the \"Program Files\" folder."},
        {"DataParentMissing", [](auto& e, auto& r) { e.dataFolder = (r / "no" / "data").string(); },
         "Your data folder selection appears to be invalid. Please double-check and correct as needed."},
        {"DataRelative", [](auto& e, auto&) { e.dataFolder = "k4m-relative-data"; },
         "Your data folder selection appears to be invalid. Please double-check and correct as needed."},
        {"DataEmpty", [](auto& e, auto&) { e.dataFolder.clear(); },
         "Your data folder selection appears to be invalid. Please double-check and correct as needed."},
        {"DataIsAFile",
         [](auto& e, auto& r) {
             writeFile(r / "file", "x");
             e.dataFolder = (r / "file").string();
         },
         "Your data folder selection appears to be invalid. Please double-check and correct as needed."},
        // The profile holds one line per key, trimmed: a folder it cannot hold as typed would be used now and
        // another one at the next start.
        {"DataEndsInABlank", [](auto& e, auto& r) { e.dataFolder = (r / "blank ").string(); },
         "Your data folder selection appears to be invalid. Please double-check and correct as needed."},
        {"DataHoldsALineBreak", [](auto& e, auto& r) { e.dataFolder = (r / "line\nbreak").string(); },
         "Your data folder selection appears to be invalid. Please double-check and correct as needed."},
        {"NoFormat", [](auto& e, auto&) { e.vst64 = e.vst32 = e.aax = false; },
         "warning: You must select at least one plugin format to install!"},
        {"AaxAloneIsAFormat",
         [](auto& e, auto&) {
             e.vst64 = false;
             e.aax = true;
         },
         "none"},
        {"Vst32FolderParentMissing",
         [](auto& e, auto& r) {
             e.vst32 = true;
             e.vst32Folder = (r / "no" / "vst32").string();
             e.vst64Folder = (r / "no" / "vst64").string();
         },
         "Your 32-bit VST folder selection appears to be invalid. Please double-check and correct as needed."},
        {"Vst64FolderParentMissing", [](auto& e, auto& r) { e.vst64Folder = (r / "no" / "vst64").string(); },
         "Your 64-bit VST folder selection appears to be invalid. Please double-check and correct as needed."},
        {"Vst64FolderEndsInATab", [](auto& e, auto& r) { e.vst64Folder = (r / "tab\t").string(); },
         "Your 64-bit VST folder selection appears to be invalid. Please double-check and correct as needed."},
        {"Vst32FolderHoldsACarriageReturn",
         [](auto& e, auto& r) {
             e.vst32 = true;
             e.vst32Folder = (r / "carriage\rreturn").string();
         },
         "Your 32-bit VST folder selection appears to be invalid. Please double-check and correct as needed."},
        {"UncheckedFormatsFolderIsNotLookedAt",
         [](auto& e, auto& r) {
             e.vst32 = false;
             e.vst32Folder = (r / "no" / "vst32").string();
         },
         "none"},
        {"OfflinePackageNeedsNoFormatNorVstFolders",
         [](auto& e, auto& r) {
             e.createOffline = true;
             e.vst64 = false;
             e.vst32 = true;
             e.vst32Folder = (r / "no" / "vst32").string();
         },
         "none"},
        {"OfflinePackageStillChecksTheDataFolder",
         [](auto& e, auto& r) {
             e.createOffline = true;
             e.vst64 = false;
             e.dataFolder = (r / "no" / "data").string();
         },
         "Your data folder selection appears to be invalid. Please double-check and correct as needed."},
    };
    const OptionsEntries good = e;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        e = good;
        c.change(e, root.path());
        EXPECT_EQ(problem(), c.expected);
    }
    EXPECT_FALSE(fs::exists(root / "no")) << "only one missing folder level is ever created";
    for (const char* refused : {"blank ", "line\nbreak", "tab\t", "carriage\rreturn"})
        EXPECT_FALSE(fs::exists(root / refused)) << "a refused folder is not created";
    EXPECT_FALSE(fs::exists("k4m-relative-data"));
}

TEST_F(OptionsCheck, CreatesOneMissingLevelOfEachFolderItChecks) {
    e.dataFolder = (root / "new data").string();
    e.vst32 = true;
    e.vst32Folder = (root / "new32").string();
    e.vst64Folder = (root / "new64").string();
    EXPECT_EQ(problem(), "none");
    for (const char* made : {"new data", "new32", "new64"}) {
        SCOPED_TRACE(made);
        EXPECT_TRUE(fs::is_directory(root / made));
        // Never writable by other accounts.
        EXPECT_EQ(fs::status(root / made).permissions() & fs::perms::others_write, fs::perms::none);
    }
}

// Saving accepted options into a real profile and plug-in settings file.
class OptionsSave : public testing::Test {
protected:
    OptionsSave() : profile(root / "Installer" / "installer.ini", true) {
        fs::create_directories(root / "Installer");
        e.dataFolder = "/chosen/data";
        e.vst64Folder = "/chosen/vst64";
        e.vst32Folder = "/chosen/vst32";
        e.vst64 = e.vst2 = e.vst3 = true;
        e.vst32 = false;
        e.aax = true;
        e.aiOnly = true;
        e.beta = true;
        e.scaleIndex = 7;
    }

    std::string pluginPath() const { return (root / "kandoro4.ini").string(); }
    void save(const std::string& kd3 = "") {
        CurrentOptions current = held.current();
        saveOptions(e, OptionsFacts{false, true, false, kd3}, profile, pluginPath(), current);
    }
    IniFile onDisk(const fs::path& path) const {
        IniFile file(path);
        file.load();
        return file;
    }

    TempDir root;
    IniFile profile;
    Held held;
    OptionsEntries e;
};

TEST_F(OptionsSave, WritesProfileKeysInOrderAndTheValuesInMemory) {
    save();
    const IniFile saved = onDisk(root / "Installer" / "installer.ini");
    EXPECT_EQ(saved.sectionKeys("General"),
              (std::vector<std::string>{"Plugin64Folder", "InstallVST64", "Plugin32Folder", "InstallVST32",
                                        "InstallAAX", "DataFolder", "UseKD3", "InstallAIOnly", "InstallBetas"}));
    EXPECT_EQ(saved.toText(), "[General]\r\nPlugin64Folder=/chosen/vst64\r\nInstallVST64=1\r\n"
                              "Plugin32Folder=/chosen/vst32\r\nInstallVST32=2\r\nInstallAAX=1\r\n"
                              "DataFolder=/chosen/data\r\nUseKD3=0\r\nInstallAIOnly=1\r\nInstallBetas=1\r\n");
    EXPECT_EQ(held.data, "/chosen/data");
    EXPECT_EQ(held.vst64, "/chosen/vst64");
    EXPECT_EQ(held.vst32, "/chosen/vst32");
    EXPECT_TRUE(held.installVST64);
    EXPECT_FALSE(held.installVST32);
    EXPECT_TRUE(held.installAAX);
    EXPECT_TRUE(held.aiOnly);
    EXPECT_FALSE(held.useKD3);
    EXPECT_TRUE(held.beta);
    EXPECT_EQ(held.guiScale, 7);
}

TEST_F(OptionsSave, PluginSettingsGetSoundFolderAndScaleKeepingTheirOtherKeys) {
    struct Case {
        const char* name;
        bool useKD3;
        const char* kd3;
        const char* dataFolder;
        const char* soundFolder;
        const char* heldData;
    };
    for (const Case& c :
         {Case{"OwnData", false, "/kd3/data", "/chosen/data", "/chosen/data/data", "/chosen/data"},
          Case{"PreviousSounds", true, "/kd3/data", "/chosen/data", "/kd3/data", "/chosen/data"},
          Case{"PreviousSoundsWithoutTheirFolder", true, "", "/chosen/data", "/chosen/data/data", "/chosen/data"},
          Case{"TrailingSeparator", false, "", "/chosen/data/", "/chosen/data/data", "/chosen/data"}}) {
        SCOPED_TRACE(c.name);
        writeFile(root / "kandoro4.ini", "[GENERAL]\r\nGFX_DX9=1\r\nGUIScale=2\r\n");
        e.useKD3 = c.useKD3;
        e.dataFolder = c.dataFolder;
        save(c.kd3);
        const IniFile plugin = onDisk(pluginPath());
        EXPECT_EQ(read(plugin, plugin::SoundFolder), c.soundFolder);
        EXPECT_EQ(read(plugin, plugin::GUIScale), 7);
        EXPECT_TRUE(read(plugin, plugin::GFX_DX9));
        EXPECT_EQ(held.data, c.heldData);
        EXPECT_EQ(onDisk(root / "Installer" / "installer.ini").readString("General", "DataFolder", ""), c.dataFolder);
    }
}

TEST_F(OptionsSave, CreatesMissingPluginSettings) {
    save();
    EXPECT_EQ(readFile(root / "kandoro4.ini"), "[General]\r\nSoundFolder=/chosen/data/data\r\nGUIScale=7\r\n");
}

TEST_F(OptionsSave, UnreadablePluginSettingsAreLeftAlone) {
    writeFile(root / "elsewhere.ini", "[General]\r\nGUIScale=1\r\n");
    fs::create_symlink(root / "elsewhere.ini", root / "kandoro4.ini");
    EXPECT_NO_THROW(save());
    EXPECT_TRUE(fs::is_symlink(root / "kandoro4.ini"));
    EXPECT_EQ(readFile(root / "elsewhere.ini"), "[General]\r\nGUIScale=1\r\n");
    EXPECT_EQ(held.guiScale, 7);
    EXPECT_EQ(onDisk(root / "Installer" / "installer.ini").readInteger("General", "InstallAAX", 0), 1);
}

TEST_F(OptionsSave, UnwritablePluginSettingsAreAnError) {
    CurrentOptions current = held.current();
    EXPECT_THROW(saveOptions(e, OptionsFacts{}, profile, (root / "missing" / "kandoro4.ini").string(), current),
                 std::exception);
}

TEST_F(OptionsSave, OfflineChoiceIsWrittenAtOnce) {
    CurrentOptions current = held.current();
    recordOfflineChoice(true, profile, current);
    EXPECT_TRUE(held.createOffline);
    EXPECT_EQ(readFile(root / "Installer" / "installer.ini"), "[General]\r\nCreateOffline=1\r\n");
    recordOfflineChoice(false, profile, current);
    EXPECT_FALSE(held.createOffline);
    EXPECT_EQ(readFile(root / "Installer" / "installer.ini"), "[General]\r\nCreateOffline=0\r\n");
}

} // namespace
