#pragma once

#include "core/ini_file.h"

#include <string>

namespace k4m {

// A key of the manager profile or the plug-in settings file with its section and its default when read.
struct TextKey {
    const char* section;
    const char* name;
    const char* fallback;
};
struct IntegerKey {
    const char* section;
    const char* name;
    int fallback;
};
struct BoolKey {
    const char* section;
    const char* name;
    bool fallback;
};

inline std::string read(const IniFile& ini, const TextKey& key) {
    return ini.readString(key.section, key.name, key.fallback);
}
inline int read(const IniFile& ini, const IntegerKey& key) {
    return ini.readInteger(key.section, key.name, key.fallback);
}
inline bool read(const IniFile& ini, const BoolKey& key) {
    return ini.readBool(key.section, key.name, key.fallback);
}
inline void write(IniFile& ini, const TextKey& key, const std::string& value) {
    ini.writeString(key.section, key.name, value);
}
inline void write(IniFile& ini, const IntegerKey& key, int value) {
    ini.writeInteger(key.section, key.name, value);
}
inline void write(IniFile& ini, const BoolKey& key, bool value) {
    ini.writeBool(key.section, key.name, value);
}

// The text that stands for "no value" in the target-path keys.
inline constexpr const char* kMissing = "XXX";

// Format choices: 1 install, 2 do not install, 0 or absent never chosen.
enum FormatChoice : int { FormatNotChosen = 0, FormatInstall = 1, FormatSkip = 2 };

// installer.ini, the manager's own profile.
namespace profile {
inline constexpr const char* kGeneral = "General";
inline constexpr const char* kPackages = "Packages";
inline constexpr const char* kEdition = "Edition";

inline constexpr TextKey CID{kGeneral, "CID", ""};
inline constexpr TextKey LastMID{kGeneral, "LastMID", ""};
inline constexpr BoolKey CreateOffline{kGeneral, "CreateOffline", false};
// The defaults of the three folder keys depend on the system; readers pass them in.
inline constexpr const char* DataFolder = "DataFolder";
inline constexpr const char* Plugin64Folder = "Plugin64Folder";
inline constexpr const char* Plugin32Folder = "Plugin32Folder";
inline constexpr IntegerKey InstallVST64{kGeneral, "InstallVST64", FormatNotChosen};
inline constexpr IntegerKey InstallVST32{kGeneral, "InstallVST32", FormatNotChosen};
inline constexpr IntegerKey InstallAAX{kGeneral, "InstallAAX", FormatNotChosen};
inline constexpr BoolKey InstallAIOnly{kGeneral, "InstallAIOnly", false};
// Connect reads the same key as an integer: -1 means the options were never saved.
inline constexpr IntegerKey InstallAIOnlySaved{kGeneral, "InstallAIOnly", -1};
inline constexpr BoolKey UseKD3{kGeneral, "UseKD3", false};
inline constexpr BoolKey InstallBetas{kGeneral, "InstallBetas", false};
inline constexpr BoolKey VST2{kGeneral, "VST2", true};
inline constexpr BoolKey VST3{kGeneral, "VST3", true};
inline constexpr BoolKey LicenseAgreed{kGeneral, "LicenseAgreed", false};
inline constexpr IntegerKey LastBitness{kGeneral, "LastBitness", 64};
inline constexpr TextKey Version{kGeneral, "Version", ""};
inline constexpr IntegerKey HomeScreen{kGeneral, "HomeScreen", 0};
inline constexpr TextKey VST64{kGeneral, "VST64", kMissing};
inline constexpr TextKey SK7_VST64{kGeneral, "SK7_VST64", kMissing};
inline constexpr TextKey VST32{kGeneral, "VST32", kMissing};
inline constexpr TextKey SK7_VST32{kGeneral, "SK7_VST32", kMissing};
inline constexpr TextKey AAX{kGeneral, "AAX", kMissing};
inline constexpr TextKey AAX_SK7{kGeneral, "AAX_SK7", kMissing};

// Version number of a package as last installed; -1 never installed.
int readPackageVersion(const IniFile& ini, const std::string& packageName);
void writePackageVersion(IniFile& ini, const std::string& packageName, int version);
void writeEdition(IniFile& ini, const std::string& editionId, const std::string& editionName);
} // namespace profile

// kandoro4.ini, the plug-in's settings file that the manager writes for it.
namespace plugin {
inline constexpr const char* kGeneral = "General";
inline constexpr IntegerKey DPIXOverride{kGeneral, "DPIXOverride", 96};
inline constexpr BoolKey UseDPIX{kGeneral, "UseDPIX", false};
inline constexpr BoolKey GFX_DXS{kGeneral, "GFX_DXS", false};
inline constexpr BoolKey GFX_DX9{kGeneral, "GFX_DX9", false};
inline constexpr BoolKey GFX_D2D{kGeneral, "GFX_D2D", true};
inline constexpr BoolKey APSMode{kGeneral, "APSMode", false};
inline constexpr IntegerKey PriorityMode{kGeneral, "PriorityMode", 1};
inline constexpr IntegerKey ForceMenuMode{kGeneral, "ForceMenuMode", -1};
inline constexpr BoolKey ForceMenuSOT{kGeneral, "ForceMenuSOT", false};
inline constexpr IntegerKey GUIScale{kGeneral, "GUIScale", 5};
inline constexpr TextKey SoundFolder{kGeneral, "SoundFolder", ""};
} // namespace plugin

// kandoro3.ini of the previous generation; only read.
namespace previous {
inline constexpr TextKey DataPath{"General", "DataPath", ""};
} // namespace previous

} // namespace k4m
