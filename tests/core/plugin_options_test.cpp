// The plug-in options as the settings file stores them: before an installation and after the troubleshooting
// dialog.
#include "core/ini_file.h"
#include "core/plugin_options.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

TEST(PluginSettings, EachOptionIsWrittenOrDeletedAndOtherKeysStay) {
    auto ini = k4m::IniFile::fromText("[General]\r\nGUIScale=7\r\nDPIXOverride=120\r\nGFX_DXS=1\r\nGFX_DX9=1\r\n"
                                      "GFX_D2D=0\r\nForceMenuSOT=1\r\n");
    k4m::writePluginSettings(ini, "/data/data", {false, 144, false, false, false, true, 2, false});
    EXPECT_EQ(ini.toText(), "[General]\r\nGUIScale=7\r\nSoundFolder=/data/data\r\nAPSMode=0\r\nPriorityMode=0\r\n");

    k4m::writePluginSettings(ini, "/kd3", {true, 144, true, true, true, false, 1, true});
    EXPECT_EQ(ini.toText(), "[General]\r\nGUIScale=7\r\nSoundFolder=/kd3\r\nAPSMode=1\r\nPriorityMode=1\r\n"
                            "DPIXOverride=144\r\nGFX_DXS=1\r\nGFX_DX9=1\r\nGFX_D2D=0\r\nForceMenuSOT=1\r\n");
}

TEST(TroubleshootingOptions, AreWrittenInTheDialogsOrderAndSwitchedOffOnesRemoved) {
    auto ini = k4m::IniFile::fromText("[General]\r\nSoundFolder=/d\r\n");
    k4m::writeTroubleshootingOptions(ini, {true, 144, true, true, true, false, 1, true, 1});
    EXPECT_EQ(ini.toText(), "[General]\r\nSoundFolder=/d\r\nDPIXOverride=144\r\nUseDPIX=1\r\nGFX_DXS=1\r\nAPSMode=1\r\n"
                            "GFX_DX9=1\r\nGFX_D2D=0\r\nPriorityMode=1\r\nForceMenuMode=1\r\nForceMenuSOT=1\r\n");
    // Off again: the switches' keys go, 2D acceleration's "off" key goes, "Automatic" is -1.
    k4m::writeTroubleshootingOptions(ini, {false, 120, false, false, false, true, 0, false, -1});
    EXPECT_EQ(ini.toText(), "[General]\r\nSoundFolder=/d\r\nAPSMode=0\r\nPriorityMode=0\r\nForceMenuMode=-1\r\n");
}

TEST(TroubleshootingOptions, AreSavedOnlyIntoAnExistingSettingsFile) {
    k4m::test::TempDir dir;
    const fs::path file = dir / "kandoro4.ini";
    k4m::saveTroubleshootingOptions(file.string(), {});
    EXPECT_FALSE(fs::exists(file));

    k4m::test::writeFile(file, "[General]\r\nGUIScale=7\r\n");
    k4m::saveTroubleshootingOptions(file.string(), {});
    EXPECT_EQ(k4m::test::readFile(file), "[General]\r\nGUIScale=7\r\nAPSMode=0\r\nPriorityMode=1\r\nForceMenuMode=-1\r\n");

    // A link in its place is never written through.
    k4m::test::writeFile(dir / "elsewhere.ini", "[General]\r\n");
    fs::remove(file);
    fs::create_symlink(dir / "elsewhere.ini", file);
    k4m::saveTroubleshootingOptions(file.string(), {});
    EXPECT_EQ(k4m::test::readFile(dir / "elsewhere.ini"), "[General]\r\n");
}

} // namespace
