#pragma once

#include "core/ini_file.h"

#include <string>

namespace k4m {

// The installation options the acceptance test looks at.
struct PackageOptions {
    bool installAIOnly = false;
    bool useKD3 = false;
    bool installVST32 = false;
    bool installVST64 = false;
    bool installAAX = false;
    bool createOffline = false; // an offline package holds every plug-in format
};

// Whether the manifest's package `packageId` is offered on this computer: not for macOS, not too new for this
// manager, no sounds when only the AI files are wanted or the previous generation's sounds are used, and no
// plug-in format the user switched off (unless an offline package is being made).
bool acceptsPackage(const IniFile& manifest, const std::string& packageId, const PackageOptions& options);

} // namespace k4m
