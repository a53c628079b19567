#pragma once

#include "catalog/connect_sequence.h"
#include "platform/platform.h"

#include <string>
#include <vector>

namespace k4m {

// What the runtime check found: the installer to download (empty: nothing to do) and the lines it logs.
struct RuntimeCheck {
    std::string downloadUrl;
    std::vector<std::string> logLines;
};

// Asks the system whether the plug-in's runtime is present, for the system's bitness.
RuntimeCheck checkRuntime(const Platform& platform, const RedistributableSettings& settings,
                          const std::string& serverBase);

// The start-menu folder of the manager's shortcut.
std::string menuFolder(const std::string& startMenuFolder);

// Removes the manager's start-menu folder with everything in it. Throws std::filesystem::filesystem_error.
void removeMenu(const std::string& startMenuFolder);

// Replaces the start-menu shortcut to the manager's own copy in the data folder. Throws std::exception with a
// readable message when it cannot be made.
void createMenu(Platform& platform, const std::string& startMenuFolder, const std::string& dataFolder);

} // namespace k4m
