#pragma once

#include "core/ini_file.h"
#include "platform/platform.h"

#include <string>

namespace k4m {

// The manager's product folder under the common application data folder; empty when that folder is unknown
// (a path without its root would land at the top of the file system).
std::string productFolderOf(const std::string& commonAppDataFolder);
// The manager's own folder ("Installer") in the product folder; empty when the common folder is unknown.
std::string installerFolderOf(const std::string& commonAppDataFolder);
// The manager profile installer.ini under the common application data folder; empty when that is unknown.
std::string profilePathOf(const std::string& commonAppDataFolder);

// Every folder the manager works with, resolved once at start-up. Paths carry no trailing separator.
struct FolderSet {
    std::string commonAppDataFolder;
    std::string productFolder;   // + "Kandoro4"
    std::string installerFolder; // product folder + "Installer"
    std::string dataFolder;      // profile DataFolder, or the manager folder in offline mode
    std::string vst64Folder;     // profile Plugin64Folder
    std::string vst32Folder;     // profile Plugin32Folder
    std::string proToolsFolder;
    std::string startMenuFolder;
    std::string documentsFolder;
    std::string previousGenerationFolder; // documents + "Kandoro3"
    std::string managerFolder;            // folder of the program file

    std::string profilePath() const; // installer folder + "installer.ini"
    std::string installerFile(const std::string& name) const;
    std::string logPath() const;              // installer folder + "log.txt"
    std::string pluginSettingsPath() const;   // product folder + "kandoro4.ini"
    std::string pluginLogPath() const;        // product folder + "Logs/Kandoro Plugin Log.txt"
    std::string previousSettingsPath() const; // previous-generation folder + "kandoro3.ini"
    std::string offlineFolder() const;        // manager folder + "Offline"
    std::string updateFolder() const;         // manager folder + "Update"
};

// The folders that come from the system and the program's own path, with the built-in defaults for the data
// folder and the two VST folders.
FolderSet resolveFolderSet(const Platform& platform, const std::string& ownExecutablePath);

// Takes the three folder choices from the profile, each with the current folder as default and with one
// trailing separator removed. The data folder is left alone in offline mode.
void applyProfileFolders(FolderSet& folders, const IniFile& profile, bool offlineMode);

} // namespace k4m
