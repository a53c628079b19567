#pragma once

#include "core/ini_file.h"

#include <string>

namespace k4m {

// The plug-in's own options (display, graphics, menu and priority) that the manager keeps in memory and writes
// into the plug-in's settings file for it.
struct PluginOptions {
    bool useDPIX = false;
    int dpixOverride = 96;
    bool gfxDXS = false;
    bool apsMode = false;
    bool gfxDX9 = false;
    bool gfxD2D = true;
    int priorityMode = 1;
    bool sot = false;
    int menuMode = -1; // -1 automatic, 0 integrated, 1 standard
};

// Before an installation: the sound folder and the options, each key written or deleted as the option says.
// Other keys stay.
void writePluginSettings(IniFile& settings, const std::string& soundFolder, const PluginOptions& options);

// After the troubleshooting dialog: the options in the order the dialog writes them. Other keys stay.
void writeTroubleshootingOptions(IniFile& settings, const PluginOptions& options);

// Writes the troubleshooting options into the settings file at `path` only when that file exists (it is never
// created here; the installation writes it). A file that cannot be read is left as it is. Throws
// std::exception when the file cannot be written.
void saveTroubleshootingOptions(const std::string& path, const PluginOptions& options);

} // namespace k4m
