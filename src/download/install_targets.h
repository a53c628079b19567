#pragma once

#include "core/folder_set.h"
#include "download/package_installer.h"

#include <string>

namespace k4m {

// The installation options that decide where packages go and which plug-in formats are installed.
struct InstallChoices {
    bool useKD3 = false;       // sounds go to the previous generation's data folder
    std::string kd3DataFolder; // that folder, as the previous generation's settings name it
    bool installAAX = false;
    bool installVST64 = false;
    bool installVST32 = false;
};

// The folders and format switches of an installation run. The cache is the data folder's "cache" (none without a
// data folder); sounds go to the data folder, or to the previous generation's when the options ask for it and
// that folder is known.
InstallTargets installTargetsOf(const FolderSet& folders, const InstallChoices& choices);

} // namespace k4m
